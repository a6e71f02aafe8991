// The class library's window classes the program is written in: CWnd, CDialog, CWinApp,
// CWinThread, the window DCs (CPaintDC, CClientDC, CWindowDC) and a small CMenu.
//
// Message dispatch: CWnd::WindowProc is virtual and sends every message it knows to a virtual
// handler with the class library's name and signature (OnPaint, OnTimer, OnLButtonDown, ...).
// A class handles a message by overriding its handler; there are no message maps. A handler that
// wants the default handling calls the base class's handler (which calls Default()). Messages
// without a handler (the program's private WM_APP messages, for example) are handled by
// overriding WindowProc, switching on them and passing the rest to the base class:
//
//   LRESULT CMainWndDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
//     if (msg == WM_SELECTTAB) return OnSelectTab(wp, lp);
//     return CDialog::WindowProc(msg, wp, lp);
//   }
//
// `afx_msg` is accepted (and means nothing) so handler declarations read as usual.
//
// A CWnd object is attached to its window from the first message (WM_NCCREATE) to the last
// (WM_NCDESTROY); after that m_hWnd is 0 and PostNcDestroy runs. Destroying the object destroys
// a window that still exists.
//
// Dialogs: CDialog::DoModal creates the dialog window (WM_CREATE, then OnInitDialog), shows it
// and runs a modal loop until EndDialog. While it runs, the owner is disabled; a dialog without a
// parent is owned by the application's main window. Enter in any focused descendant reaches OnOK,
// Escape, the close box and WM_CLOSE reach OnCancel, unless the focused control asks for the key
// through WM_GETDLGCODE. A dialog built in code sets its window class, caption, style and
// rectangle (m_strClassName, m_strCaption, m_dwStyle, m_rcDialog) before DoModal and creates its
// controls in OnCreate or OnInitDialog.
#pragma once

#include <platform/afx.h>
#include <platform/afxgdi.h>
#include <platform/controls.h>
#include <platform/dialogtemplate.h>
#include <platform/sync.h>
#include <platform/window.h>

#define afx_msg

class CWnd;
class CDialog;
class CMenu;
class CScrollBar;
class CDataExchange;

class PLATFORM_API CWnd {
 public:
  CWnd();
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = 0;

  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }
  bool operator==(const CWnd& o) const { return m_hWnd == o.m_hWnd; }

  // The object attached to a window, or a wrapper the window owns until it is destroyed.
  static CWnd* FromHandle(HWND hwnd);
  // Only an attached object, else null.
  static CWnd* FromHandlePermanent(HWND hwnd);
  BOOL Attach(HWND hwnd);
  HWND Detach();

  // Creation and destruction.
  virtual BOOL Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                      LPVOID context = nullptr);
  virtual BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect,
                        CWnd* parent, UINT id, LPVOID param = nullptr);
  BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width, int height,
                HWND parent, HMENU menuOrId, LPVOID param = nullptr);
  virtual BOOL DestroyWindow();
  // Called after the window's last message; the default does nothing.
  virtual void PostNcDestroy();

  // Dispatch.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The window's default handling: the class's window procedure (DefWindowProc for most classes,
  // DefDlgProc for dialogs).
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Default handling of the message being dispatched.
  LRESULT Default();
  static const MSG* GetCurrentMessage();
  // Called by the message loops before a message is dispatched, for this window and then its
  // parents; TRUE means the message was handled.
  virtual BOOL PreTranslateMessage(MSG* msg);
  // WM_COMMAND; TRUE when handled.
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

  // Window functions.
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessage(m_hWnd, message, wParam, lParam);
  }
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessage(m_hWnd, message, wParam, lParam);
  }
  BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
  BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE) {
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
  }
  void MoveWindow(LPCRECT rect, BOOL repaint = TRUE) {
    ::MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
  }
  BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(m_hWnd, insertAfter ? insertAfter->m_hWnd : 0, x, y, cx, cy, flags);
  }
  void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
  void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
  void ScreenToClient(LPPOINT point) const { ::ScreenToClient(m_hWnd, point); }
  void ScreenToClient(LPRECT rect) const { ::MapWindowPoints(0, m_hWnd, reinterpret_cast<LPPOINT>(rect), 2); }
  void ClientToScreen(LPPOINT point) const { ::ClientToScreen(m_hWnd, point); }
  void ClientToScreen(LPRECT rect) const { ::MapWindowPoints(m_hWnd, 0, reinterpret_cast<LPPOINT>(rect), 2); }
  void MapWindowPoints(CWnd* to, LPPOINT points, UINT count) const {
    ::MapWindowPoints(m_hWnd, to ? to->m_hWnd : 0, points, count);
  }
  void MapWindowPoints(CWnd* to, LPRECT rect) const {
    ::MapWindowPoints(m_hWnd, to ? to->m_hWnd : 0, reinterpret_cast<LPPOINT>(rect), 2);
  }
  void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
  void InvalidateRect(LPCRECT rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
  void ValidateRect(LPCRECT rect) { ::ValidateRect(m_hWnd, rect); }
  void UpdateWindow() { ::UpdateWindow(m_hWnd); }
  BOOL RedrawWindow(LPCRECT rect = nullptr, void* region = nullptr,
                    UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE) {
    return ::RedrawWindow(m_hWnd, rect, region, flags);
  }
  // A DC for drawing outside WM_PAINT (shown at once); give it back with ReleaseDC.
  CDC* GetDC();
  CDC* GetWindowDC();
  int ReleaseDC(CDC* dc);
  UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs, TIMERPROC proc = nullptr) { return ::SetTimer(m_hWnd, id, elapseMs, proc); }
  BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
  CWnd* SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
  static CWnd* GetCapture() { return FromHandle(::GetCapture()); }
  CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
  static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
  static CWnd* GetActiveWindow() { return FromHandle(::GetActiveWindow()); }
  static CWnd* GetForegroundWindow() { return FromHandle(::GetForegroundWindow()); }
  static CWnd* FindWindow(LPCSTR className, LPCSTR windowName) {
    return FromHandle(::FindWindow(className, windowName));
  }
  static CWnd* WindowFromPoint(POINT screen) { return FromHandle(::WindowFromPoint(screen)); }
  BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
  void BringWindowToTop() { ::BringWindowToTop(m_hWnd); }
  CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
  CWnd* GetOwner() const { return FromHandle(::GetWindow(m_hWnd, GW_OWNER)); }
  CWnd* GetTopLevelParent() const;
  CWnd* GetWindow(UINT cmd) const { return FromHandle(::GetWindow(m_hWnd, cmd)); }
  CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  int SetDlgCtrlID(int id) { return static_cast<int>(::SetWindowLong(m_hWnd, GWL_ID, id)); }
  BOOL IsChild(const CWnd* wnd) const { return wnd && ::IsChild(m_hWnd, wnd->m_hWnd); }
  CWnd* ChildWindowFromPoint(POINT client) const { return FromHandle(::ChildWindowFromPoint(m_hWnd, client)); }
  void SetWindowText(LPCSTR text) { ::SetWindowText(m_hWnd, text); }
  int GetWindowText(LPSTR buffer, int size) const { return ::GetWindowText(m_hWnd, buffer, size); }
  void GetWindowText(CString& text) const;
  int GetWindowTextLength() const { return ::GetWindowTextLength(m_hWnd); }
  DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLong(m_hWnd, GWL_STYLE)); }
  DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLong(m_hWnd, GWL_EXSTYLE)); }
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
  HICON SetIcon(HICON icon, BOOL big) {
    return static_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, static_cast<LPARAM>(icon)));
  }
  HICON GetIcon(BOOL big) const { return static_cast<HICON>(SendMessage(WM_GETICON, big ? ICON_BIG : ICON_SMALL, 0)); }
  CMenu* GetSystemMenu(BOOL revert) const;
  int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = MB_OK) const {
    return ::MessageBox(m_hWnd, text, caption, type);
  }
  void CenterWindow(CWnd* alternateOwner = nullptr);

  // Dialog items and data exchange.
  void SetDlgItemText(int id, LPCSTR text) { ::SetDlgItemText(m_hWnd, id, text); }
  int GetDlgItemText(int id, LPSTR buffer, int size) const {
    return static_cast<int>(::GetDlgItemText(m_hWnd, id, buffer, size));
  }
  int GetDlgItemText(int id, CString& text) const;
  void SetDlgItemInt(int id, UINT value, BOOL isSigned = TRUE) { ::SetDlgItemInt(m_hWnd, id, value, isSigned); }
  UINT GetDlgItemInt(int id, BOOL* translated = nullptr, BOOL isSigned = TRUE) const {
    return ::GetDlgItemInt(m_hWnd, id, translated, isSigned);
  }
  void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
  UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
  void CheckRadioButton(int firstId, int lastId, int checkId) { ::CheckRadioButton(m_hWnd, firstId, lastId, checkId); }
  LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendDlgItemMessage(m_hWnd, id, message, wParam, lParam);
  }
  CWnd* GetNextDlgTabItem(CWnd* control, BOOL previous = FALSE) const {
    return FromHandle(::GetNextDlgTabItem(m_hWnd, control ? control->m_hWnd : 0, previous));
  }
  // Attaches this object to the dialog's control with the id.
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  BOOL SubclassWindow(HWND hwnd) { return Attach(hwnd); }
  HWND UnsubclassWindow() { return Detach(); }
  // Loads (FALSE) or saves and validates (TRUE) the dialog data; FALSE when a validation failed.
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  virtual void DoDataExchange(CDataExchange* dx);

  // Scroll bars (the window's own: SB_VERT, SB_HORZ).
  int SetScrollPos(int bar, int pos, BOOL redraw = TRUE) { return ::SetScrollPos(m_hWnd, bar, pos, redraw); }
  int GetScrollPos(int bar) const { return ::GetScrollPos(m_hWnd, bar); }
  void SetScrollRange(int bar, int minPos, int maxPos, BOOL redraw = TRUE) {
    ::SetScrollRange(m_hWnd, bar, minPos, maxPos, redraw);
  }
  void GetScrollRange(int bar, LPINT minPos, LPINT maxPos) const { ::GetScrollRange(m_hWnd, bar, minPos, maxPos); }
  void ShowScrollBar(UINT bar, BOOL show = TRUE) { ::ShowScrollBar(m_hWnd, static_cast<int>(bar), show); }
  BOOL SetScrollInfo(int bar, LPSCROLLINFO info, BOOL redraw = TRUE) {
    ::SetScrollInfo(m_hWnd, bar, info, redraw);
    return TRUE;
  }
  BOOL GetScrollInfo(int bar, LPSCROLLINFO info, UINT mask = SIF_ALL) {
    info->fMask = mask;
    return ::GetScrollInfo(m_hWnd, bar, info);
  }

  // Tooltips for the window's children (WM_NOTIFY TTN_NEEDTEXTA asks for their texts).
  BOOL EnableToolTips(BOOL enable = TRUE) { return kvp::EnableWindowToolTips(m_hWnd, enable); }
  // The wait cursor (nestable, any thread).
  void BeginWaitCursor() { kvp::BeginWaitCursorHold(); }
  void EndWaitCursor() { kvp::EndWaitCursorHold(); }
  void RestoreWaitCursor() {}

  // Message handlers; each default runs the window's default handling.
  afx_msg virtual int OnCreate(LPCREATESTRUCT cs);
  afx_msg virtual void OnDestroy();
  afx_msg virtual void OnNcDestroy();
  afx_msg virtual void OnPaint();
  afx_msg virtual BOOL OnEraseBkgnd(CDC* dc);
  afx_msg virtual void OnIconEraseBkgnd(CDC* dc);
  afx_msg virtual void OnTimer(UINT_PTR id);
  afx_msg virtual void OnMouseMove(UINT flags, CPoint point);
  afx_msg virtual void OnLButtonDown(UINT flags, CPoint point);
  afx_msg virtual void OnLButtonUp(UINT flags, CPoint point);
  afx_msg virtual void OnLButtonDblClk(UINT flags, CPoint point);
  afx_msg virtual void OnRButtonDown(UINT flags, CPoint point);
  afx_msg virtual void OnRButtonUp(UINT flags, CPoint point);
  afx_msg virtual BOOL OnMouseWheel(UINT flags, short delta, CPoint screenPoint);
  afx_msg virtual void OnCancelMode();
  afx_msg virtual void OnCaptureChanged(CWnd* newCapture);
  afx_msg virtual BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
  afx_msg virtual void OnSetFocus(CWnd* oldWnd);
  afx_msg virtual void OnKillFocus(CWnd* newWnd);
  afx_msg virtual void OnKeyDown(UINT ch, UINT repeat, UINT flags);
  afx_msg virtual void OnKeyUp(UINT ch, UINT repeat, UINT flags);
  afx_msg virtual void OnChar(UINT ch, UINT repeat, UINT flags);
  afx_msg virtual UINT OnGetDlgCode();
  afx_msg virtual void OnSize(UINT type, int cx, int cy);
  afx_msg virtual void OnMove(int x, int y);
  afx_msg virtual void OnWindowPosChanging(WINDOWPOS* pos);
  afx_msg virtual void OnWindowPosChanged(WINDOWPOS* pos);
  afx_msg virtual void OnShowWindow(BOOL show, UINT status);
  afx_msg virtual void OnEnable(BOOL enable);
  afx_msg virtual void OnClose();
  afx_msg virtual void OnContextMenu(CWnd* wnd, CPoint screenPoint);
  afx_msg virtual HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);
  afx_msg virtual void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg virtual void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg virtual void OnSysCommand(UINT id, LPARAM lParam);
  afx_msg virtual HCURSOR OnQueryDragIcon();
  afx_msg virtual void OnDrawItem(int id, LPDRAWITEMSTRUCT dis);
  afx_msg virtual void OnGetMinMaxInfo(MINMAXINFO* mmi);
  afx_msg virtual void OnActivate(UINT state, CWnd* other, BOOL minimized);
  afx_msg virtual void OnActivateApp(BOOL active, DWORD threadId);
  afx_msg virtual BOOL OnHelpInfo(HELPINFO* info);
  afx_msg virtual void OnHotKey(UINT id, UINT modifiers, UINT vk);
  afx_msg virtual void OnMouseLeave();
  afx_msg virtual HBRUSH OnCtlColorDefault(UINT) { return 0; }
  // WM_NOTIFY; TRUE when handled, with the message's answer in *result.
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);

 protected:
  WNDPROC m_pfnSuper = nullptr;  // the class's window procedure, for DefWindowProc
  friend LRESULT AfxCallWndProc(CWnd* wnd, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

// A "ScrollBar" control.
class PLATFORM_API CScrollBar : public CWnd {
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_SCROLLBAR, "", style, rect, parent, id);
  }
  int GetScrollPos() const { return ::GetScrollPos(m_hWnd, SB_CTL); }
  int SetScrollPos(int pos, BOOL redraw = TRUE) { return ::SetScrollPos(m_hWnd, SB_CTL, pos, redraw); }
  void GetScrollRange(LPINT minPos, LPINT maxPos) const { ::GetScrollRange(m_hWnd, SB_CTL, minPos, maxPos); }
  void SetScrollRange(int minPos, int maxPos, BOOL redraw = TRUE) {
    ::SetScrollRange(m_hWnd, SB_CTL, minPos, maxPos, redraw);
  }
  BOOL SetScrollInfo(LPSCROLLINFO info, BOOL redraw = TRUE) {
    ::SetScrollInfo(m_hWnd, SB_CTL, info, redraw);
    return TRUE;
  }
  BOOL GetScrollInfo(LPSCROLLINFO info, UINT mask = SIF_ALL) {
    info->fMask = mask;
    return ::GetScrollInfo(m_hWnd, SB_CTL, info);
  }
  void ShowScrollBar(BOOL show = TRUE) { ::ShowScrollBar(m_hWnd, SB_CTL, show); }
};

class PLATFORM_API CMenu {
 public:
  HMENU m_hMenu = 0;
  static CMenu* FromHandle(HMENU menu);
  BOOL AppendMenu(UINT flags, UINT_PTR idNewItem = 0, LPCSTR text = nullptr) {
    return ::AppendMenu(m_hMenu, flags, idNewItem, text);
  }
  UINT GetMenuItemCount() const { return static_cast<UINT>(::GetMenuItemCount(m_hMenu)); }
};

class PLATFORM_API CDialog : public CWnd {
 public:
  CDialog();
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  explicit CDialog(LPCSTR templateName, CWnd* parent = nullptr);

  // Runs the dialog modally; returns the EndDialog code, or -1 when the window could not be made.
  virtual INT_PTR DoModal();
  // Ends a modal dialog after the current handler returns (a modeless one is hidden).
  void EndDialog(int result);
  // Creates the dialog modelessly.
  using CWnd::Create;
  virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);

  // The default loads the dialog data (UpdateData(FALSE)).
  virtual BOOL OnInitDialog();
  // The default saves the dialog data and ends the dialog with IDOK unless a validation failed.
  virtual void OnOK();
  virtual void OnCancel();

  // The default push button (DM_SETDEFID / DM_GETDEFID).
  void SetDefID(UINT id) { SendMessage(DM_SETDEFID, id); }
  DWORD GetDefID() const { return static_cast<DWORD>(SendMessage(DM_GETDEFID)); }
  void GotoDlgCtrl(CWnd* control);
  void NextDlgCtrl() const;
  void PrevDlgCtrl() const;
  void MapDialogRect(LPRECT rect) const { ::MapDialogRect(m_hWnd, rect); }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

 public:
  UINT m_nIDHelp = 0;
  UINT m_nIDTemplate = 0;
  LPCSTR m_lpszTemplateName = nullptr;
  CWnd* m_pParentWnd = nullptr;

  // The dialog window as CreateDialogWindow makes it.
  CString m_strClassName = WC_DIALOG;
  CString m_strCaption;
  DWORD m_dwStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | DS_MODALFRAME;
  DWORD m_dwExStyle = WS_EX_DLGMODALFRAME;
  CRect m_rcDialog = CRect(0, 0, 320, 200);

 protected:
  // Creates the (hidden) dialog window owned by `owner` and runs WM_INITDIALOG.
  virtual BOOL CreateDialogWindow(HWND owner);
  // The owner of a dialog with the given parent: the parent's top-level window, or the
  // application's main window for none.
  HWND PreModal();

  bool m_bModal = false;
  bool m_bEnded = false;
  int m_nModalResult = -1;
};

class PLATFORM_API CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* wnd);
  ~CPaintDC() override;
  PAINTSTRUCT m_ps{};

 private:
  HWND m_hWnd;
};

class PLATFORM_API CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* wnd);
  ~CClientDC() override;

 private:
  HWND m_hWnd;
};

class PLATFORM_API CWindowDC : public CDC {
 public:
  explicit CWindowDC(CWnd* wnd);
  ~CWindowDC() override;

 private:
  HWND m_hWnd;
};

typedef UINT (*AFX_THREADPROC)(LPVOID param);

class PLATFORM_API CWinThread {
 public:
  CWinThread() = default;
  virtual ~CWinThread();
  HANDLE m_hThread = 0;
  DWORD m_nThreadID = 0;
  BOOL m_bAutoDelete = TRUE;  // the object deletes itself (and closes the handle) when the thread ends
  CWnd* m_pMainWnd = nullptr;

  DWORD ResumeThread() { return ::ResumeThread(m_hThread); }
  BOOL SetThreadPriority(int priority) { return ::SetThreadPriority(m_hThread, priority); }
  operator HANDLE() const { return m_hThread; }

  AFX_THREADPROC m_pfnThreadProc = nullptr;
  LPVOID m_pThreadParams = nullptr;
};

class PLATFORM_API CWinApp {
 public:
  explicit CWinApp(LPCSTR appName = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitApplication();
  // Returns FALSE to end the program without a message loop.
  virtual BOOL InitInstance();
  // The message loop, until WM_QUIT.
  virtual int Run();
  virtual int ExitInstance();

  HCURSOR LoadStandardCursor(LPCSTR name) const { return ::LoadCursor(0, name); }
  HCURSOR LoadCursor(UINT id) const { return ::LoadCursor(m_hInstance, MAKEINTRESOURCE(id)); }

  CWnd* m_pMainWnd = nullptr;
  HINSTANCE m_hInstance = 0;
  LPCSTR m_pszAppName = nullptr;
  LPSTR m_lpCmdLine = nullptr;
  int m_nCmdShow = SW_SHOWNORMAL;
};

// The command line as the program was given it.
PLATFORM_API extern int __argc;
PLATFORM_API extern char** __argv;

PLATFORM_API CWinApp* AfxGetApp();
PLATFORM_API CWnd* AfxGetMainWnd();
PLATFORM_API HINSTANCE AfxGetInstanceHandle();
PLATFORM_API HINSTANCE AfxGetResourceHandle();
// A message box owned by the main window, with the application's name as caption.
PLATFORM_API int AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT helpId = 0);
PLATFORM_API BOOL AfxRegisterClass(WNDCLASS* wc);
// Starts a worker thread running proc(param); the returned object deletes itself when the thread
// ends unless m_bAutoDelete is cleared (start suspended to clear it safely).
PLATFORM_API CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                                        UINT stackSize = 0, DWORD flags = 0, LPSECURITY_ATTRIBUTES sa = nullptr);
// The program's main: opens the display (X11 when $DISPLAY names one, else headless), runs the
// application object's InitInstance and, when it returns TRUE, its Run; returns the exit code.
PLATFORM_API int AfxWinMain(int argc, char** argv);

#include <platform/afxctrl.h>
