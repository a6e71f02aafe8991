// A leak check left running while the user looks at the voltmeter: the special tests pane and the
// voltmeter pane on one acquisition engine, the real measurement library on the simulated board
// behind the in-process link "zlinksim.dll", the engine tester attached with its default probes,
// on the headless display with the virtual clock. The voltmeter is the link's second user: shown
// while the board records, it waits for the recording to be read instead of ending it, then
// measures; back on the special tests tab the leak check shows its bars.
#include <enginetester/SpecialTests.h>

#include <meters/WndVoltmeter.h>

#include <ui/dialogs/DialogResources.h>
#include <ui/dialogs/DlgTurnOn.h>

#include <core/EngineRecords.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/MotortesterData.h>
#include <core/Reg.h>
#include <core/TextIds.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Screenshots.h>
#include <kvtest/TesterFirmware.h>

#include <platform/clock.h>
#include <platform/display.h>
#include <platform/module.h>
#include <platform/registry.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include <sim/ZlinkSim.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace hl = kvp::headless;

// Runs the action on the GUI thread while another thread moves the virtual clock on whenever a
// thread sleeps on it (the library's busy polls, the waits of the link's users).
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

// Pumps and moves the clock on until the condition holds or 90 s of real time have passed.
template <typename Pred>
bool Drive(Pred done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    hl::Pump();
    if (kvp::ClockTimedWaiters() > 0) hl::Advance(10);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class LeakCheckAcrossTabsTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDOK; });
    kvtest::SetMachineString("Software\\KELO\\Kv310", "DLL name", "zlinksim.dll");
    kvtest::InstallTesterFirmware();
    for (const char* key : {"SOFTWARE\\KELO\\KV310\\Parameter\\Spark", "SOFTWARE\\KELO\\KV310\\Parameter\\Diesel"})
      RegDeleteKey(HKEY_CURRENT_USER, key);
    CReg().WriteDword(HKEY_CURRENT_USER, CDlgTurnOn::kBehaviourKey, CDlgTurnOn::kShowMessage, 0);
    ui_dialogs::RegisterDialogTemplates();

    sim_ = LoadLibrary(sim::kZlinkSimModule);
    ASSERT_NE(sim_, 0u);
    auto board = reinterpret_cast<sim::ZlinkSimBoardProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(sim_, sim::kZlinkSimBoardExport)));
    ASSERT_NE(board, nullptr);
    board_ = board();
    // Four cylinders cranked with cylinder 3 weak; the recording takes a second of busy replies.
    board_->Update([](sim::BoardScenario& s) {
      s.engineTesterAttached = true;
      s.instantAcquisition = true;
      s.engine.rpm = 3000;
      s.engine.batteryVolts = 13.8;
      s.leak.weakCylinder = 3;
      s.leak.noiseCounts = 20.0;
      s.leak.recordingPolls = 10;
    });
    int present = 0;
    WithClock([&] { present = engine_.OpenMeasuringDevice(0); });
    ASSERT_EQ(present, 1);
    ASSERT_TRUE(GetMotortesterDevice()->IsReady());
    main_.CreateTop(0, 0, 1000, 720);
  }
  void TearDown() override {
    if (special_) WithClock([&] { special_->m_leakCheck.StopLeakTest(); });
    special_.reset();
    voltmeter_.reset();
    main_.DestroyWindow();
    WithClock([&] { engine_.CoreShutdown(); });
    GetMotortesterDevice()->SetInterfaces(nullptr, nullptr, nullptr);
    if (sim_) FreeLibrary(sim_);
    kvtest::CoreTest::TearDown();
  }

  CWndSpecialTest_LeakCheck& Leak() { return special_->m_leakCheck; }
  void Press(int id) {
    ASSERT_TRUE(special_->ButtonById(id)->IsWindowVisible()) << id << " on page " << special_->Page();
    WithClock([&] { special_->OnButtonClicked(id); });
    hl::Pump();
  }
  std::vector<std::string> DrawnByLeakCheck() {
    kvp::StartTextLog();
    Leak().Redraw();
    kvp::StopTextLog();
    std::vector<std::string> out;
    for (const auto& t : kvp::DrawnTexts(Leak().GetSafeHwnd())) out.push_back(t.text);
    return out;
  }

  kvp::HeadlessWorld world_;
  HMODULE sim_ = 0;
  sim::BoardModel* board_ = nullptr;
  CMeasureEngine engine_;
  kvtest::HostWindow main_;
  std::unique_ptr<CWndSpecialTests> special_;
  std::unique_ptr<CWndVoltmeter> voltmeter_;
};

TEST_F(LeakCheckAcrossTabsTest, TheVoltmeterWaitsForARunningLeakCheckWhoseBarsStay) {
  // Tab 5: Petrol, Next, the leak check, on the board's default probes.
  special_ = std::make_unique<CWndSpecialTests>();
  const CKelo_DLL& library = engine_.GetBinding();
  special_->m_leakCheck.SetLibrary(library.MTLeakTest(), library.Communication(), &engine_);
  ASSERT_TRUE(special_->Create("SpecialTests", WS_CHILD, CRect(0, 0, 1000, 720), &main_, 1020));
  special_->Init();
  WithClock([&] { special_->Activate(0); });
  ASSERT_NO_FATAL_FAILURE(Press(CWndSpecialTests::kPetrol));
  ASSERT_NO_FATAL_FAILURE(Press(CWndSpecialTests::kNext));
  ASSERT_NO_FATAL_FAILURE(Press(CWndSpecialTests::kLeakCheck));
  ASSERT_EQ(special_->Page(), 9);

  voltmeter_ = std::make_unique<CWndVoltmeter>(&engine_);
  ASSERT_TRUE(voltmeter_->Create("Voltmeter", WS_CHILD, CRect(0, 0, 1000, 720), &main_, 1010));

  // "Start Test"; once the board records, the user opens the voltmeter tab.
  board_->ClearLog();
  WithClock([&] { Leak().StartLeakTest(); });
  ASSERT_TRUE(Leak().Running());
  ASSERT_TRUE(Drive([&] { return board_->CountRequests(0xFD) >= 2; })) << "the board is recording";
  WithClock([&] {
    special_->Deactivate();
    voltmeter_->Activate(5);
  });
  EXPECT_EQ(board_->CountRequests(0x05), 0u) << "the recording was not aborted";
  EXPECT_FALSE(engine_.IsLinkReserved()) << "the voltmeter went on once the recording was read";

  // The voltmeter measures the battery on the engine tester's voltage input.
  for (int tick = 0; tick < 8 && voltmeter_->m_dLastValue == 0.0; ++tick) hl::Advance(CWndVoltmeter::POLL_MS);
  EXPECT_EQ(voltmeter_->m_bErrorShown, 0) << (LPCSTR)voltmeter_->m_strValue;
  EXPECT_NEAR(voltmeter_->m_dLastValue, 13.8, 0.2);

  // Back on tab 5: the bars of the test, the weak cylinder first.
  voltmeter_->Deactivate();
  WithClock([&] { special_->Activate(1); });
  ASSERT_TRUE(Drive([&] { return !Leak().Running(); }));
  hl::Pump();
  EXPECT_FALSE(Leak().ErrorShown());
  int count = 0;
  float r[6] = {};
  Leak().GetLeakResults(&count, &r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
  ASSERT_EQ(count, 4);
  EXPECT_LT(r[0], 70.0f);
  for (int i = 1; i < 4; ++i) EXPECT_GT(r[i], 90.0f) << i;
  const std::vector<std::string> texts = DrawnByLeakCheck();
  for (int i = 0; i < 4; ++i) {
    CString label;
    label.Format("%.1f%%", r[i]);
    EXPECT_NE(std::find(texts.begin(), texts.end(), std::string(label)), texts.end()) << (LPCSTR)label;
  }
  EXPECT_EQ(std::find(texts.begin(), texts.end(), std::string(GetGlobalProps().GetText(kTextError))), texts.end());
  special_->RedrawWindow();
  hl::Pump();
  EXPECT_TRUE(kvp::SaveWindowPng(main_.GetSafeHwnd(), kvtest::ScreenshotPath("leak-result-after-voltmeter").c_str()));
}

}  // namespace
