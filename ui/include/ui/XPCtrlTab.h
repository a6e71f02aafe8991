// CXPCtrlTab: the row of tabs along the main window. It is not a window: it lives in the host's
// client area, owns its CXPCtrlTabItem list, lays the tabs out, draws them into the host's DC
// with a 3-D line under the row that opens above the selected tab, hit-tests clicks, and asks
// its owner before and after a change of selection. The owner draws each tab's face.
#pragma once

#include <ui/OptionData.h>
#include <ui/PtrArrayAuto.h>

#include <platform/afxwin.h>

#include <vector>

class CXPCtrlTabItem {
 public:
  class IClbck_XPCtrlTabItem {
   public:
    enum : int { kSelected = 0x1 };
    // Draws a tab's face into (a copy of) its rectangle; flags 0x1: the tab is selected.
    virtual BOOL DrawItem(CDC* dc, RECT* rect, CXPCtrlTabItem* item, int flags) = 0;

   protected:
    ~IClbck_XPCtrlTabItem() = default;
  };

  CXPCtrlTabItem() = default;
  CXPCtrlTabItem(const CXPCtrlTabItem&) = delete;
  CXPCtrlTabItem& operator=(const CXPCtrlTabItem&) = delete;
  virtual ~CXPCtrlTabItem();   // 0
  virtual int GetWidth();      // 1: width

  RECT rect{0, 0, 0, 0};
  BOOL enabled = TRUE;
  int width = -1;
  int id = 0;  // the host uses the tab index
  IClbck_XPCtrlTabItem* painter = nullptr;
};

// The tab rectangles of a strip: from rect.left + 35, each as wide as asked, cut at rect.right
// (later tabs get zero width there).
std::vector<RECT> LayoutTabs(const RECT& strip, const std::vector<int>& widths);

class CXPCtrlTab : public OptionData {
 public:
  class IClbck_XPCtrlTab {
   public:
    // Paints the strip's background; FALSE: the strip fills it with `back`.
    virtual BOOL DrawBackground(CDC* dc) { return FALSE; }                      // 0
    // FALSE refuses the change.
    virtual BOOL MayChange(int newIndex, int oldIndex) = 0;                     // 1
    virtual void Changed(int newIndex, int oldIndex) = 0;                       // 2

   protected:
    ~IClbck_XPCtrlTab() = default;
  };

  explicit CXPCtrlTab(CWnd* host = nullptr);
  CXPCtrlTab(const CXPCtrlTab&) = delete;
  CXPCtrlTab& operator=(const CXPCtrlTab&) = delete;

  // Virtual operations in slot order.
  virtual void Reserved();                                                       // 0: no-op
  virtual void Layout();                                                         // 1
  virtual void SetColors(COLORREF colour1, COLORREF selectedFill, COLORREF back, COLORREF line);  // 2
  virtual void RebuildPen();                                                     // 3
  virtual ~CXPCtrlTab();                                                         // 4

  // Appends an item (owned from now on); its index, or -1 (the item deleted) when it cannot be stored.
  int AddItem(CXPCtrlTabItem* item);
  CXPCtrlTabItem* GetItem(int index) const { return items.GetAt(index); }

  void Paint(CDC* dc, BOOL background);
  // Paints through a window DC of the host and an off-screen DC copied back only within rect.
  void Redraw(BOOL background);
  // Nothing without an owner or when it refuses; else selects, redraws when asked and reports.
  void SetSelection(int index, BOOL redraw);
  // The host's WM_LBUTTONDOWN: selects the enabled tab under the point; TRUE when it is selected.
  BOOL OnLButtonDown(POINT point);
  // The first tab whose rectangle holds the point, among the enabled ones unless all; -1.
  int HitTest(POINT* point, BOOL all);

  COLORREF colour1 = 0;       // kept, not drawn with
  COLORREF selectedFill = 0;  // the selected tab's face
  COLORREF back = 0;          // the strip's background when the owner does not paint it
  COLORREF line = 0;          // the separator pen's colour
  CPtrArrayAuto<CXPCtrlTabItem> items;
  BOOL layoutDirty = FALSE;
  IClbck_XPCtrlTab* owner = nullptr;
  int hot = -1;
  HCURSOR cursor;
  int selected = -1;
  CWnd* host;
  CPen separatorPen;
  BOOL initialised = FALSE;
  RECT rect{0, 0, 0, 0};  // in the host's client area; the host sets it
};
