#include "EventReference.h"

namespace qrtdrv {

bool EventReference::Set(HANDLE handle) {
  Release();
  PVOID object = nullptr;
  if (!NT_SUCCESS(ObReferenceObjectByHandle(handle, EVENT_MODIFY_STATE, *ExEventObjectType, UserMode, &object,
                                            nullptr)))
    return false;
  KIRQL irql;
  KeAcquireSpinLock(&lock_, &irql);
  PKEVENT old = object_;
  __atomic_store_n(&object_, static_cast<PKEVENT>(object), __ATOMIC_RELEASE);
  KeReleaseSpinLock(&lock_, irql);
  if (old) ObDereferenceObject(old);
  return true;
}

void EventReference::Release() {
  KIRQL irql;
  KeAcquireSpinLock(&lock_, &irql);
  PKEVENT old = Take();
  KeReleaseSpinLock(&lock_, irql);
  if (old) ObDereferenceObject(old);
}

void EventReference::Signal() {
  KIRQL irql;
  KeAcquireSpinLock(&lock_, &irql);
  if (object_) KeSetEvent(object_, IO_NO_INCREMENT, FALSE);
  KeReleaseSpinLock(&lock_, irql);
}

}  // namespace qrtdrv
