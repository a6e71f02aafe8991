// Default behaviour of a file object and the completion of overlapped requests.
#include "FileObject.h"

#include <platform/sync.h>

namespace kvp {

DWORD FileObject::Read(void*, DWORD, OVERLAPPED*, DWORD* bytes) {
  *bytes = 0;
  return ERROR_INVALID_FUNCTION;
}

DWORD FileObject::Write(const void*, DWORD, OVERLAPPED*, DWORD* bytes) {
  *bytes = 0;
  return ERROR_INVALID_FUNCTION;
}

DWORD FileObject::IoControl(DWORD, const void*, DWORD, void*, DWORD, OVERLAPPED*, DWORD* bytes) {
  *bytes = 0;
  return ERROR_INVALID_FUNCTION;
}

DWORD FileObject::Flush() { return ERROR_SUCCESS; }

DWORD FileObject::Cancel(OVERLAPPED*) { return ERROR_NOT_FOUND; }

void FileObject::OnHandleClosed() {
  Cancel(nullptr);
  OnClose();
}

void FileObject::Complete(OVERLAPPED* ov, DWORD error, DWORD bytes) {
  {
    // The event is set under the completion lock: a caller that has seen the result through
    // GetOverlappedResult (which takes the lock) may reuse the OVERLAPPED and its event at once,
    // and no late SetEvent of this request can reach the next one.
    std::lock_guard lock(completionMu_);
    const HANDLE event = ov->hEvent;
    __atomic_store_n(&ov->InternalHigh, static_cast<ULONG_PTR>(bytes), __ATOMIC_RELAXED);
    __atomic_store_n(&ov->Internal, static_cast<ULONG_PTR>(error), __ATOMIC_RELEASE);
    if (event) SetEvent(event);
  }
  completionCv_.notify_all();
}

void FileObject::WaitCompleted(OVERLAPPED* ov) {
  std::unique_lock lock(completionMu_);
  completionCv_.wait(lock, [ov] { return HasOverlappedIoCompleted(ov); });
}

bool FileObject::IsCompleted(OVERLAPPED* ov) {
  std::lock_guard lock(completionMu_);
  return HasOverlappedIoCompleted(ov);
}

}  // namespace kvp
