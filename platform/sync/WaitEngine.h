// The wait engine's inside, shared by the waits and the clock.
#pragma once

#include "base/HandleTable.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>

namespace kvp {

struct WaitBlock {
  static constexpr DWORD kPending = 0xFFFFFFFEu;

  Waitable* const* objects = nullptr;
  DWORD count = 0;
  bool waitAll = false;
  DWORD threadId = 0;
  bool timed = false;
  uint64_t deadlineMs = 0;  // platform clock
  // Decided under the wait lock, by whoever completes the wait; read without it while the
  // waiter spins before it blocks.
  std::atomic<DWORD> result{kPending};
  std::condition_variable cv;
};

namespace waitengine {
// With the wait lock held: the clock has moved (or changed kind); completes every timed wait
// whose deadline has passed and lets the others choose how to wait from now on.
void OnClockChangedLocked(uint64_t nowMs);
// Number of threads in a timed wait that has not completed yet.
size_t PendingTimedWaitsLocked();
}  // namespace waitengine

// The clock reading for code that already holds the wait lock (the clock changes under it).
uint64_t ClockNowMsLocked();

}  // namespace kvp
