// File I/O through handles: CreateFile, ReadFile, WriteFile, DeviceIoControl and overlapped I/O.
//
// CreateFile dispatches by path. Paths that begin with a namespace prefix registered inside the
// platform ("\\.\COM" for serial ports, "\\?\" for driver devices; see platform/io/FileObject.h)
// are opened by that namespace; every other path is a plain file, mapped with kvp::MapPath. The result is a handle in the platform's handle
// table, so CloseHandle closes it (and aborts any I/O still outstanding on it).
//
// Overlapped I/O: on a handle opened with FILE_FLAG_OVERLAPPED, ReadFile/WriteFile/DeviceIoControl
// reset ov->hEvent, start the request and return TRUE when it completed at once, else FALSE with
// ERROR_IO_PENDING; the event is set when the request completes, and GetOverlappedResult gives its
// byte count and result. One read and one write may be outstanding on a handle at the same time.
// On a handle opened without the flag every call waits for its completion.
//
// OVERLAPPED.Internal holds the request's Win32 result (ERROR_IO_PENDING while it is in flight),
// InternalHigh the bytes transferred.
#pragma once

#include <platform/types.h>


#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u

#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

#define FILE_FLAG_WRITE_THROUGH 0x80000000u
#define FILE_FLAG_OVERLAPPED 0x40000000u
#define FILE_FLAG_NO_BUFFERING 0x20000000u

#define ERROR_INVALID_FUNCTION 1L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_IO_INCOMPLETE 996L
#define ERROR_NOT_FOUND 1168L

// Control codes for DeviceIoControl.
#define METHOD_BUFFERED 0u
#define METHOD_IN_DIRECT 1u
#define METHOD_OUT_DIRECT 2u
#define METHOD_NEITHER 3u
#define FILE_ANY_ACCESS 0u
#define FILE_READ_ACCESS 1u
#define FILE_WRITE_ACCESS 2u
#define FILE_DEVICE_UNKNOWN 0x00000022u
#define CTL_CODE(deviceType, function, method, access) \
  (((DWORD)(deviceType) << 16) | ((DWORD)(access) << 14) | ((DWORD)(function) << 2) | (DWORD)(method))

struct OVERLAPPED {
  ULONG_PTR Internal;      // result of the request; ERROR_IO_PENDING while in flight
  ULONG_PTR InternalHigh;  // bytes transferred
  union {
    struct {
      DWORD Offset;
      DWORD OffsetHigh;
    };
    PVOID Pointer;
  };
  HANDLE hEvent;  // manual- or auto-reset event set on completion (may be 0)
};
typedef OVERLAPPED* LPOVERLAPPED;

#define HasOverlappedIoCompleted(ov) (__atomic_load_n(&(ov)->Internal, __ATOMIC_ACQUIRE) != (ULONG_PTR)ERROR_IO_PENDING)

extern "C" {
PLATFORM_API HANDLE CreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                               DWORD flags, HANDLE templateFile);
PLATFORM_API BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED ov);
PLATFORM_API BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED ov);
PLATFORM_API BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED ov, LPDWORD transferred, BOOL wait);
// Cancels the requests outstanding on the handle (CancelIoEx: only `ov` when it is given). The
// requests complete with ERROR_OPERATION_ABORTED; their events are set.
PLATFORM_API BOOL CancelIo(HANDLE file);
PLATFORM_API BOOL CancelIoEx(HANDLE file, LPOVERLAPPED ov);
PLATFORM_API BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                  LPDWORD returned, LPOVERLAPPED ov);
PLATFORM_API BOOL FlushFileBuffers(HANDLE file);
}
