// Windows of other processes as the window functions reach them: the socket server each process
// with a display runs, the search for other processes' windows, and the operations on proxies.
#pragma once

#include <platform/window.h>

namespace kvp::desktop {

void StartServer();  // when a display opens
void StopServer();   // when it closes; also forgets the headless foreign windows

bool IsProxy(HWND hwnd);
// The first window of another process (or headless foreign window) after `after` (0: from the
// start; a window of ours: from the start) whose class (without regard to case) and title match.
HWND FindForeign(HWND after, LPCSTR className, LPCSTR windowName);

BOOL ProxyIsWindow(HWND hwnd);
int ProxyText(HWND hwnd, bool className, LPSTR buffer, int size);
BOOL ProxyState(HWND hwnd, bool iconic);  // IsIconic, else IsWindowVisible
BOOL ProxyShow(HWND hwnd, int cmd);
BOOL ProxyForeground(HWND hwnd);
HWND ProxyNext(HWND hwnd);
DWORD ProxyThreadProcessId(HWND hwnd, LPDWORD processId);
BOOL ProxyPost(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT ProxySend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT timeoutMs, PDWORD_PTR result, bool* ok);

}  // namespace kvp::desktop
