#include "SyncTestUtil.h"

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

using namespace synctest;

class Wait : public VirtualClockTest {};

enum Kind { kAuto, kManual };

std::vector<HANDLE> MakeEvents(const std::vector<Kind>& kinds) {
  std::vector<HANDLE> events;
  for (Kind k : kinds) events.push_back(CreateEvent(nullptr, k == kManual, FALSE, nullptr));
  return events;
}

void CloseAll(const std::vector<HANDLE>& handles) {
  for (HANDLE h : handles) CloseHandle(h);
}

TEST_F(Wait, AnyReturnsLowestSignalledIndexAndConsumesOnlyThatEvent) {
  const struct {
    const char* what;
    std::vector<Kind> kinds;
    std::vector<int> set;
    DWORD expected;
    std::vector<bool> signalledAfter;
  } cases[] = {
      {"two autos set: the lower wins, the higher keeps its signal", {kAuto, kAuto, kAuto}, {1, 2}, 1, {false, false, true}},
      {"manual returned stays set, auto behind it untouched", {kManual, kAuto}, {0, 1}, 0, {true, true}},
      {"auto returned is consumed, manual behind it untouched", {kAuto, kManual}, {0, 1}, 0, {false, true}},
      {"only the last one set", {kAuto, kAuto, kManual}, {2}, 2, {false, false, true}},
      {"nothing set: time-out, nothing consumed", {kAuto, kManual}, {}, WAIT_TIMEOUT, {false, false}},
  };
  for (const auto& c : cases) {
    auto events = MakeEvents(c.kinds);
    for (int i : c.set) SetEvent(events[i]);
    EXPECT_EQ(WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE, 0), c.expected) << c.what;
    for (size_t i = 0; i < events.size(); ++i) EXPECT_EQ(Signalled(events[i]), c.signalledAfter[i]) << c.what << " #" << i;
    CloseAll(events);
  }
}

TEST_F(Wait, AnyWokenBySetReturnsThatIndexAndConsumesIt) {
  auto events = MakeEvents({kAuto, kAuto, kManual});
  DWORD result = 0;
  std::thread waiter([&] { result = WaitForMultipleObjects(3, events.data(), FALSE, kLong); });
  ASSERT_TRUE(Eventually([] { return kvp::ClockTimedWaiters() == 1; }));
  SetEvent(events[1]);
  waiter.join();
  EXPECT_EQ(result, WAIT_OBJECT_0 + 1);
  EXPECT_FALSE(Signalled(events[1]));
  CloseAll(events);
}

TEST_F(Wait, SignallingReleasesEveryWaiterOfAManualEventAndOneOfAnAutoEvent) {
  constexpr int kWaiters = 4;
  const struct {
    const char* what;
    bool manual;
    std::function<void(HANDLE)> signal;
    int released;
  } cases[] = {
      {"manual, set and reset at once", true, [](HANDLE e) { SetEvent(e), ResetEvent(e); }, kWaiters},
      {"manual, pulsed", true, [](HANDLE e) { PulseEvent(e); }, kWaiters},
      {"auto, set", false, [](HANDLE e) { SetEvent(e); }, 1},
      {"auto, pulsed", false, [](HANDLE e) { PulseEvent(e); }, 1},
  };
  for (const auto& c : cases) {
    HANDLE ev = CreateEvent(nullptr, c.manual, FALSE, nullptr);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i)
      waiters.emplace_back([&] { released += WaitForSingleObject(ev, kLong) == WAIT_OBJECT_0; });
    ASSERT_TRUE(Eventually([] { return kvp::ClockTimedWaiters() == kWaiters; })) << c.what;
    c.signal(ev);
    // The release is decided inside the signalling call: the rest are still waiting.
    EXPECT_EQ(kvp::ClockTimedWaiters(), static_cast<size_t>(kWaiters - c.released)) << c.what;
    kvp::ClockAdvance(kLong);
    for (auto& t : waiters) t.join();
    EXPECT_EQ(released, c.released) << c.what;
    EXPECT_FALSE(Signalled(ev)) << c.what;
    CloseHandle(ev);
  }
}

TEST_F(Wait, TimeOutsEndExactlyWhenTheVirtualClockReachesThem) {
  HANDLE events[2] = {CreateEvent(nullptr, FALSE, FALSE, nullptr), CreateEvent(nullptr, TRUE, FALSE, nullptr)};
  const struct {
    const char* what;
    std::function<DWORD(DWORD)> wait;
  } kinds[] = {
      {"single", [&](DWORD t) { return WaitForSingleObject(events[0], t); }},
      {"any", [&](DWORD t) { return WaitForMultipleObjects(2, events, FALSE, t); }},
      {"all", [&](DWORD t) { return WaitForMultipleObjects(2, events, TRUE, t); }},
      {"sleep", [](DWORD t) { return Sleep(t), static_cast<DWORD>(WAIT_TIMEOUT); }},
  };
  for (const auto& k : kinds) {
    for (DWORD timeout : {1u, 250u, 5000u}) {
      DWORD result = 0, elapsed = 0;
      std::thread waiter([&] {
        DWORD start = GetTickCount();
        result = k.wait(timeout);
        elapsed = GetTickCount() - start;
      });
      ASSERT_TRUE(Eventually([] { return kvp::ClockTimedWaiters() == 1; }));
      kvp::ClockAdvance(timeout - 1);
      EXPECT_EQ(kvp::ClockTimedWaiters(), 1u) << k.what << " " << timeout;
      kvp::ClockAdvance(1);
      EXPECT_EQ(kvp::ClockTimedWaiters(), 0u) << k.what << " " << timeout;
      waiter.join();
      EXPECT_EQ(result, WAIT_TIMEOUT) << k.what;
      EXPECT_EQ(elapsed, timeout) << k.what;
    }
  }
  CloseAll({events[0], events[1]});
}

TEST_F(Wait, AllNeedsEveryObjectAtOnceAndThenConsumesThemAll) {
  auto events = MakeEvents({kAuto, kManual});
  SetEvent(events[0]);
  EXPECT_EQ(WaitForMultipleObjects(2, events.data(), TRUE, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(Signalled(events[0])) << "a wait for all that failed must not consume";
  SetEvent(events[0]);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(2, events.data(), TRUE, 0), WAIT_OBJECT_0);
  EXPECT_FALSE(Signalled(events[0]));
  EXPECT_TRUE(Signalled(events[1]));
  CloseAll(events);
}

TEST_F(Wait, BadHandlesAndArgumentsFailCleanly) {
  HANDLE good = CreateEvent(nullptr, TRUE, TRUE, nullptr);
  HANDLE closed = CreateEvent(nullptr, TRUE, TRUE, nullptr);
  CloseHandle(closed);
  for (HANDLE bad : {closed, HANDLE(0), INVALID_HANDLE_VALUE, HANDLE(0x7FF12345u)}) {
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(bad, INFINITE), WAIT_FAILED) << bad;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << bad;
    HANDLE pair[2] = {good, bad};  // a bad handle fails the wait even behind a signalled one
    EXPECT_EQ(WaitForMultipleObjects(2, pair, FALSE, INFINITE), WAIT_FAILED) << bad;
    EXPECT_FALSE(SetEvent(bad));
  }
  HANDLE many[MAXIMUM_WAIT_OBJECTS + 1];
  for (HANDLE& h : many) h = good;
  for (DWORD count : {0u, DWORD(MAXIMUM_WAIT_OBJECTS + 1)}) {
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(count, many, FALSE, 0), WAIT_FAILED) << count;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, many, FALSE, 0), WAIT_OBJECT_0);
  CloseHandle(good);
}

TEST_F(Wait, AWaitInProgressOutlivesTheClosingOfItsHandle) {
  HANDLE ev = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  DWORD result = 0;
  std::thread waiter([&] { result = WaitForSingleObject(ev, 100); });
  ASSERT_TRUE(Eventually([] { return kvp::ClockTimedWaiters() == 1; }));
  EXPECT_TRUE(CloseHandle(ev));
  kvp::ClockAdvance(100);
  waiter.join();
  EXPECT_EQ(result, WAIT_TIMEOUT);
}

TEST_F(Wait, MutexesAreOwnedRecursivelyAndHandedToTheNextWaiter) {
  HANDLE m = CreateMutex(nullptr, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0) << "the owner enters again";
  DWORD otherTry = 0, otherWait = 0;
  BOOL otherRelease = TRUE;
  DWORD otherReleaseError = 0;
  std::thread other([&] {
    otherTry = WaitForSingleObject(m, 0);
    otherRelease = ReleaseMutex(m);
    otherReleaseError = GetLastError();
    otherWait = WaitForSingleObject(m, kLong);
    ReleaseMutex(m);
  });
  ASSERT_TRUE(Eventually([] { return kvp::ClockTimedWaiters() == 1; }));
  EXPECT_EQ(otherTry, WAIT_TIMEOUT);
  EXPECT_FALSE(otherRelease);
  EXPECT_EQ(otherReleaseError, static_cast<DWORD>(ERROR_NOT_OWNER));
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_EQ(kvp::ClockTimedWaiters(), 1u) << "still held once";
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_EQ(kvp::ClockTimedWaiters(), 0u) << "handed over by the release";
  other.join();
  EXPECT_EQ(otherWait, WAIT_OBJECT_0);
  EXPECT_FALSE(ReleaseMutex(m)) << "released more often than taken";
  CloseHandle(m);
}

TEST_F(Wait, AMutexLeftByAnEndedOwnerIsReportedAbandonedOnce) {
  HANDLE m = CreateMutex(nullptr, FALSE, nullptr);
  std::thread([&] { EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0); }).join();
  HANDLE any[2] = {CreateEvent(nullptr, TRUE, FALSE, nullptr), m};
  EXPECT_EQ(WaitForMultipleObjects(2, any, FALSE, 0), WAIT_ABANDONED_0 + 1);
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(m));
  CloseAll({any[0], m});
}

}  // namespace
