// Wide-character conversions (16-bit WCHAR) between UTF-16 and the code pages, and AfxOleInit.
#include <platform/ole.h>

#include <cstring>

#include "storage/Utf16.h"

namespace kvp::storage {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
}

// The code points of UTF-16 text, one by one.
template <class Fn>
void ForEachCodePoint(const char16_t* text, size_t length, Fn fn) {
  for (size_t i = 0; i < length; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    fn(c);
  }
}

}  // namespace

std::string Utf16ToUtf8(const char16_t* text, size_t length) {
  std::string out;
  ForEachCodePoint(text, length, [&](char32_t c) { AppendUtf8(out, c); });
  return out;
}

std::string Utf16ToUtf8(const char16_t* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return Utf16ToUtf8(text, n);
}

bool Utf8ToUtf16(const std::string& utf8, std::u16string* out) {
  bool valid = true;
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  for (size_t i = 0; i < n;) {
    unsigned char lead = s[i];
    size_t len = lead < 0x80 ? 1 : (lead >= 0xC2 && lead <= 0xDF) ? 2 : (lead >= 0xE0 && lead <= 0xEF) ? 3
                                                                   : (lead >= 0xF0 && lead <= 0xF4)   ? 4
                                                                                                      : 0;
    char32_t c = len == 1 ? lead : len == 2 ? (lead & 0x1F) : len == 3 ? (lead & 0x0F) : (lead & 0x07);
    bool ok = len > 0 && i + len <= n;
    for (size_t k = 1; ok && k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) ok = false;
      c = (c << 6) | (s[i + k] & 0x3F);
    }
    if (ok && ((len == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)))) {
      ok = false;
    }
    if (!ok) {
      valid = false;
      AppendUtf16(*out, 0xFFFD);
      ++i;
      continue;
    }
    AppendUtf16(*out, c);
    i += len;
  }
  return valid;
}

}  // namespace kvp::storage

using namespace kvp::storage;

extern "C" {

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out, int outChars) {
  if (!text || length < -1 || outChars < 0 || (outChars > 0 && !out)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t n = length == -1 ? strlen(text) + 1 : static_cast<size_t>(length);
  const std::string bytes(text, n);
  std::u16string wide;
  bool valid;
  if (codePage == CP_UTF8) {
    valid = Utf8ToUtf16(bytes, &wide);
  } else {
    const unsigned page = codePage == CP_ACP ? kvp::ActiveCodePage() : codePage;
    // A byte the page lacks comes back as '?': more of them than the input had means such bytes.
    std::string utf8 = kvp::ToUtf8(bytes, page);
    Utf8ToUtf16(utf8, &wide);
    size_t marks = 0;
    for (char c : bytes) marks += c == '?';
    size_t got = 0;
    for (char16_t c : wide) got += c == u'?';
    valid = got == marks;
  }
  if (!valid && (flags & MB_ERR_INVALID_CHARS)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (outChars == 0) return static_cast<int>(wide.size());
  if (wide.size() > static_cast<size_t>(outChars)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(out, wide.data(), wide.size() * sizeof(WCHAR));
  return static_cast<int>(wide.size());
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR text, int length, LPSTR out, int outBytes, LPCSTR defaultChar,
                        BOOL* usedDefault) {
  if (!text || length < -1 || outBytes < 0 || (outBytes > 0 && !out)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = 0;
  if (length == -1) {
    while (text[n]) ++n;
    ++n;
  } else {
    n = static_cast<size_t>(length);
  }
  if (usedDefault) *usedDefault = FALSE;
  std::string result;
  if (codePage == CP_UTF8) {
    result = Utf16ToUtf8(text, n);
  } else {
    const unsigned page = codePage == CP_ACP ? kvp::ActiveCodePage() : codePage;
    const char substitute = defaultChar && defaultChar[0] ? defaultChar[0] : '?';
    ForEachCodePoint(text, n, [&](char32_t c) {
      std::string one;
      AppendUtf8(one, c);
      std::string bytes = c < 0x80 ? one : kvp::FromUtf8(one, page);
      if (c != U'?' && bytes == "?") {
        bytes = std::string(1, substitute);
        if (usedDefault) *usedDefault = TRUE;
      }
      result += bytes;
    });
  }
  if (outBytes == 0) return static_cast<int>(result.size());
  if (result.size() > static_cast<size_t>(outBytes)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(out, result.data(), result.size());
  return static_cast<int>(result.size());
}

BOOL AfxOleInit(void) { return TRUE; }

}  // extern "C"
