#include "OsciDevice.h"

#include <qrtdrv/OsciIoctl.h>

#include <cstring>

namespace qrtdrv {

namespace {
constexpr ULONG kUrbBlock = 96;
constexpr ULONG kOutLimitMs = 1000;
constexpr ULONG kInLimitMs = 1000;
constexpr ULONG kCatchUpLimitMs = 5000;
constexpr ULONG kCleanupFeatureLimitMs = 1000;

UCHAR* BufferOf(PIRP irp) { return static_cast<UCHAR*>(MmGetSystemAddressForMdlSafe(irp->MdlAddress, 0)); }
}  // namespace

OsciDevice::OsciDevice(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, LONG unit, LONG standby, LONG hibernate)
    : PnpDevice(self, pdo, kGuidOsciDevice),
      unit_(unit),
      interface_(usb_, 1, 0, 0),
      outPipe_(usb_, 0x02, kMaxTransfer),
      inPipe_(usb_, 0x81, kMaxTransfer),
      standby_(standby),
      hibernate_(hibernate) {
  usb_.Attach(self, Lower());
  ExInitializeFastMutex(&ioMutex_);
  KeInitializeTimer(&timer_);
  KeInitializeDpc(&dpc_, KeepAliveTimer, this);
}

OsciDevice::~OsciDevice() {
  StopTimer();
  FreeBuffers();
  dataEvent_.Release();
  removalEvent_.Release();
  usb_.ReleaseResources();
}

void OsciDevice::StopTimer() {
  KeCancelTimer(&timer_);
  KeFlushQueuedDpcs();  // a keep-alive already running finishes before anything is freed
}

void OsciDevice::FreeBuffers() {
  PoolFree(reply_);
  reply_ = nullptr;
  PoolDelete(ring_);
  ring_ = nullptr;
}

// ------------------------------------------------------------------------------------------------
// Plug and play

NTSTATUS OsciDevice::StartDevice() {
  const int code = usb_.ActivateConfiguration(1, 1024);
  if (!reply_) reply_ = static_cast<UCHAR*>(PoolAlloc(kMaxTransfer));
  if (!ring_) ring_ = PoolNew<ByteFifo>();
  if (!reply_ || !ring_ || !ring_->Valid()) return STATUS_INSUFFICIENT_RESOURCES;
  return code == UsbLowerDevice::kConfigured || code == UsbLowerDevice::kPipeCountDiffers ? STATUS_SUCCESS
                                                                                            : STATUS_UNSUCCESSFUL;
}

NTSTATUS OsciDevice::StopDevice() {
  usb_.DeactivateConfiguration();
  FreeBuffers();
  return STATUS_SUCCESS;
}

void OsciDevice::RemoveDevice() {
  StopTimer();  // nothing may reach the device below once it is removed
  usb_.ReleaseResources();
}

void OsciDevice::SurpriseRemoval() { removalEvent_.Signal(); }

NTSTATUS OsciDevice::QueryCapabilities(PDEVICE_CAPABILITIES caps) {
  if (!caps || caps->Version != 1 || caps->Size < 64) return STATUS_UNSUCCESSFUL;
  caps->Removable = 0;
  caps->SurpriseRemovalOK = 1;
  return STATUS_SUCCESS;
}

bool OsciDevice::QuerySystemPower(SYSTEM_POWER_STATE state) {
  if (state >= PowerSystemSleeping1 && state <= PowerSystemSleeping3) return standby_ != 0;
  if (state == PowerSystemHibernate) return hibernate_ != 0;
  return true;
}

// ------------------------------------------------------------------------------------------------
// Requests

void OsciDevice::ResetPipe(const UsbPipe& pipe) {
  _URB_PIPE_REQUEST urb;
  std::memset(static_cast<void*>(&urb), 0, sizeof urb);
  urb.Hdr.Length = sizeof urb;
  urb.Hdr.Function = URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL;
  urb.PipeHandle = pipe.Information().PipeHandle;
  usb_.SubmitUrb(reinterpret_cast<PURB>(&urb), nullptr, nullptr, 0);
}

NTSTATUS OsciDevice::Create(PIRP irp) {
  // One open at a time; a refused open changes nothing.
  LONG expected = 0;
  if (!__atomic_compare_exchange_n(&open_, &expected, 1, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
    return CompleteRequest(irp, STATUS_INSUFFICIENT_RESOURCES);
  ResetPipe(outPipe_);
  ResetPipe(inPipe_);
  if (ring_) ring_->Clear();
  SetFlag(pendingRead_, false);
  LARGE_INTEGER due;
  due.QuadPart = -10000000LL;  // one second
  KeSetTimerEx(&timer_, due, 1000, &dpc_);
  return CompleteRequest(irp, STATUS_SUCCESS);
}

NTSTATUS OsciDevice::Close(PIRP irp) {
  SetFlag(open_, false);
  return CompleteRequest(irp, STATUS_SUCCESS);
}

void OsciDevice::StoreReply(ULONG bytes) {
  if (!ring_ || bytes == 0) return;
  ring_->Lock();
  if (ring_->FreeLocked() > kMaxTransfer) {
    ring_->WriteLocked(reply_, bytes);
    dataEvent_.Signal();
  }
  ring_->Unlock();
}

NTSTATUS OsciDevice::Write(PIRP irp) {
  const ULONG requested = IoGetCurrentIrpStackLocation(irp)->Parameters.Write.Length;
  ULONG length = requested;
  if (length > outPipe_.MaximumTransferSize()) length = outPipe_.MaximumTransferSize();
  if (length > kMaxTransfer) length = kMaxTransfer;
  UCHAR* buffer = length ? BufferOf(irp) : nullptr;

  ExAcquireFastMutex(&ioMutex_);
  auto* urb = static_cast<PURB>(PoolAlloc(kUrbBlock));
  if (!urb) {
    ExReleaseFastMutex(&ioMutex_);
    return CompleteRequest(irp, STATUS_INSUFFICIENT_RESOURCES);
  }
  outPipe_.BuildTransfer(urb, buffer, length, 0);
  const NTSTATUS out = usb_.SubmitUrb(urb, nullptr, nullptr, kOutLimitMs);
  const ULONG sent = urb->UrbBulkOrInterruptTransfer.TransferBufferLength;
  PoolFree(urb);
  if (NT_ERROR(out)) {
    ExReleaseFastMutex(&ioMutex_);
    return CompleteRequest(irp, out);
  }

  NTSTATUS status = out == STATUS_TIMEOUT ? STATUS_TIMEOUT : STATUS_SUCCESS;
  ULONG_PTR reported = out == STATUS_TIMEOUT ? 0 : sent;
  urb = static_cast<PURB>(PoolAlloc(kUrbBlock));
  if (urb && reply_) {
    inPipe_.BuildTransfer(urb, reply_, kMaxTransfer, USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
    const NTSTATUS in = usb_.SubmitUrb(urb, nullptr, nullptr, kInLimitMs);
    if (in == STATUS_TIMEOUT) {
      SetFlag(pendingRead_, true);
      status = static_cast<NTSTATUS>(STATUS_REPLY_TIMEOUT);
      reported = sent;
    } else if (!NT_ERROR(in)) {
      StoreReply(urb->UrbBulkOrInterruptTransfer.TransferBufferLength);
    }
  }
  PoolFree(urb);
  ExReleaseFastMutex(&ioMutex_);
  return CompleteRequest(irp, status, reported);
}

NTSTATUS OsciDevice::Read(PIRP irp) {
  if (!ring_) return CompleteRequest(irp, STATUS_UNSUCCESSFUL);
  const ULONG length = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
  if (__atomic_exchange_n(&pendingRead_, 0, __ATOMIC_ACQ_REL)) {
    ExAcquireFastMutex(&ioMutex_);
    if (auto* urb = static_cast<PURB>(PoolAlloc(kUrbBlock))) {
      inPipe_.BuildTransfer(urb, reply_, kMaxTransfer, USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
      const NTSTATUS in = usb_.SubmitUrb(urb, nullptr, nullptr, kCatchUpLimitMs);
      if (!NT_ERROR(in) && in != STATUS_TIMEOUT) StoreReply(urb->UrbBulkOrInterruptTransfer.TransferBufferLength);
      PoolFree(urb);
    }
    ExReleaseFastMutex(&ioMutex_);
  }
  ULONG copied = 0;
  ring_->Lock();
  if (length) copied = ring_->ReadLocked(BufferOf(irp), length);
  ring_->Unlock();
  return CompleteRequest(irp, STATUS_SUCCESS, copied);
}

NTSTATUS OsciDevice::Flush(PIRP irp) {
  if (ring_) {
    ring_->Clear();
    SetFlag(pendingRead_, false);
  }
  return CompleteRequest(irp, STATUS_SUCCESS);
}

void OsciDevice::FeatureDone(PDEVICE_OBJECT, PIRP, PVOID context) { PoolFree(context); }

NTSTATUS OsciDevice::DeviceControl(PIRP irp) {
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  const ULONG code = sp->Parameters.DeviceIoControl.IoControlCode;
  void* in = sp->Parameters.DeviceIoControl.Type3InputBuffer;
  const ULONG inLength = sp->Parameters.DeviceIoControl.InputBufferLength;
  switch (code) {
    case IOCTL_SET_DATA_EVENT:
    case IOCTL_SET_REMOVAL_EVENT: {
      EventReference& event = code == IOCTL_SET_DATA_EVENT ? dataEvent_ : removalEvent_;
      if (!in) {
        event.Release();
        return CompleteRequest(irp, STATUS_SUCCESS);
      }
      if (inLength < sizeof(uint32_t)) return CompleteRequest(irp, STATUS_INVALID_PARAMETER);
      uint32_t handle;
      std::memcpy(&handle, in, sizeof handle);
      event.Set(handle);  // a handle that names no event leaves none held; still a success
      return CompleteRequest(irp, STATUS_SUCCESS);
    }
    case IOCTL_PING:
      return CompleteRequest(irp, STATUS_SUCCESS);
    case IOCTL_CLEAR_FEATURE:
    case IOCTL_SET_FEATURE: {
      if (!in || inLength < sizeof(uint16_t)) return CompleteRequest(irp, STATUS_INVALID_PARAMETER);
      uint16_t selector;
      std::memcpy(&selector, in, sizeof selector);
      const bool set = code == IOCTL_SET_FEATURE;
      if (selector == kFeatureWatchdog) SetFlag(keepAlive_, set);
      usb_.ControlFeature(set ? URB_FUNCTION_SET_FEATURE_TO_INTERFACE : URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE,
                          interface_.InterfaceNumber(), selector, FeatureDone, nullptr);
      return CompleteRequest(irp, STATUS_SUCCESS);
    }
    default:
      return CompleteRequest(irp, STATUS_INVALID_PARAMETER);
  }
}

NTSTATUS OsciDevice::Cleanup(PIRP irp) {
  usb_.ControlFeature(URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE, interface_.InterfaceNumber(), kFeatureWatchdog,
                      nullptr, nullptr, kCleanupFeatureLimitMs);
  StopTimer();
  dataEvent_.Release();
  removalEvent_.Release();
  return CompleteRequest(irp, STATUS_SUCCESS);
}

void OsciDevice::KeepAliveTimer(PKDPC, PVOID context, PVOID, PVOID) {
  auto* self = static_cast<OsciDevice*>(context);
  if (!self->Flag(self->keepAlive_)) return;
  self->usb_.ControlFeature(URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE, self->interface_.InterfaceNumber(),
                            kFeatureKeepAlive, FeatureDone, nullptr);
}

}  // namespace qrtdrv
