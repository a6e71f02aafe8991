// The choice of USB bus from the machine setting, and the service where libusb is missing.
#include <platform/hardware.h>
#include <platform/kernel/UsbService.h>
#include <platform/registry.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using kvp::kernel::UsbBackend;

void SetBackend(const char* value) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kvp::kPlatformSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           &key, nullptr),
            ERROR_SUCCESS);
  if (value)
    RegSetValueEx(key, kvp::kernel::kUsbBackendValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                  static_cast<DWORD>(strlen(value) + 1));
  else
    RegDeleteValue(key, kvp::kernel::kUsbBackendValue);
  RegCloseKey(key);
}

TEST(UsbServiceTest, SettingChoosesTheBus) {
  const struct {
    const char* value;  // null: no value
    bool simulatedHardware;
    UsbBackend expected;
  } cases[] = {
      {nullptr, false, UsbBackend::Libusb},       {nullptr, true, UsbBackend::Simulated},
      {"libusb", true, UsbBackend::Libusb},       {"LibUSB", false, UsbBackend::Libusb},
      {"simulated", false, UsbBackend::Simulated}, {"serial", false, UsbBackend::Libusb},
      {"serial", true, UsbBackend::Simulated},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(none)");
    SetBackend(c.value);
    EXPECT_EQ(kvp::kernel::ConfiguredUsbBackend(c.simulatedHardware), c.expected);
  }
  SetBackend(nullptr);
}

TEST(UsbServiceTest, WithoutLibusbTheServiceSaysSoAndStartsNothing) {
  ASSERT_TRUE(std::getenv("KV_NO_LIBUSB")) << "tests hide the machine's libusb";
  kvp::kernel::KernelHost host;
  const size_t threads = host.ThreadCount();
  kvp::kernel::UsbService service(host);
  EXPECT_FALSE(service.Running());
  EXPECT_NE(service.Error().find("libusb is turned off"), std::string::npos) << service.Error();
  EXPECT_EQ(service.Boards(), 0u);
  EXPECT_EQ(host.ThreadCount(), threads);
  EXPECT_FALSE(host.DriverLoaded("qrtdrv"));
}

}  // namespace
