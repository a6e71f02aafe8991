// Advance meter: ignition or injection advance with a timing probe on the engine-tester board,
// with engine speed and engine temperature, for spark-ignition and diesel engines.
#pragma once

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationMTAdvancemeter_11 final : public IMTAdvancemeter_11 {
 public:
  ImplementationMTAdvancemeter_11();
  ~ImplementationMTAdvancemeter_11() = default;

  int GetProbeKind(int32_t* probeClass) override;
  int GetTemperatureSensorClass(int32_t* probeClass) override;
  int GetProbeCount(uint16_t* count) override;
  int GetProbes(uint16_t count, ProbeDescriptor* probes) override;
  int SelectProbe(int32_t kind) override;
  int ReadProbes(ProbeDescriptor* advanceProbe, ProbeDescriptor* speedSensor,
                 ProbeDescriptor* temperatureSensor) override;
  int Measure(AdvanceReading* reading) override;

 private:
  static constexpr int kSlotCount = 3;
  struct ProbeSlot {
    uint8_t input;
    ProbeDescriptor probe;  // only kind and class are set
  };

  int SelectSpeedSensor();
  int Configure();

  ProbeSlot m_slots[kSlotCount];
  int32_t m_configurationId = 17;
  int32_t m_measurementCode = 5;
  ProbeDescriptor m_selectedProbe{};
  ProbeDescriptor m_temperatureSensor{};
  uint8_t m_inputCount = 3;
  uint8_t m_inputs[3] = {9, 6, 7};  // speed sensor, temperature sensor, advance probe
  uint16_t m_correction = 0;
  int32_t m_dirty = 0;
};

}  // namespace kv310
