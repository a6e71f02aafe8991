#include <sim/BoardModel.h>

#include <platform/clock.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

namespace sim {
namespace {

constexpr uint8_t kChannelA = 3;   // "400V" test lead
constexpr uint8_t kChannelB = 132; // "50A " clamp
const Bytes kStopRecord{0x61, 0x00, 0x00, 0xC8, 0xE8, 0x48, 0x18, 0x00, 0x00, 0x00, 0x00};
const Bytes kArmingRecord{0x61, 0x8F, 0xC9, 0xC8, 0xE8, 0x48, 0x54, 0x32, 0x04, 0xF0, 0x01};

Bytes Text(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0x00);
  return bytes;
}
Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class BoardModelTest : public testing::Test {
 protected:
  void SetUp() override {
    board.Update([](BoardScenario& s) {
      s.channelProbeCodes = {kChannelA, kChannelB};
      s.inputProbeCodes = {3, 2, 4, 5, 84, 52, 68, 51, 35, 85};
      s.leak.recordingPolls = 0;  // the leak recording answers at once here
    });
  }
  void AttachEngineTester(uint8_t identity) {
    board.Update([identity](BoardScenario& s) {
      s.engineTesterAttached = true;
      s.engineTesterIdentity = identity;
    });
  }
  Bytes Reply(const Bytes& request) {
    const BoardResponse response = board.Handle(request);
    EXPECT_EQ(response.outcome, Outcome::Reply);
    return response.payload;
  }
  BoardModel board;
};

struct ReplyCase {
  const char* name;
  bool engineTester;
  Bytes request;
  Bytes reply;
};

TEST_F(BoardModelTest, RepliesOfTheCommandSet) {
  const ReplyCase cases[] = {
      {"block size", false, {0x01, 0x40}, {0x01, 0x00}},
      {"block size, engine tester", true, {0x01, 0xF0}, {0x01, 0x00}},
      {"block size out of range", false, {0x01, 0x00}, {0x01, 0x01}},
      {"board status", false, {0x02, 0x02}, {0x02, 0x00, 0x00}},
      {"abort with nothing pending", false, {0x05}, {0x05, 0x00}},
      {"channel probes", false, {0xC1, 0x00}, {0xC1, 0x00, kChannelA, kChannelB}},
      {"channel probes, engine tester", true, {0xC1, 0x00}, {0xC1, 0x00, 23, kChannelB}},
      {"select probes without engine tester", false, {0xC0, 0x03, 4, 9, 8}, {0xC0, 0x00, kChannelA}},
      {"select probes", true, {0xC0, 0x03, 4, 9, 8}, {0xC0, 0x00, 23}},
      {"select ten probes", true, {0xC0, 0x0A, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0xC0, 0x01, 23}},
      {"query probes without engine tester", false, {0xC2, 0x83, 4, 9, 8}, {0xC2, 0x00, kChannelA, 0x00, 0x00}},
      {"query probes", true, {0xC2, 0x83, 4, 9, 8}, {0xC2, 0x00, 23, 0x00, 3, 84, 85, 35}},
      {"query ten probes", true, {0xC2, 0x8A, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
       {0xC2, 0x00, 23, 0x00, 10, 3, 2, 4, 5, 84, 52, 68, 51, 35, 85}},
      {"query input beyond the ten", true, {0xC2, 0x81, 12}, {0xC2, 0x00, 23, 0x00, 1, 0}},
      {"query shorter than its count", true, {0xC2, 0x83, 4}, {0xC2, 0x01, 23, 0x00, 0x00}},
      {"stop record without engine tester", false, kStopRecord, {0x61, 0x00, 0x00, 0x00, 0x00}},
      {"short configuration", true, {0x61, 0x80}, {0x61, 0x01, 0x00, 0x00, 0x00}},
      {"firmware version", true, {0x60, 0x01}, Concat({0x60, 0x01, 0x00, 0x00}, Text("Version 1.00"))},
      {"firmware version without engine tester", false, {0x60, 0x01}, {0x60, 0x01, 0x01, 0x00}},
      {"download without engine tester", false, {0x60, 0x04}, {0x60, 0x04, 0x01, 0x00}},
      {"leave download", true, {0x60, 0x05}, {0x60, 0x05, 0x00, 0, 0, 0, 0, 0, 0}},
      {"set-up", false, {0x10, 0x01, 0x01, 0x01}, {0x10, 0x00, kChannelA, 0x00}},
      {"meter start without engine tester", false, {0x40, 0x09}, {0x40, 0x00, kChannelA, 0x00}},
      {"meter start", true, {0x40, 0x09}, {0x40, 0x00, 23, 0x00}},
      {"engine-tester oscilloscope without engine tester", false, {0x12, 0x00}, {0x12, 0x01}},
      {"unknown command", false, {0x7E, 0x01, 0x02}, {0x7E, 0x01}},
      {"unknown command, engine tester", true, {0xA5}, {0xA5, 0x01}},
  };
  for (const ReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    board.Reset();
    SetUp();
    if (c.engineTester) AttachEngineTester(23);
    EXPECT_EQ(Reply(c.request), c.reply);
  }
}

TEST_F(BoardModelTest, HardwareByteIsReportedByBoardStatus) {
  for (uint8_t hw : {0, 1, 7}) {
    board.Update([hw](BoardScenario& s) { s.hardwareByte = hw; });
    EXPECT_EQ(Reply({0x02, 0x02}), (Bytes{0x02, 0x00, hw}));
  }
}

// Every reply that carries an identity carries the module's own code when the engine tester is
// attached, and channel A's code (no module) when it is not.
TEST_F(BoardModelTest, IdentityInEveryIdentityCarryingReply) {
  const Bytes requests[] = {
      {0x10, 0x01}, {0x11, 0x00, 0, 0, 0, 0, 0x03, 0xE8}, {0x20, 0x00}, {0x21, 0x00}, {0x22, 0x00},
      {0x30, 0x00}, {0x31, 0x00}, {0x40, 0x00}, {0x41, 0x00}, {0xC0, 0x01, 4}, {0xC1, 0x00}, {0xC2, 0x81, 4},
  };
  for (uint8_t identity : {7, 23, 0}) {
    board.Reset();
    SetUp();
    if (identity != 0) AttachEngineTester(identity);
    const uint8_t expected = identity != 0 ? identity : kChannelA;
    for (const Bytes& request : requests) {
      SCOPED_TRACE(testing::Message() << "identity " << int(identity) << " command " << std::hex << int(request[0]));
      const Bytes reply = Reply(request);
      ASSERT_GE(reply.size(), 3u);
      EXPECT_EQ(reply[0], request[0]);
      EXPECT_EQ(reply[1], 0x00);
      EXPECT_EQ(reply[2], expected);
    }
  }
}

// The board never refuses or ignores a command it does not support: every command byte gets a
// well-formed, non-busy reply, with and without the engine tester.
TEST_F(BoardModelTest, NeverRefusesOrIgnoresACommand) {
  for (bool engineTester : {false, true}) {
    board.Update([engineTester](BoardScenario& s) { s.engineTesterAttached = engineTester; });
    for (int command = 0; command < 256; ++command) {
      if (command == 0xFD) continue;  // the poll answers for a request held behind busy replies
      SCOPED_TRACE(testing::Message() << "command " << std::hex << command << " engine tester " << engineTester);
      for (const Bytes& request : {Bytes{uint8_t(command)}, Bytes{uint8_t(command), 0x00, 0x00}}) {
        const BoardResponse response = board.Handle(request);
        ASSERT_EQ(response.outcome, Outcome::Reply);
        ASSERT_FALSE(response.payload.empty());
        EXPECT_EQ(response.payload[0], command == 0xFF ? 0x00 : command);
      }
    }
  }
}

TEST_F(BoardModelTest, ConfigurationReportsTheProbesOfTheLastSelection) {
  AttachEngineTester(7);
  EXPECT_EQ(Reply(kArmingRecord), (Bytes{0x61, 0x00, 0x00, 0x00, 0x00}));  // nothing selected yet
  Reply({0xC0, 0x03, 4, 9, 8});
  EXPECT_EQ(Reply(kArmingRecord), (Bytes{0x61, 0x00, 0x00, 0x00, 3, 84, 85, 35}));
  Reply({0xC0, 0x01, 2});
  EXPECT_EQ(Reply(kArmingRecord), (Bytes{0x61, 0x00, 0x00, 0x00, 1, 4}));
  // A probe changed between selection and configuration is reported as it is now.
  board.Update([](BoardScenario& s) { s.inputProbeCodes[2] = 5; });
  EXPECT_EQ(Reply(kArmingRecord), (Bytes{0x61, 0x00, 0x00, 0x00, 1, 5}));
  // A refused selection (more than nine inputs) keeps the previous one.
  Reply({0xC0, 0x0A, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_EQ(Reply(kArmingRecord), (Bytes{0x61, 0x00, 0x00, 0x00, 1, 5}));
  const BoardState state = board.State();
  EXPECT_TRUE(state.configured);
  EXPECT_TRUE(std::equal(kArmingRecord.begin(), kArmingRecord.end(), state.lastConfiguration.begin()));
}

TEST_F(BoardModelTest, BusyRepliesThenTheReplyAfterThePolls) {
  struct Case {
    int polls;
    bool abortable;
  };
  for (const Case& c : {Case{1, true}, Case{3, false}}) {
    SCOPED_TRACE(c.polls);
    board.Reset();
    board.Update([c](BoardScenario& s) { s.busy[0x02] = {c.polls, c.abortable}; });
    BoardResponse response = board.Handle(Bytes{0x02, 0x02});
    ASSERT_EQ(response.outcome, Outcome::Busy);
    ASSERT_EQ(response.payload.size(), 3u);
    EXPECT_EQ(response.payload[2], c.abortable ? 0x00 : 0x01);
    const uint8_t token = response.payload[1];
    for (int poll = 1; poll < c.polls; ++poll) {
      response = board.Handle(Bytes{0xFD, token});
      EXPECT_EQ(response.outcome, Outcome::Busy);
      EXPECT_EQ(response.payload, (Bytes{0xFD, token, uint8_t(c.abortable ? 0x00 : 0x01)}));
    }
    EXPECT_EQ(Reply({0xFD, token}), (Bytes{0x02, 0x00, 0x00}));
    EXPECT_EQ(board.CountRequests(0xFD), size_t(c.polls));
  }
}

TEST_F(BoardModelTest, AbortEndsTheHeldRequestAndAnswersAtOnce) {
  board.Update([](BoardScenario& s) { s.busy[0x11] = {5, true}; });
  const BoardResponse busy = board.Handle(Bytes{0x11, 0x00, 0, 0, 0, 0, 0x03, 0xE8});
  ASSERT_EQ(busy.outcome, Outcome::Busy);
  EXPECT_EQ(Reply({0x05}), (Bytes{0x05, 0x00}));
  EXPECT_FALSE(board.State().busyPending);
  // A poll for the aborted request finds nothing to continue.
  EXPECT_EQ(Reply({0xFD, busy.payload[1]}), (Bytes{0x00, 0x01}));
}

TEST_F(BoardModelTest, PollWithAnotherTokenDoesNotContinueTheRequest) {
  board.Update([](BoardScenario& s) { s.busy[0x02] = {1, true}; });
  const BoardResponse busy = board.Handle(Bytes{0x02, 0x02});
  ASSERT_EQ(busy.outcome, Outcome::Busy);
  EXPECT_EQ(Reply({0xFD, uint8_t(busy.payload[1] + 1)}), (Bytes{0x00, 0x01}));
  EXPECT_EQ(Reply({0xFD, busy.payload[1]}), (Bytes{0x02, 0x00, 0x00}));
}

TEST_F(BoardModelTest, HandlerBusyPlanHoldsTheReplyBehindPolls) {
  // A new request ends a held one; its own busy plan starts afresh.
  board.Update([](BoardScenario& s) { s.busy[0x21] = {2, false}; });
  const BoardResponse first = board.Handle(Bytes{0x21, 0x00});
  ASSERT_EQ(first.outcome, Outcome::Busy);
  EXPECT_EQ(Reply({0xC1, 0x00}), (Bytes{0xC1, 0x00, kChannelA, kChannelB}));
  EXPECT_EQ(Reply({0xFD, first.payload[1]}), (Bytes{0x00, 0x01}));
}

TEST_F(BoardModelTest, FaultOnRequestK) {
  struct Case {
    FaultKind kind;
    Outcome outcome;
    bool carriedOut;  // whether the C0 selection took effect
  };
  const Case cases[] = {
      {FaultKind::Nack, Outcome::Nack, false},
      {FaultKind::Silence, Outcome::Silence, false},
      {FaultKind::EmptyEvent, Outcome::EmptyEvent, false},
      {FaultKind::Malformed, Outcome::Malformed, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    board.Reset();
    SetUp();
    AttachEngineTester(7);
    board.Update([&c](BoardScenario& s) { s.faultOnRequest[2] = Fault{c.kind, FrameDefect::BadStart}; });
    EXPECT_EQ(board.Handle(Bytes{0xC1, 0x00}).outcome, Outcome::Reply);       // request 1
    const BoardResponse hit = board.Handle(Bytes{0xC0, 0x02, 4, 9});          // request 2
    EXPECT_EQ(hit.outcome, c.outcome);
    switch (c.outcome) {
      case Outcome::Nack:
        EXPECT_EQ(hit.Frame(), (Bytes{0x01, 0x00, 0x00, 0x00, 0xFF, 0x02}));
        break;
      case Outcome::Malformed:
        EXPECT_EQ(hit.Frame().front(), 0x03);
        break;
      default:
        EXPECT_TRUE(hit.Frame().empty());
    }
    EXPECT_EQ(board.Handle(Bytes{0xC1, 0x00}).outcome, Outcome::Reply);  // request 3
    EXPECT_EQ(board.State().selectedInputs.size(), c.carriedOut ? 2u : 0u);
    const auto log = board.Requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].outcome, c.outcome);
  }
}

TEST_F(BoardModelTest, CommandFaultsHitAsOftenAsAsked) {
  AttachEngineTester(7);
  board.Update([](BoardScenario& s) {
    s.commandFaults[0xC2] = {Fault{FaultKind::ErrorStatus, FrameDefect::BadEnd, 0x81}, 1};
    s.commandFaults[0x02] = {Fault{FaultKind::Truncate, FrameDefect::BadEnd, 0, 2}, -1};
  });
  const Bytes query{0xC2, 0x81, 4};
  EXPECT_EQ(Reply(query), (Bytes{0xC2, 0x81, 7, 0x00, 1, 84}));
  EXPECT_EQ(Reply(query), (Bytes{0xC2, 0x00, 7, 0x00, 1, 84}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Reply({0x02, 0x02}), (Bytes{0x02, 0x00}));
}

TEST_F(BoardModelTest, FaultsDamageTheAnswerToTheRequestTheyHit) {
  board.Update([](BoardScenario& s) {
    s.busy[0x02] = {1, true};
    s.commandFaults[0x02] = {Fault{FaultKind::Truncate, FrameDefect::BadEnd, 0, 2}, 1};
    s.commandFaults[0xFD] = {Fault{FaultKind::ErrorStatus, FrameDefect::BadEnd, 0x05}, 1};
  });
  const BoardResponse busy = board.Handle(Bytes{0x02, 0x02});
  ASSERT_EQ(busy.outcome, Outcome::Busy);
  ASSERT_EQ(busy.payload.size(), 2u);  // a busy reply without its abort byte
  EXPECT_EQ(Reply({0xFD, busy.payload[1]}), (Bytes{0x02, 0x05, 0x00}));
}

TEST_F(BoardModelTest, ReplyDelayGoesWithEveryAnswer) {
  board.Update([](BoardScenario& s) {
    s.replyDelayMs = 900;
    s.faultOnRequest[2] = Fault{FaultKind::Silence};
  });
  EXPECT_EQ(board.Handle(Bytes{0x01, 0x40}).delayMs, 900u);
  EXPECT_EQ(board.Handle(Bytes{0x01, 0x40}).delayMs, 0u);  // silence has nothing to delay
}

TEST_F(BoardModelTest, FirmwareDownloadDialogue) {
  AttachEngineTester(7);
  board.Update([](BoardScenario& s) {
    s.engineTesterFirmware = "Version 1.00";
    s.engineTesterFirmwareAfterDownload = "Version 2.05";
    s.refuseFirmwareLine = 3;
    s.corrections = {1, 2, 3, 4, 5, 6};
  });
  const std::string record = ":0100000000FF";
  const Bytes line = Concat({0x60, 0x03}, Bytes(record.begin(), record.end()));
  EXPECT_EQ(Reply(line), (Bytes{0x60, 0x03, 0x01, 0x00}));  // not in download mode
  EXPECT_EQ(Reply({0x60, 0x04}), (Bytes{0x60, 0x04, 0x00, 0x00}));
  EXPECT_EQ(Reply({0x60, 0x01}), Concat({0x60, 0x01, 0x00, 0x00}, Text("V-LOADER")));
  for (const std::string bad : {":0100000000FE", ":01000000", ":0100000000FF\r", "0100000000FF"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Reply(Concat({0x60, 0x03}, Bytes(bad.begin(), bad.end()))), (Bytes{0x60, 0x03, 0x01, 0x00}))
        << "the loader takes only a well-formed record";
  }
  EXPECT_EQ(Reply(line), (Bytes{0x60, 0x03, 0x00, 0x00}));
  EXPECT_EQ(Reply(line), (Bytes{0x60, 0x03, 0x00, 0x00}));
  EXPECT_EQ(Reply(line), (Bytes{0x60, 0x03, 0x01, 0x00}));  // the third line is refused
  EXPECT_EQ(Reply({0x60, 0x04}), (Bytes{0x60, 0x04, 0x00, 0x00}));  // a new download starts over
  board.Update([](BoardScenario& s) { s.refuseFirmwareLine = 0; });
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Reply(line), (Bytes{0x60, 0x03, 0x00, 0x00}));
  EXPECT_EQ(Reply({0x60, 0x05}), (Bytes{0x60, 0x05, 0x00, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(Reply({0x60, 0x01}), Concat({0x60, 0x01, 0x00, 0x00}, Text("Version 2.05")));
  EXPECT_EQ(board.State().linesAccepted, 4);
}

TEST_F(BoardModelTest, LogKeepsEveryRequestWithItsTime) {
  kvp::ClockUseVirtual(true);
  const uint64_t start = kvp::ClockNowMs();
  board.Handle(Bytes{0x01, 0x40});
  kvp::ClockAdvance(300);
  board.Handle(Bytes{0x02, 0x02});
  kvp::ClockAdvance(25);
  board.Handle(Bytes{0x7E});
  kvp::ClockUseVirtual(false);

  const auto log = board.Requests();
  ASSERT_EQ(log.size(), 3u);
  const uint64_t offsets[] = {0, 300, 325};
  const Bytes payloads[] = {{0x01, 0x40}, {0x02, 0x02}, {0x7E}};
  const Bytes replies[] = {{0x01, 0x00}, {0x02, 0x00, 0x00}, {0x7E, 0x01}};
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].number, i + 1);
    EXPECT_EQ(log[i].timeMs - start, offsets[i]);
    EXPECT_EQ(log[i].payload, payloads[i]);
    EXPECT_EQ(log[i].reply, replies[i]);
    EXPECT_EQ(log[i].outcome, Outcome::Reply);
  }
  EXPECT_EQ(board.RequestPayloads(), std::vector<Bytes>(std::begin(payloads), std::end(payloads)));

  board.ClearLog();
  EXPECT_TRUE(board.Requests().empty());
  board.Handle(Bytes{0x05});
  EXPECT_EQ(board.Requests().at(0).number, 4u);  // numbering runs on until Reset
  board.Reset();
  board.Handle(Bytes{0x05});
  EXPECT_EQ(board.Requests().at(0).number, 1u);
}

// A session that runs for hours keeps only the most recent requests; the counts stay exact, and a
// test that needs every request asks for the whole log.
TEST_F(BoardModelTest, LogKeepsTheRecentRequestsUnlessAskedForAll) {
  const size_t kMany = 3 * RecentLog<LoggedRequest>::kDefaultCapacity;
  for (size_t i = 0; i < kMany; ++i) board.Handle(Bytes{0x02, 0x02});
  const auto recent = board.Requests();
  ASSERT_EQ(recent.size(), RecentLog<LoggedRequest>::kDefaultCapacity);
  EXPECT_EQ(recent.front().number, kMany - recent.size() + 1);
  EXPECT_EQ(recent.back().number, kMany);
  EXPECT_EQ(board.CountRequests(0x02), kMany);

  board.ClearLog();
  board.KeepWholeLog();
  for (size_t i = 0; i < kMany; ++i) board.Handle(Bytes{0x02, 0x02});
  EXPECT_EQ(board.Requests().size(), kMany);
  EXPECT_EQ(board.CountRequests(0x02), kMany);
}

TEST_F(BoardModelTest, RequestsFromManyThreadsAreAllLogged) {
  constexpr int kThreads = 4;
  constexpr int kEach = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < kEach; ++i) {
        board.Handle(Bytes{0xC1, 0x00, uint8_t(t)});
        if (i % 50 == 0) board.Update([](BoardScenario& s) { s.channelProbeCodes[1] ^= 1; });
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const auto log = board.Requests();
  ASSERT_EQ(log.size(), size_t(kThreads * kEach));
  std::set<uint64_t> numbers;
  for (const LoggedRequest& entry : log) numbers.insert(entry.number);
  EXPECT_EQ(numbers.size(), log.size());
  EXPECT_EQ(*numbers.rbegin(), log.size());
  EXPECT_EQ(board.CountRequests(0xC1), log.size());
}

}  // namespace
}  // namespace sim
