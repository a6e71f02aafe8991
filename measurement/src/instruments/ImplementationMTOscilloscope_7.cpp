#include "ImplementationMTOscilloscope_7.h"

#include "../Calibration.h"
#include "../CommandSet.h"
#include "../ComPort.h"
#include "../EngineMeters.h"
#include "../Library.h"
#include "../LinkRequest.h"
#include "../OscConfiguration.h"
#include "../ProbeTable.h"
#include "../ScaledArithmetic.h"
#include "../EngineTesterState.h"

#include <platform/byteorder.h>
#include <platform/clock.h>
#include <platform/sync.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace kv310 {

namespace {

constexpr int kBoardModeMTOscilloscope = 6;
constexpr int kAcquisitionExtraMs = 1300;
constexpr uint32_t kLastTriggerPosition = 999;
constexpr uint32_t kLastEngineTriggerPosition = 499;
constexpr uint32_t kChunkRequest = 1000;
constexpr int kSetupReplyCapacity = 30;
constexpr int kConfigurationReplyCapacity = 30;
constexpr uint8_t kStatusNoNewData = 2;
constexpr int kChannelBInputs = 4;

bool IsEngineType(uint8_t type) { return type == 8 || type == 11 || (type >= 13 && type <= 16); }
bool HasPeakBytes(uint8_t type) { return type == 13 || type == 14 || type == 16; }
bool OneBlockType(uint8_t type) { return type == 8 || type == 13; }

// The four-character tag the oscilloscope shows for a probe kind.
void ProbeTag(int kind, char tag[5]) {
  const char* text = "NOPR";
  switch (kind) {
    case 1: text = "400V"; break;
    case 2: text = "50A "; break;
    case 3: text = "500A"; break;
    case 6: text = "PIE "; break;
    case 11: text = "25kV"; break;
    case 14: text = "SSCN"; break;
    default: break;
  }
  std::memcpy(tag, text, 5);
}

// Which probes a probe input of the oscilloscope accepts.
bool ProbeAllowed(int channel, uint8_t input, int mode, const ProbeDescriptor& d) {
  if (d.kind == 0) return true;
  if (input == 4) return d.kind == 11;
  if (channel == 1) return input == 1 ? d.probeClass == 0 : d.probeClass == 1;
  if (input == 5 && (mode == 5 || mode == 6)) return d.kind == 6;
  return d.probeClass == 0 || d.probeClass == 1;
}

float FullScale(int rangeIndex) { return ScaledValueToFloat(GetRangeScale(rangeIndex)); }

// Channel B's probe inputs 0..3 are board inputs 1..4; channel A has one input, which the mode
// decides: 5 (injection sensor) in modes 5 and 6, 4 (reference probe) in modes 7 to 9, else 0.
uint8_t BoardInputOf(int mode, int channel, uint8_t probeIndex) {
  if (channel == 1) return static_cast<uint8_t>(probeIndex + 1);
  if (mode == 5 || mode == 6) return 5;
  if (IsEngineSynchronousMode(mode)) return 4;
  return 0;
}

}  // namespace

ImplementationMTOscilloscope_7::ImplementationMTOscilloscope_7() { ResetSettings(11); }

void ImplementationMTOscilloscope_7::ResetSettings(uint16_t sampleRateIndex) {
  m_s = MTOscSetup{};
  m_s.sampleRateIndex = sampleRateIndex;
  m_probeIndex[0] = m_probeIndex[1] = 0;
  for (int c = 0; c < 2; ++c) {
    m_s.channelProbe[c] = m_channelInfo[c].probe;
    for (int i = 0; i < kChannelBInputs; ++i) {
      ChannelProbeRecord& r = m_probeInputs[c][i];
      r = ChannelProbeRecord{};
      r.slot = static_cast<uint8_t>(i);
      r.probe = DescriptorOfKind(0);
      ProbeTag(0, r.tag);
    }
  }
  RefreshInputs();
  m_modeInputs = MTModeInputs{};
  m_modeInputs.count = 2;
  m_modeInputs.inputs[0] = m_s.input[0];
  m_modeInputs.inputs[1] = m_s.input[1];
  m_rearm = false;
  ResetRecording();
  m_dirty = kDirtyProbes;
}

uint8_t ImplementationMTOscilloscope_7::InputOf(int channel) const {
  return BoardInputOf(m_s.mode, channel, m_probeIndex[channel]);
}

void ImplementationMTOscilloscope_7::RefreshInputs() {
  m_s.input[0] = InputOf(0);
  m_s.input[1] = InputOf(1);
}

bool ImplementationMTOscilloscope_7::ValidChannel(uint16_t channel) const {
  return IsSingleChannelMode(m_s.mode) ? channel == 0 : channel <= 1;
}

int ImplementationMTOscilloscope_7::Init() {
  ResetSettings(6);
  ResetMeasurements();
  return Configure();
}

// ---- rates ----------------------------------------------------------------------------------------

int ImplementationMTOscilloscope_7::GetAngleRateCount(uint16_t* count) {
  if (!count) return kBadArgument;
  *count = kAngleRateCount;
  return kOk;
}

int ImplementationMTOscilloscope_7::GetAngleRates(uint16_t count, ScaledValue* rates) {
  if (!rates || count > kAngleRateCount) return kBadArgument;
  for (int i = 0; i < count; ++i) rates[i] = AngleRateOf(i);
  return kOk;
}

int ImplementationMTOscilloscope_7::GetAngleRate(ScaledValue* rate) {
  if (!rate) return kBadArgument;
  *rate = AngleRateOf(m_s.angleRateIndex);
  return kOk;
}

int ImplementationMTOscilloscope_7::GetAngleRateIndex(uint16_t* index) {
  if (!index) return kBadArgument;
  *index = m_s.angleRateIndex;
  return kOk;
}

int ImplementationMTOscilloscope_7::SetAngleRateIndex(uint16_t index) {
  if ((m_s.mode != 4 && m_s.mode != 6) || m_s.armed) return kNotAllowed;
  if (index >= kAngleRateCount) return kBadArgument;
  if (index == m_s.angleRateIndex) return kOk;
  m_s.angleRateIndex = index;
  if (BoardMode() != kBoardModeMTOscilloscope) {
    MarkDirty();
    return kOk;
  }
  // The board holds this mode's set-up: only the angle rate changes.
  uint8_t request[4] = {kCmdAngleRate, 0x01, 0, 0};
  AngleRateCode(index, request + 2);
  uint8_t reply[8];
  int received = 0;
  int code = ExchangeWithBoard(request, sizeof request, 0, reply, sizeof reply, &received);
  if (code == kOk && (received < 2 || reply[0] != kCmdAngleRate || reply[1] != 0)) code = kBadReply;
  // Not taken by the board: the next start sends the whole set-up with the new rate.
  if (code != kOk) MarkDirty();
  return code;
}

// ---- channels and ranges ----------------------------------------------------------------------

int ImplementationMTOscilloscope_7::GetChannelCount(uint16_t* count) {
  if (!count) return kBadArgument;
  *count = IsSingleChannelMode(m_s.mode) ? 1 : 2;
  return kOk;
}

int ImplementationMTOscilloscope_7::SetRangeIndex(uint16_t channel, uint16_t index) {
  if (!ValidChannel(channel) || index >= kRangeCount) return kBadArgument;
  if (!InsideProbeWindow(m_channelInfo[channel].probe, index)) return kOutsideProbeLimits;
  if (UsesEngineRange(m_s, channel)) {
    int32_t reference = 0;
    const int code = RangeReference(ReferenceProbeCode(), &reference);
    if (code != kOk) return code;
    Store(m_s.engineRangeIndex[channel], static_cast<uint16_t>(EngineRangeIndex(index, reference)));
  }
  Store(m_s.rangeIndex[channel], index);
  return kOk;
}

// ---- probe inputs ---------------------------------------------------------------------------------

int ImplementationMTOscilloscope_7::GetProbeFactor(uint16_t channel, uint16_t* inputCount) {
  if (!ValidChannel(channel) || !inputCount) return kBadArgument;
  *inputCount = channel == 0 ? 1 : kChannelBInputs;
  return kOk;
}

int ImplementationMTOscilloscope_7::SetProbe(uint16_t channel, ChannelProbeRecord* records) {
  if (!ValidChannel(channel) || !records) return kBadArgument;
  if (m_s.armed) return kNotAllowed;
  uint8_t inputs[kChannelBInputs] = {1, 2, 3, 4};
  int count = kChannelBInputs;
  if (channel == 0) {
    inputs[0] = InputOf(0);
    count = 1;
  }
  ProbeDescriptor probes[kChannelBInputs];
  const int code = QueryProbes(inputs, count, probes);
  m_dirty = kDirtyProbes;
  if (code != kOk) return code;
  for (int i = 0; i < count; ++i) {
    ChannelProbeRecord record{};
    record.slot = static_cast<uint8_t>(i);
    ProbeTag(probes[i].kind, record.tag);
    record.probe = probes[i];
    records[i] = record;
    m_probeInputs[channel][i] = record;
    EngineState().StoreInputDescriptor(inputs[i], probes[i]);
    if (i == m_probeIndex[channel]) {
      m_channelInfo[channel].probe = probes[i];
      m_s.channelProbe[channel] = probes[i];
    }
    if (!ProbeAllowed(channel, inputs[i], m_s.mode, probes[i])) return kProbeOnWrongInput;
  }
  return kOk;
}

int ImplementationMTOscilloscope_7::GetProbeFlag(uint16_t channel, uint8_t* input) {
  if (channel > 1 || !input) return kBadArgument;
  *input = m_probeIndex[channel];
  return kOk;
}

int ImplementationMTOscilloscope_7::SetProbeFlag(uint16_t channel, uint8_t input) {
  if (channel > 1 || (channel == 0 && input != 0) || (channel == 1 && input > 3)) return kBadArgument;
  m_probeIndex[channel] = input;
  RefreshInputs();
  if (m_s.mode <= 2 && channel < m_modeInputs.count) m_modeInputs.inputs[channel] = m_s.input[channel];
  m_channelInfo[channel].probe = m_probeInputs[channel][input].probe;
  m_s.channelProbe[channel] = m_channelInfo[channel].probe;
  // A pending change of the settings stays pending in the engine-synchronous modes: it still has
  // to reach the board.
  if (!IsEngineSynchronousMode(m_s.mode)) m_dirty = kDirtyProbes;
  return kOk;
}

int ImplementationMTOscilloscope_7::GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) {
  if (!ValidChannel(channel) || !probe) return kBadArgument;
  if (m_s.armed) return kNotAllowed;
  const uint8_t input = InputOf(channel);
  const int code = QueryProbes(&input, 1, probe);
  m_dirty = kDirtyProbes;
  if (code != kOk) return code;
  EngineState().StoreInputDescriptor(input, *probe);
  m_channelInfo[channel].probe = *probe;
  m_s.channelProbe[channel] = *probe;
  return kOk;
}

// ---- trigger ------------------------------------------------------------------------------------

int ImplementationMTOscilloscope_7::GetTriggerPositionLimits(int32_t* minimum, int32_t* maximum) {
  if (!minimum || !maximum) return kBadArgument;
  *minimum = 0;
  *maximum = IsEngineSynchronousMode(m_s.mode) ? kLastEngineTriggerPosition : kLastTriggerPosition;
  return kOk;
}

int ImplementationMTOscilloscope_7::SetTriggerPosition(uint32_t position) {
  if (IsEngineSynchronousMode(m_s.mode)) return kNotAllowed;
  if (position > kLastTriggerPosition) return kBadArgument;
  Store(m_s.triggerPosition, position);
  return kOk;
}

int ImplementationMTOscilloscope_7::SetTriggerLevel(ScaledValue level) {
  if (IsEngineSynchronousMode(m_s.mode)) return kNotAllowed;
  StoreValue(m_s.triggerLevel, level);
  return kOk;
}

int ImplementationMTOscilloscope_7::SetTriggerMode(int32_t mode) {
  if (mode < 0 || mode > 4) return kBadArgument;
  const int m = m_s.mode;
  if ((m == 4 || m >= 6) && (mode == 3 || mode == 4)) return kBadArgument;
  if (IsEngineSynchronousMode(m) && mode != 1) return kBadArgument;
  Store(m_s.triggerMode, mode);
  if (mode == 4) MarkDirty();
  return kOk;
}

int ImplementationMTOscilloscope_7::SetTriggerEdge(int32_t edge) {
  if (IsEngineSynchronousMode(m_s.mode)) return kNotAllowed;
  if (edge < 0 || edge > 1) return kBadArgument;
  Store(m_s.triggerEdge, edge);
  return kOk;
}

int ImplementationMTOscilloscope_7::SetTriggerSource(int32_t source, uint16_t channel) {
  if (IsEngineSynchronousMode(m_s.mode)) return kNotAllowed;
  if (source < 0 || source > 2 || channel >= 2) return kBadArgument;
  m_s.triggerSource = source;
  m_s.triggerSourceChannel = channel;
  MarkDirty();
  return kOk;
}

int ImplementationMTOscilloscope_7::SetTriggerFilter(int32_t filter) {
  if (filter < 0 || filter > 1) return kBadArgument;
  m_s.triggerFilter = filter;
  MarkDirty();
  return kOk;
}

int ImplementationMTOscilloscope_7::Rearm() {
  m_rearm = true;
  return kOk;
}

int ImplementationMTOscilloscope_7::ToggleOption() {
  if (m_s.mode != 9) return kNotAllowed;
  m_s.option = !m_s.option;
  m_dirty = kDirtyProbes;
  return kOk;
}

// ---- acquisition mode ---------------------------------------------------------------------------

int ImplementationMTOscilloscope_7::GetAcquisitionMode(int32_t* mode) {
  if (!mode) return kBadArgument;
  *mode = m_s.mode;
  return kOk;
}

int ImplementationMTOscilloscope_7::ApplyMode(int32_t mode) {
  if (mode < 0 || mode >= kMTModeCount) return kBadArgument;
  MTOscSetup next = m_s;
  next.mode = mode;
  for (int c = 0; c < 2; ++c) next.input[c] = BoardInputOf(mode, c, m_probeIndex[c]);
  MTModeInputs inputs;
  const int code = ModeInputs(next, EngineParams(), &inputs);
  if (code != kOk) return code;
  m_s = next;
  m_modeInputs = inputs;
  m_s.configurationId = inputs.configurationId;
  if (IsEngineSynchronousMode(mode)) {
    m_s.triggerMode = 1;
    m_s.triggerPosition = 256;
    m_s.triggerSource = 0;
    m_s.triggerSourceChannel = 0;
    if (mode == 7) m_s.triggerEdge = 1;
  }
  m_s.option = false;
  EngineState().SetParamsChanged(false);
  m_dirty = kDirtyProbes;
  return kOk;
}

int ImplementationMTOscilloscope_7::SetAcquisitionMode(int32_t mode) { return ApplyMode(mode); }

int ImplementationMTOscilloscope_7::SetAll(MTOscSettings s) {
  // Field by field in this order; the first refusal stops, with the fields before it applied.
  if (s.acquisitionMode != m_s.mode) {
    const int code = ApplyMode(s.acquisitionMode);
    if (code != kOk) return code;
  }
  if (s.channelCount > 2 || (s.channelCount > 0 && !s.channels)) return kBadArgument;
  for (int c = 0; c < s.channelCount; ++c) {
    const OscChannelSetting& channel = s.channels[c];
    if (channel.rangeIndex >= kRangeCount) return kBadArgument;
    if (!InsideProbeWindow(m_channelInfo[c].probe, channel.rangeIndex)) return kOutsideProbeLimits;
    if (UsesEngineRange(m_s, c)) {
      int32_t reference = 0;
      const int code = RangeReference(ReferenceProbeCode(), &reference);
      if (code != kOk) return code;
      m_s.engineRangeIndex[c] = static_cast<uint16_t>(EngineRangeIndex(channel.rangeIndex, reference));
    }
    m_s.rangeIndex[c] = channel.rangeIndex;
    if (channel.mode < 0 || channel.mode > 2) return kBadArgument;
    m_s.previousMode[c] = m_s.channelMode[c];
    m_s.channelMode[c] = channel.mode;
  }
  if (s.sampleRateIndex >= kSampleRateCount) return kBadArgument;
  m_s.sampleRateIndex = s.sampleRateIndex;
  if (s.angleRateIndex >= kAngleRateCount) return kBadArgument;
  m_s.angleRateIndex = s.angleRateIndex;
  const bool sync = IsEngineSynchronousMode(m_s.mode);
  // The engine-synchronous modes set their own trigger; their record keeps those settings.
  if (!sync) {
    if (s.triggerPosition > kLastTriggerPosition) return kBadArgument;
    m_s.triggerPosition = s.triggerPosition;
    if (s.triggerEdge < 0 || s.triggerEdge > 1) return kBadArgument;
    m_s.triggerEdge = s.triggerEdge;
    if (s.triggerMode < 0 || s.triggerMode > 4) return kBadArgument;
    m_s.triggerMode = s.triggerMode;
    m_s.triggerLevel = ScaledValue{s.triggerLevel.mantissa, s.triggerLevel.exponent, {}};
    if (s.triggerSource < 0 || s.triggerSource > 2 || s.triggerSourceChannel >= 2) return kBadArgument;
    m_s.triggerSource = s.triggerSource;
    m_s.triggerSourceChannel = s.triggerSourceChannel;
  }
  if (!(ScaledValueToFloat(s.triggerSensitivity) > 0.0f)) return kBadArgument;
  m_s.triggerSensitivity = ScaledValue{s.triggerSensitivity.mantissa, s.triggerSensitivity.exponent, {}};
  if (s.triggerFilter < 0 || s.triggerFilter > 1) return kBadArgument;
  m_s.triggerFilter = s.triggerFilter;
  MarkDirty();
  return kOk;
}

int ImplementationMTOscilloscope_7::GetAll(MTOscSettings* s, uint16_t channelCount, OscChannelSetting* channels) {
  const int code = GetCommonSettings(s, channelCount, channels);
  if (code != kOk) return code;
  s->acquisitionMode = m_s.mode;
  s->angleRateIndex = m_s.angleRateIndex;
  return kOk;
}

// ---- configuration and acquisition --------------------------------------------------------------

int ImplementationMTOscilloscope_7::Configure() {
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  if (EngineState().ParamsChanged()) {
    code = ApplyMode(m_s.mode);
    if (code != kOk) return code;
    EngineState().SetParamsChanged(false);
  }
  const bool boardHoldsOthers = BoardMode() != kBoardModeMTOscilloscope;
  if (m_dirty == kDirtyProbes || boardHoldsOthers) {
    code = SelectProbes(m_modeInputs.inputs, m_modeInputs.count);
    if (code != kOk) return code;
  }
  code = EnsureFirmwareChecked();
  if (code != kOk) return code;

  const EngineParameterBlock params = EngineParams();
  uint8_t record[kConfigurationLength];
  code = BuildBoardRecord(m_s, params, ReferenceProbeCode(), record);
  if (code != kOk) return code;
  const bool differed = ReplaceLastConfiguration(record);
  if (differed || m_dirty == kDirtyProbes || boardHoldsOthers) {
    code = SendConfiguration(record, true, m_modeInputs.inputs, m_modeInputs.count, kConfigurationReplyCapacity);
    if (code != kOk) return code;
  }

  uint8_t setup[kMTSetupMaxLength];
  int length = 0;
  code = BuildMTSetup(m_s, params, ReferenceProbeCode(), setup, &length);
  if (code != kOk) return code;
  uint8_t reply[kSetupReplyCapacity];
  int received = 0;
  code = ExchangeWithBoard(setup, length, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received < 4 || reply[0] != kCmdOscConfiguration || reply[1] != 0) return kBadReply;
  if (!IsEngineTesterModule(reply[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  SetBoardMode(kBoardModeMTOscilloscope);
  m_dirty = kDirtyClean;
  m_startSpacing.Mark();
  return kOk;
}

bool ImplementationMTOscilloscope_7::Configured() const {
  return BoardMode() == kBoardModeMTOscilloscope && m_dirty == kDirtyClean && !EngineState().ParamsChanged();
}

int ImplementationMTOscilloscope_7::StartMeasurement(uint32_t count) {
  if (count == 0) return kBadArgument;
  const auto prepare = [this] {
    int code;
    if (!CheckLinkReady(&code)) return code;
    if (m_s.armed) return static_cast<int>(kNotAllowed);
    return Configured() ? static_cast<int>(kOk) : Configure();
  };
  const auto configured = [this] { return Configured() && !m_s.armed; };
  const auto send = [this, count] {
    m_dataType = kNoDataType;
    uint8_t flags = (m_s.mode == 0 || m_s.mode == 1) ? 0x80 : 0x00;
    if (m_rearm) {
      flags |= 0x01;
      m_rearm = false;
    }
    uint8_t request[8];
    BuildAcquisitionRequest(flags, std::min<uint32_t>(count, kRecordLength), request);
    CComPort* link = Link();
    // Nothing went out (the link left the idle state meanwhile): say so rather than let the
    // previous reply pass for this acquisition's.
    if (!link || link->Send(request, sizeof request, kAcquisitionExtraMs) == 0) return static_cast<int>(kBadReply);
    return static_cast<int>(kOk);
  };
  return SendSpacedStart(m_startSpacing, prepare, configured, send);
}

int ImplementationMTOscilloscope_7::GetData() {
  int code;
  if (!CheckLinkReady(&code)) return code;
  const int received = Link()->Receive(m_reply, sizeof m_reply, 0);
  return TakeReply(m_reply, received);
}

int ImplementationMTOscilloscope_7::EngineGroups() const {
  if (m_s.mode == 9) return 2;
  if (m_s.selectedCylinder != 0) return 1;
  const EngineParameterBlock p = EngineParams();
  const int cylinders = p.engineType == 0 ? p.sparkNumberCylinders : p.engineType == 1 ? p.dieselNumberCylinders : 1;
  // The cylinder information: never more groups than the buffers hold.
  if (m_s.mode == 8) return 1;
  return std::clamp(cylinders, 1, kMaxEngineGroups);
}

EngineSampleScale ImplementationMTOscilloscope_7::EngineScale() const {
  EngineSampleScale scale;
  scale.rangeIndex = m_s.rangeIndex[0];
  scale.engineRangeIndex = m_s.engineRangeIndex[0];
  scale.referenceProbeCode = ReferenceProbeCode();
  RangeReference(scale.referenceProbeCode, &scale.reference);
  scale.sampleRateIndex = m_s.sampleRateIndex;
  scale.triggerPosition = m_s.triggerPosition;
  return scale;
}

int ImplementationMTOscilloscope_7::TakeEngineData(const uint8_t* body, int available, uint8_t type, bool noNewData) {
  const int groups = OneBlockType(type) ? 1 : EngineGroups();
  const int peakBytes = HasPeakBytes(type) ? 2 * groups : 0;
  const int blockSamples = (type == 11 || type == 14) ? groups * kEngineGroupSamples : kEngineGroupSamples;
  uint8_t peaks[2 * kMaxEngineGroups];
  if (noNewData) {
    std::memset(peaks, 0x80, sizeof peaks);
    std::memset(m_engineSamples, 0x80, static_cast<size_t>(blockSamples));
    m_engineCount = blockSamples;
  } else {
    // Every group brings its two peak bytes, or the reply is not engine data.
    if (available < peakBytes) return kNoData;
    std::memcpy(peaks, body, static_cast<size_t>(peakBytes));
    const int n = std::min(available - peakBytes, blockSamples);
    std::memcpy(m_engineSamples, body + peakBytes, static_cast<size_t>(n));
    m_engineCount = n;
  }
  m_engineGroups = groups;
  if (peakBytes > 0) {
    const EngineSampleScale scale = EngineScale();
    for (int g = 0; g < groups; ++g) m_groupPeaks[g] = DecodeGroupPeak(peaks + 2 * g, g, scale);
  }
  return kOk;
}

int ImplementationMTOscilloscope_7::TakeReply(const uint8_t* reply, int received) {
  const int mode = m_s.mode;
  const int e = mode == 0 ? 3 : mode == 1 ? 7 : 4;
  if (received < 8 + e || reply[0] != kCmdAcquisition) return kNoData;
  if (!IsEngineTesterModule(reply[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  const uint8_t status = reply[1];
  const bool noNewData = status == kStatusNoNewData;
  if (status != 0 && !noNewData) return (status & 0x80) ? kBoardErrorStatus : kBadReply;
  if ((mode == 0 || mode == 1) && reply[4] != m_modeInputs.count) return kBadReply;

  AcquisitionReply r;
  r.type = reply[4 + e];
  const uint8_t trigger = reply[5 + e];
  const int state = trigger & 0x0F;
  r.triggerState = state == 0 ? 0 : state == 2 ? 2 : 1;
  r.errorFlags = static_cast<uint8_t>(trigger >> 4);
  r.indexOrProgress = kvp::ReadBe16(reply + 6 + e);
  m_dataType = r.type;

  if (IsEngineType(r.type)) {
    const int code = TakeEngineData(reply + 8 + e, received - (8 + e), r.type, noNewData);
    if (code != kOk) return code;
  } else {
    const int code = DecodeAcquisitionBody(reply, received, e, m_s.armed, &r);
    if (code != kOk) return code;
    StoreBody(r);
  }

  if (mode >= 2) {
    uint32_t a = 1, b = 1;
    const EngineParameterBlock params = EngineParams();
    EngineSpeedFactors(mode, params, &a, &b);
    const uint64_t counter = kvp::ReadBe32(reply + 4);
    m_engineSpeed = MeasuredValue{};
    m_engineSpeed.value = SpeedTenths(counter * 60 * a, uint64_t{b} * 100);
    const uint8_t input = mode == 2 ? m_modeInputs.inputs[2] : m_modeInputs.inputs[0];
    m_engineSpeed.probe = EngineState().InputDescriptor(input);
    m_engineSpeed.valid = 1;
  } else {
    LookupProbeDescriptor(&m_channelInfo[0].probe, reply[5]);
    LookupProbeDescriptor(&m_channelInfo[1].probe, reply[6]);
    if (mode == 1) {
      // A signed value, as the board oscilloscope reads the same field.
      m_measurements.value = ScaledValue{kvp::ReadBe32Signed(reply + 7) / 100, -1, {}};
      m_measurements.valid = 1;
    }
  }
  return StoreTrigger(r);
}

int16_t ImplementationMTOscilloscope_7::DecodeChannelSample(int channel, uint8_t raw) const {
  const bool onInput4 = m_s.mode <= 2 && m_s.input[channel] == 4;
  const int range = onInput4 ? m_s.engineRangeIndex[channel] : m_s.rangeIndex[channel];
  const int probeClass = m_channelInfo[channel].probe.probeClass;
  int16_t s = DecodeSample(raw, range, probeClass, CalibrationPair(channel, range, probeClass == 1 ? 1 : 0));
  if (onInput4) {
    int32_t reference = 5000;
    RangeReference(ReferenceProbeCode(), &reference);
    const float ratio = FullScale(m_s.engineRangeIndex[channel]) / FullScale(m_s.rangeIndex[channel]);
    const float v = static_cast<float>(s) * (static_cast<float>(reference) * ratio / 10000.0f);
    s = v > 32767.0f ? 32767 : v < -32768.0f ? -32768 : static_cast<int16_t>(v);
  }
  return s;
}

int ImplementationMTOscilloscope_7::GetSamples(uint16_t channel, uint32_t count, int16_t* samples) {
  if (channel > 1 || !samples) return kBadArgument;
  if (m_s.armed || IsEngineSynchronousMode(m_s.mode)) return kNotAllowed;
  return LiveSamples(channel, count, samples, [this](int c, uint8_t raw) { return DecodeChannelSample(c, raw); });
}

int ImplementationMTOscilloscope_7::GetCylinderInfo(uint16_t* cylinders) {
  if (!cylinders) return kBadArgument;
  const EngineParameterBlock p = EngineParams();
  if (m_s.mode == 8 || m_s.mode == 9) {
    *cylinders = 1;
    return kOk;
  }
  if (p.engineType != 0) return kBadEngineType;
  *cylinders = std::min<uint16_t>(p.sparkNumberCylinders, kMaxEngineGroups);
  return kOk;
}

int ImplementationMTOscilloscope_7::GetEngineSamples(int16_t cylinder, uint32_t length, EngineSampleRecord* records) {
  if (m_s.armed || !IsEngineSynchronousMode(m_s.mode)) return kNotAllowed;
  const int mode = m_s.mode;
  const bool lengthOk = mode == 9 ? length <= 2 * kEngineGroupSamples : length <= kEngineGroupSamples;
  const bool cylinderOk = mode == 7 ? (cylinder >= 0 && cylinder <= 4)
                        : mode == 9 ? cylinder == 0
                                    : (cylinder >= 0 && cylinder <= 8);
  if (!records || !records[0].samples || !lengthOk || !cylinderOk) return kBadArgument;
  if (static_cast<uint8_t>(cylinder) != m_s.selectedCylinder) {
    // The next start asks the board for this group; the samples at hand are still returned.
    m_s.selectedCylinder = static_cast<uint8_t>(cylinder);
    m_dirty = kDirtyProbes;
  }

  const EngineSampleScale scale = EngineScale();
  EngineSampleRecord& record = records[0];
  int written = 0;
  int groups = 1;
  if (OneBlockType(m_dataType)) {
    written = std::min<int>(static_cast<int>(length), m_engineCount);
  } else if (IsEngineType(m_dataType)) {
    // Types 11, 14, 15, 16: the groups one after another in the first record.
    groups = std::max(m_engineGroups, 1);
    const int perGroup = std::min<int>(static_cast<int>(length), kEngineGroupSamples) / groups;
    written = perGroup * groups;
  } else {
    return kNoData;
  }
  if (written <= 0) return kNoData;

  const int perGroup = written / groups;
  const int sourceStride = groups == 1 ? 0 : m_engineCount / groups;
  for (int g = 0; g < groups; ++g) {
    const int from = g * sourceStride;
    for (int i = 0; i < perGroup; ++i) {
      const int at = from + i;
      record.samples[g * perGroup + i] = at < m_engineCount ? ConvertEngineSample(m_engineSamples[at], scale)
                                                            : ConvertEngineSample(0x80, scale);
    }
  }
  int32_t magnitude = 0;
  uint8_t negative = 0;
  int32_t at = 0;
  FindPeak(record.samples, written, &magnitude, &negative, &at);
  int16_t peak = record.samples[at];
  if (HasPeakBytes(m_dataType)) {
    for (int g = 0; g < groups; ++g) {
      const GroupPart part{g * perGroup, perGroup, (m_dataType == 13) ? 1 : groups};
      ReconstructPeak(record.samples, part, m_groupPeaks[g], scale, &peak);
    }
  }
  record.peak = peak;
  record.length = static_cast<uint32_t>(written);
  record.group = static_cast<uint16_t>(cylinder);
  record.valid = 1;
  return kOk;
}

int ImplementationMTOscilloscope_7::GetMeasurements(OscMeasurements* measurements) {
  if (!measurements) return kBadArgument;
  if (m_s.mode != 1) m_measurements.valid = 0;
  *measurements = m_measurements;
  return kOk;
}

int ImplementationMTOscilloscope_7::GetEngineSpeed(MeasuredValue* speed) {
  if (!speed) return kBadArgument;
  if (m_s.mode <= 1 || !SpeedInWindow(m_engineSpeed.value)) {
    m_engineSpeed.value = ScaledValue{0, 0, {}};
    m_engineSpeed.valid = 0;
  }
  *speed = m_engineSpeed;
  return kOk;
}

// ---- saturation -----------------------------------------------------------------------------------

// ---- recording into board memory ------------------------------------------------------------------

int ImplementationMTOscilloscope_7::CheckSettings() {
  if (m_s.mode != 0) return kAcquisitionModeRefused;
  if (m_s.sampleRateIndex > 10) return kSampleRateTooHigh;
  if (m_s.triggerMode != 0 && m_s.triggerMode != 2) return kTriggerModeRefused;
  m_s.armed = true;
  BeginRecording(AcquisitionTypeOf(m_s.channelMode[0] != 0, m_s.channelMode[1] != 0, true, m_s.triggerMode,
                                   m_s.triggerSource));
  MarkDirty();
  const int code = Configure();
  if (code != kOk) m_s.armed = false;
  return code;
}

int ImplementationMTOscilloscope_7::ExchangeAcquisition(uint8_t flags, uint32_t count) {
  m_dataType = kNoDataType;
  uint8_t request[8];
  BuildAcquisitionRequest(flags, count, request);
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int received = 0;
  const int code = ExchangeWithBoard(request, sizeof request, kAcquisitionExtraMs, m_reply, sizeof m_reply, &received);
  if (code != kOk) return code;
  return TakeReply(m_reply, received);
}

int ImplementationMTOscilloscope_7::StopMeasurement(uint32_t* recordedCount) {
  if (!recordedCount) return kBadArgument;
  if (!m_s.armed) return kNotStarted;
  const int code = ExchangeAcquisition(0x80, 0);
  *recordedCount = m_expectedCount;
  m_s.armed = false;
  MarkDirty();
  SetBoardMode(0);
  return code;
}

int ImplementationMTOscilloscope_7::WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) {
  return ReadRecording(
      capacity, samples, count, done, [this] { return ExchangeAcquisition(0x00, kChunkRequest); },
      [this](int channel, uint8_t raw) { return DecodeChannelSample(channel, raw); });
}

}  // namespace kv310
