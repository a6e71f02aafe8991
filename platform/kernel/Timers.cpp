// Timers and deferred procedure calls: one DPC thread per host runs the routines of due timers at
// dispatch level. Due times run on the platform clock, so tests drive timers with the virtual one.
#include "HostInternal.h"

#include <platform/clock.h>

#include "sync/SyncObjects.h"

namespace kvp::kernel {

void KernelHost::Impl::WakeTimers() { static_cast<sync::EventObject*>(timerWake.get())->Set(); }

void KernelHost::Impl::DpcLoop() {
  std::unique_lock lock(timerMu);
  for (;;) {
    if (dpcStop) return;
    const uint64_t now = ClockNowMs();
    auto due = timers.end();
    for (auto it = timers.begin(); it != timers.end(); ++it)
      if (due == timers.end() || it->second.dueMs < due->second.dueMs) due = it;
    if (due != timers.end() && due->second.dueMs <= now) {
      PKDPC dpc = due->second.dpc;
      if (due->second.periodMs)
        due->second.dueMs += due->second.periodMs;
      else
        timers.erase(due);
      dpcRunning = true;
      lock.unlock();
      if (dpc && dpc->DeferredRoutine) {
        SetCurrentIrql(DISPATCH_LEVEL);
        dpc->DeferredRoutine(dpc, dpc->DeferredContext, dpc->SystemArgument1, dpc->SystemArgument2);
        SetCurrentIrql(PASSIVE_LEVEL);
      }
      lock.lock();
      dpcRunning = false;
      dpcIdleCv.notify_all();
      continue;
    }
    const DWORD wait = due == timers.end() ? INFINITE : static_cast<DWORD>(due->second.dueMs - now);
    lock.unlock();
    Waitable* w = timerWake.get();
    WaitForObjects(&w, 1, false, wait);
    lock.lock();
  }
}

}  // namespace kvp::kernel

using namespace kvp::kernel;

namespace {
KernelHost::Impl* TimerHost(PKTIMER timer) {
  if (timer->Host) return static_cast<KernelHost::Impl*>(timer->Host);
  KernelHost* active = KernelHost::Active();
  return active ? active->impl() : nullptr;
}
}  // namespace

extern "C" {

PLATFORM_API void KeInitializeTimer(PKTIMER timer) {
  KernelHost* active = KernelHost::Active();
  timer->Host = active ? active->impl() : nullptr;
  timer->Initialized = 1;
}

PLATFORM_API void KeInitializeDpc(PKDPC dpc, PKDEFERRED_ROUTINE routine, PVOID context) {
  dpc->DeferredRoutine = routine;
  dpc->DeferredContext = context;
  dpc->SystemArgument1 = dpc->SystemArgument2 = nullptr;
}

PLATFORM_API BOOLEAN KeSetTimerEx(PKTIMER timer, LARGE_INTEGER dueTime, LONG periodMs, PKDPC dpc) {
  auto* host = TimerHost(timer);
  if (!host) return FALSE;
  const uint64_t now = kvp::ClockNowMs();
  const uint64_t delay = dueTime.QuadPart < 0 ? (static_cast<uint64_t>(-dueTime.QuadPart) + 9999) / 10000 : 0;
  bool wasSet;
  {
    std::lock_guard lock(host->timerMu);
    wasSet = host->timers.count(timer) != 0;
    host->timers[timer] = TimerEntry{now + delay, periodMs > 0 ? static_cast<uint64_t>(periodMs) : 0, dpc};
  }
  host->WakeTimers();
  return wasSet;
}

PLATFORM_API BOOLEAN KeCancelTimer(PKTIMER timer) {
  auto* host = TimerHost(timer);
  if (!host) return FALSE;
  std::lock_guard lock(host->timerMu);
  return host->timers.erase(timer) != 0;
}

// Waits until no DPC routine runs on any host: after a timer is cancelled its routine may still be
// running on the timer's own host, which need not be the newest one. A DPC routine that flushes
// does not wait for itself.
PLATFORM_API void KeFlushQueuedDpcs(void) {
  for (KernelHost::Impl* host : PinLiveHosts()) {
    {
      std::unique_lock lock(host->timerMu);
      if (std::this_thread::get_id() != host->dpcThreadId)
        host->dpcIdleCv.wait(lock, [&] { return !host->dpcRunning; });
    }
    UnpinHost(host);
  }
}

}  // extern "C"
