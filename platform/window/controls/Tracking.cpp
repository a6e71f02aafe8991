// Following the pointer: WM_MOUSELEAVE for TrackMouseEvent, tooltips of the windows that enabled
// them, and the wait cursor.
//
// The window system reports every mouse event with the window under the pointer while it takes
// the event from the queue (NoteMouseTarget, with the window system's lock held): what follows
// from it is posted or runs from timers, never inside the lock.
#include "window/controls/ControlKit.h"

#include <platform/clock.h>

#include <atomic>
#include <cstring>
#include <iterator>
#include <set>

namespace kvp::win {

namespace {

struct Tracking {
  HWND leaveWindow = 0;        // TME_LEAVE
  std::set<HWND> tipOwners;    // windows whose children are tools
  HWND tool = 0;               // the tool under the pointer
  HWND toolOwner = 0;
  UINT_PTR restTimer = 0;      // thread timer until the tip is asked for
  UINT_PTR hideTimer = 0;
  HWND tip = 0;                // the shown tip popup
  std::string tipText;
  POINT pointer{};
  bool suppressed = false;     // a click on the tool hides its tip until the pointer leaves it
};

Tracking& T() {
  static auto* t = new Tracking();  // under Sys().mu
  return *t;
}

std::atomic<int> gWaitHolds{0};  // wait cursor holds, any thread

void HideTipLocked() {
  Tracking& t = T();
  if (t.hideTimer) KillTimer(0, t.hideTimer);
  t.hideTimer = 0;
  if (t.tip) PostMessage(t.tip, WM_CLOSE, 0, 0);
  t.tip = 0;
  t.tipText.clear();
}

void CALLBACK HideTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  Lock lock(Sys().mu);
  KillTimer(0, id);
  if (T().hideTimer == id) {
    T().hideTimer = 0;
    HideTipLocked();
  }
}

void ShowTip(HWND owner, HWND tool, const std::string& text, POINT at) {
  HWND top = TopLevelOf(owner);
  HDC dc = CreateCompatibleDC(0);
  HGDIOBJ old = SelectObject(dc, controls::DefaultControlFont());
  const int w = controls::TextWidth(dc, text) + 8;
  const int h = controls::LineHeight(dc) + 4;
  SelectObject(dc, old);
  DeleteDC(dc);
  HWND tip = CreateWindowEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, controls::kToolTipClass, text.c_str(),
                            WS_POPUP | WS_BORDER, at.x, at.y + 20, w, h, top, 0, 0, nullptr);
  if (!tip) return;
  ShowWindow(tip, SW_SHOWNA);
  Lock lock(Sys().mu);
  Tracking& t = T();
  if (t.tool != tool) {  // the pointer moved on while the tip was being made
    PostMessage(tip, WM_CLOSE, 0, 0);
    return;
  }
  t.tip = tip;
  t.tipText = text;
  t.hideTimer = SetTimer(0, 0, kvp::kToolTipShowMs, HideTimerProc);
}

void CALLBACK RestTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  HWND owner, tool;
  POINT at;
  {
    Lock lock(Sys().mu);
    KillTimer(0, id);
    Tracking& t = T();
    if (t.restTimer != id) return;
    t.restTimer = 0;
    owner = t.toolOwner;
    tool = t.tool;
    at = t.pointer;
    if (!tool || !Get(owner) || !Get(tool) || t.suppressed) return;
  }
  NMTTDISPINFOA info{};
  info.hdr.hwndFrom = 0;
  info.hdr.idFrom = static_cast<UINT_PTR>(tool);
  info.hdr.code = TTN_NEEDTEXTA;
  info.uFlags = TTF_IDISHWND;
  SendMessage(owner, WM_NOTIFY, static_cast<WPARAM>(tool), reinterpret_cast<LPARAM>(&info));
  info.szText[sizeof info.szText - 1] = 0;
  std::string text;
  if (info.lpszText && !IS_INTRESOURCE(info.lpszText)) {
    text = info.lpszText;
  } else {
    text = info.szText;
  }
  if (!text.empty()) ShowTip(owner, tool, text, at);
}

// The tool under the pointer: a child (at any depth) of a window with tooltips enabled.
void FindTool(HWND target, HWND* tool, HWND* owner) {
  *tool = *owner = 0;
  for (HWND h = target; h;) {
    auto w = Get(h);
    if (!w || !w->IsChild()) return;
    if (T().tipOwners.count(w->parent)) {
      *tool = h;
      *owner = w->parent;
      return;
    }
    h = w->parent;
  }
}

}  // namespace

void NoteMouseTarget(HWND target, POINT screen, UINT message) {
  Lock lock(Sys().mu);
  Tracking& t = T();
  if (t.leaveWindow && target != t.leaveWindow) {
    PostMessage(t.leaveWindow, WM_MOUSELEAVE, 0, 0);
    t.leaveWindow = 0;
  }
  for (auto it = t.tipOwners.begin(); it != t.tipOwners.end();) {
    it = Get(*it) ? std::next(it) : t.tipOwners.erase(it);  // destroyed windows have no tips
  }
  if (t.tipOwners.empty() && !t.tool) return;
  HWND tool, owner;
  FindTool(target, &tool, &owner);
  const bool button = message != WM_MOUSEMOVE;
  if (tool != t.tool) {
    HideTipLocked();
    if (t.restTimer) KillTimer(0, t.restTimer);
    t.restTimer = 0;
    t.tool = tool;
    t.toolOwner = owner;
    t.suppressed = false;
  }
  t.pointer = screen;
  if (!tool) return;
  if (button) {
    HideTipLocked();
    if (t.restTimer) KillTimer(0, t.restTimer);
    t.restTimer = 0;
    t.suppressed = true;
    return;
  }
  if (!t.tip && !t.suppressed) {
    // The pointer must rest: every move starts the wait again.
    if (t.restTimer) KillTimer(0, t.restTimer);
    t.restTimer = SetTimer(0, 0, kvp::kToolTipDelayMs, RestTimerProc);
  }
}

bool WaitCursorHeld() { return gWaitHolds.load() > 0; }

namespace controls {

LRESULT CALLBACK ToolTipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      HBRUSH bg = CreateSolidBrush(GetSysColor(COLOR_INFOBK));
      FillRect(dc, &rc, bg);
      DeleteObject(bg);
      HBRUSH frame = CreateSolidBrush(GetSysColor(COLOR_INFOTEXT));
      for (RECT side : {RECT{0, 0, rc.right, 1}, RECT{0, rc.bottom - 1, rc.right, rc.bottom}, RECT{0, 0, 1, rc.bottom},
                        RECT{rc.right - 1, 0, rc.right, rc.bottom}}) {
        FillRect(dc, &side, frame);
      }
      DeleteObject(frame);
      HGDIOBJ old = SelectObject(dc, DefaultControlFont());
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
      std::string text = TextOf(hwnd);
      RECT tr{4, 2, rc.right, rc.bottom};
      DrawText(dc, text.c_str(), -1, &tr, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
      SelectObject(dc, old);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    default: return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

}  // namespace controls
}  // namespace kvp::win

using namespace kvp::win;

extern "C" {

BOOL TrackMouseEvent(LPTRACKMOUSEEVENT tme) {
  if (!tme || tme->cbSize < sizeof(TRACKMOUSEEVENT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Lock lock(Sys().mu);
  Tracking& t = T();
  if (tme->dwFlags & TME_CANCEL) {
    if ((tme->dwFlags & TME_LEAVE) && t.leaveWindow == tme->hwndTrack) t.leaveWindow = 0;
    return TRUE;
  }
  if (!(tme->dwFlags & TME_LEAVE)) return TRUE;
  if (!Get(tme->hwndTrack)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  // Already outside: the leave comes at once.
  if (HitTest(Sys().cursorPos, false) != tme->hwndTrack) {
    PostMessage(tme->hwndTrack, WM_MOUSELEAVE, 0, 0);
    t.leaveWindow = 0;
    return TRUE;
  }
  t.leaveWindow = tme->hwndTrack;
  return TRUE;
}

}  // extern "C"

namespace kvp {

BOOL EnableWindowToolTips(HWND hwnd, BOOL enable) {
  Lock lock(win::Sys().mu);
  if (!win::Get(hwnd)) return FALSE;
  if (enable) {
    win::T().tipOwners.insert(hwnd);
  } else {
    win::T().tipOwners.erase(hwnd);
    if (win::T().toolOwner == hwnd) {
      win::HideTipLocked();
      win::T().tool = 0;
    }
  }
  return TRUE;
}

HWND ShownToolTip() {
  Lock lock(win::Sys().mu);
  return win::T().tip;
}

std::string ShownToolTipText() {
  Lock lock(win::Sys().mu);
  return win::T().tipText;
}

namespace {
void ApplyCursorOnGui() {
  DWORD gui = GuiThreadId();
  if (!gui) return;
  win::PostLoopCall(gui, [] {
    if (win::WaitCursorHeld()) {
      SetCursor(LoadCursor(0, IDC_WAIT));
    } else {
      // Back to what the window under the pointer wants.
      HWND under;
      {
        Lock lock(win::Sys().mu);
        under = win::HitTest(win::Sys().cursorPos, true);
        if (win::Sys().capture) under = 0;
      }
      SetCursor(LoadCursor(0, IDC_ARROW));
      if (under) SendMessage(under, WM_SETCURSOR, static_cast<WPARAM>(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    }
  });
}
}  // namespace

void BeginWaitCursorHold() {
  win::gWaitHolds.fetch_add(1);
  ApplyCursorOnGui();
}

void EndWaitCursorHold() {
  int before = win::gWaitHolds.load();
  while (before > 0 && !win::gWaitHolds.compare_exchange_weak(before, before - 1)) {
  }
  ApplyCursorOnGui();
}

int WaitCursorHolds() { return win::gWaitHolds.load(); }

}  // namespace kvp
