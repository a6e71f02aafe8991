#include <platform/files.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const char* const kIni = "programs.ini";

void WriteIni(const std::string& text) { std::ofstream(kIni, std::ios::binary) << text; }

std::string Slurp(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The first `n` bytes of a buffer, NULs included.
std::string Bytes(const char* buf, size_t n) { return std::string(buf, n); }

TEST(ProfileTest, ValuesAreFoundWithoutCaseTrimmedAndCut) {
  WriteIni(
      "; external programs\r\n"
      "[Dravix Scope]\r\n"
      "ExeName=KV310.exe\r\n"
      "[Tester]\r\n"
      "  RegExePath = HKEY_LOCAL_MACHINE\\SOFTWARE\\KELO\\Tester\\Path  \r\n"
      "Description=\"  Engine tester  \"\r\n"
      "Empty=\r\n"
      "Count= 42 \r\n"
      "[tester]\r\n"
      "ExeName=second.exe\r\n");
  struct Case {
    const char* section;
    const char* key;
    const char* def;
    DWORD size;
    std::string expected;
    DWORD result;
  };
  const Case cases[] = {
      {"TESTER", "regexepath", "", 260, "HKEY_LOCAL_MACHINE\\SOFTWARE\\KELO\\Tester\\Path", 44},
      {"Tester", "Description", "", 255, "  Engine tester  ", 17},  // quotes go, inner blanks stay
      {"Tester", "Empty", "dflt", 10, "", 0},                         // present but empty: not the default
      {"Tester", "ExeName", "none  ", 10, "none", 4},                 // missing: default, trailing blanks cut
      {"Nowhere", "ExeName", nullptr, 10, "", 0},
      {"Tester", "RegExePath", "", 8, "HKEY_LO", 7},                  // cut to size-1
      {"Tester", "RegExePath", "", 1, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key + "/" + std::to_string(c.size));
    char buf[300];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(GetPrivateProfileString(c.section, c.key, c.def, buf, c.size, kIni), c.result);
    EXPECT_EQ(std::string(buf), c.expected);
  }
  EXPECT_EQ(GetPrivateProfileInt("tester", "count", 7, kIni), 42u);
  EXPECT_EQ(GetPrivateProfileInt("tester", "Empty", 7, kIni), 7u);
  EXPECT_EQ(GetPrivateProfileInt("tester", "Description", 7, kIni), 0u);
  EXPECT_EQ(GetPrivateProfileInt("tester", "Missing", -1, kIni), UINT(-1));
}

TEST(ProfileTest, NameListsAreCutToSizeMinusTwo) {
  WriteIni("[Dravix Scope]\nExeName=KV310.exe\n[Tester]\nA=1\nB=2\n[Gas]\n");
  // Full list: "Dravix Scope\0Tester\0Gas\0" + final NUL = 25 bytes.
  const std::string full = std::string("Dravix Scope\0Tester\0Gas\0\0", 25);
  struct Case {
    DWORD size;
    DWORD result;
    std::string bytes;  // the first `size` bytes of the buffer afterwards
  };
  const Case cases[] = {
      {100, 24, full},
      {25, 24, full},                                                 // just fits
      {24, 22, std::string("Dravix Scope\0Tester\0Ga\0\0", 24)},       // last name cut, two NULs
      {14, 12, std::string("Dravix Scope\0\0", 14)},
      {10, 8, std::string("Dravix S\0\0", 10)},
      {2, 0, std::string("\0\0", 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    char buf[100];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(GetPrivateProfileSectionNames(buf, c.size, kIni), c.result);
    EXPECT_EQ(Bytes(buf, c.bytes.size()), c.bytes);
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(GetPrivateProfileString(nullptr, "ignored", "", buf, c.size, kIni), c.result);  // same list
    EXPECT_EQ(Bytes(buf, c.bytes.size()), c.bytes);
  }
  // The keys of a section follow the same rules.
  char buf[16];
  EXPECT_EQ(GetPrivateProfileString("TESTER", nullptr, "", buf, sizeof buf, kIni), 4u);
  EXPECT_EQ(Bytes(buf, 5), std::string("A\0B\0\0", 5));
  EXPECT_EQ(GetPrivateProfileString("Tester", nullptr, "", buf, 3, kIni), 1u);
  EXPECT_EQ(Bytes(buf, 3), std::string("A\0\0", 3));

  // No file: an empty list and the default for values.
  SetLastError(0);
  EXPECT_EQ(GetPrivateProfileSectionNames(buf, sizeof buf, "missing.ini"), 0u);
  EXPECT_EQ(Bytes(buf, 2), std::string("\0\0", 2));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(ProfileTest, WritingKeepsTheRestOfTheFile) {
  WriteIni("; comment\r\n[Tester]\r\nExeName=old.exe\r\n\r\n[Gas]\r\nExeName=gas.exe\r\n");
  EXPECT_TRUE(WritePrivateProfileString("tester", "EXENAME", "new.exe", kIni));
  EXPECT_TRUE(WritePrivateProfileString("Tester", "Description", "Engine tester", kIni));
  EXPECT_TRUE(WritePrivateProfileString("Gas", "ExeName", nullptr, kIni));
  EXPECT_TRUE(WritePrivateProfileString("Smoke", "ExeName", "smoke.exe", kIni));
  EXPECT_EQ(Slurp(kIni),
            "; comment\r\n[Tester]\r\nEXENAME=new.exe\r\nDescription=Engine tester\r\n\r\n[Gas]\r\n"
            "\r\n[Smoke]\r\nExeName=smoke.exe\r\n");
  EXPECT_TRUE(WritePrivateProfileString("Tester", nullptr, nullptr, kIni));
  EXPECT_EQ(Slurp(kIni), "; comment\r\n[Gas]\r\n\r\n[Smoke]\r\nExeName=smoke.exe\r\n");

  EXPECT_FALSE(WritePrivateProfileString("A", "b", "c", "no/such/folder/x.ini"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

}  // namespace
