// Sends with a bound: served within it, timed out against a thread that does not pump (and then
// never handled), and given up at once on a thread that stopped answering.
#include "Probe.h"

#include <gtest/gtest.h>

#include <platform/clock.h>
#include <platform/sync.h>

#include <atomic>
#include <functional>
#include <thread>

namespace hl = kvp::headless;

namespace {

constexpr UINT kAsk = WM_APP + 9;

struct Worker {
  std::function<void()> body;
  HANDLE handle = 0;
  explicit Worker(std::function<void()> fn) : body(std::move(fn)) {
    handle = CreateThread(nullptr, 0, &Worker::Run, this, 0, nullptr);
  }
  ~Worker() {
    WaitForSingleObject(handle, INFINITE);
    CloseHandle(handle);
  }
  static DWORD Run(LPVOID self) {
    static_cast<Worker*>(self)->body();
    return 0;
  }
};

// What one SendMessageTimeout call gave.
struct Outcome {
  LRESULT ret = -1;
  DWORD error = 0;
  DWORD_PTR answer = 0;
  uint64_t tookMs = 0;
};

Outcome Send(HWND hwnd, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs) {
  Outcome o;
  const uint64_t start = kvp::ClockNowMs();
  SetLastError(0);
  o.ret = SendMessageTimeout(hwnd, kAsk, wParam, lParam, flags, timeoutMs, &o.answer);
  o.error = GetLastError();
  o.tookMs = kvp::ClockNowMs() - start;
  return o;
}

void WaitForTimedWaiters(size_t count) {
  while (kvp::ClockTimedWaiters() < count) std::this_thread::yield();
}

// The GUI thread never looks at its queue while a worker's send waits: the send fails exactly at
// the bound, and once the GUI thread pumps again the message (and the pointer it carries) never
// reaches the handler.
TEST(SendTimeout, TimesOutExactlyAgainstAThreadThatDoesNotPumpAndIsDropped) {
  for (UINT flags : {SMTO_NORMAL, SMTO_BLOCK, SMTO_ABORTIFHUNG}) {
    SCOPED_TRACE(flags);
    kvp::HeadlessWorld world;
    kvtest::Probe w;
    w.CreateTop(CRect(0, 0, 50, 50));
    int handled = 0;
    w.hooks[kAsk] = [&](WPARAM, LPARAM) -> LRESULT { return ++handled; };
    const size_t before = kvp::ClockTimedWaiters();
    Outcome o;
    {
      Worker worker([&] {
        int senderData = 7;
        o = Send(w.m_hWnd, 1, reinterpret_cast<LPARAM>(&senderData), flags, 3000);
      });
      WaitForTimedWaiters(before + 1);
      kvp::ClockAdvance(2999);
      EXPECT_EQ(kvp::ClockTimedWaiters(), before + 1) << "still waiting 1 ms before the bound";
      kvp::ClockAdvance(1);
    }
    EXPECT_EQ(o.ret, 0);
    EXPECT_EQ(o.error, static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_EQ(o.tookMs, 3000u);
    hl::Pump();
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(w.Count(kAsk), 0);
  }
}

TEST(SendTimeout, ServedWithinTheBoundGivesTheHandlersAnswer) {
  kvp::HeadlessWorld world;
  kvtest::Probe w;
  w.CreateTop(CRect(0, 0, 50, 50));
  w.hooks[kAsk] = [](WPARAM wp, LPARAM) -> LRESULT { return static_cast<LRESULT>(wp * 2); };
  const struct {
    const char* name;
    bool fromWorker;
    UINT flags;
  } cases[] = {
      {"same thread: a direct call", false, SMTO_NORMAL},
      {"from a worker", true, SMTO_NORMAL},
      {"from a worker, blocking", true, SMTO_BLOCK | SMTO_ABORTIFHUNG},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o;
    if (c.fromWorker) {
      Worker worker([&] { o = Send(w.m_hWnd, 21, 0, c.flags, 3000); });
      EXPECT_EQ(kvp::WaitForObjectsServingSends(1, &worker.handle, INFINITE), WAIT_OBJECT_0);
    } else {
      o = Send(w.m_hWnd, 21, 0, c.flags, 3000);
    }
    EXPECT_NE(o.ret, 0);
    EXPECT_EQ(o.answer, 42u);
    EXPECT_EQ(o.tookMs, 0u);
  }
}

// Fails at once without waiting: a destroyed window, and a thread that has not looked at its queue
// for 5 seconds (with SMTO_ABORTIFHUNG).
TEST(SendTimeout, DestroyedWindowAndHungThreadFailAtOnce) {
  kvp::HeadlessWorld world;
  kvtest::Probe w;
  w.CreateTop(CRect(0, 0, 50, 50));
  kvtest::Probe gone;
  gone.CreateTop(CRect(0, 0, 50, 50));
  const HWND goneHwnd = gone.m_hWnd;
  gone.DestroyWindow();
  kvp::ClockAdvance(5000);  // the GUI thread has not looked at its queue since
  const struct {
    const char* name;
    HWND hwnd;
    UINT flags;
    DWORD error;
  } cases[] = {
      {"destroyed window", goneHwnd, SMTO_NORMAL, ERROR_INVALID_WINDOW_HANDLE},
      {"hung thread", w.m_hWnd, SMTO_ABORTIFHUNG, ERROR_TIMEOUT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o;
    { Worker worker([&] { o = Send(c.hwnd, 1, 0, c.flags, 3000); }); }
    EXPECT_EQ(o.ret, 0);
    EXPECT_EQ(o.error, c.error);
    EXPECT_EQ(o.tookMs, 0u);
  }
  hl::Pump();
  EXPECT_EQ(w.Count(kAsk), 0);
}

LRESULT DoubleProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kAsk) return static_cast<LRESULT>(wParam * 2);
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

// A thread blocked in GetMessage for longer than 5 seconds is idle, not hung.
TEST(SendTimeout, AThreadWaitingForMessagesIsNotHung) {
  kvp::HeadlessWorld world;
  WNDCLASS wc{};
  wc.lpfnWndProc = DoubleProc;
  wc.lpszClassName = "SendTimeoutIdle";
  RegisterClass(&wc);
  const size_t before = kvp::ClockTimedWaiters();
  std::atomic<HWND> window{0};
  std::thread idle([&] {
    HWND h = CreateWindowEx(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr);
    SetTimer(h, 1, 3600000, nullptr);  // makes its wait a timed one the test can see
    window = h;
    MSG msg;
    while (GetMessage(&msg, 0, 0, 0)) DispatchMessage(&msg);
    DestroyWindow(h);
  });
  WaitForTimedWaiters(before + 1);
  kvp::ClockAdvance(5000);
  Outcome o = Send(window, 21, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 3000);
  EXPECT_NE(o.ret, 0);
  EXPECT_EQ(o.answer, 42u);
  PostThreadMessage(GetWindowThreadProcessId(window, nullptr), WM_QUIT, 0, 0);
  idle.join();
  UnregisterClass(wc.lpszClassName, 0);
}

}  // namespace
