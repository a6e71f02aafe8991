// Modules: "NAME.dll" maps to NAME.so, the caller's folder searched first, explicit paths allowed.
// The caller is known by LoadLibrary's return address: a call in tail position
// ("return LoadLibrary(name);") is taken for a call from the caller's caller.
// FreeLibrary of the last reference really unloads.
// A module may export DllMain (BOOL DllMain(HINSTANCE module, DWORD reason, LPVOID)): it is called
// with DLL_THREAD_ATTACH on every thread the platform starts (CreateThread), before the thread's
// start routine, and with DLL_THREAD_DETACH as such a thread ends, before its handle is signalled,
// for the modules loaded at that moment. Process attach and detach are the module's static
// construction and destruction; DllMain is not called for them. Every module of ours carries a version block
// (file and product version, "LegalCopyright", "ProductName", language block "040904b0") that is
// read from the file by name without loading it.
#pragma once

#include <platform/types.h>

typedef int (*FARPROC)();

// A file without a version block.
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L

// The reasons DllMain is called with.
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define VS_FFI_SIGNATURE 0xFEEF04BDu
#define VS_FFI_STRUCVERSION 0x00010000u
#define VFT_APP 0x00000001u
#define VFT_DLL 0x00000002u

struct VS_FIXEDFILEINFO {
  DWORD dwSignature;  // 0xFEEF04BD
  DWORD dwStrucVersion;
  DWORD dwFileVersionMS;
  DWORD dwFileVersionLS;
  DWORD dwProductVersionMS;
  DWORD dwProductVersionLS;
  DWORD dwFileFlagsMask;
  DWORD dwFileFlags;
  DWORD dwFileOS;
  DWORD dwFileType;
  DWORD dwFileSubtype;
  DWORD dwFileDateMS;
  DWORD dwFileDateLS;
};

extern "C" {
PLATFORM_API HMODULE LoadLibrary(LPCSTR name);
PLATFORM_API BOOL FreeLibrary(HMODULE module);
PLATFORM_API FARPROC GetProcAddress(HMODULE module, LPCSTR name);
// module 0 = the running program. Returns the length copied (Linux path of the .so / executable).
PLATFORM_API DWORD GetModuleFileName(HMODULE module, LPSTR buffer, DWORD size);
PLATFORM_API HMODULE GetModuleHandle(LPCSTR name);

// Version block, read from the file. Sub-blocks: "\\" (VS_FIXEDFILEINFO),
// "\\StringFileInfo\\040904b0\\ProductVersion" and the other string values,
// "\\VarFileInfo\\Translation".
PLATFORM_API DWORD GetFileVersionInfoSize(LPCSTR fileName, LPDWORD handle);
PLATFORM_API BOOL GetFileVersionInfo(LPCSTR fileName, DWORD handle, DWORD size, LPVOID data);
PLATFORM_API BOOL VerQueryValue(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length);
}

namespace kvp {
// Whether a loaded module's code is still mapped (tests check that unloading really unloads).
PLATFORM_API bool ModuleIsMappedAt(const char* linuxPath);
}  // namespace kvp
