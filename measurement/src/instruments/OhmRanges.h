// What the board ohmmeter and the engine-tester ohmmeter share: five ranges (3.3 MOhm down to
// 110 Ohm) or automatic ranging, the range part of the configuration command 0x30, and the
// resistance arithmetic of a reading.
#pragma once

#include <kv310/Kv310.h>

#include <cstdint>

namespace kv310 {

// Full scale of ohmmeter range 0..4 in ohms; {0, 0} outside.
ScaledValue OhmRangeScale(int index);

// The resistance of a raw reading c on (range, sub-range) as a fraction of the range's full
// scale x 32768, with valid 1; valid 0 for an open circuit (range 0, sub-range 0, above 0.75 V),
// a range or sub-range the table does not hold, a reading at or beyond full scale, or one where
// the converter's curve has no finite resistance (its denominator is not positive).
void OhmValue(uint16_t raw, int rangeIndex, int subRange, int16_t* value, int32_t* valid);

// An ohmmeter's range setting and the range operations of its interface.
class OhmRangeSetting {
 public:
  static constexpr uint16_t kAutoRange = 0xFFFF;
  static constexpr int kOhmRangeCount = 5;

 protected:
  int RangeCount(uint16_t* count) const;
  int Ranges(uint16_t count, ScaledValue* ranges) const;
  // The full scale of the range in use; {0, 0} while ranging automatically.
  int Range(ScaledValue* range) const;
  int RangeIndex(uint16_t* index) const;
  // Takes a range index 0..4 or kAutoRange; kBadArgument for any other.
  int StoreRangeIndex(uint16_t index);
  // The 0x30 request of the current range with `flags` as its second byte: 3 bytes automatic,
  // 5 bytes fixed; returns its size.
  int BuildConfiguration(uint8_t flags, uint8_t request[5]) const;

  uint16_t m_rangeIndex = kAutoRange;
};

}  // namespace kv310
