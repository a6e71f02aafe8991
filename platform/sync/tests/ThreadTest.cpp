#include "SyncTestUtil.h"

#include <atomic>
#include <cstdint>
#include <thread>

namespace {

using namespace synctest;

class Threads : public VirtualClockTest {};

std::atomic<bool> gUnwound{false};

DWORD ReturnParam(LPVOID p) { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(p)); }

DWORD ExitThreadWithParam(LPVOID p) {
  struct Guard {
    ~Guard() { gUnwound = true; }
  } guard;
  ExitThread(static_cast<DWORD>(reinterpret_cast<uintptr_t>(p)));
  return 999;
}

LPVOID Param(DWORD v) { return reinterpret_cast<LPVOID>(static_cast<uintptr_t>(v)); }

TEST_F(Threads, HandleIsSignalledAtTheEndAndKeepsTheExitCode) {
  const struct {
    const char* what;
    LPTHREAD_START_ROUTINE routine;
    DWORD code;
  } cases[] = {
      {"returns 7", ReturnParam, 7},
      {"returns 0", ReturnParam, 0},
      {"ExitThread(42)", ExitThreadWithParam, 42},
  };
  for (const auto& c : cases) {
    gUnwound = false;
    HANDLE h = CreateThread(nullptr, 1024, c.routine, Param(c.code), 0, nullptr);
    ASSERT_NE(h, 0u) << c.what;
    EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0) << c.what;
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0) << c.what << ": an ended thread stays signalled";
    DWORD code = 12345;
    EXPECT_TRUE(GetExitCodeThread(h, &code));
    EXPECT_EQ(code, c.code) << c.what;
    if (c.routine == ExitThreadWithParam) {
      EXPECT_TRUE(gUnwound) << "ExitThread unwinds the thread's frames";
    }
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(GetExitCodeThread(h, &code)) << c.what;
  }
}

struct Gate {
  HANDLE go = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> ran{false};
  std::atomic<bool> abandonedSeen{false};
  std::atomic<DWORD> seenId{0};
  ~Gate() { CloseHandle(go); }
};

DWORD WaitAtGate(LPVOID p) {
  auto* g = static_cast<Gate*>(p);
  g->seenId = GetCurrentThreadId();
  g->ran = true;
  WaitForSingleObject(g->go, INFINITE);
  g->abandonedSeen = kvp::CurrentThreadAbandoned();
  return 5;
}

TEST_F(Threads, CreatedSuspendedRunsOnlyOnceResumedAndIsStillActiveUntilItEnds) {
  Gate gate;
  DWORD id = 0;
  HANDLE h = CreateThread(nullptr, 0, WaitAtGate, &gate, CREATE_SUSPENDED, &id);
  ASSERT_NE(h, 0u);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(h, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT);
  EXPECT_FALSE(gate.ran);
  EXPECT_EQ(ResumeThread(h), 1u);
  ASSERT_TRUE(Eventually([&] { return gate.ran.load(); }));
  EXPECT_EQ(gate.seenId, id);
  EXPECT_EQ(ResumeThread(h), 0u) << "resuming a running thread";
  EXPECT_TRUE(GetExitCodeThread(h, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  SetEvent(gate.go);
  EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeThread(h, &code));
  EXPECT_EQ(code, 5u);
  CloseHandle(h);
}

TEST_F(Threads, AbandonedThreadReadsAsEndedAndLearnsItWasAbandoned) {
  Gate gate;
  HANDLE h = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, nullptr);
  ASSERT_TRUE(Eventually([&] { return gate.ran.load(); }));
  EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(kvp::AbandonThread(h));
  EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
  DWORD code = 1;
  EXPECT_TRUE(GetExitCodeThread(h, &code));
  EXPECT_EQ(code, 0u);
  // It still runs: let it finish; its own end changes nothing any more.
  SetEvent(gate.go);
  ASSERT_TRUE(Eventually([&] { return gate.abandonedSeen.load(); }));
  EXPECT_FALSE(kvp::CurrentThreadAbandoned());
  EXPECT_TRUE(GetExitCodeThread(h, &code));
  EXPECT_EQ(code, 0u);
  CloseHandle(h);
}

TEST_F(Threads, PriorityIsAdvisoryButChecked) {
  HANDLE h = CreateThread(nullptr, 0, ReturnParam, Param(0), CREATE_SUSPENDED, nullptr);
  for (int p : {THREAD_PRIORITY_IDLE, THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL}) {
    EXPECT_TRUE(SetThreadPriority(h, p)) << p;
    EXPECT_EQ(GetThreadPriority(h), p);
  }
  for (int p : {3, -3, 100}) {
    SetLastError(0);
    EXPECT_FALSE(SetThreadPriority(h, p)) << p;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST));
  EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_HIGHEST);
  ResumeThread(h);
  WaitForSingleObject(h, INFINITE);
  CloseHandle(h);
  EXPECT_FALSE(SetThreadPriority(h, THREAD_PRIORITY_NORMAL));
  EXPECT_EQ(GetThreadPriority(h), THREAD_PRIORITY_ERROR_RETURN);
}

TEST(Interlocked, ReturnsWhatTheOriginalsReturn) {
  LONG v = 5;
  EXPECT_EQ(InterlockedIncrement(&v), 6);
  EXPECT_EQ(InterlockedDecrement(&v), 5);
  EXPECT_EQ(InterlockedExchange(&v, 9), 5);
  EXPECT_EQ(InterlockedCompareExchange(&v, 1, 8), 9) << "no match: value found, unchanged";
  EXPECT_EQ(v, 9);
  EXPECT_EQ(InterlockedCompareExchange(&v, 1, 9), 9);
  EXPECT_EQ(v, 1);
}

TEST(CriticalSection, IsRecursiveForItsOwnerAndExcludesOthersUntilFullyLeft) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  auto otherCanEnter = [&] {
    BOOL entered = FALSE;
    std::thread([&] {
      entered = TryEnterCriticalSection(&cs);
      if (entered) LeaveCriticalSection(&cs);
    }).join();
    return entered;
  };
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EXPECT_TRUE(TryEnterCriticalSection(&cs));
  for (int depth = 3; depth > 0; --depth) {
    EXPECT_FALSE(otherCanEnter()) << depth;
    LeaveCriticalSection(&cs);
  }
  EXPECT_TRUE(otherCanEnter());
  DeleteCriticalSection(&cs);
}

TEST(CriticalSection, SerialisesItsUsers) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  int counter = 0;  // plain on purpose: the sanitizers see any unguarded access
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; ++i) {
        EnterCriticalSection(&cs);
        EnterCriticalSection(&cs);
        ++counter;
        LeaveCriticalSection(&cs);
        LeaveCriticalSection(&cs);
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 20000);
  DeleteCriticalSection(&cs);
}

}  // namespace
