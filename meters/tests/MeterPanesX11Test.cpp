// Smoke test of both multimeter panes on the X11 back end, on a private Xvfb server and the real
// clock: activation, a tick of the 250 ms timer, a button press.
#include <meters/WndOhmeter.h>
#include <meters/WndVoltmeter.h>

#include <core/MeasureEngine.h>

#include <platform/afxwin.h>
#include <platform/clock.h>
#include <platform/display.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <kvtest/Xvfb.h>

namespace {

using kvtest::Xvfb;

bool PumpUntil(const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    kvp::headless::Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

const char* HostClass() {
  WNDCLASS known{};
  if (!GetClassInfo(0, "MeterX11Host", &known)) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "MeterX11Host";
    AfxRegisterClass(&wc);
  }
  return "MeterX11Host";
}

void Press(CXPCtrlBtn& b) {
  ::SendMessage(b.GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  ::SendMessage(b.GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
}

class MeterPanesX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server.Ready()) GTEST_SKIP() << "no Xvfb";
    kvp::ClockUseVirtual(false);
    ASSERT_TRUE(kvp::OpenX11Display(server.Name().c_str()));
    host = CreateWindowEx(0, HostClass(), "host", WS_POPUP | WS_VISIBLE, 0, 0, 900, 600, 0, 0, 0, 0);
    ASSERT_TRUE(host);
  }
  void TearDown() override {
    if (host) DestroyWindow(host);
    if (server.Ready()) kvp::CloseDisplay();
  }

  Xvfb server{"1024x768x24"};
  HWND host = 0;
  CMeasureEngine engine;  // no measurement library: every measurement reports the missing interface
};

TEST_F(MeterPanesX11Test, VoltmeterTicksAndTakesAReset) {
  CWndVoltmeter pane(&engine);
  ASSERT_TRUE(pane.Create("Voltmeter", WS_CHILD | WS_VISIBLE, CRect(0, 0, 900, 600), CWnd::FromHandle(host), 1010));
  pane.Activate(0);
  ASSERT_TRUE(PumpUntil([&] { return !pane.m_strValue.IsEmpty(); }));
  EXPECT_EQ(std::string(pane.m_strValue), "Internal error: no interface");
  Press(pane.m_Child[CWndVoltmeter::ID_ZERO]);
  EXPECT_EQ(pane.m_nResetCount, 4);
  ASSERT_TRUE(PumpUntil([&] { return pane.m_nResetCount == 0; }));
  EXPECT_TRUE(pane.Deactivate());
}

TEST_F(MeterPanesX11Test, OhmmeterTicksAndTakesTheDiodeTest) {
  CWndOhmeter pane(&engine);
  ASSERT_TRUE(pane.Create("Ohmmeter", WS_CHILD | WS_VISIBLE, CRect(0, 0, 900, 600), CWnd::FromHandle(host), 1012));
  pane.Activate(0);
  ASSERT_TRUE(PumpUntil([&] { return !pane.m_strValue.IsEmpty(); }));
  EXPECT_EQ(pane.m_bErrorShown, 1);
  Press(pane.m_Child[CWndOhmeter::ID_DIODE]);
  EXPECT_EQ(engine.m_nOhmMode, CMeasureEngine::OHM_DIODE);
  EXPECT_FALSE(pane.m_Child[CWndOhmeter::ID_ZERO].IsWindowEnabled());
  EXPECT_TRUE(pane.Deactivate());
}

}  // namespace
