// The splash screen: its step machine tick by tick (fast and slow worker, cancel window, bar
// width, fatal start), then the real window on the headless display with the virtual clock.
#include <gtest/gtest.h>

#include "SplashScreen.h"
#include "SplashSteps.h"

#include <platform/display.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

// Drives the machine with a worker that is done from tick `doneAt` on (0: never); returns the
// tick at which it finished (0: not within the bound), counting blink timer starts and stops.
struct SplashRun {
  int endTick = 0;
  int workerTick = 0;
  int blinkStarts = 0;
  int blinkStops = 0;
  int maxCounter = 0;
  bool fatal = false;
};

SplashRun Drive(int doneAt, bool fatal = false, int bound = 2000) {
  SplashSteps steps;
  SplashRun run;
  for (int tick = 1; tick <= bound; ++tick) {
    int done = doneAt > 0 && tick >= doneAt ? 1 : 0;
    SplashSteps::Actions a = steps.Tick(done, fatal && done);
    if (a.startWorker) run.workerTick = tick;
    run.blinkStarts += a.startBlink;
    run.blinkStops += a.stopBlink;
    run.maxCounter = std::max(run.maxCounter, steps.Counter());
    if (a.finish || a.fatal) {
      run.endTick = tick;
      run.fatal = a.fatal;
      break;
    }
  }
  return run;
}

TEST(SplashSteps, TickTable) {
  struct Case {
    const char* name;
    int doneAt;
    bool fatal;
    int endTick;
    int blinkStarts;
    int blinkStops;
    bool endsFatal;
  } cases[] = {
      {"fast worker ends after 299 ticks, never blinks", 60, false, 299, 0, 0, false},
      {"done exactly at the check", 280, false, 299, 0, 0, false},
      {"slow worker held at 281, ends 19 ticks after done", 600, false, 600 + 19, 1, 1, false},
      {"fatal start ends at the next tick", 120, true, 120, 0, 0, true},
      {"fatal while held stops the blink", 500, true, 500, 1, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SplashRun run = Drive(c.doneAt, c.fatal);
    EXPECT_EQ(run.workerTick, SplashSteps::kStartWorker);
    EXPECT_EQ(run.endTick, c.endTick);
    EXPECT_EQ(run.blinkStarts, c.blinkStarts);
    EXPECT_EQ(run.blinkStops, c.blinkStops);
    EXPECT_EQ(run.fatal, c.endsFatal);
    EXPECT_LE(run.maxCounter, SplashSteps::kEnd);
  }
}

TEST(SplashSteps, HeldAt281AndBlinkFlag) {
  SplashSteps steps;
  for (int tick = 1; tick <= 400; ++tick) steps.Tick(0);
  EXPECT_EQ(steps.Counter(), SplashSteps::kHeld);
  EXPECT_FALSE(steps.Advancing());
  steps.ToggleBlink();
  EXPECT_TRUE(steps.Blinking());
  SplashSteps::Actions a = steps.Tick(1);
  EXPECT_TRUE(a.stopBlink);
  EXPECT_FALSE(steps.Blinking());
  EXPECT_TRUE(steps.Advancing());
}

TEST(SplashSteps, CancelOnlyBeforeTheWorker) {
  SplashSteps steps;
  for (int tick = 1; tick <= 49; ++tick) steps.Tick(0);
  EXPECT_TRUE(steps.MayCancel());
  EXPECT_FALSE(steps.WorkerStarted());
  steps.Tick(0);
  EXPECT_FALSE(steps.MayCancel());
  EXPECT_TRUE(steps.WorkerStarted());
}

TEST(SplashSteps, BarWidth) {
  const int frame = 371;
  EXPECT_EQ(SplashSteps::BarWidth(0, frame), 0);
  EXPECT_EQ(SplashSteps::BarWidth(150, frame), 183);
  EXPECT_EQ(SplashSteps::BarWidth(SplashSteps::kEnd, frame), frame - 5);
}

// The real window: a worker that finishes at once, one that is slow, Escape before and after the
// worker, Enter ignored.
struct SplashWorld {
  kvp::HeadlessWorld world;
  std::atomic<int> done{0};
  std::atomic<int> workerRuns{0};
  std::atomic<bool> fatal{false};
};

TEST(SplashScreen, FastWorkerEndsWithOkAfter300Ticks) {
  SplashWorld w;
  CSplashScreen splash([&](CSplashScreen&) { ++w.workerRuns; }, [&] { return w.fatal.load(); }, &w.done);
  uint64_t start = kvp::ClockNowMs();
  kvp::headless::RunInLoop([&] {
    kvp::headless::Advance(SplashSteps::kTickMs * 150);
    std::string path = std::string(KV_SCREENSHOT_DIR) + "/splash_filling.png";
    kvp::SaveWindowPng(splash.GetSafeHwnd(), path.c_str());
    kvp::headless::PressKey(VK_RETURN);
    kvp::headless::PressKey(VK_ESCAPE);
    kvp::headless::Advance(SplashSteps::kTickMs * 160);
  });
  EXPECT_EQ(splash.DoModal(), IDOK);
  EXPECT_EQ(w.workerRuns.load(), 1);
  EXPECT_EQ(splash.Steps().Counter(), SplashSteps::kEnd);
  EXPECT_GE(kvp::ClockNowMs() - start, uint64_t{SplashSteps::kTickMs} * 300);
}

TEST(SplashScreen, EscapeAtTick49CancelsWithoutWorker) {
  SplashWorld w;
  CSplashScreen splash([&](CSplashScreen&) { ++w.workerRuns; }, [] { return false; }, &w.done);
  kvp::headless::RunInLoop([&] {
    kvp::headless::Advance(SplashSteps::kTickMs * 49);
    kvp::headless::PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(splash.DoModal(), IDCANCEL);
  EXPECT_EQ(w.workerRuns.load(), 0);
  EXPECT_EQ(splash.Steps().Counter(), 49);
}

TEST(SplashScreen, SlowWorkerBlinksThenEnds) {
  SplashWorld w;
  std::atomic<bool> release{false};
  CSplashScreen splash(
      [&](CSplashScreen&) {
        while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      },
      [] { return false; }, &w.done);
  bool sawBlink = false;
  kvp::headless::RunInLoop([&] {
    kvp::headless::Advance(SplashSteps::kTickMs * 290);
    EXPECT_EQ(splash.Steps().Counter(), SplashSteps::kHeld);
    kvp::headless::Advance(SplashSteps::kBlinkMs + 5);
    sawBlink = splash.Steps().Blinking();
    std::string path = std::string(KV_SCREENSHOT_DIR) + "/splash_blinking.png";
    kvp::SaveWindowPng(splash.GetSafeHwnd(), path.c_str());
    release.store(true);
    while (w.done.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kvp::headless::Advance(SplashSteps::kTickMs * 25);
  });
  EXPECT_EQ(splash.DoModal(), IDOK);
  EXPECT_TRUE(sawBlink);
  EXPECT_FALSE(splash.Steps().Blinking());
}

TEST(SplashScreen, FatalStartEndsWithItsOwnResult) {
  SplashWorld w;
  w.fatal = true;
  CSplashScreen splash([](CSplashScreen&) {}, [&] { return w.fatal.load(); }, &w.done);
  kvp::headless::RunInLoop([&] {
    kvp::headless::Advance(SplashSteps::kTickMs * 50);
    while (w.done.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kvp::headless::Advance(SplashSteps::kTickMs * 2);
  });
  EXPECT_EQ(splash.DoModal(), kSplashFatal);
}

}  // namespace
