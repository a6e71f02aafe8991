// The probe commands the engine-tester instruments share, against the board model.
#include "CommandSet.h"
#include "LinkFixture.h"
#include "LinkRequest.h"
#include "ProbeTable.h"
#include "instruments/ImplementationMotortester_6.h"

#include <kv310/ResultCodes.h>

namespace kv310::testing {
namespace {

using sim::Bytes;
using sim::FaultKind;

class CommandSetTest : public LinkFixture {
 protected:
  void AttachEngineTester(bool attached) {
    Board().Update([&](sim::BoardScenario& s) { s.engineTesterAttached = attached; });
  }
  ImplementationMotortester_6& Tester() { return *EngineTester(); }
};

TEST_F(CommandSetTest, SelectProbes) {
  const uint8_t inputs[10] = {4, 9, 8, 0, 1, 2, 3, 5, 6, 7};
  struct Case {
    const char* what;
    bool attached;
    const uint8_t* inputs;
    int count;
    int code;
    bool sent;
  } cases[] = {
      {"engine tester present", true, inputs, 3, kOk, true},
      {"nine inputs", true, inputs, 9, kOk, true},
      {"ten inputs", true, inputs, 10, kBadArgument, false},
      {"no list", true, nullptr, 1, kBadArgument, false},
      {"engine tester absent", false, inputs, 3, kNoEngineTester, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Board().ClearLog();
    AttachEngineTester(c.attached);
    EngineState().SetFirmwareChecked(true);
    EngineState().SetEngineTesterReady(!c.attached);
    EXPECT_EQ(SelectProbes(c.inputs, c.count), c.code);
    const auto requests = Board().RequestPayloads();
    if (!c.sent) {
      EXPECT_TRUE(requests.empty());
      continue;
    }
    ASSERT_EQ(requests.size(), 1u);
    Bytes expected = {0xC0, static_cast<uint8_t>(c.count)};
    expected.insert(expected.end(), c.inputs, c.inputs + c.count);
    EXPECT_EQ(requests[0], expected);
    EXPECT_EQ(EngineState().EngineTesterReady(), c.attached);
    EXPECT_EQ(EngineState().FirmwareChecked(), c.attached) << "a board without the module clears both flags";
  }
}

TEST_F(CommandSetTest, QueryProbesReportsOneDescriptorPerInput) {
  AttachEngineTester(true);
  const uint8_t all[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  ProbeDescriptor probes[10] = {};
  ASSERT_EQ(QueryProbes(all, 10, probes), kOk) << "ten inputs are accepted";
  const int kinds[10] = {1, 1, 2, 3, 11, 6, 8, 9, 7, 13};  // the board's default input codes
  for (int i = 0; i < 10; ++i) EXPECT_EQ(probes[i].kind, kinds[i]) << "input " << i;
  EXPECT_EQ(ReferenceProbeCode(), 110) << "code 36 on input 4";
  EXPECT_TRUE(EngineState().EngineTesterReady());
  EXPECT_EQ(Board().RequestPayloads().back(), (Bytes{0xC2, 0x8A, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

  const uint8_t three[3] = {4, 9, 8};
  ASSERT_EQ(QueryProbes(three, 3, probes), kOk);
  EXPECT_EQ(probes[0].kind, 11);
  EXPECT_EQ(probes[1].kind, 13);
  EXPECT_EQ(probes[2].kind, 7);
}

TEST_F(CommandSetTest, QueryProbesRefusals) {
  const uint8_t inputs[11] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0};
  struct Case {
    const char* what;
    bool attached;
    int count;
    sim::Fault fault;
    int code;
  } cases[] = {
      {"eleven inputs", true, 11, {}, kBadArgument},
      {"engine tester absent", false, 3, {}, kNoEngineTester},
      {"error status with bit 7", true, 3, {FaultKind::ErrorStatus, sim::FrameDefect::BadEnd, 0x81}, kBoardErrorStatus},
      {"error status", true, 3, {FaultKind::ErrorStatus, sim::FrameDefect::BadEnd, 0x01}, kBadReply},
      {"reply without its last code", true, 3, {FaultKind::Truncate, sim::FrameDefect::BadEnd, 0, 7}, kBadReply},
      {"reply without its count", true, 3, {FaultKind::Truncate, sim::FrameDefect::BadEnd, 0, 4}, kBadReply},
      {"reply of three bytes", true, 3, {FaultKind::Truncate, sim::FrameDefect::BadEnd, 0, 3}, kBadReply},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AttachEngineTester(c.attached);
    Board().Update([&](sim::BoardScenario& s) { s.commandFaults[0xC2] = {c.fault, 1}; });
    ProbeDescriptor probes[11];
    for (ProbeDescriptor& p : probes) p.kind = 99;
    EXPECT_EQ(QueryProbes(inputs, c.count, probes), c.code);
    for (const ProbeDescriptor& p : probes) EXPECT_EQ(p.kind, 99) << "no descriptor is written";
  }
  ProbeDescriptor probe;
  EXPECT_EQ(QueryProbes(nullptr, 1, &probe), kBadArgument);
  EXPECT_EQ(QueryProbes(inputs, 1, nullptr), kBadArgument);
}

TEST_F(CommandSetTest, GetChannelProbe) {
  struct Case {
    bool attached;
    int channel;
    int code;
    int kind;
  } cases[] = {
      {false, 0, kOk, 1},  // 400 V lead on channel A
      {false, 1, kOk, 2},  // 50 A clamp on channel B
      {true, 0, kOk, 4},   // with the engine tester, channel A reports the module
      {false, 2, kBadArgument, 99},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.channel);
    Board().Update([&](sim::BoardScenario& s) {
      s.engineTesterAttached = c.attached;
      s.channelProbeCodes = {3, 4};
    });
    EngineState().SetFirmwareChecked(false);
    EngineState().SetEngineTesterReady(false);
    ProbeDescriptor probe{};
    probe.kind = 99;
    EXPECT_EQ(GetChannelProbe(c.channel, &probe), c.code);
    EXPECT_EQ(probe.kind, c.kind);
    EXPECT_FALSE(EngineState().EngineTesterReady()) << "the channel query leaves the engine-tester flags alone";
  }
  EXPECT_EQ(GetChannelProbe(0, nullptr), kBadArgument);
  Board().Update([](sim::BoardScenario& s) { s.commandFaults[0xC1] = {{FaultKind::Truncate, sim::FrameDefect::BadEnd, 0, 3}, 1}; });
  ProbeDescriptor probe{};
  EXPECT_EQ(GetChannelProbe(1, &probe), kBadReply);
}

TEST_F(CommandSetTest, LinkStateCodesBeforeAndAfterARequest) {
  int code = -1;
  EXPECT_TRUE(CheckLinkReady(&code));
  EXPECT_EQ(code, kOk);
  EXPECT_FALSE(TakeLinkError(&code));
  m_link->Stop();
  EXPECT_FALSE(CheckLinkReady(&code));
  EXPECT_EQ(code, kLinkNotStarted);
  ProbeDescriptor probe{};
  EXPECT_EQ(GetChannelProbe(0, &probe), kLinkNotStarted);
  EXPECT_TRUE(Board().RequestPayloads().empty());
}

}  // namespace
}  // namespace kv310::testing

namespace kv310::testing {
namespace {

class ConfigurationTest : public CommandSetTest {};

TEST_F(ConfigurationTest, ReportsTheProbesOfTheSelectedInputs) {
  AttachEngineTester(true);
  const uint8_t inputs[3] = {4, 9, 8};
  ASSERT_EQ(SelectProbes(inputs, 3), kOk);
  const ConfigurationRecord& record = GetConfigurationRecord(28);
  ASSERT_EQ(SendConfiguration(record.bytes, true, inputs, 3, 20), kOk);
  Bytes sent(record.bytes, record.bytes + 11);
  sent[1] |= 0x80;
  EXPECT_EQ(Board().RequestPayloads().back(), sent);
  EXPECT_EQ(EngineState().InputDescriptor(4).kind, 11);
  EXPECT_EQ(EngineState().InputDescriptor(9).kind, 13);
  EXPECT_EQ(EngineState().InputDescriptor(8).kind, 7);
}

TEST_F(ConfigurationTest, RefusedOrShortReplies) {
  struct Case {
    const char* what;
    int inputCount;
    sim::Fault fault;
    int code;
  } cases[] = {
      {"another probe count", 2, {}, kBadReply},
      {"error status with bit 7", 3, {FaultKind::ErrorStatus, sim::FrameDefect::BadEnd, 0x82}, kBoardErrorStatus},
      {"error status", 3, {FaultKind::ErrorStatus, sim::FrameDefect::BadEnd, 0x02}, kBadReply},
      {"reply without its last code", 3, {FaultKind::Truncate, sim::FrameDefect::BadEnd, 0, 7}, kBadReply},
      {"reply without its count", 3, {FaultKind::Truncate, sim::FrameDefect::BadEnd, 0, 4}, kBadReply},
      {"refused", 3, {FaultKind::Nack}, kLinkError},
  };
  AttachEngineTester(true);
  const uint8_t inputs[3] = {4, 9, 8};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(SelectProbes(inputs, 3), kOk);
    for (uint8_t input : inputs) EngineState().StoreInputDescriptor(input, DescriptorOfKind(0));
    Board().Update([&](sim::BoardScenario& s) { s.commandFaults[0x61] = {c.fault, 1}; });
    EXPECT_EQ(SendConfiguration(GetConfigurationRecord(28).bytes, true, inputs, c.inputCount, 20), c.code);
    for (uint8_t input : inputs) EXPECT_EQ(EngineState().InputDescriptor(input).kind, 0) << "nothing is stored";
    if (c.code == kLinkError) {
      ASSERT_EQ(m_link->Recover(), kStateIdle);
    }
  }
}

}  // namespace
}  // namespace kv310::testing
