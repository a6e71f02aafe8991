// The board oscilloscope's settings and the 16-byte set-up they give, against the board model.
#include "BoardInstrumentFixture.h"

#include <functional>
#include <utility>
#include <vector>

namespace kv310::testing {
namespace {

using sim::Bytes;

class OscilloscopeSetupTest : public BoardInstrumentFixture {
 protected:
  void SetUp() override {
    BoardInstrumentFixture::SetUp();
    // A sine on B as well, so that a trigger on either channel finds its edge.
    Change([](sim::BoardScenario& s) {
      s.instantAcquisition = true;
      s.channelSignals[1] = s.channelSignals[0];
    });
  }
};

ScaledValue Value(int32_t mantissa, int8_t exponent) { return ScaledValue{mantissa, exponent, {}}; }

// The set-up after Init: mode 0, 2000 S/s, A on (coupling 1, code 1), B off, auto trigger on the
// rising edge of A at level 0, position 256, sensitivity 0.1, type 0.
const Bytes kInitSetup = {0x10, 0x00, 0x01, 0x01, 0x00, 0x01, 0x02, 0x03, 0x01, 0x80, 0x80, 0x01, 0x00, 0x00, 0x12, 0x00};

TEST_F(OscilloscopeSetupTest, EveryByteOfTheSetupFollowsTheSettings) {
  using Osc2 = ImplementationOscilloscope_2;
  struct Case {
    const char* what;
    std::function<void(Osc2&)> change;
    std::vector<std::pair<int, uint8_t>> bytes;  // set-up bytes that differ from kInitSetup
  } cases[] = {
      {"settings of Init", [](Osc2&) {}, {}},
      {"acquisition mode 1", [](Osc2& o) { o.SetAcquisitionMode(1); }, {{1, 1}}},
      {"fastest rate", [](Osc2& o) { o.SetSampleRateIndex(17); }, {{6, 1}, {7, 7}}},
      {"slowest rate", [](Osc2& o) { o.SetSampleRateIndex(0); }, {{6, 2}, {7, 1}}},
      {"500 S/s", [](Osc2& o) { o.SetSampleRateIndex(4); }, {{6, 5}, {7, 2}}},
      {"lowest range", [](Osc2& o) { o.SetRangeIndex(0, 9); }, {{2, 3}, {3, 100}}},
      {"range 2 keeps the high coupling", [](Osc2& o) { o.SetRangeIndex(0, 2); }, {{2, 1}, {3, 5}}},
      {"A off keeps its coupling, B on the second coupling",
       [](Osc2& o) {
         o.SetChannelMode(0, 0);
         o.SetChannelMode(1, 2);
         o.SetRangeIndex(1, 5);
       },
       {{2, 1}, {3, 1}, {4, 4}, {5, 5}, {15, 1}}},
      {"both channels", [](Osc2& o) { o.SetChannelMode(1, 1); o.SetRangeIndex(1, 1); }, {{4, 1}, {5, 2}, {15, 2}}},
      {"no trigger", [](Osc2& o) { o.SetTriggerMode(0); }, {{8, 0x00}}},
      {"normal mode, falling edge, filter",
       [](Osc2& o) {
         o.SetTriggerMode(1);
         o.SetTriggerEdge(0);
         o.SetTriggerFilter(1);
       },
       {{8, 4}, {13, 0x01}}},
      {"trigger on channel B",
       [](Osc2& o) {
         o.SetChannelMode(1, 1);
         o.SetTriggerSource(0, 1);
       },
       {{4, 1}, {8, 5}, {9, 0x80}, {10, 128}, {15, 2}}},
      {"external source on B", [](Osc2& o) { o.SetTriggerSource(2, 1); }, {{8, 0x11}}},
      {"level 1 V on 80 V", [](Osc2& o) { o.SetRangeIndex(0, 2); o.SetTriggerLevel(Value(1, 0)); },
       {{3, 5}, {9, 129}}},
      {"level -1 V on 80 V truncates toward zero", [](Osc2& o) { o.SetRangeIndex(0, 2); o.SetTriggerLevel(Value(-1, 0)); },
       {{3, 5}, {9, 127}}},
      {"level beyond full scale", [](Osc2& o) { o.SetRangeIndex(0, 2); o.SetTriggerLevel(Value(5, 2)); },
       {{3, 5}, {9, 255}}},
      {"level below full scale", [](Osc2& o) { o.SetRangeIndex(0, 2); o.SetTriggerLevel(Value(-5, 2)); },
       {{3, 5}, {9, 0}}},
      {"source 1 gives both levels, each on its own range",
       [](Osc2& o) {
         o.SetChannelMode(1, 1);
         o.SetRangeIndex(0, 7);
         o.SetRangeIndex(1, 6);
         o.SetTriggerLevel(Value(1, 0));
         o.SetTriggerSource(1, 0);
       },
       {{2, 3}, {3, 20}, {4, 3}, {5, 10}, {9, 192}, {10, 160}, {15, 20}}},
      {"source 2 leaves both levels neutral", [](Osc2& o) { o.SetTriggerLevel(Value(1, 2)); o.SetTriggerSource(2, 0); },
       {{8, 0x10}}},
      {"position 999", [](Osc2& o) { o.SetTriggerPosition(999); }, {{11, 0x03}, {12, 0xE7}}},
      {"rolling mode 3 on A", [](Osc2& o) { o.SetTriggerMode(3); }, {{13, 0x10}, {15, 3}}},
      {"rolling mode 4 on B",
       [](Osc2& o) {
         o.SetChannelMode(1, 1);
         o.SetChannelMode(0, 0);
         o.SetTriggerMode(4);
       },
       {{4, 1}, {13, 0x11}, {15, 4}}},
      {"rolling mode 4 on both", [](Osc2& o) { o.SetChannelMode(1, 1); o.SetTriggerMode(4); },
       {{4, 1}, {13, 0x11}, {15, 5}}},
      {"source 1 is never rolled",
       [](Osc2& o) {
         o.SetChannelMode(1, 1);
         o.SetTriggerMode(4);
         o.SetTriggerSource(1, 0);
       },
       {{4, 1}, {10, 128}, {13, 0x11}, {15, 20}}},
      {"sensitivity 20", [](Osc2& o) { o.SetTriggerSensitivity(Value(2, 1)); }, {{14, 0x24}}},
      {"sensitivity 0.001", [](Osc2& o) { o.SetTriggerSensitivity(Value(1, -3)); }, {{14, 0x11}}},
      {"sensitivity 500", [](Osc2& o) { o.SetTriggerSensitivity(Value(5, 2)); }, {{14, 0x15}}},
      {"sensitivity 150 reduced to two digits", [](Osc2& o) { o.SetTriggerSensitivity(Value(150, 0)); }, {{14, 0xF4}}},
      {"sensitivity 1.5", [](Osc2& o) { o.SetTriggerSensitivity(Value(15, -1)); }, {{14, 0xF2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Board().ClearLog();
    ASSERT_EQ(Osc().Init(), kOk);
    c.change(Osc());
    ASSERT_EQ(Acquire(), kOk);
    Bytes expected = kInitSetup;
    for (const auto& [index, value] : c.bytes) expected[index] = value;
    EXPECT_EQ(LastRequest(0x10), expected);
    EXPECT_EQ(BoardMode(), 1);
  }
}

TEST_F(OscilloscopeSetupTest, ClampProbeScalesTheTriggerLevel) {
  Change([](sim::BoardScenario& s) { s.channelProbeCodes = {4, 3}; });  // 50 A clamp, factor 1.25
  ASSERT_EQ(Osc().Init(), kOk);
  ProbeDescriptor probe;
  ASSERT_EQ(Osc().GetProbeInfo(0, &probe), kOk);
  EXPECT_EQ(probe.kind, 2);
  ASSERT_EQ(Osc().SetRangeIndex(0, 2), kOk);
  Osc().SetTriggerLevel(Value(10, 0));
  uint8_t setup[16];
  Osc().BuildSetup(setup);
  EXPECT_EQ(setup[9], 140) << "128 x 10 / (80 x 1.25) + 128";
}

TEST_F(OscilloscopeSetupTest, RecordingArmsTypes17To19) {
  using Osc2 = ImplementationOscilloscope_2;
  struct Case {
    const char* what;
    std::function<void(Osc2&)> change;
    uint8_t type;
  } cases[] = {
      {"A", [](Osc2&) {}, 17},
      {"B", [](Osc2& o) { o.SetChannelMode(1, 1); o.SetChannelMode(0, 0); }, 18},
      {"both", [](Osc2& o) { o.SetChannelMode(1, 1); }, 19},
      {"both with source 1", [](Osc2& o) { o.SetChannelMode(1, 1); o.SetTriggerSource(1, 0); }, 19},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Osc().Init(), kOk);
    c.change(Osc());
    ASSERT_EQ(Osc().CheckSettings(), kOk);
    EXPECT_EQ(LastRequest(0x10).at(15), c.type);
    EXPECT_EQ(Osc().StartMeasurement(1000), kNotAllowed) << "armed";
    uint32_t count = 0;
    ASSERT_EQ(Osc().StopMeasurement(&count), kOk);
  }
}

TEST_F(OscilloscopeSetupTest, RecordingCheckRefusesSettingsItCannotRecord) {
  using Osc2 = ImplementationOscilloscope_2;
  struct Case {
    const char* what;
    std::function<void(Osc2&)> change;
    int code;
  } cases[] = {
      {"acquisition mode 1", [](Osc2& o) { o.SetAcquisitionMode(1); }, kAcquisitionModeRefused},
      {"rate index 11", [](Osc2& o) { o.SetSampleRateIndex(11); }, kSampleRateTooHigh},
      {"trigger mode 1", [](Osc2& o) { o.SetTriggerMode(1); }, kTriggerModeRefused},
      {"trigger mode 4", [](Osc2& o) { o.SetTriggerMode(4); }, kTriggerModeRefused},
      {"rate index 10, mode 0", [](Osc2& o) { o.SetSampleRateIndex(10); o.SetTriggerMode(0); }, kOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Osc().Init(), kOk);
    c.change(Osc());
    Board().ClearLog();
    EXPECT_EQ(Osc().CheckSettings(), c.code);
    EXPECT_EQ(Board().CountRequests(0x10), c.code == kOk ? 1u : 0u);
    uint32_t count = 0;
    EXPECT_EQ(Osc().StopMeasurement(&count), c.code == kOk ? kOk : kNotStarted);
  }
}

TEST_F(OscilloscopeSetupTest, SettersRefuseValuesOutsideTheirRange) {
  IOscilloscope_2& o = Osc();
  EXPECT_EQ(o.SetTriggerPosition(1000), kBadArgument);
  EXPECT_EQ(o.SetTriggerPosition(999), kOk);
  EXPECT_EQ(o.SetSampleRateIndex(18), kBadArgument);
  int32_t rates[19];
  EXPECT_EQ(o.GetSampleRates(19, rates), kBadArgument);
  ASSERT_EQ(o.GetSampleRates(18, rates), kOk);
  EXPECT_EQ(rates[0], 20);
  EXPECT_EQ(rates[4], 500);
  EXPECT_EQ(rates[17], 10000000);
  EXPECT_EQ(o.SetRangeIndex(0, 10), kBadArgument);
  EXPECT_EQ(o.SetRangeIndex(2, 0), kBadArgument);
  EXPECT_EQ(o.SetChannelMode(0, 3), kBadArgument);
  EXPECT_EQ(o.SetTriggerMode(5), kBadArgument);
  EXPECT_EQ(o.SetTriggerEdge(2), kBadArgument);
  EXPECT_EQ(o.SetTriggerSource(3, 0), kBadArgument);
  EXPECT_EQ(o.SetTriggerSource(0, 2), kBadArgument);
  EXPECT_EQ(o.SetTriggerFilter(2), kBadArgument);
  EXPECT_EQ(o.SetTriggerSensitivity(Value(0, 0)), kBadArgument);
  EXPECT_EQ(o.SetTriggerSensitivity(Value(-1, 0)), kBadArgument);
  EXPECT_EQ(o.SetAcquisitionMode(2), kBadArgument);
  EXPECT_EQ(o.StartMeasurement(0), kBadArgument);
  EXPECT_TRUE(Board().RequestPayloads().empty()) << "nothing reached the board";
}

TEST_F(OscilloscopeSetupTest, OnlyChangedSettingsConfigureAgainExceptTriggerMode4) {
  ASSERT_EQ(Osc().Init(), kOk);
  struct Step {
    const char* what;
    std::function<void()> change;
    bool configures;
  } steps[] = {
      {"nothing changed", [] {}, false},
      {"same rate again", [&] { Osc().SetSampleRateIndex(6); }, false},
      {"another rate", [&] { Osc().SetSampleRateIndex(7); }, true},
      {"trigger mode 4", [&] { Osc().SetTriggerMode(4); }, true},
      {"trigger mode 4 again", [&] { Osc().SetTriggerMode(4); }, true},
      {"another instrument took the board", [] { SetBoardMode(2); }, true},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.change();
    Board().ClearLog();
    ASSERT_EQ(Acquire(), kOk);
    EXPECT_EQ(Board().CountRequests(0x10), s.configures ? 1u : 0u);
  }
}

TEST_F(OscilloscopeSetupTest, StartAsksForAtMost1000Samples) {
  ASSERT_EQ(Osc().Init(), kOk);
  struct Case {
    uint32_t count;
    Bytes request;
  } cases[] = {{5000, {0x11, 0, 0, 0, 0, 0x00, 0x03, 0xE8}}, {1, {0x11, 0, 0, 0, 0, 0, 0, 1}}};
  for (const Case& c : cases) {
    ASSERT_EQ(Acquire(c.count), kOk);
    EXPECT_EQ(LastRequest(0x11), c.request);
  }
}

TEST_F(OscilloscopeSetupTest, SetAllAppliesFieldsInOrderAndStopsAtTheFirstRefusal) {
  ASSERT_EQ(Osc().Init(), kOk);
  OscChannelSetting channels[2] = {{1, 3}, {2, 4}};
  OscSettings s{};
  s.acquisitionMode = 1;
  s.sampleRateIndex = 9;
  s.triggerPosition = 500;
  s.triggerMode = 1;
  s.triggerLevel = Value(2, 0);
  s.triggerEdge = 0;
  s.triggerSource = 0;
  s.triggerSourceChannel = 1;
  s.triggerFilter = 1;
  s.triggerSensitivity = Value(5, -1);
  s.channelCount = 2;
  s.channels = channels;
  ASSERT_EQ(Osc().SetAll(s), kOk);
  OscSettings read{};
  OscChannelSetting readChannels[2] = {};
  ASSERT_EQ(Osc().GetAll(&read, 2, readChannels), kOk);
  EXPECT_EQ(read.acquisitionMode, 1);
  EXPECT_EQ(read.sampleRateIndex, 9);
  EXPECT_EQ(read.triggerPosition, 500u);
  EXPECT_EQ(read.triggerSourceChannel, 1);
  EXPECT_EQ(read.triggerSensitivity.mantissa, 5);
  EXPECT_EQ(readChannels[1].mode, 2);
  EXPECT_EQ(readChannels[1].rangeIndex, 4);

  // A bad trigger position: the channels and rate before it are taken, the edge after it is not.
  channels[0] = {2, 5};
  s.sampleRateIndex = 3;
  s.triggerPosition = 1000;
  s.triggerEdge = 1;
  EXPECT_EQ(Osc().SetAll(s), kBadArgument);
  ASSERT_EQ(Osc().GetAll(&read, 2, readChannels), kOk);
  EXPECT_EQ(readChannels[0].rangeIndex, 5);
  EXPECT_EQ(read.sampleRateIndex, 3);
  EXPECT_EQ(read.triggerPosition, 500u);
  EXPECT_EQ(read.triggerEdge, 0);

  EXPECT_EQ(Osc().GetAll(&read, 3, readChannels), kBadArgument);
}

TEST_F(OscilloscopeSetupTest, ProbeWindowLimitsTheRange) {
  Change([](sim::BoardScenario& s) { s.channelProbeCodes = {4, 3}; });  // 50 A clamp: ranges 2..7
  ProbeDescriptor probe;
  ASSERT_EQ(Osc().GetProbeInfo(0, &probe), kOk);
  EXPECT_EQ(Osc().SetRangeIndex(0, 1), kOutsideProbeLimits);
  EXPECT_EQ(Osc().SetRangeIndex(0, 8), kOutsideProbeLimits);
  EXPECT_EQ(Osc().SetRangeIndex(0, 7), kOk);
  OscChannelSetting channels[1] = {{1, 0}};
  OscSettings s{};
  ASSERT_EQ(Osc().GetAll(&s, 0, nullptr), kOk);
  s.channelCount = 1;
  s.channels = channels;
  EXPECT_EQ(Osc().SetAll(s), kOutsideProbeLimits);
}

// A failed probe query leaves the channel's probe as it was, whatever the caller's record holds.
TEST_F(OscilloscopeSetupTest, FailedProbeQueryKeepsTheStoredProbe) {
  Change([](sim::BoardScenario& s) { s.channelProbeCodes = {4, 3}; });
  ProbeDescriptor probe;
  ASSERT_EQ(Osc().GetProbeInfo(0, &probe), kOk);
  ASSERT_EQ(Osc().SetRangeIndex(0, 2), kOk);

  Change([](sim::BoardScenario& s) {
    s.commandFaults[0xC1] = {{sim::FaultKind::ErrorStatus, sim::FrameDefect::BadEnd, 0x01}, 1};
  });
  probe = ProbeDescriptor{1, 0, 4, 2, 1, 0, 9};  // what a caller might hold: a plain lead
  EXPECT_EQ(Osc().GetProbeInfo(0, &probe), kBadReply);
  EXPECT_EQ(Osc().SetRangeIndex(0, 0), kOutsideProbeLimits) << "still the clamp's window";

  EXPECT_EQ(Osc().GetProbeInfo(2, &probe), kBadArgument);
  EXPECT_EQ(Osc().GetProbeInfo(0, nullptr), kBadArgument);
}

}  // namespace
}  // namespace kv310::testing
