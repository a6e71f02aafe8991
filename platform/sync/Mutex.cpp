// Mutexes: owned by one thread at a time, recursive for the owner, abandoned when the owner ends
// without releasing them.
#include "SyncObjects.h"

#include "base/ThreadSlot.h"

#include <sys/file.h>
#include <unistd.h>

#include <unordered_set>

namespace kvp::sync {

namespace {

// Every live mutex, so that a thread that ends can give back what it still owns (wait lock).
std::unordered_set<MutexObject*>& LiveMutexes() {
  static auto* set = new std::unordered_set<MutexObject*>;
  return *set;
}

struct ThreadExitHook {
  DWORD threadId = GetCurrentThreadId();
  ~ThreadExitHook() { AbandonMutexesOf(threadId); }
};

}  // namespace

void EnsureThreadExitHook() {
  static auto* slot = new ThreadSlot<ThreadExitHook>;
  slot->Get();
}

void AbandonMutexesOf(DWORD threadId) {
  std::lock_guard lock(WaitLock());
  for (MutexObject* m : LiveMutexes()) m->AbandonLocked(threadId);
}

MutexObject::MutexObject() {
  std::lock_guard lock(WaitLock());
  LiveMutexes().insert(this);
}

MutexObject::~MutexObject() {
  {
    std::lock_guard lock(WaitLock());
    LiveMutexes().erase(this);
  }
  // Ownership first, then the reference that keeps the name in existence.
  if (lockFd_ >= 0) close(lockFd_);
  if (refFd_ >= 0) close(refFd_);
}

bool MutexObject::ProcessLockHeldLocked() {
  if (lockFd_ < 0 || processLocked_) return true;
  processLocked_ = flock(lockFd_, LOCK_EX | LOCK_NB) == 0;
  return processLocked_;
}

bool MutexObject::IsSignalledFor(DWORD threadId) {
  if (owner_ == threadId) return true;
  if (owner_ != 0) return false;
  return ProcessLockHeldLocked();
}

bool MutexObject::Consume(DWORD threadId) {
  if (owner_ == threadId) {
    ++recursion_;
    return false;
  }
  owner_ = threadId;
  recursion_ = 1;
  bool wasAbandoned = abandoned_;
  abandoned_ = false;
  return wasAbandoned;
}

void MutexObject::Relinquish(DWORD) {
  if (owner_ == 0 && processLocked_) {
    flock(lockFd_, LOCK_UN);
    processLocked_ = false;
  }
}

bool MutexObject::TakeInitialOwnershipLocked(DWORD threadId) {
  if (!IsSignalledFor(threadId)) return false;
  Consume(threadId);
  return true;
}

bool MutexObject::Release(DWORD threadId) {
  std::lock_guard lock(WaitLock());
  if (owner_ != threadId || owner_ == 0) return false;
  if (--recursion_ > 0) return true;
  owner_ = 0;
  WakeWaiters();          // a thread of this process waiting for it takes it over directly
  Relinquish(threadId);   // else other processes may have it
  return true;
}

void MutexObject::AbandonLocked(DWORD threadId) {
  if (owner_ != threadId || owner_ == 0) return;
  owner_ = 0;
  recursion_ = 0;
  abandoned_ = true;
  WakeWaiters();
  Relinquish(threadId);
}

}  // namespace kvp::sync

using kvp::sync::MutexObject;

extern "C" {

PLATFORM_API HANDLE CreateMutex(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
  kvp::sync::EnsureThreadExitHook();
  std::shared_ptr<MutexObject> mutex;
  bool existed = false;
  if (name && *name) {
    mutex = kvp::sync::OpenNamedMutex(name, true, existed);
    if (!mutex) return 0;  // error set by OpenNamedMutex
  } else {
    mutex = std::make_shared<MutexObject>();
  }
  // Creating an existing name opens it; the caller does not own it then.
  if (initialOwner && !existed) {
    std::lock_guard lock(kvp::WaitLock());
    mutex->TakeInitialOwnershipLocked(GetCurrentThreadId());
  }
  HANDLE h = kvp::RegisterHandle(mutex);
  if (h) SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

PLATFORM_API HANDLE OpenMutex(DWORD, BOOL, LPCSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  bool existed = false;
  auto mutex = kvp::sync::OpenNamedMutex(name, false, existed);
  if (!mutex) return 0;
  HANDLE h = kvp::RegisterHandle(mutex);
  if (h) SetLastError(ERROR_SUCCESS);
  return h;
}

PLATFORM_API BOOL ReleaseMutex(HANDLE mutex) {
  auto m = kvp::LookupHandle<MutexObject>(mutex);
  if (!m) return FALSE;
  if (!m->Release(GetCurrentThreadId())) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
