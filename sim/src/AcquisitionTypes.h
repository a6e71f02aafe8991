// What the data type byte of an acquisition set-up means (which channels a record carries,
// whether it is a recording into board memory) and the board clock in seconds, shared by the
// board's and the engine-tester module's oscilloscopes.
#pragma once

#include <platform/clock.h>

#include <cmath>
#include <cstdint>

namespace sim {

// Seconds of the board clock (the platform clock).
inline double BoardSeconds() { return static_cast<double>(kvp::ClockNowMs()) / 1000.0; }

// Types 17 to 19 record into board memory (channel A, B, both).
inline bool IsRecordingType(uint8_t type) { return type >= 17 && type <= 19; }

// Which channels a data type carries: bit 0 channel A, bit 1 channel B.
inline int ChannelsOf(uint8_t type) {
  switch (type) {
    case 0: case 3: case 17: return 1;
    case 1: case 4: case 18: return 2;
    case 2: case 5: case 19: case 20: return 3;
    default: return 0;
  }
}

// Samples per second of the set-up's rate bytes: mantissa x 10^exponent.
inline double SampleRateOf(uint8_t mantissa, uint8_t exponent) { return mantissa * std::pow(10.0, exponent); }

}  // namespace sim
