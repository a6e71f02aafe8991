// The voltage and current panel on the headless display with the virtual clock, over scripted
// engine-tester interfaces behind the real data object: the 250 ms poll and its texts by mode and
// status, the zero adjustment's band and alarm, the reset countdown, the clamp inputs, the board
// not ready.
#include <enginetester/WndMotortester_VoltageCurrent.h>

#include <core/EngineRecords.h>
#include <core/MotortesterData.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Screenshots.h>

#include <platform/display.h>
#include <platform/sound.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include "Kv310Stubs.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

namespace hl = kvp::headless;

ScaledValue Scaled(int32_t mantissa, int8_t exponent = 0) {
  ScaledValue v{};
  v.mantissa = mantissa;
  v.exponent = exponent;
  return v;
}

ProbeDescriptor Probe(int kind, int probeClass, int codeA = 20, int codeB = 0) {
  ProbeDescriptor p{};
  p.kind = kind;
  p.probeClass = probeClass;
  p.codeA = codeA;
  p.codeB = codeB;
  p.scaleMantissa = 1;
  p.rangeWindow = 2;
  return p;
}

ChannelProbeRecord Input(uint8_t slot, int kind, int probeClass, int amperes) {
  ChannelProbeRecord r{};
  r.slot = slot;
  r.probe = Probe(kind, probeClass, amperes, 0);
  return r;
}

struct FakeTester : ettest::StubMotortester_6 {
  bool ready = true;
  bool IsReady() override { return ready; }
};

// Voltage channel: a test lead (kind 1) with one 20 V range; current channel: a clamp of the
// display mode's kind with one 50 A full scale. Raw values are fractions of the range x 32767.
struct FakeVoltmeter : ettest::StubMTVoltmeter_8 {
  DualVoltmeterReading reading{};
  std::vector<ChannelProbeRecord> inputs;
  int inputCountRc = 0, inputsRc = 0, selectRc = 0;
  std::vector<int> selected;
  MeasuredValue speed{};
  FakeVoltmeter() {
    reading.probe0 = Probe(1, 0);
    reading.probe1 = Probe(2, 1, 50);
    speed.value = Scaled(3000);
    speed.probe.kind = 5;
    speed.valid = 1;
  }
  void Clamp(int mode) { reading.probe1 = Probe(mode, 1, 50); }
  void Raw(double volts, double amperes) {
    reading.values0[0] = reading.values0[1] = reading.values0[2] = static_cast<int16_t>(volts / 20.0 * 32767.0);
    reading.values1[0] = reading.values1[1] = reading.values1[2] = static_cast<int16_t>(amperes / 50.0 * 32767.0);
  }
  int ReadProbe(uint16_t channel, ProbeDescriptor* probe) override {
    return *probe = channel ? reading.probe1 : reading.probe0, 0;
  }
  int GetRangeCount(uint16_t, uint16_t* count) override { return *count = 1, 0; }
  int GetRanges(uint16_t channel, uint16_t, ScaledValue* ranges) override {
    ranges[0] = Scaled(channel ? 40 : 20);  // the clamp scale makes 40 A a 50 A full scale
    return 0;
  }
  int ReadStatistics(DualVoltmeterReading* r) override { return *r = reading, 0; }
  int ReadStatisticsRms(DualVoltmeterReading* r) override { return *r = reading, 0; }
  int GetEngineSpeed(MeasuredValue* v) override { return *v = speed, 0; }
  int GetInputCount(uint16_t channel, uint16_t* count) override {
    EXPECT_EQ(channel, 1);
    *count = static_cast<uint16_t>(inputs.size());
    return inputCountRc;
  }
  int ReadChannelProbes(uint16_t channel, ChannelProbeRecord* records) override {
    EXPECT_EQ(channel, 1);
    if (inputsRc) return inputsRc;
    std::memcpy(records, inputs.data(), inputs.size() * sizeof(ChannelProbeRecord));
    return 0;
  }
  int SelectChannelInput(uint16_t channel, uint8_t slot) override {
    EXPECT_EQ(channel, 1);
    selected.push_back(slot);
    return selectRc;
  }
};

class VoltageCurrentTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    GetMotortesterDevice()->SetInterfaces(&tester, &volt, &link);
    GetMotortesterDevice()->SetEngineType(CMotortesterData::ENGINE_SPARK);
    host.CreateEx(0, kvtest::HostWindowClass(), "host", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 700, 0, 0);
  }
  void TearDown() override {
    host.DestroyWindow();
    kvtest::CoreTest::TearDown();
  }
  // Created hidden, then shown: polling starts.
  void Show(CWndMotortester_VoltageCurrent& panel) {
    ASSERT_TRUE(panel.Create("vc", WS_CHILD, CRect(0, 0, 900, 600), &host, 1030));
    panel.ShowWindow(SW_SHOW);
    hl::Pump();
  }
  static std::string S(const CString& s) { return std::string(static_cast<LPCSTR>(s)); }
  static bool Visible(CXPCtrlBtn& b) { return b.IsWindowVisible() != FALSE; }

  kvp::HeadlessWorld world;
  FakeTester tester;
  FakeVoltmeter volt;
  ettest::StubCommunication_1 link;
  CWnd host;
};

TEST_F(VoltageCurrentTest, ThePollShowsVoltageCurrentAndSpeedEvery250ms) {
  volt.Raw(13.8, 12.34);
  CWndMotortester_VoltageCurrent panel;
  Show(panel);
  EXPECT_EQ(panel.m_bPolling, 1);
  EXPECT_NE(panel.m_pVoltage, nullptr);
  hl::Advance(249);
  EXPECT_TRUE(panel.m_strVoltage.IsEmpty());
  hl::Advance(1);
  EXPECT_EQ(S(panel.m_strVoltage), "13.80V =");
  EXPECT_EQ(S(panel.m_strCurrent), " 12.3A =");
  EXPECT_EQ(S(panel.m_strSpeed), "3000");
  EXPECT_TRUE(panel.m_strVoltageMin.IsEmpty());

  // Minimum and maximum only while the pane shows them.
  panel.m_bMinMax = 1;
  GetMotortesterDevice()->SetACMode(1);
  hl::Advance(250);
  EXPECT_EQ(S(panel.m_strVoltage), "13.80V ~");
  EXPECT_EQ(S(panel.m_strVoltageMin), "13.80V");
  EXPECT_EQ(S(panel.m_strCurrentMax), " 12.3A");
  const auto printed = panel.GetPrintValues();
  EXPECT_NEAR(printed.voltage, 13.8, 0.01);
  EXPECT_NEAR(printed.currentMax, 12.34, 0.01);
  EXPECT_EQ(printed.minMax, 1);
  EXPECT_EQ(printed.speed, 3000.0);

  panel.ShowWindow(SW_HIDE);
  EXPECT_EQ(panel.m_bPolling, 0);
  EXPECT_EQ(panel.m_pCurrent, nullptr);
  panel.m_strVoltage = "kept";
  hl::Advance(1000);
  EXPECT_EQ(S(panel.m_strVoltage), "kept");
}

TEST_F(VoltageCurrentTest, CurrentTextsByDisplayMode) {
  struct Case {
    int mode;
    double amperes;
    const char *value, *plain;
  } cases[] = {
      {2, 12.34, " 12.3A =", " 12.3A"}, {2, 0.0, "0.0A =", "0.0A"},   {3, 12.74, "13A =", "13A"},
      {3, 0.2, "0A =", "0A"},            {15, 1.234, "1.23A =", "1.23A"}, {15, 0.001, "0.00A =", "0.00A"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    volt.Clamp(c.mode);
    volt.Raw(12.0, c.amperes);
    GetMotortesterDevice()->Reset();
    GetMotortesterDevice()->SetInterfaces(&tester, &volt, &link);
    GetMotortesterDevice()->SetEngineType(CMotortesterData::ENGINE_SPARK);
    CWndMotortester_VoltageCurrent panel;
    panel.m_bMinMax = 1;
    Show(panel);
    hl::Advance(250);
    EXPECT_EQ(S(panel.m_strCurrent), c.value) << c.amperes;
    EXPECT_EQ(S(panel.m_strCurrentMin), c.plain);
  }
  // A mode without a format leaves the texts.
  volt.Clamp(7);
  GetMotortesterDevice()->Reset();
  GetMotortesterDevice()->SetInterfaces(&tester, &volt, &link);
  CWndMotortester_VoltageCurrent panel;
  Show(panel);
  panel.m_strCurrent = "kept";
  hl::Advance(250);
  EXPECT_EQ(S(panel.m_strCurrent), "kept");
}

TEST_F(VoltageCurrentTest, AZeroVoltageShowsTheZeroOfASmallValuesPrecision) {
  volt.Raw(0.0, 1.0);
  CWndMotortester_VoltageCurrent panel;
  Show(panel);
  hl::Advance(250);
  EXPECT_EQ(S(panel.m_strVoltage), "0m" + std::string("V ="));
}

TEST_F(VoltageCurrentTest, ZeroAdjustmentZeroesInsideTheBandAndSoundsOutsideIt) {
  struct Case {
    int mode;
    double raw;
    bool zeroed;
  } cases[] = {{2, 1.9, true}, {2, 2.0, false}, {2, -1.9, true}, {3, 0.9, true}, {3, 1.0, false}, {15, 1.9, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << " " << c.raw);
    GetMotortesterDevice()->Reset();
    GetMotortesterDevice()->SetInterfaces(&tester, &volt, &link);
    volt.Clamp(c.mode);
    volt.Raw(12.0, c.raw);
    kvp::SoundRecording sounds;
    CWndMotortester_VoltageCurrent panel;
    Show(panel);
    hl::Advance(250);  // one reading for the raw value
    MeterReading& r = *panel.m_pCurrent;
    ASSERT_DOUBLE_EQ(r.GetFullScaleValue(), 50.0);
    panel.m_nZeroCount = 2;
    hl::Advance(250);
    EXPECT_EQ(panel.m_nZeroCount, 1);
    EXPECT_EQ(r.m_dOffset, 0.0);
    hl::Advance(250);
    EXPECT_EQ(panel.m_nZeroCount, 0);
    if (c.zeroed) {
      EXPECT_NEAR(r.m_dOffset, c.raw, 0.01);
      EXPECT_TRUE(sounds.Events().empty());
      EXPECT_EQ(panel.m_nSoundState, -1);
    } else {
      EXPECT_EQ(r.m_dOffset, 0.0);
      ASSERT_EQ(sounds.Events().size(), 1u);
      EXPECT_EQ(sounds.Events()[0].source, "resource:148");
      // Hiding stops whatever may still sound.
      EXPECT_EQ(panel.m_nSoundState, 0);
      panel.ShowWindow(SW_HIDE);
      EXPECT_EQ(panel.m_nSoundState, -1);
      ASSERT_EQ(sounds.Events().size(), 2u);
      EXPECT_EQ(sounds.Events()[1].kind, kvp::SoundEvent::Kind::Stop);
    }
  }
}

TEST_F(VoltageCurrentTest, TheResetCountdownShowsZerosThenRestartsTheStatistics) {
  volt.Raw(13.8, 10.0);
  CWndMotortester_VoltageCurrent panel;
  panel.m_bMinMax = 1;
  Show(panel);
  hl::Advance(250);
  volt.Raw(12.0, 20.0);
  hl::Advance(250);
  EXPECT_EQ(S(panel.m_strVoltageMax), "13.80V");
  kvp::StartTextLog();
  panel.m_nResetCount = 2;
  hl::Advance(250);
  std::vector<std::string> texts;
  for (const auto& t : kvp::DrawnTexts()) texts.push_back(t.text);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "0V"), 2);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "0A"), 2);
  hl::Advance(250);  // the countdown ends: the statistics start from this reading
  EXPECT_EQ(panel.m_nResetCount, 0);
  EXPECT_EQ(S(panel.m_strVoltageMax), "12.00V");
  EXPECT_EQ(S(panel.m_strCurrentMin), " 20.0A");
  kvp::StopTextLog();
}

TEST_F(VoltageCurrentTest, ClampInputsChooseTheButtons) {
  struct Case {
    const char* what;
    std::vector<ChannelProbeRecord> inputs;
    int countRc, inputsRc;
    bool buttons;
    std::vector<int> selected;
    int result;
  } cases[] = {
      {"one clamp", {Input(7, 0, 0, 0), Input(9, 2, 1, 50)}, 0, 0, false, {9}, 1},
      {"two clamps: the first is selected",
       {Input(3, 2, 1, 50), Input(4, 0, 1, 0), Input(5, 2, 1, 500), Input(6, 2, 1, 1000)}, 0, 0, true, {3}, 1},
      {"a test lead is no clamp", {Input(3, 1, 0, 20)}, 0, 0, false, {}, 1},
      {"no inputs", {}, 0, 0, false, {}, 1},
      {"count fails", {Input(3, 2, 1, 50)}, 14, 0, true, {}, 0},
      {"records fail", {Input(3, 2, 1, 50)}, 0, 14, true, {}, 0},
  };
  CWndMotortester_VoltageCurrent panel;
  Show(panel);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    volt.inputs = c.inputs;
    volt.inputCountRc = c.countRc;
    volt.inputsRc = c.inputsRc;
    volt.selected.clear();
    // The buttons as two clamps left them: a failing read keeps them.
    panel.m_Child[CWndMotortester_VoltageCurrent::ID_PROBE0].ShowWindow(SW_SHOW);
    panel.m_Child[CWndMotortester_VoltageCurrent::ID_PROBEB].ShowWindow(SW_SHOW);
    EXPECT_EQ(panel.ReadVoltmeterRecords(), c.result);
    EXPECT_EQ(Visible(panel.m_Child[CWndMotortester_VoltageCurrent::ID_PROBE0]), c.buttons);
    EXPECT_EQ(Visible(panel.m_Child[CWndMotortester_VoltageCurrent::ID_PROBEB]), c.buttons);
    EXPECT_EQ(volt.selected, c.selected);
  }
  // Two clamps: captions and codes; the selected one's button pressed, the other clicked.
  using V = CWndMotortester_VoltageCurrent;
  const auto pressed = [&](int id) {
    CXPCtrlBtn& b = panel.m_Child[id];
    return b.data.state == 1 && !b.IsWindowEnabled();
  };
  volt.inputs = {Input(3, 2, 1, 50), Input(5, 2, 1, 500)};
  volt.inputCountRc = volt.inputsRc = 0;
  volt.selected.clear();
  ASSERT_EQ(panel.ReadVoltmeterRecords(), 1);
  EXPECT_EQ(S(panel.m_strInput[0]), "50A");
  EXPECT_EQ(S(panel.m_strInput[1]), "500A");
  EXPECT_EQ(volt.selected, std::vector<int>{3});
  EXPECT_TRUE(pressed(V::ID_PROBE0));
  EXPECT_FALSE(pressed(V::ID_PROBEB));
  volt.selected.clear();
  CRect r;
  ::GetClientRect(panel.m_Child[V::ID_PROBEB].GetSafeHwnd(), &r);
  hl::Click(panel.m_Child[V::ID_PROBEB].GetSafeHwnd(), POINT{r.Width() / 2, r.Height() / 2});
  EXPECT_EQ(volt.selected, std::vector<int>{5});
  EXPECT_FALSE(pressed(V::ID_PROBE0));
  EXPECT_TRUE(pressed(V::ID_PROBEB));
  // The next visit keeps the clamp the user chose.
  volt.selected.clear();
  ASSERT_EQ(panel.ReadVoltmeterRecords(), 1);
  EXPECT_EQ(volt.selected, std::vector<int>{5});
  EXPECT_TRUE(pressed(V::ID_PROBEB));
  // Two clamps of one range are told apart by their inputs.
  volt.inputs = {Input(1, 2, 1, 50), Input(2, 2, 1, 50)};
  ASSERT_EQ(panel.ReadVoltmeterRecords(), 1);
  EXPECT_EQ(S(panel.m_strInput[0]), "50A (2)");
  EXPECT_EQ(S(panel.m_strInput[1]), "50A (3)");
  // A failing selection of the only clamp is a library failure.
  volt.inputs = {Input(8, 2, 1, 50)};
  volt.selectRc = 3;
  EXPECT_EQ(panel.ReadVoltmeterRecords(), 0);
}

TEST_F(VoltageCurrentTest, StatusesAndTheBoardNotReady) {
  volt.reading.probe1 = Probe(0, 0);
  volt.speed.probe.kind = 0;
  volt.Raw(12.0, 0.0);
  CWndMotortester_VoltageCurrent panel;
  Show(panel);
  hl::Advance(250);
  EXPECT_EQ(S(panel.m_strCurrent), "no sensor");
  EXPECT_EQ(S(panel.m_strSpeed), "no sensor");
  EXPECT_EQ(S(panel.m_strVoltage), "12.00V =");
  EXPECT_EQ(panel.m_bError[CWndMotortester_VoltageCurrent::ERROR_CURRENT], 1);
  EXPECT_EQ(panel.m_bError[CWndMotortester_VoltageCurrent::ERROR_VOLTAGE], 0);
  volt.reading.probe0 = Probe(1, 1);  // a clamp on the voltage input
  hl::Advance(250);
  EXPECT_EQ(S(panel.m_strVoltage), "Bad probe");

  tester.ready = false;
  hl::Advance(250);
  EXPECT_EQ(S(panel.m_strVoltage), "V");
  EXPECT_EQ(S(panel.m_strVoltageMax), "V");
  EXPECT_EQ(S(panel.m_strCurrentMin), "A");
  EXPECT_EQ(S(panel.m_strSpeed), " ");

  // Shown while the board is not ready: the poll runs without a reading; once the board is there
  // but polling never started: "Error" everywhere.
  panel.ShowWindow(SW_HIDE);
  panel.ShowWindow(SW_SHOW);
  EXPECT_EQ(panel.m_bPolling, 0);
  tester.ready = true;
  hl::Advance(250);
  EXPECT_EQ(S(panel.m_strVoltage), "Error");
  EXPECT_EQ(S(panel.m_strCurrent), "Error");
  EXPECT_EQ(S(panel.m_strSpeed), "Error");
  EXPECT_TRUE(panel.m_strCurrentMax.IsEmpty());
}

TEST_F(VoltageCurrentTest, Screenshot) {
  volt.Raw(13.8, 12.34);
  volt.inputs = {Input(3, 2, 1, 50), Input(5, 2, 1, 500)};
  CWndMotortester_VoltageCurrent panel;
  panel.m_bMinMax = 1;
  Show(panel);
  hl::Advance(500);
  kvp::SaveWindowPng(panel.GetSafeHwnd(), kvtest::ScreenshotPath("et-voltage-current-headless").c_str());
}

}  // namespace
