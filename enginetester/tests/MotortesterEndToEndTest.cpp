// The engine-tester pane end to end: the real measurement library on the simulated board behind
// the in-process link, the engine tester attached, four cylinders at 3000 rpm with cylinder 3 weak
// (5 kV of 10), on the headless display with the virtual clock. Petrol, the secondary winding menu
// and all cylinders through the pane's own buttons, then the switch to the scope; the printed
// report of all cylinders, the probe message, the parameters' Set and Reset, and the board's
// refusal of the variant reference probe.
#include <enginetester/Motortester.h>
#include <enginetester/PanelCommon.h>
#include <ui/print/PrintItemType.h>

#include <ui/dialogs/CommentDlg.h>
#include <ui/dialogs/DialogResources.h>
#include <ui/dialogs/MessageDlg.h>
#include <ui/print/PrintDlg.h>
#include <ui/print/PrintQueue.h>

#include <core/ColorScheme.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>
#include <core/Reg.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Screenshots.h>
#include <kvtest/Shell.h>
#include <kvtest/WhenOpen.h>

#include <platform/display.h>
#include <platform/print.h>
#include <platform/registry.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include <sim/ZlinkSim.h>

#include "EtBoardFixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace hl = kvp::headless;

// A click in the middle of a button, posted: it is handled by the loop of the dialog that is open
// then, so a dialog the click opens runs its own loop.
void PostClick(CWnd& button) {
  CRect r;
  ::GetClientRect(button.GetSafeHwnd(), &r);
  const LPARAM at = MAKELPARAM(r.Width() / 2, r.Height() / 2);
  ::PostMessage(button.GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessage(button.GetSafeHwnd(), WM_LBUTTONUP, 0, at);
}

using ettest::ClickCentre;
using ettest::Drive;
using ettest::NoCups;
using ettest::WithClock;

class MotortesterEndToEndTest : public ettest::BoardTest {
 protected:
  void SetUp() override {
    ettest::BoardTest::SetUp();
    m_pBoard->Update([](sim::BoardScenario& s) { RunningEngine(s); });
    main.CreateTop(0, 0, 1000, 720);
    ASSERT_NO_FATAL_FAILURE(StandUp());
  }
  void TearDown() override {
    pane.reset();
    main.DestroyWindow();
    ettest::BoardTest::TearDown();
  }

  void CreatePane(bool scriptedProbes = false) { CreateMotortester(pane, main, scriptedProbes); }
  void Press(int id) {
    ASSERT_TRUE(pane->ButtonById(id)->IsWindowVisible()) << id << " on page " << pane->Page();
    WithClock([&] { pane->OnButtonClicked(id); });
    hl::Pump();
  }
  // Petrol, the secondary winding, all cylinders; waits until the panel shows all four cylinders
  // and the speed.
  void MeasureAllCylinders() {
    Press(CWndMotortester::kPetrol);
    Press(CWndMotortester::kSecondary);
    Press(CWndMotortester::kAllCylinders);
    WaitForAllCylinders(*pane);
  }

  kvp::HeadlessWorld world;
  ettest::TabsWindow main;
  std::unique_ptr<CWndMotortester> pane;
};

TEST_F(MotortesterEndToEndTest, AllCylindersAndGraph) {
  CreatePane();
  Press(CWndMotortester::kPetrol);
  Press(CWndMotortester::kSecondary);
  EXPECT_EQ(pane->Page(), 7);
  EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), kvtest::ScreenshotPath("et-pane-secondary-board").c_str()));
  Press(CWndMotortester::kAllCylinders);
  ASSERT_NO_FATAL_FAILURE(WaitForAllCylinders(*pane));
  CWndMotortester_AllCylinders& panel = pane->m_AllCylinders;
  const auto shown = panel.GetPrintValues();
  for (int i : {0, 1, 3}) EXPECT_NEAR(shown.values[i], 10000, 800) << i;
  EXPECT_NEAR(shown.values[2], 5000, 500);
  EXPECT_NEAR(shown.speed, 3000, 30);
  pane->RedrawWindow();
  hl::Pump();
  EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), kvtest::ScreenshotPath("et-pane-kv-all-board").c_str()));

  // What "Print" puts in the queue item: the four voltages and the speed as shown, the weak one 5 kV.
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

// Every measurement of the pane on the probes the simulated board has by default: the program's
// own probe check asks the board and lets each choice through to its page, without asking the
// user to connect anything.
TEST_F(MotortesterEndToEndTest, TheDefaultProbesPassEveryMeasurementsProbeCheck) {
  using P = CWndMotortester;
  struct Case {
    const char* name;
    std::vector<int> path;
    int page;
  };
  const Case cases[] = {
      {"advance", {P::kPetrol, P::kAdvance}, 4},
      {"voltage and current", {P::kPetrol, P::kVoltCurrent}, 5},
      {"thermometer", {P::kPetrol, P::kThermometer}, 9},
      {"dwell angle", {P::kPetrol, P::kPrimary, P::kDwell}, 16},
      {"single cylinder", {P::kPetrol, P::kSecondary, P::kOneCylinder}, 11},
      {"all cylinders", {P::kPetrol, P::kSecondary, P::kAllCylinders}, 12},
      {"selected cylinder", {P::kPetrol, P::kSecondary, P::kSelectedCylinder}, 13},
      {"preinjection", {P::kDiesel, P::kPreinjection}, 17},
      {"diesel voltage and current", {P::kDiesel, P::kDieselVoltCurrent}, 18},
      {"diesel thermometer", {P::kDiesel, P::kDieselThermometer}, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CreatePane();
    int asked = 0;
    pane->SetInstructionDialog([&] { return ++asked, INT_PTR{IDCANCEL}; });
    for (int id : c.path) Press(id);
    EXPECT_EQ(asked, 0) << "the user was asked to connect probes";
    EXPECT_EQ(pane->Page(), c.page);
    WithClock([&] { pane->Deactivate(); });
    pane.reset();
  }
}

// Print on the all-cylinders page: the all-cylinders item holds the four voltages and the speed the
// panel shows; added with a comment, the next print makes a PDF report of it, read back with
// poppler and kept for people.
TEST_F(MotortesterEndToEndTest, AllCylindersPrintToAPdfReport) {
  ASSERT_TRUE(kvtest::HaveTool("pdftotext"));
  ui_dialogs::RegisterDialogTemplates();
  NoCups cups;
  const std::string folder = std::string(std::getenv("HOME")) + "/et-pane-reports";
  std::filesystem::create_directories(folder);
  CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\KV310Platform\\Printing", "PdfFolder", folder.c_str());
  CPrintQueue* queue = GetPrintQueue();
  queue->m_strVehicle = "Test bench car";
  queue->m_strLicencePlate = "KV 310";

  CreatePane();
  ASSERT_NO_FATAL_FAILURE(MeasureAllCylinders());
  // The pending item as the print dialog finds it, then Add with a comment.
  int type = -1;
  double item[6] = {};
  kvtest::WhenOpen<CPrintDlg>([&](CPrintDlg& dlg) {
    if (const CPrintQueue::CPrintQueueItem* last = queue->GetLastItem(); last && last->data && !last->queued) {
      type = last->data->GetType();
      for (int i = 0; i < 6; ++i) item[i] = last->data->Value(i + 1);
    }
    PostClick(dlg.m_BtnAdd);
    kvtest::WhenOpen<CCommentDlg>([](CCommentDlg& comment) {
      ::SetDlgItemText(comment.GetSafeHwnd(), 1050, "Cylinder 3 weak");
      ClickCentre(comment.m_BtnOK);
    });
  });
  Press(CWndMotortester::kPrint);
  ASSERT_EQ(type, kPrintItemAllCylinders);
  // Volts, as the panel shows them; the fifth value is the speed.
  for (int i : {0, 1, 3}) EXPECT_NEAR(item[i], 10000, 800) << i;
  EXPECT_NEAR(item[2], 5000, 500);
  EXPECT_NEAR(item[4], 3000, 30);
  EXPECT_EQ(item[5], 0.0);
  ASSERT_EQ(queue->CountFilled(), 1);

  // The next print prints the queue and drops its own pending item.
  const std::string lastBefore = kvp::print::LastPdfFile();
  kvtest::WhenOpen<CPrintDlg>([](CPrintDlg& dlg) { ClickCentre(dlg.m_BtnPrint); });
  Press(CWndMotortester::kPrint);
  WithClock([&] { pane->Deactivate(); });
  EXPECT_EQ(queue->GetCount(), 1);

  const std::string pdf = kvp::print::LastPdfFile();
  ASSERT_NE(pdf, lastBefore) << "a report was printed";
  const std::string text = kvtest::CommandOutput("pdftotext -layout '" + pdf + "' - 2>/dev/null");
  for (const char* expected : {"Measure of high-voltage all cylinders", "Test bench car", "Cylinder 3 weak"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  // One line with the four voltages in kV and the speed, as the item holds them.
  const std::regex line(R"(first = ([0-9.]+)kV\s+second = ([0-9.]+)kV\s+third = ([0-9.]+)kV\s+)"
                        R"(fourth = ([0-9.]+)kV\s+Speed = ([0-9]+) RPM)");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(text, m, line)) << text;
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(std::stod(m[i + 1].str()), item[i] / 1000.0, 0.051) << i;
  EXPECT_NEAR(std::stoi(m[5].str()), item[4], 1.0);
  EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator()), 1)
      << "the pending item of the second print is not printed";

  const char* artifacts = std::getenv("KV_ARTIFACT_DIR");
  ASSERT_NE(artifacts, nullptr);
  std::filesystem::create_directories(artifacts);
  std::filesystem::copy_file(pdf, std::string(artifacts) + "/et-pane-report.pdf",
                             std::filesystem::copy_options::overwrite_existing);
}

// All cylinders without the reference probe: the probe message opens over the pane, and its OK
// asks the board again. Connected meanwhile, the measurement goes on; still missing, the choice
// ends on the menu.
TEST_F(MotortesterEndToEndTest, AllCylindersWithoutTheReferenceProbe) {
  ui_dialogs::RegisterDialogTemplates();
  struct Case {
    const char* name;
    bool connectWhileOpen;
    int page;
  } cases[] = {
      {"connected while the message is open", true, 12},
      {"still missing", false, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The probes of the measurement on the board, but no reference probe on input 4.
    m_pBoard->Update([](sim::BoardScenario& s) {
      s.inputProbeCodes[4] = 0;
      s.inputProbeCodes[9] = 85;
    });
    CreatePane();
    Press(CWndMotortester::kPetrol);
    Press(CWndMotortester::kSecondary);
    int opened = 0;
    kvtest::WhenOpen<CMessageDlg>([&](CMessageDlg& dlg) {
      ++opened;
      dlg.RedrawWindow();
      if (c.connectWhileOpen) {
        EXPECT_TRUE(kvp::SaveWindowPng(dlg.GetSafeHwnd(), kvtest::ScreenshotPath("et-pane-probes-missing").c_str()));
        m_pBoard->Update([](sim::BoardScenario& s) { s.inputProbeCodes[4] = 36; });
      }
      ClickCentre(dlg.m_BtnOK);
    });
    Press(CWndMotortester::kAllCylinders);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(pane->Page(), c.page);
    EXPECT_EQ(pane->m_AllCylinders.IsWindowVisible() != FALSE, c.page == 12);
    WithClock([&] { pane->Deactivate(); });
    pane.reset();
  }
}

// The parameters page over the real library: Reset brings the library's defaults into the
// controls; Set hands the values to the library, says so for two seconds and stores them in the
// user's registry.
TEST_F(MotortesterEndToEndTest, ParamsResetAndSet) {
  using P = CWndMotortester_Params;
  CMotortesterData* data = GetMotortesterDevice();
  EngineParameterBlock defaults{};
  ASSERT_EQ(m_Kelo.Motortester()->GetDefaultParams(&defaults), 0);
  CreatePane();
  Press(CWndMotortester::kPetrol);
  Press(CWndMotortester::kParams);
  ASSERT_EQ(pane->Page(), 3);
  CRepeatCtrl* cylinders = pane->m_Params.Control(P::ID_CYLINDERS);
  ASSERT_TRUE(cylinders->IsWindowVisible());
  const auto step = [&](int times) {
    for (int i = 0; i < times; ++i) {
      StepValueUp(&cylinders->record, cylinders->record.step);
      cylinders->ReportValue();
    }
  };
  // Reset: the library's default count, in the control and the data object.
  data->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, defaults.sparkNumberCylinders);
  pane->m_Params.Reload();
  step(2);
  ASSERT_EQ(data->GetNumberCylinders(CMotortesterData::ENGINE_SPARK), defaults.sparkNumberCylinders + 2);
  Press(CWndMotortester::kReset);
  EXPECT_EQ(static_cast<int>(cylinders->record.value), defaults.sparkNumberCylinders);
  EXPECT_EQ(data->GetNumberCylinders(CMotortesterData::ENGINE_SPARK), defaults.sparkNumberCylinders);

  // Set: the library takes the new count, the title says so, the registry holds it.
  step(1);
  const int wanted = defaults.sparkNumberCylinders + 1;
  kvp::StartTextLog();
  Press(CWndMotortester::kSet);
  hl::Pump();
  CXPCtrlBtn* title = pane->ButtonById(CWndMotortester::kSetParamsTitle);
  EXPECT_TRUE(title->IsWindowVisible());
  bool drawn = false;
  for (const kvp::DrawnText& t : kvp::DrawnTexts(title->GetSafeHwnd())) drawn |= t.text == "Params were successfully setting.";
  kvp::StopTextLog();
  EXPECT_TRUE(drawn);
  // And seen: the note lies over the parameters panel, in the title colour.
  CRect note;
  title->GetWindowRect(&note);
  main.ScreenToClient(&note);
  int noteText = 0;
  for (int x = note.left; x < note.right; ++x)
    noteText += kvp::WindowPixel(main.GetSafeHwnd(), x, note.CenterPoint().y) == GetSchemeColor(et::kTitleTextScheme);
  EXPECT_GT(noteText, 0);
  EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), kvtest::ScreenshotPath("et-pane-params-set").c_str()));
  EngineParameterBlock taken{};
  taken.engineType = CMotortesterData::ENGINE_SPARK;
  ASSERT_EQ(m_Kelo.Motortester()->GetAllParams(&taken), 0);
  EXPECT_EQ(taken.sparkNumberCylinders, wanted);
  DWORD stored = 0;
  EXPECT_EQ(CReg().ReadDword(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter\\Spark", "NumberCylinders", stored),
            CReg::OK);
  EXPECT_EQ(static_cast<int>(stored), wanted);
  hl::Advance(CWndMotortester::SET_TITLE_MS);
  EXPECT_FALSE(title->IsWindowVisible());
}

// A six-cylinder engine on "All cylinders": the board sends a pair of samples per cylinder while
// the meter reports at most four cylinders, so it refuses the frame's values; the panel shows its
// error state with the engine speed and draws no bars, batch after batch.
TEST_F(MotortesterEndToEndTest, AllCylindersOfASixCylinderEngineShowsTheErrorState) {
  m_pBoard->Update([](sim::BoardScenario& s) { s.engine.cylinders = 6; });
  ASSERT_NO_FATAL_FAILURE(ApplySpark(6));
  CreatePane();
  Press(CWndMotortester::kPetrol);
  Press(CWndMotortester::kSecondary);
  Press(CWndMotortester::kAllCylinders);
  ASSERT_EQ(pane->Page(), 12);
  CWndMotortester_AllCylinders& panel = pane->m_AllCylinders;
  using S = HiVoltageBatchState;
  int batches = 0;
  int last = panel.State().running.load();
  ASSERT_TRUE(Drive([&] {
    const int now = panel.State().running.load();
    if (last == 1 && now == 0) {
      ++batches;
      EXPECT_EQ(panel.State().status.load(), S::STATUS_ERROR) << "batch " << batches;
    }
    last = now;
    return batches >= 3;
  }));
  EXPECT_NEAR(panel.State().speed.load(), 3000, 30);
  kvp::StartTextLog();
  panel.Redraw();
  std::vector<std::string> texts;
  int barValues = 0;  // the values above the bars, bottom-aligned unlike the scale's labels
  for (const kvp::DrawnText& t : kvp::DrawnTexts(panel.GetSafeHwnd())) {
    texts.push_back(t.text);
    barValues += (t.flags & DT_BOTTOM) && !t.text.empty() && t.text.back() == 'V';
  }
  kvp::StopTextLog();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Error"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "3000 RPM"), texts.end());
  EXPECT_EQ(barValues, 0);
  for (const char* cylinder : {"1", "2", "3", "4"})
    EXPECT_EQ(std::find(texts.begin(), texts.end(), cylinder), texts.end()) << cylinder;
  WithClock([&] { pane->Deactivate(); });
}

// The variant reference probe (code 67) works only with a wasted-spark coil on four cylinders:
// on six, the board refuses the all-cylinders measurement, the panel says "Bad params of engine!"
// and the pane opens the parameters page.
TEST_F(MotortesterEndToEndTest, VariantReferenceProbeOnSixCylindersOpensTheParams) {
  std::vector<kvp::MessageBoxCall> boxes;
  kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& call) {
    boxes.push_back(call);
    return IDOK;
  });
  m_pBoard->Update([](sim::BoardScenario& s) {
    s.inputProbeCodes[4] = 67;
    s.engine.cylinders = 6;
  });
  CMotortesterData* data = GetMotortesterDevice();
  data->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, 6);
  ASSERT_EQ(data->ApplyMotortesterParams(CMotortesterData::ENGINE_SPARK), 0);
  // The probe check would stop at the variant probe already; the board's refusal is what is shown.
  CreatePane(true);
  Press(CWndMotortester::kPetrol);
  Press(CWndMotortester::kSecondary);
  EXPECT_EQ(pane->ReferenceProbeCode(), 112);
  Press(CWndMotortester::kAllCylinders);
  ASSERT_TRUE(Drive([&] { return pane->Page() == 3; })) << "page " << pane->Page();
  kvp::SetMessageBoxResponder(nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Bad params of engine!");
  EXPECT_TRUE(boxes[0].type & MB_ICONEXCLAMATION);
  EXPECT_EQ(pane->LayoutCode(), 70);
  EXPECT_TRUE(pane->m_Params.IsWindowVisible());
  EXPECT_FALSE(pane->m_AllCylinders.IsWindowVisible());
  EXPECT_EQ(pane->m_AllCylinders.GetPrintValues().count, 0) << "no values measured";
}

}  // namespace
