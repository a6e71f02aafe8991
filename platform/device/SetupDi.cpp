// Device-interface enumeration: a snapshot of the enabled interfaces the kernel host holds.
#include <platform/device.h>
#include <platform/hardware.h>
#include <platform/kernel/KernelHost.h>

#include "base/HandleTable.h"

#include <cstring>

namespace {

struct DeviceInfoSet : kvp::KernelObject {
  std::vector<kvp::kernel::DeviceInterfaceInfo> interfaces;
};

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

extern "C" {

PLATFORM_API HDEVINFO SetupDiGetClassDevs(const GUID* interfaceClass, LPCSTR, HWND, DWORD flags) {
  if (!interfaceClass || !(flags & DIGCF_DEVICEINTERFACE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  kvp::EnsureSimulatedHardware();
  auto set = std::make_shared<DeviceInfoSet>();
  if (auto* host = kvp::kernel::KernelHost::Active()) set->interfaces = host->EnabledInterfaces(*interfaceClass);
  const HANDLE h = kvp::RegisterHandle(set);
  if (!h) return INVALID_HANDLE_VALUE;
  SetLastError(ERROR_SUCCESS);
  return h;
}

PLATFORM_API BOOL SetupDiEnumDeviceInterfaces(HDEVINFO h, PSP_DEVINFO_DATA, const GUID* interfaceClass, DWORD index,
                                              PSP_DEVICE_INTERFACE_DATA data) {
  auto set = kvp::LookupHandle<DeviceInfoSet>(h);
  if (!set) return FALSE;
  if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
  DWORD seen = 0;
  for (size_t i = 0; i < set->interfaces.size(); ++i) {
    const auto& itf = set->interfaces[i];
    if (interfaceClass && !IsEqualGUID(itf.interfaceClass, *interfaceClass)) continue;
    if (seen++ != index) continue;
    data->InterfaceClassGuid = itf.interfaceClass;
    data->Flags = SPINT_ACTIVE;
    data->Reserved = i + 1;
    return TRUE;
  }
  return Fail(ERROR_NO_MORE_ITEMS);
}

PLATFORM_API BOOL SetupDiGetDeviceInterfaceDetail(HDEVINFO h, PSP_DEVICE_INTERFACE_DATA data,
                                                  PSP_DEVICE_INTERFACE_DETAIL_DATA detail, DWORD size,
                                                  LPDWORD required, PSP_DEVINFO_DATA) {
  auto set = kvp::LookupHandle<DeviceInfoSet>(h);
  if (!set) return FALSE;
  if (!data || data->Reserved == 0 || data->Reserved > set->interfaces.size()) return Fail(ERROR_INVALID_PARAMETER);
  const std::string& path = set->interfaces[data->Reserved - 1].symbolicLink;
  const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA, DevicePath) + path.size() + 1);
  if (required) *required = needed;
  if (!detail || size < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
  std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
  return TRUE;
}

PLATFORM_API BOOL SetupDiDestroyDeviceInfoList(HDEVINFO h) {
  if (!kvp::LookupHandle<DeviceInfoSet>(h)) return FALSE;
  kvp::HandleTable::Instance().Remove(h);
  return TRUE;
}

}  // extern "C"
