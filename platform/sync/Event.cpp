// Events: manual-reset (stays set until reset, releases every waiter) and auto-reset (releases
// one waiter and resets itself in the same step).
#include "SyncObjects.h"

namespace kvp::sync {

void EventObject::Set() {
  std::lock_guard lock(WaitLock());
  signalled_ = true;
  WakeWaiters();  // the waiters are released now, whatever happens to the event next
}

void EventObject::Reset() {
  std::lock_guard lock(WaitLock());
  signalled_ = false;
}

void EventObject::Pulse() {
  std::lock_guard lock(WaitLock());
  signalled_ = true;
  WakeWaiters();
  signalled_ = false;
}

}  // namespace kvp::sync

using kvp::sync::EventObject;

extern "C" {

// Event names are not shared: the system names none of its events.
PLATFORM_API HANDLE CreateEvent(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR) {
  HANDLE h = kvp::RegisterHandle(std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
  if (h) SetLastError(ERROR_SUCCESS);
  return h;
}

PLATFORM_API BOOL SetEvent(HANDLE event) {
  auto ev = kvp::LookupHandle<EventObject>(event);
  if (!ev) return FALSE;
  ev->Set();
  return TRUE;
}

PLATFORM_API BOOL ResetEvent(HANDLE event) {
  auto ev = kvp::LookupHandle<EventObject>(event);
  if (!ev) return FALSE;
  ev->Reset();
  return TRUE;
}

PLATFORM_API BOOL PulseEvent(HANDLE event) {
  auto ev = kvp::LookupHandle<EventObject>(event);
  if (!ev) return FALSE;
  ev->Pulse();
  return TRUE;
}

}  // extern "C"
