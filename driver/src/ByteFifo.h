// The driver's receive ring: single bytes, one slot always free, guarded by a spin lock.
#pragma once

#include "DriverMemory.h"

namespace qrtdrv {

class ByteFifo {
 public:
  static constexpr ULONG kSlots = 0x8400 + 1;  // holds 0x8400 bytes, eight replies of 4224

  ByteFifo();
  ~ByteFifo();

  bool Valid() const { return storage_ != nullptr; }
  // Lock-holding helpers: the caller takes the lock around a test and a store, so a reply is
  // stored whole or not at all and the data event is set under the lock.
  void Lock() { KeAcquireSpinLock(&lock_, &irql_); }
  void Unlock() { KeReleaseSpinLock(&lock_, irql_); }
  ULONG CountLocked() const;
  ULONG FreeLocked() const;
  ULONG WriteLocked(const UCHAR* source, ULONG n);
  ULONG ReadLocked(UCHAR* target, ULONG n);

  void Clear();

 private:
  ULONG read_ = 0;
  ULONG write_ = 0;
  UCHAR* storage_ = nullptr;
  KSPIN_LOCK lock_ = 0;
  KIRQL irql_ = 0;
};

}  // namespace qrtdrv
