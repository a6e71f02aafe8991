// What the simulated board remembers of what it was asked: the most recent entries only. The
// program loads the board as its hardware for whole sessions, so its logs must not grow without
// bound; a test that needs every entry since the last clear asks for the whole log.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

namespace sim {

template <class T>
class RecentLog {
 public:
  static constexpr size_t kDefaultCapacity = 1024;

  explicit RecentLog(size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

  void Push(T entry) {
    entries_.push_back(std::move(entry));
    if (!whole_ && entries_.size() > capacity_) entries_.pop_front();
  }
  void Clear() { entries_.clear(); }
  // Keep every entry from now on (tests), or go back to the most recent ones.
  void KeepWhole(bool whole) {
    whole_ = whole;
    while (!whole_ && entries_.size() > capacity_) entries_.pop_front();
  }

  std::vector<T> Entries() const { return {entries_.begin(), entries_.end()}; }
  size_t Size() const { return entries_.size(); }
  const T& Back() const { return entries_.back(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

 private:
  std::deque<T> entries_;
  size_t capacity_;
  bool whole_ = false;
};

}  // namespace sim
