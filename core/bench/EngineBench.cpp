// Records per second of two channels x 1000 samples through the acquisition engine (RUN with a
// scope callback that asks for the next record at once), against the library alone making the
// same requests per record (start, wait for idle, data, time information, measured value, per
// channel information, saturation and samples), on the same in-process board answering at once.
// The two halves take turns in one process: each round runs the library alone, then the engine,
// for the same time, and gives one ratio engine / library. A busy machine slows both halves of a
// round alike, so the median of the rounds' ratios measures the engine, not the machine.
// Counters: ratio (the median ratio; the goal is 0.9 or more: the engine adds little),
// ratio_min and ratio_max over the rounds, and the medians engine_records_per_s and
// library_records_per_s.
#include "LinkTestSupport.h"

#include <core/DeviceStartup.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>

#include <platform/clock.h>
#include <platform/display.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

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

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

constexpr int kRounds = 7;
constexpr std::chrono::milliseconds kHalf(300);

// One iteration is one round: the library alone, then the engine, each for kHalf.
void BM_EngineRecords(benchmark::State& state) {
  OpenEngine e;
  if (!e.ok) {
    state.SkipWithError("the engine does not open the simulated board");
    return;
  }
  std::vector<double> engine, library, ratios;
  for (auto _ : state) {
    const double lib = LibraryRate(e, kHalf);
    e.zlink->Board().ClearLog();
    const double eng = EngineRate(e, kHalf);
    e.zlink->Board().ClearLog();
    library.push_back(lib);
    engine.push_back(eng);
    ratios.push_back(lib > 0 ? eng / lib : 0.0);
  }
  state.counters["engine_records_per_s"] = Median(engine);
  state.counters["library_records_per_s"] = Median(library);
  state.counters["ratio"] = Median(ratios);
  state.counters["ratio_min"] = ratios.empty() ? 0.0 : *std::min_element(ratios.begin(), ratios.end());
  state.counters["ratio_max"] = ratios.empty() ? 0.0 : *std::max_element(ratios.begin(), ratios.end());
}
BENCHMARK(BM_EngineRecords)->Iterations(kRounds)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
