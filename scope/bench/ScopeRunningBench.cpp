// What the running scope costs the machine: the program's scope pane with its control panel on the
// in-process simulated board at the board's real pace (no instant acquisition), at the settings the
// program starts with (1 ms/div, channel A's 50 Hz sine), for a fixed time on the headless
// display. Counters: cpu_percent, the process's CPU time over the wall time in percent of one core
// (goal 10 or less), and screens_per_second, the records the pane showed per second.
#include "CountingPane.h"

#include <core/GlobalProps.h>

#include <benchmark/benchmark.h>

#include <time.h>

#include <string>

namespace {

using scopebench::CountingPane;

constexpr double kRunSeconds = 5.0;

double Seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

void BM_ScopeRunning(benchmark::State& state) {
  scopebench::EngineOnSimBoard board(/*instantAcquisition=*/false);
  if (!board.Started()) {
    state.SkipWithError("the engine does not open the simulated board");
    return;
  }
  scopebench::PaneOnHost shown(board.Engine());
  CWnd& host = shown.host;
  CountingPane* pane = shown.pane.get();
  // Shown as the program shows it at start: the tab's activation starts the run.
  pane->Activate(1);
  kvp::headless::Pump();
  // A timer wakes the loop when no record comes, so it ends on time.
  const UINT_PTR timer = ::SetTimer(host.GetSafeHwnd(), 1, 50, nullptr);
  for (auto _ : state) {
    const long screensBefore = pane->screens.load();
    const double wallBefore = Seconds(CLOCK_MONOTONIC);
    const double cpuBefore = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    MSG msg;
    while (Seconds(CLOCK_MONOTONIC) - wallBefore < kRunSeconds && ::GetMessage(&msg, 0, 0, 0)) {
      ::TranslateMessage(&msg);
      ::DispatchMessage(&msg);
    }
    const double wall = Seconds(CLOCK_MONOTONIC) - wallBefore;
    const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;
    state.SetIterationTime(wall);
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
    state.counters["screens_per_second"] = static_cast<double>(pane->screens.load() - screensBefore) / wall;
  }
  ::KillTimer(host.GetSafeHwnd(), timer);
  // The time base the run was shown at, as the bottom strip writes it.
  state.SetLabel(std::string(GetGlobalProps().FormatTimePerDiv().GetString()) + "/div");
}
BENCHMARK(BM_ScopeRunning)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
