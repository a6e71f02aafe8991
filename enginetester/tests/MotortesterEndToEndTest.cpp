// The engine-tester pane end to end: the real measurement library on the simulated board behind
// the in-process link, the engine tester attached, four cylinders at 3000 rpm with cylinder 3 weak
// (5 kV of 10), on the headless display with the virtual clock. Petrol, the secondary winding menu
// and all cylinders through the pane's own buttons, then the switch to the scope.
#include <enginetester/Motortester.h>

#include <ui/print/PrintQueue.h>

#include <core/KeloDll.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>
#include <core/Notify.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Screenshots.h>

#include <platform/clock.h>
#include <platform/display.h>
#include <platform/module.h>
#include <platform/registry.h>

#include <gtest/gtest.h>

#include <sim/ZlinkSim.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include <unistd.h>

namespace {

namespace hl = kvp::headless;

void SetMachineString(const char* key, const char* name, const std::string& value) {
  HKEY k = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
  RegSetValueEx(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
  RegCloseKey(k);
}

// The main window's stand-in: records the tab requests.
class MainWindow : public kvtest::HostWindow {
 public:
  std::vector<WPARAM> tabs;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SELECTTAB) {
      tabs.push_back(wParam);
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

class MotortesterEndToEndTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    SetMachineString("Software\\KELO\\Kv310", "DLL name", "zlinksim.dll");
    char* cwd = get_current_dir_name();
    const std::string firmware = std::string(cwd) + "/motortester.hex";
    free(cwd);
    std::ofstream(firmware) << ":10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF\nVersion 1.00\n";
    SetMachineString("Software\\KELO\\Kv310\\Parameter", "FirmwareMotortester", firmware);
    for (const char* key : {"SOFTWARE\\KELO\\KV310\\Parameter\\Spark", "SOFTWARE\\KELO\\KV310\\Parameter\\Diesel"})
      RegDeleteKey(HKEY_CURRENT_USER, key);

    m_hSim = LoadLibrary(sim::kZlinkSimModule);
    ASSERT_NE(m_hSim, 0u);
    auto board = reinterpret_cast<sim::ZlinkSimBoardProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_hSim, sim::kZlinkSimBoardExport)));
    ASSERT_NE(board, nullptr);
    m_pBoard = board();
    m_pBoard->Update([](sim::BoardScenario& s) {
      s.engineTesterAttached = true;
      s.instantAcquisition = true;
      s.engine.rpm = 3000;
      s.engine.cylinders = 4;
      s.engine.sparkKilovolts = 10.0;
      s.engine.weakCylinder = 3;
      s.engine.weakCylinderKilovolts = 5.0;
      s.engine.batteryVolts = 13.8;
    });
    main.CreateTop(0, 0, 1000, 720);

    ASSERT_EQ(m_Kelo.Load(), 1);
    ASSERT_EQ(m_Kelo.Communication()->Open(), 0);
    ASSERT_EQ(m_Kelo.Communication()->Start(), 0);
    ASSERT_EQ(m_Kelo.Motortester()->Detect(), 0);
    CMotortesterData* data = GetMotortesterDevice();
    data->SetInterfaces(m_Kelo.Motortester(), m_Kelo.MTVoltmeter(), m_Kelo.Communication(), m_Kelo.Oscilloscope());
    ASSERT_EQ(data->LoadMotortesterParams(), 1);
    data->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, 4);
    data->m_bAveraging.store(0);
    ASSERT_EQ(data->ApplyMotortesterParams(CMotortesterData::ENGINE_SPARK), 0);
  }
  void TearDown() override {
    pane.reset();
    main.DestroyWindow();
    SetSystemNotify(nullptr);
    GetPrintQueue()->Clear();
    GetMotortesterDevice()->SetInterfaces(nullptr, nullptr, nullptr, nullptr);
    m_Kelo.Unload();
    if (m_hSim) FreeLibrary(m_hSim);
    kvtest::CoreTest::TearDown();
  }

  // Pumps the GUI thread and moves the clock on while a thread waits on it, until the condition
  // holds or 20 s of real time have passed.
  template <typename Pred>
  bool Drive(Pred done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      hl::Pump();
      if (kvp::ClockTimedWaiters() > 0) hl::Advance(10);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  void CreatePane() {
    pane = std::make_unique<CWndMotortester>();
    pane->SetHiVoltageMeter(m_Kelo.MTHiVoltage());
    // The board model's default probes do not satisfy every measurement's probe rule; the probe
    // check itself is covered by the pane's unit tests.
    pane->SetProbeCheck([](int) { return TRUE; });
    for (CWndMotortester_HiVoltage* kv : {static_cast<CWndMotortester_HiVoltage*>(&pane->m_OneCylinder),
                                          static_cast<CWndMotortester_HiVoltage*>(&pane->m_AllCylinders),
                                          static_cast<CWndMotortester_HiVoltage*>(&pane->m_SelectedCylinder),
                                          static_cast<CWndMotortester_HiVoltage*>(&pane->m_DblCoil)})
      kv->SetInterfaces(m_Kelo.MTHiVoltage(), m_Kelo.Communication());
    ASSERT_TRUE(pane->Create("Motortester", WS_CHILD, CRect(0, 0, 1000, 720), &main, 1015));
    pane->Init();
    WithClock([&] { pane->Activate(0); });
    hl::Pump();
  }
  // Runs the action on the GUI thread while another thread moves the virtual clock on whenever a
  // thread sleeps on it: the probe check polls the link from the GUI thread.
  template <typename F>
  void WithClock(F action) {
    std::atomic<bool> done{false};
    std::thread clock([&] {
      while (!done.load()) {
        if (kvp::ClockTimedWaiters() > 0) kvp::ClockAdvance(10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    action();
    done = true;
    clock.join();
  }
  void Press(int id) {
    ASSERT_TRUE(pane->ButtonById(id)->IsWindowVisible()) << id << " on page " << pane->Page();
    WithClock([&] { pane->OnButtonClicked(id); });
    hl::Pump();
  }

  HMODULE m_hSim = 0;
  sim::BoardModel* m_pBoard = nullptr;
  CKelo_DLL m_Kelo;
  MainWindow main;
  std::unique_ptr<CWndMotortester> pane;
};

TEST_F(MotortesterEndToEndTest, AllCylindersAndGraph) {
  CreatePane();
  Press(CWndMotortester::kPetrol);
  Press(CWndMotortester::kSecondary);
  EXPECT_EQ(pane->Page(), 7);
  EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), kvtest::ScreenshotPath("et-pane-secondary-board").c_str()));
  Press(CWndMotortester::kAllCylinders);
  ASSERT_EQ(pane->Page(), 12);
  CWndMotortester_AllCylinders& panel = pane->m_AllCylinders;
  ASSERT_TRUE(Drive([&] {
    const auto p = panel.GetPrintValues();
    return p.count == 4 && p.values[3] > 0 && p.values[2] > 0 && p.speed > 0;
  })) << "status " << panel.State().status.load();
  const auto shown = panel.GetPrintValues();
  for (int i : {0, 1, 3}) EXPECT_NEAR(shown.values[i], 10000, 800) << i;
  EXPECT_NEAR(shown.values[2], 5000, 500);
  EXPECT_NEAR(shown.speed, 3000, 30);
  pane->RedrawWindow();
  hl::Pump();
  EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), kvtest::ScreenshotPath("et-pane-kv-all-board").c_str()));

  // What "Print" puts in the queue item: the four voltages (kV) and the speed as shown.
  EXPECT_NEAR(shown.values[2] / 1000.0, 5.0, 0.5);

  // Graph: the scope tab, posted, with the all-cylinders measure type.
  main.tabs.clear();
  WithClock([&] { pane->OnButtonClicked(CWndMotortester::kGraph); });
  hl::Pump();
  EXPECT_EQ(main.tabs, std::vector<WPARAM>{0});
  EXPECT_EQ(GetMeasureType().m_nMeasureType.load(), 8);
  WithClock([&] { pane->Deactivate(); });
  EXPECT_FALSE(panel.HasWorker());
}

}  // namespace
