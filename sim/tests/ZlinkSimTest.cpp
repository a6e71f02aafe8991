// The in-process link library, loaded by name the way the measurement library loads a link.
#include <sim/ZlinkSim.h>

#include <link/LinkBinding.h>

#include <platform/clock.h>
#include <platform/module.h>
#include <platform/sync.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace sim {
namespace {

class ZlinkSimTest : public testing::Test {
 protected:
  void SetUp() override {
    // By name in the build's bin folder, where the measurement library finds it beside itself.
    const char* bin = std::getenv("KV_BIN_DIR");
    const std::string name = bin ? std::string(bin) + "/" + kZlinkSimModule : kZlinkSimModule;
    module = LoadLibrary(name.c_str());
    ASSERT_NE(module, 0u) << name;
    ASSERT_TRUE(exports.Bind(module)) << "the seven link exports";
    const auto boardOf = kvlink::BindExport<ZlinkSimBoardProc>(module, kZlinkSimBoardExport);
    ASSERT_NE(boardOf, nullptr);
    board = boardOf();
    ASSERT_NE(board, nullptr);
    board->Reset();
  }
  void TearDown() override {
    if (exports.Deinit) exports.Deinit();
    if (kvp::ClockIsVirtual()) kvp::ClockUseVirtual(false);
    if (module) FreeLibrary(module);
  }
  void Start() {
    ASSERT_EQ(exports.Init("Software\\KELO\\Kv310", nullptr), 0);
    event = exports.GetEvent();
    ASSERT_NE(event, 0u);
  }
  int Send(const Bytes& payload) {
    const Bytes frame = BuildFrame(payload);
    return exports.Write(frame.data(), static_cast<int>(frame.size()));
  }
  Bytes ReadAll() {
    uint8_t buffer[4112];
    const int count = exports.Read(buffer, sizeof buffer);
    return Bytes(buffer, buffer + count);
  }
  bool Signalled() { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

  HMODULE module = 0;
  kvlink::LinkExportSet exports;
  BoardModel* board = nullptr;
  HANDLE event = 0;
};

TEST_F(ZlinkSimTest, OneEventPerReplyAndReadReturnsTheFrame) {
  Start();
  board->Update([](BoardScenario& s) { s.hardwareByte = 1; });
  const Bytes request{0x02, 0x02};
  EXPECT_EQ(Send(request), 7);
  EXPECT_TRUE(Signalled());
  EXPECT_FALSE(Signalled());  // auto-reset, set once
  EXPECT_EQ(ReadAll(), BuildFrame(Bytes{0x02, 0x00, 0x01}));
  EXPECT_EQ(ReadAll(), Bytes{});
  EXPECT_EQ(board->RequestPayloads(), std::vector<Bytes>{request});
}

TEST_F(ZlinkSimTest, ReadTakesAtMostWhatTheCallerAsks) {
  Start();
  Send({0xC1, 0x00});
  const Bytes frame = BuildFrame(Bytes{0xC1, 0x00, 3, 3});
  uint8_t part[3];
  ASSERT_EQ(exports.Read(part, 3), 3);
  EXPECT_TRUE(std::equal(part, part + 3, frame.begin()));
  EXPECT_EQ(ReadAll(), Bytes(frame.begin() + 3, frame.end()));
}

TEST_F(ZlinkSimTest, BusyThenPollThenReply) {
  Start();
  board->Update([](BoardScenario& s) { s.busy[0x02] = {1, true}; });
  Send({0x02, 0x02});
  ASSERT_TRUE(Signalled());
  const Bytes busy = ReadAll();
  ASSERT_EQ(busy.size(), 8u);
  EXPECT_EQ(busy[4], 0xFD);
  Send({0xFD, busy[5]});
  ASSERT_TRUE(Signalled());
  EXPECT_EQ(ReadAll(), BuildFrame(Bytes{0x02, 0x00, 0x00}));
}

TEST_F(ZlinkSimTest, FaultsAsTheHostSeesThem) {
  struct Case {
    FaultKind kind;
    bool event;
    Bytes bytes;
  };
  const Case cases[] = {
      {FaultKind::Nack, true, {0x01, 0x00, 0x00, 0x00, 0xFF, 0x02}},
      {FaultKind::Silence, false, {}},
      {FaultKind::EmptyEvent, true, {}},
      {FaultKind::Malformed, true, {0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x03}},
  };
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    board->Update([&c](BoardScenario& s) { s.commandFaults[0x01] = {Fault{c.kind, FrameDefect::BadEnd}, 1}; });
    Send({0x01, 0x40});
    EXPECT_EQ(Signalled(), c.event);
    EXPECT_EQ(ReadAll(), c.bytes);
  }
}

TEST_F(ZlinkSimTest, DelayedReplyArrivesAtItsDueTimeOnThePlatformClock) {
  Start();
  kvp::ClockUseVirtual(true);
  board->Update([](BoardScenario& s) { s.replyDelayMs = 700; });
  Send({0x02, 0x02});
  Send({0x01, 0x40});  // queued behind the first, in order
  EXPECT_FALSE(Signalled());
  kvp::ClockAdvance(699);
  EXPECT_FALSE(Signalled());
  kvp::ClockAdvance(1);
  ASSERT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
  // Both were due at the same time and arrive in request order; each complete reply sets the
  // event, so a reader that reads once per event never waits for bytes already there.
  Bytes expected = BuildFrame(Bytes{0x02, 0x00, 0x00});
  const Bytes second = BuildFrame(Bytes{0x01, 0x00});
  expected.insert(expected.end(), second.begin(), second.end());
  Bytes both = ReadAll();
  while (both.size() < expected.size() && WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) {
    const Bytes more = ReadAll();
    both.insert(both.end(), more.begin(), more.end());
  }
  EXPECT_EQ(both, expected);
}

TEST_F(ZlinkSimTest, DeinitDropsRepliesThatWereStillDue) {
  Start();
  kvp::ClockUseVirtual(true);
  board->Update([](BoardScenario& s) { s.replyDelayMs = 5000; });
  Send({0x02, 0x02});
  EXPECT_EQ(exports.Deinit(), 1);
  board->Update([](BoardScenario& s) { s.replyDelayMs = 0; });
  Start();
  kvp::ClockAdvance(6000);
  EXPECT_FALSE(Signalled());
  EXPECT_EQ(ReadAll(), Bytes{});
}

TEST_F(ZlinkSimTest, InitResultComesFromTheScenario) {
  board->Update([](BoardScenario& s) { s.linkInitResult = -17; });
  EXPECT_EQ(exports.Init("Software\\KELO\\Kv310", nullptr), -17);
  EXPECT_EQ(exports.GetEvent(), 0u);
  const Bytes frame = BuildFrame(Bytes{0x01, 0x40});
  EXPECT_EQ(exports.Write(frame.data(), static_cast<int>(frame.size())), 0);  // nothing started
  board->Update([](BoardScenario& s) { s.linkInitResult = 0; });
  Start();
  const LinkRecord record = board->Link();
  EXPECT_EQ(record.initCalls, 2);
  EXPECT_EQ(record.lastInitKey, "Software\\KELO\\Kv310");
  EXPECT_EQ(exports.Deinit(), 1);
  EXPECT_EQ(board->Link().deinitCalls, 1);
  EXPECT_EQ(exports.Write(frame.data(), static_cast<int>(frame.size())), 0);
}

TEST_F(ZlinkSimTest, BoardInformationOnlyOnceStarted) {
  HwSwInfo info;
  std::memset(&info, 0xAA, sizeof info);
  exports.GetHwSwInfo(&info);
  const HwSwInfo zero{};
  EXPECT_EQ(std::memcmp(&info, &zero, sizeof info), 0);
  Start();
  exports.GetHwSwInfo(&info);
  EXPECT_NE(info.boardId, 0);
  const HwSwInfo expected = board->Scenario().hwSwInfo;
  EXPECT_EQ(std::memcmp(&info, &expected, sizeof info), 0);
}

TEST_F(ZlinkSimTest, SerialBlocksizeIsRecorded) {
  EXPECT_EQ(exports.SetSerialBlocksize(59), 59);
  EXPECT_EQ(board->Link().serialBlocksize, 59);
}

TEST_F(ZlinkSimTest, BrokenRequestFramesAreIgnored) {
  Start();
  const Bytes broken = BuildMalformedFrame(Bytes{0x02, 0x02}, FrameDefect::BadEnd);
  EXPECT_EQ(exports.Write(broken.data(), static_cast<int>(broken.size())), static_cast<int>(broken.size()));
  EXPECT_FALSE(Signalled());
  EXPECT_TRUE(board->Requests().empty());
  EXPECT_EQ(board->Link().badFrames, 1);
}

TEST_F(ZlinkSimTest, CControlSetsScenarioKnobs) {
  const auto set = kvlink::BindExport<ZlinkSimSetProc>(module, kZlinkSimSetExport);
  struct Case {
    const char* knob;
    double value;
    bool (*applied)(const BoardScenario&);
  } cases[] = {
      {"engineTester", 1, [](const BoardScenario& s) { return s.engineTesterAttached; }},
      {"identity", 23, [](const BoardScenario& s) { return s.engineTesterIdentity == 23; }},
      {"probe6", 0, [](const BoardScenario& s) { return s.inputProbeCodes[6] == 0; }},
      {"probe9", 300, [](const BoardScenario& s) { return s.inputProbeCodes[9] == 255; }},  // held to a byte
      {"rpm", 3000, [](const BoardScenario& s) { return s.engine.rpm == 3000.0; }},
      {"advance", 12.5, [](const BoardScenario& s) { return s.engine.advanceDegrees == 12.5; }},
      {"dwell", 40, [](const BoardScenario& s) { return s.engine.dwellPercent == 40.0; }},
      {"temperature", 85, [](const BoardScenario& s) { return s.engine.temperatureCelsius == 85.0; }},
      {"probeButton", 1, [](const BoardScenario& s) { return s.engine.probeButton; }},
      {"silent", 1, [](const BoardScenario& s) { return s.commandFaults.size() == 256; }},
      {"silent", 0, [](const BoardScenario& s) { return s.commandFaults.empty(); }},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(set(c.knob, c.value), 0) << c.knob;
    EXPECT_TRUE(c.applied(board->Scenario())) << c.knob;
  }
  EXPECT_EQ(set("probe10", 1), -1);
  EXPECT_EQ(set("volume", 1), -1);
  EXPECT_EQ(set(nullptr, 1), -1);
}

}  // namespace
}  // namespace sim
