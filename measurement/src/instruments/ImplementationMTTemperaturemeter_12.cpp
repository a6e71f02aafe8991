#include "ImplementationMTTemperaturemeter_12.h"

#include "../CommandSet.h"
#include "../EngineMeters.h"
#include "../Library.h"
#include "../LinkRequest.h"
#include "../ProbeTable.h"
#include "../ScaledArithmetic.h"
#include "../EngineTesterState.h"

#include <cstring>
#include <mutex>

namespace kv310 {

namespace {

constexpr int kBoardMode = 10;
constexpr int kConfigurationReplyCapacity = 20;

// Speed sensors by engine type and SpeedSensorType: configuration, measurement code, input.
struct SpeedSensorRow {
  int32_t engineType;
  int32_t sensorType;
  int32_t configuration;
  int32_t measurementCode;
  uint8_t input;
};
constexpr SpeedSensorRow kSpeedSensors[] = {
    {0, 0, 20, 1, 9}, {0, 1, 21, 2, 8}, {0, 3, 23, 4, 8},
    {1, 0, 20, 1, 9}, {1, 1, 21, 2, 8}, {1, 2, 22, 3, 5}, {1, 3, 23, 4, 8},
};

}  // namespace

int ImplementationMTTemperaturemeter_12::GetTemperatureSensorClass(int32_t* probeClass) {
  if (!probeClass) return kBadArgument;
  *probeClass = m_temperatureSensor.probeClass;
  return kOk;
}

int ImplementationMTTemperaturemeter_12::SelectSpeedSensor() {
  const EngineParameterBlock p = EngineParams();
  int32_t sensorType = 0;
  const int code = ActiveSpeedSensorType(p, &sensorType);
  if (code != kOk) return code;
  for (const SpeedSensorRow& row : kSpeedSensors) {
    if (row.engineType != p.engineType || row.sensorType != sensorType) continue;
    m_configurationId = row.configuration;
    m_measurementCode = row.measurementCode;
    m_inputs[0] = row.input;
    return kOk;
  }
  return kUnknownSelection;
}

int ImplementationMTTemperaturemeter_12::ReadProbes(ProbeDescriptor* temperatureSensor, ProbeDescriptor* speedSensor) {
  if (!temperatureSensor || !speedSensor) return kBadArgument;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code = SelectSpeedSensor();
  if (code != kOk) return code;
  ProbeDescriptor probes[2];
  if ((code = QueryMeterProbes(m_inputs, m_inputCount, probes)) != kOk) return code;
  *speedSensor = probes[0];
  *temperatureSensor = probes[1];
  m_dirty = kMeterProbesChanged;
  return kOk;
}

int ImplementationMTTemperaturemeter_12::Configure() {
  int code;
  if (!CheckLinkReady(&code)) return code;
  ParamsChangeTaken paramsChange;  // set again unless the board takes this configuration
  if ((code = SelectSpeedSensor()) != kOk) return code;
  bool otherInstrument = false;
  if ((code = SelectMeterInputs(kBoardMode, m_dirty, m_inputs, m_inputCount, &otherInstrument)) != kOk) return code;

  const EngineParameterBlock p = EngineParams();
  uint8_t configuration[kConfigurationLength];
  std::memcpy(configuration, GetConfigurationRecord(m_configurationId).bytes, sizeof configuration);
  if (m_configurationId == 22 && p.dieselPressureSensorType == 0)
    configuration[5] = static_cast<uint8_t>(configuration[5] + 0x80);
  switch (m_configurationId) {
    case 21: configuration[7] = 50; break;
    case 22: configuration[7] = 75; break;
    case 23: configuration[7] = 1; break;
    default:
      if (p.engineType == 1) {
        configuration[7] = 60;
      } else if ((code = SparkDegreesPerMark(p, &configuration[7])) != kOk) {
        return code;
      }
      break;
  }
  if (m_configurationId == 22) {
    configuration[8] = p.dieselComparativeLevel;
  } else {
    uint16_t marks = 0;
    if ((code = ActiveNumberMarks(p, &marks)) != kOk) return code;
    configuration[8] = static_cast<uint8_t>(marks & 0xFF);
  }
  code = SendMeterConfiguration(configuration, m_dirty, otherInstrument, m_inputs, m_inputCount,
                                kConfigurationReplyCapacity, &m_configurationChanged);
  if (code != kOk) return code;
  const uint8_t start[2] = {kCmdMeterStart, static_cast<uint8_t>(m_measurementCode)};
  if ((code = SendMeterStart(start, sizeof start)) != kOk) return code;
  SetBoardMode(kBoardMode);
  m_dirty = 0;
  paramsChange.Accept();
  return kOk;
}

int ImplementationMTTemperaturemeter_12::Measure(SpeedTemperatureReading* reading) {
  if (!reading) return kBadArgument;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  MeterCounts counts;
  int code = ReadMeter(kBoardMode, m_dirty, [this] { return Configure(); }, &counts);
  if (code != kOk) return code;

  const EngineParameterBlock p = EngineParams();
  int32_t sensorType = 0;
  if ((code = ActiveSpeedSensorType(p, &sensorType)) != kOk) return code;
  uint8_t w = 1;
  // Sensors 1 and 3 see every revolution; the others once per working cycle, except with a
  // wasted-spark coil, which fires every revolution.
  if (sensorType != 1 && sensorType != 3) {
    if ((code = GetRevolutionsPerCycle(&w)) != kOk) return code;
    if (p.sparkCoilType == 1) w = 1;
  }
  SpeedTemperatureReading result{};
  const ProbeDescriptor speedProbe = EngineState().InputDescriptor(m_inputs[0]);
  result.speed = SpeedReading(SpeedTenths(uint64_t{counts.speed} * 60 * w, 100), speedProbe);
  result.temperature = TemperatureReading(counts.sensorMillivolts);
  *reading = result;
  return kOk;
}

}  // namespace kv310
