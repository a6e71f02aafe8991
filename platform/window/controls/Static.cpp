// "Static" (texts, icons, etched lines and frames) and the progress bar.
#include "window/controls/ControlKit.h"

#include <algorithm>

namespace kvp::win::controls {

namespace {

struct StaticState {
  HFONT font = 0;
  HICON icon = 0;
};

struct ProgressState {
  int low = 0;
  int high = 100;
  int pos = 0;
  int step = 10;
};

void PaintStatic(HWND hwnd, HDC dc) {
  StaticState* s = StateOf<StaticState>(hwnd);
  const DWORD style = StyleOf(hwnd);
  const DWORD type = style & SS_TYPEMASK;
  RECT rc;
  GetClientRect(hwnd, &rc);
  HGDIOBJ oldFont = SelectObject(dc, FontOf(s->font));
  HBRUSH bg = ControlColors(hwnd, dc, WM_CTLCOLORSTATIC);
  switch (type) {
    case SS_ETCHEDHORZ: {
      RECT line{rc.left, rc.top, rc.right, rc.top + 2};
      DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP | BF_BOTTOM);
      break;
    }
    case SS_ETCHEDVERT: {
      RECT line{rc.left, rc.top, rc.left + 2, rc.bottom};
      DrawEdge(dc, &line, EDGE_ETCHED, BF_LEFT | BF_RIGHT);
      break;
    }
    case SS_ETCHEDFRAME: {
      RECT frame = rc;
      DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
      break;
    }
    case SS_BLACKRECT:
    case SS_GRAYRECT:
    case SS_WHITERECT: {
      const int index = type == SS_BLACKRECT ? COLOR_WINDOWFRAME : type == SS_GRAYRECT ? COLOR_3DSHADOW : COLOR_WINDOW;
      HBRUSH b = CreateSolidBrush(GetSysColor(index));
      FillRect(dc, &rc, b);
      DeleteObject(b);
      break;
    }
    case SS_ICON:
      if (bg) FillRect(dc, &rc, bg);
      if (s->icon) DrawIcon(dc, 0, 0, s->icon);
      break;
    case SS_OWNERDRAW: {
      DRAWITEMSTRUCT dis{};
      dis.CtlType = 3;  // ODT_STATIC
      dis.CtlID = static_cast<UINT>(IdOf(hwnd));
      dis.itemAction = ODA_DRAWENTIRE;
      dis.hwndItem = hwnd;
      dis.hDC = dc;
      dis.rcItem = rc;
      SendMessage(GetParent(hwnd), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
      break;
    }
    default: {
      if (bg) FillRect(dc, &rc, bg);
      std::string text = TextOf(hwnd);
      if (!(style & SS_NOPREFIX)) text = StripMnemonics(text);
      UINT format = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
      format |= type == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK;
      if (style & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
      if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
      SetBkMode(dc, TRANSPARENT);
      DrawText(dc, text.c_str(), -1, &rc, format | DT_NOPREFIX);
      break;
    }
  }
  if (style & SS_SUNKEN) {
    RECT e = rc;
    DrawEdge(dc, &e, BDR_SUNKENOUTER, BF_RECT);
  }
  SelectObject(dc, oldFont);
}

}  // namespace

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  StaticState* s = StateOf<StaticState>(hwnd);
  if (!s) return DefWindowProc(hwnd, msg, wParam, lParam);
  LRESULT result = 0;
  if (HandleFont(s->font, hwnd, msg, wParam, lParam, &result)) return result;
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      PaintStatic(hwnd, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProc(hwnd, msg, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return r;
    }
    case STM_SETICON: {
      HICON old = s->icon;
      s->icon = static_cast<HICON>(wParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return static_cast<LRESULT>(old);
    }
    case STM_GETICON: return static_cast<LRESULT>(s->icon);
    case WM_LBUTTONDOWN:
      if (StyleOf(hwnd) & SS_NOTIFY) Notify(hwnd, 0);  // STN_CLICKED
      return 0;
    case WM_NCDESTROY: DropState(hwnd); return 0;
    default: return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ProgressState* s = StateOf<ProgressState>(hwnd);
  if (!s) return DefWindowProc(hwnd, msg, wParam, lParam);
  auto setPos = [&](int pos) {
    int old = s->pos;
    s->pos = std::clamp(pos, std::min(s->low, s->high), std::max(s->low, s->high));
    if (old != s->pos) InvalidateRect(hwnd, nullptr, FALSE);
    return static_cast<LRESULT>(old);
  };
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_3DFACE));
      FillRect(dc, &rc, face);
      DeleteObject(face);
      RECT edge = rc;
      DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
      RECT inner{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
      const int span = s->high - s->low;
      const int width = inner.right - inner.left;
      const int fill = span > 0 ? static_cast<int>(static_cast<long long>(s->pos - s->low) * width / span) : 0;
      RECT bar{inner.left, inner.top, inner.left + fill, inner.bottom};
      HBRUSH b = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
      if (StyleOf(hwnd) & PBS_SMOOTH) {
        FillRect(dc, &bar, b);
      } else {
        // Blocks of two thirds of the bar's height with a 2-pixel gap, cut at the fill.
        const int block = std::max<int>((inner.bottom - inner.top) * 2 / 3, 2);
        for (int x = inner.left; x < bar.right; x += block + 2) {
          RECT piece{x, inner.top, std::min<LONG>(x + block, bar.right), inner.bottom};
          FillRect(dc, &piece, b);
        }
      }
      DeleteObject(b);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case PBM_SETRANGE: {
      LRESULT old = MAKELRESULT(s->low, s->high);
      s->low = LOWORD(lParam);
      s->high = HIWORD(lParam);
      setPos(s->pos);
      InvalidateRect(hwnd, nullptr, FALSE);
      return old;
    }
    case PBM_SETRANGE32: {
      LRESULT old = MAKELRESULT(s->low, s->high);
      s->low = static_cast<int>(wParam);
      s->high = static_cast<int>(lParam);
      setPos(s->pos);
      InvalidateRect(hwnd, nullptr, FALSE);
      return old;
    }
    case PBM_GETRANGE: return wParam ? s->low : s->high;
    case PBM_SETPOS: return setPos(static_cast<int>(wParam));
    case PBM_GETPOS: return s->pos;
    case PBM_DELTAPOS: return setPos(s->pos + static_cast<int>(wParam));
    case PBM_SETSTEP: {
      int old = s->step;
      s->step = static_cast<int>(wParam);
      return old;
    }
    case PBM_STEPIT: {
      // Stepping past the end wraps round to the start.
      int next = s->pos + s->step;
      if (next > s->high) next = s->low + (next - s->high);
      if (next < s->low) next = s->high - (s->low - next);
      return setPos(next);
    }
    case WM_NCDESTROY: DropState(hwnd); return 0;
    default: return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

}  // namespace kvp::win::controls
