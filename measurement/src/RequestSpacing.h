// The spacing the board wants between two starts of one kind (the engine-tester oscilloscope's
// acquisition starts, the high-voltage meter's arms): a new start only a set time after the last
// one or after the configuration before it.
//
// The wait runs outside the library's operation lock, so that other callers' requests pass
// meanwhile. Under the lock again, the start goes out only when the board still holds the
// instrument's configuration; when another instrument took the board during the wait, the
// instrument configures again and waits again.
#pragma once

#include "Library.h"

#include <kv310/ResultCodes.h>
#include <platform/clock.h>
#include <platform/sync.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace kv310 {

class RequestSpacing {
 public:
  explicit RequestSpacing(uint64_t spacingMs) : m_spacingMs(spacingMs) {}

  // A start or a configuration went out now.
  void Mark() {
    m_lastMs.store(kvp::ClockNowMs());
    m_marked.store(true);
  }
  // Sleeps in short steps until the spacing since the last mark has passed; at once when nothing
  // was marked since load.
  void Wait() const {
    while (m_marked.load() && kvp::ClockNowMs() - m_lastMs.load() < m_spacingMs) Sleep(kStepMs);
  }

 private:
  static constexpr DWORD kStepMs = 10;
  const uint64_t m_spacingMs;
  std::atomic<uint64_t> m_lastMs{0};
  std::atomic<bool> m_marked{false};
};

// How often a start configures again because other instruments kept taking the board while it
// waited, before it gives up as busy.
inline constexpr int kSpacedStartAttempts = 3;

// One spaced start. Under the operation lock `prepare()` checks the link and configures when
// needed (its error is returned); outside it the spacing passes; under the lock again
// `configured()` tells whether the board still holds the instrument's configuration, and then
// `send()` sends the start (its result is returned), else the round begins again.
template <typename Prepare, typename Configured, typename Send>
int SendSpacedStart(RequestSpacing& spacing, Prepare prepare, Configured configured, Send send) {
  for (int attempt = 0; attempt < kSpacedStartAttempts; ++attempt) {
    {
      std::lock_guard<std::recursive_mutex> hold(OperationLock());
      const int code = prepare();
      if (code != kOk) return code;
    }
    spacing.Wait();
    std::lock_guard<std::recursive_mutex> hold(OperationLock());
    if (!configured()) continue;
    spacing.Mark();
    return send();
  }
  return kLinkBusy;
}

}  // namespace kv310
