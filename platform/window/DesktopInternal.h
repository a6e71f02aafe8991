// Windows of other processes as the window functions reach them: the socket server each process
// with a display runs, the search for other processes' windows, and the operations on proxies.
#pragma once

#include <platform/window.h>

#include <string>
#include <vector>

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

// Foreign X11 clients (display/DesktopX11.cpp); nothing while no X11 display is open.
struct ForeignX {
  unsigned long xid = 0;
  std::string instance, cls;  // WM_CLASS
  std::string title;          // UTF-8
  bool iconic = false, visible = false, overrideRedirect = false;
  long pid = 0;               // _NET_WM_PID, 0 when not set
};
void NoteX11Display(const char* name, bool open);
std::vector<ForeignX> X11Clients();  // top first
bool X11Query(unsigned long xid, ForeignX* out);
// Restores and brings forward (_NET_ACTIVE_WINDOW, or map, raise and focus without a window
// manager); `restoreOnly` leaves the focus.
bool X11Activate(unsigned long xid, bool restoreOnly);
bool X11Close(unsigned long xid);  // WM_DELETE_WINDOW

}  // namespace kvp::desktop
