// Runs the engine-tester meters' reply fuzz target over its seeds and deterministic mutations of
// them in every build, so the readers are exercised even where no fuzzer runs.
#include "EngineMeterRepliesSeeds.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

TEST(EngineMeterRepliesFuzzReplay, SeedsAndMutations) {
  std::mt19937 random(1122);
  for (int i = 0; kEngineMeterReplySeeds[i].bytes; ++i) {
    const std::string seed(kEngineMeterReplySeeds[i].bytes, kEngineMeterReplySeeds[i].size);
    for (int round = 0; round < 3000; ++round) {
      std::string s = seed;
      for (int edits = static_cast<int>(random() % 4); edits > 0; --edits) {
        const size_t pos = s.size() <= 1 ? 1 : 1 + random() % s.size();  // byte 0 picks the reader
        switch (random() % 3) {
          case 0:
            if (pos < s.size()) s[pos] = static_cast<char>(random());
            break;
          case 1:
            s.insert(std::min(pos, s.size()), 1, static_cast<char>(random()));
            break;
          default:
            if (pos < s.size()) s.erase(pos, random() % 8);
            break;
        }
      }
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
  }
}

}  // namespace
