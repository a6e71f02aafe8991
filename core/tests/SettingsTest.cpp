#include <core/DeviceStartup.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureType.h>
#include <core/OscScale.h>

#include <platform/display.h>

#include <kvtest/CoreGlobals.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// The engine's start-up services against a scripted library.
class FakeStartup : public IDeviceStartup {
 public:
  int present = 1;
  int threadStarts = 1;
  bool infoOk = true;
  int acquisitionMode = -1;

  int OpenMeasuringDevice(HWND) override { return present; }
  BOOL SetAcquisitionMode(int mode) override {
    acquisitionMode = mode;
    return TRUE;
  }
  BOOL ReadChannelInfo(CMeasureProps& s, CStringArrayEx& lines) override {
    s.m_TimeBase.m_Rates.RemoveAll();
    for (double r : {1000000.0, 100000.0, 50000.0, 5000.0, 500.0}) s.m_TimeBase.m_Rates.Add(r);
    s.SetTimeBaseIndex(0, FALSE, FALSE);
    for (int ch = 0; ch < 2; ++ch) {
      CChannelProps& c = s.m_Channels[ch];
      c.m_Ranges.RemoveAll();
      for (double r : {0.2, 2.0, 20.0}) c.m_Ranges.Add(r);
      c.m_Ranges.m_nUnit = 0;
      c.m_bEnabled = 1;
      c.m_nModeEnable = 1;
      c.m_nRangeIndex = 1;
    }
    if (!infoOk) {
      lines.Add("Error Channel A - cannot get probe info [err code:10]");
      lines.Add("Error Channel B - cannot get probe info [err code:10]");
      return FALSE;
    }
    return TRUE;
  }
  int StartAcquisitionThread() override { return threadStarts; }
};

class SettingsTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDOK; });
    props_ = &GetGlobalProps();
    SetDeviceStartup(&fake_);
  }

  kvp::HeadlessWorld world_;
  FakeStartup fake_;
  GlobalProps* props_ = nullptr;
};

}  // namespace

TEST_F(SettingsTest, InitializeAgainstAScriptedLibrary) {
  ASSERT_TRUE(RunDeviceStartup(*props_, 0));
  GlobalProps& p = *props_;
  EXPECT_EQ(p.m_bInitialized, 1);
  EXPECT_EQ(fake_.acquisitionMode, 1);
  EXPECT_EQ(p.m_nRecordLength, 1000);
  EXPECT_EQ(p.GetTimeBaseIndex(), 2);  // 1000 / 50000 / 20 = 1 ms per division
  EXPECT_EQ(p.m_nRequestedTimeBaseIndex, 2);
  EXPECT_EQ(p.m_TimeBase.m_nFlags & TB_INDEX_CHANGED, TB_INDEX_CHANGED);
  EXPECT_EQ(p.FormatTimePerDiv(), "1ms");
  EXPECT_EQ(p.m_dTriggerPosition, 30.0);
  EXPECT_NEAR(p.m_dTriggerPositionTime, 0.006, 1e-12);  // 30 % of the 20 ms record
  EXPECT_EQ(p.m_nTriggerLevel, 130);
  EXPECT_EQ(p.m_nChangeFlags & (CHG_TRIGGER_POSITION | CHG_TRIGGER_LEVEL), CHG_TRIGGER_POSITION | CHG_TRIGGER_LEVEL);
  EXPECT_EQ(p.m_Channels[0].m_nPosition, 50);
  EXPECT_EQ(p.m_Channels[1].m_nChangeFlags & CHN_RANGE, CHN_RANGE);
  EXPECT_EQ(GetOscScale().m_nHorizontalOffset, 5);
  EXPECT_NEAR(GetOscScale().m_TimeAxis.m_dFirstValue, 0.005, 1e-12);
  EXPECT_NEAR(GetOscScale().m_TimeAxis.m_dSpan, 0.010, 1e-12);
  // Trigger level on channel A's 2 V range: step 130 is 2 steps above 0 V.
  EXPECT_NEAR(p.m_Styles[GlobalProps::STYLE_TRIGGER_LEVEL].m_dValue, 2 * 4.0 / 256, 1e-12);
  // The styles and the two traces.
  EXPECT_EQ(p.m_Styles[GlobalProps::STYLE_CURSOR_LEFT].m_strName, "C");
  EXPECT_EQ(p.m_Styles[GlobalProps::STYLE_LEVEL_B].m_nIndex, 0);
  EXPECT_EQ(p.m_Styles[GlobalProps::STYLE_TRIGGER_LEVEL].m_nIndex, 2);
  EXPECT_EQ(p.m_Styles[GlobalProps::STYLE_SAVED_F].m_crColor, 0x00AED9u);
  EXPECT_TRUE(p.m_Styles[GlobalProps::STYLE_CURSOR_LEFT].IsShown());  // cursors on
  ASSERT_EQ(GetTraceList().GetSize(), 2);
  EXPECT_EQ(GetTraceList()[1]->m_crHighlight, 0xAAAAAAu);  // black lightened by 170
  EXPECT_EQ(GetTraceList()[0]->m_nStyle, 3);
  EXPECT_EQ(GetTraceList()[1]->m_nStyle, 2);
  // Once is enough.
  fake_.present = 0;
  EXPECT_TRUE(RunDeviceStartup(*props_, 0));
}

TEST_F(SettingsTest, InitializeFailures) {
  fake_.present = 0;
  EXPECT_FALSE(RunDeviceStartup(*props_, 0));
  EXPECT_EQ(props_->m_bInitialized, 0);
  // Without a board the scope still reads its defaults: 30 %, step 130, 1 ms per division of the
  // board oscilloscope's rates (50000 S/s), the window at 5.
  {
    const GlobalProps& p = *props_;
    EXPECT_EQ(p.m_dTriggerPosition, 30.0);
    EXPECT_EQ(p.m_nTriggerLevel, 130);
    EXPECT_EQ(p.m_TimeBase.m_Rates.GetSize(), 18);
    EXPECT_EQ(p.m_TimeBase.GetValueOrZero(), 50000.0);
    EXPECT_EQ(p.m_nRequestedTimeBaseIndex, p.GetTimeBaseIndex());
    EXPECT_EQ(p.FormatTimePerDiv(), "1ms");
    EXPECT_EQ(GetOscScale().m_nHorizontalOffset, 5);
  }

  fake_.present = 1;
  fake_.threadStarts = 0;
  EXPECT_FALSE(RunDeviceStartup(*props_, 0));
  EXPECT_EQ(props_->m_bInitialized, 0);

  // Channel-information errors are shown together and do not stop the start.
  fake_.threadStarts = 1;
  fake_.infoOk = false;
  const size_t before = kvp::MessageBoxLog().size();
  EXPECT_TRUE(RunDeviceStartup(*props_, 0));
  const auto boxes = kvp::MessageBoxLog();
  ASSERT_EQ(boxes.size(), before + 1);
  EXPECT_EQ(boxes.back().text,
            "Error Channel A - cannot get probe info [err code:10]\nError Channel B - cannot get probe info [err code:10]");
  EXPECT_EQ(boxes.back().type & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(boxes.back().caption, "Dravix Scope");
}

// The default time base is 1 ms per division of the 1000-sample record: the first 50000 S/s of
// the table, whatever its place; none when the table has no such rate.
TEST_F(SettingsTest, DefaultTimeBaseIsChosenByIndex) {
  struct Case {
    const char* name;
    std::vector<double> rates;
    int recordLength, index;
  } cases[] = {
      {"the board's table", {20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000, 50000, 100000}, 1000, 10},
      {"falling rates", {1000000, 100000, 50000, 5000, 500}, 1000, 2},
      {"the first of two", {50000, 50000}, 1000, 0},
      {"no such rate", {10000, 20000, 100000}, 1000, -1},
      {"rates that are not whole", {49999.6, 50000.4}, 1000, -1},
      {"a longer record", {50000, 100000}, 2000, 1},
      {"an empty table", {}, 1000, -1},
  };
  for (const Case& c : cases) {
    CNxDoubleArray rates;
    for (double r : c.rates) rates.Add(r);
    EXPECT_EQ(GlobalProps::DefaultTimeBaseIndex(rates, c.recordLength), c.index) << c.name;
  }
}

TEST_F(SettingsTest, TriggerLevelClampsAndZero) {
  GlobalProps& p = *props_;
  p.m_Channels[0].m_Ranges.Add(2.0);
  p.m_Channels[0].m_nRangeIndex = 0;
  p.m_Channels[0].m_bEnabled = 1;
  p.UpdateTriggerScale();
  struct Case {
    int step, stored;
    double volts;
  } cases[] = {{-5, 0, -2.0}, {300, 256, 2.0}, {256, 256, 2.0}, {128, 128, 0.0}, {0, 0, -2.0}};
  for (const Case& c : cases) {
    p.m_nChangeFlags = 0;
    p.SetTriggerLevelIndex(c.step);
    EXPECT_EQ(p.m_nTriggerLevel, c.stored) << c.step;
    EXPECT_EQ(p.m_nChangeFlags, CHG_TRIGGER_LEVEL) << c.step;
    EXPECT_DOUBLE_EQ(p.m_Styles[GlobalProps::STYLE_TRIGGER_LEVEL].m_dValue, c.volts) << c.step;
  }
  p.SetTriggerLevelToZero();
  EXPECT_EQ(p.m_nTriggerLevel, 128);
  // No probe on the trigger channel: the scale collapses; zero is the middle step, not a NaN.
  p.m_Channels[0].m_bEnabled = 0;
  p.UpdateTriggerScale();
  p.SetTriggerLevelIndex(3);
  p.SetTriggerLevelToZero();
  EXPECT_EQ(p.m_nTriggerLevel, 128);
}

TEST_F(SettingsTest, TimeBaseIndexSensitivityAndCursors) {
  GlobalProps& p = *props_;
  p.m_nRecordLength = 1000;
  for (double r : {1000.0, 500.0, 100000.0}) p.m_TimeBase.m_Rates.Add(r);
  GetTimeStepScale().m_nSteps = 20;
  GetTimeStepScale().m_nCurrentStep = 10;
  ASSERT_TRUE(p.SetTimeBaseIndex(0, TRUE, FALSE));
  EXPECT_DOUBLE_EQ(p.m_dTriggerSensitivity, 2.5);  // a 1 s record

  // Cursors at steps 250 and 700 of the record.
  p.m_Styles[GlobalProps::STYLE_CURSOR_LEFT].m_dValue = 0.25;
  p.m_Styles[GlobalProps::STYLE_CURSOR_RIGHT].m_dValue = 0.7;
  p.m_nChangeFlags = 0;
  EXPECT_FALSE(p.SetTimeBaseIndex(0, TRUE, FALSE));  // the current index changes nothing
  EXPECT_EQ(p.m_nChangeFlags, 0);
  ASSERT_TRUE(p.SetTimeBaseIndex(1, TRUE, FALSE));  // a 2 s record
  EXPECT_EQ(p.m_nChangeFlags, CHG_TRIGGER_SENSITIVITY);
  EXPECT_DOUBLE_EQ(p.m_dTriggerSensitivity, 5.0);
  EXPECT_NEAR(p.m_Styles[GlobalProps::STYLE_CURSOR_LEFT].m_dValue, 0.5, 1e-12);
  EXPECT_NEAR(p.m_Styles[GlobalProps::STYLE_CURSOR_RIGHT].m_dValue, 1.4, 1e-12);
  // Down to 10 ms: the sensitivity stops at 0.1.
  ASSERT_TRUE(p.SetTimeBaseIndex(2, TRUE, FALSE));
  EXPECT_DOUBLE_EQ(p.m_dTriggerSensitivity, 0.1);
  EXPECT_NEAR(p.m_Styles[GlobalProps::STYLE_CURSOR_LEFT].m_dValue, 0.0025, 1e-12);
  ASSERT_TRUE(p.SetTimeBaseIndex(1, TRUE, FALSE));
  EXPECT_TRUE(p.SetTimeBaseIndex(1, TRUE, TRUE));  // forced
  // An index outside the table uses the record length.
  p.m_nRecordLength = 10;
  ASSERT_TRUE(p.SetTimeBaseIndex(7, FALSE, FALSE));
  EXPECT_DOUBLE_EQ(p.m_dTriggerSensitivity, 25.0);
}

TEST_F(SettingsTest, ChannelPositionAndVoltScale) {
  GlobalProps& p = *props_;
  CChannelProps& a = p.m_Channels[0];
  a.m_Ranges.Add(10.0);
  a.m_nRangeIndex = 0;
  a.m_Ranges.m_dScale = 1.0;
  ASSERT_TRUE(p.SetChannelPosition(0, 50));
  EXPECT_DOUBLE_EQ(a.m_dAxisBottom, -6.25);
  EXPECT_DOUBLE_EQ(a.m_dAxisTop, 6.25);
  struct Case {
    int position;
    BOOL ok;
    double bottom, top;
  } cases[] = {{100, TRUE, -12.5, 0.0}, {0, TRUE, 0.0, 12.5}, {101, FALSE, 0.0, 12.5}, {-1, FALSE, 0.0, 12.5}};
  for (const Case& c : cases) {
    EXPECT_EQ(p.SetChannelPosition(0, c.position), c.ok) << c.position;
    EXPECT_DOUBLE_EQ(a.m_dAxisBottom, c.bottom) << c.position;
    EXPECT_DOUBLE_EQ(a.m_dAxisTop, c.top) << c.position;
  }
  EXPECT_EQ(a.m_nPosition, 0);
  EXPECT_FALSE(p.SetChannelPosition(2, 50));
  // A probe scale of 0 gives a flat axis, not a division by zero.
  a.m_Ranges.m_dScale = 0.0;
  EXPECT_TRUE(p.SetChannelPosition(0, 50));
  EXPECT_EQ(a.m_dAxisTop, 0.0);
}

TEST_F(SettingsTest, RangeChangesMarkAndRescale) {
  GlobalProps& p = *props_;
  CChannelProps& b = p.m_Channels[1];
  for (double r : {1.0, 10.0}) b.m_Ranges.Add(r);
  b.m_bEnabled = 1;
  b.m_nRangeIndex = 0;
  p.m_nTriggerChannel = 1;
  p.UpdateTriggerScale();
  b.m_nChangeFlags = 0;
  EXPECT_EQ(p.SetChannelRangeIndex(1, 0, TRUE, FALSE), 0);  // same index: nothing marked
  EXPECT_EQ(b.m_nChangeFlags, 0);
  EXPECT_EQ(p.SetChannelRangeIndex(1, 1, TRUE, FALSE), 1);
  EXPECT_EQ(b.m_nChangeFlags, CHN_RANGE);
  EXPECT_EQ(b.m_nMarkWord & 1, 1);  // rescale pending
  EXPECT_DOUBLE_EQ(p.m_TriggerLevelMap.m_dX2, 10.0);
  p.MarkChannelChanged(1, FALSE, TRUE);
  EXPECT_EQ(b.m_nMarkWord & 1, 0);
  EXPECT_DOUBLE_EQ(b.m_dAxisTop, 10.0 * 2 / 16 * 5);
  EXPECT_TRUE(p.IsChanged());
  CMeasureProps quiet;
  quiet.m_nChangeFlags = 0;
  EXPECT_FALSE(quiet.IsChanged());
  quiet.m_Channels[0].SetChannelMode(1);
  EXPECT_TRUE(quiet.IsChanged());
  EXPECT_EQ(quiet.m_Channels[0].SetChannelMode(1), 0);
}

// Every setter of a setting the board is given stores its value and sets that value's change bit;
// a forgotten bit is a setting that never reaches the board. Each case starts from the same
// settings with no bit set, calls the setter, and checks the three bit words and the stored value.
// `again` says what a second call with the same value marks: nothing, or the same bits (setters
// that send on every call, and Send::Always).
TEST_F(SettingsTest, EverySetterSetsItsChangeBit) {
  GlobalProps& p = *props_;
  for (double r : {1000.0, 500.0, 100000.0}) p.m_TimeBase.m_Rates.Add(r);
  p.m_nRecordLength = 1000;
  p.SetTimeBaseIndex(0, FALSE, TRUE);
  p.m_nRequestedTimeBaseIndex = 0;
  for (int ch = 0; ch < 2; ++ch) {
    CChannelProps& c = p.m_Channels[ch];
    for (double r : {1.0, 10.0}) c.m_Ranges.Add(r * (ch + 1));
    c.m_bEnabled = 1;
    c.m_nRangeIndex = 0;
  }
  p.UpdateTriggerScale();
  const CMeasureProps start = p;

  enum Again { kNothing, kSame };
  struct Case {
    const char* name;
    std::function<void(GlobalProps&)> set;
    int flags, timeBase, channelA, channelB;
    std::function<double(const GlobalProps&)> stored;
    double expected;
    Again again;
  } cases[] = {
      {"requested time base", [](GlobalProps& s) { s.RequestTimeBaseIndex(2); }, 0, TB_INDEX_CHANGED, 0, 0,
       [](const GlobalProps& s) { return s.m_nRequestedTimeBaseIndex; }, 2, kNothing},
      {"requested time base, always", [](GlobalProps& s) { s.RequestTimeBaseIndex(2, Send::Always); }, 0,
       TB_INDEX_CHANGED, 0, 0, [](const GlobalProps& s) { return s.m_nRequestedTimeBaseIndex; }, 2, kSame},
      {"selected time base", [](GlobalProps& s) { s.SetTimeBaseIndex(1, FALSE, FALSE); }, CHG_TRIGGER_SENSITIVITY,
       0, 0, 0, [](const GlobalProps& s) { return s.m_dTriggerSensitivity; }, 5.0, kNothing},
      {"trigger mode", [](GlobalProps& s) { s.SetTriggerMode(2); }, CHG_TRIGGER_MODE, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_nTriggerMode; }, 2, kNothing},
      {"roll mode", [](GlobalProps& s) { s.SetSlowRateModifier(2); }, CHG_TRIGGER_MODE, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_nSlowRateModifier; }, 2, kNothing},
      {"roll mode, always", [](GlobalProps& s) { s.SetSlowRateModifier(2, Send::Always); }, CHG_TRIGGER_MODE, 0, 0,
       0, [](const GlobalProps& s) { return s.m_nSlowRateModifier; }, 2, kSame},
      {"edge", [](GlobalProps& s) { s.SetTriggerEdge(1); }, CHG_TRIGGER_EDGE, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_nTriggerEdge; }, 1, kNothing},
      {"filter", [](GlobalProps& s) { s.SetTriggerFilter(1); }, CHG_TRIGGER_FILTER, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_nTriggerFilter; }, 1, kNothing},
      {"filter, always", [](GlobalProps& s) { s.SetTriggerFilter(1, Send::Always); }, CHG_TRIGGER_FILTER, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_nTriggerFilter; }, 1, kSame},
      {"source", [](GlobalProps& s) { s.SetTriggerSource(3); }, CHG_TRIGGER_SOURCE, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_nTriggerSourceKind; }, 3, kNothing},
      {"source, always", [](GlobalProps& s) { s.SetTriggerSource(3, Send::Always); }, CHG_TRIGGER_SOURCE, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_nTriggerSourceKind; }, 3, kSame},
      // The level scale follows the new trigger channel: channel B's 2 V range.
      {"trigger channel", [](GlobalProps& s) { s.SetTriggerChannel(1); }, CHG_TRIGGER_CHANNEL, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_TriggerLevelMap.m_dX2; }, 2.0, kNothing},
      {"level", [](GlobalProps& s) { s.SetTriggerLevelIndex(200); }, CHG_TRIGGER_LEVEL, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_nTriggerLevel; }, 200, kSame},
      {"level above the scale", [](GlobalProps& s) { s.SetTriggerLevelIndex(300); }, CHG_TRIGGER_LEVEL, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_nTriggerLevel; }, 256, kSame},
      {"level below the scale", [](GlobalProps& s) { s.SetTriggerLevelIndex(-4); }, CHG_TRIGGER_LEVEL, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_nTriggerLevel; }, 0, kSame},
      {"position", [](GlobalProps& s) { s.SetTriggerPosition(40.0); }, CHG_TRIGGER_POSITION, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_dTriggerPosition; }, 40.0, kSame},
      {"run request", [](GlobalProps& s) { s.RequestRun(); }, CHG_TRIGGER_POSITION, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_dTriggerPosition; }, 0.0, kSame},
      {"window offset", [](GlobalProps& s) { s.SetHorizontalOffset(3); }, CHG_TRIGGER_SENSITIVITY, 0, 0, 0,
       [](const GlobalProps& s) { return s.m_nHorizontalOffset; }, 3, kNothing},
      {"channel switched on", [](GlobalProps& s) { s.SwitchChannel(1, 1); }, CHG_TRIGGER_MODE, 0, 0, CHN_ON,
       [](const GlobalProps& s) { return s.m_Channels[1].m_nModeEnable; }, 1, kNothing},
      {"channel option", [](GlobalProps& s) { s.m_Channels[0].SetChannelOption(1); }, 0, 0, CHN_ON, 0,
       [](const GlobalProps& s) { return s.m_Channels[0].m_nModeEnable; }, 1, kNothing},
      {"coupling", [](GlobalProps& s) { s.m_Channels[1].SetChannelMode(1); }, 0, 0, 0, CHN_COUPLING,
       [](const GlobalProps& s) { return s.m_Channels[1].m_nCoupling; }, 1, kNothing},
      {"coupling, always", [](GlobalProps& s) { s.m_Channels[1].SetChannelMode(1, Send::Always); }, 0, 0, 0,
       CHN_COUPLING, [](const GlobalProps& s) { return s.m_Channels[1].m_nCoupling; }, 1, kSame},
      {"range index alone", [](GlobalProps& s) { s.m_Channels[0].SetRangeIndex(1); }, 0, 0, CHN_RANGE, 0,
       [](const GlobalProps& s) { return s.m_Channels[0].m_nRangeIndex; }, 1, kNothing},
      {"range index, always", [](GlobalProps& s) { s.m_Channels[0].SetRangeIndex(1, Send::Always); }, 0, 0,
       CHN_RANGE, 0, [](const GlobalProps& s) { return s.m_Channels[0].m_nRangeIndex; }, 1, kSame},
      {"range change", [](GlobalProps& s) { s.SetChannelRangeIndex(1, 1, TRUE, FALSE); }, 0, 0, 0, CHN_RANGE,
       [](const GlobalProps& s) { return s.m_Channels[1].m_nRangeIndex; }, 1, kNothing},
  };
  for (const Case& c : cases) {
    static_cast<CMeasureProps&>(p) = start;
    p.ClearChanges();
    c.set(p);
    EXPECT_EQ(p.m_nChangeFlags, c.flags) << c.name;
    EXPECT_EQ(p.m_TimeBase.m_nFlags, c.timeBase) << c.name;
    EXPECT_EQ(p.m_Channels[0].m_nChangeFlags, c.channelA) << c.name;
    EXPECT_EQ(p.m_Channels[1].m_nChangeFlags, c.channelB) << c.name;
    EXPECT_DOUBLE_EQ(c.stored(p), c.expected) << c.name;
    p.ClearChanges();
    c.set(p);
    EXPECT_EQ(p.IsChanged() != FALSE, c.again == kSame) << c.name << ", called again";
    EXPECT_DOUBLE_EQ(c.stored(p), c.expected) << c.name << ", called again";
  }
}

// A probe change leaves the board's channel mode to be sent again, once.
TEST_F(SettingsTest, ProbeChangeMarkSendsTheChannelModeOnce) {
  CChannelProps c;
  c.m_Ranges.m_nChangeMark = 1;
  EXPECT_TRUE(c.TakeProbeChangeMark());
  EXPECT_EQ(c.m_nChangeFlags, CHN_COUPLING);
  EXPECT_EQ(c.m_Ranges.m_nChangeMark, 0);
  c.ClearChanges();
  EXPECT_FALSE(c.TakeProbeChangeMark());
  EXPECT_EQ(c.m_nChangeFlags, 0);
}

// Marked for the next run: everything, or for the engine-synchronous modes only channel A, the
// time base, the filter and the sensitivity.
TEST_F(SettingsTest, MarkAllChangedForTheBoardMode) {
  struct Case {
    bool engineSynchronous;
    int flags, channelB;
  } cases[] = {{false, CHG_ALL, CHN_ON | CHN_RANGE | CHN_COUPLING},
               {true, CHG_TRIGGER_FILTER | CHG_TRIGGER_SENSITIVITY, 0}};
  for (const Case& c : cases) {
    CMeasureProps s;
    s.ClearChanges();
    s.m_Channels[1].m_nChangeFlags = CHN_RANGE;
    s.MarkAllChanged(c.engineSynchronous);
    EXPECT_EQ(s.m_nChangeFlags, c.flags) << c.engineSynchronous;
    EXPECT_EQ(s.m_TimeBase.m_nFlags, TB_INDEX_CHANGED) << c.engineSynchronous;
    EXPECT_EQ(s.m_Channels[0].m_nChangeFlags, CHN_ON | CHN_RANGE | CHN_COUPLING) << c.engineSynchronous;
    EXPECT_EQ(s.m_Channels[1].m_nChangeFlags, c.channelB) << c.engineSynchronous;
    s.ClearChanges();
    EXPECT_FALSE(s.IsChanged()) << c.engineSynchronous;
  }
}

TEST_F(SettingsTest, CursorsOnSetsTheShownBit) {
  GlobalProps& p = *props_;
  const int triggerFlags = p.m_Styles[2].m_nFlags;
  p.SetCursorsOn(FALSE);
  EXPECT_FALSE(p.m_Styles[0].IsShown());
  EXPECT_FALSE(p.m_Styles[1].IsShown());
  EXPECT_EQ(p.m_Styles[2].m_nFlags, triggerFlags);
  p.SetCursorsOn(TRUE);
  EXPECT_TRUE(p.m_Styles[0].IsShown());
  EXPECT_TRUE(p.m_Styles[1].IsShown());
  EXPECT_EQ(p.m_Styles[2].m_nFlags, triggerFlags);
  int flags = 6;
  EXPECT_EQ(SetFlagBits(flags, 1, TRUE), 1);
  EXPECT_EQ(flags, 7);
  EXPECT_EQ(SetFlagBits(flags, 2, FALSE), 0);
  EXPECT_EQ(flags, 5);
}

TEST_F(SettingsTest, SlowRateRule) {
  CMeasureProps s;
  for (double r : {500.0, 501.0, 50.0}) s.m_TimeBase.m_Rates.Add(r);
  s.m_nTriggerMode = 1;
  struct Step {
    int requested, angle, result, modifier, roll, modeBit;
  } steps[] = {
      {0, 0, 1, 1, 50, CHG_TRIGGER_MODE},  // 500 is slow; base mode 1 gives modifier 1
      {2, 0, 0, 1, 5, 0},                  // still slow: modifier stays, roll follows the rate
      {1, 0, 1, 0, 0, CHG_TRIGGER_MODE},   // 501 leaves the slow rates once
      {1, 0, 0, 0, 0, 0},                  // and a second call changes nothing
      {0, 1, 0, 0, 0, 0},                  // angle mode never rolls
      {7, 0, 0, 0, 0, 0},                  // an index outside the table: unchanged
  };
  for (const Step& st : steps) {
    s.m_nRequestedTimeBaseIndex = st.requested;
    GetMeasureType().m_nAngleMode = st.angle;
    s.m_nChangeFlags = 0;
    EXPECT_EQ(s.UpdateSlowRateTriggerMode(), st.result) << st.requested;
    EXPECT_EQ(s.m_nSlowRateModifier, st.modifier) << st.requested;
    EXPECT_EQ(s.m_nRollSampleCount, st.roll) << st.requested;
    EXPECT_EQ(s.m_nChangeFlags, st.modeBit) << st.requested;
  }
  GetMeasureType().m_nAngleMode = 0;
  s.m_nTriggerMode = 0;
  s.m_nRequestedTimeBaseIndex = 2;
  EXPECT_EQ(s.UpdateSlowRateTriggerMode(), 1);
  EXPECT_EQ(s.m_nSlowRateModifier, 2);
}

TEST_F(SettingsTest, TextLists) {
  GlobalProps& p = *props_;
  p.m_nRecordLength = 1000;
  GetTimeStepScale().m_nSteps = 20;
  for (double r : {1000000.0, 50000.0, 0.0, 20.0}) p.m_TimeBase.m_Rates.Add(r);
  CStringArray list;
  ASSERT_EQ(p.GetTimeBaseTexts(list), 4);
  const char* const wantTimes[] = {"50\xB5s", "1ms", "", "2.5s"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(list[i], wantTimes[i]) << i;
  EXPECT_EQ(p.FormatTimePerDiv(), "");  // none selected
  GetMeasureType().m_nAngleMode = 1;
  p.m_TimeBase.m_Rates.SetAt(0, 5.0);
  p.GetTimeBaseTexts(list);
  EXPECT_EQ(list[0], "10\xB0");
  GetMeasureType().m_nAngleMode = 0;

  CChannelProps& a = p.m_Channels[0];
  for (double r : {0.2, 2.0, 200.0}) a.m_Ranges.Add(r);
  a.m_Ranges.m_nUnit = 0;
  a.m_Ranges.m_dScale = 1.25;
  ASSERT_EQ(p.GetVoltsPerDivTexts(0, list), 3);
  const char* const wantVolts[] = {"20mV", "200mV", "20V"};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(list[i], wantVolts[i]) << i;
  EXPECT_EQ(p.FormatVoltsPerDiv(0), "");  // no range selected
  a.m_nRangeIndex = 1;
  EXPECT_EQ(p.FormatVoltsPerDiv(0), "200mV");
  EXPECT_EQ(p.FormatVoltsPerDiv(2), "");
  EXPECT_EQ(p.GetSubUnitExponent(0.004, -1), 1);
  EXPECT_EQ(p.GetSubUnitExponent(0.004, 3), 0);
}
