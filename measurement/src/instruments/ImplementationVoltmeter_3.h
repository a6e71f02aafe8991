// The measuring board's two-channel voltmeter (board mode 2): a fixed range or automatic ranging
// per channel, configured with command 0x20 and read with command 0x21 (three values, the range
// the board used and a square sum for the RMS value).
#pragma once

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationVoltmeter_3 final : public IVoltmeter_3 {
 public:
  static constexpr uint16_t kAutoRange = 0xFFFF;

  ImplementationVoltmeter_3() = default;
  ~ImplementationVoltmeter_3() = default;

  int GetChannelCount(uint16_t* count) override;
  int GetRangeCount(uint16_t channel, uint16_t* count) override;
  int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) override;
  int GetRange(uint16_t channel, ScaledValue* range) override;
  int GetRangeIndex(uint16_t channel, uint16_t* index) override;
  int GetAutoRangeIndex() override { return kAutoRange; }
  int SetRangeIndex(uint16_t channel, uint16_t index) override;
  int GetMode(int32_t* mode) override;
  int SetMode(int32_t mode) override;
  int ReadProbe(uint16_t channel, ProbeDescriptor* probe) override;
  int Measure(uint16_t channel, VoltmeterReading* reading) override;
  int MeasureRms(uint16_t channel, VoltmeterReading* reading) override;

 private:
  int Configure();
  int Read(uint16_t channel, bool rms, VoltmeterReading* reading);

  uint16_t m_rangeIndex[2] = {kAutoRange, kAutoRange};
  int32_t m_mode = 0;
  uint8_t m_headerExtension = 0;
};

// The RMS value of a channel from its first 12-bit field v and its 24-bit square sum q:
// sqrt(32768 x (32768 - 32 v) + 256 q), formed in single precision. A reading whose fields do
// not fit together (a negative argument) gives 0, and the result is held at 32767.
int16_t VoltmeterRms(uint16_t firstField, uint32_t squareSum);

// A 12-bit field as a 16-bit value: (v - 2048) x 16.
int16_t VoltmeterValue(uint16_t field);

}  // namespace kv310
