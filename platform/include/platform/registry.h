// The registry: a machine store (HKEY_LOCAL_MACHINE) and a user store (HKEY_CURRENT_USER), kept in
// SQLite databases shared safely between processes and safe against a crash mid-write. Key and value
// names compare without regard to case ("Software\KELO\Kv310" and "SOFTWARE\KELO\KV310" are one key).
// Results are the Windows codes (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA, ...).
//
// Store locations: $KV_REGISTRY_MACHINE and $KV_REGISTRY_USER when set, else
// $XDG_DATA_HOME/kv310/registry/machine.db and $XDG_CONFIG_HOME/kv310/registry/user.db
// (XDG defaults ~/.local/share and ~/.config).
#pragma once

#include <platform/types.h>

#define HKEY_CLASSES_ROOT ((HKEY)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)0x80000002u)
#define HKEY_USERS ((HKEY)0x80000003u)
#define HKEY_CURRENT_CONFIG ((HKEY)0x80000005u)

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u

#define REG_OPTION_NON_VOLATILE 0u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_ALL_ACCESS 0xF003Fu

typedef DWORD REGSAM;

extern "C" {
PLATFORM_API LONG RegOpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM sam, PHKEY result);
PLATFORM_API LONG RegOpenKey(HKEY key, LPCSTR subKey, PHKEY result);
PLATFORM_API LONG RegCreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR cls, DWORD options, REGSAM sam,
                                 LPSECURITY_ATTRIBUTES sa, PHKEY result, LPDWORD disposition);
PLATFORM_API LONG RegCreateKey(HKEY key, LPCSTR subKey, PHKEY result);
PLATFORM_API LONG RegCloseKey(HKEY key);
// data may be null to ask the size; a too small buffer gives ERROR_MORE_DATA and the needed size.
// REG_SZ data is returned with its terminating NUL counted.
PLATFORM_API LONG RegQueryValueEx(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                  LPDWORD size);
PLATFORM_API LONG RegSetValueEx(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                                DWORD size);
PLATFORM_API LONG RegDeleteValue(HKEY key, LPCSTR valueName);
PLATFORM_API LONG RegDeleteKey(HKEY key, LPCSTR subKey);  // only a key without subkeys
PLATFORM_API LONG RegEnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR cls,
                               LPDWORD clsSize, void* lastWrite);
PLATFORM_API LONG RegEnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                               LPDWORD type, LPBYTE data, LPDWORD dataSize);
}
