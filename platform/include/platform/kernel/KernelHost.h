// The kernel host: runs kernel-mode drivers inside the process. One instance owns the device trees,
// the loaded drivers, the device-interface registry, the plug-and-play worker thread and the DPC
// thread. Tests build a host, plug simulated USB devices into its bus, drive plug and play and
// power through it, and tear the whole tree down again; the platform's device services
// (CreateFile on "\\?\..." paths, SetupDi*) talk to the active host.
//
// The kernel services of wdm.h that carry no device (pool, timers, events) act on the active host:
// the most recently created one that still exists.
#pragma once

#include <platform/kernel/usb.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kvp::kernel {

// {A5DCBF10-6530-11D2-901F-00C04FB951ED}: every USB device, registered by the bus.
inline constexpr GUID kGuidDevInterfaceUsbDevice = {0xA5DCBF10, 0x6530, 0x11D2,
                                                   {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

// "{a5dcbf10-6530-11d2-901f-00c04fb951ed}", lower case, as it appears in device paths.
PLATFORM_API std::string GuidText(const GUID& guid);

// One bulk transfer handed to a simulated USB device. The device ends it exactly once, now or
// later, from any thread: Claim() first (false: it was cancelled meanwhile, keep the data), then
// Finish(). The buffer stays valid until Finish() or until the transfer is cancelled.
class PLATFORM_API SimUsbTransfer {
 public:
  SimUsbTransfer(uint8_t endpoint, uint8_t* buffer, size_t length, std::function<void(NTSTATUS, size_t)> done)
      : endpoint_(endpoint), buffer_(buffer), length_(length), done_(std::move(done)) {}
  uint8_t Endpoint() const { return endpoint_; }
  bool In() const { return (endpoint_ & 0x80) != 0; }
  uint8_t* Buffer() const { return buffer_; }
  size_t Length() const { return length_; }
  bool Claim() { return !claimed_.exchange(true); }
  void Finish(NTSTATUS status, size_t bytes) { done_(status, bytes); }

 private:
  uint8_t endpoint_;
  uint8_t* buffer_;
  size_t length_;
  std::function<void(NTSTATUS, size_t)> done_;
  std::atomic<bool> claimed_{false};
};

// The lower edge the bus's physical device object reaches: a board simulator, or a device reached
// through libusb (UsbService). Descriptors answer at once; transfers and requests may pend.
class ISimUsbDevice {
 public:
  virtual ~ISimUsbDevice() = default;
  // Descriptors; false when the device does not answer the request.
  virtual bool DeviceDescriptor(std::vector<uint8_t>& out) = 0;
  virtual bool ConfigurationDescriptor(uint8_t index, std::vector<uint8_t>& out) = 0;
  // SET_FEATURE (set) or CLEAR_FEATURE to an interface.
  virtual NTSTATUS InterfaceFeature(bool set, uint16_t selector, uint16_t index) = 0;
  virtual NTSTATUS ResetPipe(uint8_t endpoint) = 0;
  virtual void Submit(std::shared_ptr<SimUsbTransfer> transfer) = 0;
  // The transfer is being cancelled: forget it (the bus ends it with STATUS_CANCELLED).
  virtual void Cancel(const std::shared_ptr<SimUsbTransfer>& transfer) = 0;
  // The device left the bus: end every pending transfer (the bus reports them as gone).
  virtual void Disconnected() = 0;

  // What the bus calls, so that nothing waits in its caller's context (the keep-alive comes from a
  // DPC): `done` runs exactly once, now or later from any thread. A device that answers at once
  // keeps these defaults.
  virtual void InterfaceFeatureAsync(bool set, uint16_t selector, uint16_t index,
                                     std::function<void(NTSTATUS)> done) {
    done(InterfaceFeature(set, selector, index));
  }
  virtual void ResetPipeAsync(uint8_t endpoint, std::function<void(NTSTATUS)> done) { done(ResetPipe(endpoint)); }
  // Cancels a pending transfer. It is finished (STATUS_CANCELLED) only once the device no longer
  // writes into its buffer: at once by default, later when the device's own cancel is asynchronous.
  virtual void CancelTransfer(const std::shared_ptr<SimUsbTransfer>& transfer) {
    if (!transfer->Claim()) return;  // the device is ending it right now
    Cancel(transfer);
    transfer->Finish(STATUS_CANCELLED, 0);
  }
};

struct DeviceInterfaceInfo {
  GUID interfaceClass;
  std::string symbolicLink;  // "\\?\usb#vid_2f91&pid_0006#<instance>#{...}"
  std::string instanceId;
};

// Interface arrival (true) or removal (false), and the device-nodes-changed notice.
struct InterfaceNotice {
  enum Kind { Arrival, RemoveComplete, NodesChanged } kind;
  GUID interfaceClass;
  std::string symbolicLink;
};
using NoticeSink = std::function<void(const InterfaceNotice&)>;

// A file object opened on a device stack. Requests block until the driver completes them.
class PLATFORM_API KernelFile {
 public:
  virtual ~KernelFile() = default;
  // Each returns the final status; `information` receives IoStatus.Information.
  virtual NTSTATUS Read(void* buffer, ULONG length, ULONG_PTR* information) = 0;
  virtual NTSTATUS Write(const void* buffer, ULONG length, ULONG_PTR* information) = 0;
  virtual NTSTATUS IoControl(ULONG code, void* in, ULONG inLength, void* out, ULONG outLength,
                             ULONG_PTR* information) = 0;
  virtual NTSTATUS Flush() = 0;
  // IRP_MJ_CLEANUP (the last handle went), then IRP_MJ_CLOSE (the last reference went).
  virtual NTSTATUS Cleanup() = 0;
  virtual NTSTATUS Close() = 0;
};

class PLATFORM_API KernelHost {
 public:
  KernelHost();
  ~KernelHost();  // removes every device, unloads the drivers, ends its threads
  KernelHost(const KernelHost&) = delete;
  KernelHost& operator=(const KernelHost&) = delete;

  static KernelHost* Active();
  // The active host, creating the process's own when there is none.
  static KernelHost& EnsureActive();

  // Drivers: the service that serves a hardware id ("USB\VID_2F91&PID_0006"), loaded from a module
  // ("qrtdrv.dll") or given as an entry point. The service key is
  // HKLM "SYSTEM\CurrentControlSet\Services\<service>". Loaded at the first plug.
  void RegisterDriver(const std::string& service, const std::string& hardwareId, const std::string& module);
  void RegisterDriver(const std::string& service, const std::string& hardwareId, PDRIVER_INITIALIZE entry);
  // Unloads a driver that has no devices left; false when it is not loaded or still has devices.
  bool UnloadDriver(const std::string& service);
  bool DriverLoaded(const std::string& service);

  // The USB bus: simulated devices, or real ones the USB service (UsbService.h) brings. Plug and
  // unplug run on the plug-and-play worker; WaitIdle() waits for them. Instance ids are unique
  // while plugged.
  void PlugUsbDevice(std::shared_ptr<ISimUsbDevice> device, const std::string& hardwareId,
                     const std::string& instanceId);
  void UnplugUsbDevice(const std::string& instanceId);
  void WaitIdle();

  // Plug-and-play and power requests for tests, sent to the top of a device's stack (run on the
  // worker, waited for). REMOVE_DEVICE also detaches and deletes the physical device.
  NTSTATUS SendPnp(const std::string& instanceId, UCHAR minor);
  // Query or set a system power state on every started device stack; a query stops at the first
  // refusal and returns it.
  NTSTATUS QuerySystemPower(SYSTEM_POWER_STATE state);
  NTSTATUS SetSystemPower(SYSTEM_POWER_STATE state);
  DEVICE_POWER_STATE DevicePowerState(const std::string& instanceId);

  // Snapshot of the enabled interfaces of a class.
  std::vector<DeviceInterfaceInfo> EnabledInterfaces(const GUID& interfaceClass);
  // Where interface notices go (the platform's device-change service); called on the worker.
  void SetNoticeSink(NoticeSink sink);

  // Opens a device path (case-insensitive) of an enabled interface: the top of its stack gets
  // IRP_MJ_CREATE. Null with *status set when the path is unknown or the open is refused.
  std::shared_ptr<KernelFile> Open(const std::string& path, NTSTATUS* status);

  // The object namespace: names of the existing named device objects ("\Device\OsciDev0").
  std::vector<std::string> DeviceNames();
  // Threads the host runs right now (worker, DPC).
  size_t ThreadCount();
  // Makes attaching to the bus's devices fail (a stack that cannot be built).
  void RefuseAttach(bool refuse);

  struct Impl;
  Impl* impl() { return impl_.get(); }

 private:
  std::unique_ptr<Impl> impl_;
};

// The sink every new host starts with (the platform's device-change service installs it).
PLATFORM_API void SetDefaultNoticeSink(NoticeSink sink);

// Pool accounting across the process: bytes and blocks outstanding under a tag, and in all.
PLATFORM_API size_t PoolBytes(ULONG tag);
PLATFORM_API size_t PoolBlocks(ULONG tag);
PLATFORM_API size_t PoolBlocksAll();

// How a request's final status becomes a Win32 result: the last error for a status.
PLATFORM_API DWORD Win32ErrorFromStatus(NTSTATUS status);

}  // namespace kvp::kernel
