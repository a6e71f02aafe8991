// Scope screens per second over the whole path: the in-process simulated board (instant
// acquisition) answers the library with 2 x 1000 samples, the acquisition engine hands each record
// to the program's scope pane through IOscClbck (a real cross-thread send of WM_OSCMEASURE to the
// GUI thread), the pane's data path copies it into the display traces, and the follow-up post
// reaches the hub, which repaints what the record changed (the chart's traces, the strips and
// read-outs whose texts changed) on the headless display. The process is pinned to one CPU, so the
// acquisition thread and the GUI share it as on a small machine. Counter: screens_per_second (goal
// 600 or more, what the board's USB link can deliver).
#include "CountingPane.h"

#include <core/GlobalProps.h>
#include <core/Measure.h>

#include <benchmark/benchmark.h>

#include <sched.h>

namespace {

using scopebench::CountingPane;

// Pins the process to the first CPU it may run on; threads made later inherit it.
void PinToOneCpu() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &allowed)) {
      cpu_set_t one;
      CPU_ZERO(&one);
      CPU_SET(cpu, &one);
      sched_setaffinity(0, sizeof one, &one);
      return;
    }
  }
}

void BM_ScopePipeline(benchmark::State& state) {
  PinToOneCpu();
  scopebench::EngineOnSimBoard board(/*instantAcquisition=*/true);
  if (!board.Started()) {
    state.SkipWithError("the engine does not open the simulated board");
    return;
  }
  GlobalProps& props = GetGlobalProps();
  for (CChannelProps& c : props.m_Channels) {
    c.m_nModeEnable = 1;
    c.m_nChangeFlags |= CHN_ON;
  }
  props.m_nTriggerMode = 1;  // "Auto": a record whatever the signal
  props.m_nChangeFlags = CHG_ALL;
  scopebench::PaneOnHost shown(board.Engine());
  CountingPane* pane = shown.pane.get();
  kvp::headless::Pump();
  board.Engine().Run(1);
  for (auto _ : state) {
    const long target = pane->screens.load() + 1;
    MSG msg;
    while (pane->screens.load() < target && ::GetMessage(&msg, 0, 0, 0)) {
      ::TranslateMessage(&msg);
      ::DispatchMessage(&msg);
    }
  }
  state.counters["screens_per_second"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                            benchmark::Counter::kIsRate);
  // The record really went through: points of channel A's trace in the last screen.
  CMeasureList& traces = GetTraceList();
  state.counters["points_per_trace"] = traces.GetSize() > 0 ? traces[0]->GetCount() : 0;
}
BENCHMARK(BM_ScopePipeline)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
