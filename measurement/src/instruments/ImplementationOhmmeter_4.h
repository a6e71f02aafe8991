// The measuring board's ohmmeter (board mode 3): five ranges (3.3 MOhm down to 110 Ohm) or
// automatic ranging; configured with command 0x30, read with command 0x31.
#pragma once

#include "OhmRanges.h"

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationOhmmeter_4 final : public IOhmmeter_4, public OhmRangeSetting {
 public:
  ImplementationOhmmeter_4() = default;
  ~ImplementationOhmmeter_4() = default;

  int GetRangeCount(uint16_t* count) override;
  int GetRanges(uint16_t count, ScaledValue* ranges) override;
  int GetRange(ScaledValue* range) override;
  int GetRangeIndex(uint16_t* index) override;
  int GetAutoRangeIndex() override { return kAutoRange; }
  int SetRangeIndex(uint16_t index) override;
  int Measure(OhmReading* reading) override;
};

}  // namespace kv310
