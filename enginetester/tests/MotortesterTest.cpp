// The engine-tester pane on the headless display with the virtual clock: pages, Back and layout
// codes, the reduced variant, the oscilloscope presets and "Graph" with a main window that
// deactivates the pane inside the tab switch, the parameter buttons, the kV mode refusal, the
// activation box and printing by page.
#include <enginetester/Motortester.h>
#include <ui/print/PrintItemType.h>

#include <ui/dialogs/DialogResources.h>
#include <ui/print/PrintQueue.h>

#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>
#include <core/Notify.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Screenshots.h>

#include <platform/display.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "HiVoltageFakes.h"
#include "Kv310Stubs.h"

#include <kvtest/Pump.h>

#include <chrono>
#include <thread>

namespace {

namespace hl = kvp::headless;
using P = CWndMotortester;
using S = HiVoltageBatchState;

struct Board final : ettest::StubMotortester_6 {
  bool ready = true;
  int setAllRc = 0;
  int defaultsRc = 0;
  int32_t reference = 111;
  int setAllCalls = 0, getAllCalls = 0, waitReadyCalls = 0, referenceCalls = 0;
  bool IsReady() override { return ready; }
  int SetAllParams(EngineParameterBlock) override { return ++setAllCalls, setAllRc; }
  int GetAllParams(EngineParameterBlock*) override { return ++getAllCalls, 0; }
  int GetDefaultParams(EngineParameterBlock*) override { return defaultsRc; }
  int FindReferenceProbe(int32_t* code) override { return ++referenceCalls, *code = reference, 0; }
  int WaitReady() override { return ++waitReadyCalls, 0; }
};

struct Meter final : IMTHiVoltage_14 {
  int modeRc = 0;
  std::vector<int> modes;
  int rearms = 0, toggles = 0;
  int ReadProbe(ProbeDescriptor*) override { return 0; }
  int GetMode(int32_t*) override { return 0; }
  int SetMode(int32_t mode) override { return modes.push_back(mode), modeRc; }
  int Rearm() override { return ++rearms, 0; }
  int TogglePolarity() override { return ++toggles, 0; }
  int Arm() override { return 1; }
  int ReadFrame() override { return 1; }
  int GetCylinderRecordCount(uint16_t*) override { return 1; }
  int GetCylinderValues(uint16_t, CylinderValue*) override { return 1; }
  int GetEngineSpeed(MeasuredValue*) override { return 1; }
};

struct Sink : ISystemNotify {
  std::vector<std::tuple<int, int, int>> seen;
  void OnSystemNotify(notify::Sender sender, notify::Code code, int value) override {
    seen.emplace_back(notify::ToInt(sender), notify::ToInt(code), value);
  }
};

// What the main window saw when it was asked for a tab.
struct TabRequest {
  WPARAM tab;
  int measureType, engineMode, pressure, plain;
  std::string title;
  size_t notifications;
};

// The main window's stand-in: records the tab requests and, like the real one, deactivates the
// engine-tester pane inside the request.
class MainWindow : public kvtest::HostWindow {
 public:
  std::vector<TabRequest> requests;
  P* pane = nullptr;
  Sink* sink = nullptr;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SELECTTAB) {
      const MeasureType& t = GetMeasureType();
      requests.push_back({wParam, t.m_nMeasureType.load(), GetMotortesterDevice()->GetEngineModeFlag(),
                          GetMotortesterDevice()->m_bPressure.load(), t.m_nSubmode.load(),
                          std::string(GetMeasureEngine().GetMeasureTitle()), sink->seen.size()});
      if (pane) pane->Deactivate();
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

class ReducedPane : public P {
 protected:
  BOOL ReducedVariant() const override { return TRUE; }
};

class MotortesterTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    kvp::SetMessageBoxResponder([this](const kvp::MessageBoxCall& call) {
      boxes.push_back(call.text);
      boxTypes.push_back(call.type);
      return IDOK;
    });
    main.CreateTop(0, 0, 1000, 720);
    main.sink = &sink;
    SetSystemNotify(&sink);
    GetMotortesterDevice()->SetInterfaces(&board, nullptr, nullptr);
  }
  void TearDown() override {
    pane.reset();
    main.DestroyWindow();
    SetSystemNotify(nullptr);
    GetMotortesterDevice()->SetInterfaces(nullptr, nullptr, nullptr);
    GetPrintQueue()->Clear();
    kvtest::CoreTest::TearDown();
  }
  void Create(std::unique_ptr<P> made = nullptr) {
    pane = made ? std::move(made) : std::make_unique<P>();
    pane->SetProbeCheck([this](int id) {
      checked.push_back(id);
      return probesThere ? TRUE : FALSE;
    });
    pane->SetInstructionDialog([this] { return ++instructions, instructionResult; });
    pane->SetProbeSetupDialog([this] { return ++setups, setupResult; });
    pane->SetHiVoltageMeter(&meter);
    ASSERT_TRUE(pane->Create("Motortester", WS_CHILD, CRect(0, 0, 1000, 720), &main, 1015));
    pane->Init();
    pane->Activate(-1);
    hl::Pump();
  }
  // A click on a button of the current page (a direct call: the modal runs are scripted).
  void Press(int id) {
    CXPCtrlBtn* b = pane->ButtonById(id);
    ASSERT_TRUE(b->IsWindowVisible()) << "button " << id << " is not on page " << pane->Page();
    pane->OnButtonClicked(id);
    hl::Pump();
  }
  void PressAll(const std::vector<int>& ids) {
    for (int id : ids) {
      Press(id);
      if (HasFatalFailure()) return;
    }
  }
  // The ids of the buttons and panels with their visible flag set (also while the pane is hidden).
  std::set<int> Visible() {
    std::set<int> ids;
    for (int id : P::kButtonIds)
      if (pane->ButtonById(id)->GetStyle() & WS_VISIBLE) ids.insert(id);
    for (int id = P::kParamsPanel; id <= P::kThermometerPanel; ++id)
      if (pane->PanelById(id)->GetStyle() & WS_VISIBLE) ids.insert(id);
    return ids;
  }
  bool BoxShown(const std::string& text) const {
    for (const std::string& b : boxes)
      if (b == text) return true;
    return false;
  }

  kvp::HeadlessWorld world;
  MainWindow main;
  Sink sink;
  Board board;
  Meter meter;
  std::unique_ptr<P> pane;
  std::vector<int> checked;
  std::vector<std::string> boxes;
  std::vector<UINT> boxTypes;
  bool probesThere = true;
  int instructions = 0, setups = 0;
  INT_PTR instructionResult = 1, setupResult = 1;
};

TEST_F(MotortesterTest, PagesBackAndLayoutCodes) {
  struct Case {
    std::vector<int> presses;
    int page, layout;
    std::set<int> shown;
  };
  const std::set<int> petrolMenu = {2, 3, 4, 5, 6, 7, 14, 39, 20, 21};
  const std::set<int> dieselMenu = {8, 9, 10, 11, 12, 13, 20, 21, 39};
  const std::set<int> voltage = {31, 20, 24, 25, 26, 27, 44};
  const std::set<int> secondary = {15, 16, 17, 39, 40, 20, 21};
  const std::set<int> params = {20, 22, 23, 29};
  const Case cases[] = {
      {{}, 0, 0, {0, 1, 39}},
      {{0}, 1, 65, petrolMenu},
      {{0, 20}, 0, 0, {0, 1, 39}},
      {{1}, 2, 65, dieselMenu},
      {{0, 2}, 4, 2112, {30, 20, 44}},
      {{0, 2, 20}, 1, 65, petrolMenu},
      {{0, 3}, 5, 2424, voltage},
      {{0, 3, 20}, 1, 65, petrolMenu},
      {{0, 6}, 9, 2112, {37, 20, 44}},
      {{0, 4}, 6, 64, {18, 19, 20, 39}},
      {{0, 4, 19}, 16, 2112, {32, 20, 44}},
      {{0, 4, 19, 20}, 6, 64, {18, 19, 20, 39}},
      {{0, 4, 20}, 1, 65, petrolMenu},
      {{0, 5}, 7, 65, secondary},
      {{0, 5, 15}, 11, 3264, {33, 20, 43, 28, 44}},
      {{0, 5, 16}, 12, 3264, {34, 20, 28, 43, 44}},
      {{0, 5, 17}, 13, 3264, {35, 20, 28, 43, 44}},
      {{0, 5, 17, 20}, 7, 65, secondary},
      {{0, 5, 20}, 1, 65, petrolMenu},
      {{1, 8}, 17, 2112, {30, 20, 44}},
      {{1, 8, 20}, 2, 65, dieselMenu},
      {{1, 9}, 18, 2424, voltage},
      {{1, 9, 20}, 2, 65, dieselMenu},
      {{1, 11}, 20, 2112, {37, 20, 44}},
      {{1, 11, 20}, 2, 65, dieselMenu},
      // The parameters page and Back to the page it was opened from.
      {{0, 21}, 3, 70, params},
      {{0, 21, 20}, 1, 65, petrolMenu},
      {{1, 21, 20}, 2, 65, dieselMenu},
      {{0, 5, 21}, 3, 70, params},
      {{0, 5, 21, 20}, 7, 65, secondary},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.presses));
    Create();
    PressAll(c.presses);
    if (HasFatalFailure()) return;
    EXPECT_EQ(pane->Page(), c.page);
    EXPECT_EQ(pane->LayoutCode(), c.layout);
    EXPECT_EQ(Visible(), c.shown);
    pane.reset();
  }
}

TEST_F(MotortesterTest, BackFromAKvPageWaitsForTheBoard) {
  Create();
  PressAll({0, 5, 16});
  EXPECT_EQ(board.waitReadyCalls, 0);
  Press(20);
  EXPECT_EQ(board.waitReadyCalls, 1);
  EXPECT_EQ(pane->Page(), 7);
}

TEST_F(MotortesterTest, AdvancePanelFollowsTheEngine) {
  Create();
  PressAll({0, 2});
  EXPECT_FALSE(pane->m_Advance.IsDieselMode());
  PressAll({20, 20, 1, 8});
  EXPECT_TRUE(pane->m_Advance.IsDieselMode());
}

TEST_F(MotortesterTest, ReducedVariantDisablesTheScopeButtonsFromCreation) {
  Create(std::make_unique<ReducedPane>());
  // The seven oscilloscope buttons and "Graph": the reduced board has no scope tab to go to.
  const std::set<int> disabled = {5, 7, 14, 18, 10, 12, 13, 28};
  for (int id : P::kButtonIds) {
    SCOPED_TRACE(id);
    const bool off = disabled.count(id) != 0;
    EXPECT_EQ(pane->ButtonById(id)->IsWindowEnabled(), off ? FALSE : TRUE);
    EXPECT_EQ(pane->ButtonById(id)->data.enabled, off ? 0 : 1);
  }
  pane.reset();
  Create();
  for (int id : disabled) EXPECT_TRUE(pane->ButtonById(id)->IsWindowEnabled()) << id;
}

// A click on a button that leads to the scope tab: on the reduced variant the button is off and the
// click does nothing; on the full board it asks the main window for tab 0.
TEST_F(MotortesterTest, ScopeButtonsReachTheScopeOnlyOnTheFullBoard) {
  struct Case {
    int button;
    std::vector<int> path;  // through the dispatcher: the reduced variant's kV pages too
  };
  const Case cases[] = {{7, {0}},  {14, {0}}, {18, {0, 4}},      {10, {1}},
                        {12, {1}}, {13, {1}}, {28, {0, 5, 16}}};
  for (bool reduced : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << (reduced ? "reduced " : "full ") << c.button);
      Create(reduced ? std::make_unique<ReducedPane>() : nullptr);
      main.pane = pane.get();
      for (int id : c.path) pane->OnButtonClicked(id);
      hl::Pump();
      CXPCtrlBtn* b = pane->ButtonById(c.button);
      ASSERT_TRUE(b->IsWindowVisible()) << "page " << pane->Page();
      EXPECT_EQ(b->IsWindowEnabled() != FALSE, !reduced);
      main.requests.clear();
      CRect r;
      b->GetClientRect(&r);
      hl::Click(b->GetSafeHwnd(), r.CenterPoint());
      hl::Pump();
      if (reduced) {
        EXPECT_TRUE(main.requests.empty());
      } else {
        ASSERT_EQ(main.requests.size(), 1u);
        EXPECT_EQ(main.requests[0].tab, 0u);
      }
      main.pane = nullptr;
      pane.reset();
    }
  }
}

TEST_F(MotortesterTest, SyncShownOnlyWithDoubleSparkCoils) {
  struct Case {
    int coil;
    int button;
    bool setupDone;
    int page, layout;
    bool sync;
  };
  const Case cases[] = {
      {0, 16, false, 12, 3264, false},
      {0, 17, false, 13, 3264, false},
      {1, 16, true, 12, 3776, true},
      {1, 17, true, 13, 3776, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button + 100 * c.coil);
    GetMotortesterDevice()->SetCoilType(0, c.coil);
    GetMotortesterDevice()->m_bProbeSetupDone = c.setupDone ? 1 : 0;
    Create();
    PressAll({0, 5, c.button});
    EXPECT_EQ(pane->Page(), c.page);
    EXPECT_EQ(pane->LayoutCode(), c.layout);
    EXPECT_EQ(pane->ButtonById(P::kSync)->IsWindowVisible(), c.sync ? TRUE : FALSE);
    EXPECT_EQ(meter.modes.back(), 0);
    pane.reset();
  }
}

TEST_F(MotortesterTest, DoubleCoilWithoutSetupRunsTheProbeSetup) {
  GetMotortesterDevice()->SetCoilType(0, 1);
  Create();
  PressAll({0, 5});
  setupResult = 2;  // cancelled
  Press(16);
  EXPECT_EQ(setups, 1);
  EXPECT_EQ(pane->Page(), 7);
  EXPECT_TRUE(meter.modes.empty());
  EXPECT_EQ(GetMotortesterDevice()->m_bProbeSetupDone.load(), 0);
  setupResult = 1;
  Press(16);
  EXPECT_EQ(pane->Page(), 12);
  EXPECT_EQ(GetMotortesterDevice()->m_bProbeSetupDone.load(), 1);
  // Done once: the next entry turns automatic polarity on instead of asking again.
  PressAll({20, 17});
  EXPECT_EQ(setups, 2);
  EXPECT_EQ(GetMotortesterDevice()->m_bAutoPolarity.load(), 1);
}

TEST_F(MotortesterTest, SingleCylinderModeByCoilType) {
  for (int coil : {0, 1}) {
    SCOPED_TRACE(coil);
    GetMotortesterDevice()->SetCoilType(0, coil);
    Create();
    checked.clear();
    PressAll({0, 5, 15});
    EXPECT_EQ(checked, std::vector<int>{coil ? 14 : 11});
    EXPECT_EQ(meter.modes.back(), coil ? 2 : 1);
    EXPECT_EQ(pane->Page(), coil ? 14 : 11);
    // "Sync": polarity on the double-coil page, re-arm elsewhere.
    pane->OnButtonClicked(P::kSync);
    EXPECT_EQ(meter.toggles, coil ? 1 : 0);
    EXPECT_EQ(meter.rearms, coil ? 0 : 1);
    meter.modes.clear();
    meter.rearms = meter.toggles = 0;
    pane.reset();
  }
}

TEST_F(MotortesterTest, RefusedMeterModeOpensTheParameters) {
  for (int button : {15, 16, 17}) {
    SCOPED_TRACE(button);
    Create();
    boxes.clear();
    meter.modeRc = 12;
    PressAll({0, 5, button});
    EXPECT_TRUE(BoxShown("Bad params of engine!"));
    EXPECT_EQ(pane->Page(), 3);
    EXPECT_EQ(pane->LayoutCode(), 70);
    EXPECT_EQ(Visible(), (std::set<int>{20, 22, 23, 29}));
    Press(20);
    EXPECT_EQ(pane->Page(), 7) << "Back returns to the secondary menu";
    pane.reset();
  }
}

TEST_F(MotortesterTest, ProbesMissingAsksForThemWhenTheBoardIsReady) {
  struct Case {
    bool ready;
    INT_PTR answer;
    int dialogs;
    int page;
  };
  const Case cases[] = {{true, 2, 1, 1}, {true, 1, 1, 4}, {false, 2, 0, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ready * 10 + c.answer);
    Create();
    Press(0);
    probesThere = false;
    board.ready = c.ready;
    instructions = 0;
    instructionResult = c.answer;
    Press(2);
    EXPECT_EQ(instructions, c.dialogs);
    EXPECT_EQ(pane->Page(), c.page);
    EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), 4);
    board.ready = true;
    probesThere = true;
    pane.reset();
  }
}

TEST_F(MotortesterTest, PresetsSetEverythingBeforeTheTabSwitch) {
  struct Case {
    int button;
    std::vector<int> path;
    int id, measureType, engineMode, pressure, plain, angle;
    const char* title;
  };
  const Case cases[] = {
      {7, {0}, 10, 1, 0, 0, 1, 0, "Oscilloscope"},
      {14, {0}, 25, 2, 1, 0, 0, 0, "Osciloscope with turn"},
      {18, {0, 4}, 15, 3, 1, 0, 0, 1, "Measure voltage on primary winding"},
      {10, {1}, 19, 6, 1, 1, 0, 1, "Measure signal of pressure sensor"},
      {12, {1}, 21, 4, 0, 0, 1, 0, "Oscilloscope"},
      {13, {1}, 25, 5, 1, 0, 0, 0, "Osciloscope with turn"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    Create();
    main.pane = pane.get();
    PressAll(c.path);
    const int pageBefore = pane->Page();
    GetMeasureType().m_nMeasureType = 99;
    GetMeasureType().m_nAngleMode = 0;
    sink.seen.clear();
    main.requests.clear();
    boxes.clear();
    checked.clear();
    Press(c.button);
    EXPECT_EQ(checked, std::vector<int>{c.id});
    ASSERT_EQ(main.requests.size(), 1u);
    const TabRequest& r = main.requests[0];
    EXPECT_EQ(r.tab, 0u);
    EXPECT_EQ(r.measureType, c.measureType);
    EXPECT_EQ(r.engineMode, c.engineMode);
    EXPECT_EQ(r.pressure, c.pressure);
    EXPECT_EQ(r.plain, c.plain);
    EXPECT_EQ(r.title, c.title);
    EXPECT_EQ(r.notifications, 1u) << "notified before the switch";
    EXPECT_EQ(sink.seen, (std::vector<std::tuple<int, int, int>>{{9, 49, 0}}));
    EXPECT_EQ(GetMeasureType().m_nAngleMode.load(), c.angle);
    // No board to read the rate table from: the angle change warns, the switch happens anyway.
    EXPECT_EQ(boxes.size(), c.angle ? 1u : 0u);
    // Deactivated inside the send: nothing shown again afterwards, the page unchanged.
    EXPECT_FALSE(pane->IsWindowVisible());
    EXPECT_TRUE(Visible().empty());
    EXPECT_EQ(pane->Page(), pageBefore);
    main.pane = nullptr;
    pane.reset();
  }
}

TEST_F(MotortesterTest, PresetCancelledAtTheProbeDialogKeepsTheTab) {
  Create();
  Press(0);
  probesThere = false;
  instructionResult = 2;
  GetMeasureType().m_nMeasureType = 99;
  Press(7);
  EXPECT_TRUE(main.requests.empty());
  EXPECT_EQ(GetMeasureType().m_nMeasureType.load(), 99);
  EXPECT_TRUE(sink.seen.empty());
}

TEST_F(MotortesterTest, GraphPostsTheTabSwitchByPage) {
  struct Case {
    int coil, button, page, measureType;
    const char* title;
    std::vector<std::tuple<int, int, int>> notes;
  };
  const Case cases[] = {
      {0, 15, 11, 7, "Measure VN of single cylinder", {{9, 49, 0}}},
      {0, 16, 12, 8, "Measure VN of all cylinders", {{9, 49, 0}}},
      {0, 17, 13, 9, "Measure VN of selected cylinder", {{9, 48, 0}, {9, 49, 0}}},
      {1, 15, 14, 10, "Measure VN of single cylinder", {{9, 49, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    GetMotortesterDevice()->SetCoilType(0, c.coil);
    Create();
    PressAll({0, 5, c.button});
    ASSERT_EQ(pane->Page(), c.page);
    sink.seen.clear();
    main.requests.clear();
    GetMotortesterDevice()->m_bPressure = 1;
    pane->OnButtonClicked(P::kGraph);
    EXPECT_TRUE(main.requests.empty()) << "posted, not sent";
    EXPECT_EQ(GetMeasureType().m_nMeasureType.load(), c.measureType);
    EXPECT_EQ(std::string(GetMeasureEngine().GetMeasureTitle()), c.title);
    EXPECT_EQ(sink.seen, c.notes);
    EXPECT_EQ(GetMotortesterDevice()->GetEngineModeFlag(), 1);
    EXPECT_EQ(GetMotortesterDevice()->m_bPressure.load(), 0);
    hl::Pump();
    ASSERT_EQ(main.requests.size(), 1u);
    EXPECT_EQ(main.requests[0].tab, 0u);
    pane.reset();
  }
}

TEST_F(MotortesterTest, SetShowsTheConfirmationForTwoSeconds) {
  Create();
  PressAll({0, 21});
  const int sent = board.setAllCalls, read = board.getAllCalls;
  Press(22);
  EXPECT_EQ(board.setAllCalls - sent, 1);
  EXPECT_EQ(board.getAllCalls - read, 2) << "both sets saved";
  CXPCtrlBtn* title = pane->ButtonById(P::kSetParamsTitle);
  EXPECT_TRUE(title->IsWindowVisible());
  hl::Advance(1990);
  EXPECT_TRUE(title->IsWindowVisible());
  hl::Advance(20);
  EXPECT_FALSE(title->IsWindowVisible());
}

TEST_F(MotortesterTest, SetRefusedShowsNoConfirmationButSaves) {
  Create();
  PressAll({0, 21});
  board.setAllRc = 29;
  const int read = board.getAllCalls;
  Press(22);
  EXPECT_FALSE(pane->ButtonById(P::kSetParamsTitle)->IsWindowVisible());
  EXPECT_EQ(board.getAllCalls - read, 2) << "saved all the same";
}

TEST_F(MotortesterTest, KvRefusalOpensTheParameters) {
  Create();
  PressAll({0, 5, 16});
  EXPECT_EQ(pane->SendMessage(WM_KVREFUSED, 0, 0), 1);
  EXPECT_EQ(pane->Page(), 3);
  EXPECT_EQ(pane->LayoutCode(), 70);
  EXPECT_EQ(Visible(), (std::set<int>{20, 22, 23, 29}));
  Press(20);
  EXPECT_EQ(pane->Page(), 7);
}

// Back on the parameters goes by the page they were opened from (here through a refusal, which
// reaches every page): a menu or a polled meter page gets its page again with Back and Params in
// the row, a kV page the secondary menu, any other page the start.
TEST_F(MotortesterTest, BackFromTheParametersByTheOpeningPage) {
  struct Case {
    int coil;
    std::vector<int> path;
    int page, layout;
  };
  const Case cases[] = {
      {0, {}, 0, 0},          {0, {0}, 1, 65},         {0, {1}, 2, 65},         {0, {0, 2}, 4, 65},
      {0, {0, 3}, 0, 0},      {0, {0, 4}, 0, 0},       {0, {0, 5}, 7, 65},      {0, {0, 6}, 9, 65},
      {0, {0, 5, 15}, 7, 65}, {0, {0, 5, 16}, 7, 65},  {0, {0, 5, 17}, 7, 65},  {1, {0, 5, 15}, 7, 65},
      {0, {0, 4, 19}, 0, 0},  {0, {1, 8}, 17, 65},     {0, {1, 9}, 0, 0},       {0, {1, 11}, 20, 65},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.path) + (c.coil ? " double coil" : ""));
    GetMotortesterDevice()->SetCoilType(0, c.coil);
    GetMotortesterDevice()->m_bProbeSetupDone = 1;
    Create();
    PressAll(c.path);
    if (HasFatalFailure()) return;
    pane->SendMessage(WM_KVREFUSED, 0, 0);
    ASSERT_EQ(pane->Page(), 3);
    Press(P::kBack);
    EXPECT_EQ(pane->Page(), c.page);
    EXPECT_EQ(pane->LayoutCode(), c.layout);
    pane.reset();
  }
}

TEST_F(MotortesterTest, TitleByPage) {
  struct Case {
    std::vector<int> path;
    const char* title;
  };
  const Case cases[] = {
      {{}, "Motortester"},
      {{0}, "Spark Ignition Engine"},
      {{1}, "Diesel Engine"},
      {{0, 4}, "Coil - Primary Winding"},
      {{0, 5}, "Coil - Secondary Winding"},
      {{0, 2}, ""},
      {{0, 21}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.path));
    Create();
    PressAll(c.path);
    if (HasFatalFailure()) return;
    EXPECT_EQ(std::string(pane->Caption(P::kTitle)), c.title);
    pane.reset();
  }
}

TEST_F(MotortesterTest, NotConnectedBoxExceptFromTheSystemTab) {
  struct Case {
    bool ready;
    int previousTab;
    bool box;
  };
  const Case cases[] = {{false, 0, true}, {false, 3, true}, {false, 9, false}, {true, 0, false}};
  Create();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.previousTab + 100 * c.ready);
    board.ready = c.ready;
    pane->Deactivate();
    boxes.clear();
    boxTypes.clear();
    pane->Activate(c.previousTab);
    EXPECT_EQ(boxes.size(), c.box ? 1u : 0u);
    if (c.box) {
      EXPECT_EQ(boxes[0], "Motortester is not connect");
      EXPECT_EQ(boxTypes[0], static_cast<UINT>(MB_ICONINFORMATION | MB_TOPMOST));
    }
    EXPECT_TRUE(pane->IsWindowVisible()) << "the pane shows all the same";
    EXPECT_EQ(Visible(), (std::set<int>{0, 1, 39}));
  }
}

TEST_F(MotortesterTest, ActivationAppliesTheKeptEngineType) {
  Create();
  Press(1);  // diesel
  pane->Deactivate();
  EXPECT_EQ(pane->KeptEngineType(), 1);
  GetMotortesterDevice()->SetEngineType(0);  // another tab changed it
  pane->Activate(0);
  EXPECT_EQ(GetMotortesterDevice()->GetEngineType(), 1);
  EXPECT_EQ(pane->Page(), 2);
}

TEST_F(MotortesterTest, SecondaryMenuSubtitleByReferenceProbe) {
  struct Case {
    int32_t code;
    int coil;
    const char* subtitle;
  };
  const Case cases[] = {
      {110, 0, "Type of HV coil: Simple,  Count of HV sensors: 4(C4)"},
      {111, 1, "Type of HV coil: Double,  Count of HV sensors: 1(N)"},
      {112, 0, "Type of HV coil: Simple,  Count of HV sensors: 4(N4)"},
  };
  Create();
  for (const Case& c : cases) {
    board.reference = c.code;
    GetMotortesterDevice()->SetCoilType(0, c.coil);
    PressAll({0, 5});
    EXPECT_EQ(pane->ReferenceProbeCode(), c.code);
    EXPECT_EQ(std::string(pane->Caption(P::kSubtitle)), c.subtitle);
    PressAll({20, 20});
  }
  EXPECT_EQ(board.referenceCalls, 3);
}

TEST_F(MotortesterTest, VoltageButtons) {
  Create();
  PressAll({0, 3});
  CMotortesterData* data = GetMotortesterDevice();
  MeterReading& v = data->GetChannel(CMotortesterData::CHANNEL_VOLTAGE).m_Reading;
  const int ac = v.m_bAC;
  Press(P::kACDC);
  EXPECT_EQ(v.m_bAC, !ac);
  EXPECT_EQ(data->GetChannel(CMotortesterData::CHANNEL_CURRENT).m_Reading.m_bAC, !ac);
  Press(P::kMinMax);
  EXPECT_EQ(pane->m_VoltCurrent.m_bMinMax, 1);
  Press(P::kZeroing);
  EXPECT_EQ(pane->m_VoltCurrent.m_nZeroCount, 4);
  v.m_dMax = 14.2;
  v.m_bMinMaxSet = 1;
  Press(P::kZeroMinMax);
  EXPECT_EQ(pane->m_VoltCurrent.m_nResetCount, 4);
  EXPECT_EQ(v.m_dMax, 0.0);
  EXPECT_EQ(v.m_bMinMaxSet, 0);
}

TEST_F(MotortesterTest, AverageToggleAndCaption) {
  Create();
  PressAll({0, 5, 16});
  GetMotortesterDevice()->m_bAveraging = 1;
  EXPECT_EQ(std::string(pane->Caption(P::kAverage)), ": Off");
  Press(P::kAverage);
  EXPECT_EQ(GetMotortesterDevice()->m_bAveraging.load(), 0);
  EXPECT_EQ(std::string(pane->Caption(P::kAverage)), ": On");
}

TEST_F(MotortesterTest, ResetReloadsUnlessRefused) {
  Create();
  PressAll({0, 21});
  GetMotortesterDevice()->SetNumberCylinders(0, 6);
  board.defaultsRc = 29;
  Press(P::kReset);
  EXPECT_EQ(GetMotortesterDevice()->GetNumberCylinders(0), 6);
}

// Each page prints one item of its type with the values its panel shows.
TEST_F(MotortesterTest, PrintByPage) {
  ui_dialogs::RegisterDialogTemplates();
  struct Case {
    int coil;
    std::vector<int> path;
    int type;
    std::vector<double> values;  // the item's first values (the kV panels' in volts)
    std::vector<int> numbers;
  };
  const Case cases[] = {
      {0, {0, 2}, kPrintItemAdvance, {}, {}},
      {0, {0, 3}, kPrintItemVoltCurrent, {12.5, 11.0, 14.0, 3.5, 1.0, 4.0}, {1, 1}},
      {0, {0, 6}, kPrintItemThermometer, {}, {}},
      {0, {0, 4, 19}, kPrintItemDwell, {}, {}},
      {0, {1, 8}, kPrintItemPreinjection, {}, {}},
      {0, {1, 9}, kPrintItemVoltCurrent, {12.5, 11.0, 14.0, 3.5, 1.0, 4.0}, {1, 1}},
      {0, {1, 11}, kPrintItemThermometer, {}, {}},
      {0, {0, 5, 15}, kPrintItemOneCylinder, {9000, 3000}, {}},
      {0, {0, 5, 16}, kPrintItemAllCylinders, {9000, 10000, 5000, 11000, 3000}, {}},
      {0, {0, 5, 17}, kPrintItemSelectedCylinder, {9000, 3000}, {}},
      {1, {0, 5, 15}, kPrintItemDoubleCoil, {9000, 10000, 3000}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type * 100 + c.path.back());
    GetMotortesterDevice()->SetCoilType(0, c.coil);
    GetMotortesterDevice()->m_bProbeSetupDone = 1;
    GetMotortesterDevice()->m_bAveraging = 0;
    Create();
    PressAll(c.path);
    // What the panels show.
    auto& vc = pane->m_VoltCurrent;
    vc.m_dVoltage = 12.5, vc.m_dVoltageMin = 11.0, vc.m_dVoltageMax = 14.0;
    vc.m_dCurrent = 3.5, vc.m_dCurrentMin = 1.0, vc.m_dCurrentMax = 4.0;
    vc.m_bMinMax = 1;
    GetMotortesterDevice()->SetACMode(1);
    for (CWndMotortester_HiVoltage* kv : {static_cast<CWndMotortester_HiVoltage*>(&pane->m_OneCylinder),
                                          static_cast<CWndMotortester_HiVoltage*>(&pane->m_AllCylinders),
                                          static_cast<CWndMotortester_HiVoltage*>(&pane->m_SelectedCylinder),
                                          static_cast<CWndMotortester_HiVoltage*>(&pane->m_DblCoil)}) {
      HiVoltageBatchState& s = kv->State();
      const int volts[4] = {9000, 10000, 5000, 11000};
      for (int i = 0; i < 4; ++i) s.values[i] = volts[i];
      s.status = 9000;
      s.shownCount = 4;
      s.speed = 3000;
    }
    GetPrintQueue()->Clear();
    bool dialogShown = false;
    int type = -1;
    std::vector<double> values;
    std::vector<int> numbers;
    hl::RunInLoop([&] {  // inside the print dialog's modal loop
      HWND dialog = ::GetActiveWindow();
      dialogShown = dialog && dialog != main.GetSafeHwnd();
      if (GetPrintQueue()->GetCount() == 1 && GetPrintQueue()->GetItem(0)->data) {
        const CPrintItemData* d = GetPrintQueue()->GetItem(0)->data.get();
        type = d->GetType();
        for (size_t i = 1; i <= c.values.size(); ++i) values.push_back(d->Value(static_cast<int>(i)));
        for (size_t i = 1; i <= c.numbers.size(); ++i) numbers.push_back(d->Number(static_cast<int>(i)));
      }
      ::PostMessage(dialog, WM_CLOSE, 0, 0);
    });
    pane->OnButtonClicked(P::kPrint);
    EXPECT_TRUE(dialogShown);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(values, c.values);
    EXPECT_EQ(numbers, c.numbers);
    pane.reset();
  }
}

// A kV panel that shows its state instead of bars prints that state, not the values it still
// holds from an earlier batch.
TEST_F(MotortesterTest, KvPanelsInTheirErrorStatePrintTheirState) {
  ui_dialogs::RegisterDialogTemplates();
  struct Case {
    int coil;
    std::vector<int> path;
    int type;
    int status;
    const char* state;
  };
  const Case cases[] = {
      {0, {0, 5, 16}, kPrintItemAllCylinders, S::STATUS_ERROR, "Error"},
      {0, {0, 5, 16}, kPrintItemAllCylinders, S::STATUS_NO_SENSOR, "no sensor"},
      {0, {0, 5, 15}, kPrintItemOneCylinder, S::STATUS_BAD_PROBE, "Bad probe"},
      {0, {0, 5, 17}, kPrintItemSelectedCylinder, S::STATUS_ERROR, "Error"},
      {1, {0, 5, 15}, kPrintItemDoubleCoil, S::STATUS_NO_SENSOR, "no sensor"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    SCOPED_TRACE(c.type);
    GetMotortesterDevice()->SetCoilType(0, c.coil);
    GetMotortesterDevice()->m_bProbeSetupDone = 1;
    GetMotortesterDevice()->m_bAveraging = 0;
    Create();
    PressAll(c.path);
    for (CWndMotortester_HiVoltage* kv : {static_cast<CWndMotortester_HiVoltage*>(&pane->m_OneCylinder),
                                          static_cast<CWndMotortester_HiVoltage*>(&pane->m_AllCylinders),
                                          static_cast<CWndMotortester_HiVoltage*>(&pane->m_SelectedCylinder),
                                          static_cast<CWndMotortester_HiVoltage*>(&pane->m_DblCoil)}) {
      HiVoltageBatchState& s = kv->State();
      for (auto& v : s.values) v = 12000;  // an earlier batch's values
      s.status = c.status;
      s.shownCount = 4;
      s.speed = 3000;
    }
    GetPrintQueue()->Clear();
    std::vector<double> values;
    std::string state, comment, line1;
    hl::RunInLoop([&] {
      HWND dialog = ::GetActiveWindow();
      if (GetPrintQueue()->GetCount() == 1 && GetPrintQueue()->GetItem(0)->data) {
        const CPrintItemData* d = GetPrintQueue()->GetItem(0)->data.get();
        EXPECT_EQ(d->GetType(), c.type);
        for (int i = 1; i <= 4; ++i) values.push_back(d->Value(i));
        state = d->GetState().GetString();
        comment = d->GetComment().GetString();
        CString title, first, second;
        CPrintQueue::ItemTexts(*d, title, first, second);
        line1 = first.GetString();
      }
      ::PostMessage(dialog, WM_CLOSE, 0, 0);
    });
    pane->OnButtonClicked(P::kPrint);
    const int voltages = c.type == kPrintItemAllCylinders ? 4 : c.type == kPrintItemDoubleCoil ? 2 : 1;
    ASSERT_EQ(values.size(), 4u);
    for (int i = 0; i < voltages; ++i) EXPECT_EQ(values[i], 0.0) << "no bar, no value";
    EXPECT_EQ(state, c.state);
    EXPECT_EQ(line1, c.state) << "the report prints the state, not 0kV";
    EXPECT_EQ(comment, "") << "the comment stays the user's";
    pane.reset();
  }
}

TEST_F(MotortesterTest, PagesWithoutAPrintTypePrintNothing) {
  Create();
  PressAll({0, 21});
  GetPrintQueue()->Clear();
  pane->OnButtonClicked(P::kPrint);
  EXPECT_EQ(GetPrintQueue()->GetCount(), 0);
}

TEST_F(MotortesterTest, Screenshots) {
  GetMotortesterDevice()->SetCoilType(0, 0);
  board.reference = 110;
  Create();
  const auto save = [this](const char* name) {
    hl::Pump();
    EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), kvtest::ScreenshotPath(name).c_str())) << name;
  };
  pane->ShowWindow(SW_SHOW);
  save("et-pane-start");
  Press(0);
  save("et-pane-petrol");
  Press(5);
  save("et-pane-secondary");
  Press(21);
  save("et-pane-params");
  PressAll({20, 20, 20, 1});
  save("et-pane-diesel");
}

// All cylinders over a scripted meter, the third cylinder weak.
TEST_F(MotortesterTest, AllCylindersScreenshot) {
  ettest::FakeLink link;
  ettest::FakeMeter kv{link};
  kv.SetRecords({ettest::Cylinder(10000, 0), ettest::Cylinder(10000, 1), ettest::Cylinder(5000, 2),
                 ettest::Cylinder(10000, 3)});
  CMotortesterData* data = GetMotortesterDevice();
  data->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, 4);
  data->SetCoilType(CMotortesterData::ENGINE_SPARK, 0);
  data->m_bAveraging = 0;
  Create();
  pane->m_AllCylinders.SetInterfaces(&kv, &link);
  PressAll({0, 5, 16});
  ASSERT_TRUE(kvtest::PumpUntil([&] { return kv.arms.load() >= 1 && kv.inside.load() == 0; }));
  link.Complete();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (pane->m_AllCylinders.State().running.load() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  hl::Pump();
  const auto shown = pane->m_AllCylinders.GetPrintValues();
  EXPECT_EQ(shown.count, 4);
  EXPECT_EQ(shown.values[2], 5000);
  EXPECT_EQ(shown.speed, 3000);
  EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), kvtest::ScreenshotPath("et-pane-kv-all").c_str()));
  pane->Deactivate();  // stops the worker before the fakes go
  SetEvent(kv.gate);
  pane.reset();
}

}  // namespace
