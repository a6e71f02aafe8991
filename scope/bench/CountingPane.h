// What the scope benchmarks share: the program's scope pane counting the screens its data path
// finishes (the post that repaints the strips follows every record the traces took), set up in a
// host window as the program lays it out, and taken down in order.
#pragma once

#include <scope/DataPath.h>
#include <scope/pane/ProgramControlPanel.h>
#include <scope/pane/WndOscPane.h>

#include <kvtest/ScopeStandIns.h>

#include <core/MeasureEngine.h>
#include <core/Messages.h>
#include <core/ResourceHolder.h>

#include <platform/afxwin.h>
#include <platform/display.h>

#include <atomic>
#include <memory>

namespace scopebench {

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
