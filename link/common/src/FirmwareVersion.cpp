#include <link/FirmwareVersion.h>

#include <platform/files.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace kvlink {

namespace {

bool IsVersionChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
         c == '-';
}

struct SplitVersion {
  double head = 0;
  std::string tail;
};

// Numeric head: leading digits and points, read as a decimal number independent of the locale
// ("1.10" is 1.1). Tail: the rest, lower-cased.
SplitVersion Split(const std::string& text) {
  size_t n = 0;
  while (n < text.size() && (isdigit(static_cast<unsigned char>(text[n])) || text[n] == '.')) ++n;
  SplitVersion v;
  std::from_chars(text.data(), text.data() + n, v.head);  // reads the longest number ("1.2.3" -> 1.2)
  for (size_t i = n; i < text.size(); ++i) v.tail.push_back(static_cast<char>(tolower(static_cast<unsigned char>(text[i]))));
  return v;
}

}  // namespace

std::string VersionTextAfterMarker(std::string_view tail) {
  static constexpr std::string_view kMarker = "Version ";
  const size_t at = tail.find(kMarker);
  if (at == std::string_view::npos) return {};
  std::string text;
  for (size_t i = at + kMarker.size(); i < tail.size() && IsVersionChar(tail[i]); ++i) text.push_back(tail[i]);
  return text;
}

std::string ReadFileVersion(const char* windowsPath) {
  if (!windowsPath || !windowsPath[0]) return {};
  FILE* f = fopen(kvp::MapPath(windowsPath).c_str(), "rb");
  if (!f) return {};
  char tail[40];
  size_t n = 0;
  if (fseek(f, -40, SEEK_END) == 0) n = fread(tail, 1, sizeof tail, f);
  fclose(f);
  return VersionTextAfterMarker(std::string_view(tail, n));
}

std::string BoardVersionText(const HwSwInfo& info) {
  return std::string(info.firmwareText, strnlen(info.firmwareText, sizeof info.firmwareText));
}

int CompareVersionTexts(const std::string& board, const std::string& file) {
  if (board == file) return kVersionSame;
  const SplitVersion b = Split(board);
  const SplitVersion f = Split(file);
  if (b.head < f.head) return kVersionFileNewer;
  if (b.head > f.head) return kVersionBoardNewer;
  if (b.tail.empty() && !f.tail.empty()) return kVersionFileNewer;
  if (f.tail.empty() && !b.tail.empty()) return kVersionBoardNewer;
  const int order = b.tail.compare(f.tail);
  return order < 0 ? kVersionFileNewer : order > 0 ? kVersionBoardNewer : kVersionSame;
}

int CompareFirmwareVersion(const HwSwInfo& info, const std::string& fileText, StatusRule rule) {
  if (rule == StatusRule::Serial && info.boardStatus == kHwSwStatusCompare) return kVersionFileNewer;
  if ((info.boardStatus >> 8) != (kHwSwStatusApplication >> 8)) return kVersionBoardNewer;
  if ((info.boardStatus & 0xFF) != kHwSwStatusCompare) return kVersionNoAnswer;
  return CompareVersionTexts(BoardVersionText(info), fileText);
}

}  // namespace kvlink
