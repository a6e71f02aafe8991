// Windows of other processes. FindWindow/FindWindowEx search our own top-level windows first,
// then those of the other programs of this platform: every process with an open display serves a
// socket in the per-user runtime folder through which others list its top-level windows and act on
// them. A window of another process is seen through a local proxy handle on which IsWindow,
// GetClassName, GetWindowText, IsIconic, IsWindowVisible, ShowWindow (SW_SHOW, SW_RESTORE,
// SW_SHOWNORMAL, SW_MINIMIZE), SetForegroundWindow, GetWindow(GW_HWNDNEXT),
// GetWindowThreadProcessId, PostMessage (WM_QUIT ends the owner's current message loop) and
// SendMessage/SendMessageTimeout work.
//
// Messages carry data across, never addresses. WM_SETTEXT, WM_GETTEXT and WM_COPYDATA are sent by
// value: the text or bytes are copied, and the receiver's pointer is valid during its handler.
// Messages from WM_USER up carry their numbers as they are. Below WM_USER only messages whose
// parameters are numbers or handles cross; every other one (WM_NOTIFY, WM_DRAWITEM,
// WM_GETMINMAXINFO, WM_TIMER with a procedure, ...) and every posted WM_SETTEXT, WM_GETTEXT or
// WM_COPYDATA fails before anything is sent: FALSE (PostMessage) or 0 (SendMessage,
// SendMessageTimeout) with GetLastError ERROR_ACCESS_DENIED. The receiving process applies the same
// rule to whatever it is sent, and takes messages only for its top-level windows.
//
// Nothing waits without a bound: a search or query waits at most about a second for all other
// processes together, a send at most its time-out and never more than 30 s (SendMessage's own), and
// a call fails at once when the other process is gone. A process that did not answer in time
// (stopped, say) is not asked again for a few seconds. GetWindow(GW_HWNDNEXT) from a foreign
// window goes on in the list the search that found it took, while that is fresh.
#pragma once

#include <platform/window.h>

#include <string>
#include <vector>

typedef struct tagCOPYDATASTRUCT {
  ULONG_PTR dwData;
  DWORD cbData;
  PVOID lpData;
} COPYDATASTRUCT, *PCOPYDATASTRUCT;

namespace kvp {
// Whether a handle stands for a window of another process (or a foreign window).
PLATFORM_API bool IsForeignWindow(HWND hwnd);

namespace headless {
// A fake window of a foreign program that FindWindow finds after the platform's own; what is
// done to it is recorded ("show 9", "foreground", "close", "quit"). Cleared when the display closes.
PLATFORM_API HWND AddForeignWindow(const char* className, const char* title, bool iconic, bool visible);
PLATFORM_API std::vector<std::string> ForeignWindowActions(HWND foreign);
}  // namespace headless
}  // namespace kvp
