// What the scope benchmarks share: a host window class for the pane and the program's scope pane
// counting the screens its data path finishes (the post that repaints the strips follows every
// record the traces took).
#pragma once

#include <scope/DataPath.h>
#include <scope/pane/ProgramControlPanel.h>
#include <scope/pane/WndOscPane.h>

#include <core/MeasureEngine.h>
#include <core/Messages.h>

#include <platform/afxwin.h>

#include <atomic>

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

}  // namespace scopebench
