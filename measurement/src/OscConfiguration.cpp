#include "OscConfiguration.h"

#include "ScaledArithmetic.h"

#include <cmath>

namespace kv310 {

namespace {

constexpr int32_t kSampleRates[kSampleRateCount] = {20,    50,    100,    200,    500,     1000,    2000,    5000,    10000,
                                                    20000, 50000, 100000, 200000, 500000, 1000000, 2000000, 5000000, 10000000};
constexpr uint8_t kRateDigits[kSampleRateCount] = {2, 5, 1, 2, 5, 1, 2, 5, 1, 2, 5, 1, 2, 5, 1, 2, 5, 1};
constexpr uint8_t kRateDecades[kSampleRateCount] = {1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6, 7};
constexpr uint8_t kTriggerModeCodes[5] = {0x00, 0x01, 0x00, 0x10, 0x11};

bool ValidRateIndex(int index) { return index >= 0 && index < kSampleRateCount; }

}  // namespace

int32_t SampleRateOf(int index) { return ValidRateIndex(index) ? kSampleRates[index] : 0; }
uint8_t SampleRateDigit(int index) { return ValidRateIndex(index) ? kRateDigits[index] : 0; }
uint8_t SampleRateDecade(int index) { return ValidRateIndex(index) ? kRateDecades[index] : 0; }

uint8_t CouplingCode(int32_t mode, int32_t previousMode, int rangeIndex) {
  const int32_t effective = mode == 0 ? previousMode : mode;
  const bool lowRange = rangeIndex <= 2;
  if (effective == 1) return lowRange ? 1 : 3;
  if (effective == 2) return lowRange ? 2 : 4;
  return 0;
}

float ProbeFactor(const ProbeDescriptor& probe) {
  ScaledValue scale{probe.scaleMantissa, static_cast<int8_t>(probe.scaleExponent & 0xFF), {}};
  return ScaledValueToFloat(scale);
}

uint8_t TriggerLevelCode(ScaledValue level, int rangeIndex, const ProbeDescriptor& probe) {
  const float fullScale = ScaledValueToFloat(GetRangeScale(rangeIndex));
  const float product = fullScale * ProbeFactor(probe);
  const float quotient = 128.0f * ScaledValueToFloat(level) / product;
  // A probe without a scale (factor 0) gives no threshold at all; a level far beyond full scale
  // sits at the end of the codes (held before the conversion, which could not hold it).
  if (std::isnan(quotient)) return 0x80;
  if (quotient > 1000.0f) return 255;
  if (quotient < -1000.0f) return 0;
  const int code = static_cast<int>(quotient) + 128;
  return static_cast<uint8_t>(code < 0 ? 0 : code > 255 ? 255 : code);
}

uint8_t SensitivityCode(ScaledValue sensitivity) {
  int32_t m = sensitivity.mantissa;
  int d = sensitivity.exponent + 3;
  while (m > 15) {
    m /= 10;
    ++d;
  }
  if (m <= 0 || d < 1) return 0x11;
  if (d >= 5) return 0x15;
  return static_cast<uint8_t>((m << 4) | d);
}

uint8_t TriggerControlCode(int32_t triggerMode, int32_t source, int sourceChannel, int32_t filter, int32_t edge) {
  if (triggerMode == 0) return 0;
  if (source == 2) return static_cast<uint8_t>(0x10 + sourceChannel);
  return static_cast<uint8_t>(1 + (filter == 1 ? 1 : 0) + (edge == 0 ? 2 : 0) + 4 * sourceChannel);
}

uint8_t TriggerModeCode(int32_t triggerMode) {
  return (triggerMode >= 0 && triggerMode < 5) ? kTriggerModeCodes[triggerMode] : 0x00;
}

bool InsideProbeWindow(const ProbeDescriptor& probe, int rangeIndex) {
  const int highest = probe.rangeWindow & 0xFFFF;
  const int lowest = (probe.rangeWindow >> 16) & 0xFFFF;
  return rangeIndex >= lowest && rangeIndex <= highest;
}

}  // namespace kv310
