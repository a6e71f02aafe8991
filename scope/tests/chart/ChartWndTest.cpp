// The scope chart on the headless display with the virtual clock: grid, live traces (gaps, pen
// moves, inversion, the segmented engine records), saved signals, limit bands, the cursor and level
// lines, the drawn texts, the trigger-level marker and its drag, the mouse during recording, the
// notification table and pictures of the chart for people to look at.
#include "ChartScene.h"

#include <scope/ScopeState.h>
#include <scope/chart/OscChartWnd.h>

#include <core/ColorScheme.h>
#include <core/MeasureType.h>
#include <core/MotortesterData.h>
#include <core/Notify.h>
#include <core/NumberFormat.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Screenshots.h>

#include <platform/display.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace hl = kvp::headless;
using chartscene::X;
using chartscene::Y;

constexpr int kW = 400;
constexpr int kH = 300;

// The pane's sink: records every notification.
class Sink : public ISystemNotify {
 public:
  std::vector<std::tuple<int, int, int>> calls;
  void OnSystemNotify(notify::Sender sender, notify::Code code, int value) override {
    calls.emplace_back(notify::ToInt(sender), notify::ToInt(code), value);
  }
};

class ChartTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    chartscene::ResetScopeState();
    GetMeasureType().m_nSegmentCount = 0;
    chartscene::SetTimeBase(10);
    chartscene::SetVerticalAxes();
    chartscene::SetupStyles();
    SetSystemNotify(&sink);
    ASSERT_TRUE(host.CreateTop(0, 0, kW + 40, kH + 40));
  }
  void TearDown() override {
    kvp::StopTextLog();
    if (chart.GetSafeHwnd()) chart.DestroyWindow();
    host.DestroyWindow();
    chartscene::ResetScopeState();
    GetMeasureType().m_nSegmentCount = 0;
    kvtest::CoreTest::TearDown();
  }
  void Make(int w = kW, int h = kH) {
    ASSERT_TRUE(chart.Create(&host, CRect(0, 0, w, h)));
    EXPECT_EQ(chart.GetDlgCtrlID(), 1001);
    chart.ShowWindow(SW_SHOW);
    chart.OnSystemNotify(notify::kFromControlPanel, notify::kScopeInit, 0);  // the trigger marker
    chart.Redraw(COscChartWnd::kAll, TRUE);
    hl::Pump();
  }
  void Full() {
    chart.Redraw(COscChartWnd::kAll, TRUE);
    hl::Pump();
  }
  COLORREF Px(int x, int y) const { return kvp::WindowPixel(chart.GetSafeHwnd(), x, y); }
  // The colour within one pixel up or down (2-pixel pens fall on either side of the mapped row).
  bool Near(int x, int y, COLORREF color) const {
    for (int dy = -1; dy <= 1; ++dy) {
      if (Px(x, y + dy) == color) return true;
    }
    return false;
  }
  int CountInColumn(int x, int y0, int y1, COLORREF color) const {
    int n = 0;
    for (int y = y0; y <= y1; ++y) n += Px(x, y) == color;
    return n;
  }
  int CountInRow(int y, COLORREF color) const {
    int n = 0;
    for (int x = 0; x < kW; ++x) n += Px(x, y) == color;
    return n;
  }

  kvp::HeadlessWorld world;
  kvtest::HostWindow host;
  COscChartWnd chart;
  Sink sink;
};

const COLORREF kChA = 0x0033FF;
const COLORREF kChB = 0x000000;
const COLORREF kGrid = 0xC0C0C0;
const COLORREF kArea = 0xFFFFFF;

// ---- grid ----------------------------------------------------------------------------------------

TEST_F(ChartTest, GridLinesLieAtTheTicksWithoutEdgeLinesAndNoVerticalOnesInSegmentedTypes) {
  struct Case {
    int shown;
    int type;
    COLORREF area;
    int verticalLines;
  } cases[] = {{10, 0, kArea, 9}, {20, 0, kArea, 19}, {10, 8, 0xE6E6E6, 0}, {10, 10, 0xE6E6E6, 0}};
  for (CTraceStyle& style : GetGlobalProps().m_Styles) style.m_nFlags = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "shown " << c.shown << " type " << c.type);
    chartscene::SetTimeBase(c.shown);
    GetMeasureType().m_nMeasureType = c.type;
    if (chart.GetSafeHwnd()) chart.DestroyWindow();
    Make();
    EXPECT_EQ(chart.HorizontalGrid().ToPixel(10.0), kW / c.shown);
    // Row 5 crosses only vertical lines.
    int lines = 0;
    for (int x = 0; x < kW; ++x) lines += Px(x, 5) == kGrid;
    EXPECT_EQ(lines, c.verticalLines);
    for (int k = 1; k < c.shown && c.verticalLines; ++k) EXPECT_EQ(Px(k * kW / c.shown, 5), kGrid) << k;
    // Nine horizontal lines at every 30 pixels, none at the edges.
    for (int k = 1; k < 10; ++k) EXPECT_EQ(Px(7, k * kH / 10), kGrid) << k;
    EXPECT_EQ(Px(7, 0), c.area);
    EXPECT_EQ(Px(0, 7), c.area);
    EXPECT_EQ(Px(kW - 1, 7), c.area);
    EXPECT_EQ(Px(7, kH - 1), c.area);
  }
}

TEST_F(ChartTest, TheAxesFollowTheChartSizeAndAZeroHeightGivesFactorsOfOne) {
  Make();
  const CScale& a = GetOscScale().m_Vertical[0];
  struct Case {
    double volts;
    int pixel;
  } cases[] = {{-5.0, 300}, {0.0, 150}, {4.99, 0}, {0.01, 149}, {-0.01, 150}, {5.0, 0}};
  for (const Case& c : cases) EXPECT_EQ(a.ValueToPixel(c.volts), c.pixel) << c.volts;
  EXPECT_EQ(GetOscScale().m_TimeAxis.ValueToPixel(2.5), 100);

  chart.DestroyWindow();
  Make(kW, 0);
  EXPECT_DOUBLE_EQ(GetOscScale().m_Vertical[0].m_dValuePerPixel, 1.0);
  EXPECT_DOUBLE_EQ(chart.Markers().m_dLevelsPerPixel, 1.0);
  EXPECT_DOUBLE_EQ(chart.VerticalGrid().m_dValuePerPixel, 1.0);
}

TEST_F(ChartTest, DegenerateSizesAndExtremeValuesDrawNothingWrong) {
  // Values a damaged file or a collapsed axis can bring: far outside the int range, NaN, inf.
  const double extremes[] = {1e300, -1e300, std::nan(""), HUGE_VAL, 0.0};
  CMeasure* a = chartscene::FillTrace(0, [&](int i) { return extremes[i % 5]; });
  a->m_bShowUpper = a->m_bShowLower = 1;
  a->m_dUpperLimit = 1e300;
  a->m_dLowerLimit = std::nan("");
  CSavedSignal* c = chartscene::AddSavedSignal(0, 0, 1000, [&](int i) { return extremes[(i + 1) % 5]; }, 0x0CB000);
  c->m_bShowLevel1 = 1;
  c->m_dLevel1 = -1e300;
  GetGlobalProps().m_Styles[GlobalProps::STYLE_LEVEL_A].m_dValue = std::nan("");
  struct Size {
    int w, h;
  } sizes[] = {{0, 0}, {1, 1}, {0, kH}, {kW, 0}, {kW, kH}};
  for (const Size& size : sizes) {
    SCOPED_TRACE(testing::Message() << size.w << " x " << size.h);
    if (chart.GetSafeHwnd()) chart.DestroyWindow();
    Make(size.w, size.h);
    GetSavedScopes()[0].m_bRollMode = !GetSavedScopes()[0].m_bRollMode;
    Full();
    EXPECT_TRUE(chart.DrawRect().IsRectNull() || chart.DrawRect().Width() == size.w);
  }
  // A collapsed vertical axis (no probe): nothing of channel A.
  GetOscScale().m_Vertical[0].SetDivisions(0.0, 0.0, 10, 0.0, true);
  Full();
  EXPECT_EQ(CountInColumn(200, 0, kH - 1, kChA), 0);
}

// ---- live traces ---------------------------------------------------------------------------------

TEST_F(ChartTest, TracesAreDrawnInTheirColoursWithGapsAndPenMoves) {
  CMeasure* a = chartscene::FillTrace(0, [](int) { return 2.0; });
  chartscene::FillTrace(1, [](int) { return -3.0; });
  for (int i = 100; i < 150; ++i) a->m_PointFlags[i] = 0;       // no samples: a gap
  for (int i = 300; i < 350; ++i) a->m_SaturationFlags[i] = 1;  // one clip run: the pen moves
  Make();
  const int ya = Y(2.0, kH), yb = Y(-3.0, kH);
  EXPECT_EQ(ya, 90);
  for (int i : {10, 60, 200, 280, 400, 490}) {
    const int x = X(i * chartscene::kTimePerIndex, kW);
    EXPECT_TRUE(Near(x, ya, kChA)) << "A at index " << i;
    EXPECT_TRUE(Near(x, yb, kChB)) << "B at index " << i;
  }
  for (int i : {110, 125, 140, 310, 325, 340}) {
    EXPECT_FALSE(Near(X(i * chartscene::kTimePerIndex, kW), ya, kChA)) << "nothing at index " << i;
  }
  EXPECT_FALSE(Near(X(12.0, kW) - 1, ya, kChA)) << "nothing past the window";
}

TEST_F(ChartTest, AnInvertedTraceIsMirroredAndItsClipCodesExchanged) {
  CMeasure* a = chartscene::FillTrace(0, [](int) { return 2.0; });
  a->m_nMultiplier = -1;
  // Clip codes 1 then 2 alternate: after the exchange they still differ, so the line is joined;
  // a run of code 3 reads 0 inverted and is joined too.
  for (int i = 100; i < 150; ++i) a->m_SaturationFlags[i] = static_cast<BYTE>(1 + (i % 2));
  for (int i = 200; i < 250; ++i) a->m_SaturationFlags[i] = 3;
  Make();
  for (int i : {50, 125, 225, 400}) {
    EXPECT_TRUE(Near(X(i * chartscene::kTimePerIndex, kW), Y(-2.0, kH), kChA)) << i;
    EXPECT_FALSE(Near(X(i * chartscene::kTimePerIndex, kW), Y(2.0, kH), kChA)) << i;
  }
}

TEST_F(ChartTest, SegmentedRecordsDrawEachSegmentInItsPen) {
  chartscene::SetTimeBase(20);
  GetMeasureType().m_nMeasureType = 8;
  GetMotortesterDevice()->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, 4);
  chartscene::FillTrace(0, [](int) { return 1.0; });
  GetMeasureType().m_nSegmentCount = 4;
  Make();
  const COLORREF pens[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0xBF4DB4};
  for (int s = 0; s < 4; ++s) {
    const int x = X((s * 250 + 125) * chartscene::kTimePerIndex, kW, 20);
    EXPECT_TRUE(Near(x, Y(1.0, kH), pens[s])) << "segment " << s + 1;
  }
  EXPECT_EQ(CountInRow(Y(1.0, kH), kChA), 0) << "no trace pen in type 8";
}

TEST_F(ChartTest, NothingIsDrawnWithoutSegmentsOrWithAZeroTimeSpan) {
  struct Case {
    const char* name;
    int type;
    int segments;
    double span;
  } cases[] = {{"type 8, no segments", 8, 0, 10.0},
               {"type 10, no segments", 10, 0, 10.0},
               {"zero time span", 0, 4, 0.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GetMeasureType().m_nMeasureType = c.type;
    GetMeasureType().m_nSegmentCount = c.segments;
    chartscene::FillTrace(0, [](int) { return 1.0; });
    GetOscScale().m_TimeAxis.Set(0.0, 10.0, c.span, 10, true);
    if (chart.GetSafeHwnd()) chart.DestroyWindow();
    Make();
    int drawn = 0;
    for (int y = 1; y < kH - 1; ++y) {
      for (COLORREF color : {kChA, COLORREF(0x0000FF), COLORREF(0x00FF00)}) drawn += Px(200, y) == color;
    }
    EXPECT_EQ(drawn, 0);
  }
}

TEST_F(ChartTest, MoreThanSixSegmentsKeepTheSixthPen) {
  chartscene::SetTimeBase(20);
  GetMeasureType().m_nMeasureType = 10;
  GetMeasureType().m_nSegmentCount = 8;  // 125 points each; boundaries only up to 750
  chartscene::FillTrace(0, [](int) { return 1.0; });
  Make();
  const int y = Y(1.0, kH);
  EXPECT_TRUE(Near(X(560 * chartscene::kTimePerIndex, kW, 20), y, 0x000000));
  EXPECT_TRUE(Near(X(690 * chartscene::kTimePerIndex, kW, 20), y, 0x4E2D00));
  EXPECT_TRUE(Near(X(810 * chartscene::kTimePerIndex, kW, 20), y, 0x4E2D00));
  EXPECT_TRUE(Near(X(940 * chartscene::kTimePerIndex, kW, 20), y, 0x4E2D00));
}

TEST_F(ChartTest, AGreyPenForTheDoubleCoilInTypes8And9) {
  GetMotortesterDevice()->SetCoilType(CMotortesterData::ENGINE_SPARK, 1);
  GetMotortesterDevice()->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, 4);
  GetMeasureType().m_nSegmentCount = 4;
  chartscene::FillTrace(0, [](int) { return 1.5; });
  for (int type : {8, 9}) {
    GetMeasureType().m_nMeasureType = type;
    if (chart.GetSafeHwnd()) chart.DestroyWindow();
    Make();
    EXPECT_TRUE(Near(X(1.0, kW), Y(1.5, kH), 0xC0C0C0)) << type;
    EXPECT_EQ(CountInRow(Y(1.5, kH), kChA), 0) << type;
  }
}

// ---- saved signals and bands ---------------------------------------------------------------------

TEST_F(ChartTest, SavedSignalsSpreadOverTheWidthInRollModeAndShowTheirWindowOtherwise) {
  const COLORREF c = 0x0CB000;
  chartscene::AddSavedSignal(0, 0, 1000, [](int i) { return i < 500 ? 3.0 : -3.0; }, c);
  Make();
  // Offset 0: indexes 0..499 of the 1000-point record over the width.
  EXPECT_TRUE(Near(200, Y(3.0, kH), c));
  EXPECT_EQ(CountInRow(Y(-3.0, kH), c), 0);
  // Offset 10 divisions: the second half.
  GetOscScale().m_nHorizontalOffset = 10;
  Full();
  EXPECT_TRUE(Near(200, Y(-3.0, kH), c));
  EXPECT_FALSE(Near(200, Y(3.0, kH), c));
  // Roll mode: every point over the width, the step in the middle.
  GetSavedScopes()[0].m_bRollMode = 1;
  Full();
  EXPECT_TRUE(Near(100, Y(3.0, kH), c));
  EXPECT_TRUE(Near(300, Y(-3.0, kH), c));
}

TEST_F(ChartTest, SavedSignalsOutsideTheRecordOrWithAnEmptyWindowDrawNothing) {
  const COLORREF c = 0x0CB000;
  chartscene::AddSavedSignal(0, 0, 400, [](int) { return 3.0; }, c);
  GetOscScale().m_nHorizontalOffset = 10;  // indexes 499..999: past the 400 points
  Make();
  EXPECT_EQ(CountInRow(Y(3.0, kH), c) + CountInRow(Y(3.0, kH) + 1, c), 0);
  GetTimeStepScale().m_nCurrentStep = 0;  // no visible ticks: first == last
  GetOscScale().m_nHorizontalOffset = 0;
  Full();
  EXPECT_EQ(CountInRow(Y(3.0, kH), c) + CountInRow(Y(3.0, kH) + 1, c), 0);
}

TEST_F(ChartTest, LimitBandsAreHatchedBetweenTheEdgeAndTheLimit) {
  CMeasure* a = chartscene::FillTrace(0, [](int) { return 0.0; });
  a->m_bShowUpper = 1;
  a->m_dUpperLimit = 3.0;
  a->m_bShowLower = 1;
  a->m_dLowerLimit = -4.0;
  a->m_nStyle = 0;  // horizontal lines
  a->m_crHighlight = 0x00C0FF;
  Make();
  const int yUp = Y(3.0, kH), yLow = Y(-4.0, kH);
  EXPECT_GT(CountInColumn(200, 0, yUp, 0x00C0FF), 2);
  EXPECT_EQ(CountInColumn(200, yUp + 2, yLow - 2, 0x00C0FF), 0);
  EXPECT_GT(CountInColumn(200, yLow, kH - 1, 0x00C0FF), 0);
  EXPECT_EQ(Px(200, yUp), 0x00C0FFu) << "the band's edge line";

  // Inverted, the bands follow the signed limits: upper = -lower.
  a->m_nMultiplier = -1;
  Full();
  EXPECT_EQ(Px(200, Y(4.0, kH)), 0x00C0FFu);
  EXPECT_EQ(Px(200, Y(-3.0, kH)), 0x00C0FFu);

  // Hidden while a recording takes its samples through the recorder.
  scope::GetScopeState().ScopeRecording = 1;
  scope::GetScopeState().RecordingThroughRecorder = 1;
  Full();
  EXPECT_EQ(CountInColumn(200, 0, kH - 1, 0x00C0FF), 0);
}

TEST_F(ChartTest, SavedLevelsAreHatchedInTheSignalsColour) {
  CSavedSignal* s = chartscene::AddSavedSignal(0, 1, 1000, [](int) { return 0.0; }, 0xD49C0E);
  s->m_bShowLevel1 = 1;
  s->m_dLevel1 = 2.0;
  s->m_nStyle = 0;
  Make();
  EXPECT_GT(CountInColumn(150, 0, Y(2.0, kH), 0xD49C0E), 2);
  EXPECT_EQ(CountInColumn(150, Y(2.0, kH) + 2, Y(0.0, kH) - 3, 0xD49C0E), 0);
}

// ---- lines ---------------------------------------------------------------------------------------

TEST_F(ChartTest, LinesOfShownRecordsInsideTheirSpan) {
  GlobalProps& p = GetGlobalProps();
  p.m_Styles[GlobalProps::STYLE_LEVEL_B].m_dValue = 7.0;  // outside the span
  Make();
  // The three vertical lines cross the horizontal ones.
  EXPECT_EQ(CountInRow(Y(4.5, kH), 0x008000), kW - 3) << "level mark A";
  EXPECT_GE(CountInRow(Y(1.0, kH), 0x404040), kW - 16) << "the trigger level, partly under its marker";
  EXPECT_EQ(CountInColumn(X(2.0, kW), 0, kH - 1, 0x008080), kH) << "left time cursor";
  EXPECT_EQ(CountInColumn(X(7.0, kW), 0, kH - 1, 0x800080), kH) << "right time cursor";
  EXPECT_GE(CountInColumn(X(3.0, kW), 0, kH - 1, 0x404040), kH - 1) << "trigger position";
  EXPECT_EQ(CountInRow(Y(7.0, kH), 0x808000), 0);

  p.m_Styles[GlobalProps::STYLE_CURSOR_LEFT].m_nFlags = 0;
  Full();
  EXPECT_EQ(CountInColumn(X(2.0, kW), 0, kH - 1, 0x008080), 0) << "bit 0 clear: hidden";
}

TEST_F(ChartTest, TheTriggerLevelLineIsNegatedWhenItsSourceIsInverted) {
  struct Case {
    int invert;
    int source;
    double drawnAt;
  } cases[] = {{0, 0, 1.0}, {1, 0, -1.0}, {1, 1, 1.0}, {2, 1, -1.0}, {2, 0, 1.0}, {3, 1, -1.0}};
  Make();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "invert " << c.invert << " source " << c.source);
    scope::GetScopeState().InvertState = c.invert;
    GetGlobalProps().m_nTriggerChannel = c.source;
    Full();
    EXPECT_GE(CountInRow(Y(c.drawnAt, kH), 0x404040), kW - 20);
    EXPECT_LT(CountInRow(Y(-c.drawnAt, kH), 0x404040), 20);
  }
}

TEST_F(ChartTest, Flag4MovesTheLinesOverTheUnchangedComposedPicture) {
  CMeasure* a = chartscene::FillTrace(0, [](int) { return 2.0; });
  Make();
  ASSERT_TRUE(Near(100, Y(2.0, kH), kChA));
  a->m_bValid = 0;  // a full render would drop the trace
  GetGlobalProps().m_Styles[GlobalProps::STYLE_LEVEL_A].m_dValue = -2.5;
  chart.Redraw(COscChartWnd::kDrawLines, TRUE);
  EXPECT_TRUE(Near(100, Y(2.0, kH), kChA)) << "layer 2 was not recomposed";
  EXPECT_EQ(CountInRow(Y(-2.5, kH), 0x008000), kW - 3);
  EXPECT_EQ(CountInRow(Y(4.5, kH), 0x008000), 0) << "the old line went with the blit";
  Full();
  EXPECT_FALSE(Near(100, Y(2.0, kH), kChA));
}

// ---- texts ---------------------------------------------------------------------------------------

std::vector<kvp::DrawnText> TextsContaining(HWND w, const std::string& part) {
  std::vector<kvp::DrawnText> out;
  for (const kvp::DrawnText& t : kvp::DrawnTexts(w)) {
    if (t.text.find(part) != std::string::npos) out.push_back(t);
  }
  return out;
}

TEST_F(ChartTest, RecordingTextsInRedAndTheInvertTextInBlack) {
  Make();
  scope::GetScopeState().ScopeRecording = 1;
  scope::GetScopeState().InvertState = 3;
  kvp::StartTextLog();
  Full();
  auto rec = TextsContaining(chart.GetSafeHwnd(), "Recording");
  ASSERT_EQ(rec.size(), 1u);
  EXPECT_EQ(rec[0].text, "Recording");
  EXPECT_EQ(CRect(rec[0].rect), CRect(5, 5, kW - 5, kH - 5));
  EXPECT_EQ(rec[0].color, 0x0000FFu);
  EXPECT_EQ(rec[0].flags, static_cast<UINT>(DT_SINGLELINE | DT_RIGHT));
  EXPECT_TRUE(TextsContaining(chart.GetSafeHwnd(), "Signal unavailable").empty()) << "not through the recorder";
  auto inv = TextsContaining(chart.GetSafeHwnd(), "Invert");
  ASSERT_EQ(inv.size(), 1u);
  EXPECT_EQ(inv[0].text, "Invert ChA,ChB");
  EXPECT_EQ(inv[0].color, 0x000000u);
  EXPECT_EQ(CRect(inv[0].rect), CRect(5, 5, kW - 5, kH - 5));
  EXPECT_EQ(inv[0].flags, static_cast<UINT>(DT_SINGLELINE));

  scope::GetScopeState().RecordingThroughRecorder = 1;
  kvp::ClearTextLog();
  Full();
  auto centre = TextsContaining(chart.GetSafeHwnd(), "Signal unavailable");
  ASSERT_EQ(centre.size(), 1u);
  EXPECT_EQ(centre[0].text, "Signal unavailable - record in process");
  EXPECT_EQ(CRect(centre[0].rect), CRect(0, 0, kW, kH));
  EXPECT_EQ(centre[0].flags, static_cast<UINT>(DT_SINGLELINE | DT_CENTER | DT_VCENTER));

  // Roll mode keeps the signals: no centred text.
  GetGlobalProps().m_nSlowRateModifier = 1;
  kvp::ClearTextLog();
  Full();
  EXPECT_TRUE(TextsContaining(chart.GetSafeHwnd(), "Signal unavailable").empty());
}

TEST_F(ChartTest, EngineSpeedAtTheBottomOnlyInTheSynchronisedDisplayAndNotWhileRecording) {
  Make();
  kvp::StartTextLog();
  Full();
  EXPECT_TRUE(TextsContaining(chart.GetSafeHwnd(), "RPM").empty());
  GetMotortesterDevice()->SetEngineModeFlag(1);
  kvp::ClearTextLog();
  Full();
  auto rpm = TextsContaining(chart.GetSafeHwnd(), "RPM");
  ASSERT_FALSE(rpm.empty());
  EXPECT_EQ(rpm[0].text, "--- RPM") << "one blank between the value and the unit";
  EXPECT_GE(rpm[0].rect.top, kH - kH / 10);
  EXPECT_LE(rpm[0].rect.bottom, kH);
  scope::GetScopeState().ScopeRecording = 1;
  kvp::ClearTextLog();
  Full();
  EXPECT_TRUE(TextsContaining(chart.GetSafeHwnd(), "RPM").empty());
}

// ---- marker and mouse ----------------------------------------------------------------------------

TEST_F(ChartTest, TheMarkerSitsAtTheRightEdgeOnItsLevel) {
  Make();
  ASSERT_EQ(chart.Markers().GetCount(), 1);
  const RECT r = *chart.Markers().GetItem(0)->GetRect();
  EXPECT_EQ(CRect(r), CRect(kW - 13, Y(1.0, kH) - 6, kW, Y(1.0, kH) + 6));
  const COLORREF hot = AdjustColor(0x404040, 100);
  auto* item = dynamic_cast<CHICChart::CVIChart*>(chart.Markers().GetItem(0));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(Px(kW - 4, Y(1.0, kH)), 0x404040u) << "filled in the record's colour";
  hl::MoveMouseTo(chart.GetSafeHwnd(), POINT{kW - 4, Y(1.0, kH)});
  EXPECT_EQ(Px(kW - 4, Y(1.0, kH)), hot) << "hot under the mouse";
  hl::MoveMouseTo(chart.GetSafeHwnd(), POINT{20, 20});
  // A second code 0 makes no second marker; roll mode hides it.
  chart.OnSystemNotify(notify::kFromControlPanel, notify::kScopeInit, 0);
  EXPECT_EQ(chart.Markers().GetCount(), 1);
  GetGlobalProps().m_nSlowRateModifier = 1;
  chart.OnSystemNotify(notify::kFromControlPanel, notify::kRollModeChanged, 0);
  EXPECT_FALSE(item->IsVisible());
  EXPECT_EQ(GetGlobalProps().m_Styles[GlobalProps::STYLE_TRIGGER_POSITION].m_nFlags & 1, 0);
}

TEST_F(ChartTest, DraggingTheMarkerSetsTheLevelClampedAndNotifiesOnlyOnAChange) {
  Make();
  CHICChart& m = chart.Markers();
  // h = 300, position 50, probe divisor 1: e = 30 * 6 / 2 = 90, s = 0.
  GetGlobalProps().m_Channels[0].m_Ranges.m_dScale = 1.0;
  GetGlobalProps().m_Channels[0].m_nPosition = 50;
  m.RecalcRange();
  EXPECT_EQ(m.m_nTopPixel, -89);
  EXPECT_EQ(m.m_nBottomPixel, 391);
  struct Case {
    int y;
    int level;
  } cases[] = {{-200, 255}, {-89, 255}, {151, 128}, {391, 0}, {600, 0}};
  CVisualItemThumb* thumb = m.GetItem(0);
  for (const Case& c : cases) {
    GetGlobalProps().m_nTriggerLevel = -1;
    sink.calls.clear();
    ItemMovingData d{0, c.y, RECT{}};
    EXPECT_FALSE(chart.OnItemMoving(0, thumb, &d, &m));
    EXPECT_EQ(GetGlobalProps().m_nTriggerLevel, c.level) << c.y;
    ASSERT_EQ(sink.calls.size(), 1u) << c.y;
    EXPECT_EQ(sink.calls[0], std::make_tuple(-1, 3, 0));
  }
  sink.calls.clear();
  ItemMovingData same{0, 600, RECT{}};
  chart.OnItemMoving(0, thumb, &same, &m);
  EXPECT_TRUE(sink.calls.empty()) << "an unchanged level sends nothing";

  // An inverted source maps linearly from 0 at the top.
  scope::GetScopeState().InvertState = 1;
  ItemMovingData top{0, -89, RECT{}};
  chart.OnItemMoving(0, thumb, &top, &m);
  EXPECT_EQ(GetGlobalProps().m_nTriggerLevel, 0);
}

TEST_F(ChartTest, AMouseDragOfTheMarkerMovesTheTriggerLevel) {
  Make();
  const int y = Y(1.0, kH);
  hl::MoveMouseTo(chart.GetSafeHwnd(), POINT{kW - 5, y});
  hl::PressButton(hl::Button::Left);
  hl::MoveMouseTo(chart.GetSafeHwnd(), POINT{kW - 5, y - 40});
  hl::ReleaseButton(hl::Button::Left);
  EXPECT_EQ(GetGlobalProps().m_nTriggerLevel, chart.Markers().LevelAtPixel(y - 40));
  ASSERT_FALSE(sink.calls.empty());
  EXPECT_EQ(sink.calls.back(), std::make_tuple(-1, 3, 0));
  EXPECT_NE(::GetCapture(), chart.GetSafeHwnd());
}

TEST_F(ChartTest, APressWhileRecordingAsksToStopAndDoesNothingElse) {
  Make();
  scope::GetScopeState().ScopeRecording = 1;
  hl::Click(chart.GetSafeHwnd(), POINT{kW - 5, Y(1.0, kH)});
  ASSERT_EQ(sink.calls.size(), 1u);
  EXPECT_EQ(sink.calls[0], std::make_tuple(2, 51, 0));
  EXPECT_EQ(chart.Markers().active, -1);
  EXPECT_EQ(GetGlobalProps().m_nTriggerLevel, 128);
}

TEST_F(ChartTest, CancelModeReleasesTheCaptureAndTheDragState) {
  Make();
  hl::MoveMouseTo(chart.GetSafeHwnd(), POINT{kW - 5, Y(1.0, kH)});
  hl::PressButton(hl::Button::Left);
  ASSERT_EQ(::GetCapture(), chart.GetSafeHwnd());
  chart.SendMessage(WM_CANCELMODE, 0, 0);
  EXPECT_NE(::GetCapture(), chart.GetSafeHwnd());
  EXPECT_EQ(chart.Markers().active, -1);
  EXPECT_EQ(chart.Markers().mode, 0);
  EXPECT_FALSE(chart.Markers().dragging);
  hl::ReleaseButton(hl::Button::Left);
}

// ---- notifications -------------------------------------------------------------------------------

TEST_F(ChartTest, NotificationsByCodeAndSender) {
  ASSERT_TRUE(chart.Create(&host, CRect(0, 0, kW, kH)));
  chart.ShowWindow(SW_SHOW);
  hl::Pump();
  chart.OnSystemNotify(notify::kFromChart, notify::kScopeInit, 0);
  EXPECT_EQ(chart.Markers().GetCount(), 0) << "the chart's own notifications are ignored";
  chart.OnSystemNotify(notify::kFromSnapshot, notify::kScopeInit, 0);
  EXPECT_EQ(chart.Markers().GetCount(), 1);

  // A snapshot (sender 6) re-places the marker but does not repaint; others repaint.
  CMeasure* a = chartscene::FillTrace(0, [](int) { return 2.0; });
  chart.OnSystemNotify(notify::kFromSnapshot, notify::kTimePositionChanged, 0);
  EXPECT_FALSE(Near(100, Y(2.0, kH), kChA));
  chart.OnSystemNotify(notify::kFromControlPanel, notify::kTimePositionChanged, 0);
  EXPECT_TRUE(Near(100, Y(2.0, kH), kChA));
  GetGlobalProps().m_Styles[GlobalProps::STYLE_TRIGGER_LEVEL].m_dValue = 3.0;
  chart.OnSystemNotify(notify::kFromSnapshot, notify::kTriggerLevelChanged, 0);
  EXPECT_EQ(chart.Markers().GetItem(0)->GetRect()->top, Y(3.0, kH) - 6);
  EXPECT_LE(CountInRow(Y(3.0, kH), 0x404040), 1) << "only the trigger position line crosses it";
  chart.OnSystemNotify(notify::kFromControlPanel, notify::kTriggerLevelChanged, 0);
  EXPECT_GE(CountInRow(Y(3.0, kH), 0x404040), kW - 13);

  // 49: a new measure type's background, from layer 1.
  a->m_bValid = 0;
  GetMeasureType().m_nMeasureType = 8;
  chart.OnSystemNotify(notify::kFromEngineTester, notify::kMeasureTypeChanged, 0);
  chart.OnSystemNotify(notify::kFromEngineTester, notify::kRedrawAll, 0);
  EXPECT_EQ(Px(5, 5), 0xE6E6E6u);
}

TEST_F(ChartTest, WhatEachCodeRepaintsBySender) {
  enum Effect { kNone, kLines, kFull };
  struct Case {
    int code;
    int sender;
    Effect effect;
  } cases[] = {
      {2, 5, kLines},  {30, 5, kLines}, {31, 6, kNone},  {32, 5, kLines}, {3, 5, kLines},  {3, 6, kNone},
      {52, 5, kLines}, {52, 6, kNone},  {5, 5, kLines},  {5, 6, kNone},   {10, 5, kLines}, {10, 6, kNone},
      {8, 5, kFull},   {8, 6, kNone},   {15, 5, kFull},  {18, 5, kFull},  {50, 5, kFull},  {53, 5, kFull},
      {54, 5, kFull},  {9, 5, kFull},   {9, 6, kNone},   {11, 5, kFull},  {12, 5, kFull},  {21, 5, kFull},
      {23, 5, kFull},  {26, 5, kFull},  {37, 5, kFull},  {38, 6, kNone},  {13, 5, kFull},  {14, 6, kNone},
      {1, 5, kNone},   {24, 5, kNone},  {51, 5, kNone},  {8, 2, kNone},   {11, 2, kNone},
  };
  CMeasure* a = chartscene::FillTrace(0, [](int) { return 2.0; });
  Make();
  const int x = X(2.5, kW) + 3, y = Y(2.0, kH);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << " from " << c.sender);
    a->m_bValid = 1;
    Full();
    ASSERT_TRUE(Near(x, y, kChA));
    {
      CClientDC dc(&chart);
      dc.FillSolidRect(20, 20, 3, 3, 0xFF00FF);  // a mark only a repaint removes
    }
    a->m_bValid = 0;  // only a full repaint drops the trace
    chart.OnSystemNotify(notify::Sender{c.sender}, notify::Code{c.code}, 0);
    EXPECT_EQ(Px(21, 21) != 0xFF00FFu, c.effect != kNone) << "repainted";
    EXPECT_EQ(Near(x, y, kChA), c.effect != kFull) << "trace kept";
  }
}

// ---- pictures ------------------------------------------------------------------------------------

TEST_F(ChartTest, Screenshots) {
  // Live: sine on A, square on B, cursor lines and the trigger marker.
  chartscene::FillTrace(0, chartscene::Sine);
  chartscene::FillTrace(1, chartscene::Square);
  GetGlobalProps().m_Styles[GlobalProps::STYLE_LEVEL_B].m_dValue = -3.5;
  Make();
  EXPECT_TRUE(kvp::SaveWindowPng(chart.GetSafeHwnd(), kvtest::ScreenshotPath("scope-chart-live").c_str()));

  // Saved signals C and D with level bands.
  chart.DestroyWindow();
  GetTraceList()[0]->m_bValid = 0;
  GetTraceList()[1]->m_bValid = 0;
  CSavedSignal* c = chartscene::AddSavedSignal(0, 0, 1000, [](int i) { return 2.0 + chartscene::Sine(i) / 2; },
                                               GetSchemeColor(30));
  CSavedSignal* d = chartscene::AddSavedSignal(0, 1, 1000, [](int i) { return -2.0 + chartscene::Square(i) / 2; },
                                               GetSchemeColor(31));
  c->m_bShowLevel1 = 1;
  c->m_dLevel1 = 3.8;
  c->m_nStyle = 2;
  d->m_bShowLevel2 = 1;
  d->m_dLevel2 = -3.6;
  d->m_nStyle = 3;
  Make();
  EXPECT_TRUE(kvp::SaveWindowPng(chart.GetSafeHwnd(), kvtest::ScreenshotPath("scope-chart-saved").c_str()));

  // Engine: type 8, four segments.
  chart.DestroyWindow();
  GetSavedScopes()[0].RemoveAllSignals();
  chartscene::SetTimeBase(20);
  GetMeasureType().m_nMeasureType = 8;
  GetMotortesterDevice()->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, 4);
  GetMeasureType().m_nSegmentCount = 4;
  chartscene::FillTrace(0, [](int i) {
    const int k = i % 250;
    return k < 20 ? 4.0 * k / 20 : k < 60 ? 4.0 - 0.08 * (k - 20) : 0.8 * std::sin(k / 4.0) * (250 - k) / 190;
  });
  Make();
  EXPECT_TRUE(kvp::SaveWindowPng(chart.GetSafeHwnd(), kvtest::ScreenshotPath("scope-chart-engine").c_str()));
}

}  // namespace
