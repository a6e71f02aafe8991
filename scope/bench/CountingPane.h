// What the scope benchmarks share: the simulated board on the in-process link with the program's
// engine opened on it; the program's scope pane counting the screens its data path finishes (the
// post that repaints the strips follows every record the traces took), set up in a host window as
// the program lays it out, and taken down in order.
#pragma once

#include "LinkTestSupport.h"

#include <scope/DataPath.h>
#include <scope/pane/ProgramControlPanel.h>
#include <scope/pane/WndOscPane.h>

#include <kvtest/ScopeStandIns.h>

#include <core/DeviceStartup.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/Messages.h>
#include <core/ResourceHolder.h>

#include <platform/afxwin.h>
#include <platform/clock.h>
#include <platform/display.h>

#include <atomic>
#include <memory>

namespace scopebench {

// The headless display on the real clock, the simulated board on the in-process link, and an
// engine of its own opened on it by the program's device start-up. At the end the process-wide
// engine is the start-up's again, then the engine, the board and the display go.
class EngineOnSimBoard {
 public:
  explicit EngineOnSimBoard(bool instantAcquisition) {
    kvp::ClockUseVirtual(false);
    kvp::OpenHeadlessDisplay();
    kv310::testing::SetLinkLibrary("zlinksim.dll");
    zlink_ = std::make_unique<kv310::testing::ZlinkSimBoard>();
    zlink_->Board().Reset();
    zlink_->Board().Update([&](sim::BoardScenario& s) { s.instantAcquisition = instantAcquisition; });
    engine_ = std::make_unique<CMeasureEngine>();
    SetDeviceStartup(engine_.get());
    GlobalProps& props = GetGlobalProps();
    props.m_bInitialized = 0;
    started_ = RunDeviceStartup(props, 0);
  }
  ~EngineOnSimBoard() {
    SetDeviceStartup(&GetMeasureEngine());
    engine_.reset();
    zlink_.reset();
    kvp::CloseDisplay();
  }
  EngineOnSimBoard(const EngineOnSimBoard&) = delete;
  EngineOnSimBoard& operator=(const EngineOnSimBoard&) = delete;

  // Whether the start-up opened the board.
  bool Started() const { return started_; }
  CMeasureEngine& Engine() { return *engine_; }

 private:
  std::unique_ptr<kv310::testing::ZlinkSimBoard> zlink_;
  std::unique_ptr<CMeasureEngine> engine_;
  bool started_ = false;
};

inline const char* HostClass() {
  WNDCLASS known{};
  if (!GetClassInfo(0, "BenchScopeHost", &known)) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "BenchScopeHost";
    AfxRegisterClass(&wc);
  }
  return "BenchScopeHost";
}

class CountingPane : public scope::CWndOscPane {
 public:
  CountingPane(CMeasureEngine& engine, scope::IScopeRecordTarget& records)
      : scope::CWndOscPane(scope::MakeProgramControlPanel(engine, records), &engine) {}
  std::atomic<long> screens{0};

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    const LRESULT result = scope::CWndOscPane::WindowProc(message, wParam, lParam);
    if (message == WM_OSCMEASURE && wParam == scope::OSC_REPAINT_STRIPS) screens.fetch_add(1);
    return result;
  }
};

// The pane, 1000 x 700 in its host, created and initialised. At the end the acquisition thread
// stops while the GUI thread serves its sends, then the engine shuts down and the windows go.
class PaneOnHost {
 public:
  explicit PaneOnHost(CMeasureEngine& engine) : engine_(engine) {
    GetResourceHolder().m_rcClient = CRect(0, 0, 1000, 700);
    GetResourceHolder().m_bNarrowChart = 1;
    host.CreateEx(0, HostClass(), "host", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 700, 0, 0);
    pane = std::make_unique<CountingPane>(engine, records_);
    pane->Create("Oscilloscope", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1000, 700), &host, 1000);
    pane->Init();
  }
  ~PaneOnHost() {
    engine_.StopAcquisitionThread();
    kvp::headless::Pump();
    engine_.CoreShutdown();
    pane->DestroyWindow();
    pane.reset();
    host.DestroyWindow();
  }
  PaneOnHost(const PaneOnHost&) = delete;
  PaneOnHost& operator=(const PaneOnHost&) = delete;

  CWnd host;
  std::unique_ptr<CountingPane> pane;

 private:
  CMeasureEngine& engine_;
  kvtest::CStandInRecordTarget records_;
};

}  // namespace scopebench
