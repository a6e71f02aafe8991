// WaitForSingleObject / WaitForMultipleObjects on handles.
#include "SyncObjects.h"

namespace {

std::shared_ptr<kvp::Waitable> WaitableOf(HANDLE h) {
  if (h == kvp::kCurrentThreadPseudoHandle) return kvp::sync::CurrentThreadObject();
  return kvp::LookupHandle<kvp::Waitable>(h);
}

}  // namespace

extern "C" {

PLATFORM_API DWORD WaitForSingleObject(HANDLE h, DWORD timeoutMs) {
  auto obj = WaitableOf(h);
  if (!obj) return WAIT_FAILED;
  kvp::Waitable* raw = obj.get();
  return kvp::WaitForObjects(&raw, 1, false, timeoutMs);
}

PLATFORM_API DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  // The references keep every object alive for the whole wait, even if a handle is closed.
  std::shared_ptr<kvp::Waitable> objects[MAXIMUM_WAIT_OBJECTS];
  kvp::Waitable* raw[MAXIMUM_WAIT_OBJECTS];
  for (DWORD i = 0; i < count; ++i) {
    objects[i] = WaitableOf(handles[i]);
    if (!objects[i]) return WAIT_FAILED;
    raw[i] = objects[i].get();
  }
  if (waitAll) {
    // Windows refuses the same object twice in a wait for all.
    for (DWORD i = 0; i < count; ++i)
      for (DWORD j = i + 1; j < count; ++j)
        if (raw[i] == raw[j]) {
          SetLastError(ERROR_INVALID_PARAMETER);
          return WAIT_FAILED;
        }
  }
  return kvp::WaitForObjects(raw, count, waitAll != FALSE, timeoutMs);
}

}  // extern "C"
