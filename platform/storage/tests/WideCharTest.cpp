// Wide-character conversions with the 16-bit WCHAR: code pages and UTF-8 both ways, sizes asked
// for first, buffers too small, characters a code page lacks.
#include <platform/ole.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string ToWide(UINT page, const std::string& bytes, DWORD flags = 0) {
  int n = MultiByteToWideChar(page, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(n), u'\0');
  if (n) {
    EXPECT_EQ(MultiByteToWideChar(page, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n), n);
  }
  return out;
}

std::string ToBytes(UINT page, const std::u16string& wide, BOOL* usedDefault = nullptr) {
  int n = WideCharToMultiByte(page, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, usedDefault);
  std::string out(static_cast<size_t>(n), '\0');
  if (n) WideCharToMultiByte(page, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, usedDefault);
  return out;
}

TEST(WideChar, ConvertsBetweenCodePagesAndUtf16) {
  struct Case {
    UINT page;
    std::string bytes;
    std::u16string wide;
  };
  const Case cases[] = {
      {1252, "CustomSet_1", u"CustomSet_1"},
      {1252, "\xB5\xB0 \x80", u"\u00B5\u00B0 \u20AC"},
      {1250, "P\xF8\xED\x6C\x69\x9A", u"P\u0159\u00EDli\u0161"},
      {1251, "\xCF\xF0\xE8", u"\u041F\u0440\u0438"},
      {CP_UTF8, "\xC2\xB5 \xF0\x9F\x98\x80", u"\u00B5 \U0001F600"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToWide(c.page, c.bytes), c.wide) << c.page;
    EXPECT_EQ(ToBytes(c.page, c.wide), c.bytes) << c.page;
  }
  EXPECT_EQ(sizeof(OLECHAR), 2u);
}

TEST(WideChar, TerminatorSizesAndMissingCharacters) {
  // -1 counts the terminating zero.
  WCHAR buf[8];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, buf, 8), 4);
  EXPECT_EQ(buf[3], 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcdefghij", -1, buf, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  // A character the code page lacks becomes the default character.
  BOOL usedDefault = FALSE;
  EXPECT_EQ(ToBytes(1252, u"a\u0159b?", &usedDefault), "a?b?");
  EXPECT_TRUE(usedDefault);
  ToBytes(1252, u"plain?", &usedDefault);
  EXPECT_FALSE(usedDefault);
  char out[8];
  EXPECT_EQ(WideCharToMultiByte(1252, 0, u"\u0159", 1, out, 8, "#", nullptr), 1);
  EXPECT_EQ(out[0], '#');
  // Invalid UTF-8 is refused when asked to.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xC3", 2, buf, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(ToWide(CP_UTF8, "a\xC3"), u"a\uFFFD");
  EXPECT_TRUE(AfxOleInit());
}

}  // namespace
