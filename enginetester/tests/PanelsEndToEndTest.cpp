// The high-voltage and the voltage and current panels end to end: the real measurement library on
// the simulated board behind the in-process link "zlinksim.dll", the engine tester attached, four
// cylinders at 3000 rpm with cylinder 3 weak, on the headless display with the virtual clock. The
// clock moves whenever a thread waits on it (the library spaces its arms), so the workers run
// batch after batch; the tests read the panels' values and save the screenshots.
#include <enginetester/WndMotortester_AllCylinders.h>
#include <enginetester/WndMotortester_OneCylinder_DblCoil.h>
#include <enginetester/WndMotortester_SelectedCylinder.h>
#include <enginetester/WndMotortester_VoltageCurrent.h>

#include <core/EngineRecords.h>
#include <core/MeasureEngine.h>
#include <core/MotortesterData.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Screenshots.h>

#include <platform/display.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include <sim/ZlinkSim.h>

#include "EtBoardFixture.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

namespace hl = kvp::headless;

using ettest::Drive;

class PanelsEndToEndTest : public ettest::BoardTest {
 protected:
  void SetUp() override {
    ettest::BoardTest::SetUp();
    m_pBoard->Update([](sim::BoardScenario& s) { RunningEngine(s); });
    host.CreateEx(0, kvtest::HostWindowClass(), "host", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 700, 0, 0);
    ASSERT_NO_FATAL_FAILURE(StandUp());
  }
  void TearDown() override {
    host.DestroyWindow();
    ettest::BoardTest::TearDown();
  }

  void Create(CWndMotortester_HiVoltage& panel, IMTHiVoltage_14* meter) {
    panel.SetInterfaces(meter, m_Kelo.Communication());
    ASSERT_TRUE(panel.Create("panel", WS_CHILD, CRect(0, 0, 900, 600), &host, 1040));
  }
  void Shot(CWnd& panel, const char* name) {
    panel.RedrawWindow();
    hl::Pump();
    EXPECT_TRUE(kvp::SaveWindowPng(panel.GetSafeHwnd(), kvtest::ScreenshotPath(name).c_str()));
  }
  // Batches until the panel has reported `n` more times.
  bool Batches(CWndMotortester_HiVoltage& panel, int n) {
    int seen = 0;
    int last = panel.State().running.load();
    return Drive([&] {
      const int now = panel.State().running.load();
      if (last == 1 && now == 0) ++seen;
      last = now;
      return seen >= n;
    });
  }

  CMeasureEngine engine;
  CWnd host;
};

TEST_F(PanelsEndToEndTest, AllCylindersShowsTheWeakThirdCylinder) {
  IMTHiVoltage_14* meter = m_Kelo.MTHiVoltage();
  ASSERT_EQ(meter->SetMode(0), 0);
  CWndMotortester_AllCylinders panel(&engine);
  Create(panel, meter);
  panel.ShowWindow(SW_SHOW);
  ASSERT_TRUE(Drive([&] { return panel.State().values[3].load() > 0 && panel.State().speed.load() > 0; }))
      << "status " << panel.State().status.load();
  ASSERT_TRUE(Batches(panel, 2));
  const auto p = panel.GetPrintValues();
  ASSERT_EQ(p.count, 4);
  for (int i : {0, 1, 3}) EXPECT_NEAR(p.values[i], 10000, 800) << i;
  EXPECT_NEAR(p.values[2], 5000, 500);
  EXPECT_NEAR(p.speed, 3000, 30);
  kvp::StartTextLog();
  Shot(panel, "et-kv-all");
  // The texts above the bars (bottom-aligned, unlike the scale's labels), left to right.
  std::vector<double> labels;
  for (const kvp::DrawnText& t : kvp::DrawnTexts(panel.GetSafeHwnd()))
    if ((t.flags & DT_BOTTOM) && t.text.size() > 2 && t.text.compare(t.text.size() - 2, 2, "kV") == 0)
      labels.push_back(std::atof(t.text.c_str()));
  kvp::StopTextLog();
  ASSERT_GE(labels.size(), 4u);
  ASSERT_EQ(labels.size() % 4, 0u);  // four per paint
  const size_t last = labels.size() - 4;
  EXPECT_NEAR(labels[last], 10.0, 0.8);
  EXPECT_NEAR(labels[last + 2], 5.0, 0.5);

  // The engine stops: no valid speed.
  m_pBoard->Update([](sim::BoardScenario& s) { s.engine.rpm = 0; });
  ASSERT_TRUE(Drive([&] { return panel.State().speed.load() == -1; }));
  kvp::StartTextLog();
  panel.Redraw();
  bool dashes = false;
  for (const kvp::DrawnText& t : kvp::DrawnTexts(panel.GetSafeHwnd())) dashes = dashes || t.text == "--- RPM";
  kvp::StopTextLog();
  EXPECT_TRUE(dashes);
  panel.ShowWindow(SW_HIDE);
  EXPECT_FALSE(panel.HasWorker());
}

TEST_F(PanelsEndToEndTest, SelectedCylinderShowsTheChosenChannel) {
  IMTHiVoltage_14* meter = m_Kelo.MTHiVoltage();
  ASSERT_EQ(meter->SetMode(0), 0);
  CWndMotortester_SelectedCylinder panel(&engine);
  Create(panel, meter);
  panel.ShowWindow(SW_SHOW);
  panel.SelectChannel(3);
  ASSERT_TRUE(Batches(panel, 3));
  EXPECT_NEAR(panel.GetPrintValues().values[0], 5000, 500);
  panel.SelectChannel(1);
  ASSERT_TRUE(Batches(panel, 3));
  EXPECT_NEAR(panel.GetPrintValues().values[0], 10000, 800);
  panel.SelectChannel(3);
  ASSERT_TRUE(Batches(panel, 3));
  Shot(panel, "et-kv-selected");
}

TEST_F(PanelsEndToEndTest, DoubleCoilShowsTwoBars) {
  m_pBoard->Update([](sim::BoardScenario& s) { s.engine.wastedSpark = true; });
  CMotortesterData* data = GetMotortesterDevice();
  data->SetCoilType(CMotortesterData::ENGINE_SPARK, 1);
  ASSERT_EQ(data->ApplyMotortesterParams(CMotortesterData::ENGINE_SPARK), 0);
  IMTHiVoltage_14* meter = m_Kelo.MTHiVoltage();
  ASSERT_EQ(meter->SetMode(2), 0);
  CWndMotortester_OneCylinder_DblCoil panel(&engine);
  Create(panel, meter);
  panel.ShowWindow(SW_SHOW);
  ASSERT_TRUE(Batches(panel, 3));
  const auto p = panel.GetPrintValues();
  EXPECT_EQ(p.count, 2);
  EXPECT_GT(p.values[0], 1000);
  EXPECT_GT(p.values[1], 1000);
  Shot(panel, "et-kv-dblcoil");
}

TEST_F(PanelsEndToEndTest, DetectionRunsOnADoubleSparkCoil) {
  m_pBoard->Update([](sim::BoardScenario& s) { s.engine.wastedSpark = true; });
  CMotortesterData* data = GetMotortesterDevice();
  data->SetCoilType(CMotortesterData::ENGINE_SPARK, 1);
  data->m_bAutoPolarity.store(1);
  ASSERT_EQ(data->ApplyMotortesterParams(CMotortesterData::ENGINE_SPARK), 0);
  IMTHiVoltage_14* meter = m_Kelo.MTHiVoltage();
  ASSERT_EQ(meter->SetMode(0), 0);
  CWndMotortester_AllCylinders panel(&engine);
  Create(panel, meter);
  panel.ShowWindow(SW_SHOW);
  ASSERT_TRUE(Drive([&] { return panel.State().polarityCounter.load() >= 2; }));
  Shot(panel, "et-kv-detecting");
  ASSERT_TRUE(Drive([&] { return panel.State().polarityCounter.load() == 11; }));
  EXPECT_FALSE(panel.State().DetectionRunning());
}

TEST_F(PanelsEndToEndTest, AReferenceProbeTheEngineCannotUseIsRefused) {
  m_pBoard->Update([](sim::BoardScenario& s) { s.inputProbeCodes[4] = 67; });
  CMotortesterData* data = GetMotortesterDevice();
  data->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, 6);
  ASSERT_EQ(data->ApplyMotortesterParams(CMotortesterData::ENGINE_SPARK), 0);
  IMTHiVoltage_14* meter = m_Kelo.MTHiVoltage();
  ProbeDescriptor probe{};
  ASSERT_EQ(meter->ReadProbe(&probe), 0);
  ASSERT_EQ(meter->SetMode(0), 0);
  CWndMotortester_AllCylinders panel(&engine);
  Create(panel, meter);
  panel.ShowWindow(SW_SHOW);
  // The headless display answers the box with its default button.
  ASSERT_TRUE(Drive([&] { return !kvp::MessageBoxLog().empty(); }));
  EXPECT_EQ(kvp::MessageBoxLog()[0].text, "Bad params of engine!");
  hl::Pump();
  EXPECT_TRUE(panel.HasWorker());  // the ended worker's handle: no more batches
  EXPECT_EQ(panel.State().running.load(), 0);
}

// The voltage and current page on the board's two clamps (50 A on input 2, 500 A on input 3), with
// 12.5 A through the clamp: the current is measured through the first clamp at once, the other is
// one click away and stays chosen on the next visit; two clamps of one range are told apart by
// their inputs.
TEST_F(PanelsEndToEndTest, VoltageAndCurrent) {
  using V = CWndMotortester_VoltageCurrent;
  m_pBoard->Update([](sim::BoardScenario& s) { s.engine.clampAmps = 12.5; });
  CWndMotortester_VoltageCurrent panel;
  panel.m_bMinMax = 1;
  ASSERT_TRUE(panel.Create("vc", WS_CHILD, CRect(0, 0, 900, 600), &host, 1041));
  const auto pressed = [&](int id) { return panel.m_Child[id].data.state == 1 && !panel.m_Child[id].IsWindowEnabled(); };
  // Polls until the current reads through the clamp named.
  const auto current = [&](const char* clamp) {
    return Drive([&] {
      hl::Advance(V::POLL_MS);
      return panel.m_bError[V::ERROR_CURRENT] == 0 && panel.m_dCurrent != 0.0 && panel.m_pCurrent &&
             std::string(panel.m_pCurrent->GetProbeName()) == clamp;
    });
  };
  panel.ShowWindow(SW_SHOW);
  ASSERT_EQ(panel.m_bPolling, 1);
  ASSERT_TRUE(current("50A")) << (LPCSTR)panel.m_strCurrent;
  EXPECT_NEAR(panel.GetPrintValues().current, 12.5, 0.2) << (LPCSTR)panel.m_strCurrent;
  EXPECT_NEAR(std::atof(panel.m_strCurrent), 12.5, 0.2) << (LPCSTR)panel.m_strCurrent;
  EXPECT_NEAR(panel.GetPrintValues().voltage, 13.8, 0.2) << (LPCSTR)panel.m_strVoltage;
  EXPECT_NEAR(panel.GetPrintValues().speed, 3000, 30) << (LPCSTR)panel.m_strSpeed;
  ASSERT_TRUE(panel.m_Child[V::ID_PROBE0].IsWindowVisible());
  ASSERT_TRUE(panel.m_Child[V::ID_PROBEB].IsWindowVisible());
  EXPECT_EQ(std::string(panel.m_strInput[0]), "50A");
  EXPECT_EQ(std::string(panel.m_strInput[1]), "500A");
  EXPECT_TRUE(pressed(V::ID_PROBE0));
  EXPECT_FALSE(pressed(V::ID_PROBEB));

  // The other button: the reading comes through the 500 A clamp, the same current.
  panel.OnClick(&panel.m_Child[V::ID_PROBEB].data, &panel.m_Child[V::ID_PROBEB]);
  EXPECT_TRUE(pressed(V::ID_PROBEB));
  EXPECT_FALSE(pressed(V::ID_PROBE0));
  ASSERT_TRUE(current("500A")) << (LPCSTR)panel.m_strCurrent;
  EXPECT_NEAR(panel.GetPrintValues().current, 12.5, 0.2) << (LPCSTR)panel.m_strCurrent;

  // Two 50 A clamps, the page opened again: the one chosen before is still the one measuring.
  panel.ShowWindow(SW_HIDE);
  m_pBoard->Update([](sim::BoardScenario& s) { s.inputProbeCodes[3] = 4; });
  for (int channel : {CMotortesterData::CHANNEL_VOLTAGE, CMotortesterData::CHANNEL_CURRENT}) {
    MeterReading& r = GetMotortesterDevice()->GetChannel(channel).m_Reading;  // "Reset Min/Max"
    r.m_dMin = r.m_dMax = 0.0;
    r.m_bMinMaxSet = 0;
  }
  panel.ShowWindow(SW_SHOW);
  EXPECT_EQ(std::string(panel.m_strInput[0]), "50A (2)");
  EXPECT_EQ(std::string(panel.m_strInput[1]), "50A (3)");
  EXPECT_TRUE(pressed(V::ID_PROBEB));
  ASSERT_TRUE(current("50A")) << (LPCSTR)panel.m_strCurrent;
  EXPECT_NEAR(panel.GetPrintValues().current, 12.5, 0.2) << (LPCSTR)panel.m_strCurrent;
  Shot(panel, "et-voltage-current");
}

// Each clamp alone on the current channel shows the current through it, within one converter step
// of the range the board reports: the 50 A and the 500 A clamp, under either of their probe codes.
TEST_F(PanelsEndToEndTest, EachClampShowsTheCurrentThroughIt) {
  using V = CWndMotortester_VoltageCurrent;
  struct Case {
    const char* name;
    uint8_t input2, input3;  // probe codes on the two clamp inputs (0: none)
    double amps;
    const char* probe;      // the probe the current channel names
    double textStep;        // the last digit of the value text (50 A: tenths, 500 A: whole amperes)
  } const cases[] = {
      {"50 A clamp (code 4) on input 2", 4, 0, 37.5, "50A", 0.1},
      {"500 A clamp (code 5) on input 3", 0, 5, 180.0, "500A", 1.0},
      {"500 A clamp (code 133) on input 2", 133, 0, 420.0, "500A", 1.0},
      {"50 A clamp (code 132) on input 3", 0, 132, 4.6, "50A", 0.1},
  };
  CWndMotortester_VoltageCurrent panel;
  ASSERT_TRUE(panel.Create("vc", WS_CHILD, CRect(0, 0, 900, 600), &host, 1041));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_pBoard->Update([&](sim::BoardScenario& s) {
      s.inputProbeCodes[2] = c.input2;
      s.inputProbeCodes[3] = c.input3;
      s.engine.clampAmps = c.amps;
    });
    panel.m_dCurrent = 0.0;
    panel.ShowWindow(SW_SHOW);
    ASSERT_EQ(panel.m_bPolling, 1);
    EXPECT_FALSE(panel.m_Child[V::ID_PROBE0].IsWindowVisible()) << "one clamp is selected without a button";
    ASSERT_TRUE(Drive([&] {
      hl::Advance(V::POLL_MS);
      return panel.m_bError[V::ERROR_CURRENT] == 0 && panel.m_dCurrent != 0.0 && panel.m_pCurrent &&
             std::string(panel.m_pCurrent->GetProbeName()) == c.probe;
    })) << (LPCSTR)panel.m_strCurrent;
    // One step of the 12-bit converter on the reported range (full scale in amperes).
    const double step = panel.m_pCurrent->GetFullScaleValue() / 2048.0;
    EXPECT_GT(panel.m_pCurrent->GetFullScaleValue(), c.amps) << "a range that holds the current";
    EXPECT_NEAR(panel.GetPrintValues().current, c.amps, step) << (LPCSTR)panel.m_strCurrent;
    EXPECT_NEAR(std::atof(panel.m_strCurrent), c.amps, step + c.textStep) << (LPCSTR)panel.m_strCurrent;
    panel.ShowWindow(SW_HIDE);
  }
}

}  // namespace
