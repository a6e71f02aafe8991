// CreateProcess with posix_spawn (no shell), waitable process handles with a reaper thread per
// child, ShellExecute through the configured opener, program mapping and program icons.
#include <platform/codepage.h>
#include <platform/files.h>
#include <platform/gdi_surface.h>
#include <platform/process.h>
#include <platform/registry.h>

#include <cairo.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "base/HandleTable.h"
#include "files/Programs.h"

extern char** environ;

namespace kvp::process {
namespace {

class ProcessObject final : public Waitable {
 public:
  explicit ProcessObject(pid_t pid) : pid(pid) {}
  const pid_t pid;
  bool IsSignalledFor(DWORD) override { return ended_; }
  bool Consume(DWORD) override { return false; }
  void End(DWORD code) {
    std::lock_guard lock(WaitLock());
    exitCode_ = code;
    ended_ = true;
    WakeWaiters();
  }
  bool Ended(DWORD* code) {
    std::lock_guard lock(WaitLock());
    if (code) *code = ended_ ? exitCode_ : STILL_ACTIVE;
    return ended_;
  }

 private:
  bool ended_ = false;  // under the wait lock
  DWORD exitCode_ = STILL_ACTIVE;
};

std::mutex gRecordMu;
bool gRecording = false;
std::vector<LaunchRecord> gRecords;

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool EndsWithExe(const std::string& s) {
  return s.size() > 4 && strcasecmp(s.c_str() + s.size() - 4, ".exe") == 0;
}

std::string RegistryString(HKEY root, const char* key, const char* value) {
  HKEY k;
  if (RegOpenKeyEx(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return {};
  char buf[1024];
  DWORD size = sizeof buf - 1;
  DWORD type = 0;
  LONG rc = RegQueryValueEx(k, value, nullptr, &type, reinterpret_cast<LPBYTE>(buf), &size);
  RegCloseKey(k);
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  buf[std::min<DWORD>(size, sizeof buf - 1)] = 0;
  return buf;
}

// Searches PATH for a bare program name.
std::string SearchPath(const std::string& name) {
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
  const char* path = getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return {};
}

// Windows command-line splitting: blanks separate, quotes group, 2n backslashes before a quote
// give n and the quote counts, 2n+1 give n and a literal quote.
std::vector<std::string> SplitArguments(const std::string& line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      size_t slashes = 0;
      while (i < line.size() && line[i] == '\\') {
        ++slashes;
        ++i;
      }
      if (i < line.size() && line[i] == '"') {
        arg.append(slashes / 2, '\\');
        if (slashes % 2) {
          arg += '"';
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(slashes, '\\');
        if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) arg += line[i++];
      }
    }
    out.push_back(arg);
  }
  return out;
}

// The program of a command line and where its arguments begin; "" when none is found.
std::string ProgramOfCommandLine(const std::string& line, size_t* argsStart) {
  size_t i = line.find_first_not_of(" \t");
  if (i == std::string::npos) return {};
  if (line[i] == '"') {
    size_t close = line.find('"', i + 1);
    std::string name = line.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
    *argsStart = close == std::string::npos ? line.size() : close + 1;
    return ResolveProgram(name);
  }
  // Unquoted: each blank may end the program's name; the first prefix that names one wins.
  for (size_t end = line.find_first_of(" \t", i);; end = line.find_first_of(" \t", end + 1)) {
    std::string name = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
    std::string program = ResolveProgram(name);
    if (!program.empty()) {
      *argsStart = end == std::string::npos ? line.size() : end;
      return program;
    }
    if (end == std::string::npos) return {};
  }
}

HANDLE EndedProcessHandle(pid_t pid, DWORD code) {
  auto p = std::make_shared<ProcessObject>(pid);
  p->End(code);
  return RegisterHandle(p);
}

// Starts (or records) a program; false with errno set when it cannot be started.
bool Start(const LaunchRecord& record, pid_t* pid) {
  {
    std::lock_guard lock(gRecordMu);
    if (gRecording) {
      gRecords.push_back(record);
      *pid = 0;
      return true;
    }
  }
  std::vector<std::string> argvStore;
  argvStore.push_back(record.executable);
  argvStore.insert(argvStore.end(), record.args.begin(), record.args.end());
  std::vector<char*> argv;
  for (auto& a : argvStore) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!record.directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, record.directory.c_str());
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // The child starts with default signal handling, whatever this process changed.
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attr, &all);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  const int rc = posix_spawn(pid, record.executable.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) errno = rc;
  return rc == 0;
}

HANDLE WatchChild(pid_t pid) {
  auto process = std::make_shared<ProcessObject>(pid);
  HANDLE h = RegisterHandle(process);
  // The reaper owns a reference, so the child is reaped even when every handle is closed.
  std::thread([process] {
    int status = 0;
    while (waitpid(process->pid, &status, 0) < 0 && errno == EINTR) {
    }
    DWORD code = WIFEXITED(status) ? static_cast<DWORD>(WEXITSTATUS(status))
                 : WIFSIGNALED(status) ? 128u + static_cast<DWORD>(WTERMSIG(status))
                                       : 1u;
    process->End(code);
  }).detach();
  return h;
}

// A generic program icon: a window with a title bar, drawn at `size` pixels.
HBITMAP GenericIconBitmap(int size) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(s);
  const double u = size / 32.0;
  cairo_rectangle(cr, 3 * u, 5 * u, 26 * u, 22 * u);
  cairo_set_source_rgb(cr, 0.95, 0.95, 0.95);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0.25, 0.3, 0.4);
  cairo_set_line_width(cr, 1.5 * u);
  cairo_stroke(cr);
  cairo_rectangle(cr, 3 * u, 5 * u, 26 * u, 6 * u);
  cairo_set_source_rgb(cr, 0.2, 0.4, 0.75);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  // Through PNG bytes: the one way the drawing layer takes outside pixels.
  std::string png;
  cairo_surface_write_to_png_stream(
      s,
      [](void* closure, const unsigned char* data, unsigned int length) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
      },
      &png);
  cairo_surface_destroy(s);
  return CreateBitmapFromPng(png.data(), png.size());
}

HICON IconFromBitmap(HBITMAP bitmap) {
  if (!bitmap) return 0;
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = bitmap;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(bitmap);
  return icon;
}

HICON IconFromPngFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return 0;
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  return IconFromBitmap(CreateBitmapFromPng(bytes.data(), bytes.size()));
}

std::string XdgDataHome() {
  const char* d = getenv("XDG_DATA_HOME");
  if (d && d[0]) return d;
  const char* home = getenv("HOME");
  return std::string(home ? home : "/tmp") + "/.local/share";
}

std::vector<std::string> XdgDataDirs() {
  std::vector<std::string> dirs{XdgDataHome()};
  const char* d = getenv("XDG_DATA_DIRS");
  std::string all = d && d[0] ? d : "/usr/local/share:/usr/share";
  size_t start = 0;
  while (start < all.size()) {
    size_t colon = all.find(':', start);
    dirs.push_back(all.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return dirs;
}

// The Icon= of the program's desktop entry (<name>.desktop in the XDG data folders), or "".
std::string DesktopEntryIcon(const std::string& program) {
  const std::string base = program.substr(program.rfind('/') + 1);
  for (const std::string& dir : XdgDataDirs()) {
    std::ifstream in(dir + "/applications/" + base + ".desktop");
    std::string line;
    while (in && std::getline(in, line)) {
      if (line.rfind("Icon=", 0) == 0 && line.size() > 5) return line.substr(5);
    }
  }
  return {};
}

std::string ResolveIconName(const std::string& icon) {
  if (!icon.empty() && icon[0] == '/') return icon;
  for (const std::string& dir : XdgDataDirs()) {
    for (const char* size : {"32x32", "48x48", "64x64", "128x128", "24x24", "16x16"}) {
      std::string p = dir + "/icons/hicolor/" + size + "/apps/" + icon + ".png";
      if (access(p.c_str(), R_OK) == 0) return p;
    }
  }
  std::string pixmap = "/usr/share/pixmaps/" + icon + ".png";
  return access(pixmap.c_str(), R_OK) == 0 ? pixmap : std::string();
}

}  // namespace

std::string MappedProgram(const std::string& windowsPath) {
  std::string linux = RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KV310Platform\\Programs", windowsPath.c_str());
  return linux.empty() ? std::string() : MapPath(linux);
}

}  // namespace kvp::process

namespace kvp {

std::string ResolveProgram(const std::string& name) {
  if (name.empty()) return {};
  std::string mapped = process::MappedProgram(name);
  if (!mapped.empty()) return process::IsExecutableFile(mapped) ? mapped : process::SearchPath(mapped);
  if (name.find_first_of("/\\") == std::string::npos) {
    std::string bare = process::EndsWithExe(name) ? name.substr(0, name.size() - 4) : name;
    std::string found = process::SearchPath(name);
    return found.empty() ? process::SearchPath(bare) : found;
  }
  std::string path = name[0] == '/' ? ToUtf8(name, ActiveCodePage()) : MapPath(name);
  if (process::IsExecutableFile(path)) return path;
  if (process::EndsWithExe(path) && process::IsExecutableFile(path.substr(0, path.size() - 4))) {
    return path.substr(0, path.size() - 4);
  }
  if (!process::EndsWithExe(path) && process::IsExecutableFile(path + ".exe")) return path + ".exe";
  return {};
}

void RecordLaunches(bool on) {
  std::lock_guard lock(process::gRecordMu);
  process::gRecording = on;
  if (on) process::gRecords.clear();
}

std::vector<LaunchRecord> RecordedLaunches() {
  std::lock_guard lock(process::gRecordMu);
  return process::gRecords;
}

}  // namespace kvp

using namespace kvp::process;

extern "C" {

BOOL CreateProcess(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                   DWORD, LPVOID, LPCSTR currentDirectory, LPSTARTUPINFO, LPPROCESS_INFORMATION info) {
  const std::string line = commandLine ? commandLine : "";
  kvp::LaunchRecord record;
  record.commandLine = line;
  size_t argsStart = 0;
  if (applicationName) {
    record.executable = kvp::ResolveProgram(applicationName);
    // The command line repeats the program as its first token.
    std::vector<std::string> all = SplitArguments(line);
    if (!all.empty()) all.erase(all.begin());
    record.args = all;
  } else {
    record.executable = ProgramOfCommandLine(line, &argsStart);
    record.args = SplitArguments(line.substr(std::min(argsStart, line.size())));
  }
  if (record.executable.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (currentDirectory && currentDirectory[0]) record.directory = kvp::MapPath(currentDirectory);
  pid_t pid = 0;
  if (!Start(record, &pid)) {
    SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_BAD_FORMAT);
    return FALSE;
  }
  HANDLE process = pid ? WatchChild(pid) : EndedProcessHandle(0, 0);
  if (info) {
    info->hProcess = process;
    info->hThread = process ? kvp::RegisterHandle(kvp::HandleTable::Instance().Get(process)) : 0;
    info->dwProcessId = static_cast<DWORD>(pid);
    info->dwThreadId = static_cast<DWORD>(pid);
  } else if (process) {
    CloseHandle(process);
  }
  return TRUE;
}

BOOL GetExitCodeProcess(HANDLE h, LPDWORD exitCode) {
  auto p = kvp::LookupHandle<ProcessObject>(h);
  if (!p || !exitCode) return FALSE;
  p->Ended(exitCode);
  return TRUE;
}

BOOL TerminateProcess(HANDLE h, UINT) {
  auto p = kvp::LookupHandle<ProcessObject>(h);
  if (!p) return FALSE;
  if (p->Ended(nullptr) || p->pid <= 0) return TRUE;
  return kill(p->pid, SIGKILL) == 0 ? TRUE : FALSE;
}

HINSTANCE ShellExecute(HWND, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT) {
  if (!file || (operation && strcasecmp(operation, "open") != 0)) return SE_ERR_NOASSOC;
  kvp::LaunchRecord record;
  if (directory && directory[0]) record.directory = kvp::MapPath(directory);
  const std::string name = file;
  const bool url = name.find("://") != std::string::npos || name.rfind("mailto:", 0) == 0;
  const std::string program = url ? std::string() : MappedProgram(name);
  if (!program.empty() || (!url && EndsWithExe(name) && !kvp::ResolveProgram(name).empty())) {
    record.executable = kvp::ResolveProgram(name);
    if (parameters) record.args = SplitArguments(parameters);
  } else {
    std::string target = url ? name : (name[0] == '/' ? kvp::ToUtf8(name, kvp::ActiveCodePage()) : kvp::MapPath(name));
    if (!url && access(target.c_str(), F_OK) != 0) return SE_ERR_FNF;
    std::string opener = RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KV310Platform", "Opener");
    record.executable = SearchPath(opener.empty() ? "xdg-open" : opener);
    if (record.executable.empty()) return SE_ERR_NOASSOC;
    record.args = {target};
  }
  record.commandLine = name + (parameters ? std::string(" ") + parameters : std::string());
  pid_t pid = 0;
  if (!Start(record, &pid)) return SE_ERR_NOASSOC;
  if (pid) CloseHandle(WatchChild(pid));
  return 42;
}

UINT GetWindowsDirectory(LPSTR buffer, UINT size) {
  static const char kDir[] = "C:\\Windows";
  const UINT length = sizeof kDir - 1;
  if (!buffer || size <= length) return length + 1;
  memcpy(buffer, kDir, length + 1);
  return length;
}

UINT ExtractIconEx(LPCSTR file, int index, HICON* large, HICON* small, UINT count) {
  if (!file || index != 0 || count == 0 || (!large && !small)) return 0;
  const std::string program = kvp::ResolveProgram(file);
  auto make = [&](int size) -> HICON {
    if (!program.empty()) {
      if (HICON icon = IconFromPngFile(program + ".png")) return icon;
      std::string icon = DesktopEntryIcon(program);
      if (!icon.empty()) {
        if (HICON h = IconFromPngFile(ResolveIconName(icon))) return h;
      }
    }
    return IconFromBitmap(GenericIconBitmap(size));
  };
  if (program.empty() && GetFileAttributes(file) == INVALID_FILE_ATTRIBUTES) return 0;
  if (large) *large = make(32);
  if (small) *small = make(16);
  return 1;
}

}  // extern "C"
