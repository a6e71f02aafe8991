// The start screen: button geometry around the centre (also off the left edge of a narrow pane),
// and a click that selects its tab through the main window's tab selection.
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/MainWndDlg.h>
#include <kvtest/StandInPane.h>
#include <ui/WndStartScreen.h>

#include <core/Messages.h>

#include <filesystem>
#include <vector>

using namespace uitest;

namespace {

// A host that records the tabs asked for.
class TabHost : public Host {
 public:
  std::vector<int> tabs;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SELECTTAB) {
      tabs.push_back(static_cast<int>(wParam));
      return 1;
    }
    return Host::WindowProc(message, wParam, lParam);
  }
};

TEST(StartScreen, GeometryAndSend) {
  struct Case {
    int width, height;
    int firstLeft, top;
  } cases[] = {{1000, 600, 150, 200}, {400, 300, -150, 50}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    kvp::HeadlessWorld world;
    TabHost host;
    ASSERT_TRUE(host.CreateTop(0, 0, c.width, c.height));
    CWndStartScreen screen;
    ASSERT_TRUE(screen.Create("StartScreen", WS_CHILD | WS_VISIBLE, CRect(0, 0, c.width, c.height), &host, 1032));
    hl::Pump();
    for (int i = 0; i < CWndStartScreen::kButtons; ++i) {
      CRect r;
      screen.m_Buttons[i].GetWindowRect(&r);
      screen.ScreenToClient(&r);
      EXPECT_EQ(r, CRect(c.firstLeft + 250 * i, c.top, c.firstLeft + 250 * i + 200, c.top + 200)) << i;
    }
    if (c.width == 1000) {
      std::filesystem::create_directories(KV_SCREENSHOT_DIR);
      kvp::SaveWindowPng(host.GetSafeHwnd(), ScreenshotPath("start_screen.png").c_str());
      hl::Click(screen.m_Buttons[1].GetSafeHwnd(), POINT{100, 100});
      hl::Click(screen.m_Buttons[2].GetSafeHwnd(), POINT{100, 100});
      hl::Click(screen.m_Buttons[0].GetSafeHwnd(), POINT{100, 100});
      EXPECT_EQ(host.tabs, (std::vector<int>{4, 5, 0}));
    }
    EXPECT_EQ(CWndStartScreen::TabOf(3), -1);
  }
}

}  // namespace
