// The scope pane's data path, autoset and settings files with the real engine and measurement
// library on the in-process simulated board: Auto and Single runs as the engine delivers them,
// autoset on the board's square wave, and the fixture scene saved as scene.oss and as two custom
// slots in CustomSet.dat for other tools (under build/<preset>/scope-files/).
#include <scope/ApplySnapshot.h>
#include <scope/pane/Autoset.h>
#include <scope/ScopeState.h>
#include <scope/pane/WndOsc.h>

#include <core/DeviceStartup.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureEngine.h>
#include <core/Messages.h>
#include <core/OscScale.h>
#include <core/Sound.h>

#include "ScopeFiles.h"

#include <kvtest/CoreGlobals.h>
#include <kvtest/RecordingSound.h>
#include <kvtest/EngineOnBoard.h>
#include <kvtest/Pump.h>
#include <kvtest/ScopeTables.h>

#include <platform/display.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

class LoggingPane : public scope::CWndOsc {
 public:
  using CWndOsc::CWndOsc;
  std::vector<int> codes;
  int Count(int code) const { return static_cast<int>(std::count(codes.begin(), codes.end(), code)); }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_OSCMEASURE) codes.push_back(static_cast<int>(wParam));
    return CWndOsc::WindowProc(message, wParam, lParam);
  }
};

using kvtest::RecordingSound;

// The control panel as far as a capture and an apply need it: docked, zoom 1, probes present.
class QuietPanel : public scope::ISnapshotControls {
 public:
  void ShowEngineTesterSections(int) override {}
  void EnableAutoset(bool) override {}
  void EnableZoom(bool) override {}
  void ShowSynchro(bool) override {}
  void ShowChannelBOnOff(bool, bool) override {}
  void EnableTriggerControls(bool) override {}
  void ShowTriggerMode() override {}
  void ShowTriggerSource() override {}
  void ShowTriggerEdge() override {}
  void ShowSensitivity() override {}
  void ShowChannelMode(int) override {}
  void RepaintInvertButton() override {}
  void SetCursorButton(int) override {}
  void ShowZoom(int) override {}
  void RebuildTimeScaleRange(int) override {}
  void SelectProbe(int, int) override {}
  void RefreshProbeControls(int) override {}
  void RefreshChannelControls() override {}
  void RefreshPaneSettings() override {}
  void ShowMeasuresOrCursors() override {}
  CString GetProbeName(int) const override { return "Probe"; }
  bool IsDocked() const override { return true; }
  int GetZoom() const override { return 1; }
  int GetRecordingAcquisitionMode() const override { return 0; }
};

class ScopeOnBoardTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    board = std::make_unique<kvtest::EngineOnBoard>();
  }
  void TearDown() override {
    pane.reset();
    board.reset();
    kvtest::CoreTest::TearDown();
  }
  CMeasureEngine& Engine() { return board->Engine(); }

  // Opens the board through the start-up, with channel A on the smallest range that holds `volts`
  // (0: on the range the start-up read).
  void Open(double volts) {
    ASSERT_TRUE(RunDeviceStartup(GetGlobalProps(), 0));
    GlobalProps& p = GetGlobalProps();
    p.m_Channels[0].m_nModeEnable = 1;
    p.m_Channels[0].m_nChangeFlags |= CHN_ON;
    const CNxDoubleArray& ranges = p.m_Channels[0].m_Ranges;
    int fitting = -1;
    for (INT_PTR i = 0; i < ranges.GetSize(); ++i)
      if (ranges[i] >= volts && (fitting < 0 || ranges[i] < ranges[fitting])) fitting = static_cast<int>(i);
    ASSERT_GE(fitting, 0);
    if (volts > 0.0) p.SetChannelRangeIndex(0, fitting, TRUE, TRUE);
    pane = std::make_unique<LoggingPane>(&Engine());
    ASSERT_TRUE(pane->CreateEx(0, scope::CWndOsc::kClassName, "Oscilloscope", WS_POPUP, 0, 0, 800, 600, 0, 0));
    // As the program's pane does when it is initialised: the display record starts from the
    // settings read from the board, probes included.
    pane->PostMessage(WM_OSCCOMMAND, 0, 0);
    kvp::headless::Pump();
  }

  std::unique_ptr<kvtest::EngineOnBoard> board;
  std::unique_ptr<LoggingPane> pane;
};

TEST_F(ScopeOnBoardTest, AutoRunsGiveTheSettingsThenRecordAndRepaintPairs) {
  Open(6.0);
  GlobalProps& p = GetGlobalProps();
  p.m_nTriggerMode = 1;
  p.m_nChangeFlags |= CHG_TRIGGER_MODE;
  Engine().Run(1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return pane->Count(24) >= 3; }));
  Engine().StopAcquisitionThread();
  kvp::headless::Pump();
  ASSERT_FALSE(pane->codes.empty());
  EXPECT_EQ(pane->codes.front(), 29);
  EXPECT_EQ(pane->Count(28), pane->Count(24));
  EXPECT_EQ(pane->Count(27) + pane->Count(25) + pane->Count(36), 0);
  // The chart's trace holds the board's 5 V sine.
  const CMeasure& a = *GetTraceList()[0];
  ASSERT_EQ(a.GetCount(), 1000);
  EXPECT_NEAR(a.m_dMax, 5.0, 0.3);
  EXPECT_NEAR(a.m_dMin, -5.0, 0.3);
  EXPECT_EQ(GetCursorSettings().m_Settings.m_nTriggerMode, 1);
}

TEST_F(ScopeOnBoardTest, SingleShowsOneRecordAndTheRunEnds) {
  Open(6.0);
  GlobalProps& p = GetGlobalProps();
  p.m_nTriggerMode = 2;
  p.m_nChangeFlags |= CHG_TRIGGER_MODE;
  p.m_bRunning = 1;
  Engine().Run(1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return pane->Count(25) >= 1; }));
  EXPECT_EQ(pane->codes, (std::vector<int>{29, 27, 25}));
  EXPECT_EQ(p.m_bRunning, 0);
  EXPECT_EQ(GetTraceList()[0]->GetCount(), 1000);
  Engine().StopAcquisitionThread();
}

TEST_F(ScopeOnBoardTest, QuitWhileTheThreadWaitsInASendEndsItCleanly) {
  Open(6.0);
  GlobalProps& p = GetGlobalProps();
  p.m_nTriggerMode = 1;
  Engine().Run(1);
  // Nothing is pumped: the thread soon blocks in its settings query to the pane.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  pane->OnSystemNotify(notify::kFromEngineStop, notify::kQuit, 0);
  EXPECT_FALSE(Engine().IsThreadRunning());
  EXPECT_FALSE(Engine().IsThreadAbandoned());
  EXPECT_FALSE(Engine().IsThreadInside());
  EXPECT_EQ(p.m_Channels[0].m_nRangeIndex, 0);
  EXPECT_EQ(p.m_Channels[1].m_nRangeIndex, 0);
  EXPECT_EQ(p.m_bRunning, 0);
}

TEST_F(ScopeOnBoardTest, AutosetFindsTheSquareWave) {
  board->Board().Update([](sim::BoardScenario& s) {
    s.channelSignals[0] = sim::SignalSource{sim::Waveform::Square, 2.0, 0.5, 200.0};
  });
  Open(200.0);
  RecordingSound sound;
  scope::CWndOsc_Autoset autoset(&Engine(), &sound);
  pane->SetAutoset(&autoset);
  // The scope stands stopped; the autoset button starts the run on the pane's own engine.
  pane->StartAutoset();
  ASSERT_EQ(GetGlobalProps().m_bAutosetActive, 1);
  ASSERT_TRUE(kvtest::PumpUntil([] { return GetGlobalProps().m_bAutosetActive == 0; }));
  kvp::headless::Pump();
  Engine().StopAcquisitionThread();
  kvp::headless::Pump();
  for (const kvp::MessageBoxCall& box : kvp::MessageBoxLog()) ADD_FAILURE() << "box: " << box.text;

  const GlobalProps& p = GetGlobalProps();
  EXPECT_EQ(p.m_nTriggerMode, 1) << "Auto";
  EXPECT_EQ(sound.played, std::vector<int>{2});
  EXPECT_FALSE(autoset.IsWaiting());
  const double periods = 200.0 * p.m_nRecordLength / p.m_TimeBase.GetValueOrZero();
  EXPECT_GE(periods, 3.0) << p.m_TimeBase.GetValueOrZero();
  EXPECT_LE(periods, 10.0) << p.m_TimeBase.GetValueOrZero();
  // -1.5 .. 2.5 V fits the range chosen, and a smaller one would clip it.
  const CChannelProps& a = p.m_Channels[0];
  EXPECT_GE(a.GetRangeValue(), 5.0) << "index " << a.m_nRangeIndex << " of " << a.m_Ranges.GetSize() << " requested " << a.m_nRequestedRangeIndex;
  if (a.m_nRangeIndex + 1 < a.m_Ranges.GetSize()) {
    EXPECT_LT(a.m_Ranges[a.m_nRangeIndex + 1], 5.0);
  }
  EXPECT_LE(autoset.GetProgress(), 12);
}

// The trigger source is channel B, which has no probe: the first autoset record trips the probe
// check, whose stop must end the autoset too, or the pane stays on the autoset panel for good.
TEST_F(ScopeOnBoardTest, AutosetStoppedByTheProbeCheckEnds) {
  board->Board().Update([](sim::BoardScenario& s) {
    s.channelSignals[0] = sim::SignalSource{sim::Waveform::Square, 2.0, 0.5, 200.0};
    s.channelProbeCodes[1] = 0;
  });
  Open(200.0);
  GetGlobalProps().m_nTriggerChannel = 1;
  pane->PostMessage(WM_OSCCOMMAND, 0, 0);
  kvp::headless::Pump();
  ASSERT_EQ(GetCursorSettings().m_Settings.m_nTriggerChannel, 1);
  ASSERT_EQ(GetCursorSettings().m_Settings.m_Channels[1].m_bEnabled, 0) << "no probe on B";
  RecordingSound sound;
  scope::CWndOsc_Autoset autoset(&Engine(), &sound);
  pane->SetAutoset(&autoset);
  pane->StartAutoset();
  ASSERT_EQ(GetGlobalProps().m_bAutosetActive, 1) << "channel A has a probe";
  EXPECT_TRUE(kvtest::PumpUntil([] { return GetGlobalProps().m_bAutosetActive == 0; }, 5));
  kvp::headless::Pump();
  Engine().StopAcquisitionThread();
  kvp::headless::Pump();

  const std::vector<kvp::MessageBoxCall> boxes = kvp::MessageBoxLog();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("No probe connected to trigger source channel.", 0), 0u) << boxes[0].text;
  const GlobalProps& p = GetGlobalProps();
  EXPECT_EQ(p.m_bRunning, 0);
  EXPECT_EQ(p.m_nTriggerMode, 1) << "Auto, as after any autoset that ends without a result";
  EXPECT_TRUE(sound.played.empty());
  EXPECT_FALSE(autoset.IsWaiting());
}

// Autoset measures without a trigger; one that ends without a record (here the probe check
// stopped it) puts the scope back in Auto. The next run must take Auto to the board as well: a
// set-up with trigger control 0 is the free run autoset used, while the screen says "Auto".
TEST_F(ScopeOnBoardTest, AutosetEndedWithoutARecordPutsTheBoardBackInAuto) {
  board->Board().Update([](sim::BoardScenario& s) {
    s.channelSignals[0] = sim::SignalSource{sim::Waveform::Square, 2.0, 0.5, 200.0};
    s.channelProbeCodes[1] = 0;
  });
  Open(200.0);
  GlobalProps& p = GetGlobalProps();
  p.m_nTriggerChannel = 1;
  pane->PostMessage(WM_OSCCOMMAND, 0, 0);
  kvp::headless::Pump();
  RecordingSound sound;
  scope::CWndOsc_Autoset autoset(&Engine(), &sound);
  pane->SetAutoset(&autoset);
  pane->StartAutoset();
  ASSERT_EQ(p.m_bAutosetActive, 1);
  ASSERT_TRUE(kvtest::PumpUntil([] { return GetGlobalProps().m_bAutosetActive == 0; }, 5));
  kvp::headless::Pump();
  ASSERT_EQ(p.m_nTriggerMode, 1);

  // The next run triggers on channel A, which has its probe.
  p.SetTriggerChannel(0);
  pane->codes.clear();
  Engine().Run(1);
  // A record of the autoset's last run may still wait in the queue: count past it.
  ASSERT_TRUE(kvtest::PumpUntil([&] { return pane->Count(24) >= 3; }));
  Engine().StopAcquisitionThread();
  kvp::headless::Pump();
  const sim::BoardState state = board->Board().State();
  ASSERT_GE(state.lastSetup.size(), 16u);
  EXPECT_NE(state.lastSetup[8], 0) << "trigger control: the board still runs free";
}

// The library keeps a channel's range when its probe changes (its start leaves range 0); a 50 A
// clamp accepts only 2..7 and refuses the others. Reading the channel brings the range into the
// probe's window, the library's too: the first run and a run across a probe change send no range
// the board refuses, and the scope measures on.
TEST_F(ScopeOnBoardTest, RangesStayInsideTheWindowOfAClampFoundAtStartOrWhileRunning) {
  struct Case {
    const char* name;
    bool clampAtStart;
  } cases[] = {{"clamp at start", true}, {"clamp plugged in while running", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!board) board = std::make_unique<kvtest::EngineOnBoard>();
    GetGlobalProps().m_bInitialized = 0;
    if (c.clampAtStart) board->Board().Update([](sim::BoardScenario& s) { s.channelProbeCodes[0] = 4; });
    // The clamp on the range the start-up gives it; the test lead on 200 V (range 1), which the
    // clamp refuses.
    Open(c.clampAtStart ? 0.0 : 200.0);
    GlobalProps& p = GetGlobalProps();
    if (c.clampAtStart) {
      EXPECT_EQ(p.m_Channels[0].m_nRangeIndex, 2) << "the clamp's lowest range";
    } else {
      ASSERT_EQ(p.m_Channels[0].m_nRangeIndex, 1);
    }
    p.m_nTriggerMode = 1;
    p.m_nChangeFlags |= CHG_TRIGGER_MODE;
    pane->codes.clear();
    Engine().Run(1);
    ASSERT_TRUE(kvtest::PumpUntil([&] { return pane->Count(24) >= 2; }));
    if (!c.clampAtStart) {
      board->Board().Update([](sim::BoardScenario& s) { s.channelProbeCodes[0] = 4; });
      ASSERT_TRUE(kvtest::PumpUntil([&] { return p.m_Channels[0].m_Ranges.m_nKind == 2 && pane->Count(24) >= 6; }));
    }
    Engine().StopAcquisitionThread();
    kvp::headless::Pump();
    const CChannelProps& a = p.m_Channels[0];
    EXPECT_EQ(a.m_Ranges.m_nKind, 2);
    EXPECT_GE(a.m_nRangeIndex, 2);
    EXPECT_LE(a.m_nRangeIndex, 7);
    uint16_t index = 0;
    ASSERT_EQ(Engine().GetBinding().Oscilloscope()->GetRangeIndex(0, &index), 0);
    EXPECT_EQ(index, a.m_nRangeIndex) << "the library holds the same range";
    EXPECT_EQ(pane->Count(36), 0) << "no error reached the pane";
    for (const kvp::MessageBoxCall& box : kvp::MessageBoxLog()) ADD_FAILURE() << "box: " << box.text;
    pane.reset();
    board.reset();
  }
}

// The scene other tools read, set as the user would have it on the board path.
void SetScene() {
  GlobalProps& p = GetGlobalProps();
  p.m_TimeBase.m_Rates.RemoveAll();
  kvtest::AddScopeRates(p);
  p.m_nRequestedTimeBaseIndex = 9;
  p.SetTimeBaseIndex(9, TRUE, TRUE);
  p.m_nTriggerEdge = 1;
  p.m_nTriggerMode = 0;
  p.m_nSlowRateModifier = 0;
  p.m_nTriggerSourceKind = 1;
  p.m_nTriggerChannel = 1;
  p.m_nTriggerFilter = 1;
  const int range[2] = {3, 5}, position[2] = {60, 30}, coupling[2] = {1, 0};
  for (int ch = 0; ch < 2; ++ch) {
    CChannelProps& c = p.m_Channels[ch];
    c.m_Ranges.RemoveAll();
    for (double r : kvtest::kScopeRanges) c.m_Ranges.Add(r);
    c.m_Ranges.m_dScale = 1.0;
    c.m_Ranges.m_nUnit = 0;
    c.m_nModeEnable = 1;
    c.m_bEnabled = 1;
    c.m_nCoupling = coupling[ch];
    p.SetChannelRangeIndex(ch, range[ch], FALSE, FALSE);
    p.SetChannelPosition(ch, position[ch]);
  }
  p.UpdateTriggerScale();
  p.SetTriggerLevelIndex(200);
  p.SetTriggerPosition(42.0);
  p.m_bRunning = 0;
  p.SetCursorsOn(TRUE);
  GetOscScale().SetTimeOffset(3);
  scope::GetScopeState().InvertState = 2;

  CMeasure& a = *GetTraceList()[0];
  CMeasure& b = *GetTraceList()[1];
  a.SetSize(1000);
  b.SetSize(1000);
  for (int k = 0; k < 1000; ++k) {
    a.SetPoint(k, 12.5 * std::sin(2 * std::numbers::pi * k / 200.0), 0);
    a.m_SaturationFlags[k] = k == 50 ? 1 : k == 150 ? 2 : 0;
    if (k >= 400 && k <= 409) continue;
    b.SetPoint(k, k % 100 < 50 ? 2.0 : -1.0, 0);
    b.m_SaturationFlags[k] = k == 0 ? 1 : k == 50 ? 2 : 0;
  }
  a.m_nMultiplier = 1;
  b.m_nMultiplier = -1;
}

TEST_F(ScopeOnBoardTest, TheSceneAsSettingsFileAndCustomSlots) {
  Open(6.0);
  Engine().StopAcquisitionThread();
  SetScene();
  CStringArrayEx lines;
  ASSERT_TRUE(Engine().ApplyDeviceSettings(GetGlobalProps(), lines)) << (lines.GetSize() ? (LPCSTR)lines[0] : "");

  QuietPanel panel;
  scope::CEngineSnapshotDevice device(Engine());
  ASSERT_FALSE(device.IsEngineTesterPath());
  const fs::path dir = fs::temp_directory_path() / ("scope_scene_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string oss = (dir / "scene.oss").string();
  ASSERT_TRUE(scope::SaveSettingsFile(oss.c_str(), panel, device).m_bOk);

  scope::SettingsSnapshot s;
  ASSERT_TRUE(scope::ReadSettingsFile(oss.c_str(), s).m_bOk);
  EXPECT_DOUBLE_EQ(s.m_dTriggerPosition, 42.0);
  EXPECT_EQ(s.m_nLevel, 200);
  EXPECT_EQ(s.m_nEdge, 1);
  EXPECT_EQ(s.m_nTriggerMode, 0);
  EXPECT_EQ(s.m_nRollMode, 0);
  EXPECT_EQ(s.m_nSource, 1);
  EXPECT_EQ(s.m_nSensitivity, 1);
  EXPECT_EQ(s.m_nRange, (std::array<int32_t, 2>{3, 5}));
  EXPECT_EQ(s.m_nPosition, (std::array<int32_t, 2>{60, 30}));
  EXPECT_EQ(s.m_nCoupling, (std::array<int32_t, 2>{1, 0}));
  EXPECT_EQ(s.m_nOn, (std::array<int32_t, 2>{1, 1}));
  EXPECT_EQ(s.m_nTimeBaseIndex, 9);
  EXPECT_EQ(s.m_nWindowOffset, 3);
  EXPECT_EQ(s.m_nRunning, 0);
  EXPECT_EQ(s.m_nZoom, 1);
  EXPECT_EQ(s.m_nCursorsOn, 1);
  EXPECT_EQ(s.m_nInversion, 2);
  // The board's own block from GetAll, and the engine-tester area completed from it.
  EXPECT_EQ(s.m_Board.m_Words[1] & 0xFFFF, 9);
  EXPECT_EQ(s.m_EngineTester.m_Words[0], 1);
  EXPECT_EQ(s.m_EngineTester.m_Channels, s.m_Board.m_Channels);

  // Loading it back after the user changed things restores the scene and the board's block.
  GetGlobalProps().SetTriggerLevelIndex(10);
  GetGlobalProps().SetChannelPosition(0, 5);
  ASSERT_TRUE(scope::LoadSettingsFile(oss.c_str(), panel, device).m_bOk);
  EXPECT_EQ(GetGlobalProps().m_nTriggerLevel, 200);
  EXPECT_EQ(GetGlobalProps().m_Channels[0].m_nPosition, 60);
  scope::DeviceBlock back;
  ASSERT_TRUE(device.GetAll(false, back));
  EXPECT_EQ(back, s.m_Board);

  // Two custom slots: the scene in 2, the scene with level 77 in 7.
  const std::string slots = (dir / "CustomSet.dat").string();
  ASSERT_TRUE(scope::SaveCustomSet(slots.c_str(), 2, panel, device).m_bOk);
  GetGlobalProps().SetTriggerLevelIndex(77);
  ASSERT_TRUE(scope::SaveCustomSet(slots.c_str(), 7, panel, device).m_bOk);
  scope::SettingsSnapshot seven;
  ASSERT_TRUE(scope::LoadCustomSlot(slots.c_str(), 7, seven).m_bOk);
  EXPECT_EQ(seven.m_nLevel, 77);

  const fs::path out = scope_test::ScopeFilesDir();
  if (!out.empty()) {
    fs::create_directories(out);
    fs::copy_file(oss, out / "scene.oss", fs::copy_options::overwrite_existing);
    fs::copy_file(slots, out / "CustomSet.dat", fs::copy_options::overwrite_existing);
  }
  fs::remove_all(dir);
}

}  // namespace
