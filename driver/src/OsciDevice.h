// The board's device: one board frame out and its reply into the receive ring per write, reads
// that only copy from the ring, control codes for the caller's events and the board's features,
// and the one-second keep-alive.
#pragma once

#include "ByteFifo.h"
#include "EventReference.h"
#include "PnpDevice.h"
#include "UsbLowerDevice.h"

namespace qrtdrv {

// {267EF074-E508-4465-97A7-E37FF7366D31}
inline constexpr GUID kGuidOsciDevice = {0x267EF074, 0xE508, 0x4465, {0x97, 0xA7, 0xE3, 0x7F, 0xF7, 0x36, 0x6D, 0x31}};

class OsciDevice final : public PnpDevice {
 public:
  OsciDevice(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, LONG unit, LONG standby, LONG hibernate);
  ~OsciDevice() override;

 protected:
  NTSTATUS Create(PIRP irp) override;
  NTSTATUS Close(PIRP irp) override;
  NTSTATUS Read(PIRP irp) override;
  NTSTATUS Write(PIRP irp) override;
  NTSTATUS Flush(PIRP irp) override;
  NTSTATUS DeviceControl(PIRP irp) override;
  NTSTATUS Cleanup(PIRP irp) override;
  NTSTATUS StartDevice() override;
  NTSTATUS StopDevice() override;
  void RemoveDevice() override;
  void Detached() override { usb_.Detach(); }
  void SurpriseRemoval() override;
  NTSTATUS QueryCapabilities(PDEVICE_CAPABILITIES caps) override;
  bool QuerySystemPower(SYSTEM_POWER_STATE state) override;

 private:
  static void KeepAliveTimer(PKDPC dpc, PVOID context, PVOID, PVOID);
  static void FeatureDone(PDEVICE_OBJECT device, PIRP irp, PVOID context);
  void ResetPipe(const UsbPipe& pipe);
  // Stores a received reply when the ring has room for more than one whole reply.
  void StoreReply(ULONG bytes);
  void StopTimer();
  void FreeBuffers();
  bool Flag(const LONG& flag) const { return __atomic_load_n(&flag, __ATOMIC_ACQUIRE) != 0; }
  void SetFlag(LONG& flag, bool on) { __atomic_store_n(&flag, on ? 1 : 0, __ATOMIC_RELEASE); }

  LONG pendingRead_ = 0;
  LONG keepAlive_ = 0;
  UCHAR* reply_ = nullptr;
  EventReference dataEvent_;
  EventReference removalEvent_;
  ByteFifo* ring_ = nullptr;
  LONG open_ = 0;
  [[maybe_unused]] LONG unit_;  // the unit number the device was created with
  UsbLowerDevice usb_;
  UsbInterface interface_;
  UsbPipe outPipe_;
  UsbPipe inPipe_;
  LONG standby_;
  LONG hibernate_;
  FAST_MUTEX ioMutex_;  // one transfer-and-store at a time: writes and catch-up reads share reply_
  KTIMER timer_;
  KDPC dpc_;
};

}  // namespace qrtdrv
