// Runs a fuzz target over its seeds and deterministic mutations of them (bytes changed, inserted,
// cut, repeated), so every build exercises the reader that the fuzzer targets.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern const char* const kFuzzSeeds[];

namespace {

void Feed(const std::string& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

TEST(FuzzReplay, SeedsAndMutations) {
  std::vector<std::string> seeds{""};
  for (int i = 0; kFuzzSeeds[i]; ++i) seeds.emplace_back(kFuzzSeeds[i]);
  std::mt19937 random(310);
  const char interesting[] = {'[', ']', '=', '"', '\\', ',', ';', '@', '-', ':', '\n', '\r', '\0', ' ', '\xFF'};
  for (const std::string& seed : seeds) {
    Feed(seed);
    for (int round = 0; round < 500; ++round) {
      std::string s = seed;
      for (int edits = 1 + static_cast<int>(random() % 4); edits > 0; --edits) {
        const size_t pos = s.empty() ? 0 : random() % (s.size() + 1);
        switch (random() % 4) {
          case 0:
            if (pos < s.size()) s[pos] = static_cast<char>(random());
            break;
          case 1:
            s.insert(pos, 1, interesting[random() % sizeof interesting]);
            break;
          case 2:
            s.erase(pos, random() % 8);
            break;
          default:
            s.insert(pos, s.substr(0, random() % (s.size() + 1)));
            break;
        }
      }
      Feed(s);
    }
  }
}

}  // namespace
