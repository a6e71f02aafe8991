#include <platform/files.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 0777;
}

// Restores XDG_RUNTIME_DIR after each case.
class RuntimeDir : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* v = std::getenv("XDG_RUNTIME_DIR");
    saved_ = v ? v : "";
    hadValue_ = v != nullptr;
  }
  void TearDown() override {
    if (hadValue_)
      setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
  }
  std::string saved_;
  bool hadValue_ = false;
};

TEST_F(RuntimeDir, UsesXdgRuntimeDirAndCreatesItPrivateWhenMissing) {
  char tmpl[] = "/tmp/kvrt-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  std::string missing = std::string(tmpl) + "/run";
  setenv("XDG_RUNTIME_DIR", (missing + "/").c_str(), 1);
  EXPECT_EQ(kvp::RuntimeDir(), missing);
  EXPECT_EQ(ModeOf(missing), 0700u);
  rmdir(missing.c_str());
  rmdir(tmpl);
}

TEST_F(RuntimeDir, FallsBackToAPrivateTmpFolderPerUser) {
  for (const char* value : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
    if (value)
      setenv("XDG_RUNTIME_DIR", value, 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
    std::string dir = kvp::RuntimeDir();
    EXPECT_EQ(dir, "/tmp/kv310-" + std::to_string(getuid())) << (value ? value : "(unset)");
    EXPECT_EQ(ModeOf(dir), 0700u);
  }
}

}  // namespace
