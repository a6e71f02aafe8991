// The engine-tester board's ohmmeter: the board ohmmeter's ranges and arithmetic, with the test
// leads on engine-tester input 0.
#pragma once

#include "OhmRanges.h"

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationMTOhmmeter_9 final : public IMTOhmmeter_9, public OhmRangeSetting {
 public:
  ImplementationMTOhmmeter_9() = default;
  ~ImplementationMTOhmmeter_9() = default;

  int GetRangeCount(uint16_t* count) override;
  int GetRanges(uint16_t count, ScaledValue* ranges) override;
  int GetRange(ScaledValue* range) override;
  int GetRangeIndex(uint16_t* index) override;
  int GetAutoRangeIndex() override { return kAutoRange; }
  int SetRangeIndex(uint16_t index) override;
  int Measure(OhmReading* reading) override;
};

}  // namespace kv310
