#include "ByteFifo.h"

#include <cstring>

namespace qrtdrv {

ByteFifo::ByteFifo() {
  KeInitializeSpinLock(&lock_);
  storage_ = static_cast<UCHAR*>(PoolAlloc(kSlots));
}

ByteFifo::~ByteFifo() { PoolFree(storage_); }

ULONG ByteFifo::CountLocked() const {
  if (!storage_) return 0;
  return read_ <= write_ ? write_ - read_ : write_ + kSlots - read_;
}

ULONG ByteFifo::FreeLocked() const {
  if (!storage_) return 0;
  return (write_ < read_ ? read_ : kSlots + read_) - write_ - 1;
}

ULONG ByteFifo::WriteLocked(const UCHAR* source, ULONG n) {
  const ULONG free = FreeLocked();
  if (n > free) n = free;
  const ULONG first = n < kSlots - write_ ? n : kSlots - write_;
  std::memcpy(storage_ + write_, source, first);
  std::memcpy(storage_, source + first, n - first);
  write_ = (write_ + n) % kSlots;
  return n;
}

ULONG ByteFifo::ReadLocked(UCHAR* target, ULONG n) {
  const ULONG count = CountLocked();
  if (n > count) n = count;
  const ULONG first = n < kSlots - read_ ? n : kSlots - read_;
  std::memcpy(target, storage_ + read_, first);
  std::memcpy(target + first, storage_, n - first);
  read_ = (read_ + n) % kSlots;
  return n;
}

void ByteFifo::Clear() {
  Lock();
  read_ = write_ = 0;
  Unlock();
}

}  // namespace qrtdrv
