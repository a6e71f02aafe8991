// Movable memory blocks: handles from the handle table over byte buffers that never move, with a
// lock count as the class library expects.
#include <platform/print.h>

#include <atomic>
#include <new>
#include <vector>

#include "base/HandleTable.h"

namespace kvp::print {
namespace {

class MemoryBlock final : public KernelObject {
 public:
  explicit MemoryBlock(size_t size) : bytes(size, 0) {}
  bool AllowCloseHandle() const override { return false; }
  std::vector<unsigned char> bytes;
  std::atomic<int> locks{0};
};

std::shared_ptr<MemoryBlock> Lookup(HGLOBAL mem) { return LookupHandle<MemoryBlock>(mem); }

}  // namespace
}  // namespace kvp::print

using kvp::print::Lookup;

extern "C" {

HGLOBAL GlobalAlloc(UINT, SIZE_T bytes) {
  try {
    // A zero-sized block still has an address to lock.
    auto block = std::make_shared<kvp::print::MemoryBlock>(bytes ? bytes : 1);
    HGLOBAL h = kvp::RegisterHandle(block);
    if (!h) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return h;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
}

LPVOID GlobalLock(HGLOBAL mem) {
  auto block = Lookup(mem);
  if (!block) return nullptr;
  ++block->locks;
  return block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL mem) {
  auto block = Lookup(mem);
  if (!block) return FALSE;
  int now = block->locks.load();
  while (now > 0 && !block->locks.compare_exchange_weak(now, now - 1)) {
  }
  if (now > 1) return TRUE;
  SetLastError(ERROR_SUCCESS);
  return FALSE;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
  if (!mem) return 0;
  if (!Lookup(mem)) return mem;
  kvp::HandleTable::Instance().Remove(mem);
  return 0;
}

SIZE_T GlobalSize(HGLOBAL mem) {
  auto block = Lookup(mem);
  return block ? block->bytes.size() : 0;
}

}  // extern "C"
