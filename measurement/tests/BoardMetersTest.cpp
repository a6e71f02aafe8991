// The board voltmeter, ohmmeter and diode test against the board model, and what every board
// instrument does when the engine-tester board answers in the board's place.
#include "BoardInstrumentFixture.h"

#include <cmath>
#include <functional>

namespace kv310::testing {
namespace {

using sim::Bytes;
using sim::SignalSource;
using sim::Waveform;

class BoardMetersTest : public BoardInstrumentFixture {};

constexpr uint16_t kAuto = 0xFFFF;

TEST_F(BoardMetersTest, VoltmeterConfiguresAtOnce) {
  struct Case {
    uint16_t rangeA, rangeB;
    Bytes setup;
  } cases[] = {
      {kAuto, kAuto, {0x20, 0x00, 0, 0, 0, 0, 25, 3, 19, 0}},
      {1, kAuto, {0x20, 0x00, 1, 2, 0, 0, 25, 3, 19, 2}},
      {kAuto, 6, {0x20, 0x00, 0, 0, 3, 10, 25, 3, 19, 32}},
      {9, 0, {0x20, 0x00, 3, 100, 1, 1, 25, 3, 19, 34}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.rangeA << "/" << c.rangeB);
    ASSERT_EQ(Volt().SetRangeIndex(0, c.rangeA), kOk);
    ASSERT_EQ(Volt().SetRangeIndex(1, c.rangeB), kOk);
    EXPECT_EQ(LastRequest(0x20), c.setup);
    EXPECT_EQ(BoardMode(), 2);
  }
  Board().ClearLog();
  EXPECT_EQ(Volt().SetRangeIndex(0, 10), kBadArgument);
  EXPECT_EQ(Volt().SetRangeIndex(2, 0), kBadArgument);
  EXPECT_EQ(Volt().SetMode(1), kBadArgument);
  EXPECT_TRUE(Board().RequestPayloads().empty());
  ASSERT_EQ(Volt().SetMode(0), kOk);
  EXPECT_EQ(Board().CountRequests(0x20), 1u);
  ScaledValue range{};
  ASSERT_EQ(Volt().GetRange(0, &range), kOk);
  EXPECT_EQ(range.mantissa, 4);  // index 9: 0.4 V
  EXPECT_EQ(range.exponent, -1);
}

TEST_F(BoardMetersTest, VoltmeterPlainAndRmsReadings) {
  struct Case {
    const char* what;
    int channel;
    uint8_t probeCode;
    SignalSource signal;
    uint16_t range;
    uint16_t reportedRange;
    int plain[3];  // expected values, within `tolerance`
    int rms;
    int tolerance;
  } cases[] = {
      // The true values: value / (full scale x probe scale) x 32768, within one converter step.
      {"3 V DC, automatic", 0, 3, {Waveform::Dc, 0, 3.0, 0}, kAuto, 6, {24576, 24576, 24576}, 24576, 18},
      {"-1.5 V DC on 2 V", 0, 3, {Waveform::Dc, 0, -1.5, 0}, 7, 7, {-24576, -24576, -24576}, 24576, 18},
      {"2 V sine on 4 V", 1, 3, {Waveform::Sine, 2.0, 0, 50}, 6, 6, {0, 16384, -16384}, 11585, 60},
      {"12 V DC on 80 V", 1, 3, {Waveform::Dc, 0, 12.0, 0}, 2, 2, {4915, 4915, 4915}, 4915, 18},
      {"10 A DC through a clamp", 1, 4, {Waveform::Dc, 0, 10.0, 0}, 4, 4, {13107, 13107, 13107}, 13107, 18},
      {"-100 A DC through the 500 A clamp", 0, 5, {Waveform::Dc, 0, -100.0, 0}, 2, 2, {-3277, -3277, -3277}, 3277, 18},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Change([&](sim::BoardScenario& s) {
      s.channelSignals[c.channel] = c.signal;
      s.channelProbeCodes[c.channel] = c.probeCode;
    });
    ASSERT_EQ(Volt().SetRangeIndex(static_cast<uint16_t>(c.channel), c.range), kOk);
    VoltmeterReading plain{}, rms{};
    ASSERT_EQ(Volt().Measure(static_cast<uint16_t>(c.channel), &plain), kOk);
    ASSERT_EQ(Volt().MeasureRms(static_cast<uint16_t>(c.channel), &rms), kOk);
    EXPECT_EQ(LastRequest(0x21), (Bytes{0x21, 0x01}));
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(plain.values[i], c.plain[i], c.tolerance) << "value " << i;
    EXPECT_NEAR(rms.values[0], c.rms, c.tolerance);
    EXPECT_EQ(plain.rangeIndex, c.reportedRange);
    EXPECT_EQ(plain.probe.kind, c.probeCode == 4 ? 2 : c.probeCode == 5 ? 3 : 1);
  }
}

TEST_F(BoardMetersTest, VoltmeterRefusesShortRepliesAndWritesNothing) {
  Change([](sim::BoardScenario& s) {
    s.commandFaults[0x21] = {{sim::FaultKind::Truncate, sim::FrameDefect::BadEnd, 0, 25}, 1};
  });
  VoltmeterReading reading{};
  reading.rangeIndex = 77;
  EXPECT_EQ(Volt().Measure(0, &reading), kBadReply);
  EXPECT_EQ(reading.rangeIndex, 77);
  EXPECT_EQ(Volt().Measure(0, &reading), kOk) << "26 bytes are enough";
  EXPECT_EQ(Volt().Measure(2, &reading), kBadArgument);
  EXPECT_EQ(Volt().Measure(0, nullptr), kBadArgument);
}

TEST_F(BoardMetersTest, RmsValueStaysWithinTheSampleRange) {
  struct Case {
    uint16_t first;
    uint32_t squareSum;
    int16_t rms;
  } cases[] = {
      {0x800, 0x400000, 0},    // 0 V, nothing around it
      {0xC00, 0x900000, 16384},  // a DC half of full scale
      {0x000, 0x000000, 32767},  // sqrt(2^30) = 32768 does not fit: held
      {0xFFF, 0x000000, 0},      // fields that do not fit together: no negative root
  };
  for (const Case& c : cases) EXPECT_EQ(VoltmeterRms(c.first, c.squareSum), c.rms) << c.first << " " << c.squareSum;
  EXPECT_EQ(VoltmeterValue(0x800), 0);
  EXPECT_EQ(VoltmeterValue(0xFFF), 32752);
  EXPECT_EQ(VoltmeterValue(0x000), -32768);
}

TEST_F(BoardMetersTest, OhmmeterConfiguresAtOnce) {
  struct Case {
    uint16_t range;
    Bytes setup;
  } cases[] = {{kAuto, {0x30, 0x00, 0x02}}, {0, {0x30, 0x00, 0x01, 0x00, 0x00}}, {4, {0x30, 0x00, 0x01, 0x00, 0x04}}};
  for (const Case& c : cases) {
    ASSERT_EQ(Ohm().SetRangeIndex(c.range), kOk);
    EXPECT_EQ(LastRequest(0x30), c.setup);
    EXPECT_EQ(BoardMode(), 3);
  }
  Board().ClearLog();
  EXPECT_EQ(Ohm().SetRangeIndex(5), kBadArgument);
  EXPECT_TRUE(Board().RequestPayloads().empty());
}

TEST_F(BoardMetersTest, OhmmeterReadings) {
  const double kFullScale[5] = {3.3e6, 1.1e5, 1.1e4, 1.1e3, 1.1e2};
  struct Case {
    const char* what;
    double ohms;
    uint16_t range;
    int valid;
    uint16_t reportedRange;
  } cases[] = {
      {"50 Ohm, automatic", 50, kAuto, 1, 4},
      {"1 kOhm, automatic", 1000, kAuto, 1, 2},
      {"47 kOhm, automatic", 47000, kAuto, 1, 1},
      {"1 MOhm, automatic", 1e6, kAuto, 1, 0},
      {"open circuit, automatic", INFINITY, kAuto, 0, 0},
      {"open circuit on 110 Ohm", INFINITY, 4, 0, 4},
      {"10 kOhm over 110 Ohm", 10000, 4, 0, 4},
      {"100 Ohm on 1.1 kOhm", 100, 3, 1, 3},
      {"short circuit on 110 Ohm", 0, 4, 1, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Change([&](sim::BoardScenario& s) { s.resistanceOhms = c.ohms; });
    ASSERT_EQ(Ohm().SetRangeIndex(c.range), kOk);
    OhmReading reading{};
    ASSERT_EQ(Ohm().Measure(&reading), kOk);
    EXPECT_EQ(LastRequest(0x31), (Bytes{0x31, 0x14}));
    EXPECT_EQ(reading.valid, c.valid);
    EXPECT_EQ(reading.rangeIndex, c.reportedRange);
    EXPECT_EQ(reading.probeKind, 1);
    if (c.valid) {
      const double expected = c.ohms / kFullScale[c.reportedRange] * 32768.0;
      EXPECT_NEAR(reading.value, expected, std::max(0.02 * expected, 30.0));
    } else {
      EXPECT_EQ(reading.value, 0);
    }
  }
}

TEST_F(BoardMetersTest, OhmmeterRefusals) {
  struct Case {
    const char* what;
    std::function<void(sim::BoardScenario&)> change;
    int code;
    int boardMode;
  } cases[] = {
      {"board not ready", [](sim::BoardScenario& s) { s.ohmmeterStatus = 2; }, kBoardNotReady, 0},
      {"not ready, told in two bytes",
       [](sim::BoardScenario& s) {
         s.ohmmeterStatus = 2;
         s.commandFaults[0x31] = {{sim::FaultKind::Truncate, sim::FrameDefect::BadEnd, 0, 2}, 1};
       },
       kBoardNotReady, 0},
      {"refused status", [](sim::BoardScenario& s) { s.ohmmeterStatus = 1; }, kBadReply, 3},
      {"reading of 7 bytes",
       [](sim::BoardScenario& s) { s.commandFaults[0x31] = {{sim::FaultKind::Truncate, sim::FrameDefect::BadEnd, 0, 7}, 1}; },
       kBadReply, 3},
      {"a clamp instead of the test leads", [](sim::BoardScenario& s) { s.channelProbeCodes[0] = 4; }, kWrongProbe, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Board().Reset();
    ASSERT_EQ(Ohm().SetRangeIndex(kAuto), kOk);
    Change(c.change);
    OhmReading reading{};
    EXPECT_EQ(Ohm().Measure(&reading), c.code);
    EXPECT_EQ(BoardMode(), c.boardMode);
    if (c.code == kWrongProbe) {
      EXPECT_EQ(reading.probeKind, 2);
    }
  }
  Board().Reset();
  Change([](sim::BoardScenario& s) { s.ohmmeterStatus = 2; });
  EXPECT_EQ(Ohm().SetRangeIndex(2), kBoardNotReady) << "the set-up is refused as well";
  EXPECT_EQ(BoardMode(), 0);
  EXPECT_EQ(Ohm().Measure(nullptr), kBadArgument);
}

TEST_F(BoardMetersTest, OhmValueAtTheEdgesOfTheConverterCurve) {
  struct Case {
    const char* what;
    uint16_t raw;
    int range, sub;
    int32_t valid;
  } cases[] = {
      {"open circuit above 0.75 V", 308, 0, 0, 0},
      {"at the pole of the 110 Ohm curve", 1024, 4, 0, 0},
      {"beyond the pole", 2000, 3, 0, 0},
      {"sub-range 4", 100, 2, 4, 0},
      {"range 5", 100, 5, 0, 0},
      {"nothing between the leads", 0, 4, 3, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int16_t value = 123;
    int32_t valid = -1;
    OhmValue(c.raw, c.range, c.sub, &value, &valid);
    EXPECT_EQ(valid, c.valid);
    if (!c.valid) {
      EXPECT_EQ(value, 0);
    }
  }
  int16_t value = 0;
  int32_t valid = 0;
  OhmValue(0, 4, 3, &value, &valid);
  EXPECT_LT(value, 0) << "a short circuit may read slightly negative";
  EXPECT_GT(value, -1000);
}

TEST_F(BoardMetersTest, DiodeTest) {
  ASSERT_EQ(Diode().Configure(), kOk);
  EXPECT_EQ(LastRequest(0x30), (Bytes{0x30, 0x00, 0x00, 0x00, 0x04}));
  EXPECT_EQ(BoardMode(), 4);
  struct Case {
    double volts;
    int16_t value;
  } cases[] = {{0.65, 4256}, {2.5, 16384}, {0.0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.volts);
    Change([&](sim::BoardScenario& s) { s.diodeForwardVolts = c.volts; });
    DiodeReading reading{};
    ASSERT_EQ(Diode().Measure(&reading), kOk);
    EXPECT_EQ(reading.value, c.value);
    EXPECT_EQ(reading.probeKind, 1);
  }
  ScaledValue range{};
  ASSERT_EQ(Diode().GetRange(&range), kOk);
  EXPECT_EQ(range.mantissa, 5);
  // Another instrument took the board: the diode test configures before its reading.
  ASSERT_EQ(Ohm().SetRangeIndex(kAuto), kOk);
  Board().ClearLog();
  DiodeReading reading{};
  ASSERT_EQ(Diode().Measure(&reading), kOk);
  const auto requests = Board().RequestPayloads();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], (Bytes{0x30, 0x00, 0x00, 0x00, 0x04}));
}

// With the engine tester attached, the board's own instruments find its identity in their
// replies: they set the engine tester's flags, leave the board mode at 0 and give 11.
TEST_F(BoardMetersTest, EngineTesterAttachedRefusesEveryBoardInstrument) {
  struct Case {
    const char* what;
    std::function<void()> prepare;  // runs before the engine tester is attached
    std::function<int()> call;
  } cases[] = {
      {"oscilloscope set-up", [] {}, [&] { return Osc().Init(); }},
      {"oscilloscope data",
       [&] {
         Change([](sim::BoardScenario& s) { s.instantAcquisition = true; });
         ASSERT_EQ(Osc().Init(), kOk);
       },
       [&] { return Acquire(); }},
      {"voltmeter set-up", [] {}, [&] { return Volt().SetRangeIndex(0, kAuto); }},
      {"voltmeter reading", [&] { ASSERT_EQ(Volt().SetMode(0), kOk); },
       [&] {
         VoltmeterReading r{};
         return Volt().Measure(0, &r);
       }},
      {"ohmmeter set-up", [] {}, [&] { return Ohm().SetRangeIndex(kAuto); }},
      {"ohmmeter reading", [&] { ASSERT_EQ(Ohm().SetRangeIndex(kAuto), kOk); },
       [&] {
         OhmReading r{};
         return Ohm().Measure(&r);
       }},
      {"diode set-up", [] {}, [&] { return Diode().Configure(); }},
      {"diode reading", [&] { ASSERT_EQ(Diode().Configure(), kOk); },
       [&] {
         DiodeReading r{};
         return Diode().Measure(&r);
       }},
  };
  for (uint8_t identity : {7, 23}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.what << ", identity " << int(identity));
      Board().Reset();
      EngineState().ClearEngineTesterFlags();
      c.prepare();
      Change([&](sim::BoardScenario& s) {
        s.engineTesterAttached = true;
        s.engineTesterIdentity = identity;
      });
      EXPECT_EQ(c.call(), kLinkError);
      EXPECT_EQ(BoardMode(), 0);
      EXPECT_TRUE(EngineState().FirmwareChecked());
      EXPECT_TRUE(EngineState().EngineTesterReady());
    }
  }
  // Without it again, the next configuration clears both flags.
  Board().Reset();
  ASSERT_EQ(Volt().SetRangeIndex(0, kAuto), kOk);
  EXPECT_FALSE(EngineState().FirmwareChecked());
  EXPECT_FALSE(EngineState().EngineTesterReady());
}

}  // namespace
}  // namespace kv310::testing
