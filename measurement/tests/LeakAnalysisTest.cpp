// The leak analysis on recordings of the board model's starter current: its square root, the
// sample decoding, and what it finds in hump trains with equal, weak and missing compressions.
#include "LeakAnalysis.h"

#include <gtest/gtest.h>

#include <sim/BoardModel.h>

#include <array>
#include <cmath>

namespace kv310::testing {
namespace {

using Recording = std::array<uint16_t, kLeakSampleCount>;

// The board model's recording (22) of a cranked engine, decoded as the library decodes it.
Recording RecordFromBoard(int cylinders, int strokes, double rpm, int weakCylinder, double noiseCounts,
                          double humpCounts = 1200.0) {
  sim::BoardModel board;
  board.Update([&](sim::BoardScenario& s) {
    s.engine.cylinders = cylinders;
    s.engine.strokes = strokes;
    s.leak.crankingRpm = rpm;
    s.leak.weakCylinder = weakCylinder;
    s.leak.noiseCounts = noiseCounts;
    s.leak.humpCounts = humpCounts;
    s.leak.recordingPolls = 0;
  });
  const sim::BoardResponse reply = board.Handle(sim::Bytes{0x22, 0x01});
  Recording samples{};
  EXPECT_EQ(reply.payload.size(), 4u + 2 * kLeakSampleCount);
  for (int i = 0; i < kLeakSampleCount && 5 + 2 * i < static_cast<int>(reply.payload.size()); ++i)
    samples[i] = DecodeLeakSample(reply.payload[4 + 2 * i], reply.payload[5 + 2 * i]);
  return samples;
}

TEST(LeakAnalysisTest, SquareRootApproximation) {
  struct Case {
    float argument;
    float root;
    float tolerance;
  } cases[] = {
      {4.0f, 2.0000004f, 0.0f},  // c becomes 1, f becomes 2; the polynomial gives 1.0000002
      {1e-7f, 0.0f, 0.0f},       // below 1e-6
      {0.0f, 0.0f, 0.0f},
      {2.0f, std::sqrt(2.0f), 2e-4f},
      {150.0f, std::sqrt(150.0f), 2e-3f},
      {0.03f, std::sqrt(0.03f), 2e-5f},
      {123456.0f, std::sqrt(123456.0f), 0.5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    if (c.tolerance == 0.0f) {
      EXPECT_EQ(LeakSquareRoot(c.argument), c.root);
    } else {
      EXPECT_NEAR(LeakSquareRoot(c.argument), c.root, c.tolerance);
    }
  }
}

TEST(LeakAnalysisTest, SampleDecoding) {
  struct Case {
    uint8_t high, low;
    uint16_t value;
  } cases[] = {
      {0x08, 0x00, 2048}, {0x07, 0xFF, 2049}, {0x00, 0x00, 0}, {0x0F, 0xFF, 4095}, {0xF9, 0x23, 0x923},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeLeakSample(c.high, c.low), c.value) << int(c.high) << " " << int(c.low);
}

TEST(LeakAnalysisTest, EqualCylindersGiveEqualResults) {
  struct Case {
    int cylinders, strokes;
    double rpm;
  } cases[] = {{4, 4, 300}, {6, 4, 250}, {8, 4, 200}, {3, 4, 400}, {2, 2, 180}, {4, 4, 300}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.cylinders << " cylinders at " << c.rpm << " rpm");
    const Recording samples = RecordFromBoard(c.cylinders, c.strokes, c.rpm, 0, 20.0);
    LeakAnalysisResult result;
    ASSERT_TRUE(AnalyseLeakRecording(samples.data(), c.cylinders, &result));
    for (int i = 0; i < c.cylinders; ++i) {
      EXPECT_GE(result.relative[i], 95.0f) << "cylinder " << i;
      EXPECT_LE(result.relative[i], 100.0f) << "cylinder " << i;
    }
    EXPECT_LE(result.largestDistance, result.smallestDistance + 2);
  }
}

TEST(LeakAnalysisTest, WeakCylinderIsFoundAsTheWeakest) {
  struct Case {
    int cylinders;
    int weak;  // 1-based position in the firing order
    double rpm;
  } cases[] = {{4, 1, 300}, {4, 3, 300}, {6, 5, 250}, {8, 2, 200}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "cylinder " << c.weak << " of " << c.cylinders);
    const Recording samples = RecordFromBoard(c.cylinders, 4, c.rpm, c.weak, 20.0);
    LeakAnalysisResult result;
    ASSERT_TRUE(AnalyseLeakRecording(samples.data(), c.cylinders, &result));
    // Results run in firing order from the weakest.
    EXPECT_LT(result.relative[0], 70.0f);
    for (int i = 1; i < c.cylinders; ++i) EXPECT_GT(result.relative[i], 90.0f) << "cylinder " << i;
    EXPECT_EQ(result.percent[0], static_cast<uint8_t>(result.relative[0]));
  }
}

TEST(LeakAnalysisTest, NoCompressionPatternFails) {
  struct Case {
    const char* what;
    double humps;
    double noise;
  } cases[] = {
      {"noise only", 0.0, 400.0},
      {"flat current", 0.0, 0.0},
      {"humps drowned in noise", 150.0, 900.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Recording samples = RecordFromBoard(4, 4, 300, 0, c.noise, c.humps);
    LeakAnalysisResult result;
    EXPECT_FALSE(AnalyseLeakRecording(samples.data(), 4, &result));
  }
}

}  // namespace
}  // namespace kv310::testing
