// Records per second of two channels x 1000 samples through the acquisition engine (RUN with a
// scope callback that asks for the next record at once), against the library alone making the
// same requests per record (start, wait for idle, data, time information, measured value, per
// channel information, saturation and samples), in the same run and on the same in-process board
// answering at once. Counters: engine_records_per_s, library_records_per_s and ratio = engine /
// library; the goal is a ratio of 0.9 or more (the engine adds little).
#include "LinkTestSupport.h"

#include <core/DeviceStartup.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>

#include <platform/clock.h>
#include <platform/display.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

class CountingScope : public IOscClbck {
 public:
  int OnOscError(MeterResult&) override { return 0; }
  int OnOscMessage(int, LPARAM) override { return 0; }
  int OnOscQuerySettings(CMeasureProps& settings, int) override {
    settings = prepared;
    return 1;
  }
  int OnOscData(AcquisitionRecord& record) override {
    // As the scope pane does: the record's settings were sent; only changes go out again.
    record.m_Settings.m_nChangeFlags = 0;
    record.m_Settings.m_TimeBase.m_nFlags = 0;
    for (CChannelProps& c : record.m_Settings.m_Channels) c.m_nChangeFlags = 0;
    records.fetch_add(1);
    return 1;
  }
  CMeasureProps prepared;
  std::atomic<long> records{0};
};

struct OpenEngine {
  OpenEngine() {
    kvp::ClockUseVirtual(false);
    kvp::OpenHeadlessDisplay();
    kv310::testing::SetLinkLibrary("zlinksim.dll");
    zlink = std::make_unique<kv310::testing::ZlinkSimBoard>();
    zlink->Board().Reset();
    zlink->Board().Update([](sim::BoardScenario& s) { s.instantAcquisition = true; });
    SetDeviceStartup(&engine);
    GlobalProps& props = GetGlobalProps();
    props.m_bInitialized = 0;
    ok = RunDeviceStartup(props, 0) != FALSE;
    CMeasureProps settings = props;
    for (CChannelProps& c : settings.m_Channels) {
      c.m_nModeEnable = 1;
      c.m_nChangeFlags |= CHN_ON;
    }
    settings.m_nTriggerMode = 1;  // "Auto": a record whatever the signal
    settings.m_nChangeFlags = CHG_ALL;
    scope.prepared = settings;
    engine.SetOscCallback(&scope);
  }
  ~OpenEngine() {
    engine.CoreShutdown();
    SetDeviceStartup(&GetMeasureEngine());
    zlink.reset();
    kvp::CloseDisplay();
  }
  std::unique_ptr<kv310::testing::ZlinkSimBoard> zlink;
  CMeasureEngine engine;
  CountingScope scope;
  bool ok = false;
};

double EngineRate(OpenEngine& e, std::chrono::milliseconds window) {
  e.engine.Run(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // settings sent, running
  const long before = e.scope.records.load();
  const auto begin = Clock::now();
  std::this_thread::sleep_for(window);
  const long after = e.scope.records.load();
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  e.engine.Run(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the thread is idle again
  return (after - before) / seconds;
}

double LibraryRate(OpenEngine& e, std::chrono::milliseconds window) {
  const CKelo_DLL& dll = e.engine.GetBinding();
  IOscilloscope_2* osc = dll.Oscilloscope();
  ICommunication_1* link = dll.Communication();
  std::vector<int16_t> samples(1001);
  long records = 0;
  const auto begin = Clock::now();
  while (Clock::now() - begin < window) {
    if (osc->StartMeasurement(1001) != 0) break;
    WaitForSingleObject(link->GetIdleEvent(), INFINITE);
    osc->GetData();
    OscTimeInfo time{};
    osc->GetTimeInfo(&time);
    OscMeasurements measured{};
    osc->GetMeasurements(&measured);
    for (uint16_t ch = 0; ch < 2; ++ch) {
      OscChannelInfo info{};
      osc->GetChannelInfo(ch, &info);
      int16_t upper = 0x7FFF, lower = -0x8000;
      osc->ReadSaturationData(ch, &upper, &lower);
      osc->GetSamples(ch, 1000, samples.data());
      benchmark::DoNotOptimize(samples.data());
    }
    ++records;
  }
  return records / std::chrono::duration<double>(Clock::now() - begin).count();
}

void BM_EngineRecords(benchmark::State& state) {
  OpenEngine e;
  if (!e.ok) {
    state.SkipWithError("the engine does not open the simulated board");
    return;
  }
  double engine = 0, library = 0;
  for (auto _ : state) {
    engine = EngineRate(e, std::chrono::milliseconds(500));
    library = LibraryRate(e, std::chrono::milliseconds(500));
    e.zlink->Board().ClearLog();
  }
  state.counters["engine_records_per_s"] = engine;
  state.counters["library_records_per_s"] = library;
  state.counters["ratio"] = library > 0 ? engine / library : 0.0;
}
BENCHMARK(BM_EngineRecords)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
