#include "EngineTesterState.h"

#include "Library.h"
#include "ProbeTable.h"

#include <kv310/ResultCodes.h>

namespace kv310 {

EngineParameterBlock BuiltInEngineParams() {
  EngineParameterBlock b{};
  b.engineType = 0;
  b.sparkNumberCylinders = 4;
  b.sparkNumberMarks = 1;
  b.sparkMarkOffset = 0;
  b.sparkStroke = 4;
  b.sparkSensitivity = 3;
  b.sparkSpeedSensorType = 0;
  b.sparkCoilType = 0;
  b.sparkHiVoltageTypeProbe = 0;
  for (uint8_t& p : b.sparkPolarityHVProbes) p = 1;
  b.dieselNumberCylinders = 4;
  b.dieselNumberMarks = 1;
  b.dieselMarkOffset = 0;
  b.dieselStroke = 4;
  b.dieselComparativeLevel = 11;
  b.dieselPressureSensorType = 1;
  b.dieselSensitivity = 3;
  b.dieselSpeedSensorType = 2;
  return b;
}

EngineTesterState::EngineTesterState() : m_defaults(BuiltInEngineParams()), m_current(m_defaults) {
  for (ProbeDescriptor& p : m_inputs) p = DescriptorOfKind(0);
}

EngineParameterBlock EngineTesterState::CurrentParams() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_current;
}

void EngineTesterState::SetHiVoltageProbeType(int32_t type) {
  std::lock_guard<std::mutex> hold(m_lock);
  m_current.sparkHiVoltageTypeProbe = type;
}

ProbeDescriptor EngineTesterState::InputDescriptor(int input) const {
  std::lock_guard<std::mutex> hold(m_lock);
  return (input >= 0 && input < kInputCount) ? m_inputs[input] : DescriptorOfKind(0);
}

void EngineTesterState::StoreInputDescriptor(int input, const ProbeDescriptor& probe) {
  std::lock_guard<std::mutex> hold(m_lock);
  if (input >= 0 && input < kInputCount) m_inputs[input] = probe;
}

int UpdateEngineTesterFirmware() {
  EngineTesterState& state = EngineState();
  state.SetEngineTesterReady(false);
  const int code = state.Firmware().Check();
  if (code == kOk) state.SetEngineTesterReady(true);
  return code;
}

int EnsureFirmwareChecked() {
  EngineTesterState& state = EngineState();
  if (state.FirmwareChecked()) return kOk;
  const int code = UpdateEngineTesterFirmware();
  if (code == kOk) state.SetFirmwareChecked(true);
  return code;
}

}  // namespace kv310
