// The status strips: which texts each type writes, in which colours and formats, from the
// display record, the settings and the saved scopes (read from the drawn-text log).
#include <scope/SavedScopeFill.h>
#include <scope/SignalCapture.h>
#include <scope/SignalFile.h>
#include <scope/pane/StatusArea.h>

#include <core/ColorScheme.h>
#include <core/EngineRecords.h>
#include <core/GlobalProps.h>
#include <core/OscScale.h>
#include <core/SavedScope.h>
#include <core/SignalData.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Screenshots.h>

#include <platform/display.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

namespace hl = kvp::headless;


// Channel settings as a probe with ranges 4, 16, 40 V (0.5, 2 and 5 V per division) leaves them.
void Channel(CMeasureProps& s, int ch, bool on, int range, int coupling, bool probe = true) {
  CChannelProps& c = s.m_Channels[ch];
  c.m_Ranges.RemoveAll();
  for (double r : {4.0, 16.0, 40.0}) c.m_Ranges.Add(r);
  c.m_Ranges.m_nUnit = 0;
  c.m_Ranges.m_dScale = 1.0;
  c.m_Ranges.m_strLabel = ch == 0 ? "1:1" : "1:10";
  c.m_nRangeIndex = range;
  c.m_nCoupling = coupling;
  c.m_nModeEnable = on ? 1 : 0;
  c.m_bEnabled = probe ? 1 : 0;
}

class StatusAreaTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    host.CreateTop(0, 0, 800, 200);
    GetTimeStepScale().m_nSteps = 10;
    GetTimeStepScale().m_nCurrentStep = 10;
    for (CMeasureProps* s : {static_cast<CMeasureProps*>(&GetGlobalProps()), &GetCursorSettings().m_Settings}) {
      Channel(*s, 0, true, 2, 1);
      Channel(*s, 1, true, 1, 1);
      s->m_TimeBase.m_Rates.RemoveAll();
      s->m_TimeBase.m_Rates.Add(100000.0);
      s->m_TimeBase.m_nSelected = 0;
      s->m_nRecordLength = 1000;
      s->m_nTriggerSourceKind = 0;
      s->m_nTriggerMode = 1;
    }
  }
  void TearDown() override {
    host.DestroyWindow();
    kvtest::CoreTest::TearDown();
  }
  // Creates the strip, paints it once and returns the texts it wrote.
  std::vector<std::string> Texts(CWndOsc_StatusArea& strip, int height = 24) {
    if (!strip.GetSafeHwnd()) strip.Create("strip", WS_CHILD | WS_VISIBLE, CRect(0, 10, 760, 10 + height), &host, 1007);
    kvp::StartTextLog();
    RedrawNow(&strip);
    kvp::StopTextLog();
    std::vector<std::string> out;
    for (const auto& t : kvp::DrawnTexts(strip.GetSafeHwnd())) out.push_back(t.text);
    return out;
  }
  COLORREF ColourOf(CWndOsc_StatusArea& strip, const std::string& text) {
    for (const auto& t : kvp::DrawnTexts(strip.GetSafeHwnd()))
      if (t.text == text) return t.color;
    return 0xFFFFFFFF;
  }
  bool Has(const std::vector<std::string>& texts, const std::string& t) {
    return std::find(texts.begin(), texts.end(), t) != texts.end();
  }
  kvp::HeadlessWorld world;
  kvtest::HostWindow host;
};

TEST_F(StatusAreaTest, BottomWritesScalesTimeAndTriggerWithTheColonRuleOfEachChannel) {
  struct Case {
    int couplingA, couplingB;
    const char *a, *b;
  };
  const Case cases[] = {
      {1, 1, "A 5V/div", "B: 2V/div"},        // DC: A without a colon, B with one
      {0, 0, "A: ~ 5V/div", "B: ~ 2V/div"},  // AC: both with the colon and the tilde
  };
  for (const auto& c : cases) {
    GetCursorSettings().m_Settings.m_Channels[0].m_nCoupling = c.couplingA;
    GetCursorSettings().m_Settings.m_Channels[1].m_nCoupling = c.couplingB;
    CWndOsc_StatusArea strip(CWndOsc_StatusArea::kBottom);
    const auto texts = Texts(strip);
    ASSERT_GE(texts.size(), 7u);
    EXPECT_EQ(texts[0], c.a);
    EXPECT_EQ(texts[1], c.b);
    EXPECT_EQ(texts[2], "1ms/div");
    EXPECT_EQ(texts[3], "Trig:");
    EXPECT_EQ(texts[4], "A");
    EXPECT_EQ(texts[5], "Full");
    EXPECT_EQ(ColourOf(strip, c.a), GetSchemeColor(4));
    EXPECT_EQ(ColourOf(strip, c.b), GetSchemeColor(5));
    EXPECT_EQ(ColourOf(strip, "A"), GetSchemeColor(4)) << "the trigger part in the source's colour";
  }
}

TEST_F(StatusAreaTest, BottomLeavesOutTheTriggerWhenRollingAndChannelsWithoutProbe) {
  GetCursorSettings().m_Settings.m_nSlowRateModifier = 1;
  Channel(GetCursorSettings().m_Settings, 1, true, 1, 1, /*probe=*/false);
  CWndOsc_StatusArea strip(CWndOsc_StatusArea::kBottom);
  EXPECT_EQ(Texts(strip), (std::vector<std::string>{"A 5V/div", "1ms/div"}));
}

TEST_F(StatusAreaTest, TopShowsProbesRunStateAndTriggerMode) {
  GetGlobalProps().m_bRunning = 1;
  CWndOsc_StatusArea strip(CWndOsc_StatusArea::kTop);
  EXPECT_EQ(Texts(strip), (std::vector<std::string>{"Probe", "A: 1:1", "B: 1:10", "Run ", "Auto"}));
  GetGlobalProps().m_bRunning = 0;
  GetGlobalProps().m_Channels[1].m_nModeEnable = 0;
  strip.SetProbeTextSource([](int ch) { return CString(ch == 0 ? "Pressure" : "OFF"); });
  EXPECT_EQ(Texts(strip), (std::vector<std::string>{"Probe", "A: Pressure", "Stop ", "Auto"}));
}

TEST_F(StatusAreaTest, MeasuresRowsPerChannelWithMarksFrequencyAndDutyCycle) {
  CSignalData a, b;
  a.m_dMax = 12.5;
  a.m_nMaxFlag = CSignalData::SAT_UPPER;
  a.m_dMin = -3.0;
  a.m_nMinFlag = CSignalData::SAT_LOWER;
  // A square wave: half the samples high.
  a.SetSize(100);
  for (int i = 0; i < 100; ++i) a.SetPoint(i, (i / 10) % 2 ? 1.0 : -1.0, 0);
  a.m_bValid = 1;
  b.m_dMax = 0.5;
  b.m_dMin = 0.25;
  CWndOsc_StatusArea strip(CWndOsc_StatusArea::kMeasures);
  strip.SetTraces(&a, &b);
  strip.SetFrequency(true, 1000.0);
  const auto texts = Texts(strip, 60);
  ASSERT_EQ(texts.size(), 15u);
  EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 5),
            (std::vector<std::string>{"Measure", "Max", "Min", "Freq", "Duty-Cycle"}));
  EXPECT_EQ(texts[5], "Ch A");
  EXPECT_EQ(texts[6].substr(0, 1), ">");
  EXPECT_EQ(texts[7].substr(0, 1), "<");
  EXPECT_NE(texts[8], "---") << "A is the trigger source";
  EXPECT_EQ(texts[9], "50.0%");
  EXPECT_EQ(texts[10], "Ch B");
  EXPECT_EQ(texts[13], "---") << "B is not the trigger source";
  EXPECT_EQ(texts[14], "---") << "no complete high and low runs";

  Channel(GetCursorSettings().m_Settings, 1, true, 1, 1, /*probe=*/false);
  strip.SetFrequency(false, 0.0);
  const auto fewer = Texts(strip, 60);
  ASSERT_EQ(fewer.size(), 10u) << "a channel without a probe gets no row";
  EXPECT_EQ(fewer[8], "---") << "no valid frequency";
}

// A saved scope as a loaded .osg leaves it.
CSavedScope& Saved(int slot, bool roll, double rate) {
  CSavedScope& s = GetSavedScopes()[slot];
  s.m_bPair = slot;
  for (int ch = 0; ch < 2; ++ch) {
    CSavedSignal* sig = scope::AddSignal(s, ch);
    sig->m_dPerDivision = ch == 0 ? 5.0 : 0.2;
    sig->m_nUnit = 0;
    sig->m_nCoupling = ch == 0 ? 0 : 1;  // C saved in AC, D in DC
  }
  s.m_bEmpty = 0;
  s.m_bRollMode = roll ? 1 : 0;
  s.m_dSampleRate = rate;
  s.m_nTriggerSource = 1;
  s.m_nTriggerFilter = 1;
  s.m_dTriggerLevel = 1.5;
  s.m_nTriggerUnit = 0;
  s.m_nSweep = 2;
  return s;
}

TEST_F(StatusAreaTest, SavedScopeStripsShowTheirSignalsTimeAndTrigger) {
  Saved(0, false, 100000.0);
  CWndOsc_StatusArea cd(CWndOsc_StatusArea::kSavedCD);
  const auto texts = Texts(cd);
  ASSERT_EQ(texts.size(), 8u);
  EXPECT_EQ(texts[0], "C: ~ 5.00V/div") << "from 1 V up: the decimals by magnitude";
  EXPECT_EQ(texts[1], "D 200mV/div") << "saved signals in DC never take a colon";
  EXPECT_EQ(texts[2], "1ms/div");
  EXPECT_EQ(texts[3], "Trig:");
  EXPECT_EQ(texts[4], "D");
  EXPECT_EQ(texts[5], "Noise");
  EXPECT_EQ(texts[7], "Single");
  EXPECT_EQ(ColourOf(cd, "C: ~ 5.00V/div"), GetSchemeColor(30));
  EXPECT_EQ(ColourOf(cd, "D"), GetSchemeColor(31));
  EXPECT_EQ(ColourOf(cd, "1ms/div"), ColourOf(cd, "Trig:")) << "the strip's own text colour on its grey";
  EXPECT_EQ(ColourOf(cd, "Trig:"), RGB(58, 18, 18));
  EXPECT_EQ(kvp::WindowPixel(cd.GetSafeHwnd(), 1, 1), RGB(200, 200, 200));

  CWndOsc_StatusArea ef(CWndOsc_StatusArea::kSavedEF);
  EXPECT_TRUE(Texts(ef).empty()) << "an empty saved scope writes nothing";
}

// A channel in AC saved to a signal file and opened again reads as it read live: "~".
TEST_F(StatusAreaTest, AChannelSavedInACComesBackWithTheTilde) {
  for (const int coupling : {0, 1}) {
    SCOPED_TRACE(coupling);
    GlobalProps& p = GetGlobalProps();
    Channel(p, 0, true, 2, coupling);
    Channel(GetCursorSettings().m_Settings, 0, true, 2, coupling);
    CSignalData trace;
    trace.SetSize(1000);
    for (int k = 0; k < 1000; ++k) trace.SetPoint(k, k % 100 < 50 ? 2.0 : -2.0, 0);
    const CSignalData* traces[2] = {&trace, nullptr};
    const auto file = scope::ParseOsgFile(scope::EncodeOsgFile(scope::CaptureSignalFile(p, traces, 0)));
    ASSERT_TRUE(file);
    ASSERT_TRUE(scope::LoadIntoSavedScope(*file, "ac.osg", "ac"));
    CWndOsc_StatusArea bottom(CWndOsc_StatusArea::kBottom), cd(CWndOsc_StatusArea::kSavedCD);
    EXPECT_EQ(Texts(bottom)[0], coupling == 0 ? "A: ~ 5V/div" : "A 5V/div");
    EXPECT_EQ(Texts(cd)[0], coupling == 0 ? "C: ~ 5.00V/div" : "C 5.00V/div");
    scope::ClearAllSavedScopes();
  }
}

TEST_F(StatusAreaTest, SavedScopeInRollModeOrWithoutTimeBase) {
  Saved(1, true, 0.0);
  CWndOsc_StatusArea ef(CWndOsc_StatusArea::kSavedEF);
  const auto texts = Texts(ef);
  EXPECT_TRUE(Has(texts, "---/div")) << "rate 0: no division by zero";
  EXPECT_TRUE(Has(texts, "Roll mode - NO trigger"));
  EXPECT_FALSE(Has(texts, "Trig:"));
  EXPECT_EQ(ColourOf(ef, "E: ~ 5.00V/div"), GetSchemeColor(32));
}

TEST_F(StatusAreaTest, SavedTriggerLevelText) {
  EXPECT_EQ(std::string(scope::FormatSavedTriggerLevel(0.25, 0)), "250mV");
  EXPECT_EQ(std::string(scope::FormatSavedTriggerLevel(1500.0, 1)), "1.5kA");
  EXPECT_EQ(std::string(scope::FormatSavedTriggerLevel(2.0, 7)), "2");
}

TEST_F(StatusAreaTest, Screenshot) {
  GetGlobalProps().m_bRunning = 1;
  Saved(0, false, 100000.0);
  CSignalData a, b;
  a.m_dMax = 4.2;
  a.m_dMin = -4.1;
  b.m_dMax = 2.0;
  b.m_dMin = -1.0;
  CWndOsc_StatusArea top(CWndOsc_StatusArea::kTop), bottom(CWndOsc_StatusArea::kBottom),
      measures(CWndOsc_StatusArea::kMeasures), saved(CWndOsc_StatusArea::kSavedCD);
  top.Create("Top", WS_CHILD | WS_VISIBLE, CRect(0, 0, 760, 24), &host, 1007);
  bottom.Create("Bottom", WS_CHILD | WS_VISIBLE, CRect(0, 30, 760, 54), &host, 1007);
  saved.Create("SavedCD", WS_CHILD | WS_VISIBLE, CRect(0, 60, 760, 84), &host, 1030);
  measures.Create("Measures", WS_CHILD | WS_VISIBLE, CRect(0, 90, 760, 170), &host, 1007);
  measures.SetTraces(&a, &b);
  hl::Pump();
  kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("scope-status-strips").c_str());
}

}  // namespace

// The pane repaints a strip only when what it writes changed: the same texts in the same places
// and colours leave the strip's pixels alone, a changed value, colour or size paints it again, and
// a hidden strip paints nothing.
TEST_F(StatusAreaTest, RedrawIfChangedPaintsOnlyAChangedStrip) {
  CWndOsc_StatusArea bottom(CWndOsc_StatusArea::kBottom);
  CWndOsc_StatusArea top(CWndOsc_StatusArea::kTop);
  Texts(bottom);
  Texts(top);
  CMeasureProps& shown = GetCursorSettings().m_Settings;
  GlobalProps& props = GetGlobalProps();
  struct Case {
    const char* name;
    CWndOsc_StatusArea* strip;
    std::function<void()> change;
    int painted;
  };
  const Case cases[] = {
      {"nothing changed", &bottom, [] {}, 0},
      {"the trigger level", &bottom, [&] { shown.m_nTriggerLevel += 10; }, 1},
      {"the same level again", &bottom, [] {}, 0},
      {"channel B's coupling", &bottom, [&] { shown.m_Channels[1].m_nCoupling = 0; }, 1},
      {"the trigger colour", &bottom, [&] { shown.m_nTriggerSourceKind = 1; }, 1},
      {"the top strip unchanged", &top, [] {}, 0},
      {"run state", &top, [&] { props.m_bRunning = !props.m_bRunning; }, 1},
      {"its background colour", &top, [&] { top.SetColor(RGB(10, 20, 30)); }, 1},
      {"hidden", &top, [&] { top.ShowWindow(SW_HIDE); }, 0},
      {"hidden, run state", &top, [&] { props.m_bRunning = !props.m_bRunning; }, 0},
      {"shown again: its own paint showed the change", &top, [&] { top.ShowWindow(SW_SHOW); }, 0},
  };
  for (const Case& c : cases) {
    c.change();
    // The paint a change may have caused by itself (a move, a show) is done first.
    hl::Pump();
    EXPECT_EQ(c.strip->RedrawIfChanged(), c.painted) << c.name;
  }
}
