// Ordinary files behind CreateFile: every request completes at once.
#pragma once

#include "FileObject.h"

#include <string>

namespace kvp::io {

class PlainFile : public FileObject {
 public:
  PlainFile(int fd, DWORD flags) : FileObject(flags), fd_(fd) {}
  ~PlainFile() override;

  DWORD Read(void* buffer, DWORD size, OVERLAPPED* ov, DWORD* bytes) override;
  DWORD Write(const void* buffer, DWORD size, OVERLAPPED* ov, DWORD* bytes) override;
  DWORD Flush() override;

  static std::shared_ptr<FileObject> Open(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                                          DWORD flags, DWORD* error);

 private:
  // Overlapped handles address the file through the OVERLAPPED offset, others through the
  // file position.
  bool UseOffset(const OVERLAPPED* ov) const { return Overlapped(); }

  int fd_;
};

}  // namespace kvp::io
