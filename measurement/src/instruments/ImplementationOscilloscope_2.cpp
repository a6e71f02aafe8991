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
  m_s = OscCommonSettings{};
  m_s.sampleRateIndex = sampleRateIndex;
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

int ImplementationOscilloscope_2::GetChannelCount(uint16_t* count) {
  if (!count) return kBadArgument;
  *count = 2;
  return kOk;
}

int ImplementationOscilloscope_2::SetRangeIndex(uint16_t channel, uint16_t index) {
  if (channel >= 2 || index >= kRangeCount) return kBadArgument;
  if (!InsideProbeWindow(m_channelInfo[channel].probe, index)) return kOutsideProbeLimits;
  Store(m_s.rangeIndex[channel], index);
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

int ImplementationOscilloscope_2::SetTriggerPosition(uint32_t position) {
  if (position > kLastTriggerPosition) return kBadArgument;
  Store(m_s.triggerPosition, position);
  return kOk;
}

int ImplementationOscilloscope_2::SetTriggerLevel(ScaledValue level) {
  StoreValue(m_s.triggerLevel, level);
  return kOk;
}

int ImplementationOscilloscope_2::SetTriggerMode(int32_t mode) {
  if (mode < 0 || mode > 4) return kBadArgument;
  Store(m_s.triggerMode, mode);
  if (mode == 4) m_dirty = 1;  // always sent again, even unchanged
  return kOk;
}

int ImplementationOscilloscope_2::SetTriggerEdge(int32_t edge) {
  if (edge < 0 || edge > 1) return kBadArgument;
  Store(m_s.triggerEdge, edge);
  return kOk;
}

int ImplementationOscilloscope_2::SetTriggerSource(int32_t source, uint16_t channel) {
  if (source < 0 || source > 2 || channel >= 2) return kBadArgument;
  Store(m_s.triggerSource, source);
  Store(m_s.triggerSourceChannel, channel);
  return kOk;
}

int ImplementationOscilloscope_2::SetTriggerFilter(int32_t filter) {
  if (filter < 0 || filter > 1) return kBadArgument;
  Store(m_s.triggerFilter, filter);
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
    m_s.rangeIndex[c] = channel.rangeIndex;
    if (channel.mode < 0 || channel.mode > 2) return kBadArgument;
    m_s.previousMode[c] = m_s.channelMode[c];
    m_s.channelMode[c] = channel.mode;
  }
  if (s.sampleRateIndex >= kSampleRateCount) return kBadArgument;
  m_s.sampleRateIndex = s.sampleRateIndex;
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
  if (!(ScaledValueToFloat(s.triggerSensitivity) > 0.0f)) return kBadArgument;
  m_s.triggerSensitivity = ScaledValue{s.triggerSensitivity.mantissa, s.triggerSensitivity.exponent, {}};
  if (s.triggerFilter < 0 || s.triggerFilter > 1) return kBadArgument;
  m_s.triggerFilter = s.triggerFilter;
  m_dirty = 1;
  return kOk;
}

int ImplementationOscilloscope_2::GetAll(OscSettings* s, uint16_t channelCount, OscChannelSetting* channels) {
  const int code = GetCommonSettings(s, channelCount, channels);
  if (code == kOk) s->acquisitionMode = m_acquisitionMode;
  return code;
}

// ---- configuration and acquisition -------------------------------------------------------------

uint8_t ImplementationOscilloscope_2::AcquisitionType() const {
  return AcquisitionTypeOf(m_s.channelMode[0] != 0, m_s.channelMode[1] != 0, m_armed != 0, m_s.triggerMode, m_s.triggerSource);
}

void ImplementationOscilloscope_2::BuildSetup(uint8_t setup[kOscSetupLength]) const {
  setup[0] = kCmdOscConfiguration;
  setup[1] = static_cast<uint8_t>(m_acquisitionMode);
  for (int c = 0; c < 2; ++c) {
    setup[2 + 2 * c] = CouplingCode(m_s.channelMode[c], m_s.previousMode[c], m_s.rangeIndex[c]);
    setup[3 + 2 * c] = static_cast<uint8_t>(GetRangeCode(m_s.rangeIndex[c]));
  }
  setup[6] = SampleRateDigit(m_s.sampleRateIndex);
  setup[7] = SampleRateDecade(m_s.sampleRateIndex);
  setup[8] = TriggerControlCode(m_s.triggerMode, m_s.triggerSource, m_s.triggerSourceChannel, m_s.triggerFilter, m_s.triggerEdge);
  setup[9] = setup[10] = 0x80;
  for (int c = 0; c < 2; ++c) {
    const bool computed = m_s.triggerSource == 1 || (m_s.triggerSource == 0 && m_s.triggerSourceChannel == c);
    if (computed) setup[9 + c] = TriggerLevelCode(m_s.triggerLevel, m_s.rangeIndex[c], m_channelInfo[c].probe);
  }
  setup[11] = static_cast<uint8_t>(m_s.triggerPosition >> 8);
  setup[12] = static_cast<uint8_t>(m_s.triggerPosition);
  setup[13] = TriggerModeCode(m_s.triggerMode);
  setup[14] = SensitivityCode(m_s.triggerSensitivity);
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

int16_t ImplementationOscilloscope_2::DecodeChannelSample(int channel, uint8_t raw) const {
  const int range = m_s.rangeIndex[channel];
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

// ---- recording into board memory ---------------------------------------------------------------

int ImplementationOscilloscope_2::CheckSettings() {
  if (m_acquisitionMode != 0) return kAcquisitionModeRefused;
  if (m_s.sampleRateIndex > 10) return kSampleRateTooHigh;
  if (m_s.triggerMode != 0 && m_s.triggerMode != 2) return kTriggerModeRefused;
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
