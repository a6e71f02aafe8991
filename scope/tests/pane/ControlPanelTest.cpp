// The scope's control panel on the headless display with the virtual clock, against doubles of
// the pane, the library and the record list: the controls it makes, the dispatcher as one table
// (change bits and notifications), run/stop, the zoom cycle, the time-base minimum of the
// engine-tester screens, inversion, the range fallback, the font rule, the saved-scope buttons,
// the recording decision, refusals and failures, probe selection, the cylinder buttons, the
// timers and the hot keys. The recording also alone, against a double of the panel it asks.
#include <scope/ScopeFiles.h>
#include <scope/ScopeState.h>
#include <scope/pane/ControlPanel.h>

#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureType.h>
#include <core/OscScale.h>
#include <core/ResourceHolder.h>
#include <core/SavedScope.h>
#include <core/TextIds.h>

#include <kv310/Kv310.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/ScopeTables.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Screenshots.h>

#include <platform/afxfile.h>
#include <platform/controls.h>
#include <platform/display.h>
#include <platform/filedialog.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace hl = kvp::headless;
using Panel = CWndOsc_ControlPanel;
using Note = std::tuple<int, int, int>;

struct FakeDevice : scope::ISnapshotDevice, scope::IControlPanelDevice {
  std::vector<Note> notes;
  std::vector<std::string> calls;
  bool engineTester = false;
  bool open = true;
  // Probe lists by channel and the answers of ReadProbeList in order (the last repeats).
  std::vector<scope::ProbeEntry> probes[2];
  std::vector<int> listAnswers{0};
  size_t listCalls = 0;
  int selectedChannel = 1;
  std::vector<int> linkStates{2};
  size_t linkPolls = 0;
  int acquisitionMode = 3;
  int setModeResult = 0;
  int startContinuousResult = 0;
  int stopContinuousResult = 0;
  int samples = 1000;
  int sleptMs = 0;
  int probeOption[2] = {0, 0};

  void Call(const std::string& c) { calls.push_back(c); }
  bool Called(const std::string& c) const { return std::count(calls.begin(), calls.end(), c) > 0; }

  // ISnapshotDevice
  bool HasOpenDevice() const override { return open; }
  bool IsEngineTesterPath() const override { return engineTester; }
  int GetCoilType() const override { return 0; }
  void ReadProbe(int, CChannelProps&) override {}
  bool SetAll(bool, const scope::DeviceBlock&) override {
    Call("SetAll");
    return true;
  }
  bool GetAll(bool, scope::DeviceBlock& block) override {
    block.m_Words[0] = 77;
    Call("GetAll");
    return true;
  }
  void StartMeasurement() override {
    GetGlobalProps().m_bRunning = 1;
    Call("start");
  }
  void StopMeasurement() override {
    GetGlobalProps().m_bRunning = 0;
    Call("stop");
  }
  // Like the pane's hub, forwards every notification to the panel when one is set.
  scope::IScopeNotifyTarget* hub = nullptr;
  void Notify(notify::Sender sender, notify::Code code, int value) override {
    notes.emplace_back(notify::ToInt(sender), notify::ToInt(code), value);
    if (hub) hub->OnSystemNotify(sender, code, value);
  }

  // IControlPanelDevice
  void WaitLinkIdle() override { Call("wait idle"); }
  int ReadProbeList(int channel, std::vector<scope::ProbeEntry>& list) override {
    Call("read list");
    const int answer = listAnswers[std::min(listCalls, listAnswers.size() - 1)];
    ++listCalls;
    if (answer == 0) list = probes[channel];
    return answer;
  }
  void SelectProbeId(int channel, const scope::ProbeEntry& p) override {
    Call("probe " + std::to_string(channel) + " " + std::to_string(p.m_nId));
  }
  int GetSelectedChannel() override { return selectedChannel; }
  void SetSelectedChannel(int channel) override { selectedChannel = channel; }
  void Synchronise(bool toggle) override { Call(toggle ? "sync toggle" : "sync set"); }
  int GetLinkState() override { return linkStates[std::min(linkPolls++, linkStates.size() - 1)]; }
  int GetAcquisitionMode(bool, int& mode) override {
    mode = acquisitionMode;
    return 0;
  }
  int SetAcquisitionMode(bool, int mode) override {
    Call("mode " + std::to_string(mode));
    return setModeResult;
  }
  int StartContinuous(bool) override {
    Call("continuous start");
    return startContinuousResult;
  }
  int StopContinuous(bool, int& n) override {
    Call("continuous stop");
    n = samples;
    return stopContinuousResult;
  }
  int GetProbeOption(int channel, int& option) override {
    option = probeOption[channel & 1];
    return 0;
  }
  int SetProbeOption(int channel, int option) override {
    Call("option " + std::to_string(channel) + " " + std::to_string(option));
    probeOption[channel & 1] = option;
    return 0;
  }
  void Sleep(int ms) override { sleptMs += ms; }
};

struct FakeRecords : scope::IScopeRecordTarget {
  std::vector<scope::ScopeRecordFields> records;
  int clears = 0;
  int sizedTo = -1;
  int oldMode = -1;
  int feedStarts = 0;
  int feedStops = 0;
  void ClearRecordList() override {
    records.clear();
    ++clears;
  }
  void AddRecord(const scope::ScopeRecordFields& f) override { records.push_back(f); }
  int GetRecordCount() const override { return static_cast<int>(records.size()); }
  void SizeRecords(int points) override { sizedTo = points; }
  void SetOldAcquisitionMode(bool, int mode) override { oldMode = mode; }
  int GetOldAcquisitionMode(bool) const override { return oldMode; }
  void StartRecorderFeed() override { ++feedStarts; }
  void StopRecorderFeed() override { ++feedStops; }
};

struct FakePane : scope::IControlPanelPane {
  int docks = 0, minimizes = 0, measuresOrCursors = 0, autosetStarts = 0, autosetFinishes = 0;
  bool autoset = false;
  void ToggleDock() override { ++docks; }
  void OnMinimizeToggle() override { ++minimizes; }
  void ShowMeasuresOrCursors() override { ++measuresOrCursors; }
  bool IsAutosetRunning() const override { return autoset; }
  void StartAutoset() override { ++autosetStarts; }
  void FinishAutoset() override { ++autosetFinishes; }
  void RefreshPaneSettings() override {}
  void UpdateChannelMarkers() override {}
  void RedrawAll() override {}
};

// The settings every test here starts from: a time base of 18 rates at index 9 (10000 S/s), ten
// ranges per channel, channel A on, the automatic trigger, two display traces, the docked chart.
void SetUpScopeSettings() {
  GlobalProps& p = GetGlobalProps();
  kvtest::SetUpScopeTables(p);
  for (CChannelProps& c : p.m_Channels) {
    c.m_nRangeIndex = 3;
    c.m_nPosition = 50;
  }
  p.m_Channels[0].m_nModeEnable = 1;
  p.m_nTriggerMode = 1;
  p.m_Styles[GlobalProps::STYLE_CURSOR_LEFT].m_dValue = 1.0;
  AddTrace();
  AddTrace();
  GetMeasureType().m_nMeasureType = 0;
  GetResourceHolder().m_bNarrowChart = 1;
  GetResourceHolder().SetZoomFactor(0);
  GetTimeStepScale().m_nCurrentStep = 10;
  GetOscScale().SetTimeOffset(5);
}

class ControlPanelTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    scope::GetScopeState().Reset();
    SetUpScopeSettings();
    GlobalProps& p = GetGlobalProps();
    host.CreateTop(0, 0, 380, 760);
    panel.SetPane(&pane);
    ASSERT_TRUE(panel.Create("WndControlPanel", WS_CHILD | WS_VISIBLE, CRect(0, 0, 360, 740), &host, 1008));
    panel.OnSystemNotify(notify::kFromEngineStop, notify::kScopeInit, 0);
    hl::Pump();
    dev.notes.clear();
    p.m_nChangeFlags = 0;
    for (CChannelProps& c : p.m_Channels) c.m_nChangeFlags = 0;
  }
  void TearDown() override {
    kvp::SetMessageBoxResponder(nullptr);
    panel.DestroyWindow();
    host.DestroyWindow();
    scope::GetScopeState().Reset();
    kvtest::CoreTest::TearDown();
  }
  // A press as the button makes it: the value steps (wrapping) and the panel hears of it.
  void Press(int id) {
    CXPCtrlBtn* b = panel.Button(id);
    ASSERT_NE(b, nullptr);
    b->data.value = b->data.value + 1 > b->data.max ? b->data.min : b->data.value + 1;
    panel.OnClick(&b->data, b);
  }
  void Scroll(int id, double value) {
    CRepeatCtrl* s = panel.Spinner(id);
    s->record.value = value;
    panel.OnValueChanged(&s->record, s);
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const kvp::MessageBoxCall& c : kvp::MessageBoxLog()) texts.push_back(c.text);
    return texts;
  }
  void Answer(int result) {
    kvp::SetMessageBoxResponder([result](const kvp::MessageBoxCall&) { return result; });
  }

  kvp::HeadlessWorld world;
  kvtest::HostWindow host;
  FakeDevice dev;
  FakeRecords records;
  FakePane pane;
  Panel panel{dev, dev, records};
};

TEST_F(ControlPanelTest, MakesTheControlsWithTheirNamesHiddenOnesAndStartValues) {
  struct Row {
    int id;
    const char* name;
    bool visible;
  };
  const Row rows[] = {
      {1000, "TriggerPos", true},    {1001, "TriggerLevel", true},   {1002, "TriggerUpDown", true},
      {1003, "TriggerMode", true},   {1006, "RollMode", false},      {1004, "TriggerSource", true},
      {1005, "TriggerSensitiv", true}, {1007, "ChAScale", true},     {1008, "ChAPos", true},
      {1010, "ChAOnOff", true},      {1011, "ChBScale", false},      {1014, "ChBOnOff", true},
      {1027, "BtnCylFirst", false},  {1030, "BtnCylFourth", false},  {1031, "BtnSynchro", false},
      {1032, "BtnCSave", true},      {1033, "BtnCLoad", true},       {1035, "BtnInvert", true},
      {1015, "TimeScale", true},     {1016, "TimePos", true},        {1017, "BtnRun", true},
      {1023, "BtnDelete", true},     {1034, "BtnRecord", true},      {1036, "BtnDock", true},
      {1026, "Dialogs", false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    CWnd* w = panel.Control(r.id);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->GetSafeHwnd());
    EXPECT_EQ(w->GetDlgCtrlID(), r.id);
    CString name;
    w->GetWindowText(name);
    EXPECT_STREQ(name.GetString(), r.name);
    EXPECT_EQ(w->IsWindowVisible() != 0, r.visible);
  }
  EXPECT_FALSE(panel.Title(Panel::kTitleHighVoltage).IsWindowVisible());
  EXPECT_EQ(panel.Button(Panel::kBtnDelete)->data.enabled, 0);
  EXPECT_FALSE(panel.Button(Panel::kBtnDelete)->IsWindowEnabled());
  // Channel B is off: its range, position and coupling are hidden, its switch reads "Off".
  EXPECT_STREQ(panel.FaceText(Panel::kChBOnOff).GetString(), "Ch B\nOff");
  EXPECT_STREQ(panel.FaceText(Panel::kChAOnOff).GetString(), "Ch A\nOn");
  EXPECT_EQ(panel.Spinner(Panel::kTimeScale)->record.value, 9);
  EXPECT_EQ(panel.Spinner(Panel::kTimeScale)->record.max, 17);
  EXPECT_EQ(panel.Spinner(Panel::kChAPos)->record.step, -1);
}

TEST_F(ControlPanelTest, DispatcherSetsChangeBitsAndNotifiesAsOneTable) {
  struct Row {
    const char* what;
    int id;
    int triggerMode;  // before the press
    int changeFlags;  // of GlobalProps after it
    int channelFlags[2];
    std::vector<Note> notes;
  };
  const Row rows[] = {
      {"edge", Panel::kTriggerUpDown, 1, CHG_TRIGGER_EDGE, {0, 0}, {{5, 6, 0}}},
      {"mode", Panel::kTriggerMode, 1, CHG_TRIGGER_MODE, {0, 0}, {{5, 4, 0}}},
      {"sensitivity", Panel::kTriggerSensitiv, 1, CHG_TRIGGER_FILTER, {0, 0}, {{5, 7, 0}}},
      {"roll", Panel::kRollMode, 1, CHG_TRIGGER_MODE, {0, 0}, {{5, 5, 0}}},
      {"source B", Panel::kTriggerSource, 1, CHG_TRIGGER_SOURCE | CHG_TRIGGER_CHANNEL | CHG_TRIGGER_LEVEL,
       {0, 0}, {{5, 10, 0}}},
      {"coupling A", Panel::kChAMode, 1, 0, {0x10, 0}, {{5, 19, 0}}},
      {"channel B on", Panel::kChBOnOff, 1, CHG_TRIGGER_MODE, {0, 0x02}, {{5, 22, 0}}},
      {"zoom", Panel::kBtnZoom, 1, 0, {0, 0}, {{5, 9, 0}}},
      {"print stopped", Panel::kBtnPrint, 1, 0, {0, 0}, {{5, 40, 0}}},
      {"invert", Panel::kBtnInvert, 1, 0, {0, 0}, {{5, 50, 0}, {-1, 52, 0}}},
      {"cursor off", Panel::kBtnCursor, 1, 0, {0, 0}, {{5, 32, 0}}},
      {"sync", Panel::kBtnSynchro, 1, 0, {0, 0}, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    GlobalProps& p = GetGlobalProps();
    p.m_nTriggerMode = r.triggerMode;
    p.m_nChangeFlags = 0;
    p.m_Channels[0].m_nChangeFlags = p.m_Channels[1].m_nChangeFlags = 0;
    dev.notes.clear();
    Press(r.id);
    EXPECT_EQ(p.m_nChangeFlags & ~CHG_TRIGGER_LEVEL, r.changeFlags & ~CHG_TRIGGER_LEVEL);
    EXPECT_EQ(p.m_Channels[0].m_nChangeFlags & 0x12, r.channelFlags[0]);
    EXPECT_EQ(p.m_Channels[1].m_nChangeFlags & 0x12, r.channelFlags[1]);
    EXPECT_EQ(dev.notes, r.notes);
  }
}

TEST_F(ControlPanelTest, DifferenceSourceForcesTriggerModeZero) {
  GlobalProps& p = GetGlobalProps();
  p.m_nTriggerMode = 1;
  panel.Button(Panel::kTriggerSource)->data.value = 1;
  Press(Panel::kTriggerSource);  // 2: "Ch A-B"
  EXPECT_EQ(p.m_nTriggerMode, 0);
  EXPECT_EQ(p.m_nTriggerSourceKind, 2);
  EXPECT_EQ(p.m_nTriggerChannel, 0);
  EXPECT_EQ(panel.Button(Panel::kTriggerMode)->data.value, 0);
  EXPECT_EQ(dev.notes, (std::vector<Note>{{5, 4, 0}}));
  EXPECT_STREQ(panel.FaceText(Panel::kTriggerSource).GetString(), "Source\nCh A-B");
}

TEST_F(ControlPanelTest, RunStopByRollAndTriggerModeSingleAlwaysStarts) {
  struct Row {
    int roll, mode, running;
    const char* call;
    int running_after;
  };
  const Row rows[] = {
      {0, 0, 0, "start", 1}, {0, 0, 1, "stop", 0}, {0, 1, 1, "stop", 0}, {0, 2, 0, "start", 1},
      {0, 2, 1, "start", 1}, {1, 2, 1, "stop", 0}, {2, 0, 0, "start", 1}, {0, -1, 0, "", 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.roll << " " << r.mode << " " << r.running);
    GlobalProps& p = GetGlobalProps();
    p.m_nSlowRateModifier = r.roll;
    p.m_nTriggerMode = r.mode;
    p.m_bRunning = r.running;
    p.m_nChangeFlags = 0;
    dev.calls.clear();
    Press(Panel::kBtnRun);
    EXPECT_EQ(dev.calls.empty() ? "" : dev.calls.back(), std::string(r.call));
    EXPECT_EQ(p.m_bRunning, r.running_after);
    if (r.roll == 2 && !r.running) {
      EXPECT_EQ(p.m_nChangeFlags, CHG_TRIGGER_POSITION | CHG_TRIGGER_MODE);
    }
  }
  EXPECT_STREQ(panel.FaceText(Panel::kBtnRun).GetString(), "Run");
}

TEST_F(ControlPanelTest, ZoomCyclesZeroToThreeWithTheOffsetsAndDisablesTimePosInThree) {
  struct Step {
    int state;
    int offset;
    int steps;
    const char* face;
  };
  // Docked, 10 divisions shown, offset 5 at zoom 0 (20 divisions).
  const Step cycle[] = {{1, 12, 50, "Zoom\n2.5x"}, {2, 24, 100, "Zoom\n5x"}, {3, 0, 10, "Zoom\n0.5x"},
                        {0, 5, 20, "Zoom\n1x"}};
  for (const Step& s : cycle) {
    SCOPED_TRACE(s.state);
    Press(Panel::kBtnZoom);
    EXPECT_EQ(panel.Button(Panel::kBtnZoom)->data.value, s.state);
    EXPECT_EQ(GetResourceHolder().m_nZoomType, s.state);
    EXPECT_EQ(GetOscScale().m_nHorizontalOffset, s.offset);
    EXPECT_EQ(GetTimeStepScale().m_nSteps, s.steps);
    EXPECT_STREQ(panel.FaceText(Panel::kBtnZoom).GetString(), s.face);
    EXPECT_EQ(panel.Spinner(Panel::kTimePos)->record.enabled, s.state == 3 ? 0 : 1);
  }
  // From 24 at zoom 2 the zoom-3 offset is trunc(24 / 5 + 0.5) = 5.
  EXPECT_EQ(panel.GetZoom3Offset(), 5);

  // A far offset is held so that offset + shown stays inside the record.
  GetOscScale().SetTimeOffset(45);
  panel.Zoom(1);
  EXPECT_EQ(GetOscScale().m_nHorizontalOffset, 40);
  // Floating, zoom 0 starts at 10.
  GetResourceHolder().m_bNarrowChart = 0;
  panel.Zoom(0);
  EXPECT_EQ(GetOscScale().m_nHorizontalOffset, 10);
  EXPECT_EQ(panel.Spinner(Panel::kTimePos)->record.max, 10);
}

TEST_F(ControlPanelTest, TimeScaleMinimumOnEngineTesterTypes) {
  struct Row {
    int type;
    int asked;
    int shown;
    bool stored;
  };
  const Row rows[] = {{8, 5, 11, false}, {8, 11, 11, true}, {7, 5, 6, false}, {9, 4, 6, false}, {0, 3, 3, true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.type << " " << r.asked);
    GetMeasureType().m_nMeasureType = r.type;
    GlobalProps& p = GetGlobalProps();
    p.m_nRequestedTimeBaseIndex = -1;
    dev.notes.clear();
    Scroll(Panel::kTimeScale, r.asked);
    EXPECT_EQ(panel.Spinner(Panel::kTimeScale)->record.value, r.shown);
    EXPECT_EQ(p.m_nRequestedTimeBaseIndex, r.stored ? r.asked : -1);
    EXPECT_EQ(dev.notes.empty(), !r.stored);
  }
}

TEST_F(ControlPanelTest, InvertCyclesNoneAThenBThenBothAndBack) {
  struct Step {
    int state;
    bool a, b;
    const char* face;  // the next step's name
  };
  const Step steps[] = {{1, true, false, "Inv B"}, {2, false, true, "Inv AB"}, {3, true, true, "NoInv"},
                        {0, false, false, "Inv A"}};
  EXPECT_STREQ(panel.FaceText(Panel::kBtnInvert).GetString(), "Inv A");
  for (const Step& s : steps) {
    SCOPED_TRACE(s.state);
    panel.InvertCycle();
    EXPECT_EQ(scope::GetScopeState().InvertState, s.state);
    EXPECT_EQ(GetGlobalProps().m_Channels[0].m_bInverted, s.a);
    EXPECT_EQ(GetGlobalProps().m_Channels[1].m_bInverted, s.b);
    EXPECT_EQ(GetTraceList()[0]->m_nMultiplier, s.a ? -1 : 1);
    EXPECT_EQ(GetTraceList()[1]->m_nMultiplier, s.b ? -1 : 1);
    EXPECT_STREQ(panel.FaceText(Panel::kBtnInvert).GetString(), s.face);
  }
}

// The spinner offers the probe's ranges only (a 50 A clamp accepts 2..7 of the ten); an index the
// probe refuses falls back to the default range, else the lowest, and is written back marked for
// the board.
TEST_F(ControlPanelTest, RangeOutsideTheProbeFallsBackToDefaultThenLowestAndIsWrittenBack) {
  struct Row {
    int low, high, index, fallback, expected;
  };
  const Row rows[] = {{-1, -1, 6, 4, 6}, {-1, -1, 20, 4, 4}, {-1, -1, -1, 2, 2}, {-1, -1, 20, 30, 0},
                      {-1, -1, 10, -1, 0}, {2, 7, 0, 4, 4},   {2, 7, 0, 9, 2},    {2, 7, 8, -1, 2},
                      {2, 7, 7, 4, 7},     {7, 2, 1, -1, 2},  {2, 12, 0, -1, 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.low << ".." << r.high << " " << r.index << " " << r.fallback);
    CChannelProps& c = GetGlobalProps().m_Channels[1];
    c.m_Ranges.m_nRangeLow = r.low;
    c.m_Ranges.m_nRangeHigh = r.high;
    c.m_nRangeIndex = r.index;
    c.m_nDefaultRangeIndex = r.fallback;
    c.m_nChangeFlags = 0;
    panel.RebuildScaleRanges(1, 1);
    EXPECT_EQ(c.m_nRangeIndex, r.expected);
    EXPECT_EQ(c.m_nChangeFlags & CHN_RANGE, r.index == r.expected ? 0 : CHN_RANGE);
    const NumericOptionRecord& spinner = panel.Spinner(Panel::kChBScale)->record;
    EXPECT_EQ(spinner.value, r.expected);
    const bool window = r.low >= 0 && r.high <= 9;
    EXPECT_EQ(spinner.min, window ? std::min(r.low, r.high) : 0);
    EXPECT_EQ(spinner.max, window ? std::max(r.low, r.high) : 9);
  }
  // Without the settings the value stays.
  panel.Spinner(Panel::kChAScale)->record.value = 7;
  GetGlobalProps().m_Channels[0].m_nRangeIndex = 99;
  panel.RebuildScaleRanges(0, 0);
  EXPECT_EQ(panel.Spinner(Panel::kChAScale)->record.value, 7);
  EXPECT_EQ(GetGlobalProps().m_Channels[0].m_nRangeIndex, 99);
}

TEST_F(ControlPanelTest, ScaleChangeKeepsTheTriggerLevelInVolts) {
  GlobalProps& p = GetGlobalProps();
  p.m_nTriggerChannel = 0;
  p.UpdateTriggerScale();
  p.SetTriggerLevelIndex(150);
  const double before = p.m_TriggerLevelMap.ToValue(p.m_nTriggerLevel);
  const double stepBefore = p.m_TriggerLevelMap.ToValue(129) - p.m_TriggerLevelMap.ToValue(128);
  Scroll(Panel::kChAScale, 2);  // 40 -> 80: the level needs fewer steps
  EXPECT_EQ(p.m_Channels[0].m_nRangeIndex, 2);
  EXPECT_LT(p.m_nTriggerLevel, 150);
  EXPECT_NEAR(p.m_TriggerLevelMap.ToValue(p.m_nTriggerLevel), before, 2 * stepBefore);
  EXPECT_EQ(dev.notes, (std::vector<Note>{{5, 11, 0}}));
}

TEST_F(ControlPanelTest, TriggerLevel256IsShownAndOneStepDownGives255) {
  GetGlobalProps().m_nTriggerLevel = 256;
  panel.RebuildTriggerLevelRange(1);
  CRepeatCtrl* s = panel.Spinner(Panel::kTriggerLevel);
  EXPECT_EQ(s->record.value, 256);
  EXPECT_EQ(s->record.max, 255);
  EXPECT_TRUE(StepValueDown(&s->record, 1));
  EXPECT_EQ(s->record.value, 255);
}

TEST_F(ControlPanelTest, FontsAreRebuiltOnlyWhenTheSizeChanges) {
  const int before = panel.FontBuilds();
  EXPECT_GE(before, 1);
  panel.Redraw();
  panel.Redraw();
  EXPECT_EQ(panel.FontBuilds(), before);
  panel.MoveWindow(0, 0, 300, 700);
  panel.Redraw();
  EXPECT_EQ(panel.FontBuilds(), before + 1);
  panel.MoveWindow(0, 0, 300, 650);
  panel.Redraw();
  EXPECT_EQ(panel.FontBuilds(), before + 2);
}

TEST_F(ControlPanelTest, LayoutFollowsThePanelSize) {
  // W = 360 - 16, H = 740.
  CRect r;
  panel.Spinner(Panel::kTriggerPos)->GetWindowRect(&r);
  panel.ScreenToClient(&r);
  EXPECT_EQ(r.left, 8);
  EXPECT_EQ(r.top, 5 + 33 + 7);
  EXPECT_EQ(r.Width(), 167);
  EXPECT_EQ(r.Height(), 79);
  CRect level;
  panel.Spinner(Panel::kTriggerLevel)->GetWindowRect(&level);
  panel.ScreenToClient(&level);
  EXPECT_EQ(level.right, 8 + 344);
  // The popup covers the second command row at full width.
  CRect open, popup;
  panel.Button(Panel::kBtnOpen)->GetWindowRect(&open);
  panel.Popup().GetWindowRect(&popup);
  EXPECT_EQ(popup.top, open.top);
  EXPECT_EQ(popup.Height(), open.Height());
  EXPECT_EQ(popup.Width(), 344);
  // Mode and roll-mode buttons share one place.
  CRect mode, roll;
  panel.Button(Panel::kTriggerMode)->GetWindowRect(&mode);
  panel.Button(Panel::kRollMode)->GetWindowRect(&roll);
  EXPECT_EQ(mode, roll);
  // Every row fits; the high-voltage section takes its rows only while shown.
  CRect print, time;
  panel.Button(Panel::kBtnPrint)->GetWindowRect(&print);
  panel.ScreenToClient(&print);
  EXPECT_LE(print.bottom, 740);
  panel.Spinner(Panel::kTimeScale)->GetWindowRect(&time);
  GetMeasureType().m_nMeasureType = 9;
  GetMeasureType().m_nSegmentCount = 4;
  panel.ShowEngineTesterSections(1);
  CRect shifted, cylinder;
  panel.Spinner(Panel::kTimeScale)->GetWindowRect(&shifted);
  panel.Button(Panel::kBtnCylFirst)->GetWindowRect(&cylinder);
  EXPECT_EQ(shifted.top - time.top, 7 + 33 + 3 + 51);
  EXPECT_LT(cylinder.bottom, shifted.top);
}

TEST_F(ControlPanelTest, DeleteClearsOneSavedScopeOrOpensThePopupForTwo) {
  CSavedScope* scopes = GetSavedScopes();
  scopes[0].m_bEmpty = 0;
  Press(Panel::kBtnDelete);
  EXPECT_EQ(scopes[0].m_bEmpty, 1);
  EXPECT_EQ(panel.Button(Panel::kBtnOpen)->data.enabled, 1);
  EXPECT_EQ(panel.Button(Panel::kBtnDelete)->data.enabled, 0);
  EXPECT_EQ(dev.notes, (std::vector<Note>{{5, 54, 0}}));

  scopes[0].m_bEmpty = 0;
  scopes[1].m_bEmpty = 0;
  dev.notes.clear();
  Press(Panel::kBtnDelete);
  EXPECT_TRUE(panel.Popup().IsWindowVisible());
  for (int id : {Panel::kBtnOpen, Panel::kBtnSave, Panel::kBtnDelete, Panel::kBtnPrint})
    EXPECT_FALSE(panel.Button(id)->IsWindowVisible()) << id;
  EXPECT_TRUE(dev.notes.empty());
  EXPECT_EQ(scopes[1].m_bEmpty, 0);
  // "Back" closes the strip without a notification and brings the buttons back.
  panel.Popup().OnClick(&panel.Popup().m_buttons[3].data, &panel.Popup().m_buttons[3]);
  EXPECT_FALSE(panel.Popup().IsWindowVisible());
  EXPECT_TRUE(panel.Button(Panel::kBtnOpen)->IsWindowVisible());
  EXPECT_TRUE(dev.notes.empty());
}

TEST_F(ControlPanelTest, PrintWhileRunningIsRefused) {
  GetGlobalProps().m_bRunning = 1;
  Press(Panel::kBtnPrint);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"First you have to stop Oscilloscope"});
  EXPECT_TRUE(dev.notes.empty());
}

TEST_F(ControlPanelTest, RecordingRefusals) {
  struct Row {
    int running, roll, mode, onA;
    int text;
  };
  const Row rows[] = {{0, 0, 1, 1, 10098}, {1, 2, 1, 1, 10099}, {1, 0, 0, 1, 10100}, {1, 0, 2, 1, 10100},
                      {1, 0, 1, 0, 10103}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    GlobalProps& p = GetGlobalProps();
    p.m_bRunning = r.running;
    p.m_nSlowRateModifier = r.roll;
    p.m_nTriggerMode = r.mode;
    p.m_Channels[0].m_nModeEnable = r.onA;
    const size_t boxes = kvp::MessageBoxLog().size();
    Press(Panel::kBtnRecord);
    ASSERT_EQ(kvp::MessageBoxLog().size(), boxes + 1);
    EXPECT_EQ(kvp::MessageBoxLog().back().text, p.GetText(r.text));
    EXPECT_EQ(scope::GetScopeState().ScopeRecording, 0);
    EXPECT_TRUE(records.records.empty());
  }
}

TEST_F(ControlPanelTest, FastRateRecordsFromTheRunningScopeIntoRings) {
  GlobalProps& p = GetGlobalProps();
  p.SetTimeBaseIndex(12, FALSE, TRUE);  // 200000 S/s
  p.m_Channels[1].m_nModeEnable = 1;
  p.m_bRunning = 1;
  Press(Panel::kBtnRecord);
  ASSERT_EQ(records.records.size(), 2u);
  EXPECT_EQ(scope::GetScopeState().ScopeRecording, 1);
  EXPECT_EQ(scope::GetScopeState().RecordingThroughRecorder, 0);
  for (const scope::ScopeRecordFields& f : records.records) {
    EXPECT_EQ(f.m_nRingCapacity, Panel::kDirectRingCapacity);
    EXPECT_EQ(f.m_bThroughRecorder, 0);
    EXPECT_EQ(f.m_bTransferPending, 1);
    EXPECT_EQ(f.m_dSampleRate, 2e5);
    EXPECT_DOUBLE_EQ(f.m_dFullScale, 40);
    EXPECT_DOUBLE_EQ(f.m_dPerDivision, 40 * 2 * 0.0625);
  }
  EXPECT_EQ(records.records[1].m_nChannel, 1);
  EXPECT_EQ(records.feedStarts, 1);
  EXPECT_FALSE(dev.Called("stop"));
  // Controls disabled except record, invert and dock; the record button blinks every 500 ms.
  EXPECT_EQ(panel.Button(Panel::kBtnRun)->data.enabled, 0);
  EXPECT_EQ(panel.Spinner(Panel::kTimeScale)->record.enabled, 0);
  EXPECT_EQ(panel.Button(Panel::kBtnRecord)->data.enabled, 1);
  EXPECT_EQ(panel.Button(Panel::kBtnInvert)->data.enabled, 1);
  hl::Advance(500);
  EXPECT_EQ(panel.GetBlinkPhase(), 1);
  hl::Advance(500);
  EXPECT_EQ(panel.GetBlinkPhase(), 0);

  // Stop, answer No: the records go, the scope runs on.
  Answer(IDNO);
  Press(Panel::kBtnRecord);
  EXPECT_EQ(records.feedStops, 1);
  EXPECT_TRUE(records.records.empty());
  EXPECT_EQ(scope::GetScopeState().ScopeRecording, 0);
  EXPECT_EQ(panel.Button(Panel::kBtnRun)->data.enabled, 1);
  EXPECT_EQ(kvp::MessageBoxLog().back().text, p.GetText(10102));
  EXPECT_EQ(dev.calls.back(), "start");
  EXPECT_EQ(panel.TakeRecordWaiting(), 0);
}

TEST_F(ControlPanelTest, SlowRateRecordsThroughTheRecorderAfterTheLinkIsReady) {
  GlobalProps& p = GetGlobalProps();
  p.SetTimeBaseIndex(10, FALSE, TRUE);  // 50000 S/s
  p.m_Channels[1].m_nModeEnable = 1;
  p.m_bRunning = 1;
  dev.linkStates = {0, 1, 2};
  p.m_Styles[GlobalProps::STYLE_SAVED_C].m_nFlags = 1;
  Press(Panel::kBtnRecord);
  EXPECT_EQ(scope::GetScopeState().ScopeRecording, 1);
  EXPECT_EQ(scope::GetScopeState().RecordingThroughRecorder, 1);
  EXPECT_EQ(scope::GetScopeState().DeviceSettingsSaved, 1);
  EXPECT_EQ(dev.linkPolls, 3u);
  EXPECT_EQ(dev.sleptMs, 400);
  EXPECT_EQ(records.oldMode, 3);
  EXPECT_EQ(panel.GetRecordingAcquisitionMode(), 3);
  EXPECT_EQ(records.feedStarts, 0);
  EXPECT_EQ(records.records[0].m_nRingCapacity, 0);
  EXPECT_EQ(p.m_bRunning, 0);
  EXPECT_EQ(p.m_Styles[GlobalProps::STYLE_SAVED_C].m_nFlags & 1, 0);
  const std::vector<std::string> order = {"stop", "GetAll", "mode 0", "continuous start"};
  EXPECT_EQ(dev.calls, order);

  // Stop with 1000 samples over two records; Yes keeps them for the analyzer.
  Answer(IDYES);
  dev.calls.clear();
  EXPECT_EQ(panel.StopRecording(), 1);
  EXPECT_EQ(records.sizedTo, 500);
  EXPECT_EQ(records.records.size(), 2u);
  EXPECT_EQ(panel.TakeRecordWaiting(), 1);
  EXPECT_EQ(p.m_Styles[GlobalProps::STYLE_SAVED_C].m_nFlags & 1, 1);
  EXPECT_EQ(dev.calls, std::vector<std::string>{"continuous stop"});
}

TEST_F(ControlPanelTest, RecordingStartFailuresLeaveNoRecordsAndRestoreTheDevice) {
  GlobalProps& p = GetGlobalProps();
  p.SetTimeBaseIndex(5, FALSE, TRUE);
  // The link never becomes ready: ten polls, 10103, no records, the scope stays stopped.
  p.m_bRunning = 1;
  dev.linkStates = {1};
  EXPECT_EQ(panel.StartRecording(), 0);
  EXPECT_EQ(dev.linkPolls, 10u);
  EXPECT_TRUE(records.records.empty());
  EXPECT_EQ(p.m_bRunning, 0);
  EXPECT_EQ(kvp::MessageBoxLog().back().text, p.GetText(10103));
  EXPECT_EQ(scope::GetScopeState().ScopeRecording, 0);

  // The continuous start fails after the mode changed: the old mode and the settings go back.
  dev.linkStates = {2};
  dev.startContinuousResult = 5;
  dev.calls.clear();
  EXPECT_EQ(panel.StartRecording(), 0);
  EXPECT_TRUE(records.records.empty());
  EXPECT_EQ(scope::GetScopeState().DeviceSettingsSaved, 0);
  const std::vector<std::string> order = {"stop", "GetAll", "mode 0", "continuous start", "mode 3", "SetAll"};
  EXPECT_EQ(dev.calls, order);
  EXPECT_EQ(panel.Button(Panel::kBtnRun)->data.enabled, 1);
}

TEST_F(ControlPanelTest, FailedRecorderStopLosesTheRecordsWith10101) {
  GlobalProps& p = GetGlobalProps();
  p.SetTimeBaseIndex(5, FALSE, TRUE);
  p.m_bRunning = 1;
  ASSERT_EQ(panel.StartRecording(), 1);
  dev.stopContinuousResult = 3;
  Answer(IDNO);
  panel.StopRecording();
  const std::vector<std::string> boxes = BoxTexts();
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_EQ(boxes[boxes.size() - 2], p.GetText(10101));
  EXPECT_TRUE(records.records.empty());
  // No: the saved settings go back and the scope starts again.
  EXPECT_EQ(scope::GetScopeState().DeviceSettingsSaved, 0);
  EXPECT_TRUE(dev.Called("SetAll"));
  EXPECT_EQ(p.m_bRunning, 1);
}

// A recording through the recorder on the engine-tester path changes channel B's probe option
// with the acquisition mode. A No writes it back with the settings; a Yes leaves it for the next
// activation of the scope, which writes it back once. The board's acquisition counts as running
// until a stop of it succeeded.
TEST_F(ControlPanelTest, EngineTesterRecordingGivesBackTheProbeOptionOnNoOrOnTheNextActivation) {
  GlobalProps& p = GetGlobalProps();
  p.SetTimeBaseIndex(5, FALSE, TRUE);
  dev.engineTester = true;
  struct Case {
    const char* name;
    int answer;
    int stopResult;
    bool optionOnStop;      // written back by the stop itself
    bool boardStillRuns;    // a later StopBoardRecording stops it again
    bool optionOnActivate;  // written back by RestoreBoardRecordingOption
  } cases[] = {
      {"no", IDNO, 0, true, false, false},
      {"yes", IDYES, 0, false, false, true},
      {"yes after a failed stop", IDYES, 3, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    p.m_bRunning = 1;
    dev.probeOption[1] = 0x24;
    dev.stopContinuousResult = c.stopResult;
    ASSERT_EQ(panel.StartRecording(), 1);
    EXPECT_TRUE(panel.IsBoardRecording());
    dev.probeOption[1] = 0;  // what the acquisition mode left
    Answer(c.answer);
    dev.calls.clear();
    panel.StopRecording();
    EXPECT_EQ(dev.Called("option 1 36"), c.optionOnStop);
    EXPECT_EQ(panel.IsBoardRecording(), c.boardStillRuns);
    dev.calls.clear();
    panel.StopBoardRecording();
    EXPECT_EQ(dev.Called("continuous stop"), c.boardStillRuns);
    EXPECT_FALSE(panel.IsBoardRecording());
    dev.calls.clear();
    panel.RestoreBoardRecordingOption();
    panel.RestoreBoardRecordingOption();
    EXPECT_EQ(std::count(dev.calls.begin(), dev.calls.end(), "option 1 36"), c.optionOnActivate ? 1 : 0);
    EXPECT_EQ(dev.probeOption[1], 0x24);
    panel.TakeRecordWaiting();
    records.ClearRecordList();
    scope::GetScopeState().DeviceSettingsSaved = 0;
  }
}

// The recording alone, without a panel or any window: its owner is a double that writes down what
// it is asked. Controls are locked and the record button blinks only for a recording that runs;
// the stop unlocks them and repaints the button before it asks whether to view the records.
struct RecordingOwner : scope::CPanelRecording::IOwner {
  std::vector<std::string> asks;
  int ShowMessage(const char* text, UINT) override {
    asks.push_back(std::string("box ") + text);
    return IDNO;
  }
  void DisableAllControls() override { asks.push_back("lock"); }
  void EnableAllControls() override { asks.push_back("unlock"); }
  void StartBlinking() override { asks.push_back("blink"); }
  void StopBlinking() override { asks.push_back("no blink"); }
  void RedrawRecordButton() override { asks.push_back("redraw"); }
};

class PanelRecordingTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    scope::GetScopeState().Reset();
    SetUpScopeSettings();
  }
  void TearDown() override {
    scope::GetScopeState().Reset();
    kvtest::CoreTest::TearDown();
  }
};

TEST_F(PanelRecordingTest, LocksAndBlinksOnlyWhileARecordingRunsAndUnlocksBeforeTheQuestion) {
  GlobalProps& p = GetGlobalProps();
  const auto box = [&p](int text) { return std::string("box ") + p.GetText(text); };
  const std::vector<std::string> stopAsks = {"no blink", "unlock", "redraw", box(kTextViewRecordQuestion)};
  struct Case {
    const char* name;
    int timeBase;  // 12: 200000 S/s on the rings; 5: 1000 S/s through the recorder
    int channelA;
    int linkState;
    int startContinuous;
    int stopContinuous;
    int started;
    std::vector<std::string> startAsks;
    std::vector<std::string> stopAsks;  // none: not stopped
  } const cases[] = {
      {"rings", 12, 1, kv310::kLinkIdle, 0, 0, 1, {"lock", "blink"}, stopAsks},
      {"recorder", 5, 1, kv310::kLinkIdle, 0, 0, 1, {"lock", "blink"}, stopAsks},
      {"recorder stop fails", 5, 1, kv310::kLinkIdle, 0, 3, 1, {"lock", "blink"},
       {"no blink", "unlock", box(kTextRecordLostOnStop), "redraw", box(kTextViewRecordQuestion)}},
      {"no channel on", 12, 0, kv310::kLinkIdle, 0, 0, 0, {box(kTextRecordStartFailed)}, {}},
      {"link never ready", 5, 1, kv310::kLinkPending, 0, 0, 0, {box(kTextRecordStartFailed)}, {}},
      {"continuous start fails", 5, 1, kv310::kLinkIdle, 5, 0, 0, {box(kTextRecordStartFailed)}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    scope::GetScopeState().Reset();
    p.SetTimeBaseIndex(c.timeBase, FALSE, TRUE);
    p.m_Channels[0].m_nModeEnable = c.channelA;
    p.m_bRunning = 1;
    FakeDevice dev;
    dev.linkStates = {c.linkState};
    dev.startContinuousResult = c.startContinuous;
    dev.stopContinuousResult = c.stopContinuous;
    FakeRecords records;
    RecordingOwner owner;
    scope::CPanelRecording recording(owner, dev, dev, records);
    EXPECT_EQ(recording.Start(), c.started);
    EXPECT_EQ(owner.asks, c.startAsks);
    EXPECT_EQ(scope::GetScopeState().ScopeRecording, c.started);
    if (c.stopAsks.empty()) continue;
    owner.asks.clear();
    EXPECT_EQ(recording.Stop(), 1);
    EXPECT_EQ(owner.asks, c.stopAsks);
    EXPECT_EQ(scope::GetScopeState().ScopeRecording, 0);
  }
}

TEST_F(ControlPanelTest, SelectProbeTakesTheNextOrTheMatchingProbeAndGivesUpWhenBusy) {
  dev.engineTester = true;
  dev.probes[0] = {{7, "", 0}, {9, "U10", 1}, {11, "HV", 2}, {13, "C100", 3}};
  panel.SelectProbe(0, 0, 0, 0);
  EXPECT_STREQ(panel.GetProbeName(0).GetString(), "U10");
  panel.SelectProbe(0, 0, 0, 0);
  EXPECT_STREQ(panel.GetProbeName(0).GetString(), "HV");
  EXPECT_TRUE(dev.Called("probe 0 11"));
  panel.SelectProbe(0, 1, 255, 1);
  EXPECT_STREQ(panel.GetProbeName(0).GetString(), "C100");
  panel.SelectProbe(0, 1, 5, 1);
  EXPECT_STREQ(panel.GetProbeName(0).GetString(), "OFF");

  // Busy answers are retried 100 ms apart at most 50 times; then the channel stays off.
  dev.listAnswers = {8};
  dev.listCalls = 0;
  dev.sleptMs = 0;
  panel.SelectProbe(0, 0, 0, 0);
  EXPECT_EQ(dev.listCalls, 1u + Panel::kSelectProbeBusyRetries);
  EXPECT_EQ(dev.sleptMs, 100 * Panel::kSelectProbeBusyRetries);
  EXPECT_STREQ(panel.GetProbeName(0).GetString(), "OFF");
  // A busy answer followed by the list works.
  dev.listAnswers = {8, 8, 0};
  dev.listCalls = 0;
  panel.SelectProbe(0, 1, 254, 1);
  EXPECT_STREQ(panel.GetProbeName(0).GetString(), "HV");
}

TEST_F(ControlPanelTest, SelectProbeWaitsForAnIdleLinkBeforeItsProbeCalls) {
  dev.engineTester = true;
  dev.probes[0] = {{9, "U10", 1}};
  struct Row {
    int running;
    std::vector<std::string> calls;
  };
  const Row rows[] = {
      {1, {"stop", "wait idle", "read list", "probe 0 9", "start"}},
      {0, {"wait idle", "read list", "probe 0 9"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.running);
    GetGlobalProps().m_bRunning = r.running;
    dev.calls.clear();
    panel.SelectProbe(0, 1, 1, 0);
    EXPECT_EQ(dev.calls, r.calls);
  }
}

TEST_F(ControlPanelTest, ProbeButtonStepsToTheNextProbeAndStaysDisabled500Ms) {
  dev.engineTester = true;
  dev.probes[0] = {{1, "U10", 1}, {2, "U100", 1}};
  GetGlobalProps().m_bRunning = 1;
  Press(Panel::kChAOnOff);
  EXPECT_STREQ(panel.FaceText(Panel::kChAOnOff).GetString(), "Ch A\nU10");
  EXPECT_EQ(scope::GetScopeState().ChannelSwitchPending, 1);
  EXPECT_EQ(panel.Button(Panel::kChAOnOff)->data.enabled, 0);
  EXPECT_EQ(dev.calls.back(), "start");  // stopped for the change and started again
  EXPECT_EQ(dev.notes.back(), Note(5, 21, 0));
  hl::Advance(499);
  EXPECT_EQ(panel.Button(Panel::kChAOnOff)->data.enabled, 0);
  hl::Advance(1);
  EXPECT_EQ(panel.Button(Panel::kChAOnOff)->data.enabled, 1);
}

TEST_F(ControlPanelTest, CylinderButtonsAndEngineTesterSections) {
  struct Row {
    int segments;
    bool shown[4];
    bool title;
  };
  const Row rows[] = {{2, {true, true, false, false}, true},
                      {3, {true, true, true, false}, true},
                      {4, {true, true, true, true}, true},
                      {1, {false, false, false, false}, false}};
  GetMeasureType().m_nMeasureType = 9;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.segments);
    GetMeasureType().m_nSegmentCount = r.segments;
    panel.ShowEngineTesterSections(1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(panel.Button(Panel::kBtnCylFirst + i)->IsWindowVisible() != 0, r.shown[i]);
    EXPECT_EQ(panel.Title(Panel::kTitleHighVoltage).IsWindowVisible() != 0, r.title);
    EXPECT_FALSE(panel.Button(Panel::kChBOnOff)->IsWindowVisible());  // board path, type 9
  }
  GetMeasureType().m_nMeasureType = 0;
  panel.ShowEngineTesterSections(0);
  EXPECT_TRUE(panel.Button(Panel::kChBOnOff)->IsWindowVisible());
  EXPECT_FALSE(panel.Title(Panel::kTitleHighVoltage).IsWindowVisible());

  Press(Panel::kBtnCylThird);
  EXPECT_EQ(dev.selectedChannel, 3);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(panel.Button(Panel::kBtnCylFirst + i)->data.value, i == 2 ? 1 : 0);
    EXPECT_EQ(panel.Button(Panel::kBtnCylFirst + i)->data.enabled, i == 2 ? 0 : 1);
  }
}

TEST_F(ControlPanelTest, AutoHideRestartsOnlyWhileFloating) {
  Press(Panel::kTriggerUpDown);
  hl::Advance(5000);
  EXPECT_EQ(pane.minimizes, 0);
  GetResourceHolder().m_bNarrowChart = 0;
  Press(Panel::kTriggerUpDown);
  hl::Advance(2000);
  Press(Panel::kTriggerUpDown);  // every action starts the countdown again
  hl::Advance(2999);
  EXPECT_EQ(pane.minimizes, 0);
  hl::Advance(1);
  EXPECT_EQ(pane.minimizes, 1);
  hl::Advance(6000);
  EXPECT_EQ(pane.minimizes, 1);
}

TEST_F(ControlPanelTest, DockButtonHidesItselfAndTogglesTheDock) {
  Press(Panel::kBtnDock);
  EXPECT_EQ(pane.docks, 1);
  EXPECT_FALSE(panel.Button(Panel::kBtnDock)->IsWindowVisible());
}

TEST_F(ControlPanelTest, RollModeSwapsTheModeButtonsAndDisablesTheTrigger) {
  GlobalProps& p = GetGlobalProps();
  p.m_nSlowRateModifier = 1;
  panel.OnSystemNotify(notify::kFromSnapshot, notify::kRollModeChanged, 0);
  EXPECT_FALSE(panel.Button(Panel::kTriggerMode)->IsWindowVisible());
  EXPECT_TRUE(panel.Button(Panel::kRollMode)->IsWindowVisible());
  EXPECT_EQ(panel.Spinner(Panel::kTriggerLevel)->record.enabled, 0);
  EXPECT_EQ(panel.Button(Panel::kTriggerSource)->data.max, 1);
  EXPECT_STREQ(panel.FaceText(Panel::kRollMode).GetString(), "Mode\nNO Trig");
  CString title;
  panel.Title(Panel::kTitleTrigger).GetWindowText(title);
  EXPECT_STREQ(title.GetString(), "TRIGGER MENU - ROLL");
  p.m_nSlowRateModifier = 0;
  panel.OnSystemNotify(notify::kFromSnapshot, notify::kRollModeChanged, 0);
  EXPECT_TRUE(panel.Button(Panel::kTriggerMode)->IsWindowVisible());
  EXPECT_EQ(panel.Spinner(Panel::kTriggerLevel)->record.enabled, 1);
  EXPECT_EQ(panel.Button(Panel::kTriggerSource)->data.max, 3);
}

TEST_F(ControlPanelTest, EnableTriggerControlsSetsTheMarkersShownBitsByRollMode) {
  struct Row {
    bool enable;
    int roll;
    int bit;
    int controlsEnabled;
  };
  const Row rows[] = {{true, 0, 1, 1}, {true, 2, 1, 1}, {true, 1, 0, 0}, {false, 0, 0, 0}};
  GlobalProps& p = GetGlobalProps();
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.enable << " " << r.roll);
    p.m_nSlowRateModifier = r.roll;
    p.m_Styles[GlobalProps::STYLE_TRIGGER_POSITION].m_nFlags = 6 | (1 - r.bit);
    p.m_Styles[GlobalProps::STYLE_TRIGGER_LEVEL].m_nFlags = 6 | (1 - r.bit);
    dev.notes.clear();
    panel.EnableTriggerControls(r.enable);
    EXPECT_EQ(p.m_Styles[GlobalProps::STYLE_TRIGGER_POSITION].m_nFlags, 6 | r.bit);
    EXPECT_EQ(p.m_Styles[GlobalProps::STYLE_TRIGGER_LEVEL].m_nFlags, 6 | r.bit);
    EXPECT_EQ(panel.Spinner(Panel::kTriggerPos)->record.enabled, r.controlsEnabled);
    EXPECT_EQ(panel.Button(Panel::kTriggerMode)->data.enabled, r.enable ? 1 : 0);
    EXPECT_EQ(dev.notes, (std::vector<Note>{{6, 2, 0}}));
  }
}

TEST_F(ControlPanelTest, UserNotificationsDoNotRefreshTheSpinnersOthersDo) {
  GlobalProps& p = GetGlobalProps();
  p.m_dTriggerPosition = 40;
  panel.OnSystemNotify(notify::kFromControlPanel, notify::kTriggerPositionChanged, 0);
  EXPECT_NE(panel.Spinner(Panel::kTriggerPos)->record.value, 40);
  panel.OnSystemNotify(notify::kFromSnapshot, notify::kTriggerPositionChanged, 0);
  EXPECT_EQ(panel.Spinner(Panel::kTriggerPos)->record.value, 40);
  // 45 switches the cursors on once.
  p.m_bCursorsOn = 0;
  dev.notes.clear();
  panel.OnSystemNotify(notify::kFromEngineStop, notify::kShowCursors, 0);
  EXPECT_EQ(p.m_bCursorsOn, 1);
  EXPECT_EQ(panel.Button(Panel::kBtnCursor)->data.value, 1);
  EXPECT_EQ(dev.notes.size(), 4u);
  panel.OnSystemNotify(notify::kFromEngineStop, notify::kShowCursors, 0);
  EXPECT_EQ(dev.notes.size(), 4u);
}

class ControlPanelHotKeyTest : public ControlPanelTest {
 protected:
  void SetUp() override {
    ControlPanelTest::SetUp();
    file = std::filesystem::temp_directory_path() / ("cp24-custom-" + std::to_string(::getpid()) + ".dat");
    std::filesystem::remove(file);
    panel.SetCustomSetPath(file.string());
    dev.hub = &panel;
  }
  void TearDown() override {
    std::filesystem::remove(file);
    ControlPanelTest::TearDown();
  }
  void HotKey(int id) { panel.SendMessage(WM_HOTKEY, id, 0); }
  std::filesystem::path file;
};

TEST_F(ControlPanelHotKeyTest, RegisteredOnActivationReleasedOnDeactivation) {
  panel.RegisterHotKeys();
  const auto grabbed = hl::GrabbedHotKeys();
  ASSERT_EQ(grabbed.size(), 20u);
  EXPECT_EQ(std::count(grabbed.begin(), grabbed.end(), std::make_pair(UINT{0}, UINT{VK_F1})), 1);
  EXPECT_EQ(std::count(grabbed.begin(), grabbed.end(), std::make_pair(UINT{MOD_CONTROL}, UINT{VK_F10})), 1);
  panel.UnregisterHotKeys();
  EXPECT_TRUE(hl::GrabbedHotKeys().empty());
}

TEST_F(ControlPanelHotKeyTest, CtrlF1SavesF1RestoresAndNothingWhileHiddenOrRecording) {
  GlobalProps& p = GetGlobalProps();
  p.m_nTriggerEdge = 0;
  HotKey(10);  // Ctrl+F1: slot 1
  ASSERT_TRUE(std::filesystem::exists(file));
  Press(Panel::kTriggerUpDown);
  ASSERT_EQ(p.m_nTriggerEdge, 1);

  panel.ShowWindow(SW_HIDE);
  HotKey(0);
  EXPECT_EQ(p.m_nTriggerEdge, 1);
  panel.ShowWindow(SW_SHOW);
  scope::GetScopeState().ScopeRecording = 1;
  HotKey(0);
  EXPECT_EQ(p.m_nTriggerEdge, 1);
  scope::GetScopeState().ScopeRecording = 0;
  pane.autoset = true;
  HotKey(0);
  EXPECT_EQ(p.m_nTriggerEdge, 1);
  pane.autoset = false;
  {
    // A modal dialog or box has the main window disabled.
    CWinApp app("KV310");
    app.m_pMainWnd = &host;
    host.EnableWindow(FALSE);
    HotKey(0);
    EXPECT_EQ(p.m_nTriggerEdge, 1);
    host.EnableWindow(TRUE);
    app.m_pMainWnd = nullptr;
  }

  dev.notes.clear();
  panel.RegisterHotKeys();
  ASSERT_TRUE(hl::PressSystemKey(VK_F1));  // F1: slot 1
  EXPECT_EQ(p.m_nTriggerEdge, 0);
  EXPECT_EQ(panel.Button(Panel::kTriggerUpDown)->data.value, 0);
  EXPECT_EQ(dev.notes.back(), Note(5, 50, 0));
}

TEST_F(ControlPanelHotKeyTest, CustomSettingsAreRefusedForEngineTesterScreens) {
  GetMeasureType().m_nMeasureType = 8;
  Press(Panel::kBtnCSave);
  Press(Panel::kBtnCLoad);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>(2, "Custom settings is imposible for this type oscilloscope.")));
}

TEST_F(ControlPanelTest, DrawsFacesAndCaptionsAndSavesAScreenshot) {
  kvp::StartTextLog();
  GetGlobalProps().m_Channels[1].m_nModeEnable = 1;
  panel.OnSystemNotify(notify::kFromEngineStop, notify::kScopeInit, 0);
  panel.Redraw();
  for (int id = Panel::kTriggerPos; id <= Panel::kBtnDock; ++id)
    if (CWnd* w = panel.Control(id)) RedrawNow(w);
  std::vector<std::string> texts;
  for (const kvp::DrawnText& t : kvp::DrawnTexts()) texts.push_back(t.text);
  kvp::StopTextLog();
  for (const char* want : {"Trigger pos.", "Trigger level", "Ch A Scale/div", "Ch B Scale/div", "Time scale/div",
                           "Window pos.", "Pos.", "Source", "Full", "AutoSet", "Rec", "Inv A", "Load", "Save", "1x"})
    EXPECT_NE(std::find(texts.begin(), texts.end(), want), texts.end()) << want;
  EXPECT_NE(std::find(texts.begin(), texts.end(), "5div"), texts.end());
  kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("scope-control-panel").c_str());
}

}  // namespace

namespace {

// What a file dialog offers: the name in its name field and the descriptions of its types.
struct FileDialogOffer {
  bool opened = false;
  std::string name;
  std::vector<std::string> types;
};

// Reads the next file dialog once it is the active window, then cancels it.
void ReadFileDialog(FileDialogOffer& offer, int turns = 50) {
  hl::RunInLoop([&offer, turns] {
    const HWND dlg = ::GetActiveWindow();
    if (!dlg || !::GetDlgItem(dlg, edt1) || !::GetDlgItem(dlg, cmb1)) {
      if (turns > 0) ReadFileDialog(offer, turns - 1);
      return;
    }
    offer.opened = true;
    char text[256] = {};
    ::GetWindowText(::GetDlgItem(dlg, edt1), text, sizeof text);
    offer.name = text;
    const HWND types = ::GetDlgItem(dlg, cmb1);
    const int count = static_cast<int>(::SendMessage(types, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char type[256] = {};
      ::SendMessage(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(type));
      offer.types.push_back(type);
    }
    hl::PressKey(VK_ESCAPE);
  });
}

}  // namespace

// The save dialog proposes "Save_<day>-<month>_<hour>h<minute>m" of the local time and the signal
// files with all files; the open dialog offers every signal file, the older ones, the current
// ones. Both cancelled: nothing happens.
TEST_F(ControlPanelTest, SignalFileDialogsOfferTheirTypesAndTheSaveName) {
  struct Case {
    int button;
    std::vector<std::string> types;
    bool named;
  } cases[] = {
      {Panel::kBtnSave, {"Oscilloscope signals (*.osg)", "All files (*.*)"}, true},
      {Panel::kBtnOpen,
       {"All oscilloscope signals (*.osg, *.osc)", "Older oscilloscope signals (*.osc)", "Oscilloscope signals (*.osg)"},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    FileDialogOffer offer;
    SYSTEMTIME before{}, after{};
    ::GetLocalTime(&before);
    ReadFileDialog(offer);
    Press(c.button);
    ::GetLocalTime(&after);
    ASSERT_TRUE(offer.opened);
    EXPECT_EQ(offer.types, c.types);
    if (c.named) {
      EXPECT_TRUE(offer.name == scope::SignalFileDefaultName(before) || offer.name == scope::SignalFileDefaultName(after))
          << offer.name;
    } else {
      EXPECT_EQ(offer.name, "");
    }
  }
  EXPECT_EQ(GetSavedScopeCount(), 0);
}

// The proposed name keeps the two-character fields of its format, blanks included.
TEST(SignalFileName, DayMonthHourMinuteOfTheLocalTime) {
  struct Case {
    WORD day, month, hour, minute;
    const char* name;
  } cases[] = {
      {5, 3, 9, 7, "Save_ 5- 3_ 9h 7m"},
      {24, 12, 23, 59, "Save_24-12_23h59m"},
      {1, 1, 0, 0, "Save_ 1- 1_ 0h 0m"},
  };
  for (const Case& c : cases) {
    SYSTEMTIME t{};
    t.wYear = 2024;
    t.wDay = c.day;
    t.wMonth = c.month;
    t.wHour = c.hour;
    t.wMinute = c.minute;
    EXPECT_EQ(scope::SignalFileDefaultName(t), c.name);
  }
}
