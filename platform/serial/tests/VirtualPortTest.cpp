// The COM port semantics on a virtual port, timed on the virtual clock: read time-outs, modem
// lines reaching the peer with time stamps, purge, exclusive open, pacing.
#include <platform/clock.h>
#include <platform/fileio.h>
#include <platform/serial.h>
#include <platform/sync.h>

#include <gtest/gtest.h>

#include <kvtest/PlatformGlobals.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct LineEvent {
  bool dtr, rts;
  uint64_t timeMs;
};

class RecordingPeer : public kvp::SerialPeer {
 public:
  void OnOpen(kvp::SerialHost* h) override {
    std::lock_guard lock(mu);
    host = h;
  }
  void OnClose() override {
    std::lock_guard lock(mu);
    host = nullptr;
  }
  void OnBytes(std::span<const uint8_t> b, uint64_t) override {
    std::lock_guard lock(mu);
    received.insert(received.end(), b.begin(), b.end());
  }
  void OnModemLines(bool dtr, bool rts, uint64_t t) override {
    std::lock_guard lock(mu);
    lines.push_back({dtr, rts, t});
  }
  void OnPurge(DWORD flags, uint64_t) override {
    std::lock_guard lock(mu);
    purges.push_back(flags);
  }
  void OnConfig(DWORD baud, BYTE, BYTE, BYTE) override { lastBaud = baud; }
  void Push(std::vector<uint8_t> bytes) {
    std::lock_guard lock(mu);
    host->PushToHost(bytes);
  }

  std::mutex mu;
  kvp::SerialHost* host = nullptr;
  std::vector<uint8_t> received;
  std::vector<LineEvent> lines;
  std::vector<DWORD> purges;
  std::atomic<DWORD> lastBaud{0};
};

constexpr int kPort = 41;

class VirtualPortTest : public kvtest::VirtualClockTest {
 protected:
  void SetUp() override {
    VirtualClockTest::SetUp();
    peer = std::make_shared<RecordingPeer>();
    kvp::RegisterVirtualComPort(kPort, peer);
    port = Open();
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    COMMTIMEOUTS t{20, 1, 1000, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &t));
    event = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  }
  void TearDown() override {
    CloseHandle(event);
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
    kvp::UnregisterVirtualComPort(kPort);
    VirtualClockTest::TearDown();
  }
  HANDLE Open(DWORD flags = FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING) {
    return CreateFile("\\\\.\\COM41", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, 0);
  }
  // Advances the clock and waits until the port's thread has handled it and waits again.
  void Advance(uint64_t ms) {
    kvp::ClockAdvance(ms);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (kvp::ClockTimedWaiters() == 0 && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
  }
  void StartRead(DWORD n) {
    ov = OVERLAPPED{};
    ov.hEvent = event;
    ASSERT_FALSE(ReadFile(port, buffer, n, nullptr, &ov));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  }
  DWORD Result() {
    DWORD n = 0;
    EXPECT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
    return n;
  }

  std::shared_ptr<RecordingPeer> peer;
  HANDLE port = INVALID_HANDLE_VALUE;
  HANDLE event = 0;
  OVERLAPPED ov{};
  uint8_t buffer[4096] = {};
};

TEST_F(VirtualPortTest, ReadTimeouts) {
  // Read of 4 bytes with interval 20, 1 ms per byte + 1000 ms.
  struct Step {
    uint64_t advanceMs;   // before the step
    int pushBytes;        // then pushed
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    bool pendingAfterSteps;  // still outstanding after the steps
    uint64_t finalAdvance;   // then advanced
    DWORD bytes;             // and completed with
  } cases[] = {
      {"all bytes arrive", {{0, 4}}, false, 0, 4},
      {"nothing within the total", {{1003, 0}}, true, 1, 0},
      {"interval counts only after the first byte", {{500, 0}}, true, 504, 0},
      {"interval ends a started read", {{0, 2}, {20, 0}}, true, 1, 2},
      {"gaps within the interval keep it going", {{10, 1}, {15, 1}, {20, 0}}, true, 1, 2},
      {"total ends a trickle", {{0, 1}, {20, 1}, {20, 1}}, true, 964, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PurgeComm(port, PURGE_RXCLEAR);
    StartRead(4);
    for (const auto& s : c.steps) {
      if (s.advanceMs) Advance(s.advanceMs);
      if (s.pushBytes) peer->Push(std::vector<uint8_t>(s.pushBytes, 0x5A));
    }
    if (c.pendingAfterSteps) {
      Advance(0);
      EXPECT_FALSE(HasOverlappedIoCompleted(&ov));
    }
    if (c.finalAdvance) kvp::ClockAdvance(c.finalAdvance);
    EXPECT_EQ(Result(), c.bytes);
  }
}

TEST_F(VirtualPortTest, BytesWaitingBeforeAReadCountFromItsStart) {
  peer->Push({1, 2});
  kvp::ClockAdvance(30);  // older than the interval, but the read had not started
  StartRead(4);
  Advance(0);
  EXPECT_FALSE(HasOverlappedIoCompleted(&ov));  // both taken, waiting for two more
  Advance(20);
  EXPECT_FALSE(HasOverlappedIoCompleted(&ov));
  kvp::ClockAdvance(1);
  EXPECT_EQ(Result(), 2u);
  EXPECT_EQ(buffer[1], 2);
}

TEST_F(VirtualPortTest, ModemLinesReachThePeerWithTimeStamps) {
  const uint64_t t0 = kvp::ClockNowMs();
  EscapeCommFunction(port, SETDTR);
  EscapeCommFunction(port, SETRTS);
  kvp::ClockAdvance(20);
  EscapeCommFunction(port, CLRDTR);
  DCB dcb{};
  ASSERT_TRUE(GetCommState(port, &dcb));
  dcb.BaudRate = 250000;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  kvp::ClockAdvance(5);
  ASSERT_TRUE(SetCommState(port, &dcb));  // drops RTS
  std::lock_guard lock(peer->mu);
  ASSERT_EQ(peer->lines.size(), 4u);
  const LineEvent expected[] = {{true, false, t0}, {true, true, t0}, {false, true, t0 + 20}, {false, false, t0 + 25}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(peer->lines[i].dtr, expected[i].dtr) << i;
    EXPECT_EQ(peer->lines[i].rts, expected[i].rts) << i;
    EXPECT_EQ(peer->lines[i].timeMs, expected[i].timeMs) << i;
  }
  EXPECT_EQ(peer->lastBaud, 250000u);
}

TEST_F(VirtualPortTest, PurgeDropsInputAndAbortsRequests) {
  peer->Push({1, 2, 3});
  StartRead(8);  // takes the three bytes and waits for more
  PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  DWORD n = 0;
  EXPECT_FALSE(GetOverlappedResult(port, &ov, &n, TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
  peer->Push({7});
  PurgeComm(port, PURGE_RXCLEAR);
  StartRead(1);
  peer->Push({9});
  EXPECT_EQ(Result(), 1u);
  EXPECT_EQ(buffer[0], 9);
  std::lock_guard lock(peer->mu);
  EXPECT_EQ(peer->purges.size(), 2u);
}

TEST_F(VirtualPortTest, ReadAndWriteOutstandingTogether) {
  StartRead(2);
  OVERLAPPED wov{};
  wov.hEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  DWORD written = 0;
  const uint8_t out[3] = {0xA, 0xB, 0xC};
  if (!WriteFile(port, out, 3, &written, &wov)) {
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  }
  ASSERT_TRUE(GetOverlappedResult(port, &wov, &written, TRUE));
  EXPECT_EQ(written, 3u);
  peer->Push({0x10, 0x11});
  EXPECT_EQ(Result(), 2u);
  CloseHandle(wov.hEvent);
  std::lock_guard lock(peer->mu);
  EXPECT_EQ(peer->received, std::vector<uint8_t>(out, out + 3));
}

TEST_F(VirtualPortTest, OpenIsExclusiveAndCloseAbortsARead) {
  EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(CreateFile("\\\\.\\COM42", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  StartRead(1);
  CloseHandle(port);
  EXPECT_TRUE(HasOverlappedIoCompleted(&ov));
  EXPECT_EQ(ov.Internal, static_cast<ULONG_PTR>(ERROR_OPERATION_ABORTED));
  port = Open();
  EXPECT_NE(port, INVALID_HANDLE_VALUE);
  std::lock_guard lock(peer->mu);
  EXPECT_NE(peer->host, nullptr);
}

class VirtualPortPacing : public kvtest::VirtualClockTest {};

TEST_F(VirtualPortPacing, BytesTakeTheirTimeOnTheLine) {
  auto peer = std::make_shared<RecordingPeer>();
  kvp::RegisterVirtualComPort(43, peer, kvp::VirtualPortOptions{true});
  HANDLE port = CreateFile("\\\\.\\COM43", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, 0);
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  DCB dcb{};
  GetCommState(port, &dcb);
  dcb.BaudRate = 115200;  // 10 bits a byte: 1152 bytes take 100 ms
  SetCommState(port, &dcb);
  COMMTIMEOUTS t{0, 0, 0, 0, 0};
  SetCommTimeouts(port, &t);
  std::vector<uint8_t> buf(1152);
  OVERLAPPED ov{};
  ov.hEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  ASSERT_FALSE(ReadFile(port, buf.data(), 1152, nullptr, &ov));
  peer->Push(std::vector<uint8_t>(1152, 0x33));
  kvp::ClockAdvance(99);
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (kvp::ClockTimedWaiters() == 0 && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
  EXPECT_FALSE(HasOverlappedIoCompleted(&ov));
  kvp::ClockAdvance(1);
  DWORD n = 0;
  EXPECT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
  EXPECT_EQ(n, 1152u);
  CloseHandle(ov.hEvent);
  CloseHandle(port);
  kvp::UnregisterVirtualComPort(43);
}

}  // namespace
