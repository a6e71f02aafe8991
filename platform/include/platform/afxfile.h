// The class library's files (CFile, CFileException), the system's error texts (FormatMessage),
// the local time (SYSTEMTIME, GetLocalTime) and CTime.
//
// CFile share modes hold against every other CFile on the same file, in this process and in
// others: shareExclusive denies both reading and writing to later opens, shareDenyWrite denies
// writing, shareDenyRead reading; an open whose access an earlier open denies, or that would deny
// an access an earlier open has, fails with a sharing violation. Failures: Open returns FALSE and
// fills the CFileException it is given; the constructor with a name, Read, Write, Seek, SetLength
// and Flush throw a CFileException* (the catcher calls Delete()).
#pragma once

#include <platform/afx.h>
#include <platform/types.h>

#include <ctime>
#include <string>

// ------------------------------------------------------------------------------------------------
// System error texts.
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_STRING 0x00000400u
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FFu
#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define ERROR_HANDLE_EOF 38L
#define ERROR_LOCK_VIOLATION 33L
#define ERROR_NEGATIVE_SEEK 131L
#define ERROR_MR_MID_NOT_FOUND 317L

typedef void* HLOCAL;

extern "C" {
// FORMAT_MESSAGE_FROM_SYSTEM: the system's English text of an error code, ending in "\r\n" as the
// system writes it. With FORMAT_MESSAGE_ALLOCATE_BUFFER, `buffer` is an LPSTR* that receives a
// block to free with LocalFree. Returns the length, 0 (ERROR_MR_MID_NOT_FOUND) for an unknown code.
PLATFORM_API DWORD FormatMessage(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer,
                                 DWORD size, va_list* arguments);
PLATFORM_API HLOCAL LocalFree(HLOCAL mem);
}

// ------------------------------------------------------------------------------------------------
// Local time.
typedef struct _SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;  // 0 = Sunday
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;

extern "C" {
PLATFORM_API void GetLocalTime(LPSYSTEMTIME time);
PLATFORM_API void GetSystemTime(LPSYSTEMTIME time);  // UTC
}

// A point in time (seconds since 1970, UTC), shown in local time.
class PLATFORM_API CTime {
 public:
  CTime() = default;
  CTime(time_t t) : m_time(t) {}
  // Local time; `dst` -1 lets the system decide.
  CTime(int year, int month, int day, int hour, int minute, int second, int dst = -1);
  CTime(const SYSTEMTIME& st, int dst = -1);

  static CTime GetCurrentTime();
  time_t GetTime() const { return m_time; }
  int GetYear() const;
  int GetMonth() const;
  int GetDay() const;
  int GetHour() const;
  int GetMinute() const;
  int GetSecond() const;
  int GetDayOfWeek() const;  // 1 = Sunday
  BOOL GetAsSystemTime(SYSTEMTIME& st) const;

  // strftime-style format; '#' after '%' drops leading zeros of a number ("%#d" -> "5"). The
  // result is in the active code page.
  CString Format(LPCSTR format) const;

  bool operator==(const CTime& o) const { return m_time == o.m_time; }
  bool operator!=(const CTime& o) const { return m_time != o.m_time; }
  bool operator<(const CTime& o) const { return m_time < o.m_time; }
  bool operator>(const CTime& o) const { return m_time > o.m_time; }

 private:
  struct tm Local() const;
  time_t m_time = 0;
};

// ------------------------------------------------------------------------------------------------
// Files.
class PLATFORM_API CFileException {
 public:
  enum {
    none = 0,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile,
  };
  CFileException(int cause = none, LONG osError = -1, LPCSTR fileName = nullptr)
      : m_cause(cause), m_lOsError(osError), m_strFileName(fileName) {}
  virtual ~CFileException() = default;

  int m_cause;
  LONG m_lOsError;  // the Windows error code
  CString m_strFileName;

  // The message for the user, e.g. "The file 'C:\x.dat' was not found."
  virtual BOOL GetErrorMessage(LPSTR buffer, UINT size, UINT* helpContext = nullptr) const;
  // Frees an exception caught as a pointer.
  void Delete() { delete this; }
  static int OsErrorToException(LONG osError);
};

class PLATFORM_API CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };
  enum SeekPosition { begin = 0, current = 1, end = 2 };
  static constexpr int hFileNull = -1;

  CFile() = default;
  // Opens or throws a CFileException*.
  CFile(LPCSTR fileName, UINT openFlags);
  virtual ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // The name is a Windows path (mapped) or a Linux path.
  virtual BOOL Open(LPCSTR fileName, UINT openFlags, CFileException* error = nullptr);
  // The number of bytes read: fewer than asked at the end of the file.
  virtual UINT Read(void* buffer, UINT count);
  virtual void Write(const void* buffer, UINT count);
  // Returns the new position. Positions past the end are allowed; writing there fills the gap
  // with zeros.
  virtual ULONGLONG Seek(LONGLONG offset, UINT from);
  void SeekToBegin() { Seek(0, begin); }
  ULONGLONG SeekToEnd() { return Seek(0, end); }
  virtual ULONGLONG GetLength() const;
  virtual void SetLength(ULONGLONG length);
  virtual ULONGLONG GetPosition() const;
  virtual void Flush();
  virtual void Close();  // throws on a failure to close
  virtual void Abort();  // closes, never throws
  CString GetFilePath() const { return m_strFileName; }
  CString GetFileName() const;

  int m_hFile = hFileNull;  // the descriptor while open

 private:
  void ThrowErrno(int err) const;
  CString m_strFileName;
  int shareLock_ = -1;  // descriptor holding this open's share locks
};
