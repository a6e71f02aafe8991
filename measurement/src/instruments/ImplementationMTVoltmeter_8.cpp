#include "ImplementationMTVoltmeter_8.h"

#include "../Calibration.h"
#include "../ComPort.h"
#include "../CommandSet.h"
#include "../EngineMeterReplies.h"
#include "../EngineMeters.h"
#include "../Library.h"
#include "../LinkRequest.h"
#include "../ProbeTable.h"
#include "../ScaledArithmetic.h"
#include "../EngineTesterState.h"
#include "ImplementationVoltmeter_3.h"

#include <cstring>
#include <mutex>

namespace kv310 {

namespace {

constexpr int kBoardMode = 5;
constexpr int kSamplingMode = 3;
constexpr int kConfigurationReplyCapacity = 20;
constexpr int kReadingReplyCapacity = 50;
constexpr int kConfigurationRecordPlain = 11;

// The board inputs of each channel's probe slots.
constexpr uint8_t kSlotInputs[2][3] = {{0}, {1, 2, 3}};
constexpr uint8_t kSlotCount[2] = {1, 3};

// Speed sensors of modes 1 and 2: engine type, SpeedSensorType -> configuration, speed input.
struct SpeedSensorRow {
  int32_t engineType;
  int32_t sensorType;
  int32_t configuration;
  uint8_t input;
};
constexpr SpeedSensorRow kSpeedSensors[] = {
    {0, 0, 4, 9}, {0, 1, 5, 8}, {0, 3, 7, 8}, {1, 1, 5, 8}, {1, 2, 6, 5}, {1, 3, 7, 8},
};


const char* TagOfKind(int kind) {
  switch (kind) {
    case 1: return "400V";
    case 2: return "50A ";
    case 3: return "500A";
    default: return "NOPR";
  }
}


// The range the board reports: coupling 1 searches the codes of ranges 0..2, coupling 3 those of
// 3..9; no match gives 0.
uint16_t ReportedRangeIndex(uint8_t coupling, uint8_t rangeCode) {
  int first = 0;
  int last = -1;
  if (coupling == 1) {
    last = 2;
  } else if (coupling == 3) {
    first = 3;
    last = kRangeCount - 1;
  }
  for (int i = first; i <= last; ++i)
    if (GetRangeCode(i) == rangeCode) return static_cast<uint16_t>(i);
  return 0;
}

uint8_t Coupling(uint16_t rangeIndex) {
  if (rangeIndex == ImplementationMTVoltmeter_8::kAutoRange) return 0;
  return rangeIndex < 3 ? 1 : 3;
}

}  // namespace

int ImplementationMTVoltmeter_8::GetChannelCount(uint16_t* count) {
  if (!count) return kBadArgument;
  *count = 2;
  return kOk;
}

int ImplementationMTVoltmeter_8::GetRangeCount(uint16_t channel, uint16_t* count) {
  if (channel > 1 || !count) return kBadArgument;
  *count = kRangeCount;
  return kOk;
}

int ImplementationMTVoltmeter_8::GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) {
  if (channel > 1 || count > kRangeCount || !ranges) return kBadArgument;
  for (int i = 0; i < count; ++i) ranges[i] = GetRangeScale(i);
  return kOk;
}

int ImplementationMTVoltmeter_8::GetRange(uint16_t channel, ScaledValue* range) {
  if (!range) return kBadArgument;
  uint16_t index = 0;
  const int code = GetRangeIndex(channel, &index);
  if (code != kOk) return code;
  *range = index == kAutoRange ? ScaledValue{0, 0, {}} : GetRangeScale(index);
  return kOk;
}

int ImplementationMTVoltmeter_8::GetRangeIndex(uint16_t channel, uint16_t* index) {
  if (channel > 1 || !index) return kBadArgument;
  *index = m_rangeIndex[channel];
  return kOk;
}

int ImplementationMTVoltmeter_8::SetRangeIndex(uint16_t channel, uint16_t index) {
  if (channel > 1 || (index >= kRangeCount && index != kAutoRange)) return kBadArgument;
  m_rangeIndex[channel] = index;
  if (m_dirty != 2) m_dirty = 1;
  return kOk;
}

int ImplementationMTVoltmeter_8::GetMode(int32_t* mode) {
  if (!mode) return kBadArgument;
  *mode = m_mode;
  return kOk;
}

int ImplementationMTVoltmeter_8::ApplyMode(int32_t mode) {
  if (mode == 1 || mode == 2) {
    const EngineParameterBlock p = EngineParams();
    int32_t sensorType = 0;
    int code = ActiveSpeedSensorType(p, &sensorType);
    if (code != kOk) return code;
    const SpeedSensorRow* found = nullptr;
    for (const SpeedSensorRow& row : kSpeedSensors)
      if (row.engineType == p.engineType && row.sensorType == sensorType) found = &row;
    if (!found) return kUnknownSelection;
    m_valueOffset = 4;
    m_configurationId = found->configuration;
    m_inputs[2] = found->input;
    m_inputCount = 3;
  } else {
    m_valueOffset = 0;
    m_inputCount = 2;
    if (mode == 0) m_configurationId = kConfigurationRecordPlain;
  }
  m_inputs[0] = kSlotInputs[0][m_selectedSlot[0]];
  m_inputs[1] = kSlotInputs[1][m_selectedSlot[1]];
  m_mode = mode;
  m_dirty = kMeterProbesChanged;
  return kOk;
}

int ImplementationMTVoltmeter_8::SetMode(int32_t mode) {
  if (mode < 0 || mode > 3) return kBadArgument;
  return ApplyMode(mode);
}

int ImplementationMTVoltmeter_8::ReadProbe(uint16_t channel, ProbeDescriptor* probe) {
  if (channel > 1 || !probe) return kBadArgument;
  m_dirty = kMeterProbesChanged;
  const uint8_t input = m_inputs[channel];
  return QueryProbes(&input, 1, probe);
}

int ImplementationMTVoltmeter_8::GetInputCount(uint16_t channel, uint16_t* count) {
  if (channel > 1 || !count) return kBadArgument;
  *count = kSlotCount[channel];
  return kOk;
}

int ImplementationMTVoltmeter_8::ReadChannelProbes(uint16_t channel, ChannelProbeRecord* records) {
  if (channel > 1 || !records) return kBadArgument;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  const int slots = kSlotCount[channel];
  ProbeDescriptor probes[kMaxSlots];
  const int code = QueryProbes(kSlotInputs[channel], slots, probes);
  m_dirty = kMeterProbesChanged;
  if (code != kOk) return code;
  for (int slot = 0; slot < slots; ++slot) {
    const ProbeDescriptor& probe = probes[slot];
    ChannelProbeRecord& record = records[slot];
    record = ChannelProbeRecord{};
    record.slot = static_cast<uint8_t>(slot);
    std::memcpy(record.tag, TagOfKind(probe.kind), 5);
    record.probe = probe;
    m_slotProbes[channel][slot] = probe;
    EngineState().StoreInputDescriptor(kSlotInputs[channel][slot], probe);
    // Voltage probes (class 0) or clamps (class 1) on channel 0; on channel 1 a voltage probe on
    // the first slot and clamps on the other two.
    const bool suits = channel == 0 ? (probe.probeClass == 0 || probe.probeClass == 1)
                                    : probe.probeClass == (slot == 0 ? 0 : 1);
    if (!suits && probe.kind != 0) return kProbeOnWrongInput;
  }
  return kOk;
}

int ImplementationMTVoltmeter_8::SelectChannelInput(uint16_t channel, uint8_t slot) {
  if (channel > 1 || slot >= kSlotCount[channel]) return kBadArgument;
  m_selectedSlot[channel] = slot;
  m_inputs[channel] = kSlotInputs[channel][slot];
  m_dirty = kMeterProbesChanged;
  return kOk;
}

int ImplementationMTVoltmeter_8::Configure() {
  int code;
  if (!CheckLinkReady(&code)) return code;
  if (EngineState().ParamsChanged()) {
    // The speed sensor may have changed with the parameters.
    if ((code = ApplyMode(m_mode)) != kOk) return code;
    EngineState().SetParamsChanged(false);
  }
  bool otherInstrument = false;
  if ((code = SelectMeterInputs(kBoardMode, m_dirty, m_inputs, m_inputCount, &otherInstrument)) != kOk) return code;

  const EngineParameterBlock p = EngineParams();
  uint8_t configuration[kConfigurationLength];
  std::memcpy(configuration, GetConfigurationRecord(m_configurationId).bytes, sizeof configuration);
  const int clampKind = m_slotProbes[1][m_selectedSlot[1]].kind;
  configuration[2] = clampKind == 2 ? 3 : clampKind == 3 ? 5 : 0;
  if ((code = DegreesPerMark(p, &configuration[7])) != kOk) return code;
  uint16_t marks = 0;
  if ((code = ActiveNumberMarks(p, &marks)) != kOk) return code;
  configuration[8] = static_cast<uint8_t>(marks & 0xFF);
  code = SendMeterConfiguration(configuration, m_dirty, otherInstrument, m_inputs, m_inputCount,
                                kConfigurationReplyCapacity, &m_configurationChanged);
  if (code != kOk) return code;

  uint8_t setup[14];
  int size;
  if (m_mode == kSamplingMode) {
    const uint8_t sampling[14] = {kCmdVoltConfiguration, 3, 3, 1, 1, 5, 2, 3, 19, 34, 5, 0x80, 0x8D, 0x43};
    std::memcpy(setup, sampling, sizeof sampling);
    size = 14;
  } else {
    const uint16_t a = m_rangeIndex[0];
    const uint16_t b = m_rangeIndex[1];
    setup[0] = kCmdVoltConfiguration;
    setup[1] = static_cast<uint8_t>(m_mode);
    setup[2] = Coupling(a);
    setup[3] = static_cast<uint8_t>(a == kAutoRange ? 0 : GetRangeCode(a));
    setup[4] = Coupling(b);
    setup[5] = static_cast<uint8_t>(b == kAutoRange ? 0 : GetRangeCode(b));
    setup[6] = 25;
    setup[7] = 3;
    setup[8] = 19;
    setup[9] = static_cast<uint8_t>((a != kAutoRange ? 2 : 0) + (b != kAutoRange ? 32 : 0));
    size = 10;
  }
  uint8_t reply[20];
  int received = 0;
  if ((code = ExchangeWithBoard(setup, size, 0, reply, sizeof reply, &received)) != kOk) return code;
  if (received < 4 || reply[0] != kCmdVoltConfiguration || reply[1] != 0) return kBadReply;
  if (!IsEngineTesterModule(reply[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  SetBoardMode(kBoardMode);
  m_dirty = 0;
  return kOk;
}

int ImplementationMTVoltmeter_8::DecodeReply(const uint8_t* reply, int received, bool rms, bool clampGains,
                                             Reply* out) {
  VoltReplyFields fields;
  const int code = ParseVoltReply(reply, received, m_mode, m_inputCount, &fields);
  if (code == kNoEngineTester) EngineState().ClearEngineTesterFlags();
  if (code != kOk) return code;
  out->speedCount = fields.speedCount;
  for (int c = 0; c < 2; ++c) {
    const VoltChannelFields& f = fields.channels[c];
    if (m_mode == 0) {
      ProbeDescriptor probe;
      LookupProbeDescriptor(&probe, fields.probeCodes[c]);
      EngineState().StoreInputDescriptor(m_inputs[c], probe);
    }
    const uint16_t range = ReportedRangeIndex(f.coupling, f.rangeCode);
    out->rangeIndex[c] = range;
    const ProbeDescriptor probe = EngineState().InputDescriptor(m_inputs[c]);
    const float* gains = CalibrationPair(c, range, clampGains && probe.probeClass == 1 ? 1 : 0);
    for (int k = 0; k < 3; ++k) {
      int16_t value = k == 0 && rms ? VoltmeterRms(f.values[0], f.squareSum) : VoltmeterValue(f.values[k]);
      ScaleSample(&value, gains[0], gains[1]);
      out->values[c][k] = value;
    }
  }
  return kOk;
}

int ImplementationMTVoltmeter_8::ReadReply(uint8_t variant, bool clampGains, Reply* out) {
  int code;
  if (!CheckLinkReady(&code)) return code;
  if (MeterNeedsConfiguration(kBoardMode, m_dirty) && (code = Configure()) != kOk) return code;
  const uint8_t request[2] = {kCmdVoltReading, static_cast<uint8_t>(m_mode == 0 ? variant | 0x80 : variant)};
  uint8_t reply[kReadingReplyCapacity];
  int received = 0;
  if ((code = ExchangeWithBoard(request, sizeof request, 0, reply, sizeof reply, &received)) != kOk) return code;
  return DecodeReply(reply, received, variant == 1, clampGains, out);
}

void ImplementationMTVoltmeter_8::StoreSpeed(uint32_t count, bool rounded) {
  const EngineParameterBlock p = EngineParams();
  int32_t sensorType = 0;
  ActiveSpeedSensorType(p, &sensorType);
  uint8_t w = 1;
  if (sensorType != 1 && sensorType != 3) {
    GetRevolutionsPerCycle(&w);
    if (p.sparkCoilType == 1) w = 1;
  }
  const ScaledValue tenths = SpeedTenths(uint64_t{count} * 60 * w, 100);
  m_speed.value = rounded ? RoundSpeed(tenths) : tenths;
  m_speed.valid = 1;
  m_speed.probe = EngineState().InputDescriptor(m_inputs[2]);
}

int ImplementationMTVoltmeter_8::ReadChannel(uint16_t channel, uint8_t variant, VoltmeterReading* reading) {
  if (channel > 1 || !reading) return kBadArgument;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  Reply reply;
  const int code = ReadReply(variant, true, &reply);
  if (code != kOk) return code;
  if (m_mode == 1) StoreSpeed(reply.speedCount, false);
  VoltmeterReading result{};
  std::memcpy(result.values, reply.values[channel], sizeof result.values);
  result.rangeIndex = reply.rangeIndex[channel];
  result.probe = EngineState().InputDescriptor(m_inputs[channel]);
  *reading = result;
  return kOk;
}

DualVoltmeterReading ImplementationMTVoltmeter_8::BothChannels(const Reply& reply) const {
  DualVoltmeterReading result{};
  std::memcpy(result.values0, reply.values[0], sizeof result.values0);
  std::memcpy(result.values1, reply.values[1], sizeof result.values1);
  result.rangeIndex0 = reply.rangeIndex[0];
  result.rangeIndex1 = reply.rangeIndex[1];
  result.probe0 = EngineState().InputDescriptor(m_inputs[0]);
  result.probe1 = EngineState().InputDescriptor(m_inputs[1]);
  return result;
}

int ImplementationMTVoltmeter_8::ReadBoth(uint8_t variant, DualVoltmeterReading* reading) {
  if (!reading) return kBadArgument;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  Reply reply;
  const int code = ReadReply(variant, true, &reply);
  if (code != kOk) return code;
  if (m_mode == 2) StoreSpeed(reply.speedCount, true);
  *reading = BothChannels(reply);
  return kOk;
}

int ImplementationMTVoltmeter_8::Measure(uint16_t channel, VoltmeterReading* reading) {
  return ReadChannel(channel, 0, reading);
}

int ImplementationMTVoltmeter_8::MeasureRms(uint16_t channel, VoltmeterReading* reading) {
  return ReadChannel(channel, 1, reading);
}

int ImplementationMTVoltmeter_8::ReadStatistics(DualVoltmeterReading* reading) { return ReadBoth(0, reading); }

int ImplementationMTVoltmeter_8::ReadStatisticsRms(DualVoltmeterReading* reading) { return ReadBoth(1, reading); }

int ImplementationMTVoltmeter_8::GetEngineSpeed(MeasuredValue* speed) {
  if (!speed) return kBadArgument;
  if (!SpeedInWindow(m_speed.value)) {
    m_speed.value = ScaledValue{0, 0, {}};
    m_speed.valid = 0;
  }
  if (m_mode == 0) m_speed.valid = 0;
  *speed = m_speed;
  return kOk;
}

int ImplementationMTVoltmeter_8::StartSampling() {
  if (m_mode != kSamplingMode) return kNotAllowed;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  if (MeterNeedsConfiguration(kBoardMode, m_dirty) && (code = Configure()) != kOk) return code;
  CComPort* link = Link();
  if (!link) return kNoLink;
  // The reply is read by ReadSampling once the caller has seen the link idle again.
  const uint8_t request[2] = {kCmdVoltReading, 0x00};
  if (link->Send(request, sizeof request, 0) == 0) return CheckLinkReady(&code) ? kBadReply : code;
  return kOk;
}

int ImplementationMTVoltmeter_8::ReadSampling(int16_t* values) {
  if (m_mode != kSamplingMode) return kNotAllowed;
  if (!values) return kBadArgument;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  uint8_t reply[kReadingReplyCapacity];
  const int received = Link()->Receive(reply, sizeof reply, 0);
  Reply decoded;
  if ((code = DecodeReply(reply, received, false, false, &decoded)) != kOk) return code;
  // The caller's array takes the statistics record's layout: six values, two range indexes and
  // the two channels' descriptors.
  const DualVoltmeterReading result = BothChannels(decoded);
  std::memcpy(values, &result, sizeof result);
  return kOk;
}

}  // namespace kv310
