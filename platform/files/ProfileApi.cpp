// GetPrivateProfileString and friends over IniFile, with the Windows buffer rules.
#include <platform/files.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FileErrors.h"
#include "IniFile.h"

namespace kvp::files {
namespace {

bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  bytes = s.str();
  return true;
}

// Replaces the file in one step (temporary file, then rename), so a reader never sees half of it.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, DWORD& error) {
  const std::string temp = TempNameBeside(path);
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno);
    return false;
  }
  struct stat old;
  if (stat(path.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);  // the file keeps its permissions
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = write(fd, bytes.data() + done, bytes.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) break;
    done += static_cast<size_t>(w);
  }
  const bool ok = done == bytes.size() && fsync(fd) == 0;
  const int e = errno;
  close(fd);
  if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
    error = ok ? ErrorFromErrno(errno) : ErrorFromErrno(e);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

// A NUL-separated list ended by a second NUL. When it does not fit it is cut, the last name
// shortened, still ended by two NULs, and the return is size-2.
DWORD CopyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
  std::string list;
  for (const std::string& n : names) list.append(n).push_back('\0');
  if (size < 2) {
    if (size == 1) buffer[0] = 0;
    return 0;
  }
  if (list.size() + 1 <= size) {
    memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = 0;
    if (list.empty()) buffer[1] = 0;
    return static_cast<DWORD>(list.size());
  }
  memcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = 0;
  buffer[size - 1] = 0;
  return size - 2;
}

// One text cut to size-1 characters; returns the characters copied.
DWORD CopyText(const std::string& text, LPSTR buffer, DWORD size) {
  if (size == 0) return 0;
  const size_t n = text.size() < size ? text.size() : size - 1;
  memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return static_cast<DWORD>(n);
}

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

}  // namespace
}  // namespace kvp::files

using namespace kvp::files;

extern "C" {

DWORD GetPrivateProfileString(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                              LPCSTR fileName) {
  if (!buffer || size == 0) return 0;
  std::string bytes;
  if (!fileName || !ReadFile(kvp::MapPath(fileName), bytes)) SetLastError(ERROR_FILE_NOT_FOUND);
  const IniFile ini = IniFile::Parse(bytes);
  if (!section) return CopyList(ini.SectionNames(), buffer, size);
  if (!key) {
    std::vector<std::string> keys;
    ini.KeyNames(section, keys);
    return CopyList(keys, buffer, size);
  }
  std::string value;
  if (!ini.Find(section, key, value)) value = TrimRight(defaultValue ? defaultValue : "");
  return CopyText(value, buffer, size);
}

DWORD GetPrivateProfileSectionNames(LPSTR buffer, DWORD size, LPCSTR fileName) {
  return GetPrivateProfileString(nullptr, nullptr, nullptr, buffer, size, fileName);
}

UINT GetPrivateProfileInt(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName) {
  if (!section || !key) return static_cast<UINT>(defaultValue);
  char text[64];
  if (GetPrivateProfileString(section, key, "", text, sizeof text, fileName) == 0) return static_cast<UINT>(defaultValue);
  // Decimal digits after an optional sign; a value without digits counts 0.
  const char* p = text;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  long long v = 0;
  while (*p >= '0' && *p <= '9' && v <= 0xFFFFFFFFLL) v = v * 10 + (*p++ - '0');
  return static_cast<UINT>(negative ? -v : v);
}

BOOL WritePrivateProfileString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
  if (!fileName) return FailWith(ERROR_INVALID_PARAMETER);
  if (!section) return key || value ? FailWith(ERROR_INVALID_PARAMETER) : TRUE;  // all null: flush, nothing cached
  const std::string path = kvp::MapPath(fileName);
  std::string bytes;
  ReadFile(path, bytes);
  IniFile ini = IniFile::Parse(bytes);
  if (!key) ini.DeleteSection(section);
  else if (!value) ini.DeleteKey(section, key);
  else ini.Set(section, key, value);
  DWORD error = ERROR_SUCCESS;
  if (!WriteFileAtomically(path, ini.Serialize(), error)) return FailWith(error);
  return TRUE;
}

}  // extern "C"
