// Runs a fuzz target over its seeds and over deterministic mutations of them (bytes changed,
// inserted, cut, repeated), so every build exercises the reader that the fuzzer targets, also
// where no fuzzer runs.
//
// The target's source defines LLVMFuzzerTestOneInput and a null-terminated kFuzzSeeds list; it may
// define kFuzzInteresting, the bytes its format gives meaning to, which mutations favour.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern const char* const kFuzzSeeds[];
extern const char* const kFuzzInteresting __attribute__((weak));

namespace {

constexpr int kRoundsPerSeed = 500;

void Feed(const std::string& input) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

std::string InterestingBytes() {
  // Structure characters of the text formats we parse, a NUL, a high code-page byte.
  std::string bytes("[]=\"\\,;@-:<>/\n\r \xB5\xFF" "9");
  bytes.push_back('\0');
  if (&kFuzzInteresting && kFuzzInteresting) bytes += kFuzzInteresting;
  return bytes;
}

TEST(FuzzReplay, SeedsAndMutations) {
  std::vector<std::string> seeds{""};
  for (int i = 0; kFuzzSeeds[i]; ++i) seeds.emplace_back(kFuzzSeeds[i]);
  const std::string interesting = InterestingBytes();
  std::mt19937 random(310);
  for (const std::string& seed : seeds) {
    Feed(seed);
    for (int round = 0; round < kRoundsPerSeed; ++round) {
      std::string s = seed;
      for (int edits = 1 + static_cast<int>(random() % 4); edits > 0; --edits) {
        const size_t pos = s.empty() ? 0 : random() % (s.size() + 1);
        switch (random() % 4) {
          case 0:
            if (pos < s.size()) s[pos] = static_cast<char>(random());
            break;
          case 1:
            s.insert(pos, 1, interesting[random() % interesting.size()]);
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
