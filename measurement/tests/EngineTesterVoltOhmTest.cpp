// The engine-tester voltmeter, ohmmeter and diode test against the board model: battery voltage
// and clamp current of the engine, engine speed, sampling, and the test leads' resistance.
#include "EngineMeterFixture.h"
#include "Library.h"
#include "ScaledArithmetic.h"

#include <kv310/ResultCodes.h>

#include <array>
#include <cmath>
#include <limits>

namespace kv310::testing {
namespace {

using sim::Bytes;

constexpr uint8_t kLeadsCode = 3;        // 400 V test leads
constexpr uint8_t kClamp50Code = 4;      // 50 A clamp, scale 1.25
constexpr uint8_t kNoProbeCode = 0;

class EngineTesterVoltOhmTest : public EngineMeterFixture {
 protected:
  IMTVoltmeter_8& Volt() { return Meter<IMTVoltmeter_8>(kMTVoltmeter); }
  IMTOhmmeter_9& Ohm() { return Meter<IMTOhmmeter_9>(kMTOhmmeter); }
  IMTDiodeTest_10& Diode() { return Meter<IMTDiodeTest_10>(kMTDiodeTest); }
};

// A reading in the units of its range and probe: value / 32768 x full scale x probe scale.
double Physical(int16_t value, uint16_t rangeIndex, const ProbeDescriptor& probe) {
  const double scale = probe.scaleMantissa * std::pow(10.0, static_cast<int8_t>(probe.scaleExponent));
  return value / 32768.0 * ScaledValueToFloat(GetRangeScale(rangeIndex)) * scale;
}
// One 12-bit converter step of a range and probe.
double Step(uint16_t rangeIndex, const ProbeDescriptor& probe) { return std::fabs(Physical(16 * 2, rangeIndex, probe)); }

TEST_F(EngineTesterVoltOhmTest, VoltmeterReadsBatteryAndClamp) {
  struct Case {
    const char* what;
    double volts, amps;
    uint16_t range0, range1;        // set (0xFFFF automatic)
    uint16_t reported0, reported1;  // the board's ranges
    bool rms;
  } cases[] = {
      {"automatic ranging", 13.8, 20, 0xFFFF, 0xFFFF, 4, 4, false},
      {"fixed 40 V range", 12.4, 20, 3, 0xFFFF, 3, 4, false},
      {"cranking, RMS", 9.6, 150, 0xFFFF, 0xFFFF, 4, 1, true},
      {"no current", 14.2, 0, 0xFFFF, 0xFFFF, 4, 9, false},
  };
  UseEngine({});
  ASSERT_EQ(Volt().SelectChannelInput(1, 1), kOk);  // the 50 A clamp on input 2
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UpdateEngine([&](sim::EngineScenario& e) {
      e.batteryVolts = c.volts;
      e.clampAmps = c.amps;
    });
    ASSERT_EQ(Volt().SetRangeIndex(0, c.range0), kOk);
    ASSERT_EQ(Volt().SetRangeIndex(1, c.range1), kOk);
    VoltmeterReading voltage{}, current{};
    if (c.rms) {
      ASSERT_EQ(Volt().MeasureRms(0, &voltage), kOk);
      ASSERT_EQ(Volt().MeasureRms(1, &current), kOk);
    } else {
      ASSERT_EQ(Volt().Measure(0, &voltage), kOk);
      ASSERT_EQ(Volt().Measure(1, &current), kOk);
    }
    EXPECT_EQ(voltage.rangeIndex, c.reported0);
    EXPECT_EQ(current.rangeIndex, c.reported1);
    EXPECT_EQ(voltage.probe.kind, 1);
    EXPECT_EQ(current.probe.kind, 2);
    EXPECT_NEAR(Physical(voltage.values[0], voltage.rangeIndex, voltage.probe), c.volts,
                Step(voltage.rangeIndex, voltage.probe));
    EXPECT_NEAR(Physical(current.values[0], current.rangeIndex, current.probe), c.amps,
                Step(current.rangeIndex, current.probe));
    const Bytes last = Board().RequestPayloads().back();
    EXPECT_EQ(last, (Bytes{0x21, static_cast<uint8_t>(0x80 | (c.rms ? 1 : 0))})) << "mode 0 flags its reading";
  }
}

TEST_F(EngineTesterVoltOhmTest, VoltmeterConfiguration) {
  UseEngine({});
  ASSERT_EQ(Volt().SetRangeIndex(0, 3), kOk);
  EXPECT_TRUE(Requests().empty()) << "a range is sent with the next reading";
  VoltmeterReading reading{};
  ASSERT_EQ(Volt().Measure(0, &reading), kOk);
  EXPECT_EQ(Requests(), (std::vector<Bytes>{{0xC0, 2, 0, 1},
                                            {0x61, 0x80, 0x00, 0xC8, 0xE8, 0x48, 0x18, 50, 1, 0x00, 0x00},
                                            {0x20, 0, 3, 1, 0, 0, 25, 3, 19, 2},
                                            {0x21, 0x80}}));
  EXPECT_EQ(BoardMode(), 5);
  Board().ClearLog();
  ASSERT_EQ(Volt().SetMode(3), kOk);
  ASSERT_EQ(Volt().StartSampling(), kOk);
  Communication().WaitIdle();
  DualVoltmeterReading sampled{};
  ASSERT_EQ(Volt().ReadSampling(reinterpret_cast<int16_t*>(&sampled)), kOk);
  EXPECT_EQ(RequestsOf(0x20), (std::vector<Bytes>{{0x20, 3, 3, 1, 1, 5, 2, 3, 19, 34, 5, 0x80, 0x8D, 0x43}}));
  EXPECT_EQ(RequestsOf(0x21), (std::vector<Bytes>{{0x21, 0x00}}));
  EXPECT_EQ(sampled.rangeIndex0, 3) << "40 V in the sampling set-up";
  EXPECT_NEAR(Physical(sampled.values0[0], 3, sampled.probe0), 13.8, 0.1);
  ASSERT_EQ(Volt().SetMode(0), kOk);
  EXPECT_EQ(Volt().ReadSampling(reinterpret_cast<int16_t*>(&sampled)), kNotAllowed);
  EXPECT_EQ(Volt().StartSampling(), kNotAllowed);
}

TEST_F(EngineTesterVoltOhmTest, VoltmeterEngineSpeed) {
  struct Case {
    const char* what;
    EngineSetup engine;
    int mode;
    Bytes configuration;  // 61 with bit 7 of byte 1 set; the speed input third in the selection
    int32_t mantissa;
    int8_t exponent;
    bool valid;
  } cases[] = {
      {"with the reading, in tenths", {.rpm = 2750}, 1,
       {0x61, 0x81, 0x00, 0xC8, 0xE8, 0x48, 0x54, 50, 1, 0x00, 0x00}, 27500, -1, true},
      {"with the statistics, rounded", {.rpm = 2745}, 2,
       {0x61, 0x81, 0x00, 0xC8, 0xE8, 0x48, 0x54, 50, 1, 0x00, 0x00}, 2750, 0, true},
      {"crank sensor", {.rpm = 3600, .speedSensorType = 1, .numberMarks = 36}, 1,
       {0x61, 0x82, 0x00, 0xC8, 0xE8, 0x48, 0x58, 50, 36, 0x00, 0x00}, 36000, -1, true},
      {"diesel injection line", {.engineType = 1, .rpm = 1500, .speedSensorType = 2}, 2,
       {0x61, 0x83, 0x00, 0xC8, 0xE8, 0x48, 0x14, 60, 1, 0x00, 0x00}, 1500, 0, true},
      {"below 400 rpm", {.rpm = 350}, 1, {0x61, 0x81, 0x00, 0xC8, 0xE8, 0x48, 0x54, 50, 1, 0x00, 0x00}, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseEngine(c.engine);
    ASSERT_EQ(Volt().SetMode(c.mode), kOk);
    Board().ClearLog();
    if (c.mode == 1) {
      VoltmeterReading reading{};
      ASSERT_EQ(Volt().Measure(0, &reading), kOk);
    } else {
      DualVoltmeterReading statistics{};
      ASSERT_EQ(Volt().ReadStatistics(&statistics), kOk);
      EXPECT_NEAR(Physical(statistics.values0[0], statistics.rangeIndex0, statistics.probe0), 13.8, 0.1);
    }
    ASSERT_EQ(RequestsOf(0x61).size(), 1u);
    EXPECT_EQ(RequestsOf(0x61)[0], c.configuration);
    EXPECT_EQ(RequestsOf(0xC0)[0].size(), 5u) << "three inputs: the speed sensor's third";
    MeasuredValue speed{};
    ASSERT_EQ(Volt().GetEngineSpeed(&speed), kOk);
    EXPECT_EQ(speed.value.mantissa, c.mantissa);
    EXPECT_EQ(speed.value.exponent, c.exponent);
    EXPECT_EQ(speed.valid, c.valid);
  }
  UseEngine({.engineType = 1, .speedSensorType = 0});
  EXPECT_EQ(Volt().SetMode(1), kUnknownSelection) << "no speed sensor of type 0 on a diesel engine";
}

TEST_F(EngineTesterVoltOhmTest, VoltmeterRefusesShortReplies) {
  struct Case {
    int mode;
    size_t full;  // the reply's length by mode
  } cases[] = {{0, 29}, {1, 30}, {2, 30}};
  UseEngine({});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    ASSERT_EQ(Volt().SetMode(c.mode), kOk);
    DualVoltmeterReading reading{};
    ASSERT_EQ(Volt().ReadStatistics(&reading), kOk);
    EXPECT_EQ(Board().Requests().back().reply.size(), c.full);
    Board().Update([&](sim::BoardScenario& s) { s.commandFaults[0x21] = {{sim::FaultKind::Truncate, {}, 0, c.full - 1}, 1}; });
    EXPECT_EQ(Volt().ReadStatistics(&reading), kBadReply);
  }
}

TEST_F(EngineTesterVoltOhmTest, ChannelProbesMustSuitTheirSlots) {
  struct Case {
    const char* what;
    std::array<uint8_t, 3> codes;  // inputs 1..3
    int code;
    int records;  // filled
  } cases[] = {
      {"leads, then clamps", {kLeadsCode, kClamp50Code, kClamp50Code}, kOk, 3},
      {"nothing connected", {kNoProbeCode, kNoProbeCode, kNoProbeCode}, kOk, 3},
      {"a clamp on the voltage slot", {kClamp50Code, kClamp50Code, kClamp50Code}, kProbeOnWrongInput, 1},
      {"leads on a clamp slot", {kLeadsCode, kLeadsCode, kClamp50Code}, kProbeOnWrongInput, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int i = 0; i < 3; ++i) SetInputProbe(1 + i, c.codes[static_cast<size_t>(i)]);
    ChannelProbeRecord records[3] = {};
    for (ChannelProbeRecord& r : records) r.slot = 0xEE;
    EXPECT_EQ(Volt().ReadChannelProbes(1, records), c.code);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(records[i].slot, i < c.records ? i : 0xEE) << "slot " << i;
  }
  ChannelProbeRecord records[3] = {};
  SetInputProbe(2, kClamp50Code);
  SetInputProbe(3, 5);
  SetInputProbe(1, kLeadsCode);
  ASSERT_EQ(Volt().ReadChannelProbes(1, records), kOk);
  EXPECT_STREQ(records[0].tag, "400V");
  EXPECT_STREQ(records[1].tag, "50A ");
  EXPECT_STREQ(records[2].tag, "500A");
}

TEST_F(EngineTesterVoltOhmTest, OhmmeterReadsTheLeads) {
  struct Case {
    double ohms;
    bool valid;
  } cases[] = {{47, true}, {1000, true}, {47000, true}, {1.0e6, true},
               {std::numeric_limits<double>::infinity(), false}};
  UseEngine({});
  ASSERT_EQ(Ohm().SetRangeIndex(0xFFFF), kOk);
  EXPECT_EQ(Requests(), (std::vector<Bytes>{{0xC0, 1, 0},
                                            {0x61, 0x80, 0x00, 0xC8, 0xE8, 0x48, 0x18, 0x00, 0x00, 0x00, 0x00},
                                            {0x30, 0x80, 0x02}}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ohms);
    Board().Update([&](sim::BoardScenario& s) { s.resistanceOhms = c.ohms; });
    Board().ClearLog();
    OhmReading reading{};
    ASSERT_EQ(Ohm().Measure(&reading), kOk);
    EXPECT_EQ(Requests(), (std::vector<Bytes>{{0x31, 0x94}}));
    EXPECT_EQ(reading.valid, c.valid);
    EXPECT_EQ(reading.probeKind, 1);
    if (c.valid) {
      uint16_t count = 0;
      ASSERT_EQ(Ohm().GetRangeCount(&count), kOk);
      ScaledValue ranges[5];
      ASSERT_EQ(Ohm().GetRanges(5, ranges), kOk);
      const double ohms = reading.value / 32768.0 * ValueOf(ranges[reading.rangeIndex]);
      EXPECT_NEAR(ohms, c.ohms, c.ohms * 0.02);
    }
  }
}

TEST_F(EngineTesterVoltOhmTest, OhmmeterAndDiodeStatusAndProbeChecks) {
  UseEngine({});
  // Status 2 of a reading, with or without bit 7: the board is not ready, the next call configures.
  OhmReading reading{};
  ASSERT_EQ(Ohm().Measure(&reading), kOk);
  Board().Update([](sim::BoardScenario& s) { s.commandFaults[0x31] = {{sim::FaultKind::ErrorStatus, {}, 0x82}, 1}; });
  EXPECT_EQ(Ohm().Measure(&reading), kBoardNotReady);
  EXPECT_EQ(BoardMode(), 0);
  Board().ClearLog();
  ASSERT_EQ(Ohm().Measure(&reading), kOk);
  EXPECT_EQ(Commands(), (std::vector<uint8_t>{0xC0, 0x61, 0x30, 0x31}));

  // A short reading is refused.
  Board().Update([](sim::BoardScenario& s) { s.commandFaults[0x31] = {{sim::FaultKind::Truncate, {}, 0, 9}, 1}; });
  EXPECT_EQ(Ohm().Measure(&reading), kBadReply);

  // The diode test on the same leads; a clamp in their place is the wrong probe.
  Board().Update([](sim::BoardScenario& s) { s.diodeForwardVolts = 0.65; });
  ASSERT_EQ(Diode().Configure(), kOk);
  EXPECT_EQ(RequestsOf(0x30).back(), (Bytes{0x30, 0x00, 0x00, 0x00, 0x04}));
  DiodeReading diode{};
  ASSERT_EQ(Diode().Measure(&diode), kOk);
  EXPECT_EQ(diode.value, 4256) << "266 counts: 0.649 V of 5 V";
  SetInputProbe(0, kClamp50Code);
  EXPECT_EQ(Diode().Measure(&diode), kWrongProbe);
  EXPECT_EQ(diode.probeKind, 2);
}

}  // namespace
}  // namespace kv310::testing
