// A second program with a window, for the cross-process window tests. Usage:
//   desktop_peer MODE [TITLE] [COUNT]
//     MODE: "pump" runs its message loop until WM_QUIT or its window closes; "iconic" the same with
//           the window minimised; "hang" never looks at its messages (sleeps 1.5 s).
//     TITLE: the window's title (default "Peer window"); COUNT windows (default 1), the second and
//           later titled TITLE followed by " 2", " 3", ...
// Prints "ready <pid>" once its windows exist. A window answers WM_COPYDATA with dwData plus the
// sum of the bytes sent, and WM_USER + 1 with wParam * 1000 + lParam.
#include <platform/desktop.h>
#include <platform/display.h>
#include <platform/window.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

LRESULT CALLBACK PeerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COPYDATA: {
      const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      LRESULT sum = static_cast<LRESULT>(cds->dwData);
      for (DWORD i = 0; i < cds->cbData; ++i) sum += static_cast<const unsigned char*>(cds->lpData)[i];
      return sum;
    }
    case WM_USER + 1: return static_cast<LRESULT>(wParam * 1000 + static_cast<WPARAM>(lParam));
    case WM_DESTROY: PostQuitMessage(3); return 0;
    default: return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "pump";
  const std::string title = argc > 2 ? argv[2] : "Peer window";
  const int count = argc > 3 ? std::atoi(argv[3]) : 1;
  if (!kvp::OpenHeadlessDisplay()) return 2;
  WNDCLASS wc{};
  wc.lpfnWndProc = PeerProc;
  wc.lpszClassName = "KvPeerClass";
  RegisterClass(&wc);
  for (int i = 1; i <= count; ++i) {
    const std::string text = i == 1 ? title : title + " " + std::to_string(i);
    HWND w = CreateWindowEx(0, "KvPeerClass", text.c_str(), WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, 0, 0, 0, nullptr);
    ShowWindow(w, mode == "iconic" ? SW_MINIMIZE : SW_SHOW);
  }
  printf("ready %d\n", static_cast<int>(getpid()));
  fflush(stdout);
  if (mode == "hang") {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  } else {
    MSG m;
    while (GetMessage(&m, 0, 0, 0)) {
      TranslateMessage(&m);
      DispatchMessage(&m);
    }
  }
  kvp::CloseDisplay();
  return 0;
}
