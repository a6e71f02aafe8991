// The print dialog: a small self-drawn modal window with the printer (a click on the box selects
// the next printer), the orientation as two radio buttons, the number of copies (digits,
// Backspace, Up/Down) and OK/Cancel. Enter is OK, Escape and the close box are Cancel.
#include <platform/gdi.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "print/PrintInternal.h"
#include "window/WindowSystem.h"

namespace kvp::print {
namespace {

constexpr const char* kClass = "KvPrintDialog";

struct DialogState {
  const std::vector<Printer>* printers = nullptr;
  DialogChoice choice;
  std::string copies;  // as typed
  bool ended = false;
  bool ok = false;
};

std::atomic<HWND> gOpen{0};

DialogState* StateOf(HWND hwnd) { return reinterpret_cast<DialogState*>(GetWindowLongPtr(hwnd, GWLP_USERDATA)); }

HFONT DialogFont() {
  static HFONT font = CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
  return font;
}

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

void Label(HDC dc, const char* text, RECT r, UINT format = DT_LEFT | DT_VCENTER | DT_SINGLELINE) {
  DrawText(dc, text, -1, &r, format | DT_NOPREFIX);
}

void Box(HDC dc, RECT r, COLORREF fill) {
  HBRUSH brush = CreateSolidBrush(fill);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
}

void Radio(HDC dc, RECT r, const char* text, bool checked) {
  const int cy = (r.top + r.bottom) / 2;
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  Ellipse(dc, r.left, cy - 6, r.left + 13, cy + 7);
  if (checked) {
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    Ellipse(dc, r.left + 4, cy - 2, r.left + 9, cy + 3);
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  Label(dc, text, RECT{r.left + 20, r.top, r.right, r.bottom});
}

void Button(HDC dc, RECT r, const char* text, bool isDefault) {
  HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_3DFACE));
  FillRect(dc, &r, face);
  DeleteObject(face);
  if (isDefault) {
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, oldBrush);
    r = RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  }
  RECT edge = r;
  DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
  Label(dc, text, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void Paint(HWND hwnd, HDC dc) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_3DFACE));
  FillRect(dc, &rc, face);
  DeleteObject(face);
  DialogState* s = StateOf(hwnd);
  if (!s) return;
  HGDIOBJ oldFont = SelectObject(dc, DialogFont());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  using namespace layout;
  Label(dc, "Printer:", RECT{16, kPrinterBox.top, kPrinterBox.left - 8, kPrinterBox.bottom});
  Box(dc, kPrinterBox, RGB(255, 255, 255));
  const Printer& p = (*s->printers)[s->choice.printer];
  Label(dc, p.name.c_str(), RECT{kPrinterBox.left + 6, kPrinterBox.top, kPrinterBox.right - 24, kPrinterBox.bottom},
        DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  // The drop-down arrow.
  const int ax = kPrinterBox.right - 14;
  const int ay = (kPrinterBox.top + kPrinterBox.bottom) / 2 - 2;
  POINT arrow[3] = {{ax - 5, ay}, {ax + 5, ay}, {ax, ay + 5}};
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
  Polygon(dc, arrow, 3);
  SelectObject(dc, oldBrush);
  Label(dc, "Orientation", RECT{16, 50, 170, 68});
  Radio(dc, kPortrait, "Portrait", s->choice.orientation != DMORIENT_LANDSCAPE);
  Radio(dc, kLandscape, "Landscape", s->choice.orientation == DMORIENT_LANDSCAPE);
  Label(dc, "Copies:", RECT{kCopiesBox.left - 70, kCopiesBox.top, kCopiesBox.left - 6, kCopiesBox.bottom});
  Box(dc, kCopiesBox, RGB(255, 255, 255));
  Label(dc, s->copies.c_str(), RECT{kCopiesBox.left + 6, kCopiesBox.top, kCopiesBox.right - 4, kCopiesBox.bottom});
  Button(dc, kOk, "OK", true);
  Button(dc, kCancel, "Cancel", false);
  SelectObject(dc, oldFont);
}

void End(HWND hwnd, bool ok) {
  DialogState* s = StateOf(hwnd);
  if (!s || s->ended) return;
  if (ok) {
    int copies = s->copies.empty() ? 1 : std::stoi(s->copies);
    s->choice.copies = std::clamp(copies, 1, 999);
  }
  s->ok = ok;
  s->ended = true;
  PostMessage(hwnd, WM_NULL, 0, 0);
}

void SetCopies(HWND hwnd, DialogState* s, int copies) {
  s->copies = std::to_string(std::clamp(copies, 1, 999));
  InvalidateRect(hwnd, nullptr, FALSE);
}

LRESULT CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  DialogState* s = StateOf(hwnd);
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      Paint(hwnd, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: {
      if (!s) return 0;
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      using namespace layout;
      if (Inside(kPrinterBox, p)) {
        s->choice.printer = (s->choice.printer + 1) % s->printers->size();
      } else if (Inside(kPortrait, p)) {
        s->choice.orientation = DMORIENT_PORTRAIT;
      } else if (Inside(kLandscape, p)) {
        s->choice.orientation = DMORIENT_LANDSCAPE;
      } else if (Inside(kOk, p)) {
        End(hwnd, true);
      } else if (Inside(kCancel, p)) {
        End(hwnd, false);
      }
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_KEYDOWN:
      if (!s) return 0;
      if (wParam == VK_UP) SetCopies(hwnd, s, (s->copies.empty() ? 1 : std::stoi(s->copies)) + 1);
      if (wParam == VK_DOWN) SetCopies(hwnd, s, (s->copies.empty() ? 1 : std::stoi(s->copies)) - 1);
      return 0;
    case WM_CHAR:
      if (!s) return 0;
      if (wParam >= '0' && wParam <= '9' && s->copies.size() < 3) {
        if (s->copies == "0") s->copies.clear();
        s->copies += static_cast<char>(wParam);
      } else if (wParam == VK_BACK && !s->copies.empty()) {
        s->copies.pop_back();
      }
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) End(hwnd, true);
      if (LOWORD(wParam) == IDCANCEL) End(hwnd, false);
      return 0;
    case WM_CLOSE: End(hwnd, false); return 0;
    default: return DefDlgProc(hwnd, msg, wParam, lParam);
  }
}

void RegisterDialogClass() {
  WNDCLASS wc{};
  if (GetClassInfo(0, kClass, &wc)) return;
  wc = WNDCLASS{};
  wc.lpfnWndProc = DialogProc;
  wc.lpszClassName = kClass;
  RegisterClass(&wc);
}

}  // namespace

HWND OpenPrintDialogWindow() { return gOpen.load(); }

bool RunPrintDialog(HWND owner, const std::vector<Printer>& printers, DialogChoice* choice) {
  if (printers.empty()) return false;
  RegisterDialogClass();
  HWND ownerTop = owner ? win::TopLevelOf(owner) : 0;
  const bool reenable = win::BeginModal(ownerTop);

  DialogState state;
  state.printers = &printers;
  state.choice = *choice;
  state.choice.printer = std::min(state.choice.printer, printers.size() - 1);
  state.copies = std::to_string(std::clamp(choice->copies, 1, 999));

  RECT area;
  if (ownerTop) {
    GetWindowRect(ownerTop, &area);
  } else {
    area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  HWND box = CreateWindowEx(WS_EX_DLGMODALFRAME, kClass, "Print", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                            layout::kWidth, layout::kHeight, ownerTop, 0, 0, nullptr);
  if (box) {
    // The client area is the layout's; the frame adds the caption and borders around it.
    RECT client;
    GetClientRect(box, &client);
    const int width = 2 * layout::kWidth - client.right;
    const int height = 2 * layout::kHeight - client.bottom;
    MoveWindow(box, area.left + (area.right - area.left - width) / 2, area.top + (area.bottom - area.top - height) / 2,
               width, height, FALSE);
    SetWindowLongPtr(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    ShowWindow(box, SW_SHOW);
    SetFocus(box);
    gOpen = box;
    win::RunModalLoop(box, [&] { return state.ended || !IsWindow(box); });
    gOpen = 0;
  }
  win::EndModal(ownerTop, reenable);
  if (box && IsWindow(box)) {
    SetWindowLongPtr(box, GWLP_USERDATA, 0);
    DestroyWindow(box);
  }
  if (ownerTop && IsWindow(ownerTop)) SetActiveWindow(ownerTop);
  if (!state.ok) return false;
  *choice = state.choice;
  return true;
}

}  // namespace kvp::print
