// The test program's own open(): the node of a refused board fails as for a user without the
// permission; every other path goes on to umockdev's preload library and the C library. Kept apart
// from the C library's headers, whose fortified open() this replaces.
#include "UmockdevBoard.h"

#include <dlfcn.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr int kCreate = 0100;          // O_CREAT
constexpr int kTemporary = 020200000;  // O_TMPFILE
std::mutex gMu;
std::string gRefused;
std::atomic<bool> gAny{false};

bool Refused(const char* path) {
  if (!gAny || !path) return false;
  std::lock_guard lock(gMu);
  return gRefused == path;
}

}  // namespace

namespace usbmock {
void RefuseOpenOf(const char* path) {
  std::lock_guard lock(gMu);
  gRefused = path ? path : "";
  gAny = path != nullptr;
}
}  // namespace usbmock

extern "C" __attribute__((visibility("default"))) int open(const char* path, int flags, ...) {
  unsigned mode = 0;
  if ((flags & kCreate) || (flags & kTemporary) == kTemporary) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, unsigned);
    va_end(args);
  }
  if (Refused(path)) {
    errno = EACCES;
    return -1;
  }
  static auto next = reinterpret_cast<int (*)(const char*, int, ...)>(dlsym(RTLD_NEXT, "open"));
  return next(path, flags, mode);
}

extern "C" __attribute__((visibility("default"))) int __open_2(const char* path, int flags) {
  if (Refused(path)) {
    errno = EACCES;
    return -1;
  }
  static auto next = reinterpret_cast<int (*)(const char*, int)>(dlsym(RTLD_NEXT, "__open_2"));
  return next(path, flags);
}
