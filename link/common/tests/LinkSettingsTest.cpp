// Link parameters: required and optional values, their failure codes, the path rule, the
// "UseFlash" write-back and the trace lines of a failed start.
#include <link/LinkSettings.h>
#include <link/LinkTrace.h>

#include <platform/debug.h>
#include <platform/registry.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace kvlink;

constexpr const char* kKey = "SOFTWARE\\Test\\LinkSettings";

void SetDword(const char* name, DWORD value) {
  HKEY k = 0;
  RegCreateKey(HKEY_LOCAL_MACHINE, (std::string(kKey) + "\\Parameter").c_str(), &k);
  RegSetValueEx(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(k);
}

void SetText(const char* name, const std::string& value) {
  HKEY k = 0;
  RegCreateKey(HKEY_LOCAL_MACHINE, (std::string(kKey) + "\\Parameter").c_str(), &k);
  RegSetValueEx(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                static_cast<DWORD>(value.size() + 1));
  RegCloseKey(k);
}

void Delete(const char* name) {
  HKEY k = 0;
  RegOpenKey(HKEY_LOCAL_MACHINE, (std::string(kKey) + "\\Parameter").c_str(), &k);
  RegDeleteValue(k, name);
  RegCloseKey(k);
}

DWORD GetDword(const char* name) {
  HKEY k = 0;
  RegOpenKey(HKEY_LOCAL_MACHINE, (std::string(kKey) + "\\Parameter").c_str(), &k);
  DWORD v = 0, size = sizeof v;
  RegQueryValueEx(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
  RegCloseKey(k);
  return v;
}

class LinkSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDword("ComPort", 3);
    SetDword("Baudrate", 0x80000000u | 115200);
    SetText("BootFile1", "boot1.hex");
    SetText("BootFile2", "boot2.hex");
    SetText("Firmware", "C:\\KV\\fw.hex");
    SetDword("ResetType", 1);
    for (const char* v : {"ReloadFirmware", "UseFlash", "BootBlockSize", "BootWait", "ReloadWait", "FlashBootFile"})
      Delete(v);
  }

  // Runs the read and returns the code raised (0 when none) and the error's expression and line.
  int Retrieve(LinkKind kind, LinkSettings& s, std::string* expression = nullptr, int* line = nullptr) {
    try {
      RetrieveRegistryInfo(kKey, kind, s);
      return 0;
    } catch (const CErrorException& e) {
      if (expression) *expression = e.Expression();
      if (line) *line = e.Line();
      return e.Code();
    }
  }
};

TEST_F(LinkSettingsTest, DefaultsAndValues) {
  LinkSettings s;
  ASSERT_EQ(Retrieve(LinkKind::Serial, s), 0);
  EXPECT_EQ(s.comPort, 3u);
  EXPECT_EQ(s.baudrate, 0x80000000u | 115200);
  EXPECT_STREQ(s.bootFile1, "boot1.hex");
  EXPECT_STREQ(s.firmware, "C:\\KV\\fw.hex");
  EXPECT_EQ(s.resetType, 1u);
  EXPECT_FALSE(s.reloadFirmware);
  EXPECT_EQ(s.useFlash, 0u);
  EXPECT_EQ(s.bootBlockSize, 230u);
  EXPECT_EQ(s.bootWait, 20u);
  EXPECT_EQ(s.reloadWait, 300u);
}

TEST_F(LinkSettingsTest, OptionalValueRules) {
  struct Case {
    const char* name;
    DWORD value;
    std::function<bool(const LinkSettings&)> check;
  } cases[] = {
      {"BootBlockSize", 241, [](const LinkSettings& s) { return s.bootBlockSize == 230; }},
      {"BootBlockSize", 240, [](const LinkSettings& s) { return s.bootBlockSize == 240; }},
      {"ReloadFirmware", 2, [](const LinkSettings& s) { return !s.reloadFirmware; }},
      {"ReloadFirmware", 1, [](const LinkSettings& s) { return s.reloadFirmware; }},
  };
  for (const auto& c : cases) {
    SetDword(c.name, c.value);
    LinkSettings s;
    ASSERT_EQ(Retrieve(LinkKind::Serial, s), 0);
    EXPECT_TRUE(c.check(s)) << c.name << "=" << c.value;
    Delete(c.name);
  }
}

TEST_F(LinkSettingsTest, MissingRequiredValues) {
  struct Case {
    const char* name;
    int line;
    LinkKind kind;
  } cases[] = {
      {"ComPort", 748, LinkKind::Serial},   {"Baudrate", 763, LinkKind::Serial},
      {"BootFile1", 778, LinkKind::Serial}, {"BootFile2", 794, LinkKind::Serial},
      {"Firmware", 810, LinkKind::Serial},  {"ResetType", 826, LinkKind::Serial},
      {"Firmware", 156, LinkKind::Usb},
  };
  for (const auto& c : cases) {
    SetUp();
    Delete(c.name);
    LinkSettings s;
    std::string expression;
    int line = 0;
    EXPECT_EQ(Retrieve(c.kind, s, &expression, &line), -2) << c.name;
    EXPECT_EQ(expression, c.name);
    EXPECT_EQ(line, c.line);
  }
  // The USB side needs nothing else.
  SetUp();
  Delete("ComPort");
  LinkSettings s;
  EXPECT_EQ(Retrieve(LinkKind::Usb, s), 0);
}

TEST_F(LinkSettingsTest, FlashBootFileRequiredOnlyWithUseFlash) {
  LinkSettings s;
  EXPECT_EQ(Retrieve(LinkKind::Serial, s), 0);
  SetDword("UseFlash", 1);
  std::string expression;
  int line = 0;
  EXPECT_EQ(Retrieve(LinkKind::Serial, s, &expression, &line), -2);
  EXPECT_EQ(expression, "FlashBootFile");
  EXPECT_EQ(line, 963);
  SetText("FlashBootFile", "flash.hex");
  EXPECT_EQ(Retrieve(LinkKind::Serial, s), 0);
  EXPECT_STREQ(s.flashBootFile, "flash.hex");
}

TEST_F(LinkSettingsTest, PathThatDoesNotFitItsFieldIsMissing) {
  SetText("BootFile2", std::string(260, 'a'));
  LinkSettings s;
  std::string expression;
  EXPECT_EQ(Retrieve(LinkKind::Serial, s, &expression), -2);
  EXPECT_EQ(expression, "BootFile2");
  SetText("BootFile2", std::string(259, 'a'));
  EXPECT_EQ(Retrieve(LinkKind::Serial, s), 0);
}

TEST_F(LinkSettingsTest, MissingKeys) {
  LinkSettings s;
  try {
    RetrieveRegistryInfo("SOFTWARE\\Test\\Nothing", LinkKind::Serial, s);
    FAIL();
  } catch (const CErrorException& e) {
    EXPECT_EQ(e.Code(), -1);
    EXPECT_EQ(e.Line(), 720);
    EXPECT_EQ(e.Expression(), "SOFTWARE\\Test\\Nothing");
  }
  HKEY k = 0;
  RegCreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\NoParameter", &k);
  RegCloseKey(k);
  try {
    RetrieveRegistryInfo("SOFTWARE\\Test\\NoParameter", LinkKind::Usb, s);
    FAIL();
  } catch (const CErrorException& e) {
    EXPECT_EQ(e.Code(), -1);
    EXPECT_EQ(e.Line(), 141);
    EXPECT_EQ(e.Expression(), "Parameter");
    EXPECT_EQ(e.SourceFile(), ".\\ZLINKUSBAPI");
  }
}

TEST_F(LinkSettingsTest, UseFlashTwoBecomesOneAfterAGoodStart) {
  struct Case {
    DWORD useFlash;
    bool reload;
    DWORD after;
  } cases[] = {{2, false, 1}, {2, true, 2}, {3, false, 3}};
  for (const auto& c : cases) {
    SetDword("UseFlash", c.useFlash);
    LinkSettings s;
    s.useFlash = c.useFlash;
    s.reloadFirmware = c.reload;
    WriteUseFlashKey(kKey, s);
    EXPECT_EQ(s.useFlash, c.after);
    EXPECT_EQ(GetDword("UseFlash"), c.after);
  }
}

TEST(PathRule, ResolveModulePath) {
  const std::string m = "C:\\Prog\\+Kv310\\";
  struct Case {
    const char* value;
    const char* result;
  } cases[] = {
      {"fw.hex", "fw.hex"},                               // no folder: stays bare
      {"C:\\Prog\\fw.hex", "C:\\Prog\\+Kv310\\fw.hex"},   // library in a "+" folder below
      {"c:/prog/FW.hex", "C:\\Prog\\+Kv310\\FW.hex"},     // case and separators do not matter
      {"C:\\Other\\fw.hex", "C:\\Other\\fw.hex"},
      {"C:\\Prog\\+Kv310\\fw.hex", "C:\\Prog\\+Kv310\\fw.hex"},  // the library's own folder
      {"C:\\fw.hex", "C:\\fw.hex"},                       // rest "Prog\+Kv310\" has two separators
  };
  for (const auto& c : cases) EXPECT_EQ(ResolveModulePath(c.value, m), c.result) << c.value;
  EXPECT_EQ(ResolveModulePath("/opt/fw.hex", "/opt/Kv310/"), "/opt/fw.hex");  // no "+"
  EXPECT_EQ(ResolveModulePath("/opt/fw.hex", "/opt/+Kv310/"), "/opt/+Kv310/fw.hex");
}

TEST(LinkTrace, ErrorGivesOneOrTwoLines) {
  std::vector<std::string> lines;
  auto previous = kvp::SetDebugSink([&](const std::string& line) { lines.push_back(line); });
  TraceError(CErrorException(-2, "", "ComPort", ".\\Comm", 748));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(".\\Comm(748): error: FFFFFFFE: ComPort\n"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("J2534: "), std::string::npos);
  lines.clear();
  TraceError(CErrorException(-2, "RegQueryValueEx() --> RegQueryValueEx() failed", "ComPort", ".\\Comm", 748));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("RegQueryValueEx() --> RegQueryValueEx() failed\n"), std::string::npos);
  kvp::SetDebugSink(previous);
}

}  // namespace
