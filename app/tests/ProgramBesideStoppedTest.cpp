// bin/KV310 beside an earlier instance that is stopped (SIGSTOP, as a debugger or Ctrl+Z leaves
// it): it neither answers nor ends, and holds the single-instance mutex. Window lists and a second
// start still end within their bounds: the lists without its windows, the second start with the
// refusal box. Continued, the first instance serves again and ends on SIGTERM with exit code 0.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "KELOApp.h"

namespace {

namespace fs = std::filesystem;

std::string BinDir() { return std::getenv("KV_BIN_DIR"); }

// Starts a program of bin/ with arguments and additions to the environment, without a display;
// its output goes to `output` (nothing when empty).
pid_t Start(const std::vector<std::string>& argv, const std::vector<std::pair<std::string, std::string>>& environment,
            const std::string& output = {}) {
  pid_t pid = fork();
  if (pid == 0) {
    unsetenv("DISPLAY");
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    const int out = open(output.empty() ? "/dev/null" : output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) dup2(out, STDOUT_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv((BinDir() + "/" + argv[0]).c_str(), args.data());
    _exit(127);
  }
  return pid;
}

// Waits for the child's end (real time); -1 when it still runs after the bound, which is meant to
// catch a program that never ends.
int WaitExit(pid_t pid, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return -1;
}

std::string Read(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Escaped(std::string text) {
  for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) text.replace(at, 1, "\\n");
  return text;
}

class ProgramBesideStopped : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string build = fs::path(BinDir()).parent_path().string();
    ASSERT_EQ(std::system((BinDir() + "/kv-reg import --missing-only " + build + "/kv310.reg").c_str()), 0);
  }
  void TearDown() override {
    if (first_ > 0) {
      kill(first_, SIGCONT);
      kill(first_, SIGKILL);
      waitpid(first_, nullptr, 0);
    }
  }
  // A child that did not end in time: the first instance is continued so that it can end.
  int Bounded(pid_t child, int seconds) {
    const int code = WaitExit(child, seconds);
    if (code != -1) return code;
    kill(first_, SIGCONT);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return -1;
  }
  pid_t first_ = 0;
};

TEST_F(ProgramBesideStopped, WindowListsAndASecondStartEndWithinTheirBounds) {
  const std::string shot = fs::absolute("first_instance.png").string();
  fs::remove(shot);
  first_ = Start({"KV310"}, {{"KV_SCREENSHOT", shot}});
  ASSERT_GT(first_, 0);
  bool shown = false;
  for (int i = 0; i < 600 && !shown; ++i) {
    shown = fs::exists(shot) && fs::file_size(shot) > 0;
    if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(shown);
  kill(first_, SIGSTOP);

  // More lists than the stopped instance's socket holds waiting connections.
  const std::string listed = fs::absolute("list.txt").string();
  for (int i = 0; i < 20; ++i) {
    SCOPED_TRACE(i);
    const pid_t list = Start({"kv-window", "list"}, {}, listed);
    ASSERT_EQ(Bounded(list, 15), 0) << "kv-window list did not end";
    EXPECT_EQ(Read(listed).find("\tCDravixScopeClass\t"), std::string::npos);
  }

  const std::string boxes = fs::absolute("boxes.log").string();
  fs::remove(boxes);
  const pid_t second = Start({"KV310"}, {{"KV_MESSAGEBOX_LOG", boxes}});
  ASSERT_EQ(Bounded(second, 30), 0) << "the second start did not end";
  EXPECT_EQ(Read(boxes), std::string(kHardwareInUseCaption) + "\t" + Escaped(kHardwareInUseText) + "\tOK\n");

  // Continued, the first instance answers again and ends as a confirmed quit does.
  kill(first_, SIGCONT);
  bool again = false;
  for (int i = 0; i < 100 && !again; ++i) {
    const pid_t list = Start({"kv-window", "list"}, {}, listed);
    ASSERT_EQ(Bounded(list, 15), 0);
    again = Read(listed).find(std::to_string(first_) + "\tCDravixScopeClass\t") != std::string::npos;
    if (!again) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(again);
  kill(first_, SIGTERM);
  const int code = WaitExit(first_, 30);
  if (code != -1) first_ = 0;
  EXPECT_EQ(code, 0);
}

}  // namespace
