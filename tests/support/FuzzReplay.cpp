// Runs a fuzz target over its seeds and over deterministic mutations of them (bytes changed,
// inserted, cut, repeated, and for long records appended), so every build exercises the reader
// that the fuzzer targets, also where no fuzzer runs. What the target gives: kvtest/FuzzReplay.h.
#include <kvtest/FuzzReplay.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

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

std::vector<std::string> Seeds() {
  std::vector<std::string> seeds{""};
  if (kFuzzSeeds)
    for (int i = 0; kFuzzSeeds[i]; ++i) seeds.emplace_back(kFuzzSeeds[i]);
  if (kFuzzSeedBytes)
    for (int i = 0; kFuzzSeedBytes[i].bytes; ++i) seeds.emplace_back(kFuzzSeedBytes[i].bytes, kFuzzSeedBytes[i].size);
  return seeds;
}

TEST(FuzzReplay, SeedsAndMutations) {
  const FuzzReplaySettings settings = &kFuzzReplay ? kFuzzReplay : FuzzReplaySettings{};
  const std::vector<std::string> seeds = Seeds();
  ASSERT_GT(seeds.size(), 1u) << "the target names no seeds";
  const std::string interesting = InterestingBytes();
  std::mt19937 random(310);
  for (const std::string& seed : seeds) {
    Feed(seed);
    const size_t kept = std::min(settings.keptPrefix, seed.size());
    for (int round = 0; round < settings.roundsPerSeed; ++round) {
      std::string s = seed;
      if (settings.maxGrowth && random() % 8 == 0)
        s.append(random() % (settings.maxGrowth + 1), static_cast<char>(random()));
      for (int edits = 1 + static_cast<int>(random() % 4); edits > 0; --edits) {
        const size_t pos = s.size() <= kept ? s.size() : kept + random() % (s.size() - kept + 1);
        switch (random() % 4) {
          case 0:
            if (pos < s.size()) s[pos] = static_cast<char>(random());
            break;
          case 1:
            s.insert(pos, 1, interesting[random() % interesting.size()]);
            break;
          case 2:
            if (pos < s.size()) s.erase(pos, random() % 8);
            break;
          default:
            s.insert(pos, s.substr(kept, random() % (s.size() - kept + 1)));
            break;
        }
      }
      Feed(s);
    }
  }
}

}  // namespace
