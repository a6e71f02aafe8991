// kv-window: the top-level windows of the user's programs on this platform, for scripts and
// unattended runs.
//
//   kv-window list                               one line per window: pid, class, title (tabs)
//   kv-window post CLASS MESSAGE [WPARAM]        posts to the first window of the class
//
// Numbers are decimal or hexadecimal with 0x. Exit code 0 on success, 1 for a usage error, 2 when
// no window of the class exists or the message could not be posted.
#include <platform/desktop.h>
#include <platform/window.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: kv-window list\n"
               "       kv-window post CLASS MESSAGE [WPARAM]\n");
  return 1;
}

// A whole unsigned number, decimal or 0x-hexadecimal.
bool ParseNumber(const char* text, unsigned long& value) {
  if (!text || !*text || *text == '-') return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtoul(text, &end, 0);
  return errno == 0 && end && *end == '\0';
}

int List() {
  for (HWND w = ::FindWindowEx(0, 0, nullptr, nullptr); w; w = ::FindWindowEx(0, w, nullptr, nullptr)) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    char cls[256] = {};
    char title[512] = {};
    ::GetClassName(w, cls, sizeof cls);
    ::GetWindowText(w, title, sizeof title);
    std::printf("%lu\t%s\t%s\n", static_cast<unsigned long>(pid), cls, title);
  }
  return 0;
}

int Post(const char* cls, const char* messageText, const char* wParamText) {
  unsigned long message = 0, wParam = 0;
  if (!ParseNumber(messageText, message) || message > 0xFFFFFFFFul) return Usage();
  if (wParamText && !ParseNumber(wParamText, wParam)) return Usage();
  HWND target = ::FindWindow(cls, nullptr);
  if (!target) {
    std::fprintf(stderr, "kv-window: no window of class \"%s\"\n", cls);
    return 2;
  }
  if (!::PostMessage(target, static_cast<UINT>(message), static_cast<WPARAM>(wParam), 0)) {
    std::fprintf(stderr, "kv-window: the message could not be posted\n");
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "list") == 0) return List();
  if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "post") == 0) return Post(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
  return Usage();
}
