// The measuring board's ohmmeter (board mode 3): five ranges (3.3 MOhm down to 110 Ohm) or
// automatic ranging; configured with command 0x30, read with command 0x31.
#pragma once

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationOhmmeter_4 final : public IOhmmeter_4 {
 public:
  static constexpr uint16_t kAutoRange = 0xFFFF;
  static constexpr int kOhmRangeCount = 5;

  ImplementationOhmmeter_4() = default;
  ~ImplementationOhmmeter_4() = default;

  int GetRangeCount(uint16_t* count) override;
  int GetRanges(uint16_t count, ScaledValue* ranges) override;
  int GetRange(ScaledValue* range) override;
  int GetRangeIndex(uint16_t* index) override;
  int GetAutoRangeIndex() override { return kAutoRange; }
  int SetRangeIndex(uint16_t index) override;
  int Measure(OhmReading* reading) override;

 private:
  // The 0x30 request of the current range (3 bytes automatic, 5 bytes fixed).
  int BuildConfiguration(uint8_t request[5]) const;

  uint16_t m_rangeIndex = kAutoRange;
};

// Full scale of ohmmeter range 0..4 in ohms; {0, 0} outside.
ScaledValue OhmRangeScale(int index);

// The resistance of a raw reading c on (range, sub-range) as a fraction of the range's full
// scale x 32768, with valid 1; valid 0 for an open circuit (range 0, sub-range 0, above 0.75 V),
// a range or sub-range the table does not hold, a reading at or beyond full scale, or one where
// the converter's curve has no finite resistance (its denominator is not positive).
void OhmValue(uint16_t raw, int rangeIndex, int subRange, int16_t* value, int32_t* valid);

}  // namespace kv310
