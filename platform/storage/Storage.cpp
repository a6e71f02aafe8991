// StgCreateDocfile/StgOpenStorage and the storage and stream objects over an in-memory tree of
// the file. The file stays open and locked (flock) while any object of it lives; a file opened
// for writing is written anew, through a temporary file and a rename, when it changed. The lock
// travels with the name: the new file is locked before it takes the name and the old one is let
// go after, and whoever opens the name checks that the file it locked is still the one named.
#include <platform/debug.h>
#include <platform/files.h>
#include <platform/storage.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "storage/CompoundFile.h"
#include "storage/Utf16.h"

namespace kvp::storage {
namespace {

constexpr size_t kMaxFileBytes = size_t{1} << 30;
constexpr size_t kMaxNameChars = 31;

HRESULT FromErrno(int e) {
  switch (e) {
    case ENOENT: return STG_E_FILENOTFOUND;
    case ENOTDIR: return STG_E_PATHNOTFOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return STG_E_ACCESSDENIED;
    case ENOSPC:
    case EDQUOT: return STG_E_MEDIUMFULL;
    case EMFILE:
    case ENFILE: return STG_E_TOOMANYOPENFILES;
    case ENOMEM: return STG_E_INSUFFICIENTMEMORY;
    case EWOULDBLOCK: return STG_E_SHAREVIOLATION;
    default: return STG_E_ACCESSDENIED;
  }
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool FolderExists(const std::string& path) {
  struct stat st;
  return stat(FolderOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A file name given as UTF-16: a Linux path as it is, a Windows path through the path mapping.
std::string LinuxPath(LPCOLESTR name) {
  std::string utf8 = Utf16ToUtf8(name);
  if (!utf8.empty() && utf8[0] == '/') return utf8;
  return MapPath(FromUtf8(utf8, ActiveCodePage()));
}

bool ValidName(const std::string& utf8, LPCOLESTR name) {
  size_t chars = 0;
  while (name[chars]) ++chars;
  if (chars == 0 || chars > kMaxNameChars) return false;
  return utf8.find_first_of("/\\:!") == std::string::npos;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

void SyncFolder(const std::string& path) {
  if (int dir = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    fsync(dir);
    close(dir);
  }
}

// Whether `path` names the file open on fd now (the same inode on the same device).
bool NamesFile(const std::string& path, int fd) {
  struct stat open, named;
  return fstat(fd, &open) == 0 && stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

// Opens and locks the file `path` names; the descriptor or -1 with the failure in *hr. A rewrite
// puts a new, already locked file under the name while it still holds the old one's lock, so a
// lock won on a file that has been replaced meanwhile guards nothing: the name is opened again.
int OpenLocked(const std::string& path, bool writable, bool exclusive, HRESULT* hr) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    int fd = open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
      *hr = FromErrno(errno);
      if (*hr == STG_E_FILENOTFOUND && !FolderExists(path)) *hr = STG_E_PATHNOTFOUND;
      return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd);
      *hr = STG_E_ACCESSDENIED;
      return -1;
    }
    if (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
      *hr = errno == EWOULDBLOCK ? STG_E_SHAREVIOLATION : FromErrno(errno);
      close(fd);
      return -1;
    }
    if (NamesFile(path, fd)) {
      *hr = S_OK;
      return fd;
    }
    close(fd);
  }
  *hr = STG_E_SHAREVIOLATION;  // replaced again and again: someone keeps rewriting it
  return -1;
}

// A new temporary file beside `path` holding `bytes` (synced, with `mode`) and locked
// exclusively before anyone can know its name; the read-write descriptor, or -1 with the failure.
int LockedTemporary(const std::string& path, const std::string& bytes, mode_t mode, std::string* temp, HRESULT* hr) {
  *temp = FolderOf(path) + "/.kvstg-XXXXXX";
  int fd = mkostemp(temp->data(), O_CLOEXEC);
  if (fd < 0) {
    *hr = FromErrno(errno);
    return -1;
  }
  if (!WriteAll(fd, bytes) || fchmod(fd, mode) != 0 || fsync(fd) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    *hr = FromErrno(errno);
    close(fd);
    unlink(temp->c_str());
    return -1;
  }
  *hr = S_OK;
  return fd;
}

// The last release has no result to give its caller: a write-back that fails there is said in
// the debugger output and on stderr.
void ReportLastWriteFailed(const std::string& path, HRESULT hr) {
  char code[16];
  snprintf(code, sizeof code, "%08X", static_cast<unsigned>(hr));
  const std::string line = "compound file \"" + path + "\" not written at its last release: " + code + "\n";
  OutputDebugString(line.c_str());
  fputs(line.c_str(), stderr);
}

// One open file: its tree, its locked descriptor, and whether it must be written at the end.
struct Document {
  std::mutex mu;
  std::string path;
  int fd = -1;
  bool writable = false;
  bool dirty = false;
  mode_t mode = 0644;
  Entry root;
  std::set<const Entry*> openStreams;

  // Writes the file anew under its name. The new file is locked before the rename and the old
  // one's lock is let go only after it, so the name is never without our lock; a lock that no
  // longer guards the name (another file was put in its place) is a share violation.
  HRESULT WriteLocked() {
    if (!NamesFile(path, fd)) return STG_E_SHAREVIOLATION;
    std::string bytes;
    HRESULT hr = SerializeCompound(root, &bytes);
    if (FAILED(hr)) return hr;
    std::string temp;
    const int fresh = LockedTemporary(path, bytes, mode, &temp, &hr);
    if (fresh < 0) return hr;
    if (rename(temp.c_str(), path.c_str()) != 0) {
      hr = FromErrno(errno);
      close(fresh);
      unlink(temp.c_str());
      return hr;
    }
    SyncFolder(path);
    close(fd);
    fd = fresh;
    dirty = false;
    return S_OK;
  }

  ~Document() {
    if (writable && dirty) {
      const HRESULT hr = WriteLocked();
      if (FAILED(hr)) ReportLastWriteFailed(path, hr);
    }
    if (fd >= 0) close(fd);
  }
};

template <class Interface>
class RefCounted : public Interface {
 public:
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

class Stream final : public RefCounted<IStream> {
 public:
  Stream(std::shared_ptr<Document> doc, std::shared_ptr<Entry> entry, bool writable)
      : doc_(std::move(doc)), entry_(std::move(entry)), writable_(writable) {}
  ~Stream() override {
    std::lock_guard lock(doc_->mu);
    doc_->openStreams.erase(entry_.get());
  }

  HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
    if (!buffer && count) return STG_E_INVALIDPOINTER;
    std::lock_guard lock(doc_->mu);
    const auto& data = entry_->data;
    ULONG n = 0;
    if (position_ < data.size()) n = static_cast<ULONG>(std::min<uint64_t>(count, data.size() - position_));
    if (n) memcpy(buffer, data.data() + position_, n);
    position_ += n;
    if (read) *read = n;
    return S_OK;
  }

  HRESULT Write(const void* data, ULONG count, ULONG* written) override {
    if (written) *written = 0;
    if (!writable_) return STG_E_ACCESSDENIED;
    if (!data && count) return STG_E_INVALIDPOINTER;
    std::lock_guard lock(doc_->mu);
    auto& bytes = entry_->data;
    const uint64_t end = position_ + count;
    if (end > kMaxFileBytes) return STG_E_MEDIUMFULL;
    if (end > bytes.size()) bytes.resize(static_cast<size_t>(end), 0);
    if (count) memcpy(bytes.data() + position_, data, count);
    position_ = end;
    doc_->dirty = true;
    if (written) *written = count;
    return S_OK;
  }

  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override {
    std::lock_guard lock(doc_->mu);
    int64_t base;
    switch (origin) {
      case STREAM_SEEK_SET: base = 0; break;
      case STREAM_SEEK_CUR: base = static_cast<int64_t>(position_); break;
      case STREAM_SEEK_END: base = static_cast<int64_t>(entry_->data.size()); break;
      default: return STG_E_INVALIDFUNCTION;
    }
    const int64_t target = base + move.QuadPart;
    if (target < 0) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<uint64_t>(target);
    if (newPosition) newPosition->QuadPart = position_;
    return S_OK;
  }

  HRESULT SetSize(ULARGE_INTEGER size) override {
    if (!writable_) return STG_E_ACCESSDENIED;
    if (size.QuadPart > kMaxFileBytes) return STG_E_MEDIUMFULL;
    std::lock_guard lock(doc_->mu);
    entry_->data.resize(static_cast<size_t>(size.QuadPart), 0);
    doc_->dirty = true;
    return S_OK;
  }

  HRESULT Commit(DWORD) override { return S_OK; }  // streams of a direct-mode file write with it

 private:
  std::shared_ptr<Document> doc_;
  std::shared_ptr<Entry> entry_;
  bool writable_;
  uint64_t position_ = 0;
};

class Storage final : public RefCounted<IStorage> {
 public:
  // `dir` is the root (an aliasing pointer into the document) or a storage below it.
  Storage(std::shared_ptr<Document> doc, std::shared_ptr<Entry> dir) : doc_(std::move(doc)), dir_(std::move(dir)) {}

  HRESULT CreateStream(LPCOLESTR name, DWORD mode, DWORD, DWORD, IStream** out) override {
    if (!out) return STG_E_INVALIDPOINTER;
    *out = nullptr;
    if (!name) return STG_E_INVALIDNAME;
    const std::string utf8 = Utf16ToUtf8(name);
    if (!ValidName(utf8, name)) return STG_E_INVALIDNAME;
    if ((mode & 0x70) != STGM_SHARE_EXCLUSIVE) return STG_E_INVALIDFLAG;
    if (!doc_->writable || (mode & 3) == STGM_READ) return STG_E_ACCESSDENIED;
    std::lock_guard lock(doc_->mu);
    auto it = dir_->children.find(utf8);
    std::shared_ptr<Entry> entry;
    if (it != dir_->children.end()) {
      if (!(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
      if (it->second->isStorage || doc_->openStreams.count(it->second.get())) return STG_E_ACCESSDENIED;
      entry = it->second;
      entry->data.clear();
    } else {
      entry = std::make_shared<Entry>();
      dir_->children[utf8] = entry;
    }
    doc_->dirty = true;
    doc_->openStreams.insert(entry.get());
    *out = new Stream(doc_, entry, true);
    return S_OK;
  }

  HRESULT OpenStream(LPCOLESTR name, void*, DWORD mode, DWORD, IStream** out) override {
    if (!out) return STG_E_INVALIDPOINTER;
    *out = nullptr;
    if (!name) return STG_E_INVALIDNAME;
    if ((mode & 0x70) != STGM_SHARE_EXCLUSIVE) return STG_E_INVALIDFLAG;
    const bool write = (mode & 3) != STGM_READ;
    if (write && !doc_->writable) return STG_E_ACCESSDENIED;
    std::lock_guard lock(doc_->mu);
    auto it = dir_->children.find(Utf16ToUtf8(name));
    if (it == dir_->children.end() || it->second->isStorage) return STG_E_FILENOTFOUND;
    if (doc_->openStreams.count(it->second.get())) return STG_E_ACCESSDENIED;
    doc_->openStreams.insert(it->second.get());
    *out = new Stream(doc_, it->second, write);
    return S_OK;
  }

  HRESULT CreateStorage(LPCOLESTR name, DWORD mode, DWORD, DWORD, IStorage** out) override {
    if (!out) return STG_E_INVALIDPOINTER;
    *out = nullptr;
    if (!name) return STG_E_INVALIDNAME;
    const std::string utf8 = Utf16ToUtf8(name);
    if (!ValidName(utf8, name)) return STG_E_INVALIDNAME;
    if (!doc_->writable) return STG_E_ACCESSDENIED;
    std::lock_guard lock(doc_->mu);
    auto it = dir_->children.find(utf8);
    if (it != dir_->children.end() && !(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
    auto entry = std::make_shared<Entry>();
    entry->isStorage = true;
    dir_->children[utf8] = entry;
    doc_->dirty = true;
    *out = new Storage(doc_, entry);
    return S_OK;
  }

  HRESULT OpenStorage(LPCOLESTR name, IStorage*, DWORD mode, SNB, DWORD, IStorage** out) override {
    if (!out) return STG_E_INVALIDPOINTER;
    *out = nullptr;
    if (!name) return STG_E_INVALIDNAME;
    if ((mode & 3) != STGM_READ && !doc_->writable) return STG_E_ACCESSDENIED;
    std::lock_guard lock(doc_->mu);
    auto it = dir_->children.find(Utf16ToUtf8(name));
    if (it == dir_->children.end() || !it->second->isStorage) return STG_E_FILENOTFOUND;
    *out = new Storage(doc_, it->second);
    return S_OK;
  }

  HRESULT DestroyElement(LPCOLESTR name) override {
    if (!name) return STG_E_INVALIDNAME;
    if (!doc_->writable) return STG_E_ACCESSDENIED;
    std::lock_guard lock(doc_->mu);
    auto it = dir_->children.find(Utf16ToUtf8(name));
    if (it == dir_->children.end()) return STG_E_FILENOTFOUND;
    if (doc_->openStreams.count(it->second.get())) return STG_E_ACCESSDENIED;
    dir_->children.erase(it);
    doc_->dirty = true;
    return S_OK;
  }

  HRESULT Commit(DWORD) override {
    if (!doc_->writable) return S_OK;
    std::lock_guard lock(doc_->mu);
    return doc_->dirty ? doc_->WriteLocked() : S_OK;
  }

 private:
  std::shared_ptr<Document> doc_;
  std::shared_ptr<Entry> dir_;
};

HRESULT ReadAll(int fd, std::string* bytes) {
  struct stat st;
  if (fstat(fd, &st) != 0) return FromErrno(errno);
  if (static_cast<uint64_t>(st.st_size) > kMaxFileBytes) return STG_E_INSUFFICIENTMEMORY;
  bytes->resize(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < bytes->size()) {
    ssize_t n = pread(fd, bytes->data() + done, bytes->size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return STG_E_READFAULT;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  bytes->resize(done);
  return S_OK;
}

}  // namespace
}  // namespace kvp::storage

using namespace kvp::storage;

extern "C" {

HRESULT StgOpenStorage(LPCOLESTR name, IStorage*, DWORD mode, SNB, DWORD, IStorage** out) {
  if (!out) return STG_E_INVALIDPOINTER;
  *out = nullptr;
  if (!name || !name[0]) return STG_E_INVALIDNAME;
  const bool writable = (mode & 3) != STGM_READ;
  const DWORD share = mode & 0x70;
  const bool exclusive = writable || share == STGM_SHARE_EXCLUSIVE || share == STGM_SHARE_DENY_READ;
  auto doc = std::make_shared<Document>();
  doc->path = LinuxPath(name);
  HRESULT hr;
  doc->fd = OpenLocked(doc->path, writable, exclusive, &hr);
  if (doc->fd < 0) return hr;
  struct stat st;
  if (fstat(doc->fd, &st) == 0) doc->mode = st.st_mode & 07777;
  std::string bytes;
  hr = ReadAll(doc->fd, &bytes);
  if (SUCCEEDED(hr)) hr = ParseCompound(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &doc->root);
  if (FAILED(hr)) return hr;  // the document closes its descriptor; nothing was written
  doc->writable = writable;
  *out = new Storage(doc, std::shared_ptr<Entry>(doc, &doc->root));
  return S_OK;
}

HRESULT StgCreateDocfile(LPCOLESTR name, DWORD mode, DWORD, IStorage** out) {
  if (!out) return STG_E_INVALIDPOINTER;
  *out = nullptr;
  if (!name || !name[0]) return STG_E_INVALIDNAME;
  if ((mode & 3) == STGM_READ) return STG_E_INVALIDFLAG;
  const std::string path = LinuxPath(name);
  if (!FolderExists(path)) return STG_E_PATHNOTFOUND;

  struct stat st;
  if (stat(path.c_str(), &st) == 0) {
    if (!(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
    if (!S_ISREG(st.st_mode)) return STG_E_ACCESSDENIED;
  }
  Entry empty;
  empty.isStorage = true;
  std::string bytes;
  HRESULT hr = SerializeCompound(empty, &bytes);
  if (FAILED(hr)) return hr;

  // A file to replace is locked first, so one that someone holds is refused before anything is
  // touched, and it stays locked until the new file, locked as well, has taken its name.
  std::string temp;
  int fresh = -1;
  auto giveUp = [&](HRESULT why) {
    if (fresh >= 0) {
      close(fresh);
      unlink(temp.c_str());
    }
    return why;
  };
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int old = OpenLocked(path, true, true, &hr);
    if (old < 0 && hr != STG_E_FILENOTFOUND) return giveUp(hr);
    mode_t fileMode = 0644;
    if (old >= 0 && fstat(old, &st) == 0) fileMode = st.st_mode & 07777;
    if (fresh < 0) {
      fresh = LockedTemporary(path, bytes, fileMode, &temp, &hr);
      if (fresh < 0) {
        if (old >= 0) close(old);
        return hr;
      }
    } else {
      fchmod(fresh, fileMode);
    }
    if (old >= 0) {
      const bool placed = rename(temp.c_str(), path.c_str()) == 0;
      const int e = errno;
      close(old);
      if (!placed) return giveUp(FromErrno(e));
    } else if (link(temp.c_str(), path.c_str()) == 0) {
      unlink(temp.c_str());  // the name is taken only if it is still free
    } else if (errno == EEXIST) {
      if (!(mode & STGM_CREATE)) return giveUp(STG_E_FILEALREADYEXISTS);
      continue;  // made meanwhile: replace that one, under its lock
    } else {
      return giveUp(FromErrno(errno));
    }
    SyncFolder(path);
    auto doc = std::make_shared<Document>();
    doc->path = path;
    doc->mode = fileMode;
    doc->fd = fresh;
    doc->root.isStorage = true;
    doc->writable = true;
    *out = new Storage(doc, std::shared_ptr<Entry>(doc, &doc->root));
    return S_OK;
  }
  return giveUp(STG_E_SHAREVIOLATION);
}

}  // extern "C"
