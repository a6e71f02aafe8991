// Oscilloscope screens per second through the whole library path: configure, start, wait for
// the reply, read and decode two channels of 1000 samples, against an in-process board that
// answers at once. A display of 200 screens per second needs a tenth of the goal (2000). The
// decoding alone is reported per sample as `ns_per_sample`.
#include "ComPort.h"
#include "Library.h"
#include "instruments/ImplementationOscilloscope_2.h"
#include "../tests/LinkTestSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <kv310/ResultCodes.h>
#include <memory>

namespace {

using namespace kv310;

struct OpenScope {
  OpenScope() {
    testing::SetLinkLibrary("zlinksim.dll");
    zlink = std::make_unique<testing::ZlinkSimBoard>();
    zlink->Board().Reset();
    zlink->Board().Update([](sim::BoardScenario& s) {
      s.instantAcquisition = true;
      s.channelSignals[1] = sim::SignalSource{sim::Waveform::Square, 2.0, 0.5, 1000.0};
    });
    LibraryAttach();
    link = new CComPort();
    SetLink(link);
    started = link->Start() == kStateIdle;
    osc = static_cast<IOscilloscope_2*>(InterfaceOf(kOscilloscope));
  }
  ~OpenScope() {
    SetLink(nullptr);
    delete link;
    LibraryDetach();
  }
  std::unique_ptr<testing::ZlinkSimBoard> zlink;
  CComPort* link = nullptr;
  IOscilloscope_2* osc = nullptr;
  bool started = false;
};

void BM_ConfigureStartRead(benchmark::State& state) {
  OpenScope scope;
  if (!scope.started || scope.osc->Init() != kOk) {
    state.SkipWithError("the scope does not start");
    return;
  }
  IOscilloscope_2& osc = *scope.osc;
  osc.SetChannelMode(1, 1);
  osc.SetSampleRateIndex(17);
  int16_t samples[1000];
  double decodeNs = 0;
  int64_t decoded = 0;
  uint32_t position = 0;
  for (auto _ : state) {
    osc.SetTriggerPosition(position = (position + 1) % 1000);  // a changed setting: configure again
    if (osc.StartMeasurement(1000) != kOk) {
      state.SkipWithError("start failed");
      break;
    }
    scope.link->WaitIdle();
    if (osc.GetData() != kOk) {
      state.SkipWithError("read failed");
      break;
    }
    const auto begin = std::chrono::steady_clock::now();
    for (uint16_t channel = 0; channel < 2; ++channel) {
      if (osc.GetSamples(channel, 1000, samples) != kOk) state.SkipWithError("no samples");
      benchmark::DoNotOptimize(samples);
    }
    decodeNs += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - begin).count();
    decoded += 2000;
    scope.zlink->Board().ClearLog();  // keep the board's request log from growing
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["ns_per_sample"] = decoded > 0 ? decodeNs / static_cast<double>(decoded) : 0.0;
}
BENCHMARK(BM_ConfigureStartRead)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
