// Input: mouse routing with the capture rules, cursors, keyboard focus, activation, hot keys and
// the dialog keys (Enter, Escape, Tab, the arrows within a group, mnemonics).
#include "window/WindowSystem.h"
#include "window/controls/ControlKit.h"

#include <platform/clock.h>

#include <algorithm>
#include <cstdlib>
#include <strings.h>
#include <map>
#include <mutex>

namespace kvp::win {

namespace {

struct CursorObject : KernelObject {
  bool AllowCloseHandle() const override { return false; }
  ULONG_PTR id = 0;
  bool system = false;
};

}  // namespace

bool HasResourceCursor(HINSTANCE instance, ULONG_PTR id);

namespace {

UINT MouseKeyState() {
  UINT s = Sys().buttons;
  if (Sys().modifiers & MOD_SHIFT) s |= MK_SHIFT;
  if (Sys().modifiers & MOD_CONTROL) s |= MK_CONTROL;
  return s;
}

LPARAM PackPoint(LONG x, LONG y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

const UINT kButtonDown[3] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
const UINT kButtonUp[3] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
const UINT kButtonMask[3] = {MK_LBUTTON, MK_RBUTTON, MK_MBUTTON};
const UINT kButtonDblClk[3] = {WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK};
constexpr uint64_t kDoubleClickMs = 500;

}  // namespace

void CancelMode() {
  HWND cap;
  {
    Lock lock(Sys().mu);
    cap = Sys().capture;
  }
  if (!cap) return;
  SendMessage(cap, WM_CANCELMODE, 0, 0);
  bool still;
  {
    Lock lock(Sys().mu);
    still = Sys().capture == cap;
  }
  if (still) ReleaseCapture();
}

void CancelModeIfInside(HWND ancestor) {
  bool inside;
  {
    Lock lock(Sys().mu);
    inside = Sys().capture && IsDescendant(ancestor, Sys().capture);
  }
  if (inside) CancelMode();
}

void MoveFocusAway(HWND ancestor) {
  HWND next = 0;
  {
    Lock lock(Sys().mu);
    if (!Sys().focus || !IsDescendant(ancestor, Sys().focus)) return;
    auto w = Get(ancestor);
    if (w && w->IsChild()) next = w->parent;
  }
  SetFocus(next);
}

// A disabled window (the owner of a modal dialog) hands its activation to the enabled window it
// owns, as the user who clicks it expects the dialog to come up.
HWND EnabledOwned(HWND top) {
  auto w = Get(top);
  if (!w || !(w->style & WS_DISABLED)) return top;
  for (HWND t : Sys().topLevels) {
    auto tw = Get(t);
    if (tw && tw->owner == top && (tw->style & WS_VISIBLE)) return EnabledOwned(t);
  }
  return top;
}

void ActivateTopLevel(HWND top, bool fromUser) {
  HWND old;
  bool appWasActive;
  std::vector<HWND> tops;
  {
    Lock lock(Sys().mu);
    HWND redirected = EnabledOwned(top);
    if (redirected != top) {
      top = redirected;
      auto rw = Get(top);
      if (rw && Sys().backend && rw->threadId == Sys().guiThread) Sys().backend->TopLevelRaised(*rw);
    }
    auto w = Get(top);
    if (!w || w->IsChild()) return;
    old = Sys().active;
    appWasActive = Sys().appActive;
    if (old == top && appWasActive) return;
    Sys().active = top;
    Sys().appActive = true;
    auto& list = Sys().topLevels;
    list.erase(std::remove(list.begin(), list.end(), top), list.end());
    list.insert(list.begin(), top);
    tops = TopLevelsOfThread(w->threadId);
  }
  if (old && old != top && IsWindow(old)) SendMessage(old, WM_ACTIVATE, WA_INACTIVE, static_cast<LPARAM>(top));
  // Only a change between this application and another one is an application activation.
  if (!appWasActive) {
    for (HWND t : tops) {
      if (IsWindow(t)) SendMessage(t, WM_ACTIVATEAPP, TRUE, 0);
    }
  }
  if (IsWindow(top)) {
    SendMessage(top, WM_ACTIVATE, fromUser ? WA_CLICKACTIVE : WA_ACTIVE,
                static_cast<LPARAM>(old != top ? old : 0));
  }
}

void DeactivateApp() {
  HWND old;
  std::vector<HWND> tops;
  {
    Lock lock(Sys().mu);
    if (!Sys().appActive) return;
    old = Sys().active;
    tops = TopLevelsOfThread(Sys().guiThread);
  }
  CancelMode();
  HWND focus;
  {
    Lock lock(Sys().mu);
    Sys().appActive = false;
    focus = Sys().focus;
  }
  if (focus) {
    SendMessage(focus, WM_KILLFOCUS, 0, 0);
    Lock lock(Sys().mu);
    if (Sys().focus == focus) Sys().focus = 0;
  }
  if (old && IsWindow(old)) SendMessage(old, WM_ACTIVATE, WA_INACTIVE, 0);
  for (HWND t : tops) {
    if (IsWindow(t)) SendMessage(t, WM_ACTIVATEAPP, FALSE, 0);
  }
}

void ForgetWindowInput(HWND hwnd) {
  auto& keys = Sys().hotKeys;
  for (auto it = keys.begin(); it != keys.end();) {
    if (it->hwnd == hwnd) {
      if (Sys().backend) Sys().backend->UngrabHotKey(it->modifiers, it->vk);
      it = keys.erase(it);
    } else {
      ++it;
    }
  }
}

// Turns one raw input event into the message it becomes now (capture, focus and hot keys are
// decided when the message is taken, as the user's actions reach the program in order).
bool TakeInput(Queue& q, MSG* msg, InputEffects* fx) {
  RawInput in = q.input.front();
  q.input.pop_front();
  State& s = Sys();
  *msg = MSG{};
  msg->time = static_cast<DWORD>(ClockNowMs());
  if (in.kind == InputKind::KeyDown || in.kind == InputKind::KeyUp) {
    bool down = in.kind == InputKind::KeyDown;
    s.keyDown[in.vk & 0xFF] = down;
    s.modifiers = in.modifiers;
    msg->pt = s.cursorPos;
    if (down) {
      for (const HotKey& k : s.hotKeys) {
        if (k.vk == in.vk && k.modifiers == in.modifiers) {
          msg->hwnd = k.hwnd;
          msg->message = WM_HOTKEY;
          msg->wParam = static_cast<WPARAM>(k.id);
          msg->lParam = MAKELPARAM(in.modifiers, in.vk);
          return true;
        }
      }
    }
    HWND target = s.focus ? s.focus : s.active;
    if (!target || !s.appActive) return false;
    bool alt = (in.modifiers & MOD_ALT) != 0;
    if (down && alt && in.vk == VK_SPACE) {
      // No system menu on this desktop: Alt+Space gives the first item the program appended to
      // the active window's system menu (its about box, say).
      auto top = Get(s.active);
      auto menu = top ? s.menus.find(top->sysMenu) : s.menus.end();
      if (menu != s.menus.end()) {
        for (const auto& [id, text] : menu->second) {
          if (!id) continue;
          msg->hwnd = s.active;
          msg->message = WM_SYSCOMMAND;
          msg->wParam = id;
          return true;
        }
      }
    }
    msg->hwnd = target;
    msg->message = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
    msg->wParam = in.vk;
    msg->lParam = down ? 1 : static_cast<LPARAM>(0xC0000001u);
    q.keyChar = down ? in.ch : 0;
    return true;
  }

  s.cursorPos = in.screen;
  msg->pt = in.screen;
  if (in.kind == InputKind::ButtonDown) s.buttons |= kButtonMask[in.button];
  if (in.kind == InputKind::ButtonUp) s.buttons &= ~kButtonMask[in.button];
  HWND target = s.capture;
  if (!target) {
    target = HitTest(in.screen, true);
    if (!target) {
      // Outside our windows: tracking and tooltips still learn that the pointer left.
      if (in.kind != InputKind::Wheel) NoteMouseTarget(0, in.screen, WM_MOUSEMOVE);
      return false;
    }
  }
  auto w = Get(target);
  if (!w) return false;
  if (!s.capture && !EnabledChain(*w)) return false;
  POINT o = ScreenOrigin(*w);
  LPARAM clientPoint = PackPoint(in.screen.x - o.x, in.screen.y - o.y);
  msg->hwnd = target;
  switch (in.kind) {
    case InputKind::MouseMove:
      msg->message = WM_MOUSEMOVE;
      msg->wParam = MouseKeyState();
      msg->lParam = clientPoint;
      break;
    case InputKind::ButtonDown:
      msg->message = kButtonDown[in.button];
      msg->wParam = MouseKeyState();
      msg->lParam = clientPoint;
      if (!s.capture) {
        HWND top = TopLevelOf(target);
        auto tw = Get(top);
        const bool noActivate = tw && (tw->exStyle & 0x08000000L /* WS_EX_NOACTIVATE */);
        if ((top != s.active || !s.appActive) && !noActivate) fx->activate = top;
      }
      {
        // A second press of the same button on the same window soon after and near the first is
        // a double click for classes that ask for them.
        static HWND lastWindow = 0;
        static int lastButton = -1;
        static uint64_t lastMs = 0;
        static POINT lastAt{};
        const uint64_t now = ClockNowMs();
        const bool wants = (w->cls->wc.style & CS_DBLCLKS) != 0;
        if (wants && lastWindow == target && lastButton == in.button && now - lastMs <= kDoubleClickMs &&
            std::abs(in.screen.x - lastAt.x) <= 2 && std::abs(in.screen.y - lastAt.y) <= 2) {
          msg->message = kButtonDblClk[in.button];
          lastWindow = 0;
        } else {
          lastWindow = target;
          lastButton = in.button;
          lastMs = now;
          lastAt = in.screen;
        }
      }
      break;
    case InputKind::ButtonUp:
      msg->message = kButtonUp[in.button];
      msg->wParam = MouseKeyState();
      msg->lParam = clientPoint;
      break;
    case InputKind::Wheel:
      msg->message = WM_MOUSEWHEEL;
      msg->wParam = MAKEWPARAM(MouseKeyState(), static_cast<WORD>(static_cast<short>(in.wheel)));
      msg->lParam = PackPoint(in.screen.x, in.screen.y);
      break;
    default: return false;
  }
  fx->mouseTarget = in.kind == InputKind::Wheel ? 0 : (s.capture ? HitTest(in.screen, false) : target);
  fx->mouseScreen = in.screen;
  fx->mouseEvent = msg->message;
  fx->mouseInput = in.kind != InputKind::Wheel;
  // WM_SETCURSOR only while no window holds the capture.
  if (!s.capture && in.kind != InputKind::Wheel) {
    fx->cursorWindow = target;
    fx->mouseMsg = msg->message;
  }
  return true;
}

void ApplyInputEffects(const InputEffects& fx) {
  if (fx.activate) ActivateTopLevel(fx.activate, true);
  if (fx.mouseInput) NoteMouseTarget(fx.mouseTarget, fx.mouseScreen, fx.mouseEvent);
  if (fx.cursorWindow && IsWindow(fx.cursorWindow) && !GetCapture()) {
    SendMessage(fx.cursorWindow, WM_SETCURSOR, static_cast<WPARAM>(fx.cursorWindow), MAKELPARAM(HTCLIENT, fx.mouseMsg));
  }
  // The wait cursor shows whatever the window chose.
  if (WaitCursorHeld()) SetCursor(LoadCursor(0, IDC_WAIT));
}

namespace {
// The next window in tab order (WS_TABSTOP, visible, enabled) inside the dialog.
void CollectTabStops(HWND parent, std::vector<HWND>& out) {
  auto w = Get(parent);
  if (!w) return;
  for (HWND c : w->children) {
    auto cw = Get(c);
    if (!cw || !(cw->style & WS_VISIBLE) || (cw->style & WS_DISABLED)) continue;
    if (cw->style & WS_TABSTOP) out.push_back(c);
    CollectTabStops(c, out);
  }
}

// The child of `dialog` that is or holds hwnd; 0 when hwnd is not inside one.
HWND DialogChildOf(HWND dialog, HWND hwnd) {
  Lock lock(Sys().mu);
  for (auto w = Get(hwnd); w && w->IsChild(); w = Get(w->parent)) {
    if (w->parent == dialog) return w->hwnd;
  }
  return 0;
}

std::vector<HWND> DialogChildren(HWND dialog) {
  Lock lock(Sys().mu);
  auto w = Get(dialog);
  return w ? w->children : std::vector<HWND>{};
}

bool TakesKeys(HWND hwnd) { return IsWindowVisible(hwnd) && IsWindowEnabled(hwnd); }

// The mnemonic of a control's text: the character after a single '&' ("&&" is an ampersand); 0
// when it has none.
unsigned char MnemonicOf(const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<unsigned char>(text[i + 1]);
  }
  return 0;
}

// Small and capital letters are one mnemonic: ASCII, and the accented letters of Windows-1252.
unsigned char FoldCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  return c;
}

void FocusControl(HWND control, LRESULT code) {
  SetFocus(control);
  if (code & DLGC_HASSETSEL) SendMessage(control, 0x00B1 /* EM_SETSEL */, 0, -1);
}

// An arrow key outside a control that wants it: the focus goes to the next (or previous) item of
// the focused control's group, passing labels and group boxes; a radio button it reaches is
// clicked, so the check follows. Whether the key was used.
bool MoveInGroup(HWND dialog, HWND focus, bool previous) {
  const HWND control = DialogChildOf(dialog, focus);
  if (!control) return false;
  HWND next = control;
  for (size_t guard = DialogChildren(dialog).size(); guard > 0; --guard) {
    next = GetNextDlgGroupItem(dialog, next, previous);
    if (!next || next == control) return true;  // alone in its group
    const LRESULT code = SendMessage(next, WM_GETDLGCODE, 0, 0);
    if (code & DLGC_STATIC) continue;
    FocusControl(next, code);
    if (code & DLGC_RADIOBUTTON) SendMessage(next, BM_CLICK, 0, 0);
    return true;
  }
  return true;
}

// A mnemonic typed in a dialog: the next control after the focus (in creation order, wrapping)
// whose text marks that character. A label or group box passes the focus to the next control
// that takes it; a push button is clicked; a check box or radio button gets the focus and is
// clicked; any other control gets the focus. Fields (edits, lists, combo boxes) hold data, not
// mnemonics. Whether a control answered to it.
bool ActivateMnemonic(HWND dialog, HWND focus, unsigned char typed) {
  const std::vector<HWND> children = DialogChildren(dialog);
  const size_t n = children.size();
  if (n == 0 || typed <= ' ') return false;
  const HWND current = DialogChildOf(dialog, focus);
  const auto at = std::find(children.begin(), children.end(), current);
  const size_t start = at == children.end() ? n - 1 : static_cast<size_t>(at - children.begin());
  for (size_t k = 1; k <= n; ++k) {
    const size_t i = (start + k) % n;
    const HWND c = children[i];
    if (!TakesKeys(c)) continue;
    const LRESULT code = SendMessage(c, WM_GETDLGCODE, 0, 0);
    if (code & (DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTALLKEYS)) continue;
    char cls[16] = {};
    GetClassName(c, cls, sizeof cls);
    if (strcasecmp(cls, WC_STATIC) == 0 && (GetWindowLong(c, GWL_STYLE) & SS_NOPREFIX)) continue;
    char text[256] = {};
    GetWindowText(c, text, sizeof text);
    const unsigned char mark = MnemonicOf(text);
    if (!mark || FoldCase(mark) != FoldCase(typed)) continue;
    if (code & DLGC_STATIC) {
      // A label hands the focus to the control after it; a group box, which the template puts
      // under the controls it frames (last), to the first control inside it.
      RECT box{};
      const bool frame = strcasecmp(cls, WC_BUTTON) == 0;
      if (frame) GetWindowRect(c, &box);
      for (size_t j = 1; j < n; ++j) {
        const HWND after = children[(i + j) % n];
        if (!TakesKeys(after)) continue;
        const LRESULT afterCode = SendMessage(after, WM_GETDLGCODE, 0, 0);
        if (afterCode & DLGC_STATIC) continue;
        if (frame) {
          RECT r{};
          GetWindowRect(after, &r);
          if (r.left < box.left || r.top < box.top || r.right > box.right || r.bottom > box.bottom) continue;
        }
        FocusControl(after, afterCode);
        break;
      }
    } else if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
      SendMessage(c, BM_CLICK, 0, 0);
    } else {
      FocusControl(c, code);
      if (code & DLGC_BUTTON) SendMessage(c, BM_CLICK, 0, 0);
    }
    return true;
  }
  return false;
}
}  // namespace

HWND FirstTabStop(HWND dialog) {
  Lock lock(Sys().mu);
  std::vector<HWND> stops;
  CollectTabStops(dialog, stops);
  return stops.empty() ? 0 : stops.front();
}

}  // namespace kvp::win

using namespace kvp::win;

extern "C" {

HWND SetCapture(HWND hwnd) {
  HWND old;
  {
    Lock lock(Sys().mu);
    if (!Get(hwnd)) return 0;
    old = Sys().capture;
    Sys().capture = hwnd;
  }
  if (old && old != hwnd && IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, static_cast<LPARAM>(hwnd));
  return old;
}

BOOL ReleaseCapture(void) {
  HWND old;
  {
    Lock lock(Sys().mu);
    old = Sys().capture;
    Sys().capture = 0;
  }
  if (old && IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture(void) {
  Lock lock(Sys().mu);
  return Sys().capture;
}

HCURSOR SetCursor(HCURSOR cursor) {
  Lock lock(Sys().mu);
  HCURSOR old = Sys().cursor;
  Sys().cursor = cursor;
  if (old != cursor && Sys().backend) Sys().backend->CursorChanged(cursor);
  return old;
}

HCURSOR GetCursor(void) {
  Lock lock(Sys().mu);
  return Sys().cursor;
}

HCURSOR LoadCursor(HINSTANCE instance, LPCSTR name) {
  if (!IS_INTRESOURCE(name)) return 0;
  ULONG_PTR id = reinterpret_cast<ULONG_PTR>(name);
  // A cursor of the module's resources, else (instance 0) one of the system's.
  const bool resource = HasResourceCursor(instance, id);
  bool system = !resource;
  if (system && instance != 0) {
    SetLastError(1814L /* ERROR_RESOURCE_NAME_NOT_FOUND */);
    return 0;
  }
  // One handle per cursor: loading it again gives the same handle.
  static std::mutex mu;
  static std::map<std::pair<bool, ULONG_PTR>, HCURSOR> loaded;
  std::lock_guard<std::mutex> lock(mu);
  auto key = std::make_pair(system, id);
  auto it = loaded.find(key);
  if (it != loaded.end()) return it->second;
  auto obj = std::make_shared<CursorObject>();
  obj->id = id;
  obj->system = system;
  HCURSOR h = kvp::RegisterHandle(obj);
  loaded[key] = h;
  return h;
}

}  // extern "C"

bool kvp::win::CursorIdOf(HCURSOR cursor, ULONG_PTR* id, bool* system) {
  auto obj = kvp::HandleTable::Instance().GetAs<CursorObject>(cursor);
  if (!obj) return false;
  *id = obj->id;
  *system = obj->system;
  return true;
}

extern "C" {

BOOL GetCursorPos(LPPOINT point) {
  if (!point) return FALSE;
  Lock lock(Sys().mu);
  *point = Sys().cursorPos;
  return TRUE;
}

HWND SetFocus(HWND hwnd) {
  HWND old;
  {
    Lock lock(Sys().mu);
    if (hwnd && !Get(hwnd)) return 0;
    old = Sys().focus;
    if (old == hwnd) return old;
    Sys().focus = hwnd;
    if (hwnd) {
      if (auto top = Get(TopLevelOf(hwnd))) top->lastFocus = hwnd;
    }
  }
  if (old && IsWindow(old)) SendMessage(old, WM_KILLFOCUS, static_cast<WPARAM>(hwnd), 0);
  if (hwnd) {
    HWND top = TopLevelOf(hwnd);
    bool activate;
    {
      Lock lock(Sys().mu);
      activate = top != Sys().active || !Sys().appActive;
    }
    if (activate) ActivateTopLevel(top, false);
    if (IsWindow(hwnd) && GetFocus() == hwnd) SendMessage(hwnd, WM_SETFOCUS, static_cast<WPARAM>(old), 0);
  }
  return old;
}

HWND GetFocus(void) {
  Lock lock(Sys().mu);
  return Sys().focus;
}

SHORT GetKeyState(int vk) {
  Lock lock(Sys().mu);
  auto& s = Sys();
  bool down = false;
  switch (vk) {
    case VK_SHIFT: down = (s.modifiers & MOD_SHIFT) != 0; break;
    case VK_CONTROL: down = (s.modifiers & MOD_CONTROL) != 0; break;
    case VK_MENU: down = (s.modifiers & MOD_ALT) != 0; break;
    case VK_LBUTTON: down = (s.buttons & MK_LBUTTON) != 0; break;
    case VK_RBUTTON: down = (s.buttons & MK_RBUTTON) != 0; break;
    case VK_MBUTTON: down = (s.buttons & MK_MBUTTON) != 0; break;
    default: down = vk >= 0 && vk < 256 && s.keyDown[vk];
  }
  return down ? static_cast<SHORT>(0x8000) : 0;
}

SHORT GetAsyncKeyState(int vk) { return GetKeyState(vk); }

BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT vk) {
  Lock lock(Sys().mu);
  auto& keys = Sys().hotKeys;
  // The same window and id is a new key for that registration.
  for (auto it = keys.begin(); it != keys.end(); ++it) {
    if (it->hwnd == hwnd && it->id == id) {
      if (Sys().backend) Sys().backend->UngrabHotKey(it->modifiers, it->vk);
      keys.erase(it);
      break;
    }
  }
  for (const HotKey& k : keys) {
    if (k.modifiers == modifiers && k.vk == vk) {
      SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
      return FALSE;
    }
  }
  if (Sys().backend && !Sys().backend->GrabHotKey(modifiers, vk)) {
    SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
    return FALSE;
  }
  keys.push_back(HotKey{hwnd, id, modifiers, vk});
  return TRUE;
}

BOOL UnregisterHotKey(HWND hwnd, int id) {
  Lock lock(Sys().mu);
  auto& keys = Sys().hotKeys;
  for (auto it = keys.begin(); it != keys.end(); ++it) {
    if (it->hwnd == hwnd && it->id == id) {
      if (Sys().backend) Sys().backend->UngrabHotKey(it->modifiers, it->vk);
      keys.erase(it);
      return TRUE;
    }
  }
  SetLastError(ERROR_HOTKEY_NOT_REGISTERED);
  return FALSE;
}

// Tab and Shift+Tab move the focus among the dialog's tab stops in creation order (a control that
// wants to select its text on the way in gets EM_SETSEL); Enter presses the focused push button,
// else the default one (DM_GETDEFID, else IDOK); Escape gives IDCANCEL. The arrow keys move within
// the focused control's group (a radio button reached takes the check). Alt+letter (WM_SYSCHAR),
// and the letter alone (WM_CHAR) where the focused control does not take characters, activate the
// control whose text has that mnemonic. A focused control that asks for the key (WM_GETDLGCODE)
// keeps it.
BOOL IsDialogMessage(HWND dialog, LPMSG msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_CHAR && msg->message != WM_SYSCHAR)) return FALSE;
  {
    Lock lock(Sys().mu);
    if (!IsDescendant(dialog, msg->hwnd)) return FALSE;
  }
  if (msg->message != WM_KEYDOWN) {
    if (msg->message == WM_CHAR) {
      if (GetKeyState(VK_CONTROL) & 0x8000) return FALSE;
      const LRESULT code = SendMessage(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
      if (code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS)) return FALSE;
    }
    return ActivateMnemonic(dialog, msg->hwnd, static_cast<unsigned char>(msg->wParam)) ? TRUE : FALSE;
  }
  UINT vk = static_cast<UINT>(msg->wParam);
  const bool arrow = vk == VK_LEFT || vk == VK_UP || vk == VK_RIGHT || vk == VK_DOWN;
  if (vk != VK_RETURN && vk != VK_ESCAPE && vk != VK_TAB && !arrow) return FALSE;
  LRESULT code = SendMessage(msg->hwnd, WM_GETDLGCODE, vk, reinterpret_cast<LPARAM>(msg));
  if (code & DLGC_WANTALLKEYS) return FALSE;
  if (arrow) {
    if (code & DLGC_WANTARROWS) return FALSE;
    return MoveInGroup(dialog, msg->hwnd, vk == VK_LEFT || vk == VK_UP) ? TRUE : FALSE;
  }
  if (vk == VK_TAB) {
    if (code & DLGC_WANTTAB) return FALSE;
    if (GetKeyState(VK_CONTROL) & 0x8000) return FALSE;
    std::vector<HWND> stops;
    {
      Lock lock(Sys().mu);
      CollectTabStops(dialog, stops);
    }
    if (stops.empty()) return TRUE;
    // The stop that holds the focus (the focus may sit inside it, as in a combo box's field).
    HWND focus = GetFocus();
    auto it = std::find_if(stops.begin(), stops.end(), [&](HWND h) {
      Lock lock(Sys().mu);
      return focus && IsDescendant(h, focus);
    });
    bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    size_t i = it == stops.end() ? 0 : static_cast<size_t>(it - stops.begin());
    size_t next = it == stops.end() ? (back ? stops.size() - 1 : 0)
                                    : (back ? (i + stops.size() - 1) : (i + 1)) % stops.size();
    SetFocus(stops[next]);
    if (SendMessage(stops[next], WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessage(stops[next], 0x00B1 /* EM_SETSEL */, 0, -1);
    return TRUE;
  }
  if (vk == VK_ESCAPE) {
    SendMessage(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    return TRUE;
  }
  HWND button = 0;
  int id = IDOK;
  if ((code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) && IsWindowEnabled(msg->hwnd)) {
    button = msg->hwnd;
    id = GetDlgCtrlID(button);
  } else {
    LRESULT def = SendMessage(dialog, 0x0400 /* DM_GETDEFID */, 0, 0);
    if (HIWORD(def) == 0x534B /* DC_HASDEFID */) id = LOWORD(def);
    button = GetDlgItem(dialog, id);
    if (button && !IsWindowEnabled(button)) return TRUE;  // a disabled default button does nothing
  }
  SendMessage(dialog, WM_COMMAND, MAKEWPARAM(id, 0 /* BN_CLICKED */), static_cast<LPARAM>(button));
  return TRUE;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  std::vector<HWND> stops;
  {
    Lock lock(Sys().mu);
    CollectTabStops(dialog, stops);
  }
  if (stops.empty()) return 0;
  auto it = std::find(stops.begin(), stops.end(), control);
  if (it == stops.end()) return previous ? stops.back() : stops.front();
  size_t i = static_cast<size_t>(it - stops.begin());
  return stops[previous ? (i + stops.size() - 1) % stops.size() : (i + 1) % stops.size()];
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
  std::vector<HWND> siblings;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) siblings.push_back(c);
  auto it = std::find(siblings.begin(), siblings.end(), control);
  if (it == siblings.end()) return 0;
  size_t first = static_cast<size_t>(it - siblings.begin());
  while (first > 0 && !(GetWindowLong(siblings[first], GWL_STYLE) & WS_GROUP)) --first;
  size_t last = first + 1;
  while (last < siblings.size() && !(GetWindowLong(siblings[last], GWL_STYLE) & WS_GROUP)) ++last;
  size_t i = static_cast<size_t>(it - siblings.begin());
  const size_t n = last - first;
  for (size_t k = 1; k < n; ++k) {
    size_t j = first + (previous ? (i - first + n - k) % n : (i - first + k) % n);
    if (IsWindowVisible(siblings[j]) && IsWindowEnabled(siblings[j])) return siblings[j];
  }
  return control;
}

}  // extern "C"
