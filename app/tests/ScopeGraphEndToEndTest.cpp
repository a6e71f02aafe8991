// The scope after "Graph" on an engine-tester kV page, in the program on the real library over the
// in-process simulated board with the engine tester: the scope has run with a test lead on
// channel A, the kV page brings the high-voltage probe, whose board accepts other ranges; the
// scope opened by "Graph" measures with that probe (records arrive, no box, no error line).
#include <gtest/gtest.h>

#include "KELOApp.h"

#include "LinkTestSupport.h"

#include <scope/DataPath.h>
#include <scope/pane/WndOscPane.h>

#include <enginetester/Motortester.h>

#include <ui/MainWndDlg.h>

#include <core/DeviceStartup.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>
#include <core/ResourceHolder.h>

#include <platform/clock.h>
#include <platform/display.h>
#include <platform/registry.h>
#include <platform/window.h>

#include <kvtest/Pump.h>
#include <kvtest/Screenshots.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The program starts once per process (its engine shuts down once): the run happens in a child
// process, which reports its failures as they happen and exits with 1 after any.
void InChild(const std::function<void()>& run) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    run();
    std::fflush(nullptr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status)) << "the child ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
}

// The engine-tester firmware file the build writes for the simulated board, where the library
// looks for it.
void UseInstalledEngineTesterFirmware() {
  const std::string file = std::string(std::getenv("KV_BIN_DIR")) + "/../firmware/motortester.hex";
  ASSERT_TRUE(std::filesystem::exists(file)) << file;
  HKEY key = 0;
  ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, "Software\\KELO\\Kv310\\Parameter", &key), ERROR_SUCCESS);
  RegSetValueEx(key, "FirmwareMotortester", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                static_cast<DWORD>(file.size() + 1));
  RegCloseKey(key);
}

// A running four-cylinder petrol engine on the engine tester, with the probes the kV pages ask
// for (the high-voltage reference probe on input 4, the kV probes on input 9); `doubleSparkCoil`:
// one coil fires two cylinders.
void RunningEngine(sim::BoardScenario& s, bool doubleSparkCoil) {
  s.engineTesterAttached = true;
  s.instantAcquisition = false;
  s.engine.rpm = 3000;
  s.engine.cylinders = 4;
  s.engine.sparkKilovolts = 10.0;
  s.engine.batteryVolts = 13.8;
  s.inputProbeCodes[4] = 36;
  s.inputProbeCodes[9] = 85;
  s.engine.wastedSpark = doubleSparkCoil;
}

// Runs the program's start with the splash replaced by its worker's steps and `drive` working the
// main window; every message box is answered OK and its text kept in `boxes`.
void RunProgram(bool doubleSparkCoil, const std::function<void(CMainWndDlg&)>& drive,
                std::vector<std::string>& boxes) {
  kvp::ClockUseVirtual(false);
  kvp::OpenHeadlessDisplay(1024, 768);
  kv310::testing::SetLinkLibrary("zlinksim.dll");
  kv310::testing::SetSerialBlockSizeValue(-1);
  {
    kv310::testing::ZlinkSimBoard zlink;
    zlink.Board().Reset();
    zlink.Board().Update([&](sim::BoardScenario& s) { RunningEngine(s, doubleSparkCoil); });
    GetMeasureType().m_nMeasureType = 0;
    GetGlobalProps().m_bInitialized = 0;
    GetMotortesterDevice()->Reset();
    kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& box) {
      boxes.push_back(box.text);
      return IDOK;
    });
    CKELOApp app;
    app.args = {"osc"};
    app.sleep = [](DWORD) {};
    app.runSplash = [] {
      RunDeviceStartup(GetGlobalProps(), 0);
      GetResourceHolder().LoadResources();
      return INT_PTR{IDOK};
    };
    app.runMain = [&](CMainWndDlg& main) {
      EXPECT_TRUE(main.Create(IDD_MAINWND, nullptr));
      drive(main);
      StopMeasurement();
      GetMeasureEngine().StopAcquisitionThread();
      kvp::headless::Pump();
      main.DestroyWindow();
      return INT_PTR{IDCANCEL};
    };
    EXPECT_FALSE(app.InitInstance());
    kvp::SetMessageBoxResponder(nullptr);
    GetMotortesterDevice()->Reset();
  }
  kvp::CloseDisplay();
}

// Records of channel A measured with the probe of `kind` have reached the display.
bool MeasuresWith(int kind) {
  const OscMeasureRecord& shown = GetCursorSettings();
  CMeasureList& traces = GetTraceList();
  return GetGlobalProps().m_bRunning && shown.m_Settings.m_Channels[0].m_Ranges.m_nKind == kind &&
         traces.GetSize() > 0 && traces[0]->m_bValid && traces[0]->GetCount() > 0;
}

std::string ReadFile(const char* path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The test lead's probe on channel A of the scope, and the 25 kV probe the kV pages use.
constexpr int kTestLeadKind = 1;
constexpr int kHighVoltageKind = 11;

// The range index the engine-tester oscilloscope holds for channel A.
int LibraryRangeIndex() {
  IMTOscilloscope_7* osc = GetMeasureEngine().GetBinding().MTOscilloscope();
  uint16_t index = 0xFFFF;
  if (!osc || osc->GetRangeIndex(0, &index) != 0) return -1;
  return index;
}

void PumpFor(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  kvtest::PumpUntil([&] { return std::chrono::steady_clock::now() >= end; }, ms / 1000 + 5);
}

TEST(ScopeAfterGraph, AKilovoltPageGraphOpensAMeasuringScope) {
  struct Case {
    const char* name;
    bool doubleSparkCoil;
    int measurement;  // the button of the kV page
    int page;
    int measureType;
    int segments;
    const char* screenshot;
  } cases[] = {
      {"all cylinders", false, CWndMotortester::kAllCylinders, 12, 8, 4, "scope-after-kv-graph"},
      {"single cylinder, double-spark coil", true, CWndMotortester::kOneCylinder, 14, 10, 2, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InChild([&] {
      UseInstalledEngineTesterFirmware();
      std::vector<std::string> boxes;
      RunProgram(
          c.doubleSparkCoil,
          [&](CMainWndDlg& main) {
            auto* scopePane = dynamic_cast<scope::CWndOscPane*>(main.Pane(0));
            auto* tester = dynamic_cast<CWndMotortester*>(main.Pane(4));
            ASSERT_NE(scopePane, nullptr);
            ASSERT_NE(tester, nullptr);
            ASSERT_TRUE(GetMotortesterDevice()->IsReady()) << "the engine-tester path";
            // The scope runs on its own preset with the test lead on channel A.
            ASSERT_EQ(main.SelectedTab(), 0);
            ASSERT_TRUE(kvtest::PumpUntil([] { return MeasuresWith(kTestLeadKind); }, 30));

            // Engine tester: petrol, secondary winding, the kV page, then "Graph".
            main.SendMessage(WM_SELECTTAB, 4);
            kvp::headless::Pump();
            ASSERT_EQ(main.SelectedTab(), 4);
            tester->OnButtonClicked(CWndMotortester::kPetrol);
            kvp::headless::Pump();
            if (c.doubleSparkCoil) {
              CMotortesterData* data = GetMotortesterDevice();
              data->SetCoilType(CMotortesterData::ENGINE_SPARK, 1);
              ASSERT_EQ(data->ApplyMotortesterParams(CMotortesterData::ENGINE_SPARK), 0);
            }
            for (int id : {static_cast<int>(CWndMotortester::kSecondary), c.measurement}) {
              tester->OnButtonClicked(id);
              kvp::headless::Pump();
            }
            ASSERT_EQ(tester->Page(), c.page) << (boxes.empty() ? "" : boxes.back());
            PumpFor(500);  // the page measures a while
            tester->OnButtonClicked(CWndMotortester::kGraph);
            ASSERT_TRUE(kvtest::PumpUntil([&] { return main.SelectedTab() == 0; }, 10));
            EXPECT_EQ(GetMeasureType().m_nMeasureType.load(), c.measureType);

            // The scope measures with the high-voltage probe, on a range that probe accepts.
            EXPECT_TRUE(kvtest::PumpUntil([] { return MeasuresWith(kHighVoltageKind); }, 30))
                << "kind " << GetCursorSettings().m_Settings.m_Channels[0].m_Ranges.m_nKind;
            const CChannelProps& a = GetGlobalProps().m_Channels[0];
            EXPECT_GE(a.m_nRangeIndex, a.m_Ranges.m_nRangeLow);
            EXPECT_LE(a.m_nRangeIndex, a.m_Ranges.m_nRangeHigh);
            EXPECT_EQ(LibraryRangeIndex(), a.m_nRangeIndex);
            // The chart divides the record into the cylinders it was read for.
            EXPECT_EQ(GetMeasureType().m_nSegmentCount.load(), c.segments);
            if (c.screenshot) {
              scopePane->RedrawAll();
              kvp::headless::Pump();
              EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), kvtest::ScreenshotPath(c.screenshot).c_str()));
            }
          },
          boxes);
      std::string texts;
      for (const std::string& b : boxes) texts += b + " | ";
      EXPECT_TRUE(boxes.empty()) << texts;
      EXPECT_EQ(ReadFile(scope::kOscErrorLogName), "");
    });
  }
}

}  // namespace
