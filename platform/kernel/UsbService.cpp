// The USB service: libusb's event thread, hot-plug arrival and removal, opening and closing the
// boards, and the choice of bus.
#include <platform/debug.h>
#include <platform/hardware.h>
#include <platform/kernel/UsbService.h>
#include <platform/registry.h>

#include "LibusbBus.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace kvp::kernel {

namespace {

constexpr unsigned kDescriptorLimitMs = 1000;
std::atomic<int> gServices{0};  // running services: one bus per process takes the boards
constexpr int kPollMs = 1000;  // without hot-plug in the library, the bus is looked at this often

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string HardwareId(uint16_t vendor, uint16_t product) {
  char text[40];
  std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X", vendor, product);
  return text;
}

}  // namespace

UsbBackend ConfiguredUsbBackend(bool simulatedHardware) {
  HKEY key = 0;
  std::string value;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kPlatformSettingsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    char text[32] = {};
    DWORD size = sizeof text - 1, type = 0;
    if (RegQueryValueEx(key, kUsbBackendValue, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ)
      value = Lower(text);
    RegCloseKey(key);
  }
  if (value == "simulated") return UsbBackend::Simulated;
  if (value == "libusb") return UsbBackend::Libusb;
  return simulatedHardware ? UsbBackend::Simulated : UsbBackend::Libusb;
}

struct UsbService::Impl {
  struct Board {
    usb::Device* device = nullptr;  // referenced while plugged
    std::shared_ptr<LibusbDevice> usb;
    std::string instanceId;
  };
  struct Event {
    bool arrived;
    usb::Device* device;  // referenced until handled
  };

  KernelHost* host = nullptr;
  const usb::Api* api = nullptr;
  usb::Context* ctx = nullptr;
  usb::HotplugHandle hotplug = 0;
  bool hasHotplug = false;

  mutable std::mutex mu;
  std::condition_variable cv;
  std::deque<Event> events;
  bool busy = false;
  bool stop = false;
  std::string error;
  std::vector<Board> boards;  // touched by the worker only, counted under mu

  std::mutex requestMu;
  std::condition_variable requestCv;
  std::deque<std::function<void()>> requests;
  bool requestStop = false;

  std::atomic<bool> eventStop{false};
  std::thread eventThread, worker, requestWorker;

  void Report(const std::string& text) {
    OutputDebugString(("USB: " + text + "\n").c_str());
    std::fprintf(stderr, "Dravix Scope: %s\n", text.c_str());
    std::lock_guard lock(mu);
    error = text;
  }

  static int OnHotplug(usb::Context*, usb::Device* device, int event, void* user) {
    auto* self = static_cast<Impl*>(user);
    self->api->ref_device(device);
    {
      std::lock_guard lock(self->mu);
      self->events.push_back({event == usb::kHotplugArrived, device});
    }
    self->cv.notify_all();
    return 0;  // stay registered
  }

  void EventLoop() {
    while (!eventStop) {
      usb::TimeVal tv{0, 100000};
      api->handle_events_timeout_completed(ctx, &tv, nullptr);
    }
  }

  void RequestLoop() {
    std::unique_lock lock(requestMu);
    for (;;) {
      requestCv.wait(lock, [&] { return requestStop || !requests.empty(); });
      if (requests.empty()) return;
      auto job = std::move(requests.front());
      requests.pop_front();
      lock.unlock();
      job();
      lock.lock();
    }
  }

  void PostRequest(std::function<void()> job) {
    {
      std::lock_guard lock(requestMu);
      requests.push_back(std::move(job));
    }
    requestCv.notify_all();
  }

  void WorkerLoop() {
    std::unique_lock lock(mu);
    for (;;) {
      if (hasHotplug) {
        cv.wait(lock, [&] { return stop || !events.empty(); });
      } else if (events.empty() && !stop) {
        lock.unlock();
        Poll();
        lock.lock();
        cv.wait_for(lock, std::chrono::milliseconds(kPollMs), [&] { return stop || !events.empty(); });
      }
      if (stop && events.empty()) return;
      if (events.empty()) continue;
      Event e = events.front();
      events.pop_front();
      busy = true;
      lock.unlock();
      if (e.arrived)
        Arrive(e.device);
      else
        Leave(e.device);
      api->unref_device(e.device);
      lock.lock();
      busy = false;
      cv.notify_all();
    }
  }

  // Without hot-plug: arrivals and removals from comparing the bus with the plugged boards.
  void Poll() {
    usb::Device** list = nullptr;
    const long n = api->get_device_list(ctx, &list);
    if (n < 0) return;
    std::vector<usb::Device*> present;
    for (long i = 0; i < n; ++i) {
      usb::DeviceDescriptor d{};
      if (api->get_device_descriptor(list[i], &d) == 0 && d.idVendor == kBoardVendorId &&
          d.idProduct == kBoardProductId)
        present.push_back(list[i]);
    }
    std::lock_guard lock(mu);
    for (auto* d : present)
      if (std::none_of(boards.begin(), boards.end(), [&](const Board& b) { return b.device == d; }))
        events.push_back({true, api->ref_device(d)});
    for (auto& b : boards)
      if (std::find(present.begin(), present.end(), b.device) == present.end())
        events.push_back({false, api->ref_device(b.device)});
    api->free_device_list(list, 1);
  }

  std::string Where(usb::Device* device) {
    uint8_t ports[8];
    const int n = api->get_port_numbers(device, ports, sizeof ports);
    std::string path = std::to_string(api->get_bus_number(device)) + "-";
    for (int i = 0; i < n; ++i) path += (i ? "." : "") + std::to_string(ports[i]);
    if (n <= 0) path += std::to_string(api->get_device_address(device));
    return path;
  }

  void Arrive(usb::Device* device) {
    usb::DeviceDescriptor d{};
    if (api->get_device_descriptor(device, &d) != 0 || d.idVendor != kBoardVendorId ||
        d.idProduct != kBoardProductId)
      return;
    if (std::any_of(boards.begin(), boards.end(), [&](const Board& b) { return b.device == device; })) return;
    const std::string where = Where(device);
    usb::DeviceHandle* handle = nullptr;
    int rc = api->open(device, &handle);
    if (rc != usb::kSuccess) {
      Report("the KV310 board on USB " + where + " cannot be opened (" + usb::ErrorName(rc) + ")" +
             (rc == usb::kErrorAccess ? ": permission denied; install the board's udev rule (see README)" : ""));
      return;
    }
    int configuration = 0;
    if (api->get_configuration(handle, &configuration) != 0 || configuration != 1)
      rc = api->set_configuration(handle, 1);
    if (rc == usb::kSuccess) rc = api->claim_interface(handle, 0);
    if (rc != usb::kSuccess) {
      Report("the KV310 board on USB " + where + " cannot be claimed (" + usb::ErrorName(rc) + ")" +
             (rc == usb::kErrorBusy ? ": another program uses it" : ""));
      api->close(handle);
      return;
    }
    std::vector<uint8_t> deviceBytes(18);
    std::vector<std::vector<uint8_t>> configurations;
    if (api->control_transfer(handle, 0x80, 6, 0x0100, 0, deviceBytes.data(), 18, kDescriptorLimitMs) != 18)
      deviceBytes.clear();
    for (uint8_t i = 0; i < d.bNumConfigurations; ++i) {
      uint8_t head[9] = {};
      std::vector<uint8_t> bytes;
      const uint16_t value = static_cast<uint16_t>(0x0200 | i);
      if (api->control_transfer(handle, 0x80, 6, value, 0, head, 9, kDescriptorLimitMs) == 9) {
        const uint16_t total = static_cast<uint16_t>(head[2] | (head[3] << 8));
        bytes.resize(std::max<uint16_t>(total, 9));
        const int got = api->control_transfer(handle, 0x80, 6, value, 0, bytes.data(),
                                              static_cast<uint16_t>(bytes.size()), kDescriptorLimitMs);
        bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
      }
      configurations.push_back(std::move(bytes));
    }
    auto usbDevice = std::make_shared<LibusbDevice>(*api, handle, std::move(deviceBytes), std::move(configurations),
                                                    [this](std::function<void()> job) { PostRequest(std::move(job)); });
    Board board{api->ref_device(device), usbDevice, "libusb&" + where};
    host->PlugUsbDevice(usbDevice, HardwareId(d.idVendor, d.idProduct), board.instanceId);
    std::lock_guard lock(mu);
    boards.push_back(std::move(board));
  }

  void Unplug(Board& board) {
    host->UnplugUsbDevice(board.instanceId);
    host->WaitIdle();
    board.usb->Close();
    api->unref_device(board.device);
  }

  void Leave(usb::Device* device) {
    Board board;
    {
      std::lock_guard lock(mu);
      auto it = std::find_if(boards.begin(), boards.end(), [&](const Board& b) { return b.device == device; });
      if (it == boards.end()) return;
      board = std::move(*it);
      boards.erase(it);
    }
    Unplug(board);
  }
};

UsbService::UsbService(KernelHost& host, bool registerDriver) : impl_(std::make_unique<Impl>()) {
  Impl& s = *impl_;
  s.host = &host;
  s.api = usb::Load();
  if (!s.api) {
    // Not an error of the program's: it runs without real boards. Said in the trace only.
    s.error = std::getenv("KV_NO_LIBUSB") ? "libusb is turned off (KV_NO_LIBUSB)"
                                          : "libusb-1.0 is not installed: no real USB boards";
    if (!std::getenv("KV_NO_LIBUSB")) OutputDebugString(("USB: " + s.error + "\n").c_str());
    return;
  }
  if (const int rc = s.api->init(&s.ctx); rc != usb::kSuccess) {
    s.ctx = nullptr;
    s.Report(std::string("libusb does not start (") + usb::ErrorName(rc) + ")");
    return;
  }
  if (registerDriver) host.RegisterDriver("qrtdrv", HardwareId(kBoardVendorId, kBoardProductId), "qrtdrv.dll");
  ++gServices;
  s.hasHotplug = s.api->has_capability(usb::kCapHasHotplug) != 0;
  s.requestWorker = std::thread([&s] { s.RequestLoop(); });
  s.worker = std::thread([&s] { s.WorkerLoop(); });
  s.eventThread = std::thread([&s] { s.EventLoop(); });
  if (s.hasHotplug &&
      s.api->hotplug_register_callback(s.ctx, usb::kHotplugArrived | usb::kHotplugLeft, usb::kHotplugEnumerate,
                                       kBoardVendorId, kBoardProductId, usb::kHotplugMatchAny, Impl::OnHotplug, &s,
                                       &s.hotplug) != usb::kSuccess) {
    s.hasHotplug = false;  // the worker polls instead
    s.cv.notify_all();
  }
}

UsbService::~UsbService() {
  Impl& s = *impl_;
  if (!s.ctx) return;
  if (s.hasHotplug) s.api->hotplug_deregister_callback(s.ctx, s.hotplug);
  {
    std::lock_guard lock(s.mu);
    s.stop = true;
  }
  s.cv.notify_all();
  s.worker.join();
  for (auto& e : s.events) s.api->unref_device(e.device);
  s.events.clear();
  // The boards close while the event thread still delivers their transfers' ends.
  for (auto& board : s.boards) s.Unplug(board);
  s.boards.clear();
  s.eventStop = true;
  if (s.api->interrupt_event_handler) s.api->interrupt_event_handler(s.ctx);
  s.eventThread.join();
  {
    std::lock_guard lock(s.requestMu);
    s.requestStop = true;
  }
  s.requestCv.notify_all();
  s.requestWorker.join();
  s.api->exit(s.ctx);
  --gServices;
}

bool UsbService::Running() const { return impl_->ctx != nullptr; }

std::string UsbService::Error() const {
  std::lock_guard lock(impl_->mu);
  return impl_->error;
}

size_t UsbService::Boards() const {
  std::lock_guard lock(impl_->mu);
  return impl_->boards.size();
}

void UsbService::WaitIdle() {
  {
    std::unique_lock lock(impl_->mu);
    impl_->cv.wait(lock, [&] { return impl_->stop || (impl_->events.empty() && !impl_->busy); });
  }
  impl_->host->WaitIdle();
}

UsbService* EnsureUsbBackend(bool simulatedHardware) {
  static UsbService* service = [&]() -> UsbService* {
    if (ConfiguredUsbBackend(simulatedHardware) != UsbBackend::Libusb) return nullptr;
    if (gServices > 0) return nullptr;  // a bus of the program's own (a test, a benchmark) runs already
    // The process's own bus lives until the process ends, like its kernel host.
    auto* s = new UsbService(KernelHost::EnsureActive(), !simulatedHardware);
    if (s->Running()) {
      s->WaitIdle();  // boards already plugged in are there before the first enumeration
      return s;
    }
    delete s;
    return nullptr;
  }();
  return service;
}

}  // namespace kvp::kernel
