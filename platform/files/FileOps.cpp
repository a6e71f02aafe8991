// Files and folders by Windows-style names, on POSIX.
#include <platform/codepage.h>
#include <platform/files.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/Programs.h"
#include "FileErrors.h"

namespace kvp::files {

DWORD MissingFileError(const std::string& linuxPath) {
  const size_t slash = linuxPath.rfind('/');
  if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
  struct stat st;
  return stat(linuxPath.substr(0, slash).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                                     : ERROR_PATH_NOT_FOUND;
}

std::string TempNameBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".kvtmp-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

namespace {

DWORD ErrorFor(int e, const std::string& linuxPath) {
  return e == ENOENT ? MissingFileError(linuxPath) : ErrorFromErrno(e);
}

bool WriteAll(int fd, const char* p, size_t n) {
  while (n) {
    const ssize_t w = write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// Copies the bytes of `in` to `out`; errno tells why on failure.
bool CopyBytes(int in, int out) {
  char buf[64 * 1024];
  for (;;) {
    const ssize_t n = read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!WriteAll(out, buf, static_cast<size_t>(n))) return false;
  }
}

// Copies into a fresh file at `target` (which must not exist yet).
bool CopyToNew(int in, const std::string& target, mode_t mode) {
  const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode | S_IWUSR);
  if (out < 0) return false;
  bool ok = CopyBytes(in, out);
  ok = (fsync(out) == 0) && ok;
  const int e = errno;
  ok = (close(out) == 0) && ok;
  if (ok && !(mode & S_IWUSR)) ok = chmod(target.c_str(), mode) == 0;
  if (!ok) {
    unlink(target.c_str());
    errno = e;
  }
  return ok;
}

std::string Home() {
  const char* home = getenv("HOME");
  return home && home[0] ? home : "/tmp";
}

std::string SpecialFolder(int csidl) {
  switch (csidl & 0xFF) {
    case CSIDL_APPDATA:
    case CSIDL_LOCAL_APPDATA: {
      const char* data = getenv("XDG_DATA_HOME");
      return data && data[0] ? data : Home() + "/.local/share";
    }
    case CSIDL_PERSONAL:
      return Home();
    default:
      return {};
  }
}

bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string dir = path.substr(0, slash);
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

// Copies a result path into a buffer of MAX_PATH bytes, in the system's code page.
bool CopyPath(const std::string& linuxPath, LPSTR out) {
  const std::string text = FromUtf8(linuxPath, ActiveCodePage());
  if (text.size() >= MAX_PATH) return false;
  memcpy(out, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace
}  // namespace kvp::files

using namespace kvp::files;

extern "C" {

BOOL CopyFile(LPCSTR existing, LPCSTR newFile, BOOL failIfExists) {
  if (!existing || !newFile) return FailWith(ERROR_INVALID_PARAMETER);
  const std::string from = kvp::MapPath(existing);
  const std::string to = kvp::MapPath(newFile);
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FailWith(ErrorFor(errno, from));
  struct stat st;
  if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(in);
    return FailWith(ERROR_ACCESS_DENIED);
  }
  const mode_t mode = st.st_mode & 0777;
  bool ok;
  int e = 0;
  if (failIfExists) {
    ok = CopyToNew(in, to, mode);
    e = errno;
  } else {
    // The copy goes to a temporary file that then replaces the target in one step, so the target
    // is never left half written.
    const std::string temp = TempNameBeside(to);
    ok = CopyToNew(in, temp, mode);
    e = errno;
    if (ok && rename(temp.c_str(), to.c_str()) != 0) {
      e = errno;
      unlink(temp.c_str());
      ok = false;
    }
  }
  close(in);
  if (!ok) return FailWith(e == EEXIST ? ERROR_FILE_EXISTS : ErrorFor(e, to));
  return TRUE;
}

BOOL DeleteFile(LPCSTR path) {
  if (!path) return FailWith(ERROR_INVALID_PARAMETER);
  const std::string p = kvp::MapPath(path);
  struct stat st;
  if (lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
  if (unlink(p.c_str()) != 0) return FailWith(ErrorFor(errno, p));
  return TRUE;
}

BOOL CreateDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES) {
  if (!path) return FailWith(ERROR_INVALID_PARAMETER);
  const std::string p = kvp::MapPath(path);
  if (mkdir(p.c_str(), 0777) != 0) return FailWith(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
  return TRUE;
}

BOOL RemoveDirectory(LPCSTR path) {
  if (!path) return FailWith(ERROR_INVALID_PARAMETER);
  const std::string p = kvp::MapPath(path);
  if (rmdir(p.c_str()) != 0) return FailWith(errno == ENOTDIR ? ERROR_DIRECTORY_INVALID : ErrorFor(errno, p));
  return TRUE;
}

DWORD GetFileAttributes(LPCSTR path) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  // A mapped program has the attributes of the executable it stands for.
  const std::string mapped = kvp::process::MappedProgram(path);
  const std::string p = mapped.empty() ? kvp::MapPath(path) : mapped;
  struct stat st;
  if (stat(p.c_str(), &st) != 0) {
    SetLastError(ErrorFor(errno, p));
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
  const size_t slash = p.rfind('/');
  const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
  if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= FILE_ATTRIBUTE_HIDDEN;
  return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL SetFileAttributes(LPCSTR path, DWORD attributes) {
  if (!path) return FailWith(ERROR_INVALID_PARAMETER);
  const std::string p = kvp::MapPath(path);
  struct stat st;
  if (stat(p.c_str(), &st) != 0) return FailWith(ErrorFor(errno, p));
  // Only the read-only flag has a Linux counterpart: the write permission bits.
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
  if (chmod(p.c_str(), mode) != 0) return FailWith(ErrorFromErrno(errno));
  return TRUE;
}

DWORD GetCurrentDirectory(DWORD size, LPSTR buffer) {
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) {
    SetLastError(ErrorFromErrno(errno));
    return 0;
  }
  const std::string text = kvp::FromUtf8(cwd, kvp::ActiveCodePage());
  // Windows: the length without the NUL when it fits, else the size needed with the NUL.
  if (!buffer || text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
  memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

BOOL SetCurrentDirectory(LPCSTR path) {
  if (!path) return FailWith(ERROR_INVALID_PARAMETER);
  const std::string p = kvp::MapPath(path);
  if (chdir(p.c_str()) != 0) return FailWith(ErrorFor(errno, p));
  return TRUE;
}

BOOL SHGetSpecialFolderPath(HWND, LPSTR path, int csidl, BOOL create) {
  if (!path) return FailWith(ERROR_INVALID_PARAMETER);
  const std::string folder = SpecialFolder(csidl);
  if (folder.empty()) return FailWith(ERROR_FILE_NOT_FOUND);
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 && (!create || !MakeFolders(folder))) return FailWith(ERROR_PATH_NOT_FOUND);
  return CopyPath(folder, path) ? TRUE : FailWith(ERROR_FILENAME_EXCED_RANGE);
}

HRESULT SHGetFolderPath(HWND owner, int csidl, HANDLE, DWORD, LPSTR path) {
  return SHGetSpecialFolderPath(owner, path, csidl & 0xFF, (csidl & CSIDL_FLAG_CREATE) != 0) ? S_OK : E_FAIL;
}

}  // extern "C"
