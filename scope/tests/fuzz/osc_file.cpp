// Fuzz target of the scope reader ParseOscFile: any bytes give a whole result or none.
#include <scope/SettingsFile.h>
#include <scope/SignalFile.h>

#include <kvtest/FuzzReplay.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "../ScopeFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > scope::kMaxScopeFileSize) return 0;
  const auto result = scope::ParseOscFile(std::span<const uint8_t>(data, size));
  if (result) static_cast<void>(*result == *result);
  return 0;
}

extern const FuzzReplaySettings kFuzzReplay{300, 0, 9000};

namespace {
std::string Seed(int i) {
  scope_test::OscSpec spec;
  spec.signature = i == 0;
  spec.channels = 2;
  spec.source = 1;
  const std::vector<uint8_t> bytes = scope_test::BuildOsc(spec);
  return std::string(bytes.begin(), bytes.end());
}

const std::string& Stored(int i) {
  static const std::string seeds[2] = {Seed(0), Seed(1)};
  return seeds[i];
}
}  // namespace

extern const FuzzSeed kFuzzSeedBytes[] = {{Stored(0).data(), Stored(0).size()}, {Stored(1).data(), Stored(1).size()},
                                          {nullptr, 0}};
