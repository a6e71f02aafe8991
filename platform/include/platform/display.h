// The display the windows appear on, and the controls tests use to drive it.
//
// A display is opened by the thread that will be the GUI thread; closing it destroys every window,
// timer and hot key so that a test can build and tear down a whole world. Two back ends:
//  - headless: top-level windows render into image surfaces; tests inject mouse and keys, advance
//    the virtual clock, read pixels and save PNG screenshots;
//  - X11: one X window per top-level window, painted from its back buffer; hot keys through
//    XGrabKey.
#pragma once

#include <platform/clock.h>
#include <platform/geometry.h>
#include <platform/window.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

namespace kvp {

// Opens the headless display for the calling thread (screen size in pixels).
PLATFORM_API bool OpenHeadlessDisplay(int screenWidth = 1024, int screenHeight = 768);
// Opens an X11 display (null = $DISPLAY) for the calling thread; false when it cannot be reached.
PLATFORM_API bool OpenX11Display(const char* name = nullptr);
// Destroys every window, timer and hot key and closes the display.
PLATFORM_API void CloseDisplay();
PLATFORM_API bool DisplayIsOpen();
PLATFORM_API bool DisplayIsHeadless();
// The GUI thread's id (0 while no display is open).
PLATFORM_API DWORD GuiThreadId();

// The back buffer of a top-level window (null for a child or an unknown window). Its pixels are
// what the window shows; format CAIRO_FORMAT_RGB24, one pixel per window pixel.
PLATFORM_API cairo_surface_t* WindowSurface(HWND topLevel);
// The colour of one screen pixel of a window (client coordinates) as COLORREF, or 0xFFFFFFFF
// outside it.
PLATFORM_API COLORREF WindowPixel(HWND hwnd, int x, int y);
// Writes a top-level window's (or the top-level of a child's) picture as PNG.
PLATFORM_API bool SaveWindowPng(HWND hwnd, const char* path);

// ------------------------------------------------------------------------------------------------
// Message boxes as the display records them. Every box is logged; a responder (tests) answers it.

struct MessageBoxCall {
  HWND owner = 0;         // as given by the caller
  HWND box = 0;           // the box window while it is open
  std::string text;
  std::string caption;    // after the "Error" default
  UINT type = 0;
  DWORD callerThreadId = 0;
  DWORD shownOnThreadId = 0;
  int result = 0;
};

// Called on the GUI thread once the box is open (its modal loop running, capture cancelled,
// owner disabled). Returns the answer (IDOK, IDYES, ...) or 0 to leave the box open until
// AnswerMessageBox. Without a responder the headless display answers with the default button and
// the X11 display waits for the user.
using MessageBoxResponder = std::function<int(const MessageBoxCall& call)>;
PLATFORM_API void SetMessageBoxResponder(MessageBoxResponder responder);
// Answers an open box (from any thread).
PLATFORM_API bool AnswerMessageBox(HWND box, int result);
// Every box shown since the display was opened, the open ones with result 0.
PLATFORM_API std::vector<MessageBoxCall> MessageBoxLog();

// ------------------------------------------------------------------------------------------------
// Headless control (GUI thread only, except where said).

namespace headless {

// Pointer and keys, as the user would make them: mouse messages go where the capture rules send
// them, keys to the focus window; a key registered as hot key becomes WM_HOTKEY. Each call
// queues the input and processes everything that follows from it (Pump).
enum class Button { Left, Right, Middle };
PLATFORM_API void MoveMouse(POINT screen);
PLATFORM_API void MoveMouseTo(HWND hwnd, POINT client);
PLATFORM_API void PressButton(Button button);
PLATFORM_API void ReleaseButton(Button button);
PLATFORM_API void Click(HWND hwnd, POINT client, Button button = Button::Left);
PLATFORM_API void Wheel(int delta);
// A key press (down and up) with modifiers (MOD_*) and the character it types (0 for none).
PLATFORM_API void PressKey(UINT vk, UINT modifiers = 0, char ch = 0);
// A key pressed while another application has the focus: reaches us only as a hot key.
PLATFORM_API bool PressSystemKey(UINT vk, UINT modifiers = 0);
// Focus moves to another application (WM_ACTIVATEAPP FALSE) or back to a window of ours.
PLATFORM_API void ActivateOtherApplication();
PLATFORM_API void ActivateWindow(HWND topLevel);

// Processes every message that is waiting, including paints and due timers, until the queue is
// empty, or for at most ten seconds of real time while another thread keeps it busy. Returns
// false when WM_QUIT was taken (it is put back for the next loop).
PLATFORM_API bool Pump();
// Moves the virtual clock forward by ms, stopping at every timer deadline on the way so each
// timer fires at its exact time, and pumps after every step.
PLATFORM_API void Advance(uint64_t ms);
// Runs fn on the GUI thread from its message loop once everything queued before it has been
// processed (callable from any thread). Lets a test act from inside a modal loop.
PLATFORM_API bool RunInLoop(std::function<void()> fn);

// Hot keys as the display holds them (for checks): (modifiers, vk) pairs.
PLATFORM_API std::vector<std::pair<UINT, UINT>> GrabbedHotKeys();

}  // namespace headless

// A headless world for one test: opens the headless display on the calling thread with the
// virtual clock, and closes both when it goes.
class HeadlessWorld {
 public:
  explicit HeadlessWorld(int screenWidth = 1024, int screenHeight = 768) : wasVirtual_(ClockIsVirtual()) {
    ClockUseVirtual(true);
    OpenHeadlessDisplay(screenWidth, screenHeight);
  }
  ~HeadlessWorld() {
    CloseDisplay();
    if (!wasVirtual_) ClockUseVirtual(false);
  }
  HeadlessWorld(const HeadlessWorld&) = delete;
  HeadlessWorld& operator=(const HeadlessWorld&) = delete;

 private:
  bool wasVirtual_;
};

}  // namespace kvp
