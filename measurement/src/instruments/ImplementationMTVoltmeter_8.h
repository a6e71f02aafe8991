// The engine-tester board's voltage and current meter: channel 0 for voltage on input 0, channel
// 1 for current (or voltage) on one of inputs 1 to 3, with optional engine speed, statistics of
// both channels and a sampling mode.
#pragma once

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationMTVoltmeter_8 final : public IMTVoltmeter_8 {
 public:
  static constexpr uint16_t kAutoRange = 0xFFFF;

  ImplementationMTVoltmeter_8() = default;
  ~ImplementationMTVoltmeter_8() = default;

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
  int GetInputCount(uint16_t channel, uint16_t* count) override;
  int ReadChannelProbes(uint16_t channel, ChannelProbeRecord* records) override;
  int SelectChannelInput(uint16_t channel, uint8_t slot) override;
  int Measure(uint16_t channel, VoltmeterReading* reading) override;
  int MeasureRms(uint16_t channel, VoltmeterReading* reading) override;
  int ReadStatistics(DualVoltmeterReading* reading) override;
  int ReadStatisticsRms(DualVoltmeterReading* reading) override;
  int GetEngineSpeed(MeasuredValue* speed) override;
  int StartSampling() override;
  int ReadSampling(int16_t* values) override;

 private:
  static constexpr int kMaxSlots = 3;

  // One decoded 0x21 reply: both channels, and the speed count of modes 1 and 2.
  struct Reply {
    int16_t values[2][3];
    uint16_t rangeIndex[2];
    uint32_t speedCount;
  };

  int ApplyMode(int32_t mode);
  int Configure();
  int ReadReply(uint8_t variant, bool clampGains, Reply* out);
  int DecodeReply(const uint8_t* reply, int received, bool rms, bool clampGains, Reply* out);
  void StoreSpeed(uint32_t count, bool rounded);
  int ReadChannel(uint16_t channel, uint8_t variant, VoltmeterReading* reading);
  int ReadBoth(uint8_t variant, DualVoltmeterReading* reading);
  DualVoltmeterReading BothChannels(const Reply& reply) const;

  uint16_t m_rangeIndex[2] = {kAutoRange, kAutoRange};
  int32_t m_mode = 0;
  int32_t m_configurationId = 11;
  uint8_t m_valueOffset = 0;
  uint8_t m_inputCount = 2;
  uint8_t m_inputs[3] = {0, 1, 9};  // channel 0, channel 1, speed sensor
  uint8_t m_selectedSlot[2] = {0, 0};
  ProbeDescriptor m_slotProbes[2][kMaxSlots] = {};
  MeasuredValue m_speed{};
  int32_t m_dirty = 2;
  uint8_t m_configurationChanged = 0;
};

}  // namespace kv310
