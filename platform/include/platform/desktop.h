// Windows of other processes. FindWindow/FindWindowEx search our own top-level windows first,
// then those of the other programs of this platform: every process with an open display serves a
// socket in the per-user runtime folder through which others list its top-level windows and act on
// them. A window of another process is seen through a local proxy handle on which IsWindow,
// GetClassName, GetWindowText, IsIconic, IsWindowVisible, ShowWindow (SW_SHOW, SW_RESTORE,
// SW_SHOWNORMAL, SW_MINIMIZE), SetForegroundWindow, GetWindow(GW_HWNDNEXT),
// GetWindowThreadProcessId, PostMessage (numbers only; WM_QUIT ends the owner's current message
// loop) and SendMessage/SendMessageTimeout work. Across processes only WM_COPYDATA carries data:
// the bytes are copied and the receiver's pointer is valid during its handler. A send waits at
// most its time-out and fails at once when the other process is gone.
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
