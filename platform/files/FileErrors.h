// Helpers of the file functions: errno values as the Windows codes the system checks, and names
// for temporary files.
#pragma once

#include <platform/files.h>

#include <cerrno>
#include <string>

namespace kvp::files {

inline DWORD ErrorFromErrno(int e) {
  switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC: return ERROR_DISK_FULL;
    case EBUSY: return ERROR_SHARING_VIOLATION;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    default: return ERROR_GEN_FAILURE;
  }
}

// A missing file whose folder is missing too is "path not found", as on Windows.
DWORD MissingFileError(const std::string& linuxPath);

// A name beside `path` for a temporary file that then replaces it; unique within the machine
// (process id and a counter), so concurrent writers never share one.
std::string TempNameBeside(const std::string& path);

inline BOOL FailWith(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace kvp::files
