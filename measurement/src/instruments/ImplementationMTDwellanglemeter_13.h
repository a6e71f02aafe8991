// Dwell-angle meter: dwell of the ignition primary on engine-tester input 0 or 1, with engine
// speed and temperature.
#pragma once

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationMTDwellanglemeter_13 final : public IMTDwellanglemeter_13 {
 public:
  ImplementationMTDwellanglemeter_13() = default;
  ~ImplementationMTDwellanglemeter_13() = default;

  int GetChannelCount(uint16_t* count) override;
  int SelectInput(uint16_t input) override;
  int ReadProbes(ProbeDescriptor* dwellInput, ProbeDescriptor* temperatureSensor) override;
  int Measure(DwellReading* reading) override;

 private:
  int Configure();

  uint16_t m_selectedInput = 0;
  int32_t m_configurationId = 19;
  int32_t m_measurementCode = 11;
  uint8_t m_inputCount = 2;
  uint8_t m_inputs[2] = {0, 6};  // the dwell input, the temperature sensor
  int32_t m_dirty = 0;
  uint8_t m_configurationChanged = 0;
};

}  // namespace kv310
