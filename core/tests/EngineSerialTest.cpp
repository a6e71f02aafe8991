// The whole serial way: the start-up initialisation opens the measurement library, which binds
// ZLINKSER by its "DLL name" and reaches the serial board on the virtual COM port; RUN then
// delivers a record through the engine.
#include "../../link/serial/tests/SerialTestSupport.h"

#include <core/DeviceStartup.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>

#include <platform/display.h>
#include <platform/registry.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

class CountingScope : public IOscClbck {
 public:
  int OnOscError(MeterResult&) override {
    errors.fetch_add(1);
    return 0;
  }
  int OnOscMessage(int, LPARAM) override { return 0; }
  int OnOscQuerySettings(CMeasureProps& settings, int) override {
    settings = prepared;
    return 1;
  }
  int OnOscData(AcquisitionRecord& record) override {
    samples.store(record.m_Signal[0].GetCount());
    records.fetch_add(1);
    return 0;
  }
  CMeasureProps prepared;
  std::atomic<int> records{0}, samples{0}, errors{0};
};

TEST(EngineOverSerial, StartUpAndOneRecord) {
  serialtest::RigOptions options;
  options.key = "Software\\KELO\\Kv310";
  serialtest::SerialRig rig(options);
  HKEY k = 0;
  RegCreateKey(HKEY_LOCAL_MACHINE, "Software\\KELO\\Kv310", &k);
  const char* name = "ZLINKSER.dll";
  RegSetValueEx(k, "DLL name", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), static_cast<DWORD>(strlen(name) + 1));
  RegCloseKey(k);
  kvp::OpenHeadlessDisplay();

  CMeasureEngine engine;
  SetDeviceStartup(&engine);
  GlobalProps& props = GetGlobalProps();
  props.m_bInitialized = 0;
  ASSERT_TRUE(RunDeviceStartup(props, 0));
  EXPECT_EQ(std::string(engine.GetBoardName()), "Measurement board KV310 version 3.10 (K310)");
  EXPECT_TRUE(engine.IsDevicePresent());

  CountingScope scope;
  CMeasureProps settings = props;
  for (CChannelProps& c : settings.m_Channels) {
    c.m_nModeEnable = 1;
    c.m_nChangeFlags |= CHN_ON;
  }
  settings.m_nTriggerMode = 1;  // "Auto"
  settings.m_nChangeFlags = CHG_ALL;
  scope.prepared = settings;
  engine.SetOscCallback(&scope);
  engine.Run(1);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (scope.records.load() == 0 && std::chrono::steady_clock::now() < end) {
    kvp::headless::Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  engine.CoreShutdown();
  SetDeviceStartup(&GetMeasureEngine());
  kvp::CloseDisplay();
  EXPECT_EQ(scope.records.load(), 1);
  EXPECT_EQ(scope.samples.load(), 1000);
  EXPECT_EQ(scope.errors.load(), 0);
}

}  // namespace
