// kvp::Worker: a stop waits serving the worker's sends, a worker that ignores its stop is
// abandoned at the bound and keeps its block, and a body's done message is posted only while the
// owner still holds the thread.
#include "Probe.h"

#include <gtest/gtest.h>

#include <kvtest/PlatformGlobals.h>
#include <kvtest/Pump.h>

#include <platform/clock.h>
#include <platform/sync.h>
#include <platform/worker.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

class WorkerTest : public kvtest::PlatformTest {};

constexpr UINT kAsk = WM_APP + 11;
constexpr UINT kDone = WM_APP + 12;

struct Block {
  std::atomic<int> sent{0};
  std::atomic<bool> sawAbandon{false};
};

// Gives the abandoned or released thread time to reach its post, serving the queue meanwhile.
void SettleAfter(const std::weak_ptr<Block>& block) {
  ASSERT_TRUE(kvtest::PumpUntil([&] { return block.expired(); }));
  for (int i = 0; i < 50; ++i) {
    kvp::headless::Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  kvp::headless::Pump();
}

// The worker sends to the GUI thread before it looks at its stop: a stop that only waited would
// never end. The send is answered within the stop, and the worker then ends on its own.
TEST_F(WorkerTest, StopServesTheWorkersSend) {
  kvp::HeadlessWorld world;
  kvtest::Probe w;
  w.CreateTop(CRect(0, 0, 50, 50));
  w.hooks[kAsk] = [](WPARAM wParam, LPARAM) -> LRESULT { return static_cast<LRESULT>(wParam * 2); };
  auto block = std::make_shared<Block>();
  const HWND window = w.m_hWnd;
  kvp::Worker worker;
  ASSERT_TRUE(worker.Start([block, window](HANDLE stop) {
    block->sent.store(static_cast<int>(SendMessage(window, kAsk, 21, 0)));
    WaitForSingleObject(stop, INFINITE);
    return kvp::WorkerDone{};
  }));
  EXPECT_TRUE(worker.Held());
  bool abandoned = false;
  EXPECT_TRUE(worker.Stop(1000, [&] { abandoned = true; }));
  EXPECT_FALSE(abandoned);
  EXPECT_FALSE(worker.Held());
  EXPECT_EQ(block->sent.load(), 42);
  EXPECT_EQ(w.Count(kAsk), 1);
}

// A worker stuck past its stop is abandoned exactly at the bound: the owner's hook runs, the owner
// lets go, the worker still has its block and learns it was given up, and its done message is
// never posted.
TEST_F(WorkerTest, AbandonsAWorkerStillRunningAtTheBound) {
  kvp::HeadlessWorld world;
  kvtest::Probe w;
  w.CreateTop(CRect(0, 0, 50, 50));
  auto block = std::make_shared<Block>();
  std::weak_ptr<Block> watch = block;
  kvp::UniqueHandle gate(CreateEvent(nullptr, TRUE, FALSE, nullptr));
  const HANDLE gateHandle = gate.get();
  const HWND window = w.m_hWnd;
  kvp::Worker worker;
  ASSERT_TRUE(worker.Start([block, gateHandle, window](HANDLE) {
    WaitForSingleObject(gateHandle, INFINITE);  // deaf to its stop
    block->sawAbandon.store(kvp::CurrentThreadAbandoned());
    return kvp::WorkerDone{window, kDone, 1, 2};
  }));
  const size_t before = kvp::ClockTimedWaiters();
  std::thread clock([before] {
    while (kvp::ClockTimedWaiters() <= before) std::this_thread::yield();
    kvp::ClockAdvance(1000);
  });
  int hookRuns = 0;
  const bool ended = worker.Stop(1000, [&] { ++hookRuns; });
  clock.join();
  EXPECT_FALSE(ended);
  EXPECT_EQ(hookRuns, 1);
  EXPECT_FALSE(worker.Held());
  block.reset();
  EXPECT_FALSE(watch.expired()) << "the abandoned worker still holds its block";

  SetEvent(gateHandle);
  SettleAfter(watch);
  EXPECT_EQ(w.Count(kDone), 0);
}

// The body's message is posted once it has returned, after its captures are gone; a worker let go
// of before it returns posts nothing.
TEST_F(WorkerTest, PostsItsDoneMessageOnlyWhileHeld) {
  struct Case {
    const char* name;
    bool release;
    int posted;
  } const cases[] = {
      {"held", false, 1},
      {"released", true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    kvp::HeadlessWorld world;
    kvtest::Probe w;
    w.CreateTop(CRect(0, 0, 50, 50));
    auto block = std::make_shared<Block>();
    std::weak_ptr<Block> watch = block;
    kvp::UniqueHandle gate(CreateEvent(nullptr, TRUE, FALSE, nullptr));
    const HANDLE gateHandle = gate.get();
    const HWND window = w.m_hWnd;
    bool expiredAtPost = false;
    w.hooks[kDone] = [&](WPARAM, LPARAM) -> LRESULT {
      expiredAtPost = watch.expired();
      return 0;
    };
    kvp::Worker worker;
    ASSERT_TRUE(worker.Start([block, gateHandle, window](HANDLE) {
      WaitForSingleObject(gateHandle, INFINITE);
      return kvp::WorkerDone{window, kDone, 7, 9};
    }));
    block.reset();
    if (c.release) worker.Release();
    SetEvent(gateHandle);
    if (c.posted) {
      ASSERT_TRUE(kvtest::PumpUntil([&] { return w.Count(kDone) == 1; }));
      EXPECT_TRUE(worker.Join(INFINITE));
      EXPECT_EQ(w.Last(kDone)->wParam, 7u);
      EXPECT_EQ(w.Last(kDone)->lParam, 9);
      EXPECT_TRUE(expiredAtPost);
    } else {
      SettleAfter(watch);
    }
    EXPECT_EQ(w.Count(kDone), c.posted);
  }
}

}  // namespace
