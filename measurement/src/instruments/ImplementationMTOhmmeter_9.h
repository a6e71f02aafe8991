// The engine-tester board's ohmmeter: the board ohmmeter's ranges and arithmetic, with the test
// leads on engine-tester input 0.
#pragma once

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationMTOhmmeter_9 final : public IMTOhmmeter_9 {
 public:
  static constexpr uint16_t kAutoRange = 0xFFFF;
  static constexpr int kOhmRangeCount = 5;

  ImplementationMTOhmmeter_9() = default;
  ~ImplementationMTOhmmeter_9() = default;

  int GetRangeCount(uint16_t* count) override;
  int GetRanges(uint16_t count, ScaledValue* ranges) override;
  int GetRange(ScaledValue* range) override;
  int GetRangeIndex(uint16_t* index) override;
  int GetAutoRangeIndex() override { return kAutoRange; }
  int SetRangeIndex(uint16_t index) override;
  int Measure(OhmReading* reading) override;

 private:
  // The 0x30 request of the current range (3 bytes automatic, 5 bytes fixed); returns its size.
  int BuildConfiguration(uint8_t request[5]) const;

  uint16_t m_rangeIndex = kAutoRange;
};

}  // namespace kv310
