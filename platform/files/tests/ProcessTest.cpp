// Process start and the shell: command lines with blanks, exit codes, reaping, the program
// mapping, the opener, the launcher record and program icons.
#include <platform/files.h>
#include <platform/gdi_surface.h>
#include <platform/process.h>
#include <platform/registry.h>
#include <platform/sync.h>

#include <cairo.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string PeerPath() {
  const char* bin = getenv("KV_BIN_DIR");
  return std::string(bin ? bin : "bin") + "/tests/platform_file_peer";
}

void SetMachineValue(const char* key, const char* name, const std::string& value) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  RegSetValueEx(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                static_cast<DWORD>(value.size() + 1));
  RegCloseKey(k);
}

void DeleteMachineValue(const char* key, const char* name) {
  HKEY k;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
  RegDeleteValue(k, name);
  RegCloseKey(k);
}

DWORD RunToEnd(const std::string& commandLine) {
  std::string line = commandLine;
  STARTUPINFO si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcess(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 0xFFFFFFFF;
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

void WritePng(const fs::path& path, int size) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_surface_write_to_png(s, path.c_str());
  cairo_surface_destroy(s);
}

int IconWidth(HICON icon) {
  cairo_surface_t* s = kvp::IconSurface(icon);
  return s ? cairo_image_surface_get_width(s) : 0;
}

constexpr const char* kPrograms = "SOFTWARE\\KV310Platform\\Programs";
constexpr const char* kOsk = "C:\\Windows\\system32\\osk.exe";

TEST(Process, CommandLinesWithBlanksAndExitCodes) {
  const fs::path dir = fs::current_path() / "with blanks";
  fs::create_directories(dir);
  fs::remove(dir / "peer prog");
  fs::create_symlink(PeerPath(), dir / "peer prog");
  // Unquoted with blanks, a ".exe" found without its extension; quoted; arguments with quotes.
  EXPECT_EQ(RunToEnd((dir / "peer prog.exe").string() + " exit 7"), 7u);
  EXPECT_EQ(RunToEnd("\"" + (dir / "peer prog").string() + "\" exit \"9\""), 9u);
  std::string missing = (dir / "nothing here.exe").string() + " exit 1";
  PROCESS_INFORMATION pi{};
  EXPECT_FALSE(CreateProcess(nullptr, missing.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(pi.hProcess, 0u);
}

TEST(Process, RunningProcessIsStillActiveAndIsReapedWithoutItsHandles) {
  std::string line = "sleep 0.3";
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcess(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  const pid_t pid = static_cast<pid_t>(pi.dwProcessId);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  // No zombie is left: the child is gone from the process table soon after it ends.
  bool gone = false;
  for (int i = 0; i < 100 && !gone; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    gone = !fs::exists("/proc/" + std::to_string(pid));
  }
  EXPECT_TRUE(gone);
}

TEST(Process, MappedProgramsAreFoundStartedAndGiveIcons) {
  EXPECT_EQ(GetFileAttributes(kOsk), INVALID_FILE_ATTRIBUTES);  // none by default
  HICON icon = 0;
  EXPECT_EQ(ExtractIconEx(kOsk, 0, &icon, nullptr, 1), 0u);

  const fs::path dir = fs::current_path() / "programs";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path keyboard = dir / "keyboard";
  fs::create_symlink(PeerPath(), keyboard);
  SetMachineValue(kPrograms, kOsk, keyboard.string());
  EXPECT_NE(GetFileAttributes(kOsk), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(RunToEnd(std::string(kOsk) + " exit 3"), 3u);

  // Icon: generic, then the desktop entry's, then "<name>.png" beside the program.
  ASSERT_EQ(ExtractIconEx(kOsk, 0, &icon, nullptr, 1), 1u);
  EXPECT_EQ(IconWidth(icon), 32);
  DestroyIcon(icon);
  const char* dataHome = getenv("XDG_DATA_HOME");
  ASSERT_NE(dataHome, nullptr);
  fs::create_directories(fs::path(dataHome) / "applications");
  WritePng(dir / "entry-icon.png", 24);
  std::ofstream(fs::path(dataHome) / "applications" / "keyboard.desktop")
      << "[Desktop Entry]\nName=Keyboard\nExec=keyboard\nIcon=" << (dir / "entry-icon.png").string() << "\n";
  ASSERT_EQ(ExtractIconEx(kOsk, 0, &icon, nullptr, 1), 1u);
  EXPECT_EQ(IconWidth(icon), 24);
  DestroyIcon(icon);
  WritePng(dir / "keyboard.png", 20);
  ASSERT_EQ(ExtractIconEx(kOsk, 0, &icon, nullptr, 1), 1u);
  EXPECT_EQ(IconWidth(icon), 20);
  DestroyIcon(icon);
  DeleteMachineValue(kPrograms, kOsk);
  fs::remove(fs::path(dataHome) / "applications" / "keyboard.desktop");
}

TEST(Process, RecordedLaunchesDoNotRun) {
  kvp::RecordLaunches(true);
  const fs::path marker = fs::current_path() / "never-made";
  std::string line = "touch \"" + marker.string() + "\"";
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcess(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, "C:\\", nullptr, &pi));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), WAIT_OBJECT_0);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  auto starts = kvp::RecordedLaunches();
  kvp::RecordLaunches(false);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(fs::path(starts[0].executable).filename(), "touch");
  EXPECT_EQ(starts[0].args, std::vector<std::string>{marker.string()});
  EXPECT_EQ(starts[0].commandLine, line);
  EXPECT_FALSE(fs::exists(marker));
}

TEST(Shell, OpenGoesThroughTheConfiguredOpener) {
  const fs::path doc = fs::current_path() / "report.pdf";
  std::ofstream(doc) << "%PDF-";
  kvp::RecordLaunches(true);
  SetMachineValue("SOFTWARE\\KV310Platform", "Opener", "true");
  EXPECT_GT(ShellExecute(0, "open", doc.c_str(), nullptr, nullptr, 1), 32u);
  EXPECT_EQ(ShellExecute(0, "open", (fs::current_path() / "missing.pdf").c_str(), nullptr, nullptr, 1),
            static_cast<HINSTANCE>(SE_ERR_FNF));
  SetMachineValue("SOFTWARE\\KV310Platform", "Opener", "no-such-opener-program");
  EXPECT_EQ(ShellExecute(0, "open", doc.c_str(), nullptr, nullptr, 1), static_cast<HINSTANCE>(SE_ERR_NOASSOC));
  auto starts = kvp::RecordedLaunches();
  kvp::RecordLaunches(false);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(fs::path(starts[0].executable).filename(), "true");
  EXPECT_EQ(starts[0].args, std::vector<std::string>{doc.string()});
  // Really started: the opener runs and is reaped.
  SetMachineValue("SOFTWARE\\KV310Platform", "Opener", "true");
  EXPECT_GT(ShellExecute(0, nullptr, doc.c_str(), nullptr, nullptr, 1), 32u);
  DeleteMachineValue("SOFTWARE\\KV310Platform", "Opener");

  char dir[64];
  EXPECT_EQ(GetWindowsDirectory(dir, sizeof dir), 10u);
  EXPECT_STREQ(dir, "C:\\Windows");
}

}  // namespace
