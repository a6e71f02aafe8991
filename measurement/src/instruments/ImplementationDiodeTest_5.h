// The measuring board's diode test (board mode 4): the forward voltage of a diode on one fixed
// 5 V range, through the ohmmeter's commands 0x30 and 0x31.
#pragma once

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationDiodeTest_5 final : public IDiodeTest_5 {
 public:
  ImplementationDiodeTest_5() = default;
  ~ImplementationDiodeTest_5() = default;

  int GetRange(ScaledValue* range) override;
  int Configure() override;
  int Measure(DiodeReading* reading) override;
};

// The voltage of a raw reading c as a fraction of 5 V x 32768.
int16_t DiodeValue(uint16_t raw);

}  // namespace kv310
