// Default handling of messages for plain windows and dialogs.
#include "window/WindowSystem.h"

#include <platform/gdi.h>

#include <algorithm>
#include <cstring>

namespace kvp::win {

HWND FirstTabStop(HWND dialog);
bool DialogDefault(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

namespace {

// A brush for a class background value: a brush handle, or a system colour index + 1.
HBRUSH BrushFor(HBRUSH value, bool* temporary) {
  *temporary = false;
  if (value == 0) return 0;
  if (value <= 31) {
    *temporary = true;
    return CreateSolidBrush(GetSysColor(static_cast<int>(value) - 1));
  }
  return value;
}

void FillWith(HDC dc, HWND hwnd, HBRUSH brushValue) {
  bool temporary;
  HBRUSH brush = BrushFor(brushValue, &temporary);
  if (!brush) return;
  RECT rc;
  ::GetClientRect(hwnd, &rc);
  FillRect(dc, &rc, brush);
  if (temporary) DeleteObject(brush);
}

HBRUSH SysBrush(int index) {
  // One brush per system colour, kept for the life of the process like the system's own.
  static std::mutex mu;
  static std::map<int, HBRUSH> brushes;
  std::lock_guard<std::mutex> lock(mu);
  auto it = brushes.find(index);
  if (it != brushes.end()) return it->second;
  HBRUSH b = CreateSolidBrush(GetSysColor(index));
  brushes[index] = b;
  return b;
}

}  // namespace
}  // namespace kvp::win

using namespace kvp::win;

extern "C" {

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE: return TRUE;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = 0;
      {
        Lock lock(Sys().mu);
        auto w = Get(hwnd);
        if (!w) return 0;
        brush = w->cls->wc.hbrBackground;
      }
      if (!brush) return 0;
      FillWith(static_cast<HDC>(wParam), hwnd, brush);
      return 1;
    }
    case WM_SETCURSOR: {
      HWND parent = 0;
      HCURSOR cursor = 0;
      {
        Lock lock(Sys().mu);
        auto w = Get(hwnd);
        if (!w) return FALSE;
        if (w->IsChild()) parent = w->parent;
        cursor = w->cls->wc.hCursor;
      }
      // The parent may decide first; else the class cursor.
      if (parent && SendMessage(parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
      if (cursor && LOWORD(lParam) == HTCLIENT) {
        SetCursor(cursor);
        return TRUE;
      }
      return FALSE;
    }
    case WM_RBUTTONUP: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(hwnd, &p);
      SendMessage(hwnd, WM_CONTEXTMENU, static_cast<WPARAM>(hwnd), MAKELPARAM(p.x, p.y));
      return 0;
    }
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL:
    case WM_HELP: {
      // A child passes these on to its parent (WM_CONTEXTMENU still names the child).
      HWND parent = 0;
      {
        Lock lock(Sys().mu);
        auto w = Get(hwnd);
        if (w && w->IsChild()) parent = w->parent;
      }
      return parent ? SendMessage(parent, msg, wParam, lParam) : 0;
    }
    case WM_CANCELMODE:
      if (GetCapture() == hwnd) ReleaseCapture();
      return 0;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
      if (!pos) return 0;
      if (!(pos->flags & SWP_NOSIZE)) {
        UINT type = IsZoomed(hwnd) ? SIZE_MAXIMIZED : (IsIconic(hwnd) ? SIZE_MINIMIZED : SIZE_RESTORED);
        SendMessage(hwnd, WM_SIZE, type, MAKELPARAM(pos->cx, pos->cy));
      }
      if (!(pos->flags & SWP_NOMOVE)) SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(pos->x, pos->y));
      return 0;
    }
    case WM_SETTEXT: {
      Lock lock(Sys().mu);
      auto w = Get(hwnd);
      if (!w) return FALSE;
      w->text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
      if (!w->IsChild() && Sys().backend && w->threadId == Sys().guiThread) Sys().backend->TopLevelTextChanged(*w);
      return TRUE;
    }
    case WM_GETTEXT: {
      Lock lock(Sys().mu);
      auto w = Get(hwnd);
      auto* buffer = reinterpret_cast<LPSTR>(lParam);
      if (!w || !buffer || wParam == 0) return 0;
      size_t n = std::min(w->text.size(), static_cast<size_t>(wParam) - 1);
      std::memcpy(buffer, w->text.data(), n);
      buffer[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
      Lock lock(Sys().mu);
      auto w = Get(hwnd);
      return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_SETICON: {
      Lock lock(Sys().mu);
      auto w = Get(hwnd);
      if (!w) return 0;
      HICON& slot = wParam == ICON_BIG ? w->iconBig : w->iconSmall;
      HICON old = slot;
      slot = static_cast<HICON>(lParam);
      if (!w->IsChild() && Sys().backend && w->threadId == Sys().guiThread) Sys().backend->TopLevelIconChanged(*w);
      return old;
    }
    case WM_GETICON: {
      Lock lock(Sys().mu);
      auto w = Get(hwnd);
      if (!w) return 0;
      return wParam == ICON_BIG ? w->iconBig : w->iconSmall;
    }
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE: SendMessage(hwnd, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_SHOWMAXIMIZED); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
        default: break;
      }
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !IsIconic(hwnd)) {
        HWND focus = GetFocus();
        if (!focus || !IsDescendant(hwnd, focus)) SetFocus(hwnd);
      }
      return 0;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR: return static_cast<LRESULT>(SysBrush(COLOR_3DFACE));
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: return static_cast<LRESULT>(SysBrush(COLOR_WINDOW));
    case WM_QUERYDRAGICON: {
      Lock lock(Sys().mu);
      auto w = Get(hwnd);
      return w ? static_cast<LRESULT>(w->cls->wc.hIcon) : 0;
    }
    default: return 0;
  }
}

LRESULT DefDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT answered = 0;
  if (DialogDefault(hwnd, msg, wParam, lParam, &answered)) return answered;
  switch (msg) {
    case WM_CLOSE:
      // The close box and WM_CLOSE cancel the dialog.
      SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
      return 0;
    case WM_INITDIALOG: return TRUE;
    case WM_ERASEBKGND: {
      auto brush = static_cast<HBRUSH>(SendMessage(hwnd, WM_CTLCOLORDLG, wParam, static_cast<LPARAM>(hwnd)));
      if (brush) FillWith(static_cast<HDC>(wParam), hwnd, brush);
      return TRUE;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !IsIconic(hwnd)) {
        HWND focus = GetFocus();
        if (!focus || !IsDescendant(hwnd, focus)) {
          HWND back = 0;
          {
            Lock lock(Sys().mu);
            auto w = Get(hwnd);
            if (w && w->lastFocus && IsDescendant(hwnd, w->lastFocus)) back = w->lastFocus;
          }
          if (!back) back = FirstTabStop(hwnd);
          SetFocus(back ? back : hwnd);
        }
      }
      return 0;
    default: return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProc(hwnd, msg, wParam, lParam);
}

}  // extern "C"
