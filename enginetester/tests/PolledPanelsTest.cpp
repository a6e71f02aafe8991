// The advance, dwell-angle and thermometer panels on the headless display with the virtual
// clock, over scripted meters: the texts by status and value, the speed-sensor gate, the board
// not ready, the hold that freezes red values, probe selection and its refusal, hiding, and the
// thermometer's probe re-read with its skipped ticks.
#include <enginetester/PanelCommon.h>
#include <enginetester/WndMotortester_AdvanceMeter.h>
#include <enginetester/WndMotortester_DwellAngleMeter.h>
#include <enginetester/WndMotortester_Thermometer.h>

#include "EtTestSupport.h"

#include <platform/textlog.h>

#include <algorithm>

namespace {

using namespace ettest;

class PolledPanelTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    advance.reading.speed = Measured(5, 3000);
    advance.reading.advance = Measured(9, 125, true, -1);
    advance.reading.temperature = Measured(8, 85);
  }
  // Created hidden, then shown: the show starts the polling.
  void Bind(CWndMotortester_AdvanceMeter& p) { p.SetInterfaces(&advance, nullptr); }
  void Bind(CWndMotortester_DwellAngleMeter& p) { p.SetInterfaces(&dwell, nullptr); }
  void Bind(CWndMotortester_Thermometer& p) { p.SetInterfaces(&thermo, nullptr); }
  template <typename Panel>
  void CreateAndShow(Panel& panel) {
    Bind(panel);
    ASSERT_TRUE(panel.Create("panel", WS_CHILD, CRect(0, 0, 900, 600), &host, 1020));
    panel.ShowWindow(SW_SHOW);
    hl::Pump();
  }
  static std::vector<std::string> Texts(const CMotortesterPolledPanel& p) {
    return {std::string(p.Text(0)), std::string(p.Text(1)), std::string(p.Text(2))};
  }
  static std::vector<int> Errors(const CMotortesterPolledPanel& p) { return {p.IsError(0), p.IsError(1), p.IsError(2)}; }

  FakeAdvance advance;
  FakeDwell dwell;
  FakeTemperature thermo;
};

// ---- advance ---------------------------------------------------------------------------------

TEST_F(PolledPanelTest, AdvanceTextsByStatusAndValue) {
  struct Case {
    const char* what;
    MeasuredValue speed, advance, temperature;
    int rc;
    std::vector<std::string> texts;  // speed, advance, temperature
    std::vector<int> errors;
  } cases[] = {
      {"all valid", Measured(5, 3000), Measured(9, 125, true, -1), Measured(8, 855, true, -1), 0,
       {"3000", "12.5\260CS", "85\260C"}, {0, 0, 0}},
      {"nothing valid", Measured(13, 1, false), Measured(9, 1, false), Measured(8, 1, false), 0,
       {"--- ", "--- \260CS", "--- \260C"}, {0, 0, 0}},
      {"no advance probe", Measured(6, 800), Measured(0, 1), Measured(8, 20), 0, {"800", "no sensor", "20\260C"}, {0, 1, 0}},
      {"advance probe not the selected one", Measured(6, 800), Measured(7, 1), Measured(8, 20), 0,
       {"800", "Bad probe", "20\260C"}, {0, 1, 0}},
      {"wrong temperature sensor", Measured(5, 900), Measured(9, 30), Measured(5, 20), 0, {"900", "30.0\260CS", "Bad probe"}, {0, 0, 1}},
      {"wrong speed sensor blanks the others", Measured(8, 900), Measured(9, 30), Measured(5, 20), 0,
       {"Bad probe", "--- \260CS", "--- \260C"}, {1, 0, 0}},
      {"read failed", Measured(5, 900), Measured(9, 30), Measured(8, 20), 14, {"Error", "--- \260CS", "--- \260C"}, {1, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    advance.reading.speed = c.speed;
    advance.reading.advance = c.advance;
    advance.reading.temperature = c.temperature;
    advance.rc = c.rc;
    CWndMotortester_AdvanceMeter panel;
    CreateAndShow(panel);
    hl::Advance(500);  // the speed-sensor test, then a reading
    EXPECT_EQ(Texts(panel), c.texts);
    EXPECT_EQ(Errors(panel), c.errors);
    panel.DestroyWindow();
  }
}

// An engine speed that is not valid reads "--- RPM", one blank between the dashes and the unit.
TEST_F(PolledPanelTest, AnInvalidSpeedReadsDashesOneBlankBeforeRpm) {
  advance.reading.speed = Measured(13, 1, false);
  thermo.reading.speed = Measured(6, 850, false);
  CWndMotortester_AdvanceMeter adv;
  CreateAndShow(adv);
  CWndMotortester_Thermometer th;
  CreateAndShow(th);
  hl::Advance(500);
  for (CMotortesterPolledPanel* panel : {static_cast<CMotortesterPolledPanel*>(&adv), static_cast<CMotortesterPolledPanel*>(&th)}) {
    CXPCtrlBtn* speed = panel->Field(CMotortesterPolledPanel::ID_SPEED);
    ASSERT_NE(speed, nullptr);
    kvp::StartTextLog();
    speed->Redraw();
    std::vector<std::string> texts;
    for (const kvp::DrawnText& t : kvp::DrawnTexts(speed->GetSafeHwnd())) texts.push_back(t.text);
    kvp::StopTextLog();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "--- RPM"), texts.end()) << panel->GetSafeHwnd();
  }
}

TEST_F(PolledPanelTest, AdvanceWaitsForTheSpeedSensor) {
  advance.speedKind = 8;  // a temperature sensor on the speed input
  CWndMotortester_AdvanceMeter panel;
  CreateAndShow(panel);
  hl::Advance(1000);
  EXPECT_EQ(advance.measures, 0);
  EXPECT_EQ(Texts(panel), (std::vector<std::string>{"Speed sensor is not connect", "--- \260CS", "--- "}));
  EXPECT_EQ(Errors(panel), (std::vector<int>{1, 0, 0}));

  advance.speedKind = 13;
  hl::Advance(250);  // found: this tick only tests
  EXPECT_TRUE(panel.IsSpeedSensorFound());
  EXPECT_EQ(advance.measures, 0);
  hl::Advance(250);
  EXPECT_EQ(advance.measures, 1);
  EXPECT_EQ(Texts(panel), (std::vector<std::string>{"3000", "12.5\260CS", "85\260C"}));
}

TEST_F(PolledPanelTest, BoardNotReadyShowsEmptyOrDashedTexts) {
  tester.ready = false;
  CWndMotortester_AdvanceMeter adv;
  CreateAndShow(adv);
  CWndMotortester_DwellAngleMeter dw;
  CreateAndShow(dw);
  CWndMotortester_Thermometer th;
  CreateAndShow(th);
  hl::Advance(250);
  EXPECT_EQ(Texts(adv), (std::vector<std::string>{"", "\260CS", "--"}));
  EXPECT_EQ(Texts(dw), (std::vector<std::string>{"", "%", "\260C"}));
  EXPECT_EQ(std::string(th.Text(CMotortesterPolledPanel::TEXT_SPEED)), "");
  EXPECT_EQ(std::string(th.Text(CMotortesterPolledPanel::TEXT_TEMPERATURE)), "--- ");
  EXPECT_EQ(advance.measures, 0);
  EXPECT_EQ(thermo.measures, 0);
  EXPECT_TRUE(advance.selected.empty()) << "the reader selects its probe only on a ready board";
}

TEST_F(PolledPanelTest, TheProbeButtonFreezesRedValues) {
  CWndMotortester_AdvanceMeter panel;
  CreateAndShow(panel);
  hl::Advance(500);
  EXPECT_EQ(panel.ValueColor(), RGB(0, 0, 0));
  advance.reading.flag = 1;  // the button on the probe pressed
  hl::Advance(250);
  EXPECT_TRUE(panel.IsHeld());
  EXPECT_EQ(panel.ValueColor(), RGB(255, 0, 0));
  advance.reading.speed = Measured(5, 4000);
  advance.reading.advance = Measured(9, 20);
  advance.reading.temperature = Measured(8, 90);
  hl::Advance(500);
  EXPECT_EQ(Texts(panel), (std::vector<std::string>{"3000", "12.5\260CS", "85\260C"})) << "frozen";
  EXPECT_EQ(panel.GetValues().speed, 3000);
  EXPECT_DOUBLE_EQ(panel.GetValues().value, 12.5);

  advance.reading.flag = 0;
  hl::Advance(250);
  advance.reading.flag = 1;  // pressed again: released
  hl::Advance(250);
  EXPECT_FALSE(panel.IsHeld());
  EXPECT_EQ(Texts(panel), (std::vector<std::string>{"4000", "20.0\260CS", "90\260C"}));
  EXPECT_EQ(panel.ValueColor(), RGB(0, 0, 0));
}

// What one display field drew: its texts with their format and colour.
std::vector<kvp::DrawnText> FieldTexts(CMotortesterPolledPanel& panel, int id) {
  kvp::StartTextLog();
  RedrawNow(panel.Field(id));
  std::vector<kvp::DrawnText> texts = kvp::DrawnTexts(panel.Field(id)->GetSafeHwnd());
  kvp::StopTextLog();
  return texts;
}

const kvp::DrawnText* Find(const std::vector<kvp::DrawnText>& texts, const std::string& text) {
  for (const kvp::DrawnText& t : texts)
    if (t.text == text) return &t;
  return nullptr;
}

TEST_F(PolledPanelTest, ABadSpeedProbeIsCentredAndTheValuesAreDrawnBlank) {
  advance.reading.speed = Measured(8, 900);
  CWndMotortester_AdvanceMeter panel;
  CreateAndShow(panel);
  hl::Advance(500);
  const auto speed = FieldTexts(panel, CMotortesterPolledPanel::ID_SPEED);
  const kvp::DrawnText* bad = Find(speed, "Bad probe");
  ASSERT_NE(bad, nullptr);
  EXPECT_TRUE(bad->flags & DT_CENTER);
  EXPECT_EQ(Find(speed, "Bad probe RPM"), nullptr) << "no unit with a status text";
  ASSERT_NE(Find(speed, "Engine Speed"), nullptr);

  const auto value = FieldTexts(panel, CMotortesterPolledPanel::ID_VALUE);
  const kvp::DrawnText* blank = Find(value, "--- \260CS");
  ASSERT_NE(blank, nullptr);
  EXPECT_TRUE(blank->flags & DT_RIGHT);
  EXPECT_EQ(blank->color, RGB(0, 0, 0));
}

TEST_F(PolledPanelTest, HeldValuesAreDrawnRedUnderBlackLabels) {
  CWndMotortester_AdvanceMeter panel;
  CreateAndShow(panel);
  hl::Advance(500);
  advance.reading.flag = 1;
  hl::Advance(250);
  ASSERT_TRUE(panel.IsHeld());
  const auto speed = FieldTexts(panel, CMotortesterPolledPanel::ID_SPEED);
  ASSERT_NE(Find(speed, "3000 RPM"), nullptr);
  EXPECT_EQ(Find(speed, "3000 RPM")->color, RGB(255, 0, 0));
  EXPECT_EQ(Find(speed, "-1"), nullptr) << "no exponent after RPM";
  const auto temperature = FieldTexts(panel, CMotortesterPolledPanel::ID_TEMPERATURE);
  ASSERT_NE(Find(temperature, "85\260C"), nullptr);
  EXPECT_EQ(Find(temperature, "85\260C")->color, RGB(255, 0, 0));
  ASSERT_NE(Find(temperature, "Oil Temperature"), nullptr);
  EXPECT_EQ(Find(temperature, "Oil Temperature")->color, RGB(0, 0, 0));
}

TEST_F(PolledPanelTest, ProbeSelection) {
  using P = CWndMotortester_AdvanceMeter;
  P panel;
  Bind(panel);
  ASSERT_TRUE(panel.Create("panel", WS_CHILD, CRect(0, 0, 900, 600), &host, 1020));
  // Before any show: the stroboscope is the reader's first choice and its button is disabled.
  EXPECT_EQ(panel.ProbeButton(P::ID_STROBO).data.enabled, 0);
  EXPECT_FALSE(panel.ProbeButton(P::ID_STROBO).IsWindowEnabled());
  EXPECT_TRUE(panel.ProbeButton(P::ID_SEMICONDUCT).IsWindowEnabled());
  panel.ShowWindow(SW_SHOW);
  hl::Pump();
  EXPECT_EQ(advance.selected, std::vector<int>{9});
  EXPECT_EQ(panel.GetSelectedKind(), 9);

  struct Case {
    const char* what;
    int button;
    bool ready;
    int rc;
    std::vector<int> asked;
    int kindAfter;
    std::vector<int> enabled;  // buttons 4, 5, 6
  } cases[] = {
      {"semiconductor", P::ID_SEMICONDUCT, true, 0, {10}, 10, {0, 1, 1}},
      {"refused changes nothing", P::ID_INDUCT, true, 14, {7}, 10, {0, 1, 1}},
      {"board not ready: not asked", P::ID_INDUCT, false, 0, {}, 10, {0, 1, 1}},
      {"inductive clamp", P::ID_INDUCT, true, 0, {7}, 7, {1, 1, 0}},
      {"stroboscope", P::ID_STROBO, true, 0, {9}, 9, {1, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    advance.selected.clear();
    advance.selectRc = c.rc;
    tester.ready = c.ready;
    ClickCentre(panel.ProbeButton(c.button));
    EXPECT_EQ(advance.selected, c.asked);
    EXPECT_EQ(panel.GetSelectedKind(), c.kindAfter);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(panel.ProbeButton(P::ID_SEMICONDUCT + i).data.enabled, c.enabled[i]) << i;
      EXPECT_EQ(panel.ProbeButton(P::ID_SEMICONDUCT + i).IsWindowEnabled() != FALSE, c.enabled[i] == 1) << i;
    }
  }
  tester.ready = true;
  // The advance reading of a probe other than the selected one is a wrong probe.
  advance.reading.advance = Measured(10, 50);
  hl::Advance(500);
  EXPECT_EQ(std::string(panel.Text(CMotortesterPolledPanel::TEXT_VALUE)), "Bad probe");
}

TEST_F(PolledPanelTest, HidingTheAdvancePanelWaitsForTheBoardAndStops) {
  CWndMotortester_AdvanceMeter panel;
  CreateAndShow(panel);
  hl::Advance(500);
  EXPECT_EQ(advance.measures, 1);
  panel.ShowWindow(SW_HIDE);
  hl::Pump();
  EXPECT_EQ(tester.waitReadyCalls.load(), 1);
  hl::Advance(2000);
  EXPECT_EQ(advance.measures, 1);
}

TEST_F(PolledPanelTest, DieselModeTitlesAndLabels) {
  CWndMotortester_AdvanceMeter panel;
  CreateAndShow(panel);
  EXPECT_EQ(std::string(panel.TitleText()), "Advance Meter");
  EXPECT_EQ(std::string(panel.LabelText(CMotortesterPolledPanel::ID_VALUE)), "Advance");
  panel.SetDieselMode(TRUE);
  EXPECT_EQ(std::string(panel.TitleText()), "Preinjection Meter");
  EXPECT_EQ(std::string(panel.LabelText(CMotortesterPolledPanel::ID_VALUE)), "Preinjection");
  EXPECT_EQ(std::string(panel.LabelText(CMotortesterPolledPanel::ID_SPEED)), "Engine Speed");
  EXPECT_EQ(std::string(panel.LabelText(CMotortesterPolledPanel::ID_TEMPERATURE)), "Oil Temperature");
}

TEST(PanelStatusText, ByStatus) {
  kvtest::ResetCoreGlobals();
  const std::pair<int, const char*> cases[] = {{2, "no sensor"}, {3, "Bad probe"}, {4, "No response"}, {0, "Error"}, {7, "Error"}};
  for (const auto& [status, text] : cases) EXPECT_STREQ(et::StatusText(status), text) << status;
}

// ---- dwell -----------------------------------------------------------------------------------

TEST_F(PolledPanelTest, DwellTextsByStatusAndValue) {
  ProbeDescriptor points{};
  points.kind = 4;
  ProbeDescriptor clamp = points;
  clamp.probeClass = 1;
  ProbeDescriptor none{};
  struct Case {
    const char* what;
    ProbeDescriptor probe;
    int32_t dwellMantissa;
    bool valid;
    MeasuredValue temperature;
    int rc;
    std::vector<std::string> texts;
    std::vector<int> errors;
  } cases[] = {
      {"valid, rounded", points, 456, true, Measured(8, 71), 0, {"2400", "46%", "71\260C"}, {0, 0, 0}},
      {"not valid", points, 456, false, Measured(8, 1, false), 0, {"---", "--- %", "--- \260C"}, {0, 0, 0}},
      {"wrong dwell probe", clamp, 456, true, Measured(8, 71), 0, {"Bad probe", "Bad probe", "71\260C"}, {1, 1, 0}},
      {"no dwell probe", none, 456, true, Measured(0, 71), 0, {"no sensor", "no sensor", "no sensor"}, {1, 1, 1}},
      {"read failed", points, 456, true, Measured(8, 71), 3, {"Error", "Error", "Error"}, {1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dwell.reading = DwellReading{};
    dwell.reading.dwellProbe = c.probe;
    dwell.reading.dwell = Scaled(c.dwellMantissa, -1);
    dwell.reading.speed = Scaled(2400);
    dwell.reading.valid = c.valid ? 1 : 0;
    dwell.reading.temperature = c.temperature;
    dwell.rc = c.rc;
    CWndMotortester_DwellAngleMeter panel;
    CreateAndShow(panel);
    hl::Advance(250);
    EXPECT_EQ(Texts(panel), c.texts);
    EXPECT_EQ(Errors(panel), c.errors);
    panel.DestroyWindow();
  }
}

// ---- thermometer -----------------------------------------------------------------------------

TEST_F(PolledPanelTest, ThermometerTexts) {
  struct Case {
    const char* what;
    MeasuredValue speed, temperature;
    std::string speedText, temperatureText;
  } cases[] = {
      {"valid, truncated", Measured(6, 850), Measured(8, 899, true, -1), "850", "89\260C"},
      {"not valid", Measured(6, 850, false), Measured(8, 1, false), "--- ", "--- \260C"},
      {"no sensors", Measured(0, 1), Measured(0, 1), "no sensor", "no sensor"},
      {"wrong sensors", Measured(8, 1), Measured(5, 1), "Bad probe", "Bad probe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    thermo.reading.speed = c.speed;
    thermo.reading.temperature = c.temperature;
    CWndMotortester_Thermometer panel;
    CreateAndShow(panel);
    hl::Advance(250);
    EXPECT_EQ(std::string(panel.Text(CMotortesterPolledPanel::TEXT_SPEED)), c.speedText);
    EXPECT_EQ(std::string(panel.Text(CMotortesterPolledPanel::TEXT_TEMPERATURE)), c.temperatureText);
    panel.DestroyWindow();
  }
}

TEST_F(PolledPanelTest, ThermometerRereadsMissingSpeedSensorEveryFiveSeconds) {
  struct Case {
    const char* what;
    MeasuredValue speed;
    bool reread;
  } cases[] = {
      {"speed sensor present", Measured(5, 900), false},
      {"no speed sensor", Measured(0, 1), true},
      {"wrong speed sensor", Measured(8, 1), true},
      {"speed not valid", Measured(5, 1, false), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    thermo.measures = thermo.probeReads = 0;
    thermo.reading.speed = c.speed;
    thermo.reading.temperature = Measured(8, 60);
    CWndMotortester_Thermometer panel;
    CreateAndShow(panel);
    hl::Advance(4999);
    EXPECT_EQ(thermo.measures, 19);
    EXPECT_EQ(thermo.probeReads, 0);
    hl::Advance(1);
    EXPECT_EQ(thermo.probeReads, c.reread ? 1 : 0);
    const int atCheck = thermo.measures;
    EXPECT_EQ(panel.GetSkipCount() > 0, c.reread);
    // After a re-read the next four ticks read nothing, whichever timer came first.
    hl::Advance(999);
    EXPECT_EQ(thermo.measures, c.reread ? atCheck : atCheck + 3);
    hl::Advance(1001);
    EXPECT_GT(thermo.measures, atCheck + (c.reread ? 0 : 3));
    panel.ShowWindow(SW_HIDE);
    hl::Pump();
    const int stopped = thermo.measures;
    hl::Advance(6000);
    EXPECT_EQ(thermo.measures, stopped);
    EXPECT_LE(thermo.probeReads, c.reread ? 1 : 0);
    panel.DestroyWindow();
  }
}

}  // namespace
