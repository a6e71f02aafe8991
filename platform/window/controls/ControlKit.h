// What the standard controls share: their state attached to the window record, notifications
// to the parent, the colours the parent chooses, the font and the drawing helpers.
#pragma once

#include "window/WindowSystem.h"

#include <platform/controls.h>
#include <platform/gdi.h>

#include <memory>
#include <string>

namespace kvp::win::controls {

// The state of a control of type T, made on first use and dropped with the window.
template <class T>
T* StateOf(HWND hwnd) {
  std::shared_ptr<void> state;
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w) return nullptr;
    if (!w->controlState) w->controlState = std::make_shared<T>();
    state = w->controlState;
  }
  return static_cast<T*>(state.get());  // the record keeps it alive until WM_NCDESTROY
}
void DropState(HWND hwnd);

DWORD StyleOf(HWND hwnd);
int IdOf(HWND hwnd);
// WM_COMMAND with the notification code to the parent.
void Notify(HWND hwnd, UINT code);
// Asks the parent for the background brush (WM_CTLCOLOR*) and prepares the DC's colours; returns
// the brush to fill the background with.
HBRUSH ControlColors(HWND hwnd, HDC dc, UINT ctlColorMsg);
// The font the control draws with: the one WM_SETFONT gave, else the dialog font.
HFONT FontOf(HFONT set);
// The default GUI font, in the active language's character set.
HFONT DefaultControlFont();
// Removes the mnemonic marks ("&&" stays one "&").
std::string StripMnemonics(const std::string& text);
std::string TextOf(HWND hwnd);
// Height of one text line in the font.
int LineHeight(HDC dc);
int TextWidth(HDC dc, const std::string& text);

// Common handling of WM_SETFONT / WM_GETFONT: returns true when the message was one of them.
bool HandleFont(HFONT& font, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

// Window procedures of the built-in control classes.
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ScrollBarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ListBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboListProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ProgressProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ToolTipProc(HWND, UINT, WPARAM, LPARAM);

// The class of the combo box's drop-down list and of tooltips.
constexpr const char* kComboListClass = "ComboLBox";
constexpr const char* kToolTipClass = "tooltips_class32";

// Whether the edit field inside a combo box leaves this key to the combo box.
bool ComboWantsKey(HWND edit, UINT vk);

// Window scroll bars: the child bar that stands for a window's SB_VERT / SB_HORZ bar (0: none).
HWND WindowBar(HWND hwnd, int bar, bool create);
bool IsWindowBar(HWND bar);
bool IsScrollBarClass(LPCSTR className);
void TrimClientRect(HWND hwnd, RECT* rect);  // with Sys().mu held
void ForgetWindowBars(HWND hwnd);
void WindowBarsResized(HWND hwnd);

}  // namespace kvp::win::controls

namespace kvp::win {
// Registers the standard control classes (called when the class table is first used).
void RegisterStandardControls(std::map<std::string, std::shared_ptr<WindowClass>>& classes);
// The mouse reached `target` (0: outside our windows): mouse-leave tracking and tooltips.
void NoteMouseTarget(HWND target, POINT screen, UINT message);
// Wait cursor: whether a hold is taken.
bool WaitCursorHeld();
}  // namespace kvp::win
