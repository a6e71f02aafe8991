// The strict Intel HEX reader of the firmware and boot files.
//
// Records are read as whole lines: ':' first, then two hexadecimal digits each for count, address
// high, address low, type, the count data bytes and the checksum, then CR LF or LF (the last line
// may also end at the end of the file). The 8-bit sum of all record bytes must be 0. Reading stops
// at the end-of-file record: whatever follows it (the firmware files end with a "Version" line) is
// never read as a record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kvlink {

struct HexRecord {
  uint8_t count = 0;
  uint16_t address = 0;
  uint32_t type = 0;
  uint8_t data[255] = {};
  uint8_t checksum = 0;
};

inline constexpr int kHexOk = 0;
inline constexpr int kHexFormat = -1;    // not a well-formed record line, or nothing left to read
inline constexpr int kHexChecksum = -2;  // well-formed, but the sum is not 0

inline constexpr uint32_t kHexData = 0;
inline constexpr uint32_t kHexEndOfFile = 1;
inline constexpr uint32_t kHexSegmentAddress = 2;
inline constexpr uint32_t kHexStartSegment = 3;
inline constexpr uint32_t kHexLinearAddress = 4;
inline constexpr uint32_t kHexStartLinear = 5;

class HexReader {
 public:
  // Reads from text held by the caller (kept alive while reading).
  explicit HexReader(std::string_view text) : text_(text) {}

  // The next record: kHexOk, kHexFormat or kHexChecksum. After the end-of-file record, after a
  // failed record, or at the end of the text, it returns kHexFormat.
  int ReadHexRecord(HexRecord& record);
  // Whether the end-of-file record has been read.
  bool Ended() const { return ended_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  bool ended_ = false;
  bool failed_ = false;
};

// A whole file read into memory (a firmware file of at most kMaxHexFile bytes).
inline constexpr size_t kMaxHexFile = 16u << 20;
bool ReadWholeFile(const char* windowsPath, std::string& out);

}  // namespace kvlink
