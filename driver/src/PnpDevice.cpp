#include "PnpDevice.h"

namespace qrtdrv {

namespace {

NTSTATUS SignalDone(PDEVICE_OBJECT, PIRP, PVOID context) {
  KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

void PowerUpDone(PDEVICE_OBJECT, UCHAR, POWER_STATE, PVOID context, PIO_STATUS_BLOCK) {
  KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
}

struct SystemPowerContext {
  PnpDevice* device;
  PIRP irp;
};

}  // namespace

PnpDevice::PnpDevice(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, const GUID& interfaceClass) : self_(self), pdo_(pdo) {
  ExInitializeFastMutex(&mutex_);
  KeInitializeSpinLock(&countLock_);
  KeInitializeSpinLock(&heldLock_);
  KeInitializeEvent(&idle_, NotificationEvent, TRUE);
  KeInitializeEvent(&released_, NotificationEvent, FALSE);
  InitializeListHead(&held_);
  if (!NT_SUCCESS(IoRegisterDeviceInterface(pdo, &interfaceClass, nullptr, &interfaceLink_))) {
    construction_ = STATUS_INSUFFICIENT_RESOURCES;
    return;
  }
  lower_ = IoAttachDeviceToDeviceStack(self, pdo);
  if (!lower_) construction_ = STATUS_NO_SUCH_DEVICE;  // the stack could not be built
}

PnpDevice::~PnpDevice() {
  if (interfaceLink_.Buffer) RtlFreeUnicodeString(&interfaceLink_);
}

void PnpDevice::Destroy() {
  PDEVICE_OBJECT self = self_;
  this->~PnpDevice();
  IoDeleteDevice(self);
}

NTSTATUS PnpDevice::CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS PnpDevice::PassDown(PIRP irp) {
  IoSkipCurrentIrpStackLocation(irp);
  return IoCallDriver(lower_, irp);
}

NTSTATUS PnpDevice::ForwardAndWait(PIRP irp) {
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  IoCopyCurrentIrpStackLocationToNext(irp);
  IoSetCompletionRoutine(irp, SignalDone, &done, TRUE, TRUE, TRUE);
  if (IoCallDriver(lower_, irp) == STATUS_PENDING)
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
  return irp->IoStatus.Status;
}

NTSTATUS PnpDevice::SystemControl(PIRP irp) { return PassDown(irp); }

NTSTATUS PnpDevice::QueryCapabilities(PDEVICE_CAPABILITIES caps) {
  (void)caps;
  return STATUS_SUCCESS;
}

// ------------------------------------------------------------------------------------------------
// Outstanding requests

void PnpDevice::Acquire() {
  KIRQL irql;
  KeAcquireSpinLock(&countLock_, &irql);
  if (++outstanding_ == 2) KeClearEvent(&idle_);
  KeReleaseSpinLock(&countLock_, irql);
}

void PnpDevice::ReleaseIo() {
  KIRQL irql;
  KeAcquireSpinLock(&countLock_, &irql);
  const LONG left = --outstanding_;
  if (left == 1) KeSetEvent(&idle_, IO_NO_INCREMENT, FALSE);
  if (left == 0) KeSetEvent(&released_, IO_NO_INCREMENT, FALSE);
  KeReleaseSpinLock(&countLock_, irql);
}

LONG PnpDevice::OpenCount() {
  ExAcquireFastMutex(&mutex_);
  const LONG n = openCount_;
  ExReleaseFastMutex(&mutex_);
  return n;
}

LONG PnpDevice::Outstanding() {
  KIRQL irql;
  KeAcquireSpinLock(&countLock_, &irql);
  const LONG n = outstanding_;
  KeReleaseSpinLock(&countLock_, irql);
  return n;
}

void PnpDevice::WaitIdle() { KeWaitForSingleObject(&idle_, Executive, KernelMode, FALSE, nullptr); }
void PnpDevice::WaitAllReleased() { KeWaitForSingleObject(&released_, Executive, KernelMode, FALSE, nullptr); }

// ------------------------------------------------------------------------------------------------
// Holding queue

void PnpDevice::Hold(PIRP irp) {
  IoMarkIrpPending(irp);
  KIRQL irql;
  KeAcquireSpinLock(&heldLock_, &irql);
  InsertTailList(&held_, &irp->Tail.Overlay.ListEntry);
  IoSetCancelRoutine(irp, CancelHeld);
  if (irp->Cancel && IoSetCancelRoutine(irp, nullptr)) {
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    KeReleaseSpinLock(&heldLock_, irql);
    CompleteRequest(irp, STATUS_CANCELLED);
    return;
  }
  KeReleaseSpinLock(&heldLock_, irql);
}

void PnpDevice::CancelHeld(PDEVICE_OBJECT device, PIRP irp) {
  IoReleaseCancelSpinLock(irp->CancelIrql);
  PnpDevice* self = DeviceOf(device);
  KIRQL irql;
  KeAcquireSpinLock(&self->heldLock_, &irql);
  RemoveEntryList(&irp->Tail.Overlay.ListEntry);
  InitializeListHead(&irp->Tail.Overlay.ListEntry);
  KeReleaseSpinLock(&self->heldLock_, irql);
  CompleteRequest(irp, STATUS_CANCELLED);
}

void PnpDevice::ReleaseHeld() {
  LIST_ENTRY ready;
  InitializeListHead(&ready);
  KIRQL irql;
  KeAcquireSpinLock(&heldLock_, &irql);
  while (!IsListEmpty(&held_)) {
    PLIST_ENTRY entry = RemoveHeadList(&held_);
    InitializeListHead(entry);
    PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
    if (!IoSetCancelRoutine(irp, nullptr)) continue;  // being cancelled: its cancel routine ends it
    InsertTailList(&ready, entry);
  }
  KeReleaseSpinLock(&heldLock_, irql);
  while (!IsListEmpty(&ready)) {
    PIRP irp = CONTAINING_RECORD(RemoveHeadList(&ready), IRP, Tail.Overlay.ListEntry);
    GateIo(irp);  // each passes the gate again
  }
}

void PnpDevice::FailHeld(NTSTATUS status, PFILE_OBJECT file) {
  LIST_ENTRY failed;
  InitializeListHead(&failed);
  KIRQL irql;
  KeAcquireSpinLock(&heldLock_, &irql);
  for (PLIST_ENTRY entry = held_.Flink; entry != &held_;) {
    PLIST_ENTRY next = entry->Flink;
    PIRP irp = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
    if ((!file || IoGetCurrentIrpStackLocation(irp)->FileObject == file) && IoSetCancelRoutine(irp, nullptr)) {
      RemoveEntryList(entry);
      InsertTailList(&failed, entry);
    }
    entry = next;
  }
  KeReleaseSpinLock(&heldLock_, irql);
  while (!IsListEmpty(&failed))
    CompleteRequest(CONTAINING_RECORD(RemoveHeadList(&failed), IRP, Tail.Overlay.ListEntry), status);
}

// ------------------------------------------------------------------------------------------------
// The gate

NTSTATUS PnpDevice::Dispatch(PIRP irp) {
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  const bool gone = Has(kRemoved | kSurpriseRemoved);
  switch (sp->MajorFunction) {
    case IRP_MJ_CREATE:
      return OpenGate(irp);
    case IRP_MJ_CLOSE:
      return CloseGate(irp);
    case IRP_MJ_CLEANUP:
      FailHeld(STATUS_CANCELLED, sp->FileObject);
      return Cleanup(irp);
    case IRP_MJ_POWER:
      if (gone) {
        PoStartNextPowerIrp(irp);
        return CompleteRequest(irp, STATUS_DELETE_PENDING);
      }
      return Power(irp);
    case IRP_MJ_SYSTEM_CONTROL:
      return gone ? CompleteRequest(irp, STATUS_DELETE_PENDING) : SystemControl(irp);
    case IRP_MJ_PNP:
      if (gone && !(sp->MinorFunction == IRP_MN_REMOVE_DEVICE && !Has(kRemoved)))
        return CompleteRequest(irp, STATUS_DELETE_PENDING);
      return Pnp(irp);
    default:
      return GateIo(irp);
  }
}

NTSTATUS PnpDevice::GateIo(PIRP irp) {
  Acquire();
  if (Has(kRemoved | kSurpriseRemoved)) {
    ReleaseIo();
    return CompleteRequest(irp, STATUS_DELETE_PENDING);
  }
  if (!Has(kStarted) || Has(kStopPending | kRemovePending | kPowerTransition)) {
    ReleaseIo();
    Hold(irp);
    return STATUS_PENDING;
  }
  if (__atomic_load_n(&devicePower_, __ATOMIC_ACQUIRE) != PowerDeviceD0) PowerUpAndWait();
  const NTSTATUS status = Serve(irp);
  ReleaseIo();
  return status;
}

NTSTATUS PnpDevice::Serve(PIRP irp) {
  switch (IoGetCurrentIrpStackLocation(irp)->MajorFunction) {
    case IRP_MJ_READ:
      return Read(irp);
    case IRP_MJ_WRITE:
      return Write(irp);
    case IRP_MJ_FLUSH_BUFFERS:
      return Flush(irp);
    case IRP_MJ_DEVICE_CONTROL:
      return DeviceControl(irp);
    default:
      return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST);
  }
}

NTSTATUS PnpDevice::OpenGate(PIRP irp) {
  ExAcquireFastMutex(&mutex_);
  if (Has(kRemoved | kSurpriseRemoved)) {
    ExReleaseFastMutex(&mutex_);
    return CompleteRequest(irp, STATUS_DELETE_PENDING);
  }
  const NTSTATUS status = Create(irp);
  if (NT_SUCCESS(status)) ++openCount_;
  ExReleaseFastMutex(&mutex_);
  if (NT_SUCCESS(status) && __atomic_load_n(&devicePower_, __ATOMIC_ACQUIRE) != PowerDeviceD0) PowerUpAndWait();
  return status;
}

NTSTATUS PnpDevice::CloseGate(PIRP irp) {
  ExAcquireFastMutex(&mutex_);
  const NTSTATUS status = Close(irp);
  bool destroy = false;
  if (NT_SUCCESS(status)) destroy = --openCount_ == 0 && Has(kRemoved);
  ExReleaseFastMutex(&mutex_);
  if (destroy) Destroy();
  return status;
}

// ------------------------------------------------------------------------------------------------
// Plug and play

void PnpDevice::QueryLowerCapabilities() {
  PIRP irp = IoAllocateIrp(lower_->StackSize, FALSE);
  if (!irp) return;
  DEVICE_CAPABILITIES caps{};
  caps.Size = sizeof caps;
  caps.Version = 1;
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
  PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = IRP_MJ_PNP;
  next->MinorFunction = IRP_MN_QUERY_CAPABILITIES;
  next->Parameters.DeviceCapabilities.Capabilities = &caps;
  IoSetCompletionRoutine(irp, SignalDone, &done, TRUE, TRUE, TRUE);
  if (IoCallDriver(lower_, irp) == STATUS_PENDING) KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
  if (NT_SUCCESS(irp->IoStatus.Status))
    for (int s = 0; s < PowerSystemMaximum; ++s) powerMap_[s] = caps.DeviceState[s];
  IoFreeIrp(irp);
}

NTSTATUS PnpDevice::Pnp(PIRP irp) {
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  NTSTATUS status;
  switch (sp->MinorFunction) {
    case IRP_MN_START_DEVICE:
      status = ForwardAndWait(irp);
      if (NT_SUCCESS(status)) status = StartDevice();
      if (NT_SUCCESS(status)) {
        SetBits(kStarted);
        ClearBits(kStopPending);
        IoSetDeviceInterfaceState(&interfaceLink_, TRUE);
        QueryLowerCapabilities();
      }
      CompleteRequest(irp, status);
      // Requests held while the device could not serve them go on now.
      if (NT_SUCCESS(status)) ReleaseHeld();
      return status;
    case IRP_MN_QUERY_STOP_DEVICE:
      if (OpenCount() > 0 || Outstanding() > 1) return CompleteRequest(irp, STATUS_DEVICE_BUSY);
      SetBits(kStopPending);
      irp->IoStatus.Status = STATUS_SUCCESS;
      return PassDown(irp);
    case IRP_MN_CANCEL_STOP_DEVICE:
      status = ForwardAndWait(irp);
      ClearBits(kStopPending);
      CompleteRequest(irp, STATUS_SUCCESS);
      ReleaseHeld();
      return STATUS_SUCCESS;
    case IRP_MN_STOP_DEVICE:
      StopDevice();
      ClearBits(kStarted | kStopPending);
      IoSetDeviceInterfaceState(&interfaceLink_, FALSE);
      irp->IoStatus.Status = STATUS_SUCCESS;
      return PassDown(irp);
    case IRP_MN_QUERY_REMOVE_DEVICE:
      if (OpenCount() > 0) return CompleteRequest(irp, STATUS_DEVICE_BUSY);
      SetBits(kRemovePending);
      if (Has(kStarted)) WaitIdle();
      irp->IoStatus.Status = STATUS_SUCCESS;
      return PassDown(irp);
    case IRP_MN_CANCEL_REMOVE_DEVICE:
      status = ForwardAndWait(irp);
      ClearBits(kRemovePending);
      CompleteRequest(irp, STATUS_SUCCESS);
      ReleaseHeld();
      return STATUS_SUCCESS;
    case IRP_MN_SURPRISE_REMOVAL:
      SetBits(kSurpriseRemoved);
      FailHeld(STATUS_DELETE_PENDING, nullptr);
      SurpriseRemoval();
      IoSetDeviceInterfaceState(&interfaceLink_, FALSE);
      ClearBits(kStarted | kStopPending | kRemovePending);
      irp->IoStatus.Status = STATUS_SUCCESS;
      return PassDown(irp);
    case IRP_MN_REMOVE_DEVICE:
      return Remove(irp);
    case IRP_MN_QUERY_CAPABILITIES:
      return CompleteRequest(irp, QueryCapabilities(sp->Parameters.DeviceCapabilities.Capabilities));
    default:
      return PassDown(irp);
  }
}

NTSTATUS PnpDevice::Remove(PIRP irp) {
  ExAcquireFastMutex(&mutex_);
  SetBits(kRemoved);
  FailHeld(STATUS_DELETE_PENDING, nullptr);
  IoSetDeviceInterfaceState(&interfaceLink_, FALSE);
  RemoveDevice();
  ReleaseIo();  // the framework's own reference
  WaitAllReleased();
  irp->IoStatus.Status = STATUS_SUCCESS;
  PDEVICE_OBJECT lower = lower_;
  const NTSTATUS status = PassDown(irp);
  IoDetachDevice(lower);
  Detached();
  const bool destroy = openCount_ == 0;
  ExReleaseFastMutex(&mutex_);
  if (destroy) Destroy();
  return status;
}

// ------------------------------------------------------------------------------------------------
// Power

void PnpDevice::PowerUpAndWait() {
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, FALSE);
  POWER_STATE state;
  state.DeviceState = PowerDeviceD0;
  if (PoRequestPowerIrp(pdo_, IRP_MN_SET_POWER, state, PowerUpDone, &done, nullptr) == STATUS_PENDING)
    KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
}

NTSTATUS PnpDevice::Power(PIRP irp) {
  PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
  if (sp->MinorFunction == IRP_MN_QUERY_POWER) {
    if (sp->Parameters.Power.Type == SystemPowerState && !QuerySystemPower(sp->Parameters.Power.State.SystemState)) {
      PoStartNextPowerIrp(irp);
      return CompleteRequest(irp, STATUS_UNSUCCESSFUL);
    }
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(lower_, irp);
  }
  if (sp->MinorFunction == IRP_MN_SET_POWER) {
    if (sp->Parameters.Power.Type == SystemPowerState)
      return SetSystemPowerState(irp, sp->Parameters.Power.State.SystemState);
    return SetDevicePowerState(irp, sp->Parameters.Power.State.DeviceState);
  }
  PoStartNextPowerIrp(irp);
  IoSkipCurrentIrpStackLocation(irp);
  return PoCallDriver(lower_, irp);
}

void PnpDevice::SystemPowerDeviceDone(PDEVICE_OBJECT, UCHAR, POWER_STATE, PVOID context, PIO_STATUS_BLOCK status) {
  auto* request = static_cast<SystemPowerContext*>(context);
  PnpDevice* self = request->device;
  PIRP irp = request->irp;
  PoolFree(request);
  PoStartNextPowerIrp(irp);
  if (!NT_SUCCESS(status->Status)) {
    CompleteRequest(irp, status->Status);
    return;
  }
  IoSkipCurrentIrpStackLocation(irp);
  PoCallDriver(self->lower_, irp);
}

NTSTATUS PnpDevice::SetSystemPowerState(PIRP irp, SYSTEM_POWER_STATE state) {
  if (state > systemPower_) {
    systemPower_ = state;
    SetBits(kPowerTransition);
    DEVICE_POWER_STATE wanted = powerMap_[state];
    if (wanted < PowerDeviceD0 || wanted > PowerDeviceD3) wanted = DevicePower();
    if (wanted != DevicePower()) {
      if (DevicePower() == PowerDeviceD0) WaitIdle();
      auto* request = static_cast<SystemPowerContext*>(PoolAlloc(sizeof(SystemPowerContext)));
      if (!request) {
        PoStartNextPowerIrp(irp);
        return CompleteRequest(irp, STATUS_INSUFFICIENT_RESOURCES);
      }
      *request = SystemPowerContext{this, irp};
      IoMarkIrpPending(irp);
      POWER_STATE device;
      device.DeviceState = wanted;
      PoRequestPowerIrp(pdo_, IRP_MN_SET_POWER, device, SystemPowerDeviceDone, request, nullptr);
      return STATUS_PENDING;
    }
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(lower_, irp);
  }
  if (state < systemPower_) {
    const NTSTATUS status = ForwardAndWait(irp);
    systemPower_ = state;
    if (state == PowerSystemWorking) ClearBits(kPowerTransition);
    KIRQL irql;
    KeAcquireSpinLock(&heldLock_, &irql);
    const bool waiting = !IsListEmpty(&held_);
    KeReleaseSpinLock(&heldLock_, irql);
    PoStartNextPowerIrp(irp);
    CompleteRequest(irp, status);
    if (waiting) {
      POWER_STATE device;
      device.DeviceState = powerMap_[PowerSystemWorking] ? powerMap_[PowerSystemWorking] : PowerDeviceD0;
      PoRequestPowerIrp(pdo_, IRP_MN_SET_POWER, device, nullptr, nullptr, nullptr);
    }
    return status;
  }
  if (state == PowerSystemWorking && DevicePower() == PowerDeviceD0) {
    ClearBits(kPowerTransition);
    ReleaseHeld();
  }
  PoStartNextPowerIrp(irp);
  IoSkipCurrentIrpStackLocation(irp);
  return PoCallDriver(lower_, irp);
}

NTSTATUS PnpDevice::SetDevicePowerState(PIRP irp, DEVICE_POWER_STATE state) {
  POWER_STATE power;
  power.DeviceState = state;
  if (state > DevicePower()) {
    PoSetPowerState(self_, DevicePowerState, power);
    __atomic_store_n(&devicePower_, state, __ATOMIC_RELEASE);
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(lower_, irp);
  }
  if (state < DevicePower()) {
    const NTSTATUS status = ForwardAndWait(irp);
    if (NT_SUCCESS(status)) {
      PoSetPowerState(self_, DevicePowerState, power);
      __atomic_store_n(&devicePower_, state, __ATOMIC_RELEASE);
    }
    PoStartNextPowerIrp(irp);
    CompleteRequest(irp, status);
    if (NT_SUCCESS(status) && state == PowerDeviceD0) ReleaseHeld();
    return status;
  }
  PoStartNextPowerIrp(irp);
  IoSkipCurrentIrpStackLocation(irp);
  return PoCallDriver(lower_, irp);
}

}  // namespace qrtdrv
