// A plain top-level window for GUI tests to put panes, panels and strips in: a registered class
// with the default window procedure, no background erase. Tests that need to see messages derive
// from it and override WindowProc.
#pragma once

#include <platform/afxwin.h>

namespace kvtest {

inline const char* HostWindowClass() {
  WNDCLASS known{};
  if (!GetClassInfo(0, "KvTestHost", &known)) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "KvTestHost";
    AfxRegisterClass(&wc);
  }
  return "KvTestHost";
}

class HostWindow : public CWnd {
 public:
  BOOL CreateTop(int x, int y, int width, int height) {
    return CreateEx(0, HostWindowClass(), "host", WS_POPUP | WS_VISIBLE, x, y, width, height, 0, 0);
  }
  // At the top left of the screen.
  BOOL CreateTop(int width, int height) { return CreateTop(0, 0, width, height); }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
};

}  // namespace kvtest
