// Speed-and-temperature meter: engine speed from the configured speed sensor and engine
// temperature from the temperature sensor on the engine-tester board.
#pragma once

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationMTTemperaturemeter_12 final : public IMTTemperaturemeter_12 {
 public:
  ImplementationMTTemperaturemeter_12() = default;
  ~ImplementationMTTemperaturemeter_12() = default;

  int GetTemperatureSensorClass(int32_t* probeClass) override;
  int ReadProbes(ProbeDescriptor* temperatureSensor, ProbeDescriptor* speedSensor) override;
  int Measure(SpeedTemperatureReading* reading) override;

 private:
  int SelectSpeedSensor();
  int Configure();

  int32_t m_configurationId = 20;
  int32_t m_measurementCode = 1;
  ProbeDescriptor m_temperatureSensor{8, 4, 15, 1, 1, 0, 0};
  uint8_t m_inputCount = 2;
  uint8_t m_inputs[2] = {9, 6};  // the speed sensor, the temperature sensor
  int32_t m_dirty = 0;
  uint8_t m_configurationChanged = 0;
};

}  // namespace kv310
