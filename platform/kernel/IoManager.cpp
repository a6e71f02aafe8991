// The I/O manager: device objects and stacks, request packets with their stack locations,
// completion (completion routines run upward, pending propagates, STATUS_MORE_PROCESSING_REQUIRED
// stops the walk), cancellation, device interfaces, memory descriptors and the power manager's
// calls.
#include "HostInternal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kvp::kernel {

namespace {

[[noreturn]] void BugCheck(const char* what) {
  std::fprintf(stderr, "kernel host: %s\n", what);
  std::abort();
}

KernelHost::Impl* HostOf(PDEVICE_OBJECT device) { return static_cast<KernelHost::Impl*>(device->DriverObject->Host); }

// The waiting end of a request the host built (IRP::HostRequest).
struct HostRequest {
  std::mutex mu;
  std::condition_variable cv;
  bool done = false;
};

}  // namespace

PDEVICE_OBJECT TopOfStack(PDEVICE_OBJECT device) {
  while (device->AttachedDevice) device = device->AttachedDevice;
  return device;
}

std::string GuidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

NTSTATUS KernelHost::Impl::SendAndWait(PDEVICE_OBJECT target, const std::function<void(PIO_STACK_LOCATION)>& setup,
                                       PFILE_OBJECT file, PMDL mdl, ULONG_PTR* information, NTSTATUS initialStatus) {
  PIRP irp = IoAllocateIrp(target->StackSize, FALSE);
  if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
  HostRequest request;
  irp->HostRequest = &request;
  irp->IoStatus.Status = initialStatus;
  irp->MdlAddress = mdl;
  irp->RequestorMode = file ? UserMode : KernelMode;
  irp->Tail.Overlay.OriginalFileObject = file;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->FileObject = file;
  setup(next);
  IoCallDriver(target, irp);
  {
    std::unique_lock lock(request.mu);
    request.cv.wait(lock, [&] { return request.done; });
  }
  const NTSTATUS status = irp->IoStatus.Status;
  if (information) *information = irp->IoStatus.Information;
  IoFreeIrp(irp);
  return status;
}

}  // namespace kvp::kernel

using namespace kvp::kernel;

extern "C" {

PLATFORM_API NTSTATUS IoCreateDevice(PDRIVER_OBJECT driver, ULONG extensionSize, PUNICODE_STRING name, ULONG type,
                                     ULONG characteristics, BOOLEAN, PDEVICE_OBJECT* device) {
  auto* host = static_cast<KernelHost::Impl*>(driver->Host);
  const std::string text = name ? ToAscii(name->Buffer, name->Length / sizeof(WCHAR)) : std::string();
  auto record = std::make_unique<DeviceRecord>();
  {
    std::lock_guard lock(host->mu);
    if (!text.empty())
      for (auto* d : host->devices)
        if (!d->deleted && Lower(d->name) == Lower(text)) return STATUS_OBJECT_NAME_COLLISION;
    record->name = text;
    record->extension.reset(new max_align_t[(extensionSize + sizeof(max_align_t) - 1) / sizeof(max_align_t) + 1]);
    std::memset(record->extension.get(), 0, extensionSize);
    record->obj.DriverObject = driver;
    record->obj.DeviceExtension = extensionSize ? record->extension.get() : nullptr;
    record->obj.DeviceType = type;
    record->obj.Characteristics = characteristics;
    record->obj.Flags = DO_DEVICE_INITIALIZING;
    record->obj.StackSize = 1;
    record->obj.Host = host;
    record->obj.NextDevice = driver->DeviceObject;
    driver->DeviceObject = &record->obj;
    host->devices.push_back(record.get());
  }
  *device = &record.release()->obj;
  return STATUS_SUCCESS;
}

PLATFORM_API void IoDeleteDevice(PDEVICE_OBJECT device) {
  auto* host = HostOf(device);
  std::lock_guard lock(host->mu);
  auto* record = Record(device);
  for (PDEVICE_OBJECT* link = &device->DriverObject->DeviceObject; *link; link = &(*link)->NextDevice) {
    if (*link == device) {
      *link = device->NextDevice;
      break;
    }
  }
  record->deleted = true;
  host->FreeDeviceIfUnused(record);
}

PLATFORM_API PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT source, PDEVICE_OBJECT target) {
  auto* host = HostOf(target);
  std::lock_guard lock(host->mu);
  if (Record(target)->deleted || host->refuseAttach) return nullptr;
  PDEVICE_OBJECT top = TopOfStack(target);
  top->AttachedDevice = source;
  source->StackSize = static_cast<CHAR>(top->StackSize + 1);
  Record(source)->lower = top;
  return top;
}

PLATFORM_API void IoDetachDevice(PDEVICE_OBJECT target) {
  auto* host = HostOf(target);
  std::lock_guard lock(host->mu);
  if (PDEVICE_OBJECT above = target->AttachedDevice) Record(above)->lower = nullptr;
  target->AttachedDevice = nullptr;
}

PLATFORM_API PIRP IoAllocateIrp(CHAR stackSize, BOOLEAN) {
  if (stackSize < 1) stackSize = 1;
  const size_t bytes = sizeof(IRP) + static_cast<size_t>(stackSize) * sizeof(IO_STACK_LOCATION);
  auto* irp = static_cast<PIRP>(ExAllocatePoolWithTag(NonPagedPool, bytes, kIrpTag));
  if (!irp) return nullptr;
  std::memset(static_cast<void*>(irp), 0, bytes);
  irp->Size = static_cast<USHORT>(bytes);
  irp->StackCount = stackSize;
  irp->CurrentLocation = static_cast<CHAR>(stackSize + 1);
  irp->Stack = reinterpret_cast<IO_STACK_LOCATION*>(irp + 1);
  InitializeListHead(&irp->Tail.Overlay.ListEntry);
  return irp;
}

PLATFORM_API void IoFreeIrp(PIRP irp) { ExFreePool(irp); }

PLATFORM_API NTSTATUS IoCallDriver(PDEVICE_OBJECT device, PIRP irp) {
  irp->CurrentLocation--;
  if (irp->CurrentLocation < 1) BugCheck("no more stack locations");
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  sp->DeviceObject = device;
  PDRIVER_DISPATCH dispatch = device->DriverObject->MajorFunction[sp->MajorFunction];
  return dispatch(device, irp);
}

PLATFORM_API void IoCompleteRequest(PIRP irp, CHAR) {
  if (irp->CurrentLocation > irp->StackCount + 1) BugCheck("request completed twice");
  while (irp->CurrentLocation <= irp->StackCount) {
    PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
    irp->PendingReturned = (sp->Control & SL_PENDING_RETURNED) != 0;
    const PIO_COMPLETION_ROUTINE routine = sp->CompletionRoutine;
    const PVOID context = sp->Context;
    const UCHAR control = sp->Control;
    irp->CurrentLocation++;
    PDEVICE_OBJECT upper =
        irp->CurrentLocation <= irp->StackCount ? IoGetCurrentIrpStackLocation(irp)->DeviceObject : nullptr;
    const NTSTATUS status = irp->IoStatus.Status;
    const bool invoke = routine && ((NT_SUCCESS(status) && (control & SL_INVOKE_ON_SUCCESS)) ||
                                    (!NT_SUCCESS(status) && (control & SL_INVOKE_ON_ERROR)) ||
                                    (irp->Cancel && (control & SL_INVOKE_ON_CANCEL)));
    if (invoke) {
      if (routine(upper, irp, context) == STATUS_MORE_PROCESSING_REQUIRED) return;
    } else if (irp->PendingReturned && irp->CurrentLocation <= irp->StackCount) {
      IoMarkIrpPending(irp);
    }
  }
  irp->CurrentLocation = static_cast<CHAR>(irp->StackCount + 2);  // marks the request as completed
  if (auto* request = static_cast<HostRequest*>(irp->HostRequest)) {
    std::lock_guard lock(request->mu);
    request->done = true;
    request->cv.notify_all();
  }
}

PLATFORM_API PDRIVER_CANCEL IoSetCancelRoutine(PIRP irp, PDRIVER_CANCEL routine) {
  return __atomic_exchange_n(&irp->CancelRoutine, routine, __ATOMIC_ACQ_REL);
}

PLATFORM_API BOOLEAN IoCancelIrp(PIRP irp) {
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  __atomic_store_n(&irp->Cancel, TRUE, __ATOMIC_RELEASE);
  PDRIVER_CANCEL routine = IoSetCancelRoutine(irp, nullptr);
  if (!routine) {
    IoReleaseCancelSpinLock(irql);
    return FALSE;
  }
  irp->CancelIrql = irql;
  // The routine releases the cancel spin lock.
  routine(irp->CurrentLocation <= irp->StackCount ? IoGetCurrentIrpStackLocation(irp)->DeviceObject : nullptr, irp);
  return TRUE;
}

PLATFORM_API NTSTATUS IoRegisterDeviceInterface(PDEVICE_OBJECT pdo, const GUID* interfaceClass, PUNICODE_STRING,
                                                PUNICODE_STRING symbolicLink) {
  auto* host = HostOf(pdo);
  std::string link;
  {
    std::lock_guard lock(host->mu);
    auto node = Record(pdo)->node;
    if (!node) return STATUS_INVALID_DEVICE_REQUEST;
    std::string instancePath = node->hardwareId;
    for (auto& c : instancePath)
      if (c == '\\') c = '#';
    link = Lower("\\\\?\\" + instancePath + "#" + node->instanceId + "#" + GuidText(*interfaceClass));
    bool known = false;
    for (auto& i : host->interfaces) known |= i.linkLower == link;
    if (!known) {
      InterfaceRecord record;
      record.interfaceClass = *interfaceClass;
      record.link = link;
      record.linkLower = link;
      record.pdo = pdo;
      record.instanceId = node->instanceId;
      host->interfaces.push_back(record);
    }
  }
  if (symbolicLink) {
    const size_t bytes = (link.size() + 1) * sizeof(WCHAR);
    auto* buffer = static_cast<PWSTR>(ExAllocatePoolWithTag(PagedPool, bytes, kStringTag));
    if (!buffer) return STATUS_INSUFFICIENT_RESOURCES;
    for (size_t i = 0; i < link.size(); ++i) buffer[i] = static_cast<WCHAR>(link[i]);
    buffer[link.size()] = 0;
    symbolicLink->Buffer = buffer;
    symbolicLink->Length = static_cast<USHORT>(link.size() * sizeof(WCHAR));
    symbolicLink->MaximumLength = static_cast<USHORT>(bytes);
  }
  return STATUS_SUCCESS;
}

PLATFORM_API NTSTATUS IoSetDeviceInterfaceState(PUNICODE_STRING symbolicLink, BOOLEAN enable) {
  if (!symbolicLink || !symbolicLink->Buffer) return STATUS_INVALID_PARAMETER;
  const std::string link = Lower(ToAscii(symbolicLink->Buffer, symbolicLink->Length / sizeof(WCHAR)));
  KernelHost* active = KernelHost::Active();
  if (!active) return STATUS_OBJECT_NAME_NOT_FOUND;
  auto* host = active->impl();
  std::lock_guard lock(host->mu);
  for (auto& i : host->interfaces) {
    if (i.linkLower != link) continue;
    if (i.enabled != (enable != FALSE)) {
      i.enabled = enable != FALSE;
      host->pendingNotices.push_back(
          {enable ? InterfaceNotice::Arrival : InterfaceNotice::RemoveComplete, i.interfaceClass, i.link});
    }
    return STATUS_SUCCESS;
  }
  return STATUS_OBJECT_NAME_NOT_FOUND;
}

PLATFORM_API PVOID MmGetSystemAddressForMdlSafe(PMDL mdl, ULONG) { return mdl ? mdl->StartVa : nullptr; }

PLATFORM_API void PoStartNextPowerIrp(PIRP) {}

PLATFORM_API NTSTATUS PoCallDriver(PDEVICE_OBJECT device, PIRP irp) { return IoCallDriver(device, irp); }

PLATFORM_API POWER_STATE PoSetPowerState(PDEVICE_OBJECT device, POWER_STATE_TYPE type, POWER_STATE state) {
  auto* host = HostOf(device);
  std::lock_guard lock(host->mu);
  PDEVICE_OBJECT d = device;
  while (Record(d)->lower) d = Record(d)->lower;
  POWER_STATE old{};
  if (type == DevicePowerState && Record(d)->node) {
    old.DeviceState = Record(d)->node->devicePower;
    Record(d)->node->devicePower = state.DeviceState;
  }
  return old;
}

namespace {
struct PowerRequestContext {
  PDEVICE_OBJECT device;
  UCHAR minor;
  POWER_STATE state;
  PREQUEST_POWER_COMPLETE complete;
  PVOID context;
};

NTSTATUS PowerRequestDone(PDEVICE_OBJECT, PIRP irp, PVOID context) {
  auto* request = static_cast<PowerRequestContext*>(context);
  if (request->complete)
    request->complete(request->device, request->minor, request->state, request->context, &irp->IoStatus);
  delete request;
  IoFreeIrp(irp);
  return STATUS_MORE_PROCESSING_REQUIRED;
}
}  // namespace

PLATFORM_API NTSTATUS PoRequestPowerIrp(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE state,
                                        PREQUEST_POWER_COMPLETE complete, PVOID context, PIRP* irpOut) {
  PDEVICE_OBJECT top = TopOfStack(device);
  PIRP irp = IoAllocateIrp(static_cast<CHAR>(top->StackSize + 1), FALSE);
  if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
  irp->CurrentLocation--;  // the requester's own location
  IoGetCurrentIrpStackLocation(irp)->DeviceObject = device;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = IRP_MJ_POWER;
  next->MinorFunction = minor;
  next->Parameters.Power.Type = DevicePowerState;
  next->Parameters.Power.State = state;
  irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
  IoSetCompletionRoutine(irp, PowerRequestDone, new PowerRequestContext{device, minor, state, complete, context},
                         TRUE, TRUE, TRUE);
  if (irpOut) *irpOut = irp;
  IoCallDriver(top, irp);
  return STATUS_PENDING;
}

}  // extern "C"
