// The multimeter panes end to end: the real measurement library "Kv310.dll" on the simulated board
// behind the in-process link "zlinksim.dll", on the headless display with the virtual clock. The
// panes poll through their 250 ms timer; the tests read their texts, the board's requests and the
// sounds, and save the screenshots of the main states.
#include "../../measurement/tests/LinkTestSupport.h"

#include <meters/WndOhmeter.h>
#include <meters/WndVoltmeter.h>

#include <core/EngineRecords.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>

#include <kvtest/Screenshots.h>

#include <platform/clock.h>
#include <platform/display.h>
#include <platform/sound.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <thread>

namespace {

namespace hl = kvp::headless;

const char* HostClass() {
  WNDCLASS known{};
  if (!GetClassInfo(0, "MeterE2eHost", &known)) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "MeterE2eHost";
    AfxRegisterClass(&wc);
  }
  return "MeterE2eHost";
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class MeterPanesEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kvp::ClockUseVirtual(true);
    kvp::OpenHeadlessDisplay(1024, 768);
    kv310::testing::SetLinkLibrary("zlinksim.dll");
    kv310::testing::SetSerialBlockSizeValue(-1);
    zlink_ = std::make_unique<kv310::testing::ZlinkSimBoard>();
    Board().Reset();
    Board().Update([](sim::BoardScenario& s) {
      s.instantAcquisition = true;
      s.channelSignals[0] = sim::SignalSource{sim::Waveform::Dc, 0.0, 12.5, 50.0};
    });
    GetMeasureType().m_nMeasureType = 0;
    GetMeasureType().m_nAngleMode = 0;
    engine_ = std::make_unique<CMeasureEngine>();
    ASSERT_EQ(engine_->OpenMeasuringDevice(0), 1);
    host_ = CreateWindowEx(0, HostClass(), "host", WS_POPUP | WS_VISIBLE, 0, 0, 900, 600, 0, 0, 0, 0);
  }
  void TearDown() override {
    if (host_) DestroyWindow(host_);
    if (engine_) engine_->CoreShutdown();
    engine_.reset();
    zlink_.reset();
    kvp::CloseDisplay();
    kvp::ClockUseVirtual(false);
  }
  template <typename Pane>
  void Create(Pane& pane) {
    ASSERT_TRUE(pane.Create("pane", WS_CHILD | WS_VISIBLE, CRect(0, 0, 900, 600), CWnd::FromHandle(host_), 1010));
    hl::Pump();
  }
  void Click(CXPCtrlBtn& b) {
    CRect r;
    ::GetClientRect(b.GetSafeHwnd(), &r);
    hl::Click(b.GetSafeHwnd(), POINT{r.Width() / 2, r.Height() / 2});
  }
  void Shot(CWnd& pane, const char* name) {
    pane.RedrawWindow();
    hl::Pump();
    EXPECT_TRUE(kvp::SaveWindowPng(pane.GetSafeHwnd(), kvtest::ScreenshotPath(name).c_str()));
  }

  sim::BoardModel& Board() { return zlink_->Board(); }

  std::unique_ptr<kv310::testing::ZlinkSimBoard> zlink_;
  std::unique_ptr<CMeasureEngine> engine_;
  HWND host_ = 0;
};

TEST_F(MeterPanesEndToEndTest, VoltmeterShowsDcAcAndResets) {
  CWndVoltmeter pane(engine_.get());
  Create(pane);
  pane.Activate(0);
  hl::Advance(250);
  hl::Advance(250);
  ASSERT_EQ(pane.m_bErrorShown, 0) << pane.m_strValue;
  EXPECT_TRUE(EndsWith(std::string(pane.m_strValue), "V =")) << pane.m_strValue;
  EXPECT_NEAR(pane.m_dLastValue, 12.5, 0.2);
  EXPECT_FALSE(pane.m_strMin.IsEmpty());
  Shot(pane, "voltmeter-dc");

  Board().Update([](sim::BoardScenario& s) { s.channelSignals[0] = sim::SignalSource{sim::Waveform::Sine, 5.0, 0.0, 50.0}; });
  Click(pane.m_Child[CWndVoltmeter::ID_ACDC]);
  EXPECT_EQ(pane.m_pReading->m_bAC, 1);
  EXPECT_EQ(pane.m_pReading->m_bMinMaxSet, 0);
  hl::Advance(250);
  hl::Advance(250);
  EXPECT_TRUE(EndsWith(std::string(pane.m_strValue), "V ~")) << pane.m_strValue;
  EXPECT_NEAR(pane.m_dLastValue, 3.54, 0.2);
  Shot(pane, "voltmeter-ac");

  // Four ticks of zeros without a single measurement request reaching the board.
  Click(pane.m_Child[CWndVoltmeter::ID_ZERO]);
  Board().ClearLog();
  hl::Advance(250);
  Shot(pane, "voltmeter-reset");
  hl::Advance(750);
  EXPECT_EQ(Board().CountRequests(0x21), 0u);
  EXPECT_EQ(pane.m_pReading->m_bMinMaxSet, 0);
  hl::Advance(250);
  EXPECT_GT(Board().CountRequests(0x21), 0u);
  EXPECT_EQ(pane.m_pReading->m_bMinMaxSet, 1);
  pane.Deactivate();
}

TEST_F(MeterPanesEndToEndTest, ClampOnTheVoltmeterIsABadProbeAndTheAmmeterNamesIt) {
  Board().Update([](sim::BoardScenario& s) { s.channelProbeCodes = {4, 4}; });
  CWndVoltmeter volts(engine_.get());
  Create(volts);
  volts.Activate(0);
  for (int tick = 0; tick < 2; ++tick) {
    hl::Advance(250);
    EXPECT_EQ(std::string(volts.m_strValue), "Bad probe on channel") << tick;
    EXPECT_EQ(volts.m_bErrorShown, 1);
  }
  volts.Deactivate();
  volts.DestroyWindow();

  CWndVoltmeter amps(engine_.get());
  amps.m_nMode = CWndVoltmeter::ROLE_AMMETER;
  Create(amps);
  amps.Activate(0);
  hl::Advance(250);
  hl::Advance(250);
  EXPECT_EQ(amps.m_bErrorShown, 0) << amps.m_strValue;
  EXPECT_TRUE(EndsWith(std::string(amps.m_strValue), "A =")) << amps.m_strValue;
  const std::string title(amps.TitleText());
  EXPECT_EQ(title.rfind("Ampermeter", 0), 0u);
  EXPECT_GT(title.size(), std::string("Ampermeter ").size()) << title;
  EXPECT_EQ(title, "Ampermeter 50A");
  amps.Deactivate();
}

// The current through the clamp, as the board reports it, is the value the ammeter shows: the
// 50 A clamp (code 4) and the 500 A clamp (code 5), each read on its own scale.
TEST_F(MeterPanesEndToEndTest, AmmeterShowsTheClampCurrent) {
  struct Case {
    const char* name;
    uint8_t clamp;              // probe code on channel B
    sim::SignalSource current;  // amperes through the clamp on channel B
    int ac;                     // the "=/~" button's value
    double value;               // the reading (RMS for AC)
    const char* text;
    const char* min;  // since the last clear of the statistics (switching AC/DC or the probe clears them)
    const char* max;
    const char* title;
    const char* screenshot;
  } const cases[] = {
      {"7.5 A DC", 4, {sim::Waveform::Dc, 0.0, 7.5, 50.0}, 0, 7.5, "  7.5A =", "  7.5A", "  7.5A", "Ampermeter 50A",
       "ammeter"},
      {"-12.3 A DC", 4, {sim::Waveform::Dc, 0.0, -12.3, 50.0}, 0, -12.3, "-12.3A =", "-12.3A", "  7.5A",
       "Ampermeter 50A", nullptr},
      {"10 A peak at 50 Hz, AC", 4, {sim::Waveform::Sine, 10.0, 0.0, 50.0}, 1, 10.0 / std::sqrt(2.0), "  7.1A ~",
       "  7.1A", "  7.1A", "Ampermeter 50A", nullptr},
      {"120 A DC through the 500 A clamp", 5, {sim::Waveform::Dc, 0.0, 120.0, 50.0}, 0, 120.0, "120A =", "120A", "120A",
       "Ampermeter 500A", nullptr},
  };
  CWndVoltmeter amps(engine_.get());
  amps.m_nMode = CWndVoltmeter::ROLE_AMMETER;
  Create(amps);
  amps.Activate(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Board().Update([&](sim::BoardScenario& s) {
      s.channelProbeCodes = {3, c.clamp};
      s.channelSignals[1] = c.current;
    });
    if (amps.m_Child[CWndVoltmeter::ID_ACDC].data.value != c.ac) Click(amps.m_Child[CWndVoltmeter::ID_ACDC]);
    ASSERT_EQ(amps.m_pReading->m_bAC, c.ac);
    hl::Advance(250);
    kvp::StartTextLog();
    hl::Advance(250);
    const std::vector<kvp::DrawnText> shown = kvp::DrawnTexts(amps.m_Child[CWndVoltmeter::ID_CURRENT].GetSafeHwnd());
    kvp::StopTextLog();
    ASSERT_EQ(amps.m_bErrorShown, 0) << amps.m_strValue;
    EXPECT_NEAR(amps.m_dLastValue, c.value, 0.1);
    EXPECT_EQ(std::string(amps.m_strValue), c.text);
    EXPECT_EQ(std::string(amps.m_strMin), c.min);
    EXPECT_EQ(std::string(amps.m_strMax), c.max);
    EXPECT_EQ(std::string(amps.TitleText()), c.title);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front().text, c.text) << "the value field draws the reading";
    if (c.screenshot) Shot(amps, c.screenshot);
  }
  amps.Deactivate();
}

TEST_F(MeterPanesEndToEndTest, VoltmeterWithoutAProbe) {
  Board().Update([](sim::BoardScenario& s) { s.channelProbeCodes = {0, 0}; });
  CWndVoltmeter pane(engine_.get());
  Create(pane);
  pane.Activate(0);
  hl::Advance(250);
  EXPECT_EQ(pane.m_bErrorShown, 1);
  Shot(pane, "voltmeter-no-probe");
  EXPECT_EQ(std::string(pane.m_strValue), "No probe on channel");
  EXPECT_TRUE(pane.m_strMin.IsEmpty());
  pane.Deactivate();
}

TEST_F(MeterPanesEndToEndTest, VoltmeterWithoutAnAnswerFromTheBoard) {
  CWndVoltmeter pane(engine_.get());
  Create(pane);
  pane.Activate(0);
  Board().Update([](sim::BoardScenario& s) { s.commandFaults[0x21] = sim::CommandFault{{sim::FaultKind::Silence}, -1}; });
  // The library waits for the answer on the clock: a helper moves the virtual clock on while the
  // tick waits, as time would pass for the user.
  std::atomic<bool> done{false};
  std::thread clock([&] {
    while (!done) {
      if (kvp::ClockTimedWaiters() > 0) kvp::ClockAdvance(100);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  pane.Poll();
  done = true;
  clock.join();
  EXPECT_EQ(pane.m_bErrorShown, 1);
  EXPECT_EQ(std::string(pane.m_strValue), "No response");
  pane.Deactivate();
}

TEST_F(MeterPanesEndToEndTest, OhmmeterRangesOpenCircuitDiodeAndContinuity) {
  kvp::SoundRecording sounds;
  CWndOhmeter pane(engine_.get());
  Create(pane);
  pane.Activate(0);
  hl::Advance(250);
  ASSERT_EQ(pane.m_bErrorShown, 0) << pane.m_strValue;
  EXPECT_NEAR(engine_->GetOhmReading().m_dValue, 1000.0, 20.0);
  Shot(pane, "ohmmeter-auto");
  Board().Update([](sim::BoardScenario& s) { s.resistanceOhms = 220000.0; });
  hl::Advance(250);
  hl::Advance(250);
  EXPECT_NEAR(engine_->GetOhmReading().m_dValue, 220000.0, 5000.0) << pane.m_strValue;

  // Zero: taken on the second tick, when the raw value lies within 5 ohms (bounds included).
  struct Zero {
    double raw;
    bool taken;
  } zeros[] = {{5.0, true}, {-5.0, true}, {5.01, false}};
  for (const Zero& z : zeros) {
    COhmReading& r = engine_->GetOhmReading();
    r.m_dOffset = 0.0;
    const size_t before = sounds.Events().size();
    Click(pane.m_Child[CWndOhmeter::ID_ZERO]);
    hl::Advance(250);
    r.m_dRawValue = z.raw;
    hl::Advance(250);
    EXPECT_DOUBLE_EQ(r.m_dOffset, z.taken ? z.raw : 0.0) << z.raw;
    EXPECT_EQ(sounds.Events().size(), before + (z.taken ? 0 : 1)) << z.raw;
  }
  engine_->GetOhmReading().m_dOffset = 0.0;

  Board().Update([](sim::BoardScenario& s) { s.resistanceOhms = std::numeric_limits<double>::infinity(); });
  hl::Advance(250);
  EXPECT_EQ(std::string(pane.m_strValue), "Circuit open");
  Shot(pane, "ohmmeter-open");

  Click(pane.m_Child[CWndOhmeter::ID_DIODE]);
  EXPECT_FALSE(pane.m_Child[CWndOhmeter::ID_ZERO].IsWindowEnabled());
  hl::Advance(250);
  EXPECT_EQ(pane.m_bErrorShown, 0) << pane.m_strValue;
  EXPECT_NEAR(engine_->GetOhmReading().m_dValue, 0.65, 0.05);
  Shot(pane, "ohmmeter-diode");
  Click(pane.m_Child[CWndOhmeter::ID_OHM]);
  EXPECT_TRUE(pane.m_Child[CWndOhmeter::ID_ZERO].IsWindowEnabled());

  Board().Update([](sim::BoardScenario& s) {
    s.resistanceOhms = 1000.0;
    s.ohmmeterStatus = 2;
  });
  hl::Advance(250);
  EXPECT_EQ(std::string(pane.m_strValue), "External voltage");
  Board().Update([](sim::BoardScenario& s) { s.ohmmeterStatus = 0; });

  // Continuity: 2 ohms tone 0, 8 ohms tone 1, 50 ohms silence; a steady tone is not restarted.
  Click(pane.m_Child[CWndOhmeter::ID_CONDUC]);
  struct Step {
    double ohms;
    int tone;
    const char* event;  // the one sound event of the tick, null for none
  } steps[] = {{2.0, 0, "resource:148"}, {2.0, 0, nullptr}, {8.0, 1, "resource:149"},
               {50.0, -1, "stop"},        {2.0, 0, "resource:148"}};
  for (const Step& s : steps) {
    Board().Update([&](sim::BoardScenario& sc) { sc.resistanceOhms = s.ohms; });
    const size_t before = sounds.Events().size();
    hl::Advance(250);
    EXPECT_EQ(pane.m_nTone, s.tone) << s.ohms << " " << pane.m_strValue;
    const auto events = sounds.Events();
    if (!s.event) {
      EXPECT_EQ(events.size(), before) << s.ohms;
      continue;
    }
    ASSERT_EQ(events.size(), before + 1) << s.ohms;
    if (std::string(s.event) == "stop") {
      EXPECT_EQ(events.back().kind, kvp::SoundEvent::Kind::Stop);
    } else {
      EXPECT_EQ(events.back().source, s.event) << s.ohms;
      EXPECT_TRUE(events.back().loop);
      EXPECT_TRUE(events.back().async);
    }
  }
  Shot(pane, "ohmmeter-continuity");
  const size_t before = sounds.Events().size();
  EXPECT_TRUE(pane.Deactivate());
  ASSERT_EQ(sounds.Events().size(), before + 1);
  EXPECT_EQ(sounds.Events().back().kind, kvp::SoundEvent::Kind::Stop);
}

}  // namespace
