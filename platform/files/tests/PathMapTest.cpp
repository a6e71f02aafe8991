#include <platform/files.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(PathMapTest, WindowsPathsBecomeLinuxPaths) {
  setenv("KV_DRIVE_C", "/srv/c", 1);
  setenv("KV_DRIVE_D", "/media/d/", 1);
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\NORVIK\\Dravix\\KV310\\CustomSet.dat", "/srv/c/NORVIK/Dravix/KV310/CustomSet.dat"},
      {"c:\\", "/srv/c/"},
      {"D:\\Firmware\\kv.hex", "/media/d/Firmware/kv.hex"},
      {"\\NORVIK\\Dravix\\KV310\\CustomSet.dat", "/srv/c/NORVIK/Dravix/KV310/CustomSet.dat"},
      {"Colors.ini", "Colors.ini"},
      {"texts\\de\\manual.pdf", "texts/de/manual.pdf"},
      // A Linux root (from the folder functions) keeps its place, appended parts are mapped.
      {"/home/u/.local/share\\NORVIK\\Dravix", "/home/u/.local/share/NORVIK/Dravix"},
      // Names in the code page reach Linux as UTF-8 (0xB5 is the micro sign).
      {"C:\\Messung \xB5s.osg", "/srv/c/Messung \xC2\xB5s.osg"},
  };
  for (const auto& [windows, linux] : cases) EXPECT_EQ(kvp::MapPath(windows), linux) << windows;
  unsetenv("KV_DRIVE_C");
  EXPECT_EQ(kvp::MapPath("C:\\tmp\\x"), "/tmp/x");
  unsetenv("KV_DRIVE_D");
}

}  // namespace
