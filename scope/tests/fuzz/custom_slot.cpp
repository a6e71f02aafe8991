// Fuzz target of the scope reader ParseCustomSlot: any bytes give a whole result or none.
#include <scope/SettingsFile.h>
#include <scope/SignalFile.h>

#include <kvtest/FuzzReplay.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > scope::kMaxScopeFileSize) return 0;
  const auto result = scope::ParseCustomSlot(std::span<const uint8_t>(data, size));
  if (result) static_cast<void>(*result == *result);
  return 0;
}

extern const FuzzReplaySettings kFuzzReplay{300, 0, 220};

namespace {
std::string Seed(int i) {
  const auto file = scope::EncodeSettingsFile(scope::GetMeasureTypePreset(24).m_Snapshot);
  std::string bytes(file.begin(), file.end());
  if (i == 1) bytes = bytes.substr(1, 92) + bytes.substr(97);  // the older 220-byte layout
  return bytes;
}

const std::string& Stored(int i) {
  static const std::string seeds[2] = {Seed(0), Seed(1)};
  return seeds[i];
}
}  // namespace

extern const FuzzSeed kFuzzSeedBytes[] = {{Stored(0).data(), Stored(0).size()}, {Stored(1).data(), Stored(1).size()},
                                          {nullptr, 0}};
