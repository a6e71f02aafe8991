// The version record every module and program of ours carries in its "kv_version" section
// (generated from VersionBlock.cpp.in), read from the file without loading it.
#pragma once

#include <platform/types.h>

#include <string>
#include <utility>
#include <vector>

namespace kvp::module {

struct VersionRecord {
  DWORD fileVersionMS = 0;
  DWORD fileVersionLS = 0;
  DWORD productVersionMS = 0;
  DWORD productVersionLS = 0;
  std::vector<std::pair<std::string, std::string>> strings;  // name, value in file order
};

// Reads the record of the ELF file at `linuxPath`. Returns ERROR_SUCCESS, ERROR_FILE_NOT_FOUND,
// ERROR_BAD_FORMAT (not an ELF file we can read, or a damaged record) or
// ERROR_RESOURCE_TYPE_NOT_FOUND (a file without a record).
DWORD ReadVersionRecord(const std::string& linuxPath, VersionRecord& record);

// Parses the section bytes; false when the marker, the format or a count does not hold.
bool ParseVersionRecord(const unsigned char* bytes, size_t size, VersionRecord& record);

}  // namespace kvp::module
