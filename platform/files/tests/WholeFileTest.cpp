#include <platform/afxfile.h>
#include <platform/files.h>
#include <platform/wholefile.h>

#include <kvtest/PlatformGlobals.h>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using Step = kvp::FileResult::Step;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class WholeFileTest : public kvtest::PlatformTest {
 protected:
  void SetUp() override {
    kvtest::PlatformTest::SetUp();
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    root_ = std::string(cwd) + "/wholefile";
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    setenv("KV_DRIVE_C", root_.c_str(), 1);
    std::ofstream(root_ + "/old.dat", std::ios::binary) << "the old contents";
  }
  void TearDown() override {
    unsetenv("KV_DRIVE_C");
    kvtest::PlatformTest::TearDown();
  }
  kvp::FileResult Replace(const char* path, const std::string& bytes) {
    return kvp::ReplaceFile(path, bytes.data(), bytes.size());
  }
  std::string root_;
};

TEST_F(WholeFileTest, ReplacingWritesTheNewContentsAndLeavesNoTemporaryFile) {
  chmod((root_ + "/old.dat").c_str(), 0640);
  struct Case {
    const char* path;
    const char* file;
  };
  const Case cases[] = {{"C:\\old.dat", "/old.dat"}, {"C:\\new.dat", "/new.dat"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string big(3 << 20, 'x');  // more than one write call
    const kvp::FileResult result = Replace(c.path, "fresh" + big);
    EXPECT_TRUE(result.Ok());
    EXPECT_EQ(result.osError, 0);
    EXPECT_EQ(Slurp(root_ + c.file), "fresh" + big);
    EXPECT_FALSE(std::filesystem::exists(root_ + c.file + ".part"));
  }
  struct stat st {};
  ASSERT_EQ(stat((root_ + "/old.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replacement keeps the old file's permissions
}

// Every way a save can fail leaves the old file as it was and no temporary file behind.
TEST_F(WholeFileTest, AFailedReplaceLeavesTheOldFileIntact) {
  struct Case {
    const char* name;
    const char* path;
    long long failAfter;  // -1: no injected failure
    bool holdTarget;      // another open that denies writers holds the old file
    Step step;
    LONG osError;
  };
  const Case cases[] = {
      {"disk full on the first write", "C:\\old.dat", 0, false, Step::kWrite, ERROR_DISK_FULL},
      {"disk full after the first chunk", "C:\\old.dat", 1 << 20, false, Step::kWrite, ERROR_DISK_FULL},
      {"target held by a reader", "C:\\old.dat", -1, true, Step::kOpen, ERROR_SHARING_VIOLATION},
      {"missing folder", "C:\\nowhere\\old.dat", -1, false, Step::kOpen, ERROR_PATH_NOT_FOUND},
      {"target is a folder", "C:\\", -1, false, Step::kOpen, ERROR_ACCESS_DENIED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    kvp::testing::FailReplaceFileWritesAfter(c.failAfter);
    CFile reader;
    if (c.holdTarget) {
      ASSERT_TRUE(reader.Open("C:\\old.dat", CFile::modeRead | CFile::shareDenyWrite));
    }
    const kvp::FileResult result = Replace(c.path, std::string(2 << 20, 'n'));
    reader.Abort();
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(result.failed, c.step);
    EXPECT_EQ(result.osError, c.osError);
    EXPECT_EQ(Slurp(root_ + "/old.dat"), "the old contents");
    EXPECT_FALSE(std::filesystem::exists(root_ + "/old.dat.part"));
  }
}

// A real write error from the system (the file-size limit), not the injected one.
TEST_F(WholeFileTest, AWriteTheSystemRefusesLeavesTheOldFileIntact) {
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const kvp::FileResult result = Replace("C:\\old.dat", std::string(64 << 10, 'n'));
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(result.failed, Step::kWrite);
  EXPECT_NE(result.osError, 0);
  EXPECT_EQ(Slurp(root_ + "/old.dat"), "the old contents");
  EXPECT_FALSE(std::filesystem::exists(root_ + "/old.dat.part"));
}

TEST_F(WholeFileTest, ReadingStopsAtTheBoundAndReportsAMissingFile) {
  struct Case {
    const char* path;
    size_t maxBytes;
    Step step;
    LONG osError;
    std::string bytes;
  };
  const Case cases[] = {
      {"C:\\old.dat", 1000, Step::kNone, 0, "the old contents"},
      {"C:\\old.dat", 7, Step::kNone, 0, "the old"},
      {"C:\\missing.dat", 1000, Step::kOpen, ERROR_FILE_NOT_FOUND, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + std::to_string(c.maxBytes));
    std::vector<uint8_t> out{1, 2, 3};
    const kvp::FileResult result = kvp::ReadWholeFile(c.path, c.maxBytes, out);
    EXPECT_EQ(result.failed, c.step);
    EXPECT_EQ(result.osError, c.osError);
    EXPECT_EQ(std::string(out.begin(), out.end()), c.bytes);
  }
}

}  // namespace
