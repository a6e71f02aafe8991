// Scope screens per second over the whole path: the in-process simulated board (instant
// acquisition) answers the library with 2 x 1000 samples, the acquisition engine hands each record
// to the pane through IOscClbck (a real cross-thread send of WM_OSCMEASURE to the GUI thread), the
// pane's data path copies it into the display traces, the follow-up post reaches the hub, which
// has the chart render everything (flags 255) into its window on the headless display. The
// process is pinned to one CPU, so the acquisition thread and the GUI share it as on a small
// machine. Counter: screens_per_second (goal 200 or more).
#include "LinkTestSupport.h"

#include "../tests/chart/ChartScene.h"

#include <scope/DataPath.h>
#include <scope/chart/OscChartWnd.h>

#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/Messages.h>

#include <platform/afxwin.h>
#include <platform/clock.h>
#include <platform/display.h>

#include <benchmark/benchmark.h>

#include <sched.h>

#include <atomic>
#include <memory>

namespace {

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

const char* PaneClass() {
  WNDCLASS known{};
  if (!GetClassInfo(0, "BenchScopePane", &known)) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "BenchScopePane";
    AfxRegisterClass(&wc);
  }
  return "BenchScopePane";
}

// The scope pane's part on this path: the callback marshalled to the GUI thread, the data path
// into the traces and the hub's repaint of the chart.
class PaneStandIn : public CWnd, public IOscClbck {
 public:
  int OnOscError(MeterResult&) override { return 0; }
  int OnOscMessage(int, LPARAM) override { return 0; }
  int OnOscQuerySettings(CMeasureProps& settings, int) override {
    settings = prepared;
    prepared.m_nChangeFlags = 0;
    prepared.m_TimeBase.m_nFlags = 0;
    for (CChannelProps& c : prepared.m_Channels) c.m_nChangeFlags = 0;
    return 1;
  }
  int OnOscData(AcquisitionRecord& record) override {
    if (stopping.load()) return 0;
    const scope::OscDataRoute route = scope::RouteOscData(record.IsAutosetRecord(), 0, 1);
    SendMessage(WM_OSCMEASURE, route.send, reinterpret_cast<LPARAM>(&record));
    PostMessage(WM_OSCMEASURE, route.post, 0);
    return route.result;
  }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != WM_OSCMEASURE) return CWnd::WindowProc(message, wParam, lParam);
    if (wParam == scope::OSC_RECORD && lParam) {
      auto& record = *reinterpret_cast<AcquisitionRecord*>(lParam);
      record.m_Settings.m_nChangeFlags = 0;
      record.m_Settings.m_TimeBase.m_nFlags = 0;
      for (int ch = 0; ch < 2; ++ch) {
        CMeasure* trace = chartscene::Trace(ch);
        static_cast<CSignalData&>(*trace) = record.m_Signal[ch];
        trace->m_bValid = trace->GetCount() > 0;
        trace->m_dTimeOrigin = 0.0;
        trace->m_nIndexOrigin = 0;
        trace->m_dTimePerIndex = 20.0 / (trace->GetCount() > 0 ? trace->GetCount() : 1000);
        trace->m_pScale = &GetOscScale().m_Vertical[ch];
      }
    } else if (wParam == scope::OSC_REPAINT_STRIPS) {
      chart.Redraw(COscChartWnd::kAll, TRUE);
      screens.fetch_add(1);
    }
    return 1;
  }

  COscChartWnd chart;
  CMeasureProps prepared;
  std::atomic<long> screens{0};
  std::atomic<bool> stopping{false};
};

void BM_ScopePipeline(benchmark::State& state) {
  PinToOneCpu();
  kvp::ClockUseVirtual(false);
  kvp::OpenHeadlessDisplay();
  kv310::testing::SetLinkLibrary("zlinksim.dll");
  auto zlink = std::make_unique<kv310::testing::ZlinkSimBoard>();
  zlink->Board().Reset();
  zlink->Board().Update([](sim::BoardScenario& s) { s.instantAcquisition = true; });
  {
    CMeasureEngine engine;
    SetDeviceStartup(&engine);
    GlobalProps& props = GetGlobalProps();
    props.m_bInitialized = 0;
    if (!props.Initialize(0)) {
      state.SkipWithError("the engine does not open the simulated board");
    } else {
      chartscene::SetTimeBase(10);
      chartscene::SetVerticalAxes();
      chartscene::SetupStyles();
      PaneStandIn pane;
      pane.CreateEx(0, PaneClass(), "pane", WS_POPUP | WS_VISIBLE, 0, 0, 820, 520, 0, 0);
      pane.chart.Create(&pane, CRect(10, 10, 810, 510));
      pane.chart.ShowWindow(SW_SHOW);
      pane.chart.OnSystemNotify(5, 0, 0);
      CMeasureProps settings = props;
      for (CChannelProps& c : settings.m_Channels) {
        c.m_nModeEnable = 1;
        c.m_nChangeFlags |= CHN_ON;
      }
      props.m_Channels[0].m_nModeEnable = props.m_Channels[1].m_nModeEnable = 1;
      settings.m_nTriggerMode = 1;  // "Auto": a record whatever the signal
      settings.m_nChangeFlags = CHG_ALL;
      pane.prepared = settings;
      engine.SetOscCallback(&pane);
      engine.Run(1);
      for (auto _ : state) {
        const long target = pane.screens.load() + 1;
        MSG msg;
        while (pane.screens.load() < target && ::GetMessage(&msg, 0, 0, 0)) {
          ::TranslateMessage(&msg);
          ::DispatchMessage(&msg);
        }
      }
      state.counters["screens_per_second"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                                benchmark::Counter::kIsRate);
      // The record really went through: points of channel A's trace in the last screen.
      state.counters["points_per_trace"] = chartscene::Trace(0)->GetCount();
      // Let the run end on its own answer before stopping the thread: it may be in a send to us.
      pane.stopping = true;
      for (int k = 0; k < 20; ++k) {
        kvp::headless::Pump();
        ::Sleep(5);
      }
      engine.Run(0);
      kvp::headless::Pump();
      engine.ClearOscCallback(&pane);
      engine.CoreShutdown();
      pane.chart.DestroyWindow();
      pane.DestroyWindow();
    }
    SetDeviceStartup(&GetMeasureEngine());
  }
  zlink.reset();
  kvp::CloseDisplay();
}
BENCHMARK(BM_ScopePipeline)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
