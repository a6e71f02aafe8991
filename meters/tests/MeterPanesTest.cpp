// The multimeter panes on the headless display with the virtual clock, on an engine that has no
// measurement library: the 250 ms poll and its error text, the delayed reset that measures
// nothing, the buttons and their guards, printing, the layout of both roles, the ohmmeter's mode
// buttons, zero and beeper stop.
#include <meters/MeterPrint.h>
#include <meters/WndOhmeter.h>
#include <meters/WndVoltmeter.h>

#include <core/EngineRecords.h>
#include <core/MeasureEngine.h>
#include <core/MotortesterData.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/Screenshots.h>

#include <platform/display.h>
#include <platform/sound.h>

#include <gtest/gtest.h>

#include <string>

namespace {

namespace hl = kvp::headless;

const char* HostClass() {
  WNDCLASS known{};
  if (!GetClassInfo(0, "MeterTestHost", &known)) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "MeterTestHost";
    AfxRegisterClass(&wc);
  }
  return "MeterTestHost";
}

// The main window's pane area stand-in.
class Host : public CWnd {
 public:
  BOOL CreateTop(int width, int height) {
    return CreateEx(0, HostClass(), "host", WS_POPUP | WS_VISIBLE, 0, 0, width, height, 0, 0);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
};

// A child's rectangle in its parent's client coordinates.
CRect ChildRect(CWnd& child) {
  CRect r;
  ::GetWindowRect(child.GetSafeHwnd(), &r);
  POINT tl{r.left, r.top}, br{r.right, r.bottom};
  ::ScreenToClient(::GetParent(child.GetSafeHwnd()), &tl);
  ::ScreenToClient(::GetParent(child.GetSafeHwnd()), &br);
  return CRect(tl.x, tl.y, br.x, br.y);
}

class MeterPaneTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    meterprint::Reset();
    host.CreateTop(1000, 700);
  }
  void TearDown() override {
    host.DestroyWindow();
    meterprint::Reset();
    kvtest::CoreTest::TearDown();
  }
  template <typename Pane>
  void Create(Pane& pane, int width = 900, int height = 600) {
    ASSERT_TRUE(pane.Create("pane", WS_CHILD | WS_VISIBLE, CRect(0, 0, width, height), &host, 1010));
    hl::Pump();
  }
  void Click(CXPCtrlBtn& b) {
    CRect r;
    ::GetClientRect(b.GetSafeHwnd(), &r);
    hl::Click(b.GetSafeHwnd(), POINT{r.Width() / 2, r.Height() / 2});
  }

  kvp::HeadlessWorld world;
  Host host;
  CMeasureEngine engine;
};

TEST_F(MeterPaneTest, ThePollRunsEvery250msWhileActive) {
  CWndVoltmeter pane(&engine);
  Create(pane);
  pane.Activate(0);
  EXPECT_EQ(pane.m_bRunning, 1);
  EXPECT_EQ(pane.m_pReading, &engine.GetMeterReading(0));
  EXPECT_EQ(engine.m_nSelectedVoltChannel, 0);
  hl::Advance(249);
  EXPECT_TRUE(pane.m_strValue.IsEmpty());
  hl::Advance(1);
  EXPECT_EQ(std::string(pane.m_strValue), "Internal error: no interface");
  EXPECT_EQ(pane.m_bErrorShown, 1);
  EXPECT_TRUE(pane.m_strMin.IsEmpty());

  EXPECT_TRUE(pane.Deactivate());
  EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), 22);
  EXPECT_EQ(pane.m_pReading, nullptr);
  EXPECT_FALSE(pane.IsWindowVisible());
  pane.m_strValue = "kept";
  hl::Advance(1000);
  EXPECT_EQ(std::string(pane.m_strValue), "kept");
}

TEST_F(MeterPaneTest, ResetShowsZerosForFourTicksWithoutMeasuring) {
  CWndVoltmeter pane(&engine);
  pane.m_nMode = CWndVoltmeter::ROLE_AMMETER;
  Create(pane);
  pane.Activate(0);
  EXPECT_EQ(engine.m_nSelectedVoltChannel, 1);
  MeterReading& r = *pane.m_pReading;
  r.m_Ranges.m_nKind = 2;
  r.m_dMin = -1.0;
  r.m_dMax = 4.0;
  r.m_bMinMaxSet = 1;
  pane.m_strValue = "before";
  Click(pane.m_Child[CWndVoltmeter::ID_ZERO]);
  EXPECT_EQ(pane.m_nResetCount, 4);
  for (int tick = 1; tick <= 3; ++tick) {
    hl::Advance(250);
    EXPECT_EQ(std::string(pane.m_strMin), "0.0A") << tick;
    EXPECT_EQ(std::string(pane.m_strMax), "0.0A") << tick;
    EXPECT_EQ(std::string(pane.m_strValue), "before") << "no measurement in tick " << tick;
    EXPECT_EQ(r.m_bMinMaxSet, 1) << tick;
  }
  hl::Advance(250);
  EXPECT_EQ(std::string(pane.m_strValue), "before");
  EXPECT_EQ(r.m_bMinMaxSet, 0);
  EXPECT_DOUBLE_EQ(r.m_dMin, 0.0);
  EXPECT_DOUBLE_EQ(r.m_dMax, 0.0);
  hl::Advance(250);
  EXPECT_EQ(std::string(pane.m_strValue), "Internal error: no interface");
  EXPECT_TRUE(pane.m_strMin.IsEmpty());
  pane.Deactivate();
  EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), 23);
}

TEST_F(MeterPaneTest, ZeroTakesOnlyARawValueStrictlyInsideTheBand) {
  struct Case {
    const char* name;
    int mode;
    double raw;
    bool zeroed;
  } cases[] = {
      // Full scale 50: band 2 in the one- and two-decimal modes, 1 in the others.
      {"one decimal inside", 2, 1.99, true},     {"one decimal at +band", 2, 2.0, false},
      {"one decimal at -band", 2, -2.0, false},  {"two decimals inside", 15, -1.99, true},
      {"magnitude inside", 1, 0.99, true},       {"magnitude at band", 1, 1.0, false},
      {"integer beyond", 3, 1.5, false},         {"other mode inside", 6, -0.5, true},
  };
  for (const Case& c : cases) {
    kvp::SoundRecording sounds;
    CWndVoltmeter pane(&engine);
    pane.m_nMode = CWndVoltmeter::ROLE_AMMETER;
    Create(pane);
    pane.Activate(0);
    MeterReading& r = *pane.m_pReading;
    r.ClearValues();
    r.m_Ranges.RemoveAll();
    r.m_Ranges.Add(50.0);
    r.m_nCachedRange = 0;
    r.m_Ranges.m_nKind = c.mode;
    r.m_dRawValue = c.raw;
    Click(pane.m_Child[CWndVoltmeter::ID_CALIBRATE]);
    hl::Advance(750);
    EXPECT_DOUBLE_EQ(r.m_dOffset, 0.0) << c.name;
    EXPECT_TRUE(sounds.Events().empty()) << c.name;
    hl::Advance(250);
    EXPECT_DOUBLE_EQ(r.m_dOffset, c.zeroed ? c.raw : 0.0) << c.name;
    EXPECT_EQ(sounds.Events().size(), c.zeroed ? 0u : 1u) << c.name;
    pane.Deactivate();
    pane.DestroyWindow();
  }
}

TEST_F(MeterPaneTest, ButtonsWithoutAReadingChangeNothing) {
  CWndVoltmeter pane(&engine);
  pane.m_nMode = CWndVoltmeter::ROLE_AMMETER;
  Create(pane);
  MeterReading& r = engine.GetMeterReading(1);
  r.m_bMinMaxSet = 1;
  r.m_dMax = 3.0;
  Click(pane.m_Child[CWndVoltmeter::ID_ACDC]);
  Click(pane.m_Child[CWndVoltmeter::ID_ONOFF]);
  Click(pane.m_Child[CWndVoltmeter::ID_ZERO]);
  Click(pane.m_Child[CWndVoltmeter::ID_CALIBRATE]);
  Click(pane.m_Child[CWndVoltmeter::ID_PRINT]);
  EXPECT_EQ(r.m_bAC, 0);
  EXPECT_EQ(r.m_bMinMaxSet, 1);
  EXPECT_DOUBLE_EQ(r.m_dMax, 3.0);
  EXPECT_EQ(pane.m_nResetCount, 0);
  EXPECT_EQ(pane.m_nZeroCount, 0);
  EXPECT_TRUE(meterprint::Items().empty());
}

TEST_F(MeterPaneTest, AcDcToTheSameValueKeepsTheStatisticsAChangeClearsThem) {
  CWndVoltmeter pane(&engine);
  Create(pane);
  pane.Activate(0);
  MeterReading& r = *pane.m_pReading;
  r.m_bAC = 1;  // the button still shows DC: its click steps it to AC, the value the reading has
  r.m_bMinMaxSet = 1;
  r.m_dMax = 5.0;
  Click(pane.m_Child[CWndVoltmeter::ID_ACDC]);
  EXPECT_EQ(r.m_bMinMaxSet, 1);
  EXPECT_DOUBLE_EQ(r.m_dMax, 5.0);
  Click(pane.m_Child[CWndVoltmeter::ID_ACDC]);  // back to DC: a change
  EXPECT_EQ(r.m_bAC, 0);
  EXPECT_EQ(r.m_bMinMaxSet, 0);
  EXPECT_DOUBLE_EQ(r.m_dMax, 0.0);

  // Min/Max off hides MIN and MAX, disables the reset and stops tracking; on again restores them.
  Click(pane.m_Child[CWndVoltmeter::ID_ONOFF]);
  EXPECT_FALSE(pane.m_Child[CWndVoltmeter::ID_MIN].IsWindowVisible());
  EXPECT_FALSE(pane.m_Child[CWndVoltmeter::ID_ZERO].IsWindowEnabled());
  EXPECT_EQ(r.m_bActive, 0);
  Click(pane.m_Child[CWndVoltmeter::ID_ONOFF]);
  EXPECT_TRUE(pane.m_Child[CWndVoltmeter::ID_MAX].IsWindowVisible());
  EXPECT_TRUE(pane.m_Child[CWndVoltmeter::ID_ZERO].IsWindowEnabled());
  EXPECT_EQ(r.m_bActive, 1);
  pane.Deactivate();
}

TEST_F(MeterPaneTest, PrintQueuesTheValuesAndTheAmmeterRoundsItsStatistics) {
  struct Case {
    const char* name;
    int role;
    int mode;
    double min, max;
    int type;
    double printedMin, printedMax;
  } cases[] = {
      {"voltmeter as is", 1, 2, 1.26, 3.34, 0, 1.26, 3.34},
      {"ammeter one decimal", 2, 2, 1.26, 3.34, 1, 1.3, 3.3},
      {"ammeter integer", 2, 3, 1.26, 3.54, 1, 1.0, 4.0},
      {"ammeter two decimals", 2, 15, 1.256, 3.344, 1, 1.26, 3.34},
      {"ammeter other mode", 2, 1, 1.26, 3.34, 1, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    meterprint::Reset();
    CWndVoltmeter pane(&engine);
    pane.m_nMode = c.role;
    Create(pane);
    pane.Activate(0);
    MeterReading& r = *pane.m_pReading;
    r.m_Ranges.m_nKind = c.mode;
    r.m_dMin = c.min;
    r.m_dMax = c.max;
    r.m_bAC = 1;
    pane.m_dLastValue = 2.5;
    Click(pane.m_Child[CWndVoltmeter::ID_PRINT]);
    ASSERT_EQ(meterprint::Items().size(), 1u) << c.name;
    const MeterPrintItem& item = meterprint::Items()[0];
    EXPECT_EQ(item.type, c.type) << c.name;
    EXPECT_DOUBLE_EQ(item.value, 2.5) << c.name;
    EXPECT_NEAR(item.min, c.printedMin, 1e-12) << c.name;
    EXPECT_NEAR(item.max, c.printedMax, 1e-12) << c.name;
    EXPECT_EQ(item.ac, 1) << c.name;
    EXPECT_EQ(item.minMax, 1) << c.name;
    EXPECT_TRUE(item.comment.IsEmpty());
    EXPECT_EQ(meterprint::DialogCount(), 1) << c.name;
    pane.Deactivate();
    pane.DestroyWindow();
  }
  // A refused item opens nothing.
  meterprint::Reset();
  meterprint::SetRefuse(true);
  CWndOhmeter ohm(&engine);
  Create(ohm);
  Click(ohm.m_Child[CWndOhmeter::ID_PRINT]);
  EXPECT_TRUE(meterprint::Items().empty());
  EXPECT_EQ(meterprint::DialogCount(), 0);
  meterprint::SetRefuse(false);
  Click(ohm.m_Child[CWndOhmeter::ID_PRINT]);
  ASSERT_EQ(meterprint::Items().size(), 1u);
  EXPECT_EQ(meterprint::Items()[0].type, PRINT_ITEM_RESISTANCE);
  EXPECT_FALSE(meterprint::Items()[0].meterValues);
}

TEST_F(MeterPaneTest, LayoutOfBothRolesAtTwoSizes) {
  struct Case {
    int role, width, height;
    CRect title, value, min, max, acdc, onOff, zero, print;
  } cases[] = {
      // Field 700 wide from (100,100), 200 high; MIN/MAX 100 high; row at 440, (600-300)/4.5 = 66
      // high, buttons 132 wide; the voltmeter's OnOff at 100 + 700/3 - 660/15.
      {1, 900, 600, {30, 0, 900, 90}, {100, 100, 800, 300}, {100, 320, 440, 420}, {460, 320, 800, 420},
       {100, 460, 232, 526}, {289, 460, 421, 526}, {465, 460, 597, 526}, {641, 460, 773, 526}},
      {2, 900, 600, {30, 0, 900, 90}, {100, 100, 800, 300}, {100, 320, 440, 420}, {460, 320, 800, 420},
       {100, 460, 232, 526}, {242, 460, 374, 526}, {384, 460, 516, 526}, {668, 460, 800, 526}},
      // 800 x 500: field 600 x 166, MIN/MAX 83 high, row at 409, (500-266)/4.5 = 52 high, 112 wide.
      {2, 800, 500, {30, 0, 800, 90}, {100, 100, 700, 266}, {100, 286, 390, 369}, {410, 286, 700, 369},
       {100, 409, 212, 461}, {222, 409, 334, 461}, {344, 409, 456, 461}, {588, 409, 700, 461}},
  };
  for (const Case& c : cases) {
    CWndVoltmeter pane(&engine);
    pane.m_nMode = c.role;
    Create(pane, c.width, c.height);
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_TITLE]), c.title) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_CURRENT]), c.value) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_MIN]), c.min) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_MAX]), c.max) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_ACDC]), c.acdc) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_ONOFF]), c.onOff) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_ZERO]), c.zero) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_PRINT]), c.print) << c.role << " " << c.width;
    EXPECT_EQ(pane.m_Child[CWndVoltmeter::ID_CALIBRATE].IsWindowVisible() != FALSE, c.role == 2);
    pane.DestroyWindow();
  }
  // The ohmmeter's row lies 160 px below its field: 900 x 600 → row at 460.
  CWndOhmeter ohm(&engine);
  Create(ohm);
  EXPECT_EQ(ChildRect(ohm.m_Child[CWndOhmeter::ID_CURRENT]), CRect(100, 100, 800, 300));
  EXPECT_EQ(ChildRect(ohm.m_Child[CWndOhmeter::ID_OHM]), CRect(100, 460, 232, 526));
  EXPECT_EQ(ChildRect(ohm.m_Child[CWndOhmeter::ID_ZERO]), CRect(526, 460, 658, 526));
  EXPECT_EQ(ChildRect(ohm.m_Child[CWndOhmeter::ID_PRINT]), CRect(668, 460, 800, 526));
}

TEST_F(MeterPaneTest, OhmmeterModesZeroAndTone) {
  kvp::SoundRecording sounds;
  CWndOhmeter pane(&engine);
  Create(pane);
  pane.Activate(0);
  Click(pane.m_Child[CWndOhmeter::ID_DIODE]);
  EXPECT_EQ(engine.m_nOhmMode, CMeasureEngine::OHM_DIODE);
  EXPECT_FALSE(pane.m_Child[CWndOhmeter::ID_ZERO].IsWindowEnabled());
  Click(pane.m_Child[CWndOhmeter::ID_OHM]);
  EXPECT_EQ(engine.m_nOhmMode, CMeasureEngine::OHM_AUTO);
  EXPECT_TRUE(pane.m_Child[CWndOhmeter::ID_ZERO].IsWindowEnabled());
  Click(pane.m_Child[CWndOhmeter::ID_CONDUC]);
  EXPECT_EQ(engine.m_nOhmMode, CMeasureEngine::OHM_FIXED);

  // Without a library every tick is an error; a zero then sounds the alarm and changes nothing.
  hl::Advance(250);
  EXPECT_EQ(pane.m_bErrorShown, 1);
  engine.GetOhmReading().m_dRawValue = 1.0;
  Click(pane.m_Child[CWndOhmeter::ID_ZERO]);
  hl::Advance(250);
  EXPECT_EQ(pane.m_nZeroCount, 1);
  hl::Advance(250);
  EXPECT_EQ(pane.m_nZeroCount, 0);
  EXPECT_DOUBLE_EQ(engine.GetOhmReading().m_dOffset, 0.0);
  ASSERT_FALSE(sounds.Events().empty());
  EXPECT_EQ(sounds.Events().back().source, "resource:148");
  EXPECT_FALSE(sounds.Events().back().loop);

  // Leaving stops a playing tone.
  pane.m_nTone = 1;
  const size_t before = sounds.Events().size();
  EXPECT_TRUE(pane.Deactivate());
  EXPECT_EQ(pane.m_nTone, -1);
  ASSERT_EQ(sounds.Events().size(), before + 1);
  EXPECT_EQ(sounds.Events().back().kind, kvp::SoundEvent::Kind::Stop);
  EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), 24);
}

}  // namespace
