// Waits: one process-wide lock, one block per waiting thread, completion decided by whoever
// changes an object's state (see HandleTable.h for why).
#include "WaitEngine.h"

#include "SyncObjects.h"

#include <platform/clock.h>
#include <platform/sync.h>

#if defined(__linux__)
#include <sched.h>
#endif

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace kvp {

namespace {

// Blocks of the timed waits in progress (under the wait lock).
std::vector<WaitBlock*>& TimedBlocks() {
  static auto* blocks = new std::vector<WaitBlock*>;
  return *blocks;
}

// How often a wait on an object that changes outside this process looks again (real time).
constexpr auto kPollInterval = std::chrono::milliseconds(5);

// Before blocking, a waiter spins this many rounds for a completion. Most waits between two
// busy threads (a request and its answer) end within a few microseconds, far sooner than a
// sleeping thread is woken again.
constexpr int kSpinRounds = 2000;

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

// Spinning helps only when the thread that completes the wait can run meanwhile: on a thread
// allowed onto a single CPU (a pinned process, a one-CPU container) the spin only holds that CPU
// away from it. Threads inherit the set they may run on, so each thread reads it once.
bool SpinningPays() {
  thread_local const bool pays = [] {
#if defined(__linux__)
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) return CPU_COUNT(&allowed) > 1;
#endif
    return std::thread::hardware_concurrency() > 1;
  }();
  return pays;
}

// Completes the block if its objects allow it now: the lowest signalled index for wait-any,
// all objects at once for wait-all. Only the object returned is consumed.
bool TrySatisfy(WaitBlock& b) {
  if (b.result != WaitBlock::kPending) return false;
  if (b.waitAll) {
    if (b.count == 0) return false;
    for (DWORD i = 0; i < b.count; ++i) {
      if (!b.objects[i]->IsSignalledFor(b.threadId)) {
        for (DWORD j = 0; j < i; ++j) b.objects[j]->Relinquish(b.threadId);
        return false;
      }
    }
    bool abandoned = false;
    for (DWORD i = 0; i < b.count; ++i) abandoned |= b.objects[i]->Consume(b.threadId);
    b.result = abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0;
    return true;
  }
  for (DWORD i = 0; i < b.count; ++i) {
    if (b.objects[i]->IsSignalledFor(b.threadId)) {
      bool abandoned = b.objects[i]->Consume(b.threadId);
      b.result = (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + i;
      return true;
    }
  }
  return false;
}

void Unlink(std::vector<WaitBlock*>& list, WaitBlock* b) {
  auto it = std::find(list.begin(), list.end(), b);
  if (it != list.end()) list.erase(it);
}

}  // namespace

std::mutex& WaitLock() {
  // Never destroyed: thread exit hooks and late waits run during process exit.
  static auto* lock = new std::mutex;
  return *lock;
}

void Waitable::WakeWaiters() {
  for (WaitBlock* b : waiters)
    if (TrySatisfy(*b)) b->cv.notify_one();
}

namespace waitengine {

void OnClockChangedLocked(uint64_t nowMs) {
  for (WaitBlock* b : TimedBlocks()) {
    if (b->result == WaitBlock::kPending && nowMs >= b->deadlineMs) b->result = WAIT_TIMEOUT;
    b->cv.notify_one();  // the others choose again between a real and a virtual wait
  }
}

size_t PendingTimedWaitsLocked() {
  size_t n = 0;
  for (WaitBlock* b : TimedBlocks()) n += b->result == WaitBlock::kPending;
  return n;
}

}  // namespace waitengine

DWORD WaitForObjects(Waitable* const* objects, DWORD count, bool waitAll, DWORD timeoutMs) {
  sync::EnsureThreadExitHook();
  WaitBlock b;
  b.objects = objects;
  b.count = count;
  b.waitAll = waitAll;
  b.threadId = GetCurrentThreadId();

  std::unique_lock lock(WaitLock());
  if (TrySatisfy(b)) return b.result;
  if (timeoutMs == 0) return WAIT_TIMEOUT;

  bool polling = false;
  for (DWORD i = 0; i < count; ++i) {
    objects[i]->waiters.push_back(&b);
    polling |= objects[i]->NeedsPolling();
  }
  if (timeoutMs != INFINITE) {
    b.timed = true;
    b.deadlineMs = ClockNowMsLocked() + timeoutMs;
    TimedBlocks().push_back(&b);
  }

  if (count > 0 && !polling && SpinningPays()) {  // a plain sleep has nothing to spin for
    lock.unlock();
    for (int i = 0; i < kSpinRounds && b.result.load(std::memory_order_acquire) == WaitBlock::kPending; ++i)
      CpuRelax();
    lock.lock();
  }

  while (b.result == WaitBlock::kPending) {
    uint64_t now = ClockNowMsLocked();
    if (b.timed && now >= b.deadlineMs) {
      b.result = WAIT_TIMEOUT;
      break;
    }
    if (polling) {
      b.cv.wait_for(lock, kPollInterval);
      TrySatisfy(b);
    } else if (b.timed && !ClockIsVirtual()) {
      b.cv.wait_for(lock, std::chrono::milliseconds(b.deadlineMs - now));
    } else {
      b.cv.wait(lock);  // completed by a state change or, on the virtual clock, by an advance
    }
  }

  for (DWORD i = 0; i < count; ++i) Unlink(objects[i]->waiters, &b);
  if (b.timed) Unlink(TimedBlocks(), &b);
  return b.result;
}

}  // namespace kvp
