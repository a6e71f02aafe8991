// Runs a fuzz target over its seeds and over deterministic mutations of them (bytes flipped,
// inserted, cut), so every build exercises the reader the fuzzer targets.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern const char* const kFuzzSeeds[];

TEST(FuzzReplay, SeedsAndMutations) {
  std::vector<std::string> seeds;
  for (int i = 0; kFuzzSeeds[i]; ++i) seeds.emplace_back(kFuzzSeeds[i]);
  seeds.emplace_back();  // the empty input
  std::mt19937 random(310);
  const char interesting[] = {'<', '>', '/', ',', '\0', '[', ']', '=', '\n', '\\', '\xB5', '9'};
  for (const std::string& seed : seeds) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(seed.data()), seed.size());
    for (int round = 0; round < 300; ++round) {
      std::string s = seed;
      const int edits = 1 + static_cast<int>(random() % 4);
      for (int e = 0; e < edits; ++e) {
        const size_t pos = s.empty() ? 0 : random() % (s.size() + 1);
        switch (random() % 4) {
          case 0:
            if (pos < s.size()) s[pos] = static_cast<char>(random());
            break;
          case 1:
            s.insert(pos, 1, interesting[random() % sizeof(interesting)]);
            break;
          case 2:
            s.erase(pos, random() % 8);
            break;
          default:
            s.insert(pos, s.substr(0, random() % (s.size() + 1)));
            break;
        }
      }
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
  }
  SUCCEED();
}
