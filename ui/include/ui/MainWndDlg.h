// CMainWndDlg: the program's one top-level window, a dialog (template 102, window class
// "CDravixScopeClass") whose modal loop is the program's main loop. It creates the panes of the
// pane table it is given, shows one at a time under a strip of ten icon tabs, switches on a tab
// click or WM_SELECTTAB, picks the first tab from the command line and the board, keeps a 4:3
// maximised shape, asks before quitting and, on its way out, brings another program to the front.
//
// The tab rules: the settings' current and previous tab change only in Changed, just before the
// new pane's Activate; a refused change, a tab outside 0..9, the tab already shown or a disabled
// tab record nothing.
#pragma once

#include <ui/PaneWnd.h>
#include <ui/XPCtrlTab.h>

#include <platform/afxwin.h>

#include <core/GlobalProps.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The dialog template and window class of the main window; the icons, bitmaps and string of it.
enum : UINT {
  IDD_MAINWND = 102,
  IDS_ABOUTBOX = 101,
  IDR_MAINFRAME_SMALL = 132,
  IDR_MAINFRAME = 133,
  IDB_TABS_SELECTED = 157,
  IDB_TABS_NORMAL = 158,
  IDM_ABOUTBOX = 16,
};
inline constexpr const char* kMainWindowClass = "CDravixScopeClass";
inline constexpr int kTabCount = 10;
inline constexpr int kTabWidth = 44;

// Registers the main window's class from the class information of the dialog class; TRUE when
// the class exists afterwards.
BOOL RegisterMainWindowClass();
// Registers the template 102 and the string 101 (once).
void RegisterMainWindowTemplate();

// The shape rule of the maximised window: h / w > 0.81 → h = 0.75 w; h / w < 0.69 → w = 4 / 3 h
// (truncated). A proposed width of 0 leaves the size unchanged.
void ApplyShapeRule(POINT& maxSize);

// The first tab: exactly one argument "osc" → 0; "mt" → 4; any other word, or no or several
// arguments → 4 when the engine-tester board is ready, else 0. On the reduced variant tab 0 is
// disabled, so every choice of 0 becomes 1.
int ChooseFirstTab(const std::vector<std::string>& args, BOOL reduced, BOOL engineTesterReady);

// What the main window asks of the rest of the program.
struct MainWndEnvironment {
  std::vector<std::string> args;
  std::function<BOOL()> devicePresent = [] { return FALSE; };
  std::function<BOOL()> reduced = [] { return FALSE; };
  std::function<BOOL()> engineTesterReady = [] { return FALSE; };
  // The main window and the engine-tester window, for the engine's refusals (may be empty).
  std::function<void(HWND main, HWND engineTester)> registerWindows;
  // The about dialog of the system-menu item; empty: the program's about box, modal.
  std::function<void(CWnd* owner)> about;
  // True when the program is to end without the quit question (a signal asked for it).
  std::function<bool()> quitWithoutAsking;
  // Called once the window is shown and its first tab painted (screenshots of unattended runs).
  std::function<void(HWND main)> onShown;
};

class CMainWndDlg : public CDialog, public CXPCtrlTab::IClbck_XPCtrlTab, public CXPCtrlTabItem::IClbck_XPCtrlTabItem {
 public:
  CMainWndDlg(PaneTable table, MainWndEnvironment environment, GlobalProps& settings);
  ~CMainWndDlg() override;

  // Tab strip callbacks.
  BOOL MayChange(int newTab, int oldTab) override;
  void Changed(int newTab, int oldTab) override;
  BOOL DrawItem(CDC* dc, RECT* rect, CXPCtrlTabItem* item, int flags) override;

  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnDestroy() override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnWindowPosChanged(WINDOWPOS* pos) override;
  void OnTimer(UINT_PTR id) override;

  // For the program and its tests.
  CXPCtrlTab& Strip() { return strip_; }
  CWnd* Pane(int tab) const;
  CWnd* StartScreen() const { return startScreen_; }
  int SelectedTab() const { return strip_.selected; }
  const std::vector<std::unique_ptr<CWnd>>& Panes() const { return panes_; }

  // Selects a tab as WM_SELECTTAB does; 1.
  LRESULT OnSelectTab(int tab);
  // The window to bring to the front when the program ends (0: none), as WM_DESTROY finds it.
  static HWND FindSwitchTarget();

 private:
  void LayoutPanes();
  void PaintStrip(CDC* dc);

  PaneTable table_;
  MainWndEnvironment env_;
  GlobalProps& settings_;
  CXPCtrlTab strip_;
  CFont fontNormal_;
  CFont fontBold_;
  std::vector<std::unique_ptr<CWnd>> panes_;  // table order
  IPaneWnd* byTab_[kTabCount] = {};
  CWnd* startScreen_ = nullptr;
  int scopeEntry_ = -1;
  HICON bigIcon_ = 0;
  HICON smallIcon_ = 0;
  HBITMAP tabsSelected_ = 0;
  HBITMAP tabsNormal_ = 0;
  HBITMAP tabsDisabled_ = 0;  // the normal icons greyed, made from them
};
