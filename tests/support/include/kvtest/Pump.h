// Waiting in a test that owns the headless display's GUI thread: the test's own queue is pumped
// (sends from worker threads are served, posts delivered) until the condition holds or the
// real-time limit has passed.
#pragma once

#include <platform/display.h>

#include <chrono>
#include <thread>

namespace kvtest {

template <typename Pred>
bool PumpUntil(Pred done, int seconds = 20) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    kvp::headless::Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace kvtest
