#include "EngineSamples.h"

#include "Calibration.h"
#include "ScaledArithmetic.h"

#include <algorithm>
#include <cstdlib>

namespace kv310 {

namespace {

constexpr int kMaxReconstructedRate = 14;
constexpr float kReconstructionThreshold = 5000.0f;

struct Window {
  int length;
  int positionChange;  // for one group per block
  int offset;
  int offset112;       // with the reference probe variant 112
};

// By sample-rate index 7..14; any other index: 5, 0, 0.
constexpr Window kWindows[8] = {
    {5, 0, 1, 1},     {10, 0, 5, 5},      {10, -1, 5, 5},     {15, -3, 7, 7},
    {15, -6, 7, -3},  {25, -12, 12, 2},   {30, -25, 15, 5},   {50, -50, 25, 15},
};

float FullScale(int rangeIndex) { return ScaledValueToFloat(GetRangeScale(rangeIndex)); }

Window WindowOf(int rateIndex) {
  if (rateIndex >= 7 && rateIndex <= 14) return kWindows[rateIndex - 7];
  return {5, 0, 0, 0};
}

// The change of the trigger position when `groups` groups share one block: -1 at index 9, and
// -50 / (16, 8, 4, 2, 1 x groups) at indexes 10 to 14.
int PositionChange(int rateIndex, int groups) {
  if (groups <= 1) return WindowOf(rateIndex).positionChange;
  if (rateIndex == 9) return -1;
  if (rateIndex >= 10 && rateIndex <= 14) {
    static constexpr int kDivisors[5] = {16, 8, 4, 2, 1};
    return -50 / (kDivisors[rateIndex - 10] * groups);
  }
  return 0;
}

int32_t Magnitude(int16_t v) { return std::abs(static_cast<int32_t>(v)); }

}  // namespace

float EngineScaleFactor(const EngineSampleScale& scale) {
  const float ratio = FullScale(scale.engineRangeIndex) / FullScale(scale.rangeIndex);
  return static_cast<float>(scale.reference) * ratio / 10000.0f;
}

int16_t ConvertEngineSample(uint8_t raw, const EngineSampleScale& scale) {
  int16_t s = static_cast<int16_t>((raw - 128) * 256);
  const float* pair = CalibrationPair(0, std::clamp(scale.engineRangeIndex, 0, kRangeCount - 1), 0);
  ScaleSample(&s, pair[0], pair[1]);
  const float v = static_cast<float>(s) * EngineScaleFactor(scale);
  if (v > 32767.0f) return 32767;
  if (v < -32768.0f) return -32768;
  if (v != v) return 0;
  return static_cast<int16_t>(v);
}

GroupPeak DecodeGroupPeak(const uint8_t bytes[2], int group, const EngineSampleScale& scale) {
  GroupPeak p;
  p.group = static_cast<uint16_t>(group);
  p.samples[0] = ConvertEngineSample(bytes[0], scale);
  p.samples[1] = ConvertEngineSample(bytes[1], scale);
  const int16_t chosen = Magnitude(p.samples[0]) > Magnitude(p.samples[1]) ? p.samples[0] : p.samples[1];
  p.peak = static_cast<int16_t>(std::min<int32_t>(Magnitude(chosen), 32767));
  p.negative = chosen < 0 ? 1 : 0;
  return p;
}

void ReconstructPeak(int16_t* samples, const GroupPart& part, const GroupPeak& peak, const EngineSampleScale& scale,
                     int16_t* recordPeak) {
  if (scale.sampleRateIndex > kMaxReconstructedRate || part.length <= 0) return;
  const float engineUnits = static_cast<float>(peak.peak) * FullScale(scale.rangeIndex) * 10000.0f / 32767.0f;
  if (!(engineUnits > kReconstructionThreshold)) return;

  const Window window = WindowOf(scale.sampleRateIndex);
  const int groups = std::max(part.groups, 1);
  const int position = static_cast<int>(scale.triggerPosition) / groups + PositionChange(scale.sampleRateIndex, groups);
  const int offset = scale.referenceProbeCode == 112 ? window.offset112 : window.offset;
  // The window stays inside the group's part of the record.
  int first = position - offset;
  int last = first + window.length;
  first = std::clamp(first, 0, part.length);
  last = std::clamp(last, 0, part.length);
  if (last <= first) return;

  int16_t* w = samples + part.start + first;
  int32_t magnitude = Magnitude(*recordPeak);
  int32_t at = 0;
  FindLargestStep(w, last - first, &magnitude, nullptr, &at);
  if (magnitude > Magnitude(*recordPeak)) *recordPeak = w[at];
  // The curve stays below the measured peak there: the peak goes in, with its polarity.
  if (Magnitude(w[at]) < peak.peak) {
    w[at] = peak.negative ? static_cast<int16_t>(-peak.peak) : peak.peak;
    *recordPeak = w[at];
  }
}

}  // namespace kv310
