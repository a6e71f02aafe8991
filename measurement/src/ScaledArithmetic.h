// Scaled values, the shared range table, sample scaling and the small value helpers the
// instruments share. All arithmetic is single precision, as the readings are defined.
#pragma once

#include <kv310/Records.h>

#include <cstdint>

namespace kv310 {

inline constexpr int kRangeCount = 10;

// mantissa x 10^exponent, by repeated multiplication or division by 10.
float ScaledValueToFloat(ScaledValue value);

// Full scale of range index 0..9 (400 V down to 0.4 V); {0, 0} outside. GetRangeScale2 reads the
// second copy of the same values that some instruments use.
ScaledValue GetRangeScale(int index);
ScaledValue GetRangeScale2(int index);
// The board's code of a range index: 1, 2, 5, 1, 2, 5, 10, 20, 50, 100; 0 outside.
int GetRangeCode(int index);

// Rounds to `digits` significant places of the integer part: digits <= 1 rounds to a whole
// number, 2 to a multiple of 10, and so on. Returns the result; `out` (optional) receives it with
// exponent 0.
int32_t RoundScaledValue(ScaledValue value, int digits, ScaledValue* out);

// Engine temperature from the sensor voltage held in `value` (volts); valid only for
// -50 < T < 160 degrees, else 0 and invalid. Returns 0.
int TemperatureFromVoltage(MeasuredValue* value);

// Largest magnitude of `count` samples (a later sample of equal magnitude wins), its sign
// (1 = negative) and index. Sign and index are optional.
void FindPeak(const int16_t* samples, int count, int32_t* magnitude, uint8_t* sign, int32_t* index);

// The neighbouring pair with the largest magnitude step (the first of equal steps); of that pair
// the sample with the larger magnitude gives the index, and replaces `magnitude` and `sign` when
// its magnitude exceeds the value passed in.
void FindLargestStep(const int16_t* samples, int count, int32_t* magnitude, uint8_t* sign, int32_t* index);

// Calibrates one sample: negative samples by the negative factor (held at -32767 or above), the
// others by the positive factor (held at 32767 or below).
void ScaleSample(int16_t* sample, float positiveFactor, float negativeFactor);

// Raw limits of a channel at the saturation of the board's converter, for (channel 0/1, range
// 0..9, probe class 0/1): kBadArgument for a bad argument, kNoData for another class.
int GetSaturationLimits(int channel, int rangeIndex, int probeClass, int16_t* positiveLimit, int16_t* negativeLimit);

// Cylinder count and revolutions per working cycle of the engine tester's active parameter set:
// kBadReply without an output, kBadEngineType for an engine type other than 0 and 1, kBadReply
// for a stroke other than 2 and 4.
int GetCylinderCount(uint8_t* count);
int GetRevolutionsPerCycle(uint8_t* revolutions);

}  // namespace kv310
