// The engine-tester board's diode test: forward voltage on one fixed 5 V range, with the test
// leads on engine-tester input 0.
#pragma once

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationMTDiodeTest_10 final : public IMTDiodeTest_10 {
 public:
  ImplementationMTDiodeTest_10() = default;
  ~ImplementationMTDiodeTest_10() = default;

  int GetRange(ScaledValue* range) override;
  int Configure() override;
  int Measure(DiodeReading* reading) override;

 private:
};

}  // namespace kv310
