// The signal generator behind the board channels: crossings land where the signal passes the
// level, in the direction asked, and converter bytes invert the thresholds they are compared with.
#include "WaveformGenerator.h"

#include <gtest/gtest.h>

#include <cmath>

namespace sim {
namespace {

TEST(WaveformGeneratorTest, CrossingsLieOnTheLevelInTheirDirection) {
  struct Case {
    const char* what;
    SignalSource signal;
    double level;
    bool rising;
    bool crosses;
  } cases[] = {
      {"sine up through 0", {Waveform::Sine, 5, 0, 50}, 0.0, true, true},
      {"sine down through 4", {Waveform::Sine, 5, 0, 50}, 4.0, false, true},
      {"sine with offset", {Waveform::Sine, 1, 3, 1000}, 3.5, true, true},
      {"sine never reaches", {Waveform::Sine, 1, 0, 50}, 1.5, true, false},
      {"triangle up", {Waveform::Triangle, 2, 0, 60}, -1.0, true, true},
      {"triangle down", {Waveform::Triangle, 2, 0, 60}, 1.0, false, true},
      {"square up", {Waveform::Square, 2, 1, 100}, 0.5, true, true},
      {"square down", {Waveform::Square, 2, 1, 100}, 0.5, false, true},
      {"DC", {Waveform::Dc, 0, 1, 50}, 0.5, true, false},
      {"noise", {Waveform::Noise, 1, 0, 0}, 0.0, true, true},
  };
  const double period = 1e-5;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const double from = 12.345;
    const auto t = NextCrossing(c.signal, c.level, c.rising, from, period, 4000);
    ASSERT_EQ(t.has_value(), c.crosses);
    if (!t) continue;
    EXPECT_GE(*t, from - period);
    const double before = SignalValue(c.signal, *t - period / 2);
    const double after = SignalValue(c.signal, *t + period / 2);
    if (c.rising) {
      EXPECT_LT(before, c.level);
      EXPECT_GE(after, c.level);
    } else {
      EXPECT_GE(before, c.level);
      EXPECT_LT(after, c.level);
    }
    // The first one: half a period earlier there was none.
    if (c.signal.shape != Waveform::Noise && c.signal.frequencyHz > 0) {
      const auto earlier = NextCrossing(c.signal, c.level, c.rising, from - 0.5 / c.signal.frequencyHz, period, 4000);
      EXPECT_LE(*earlier, *t);
    }
  }
}

TEST(WaveformGeneratorTest, ConverterBytesAndThresholds) {
  const ChannelInput input{8.0, false};  // 8 V full scale, plain lead
  struct Case {
    double volts;
    uint8_t raw;
  } cases[] = {{0.0, 128}, {1.0, 144}, {-1.0, 112}, {7.99, 255}, {8.0, 255}, {-8.0, 0}, {100.0, 255}, {-0.01, 127}};
  for (const Case& c : cases) EXPECT_EQ(RawByte(c.volts, input), c.raw) << c.volts;
  for (int code = 1; code < 256; ++code) {
    EXPECT_EQ(RawByte(ThresholdOfCode(code, input), input), code);
    EXPECT_EQ(RawByte(ThresholdOfCode(code, input) - 1e-9, input), code - 1);
  }
  // AC coupling drops the DC level before the converter.
  const SignalSource dc{Waveform::Dc, 0, 3.0, 50};
  EXPECT_EQ(SignalValue(SeenSignal(dc, ChannelInput{8.0, true}), 1.0), 0.0);
  EXPECT_EQ(SignalValue(SeenSignal(dc, input), 1.0), 3.0);
  EXPECT_EQ(FullScaleOfCode(1, 5), 80.0);
  EXPECT_EQ(FullScaleOfCode(3, 5), 8.0);
  EXPECT_EQ(FullScaleOfCode(4, 100), 0.4);
  EXPECT_EQ(FullScaleOfCode(0, 1), 0.0);
}

}  // namespace
}  // namespace sim
