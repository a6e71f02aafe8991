// The object behind a file handle, and the registration of the namespaces CreateFile dispatches
// to. Internal to the platform: the serial ports and the device layer build on it.
#pragma once

#include <platform/fileio.h>

#include "base/HandleTable.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace kvp {

// The object behind a file handle. Namespaces derive from it.
//
// A request method either completes at once and returns its result (ERROR_SUCCESS or an error,
// with *bytes set), or returns ERROR_IO_PENDING and later calls Complete(ov, ...) exactly once,
// from any thread. `ov` is never null: the caller supplies one for synchronous handles too. The
// buffers stay valid until the request completes (the caller's side of the overlapped contract).
class PLATFORM_API FileObject : public KernelObject {
 public:
  explicit FileObject(DWORD flags) : flags_(flags) {}

  bool Overlapped() const { return (flags_ & FILE_FLAG_OVERLAPPED) != 0; }
  DWORD Flags() const { return flags_; }

  virtual DWORD Read(void* buffer, DWORD size, OVERLAPPED* ov, DWORD* bytes);
  virtual DWORD Write(const void* buffer, DWORD size, OVERLAPPED* ov, DWORD* bytes);
  virtual DWORD IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, OVERLAPPED* ov,
                          DWORD* bytes);
  virtual DWORD Flush();
  // Ends the outstanding requests (ov null: all of them) with ERROR_OPERATION_ABORTED through
  // Complete. Returns ERROR_SUCCESS, or ERROR_NOT_FOUND when nothing was outstanding.
  virtual DWORD Cancel(OVERLAPPED* ov);
  // Closing the handle aborts everything outstanding and lets the object release its device.
  void OnHandleClosed() override;
  virtual void OnClose() {}

  // Called by the object when a pending request ends: fills the OVERLAPPED, sets its event and
  // wakes callers waiting in GetOverlappedResult.
  void Complete(OVERLAPPED* ov, DWORD error, DWORD bytes);
  // Waits until the request behind `ov` has completed / tells whether it has.
  void WaitCompleted(OVERLAPPED* ov);
  bool IsCompleted(OVERLAPPED* ov);

 private:
  DWORD flags_;
  std::mutex completionMu_;
  std::condition_variable completionCv_;
};

// Opens a path of a namespace. Returns the object, or null with *error set.
using FileOpener = std::function<std::shared_ptr<FileObject>(const std::string& path, DWORD access, DWORD share,
                                                             DWORD disposition, DWORD flags, DWORD* error)>;

// Registers the opener for every path that begins with `prefix` (compared without regard to case;
// the longest matching prefix wins). Registering a prefix again replaces its opener.
PLATFORM_API void RegisterFileNamespace(const std::string& prefix, FileOpener opener);
PLATFORM_API void UnregisterFileNamespace(const std::string& prefix);

}  // namespace kvp
