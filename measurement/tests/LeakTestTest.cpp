// The leak test against the board model: the requests of a recording with and without the
// engine-tester module, the recording answered busy for its 2.6 s, and the results Read gives for
// the starter-current humps the board records.
#include "EngineMeterFixture.h"
#include "Library.h"

#include <kv310/Kv310.h>

#include <cmath>

namespace kv310::testing {
namespace {

using sim::Bytes;

class LeakTestTest : public EngineMeterFixture {
 protected:
  IMTLeakTest_15& Leak() { return Meter<IMTLeakTest_15>(kMTLeakTest); }

  void UseEngineTester(bool present) {
    AttachEngineTester(present);
    if (!present) EngineState().ClearEngineTesterFlags();
  }

  void Crank(int cylinders, int weakCylinder, double noiseCounts = 20.0, double humpCounts = 1200.0) {
    EngineSetup engine;
    engine.cylinders = cylinders;
    UseEngine(engine);
    Board().Update([&](sim::BoardScenario& s) {
      s.leak.weakCylinder = weakCylinder;
      s.leak.noiseCounts = noiseCounts;
      s.leak.humpCounts = humpCounts;
    });
  }

  // Start, then Read on another thread while the virtual clock runs the recording's busy polls.
  int StartAndRead(uint8_t count, float* results) {
    const int started = Leak().Start();
    if (started != kOk) return started;
    auto read = InBackground([&] { return Leak().Read(count, results); });
    AdvanceUntilReady(read, 100);
    return read.get();
  }
};

TEST_F(LeakTestTest, StartSendsTheRecordingRequestsOfTheInput) {
  struct Case {
    bool engineTester;
    uint8_t input;
    std::vector<Bytes> requests;
  } cases[] = {
      {true, 0, {{0xC0, 1, 0}, {0x61, 0x80, 0x00, 0xC8, 0xE8, 0x48, 0x18, 0, 0, 0, 0}, {0x22, 0}}},
      {true, 2, {{0xC0, 1, 2}, {0x61, 0x80, 0x03, 0xC8, 0xE8, 0x48, 0x18, 0, 0, 0, 0}, {0x22, 1}}},
      {true, 3, {{0xC0, 1, 3}, {0x61, 0x80, 0x05, 0xC8, 0xE8, 0x48, 0x18, 0, 0, 0, 0}, {0x22, 1}}},
      {false, 0, {{0x22, 0}}},
      {false, 1, {{0x22, 1}}},
  };
  Crank(4, 0);
  Board().Update([](sim::BoardScenario& s) { s.leak.recordingPolls = 0; });
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "engine tester " << c.engineTester << ", input " << int(c.input));
    UseEngineTester(c.engineTester);
    ASSERT_EQ(Leak().SelectInput(c.input), kOk);
    Board().ClearLog();
    EngineState().SetParamsChanged(true);
    ASSERT_EQ(Leak().Start(), kOk);
    EXPECT_EQ(BoardMode(), 13);
    EXPECT_FALSE(EngineState().ParamsChanged());
    Communication().WaitIdle();
    EXPECT_EQ(Requests(), c.requests);
    float results[4] = {};
    EXPECT_EQ(Leak().Read(4, results), kOk);
  }
}

TEST_F(LeakTestTest, SelectInputByModule) {
  struct Case {
    bool engineTester;
    uint8_t input;
    int code;
  } cases[] = {
      {true, 0, kOk}, {true, 2, kOk}, {true, 3, kOk}, {true, 1, kBadArgument}, {true, 4, kBadArgument},
      {false, 0, kOk}, {false, 1, kOk}, {false, 2, kBadArgument},
  };
  for (const Case& c : cases) {
    UseEngineTester(c.engineTester);
    EXPECT_EQ(Leak().SelectInput(c.input), c.code) << c.engineTester << " " << int(c.input);
  }
  uint8_t input = 9;
  EXPECT_EQ(Leak().GetInput(&input), kOk);
  EXPECT_EQ(input, 1) << "the last accepted input";
  EXPECT_EQ(Leak().GetInput(nullptr), kBadArgument);
}

TEST_F(LeakTestTest, RecordingIsAnsweredBusyAndCanBeAborted) {
  Crank(4, 0);
  ASSERT_EQ(Leak().Start(), kOk);
  const uint64_t started = kvp::ClockNowMs();
  float results[4] = {};
  auto read = InBackground([&] { return Leak().Read(4, results); });
  AdvanceUntilReady(read, 100);
  EXPECT_EQ(read.get(), kOk);
  EXPECT_EQ(Board().CountRequests(0xFD), 26u) << "one poll every 100 ms for 2.6 s";
  EXPECT_GE(kvp::ClockNowMs() - started, 2600u);

  // The recording can be given up while it runs.
  ASSERT_EQ(Leak().Start(), kOk);
  AdvanceWhenWaiting(100);
  EXPECT_EQ(Communication().AbortRead(), kOk);
  auto after = InBackground([&] {
    Communication().WaitIdle();
    return 0;
  });
  AdvanceUntilReady(after, 100);
  EXPECT_EQ(Board().RequestPayloads().back(), (Bytes{0x05}));
}

TEST_F(LeakTestTest, ReadGivesOneResultPerCylinderFromTheWeakest) {
  struct Case {
    const char* what;
    int cylinders;
    int weak;
    uint8_t count;
  } cases[] = {
      {"equal cylinders", 4, 0, 4},
      {"cylinder 3 weak", 4, 3, 4},
      {"six cylinders, cylinder 2 weak", 6, 2, 6},
      {"fewer results than cylinders", 6, 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Crank(c.cylinders, c.weak);
    float results[9];
    std::fill(std::begin(results), std::end(results), -1.0f);
    ASSERT_EQ(StartAndRead(c.count, results), kOk);
    for (int i = 0; i < c.count; ++i) {
      const bool weakest = c.weak != 0 && i == 0;
      if (weakest) {
        EXPECT_LT(results[i], 70.0f);
      } else {
        EXPECT_GT(results[i], 90.0f) << i;
        EXPECT_LE(results[i], 100.0f) << i;
      }
    }
    EXPECT_EQ(results[c.count], -1.0f) << "nothing is written beyond the results asked for";
  }
}

TEST_F(LeakTestTest, WithoutTheEngineTesterTheCallersCountNamesTheCylinders) {
  // Nobody set up an engine (the active set still says 4): the user's count is the engine's.
  UseEngineTester(false);
  for (int cylinders : {3, 5, 6}) {
    SCOPED_TRACE(cylinders);
    Crank(cylinders, 2);
    EngineParameterBlock block{};
    ASSERT_EQ(Tester().GetDefaultParams(&block), kOk);
    block.engineType = 0;
    block.sparkNumberCylinders = 4;  // the library's set disagrees with the engine on the board
    ASSERT_EQ(Tester().SetAllParams(block), kOk);
    float results[6];
    std::fill(std::begin(results), std::end(results), -1.0f);
    ASSERT_EQ(StartAndRead(static_cast<uint8_t>(cylinders), results), kOk);
    EXPECT_LT(results[0], 70.0f) << "the weak cylinder is found among the counted ones";
    for (int i = 1; i < cylinders; ++i) EXPECT_GT(results[i], 90.0f) << i;
  }
}

TEST_F(LeakTestTest, ReadRefusals) {
  struct Case {
    const char* what;
    uint8_t count;
    double humps;
    double noise;
    sim::Fault fault;
    int code;
  } cases[] = {
      {"more results than cylinders", 5, 1200, 20, {}, kBadArgument},
      {"no compression pattern", 4, 0, 400, {}, kLeakAnalysisFailed},
      {"reply cut short", 4, 1200, 20, {sim::FaultKind::Truncate, {}, 0, 2051}, kBadReply},
      {"refused status", 4, 1200, 20, {sim::FaultKind::ErrorStatus, {}, 0x01, 1}, kBadReply},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseEngineTester(true);
    EngineState().SetFirmwareChecked(true);
    Crank(4, 0, c.noise, c.humps);
    Board().Update([&](sim::BoardScenario& s) {
      s.commandFaults.clear();
      s.leak.recordingPolls = 0;
      if (c.fault.kind != sim::FaultKind::None) s.commandFaults[0xFD] = {c.fault, -1};
      if (c.fault.kind != sim::FaultKind::None) s.leak.recordingPolls = 1;
    });
    ASSERT_EQ(Leak().Start(), kOk);
    float results[8] = {};
    auto read = InBackground([&] { return Leak().Read(c.count, results); });
    AdvanceUntilReady(read, 100);
    EXPECT_EQ(read.get(), c.code);
    Board().Update([](sim::BoardScenario& s) { s.commandFaults.clear(); });
  }
  EXPECT_EQ(Leak().Read(4, nullptr), kBadArgument);
}

}  // namespace
}  // namespace kv310::testing
