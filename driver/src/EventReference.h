// A caller's event held by the driver: referenced by handle, set from any level, let go once.
#pragma once

#include "DriverMemory.h"

namespace qrtdrv {

class EventReference {
 public:
  ~EventReference() { Release(); }

  // Lets go of an event held before, then references the one named by the handle; a handle that
  // names no event leaves none held. Returns whether one is held now.
  bool Set(HANDLE handle);
  void Release();
  // Sets the event when one is held.
  void Signal();
  bool Held() const { return __atomic_load_n(&object_, __ATOMIC_ACQUIRE) != nullptr; }

 private:
  PKEVENT Take() { return __atomic_exchange_n(&object_, nullptr, __ATOMIC_ACQ_REL); }

  PKEVENT object_ = nullptr;
  KSPIN_LOCK lock_ = 0;  // keeps Signal from racing a release
};

}  // namespace qrtdrv
