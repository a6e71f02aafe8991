// kv310sim: the simulated board as the platform's simulated hardware. The platform loads this
// module when HKLM "SOFTWARE\KV310Platform" "SimulatedHardware" names it, and calls its
// registration entry once, before the first port or device is opened.
//
// Settings, all optional, under the same key:
//   "SimulatedComPort"        DWORD, the COM port number of the serial board (default 1)
//   "SimulatedSerialPacing"   DWORD, 1 = bytes take their time at the port's bit rate (default 0)
//   "SimulatedFirmware"       REG_SZ, the version text of the application in the board's flash
//                             (default: the board model's)
// and the board's scenario (PluginSettings.h).
#include "PluginSettings.h"

#include <platform/hardware.h>
#include <platform/kernel/KernelHost.h>
#include <platform/registry.h>
#include <platform/serial.h>
#include <platform/unique.h>

#include <sim/BoardModel.h>
#include <sim/SerialBoard.h>
#include <sim/UsbBoard.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

// The one simulated board of the process and the transports that reach it.
struct SimulatedHardware {
  sim::BoardModel model;
  std::shared_ptr<sim::SerialBoard> serialBoard;
  std::shared_ptr<sim::UsbBoard> usbBoard;
};

DWORD SettingDword(const char* name, DWORD fallback) {
  kvp::UniqueHKey key;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kvp::kPlatformSettingsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
    return fallback;
  DWORD value = fallback, size = sizeof value, type = 0;
  if (RegQueryValueEx(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    value = fallback;
  return value;
}

std::string SettingText(const char* name) {
  kvp::UniqueHKey key;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kvp::kPlatformSettingsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return {};
  char text[64] = {};
  DWORD size = sizeof text - 1, type = 0;
  const LONG rc = RegQueryValueEx(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  return rc == ERROR_SUCCESS && type == REG_SZ ? std::string(text) : std::string();
}

bool RegisterSerialBoard(SimulatedHardware& hw) {
  sim::SerialBoardConfig config;
  const std::string version = SettingText("SimulatedFirmware");
  config.flashVersion = version.empty()
                            ? std::string(hw.model.Scenario().hwSwInfo.firmwareText,
                                          strnlen(hw.model.Scenario().hwSwInfo.firmwareText, 9))
                            : version;
  hw.serialBoard = std::make_shared<sim::SerialBoard>(hw.model, config);
  const int port = static_cast<int>(SettingDword("SimulatedComPort", 1));
  return kvp::RegisterVirtualComPort(port, hw.serialBoard,
                                     kvp::VirtualPortOptions{SettingDword("SimulatedSerialPacing", 0) == 1});
}

// The board on the kernel host's USB bus, served by the driver qrtdrv. It powers up in LOADER
// mode: the USB link loads its firmware into RAM.
bool RegisterUsbBoard(SimulatedHardware& hw) {
  kvp::kernel::KernelHost& host = kvp::kernel::KernelHost::EnsureActive();
  host.RegisterDriver("qrtdrv", sim::kUsbHardwareId, "qrtdrv.dll");
  hw.usbBoard = std::make_shared<sim::UsbBoard>(hw.model);
  hw.usbBoard->Plug(host);
  host.WaitIdle();  // present before the first enumeration
  return true;
}

// The scenario of the settings, and the request-log file when one is named.
bool ApplySettings(SimulatedHardware& hw) {
  const simplugin::SettingsSource settings = simplugin::RegistrySettings();
  hw.model.Update([&](sim::BoardScenario& scenario) {
    for (const std::string& message : simplugin::ApplyScenarioSettings(settings, scenario)) {
      std::fprintf(stderr, "kv310sim: %s\n", message.c_str());
    }
  });
  const std::optional<std::string> log = settings.text("SimulatedRequestLog");
  if (!log || log->empty()) return true;
  std::FILE* file = std::fopen(log->c_str(), "a");
  if (!file) {
    std::fprintf(stderr, "kv310sim: cannot open the request log %s\n", log->c_str());
    return true;
  }
  hw.model.SetRequestObserver([file](const sim::LoggedRequest& request) {
    const std::string line = simplugin::FormatRequestLine(request) + "\n";
    std::fwrite(line.data(), 1, line.size(), file);
    std::fflush(file);
  });
  return true;
}

// Every transport of the board registers itself here; a new one adds its line.
using Registrar = bool (*)(SimulatedHardware&);
constexpr Registrar kRegistrars[] = {
    ApplySettings,
    RegisterSerialBoard,
    RegisterUsbBoard,
};

}  // namespace

KV_EXPORT BOOL RegisterSimulatedHardware(void) {
  // Lives as long as the process: the platform never unloads its simulated hardware.
  static SimulatedHardware* hardware = new SimulatedHardware;
  bool ok = true;
  for (Registrar registrar : kRegistrars) ok = registrar(*hardware) && ok;
  return ok ? TRUE : FALSE;
}
