// The kernel host: drivers, the plug-and-play worker with the bus's plug and unplug sequences,
// system power, the device-interface registry and the active-host rule.
#include "HostInternal.h"

#include <platform/module.h>

#include "sync/SyncObjects.h"

#include <algorithm>
#include <future>

namespace kvp::kernel {

namespace {

std::mutex gActiveMu;
std::vector<KernelHost*> gHosts;  // live hosts, newest last
NoticeSink& DefaultSink() {
  static auto* sink = new NoticeSink;
  return *sink;
}

NTSTATUS InvalidDeviceRequest(PDEVICE_OBJECT, PIRP irp) {
  irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_INVALID_DEVICE_REQUEST;
}

void InitDriverObject(DRIVER_OBJECT& driver, KernelHost::Impl* host) {
  for (auto& f : driver.MajorFunction) f = InvalidDeviceRequest;
  driver.Host = host;
}

}  // namespace

KernelHost* KernelHost::Active() {
  std::lock_guard lock(gActiveMu);
  return gHosts.empty() ? nullptr : gHosts.back();
}

KernelHost& KernelHost::EnsureActive() {
  {
    std::lock_guard lock(gActiveMu);
    if (!gHosts.empty()) return *gHosts.back();
  }
  new KernelHost;  // the process's own host lives until the process ends
  std::lock_guard lock(gActiveMu);
  return *gHosts.back();
}

std::vector<KernelHost::Impl*> PinLiveHosts() {
  std::lock_guard lock(gActiveMu);
  std::vector<KernelHost::Impl*> hosts;
  for (KernelHost* h : gHosts) {
    std::lock_guard timers(h->impl()->timerMu);
    ++h->impl()->flushers;
    hosts.push_back(h->impl());
  }
  return hosts;
}

void UnpinHost(KernelHost::Impl* host) {
  std::lock_guard lock(host->timerMu);
  --host->flushers;
  host->dpcIdleCv.notify_all();
}

void SetDefaultNoticeSink(NoticeSink sink) {
  std::lock_guard lock(gActiveMu);
  DefaultSink() = std::move(sink);
}

KernelHost::KernelHost() : impl_(std::make_unique<Impl>()) {
  impl_->self = this;
  {
    std::lock_guard lock(gActiveMu);
    impl_->sink = DefaultSink();
  }
  impl_->busDriver = std::make_unique<DRIVER_OBJECT>();
  InitDriverObject(*impl_->busDriver, impl_.get());
  InitBusDriver(*impl_->busDriver);
  impl_->timerWake = std::make_shared<sync::EventObject>(false, false);
  impl_->worker = std::thread([this] { impl_->WorkerLoop(); });
  impl_->dpcThread = std::thread([this] { impl_->DpcLoop(); });
  impl_->dpcThreadId = impl_->dpcThread.get_id();
  std::lock_guard lock(gActiveMu);
  gHosts.push_back(this);
}

KernelHost::~KernelHost() {
  // Remove what is still plugged, then unload the drivers.
  std::vector<std::string> plugged;
  {
    std::lock_guard lock(impl_->mu);
    for (auto& n : impl_->nodes) plugged.push_back(n->instanceId);
  }
  for (auto& id : plugged) {
    impl_->Run([&] {
      if (auto node = impl_->FindNode(id)) {
        impl_->DoUnplug(id);
        if (!node->removed) impl_->DoRemove(node);
      }
    });
  }
  impl_->Run([&] {
    for (auto& d : impl_->drivers)
      if (d->loaded) impl_->UnloadDriverLocked(*d);
  });
  {
    std::lock_guard lock(impl_->workMu);
    impl_->stopping = true;
  }
  impl_->workCv.notify_all();
  impl_->worker.join();
  {
    std::lock_guard lock(impl_->timerMu);
    impl_->dpcStop = true;
  }
  impl_->WakeTimers();
  impl_->dpcThread.join();
  {
    std::lock_guard lock(gActiveMu);
    gHosts.erase(std::remove(gHosts.begin(), gHosts.end(), this), gHosts.end());
  }
  {
    // A flush that found this host still looks at it.
    std::unique_lock lock(impl_->timerMu);
    impl_->dpcIdleCv.wait(lock, [&] { return impl_->flushers == 0; });
  }
  std::lock_guard lock(impl_->mu);
  for (auto* d : impl_->devices) delete d;  // records kept alive by files that outlived the host
  impl_->devices.clear();
}

// ------------------------------------------------------------------------------------------------
// Worker

void KernelHost::Impl::Post(std::function<void()> job) {
  {
    std::lock_guard lock(workMu);
    work.push_back(std::move(job));
  }
  workCv.notify_all();
}

void KernelHost::Impl::Run(std::function<void()> job) {
  if (std::this_thread::get_id() == worker.get_id()) {
    job();
    return;
  }
  std::promise<void> done;
  auto future = done.get_future();
  Post([&] {
    job();
    done.set_value();
  });
  future.wait();
}

void KernelHost::Impl::WorkerLoop() {
  std::unique_lock lock(workMu);
  for (;;) {
    workCv.wait(lock, [&] { return stopping || !work.empty(); });
    if (work.empty()) return;
    auto job = std::move(work.front());
    work.pop_front();
    workBusy = true;
    lock.unlock();
    job();
    FlushNotices();
    lock.lock();
    workBusy = false;
    workCv.notify_all();
  }
}

void KernelHost::WaitIdle() {
  std::unique_lock lock(impl_->workMu);
  impl_->workCv.wait(lock, [&] { return impl_->work.empty() && !impl_->workBusy; });
}

void KernelHost::Impl::FlushNotices() {
  std::vector<InterfaceNotice> notices;
  NoticeSink target;
  {
    std::lock_guard lock(mu);
    notices.swap(pendingNotices);
    target = sink;
  }
  if (notices.empty() || !target) return;
  for (auto& n : notices) target(n);
  target(InterfaceNotice{InterfaceNotice::NodesChanged, {}, {}});
}

void KernelHost::SetNoticeSink(NoticeSink sink) {
  std::lock_guard lock(impl_->mu);
  impl_->sink = std::move(sink);
}

// ------------------------------------------------------------------------------------------------
// Drivers

void KernelHost::RegisterDriver(const std::string& service, const std::string& hardwareId,
                                const std::string& module) {
  auto d = std::make_unique<DriverRecord>();
  d->service = service;
  d->hardwareId = hardwareId;
  d->module = module;
  std::lock_guard lock(impl_->mu);
  impl_->drivers.push_back(std::move(d));
}

void KernelHost::RegisterDriver(const std::string& service, const std::string& hardwareId,
                                PDRIVER_INITIALIZE entry) {
  auto d = std::make_unique<DriverRecord>();
  d->service = service;
  d->hardwareId = hardwareId;
  d->entry = entry;
  std::lock_guard lock(impl_->mu);
  impl_->drivers.push_back(std::move(d));
}

DriverRecord* KernelHost::Impl::DriverFor(const std::string& hardwareId) {
  std::lock_guard lock(mu);
  for (auto& d : drivers)
    if (Lower(d->hardwareId) == Lower(hardwareId)) return d.get();
  return nullptr;
}

NTSTATUS KernelHost::Impl::LoadDriver(DriverRecord& d) {
  if (d.loaded) return STATUS_SUCCESS;
  PDRIVER_INITIALIZE entry = d.entry;
  if (!entry) {
    d.handle.reset(LoadLibrary(d.module.c_str()));
    if (!d.handle) return STATUS_OBJECT_NAME_NOT_FOUND;
    entry = reinterpret_cast<PDRIVER_INITIALIZE>(reinterpret_cast<void*>(GetProcAddress(d.handle.get(), "DriverEntry")));
    if (!entry) {
      d.handle.reset();
      return STATUS_OBJECT_NAME_NOT_FOUND;
    }
  }
  d.object = std::make_unique<DRIVER_OBJECT>();
  d.extension = std::make_unique<DRIVER_EXTENSION>();
  InitDriverObject(*d.object, this);
  d.extension->DriverObject = d.object.get();
  d.object->DriverExtension = d.extension.get();
  d.name = ToUtf16("\\Driver\\" + d.service);
  d.object->DriverName = {static_cast<USHORT>(d.name.size() * 2), static_cast<USHORT>(d.name.size() * 2 + 2),
                          d.name.data()};
  d.registryPath = ToUtf16("\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Services\\" + d.service);
  UNICODE_STRING path{static_cast<USHORT>(d.registryPath.size() * 2),
                      static_cast<USHORT>(d.registryPath.size() * 2 + 2), d.registryPath.data()};
  const NTSTATUS status = entry(d.object.get(), &path);
  if (!NT_SUCCESS(status)) {
    d.object.reset();
    d.extension.reset();
    d.handle.reset();
    return status;
  }
  d.loaded = true;
  return STATUS_SUCCESS;
}

void KernelHost::Impl::UnloadDriverLocked(DriverRecord& d) {
  if (d.object->DriverUnload) d.object->DriverUnload(d.object.get());
  d.object.reset();
  d.extension.reset();
  d.handle.reset();
  d.loaded = false;
}

bool KernelHost::UnloadDriver(const std::string& service) {
  bool done = false;
  impl_->Run([&] {
    for (auto& d : impl_->drivers) {
      if (d->service != service || !d->loaded) continue;
      if (d->object->DeviceObject) return;  // devices are removed through plug and play first
      impl_->UnloadDriverLocked(*d);
      done = true;
    }
  });
  return done;
}

bool KernelHost::DriverLoaded(const std::string& service) {
  std::lock_guard lock(impl_->mu);
  for (auto& d : impl_->drivers)
    if (d->service == service) return d->loaded;
  return false;
}

// ------------------------------------------------------------------------------------------------
// Plug and play

std::shared_ptr<DeviceNode> KernelHost::Impl::FindNode(const std::string& instanceId) {
  std::lock_guard lock(mu);
  for (auto& n : nodes)
    if (n->instanceId == instanceId) return n;
  return nullptr;
}

void KernelHost::PlugUsbDevice(std::shared_ptr<ISimUsbDevice> device, const std::string& hardwareId,
                               const std::string& instanceId) {
  impl_->Post([this, device, hardwareId, instanceId] { impl_->DoPlug(device, hardwareId, instanceId); });
}

void KernelHost::UnplugUsbDevice(const std::string& instanceId) {
  impl_->Post([this, instanceId] { impl_->DoUnplug(instanceId); });
}

namespace {
void SetInterfacesOf(KernelHost::Impl& host, PDEVICE_OBJECT pdo, const GUID& cls, bool enable) {
  std::lock_guard lock(host.mu);
  for (auto& i : host.interfaces) {
    if (i.pdo != pdo || !IsEqualGUID(i.interfaceClass, cls) || i.enabled == enable) continue;
    i.enabled = enable;
    host.pendingNotices.push_back(
        {enable ? InterfaceNotice::Arrival : InterfaceNotice::RemoveComplete, i.interfaceClass, i.link});
  }
}
}  // namespace

void KernelHost::Impl::DoPlug(std::shared_ptr<ISimUsbDevice> usb, const std::string& hardwareId,
                              const std::string& instanceId) {
  if (FindNode(instanceId)) return;
  auto node = std::make_shared<DeviceNode>();
  node->instanceId = instanceId;
  node->hardwareId = hardwareId;
  node->usb = std::move(usb);
  {
    std::lock_guard lock(mu);
    nodes.push_back(node);
  }
  PDEVICE_OBJECT pdo = CreateBusPdo(*this, node);
  IoRegisterDeviceInterface(pdo, &kGuidDevInterfaceUsbDevice, nullptr, nullptr);

  // Without a function driver the device runs raw: its bus interface still comes up.
  DriverRecord* driver = DriverFor(hardwareId);
  if (driver && NT_SUCCESS(LoadDriver(*driver))) {
    const NTSTATUS added = driver->object->DriverExtension->AddDevice(driver->object.get(), pdo);
    if (!NT_SUCCESS(added) || !pdo->AttachedDevice) return;
    pdo->AttachedDevice->Flags &= ~DO_DEVICE_INITIALIZING;
  }
  if (NT_SUCCESS(DoPnp(node, IRP_MN_START_DEVICE))) {
    node->started = true;
    SetInterfacesOf(*this, pdo, kGuidDevInterfaceUsbDevice, true);
  }
}

void KernelHost::Impl::DoUnplug(const std::string& instanceId) {
  auto node = FindNode(instanceId);
  if (!node || node->gone) return;
  {
    std::unique_lock bus(node->busMu);
    node->gone = true;
    node->usb->Disconnected();
  }
  if (!node->removed) {
    DoPnp(node, IRP_MN_SURPRISE_REMOVAL);
    node->surpriseRemoved = true;
  }
  {
    std::lock_guard lock(mu);
    for (auto& i : interfaces) {
      if (i.pdo != node->pdo || !i.enabled) continue;
      i.enabled = false;
      pendingNotices.push_back({InterfaceNotice::RemoveComplete, i.interfaceClass, i.link});
    }
  }
  FlushNotices();  // the notices go out after the driver has handled the surprise removal
  bool filesOpen;
  {
    std::lock_guard lock(mu);
    filesOpen = node->openFiles > 0;
    node->removeWhenClosed = filesOpen;
  }
  if (!filesOpen) DoRemove(node);
}

void KernelHost::Impl::DoRemove(const std::shared_ptr<DeviceNode>& node) {
  if (node->removed) return;
  DoPnp(node, IRP_MN_REMOVE_DEVICE);
  node->removed = true;
  node->started = false;
  {
    std::lock_guard lock(mu);
    for (auto& i : interfaces) {
      if (i.pdo == node->pdo && i.enabled)
        pendingNotices.push_back({InterfaceNotice::RemoveComplete, i.interfaceClass, i.link});
    }
    std::erase_if(interfaces, [&](const InterfaceRecord& i) { return i.pdo == node->pdo; });
    std::erase(nodes, node);
  }
  if (!node->gone) {
    std::unique_lock bus(node->busMu);
    node->gone = true;
    node->usb->Disconnected();
  }
  IoDeleteDevice(node->pdo);
}

void KernelHost::Impl::FileClosed(const std::shared_ptr<DeviceNode>& node) {
  bool remove = false;
  {
    std::lock_guard lock(mu);
    if (--node->openFiles == 0 && node->removeWhenClosed) {
      node->removeWhenClosed = false;
      remove = true;
    }
  }
  if (remove) Post([this, node] { DoRemove(node); });
}

NTSTATUS KernelHost::Impl::DoPnp(const std::shared_ptr<DeviceNode>& node, UCHAR minor) {
  PDEVICE_OBJECT top = TopOfStack(node->pdo);
  DEVICE_CAPABILITIES caps{};
  return SendAndWait(
      top,
      [&](PIO_STACK_LOCATION sp) {
        sp->MajorFunction = IRP_MJ_PNP;
        sp->MinorFunction = minor;
        if (minor == IRP_MN_QUERY_CAPABILITIES) {
          caps.Size = sizeof caps;
          caps.Version = 1;
          sp->Parameters.DeviceCapabilities.Capabilities = &caps;
        }
      },
      nullptr, nullptr, nullptr, STATUS_NOT_SUPPORTED);
}

NTSTATUS KernelHost::SendPnp(const std::string& instanceId, UCHAR minor) {
  NTSTATUS status = STATUS_NO_SUCH_DEVICE;
  impl_->Run([&] {
    auto node = impl_->FindNode(instanceId);
    if (!node) return;
    if (minor == IRP_MN_REMOVE_DEVICE) {
      status = STATUS_SUCCESS;
      impl_->DoRemove(node);
      return;
    }
    status = impl_->DoPnp(node, minor);
    if (minor == IRP_MN_START_DEVICE && NT_SUCCESS(status)) {
      node->started = true;
      SetInterfacesOf(*impl_, node->pdo, kGuidDevInterfaceUsbDevice, true);
    } else if (minor == IRP_MN_STOP_DEVICE && NT_SUCCESS(status)) {
      node->started = false;
      SetInterfacesOf(*impl_, node->pdo, kGuidDevInterfaceUsbDevice, false);
    } else if (minor == IRP_MN_SURPRISE_REMOVAL) {
      node->surpriseRemoved = true;
    }
  });
  return status;
}

namespace {
NTSTATUS SystemPower(KernelHost::Impl& host, UCHAR minor, SYSTEM_POWER_STATE state) {
  std::vector<std::shared_ptr<DeviceNode>> started;
  {
    std::lock_guard lock(host.mu);
    for (auto& n : host.nodes)
      if (n->started && n->pdo->AttachedDevice) started.push_back(n);
  }
  for (auto& node : started) {
    const NTSTATUS status = host.SendAndWait(
        TopOfStack(node->pdo),
        [&](PIO_STACK_LOCATION sp) {
          sp->MajorFunction = IRP_MJ_POWER;
          sp->MinorFunction = minor;
          sp->Parameters.Power.Type = SystemPowerState;
          sp->Parameters.Power.State.SystemState = state;
        },
        nullptr, nullptr, nullptr, STATUS_NOT_SUPPORTED);
    if (!NT_SUCCESS(status)) return status;
  }
  return STATUS_SUCCESS;
}
}  // namespace

NTSTATUS KernelHost::QuerySystemPower(SYSTEM_POWER_STATE state) {
  NTSTATUS status = STATUS_SUCCESS;
  impl_->Run([&] { status = SystemPower(*impl_, IRP_MN_QUERY_POWER, state); });
  return status;
}

NTSTATUS KernelHost::SetSystemPower(SYSTEM_POWER_STATE state) {
  NTSTATUS status = STATUS_SUCCESS;
  impl_->Run([&] { status = SystemPower(*impl_, IRP_MN_SET_POWER, state); });
  return status;
}

DEVICE_POWER_STATE KernelHost::DevicePowerState(const std::string& instanceId) {
  auto node = impl_->FindNode(instanceId);
  std::lock_guard lock(impl_->mu);
  return node ? node->devicePower : PowerDeviceUnspecified;
}

std::vector<DeviceInterfaceInfo> KernelHost::EnabledInterfaces(const GUID& cls) {
  std::vector<DeviceInterfaceInfo> out;
  std::lock_guard lock(impl_->mu);
  for (auto& i : impl_->interfaces)
    if (i.enabled && IsEqualGUID(i.interfaceClass, cls)) out.push_back({i.interfaceClass, i.link, i.instanceId});
  return out;
}

std::vector<std::string> KernelHost::DeviceNames() {
  std::vector<std::string> out;
  std::lock_guard lock(impl_->mu);
  for (auto* d : impl_->devices)
    if (!d->deleted && !d->name.empty()) out.push_back(d->name);
  return out;
}

size_t KernelHost::ThreadCount() {
  return (impl_->worker.joinable() ? 1 : 0) + (impl_->dpcThread.joinable() ? 1 : 0);
}

void KernelHost::RefuseAttach(bool refuse) {
  std::lock_guard lock(impl_->mu);
  impl_->refuseAttach = refuse;
}

void KernelHost::Impl::FreeDeviceIfUnused(DeviceRecord* record) {
  if (!record->deleted || record->refs > 0) return;
  std::erase(devices, record);
  delete record;
}

void KernelHost::Impl::ReleaseDeviceRef(DeviceRecord* record) {
  std::lock_guard lock(mu);
  --record->refs;
  FreeDeviceIfUnused(record);
}

DWORD Win32ErrorFromStatus(NTSTATUS status) {
  const ULONG s = static_cast<ULONG>(status);
  if (s & 0x20000000u) return s;  // a customer status passes through unchanged
  static const struct {
    ULONG status;
    DWORD error;
  } kMap[] = {
      {0xC000009Au, 1450},  // insufficient resources -> ERROR_NO_SYSTEM_RESOURCES
      {0xC0000056u, 5},     // delete pending -> ERROR_ACCESS_DENIED
      {0xC0000001u, 31},    // unsuccessful -> ERROR_GEN_FAILURE
      {0xC000000Du, 87},    // invalid parameter
      {0xC0000120u, 995},   // cancelled -> ERROR_OPERATION_ABORTED
      {0x80000011u, 170},   // device busy -> ERROR_BUSY
      {0xC0000034u, 2},     // object name not found -> ERROR_FILE_NOT_FOUND
      {0xC0000010u, 1},     // invalid device request -> ERROR_INVALID_FUNCTION
      {0xC000009Du, 1167},  // device not connected
      {0xC000000Eu, 1167},  // no such device
      {0x00000102u, 1460},  // time-out (only reached as an error by callers that ask)
  };
  for (auto& m : kMap)
    if (m.status == s) return m.error;
  return 31;
}

}  // namespace kvp::kernel
