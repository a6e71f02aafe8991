#include "Calibration.h"
#include "Library.h"
#include "ScaledArithmetic.h"

#include <gtest/gtest.h>
#include <kv310/ResultCodes.h>

namespace kv310 {
namespace {

TEST(ScaledArithmetic, ScaledValueToFloat) {
  struct Case {
    int32_t mantissa;
    int8_t exponent;
    float value;
  } cases[] = {{125, -2, 1.25f}, {25, 2, 2500.0f}, {1, 4, 10000.0f}, {-7, 0, -7.0f}, {8, -1, 0.8f}, {0, 3, 0.0f}};
  for (const Case& c : cases) EXPECT_EQ(ScaledValueToFloat({c.mantissa, c.exponent, {}}), c.value) << c.mantissa;
}

TEST(ScaledArithmetic, RangeTable) {
  const int32_t mantissas[] = {4, 2, 8, 4, 2, 8, 4, 2, 8, 4};
  const int8_t exponents[] = {2, 2, 1, 1, 1, 0, 0, 0, -1, -1};
  const int codes[] = {1, 2, 5, 1, 2, 5, 10, 20, 50, 100};
  for (int i = 0; i < kRangeCount; ++i) {
    EXPECT_EQ(GetRangeScale(i).mantissa, mantissas[i]);
    EXPECT_EQ(GetRangeScale(i).exponent, exponents[i]);
    EXPECT_EQ(GetRangeScale2(i).mantissa, mantissas[i]);
    EXPECT_EQ(GetRangeScale2(i).exponent, exponents[i]);
    EXPECT_EQ(GetRangeCode(i), codes[i]);
  }
  EXPECT_EQ(GetRangeCode(10), 0);
  EXPECT_EQ(GetRangeScale(-1).mantissa, 0);
}

TEST(ScaledArithmetic, RoundScaledValue) {
  struct Case {
    ScaledValue value;
    int digits;
    int32_t result;
  } cases[] = {
      {{12345, -1, {}}, 2, 1230},  // engine speed in tenths of rpm to a multiple of 10 rpm
      {{12355, -1, {}}, 2, 1240},
      {{25, -1, {}}, 1, 3},
      {{24, -1, {}}, 0, 2},
      {{4567, 0, {}}, 3, 4600},
  };
  for (const Case& c : cases) {
    ScaledValue out{99, 9, {}};
    EXPECT_EQ(RoundScaledValue(c.value, c.digits, &out), c.result) << c.value.mantissa;
    EXPECT_EQ(out.mantissa, c.result);
    EXPECT_EQ(out.exponent, 0);
  }
  EXPECT_EQ(RoundScaledValue({12345, -1, {}}, 2, nullptr), 1230);
}

TEST(ScaledArithmetic, TemperatureFromVoltage) {
  struct Case {
    int32_t millivolts;
    int32_t degrees;
    uint8_t valid;
  } cases[] = {
      {2000, 10, 1},     // 13.2 + 58.2 - 60.7 = 10.7
      {0, 0, 0},         // -60.7: below the window
      {3000, 56, 1},     // 29.7 + 87.3 - 60.7 = 56.3
      {4000, 108, 1},    // 52.8 + 116.4 - 60.7 = 108.5
      {5000, 0, 0},      // 82.5 + 145.5 - 60.7 = 167.3: above the window
  };
  for (const Case& c : cases) {
    MeasuredValue m{};
    m.value = {c.millivolts, -3, {}};
    EXPECT_EQ(TemperatureFromVoltage(&m), kOk);
    EXPECT_EQ(m.value.mantissa, c.degrees) << c.millivolts;
    EXPECT_EQ(m.value.exponent, 0);
    EXPECT_EQ(m.valid, c.valid) << c.millivolts;
  }
}

TEST(ScaledArithmetic, FindPeakTakesTheLastOfEqualMagnitudes) {
  const int16_t samples[] = {3, -9, 4, 9, -2};
  int32_t magnitude = 0;
  uint8_t sign = 7;
  int32_t index = -1;
  FindPeak(samples, 5, &magnitude, &sign, &index);
  EXPECT_EQ(magnitude, 9);
  EXPECT_EQ(index, 3);
  EXPECT_EQ(sign, 0);
  const int16_t negative[] = {-32768, 5};
  FindPeak(negative, 2, &magnitude, &sign, nullptr);
  EXPECT_EQ(magnitude, 32768);
  EXPECT_EQ(sign, 1);
}

TEST(ScaledArithmetic, FindLargestStep) {
  struct Case {
    std::vector<int16_t> samples;
    int32_t magnitudeIn;
    int32_t magnitudeOut;
    uint8_t signOut;
    int32_t index;
  } cases[] = {
      {{0, 1, -50, -45, 2}, 0, 50, 1, 2},   // step 49 between 1 and -50: the later, larger one
      {{100, 10, 5}, 0, 100, 0, 0},         // step 90: the earlier is larger
      {{100, 10, 5}, 200, 200, 9, 0},       // a smaller sample leaves magnitude and sign alone
      {{7, 7, 7}, 0, 7, 0, 0},              // equal steps: the first pair
  };
  for (const Case& c : cases) {
    int32_t magnitude = c.magnitudeIn;
    uint8_t sign = 9;
    int32_t index = -1;
    FindLargestStep(c.samples.data(), static_cast<int>(c.samples.size()), &magnitude, &sign, &index);
    EXPECT_EQ(magnitude, c.magnitudeOut);
    EXPECT_EQ(sign, c.signOut);
    EXPECT_EQ(index, c.index);
  }
}

class CalibrationTest : public ::testing::Test {
 protected:
  void SetUp() override { LibraryAttach(); }
  void TearDown() override { LibraryDetach(); }
};

TEST_F(CalibrationTest, DefaultFactors) {
  struct Case {
    int channel, range, probeClass;
    float factor;
  } cases[] = {
      {0, 0, 0, 1.0123f}, {1, 2, 0, 1.0123f}, {0, 3, 0, 1.024f},    {1, 5, 0, 1.024f},    {0, 6, 0, 1.0488f},
      {1, 9, 0, 1.0488f}, {0, 0, 1, 1.05875f}, {1, 5, 1, 1.05875f}, {0, 6, 1, 1.08445f}, {1, 9, 1, 1.08445f},
  };
  for (const Case& c : cases) {
    const float* pair = CalibrationPair(c.channel, c.range, c.probeClass);
    EXPECT_EQ(pair[0], c.factor);
    EXPECT_EQ(pair[1], c.factor);
    EXPECT_EQ(pair, Calibration().factors[c.range + 10 * c.channel + 20 * c.probeClass]);
  }
  EXPECT_EQ(Calibration().ohmFactors[0][0], -9.9933402e-07f);
  EXPECT_EQ(Calibration().ohmFactors[0][1], 8.32778085e-07f);
  EXPECT_EQ(Calibration().ohmFactors[19][0], -0.00196178001f);
  EXPECT_EQ(Calibration().ohmFactors[19][1], 0.142180994f);
  EXPECT_EQ(Calibration().ohmOffset, 2.7f);
  EXPECT_EQ(Calibration().loaded, 1);
}

TEST_F(CalibrationTest, ScaleSample) {
  struct Case {
    int16_t in;
    float factor;
    int16_t out;
  } cases[] = {
      {32512, 1.0123f, 32767},    // raw 255 on range 0: held at full scale
      {-32768, 1.0123f, -32767},  // raw 0
      {0, 1.0123f, 0},
      {6655, 1.05875f, 7045},     // a current clamp on range 0
      {15882, 1.05875f, 16815},   // a current clamp on range 2, after its range correction
      {-1000, 1.024f, -1024},
  };
  for (const Case& c : cases) {
    int16_t s = c.in;
    ScaleSample(&s, c.factor, c.factor);
    EXPECT_EQ(s, c.out) << c.in;
  }
}

TEST_F(CalibrationTest, SaturationLimits) {
  int16_t positive = 0, negative = 0;
  EXPECT_EQ(GetSaturationLimits(0, 0, 0, &positive, &negative), kOk);
  EXPECT_EQ(positive, 31616);
  EXPECT_EQ(negative, -31875);
  EXPECT_EQ(GetSaturationLimits(2, 0, 0, &positive, &negative), kBadArgument);
  EXPECT_EQ(GetSaturationLimits(0, 10, 0, &positive, &negative), kBadArgument);
  EXPECT_EQ(GetSaturationLimits(0, 0, 0, nullptr, &negative), kBadArgument);
  EXPECT_EQ(GetSaturationLimits(0, 0, 2, &positive, &negative), kNoData);
}

TEST_F(CalibrationTest, CylindersAndRevolutionsOfTheActiveSet) {
  uint8_t value = 0;
  EXPECT_EQ(GetCylinderCount(&value), kOk);
  EXPECT_EQ(value, 4);
  EXPECT_EQ(GetRevolutionsPerCycle(&value), kOk);
  EXPECT_EQ(value, 2);
  EXPECT_EQ(GetCylinderCount(nullptr), kBadReply);
  EXPECT_EQ(GetRevolutionsPerCycle(nullptr), kBadReply);
}

}  // namespace
}  // namespace kv310
