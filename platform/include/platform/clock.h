// The one clock behind every sleep, timed wait, tick count and window timer. Tests replace it with
// a virtual clock that moves only when they advance it, so timing behaviour is exact and fast.
#pragma once

#include <platform/types.h>

#include <cstdint>
#include <functional>

namespace kvp {

// Milliseconds since an arbitrary start (real or virtual).
PLATFORM_API uint64_t ClockNowMs();

// Switches the whole process to a virtual clock (on) or back to the real one (off).
// The virtual clock starts at its current reading and stands still until advanced.
PLATFORM_API void ClockUseVirtual(bool on);
PLATFORM_API bool ClockIsVirtual();

// Moves the virtual clock forward; every sleep and timed wait whose deadline has passed wakes,
// and every listener is called (on the advancing thread) after the clock has moved.
PLATFORM_API void ClockAdvance(uint64_t ms);

// Listeners are told after each virtual advance (the window layer fires due timers from it).
// Returns an id for ClockUnsubscribe. Listeners run under the listener lock, so once
// ClockUnsubscribe returns its listener is neither running nor called again; do not subscribe or
// unsubscribe while holding a lock that a listener takes.
PLATFORM_API int ClockSubscribe(std::function<void()> onAdvance);
PLATFORM_API void ClockUnsubscribe(int id);

// Number of threads in a sleep or timed wait that has not ended yet. A test advances the virtual
// clock once the worker it drives is waiting; an advance that reaches a deadline ends that wait
// at once, so the count drops within ClockAdvance.
PLATFORM_API size_t ClockTimedWaiters();

}  // namespace kvp
