// The advance, dwell-angle and speed-and-temperature meters against the board model's engine:
// an engine described in engine terms reads back as those values.
#include "EngineMeterFixture.h"
#include "Library.h"

#include <kv310/ResultCodes.h>

#include <functional>

namespace kv310::testing {
namespace {

using sim::Bytes;

class EngineMetersTest : public EngineMeterFixture {
 protected:
  IMTHiVoltage_14& HighVoltage() { return Meter<IMTHiVoltage_14>(kMTHiVoltage); }
  // Arm waits on the clock for its spacing.
  int ArmHighVoltage() {
    auto armed = InBackground([this] { return HighVoltage().Arm(); });
    AdvanceUntilReady(armed, 10);
    const int code = armed.get();
    Communication().WaitIdle();
    return code;
  }
  IMTAdvancemeter_11& Advance() { return Meter<IMTAdvancemeter_11>(kMTAdvancemeter); }
  IMTDwellanglemeter_13& Dwell() { return Meter<IMTDwellanglemeter_13>(kMTDwellanglemeter); }
  IMTTemperaturemeter_12& SpeedTemperature() { return Meter<IMTTemperaturemeter_12>(kMTTemperaturemeter); }
};

TEST_F(EngineMetersTest, AdvanceMeterReadsTheEngine) {
  struct Case {
    const char* what;
    EngineSetup engine;
    int probeKind;  // 9 stroboscope (input 7), 7 top-dead-centre probe (input 8)
    int32_t rpm;    // reported speed, 0 = invalid
    int32_t advanceTenths;
    int32_t celsius;  // 0 with temperatureValid false
    bool temperatureValid;
  } cases[] = {
      {"spark, stroboscope", {.rpm = 3000, .advanceDegrees = 12, .temperatureCelsius = 80}, 9, 3000, 120, 80, true},
      {"spark, mark 20 degrees after TDC",
       {.rpm = 2500, .advanceDegrees = 8, .markOffsetDegrees = 20, .temperatureCelsius = 20}, 7, 2500, 80, 20, true},
      {"retarded ignition", {.rpm = 900, .advanceDegrees = -5}, 7, 900, -50, 80, true},
      {"diesel injection", {.engineType = 1, .rpm = 1800, .advanceDegrees = 15}, 9, 1800, 150, 80, true},
      {"wasted-spark coil", {.rpm = 3000, .advanceDegrees = 10, .coilType = 1}, 9, 3000, 100, 80, true},
      {"two-stroke", {.strokes = 2, .cylinders = 1, .rpm = 6000, .advanceDegrees = 18}, 9, 6000, 180, 80, true},
      {"just above idle limit", {.rpm = 420, .advanceDegrees = 4}, 9, 420, 40, 80, true},
      {"400 rpm is outside", {.rpm = 400, .advanceDegrees = 4}, 9, 0, 40, 80, true},
      {"10000 rpm is outside", {.rpm = 10000, .advanceDegrees = 30}, 9, 0, 300, 80, true},
      {"9990 rpm is inside", {.rpm = 9990, .advanceDegrees = 30}, 9, 9990, 300, 80, true},
      {"cold sensor out of range", {.rpm = 1000, .temperatureCelsius = -55}, 9, 1000, 100, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseEngine(c.engine);
    ASSERT_EQ(Advance().SelectProbe(c.probeKind), kOk);
    AdvanceReading reading{};
    ASSERT_EQ(Advance().Measure(&reading), kOk);
    EXPECT_EQ(reading.speed.value.mantissa, c.rpm);
    EXPECT_EQ(reading.speed.valid, c.rpm != 0);
    EXPECT_EQ(reading.advance.value.mantissa, c.advanceTenths);
    EXPECT_EQ(reading.advance.value.exponent, -1);
    EXPECT_EQ(reading.advance.valid, 1);
    EXPECT_EQ(reading.temperature.value.mantissa, c.celsius);
    EXPECT_EQ(reading.temperature.valid, c.temperatureValid);
    EXPECT_EQ(reading.temperature.probe.kind, 8);
    EXPECT_EQ(reading.advance.probe.kind, c.probeKind) << "the probe the board reported on the advance input";
  }
}

TEST_F(EngineMetersTest, AdvanceMeterConfiguresBeforeEveryReadingAfterAChange) {
  struct Case {
    const char* what;
    EngineSetup engine;
    int probeKind;
    Bytes select;         // C0
    Bytes configuration;  // 61, bit 7 of byte 1 set
    Bytes start;          // 40
  } cases[] = {
      {"spark, stroboscope, stroke 4", {}, 9, {0xC0, 3, 9, 6, 7},
       {0x61, 0x85, 0x00, 0x48, 0x68, 0x48, 0x54, 50, 11, 0x00, 0x00}, {0x40, 5}},
      {"spark, top-dead-centre probe, 2 marks", {.numberMarks = 2}, 7, {0xC0, 3, 9, 6, 8},
       {0x61, 0x86, 0x00, 0x48, 0x68, 0x48, 0x54, 50, 2, 11, 0x00}, {0x40, 6}},
      {"spark, kind 10 probe", {.strokes = 2, .cylinders = 1}, 10, {0xC0, 3, 9, 6, 8},
       {0x61, 0x87, 0x00, 0x48, 0x68, 0x48, 0x54, 10, 1, 1, 11}, {0x40, 7}},
      {"diesel always 75 degrees per mark", {.engineType = 1}, 9, {0xC0, 3, 5, 6, 7},
       {0x61, 0x88, 0x21, 0x48, 0x68, 0x48, 0x14, 75, 11, 0x00, 0x00}, {0x40, 8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseEngine(c.engine);
    ASSERT_EQ(Advance().SelectProbe(c.probeKind), kOk);
    Board().ClearLog();
    AdvanceReading reading{};
    ASSERT_EQ(Advance().Measure(&reading), kOk);
    EXPECT_EQ(Requests(), (std::vector<Bytes>{c.select, c.configuration, c.start, {0x41, 0x00}}));
    EXPECT_EQ(BoardMode(), 9);
    Board().ClearLog();
    ASSERT_EQ(Advance().Measure(&reading), kOk);
    EXPECT_EQ(Requests(), (std::vector<Bytes>{{0x41, 0x00}})) << "configured and clean: only the reading";
  }
}

TEST_F(EngineMetersTest, MetersRunTheFirmwareCheckBeforeTheirFirstConfiguration) {
  UseEngine({});
  EngineState().SetFirmwareChecked(false);
  Board().ClearLog();
  AdvanceReading reading{};
  ASSERT_EQ(Advance().Measure(&reading), kOk);
  EXPECT_EQ(Commands(), (std::vector<uint8_t>{0xC0, 0x60, 0x60, 0x61, 0x40, 0x41}));
  EXPECT_EQ(FirmwareDialogue(), (std::vector<uint8_t>{0x01, 0x05}));
  EXPECT_TRUE(EngineState().FirmwareChecked());
}

TEST_F(EngineMetersTest, AdvanceAddsTheTimingCorrectionOfItsProbe) {
  // The module reports each probe's interval short by its correction word (60 05, read by the
  // firmware check); the meter adds the word of the probe's class and engine type back.
  Board().Update([](sim::BoardScenario& s) { s.corrections = {11, 22, 33, 44, 55, 66}; });
  EngineState().SetFirmwareChecked(false);
  struct Case {
    const char* what;
    EngineSetup engine;
    int probeKind;
  } cases[] = {
      {"spark, stroboscope (word 1)", {.rpm = 1000, .advanceDegrees = 6}, 9},
      {"spark, TDC probe (word 3)", {.rpm = 1000, .advanceDegrees = 6}, 7},
      {"spark, kind 10 (word 5)", {.rpm = 1000, .advanceDegrees = 6}, 10},
      {"diesel, stroboscope (word 2)", {.engineType = 1, .rpm = 1000, .advanceDegrees = 6}, 9},
      {"diesel, TDC probe (word 4)", {.engineType = 1, .rpm = 1000, .advanceDegrees = 6}, 7},
      {"diesel, kind 10 (word 6)", {.engineType = 1, .rpm = 1000, .advanceDegrees = 6}, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseEngine(c.engine);
    ASSERT_EQ(Advance().SelectProbe(c.probeKind), kOk);
    AdvanceReading reading{};
    ASSERT_EQ(Advance().Measure(&reading), kOk);
    EXPECT_EQ(reading.advance.value.mantissa, 60);
  }
}

TEST_F(EngineMetersTest, AdvanceProbeSelection) {
  UseEngine({});
  EXPECT_EQ(Advance().SelectProbe(5), kBadArgument) << "no slot holds kind 5";
  ProbeDescriptor probes[3] = {};
  ASSERT_EQ(Advance().GetProbes(3, probes), kOk);
  EXPECT_EQ(probes[0].kind, 7);
  EXPECT_EQ(probes[1].kind, 9);
  EXPECT_EQ(probes[2].kind, 10);
  EXPECT_EQ(Advance().GetProbes(4, probes), kBadArgument);
  int32_t probeClass = 0;
  ASSERT_EQ(Advance().GetProbeKind(&probeClass), kOk);
  EXPECT_EQ(probeClass, 3);
  ProbeDescriptor advance{}, speed{}, temperature{};
  ASSERT_EQ(Advance().ReadProbes(&advance, &speed, &temperature), kOk);
  EXPECT_EQ(speed.kind, 13) << "input 9";
  EXPECT_EQ(temperature.kind, 8) << "input 6";
  EXPECT_EQ(Advance().ReadProbes(&advance, nullptr, &temperature), kBadArgument);
}

TEST_F(EngineMetersTest, AdvanceWithoutAPeriodIsInvalidWhileSpeedAndTemperatureStand) {
  UseEngine({.rpm = 0});
  AdvanceReading reading{};
  ASSERT_EQ(Advance().Measure(&reading), kOk);
  EXPECT_EQ(reading.advance.valid, 0);
  EXPECT_EQ(reading.advance.value.mantissa, 0);
  EXPECT_EQ(reading.advance.value.exponent, 0);
  EXPECT_EQ(reading.temperature.value.mantissa, 80);
  EXPECT_EQ(reading.temperature.valid, 1);
}

TEST_F(EngineMetersTest, DwellMeterReadsTheEngine) {
  struct Case {
    const char* what;
    EngineSetup engine;
    uint16_t input;
    int32_t rpm;
    int32_t dwellTenths;
  } cases[] = {
      {"four cylinders", {.rpm = 3000, .dwellPercent = 35}, 0, 3000, 350},
      {"six cylinders on input 1", {.cylinders = 6, .rpm = 1500, .dwellPercent = 60}, 1, 1500, 600},
      {"two-stroke, a coil per cylinder", {.strokes = 2, .cylinders = 2, .rpm = 5000, .dwellPercent = 25}, 0, 5000, 250},
      {"fully closed", {.rpm = 2000, .dwellPercent = 100}, 0, 2000, 1000},
      {"never closed", {.rpm = 2000, .dwellPercent = 0}, 0, 2000, 0},
      {"cranking speed reads 0", {.rpm = 300, .dwellPercent = 50}, 0, 0, 500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseEngine(c.engine);
    ASSERT_EQ(Dwell().SelectInput(c.input), kOk);
    DwellReading reading{};
    ASSERT_EQ(Dwell().Measure(&reading), kOk);
    EXPECT_EQ(reading.speed.mantissa, c.rpm);
    EXPECT_EQ(reading.speed.exponent, 0);
    EXPECT_EQ(reading.dwell.mantissa, c.dwellTenths);
    EXPECT_EQ(reading.dwell.exponent, -1);
    EXPECT_EQ(reading.valid, 1);
    EXPECT_EQ(reading.temperature.value.mantissa, 80);
    EXPECT_EQ(reading.dwellProbe.kind, 1) << "test leads on inputs 0 and 1";
  }
  EXPECT_EQ(Dwell().SelectInput(2), kBadArgument);
}

TEST_F(EngineMetersTest, DwellConfigurationCarriesTheMeasurementCodeAndDegreesPerMark) {
  // Record 19 with the meter's code 11 in byte 1 and the engine's degrees per mark in byte 7, as
  // every meter configuration; byte 2 tells the input.
  struct Case {
    const char* what;
    EngineSetup engine;
    int32_t pressureSensorType;
    uint16_t input;
    Bytes configuration;
  } cases[] = {
      {"4-stroke spark, sensitivity 3", {}, 1, 0, {0x61, 0x8B, 0x81, 0x48, 0x68, 0x48, 0x18, 50, 0, 0, 0}},
      {"the same on input 1", {}, 1, 1, {0x61, 0x8B, 0xC0, 0x48, 0x68, 0x48, 0x18, 50, 0, 0, 0}},
      {"2-stroke spark", {.strokes = 2, .cylinders = 2}, 1, 0, {0x61, 0x8B, 0x81, 0x48, 0x68, 0x48, 0x18, 10, 0, 0, 0}},
      {"diesel", {.engineType = 1}, 1, 0, {0x61, 0x8B, 0x81, 0x48, 0x68, 0x48, 0x18, 75, 0, 0, 0}},
      {"diesel, pressure sensor 0", {.engineType = 1}, 0, 0, {0x61, 0x8B, 0x81, 0x48, 0x68, 0xC8, 0x18, 75, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseEngine(c.engine);
    ASSERT_EQ(Tester().SetDieselPressureSensorType(c.pressureSensorType), kOk);
    ASSERT_EQ(Dwell().SelectInput(c.input), kOk);
    Board().ClearLog();
    DwellReading reading{};
    ASSERT_EQ(Dwell().Measure(&reading), kOk);
    EXPECT_EQ(RequestsOf(0x61), (std::vector<Bytes>{c.configuration}));
  }
}

TEST_F(EngineMetersTest, DwellMeterSendsItsConfigurationOnlyWhenNeeded) {
  UseEngine({});
  ASSERT_EQ(Dwell().SelectInput(1), kOk);
  Board().ClearLog();
  DwellReading reading{};
  ASSERT_EQ(Dwell().Measure(&reading), kOk);
  EXPECT_EQ(Requests(), (std::vector<Bytes>{{0xC0, 2, 1, 6},
                                            {0x61, 0x8B, 0xC0, 0x48, 0x68, 0x48, 0x18, 50, 0x00, 0x00, 0x00},
                                            {0x40, 11, 1},
                                            {0x41, 0x00}}));
  Board().ClearLog();
  ASSERT_EQ(Dwell().Measure(&reading), kOk);
  EXPECT_EQ(Commands(), (std::vector<uint8_t>{0x41}));

  // Another instrument took the board: probes and configuration again (the board may hold another).
  SetBoardMode(0);
  Board().ClearLog();
  ASSERT_EQ(Dwell().Measure(&reading), kOk);
  EXPECT_EQ(Commands(), (std::vector<uint8_t>{0xC0, 0x61, 0x40, 0x41}));
}

TEST_F(EngineMetersTest, SpeedAndTemperatureMeterBySpeedSensor) {
  struct Case {
    const char* what;
    EngineSetup engine;
    Bytes select;
    Bytes configuration;
    Bytes start;
    int32_t rpm;
  } cases[] = {
      {"spark, clamp on cylinder 1", {.rpm = 2400, .numberMarks = 3}, {0xC0, 2, 9, 6},
       {0x61, 0x81, 0x00, 0x48, 0x68, 0x48, 0x54, 50, 3, 0x00, 0x00}, {0x40, 1}, 2400},
      {"spark, clamp on a wasted-spark coil", {.rpm = 2400, .coilType = 1}, {0xC0, 2, 9, 6},
       {0x61, 0x81, 0x00, 0x48, 0x68, 0x48, 0x54, 50, 1, 0x00, 0x00}, {0x40, 1}, 2400},
      {"spark, crank sensor", {.rpm = 3600, .speedSensorType = 1}, {0xC0, 2, 8, 6},
       {0x61, 0x82, 0x00, 0x48, 0x68, 0x48, 0x58, 50, 1, 0x00, 0x00}, {0x40, 2}, 3600},
      {"spark, TDC sensor", {.rpm = 1200, .speedSensorType = 3}, {0xC0, 2, 8, 6},
       {0x61, 0x84, 0x00, 0x48, 0x68, 0x48, 0x54, 1, 1, 0x00, 0x00}, {0x40, 4}, 1200},
      {"diesel, injection line", {.engineType = 1, .rpm = 2000, .speedSensorType = 2}, {0xC0, 2, 5, 6},
       {0x61, 0x83, 0x00, 0x48, 0x68, 0x48, 0x14, 75, 11, 0x00, 0x00}, {0x40, 3}, 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseEngine(c.engine);
    SetBoardMode(0);  // as after another instrument: the probes are selected again
    Board().ClearLog();
    SpeedTemperatureReading reading{};
    ASSERT_EQ(SpeedTemperature().Measure(&reading), kOk);
    EXPECT_EQ(Requests(), (std::vector<Bytes>{c.select, c.configuration, c.start, {0x41, 0x00}}));
    EXPECT_EQ(reading.speed.value.mantissa, c.rpm);
    EXPECT_EQ(reading.speed.valid, 1);
    EXPECT_EQ(reading.temperature.value.mantissa, 80);
    Board().ClearLog();
    ASSERT_EQ(SpeedTemperature().Measure(&reading), kOk);
    EXPECT_EQ(Commands(), (std::vector<uint8_t>{0x41})) << "the second reading sends no configuration";
  }
}

TEST_F(EngineMetersTest, SpeedAndTemperatureProbesFollowTheSpeedSensor) {
  UseEngine({.speedSensorType = 1});
  ProbeDescriptor temperature{}, speed{};
  ASSERT_EQ(SpeedTemperature().ReadProbes(&temperature, &speed), kOk);
  EXPECT_EQ(speed.kind, 7) << "input 8";
  EXPECT_EQ(temperature.kind, 8) << "input 6";
  EXPECT_EQ(Board().RequestPayloads().back(), (Bytes{0xC2, 0x82, 8, 6}));
  EXPECT_EQ(SpeedTemperature().ReadProbes(&temperature, nullptr), kBadArgument);
}

TEST_F(EngineMetersTest, ARefusedConfigurationIsSentAgainAtTheNextReading) {
  // The engine parameters changed; the board refuses the new configuration. The next reading
  // configures again with the new parameters instead of reading with the old ones.
  struct Case {
    const char* what;
    std::function<int()> read;
  } cases[] = {
      {"advance", [this] { AdvanceReading r{}; return Advance().Measure(&r); }},
      {"dwell", [this] { DwellReading r{}; return Dwell().Measure(&r); }},
      {"speed and temperature", [this] { SpeedTemperatureReading r{}; return SpeedTemperature().Measure(&r); }},
      {"high voltage", [this] { return ArmHighVoltage(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseEngine({});
    ASSERT_EQ(c.read(), kOk) << "configured with sensitivity 3";
    ASSERT_EQ(Tester().SetSparkSensitivity(5), kOk);
    Board().Update([](sim::BoardScenario& s) {
      s.commandFaults[0x61] = {{sim::FaultKind::ErrorStatus, {}, 0x81}, 1};
    });
    EXPECT_EQ(c.read(), kBoardErrorStatus);
    Board().ClearLog();
    ASSERT_EQ(c.read(), kOk);
    const std::vector<Bytes> sent = RequestsOf(0x61);
    ASSERT_EQ(sent.size(), 1u) << "configured again";
    EXPECT_EQ(sent[0][7], 60) << "degrees per mark of sensitivity 5";
    Board().ClearLog();
    ASSERT_EQ(c.read(), kOk);
    EXPECT_TRUE(RequestsOf(0x61).empty()) << "accepted: not sent again";
  }
}

TEST_F(EngineMetersTest, MeterReadReplyChecks) {
  struct Case {
    const char* what;
    sim::Fault fault;
    bool attached;
    int code;
    int32_t flag;
  } cases[] = {
      {"19 bytes carry the probe button", {}, true, kOk, 1},
      {"18 bytes: no flags byte, the button reads 0", {sim::FaultKind::Truncate, {}, 0, 18}, true, kOk, 0},
      {"17 bytes", {sim::FaultKind::Truncate, {}, 0, 17}, true, kBadReply, 0},
      {"error status with bit 7", {sim::FaultKind::ErrorStatus, {}, 0x81}, true, kBoardErrorStatus, 0},
      {"error status without bit 7", {sim::FaultKind::ErrorStatus, {}, 0x01}, true, kBadReply, 0},
  };
  UseEngine({});
  UpdateEngine([](sim::EngineScenario& e) { e.probeButton = true; });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AdvanceReading reading{};
    ASSERT_EQ(Advance().Measure(&reading), kOk) << "configured before the fault";
    Board().Update([&](sim::BoardScenario& s) { s.commandFaults[0x41] = {c.fault, 1}; });
    reading.flag = -1;
    EXPECT_EQ(Advance().Measure(&reading), c.code);
    if (c.code == kOk) {
      EXPECT_EQ(reading.flag, c.flag);
    }
  }
  // A board without the module: the meter reports it and the engine tester's flags drop.
  AttachEngineTester(false);
  AdvanceReading reading{};
  EXPECT_EQ(Advance().Measure(&reading), kNoEngineTester);
  EXPECT_FALSE(EngineState().FirmwareChecked());
  EXPECT_FALSE(EngineState().EngineTesterReady());
}

}  // namespace
}  // namespace kv310::testing
