// The standard control classes' registration and the helpers they share; the dialog-item helper
// functions (CheckDlgButton, SetDlgItemText, ...).
#include "window/controls/ControlKit.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kvp::win {

std::string ClassKey(LPCSTR name);

void RegisterStandardControls(std::map<std::string, std::shared_ptr<WindowClass>>& classes) {
  struct Builtin {
    const char* name;
    WNDPROC proc;
    UINT style;
  };
  const Builtin builtins[] = {
      {WC_BUTTON, controls::ButtonProc, CS_DBLCLKS | CS_PARENTDC},
      {WC_STATIC, controls::StaticProc, CS_PARENTDC},
      {WC_EDIT, controls::EditProc, CS_DBLCLKS | CS_PARENTDC},
      {WC_SCROLLBAR, controls::ScrollBarProc, CS_DBLCLKS | CS_PARENTDC},
      {WC_LISTBOX, controls::ListBoxProc, CS_DBLCLKS | CS_PARENTDC},
      {WC_COMBOBOX, controls::ComboBoxProc, CS_DBLCLKS | CS_PARENTDC},
      {controls::kComboListClass, controls::ComboListProc, CS_DBLCLKS | CS_SAVEBITS},
      {PROGRESS_CLASS, controls::ProgressProc, 0},
      {controls::kToolTipClass, controls::ToolTipProc, CS_SAVEBITS},
  };
  for (const Builtin& b : builtins) {
    auto cls = std::make_shared<WindowClass>();
    cls->name = b.name;
    cls->wc.style = b.style;
    cls->wc.lpfnWndProc = b.proc;
    cls->builtIn = true;
    classes[ClassKey(b.name)] = cls;
  }
}

namespace controls {

void DropState(HWND hwnd) {
  std::shared_ptr<void> state;
  Lock lock(Sys().mu);
  if (auto w = Get(hwnd)) state = std::move(w->controlState);
}

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLong(hwnd, GWL_STYLE)); }
int IdOf(HWND hwnd) { return GetDlgCtrlID(hwnd); }

void Notify(HWND hwnd, UINT code) {
  HWND parent = GetParent(hwnd);
  if (parent && (StyleOf(hwnd) & WS_CHILD)) {
    SendMessage(parent, WM_COMMAND, MAKEWPARAM(IdOf(hwnd), code), static_cast<LPARAM>(hwnd));
  }
}

HBRUSH ControlColors(HWND hwnd, HDC dc, UINT ctlColorMsg) {
  const bool window = ctlColorMsg == WM_CTLCOLOREDIT || ctlColorMsg == WM_CTLCOLORLISTBOX;
  SetTextColor(dc, GetSysColor(window ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(window ? COLOR_WINDOW : COLOR_3DFACE));
  HWND parent = (StyleOf(hwnd) & WS_CHILD) ? GetParent(hwnd) : 0;
  HBRUSH brush = 0;
  if (parent) brush = static_cast<HBRUSH>(SendMessage(parent, ctlColorMsg, static_cast<WPARAM>(dc), static_cast<LPARAM>(hwnd)));
  if (!brush) brush = static_cast<HBRUSH>(DefWindowProc(hwnd, ctlColorMsg, static_cast<WPARAM>(dc), static_cast<LPARAM>(hwnd)));
  return brush;
}

HFONT DefaultControlFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

HFONT FontOf(HFONT set) { return set ? set : DefaultControlFont(); }

std::string StripMnemonics(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

std::string TextOf(HWND hwnd) {
  int n = GetWindowTextLength(hwnd);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  int got = GetWindowText(hwnd, text.data(), n + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

int LineHeight(HDC dc) {
  TEXTMETRIC tm{};
  GetTextMetrics(dc, &tm);
  return std::max<int>(tm.tmHeight, 1);
}

int TextWidth(HDC dc, const std::string& text) {
  if (text.empty()) return 0;
  SIZE s{};
  GetTextExtentPoint32(dc, text.data(), static_cast<int>(text.size()), &s);
  return s.cx;
}

bool HandleFont(HFONT& font, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (msg == WM_SETFONT) {
    font = static_cast<HFONT>(wParam);
    if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
    *result = 0;
    return true;
  }
  if (msg == WM_GETFONT) {
    *result = static_cast<LRESULT>(font);
    return true;
  }
  return false;
}

}  // namespace controls
}  // namespace kvp::win

using namespace kvp::win;
using namespace kvp::win::controls;

extern "C" {

void InitCommonControls(void) {}
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc) { return icc ? TRUE : FALSE; }

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) return FALSE;
  SendMessage(item, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? static_cast<UINT>(SendMessage(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
  for (int id = firstId; id <= lastId; ++id) {
    if (HWND item = GetDlgItem(dialog, id)) SendMessage(item, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}

BOOL SetDlgItemText(HWND dialog, int id, LPCSTR text) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SetWindowText(item, text) : FALSE;
}

UINT GetDlgItemText(HWND dialog, int id, LPSTR buffer, int size) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) {
    if (buffer && size > 0) buffer[0] = 0;
    return 0;
  }
  return static_cast<UINT>(GetWindowText(item, buffer, size));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  char text[16];
  if (isSigned) {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  } else {
    std::snprintf(text, sizeof text, "%u", value);
  }
  return SetDlgItemText(dialog, id, text);
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
  char text[32] = {};
  GetDlgItemText(dialog, id, text, sizeof text);
  char* end = nullptr;
  const char* p = text;
  while (*p == ' ') ++p;
  long long v = std::strtoll(p, &end, 10);
  bool ok = end != p && (isSigned || v >= 0);
  while (ok && *end == ' ') ++end;
  ok = ok && *end == 0;
  if (translated) *translated = ok;
  return ok ? static_cast<UINT>(v) : 0;
}

LRESULT SendDlgItemMessage(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SendMessage(item, msg, wParam, lParam) : 0;
}

}  // extern "C"
