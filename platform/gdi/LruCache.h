// A bounded map from string keys to values that forgets the least recently used entry when full.
// The drawing layer keeps one per thread for text widths and Pango layouts, so it has no lock of
// its own.
#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>
#include <utility>

namespace kvp::gdi {

template <class Value>
class LruCache {
 public:
  explicit LruCache(size_t capacity) : capacity_(capacity < 1 ? 1 : capacity) {}
  LruCache(const LruCache&) = delete;
  LruCache& operator=(const LruCache&) = delete;

  // The value of `key`, now the most recently used one; null when it is not kept.
  Value* Find(const std::string& key) {
    auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, it->second);
    return &it->second->second;
  }

  // Keeps `value` under `key` (which must not be kept yet), forgetting the least recently used
  // entry when the cache is full.
  Value& Insert(const std::string& key, Value value) {
    if (entries_.size() >= capacity_) {
      index_.erase(entries_.back().first);
      entries_.pop_back();
    }
    entries_.emplace_front(key, std::move(value));
    index_.emplace(entries_.front().first, entries_.begin());
    return entries_.front().second;
  }

  size_t size() const { return entries_.size(); }
  size_t capacity() const { return capacity_; }
  void Clear() {
    index_.clear();
    entries_.clear();
  }

 private:
  using Entries = std::list<std::pair<std::string, Value>>;
  size_t capacity_;
  Entries entries_;
  std::unordered_map<std::string, typename Entries::iterator> index_;
};

}  // namespace kvp::gdi
