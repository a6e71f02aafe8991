// The scope pane end to end: the real measurement library on the in-process simulated board, the
// acquisition engine, and the pane with its children on the headless display. A run in "Auto"
// fills both display traces and the chart shows them in the channels' colours.
#include <scope/pane/WndOscPane.h>

#include <core/DeviceStartup.h>
#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureEngine.h>
#include <core/ResourceHolder.h>

#include "OnBoardChecks.h"

#include <kvtest/EngineOnBoard.h>
#include <kvtest/HostWindow.h>
#include <kvtest/ScopeStandIns.h>
#include <kvtest/Pump.h>
#include <kvtest/Screenshots.h>

#include <platform/display.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using scope_test::FittingRange;
using scope_test::TraceFilled;

// Pixels of the colour inside the rectangle.
int CountColour(HWND window, const CRect& r, COLORREF colour) {
  int n = 0;
  for (int y = r.top; y < r.bottom; y += 1)
    for (int x = r.left; x < r.right; x += 2)
      if (kvp::WindowPixel(window, x, y) == colour) ++n;
  return n;
}

// Columns of the rectangle in [fromX, toX) where the colour shows off the full-width lines (rows
// the colour covers nearly edge to edge, like a channel's level line, and their neighbours).
int TraceColumns(HWND window, const CRect& r, COLORREF colour, int fromX, int toX) {
  std::vector<bool> lineRow(r.Height(), false);
  for (int y = r.top; y < r.bottom; ++y) {
    int n = 0;
    for (int x = r.left; x < r.right; ++x)
      if (kvp::WindowPixel(window, x, y) == colour) ++n;
    if (n * 10 > r.Width() * 8)
      for (int k = -1; k <= 1; ++k)
        if (y - r.top + k >= 0 && y - r.top + k < r.Height()) lineRow[y - r.top + k] = true;
  }
  int columns = 0;
  for (int x = fromX; x < toX; ++x)
    for (int y = r.top; y < r.bottom; ++y)
      if (!lineRow[y - r.top] && kvp::WindowPixel(window, x, y) == colour) {
        ++columns;
        break;
      }
  return columns;
}

TEST(ScopePaneOnBoard, RunDrawsBothTracesInTheChart) {
  kvtest::EngineOnBoard onBoard;
  // Records at the board's pace, so the GUI thread's queue runs dry between them.
  onBoard.Board().Update([](sim::BoardScenario& s) { s.instantAcquisition = false; });
  CMeasureEngine& engine = onBoard.Engine();
  GlobalProps& props = GetGlobalProps();
  props.m_bInitialized = 0;
  ASSERT_TRUE(RunDeviceStartup(props, 0));
  for (int ch = 0; ch < 2; ++ch) {
    const int range = FittingRange(props.m_Channels[ch], 6.0);
    ASSERT_GE(range, 0);
    props.SetChannelRangeIndex(ch, range, TRUE, TRUE);
    props.m_Channels[ch].m_nModeEnable = 1;
    props.m_Channels[ch].m_nChangeFlags |= CHN_ON;
  }
  props.m_nTriggerMode = 1;  // "Auto"
  props.m_nChangeFlags = CHG_ALL;

  CResourceHolder& holder = GetResourceHolder();
  holder.m_rcClient = CRect(0, 0, 1000, 700);
  holder.m_bNarrowChart = 1;
  kvtest::HostWindow host;
  ASSERT_TRUE(host.CreateTop(0, 0, 1000, 700));
  {
    scope::CWndOscPane pane(std::make_unique<kvtest::CStandInControlPanel>(), &engine);
    ASSERT_TRUE(pane.Create("Oscilloscope", WS_CHILD | WS_VISIBLE, CRect(0, 30, 1000, 700), &host, 1000));
    pane.Init();
    kvp::headless::Pump();
    engine.Run(1);
    ASSERT_TRUE(kvtest::PumpUntil([] { return TraceFilled(0) && TraceFilled(1); }));
    pane.RedrawAll();
    const CRect chart = pane.ChartRect();
    const HWND chartWindow = pane.m_chart.GetSafeHwnd();
    const CRect inside(0, 0, chart.Width(), chart.Height());
    EXPECT_GT(CountColour(chartWindow, inside, GetSchemeColor(4)), 50);
    EXPECT_GT(CountColour(chartWindow, inside, GetSchemeColor(5)), 50);
    EXPECT_TRUE(kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("scope-pane-running").c_str()));

    // Stopped: the last screen stays.
    engine.Run(0);
    kvtest::PumpUntil([&] { return !props.m_bRunning; }, 5);
    pane.RedrawAll();
    EXPECT_GT(CountColour(chartWindow, inside, GetSchemeColor(4)), 50);
    EXPECT_TRUE(kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("scope-pane-stopped").c_str()));

    props.SetCursorsOn(TRUE);
    pane.RedrawAll();
    EXPECT_TRUE(kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("scope-pane-cursors").c_str()));

    // Undocked, the chart takes the panel's room once the panel has slid out.
    pane.ToggleDock();
    EXPECT_TRUE(kvtest::PumpUntil([&] { return !(pane.m_options & scope::CWndOsc::OPT_PANEL_IN); }, 5));
    EXPECT_GT(pane.ChartRect().Width(), chart.Width());
    pane.RedrawAll();
    // The stopped trace spans the wider chart from edge to edge: it shows in both outer tenths.
    {
      const CRect wide(0, 0, pane.ChartRect().Width(), pane.ChartRect().Height());
      const int tenth = wide.Width() / 10;
      EXPECT_GT(TraceColumns(chartWindow, wide, GetSchemeColor(4), 0, tenth), tenth / 2);
      EXPECT_GT(TraceColumns(chartWindow, wide, GetSchemeColor(4), wide.right - tenth, wide.right), tenth / 2);
    }
    EXPECT_TRUE(kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("scope-pane-undocked").c_str()));
    pane.ToggleDock();
    engine.StopAcquisitionThread();
    kvp::headless::Pump();
  }
  host.DestroyWindow();
}

}  // namespace
