// What the engine-tester tests over the real measurement library share: the simulated board behind
// the in-process link "zlinksim.dll", the library loaded, opened and started, the data object on
// its interfaces, and the helpers that move the virtual clock on while a thread waits on it.
#pragma once

#include <enginetester/Motortester.h>

#include <ui/print/PrintQueue.h>

#include <core/KeloDll.h>
#include <core/MotortesterData.h>
#include <core/Notify.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/TesterFirmware.h>

#include <platform/clock.h>
#include <platform/display.h>
#include <platform/module.h>
#include <platform/print.h>
#include <platform/registry.h>

#include <gtest/gtest.h>

#include <sim/ZlinkSim.h>

#include "EtTestSupport.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace ettest {

// No print server while it lives: the report becomes a PDF in the folder the platform is told.
class NoCups : public kvp::print::CupsBackend {
 public:
  NoCups() : m_before(kvp::print::SetCupsBackend(this)) {}
  ~NoCups() override { kvp::print::SetCupsBackend(m_before); }
  NoCups(const NoCups&) = delete;
  NoCups& operator=(const NoCups&) = delete;
  bool DefaultDestination(kvp::print::CupsDestination*) override { return false; }
  bool Submit(const std::string&, const std::string&, const std::string&, int) override { return false; }

 private:
  kvp::print::CupsBackend* m_before;
};

// Pumps the GUI thread and moves the clock on while a thread waits on it, until the condition
// holds or 90 s of real time have passed (the sanitizer builds on a busy machine are slow).
template <typename Pred>
bool Drive(Pred done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    kvp::headless::Pump();
    if (kvp::ClockTimedWaiters() > 0) kvp::headless::Advance(10);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Runs the action on the GUI thread while another thread moves the virtual clock on whenever a
// thread sleeps on it: the probe check and the library's requests wait on it.
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

// The simulated board loaded, the library pointed at it and the engine parameters cleared; the
// test sets the scenario, then opens the library.
class BoardTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    kvtest::SetMachineString("Software\\KELO\\Kv310", "DLL name", "zlinksim.dll");
    kvtest::InstallTesterFirmware();
    for (const char* key : {"SOFTWARE\\KELO\\KV310\\Parameter\\Spark", "SOFTWARE\\KELO\\KV310\\Parameter\\Diesel"})
      RegDeleteKey(HKEY_CURRENT_USER, key);

    m_hSim = LoadLibrary(sim::kZlinkSimModule);
    ASSERT_NE(m_hSim, 0u);
    auto board = reinterpret_cast<sim::ZlinkSimBoardProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_hSim, sim::kZlinkSimBoardExport)));
    ASSERT_NE(board, nullptr);
    m_pBoard = board();
  }
  // The fixtures destroy their windows and panes first.
  void TearDown() override {
    SetSystemNotify(nullptr);
    GetPrintQueue()->Clear();
    GetMotortesterDevice()->SetInterfaces(nullptr, nullptr, nullptr, nullptr);
    m_Kelo.Unload();
    if (m_hSim) FreeLibrary(m_hSim);
    kvtest::CoreTest::TearDown();
  }

  // The engine of the tests: the engine tester attached, the cylinders at 3000 rpm with cylinder
  // 3 weak (5 kV of 10), a 13.8 V battery, every acquisition at once.
  static void RunningEngine(sim::BoardScenario& s, int cylinders = 4) {
    s.engineTesterAttached = true;
    s.instantAcquisition = true;
    s.engine.rpm = 3000;
    s.engine.cylinders = cylinders;
    s.engine.sparkKilovolts = 10.0;
    s.engine.weakCylinder = 3;
    s.engine.weakCylinderKilovolts = 5.0;
    s.engine.batteryVolts = 13.8;
  }

  // Loads the library and opens and starts its link.
  void OpenLink() {
    ASSERT_EQ(m_Kelo.Load(), 1);
    ASSERT_EQ(m_Kelo.Communication()->Open(), 0);
    ASSERT_EQ(m_Kelo.Communication()->Start(), 0);
  }
  // The data object on the library's interfaces.
  void Attach() {
    GetMotortesterDevice()->SetInterfaces(m_Kelo.Motortester(), m_Kelo.MTVoltmeter(), m_Kelo.Communication(),
                                          m_Kelo.Oscilloscope());
  }
  // The library's petrol parameters with the cylinders given and no averaging, handed to the board.
  void ApplySpark(int cylinders) {
    CMotortesterData* data = GetMotortesterDevice();
    ASSERT_EQ(data->LoadMotortesterParams(), 1);
    data->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, cylinders);
    data->m_bAveraging.store(0);
    ASSERT_EQ(data->ApplyMotortesterParams(CMotortesterData::ENGINE_SPARK), 0);
  }
  // The library open, the engine tester found and the petrol parameters applied.
  void StandUp(int cylinders = 4) {
    ASSERT_NO_FATAL_FAILURE(OpenLink());
    ASSERT_EQ(m_Kelo.Motortester()->Detect(), 0);
    Attach();
    ASSERT_NO_FATAL_FAILURE(ApplySpark(cylinders));
  }

  // The engine-tester pane as tab 4 of `parent`, its high-voltage panels on the library, active.
  // The measurement choice asks the board for the probes, as the program does, unless
  // `scriptedProbes`: then every probe check passes (for probes no measurement accepts).
  void CreateMotortester(std::unique_ptr<CWndMotortester>& pane, CWnd& parent, bool scriptedProbes = false) {
    pane = std::make_unique<CWndMotortester>();
    pane->SetHiVoltageMeter(m_Kelo.MTHiVoltage());
    if (scriptedProbes) pane->SetProbeCheck([](int) { return TRUE; });
    for (CWndMotortester_HiVoltage* kv : {static_cast<CWndMotortester_HiVoltage*>(&pane->m_OneCylinder),
                                          static_cast<CWndMotortester_HiVoltage*>(&pane->m_AllCylinders),
                                          static_cast<CWndMotortester_HiVoltage*>(&pane->m_SelectedCylinder),
                                          static_cast<CWndMotortester_HiVoltage*>(&pane->m_DblCoil)})
      kv->SetInterfaces(m_Kelo.MTHiVoltage(), m_Kelo.Communication());
    ASSERT_TRUE(pane->Create("Motortester", WS_CHILD, CRect(0, 0, 1000, 720), &parent, 1015));
    pane->Init();
    WithClock([&] { pane->Activate(0); });
    kvp::headless::Pump();
  }
  // On the all-cylinders page, waits until the panel shows the four cylinders and the speed.
  static void WaitForAllCylinders(CWndMotortester& pane) {
    ASSERT_EQ(pane.Page(), 12);
    CWndMotortester_AllCylinders& panel = pane.m_AllCylinders;
    ASSERT_TRUE(Drive([&] {
      const auto p = panel.GetPrintValues();
      return p.count == 4 && p.values[3] > 0 && p.values[2] > 0 && p.speed > 0;
    })) << "status " << panel.State().status.load();
  }

  HMODULE m_hSim = 0;
  sim::BoardModel* m_pBoard = nullptr;
  CKelo_DLL m_Kelo;
};

}  // namespace ettest
