// Helpers shared by the sync tests.
#pragma once

#include <platform/clock.h>
#include <platform/sync.h>

#include <gtest/gtest.h>

#include <kvtest/PlatformGlobals.h>

#include <chrono>
#include <functional>
#include <thread>

namespace synctest {

// Spins (real time, generous limit) until the condition holds. Used only to learn that a worker
// has reached a wait; no result depends on how long it takes.
inline bool Eventually(const std::function<bool()>& cond) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::yield();
  }
  return true;
}

// Every test runs on the virtual clock and leaves it off.
using kvtest::VirtualClockTest;

// Whether an object is signalled right now (and takes the signal if so, like any wait).
inline bool Signalled(HANDLE h) { return WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }

// A waitable handle of a thread that waits in a timed wait long enough to be seen as waiting.
constexpr DWORD kLong = 1000000;

}  // namespace synctest
