// The "\\?\" namespace: driver devices opened by interface path, every call one request packet
// through the kernel host, and the status-to-result rule.
#include <platform/device.h>
#include <platform/hardware.h>
#include <platform/kernel/KernelHost.h>

#include "io/FileObject.h"

#include <mutex>

namespace kvp::device {

namespace {

using kernel::KernelFile;

class DeviceFile final : public FileObject {
 public:
  DeviceFile(std::shared_ptr<KernelFile> file, DWORD flags) : FileObject(flags), file_(std::move(file)) {}
  ~DeviceFile() override {
    if (!cleanedUp_) file_->Cleanup();
    SendClose();
  }

  DWORD Read(void* buffer, DWORD size, OVERLAPPED*, DWORD* bytes) override {
    return Call(bytes, [&](ULONG_PTR* info) { return file_->Read(buffer, size, info); });
  }
  DWORD Write(const void* buffer, DWORD size, OVERLAPPED*, DWORD* bytes) override {
    return Call(bytes, [&](ULONG_PTR* info) { return file_->Write(buffer, size, info); });
  }
  DWORD IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, OVERLAPPED*,
                  DWORD* bytes) override {
    return Call(bytes, [&](ULONG_PTR* info) {
      return file_->IoControl(code, const_cast<void*>(in), inSize, out, outSize, info);
    });
  }
  DWORD Flush() override {
    DWORD bytes = 0;
    return Call(&bytes, [&](ULONG_PTR*) { return file_->Flush(); });
  }
  // Device requests end in the driver (their own time limits); closing a handle sends the
  // cleanup request instead of cancelling calls in flight on other threads.
  DWORD Cancel(OVERLAPPED*) override { return ERROR_NOT_FOUND; }

  // The handle is gone: cleanup now, close once no call is in flight.
  void OnClose() override {
    {
      std::lock_guard lock(mu_);
      handleClosed_ = true;
    }
    file_->Cleanup();
    bool closeNow;
    {
      std::lock_guard lock(mu_);
      cleanedUp_ = true;  // the close follows the cleanup, never overtakes it
      closeNow = inFlight_ == 0;
    }
    if (closeNow) SendClose();
  }

 private:
  template <class Op>
  DWORD Call(DWORD* bytes, Op op) {
    {
      std::lock_guard lock(mu_);
      if (handleClosed_) return ERROR_INVALID_HANDLE;
      ++inFlight_;
    }
    ULONG_PTR information = 0;
    const NTSTATUS status = op(&information);
    bool closeNow;
    {
      std::lock_guard lock(mu_);
      closeNow = --inFlight_ == 0 && cleanedUp_;
    }
    if (closeNow) SendClose();
    const ULONG s = static_cast<ULONG>(status);
    if (s < 0x80000000u) {
      *bytes = static_cast<DWORD>(information);
      return ERROR_SUCCESS;
    }
    *bytes = s < 0xC0000000u ? static_cast<DWORD>(information) : 0;  // a warning still reports its bytes
    return kernel::Win32ErrorFromStatus(status);
  }

  void SendClose() {
    {
      std::lock_guard lock(mu_);
      if (closeSent_) return;
      closeSent_ = true;
    }
    file_->Close();
  }

  std::shared_ptr<KernelFile> file_;
  std::mutex mu_;
  int inFlight_ = 0;
  bool handleClosed_ = false;
  bool cleanedUp_ = false;
  bool closeSent_ = false;
};

std::shared_ptr<FileObject> OpenDevice(const std::string& path, DWORD, DWORD, DWORD, DWORD flags, DWORD* error) {
  kernel::KernelHost* host = kernel::KernelHost::Active();
  if (!host) {
    *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  NTSTATUS status = STATUS_SUCCESS;
  auto file = host->Open(path, &status);
  if (!file) {
    *error = kernel::Win32ErrorFromStatus(status);
    return nullptr;
  }
  return std::make_shared<DeviceFile>(std::move(file), flags & ~FILE_FLAG_OVERLAPPED);
}

struct Registration {
  Registration() { RegisterFileNamespace("\\\\?\\", OpenDevice); }
} gRegistration;

}  // namespace

}  // namespace kvp::device
