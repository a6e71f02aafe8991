// bin/KV310 as a child process on the simulated board (headless display, isolated registry):
// the main window is shown and photographed, a second start is refused across processes, and
// SIGTERM ends the first as a confirmed quit does, with exit code 0. A program folder without the
// measurement library gives its notice and ends with exit code 0; a quit, also one with a dialog
// or a message box open, leaves the board with the library's stop configuration and unloads the
// library before the language library (seen in the dynamic loader's own log).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <core/TextIds.h>
#include <core/Texts.h>

#include "CommandSet.h"
#include "Library.h"

#include <platform/hardware.h>
#include <platform/registry.h>

#include <kvtest/Xvfb.h>

namespace {

namespace fs = std::filesystem;

std::string BinDir() { return std::getenv("KV_BIN_DIR"); }

using Environment = std::vector<std::pair<std::string, std::string>>;

// Starts the program (bin/KV310 unless another file is named) with the given additions to the
// environment.
pid_t Start(const std::string& screenshot, const std::string& program = BinDir() + "/KV310",
            const Environment& environment = {}) {
  pid_t pid = fork();
  if (pid == 0) {
    unsetenv("DISPLAY");
    if (!screenshot.empty()) setenv("KV_SCREENSHOT", screenshot.c_str(), 1);
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
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

// A message-box text as the box log writes it.
std::string Escaped(std::string text) {
  for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) text.replace(at, 1, "\\n");
  return text;
}

void ImportInstallation() {
  const std::string build = fs::path(BinDir()).parent_path().string();
  ASSERT_EQ(std::system((BinDir() + "/kv-reg import --missing-only " + build + "/kv310.reg").c_str()), 0);
}

bool WaitForFile(const std::string& path, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (fs::exists(path) && fs::file_size(path) > 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
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

  EXPECT_EQ(Lines(boxes),
            (std::vector<std::string>{"Dravix Scope\t" + Escaped(GetDefaultLanguageText(kTextHardwareNotConnected)) + "\tOK",
                                      "Dravix Scope\t" + Escaped(GetDefaultLanguageText(kTextQuitQuestion)) + "\tYes"}));
  const auto logged = Lines(requests);
  ASSERT_FALSE(logged.empty());
  for (const std::string& line : logged) EXPECT_NE(line.find(" -> silence"), std::string::npos) << line;
}

// A program folder of its own: the program and the shared libraries of bin/, linked (or copied
// across file systems), all but the measurement library.
std::string FolderWithoutMeasurementLibrary() {
  const fs::path folder = fs::absolute("without_kv310");
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (const fs::directory_entry& entry : fs::directory_iterator(BinDir())) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    const bool library = entry.path().extension() == ".so" && name != "Kv310.so";
    if (name != "KV310" && !library) continue;
    std::error_code error;
    fs::create_hard_link(entry.path(), folder / name, error);
    if (error) fs::copy_file(entry.path(), folder / name);
  }
  return folder.string();
}

TEST(ProgramProcess, AFolderWithoutTheMeasurementLibraryGivesItsNoticeAndEndsWithZero) {
  ImportInstallation();
  const std::string folder = FolderWithoutMeasurementLibrary();
  ASSERT_TRUE(fs::exists(folder + "/KV310"));
  ASSERT_FALSE(fs::exists(folder + "/Kv310.so"));
  const std::string boxes = fs::absolute("boxes_without_library.log").string();
  const std::string shot = fs::absolute("without_library.png").string();
  fs::remove(boxes);
  fs::remove(shot);

  // Nothing but the folder itself may offer the library.
  const pid_t program = Start(shot, folder + "/KV310", {{"KV_MESSAGEBOX_LOG", boxes}, {"LD_LIBRARY_PATH", ""}});
  ASSERT_GT(program, 0);
  const int code = WaitExit(program, 60);
  if (code == -1) kill(program, SIGKILL), waitpid(program, nullptr, 0);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Lines(boxes),
            std::vector<std::string>{"Dravix Scope\t" + Escaped(GetDefaultLanguageText(kTextCannotLoadLibrary)) + "\tOK"});
  EXPECT_FALSE(fs::exists(shot)) << "a main window was shown";
  fs::remove_all(folder);
}

// The payload of a request-log line ("<number> <payload> -> <outcome> <reply>"), hex bytes with a
// leading blank each.
std::string LoggedPayload(const std::string& line) {
  const size_t blank = line.find(' ');
  const size_t arrow = line.find(" -> ");
  if (blank == std::string::npos || arrow == std::string::npos || arrow < blank) return {};
  return line.substr(blank, arrow - blank);
}

std::string HexPayload(const uint8_t* bytes, int count) {
  std::string hex;
  char byte[4];
  for (int i = 0; i < count; ++i) {
    std::snprintf(byte, sizeof byte, " %02X", bytes[i]);
    hex += byte;
  }
  return hex;
}

// The first line of the loader's log that names `what` and the file, or -1.
long LineNaming(const std::vector<std::string>& lines, const std::string& what, const std::string& file) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find(what) != std::string::npos && lines[i].find("/" + file + " ") != std::string::npos) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

// The program's top-level windows as kv-window lists them: one "pid\tclass\ttitle" line each.
std::string WindowList() {
  int code = -1;
  return Output(BinDir() + "/kv-window list", &code);
}

// Waits until a window of the program whose list line holds `text` is open.
bool WaitForWindow(pid_t program, const std::string& text, int seconds) {
  const std::string pid = std::to_string(program) + "\t";
  for (int i = 0; i < seconds * 20; ++i) {
    std::istringstream lines(WindowList());
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind(pid, 0) == 0 && line.find(text) != std::string::npos) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

// A quit (SIGTERM) on a working board with a language library bound, with nothing open, with the
// about box open (headless display) and with the quit question open (X11, where nobody answers
// it): the program ends with exit code 0, the board's last requests are the library's stop
// configuration (configuration record 0, then one oscilloscope set-up), and the dynamic loader
// unmaps Kv310 before the language library.
TEST(ProgramProcess, QuitStopsTheBoardAndUnloadsTheLibraryBeforeTheLanguage) {
  struct Case {
    const char* name;
    bool x11;
    const char* post;    // kv-window post arguments that open something (null: nothing)
    const char* opened;  // text of the list line of the window that shows it is open
  } cases[] = {
      {"nothing open", false, nullptr, nullptr},
      {"about box open", false, "0x112 16", "About Dravix"},
      {"quit question open", true, "0x10", "\tKvMessageBox\t"},
  };
  ImportInstallation();
  HKEY user = 0;
  ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter", &user), ERROR_SUCCESS);
  RegSetValueEx(user, "Language", 0, REG_SZ, reinterpret_cast<const BYTE*>("xx"), 3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<kvtest::Xvfb> server;
    if (c.x11) {
      server = std::make_unique<kvtest::Xvfb>("1024x768x24");
      if (!server->Ready()) {
        ADD_FAILURE() << "no Xvfb";
        continue;
      }
    }
    const std::string requests = fs::absolute("requests_quit.log").string();
    const std::string loader = fs::absolute("loader_quit").string();
    const std::string shot = fs::absolute("quit.png").string();
    fs::remove(requests);
    fs::remove(shot);
    SetPlatformText("SimulatedRequestLog", requests);

    // The test language library lives with the test fixtures: the loader's own search finds it.
    Environment environment = {{"LD_DEBUG", "files"}, {"LD_DEBUG_OUTPUT", loader}, {"LD_LIBRARY_PATH", BinDir() + "/tests"}};
    if (server) {
      environment.push_back({"DISPLAY", server->Name()});
      // Under the address sanitizer: full stacks, so the suppression of the Xlib drawing caches
      // matches.
      const char* asan = std::getenv("ASAN_OPTIONS");
      environment.push_back({"ASAN_OPTIONS", std::string(asan ? asan : "") + (asan && *asan ? ":" : "") +
                                                 "fast_unwind_on_malloc=0"});
    }
    const pid_t program = Start(shot, BinDir() + "/KV310", environment);
    ASSERT_GT(program, 0);
    EXPECT_TRUE(WaitForFile(shot, 30));
    if (c.post) {
      int posted = -1;
      Output(BinDir() + "/kv-window post CDravixScopeClass " + c.post, &posted);
      EXPECT_EQ(posted, 0);
      EXPECT_TRUE(WaitForWindow(program, c.opened, 30)) << WindowList();
    }
    kill(program, SIGTERM);
    // The bound only keeps a program that does not end from holding the test up.
    const int code = WaitExit(program, 30);
    if (code == -1) kill(program, SIGKILL), waitpid(program, nullptr, 0);
    EXPECT_EQ(code, 0);
    SetPlatformText("SimulatedRequestLog", "");

    const std::vector<std::string> logged = Lines(requests);
    ASSERT_GE(logged.size(), 2u);
    const std::string stop = HexPayload(kv310::GetConfigurationRecord(0).bytes, kv310::kConfigurationLength);
    EXPECT_EQ(LoggedPayload(logged[logged.size() - 2]), stop) << logged[logged.size() - 2];
    // The oscilloscope set-up after it is the engine-tester oscilloscope's (probe selection, 0xC0):
    // the engine tester's firmware was never checked on a board without the module.
    EXPECT_EQ(LoggedPayload(logged.back()).rfind(" C0 ", 0), 0u) << logged.back();

    const std::string loaderLog = loader + "." + std::to_string(program);
    const std::vector<std::string> lines = Lines(loaderLog);
    const long library = LineNaming(lines, "destroying link map", "Kv310.so");
    const long language = LineNaming(lines, "destroying link map", "texts_xx.so");
    EXPECT_GE(LineNaming(lines, "file=", "texts_xx.so"), 0) << "the language library was never loaded";
    EXPECT_GE(library, 0) << "Kv310 was not unloaded";
    EXPECT_GE(language, 0) << "the language library was not unloaded";
    EXPECT_LT(library, language);
    fs::remove(loaderLog);
  }
  RegDeleteValue(user, "Language");
  RegCloseKey(user);
}

}  // namespace
