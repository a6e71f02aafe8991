#include <platform/codepage.h>

#include <gtest/gtest.h>

namespace {

struct RoundTrip {
  unsigned codePage;
  const char* bytes;
  const char* utf8;
};

const RoundTrip kRoundTrips[] = {
    {1252, "\xB5", "\u00B5"},                               // micro sign of the unit texts
    {1252, "\xB0", "\u00B0"},                               // degree
    {1252, "\x80", "\u20AC"},                               // euro
    {1252, "12,5 \xB5s \xB1 3\xB0 \x84ok\x93", "12,5 \u00B5s \u00B1 3\u00B0 \u201Eok\u201C"},
    {1251, "\xCF\xF0\xE8\xE2\xE5\xF2", "\u041F\u0440\u0438\u0432\u0435\u0442"},
    {1250, "\xC8" "esk\xFD \x9A\xB9", "\u010Cesk\u00FD \u0161\u0105"},
    {1253, "\xC1\xE2", "\u0391\u03B2"},
    {932, "\x93\xFA\x96\x7B", "\u65E5\u672C"},
    {949, "\xC7\xD1", "\uD55C"},
    {936, "\xD6\xD0", "\u4E2D"},
    {950, "\xA4\xA4", "\u4E2D"},
    {874, "\xA1", "\u0E01"},
    {CP_UTF8, "\xC2\xB5", "\xC2\xB5"},
};

TEST(CodePage, RoundTripsThroughUtf8) {
  for (const auto& c : kRoundTrips) {
    EXPECT_EQ(kvp::ToUtf8(c.bytes, c.codePage), c.utf8) << c.codePage << " " << c.bytes;
    EXPECT_EQ(kvp::FromUtf8(c.utf8, c.codePage), c.bytes) << c.codePage << " " << c.utf8;
  }
}

TEST(CodePage, CharactersWithoutAPlaceBecomeQuestionMarks) {
  const struct {
    bool toUtf8;
    unsigned codePage;
    std::string in, out;
  } cases[] = {
      {false, 1252, "a\u65E5b", "a?b"},               // no place in the target page
      {false, 1251, "\u00E9", "?"},
      {false, 1252, "x\xFFy", "x?y"},                 // invalid UTF-8
      {false, 1252, "x\xE2\x82", "x?"},               // UTF-8 cut short
      {true, 1252, "a\x81z", "a?z"},                  // a byte 1252 leaves undefined
      {true, 932, "a\x93", "a?"},                     // lead byte without its trail
      {true, 1252, std::string("a\0b", 3), std::string("a\0b", 3)},  // NUL passes through
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.toUtf8 ? kvp::ToUtf8(c.in, c.codePage) : kvp::FromUtf8(c.in, c.codePage), c.out) << c.in;
}

TEST(CodePage, CharsetsNameTheirCodePages) {
  const struct {
    int charset;
    unsigned codePage;
  } cases[] = {
      {ANSI_CHARSET, 1252},  {EASTEUROPE_CHARSET, 1250}, {RUSSIAN_CHARSET, 1251}, {GREEK_CHARSET, 1253},
      {TURKISH_CHARSET, 1254}, {HEBREW_CHARSET, 1255},   {ARABIC_CHARSET, 1256},  {BALTIC_CHARSET, 1257},
      {THAI_CHARSET, 874},   {SHIFTJIS_CHARSET, 932},    {GB2312_CHARSET, 936},   {HANGUL_CHARSET, 949},
      {CHINESEBIG5_CHARSET, 950}, {DEFAULT_CHARSET, 1252}, {77, 1252},
  };
  for (const auto& c : cases) EXPECT_EQ(kvp::CodePageOfCharset(c.charset), c.codePage) << c.charset;
}

TEST(CodePage, ActivePageServesCpAcpAndFallsBackForUnknownPages) {
  EXPECT_EQ(kvp::ActiveCodePage(), 1252u);
  kvp::SetActiveCodePage(1251);
  EXPECT_EQ(kvp::ToUtf8("\xCF", CP_ACP), "\u041F");
  EXPECT_EQ(kvp::CodePageOfCharset(DEFAULT_CHARSET), 1251u);
  kvp::SetActiveCodePage(12345);
  EXPECT_EQ(kvp::ActiveCodePage(), 1252u);
  EXPECT_EQ(kvp::ToUtf8("\xB5", CP_ACP), "\u00B5");
}

}  // namespace
