// Simulated hardware hosted in the process.
//
// Which provider is loaded, if any, is a machine setting: HKEY_LOCAL_MACHINE
// "SOFTWARE\KV310Platform", REG_SZ value "SimulatedHardware", a module name such as "kv310sim.dll"
// (resolved like LoadLibrary). The platform loads it once per process, before the first serial
// port or device is opened, and calls its registration entry, which registers the provider's
// virtual ports and devices. Without the value nothing is loaded and real hardware is used.
#pragma once

#include <platform/types.h>

// The provider's registration entry: exported by name, returns TRUE when it registered its
// hardware.
#define KV_SIMULATED_HARDWARE_ENTRY "RegisterSimulatedHardware"
extern "C" {
typedef BOOL (*SimulatedHardwareEntryProc)(void);
}

namespace kvp {

inline constexpr const char* kPlatformSettingsKey = "SOFTWARE\\KV310Platform";
inline constexpr const char* kSimulatedHardwareValue = "SimulatedHardware";

// Loads and registers the configured provider the first time it is called; later calls do
// nothing. Returns whether a provider is registered.
PLATFORM_API bool EnsureSimulatedHardware();

}  // namespace kvp
