// The kernel host's own records: devices, device nodes of the bus, interfaces, drivers, the
// plug-and-play worker and the timer/DPC thread. Internal to platform/kernel.
#pragma once

#include <platform/kernel/KernelHost.h>
#include <platform/sync.h>
#include <platform/unique.h>

#include "base/HandleTable.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

namespace kvp::kernel {

struct DeviceNode;

// What the host keeps beside every DEVICE_OBJECT. The object is the record's first member, so a
// PDEVICE_OBJECT is also a DeviceRecord*.
struct DeviceRecord {
  DEVICE_OBJECT obj{};
  std::string name;                       // "\Device\OsciDev0", or empty
  std::unique_ptr<max_align_t[]> extension;
  int refs = 0;                           // open file objects on it (under the host lock)
  bool deleted = false;                   // IoDeleteDevice ran; freed when refs is 0
  std::shared_ptr<DeviceNode> node;       // the bus's device node, for its physical device object
  PDEVICE_OBJECT lower = nullptr;         // what it is attached to
};
inline DeviceRecord* Record(PDEVICE_OBJECT d) { return reinterpret_cast<DeviceRecord*>(d); }

// One device on the simulated USB bus.
struct DeviceNode {
  std::string instanceId;
  std::string hardwareId;
  std::shared_ptr<ISimUsbDevice> usb;
  PDEVICE_OBJECT pdo = nullptr;
  std::atomic<bool> gone{false};
  // Requests hold it shared from the gone test until the device took them; the unplug takes it
  // alone, so no request of a gone device reaches the device after its pending ones were ended.
  std::shared_mutex busMu;
  bool started = false;
  bool surpriseRemoved = false;
  bool removed = false;
  bool removeWhenClosed = false;  // surprise removed with files open: REMOVE follows the last close
  int openFiles = 0;              // created and not yet closed (under the host lock)
  DEVICE_POWER_STATE devicePower = PowerDeviceD0;
};

struct InterfaceRecord {
  GUID interfaceClass;
  std::string link;       // as handed out
  std::string linkLower;  // for the case-insensitive lookup
  PDEVICE_OBJECT pdo = nullptr;
  std::string instanceId;
  bool enabled = false;
};

struct DriverRecord {
  std::string service;
  std::string hardwareId;
  std::string module;
  PDRIVER_INITIALIZE entry = nullptr;
  UniqueModule handle;
  bool loaded = false;
  std::unique_ptr<DRIVER_OBJECT> object;
  std::unique_ptr<DRIVER_EXTENSION> extension;
  std::u16string name;
  std::u16string registryPath;
};

struct TimerEntry {
  uint64_t dueMs = 0;
  uint64_t periodMs = 0;
  PKDPC dpc = nullptr;
};

struct KernelHost::Impl {
  KernelHost* self = nullptr;
  std::mutex mu;  // every record below; never held while a driver runs
  std::vector<std::unique_ptr<DriverRecord>> drivers;
  std::vector<std::shared_ptr<DeviceNode>> nodes;
  std::vector<InterfaceRecord> interfaces;
  std::vector<InterfaceNotice> pendingNotices;
  NoticeSink sink;
  std::vector<DeviceRecord*> devices;  // every device record not yet freed
  std::unique_ptr<DRIVER_OBJECT> busDriver;
  bool refuseAttach = false;  // test knob: the bus refuses attaching to its devices

  // Plug-and-play worker.
  std::thread worker;
  std::mutex workMu;
  std::condition_variable workCv;
  std::deque<std::function<void()>> work;
  bool workBusy = false;
  bool stopping = false;

  // Timers and DPCs.
  std::thread dpcThread;
  std::mutex timerMu;
  std::condition_variable dpcIdleCv;
  std::map<PKTIMER, TimerEntry> timers;
  bool dpcRunning = false;
  bool dpcStop = false;
  std::shared_ptr<Waitable> timerWake;  // auto-reset event object
  std::thread::id dpcThreadId;
  int flushers = 0;  // KeFlushQueuedDpcs calls waiting on this host (timer lock); the host outlives them

  // Runs `job` on the worker; Run() waits for it.
  void Post(std::function<void()> job);
  void Run(std::function<void()> job);
  void WorkerLoop();
  void DpcLoop();
  void WakeTimers();

  DriverRecord* DriverFor(const std::string& hardwareId);
  NTSTATUS LoadDriver(DriverRecord& driver);
  void UnloadDriverLocked(DriverRecord& driver);

  // Plug and play, on the worker.
  void DoPlug(std::shared_ptr<ISimUsbDevice> usb, const std::string& hardwareId, const std::string& instanceId);
  void DoUnplug(const std::string& instanceId);
  NTSTATUS DoPnp(const std::shared_ptr<DeviceNode>& node, UCHAR minor);
  void DoRemove(const std::shared_ptr<DeviceNode>& node);
  void FlushNotices();
  std::shared_ptr<DeviceNode> FindNode(const std::string& instanceId);

  // A request built by the host and waited for; returns its final status.
  NTSTATUS SendAndWait(PDEVICE_OBJECT target, const std::function<void(PIO_STACK_LOCATION)>& setup,
                       PFILE_OBJECT file, PMDL mdl, ULONG_PTR* information, NTSTATUS initialStatus);

  void ReleaseDeviceRef(DeviceRecord* record);
  void FreeDeviceIfUnused(DeviceRecord* record);  // host lock held
  void FileClosed(const std::shared_ptr<DeviceNode>& node);
};

// The top of the stack a physical device object carries.
PDEVICE_OBJECT TopOfStack(PDEVICE_OBJECT pdo);

// The bus driver's dispatch (the physical device objects).
void InitBusDriver(DRIVER_OBJECT& driver);
PDEVICE_OBJECT CreateBusPdo(KernelHost::Impl& host, const std::shared_ptr<DeviceNode>& node);

// Pool for the host's own needs (IRPs, strings it hands out).
constexpr ULONG kIrpTag = PoolTag("Irp ");
constexpr ULONG kStringTag = PoolTag("Strg");

std::u16string ToUtf16(const std::string& ascii);
std::string ToAscii(const char16_t* text, size_t chars);
std::string Lower(std::string text);

// Sets the calling thread's interrupt level (the DPC thread runs at dispatch level).
void SetCurrentIrql(KIRQL irql);

// Every live host, each pinned against destruction until it is given back with UnpinHost.
std::vector<KernelHost::Impl*> PinLiveHosts();
void UnpinHost(KernelHost::Impl* host);

}  // namespace kvp::kernel
