// kv-reg as a program: import, export, --missing-only, malformed files.
#include <platform/registry.h>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Runs kv-reg with the given arguments; returns its exit code, stderr in `errors`.
int KvReg(const std::string& args, std::string* errors = nullptr) {
  const std::string command = std::string(getenv("KV_BIN_DIR")) + "/kv-reg " + args + " 2> kvreg.err";
  const int status = system(command.c_str());
  if (errors) *errors = Slurp("kvreg.err");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string QueryString(HKEY root, const char* key, const char* name) {
  HKEY k = 0;
  if (RegOpenKeyEx(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return "<no key>";
  char buf[256];
  DWORD size = sizeof buf, type = 0;
  const LONG r = RegQueryValueEx(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  return r == ERROR_SUCCESS && type == REG_SZ ? std::string(buf) : "<none>";
}

class KvRegTest : public ::testing::Test {
 protected:
  void SetUp() override { UseStores("a"); }
  // Points this process and the kv-reg runs at fresh stores.
  static void UseStores(const std::string& tag) {
    const std::string base = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + tag;
    for (const char* s : {".machine.db", ".user.db"})
      for (const char* extra : {"", "-wal", "-shm"}) unlink((base + s + extra).c_str());
    setenv("KV_REGISTRY_MACHINE", (base + ".machine.db").c_str(), 1);
    setenv("KV_REGISTRY_USER", (base + ".user.db").c_str(), 1);
  }
};

const char* const kInstallation =
    "REGEDIT4\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KELO\\KV310]\n"
    "\"Path\"=\"/opt/kv310/bin/\"\n"
    "\"DLL name\"=\"ZLINKUSB.dll\"\n"
    "\"SerialBlockSize\"=dword:00000040\n"
    "\"Firmware\"=hex:de,ad,be,ef\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KELO\\KV310\\Link]\n"
    "@=\"default\"\n"
    "\n";

TEST_F(KvRegTest, ExportGivesBackWhatWasImported) {
  Write("install.reg", kInstallation);
  ASSERT_EQ(KvReg("import install.reg"), 0);
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "software\\kelo\\kv310", "dll name"), "ZLINKUSB.dll");

  ASSERT_EQ(KvReg("export 'HKLM\\SOFTWARE\\KELO\\KV310' out.reg"), 0);
  EXPECT_EQ(Slurp("out.reg"), kInstallation);

  // The export imported into fresh stores exports the same again.
  UseStores("b");
  ASSERT_EQ(KvReg("import out.reg"), 0);
  ASSERT_EQ(KvReg("export HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\KELO\\\\KV310 again.reg"), 0);
  EXPECT_EQ(Slurp("again.reg"), kInstallation);
}

TEST_F(KvRegTest, MissingOnlyNeverOverwritesOrDeletes) {
  Write("user.reg",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KELO\\KV310]\n\"DLL name\"=\"ZLINKSER.dll\"\n\"Extra\"=\"mine\"\n");
  ASSERT_EQ(KvReg("import user.reg"), 0);
  Write("install.reg", std::string(kInstallation) +
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KELO\\KV310]\n\"Extra\"=-\n"
                           "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\KELO\\KV310\\Link]\n");

  ASSERT_EQ(KvReg("import --missing-only install.reg"), 0);
  const std::pair<const char*, const char*> expected[] = {
      {"DLL name", "ZLINKSER.dll"},  // the user's value stays
      {"Path", "/opt/kv310/bin/"},   // a missing one is added
      {"Extra", "mine"},             // not deleted
  };
  for (const auto& [name, value] : expected)
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", name), value) << name;
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310\\Link", ""), "default");

  // Without the option the file has its way.
  ASSERT_EQ(KvReg("import install.reg"), 0);
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", "DLL name"), "ZLINKUSB.dll");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", "Extra"), "<none>");
  EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310\\Link", ""), "<no key>");
}

TEST_F(KvRegTest, AMalformedFileChangesNothing) {
  Write("bad.reg",
        "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\KELO\\KV310]\n\"Good\"=\"value\"\n\"Path\"=\"C:\\KV310\"\n");
  std::string errors;
  EXPECT_EQ(KvReg("import bad.reg", &errors), 1);
  EXPECT_NE(errors.find("bad.reg: line 4:"), std::string::npos) << errors;
  EXPECT_EQ(QueryString(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310", "Good"), "<no key>");

  EXPECT_EQ(KvReg("export HKLM\\\\NOWHERE", &errors), 2);
  EXPECT_NE(errors.find("cannot open HKEY_LOCAL_MACHINE\\NOWHERE"), std::string::npos) << errors;
  EXPECT_EQ(KvReg("frobnicate"), 1);
}

}  // namespace
