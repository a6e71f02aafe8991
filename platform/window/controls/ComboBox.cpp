// "ComboBox": a drop-down list (CBS_DROPDOWNLIST: the field shows the choice) or a drop-down
// with an edit field (CBS_DROPDOWN). The list drops in a non-activating popup under the field
// that holds the capture while open; a choice, Escape or a click outside closes it.
//
// The template's height is the height of the dropped list; the combo box itself is one field high.
#include "window/controls/ListBoxModel.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace kvp::win::controls {

namespace {

constexpr UINT kListNotice = WM_USER + 0x4C;  // from the list: wParam LBN_*
constexpr UINT kListClose = WM_USER + 0x4D;   // from the list: wParam TRUE = chosen

struct ComboState {
  HFONT font = 0;
  HWND list = 0;
  HWND edit = 0;
  int dropHeight = 100;
  bool dropped = false;
  bool pressed = false;
  int before = -1;  // the selection when the list opened
};

bool DropDownList(HWND hwnd) { return (StyleOf(hwnd) & 0x3) == CBS_DROPDOWNLIST; }

int FieldHeight(ComboState* s) {
  HDC dc = CreateCompatibleDC(0);
  HGDIOBJ old = SelectObject(dc, FontOf(s->font));
  const int h = LineHeight(dc) + 8;
  SelectObject(dc, old);
  DeleteDC(dc);
  return h;
}

int ButtonWidth() { return GetSystemMetrics(SM_CXVSCROLL); }

ListModel* Model(ComboState* s) { return s->list ? ListModelOf(s->list) : nullptr; }

std::string CurrentText(ComboState* s) {
  ListModel* m = Model(s);
  if (!m || m->cur < 0 || m->cur >= static_cast<int>(m->items.size())) return {};
  return m->items[static_cast<size_t>(m->cur)].text;
}

void ShowChoice(HWND hwnd, ComboState* s) {
  if (s->edit) {
    SetWindowText(s->edit, CurrentText(s).c_str());
    SendMessage(s->edit, EM_SETSEL, 0, -1);
  }
  DefWindowProc(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(CurrentText(s).c_str()));
  InvalidateRect(hwnd, nullptr, FALSE);
}

void Close(HWND hwnd, ComboState* s, bool chosen) {
  if (!s->dropped) return;
  s->dropped = false;
  ListModel* m = Model(s);
  if (!chosen && m) {
    m->cur = s->before;
  }
  if (GetCapture() == s->list) ReleaseCapture();
  ShowWindow(s->list, SW_HIDE);
  InvalidateRect(hwnd, nullptr, FALSE);
  Notify(hwnd, CBN_CLOSEUP);
  if (chosen && m && m->cur != s->before) {
    ShowChoice(hwnd, s);
    Notify(hwnd, CBN_SELCHANGE);
  }
  Notify(hwnd, chosen ? CBN_SELENDOK : CBN_SELENDCANCEL);
}

void Drop(HWND hwnd, ComboState* s) {
  if (s->dropped || !s->list) return;
  Notify(hwnd, CBN_DROPDOWN);
  if (!IsWindow(hwnd)) return;
  RECT r;
  GetWindowRect(hwnd, &r);
  ListModel* m = Model(s);
  s->before = m ? m->cur : -1;
  HDC dc = CreateCompatibleDC(0);
  HGDIOBJ old = SelectObject(dc, FontOf(s->font));
  const int itemH = LineHeight(dc);
  SelectObject(dc, old);
  DeleteDC(dc);
  const int count = m ? static_cast<int>(m->items.size()) : 0;
  const int height = std::min(std::max(s->dropHeight, itemH + 4), std::max(count, 1) * itemH + 4);
  SetWindowPos(s->list, HWND_TOPMOST, r.left, r.bottom, r.right - r.left, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  SendMessage(s->list, WM_SETFONT, static_cast<WPARAM>(s->font), 0);
  if (m && m->cur >= 0) SendMessage(s->list, LB_SETCURSEL, static_cast<WPARAM>(m->cur), 0);
  s->dropped = true;
  SetCapture(s->list);
  InvalidateRect(hwnd, nullptr, FALSE);
}

// A selection change made by the user with the list closed.
void StepSelection(HWND hwnd, ComboState* s, int to) {
  ListModel* m = Model(s);
  if (!m || m->items.empty()) return;
  to = std::clamp(to, 0, static_cast<int>(m->items.size()) - 1);
  if (to == m->cur) return;
  m->cur = to;
  ShowChoice(hwnd, s);
  Notify(hwnd, CBN_SELCHANGE);
}

void Paint(HWND hwnd, ComboState* s, HDC dc) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  HGDIOBJ oldFont = SelectObject(dc, FontOf(s->font));
  HBRUSH bg = ControlColors(hwnd, dc, WM_CTLCOLOREDIT);
  if (bg) FillRect(dc, &rc, bg);
  RECT e = rc;
  DrawEdge(dc, &e, EDGE_SUNKEN, BF_RECT);
  const int bw = ButtonWidth();
  RECT button{rc.right - 2 - bw, rc.top + 2, rc.right - 2, rc.bottom - 2};
  HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_3DFACE));
  FillRect(dc, &button, face);
  DeleteObject(face);
  RECT be = button;
  DrawEdge(dc, &be, s->pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  const int cx = (button.left + button.right) / 2, cy = (button.top + button.bottom) / 2;
  POINT tri[3] = {{cx - 4, cy - 2}, {cx + 4, cy - 2}, {cx, cy + 2}};
  HBRUSH ink = CreateSolidBrush(GetSysColor(IsWindowEnabled(hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  HGDIOBJ ob = SelectObject(dc, ink);
  HGDIOBJ op = SelectObject(dc, GetStockObject(NULL_PEN));
  Polygon(dc, tri, 3);
  SelectObject(dc, op);
  SelectObject(dc, ob);
  DeleteObject(ink);
  if (DropDownList(hwnd)) {
    RECT field{rc.left + 3, rc.top + 3, button.left - 1, rc.bottom - 3};
    const bool focused = GetFocus() == hwnd && !s->dropped;
    if (focused) {
      HBRUSH hb = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
      FillRect(dc, &field, hb);
      DeleteObject(hb);
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else if (!IsWindowEnabled(hwnd)) {
      SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    }
    SetBkMode(dc, TRANSPARENT);
    RECT tr{field.left + 2, field.top, field.right, field.bottom};
    DrawText(dc, CurrentText(s).c_str(), -1, &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (focused) DrawFocusRect(dc, &field);
  }
  SelectObject(dc, oldFont);
}

void Layout(HWND hwnd, ComboState* s) {
  RECT w;
  GetWindowRect(hwnd, &w);
  const int h = FieldHeight(s);
  if (w.bottom - w.top != h) {
    SetWindowPos(hwnd, 0, 0, 0, w.right - w.left, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RECT r;
  GetClientRect(hwnd, &r);
  if (s->edit) MoveWindow(s->edit, 3, 3, std::max<int>(r.right - ButtonWidth() - 7, 0), h - 6, TRUE);
}

LRESULT ListMessage(ComboState* s, UINT lbMsg, WPARAM wParam, LPARAM lParam) {
  return s->list ? SendMessage(s->list, lbMsg, wParam, lParam) : CB_ERR;
}

}  // namespace

// Whether the edit field of a combo box should leave a key to the combo box.
bool ComboWantsKey(HWND edit, UINT vk) {
  HWND combo = GetParent(edit);
  char cls[16] = {};
  if (!combo || !GetClassName(combo, cls, sizeof cls) || strcasecmp(cls, WC_COMBOBOX) != 0) return false;
  ComboState* s = StateOf<ComboState>(combo);
  if (vk == VK_UP || vk == VK_DOWN || vk == VK_F4) return true;
  return s && s->dropped && (vk == VK_RETURN || vk == VK_ESCAPE);
}

LRESULT CALLBACK ComboBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ComboState* s = StateOf<ComboState>(hwnd);
  if (!s) return DefWindowProc(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_CREATE: {
      auto* cs = reinterpret_cast<LPCREATESTRUCT>(lParam);
      s->dropHeight = cs ? cs->cy : 100;
      const DWORD style = StyleOf(hwnd);
      s->list = CreateWindowEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kComboListClass, "",
                               WS_POPUP | WS_BORDER | WS_VSCROLL | ((style & CBS_SORT) ? LBS_SORT : 0), 0, 0, 10, 10,
                               hwnd, 0, 0, nullptr);
      if (!s->list) return -1;
      AttachListToCombo(s->list, hwnd);
      if (!DropDownList(hwnd)) {
        s->edit = CreateWindowEx(0, WC_EDIT, cs && cs->lpszName ? cs->lpszName : "",
                                 WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 3, 3, 10, 10, hwnd, static_cast<HMENU>(1001),
                                 0, nullptr);
      }
      Layout(hwnd, s);
      return 0;
    }
    case WM_DESTROY:
      if (s->list && IsWindow(s->list)) DestroyWindow(s->list);
      s->list = 0;
      return 0;
    case WM_SETFONT:
      s->font = static_cast<HFONT>(wParam);
      if (s->edit) SendMessage(s->edit, WM_SETFONT, wParam, lParam);
      if (s->list) SendMessage(s->list, WM_SETFONT, wParam, 0);
      Layout(hwnd, s);
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT: return static_cast<LRESULT>(s->font);
    case WM_SIZE:
      if (s->edit) Layout(hwnd, s);
      return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      Paint(hwnd, s, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
      auto* m = reinterpret_cast<LPMSG>(lParam);
      if (s->dropped && m && m->message == WM_KEYDOWN && (m->wParam == VK_RETURN || m->wParam == VK_ESCAPE)) {
        code |= DLGC_WANTALLKEYS;
      }
      return code;
    }
    case WM_SETFOCUS:
      if (s->edit) {
        SetFocus(s->edit);
        SendMessage(s->edit, EM_SETSEL, 0, -1);
      }
      InvalidateRect(hwnd, nullptr, FALSE);
      Notify(hwnd, CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS: {
      HWND to = static_cast<HWND>(wParam);
      if (to == s->edit) return 0;
      Close(hwnd, s, false);
      InvalidateRect(hwnd, nullptr, FALSE);
      Notify(hwnd, CBN_KILLFOCUS);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (!s->edit && GetFocus() != hwnd) SetFocus(hwnd);
      if (s->edit && GetFocus() != s->edit) SetFocus(s->edit);
      if (s->dropped) {
        Close(hwnd, s, false);
      } else {
        Drop(hwnd, s);
      }
      return 0;
    case WM_KEYDOWN: {
      ListModel* m = Model(s);
      const bool alt = (GetKeyState(VK_MENU) & 0x8000) != 0;
      if (wParam == VK_F4 || (alt && (wParam == VK_DOWN || wParam == VK_UP))) {
        if (s->dropped) Close(hwnd, s, true); else Drop(hwnd, s);
        return 0;
      }
      if (s->dropped) {
        if (wParam == VK_RETURN) Close(hwnd, s, true);
        else if (wParam == VK_ESCAPE) Close(hwnd, s, false);
        else SendMessage(s->list, WM_KEYDOWN, wParam, lParam);
        return 0;
      }
      if (!m) return 0;
      switch (wParam) {
        case VK_UP:
        case VK_LEFT: StepSelection(hwnd, s, m->cur < 0 ? 0 : m->cur - 1); break;
        case VK_DOWN:
        case VK_RIGHT: StepSelection(hwnd, s, m->cur + 1); break;
        case VK_HOME: StepSelection(hwnd, s, 0); break;
        case VK_END: StepSelection(hwnd, s, static_cast<int>(m->items.size()) - 1); break;
        default: break;
      }
      return 0;
    }
    case WM_CHAR:
      if (DropDownList(hwnd)) {
        if (ListModel* m = Model(s)) {
          const int next = m->NextStartingWith(static_cast<unsigned char>(wParam));
          if (next >= 0) {
            if (s->dropped) {
              SendMessage(s->list, LB_SETCURSEL, static_cast<WPARAM>(next), 0);
            } else {
              StepSelection(hwnd, s, next);
            }
          }
        }
      }
      return 0;
    case WM_MOUSEWHEEL:
      if (!s->dropped && GetFocus() == hwnd) {
        if (ListModel* m = Model(s)) StepSelection(hwnd, s, m->cur + (GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? -1 : 1));
      }
      return 0;
    case WM_COMMAND:
      if (s->edit && static_cast<HWND>(lParam) == s->edit && HIWORD(wParam) == EN_CHANGE) {
        DefWindowProc(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(TextOf(s->edit).c_str()));
        Notify(hwnd, CBN_EDITCHANGE);
      }
      return 0;
    case kListNotice:
      // Moving through the open list changes the selection shown; the choice is made on close.
      return 0;
    case kListClose: Close(hwnd, s, wParam != 0); return 0;
    case WM_SETTEXT:
      if (s->edit) SetWindowText(s->edit, reinterpret_cast<LPCSTR>(lParam));
      return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_ENABLE:
      if (s->edit) EnableWindow(s->edit, static_cast<BOOL>(wParam));
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case CB_ADDSTRING: return ListMessage(s, LB_ADDSTRING, wParam, lParam);
    case CB_INSERTSTRING: return ListMessage(s, LB_INSERTSTRING, wParam, lParam);
    case CB_DELETESTRING: {
      LRESULT r = ListMessage(s, LB_DELETESTRING, wParam, lParam);
      ShowChoice(hwnd, s);
      return r;
    }
    case CB_RESETCONTENT:
      ListMessage(s, LB_RESETCONTENT, 0, 0);
      ShowChoice(hwnd, s);
      return CB_OKAY;
    case CB_GETCOUNT: return ListMessage(s, LB_GETCOUNT, 0, 0);
    case CB_GETCURSEL: return ListMessage(s, LB_GETCURSEL, 0, 0);
    case CB_SETCURSEL: {
      LRESULT r = ListMessage(s, LB_SETCURSEL, wParam, 0);
      ShowChoice(hwnd, s);
      return r;
    }
    case CB_GETLBTEXT: return ListMessage(s, LB_GETTEXT, wParam, lParam);
    case CB_GETLBTEXTLEN: return ListMessage(s, LB_GETTEXTLEN, wParam, lParam);
    case CB_FINDSTRING: return ListMessage(s, LB_FINDSTRING, wParam, lParam);
    case CB_FINDSTRINGEXACT: return ListMessage(s, LB_FINDSTRINGEXACT, wParam, lParam);
    case CB_SELECTSTRING: {
      LRESULT at = ListMessage(s, LB_FINDSTRING, wParam, lParam);
      if (at >= 0) {
        ListMessage(s, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
        ShowChoice(hwnd, s);
      }
      return at;
    }
    case CB_GETITEMDATA: return ListMessage(s, LB_GETITEMDATA, wParam, 0);
    case CB_SETITEMDATA: return ListMessage(s, LB_SETITEMDATA, wParam, lParam);
    case CB_SHOWDROPDOWN:
      if (wParam) Drop(hwnd, s); else Close(hwnd, s, false);
      return TRUE;
    case CB_GETDROPPEDSTATE: return s->dropped;
    case CB_LIMITTEXT: return s->edit ? SendMessage(s->edit, EM_LIMITTEXT, wParam, 0) : CB_ERR;
    case CB_GETEDITSEL: return s->edit ? SendMessage(s->edit, EM_GETSEL, wParam, lParam) : CB_ERR;
    case CB_SETEDITSEL:
      return s->edit ? (SendMessage(s->edit, EM_SETSEL, static_cast<WPARAM>(static_cast<short>(LOWORD(lParam))),
                                    static_cast<short>(HIWORD(lParam))),
                        TRUE)
                     : CB_ERR;
    case WM_NCDESTROY: DropState(hwnd); return 0;
    default: return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

}  // namespace kvp::win::controls
