// Machine settings the end-to-end tests of the engine tester on the simulated board start from:
// a string value under HKEY_LOCAL_MACHINE, and the engine tester module's firmware file, which
// names the version the simulated module already runs so that no download happens.
#pragma once

#include <platform/registry.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace kvtest {

// Writes a string value, making the key when it is missing.
inline void SetMachineString(const char* key, const char* name, const std::string& value) {
  HKEY k = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
  RegSetValueEx(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
  RegCloseKey(k);
}

// Writes motortester.hex into the current folder and points the library's parameters at it.
inline void InstallTesterFirmware() {
  char* cwd = get_current_dir_name();
  const std::string firmware = std::string(cwd) + "/motortester.hex";
  std::free(cwd);
  std::ofstream(firmware) << ":10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF\nVersion 1.00\n";
  SetMachineString("Software\\KELO\\Kv310\\Parameter", "FirmwareMotortester", firmware);
}

}  // namespace kvtest
