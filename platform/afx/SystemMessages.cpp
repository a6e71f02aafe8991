// FormatMessage with the system's English texts of the error codes the platform gives out.
#include <platform/afxfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Text {
  DWORD code;
  const char* text;
};

constexpr Text kTexts[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {11, "An attempt was made to load a program with an incorrect format."},
    {13, "The data is invalid."},
    {31, "A device attached to the system is not functioning."},
    {32, "The process cannot access the file because it is being used by another process."},
    {33, "The process cannot access the file because another process has locked a portion of the file."},
    {38, "Reached the end of the file."},
    {50, "The request is not supported."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {122, "The data area passed to a system call is too small."},
    {126, "The specified module could not be found."},
    {127, "The specified procedure could not be found."},
    {131, "An attempt was made to move the file pointer before the beginning of the file."},
    {145, "The directory is not empty."},
    {183, "Cannot create a file when that file already exists."},
    {206, "The filename or extension is too long."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {267, "The directory name is invalid."},
    {995, "The I/O operation has been aborted because of either a thread exit or an application request."},
    {996, "Overlapped I/O event is not in a signaled state."},
    {997, "Overlapped I/O operation is in progress."},
    {1167, "The device is not connected."},
    {1168, "Element not found."},
    {1400, "Invalid window handle."},
    {1460, "This operation returned because the timeout period expired."},
};

}  // namespace

extern "C" {

DWORD FormatMessage(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size, va_list*) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const char* found = nullptr;
  for (const Text& t : kTexts) {
    if (t.code == messageId) found = t.text;
  }
  if (!found) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  std::string text = found;
  if ((flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) == 0) text += "\r\n";
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    char* block = static_cast<char*>(malloc(std::max<size_t>(text.size() + 1, size)));
    if (!block) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    memcpy(block, text.c_str(), text.size() + 1);
    *reinterpret_cast<LPSTR*>(buffer) = block;
    return static_cast<DWORD>(text.size());
  }
  if (text.size() + 1 > size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

HLOCAL LocalFree(HLOCAL mem) {
  free(mem);
  return nullptr;
}

}  // extern "C"
