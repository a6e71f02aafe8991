// CPtrArrayAuto: an array of owned pointers that deletes its items when they are removed, when
// it is cleared and when it is destroyed.
#pragma once

#include <memory>
#include <vector>

template <class T>
class CPtrArrayAuto {
 public:
  int GetSize() const { return static_cast<int>(m_items.size()); }
  // The item at index, null outside the array.
  T* GetAt(int index) const {
    return index >= 0 && index < GetSize() ? m_items[static_cast<size_t>(index)].get() : nullptr;
  }
  T* operator[](int index) const { return GetAt(index); }
  // Takes ownership; the new index, or -1 (and the item deleted) when it cannot be stored.
  int Add(T* item) {
    std::unique_ptr<T> owned(item);
    if (!item) return -1;
    try {
      m_items.push_back(std::move(owned));
    } catch (...) {
      return -1;
    }
    return GetSize() - 1;
  }
  // Deletes the items from index on.
  void RemoveFrom(int index) {
    if (index < 0) index = 0;
    if (index < GetSize()) m_items.erase(m_items.begin() + index, m_items.end());
  }
  void RemoveAll() { m_items.clear(); }

 private:
  std::vector<std::unique_ptr<T>> m_items;
};
