// Intel HEX files for tests: records of any type with right or deliberately wrong checksums, the
// trailing version line, and a synthetic file set (boot file 1, boot file 2, flash boot file,
// firmware) that the serial board recognises.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sim::hex {

// One record line ending in CR LF.
std::string Record(uint8_t type, uint16_t address, std::span<const uint8_t> data, bool wrongChecksum = false);
std::string EndRecord();
// "Version <text>" on a line of its own, as the firmware files end.
std::string VersionLine(const std::string& version);
// Data records of `perRecord` bytes for `bytes` from `address` (16-bit addresses).
std::string DataRecords(uint16_t address, std::span<const uint8_t> bytes, size_t perRecord = 16);

struct FileSet {
  std::string bootFile1;      // a 32-byte first stage and a rest
  std::string bootFile2;      // the RAM stage-2 loader
  std::string flashBootFile;  // the flash stage-2 loader (holds the flash marker)
  std::string firmware;       // an image holding "Version <v>" in a data record, then the version line
  size_t bootFile1Length = 0;
  std::vector<uint8_t> firmwareImage;
};
FileSet SyntheticFiles(const std::string& firmwareVersion, size_t firmwareBytes = 1000,
                       const std::string& flashMarker = "FLASH-LOADER", size_t bytesPerRecord = 16);

bool WriteTextFile(const std::string& linuxPath, const std::string& text);

}  // namespace sim::hex
