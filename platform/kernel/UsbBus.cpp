// The simulated USB bus: its physical device objects answer request blocks by calling the
// device behind them (ISimUsbDevice), and answer plug-and-play and power requests as a bus
// driver does. Also the configuration helpers of the USB driver library.
#include "HostInternal.h"

#include <cstring>

namespace kvp::kernel {

namespace {

// Pipe and interface handles the bus gives out: opaque values that carry the endpoint address.
constexpr uintptr_t kPipeHandleBase = 0x5000;
constexpr uintptr_t kInterfaceHandleBase = 0x4000;
constexpr uintptr_t kConfigurationHandle = 0x3001;

DeviceNode& NodeOf(PDEVICE_OBJECT pdo) { return *Record(pdo)->node; }

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information = 0) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

// The configuration descriptor of a value, as the device reports it, or empty.
std::vector<uint8_t> FindConfiguration(ISimUsbDevice& usb, UCHAR value) {
  std::vector<uint8_t> device;
  if (!usb.DeviceDescriptor(device) || device.size() < sizeof(USB_DEVICE_DESCRIPTOR)) return {};
  const UCHAR count = device[17];
  for (UCHAR i = 0; i < count; ++i) {
    std::vector<uint8_t> config;
    if (usb.ConfigurationDescriptor(i, config) && config.size() >= sizeof(USB_CONFIGURATION_DESCRIPTOR) &&
        config[5] == value)
      return config;
  }
  return {};
}

NTSTATUS SelectConfiguration(DeviceNode& node, PURB urb) {
  auto& select = urb->UrbSelectConfiguration;
  if (!select.ConfigurationDescriptor) {  // deselect
    select.Hdr.Status = USBD_STATUS_SUCCESS;
    return STATUS_SUCCESS;
  }
  std::vector<uint8_t> config = FindConfiguration(*node.usb, select.ConfigurationDescriptor->bConfigurationValue);
  if (config.empty()) {
    select.Hdr.Status = USBD_STATUS_INVALID_PARAMETER;
    return STATUS_INVALID_PARAMETER;
  }
  const size_t total = std::min<size_t>(config.size(), config[2] | (config[3] << 8));
  // Walk the interface records of the request; each names an interface and alternate setting.
  auto* cursor = reinterpret_cast<uint8_t*>(&select.Interface);
  auto* end = reinterpret_cast<uint8_t*>(urb) + select.Hdr.Length;
  while (cursor + sizeof(USBD_INTERFACE_INFORMATION) <= end) {
    auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(cursor);
    if (info->Length < sizeof(USBD_INTERFACE_INFORMATION) || cursor + info->Length > end) break;
    const size_t capacity = 1 + (info->Length - sizeof(USBD_INTERFACE_INFORMATION)) / sizeof(USBD_PIPE_INFORMATION);
    // Find the interface in the device's own descriptor and hand out its endpoints.
    bool found = false;
    ULONG pipes = 0;
    for (size_t p = 0; p + 2 <= total && config[p] >= 2 && p + config[p] <= total;) {
      const uint8_t length = config[p], type = config[p + 1];
      if (type == USB_INTERFACE_DESCRIPTOR_TYPE && length >= 9) {
        if (found) break;
        found = config[p + 2] == info->InterfaceNumber && config[p + 3] == info->AlternateSetting;
        if (found) {
          info->Class = config[p + 5];
          info->SubClass = config[p + 6];
          info->Protocol = config[p + 7];
        }
      } else if (type == USB_ENDPOINT_DESCRIPTOR_TYPE && length >= 7 && found) {
        if (pipes < capacity) {
          auto& pipe = info->Pipes[pipes];
          const ULONG requested = pipe.MaximumTransferSize;
          pipe.EndpointAddress = config[p + 2];
          pipe.PipeType = static_cast<USBD_PIPE_TYPE>(config[p + 3] & 3);
          pipe.MaximumPacketSize = static_cast<USHORT>(config[p + 4] | (config[p + 5] << 8));
          pipe.Interval = config[p + 6];
          pipe.PipeHandle = reinterpret_cast<USBD_PIPE_HANDLE>(kPipeHandleBase + pipe.EndpointAddress);
          pipe.MaximumTransferSize = requested ? requested : 4096;
        }
        ++pipes;
      }
      p += length;
    }
    if (!found || pipes > capacity) {
      select.Hdr.Status = USBD_STATUS_INVALID_PARAMETER;
      return STATUS_INVALID_PARAMETER;
    }
    info->NumberOfPipes = pipes;
    info->InterfaceHandle = reinterpret_cast<USBD_INTERFACE_HANDLE>(kInterfaceHandleBase + info->InterfaceNumber);
    cursor += info->Length;
  }
  select.ConfigurationHandle = reinterpret_cast<USBD_CONFIGURATION_HANDLE>(kConfigurationHandle);
  select.Hdr.Status = USBD_STATUS_SUCCESS;
  return STATUS_SUCCESS;
}

NTSTATUS GetDescriptor(DeviceNode& node, PURB urb) {
  auto& request = urb->UrbControlDescriptorRequest;
  std::vector<uint8_t> bytes;
  bool ok = false;
  if (request.DescriptorType == USB_DEVICE_DESCRIPTOR_TYPE) ok = node.usb->DeviceDescriptor(bytes);
  if (request.DescriptorType == USB_CONFIGURATION_DESCRIPTOR_TYPE)
    ok = node.usb->ConfigurationDescriptor(request.Index, bytes);
  void* target = request.TransferBuffer ? request.TransferBuffer
                                        : (request.TransferBufferMDL ? request.TransferBufferMDL->StartVa : nullptr);
  if (!ok || !target) {
    request.Hdr.Status = USBD_STATUS_STALL_PID;
    request.TransferBufferLength = 0;
    return STATUS_UNSUCCESSFUL;
  }
  const size_t n = std::min<size_t>(bytes.size(), request.TransferBufferLength);
  std::memcpy(target, bytes.data(), n);
  request.TransferBufferLength = static_cast<ULONG>(n);
  request.Hdr.Status = USBD_STATUS_SUCCESS;
  return STATUS_SUCCESS;
}

// The transfer a pending bulk request waits on, kept in the request while it is in the bus.
struct PendingTransfer {
  std::shared_ptr<SimUsbTransfer> transfer;
  std::shared_ptr<ISimUsbDevice> usb;
};

// The request completes when the device has let go of its buffer, which may be later.
void CancelBulk(PDEVICE_OBJECT, PIRP irp) {
  auto* pending = static_cast<PendingTransfer*>(irp->Tail.Overlay.DriverContext[0]);
  auto transfer = pending->transfer;
  auto usb = pending->usb;
  IoReleaseCancelSpinLock(irp->CancelIrql);
  usb->CancelTransfer(transfer);
}

// Feature requests and pipe resets pend until the device answers; the driver's keep-alive sends
// them from its DPC, which must not wait for the wire.
NTSTATUS PendUntilDone(PIRP irp, PURB urb, const std::function<void(std::function<void(NTSTATUS)>)>& start) {
  IoMarkIrpPending(irp);
  start([irp, urb](NTSTATUS s) {
    urb->UrbHeader.Status = NT_SUCCESS(s) ? USBD_STATUS_SUCCESS
                            : s == STATUS_DEVICE_NOT_CONNECTED ? USBD_STATUS_DEVICE_GONE
                                                               : USBD_STATUS_STALL_PID;
    Complete(irp, s);
  });
  return STATUS_PENDING;
}

NTSTATUS BulkTransfer(DeviceNode& node, PIRP irp, PURB urb) {
  auto& bulk = urb->UrbBulkOrInterruptTransfer;
  const auto endpoint = static_cast<uint8_t>(reinterpret_cast<uintptr_t>(bulk.PipeHandle) - kPipeHandleBase);
  if (reinterpret_cast<uintptr_t>(bulk.PipeHandle) < kPipeHandleBase ||
      reinterpret_cast<uintptr_t>(bulk.PipeHandle) > kPipeHandleBase + 0xFF ||
      ((endpoint & 0x80) != 0) != ((bulk.TransferFlags & USBD_TRANSFER_DIRECTION_IN) != 0)) {
    bulk.Hdr.Status = USBD_STATUS_INVALID_PARAMETER;
    return Complete(irp, STATUS_INVALID_PARAMETER);
  }
  void* buffer = bulk.TransferBuffer ? bulk.TransferBuffer
                                     : (bulk.TransferBufferMDL ? bulk.TransferBufferMDL->StartVa : nullptr);
  auto* pending = new PendingTransfer;
  pending->usb = node.usb;
  pending->transfer = std::make_shared<SimUsbTransfer>(
      endpoint, static_cast<uint8_t*>(buffer), buffer ? bulk.TransferBufferLength : 0,
      [irp, urb, pending](NTSTATUS status, size_t bytes) {
        KIRQL irql;
        IoAcquireCancelSpinLock(&irql);  // a cancel routine already called has taken its copies
        IoSetCancelRoutine(irp, nullptr);
        IoReleaseCancelSpinLock(irql);
        auto& b = urb->UrbBulkOrInterruptTransfer;
        b.TransferBufferLength = NT_SUCCESS(status) ? static_cast<ULONG>(bytes) : 0;
        b.Hdr.Status = NT_SUCCESS(status) ? USBD_STATUS_SUCCESS
                       : status == STATUS_CANCELLED ? USBD_STATUS_CANCELED
                       : status == STATUS_DEVICE_NOT_CONNECTED ? USBD_STATUS_DEVICE_GONE
                                                               : USBD_STATUS_STALL_PID;
        irp->Tail.Overlay.DriverContext[0] = nullptr;
        delete pending;
        Complete(irp, status, 0);
      });
  irp->Tail.Overlay.DriverContext[0] = pending;
  IoMarkIrpPending(irp);
  auto transfer = pending->transfer;
  auto usb = node.usb;
  IoSetCancelRoutine(irp, CancelBulk);
  if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
    if (transfer->Claim()) transfer->Finish(STATUS_CANCELLED, 0);
    return STATUS_PENDING;
  }
  usb->Submit(transfer);
  return STATUS_PENDING;
}

NTSTATUS BusInternalControl(PDEVICE_OBJECT pdo, PIRP irp) {
  DeviceNode& node = NodeOf(pdo);
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  if (sp->Parameters.DeviceIoControl.IoControlCode != IOCTL_INTERNAL_USB_SUBMIT_URB)
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
  auto* urb = static_cast<PURB>(sp->Parameters.Others.Argument1);
  if (!urb) return Complete(irp, STATUS_INVALID_PARAMETER);
  std::shared_lock bus(node.busMu);
  if (node.gone) {
    urb->UrbHeader.Status = USBD_STATUS_DEVICE_GONE;
    return Complete(irp, STATUS_DEVICE_NOT_CONNECTED);
  }
  switch (urb->UrbHeader.Function) {
    case URB_FUNCTION_SELECT_CONFIGURATION:
      return Complete(irp, SelectConfiguration(node, urb));
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER:
      return BulkTransfer(node, irp, urb);
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE:
      return Complete(irp, GetDescriptor(node, urb));
    case URB_FUNCTION_SET_FEATURE_TO_INTERFACE:
    case URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE: {
      auto& f = urb->UrbControlFeatureRequest;
      const bool set = f.Hdr.Function == URB_FUNCTION_SET_FEATURE_TO_INTERFACE;
      const USHORT selector = f.FeatureSelector, index = f.Index;
      auto usb = node.usb;
      return PendUntilDone(irp, urb,
                           [&](auto done) { usb->InterfaceFeatureAsync(set, selector, index, std::move(done)); });
    }
    case URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL: {
      auto& p = urb->UrbPipeRequest;
      const auto endpoint = static_cast<uint8_t>(reinterpret_cast<uintptr_t>(p.PipeHandle) - kPipeHandleBase);
      auto usb = node.usb;
      return PendUntilDone(irp, urb, [&](auto done) { usb->ResetPipeAsync(endpoint, std::move(done)); });
    }
    default:
      urb->UrbHeader.Status = USBD_STATUS_INVALID_PARAMETER;
      return Complete(irp, STATUS_INVALID_PARAMETER);
  }
}

NTSTATUS BusPnp(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  switch (sp->MinorFunction) {
    case IRP_MN_START_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_REMOVE_DEVICE:
      return Complete(irp, STATUS_SUCCESS);
    case IRP_MN_QUERY_CAPABILITIES: {
      PDEVICE_CAPABILITIES caps = sp->Parameters.DeviceCapabilities.Capabilities;
      if (!caps || caps->Version != 1 || caps->Size < sizeof(DEVICE_CAPABILITIES))
        return Complete(irp, STATUS_UNSUCCESSFUL);
      caps->Removable = 1;
      caps->SurpriseRemovalOK = 0;
      caps->DeviceState[PowerSystemWorking] = PowerDeviceD0;
      for (int s = PowerSystemSleeping1; s <= PowerSystemSleeping3; ++s) caps->DeviceState[s] = PowerDeviceD2;
      caps->DeviceState[PowerSystemHibernate] = PowerDeviceD3;
      caps->DeviceState[PowerSystemShutdown] = PowerDeviceD3;
      return Complete(irp, STATUS_SUCCESS);
    }
    default:
      return Complete(irp, irp->IoStatus.Status);
  }
}

NTSTATUS BusPower(PDEVICE_OBJECT, PIRP irp) {
  PoStartNextPowerIrp(irp);
  const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
  if (minor == IRP_MN_SET_POWER || minor == IRP_MN_QUERY_POWER) return Complete(irp, STATUS_SUCCESS);
  return Complete(irp, irp->IoStatus.Status);
}

NTSTATUS BusSystemControl(PDEVICE_OBJECT, PIRP irp) { return Complete(irp, irp->IoStatus.Status); }

}  // namespace

void InitBusDriver(DRIVER_OBJECT& driver) {
  driver.MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = BusInternalControl;
  driver.MajorFunction[IRP_MJ_PNP] = BusPnp;
  driver.MajorFunction[IRP_MJ_POWER] = BusPower;
  driver.MajorFunction[IRP_MJ_SYSTEM_CONTROL] = BusSystemControl;
}

PDEVICE_OBJECT CreateBusPdo(KernelHost::Impl& host, const std::shared_ptr<DeviceNode>& node) {
  PDEVICE_OBJECT pdo = nullptr;
  IoCreateDevice(host.busDriver.get(), 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &pdo);
  pdo->Flags &= ~DO_DEVICE_INITIALIZING;
  {
    std::lock_guard lock(host.mu);
    Record(pdo)->node = node;
  }
  node->pdo = pdo;
  return pdo;
}

}  // namespace kvp::kernel

using namespace kvp::kernel;

extern "C" {

PLATFORM_API PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptorEx(PUSB_CONFIGURATION_DESCRIPTOR config,
                                                                          PVOID start, LONG interfaceNumber,
                                                                          LONG alternateSetting, LONG cls,
                                                                          LONG subClass, LONG protocol) {
  auto* base = reinterpret_cast<uint8_t*>(config);
  const size_t total = config->wTotalLength;
  size_t p = start ? static_cast<size_t>(static_cast<uint8_t*>(start) - base) : 0;
  while (p + 2 <= total) {
    const uint8_t length = base[p], type = base[p + 1];
    if (length < 2 || p + length > total) break;  // a broken descriptor ends the walk
    if (type == USB_INTERFACE_DESCRIPTOR_TYPE && length >= sizeof(USB_INTERFACE_DESCRIPTOR)) {
      auto* d = reinterpret_cast<PUSB_INTERFACE_DESCRIPTOR>(base + p);
      if ((interfaceNumber == -1 || d->bInterfaceNumber == interfaceNumber) &&
          (alternateSetting == -1 || d->bAlternateSetting == alternateSetting) &&
          (cls == -1 || d->bInterfaceClass == cls) && (subClass == -1 || d->bInterfaceSubClass == subClass) &&
          (protocol == -1 || d->bInterfaceProtocol == protocol))
        return d;
    }
    p += length;
  }
  return nullptr;
}

PLATFORM_API PURB USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR config,
                                                   PUSBD_INTERFACE_LIST_ENTRY list) {
  size_t bytes = sizeof(_URB_SELECT_CONFIGURATION) - sizeof(USBD_INTERFACE_INFORMATION);
  for (auto* e = list; e->InterfaceDescriptor; ++e) bytes += GET_USBD_INTERFACE_SIZE(e->InterfaceDescriptor->bNumEndpoints);
  auto* urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, bytes, PoolTag("USBD")));
  if (!urb) return nullptr;
  std::memset(static_cast<void*>(urb), 0, bytes);
  urb->UrbSelectConfiguration.Hdr.Length = static_cast<USHORT>(bytes);
  urb->UrbSelectConfiguration.Hdr.Function = URB_FUNCTION_SELECT_CONFIGURATION;
  urb->UrbSelectConfiguration.ConfigurationDescriptor = config;
  auto* cursor = reinterpret_cast<uint8_t*>(&urb->UrbSelectConfiguration.Interface);
  for (auto* e = list; e->InterfaceDescriptor; ++e) {
    auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(cursor);
    const UCHAR pipes = e->InterfaceDescriptor->bNumEndpoints;
    info->Length = static_cast<USHORT>(GET_USBD_INTERFACE_SIZE(pipes));
    info->InterfaceNumber = e->InterfaceDescriptor->bInterfaceNumber;
    info->AlternateSetting = e->InterfaceDescriptor->bAlternateSetting;
    info->NumberOfPipes = pipes;
    for (UCHAR i = 0; i < pipes; ++i) info->Pipes[i].MaximumTransferSize = 4096;
    e->Interface = info;
    cursor += info->Length;
  }
  return urb;
}

}  // extern "C"
