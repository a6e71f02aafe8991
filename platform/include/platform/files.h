// Files, folders and INI files with the semantics the system relies on.
//
// Windows-style paths stay in the system's code; MapPath turns them into Linux paths:
// "C:\dir\file" -> the mapped drive root (KV_DRIVE_C, default "/"), backslashes become slashes,
// "\NORVIK\..." relative to the drive root, plain relative paths stay relative. Names are
// converted from the system's code page to UTF-8 on the way.
#pragma once

#include <platform/types.h>

#include <string>

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

#define ERROR_DISK_FULL 112L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_DIRECTORY_INVALID 267L

#define CSIDL_APPDATA 0x001a
#define CSIDL_LOCAL_APPDATA 0x001c
#define CSIDL_PERSONAL 0x0005

extern "C" {
PLATFORM_API BOOL CopyFile(LPCSTR existing, LPCSTR newFile, BOOL failIfExists);
PLATFORM_API BOOL DeleteFile(LPCSTR path);
PLATFORM_API BOOL CreateDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES sa);
PLATFORM_API BOOL RemoveDirectory(LPCSTR path);
PLATFORM_API DWORD GetFileAttributes(LPCSTR path);
PLATFORM_API BOOL SetFileAttributes(LPCSTR path, DWORD attributes);
PLATFORM_API DWORD GetCurrentDirectory(DWORD size, LPSTR buffer);
PLATFORM_API BOOL SetCurrentDirectory(LPCSTR path);
// The application-data folder ($XDG_DATA_HOME, default ~/.local/share) for CSIDL_APPDATA and
// CSIDL_LOCAL_APPDATA, the home folder for CSIDL_PERSONAL; the path is at most MAX_PATH bytes.
PLATFORM_API BOOL SHGetSpecialFolderPath(HWND owner, LPSTR path, int csidl, BOOL create);
// The same folders; S_OK (0) or E_FAIL. CSIDL_FLAG_CREATE in csidl creates the folder.
#define CSIDL_FLAG_CREATE 0x8000
#ifndef S_OK
#define S_OK ((HRESULT)0)
#endif
#ifndef E_FAIL
#define E_FAIL ((HRESULT)0x80004005u)
#endif
PLATFORM_API HRESULT SHGetFolderPath(HWND owner, int csidl, HANDLE token, DWORD flags, LPSTR path);

// INI files with the Windows semantics: sections and keys without regard to case, values trimmed,
// the result cut to size-1 characters (return = characters copied). With a null section the buffer
// receives the section names, each NUL-terminated, the list ended by a second NUL; when they do not
// fit the list is cut and the return is size-2.
PLATFORM_API DWORD GetPrivateProfileString(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                                           LPCSTR fileName);
PLATFORM_API DWORD GetPrivateProfileSectionNames(LPSTR buffer, DWORD size, LPCSTR fileName);
PLATFORM_API UINT GetPrivateProfileInt(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName);
PLATFORM_API BOOL WritePrivateProfileString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);
}

namespace kvp {
// Windows-style path (system code page) -> Linux path (UTF-8).
PLATFORM_API std::string MapPath(const std::string& windowsPath);
// The per-user runtime folder ($XDG_RUNTIME_DIR, else /tmp/kv310-<uid>), created with mode 0700.
PLATFORM_API std::string RuntimeDir();
}  // namespace kvp
