// CWndSysTab: the pane of the last tab, the way to another program of the family. When a browser
// window of the family is open, selecting the tab brings it to the front and the strip returns to
// the previous tab at once; otherwise the pane shows the icons of the programs of the external
// programs list in a row with the selected one's description, and a click on an icon starts that
// program and returns to the previous tab.
#pragma once

#include <ui/PaneWnd.h>
#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <string>
#include <vector>

class CExtAppList;

class CWndSysTab : public CXPWndBaseColor, public IPaneWnd, public CXPCtrlBtn::IDrawClbck, public CXPCtrlBtn::IBtnClbck {
 public:
  // One listed program.
  struct apps {
    std::string path;  // full path of the executable
    std::string description;
    HICON icon = 0;  // owned
    int x = 0;       // top-left corner of the icon as last painted
    int y = 0;
  };
  static constexpr int kIconStep = 42;
  static constexpr int kIconSize = 32;
  static constexpr COLORREF kPanelColor = 0x804000;
  static constexpr const char* kBrowserClass = "MozillaWindowClass";
  enum { BTN_TITLE = 0, BTN_NEXT = 1, BTN_PREVIOUS = 2 };

  // Reads the external programs list (an unreadable list leaves the pane empty).
  CWndSysTab();
  ~CWndSysTab() override;

  // Replaces the programs by those of a loaded list (icons extracted from each program).
  void SetPrograms(const CExtAppList& list);

  void Init() override {}
  void Activate(int previousTab) override;
  BOOL Deactivate() override;
  void Show(BOOL show) override;

  int OnCreate(LPCREATESTRUCT cs) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void PaintContent(CDC* dc) override;
  void RecalcLayout() override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  // The x of the first icon of n programs on a pane w pixels wide.
  static int FirstIconX(int width, int count);
  // The first open browser window of the family (class "MozillaWindowClass", "Dravix" in the first
  // 100 characters of its title); 0 when there is none.
  static HWND FindFamilyBrowser();
  // The program whose icon square (edges included) holds the point; -1 when none.
  int ProgramAt(CPoint point) const;
  // Starts a program by its full path, without a shell; FALSE when it could not be started.
  static BOOL StartProgram(const std::string& path);

  int m_nSelected = 0;
  CRect m_rcPanel;
  CBrush m_brPanel;
  CString m_strTitle;
  std::vector<apps> m_Apps;
  CXPCtrlBtn m_btnNext;
  CXPCtrlBtn m_btnPrevious;
  CXPCtrlBtn m_btnTitle;

 private:
  void ClearPrograms();
  void SelectTabOfMain(int tab, bool post);
};

// The table entry of the system tab (tab 9), its background in scheme colour 6.
PaneEntry SysTabEntry();
