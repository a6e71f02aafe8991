// The waitable objects of the sync area: events, mutexes, threads.
#pragma once

#include "base/HandleTable.h"

#include <platform/sync.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <string>

namespace kvp::sync {

class EventObject : public Waitable {
 public:
  EventObject(bool manualReset, bool initialState) : manualReset_(manualReset), signalled_(initialState) {}

  void Set();
  void Reset();
  void Pulse();

  bool IsSignalledFor(DWORD) override { return signalled_; }
  bool Consume(DWORD) override {
    if (!manualReset_) signalled_ = false;
    return false;
  }

 private:
  const bool manualReset_;
  bool signalled_;  // under the wait lock
};

// A mutex owned by a thread, entered again by its owner as often as it likes. A named mutex is
// also held against other processes by an exclusive flock on its lock file while any thread of
// this process owns it.
class MutexObject : public Waitable {
 public:
  MutexObject();
  ~MutexObject() override;

  // Takes ownership for the calling thread at creation (with the wait lock held).
  bool TakeInitialOwnershipLocked(DWORD threadId);
  // Fails (ERROR_NOT_OWNER) when the calling thread does not own it.
  bool Release(DWORD threadId);
  // The owner has ended without releasing: the next wait that gets it learns it was abandoned.
  void AbandonLocked(DWORD threadId);

  bool IsSignalledFor(DWORD threadId) override;
  bool Consume(DWORD threadId) override;
  void Relinquish(DWORD threadId) override;
  bool NeedsPolling() const override { return lockFd_ >= 0; }

  // Cross-process part, set up by the named-mutex code before the object is shared.
  void AttachNamed(std::string name, int lockFd, int refFd) {
    name_ = std::move(name);
    lockFd_ = lockFd;
    refFd_ = refFd;
  }
  const std::string& Name() const { return name_; }

 private:
  bool ProcessLockHeldLocked();

  DWORD owner_ = 0;  // thread id; 0 = free (all under the wait lock)
  unsigned recursion_ = 0;
  bool abandoned_ = false;
  bool processLocked_ = false;  // named: this process holds the lock file
  std::string name_;
  int lockFd_ = -1;
  int refFd_ = -1;
};

// Every mutex owned by a thread that ends is abandoned; threads that wait or take mutexes
// install the hook that does it.
void EnsureThreadExitHook();
void AbandonMutexesOf(DWORD threadId);

// Named mutexes (NamedMutex.cpp): the process-wide object for a name, created or opened.
// existed tells whether the name was in use already (here or in another process).
std::shared_ptr<MutexObject> OpenNamedMutex(const std::string& name, bool create, bool& existed);

class ThreadObject : public Waitable {
 public:
  // Signalled once the thread has ended (or been abandoned); never consumed.
  bool IsSignalledFor(DWORD) override { return ended_; }
  bool Consume(DWORD) override { return false; }

  // Marks the thread ended with its exit code (the first call counts).
  void Finish(DWORD exitCode);
  DWORD ExitCode();

  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID param = nullptr;
  std::atomic<DWORD> threadId{0};
  std::atomic<int> priority{THREAD_PRIORITY_NORMAL};
  std::atomic<bool> abandoned{false};
  DWORD requestedExitCode = 0;  // set by ExitThread on the thread itself

  // Start gate: a thread created suspended waits here until its suspend count reaches 0.
  std::mutex gateMu;
  std::condition_variable gateCv;
  DWORD suspendCount = 0;

 private:
  bool ended_ = false;  // under the wait lock
  DWORD exitCode_ = STILL_ACTIVE;
};

// The calling thread's object (created on first use for threads not started by CreateThread).
std::shared_ptr<ThreadObject> CurrentThreadObject();

}  // namespace kvp::sync
