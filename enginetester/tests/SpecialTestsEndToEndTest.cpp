// The special tests pane and its leak check end to end: the real measurement library on the
// simulated board behind the in-process link, on the headless display with the virtual clock.
// With the engine tester attached: four cylinders, a 500 A clamp on input 3 and the starter
// current of a weak cylinder; the recording, its blink, the bars, an abort, the board failing,
// printing. Without it: the reduced pages and a six-cylinder engine counted by the user. And the
// report of a run holding the all-cylinders item and the leak check's.
#include <enginetester/Motortester.h>
#include <ui/print/PrintItemType.h>
#include <enginetester/SpecialTests.h>

#include <ui/dialogs/CommentDlg.h>
#include <ui/dialogs/DialogResources.h>
#include <ui/dialogs/DlgTurnOn.h>
#include <ui/print/PrintDlg.h>
#include <ui/print/PrintQueue.h>

#include <core/GlobalProps.h>
#include <core/MotortesterData.h>
#include <core/Reg.h>
#include <core/TextIds.h>

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
#include <memory>
#include <string>
#include <vector>

namespace {

namespace hl = kvp::headless;

using ettest::Drive;
using ettest::NoCups;
using ettest::WithClock;

// The probe code the board reports for a 500 A current clamp.
constexpr uint8_t kClamp500A = 5;

class SpecialTestsEndToEndTest : public ettest::BoardTest {
 protected:
  void SetUp() override {
    ettest::BoardTest::SetUp();
    kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDOK; });
    CReg().WriteDword(HKEY_CURRENT_USER, CDlgTurnOn::kBehaviourKey, CDlgTurnOn::kShowMessage, 0);
    ui_dialogs::RegisterDialogTemplates();
  }
  void TearDown() override {
    if (special) WithClock([&] { special->m_leakCheck.StopLeakTest(); });
    special.reset();
    tester.reset();
    main.DestroyWindow();
    ettest::BoardTest::TearDown();
  }

  // The board, the library and the data object. With the engine tester: four cylinders at
  // 3000 rpm with cylinder 3 weak, in the sparks and in the starter current, on the board's
  // default probes (a 50 A clamp on input 2, a 500 A clamp on input 3). Without it: the cylinders
  // given, cylinder 2 weak, a 500 A clamp on channel B.
  void StandUp(bool engineTester, int cylinders = 4) {
    m_pBoard->Update([&](sim::BoardScenario& s) {
      RunningEngine(s, cylinders);
      s.engineTesterAttached = engineTester;
      s.channelProbeCodes[1] = kClamp500A;
      s.leak.weakCylinder = engineTester ? 3 : 2;
      s.leak.noiseCounts = 20.0;
    });
    main.CreateTop(0, 0, 1000, 720);
    ASSERT_NO_FATAL_FAILURE(OpenLink());
    int detected = -1;
    WithClock([&] { detected = m_Kelo.Motortester()->Detect(); });
    if (engineTester) {
      ASSERT_EQ(detected, 0);
    }
    Attach();
    ASSERT_EQ(GetMotortesterDevice()->IsReady() != FALSE, engineTester);
    if (!engineTester) return;
    ASSERT_NO_FATAL_FAILURE(ApplySpark(cylinders));
  }

  // The special tests pane as tab 5 of the main window, with the program's own probe check.
  void CreateSpecialTests() {
    special = std::make_unique<CWndSpecialTests>();
    special->m_leakCheck.SetLibrary(m_Kelo.MTLeakTest(), m_Kelo.Communication());
    ASSERT_TRUE(special->Create("SpecialTests", WS_CHILD, CRect(0, 0, 1000, 720), &main, 1020));
    special->Init();
    WithClock([&] { special->Activate(0); });
    hl::Pump();
  }
  void Press(int id) {
    ASSERT_TRUE(special->ButtonById(id)->IsWindowVisible()) << id << " on page " << special->Page();
    WithClock([&] { special->OnButtonClicked(id); });
    hl::Pump();
  }
  // The leak check's own button: "Start Test", or "Abort Test" while one runs.
  void ClickLeakButton() {
    CXPCtrlBtn& b = Leak().m_leakButton;
    CRect r;
    b.GetClientRect(&r);
    WithClock([&] {
      hl::Click(b.GetSafeHwnd(), r.CenterPoint());
      hl::Pump();
    });
  }
  // The leak check's page from the engine choice: Petrol, Next, "Test tesnosti".
  void OpenLeakCheckWithTheBoard() {
    ASSERT_EQ(special->Page(), 0);
    Press(CWndSpecialTests::kPetrol);
    Press(CWndSpecialTests::kNext);
    Press(CWndSpecialTests::kLeakCheck);
    ASSERT_EQ(special->Page(), 9) << "the probe check passes on the board's default probes";
  }
  CWndSpecialTest_LeakCheck& Leak() { return special->m_leakCheck; }

  std::vector<float> Results(int* count = nullptr) {
    int n = 0;
    float r[6] = {-1, -1, -1, -1, -1, -1};
    Leak().GetLeakResults(&n, &r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
    if (count) *count = n;
    return std::vector<float>(r, r + std::clamp(n, 0, 6));
  }
  // What the panel writes when it paints now.
  std::vector<std::string> Drawn() {
    kvp::StartTextLog();
    Leak().Redraw();
    kvp::StopTextLog();
    std::vector<std::string> out;
    for (const auto& t : kvp::DrawnTexts(Leak().GetSafeHwnd())) out.push_back(t.text);
    return out;
  }
  static bool Has(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  }
  void Save(const std::string& name) {
    special->RedrawWindow();
    hl::Pump();
    EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), kvtest::ScreenshotPath(name).c_str())) << name;
  }
  // Whether the board has been asked for the leak recording since the log was cleared.
  bool RecordingAsked() { return m_pBoard->CountRequests(0x22) > 0; }

  struct Watched {
    bool shown = false, hidden = false;  // "Starting Up" seen drawn, and seen gone, while running
  };
  // Starts a leak check and waits for its end.
  Watched RunLeakCheck() {
    ClickLeakButton();
    return WatchToTheEnd();
  }
  // Waits for the running check's end, watching the blink while the board records (and saving a
  // picture of the recording).
  Watched WatchToTheEnd(const char* runningPicture = nullptr) {
    Watched w;
    bool saved = runningPicture == nullptr;
    int phase = -1;  // the blink phase last looked at: paint once per phase
    EXPECT_TRUE(Drive([&] {
      if (!Leak().Running()) return true;
      const int now = Leak().Blink() ? 1 : 0;
      const bool wantPicture = now == 1 && !saved && RecordingAsked();
      if (now == phase && !wantPicture) return false;
      phase = now;
      const bool blink = Has(Drawn(), GetGlobalProps().GetText(kTextStartingUp));
      if (Leak().Running()) (blink ? w.shown : w.hidden) = true;
      if (blink && !saved && RecordingAsked()) {
        Save(runningPicture);
        saved = true;
      }
      return false;
    }));
    hl::Pump();
    return w;
  }

  // Prints from the pane and adds the pending item to the queue (the comment dialog's OK); the
  // check sees the pending item first.
  void PrintAndAdd(std::function<void()> print, std::function<void(const CPrintItemData&)> check = nullptr) {
    bool opened = false;
    kvtest::WhenOpen<CPrintDlg>([&](CPrintDlg& dlg) {
      opened = true;
      CPrintQueue::CPrintQueueItem* last = GetPrintQueue()->GetLastItem();
      if (!last || !last->data || last->queued) {
        ADD_FAILURE() << "no pending item";
        dlg.EndDialog(IDCANCEL);
        return;
      }
      if (check) check(*last->data);
      kvtest::WhenOpen<CCommentDlg>([](CCommentDlg& comment) { comment.EndDialog(IDOK); });
      XPCtrlBtnData add{};
      add.id = CPrintDlg::ID_ADD;
      add.enabled = 1;
      dlg.OnClick(&add, &dlg.m_BtnAdd);
    });
    print();
    hl::Pump();
    EXPECT_TRUE(opened) << "the print dialog opened";
  }

  // The title and the "name = value" pieces of the item's printed line.
  static void Fragments(const CPrintItemData& item, std::vector<std::string>& out) {
    CString title, line1, line2;
    ASSERT_TRUE(CPrintQueue::ItemTexts(item, title, line1, line2));
    out.push_back(title.GetString());
    std::string line = line1.GetString();
    for (size_t at = 0; at < line.size();) {
      const size_t start = line.find_first_not_of(' ', at);
      if (start == std::string::npos) break;
      size_t end = line.find("  ", start);
      if (end == std::string::npos) end = line.size();
      out.push_back(line.substr(start, end - start));
      at = end;
    }
  }

  kvp::HeadlessWorld world;
  ettest::TabsWindow main;
  std::unique_ptr<CWndMotortester> tester;
  std::unique_ptr<CWndSpecialTests> special;
};

TEST_F(SpecialTestsEndToEndTest, WithTheBoardTheLeakCheckFindsTheWeakCylinderAndPrintsIt) {
  ASSERT_NO_FATAL_FAILURE(StandUp(true));
  ASSERT_NO_FATAL_FAILURE(CreateSpecialTests());
  ASSERT_NO_FATAL_FAILURE(OpenLeakCheckWithTheBoard());
  EXPECT_FALSE(Leak().m_cylinderCount.IsWindowVisible()) << "the engine's count, not the user's";
  EXPECT_TRUE(main.tabs.empty());

  m_pBoard->ClearLog();
  ClickLeakButton();
  EXPECT_TRUE(Leak().Running());
  EXPECT_FALSE(Leak().m_cylinderCount.IsWindowEnabled());
  const Watched blink = WatchToTheEnd("leak-running");
  EXPECT_TRUE(blink.shown && blink.hidden) << "\"Starting Up\" blinks while the board records";
  // The 50 A clamp on input 2 is passed over: the recording is made on input 3.
  const auto requests = m_pBoard->RequestPayloads();
  EXPECT_NE(std::find(requests.begin(), requests.end(), sim::Bytes{0xC0, 1, 3}), requests.end());
  EXPECT_NE(std::find(requests.begin(), requests.end(), sim::Bytes{0x22, 1}), requests.end());

  int count = 0;
  const std::vector<float> results = Results(&count);
  ASSERT_EQ(count, 4);
  EXPECT_FALSE(Leak().ErrorShown());
  // The weakest first, clearly below the others.
  EXPECT_LT(results[0], 70.0f);
  for (int i = 1; i < 4; ++i) {
    EXPECT_GT(results[i], 90.0f) << i;
    EXPECT_LE(results[i], 100.0f) << i;
  }
  const auto texts = Drawn();
  for (float r : results) {
    CString label;
    label.Format("%.1f%%", r);
    EXPECT_TRUE(Has(texts, label.GetString())) << label.GetString();
  }
  EXPECT_FALSE(Has(texts, GetGlobalProps().GetText(kTextError)));
  Save("leak-result");

  // Print: the pending item of type 12 holds the count and the six results as shown.
  PrintAndAdd([&] { special->OnButtonClicked(CWndSpecialTests::kPrint); }, [&](const CPrintItemData& item) {
    EXPECT_EQ(item.GetType(), kPrintItemLeakCheck);
    EXPECT_EQ(item.Number(1), 4);
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(static_cast<float>(item.Value(i + 1)), results[i]) << i;
    EXPECT_EQ(item.Value(5), 0.0);
    EXPECT_EQ(item.Value(6), 0.0);
  });
  EXPECT_EQ(GetPrintQueue()->CountFilled(), 1);
}

TEST_F(SpecialTestsEndToEndTest, AnAbortDuringTheRecordingLeavesZeroBarsAndTheNextTestRuns) {
  ASSERT_NO_FATAL_FAILURE(StandUp(true));
  ASSERT_NO_FATAL_FAILURE(CreateSpecialTests());
  ASSERT_NO_FATAL_FAILURE(OpenLeakCheckWithTheBoard());
  m_pBoard->Update([](sim::BoardScenario& s) { s.leak.recordingPolls = 200; });
  m_pBoard->ClearLog();

  ClickLeakButton();
  ASSERT_TRUE(Leak().Running());
  ASSERT_TRUE(Drive([&] { return m_pBoard->CountRequests(0xFD) >= 3; })) << "the board is recording";
  ClickLeakButton();  // "Abort Test"
  EXPECT_FALSE(Leak().Running());
  hl::Pump();
  EXPECT_FALSE(Leak().ErrorShown()) << "an abort is not an error";
  EXPECT_EQ(Results(), std::vector<float>(4, 0.0f));
  const auto texts = Drawn();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string("0.0%")), 4);
  EXPECT_FALSE(Has(texts, GetGlobalProps().GetText(kTextError)));
  EXPECT_TRUE(Leak().m_cylinderCount.IsWindowEnabled());

  // Once the board has taken the abort, the link is usable again: the next test ends with the
  // weak cylinder's bar first.
  ASSERT_TRUE(Drive([&] { return m_Kelo.Communication()->GetState() == 2; }));
  m_pBoard->Update([](sim::BoardScenario& s) { s.leak.recordingPolls = 26; });
  RunLeakCheck();
  EXPECT_FALSE(Leak().ErrorShown());
  for (const auto& box : kvp::MessageBoxLog()) ADD_FAILURE() << box.text;
  const auto results = Results();
  ASSERT_EQ(results.size(), 4u);
  EXPECT_LT(results[0], 70.0f);
}

TEST_F(SpecialTestsEndToEndTest, ALeakCheckTheBoardFailsShowsErrorAndTheLinkIsRecovered) {
  struct Case {
    const char* what;
    uint8_t command;  // the request the fault hits
    sim::FaultKind fault;
    const char* picture;
  };
  const Case cases[] = {
      {"the board refuses the recording", 0x22, sim::FaultKind::Nack, "leak-error"},
      {"the board is silent to the input's set-up", 0x61, sim::FaultKind::Silence, nullptr},
  };
  ASSERT_NO_FATAL_FAILURE(StandUp(true));
  ASSERT_NO_FATAL_FAILURE(CreateSpecialTests());
  ASSERT_NO_FATAL_FAILURE(OpenLeakCheckWithTheBoard());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_pBoard->Update([&](sim::BoardScenario& s) {
      s.commandFaults.clear();
      s.commandFaults[c.command] = {sim::Fault{c.fault}, -1};
    });
    RunLeakCheck();
    EXPECT_TRUE(Leak().ErrorShown()) << "a dead link is not a finished test";
    EXPECT_EQ(Results(), std::vector<float>(4, 0.0f));
    const auto texts = Drawn();
    EXPECT_TRUE(Has(texts, GetGlobalProps().GetText(kTextError)));
    EXPECT_FALSE(Has(texts, "0.0%")) << "no bars under the error";
    if (c.picture) Save(c.picture);

    // The board answers again: the recovered link carries the next test to its results.
    m_pBoard->Update([](sim::BoardScenario& s) { s.commandFaults.clear(); });
    RunLeakCheck();
    EXPECT_FALSE(Leak().ErrorShown());
    const auto results = Results();
    ASSERT_EQ(results.size(), 4u);
    EXPECT_LT(results[0], 70.0f);
    EXPECT_GT(results[1], 90.0f);
  }
}

TEST_F(SpecialTestsEndToEndTest, WithoutTheBoardTheUsersSixCylindersGiveSixResults) {
  ASSERT_NO_FATAL_FAILURE(StandUp(false, 6));
  ASSERT_NO_FATAL_FAILURE(CreateSpecialTests());
  ASSERT_EQ(special->Page(), 6);
  Save("special-tests-noboard");
  for (int id : {CWndSpecialTests::kPetrol, CWndSpecialTests::kDiesel, CWndSpecialTests::kBack})
    EXPECT_FALSE(special->ButtonById(id)->IsWindowVisible()) << id;
  Press(CWndSpecialTests::kNext);
  Press(CWndSpecialTests::kLeakCheck);
  ASSERT_EQ(special->Page(), 9) << "the probe check passes with the clamp on channel B";
  ASSERT_TRUE(Leak().m_cylinderCount.IsWindowVisible());
  // The user counts six cylinders: up from 4 twice.
  for (int value : {5, 6}) {
    Leak().m_cylinderCount.record.value = value;
    Leak().m_cylinderCount.ReportValue();
  }
  ASSERT_EQ(Leak().CylinderCount(), 6);

  RunLeakCheck();
  EXPECT_FALSE(Leak().ErrorShown());
  int count = 0;
  const std::vector<float> results = Results(&count);
  ASSERT_EQ(count, 6);
  EXPECT_LT(results[0], 70.0f) << "the weak cylinder found among the six";
  for (int i = 1; i < 6; ++i) EXPECT_GT(results[i], 90.0f) << i;
  const auto texts = Drawn();
  for (float r : results) {
    CString label;
    label.Format("%.1f%%", r);
    EXPECT_TRUE(Has(texts, label.GetString())) << label.GetString();
  }
  Save("leak-result-noboard");

  PrintAndAdd([&] { special->OnButtonClicked(CWndSpecialTests::kPrint); }, [&](const CPrintItemData& item) {
    EXPECT_EQ(item.GetType(), kPrintItemLeakCheck);
    EXPECT_EQ(item.Number(1), 6);
    for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(static_cast<float>(item.Value(i + 1)), results[i]) << i;
  });
}

// One run on the board: all cylinders on the engine-tester pane, then the leak check on tab 5,
// each added to the queue from its print dialog; the report printed at the end holds both.
TEST_F(SpecialTestsEndToEndTest, TheReportOfARunHoldsAllCylindersAndTheLeakCheck) {
  NoCups cups;
  const std::string folder = std::string(std::getenv("HOME")) + "/et-reports";
  std::filesystem::create_directories(folder);
  CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\KV310Platform\\Printing", "PdfFolder", folder.c_str());
  GetPrintQueue()->m_strVehicle = "Test bench engine";
  GetPrintQueue()->m_strLicencePlate = "KV 310";

  ASSERT_NO_FATAL_FAILURE(StandUp(true));
  // Tab 4: Petrol, the secondary winding, all cylinders.
  ASSERT_NO_FATAL_FAILURE(CreateMotortester(tester, main));
  for (int id : {CWndMotortester::kPetrol, CWndMotortester::kSecondary, CWndMotortester::kAllCylinders}) {
    WithClock([&] { tester->OnButtonClicked(id); });
    hl::Pump();
  }
  ASSERT_NO_FATAL_FAILURE(WaitForAllCylinders(*tester));
  double shown[5] = {};
  std::vector<std::string> printed;  // what the report must carry: the items' value fragments
  PrintAndAdd([&] { tester->OnButtonClicked(CWndMotortester::kPrint); }, [&](const CPrintItemData& item) {
    EXPECT_EQ(item.GetType(), kPrintItemAllCylinders);
    for (int i = 0; i < 5; ++i) shown[i] = item.Value(i + 1);
    Fragments(item, printed);
  });
  EXPECT_NEAR(shown[2], 5000, 500) << "the weak cylinder's volts";
  EXPECT_NEAR(shown[4], 3000, 30);
  WithClock([&] { tester->Deactivate(); });

  // Tab 5: the leak check.
  ASSERT_NO_FATAL_FAILURE(CreateSpecialTests());
  ASSERT_NO_FATAL_FAILURE(OpenLeakCheckWithTheBoard());
  RunLeakCheck();
  ASSERT_FALSE(Leak().ErrorShown());
  const std::vector<float> leak = Results();
  PrintAndAdd([&] { special->OnButtonClicked(CWndSpecialTests::kPrint); },
              [&](const CPrintItemData& item) { Fragments(item, printed); });
  ASSERT_EQ(GetPrintQueue()->CountFilled(), 2);

  const std::string lastBefore = kvp::print::LastPdfFile();
  GetPrintQueue()->PrintReport();
  const std::string pdf = kvp::print::LastPdfFile();
  ASSERT_NE(pdf, lastBefore) << "a report was printed";
  std::string kept = kvtest::ScreenshotPath("et-report");
  kept.replace(kept.size() - 4, 4, ".pdf");
  std::filesystem::copy_file(pdf, kept, std::filesystem::copy_options::overwrite_existing);

  const std::string text = kvtest::CommandOutput("pdftotext -layout '" + pdf + "' - 2>/dev/null");
  ASSERT_EQ(printed.size(), 2u + 5u + 4u) << "two titles, five values of all cylinders, four leak results";
  printed.push_back("Test bench engine");
  for (const std::string& e : printed) EXPECT_NE(text.find(e), std::string::npos) << e << "\n" << text;
  EXPECT_NE(text.find(GetGlobalProps().GetText(kTextHighVoltageAllCylindersMeasure)), std::string::npos);
  EXPECT_NE(text.find(GetGlobalProps().GetText(kTextLeakCylindersMeasure)), std::string::npos);
  for (int i = 0; i < 4; ++i) {
    CString result;
    result.Format("%d = %.1f%%", i + 1, leak[i]);
    EXPECT_NE(text.find(result.GetString()), std::string::npos) << result.GetString();
  }
}

}  // namespace
