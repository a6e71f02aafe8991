// The block protocol from both ends: the link's sender and receiver against the serial board on a
// virtual port (virtual clock), and the board's own rules with a recording host.
#include "../src/Comm.h"
#include "SerialTestSupport.h"

#include <platform/clock.h>
#include <platform/files.h>
#include <platform/sync.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "TestViewer.h"

namespace {

using namespace serialtest;

const std::vector<uint8_t> kStatusRequest{0x02, 0x02};
const std::vector<uint8_t> kStatusReply{0x02, 0x00, 0x00};

// Waits (in real time, the virtual clock driven meanwhile) until the link holds a whole reply.
std::vector<uint8_t> ReadReply(CComm& comm, size_t length, int seconds = 20) {
  std::vector<uint8_t> got;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (got.size() < length && std::chrono::steady_clock::now() < limit) {
    uint8_t buf[256];
    const int n = comm.Read(buf, sizeof buf);
    got.insert(got.end(), buf, buf + n);
    if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return got;
}

template <class Done>
bool Eventually(Done done, int seconds = 20) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class LinkBlocks : public ::testing::Test {
 protected:
  void SetUp() override {
    rig = std::make_unique<SerialRig>();
    comm = std::make_unique<CComm>();
    ASSERT_EQ(comm->Init(kLinkKey, nullptr), 0);
  }
  void TearDown() override {
    comm->CloseLink();
    comm.reset();
    rig.reset();
  }
  std::unique_ptr<SerialRig> rig;
  std::unique_ptr<CComm> comm;
};

TEST_F(LinkBlocks, HostBlockAnswers) {
  struct Case {
    const char* name;
    sim::BlockFaults faults;
    bool delivered;
    const char* trace;
    int traceCount;
  } cases[] = {
      {"three refusals then accept", {.refuse = 3}, true, "Tx Block NAK --> retry!\n", 3},
      {"four refusals give the block up", {.refuse = 4}, false, "Tx Block NAK --> abort!\n", 1},
      {"busy never gives up", {.busy = 9}, true, "Tx Block BUSY\n", 9},
      {"silence is resent", {.silent = 1}, true, "Tx Block Timeout --> retry!\n", 1},
      {"silence four times gives up", {.silent = 4}, false, "Tx Block Timeout --> abort!\n", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t before = rig->model.CountRequests(0x02);
    const int traced = rig->trace.Count(c.trace);
    rig->board->SetFaults(c.faults);
    const auto frame = Frame(kStatusRequest);
    ASSERT_EQ(comm->WriteFrame(frame.data(), static_cast<int>(frame.size())), static_cast<int>(frame.size()));
    ASSERT_TRUE(Eventually([&] { return rig->trace.Count(c.trace) >= traced + c.traceCount; }));
    if (c.delivered) {
      EXPECT_EQ(ReadReply(*comm, 8), Frame(kStatusReply));
      EXPECT_EQ(rig->model.CountRequests(0x02), before + 1);
    } else {
      ASSERT_TRUE(Eventually([&] { return comm->GetTxBufferDataSize() == 0; }));
      EXPECT_EQ(rig->model.CountRequests(0x02), before);
    }
  }
}

TEST_F(LinkBlocks, FirstReplyAfterTheStartArrivesAtOnce) {
  // The read that was outstanding before the block protocol started must not swallow it.
  const auto frame = Frame(kStatusRequest);
  ASSERT_EQ(comm->WriteFrame(frame.data(), static_cast<int>(frame.size())), static_cast<int>(frame.size()));
  EXPECT_EQ(ReadReply(*comm, 8), Frame(kStatusReply));
  EXPECT_EQ(rig->board->ReplyBlocksSent(), 1);
}

TEST_F(LinkBlocks, FramesAreCutByTheBlockSize) {
  // 200-byte payload: a frame of 205 bytes goes as 2, 3, 3, 4 with block size 64.
  std::vector<uint8_t> payload(200, 0x00);
  payload[0] = 0x02;
  payload[1] = 0x02;
  const auto frame = Frame(payload);
  ASSERT_EQ(comm->WriteFrame(frame.data(), static_cast<int>(frame.size())), 205);
  EXPECT_EQ(ReadReply(*comm, 8), Frame(kStatusReply));
  std::vector<uint8_t> types;
  for (const auto& e : rig->board->Log()) {
    if (e.kind == sim::SerialLogEntry::HostBytes && e.bytes.size() > 2) types.push_back(e.bytes[0]);
  }
  ASSERT_GE(types.size(), 4u);
  EXPECT_EQ(std::vector<uint8_t>(types.end() - 4, types.end()), (std::vector<uint8_t>{2, 3, 3, 4}));
}

TEST_F(LinkBlocks, WriteTakesWholeFramesOnly) {
  auto frame = Frame(kStatusRequest);
  frame[2] = 0x05;  // length field does not match
  EXPECT_EQ(comm->WriteFrame(frame.data(), static_cast<int>(frame.size())), 0);
  EXPECT_EQ(comm->WriteFrame(frame.data(), 3), 0);
  // Longer than the frame reader takes: refused, and the frames queued behind it are kept.
  const auto status = Frame(kStatusRequest);
  ASSERT_EQ(comm->WriteFrame(status.data(), static_cast<int>(status.size())), static_cast<int>(status.size()));
  const auto tooLong = Frame(std::vector<uint8_t>(CComm::kMaxFrame - 4, 0x02));
  EXPECT_EQ(comm->WriteFrame(tooLong.data(), static_cast<int>(tooLong.size())), 0);
  EXPECT_EQ(ReadReply(*comm, 8), Frame(kStatusReply));
}

TEST_F(LinkBlocks, InitOnARunningLinkStartsItAfresh) {
  // The running link lets go of its port and threads first, so the second start opens the port.
  ASSERT_EQ(comm->Init(kLinkKey, nullptr), 0);
  const auto frame = Frame(kStatusRequest);
  ASSERT_EQ(comm->WriteFrame(frame.data(), static_cast<int>(frame.size())), static_cast<int>(frame.size()));
  EXPECT_EQ(ReadReply(*comm, 8), Frame(kStatusReply));
  comm->CloseLink();
  EXPECT_EQ(comm->Init(kLinkKey, nullptr), 0) << "the port is free again after the close";
}

TEST_F(LinkBlocks, BoardBlocksRefusedAndResent) {
  auto refusals = [&] {
    int n = 0;
    for (const auto& e : rig->board->Log())
      n += e.kind == sim::SerialLogEntry::HostBytes && e.bytes == std::vector<uint8_t>{0x07} ? 1 : 0;
    return n;
  };
  struct Case {
    const char* name;
    sim::BlockFaults faults;
    int refusals;     // answered 0x07 by the link
    int framesRead;   // copies of the reply the link stores
  } cases[] = {
      {"wrong checksum", {.corruptReplyBlocks = 1}, 1, 1},
      {"body cut short", {.truncateReplyBlocks = 1}, 1, 1},
      // No sequence numbers: a block resent after a lost acknowledge is stored again.
      {"acknowledge lost", {.dropReplyAcks = 1}, 0, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int sent = rig->board->ReplyBlocksSent();
    const int refused = refusals();
    rig->board->SetFaults(c.faults);
    const auto frame = Frame(kStatusRequest);
    comm->WriteFrame(frame.data(), static_cast<int>(frame.size()));
    std::vector<uint8_t> expected;
    for (int i = 0; i < c.framesRead; ++i) {
      const auto one = Frame(kStatusReply);
      expected.insert(expected.end(), one.begin(), one.end());
    }
    EXPECT_EQ(ReadReply(*comm, expected.size()), expected);
    EXPECT_TRUE(Eventually([&] { return rig->board->ReplyBlocksSent() == sent + 2; }));
    EXPECT_EQ(refusals() - refused, c.refusals);
  }
}

// The receiver traces after it has left the link lock: while one received block's trace line waits
// for a hung viewer, the next block is received and its own line goes out.
TEST(LinkReceiver, TracesOutsideTheLinkLock) {
  TestViewer viewer(kvp::RuntimeDir() + "/LogwispWnd", TestViewer::Answer::Never);
  kvp::ClockUseVirtual(true);
  kvp::ClockAdvance(3000);  // a scan for the viewer is due
  CComm comm;
  const auto badBlock = [&comm](uint8_t type) {
    const uint8_t header[2] = {type, 1};
    const uint8_t body[2] = {0x05, 0x00};  // wrong checksum
    comm.OnRxBytes(&header[0], 1);
    comm.OnRxBytes(&header[1], 1);
    comm.OnRxBytes(body, 2);
  };
  auto first = std::async(std::launch::async, [&] { badBlock(CComm::kRxFirstBlock); });
  ASSERT_EQ(viewer.WaitFor(1).size(), 1u);
  badBlock(CComm::kRxMiddleBlock);
  const auto got = viewer.WaitFor(2);
  first.get();
  kvp::ClockUseVirtual(false);
  ASSERT_EQ(got.size(), 2u) << "the second block waited for the first block's trace";
  EXPECT_EQ(got[0].bytes, std::string("  J2534: Rx long Block start\n") + '\0');
  EXPECT_EQ(got[1].bytes, std::string("  J2534: NAK\n") + '\0');
}

TEST(LinkBlocksPaced, LargeFrameOverAPacedLine) {
  RigOptions options;
  options.pacing = true;
  SerialRig rig(options);
  CComm comm;
  ASSERT_EQ(comm.Init(kLinkKey, nullptr), 0);
  comm.SetSerialBlocksize(240);
  const auto setSize = Frame({0x01, 240});
  comm.WriteFrame(setSize.data(), static_cast<int>(setSize.size()));
  EXPECT_EQ(ReadReply(comm, 7), Frame({0x01, 0x00}));
  std::vector<uint8_t> payload(4096, 0x00);
  payload[0] = 0x02;
  payload[1] = 0x02;
  const auto frame = Frame(payload);
  for (int i = 0; i < 3; ++i) {
    const uint64_t start = kvp::ClockNowMs();
    comm.WriteFrame(frame.data(), static_cast<int>(frame.size()));
    EXPECT_EQ(ReadReply(comm, 8), Frame(kStatusReply)) << i;
    // 18 blocks of 243 bytes and their answers take about 380 ms at 115 200 Bd.
    EXPECT_LT(kvp::ClockNowMs() - start, 450u) << i;
  }
  EXPECT_EQ(rig.trace.Count("NAK"), 0);
  EXPECT_EQ(rig.trace.Count("retry"), 0);
  comm.CloseLink();
}

// The board alone, with a host that records what it is sent.
class RecordingHost : public kvp::SerialHost {
 public:
  void PushToHost(std::span<const uint8_t> bytes) override {
    std::lock_guard lock(mu);
    got.insert(got.end(), bytes.begin(), bytes.end());
  }
  std::vector<uint8_t> Take() {
    std::lock_guard lock(mu);
    auto out = std::move(got);
    got.clear();
    return out;
  }
  std::mutex mu;
  std::vector<uint8_t> got;
};

std::vector<uint8_t> Block(uint8_t type, std::vector<uint8_t> payload) {
  uint8_t sum = 0;
  for (uint8_t b : payload) sum = static_cast<uint8_t>(sum + b);
  std::vector<uint8_t> block;
  block.reserve(payload.size() + 3);
  block.push_back(type);
  block.push_back(static_cast<uint8_t>(payload.size()));
  for (uint8_t b : payload) block.push_back(b);
  block.push_back(static_cast<uint8_t>(0x100 - sum));
  return block;
}

class BoardAlone : public ::testing::Test {
 protected:
  void SetUp() override { kvp::ClockUseVirtual(true); }
  void TearDown() override { kvp::ClockUseVirtual(false); }
  void Lines(sim::SerialBoard& b, bool dtr, bool rts) { b.OnModemLines(dtr, rts, kvp::ClockNowMs()); }
  void Send(sim::SerialBoard& b, const std::vector<uint8_t>& bytes) { b.OnBytes(bytes, kvp::ClockNowMs()); }
};

TEST_F(BoardAlone, ResetAndBootstrapLatch) {
  using S = sim::SerialBoardState;
  struct Step {
    uint64_t atMs;
    bool dtr, rts;
  };
  struct Case {
    const char* name;
    int resetType;
    bool flashHasApp;
    std::vector<Step> steps;
    uint64_t checkAtMs;
    S state;
  } cases[] = {
      {"reset pulse, reset on DTR: RTS still up at release", 0, true, {{0, 1, 1}, {10, 0, 1}, {10, 0, 0}}, 1510, S::App},
      {"reset pulse, reset on RTS", 1, true, {{0, 1, 1}, {10, 0, 1}, {10, 0, 0}}, 1510, S::App},
      {"pulse with empty flash: resident", 0, false, {{0, 1, 1}, {10, 0, 1}, {10, 0, 0}}, 1510, S::Resident},
      {"still booting 199 ms after release", 0, true, {{0, 1, 1}, {10, 0, 0}}, 209, S::Booting},
      {"reset and probe, reset on DTR: ROM", 0, true, {{0, 1, 1}, {20, 0, 1}, {770, 0, 0}}, 780, S::Rom},
      {"reset and probe, reset on RTS: ROM", 1, true, {{0, 1, 1}, {20, 1, 0}, {770, 0, 0}}, 780, S::Rom},
      {"select dropped inside the latch", 0, true, {{0, 1, 1}, {20, 0, 1}, {119, 0, 0}}, 1000, S::App},
      {"select held exactly the latch", 0, true, {{0, 1, 1}, {20, 0, 1}, {120, 0, 0}}, 1000, S::Rom},
      {"held in reset", 0, true, {{0, 1, 1}}, 5000, S::Reset},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::BoardModel model;
    sim::SerialBoardConfig config;
    config.resetType = c.resetType;
    config.flashHasApp = c.flashHasApp;
    sim::SerialBoard board(model, config);
    const uint64_t t0 = kvp::ClockNowMs();
    for (const auto& s : c.steps) {
      kvp::ClockAdvance(t0 + s.atMs - kvp::ClockNowMs());
      Lines(board, s.dtr, s.rts);
    }
    kvp::ClockAdvance(t0 + c.checkAtMs - kvp::ClockNowMs());
    EXPECT_EQ(board.State(), c.state) << sim::StateName(board.State());
  }
}

TEST_F(BoardAlone, AnswersHostBlocks) {
  sim::BoardModel model;
  sim::SerialBoard board(model);
  RecordingHost host;
  board.OnOpen(&host);
  struct Case {
    const char* name;
    sim::BlockFaults faults;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> answer;  // the first bytes the board sends back
  } cases[] = {
      {"good single block", {}, Block(5, Frame(kStatusRequest)), {0x06, 0x05, 0x08, 0x01}},
      {"wrong checksum", {}, [] { auto b = Block(5, Frame(kStatusRequest)); b.back() ^= 1; return b; }(), {0x07}},
      {"busy", {.busy = 1}, Block(5, Frame(kStatusRequest)), {0x08}},
      {"refused", {.refuse = 1}, Block(5, Frame(kStatusRequest)), {0x07}},
      {"silent", {.silent = 1}, Block(5, Frame(kStatusRequest)), {}},
      {"information request", {}, {0x05, 0x04, 0x04, 0x00, 0x00, 0xFC, 0x00}, {0x06, 0x02, 0x40, 0x42, 0x00}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    board.SetFaults(c.faults);
    Send(board, c.bytes);
    auto got = host.Take();
    got.resize(std::min(got.size(), c.answer.size() + (c.answer.empty() ? 1 : 0)));
    if (c.answer.empty()) {
      EXPECT_TRUE(got.empty());
    } else {
      EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + std::min(got.size(), c.answer.size())), c.answer);
    }
    Send(board, {0x06});  // acknowledge any reply block
    host.Take();
  }
  board.OnClose();
}

TEST_F(BoardAlone, BlockAfterItsAcknowledgeIsNewData) {
  sim::BoardModel model;
  sim::SerialBoard board(model);
  RecordingHost host;
  board.OnOpen(&host);
  const auto frame = Frame({0x02, 0x05, 0x07});  // 01 00 02 00 | 02 05 | 07 02
  const std::vector<uint8_t> a(frame.begin(), frame.begin() + 4), b(frame.begin() + 4, frame.begin() + 6),
      c(frame.begin() + 6, frame.end());
  Send(board, Block(2, a));
  Send(board, Block(3, b));
  Send(board, Block(3, b));  // its acknowledge was lost: the host sent it again
  Send(board, Block(4, c));
  EXPECT_EQ(host.Take(), (std::vector<uint8_t>{0x06, 0x06, 0x06, 0x06}));
  EXPECT_EQ(model.Link().badFrames, 1);  // the doubled block made the frame unreadable
  EXPECT_EQ(model.CountRequests(0x02), 0u);
  board.OnClose();
}

TEST_F(BoardAlone, ReplyBlocksResentUntilGivenUp) {
  sim::BoardModel model;
  sim::SerialBoard board(model);
  RecordingHost host;
  board.OnOpen(&host);
  Send(board, Block(5, Frame(kStatusRequest)));
  const auto first = host.Take();
  ASSERT_GE(first.size(), 2u);
  EXPECT_EQ(first[0], 0x06);
  // No acknowledge: resent after 1500 ms, three times, then given up.
  for (int i = 0; i < 3; ++i) {
    kvp::ClockAdvance(1499);
    Eventually([] { return kvp::ClockTimedWaiters() > 0; });
    EXPECT_TRUE(host.Take().empty()) << i;
    kvp::ClockAdvance(1);
    EXPECT_TRUE(Eventually([&] { return board.ReplyBlocksSent() == 2 + i; })) << i;
    host.Take();
  }
  Send(board, {0x07});  // a refusal counts as the fourth failed try
  EXPECT_EQ(board.RepliesAbandoned(), 1);
  board.OnClose();
}

}  // namespace
