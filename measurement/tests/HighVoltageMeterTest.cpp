// The high-voltage meter against the board model's ignition: secondary voltage per cylinder,
// engine speed, the set-up it sends, the reference-probe refusals and the spacing of its arms.
#include "EngineMeterFixture.h"
#include "Library.h"

#include <kv310/ResultCodes.h>

namespace kv310::testing {
namespace {

using sim::Bytes;

constexpr uint8_t kReference5340 = 36;  // variant 110
constexpr uint8_t kReference5000 = 84;  // variant 111
constexpr uint8_t kReference4750 = 67;  // variant 112

class HighVoltageMeterTest : public EngineMeterFixture {
 protected:
  IMTHiVoltage_14& Hv() { return Meter<IMTHiVoltage_14>(kMTHiVoltage); }

  // The panel's order: the probe, then Arm, wait for the idle link, read the frame.
  void UseReferenceProbe(uint8_t code) {
    SetInputProbe(4, code);
    ProbeDescriptor probe{};
    ASSERT_EQ(Hv().ReadProbe(&probe), kOk);
    ASSERT_EQ(probe.kind, 11);
  }

  int Arm() {
    auto armed = InBackground([this] { return Hv().Arm(); });
    AdvanceUntilReady(armed, 10);  // Arm sleeps on the clock until its spacing has passed
    return armed.get();
  }

  int ArmAndRead() {
    const int code = Arm();
    if (code != kOk) return code;
    Communication().WaitIdle();
    return Hv().ReadFrame();
  }

  std::vector<uint64_t> TimesOf(uint8_t command) {
    std::vector<uint64_t> times;
    for (const sim::LoggedRequest& r : Board().Requests())
      if (!r.payload.empty() && r.payload[0] == command) times.push_back(r.timeMs);
    return times;
  }
};

// One converter step of a spark, in volts (probe factor x 4 V / 32767 x 256 x the range's gain).
constexpr double kStepVolts = 5340.0 * 4 / 32767 * 256 * 1.0488;

TEST_F(HighVoltageMeterTest, ReadsTheSecondaryVoltagePerCylinder) {
  struct Case {
    const char* what;
    EngineSetup engine;
    int mode;
    double sparkKv;
    int weakCylinder;
    double weakKv;
    std::vector<double> kilovolts;  // per record
    std::vector<uint16_t> cylinders;
    int32_t rpm;
  } cases[] = {
      {"4 cylinders, cylinder 3 at 8 kV", {.rpm = 3000}, 0, 12, 3, 8, {12, 12, 8, 12}, {0, 1, 2, 3}, 3000},
      {"coil per cylinder, one probe", {.rpm = 2000}, 1, 15, 0, 0, {15}, {0}, 2000},
      {"wasted-spark coil: the pair of cylinders 1 and 3", {.rpm = 1500, .coilType = 1}, 2, 10, 3, 7, {10, 7}, {0, 1},
       1500},
      {"3 cylinders, idle", {.cylinders = 3, .rpm = 800}, 0, 9, 0, 0, {9, 9, 9}, {0, 1, 2}, 800},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseEngine(c.engine);
    UpdateEngine([&](sim::EngineScenario& e) {
      e.sparkKilovolts = c.sparkKv;
      e.weakCylinder = c.weakCylinder;
      e.weakCylinderKilovolts = c.weakKv;
    });
    UseReferenceProbe(kReference5340);
    ASSERT_EQ(Hv().SetMode(c.mode), kOk);
    ASSERT_EQ(ArmAndRead(), kOk);
    uint16_t count = 0;
    ASSERT_EQ(Hv().GetCylinderRecordCount(&count), kOk);
    const size_t records = c.mode == 2 ? 2 : count;
    ASSERT_EQ(records, c.kilovolts.size());
    CylinderValue values[4] = {};
    ASSERT_EQ(Hv().GetCylinderValues(0, values), kOk);
    for (size_t i = 0; i < records; ++i) {
      EXPECT_NEAR(values[i].value.mantissa, c.kilovolts[i] * 1000, kStepVolts) << "record " << i;
      EXPECT_EQ(values[i].value.exponent, 0);
      EXPECT_EQ(values[i].cylinder, c.cylinders[i]);
      EXPECT_EQ(values[i].valid, 1);
      EXPECT_EQ(values[i].probe.kind, 11);
    }
    MeasuredValue speed{};
    ASSERT_EQ(Hv().GetEngineSpeed(&speed), kOk);
    EXPECT_EQ(speed.value.mantissa, c.rpm);
    EXPECT_EQ(speed.value.exponent, 0);
    EXPECT_EQ(speed.valid, 1);
  }
}

TEST_F(HighVoltageMeterTest, SendsItsConfigurationAndSetUp) {
  struct Case {
    const char* what;
    int mode;
    EngineSetup engine;
    Bytes configuration;
    Bytes setup;
    bool swapPolarity = false;
  } cases[] = {
      {"all cylinders", 0, {},
       {0x61, 0x8C, 0xC9, 0xC8, 0xE8, 0xC8, 0x54, 50, 4, 0x55, 0x01},
       {0x10, 7, 3, 10, 3, 10, 1, 6, 1, 147, 0x80, 0x01, 0x5E, 1, 0x12, 12, 4, 4}},
      {"single probe", 1, {},
       {0x61, 0x8D, 0xC9, 0xC8, 0xE9, 0x48, 0x54, 50, 0x01, 0x55, 0x01},
       {0x10, 8, 3, 10, 3, 10, 2, 6, 1, 147, 0x80, 0x01, 0x90, 1, 0x12, 9, 4}},
      {"double-spark coil", 2, {.coilType = 1},
       {0x61, 0x90, 0xC9, 0xC8, 0xE8, 0x48, 0x54, 50, 0x00, 0x00, 0x01},
       {0x10, 9, 3, 10, 3, 10, 1, 6, 1, 147, 0x80, 0x01, 0x5E, 1, 0x12, 12, 4, 2}},
      {"double-spark coil, polarity swapped", 2, {.coilType = 1},
       {0x61, 0x90, 0xC9, 0xC8, 0xE8, 0x48, 0x54, 50, 0x00, 0x55, 0x01},
       {0x10, 9, 3, 10, 3, 10, 1, 6, 1, 147, 0x80, 0x01, 0x5E, 1, 0x12, 12, 4, 2}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseEngine(c.engine);
    UseReferenceProbe(kReference5000);  // probe factor 5000: a 3000 V threshold is code 147
    ASSERT_EQ(Hv().SetMode(c.mode), kOk);
    if (c.swapPolarity) {
      ASSERT_EQ(Hv().TogglePolarity(), kOk);
    }
    Board().ClearLog();
    ASSERT_EQ(ArmAndRead(), kOk);
    EXPECT_EQ(Requests(), (std::vector<Bytes>{{0xC0, 3, 4, 9, 8}, c.configuration, c.setup,
                                              {0x11, 0, 0, 0, 0, 0, 0x03, 0xE8}}));
    EXPECT_EQ(BoardMode(), 12);
  }
}

TEST_F(HighVoltageMeterTest, ReferenceProbeVariant112RefusesUnsuitedEngines) {
  struct Case {
    const char* what;
    EngineSetup engine;
    int mode;
    int code;
    Bytes configuration;  // when accepted
  } cases[] = {
      {"single coils", {.coilType = 0}, 0, kProbeVariantRefused, {}},
      {"six cylinders", {.cylinders = 6, .coilType = 1}, 0, kProbeVariantRefused, {}},
      {"four cylinders, wasted spark", {.coilType = 1}, 0, kOk,
       {0x61, 0x91, 0xC9, 0xC8, 0xE8, 0x48, 0x54, 0x00, 4, 0xA0, 0x01}},
      {"double-spark mode", {.coilType = 1}, 2, kOk, {0x61, 0x92, 0xC9, 0xC8, 0xE8, 0x48, 0x54, 0x00, 4, 0x00, 0x01}},
      {"single-probe mode is not affected", {.coilType = 0}, 1, kOk,
       {0x61, 0x8D, 0xC9, 0xC8, 0xE9, 0x48, 0x54, 50, 0x01, 0x55, 0x01}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseEngine(c.engine);
    UseReferenceProbe(kReference4750);
    ASSERT_EQ(Hv().SetMode(c.mode), kOk);
    Board().ClearLog();
    EXPECT_EQ(Arm(), c.code);
    const std::vector<Bytes> configurations = RequestsOf(0x61);
    if (c.code != kOk) {
      EXPECT_TRUE(configurations.empty()) << "refused before the configuration is sent";
      EXPECT_TRUE(RequestsOf(0x10).empty());
      EXPECT_TRUE(RequestsOf(0x11).empty());
      continue;
    }
    Communication().WaitIdle();
    ASSERT_EQ(configurations.size(), 1u);
    EXPECT_EQ(configurations[0], c.configuration);
  }
}

TEST_F(HighVoltageMeterTest, ArmsAreAtLeast300MillisecondsApart) {
  UseEngine({});
  UseReferenceProbe(kReference5340);
  Board().ClearLog();
  ASSERT_EQ(ArmAndRead(), kOk);
  ASSERT_EQ(ArmAndRead(), kOk);
  ASSERT_EQ(Hv().Rearm(), kOk);
  ASSERT_EQ(ArmAndRead(), kOk);
  const std::vector<uint64_t> setup = TimesOf(0x10);
  const std::vector<uint64_t> arms = TimesOf(0x11);
  ASSERT_EQ(setup.size(), 1u);
  ASSERT_EQ(arms.size(), 3u);
  const uint64_t previous[3] = {setup[0], arms[0], arms[1]};
  for (size_t i = 0; i < arms.size(); ++i) {
    EXPECT_GE(arms[i] - previous[i], 300u) << "arm " << i;
    EXPECT_LT(arms[i] - previous[i], 320u) << "arm " << i << " waits no longer than needed";
  }
  const std::vector<Bytes> requests = RequestsOf(0x11);
  EXPECT_EQ(requests[1][1], 0) << "no restart without Rearm";
  EXPECT_EQ(requests[2][1], 1) << "the restart flag once after Rearm";
}

TEST_F(HighVoltageMeterTest, AnArmConfiguresAgainWhenAnotherInstrumentTookTheBoardDuringItsSpacing) {
  UseEngine({});
  UseReferenceProbe(kReference5340);
  ASSERT_EQ(ArmAndRead(), kOk);
  const size_t waiters = kvp::ClockTimedWaiters();
  auto armed = InBackground([this] { return Hv().Arm(); });
  AdvanceWhenWaiting(0, waiters + 1);  // the arm sits in its spacing, outside the operation lock
  DwellReading dwell{};
  ASSERT_EQ(Meter<IMTDwellanglemeter_13>(kMTDwellanglemeter).Measure(&dwell), kOk);
  ASSERT_EQ(BoardMode(), 11);
  Board().ClearLog();
  AdvanceUntilReady(armed, 10);
  ASSERT_EQ(armed.get(), kOk);
  Communication().WaitIdle();
  const std::vector<uint8_t> commands = Commands();
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands.back(), 0x11);
  EXPECT_EQ(RequestsOf(0x10).size(), 1u) << "the high-voltage set-up before the arm";
  EXPECT_EQ(BoardMode(), 12);
  const std::vector<uint64_t> setup = TimesOf(0x10);
  const std::vector<uint64_t> arms = TimesOf(0x11);
  ASSERT_EQ(arms.size(), 1u);
  EXPECT_GE(arms[0] - setup[0], 300u) << "spaced from the new configuration";
}

TEST_F(HighVoltageMeterTest, NoNewEngineDataGivesNeutralSamples) {
  UseEngine({.rpm = 2500});
  UseReferenceProbe(kReference5340);
  UpdateEngine([](sim::EngineScenario& e) { e.noNewEngineData = true; });
  ASSERT_EQ(ArmAndRead(), kOk);
  CylinderValue values[4] = {};
  ASSERT_EQ(Hv().GetCylinderValues(0, values), kOk);
  for (const CylinderValue& v : values) {
    EXPECT_EQ(v.value.mantissa, 0);
    EXPECT_EQ(v.valid, 1);
  }
}

TEST_F(HighVoltageMeterTest, FrameChecks) {
  // More cylinders than the meter has records for: the frame does not match.
  UseEngine({.cylinders = 6});
  UseReferenceProbe(kReference5340);
  ASSERT_EQ(ArmAndRead(), kOk);
  CylinderValue values[4] = {};
  EXPECT_EQ(Hv().GetCylinderValues(0, values), kNoData);
  EXPECT_EQ(Hv().GetCylinderValues(5, values), kBadArgument);

  // A header cut short is no frame.
  UseEngine({});
  Board().Update([](sim::BoardScenario& s) { s.commandFaults[0x11] = {{sim::FaultKind::Truncate, {}, 0, 11}, 1}; });
  EXPECT_EQ(ArmAndRead(), kNoData);
  // The engine speed leaves the window below 400 rpm.
  UseEngine({.rpm = 350});
  ASSERT_EQ(ArmAndRead(), kOk);
  MeasuredValue speed{};
  ASSERT_EQ(Hv().GetEngineSpeed(&speed), kOk);
  EXPECT_EQ(speed.valid, 0);
  EXPECT_EQ(speed.value.mantissa, 0);
}

TEST_F(HighVoltageMeterTest, SelectingOneCylinderReconfiguresTheNextArm) {
  UseEngine({});
  UpdateEngine([](sim::EngineScenario& e) {
    e.sparkKilovolts = 12;
    e.weakCylinder = 2;
    e.weakCylinderKilovolts = 6;
  });
  UseReferenceProbe(kReference5340);
  ASSERT_EQ(ArmAndRead(), kOk);
  CylinderValue value{};
  ASSERT_EQ(Hv().GetCylinderValues(2, &value), kOk);
  EXPECT_NEAR(value.value.mantissa, 12000, kStepVolts) << "the first pair of the frame still read";
  EXPECT_EQ(value.cylinder, 2);
  Board().ClearLog();
  ASSERT_EQ(ArmAndRead(), kOk);
  ASSERT_EQ(RequestsOf(0x10).size(), 1u);
  EXPECT_EQ(RequestsOf(0x10)[0][17], 1) << "one cylinder";
  EXPECT_EQ(RequestsOf(0x61)[0][10], 2) << "the selected cylinder";
  ASSERT_EQ(Hv().GetCylinderValues(2, &value), kOk);
  EXPECT_NEAR(value.value.mantissa, 6000, kStepVolts);
}

TEST_F(HighVoltageMeterTest, ModeRules) {
  UseEngine({.coilType = 0});
  EXPECT_EQ(Hv().SetMode(2), kBadArgument) << "double-spark mode needs a wasted-spark coil";
  EXPECT_EQ(Hv().TogglePolarity(), kNotAllowed);
  UseEngine({.coilType = 1});
  EXPECT_EQ(Hv().SetMode(1), kBadArgument) << "single-probe mode needs single coils";
  EXPECT_EQ(Hv().SetMode(2), kOk);
  EXPECT_EQ(Hv().TogglePolarity(), kOk);
  UseEngine({.engineType = 1});
  ASSERT_EQ(Hv().SetMode(0), kOk);
  uint16_t count = 0;
  EXPECT_EQ(Hv().GetCylinderRecordCount(&count), kBadEngineType);
}

}  // namespace
}  // namespace kv310::testing
