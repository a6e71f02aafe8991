// bin/KV310 as a child process on the simulated board (headless display, isolated registry):
// the main window is shown and photographed, a second start is refused across processes, and
// SIGTERM ends the first as a confirmed quit does, with exit code 0.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string BinDir() { return std::getenv("KV_BIN_DIR"); }

pid_t Start(const std::string& screenshot) {
  pid_t pid = fork();
  if (pid == 0) {
    unsetenv("DISPLAY");
    if (!screenshot.empty()) setenv("KV_SCREENSHOT", screenshot.c_str(), 1);
    std::string program = BinDir() + "/KV310";
    execl(program.c_str(), "KV310", static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Waits for the child's end (real time); -1 when it is still running after the bound.
int WaitExit(pid_t pid, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return -1;
}

TEST(ProgramProcess, StartsOnTheSimulatedBoardRefusesASecondAndEndsOnSigterm) {
  const std::string build = fs::path(BinDir()).parent_path().string();
  std::string import = BinDir() + "/kv-reg import --missing-only " + build + "/kv310.reg";
  ASSERT_EQ(std::system(import.c_str()), 0);

  fs::create_directories(KV_SCREENSHOT_DIR);
  const std::string shot = std::string(KV_SCREENSHOT_DIR) + "/program_main_window.png";
  fs::remove(shot);
  pid_t first = Start(shot);
  ASSERT_GT(first, 0);
  bool shown = false;
  for (int i = 0; i < 600 && !shown; ++i) {
    shown = fs::exists(shot) && fs::file_size(shot) > 0;
    if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(shown);

  // The second start finds the first window and ends at once.
  pid_t second = Start("");
  EXPECT_EQ(WaitExit(second, 20), 0);

  kill(first, SIGTERM);
  int code = WaitExit(first, 30);
  if (code == -1) kill(first, SIGKILL), waitpid(first, nullptr, 0);
  EXPECT_EQ(code, 0);
}

}  // namespace
