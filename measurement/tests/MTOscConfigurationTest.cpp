// The engine-tester oscilloscope's configuration rules that do not need a board: the engine
// range of a requested range, the speed factors of the modes, and the records of the reference
// probe variant 112.
#include "MTOscConfiguration.h"
#include "ProbeTable.h"

#include <kv310/ResultCodes.h>

#include <gtest/gtest.h>

namespace kv310::testing {
namespace {

EngineParameterBlock SparkEngine(int cylinders, int stroke, int coilType) {
  EngineParameterBlock p{};
  p.engineType = 0;
  p.sparkNumberCylinders = static_cast<uint8_t>(cylinders);
  p.sparkNumberMarks = 1;
  p.sparkStroke = static_cast<uint8_t>(stroke);
  p.sparkSensitivity = 3;
  p.sparkCoilType = coilType;
  for (uint8_t& b : p.sparkPolarityHVProbes) b = 1;
  p.dieselPressureSensorType = 1;
  p.dieselComparativeLevel = 11;
  return p;
}

TEST(MTOscConfigurationTest, EngineRangeIndex) {
  struct Case {
    int requested;
    int32_t reference;
    int engine;
  } cases[] = {
      {5, 5000, 4},  // 8 x 10000 / 5000 = 16 fits 20
      {8, 5340, 7},  // 1.498 fits 2
      {9, 5000, 8},  // 0.8 exactly fits 0.8
      {0, 5000, 0},  // never below 0
      {2, 4750, 1},  // 168 fits 200
  };
  for (const Case& c : cases)
    EXPECT_EQ(EngineRangeIndex(c.requested, c.reference), c.engine) << c.requested << " " << c.reference;
  int32_t reference = 0;
  EXPECT_EQ(RangeReference(255, &reference), kBadArgument) << "no reference probe seen";
  ASSERT_EQ(RangeReference(111, &reference), kOk);
  EXPECT_EQ(reference, 5000);
}

TEST(MTOscConfigurationTest, EngineSpeedFactors) {
  struct Case {
    int mode;
    int cylinders, stroke, coil, sensor;
    uint32_t a, b;
  } cases[] = {
      {2, 4, 4, 0, 0, 2, 1}, {2, 4, 4, 0, 1, 1, 1}, {2, 4, 4, 1, 0, 1, 1}, {3, 6, 4, 0, 0, 2, 6},
      {4, 6, 2, 0, 0, 1, 1}, {5, 4, 4, 0, 0, 2, 1}, {7, 6, 4, 0, 0, 2, 6}, {7, 3, 2, 0, 0, 1, 3},
      {8, 4, 4, 0, 0, 2, 1}, {9, 4, 4, 1, 0, 1, 1},
  };
  for (const Case& c : cases) {
    EngineParameterBlock p = SparkEngine(c.cylinders, c.stroke, c.coil);
    p.sparkSpeedSensorType = c.sensor;
    uint32_t a = 0, b = 0;
    EngineSpeedFactors(c.mode, p, &a, &b);
    EXPECT_EQ(a, c.a) << "mode " << c.mode;
    EXPECT_EQ(b, c.b) << "mode " << c.mode;
  }
}

TEST(MTOscConfigurationTest, ReferenceProbeVariant112) {
  struct Case {
    int mode;
    int cylinders, coil, hvType;
    int code;
    int32_t configurationId;
    uint8_t selector;
  } cases[] = {
      {7, 4, 1, 0, kOk, 27, 15},
      {9, 4, 1, 0, kOk, 27, 18},
      {7, 6, 1, 0, kProbeVariantRefused, 8, 0},
      {9, 4, 1, 1, kProbeVariantRefused, 10, 0},
      {7, 4, 0, 0, kProbeVariantRefused, 8, 0},
      {8, 4, 0, 0, kOk, 9, 0x0D},  // mode 8 keeps its own record
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode);
    EngineParameterBlock p = SparkEngine(c.cylinders, 4, c.coil);
    p.sparkHiVoltageTypeProbe = c.hvType;
    MTOscSetup s;
    s.mode = c.mode;
    s.configurationId = c.mode == 7 ? 8 : c.mode == 8 ? 9 : 10;
    uint8_t record[11] = {};
    EXPECT_EQ(BuildBoardRecord(s, p, 112, record), c.code);
    EXPECT_EQ(s.configurationId, c.configurationId);
    if (c.code == kOk) {
      EXPECT_EQ(record[1], c.selector);
    }
  }
}

TEST(MTOscConfigurationTest, TriggerLevelCodeTruncatesAfterAdding128) {
  // code = trunc(128 x v / full scale + 128): a level just below zero lands below 128.
  struct Case {
    int32_t mantissa;
    int8_t exponent;
    uint16_t rangeIndex;
    uint8_t code;
  } cases[] = {
      {-1, 0, 2, 126},    // -1 V on 80 V: 126.4
      {1, 0, 2, 129},     // 1 V on 80 V: 129.6
      {0, 0, 2, 128},
      {-40, 0, 2, 64},    // exactly half scale down
      {-500, 0, 2, 0},    // held at the ends
      {500, 0, 2, 255},
      {-5, -1, 5, 120},   // -0.5 V on 8 V: 120.0
  };
  EngineParameterBlock p = SparkEngine(4, 4, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.mantissa << "e" << int{c.exponent} << " on range " << c.rangeIndex);
    MTOscSetup s;
    s.mode = 0;
    s.triggerMode = 1;
    s.rangeIndex[0] = c.rangeIndex;
    s.triggerLevel = ScaledValue{c.mantissa, c.exponent, {}};
    s.channelProbe[0] = DescriptorOfKind(0);
    s.channelProbe[1] = DescriptorOfKind(0);
    uint8_t setup[kMTSetupMaxLength];
    int length = 0;
    ASSERT_EQ(BuildMTSetup(s, p, 110, setup, &length), kOk);
    EXPECT_EQ(setup[9], c.code);
    EXPECT_EQ(setup[10], 0x80) << "source 0 on channel A only";
  }
}

TEST(MTOscConfigurationTest, EngineTriggerLevelStaysBelowFullCode) {
  // 3000 V on the smallest engine range saturates; the source byte then reads 252.
  EngineParameterBlock p = SparkEngine(4, 4, 0);
  MTOscSetup s;
  s.mode = 7;
  s.triggerMode = 1;
  s.engineRangeIndex[0] = 9;
  uint8_t setup[kMTSetupMaxLength];
  int length = 0;
  ASSERT_EQ(BuildMTSetup(s, p, 110, setup, &length), kOk);
  EXPECT_EQ(setup[9], 252);
  EXPECT_EQ(setup[10], 0x80);
  s.engineRangeIndex[0] = 7;  // 3000 / 5340 on 2 V: 128 x 0.2809 + 128
  ASSERT_EQ(BuildMTSetup(s, p, 110, setup, &length), kOk);
  EXPECT_EQ(setup[9], 163);
}

}  // namespace
}  // namespace kv310::testing
