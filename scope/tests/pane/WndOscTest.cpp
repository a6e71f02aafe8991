// The scope pane's hub on the headless display: the restart matrix, the order in which the
// children hear a notification, the saved-scope strip bits, the probe check, and the data path
// fed by a scripted acquisition thread (Auto, Single, rolling resets, the mode-2 countdown, the
// settings hand-back, bounded read restarts and the error log).
#include <scope/pane/WndOsc.h>

#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureEngine.h>
#include <core/Messages.h>
#include <core/SavedScope.h>

#include <kvtest/CoreGlobals.h>

#include <platform/display.h>
#include <platform/sync.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace hl = kvp::headless;

// Every child slot logs what it hears as "slot:sender:code".
class LoggingTarget final : public scope::IScopeNotifyTarget {
 public:
  LoggingTarget(int slot, std::vector<std::string>& log) : slot_(slot), log_(log) {}
  void OnSystemNotify(notify::Sender sender, notify::Code code, int) override {
    log_.push_back(std::to_string(slot_) + ":" + std::to_string(notify::ToInt(sender)) + ":" +
                   std::to_string(notify::ToInt(code)));
  }

 private:
  int slot_;
  std::vector<std::string>& log_;
};

class RecordingView : public scope::IScopeView {
 public:
  std::vector<std::string> log;
  void SetTimeRulerFromScale() override { log.push_back("ruler from scale"); }
  void RepaintTimeRuler() override { log.push_back("ruler repaint"); }
  void RepaintStrips(int mask) override { log.push_back("strips " + std::to_string(mask)); }
  void RedrawAll() override { log.push_back("redraw all"); }
  void ShowByOptions(int options) override { log.push_back("show " + std::to_string(options)); }
  void LayoutChildren() override { log.push_back("layout"); }
  void ApplyAutosetVisibility(bool running, int) override { log.push_back(running ? "autoset view" : "normal view"); }
};

// The pane with the WM_OSCMEASURE codes it received, in order.
class LoggingPane : public scope::CWndOsc {
 public:
  std::vector<int> measureCodes;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_OSCMEASURE) measureCodes.push_back(static_cast<int>(wParam));
    return CWndOsc::WindowProc(message, wParam, lParam);
  }
};

void ClearFlags(CMeasureProps& p) {
  p.m_nChangeFlags = 0;
  p.m_TimeBase.m_nFlags = 0;
  for (CChannelProps& c : p.m_Channels) c.m_nChangeFlags = 0;
}

// A record measured with the current settings in the given roll and trigger modes (which
// GlobalProps takes too, as the user set them), every channel holding `points` samples.
AcquisitionRecord Record(int mode, int trigger, int points, double value) {
  GlobalProps& p = GetGlobalProps();
  p.m_nSlowRateModifier = mode;
  p.m_nTriggerMode = trigger;
  AcquisitionRecord r;
  r.m_Settings = p;
  ClearFlags(r.m_Settings);
  for (CSignalData& s : r.m_Signal) {
    s.SetSize(points);
    for (int k = 0; k < points; ++k) s.SetPoint(k, value, 0);
  }
  return r;
}

class WndOscTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    GetCursorSettings() = OscMeasureRecord();
    GlobalProps& p = GetGlobalProps();
    for (double r : {1e3, 1e4, 1e5}) p.m_TimeBase.m_Rates.Add(r);
    p.m_nRecordLength = 1000;
    p.m_dTriggerPosition = 30.0;
    p.SetTimeBaseIndex(1, FALSE, TRUE);
    p.m_nRequestedTimeBaseIndex = 1;
    for (CChannelProps& c : p.m_Channels) {
      for (double r : {40.0, 20.0, 8.0}) c.m_Ranges.Add(r);
      c.m_nRangeIndex = 0;
      c.m_bEnabled = 1;
      c.m_nModeEnable = 1;
    }
    AddTrace();
    AddTrace();
    pane = std::make_unique<LoggingPane>();
    ClearFlags(p);
    GetCursorSettings().m_Settings = p;
    ASSERT_TRUE(pane->CreateEx(0, scope::CWndOsc::kClassName, "Oscilloscope", WS_POPUP, 0, 0, 800, 600, 0, 0));
    for (int i = 0; i < scope::CWndOsc::NOTIFY_SLOT_COUNT; ++i) {
      targets.push_back(std::make_unique<LoggingTarget>(i, heard));
      pane->SetNotifyTarget(static_cast<scope::CWndOsc::NotifySlot>(i), targets.back().get());
    }
    pane->SetView(&view);
    logPath = (std::filesystem::temp_directory_path() / ("scope_hub_" + std::to_string(::getpid()) + ".log")).string();
    std::filesystem::remove(logPath);
    pane->SetErrorLogPath(logPath);
  }
  void TearDown() override {
    pane.reset();
    targets.clear();
    std::filesystem::remove(logPath);
    kvtest::CoreTest::TearDown();
  }

  // Runs `feed` on a second thread as the acquisition thread would, serving its sends on this
  // one, then processes what it posted.
  void Feed(const std::function<void()>& feed) {
    HANDLE done = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    std::thread thread([&] {
      feed();
      SetEvent(done);
    });
    kvp::WaitForObjectsServingSends(1, &done, INFINITE);
    thread.join();
    CloseHandle(done);
    hl::Pump();
  }

  bool Heard(const std::string& entry) const { return std::find(heard.begin(), heard.end(), entry) != heard.end(); }

  kvp::HeadlessWorld world;
  std::unique_ptr<LoggingPane> pane;
  std::vector<std::unique_ptr<LoggingTarget>> targets;
  std::vector<std::string> heard;
  RecordingView view;
  std::string logPath;
};

TEST_F(WndOscTest, SettingChangesRestartByRollAndTriggerMode) {
  struct Case {
    int roll, trigger, sender, code;
    bool restarts;
  };
  const Case cases[] = {
      {1, 2, 1, 5, true},   {2, 0, 1, 21, true},  {1, 0, 6, 3, false},  {0, 0, 1, 3, true},
      {0, 0, 1, 5, false},  {0, 0, 1, 21, false}, {0, 1, 1, 3, false},  {0, 1, 1, 23, true},
      {0, 2, 1, 23, false}, {0, 2, 1, 3, false},  {0, 0, 6, 23, false}, {1, 0, 1, 40, false},
  };
  GlobalProps& p = GetGlobalProps();
  for (const Case& c : cases) {
    p.m_nSlowRateModifier = c.roll;
    p.m_nTriggerMode = c.trigger;
    p.m_bRunning = 0;
    heard.clear();
    pane->OnSystemNotify(notify::Sender{c.sender}, notify::Code{c.code}, 0);
    EXPECT_EQ(p.m_bRunning == 1, c.restarts) << c.roll << "/" << c.trigger << " code " << c.code;
    EXPECT_EQ(Heard("0:5:24"), c.restarts) << "the restart is announced before the change is forwarded";
  }
  // Code 4 restarts from anyone but the sender 6.
  p.m_bRunning = 0;
  pane->OnSystemNotify(notify::kFromSnapshot, notify::kTriggerModeChanged, 0);
  EXPECT_EQ(p.m_bRunning, 0);
  pane->OnSystemNotify(notify::kFromChart, notify::kTriggerModeChanged, 0);
  EXPECT_EQ(p.m_bRunning, 1);
}

TEST_F(WndOscTest, ChildrenHearInOrderAndCodesRepaint) {
  pane->OnSystemNotify(notify::kFromChart, notify::kChannelPositionA, 0);
  const std::vector<std::string> order = {"0:2:13", "1:2:13", "2:2:13", "3:2:13", "4:2:13", "5:2:13"};
  EXPECT_EQ(heard, order);
  EXPECT_EQ(view.log.back(), "redraw all");

  // Code 26: the first five only, after the probe check, with the ruler and the strips.
  heard.clear();
  view.log.clear();
  pane->OnSystemNotify(notify::kFromAnyone, notify::kNewRecord, 7);
  std::vector<std::string> five(order.begin(), order.end() - 1);
  for (std::string& s : five) s = s.substr(0, 2) + "-1:26";
  EXPECT_EQ(std::vector<std::string>(heard.end() - 5, heard.end()), five);
  const auto ruler = std::find(view.log.begin(), view.log.end(), "ruler from scale");
  ASSERT_NE(ruler, view.log.end());
  EXPECT_EQ(*(ruler + 1), "ruler repaint");
  EXPECT_EQ(view.log.back(), "strips 7");

  struct Case {
    int sender, code;
    const char* last;  // null: nothing repainted
  };
  const Case cases[] = {{1, 3, "strips 7"},      {1, 46, "strips 4"},    {1, 9, "redraw all"},
                        {6, 9, "ruler repaint"}, {6, 50, "redraw all"},  {1, 38, "redraw all"},
                        {1, 81, nullptr}};
  for (const Case& c : cases) {
    view.log.clear();
    pane->OnSystemNotify(notify::Sender{c.sender}, notify::Code{c.code}, 0);
    if (c.last) {
      ASSERT_FALSE(view.log.empty()) << c.code;
      EXPECT_EQ(view.log.back(), c.last) << c.sender << "/" << c.code;
    } else {
      EXPECT_TRUE(view.log.empty()) << c.code;
    }
  }
  // Quit reaches no child.
  heard.clear();
  pane->OnSystemNotify(notify::kFromEngineStop, notify::kQuit, 0);
  for (int slot = 0; slot < scope::CWndOsc::NOTIFY_SLOT_COUNT; ++slot) EXPECT_FALSE(Heard(std::to_string(slot) + ":0:1"));
}

TEST_F(WndOscTest, SavedScopeStripsFollowTheSavedScopes) {
  pane->m_options |= scope::CWndOsc::OPT_SAVED_CD | scope::CWndOsc::OPT_SAVED_EF;
  pane->OnSystemNotify(notify::kFromScopePane, notify::kSavedScopeOpened, 0);
  EXPECT_EQ(pane->m_options, scope::CWndOsc::OPT_INITIAL);
  GetSavedScopes()[1].m_bEmpty = 0;
  pane->OnSystemNotify(notify::kFromScopePane, notify::kSavedScopesCleared, 0);
  EXPECT_EQ(pane->m_options, scope::CWndOsc::OPT_INITIAL | scope::CWndOsc::OPT_SAVED_EF);
  const std::vector<std::string> tail = {"show " + std::to_string(pane->m_options), "layout", "redraw all"};
  EXPECT_EQ(std::vector<std::string>(view.log.end() - 3, view.log.end()), tail);
}

TEST_F(WndOscTest, ProbeCheckCopiesChangedProbesAndStopsWithoutTheTriggerProbe) {
  GlobalProps& p = GetGlobalProps();
  OscMeasureRecord& d = GetCursorSettings();
  d.m_Settings = p;
  p.m_bRunning = 1;
  // Channel A's record holds a new probe with another table; B, the trigger channel, has none.
  CChannelProps& a = d.m_Settings.m_Channels[0];
  a.m_Ranges.RemoveAll();
  for (double r : {100.0, 50.0, 20.0, 10.0}) a.m_Ranges.Add(r);
  a.m_Ranges.m_nKind = 2;
  a.m_nRangeIndex = 1;
  a.m_nRequestedRangeIndex = 3;
  d.m_Settings.m_nTriggerChannel = 1;
  d.m_Settings.m_Channels[1].m_bEnabled = 0;
  p.m_nSlowRateModifier = 1;

  pane->OnSystemNotify(notify::kFromAnyone, notify::kNewRecord, 0);
  const auto boxes = kvp::MessageBoxLog();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "No probe connected to trigger source channel.\n\nChange trigger channel or connect the probe.");
  EXPECT_EQ(boxes[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(p.m_Channels[0].m_Ranges.GetSize(), 4);
  EXPECT_EQ(p.m_Channels[0].m_Ranges.m_nKind, 2);
  EXPECT_EQ(p.m_Channels[0].m_nRangeIndex, 3) << "the requested range once the table came";
  EXPECT_EQ(p.m_bRunning, 1) << "the rolling mode restarts after the copy";
  EXPECT_TRUE(Heard("0:1:37"));
  EXPECT_TRUE(Heard("4:1:37"));
  // Nothing changed: the second check copies nothing and asks no restart.
  heard.clear();
  p.m_bRunning = 0;
  d.m_Settings.m_Channels[1].m_bEnabled = 1;
  d.m_Settings.m_Channels[0].m_nRequestedRangeIndex = -1;
  d.m_Settings.m_Channels[0].m_Ranges.CopyFrom(p.m_Channels[0].m_Ranges);
  pane->OnSystemNotify(notify::kFromAnyone, notify::kNewRecord, 0);
  EXPECT_EQ(p.m_bRunning, 0);
  EXPECT_EQ(kvp::MessageBoxLog().size(), 1u);
}

TEST_F(WndOscTest, AutoGivesTheSettingsThenRecordAndRepaintPairs) {
  GlobalProps& p = GetGlobalProps();
  p.m_nChangeFlags = CHG_TRIGGER_LEVEL;
  CMeasureProps settings;
  AcquisitionRecord record = Record(0, 1, 1000, 1.5);
  std::vector<int> answers;
  Feed([&] { answers.push_back(pane->OnOscQuerySettings(settings, 1)); });
  for (int i = 0; i < 3; ++i) Feed([&] { answers.push_back(pane->OnOscData(record)); });
  EXPECT_EQ(pane->measureCodes, (std::vector<int>{29, 28, 24, 28, 24, 28, 24}));
  EXPECT_EQ(answers, (std::vector<int>{1, 1, 1, 1}));
  // The engine got the pending change, and GlobalProps forgot it; the time base is always sent.
  EXPECT_EQ(settings.m_nChangeFlags, CHG_TRIGGER_LEVEL);
  EXPECT_EQ(settings.m_TimeBase.m_nFlags & TB_INDEX_CHANGED, TB_INDEX_CHANGED);
  EXPECT_EQ(p.m_nChangeFlags, 0);
  EXPECT_EQ(GetTraceList()[0]->GetCount(), 1000);
  EXPECT_EQ(GetTraceList()[0]->m_Values[999], 1.5);
  EXPECT_EQ(GetCursorSettings().m_Settings.m_nTriggerMode, 1);
  EXPECT_EQ(pane->m_settingsFresh, 0);
  EXPECT_TRUE(Heard("2:-1:26")) << "every record repaints the chart through the hub";
}

// A new time base is requested; the record measured before it leaves the current one, the first
// record measured with it makes it current.
TEST_F(WndOscTest, TheCurrentTimeBaseFollowsTheRecordsOnceTheRequestedOneArrives) {
  GlobalProps& p = GetGlobalProps();
  p.m_nRequestedTimeBaseIndex = 2;
  AcquisitionRecord before = Record(0, 1, 1000, 1.0);
  Feed([&] { pane->OnOscData(before); });
  EXPECT_EQ(p.GetTimeBaseIndex(), 1);
  AcquisitionRecord after = Record(0, 1, 1000, 1.0);
  after.m_Settings.SetTimeBaseIndex(2, FALSE, TRUE);
  Feed([&] { pane->OnOscData(after); });
  EXPECT_EQ(p.GetTimeBaseIndex(), 2);
  EXPECT_EQ(p.m_TimeBase.GetValueOrZero(), 1e5);
  EXPECT_EQ(p.m_nRequestedTimeBaseIndex, 2);
}

TEST_F(WndOscTest, SingleShowsOneRecordAndEndsTheRun) {
  GlobalProps& p = GetGlobalProps();
  p.m_bRunning = 1;
  AcquisitionRecord record = Record(0, 2, 1000, 2.0);
  int answer = -1;
  Feed([&] { answer = pane->OnOscData(record); });
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(pane->measureCodes, (std::vector<int>{27, 25}));
  EXPECT_EQ(p.m_bRunning, 0);
  EXPECT_TRUE(Heard("3:8:25"));
}

TEST_F(WndOscTest, RollingTracesKeepTheNewestThousandAndResetOnChanges) {
  AcquisitionRecord first = Record(1, 1, 100, 1.0);
  AcquisitionRecord second = Record(1, 1, 50, 2.0);
  Feed([&] {
    pane->OnOscData(first);
    pane->OnOscData(second);
  });
  CMeasure& a = *GetTraceList()[0];
  ASSERT_EQ(a.GetCount(), 1000);
  EXPECT_EQ(a.m_Values[849], 0.0);
  EXPECT_EQ(a.m_Values[850], 1.0);
  EXPECT_EQ(a.m_Values[949], 1.0);
  EXPECT_EQ(a.m_Values[950], 2.0);
  EXPECT_EQ(a.m_Values[999], 2.0);

  // A record whose settings carry a change resets the rolling trace.
  AcquisitionRecord changed = Record(1, 1, 10, 3.0);
  changed.m_Settings.m_nChangeFlags = CHG_TRIGGER_EDGE;
  Feed([&] { pane->OnOscData(changed); });
  EXPECT_EQ(a.GetCount(), 1000);
  EXPECT_EQ(a.m_Values[989], 0.0);
  EXPECT_EQ(a.m_Values[990], 3.0);

  // Back to the normal mode: the first record resets and is copied whole.
  AcquisitionRecord normal = Record(0, 0, 500, 4.0);
  Feed([&] { pane->OnOscData(normal); });
  EXPECT_EQ(a.GetCount(), 500);
  EXPECT_EQ(a.m_Values[0], 4.0);
}

TEST_F(WndOscTest, ModeTwoEndsWhenTheRemainderReachesThePreTriggerShare) {
  // Trigger at 30 % of 1000 points: the run ends once at most 300 samples are still wanted.
  AcquisitionRecord r = Record(2, 1, 200, 1.0);
  r.m_bTriggered = 1;
  r.m_nTriggerIndex = 700;
  r.m_Settings.m_nRollSampleCount = 1000;
  std::vector<int> answers;
  Feed([&] {
    for (int i = 0; i < 4; ++i) {
      ClearFlags(r.m_Settings);
      answers.push_back(pane->OnOscData(r));
    }
  });
  // Record 1: 700 - 200 + 1000 = 1500 wanted; each further record drops 200: 1300, 1100, 900.
  EXPECT_EQ(GetCursorSettings().m_nTriggerIndex, 900);
  EXPECT_EQ(answers, (std::vector<int>{1, 1, 1, 1}));
  std::vector<int> more;
  Feed([&] {
    for (int i = 0; i < 4; ++i) {
      ClearFlags(r.m_Settings);
      more.push_back(pane->OnOscData(r));
    }
  });
  // 700, 500, 300: the third ends the run with 25.
  EXPECT_EQ(more[0], 1);
  EXPECT_EQ(more[1], 1);
  EXPECT_EQ(more[2], 0);
  EXPECT_EQ(pane->measureCodes[pane->measureCodes.size() - 1], 25);
}

TEST_F(WndOscTest, ChangesMadeWhileRunningGoBackWithTheNextRecordOnce) {
  GlobalProps& p = GetGlobalProps();
  AcquisitionRecord r = Record(0, 0, 1000, 1.0);
  p.m_nChangeFlags = CHG_TRIGGER_EDGE;
  p.m_Channels[1].m_nMarkWord = 1;
  Feed([&] { pane->OnOscData(r); });
  EXPECT_EQ(r.m_Settings.m_nChangeFlags, CHG_TRIGGER_EDGE);
  EXPECT_EQ(p.m_nChangeFlags, 0);
  EXPECT_EQ(p.m_Channels[1].m_nMarkWord & 1, 0) << "the rescale mark is handed over";
  Feed([&] { pane->OnOscData(r); });
  EXPECT_EQ(r.m_Settings.m_nChangeFlags, 0);
}

TEST_F(WndOscTest, ReadFailuresRestartThreeTimesThenTheFourthIsShown) {
  GlobalProps& p = GetGlobalProps();
  MeterResult failure;
  failure.m_nStatus = 7;
  failure.m_Lines.Add("read timed out");
  for (int i = 0; i < 3; ++i) {
    p.m_bRunning = 0;
    Feed([&] { pane->OnOscError(failure); });
    EXPECT_EQ(p.m_bRunning, 1) << i;
  }
  EXPECT_TRUE(kvp::MessageBoxLog().empty());
  EXPECT_FALSE(std::filesystem::exists(logPath));
  Feed([&] { pane->OnOscError(failure); });
  ASSERT_EQ(kvp::MessageBoxLog().size(), 1u);
  EXPECT_EQ(kvp::MessageBoxLog()[0].text, scope::kOscErrorBoxText);
  EXPECT_EQ(pane->measureCodes.back(), 25);
  EXPECT_EQ(p.m_bRunning, 0);

  // A good record resets the count.
  AcquisitionRecord r = Record(0, 0, 10, 1.0);
  Feed([&] {
    pane->OnOscError(failure);
    pane->OnOscData(r);
    pane->OnOscError(failure);
    pane->OnOscError(failure);
    pane->OnOscError(failure);
  });
  EXPECT_EQ(kvp::MessageBoxLog().size(), 1u);
}

// After a stop (the pane left, the user's Stop) the last start of the stopped run may still fail,
// on a board already at work for someone else: that run shows nothing. A new run reports again.
TEST_F(WndOscTest, ErrorsOfAStoppedRunAreNotShown) {
  MeterResult failure;
  failure.m_nStatus = 5;
  failure.m_Lines.Add("Error - cannot START MEASUREMENT [err code:8]");
  pane->OnSystemNotify(notify::kFromEngineStop, notify::kRunStopped, 0);  // what StopMeasurement tells the hub
  Feed([&] { pane->OnOscError(failure); });
  EXPECT_TRUE(kvp::MessageBoxLog().empty());
  EXPECT_FALSE(std::filesystem::exists(logPath));
  failure.m_nStatus = 7;
  Feed([&] { pane->OnOscError(failure); });
  EXPECT_EQ(GetGlobalProps().m_bRunning, 0) << "no read restart for a stopped run";

  // A new run's start may be told to the hub before the thread has reported the old run's last
  // start; what comes after the thread asked for the new run's settings is the new run's.
  pane->OnSystemNotify(notify::kFromControlPanel, notify::kRunStarted, 0);
  failure.m_nStatus = 5;
  Feed([&] { pane->OnOscError(failure); });
  EXPECT_TRUE(kvp::MessageBoxLog().empty());
  CMeasureProps settings;
  Feed([&] { pane->OnOscQuerySettings(settings, 1); });
  Feed([&] { pane->OnOscError(failure); });
  EXPECT_EQ(kvp::MessageBoxLog().size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(logPath));
}

TEST_F(WndOscTest, TwoErrorsGiveTwoLogBlocks) {
  MeterResult first;
  first.m_nStatus = 6;
  first.m_Lines.Add("SetAll failed");
  first.m_Lines.Add("code 12");
  MeterResult second;
  second.m_nStatus = 9;
  Feed([&] {
    pane->OnOscError(first);
    pane->OnOscError(second);
  });
  std::ifstream in(logPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string rule(46, '-');
  EXPECT_EQ(text.str(), "ERROR: Cannot set params\nDetails:\nSetAll failed\ncode 12\n" + rule +
                            "\nERROR: No response\nDetails:\n\n" + rule + "\n");
  EXPECT_EQ(kvp::MessageBoxLog().size(), 2u);
}

}  // namespace
