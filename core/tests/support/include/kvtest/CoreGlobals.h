// One reset for the core's process-wide objects (and the platform's, through ResetPlatformGlobals):
// a test that touches any of them derives its fixture from CoreTest instead of undoing its
// changes by hand. A new global object of the core gets its line in ResetCoreGlobals.
#pragma once

#include <kvtest/PlatformGlobals.h>

namespace kvtest {

// Back to the state at program start: the settings object (language freed, settings, styles and
// flags as constructed, no start-up services), the display traces and the display record, the
// scope scales, grids and divisor base, the screen layout and the cursor-scale record, both
// saved-scope slots, the notification sinks, the oscilloscope preset, the colour scheme, the
// registry functions and the engine-tester data object.
void ResetCoreGlobals();

// Resets before and after every test.
using CoreTest = ResetAroundEachTest<&ResetCoreGlobals>;

}  // namespace kvtest
