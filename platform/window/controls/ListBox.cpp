// "ListBox" (single selection) and the list of a combo box, which is the same list in a
// non-activating popup.
//
// The user's selection changes (keys, clicks, wheel never) send LBN_SELCHANGE with LBS_NOTIFY; a
// double click LBN_DBLCLK. LB_SETCURSEL from the program notifies nothing.
#include "window/controls/ListBoxModel.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace kvp::win::controls {

namespace {

struct ListState {
  HFONT font = 0;
  ListModel model;
  int top = 0;
  bool tracking = false;
  HWND combo = 0;  // the combo box this list belongs to (drop-down list)
};

int ItemHeight(HWND hwnd, ListState* s) {
  HDC dc = CreateCompatibleDC(0);
  HGDIOBJ old = SelectObject(dc, FontOf(s->font));
  int h = LineHeight(dc);
  SelectObject(dc, old);
  DeleteDC(dc);
  return h;
}

RECT Inner(HWND hwnd) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  const bool border = (StyleOf(hwnd) & WS_BORDER) || (GetWindowLong(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  if (border) rc = RECT{rc.left + 2, rc.top + 2, rc.right - 2, rc.bottom - 2};
  return rc;
}

int VisibleCount(HWND hwnd, ListState* s) {
  RECT in = Inner(hwnd);
  return std::max(1, static_cast<int>(in.bottom - in.top) / ItemHeight(hwnd, s));
}

void UpdateBar(HWND hwnd, ListState* s) {
  if (!(StyleOf(hwnd) & WS_VSCROLL)) return;
  const int count = static_cast<int>(s->model.items.size());
  const int visible = VisibleCount(hwnd, s);
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(count - 1, 0), static_cast<UINT>(visible), s->top, 0};
  SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
}

void SetTop(HWND hwnd, ListState* s, int top) {
  const int count = static_cast<int>(s->model.items.size());
  top = std::clamp(top, 0, std::max(0, count - VisibleCount(hwnd, s)));
  if (top != s->top) {
    s->top = top;
    InvalidateRect(hwnd, nullptr, FALSE);
  }
  UpdateBar(hwnd, s);
}

void EnsureVisible(HWND hwnd, ListState* s, int index) {
  if (index < 0) return;
  const int visible = VisibleCount(hwnd, s);
  if (index < s->top) SetTop(hwnd, s, index);
  else if (index >= s->top + visible) SetTop(hwnd, s, index - visible + 1);
}

void NotifyList(HWND hwnd, ListState* s, UINT code) {
  if (s->combo) {
    SendMessage(s->combo, WM_USER + 0x4C, code, 0);  // the combo box decides what the parent hears
    return;
  }
  if (StyleOf(hwnd) & LBS_NOTIFY) Notify(hwnd, code);
}

// A selection made by the user.
void UserSelect(HWND hwnd, ListState* s, int index) {
  const int count = static_cast<int>(s->model.items.size());
  if (count == 0) return;
  index = std::clamp(index, 0, count - 1);
  EnsureVisible(hwnd, s, index);
  if (index == s->model.cur) return;
  s->model.cur = index;
  InvalidateRect(hwnd, nullptr, FALSE);
  NotifyList(hwnd, s, LBN_SELCHANGE);
}

int IndexAt(HWND hwnd, ListState* s, POINT p) {
  RECT in = Inner(hwnd);
  if (p.y < in.top) return s->top - 1;
  return s->top + static_cast<int>(p.y - in.top) / ItemHeight(hwnd, s);
}

void Paint(HWND hwnd, ListState* s, HDC dc) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  HGDIOBJ oldFont = SelectObject(dc, FontOf(s->font));
  HBRUSH bg = ControlColors(s->combo ? s->combo : hwnd, dc, WM_CTLCOLORLISTBOX);
  if (bg) FillRect(dc, &rc, bg);
  if ((StyleOf(hwnd) & WS_BORDER) || (GetWindowLong(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) {
    RECT e = rc;
    DrawEdge(dc, &e, (StyleOf(hwnd) & WS_BORDER) && s->combo ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT);
  }
  RECT in = Inner(hwnd);
  const int h = ItemHeight(hwnd, s);
  const COLORREF textColor = GetTextColor(dc);
  SetBkMode(dc, TRANSPARENT);
  const bool focused = GetFocus() == hwnd;
  for (int i = s->top, y = in.top; i < static_cast<int>(s->model.items.size()) && y < in.bottom; ++i, y += h) {
    RECT row{in.left, y, in.right, y + h};
    if (i == s->model.cur) {
      HBRUSH hb = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
      FillRect(dc, &row, hb);
      DeleteObject(hb);
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else {
      SetTextColor(dc, IsWindowEnabled(hwnd) ? textColor : GetSysColor(COLOR_GRAYTEXT));
    }
    RECT tr{row.left + 2, row.top, row.right, row.bottom};
    DrawText(dc, s->model.items[static_cast<size_t>(i)].text.c_str(), -1, &tr, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    if (i == s->model.cur && focused) DrawFocusRect(dc, &row);
  }
  SelectObject(dc, oldFont);
}

}  // namespace

ListModel* ListModelOf(HWND list) {
  ListState* s = StateOf<ListState>(list);
  return s ? &s->model : nullptr;
}

void AttachListToCombo(HWND list, HWND combo) {
  if (ListState* s = StateOf<ListState>(list)) s->combo = combo;
}

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ListState* s = StateOf<ListState>(hwnd);
  if (!s) return DefWindowProc(hwnd, msg, wParam, lParam);
  LRESULT result = 0;
  if (HandleFont(s->font, hwnd, msg, wParam, lParam, &result)) {
    if (msg == WM_SETFONT) UpdateBar(hwnd, s);
    return result;
  }
  if (s->model.Handles(msg)) {
    const bool sorted = (StyleOf(hwnd) & LBS_SORT) != 0;
    LRESULT r = s->model.Handle(msg, wParam, lParam, sorted, /*combo=*/false);
    if (msg == LB_SETCURSEL) EnsureVisible(hwnd, s, s->model.cur);
    if (msg == LB_SETTOPINDEX) SetTop(hwnd, s, static_cast<int>(wParam));
    if (msg == LB_GETTOPINDEX) return s->top;
    if (msg == LB_GETITEMHEIGHT) return ItemHeight(hwnd, s);
    if (msg == LB_RESETCONTENT) s->top = 0;
    if (msg != LB_GETTEXT && msg != LB_GETTEXTLEN && msg != LB_GETCOUNT && msg != LB_GETCURSEL && msg != LB_GETITEMDATA) {
      SetTop(hwnd, s, s->top);
      InvalidateRect(hwnd, nullptr, FALSE);
    }
    return r;
  }
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      Paint(hwnd, s, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (s->combo) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        if (!CRect(rc).PtInRect(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) {
          SendMessage(s->combo, WM_USER + 0x4D, FALSE, 0);  // a click outside closes the list
          return 0;
        }
      }
      if (!s->combo && GetFocus() != hwnd) SetFocus(hwnd);
      const int index = IndexAt(hwnd, s, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      if (index >= 0 && index < static_cast<int>(s->model.items.size())) {
        UserSelect(hwnd, s, index);
        if (msg == WM_LBUTTONDBLCLK) NotifyList(hwnd, s, LBN_DBLCLK);
      }
      s->tracking = true;
      SetCapture(hwnd);
      return 0;
    }
    case WM_MOUSEMOVE:
      if ((s->tracking || s->combo) && GetCapture() == hwnd) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        if (!s->tracking && !CRect(rc).PtInRect(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) return 0;
        const int index = IndexAt(hwnd, s, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        UserSelect(hwnd, s, index);
      }
      return 0;
    case WM_LBUTTONUP:
      if (s->tracking) {
        s->tracking = false;
        if (GetCapture() == hwnd) ReleaseCapture();
        if (s->combo) {
          RECT rc;
          GetClientRect(hwnd, &rc);
          POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
          if (CRect(rc).PtInRect(p)) SendMessage(s->combo, WM_USER + 0x4D, TRUE, 0);  // chosen: close the list
        }
      }
      return 0;
    case WM_CANCELMODE:
      s->tracking = false;
      if (s->combo) SendMessage(s->combo, WM_USER + 0x4D, FALSE, 0);
      return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_KEYDOWN: {
      const int page = VisibleCount(hwnd, s);
      const int cur = s->model.cur;
      switch (wParam) {
        case VK_UP: UserSelect(hwnd, s, cur < 0 ? 0 : cur - 1); break;
        case VK_DOWN: UserSelect(hwnd, s, cur + 1); break;
        case VK_PRIOR: UserSelect(hwnd, s, cur < 0 ? 0 : cur - page + 1); break;
        case VK_NEXT: UserSelect(hwnd, s, cur < 0 ? 0 : cur + page - 1); break;
        case VK_HOME: UserSelect(hwnd, s, 0); break;
        case VK_END: UserSelect(hwnd, s, static_cast<int>(s->model.items.size()) - 1); break;
        default: return DefWindowProc(hwnd, msg, wParam, lParam);
      }
      return 0;
    }
    case WM_CHAR: {
      const int next = s->model.NextStartingWith(static_cast<unsigned char>(wParam));
      if (next >= 0) UserSelect(hwnd, s, next);
      return 0;
    }
    case WM_MOUSEWHEEL: {
      const int lines = -GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3;
      SetTop(hwnd, s, s->top + lines);
      return 0;
    }
    case WM_VSCROLL: {
      const int page = VisibleCount(hwnd, s);
      switch (LOWORD(wParam)) {
        case SB_LINEUP: SetTop(hwnd, s, s->top - 1); break;
        case SB_LINEDOWN: SetTop(hwnd, s, s->top + 1); break;
        case SB_PAGEUP: SetTop(hwnd, s, s->top - page); break;
        case SB_PAGEDOWN: SetTop(hwnd, s, s->top + page); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: SetTop(hwnd, s, static_cast<short>(HIWORD(wParam))); break;
        case SB_TOP: SetTop(hwnd, s, 0); break;
        case SB_BOTTOM: SetTop(hwnd, s, static_cast<int>(s->model.items.size())); break;
        default: break;
      }
      return 0;
    }
    case WM_SIZE: SetTop(hwnd, s, s->top); return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_NCDESTROY: DropState(hwnd); return 0;
    default: return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK ComboListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return ListBoxProc(hwnd, msg, wParam, lParam);
}

// ------------------------------------------------------------------------------------------------

bool ListModel::Handles(UINT msg) {
  switch (msg) {
    case LB_ADDSTRING: case LB_INSERTSTRING: case LB_DELETESTRING: case LB_RESETCONTENT: case LB_SETCURSEL:
    case LB_GETCURSEL: case LB_GETTEXT: case LB_GETTEXTLEN: case LB_GETCOUNT: case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT: case LB_SETTOPINDEX: case LB_GETTOPINDEX: case LB_GETITEMDATA: case LB_SETITEMDATA:
    case LB_GETITEMHEIGHT:
      return true;
    default: return false;
  }
}

namespace {
int CompareNoCase(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()); }
bool StartsNoCase(const std::string& text, const char* prefix) {
  return strncasecmp(text.c_str(), prefix, std::strlen(prefix)) == 0;
}
}  // namespace

int ListModel::Find(int after, const char* text, bool exact) const {
  const int n = static_cast<int>(items.size());
  if (!text || n == 0) return -1;
  const int start = after < -1 || after >= n ? -1 : after;
  for (int k = 1; k <= n; ++k) {
    const int i = (start + k) % n;
    const std::string& t = items[static_cast<size_t>(i)].text;
    if (exact ? CompareNoCase(t, text) == 0 : StartsNoCase(t, text)) return i;
  }
  return -1;
}

int ListModel::NextStartingWith(unsigned char ch) const {
  const char prefix[2] = {static_cast<char>(ch), 0};
  return Find(cur, prefix, false);
}

LRESULT ListModel::Handle(UINT msg, WPARAM wParam, LPARAM lParam, bool sorted, bool) {
  const int n = static_cast<int>(items.size());
  switch (msg) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
      std::string text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
      int at = n;
      if (msg == LB_INSERTSTRING) {
        at = static_cast<int>(wParam);
        if (at < 0 || at > n) at = n;
      } else if (sorted) {
        at = 0;
        while (at < n && CompareNoCase(items[static_cast<size_t>(at)].text, text) <= 0) ++at;
      }
      items.insert(items.begin() + at, Item{text, 0});
      if (cur >= at) ++cur;
      return at;
    }
    case LB_DELETESTRING: {
      const int at = static_cast<int>(wParam);
      if (at < 0 || at >= n) return LB_ERR;
      items.erase(items.begin() + at);
      if (cur == at) cur = -1;
      else if (cur > at) --cur;
      return n - 1;
    }
    case LB_RESETCONTENT:
      items.clear();
      cur = -1;
      return 0;
    case LB_SETCURSEL: {
      const int at = static_cast<int>(wParam);
      cur = at >= 0 && at < n ? at : -1;
      return at >= 0 && at < n ? at : LB_ERR;
    }
    case LB_GETCURSEL: return cur;
    case LB_GETTEXT: {
      const int at = static_cast<int>(wParam);
      if (at < 0 || at >= n || !lParam) return LB_ERR;
      const std::string& t = items[static_cast<size_t>(at)].text;
      std::memcpy(reinterpret_cast<char*>(lParam), t.c_str(), t.size() + 1);
      return static_cast<LRESULT>(t.size());
    }
    case LB_GETTEXTLEN: {
      const int at = static_cast<int>(wParam);
      return at < 0 || at >= n ? LB_ERR : static_cast<LRESULT>(items[static_cast<size_t>(at)].text.size());
    }
    case LB_GETCOUNT: return n;
    case LB_FINDSTRING: return Find(static_cast<int>(wParam), reinterpret_cast<LPCSTR>(lParam), false);
    case LB_FINDSTRINGEXACT: return Find(static_cast<int>(wParam), reinterpret_cast<LPCSTR>(lParam), true);
    case LB_GETITEMDATA: {
      const int at = static_cast<int>(wParam);
      return at < 0 || at >= n ? LB_ERR : static_cast<LRESULT>(items[static_cast<size_t>(at)].data);
    }
    case LB_SETITEMDATA: {
      const int at = static_cast<int>(wParam);
      if (at < 0 || at >= n) return LB_ERR;
      items[static_cast<size_t>(at)].data = static_cast<ULONG_PTR>(lParam);
      return 0;
    }
    default: return 0;
  }
}

}  // namespace kvp::win::controls
