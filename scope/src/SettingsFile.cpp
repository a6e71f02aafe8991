#include <scope/SettingsFile.h>

#include <algorithm>

namespace scope {

SettingsFileBytes EncodeSettingsFile(const SettingsSnapshot& s) {
  SettingsFileBytes out{};
  out[0] = kSettingsTag;
  const SnapshotBytes record = EncodeSnapshot(s);
  std::copy(record.begin(), record.end(), out.begin() + 1);
  return out;
}

namespace {

std::optional<SettingsSnapshot> Validated(const SettingsSnapshot& s) {
  if (!IsValidSnapshot(s)) return std::nullopt;
  return s;
}

}  // namespace

std::optional<SettingsSnapshot> ParseSettingsFile(std::span<const uint8_t> bytes) {
  if (bytes.size() < kSettingsFileSize) return std::nullopt;
  return Validated(DecodeSnapshot(bytes.subspan<1, kSnapshotSize>()));
}

std::optional<SettingsSnapshot> ParseCustomSlot(std::span<const uint8_t> bytes) {
  if (bytes.size() == kSettingsFileSize) return Validated(DecodeSnapshot(bytes.subspan<1, kSnapshotSize>()));
  if (bytes.size() != kOlderSlotSize) return std::nullopt;
  SnapshotBytes record{};
  const size_t inversion = snapshot_offset::kInversion;
  std::copy(bytes.begin(), bytes.begin() + inversion, record.begin());
  std::copy(bytes.begin() + inversion, bytes.end(), record.begin() + inversion + 4);
  SettingsSnapshot s = DecodeSnapshot(record);
  s.m_nInversion = 0;
  return Validated(s);
}

}  // namespace scope
