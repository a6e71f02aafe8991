// The platform clock: CLOCK_MONOTONIC in milliseconds, or a virtual reading that moves only when
// a test advances it. The reading changes kind under the wait lock, so every timed wait sees the
// switch and the advance in the same step as its deadline check.
#include "WaitEngine.h"

#include <platform/clock.h>

#include <time.h>

#include <atomic>
#include <map>
#include <memory>
#include <vector>

namespace kvp {

namespace {

std::atomic<bool> gVirtual{false};
std::atomic<uint64_t> gVirtualNow{0};
// Added to the real reading so the clock carries on from where a virtual period left it.
std::atomic<int64_t> gRealOffset{0};

uint64_t RealMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

uint64_t RealReading() { return RealMs() + static_cast<uint64_t>(gRealOffset.load()); }

struct Listeners {
  // Held while listeners run: once ClockUnsubscribe returns, its listener is not running and
  // will not be called again. Recursive so a listener may (un)subscribe.
  std::recursive_mutex mu;
  int nextId = 1;
  std::map<int, std::shared_ptr<std::function<void()>>> byId;
};
Listeners& TheListeners() {
  static auto* listeners = new Listeners;
  return *listeners;
}

}  // namespace

uint64_t ClockNowMsLocked() { return gVirtual.load() ? gVirtualNow.load() : RealReading(); }

PLATFORM_API uint64_t ClockNowMs() { return ClockNowMsLocked(); }

PLATFORM_API bool ClockIsVirtual() { return gVirtual.load(); }

PLATFORM_API void ClockUseVirtual(bool on) {
  std::lock_guard lock(WaitLock());
  if (on == gVirtual.load()) return;
  if (on) {
    gVirtualNow.store(RealReading());
    gVirtual.store(true);
  } else {
    gRealOffset.store(static_cast<int64_t>(gVirtualNow.load() - RealMs()));
    gVirtual.store(false);
  }
  waitengine::OnClockChangedLocked(ClockNowMsLocked());
}

PLATFORM_API void ClockAdvance(uint64_t ms) {
  {
    std::lock_guard lock(WaitLock());
    if (!gVirtual.load()) return;  // the real clock moves by itself
    gVirtualNow.store(gVirtualNow.load() + ms);
    waitengine::OnClockChangedLocked(gVirtualNow.load());
  }
  auto& l = TheListeners();
  std::lock_guard lock(l.mu);
  std::vector<std::pair<int, std::shared_ptr<std::function<void()>>>> snapshot(l.byId.begin(), l.byId.end());
  for (auto& [id, fn] : snapshot)
    if (l.byId.count(id)) (*fn)();  // skip one unsubscribed by an earlier listener
}

PLATFORM_API int ClockSubscribe(std::function<void()> onAdvance) {
  auto& l = TheListeners();
  std::lock_guard lock(l.mu);
  int id = l.nextId++;
  l.byId.emplace(id, std::make_shared<std::function<void()>>(std::move(onAdvance)));
  return id;
}

PLATFORM_API void ClockUnsubscribe(int id) {
  auto& l = TheListeners();
  std::lock_guard lock(l.mu);
  l.byId.erase(id);
}

PLATFORM_API size_t ClockTimedWaiters() {
  std::lock_guard lock(WaitLock());
  return waitengine::PendingTimedWaitsLocked();
}

}  // namespace kvp
