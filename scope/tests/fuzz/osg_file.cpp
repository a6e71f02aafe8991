// Fuzz target of the scope reader ParseOsgFile: any bytes give a whole result or none.
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
  const auto result = scope::ParseOsgFile(std::span<const uint8_t>(data, size));
  if (result) static_cast<void>(*result == *result);
  return 0;
}

extern const FuzzReplaySettings kFuzzReplay{300, 0, 1200};

namespace {
std::string Seed(int i) {
  scope::SignalFile file;
  file.m_nTriggerSource = 1;
  for (int ch = 0; ch < 2; ++ch) {
    if (i == 1 && ch == 0) continue;
    scope::SignalChannel& c = file.m_Channels[static_cast<size_t>(ch)];
    c.m_bPresent = true;
    c.m_nUnit = 0;
    c.m_Points.assign(static_cast<size_t>(i == 0 ? 8 : 3), scope::SignalPoint{1.5, 0x81});
  }
  const std::vector<uint8_t> bytes = scope::EncodeOsgFile(file);
  return std::string(bytes.begin(), bytes.end());
}

const std::string& Stored(int i) {
  static const std::string seeds[2] = {Seed(0), Seed(1)};
  return seeds[i];
}
}  // namespace

extern const FuzzSeed kFuzzSeedBytes[] = {{Stored(0).data(), Stored(0).size()}, {Stored(1).data(), Stored(1).size()},
                                          {nullptr, 0}};
