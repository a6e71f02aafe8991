// Window timers on the virtual clock.
#include "Probe.h"

#include <gtest/gtest.h>

#include <platform/clock.h>

namespace hl = kvp::headless;

namespace {

// The repeat control's pattern: a first delay on timer 1, then a period on timer 2.
class Repeater : public CWnd {
 public:
  uint64_t start = 0;
  std::vector<uint64_t> ticks;
  void OnTimer(UINT_PTR id) override {
    if (id == 1) {
      KillTimer(1);
      SetTimer(2, 200);
      return;
    }
    ticks.push_back(kvp::ClockNowMs() - start);
  }
};

TEST(Timers, FirstDelayThenPeriodFiresAtExactTimes) {
  kvp::HeadlessWorld world;
  Repeater r;
  r.CreateEx(0, kvtest::ProbeClass(), "repeat", WS_POPUP | WS_VISIBLE, 0, 0, 50, 20, 0, 0);
  r.start = kvp::ClockNowMs();
  r.SetTimer(1, 500);
  hl::Advance(1100);
  EXPECT_EQ(r.ticks, (std::vector<uint64_t>{700, 900, 1100}));
}

struct TimerCase {
  const char* name;
  std::function<void(kvtest::Probe&)> scenario;
  int expectedTimers;
};

class TimerRules : public ::testing::TestWithParam<TimerCase> {};

TEST_P(TimerRules, Hold) {
  kvp::HeadlessWorld world;
  kvtest::Probe w;
  w.CreateTop(CRect(0, 0, 50, 50));
  hl::Pump();
  GetParam().scenario(w);
  EXPECT_EQ(w.Count(WM_TIMER), GetParam().expectedTimers);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TimerRules,
    ::testing::Values(
        // Setting the same id again starts it over: nothing at 500, the first tick at 800.
        TimerCase{"SameIdReplaces",
                  [](kvtest::Probe& w) {
                    w.SetTimer(1, 500);
                    hl::Advance(300);
                    w.SetTimer(1, 500);
                    hl::Advance(450);
                    EXPECT_EQ(w.Count(WM_TIMER), 0);
                    hl::Advance(50);
                  },
                  1},
        // A due timer that is killed before its message is taken sends nothing.
        TimerCase{"KillDropsAPendingTick",
                  [](kvtest::Probe& w) {
                    w.SetTimer(1, 100);
                    kvp::ClockAdvance(150);
                    w.KillTimer(1);
                    hl::Pump();
                  },
                  0},
        // However long the loop was busy, one tick is waiting, and the next is a period later.
        TimerCase{"NeverQueuedTwice",
                  [](kvtest::Probe& w) {
                    w.SetTimer(1, 100);
                    kvp::ClockAdvance(1000);
                    hl::Pump();
                    EXPECT_EQ(w.Count(WM_TIMER), 1);
                    hl::Advance(99);
                  },
                  1},
        // A posted message waiting at the same time goes first.
        TimerCase{"LowerPriorityThanPostedMessages",
                  [](kvtest::Probe& w) {
                    w.SetTimer(1, 100);
                    kvp::ClockAdvance(100);
                    w.PostMessage(WM_APP + 1);
                    hl::Pump();
                    ASSERT_EQ(w.Count(WM_APP + 1), 1);
                    size_t posted = 0, timer = 0;
                    for (size_t i = 0; i < w.seen.size(); ++i) {
                      if (w.seen[i].msg == WM_APP + 1) posted = i;
                      if (w.seen[i].msg == WM_TIMER) timer = i;
                    }
                    EXPECT_LT(posted, timer);
                  },
                  1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
