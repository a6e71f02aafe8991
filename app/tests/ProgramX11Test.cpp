// Smoke tests of the program's main window on the X11 back end, on a private Xvfb server and the
// real clock: the window with the program's panes is shown and painted, a click on a tab of the
// strip switches the pane, and the picture is saved; on the simulated board the scope pane of
// tab 0 runs and its chart shows the trace.
#include <gtest/gtest.h>

#include "LinkTestSupport.h"
#include "PaneTable.h"

#include <scope/pane/WndOscPane.h>

#include <ui/MainWndDlg.h>

#include <core/DeviceStartup.h>
#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/ResourceHolder.h>

#include <platform/clock.h>
#include <platform/display.h>

#include <kvtest/Xvfb.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace {

bool PumpUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    kvp::headless::Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST(ProgramX11, MainWindowShownAndATabClicked) {
  kvtest::Xvfb server("1024x768x24");
  if (!server.Ready()) GTEST_SKIP() << "no Xvfb";
  kvp::ClockUseVirtual(false);
  ASSERT_TRUE(kvp::OpenX11Display(server.Name().c_str()));
  RegisterMainWindowClass();
  {
    bool shown = false;
    MainWndEnvironment env;
    env.onShown = [&shown](HWND) { shown = true; };
    CMainWndDlg main(MakePaneTable(), env, GetGlobalProps());
    ASSERT_TRUE(main.Create(IDD_MAINWND, nullptr));
    ASSERT_TRUE(PumpUntil([&] { return shown; }));
    EXPECT_EQ(main.SelectedTab(), 0);
    EXPECT_TRUE(main.IsWindowVisible());

    const RECT tab = main.Strip().GetItem(8)->rect;
    const LPARAM at = MAKELPARAM((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
    main.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
    main.PostMessage(WM_LBUTTONUP, 0, at);
    ASSERT_TRUE(PumpUntil([&] { return main.SelectedTab() == 8; }));
    EXPECT_TRUE(main.Pane(8)->IsWindowVisible());
    EXPECT_FALSE(main.Pane(0)->IsWindowVisible());
    EXPECT_EQ(GetGlobalProps().m_nCurrentTab, 8);
    EXPECT_EQ(GetGlobalProps().m_nPreviousTab, 0);

    std::filesystem::create_directories(KV_SCREENSHOT_DIR);
    EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), (std::string(KV_SCREENSHOT_DIR) + "/program_x11_info_tab.png").c_str()));
    main.DestroyWindow();
  }
  kvp::CloseDisplay();
}

bool TraceFilled(int channel) {
  CMeasureList& traces = GetTraceList();
  return channel < traces.GetSize() && traces[channel]->m_bValid && traces[channel]->GetCount() > 0;
}

// Pixels of the colour inside the window's client rectangle (every second column).
int CountColour(HWND window, const CRect& r, COLORREF colour) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; x += 2)
      if (kvp::WindowPixel(window, x, y) == colour) ++n;
  return n;
}

// The program's engine on the board: opened by the settings' start-up and shut down at the end,
// once per process, so this case comes last.
TEST(ProgramX11, ScopePaneRunsOnTheBoardAndPaintsItsChart) {
  kvtest::Xvfb server("1024x768x24");
  if (!server.Ready()) GTEST_SKIP() << "no Xvfb";
  kvp::ClockUseVirtual(false);
  ASSERT_TRUE(kvp::OpenX11Display(server.Name().c_str()));
  kv310::testing::SetLinkLibrary("zlinksim.dll");
  kv310::testing::SetSerialBlockSizeValue(-1);
  {
    kv310::testing::ZlinkSimBoard zlink;
    zlink.Board().Reset();
    // Records at the board's pace, so the GUI thread's queue runs dry between them.
    zlink.Board().Update([](sim::BoardScenario& s) { s.instantAcquisition = false; });
    GetMeasureType().m_nMeasureType = 0;
    GlobalProps& props = GetGlobalProps();
    props.m_bInitialized = 0;
    EXPECT_TRUE(RunDeviceStartup(props, 0));
    GetResourceHolder().LoadResources();
    props.m_Channels[0].m_nModeEnable = 1;
    props.m_Channels[0].m_nChangeFlags |= CHN_ON;
    props.m_nTriggerMode = 1;  // "Auto": a record without waiting for a trigger
    props.m_nChangeFlags = CHG_ALL;
    RegisterMainWindowClass();
    {
      bool shown = false;
      MainWndEnvironment env;
      env.onShown = [&shown](HWND) { shown = true; };
      CMainWndDlg main(MakePaneTable(), env, props);
      ASSERT_TRUE(main.Create(IDD_MAINWND, nullptr));
      EXPECT_TRUE(PumpUntil([&] { return shown; }));
      EXPECT_EQ(main.SelectedTab(), 0);
      auto* pane = dynamic_cast<scope::CWndOscPane*>(main.Pane(0));
      ASSERT_NE(pane, nullptr);
      EXPECT_TRUE(pane->IsWindowVisible());
      StartMeasurement();
      EXPECT_TRUE(PumpUntil([] { return TraceFilled(0); }));
      StopMeasurement();
      EXPECT_TRUE(PumpUntil([&] { return !props.m_bRunning; }));
      pane->RedrawAll();
      kvp::headless::Pump();
      const CRect chart = pane->ChartRect();
      EXPECT_GT(chart.Width(), 100);
      EXPECT_GT(CountColour(pane->m_chart.GetSafeHwnd(), CRect(0, 0, chart.Width(), chart.Height()),
                            GetSchemeColor(4)),
                50);
      std::filesystem::create_directories(KV_SCREENSHOT_DIR);
      EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(),
                                     (std::string(KV_SCREENSHOT_DIR) + "/program_x11_scope_tab.png").c_str()));
      GetMeasureEngine().StopAcquisitionThread();
      kvp::headless::Pump();
      main.DestroyWindow();
    }
    GetMeasureEngine().CoreShutdown();
  }
  kvp::CloseDisplay();
}

}  // namespace
