#include "VersionRecord.h"

#include <platform/module.h>

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kvp::module {

namespace {

constexpr char kSectionName[] = "kv_version";
constexpr char kMarker[8] = {'K', 'V', 'V', 'E', 'R', 'S', 'N', '1'};
constexpr size_t kHeaderBytes = 8 + 6 * 4;
constexpr uint64_t kMaxRecordBytes = 64 * 1024;

class File {
 public:
  explicit File(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~File() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  uint64_t size() const {
    struct stat st;
    return fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  }
  // Reads exactly `n` bytes at `offset` that must lie inside the file.
  bool ReadAt(uint64_t offset, void* out, uint64_t n) const {
    if (offset > size() || n > size() - offset) return false;
    return pread(fd_, out, n, static_cast<off_t>(offset)) == static_cast<ssize_t>(n);
  }

 private:
  int fd_;
};

uint32_t ReadU32(const unsigned char* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

}  // namespace

bool ParseVersionRecord(const unsigned char* bytes, size_t size, VersionRecord& record) {
  if (size < kHeaderBytes || memcmp(bytes, kMarker, sizeof kMarker) != 0) return false;
  if (ReadU32(bytes + 8) != 1) return false;
  record.fileVersionMS = ReadU32(bytes + 12);
  record.fileVersionLS = ReadU32(bytes + 16);
  record.productVersionMS = ReadU32(bytes + 20);
  record.productVersionLS = ReadU32(bytes + 24);
  const uint32_t stringBytes = ReadU32(bytes + 28);
  if (stringBytes > size - kHeaderBytes) return false;
  const char* p = reinterpret_cast<const char*>(bytes + kHeaderBytes);
  const char* end = p + stringBytes;
  record.strings.clear();
  // Name\0Value\0 pairs; an empty name ends the list.
  while (p < end && *p) {
    const char* nameEnd = static_cast<const char*>(memchr(p, 0, end - p));
    if (!nameEnd || nameEnd + 1 >= end) return false;
    const char* value = nameEnd + 1;
    const char* valueEnd = static_cast<const char*>(memchr(value, 0, end - value));
    if (!valueEnd) return false;
    record.strings.emplace_back(std::string(p, nameEnd), std::string(value, valueEnd));
    p = valueEnd + 1;
  }
  return true;
}

DWORD ReadVersionRecord(const std::string& linuxPath, VersionRecord& record) {
  File file(linuxPath);
  if (!file.ok()) return errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
  Elf64_Ehdr eh;
  if (!file.ReadAt(0, &eh, sizeof eh) || memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
      eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_ident[EI_DATA] != ELFDATA2LSB ||
      eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shstrndx >= eh.e_shnum) {
    return ERROR_BAD_FORMAT;
  }
  auto section = [&](unsigned index, Elf64_Shdr& sh) {
    return file.ReadAt(eh.e_shoff + uint64_t(index) * sizeof(Elf64_Shdr), &sh, sizeof sh);
  };
  Elf64_Shdr names;
  if (!section(eh.e_shstrndx, names)) return ERROR_BAD_FORMAT;
  for (unsigned i = 0; i < eh.e_shnum; ++i) {
    Elf64_Shdr sh;
    if (!section(i, sh)) return ERROR_BAD_FORMAT;
    char name[sizeof kSectionName];
    if (sh.sh_name >= names.sh_size || names.sh_size - sh.sh_name < sizeof name ||
        !file.ReadAt(names.sh_offset + sh.sh_name, name, sizeof name) || memcmp(name, kSectionName, sizeof name) != 0) {
      continue;
    }
    if (sh.sh_type == SHT_NOBITS || sh.sh_size > kMaxRecordBytes) return ERROR_BAD_FORMAT;
    std::string bytes(sh.sh_size, '\0');
    if (!file.ReadAt(sh.sh_offset, bytes.data(), sh.sh_size)) return ERROR_BAD_FORMAT;
    return ParseVersionRecord(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), record)
               ? ERROR_SUCCESS
               : ERROR_BAD_FORMAT;
  }
  return ERROR_RESOURCE_TYPE_NOT_FOUND;
}

}  // namespace kvp::module
