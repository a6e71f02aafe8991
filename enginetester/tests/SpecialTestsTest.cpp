// The special tests pane on the headless display with the virtual clock: pages and navigation
// with and without the engine-tester board, the component tests and presets with their probe
// check, the leak check page, printing, and the leak check across tab changes.
#include <ui/print/PrintItemType.h>
#include <enginetester/SpecialTests.h>

#include <ui/dialogs/DialogResources.h>
#include <ui/print/PrintQueue.h>

#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>
#include <core/Notify.h>
#include <core/Reg.h>

#include <ui/dialogs/DlgTurnOn.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Pump.h>
#include <kvtest/Screenshots.h>

#include <platform/display.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "EtTestSupport.h"

namespace {

namespace hl = kvp::headless;

struct Sink : ISystemNotify {
  std::vector<std::tuple<int, int, int>> seen;
  void OnSystemNotify(notify::Sender sender, notify::Code code, int value) override {
    seen.emplace_back(notify::ToInt(sender), notify::ToInt(code), value);
  }
};

struct ReadyBoard final : ettest::StubMotortester_6 {
  bool IsReady() override { return true; }
};

class SpecialTestsTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDOK; });
    host.CreateTop(0, 0, 800, 600);
    SetSystemNotify(&sink);
  }
  void TearDown() override {
    pane.reset();
    host.DestroyWindow();
    GetMotortesterDevice()->SetInterfaces(nullptr, nullptr, nullptr);
    GetPrintQueue()->Clear();
    kvtest::CoreTest::TearDown();
  }
  void Create(bool board) {
    if (board) GetMotortesterDevice()->SetInterfaces(&readyBoard, nullptr, nullptr);
    pane = std::make_unique<CWndSpecialTests>();
    pane->SetProbeCheck([this](int id) {
      checked.push_back(id);
      return probesThere;
    });
    ASSERT_TRUE(pane->Create("SpecialTests", WS_CHILD, CRect(0, 0, 780, 580), &host, 1020));
    pane->Init();
    pane->Activate(-1);
    hl::Pump();
  }
  void Press(int id) {
    CXPCtrlBtn* b = pane->ButtonById(id);
    ASSERT_TRUE(b->IsWindowVisible()) << "button " << id << " is not on page " << pane->Page();
    CRect r;
    b->GetClientRect(&r);
    hl::Click(b->GetSafeHwnd(), r.CenterPoint());
  }
  // The ids of the visible buttons (the title included) and 29 for the leak panel.
  std::set<int> Visible() {
    std::set<int> ids;
    for (int id : CWndSpecialTests::kButtonIds)
      if (pane->ButtonById(id)->IsWindowVisible()) ids.insert(id);
    if (pane->m_leakCheck.IsWindowVisible()) ids.insert(29);
    return ids;
  }

  kvp::HeadlessWorld world;
  ettest::TabsWindow host;
  Sink sink;
  ReadyBoard readyBoard;
  std::unique_ptr<CWndSpecialTests> pane;
  std::vector<int> checked;
  bool probesThere = true;
};

TEST_F(SpecialTestsTest, PagesAndNavigationWithTheBoard) {
  Create(true);
  struct Step {
    int press;  // -1: none
    int page, layout;
    std::set<int> shown;
  };
  const std::vector<Step> steps = {
      {-1, 0, 0, {0, 1, 2}},
      {1, 1, 4160, {0, 5, 6, 8, 7, 9, 4, 10, 11, 12, 28, 26}},
      {26, 2, 12352, {0, 19, 17, 15, 18, 3, 20, 13, 14, 16, 27, 28, 26}},
      {26, 3, 8256, {0, 21, 22, 27, 28}},
      {27, 2, 12352, {0, 19, 17, 15, 18, 3, 20, 13, 14, 16, 27, 28, 26}},
      {27, 1, 4160, {0, 5, 6, 8, 7, 9, 4, 10, 11, 12, 28, 26}},
      {28, 0, 0, {0, 1, 2}},
      {2, 4, 64, {0, 19, 17, 8, 18, 3, 20, 23, 24, 28}},
      {20, 9, 2112, {29, 28, 30}},
      {28, 4, 64, {0, 19, 17, 8, 18, 3, 20, 23, 24, 28}},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.press);
    if (s.press >= 0) Press(s.press);
    EXPECT_EQ(pane->Page(), s.page);
    EXPECT_EQ(pane->LayoutCode(), s.layout);
    EXPECT_EQ(Visible(), s.shown);
  }
}

TEST_F(SpecialTestsTest, WithoutTheBoardTheReducedPagesNeverOfferEngineChoiceOrBack) {
  Create(false);
  EXPECT_EQ(pane->Page(), 6);
  EXPECT_EQ(pane->LayoutCode(), 4096);
  const std::vector<std::pair<int, int>> walk = {{26, 7}, {26, 8}, {27, 7}, {27, 6}};
  for (auto [button, page] : walk) {
    for (int id : {1, 2, 28}) EXPECT_FALSE(pane->ButtonById(id)->IsWindowVisible()) << id << " on " << pane->Page();
    Press(button);
    EXPECT_EQ(pane->Page(), page);
  }
  Press(26);
  Press(20);  // the leak check from page 7
  EXPECT_EQ(pane->SavedPage(), 7);
  EXPECT_TRUE(pane->ButtonById(28)->IsWindowVisible());
  Press(28);
  EXPECT_EQ(pane->Page(), 7);
  EXPECT_EQ(pane->LayoutCode(), 12288);
}

TEST_F(SpecialTestsTest, AComponentTestSetsThePresetNotifiesAndSwitchesToTheScope) {
  Create(true);
  Press(1);
  Press(5);  // "Injector"
  EXPECT_EQ(checked, (std::vector<int>{28}));
  EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), 28);
  EXPECT_EQ(GetMeasureType().m_nMeasureType.load(), 13);
  EXPECT_EQ(GetMotortesterDevice()->GetEngineModeFlag(), 1) << "synchronised with the board";
  EXPECT_EQ(std::string(GetMeasureEngine().GetMeasureTitle()), "Injector");
  EXPECT_EQ(sink.seen, (std::vector<std::tuple<int, int, int>>{{9, 49, 0}}));
  EXPECT_EQ(host.tabs, (std::vector<WPARAM>{0}));
}

TEST_F(SpecialTestsTest, MissingProbesAndACancelledInstructionLeaveTypeAndTab) {
  Create(false);
  GetMeasureType().m_nMeasureType = 0;
  probesThere = false;
  Press(4);  // "Oxygen Sensor"
  EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), 27) << "the id stays changed";
  EXPECT_EQ(GetMeasureType().m_nMeasureType.load(), 0);
  EXPECT_TRUE(host.tabs.empty());
  EXPECT_TRUE(sink.seen.empty());
}

TEST_F(SpecialTestsTest, PresetsAndThePlainScopeByTheirTables) {
  struct Case {
    int button;
    int measurementId, measureType, synchronised, plain;
    bool notified;
  };
  const std::vector<Case> cases = {
      {21, 10, 1, 0, 1, true}, {22, 25, 2, 1, 0, true}, {23, 21, 4, 0, 1, true},
      {24, 25, 5, 1, 0, true}, {25, 10, 0, -1, -1, false},
  };
  Create(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    sink.seen.clear();
    host.tabs.clear();
    GetMotortesterDevice()->SetEngineModeFlag(7);
    GetMeasureType().m_nSubmode = 7;
    pane->OnButtonClicked(c.button);
    EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), c.measurementId);
    EXPECT_EQ(GetMeasureType().m_nMeasureType.load(), c.measureType);
    EXPECT_EQ(GetMotortesterDevice()->GetEngineModeFlag(), c.synchronised < 0 ? 7 : c.synchronised);
    EXPECT_EQ(GetMeasureType().m_nSubmode.load(), c.plain < 0 ? 7 : c.plain);
    EXPECT_EQ(sink.seen.size(), c.notified ? 1u : 0u) << "the plain scope notifies nobody";
    EXPECT_EQ(host.tabs, (std::vector<WPARAM>{0}));
  }
}

TEST_F(SpecialTestsTest, ARunningLeakCheckSurvivesATabChangeAndBackStopsIt) {
  Create(false);
  Press(26);
  Press(20);
  ASSERT_EQ(pane->Page(), 9);
  // A test that never ends by itself: a scripted leak test whose recording stays under way.
  struct Leak final : IMTLeakTest_15 {
    int SelectInput(uint8_t) override { return 0; }
    int GetInput(uint8_t*) override { return 0; }
    int ReadProbe(ProbeDescriptor* p) override { return p->kind = 3, 0; }
    int Start() override { return 0; }
    int Read(uint8_t, float*) override { return 0; }
  } leak;
  struct Link final : ettest::StubCommunication_1 {
    HANDLE idle = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    ~Link() { CloseHandle(idle); }
    HANDLE GetIdleEvent() override { return idle; }
  } link;
  CReg().WriteDword(HKEY_CURRENT_USER, CDlgTurnOn::kBehaviourKey, CDlgTurnOn::kShowMessage, 0);
  pane->m_leakCheck.SetLibrary(&leak, &link);
  pane->m_leakCheck.StartLeakTest();
  ASSERT_TRUE(pane->m_leakCheck.Running());

  EXPECT_TRUE(pane->Deactivate());
  hl::Pump();
  EXPECT_TRUE(pane->m_leakCheck.Running()) << "leaving the tab does not stop it";
  pane->Activate(0);
  hl::Pump();
  EXPECT_TRUE(pane->m_leakCheck.Running()) << "coming back does not stop it either";
  kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("special-tests-leak-check").c_str());

  Press(28);
  EXPECT_FALSE(pane->m_leakCheck.Running()) << "a page change does";
  EXPECT_EQ(pane->Page(), 7);
}

TEST_F(SpecialTestsTest, PrintQueuesTheLeakResultsAndOpensThePrintDialog) {
  ui_dialogs::RegisterDialogTemplates();
  Create(false);
  Press(26);
  Press(20);
  bool dialogShown = false;
  int type = -1, count = -1;
  hl::RunInLoop([&] {  // inside the print dialog's modal loop
    HWND dialog = ::GetActiveWindow();
    dialogShown = dialog && dialog != host.GetSafeHwnd();
    if (GetPrintQueue()->GetCount() == 1 && GetPrintQueue()->GetItem(0)->data) {
      type = GetPrintQueue()->GetItem(0)->data->GetType();
      count = GetPrintQueue()->GetItem(0)->data->Number(1);
    }
    ::PostMessage(dialog, WM_CLOSE, 0, 0);
  });
  pane->OnButtonClicked(CWndSpecialTests::kPrint);
  EXPECT_TRUE(dialogShown);
  EXPECT_EQ(type, kPrintItemLeakCheck);
  EXPECT_EQ(count, 4) << "the panel's cylinder count";
}

TEST_F(SpecialTestsTest, Screenshots) {
  Create(true);
  kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("special-tests-engine-choice").c_str());
  Press(1);
  kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("special-tests-petrol").c_str());
}

}  // namespace
