#include <link/IntelHex.h>

#include <platform/files.h>

#include <cstdio>

namespace kvlink {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

int HexReader::ReadHexRecord(HexRecord& record) {
  if (ended_ || failed_) return kHexFormat;
  // One line, without its end.
  size_t end = text_.find('\n', pos_);
  const bool lastLine = end == std::string_view::npos;
  if (lastLine) end = text_.size();
  std::string_view line = text_.substr(pos_, end - pos_);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos_ = lastLine ? text_.size() : end + 1;

  failed_ = true;  // until the record proves well-formed
  if (line.size() < 11 || line[0] != ':' || (line.size() - 1) % 2 != 0) return kHexFormat;
  const size_t bytes = (line.size() - 1) / 2;
  uint8_t raw[5 + 255];
  if (bytes > sizeof raw) return kHexFormat;
  for (size_t i = 0; i < bytes; ++i) {
    const int hi = HexDigit(line[1 + 2 * i]);
    const int lo = HexDigit(line[2 + 2 * i]);
    if (hi < 0 || lo < 0) return kHexFormat;
    raw[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  if (bytes != static_cast<size_t>(raw[0]) + 5) return kHexFormat;

  record.count = raw[0];
  record.address = static_cast<uint16_t>(raw[1] << 8 | raw[2]);
  record.type = raw[3];
  for (size_t i = 0; i < record.count; ++i) record.data[i] = raw[4 + i];
  record.checksum = raw[bytes - 1];
  uint8_t sum = 0;
  for (size_t i = 0; i < bytes; ++i) sum = static_cast<uint8_t>(sum + raw[i]);
  if (sum != 0) return kHexChecksum;
  failed_ = false;
  if (record.type == kHexEndOfFile) ended_ = true;
  return kHexOk;
}

bool ReadWholeFile(const char* windowsPath, std::string& out) {
  out.clear();
  if (!windowsPath || !windowsPath[0]) return false;
  FILE* f = fopen(kvp::MapPath(windowsPath).c_str(), "rb");
  if (!f) return false;
  char chunk[8192];
  size_t n = 0;
  bool ok = true;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) {
    if (out.size() + n > kMaxHexFile) {
      ok = false;
      break;
    }
    out.append(chunk, n);
  }
  if (ferror(f)) ok = false;
  fclose(f);
  if (!ok) out.clear();
  return ok;
}

}  // namespace kvlink
