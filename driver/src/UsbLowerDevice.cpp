#include "UsbLowerDevice.h"

#include <cstring>

namespace qrtdrv {

namespace {

constexpr ULONG kUrbBlock = 96;  // every request block the driver allocates

struct SyncContext {
  KEVENT done;
  NTSTATUS status;
};

NTSTATUS SyncDone(PDEVICE_OBJECT, PIRP irp, PVOID context) {
  auto* sync = static_cast<SyncContext*>(context);
  sync->status = irp->IoStatus.Status;
  KeSetEvent(&sync->done, IO_NO_INCREMENT, FALSE);
  return STATUS_MORE_PROCESSING_REQUIRED;  // the submitter frees the packet
}

struct AsyncContext {
  UrbCompletion routine;
  PVOID context;
  PDEVICE_OBJECT device;
};

NTSTATUS AsyncDone(PDEVICE_OBJECT, PIRP irp, PVOID context) {
  auto* async = static_cast<AsyncContext*>(context);
  async->routine(async->device, irp, async->context);
  IoFreeIrp(irp);
  PoolFree(async);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

template <class T>
bool Grow(T**& array, ULONG& count, T* item) {
  auto** bigger = static_cast<T**>(PoolAlloc(sizeof(T*) * (count + 1)));
  if (!bigger) return false;
  if (count) std::memcpy(bigger, array, sizeof(T*) * count);
  bigger[count++] = item;
  PoolFree(array);
  array = bigger;
  return true;
}

}  // namespace

UsbInterface::UsbInterface(UsbLowerDevice& device, UCHAR configurationValue, UCHAR interfaceNumber,
                           UCHAR alternateSetting)
    : configurationValue_(configurationValue), interfaceNumber_(interfaceNumber), alternateSetting_(alternateSetting) {
  device.Declare(this);
}

UsbPipe::UsbPipe(UsbLowerDevice& device, UCHAR endpointAddress, ULONG maximumTransferSize)
    : endpointAddress_(endpointAddress), maximumTransferSize_(maximumTransferSize) {
  device.Declare(this);
}

void UsbPipe::BuildTransfer(PURB urb, void* buffer, ULONG length, ULONG flags) const {
  std::memset(static_cast<void*>(urb), 0, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER));
  auto& bulk = urb->UrbBulkOrInterruptTransfer;
  bulk.Hdr.Length = sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER);
  bulk.Hdr.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
  bulk.PipeHandle = information_.PipeHandle;
  bulk.TransferFlags = flags;
  bulk.TransferBufferLength = length;
  bulk.TransferBuffer = buffer;
}

UsbLowerDevice::~UsbLowerDevice() { ReleaseResources(); }

bool UsbLowerDevice::Declare(UsbInterface* i) { return Grow(interfaces_, interfaceCount_, i); }
bool UsbLowerDevice::Declare(UsbPipe* p) { return Grow(pipes_, pipeCount_, p); }

NTSTATUS UsbLowerDevice::SubmitUrb(PURB urb, UrbCompletion routine, PVOID context, ULONG timeLimitMs) {
  PDEVICE_OBJECT lower = __atomic_load_n(&lower_, __ATOMIC_ACQUIRE);
  if (!lower) {
    if (routine) routine(self_, nullptr, context);
    return STATUS_NO_SUCH_DEVICE;
  }
  PIRP irp = IoAllocateIrp(lower->StackSize, FALSE);
  AsyncContext* async = nullptr;
  if (irp && routine) {
    async = static_cast<AsyncContext*>(PoolAlloc(sizeof(AsyncContext)));
    if (!async) {
      IoFreeIrp(irp);
      irp = nullptr;
    }
  }
  if (!irp) {
    if (routine) routine(self_, nullptr, context);  // it frees the request block and its context
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
  next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
  next->Parameters.Others.Argument1 = urb;

  if (routine) {
    *async = AsyncContext{routine, context, self_};
    IoSetCompletionRoutine(irp, AsyncDone, async, TRUE, TRUE, TRUE);
    return IoCallDriver(lower, irp);
  }

  SyncContext sync;
  KeInitializeEvent(&sync.done, NotificationEvent, FALSE);
  sync.status = STATUS_PENDING;
  IoSetCompletionRoutine(irp, SyncDone, &sync, TRUE, TRUE, TRUE);
  NTSTATUS status = IoCallDriver(lower, irp);
  if (status == STATUS_PENDING) {
    LARGE_INTEGER limit;
    limit.QuadPart = -static_cast<LONGLONG>(timeLimitMs) * 10000;
    if (KeWaitForSingleObject(&sync.done, Executive, KernelMode, FALSE, timeLimitMs ? &limit : nullptr) ==
        STATUS_TIMEOUT) {
      IoCancelIrp(irp);
      KeWaitForSingleObject(&sync.done, Executive, KernelMode, FALSE, nullptr);
      status = STATUS_TIMEOUT;
    } else {
      status = sync.status;
    }
  }
  IoFreeIrp(irp);
  return status;
}

NTSTATUS UsbLowerDevice::ControlFeature(USHORT function, USHORT index, USHORT selector, UrbCompletion routine,
                                        PVOID context, ULONG timeLimitMs) {
  auto urb = static_cast<PURB>(PoolAlloc(kUrbBlock));
  if (!urb) return STATUS_INSUFFICIENT_RESOURCES;
  std::memset(static_cast<void*>(urb), 0, kUrbBlock);
  auto& f = urb->UrbControlFeatureRequest;
  f.Hdr.Length = sizeof(_URB_CONTROL_FEATURE_REQUEST);
  f.Hdr.Function = function;
  f.FeatureSelector = selector;
  f.Index = index;
  if (routine) return SubmitUrb(urb, routine, context ? context : urb, 0);
  const NTSTATUS status = SubmitUrb(urb, nullptr, nullptr, timeLimitMs);
  PoolFree(urb);
  return status;
}

int UsbLowerDevice::ActivateConfiguration(UCHAR value, ULONG size) {
  URB urb;
  std::memset(static_cast<void*>(&urb), 0, sizeof urb);
  auto& get = urb.UrbControlDescriptorRequest;
  get.Hdr.Length = sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST);
  get.Hdr.Function = URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE;
  get.DescriptorType = USB_DEVICE_DESCRIPTOR_TYPE;
  get.TransferBuffer = &deviceDescriptor_;
  get.TransferBufferLength = sizeof deviceDescriptor_;
  if (!NT_SUCCESS(SubmitUrb(&urb, nullptr, nullptr, 0)) || get.TransferBufferLength < sizeof deviceDescriptor_)
    return kNoDeviceDescriptor;

  FreeSelection();
  if (size < sizeof(USB_CONFIGURATION_DESCRIPTOR)) return kNoConfiguration;
  PoolFree(configuration_);
  configuration_ = static_cast<PUSB_CONFIGURATION_DESCRIPTOR>(PoolAlloc(size));
  if (!configuration_) return kNoConfiguration;
  bool found = false;
  for (UCHAR index = 0; index < deviceDescriptor_.bNumConfigurations && !found; ++index) {
    std::memset(static_cast<void*>(&urb), 0, sizeof urb);
    get.Hdr.Length = sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST);
    get.Hdr.Function = URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE;
    get.DescriptorType = USB_CONFIGURATION_DESCRIPTOR_TYPE;
    get.Index = index;
    get.TransferBuffer = configuration_;
    get.TransferBufferLength = size;
    if (!NT_SUCCESS(SubmitUrb(&urb, nullptr, nullptr, 0)) ||
        get.TransferBufferLength < sizeof(USB_CONFIGURATION_DESCRIPTOR))
      return kNoConfiguration;
    // A configuration longer than the buffer was cut: read only what arrived.
    if (configuration_->wTotalLength > get.TransferBufferLength)
      configuration_->wTotalLength = static_cast<USHORT>(get.TransferBufferLength);
    found = configuration_->bConfigurationValue == value;
  }
  if (!found) return kNoConfiguration;

  ULONG wanted = 0;
  for (ULONG i = 0; i < interfaceCount_; ++i) wanted += interfaces_[i]->configurationValue_ == value;
  interfaceList_ = static_cast<PUSBD_INTERFACE_LIST_ENTRY>(PoolAlloc(sizeof(USBD_INTERFACE_LIST_ENTRY) * (wanted + 1)));
  if (!interfaceList_) return kNoMemory;
  std::memset(interfaceList_, 0, sizeof(USBD_INTERFACE_LIST_ENTRY) * (wanted + 1));
  ULONG n = 0;
  for (ULONG i = 0; i < interfaceCount_; ++i) {
    UsbInterface* ui = interfaces_[i];
    if (ui->configurationValue_ != value) continue;
    PUSB_INTERFACE_DESCRIPTOR d = USBD_ParseConfigurationDescriptorEx(configuration_, configuration_,
                                                                      ui->interfaceNumber_, ui->alternateSetting_,
                                                                      -1, -1, -1);
    if (!d) return kNoInterface;
    interfaceList_[n++].InterfaceDescriptor = d;
  }

  PURB select = USBD_CreateConfigurationRequestEx(configuration_, interfaceList_);
  if (!select) return kSelectFailed;
  // The endpoints that are declared pipes get the pipe's transfer size.
  for (ULONG e = 0; e < n; ++e) {
    PUSB_INTERFACE_DESCRIPTOR d = interfaceList_[e].InterfaceDescriptor;
    auto* base = reinterpret_cast<UCHAR*>(configuration_);
    ULONG p = static_cast<ULONG>(reinterpret_cast<UCHAR*>(d) - base) + d->bLength;
    ULONG endpoint = 0;
    while (p + 2 <= configuration_->wTotalLength && base[p] >= 2 && p + base[p] <= configuration_->wTotalLength &&
           base[p + 1] != USB_INTERFACE_DESCRIPTOR_TYPE) {
      if (base[p + 1] == USB_ENDPOINT_DESCRIPTOR_TYPE && base[p] >= 7 && endpoint < d->bNumEndpoints) {
        for (ULONG k = 0; k < pipeCount_; ++k)
          if (pipes_[k]->endpointAddress_ == base[p + 2])
            interfaceList_[e].Interface->Pipes[endpoint].MaximumTransferSize = pipes_[k]->maximumTransferSize_;
        ++endpoint;
      }
      p += base[p];
    }
  }
  if (!NT_SUCCESS(SubmitUrb(select, nullptr, nullptr, 0))) {
    ExFreePool(select);
    return kSelectFailed;
  }
  configurationHandle_ = select->UrbSelectConfiguration.ConfigurationHandle;
  n = 0;
  for (ULONG i = 0; i < interfaceCount_; ++i) {
    UsbInterface* ui = interfaces_[i];
    if (ui->configurationValue_ != value) continue;
    PUSBD_INTERFACE_INFORMATION info = interfaceList_[n++].Interface;
    if (!info || !info->InterfaceHandle) continue;
    ui->information_ = static_cast<PUSBD_INTERFACE_INFORMATION>(PoolAlloc(info->Length));
    if (ui->information_) std::memcpy(ui->information_, info, info->Length);
  }
  ExFreePool(select);

  int result = kConfigured;
  for (ULONG i = 0; i < interfaceCount_; ++i) {
    UsbInterface* ui = interfaces_[i];
    if (ui->configurationValue_ != value) continue;
    PUSBD_INTERFACE_INFORMATION info = ui->information_;
    if (!info) return kNoInterfaceInformation;
    ULONG bound = 0;
    for (ULONG k = 0; k < pipeCount_; ++k) {
      for (ULONG j = 0; j < info->NumberOfPipes; ++j) {
        if (info->Pipes[j].EndpointAddress != pipes_[k]->endpointAddress_) continue;
        pipes_[k]->information_ = info->Pipes[j];
        ++bound;
      }
    }
    if (bound != info->NumberOfPipes) result = kPipeCountDiffers;
  }
  return result;
}

NTSTATUS UsbLowerDevice::DeactivateConfiguration() {
  _URB_SELECT_CONFIGURATION urb;
  std::memset(static_cast<void*>(&urb), 0, sizeof urb);
  urb.Hdr.Length = sizeof urb;
  urb.Hdr.Function = URB_FUNCTION_SELECT_CONFIGURATION;
  const NTSTATUS status = SubmitUrb(reinterpret_cast<PURB>(&urb), nullptr, nullptr, 0);
  FreeSelection();
  return status;
}

void UsbLowerDevice::FreeSelection() {
  PoolFree(interfaceList_);
  interfaceList_ = nullptr;
  configurationHandle_ = nullptr;
  for (ULONG i = 0; i < interfaceCount_; ++i) {
    PoolFree(interfaces_[i]->information_);
    interfaces_[i]->information_ = nullptr;
  }
  for (ULONG k = 0; k < pipeCount_; ++k) pipes_[k]->information_ = USBD_PIPE_INFORMATION{};
}

void UsbLowerDevice::ReleaseResources() {
  if (interfaces_ || pipes_) FreeSelection();
  PoolFree(configuration_);
  configuration_ = nullptr;
  PoolFree(interfaces_);
  interfaces_ = nullptr;
  interfaceCount_ = 0;
  PoolFree(pipes_);
  pipes_ = nullptr;
  pipeCount_ = 0;
}

}  // namespace qrtdrv
