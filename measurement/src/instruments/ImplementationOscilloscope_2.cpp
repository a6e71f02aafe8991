#include "ImplementationOscilloscope_2.h"

#include "../Calibration.h"
#include "../CommandSet.h"
#include "../ComPort.h"
#include "../Library.h"
#include "../LinkRequest.h"
#include "../ProbeTable.h"
#include "../ScaledArithmetic.h"
#include "EngineTesterPresence.h"

#include <algorithm>

namespace kv310 {

namespace {

constexpr int kBoardModeOscilloscope = 1;
constexpr int kAcquisitionExtraMs = 1300;
constexpr int kLastTriggerPosition = 999;
constexpr uint32_t kChunkRequest = 1000;

}  // namespace

ImplementationOscilloscope_2::ImplementationOscilloscope_2() = default;

void ImplementationOscilloscope_2::ResetSettings(uint16_t sampleRateIndex) {
  m_acquisitionMode = 0;
  m_headerExtension = 0;
  m_sampleRateIndex = sampleRateIndex;
  m_channelMode[0] = 1;
  m_channelMode[1] = 0;
  m_rangeIndex[0] = m_rangeIndex[1] = 0;
  m_previousMode[0] = 1;
  m_previousMode[1] = 0;
  m_triggerPosition = 256;
  m_triggerMode = 2;
  m_triggerLevel = ScaledValue{0, 0, {}};
  m_triggerEdge = 1;
  m_triggerSource = 0;
  m_triggerSourceChannel = 0;
  m_triggerFilter = 0;
  m_triggerSensitivity = ScaledValue{1, -1, {}};
  m_armed = 0;
  ResetRecording();
  m_dirty = 1;
}

int ImplementationOscilloscope_2::Init() {
  ResetSettings(6);
  ResetMeasurements();
  return Configure();
}

// ---- rates, ranges, channels -------------------------------------------------------------------

int ImplementationOscilloscope_2::GetSampleRateCount(uint16_t* count) {
  if (!count) return kBadArgument;
  *count = kSampleRateCount;
  return kOk;
}

int ImplementationOscilloscope_2::GetSampleRates(uint16_t count, int32_t* rates) {
  if (!rates || count > kSampleRateCount) return kBadArgument;
  for (int i = 0; i < count; ++i) rates[i] = SampleRateOf(i);
  return kOk;
}

int ImplementationOscilloscope_2::GetSampleRate(int32_t* rate) {
  if (!rate) return kBadArgument;
  *rate = SampleRateOf(m_sampleRateIndex);
  return kOk;
}

int ImplementationOscilloscope_2::GetSampleRateIndex(uint16_t* index) {
  if (!index) return kBadArgument;
  *index = m_sampleRateIndex;
  return kOk;
}

int ImplementationOscilloscope_2::SetSampleRateIndex(uint16_t index) {
  if (index >= kSampleRateCount) return kBadArgument;
  Store(m_sampleRateIndex, index);
  return kOk;
}

int ImplementationOscilloscope_2::GetChannelCount(uint16_t* count) {
  if (!count) return kBadArgument;
  *count = 2;
  return kOk;
}

int ImplementationOscilloscope_2::GetRangeCount(uint16_t channel, uint16_t* count) {
  if (channel >= 2 || !count) return kBadArgument;
  *count = kRangeCount;
  return kOk;
}

int ImplementationOscilloscope_2::GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) {
  if (channel >= 2 || count > kRangeCount || !ranges) return kBadArgument;
  for (int i = 0; i < count; ++i) ranges[i] = GetRangeScale(i);
  return kOk;
}

int ImplementationOscilloscope_2::GetRange(uint16_t channel, ScaledValue* range) {
  uint16_t index = 0;
  if (!range) return kBadArgument;
  const int code = GetRangeIndex(channel, &index);
  if (code != kOk) return code;
  *range = GetRangeScale(index);
  return kOk;
}

int ImplementationOscilloscope_2::GetRangeIndex(uint16_t channel, uint16_t* index) {
  if (channel > 1 || !index) return kBadArgument;
  *index = m_rangeIndex[channel];
  return kOk;
}

int ImplementationOscilloscope_2::SetRangeIndex(uint16_t channel, uint16_t index) {
  if (channel >= 2 || index >= kRangeCount) return kBadArgument;
  if (!InsideProbeWindow(m_channelInfo[channel].probe, index)) return kOutsideProbeLimits;
  Store(m_rangeIndex[channel], index);
  return kOk;
}

int ImplementationOscilloscope_2::GetChannelMode(uint16_t channel, int32_t* mode) {
  if (channel > 1 || !mode) return kBadArgument;
  *mode = m_channelMode[channel];
  return kOk;
}

int ImplementationOscilloscope_2::SetChannelMode(uint16_t channel, int32_t mode) {
  if (channel > 1 || mode < 0 || mode > 2) return kBadArgument;
  if (m_channelMode[channel] != mode) {
    m_previousMode[channel] = m_channelMode[channel];
    m_channelMode[channel] = mode;
    m_dirty = 1;
  }
  return kOk;
}

int ImplementationOscilloscope_2::GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) {
  if (channel > 1 || !probe) return kBadArgument;
  if (m_armed) return kNotAllowed;
  // A failed query leaves both the caller's record and the channel's stored probe as they were.
  const int code = GetChannelProbe(channel, probe);
  if (code == kOk) m_channelInfo[channel].probe = *probe;
  return code;
}

// ---- trigger and acquisition settings ----------------------------------------------------------

int ImplementationOscilloscope_2::GetTriggerPositionLimits(int32_t* minimum, int32_t* maximum) {
  if (!minimum || !maximum) return kBadArgument;
  *minimum = 0;
  *maximum = kLastTriggerPosition;
  return kOk;
}

int ImplementationOscilloscope_2::GetTriggerPosition(uint32_t* position) {
  if (!position) return kBadArgument;
  *position = m_triggerPosition;
  return kOk;
}

int ImplementationOscilloscope_2::SetTriggerPosition(uint32_t position) {
  if (position > kLastTriggerPosition) return kBadArgument;
  Store(m_triggerPosition, position);
  return kOk;
}

int ImplementationOscilloscope_2::GetTriggerLevel(ScaledValue* level) {
  if (!level) return kBadArgument;
  *level = m_triggerLevel;
  return kOk;
}

int ImplementationOscilloscope_2::SetTriggerLevel(ScaledValue level) {
  if (level.mantissa != m_triggerLevel.mantissa || level.exponent != m_triggerLevel.exponent) m_dirty = 1;
  m_triggerLevel = ScaledValue{level.mantissa, level.exponent, {}};
  return kOk;
}

int ImplementationOscilloscope_2::GetTriggerMode(int32_t* mode) {
  if (!mode) return kBadArgument;
  *mode = m_triggerMode;
  return kOk;
}

int ImplementationOscilloscope_2::SetTriggerMode(int32_t mode) {
  if (mode < 0 || mode > 4) return kBadArgument;
  Store(m_triggerMode, mode);
  if (mode == 4) m_dirty = 1;  // always sent again, even unchanged
  return kOk;
}

int ImplementationOscilloscope_2::GetTriggerEdge(int32_t* edge) {
  if (!edge) return kBadArgument;
  *edge = m_triggerEdge;
  return kOk;
}

int ImplementationOscilloscope_2::SetTriggerEdge(int32_t edge) {
  if (edge < 0 || edge > 1) return kBadArgument;
  Store(m_triggerEdge, edge);
  return kOk;
}

int ImplementationOscilloscope_2::GetTriggerSource(int32_t* source, uint16_t* channel) {
  if (!source || !channel) return kBadArgument;
  *source = m_triggerSource;
  *channel = m_triggerSourceChannel;
  return kOk;
}

int ImplementationOscilloscope_2::SetTriggerSource(int32_t source, uint16_t channel) {
  if (source < 0 || source > 2 || channel >= 2) return kBadArgument;
  Store(m_triggerSource, source);
  Store(m_triggerSourceChannel, channel);
  return kOk;
}

int ImplementationOscilloscope_2::GetTriggerFilter(int32_t* filter) {
  if (!filter) return kBadArgument;
  *filter = m_triggerFilter;
  return kOk;
}

int ImplementationOscilloscope_2::SetTriggerFilter(int32_t filter) {
  if (filter < 0 || filter > 1) return kBadArgument;
  Store(m_triggerFilter, filter);
  return kOk;
}

int ImplementationOscilloscope_2::GetTriggerSensitivity(ScaledValue* sensitivity) {
  if (!sensitivity) return kBadArgument;
  *sensitivity = m_triggerSensitivity;
  return kOk;
}

int ImplementationOscilloscope_2::SetTriggerSensitivity(ScaledValue sensitivity) {
  if (!(ScaledValueToFloat(sensitivity) > 0.0f)) return kBadArgument;
  if (sensitivity.mantissa != m_triggerSensitivity.mantissa || sensitivity.exponent != m_triggerSensitivity.exponent)
    m_dirty = 1;
  m_triggerSensitivity = ScaledValue{sensitivity.mantissa, sensitivity.exponent, {}};
  return kOk;
}

int ImplementationOscilloscope_2::GetAcquisitionMode(int32_t* mode) {
  if (!mode) return kBadArgument;
  *mode = m_acquisitionMode;
  return kOk;
}

int ImplementationOscilloscope_2::SetAcquisitionMode(int32_t mode) {
  if (mode < 0 || mode > 1) return kBadArgument;
  Store(m_acquisitionMode, mode);
  m_headerExtension = mode == 1 ? 4 : 0;
  return kOk;
}

int ImplementationOscilloscope_2::SetAll(OscSettings s) {
  // Field by field in this order; the first refusal stops, with the fields before it applied.
  if (s.acquisitionMode < 0 || s.acquisitionMode > 1) return kBadArgument;
  m_acquisitionMode = s.acquisitionMode;
  m_headerExtension = s.acquisitionMode == 1 ? 4 : 0;
  if (s.channelCount > 2 || (s.channelCount > 0 && !s.channels)) return kBadArgument;
  for (int c = 0; c < s.channelCount; ++c) {
    const OscChannelSetting& channel = s.channels[c];
    if (channel.rangeIndex >= kRangeCount) return kBadArgument;
    if (!InsideProbeWindow(m_channelInfo[c].probe, channel.rangeIndex)) return kOutsideProbeLimits;
    m_rangeIndex[c] = channel.rangeIndex;
    if (channel.mode < 0 || channel.mode > 2) return kBadArgument;
    m_previousMode[c] = m_channelMode[c];
    m_channelMode[c] = channel.mode;
  }
  if (s.sampleRateIndex >= kSampleRateCount) return kBadArgument;
  m_sampleRateIndex = s.sampleRateIndex;
  if (s.triggerPosition > kLastTriggerPosition) return kBadArgument;
  m_triggerPosition = s.triggerPosition;
  if (s.triggerEdge < 0 || s.triggerEdge > 1) return kBadArgument;
  m_triggerEdge = s.triggerEdge;
  if (s.triggerMode < 0 || s.triggerMode > 4) return kBadArgument;
  m_triggerMode = s.triggerMode;
  m_triggerLevel = ScaledValue{s.triggerLevel.mantissa, s.triggerLevel.exponent, {}};
  if (s.triggerSource < 0 || s.triggerSource > 2 || s.triggerSourceChannel >= 2) return kBadArgument;
  m_triggerSource = s.triggerSource;
  m_triggerSourceChannel = s.triggerSourceChannel;
  if (!(ScaledValueToFloat(s.triggerSensitivity) > 0.0f)) return kBadArgument;
  m_triggerSensitivity = ScaledValue{s.triggerSensitivity.mantissa, s.triggerSensitivity.exponent, {}};
  if (s.triggerFilter < 0 || s.triggerFilter > 1) return kBadArgument;
  m_triggerFilter = s.triggerFilter;
  m_dirty = 1;
  return kOk;
}

int ImplementationOscilloscope_2::GetAll(OscSettings* s, uint16_t channelCount, OscChannelSetting* channels) {
  if (!s || channelCount > 2 || (channelCount > 0 && !channels)) return kBadArgument;
  s->acquisitionMode = m_acquisitionMode;
  s->sampleRateIndex = m_sampleRateIndex;
  s->triggerPosition = m_triggerPosition;
  s->triggerMode = m_triggerMode;
  s->triggerLevel = m_triggerLevel;
  s->triggerEdge = m_triggerEdge;
  s->triggerSource = m_triggerSource;
  s->triggerSourceChannel = m_triggerSourceChannel;
  s->triggerFilter = m_triggerFilter;
  s->triggerSensitivity = m_triggerSensitivity;
  for (int c = 0; c < channelCount; ++c) channels[c] = OscChannelSetting{m_channelMode[c], m_rangeIndex[c]};
  return kOk;
}

int ImplementationOscilloscope_2::GetRecordLength(int32_t* length) {
  if (!length) return kBadArgument;
  *length = kRecordLength;
  return kOk;
}

// ---- configuration and acquisition -------------------------------------------------------------

uint8_t ImplementationOscilloscope_2::AcquisitionType() const {
  return AcquisitionTypeOf(m_channelMode[0] != 0, m_channelMode[1] != 0, m_armed != 0, m_triggerMode, m_triggerSource);
}

void ImplementationOscilloscope_2::BuildSetup(uint8_t setup[kOscSetupLength]) const {
  setup[0] = kCmdOscConfiguration;
  setup[1] = static_cast<uint8_t>(m_acquisitionMode);
  for (int c = 0; c < 2; ++c) {
    setup[2 + 2 * c] = CouplingCode(m_channelMode[c], m_previousMode[c], m_rangeIndex[c]);
    setup[3 + 2 * c] = static_cast<uint8_t>(GetRangeCode(m_rangeIndex[c]));
  }
  setup[6] = SampleRateDigit(m_sampleRateIndex);
  setup[7] = SampleRateDecade(m_sampleRateIndex);
  setup[8] = TriggerControlCode(m_triggerMode, m_triggerSource, m_triggerSourceChannel, m_triggerFilter, m_triggerEdge);
  setup[9] = setup[10] = 0x80;
  for (int c = 0; c < 2; ++c) {
    const bool computed = m_triggerSource == 1 || (m_triggerSource == 0 && m_triggerSourceChannel == c);
    if (computed) setup[9 + c] = TriggerLevelCode(m_triggerLevel, m_rangeIndex[c], m_channelInfo[c].probe);
  }
  setup[11] = static_cast<uint8_t>(m_triggerPosition >> 8);
  setup[12] = static_cast<uint8_t>(m_triggerPosition);
  setup[13] = TriggerModeCode(m_triggerMode);
  setup[14] = SensitivityCode(m_triggerSensitivity);
  setup[15] = AcquisitionType();
}

int ImplementationOscilloscope_2::Configure() {
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  uint8_t setup[kOscSetupLength];
  BuildSetup(setup);
  uint8_t reply[20];
  int received = 0;
  code = ExchangeWithBoard(setup, sizeof setup, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received < 4 || reply[0] != kCmdOscConfiguration || reply[1] != 0) return kBadReply;
  if (EngineTesterFound(reply[2])) return kLinkError;
  SetBoardMode(kBoardModeOscilloscope);
  m_dirty = 0;
  return kOk;
}

int ImplementationOscilloscope_2::StartMeasurement(uint32_t count) {
  if (count == 0) return kBadArgument;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  if (m_armed) return kNotAllowed;
  if (BoardMode() != kBoardModeOscilloscope || m_dirty) {
    code = Configure();
    if (code != kOk) return code;
  }
  count = std::min<uint32_t>(count, kRecordLength);
  m_dataType = kNoDataType;
  uint8_t request[8];
  BuildAcquisitionRequest(0, count, request);
  CComPort* link = Link();
  // Nothing went out (the link left the idle state under us): say so rather than let the
  // previous reply pass for this acquisition's.
  if (!link || link->Send(request, sizeof request, kAcquisitionExtraMs) == 0) return kBadReply;
  return kOk;
}

int ImplementationOscilloscope_2::GetData() {
  int code;
  if (!CheckLinkReady(&code)) return code;
  const int received = Link()->Receive(m_reply, sizeof m_reply, 0);
  return TakeReply(m_reply, received);
}

int ImplementationOscilloscope_2::TakeReply(const uint8_t* reply, int received) {
  AcquisitionReply r;
  int code = DecodeAcquisitionHeader(reply, received, m_headerExtension, &r);
  if (code != kOk) return code;
  if (EngineTesterFound(r.probeCodeA)) return kLinkError;

  m_dataType = r.type;
  code = DecodeAcquisitionBody(reply, received, m_headerExtension, m_armed != 0, &r);
  if (code != kOk) return code;
  StoreBody(r);
  if (r.hasMeasuredValue) {
    m_measurements.value = ScaledValue{r.measuredValue / 100, -1, {}};
    m_measurements.valid = 1;
  }
  LookupProbeDescriptor(&m_channelInfo[0].probe, r.probeCodeA);
  LookupProbeDescriptor(&m_channelInfo[1].probe, r.probeCodeB);
  return StoreTrigger(r);
}

int ImplementationOscilloscope_2::GetTimeInfo(OscTimeInfo* info) { return TimeInfo(info); }

int ImplementationOscilloscope_2::GetChannelInfo(uint16_t channel, OscChannelInfo* info) {
  return ChannelInfo(channel, info);
}

int16_t ImplementationOscilloscope_2::DecodeChannelSample(int channel, uint8_t raw) const {
  const int range = m_rangeIndex[channel];
  const int probeClass = m_channelInfo[channel].probe.probeClass;
  return DecodeSample(raw, range, probeClass, CalibrationPair(channel, range, probeClass == 1 ? 1 : 0));
}

int ImplementationOscilloscope_2::GetSamples(uint16_t channel, uint32_t count, int16_t* samples) {
  if (channel > 1 || !samples) return kBadArgument;
  return LiveSamples(channel, count, samples, [this](int c, uint8_t raw) { return DecodeChannelSample(c, raw); });
}

int ImplementationOscilloscope_2::GetMeasurements(OscMeasurements* measurements) {
  if (!measurements) return kBadArgument;
  if (m_acquisitionMode != 1) m_measurements.valid = 0;
  *measurements = m_measurements;
  return kOk;
}

// ---- saturation ----------------------------------------------------------------------------------

int ImplementationOscilloscope_2::ReadSaturationData(uint16_t channel, int16_t* positiveLimit, int16_t* negativeLimit) {
  if (channel > 1) return kBadArgument;
  return ConvertValue(channel, m_rangeIndex[channel], m_channelInfo[channel].probe, positiveLimit, negativeLimit);
}

int ImplementationOscilloscope_2::ConvertValue(uint16_t channel, uint16_t rangeIndex, ProbeDescriptor probe,
                                              int16_t* positiveLimit, int16_t* negativeLimit) {
  return GetSaturationLimits(channel, rangeIndex, probe.probeClass, positiveLimit, negativeLimit);
}

// ---- recording into board memory ---------------------------------------------------------------

int ImplementationOscilloscope_2::CheckSettings() {
  if (m_acquisitionMode != 0) return kAcquisitionModeRefused;
  if (m_sampleRateIndex > 10) return kSampleRateTooHigh;
  if (m_triggerMode != 0 && m_triggerMode != 2) return kTriggerModeRefused;
  m_armed = 1;
  BeginRecording(AcquisitionType());
  const int code = Configure();
  if (code != kOk) m_armed = 0;
  return code;
}

int ImplementationOscilloscope_2::ExchangeAcquisition(uint32_t count) {
  m_dataType = kNoDataType;
  uint8_t request[8];
  BuildAcquisitionRequest(0, count, request);
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int received = 0;
  const int code = ExchangeWithBoard(request, sizeof request, kAcquisitionExtraMs, m_reply, sizeof m_reply, &received);
  if (code != kOk) return code;
  return TakeReply(m_reply, received);
}

int ImplementationOscilloscope_2::StopMeasurement(uint32_t* recordedCount) {
  if (!recordedCount) return kBadArgument;
  if (!m_armed) return kNotStarted;
  const int code = ExchangeAcquisition(0);
  *recordedCount = m_expectedCount;
  m_armed = 0;
  SetBoardMode(0);
  return code;
}

int ImplementationOscilloscope_2::WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) {
  return ReadRecording(
      capacity, samples, count, done, [this] { return ExchangeAcquisition(kChunkRequest); },
      [this](int channel, uint8_t raw) { return DecodeChannelSample(channel, raw); });
}

}  // namespace kv310
