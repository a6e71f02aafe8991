// Autoset on synthetic signals, measured the way the engine would: each record is taken with the
// settings autoset hands out and filled from a signal function at the record's sample rate.
// Flat signals, very short periods, clipping, a middle near 0 V, the level cap, a signal that
// needs nothing, and the end of a run that cancels autoset through the pane.
#include <scope/pane/Autoset.h>

#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/Sound.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/RecordingSound.h>
#include <kvtest/ScopeTables.h>
#include <kvtest/Screenshots.h>

#include <platform/display.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace {

using Signal = std::function<double(double seconds)>;

using kvtest::RecordingSound;

class AutosetTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    GlobalProps& p = GetGlobalProps();
    kvtest::AddScopeRates(p);
    p.m_nRecordLength = 1000;
    p.SetTimeBaseIndex(10, FALSE, TRUE);
    p.m_nRequestedTimeBaseIndex = 10;
    p.m_nTriggerMode = 0;
    for (int ch = 0; ch < 2; ++ch) {
      CChannelProps& c = p.m_Channels[ch];
      kvtest::AddScopeRanges(c);
      c.m_Ranges.m_nRangeLow = 0;
      c.m_Ranges.m_nRangeHigh = 9;
      c.m_bEnabled = 1;
      c.m_nModeEnable = ch == 0;
      c.m_nRangeIndex = 3;
      c.m_nPosition = 50;
    }
    p.m_nTriggerLevel = 128;
    AddTrace();
    AddTrace();
  }

  // One record as the engine measures it with the settings autoset gives out.
  AcquisitionRecord Measure(const Signal& signal) {
    AcquisitionRecord r;
    autoset.GetResult(r.m_Settings);
    const double rate = r.m_Settings.m_TimeBase.GetValueOrZero();
    for (CSignalData& s : r.m_Signal) {
      s.SetSize(1000);
      for (int k = 0; k < 1000; ++k) s.SetPoint(k, signal(k / rate), 0);
    }
    return r;
  }

  // Starts and measures until autoset is done; returns the records it took.
  int Run(const Signal& signal) {
    EXPECT_EQ(autoset.Start(), 1);
    int records = 0;
    while (GetGlobalProps().m_bAutosetActive && records < 10) {
      AcquisitionRecord r = Measure(signal);
      EXPECT_EQ(autoset.OnMeasure(r), 1);
      ++records;
      if (!r.m_Settings.m_bAutosetActive) autoset.Finish(&r);
    }
    return records;
  }

  RecordingSound sound;
  scope::CWndOsc_Autoset autoset{nullptr, &sound};
};

double Sine(double t, double hz, double amplitude, double offset = 0.0) {
  return offset + amplitude * std::sin(2 * std::numbers::pi * hz * t);
}

TEST(AutosetSearch, RateAndRangeTables) {
  CMeasureProps p;
  for (double r : {1e3, 2e3, 5e3, 1e4}) p.m_TimeBase.m_Rates.Add(r);
  struct Case {
    double x;
    int atLeast, atMost;
  };
  for (const Case& c : {Case{500, 0, 0}, Case{1e3, 0, 0}, Case{3e3, 2, 1}, Case{5e3, 2, 2}, Case{2e4, -1, 3}})
    EXPECT_EQ(std::make_pair(scope::FindRateAtLeast(p, c.x), scope::FindRateAtMost(p, c.x)),
              std::make_pair(c.atLeast, c.atMost))
        << c.x;
  CNxDoubleArray ranges;
  for (double r : {40.0, 20.0, 8.0, 4.0}) ranges.Add(r);
  const std::pair<double, int> rangeCases[] = {{20.0, 1}, {10.0, 1}, {3.0, 3}, {41.0, -1}, {0.0, 3}};
  for (const auto& [x, index] : rangeCases) EXPECT_EQ(scope::FindRangeAtLeast(ranges, x), index) << x;
}

TEST_F(AutosetTest, StartPicksTheMiddleRangeAndTheStartRate) {
  GlobalProps& p = GetGlobalProps();
  p.m_nSlowRateModifier = 2;
  p.m_Channels[0].m_Ranges.m_nRangeLow = 2;
  p.m_Channels[0].m_Ranges.m_nRangeHigh = 8;
  ASSERT_EQ(autoset.Start(), 1);
  EXPECT_EQ(p.m_bAutosetActive, 1);
  EXPECT_EQ(p.m_Channels[0].m_nRangeIndex, 5);  // 2 + (8 - 2 + 1) / 2
  EXPECT_EQ(p.m_Channels[1].m_nRangeIndex, 3) << "switched off: untouched";
  EXPECT_EQ(p.GetTimeBaseIndex(), 7);           // the first rate of 5000 or more
  EXPECT_EQ(p.m_nTriggerMode, -1);
  EXPECT_EQ(p.m_nSlowRateModifier, 0);
  EXPECT_EQ(autoset.GetUserSettings().m_nTriggerMode, 0);
  EXPECT_TRUE(autoset.IsWaiting());
}

TEST_F(AutosetTest, StartIsRefusedWithoutAChannelOrAFastRate) {
  GlobalProps& p = GetGlobalProps();
  p.m_Channels[0].m_bEnabled = 0;  // on, but no probe
  EXPECT_EQ(autoset.Start(), 0);
  EXPECT_EQ(p.m_bAutosetActive, 0);
  EXPECT_EQ(p.m_nTriggerMode, 0) << "nothing changed";
  p.m_Channels[0].m_bEnabled = 1;
  p.m_TimeBase.m_Rates.SetSize(5);  // up to 500 S/s
  EXPECT_EQ(autoset.Start(), 0);
}

TEST_F(AutosetTest, FlatSignalTakesTheSlowestAllowedRate) {
  ASSERT_EQ(autoset.Start(), 1);
  AcquisitionRecord r = Measure([](double) { return 0.5; });
  EXPECT_EQ(autoset.OnMeasure(r), 1);
  const GlobalProps& p = GetGlobalProps();
  EXPECT_EQ(p.GetTimeBaseIndex(), 5) << "1000 S/s";
  EXPECT_EQ(p.m_bAutosetActive, 1) << "another record follows";
  EXPECT_EQ(autoset.GetIteration(), 1);
  EXPECT_EQ(autoset.GetWork(0).m_nStep, 1);
  EXPECT_EQ(autoset.GetWork(0).m_nClip, scope::CWndOsc_Autoset::FITS);
  EXPECT_EQ(p.m_Channels[0].m_nRangeIndex, 7) << "2 V holds 2 x 0.5 V";
}

TEST_F(AutosetTest, VeryShortPeriodsRaiseTheRateBy125) {
  ASSERT_EQ(autoset.Start(), 1);
  // Four samples per period at 5000 S/s.
  AcquisitionRecord r = Measure([](double t) { return static_cast<long>(std::lround(t * 5000.0)) % 4 < 2 ? 1.0 : -1.0; });
  autoset.OnMeasure(r);
  EXPECT_LE(autoset.GetWork(0).m_Period.m_dMeanPeriod, 4.0);
  EXPECT_EQ(GetGlobalProps().GetTimeBaseIndex(), 13) << "the rate below 625 kS/s";
}

TEST_F(AutosetTest, ClippedSignalTakesTheWidestRange) {
  ASSERT_EQ(autoset.Start(), 1);
  AcquisitionRecord r = Measure([](double t) { return Sine(t, 100.0, 10.0); });
  autoset.OnMeasure(r);
  EXPECT_EQ(autoset.GetWork(0).m_nClip, scope::CWndOsc_Autoset::CLIPPED);
  EXPECT_EQ(GetGlobalProps().m_Channels[0].m_nRangeIndex, 0);
  EXPECT_EQ(autoset.GetIteration(), 1);
}

TEST_F(AutosetTest, MiddleNearZeroGetsTheZeroLevelAndLevelsCapAt256) {
  struct Case {
    const char* name;
    Signal signal;
    int level;
  };
  const Case cases[] = {
      {"sine around 0.01 V", [](double t) { return Sine(t, 500.0, 3.0, 0.01); }, -1},
      {"square far above the scale", [](double t) { return std::fmod(t * 500.0, 1.0) < 0.5 ? 9.5 : 10.5; }, 256},
  };
  for (const Case& c : cases) {
    GlobalProps& p = GetGlobalProps();
    // Only the 8 V range is allowed, so the high square cannot be brought onto the scale.
    p.m_Channels[0].m_Ranges.m_nRangeLow = p.m_Channels[0].m_Ranges.m_nRangeHigh = 5;
    ASSERT_EQ(autoset.Start(), 1) << c.name;
    AcquisitionRecord r = Measure(c.signal);
    autoset.OnMeasure(r);
    const int zero = static_cast<int>(std::trunc(p.m_TriggerLevelMap.ToStep(0.0)));
    EXPECT_EQ(p.m_nTriggerLevel, c.level < 0 ? zero : c.level) << c.name;
    p.m_bAutosetActive = 0;
  }
}

TEST_F(AutosetTest, AGoodSignalIsDoneAfterOneRecord) {
  // 25 Hz at 5000 S/s: 5 periods of 200 samples in the record, 3 V on the 8 V range.
  const int records = Run([](double t) { return Sine(t, 25.0, 3.0); });
  EXPECT_EQ(records, 1);
  const GlobalProps& p = GetGlobalProps();
  EXPECT_EQ(p.m_bAutosetActive, 0);
  EXPECT_EQ(p.m_nTriggerMode, 1) << "Auto";
  EXPECT_EQ(p.GetTimeBaseIndex(), 7);
  EXPECT_EQ(p.m_Channels[0].m_nRangeIndex, 5);
  EXPECT_EQ(sound.played, std::vector<int>{2});
  EXPECT_FALSE(autoset.IsWaiting());
  EXPECT_EQ(autoset.GetProgress(), 2) << "one query, one record";
}

TEST_F(AutosetTest, ASlowSignalEndsWithThreeToTenPeriods) {
  // 10 Hz: two periods at the start's 5000 S/s, five at 2000 S/s.
  const int records = Run([](double t) { return std::fmod(t * 10.0, 1.0) < 0.5 ? 2.0 : -0.5; });
  EXPECT_EQ(records, 2);
  const GlobalProps& p = GetGlobalProps();
  EXPECT_EQ(p.m_bAutosetActive, 0);
  const double periods = 10.0 * 1000.0 / p.m_TimeBase.GetValueOrZero();
  EXPECT_GE(periods, 3.0);
  EXPECT_LE(periods, 10.0);
  EXPECT_EQ(p.m_Channels[0].m_nRangeIndex, 6) << "4 V holds 2 x 2 V";
  EXPECT_EQ(sound.played, std::vector<int>{2});
}

TEST_F(AutosetTest, ThePanelShowsItsProgress) {
  kvp::HeadlessWorld world;
  ASSERT_TRUE(autoset.Create("WndAutoset", WS_POPUP | WS_VISIBLE, CRect(0, 0, 640, 420), nullptr, 1013));
  kvp::headless::Pump();
  ASSERT_EQ(autoset.Start(), 1);
  AcquisitionRecord r;
  autoset.GetResult(r.m_Settings);
  autoset.GetResult(r.m_Settings);
  kvp::headless::Pump();
  const HWND bar = ::GetDlgItem(autoset.GetSafeHwnd(), scope::CWndOsc_Autoset::ID_PROGRESS);
  ASSERT_NE(bar, HWND{});
  EXPECT_EQ(::SendMessage(bar, PBM_GETPOS, 0, 0), 2);
  CRect rect;
  ::GetWindowRect(bar, &rect);
  EXPECT_EQ(rect, autoset.ProgressRect());  // 40..600 x 203..218 in a 640 x 420 panel
  EXPECT_TRUE(kvp::SaveWindowPng(autoset.GetSafeHwnd(), kvtest::ScreenshotPath("scope-autoset").c_str()));
  autoset.Finish(nullptr);
  autoset.DestroyWindow();
}

class RecordingView : public scope::IScopeView {
 public:
  std::vector<std::string> log;
  void SetTimeRulerFromScale() override {}
  void RepaintTimeRuler() override {}
  void RepaintStrips(int) override {}
  void RedrawAll() override {}
  void ShowByOptions(int) override {}
  void LayoutChildren() override {}
  void ApplyAutosetVisibility(bool running, int) override { log.push_back(running ? "autoset view" : "normal view"); }
};

TEST_F(AutosetTest, TheEndOfARunCancelsAutosetThroughThePane) {
  kvp::HeadlessWorld world;
  scope::CWndOsc pane;
  RecordingView view;
  pane.SetView(&view);
  pane.SetAutoset(&autoset);
  ASSERT_TRUE(pane.CreateEx(0, scope::CWndOsc::kClassName, "Oscilloscope", WS_POPUP, 0, 0, 800, 600, 0, 0));
  pane.StartAutoset();
  EXPECT_EQ(GetGlobalProps().m_bAutosetActive, 1);
  EXPECT_EQ(GetGlobalProps().m_bRunning, 1);
  pane.OnMsgOscMeasure(scope::OSC_RUN_ENDED, 0);
  EXPECT_EQ(GetGlobalProps().m_bAutosetActive, 0);
  EXPECT_EQ(GetGlobalProps().m_bRunning, 0);
  EXPECT_FALSE(autoset.IsWaiting());
  EXPECT_EQ(view.log, (std::vector<std::string>{"autoset view", "normal view"}));

  // A start that is not possible shows the normal view at once.
  GetGlobalProps().m_Channels[0].m_nModeEnable = 0;
  view.log.clear();
  pane.StartAutoset();
  EXPECT_EQ(view.log, std::vector<std::string>{"normal view"});
  EXPECT_EQ(GetGlobalProps().m_bAutosetActive, 0);
  pane.DestroyWindow();
}

}  // namespace
