// Posting, cross-thread sends, message boxes from workers and the GUI-safe wait.
#include "Probe.h"

#include <gtest/gtest.h>

#include <kvtest/PlatformGlobals.h>

#include <platform/sync.h>

#include <atomic>
#include <functional>
#include <thread>

namespace hl = kvp::headless;

namespace {

// Two of the tests answer message boxes through a responder; the fixture takes it out again.
class Messaging : public kvtest::PlatformTest {};

constexpr UINT kAsk = WM_APP + 7;

// A platform thread running a function (its handle can be waited for).
struct Worker {
  std::function<void()> body;
  HANDLE handle = 0;
  DWORD id = 0;
  explicit Worker(std::function<void()> fn) : body(std::move(fn)) {
    handle = CreateThread(nullptr, 0, &Worker::Run, this, 0, &id);
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

TEST_F(Messaging, PostToADestroyedWindowFails) {
  kvp::HeadlessWorld world;
  kvtest::Probe w;
  w.CreateTop(CRect(0, 0, 50, 50));
  HWND h = w.m_hWnd;
  ASSERT_TRUE(PostMessage(h, kAsk, 1, 0));
  w.DestroyWindow();
  SetLastError(0);
  EXPECT_FALSE(PostMessage(h, kAsk, 2, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(SendMessage(h, kAsk, 3, 0), 0);
  hl::Pump();  // the message posted before the window went is dropped with it
  EXPECT_EQ(w.Count(kAsk), 0);
}

TEST_F(Messaging, PostFromAnotherThreadNeverWaitsForTheGuiThread) {
  kvp::HeadlessWorld world;
  kvtest::Probe w;
  w.CreateTop(CRect(0, 0, 50, 50));
  std::atomic<int> posted{0};
  {
    Worker worker([&] {
      for (int i = 0; i < 100; ++i) posted += PostMessage(w.m_hWnd, kAsk, static_cast<WPARAM>(i), 0);
    });
  }  // joined while the GUI thread has not looked at its queue
  EXPECT_EQ(posted.load(), 100);
  hl::Pump();
  ASSERT_EQ(w.Count(kAsk), 100);
  EXPECT_EQ(w.Last(kAsk)->wParam, 99u);
}

// A worker's send runs on the GUI thread while the GUI thread waits for that worker: the wait
// serves it instead of deadlocking.
TEST_F(Messaging, GuiSafeWaitOnAWorkerThatSendsToTheGui) {
  kvp::HeadlessWorld world;
  kvtest::Probe w;
  w.CreateTop(CRect(0, 0, 50, 50));
  DWORD handlerThread = 0;
  w.hooks[kAsk] = [&](WPARAM wp, LPARAM) -> LRESULT {
    handlerThread = GetCurrentThreadId();
    return static_cast<LRESULT>(wp * 2);
  };
  LRESULT answer = 0;
  Worker worker([&] { answer = SendMessage(w.m_hWnd, kAsk, 21, 0); });
  EXPECT_EQ(kvp::WaitForObjectsServingSends(1, &worker.handle, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(handlerThread, GetCurrentThreadId());
}

// A thread's windows end with it, and nobody waits for an answer from a thread that is gone.
TEST_F(Messaging, WindowsOfAnEndedThreadAreGone) {
  kvp::HeadlessWorld world;
  HWND h = 0;
  // Joined: the thread has run all its exit work, not only signalled its handle.
  std::thread([&] { h = CreateWindowEx(0, kvtest::ProbeClass(), "hidden", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr); })
      .join();
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(SendMessage(h, kAsk, 0, 0), 0);
  EXPECT_FALSE(PostMessage(h, kAsk, 0, 0));
}

TEST_F(Messaging, MsgWaitReportsASendWaitingToBeServed) {
  kvp::HeadlessWorld world;
  kvtest::Probe w;
  w.CreateTop(CRect(0, 0, 50, 50));
  HANDLE never = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  Worker worker([&] { SendMessage(w.m_hWnd, kAsk, 0, 0); });
  DWORD r = MsgWaitForMultipleObjects(1, &never, FALSE, INFINITE, QS_SENDMESSAGE);
  EXPECT_EQ(r, WAIT_OBJECT_0 + 1);
  EXPECT_EQ(w.Count(kAsk), 0);  // reported, not yet served
  hl::Pump();
  EXPECT_EQ(w.Count(kAsk), 1);
  CloseHandle(never);
}

TEST_F(Messaging, AWorkersMessageBoxIsAnsweredOnTheGuiThread) {
  kvp::HeadlessWorld world;
  kvtest::Probe main;
  main.CreateTop(CRect(0, 0, 300, 200));
  DWORD responderThread = 0;
  kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall&) {
    responderThread = GetCurrentThreadId();
    return IDNO;
  });
  int answer = 0;
  Worker worker([&] { answer = MessageBox(0, "Remove it?", nullptr, MB_YESNO | MB_ICONQUESTION); });
  ASSERT_EQ(kvp::WaitForObjectsServingSends(1, &worker.handle, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(answer, IDNO);
  EXPECT_EQ(responderThread, GetCurrentThreadId());
  auto log = kvp::MessageBoxLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].caption, "Error");  // no caption given
  EXPECT_EQ(log[0].text, "Remove it?");
  EXPECT_EQ(log[0].callerThreadId, worker.id);
  EXPECT_EQ(log[0].shownOnThreadId, GetCurrentThreadId());
  EXPECT_EQ(log[0].result, IDNO);
}

class Dialog : public CDialog {
 public:
  std::function<void(Dialog&)> onInit;
  BOOL OnInitDialog() override {
    if (onInit) onInit(*this);
    return TRUE;
  }
};

// A cross-thread send that arrives while a modal dialog and, over it, a message box are open is
// served by the message box's loop.
TEST_F(Messaging, SendIsServedWhileADialogAndAMessageBoxAreOpen) {
  kvp::HeadlessWorld world;
  kvtest::Probe main;
  main.CreateTop(CRect(0, 0, 400, 300));
  size_t openBoxes = 0;
  main.hooks[kAsk] = [&](WPARAM, LPARAM) -> LRESULT {
    for (const auto& call : kvp::MessageBoxLog()) openBoxes += call.box != 0;
    return 77;
  };
  LRESULT answer = 0;
  std::unique_ptr<Worker> worker;
  kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& call) {
    HWND box = call.box;
    worker = std::make_unique<Worker>([&, box] {
      answer = SendMessage(main.m_hWnd, kAsk, 0, 0);
      kvp::AnswerMessageBox(box, IDYES);
    });
    return 0;  // stays open until the worker answers
  });
  Dialog dlg;
  dlg.m_pParentWnd = &main;
  int boxResult = 0;
  dlg.onInit = [&](Dialog& d) {
    hl::RunInLoop([&] {
      boxResult = d.MessageBox("Really?", "Dravix Scope", MB_YESNO | MB_ICONQUESTION);
      d.EndDialog(IDOK);
    });
  };
  EXPECT_EQ(dlg.DoModal(), IDOK);
  worker.reset();
  EXPECT_EQ(answer, 77);
  EXPECT_EQ(openBoxes, 1u);
  EXPECT_EQ(boxResult, IDYES);
  EXPECT_TRUE(main.IsWindowEnabled());
}

}  // namespace
