// The engine behind the engine-tester module, at the payload level: meter counts, temperature
// sensor voltage and high-voltage frames for an engine given in engine terms.
#include <sim/BoardModel.h>

#include <gtest/gtest.h>

namespace sim {
namespace {

uint32_t Big32(const Bytes& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}

class EngineModelTest : public testing::Test {
 protected:
  void SetUp() override {
    board.Update([](BoardScenario& s) {
      s.engineTesterAttached = true;
      s.engine.rpm = 3000;
      s.engine.cylinders = 4;
      s.engine.advanceDegrees = 12;
      s.engine.markOffsetDegrees = 20;
      s.engine.dwellPercent = 40;
      s.engine.temperatureCelsius = 80;
    });
  }
  Bytes Reply(const Bytes& request) { return board.Handle(request).payload; }

  BoardModel board;
};

TEST_F(EngineModelTest, MeterCountsFollowTheEngine) {
  struct Case {
    const char* what;
    Bytes start;
    uint32_t speed, period, interval;
  } cases[] = {
      {"clamp on cylinder 1: once per cycle", {0x40, 1}, 25000, 40000, 0},
      {"crank sensor: once per revolution", {0x40, 2}, 50000, 20000, 0},
      {"stroboscope: the advance alone", {0x40, 5}, 25000, 40000, 667},
      {"top-dead-centre probe: advance and mark offset", {0x40, 6}, 25000, 40000, 1778},
      {"dwell: every spark, open 60 %", {0x40, 11, 0}, 100000, 10000, 6000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Reply(c.start), (Bytes{0x40, 0x00, 7, 0x00}));
    const Bytes r = Reply({0x41, 0x00});
    ASSERT_EQ(r.size(), 19u);
    EXPECT_EQ(Big32(r, 4), c.speed);
    EXPECT_EQ(Big32(r, 8), c.period);
    EXPECT_EQ(Big32(r, 12), c.interval);
    EXPECT_EQ((r[16] << 8) | r[17], 3470) << "80 degrees on the sensor curve";
    EXPECT_EQ(r[18], 0x00);
  }
  board.Update([](BoardScenario& s) { s.engine.rpm = 0; });
  const Bytes standing = Reply({0x41, 0x00});
  EXPECT_EQ(Big32(standing, 4), 0u);
  EXPECT_EQ(Big32(standing, 8), 0u);
}

TEST_F(EngineModelTest, HighVoltageFrameCarriesEveryCylinder) {
  board.Update([](BoardScenario& s) {
    s.inputProbeCodes[4] = 36;  // reference probe of factor 5340
    s.engine.sparkKilovolts = 10;
    s.engine.weakCylinder = 3;
    s.engine.weakCylinderKilovolts = 7;
  });
  const Bytes setup{0x10, 7, 3, 10, 3, 10, 1, 6, 1, 147, 0x80, 0x01, 0x5E, 1, 0x12, 12, 4, 4};
  ASSERT_EQ(Reply(setup), (Bytes{0x10, 0x00, 7, 0x00}));
  const Bytes frame = Reply({0x11, 0, 0, 0, 0, 0, 0x03, 0xE8});
  // 3000 rpm, four cylinders, four-stroke: 100 sparks a second.
  EXPECT_EQ(frame, (Bytes{0x11, 0x00, 7, 0x00, 0x00, 0x01, 0x86, 0xA0, 12, 0x00, 0x00, 0x00,  //
                          0xB9, 0x72, 0xB9, 0x72, 0xA8, 0x76, 0xB9, 0x72}));
  board.Update([](BoardScenario& s) { s.engine.noNewEngineData = true; });
  const Bytes waiting = Reply({0x11, 0, 0, 0, 0, 0, 0x03, 0xE8});
  ASSERT_EQ(waiting.size(), 12u);
  EXPECT_EQ(waiting[1], 0x02) << "no new engine data";
}

}  // namespace
}  // namespace sim
