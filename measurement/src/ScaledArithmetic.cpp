#include "ScaledArithmetic.h"

#include "Calibration.h"
#include "Library.h"
#include "EngineTesterState.h"

#include <cstdlib>
#include <kv310/ResultCodes.h>

namespace kv310 {

namespace {

constexpr ScaledValue kRangeScales[kRangeCount] = {
    {4, 2, {}}, {2, 2, {}}, {8, 1, {}}, {4, 1, {}}, {2, 1, {}},
    {8, 0, {}}, {4, 0, {}}, {2, 0, {}}, {8, -1, {}}, {4, -1, {}},
};
constexpr ScaledValue kRangeScales2[kRangeCount] = {
    {4, 2, {}}, {2, 2, {}}, {8, 1, {}}, {4, 1, {}}, {2, 1, {}},
    {8, 0, {}}, {4, 0, {}}, {2, 0, {}}, {8, -1, {}}, {4, -1, {}},
};
constexpr int kRangeCodes[kRangeCount] = {1, 2, 5, 1, 2, 5, 10, 20, 50, 100};

// A product rounded to single precision, then held within the 16-bit sample range and truncated.
int16_t LimitToSample(float value, float low, float high) {
  if (value > high) value = high;
  if (value < low) value = low;
  return static_cast<int16_t>(value);
}

}  // namespace

float ScaledValueToFloat(ScaledValue value) {
  float x = static_cast<float>(value.mantissa);
  for (int e = value.exponent; e > 0; --e) x *= 10.0f;
  for (int e = value.exponent; e < 0; ++e) x /= 10.0f;
  return x;
}

ScaledValue GetRangeScale(int index) {
  return (index >= 0 && index < kRangeCount) ? kRangeScales[index] : ScaledValue{};
}

ScaledValue GetRangeScale2(int index) {
  return (index >= 0 && index < kRangeCount) ? kRangeScales2[index] : ScaledValue{};
}

int GetRangeCode(int index) { return (index >= 0 && index < kRangeCount) ? kRangeCodes[index] : 0; }

int32_t RoundScaledValue(ScaledValue value, int digits, ScaledValue* out) {
  const float x = ScaledValueToFloat(value);
  int32_t result;
  if (digits <= 1) {
    result = static_cast<int32_t>(x + 0.5f);
  } else {
    int32_t q = 1;
    for (int d = 1; d < digits; ++d) q *= 10;
    const float fq = static_cast<float>(q);
    result = static_cast<int32_t>((x + 0.5f * fq) / fq) * q;
  }
  if (out) *out = ScaledValue{result, 0, {}};
  return result;
}

int TemperatureFromVoltage(MeasuredValue* value) {
  const float u = ScaledValueToFloat(value->value);
  const float t = 3.3f * u * u + 29.1f * u - 60.7f;
  const int32_t whole = static_cast<int32_t>(t);
  if (whole <= -50 || whole >= 160) {
    value->value = ScaledValue{0, 0, {}};
    value->valid = 0;
  } else {
    value->value = ScaledValue{whole, 0, {}};
    value->valid = 1;
  }
  return kOk;
}

void FindPeak(const int16_t* samples, int count, int32_t* magnitude, uint8_t* sign, int32_t* index) {
  int32_t best = 0;
  int32_t at = 0;
  for (int i = 0; i < count; ++i) {
    const int32_t m = std::abs(static_cast<int32_t>(samples[i]));
    if (i == 0 || m >= best) {
      best = m;
      at = i;
    }
  }
  *magnitude = best;
  if (sign) *sign = (count > 0 && samples[at] < 0) ? 1 : 0;
  if (index) *index = at;
}

void FindLargestStep(const int16_t* samples, int count, int32_t* magnitude, uint8_t* sign, int32_t* index) {
  if (count < 1) return;
  int32_t bestStep = -1;
  int bestPair = 0;
  for (int i = 0; i < count; ++i) {
    int32_t step = 0;  // the last sample pairs with nothing
    if (i + 1 < count) step = std::abs(std::abs(int32_t{samples[i]}) - std::abs(int32_t{samples[i + 1]}));
    if (step > bestStep) {
      bestStep = step;
      bestPair = i;
    }
  }
  int at = bestPair;
  if (bestPair + 1 < count && std::abs(int32_t{samples[bestPair + 1]}) > std::abs(int32_t{samples[bestPair]})) {
    at = bestPair + 1;
  }
  const int32_t m = std::abs(int32_t{samples[at]});
  if (m > *magnitude) {
    *magnitude = m;
    if (sign) *sign = samples[at] < 0 ? 1 : 0;
  }
  if (index) *index = at;
}

void ScaleSample(int16_t* sample, float positiveFactor, float negativeFactor) {
  const float s = static_cast<float>(*sample);
  if (*sample < 0) {
    *sample = LimitToSample(s * negativeFactor, -32767.0f, 32767.0f);
  } else {
    *sample = LimitToSample(s * positiveFactor, -32767.0f, 32767.0f);
  }
}

int GetSaturationLimits(int channel, int rangeIndex, int probeClass, int16_t* positiveLimit, int16_t* negativeLimit) {
  if (!positiveLimit || !negativeLimit || channel < 0 || channel > 1 || rangeIndex < 0 || rangeIndex >= kRangeCount) {
    return kBadArgument;
  }
  if (probeClass != 0 && probeClass != 1) return kNoData;
  const float* pair = CalibrationPair(channel, rangeIndex, probeClass);
  const float positive = pair[0] * 31232.0f;
  const float negative = pair[1] * -31488.0f;
  *positiveLimit = LimitToSample(positive, -32768.0f, 32767.0f);
  *negativeLimit = LimitToSample(negative, -32767.0f, 32767.0f);
  return kOk;
}

int GetCylinderCount(uint8_t* count) {
  if (!count) return kBadReply;
  const EngineParameterBlock p = EngineState().CurrentParams();
  if (p.engineType == 0) {
    *count = p.sparkNumberCylinders;
  } else if (p.engineType == 1) {
    *count = p.dieselNumberCylinders;
  } else {
    return kBadEngineType;
  }
  return kOk;
}

int GetRevolutionsPerCycle(uint8_t* revolutions) {
  if (!revolutions) return kBadReply;
  const EngineParameterBlock p = EngineState().CurrentParams();
  uint8_t stroke;
  if (p.engineType == 0) {
    stroke = p.sparkStroke;
  } else if (p.engineType == 1) {
    stroke = p.dieselStroke;
  } else {
    return kBadEngineType;
  }
  if (stroke == 2) {
    *revolutions = 1;
  } else if (stroke == 4) {
    *revolutions = 2;
  } else {
    return kBadReply;
  }
  return kOk;
}

}  // namespace kv310
