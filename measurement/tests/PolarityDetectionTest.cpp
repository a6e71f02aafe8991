// The automatic polarity detection of the four high-voltage probes against the board model's
// engine frames: probes read upside down are turned, probes that never show a spark are given
// the polarity the others leave them or make the detection give up.
#include "EngineTesterFixture.h"
#include "ProbeTable.h"

#include <array>
#include <functional>
#include <optional>

namespace kv310::testing {
namespace {

using sim::BoardScenario;
using sim::Bytes;
using sim::HighVoltageProbe;

constexpr HighVoltageProbe kNormal{true, true};
constexpr HighVoltageProbe kReversed{true, false};
constexpr HighVoltageProbe kSilent{false, true};

class PolarityDetectionTest : public EngineTesterFixture {
 protected:
  bool StartsLink() const override { return true; }

  // A spark-ignition engine with a coil per cylinder pair, its reference probe on input 4 and the
  // ignition pick-up on input 9.
  void PrepareEngine(const std::array<HighVoltageProbe, 4>& probes, uint32_t polarities, int cylinders) {
    ReloadLibrary();
    Board().Reset();
    Board().Update([&](BoardScenario& s) {
      s.engineTesterAttached = true;
      s.inputProbeCodes[4] = 36;
      s.inputProbeCodes[9] = 85;
      s.hvProbes = probes;
    });
    EngineState().SetFirmwareChecked(true);
    ASSERT_EQ(Tester().SetSparkCoilType(1), kOk);
    ASSERT_EQ(Tester().SetSparkPolarityHVProbes(polarities), kOk);
    ASSERT_EQ(Tester().SetSparkNumberCylinders(static_cast<uint8_t>(cylinders)), kOk);
  }

  uint32_t Polarities() {
    uint32_t p = 0;
    Tester().GetSparkPolarityHVProbes(&p);
    return p;
  }

  size_t Armings() {
    size_t count = 0;
    for (const Bytes& request : Requests())
      if (request.size() == 18 && request[0] == 0x10) ++count;
    return count;
  }
};

TEST_F(PolarityDetectionTest, DecidesOrGivesUp) {
  struct Case {
    const char* what;
    std::array<HighVoltageProbe, 4> probes;
    uint32_t before;  // probe 1 in the low byte, 1 = normal
    int cylinders;
    int code;
    std::optional<uint32_t> after;
    size_t armings;  // the first, one per pass, one for a resolved unseen probe
  } cases[] = {
      {"right polarities stay", {kNormal, kNormal, kNormal, kNormal}, 0x01010101, 4, kOk, 0x01010101, 3},
      {"reversed probes are turned", {kNormal, kNormal, kNormal, kNormal}, 0x00000000, 4, kOk, 0x01010101, 3},
      {"mixed polarities are found", {kNormal, kReversed, kNormal, kReversed}, 0x01010101, 4, kOk, 0x00010001, 3},
      {"one silent probe, one other normal: it is normal", {kNormal, kReversed, kReversed, kSilent}, 0x01010101, 4,
       kOk, 0x01000001, 7},
      {"one silent probe, two others normal: it is reversed", {kNormal, kNormal, kReversed, kSilent}, 0x01010101, 4,
       kOk, 0x00000101, 7},
      {"one silent probe, three others normal: undecided", {kNormal, kNormal, kNormal, kSilent}, 0x01010101, 4,
       kPolarityUndecided, std::nullopt, 6},
      {"two silent probes, none other normal: both normal", {kReversed, kReversed, kSilent, kSilent}, 0x01010101, 4,
       kOk, 0x01010000, 7},
      {"two silent probes, both others normal: both reversed", {kNormal, kNormal, kSilent, kSilent}, 0x01010101, 4,
       kOk, 0x00000101, 7},
      {"two silent probes, one other normal: undecided", {kNormal, kReversed, kSilent, kSilent}, 0x01010101, 4,
       kPolarityUndecided, std::nullopt, 6},
      {"no spark at all: undecided", {kSilent, kSilent, kSilent, kSilent}, 0x01010101, 4, kPolarityUndecided,
       std::nullopt, 6},
      {"six cylinders: the last pass stands", {kNormal, kNormal, kNormal, kSilent}, 0x01010101, 6, kOk, 0x00010101,
       6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PrepareEngine(c.probes, c.before, c.cylinders);
    EXPECT_EQ(Tester().Measure(), c.code);
    if (c.after) {
      EXPECT_EQ(Polarities(), *c.after);
    }
    EXPECT_EQ(Armings(), c.armings);
    EXPECT_TRUE(EngineState().ParamsChanged()) << "the meters configure the new polarities";
  }
}

TEST_F(PolarityDetectionTest, TheProbesShowTheEnginesSparks) {
  // The probes sit on the leads of cylinders 1 to 4: a spark the engine does not make (a weak
  // cylinder far below the threshold, an engine that stands) is a probe that sees nothing.
  struct Case {
    const char* what;
    double rpm;
    int weakCylinder;
    double weakKilovolts;
    int code;
  } cases[] = {
      {"a healthy engine", 800, 0, 0, kOk},
      {"a weak cylinder still fires", 800, 2, 5.0, kOk},
      {"cylinder 4 hardly fires: like a silent probe", 800, 4, 0.5, kPolarityUndecided},
      {"the engine stands: no spark at all", 0, 0, 0, kPolarityUndecided},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PrepareEngine({kNormal, kNormal, kNormal, kNormal}, 0x01010101, 4);
    Board().Update([&](BoardScenario& s) {
      s.engine.rpm = c.rpm;
      s.engine.weakCylinder = c.weakCylinder;
      s.engine.weakCylinderKilovolts = c.weakKilovolts;
    });
    EXPECT_EQ(Tester().Measure(), c.code);
  }
}

TEST_F(PolarityDetectionTest, Refusals) {
  const std::array<HighVoltageProbe, 4> engine = {kNormal, kNormal, kNormal, kNormal};
  struct Case {
    const char* what;
    std::function<void()> change;
    int code;
    bool asksTheBoard;
  } cases[] = {
      {"another coil type: nothing to detect", [this] { Tester().SetSparkCoilType(0); }, kOk,
       false},
      {"the high-voltage probe option", [this] { Tester().SetSparkHiVoltageTypeProbe(1); },
       kPolarityRefused, false},
      {"no reference probe on input 4",
       [this] { Board().Update([](BoardScenario& s) { s.inputProbeCodes[4] = 3; }); },
       kWrongProbe, true},
      {"no ignition pick-up on input 9",
       [this] { Board().Update([](BoardScenario& s) { s.inputProbeCodes[9] = 69; }); },
       kWrongProbe, true},
      {"reference probe variant 112 on six cylinders",
       [this] {
         Board().Update([](BoardScenario& s) { s.inputProbeCodes[4] = 67; });
         Tester().SetSparkNumberCylinders(6);
       },
       kProbeVariantRefused, true},
      {"the engine sends no frames",
       [this] { Board().Update([](BoardScenario& s) { s.engineFramesAfterArming = 1000; }); },
       kNoData, true},
      {"no engine tester",
       [this] { Board().Update([](BoardScenario& s) { s.engineTesterAttached = false; }); },
       kNoEngineTester, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PrepareEngine(engine, 0x01010101, 4);
    c.change();
    EXPECT_EQ(Tester().Measure(), c.code);
    EXPECT_EQ(!Requests().empty(), c.asksTheBoard);
  }
}

TEST_F(PolarityDetectionTest, VariantWithFourCylinders) {
  PrepareEngine({kNormal, kReversed, kNormal, kNormal}, 0x01010101, 4);
  Board().Update([](BoardScenario& s) {
    s.inputProbeCodes[4] = 67;  // variant 112: scale 4750, the pick-up on input 8
    s.inputProbeCodes[8] = 35;
  });
  EXPECT_EQ(Tester().Measure(), kOk);
  EXPECT_EQ(Polarities(), 0x01010001u);
  // The variant's configuration: selector 0x11, record byte 5 unchanged, no degrees per mark.
  const auto requests = Requests();
  ASSERT_GT(requests.size(), 2u);
  EXPECT_EQ(requests[2], (Bytes{0x61, 0x91, 0xC9, 0xC8, 0xE8, 0x48, 0x54, 0x00, 0x04, 0xA0, 0x01}));
}

TEST_F(PolarityDetectionTest, ArmingRequests) {
  PrepareEngine({kNormal, kNormal, kNormal, kNormal}, 0x00010001, 4);
  SetBoardMode(9);
  ASSERT_EQ(Tester().ArmEngineMeasurement(), kOk);
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0], (Bytes{0xC0, 0x03, 0x04, 0x09, 0x08}));
  EXPECT_EQ(requests[1], (Bytes{0xC2, 0x83, 0x04, 0x09, 0x08}));
  // Record 28 with selector 0x0F (sent with bit 7), byte 5 + 0x80, 50 degrees per mark, four
  // cylinders, the polarity byte of probes 2 and 4 reversed.
  EXPECT_EQ(requests[2], (Bytes{0x61, 0x8F, 0xC9, 0xC8, 0xE8, 0xC8, 0x54, 0x32, 0x04, 0xE4, 0x01}));
  // Trigger level 3000 V through the 5340 probe: 3000 / 5340 x 64 + 128 = 163.
  EXPECT_EQ(requests[3], (Bytes{0x10, 0x07, 0x03, 0x14, 0x03, 0x14, 0x01, 0x06, 0x01, 163, 0x80, 0x01, 0xFF, 0x01,
                                0x12, 0x0A, 0x04, 0x04}));
  uint8_t last[kConfigurationLength];
  GetLastConfiguration(last);
  EXPECT_EQ(Bytes(last, last + kConfigurationLength),
            (Bytes{0x61, 0x0F, 0xC9, 0xC8, 0xE8, 0xC8, 0x54, 0x32, 0x04, 0xE4, 0x01}));
  EXPECT_EQ(BoardMode(), 0) << "the board holds no instrument's configuration now";
  EXPECT_EQ(EngineState().InputDescriptor(9).kind, 13);
}

}  // namespace
}  // namespace kv310::testing
