// Dialog templates: the per-module table, dialog units, building a dialog and its controls, the
// dialog procedure of template dialogs, the default button and EndDialog.
#include "window/WindowSystem.h"

#include <platform/dialogtemplate.h>
#include <platform/resources.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <strings.h>
#include <vector>

namespace kvp::win {

HWND FirstTabStop(HWND dialog);

namespace {

std::mutex gMu;

std::map<std::pair<HMODULE, int>, const kvp::DialogTemplate*>& Templates() {
  static auto* t = new std::map<std::pair<HMODULE, int>, const kvp::DialogTemplate*>();
  return *t;
}

// What a dialog window carries besides its record.
struct DialogData {
  DLGPROC proc = nullptr;
  LONG_PTR msgResult = 0;
  LONG_PTR user = 0;
  HFONT font = 0;
  int defId = 0;  // 0: none set by DM_SETDEFID
  bool ended = false;
  INT_PTR result = 0;
};

std::map<HWND, DialogData>& Dialogs() {
  static auto* d = new std::map<HWND, DialogData>();
  return *d;
}

int TemplateIdOf(LPCSTR name) {
  if (!name) return -1;
  if (IS_INTRESOURCE(name)) return static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
  if (name[0] == '#') return std::atoi(name + 1);
  return -1;
}

constexpr const char* kDefaultFace = "MS Shell Dlg";
constexpr int kDefaultPoints = 8;

}  // namespace

// Called first by DefDlgProc; true when it answered the message.
bool DialogDefault(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  DLGPROC proc = nullptr;
  {
    std::lock_guard<std::mutex> lock(gMu);
    auto it = Dialogs().find(hwnd);
    if (it != Dialogs().end()) proc = it->second.proc;
  }
  if (proc && msg != WM_NCDESTROY) {
    INT_PTR handled = proc(hwnd, msg, wParam, lParam);
    if (handled) {
      std::lock_guard<std::mutex> lock(gMu);
      auto it = Dialogs().find(hwnd);
      const bool byValue = msg == WM_INITDIALOG || msg == WM_CTLCOLORDLG || msg == WM_CTLCOLORSTATIC ||
                           msg == WM_CTLCOLORBTN || msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX ||
                           msg == WM_CTLCOLORSCROLLBAR || msg == WM_QUERYDRAGICON;
      *result = byValue ? handled : (it != Dialogs().end() ? it->second.msgResult : 0);
      return true;
    }
  }
  switch (msg) {
    case WM_SETFONT: {
      std::lock_guard<std::mutex> lock(gMu);
      Dialogs()[hwnd].font = static_cast<HFONT>(wParam);
      *result = 0;
      return true;
    }
    case WM_GETFONT: {
      std::lock_guard<std::mutex> lock(gMu);
      auto it = Dialogs().find(hwnd);
      *result = it != Dialogs().end() ? static_cast<LRESULT>(it->second.font) : 0;
      return true;
    }
    case DM_SETDEFID: {
      int old;
      {
        std::lock_guard<std::mutex> lock(gMu);
        old = Dialogs()[hwnd].defId;
        Dialogs()[hwnd].defId = static_cast<int>(wParam);
      }
      // The look follows: the old default becomes a plain push button, the new one the default.
      for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const LRESULT code = SendMessage(c, WM_GETDLGCODE, 0, 0);
        const int id = GetDlgCtrlID(c);
        if ((code & DLGC_DEFPUSHBUTTON) && id != static_cast<int>(wParam)) {
          SendMessage(c, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        } else if ((code & DLGC_UNDEFPUSHBUTTON) && id == static_cast<int>(wParam) &&
                   (GetWindowLong(c, GWL_STYLE) & BS_TYPEMASK) == BS_PUSHBUTTON) {
          SendMessage(c, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        }
      }
      (void)old;
      *result = TRUE;
      return true;
    }
    case DM_GETDEFID: {
      int id = 0;
      {
        std::lock_guard<std::mutex> lock(gMu);
        auto it = Dialogs().find(hwnd);
        if (it != Dialogs().end()) id = it->second.defId;
      }
      if (!id) {
        for (HWND c = GetWindow(hwnd, GW_CHILD); c && !id; c = GetWindow(c, GW_HWNDNEXT)) {
          if (SendMessage(c, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) id = GetDlgCtrlID(c);
        }
      }
      *result = id ? MAKELRESULT(id, DC_HASDEFID) : 0;
      return true;
    }
    case WM_NCDESTROY: {
      std::lock_guard<std::mutex> lock(gMu);
      Dialogs().erase(hwnd);
      return false;
    }
    default: return false;
  }
}

bool DialogLongPtr(HWND hwnd, int index, LONG_PTR* value, const LONG_PTR* newValue) {
  if (index != DWLP_MSGRESULT && index != DWLP_DLGPROC && index != DWLP_USER) return false;
  std::lock_guard<std::mutex> lock(gMu);
  auto it = Dialogs().find(hwnd);
  if (it == Dialogs().end()) {
    if (!newValue) return false;
    it = Dialogs().emplace(hwnd, DialogData{}).first;
  }
  LONG_PTR* slot = index == DWLP_MSGRESULT ? &it->second.msgResult : &it->second.user;
  if (index == DWLP_DLGPROC) {
    *value = reinterpret_cast<LONG_PTR>(it->second.proc);
    if (newValue) it->second.proc = reinterpret_cast<DLGPROC>(*newValue);
    return true;
  }
  *value = *slot;
  if (newValue) *slot = *newValue;
  return true;
}

// Creates a template dialog (for CDialog when `object` is given). The dialog window gets WM_CREATE,
// then the template's font and controls, then WM_INITDIALOG.
HWND BuildDialog(const kvp::DialogTemplate& t, HWND parent, DLGPROC proc, LPARAM init, CWnd* object,
                 bool* focusFirst) {
  HFONT font = kvp::DialogTemplateFont(t);
  SIZE base = kvp::DialogBaseUnitsOf(font);
  RECT r = kvp::DialogUnitsToPixels(RECT{t.x, t.y, t.x + t.cx, t.y + t.cy}, base);
  const bool child = (t.style & WS_CHILD) != 0;
  DWORD style = t.style & ~static_cast<DWORD>(WS_VISIBLE);
  if (!child) {
    POINT origin{0, 0};
    if (parent && !(t.style & DS_ABSALIGN)) ClientToScreen(parent, &origin);
    r = RECT{r.left + origin.x, r.top + origin.y, r.right + origin.x, r.bottom + origin.y};
    if (t.style & DS_CENTER) {
      RECT area;
      HWND over = parent ? TopLevelOf(parent) : 0;
      if (over) {
        GetWindowRect(over, &area);
      } else {
        area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
      }
      const int w = r.right - r.left, h = r.bottom - r.top;
      r.left = area.left + (area.right - area.left - w) / 2;
      r.top = area.top + (area.bottom - area.top - h) / 2;
      r.right = r.left + w;
      r.bottom = r.top + h;
    }
  }
  const char* cls = t.windowClass ? t.windowClass : WC_DIALOG;
  HWND owner = child ? parent : (parent ? TopLevelOf(parent) : 0);
  HWND hwnd = 0;
  if (object) {
    if (object->CreateEx(t.exStyle, cls, t.caption ? t.caption : "", style, r.left, r.top, r.right - r.left,
                         r.bottom - r.top, owner, 0, nullptr)) {
      hwnd = object->m_hWnd;
    }
  } else {
    hwnd = CreateWindowEx(t.exStyle, cls, t.caption ? t.caption : "", style, r.left, r.top, r.right - r.left,
                          r.bottom - r.top, owner, 0, 0, nullptr);
  }
  if (!hwnd) return 0;
  if (proc) {
    std::lock_guard<std::mutex> lock(gMu);
    Dialogs()[hwnd].proc = proc;
  }
  SendMessage(hwnd, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  kvp::CreateDialogItems(hwnd, t);
  if (!IsWindow(hwnd)) return 0;
  HWND first = FirstTabStop(hwnd);
  const BOOL focus = static_cast<BOOL>(SendMessage(hwnd, WM_INITDIALOG, static_cast<WPARAM>(first), init));
  if (!IsWindow(hwnd)) return 0;
  if (focusFirst) *focusFirst = focus != FALSE;
  if (focus && first) {
    Lock lock(Sys().mu);
    if (auto w = Get(hwnd)) w->lastFocus = first;
  }
  if (t.style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return hwnd;
}

bool EndTemplateDialog(HWND hwnd, INT_PTR result) {
  std::lock_guard<std::mutex> lock(gMu);
  auto it = Dialogs().find(hwnd);
  if (it == Dialogs().end()) return false;
  it->second.ended = true;
  it->second.result = result;
  return true;
}

bool TemplateDialogEnded(HWND hwnd, INT_PTR* result) {
  std::lock_guard<std::mutex> lock(gMu);
  auto it = Dialogs().find(hwnd);
  if (it == Dialogs().end()) return true;
  *result = it->second.result;
  return it->second.ended;
}

const kvp::DialogTemplate* TemplateFor(HMODULE module, LPCSTR name) { return kvp::FindDialogTemplate(module, name); }

}  // namespace kvp::win

using namespace kvp::win;

namespace kvp {

void RegisterDialogTemplate(HMODULE module, int id, const DialogTemplate* dialog) {
  std::lock_guard<std::mutex> lock(gMu);
  if (dialog) {
    Templates()[{module, id}] = dialog;
  } else {
    Templates().erase({module, id});
  }
}

const DialogTemplate* FindDialogTemplate(HMODULE module, LPCSTR name) {
  const int id = TemplateIdOf(name);
  if (id < 0) return nullptr;
  std::lock_guard<std::mutex> lock(gMu);
  auto it = Templates().find({module, id});
  if (it != Templates().end()) return it->second;
  it = Templates().find({0, id});
  if (it != Templates().end()) return it->second;
  // A module's resource handle may be the program itself under another handle: any one table.
  for (const auto& [key, t] : Templates()) {
    if (key.second == id) return t;
  }
  return nullptr;
}

HFONT DialogTemplateFont(const DialogTemplate& dialog) {
  const bool own = (dialog.style & DS_SETFONT) && dialog.fontFace && dialog.fontPoints > 0;
  const std::string face = own ? dialog.fontFace : kDefaultFace;
  const int points = own ? dialog.fontPoints : kDefaultPoints;
  static std::mutex mu;
  static auto* fonts = new std::map<std::pair<std::string, int>, HFONT>();
  std::lock_guard<std::mutex> lock(mu);
  auto key = std::make_pair(face, points);
  auto it = fonts->find(key);
  if (it != fonts->end()) return it->second;
  HFONT f = CreateFont(-MulDiv(points, 96, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face.c_str());
  (*fonts)[key] = f;
  return f;
}

SIZE DialogBaseUnitsOf(HFONT font) {
  HDC dc = CreateCompatibleDC(0);
  HGDIOBJ old = SelectObject(dc, font);
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE extent{};
  GetTextExtentPoint32(dc, kAlphabet, 52, &extent);
  TEXTMETRIC tm{};
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  DeleteDC(dc);
  return SIZE{(extent.cx / 26 + 1) / 2, tm.tmHeight};
}

RECT DialogUnitsToPixels(const RECT& dlu, SIZE base) {
  return RECT{MulDiv(dlu.left, base.cx, 4), MulDiv(dlu.top, base.cy, 8), MulDiv(dlu.right, base.cx, 4),
              MulDiv(dlu.bottom, base.cy, 8)};
}

SIZE CreateDialogItems(HWND dialog, const DialogTemplate& t) {
  HFONT font = DialogTemplateFont(t);
  SIZE base = DialogBaseUnitsOf(font);
  for (const DialogItem& item : t.items) {
    // Places and sizes each scale separately, as the dialog manager does.
    const int x = MulDiv(item.x, base.cx, 4), y = MulDiv(item.y, base.cy, 8);
    const int cx = MulDiv(item.cx, base.cx, 4), cy = MulDiv(item.cy, base.cy, 8);
    const char* text = item.text ? item.text : "";
    const bool iconRef = text[0] == '#' && std::strlen(text) > 1;
    HWND c = CreateWindowEx(item.exStyle, item.windowClass, iconRef ? "" : text, item.style | WS_CHILD | WS_VISIBLE, x,
                            y, cx, cy, dialog, static_cast<HMENU>(item.id), AfxGetResourceHandle(), nullptr);
    if (!c) continue;
    SendMessage(c, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    if (iconRef) {
      HICON icon = LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(std::atoi(text + 1)));
      if (icon) SendMessage(c, STM_SETICON, static_cast<WPARAM>(icon), 0);
    }
  }
  // Group boxes frame the controls they hold: they go under them, keeping the tab order of the rest.
  std::vector<HWND> frames;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[16] = {};
    GetClassName(c, cls, sizeof cls);
    if ((GetWindowLong(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX && strcasecmp(cls, WC_BUTTON) == 0) {
      frames.push_back(c);
    }
  }
  for (HWND f : frames) SetWindowPos(f, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return base;
}

}  // namespace kvp

extern "C" {

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const long long p = static_cast<long long>(number) * numerator;
  // Rounded half away from zero, as Windows does.
  const long long half = (denominator > 0 ? denominator : -denominator) / 2;
  long long q = ((p >= 0) == (denominator > 0)) ? (std::llabs(p) + half) / std::llabs(denominator)
                                                 : -((std::llabs(p) + half) / std::llabs(denominator));
  if (q > 0x7FFFFFFF || q < -0x7FFFFFFFLL - 1) return -1;
  return static_cast<int>(q);
}

HWND CreateDialogIndirect(HINSTANCE, LPCDLGTEMPLATE dialog, HWND parent, DLGPROC dialogProc) {
  if (!dialog) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return BuildDialog(*dialog, parent, dialogProc, 0, nullptr, nullptr);
}

HWND CreateDialogParam(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC dialogProc, LPARAM init) {
  const kvp::DialogTemplate* t = kvp::FindDialogTemplate(instance, name);
  if (!t) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  return BuildDialog(*t, parent, dialogProc, init, nullptr, nullptr);
}

namespace {
INT_PTR RunTemplateDialog(const kvp::DialogTemplate* t, HWND parent, DLGPROC proc, LPARAM init) {
  if (!t) return -1;
  HWND owner = parent ? TopLevelOf(parent) : 0;
  bool reenable = BeginModal(owner);
  kvp::DialogTemplate modal = *t;
  modal.style &= ~static_cast<DWORD>(WS_VISIBLE | WS_CHILD);
  HWND dlg = BuildDialog(modal, owner, proc, init, nullptr, nullptr);
  INT_PTR result = -1;
  if (dlg) {
    INT_PTR r = 0;
    if (!TemplateDialogEnded(dlg, &r)) {
      ShowWindow(dlg, SW_SHOW);
      const ModalEnd end = RunModalLoop(dlg, [dlg] {
        INT_PTR ignored;
        return !IsWindow(dlg) || TemplateDialogEnded(dlg, &ignored);
      });
      if (end == ModalEnd::QuitRequest) EndTemplateDialog(dlg, IDCANCEL);
    }
    TemplateDialogEnded(dlg, &result);
  }
  EndModal(owner, reenable);
  if (dlg && IsWindow(dlg)) {
    ShowWindow(dlg, SW_HIDE);
    if (owner && IsWindow(owner)) SetActiveWindow(owner);
    DestroyWindow(dlg);
  }
  return result;
}
}  // namespace

INT_PTR DialogBoxIndirect(HINSTANCE, LPCDLGTEMPLATE dialog, HWND parent, DLGPROC dialogProc) {
  return RunTemplateDialog(dialog, parent, dialogProc, 0);
}

INT_PTR DialogBoxParam(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC dialogProc, LPARAM init) {
  return RunTemplateDialog(kvp::FindDialogTemplate(instance, name), parent, dialogProc, init);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  if (auto* obj = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(dialog))) {
    obj->EndDialog(static_cast<int>(result));
    return TRUE;
  }
  if (!IsWindow(dialog)) return FALSE;
  {
    std::lock_guard<std::mutex> lock(gMu);
    auto& d = Dialogs()[dialog];
    d.ended = true;
    d.result = result;
  }
  PostMessage(dialog, WM_NULL, 0, 0);
  return TRUE;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
  if (!rect || !IsWindow(dialog)) return FALSE;
  HFONT font = static_cast<HFONT>(SendMessage(dialog, WM_GETFONT, 0, 0));
  if (!font) font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  *rect = kvp::DialogUnitsToPixels(*rect, kvp::DialogBaseUnitsOf(font));
  return TRUE;
}

LONG GetDialogBaseUnits(void) {
  SIZE b = kvp::DialogBaseUnitsOf(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
  return MAKELONG(b.cx, b.cy);
}

}  // extern "C"
