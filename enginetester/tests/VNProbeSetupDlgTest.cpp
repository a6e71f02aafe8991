// The high-voltage probe set-up dialog, run modally on the headless display with the virtual
// clock over a scripted board whose polarity measurement the test answers (or holds): the
// dialog's place on its parent, the end by itself after a found polarity, manual configuration
// through "Next", "Repeat" after a failure, "Exit", the blinking text, and a dialog that ends
// while the board still measures.
#include <enginetester/VNProbeSetupDlg.h>

#include "EtTestSupport.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace ettest;
using D = CVNProbeSetupDlg;

// The polarity measurement: answers `answer`, or waits first until the test releases it.
struct SetupTester : FakeTester {
  std::atomic<int> answer{0};
  std::atomic<int> calls{0};
  bool hold = false;
  std::mutex lock;
  std::condition_variable released;
  bool open = false;
  int Measure() override {
    ++calls;
    std::unique_lock<std::mutex> guard(lock);
    released.wait(guard, [this] { return !hold || open; });
    return answer.load();
  }
  void Release() {
    std::lock_guard<std::mutex> guard(lock);
    open = true;
    released.notify_all();
  }
};

// Waits (real time, bounded) until every worker has left the board call.
bool WorkersDone() {
  for (int i = 0; i < 2000 && D::RunningWorkers() != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return D::RunningWorkers() == 0;
}

CRect RelativeTo(HWND window, const CWnd& origin) {
  CRect r, o;
  ::GetWindowRect(window, &r);
  origin.GetWindowRect(&o);
  r.OffsetRect(-o.left, -o.top);
  return r;
}

class ProbeSetupTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    GetMotortesterDevice()->SetInterfaces(&board, nullptr, nullptr);
  }
  void TearDown() override {
    board.Release();
    EXPECT_TRUE(WorkersDone());
    PanelTest::TearDown();
  }
  static bool Shown(D& dlg, int id) { return dlg.Button(id).IsWindowVisible() != FALSE; }

  SetupTester board;
};

TEST_F(ProbeSetupTest, AFoundPolarityEndsTheDialogWithinHalfASecond) {
  GetMotortesterDevice()->m_bAutoPolarity = 1;
  D dlg(&host);
  CRect placed;
  bool openAfter499 = false;
  hl::RunInLoop([&] {
    placed = RelativeTo(dlg.GetSafeHwnd(), host);
    ASSERT_TRUE(WorkersDone());
    EXPECT_EQ(board.calls.load(), 1);
    EXPECT_EQ(dlg.GetState(), D::STATE_DONE);
    hl::Advance(499);
    openAfter499 = ::IsWindow(dlg.GetSafeHwnd()) && dlg.IsWindowVisible();
    hl::Advance(1);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_TRUE(openAfter499);
  EXPECT_EQ(GetMotortesterDevice()->m_bAutoPolarity.load(), 0);
  // Parent 1000 x 700: half its width, 1/2.5 of its height, from the centre less a quarter.
  EXPECT_EQ(placed, CRect(250, 210, 750, 490));
}

TEST_F(ProbeSetupTest, AutomaticSetUpNotPossibleOffersNext) {
  board.answer = D::RESULT_NOT_POSSIBLE;
  D dlg(&host);
  hl::RunInLoop([&] {
    ASSERT_TRUE(WorkersDone());
    hl::Advance(500);
    EXPECT_EQ(dlg.GetState(), D::STATE_NOT_POSSIBLE);
    EXPECT_TRUE(Shown(dlg, D::ID_NEXT));
    EXPECT_TRUE(Shown(dlg, D::ID_EXIT));
    EXPECT_FALSE(Shown(dlg, D::ID_REPEAT));
    ClickCentre(dlg.Button(D::ID_NEXT));
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(GetMotortesterDevice()->m_bAutoPolarity.load(), 1);
}

TEST_F(ProbeSetupTest, RepeatAfterAFailureMeasuresAgain) {
  board.answer = 14;
  D dlg(&host);
  hl::RunInLoop([&] {
    ASSERT_TRUE(WorkersDone());
    hl::Advance(500);
    EXPECT_EQ(dlg.GetState(), D::STATE_FAILED);
    EXPECT_TRUE(Shown(dlg, D::ID_REPEAT));
    EXPECT_TRUE(Shown(dlg, D::ID_EXIT));
    EXPECT_FALSE(Shown(dlg, D::ID_NEXT));
    hl::Advance(2000);  // the timer stopped: nothing changes
    EXPECT_EQ(board.calls.load(), 1);

    board.answer = 0;
    ClickCentre(dlg.Button(D::ID_REPEAT));
    EXPECT_FALSE(Shown(dlg, D::ID_REPEAT));
    ASSERT_TRUE(WorkersDone());
    EXPECT_EQ(board.calls.load(), 2);
    hl::Advance(500);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(ProbeSetupTest, ExitCancels) {
  board.answer = 14;
  GetMotortesterDevice()->m_bAutoPolarity = 1;
  D dlg(&host);
  hl::RunInLoop([&] {
    ASSERT_TRUE(WorkersDone());
    hl::Advance(500);
    ClickCentre(dlg.Button(D::ID_EXIT));
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(GetMotortesterDevice()->m_bAutoPolarity.load(), 1);
}

TEST_F(ProbeSetupTest, TheProgressTextBlinksAndALateResultTouchesNothing) {
  board.hold = true;
  GetMotortesterDevice()->m_bAutoPolarity = 1;
  {
    D dlg(&host);
    hl::RunInLoop([&] {
      EXPECT_EQ(dlg.GetState(), D::STATE_TAKING);
      for (int id : {D::ID_NEXT, D::ID_EXIT, D::ID_REPEAT}) EXPECT_FALSE(Shown(dlg, id)) << id;
      hl::Advance(500);
      EXPECT_EQ(dlg.GetBlink(), 1);
      hl::Advance(500);
      EXPECT_EQ(dlg.GetBlink(), 0);
      dlg.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(D::RunningWorkers(), 1);
  }
  // The board answers after the dialog has gone: the answer is dropped.
  board.answer = 0;
  board.Release();
  ASSERT_TRUE(WorkersDone());
  hl::Advance(1000);
  EXPECT_EQ(GetMotortesterDevice()->m_bAutoPolarity.load(), 1);
}

}  // namespace
