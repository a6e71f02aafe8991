// "ScrollBar" controls and the windows' own scroll bars.
//
// A bar reports what the user does (WM_VSCROLL / WM_HSCROLL with SB_LINE*, SB_PAGE*,
// SB_THUMBTRACK while the thumb is dragged, SB_THUMBPOSITION where it was let go, SB_ENDSCROLL
// when the button is released) and never moves by itself: its owner answers with SetScrollPos.
// Held arrows and track repeat on the platform clock.
//
// A window's own bar (WS_VSCROLL / WS_HSCROLL) is a bar child along its right (bottom) edge that
// reports to the window with lParam 0; while shown it takes its width off the client rectangle.
#include "window/controls/ControlKit.h"

#include <algorithm>
#include <strings.h>

namespace kvp::win::controls {

namespace {

constexpr UINT_PTR kRepeatTimer = 0x5342;
constexpr UINT kRepeatDelayMs = 400;
constexpr UINT kRepeatMs = 50;
constexpr int kBarSize = 17;
constexpr int kMinThumb = 8;

enum class Part { None, ArrowBack, PageBack, Thumb, PageForward, ArrowForward };

struct BarState {
  int min = 0;
  int max = 100;
  UINT page = 0;
  int pos = 0;
  int trackPos = 0;
  bool windowBar = false;  // stands for its parent's own bar
  Part held = Part::None;
  bool inside = false;
  int grabOffset = 0;  // pointer to thumb start while dragging
};

bool Vertical(HWND hwnd) { return (StyleOf(hwnd) & SBS_VERT) != 0; }

struct Geometry {
  int length;   // along the bar
  int arrow;    // each arrow button
  int trackStart, trackEnd;
  int thumbStart, thumbSize;
};

Geometry Measure(HWND hwnd, const BarState& s, int pos) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  const bool v = Vertical(hwnd);
  Geometry g{};
  g.length = v ? rc.bottom : rc.right;
  const int thickness = v ? rc.right : rc.bottom;
  g.arrow = std::min(thickness, g.length / 2);
  g.trackStart = g.arrow;
  g.trackEnd = g.length - g.arrow;
  const int track = std::max(g.trackEnd - g.trackStart, 0);
  const long long range = static_cast<long long>(s.max) - s.min + 1;
  if (s.page > 0 && range > 0) {
    g.thumbSize = static_cast<int>(std::max<long long>(track * static_cast<long long>(s.page) / range, kMinThumb));
  } else {
    g.thumbSize = std::min(thickness, track);
  }
  g.thumbSize = std::min(g.thumbSize, track);
  const long long span = range - std::max<long long>(s.page, 1);
  const int room = track - g.thumbSize;
  g.thumbStart = g.trackStart;
  if (span > 0 && room > 0) g.thumbStart += static_cast<int>((static_cast<long long>(pos) - s.min) * room / span);
  return g;
}

int PosFromThumb(HWND hwnd, const BarState& s, int thumbStart) {
  Geometry g = Measure(hwnd, s, s.min);
  const int room = g.trackEnd - g.trackStart - g.thumbSize;
  const long long span = static_cast<long long>(s.max) - s.min + 1 - std::max<long long>(s.page, 1);
  if (room <= 0 || span <= 0) return s.min;
  const int offset = std::clamp(thumbStart - g.trackStart, 0, room);
  return s.min + static_cast<int>((offset * span + room / 2) / room);
}

Part HitPart(HWND hwnd, const BarState& s, POINT p) {
  const int at = Vertical(hwnd) ? p.y : p.x;
  Geometry g = Measure(hwnd, s, s.pos);
  if (at < 0 || at >= g.length) return Part::None;
  if (at < g.arrow) return Part::ArrowBack;
  if (at >= g.trackEnd) return Part::ArrowForward;
  if (at < g.thumbStart) return Part::PageBack;
  if (at < g.thumbStart + g.thumbSize) return Part::Thumb;
  return Part::PageForward;
}

void Report(HWND hwnd, BarState* s, UINT code, int pos = 0) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  const UINT msg = Vertical(hwnd) ? WM_VSCROLL : WM_HSCROLL;
  SendMessage(parent, msg, MAKEWPARAM(code, static_cast<WORD>(pos)), s->windowBar ? 0 : static_cast<LPARAM>(hwnd));
}

UINT CodeOf(Part part) {
  switch (part) {
    case Part::ArrowBack: return SB_LINEUP;
    case Part::ArrowForward: return SB_LINEDOWN;
    case Part::PageBack: return SB_PAGEUP;
    case Part::PageForward: return SB_PAGEDOWN;
    default: return SB_ENDSCROLL;
  }
}

void DrawArrow(HDC dc, RECT box, int direction /*0 up 1 down 2 left 3 right*/, bool pressed, bool enabled) {
  HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_3DFACE));
  FillRect(dc, &box, face);
  DeleteObject(face);
  RECT e = box;
  DrawEdge(dc, &e, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  const int cx = (box.left + box.right) / 2 + (pressed ? 1 : 0), cy = (box.top + box.bottom) / 2 + (pressed ? 1 : 0);
  const int r = std::max<int>(std::min(box.right - box.left, box.bottom - box.top) / 4, 2);
  POINT tri[3];
  switch (direction) {
    case 0: tri[0] = {cx - r, cy + r / 2}; tri[1] = {cx + r, cy + r / 2}; tri[2] = {cx, cy - r / 2 - 1}; break;
    case 1: tri[0] = {cx - r, cy - r / 2}; tri[1] = {cx + r, cy - r / 2}; tri[2] = {cx, cy + r / 2 + 1}; break;
    case 2: tri[0] = {cx + r / 2, cy - r}; tri[1] = {cx + r / 2, cy + r}; tri[2] = {cx - r / 2 - 1, cy}; break;
    default: tri[0] = {cx - r / 2, cy - r}; tri[1] = {cx - r / 2, cy + r}; tri[2] = {cx + r / 2 + 1, cy}; break;
  }
  HBRUSH ink = CreateSolidBrush(GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  HGDIOBJ ob = SelectObject(dc, ink);
  HGDIOBJ op = SelectObject(dc, GetStockObject(NULL_PEN));
  Polygon(dc, tri, 3);
  SelectObject(dc, op);
  SelectObject(dc, ob);
  DeleteObject(ink);
}

void Paint(HWND hwnd, BarState* s, HDC dc) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  const bool v = Vertical(hwnd);
  const bool enabled = IsWindowEnabled(hwnd) != 0;
  HBRUSH bg = s->windowBar ? 0 : ControlColors(hwnd, dc, WM_CTLCOLORSCROLLBAR);
  HBRUSH track = CreateSolidBrush(GetSysColor(COLOR_3DLIGHT));
  FillRect(dc, &rc, bg ? bg : track);
  Geometry g = Measure(hwnd, *s, s->held == Part::Thumb ? s->trackPos : s->pos);
  auto span = [&](int a, int b) { return v ? RECT{0, a, rc.right, b} : RECT{a, 0, b, rc.bottom}; };
  if (s->held == Part::PageBack && s->inside) {
    RECT r = span(g.trackStart, g.thumbStart);
    HBRUSH dark = CreateSolidBrush(GetSysColor(COLOR_3DDKSHADOW));
    FillRect(dc, &r, dark);
    DeleteObject(dark);
  }
  if (s->held == Part::PageForward && s->inside) {
    RECT r = span(g.thumbStart + g.thumbSize, g.trackEnd);
    HBRUSH dark = CreateSolidBrush(GetSysColor(COLOR_3DDKSHADOW));
    FillRect(dc, &r, dark);
    DeleteObject(dark);
  }
  DeleteObject(track);
  DrawArrow(dc, span(0, g.arrow), v ? 0 : 2, s->held == Part::ArrowBack && s->inside, enabled);
  DrawArrow(dc, span(g.trackEnd, g.length), v ? 1 : 3, s->held == Part::ArrowForward && s->inside, enabled);
  if (enabled && g.thumbSize > 0 && s->max > s->min) {
    RECT thumb = span(g.thumbStart, g.thumbStart + g.thumbSize);
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_3DFACE));
    FillRect(dc, &thumb, face);
    DeleteObject(face);
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
  }
}

int Clamp(const BarState& s, int pos) {
  const int top = s.max - std::max(static_cast<int>(s.page) - 1, 0);
  return std::clamp(pos, s.min, std::max(s.min, top));
}

}  // namespace

LRESULT CALLBACK ScrollBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  BarState* s = StateOf<BarState>(hwnd);
  if (!s) return DefWindowProc(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_CREATE: {
      const DWORD style = StyleOf(hwnd);
      if ((style & SBS_VERT) && (style & SBS_RIGHTALIGN)) {
        RECT r;
        GetWindowRect(hwnd, &r);
        POINT p{r.right - kBarSize, r.top};
        ScreenToClient(GetParent(hwnd), &p);
        MoveWindow(hwnd, p.x, p.y, kBarSize, r.bottom - r.top, FALSE);
      } else if (!(style & SBS_VERT) && (style & SBS_BOTTOMALIGN)) {
        RECT r;
        GetWindowRect(hwnd, &r);
        POINT p{r.left, r.bottom - kBarSize};
        ScreenToClient(GetParent(hwnd), &p);
        MoveWindow(hwnd, p.x, p.y, r.right - r.left, kBarSize, FALSE);
      }
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
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      Part part = HitPart(hwnd, *s, p);
      if (part == Part::None || s->max <= s->min) return 0;
      if ((GetWindowLong(hwnd, GWL_STYLE) & WS_TABSTOP) && GetFocus() != hwnd) SetFocus(hwnd);
      SetCapture(hwnd);
      s->held = part;
      s->inside = true;
      if (part == Part::Thumb) {
        Geometry g = Measure(hwnd, *s, s->pos);
        s->grabOffset = (Vertical(hwnd) ? p.y : p.x) - g.thumbStart;
        s->trackPos = s->pos;
      } else {
        Report(hwnd, s, CodeOf(part));
        SetTimer(hwnd, kRepeatTimer, kRepeatDelayMs, nullptr);
      }
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_MOUSEMOVE: {
      if (s->held == Part::None || GetCapture() != hwnd) return 0;
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (s->held == Part::Thumb) {
        const int pos = PosFromThumb(hwnd, *s, (Vertical(hwnd) ? p.y : p.x) - s->grabOffset);
        if (pos != s->trackPos) {
          s->trackPos = pos;
          Report(hwnd, s, SB_THUMBTRACK, pos);
          InvalidateRect(hwnd, nullptr, FALSE);
        }
      } else {
        const bool inside = HitPart(hwnd, *s, p) == s->held;
        if (inside != s->inside) {
          s->inside = inside;
          InvalidateRect(hwnd, nullptr, FALSE);
        }
      }
      return 0;
    }
    case WM_TIMER:
      if (wParam == kRepeatTimer) {
        SetTimer(hwnd, kRepeatTimer, kRepeatMs, nullptr);
        if (s->inside && s->held != Part::None && s->held != Part::Thumb) {
          // The track repeats only while the thumb has not reached the pointer.
          POINT p;
          GetCursorPos(&p);
          ScreenToClient(hwnd, &p);
          if (HitPart(hwnd, *s, p) == s->held) Report(hwnd, s, CodeOf(s->held));
        }
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CANCELMODE: {
      if (s->held == Part::None) return msg == WM_CANCELMODE ? DefWindowProc(hwnd, msg, wParam, lParam) : 0;
      const Part held = s->held;
      s->held = Part::None;
      KillTimer(hwnd, kRepeatTimer);
      if (GetCapture() == hwnd) ReleaseCapture();
      if (held == Part::Thumb) Report(hwnd, s, SB_THUMBPOSITION, s->trackPos);
      Report(hwnd, s, SB_ENDSCROLL);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_KEYDOWN: {
      const bool v = Vertical(hwnd);
      switch (wParam) {
        case VK_UP: if (v) Report(hwnd, s, SB_LINEUP); break;
        case VK_DOWN: if (v) Report(hwnd, s, SB_LINEDOWN); break;
        case VK_LEFT: if (!v) Report(hwnd, s, SB_LINELEFT); break;
        case VK_RIGHT: if (!v) Report(hwnd, s, SB_LINERIGHT); break;
        case VK_PRIOR: Report(hwnd, s, SB_PAGEUP); break;
        case VK_NEXT: Report(hwnd, s, SB_PAGEDOWN); break;
        case VK_HOME: Report(hwnd, s, SB_TOP); break;
        case VK_END: Report(hwnd, s, SB_BOTTOM); break;
        default: return 0;
      }
      return 0;
    }
    case WM_KEYUP:
      if (wParam == VK_UP || wParam == VK_DOWN || wParam == VK_LEFT || wParam == VK_RIGHT || wParam == VK_PRIOR ||
          wParam == VK_NEXT || wParam == VK_HOME || wParam == VK_END) {
        Report(hwnd, s, SB_ENDSCROLL);
      }
      return 0;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case SBM_SETPOS: {
      const int old = s->pos;
      s->pos = Clamp(*s, static_cast<int>(wParam));
      if (lParam && old != s->pos) InvalidateRect(hwnd, nullptr, FALSE);
      return old;
    }
    case SBM_GETPOS: return s->pos;
    case SBM_SETRANGE:
      s->min = static_cast<int>(wParam);
      s->max = static_cast<int>(lParam);
      s->pos = Clamp(*s, s->pos);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case SBM_GETRANGE:
      if (wParam) *reinterpret_cast<int*>(wParam) = s->min;
      if (lParam) *reinterpret_cast<int*>(lParam) = s->max;
      return 0;
    case SBM_SETSCROLLINFO: {
      auto* si = reinterpret_cast<LPCSCROLLINFO>(lParam);
      if (!si) return s->pos;
      if (si->fMask & SIF_RANGE) {
        s->min = si->nMin;
        s->max = si->nMax;
      }
      if (si->fMask & SIF_PAGE) s->page = std::min<UINT>(si->nPage, static_cast<UINT>(std::max(s->max - s->min + 1, 0)));
      if (si->fMask & SIF_POS) s->pos = si->nPos;
      s->pos = Clamp(*s, s->pos);
      if (wParam) InvalidateRect(hwnd, nullptr, FALSE);
      return s->pos;
    }
    case SBM_GETSCROLLINFO: {
      auto* si = reinterpret_cast<LPSCROLLINFO>(lParam);
      if (!si) return FALSE;
      if (si->fMask & SIF_RANGE) {
        si->nMin = s->min;
        si->nMax = s->max;
      }
      if (si->fMask & SIF_PAGE) si->nPage = s->page;
      if (si->fMask & SIF_POS) si->nPos = s->pos;
      if (si->fMask & SIF_TRACKPOS) si->nTrackPos = s->held == Part::Thumb ? s->trackPos : s->pos;
      return TRUE;
    }
    case WM_USER + 0x5B: s->windowBar = true; return 0;  // marks a window's own bar
    case WM_NCDESTROY: DropState(hwnd); return 0;
    default: return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

// ------------------------------------------------------------------------------------------------
// Window scroll bars

namespace {
struct WindowBars {
  HWND bar[2] = {0, 0};  // SB_HORZ, SB_VERT
};
std::mutex gBarsMu;
std::map<HWND, WindowBars>& Bars() {
  static auto* bars = new std::map<HWND, WindowBars>();
  return *bars;
}

// Places the shown bars along the right and bottom edges of the window's full rectangle.
void PlaceBars(HWND hwnd) {
  HWND v = WindowBar(hwnd, SB_VERT, false), h = WindowBar(hwnd, SB_HORZ, false);
  RECT full;
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w) return;
    full = RECT{0, 0, w->Width(), w->Height()};
  }
  const bool vs = v && (StyleOf(v) & WS_VISIBLE);
  const bool hs = h && (StyleOf(h) & WS_VISIBLE);
  if (v) MoveWindow(v, full.right - kBarSize, 0, kBarSize, full.bottom - (hs ? kBarSize : 0), TRUE);
  if (h) MoveWindow(h, 0, full.bottom - kBarSize, full.right - (vs ? kBarSize : 0), kBarSize, TRUE);
}
}  // namespace

HWND WindowBar(HWND hwnd, int bar, bool create) {
  if (bar != SB_VERT && bar != SB_HORZ) return 0;
  HWND existing = 0;
  {
    std::lock_guard<std::mutex> lock(gBarsMu);
    auto it = Bars().find(hwnd);
    if (it != Bars().end()) existing = it->second.bar[bar];
  }
  if (existing && IsWindow(existing)) return existing;
  if (!create || !IsWindow(hwnd)) return 0;
  const bool shown = (StyleOf(hwnd) & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)) != 0;
  HWND b = CreateWindowEx(0, WC_SCROLLBAR, "", WS_CHILD | (shown ? WS_VISIBLE : 0) | (bar == SB_VERT ? SBS_VERT : SBS_HORZ),
                          0, 0, kBarSize, kBarSize, hwnd, 0, 0, nullptr);
  if (!b) return 0;
  SendMessage(b, WM_USER + 0x5B, 0, 0);
  {
    std::lock_guard<std::mutex> lock(gBarsMu);
    Bars()[hwnd].bar[bar] = b;
  }
  PlaceBars(hwnd);
  return b;
}

bool IsScrollBarClass(LPCSTR className) {
  // A scroll bar is its own bar; a combo box's WS_VSCROLL is its list's.
  return className && !IS_INTRESOURCE(className) &&
         (strcasecmp(className, WC_SCROLLBAR) == 0 || strcasecmp(className, WC_COMBOBOX) == 0);
}

bool IsWindowBar(HWND bar) {
  std::lock_guard<std::mutex> lock(gBarsMu);
  for (const auto& [owner, bars] : Bars()) {
    if (bars.bar[0] == bar || bars.bar[1] == bar) return true;
  }
  return false;
}

// The client rectangle without the shown window bars.
void TrimClientRect(HWND hwnd, RECT* rect) {
  std::lock_guard<std::mutex> lock(gBarsMu);
  auto it = Bars().find(hwnd);
  if (it == Bars().end()) return;
  HWND v = it->second.bar[SB_VERT], h = it->second.bar[SB_HORZ];
  auto shown = [](HWND b) {
    auto w = Get(b);
    return w && (w->style & WS_VISIBLE);
  };
  if (shown(v)) rect->right = std::max(rect->left, rect->right - kBarSize);
  if (shown(h)) rect->bottom = std::max(rect->top, rect->bottom - kBarSize);
}

void ForgetWindowBars(HWND hwnd) {
  std::lock_guard<std::mutex> lock(gBarsMu);
  Bars().erase(hwnd);
}

void WindowBarsResized(HWND hwnd) {
  bool has;
  {
    std::lock_guard<std::mutex> lock(gBarsMu);
    has = Bars().count(hwnd) != 0;
  }
  if (has) PlaceBars(hwnd);
}

}  // namespace kvp::win::controls

using namespace kvp::win;
using namespace kvp::win::controls;

namespace {
HWND BarFor(HWND hwnd, int bar) {
  if (bar == SB_CTL) return hwnd;
  const DWORD style = StyleOf(hwnd);
  const bool declared = (style & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)) != 0;
  return WindowBar(hwnd, bar, declared);
}
}  // namespace

extern "C" {

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
  if (bar == SB_CTL) return ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE), TRUE;
  for (int b : {SB_HORZ, SB_VERT}) {
    if (bar != b && bar != SB_BOTH) continue;
    HWND h = WindowBar(hwnd, b, true);
    if (!h) return FALSE;
    const DWORD flag = b == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
    const DWORD style = StyleOf(hwnd);
    SetWindowLong(hwnd, GWL_STYLE, static_cast<LONG>(show ? style | flag : style & ~flag));
    ShowWindow(h, show ? SW_SHOWNA : SW_HIDE);
  }
  WindowBarsResized(hwnd);
  RECT rc;
  GetClientRect(hwnd, &rc);
  SendMessage(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rc.right, rc.bottom));
  return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
  HWND b = BarFor(hwnd, bar);
  return b ? static_cast<int>(SendMessage(b, SBM_SETPOS, static_cast<WPARAM>(pos), redraw)) : 0;
}

int GetScrollPos(HWND hwnd, int bar) {
  HWND b = BarFor(hwnd, bar);
  return b ? static_cast<int>(SendMessage(b, SBM_GETPOS, 0, 0)) : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw) {
  HWND b = BarFor(hwnd, bar);
  if (!b) return FALSE;
  SCROLLINFO si{sizeof si, SIF_RANGE, minPos, maxPos, 0, 0, 0};
  SendMessage(b, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(&si));
  return TRUE;
}

BOOL GetScrollRange(HWND hwnd, int bar, LPINT minPos, LPINT maxPos) {
  HWND b = BarFor(hwnd, bar);
  if (!b) return FALSE;
  SendMessage(b, SBM_GETRANGE, reinterpret_cast<WPARAM>(minPos), reinterpret_cast<LPARAM>(maxPos));
  return TRUE;
}

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL redraw) {
  HWND b = BarFor(hwnd, bar);
  if (!b || !info) return 0;
  return static_cast<int>(SendMessage(b, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info)));
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info) {
  HWND b = BarFor(hwnd, bar);
  if (!b || !info) return FALSE;
  return static_cast<BOOL>(SendMessage(b, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)));
}

}  // extern "C"
