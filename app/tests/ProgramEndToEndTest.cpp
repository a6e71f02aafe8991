// The program's start-up on the real measurement library over the in-process simulated board:
// the worker's steps, then the main window with the program's pane table and the application's
// own environment. The board's identity and the program's version reach the info pane; an engine-tester board (with the
// installation's firmware file) gives the first tab 4 and ten connectors; the reduced variant
// disables its tabs; a silent board gives one notice and a main window without device.
#include <gtest/gtest.h>

#include "KELOApp.h"
#include "PaneTable.h"

#include "LinkTestSupport.h"

#include <ui/MainWndDlg.h>
#include <ui/WndHelp.h>
#include <ui/WndInfo.h>

#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>
#include <core/ResourceHolder.h>

#include <platform/clock.h>
#include <platform/display.h>
#include <platform/registry.h>
#include <platform/window.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Outcome {
  int firstTab = -1;
  std::string title;
  std::vector<BOOL> enabled;
  CWndInfo::Texts info;
  int helpConnectors = 0;
  BOOL devicePresent = FALSE;
  size_t boxes = 0;
  std::vector<std::string> boxTexts;
};

// Runs InitInstance with the splash replaced by its worker's steps and the main window shown
// modelessly for a look.
Outcome StartProgram(const std::function<void(sim::BoardScenario&)>& scenario, std::vector<std::string> args,
                     const char* screenshot) {
  Outcome outcome;
  kvp::ClockUseVirtual(false);
  kvp::OpenHeadlessDisplay(1024, 768);
  kv310::testing::SetLinkLibrary("zlinksim.dll");
  kv310::testing::SetSerialBlockSizeValue(-1);
  {
    kv310::testing::ZlinkSimBoard zlink;
    zlink.Board().Reset();
    zlink.Board().Update([&](sim::BoardScenario& s) {
      s.instantAcquisition = true;
      scenario(s);
    });
    GetMeasureType().m_nMeasureType = 0;
    GetGlobalProps().m_bInitialized = 0;
    GetMotortesterDevice()->Reset();
    kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& box) {
      outcome.boxTexts.push_back(box.text);
      return IDOK;
    });

    CKELOApp app;
    app.args = std::move(args);
    app.sleep = [](DWORD) {};
    app.runSplash = [] {
      GetGlobalProps().Initialize(0);
      GetResourceHolder().LoadResources();
      return INT_PTR{IDOK};
    };
    app.runMain = [&](CMainWndDlg& main) {
      EXPECT_TRUE(main.Create(IDD_MAINWND, nullptr));
      // The scope on tab 0 starts running on the board; these checks read the other panes, and
      // the headless pump only returns once no record is on its way.
      StopMeasurement();
      GetMeasureEngine().StopAcquisitionThread();
      kvp::headless::Pump();
      outcome.firstTab = main.SelectedTab();
      char title[64] = {};
      ::GetWindowText(main.GetSafeHwnd(), title, sizeof title);
      outcome.title = title;
      for (int tab = 0; tab < kTabCount; ++tab) outcome.enabled.push_back(main.Strip().GetItem(tab)->enabled);
      outcome.info = CWndInfo::CurrentTexts();
      outcome.helpConnectors = static_cast<CWndHelp*>(main.Pane(7))->ShownConnectors();
      outcome.devicePresent = GetMeasureEngine().IsDevicePresent();
      if (screenshot) {
        std::filesystem::create_directories(KV_SCREENSHOT_DIR);
        main.SendMessage(WM_SELECTTAB, 8);
        kvp::headless::Pump();
        kvp::SaveWindowPng(main.GetSafeHwnd(), (std::string(KV_SCREENSHOT_DIR) + "/" + screenshot).c_str());
      }
      main.DestroyWindow();
      return INT_PTR{IDCANCEL};
    };
    EXPECT_FALSE(app.InitInstance());
    kvp::SetMessageBoxResponder(nullptr);
    GetMotortesterDevice()->Reset();
  }
  kvp::CloseDisplay();
  return outcome;
}

// The program starts once per process (its engine shuts down once): every start runs in a child
// process of its own, which reports its failures as they happen and exits with 1 after any.
void InChild(const std::function<void()>& start) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    start();
    std::fflush(nullptr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status)) << "the child ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
}

TEST(ProgramEndToEnd, BoardIdentityReachesTheInfoPane) {
  InChild([] {
    Outcome o = StartProgram([](sim::BoardScenario&) {}, {}, "program_e2e_info.png");
    EXPECT_TRUE(o.devicePresent);
    EXPECT_TRUE(o.boxTexts.empty());
    EXPECT_EQ(o.firstTab, 0);
    EXPECT_STRNE(o.info.board, CWndInfo::kNoInformation);
    EXPECT_STRNE(o.info.board, "");
    EXPECT_STRNE(o.info.library, CWndInfo::kNoInformation);
    EXPECT_STREQ(o.info.program, KV_PROGRAM_VERSION);
    EXPECT_EQ(o.helpConnectors, 2);
    EXPECT_EQ(o.title, "Dravix Scope");
  });
}

// The engine-tester firmware file the build writes for the simulated board, named where the
// library looks for it.
void UseInstalledEngineTesterFirmware() {
  const std::string file = std::string(std::getenv("KV_BIN_DIR")) + "/../firmware/motortester.hex";
  ASSERT_TRUE(std::filesystem::exists(file)) << file;
  HKEY key = 0;
  ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, "Software\\KELO\\Kv310\\Parameter", &key), ERROR_SUCCESS);
  RegSetValueEx(key, "FirmwareMotortester", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                static_cast<DWORD>(file.size() + 1));
  RegCloseKey(key);
}

TEST(ProgramEndToEnd, EngineTesterGivesTabFourAndTenConnectors) {
  InChild([] {
    UseInstalledEngineTesterFirmware();
    Outcome o = StartProgram([](sim::BoardScenario& s) { s.engineTesterAttached = true; }, {}, nullptr);
    EXPECT_TRUE(o.devicePresent);
    EXPECT_TRUE(o.boxTexts.empty());
    EXPECT_EQ(o.firstTab, 4);
    EXPECT_EQ(o.helpConnectors, 10);
  });
}

TEST(ProgramEndToEnd, ReducedVariant) {
  InChild([] {
    Outcome o = StartProgram([](sim::BoardScenario& s) { s.hardwareByte = 1; }, {"osc"}, nullptr);
    EXPECT_EQ(o.title, "Corvane");
    EXPECT_EQ(o.firstTab, 1);
    if (o.enabled.size() != 10u) {
      ADD_FAILURE() << "no tab strip";
      return;
    }
    for (int tab = 0; tab < 10; ++tab) EXPECT_EQ(o.enabled[tab], (tab == 0 || tab == 5 || tab == 6) ? FALSE : TRUE) << tab;
  });
}

TEST(ProgramEndToEnd, SilentBoardGivesOneNoticeAndNoDevice) {
  InChild([] {
    Outcome o = StartProgram(
        [](sim::BoardScenario& s) {
          sim::CommandFault silence;
          silence.fault.kind = sim::FaultKind::Silence;
          for (int c = 0; c < 256; ++c) s.commandFaults[static_cast<uint8_t>(c)] = silence;
        },
        {}, "program_e2e_silent.png");
    EXPECT_FALSE(o.devicePresent);
    EXPECT_EQ(o.boxTexts, std::vector<std::string>{GetGlobalProps().GetText(10058)});
    EXPECT_STREQ(o.info.board, CWndInfo::kNoInformation);
    EXPECT_STREQ(o.info.motortester, CWndInfo::kNoInformation);
    EXPECT_EQ(o.firstTab, 0);
  });
}

}  // namespace
