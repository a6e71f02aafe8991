#include "SyncTestUtil.h"

#include <platform/debug.h>

#include <string>
#include <vector>

namespace {

using namespace synctest;

class Clock : public VirtualClockTest {};

TEST_F(Clock, TickCountsFollowTheVirtualClockOnly) {
  uint64_t start = kvp::ClockNowMs();
  DWORD tick = GetTickCount(), mm = timeGetTime();
  for (uint64_t step : {0u, 1u, 999u, 86400000u}) {
    kvp::ClockAdvance(step);
    EXPECT_EQ(kvp::ClockNowMs() - start, step) << "stands still between advances";
    EXPECT_EQ(GetTickCount() - tick, static_cast<DWORD>(step));
    EXPECT_EQ(timeGetTime() - mm, static_cast<DWORD>(step));
    start = kvp::ClockNowMs(), tick = GetTickCount(), mm = timeGetTime();
  }
}

TEST_F(Clock, ListenersSeeEachAdvanceAfterTheClockMoved) {
  std::vector<uint64_t> seenA, seenB;
  int a = kvp::ClockSubscribe([&] { seenA.push_back(kvp::ClockNowMs()); });
  int b = 0;
  b = kvp::ClockSubscribe([&] {
    seenB.push_back(kvp::ClockNowMs());
    kvp::ClockUnsubscribe(b);  // a listener may leave from inside its call
  });
  uint64_t t0 = kvp::ClockNowMs();
  kvp::ClockAdvance(10);
  kvp::ClockAdvance(5);
  kvp::ClockUnsubscribe(a);
  kvp::ClockAdvance(1);
  EXPECT_EQ(seenA, (std::vector<uint64_t>{t0 + 10, t0 + 15}));
  EXPECT_EQ(seenB, (std::vector<uint64_t>{t0 + 10}));
}

TEST_F(Clock, RealClockCarriesOnFromTheVirtualReading) {
  uint64_t t0 = kvp::ClockNowMs();
  kvp::ClockAdvance(100000);
  kvp::ClockUseVirtual(false);
  EXPECT_FALSE(kvp::ClockIsVirtual());
  EXPECT_GE(kvp::ClockNowMs(), t0 + 100000);
  int calls = 0;
  int id = kvp::ClockSubscribe([&] { ++calls; });
  kvp::ClockAdvance(5);  // nothing to advance on the real clock
  EXPECT_EQ(calls, 0);
  kvp::ClockUnsubscribe(id);
}

TEST_F(Clock, SwitchingToVirtualTakesOverRunningRealWaits) {
  kvp::ClockUseVirtual(false);
  HANDLE ev = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  DWORD result = 0;
  std::thread waiter([&] { result = WaitForSingleObject(ev, 60000); });
  ASSERT_TRUE(Eventually([] { return kvp::ClockTimedWaiters() == 1; }));
  kvp::ClockUseVirtual(true);
  kvp::ClockAdvance(60000);
  waiter.join();
  EXPECT_EQ(result, WAIT_TIMEOUT);
  CloseHandle(ev);
}

TEST(DebugOutput, GoesToTheInstalledSinkAsIs) {
  std::vector<std::string> captured;
  kvp::DebugSink previous = kvp::SetDebugSink([&](const std::string& t) { captured.push_back(t); });
  EXPECT_FALSE(previous) << "the default sink is reported as empty";
  for (const char* text : {"Thread tx end\n", "no newline", "", "\xB5V"}) OutputDebugString(text);
  OutputDebugString(nullptr);
  EXPECT_EQ(captured, (std::vector<std::string>{"Thread tx end\n", "no newline", "", "\xB5V"}));
  kvp::DebugSink mine = kvp::SetDebugSink(nullptr);
  EXPECT_TRUE(mine);
  OutputDebugString("after restore");
  EXPECT_EQ(captured.size(), 4u);
}

}  // namespace
