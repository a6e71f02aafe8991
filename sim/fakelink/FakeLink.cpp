#include "FakeLink.h"

#include <platform/clock.h>
#include <platform/sync.h>

#include <algorithm>
#include <cstring>

namespace sim {

FakeLink::~FakeLink() { Stop(); }

int FakeLink::Init(const char* key, const char* port) {
  board_.NoteLinkInit(key);
  const int result = board_.Scenario().linkInitResult;
  if (result != 0) return result;
  Stop();
  std::lock_guard lock(mutex_);
  dataEvent_.reset(CreateEvent(nullptr, FALSE, FALSE, nullptr));
  wake_.reset(CreateEvent(nullptr, FALSE, FALSE, nullptr));
  quit_ = false;
  started_ = true;
  delivery_ = std::thread([this] { DeliveryLoop(); });
  // A virtual clock may jump past a due time between the thread's reading of the clock and its
  // wait; waking it on every advance makes it look again.
  const HANDLE wake = wake_.get();
  clockListener_ = kvp::ClockSubscribe([wake] { SetEvent(wake); });
  return 0;
}

int FakeLink::Deinit() {
  board_.NoteLinkDeinit();
  Stop();
  return 1;
}

void FakeLink::Stop() {
  int listener;
  {
    std::lock_guard lock(mutex_);
    listener = clockListener_;
    clockListener_ = -1;
  }
  if (listener >= 0) kvp::ClockUnsubscribe(listener);
  std::thread delivery;
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    if (wake_) SetEvent(wake_.get());
    delivery = std::move(delivery_);
  }
  if (delivery.joinable()) delivery.join();
  std::lock_guard lock(mutex_);
  started_ = false;
  received_.clear();
  due_.clear();
  dataEvent_.reset();
  wake_.reset();
}

int FakeLink::Write(const void* frame, int length) {
  if (frame == nullptr || length <= 0) return 0;
  {
    std::lock_guard lock(mutex_);
    if (!started_) return 0;
  }
  const ParsedFrame parsed = ParseFrame({static_cast<const uint8_t*>(frame), static_cast<size_t>(length)});
  if (parsed.status != FrameStatus::Complete) {
    board_.NoteBadFrame();
    return length;  // taken, and ignored by the board like any line noise
  }
  const BoardResponse response = board_.Handle(parsed.payload);
  if (response.outcome == Outcome::Silence) return length;

  std::lock_guard lock(mutex_);
  if (!started_) return length;
  if (response.delayMs == 0 && due_.empty()) {
    Deliver(response.Frame());
  } else {
    // Replies leave in request order even when an earlier one is due later.
    uint64_t due = kvp::ClockNowMs() + response.delayMs;
    if (!due_.empty()) due = std::max(due, due_.back().dueMs);
    due_.push_back({due, response.Frame()});
    SetEvent(wake_.get());
  }
  return length;
}

void FakeLink::Deliver(const Bytes& frame) {
  received_.insert(received_.end(), frame.begin(), frame.end());
  SetEvent(dataEvent_.get());
}

void FakeLink::DeliveryLoop() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    DWORD waitMs = INFINITE;
    if (!due_.empty()) {
      const uint64_t now = kvp::ClockNowMs();
      if (due_.front().dueMs <= now) {
        Deliver(due_.front().frame);
        due_.pop_front();
        continue;
      }
      waitMs = static_cast<DWORD>(std::min<uint64_t>(due_.front().dueMs - now, INFINITE - 1));
    }
    const HANDLE wake = wake_.get();
    lock.unlock();
    WaitForSingleObject(wake, waitMs);
    lock.lock();
  }
}

int FakeLink::Read(void* buffer, int length) {
  if (buffer == nullptr || length <= 0) return 0;
  std::lock_guard lock(mutex_);
  if (!started_) return 0;
  const size_t count = std::min(received_.size(), static_cast<size_t>(length));
  std::copy_n(received_.begin(), count, static_cast<uint8_t*>(buffer));
  received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(count));
  return static_cast<int>(count);
}

HANDLE FakeLink::GetEvent() {
  std::lock_guard lock(mutex_);
  return dataEvent_.get();
}

void FakeLink::GetHwSwInfo(HwSwInfo* out) {
  if (out == nullptr) return;
  bool started;
  {
    std::lock_guard lock(mutex_);
    started = started_;
  }
  // Like a link that has not yet heard from the board: all zero before a successful Init.
  if (started) {
    *out = board_.Scenario().hwSwInfo;
  } else {
    std::memset(out, 0, sizeof(HwSwInfo));
  }
}

int FakeLink::SetSerialBlocksize(int size) {
  board_.NoteSerialBlocksize(size);
  return size;
}

}  // namespace sim
