// GetLastError/SetLastError and CloseHandle.
#include "HandleTable.h"

namespace {
thread_local DWORD tlsLastError = ERROR_SUCCESS;
}

namespace kvp {

HANDLE RegisterHandle(std::shared_ptr<KernelObject> obj) {
  HANDLE h = HandleTable::Instance().Insert(std::move(obj));
  if (!h) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return h;
}

}  // namespace kvp

extern "C" {

PLATFORM_API DWORD GetLastError(void) { return tlsLastError; }

PLATFORM_API void SetLastError(DWORD code) { tlsLastError = code; }

PLATFORM_API BOOL CloseHandle(HANDLE h) {
  if (h == kvp::kCurrentThreadPseudoHandle) return TRUE;  // closing the pseudo handle does nothing
  auto& table = kvp::HandleTable::Instance();
  auto obj = table.Get(h);
  if (!obj || !obj->AllowCloseHandle()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  obj = table.Remove(h);
  if (!obj) {  // another thread closed it first
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  obj->OnHandleClosed();
  return TRUE;
}

}  // extern "C"
