// The engine parameter panel on the headless display: each control wraps at its ends and stores
// into the current engine type's set, the controls shown per engine type, the set-up control that
// follows the coil type at once, the reload that takes only values inside a control's range, and
// the polarity switches with their box.
#include <enginetester/WndMotortester_Params.h>

#include "EtTestSupport.h"

#include <cstring>
#include <iterator>
#include <vector>

namespace {

using namespace ettest;
using P = CWndMotortester_Params;

// The library's current parameter set, handed out whole by GetAllParams.
struct ParamsTester : FakeTester {
  EngineParameterBlock current{};
  int getRc = 0;
  uint32_t polarities = 0x01000100u;  // probes 2 and 4 normal
  int polarityReads = 0;
  ParamsTester() {
    current.engineType = 0;
    current.sparkNumberCylinders = 4;
    current.sparkNumberMarks = 1;
    current.sparkStroke = 4;
    current.sparkSensitivity = 3;
    current.sparkSpeedSensorType = 0;  // user code 1
    current.sparkCoilType = 0;
    current.dieselNumberCylinders = 6;
    current.dieselNumberMarks = 2;
    current.dieselStroke = 4;
    current.dieselComparativeLevel = 11;
    current.dieselPressureSensorType = 0;
    current.dieselSpeedSensorType = 1;  // user code 2
  }
  int GetAllParams(EngineParameterBlock* b) override { return getRc == 0 ? (*b = current, 0) : getRc; }
  int GetSparkPolarityHVProbes(uint32_t* value) override { return ++polarityReads, *value = polarities, 0; }
};

class ParamsPanelTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    GetMotortesterDevice()->SetInterfaces(&lib, nullptr, nullptr);
  }
  void Show(P& panel, int engineType) {
    lib.current.engineType = engineType;
    if (!panel.GetSafeHwnd()) {
      ASSERT_TRUE(panel.Create("Params", WS_CHILD, CRect(0, 0, 900, 600), &host, 1030));
    }
    panel.ShowWindow(SW_HIDE);
    panel.ShowWindow(SW_SHOW);
    hl::Pump();
  }
  // One arrow click on a control, as the control reports it.
  static void Step(P& panel, int id, bool up) {
    CRepeatCtrl* c = panel.Control(id);
    if (up)
      StepValueUp(&c->record, c->record.step);
    else
      StepValueDown(&c->record, c->record.step);
    c->ReportValue();
  }
  static int Value(P& panel, int id) { return static_cast<int>(panel.Control(id)->record.value); }
  static bool Visible(P& panel, int id) { return panel.Control(id)->IsWindowVisible() != FALSE; }
  static CMotortesterData& Data() { return *GetMotortesterDevice(); }

  ParamsTester lib;
};

TEST_F(ParamsPanelTest, TwoControlsShareANameAndAreFoundById) {
  P panel;
  Show(panel, 0);
  ASSERT_NE(panel.Control(P::ID_COMPARATIVE), panel.Control(P::ID_COIL_TYPE));
  EXPECT_EQ(panel.Control(P::ID_COMPARATIVE)->GetDlgCtrlID(), 5);
  EXPECT_EQ(panel.Control(P::ID_COIL_TYPE)->GetDlgCtrlID(), 8);
  EXPECT_EQ(panel.Control(P::ID_CONFIGURE_PROBES)->GetDlgCtrlID(), 16);
  EXPECT_EQ(panel.Control(9), nullptr);
}

TEST_F(ParamsPanelTest, EachControlWrapsAtItsEndsAndStores) {
  struct Case {
    const char* what;
    int engineType;
    int id;
    int from;
    bool up;
    int to;
    int (*stored)();  // what the data object holds afterwards
  } cases[] = {
      {"cylinders up from 8", 0, P::ID_CYLINDERS, 8, true, 1, [] { return Data().GetNumberCylinders(0); }},
      {"cylinders down from 1", 0, P::ID_CYLINDERS, 1, false, 8, [] { return Data().GetNumberCylinders(0); }},
      {"marks up from 61", 0, P::ID_MARKS, 61, true, 1, [] { return Data().GetNumberMarks(0); }},
      {"marks down from 1", 0, P::ID_MARKS, 1, false, 61, [] { return Data().GetNumberMarks(0); }},
      {"offset up from 359", 0, P::ID_MARK_SHIFT, 359, true, -359, [] { return Data().GetMarkOffset(0); }},
      {"offset down from -359", 0, P::ID_MARK_SHIFT, -359, false, 359, [] { return Data().GetMarkOffset(0); }},
      {"stroke up from 4", 0, P::ID_STROKE, 4, true, 2, [] { return Data().GetStroke(0); }},
      {"stroke down from 2", 0, P::ID_STROKE, 2, false, 4, [] { return Data().GetStroke(0); }},
      {"sensitivity up from 7", 0, P::ID_SENSITIVITY, 7, true, 1, [] { return int(Data().GetParamBlock().sparkSensitivity); }},
      {"sensitivity down from 1", 0, P::ID_SENSITIVITY, 1, false, 7, [] { return int(Data().GetParamBlock().sparkSensitivity); }},
      {"spark speed sensor up from 3", 0, P::ID_SPEED_SENSOR, 3, true, 1, [] { return Data().GetSpeedSensorType(0); }},
      {"spark speed sensor down from 1", 0, P::ID_SPEED_SENSOR, 1, false, 3, [] { return Data().GetSpeedSensorType(0); }},
      {"coil down from 0", 0, P::ID_COIL_TYPE, 0, false, 1, [] { return Data().GetCoilType(); }},
      {"coil up from 1", 0, P::ID_COIL_TYPE, 1, true, 0, [] { return Data().GetCoilType(); }},
      {"set-up up from 1", 0, P::ID_CONFIGURE_PROBES, 1, true, 0, [] { return Data().m_bProbeSetupDone.load(); }},
      {"set-up down from 0", 0, P::ID_CONFIGURE_PROBES, 0, false, 1, [] { return Data().m_bProbeSetupDone.load(); }},
      {"comparative up from 15", 1, P::ID_COMPARATIVE, 15, true, 11, [] { return int(Data().GetParamBlock().dieselComparativeLevel); }},
      {"comparative up from 11", 1, P::ID_COMPARATIVE, 11, true, 15, [] { return int(Data().GetParamBlock().dieselComparativeLevel); }},
      {"comparative down from 11", 1, P::ID_COMPARATIVE, 11, false, 15, [] { return int(Data().GetParamBlock().dieselComparativeLevel); }},
      {"diesel speed sensor up from 4", 1, P::ID_SPEED_SENSOR, 4, true, 2, [] { return Data().GetSpeedSensorType(1); }},
      {"diesel speed sensor down from 2", 1, P::ID_SPEED_SENSOR, 2, false, 4, [] { return Data().GetSpeedSensorType(1); }},
      {"pressure up from 2", 1, P::ID_PRESSURE_SENSOR, 2, true, 1, [] { return Data().GetPressureSensorType(1); }},
      {"pressure down from 1", 1, P::ID_PRESSURE_SENSOR, 1, false, 2, [] { return Data().GetPressureSensorType(1); }},
      {"diesel cylinders", 1, P::ID_CYLINDERS, 6, true, 7, [] { return Data().GetNumberCylinders(1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    P panel;
    Show(panel, c.engineType);
    panel.Control(c.id)->record.value = c.from;
    Step(panel, c.id, c.up);
    EXPECT_EQ(Value(panel, c.id), c.to);
    EXPECT_EQ(c.stored(), c.to);
    panel.DestroyWindow();
  }
}

TEST_F(ParamsPanelTest, ADieselValueLandsInTheDieselSet) {
  P panel;
  Show(panel, 1);
  const EngineParameterBlock before = Data().GetParamBlock();
  Step(panel, P::ID_CYLINDERS, true);
  Step(panel, P::ID_MARK_SHIFT, false);
  const EngineParameterBlock after = Data().GetParamBlock();
  EXPECT_EQ(after.dieselNumberCylinders, 7);
  EXPECT_EQ(after.dieselMarkOffset, -1);
  EXPECT_EQ(after.sparkNumberCylinders, before.sparkNumberCylinders);
  EXPECT_EQ(after.sparkMarkOffset, before.sparkMarkOffset);
  EXPECT_EQ(after.engineType, 1);
}

TEST_F(ParamsPanelTest, ShowLoadsTheLibrarySetAndTheControlsPerEngineType) {
  struct Case {
    const char* what;
    int engineType, coil, setupDone;
    std::vector<int> shown, hidden;
    int setupValue;
  } cases[] = {
      {"spark, simple coil", 0, 0, 1, {0, 1, 2, 3, 4, 6, 8}, {5, 7, 16}, 1},
      {"spark, double coil, set up", 0, 1, 1, {4, 8, 16}, {5, 7}, 1},
      {"spark, double coil, not set up", 0, 1, 0, {4, 8, 16}, {5, 7}, 0},
      {"diesel", 1, 1, 1, {0, 1, 2, 3, 5, 6, 7}, {4, 8, 16}, -99},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    lib.current.sparkCoilType = c.coil;
    Data().m_bProbeSetupDone = c.setupDone;
    lib.polarityReads = 0;
    P panel;
    Show(panel, c.engineType);
    EXPECT_EQ(Data().GetEngineType(), c.engineType);
    for (int id : c.shown) EXPECT_TRUE(Visible(panel, id)) << id;
    for (int id : c.hidden) EXPECT_FALSE(Visible(panel, id)) << id;
    EXPECT_EQ(Value(panel, P::ID_CYLINDERS), c.engineType ? 6 : 4);
    EXPECT_EQ(Value(panel, P::ID_SPEED_SENSOR), c.engineType ? 2 : 1);
    if (c.setupValue != -99) {
      EXPECT_EQ(Value(panel, P::ID_CONFIGURE_PROBES), c.setupValue);
    }
    EXPECT_EQ(lib.polarityReads, c.engineType == 0 && c.coil == 1 && c.setupDone ? 1 : 0);
    if (c.engineType == 0 && c.coil == 1 && c.setupDone) SavePicture(panel.GetSafeHwnd(), "et-params-spark");
    if (c.engineType == 1) SavePicture(panel.GetSafeHwnd(), "et-params-diesel");
    panel.DestroyWindow();
  }
}

TEST_F(ParamsPanelTest, AFailingLibraryReadKeepsTheBlock) {
  Data().SetEngineType(0);
  Data().SetNumberCylinders(0, 5);
  lib.getRc = 14;
  P panel;
  Show(panel, 0);
  EXPECT_EQ(Data().GetNumberCylinders(0), 5);
  EXPECT_EQ(Value(panel, P::ID_CYLINDERS), 5);
}

TEST_F(ParamsPanelTest, CoilTypeOneShowsTheSetUpControlAtOnce) {
  P panel;
  Show(panel, 0);
  EXPECT_FALSE(Visible(panel, P::ID_CONFIGURE_PROBES));
  panel.Control(P::ID_COIL_TYPE)->record.value = 0;
  Step(panel, P::ID_COIL_TYPE, true);
  EXPECT_TRUE(Visible(panel, P::ID_CONFIGURE_PROBES));
  Step(panel, P::ID_COIL_TYPE, true);
  EXPECT_FALSE(Visible(panel, P::ID_CONFIGURE_PROBES));
}

TEST_F(ParamsPanelTest, ReloadTakesOnlyValuesInsideTheRange) {
  P panel;
  Show(panel, 0);
  struct Case {
    const char* what;
    int cylinders;
    int expected;
  } cases[] = {{"valid", 6, 6}, {"the upper wrap mark", 9, 6}, {"the lower wrap mark", 0, 6}, {"beyond", 200, 6}, {"valid again", 2, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Data().SetNumberCylinders(0, c.cylinders);
    panel.Reload();
    EXPECT_EQ(Value(panel, P::ID_CYLINDERS), c.expected);
  }
  Data().SetMarkOffset(0, -360);
  panel.Reload();
  EXPECT_EQ(Value(panel, P::ID_MARK_SHIFT), 0) << "the loaded offset stays";
}

TEST_F(ParamsPanelTest, PolaritySwitchesOnlyForSparkDoubleCoilAndSetUpDone) {
  struct Case {
    const char* what;
    int engineType, coil, done;
    bool box;
  } cases[] = {
      {"spark, double coil, set up", 0, 1, 1, true},
      {"not set up", 0, 1, 0, false},
      {"simple coil", 0, 0, 1, false},
      {"diesel", 1, 1, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    lib.current.sparkCoilType = c.coil;
    Data().m_bProbeSetupDone = c.done;
    P panel;
    Show(panel, c.engineType);
    EXPECT_EQ(panel.PolarityBoxShown(), c.box);
    for (int probe = 1; probe <= 4; ++probe) EXPECT_EQ(panel.Switch(probe).IsWindowVisible() != FALSE, c.box) << probe;
    panel.DestroyWindow();
  }

  lib.current.sparkCoilType = 1;
  Data().m_bProbeSetupDone = 1;
  P panel;
  Show(panel, 0);
  EXPECT_EQ(Data().GetPolarity(1), 0);
  EXPECT_EQ(Data().GetPolarity(2), 1);
  ClickCentre(panel.Switch(1));
  ClickCentre(panel.Switch(2));
  EXPECT_EQ(Data().GetPolarity(1), 1);
  EXPECT_EQ(Data().GetPolarity(2), 0);
  // The set-up control to "not done" hides the box at once.
  panel.Control(P::ID_CONFIGURE_PROBES)->record.value = 1;
  Step(panel, P::ID_CONFIGURE_PROBES, true);
  EXPECT_FALSE(panel.PolarityBoxShown());
  EXPECT_FALSE(panel.Switch(1).IsWindowVisible());
}

TEST_F(ParamsPanelTest, ValueTexts) {
  P panel;
  const std::tuple<int, int, const char*> cases[] = {
      {P::ID_CYLINDERS, 4, "4"},          {P::ID_MARK_SHIFT, -12, "-12"},     {P::ID_STROKE, 2, "2"},
      {P::ID_COMPARATIVE, 15, "15%"},     {P::ID_SPEED_SENSOR, 2, "IND"},     {P::ID_PRESSURE_SENSOR, 1, "AVL"},
      {P::ID_COIL_TYPE, 1, "Double"},     {P::ID_CONFIGURE_PROBES, 0, "Auto"},
  };
  for (const auto& [id, value, text] : cases) EXPECT_EQ(std::string(panel.ValueText(id, value)), text) << id;
}

// "Motortester Setup" stands whole inside its title button, also as large as the panel is in the
// program: no stroke of it reaches the edge of the button's face.
TEST_F(ParamsPanelTest, TheTitleFitsItsButton) {
  std::vector<SIZE> sizes(std::begin(kProgramPanelSizes), std::end(kProgramPanelSizes));
  sizes.push_back(SIZE{900, 600});
  for (const SIZE& size : sizes) {
    SCOPED_TRACE(size.cx);
    host.MoveWindow(0, 0, size.cx, size.cy);
    P panel;
    ASSERT_TRUE(panel.Create("Params", WS_CHILD, CRect(0, 0, size.cx, size.cy), &host, 1030));
    panel.ShowWindow(SW_SHOW);
    panel.RedrawWindow();
    hl::Pump();
    CWnd* title = panel.GetDlgItem(P::ID_TITLE);
    ASSERT_NE(title, nullptr);
    // The face inside the button's frame: 6 pixels in from its edges.
    CRect face;
    title->GetClientRect(&face);
    face.DeflateRect(6, 6);
    const HWND w = title->GetSafeHwnd();
    const COLORREF background = kvp::WindowPixel(w, face.left, face.top);
    int ink = 0;
    for (int x = face.left; x < face.right; ++x)
      ink += (kvp::WindowPixel(w, x, face.top) != background) + (kvp::WindowPixel(w, x, face.bottom - 1) != background);
    for (int y = face.top; y < face.bottom; ++y) ink += kvp::WindowPixel(w, face.right - 1, y) != background;
    EXPECT_EQ(ink, 0) << "the title's text reaches the edge of the face";
    // And it is there.
    int text = 0;
    for (int x = face.left; x < face.right; ++x) text += kvp::WindowPixel(w, x, face.CenterPoint().y) != background;
    EXPECT_GT(text, 0);
    panel.DestroyWindow();
  }
}

}  // namespace

