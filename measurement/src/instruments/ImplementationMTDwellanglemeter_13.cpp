#include "ImplementationMTDwellanglemeter_13.h"

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

constexpr int kBoardMode = 11;
constexpr int kConfigurationReplyCapacity = 20;

}  // namespace

int ImplementationMTDwellanglemeter_13::GetChannelCount(uint16_t* count) {
  if (!count) return kBadArgument;
  *count = 2;
  return kOk;
}

int ImplementationMTDwellanglemeter_13::SelectInput(uint16_t input) {
  if (input > 1) return kBadArgument;
  m_selectedInput = input;
  m_inputs[0] = static_cast<uint8_t>(input);
  m_dirty = kMeterProbesChanged;
  return kOk;
}

int ImplementationMTDwellanglemeter_13::ReadProbes(ProbeDescriptor* dwellInput, ProbeDescriptor* temperatureSensor) {
  if (!dwellInput || !temperatureSensor) return kBadArgument;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  ProbeDescriptor probes[2];
  const int code = QueryMeterProbes(m_inputs, m_inputCount, probes);
  if (code != kOk) return code;
  *dwellInput = probes[0];
  *temperatureSensor = probes[1];
  m_dirty = kMeterProbesChanged;
  return kOk;
}

int ImplementationMTDwellanglemeter_13::Configure() {
  int code;
  if (!CheckLinkReady(&code)) return code;
  ParamsChangeTaken paramsChange;  // set again unless the board takes this configuration
  bool otherInstrument = false;
  if ((code = SelectMeterInputs(kBoardMode, m_dirty, m_inputs, m_inputCount, &otherInstrument)) != kOk) return code;

  uint8_t configuration[kConfigurationLength];
  std::memcpy(configuration, GetConfigurationRecord(m_configurationId).bytes, sizeof configuration);
  // The meter's own code and the engine's degrees per mark, as every meter configuration.
  configuration[1] = static_cast<uint8_t>(m_measurementCode);
  if ((code = SetMeterEngineBytes(EngineParams(), configuration)) != kOk) return code;
  if (m_selectedInput == 1) configuration[2] = 0xC0;
  code = SendMeterConfiguration(configuration, m_dirty, otherInstrument, m_inputs, m_inputCount,
                                kConfigurationReplyCapacity, &m_configurationChanged);
  if (code != kOk) return code;
  const uint8_t start[3] = {kCmdMeterStart, static_cast<uint8_t>(m_measurementCode),
                            static_cast<uint8_t>(m_selectedInput)};
  if ((code = SendMeterStart(start, sizeof start)) != kOk) return code;
  SetBoardMode(kBoardMode);
  m_dirty = 0;
  paramsChange.Accept();
  return kOk;
}

int ImplementationMTDwellanglemeter_13::Measure(DwellReading* reading) {
  if (!reading) return kBadArgument;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  MeterCounts counts;
  int code = ReadMeter(kBoardMode, m_dirty, [this] { return Configure(); }, &counts);
  if (code != kOk) return code;

  const EngineParameterBlock p = EngineParams();
  uint8_t w = 0;
  uint8_t z = 0;
  if ((code = GetRevolutionsPerCycle(&w)) != kOk) return code;
  if ((code = GetCylinderCount(&z)) != kOk) return code;
  if (p.sparkStroke == 2) z = 1;

  DwellReading result{};
  // The dwell meter sees every spark of the primary: its count divides by the cylinders.
  result.speed = RoundSpeed(SpeedTenths(uint64_t{counts.speed} * 60 * w, uint64_t{z} * 100));
  if (!SpeedInWindow(result.speed)) result.speed = ScaledValue{0, 0, {}};
  result.temperature = TemperatureReading(counts.sensorMillivolts);

  int32_t dwell = 0;
  uint8_t valid = 0;
  if (counts.period != 0) {
    const double closed = static_cast<double>(int64_t{counts.period} - int64_t{counts.interval});
    const int64_t d = static_cast<int64_t>(closed / counts.period * 1000);  // tenths of a percent
    if (d > 1000) {
      dwell = 999;
    } else if (d < 0) {
      dwell = 0;
    } else {
      dwell = static_cast<int32_t>(d);
      valid = 1;
    }
  }
  result.dwell = ScaledValue{dwell, -1, {}};
  result.valid = valid;
  result.dwellProbe = EngineState().InputDescriptor(m_selectedInput);
  *reading = result;
  return kOk;
}

}  // namespace kv310
