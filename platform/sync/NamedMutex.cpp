// Named mutexes across processes. Three kinds of lock in the per-user runtime folder carry the
// Windows meaning of a named mutex:
//   <name>.lock  exclusive flock while a thread of a process owns the mutex;
//   <name>.ref   shared flock by every process that has the name open: the name "exists" while
//                anyone holds it, and a process that dies lets go of both by itself;
//   mutex.guard  exclusive flock held for a moment while a process looks at and joins a name,
//                so that two processes creating the same name at once agree on who was first.
// Within the process one object stands for a name, shared by every handle to it.
#include "SyncObjects.h"

#include <platform/files.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <map>

namespace kvp::sync {

namespace {

std::mutex gNamesMu;
std::map<std::string, std::weak_ptr<MutexObject>>& Names() {
  static auto* names = new std::map<std::string, std::weak_ptr<MutexObject>>;
  return *names;
}

// Mutex names may hold any character but '\0'; file names get the safe ones as they are and
// the rest as %XX, so that different names never share a file.
std::string FileNameOf(const std::string& name) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out = "mutex.";
  for (unsigned char c : name) {
    bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                c == '_' || c == '.';
    if (safe) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

int OpenLockFile(const std::string& path) {
  int fd;
  do {
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int Flock(int fd, int op) {
  int r;
  do {
    r = flock(fd, op);
  } while (r != 0 && errno == EINTR);
  return r;
}

// Holds the folder's guard lock for the lifetime of the object.
class GuardLock {
 public:
  explicit GuardLock(const std::string& dir) : fd_(OpenLockFile(dir + "/mutex.guard")) {
    if (fd_ >= 0 && Flock(fd_, LOCK_EX) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~GuardLock() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

}  // namespace

std::shared_ptr<MutexObject> OpenNamedMutex(const std::string& name, bool create, bool& existed) {
  std::lock_guard names(gNamesMu);
  auto it = Names().find(name);
  if (it != Names().end()) {
    if (auto mutex = it->second.lock()) {
      existed = true;
      return mutex;
    }
    Names().erase(it);
  }

  const std::string dir = RuntimeDir();
  const std::string base = dir + "/" + FileNameOf(name);
  GuardLock guard(dir);
  int refFd = guard.ok() ? OpenLockFile(base + ".ref") : -1;
  if (refFd < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  // Under the guard nobody else is joining or probing, so an exclusive lock that succeeds means
  // no other process has the name open.
  existed = Flock(refFd, LOCK_EX | LOCK_NB) != 0;
  if (!existed && !create) {
    close(refFd);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  int lockFd = OpenLockFile(base + ".lock");
  if (lockFd < 0 || Flock(refFd, LOCK_SH) != 0) {
    if (lockFd >= 0) close(lockFd);
    close(refFd);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  auto mutex = std::make_shared<MutexObject>();
  mutex->AttachNamed(name, lockFd, refFd);
  Names()[name] = mutex;
  return mutex;
}

}  // namespace kvp::sync
