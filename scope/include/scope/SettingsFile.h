// The byte layouts that carry one settings snapshot: the settings file (.oss: tag byte 0xA1 and
// the 224-byte record) and the stream of a custom setting slot in CustomSet.dat (the same 225
// bytes, or the older 220-byte layout without tag and inversion state). Parsers work on bytes
// already read and accept a snapshot only when it is whole and valid.
#pragma once

#include <scope/Snapshot.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace scope {

inline constexpr uint8_t kSettingsTag = 0xA1;
inline constexpr size_t kSettingsFileSize = 1 + kSnapshotSize;  // 225
inline constexpr size_t kOlderSlotSize = 220;
// Valid files are far smaller; readers never take more than this from a file.
inline constexpr size_t kMaxScopeFileSize = 64 * 1024;

using SettingsFileBytes = std::array<uint8_t, kSettingsFileSize>;

// The tag byte followed by the snapshot: the content of a .oss file and of a current slot stream.
SettingsFileBytes EncodeSettingsFile(const SettingsSnapshot& s);

// A .oss file: the tag (not tested) and 224 bytes; a shorter file or an invalid snapshot fails.
std::optional<SettingsSnapshot> ParseSettingsFile(std::span<const uint8_t> bytes);

// A slot stream, told apart by its length: 225 bytes current (tag not required), 220 bytes older
// (snapshot bytes 0..91 and 96..223, inversion 0, whatever its first byte); anything else fails.
std::optional<SettingsSnapshot> ParseCustomSlot(std::span<const uint8_t> bytes);

}  // namespace scope
