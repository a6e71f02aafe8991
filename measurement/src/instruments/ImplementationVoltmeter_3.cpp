#include "ImplementationVoltmeter_3.h"

#include "../Calibration.h"
#include "../CommandSet.h"
#include "../Library.h"
#include "../LinkRequest.h"
#include "../OscReplyDecoder.h"
#include "../ProbeTable.h"
#include "../ScaledArithmetic.h"
#include "EngineTesterPresence.h"

#include <platform/byteorder.h>
#include <cmath>

namespace kv310 {

namespace {

constexpr int kBoardModeVoltmeter = 2;
constexpr int kReadingLength = 26;

uint8_t Coupling(uint16_t rangeIndex) {
  if (rangeIndex == ImplementationVoltmeter_3::kAutoRange) return 0;
  return rangeIndex <= 2 ? 1 : 3;
}


// The range index the board reports as (coupling, range code): coupling 1 among indexes 0..2,
// coupling 3 among 3..9; 0 for anything else.
uint16_t ReportedRangeIndex(uint8_t coupling, uint8_t rangeCode) {
  int first = 0;
  int last = -1;
  if (coupling == 1) {
    first = 0;
    last = 2;
  } else if (coupling == 3) {
    first = 3;
    last = 9;
  }
  for (int i = first; i <= last; ++i)
    if (GetRangeCode(i) == rangeCode) return static_cast<uint16_t>(i);
  return 0;
}

}  // namespace

int16_t VoltmeterValue(uint16_t field) { return static_cast<int16_t>((static_cast<int32_t>(field) - 2048) * 16); }

int16_t VoltmeterRms(uint16_t firstField, uint32_t squareSum) {
  const float argument =
      32768.0f * static_cast<float>(32768 - 32 * static_cast<int32_t>(firstField)) + 256.0f * static_cast<float>(squareSum);
  if (!(argument > 0.0f)) return 0;
  const float root = std::sqrt(argument);
  return root >= 32767.0f ? 32767 : static_cast<int16_t>(root);
}

int ImplementationVoltmeter_3::GetChannelCount(uint16_t* count) {
  if (!count) return kBadArgument;
  *count = 2;
  return kOk;
}

int ImplementationVoltmeter_3::GetRangeCount(uint16_t channel, uint16_t* count) {
  if (channel >= 2 || !count) return kBadArgument;
  *count = kRangeCount;
  return kOk;
}

int ImplementationVoltmeter_3::GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) {
  if (channel >= 2 || count > kRangeCount || !ranges) return kBadArgument;
  for (int i = 0; i < count; ++i) ranges[i] = GetRangeScale(i);
  return kOk;
}

int ImplementationVoltmeter_3::GetRange(uint16_t channel, ScaledValue* range) {
  uint16_t index = 0;
  if (!range) return kBadArgument;
  const int code = GetRangeIndex(channel, &index);
  if (code != kOk) return code;
  *range = index == kAutoRange ? ScaledValue{0, 0, {}} : GetRangeScale(index);
  return kOk;
}

int ImplementationVoltmeter_3::GetRangeIndex(uint16_t channel, uint16_t* index) {
  if (channel >= 2 || !index) return kBadArgument;
  *index = m_rangeIndex[channel];
  return kOk;
}

int ImplementationVoltmeter_3::SetRangeIndex(uint16_t channel, uint16_t index) {
  if (channel > 1 || (index >= kRangeCount && index != kAutoRange)) return kBadArgument;
  m_rangeIndex[channel] = index;
  return Configure();
}

int ImplementationVoltmeter_3::GetMode(int32_t* mode) {
  if (!mode) return kBadArgument;
  *mode = m_mode;
  return kOk;
}

int ImplementationVoltmeter_3::SetMode(int32_t mode) {
  if (mode != 0) return kBadArgument;
  m_mode = mode;
  m_headerExtension = 0;
  return Configure();
}

int ImplementationVoltmeter_3::ReadProbe(uint16_t channel, ProbeDescriptor* probe) {
  return GetChannelProbe(channel, probe);
}

int ImplementationVoltmeter_3::Configure() {
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  uint8_t request[10] = {kCmdVoltConfiguration, static_cast<uint8_t>(m_mode)};
  uint8_t flags = 0;
  for (int c = 0; c < 2; ++c) {
    const uint16_t index = m_rangeIndex[c];
    request[2 + 2 * c] = Coupling(index);
    request[3 + 2 * c] = index == kAutoRange ? 0 : static_cast<uint8_t>(GetRangeCode(index));
    if (index != kAutoRange) flags |= c == 0 ? 2 : 32;
  }
  request[6] = 25;
  request[7] = 3;
  request[8] = 19;
  request[9] = flags;
  uint8_t reply[20];
  int received = 0;
  code = ExchangeWithBoard(request, sizeof request, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received < 4 || reply[0] != kCmdVoltConfiguration || reply[1] != 0) return kBadReply;
  if (EngineTesterFound(reply[2])) return kLinkError;
  SetBoardMode(kBoardModeVoltmeter);
  return kOk;
}

int ImplementationVoltmeter_3::Measure(uint16_t channel, VoltmeterReading* reading) {
  return Read(channel, false, reading);
}

int ImplementationVoltmeter_3::MeasureRms(uint16_t channel, VoltmeterReading* reading) {
  return Read(channel, true, reading);
}

int ImplementationVoltmeter_3::Read(uint16_t channel, bool rms, VoltmeterReading* reading) {
  if (channel > 1 || !reading) return kBadArgument;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  if (BoardMode() != kBoardModeVoltmeter) {
    code = Configure();
    if (code != kOk) return code;
  }
  const uint8_t request[2] = {kCmdVoltReading, static_cast<uint8_t>(rms ? 1 : 0)};
  uint8_t reply[50];
  int received = 0;
  code = ExchangeWithBoard(request, sizeof request, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received < kReadingLength || reply[0] != kCmdVoltReading || reply[1] != 0) return kBadReply;
  if (EngineTesterFound(reply[2])) return kLinkError;

  // The channel's fields, after the reply's four header bytes.
  const uint8_t* s = reply + 4;
  const uint8_t coupling = s[channel == 0 ? 0 : 2];
  const uint8_t rangeCode = s[channel == 0 ? 1 : 3];
  const uint8_t* values = s + (channel == 0 ? 4 : 13);
  const uint32_t squareSum = kvp::ReadBe24(values + 6);

  VoltmeterReading r{};
  for (int i = 0; i < 3; ++i) r.values[i] = VoltmeterValue(kvp::ReadBe16(values + 2 * i));
  if (rms) r.values[0] = VoltmeterRms(kvp::ReadBe16(values), squareSum);
  r.rangeIndex = ReportedRangeIndex(coupling, rangeCode);
  LookupProbeDescriptor(&r.probe, reply[2 + channel]);

  const int probeClass = r.probe.probeClass == 1 ? 1 : 0;
  if (probeClass == 1) r.values[0] = ApplyClampGain(r.values[0]);
  const float* pair = CalibrationPair(channel, r.rangeIndex, probeClass);
  for (int16_t& v : r.values) ScaleSample(&v, pair[0], pair[1]);
  *reading = r;
  return kOk;
}

}  // namespace kv310
