// Threads on pthreads. A thread handle is signalled when the thread has ended; a thread created
// suspended waits at a gate until ResumeThread opens it. Nothing here ends a thread from outside:
// AbandonThread only stops the platform from waiting for it.
#include "SyncObjects.h"

#include "base/ThreadSlot.h"
#include "module/ThreadNotice.h"

#include <platform/module.h>

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>

namespace kvp::sync {

namespace {

thread_local DWORD tlsThreadId = 0;

// A forked child runs on a new thread id: forget the parent's.
[[maybe_unused]] const int kForkHook = pthread_atfork(nullptr, nullptr, [] { tlsThreadId = 0; });
// The thread's own object (see ThreadSlot for why not a thread_local).
std::shared_ptr<ThreadObject>& Self() {
  static auto* slot = new ThreadSlot<std::shared_ptr<ThreadObject>>;
  return slot->Get();
}

constexpr int kValidPriorities[] = {
    THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
    THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL,
};

std::shared_ptr<ThreadObject> ThreadOf(HANDLE h) {
  if (h == kCurrentThreadPseudoHandle) return CurrentThreadObject();
  return LookupHandle<ThreadObject>(h);
}

// Marks the thread ended however it leaves its start routine: by returning, or by ExitThread
// (pthread_exit unwinds through this frame).
struct Finisher {
  ThreadObject& thread;
  DWORD returnedCode = 0;
  bool returned = false;
  ~Finisher() {
    // The modules hear of the end before anyone waiting for the thread does.
    kvp::module::NotifyThreadModules(DLL_THREAD_DETACH);
    // Mutexes first, so that a waiter released by the end of the thread finds them free.
    AbandonMutexesOf(GetCurrentThreadId());
    thread.Finish(returned ? returnedCode : thread.requestedExitCode);
  }
};

void* ThreadMain(void* arg) {
  auto* handoff = static_cast<std::shared_ptr<ThreadObject>*>(arg);
  Self() = std::move(*handoff);
  delete handoff;
  ThreadObject& self = *Self();
  {
    std::unique_lock gate(self.gateMu);
    self.threadId = GetCurrentThreadId();
    self.gateCv.notify_all();
    self.gateCv.wait(gate, [&] { return self.suspendCount == 0; });
  }
  Finisher finisher{self};
  kvp::module::NotifyThreadModules(DLL_THREAD_ATTACH);
  finisher.returnedCode = self.start(self.param);
  finisher.returned = true;
  return nullptr;
}

}  // namespace

void ThreadObject::Finish(DWORD exitCode) {
  std::lock_guard lock(WaitLock());
  if (ended_) return;
  exitCode_ = exitCode;
  ended_ = true;
  WakeWaiters();
}

DWORD ThreadObject::ExitCode() {
  std::lock_guard lock(WaitLock());
  return exitCode_;
}

std::shared_ptr<ThreadObject> CurrentThreadObject() {
  std::shared_ptr<ThreadObject>& self = Self();
  if (!self) {
    self = std::make_shared<ThreadObject>();
    self->threadId = GetCurrentThreadId();
  }
  return self;
}

}  // namespace kvp::sync

using kvp::sync::ThreadObject;

namespace kvp {

PLATFORM_API BOOL AbandonThread(HANDLE thread) {
  auto t = sync::ThreadOf(thread);
  if (!t) return FALSE;
  // Its handle now reads as ended (exit code 0). Mutexes it owns stay owned: it may still be
  // inside the code they guard.
  t->abandoned = true;
  t->Finish(0);
  return TRUE;
}

PLATFORM_API bool CurrentThreadAbandoned() {
  const std::shared_ptr<ThreadObject>& self = sync::Self();
  return self && self->abandoned;
}

}  // namespace kvp

extern "C" {

PLATFORM_API HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID param,
                                 DWORD flags, LPDWORD threadId) {
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto t = std::make_shared<ThreadObject>();
  t->start = start;
  t->param = param;
  t->suspendCount = (flags & CREATE_SUSPENDED) ? 1 : 0;
  HANDLE h = kvp::RegisterHandle(t);
  if (!h) return 0;

  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  // The system asks for tiny stacks (1 KiB); only a request above the default is honoured.
  size_t defaultStack = 0;
  pthread_attr_getstacksize(&attr, &defaultStack);
  if (stackSize > defaultStack) pthread_attr_setstacksize(&attr, stackSize);
  auto* handoff = new std::shared_ptr<ThreadObject>(t);
  pthread_t tid;
  int rc = pthread_create(&tid, &attr, kvp::sync::ThreadMain, handoff);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete handoff;
    kvp::HandleTable::Instance().Remove(h);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  {
    std::unique_lock gate(t->gateMu);
    t->gateCv.wait(gate, [&] { return t->threadId != 0; });
  }
  if (threadId) *threadId = t->threadId;
  return h;
}

PLATFORM_API DWORD ResumeThread(HANDLE thread) {
  auto t = kvp::sync::ThreadOf(thread);
  if (!t) return static_cast<DWORD>(-1);
  std::lock_guard gate(t->gateMu);
  DWORD previous = t->suspendCount;
  if (previous > 0 && --t->suspendCount == 0) t->gateCv.notify_all();
  return previous;
}

PLATFORM_API BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
  auto t = kvp::sync::ThreadOf(thread);
  if (!t) return FALSE;
  if (!exitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *exitCode = t->ExitCode();
  return TRUE;
}

PLATFORM_API BOOL SetThreadPriority(HANDLE thread, int priority) {
  auto t = kvp::sync::ThreadOf(thread);
  if (!t) return FALSE;
  if (std::find(std::begin(kvp::sync::kValidPriorities), std::end(kvp::sync::kValidPriorities), priority) ==
      std::end(kvp::sync::kValidPriorities)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Advisory: remembered and reported back; scheduling is left to the system.
  t->priority = priority;
  return TRUE;
}

PLATFORM_API int GetThreadPriority(HANDLE thread) {
  auto t = kvp::sync::ThreadOf(thread);
  if (!t) return THREAD_PRIORITY_ERROR_RETURN;
  return t->priority;
}

PLATFORM_API HANDLE GetCurrentThread(void) { return kvp::kCurrentThreadPseudoHandle; }

PLATFORM_API DWORD GetCurrentThreadId(void) {
  if (kvp::sync::tlsThreadId == 0) kvp::sync::tlsThreadId = static_cast<DWORD>(gettid());
  return kvp::sync::tlsThreadId;
}

PLATFORM_API DWORD GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

PLATFORM_API void ExitThread(DWORD exitCode) {
  kvp::sync::CurrentThreadObject()->requestedExitCode = exitCode;
  pthread_exit(nullptr);
}

}  // extern "C"
