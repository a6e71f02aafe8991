#include "HandleTable.h"

namespace kvp {

HandleTable& HandleTable::Instance() {
  // Never destroyed: threads still running at process exit may close handles.
  static HandleTable* table = new HandleTable;
  return *table;
}

bool HandleTable::Decode(HANDLE h, uint32_t& index) const {
  if (h & 0x80000000u) return false;
  index = h & kIndexMask;
  if (index == 0 || index >= slots_.size()) return false;
  const Slot& slot = slots_[index];
  return slot.obj && slot.generation == ((h >> kIndexBits) & kGenerationMask);
}

HANDLE HandleTable::Insert(std::shared_ptr<KernelObject> obj) {
  if (!obj) return 0;
  std::lock_guard lock(mu_);
  uint32_t index;
  // Reuse freed slots oldest first, but only once enough have piled up: a stale handle then
  // meets a slot whose generation has moved on, or a slot still free.
  if (free_.size() - freeHead_ > 64) {
    index = free_[freeHead_++];
    if (freeHead_ > 4096 && freeHead_ * 2 > free_.size()) {
      free_.erase(free_.begin(), free_.begin() + static_cast<std::ptrdiff_t>(freeHead_));
      freeHead_ = 0;
    }
  } else if (slots_.size() <= kIndexMask) {
    index = static_cast<uint32_t>(slots_.size());
    slots_.emplace_back();
  } else if (free_.size() > freeHead_) {
    index = free_[freeHead_++];
  } else {
    return 0;
  }
  Slot& slot = slots_[index];
  slot.obj = std::move(obj);
  return (slot.generation << kIndexBits) | index;
}

std::shared_ptr<KernelObject> HandleTable::Get(HANDLE h) const {
  std::lock_guard lock(mu_);
  uint32_t index;
  if (!Decode(h, index)) return nullptr;
  return slots_[index].obj;
}

std::shared_ptr<KernelObject> HandleTable::Remove(HANDLE h) {
  std::shared_ptr<KernelObject> obj;
  {
    std::lock_guard lock(mu_);
    uint32_t index;
    if (!Decode(h, index)) return nullptr;
    Slot& slot = slots_[index];
    obj = std::move(slot.obj);
    slot.obj.reset();
    slot.generation = (slot.generation + 1) & kGenerationMask;
    free_.push_back(index);
  }
  return obj;  // released outside the lock: a destructor may close handles of its own
}

size_t HandleTable::Count() const {
  std::lock_guard lock(mu_);
  return slots_.size() - 1 - (free_.size() - freeHead_);
}

}  // namespace kvp
