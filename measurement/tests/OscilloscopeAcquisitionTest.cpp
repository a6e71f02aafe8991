// Acquisitions of the board oscilloscope against the board model: each data type with and
// without the measured value, triggering, slow rates, partial records, and the recording into
// board memory.
#include "BoardInstrumentFixture.h"
#include "Calibration.h"
#include "OscReplyDecoder.h"
#include "RecordingChecks.h"

#include <functional>
#include <vector>

namespace kv310::testing {
namespace {

using sim::Bytes;
using sim::SignalSource;
using sim::Waveform;

// DC levels on the 2 V range (index 7): A at +1 V (16384) reads raw 189, B at -0.5 V (-8192)
// raw 97; calibrated, each is within one converter step of its true value.
constexpr int16_t kLevelA = 16378;  // (189 - 128) x 256 x 1.0488
constexpr int16_t kLevelB = -8323;  // (97 - 128) x 256 x 1.0488

class OscilloscopeAcquisitionTest : public BoardInstrumentFixture {
 protected:
  void SetUp() override {
    BoardInstrumentFixture::SetUp();
    Change([](sim::BoardScenario& s) {
      s.channelSignals = {SignalSource{Waveform::Dc, 0, 1.0, 0}, SignalSource{Waveform::Dc, 0, -0.5, 0}};
    });
    ASSERT_EQ(Osc().Init(), kOk);
    Osc().SetRangeIndex(0, 7);
    Osc().SetRangeIndex(1, 7);
  }

  void SetChannels(int32_t a, int32_t b) {
    Osc().SetChannelMode(0, a);
    Osc().SetChannelMode(1, b);
  }

  std::vector<int16_t> Samples(int channel) {
    OscChannelInfo info{};
    Osc().GetChannelInfo(static_cast<uint16_t>(channel), &info);
    std::vector<int16_t> samples(info.sampleCount);
    if (info.sampleCount == 0 || Osc().GetSamples(static_cast<uint16_t>(channel), info.sampleCount, samples.data()) != kOk)
      samples.clear();
    return samples;
  }

  static bool AllEqual(const std::vector<int16_t>& samples, int16_t value) {
    for (int16_t s : samples)
      if (s != value) return false;
    return !samples.empty();
  }

  uint8_t LastReplyByte(int index) {
    const auto log = Board().Requests();
    for (auto it = log.rbegin(); it != log.rend(); ++it)
      if (!it->payload.empty() && it->payload[0] == 0x11) return it->reply.at(static_cast<size_t>(index));
    return 0xEE;
  }
};

TEST_F(OscilloscopeAcquisitionTest, DecodesEachDataTypeWithAndWithoutTheMeasuredValue) {
  Change([](sim::BoardScenario& s) { s.oscMeasuredValue = 100000; });
  struct Case {
    const char* what;
    int32_t modeA, modeB, triggerMode, source;
    uint8_t type;
    bool partial;
  } cases[] = {
      {"A", 1, 0, 2, 0, 0, false},
      {"B", 0, 2, 2, 0, 1, false},
      {"A and B", 1, 1, 2, 0, 2, false},
      {"A and B, trigger on both", 1, 1, 2, 1, 20, false},
      {"A rolling", 1, 0, 4, 0, 3, true},
      {"B rolling", 0, 1, 3, 0, 4, true},
      {"A and B rolling", 1, 1, 4, 0, 5, true},
  };
  for (int mode = 0; mode < 2; ++mode) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.what << ", acquisition mode " << mode);
      Osc().SetAcquisitionMode(mode);
      SetChannels(c.modeA, c.modeB);
      Osc().SetTriggerMode(c.triggerMode);
      Osc().SetTriggerSource(c.source, 0);
      ASSERT_EQ(Acquire(), kOk);
      EXPECT_EQ(LastReplyByte(4 + 4 * mode), c.type);

      const std::vector<int16_t> a = Samples(0), b = Samples(1);
      if (c.modeA) {
        EXPECT_TRUE(AllEqual(a, kLevelA)) << a.size();
      }
      if (c.modeB) {
        // The second coupling is the AC input: the board never sees the DC level there.
        EXPECT_TRUE(AllEqual(b, c.modeB == 2 ? 0 : kLevelB)) << b.size();
      }
      if (c.modeA && c.modeB) {
        EXPECT_EQ(a.size(), b.size());
      }
      const size_t expected = c.partial ? 1 : 1000;  // a part right after the last holds one sample
      EXPECT_EQ(c.modeA ? a.size() : b.size(), expected);
      int16_t none[1];
      if (!c.modeA) {
        EXPECT_EQ(Osc().GetSamples(0, 1, none), kNoData);
      }
      if (!c.modeB) {
        EXPECT_EQ(Osc().GetSamples(1, 1, none), kNoData);
      }

      OscTimeInfo time{};
      ASSERT_EQ(Osc().GetTimeInfo(&time), kOk);
      EXPECT_EQ(time.triggerState, c.partial ? 1 : 2) << "a DC level has no edge: auto mode runs free";
      EXPECT_EQ(time.triggerIndex, -1);

      OscMeasurements measured{};
      ASSERT_EQ(Osc().GetMeasurements(&measured), kOk);
      EXPECT_EQ(measured.valid, mode);
      if (mode == 1) {
        EXPECT_EQ(measured.value.mantissa, 1000);
        EXPECT_EQ(measured.value.exponent, -1);
      }
    }
  }
}

TEST_F(OscilloscopeAcquisitionTest, SamplesReadTheTrueValueThroughEveryProbeAndRange) {
  // One converter step after calibration: 256 x the largest gain (a clamp on the small ranges).
  constexpr double kStep = 256 * 1.04 * 1.08445;
  struct Case {
    const char* what;
    uint8_t probeCode;
    uint16_t range;
    double value;      // volts, or amperes through a clamp
    double fullScale;  // of the range times the probe's scale
  } cases[] = {
      {"250 V on 400 V", 3, 0, 250.0, 400.0},
      {"12 V on 20 V", 3, 4, 12.0, 20.0},
      {"-0.5 V on 0.8 V", 3, 8, -0.5, 0.8},
      {"60 A through the 50 A clamp on 80 V", 4, 2, 60.0, 100.0},
      {"-30 A through the 500 A clamp on 8 V", 5, 5, -30.0, 100.0},
      {"0.3 A through the small clamp on 4 V", 20, 6, 0.3, 0.5},
  };
  SetChannels(1, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Change([&](sim::BoardScenario& s) {
      s.channelSignals[0] = SignalSource{Waveform::Dc, 0, c.value, 0};
      s.channelProbeCodes[0] = c.probeCode;
    });
    ASSERT_EQ(Osc().SetRangeIndex(0, c.range), kOk);
    ASSERT_EQ(Acquire(), kOk);
    const std::vector<int16_t> s = Samples(0);
    ASSERT_FALSE(s.empty());
    EXPECT_NEAR(s[0], c.value / c.fullScale * 32768.0, kStep);
    EXPECT_TRUE(AllEqual(s, s[0]));
  }
}

TEST_F(OscilloscopeAcquisitionTest, TriggerEdgeSitsAtTheTriggerPosition) {
  struct Case {
    const char* what;
    int channel;
    SignalSource signal;
    ScaledValue level;
    int32_t edge;
    uint32_t position;
  } cases[] = {
      {"sine, rising through 0", 0, {Waveform::Sine, 5, 0, 1000}, {0, 0, {}}, 1, 256},
      {"sine, falling through 2 V", 0, {Waveform::Sine, 5, 0, 1000}, {2, 0, {}}, 0, 500},
      {"sine with offset, rising through 3 V", 0, {Waveform::Sine, 2, 2, 730}, {3, 0, {}}, 1, 999},
      {"square, rising", 0, {Waveform::Square, 4, 0, 300}, {1, 0, {}}, 1, 10},
      {"triangle, falling through -3 V", 0, {Waveform::Triangle, 6, 0, 200}, {-3, 0, {}}, 0, 700},
      {"sine on B", 1, {Waveform::Sine, 3, 0, 440}, {-1, 0, {}}, 1, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Change([&](sim::BoardScenario& s) { s.channelSignals[c.channel] = c.signal; });
    SetChannels(c.channel == 0 ? 1 : 0, c.channel == 1 ? 1 : 0);
    Osc().SetSampleRateIndex(11);
    Osc().SetRangeIndex(static_cast<uint16_t>(c.channel), 5);  // 8 V
    Osc().SetTriggerSource(0, static_cast<uint16_t>(c.channel));
    Osc().SetTriggerLevel(c.level);
    Osc().SetTriggerEdge(c.edge);
    Osc().SetTriggerPosition(c.position);
    ASSERT_EQ(Acquire(), kOk);

    OscTimeInfo time{};
    Osc().GetTimeInfo(&time);
    EXPECT_EQ(time.triggerState, 0);
    EXPECT_EQ(time.triggerIndex, static_cast<int32_t>(c.position));
    uint8_t setup[16];
    Osc().BuildSetup(setup);
    const int16_t threshold = DecodeSample(setup[9 + c.channel], 5, 0, CalibrationPair(c.channel, 5, 0));
    const std::vector<int16_t> s = Samples(c.channel);
    ASSERT_EQ(s.size(), 1000u);
    const int16_t before = s[c.position - 1], at = s[c.position];
    if (c.edge == 1) {
      EXPECT_LT(before, threshold);
      EXPECT_GE(at, threshold);
    } else {
      EXPECT_GE(before, threshold);
      EXPECT_LT(at, threshold);
    }
  }
}

TEST_F(OscilloscopeAcquisitionTest, NormalTriggerWithoutAnEdgeWaitsUntilAborted) {
  Osc().SetTriggerMode(1);  // the DC level never crosses the level of 1.5 V
  Osc().SetTriggerLevel({15, -1, {}});
  ASSERT_EQ(Osc().StartMeasurement(1000), kOk);
  for (int poll = 0; poll < 5; ++poll) AdvanceWhenWaiting(100);
  EXPECT_EQ(m_link->GetState(), kStateBusy);
  EXPECT_TRUE(m_link->AbortRead());
  WaitForReply(100);
  EXPECT_EQ(Board().RequestPayloads().back(), (Bytes{0x05}));
  EXPECT_EQ(Osc().GetData(), kNoData) << "the abort's answer carries no data";
}

// Up to 1000 S/s a record arrives within the reply window; at 500 S/s and below 1000 samples
// take two seconds or more and the board answers busy until they are taken.
TEST_F(OscilloscopeAcquisitionTest, SlowRatesAreAnsweredBusyUntilTheRecordIsTaken) {
  struct Case {
    uint16_t rateIndex;
    bool busy;
    uint64_t atLeastMs;
  } cases[] = {{5, false, 999}, {4, true, 2000}, {2, true, 10000}};
  Osc().SetTriggerMode(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rateIndex);
    Osc().SetSampleRateIndex(c.rateIndex);
    Board().ClearLog();
    const uint64_t start = kvp::ClockNowMs();
    ASSERT_EQ(Acquire(1000, 10), kOk);
    EXPECT_GE(kvp::ClockNowMs() - start, c.atLeastMs);
    EXPECT_EQ(Board().CountRequests(0xFD) > 0, c.busy);
    EXPECT_EQ(Samples(0).size(), 1000u);
  }
}

TEST_F(OscilloscopeAcquisitionTest, PartialRecordsCarryTheSamplesTakenSinceTheLastPart) {
  Osc().SetSampleRateIndex(4);  // 500 S/s
  Osc().SetTriggerMode(4);
  struct Step {
    uint64_t pauseMs;
    size_t samples;
  } steps[] = {{0, 1}, {100, 50}, {1000, 500}, {5000, 1000}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.pauseMs);
    kvp::ClockAdvance(s.pauseMs);
    ASSERT_EQ(Acquire(), kOk);
    EXPECT_EQ(Samples(0).size(), s.samples);
    EXPECT_EQ(Board().CountRequests(0xFD), 0u) << "a part never keeps the board busy";
  }
}

TEST_F(OscilloscopeAcquisitionTest, ReplyFaults) {
  struct Case {
    const char* what;
    sim::Fault fault;
    uint8_t errorFlags;
    int code;
    bool dataKept;
  } cases[] = {
      {"board error flags", {}, 0x4, kBoardErrorFlag, true},
      {"refused status", {sim::FaultKind::ErrorStatus, sim::FrameDefect::BadEnd, 0x01}, 0, kBadReply, false},
      {"header cut short", {sim::FaultKind::Truncate, sim::FrameDefect::BadEnd, 0, 7}, 0, kNoData, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Change([&](sim::BoardScenario& s) {
      s.oscErrorFlags = c.errorFlags;
      if (c.fault.kind != sim::FaultKind::None) s.commandFaults[0x11] = {c.fault, 1};
    });
    EXPECT_EQ(Acquire(), c.code);
    if (c.dataKept) {
      EXPECT_TRUE(AllEqual(Samples(0), kLevelA));
    }
    Change([](sim::BoardScenario& s) { s.oscErrorFlags = 0; });
  }
}

TEST_F(OscilloscopeAcquisitionTest, SaturationLimitsFollowRangeAndProbe) {
  int16_t positive = 0, negative = 0;
  ASSERT_EQ(Osc().SetRangeIndex(0, 0), kOk);
  ASSERT_EQ(Osc().ReadSaturationData(0, &positive, &negative), kOk);
  EXPECT_EQ(positive, 31616);
  EXPECT_EQ(negative, -31875);
  ProbeDescriptor clamp{2, 1, 5, 1, 125, -2, (2 << 16) | 7};
  ASSERT_EQ(Osc().ConvertValue(1, 6, clamp, &positive, &negative), kOk);
  EXPECT_EQ(positive, 32767);  // 1.08445 x 31232 passes the 16-bit range and is held at its top
  EXPECT_EQ(Osc().ConvertValue(0, 10, clamp, &positive, &negative), kBadArgument);
  EXPECT_EQ(Osc().ReadSaturationData(2, &positive, &negative), kBadArgument);
  clamp.probeClass = 2;
  EXPECT_EQ(Osc().ConvertValue(0, 1, clamp, &positive, &negative), kNoData);
}

// ---- recording into board memory ----------------------------------------------------------------

class OscilloscopeRecordingTest : public OscilloscopeAcquisitionTest {
 protected:
  void SetUp() override {
    OscilloscopeAcquisitionTest::SetUp();
    Osc().SetSampleRateIndex(8);  // 10 kS/s
  }
};

TEST_F(OscilloscopeRecordingTest, StopReportsTheCountAndChunksAreReadBackUntilProgress100) {
  struct Case {
    const char* what;
    int32_t modeA, modeB;
    uint64_t recordMs;
    uint32_t expected;  // samples the library expects (both channels for A and B)
    size_t chunks;
  } cases[] = {
      {"A", 1, 0, 350, 3500, 4},
      {"B", 0, 1, 100, 1000, 1},
      {"A and B", 1, 1, 250, 5000, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetChannels(c.modeA, c.modeB);
    ASSERT_EQ(Osc().CheckSettings(), kOk);
    kvp::ClockAdvance(c.recordMs);
    uint32_t recorded = 0;
    ASSERT_EQ(Osc().StopMeasurement(&recorded), kOk);
    EXPECT_EQ(recorded, c.expected);
    EXPECT_EQ(LastRequest(0x11), (Bytes{0x11, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(BoardMode(), 0);

    Board().ClearLog();
    std::vector<int16_t> samples(10000);
    uint32_t count = 0;
    uint8_t done = 0;
    ASSERT_EQ(Osc().WaitData(static_cast<uint32_t>(samples.size()), samples.data(), &count, &done), kOk);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(count, c.expected);
    EXPECT_EQ(Board().CountRequests(0x11), c.chunks);
    EXPECT_EQ(LastRequest(0x11), (Bytes{0x11, 0, 0, 0, 0, 0, 0x03, 0xE8}));
    EXPECT_EQ(LastReplyByte(7), 100) << "progress";
    for (uint32_t i = 0; i < count; ++i) {
      const bool channelA = c.modeA && (!c.modeB || i % 2 == 0);
      ASSERT_EQ(samples[i], channelA ? kLevelA : kLevelB) << i;
    }
    EXPECT_EQ(Osc().WaitData(static_cast<uint32_t>(samples.size()), samples.data(), &count, &done), kNoData)
        << "nothing more expected";
  }
}

TEST_F(OscilloscopeRecordingTest, ReadBackOverSeveralCalls) {
  ASSERT_EQ(Osc().CheckSettings(), kOk);
  kvp::ClockAdvance(450);
  uint32_t recorded = 0;
  ASSERT_EQ(Osc().StopMeasurement(&recorded), kOk);
  ASSERT_EQ(recorded, 4500u);
  std::vector<int16_t> samples(2500);
  uint32_t total = 0, count = 0;
  uint8_t done = 0;
  std::vector<uint32_t> counts;
  while (!done) {
    ASSERT_EQ(Osc().WaitData(2500, samples.data(), &count, &done), kOk);
    counts.push_back(count);
    total += count;
    ASSERT_LE(counts.size(), 5u);
  }
  EXPECT_EQ(counts, (std::vector<uint32_t>{2000, 2000, 500}));
  EXPECT_EQ(total, 4500u);
}

TEST_F(OscilloscopeRecordingTest, ReadBackNeverWritesPastTheCapacity) {
  // Armed with both channels, channel B switched off before the read-back: the chunks still
  // carry both channels, 2000 samples each.
  SetChannels(1, 1);
  ASSERT_EQ(Osc().CheckSettings(), kOk);
  kvp::ClockAdvance(500);
  uint32_t recorded = 0;
  ASSERT_EQ(Osc().StopMeasurement(&recorded), kOk);
  ASSERT_EQ(recorded, 10000u);
  ASSERT_EQ(Osc().SetChannelMode(1, 0), kOk);
  uint8_t done = 0;
  EXPECT_EQ(ReadBackWithinCapacity(Osc(), 3000, &done), 2000u) << "one chunk of both channels fits 3000, a second does not";
  EXPECT_EQ(done, 0);
  EXPECT_EQ(ReadBackWithinCapacity(Osc(), 3000, &done), 2000u);
}

TEST_F(OscilloscopeRecordingTest, RefusalsAndUnbelievableCounts) {
  std::vector<int16_t> samples(3000);
  uint32_t count = 0;
  uint8_t done = 0;
  Board().ClearLog();
  EXPECT_EQ(Osc().StopMeasurement(&count), kNotStarted);
  EXPECT_TRUE(Board().RequestPayloads().empty());

  // Capacity 1999 is refused; 3000 with both channels takes one chunk of 2000.
  SetChannels(1, 1);
  ASSERT_EQ(Osc().CheckSettings(), kOk);
  kvp::ClockAdvance(500);
  ASSERT_EQ(Osc().StopMeasurement(&count), kOk);
  EXPECT_EQ(Osc().WaitData(1999, samples.data(), &count, &done), kBufferTooSmall);
  ASSERT_EQ(Osc().WaitData(3000, samples.data(), &count, &done), kOk);
  EXPECT_EQ(count, 2000u);
  EXPECT_EQ(done, 0);

  // More than 400000 samples is not believed: nothing to read back.
  Change([](sim::BoardScenario& s) { s.recordingMemory = 2000000; });
  SetChannels(1, 0);
  Osc().SetSampleRateIndex(10);  // 50 kS/s
  ASSERT_EQ(Osc().CheckSettings(), kOk);
  kvp::ClockAdvance(9000);
  ASSERT_EQ(Osc().StopMeasurement(&count), kOk);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(Osc().WaitData(3000, samples.data(), &count, &done), kNoData);

  // A stop reply without its four count bytes.
  ASSERT_EQ(Osc().CheckSettings(), kOk);
  Change([](sim::BoardScenario& s) {
    s.commandFaults[0x11] = {{sim::FaultKind::Truncate, sim::FrameDefect::BadEnd, 0, 11}, 1};
  });
  EXPECT_EQ(Osc().StopMeasurement(&count), kNoData);
}

}  // namespace
}  // namespace kv310::testing
