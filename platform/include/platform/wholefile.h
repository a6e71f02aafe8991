// Whole-file reads and writes for every module that loads or saves a file of its own (scope
// settings and signal files, record files): one reader with a size bound, and one writer that
// never leaves a half-written file behind.
//
// ReplaceFile writes the new contents into a temporary file beside the target ("<name>.part" in
// the same folder, so the rename stays on one file system), flushes it and renames it over the
// target. A failed open, write or rename removes the temporary file and leaves the old file as it
// was. An existing target is opened for writing with every other open denied for the time of the
// save, so a target that could not be written in place (read only, a folder, held by another open
// that denies writers) fails the same way as before, with the system's error.
//
// Paths are the system's Windows-style paths (see files.h).
#pragma once

#include <platform/types.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvp {

// What a whole-file read or write ended with. `osError` is the system's error code (ERROR_...)
// of the step that failed; 0 when it succeeded.
struct FileResult {
  enum class Step { kNone, kOpen, kRead, kWrite };
  Step failed = Step::kNone;
  LONG osError = 0;

  bool Ok() const { return failed == Step::kNone; }
};

// Reads the file into `out`, at most `maxBytes` bytes (a longer file is cut there), with writers
// denied while it reads. `out` holds the bytes read; it is empty after a failed open.
PLATFORM_API FileResult ReadWholeFile(const char* path, size_t maxBytes, std::vector<uint8_t>& out);

// Replaces the file's contents with `size` bytes at `data`, or leaves the old file intact.
PLATFORM_API FileResult ReplaceFile(const char* path, const void* data, size_t size);

namespace testing {
// Makes ReplaceFile's writes fail with ERROR_DISK_FULL once more than `bytes` bytes would have
// been written; -1 turns it off. For the tests of the savers.
PLATFORM_API void FailReplaceFileWritesAfter(long long bytes);
}  // namespace testing

}  // namespace kvp
