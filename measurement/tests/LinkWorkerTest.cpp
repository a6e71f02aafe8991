// The link worker against the board model: frames, busy polls, aborts, time-outs, refusals, the
// block size, start and recovery.
#include "CommandSet.h"
#include "LinkFixture.h"
#include "LinkRequest.h"

#include <dirent.h>

#include <cstring>

#include <kv310/ResultCodes.h>
#include <vector>

namespace kv310::testing {
namespace {

using sim::Bytes;
using sim::FaultKind;

class LinkWorkerTest : public LinkFixture {};

Bytes Payloads(const sim::BoardModel& board, size_t i) { return board.RequestPayloads().at(i); }

TEST_F(LinkWorkerTest, SendsPayloadsOfOneTo4096BytesAndRefusesOthersWithNothingSent) {
  struct Case {
    int size;
    bool sent;
  } cases[] = {{2, true}, {4096, true}, {0, false}, {4097, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Board().ClearLog();
    std::vector<uint8_t> payload(4097, 0x5A);
    payload[0] = 0x02;
    payload[1] = 0x02;
    EXPECT_EQ(m_link->Send(payload.data(), c.size, 0), c.sent ? c.size : 0);
    m_link->WaitIdle();
    EXPECT_EQ(m_link->GetState(), kStateIdle);
    const auto requests = Board().RequestPayloads();
    if (c.sent) {
      ASSERT_EQ(requests.size(), 1u);
      EXPECT_EQ(requests[0], Bytes(payload.begin(), payload.begin() + c.size));
    } else {
      EXPECT_TRUE(requests.empty());
    }
    EXPECT_EQ(Board().Link().badFrames, 0);
  }
}

TEST_F(LinkWorkerTest, BusyReplyIsPolledAfter100MsWithAFreshTimeOut) {
  Board().Update([](sim::BoardScenario& s) {
    s.busy[0xC1] = {1, true};
    s.faultOnRequest[2] = {FaultKind::Silence};  // the poll is never answered
  });
  const uint64_t start = kvp::ClockNowMs();
  ProbeDescriptor probe{};
  auto result = InBackground([&] { return GetChannelProbe(0, &probe); });

  AdvanceWhenWaiting(100);  // the pause before the poll
  AdvanceWhenWaiting(699);  // the poll's own 700 ms window, not the request's, is running
  EXPECT_FALSE(Ready(result));
  AdvanceWhenWaiting(1);
  EXPECT_EQ(result.get(), kLinkTimeout);

  const auto log = Board().Requests();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].payload, (Bytes{0xC1, 0x00}));
  EXPECT_EQ(log[0].timeMs, start);
  ASSERT_EQ(log[1].payload.size(), 2u);
  EXPECT_EQ(log[1].payload[0], 0xFD);
  EXPECT_EQ(log[1].payload[1], log[0].reply.at(1)) << "the poll carries the busy reply's token";
  EXPECT_EQ(log[1].timeMs, start + 100);
  EXPECT_EQ(kvp::ClockNowMs(), start + 800);
}

TEST_F(LinkWorkerTest, BusyPollsEndWithTheFinalReply) {
  Board().Update([](sim::BoardScenario& s) { s.busy[0xC1] = {3, false}; });
  ProbeDescriptor probe{};
  auto result = InBackground([&] { return GetChannelProbe(1, &probe); });
  for (int poll = 0; poll < 3; ++poll) AdvanceWhenWaiting(100);
  EXPECT_EQ(result.get(), kOk);
  EXPECT_EQ(probe.kind, 1);
  EXPECT_EQ(Board().CountRequests(0xFD), 3u);
}

TEST_F(LinkWorkerTest, AbortReadIsTakenOnlyDuringAnAbortableBusyAndSendsTheAbortFrameNext) {
  struct Case {
    bool abortable;
    bool taken;
  } cases[] = {{true, true}, {false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.abortable);
    Board().ClearLog();
    Board().Update([&](sim::BoardScenario& s) { s.busy[0xC1] = {3, c.abortable}; });
    EXPECT_FALSE(m_link->AbortRead()) << "nothing pending";
    const uint8_t request[2] = {0xC1, 0x00};
    ASSERT_EQ(m_link->Send(request, 2, 0), 2);
    while (kvp::ClockTimedWaiters() == 0) std::this_thread::yield();  // the worker pauses before its poll
    EXPECT_EQ(m_link->AbortRead(), c.taken);
    if (c.taken) {
      AdvanceWhenWaiting(100);  // poll 1 is answered busy; the abort goes out at once after it
      m_link->WaitIdle();
      const auto requests = Board().RequestPayloads();
      ASSERT_EQ(requests.size(), 3u);
      EXPECT_EQ(requests[1][0], 0xFD);
      EXPECT_EQ(requests[2], (Bytes{0x05}));
    } else {
      for (int poll = 0; poll < 3; ++poll) AdvanceWhenWaiting(100);
      m_link->WaitIdle();
      EXPECT_EQ(Board().CountRequests(0x05), 0u);
    }
    EXPECT_EQ(m_link->GetState(), kStateIdle);
    EXPECT_FALSE(m_link->AbortRead());
  }
}

TEST_F(LinkWorkerTest, FailedRequestsLeaveTheLinkInErrorUntilRecover) {
  struct Case {
    FaultKind fault;
    int linkError;
    int code;
  } cases[] = {
      {FaultKind::Silence, kErrorTimeout, kLinkTimeout},
      {FaultKind::Nack, kErrorRefused, kLinkError},
      {FaultKind::Malformed, kErrorFormat, kLinkError},
      {FaultKind::EmptyEvent, kErrorNoData, kLinkError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.linkError);
    Board().ClearLog();
    Board().Update([&](sim::BoardScenario& s) { s.commandFaults[0xC1] = {{c.fault}, 1}; });
    const uint64_t start = kvp::ClockNowMs();
    ProbeDescriptor probe{};
    auto result = InBackground([&] { return GetChannelProbe(0, &probe); });
    if (c.fault == FaultKind::Silence) {
      AdvanceWhenWaiting(699);
      EXPECT_FALSE(Ready(result));
      AdvanceWhenWaiting(1);
    }
    EXPECT_EQ(result.get(), c.code);
    EXPECT_EQ(kvp::ClockNowMs() - start, c.fault == FaultKind::Silence ? 700u : 0u);
    EXPECT_EQ(m_link->GetState(), kStateError);
    EXPECT_EQ(m_link->GetLastError(), c.linkError);

    // Refused until recovered: nothing reaches the board, and instruments see the link as busy.
    const uint8_t request[2] = {0xC1, 0x00};
    EXPECT_EQ(m_link->Send(request, 2, 0), 0);
    int code = 0;
    EXPECT_FALSE(CheckLinkReady(&code));
    EXPECT_EQ(code, kLinkBusy);
    EXPECT_EQ(Board().CountRequests(0xC1), 1u);

    const int initsBefore = Board().Link().initCalls;
    EXPECT_EQ(m_link->Recover(), kStateIdle);
    EXPECT_EQ(Board().Link().initCalls, initsBefore + 1);
    EXPECT_EQ(Board().RequestPayloads().back(), (Bytes{0x01, 0x40})) << "recovery sets the block size again";
    EXPECT_EQ(GetChannelProbe(0, &probe), kOk);
    EXPECT_EQ(m_link->Recover(), kStateIdle) << "a link without error is left alone";
  }
}

TEST_F(LinkWorkerTest, BoardThatStaysBusyEndsAfter600PollsWithATimeOut) {
  Board().Update([](sim::BoardScenario& s) { s.busy[0xC1] = {100000, false}; });
  ProbeDescriptor probe{};
  auto result = InBackground([&] { return GetChannelProbe(0, &probe); });
  for (int poll = 0; poll < CComPortRaw::kMaxBusyPolls; ++poll) AdvanceWhenWaiting(100);
  AdvanceWhenWaiting(100);
  EXPECT_EQ(result.get(), kLinkTimeout);
  EXPECT_EQ(m_link->GetLastError(), kErrorTimeout);
  EXPECT_EQ(Board().CountRequests(0xFD), static_cast<size_t>(CComPortRaw::kMaxBusyPolls));
}

TEST_F(LinkWorkerTest, DestroyingTheLinkEndsAnEndlessBusyPoll) {
  Board().Update([](sim::BoardScenario& s) { s.busy[0xC1] = {100000, false}; });
  const uint8_t request[2] = {0xC1, 0x00};
  ASSERT_EQ(m_link->Send(request, 2, 0), 2);
  CComPort* link = m_link;
  SetLink(nullptr);
  m_link = nullptr;
  auto destroyed = InBackground([link] { delete link; });
  AdvanceUntilReady(destroyed, 100);
  destroyed.get();
  EXPECT_LT(Board().CountRequests(0xFD), static_cast<size_t>(CComPortRaw::kMaxBusyPolls));
  EXPECT_EQ(Board().Link().deinitCalls, 1) << "the link library was stopped";
}

TEST_F(LinkWorkerTest, RefusedSendNeverYieldsThePreviousReply) {
  uint8_t reply[20];
  int received = -1;
  const uint8_t status[2] = {0x02, 0x02};
  ASSERT_EQ(ExchangeWithBoard(status, 2, 0, reply, sizeof reply, &received), kOk);
  EXPECT_GE(received, 3);
  for (int size : {0, 4097}) {
    std::vector<uint8_t> payload(4097, 0x02);
    received = -1;
    EXPECT_EQ(ExchangeWithBoard(payload.data(), size, 0, reply, sizeof reply, &received), kBadReply) << size;
    EXPECT_EQ(received, 0);
  }
}

class LinkStartTest : public LinkFixture {
 protected:
  bool StartsLink() const override { return false; }
};

TEST_F(LinkStartTest, SerialBlockSizeComesFromTheRegistryModulo241) {
  struct Case {
    int64_t value;  // -1 = missing
    int size;
  } cases[] = {{-1, 64}, {0, 64}, {241, 64}, {300, 59}, {240, 240}, {1, 1}, {482, 64}};
  OpenLink();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    SetSerialBlockSizeValue(c.value);
    Board().ClearLog();
    ASSERT_EQ(m_link->Start(), kStateIdle);
    ASSERT_EQ(Board().RequestPayloads().size(), 1u);
    EXPECT_EQ(Payloads(Board(), 0), (Bytes{0x01, static_cast<uint8_t>(c.size)}));
    EXPECT_EQ(Board().Link().serialBlocksize, c.size);
  }
}

TEST_F(LinkStartTest, StartStopAndFailedStarts) {
  OpenLink();
  int code = 0;
  EXPECT_FALSE(CheckLinkReady(&code));
  EXPECT_EQ(code, kLinkNotStarted);

  // A link library whose Init fails leaves the link ready, and it can be started again.
  Board().Update([](sim::BoardScenario& s) { s.linkInitResult = -5; });
  EXPECT_EQ(m_link->Start(), kStateReady);
  EXPECT_TRUE(Board().RequestPayloads().empty());
  Board().Update([](sim::BoardScenario& s) { s.linkInitResult = 0; });
  EXPECT_EQ(m_link->Start(), kStateIdle);
  EXPECT_EQ(Board().Link().lastInitKey, "Software\\KELO\\Kv310");
  EXPECT_TRUE(CheckLinkReady(&code));

  // A board that does not answer the block size leaves the started link in error.
  Board().Update([](sim::BoardScenario& s) { s.commandFaults[0x01] = {{FaultKind::Silence}, 1}; });
  auto started = InBackground([&] { return m_link->Start(); });
  AdvanceWhenWaiting(2199);
  EXPECT_FALSE(Ready(started)) << "the block size gets 1500 ms on top of the 700";
  AdvanceWhenWaiting(1);
  EXPECT_EQ(started.get(), kStateError);

  EXPECT_EQ(m_link->Stop(), kStateReady);
  EXPECT_EQ(m_link->Stop(), kStateReady) << "a ready link stays ready";
  EXPECT_EQ(m_link->GetState(), kStateReady);
}

TEST_F(LinkStartTest, WithoutALinkLibraryNothingWorks) {
  struct Case {
    const char* dll;
  } cases[] = {{""}, {"no_such_link.dll"}, {"Kv310core_missing.dll"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dll);
    SetLinkLibrary(c.dll);
    OpenLink();
    EXPECT_EQ(m_link->GetState(), kStateNoLibrary);
    EXPECT_EQ(m_link->Start(), kStateNoLibrary);
    int code = 0;
    EXPECT_FALSE(CheckLinkReady(&code));
    EXPECT_EQ(code, kNoLink);
    CloseLink();
  }
  int code = 0;
  EXPECT_FALSE(CheckLinkReady(&code));
  EXPECT_EQ(code, kNoLink) << "no link object";
  EXPECT_TRUE(TakeLinkError(&code));
  EXPECT_EQ(code, kNoLink);
}

TEST_F(LinkStartTest, BoardNameFromTheInformationRecord) {
  struct Case {
    uint16_t boardId;
    const char* board;
    const char* firmware;
    int maxLength;
    const char* name;
  } cases[] = {
      {1, "KV31", "V2.1", 14, "V2.1 (KV31)"},
      {1, "KV310", "V2.10.345", 14, "V2.10.345 (KV3"},  // unterminated fields are read within their width
      {1, "KV31", "V2.1", 4, "V2.1"},
      {0, "KV31", "V2.1", 14, ""},
  };
  OpenLink();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Board().Update([&](sim::BoardScenario& s) {
      s.hwSwInfo.boardId = c.boardId;
      sim::SetHwSwText(s.hwSwInfo.boardName, c.board);
      sim::SetHwSwText(s.hwSwInfo.firmwareText, c.firmware);
    });
    ASSERT_EQ(m_link->Start(), kStateIdle);
    char name[32];
    std::memset(name, 'x', sizeof name);
    m_link->GetBoardName(name, c.maxLength);
    EXPECT_STREQ(name, c.name);
  }
}

// Threads of this process, to see that no worker outlives the library.
size_t ThreadCount() {
  size_t n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
  }
  return n;
}

// A joined thread has left the library's code, but the system may take a moment to reap it.
size_t ThreadCountSettledAt(size_t expected) {
  for (int i = 0; i < 5000 && ThreadCount() > expected; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return ThreadCount();
}

TEST_F(LinkStartTest, UnloadEndsALinkTheCallerLeftOpen) {
  struct Case {
    const char* dll;
    bool start;
  } cases[] = {{"", false}, {"zlinksim.dll", false}, {"zlinksim.dll", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dll);
    SetLinkLibrary(c.dll);
    LibraryDetach();
    const size_t threads = ThreadCount();
    const int deinits = Board().Link().deinitCalls;
    LibraryAttach();
    OpenLink();
    if (c.start) {
      ASSERT_EQ(m_link->Start(), kStateIdle);
    }
    m_link = nullptr;  // left for the unload
    LibraryDetach();
    EXPECT_EQ(Link(), nullptr);
    EXPECT_EQ(ThreadCountSettledAt(threads), threads) << "the link worker has ended";
    EXPECT_EQ(Board().Link().deinitCalls, deinits + (c.start ? 1 : 0));
    LibraryAttach();
  }
}

}  // namespace
}  // namespace kv310::testing

namespace kv310::testing {
namespace {

// A link whose trace hooks keep what they are given.
class TracingLink : public CComPortRaw {
 public:
  TracingLink() : CComPortRaw(kLinkRegistryKey, kLinkBaseTimeoutMs) {}
  ~TracingLink() override = default;
  bool TraceOpen() override { return true; }
  void TraceWrite(const char* text, int level) override {
    std::lock_guard<std::mutex> hold(lock);
    lines.push_back(std::to_string(level) + " " + text);
  }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> hold(lock);
    return lines;
  }
  std::mutex lock;
  std::vector<std::string> lines;
};

TEST_F(LinkStartTest, TraceHooksHearTheLinksStory) {
  TracingLink link;
  EXPECT_TRUE(link.Lines().empty()) << "nothing is traced before the start opens the trace";
  Board().Update([](sim::BoardScenario& s) { s.commandFaults[0xC1] = {{FaultKind::Nack}, 1}; });
  ASSERT_EQ(link.Start(), kStateIdle);
  const uint8_t request[2] = {0xC1, 0x00};
  link.Send(request, 2, 0);
  link.WaitIdle();
  link.Send(request, 0, 0);
  EXPECT_EQ(link.Recover(), kStateIdle);
  EXPECT_EQ(link.Stop(), kStateReady);
  const std::vector<std::string> expected = {
      "4 Communication DLL: zlinksim.dll",
      "3 Start",
      "3 Started OK",
      "4 Block size: 64 (default)",
      "1 Tx: 01 40 (2 bytes)",
      "1 Rx: 01 00 (2 bytes)",
      "1 Tx: C1 00 (2 bytes)",
      "2 Comm error: NACK",
      "3 Clear",
      "3 Restarted OK",
      "4 Block size: 64 (default)",
      "1 Tx: 01 40 (2 bytes)",
      "1 Rx: 01 00 (2 bytes)",
      "3 Stop",
  };
  std::vector<std::string> lines = link.Lines();
  // The library's version line depends on the build; the board line on the scenario.
  std::erase_if(lines, [](const std::string& l) {
    return l.rfind("4 Version: ", 0) == 0 || l.rfind("4 Board: ", 0) == 0 || l.rfind("4 Firmware: ", 0) == 0;
  });
  EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace kv310::testing
