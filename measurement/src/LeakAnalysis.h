// The compression-pattern analysis of the leak test: one block of 1024 starter-current samples
// (12 bits, one every 2.5 ms) taken while the engine is cranked; the compression strokes show as
// humps, and the mean hump height of each cylinder, relative to the strongest, is the cylinder's
// result. The arithmetic is single precision, with square roots by its own approximation
// (LeakSquareRoot).
#pragma once

#include <cstdint>

namespace kv310 {

inline constexpr int kLeakSampleCount = 1024;
inline constexpr int kLeakMaxCylinders = 8;

// The analysis' own square root: reduces the argument to 0.5..2 by powers of 100 and 4, then a
// fifth-order polynomial. Arguments below 1e-6 give 0.
float LeakSquareRoot(float value);

struct LeakAnalysisResult {
  // Percent of the strongest cylinder, in the order of the compressions beginning with the
  // weakest; `cylinders` entries are meaningful.
  float relative[kLeakMaxCylinders] = {};
  uint8_t percent[kLeakMaxCylinders] = {};
  // Smallest, largest and last distance (samples) between compression peaks of the last pass.
  int16_t smallestDistance = 0;
  int16_t largestDistance = 0;
  int16_t lastDistance = 0;
};

// Analyses one recording for `cylinders` (1..8) cylinders. False when no usable compression pattern
// is found (the result then holds what was found so far).
bool AnalyseLeakRecording(const uint16_t samples[kLeakSampleCount], int cylinders, LeakAnalysisResult* result);

// One sample of the recording reply: v = ((h << 8) & 0xFFF) | l, mirrored (4096 - v) when bit 3 of
// h is clear, held to 12 bits.
uint16_t DecodeLeakSample(uint8_t high, uint8_t low);

}  // namespace kv310
