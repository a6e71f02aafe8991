#include <core/ExtAppList.h>
#include <core/Reg.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

const char kIni[] = "ExtApps.ini";

void WriteIni(const std::string& text) {
  std::ofstream f(kIni, std::ios::binary);
  f << text;
}

std::string Section(const std::string& name, const std::string& regPath, const std::string& exe,
                    const std::string& description) {
  return "[" + name + "]\nRegExePath=" + regPath + "\nExeName=" + exe + "\nDescription=" + description + "\n";
}

class ExtAppListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CReg().WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", "PathExtIni", kIni);
    CReg().WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\NORVIK\\Gas", "Folder", "C:\\Gas");
    CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\NORVIK\\Smoke", "Folder", "D:\\Smoke");
  }
};

const char kGas[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\NORVIK\\Gas\\Folder";
const char kSmoke[] = "HKEY_CURRENT_USER\\SOFTWARE\\NORVIK\\Smoke\\Folder";

}  // namespace

TEST_F(ExtAppListTest, ReadsProgramsSkipsOurselvesAndStopsAtAnUnresolvedPath) {
  WriteIni(Section("Gas Analyser", kGas, "Gas.exe", "Gas analyser KV660") + Section("Dravix Scope", kGas, "x", "x") +
           Section("Opacimeter", kSmoke, "Smoke.exe", "Opacimeter KV880") +
           Section("Broken", "hkey_local_machine\\SOFTWARE\\NORVIK\\Gas\\Folder", "B.exe", "b") +
           Section("After", kGas, "After.exe", "never read"));
  CExtAppList list;
  list.Init(0);
  ASSERT_EQ(list.LoadExternalApps(), CExtAppList::OK);
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_STREQ(list.GetPath(0), "C:\\Gas\\Gas.exe");
  EXPECT_STREQ(list.GetDescription(0), "Gas analyser KV660");
  EXPECT_STREQ(list.GetPath(1), "D:\\Smoke\\Smoke.exe");
  for (int i : {-1, 2}) {
    EXPECT_EQ(list.GetPath(i), nullptr) << i;
    EXPECT_EQ(list.GetDescription(i), nullptr) << i;
  }
  list.RemoveAll();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetPath(0), nullptr);
}

TEST_F(ExtAppListTest, Codes) {
  struct Case {
    const char* name;
    std::string ini;
    int code, count;
  } cases[] = {
      {"only ourselves", Section("Dravix Scope", kGas, "x", "x"), CExtAppList::ERR_NO_ENTRY, 0},
      {"no sections", "; nothing\n", CExtAppList::ERR_NO_SECTIONS, 0},
      {"missing keys make empty texts", "[Gas]\nRegExePath=" + std::string(kGas) + "\n", CExtAppList::OK, 1},
      {"lower-case root", Section("Gas", "hkey_local_machine\\SOFTWARE\\NORVIK\\Gas\\Folder", "g", "g"),
       CExtAppList::ERR_NO_ENTRY, 0},
  };
  for (const Case& c : cases) {
    WriteIni(c.ini);
    CExtAppList list;
    EXPECT_EQ(list.LoadExternalApps(), c.code) << c.name;
    EXPECT_EQ(list.GetCount(), c.count) << c.name;
  }
  CExtAppList list;
  WriteIni("[Gas]\nRegExePath=" + std::string(kGas) + "\n");
  list.LoadExternalApps();
  EXPECT_STREQ(list.GetPath(0), "C:\\Gas\\");
  EXPECT_STREQ(list.GetDescription(0), "");

  HKEY key = 0;
  RegOpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", &key);
  RegDeleteValue(key, "PathExtIni");
  RegCloseKey(key);
  EXPECT_EQ(list.LoadExternalApps(), CExtAppList::ERR_NO_INI_VALUE);
}

TEST_F(ExtAppListTest, MoreProgramsThanTheListHolds) {
  std::string ini;
  for (int i = 0; i < 15; ++i) ini += Section("Program" + std::to_string(i), kGas, "p.exe", "d");
  WriteIni(ini);
  CExtAppList list;
  EXPECT_EQ(list.LoadExternalApps(), CExtAppList::OK);
  EXPECT_EQ(list.GetCount(), CExtAppList::CAPACITY);
}

TEST_F(ExtAppListTest, OverlongTextsAreCut) {
  const std::string folder(250, 'f');
  CReg().WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\NORVIK\\Long", "Folder", folder.c_str());
  WriteIni(Section("Long", "HKEY_LOCAL_MACHINE\\SOFTWARE\\NORVIK\\Long\\Folder", std::string(300, 'e'),
                   std::string(400, 'd')));
  CExtAppList list;
  ASSERT_EQ(list.LoadExternalApps(), CExtAppList::OK);
  EXPECT_EQ(std::string(list.GetPath(0)).size(), MAX_PATH - 1u);
  EXPECT_EQ(std::string(list.GetPath(0)).substr(0, 251), folder + "\\");
  EXPECT_EQ(std::string(list.GetDescription(0)).size(), 254u);

  // A folder value longer than the 260 bytes read cannot be resolved: the reading ends there.
  CReg().WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\NORVIK\\Long", "Folder", std::string(300, 'f').c_str());
  EXPECT_EQ(list.LoadExternalApps(), CExtAppList::ERR_NO_ENTRY);

  char out[MAX_PATH];
  EXPECT_EQ(ResolveRegistryPath(out, "HKEY_USERS\\nothing\\here"), 3);
  EXPECT_EQ(ResolveRegistryPath(out, "no root at all"), 3);
  EXPECT_EQ(ResolveRegistryPath(out, kGas), 0);
  EXPECT_STREQ(out, "C:\\Gas");
}
