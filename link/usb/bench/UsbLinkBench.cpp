// Request round trips and payload throughput through the whole USB path (ZLINKUSB, the device
// services, qrtdrv on the kernel host, the simulated bus) with a board that answers at once,
// against the full-speed wire limit of 1.216 MB/s.
//
// Run under umockdev's preload library (LD_PRELOAD=libumockdev-preload.so.0) the same path goes
// over the libusb bus, through the real libusb, to a mocked device answered by the same board: a
// figure for people (the emulation's socket round trips bound it), labelled "libusb (umockdev)".
#include <benchmark/benchmark.h>

#include <link/LinkBinding.h>
#include <link/LinkExports.h>
#include <platform/kernel/KernelHost.h>
#include <platform/module.h>
#include <platform/registry.h>
#include <platform/sync.h>
#include <sim/BoardFrame.h>
#include <sim/UsbBoard.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#ifdef KV_BENCH_LIBUSB
#include <platform/kernel/UsbService.h>

#include "../tests/UmockdevBoard.h"
#endif

namespace {

constexpr double kFullSpeedBytesPerSecond = 1.216e6;
constexpr const char* kKey = "SOFTWARE\\KELO\\Kv310USBBench";

// The whole path, set up once: the board already runs its firmware, so nothing is loaded.
struct Path {
  sim::BoardModel model;
#ifdef KV_BENCH_LIBUSB
  // Made before the path's host, which stays the active one.
  std::unique_ptr<usbmock::UmockdevBoard> mock =
      usbmock::UmockdevBoard::Unavailable().empty() ? std::make_unique<usbmock::UmockdevBoard>(model) : nullptr;
  std::unique_ptr<kvp::kernel::UsbService> service;
#endif
  kvp::kernel::KernelHost host;
  std::shared_ptr<sim::UsbBoard> board = std::make_shared<sim::UsbBoard>(model);
  const char* label = "simulated bus";
  HMODULE module = 0;
  LinkWriteProc write = nullptr;
  LinkReadProc read = nullptr;
  LinkGetEventProc getEvent = nullptr;
  bool ok = false;

  Path() {
    FILE* f = std::fopen("bench_usb_firmware.hex", "wb");
    std::fputs(":00000001FF\r\nVersion 1.00\r\n", f);
    std::fclose(f);
    HKEY key = 0;
    RegCreateKeyEx(HKEY_LOCAL_MACHINE, (std::string(kKey) + "\\Parameter").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                   nullptr, &key, nullptr);
    const char* file = "bench_usb_firmware.hex";
    RegSetValueEx(key, "Firmware", 0, REG_SZ, reinterpret_cast<const BYTE*>(file), strlen(file) + 1);
    RegCloseKey(key);
    model.Update([](sim::BoardScenario& s) { sim::SetHwSwText(s.hwSwInfo.firmwareText, "1.00"); });
#ifdef KV_BENCH_LIBUSB
    if (mock) {
      mock->Board().SetMode(sim::UsbBoardMode::App);
      mock->Plug();
      service = std::make_unique<kvp::kernel::UsbService>(host);
      for (int i = 0; i < 500 && service->Boards() == 0; ++i) Sleep(10);
      service->WaitIdle();
      label = "libusb (umockdev)";
    }
#endif
    if (!Libusb()) {
      setenv("KV_NO_LIBUSB", "1", 1);  // the machine's own boards stay out of the figures
      host.RegisterDriver("qrtdrv", sim::kUsbHardwareId, "qrtdrv.dll");
      board->SetMode(sim::UsbBoardMode::App);
      board->Plug(host);
      host.WaitIdle();
    }
    module = LoadLibrary("ZLINKUSB.dll");
    if (!module) return;
    kvlink::LinkExportSet exports;
    exports.Bind(module);
    write = exports.Write;
    read = exports.Read;
    getEvent = exports.GetEvent;
    ok = exports.Init && exports.Init(kKey, nullptr) == 0;
  }
  ~Path() {
    if (module) {
      if (auto deinit = kvlink::BindExport<LinkDeinitProc>(module, "Deinit"))
        deinit();
      FreeLibrary(module);
    }
    board->Unplug();
    host.WaitIdle();
#ifdef KV_BENCH_LIBUSB
    service.reset();  // before the host it plugs into
#endif
  }
  bool Libusb() const {
#ifdef KV_BENCH_LIBUSB
    return mock != nullptr;
#else
    return false;
#endif
  }
};

Path& ThePath() {
  static Path* path = new Path;
  return *path;
}

// The smallest request and its reply: the software path's own cost per round trip.
void BM_RequestRoundTrip(benchmark::State& state) {
  Path& p = ThePath();
  if (!p.ok) {
    state.SkipWithError("the USB path did not start");
    return;
  }
  state.SetLabel(p.label);
  const sim::Bytes request = sim::BuildFrame(sim::Bytes{0x02, 0x02});
  std::vector<uint8_t> reply(4224);
  size_t bytes = 0;
  for (auto _ : state) {
    if (p.write(request.data(), static_cast<int>(request.size())) != static_cast<int>(request.size())) {
      state.SkipWithError("write failed");
      break;
    }
    WaitForSingleObject(p.getEvent(), 1000);
    const int got = p.read(reply.data(), static_cast<int>(reply.size()));
    bytes += request.size() + (got > 0 ? got : 0);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_RequestRoundTrip)->UseRealTime();

// The largest request frame (4101 bytes) and its reply each time; the ratio to the full-speed wire
// is reported as x_full_speed.
void BM_PayloadThroughput(benchmark::State& state) {
  Path& p = ThePath();
  if (!p.ok) {
    state.SkipWithError("the USB path did not start");
    return;
  }
  state.SetLabel(p.label);
  sim::Bytes payload(4096, 0x00);
  payload[0] = 0x02;
  payload[1] = 0x02;
  const sim::Bytes request = sim::BuildFrame(payload);
  std::vector<uint8_t> reply(4224);
  size_t bytes = 0;
  for (auto _ : state) {
    const int sent = p.write(request.data(), static_cast<int>(request.size()));
    WaitForSingleObject(p.getEvent(), 1000);
    const int got = p.read(reply.data(), static_cast<int>(reply.size()));
    bytes += (sent > 0 ? sent : 0) + (got > 0 ? got : 0);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  // A rate counter divides by the elapsed time: bytes per second over the wire's bytes per second.
  state.counters["x_full_speed"] =
      benchmark::Counter(static_cast<double>(bytes) / kFullSpeedBytesPerSecond, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PayloadThroughput)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
