// Runs the reply frame fuzz target over its seeds and deterministic mutations of them in every
// build, so the check is exercised even where no fuzzer runs.
#include "ReplyFrameSeeds.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

TEST(ReplyFrameFuzzReplay, SeedsAndMutations) {
  std::mt19937 random(310);
  for (int i = 0; kReplyFrameSeeds[i].bytes; ++i) {
    const std::string seed(kReplyFrameSeeds[i].bytes, kReplyFrameSeeds[i].size);
    for (int round = 0; round < 2000; ++round) {
      std::string s = seed;
      for (int edits = static_cast<int>(random() % 4); edits > 0; --edits) {
        const size_t pos = s.empty() ? 0 : random() % (s.size() + 1);
        switch (random() % 4) {
          case 0:
            if (pos < s.size()) s[pos] = static_cast<char>(random());
            break;
          case 1:
            s.insert(pos, 1, static_cast<char>(random() % 2 ? 0x02 : random()));
            break;
          case 2:
            s.erase(pos, random() % 4);
            break;
          default:
            s.insert(pos, s.substr(0, random() % (s.size() + 1)));
            break;
        }
      }
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
  }
}

}  // namespace
