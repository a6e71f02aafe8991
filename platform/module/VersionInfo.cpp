// GetFileVersionInfo / VerQueryValue over the version record of a module or program file.
//
// The block handed to the caller is self-contained (the caller owns and frees it):
//   DWORD total size, 4-byte marker "KVVB", VS_FIXEDFILEINFO, the translation (WORD language,
//   WORD code page), DWORD count of strings, then "Name\0Value\0" per string.
// Strings belong to the one language block "040904b0" (US English, Unicode code page), the only
// one our modules carry.
#include <platform/files.h>
#include <platform/module.h>

#include <strings.h>

#include <cstring>
#include <string>

#include "VersionRecord.h"

namespace {

using kvp::module::VersionRecord;

constexpr char kBlockMarker[4] = {'K', 'V', 'V', 'B'};
constexpr WORD kLanguage = 0x0409;
constexpr WORD kCodePage = 0x04b0;
constexpr char kLanguageBlock[] = "040904b0";

struct BlockHeader {
  DWORD totalSize;
  char marker[4];
  VS_FIXEDFILEINFO fixed;
  WORD language;
  WORD codePage;
  DWORD stringCount;
};

std::string BuildBlock(const VersionRecord& record, bool isModule) {
  BlockHeader header{};
  memcpy(header.marker, kBlockMarker, sizeof kBlockMarker);
  VS_FIXEDFILEINFO& f = header.fixed;
  f.dwSignature = VS_FFI_SIGNATURE;
  f.dwStrucVersion = VS_FFI_STRUCVERSION;
  f.dwFileVersionMS = record.fileVersionMS;
  f.dwFileVersionLS = record.fileVersionLS;
  f.dwProductVersionMS = record.productVersionMS;
  f.dwProductVersionLS = record.productVersionLS;
  f.dwFileFlagsMask = 0x3F;
  f.dwFileType = isModule ? VFT_DLL : VFT_APP;
  header.language = kLanguage;
  header.codePage = kCodePage;
  header.stringCount = static_cast<DWORD>(record.strings.size());
  std::string strings;
  for (const auto& [name, value] : record.strings) {
    strings.append(name).push_back('\0');
    strings.append(value).push_back('\0');
  }
  header.totalSize = static_cast<DWORD>(sizeof header + strings.size());
  std::string block(reinterpret_cast<const char*>(&header), sizeof header);
  return block + strings;
}

DWORD ReadBlock(LPCSTR fileName, std::string& block) {
  if (!fileName) return ERROR_INVALID_PARAMETER;
  const std::string path = kvp::MapPath(fileName);
  VersionRecord record;
  const DWORD error = kvp::module::ReadVersionRecord(path, record);
  if (error != ERROR_SUCCESS) return error;
  const bool isModule = path.size() > 3 && path.compare(path.size() - 3, 3, ".so") == 0;
  block = BuildBlock(record, isModule);
  return ERROR_SUCCESS;
}

// Strips `prefix` (without regard to case) from the front of `s`.
bool TakePrefix(std::string& s, const std::string& prefix) {
  if (s.size() < prefix.size() || strncasecmp(s.c_str(), prefix.c_str(), prefix.size()) != 0) return false;
  s.erase(0, prefix.size());
  return true;
}

}  // namespace

extern "C" {

DWORD GetFileVersionInfoSize(LPCSTR fileName, LPDWORD handle) {
  if (handle) *handle = 0;
  std::string block;
  const DWORD error = ReadBlock(fileName, block);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return 0;
  }
  return static_cast<DWORD>(block.size());
}

BOOL GetFileVersionInfo(LPCSTR fileName, DWORD, DWORD size, LPVOID data) {
  std::string block;
  const DWORD error = ReadBlock(fileName, block);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  if (!data || size < block.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(data, block.data(), block.size());
  return TRUE;
}

BOOL VerQueryValue(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) {
  if (length) *length = 0;
  if (!block || !subBlock || !buffer) return FALSE;
  BlockHeader header;
  memcpy(&header, block, sizeof header);
  if (memcmp(header.marker, kBlockMarker, sizeof kBlockMarker) != 0 || header.totalSize < sizeof header) return FALSE;
  auto* base = static_cast<const char*>(block);

  std::string path(subBlock);
  while (!path.empty() && path[0] == '\\') path.erase(0, 1);
  if (path.empty()) {
    *buffer = const_cast<char*>(base + offsetof(BlockHeader, fixed));
    if (length) *length = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
  }
  if (strcasecmp(path.c_str(), "VarFileInfo\\Translation") == 0) {
    *buffer = const_cast<char*>(base + offsetof(BlockHeader, language));
    if (length) *length = 2 * sizeof(WORD);
    return TRUE;
  }
  if (!TakePrefix(path, "StringFileInfo\\") || !TakePrefix(path, std::string(kLanguageBlock) + "\\")) return FALSE;

  const char* p = base + sizeof header;
  const char* end = base + header.totalSize;
  for (DWORD i = 0; i < header.stringCount && p < end; ++i) {
    const char* nameEnd = static_cast<const char*>(memchr(p, 0, end - p));
    if (!nameEnd) return FALSE;
    const char* value = nameEnd + 1;
    const char* valueEnd = value < end ? static_cast<const char*>(memchr(value, 0, end - value)) : nullptr;
    if (!valueEnd) return FALSE;
    if (strcasecmp(p, path.c_str()) == 0) {
      *buffer = const_cast<char*>(value);
      if (length) *length = static_cast<UINT>(valueEnd - value + 1);  // characters with the NUL
      return TRUE;
    }
    p = valueEnd + 1;
  }
  return FALSE;
}

}  // extern "C"
