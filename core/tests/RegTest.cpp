#include <core/Reg.h>

#include <platform/display.h>

#include <kvtest/CoreGlobals.h>

#include <gtest/gtest.h>

namespace {

const char kKey[] = "SOFTWARE\\KELO\\KV310\\Test";

class RegTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDOK; });
  }

  std::vector<kvp::MessageBoxCall> Boxes() const { return kvp::MessageBoxLog(); }

  kvp::HeadlessWorld world_;
};

LONG FailClose(HKEY) { return ERROR_ACCESS_DENIED; }
LONG FailOpen(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) { return ERROR_ACCESS_DENIED; }
LONG FailCreate(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD) {
  return ERROR_ACCESS_DENIED;
}
LONG FailSet(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) { return ERROR_ACCESS_DENIED; }

}  // namespace

TEST_F(RegTest, WriteCreatesTheKeyAndReadsBack) {
  CReg reg;
  ASSERT_EQ(reg.WriteDword(HKEY_CURRENT_USER, kKey, "Copy_settings", 1), CReg::OK);
  ASSERT_EQ(reg.WriteString(HKEY_CURRENT_USER, kKey, "Language", "xx"), CReg::OK);
  DWORD d = 0;
  EXPECT_EQ(reg.ReadDword(HKEY_CURRENT_USER, kKey, "Copy_settings", d), CReg::OK);
  EXPECT_EQ(d, 1u);
  CString s;
  EXPECT_EQ(reg.ReadString(HKEY_CURRENT_USER, kKey, "Language", s), CReg::OK);
  EXPECT_EQ(s, "xx");

  // Reads that fail quietly, leaving the output alone.
  struct Case {
    const char* name;
    const char* key;
    const char* value;
    int dwordCode, stringCode;
  } cases[] = {
      {"no key", "SOFTWARE\\KELO\\Missing", "Language", CReg::ERR_OPEN, CReg::ERR_OPEN},
      {"no value", kKey, "Missing", CReg::ERR_VALUE, CReg::ERR_VALUE},
      {"dword stored as a string", kKey, "Language", CReg::ERR_VALUE, CReg::OK},
      {"string stored as a dword", kKey, "Copy_settings", CReg::OK, CReg::ERR_VALUE},
  };
  for (const Case& c : cases) {
    DWORD dw = 77;
    CString text("kept");
    EXPECT_EQ(reg.ReadDword(HKEY_CURRENT_USER, c.key, c.value, dw), c.dwordCode) << c.name;
    EXPECT_EQ(reg.ReadString(HKEY_CURRENT_USER, c.key, c.value, text), c.stringCode) << c.name;
    if (c.dwordCode != CReg::OK) {
      EXPECT_EQ(dw, 77u) << c.name;
    }
    if (c.stringCode != CReg::OK) {
      EXPECT_EQ(text, "kept") << c.name;
    }
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(RegTest, StringWithoutTerminatorEndsAtItsData) {
  // A value written by another program without its NUL, followed in memory by nothing of ours.
  HKEY key = 0;
  ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, kKey, &key), ERROR_SUCCESS);
  const char bytes[] = {'a', 'b', 'c'};
  ASSERT_EQ(RegSetValueEx(key, "Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes), 3), ERROR_SUCCESS);
  const char embedded[] = {'d', 'e', '\0', 'f'};
  ASSERT_EQ(RegSetValueEx(key, "Embedded", 0, REG_SZ, reinterpret_cast<const BYTE*>(embedded), 4), ERROR_SUCCESS);
  RegCloseKey(key);
  CString s;
  EXPECT_EQ(CReg().ReadString(HKEY_CURRENT_USER, kKey, "Raw", s), CReg::OK);
  EXPECT_EQ(s, "abc");
  EXPECT_EQ(CReg().ReadString(HKEY_CURRENT_USER, kKey, "Embedded", s), CReg::OK);
  EXPECT_EQ(s, "de");
  // Written by us: no NUL stored, and read back whole.
  ASSERT_EQ(CReg().WriteString(HKEY_CURRENT_USER, kKey, "Ours", "Dravix"), CReg::OK);
  ASSERT_EQ(RegOpenKey(HKEY_CURRENT_USER, kKey, &key), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  RegQueryValueEx(key, "Ours", nullptr, &type, nullptr, &size);
  RegCloseKey(key);
  EXPECT_LE(size, 7u);
  EXPECT_EQ(CReg().ReadString(HKEY_CURRENT_USER, kKey, "Ours", s), CReg::OK);
  EXPECT_EQ(s, "Dravix");
}

TEST_F(RegTest, InjectedFailuresGiveTheirCodesAndBoxes) {
  CReg().WriteDword(HKEY_CURRENT_USER, kKey, "Value", 5);
  struct Case {
    const char* name;
    void (*inject)(RegistryCalls&);
    int readDword, writeDword, writeString;
    const char* readBox;
    const char* writeBox;
  } cases[] = {
      {"close fails", [](RegistryCalls& r) { r.close = &FailClose; }, CReg::ERR_CLOSE, CReg::ERR_CLOSE,
       CReg::ERR_CLOSE, "Chyba pri praci s registry.", "Chyba pri praci s registry."},
      {"open and create fail", [](RegistryCalls& r) { r.open = &FailOpen; r.create = &FailCreate; }, CReg::ERR_OPEN,
       CReg::ERR_CREATE, CReg::ERR_CREATE, nullptr, "Does not create registry key."},
      {"set fails", [](RegistryCalls& r) { r.set = &FailSet; }, CReg::OK, CReg::ERR_VALUE, CReg::ERR_VALUE, nullptr,
       "Chyba pri cteni z registru."},
  };
  for (const Case& c : cases) {
    c.inject(GetRegistryCalls());
    size_t before = Boxes().size();
    DWORD d = 0;
    EXPECT_EQ(CReg().ReadDword(HKEY_CURRENT_USER, kKey, "Value", d), c.readDword) << c.name;
    auto boxes = Boxes();
    if (c.readBox) {
      ASSERT_EQ(boxes.size(), before + 1) << c.name;
      EXPECT_EQ(boxes.back().text, c.readBox);
      EXPECT_EQ(boxes.back().type & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));
    } else {
      EXPECT_EQ(boxes.size(), before) << c.name;
    }
    before = Boxes().size();
    EXPECT_EQ(CReg().WriteDword(HKEY_CURRENT_USER, kKey, "Value", 6), c.writeDword) << c.name;
    EXPECT_EQ(CReg().WriteString(HKEY_CURRENT_USER, kKey, "Text", "t"), c.writeString) << c.name;
    boxes = Boxes();
    ASSERT_EQ(boxes.size(), before + 2) << c.name;
    EXPECT_EQ(boxes[before].text, c.writeBox) << c.name;
    EXPECT_EQ(boxes[before].type & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING)) << c.name;
    EXPECT_EQ(boxes[before + 1].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR)) << c.name;
    EXPECT_EQ(boxes[before].owner, 0u);
    GetRegistryCalls() = RegistryCalls();  // the next case injects into the real functions
  }
}
