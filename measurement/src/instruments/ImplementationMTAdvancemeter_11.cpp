#include "ImplementationMTAdvancemeter_11.h"

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

constexpr int kBoardMode = 9;
constexpr int kSparkConfiguration = 17;
constexpr int kDieselConfiguration = 18;
constexpr uint8_t kSparkSpeedInput = 9;
constexpr uint8_t kDieselSpeedInput = 5;
constexpr int kConfigurationReplyCapacity = 20;
// The timing light: its flash is the spark itself, so the mark offset does not apply.
constexpr int kStroboscopeKind = 9;

ProbeDescriptor KindAndClass(int kind, int probeClass) {
  ProbeDescriptor probe{};
  probe.kind = kind;
  probe.probeClass = probeClass;
  return probe;
}

// Per advance-probe class: the measurement code and the timing-correction word, spark-ignition
// and diesel.
struct ProbeClassRow {
  int probeClass;
  int32_t sparkCode, dieselCode;
  int sparkCorrection, dieselCorrection;
};
constexpr ProbeClassRow kProbeClasses[] = {
    {5, 5, 8, 1, 2},
    {6, 6, 9, 3, 4},
    {8, 7, 10, 5, 6},
};

const ProbeClassRow* RowOfClass(int probeClass) {
  for (const ProbeClassRow& row : kProbeClasses)
    if (row.probeClass == probeClass) return &row;
  return nullptr;
}

}  // namespace

ImplementationMTAdvancemeter_11::ImplementationMTAdvancemeter_11()
    : m_slots{{8, KindAndClass(7, 6)}, {7, KindAndClass(9, 5)}, {8, KindAndClass(10, 8)}},
      m_selectedProbe(KindAndClass(9, 5)),
      m_temperatureSensor{8, 4, 15, 1, 1, 0, 0} {}

int ImplementationMTAdvancemeter_11::GetProbeKind(int32_t* probeClass) {
  if (!probeClass) return kBadArgument;
  const EngineParameterBlock p = EngineParams();
  if (p.engineType == 0) {
    *probeClass = 3;
  } else if (p.engineType == 1) {
    *probeClass = 0;
  } else {
    return kBadEngineType;
  }
  return kOk;
}

int ImplementationMTAdvancemeter_11::GetTemperatureSensorClass(int32_t* probeClass) {
  if (!probeClass) return kBadArgument;
  *probeClass = m_temperatureSensor.probeClass;
  return kOk;
}

int ImplementationMTAdvancemeter_11::GetProbeCount(uint16_t* count) {
  if (!count) return kBadArgument;
  *count = kSlotCount;
  return kOk;
}

int ImplementationMTAdvancemeter_11::GetProbes(uint16_t count, ProbeDescriptor* probes) {
  if (count > kSlotCount || !probes) return kBadArgument;
  for (int i = 0; i < count; ++i) probes[i] = m_slots[i].probe;
  return kOk;
}

int ImplementationMTAdvancemeter_11::SelectSpeedSensor() {
  const EngineParameterBlock p = EngineParams();
  const ProbeClassRow* row = RowOfClass(m_selectedProbe.probeClass);
  if (p.engineType == 0) {
    m_configurationId = kSparkConfiguration;
    m_inputs[0] = kSparkSpeedInput;
    if (!row) return kBadArgument;
    m_measurementCode = row->sparkCode;
  } else if (p.engineType == 1) {
    m_configurationId = kDieselConfiguration;
    m_inputs[0] = kDieselSpeedInput;
    if (!row) return kBadArgument;
    m_measurementCode = row->dieselCode;
  } else {
    return kBadEngineType;
  }
  return kOk;
}

int ImplementationMTAdvancemeter_11::SelectProbe(int32_t kind) {
  const int code = SelectSpeedSensor();
  if (code != kOk) return code;
  for (const ProbeSlot& slot : m_slots) {
    if (slot.probe.kind != kind) continue;
    m_selectedProbe = slot.probe;
    m_inputs[2] = slot.input;
    m_dirty = kMeterProbesChanged;
    return SelectSpeedSensor();  // the measurement code follows the new probe's class
  }
  return kBadArgument;
}

int ImplementationMTAdvancemeter_11::ReadProbes(ProbeDescriptor* advanceProbe, ProbeDescriptor* speedSensor,
                                                ProbeDescriptor* temperatureSensor) {
  if (!advanceProbe || !speedSensor || !temperatureSensor) return kBadArgument;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code = SelectSpeedSensor();
  if (code != kOk) return code;
  ProbeDescriptor probes[3];
  code = QueryMeterProbes(m_inputs, m_inputCount, probes);
  if (code != kOk) return code;
  *speedSensor = probes[0];
  *temperatureSensor = probes[1];
  *advanceProbe = probes[2];
  m_dirty = kMeterProbesChanged;
  return kOk;
}

int ImplementationMTAdvancemeter_11::Configure() {
  int code;
  if (!CheckLinkReady(&code)) return code;
  ParamsChangeTaken paramsChange;  // set again unless the board takes this configuration
  if ((code = SelectSpeedSensor()) != kOk) return code;
  if ((code = SelectProbes(m_inputs, m_inputCount)) != kOk) return code;
  if ((code = EnsureFirmwareChecked()) != kOk) return code;

  const EngineParameterBlock p = EngineParams();
  uint8_t configuration[kConfigurationLength];
  std::memcpy(configuration, GetConfigurationRecord(m_configurationId).bytes, sizeof configuration);
  configuration[1] = static_cast<uint8_t>(m_measurementCode);
  if ((code = SetMeterEngineBytes(p, configuration)) != kOk) return code;
  uint16_t marks = 0;
  if ((code = ActiveNumberMarks(p, &marks)) != kOk) return code;
  const uint8_t level = p.dieselComparativeLevel;
  const uint8_t marksLow = static_cast<uint8_t>(marks & 0xFF);
  switch ((m_measurementCode - 5) % 3) {  // the probe's position in its column
    case 0: configuration[8] = level; break;
    case 1: configuration[8] = marksLow; configuration[9] = level; break;
    default: configuration[8] = 1; configuration[9] = marksLow; configuration[10] = level; break;
  }
  // Sent every time, neither compared with nor kept as the last configuration.
  code = SendConfiguration(configuration, true, m_inputs, m_inputCount, kConfigurationReplyCapacity);
  if (code != kOk) return code;

  const uint8_t start[2] = {kCmdMeterStart, static_cast<uint8_t>(m_measurementCode)};
  if ((code = SendMeterStart(start, sizeof start)) != kOk) return code;
  SetBoardMode(kBoardMode);
  m_dirty = 0;
  paramsChange.Accept();
  return kOk;
}

int ImplementationMTAdvancemeter_11::Measure(AdvanceReading* reading) {
  if (!reading) return kBadArgument;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  MeterCounts counts;
  int code = ReadMeter(kBoardMode, m_dirty, [this] { return Configure(); }, &counts);
  if (code != kOk) return code;

  const EngineParameterBlock p = EngineParams();
  uint8_t w = 0;
  if ((code = GetRevolutionsPerCycle(&w)) != kOk) return code;
  if (p.sparkCoilType == 1 && m_configurationId == kSparkConfiguration) w = 1;

  const ProbeClassRow* row = RowOfClass(m_selectedProbe.probeClass);
  if (!row) return kBadArgument;
  m_correction = TimingCorrection(p.engineType == 1 ? row->dieselCorrection : row->sparkCorrection);
  const uint64_t interval = uint64_t{counts.interval} + m_correction;

  AdvanceReading result{};
  const ProbeDescriptor speedProbe = EngineState().InputDescriptor(m_inputs[0]);
  result.speed = SpeedReading(SpeedTenths(uint64_t{counts.speed} * 60 * w, 100), speedProbe);

  int16_t markOffset = 0;
  if ((code = ActiveMarkOffset(p, &markOffset)) != kOk) return code;
  result.temperature = TemperatureReading(counts.sensorMillivolts);
  result.flag = counts.flags & 0x01;

  int32_t tenths = 0;
  if (AdvanceTenths(interval, w, counts.period, m_selectedProbe.kind == kStroboscopeKind, markOffset, &tenths)) {
    result.advance.value = ScaledValue{tenths, -1, {}};
    result.advance.valid = 1;
  } else {
    result.advance.value = ScaledValue{0, 0, {}};
    result.advance.valid = 0;
  }
  result.advance.probe = EngineState().InputDescriptor(m_inputs[2]);
  *reading = result;
  return kOk;
}

}  // namespace kv310
