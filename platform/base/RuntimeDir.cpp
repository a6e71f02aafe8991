// The per-user runtime folder for the cross-process pieces (lock files of named mutexes, the
// sockets of the trace viewer and of top-level windows).
#include <platform/files.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

// Creates the folder if missing. An existing folder must be a real directory of this user that
// no one else can enter: lock files and sockets in it decide who owns the board.
bool EnsurePrivateDir(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
  if ((st.st_mode & 0077) != 0 && chmod(path.c_str(), 0700) != 0) return false;
  return true;
}

}  // namespace

namespace kvp {

PLATFORM_API std::string RuntimeDir() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg && *xdg == '/') {
    std::string dir = xdg;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    // XDG_RUNTIME_DIR belongs to the session; create it only when it is missing.
    struct stat st;
    if ((stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) || EnsurePrivateDir(dir)) return dir;
  }
  std::string dir = "/tmp/kv310-" + std::to_string(getuid());
  if (EnsurePrivateDir(dir)) return dir;
  // Someone else holds that name: use a private folder of our own rather than theirs. Other
  // processes will not meet us there, which is the safe side of the failure.
  static const std::string fallback = [] {
    std::string tmpl = "/tmp/kv310-" + std::to_string(getuid()) + "-XXXXXX";
    return mkdtemp(tmpl.data()) ? tmpl : std::string("/tmp");
  }();
  return fallback;
}

}  // namespace kvp
