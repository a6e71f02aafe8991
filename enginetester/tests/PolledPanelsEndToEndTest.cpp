// The advance, dwell-angle and thermometer panels and the probe set-up dialog on the real
// measurement library, talking to the simulated board through the in-process link
// "zlinksim.dll": the engine tester attached, 4 cylinders at 3000 rpm, 12 degrees of advance,
// 40 % dwell and 85 degrees of oil. Headless display with the real clock; the tests call the
// panels' ticks themselves.
#include <enginetester/VNProbeSetupDlg.h>
#include <enginetester/WndMotortester_AdvanceMeter.h>
#include <enginetester/WndMotortester_DwellAngleMeter.h>
#include <enginetester/WndMotortester_Thermometer.h>

#include "LinkTestSupport.h"

#include <core/GlobalProps.h>
#include <core/KeloDll.h>
#include <core/MotortesterData.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Screenshots.h>
#include <kvtest/TesterFirmware.h>

#include <platform/clock.h>
#include <platform/display.h>
#include <platform/registry.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

namespace hl = kvp::headless;

void SavePicture(HWND w, const std::string& name) {
  hl::Pump();
  EXPECT_TRUE(kvp::SaveWindowPng(w, kvtest::ScreenshotPath(name).c_str())) << name;
}

// Pumps the display in real time until the condition holds (at most 10 s).
template <typename Condition>
bool PumpUntil(Condition done) {
  for (int i = 0; i < 1000 && !done(); ++i) {
    hl::Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

class EtPolledPanelsOnTheBoard : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    kvp::ClockUseVirtual(false);
    kvp::OpenHeadlessDisplay();
    kv310::testing::SetLinkLibrary("zlinksim.dll");
    kv310::testing::SetSerialBlockSizeValue(-1);
    // The firmware file names the version the simulated module runs, so no download happens.
    kvtest::InstallTesterFirmware();
    zlink_ = std::make_unique<kv310::testing::ZlinkSimBoard>();
    Board().Reset();
    Board().Update([](sim::BoardScenario& s) {
      s.instantAcquisition = true;
      s.engineTesterAttached = true;
      s.engine.rpm = 3000;
      s.engine.advanceDegrees = 12;
      s.engine.dwellPercent = 40;
      s.engine.temperatureCelsius = 85;
    });
    for (const char* key : {"SOFTWARE\\KELO\\KV310\\Parameter\\Spark", "SOFTWARE\\KELO\\KV310\\Parameter\\Diesel"})
      RegDeleteKey(HKEY_CURRENT_USER, key);
    ASSERT_EQ(kelo_.Load(), 1);
    ASSERT_EQ(kelo_.Communication()->Open(), 0);
    ASSERT_EQ(kelo_.Communication()->Start(), 0);
    ASSERT_EQ(kelo_.Motortester()->Detect(), 0);
    data().SetInterfaces(kelo_.Motortester(), kelo_.MTVoltmeter(), kelo_.Communication(), kelo_.Oscilloscope());
    ASSERT_EQ(data().LoadMotortesterParams(), 1);
    host_.CreateEx(0, kvtest::HostWindowClass(), "host", WS_POPUP | WS_VISIBLE, 0, 0, 900, 600, 0, 0);
  }
  void TearDown() override {
    host_.DestroyWindow();
    // A probe set-up worker may still be inside the library.
    for (int i = 0; i < 1000 && CVNProbeSetupDlg::RunningWorkers() != 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    data().SetInterfaces(nullptr, nullptr, nullptr, nullptr);
    kelo_.Unload();
    zlink_.reset();
    kvp::CloseDisplay();
    kvtest::CoreTest::TearDown();
  }
  sim::BoardModel& Board() { return zlink_->Board(); }
  static CMotortesterData& data() { return *GetMotortesterDevice(); }
  // The pane's probe check before a kV measurement finds the high-voltage reference probe, whose
  // factor the polarity detection scales the sparks with (the board's default ignition pick-up on
  // input 9 triggers the engine frames).
  void FindReferenceProbe() {
    int32_t code = 0;
    ASSERT_EQ(kelo_.Motortester()->FindReferenceProbe(&code), 0);
    ASSERT_NE(code, 0);
  }
  template <typename Panel>
  void Show(Panel& panel) {
    ASSERT_TRUE(panel.Create("panel", WS_CHILD, CRect(0, 0, 900, 600), &host_, 1040));
    panel.ShowWindow(SW_SHOW);
    hl::Pump();
    panel.KillTimer(CMotortesterPolledPanel::TIMER_READ);  // the test ticks
  }

  std::unique_ptr<kv310::testing::ZlinkSimBoard> zlink_;
  CKelo_DLL kelo_;
  CWnd host_;
};

int SpeedOf(const CMotortesterPolledPanel& panel) {
  return std::atoi(panel.Text(CMotortesterPolledPanel::TEXT_SPEED));
}

TEST_F(EtPolledPanelsOnTheBoard, AdvancePanelAndItsProbeButton) {
  CWndMotortester_AdvanceMeter panel;
  panel.SetInterfaces(kelo_.MTAdvancemeter(), kelo_.Communication());
  Show(panel);
  EXPECT_EQ(panel.GetSelectedKind(), 9);
  panel.Tick();  // finds the speed sensor
  ASSERT_TRUE(panel.IsSpeedSensorFound());
  panel.Tick();
  EXPECT_NEAR(SpeedOf(panel), 3000, 30);
  EXPECT_EQ(std::string(panel.Text(CMotortesterPolledPanel::TEXT_VALUE)), "12.0\260CS");
  EXPECT_EQ(std::string(panel.Text(CMotortesterPolledPanel::TEXT_TEMPERATURE)), "85\260C");

  // The button on the probe freezes the values; the engine moves on underneath.
  Board().Update([](sim::BoardScenario& s) { s.engine.probeButton = true; });
  panel.Tick();
  ASSERT_TRUE(panel.IsHeld());
  Board().Update([](sim::BoardScenario& s) {
    s.engine.probeButton = false;
    s.engine.advanceDegrees = 20;
  });
  panel.Tick();
  EXPECT_TRUE(panel.IsHeld());
  EXPECT_EQ(std::string(panel.Text(CMotortesterPolledPanel::TEXT_VALUE)), "12.0\260CS");
  EXPECT_EQ(panel.ValueColor(), RGB(255, 0, 0));
  SavePicture(panel.GetSafeHwnd(), "et-advance");
  Board().Update([](sim::BoardScenario& s) { s.engine.probeButton = true; });
  panel.Tick();
  EXPECT_FALSE(panel.IsHeld());
  EXPECT_EQ(std::string(panel.Text(CMotortesterPolledPanel::TEXT_VALUE)), "20.0\260CS");
}

TEST_F(EtPolledPanelsOnTheBoard, DwellAndThermometerPanels) {
  CWndMotortester_DwellAngleMeter dwell;
  dwell.SetInterfaces(kelo_.MTDwellanglemeter(), kelo_.Communication());
  Show(dwell);
  dwell.Tick();
  EXPECT_EQ(std::string(dwell.Text(CMotortesterPolledPanel::TEXT_VALUE)), "40%");
  EXPECT_NEAR(SpeedOf(dwell), 3000, 30);
  EXPECT_EQ(std::string(dwell.Text(CMotortesterPolledPanel::TEXT_TEMPERATURE)), "85\260C");
  SavePicture(dwell.GetSafeHwnd(), "et-dwell");
  dwell.DestroyWindow();

  CWndMotortester_Thermometer thermometer;
  thermometer.SetInterfaces(kelo_.MTTemperaturemeter(), kelo_.Communication());
  Show(thermometer);
  thermometer.KillTimer(CWndMotortester_Thermometer::TIMER_PROBES);
  thermometer.Tick();
  EXPECT_EQ(std::string(thermometer.Text(CMotortesterPolledPanel::TEXT_TEMPERATURE)), "85\260C");
  EXPECT_NEAR(SpeedOf(thermometer), 3000, 30);
  SavePicture(thermometer.GetSafeHwnd(), "et-thermometer");
}

TEST_F(EtPolledPanelsOnTheBoard, ProbeSetUpFindsThePolarityAndEndsByItself) {
  data().SetCoilType(0, 1);
  ASSERT_EQ(data().ApplyMotortesterParams(0), 0);
  FindReferenceProbe();
  data().m_bAutoPolarity = 1;
  CVNProbeSetupDlg dlg(&host_);
  int state = -1;
  hl::RunInLoop([&] {
    PumpUntil([&] { return dlg.GetState() != CVNProbeSetupDlg::STATE_TAKING; });
    state = dlg.GetState();
    if (state != CVNProbeSetupDlg::STATE_DONE) dlg.EndDialog(IDABORT);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(state, CVNProbeSetupDlg::STATE_DONE);
  EXPECT_EQ(data().m_bAutoPolarity.load(), 0);
}

TEST_F(EtPolledPanelsOnTheBoard, ProbeSetUpWithoutNewEngineDataFails) {
  data().SetCoilType(0, 1);
  ASSERT_EQ(data().ApplyMotortesterParams(0), 0);
  FindReferenceProbe();
  // The module never reports a new ignition cycle after it was armed.
  Board().Update([](sim::BoardScenario& s) { s.engineFramesAfterArming = 1000000; });
  CVNProbeSetupDlg dlg(&host_);
  hl::RunInLoop([&] {
    SavePicture(dlg.GetSafeHwnd(), "et-probe-setup");
    EXPECT_TRUE(PumpUntil([&] { return dlg.Button(CVNProbeSetupDlg::ID_REPEAT).IsWindowVisible() != FALSE; }));
    EXPECT_EQ(dlg.GetState(), CVNProbeSetupDlg::STATE_FAILED);
    EXPECT_TRUE(dlg.Button(CVNProbeSetupDlg::ID_EXIT).IsWindowVisible());
    SavePicture(dlg.GetSafeHwnd(), "et-probe-setup-failed");
    dlg.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

}  // namespace
