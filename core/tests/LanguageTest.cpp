#include <core/GlobalProps.h>
#include <core/Reg.h>

#include <platform/display.h>
#include <platform/registry.h>

#include <kvtest/CoreGlobals.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

const char kParameter[] = "SOFTWARE\\KELO\\KV310\\Parameter";

class LanguageTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDOK; });
  }

  void SetLanguage(const char* code) {
    HKEY key = 0;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, kParameter, &key), ERROR_SUCCESS);
    if (code) {
      RegSetValueEx(key, "Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(code),
                    static_cast<DWORD>(std::strlen(code) + 1));
    } else {
      RegDeleteValue(key, "Language");
    }
    RegCloseKey(key);
  }

  kvp::HeadlessWorld world_;
};

}  // namespace

TEST_F(LanguageTest, CodesLibrariesAndTheBuiltInFallback) {
  struct Case {
    const char* name;
    const char* code;  // null: no "Language" value
    const char* box;   // the file name the box names, null for no box
    const char* text10175;
    const char* text10030;
    BYTE charset;
    bool loaded;
  } cases[] = {
      {"no value: quiet English", nullptr, nullptr, "Do you really want to quit the application?", "Oscilloscope", 0,
       false},
      {"English library missing: quiet", "en", nullptr, "Do you really want to quit the application?",
       "Oscilloscope", 0, false},
      {"a library with both exports", "xx", nullptr, "Opravdu chcete ukon\xE8it aplikaci?", "Osciloskop", 238, true},
      {"a library without GetCharSet", "yy", nullptr, "", "Oszilloskop", 0, true},
      {"missing library", "zz", "texts_zz.dll", "Do you really want to quit the application?", "Oscilloscope", 0,
       false},
      {"a code with a path", "../tests/xx", "texts_../tests/xx.dll", "Do you really want to quit the application?",
       "Oscilloscope", 0, false},
      {"a code with a backslash", "..\\xx", "texts_..\\xx.dll", "Do you really want to quit the application?",
       "Oscilloscope", 0, false},
  };
  GlobalProps& props = GetGlobalProps();
  for (const Case& c : cases) {
    SetLanguage(c.code);
    const size_t before = kvp::MessageBoxLog().size();
    props.LoadLanguage();
    const auto boxes = kvp::MessageBoxLog();
    if (c.box) {
      ASSERT_EQ(boxes.size(), before + 1) << c.name;
      EXPECT_EQ(boxes.back().text,
                std::string("Cannot load your language library: ") + c.box + "\n\nDefault language is english.")
          << c.name;
      EXPECT_EQ(boxes.back().type & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION)) << c.name;
      EXPECT_EQ(boxes.back().owner, 0u) << c.name;
    } else {
      EXPECT_EQ(boxes.size(), before) << c.name;
    }
    EXPECT_STREQ(props.GetText(10175), c.text10175) << c.name;
    EXPECT_STREQ(props.GetText(10030), c.text10030) << c.name;
    EXPECT_EQ(props.GetCharSet(), c.charset) << c.name;
    EXPECT_EQ(props.GetLanguageModule() != 0, c.loaded) << c.name;
    // An id the library does not know: never a null pointer.
    ASSERT_NE(props.GetText(12345), nullptr) << c.name;
    EXPECT_STREQ(props.GetText(12345), "") << c.name;
    props.FreeLanguage();
  }
}

TEST_F(LanguageTest, AnOverlongCodeIsNotLoaded) {
  const std::string code(300, 'x');
  SetLanguage(code.c_str());
  GlobalProps& props = GetGlobalProps();
  props.LoadLanguage();
  EXPECT_EQ(props.GetLanguageModule(), 0u);
  const auto boxes = kvp::MessageBoxLog();
  ASSERT_FALSE(boxes.empty());
  // The name is cut to the path buffer, never written past it.
  const std::string name = ("texts_" + code + ".dll").substr(0, MAX_PATH - 1);
  EXPECT_EQ(boxes.back().text, "Cannot load your language library: " + name + "\n\nDefault language is english.");
  EXPECT_STREQ(props.GetText(10030), "Oscilloscope");
}

TEST_F(LanguageTest, BuiltInTextsBeforeAnyLoading) {
  GlobalProps& props = GetGlobalProps();
  EXPECT_STREQ(props.GetText(10059), "Cannot load KELO oscilloscope dll. (Kv310.dll)");
  EXPECT_EQ(props.GetCharSet(), 0);
}

TEST_F(LanguageTest, OtherThreadsReadTextsWhileTheLanguageIsBound) {
  // The engine and the library's workers fetch texts while the GUI thread binds the language.
  // The read counter is relaxed on purpose, so it orders nothing: under ThreadSanitizer any
  // unsynchronised access to the function pointers shows up as a race.
  SetLanguage("xx");
  GlobalProps& props = GetGlobalProps();
  std::atomic<bool> stop{false};
  std::atomic<int> reads{0};
  std::atomic<int> unexpected{0};
  std::thread reader([&] {
    while (!stop.load(std::memory_order_relaxed)) {
      const std::string text = props.GetText(10030);  // "" while the binding is cleared
      if (text != "Oscilloscope" && text != "Osciloskop" && !text.empty()) unexpected.fetch_add(1);
      const BYTE charset = props.GetCharSet();
      if (charset != 0 && charset != 238) unexpected.fetch_add(1);
      reads.fetch_add(1, std::memory_order_relaxed);
    }
  });
  auto waitForReads = [&](int count) {
    while (reads.load(std::memory_order_relaxed) < count) std::this_thread::yield();
  };
  waitForReads(100);
  props.LoadLanguage();
  waitForReads(reads.load(std::memory_order_relaxed) + 100);
  stop = true;
  reader.join();
  EXPECT_EQ(unexpected.load(), 0);
  EXPECT_STREQ(props.GetText(10030), "Osciloskop");
  EXPECT_EQ(props.GetCharSet(), 238);
}
