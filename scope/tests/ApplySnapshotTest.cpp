// Applying snapshots against a recording fake of the control panel and the device: the order of
// the notifications, the change bits left for the next run, the mended values, the range codes
// by probe, the sections by measure type and the round trip through the per-type store.
#include <scope/ApplySnapshot.h>
#include <scope/ScopeState.h>

#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureType.h>
#include <core/OscScale.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/ScopeTables.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using scope::DeviceBlock;
using scope::SettingsSnapshot;

class RecordingFake : public scope::ISnapshotControls, public scope::ISnapshotDevice {
 public:
  std::vector<std::string> log;
  std::vector<int> codes;  // notification codes in order (all from sender 6)
  std::vector<DeviceBlock> sent;
  bool device = true;
  bool engineTester = false;
  bool setAllWorks = true;
  int coilType = 0;
  int probeKind[2] = {1, 1};
  int probeWindow[2][2] = {{-1, -1}, {-1, -1}};  // lowest, highest range the probe accepts
  bool docked = true;

  void Note(const std::string& what) { log.push_back(what); }
  bool Has(const std::string& what) const { return std::find(log.begin(), log.end(), what) != log.end(); }

  // ISnapshotControls
  void ShowEngineTesterSections(int mode) override { Note("sections " + std::to_string(mode)); }
  void EnableAutoset(bool on) override { Note(std::string("autoset ") + (on ? "on" : "off")); }
  void EnableZoom(bool on) override { Note(std::string("zoom ") + (on ? "on" : "off")); }
  void ShowSynchro(bool show) override { Note(std::string("synchro ") + (show ? "shown" : "hidden")); }
  void ShowChannelBOnOff(bool show, bool enable) override {
    Note(std::string("ChBOnOff ") + (show ? "shown" : "hidden") + (enable ? " enabled" : " disabled"));
  }
  void EnableTriggerControls(bool on) override { Note(std::string("trigger controls ") + (on ? "on" : "off")); }
  void ShowTriggerMode() override { Note("show mode"); }
  void ShowTriggerSource() override { Note("show source"); }
  // The face shows the edge stored when it is drawn.
  void ShowTriggerEdge() override { Note("show edge " + std::to_string(GetGlobalProps().m_nTriggerEdge)); }
  void ShowSensitivity() override { Note("show sensitivity"); }
  void ShowChannelMode(int ch) override { Note("show coupling " + std::to_string(ch)); }
  void RepaintInvertButton() override { Note("invert button"); }
  void SetCursorButton(int on) override { Note("cursor button " + std::to_string(on)); }
  void ShowZoom(int zoom) override { Note("show zoom " + std::to_string(zoom)); }
  void RebuildTimeScaleRange(int select) override { Note("time scale " + std::to_string(select)); }
  void SelectProbe(int ch, int wanted) override {
    Note("select probe " + std::to_string(ch) + " " + std::to_string(wanted));
  }
  void RefreshProbeControls(int ch) override { Note("probe controls " + std::to_string(ch)); }
  void RefreshChannelControls() override { Note("channel controls"); }
  void RefreshPaneSettings() override { Note("pane settings"); }
  void ShowMeasuresOrCursors() override { Note("measures or cursors"); }
  CString GetProbeName(int) const override { return "Probe"; }
  bool IsDocked() const override { return docked; }
  int GetZoom() const override { return 2; }
  int GetRecordingAcquisitionMode() const override { return 7; }

  // ISnapshotDevice
  bool HasOpenDevice() const override { return device; }
  bool IsEngineTesterPath() const override { return engineTester; }
  int GetCoilType() const override { return coilType; }
  void ReadProbe(int ch, CChannelProps& props) override {
    Note("read probe " + std::to_string(ch));
    props.m_Ranges.m_nKind = probeKind[ch];
    props.m_Ranges.m_nRangeLow = probeWindow[ch][0];
    props.m_Ranges.m_nRangeHigh = probeWindow[ch][1];
  }
  bool SetAll(bool mt, const DeviceBlock& block) override {
    Note(mt ? "SetAll engine tester" : "SetAll board");
    sent.push_back(block);
    return setAllWorks;
  }
  bool GetAll(bool, DeviceBlock& block) override {
    block = scope::GetMeasureTypePreset(0).m_Snapshot.m_Board;
    return true;
  }
  void StartMeasurement() override { Note("start"); }
  void StopMeasurement() override { Note("stop"); }
  void Notify(notify::Sender sender, notify::Code code, int) override {
    EXPECT_EQ(sender, notify::kFromSnapshot);
    codes.push_back(notify::ToInt(code));
    Note("notify " + std::to_string(notify::ToInt(code)));
  }
};

class ApplySnapshotTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    GlobalProps& p = GetGlobalProps();
    kvtest::SetUpScopeTables(p);
    AddTrace();
    AddTrace();
    GetMeasureType().m_nMeasureType = 0;
  }
  static void SetType(int t) { GetMeasureType().m_nMeasureType = t; }
  static SettingsSnapshot Preset(int t) { return scope::GetMeasureTypePreset(t).m_Snapshot; }

  RecordingFake fake;
};

TEST_F(ApplySnapshotTest, StepsRunInOrderAndTheBlockReplacesTheSingleChanges) {
  GlobalProps& p = GetGlobalProps();
  GetTraceList()[0]->SetSize(1000);
  GetTraceList()[0]->m_bValid = 1;
  EXPECT_EQ(scope::ApplySnapshot(Preset(0), fake, fake), 1);

  const std::vector<int> expected = {5, 23, 33, 11, 12, 21, 22, 11, 12, 13, 14, 8, 9, 19, 20, 10, 2, 6, 7, 3};
  EXPECT_EQ(fake.codes, expected);
  ASSERT_EQ(fake.sent.size(), 1u);
  EXPECT_EQ(fake.sent[0], Preset(0).m_Board);
  EXPECT_EQ(fake.log.back(), "start");
  EXPECT_EQ(fake.log.front(), "sections 0");
  EXPECT_FALSE(p.IsChanged());
  EXPECT_EQ(p.m_bRunning, 1);
  EXPECT_EQ(GetTraceList()[0]->m_bValid, 0);
  EXPECT_EQ(GetTraceList()[0]->GetCount(), 0);

  // The settings of preset 0.
  EXPECT_EQ(p.m_nTriggerMode, 1);
  EXPECT_EQ(p.m_nTriggerLevel, 130);
  EXPECT_EQ(p.GetTimeBaseIndex(), 10);
  EXPECT_EQ(p.m_nRequestedTimeBaseIndex, 10);
  EXPECT_EQ(p.m_Channels[0].m_nRangeIndex, 3);
  EXPECT_EQ(p.m_Channels[0].m_nPosition, 50);
  EXPECT_EQ(p.m_Channels[0].m_nModeEnable, 1);
  EXPECT_EQ(p.m_Channels[1].m_nModeEnable, 0);
  EXPECT_DOUBLE_EQ(p.m_dTriggerPosition, 30.0);
  EXPECT_EQ(GetOscScale().m_nHorizontalOffset, 5);
  EXPECT_TRUE(p.m_Styles[GlobalProps::STYLE_CURSOR_LEFT].IsShown());
  EXPECT_EQ(GetMeasureType().m_bStartRetry.load(), 0);
  EXPECT_DOUBLE_EQ(GetTraceList()[1]->m_dTimePerIndex, 1.0 / 5e4);
}

TEST_F(ApplySnapshotTest, TheEdgeFaceShowsTheSnapshotsEdge) {
  for (const int edge : {0, 1}) {
    SCOPED_TRACE(edge);
    GetGlobalProps().m_nTriggerEdge = 1 - edge;
    SettingsSnapshot s = Preset(0);
    s.m_nEdge = edge;
    fake.log.clear();
    EXPECT_EQ(scope::ApplySnapshot(s, fake, fake), 1);
    EXPECT_EQ(GetGlobalProps().m_nTriggerEdge, edge);
    EXPECT_TRUE(fake.Has("show edge " + std::to_string(edge)));
    EXPECT_FALSE(fake.Has("show edge " + std::to_string(1 - edge)));
  }
}

TEST_F(ApplySnapshotTest, OutOfRangeValuesAreMended) {
  struct Case {
    const char* name;
    void (*edit)(SettingsSnapshot&);
    bool (*check)(const GlobalProps&);
  };
  const Case cases[] = {
      // First, while the set-up's index 9 is the current one.
      {"time base 40", [](auto& s) { s.m_nTimeBaseIndex = 40; },
       [](const GlobalProps& p) { return p.GetTimeBaseIndex() == 9; }},
      {"level 300", [](auto& s) { s.m_nLevel = 300; }, [](const GlobalProps& p) { return p.m_nTriggerLevel == 256; }},
      {"level -5", [](auto& s) { s.m_nLevel = -5; }, [](const GlobalProps& p) { return p.m_nTriggerLevel == 0; }},
      {"position 95", [](auto& s) { s.m_dTriggerPosition = 95.0; },
       [](const GlobalProps& p) { return p.m_dTriggerPosition == 90.0; }},
      {"range 12 -> default", [](auto& s) { s.m_nRange[0] = 12; },
       [](const GlobalProps& p) { return p.m_Channels[0].m_nRangeIndex == 4; }},
      {"inversion 9 -> 0", [](auto& s) { s.m_nInversion = 9; },
       [](const GlobalProps&) { return scope::GetScopeState().InvertState == 0; }},
  };
  for (const Case& c : cases) {
    SettingsSnapshot s = Preset(0);
    c.edit(s);
    RecordingFake run;
    scope::ApplySnapshot(s, run, run);
    EXPECT_TRUE(c.check(GetGlobalProps())) << c.name;
  }
  // Without a default range the first one is taken.
  GetGlobalProps().m_Channels[0].m_nDefaultRangeIndex = -1;
  SettingsSnapshot s = Preset(0);
  s.m_nRange[0] = -3;
  scope::ApplySnapshot(s, fake, fake);
  EXPECT_EQ(GetGlobalProps().m_Channels[0].m_nRangeIndex, 0);
}

// A snapshot taken with another probe may name a range the probe now on the channel refuses (the
// 25 kV probe accepts 6..9): the channel takes its default range, else the probe's lowest, and the
// block sent carries that range instead of the refused one.
TEST_F(ApplySnapshotTest, RangesTheProbeRefusesAreBroughtIntoItsWindow) {
  struct Case {
    const char* name;
    int window[2];
    int defaultRange;
    int expected;
  } cases[] = {
      {"inside the window", {0, 9}, 4, 3},
      {"default inside", {6, 9}, 7, 7},
      {"default outside", {6, 9}, 4, 6},
      {"window given high first", {9, 6}, -1, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GetGlobalProps().m_Channels[0].m_nDefaultRangeIndex = c.defaultRange;
    RecordingFake run;
    run.probeWindow[0][0] = c.window[0];
    run.probeWindow[0][1] = c.window[1];
    scope::ApplySnapshot(Preset(0), run, run);  // channel A at range 3
    EXPECT_EQ(GetGlobalProps().m_Channels[0].m_nRangeIndex, c.expected);
    ASSERT_EQ(run.sent.size(), 1u);
    EXPECT_EQ(run.sent[0].m_Channels[1], c.expected) << "the block's range word of A";
    EXPECT_EQ(run.sent[0].m_Channels[3], 3) << "B's range word as given";
  }
}

// The window offset stays inside the record at the snapshot's zoom: 20, 50, 100 and 10 divisions
// at zoom 0..3 with 10 shown. A snapshot taken at 5x with the window at 60 comes back at 60.
TEST_F(ApplySnapshotTest, TheWindowOffsetStaysInsideTheRecordAtEveryZoom) {
  GetTimeDivisorBase() = 10;
  GetTimeStepScale().m_nCurrentStep = 10;
  struct Case {
    int zoom, offset, expected;
  } cases[] = {{0, 7, 7}, {0, 30, 10}, {1, 30, 30}, {1, 45, 40}, {2, 60, 60}, {2, 95, 90}, {3, 5, 0}, {2, -4, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "zoom " << c.zoom << " offset " << c.offset);
    SettingsSnapshot s = Preset(0);
    s.m_nZoom = c.zoom;
    s.m_nWindowOffset = c.offset;
    RecordingFake run;
    scope::ApplySnapshot(s, run, run);
    EXPECT_EQ(GetOscScale().m_nHorizontalOffset, c.expected);
  }
}

TEST_F(ApplySnapshotTest, RangeCodesFollowTheActualProbe) {
  // Preset 11: channel B wants any probe of kind 3 with range code 602.
  struct Case {
    int kindB;
    int range;
    int onB;
  };
  for (const Case& c : {Case{3, 2, 1}, Case{2, 2, 0}, Case{1, 6, 0}}) {
    SetType(11);
    RecordingFake run;
    run.probeKind[1] = c.kindB;
    scope::ApplySnapshot(Preset(11), run, run);
    const CChannelProps& b = GetGlobalProps().m_Channels[1];
    EXPECT_EQ(b.m_nRangeIndex, c.range) << c.kindB;
    EXPECT_EQ(b.m_nModeEnable, c.onB) << c.kindB;
    ASSERT_EQ(run.sent.size(), 1u);
    EXPECT_EQ(run.sent[0].m_Channels[3], c.range) << "the block's range word of B";
    EXPECT_EQ(run.sent[0].m_Channels[1], 3) << "A's range word as given";
    EXPECT_EQ(GetGlobalProps().m_nTriggerChannel, 1);
    EXPECT_EQ(GetGlobalProps().m_nTriggerMode, 2);
  }
}

TEST_F(ApplySnapshotTest, SectionsByMeasureType) {
  struct Case {
    int type;
    int coil;
    const char* sections;
    const char* autoset;
    const char* zoom;
    const char* synchro;
    const char* trigger;
  };
  const Case cases[] = {
      {0, 1, "sections 0", "autoset on", "zoom on", "synchro hidden", "trigger controls on"},
      {3, 1, "sections 0", "autoset off", "zoom on", "synchro hidden", "trigger controls on"},
      {7, 1, "sections 0", "autoset off", "zoom on", "synchro shown", "trigger controls off"},
      {7, 0, "sections 0", "autoset off", "zoom on", "synchro hidden", "trigger controls off"},
      {8, 1, "sections 0", "autoset off", "zoom off", "synchro shown", "trigger controls off"},
      {9, 1, "sections 1", "autoset off", "zoom on", "synchro shown", "trigger controls off"},
      {10, 0, "sections 0", "autoset off", "zoom off", "synchro hidden", "trigger controls off"},
      {20, 1, "sections 0", "autoset on", "zoom on", "synchro hidden", "trigger controls on"},
  };
  for (const Case& c : cases) {
    SetType(c.type);
    RecordingFake run;
    run.coilType = c.coil;
    scope::ApplySnapshot(Preset(c.type), run, run);
    for (const char* want : {c.sections, c.autoset, c.zoom, c.synchro, c.trigger})
      EXPECT_TRUE(run.Has(want)) << c.type << ": " << want;
  }
}

TEST_F(ApplySnapshotTest, WithoutADeviceOnlyTheSectionsChange) {
  fake.device = false;
  GetGlobalProps().m_nTriggerLevel = 77;
  EXPECT_EQ(scope::ApplySnapshot(Preset(0), fake, fake), 0);
  EXPECT_TRUE(fake.codes.empty());
  EXPECT_TRUE(fake.sent.empty());
  EXPECT_EQ(GetGlobalProps().m_nTriggerLevel, 77);
  EXPECT_EQ(fake.log.size(), 4u);  // sections, autoset, zoom, synchro
}

TEST_F(ApplySnapshotTest, MissingOrRefusedBlocksLeaveEveryChangeForTheNextRun) {
  GlobalProps& p = GetGlobalProps();
  // Preset 1 gives no board block: nothing sent, all flags set.
  SetType(1);
  scope::CMeasureTypeStore store;
  scope::ApplyMeasureTypePreset(store, fake, fake);
  EXPECT_TRUE(fake.sent.empty());
  EXPECT_EQ(p.m_nChangeFlags, CHG_ALL);
  EXPECT_EQ(p.m_Channels[0].m_nChangeFlags & (CHN_ON | CHN_RANGE | CHN_COUPLING), CHN_ON | CHN_RANGE | CHN_COUPLING);
  EXPECT_TRUE(fake.Has("start"));

  // Preset 3 gives its engine-tester block.
  SetType(3);
  RecordingFake mt;
  mt.engineTester = true;
  scope::ApplyMeasureTypePreset(store, mt, mt);
  ASSERT_EQ(mt.sent.size(), 1u);
  EXPECT_EQ(mt.sent[0], Preset(3).m_EngineTester);
  EXPECT_TRUE(mt.Has("SetAll engine tester"));
  EXPECT_TRUE(mt.Has("ChBOnOff shown disabled"));
  EXPECT_TRUE(mt.Has("select probe 0 1"));
  EXPECT_FALSE(mt.Has("read probe 0"));
  EXPECT_FALSE(p.IsChanged());

  // The engine-tester screens (types 7..10) have no block of their own: the board runs them in its
  // engine-synchronous modes, which take channel A, the time base, filter and sensitivity and
  // refuse channel B and the other trigger settings. Only those are left for the next run.
  for (int t : {7, 8, 9, 10}) {
    SCOPED_TRACE(t);
    SetType(t);
    RecordingFake screen;
    screen.engineTester = true;
    scope::ApplyMeasureTypePreset(store, screen, screen);
    EXPECT_TRUE(screen.sent.empty());
    EXPECT_EQ(p.m_nChangeFlags, CHG_TRIGGER_FILTER | CHG_TRIGGER_SENSITIVITY);
    EXPECT_EQ(p.m_TimeBase.m_nFlags & TB_INDEX_CHANGED, TB_INDEX_CHANGED);
    EXPECT_EQ(p.m_Channels[0].m_nChangeFlags, CHN_ON | CHN_RANGE | CHN_COUPLING);
    EXPECT_EQ(p.m_Channels[1].m_nChangeFlags, 0);
  }

  // A refused SetAll sets every flag.
  SetType(0);
  RecordingFake refused;
  refused.setAllWorks = false;
  scope::ApplySnapshot(Preset(0), refused, refused);
  EXPECT_EQ(p.m_nChangeFlags, CHG_ALL);
  EXPECT_EQ(p.m_TimeBase.m_nFlags & TB_INDEX_CHANGED, TB_INDEX_CHANGED);
}

TEST_F(ApplySnapshotTest, InversionSignsAndStoredStarts) {
  const int signs[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
  for (int inversion = 0; inversion < 4; ++inversion) {
    SettingsSnapshot s = Preset(0);
    s.m_nInversion = inversion;
    s.m_nRunning = 0;
    RecordingFake run;
    scope::ApplySnapshot(s, run, run, {.m_bFromStorage = true});
    EXPECT_EQ(GetTraceList()[0]->m_nMultiplier, signs[inversion][0]) << inversion;
    EXPECT_EQ(GetTraceList()[1]->m_nMultiplier, signs[inversion][1]) << inversion;
    EXPECT_FALSE(run.Has("start"));
    EXPECT_EQ(GetMeasureType().m_bStartRetry.load(), 0) << "no start, no retry";
  }
  scope::ApplySnapshot(Preset(0), fake, fake, {.m_bFromStorage = true});
  EXPECT_EQ(GetMeasureType().m_bStartRetry.load(), 1);
  // A floating panel shows twice the divisions: the offset doubles; cursors off clear bit 0.
  SettingsSnapshot s = Preset(0);
  s.m_nCursorsOn = 0;
  RecordingFake floating;
  floating.docked = false;
  scope::ApplySnapshot(s, floating, floating);
  EXPECT_EQ(GetOscScale().m_nHorizontalOffset, 10);
  EXPECT_FALSE(GetGlobalProps().m_Styles[GlobalProps::STYLE_CURSOR_RIGHT].IsShown());
  EXPECT_TRUE(floating.Has("cursor button 0"));
}

TEST_F(ApplySnapshotTest, LeavingAndReturningRestoresTheUsersSettings) {
  SetType(12);
  scope::CMeasureTypeStore store;
  scope::ApplyMeasureTypePreset(store, fake, fake);
  GlobalProps& p = GetGlobalProps();
  EXPECT_EQ(p.m_nTriggerLevel, 130);
  p.SetTriggerLevelIndex(201);
  p.SetChannelPosition(0, 33);
  scope::CaptureMeasureTypeSnapshot(store, fake, fake);
  EXPECT_TRUE(store.IsStored(12));

  SetType(0);
  scope::ApplyMeasureTypePreset(store, fake, fake);
  EXPECT_EQ(p.m_nTriggerLevel, 130);

  SetType(12);
  RecordingFake back;
  scope::ApplyMeasureTypePreset(store, back, back);
  EXPECT_EQ(p.m_nTriggerLevel, 201);
  EXPECT_EQ(p.m_Channels[0].m_nPosition, 33);
  ASSERT_EQ(back.sent.size(), 1u) << "a captured snapshot carries its block";
  EXPECT_EQ(back.sent[0], Preset(0).m_Board);
}

TEST_F(ApplySnapshotTest, FilesAndSlotsApplyOnlyWholeValidSnapshots) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("scope_apply_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  GlobalProps& p = GetGlobalProps();
  SetType(12);
  scope::ApplySnapshot(Preset(12), fake, fake);
  p.SetTriggerLevelIndex(201);
  const std::string oss = (dir / "user.oss").string();
  ASSERT_TRUE(scope::SaveSettingsFile(oss.c_str(), fake, fake).m_bOk);

  // Loading stops the run first, applies, and retries the start.
  p.SetTriggerLevelIndex(5);
  RecordingFake load;
  ASSERT_TRUE(scope::LoadSettingsFile(oss.c_str(), load, load).m_bOk);
  EXPECT_EQ(load.log.front(), "stop");
  EXPECT_EQ(p.m_nTriggerLevel, 201);
  EXPECT_EQ(GetMeasureType().m_bStartRetry.load(), 1);

  // A file one byte short is refused whole.
  std::vector<char> bytes(224, 0);
  std::ofstream(dir / "short.oss", std::ios::binary).write(bytes.data(), 224);
  RecordingFake refused;
  const scope::FileOutcome bad = scope::LoadSettingsFile((dir / "short.oss").string().c_str(), refused, refused);
  EXPECT_FALSE(bad.m_bOk);
  EXPECT_EQ(bad.m_strMessage, "Cannot read data from file!");
  EXPECT_TRUE(refused.log.empty());
  EXPECT_EQ(p.m_nTriggerLevel, 201);

  // Slots: the same capture; refused for the engine-tester screens without touching anything.
  const std::string slots = (dir / "sub" / "CustomSet.dat").string();
  ASSERT_TRUE(scope::SaveCustomSet(slots.c_str(), 3, fake, fake).m_bOk);
  p.SetTriggerLevelIndex(9);
  RecordingFake slot;
  ASSERT_TRUE(scope::LoadCustomSet(slots.c_str(), 3, slot, slot).m_bOk);
  EXPECT_EQ(p.m_nTriggerLevel, 201);
  for (int t : {3, 6, 10}) {
    SetType(t);
    RecordingFake none;
    const scope::FileOutcome save = scope::SaveCustomSet(slots.c_str(), 3, none, none);
    EXPECT_EQ(save.m_strMessage, "Custom settings is imposible for this type oscilloscope.") << t;
    EXPECT_EQ(save.m_nIcon, static_cast<UINT>(MB_ICONINFORMATION | MB_TOPMOST));
    EXPECT_FALSE(scope::LoadCustomSet(slots.c_str(), 3, none, none).m_bOk);
    EXPECT_TRUE(none.log.empty()) << t;
  }
  fs::remove_all(dir);
}

TEST(DeviceBlocks, WordsRoundTripThroughTheLibraryRecords) {
  for (int t : {0, 3, 11}) {
    const SettingsSnapshot s = scope::GetMeasureTypePreset(t).m_Snapshot;
    OscChannelSetting channels[2]{};
    const OscSettings board = scope::ToOscSettings(s.m_Board, channels);
    EXPECT_EQ(scope::FromOscSettings(board, channels), s.m_Board) << t;
    OscChannelSetting mtChannels[2]{};
    const MTOscSettings mt = scope::ToMTOscSettings(s.m_EngineTester, mtChannels);
    EXPECT_EQ(scope::FromMTOscSettings(mt, mtChannels), s.m_EngineTester) << t;
  }
  // Preset 0's engine-tester word 1 (196618) holds rate index 10 and angle index 3; its level is
  // 175 at exponent -1 (word 255), its channel block A on with range 3.
  const DeviceBlock& et = scope::GetMeasureTypePreset(0).m_Snapshot.m_EngineTester;
  OscChannelSetting channels[2]{};
  const MTOscSettings mt = scope::ToMTOscSettings(et, channels);
  EXPECT_EQ(mt.sampleRateIndex, 10);
  EXPECT_EQ(mt.angleRateIndex, 3);
  EXPECT_EQ(mt.triggerLevel.mantissa, 175);
  EXPECT_EQ(mt.triggerLevel.exponent, -1);
  EXPECT_EQ(mt.channelCount, 2);
  EXPECT_EQ(mt.channels, channels);
  EXPECT_EQ(channels[0].mode, 1);
  EXPECT_EQ(channels[0].rangeIndex, 3);
}

}  // namespace
