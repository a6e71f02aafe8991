#include "OhmRanges.h"

#include "../Calibration.h"
#include "../CommandSet.h"
#include "../ScaledArithmetic.h"

namespace kv310 {

namespace {

constexpr ScaledValue kOhmRanges[OhmRangeSetting::kOhmRangeCount] = {
    {33, 5, {}}, {11, 4, {}}, {11, 3, {}}, {11, 2, {}}, {11, 1, {}}};
constexpr float kOpenCircuitVolts = 0.75f;

}  // namespace

ScaledValue OhmRangeScale(int index) {
  return (index >= 0 && index < OhmRangeSetting::kOhmRangeCount) ? kOhmRanges[index] : ScaledValue{};
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

int OhmRangeSetting::RangeCount(uint16_t* count) const {
  if (!count) return kBadArgument;
  *count = kOhmRangeCount;
  return kOk;
}

int OhmRangeSetting::Ranges(uint16_t count, ScaledValue* ranges) const {
  if (!ranges || count > kOhmRangeCount) return kBadArgument;
  for (int i = 0; i < count; ++i) ranges[i] = kOhmRanges[i];
  return kOk;
}

int OhmRangeSetting::Range(ScaledValue* range) const {
  if (!range) return kBadArgument;
  *range = m_rangeIndex == kAutoRange ? ScaledValue{0, 0, {}} : kOhmRanges[m_rangeIndex];
  return kOk;
}

int OhmRangeSetting::RangeIndex(uint16_t* index) const {
  if (!index) return kBadArgument;
  *index = m_rangeIndex;
  return kOk;
}

int OhmRangeSetting::StoreRangeIndex(uint16_t index) {
  if (index >= kOhmRangeCount && index != kAutoRange) return kBadArgument;
  m_rangeIndex = index;
  return kOk;
}

int OhmRangeSetting::BuildConfiguration(uint8_t flags, uint8_t request[5]) const {
  request[0] = kCmdOhmConfiguration;
  request[1] = flags;
  if (m_rangeIndex == kAutoRange) {
    request[2] = 0x02;
    return 3;
  }
  request[2] = 0x01;
  request[3] = 0x00;
  request[4] = static_cast<uint8_t>(m_rangeIndex);
  return 5;
}

}  // namespace kv310
