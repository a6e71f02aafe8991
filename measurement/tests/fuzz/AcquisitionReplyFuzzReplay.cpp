// Runs the acquisition reply fuzz target over its seeds and deterministic mutations of them in
// every build, so the reader is exercised even where no fuzzer runs.
#include "AcquisitionReplySeeds.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

TEST(AcquisitionReplyFuzzReplay, SeedsAndMutations) {
  std::mt19937 random(1141);
  for (int i = 0; kAcquisitionReplySeeds[i].bytes; ++i) {
    const std::string seed(kAcquisitionReplySeeds[i].bytes, kAcquisitionReplySeeds[i].size);
    for (int round = 0; round < 3000; ++round) {
      std::string s = seed;
      // Grow the record now and then, so that long bodies and cut ones are both tried.
      if (random() % 8 == 0) s.append(random() % 2200, static_cast<char>(random()));
      for (int edits = static_cast<int>(random() % 4); edits > 0; --edits) {
        const size_t pos = s.empty() ? 0 : random() % (s.size() + 1);
        switch (random() % 3) {
          case 0:
            if (pos < s.size()) s[pos] = static_cast<char>(random());
            break;
          case 1:
            s.insert(pos, 1, static_cast<char>(random()));
            break;
          default:
            s.erase(pos, random() % 4);
            break;
        }
      }
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
  }
}

}  // namespace
