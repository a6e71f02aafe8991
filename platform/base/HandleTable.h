// The handle table behind every HANDLE-like value the platform gives out (events, threads,
// mutexes, files, devices, windows, GDI objects).
//
// A handle is a 32-bit value: slot index in the low 20 bits, a generation in bits 20..30, bit 31
// always clear (so handles never collide with the predefined registry keys, INVALID_HANDLE_VALUE
// or the pseudo handles). The generation moves on every time a slot is freed and freed slots are
// reused oldest first, so a handle kept after CloseHandle fails cleanly instead of reaching the
// next object put in its slot.
//
// Objects are shared: the table holds one reference per handle, and a call in progress (a wait, a
// message being sent) holds its own, so closing a handle never pulls an object out from under a
// thread that is using it.
#pragma once

#include <platform/types.h>

#include <memory>
#include <mutex>
#include <vector>

namespace kvp {

// Pseudo handle of the calling thread (GetCurrentThread); never in the table.
constexpr HANDLE kCurrentThreadPseudoHandle = 0xFFFFFFFEu;

// Base of every object a handle can refer to.
class KernelObject {
 public:
  KernelObject() = default;
  KernelObject(const KernelObject&) = delete;
  KernelObject& operator=(const KernelObject&) = delete;
  virtual ~KernelObject() = default;

  // Whether CloseHandle may close a handle to this object. Objects with their own way of ending
  // (windows: DestroyWindow; registry keys: RegCloseKey) say no, so CloseHandle on them fails.
  virtual bool AllowCloseHandle() const { return true; }
  // Called after one handle to the object has left the table (the object may have others).
  virtual void OnHandleClosed() {}
};

class HandleTable {
 public:
  static constexpr unsigned kIndexBits = 20;
  static constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
  static constexpr uint32_t kGenerationMask = 0x7FFu;  // bits 20..30

  // The process-wide table.
  static HandleTable& Instance();

  // Puts an object in the table; 0 when the table is full (or obj is null).
  HandleTable() = default;
  HandleTable(const HandleTable&) = delete;
  HandleTable& operator=(const HandleTable&) = delete;

  HANDLE Insert(std::shared_ptr<KernelObject> obj);
  // The object behind a handle, or null for 0, a closed or a stale handle.
  std::shared_ptr<KernelObject> Get(HANDLE h) const;
  template <class T>
  std::shared_ptr<T> GetAs(HANDLE h) const {
    return std::dynamic_pointer_cast<T>(Get(h));
  }
  // Takes the object out of the table; null when the handle was not valid.
  std::shared_ptr<KernelObject> Remove(HANDLE h);
  // Number of open handles.
  size_t Count() const;

 private:
  struct Slot {
    std::shared_ptr<KernelObject> obj;
    uint32_t generation = 1;
  };
  bool Decode(HANDLE h, uint32_t& index) const;

  mutable std::mutex mu_;
  std::vector<Slot> slots_{1};  // slot 0 is never used: handle 0 means "no handle"
  std::vector<uint32_t> free_;  // ring of freed indices, reused oldest first
  size_t freeHead_ = 0;
};

// Shorthands for the areas: register an object, look one up by type. Lookup sets
// ERROR_INVALID_HANDLE when the handle is not valid or not of the type asked for.
HANDLE RegisterHandle(std::shared_ptr<KernelObject> obj);
template <class T>
std::shared_ptr<T> LookupHandle(HANDLE h) {
  auto obj = HandleTable::Instance().GetAs<T>(h);
  if (!obj) SetLastError(ERROR_INVALID_HANDLE);
  return obj;
}

// ---------------------------------------------------------------------------------------------
// Waitable objects. Every wait (WaitForSingleObject, WaitForMultipleObjects, Sleep, and the
// window layer's message waits) runs on one process-wide wait lock; an object's state changes
// under that lock and the change completes the waiting threads at once, in the order they began
// to wait. Deciding at signal time is what gives the wait rules their meaning: a manual-reset event
// set and reset at once has still released every waiter, and an auto-reset event is consumed by
// exactly the one wait that returns it.
//
// To add a waitable kind (a process handle, a device), derive from Waitable, change the state with
// the lock held and call WakeWaiters() after it became signalled:
//   { std::lock_guard lock(kvp::WaitLock()); ended_ = true; WakeWaiters(); }

struct WaitBlock;  // one thread's wait in progress (defined by the wait engine)

std::mutex& WaitLock();

class Waitable : public KernelObject {
 public:
  // The following run with WaitLock() held.
  // Whether a wait by the given thread would be satisfied now.
  virtual bool IsSignalledFor(DWORD threadId) = 0;
  // The wait of that thread returns this object: take the signal (reset an auto-reset event, take
  // a mutex). Returns true when the object was abandoned (a mutex whose owner ended).
  virtual bool Consume(DWORD threadId) = 0;
  // Undoes what IsSignalledFor took on the side when a wait for all objects did not complete.
  virtual void Relinquish(DWORD threadId) {}
  // Objects whose state can change without a call in this process (a mutex held by another
  // process) are asked again now and then while a thread waits on them.
  virtual bool NeedsPolling() const { return false; }

  std::vector<WaitBlock*> waiters;  // threads waiting on this object, oldest first

 protected:
  // Completes the waiters that the object's new state satisfies. Call with WaitLock() held.
  void WakeWaiters();
};

// Waits for one or all of the objects (count may be 0: a plain sleep). Returns WAIT_OBJECT_0 + i,
// WAIT_ABANDONED_0 + i or WAIT_TIMEOUT; the time-out runs on the platform clock.
DWORD WaitForObjects(Waitable* const* objects, DWORD count, bool waitAll, DWORD timeoutMs);

}  // namespace kvp
