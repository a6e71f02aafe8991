// High-voltage meter: the ignition secondary voltage per cylinder, with engine speed. It works in
// two steps: Arm sends the acquisition request and returns at once; the caller waits for the
// link's idle event and then reads the frame (ReadFrame, GetCylinderValues, GetEngineSpeed).
#pragma once

#include "../RequestSpacing.h"

#include <kv310/Kv310.h>

#include <cstdint>

namespace kv310 {

class ImplementationMTHiVoltage_14 final : public IMTHiVoltage_14 {
 public:
  static constexpr int kMaxSampleBytes = 4000;
  static constexpr uint8_t kNoFrame = 0xFF;
  // Two Arm requests (or a configuration and an Arm) are at least this far apart.
  static constexpr uint32_t kArmSpacingMs = 300;

  ImplementationMTHiVoltage_14();
  ~ImplementationMTHiVoltage_14() = default;

  int ReadProbe(ProbeDescriptor* probe) override;
  int GetMode(int32_t* mode) override;
  int SetMode(int32_t mode) override;
  int Rearm() override;
  int TogglePolarity() override;
  int Arm() override;
  int ReadFrame() override;
  int GetCylinderRecordCount(uint16_t* count) override;
  int GetCylinderValues(uint16_t cylinder, CylinderValue* values) override;
  int GetEngineSpeed(MeasuredValue* speed) override;

 private:
  int Configure();
  int SendSetup(int cylinders, const EngineParameterBlock& p);

  int32_t m_mode = 0;
  int32_t m_configurationId = 24;
  [[maybe_unused]] uint8_t m_headerExtension = 4;
  uint8_t m_inputCount = 3;
  uint8_t m_inputs[3] = {4, 9, 8};  // high-voltage probe, speed sensor, second speed input
  uint16_t m_sampleRateIndex = 14;
  uint16_t m_rangeIndex = 6;
  int32_t m_triggerPosition = 350;
  uint16_t m_triggerChannel = 0;
  [[maybe_unused]] ScaledValue m_triggerSensitivity{1, -1, {}};
  uint8_t m_restart = 0;
  uint8_t m_polaritySwap = 0;
  uint8_t m_selectedCylinder = 0;
  uint8_t m_samples[kMaxSampleBytes] = {};
  uint8_t m_frameType = kNoFrame;
  int32_t m_sampleCount = 0;
  ProbeDescriptor m_probe{};
  MeasuredValue m_speed{};
  int32_t m_dirty = 2;
  RequestSpacing m_spacing{kArmSpacingMs};  // since the last configuration or Arm
  uint8_t m_configurationChanged = 0;
};

}  // namespace kv310
