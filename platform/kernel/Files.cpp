// File objects on device stacks: open by interface path, then every call is one request packet
// to the top of the stack, built as the I/O manager builds it (direct I/O over the caller's
// buffer, METHOD_NEITHER with the caller's raw pointer, requests from user mode).
#include "HostInternal.h"

#include <atomic>

namespace kvp::kernel {

namespace {

class HostFile final : public KernelFile {
 public:
  HostFile(KernelHost::Impl* host, std::shared_ptr<DeviceNode> node, PDEVICE_OBJECT top)
      : host_(host), node_(std::move(node)), top_(top) {
    file_.DeviceObject = top;
  }
  ~HostFile() override {
    if (!cleanedUp_) Cleanup();
    if (!closed_) Close();
  }

  PFILE_OBJECT Object() { return &file_; }
  void MarkClosed() { closed_ = true; }

  NTSTATUS Read(void* buffer, ULONG length, ULONG_PTR* information) override {
    MDL mdl{nullptr, buffer, length};
    return host_->SendAndWait(
        top_,
        [&](PIO_STACK_LOCATION sp) {
          sp->MajorFunction = IRP_MJ_READ;
          sp->Parameters.Read.Length = length;
        },
        &file_, length ? &mdl : nullptr, information, STATUS_SUCCESS);
  }

  NTSTATUS Write(const void* buffer, ULONG length, ULONG_PTR* information) override {
    MDL mdl{nullptr, const_cast<void*>(buffer), length};
    return host_->SendAndWait(
        top_,
        [&](PIO_STACK_LOCATION sp) {
          sp->MajorFunction = IRP_MJ_WRITE;
          sp->Parameters.Write.Length = length;
        },
        &file_, length ? &mdl : nullptr, information, STATUS_SUCCESS);
  }

  NTSTATUS IoControl(ULONG code, void* in, ULONG inLength, void*, ULONG outLength,
                     ULONG_PTR* information) override {
    return host_->SendAndWait(
        top_,
        [&](PIO_STACK_LOCATION sp) {
          sp->MajorFunction = IRP_MJ_DEVICE_CONTROL;
          sp->Parameters.DeviceIoControl.IoControlCode = code;
          sp->Parameters.DeviceIoControl.InputBufferLength = inLength;
          sp->Parameters.DeviceIoControl.OutputBufferLength = outLength;
          sp->Parameters.DeviceIoControl.Type3InputBuffer = in;
        },
        &file_, nullptr, information, STATUS_SUCCESS);
  }

  NTSTATUS Flush() override { return Simple(IRP_MJ_FLUSH_BUFFERS); }
  NTSTATUS Cleanup() override {
    if (closed_ || cleanedUp_.exchange(true)) return STATUS_SUCCESS;
    return Simple(IRP_MJ_CLEANUP);
  }

  NTSTATUS Close() override {
    if (closed_.exchange(true)) return STATUS_SUCCESS;
    const NTSTATUS status = Simple(IRP_MJ_CLOSE);
    host_->ReleaseDeviceRef(Record(top_));
    host_->FileClosed(node_);
    return status;
  }

 private:
  NTSTATUS Simple(UCHAR major) {
    return host_->SendAndWait(
        top_, [&](PIO_STACK_LOCATION sp) { sp->MajorFunction = major; }, &file_, nullptr, nullptr, STATUS_SUCCESS);
  }

  KernelHost::Impl* host_;
  std::shared_ptr<DeviceNode> node_;
  PDEVICE_OBJECT top_;
  FILE_OBJECT file_{};
  std::atomic<bool> cleanedUp_{false};
  std::atomic<bool> closed_{false};
};

}  // namespace

std::shared_ptr<KernelFile> KernelHost::Open(const std::string& path, NTSTATUS* status) {
  const std::string wanted = Lower(path);
  std::shared_ptr<DeviceNode> node;
  PDEVICE_OBJECT top = nullptr;
  {
    std::lock_guard lock(impl_->mu);
    for (auto& i : impl_->interfaces) {
      if (i.linkLower != wanted || !i.enabled) continue;
      node = Record(i.pdo)->node;
      top = TopOfStack(i.pdo);
      break;
    }
    if (!node || node->removed) {
      *status = STATUS_OBJECT_NAME_NOT_FOUND;
      return nullptr;
    }
    Record(top)->refs++;
    node->openFiles++;
  }
  auto file = std::make_shared<HostFile>(impl_.get(), node, top);
  *status = impl_->SendAndWait(
      top, [&](PIO_STACK_LOCATION sp) { sp->MajorFunction = IRP_MJ_CREATE; }, file->Object(), nullptr, nullptr,
      STATUS_SUCCESS);
  if (!NT_SUCCESS(*status)) {
    // A refused open has no file object to clean up or close.
    impl_->ReleaseDeviceRef(Record(top));
    impl_->FileClosed(node);
    file->MarkClosed();
    return nullptr;
  }
  return file;
}

}  // namespace kvp::kernel
