// Device services: device-interface enumeration (SetupDi*), driver devices opened by their
// interface path ("\\?\usb#vid_2f91&pid_0006#<instance>#{...}") and used with CreateFile,
// ReadFile, WriteFile, DeviceIoControl, FlushFileBuffers and CloseHandle (platform/fileio.h), device
// arrival and removal notices to registered windows, and the taskbar notification area.
//
// Every call on a device becomes one request packet to the driver hosted by the kernel host
// (platform/kernel/KernelHost.h). Its final status becomes the Win32 result: a success status gives
// TRUE and the driver's byte count; a warning status gives FALSE, yet the byte count is still the
// driver's; an error status gives FALSE and 0 bytes. The last error is the status itself when it
// carries the customer bit (0xA0000102 stays 0xA0000102), else a Win32 code from a small table.
#pragma once

#include <platform/fileio.h>
#include <platform/guid.h>
#include <platform/types.h>

#include <functional>
#include <string>
#include <vector>

typedef uint32_t HICON;

// ------------------------------------------------------------------------------------------------
// Enumeration

typedef HANDLE HDEVINFO;

#define DIGCF_DEFAULT 0x00000001u
#define DIGCF_PRESENT 0x00000002u
#define DIGCF_ALLCLASSES 0x00000004u
#define DIGCF_DEVICEINTERFACE 0x00000010u
#define SPINT_ACTIVE 0x00000001u
#define ERROR_INVALID_USER_BUFFER 1784L

struct SP_DEVINFO_DATA {
  DWORD cbSize;
  GUID ClassGuid;
  DWORD DevInst;
  ULONG_PTR Reserved;
};
typedef SP_DEVINFO_DATA* PSP_DEVINFO_DATA;

struct SP_DEVICE_INTERFACE_DATA {
  DWORD cbSize;
  GUID InterfaceClassGuid;
  DWORD Flags;
  ULONG_PTR Reserved;
};
typedef SP_DEVICE_INTERFACE_DATA* PSP_DEVICE_INTERFACE_DATA;

// Variable length: DevicePath holds the NUL-terminated path. cbSize is the size of the fixed part.
struct SP_DEVICE_INTERFACE_DETAIL_DATA {
  DWORD cbSize;
  CHAR DevicePath[1];
};
typedef SP_DEVICE_INTERFACE_DETAIL_DATA* PSP_DEVICE_INTERFACE_DETAIL_DATA;

// {A5DCBF10-6530-11D2-901F-00C04FB951ED}
inline constexpr GUID GUID_DEVINTERFACE_USB_DEVICE = {0xA5DCBF10, 0x6530, 0x11D2,
                                                      {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

extern "C" {
// A snapshot of the enabled interfaces of a class (DIGCF_DEVICEINTERFACE is required);
// INVALID_HANDLE_VALUE on failure.
PLATFORM_API HDEVINFO SetupDiGetClassDevs(const GUID* interfaceClass, LPCSTR enumerator, HWND parent, DWORD flags);
// The interface at `index`; FALSE with ERROR_NO_MORE_ITEMS after the last.
PLATFORM_API BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* interfaceClass,
                                              DWORD index, PSP_DEVICE_INTERFACE_DATA data);
// The two-call pattern: without a buffer large enough, FALSE with ERROR_INSUFFICIENT_BUFFER and the
// required size.
PLATFORM_API BOOL SetupDiGetDeviceInterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                                  PSP_DEVICE_INTERFACE_DETAIL_DATA detail, DWORD size,
                                                  LPDWORD required, PSP_DEVINFO_DATA device);
PLATFORM_API BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);
}

// ------------------------------------------------------------------------------------------------
// Device-change notices

#ifndef WM_DEVICECHANGE
#define WM_DEVICECHANGE 0x0219
#endif
#define DBT_DEVNODES_CHANGED 0x0007
#define DBT_DEVICEARRIVAL 0x8000
#define DBT_DEVICEREMOVECOMPLETE 0x8004
#define DBT_DEVTYP_DEVICEINTERFACE 0x00000005
#define DEVICE_NOTIFY_WINDOW_HANDLE 0x00000000

typedef HANDLE HDEVNOTIFY;

struct DEV_BROADCAST_HDR {
  DWORD dbch_size;
  DWORD dbch_devicetype;
  DWORD dbch_reserved;
};

struct DEV_BROADCAST_DEVICEINTERFACE {
  DWORD dbcc_size;
  DWORD dbcc_devicetype;
  DWORD dbcc_reserved;
  GUID dbcc_classguid;
  char dbcc_name[1];  // the device path, NUL-terminated
};

extern "C" {
// Interface arrival and removal notices of the filter's class go to the window as WM_DEVICECHANGE
// (sent; lParam points to a DEV_BROADCAST_DEVICEINTERFACE valid during the call). Every top-level
// window receives DBT_DEVNODES_CHANGED after a change. Both are sent after the drivers have
// handled the change.
PLATFORM_API HDEVNOTIFY RegisterDeviceNotification(HANDLE recipient, LPVOID filter, DWORD flags);
PLATFORM_API BOOL UnregisterDeviceNotification(HDEVNOTIFY notification);
}

// ------------------------------------------------------------------------------------------------
// Shell: version query and the taskbar notification area

struct DLLVERSIONINFO {
  DWORD cbSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformID;
};
extern "C" {
typedef HRESULT (*DLLGETVERSIONPROC)(DLLVERSIONINFO* info);
}
#define DLLVER_PLATFORM_WINDOWS 0x00000001
#define DLLVER_PLATFORM_NT 0x00000002

#define NIM_ADD 0x00000000
#define NIM_MODIFY 0x00000001
#define NIM_DELETE 0x00000002
#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004
#define NIF_INFO 0x00000010
#define NIIF_NONE 0x00000000
#define NIIF_INFO 0x00000001
#define NIIF_WARNING 0x00000002
#define NIIF_ERROR 0x00000003

// The shell's icon record (488 bytes with 32-bit handles).
struct NOTIFYICONDATA {
  DWORD cbSize;
  HWND hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  HICON hIcon;
  CHAR szTip[128];
  DWORD dwState;
  DWORD dwStateMask;
  CHAR szInfo[256];
  union {
    UINT uTimeout;
    UINT uVersion;
  };
  CHAR szInfoTitle[64];
  DWORD dwInfoFlags;
};
static_assert(sizeof(NOTIFYICONDATA) == 488);
typedef NOTIFYICONDATA* PNOTIFYICONDATA;

extern "C" {
// Adds, modifies or deletes an icon. A balloon (NIF_INFO with a text) becomes a desktop
// notification where a session bus and libnotify exist; calls are recorded while a test asks. The
// notification is shown by the platform's own notifier thread: the call never waits for the
// desktop.
PLATFORM_API BOOL Shell_NotifyIcon(DWORD message, PNOTIFYICONDATA data);
}

namespace kvp {

// What the notification area was asked to do, in order.
struct TrayRecord {
  DWORD message;  // NIM_*
  HWND window;
  UINT id;
  std::string tip;
  bool balloon;   // NIF_INFO with a text
  std::string info;
  std::string title;
  DWORD infoFlags;
  UINT timeoutMs;
};
// The test hook: calls are recorded only from ClearTrayRecords() (which empties the record and
// starts recording) or RecordTrayCalls(true) on, so a long session keeps no growing list.
PLATFORM_API std::vector<TrayRecord> TrayRecords();
PLATFORM_API void ClearTrayRecords();
PLATFORM_API void RecordTrayCalls(bool on);  // off also empties the record
PLATFORM_API size_t TrayIconsShown();  // icons added and not yet deleted

// Shows a balloon on the desktop; runs on the notifier thread. Replaced by tests (nullptr
// restores libnotify); returns the previous one.
using DesktopNotifier = std::function<void(const std::string& title, const std::string& text)>;
PLATFORM_API DesktopNotifier SetDesktopNotifier(DesktopNotifier notifier);

}  // namespace kvp
