// "Button": push buttons (default or not), check boxes (two and three states), radio buttons,
// group boxes and owner-drawn buttons.
//
// A click is a press and a release inside the button (the button holds the capture meanwhile:
// pressing, dragging out and releasing outside clicks nothing). Space presses and releases too.
// Auto check boxes and radio buttons change their check before BN_CLICKED reaches the parent; the
// arrow keys move the focus (and the check) within a radio group: in a dialog the dialog manager
// does it (DLGC_RADIOBUTTON), elsewhere the radio button itself.
#include "window/controls/ControlKit.h"

#include <algorithm>

namespace kvp::win::controls {

namespace {

struct ButtonState {
  HFONT font = 0;
  UINT check = BST_UNCHECKED;
  bool pressed = false;  // mouse or Space held on it
  bool inside = false;   // the pointer is over it while pressed
  bool spaceDown = false;
};

UINT TypeOf(HWND hwnd) { return StyleOf(hwnd) & BS_TYPEMASK; }
bool IsPush(UINT type) { return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON; }
bool IsRadio(UINT type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }
bool IsCheck(UINT type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}
bool Selected(const ButtonState& s) { return s.pressed && s.inside; }

void DrawOwner(HWND hwnd, HDC dc, UINT action) {
  ButtonState* s = StateOf<ButtonState>(hwnd);
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_BUTTON;
  dis.CtlID = static_cast<UINT>(IdOf(hwnd));
  dis.itemAction = action;
  dis.itemState = (Selected(*s) ? ODS_SELECTED : 0) | (GetFocus() == hwnd ? ODS_FOCUS : 0) |
                  (IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED);
  dis.hwndItem = hwnd;
  dis.hDC = dc;
  GetClientRect(hwnd, &dis.rcItem);
  SendMessage(GetParent(hwnd), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
}

// An owner-drawn button redraws the part that changed at once, with that action.
void OwnerRedraw(HWND hwnd, UINT action) {
  if (!IsWindowVisible(hwnd)) return;
  HDC dc = GetDC(hwnd);
  if (!dc) return;
  DrawOwner(hwnd, dc, action);
  ReleaseDC(hwnd, dc);
}

void Changed(HWND hwnd, UINT ownerAction) {
  if (TypeOf(hwnd) == BS_OWNERDRAW) {
    OwnerRedraw(hwnd, ownerAction);
  } else {
    InvalidateRect(hwnd, nullptr, TRUE);
  }
}

void DrawCheckMark(HDC dc, const RECT& box, COLORREF color) {
  HPEN pen = CreatePen(PS_SOLID, 2, color);
  HGDIOBJ old = SelectObject(dc, pen);
  const int l = box.left + 3, t = box.top + 3, w = box.right - box.left - 6, h = box.bottom - box.top - 6;
  MoveToEx(dc, l, t + h / 2, nullptr);
  LineTo(dc, l + w / 3, t + h - 1);
  LineTo(dc, l + w, t);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void Paint(HWND hwnd, HDC dc) {
  ButtonState* s = StateOf<ButtonState>(hwnd);
  const UINT type = TypeOf(hwnd);
  RECT rc;
  GetClientRect(hwnd, &rc);
  if (type == BS_OWNERDRAW) {
    DrawOwner(hwnd, dc, ODA_DRAWENTIRE);
    return;
  }
  HGDIOBJ oldFont = SelectObject(dc, FontOf(s->font));
  HBRUSH bg = ControlColors(hwnd, dc, WM_CTLCOLORBTN);
  const bool enabled = IsWindowEnabled(hwnd) != 0;
  const bool focused = GetFocus() == hwnd;
  const std::string text = StripMnemonics(TextOf(hwnd));
  COLORREF textColor = enabled ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
  SetBkMode(dc, TRANSPARENT);
  if (IsPush(type)) {
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    FillRect(dc, &rc, face);
    DeleteObject(face);
    RECT edge = rc;
    if (type == BS_DEFPUSHBUTTON || (focused && IsPush(type))) {
      HBRUSH frame = CreateSolidBrush(GetSysColor(COLOR_WINDOWFRAME));
      RECT f = rc;
      for (RECT side : {RECT{f.left, f.top, f.right, f.top + 1}, RECT{f.left, f.bottom - 1, f.right, f.bottom},
                        RECT{f.left, f.top, f.left + 1, f.bottom}, RECT{f.right - 1, f.top, f.right, f.bottom}}) {
        FillRect(dc, &side, frame);
      }
      DeleteObject(frame);
      edge = RECT{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
    }
    DrawEdge(dc, &edge, Selected(*s) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    RECT tr = rc;
    if (Selected(*s)) tr = RECT{tr.left + 1, tr.top + 1, tr.right + 1, tr.bottom + 1};
    SetTextColor(dc, textColor);
    DrawText(dc, text.c_str(), -1, &tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (focused) {
      RECT fr{rc.left + 4, rc.top + 4, rc.right - 4, rc.bottom - 4};
      DrawFocusRect(dc, &fr);
    }
  } else if (type == BS_GROUPBOX) {
    if (bg) FillRect(dc, &rc, bg);
    const int lh = LineHeight(dc);
    RECT frame{rc.left, rc.top + lh / 2, rc.right, rc.bottom};
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (!text.empty()) {
      RECT tr{rc.left + 8, rc.top, rc.left + 8 + TextWidth(dc, text) + 4, rc.top + lh};
      if (bg) FillRect(dc, &tr, bg);
      SetTextColor(dc, textColor);
      tr.left += 2;
      DrawText(dc, text.c_str(), -1, &tr, DT_LEFT | DT_SINGLELINE | DT_NOCLIP);
    }
  } else {
    if (bg) FillRect(dc, &rc, bg);
    const int box = 13;
    const int top = rc.top + (rc.bottom - rc.top - box) / 2;
    const bool leftText = (StyleOf(hwnd) & BS_LEFTTEXT) != 0;
    RECT b{leftText ? rc.right - box : rc.left, top, (leftText ? rc.right - box : rc.left) + box, top + box};
    const COLORREF mark = enabled ? GetSysColor(COLOR_WINDOWTEXT) : GetSysColor(COLOR_GRAYTEXT);
    if (IsRadio(type)) {
      HBRUSH fill = CreateSolidBrush(GetSysColor(Selected(*s) ? COLOR_3DFACE : COLOR_WINDOW));
      HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DSHADOW));
      HGDIOBJ ob = SelectObject(dc, fill);
      HGDIOBJ op = SelectObject(dc, pen);
      Ellipse(dc, b.left, b.top, b.right - 1, b.bottom - 1);
      SelectObject(dc, op);
      SelectObject(dc, ob);
      DeleteObject(pen);
      DeleteObject(fill);
      if (s->check == BST_CHECKED) {
        HBRUSH dot = CreateSolidBrush(mark);
        HGDIOBJ od = SelectObject(dc, dot);
        HGDIOBJ on = SelectObject(dc, GetStockObject(NULL_PEN));
        Ellipse(dc, b.left + 4, b.top + 4, b.right - 4, b.bottom - 4);
        SelectObject(dc, on);
        SelectObject(dc, od);
        DeleteObject(dot);
      }
    } else {
      const int faceIndex = Selected(*s) || s->check == BST_INDETERMINATE ? COLOR_3DFACE : COLOR_WINDOW;
      HBRUSH fill = CreateSolidBrush(GetSysColor(faceIndex));
      FillRect(dc, &b, fill);
      DeleteObject(fill);
      RECT e = b;
      DrawEdge(dc, &e, EDGE_SUNKEN, BF_RECT);
      if (s->check == BST_CHECKED) DrawCheckMark(dc, b, mark);
      if (s->check == BST_INDETERMINATE) DrawCheckMark(dc, b, GetSysColor(COLOR_3DSHADOW));
    }
    RECT tr = leftText ? RECT{rc.left, rc.top, b.left - 4, rc.bottom} : RECT{b.right + 4, rc.top, rc.right, rc.bottom};
    SetTextColor(dc, textColor);
    DrawText(dc, text.c_str(), -1, &tr, (leftText ? DT_RIGHT : DT_LEFT) | DT_VCENTER | DT_SINGLELINE);
    if (focused && !text.empty()) {
      RECT fr{tr.left - 1, tr.top + (tr.bottom - tr.top - LineHeight(dc)) / 2 - 1, 0, 0};
      fr.right = std::min<LONG>(tr.right, fr.left + TextWidth(dc, text) + 2);
      fr.bottom = fr.top + LineHeight(dc) + 2;
      DrawFocusRect(dc, &fr);
    }
  }
  SelectObject(dc, oldFont);
}

// The buttons of hwnd's radio group, in order: from the WS_GROUP sibling at or before it to the
// sibling before the next WS_GROUP.
std::vector<HWND> RadioGroup(HWND hwnd) {
  std::vector<HWND> siblings;
  HWND parent = GetParent(hwnd);
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) siblings.push_back(c);
  auto it = std::find(siblings.begin(), siblings.end(), hwnd);
  if (it == siblings.end()) return {hwnd};
  size_t first = static_cast<size_t>(it - siblings.begin());
  while (first > 0 && !(StyleOf(siblings[first]) & WS_GROUP)) --first;
  std::vector<HWND> group;
  for (size_t i = first; i < siblings.size(); ++i) {
    if (i > first && (StyleOf(siblings[i]) & WS_GROUP)) break;
    group.push_back(siblings[i]);
  }
  return group;
}

void SetCheck(HWND hwnd, UINT check) {
  ButtonState* s = StateOf<ButtonState>(hwnd);
  if (s->check == check) return;
  s->check = check;
  Changed(hwnd, ODA_DRAWENTIRE);
}

void Click(HWND hwnd) {
  ButtonState* s = StateOf<ButtonState>(hwnd);
  switch (TypeOf(hwnd)) {
    case BS_AUTOCHECKBOX: SetCheck(hwnd, s->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED); break;
    case BS_AUTO3STATE:
      SetCheck(hwnd, s->check == BST_UNCHECKED ? BST_CHECKED
                     : s->check == BST_CHECKED ? BST_INDETERMINATE
                                               : BST_UNCHECKED);
      break;
    case BS_AUTORADIOBUTTON:
      for (HWND other : RadioGroup(hwnd)) {
        if (other != hwnd && TypeOf(other) == BS_AUTORADIOBUTTON) SetCheck(other, BST_UNCHECKED);
      }
      SetCheck(hwnd, BST_CHECKED);
      break;
    default: break;
  }
  Notify(hwnd, BN_CLICKED);
}

void SetPressed(HWND hwnd, bool pressed, bool inside) {
  ButtonState* s = StateOf<ButtonState>(hwnd);
  const bool before = Selected(*s);
  s->pressed = pressed;
  s->inside = inside;
  if (before != Selected(*s)) Changed(hwnd, ODA_SELECT);
}

void MoveInGroup(HWND hwnd, bool forward) {
  std::vector<HWND> group = RadioGroup(hwnd);
  std::vector<HWND> radios;
  for (HWND h : group) {
    if (IsRadio(TypeOf(h)) && IsWindowVisible(h) && IsWindowEnabled(h)) radios.push_back(h);
  }
  auto it = std::find(radios.begin(), radios.end(), hwnd);
  if (radios.size() < 2 || it == radios.end()) return;
  size_t i = static_cast<size_t>(it - radios.begin());
  HWND next = radios[forward ? (i + 1) % radios.size() : (i + radios.size() - 1) % radios.size()];
  SetFocus(next);
  if (TypeOf(next) == BS_AUTORADIOBUTTON) Click(next);
}

}  // namespace

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ButtonState* s = StateOf<ButtonState>(hwnd);
  if (!s) return DefWindowProc(hwnd, msg, wParam, lParam);
  LRESULT result = 0;
  if (HandleFont(s->font, hwnd, msg, wParam, lParam, &result)) return result;
  const UINT type = TypeOf(hwnd);
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      Paint(hwnd, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_GETDLGCODE:
      switch (type) {
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON:
        case BS_OWNERDRAW: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_GROUPBOX: return DLGC_STATIC;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;  // a dialog moves the check with the arrows
        default: return DLGC_BUTTON;
      }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (type == BS_GROUPBOX) return 0;
      SetCapture(hwnd);
      if (GetFocus() != hwnd) SetFocus(hwnd);
      SetPressed(hwnd, true, true);
      return 0;
    case WM_MOUSEMOVE:
      if (s->pressed && GetCapture() == hwnd) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        SetPressed(hwnd, true, CRect(rc).PtInRect(p));
      }
      return 0;
    case WM_LBUTTONUP: {
      const bool click = Selected(*s);
      SetPressed(hwnd, false, false);
      if (GetCapture() == hwnd) ReleaseCapture();
      if (click) Click(hwnd);
      return 0;
    }
    case WM_CANCELMODE:
    case WM_CAPTURECHANGED:
      if (s->pressed && !s->spaceDown) SetPressed(hwnd, false, false);
      return msg == WM_CANCELMODE ? DefWindowProc(hwnd, msg, wParam, lParam) : 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE && type != BS_GROUPBOX) {
        s->spaceDown = true;
        SetPressed(hwnd, true, true);
        return 0;
      }
      if (IsRadio(type) && (wParam == VK_DOWN || wParam == VK_RIGHT || wParam == VK_UP || wParam == VK_LEFT)) {
        MoveInGroup(hwnd, wParam == VK_DOWN || wParam == VK_RIGHT);
        return 0;
      }
      return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_KEYUP:
      if (wParam == VK_SPACE && s->spaceDown) {
        s->spaceDown = false;
        const bool click = Selected(*s);
        SetPressed(hwnd, false, false);
        if (click) Click(hwnd);
        return 0;
      }
      return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (msg == WM_KILLFOCUS && s->spaceDown) {
        s->spaceDown = false;
        SetPressed(hwnd, false, false);
      }
      Changed(hwnd, ODA_FOCUS);
      return 0;
    case WM_ENABLE: Changed(hwnd, ODA_DRAWENTIRE); return 0;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProc(hwnd, msg, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return r;
    }
    case BM_GETCHECK: return static_cast<LRESULT>(s->check);
    case BM_SETCHECK: {
      UINT check = static_cast<UINT>(wParam);
      if (check == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE) check = BST_CHECKED;
      if (IsCheck(type) || IsRadio(type)) SetCheck(hwnd, check);
      return 0;
    }
    case BM_GETSTATE:
      return static_cast<LRESULT>(s->check | (Selected(*s) ? BST_PUSHED : 0) | (GetFocus() == hwnd ? BST_FOCUS : 0));
    case BM_SETSTATE: SetPressed(hwnd, wParam != 0, wParam != 0); return 0;
    case BM_SETSTYLE: {
      DWORD style = (StyleOf(hwnd) & ~static_cast<DWORD>(BS_TYPEMASK)) | (static_cast<DWORD>(wParam) & BS_TYPEMASK);
      SetWindowLong(hwnd, GWL_STYLE, static_cast<LONG>(style));
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case BM_CLICK:
      if (IsWindowEnabled(hwnd)) Click(hwnd);
      return 0;
    case WM_NCDESTROY: DropState(hwnd); return 0;
    default: return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

}  // namespace kvp::win::controls
