#include "RegText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kvreg::ParseRegText;
using kvreg::RegKeyChange;

TEST(RegTextTest, ReadsEveryKindOfLine) {
  const std::string text =
      "REGEDIT4\r\n"
      "\r\n"
      "; installation values\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KELO\\KV310]\r\n"
      "\"Path\"=\"C:\\\\Program Files\\\\KV310\\\\\"\r\n"
      "@=\"say \\\"hi\\\"\"\r\n"
      "\"SerialBlockSize\"=dword:00000040\r\n"
      "\"Blob\"=hex:01,02,\\\r\n"
      "  ff\r\n"
      "\"Multi\"=hex(7):61,00,00\r\n"
      "\"Old\"=-\r\n"
      "[-HKCU\\SOFTWARE\\Obsolete]\r\n";
  std::vector<RegKeyChange> keys;
  std::string error;
  ASSERT_TRUE(ParseRegText(text, keys, error)) << error;
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(keys[0].path, "SOFTWARE\\KELO\\KV310");
  const auto& v = keys[0].values;
  ASSERT_EQ(v.size(), 6u);
  EXPECT_EQ(v[0].data, std::string("C:\\Program Files\\KV310\\\0", 24));
  EXPECT_EQ(v[1].name, "");
  EXPECT_EQ(v[1].data, std::string("say \"hi\"\0", 9));
  EXPECT_EQ(v[2].type, REG_DWORD);
  EXPECT_EQ(v[2].data, std::string("\x40\0\0\0", 4));
  EXPECT_EQ(v[3].data, "\x01\x02\xff");
  EXPECT_EQ(v[4].type, REG_MULTI_SZ);
  EXPECT_TRUE(v[5].remove);
  EXPECT_TRUE(keys[1].remove);
  EXPECT_EQ(keys[1].root, HKEY_CURRENT_USER);
}

TEST(RegTextTest, MalformedTextIsRejectedWithItsLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"[HKEY_LOCAL_MACHINE\\X]\n", "line 1: not a registry file"},
      {"REGEDIT4\n\"a\"=\"b\"\n", "line 2: a value before the first [key] line"},
      {"REGEDIT4\n[HKEY_NOWHERE\\X]\n", "line 2: unknown root key"},
      {"REGEDIT4\n[HKLM\\X\n", "line 2: a key line must end with ']'"},
      {"REGEDIT4\n[HKLM\\X]\n\"Path\"=\"C:\\Program Files\"\n", "line 3: a backslash in quotes"},
      {"REGEDIT4\n[HKLM\\X]\n\"a\"=\"open\n", "line 3: missing closing quote"},
      {"REGEDIT4\n[HKLM\\X]\n\n\"n\"=dword:123456789\n", "line 4: dword: takes 1 to 8 hex digits"},
      {"REGEDIT4\n[HKLM\\X]\n\"n\"=dword:zz\n", "line 3: dword: takes"},
      {"REGEDIT4\n[HKLM\\X]\n\"b\"=hex:1,234\n", "line 3: hex data"},
      {"REGEDIT4\n[HKLM\\X]\n\"b\"=hex(q):00\n", "line 3: expected hex(type):bytes"},
      {"REGEDIT4\n[HKLM\\X]\n\"b\"=word:1\n", "line 3: unknown value"},
      {"REGEDIT4\n[HKLM\\X]\nPath=1\n", "line 3: expected \"name\"=value"},
      {"REGEDIT4\n[-HKLM\\X]\n\"a\"=\"b\"\n", "line 3: values under a key that is being deleted"},
  };
  for (const auto& [text, expected] : cases) {
    std::vector<RegKeyChange> keys;
    std::string error;
    EXPECT_FALSE(ParseRegText(text, keys, error)) << text;
    EXPECT_EQ(error.rfind(expected, 0), 0u) << "got: " << error;
  }
}

TEST(RegTextTest, Version5TextIsReadAsUtf8OrUtf16) {
  const std::string utf8 = "Windows Registry Editor Version 5.00\n[HKLM\\X]\n\"Unit\"=\"\xC2\xB5s\"\n";
  std::string utf16 = "\xFF\xFE";
  for (unsigned char c : std::string("Windows Registry Editor Version 5.00\r\n[HKLM\\X]\r\n\"Unit\"=\"\xB5s\"\r\n")) {
    utf16.push_back(static_cast<char>(c));
    utf16.push_back('\0');
  }
  for (const std::string& text : {utf8, utf16}) {
    std::vector<RegKeyChange> keys;
    std::string error;
    ASSERT_TRUE(ParseRegText(text, keys, error)) << error;
    ASSERT_EQ(keys.size(), 1u);
    ASSERT_EQ(keys[0].values.size(), 1u);
    EXPECT_EQ(keys[0].values[0].data, std::string("\xB5s\0", 3));  // the code page's micro sign
  }
}

TEST(RegTextTest, ValuesAreWrittenAsRegeditWritesThem) {
  struct Case {
    std::string name;
    DWORD type;
    std::string data;
    std::string line;
  };
  const Case cases[] = {
      {"Path", REG_SZ, std::string("C:\\KV \"1\"\0", 10), "\"Path\"=\"C:\\\\KV \\\"1\\\"\""},
      {"", REG_SZ, std::string("x\0", 2), "@=\"x\""},
      {"N", REG_DWORD, std::string("\x40\0\0\0", 4), "\"N\"=dword:00000040"},
      {"B", REG_BINARY, "\x01\xff", "\"B\"=hex:01,ff"},
      {"E", REG_EXPAND_SZ, std::string("a\0", 2), "\"E\"=hex(2):61,00"},
      {"S", REG_SZ, std::string("a\0b\0", 4), "\"S\"=hex(1):61,00,62,00"},  // not a plain string
      {"W", REG_BINARY, std::string(30, '\x11'),
       "\"W\"=hex:11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,\\\n"
       "  11,11,11,11,11,11,11"},
  };
  for (const Case& c : cases) EXPECT_EQ(kvreg::FormatValue(c.name, c.type, c.data), c.line);
}

}  // namespace
