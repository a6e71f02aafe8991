// The leak check panel on the headless display with the virtual clock, against a scripted leak
// test and link: the cylinder-count wrap, the start refusals, the worker's results and errors,
// abort, stale results, the notice, the bars and texts it draws, and its print accessor.
#include <enginetester/LeakCheck.h>

#include <ui/dialogs/DialogResources.h>
#include <ui/dialogs/DlgTurnOn.h>

#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/MotortesterData.h>
#include <core/Reg.h>
#include <core/TextIds.h>

#include <kv310/Kv310.h>

#include "Kv310Stubs.h"

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Pump.h>
#include <kvtest/Screenshots.h>

#include <platform/display.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

namespace hl = kvp::headless;

// The leak test of the measurement library, scripted: the codes of each slot, the probe kind,
// the results Read gives, and a Read that blocks until the test lets it go.
class ScriptedLeak final : public IMTLeakTest_15 {
 public:
  ScriptedLeak() { release = CreateEvent(nullptr, TRUE, TRUE, nullptr); }
  ~ScriptedLeak() { CloseHandle(release); }
  int SelectInput(uint8_t input) override {
    inputs.push_back(input);
    return selectCode;
  }
  int GetInput(uint8_t*) override { return 0; }
  int ReadProbe(ProbeDescriptor* probe) override {
    probe->kind = probeKind;
    return probeCode;
  }
  int Start() override {
    ++starts;
    return startCode;
  }
  int Read(uint8_t count, float* results) override {
    WaitForSingleObject(release, INFINITE);
    readCount = count;
    for (int i = 0; i < count; ++i) results[i] = values[i];
    return readCode;
  }
  std::vector<int> inputs;
  int selectCode = 0, probeCode = 0, probeKind = 3, startCode = 0, readCode = 0;
  std::atomic<int> starts{0}, readCount{-1};
  float values[8] = {100.0f, 123.4f, 50.0f, 0.0f, 75.0f, 25.0f, 9.0f, 9.0f};
  HANDLE release;
};

class ScriptedLink final : public ICommunication_1 {
 public:
  ScriptedLink() { idle = CreateEvent(nullptr, TRUE, TRUE, nullptr); }
  ~ScriptedLink() { CloseHandle(idle); }
  HANDLE GetIdleEvent() override { return noIdleEvent ? 0 : idle; }
  int GetState() override { return 2; }
  int Open() override { return 0; }
  int Close() override { return 0; }
  int Start() override { return 0; }
  int Stop() override { return 0; }
  int Recover() override { return ++recovers, 0; }
  int AbortRead() override { return ++aborts, 0; }
  int WaitIdle() override { return 0; }
  int SetNotification(HWND, UINT, UINT) override { return 0; }
  HANDLE idle;
  bool noIdleEvent = false;
  std::atomic<int> recovers{0}, aborts{0};
};


class LeakCheckTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    CReg().WriteDword(HKEY_CURRENT_USER, CDlgTurnOn::kBehaviourKey, CDlgTurnOn::kShowMessage, 0);
    kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDOK; });
    host.CreateTop(0, 0, 640, 480);
  }
  void TearDown() override {
    SetEvent(leak.release);
    panel.reset();
    host.DestroyWindow();
    kvtest::CoreTest::TearDown();
  }
  void Create() {
    panel = std::make_unique<CWndSpecialTest_LeakCheck>();
    panel->SetLibrary(&leak, &link);
    ASSERT_TRUE(panel->Create("WndLeakCheck", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(0, 0, 600, 440), &host, 29));
    hl::Pump();
  }
  void ClickStart() {
    CRect r;
    panel->m_leakButton.GetClientRect(&r);
    hl::Click(panel->m_leakButton.GetSafeHwnd(), r.CenterPoint());
  }
  // The worker waits for the link's idle event: the recording is under way until it is set.
  void Recording() { ResetEvent(link.idle); }
  void Recorded() { SetEvent(link.idle); }
  bool Ended() {
    return kvtest::PumpUntil([&] { return !panel->Running(); });
  }
  std::vector<float> Results() {
    int count = 0;
    float r[6] = {-1, -1, -1, -1, -1, -1};
    panel->GetLeakResults(&count, &r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
    return std::vector<float>(r, r + count);
  }
  // The boxes shown since the last MarkBoxes.
  void MarkBoxes() { boxesSeen = kvp::MessageBoxLog().size(); }
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    const auto log = kvp::MessageBoxLog();
    for (size_t i = boxesSeen; i < log.size(); ++i) texts.push_back(log[i].text);
    return texts;
  }
  size_t boxesSeen = 0;
  std::vector<std::string> Drawn() {
    kvp::StartTextLog();
    panel->Redraw();
    panel->m_leakButton.Redraw();
    kvp::StopTextLog();
    std::vector<std::string> out;
    for (HWND w : {panel->GetSafeHwnd(), panel->m_leakButton.GetSafeHwnd()})
      for (const auto& t : kvp::DrawnTexts(w)) out.push_back(t.text);
    return out;
  }
  bool Drew(const std::string& text) {
    for (const auto& t : Drawn())
      if (t == text) return true;
    return false;
  }

  kvp::HeadlessWorld world;
  kvtest::HostWindow host;
  ScriptedLeak leak;
  ScriptedLink link;
  std::unique_ptr<CWndSpecialTest_LeakCheck> panel;
};

TEST_F(LeakCheckTest, WithoutTheBoardTheCountRunsThreeToSixInACircleAndClearsTheBars) {
  Create();
  ASSERT_FALSE(panel->EngineTester());
  EXPECT_TRUE(panel->m_cylinderCount.IsWindowVisible());
  ClickStart();
  ASSERT_TRUE(Ended());
  EXPECT_EQ(Results(), (std::vector<float>{100.0f, 100.0f, 50.0f, 0.0f}));

  struct Step {
    int arrow;  // the control's value before the wrap
    int shown;
  };
  // Up from 4: 5, 6, then 7 wraps to 3; down from 3: 2 wraps to 6.
  const Step steps[] = {{5, 5}, {6, 6}, {7, 3}, {2, 6}};
  for (const Step& s : steps) {
    panel->m_cylinderCount.record.value = s.arrow;
    panel->m_cylinderCount.ReportValue();
    EXPECT_EQ(panel->CylinderCount(), s.shown);
    EXPECT_EQ(static_cast<int>(panel->m_cylinderCount.record.value), s.shown);
    EXPECT_EQ(Results(), std::vector<float>(s.shown, 0.0f)) << "a change clears the results";
  }
}

TEST_F(LeakCheckTest, AResultOfTheLibraryIsShownWithItsBarsAndStoredAtMost100) {
  Create();
  Recording();
  ClickStart();
  EXPECT_TRUE(panel->Running());
  EXPECT_FALSE(panel->m_cylinderCount.IsWindowEnabled());
  EXPECT_TRUE(Drew("Abort Test"));
  EXPECT_TRUE(Drew("Starting Up")) << "the blink starts shown";
  hl::Advance(600);
  EXPECT_FALSE(Drew("Starting Up")) << "then blinks every 600 ms";
  kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("leak-check-running").c_str());

  Recorded();
  ASSERT_TRUE(Ended());
  EXPECT_EQ(leak.readCount.load(), 4);
  EXPECT_EQ(Results(), (std::vector<float>{100.0f, 100.0f, 50.0f, 0.0f})) << "123.4 arrives as 100";
  EXPECT_TRUE(panel->m_cylinderCount.IsWindowEnabled());
  const auto texts = Drawn();
  for (const char* label : {"100.0%", "50.0%", "0.0%", "25%", "100%"})
    EXPECT_NE(std::find(texts.begin(), texts.end(), label), texts.end()) << label;
  EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string("100.0%")), 2);
  EXPECT_TRUE(Boxes().empty());
  kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("leak-check-results").c_str());
}

TEST_F(LeakCheckTest, EndingsByCode) {
  struct Case {
    const char* what;
    bool noIdle;
    int startCode, readCode;
    bool error;
    int recovers;
    std::vector<std::string> boxes;
  };
  const std::vector<Case> cases = {
      {"done", false, 0, 0, false, 0, {}},
      {"no current signal", false, 0, kv310::kLeakAnalysisFailed, false, 0,
       {"Leak check was not successfully.\nPlease, check connecting of current probe."}},
      {"read failed", false, 0, kv310::kBadReply, true, 1, {}},
      {"start failed", false, kv310::kLinkBusy, 0, true, 1, {}},
      {"no idle event", true, 0, 0, true, 1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MarkBoxes();
    link.recovers = 0;
    link.noIdleEvent = c.noIdle;
    leak.startCode = c.startCode;
    leak.readCode = c.readCode;
    Create();
    ClickStart();
    ASSERT_TRUE(Ended());
    EXPECT_EQ(panel->ErrorShown(), c.error);
    EXPECT_EQ(link.recovers.load(), c.recovers);
    EXPECT_EQ(Boxes(), c.boxes);
    if (c.readCode != 0 || c.startCode != 0 || c.noIdle) {
      EXPECT_EQ(Results(), std::vector<float>(4, 0.0f));
    }
    EXPECT_EQ(Drew("Error"), c.error);
  }
}

TEST_F(LeakCheckTest, AbortShowsZeroBarsNotErrorAndAStaleEndChangesNothing) {
  Create();
  Recording();
  ClickStart();
  ASSERT_TRUE(panel->Running());
  ClickStart();  // "Abort Test"
  EXPECT_FALSE(panel->Running());
  EXPECT_EQ(link.aborts.load(), 1);
  hl::Pump();
  EXPECT_FALSE(panel->ErrorShown());
  EXPECT_EQ(Results(), std::vector<float>(4, 0.0f));
  EXPECT_EQ(leak.readCount.load(), -1) << "the aborted recording is never read";

  // A new test at once: the first test's late end (if still queued) must not end this one.
  Recording();
  ClickStart();
  hl::Pump();
  EXPECT_TRUE(panel->Running());
  Recorded();
  ASSERT_TRUE(Ended());
  EXPECT_EQ(Results()[2], 50.0f);
}

// A test holds the link from its start to its end; however it ends, the reservation goes with it,
// or every pane shown afterwards waits for the reservation's time bound.
TEST_F(LeakCheckTest, TheLinkReservationEndsWithTheTestWhicheverWayItEnds) {
  enum class End { Finished, Aborted, PanelDestroyedWhileRecording, PanelDestroyedBeforeTheReport };
  const std::pair<End, const char*> ends[] = {
      {End::Finished, "finished"},
      {End::Aborted, "aborted"},
      {End::PanelDestroyedWhileRecording, "panel destroyed while recording"},
      {End::PanelDestroyedBeforeTheReport, "panel destroyed before the report is handled"},
  };
  for (const auto& [end, name] : ends) {
    SCOPED_TRACE(name);
    Create();
    leak.readCount = -1;
    Recording();
    ClickStart();
    ASSERT_TRUE(panel->Running());
    ASSERT_TRUE(GetMeasureEngine().IsLinkReserved());
    switch (end) {
      case End::Finished:
        Recorded();
        ASSERT_TRUE(Ended());
        break;
      case End::Aborted:
        ClickStart();
        hl::Pump();
        break;
      case End::PanelDestroyedWhileRecording:
        panel.reset();
        break;
      case End::PanelDestroyedBeforeTheReport:
        Recorded();
        while (leak.readCount.load() < 0) std::this_thread::yield();  // nothing pumped: no report handled
        panel.reset();
        break;
    }
    EXPECT_FALSE(GetMeasureEngine().IsLinkReserved());
  }
}

TEST_F(LeakCheckTest, HidingThePanelAbortsARunningTestAndShowingClearsTheError) {
  Create();
  Recording();
  ClickStart();
  panel->ShowWindow(SW_HIDE);
  EXPECT_FALSE(panel->Running());
  EXPECT_EQ(link.aborts.load(), 1);
  leak.readCode = kv310::kBadReply;
  Recorded();
  panel->ShowWindow(SW_SHOW);
  ClickStart();
  ASSERT_TRUE(Ended());
  EXPECT_TRUE(panel->ErrorShown());
  panel->ShowWindow(SW_HIDE);
  panel->ShowWindow(SW_SHOW);
  EXPECT_FALSE(panel->ErrorShown());
}

TEST_F(LeakCheckTest, ProbeSelectionFollowsTheProbeAndItsFailureIsACommandError) {
  struct Case {
    const char* what;
    int probeKind, probeCode, selectCode;
    std::vector<int> inputs;
    bool started;
  };
  const std::vector<Case> cases = {
      {"current probe on the first input", 3, 0, 0, {0}, true},
      {"another probe: the second input", 5, 0, 0, {0, 1}, true},
      {"probe read fails", 3, kv310::kBadReply, 0, {0}, false},
      {"second input refused", 5, 0, kv310::kBadArgument, {0, 1}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MarkBoxes();
    leak.inputs.clear();
    leak.starts = 0;
    leak.probeKind = c.probeKind;
    leak.probeCode = c.probeCode;
    leak.selectCode = c.selectCode;
    Create();
    ClickStart();
    Ended();
    EXPECT_EQ(leak.inputs, c.inputs);
    EXPECT_EQ(leak.starts.load() == 1, c.started);
    EXPECT_EQ(Boxes(), c.started ? std::vector<std::string>{} : std::vector<std::string>{"Some error command."});
    EXPECT_TRUE(panel->m_cylinderCount.IsWindowEnabled());
  }
}

TEST_F(LeakCheckTest, WithTheBoardTheEnginesCountIsUsedAndEightCylindersAreRefused) {
  // The engine-tester board as the data object sees it.
  struct ReadyBoard final : ettest::StubMotortester_6 {
    bool IsReady() override { return true; }
  } board;
  GetMotortesterDevice()->SetInterfaces(&board, nullptr, nullptr);
  GetMotortesterDevice()->SetEngineType(0);
  GetMotortesterDevice()->SetNumberCylinders(0, 8);
  Create();
  ASSERT_TRUE(panel->EngineTester());
  EXPECT_FALSE(panel->m_cylinderCount.IsWindowVisible());
  ClickStart();
  EXPECT_EQ(Boxes(), (std::vector<std::string>{GetGlobalProps().GetText(kTextCylinderCountOutOfRange)}));
  EXPECT_EQ(kvp::MessageBoxLog().back().type, static_cast<UINT>(MB_ICONINFORMATION | MB_TOPMOST));
  EXPECT_EQ(leak.starts.load(), 0);
  EXPECT_TRUE(leak.inputs.empty());

  GetMotortesterDevice()->SetNumberCylinders(0, 6);
  ClickStart();
  ASSERT_TRUE(Ended());
  EXPECT_EQ(leak.inputs, (std::vector<int>{2}));
  EXPECT_EQ(leak.readCount.load(), 6);

  // The engine's count changed on the parameters page afterwards: the panel and its printout keep
  // the six results of the test that ran.
  GetMotortesterDevice()->SetNumberCylinders(0, 4);
  int count = 0;
  float r[6] = {};
  panel->GetLeakResults(&count, &r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
  EXPECT_EQ(count, 6);
  EXPECT_FLOAT_EQ(r[5], 25.0f);
  const auto texts = Drawn();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string("25.0%")), 1) << "the sixth bar";
  panel.reset();
  GetMotortesterDevice()->SetInterfaces(nullptr, nullptr, nullptr);
}

TEST_F(LeakCheckTest, TheStartNoticeFollowsTheBehaviourValue) {
  CReg().WriteDword(HKEY_CURRENT_USER, CDlgTurnOn::kBehaviourKey, CDlgTurnOn::kShowMessage, 1);
  Create();
  bool noticeShown = false;
  ui_dialogs::RegisterDialogTemplates();
  hl::RunInLoop([&] {  // runs inside the notice's modal loop
    HWND notice = ::GetActiveWindow();
    noticeShown = notice && notice != host.GetSafeHwnd() && notice != panel->GetSafeHwnd();
    HWND ok = ::GetDlgItem(notice, IDOK);
    CRect r;
    ::GetClientRect(ok, &r);
    hl::Click(ok, r.CenterPoint());
  });
  panel->StartLeakTest();
  EXPECT_TRUE(noticeShown);
  ASSERT_TRUE(Ended());
  EXPECT_EQ(leak.starts.load(), 1) << "the notice's answer does not matter";
}

// The cylinder-count label reads whole left of the count, also as large as the panel is in the
// program (one line when it fits, else wrapped onto two).
TEST_F(LeakCheckTest, TheCylinderCountLabelReadsWhole) {
  const SIZE sizes[] = {{600, 440}, {1024, 664}, {1280, 897}};
  for (const SIZE& size : sizes) {
    SCOPED_TRACE(size.cx);
    host.MoveWindow(0, 0, size.cx, size.cy);
    panel = std::make_unique<CWndSpecialTest_LeakCheck>();
    panel->SetLibrary(&leak, &link);
    ASSERT_TRUE(panel->Create("WndLeakCheck", WS_CHILD | WS_VISIBLE, CRect(0, 0, size.cx, size.cy), &host, 29));
    hl::Pump();
    ASSERT_TRUE(panel->m_cylinderCount.IsWindowVisible());
    kvp::StartTextLog();
    panel->m_cylinderCount.Redraw();
    kvp::StopTextLog();
    bool drawn = false;
    CClientDC dc(&panel->m_cylinderCount);
    CFont* old = dc.SelectObject(&panel->ScaleFont());
    for (const kvp::DrawnText& t : kvp::DrawnTexts(panel->m_cylinderCount.GetSafeHwnd())) {
      if (t.text != GetGlobalProps().GetText(kTextCylinderCount)) continue;
      drawn = true;
      const CRect box(t.rect);
      CRect needed(box.left, box.top, box.right, box.top);
      dc.DrawText(t.text.c_str(), -1, &needed, DT_CALCRECT | (t.flags & (DT_SINGLELINE | DT_WORDBREAK)));
      EXPECT_LE(needed.Width(), box.Width()) << t.flags;
      EXPECT_LE(needed.Height(), box.Height()) << t.flags;
    }
    dc.SelectObject(old);
    EXPECT_TRUE(drawn);
    panel.reset();
  }
}

}  // namespace
