// Smoke test of the program's main window on the X11 back end, on a private Xvfb server and the
// real clock: the window with the program's panes is shown and painted, a click on a tab of the
// strip switches the pane, and the picture is saved.
#include <gtest/gtest.h>

#include "PaneTable.h"

#include <ui/MainWndDlg.h>

#include <core/GlobalProps.h>

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

}  // namespace
