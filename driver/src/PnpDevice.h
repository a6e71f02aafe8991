// The driver's plug-and-play device: the request gate every request passes (open and close under
// the device mutex, requests held while the device cannot serve them, refused after removal),
// the plug-and-play state machine and the power policy. OsciDevice supplies the handlers.
#pragma once

#include "DriverMemory.h"

namespace qrtdrv {

class PnpDevice;
// The device that lives in a device object's extension.
PnpDevice* DeviceOf(PDEVICE_OBJECT device);

class PnpDevice {
 public:
  PnpDevice(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, const GUID& interfaceClass);
  virtual ~PnpDevice();

  NTSTATUS ConstructionStatus() const { return construction_; }
  PDEVICE_OBJECT Self() const { return self_; }
  PDEVICE_OBJECT Lower() const { return lower_; }
  PDEVICE_OBJECT Pdo() const { return pdo_; }

  // The one dispatch entry: the gate, then the handler of the major function.
  NTSTATUS Dispatch(PIRP irp);

 protected:
  // Handlers; each completes the request (or passes it down) and returns its status.
  virtual NTSTATUS Create(PIRP irp) = 0;
  virtual NTSTATUS Close(PIRP irp) = 0;
  virtual NTSTATUS Read(PIRP irp) = 0;
  virtual NTSTATUS Write(PIRP irp) = 0;
  virtual NTSTATUS Flush(PIRP irp) = 0;
  virtual NTSTATUS DeviceControl(PIRP irp) = 0;
  virtual NTSTATUS Cleanup(PIRP irp) = 0;
  virtual NTSTATUS SystemControl(PIRP irp);
  // Plug and play and power.
  virtual NTSTATUS StartDevice() = 0;
  virtual NTSTATUS StopDevice() = 0;
  virtual void RemoveDevice() = 0;  // releases the USB configuration data
  virtual void Detached() {}        // the device below is no longer reachable
  virtual void SurpriseRemoval() {}
  virtual NTSTATUS QueryCapabilities(PDEVICE_CAPABILITIES caps);
  // Whether the system may enter a state while the device is attached.
  virtual bool QuerySystemPower(SYSTEM_POWER_STATE state) { return true; }

  static NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information = 0);
  NTSTATUS PassDown(PIRP irp);
  NTSTATUS ForwardAndWait(PIRP irp);

 private:
  enum : LONG { kStarted = 1, kStopPending = 2, kRemovePending = 4, kRemoved = 8, kSurpriseRemoved = 16,
                kPowerTransition = 32 };
  bool Has(LONG bits) const { return (__atomic_load_n(&state_, __ATOMIC_ACQUIRE) & bits) != 0; }
  void SetBits(LONG bits) { __atomic_fetch_or(&state_, bits, __ATOMIC_ACQ_REL); }
  void ClearBits(LONG bits) { __atomic_fetch_and(&state_, ~bits, __ATOMIC_ACQ_REL); }

  NTSTATUS GateIo(PIRP irp);
  NTSTATUS Serve(PIRP irp);
  NTSTATUS Pnp(PIRP irp);
  NTSTATUS Power(PIRP irp);
  NTSTATUS OpenGate(PIRP irp);
  NTSTATUS CloseGate(PIRP irp);
  NTSTATUS Remove(PIRP irp);
  // Destroys the device and deletes its device object (removed, and no handle left).
  void Destroy();

  // Outstanding requests: the framework holds one itself; removal lets go of it and waits for 0.
  void Acquire();
  void ReleaseIo();
  DEVICE_POWER_STATE DevicePower() const { return __atomic_load_n(&devicePower_, __ATOMIC_ACQUIRE); }
  LONG OpenCount();
  LONG Outstanding();
  void WaitIdle();        // until only the framework's own reference is left
  void WaitAllReleased(); // until none is left

  void Hold(PIRP irp);
  void ReleaseHeld();
  // Completes held requests (all, or those of one file object) with a status.
  void FailHeld(NTSTATUS status, PFILE_OBJECT file);
  static void CancelHeld(PDEVICE_OBJECT device, PIRP irp);

  void PowerUpAndWait();
  NTSTATUS SetSystemPowerState(PIRP irp, SYSTEM_POWER_STATE state);
  NTSTATUS SetDevicePowerState(PIRP irp, DEVICE_POWER_STATE state);
  static void SystemPowerDeviceDone(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE state, PVOID context,
                                    PIO_STATUS_BLOCK status);
  void QueryLowerCapabilities();

  PDEVICE_OBJECT self_;
  PDEVICE_OBJECT pdo_;
  PDEVICE_OBJECT lower_ = nullptr;
  NTSTATUS construction_ = STATUS_SUCCESS;
  FAST_MUTEX mutex_;
  LONG state_ = 0;
  LONG outstanding_ = 1;
  KSPIN_LOCK countLock_ = 0;
  KEVENT idle_;     // set while only the framework's own reference is left
  KEVENT released_; // set when no reference is left
  LONG openCount_ = 0;
  DEVICE_POWER_STATE devicePower_ = PowerDeviceD0;
  SYSTEM_POWER_STATE systemPower_ = PowerSystemWorking;
  DEVICE_POWER_STATE powerMap_[PowerSystemMaximum] = {};
  LIST_ENTRY held_;
  KSPIN_LOCK heldLock_ = 0;
  UNICODE_STRING interfaceLink_{};
};

}  // namespace qrtdrv
