// Readings per second of each engine-tester meter against a board that answers at once: what the
// library itself costs per reading (the panes poll every 250 ms).
#include "ComPort.h"
#include "Library.h"
#include "ProbeTable.h"
#include "instruments/ImplementationMotortester_6.h"
#include "../tests/LinkTestSupport.h"

#include <benchmark/benchmark.h>
#include <platform/clock.h>

#include <kv310/Kv310.h>
#include <chrono>
#include <future>
#include <memory>

namespace {

using namespace kv310;

struct EngineTesterLink {
  EngineTesterLink() {
    testing::SetLinkLibrary("zlinksim.dll");
    zlink = std::make_unique<testing::ZlinkSimBoard>();
    zlink->Board().Reset();
    zlink->Board().Update([](sim::BoardScenario& s) {
      s.engineTesterAttached = true;
      s.engine.rpm = 3000;
    });
    LibraryAttach();
    link = new CComPort();
    SetLink(link);
    started = link->Start() == kStateIdle;
    // The firmware check is not what is measured here.
    EngineState().SetFirmwareChecked(true);
    EngineState().SetEngineTesterReady(true);
  }
  ~EngineTesterLink() {
    SetLink(nullptr);
    delete link;
    LibraryDetach();
  }
  template <typename Interface>
  Interface& Meter(unsigned id) {
    return *static_cast<Interface*>(InterfaceOf(id));
  }
  std::unique_ptr<testing::ZlinkSimBoard> zlink;
  CComPort* link = nullptr;
  bool started = false;
};

// Runs `read` once per iteration; the first call configures the board.
template <typename Read>
void Readings(benchmark::State& state, EngineTesterLink& open, Read read) {
  if (!open.started || read() != kOk) {
    state.SkipWithError("the meter does not read");
    return;
  }
  for (auto _ : state) {
    if (read() != kOk) {
      state.SkipWithError("reading failed");
      break;
    }
    open.zlink->Board().ClearLog();  // keep the board's request log from growing
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_AdvanceMeter(benchmark::State& state) {
  EngineTesterLink open;
  AdvanceReading reading{};
  Readings(state, open, [&] { return open.Meter<IMTAdvancemeter_11>(kMTAdvancemeter).Measure(&reading); });
}
BENCHMARK(BM_AdvanceMeter)->UseRealTime();

void BM_DwellMeter(benchmark::State& state) {
  EngineTesterLink open;
  DwellReading reading{};
  Readings(state, open, [&] { return open.Meter<IMTDwellanglemeter_13>(kMTDwellanglemeter).Measure(&reading); });
}
BENCHMARK(BM_DwellMeter)->UseRealTime();

void BM_SpeedAndTemperatureMeter(benchmark::State& state) {
  EngineTesterLink open;
  SpeedTemperatureReading reading{};
  Readings(state, open, [&] { return open.Meter<IMTTemperaturemeter_12>(kMTTemperaturemeter).Measure(&reading); });
}
BENCHMARK(BM_SpeedAndTemperatureMeter)->UseRealTime();

// One high-voltage frame: Arm, the idle wait, ReadFrame and the four cylinder values. The arms
// are spaced 300 ms apart by design; the clock is moved on by hand so that only the library's
// own work is measured.
void BM_HighVoltageFrame(benchmark::State& state) {
  kvp::ClockUseVirtual(true);
  {
    EngineTesterLink open;
    IMTHiVoltage_14& hv = open.Meter<IMTHiVoltage_14>(kMTHiVoltage);
    CylinderValue values[4] = {};
    auto frame = [&] {
      kvp::ClockAdvance(400);
      int code = hv.Arm();
      if (code != kOk) return code;
      open.link->WaitIdle();
      if ((code = hv.ReadFrame()) != kOk) return code;
      return hv.GetCylinderValues(0, values);
    };
    // The first Arm configures and then waits its 300 ms on the clock: moved on from here.
    auto first = std::async(std::launch::async, [&] { return hv.Arm(); });
    while (first.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) kvp::ClockAdvance(10);
    open.link->WaitIdle();
    if (first.get() == kOk && hv.ReadFrame() == kOk) {
      Readings(state, open, frame);
    } else {
      state.SkipWithError("the high-voltage meter does not arm");
    }
  }
  kvp::ClockUseVirtual(false);
}
BENCHMARK(BM_HighVoltageFrame)->UseRealTime();

void BM_Voltmeter(benchmark::State& state) {
  EngineTesterLink open;
  VoltmeterReading reading{};
  Readings(state, open, [&] { return open.Meter<IMTVoltmeter_8>(kMTVoltmeter).Measure(0, &reading); });
}
BENCHMARK(BM_Voltmeter)->UseRealTime();

void BM_Ohmmeter(benchmark::State& state) {
  EngineTesterLink open;
  OhmReading reading{};
  Readings(state, open, [&] { return open.Meter<IMTOhmmeter_9>(kMTOhmmeter).Measure(&reading); });
}
BENCHMARK(BM_Ohmmeter)->UseRealTime();

void BM_DiodeTest(benchmark::State& state) {
  EngineTesterLink open;
  DiodeReading reading{};
  Readings(state, open, [&] { return open.Meter<IMTDiodeTest_10>(kMTDiodeTest).Measure(&reading); });
}
BENCHMARK(BM_DiodeTest)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
