// The window tree: creation, destruction, relations, geometry, visibility and window data.
#include "window/DesktopInternal.h"
#include "window/WindowSystem.h"

#include <platform/clock.h>
#include <platform/sync.h>

#include <algorithm>
#include <cstring>

namespace kvp::win {

std::shared_ptr<WindowClass> FindClass(LPCSTR name);
void AttachPendingObject(Window& w);  // the class library's object being created (afxwin)

namespace {

std::vector<HWND>* SiblingList(const Window& w) {
  if (!w.IsChild()) return &Sys().topLevels;
  auto p = Get(w.parent);
  return p ? &p->children : nullptr;
}

void MarkDestroying(HWND hwnd) {
  auto w = Get(hwnd);
  if (!w) return;
  w->destroying = true;
  for (HWND c : w->children) MarkDestroying(c);
}

void Unlink(Window& w) {
  if (auto* list = SiblingList(w)) list->erase(std::remove(list->begin(), list->end(), w.hwnd), list->end());
}

// WM_DESTROY parent first, WM_NCDESTROY children first; the record leaves the table last.
void DestroyTree(HWND hwnd) {
  SendMessage(hwnd, WM_DESTROY, 0, 0);
  std::vector<HWND> children;
  {
    Lock lock(Sys().mu);
    if (auto w = Get(hwnd)) children = w->children;
  }
  for (HWND c : children) DestroyTree(c);
  SendMessage(hwnd, WM_NCDESTROY, 0, 0);
  std::shared_ptr<Window> w;
  {
    Lock lock(Sys().mu);
    w = Get(hwnd);
    if (!w) return;
    DropPostedFor(hwnd);
    ForgetWindowInput(hwnd);
    Unlink(*w);
    if (Sys().capture == hwnd) Sys().capture = 0;
    if (Sys().focus == hwnd) Sys().focus = 0;
    if (Sys().active == hwnd) Sys().active = 0;
    if (!w->IsChild() && Sys().backend) Sys().backend->TopLevelDestroyed(*w);
    FreeSurface(*w);
    HandleTable::Instance().Remove(hwnd);
  }
  w->wrapper.reset();
}

}  // namespace

void NotifyPosChanged(HWND hwnd, UINT flags) {
  WINDOWPOS pos{};
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w) return;
    pos.hwnd = hwnd;
    pos.x = w->rect.left;
    pos.y = w->rect.top;
    pos.cx = w->Width();
    pos.cy = w->Height();
    pos.flags = flags;
  }
  SendMessage(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}

// Applies a new rectangle (and repaints what it uncovers and the window itself).
void ApplyRect(HWND hwnd, RECT r, bool redraw, bool fromDisplay) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return;
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  if (CRect(w->rect) == r) return;
  bool sized = (r.right - r.left) != w->Width() || (r.bottom - r.top) != w->Height();
  if (w->IsChild() && redraw) InvalidateParentArea(*w);
  w->rect = r;
  if (!w->IsChild()) {
    if (sized) ResizeSurface(*w);
    if (!fromDisplay && Sys().backend) Sys().backend->TopLevelMoved(*w);
  }
  if (redraw && (sized || w->IsChild())) InvalidateInternal(*w, nullptr, true, true);
}

}  // namespace kvp::win

using namespace kvp::win;
using kvp::HandleTable;

extern "C" {

HWND CreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                    int height, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param) {
  auto cls = FindClass(className);
  if (!cls) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return 0;
  }
  const bool child = (style & WS_CHILD) != 0;
  auto w = std::make_shared<Window>();
  auto queue = CurrentQueue();
  HWND hwnd = 0;
  {
    Lock lock(Sys().mu);
    auto pw = Get(parent);
    if (child && !pw) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) {
      width = 400;
      height = 300;
    }
    w->cls = cls;
    w->proc = cls->wc.lpfnWndProc;
    w->style = style & ~static_cast<DWORD>(WS_VISIBLE);
    w->exStyle = static_cast<DWORD>(exStyle);
    w->text = windowName ? windowName : "";
    w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    w->normalRect = w->rect;
    w->queue = queue;
    w->threadId = queue->threadId;
    if (child) {
      w->parent = parent;
      w->id = static_cast<LONG_PTR>(menuOrId);
    } else if (pw) {
      w->owner = TopLevelOf(parent);
    }
    hwnd = HandleTable::Instance().Insert(w);
    if (!hwnd) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    w->hwnd = hwnd;
    if (child) {
      pw->children.push_back(hwnd);  // new children go to the bottom: the first created is on top
    } else {
      Sys().topLevels.insert(Sys().topLevels.begin(), hwnd);
    }
    AttachPendingObject(*w);
    if (!child && Sys().backend && w->threadId == Sys().guiThread) Sys().backend->TopLevelCreated(*w);
  }
  CREATESTRUCT cs{param, instance, menuOrId, parent, height, width, y, x, static_cast<LONG>(style), windowName,
                  IS_INTRESOURCE(className) ? nullptr : className, static_cast<DWORD>(exStyle)};
  if (!SendMessage(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
      SendMessage(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(hwnd);
    return 0;
  }
  if (!IsWindow(hwnd)) return 0;
  SendMessage(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(std::max(width, 0), std::max(height, 0)));
  SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(x, y));
  if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return IsWindow(hwnd) ? hwnd : 0;
}

BOOL DestroyWindow(HWND hwnd) {
  std::vector<HWND> owned;
  bool wasVisible = false;
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w) return FALSE;
    if (w->threadId != ThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return TRUE;
    MarkDestroying(hwnd);
    for (HWND t : Sys().topLevels) {
      auto tw = Get(t);
      if (tw && tw->owner == hwnd) owned.push_back(t);
    }
    wasVisible = (w->style & WS_VISIBLE) != 0;
  }
  CancelModeIfInside(hwnd);
  for (HWND t : owned) DestroyWindow(t);
  MoveFocusAway(hwnd);
  HWND reactivate = 0;
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w) return TRUE;
    if (wasVisible) {
      if (w->IsChild()) InvalidateParentArea(*w);
      w->style &= ~static_cast<DWORD>(WS_VISIBLE);
      if (!w->IsChild() && Sys().backend && w->threadId == Sys().guiThread) Sys().backend->TopLevelShown(*w, false);
    }
    if (Sys().active == hwnd) reactivate = w->owner;
  }
  DestroyTree(hwnd);
  if (reactivate && IsWindow(reactivate)) ActivateTopLevel(reactivate, false);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  if (kvp::desktop::IsProxy(hwnd)) return kvp::desktop::ProxyIsWindow(hwnd);
  Lock lock(Sys().mu);
  return HandleTable::Instance().GetAs<Window>(hwnd) != nullptr;
}

BOOL IsChild(HWND parent, HWND hwnd) {
  Lock lock(Sys().mu);
  return parent != hwnd && IsDescendant(parent, hwnd);
}

HWND GetParent(HWND hwnd) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return 0;
  return w->IsChild() ? w->parent : w->owner;
}

HWND SetParent(HWND hwnd, HWND newParent) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  auto np = Get(newParent);
  if (!w || !w->IsChild() || !np) return 0;
  HWND old = w->parent;
  Unlink(*w);
  w->parent = newParent;
  np->children.push_back(hwnd);
  return old;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
  if (kvp::desktop::IsProxy(hwnd)) return cmd == GW_HWNDNEXT ? kvp::desktop::ProxyNext(hwnd) : 0;
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return 0;
  if (cmd == GW_CHILD) return w->children.empty() ? 0 : w->children.front();
  if (cmd == GW_OWNER) return w->IsChild() ? 0 : w->owner;
  auto* list = SiblingList(*w);
  if (!list || list->empty()) return 0;
  auto it = std::find(list->begin(), list->end(), hwnd);
  switch (cmd) {
    case GW_HWNDFIRST: return list->front();
    case GW_HWNDLAST: return list->back();
    case GW_HWNDNEXT: return (it == list->end() || it + 1 == list->end()) ? 0 : *(it + 1);
    case GW_HWNDPREV: return (it == list->begin() || it == list->end()) ? 0 : *(it - 1);
    default: return 0;
  }
}

HWND GetTopWindow(HWND hwnd) {
  if (!hwnd) {
    Lock lock(Sys().mu);
    return Sys().topLevels.empty() ? 0 : Sys().topLevels.front();
  }
  return GetWindow(hwnd, GW_CHILD);
}

HWND GetDesktopWindow(void) { return 0; }

HWND GetDlgItem(HWND dialog, int id) {
  Lock lock(Sys().mu);
  auto w = Get(dialog);
  if (!w) return 0;
  for (HWND c : w->children) {
    auto cw = Get(c);
    if (cw && cw->id == id) return c;
  }
  return 0;
}

int GetDlgCtrlID(HWND hwnd) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  return w && w->IsChild() ? static_cast<int>(w->id) : 0;
}

// Our own windows: the children of `parent`, or our top-level windows.
static HWND FindOwnWindow(HWND parent, HWND childAfter, LPCSTR className, LPCSTR windowName) {
  Lock lock(Sys().mu);
  std::vector<HWND> list;
  if (parent) {
    auto pw = Get(parent);
    if (!pw) return 0;
    list = pw->children;
  } else {
    list = Sys().topLevels;
  }
  auto start = list.begin();
  if (childAfter) {
    start = std::find(list.begin(), list.end(), childAfter);
    if (start != list.end()) ++start;
  }
  auto classWanted = className ? FindClass(className) : nullptr;
  if (className && !classWanted) return 0;
  for (auto it = start; it != list.end(); ++it) {
    auto w = Get(*it);
    if (!w || w->destroying) continue;
    if (classWanted && w->cls != classWanted) continue;
    if (windowName && w->text != windowName) continue;
    return *it;
  }
  return 0;
}

HWND FindWindowEx(HWND parent, HWND childAfter, LPCSTR className, LPCSTR windowName) {
  // Top-level windows: ours first, then those of other processes.
  if (!parent && kvp::desktop::IsProxy(childAfter)) return kvp::desktop::FindForeign(childAfter, className, windowName);
  HWND own = FindOwnWindow(parent, childAfter, className, windowName);
  if (own || parent) return own;
  return kvp::desktop::FindForeign(0, className, windowName);
}

HWND FindWindow(LPCSTR className, LPCSTR windowName) { return FindWindowEx(0, 0, className, windowName); }

LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
    case GWL_ID: return w->id;
    case GWLP_USERDATA: return w->userData;
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HWNDPARENT: return w->IsChild() ? w->parent : w->owner;
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
  }
}

LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtr(hwnd, index);
  switch (index) {
    case GWL_STYLE: w->style = (static_cast<DWORD>(value) & ~static_cast<DWORD>(WS_VISIBLE)) | (w->style & WS_VISIBLE); break;
    case GWL_EXSTYLE: w->exStyle = static_cast<DWORD>(value); break;
    case GWL_ID: w->id = value; break;
    case GWLP_USERDATA: w->userData = value; break;
    case GWLP_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(value); break;
    case GWLP_HWNDPARENT: if (!w->IsChild()) w->owner = static_cast<HWND>(value); break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
  }
  return old;
}

LONG GetWindowLong(HWND hwnd, int index) { return static_cast<LONG>(GetWindowLongPtr(hwnd, index)); }
LONG SetWindowLong(HWND hwnd, int index, LONG value) {
  return static_cast<LONG>(SetWindowLongPtr(hwnd, index, index == GWL_STYLE || index == GWL_EXSTYLE
                                                              ? static_cast<LONG_PTR>(static_cast<DWORD>(value))
                                                              : value));
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
  if (kvp::desktop::IsProxy(hwnd)) return kvp::desktop::ProxyThreadProcessId(hwnd, processId);
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return 0;
  if (processId) *processId = GetCurrentProcessId();
  return w->threadId;
}

BOOL SetWindowText(HWND hwnd, LPCSTR text) {
  return SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) != 0;
}

int GetWindowText(HWND hwnd, LPSTR buffer, int size) {
  if (kvp::desktop::IsProxy(hwnd)) return kvp::desktop::ProxyText(hwnd, false, buffer, size);
  if (!buffer || size <= 0) return 0;
  buffer[0] = 0;
  return static_cast<int>(SendMessage(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLength(HWND hwnd) { return static_cast<int>(SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0)); }

// ------------------------------------------------------------------------------------------------
// Geometry

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w || !rect) return FALSE;
  POINT o = ScreenOrigin(*w);
  *rect = RECT{o.x, o.y, o.x + w->Width(), o.y + w->Height()};
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w || !rect) return FALSE;
  *rect = RECT{0, 0, w->Width(), w->Height()};
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w || !point) return FALSE;
  POINT o = ScreenOrigin(*w);
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w || !point) return FALSE;
  POINT o = ScreenOrigin(*w);
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
  Lock lock(Sys().mu);
  POINT a{0, 0}, b{0, 0};
  if (from) {
    auto w = Get(from);
    if (!w) return 0;
    a = ScreenOrigin(*w);
  }
  if (to) {
    auto w = Get(to);
    if (!w) return 0;
    b = ScreenOrigin(*w);
  }
  LONG dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

HWND WindowFromPoint(POINT screen) { return HitTest(screen, false); }

HWND ChildWindowFromPoint(HWND parent, POINT client) {
  Lock lock(Sys().mu);
  auto w = Get(parent);
  if (!w) return 0;
  if (!CRect(0, 0, w->Width(), w->Height()).PtInRect(client)) return 0;
  for (HWND c : w->children) {
    auto cw = Get(c);
    if (cw && CRect(cw->rect).PtInRect(client)) return c;
  }
  return parent;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  WINDOWPOS pos{};
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w) return FALSE;
    pos = WINDOWPOS{hwnd, insertAfter, x, y, cx, cy, flags};
    if (flags & SWP_NOMOVE) {
      pos.x = w->rect.left;
      pos.y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
      pos.cx = w->Width();
      pos.cy = w->Height();
    }
  }
  SendMessage(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w) return FALSE;
    if (!(flags & SWP_NOZORDER)) {
      auto* list = SiblingList(*w);
      if (list) {
        Unlink(*w);
        if (insertAfter == HWND_BOTTOM) {
          list->push_back(hwnd);
        } else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
          list->insert(list->begin(), hwnd);
          if (insertAfter == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
          if (insertAfter == HWND_NOTOPMOST) w->exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
        } else {
          auto it = std::find(list->begin(), list->end(), insertAfter);
          list->insert(it == list->end() ? list->end() : it + 1, hwnd);
        }
        if (w->IsChild()) InvalidateInternal(*w, nullptr, true, true);
      }
    }
  }
  if (!(flags & SWP_NOSIZE) || !(flags & SWP_NOMOVE)) {
    RECT before{};
    {
      Lock lock(Sys().mu);
      if (auto w = Get(hwnd)) before = w->rect;
    }
    // What did not change is reported as unchanged, so WM_SIZE and WM_MOVE follow real changes.
    if (before.right - before.left == pos.cx && before.bottom - before.top == pos.cy) flags |= SWP_NOSIZE;
    if (before.left == pos.x && before.top == pos.y) flags |= SWP_NOMOVE;
    ApplyRect(hwnd, RECT{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy}, !(flags & SWP_NOREDRAW), false);
  }
  if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  NotifyPosChanged(hwnd, flags & ~static_cast<UINT>(SWP_SHOWWINDOW | SWP_HIDEWINDOW));
  return IsWindow(hwnd);
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, 0, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL ShowWindow(HWND hwnd, int cmd) {
  if (kvp::desktop::IsProxy(hwnd)) return kvp::desktop::ProxyShow(hwnd, cmd);
  bool wasVisible = false;
  bool child = false;
  bool changed = false;
  bool activate = false;
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w) return FALSE;
    wasVisible = (w->style & WS_VISIBLE) != 0;
    child = w->IsChild();
    changed = (cmd == SW_HIDE) == wasVisible;
    activate = !child && cmd != SW_HIDE && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE && cmd != SW_SHOWMINNOACTIVE &&
               cmd != SW_MINIMIZE && cmd != SW_SHOWMINIMIZED;
  }
  if (cmd == SW_HIDE) {
    if (!wasVisible) return FALSE;
    CancelModeIfInside(hwnd);
    MoveFocusAway(hwnd);
    SendMessage(hwnd, WM_SHOWWINDOW, FALSE, 0);
    HWND reactivate = 0;
    {
      Lock lock(Sys().mu);
      auto w = Get(hwnd);
      if (!w) return TRUE;
      if (child) InvalidateParentArea(*w);
      w->style &= ~static_cast<DWORD>(WS_VISIBLE);
      if (!child && Sys().backend && w->threadId == Sys().guiThread) Sys().backend->TopLevelShown(*w, false);
      if (!child && Sys().active == hwnd) reactivate = w->owner;
    }
    NotifyPosChanged(hwnd, SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (reactivate) ActivateTopLevel(reactivate, false);
    return TRUE;
  }
  if (changed) SendMessage(hwnd, WM_SHOWWINDOW, TRUE, 0);
  UINT sizeType = SIZE_RESTORED;
  RECT target{};
  bool resize = false;
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w) return wasVisible;
    if (!child) {
      if (cmd == SW_SHOWMAXIMIZED && !w->maximized) {
        if (!w->minimized) w->normalRect = w->rect;
        w->maximized = true;
        w->minimized = false;
        sizeType = SIZE_MAXIMIZED;
        resize = true;
      } else if ((cmd == SW_RESTORE || cmd == SW_SHOWNORMAL) && (w->maximized || w->minimized)) {
        target = w->normalRect;
        resize = w->maximized;
        w->maximized = false;
        w->minimized = false;
      } else if (cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED || cmd == SW_SHOWMINNOACTIVE) {
        w->minimized = true;
        sizeType = SIZE_MINIMIZED;
      }
    }
    w->style |= WS_VISIBLE;
    if (changed || resize) InvalidateInternal(*w, nullptr, true, true);
    if (!child && Sys().backend && w->threadId == Sys().guiThread) Sys().backend->TopLevelShown(*w, true);
  }
  if (sizeType == SIZE_MAXIMIZED) {
    // The window may shape its maximised size (WM_GETMINMAXINFO), as on a desktop.
    SIZE screen = Sys().backend ? Sys().backend->ScreenSize() : SIZE{1024, 768};
    MINMAXINFO mmi{};
    mmi.ptMaxSize = POINT{screen.cx, screen.cy};
    mmi.ptMaxPosition = POINT{0, 0};
    mmi.ptMinTrackSize = POINT{0, 0};
    mmi.ptMaxTrackSize = POINT{screen.cx, screen.cy};
    SendMessage(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    target = RECT{mmi.ptMaxPosition.x, mmi.ptMaxPosition.y, mmi.ptMaxPosition.x + mmi.ptMaxSize.x,
                  mmi.ptMaxPosition.y + mmi.ptMaxSize.y};
  }
  if (resize) {
    ApplyRect(hwnd, target, true, false);
    NotifyPosChanged(hwnd, SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (sizeType == SIZE_MINIMIZED) {
    SendMessage(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
  }
  if (changed) NotifyPosChanged(hwnd, SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (activate) ActivateTopLevel(hwnd, false);
  return wasVisible;
}

BOOL IsWindowVisible(HWND hwnd) {
  if (kvp::desktop::IsProxy(hwnd)) return kvp::desktop::ProxyState(hwnd, false);
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return FALSE;
  if (!(w->style & WS_VISIBLE)) return FALSE;
  return !w->IsChild() || (Get(w->parent) && IsWindowVisible(w->parent));
}

BOOL IsIconic(HWND hwnd) {
  if (kvp::desktop::IsProxy(hwnd)) return kvp::desktop::ProxyState(hwnd, true);
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  return w && w->minimized;
}

BOOL IsZoomed(HWND hwnd) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  return w && w->maximized;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  bool wasDisabled;
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w) return FALSE;
    wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !enable) return wasDisabled;
    if (enable) {
      w->style &= ~static_cast<DWORD>(WS_DISABLED);
    } else {
      w->style |= WS_DISABLED;
    }
  }
  if (!enable) {
    CancelModeIfInside(hwnd);
    Lock lock(Sys().mu);
    if (Sys().focus && IsDescendant(hwnd, Sys().focus)) Sys().focus = 0;
  }
  SendMessage(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  return w && !(w->style & WS_DISABLED);
}

BOOL SetForegroundWindow(HWND hwnd) {
  if (kvp::desktop::IsProxy(hwnd)) return kvp::desktop::ProxyForeground(hwnd);
  HWND top = TopLevelOf(hwnd);
  if (!top) return FALSE;
  {
    Lock lock(Sys().mu);
    auto w = Get(top);
    if (w && Sys().backend && w->threadId == Sys().guiThread) Sys().backend->TopLevelRaised(*w);
  }
  ActivateTopLevel(top, false);
  return TRUE;
}

HWND GetForegroundWindow(void) {
  Lock lock(Sys().mu);
  return Sys().appActive ? Sys().active : 0;
}

HWND GetActiveWindow(void) {
  Lock lock(Sys().mu);
  return Sys().active;
}

HWND SetActiveWindow(HWND hwnd) {
  HWND old = GetActiveWindow();
  ActivateTopLevel(TopLevelOf(hwnd), false);
  return old;
}

BOOL BringWindowToTop(HWND hwnd) {
  HWND top = TopLevelOf(hwnd);
  if (!top) return FALSE;
  Lock lock(Sys().mu);
  auto& list = Sys().topLevels;
  list.erase(std::remove(list.begin(), list.end(), top), list.end());
  list.insert(list.begin(), top);
  auto w = Get(top);
  if (w && Sys().backend && w->threadId == Sys().guiThread) Sys().backend->TopLevelRaised(*w);
  return TRUE;
}

int GetSystemMetrics(int index) {
  Lock lock(Sys().mu);
  SIZE screen = Sys().backend ? Sys().backend->ScreenSize() : SIZE{1024, 768};
  switch (index) {
    case SM_CXSCREEN: return screen.cx;
    case SM_CYSCREEN: return screen.cy;
    case SM_CXICON:
    case SM_CYICON: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    default: return 0;
  }
}

}  // extern "C"
