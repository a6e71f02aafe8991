// Sleeps and tick counts on the platform clock; interlocked operations.
#include "base/HandleTable.h"

#include <platform/clock.h>
#include <platform/sync.h>

#include <sched.h>

extern "C" {

PLATFORM_API void Sleep(DWORD ms) {
  if (ms == 0) {
    sched_yield();  // gives up the rest of the time slice, as the original does
    return;
  }
  kvp::WaitForObjects(nullptr, 0, false, ms);
}

// Both wrap after 49.7 days like the originals; callers compare differences.
PLATFORM_API DWORD GetTickCount(void) { return static_cast<DWORD>(kvp::ClockNowMs()); }

PLATFORM_API DWORD timeGetTime(void) { return static_cast<DWORD>(kvp::ClockNowMs()); }

PLATFORM_API LONG InterlockedIncrement(LONG volatile* v) { return __atomic_add_fetch(v, 1, __ATOMIC_SEQ_CST); }

PLATFORM_API LONG InterlockedDecrement(LONG volatile* v) { return __atomic_sub_fetch(v, 1, __ATOMIC_SEQ_CST); }

PLATFORM_API LONG InterlockedExchange(LONG volatile* v, LONG value) {
  return __atomic_exchange_n(v, value, __ATOMIC_SEQ_CST);
}

PLATFORM_API LONG InterlockedCompareExchange(LONG volatile* v, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(v, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;  // the value found, whether or not it was replaced
}

}  // extern "C"
