// Basic vocabulary of the system: integer types, handles, result codes.
//
// Handles (events, threads, files, modules, registry keys, windows, GDI objects) are opaque 32-bit
// values looked up in a table, never pointers: a call on a closed or destroyed handle fails
// cleanly, and a handle fits the 4-byte fields the system passes around.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(KV_PLATFORM_BUILD)
#define PLATFORM_API __attribute__((visibility("default")))
#else
#define PLATFORM_API __attribute__((visibility("default")))
#endif
// Marks the entry points a module of ours exports by name (GetProcAddress finds them).
#define KV_EXPORT extern "C" __attribute__((visibility("default")))
// Marks an exported class or object (the trace class and its instance).
#define KV_EXPORT_CLASS __attribute__((visibility("default")))

#define WINAPI
#define CALLBACK
#define APIENTRY
#define IN
#define OUT
#define OPTIONAL

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef int INT;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef char CHAR;
typedef unsigned char UCHAR;
typedef uint64_t ULONGLONG;
typedef int64_t LONGLONG;
// 64-bit values as the system's records carry them: halves or the whole.
union LARGE_INTEGER {
  struct {
    uint32_t LowPart;
    int32_t HighPart;
  };
  struct {
    uint32_t LowPart;
    int32_t HighPart;
  } u;
  LONGLONG QuadPart;
};
union ULARGE_INTEGER {
  struct {
    uint32_t LowPart;
    uint32_t HighPart;
  };
  struct {
    uint32_t LowPart;
    uint32_t HighPart;
  } u;
  ULONGLONG QuadPart;
};
typedef size_t SIZE_T;
typedef uintptr_t ULONG_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef void VOID;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef char* PSTR;
typedef const char* PCSTR;
typedef BYTE* LPBYTE;
typedef const BYTE* LPCBYTE;
typedef DWORD* LPDWORD;
typedef DWORD* PDWORD;
typedef LONG* PLONG;
typedef BOOL* LPBOOL;
typedef DWORD COLORREF;
typedef LONG HRESULT;

// Handles: 32-bit table indices. 0 is "no handle".
typedef uint32_t HANDLE;
typedef HANDLE* LPHANDLE;
typedef uint32_t HMODULE;
typedef uint32_t HINSTANCE;
typedef uint32_t HKEY;
typedef HKEY* PHKEY;
typedef uint32_t HWND;

#define INVALID_HANDLE_VALUE ((HANDLE)0xFFFFFFFFu)

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef NULL
#define NULL 0
#endif
#define MAX_PATH 260
#define INFINITE 0xFFFFFFFFu

#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define HIBYTE(w) ((BYTE)((((DWORD_PTR)(w)) >> 8) & 0xff))
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKEWORD(a, b) ((WORD)(((BYTE)(((DWORD_PTR)(a)) & 0xff)) | ((WORD)((BYTE)(((DWORD_PTR)(b)) & 0xff))) << 8))
#define MAKELONG(a, b) ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

// Result codes the system checks.
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_BAD_FORMAT 11L
#define ERROR_INVALID_DATA 13L
#define ERROR_GEN_FAILURE 31L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_NOT_OWNER 288L
#define ERROR_OPERATION_ABORTED 995L
#define ERROR_IO_PENDING 997L
#define ERROR_BADDB 1009L
#define ERROR_BADKEY 1010L
#define ERROR_CANTOPEN 1011L
#define ERROR_CANTREAD 1012L
#define ERROR_CANTWRITE 1013L
#define ERROR_KEY_DELETED 1018L
#define ERROR_DEVICE_NOT_CONNECTED 1167L
#define ERROR_TIMEOUT 1460L

extern "C" {
PLATFORM_API DWORD GetLastError(void);
PLATFORM_API void SetLastError(DWORD code);
PLATFORM_API BOOL CloseHandle(HANDLE h);
}
