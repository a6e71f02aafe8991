// A check both oscilloscopes' recording tests make: one read-back call never writes beyond the
// capacity it was given.
#pragma once

#include <kv310/ResultCodes.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kv310::testing {

// Reads a stopped recording back once with `capacity`, into a buffer with room beyond it, and
// checks the room stayed untouched. Returns the count read (0 on failure).
template <typename Oscilloscope>
uint32_t ReadBackWithinCapacity(Oscilloscope& oscilloscope, uint32_t capacity, uint8_t* done) {
  constexpr int16_t kUntouched = 0x5A5A;
  std::vector<int16_t> samples(capacity + 2000, kUntouched);
  uint32_t count = 0;
  const int code = oscilloscope.WaitData(capacity, samples.data(), &count, done);
  EXPECT_EQ(code, kOk);
  for (size_t i = capacity; i < samples.size(); ++i) {
    if (samples[i] != kUntouched) {
      ADD_FAILURE() << "sample " << i << " written beyond the capacity of " << capacity;
      break;
    }
  }
  return code == kOk ? count : 0;
}

}  // namespace kv310::testing
