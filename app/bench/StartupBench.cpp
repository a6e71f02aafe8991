// The program's start-up work on the in-process simulated board, without the splash's fixed
// animation: library bind, link open and start, identity, firmware check, channel set-up, the
// acquisition thread, the shared resources, then the main window with the program's panes up to
// its first paint and the ordered shutdown. Reported as counter startup_ms (the goal is at most
// 1000). The bench runs in a private folder of its own (registry store, runtime folder, files).
#include "LinkTestSupport.h"
#include "PaneTable.h"

#include <ui/MainWndDlg.h>

#include <core/DeviceStartup.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/MotortesterData.h>
#include <core/ResourceHolder.h>

#include <platform/clock.h>
#include <platform/display.h>

#include <kvtest/BenchFolders.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace {

void BM_Startup(benchmark::State& state) {
  kvp::ClockUseVirtual(false);
  kvp::OpenHeadlessDisplay(1024, 768);
  kv310::testing::SetLinkLibrary("zlinksim.dll");
  kv310::testing::SetSerialBlockSizeValue(-1);
  auto zlink = std::make_unique<kv310::testing::ZlinkSimBoard>();
  RegisterMainWindowClass();
  double totalMs = 0;
  for (auto _ : state) {
    zlink->Board().Reset();
    zlink->Board().Update([](sim::BoardScenario& s) { s.instantAcquisition = true; });
    GetMeasureType().m_nMeasureType = 0;
    GetMotortesterDevice()->Reset();
    GetGlobalProps().m_bInitialized = 0;
    auto engine = std::make_unique<CMeasureEngine>();
    SetDeviceStartup(engine.get());
    const auto start = std::chrono::steady_clock::now();

    RunDeviceStartup(GetGlobalProps(), 0);
    GetResourceHolder().LoadResources();
    bool shown = false;
    MainWndEnvironment env;
    CMeasureEngine* e = engine.get();
    env.devicePresent = [e] { return e->IsDevicePresent(); };
    env.reduced = [e] { return e->IsReducedVariant(); };
    env.onShown = [&shown](HWND) { shown = true; };
    {
      CMainWndDlg main(MakePaneTable(), env, GetGlobalProps());
      if (!main.Create(IDD_MAINWND, nullptr)) {
        state.SkipWithError("no main window");
        break;
      }
      while (!shown) {
        kvp::headless::Pump();
        if (!shown) std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      const auto painted = std::chrono::steady_clock::now();
      totalMs += std::chrono::duration<double, std::milli>(painted - start).count();
      main.DestroyWindow();
    }
    if (!e->IsDevicePresent()) {
      state.SkipWithError("the simulated board did not open");
      break;
    }
    engine->CoreShutdown();
    SetDeviceStartup(&GetMeasureEngine());
  }
  if (state.iterations() > 0) state.counters["startup_ms"] = totalMs / static_cast<double>(state.iterations());
  zlink.reset();
  kvp::CloseDisplay();
}
BENCHMARK(BM_Startup)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  // A private folder for the registry store, the runtime folder and the files of the start-up.
  kvtest::BenchFolders folders("/tmp/bench_startup.XXXXXX");
  if (!folders.Ok()) return 1;
  std::filesystem::current_path(folders.Root());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
