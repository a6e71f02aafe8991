#include <platform/registry.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kKey = "Software\\KELO\\Kv310";

LONG SetString(HKEY key, const char* name, const std::string& text) {
  return RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), DWORD(text.size() + 1));
}

LONG SetDword(HKEY key, const char* name, DWORD v) {
  return RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Each test starts from empty stores of its own.
    const std::string base = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    setenv("KV_REGISTRY_MACHINE", (base + ".machine.db").c_str(), 1);
    setenv("KV_REGISTRY_USER", (base + ".user.db").c_str(), 1);
    for (const char* suffix : {".machine.db", ".user.db"})
      for (const char* extra : {"", "-wal", "-shm"}) unlink((base + suffix + extra).c_str());
  }
};

TEST_F(RegistryTest, NamesCompareWithoutCaseAndResultsAreWindowsCodes) {
  HKEY key = 0;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(SetString(key, "DLL name", "ZLINKUSB.dll"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, "SerialBlockSize", 64), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  struct Case {
    HKEY root;
    const char* path;
    const char* value;
    LONG expected;
  };
  const Case cases[] = {
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", "DLL NAME", ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, "software\\kelo\\kv310\\", "serialblocksize", ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", "Missing", ERROR_FILE_NOT_FOUND},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV311", nullptr, ERROR_FILE_NOT_FOUND},
      {HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310", nullptr, ERROR_FILE_NOT_FOUND},  // other store
      {HKEY_USERS, "SOFTWARE\\KELO\\KV310", nullptr, ERROR_FILE_NOT_FOUND},
      {HKEY(0x1234), "SOFTWARE", nullptr, ERROR_INVALID_HANDLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + std::string(" / ") + (c.value ? c.value : "-"));
    HKEY k = 0;
    LONG r = RegOpenKeyEx(c.root, c.path, 0, KEY_READ, &k);
    if (r == ERROR_SUCCESS && c.value) {
      r = RegQueryValueEx(k, c.value, nullptr, nullptr, nullptr, nullptr);
    }
    EXPECT_EQ(r, c.expected);
    if (k) {
      EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    }
  }

  // Opening the same key by another spelling finds it; the first spelling is kept.
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\kelo\\KV310", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                           &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  ASSERT_EQ(SetString(key, "dll NAME", "ZLINKSER.dll"), ERROR_SUCCESS);  // overwrites, keeps "DLL name"
  char name[32];
  DWORD nameSize = sizeof name;
  ASSERT_EQ(RegEnumValue(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "DLL name");
  RegCloseKey(key);
  HKEY software = 0;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "software", 0, KEY_READ, &software), ERROR_SUCCESS);
  nameSize = sizeof name;
  ASSERT_EQ(RegEnumKeyEx(software, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "KELO");
  nameSize = sizeof name;
  EXPECT_EQ(RegEnumKeyEx(software, 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(software);
}

TEST_F(RegistryTest, SizeQueryAndShortBuffers) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, kKey, &key), ERROR_SUCCESS);
  // Stored without its NUL (as CReg::WriteString does): read back with one.
  const std::string path = "/opt/kv310";
  ASSERT_EQ(RegSetValueEx(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.data()), DWORD(path.size())),
            ERROR_SUCCESS);

  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueEx(key, "Path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, path.size() + 1);

  char small[4];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueEx(key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, path.size() + 1);

  std::vector<char> exact(size, 'x');
  EXPECT_EQ(RegQueryValueEx(key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(exact.data()), &size), ERROR_SUCCESS);
  EXPECT_STREQ(exact.data(), path.c_str());

  EXPECT_EQ(RegQueryValueEx(key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(small), nullptr),
            ERROR_INVALID_PARAMETER);

  // A DWORD and a binary value come back as stored, the type telling them apart.
  ASSERT_EQ(SetDword(key, "Copy_settings", 1), ERROR_SUCCESS);
  const BYTE blob[3] = {0, 0xFF, 7};
  ASSERT_EQ(RegSetValueEx(key, "Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  DWORD dword = 0;
  size = sizeof dword;
  ASSERT_EQ(RegQueryValueEx(key, "copy_settings", nullptr, &type, reinterpret_cast<BYTE*>(&dword), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(dword, 1u);
  BYTE back[8];
  size = sizeof back;
  ASSERT_EQ(RegQueryValueEx(key, "BLOB", nullptr, &type, back, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  ASSERT_EQ(size, 3u);
  EXPECT_EQ(memcmp(back, blob, 3), 0);
  RegCloseKey(key);
}

TEST_F(RegistryTest, DeletionAndHandlesOfDeletedKeys) {
  HKEY parent = 0, child = 0;
  ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "Software\\KELO\\KV310", &parent), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKey(parent, "Caption", &child), ERROR_SUCCESS);
  ASSERT_EQ(SetString(child, "Save1", "Diesel"), ERROR_SUCCESS);

  EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "SOFTWARE\\KELO"), ERROR_ACCESS_DENIED);  // has subkeys
  EXPECT_EQ(RegDeleteValue(child, "save1"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValue(child, "save1"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(SetString(child, "Save2", "Petrol"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(parent, "CAPTION"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(parent, "CAPTION"), ERROR_FILE_NOT_FOUND);

  // The handle still open on the deleted key fails cleanly.
  EXPECT_EQ(SetString(child, "Save3", "x"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegQueryValueEx(child, "Save2", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(child), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);  // predefined: harmless

  // A key opened for reading is not written through.
  HKEY readOnly = 0;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &readOnly), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(readOnly, "Copy_settings", 0), ERROR_ACCESS_DENIED);
  RegCloseKey(readOnly);
  RegCloseKey(parent);
}

TEST_F(RegistryTest, EnumerationBuffersFollowTheWindowsRules) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, kKey, &key), ERROR_SUCCESS);
  for (const char* sub : {"zeta", "Alpha", "beta"}) {
    HKEY k;
    ASSERT_EQ(RegCreateKey(key, sub, &k), ERROR_SUCCESS);
    RegCloseKey(k);
  }
  ASSERT_EQ(SetString(key, "Second", "two"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(key, "First", "one"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(key, "SECOND", "2"), ERROR_SUCCESS);  // an update keeps the place

  std::vector<std::string> keys;
  char name[16];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (RegEnumKeyEx(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    EXPECT_EQ(size, strlen(name));
    keys.push_back(name);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "beta", "zeta"}));

  DWORD size = 5;  // "Alpha" needs 6 with its NUL
  EXPECT_EQ(RegEnumKeyEx(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

  char data[8];
  DWORD dataSize = sizeof data, type = 0;
  size = sizeof name;
  ASSERT_EQ(RegEnumValue(key, 0, name, &size, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize),
            ERROR_SUCCESS);
  EXPECT_STREQ(name, "Second");
  EXPECT_STREQ(data, "2");
  EXPECT_EQ(dataSize, 2u);
  dataSize = 1;
  size = sizeof name;
  EXPECT_EQ(RegEnumValue(key, 1, name, &size, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize),
            ERROR_MORE_DATA);
  EXPECT_EQ(dataSize, 4u);
  size = sizeof name;
  EXPECT_EQ(RegEnumValue(key, 2, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

}  // namespace
