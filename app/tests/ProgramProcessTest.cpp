// bin/KV310 as a child process on the simulated board (headless display, isolated registry):
// the main window is shown and photographed, a second start is refused across processes, and
// SIGTERM ends the first as a confirmed quit does, with exit code 0.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>
#include <string>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <core/Texts.h>

#include <platform/hardware.h>
#include <platform/registry.h>

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

// The output of a command line (stdout), and its exit code.
std::string Output(const std::string& command, int* code) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    const int status = pclose(pipe);
    *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return out;
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

void SetPlatformValue(const char* name, DWORD value) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, kvp::kPlatformSettingsKey, &key), ERROR_SUCCESS);
  RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

void SetPlatformText(const char* name, const std::string& text) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, kvp::kPlatformSettingsKey, &key), ERROR_SUCCESS);
  RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

// A silent board set through the plug-in's values: one notice (in the box log), the main window
// without device found by kv-window, closed by a posted WM_CLOSE whose quit question the headless
// display answers with its default button; the board's request log saw the start-up's requests.
TEST(ProgramProcess, SilentBoardNoticeWindowListAndPostedClose) {
  const std::string build = fs::path(BinDir()).parent_path().string();
  ASSERT_EQ(std::system((BinDir() + "/kv-reg import --missing-only " + build + "/kv310.reg").c_str()), 0);
  const std::string boxes = fs::absolute("boxes.log").string();
  const std::string requests = fs::absolute("requests.log").string();
  fs::remove(boxes);
  fs::remove(requests);
  SetPlatformValue("SimulatedSilent", 1);
  SetPlatformText("SimulatedRequestLog", requests);
  setenv("KV_MESSAGEBOX_LOG", boxes.c_str(), 1);
  pid_t program = Start("");
  unsetenv("KV_MESSAGEBOX_LOG");
  ASSERT_GT(program, 0);

  // The main window appears once the start-up has given up on the board.
  std::string list;
  int code = -1;
  for (int i = 0; i < 600; ++i) {
    list = Output(BinDir() + "/kv-window list", &code);
    if (list.find("\tCDravixScopeClass\t") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(code, 0);
  EXPECT_NE(list.find(std::to_string(program) + "\tCDravixScopeClass\tDravix Scope\n"), std::string::npos) << list;

  Output(BinDir() + "/kv-window post CDravixScopeClass 0x10", &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(WaitExit(program, 30), 0);
  SetPlatformValue("SimulatedSilent", 0);
  SetPlatformText("SimulatedRequestLog", "");

  auto escaped = [](std::string text) {
    for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) text.replace(at, 1, "\\n");
    return text;
  };
  EXPECT_EQ(Lines(boxes), (std::vector<std::string>{"Dravix Scope\t" + escaped(GetDefaultLanguageText(10058)) + "\tOK",
                                                    "Dravix Scope\t" + escaped(GetDefaultLanguageText(10175)) + "\tYes"}));
  const auto logged = Lines(requests);
  ASSERT_FALSE(logged.empty());
  for (const std::string& line : logged) EXPECT_NE(line.find(" -> silence"), std::string::npos) << line;
}

}  // namespace
