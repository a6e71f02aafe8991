// The recorder's stand-in library: an oscilloscope whose saturation limits and read-back blocks a
// test scripts, and whose WaitData can be held until the test releases it (a library that does
// not return). Built on the recording interface stand-ins of the core's fake library.
#pragma once

#include "FakeInterfaces.h"

#include <platform/sync.h>

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace meterstest {

struct Block {
  int rc = 0;
  std::vector<int16_t> samples;
  uint8_t last = 0;
};

class ScriptedOscilloscope : public fake::GenIOscilloscope_2 {
 public:
  ScriptedOscilloscope() { gate = CreateEvent(nullptr, TRUE, TRUE, nullptr); }
  ~ScriptedOscilloscope() { CloseHandle(gate); }

  void Limits(int channel, int16_t upper, int16_t lower) {
    std::lock_guard<std::mutex> lock(m);
    limits[channel] = {upper, lower};
  }
  void Push(Block b) {
    std::lock_guard<std::mutex> lock(m);
    blocks.push_back(std::move(b));
  }
  // WaitData blocks (after taking its block) until Release.
  void Hold() { ResetEvent(gate); }
  void Release() { SetEvent(gate); }
  std::vector<int> LimitChannels() {
    std::lock_guard<std::mutex> lock(m);
    return asked;
  }
  int Calls() const { return calls.load(); }
  int Inside() const { return inside.load(); }

  int Do_ReadSaturationData(uint16_t channel, int16_t* upper, int16_t* lower) override {
    std::lock_guard<std::mutex> lock(m);
    asked.push_back(channel);
    auto it = limits.find(channel);
    if (it == limits.end()) return 0;
    *upper = it->second.first;
    *lower = it->second.second;
    return 0;
  }
  int Do_WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) override {
    ++calls;
    ++inside;
    WaitForSingleObject(gate, INFINITE);
    Block b;
    {
      std::lock_guard<std::mutex> lock(m);
      if (blocks.empty()) {
        b.rc = 9;  // nothing more: a read error
      } else {
        b = std::move(blocks.front());
        blocks.pop_front();
      }
    }
    --inside;
    if (b.rc != 0) return b.rc;
    const size_t n = std::min<size_t>(b.samples.size(), capacity);
    std::copy(b.samples.begin(), b.samples.begin() + static_cast<long>(n), samples);
    *count = static_cast<uint32_t>(n);
    *done = b.last;
    return 0;
  }

 private:
  HANDLE gate;
  std::mutex m;
  std::map<int, std::pair<int16_t, int16_t>> limits;
  std::deque<Block> blocks;
  std::vector<int> asked;
  std::atomic<int> calls{0};
  std::atomic<int> inside{0};
};

class NotReadyMotortester : public fake::GenIMotortester_6 {};

}  // namespace meterstest
