// "Edit": single-line (scrolling sideways with ES_AUTOHSCROLL) and multi-line (lines end in
// "\r\n"; word wrap without ES_AUTOHSCROLL; the view follows the caret) text fields.
//
// Text is bytes in the active code page. A typed character goes in at the caret, replacing the
// selection; one that would pass the limit (EM_LIMITTEXT) is refused with EN_MAXTEXT. The caret
// blinks on the platform clock while the field has the focus.
#include "window/controls/ControlKit.h"

#include <algorithm>

namespace kvp::win::controls {

namespace {

constexpr UINT_PTR kBlinkTimer = 0x4B45;
constexpr UINT kBlinkMs = 530;
constexpr int kMargin = 2;

struct Line {
  size_t start;
  size_t length;  // without the line end
};

struct EditState {
  HFONT font = 0;
  std::string text;
  size_t anchor = 0;  // selection = [min(anchor, caret), max(anchor, caret))
  size_t caret = 0;
  size_t limit = 30000;
  int scrollX = 0;        // single line: pixels scrolled to the left
  int firstLine = 0;      // multi-line: the top visible line
  bool caretOn = false;   // blink phase
  bool dragging = false;
};

bool Multi(HWND hwnd) { return (StyleOf(hwnd) & ES_MULTILINE) != 0; }

size_t SelStart(const EditState& s) { return std::min(s.anchor, s.caret); }
size_t SelEnd(const EditState& s) { return std::max(s.anchor, s.caret); }

RECT TextArea(HWND hwnd) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  int inset = (StyleOf(hwnd) & WS_BORDER) || (GetWindowLong(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) ? 2 : 0;
  return RECT{rc.left + inset + kMargin, rc.top + inset + 1, rc.right - inset - kMargin, rc.bottom - inset - 1};
}

// A DC with the field's font selected, for measuring.
class MeasureDc {
 public:
  MeasureDc(HWND hwnd, EditState* s) : dc_(CreateCompatibleDC(0)) { old_ = SelectObject(dc_, FontOf(s->font)); }
  ~MeasureDc() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  operator HDC() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

int WidthOf(HDC dc, const std::string& text, size_t start, size_t n) {
  return n ? TextWidth(dc, text.substr(start, n)) : 0;
}

// Visual lines: hard breaks at "\r\n"; multi-line without ES_AUTOHSCROLL also wraps at words.
std::vector<Line> Layout(HWND hwnd, EditState* s, HDC dc) {
  std::vector<Line> lines;
  if (!Multi(hwnd)) {
    lines.push_back(Line{0, s->text.size()});
    return lines;
  }
  const bool wrap = !(StyleOf(hwnd) & ES_AUTOHSCROLL);
  RECT area = TextArea(hwnd);
  const int width = std::max<int>(area.right - area.left, 1);
  size_t pos = 0;
  for (;;) {
    size_t end = s->text.find("\r\n", pos);
    size_t hardEnd = end == std::string::npos ? s->text.size() : end;
    size_t start = pos;
    while (wrap && hardEnd > start && WidthOf(dc, s->text, start, hardEnd - start) > width) {
      // The longest prefix that fits, broken after a blank when there is one.
      size_t fit = start + 1;
      while (fit < hardEnd && WidthOf(dc, s->text, start, fit + 1 - start) <= width) ++fit;
      size_t brk = s->text.rfind(' ', fit - 1);
      size_t next = (brk != std::string::npos && brk >= start && brk + 1 > start && brk + 1 < hardEnd) ? brk + 1 : fit;
      lines.push_back(Line{start, next - start});
      start = next;
    }
    lines.push_back(Line{start, hardEnd - start});
    if (end == std::string::npos) break;
    pos = end + 2;
  }
  return lines;
}

size_t LineOf(const std::vector<Line>& lines, size_t offset) {
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (offset < lines[i + 1].start) return i;
  }
  return lines.size() - 1;
}

int VisibleLines(HWND hwnd, HDC dc) {
  RECT area = TextArea(hwnd);
  return std::max(1, static_cast<int>((area.bottom - area.top) / LineHeight(dc)));
}

// The text offset nearest to a point (client coordinates).
size_t OffsetAt(HWND hwnd, EditState* s, POINT p) {
  MeasureDc dc(hwnd, s);
  auto lines = Layout(hwnd, s, dc);
  RECT area = TextArea(hwnd);
  size_t li = 0;
  if (Multi(hwnd)) {
    int row = (p.y - area.top) / LineHeight(dc);
    if (p.y < area.top) row = -1;
    li = static_cast<size_t>(std::clamp(s->firstLine + row, 0, static_cast<int>(lines.size()) - 1));
  }
  const Line& line = lines[li];
  const int x = p.x - area.left + (Multi(hwnd) ? 0 : s->scrollX);
  size_t best = line.start;
  for (size_t i = 0; i <= line.length; ++i) {
    int w = WidthOf(dc, s->text, line.start, i);
    int next = i < line.length ? WidthOf(dc, s->text, line.start, i + 1) : w;
    best = line.start + i;
    if (x < (w + next) / 2 || i == line.length) break;
  }
  return best;
}

void UpdateBar(HWND hwnd, EditState* s, int lineCount, int visible) {
  if (!Multi(hwnd) || !(StyleOf(hwnd) & WS_VSCROLL)) return;
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(lineCount - 1, 0),
                static_cast<UINT>(visible), s->firstLine, 0};
  SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
}

void ScrollToCaret(HWND hwnd, EditState* s) {
  MeasureDc dc(hwnd, s);
  auto lines = Layout(hwnd, s, dc);
  RECT area = TextArea(hwnd);
  if (Multi(hwnd)) {
    const int li = static_cast<int>(LineOf(lines, s->caret));
    const int visible = VisibleLines(hwnd, dc);
    if (li < s->firstLine) s->firstLine = li;
    if (li >= s->firstLine + visible) s->firstLine = li - visible + 1;
    s->firstLine = std::clamp(s->firstLine, 0, std::max(0, static_cast<int>(lines.size()) - visible));
    UpdateBar(hwnd, s, static_cast<int>(lines.size()), visible);
  } else {
    const int width = area.right - area.left;
    const int x = WidthOf(dc, s->text, 0, s->caret);
    if (x - s->scrollX > width - 1) s->scrollX = x - width + 1 + width / 4;
    if (x < s->scrollX) s->scrollX = std::max(0, x - width / 4);
    const int total = WidthOf(dc, s->text, 0, s->text.size());
    if (total - s->scrollX < width) s->scrollX = std::max(0, total - width + 1);
  }
}

void Refresh(HWND hwnd, EditState* s) {
  ScrollToCaret(hwnd, s);
  s->caretOn = true;
  if (GetFocus() == hwnd) SetTimer(hwnd, kBlinkTimer, kBlinkMs, nullptr);  // restart the blink phase
  InvalidateRect(hwnd, nullptr, FALSE);
}

void SetSel(HWND hwnd, EditState* s, size_t anchor, size_t caret) {
  s->anchor = std::min(anchor, s->text.size());
  s->caret = std::min(caret, s->text.size());
  Refresh(hwnd, s);
}

// Replaces the selection by `insert` (cut to the limit; true when anything was cut).
bool ReplaceSel(HWND hwnd, EditState* s, std::string insert, bool notify) {
  const size_t a = SelStart(*s), b = SelEnd(*s);
  const size_t kept = s->text.size() - (b - a);
  bool cut = false;
  if (kept + insert.size() > s->limit) {
    insert.resize(s->limit > kept ? s->limit - kept : 0);
    // Never split a line end.
    if (!insert.empty() && insert.back() == '\r') insert.pop_back();
    cut = true;
  }
  if (cut && insert.empty()) {
    if (notify) Notify(hwnd, EN_MAXTEXT);
    return true;
  }
  s->text.replace(a, b - a, insert);
  s->anchor = s->caret = a + insert.size();
  DefWindowProc(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s->text.c_str()));  // the record's copy
  Refresh(hwnd, s);
  if (notify) {
    Notify(hwnd, EN_UPDATE);
    Notify(hwnd, EN_CHANGE);
    if (cut) Notify(hwnd, EN_MAXTEXT);
  }
  return cut;
}

size_t PrevOffset(const EditState& s, size_t at) {
  if (at == 0) return 0;
  if (at >= 2 && s.text[at - 1] == '\n' && s.text[at - 2] == '\r') return at - 2;
  return at - 1;
}

size_t NextOffset(const EditState& s, size_t at) {
  if (at >= s.text.size()) return s.text.size();
  if (s.text[at] == '\r' && at + 1 < s.text.size() && s.text[at + 1] == '\n') return at + 2;
  return at + 1;
}

void MoveCaret(HWND hwnd, EditState* s, size_t to, bool extend) {
  if (extend) {
    SetSel(hwnd, s, s->anchor, to);
  } else {
    SetSel(hwnd, s, to, to);
  }
}

void KeyDown(HWND hwnd, EditState* s, UINT vk) {
  const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  const bool readOnly = (StyleOf(hwnd) & ES_READONLY) != 0;
  MeasureDc dc(hwnd, s);
  auto lines = Layout(hwnd, s, dc);
  const size_t li = LineOf(lines, s->caret);
  auto vertical = [&](int delta) {
    const int target = std::clamp(static_cast<int>(li) + delta, 0, static_cast<int>(lines.size()) - 1);
    const int x = WidthOf(dc, s->text, lines[li].start, s->caret - lines[li].start);
    const Line& line = lines[static_cast<size_t>(target)];
    size_t best = line.start;
    for (size_t i = 0; i <= line.length; ++i) {
      if (WidthOf(dc, s->text, line.start, i) > x) break;
      best = line.start + i;
    }
    MoveCaret(hwnd, s, best, shift);
  };
  switch (vk) {
    case VK_LEFT:
      if (!shift && SelStart(*s) != SelEnd(*s)) {
        MoveCaret(hwnd, s, SelStart(*s), false);
      } else {
        MoveCaret(hwnd, s, PrevOffset(*s, s->caret), shift);
      }
      break;
    case VK_RIGHT:
      if (!shift && SelStart(*s) != SelEnd(*s)) {
        MoveCaret(hwnd, s, SelEnd(*s), false);
      } else {
        MoveCaret(hwnd, s, NextOffset(*s, s->caret), shift);
      }
      break;
    case VK_HOME: MoveCaret(hwnd, s, ctrl ? 0 : lines[li].start, shift); break;
    case VK_END: MoveCaret(hwnd, s, ctrl ? s->text.size() : lines[li].start + lines[li].length, shift); break;
    case VK_UP:
      if (Multi(hwnd)) vertical(-1);
      break;
    case VK_DOWN:
      if (Multi(hwnd)) vertical(1);
      break;
    case VK_PRIOR:
      if (Multi(hwnd)) vertical(-VisibleLines(hwnd, dc));
      break;
    case VK_NEXT:
      if (Multi(hwnd)) vertical(VisibleLines(hwnd, dc));
      break;
    case VK_BACK:
      if (readOnly) break;
      if (SelStart(*s) == SelEnd(*s)) s->anchor = PrevOffset(*s, s->caret);
      if (SelStart(*s) != SelEnd(*s)) ReplaceSel(hwnd, s, "", true);
      break;
    case VK_DELETE:
      if (readOnly) break;
      if (SelStart(*s) == SelEnd(*s)) s->anchor = NextOffset(*s, s->caret);
      if (SelStart(*s) != SelEnd(*s)) ReplaceSel(hwnd, s, "", true);
      break;
    case VK_RETURN:
      if (Multi(hwnd) && !readOnly) ReplaceSel(hwnd, s, "\r\n", true);
      break;
    default: break;
  }
}

void Char(HWND hwnd, EditState* s, unsigned char ch) {
  const DWORD style = StyleOf(hwnd);
  if (ch < 0x20 || ch == 0x7F || (style & ES_READONLY)) return;
  if ((style & ES_NUMBER) && (ch < '0' || ch > '9')) return;
  if ((style & ES_UPPERCASE) && ch >= 'a' && ch <= 'z') ch = static_cast<unsigned char>(ch - 'a' + 'A');
  if ((style & ES_LOWERCASE) && ch >= 'A' && ch <= 'Z') ch = static_cast<unsigned char>(ch - 'A' + 'a');
  ReplaceSel(hwnd, s, std::string(1, static_cast<char>(ch)), true);
}

void Paint(HWND hwnd, EditState* s, HDC dc) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  HGDIOBJ oldFont = SelectObject(dc, FontOf(s->font));
  const bool readOnlyLook = (StyleOf(hwnd) & ES_READONLY) || !IsWindowEnabled(hwnd);
  HBRUSH bg = ControlColors(hwnd, dc, readOnlyLook ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
  if (bg) FillRect(dc, &rc, bg);
  if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  if ((StyleOf(hwnd) & WS_BORDER) || (GetWindowLong(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) {
    RECT e = rc;
    DrawEdge(dc, &e, EDGE_SUNKEN, BF_RECT);
  }
  RECT area = TextArea(hwnd);
  HRGN clip = CreateRectRgn(area.left, area.top, area.right, area.bottom);
  SaveDC(dc);
  IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  DeleteObject(clip);
  auto lines = Layout(hwnd, s, dc);
  const int lh = LineHeight(dc);
  const bool focused = GetFocus() == hwnd;
  const bool showSel = focused || (StyleOf(hwnd) & ES_NOHIDESEL);
  const size_t a = SelStart(*s), b = SelEnd(*s);
  const COLORREF textColor = GetTextColor(dc);
  SetBkMode(dc, TRANSPARENT);
  const size_t first = Multi(hwnd) ? static_cast<size_t>(std::max(s->firstLine, 0)) : 0;
  int y = area.top;
  for (size_t i = first; i < lines.size() && y < area.bottom; ++i, y += lh) {
    const Line& line = lines[i];
    const int x0 = area.left - (Multi(hwnd) ? 0 : s->scrollX);
    const std::string text = s->text.substr(line.start, line.length);
    if (!text.empty()) TextOut(dc, x0, y, text.c_str(), static_cast<int>(text.size()));
    // The selected part of the line, drawn over in the highlight colours.
    const size_t sa = std::max(a, line.start), sb = std::min(b, line.start + line.length);
    if (showSel && sa < sb) {
      const int xa = x0 + WidthOf(dc, s->text, line.start, sa - line.start);
      const int xb = x0 + WidthOf(dc, s->text, line.start, sb - line.start);
      RECT hr{xa, y, xb, y + lh};
      HBRUSH hb = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
      FillRect(dc, &hr, hb);
      DeleteObject(hb);
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
      const std::string part = s->text.substr(sa, sb - sa);
      TextOut(dc, xa, y, part.c_str(), static_cast<int>(part.size()));
      SetTextColor(dc, textColor);
    }
    if (focused && s->caretOn && LineOf(lines, s->caret) == i) {
      const int xc = x0 + WidthOf(dc, s->text, line.start, s->caret - line.start);
      RECT cr{xc, y, xc + 1, y + lh};
      HBRUSH cb = CreateSolidBrush(GetSysColor(COLOR_WINDOWTEXT));
      FillRect(dc, &cr, cb);
      DeleteObject(cb);
    }
  }
  RestoreDC(dc, -1);
  SelectObject(dc, oldFont);
}

}  // namespace

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  EditState* s = StateOf<EditState>(hwnd);
  if (!s) return DefWindowProc(hwnd, msg, wParam, lParam);
  LRESULT result = 0;
  if (HandleFont(s->font, hwnd, msg, wParam, lParam, &result)) return result;
  switch (msg) {
    case WM_CREATE: {
      auto* cs = reinterpret_cast<LPCREATESTRUCT>(lParam);
      s->text = cs && cs->lpszName ? cs->lpszName : "";
      if (Multi(hwnd)) s->limit = 0x7FFFFFFE;
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      Paint(hwnd, s, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SETTEXT:
      s->text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
      s->anchor = s->caret = 0;
      s->scrollX = 0;
      s->firstLine = 0;
      DefWindowProc(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s->text.c_str()));
      Refresh(hwnd, s);
      if (!Multi(hwnd)) Notify(hwnd, EN_CHANGE);
      return TRUE;
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
      auto* m = reinterpret_cast<LPMSG>(lParam);
      if (Multi(hwnd) && (StyleOf(hwnd) & ES_WANTRETURN) && m && m->message == WM_KEYDOWN && m->wParam == VK_RETURN) {
        code |= DLGC_WANTALLKEYS;
      }
      if (!Multi(hwnd) && m && m->message == WM_KEYDOWN && (m->wParam == VK_RETURN || m->wParam == VK_ESCAPE) &&
          ComboWantsKey(hwnd, static_cast<UINT>(m->wParam))) {
        code |= DLGC_WANTALLKEYS;
      }
      return code;
    }
    case WM_KEYDOWN:
      if (!Multi(hwnd) && ComboWantsKey(hwnd, static_cast<UINT>(wParam))) {
        return SendMessage(GetParent(hwnd), WM_KEYDOWN, wParam, lParam);
      }
      KeyDown(hwnd, s, static_cast<UINT>(wParam));
      return 0;
    case WM_CHAR: Char(hwnd, s, static_cast<unsigned char>(wParam)); return 0;
    case WM_LBUTTONDOWN: {
      if (GetFocus() != hwnd) SetFocus(hwnd);
      const bool shift = (wParam & MK_SHIFT) != 0;
      size_t at = OffsetAt(hwnd, s, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      MoveCaret(hwnd, s, at, shift);
      s->dragging = true;
      SetCapture(hwnd);
      return 0;
    }
    case WM_LBUTTONDBLCLK: SetSel(hwnd, s, 0, s->text.size()); return 0;
    case WM_MOUSEMOVE:
      if (s->dragging && GetCapture() == hwnd) {
        size_t at = OffsetAt(hwnd, s, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (at != s->caret) MoveCaret(hwnd, s, at, true);
      }
      return 0;
    case WM_LBUTTONUP:
      s->dragging = false;
      if (GetCapture() == hwnd) ReleaseCapture();
      return 0;
    case WM_CANCELMODE:
      s->dragging = false;
      return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_SETFOCUS:
      s->caretOn = true;
      SetTimer(hwnd, kBlinkTimer, kBlinkMs, nullptr);
      InvalidateRect(hwnd, nullptr, FALSE);
      Notify(hwnd, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      KillTimer(hwnd, kBlinkTimer);
      s->caretOn = false;
      InvalidateRect(hwnd, nullptr, FALSE);
      Notify(hwnd, EN_KILLFOCUS);
      return 0;
    case WM_TIMER:
      if (wParam == kBlinkTimer) {
        s->caretOn = !s->caretOn;
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      return 0;
    case WM_VSCROLL: {
      if (!Multi(hwnd)) return 0;
      MeasureDc dc(hwnd, s);
      const int count = static_cast<int>(Layout(hwnd, s, dc).size());
      const int visible = VisibleLines(hwnd, dc);
      int first = s->firstLine;
      switch (LOWORD(wParam)) {
        case SB_LINEUP: --first; break;
        case SB_LINEDOWN: ++first; break;
        case SB_PAGEUP: first -= visible; break;
        case SB_PAGEDOWN: first += visible; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: first = static_cast<short>(HIWORD(wParam)); break;
        case SB_TOP: first = 0; break;
        case SB_BOTTOM: first = count; break;
        default: return 0;
      }
      s->firstLine = std::clamp(first, 0, std::max(0, count - visible));
      UpdateBar(hwnd, s, count, visible);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_MOUSEWHEEL:
      if (Multi(hwnd)) {
        const int lines = -GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3;
        for (int i = 0; i < std::abs(lines); ++i) SendMessage(hwnd, WM_VSCROLL, lines > 0 ? SB_LINEDOWN : SB_LINEUP, 0);
        return 0;
      }
      return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_SIZE: ScrollToCaret(hwnd, s); return 0;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case EM_GETSEL: {
      const DWORD a = static_cast<DWORD>(SelStart(*s)), b = static_cast<DWORD>(SelEnd(*s));
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = a;
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = b;
      return MAKELRESULT(std::min<DWORD>(a, 0xFFFF), std::min<DWORD>(b, 0xFFFF));
    }
    case EM_SETSEL: {
      const long long start = static_cast<int>(wParam), end = static_cast<int>(lParam);
      if (start < 0) {
        SetSel(hwnd, s, s->caret, s->caret);  // no selection
      } else {
        const size_t n = s->text.size();
        const size_t e = end < 0 ? n : std::min<size_t>(static_cast<size_t>(end), n);
        SetSel(hwnd, s, std::min<size_t>(static_cast<size_t>(start), n), e);
      }
      return 0;
    }
    case EM_REPLACESEL: ReplaceSel(hwnd, s, lParam ? reinterpret_cast<LPCSTR>(lParam) : "", true); return 0;
    case EM_SCROLLCARET: Refresh(hwnd, s); return TRUE;
    case EM_LIMITTEXT:
      s->limit = wParam ? static_cast<size_t>(wParam) : (Multi(hwnd) ? 0x7FFFFFFEu : 0x7FFFFFFEu);
      return 0;
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(s->limit);
    case EM_GETLINECOUNT: {
      MeasureDc dc(hwnd, s);
      return static_cast<LRESULT>(Layout(hwnd, s, dc).size());
    }
    case EM_GETFIRSTVISIBLELINE: return s->firstLine;
    case EM_SETREADONLY: {
      DWORD style = StyleOf(hwnd);
      style = wParam ? (style | ES_READONLY) : (style & ~static_cast<DWORD>(ES_READONLY));
      SetWindowLong(hwnd, GWL_STYLE, static_cast<LONG>(style));
      InvalidateRect(hwnd, nullptr, FALSE);
      return TRUE;
    }
    case WM_NCDESTROY: DropState(hwnd); return 0;
    default: return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

}  // namespace kvp::win::controls
