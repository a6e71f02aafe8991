#include <platform/files.h>

#include <gtest/gtest.h>
#include <sys/stat.h>
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

class FileOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    root_ = std::string(cwd) + "/fileops";
    ASSERT_EQ(system(("rm -rf " + root_ + " && mkdir -p " + root_).c_str()), 0);
    setenv("KV_DRIVE_C", root_.c_str(), 1);
  }
  void TearDown() override { unsetenv("KV_DRIVE_C"); }
  std::string root_;
};

TEST_F(FileOpsTest, CopyFileKeepsAnExistingTargetWhenAsked) {
  std::ofstream(root_ + "/CustomSet.dat", std::ios::binary) << "fresh";
  std::ofstream(root_ + "/Existing.dat", std::ios::binary) << "user's own";
  struct Case {
    const char* from;
    const char* to;
    BOOL failIfExists;
    BOOL ok;
    DWORD error;
    const char* targetAfter;
  };
  const Case cases[] = {
      {"C:\\CustomSet.dat", "C:\\Existing.dat", TRUE, FALSE, ERROR_FILE_EXISTS, "user's own"},
      {"C:\\CustomSet.dat", "C:\\Copy.dat", TRUE, TRUE, 0, "fresh"},
      {"C:\\CustomSet.dat", "C:\\Existing.dat", FALSE, TRUE, 0, "fresh"},
      {"C:\\Missing.dat", "C:\\Other.dat", FALSE, FALSE, ERROR_FILE_NOT_FOUND, ""},
      {"C:\\CustomSet.dat", "C:\\NoFolder\\Copy.dat", TRUE, FALSE, ERROR_PATH_NOT_FOUND, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
    SetLastError(0);
    EXPECT_EQ(CopyFile(c.from, c.to, c.failIfExists), c.ok);
    if (!c.ok) {
      EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(Slurp(kvp::MapPath(c.to)), c.targetAfter);
  }
}

TEST_F(FileOpsTest, FoldersAttributesAndDeletion) {
  EXPECT_TRUE(CreateDirectory("C:\\NORVIK", nullptr));
  SetLastError(0);
  EXPECT_FALSE(CreateDirectory("C:\\NORVIK", nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectory("C:\\A\\B", nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetFileAttributes("C:\\NORVIK") & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);

  std::ofstream(root_ + "/NORVIK/file.txt") << "x";
  EXPECT_EQ(GetFileAttributes("C:\\NORVIK\\file.txt"), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(SetFileAttributes("C:\\NORVIK\\file.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributes("C:\\NORVIK\\file.txt"), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(SetFileAttributes("C:\\NORVIK\\file.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributes("C:\\NORVIK\\nothing"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

  EXPECT_FALSE(RemoveDirectory("C:\\NORVIK"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DIR_NOT_EMPTY));
  EXPECT_FALSE(DeleteFile("C:\\NORVIK"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(DeleteFile("C:\\NORVIK\\file.txt"));
  EXPECT_FALSE(DeleteFile("C:\\NORVIK\\file.txt"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(RemoveDirectory("C:\\NORVIK"));
}

TEST_F(FileOpsTest, CurrentDirectoryAndTheApplicationDataFolder) {
  char saved[MAX_PATH];
  ASSERT_GT(GetCurrentDirectory(sizeof saved, saved), 0u);
  ASSERT_TRUE(SetCurrentDirectory("C:\\"));
  char buf[MAX_PATH];
  const DWORD n = GetCurrentDirectory(sizeof buf, buf);
  EXPECT_EQ(std::string(buf, n), root_);
  EXPECT_EQ(GetCurrentDirectory(3, buf), DWORD(root_.size() + 1));  // too small: the size needed
  ASSERT_TRUE(SetCurrentDirectory(saved));

  const std::string data = root_ + "/appdata";
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  EXPECT_FALSE(SHGetSpecialFolderPath(0, buf, CSIDL_APPDATA, FALSE));  // missing, not created
  ASSERT_TRUE(SHGetSpecialFolderPath(0, buf, CSIDL_APPDATA, TRUE));
  EXPECT_EQ(std::string(buf), data);
  // The system appends its own folders with backslashes.
  const std::string norvik = std::string(buf) + "\\NORVIK";
  EXPECT_TRUE(CreateDirectory(norvik.c_str(), nullptr));
  EXPECT_EQ(GetFileAttributes((data + "/NORVIK").c_str()), FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
