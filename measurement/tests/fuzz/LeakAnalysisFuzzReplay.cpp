// Runs the leak analysis fuzz target in every build over recordings that stress it: random bytes,
// hump trains with random noise and gaps, single spikes, steps and flat lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> Pairs(const std::vector<int>& values, uint8_t cylindersByte) {
  std::vector<uint8_t> bytes{cylindersByte};
  for (int v : values) {
    bytes.push_back(static_cast<uint8_t>(v >> 8));
    bytes.push_back(static_cast<uint8_t>(v & 0xFF));
  }
  return bytes;
}

TEST(LeakAnalysisFuzzReplay, ArbitraryRecordsNeverCrash) {
  std::mt19937 random(1123);
  for (int round = 0; round < 600; ++round) {
    const int kind = round % 5;
    std::vector<int> values(1024, 2300);
    const double period = 8 + random() % 60;
    for (int t = 0; t < 1024; ++t) {
      switch (kind) {
        case 0: values[t] = static_cast<int>(random() % 4096); break;
        case 1: {
          const double s = std::sin(3.14159265 * t / period);
          const bool gap = (t / static_cast<int>(period)) % 7 == 3;
          values[t] = 2300 + (gap ? 0 : static_cast<int>(1000 * s * s)) + static_cast<int>(random() % 600) - 300;
          break;
        }
        case 2: values[t] = t == static_cast<int>(random() % 1024) ? 4095 : 2048; break;
        case 3: values[t] = t < 512 ? 2048 : 4095; break;
        default: values[t] = 2048 + static_cast<int>(random() % 3); break;
      }
      values[t] = std::clamp(values[t], 0, 4095) | 0x800;
    }
    const std::vector<uint8_t> bytes = Pairs(values, static_cast<uint8_t>(random()));
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    // And cut short: the target repeats what it has.
    LLVMFuzzerTestOneInput(bytes.data(), 1 + random() % bytes.size());
  }
}

}  // namespace
