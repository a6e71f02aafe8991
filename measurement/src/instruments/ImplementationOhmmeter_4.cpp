#include "ImplementationOhmmeter_4.h"

#include "../Calibration.h"
#include "../CommandSet.h"
#include "../ScaledArithmetic.h"
#include "OhmBoard.h"

namespace kv310 {

namespace {

constexpr ScaledValue kOhmRanges[ImplementationOhmmeter_4::kOhmRangeCount] = {
    {33, 5, {}}, {11, 4, {}}, {11, 3, {}}, {11, 2, {}}, {11, 1, {}}};
constexpr float kOpenCircuitVolts = 0.75f;

}  // namespace

ScaledValue OhmRangeScale(int index) {
  return (index >= 0 && index < ImplementationOhmmeter_4::kOhmRangeCount) ? kOhmRanges[index] : ScaledValue{};
}

void OhmValue(uint16_t raw, int rangeIndex, int subRange, int16_t* value, int32_t* valid) {
  *value = 0;
  *valid = 0;
  const float u = static_cast<float>(raw) * 2.5f / 1024.0f;
  if (rangeIndex == 0 && subRange == 0 && u > kOpenCircuitVolts) return;
  if (rangeIndex < 0 || rangeIndex > 4 || subRange < 0 || subRange > 3) return;
  const ChannelCalibration& calibration = Calibration();
  const float k1 = calibration.ohmFactors[4 * rangeIndex + subRange][0];
  const float k2 = calibration.ohmFactors[4 * rangeIndex + subRange][1];
  const float denominator = u * k1 + k2;
  // At and beyond the curve's pole the reading stands for no finite resistance: over range.
  if (!(denominator > 0.0f)) return;
  const float x = u / denominator - calibration.ohmOffset;
  const float fullScale = ScaledValueToFloat(kOhmRanges[rangeIndex]);
  if (!(x < fullScale)) return;
  // A short circuit may read slightly below zero; that is kept.
  *value = static_cast<int16_t>(x / fullScale * 32768.0f);
  *valid = 1;
}

int ImplementationOhmmeter_4::GetRangeCount(uint16_t* count) {
  if (!count) return kBadArgument;
  *count = kOhmRangeCount;
  return kOk;
}

int ImplementationOhmmeter_4::GetRanges(uint16_t count, ScaledValue* ranges) {
  if (!ranges || count > kOhmRangeCount) return kBadArgument;
  for (int i = 0; i < count; ++i) ranges[i] = kOhmRanges[i];
  return kOk;
}

int ImplementationOhmmeter_4::GetRange(ScaledValue* range) {
  if (!range) return kBadArgument;
  *range = m_rangeIndex == kAutoRange ? ScaledValue{0, 0, {}} : kOhmRanges[m_rangeIndex];
  return kOk;
}

int ImplementationOhmmeter_4::GetRangeIndex(uint16_t* index) {
  if (!index) return kBadArgument;
  *index = m_rangeIndex;
  return kOk;
}

int ImplementationOhmmeter_4::BuildConfiguration(uint8_t request[5]) const {
  request[0] = kCmdOhmConfiguration;
  request[1] = 0x00;
  if (m_rangeIndex == kAutoRange) {
    request[2] = 0x02;
    return 3;
  }
  request[2] = 0x01;
  request[3] = 0x00;
  request[4] = static_cast<uint8_t>(m_rangeIndex);
  return 5;
}

int ImplementationOhmmeter_4::SetRangeIndex(uint16_t index) {
  if (index >= kOhmRangeCount && index != kAutoRange) return kBadArgument;
  m_rangeIndex = index;
  uint8_t request[5];
  const int size = BuildConfiguration(request);
  return ConfigureOhmBoard(request, size, kBoardModeOhmmeter);
}

int ImplementationOhmmeter_4::Measure(OhmReading* reading) {
  if (!reading) return kBadArgument;
  uint8_t request[5];
  const int size = BuildConfiguration(request);
  OhmRawReading raw;
  const int code = ReadOhmBoard(kBoardModeOhmmeter, request, size, &raw);
  if (code == kOk || code == kWrongProbe) reading->probeKind = raw.probeKind;
  if (code != kOk) return code;
  reading->rangeIndex = raw.rangeIndex;
  OhmValue(raw.raw, raw.rangeIndex, raw.subRange, &reading->value, &reading->valid);
  return kOk;
}

}  // namespace kv310
