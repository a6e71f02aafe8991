// "Shell32.dll": the shell's version query. The notification area here shows balloons, as the
// shell of major version 5 and later does.
#include <platform/device.h>

KV_EXPORT HRESULT DllGetVersion(DLLVERSIONINFO* info) {
  if (!info || info->cbSize < sizeof(DLLVERSIONINFO)) return static_cast<HRESULT>(0x80070057);  // E_INVALIDARG
  info->dwMajorVersion = 6;
  info->dwMinorVersion = 0;
  info->dwBuildNumber = 6000;
  info->dwPlatformID = DLLVER_PLATFORM_NT;
  return 0;
}
