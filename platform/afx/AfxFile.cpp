// CFile over a POSIX descriptor. Share modes are kept as open-file-description byte locks on a
// small lock file per file (named by device and inode in the per-user runtime folder), so they
// hold between handles of one process as between processes: each open takes a shared lock on a
// byte for every access it has and every access it denies, after checking under a gate lock that
// no earlier open denies its access or has an access it denies.
#include <platform/afxfile.h>
#include <platform/codepage.h>
#include <platform/files.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kvp::afx {
namespace {

// Byte offsets in the lock file.
enum : off_t { kAccessRead = 0, kAccessWrite = 1, kDenyRead = 2, kDenyWrite = 3, kGate = 4 };

bool Lock(int fd, short type, off_t byte, bool wait) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = byte;
  fl.l_len = 1;
  while (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Whether another open holds the byte.
bool Held(int fd, off_t byte) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = byte;
  fl.l_len = 1;
  return fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
}

LONG WindowsError(int err) {
  switch (err) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE: return 4;  // ERROR_TOO_MANY_OPEN_FILES
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EINVAL: return ERROR_NEGATIVE_SEEK;
    case EEXIST: return ERROR_FILE_EXISTS;
    default: return ERROR_GEN_FAILURE;
  }
}

std::string LinuxPath(LPCSTR name) {
  if (name[0] == '/') return ToUtf8(name, ActiveCodePage());
  return MapPath(name);
}

}  // namespace
}  // namespace kvp::afx

using namespace kvp::afx;

int CFileException::OsErrorToException(LONG osError) {
  switch (osError) {
    case ERROR_SUCCESS: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILENAME_EXCED_RANGE: return badPath;
    case 4: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED: return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case ERROR_LOCK_VIOLATION: return lockViolation;
    case ERROR_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    case ERROR_NEGATIVE_SEEK: return badSeek;
    default: return genericException;
  }
}

BOOL CFileException::GetErrorMessage(LPSTR buffer, UINT size, UINT* helpContext) const {
  if (helpContext) *helpContext = 0;
  if (!buffer || size == 0) return FALSE;
  const char* name = m_strFileName.IsEmpty() ? "an unnamed file" : m_strFileName.GetString();
  const char* pattern;
  switch (m_cause) {
    case fileNotFound: pattern = "The file '%s' was not found."; break;
    case badPath: pattern = "All or part of the path '%s' is not valid."; break;
    case tooManyOpenFiles: pattern = "Too many files are open to open '%s'."; break;
    case accessDenied: pattern = "Access to '%s' was denied."; break;
    case invalidFile: pattern = "An invalid file handle was used with '%s'."; break;
    case directoryFull: pattern = "The folder is full; '%s' cannot be created."; break;
    case badSeek: pattern = "Error moving the file position of '%s'."; break;
    case hardIO: pattern = "A hardware error occurred while accessing '%s'."; break;
    case sharingViolation: pattern = "A sharing violation occurred while accessing '%s'."; break;
    case lockViolation: pattern = "A locking violation occurred while accessing '%s'."; break;
    case diskFull: pattern = "The disk is full while accessing '%s'."; break;
    case endOfFile: pattern = "An attempt was made to access '%s' past its end."; break;
    case none: pattern = "No error occurred with '%s'."; break;
    default: pattern = "An unexpected error occurred while accessing '%s'."; break;
  }
  snprintf(buffer, size, pattern, name);
  return TRUE;
}

// ------------------------------------------------------------------------------------------------

CFile::CFile(LPCSTR fileName, UINT openFlags) {
  CFileException error;
  if (!Open(fileName, openFlags, &error)) {
    throw new CFileException(error.m_cause, error.m_lOsError, error.m_strFileName);
  }
}

CFile::~CFile() {
  if (m_hFile != hFileNull) Abort();
}

BOOL CFile::Open(LPCSTR fileName, UINT openFlags, CFileException* error) {
  auto fail = [&](LONG osError) {
    if (error) {
      error->m_lOsError = osError;
      error->m_cause = CFileException::OsErrorToException(osError);
      error->m_strFileName = fileName ? fileName : "";
    }
    SetLastError(static_cast<DWORD>(osError));
    return FALSE;
  };
  if (m_hFile != hFileNull || !fileName || !fileName[0]) return fail(ERROR_INVALID_PARAMETER);
  const UINT access = openFlags & 3;
  const UINT share = openFlags & 0x70;
  const bool read = access == modeRead || access == modeReadWrite;
  const bool write = access == modeWrite || access == modeReadWrite;
  const bool denyRead = share == shareExclusive || share == shareDenyRead;
  const bool denyWrite = share == shareExclusive || share == shareDenyWrite;

  const std::string path = LinuxPath(fileName);
  int flags = O_CLOEXEC | (access == modeRead ? O_RDONLY : access == modeWrite ? O_WRONLY : O_RDWR);
  if (openFlags & modeCreate) flags |= O_CREAT;  // truncated below, once the sharing allows it
  const int fd = open(path.c_str(), flags, 0666);
  if (fd < 0) {
    const int e = errno;
    const size_t slash = path.rfind('/');
    struct stat folder;
    if (e == ENOENT && slash != std::string::npos && slash > 0 &&
        stat(path.substr(0, slash).c_str(), &folder) != 0) {
      return fail(ERROR_PATH_NOT_FOUND);
    }
    return fail(WindowsError(e));
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return fail(ERROR_ACCESS_DENIED);
  }

  char lockName[64];
  snprintf(lockName, sizeof lockName, "/share-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
           static_cast<unsigned long long>(st.st_ino));
  const int lockFd = open((kvp::RuntimeDir() + lockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd < 0) {
    close(fd);
    return fail(ERROR_ACCESS_DENIED);
  }
  Lock(lockFd, F_WRLCK, kGate, true);
  const bool conflict = (read && Held(lockFd, kDenyRead)) || (write && Held(lockFd, kDenyWrite)) ||
                        (denyRead && Held(lockFd, kAccessRead)) || (denyWrite && Held(lockFd, kAccessWrite));
  if (!conflict) {
    if (read) Lock(lockFd, F_RDLCK, kAccessRead, false);
    if (write) Lock(lockFd, F_RDLCK, kAccessWrite, false);
    if (denyRead) Lock(lockFd, F_RDLCK, kDenyRead, false);
    if (denyWrite) Lock(lockFd, F_RDLCK, kDenyWrite, false);
  }
  Lock(lockFd, F_UNLCK, kGate, false);
  if (conflict) {
    close(lockFd);
    close(fd);
    return fail(ERROR_SHARING_VIOLATION);
  }
  if ((openFlags & modeCreate) && !(openFlags & modeNoTruncate) && ftruncate(fd, 0) != 0) {
    const int e = errno;
    close(lockFd);
    close(fd);
    return fail(WindowsError(e));
  }
  m_hFile = fd;
  shareLock_ = lockFd;
  m_strFileName = fileName;
  return TRUE;
}

void CFile::ThrowErrno(int err) const {
  const LONG os = WindowsError(err);
  throw new CFileException(CFileException::OsErrorToException(os), os, m_strFileName);
}

UINT CFile::Read(void* buffer, UINT count) {
  if (m_hFile == hFileNull) throw new CFileException(CFileException::invalidFile, ERROR_INVALID_HANDLE, m_strFileName);
  if (count == 0) return 0;
  if (!buffer) throw new CFileException(CFileException::genericException, ERROR_INVALID_PARAMETER, m_strFileName);
  UINT done = 0;
  while (done < count) {
    ssize_t n = read(m_hFile, static_cast<char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowErrno(errno == EBADF ? EACCES : errno);  // EBADF: not opened for reading
    if (n == 0) break;
    done += static_cast<UINT>(n);
  }
  return done;
}

void CFile::Write(const void* buffer, UINT count) {
  if (m_hFile == hFileNull) throw new CFileException(CFileException::invalidFile, ERROR_INVALID_HANDLE, m_strFileName);
  if (count == 0) return;
  if (!buffer) throw new CFileException(CFileException::genericException, ERROR_INVALID_PARAMETER, m_strFileName);
  UINT done = 0;
  while (done < count) {
    ssize_t n = write(m_hFile, static_cast<const char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowErrno(errno == EBADF ? EACCES : errno);
    if (n == 0) ThrowErrno(ENOSPC);
    done += static_cast<UINT>(n);
  }
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
  if (m_hFile == hFileNull) throw new CFileException(CFileException::invalidFile, ERROR_INVALID_HANDLE, m_strFileName);
  const int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : from == end ? SEEK_END : -1;
  if (whence < 0) throw new CFileException(CFileException::badSeek, ERROR_INVALID_PARAMETER, m_strFileName);
  off_t at = lseek(m_hFile, static_cast<off_t>(offset), whence);
  if (at < 0) {
    throw new CFileException(CFileException::badSeek, ERROR_NEGATIVE_SEEK, m_strFileName);
  }
  return static_cast<ULONGLONG>(at);
}

ULONGLONG CFile::GetPosition() const {
  if (m_hFile == hFileNull) throw new CFileException(CFileException::invalidFile, ERROR_INVALID_HANDLE, m_strFileName);
  off_t at = lseek(m_hFile, 0, SEEK_CUR);
  if (at < 0) ThrowErrno(errno);
  return static_cast<ULONGLONG>(at);
}

ULONGLONG CFile::GetLength() const {
  if (m_hFile == hFileNull) throw new CFileException(CFileException::invalidFile, ERROR_INVALID_HANDLE, m_strFileName);
  struct stat st;
  if (fstat(m_hFile, &st) != 0) ThrowErrno(errno);
  return static_cast<ULONGLONG>(st.st_size);
}

void CFile::SetLength(ULONGLONG length) {
  if (m_hFile == hFileNull) throw new CFileException(CFileException::invalidFile, ERROR_INVALID_HANDLE, m_strFileName);
  if (ftruncate(m_hFile, static_cast<off_t>(length)) != 0) ThrowErrno(errno == EINVAL ? EACCES : errno);
}

void CFile::Flush() {
  if (m_hFile == hFileNull) return;
  if (fsync(m_hFile) != 0 && errno != EINVAL) ThrowErrno(errno);
}

void CFile::Close() {
  if (m_hFile == hFileNull) return;
  const int fd = m_hFile;
  m_hFile = hFileNull;
  if (shareLock_ >= 0) close(shareLock_);
  shareLock_ = -1;
  if (close(fd) != 0 && errno != EINTR) ThrowErrno(errno);
}

void CFile::Abort() {
  if (m_hFile == hFileNull) return;
  close(m_hFile);
  m_hFile = hFileNull;
  if (shareLock_ >= 0) close(shareLock_);
  shareLock_ = -1;
}

CString CFile::GetFileName() const {
  const std::string& path = m_strFileName.str();
  const size_t cut = path.find_last_of("\\/");
  return CString(cut == std::string::npos ? path : path.substr(cut + 1));
}
