// Dispatcher objects on the platform's wait engine (so kernel waits run on the platform clock and
// a user-mode event referenced by handle is the same object), fast mutexes, spin locks with a
// thread-local interrupt level, and object references over the shared handle table.
#include "HostInternal.h"

#include "sync/SyncObjects.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace kvp::kernel {

namespace {

thread_local KIRQL tIrql = PASSIVE_LEVEL;

// The waitable object behind each initialised KEVENT, by address. A KEVENT has no destructor, so
// the entry stays until the address is initialised again (stack events reuse a few addresses).
struct EventTable {
  std::mutex mu;
  std::unordered_map<PKEVENT, std::shared_ptr<sync::EventObject>> byAddress;
};
EventTable& Events() {
  static auto* table = new EventTable;
  return *table;
}

// A user-mode event referenced by a driver: a KEVENT over the same object, kept alive by the
// reference.
struct ReferencedEvent {
  KEVENT event;
  std::shared_ptr<sync::EventObject> keep;
};
struct ReferenceTable {
  std::mutex mu;
  std::unordered_set<ReferencedEvent*> live;
};
ReferenceTable& References() {
  static auto* table = new ReferenceTable;
  return *table;
}

KSPIN_LOCK gCancelLock = 0;

[[noreturn]] void BugCheck(const char* what) {
  std::fprintf(stderr, "kernel host: %s\n", what);
  std::abort();
}

uint32_t RelativeMs(PLARGE_INTEGER timeout) {
  if (!timeout) return INFINITE;
  if (timeout->QuadPart >= 0) return 0;  // absolute times are not used by the drivers hosted here
  const uint64_t units = static_cast<uint64_t>(-timeout->QuadPart);
  const uint64_t ms = (units + 9999) / 10000;
  return ms >= INFINITE ? INFINITE - 1 : static_cast<uint32_t>(ms);
}

}  // namespace

void SetCurrentIrql(KIRQL irql) { tIrql = irql; }

}  // namespace kvp::kernel

using namespace kvp::kernel;
using kvp::sync::EventObject;

static int gEventObjectType = 0;
static POBJECT_TYPE gEventObjectTypePtr = &gEventObjectType;

extern "C" {

PLATFORM_API POBJECT_TYPE* ExEventObjectType = &gEventObjectTypePtr;

PLATFORM_API void KeInitializeEvent(PKEVENT event, EVENT_TYPE type, BOOLEAN state) {
  auto object = std::make_shared<EventObject>(type == NotificationEvent, state != FALSE);
  auto& table = Events();
  std::lock_guard lock(table.mu);
  event->Object = object.get();
  event->Type = type;
  table.byAddress[event] = std::move(object);
}

PLATFORM_API LONG KeSetEvent(PKEVENT event, KPRIORITY, BOOLEAN) {
  static_cast<EventObject*>(event->Object)->Set();
  return 0;
}

PLATFORM_API void KeClearEvent(PKEVENT event) { static_cast<EventObject*>(event->Object)->Reset(); }

PLATFORM_API NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN,
                                            PLARGE_INTEGER timeout) {
  const uint32_t ms = RelativeMs(timeout);
  if (ms != 0 && tIrql > PASSIVE_LEVEL) BugCheck("wait at raised interrupt level");
  kvp::Waitable* waitable = static_cast<EventObject*>(static_cast<PKEVENT>(object)->Object);
  const DWORD r = kvp::WaitForObjects(&waitable, 1, false, ms);
  return r == WAIT_OBJECT_0 ? STATUS_SUCCESS : STATUS_TIMEOUT;
}

PLATFORM_API void ExInitializeFastMutex(PFAST_MUTEX mutex) {
  static_assert(sizeof(std::mutex) <= sizeof(FAST_MUTEX::Storage));
  new (mutex->Storage) std::mutex;
}

PLATFORM_API void ExAcquireFastMutex(PFAST_MUTEX mutex) {
  if (tIrql > APC_LEVEL) BugCheck("fast mutex above APC level");
  std::launder(reinterpret_cast<std::mutex*>(mutex->Storage))->lock();
}

PLATFORM_API void ExReleaseFastMutex(PFAST_MUTEX mutex) {
  std::launder(reinterpret_cast<std::mutex*>(mutex->Storage))->unlock();
}

PLATFORM_API KIRQL KeGetCurrentIrql(void) { return tIrql; }

PLATFORM_API void KeInitializeSpinLock(PKSPIN_LOCK lock) { __atomic_store_n(lock, 0, __ATOMIC_RELEASE); }

PLATFORM_API void KeAcquireSpinLock(PKSPIN_LOCK lock, PKIRQL oldIrql) {
  *oldIrql = tIrql;
  tIrql = DISPATCH_LEVEL;
  while (__atomic_exchange_n(lock, 1, __ATOMIC_ACQUIRE)) std::this_thread::yield();
}

PLATFORM_API void KeReleaseSpinLock(PKSPIN_LOCK lock, KIRQL newIrql) {
  __atomic_store_n(lock, 0, __ATOMIC_RELEASE);
  tIrql = newIrql;
}

PLATFORM_API void IoAcquireCancelSpinLock(PKIRQL irql) { KeAcquireSpinLock(&gCancelLock, irql); }
PLATFORM_API void IoReleaseCancelSpinLock(KIRQL irql) { KeReleaseSpinLock(&gCancelLock, irql); }

PLATFORM_API NTSTATUS ObReferenceObjectByHandle(HANDLE handle, ACCESS_MASK, POBJECT_TYPE type, KPROCESSOR_MODE,
                                                PVOID* object, PVOID) {
  if (!object) return STATUS_INVALID_PARAMETER;
  *object = nullptr;
  auto base = kvp::HandleTable::Instance().Get(handle);
  if (!base) return STATUS_INVALID_HANDLE;
  auto event = std::dynamic_pointer_cast<EventObject>(base);
  if (!event || (type && type != *ExEventObjectType)) return STATUS_OBJECT_TYPE_MISMATCH;
  auto* ref = new ReferencedEvent;
  ref->event.Object = event.get();
  ref->event.Type = NotificationEvent;
  ref->keep = std::move(event);
  {
    auto& table = References();
    std::lock_guard lock(table.mu);
    table.live.insert(ref);
  }
  *object = &ref->event;
  return STATUS_SUCCESS;
}

PLATFORM_API void ObDereferenceObject(PVOID object) {
  auto* ref = reinterpret_cast<ReferencedEvent*>(object);  // event is the first member
  {
    auto& table = References();
    std::lock_guard lock(table.mu);
    if (!table.live.erase(ref)) return;
  }
  delete ref;
}

}  // extern "C"
