// Whole-file reads and the replacing write (temporary file beside the target, then a rename).
#include <platform/afxfile.h>
#include <platform/files.h>
#include <platform/wholefile.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <new>
#include <string>

namespace kvp {

namespace {

constexpr size_t kChunk = 1 << 20;  // CFile moves at most a UINT per call

std::atomic<long long> g_failWritesAfter{-1};

FileResult Failed(FileResult::Step step, LONG osError) {
  FileResult result;
  result.failed = step;
  result.osError = osError != 0 ? osError : ERROR_GEN_FAILURE;
  return result;
}

// Takes the error out of a caught CFileException and deletes it.
LONG Consume(CFileException* e) {
  const LONG osError = e->m_lOsError;
  e->Delete();
  return osError;
}

}  // namespace

FileResult ReadWholeFile(const char* path, size_t maxBytes, std::vector<uint8_t>& out) {
  out.clear();
  CFile file;
  CFileException error;
  if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary, &error))
    return Failed(FileResult::Step::kOpen, error.m_lOsError);
  try {
    const ULONGLONG length = file.GetLength();
    out.resize(static_cast<size_t>(std::min<ULONGLONG>(length, maxBytes)));
    size_t got = 0;
    while (got < out.size()) {
      const UINT part = file.Read(out.data() + got, static_cast<UINT>(std::min(out.size() - got, kChunk)));
      if (part == 0) break;
      got += part;
    }
    out.resize(got);
    file.Close();
  } catch (CFileException* e) {
    file.Abort();
    out.clear();
    return Failed(FileResult::Step::kRead, Consume(e));
  } catch (const std::bad_alloc&) {
    file.Abort();
    out.clear();
    return Failed(FileResult::Step::kRead, ERROR_NOT_ENOUGH_MEMORY);
  }
  return {};
}

FileResult ReplaceFile(const char* path, const void* data, size_t size) {
  if (!path || !path[0] || (!data && size > 0)) return Failed(FileResult::Step::kOpen, ERROR_INVALID_PARAMETER);
  const std::string target = MapPath(path);
  // An existing target is held open for writing, every other open denied, until it is replaced:
  // what could not be written in place is refused here, and nobody opens it meanwhile.
  CFile held;
  CFileException error;
  struct stat targetStat {};
  const bool exists = stat(target.c_str(), &targetStat) == 0;
  if (exists && !held.Open(path, CFile::modeWrite | CFile::shareExclusive | CFile::typeBinary, &error))
    return Failed(FileResult::Step::kOpen, error.m_lOsError);

  const std::string tempName = std::string(path) + ".part";
  const std::string temp = MapPath(tempName);
  CFile file;
  if (!file.Open(tempName.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::typeBinary,
                 &error))
    return Failed(FileResult::Step::kOpen, error.m_lOsError);
  auto dropTemp = [&](LONG osError) {
    file.Abort();
    std::remove(temp.c_str());
    return Failed(FileResult::Step::kWrite, osError);
  };
  try {
    const auto* bytes = static_cast<const uint8_t*>(data);
    const long long failAfter = g_failWritesAfter.load();
    long long written = 0;
    for (size_t at = 0; at < size;) {
      const size_t part = std::min(kChunk, size - at);
      if (failAfter >= 0 && written + static_cast<long long>(part) > failAfter)
        throw new CFileException(CFileException::diskFull, ERROR_DISK_FULL);
      file.Write(bytes + at, static_cast<UINT>(part));
      at += part;
      written += static_cast<long long>(part);
    }
    // The new contents reach the disk before the name points at them.
    file.Flush();
    file.Close();
  } catch (CFileException* e) {
    return dropTemp(Consume(e));
  }
  // The replacement keeps the permission bits the old file had.
  if (exists) chmod(temp.c_str(), targetStat.st_mode & 07777);
  if (std::rename(temp.c_str(), target.c_str()) != 0) {
    const int e = errno;
    std::remove(temp.c_str());
    return Failed(FileResult::Step::kWrite, e == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED);
  }
  held.Abort();
  return {};
}

namespace testing {
void FailReplaceFileWritesAfter(long long bytes) { g_failWritesAfter.store(bytes); }
}  // namespace testing

}  // namespace kvp
