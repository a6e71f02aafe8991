// The platform loads the simulated hardware named by its setting before the first port opens,
// and the plug-in's serial board answers on the configured COM port.
#include <platform/fileio.h>
#include <platform/hardware.h>
#include <platform/registry.h>
#include <platform/serial.h>
#include <platform/sync.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

void SetSetting(const char* name, const std::string& text) {
  HKEY key = 0;
  RegCreateKey(HKEY_LOCAL_MACHINE, kvp::kPlatformSettingsKey, &key);
  RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

void SetSetting(const char* name, DWORD value) {
  HKEY key = 0;
  RegCreateKey(HKEY_LOCAL_MACHINE, kvp::kPlatformSettingsKey, &key);
  RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

TEST(SimulatedHardwarePlugin, RegistersTheSerialBoardBeforeTheFirstOpen) {
  const char* bin = std::getenv("KV_BIN_DIR");
  SetSetting(kvp::kSimulatedHardwareValue, std::string(bin ? bin : ".") + "/kv310sim.dll");
  SetSetting("SimulatedComPort", 5);

  HANDLE port = CreateFile("\\\\.\\COM5", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING, 0);
  ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_TRUE(kvp::EnsureSimulatedHardware());
  COMMTIMEOUTS t{20, 1, 1000, 0, 0};
  SetCommTimeouts(port, &t);

  // The board runs its application: it answers the information request.
  const uint8_t request[7] = {0x05, 0x04, 0x04, 0x00, 0x00, 0xFC, 0x00};
  OVERLAPPED ov{};
  ov.hEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  DWORD n = 0;
  if (!WriteFile(port, request, sizeof request, &n, &ov)) {
    ASSERT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
  }
  uint8_t reply[68] = {};
  if (!ReadFile(port, reply, sizeof reply, &n, &ov)) {
    ASSERT_TRUE(GetOverlappedResult(port, &ov, &n, TRUE));
  }
  ASSERT_EQ(n, sizeof reply);
  EXPECT_EQ(reply[0], 0x06);
  EXPECT_EQ(reply[1], 0x02);
  EXPECT_EQ(reply[63], 0x08);  // status 0x0208: application firmware
  EXPECT_EQ(reply[64], 0x02);
  CloseHandle(ov.hEvent);
  CloseHandle(port);

  // Other ports stay unknown.
  EXPECT_EQ(CreateFile("\\\\.\\COM6", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0), INVALID_HANDLE_VALUE);
}

}  // namespace
