// CWnd: attaching objects to windows and dispatching messages to the virtual handlers.
#include "window/WindowSystem.h"

#include "base/ThreadSlot.h"

#include <platform/afxwin.h>

#include <vector>

namespace kvp::win {

namespace {
thread_local CWnd* tlsCreating = nullptr;  // the object whose window is being created
// Messages being dispatched to objects, innermost last (see ThreadSlot for why not a thread_local).
std::vector<MSG>& CurrentMessages() {
  static auto* slot = new ThreadSlot<std::vector<MSG>>;
  return slot->Get();
}
}  // namespace

LRESULT AfxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

void AttachPendingObject(Window& w) {
  CWnd* obj = tlsCreating;
  if (!obj) return;
  tlsCreating = nullptr;
  w.object = obj;
  obj->m_hWnd = w.hwnd;
  w.proc = AfxWndProc;
}

WNDPROC ClassProcOf(HWND hwnd) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  return w ? w->cls->wc.lpfnWndProc : nullptr;
}

bool AfxPreTranslate(MSG* msg) {
  for (HWND h = msg->hwnd; h;) {
    CWnd* obj = CWnd::FromHandlePermanent(h);
    if (obj && obj->PreTranslateMessage(msg)) return true;
    Lock lock(Sys().mu);
    auto w = Get(h);
    h = (w && w->IsChild()) ? w->parent : 0;
  }
  return false;
}

LRESULT AfxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CWnd* obj = CWnd::FromHandlePermanent(hwnd);
  if (!obj) return ::DefWindowProc(hwnd, msg, wParam, lParam);
  return AfxCallWndProc(obj, hwnd, msg, wParam, lParam);
}

}  // namespace kvp::win

using namespace kvp::win;

LRESULT AfxCallWndProc(CWnd* wnd, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m{};
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  CurrentMessages().push_back(m);
  if (message == WM_NCCREATE && !wnd->m_pfnSuper) wnd->m_pfnSuper = ClassProcOf(hwnd);
  LRESULT r = wnd->WindowProc(message, wParam, lParam);
  CurrentMessages().pop_back();
  if (message == WM_NCDESTROY) {
    {
      Lock lock(Sys().mu);
      if (auto w = Get(hwnd)) {
        w->object = nullptr;
        w->proc = w->cls->wc.lpfnWndProc;
      }
    }
    wnd->m_hWnd = 0;
    wnd->PostNcDestroy();
  }
  return r;
}

CWnd::CWnd() = default;

CWnd::~CWnd() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) ::DestroyWindow(m_hWnd);
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  return w ? w->object : nullptr;
}

CWnd* CWnd::FromHandle(HWND hwnd) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return nullptr;
  if (w->object) return w->object;
  if (!w->wrapper) {
    w->wrapper = std::make_unique<CWnd>();
    w->wrapper->m_hWnd = hwnd;
  }
  return w->wrapper.get();
}

BOOL CWnd::Attach(HWND hwnd) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w || w->object || m_hWnd) return FALSE;
  w->object = this;
  m_pfnSuper = w->proc;
  w->proc = AfxWndProc;
  m_hWnd = hwnd;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND h = m_hWnd;
  Lock lock(Sys().mu);
  if (auto w = Get(h)) {
    if (w->object == this) {
      w->object = nullptr;
      w->proc = m_pfnSuper ? m_pfnSuper : w->cls->wc.lpfnWndProc;
    }
  }
  m_hWnd = 0;
  return h;
}

BOOL CWnd::Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                  LPVOID context) {
  return CreateEx(0, className, windowName, style, rect, parent, id, context);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                    UINT id, LPVOID param) {
  return CreateEx(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, parent ? parent->m_hWnd : 0, static_cast<HMENU>(id), param);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                    int height, HWND parent, HMENU menuOrId, LPVOID param) {
  if (m_hWnd) return FALSE;
  m_pfnSuper = nullptr;
  tlsCreating = this;
  HWND hwnd = ::CreateWindowEx(exStyle, className, windowName, style, x, y, width, height, parent, menuOrId,
                               AfxGetInstanceHandle(), param);
  tlsCreating = nullptr;
  return hwnd != 0;
}

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

void CWnd::PostNcDestroy() {}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper && m_pfnSuper != AfxWndProc) return ::CallWindowProc(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return ::DefWindowProc(m_hWnd, message, wParam, lParam);
}

const MSG* CWnd::GetCurrentMessage() {
  const std::vector<MSG>& current = CurrentMessages();
  return current.empty() ? nullptr : &current.back();
}

LRESULT CWnd::Default() {
  const MSG* m = GetCurrentMessage();
  if (!m) return 0;
  return DefWindowProc(m->message, m->wParam, m->lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }
BOOL CWnd::OnCommand(WPARAM, LPARAM) { return FALSE; }

namespace {
CPoint PointOf(LPARAM lParam) { return CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); }
CDC* DcOf(WPARAM wParam) { return wParam ? CDC::FromHandle(static_cast<HDC>(wParam)) : nullptr; }
CWnd* WndOf(uintptr_t h) { return CWnd::FromHandle(static_cast<HWND>(h)); }
}  // namespace

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_NCDESTROY: OnNcDestroy(); return 0;
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return OnEraseBkgnd(DcOf(wParam));
    case WM_ICONERASEBKGND: OnIconEraseBkgnd(DcOf(wParam)); return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_MOUSEMOVE: OnMouseMove(static_cast<UINT>(wParam), PointOf(lParam)); return 0;
    case WM_LBUTTONDOWN: OnLButtonDown(static_cast<UINT>(wParam), PointOf(lParam)); return 0;
    case WM_LBUTTONUP: OnLButtonUp(static_cast<UINT>(wParam), PointOf(lParam)); return 0;
    case WM_LBUTTONDBLCLK: OnLButtonDblClk(static_cast<UINT>(wParam), PointOf(lParam)); return 0;
    case WM_RBUTTONDOWN: OnRButtonDown(static_cast<UINT>(wParam), PointOf(lParam)); return 0;
    case WM_RBUTTONUP: OnRButtonUp(static_cast<UINT>(wParam), PointOf(lParam)); return 0;
    case WM_MOUSEWHEEL:
      return OnMouseWheel(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), PointOf(lParam));
    case WM_CANCELMODE: OnCancelMode(); return 0;
    case WM_CAPTURECHANGED: OnCaptureChanged(WndOf(static_cast<uintptr_t>(lParam))); return 0;
    case WM_SETCURSOR: return OnSetCursor(WndOf(wParam), LOWORD(lParam), HIWORD(lParam));
    case WM_SETFOCUS: OnSetFocus(WndOf(wParam)); return 0;
    case WM_KILLFOCUS: OnKillFocus(WndOf(wParam)); return 0;
    case WM_KEYDOWN: OnKeyDown(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_KEYUP: OnKeyUp(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_CHAR: OnChar(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_GETDLGCODE: return OnGetDlgCode();
    case WM_SIZE: OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_MOVE:
      OnMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      return 0;
    case WM_WINDOWPOSCHANGING: OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam)); return 0;
    case WM_WINDOWPOSCHANGED: OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(lParam)); return 0;
    case WM_SHOWWINDOW: OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam)); return 0;
    case WM_ENABLE: OnEnable(static_cast<BOOL>(wParam)); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_CONTEXTMENU: OnContextMenu(WndOf(wParam), PointOf(lParam)); return 0;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return static_cast<LRESULT>(
          OnCtlColor(DcOf(wParam), WndOf(static_cast<uintptr_t>(lParam)), message - WM_CTLCOLORMSGBOX));
    case WM_VSCROLL:
    case WM_HSCROLL: {
      auto* bar = dynamic_cast<CScrollBar*>(FromHandlePermanent(static_cast<HWND>(lParam)));
      if (message == WM_VSCROLL) {
        OnVScroll(LOWORD(wParam), HIWORD(wParam), bar);
      } else {
        OnHScroll(LOWORD(wParam), HIWORD(wParam), bar);
      }
      return 0;
    }
    case WM_SYSCOMMAND: OnSysCommand(static_cast<UINT>(wParam), lParam); return 0;
    case WM_QUERYDRAGICON: return static_cast<LRESULT>(OnQueryDragIcon());
    case WM_DRAWITEM: OnDrawItem(static_cast<int>(wParam), reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)); return TRUE;
    case WM_GETMINMAXINFO: OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam), WndOf(static_cast<uintptr_t>(lParam)), HIWORD(wParam));
      return 0;
    case WM_ACTIVATEAPP: OnActivateApp(static_cast<BOOL>(wParam), static_cast<DWORD>(lParam)); return 0;
    case WM_HELP: return OnHelpInfo(reinterpret_cast<HELPINFO*>(lParam));
    case WM_HOTKEY: OnHotKey(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_COMMAND: return OnCommand(wParam, lParam) ? 0 : DefWindowProc(message, wParam, lParam);
    case WM_NOTIFY: {
      LRESULT result = 0;
      return OnNotify(wParam, lParam, &result) ? result : DefWindowProc(message, wParam, lParam);
    }
    case WM_MOUSELEAVE: OnMouseLeave(); return 0;
    default: return DefWindowProc(message, wParam, lParam);
  }
}

int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnNcDestroy() { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
void CWnd::OnIconEraseBkgnd(CDC*) { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) { return static_cast<BOOL>(Default()); }
void CWnd::OnCancelMode() { Default(); }
void CWnd::OnCaptureChanged(CWnd*) { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
UINT CWnd::OnGetDlgCode() { return static_cast<UINT>(Default()); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnMove(int, int) { Default(); }
void CWnd::OnWindowPosChanging(WINDOWPOS*) { Default(); }
void CWnd::OnWindowPosChanged(WINDOWPOS*) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
void CWnd::OnEnable(BOOL) { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnContextMenu(CWnd*, CPoint) { Default(); }
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) { return static_cast<HBRUSH>(Default()); }
void CWnd::OnVScroll(UINT, UINT, CScrollBar*) { Default(); }
void CWnd::OnHScroll(UINT, UINT, CScrollBar*) { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return static_cast<HCURSOR>(Default()); }
void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT dis) {
  // An owner-drawn button object draws itself when its parent leaves it the drawing.
  if (dis && dis->CtlType == ODT_BUTTON) {
    if (auto* button = dynamic_cast<CButton*>(FromHandlePermanent(dis->hwndItem))) {
      button->DrawItem(dis);
      return;
    }
  }
  Default();
}
void CWnd::OnMouseLeave() { Default(); }
BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }
void CWnd::OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
void CWnd::OnActivate(UINT, CWnd*, BOOL) { Default(); }
void CWnd::OnActivateApp(BOOL, DWORD) { Default(); }
BOOL CWnd::OnHelpInfo(HELPINFO*) { return static_cast<BOOL>(Default()); }
void CWnd::OnHotKey(UINT, UINT, UINT) { Default(); }

CDC* CWnd::GetDC() {
  HDC dc = ::GetDC(m_hWnd);
  return dc ? CDC::FromHandle(dc) : nullptr;
}

CDC* CWnd::GetWindowDC() {
  HDC dc = ::GetWindowDC(m_hWnd);
  return dc ? CDC::FromHandle(dc) : nullptr;
}

int CWnd::ReleaseDC(CDC* dc) { return dc ? ::ReleaseDC(m_hWnd, dc->m_hDC) : 0; }

CWnd* CWnd::GetTopLevelParent() const { return FromHandle(TopLevelOf(m_hWnd)); }

void CWnd::GetWindowText(CString& text) const {
  int n = GetWindowTextLength();
  std::vector<char> buffer(static_cast<size_t>(n) + 1);
  ::GetWindowText(m_hWnd, buffer.data(), n + 1);
  text = CString(buffer.data());
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) {
  DWORD style = GetStyle();
  DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  ::SetWindowLong(m_hWnd, GWL_STYLE, static_cast<LONG>(changed));
  if (swpFlags) ::SetWindowPos(m_hWnd, 0, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
  return TRUE;
}

CMenu* CWnd::GetSystemMenu(BOOL revert) const { return CMenu::FromHandle(::GetSystemMenu(m_hWnd, revert)); }

void CWnd::CenterWindow(CWnd* alternateOwner) {
  CRect area;
  HWND owner = alternateOwner ? alternateOwner->m_hWnd : ::GetWindow(m_hWnd, GW_OWNER);
  if (owner) {
    ::GetWindowRect(owner, &area);
  } else {
    area = CRect(0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
  }
  CRect mine;
  GetWindowRect(&mine);
  int x = area.left + (area.Width() - mine.Width()) / 2;
  int y = area.top + (area.Height() - mine.Height()) / 2;
  ::SetWindowPos(m_hWnd, 0, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
