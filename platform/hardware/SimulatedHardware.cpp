// Loading the simulated-hardware provider named by the platform setting, and starting the real USB
// bus when it is the configured one.
#include <platform/hardware.h>
#include <platform/kernel/UsbService.h>
#include <platform/module.h>
#include <platform/registry.h>
#include <platform/unique.h>

#include <mutex>
#include <string>

namespace kvp {

namespace {

// The module name in the setting, or empty when there is none.
std::string ConfiguredProvider() {
  UniqueHKey key;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kPlatformSettingsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return {};
  char name[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  DWORD type = 0;
  const LONG rc =
      RegQueryValueEx(key.get(), kSimulatedHardwareValue, nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return {};
  name[MAX_PATH] = '\0';
  return name;
}

bool LoadProvider() {
  const std::string name = ConfiguredProvider();
  if (name.empty()) return false;
  // The provider stays loaded for the life of the process: its ports and devices are in use.
  UniqueModule module(LoadLibrary(name.c_str()));
  if (!module) return false;
  auto entry = reinterpret_cast<SimulatedHardwareEntryProc>(GetProcAddress(module.get(), KV_SIMULATED_HARDWARE_ENTRY));
  if (!entry || !entry()) return false;
  module.release();
  return true;
}

}  // namespace

bool EnsureSimulatedHardware() {
  static std::once_flag once;
  static bool registered = false;
  std::call_once(once, [] {
    registered = LoadProvider();
    kernel::EnsureUsbBackend(!ConfiguredProvider().empty());  // the real USB bus, when it is the one
  });
  return registered;
}

}  // namespace kvp
