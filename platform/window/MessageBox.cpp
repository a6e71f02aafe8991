// Message boxes: a small modal window with an icon, the text and one or two buttons, shown by the
// GUI thread whichever thread asks for it. Every box is logged; a responder (tests) may answer it.
#include "window/WindowSystem.h"

#include <platform/gdi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kvp::win {

HWND FirstTabStop(HWND dialog);

namespace {

constexpr UINT kMsgAnswer = WM_USER + 0x7F0;  // ends the box with exactly wParam
constexpr const char* kBoxClass = "KvMessageBox";
constexpr const char* kButtonClass = "KvMessageBoxButton";
constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;

struct BoxState {
  UINT type = 0;
  std::string text;
  bool ended = false;
  int result = 0;
  RECT textRect{};
};

struct ButtonSpec {
  int id;
  const char* label;
};

std::vector<ButtonSpec> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_YESNO: return {{IDYES, "&Yes"}, {IDNO, "&No"}};
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_YESNOCANCEL: return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
    default: return {{IDOK, "OK"}};
  }
}

int DefaultAnswer(UINT type) {
  auto buttons = ButtonsOf(type);
  size_t index = (type & MB_DEFBUTTON2) ? 1 : 0;
  return buttons[std::min(index, buttons.size() - 1)].id;
}

// Escape and the close box: the cancel button when there is one; a box with only OK answers OK.
int CancelAnswer(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_YESNO: return 0;
    default: return IDCANCEL;
  }
}

HFONT BoxFont() {
  static HFONT font = CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
  return font;
}

BoxState* StateOf(HWND hwnd) { return reinterpret_cast<BoxState*>(GetWindowLongPtr(hwnd, GWLP_USERDATA)); }

void End(HWND box, int result) {
  BoxState* s = StateOf(box);
  if (!s || s->ended || !result) return;
  s->ended = true;
  s->result = result;
  PostMessage(box, WM_NULL, 0, 0);
}

void DrawIconGlyph(HDC dc, UINT type, int x, int y) {
  UINT icon = type & MB_ICONMASK;
  if (!icon) return;
  COLORREF fill = icon == MB_ICONERROR ? RGB(200, 30, 30) : icon == MB_ICONEXCLAMATION ? RGB(240, 190, 20)
                                                                                       : RGB(40, 90, 200);
  const char* glyph = icon == MB_ICONERROR ? "X" : icon == MB_ICONEXCLAMATION ? "!" : icon == MB_ICONQUESTION ? "?" : "i";
  HBRUSH brush = CreateSolidBrush(fill);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  if (icon == MB_ICONEXCLAMATION) {
    POINT tri[3] = {{x + kIconSize / 2, y}, {x + kIconSize, y + kIconSize}, {x, y + kIconSize}};
    Polygon(dc, tri, 3);
  } else {
    Ellipse(dc, x, y, x + kIconSize, y + kIconSize);
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(brush);
  HFONT bold = CreateFont(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  HGDIOBJ oldFont = SelectObject(dc, bold);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, icon == MB_ICONEXCLAMATION ? RGB(0, 0, 0) : RGB(255, 255, 255));
  RECT r{x, y + 4, x + kIconSize, y + kIconSize};
  DrawText(dc, glyph, 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, oldFont);
  DeleteObject(bold);
}

LRESULT CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
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
      if (BoxState* s = StateOf(hwnd)) {
        DrawIconGlyph(dc, s->type, kMargin, kMargin);
        HGDIOBJ old = SelectObject(dc, BoxFont());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        RECT tr = s->textRect;
        DrawText(dc, s->text.c_str(), -1, &tr, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_COMMAND: {
      BoxState* s = StateOf(hwnd);
      if (!s) return 0;
      int id = LOWORD(wParam);
      if (id == IDOK && (s->type & MB_TYPEMASK) != MB_OK && (s->type & MB_TYPEMASK) != MB_OKCANCEL) {
        id = DefaultAnswer(s->type);  // Enter presses the default button
      } else if (id == IDCANCEL) {
        id = CancelAnswer(s->type);
      }
      End(hwnd, id);
      return 0;
    }
    case kMsgAnswer: End(hwnd, static_cast<int>(wParam)); return 0;
    default: return DefDlgProc(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_GETDLGCODE: return DLGC_BUTTON;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      bool pressed = GetCapture() == hwnd && GetWindowLongPtr(hwnd, GWLP_USERDATA);
      HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_3DFACE));
      FillRect(dc, &rc, face);
      DeleteObject(face);
      RECT edge = rc;
      DrawEdge(dc, &edge, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
      char label[32];
      GetWindowText(hwnd, label, sizeof label);
      HGDIOBJ old = SelectObject(dc, BoxFont());
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(0, 0, 0));
      // The labels carry no mnemonic marks on screen.
      std::string text;
      for (const char* p = label; *p; ++p) {
        if (*p != '&') text += *p;
      }
      DrawText(dc, text.c_str(), -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      SelectObject(dc, old);
      if (GetFocus() == hwnd) {
        RECT focus{rc.left + 4, rc.top + 4, rc.right - 4, rc.bottom - 4};
        DrawFocusRect(dc, &focus);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      SetCapture(hwnd);
      SetWindowLongPtr(hwnd, GWLP_USERDATA, 1);
      SetFocus(hwnd);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP: {
      bool wasPressed = GetWindowLongPtr(hwnd, GWLP_USERDATA) != 0;
      SetWindowLongPtr(hwnd, GWLP_USERDATA, 0);
      if (GetCapture() == hwnd) ReleaseCapture();
      InvalidateRect(hwnd, nullptr, FALSE);
      RECT rc;
      GetClientRect(hwnd, &rc);
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (wasPressed && CRect(rc).PtInRect(p)) {
        SendMessage(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), 0), static_cast<LPARAM>(hwnd));
      }
      return 0;
    }
    case WM_CANCELMODE:
      SetWindowLongPtr(hwnd, GWLP_USERDATA, 0);
      InvalidateRect(hwnd, nullptr, FALSE);
      return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) {
        SendMessage(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), 0), static_cast<LPARAM>(hwnd));
      }
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    default: return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

void RegisterBoxClasses() {
  WNDCLASS wc{};
  if (!GetClassInfo(0, kBoxClass, &wc)) {
    wc = WNDCLASS{};
    wc.lpfnWndProc = BoxProc;
    wc.lpszClassName = kBoxClass;
    RegisterClass(&wc);
  }
  if (!GetClassInfo(0, kButtonClass, &wc)) {
    wc = WNDCLASS{};
    wc.lpfnWndProc = ButtonProc;
    wc.lpszClassName = kButtonClass;
    RegisterClass(&wc);
  }
}

// The text's size in the box font, limited to a readable width.
SIZE MeasureText(const std::string& text) {
  HDC dc = CreateCompatibleDC(0);
  HGDIOBJ old = SelectObject(dc, BoxFont());
  RECT r{0, 0, 420, 0};
  DrawText(dc, text.c_str(), -1, &r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
  SelectObject(dc, old);
  DeleteDC(dc);
  return SIZE{std::max<LONG>(r.right - r.left, 0), std::max<LONG>(r.bottom - r.top, 12)};
}

void SetLogged(size_t index, HWND box, int result) {
  Lock lock(Sys().mu);
  if (index >= Sys().boxes.size()) return;
  Sys().boxes[index].box = box;
  if (result) Sys().boxes[index].result = result;
}

}  // namespace

int ShowMessageBoxOnGui(HWND owner, const std::string& text, const std::string& caption, UINT type,
                        DWORD callerThread) {
  size_t index;
  {
    Lock lock(Sys().mu);
    MessageBoxCall call;
    call.owner = owner;
    call.text = text;
    call.caption = caption;
    call.type = type;
    call.callerThreadId = callerThread;
    call.shownOnThreadId = ThreadId();
    Sys().boxes.push_back(call);
    index = Sys().boxes.size() - 1;
  }
  RegisterBoxClasses();
  HWND ownerTop = owner ? TopLevelOf(owner) : 0;
  bool reenable = BeginModal(ownerTop);

  BoxState state;
  state.type = type;
  state.text = text;
  SIZE textSize = MeasureText(text);
  auto buttons = ButtonsOf(type);
  int textLeft = kMargin + ((type & MB_ICONMASK) ? kIconSize + kMargin : 0);
  int buttonsWidth = static_cast<int>(buttons.size()) * kButtonWidth + (static_cast<int>(buttons.size()) - 1) * 8;
  int width = std::max(textLeft + static_cast<int>(textSize.cx) + kMargin, buttonsWidth + 2 * kMargin);
  width = std::max(width, 200);
  int contentHeight = std::max<int>(textSize.cy, (type & MB_ICONMASK) ? kIconSize : 0);
  int height = kMargin + contentHeight + kMargin + kButtonHeight + kMargin;
  state.textRect = RECT{textLeft, kMargin, textLeft + textSize.cx, kMargin + textSize.cy};

  RECT area;
  if (ownerTop) {
    GetWindowRect(ownerTop, &area);
  } else {
    area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  DWORD exStyle = WS_EX_DLGMODALFRAME | ((type & MB_TOPMOST) ? WS_EX_TOPMOST : 0);
  HWND box = CreateWindowEx(exStyle, kBoxClass, caption.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y, width,
                            height, ownerTop, 0, 0, nullptr);
  int result = DefaultAnswer(type);
  if (box) {
    SetWindowLongPtr(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    int bx = (width - buttonsWidth) / 2;
    int defaultId = DefaultAnswer(type);
    HWND focus = 0;
    for (const ButtonSpec& b : buttons) {
      HWND button = CreateWindowEx(0, kButtonClass, b.label, WS_CHILD | WS_VISIBLE | WS_TABSTOP, bx,
                                   height - kMargin - kButtonHeight, kButtonWidth, kButtonHeight, box,
                                   static_cast<HMENU>(b.id), 0, nullptr);
      if (b.id == defaultId) focus = button;
      bx += kButtonWidth + 8;
    }
    SetLogged(index, box, 0);
    ShowWindow(box, SW_SHOW);
    if (focus) SetFocus(focus);
    PostLoopCall(ThreadId(), [box, index] {
      MessageBoxResponder responder;
      MessageBoxCall call;
      bool headless;
      {
        Lock lock(Sys().mu);
        responder = Sys().responder;
        if (index < Sys().boxes.size()) call = Sys().boxes[index];
        headless = !Sys().backend || Sys().backend->Headless();
      }
      if (!IsWindow(box)) return;
      int answer = 0;
      if (responder) {
        answer = responder(call);
      } else if (headless) {
        answer = DefaultAnswer(call.type);
      }
      if (answer && IsWindow(box)) PostMessage(box, kMsgAnswer, static_cast<WPARAM>(answer), 0);
    });
    const ModalEnd end = RunModalLoop(box, [&] { return state.ended || !IsWindow(box); });
    if (state.ended) {
      result = state.result;
    } else if (end == ModalEnd::QuitRequest) {
      result = IDCANCEL;
    }
  }
  EndModal(ownerTop, reenable);
  if (box && IsWindow(box)) {
    SetWindowLongPtr(box, GWLP_USERDATA, 0);
    DestroyWindow(box);
  }
  if (ownerTop && IsWindow(ownerTop)) SetActiveWindow(ownerTop);
  SetLogged(index, 0, result);
  return result;
}

}  // namespace kvp::win

using namespace kvp::win;

namespace {

const char* AnswerName(int answer) {
  switch (answer) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return "none";
  }
}

// With KV_MESSAGEBOX_LOG set, one line per answered box is appended to that file: caption, text
// and answer, separated by tabs, with backslash, tab and line breaks of the texts escaped.
void AppendToBoxLogFile(const std::string& caption, const std::string& text, int answer) {
  const char* path = std::getenv("KV_MESSAGEBOX_LOG");
  if (!path || !*path) return;
  auto escaped = [](const std::string& in) {
    std::string out;
    for (char ch : in) {
      switch (ch) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += ch; break;
      }
    }
    return out;
  };
  const std::string line = escaped(caption) + "\t" + escaped(text) + "\t" + AnswerName(answer) + "\n";
  if (std::FILE* file = std::fopen(path, "a")) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
  }
}

}  // namespace

extern "C" {

int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  std::string t = text ? text : "";
  std::string c = caption ? caption : "Error";
  DWORD caller = ThreadId();
  DWORD gui;
  {
    Lock lock(Sys().mu);
    gui = Sys().guiThread;
    if (!gui) {
      // No display: the box is logged and answered with its default button.
      kvp::MessageBoxCall call;
      call.owner = owner;
      call.text = t;
      call.caption = c;
      call.type = type;
      call.callerThreadId = caller;
      call.result = DefaultAnswer(type);
      Sys().boxes.push_back(call);
      std::fprintf(stderr, "[%s] %s\n", c.c_str(), t.c_str());
      AppendToBoxLogFile(c, t, call.result);
      return call.result;
    }
  }
  // A worker's box is shown by the GUI thread while the worker waits for the answer.
  const int answer = static_cast<int>(
      CallOnGuiThread([=] { return static_cast<LRESULT>(ShowMessageBoxOnGui(owner, t, c, type, caller)); }));
  AppendToBoxLogFile(c, t, answer);
  return answer;
}

BOOL MessageBeep(UINT) { return TRUE; }

}  // extern "C"

namespace kvp {

void SetMessageBoxResponder(MessageBoxResponder responder) {
  Lock lock(win::Sys().mu);
  win::Sys().responder = std::move(responder);
}

bool AnswerMessageBox(HWND box, int result) {
  {
    Lock lock(win::Sys().mu);
    bool open = false;
    for (const auto& call : win::Sys().boxes) open = open || (call.box == box && box != 0);
    if (!open) return false;
  }
  return PostMessage(box, win::kMsgAnswer, static_cast<WPARAM>(result), 0) != 0;
}

std::vector<MessageBoxCall> MessageBoxLog() {
  Lock lock(win::Sys().mu);
  return win::Sys().boxes;
}

}  // namespace kvp
