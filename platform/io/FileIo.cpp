// CreateFile and the request calls: namespace dispatch, handle lookup and the overlapped contract.
#include "FileObject.h"
#include <platform/hardware.h>
#include <platform/sync.h>

#include "PlainFile.h"

#include <map>
#include <shared_mutex>
#include <strings.h>

namespace kvp {

namespace {

struct Namespaces {
  std::shared_mutex mu;
  std::map<std::string, FileOpener> byPrefix;
};

Namespaces& TheNamespaces() {
  static Namespaces* ns = new Namespaces;  // lives as long as the process: openers may run at exit
  return *ns;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// The opener of the longest registered prefix of `path`, or null.
FileOpener FindOpener(const std::string& path) {
  auto& ns = TheNamespaces();
  std::shared_lock lock(ns.mu);
  const FileOpener* best = nullptr;
  size_t bestLength = 0;
  for (const auto& [prefix, opener] : ns.byPrefix) {
    if (prefix.size() >= bestLength && StartsWithNoCase(path, prefix)) {
      best = &opener;
      bestLength = prefix.size();
    }
  }
  return best ? *best : FileOpener{};
}

// Device paths ("\\.\COM1", "\\?\usb#...") may belong to simulated hardware, which is loaded
// before the first of them is opened.
bool IsDevicePath(const std::string& path) { return StartsWithNoCase(path, "\\\\.\\") || StartsWithNoCase(path, "\\\\?\\"); }

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// Runs one request with the overlapped contract. `start` calls the object's request method.
template <class Start>
BOOL RunRequest(HANDLE h, LPDWORD transferred, LPOVERLAPPED ov, Start start) {
  auto file = LookupHandle<FileObject>(h);
  if (!file) return FALSE;
  if (file->Overlapped() && !ov) return Fail(ERROR_INVALID_PARAMETER);

  OVERLAPPED local{};
  OVERLAPPED* request = file->Overlapped() ? ov : &local;
  if (!file->Overlapped() && ov) {  // a synchronous handle takes only the offset from the caller
    local.Offset = ov->Offset;
    local.OffsetHigh = ov->OffsetHigh;
  }
  if (request->hEvent) ResetEvent(request->hEvent);
  request->InternalHigh = 0;
  __atomic_store_n(&request->Internal, static_cast<ULONG_PTR>(ERROR_IO_PENDING), __ATOMIC_RELEASE);

  DWORD bytes = 0;
  const DWORD result = start(*file, request, &bytes);
  if (result == static_cast<DWORD>(ERROR_IO_PENDING)) {
    if (file->Overlapped()) {
      if (transferred) *transferred = 0;
      return Fail(ERROR_IO_PENDING);
    }
    file->WaitCompleted(request);
    bytes = static_cast<DWORD>(request->InternalHigh);
    if (transferred) *transferred = bytes;
    const DWORD error = static_cast<DWORD>(request->Internal);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
  }
  // Completed at once: publish the result as a later completion would.
  request->InternalHigh = bytes;
  __atomic_store_n(&request->Internal, static_cast<ULONG_PTR>(result), __ATOMIC_RELEASE);
  if (request->hEvent) SetEvent(request->hEvent);
  if (transferred) *transferred = bytes;
  return result == ERROR_SUCCESS ? TRUE : Fail(result);
}

}  // namespace

void RegisterFileNamespace(const std::string& prefix, FileOpener opener) {
  auto& ns = TheNamespaces();
  std::unique_lock lock(ns.mu);
  ns.byPrefix[prefix] = std::move(opener);
}

void UnregisterFileNamespace(const std::string& prefix) {
  auto& ns = TheNamespaces();
  std::unique_lock lock(ns.mu);
  ns.byPrefix.erase(prefix);
}

}  // namespace kvp

extern "C" {

PLATFORM_API HANDLE CreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                               DWORD flags, HANDLE) {
  if (!path || !path[0]) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const std::string name(path);
  if (kvp::IsDevicePath(name)) kvp::EnsureSimulatedHardware();

  DWORD error = ERROR_SUCCESS;
  std::shared_ptr<kvp::FileObject> file;
  if (auto opener = kvp::FindOpener(name)) {
    file = opener(name, access, share, disposition, flags, &error);
  } else if (kvp::IsDevicePath(name)) {
    error = ERROR_FILE_NOT_FOUND;
  } else {
    file = kvp::io::PlainFile::Open(name, access, share, disposition, flags, &error);
  }
  if (!file) {
    SetLastError(error ? error : ERROR_GEN_FAILURE);
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE h = kvp::RegisterHandle(file);
  if (!h) {
    file->OnHandleClosed();
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return h;
}

PLATFORM_API BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED ov) {
  return kvp::RunRequest(file, read, ov, [&](kvp::FileObject& f, OVERLAPPED* request, DWORD* bytes) {
    return f.Read(buffer, size, request, bytes);
  });
}

PLATFORM_API BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED ov) {
  return kvp::RunRequest(file, written, ov, [&](kvp::FileObject& f, OVERLAPPED* request, DWORD* bytes) {
    return f.Write(buffer, size, request, bytes);
  });
}

PLATFORM_API BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                  LPDWORD returned, LPOVERLAPPED ov) {
  return kvp::RunRequest(device, returned, ov, [&](kvp::FileObject& f, OVERLAPPED* request, DWORD* bytes) {
    return f.IoControl(code, in, inSize, out, outSize, request, bytes);
  });
}

PLATFORM_API BOOL GetOverlappedResult(HANDLE h, LPOVERLAPPED ov, LPDWORD transferred, BOOL wait) {
  auto file = kvp::LookupHandle<kvp::FileObject>(h);
  if (!file) return FALSE;
  if (!ov) return kvp::Fail(ERROR_INVALID_PARAMETER);
  if (wait) {
    file->WaitCompleted(ov);
  } else if (!file->IsCompleted(ov)) {
    if (transferred) *transferred = 0;
    return kvp::Fail(ERROR_IO_INCOMPLETE);
  }
  const DWORD bytes = static_cast<DWORD>(__atomic_load_n(&ov->InternalHigh, __ATOMIC_RELAXED));
  if (transferred) *transferred = bytes;
  const DWORD error = static_cast<DWORD>(__atomic_load_n(&ov->Internal, __ATOMIC_ACQUIRE));
  return error == ERROR_SUCCESS ? TRUE : kvp::Fail(error);
}

PLATFORM_API BOOL CancelIo(HANDLE h) {
  auto file = kvp::LookupHandle<kvp::FileObject>(h);
  if (!file) return FALSE;
  file->Cancel(nullptr);  // succeeds with nothing outstanding
  return TRUE;
}

PLATFORM_API BOOL CancelIoEx(HANDLE h, LPOVERLAPPED ov) {
  auto file = kvp::LookupHandle<kvp::FileObject>(h);
  if (!file) return FALSE;
  const DWORD result = file->Cancel(ov);
  return result == ERROR_SUCCESS ? TRUE : kvp::Fail(result);
}

PLATFORM_API BOOL FlushFileBuffers(HANDLE h) {
  auto file = kvp::LookupHandle<kvp::FileObject>(h);
  if (!file) return FALSE;
  const DWORD result = file->Flush();
  return result == ERROR_SUCCESS ? TRUE : kvp::Fail(result);
}

}  // extern "C"
