// Every allocation of the driver comes from non-paged pool under its one tag, so the kernel's
// per-tag accounting shows what the driver still holds.
#pragma once

#include <platform/kernel/wdm.h>

#include <new>
#include <utility>

namespace qrtdrv {

constexpr ULONG kPoolTag = PoolTag("Wdm ");

inline void* PoolAlloc(SIZE_T bytes) { return ExAllocatePoolWithTag(NonPagedPool, bytes, kPoolTag); }
inline void PoolFree(void* block) {
  if (block) ExFreePoolWithTag(block, kPoolTag);
}

template <class T, class... Args>
T* PoolNew(Args&&... args) {
  void* block = PoolAlloc(sizeof(T));
  return block ? new (block) T(std::forward<Args>(args)...) : nullptr;
}
template <class T>
void PoolDelete(T* object) {
  if (!object) return;
  object->~T();
  PoolFree(object);
}

}  // namespace qrtdrv
