// The engine-tester oscilloscope against the board model with the engine-tester module attached:
// what each acquisition mode sends (probe inputs, configuration record, set-up, start), how the
// module's reply headers and engine speed counter are read, the start spacing, and the engine-
// synchronous records cut into cylinder groups with their peaks written back.
#include "EngineMeterFixture.h"
#include "EngineSamples.h"
#include "Library.h"
#include "ProbeTable.h"
#include "RecordingChecks.h"

#include <kv310/Kv310.h>

#include <cmath>
#include <functional>

namespace kv310::testing {
namespace {

using sim::Bytes;

class MTOscilloscopeTest : public EngineMeterFixture {
 protected:
  IMTOscilloscope_7& Scope() { return Meter<IMTOscilloscope_7>(kMTOscilloscope); }

  void RunEngine(int coilType = 0, double rpm = 3000) {
    EngineSetup engine;
    engine.rpm = rpm;
    engine.coilType = coilType;
    UseEngine(engine);
  }

  // StartMeasurement on another thread (it may wait for the start spacing), then the reply.
  int Acquire() {
    auto start = InBackground([&] { return Scope().StartMeasurement(1000); });
    AdvanceUntilReady(start, 10);
    const int started = start.get();
    if (started != kOk) return started;
    auto idle = InBackground([&] {
      Communication().WaitIdle();
      return 0;
    });
    AdvanceUntilReady(idle, 10);
    return Scope().GetData();
  }

  // The first request with this command byte since the log was cleared.
  Bytes First(uint8_t command) {
    const std::vector<Bytes> found = RequestsOf(command);
    return found.empty() ? Bytes{} : found.front();
  }
  // The board's reply to the first request of a command.
  Bytes ReplyTo(uint8_t command) {
    for (const sim::LoggedRequest& r : Board().Requests())
      if (!r.payload.empty() && r.payload[0] == command) return r.reply;
    return {};
  }
};

TEST_F(MTOscilloscopeTest, EachModeSetsTheBoardUpAndReadsItsHeader) {
  struct Case {
    int mode;
    int coilType;
    Bytes select;         // C0
    Bytes configuration;  // 61 as sent
    Bytes appended;       // set-up bytes from 16 on
    uint8_t type;         // set-up byte 15, the type the module sends back
    uint8_t startFlags;   // 11 byte 1
    int headerExtension;  // e: the data type sits at reply byte 4 + e
    bool speed;           // the header carries the engine speed counter
  } cases[] = {
      {0, 0, {0xC0, 2, 0, 1}, {0x61, 0x80, 0x00, 0xC8, 0xE8, 0x48, 0x18, 0x32, 0x01, 0x00, 0x00}, {}, 0, 0x80, 3, false},
      {1, 0, {0xC0, 2, 0, 1}, {0x61, 0x80, 0x00, 0xC8, 0xE8, 0x48, 0x18, 0x32, 0x01, 0x00, 0x00}, {}, 0, 0x80, 7, false},
      {2, 0, {0xC0, 3, 0, 1, 9}, {0x61, 0x81, 0x00, 0xC8, 0xE8, 0x48, 0x54, 0x32, 0x01, 0x00, 0x00}, {}, 0, 0, 4, true},
      {3, 0, {0xC0, 1, 0}, {0x61, 0x80, 0x81, 0xC8, 0xE8, 0x48, 0x18, 0x00, 0x00, 0x00, 0x00}, {}, 0, 0, 4, true},
      {4, 0, {0xC0, 1, 0}, {0x61, 0x80, 0x81, 0xC8, 0xE8, 0x48, 0x18, 0x00, 0x00, 0x00, 0x00}, {4, 4, 72, 0xFE}, 0, 0, 4, true},
      {5, 0, {0xC0, 1, 5}, {0x61, 0x83, 0xE1, 0xC8, 0xE8, 0x48, 0x14, 0x4B, 0x0B, 0x00, 0x00}, {}, 0, 0, 4, true},
      {6, 0, {0xC0, 1, 5}, {0x61, 0x83, 0xE1, 0xC8, 0xE8, 0x48, 0x14, 0x4B, 0x0B, 0x00, 0x00}, {4, 4, 72, 0xFE}, 0, 0, 4, true},
      {7, 0, {0xC0, 3, 4, 9, 8}, {0x61, 0x8C, 0xC9, 0xC8, 0xE8, 0xC8, 0x54, 0x32, 0x04, 0xF5, 0x01}, {4, 4, 1, 7, 3, 0x20}, 16, 0, 4, true},
      {8, 0, {0xC0, 2, 4, 9}, {0x61, 0x8D, 0xC9, 0xC8, 0xE9, 0x48, 0x54, 0x32, 0x01, 0x55, 0x01}, {1, 7, 3, 0x20}, 13, 0, 4, true},
      {9, 1, {0xC0, 3, 4, 9, 8}, {0x61, 0x90, 0xC9, 0xC8, 0xE8, 0x48, 0x54, 0x32, 0x00, 0x00, 0x01}, {4, 2, 1, 7, 3, 0x20}, 16, 0, 4, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode);
    RunEngine(c.coilType);
    ASSERT_EQ(Scope().SetAcquisitionMode(c.mode), kOk);
    Board().ClearLog();
    ASSERT_EQ(Acquire(), kOk);

    EXPECT_EQ(First(0xC0), c.select);
    EXPECT_EQ(First(0x61), c.configuration);
    const Bytes setup = First(0x10);
    ASSERT_EQ(setup.size(), 16 + c.appended.size());
    EXPECT_EQ(setup[1], c.mode);
    EXPECT_EQ(setup[15], c.type);
    EXPECT_EQ(Bytes(setup.begin() + 16, setup.end()), c.appended);
    EXPECT_EQ(First(0x11), (Bytes{0x11, c.startFlags, 0, 0, 0, 0x00, 0x03, 0xE8}));

    const Bytes reply = ReplyTo(0x11);
    ASSERT_GT(reply.size(), static_cast<size_t>(8 + c.headerExtension));
    EXPECT_EQ(reply[4 + c.headerExtension], c.type);
    EXPECT_EQ(BoardMode(), 6);

    MeasuredValue speed{};
    ASSERT_EQ(Scope().GetEngineSpeed(&speed), kOk);
    if (c.speed) {
      EXPECT_EQ(speed.valid, 1);
      EXPECT_EQ(speed.value.mantissa, 30000) << "3000 rpm in tenths";
      EXPECT_EQ(speed.value.exponent, -1);
    } else {
      EXPECT_EQ(speed.valid, 0);
    }
  }
}

TEST_F(MTOscilloscopeTest, EngineSpeedFromTheCounter) {
  // Mode 7, four-stroke, four cylinders: 3000 rpm are 100 sparks a second, the counter 100000.
  struct Case {
    double rpm;
    int32_t tenths;
    bool valid;
  } cases[] = {{3000, 30000, true}, {750, 7500, true}, {400, 0, false}, {12000, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rpm);
    RunEngine(0, c.rpm);
    ASSERT_EQ(Scope().SetAcquisitionMode(7), kOk);
    Board().ClearLog();
    ASSERT_EQ(Acquire(), kOk);
    const Bytes reply = ReplyTo(0x11);
    ASSERT_GE(reply.size(), 8u);
    if (c.rpm == 3000) {
      EXPECT_EQ(Bytes(reply.begin() + 4, reply.begin() + 8), (Bytes{0x00, 0x01, 0x86, 0xA0}));
    }
    MeasuredValue speed{};
    ASSERT_EQ(Scope().GetEngineSpeed(&speed), kOk);
    EXPECT_EQ(speed.valid, c.valid ? 1 : 0);
    EXPECT_EQ(speed.value.mantissa, c.tenths);
    if (c.valid) {
      EXPECT_EQ(speed.probe.kind, 11) << "the reference probe of the mode's input";
    }
  }
}

TEST_F(MTOscilloscopeTest, UnchangedSettingsStartWithoutConfigurationAndKeep300ms) {
  RunEngine();
  ASSERT_EQ(Scope().SetAcquisitionMode(7), kOk);
  ASSERT_EQ(Acquire(), kOk);
  Board().ClearLog();
  ASSERT_EQ(Acquire(), kOk);
  ASSERT_EQ(Acquire(), kOk);
  EXPECT_EQ(Commands(), (std::vector<uint8_t>{0x11, 0x11})) << "no C0, 61 or 10 for an unchanged mode";
  const std::vector<sim::LoggedRequest> log = Board().Requests();
  EXPECT_GE(log[1].timeMs - log[0].timeMs, 300u);

  // A changed setting sends the set-up again, but the unchanged 61 record stays home.
  ASSERT_EQ(Scope().SetSampleRateIndex(12), kOk);
  Board().ClearLog();
  ASSERT_EQ(Acquire(), kOk);
  EXPECT_EQ(Commands(), (std::vector<uint8_t>{0x10, 0x11}));
}

TEST_F(MTOscilloscopeTest, TheStartSpacingLeavesTheLibraryToOtherCallers) {
  RunEngine();
  ASSERT_EQ(Scope().SetAcquisitionMode(0), kOk);
  ASSERT_EQ(Acquire(), kOk);
  const size_t waiters = kvp::ClockTimedWaiters();
  auto start = InBackground([&] { return Scope().StartMeasurement(1000); });
  AdvanceWhenWaiting(0, waiters + 1);  // the start waits for its 300 ms
  const bool free = OperationLock().try_lock();
  if (free) OperationLock().unlock();
  EXPECT_TRUE(free) << "the start slept holding the operation lock";
  AdvanceUntilReady(start, 10);
  EXPECT_EQ(start.get(), kOk);
  Communication().WaitIdle();
}

TEST_F(MTOscilloscopeTest, Mode1MeasuredValueIsSigned) {
  struct Case {
    int32_t board;     // the value in the reply header
    int32_t mantissa;  // board / 100, exponent -1
  } cases[] = {{123456, 1234}, {-123456, -1234}, {-99, 0}, {-2147483647 - 1, -21474836}};
  RunEngine();
  ASSERT_EQ(Scope().SetAcquisitionMode(1), kOk);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.board);
    Board().Update([&](sim::BoardScenario& s) { s.oscMeasuredValue = c.board; });
    ASSERT_EQ(Acquire(), kOk);
    OscMeasurements measured{};
    ASSERT_EQ(Scope().GetMeasurements(&measured), kOk);
    EXPECT_EQ(measured.valid, 1);
    EXPECT_EQ(measured.value.mantissa, c.mantissa);
    EXPECT_EQ(measured.value.exponent, -1);
  }
}

TEST_F(MTOscilloscopeTest, ReadBackNeverWritesPastTheCapacity) {
  // Armed with both channels, channel B switched off before the read-back: the chunks still
  // carry both channels, 2000 samples each.
  RunEngine();
  ASSERT_EQ(Scope().SetAcquisitionMode(0), kOk);
  ASSERT_EQ(Scope().SetChannelMode(1, 1), kOk);
  ASSERT_EQ(Scope().SetSampleRateIndex(8), kOk);
  ASSERT_EQ(Scope().CheckSettings(), kOk);
  kvp::ClockAdvance(500);
  uint32_t recorded = 0;
  ASSERT_EQ(Scope().StopMeasurement(&recorded), kOk);
  ASSERT_GT(recorded, 4000u);
  ASSERT_EQ(Scope().SetChannelMode(1, 0), kOk);
  uint8_t done = 0;
  EXPECT_EQ(ReadBackWithinCapacity(Scope(), 3000, &done), 2000u) << "one chunk of both channels fits 3000, a second does not";
  EXPECT_EQ(done, 0);
}

class EngineGroupsTest : public MTOscilloscopeTest {
 protected:
  // Mode 7 at 10 kS/s on the 0.8 range (engine range 2 V with the 5340 reference probe): the
  // firing lines of 6 kV fall between two samples and the curve shows only the spark line.
  void SetUpMode7(int weakCylinder) {
    RunEngine();
    UpdateEngine([&](sim::EngineScenario& e) {
      e.sparkKilovolts = 6.0;
      e.weakCylinder = weakCylinder;
      e.weakCylinderKilovolts = 4.0;
    });
    ASSERT_EQ(Scope().SetAcquisitionMode(7), kOk);
    ChannelProbeRecord probe{};
    ASSERT_EQ(Scope().SetProbe(0, &probe), kOk);
    EXPECT_STREQ(probe.tag, "25kV");
    ASSERT_EQ(Scope().SetSampleRateIndex(8), kOk);
    ASSERT_EQ(Scope().SetRangeIndex(0, 8), kOk);
    ASSERT_EQ(Acquire(), kOk);
  }

  EngineSampleScale Scale() const {
    EngineSampleScale s;
    s.rangeIndex = 8;
    s.engineRangeIndex = 7;
    s.reference = 5340;
    s.referenceProbeCode = 110;
    s.sampleRateIndex = 8;
    s.triggerPosition = 300;
    return s;
  }
  // Converter bytes of the board for volts on the 2 V engine range behind the 5340 divider; the
  // front end reads 1.0488 low there, which the host's calibration of the samples undoes.
  static uint8_t Raw(double volts) {
    return static_cast<uint8_t>(std::floor(128 + 128 * volts / (5340 * 2.0 * 1.0488)));
  }
};

TEST_F(EngineGroupsTest, FourCylindersAreCutIntoGroupsWithPeaksWrittenAtTheSteepestEdge) {
  SetUpMode7(3);
  EXPECT_EQ(First(0x10)[3], 20) << "engine range 2 V";
  std::vector<int16_t> samples(1000, 0x7777);
  EngineSampleRecord record{samples.data(), 0, 0, 0, 0};
  ASSERT_EQ(Scope().GetEngineSamples(0, 1000, &record), kOk);
  EXPECT_EQ(record.length, 1000u);
  EXPECT_EQ(record.valid, 1);
  EXPECT_EQ(record.group, 0);

  const int16_t sparkLine = ConvertEngineSample(Raw(1500), Scale());
  const int16_t peak = ConvertEngineSample(Raw(6000), Scale());
  ASSERT_GT(peak, sparkLine);
  // In volts (full scale 0.8 x the reference probe's 10000) the spark line reads its true 1500 V
  // within one converter step.
  EXPECT_NEAR(sparkLine / 32768.0 * 0.8 * 10000, 1500, 5340 * 2.0 * 1.0488 / 128);
  // Four parts of 250 samples; the trigger falls at 300 / 4 = 75 in each, the breakdown between
  // samples 75 and 76, and the window of 10 samples starts 5 before the trigger.
  struct Part {
    int cylinder;
    int16_t at76;
  } parts[] = {{1, peak}, {2, peak}, {3, sparkLine}, {4, peak}};
  for (int g = 0; g < 4; ++g) {
    SCOPED_TRACE(::testing::Message() << "cylinder " << parts[g].cylinder);
    EXPECT_EQ(samples[250 * g + 75], 0);
    EXPECT_EQ(samples[250 * g + 76], parts[g].at76) << "4 kV stay as sampled, 6 kV are written back";
    EXPECT_EQ(samples[250 * g + 77], sparkLine);
  }
  EXPECT_EQ(record.peak, peak);
}

TEST_F(EngineGroupsTest, SelectingACylinderReconfiguresTheNextStart) {
  SetUpMode7(0);
  std::vector<int16_t> samples(1000);
  EngineSampleRecord record{samples.data(), 0, 0, 0, 0};
  ASSERT_EQ(Scope().GetEngineSamples(3, 1000, &record), kOk);
  EXPECT_EQ(record.length, 1000u) << "the samples at hand: still four groups";
  EXPECT_EQ(record.group, 3);

  Board().ClearLog();
  ASSERT_EQ(Acquire(), kOk);
  EXPECT_EQ(First(0x61).at(10), 3) << "the selected cylinder";
  EXPECT_EQ(First(0x10).at(17), 1) << "one cylinder";
  ASSERT_EQ(Scope().GetEngineSamples(3, 1000, &record), kOk);
  EXPECT_EQ(record.length, 1000u);
  // One group: the trigger at 300, the breakdown between 300 and 301.
  EXPECT_EQ(samples[301], ConvertEngineSample(Raw(6000), Scale()));
  EXPECT_EQ(samples[302], ConvertEngineSample(Raw(1500), Scale()));
}

TEST_F(EngineGroupsTest, NoNewEngineDataGivesNeutralSamples) {
  SetUpMode7(0);
  UpdateEngine([](sim::EngineScenario& e) { e.noNewEngineData = true; });
  ASSERT_EQ(Acquire(), kOk);
  std::vector<int16_t> samples(1000, 5);
  EngineSampleRecord record{samples.data(), 0, 0, 0, 0};
  ASSERT_EQ(Scope().GetEngineSamples(0, 1000, &record), kOk);
  EXPECT_EQ(record.length, 1000u);
  for (int16_t s : samples) ASSERT_EQ(s, 0);
}

TEST_F(MTOscilloscopeTest, ModeRulesAndRefusals) {
  RunEngine();
  struct Case {
    const char* what;
    int mode;
    std::function<int(IMTOscilloscope_7&)> call;
    int code;
  } cases[] = {
      {"one channel in mode 5", 5, [](IMTOscilloscope_7& s) { return s.SetRangeIndex(1, 3); }, kBadArgument},
      {"trigger position in mode 8", 8, [](IMTOscilloscope_7& s) { return s.SetTriggerPosition(100); }, kNotAllowed},
      {"trigger level in mode 7", 7, [](IMTOscilloscope_7& s) { return s.SetTriggerLevel({1, 0, {}}); }, kNotAllowed},
      {"trigger mode 2 in mode 7", 7, [](IMTOscilloscope_7& s) { return s.SetTriggerMode(2); }, kBadArgument},
      {"trigger mode 3 in mode 4", 4, [](IMTOscilloscope_7& s) { return s.SetTriggerMode(3); }, kBadArgument},
      {"angle rate 11 in mode 4", 4, [](IMTOscilloscope_7& s) { return s.SetAngleRateIndex(11); }, kBadArgument},
      {"angle rate in mode 3", 3, [](IMTOscilloscope_7& s) { return s.SetAngleRateIndex(2); }, kNotAllowed},
      {"option in mode 8", 8, [](IMTOscilloscope_7& s) { return s.ToggleOption(); }, kNotAllowed},
      {"samples in mode 7", 7, [](IMTOscilloscope_7& s) { int16_t b[4]; return s.GetSamples(0, 4, b); }, kNotAllowed},
      {"engine samples in mode 2", 2,
       [](IMTOscilloscope_7& s) { int16_t b[4]; EngineSampleRecord r{b, 0, 0, 0, 0}; return s.GetEngineSamples(0, 4, &r); },
       kNotAllowed},
      {"cylinder 5 in mode 7", 7,
       [](IMTOscilloscope_7& s) { int16_t b[4]; EngineSampleRecord r{b, 0, 0, 0, 0}; return s.GetEngineSamples(5, 4, &r); },
       kBadArgument},
      {"engine range without a reference probe", 7, [](IMTOscilloscope_7& s) { return s.SetRangeIndex(0, 5); },
       kBadArgument},
      {"mode 9 without a double-spark coil", 0, [](IMTOscilloscope_7& s) { return s.SetAcquisitionMode(9); },
       kBadArgument},
      {"mode 10", 0, [](IMTOscilloscope_7& s) { return s.SetAcquisitionMode(10); }, kBadArgument},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Scope().SetAcquisitionMode(c.mode), kOk);
    EXPECT_EQ(c.call(Scope()), c.code);
  }
  uint16_t channels = 0;
  ASSERT_EQ(Scope().SetAcquisitionMode(5), kOk);
  EXPECT_EQ(Scope().GetChannelCount(&channels), kOk);
  EXPECT_EQ(channels, 1);
  int32_t low = -1, high = -1;
  ASSERT_EQ(Scope().SetAcquisitionMode(8), kOk);
  EXPECT_EQ(Scope().GetTriggerPositionLimits(&low, &high), kOk);
  EXPECT_EQ(high, 499);

  RunEngine(1);
  ASSERT_EQ(Scope().SetAcquisitionMode(9), kOk);
  int16_t b[4];
  EngineSampleRecord r{b, 0, 0, 0, 0};
  EXPECT_EQ(Scope().GetEngineSamples(2, 4, &r), kBadArgument);
  EXPECT_EQ(Scope().SetAcquisitionMode(8), kBadArgument) << "mode 8 needs a single-spark coil";
}

TEST_F(MTOscilloscopeTest, ProbeInputsOfChannelBAreCheckedInOrder) {
  RunEngine();
  ChannelProbeRecord records[4] = {};
  ASSERT_EQ(Scope().SetProbe(1, records), kOk);
  const char* tags[4] = {"400V", "50A ", "500A", "25kV"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(records[i].slot, i);
    EXPECT_STREQ(records[i].tag, tags[i]);
  }
  EXPECT_EQ(RequestsOf(0xC2).back(), (Bytes{0xC2, 0x84, 1, 2, 3, 4}));
  EXPECT_EQ(EngineState().InputDescriptor(3).kind, 3);

  // A test lead on a clamp input: refused there, the inputs after it left as they were.
  SetInputProbe(2, 3);
  SetInputProbe(3, 0);
  ChannelProbeRecord again[4] = {};
  again[2].slot = 77;
  EXPECT_EQ(Scope().SetProbe(1, again), kProbeOnWrongInput);
  EXPECT_STREQ(again[1].tag, "400V");
  EXPECT_EQ(again[2].slot, 77);
  EXPECT_EQ(EngineState().InputDescriptor(3).kind, 3) << "input 3 was not reached";
}

TEST_F(MTOscilloscopeTest, CylinderInformation) {
  struct Case {
    int mode;
    int engineType;
    int cylinders;
    int code;
    uint16_t groups;
  } cases[] = {{7, 0, 6, kOk, 4}, {7, 0, 3, kOk, 3}, {8, 0, 6, kOk, 1}, {7, 1, 4, kBadEngineType, 0}};
  for (const Case& c : cases) {
    EngineSetup engine;
    engine.engineType = c.engineType;
    engine.cylinders = c.cylinders;
    UseEngine(engine);
    ASSERT_EQ(Scope().SetAcquisitionMode(c.mode), kOk);
    uint16_t groups = 0;
    EXPECT_EQ(Scope().GetCylinderInfo(&groups), c.code) << "mode " << c.mode;
    if (c.code == kOk) {
      EXPECT_EQ(groups, c.groups) << "mode " << c.mode;
    }
  }
}

TEST_F(MTOscilloscopeTest, RecordingIntoBoardMemory) {
  RunEngine();
  ASSERT_EQ(Scope().SetAcquisitionMode(0), kOk);
  ASSERT_EQ(Scope().SetRangeIndex(0, 3), kOk);  // 40 V for the battery
  EXPECT_EQ(Scope().CheckSettings(), kSampleRateTooHigh) << "index 11 from construction";
  ASSERT_EQ(Scope().SetSampleRateIndex(10), kOk);  // 50 kS/s
  Board().ClearLog();
  ASSERT_EQ(Scope().CheckSettings(), kOk);
  EXPECT_EQ(First(0x10).at(15), 17) << "channel A into board memory";
  EXPECT_EQ(Scope().StartMeasurement(1000), kNotAllowed);
  kvp::ClockAdvance(100);

  uint32_t recorded = 0;
  ASSERT_EQ(Scope().StopMeasurement(&recorded), kOk);
  EXPECT_EQ(recorded, 5000u);
  EXPECT_EQ(RequestsOf(0x11).back(), (Bytes{0x11, 0x80, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(BoardMode(), 0);

  std::vector<int16_t> samples(2000);
  uint32_t total = 0;
  uint8_t done = 0;
  int rounds = 0;
  while (!done && rounds++ < 10) {
    uint32_t count = 0;
    ASSERT_EQ(Scope().WaitData(2000, samples.data(), &count, &done), kOk);
    total += count;
  }
  EXPECT_EQ(total, 5000u);
  EXPECT_EQ(done, 1);
  // 13.8 V on the 40 V range reads its true 13.8 / 40 x 32768 within one converter step.
  EXPECT_NEAR(samples[0], 13.8 / 40 * 32768, 256 * 1.024);
}

TEST_F(MTOscilloscopeTest, Mode8AtHighRatesAsksForTheShortType) {
  RunEngine();
  ASSERT_EQ(Scope().SetAcquisitionMode(8), kOk);
  ASSERT_EQ(Scope().SetSampleRateIndex(16), kOk);
  Board().ClearLog();
  ASSERT_EQ(Acquire(), kOk);
  const Bytes setup = First(0x10);
  ASSERT_EQ(setup.size(), 16u);
  EXPECT_EQ(setup[15], 8);
  EXPECT_EQ((setup[11] << 8) | setup[12], 550);
}

TEST_F(MTOscilloscopeTest, AngleRateChangeGoesOutAlone) {
  RunEngine();
  ASSERT_EQ(Scope().SetAcquisitionMode(4), kOk);
  ASSERT_EQ(Acquire(), kOk);
  Board().ClearLog();
  ASSERT_EQ(Scope().SetAngleRateIndex(0), kOk);
  EXPECT_EQ(Requests(), (std::vector<Bytes>{{0x12, 0x01, 144, 0xFE}}));
  ASSERT_EQ(Acquire(), kOk);
  EXPECT_EQ(Commands(), (std::vector<uint8_t>{0x12, 0x11})) << "the board holds the new rate already";
}

}  // namespace
}  // namespace kv310::testing
