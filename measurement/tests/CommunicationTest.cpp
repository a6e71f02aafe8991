// The link through ICommunication_1: open and close, the start with the engine tester's firmware
// check, the stop that leaves the board configured, recovery and abort.
#include "EngineTesterFixture.h"

#include <platform/display.h>
#include <platform/window.h>

#include <functional>
#include <mutex>
#include <vector>

namespace kv310::testing {
namespace {

using sim::BoardScenario;
using sim::Bytes;

const Bytes kStopRecord{0x61, 0x00, 0x00, 0xC8, 0xE8, 0x48, 0x18, 0x00, 0x00, 0x00, 0x00};

class CommunicationTest : public EngineTesterFixture {};

TEST_F(CommunicationTest, WithoutLink) {
  ICommunication_1& link = Communication();
  EXPECT_EQ(link.GetIdleEvent(), 0u);
  EXPECT_EQ(link.GetState(), kLinkNone);
  EXPECT_EQ(link.Close(), kCloseRefused);
  EXPECT_EQ(link.Start(), kStartFailed);
  EXPECT_EQ(link.Stop(), kStopFailed);
  EXPECT_EQ(link.Recover(), kNoLink);
  EXPECT_EQ(link.AbortRead(), kNoLink);
  EXPECT_EQ(link.WaitIdle(), kOk);
  EXPECT_TRUE(Requests().empty());
}

TEST_F(CommunicationTest, OpenTwiceKeepsTheFirstLinkAndCloseNeedsAStoppedLink) {
  ICommunication_1& link = Communication();
  ASSERT_EQ(link.Open(), kOk);
  CComPort* first = Link();
  EXPECT_EQ(link.GetState(), kLinkReady);
  EXPECT_NE(link.GetIdleEvent(), 0u);
  EXPECT_EQ(link.Open(), kOpenFailed);
  EXPECT_EQ(Link(), first);

  ASSERT_EQ(link.Start(), kOk);
  EXPECT_EQ(link.GetState(), kLinkIdle);
  EXPECT_EQ(link.Close(), kCloseRefused) << "a started link is not closed";
  EXPECT_EQ(link.Stop(), kOk);
  EXPECT_EQ(link.Close(), kOk);
  EXPECT_EQ(Link(), nullptr);
  EXPECT_EQ(link.GetState(), kLinkNone);
  EXPECT_EQ(link.Open(), kOk) << "a closed link can be opened again";
}

TEST_F(CommunicationTest, CloseWaitsForTheOperationInProgress) {
  ICommunication_1& link = Communication();
  ASSERT_EQ(link.Open(), kOk);
  std::unique_lock<std::recursive_mutex> operation(OperationLock());  // an instrument mid-request
  auto closed = InBackground([&] { return link.Close(); });
  EXPECT_EQ(closed.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
      << "the link went away under the operation";
  EXPECT_NE(Link(), nullptr);
  operation.unlock();
  EXPECT_EQ(closed.get(), kOk);
  EXPECT_EQ(Link(), nullptr);
}

TEST_F(CommunicationTest, StartFailures) {
  struct Case {
    const char* what;
    std::function<void()> prepare;
    int open;
    int stateAfterStart;
  } cases[] = {
      {"no link library named", [] { SetLinkLibrary(""); }, kOpenFailed, kLinkNone},
      {"the link library does not start", [this] { Board().Update([](BoardScenario& s) { s.linkInitResult = -3; }); },
       kOk, kLinkReady},
      {"the board does not answer the block size",
       [this] { Board().Update([](BoardScenario& s) { s.commandFaults[0x01] = {{sim::FaultKind::Silence}, -1}; }); },
       kOk, kLinkFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Board().Reset();
    SetLinkLibrary("zlinksim.dll");
    c.prepare();
    ICommunication_1& link = Communication();
    EXPECT_EQ(link.Open(), c.open);
    auto start = InBackground([&] { return link.Start(); });
    AdvanceUntilReady(start, 100);
    EXPECT_EQ(start.get(), kStartFailed);
    EXPECT_EQ(link.GetState(), c.stateAfterStart);
    EXPECT_EQ(Board().CountRequests(0x60), 0u) << "no firmware check on a link that did not start";
    // Ends this link whatever its state, as the library's unload would.
    delete Link();
    SetLink(nullptr);
  }
}

TEST_F(CommunicationTest, StartChecksTheEngineTesterFirmwareOncePerLoad) {
  const FirmwareImage image = FirmwareImage::WithRecords(2, "Version 2.05");
  struct Case {
    const char* what;
    bool attached;
    uint8_t identity;
    bool fileNamed;
    std::string board;
    std::vector<uint8_t> dialogue;
    bool ready;
  } cases[] = {
      {"equal versions: no download", true, 7, true, "Version 2.05", {0x01, 0x05}, true},
      {"different versions: the file goes down line by line", true, 7, true, "Version 1.00",
       {0x01, 0x04, 0x03, 0x03, 0x01, 0x05}, true},
      {"engine tester of identity 23", true, 23, true, "Version 2.05", {0x01, 0x05}, true},
      {"a base board without the engine tester", false, 7, true, "Version 2.05", {0x01}, false},
      {"no firmware file named: nothing is asked", true, 7, false, "Version 2.05", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReloadLibrary();  // a fresh load: the firmware check has not run yet
    Board().Reset();
    AttachEngineTester(c.attached, c.identity);
    UseFirmware(image, c.board);
    if (!c.fileNamed) SetFirmwareFileValue(nullptr);
    ICommunication_1& link = Communication();
    ASSERT_EQ(link.Open(), kOk);
    EXPECT_EQ(link.Start(), kOk) << "the firmware check never fails the start";
    EXPECT_EQ(FirmwareDialogue(), c.dialogue);
    EXPECT_EQ(Tester().IsReady(), c.ready);
    EXPECT_EQ(EngineState().FirmwareChecked(), c.ready);

    // A second start of the same load checks again only when the first check failed.
    Board().ClearLog();
    ASSERT_EQ(link.Stop(), kOk);
    ASSERT_EQ(link.Start(), kOk);
    EXPECT_EQ(FirmwareDialogue().empty(), c.ready || !c.fileNamed);
    ASSERT_EQ(link.Stop(), kOk);
    ASSERT_EQ(link.Close(), kOk);
  }
}

TEST_F(CommunicationTest, EveryOtherStopLeavesTheBoardConfigured) {
  struct Case {
    const char* what;
    bool firmwareChecked;
    // The request after the stop record: its first bytes and its length.
    Bytes configurationStart;
    size_t configurationLength;
  } cases[] = {
      {"checked engine-tester firmware: the board oscilloscope's 16-byte set-up", true, {0x10}, 16},
      // Without the engine tester its probe selection is refused, which ends that configuration.
      {"unchecked firmware: the engine-tester oscilloscope's configuration, from its probe selection", false,
       {0xC0, 0x02, 0x00, 0x01}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReloadLibrary();
    ICommunication_1& link = Communication();
    ASSERT_EQ(link.Open(), kOk);
    for (int stop = 1; stop <= 4; ++stop) {
      SCOPED_TRACE(stop);
      ASSERT_EQ(link.Start(), kOk);
      EngineState().SetFirmwareChecked(c.firmwareChecked);
      Board().ClearLog();
      SetBoardMode(9);
      EXPECT_EQ(link.Stop(), kOk);
      EXPECT_EQ(link.GetState(), kLinkReady) << "every stop stops the link";
      const auto requests = Requests();
      if (stop % 2 == 0) {
        EXPECT_TRUE(requests.empty()) << "the second, fourth ... stop sends nothing";
        continue;
      }
      ASSERT_EQ(requests.size(), 2u);
      EXPECT_EQ(requests[0], kStopRecord);
      EXPECT_EQ(requests[1].size(), c.configurationLength);
      EXPECT_EQ(Bytes(requests[1].begin(), requests[1].begin() + c.configurationStart.size()),
                c.configurationStart);
    }
    ASSERT_EQ(link.Close(), kOk);
  }
}

TEST_F(CommunicationTest, Recover) {
  struct Case {
    const char* what;
    bool start;
    bool failRequest;      // a request that times out leaves the link in error
    int initResult;        // of the restart
    bool answersBlockSize;  // after the restart
    int code;
    int state;
    bool boardModeCleared;
  } cases[] = {
      {"a link in error restarts", true, true, 0, true, kOk, kLinkIdle, true},
      {"a started link without error stays as it is", true, false, 0, true, kOk, kLinkIdle, false},
      {"a link that is open but not started", false, false, 0, true, kLinkNotStarted, kLinkReady, false},
      {"the restart fails", true, true, -2, true, kLinkNotStarted, kLinkFailed, true},
      {"the board ignores the block size after the restart", true, true, 0, false, kLinkBusy, kLinkFailed, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Board().Reset();
    ICommunication_1& link = Communication();
    ASSERT_EQ(link.Open(), kOk);
    if (c.start) {
      ASSERT_EQ(link.Start(), kOk);
    }
    if (c.failRequest) {
      Board().Update([](BoardScenario& s) { s.commandFaults[0xC1] = {{sim::FaultKind::Silence}, 1}; });
      auto detect = InBackground([this] { return Tester().Detect(); });
      AdvanceUntilReady(detect, 100);
      ASSERT_EQ(detect.get(), kLinkTimeout);
      ASSERT_EQ(link.GetState(), kLinkFailed);
    }
    Board().Update([&](BoardScenario& s) {
      s.linkInitResult = c.initResult;
      if (!c.answersBlockSize) s.commandFaults[0x01] = {{sim::FaultKind::Silence}, -1};
    });
    SetBoardMode(6);
    auto recover = InBackground([&] { return link.Recover(); });
    AdvanceUntilReady(recover, 100);
    EXPECT_EQ(recover.get(), c.code);
    EXPECT_EQ(link.GetState(), c.state);
    EXPECT_EQ(BoardMode(), c.boardModeCleared ? 0 : 6);
    delete Link();
    SetLink(nullptr);
  }
}

TEST_F(CommunicationTest, AbortRead) {
  OpenAndStart();
  ICommunication_1& link = Communication();
  EXPECT_EQ(link.AbortRead(), kNothingToAbort) << "nothing pending";

  Board().Update([](BoardScenario& s) { s.busy[0xC1] = {5, true}; });
  auto detect = InBackground([this] { return Tester().Detect(); });
  while (kvp::ClockTimedWaiters() == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
  EXPECT_EQ(link.AbortRead(), kOk) << "a busy reply that allows the abort";
  AdvanceUntilReady(detect, 100);
  EXPECT_EQ(Requests().back(), (Bytes{0x05}));
  detect.get();
}

// The messages a notification window received.
std::vector<MSG> g_notices;

LRESULT CALLBACK NoticeWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_APP) g_notices.push_back(MSG{hwnd, message, wParam, lParam, 0, {}});
  return DefWindowProc(hwnd, message, wParam, lParam);
}

// The link's worker posts the outcome of each request to the registered window: the reply
// message with the reply's length, the error message with the link error.
TEST_F(CommunicationTest, ARegisteredWindowReceivesTheNotification) {
  constexpr UINT kReplyMessage = WM_APP + 1;
  constexpr UINT kErrorMessage = WM_APP + 2;
  struct Case {
    const char* what;
    bool silent;  // the board does not answer the request
    UINT message;
    WPARAM value;
  } cases[] = {
      {"a reply: its payload length (02 00 hw)", false, kReplyMessage, 3},
      {"no answer: the time-out error", true, kErrorMessage, kErrorTimeout},
  };
  kvp::HeadlessWorld world;
  WNDCLASS wc{};
  wc.lpfnWndProc = NoticeWindowProc;
  wc.lpszClassName = "Kv310NoticeTest";
  RegisterClass(&wc);
  const HWND window = CreateWindow("Kv310NoticeTest", "", WS_OVERLAPPED, 0, 0, 20, 20, 0, 0, 0, nullptr);
  ASSERT_NE(window, 0u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenAndStart();
    ASSERT_EQ(Communication().SetNotification(window, kReplyMessage, kErrorMessage), kOk);
    if (c.silent) Board().Update([](BoardScenario& s) { s.commandFaults[0x02] = {{sim::FaultKind::Silence}, 1}; });
    g_notices.clear();
    uint8_t type = 0;
    auto status = InBackground([&] { return Info().GetBoardStatus(&type); });
    AdvanceUntilReady(status, 100);
    status.get();
    // The worker posts after it has woken the caller, so the notice of the start's last request
    // may still arrive after the window was registered: take messages until this one is there.
    const auto arrived = [&] {
      for (const auto& n : g_notices) {
        if (n.hwnd == window && n.message == c.message && n.wParam == c.value) return true;
      }
      return false;
    };
    for (int turn = 0; turn < 20000 && !arrived(); ++turn) {
      kvp::headless::Pump();
      if (!arrived()) std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    EXPECT_TRUE(arrived());
    delete Link();
    SetLink(nullptr);
  }
  DestroyWindow(window);
}

}  // namespace
}  // namespace kv310::testing
