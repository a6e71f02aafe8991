#include "PlainFile.h"

#include "files/FileErrors.h"

#include <fcntl.h>
#include <unistd.h>

namespace kvp::io {

PlainFile::~PlainFile() {
  if (fd_ >= 0) close(fd_);
}

std::shared_ptr<FileObject> PlainFile::Open(const std::string& path, DWORD access, DWORD, DWORD disposition,
                                            DWORD flags, DWORD* error) {
  int mode = 0;
  if ((access & (GENERIC_READ | GENERIC_ALL)) && (access & (GENERIC_WRITE | GENERIC_ALL))) {
    mode = O_RDWR;
  } else if (access & (GENERIC_WRITE | GENERIC_ALL)) {
    mode = O_WRONLY;
  } else {
    mode = O_RDONLY;
  }
  switch (disposition) {
    case CREATE_NEW: mode |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: mode |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: mode |= O_CREAT; break;
    case TRUNCATE_EXISTING: mode |= O_TRUNC; break;
    default: *error = ERROR_INVALID_PARAMETER; return nullptr;
  }
  const std::string linuxPath = MapPath(path);
  const int fd = ::open(linuxPath.c_str(), mode | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int e = errno;
    *error = e == ENOENT ? files::MissingFileError(linuxPath)
             : e == EEXIST ? static_cast<DWORD>(ERROR_FILE_EXISTS)
                           : files::ErrorFromErrno(e);
    return nullptr;
  }
  return std::make_shared<PlainFile>(fd, flags);
}

DWORD PlainFile::Read(void* buffer, DWORD size, OVERLAPPED* ov, DWORD* bytes) {
  const off_t offset = (static_cast<off_t>(ov->OffsetHigh) << 32) | ov->Offset;
  const ssize_t n = UseOffset(ov) ? ::pread(fd_, buffer, size, offset) : ::read(fd_, buffer, size);
  if (n < 0) {
    *bytes = 0;
    return files::ErrorFromErrno(errno);
  }
  *bytes = static_cast<DWORD>(n);
  return ERROR_SUCCESS;
}

DWORD PlainFile::Write(const void* buffer, DWORD size, OVERLAPPED* ov, DWORD* bytes) {
  const off_t offset = (static_cast<off_t>(ov->OffsetHigh) << 32) | ov->Offset;
  const ssize_t n = UseOffset(ov) ? ::pwrite(fd_, buffer, size, offset) : ::write(fd_, buffer, size);
  if (n < 0) {
    *bytes = 0;
    return files::ErrorFromErrno(errno);
  }
  *bytes = static_cast<DWORD>(n);
  return ERROR_SUCCESS;
}

DWORD PlainFile::Flush() { return ::fsync(fd_) == 0 ? ERROR_SUCCESS : files::ErrorFromErrno(errno); }

}  // namespace kvp::io
