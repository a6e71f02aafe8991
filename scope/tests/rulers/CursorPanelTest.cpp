// The cursor panel on the headless display: the spinners that are put back instead of passing
// each other, the notifications it sends and the ones it does not echo, the reset, and the texts
// it draws (drawn-text log): the time difference, scaled and refused for segmented engine
// records, the channel differences and the values at both cursors with their status marks.
#include "RulersTest.h"

#include <scope/rulers/CursorPanel.h>
#include <scope/rulers/CursorRuler.h>
#include <scope/rulers/TimeRuler.h>

#include <core/ColorScheme.h>
#include <core/Measure.h>
#include <core/MeasureType.h>
#include <core/MotortesterData.h>

#include <kvtest/Screenshots.h>

#include <platform/textlog.h>

#include <algorithm>
#include <cmath>
#include <string>

using namespace rulerstest;

namespace {

class CursorPanelTest : public RulersTest {
 protected:
  void SetUp() override {
    RulersTest::SetUp();
    ASSERT_TRUE(host.CreateTop(840, 300));
    SetUpTimeBase();
    SetUpRecords(RECT{0, 0, 400, 300});
    kvp::StartTextLog();
  }
  void TearDown() override {
    kvp::StopTextLog();
    RulersTest::TearDown();
  }
  void Create(int height = 70) {
    ASSERT_TRUE(panel.Create("WndCursors", WS_CHILD | WS_VISIBLE, CRect(0, 200, 600, 200 + height), &host, 1005));
    hub.targets.push_back(&panel);
    hl::Pump();
  }
  // Both channel traces with a ramp: sample i holds i / 100 V, every point stored.
  void AddTraces() {
    GlobalProps& props = GetGlobalProps();
    for (int ch = 0; ch < 2; ++ch) {
      CMeasure* trace = AddTrace();
      ASSERT_NE(trace, nullptr);
      trace->SetSize(1000);
      for (int i = 0; i < 1000; ++i) trace->SetPoint(i, i / 100.0, 0);
      for (int i = 0; i < 1000; ++i) trace->m_PointFlags[i] = 1;
      trace->m_bValid = 1;
      props.m_Channels[ch].m_nModeEnable = 1;
      props.m_Channels[ch].m_bEnabled = 1;
    }
  }
  // The texts the panel drew at its last paint.
  std::vector<std::string> Texts() {
    kvp::ClearTextLog();
    panel.Redraw();
    std::vector<std::string> out;
    for (const kvp::DrawnText& t : kvp::DrawnTexts(panel.GetSafeHwnd())) out.push_back(t.text);
    return out;
  }
  static bool Has(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  }
  CursorRecord& Left() { return GetGlobalProps().m_Styles[GlobalProps::STYLE_CURSOR_LEFT]; }
  CursorRecord& Right() { return GetGlobalProps().m_Styles[GlobalProps::STYLE_CURSOR_RIGHT]; }
  static double TimeOf(double step) { return GetOscScale().CursorTimeOf(step); }
  static CString Plain(double v) { return GetGlobalProps().FormatPlainValue(v); }

  CWndOsc_Cursor panel;
};

TEST_F(CursorPanelTest, LayoutFollowsTheHeight) {
  Create(100);
  CRect l, r;
  panel.m_Left.GetWindowRect(&l);
  panel.m_Right.GetWindowRect(&r);
  panel.ScreenToClient(&l);
  panel.ScreenToClient(&r);
  const int h = static_cast<int>(0.7 * 100), w = static_cast<int>(2.3 * h);
  EXPECT_EQ(l, CRect(0, 0, w, h));
  EXPECT_EQ(r, CRect(600 - w, 0, 600, h));
  EXPECT_GE(w, 160);
  EXPECT_EQ(panel.m_Left.record.max, 999.0);
  EXPECT_EQ(panel.m_Left.record.bigStep, 10.0);
  EXPECT_EQ(panel.m_Right.record.accelAfter, 10);
}

TEST_F(CursorPanelTest, SpinnersNeverPassEachOther) {
  Create();
  panel.m_Left.record.value = 200;
  panel.m_Right.record.value = 400;
  struct Case {
    const char* name;
    bool left;
    double value;
    double leftAfter;
    double rightAfter;
    std::vector<Notification> log;
  };
  const Case cases[] = {
      {"left above right is put back", true, 401, 400, 400, {}},
      {"right below left is put back", false, 199, 200, 200, {}},
      {"left up to right moves the cursor", true, 400, 400, 400, {{7, 30, 0}}},
      {"right on", false, 650, 200, 650, {{7, 31, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    panel.m_Left.record.value = 200;
    panel.m_Right.record.value = 400;
    Left().m_dValue = TimeOf(200);
    Right().m_dValue = TimeOf(400);
    hub.log.clear();
    CRepeatCtrl& spinner = c.left ? panel.m_Left : panel.m_Right;
    spinner.record.value = c.value;
    spinner.ReportValue();
    EXPECT_EQ(panel.m_Left.record.value, c.leftAfter);
    EXPECT_EQ(panel.m_Right.record.value, c.rightAfter);
    EXPECT_EQ(hub.log, c.log);
    EXPECT_EQ(Left().m_dValue, TimeOf(c.log.empty() || !c.left ? 200 : c.leftAfter));
    EXPECT_EQ(Right().m_dValue, TimeOf(c.log.empty() || c.left ? 400 : c.rightAfter));
  }
}

TEST_F(CursorPanelTest, CursorMovesElsewhereSetTheSpinnersButNotItsOwn) {
  Create();
  struct Case {
    int sender;
    int code;
    double expectedLeft;
  };
  const Case cases[] = {{7, 30, 0}, {7, 31, 0}, {-1, 30, 300}, {5, 31, 300}, {-1, 32, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.sender) + " " + std::to_string(c.code));
    panel.m_Left.record.value = 0;
    Left().m_dValue = TimeOf(300);
    Right().m_dValue = TimeOf(700);
    panel.OnSystemNotify(notify::Sender{c.sender}, notify::Code{c.code}, 0);
    EXPECT_EQ(panel.m_Left.record.value, c.expectedLeft);
  }
  EXPECT_EQ(panel.m_Right.record.value, 700);
}

TEST_F(CursorPanelTest, ResetPutsTheCursorsTwoDivisionsInsideTheShownPart) {
  SetUpTimeBase(3);
  Create();
  panel.OnSystemNotify(notify::kFromControlPanel, notify::kCursorsPlaced, 0);
  // One division is 50 steps: offset 3 + 2 and 3 + 10 - 2 divisions.
  EXPECT_EQ(panel.m_Left.record.value, 250);
  EXPECT_EQ(panel.m_Right.record.value, 550);
  EXPECT_EQ(Left().m_dValue, TimeOf(250));
  EXPECT_EQ(Right().m_dValue, TimeOf(550));
  EXPECT_EQ(hub.log, (std::vector<Notification>{{7, 30, 0}, {7, 31, 1}}));
}

TEST_F(CursorPanelTest, ValuesAtTheCursorsCarryTheirStatusMarks) {
  AddTraces();
  CMeasure& a = *GetTraceList()[0];
  CMeasure& b = *GetTraceList()[1];
  a.m_SaturationFlags[200] = 1;
  b.m_SaturationFlags[400] = 2;
  Left().m_dValue = TimeOf(200);
  Right().m_dValue = TimeOf(400);
  Create();
  const std::vector<std::string> texts = Texts();
  const GlobalProps& props = GetGlobalProps();
  EXPECT_TRUE(Has(texts, ">" + std::string(props.FormatChannelValue(2.0, 0, 2, FALSE))));  // A at left
  EXPECT_TRUE(Has(texts, std::string(props.FormatChannelValue(2.0, 1, 2, FALSE))));        // B at left
  EXPECT_TRUE(Has(texts, std::string(props.FormatChannelValue(4.0, 0, 2, FALSE))));        // A at right
  EXPECT_TRUE(Has(texts, "<" + std::string(props.FormatChannelValue(4.0, 1, 2, FALSE))));  // B at right
  // A status mark at either cursor: no difference for that channel; B's right mark too.
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Cannot eval"), 2);
  EXPECT_TRUE(Has(texts, "A:"));
  EXPECT_TRUE(Has(texts, "C:"));
  EXPECT_TRUE(Has(texts, std::string(Plain(TimeOf(400) - TimeOf(200)))));

  // Without marks the difference is left minus right; a step without a stored point shows no
  // value for that channel.
  a.m_SaturationFlags[200] = 0;
  b.m_SaturationFlags[400] = 0;
  b.m_PointFlags[200] = 0;
  const std::vector<std::string> clean = Texts();
  EXPECT_EQ(std::count(clean.begin(), clean.end(), "Cannot eval"), 0);
  EXPECT_EQ(std::count(clean.begin(), clean.end(), std::string(props.FormatChannelValue(-2.0, 0, 2, FALSE))), 2);
  EXPECT_EQ(std::count(clean.begin(), clean.end(), std::string(props.FormatChannelValue(2.0, 1, 2, FALSE))), 1);  // A only

  // A channel switched off shows nothing.
  GetGlobalProps().m_Channels[1].m_nModeEnable = 0;
  const std::vector<std::string> aOnly = Texts();
  EXPECT_FALSE(Has(aOnly, "B:"));
  EXPECT_TRUE(Has(aOnly, "A:"));
}

// An inverted channel is shown negated: clipped above the board's range (stored byte 1) its value
// lies below the shown range, so "<" goes before it, and ">" for the byte 2.
TEST_F(CursorPanelTest, AnInvertedChannelsMarksFollowTheValueShown) {
  AddTraces();
  CMeasure& a = *GetTraceList()[0];
  a.m_nMultiplier = -1;
  a.m_SaturationFlags[200] = 1;
  a.m_SaturationFlags[400] = 2;
  Left().m_dValue = TimeOf(200);
  Right().m_dValue = TimeOf(400);
  Create();
  const std::vector<std::string> texts = Texts();
  const GlobalProps& props = GetGlobalProps();
  EXPECT_TRUE(Has(texts, "<" + std::string(props.FormatChannelValue(-2.0, 0, 2, FALSE))));
  EXPECT_TRUE(Has(texts, ">" + std::string(props.FormatChannelValue(-4.0, 0, 2, FALSE))));
  EXPECT_FALSE(Has(texts, ">" + std::string(props.FormatChannelValue(-2.0, 0, 2, FALSE))));
}

TEST_F(CursorPanelTest, SegmentedRecordsScaleByCylindersAndRefuseAcrossSegments) {
  AddTraces();
  CMotortesterData& engine = *GetMotortesterDevice();
  engine.SetEngineType(CMotortesterData::ENGINE_SPARK);
  engine.SetNumberCylinders(CMotortesterData::ENGINE_SPARK, 4);
  GetMeasureType().m_nSegmentCount = 4;  // segments of 5 ms
  struct Case {
    const char* name;
    int type;
    int angle;
    double left;
    double right;
    std::string difference;  // the time difference text; empty: "C: Cannot evaluate"
    int cannotEval;
  };
  const Case cases[] = {
      {"plain scope", 0, 0, 0.001, 0.003, std::string(Plain(0.002)), 0},
      {"type 8 in one segment: times the cylinders", 8, 0, 0.001, 0.003, std::string(Plain(4 * 0.002)), 0},
      {"type 10 in one segment", 10, 0, 0.006, 0.009, std::string(Plain(4 * 0.003)), 0},
      {"type 8 across segments", 8, 0, 0.004, 0.006, "", 2},
      {"type 10 across segments", 10, 0, 0.001, 0.011, "", 2},
      // Degrees lie outside this record's cursor steps: no channel differences.
      {"angle mode", 0, 1, 10.0, 30.0, " 20.0\xB0", 2},
      {"angle mode in type 8", 8, 1, 10.0, 30.0, " 80.0\xB0", 2},
  };
  Create();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GetMeasureType().m_nMeasureType = c.type;
    GetMeasureType().m_nAngleMode = c.angle;
    Left().m_dValue = c.left;
    Right().m_dValue = c.right;
    const std::vector<std::string> texts = Texts();
    if (c.difference.empty()) {
      EXPECT_TRUE(Has(texts, "C: Cannot evaluate"));
    } else {
      EXPECT_TRUE(Has(texts, "C:"));
      EXPECT_TRUE(Has(texts, c.difference));
    }
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Cannot eval"), c.cannotEval);
  }
}

TEST_F(CursorPanelTest, SpinnerFacesShowTheCursorTimes) {
  Create();
  Left().m_dValue = 0.004;
  Right().m_dValue = 0.008;
  kvp::ClearTextLog();
  panel.m_Left.Redraw();
  panel.m_Right.Redraw();
  const std::vector<kvp::DrawnText> left = kvp::DrawnTexts(panel.m_Left.GetSafeHwnd());
  const std::vector<kvp::DrawnText> right = kvp::DrawnTexts(panel.m_Right.GetSafeHwnd());
  ASSERT_EQ(left.size(), 1u);
  ASSERT_EQ(right.size(), 1u);
  EXPECT_EQ(left[0].text, std::string(Plain(0.004)));
  EXPECT_EQ(left[0].color, Left().m_crColor);
  EXPECT_EQ(left[0].flags, UINT(DT_SINGLELINE | DT_VCENTER | DT_RIGHT));
  EXPECT_EQ(right[0].text, std::string(Plain(0.008)));
  EXPECT_EQ(right[0].color, Right().m_crColor);

  // In a segmented record the face shows the time inside the segment, scaled to the cycle.
  GetMeasureType().m_nMeasureType = 10;
  GetMeasureType().m_nSegmentCount = 4;
  Right().m_dValue = 0.006;  // segment 2 of 5 ms each
  kvp::ClearTextLog();
  panel.m_Right.Redraw();
  EXPECT_EQ(kvp::DrawnTexts(panel.m_Right.GetSafeHwnd()).at(0).text, std::string(Plain(4 * (0.006 - 0.005))));
}

// Where a logged text's glyphs land: its box aligned by the format, the extent in the font the
// window drew it with.
RECT InkOf(CDC& dc, const kvp::DrawnText& t) {
  const CSize size = dc.GetTextExtent(CString(t.text.c_str()));
  RECT ink = t.rect;
  if (t.flags & DT_RIGHT)
    ink.left = ink.right - size.cx;
  else
    ink.right = ink.left + size.cx;
  if (t.flags & DT_BOTTOM) {
    ink.top = ink.bottom - size.cy;
  } else if (t.flags & DT_VCENTER) {
    ink.top = t.rect.top + (t.rect.bottom - t.rect.top - size.cy) / 2;
    ink.bottom = ink.top + size.cy;
  } else {
    ink.bottom = ink.top + size.cy;
  }
  return ink;
}

bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string Describe(const kvp::DrawnText& t, const RECT& ink) {
  return "\"" + t.text + "\" at (" + std::to_string(ink.left) + ", " + std::to_string(ink.top) + ", " +
         std::to_string(ink.right) + ", " + std::to_string(ink.bottom) + ")";
}

// Every text the panel draws stays readable at the sizes the pane gives it: no two texts of the
// panel share a pixel, none is cut by the difference box's sides, all lie inside the panel, and the
// spinners' values keep clear of their arrows.
TEST_F(CursorPanelTest, NoTwoTextsOverlapAtThePaneSizes) {
  AddTraces();
  CMotortesterData& engine = *GetMotortesterDevice();
  engine.SetEngineType(CMotortesterData::ENGINE_SPARK);
  engine.SetNumberCylinders(CMotortesterData::ENGINE_SPARK, 4);
  GetMeasureType().m_nSegmentCount = 4;
  // Long texts: status marks, negative differences, values of several digits.
  for (int ch = 0; ch < 2; ++ch) {
    CMeasure& trace = *GetTraceList()[ch];
    for (int i = 0; i < 1000; ++i) trace.SetPoint(i, -i / 10.0, 0);
    trace.m_SaturationFlags[150] = 1;
    trace.m_SaturationFlags[950] = 2;
  }
  struct Size {
    int width;
    int height;
  };
  struct Scene {
    const char* name;
    int type;
    int angle;
    double left;  // cursor times
    double right;
  };
  const Size sizes[] = {{840, 90}, {1024, 110}, {1280, 130}};
  const Scene scenes[] = {
      {"values and differences", 0, 0, TimeOf(123), TimeOf(876)},
      {"status marks and no differences", 0, 0, TimeOf(150), TimeOf(950)},
      {"across engine segments", 8, 0, TimeOf(150), TimeOf(950)},
      {"angle mode", 8, 1, 123.4, 345.6},
      {"values too long for the spinners' faces", 0, 1, -12345.6, 987654.3},
  };
  host.MoveWindow(100, 100, 1300, 300);
  for (const Size& size : sizes) {
    CWndOsc_Cursor pane;
    ASSERT_TRUE(pane.Create("WndCursors", WS_CHILD | WS_VISIBLE, CRect(0, 0, size.width, size.height), &host, 1005));
    hl::Pump();
    for (const Scene& scene : scenes) {
      SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) + " " + scene.name);
      GetMeasureType().m_nMeasureType = scene.type;
      GetMeasureType().m_nAngleMode = scene.angle;
      Left().m_dValue = scene.left;
      Right().m_dValue = scene.right;
      pane.OnSystemNotify(notify::kFromAnyone, notify::kCursorLeftMoved, 0);
      kvp::ClearTextLog();
      pane.Redraw();
      pane.m_Left.Redraw();
      pane.m_Right.Redraw();

      CClientDC dc(&pane);
      CFont* old = dc.SelectObject(&pane.m_Font);
      const std::vector<kvp::DrawnText> texts = kvp::DrawnTexts(pane.GetSafeHwnd());
      EXPECT_GE(texts.size(), 6u);  // "C:", the difference and at least the channels' differences
      // The difference box's sunken sides, 2 pixels beside the spinners.
      CRect l, r;
      pane.m_Left.GetWindowRect(&l);
      pane.m_Right.GetWindowRect(&r);
      pane.ScreenToClient(&l);
      pane.ScreenToClient(&r);
      const RECT sides[2] = {{l.right + 2, 0, l.right + 4, size.height}, {r.left - 4, 0, r.left - 2, size.height}};
      std::vector<RECT> inks;
      for (const kvp::DrawnText& t : texts) inks.push_back(InkOf(dc, t));
      for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_TRUE(inks[i].left >= 0 && inks[i].top >= 0 && inks[i].right <= size.width &&
                    inks[i].bottom <= size.height)
            << Describe(texts[i], inks[i]);
        for (const RECT& side : sides) EXPECT_FALSE(Overlap(inks[i], side)) << Describe(texts[i], inks[i]);
        for (size_t j = i + 1; j < texts.size(); ++j)
          EXPECT_FALSE(Overlap(inks[i], inks[j])) << Describe(texts[i], inks[i]) << " and " << Describe(texts[j], inks[j]);
      }
      dc.SelectObject(old);
      if (size.width == 1280 && scene.type == 0 && scene.angle == 0 && texts.size() > 10) {
        ASSERT_TRUE(kvp::SaveWindowPng(pane.GetSafeHwnd(), kvtest::ScreenshotPath("scope-cursor-panel-wide").c_str()));
      }

      // A spinner's value keeps 3 pixels clear of its arrows and never spills out of its box:
      // too long a value is drawn smaller. Glyph pixels in the cursor's colour show where it went.
      for (CRepeatCtrl* spinner : {&pane.m_Left, &pane.m_Right}) {
        const std::vector<kvp::DrawnText> face = kvp::DrawnTexts(spinner->GetSafeHwnd());
        ASSERT_EQ(face.size(), 1u);
        const RECT room = face[0].rect;
        for (const CVisualItemBtn& arrow : spinner->items) {
          if (Overlap(arrow.rect, RECT{room.left, room.top, arrow.rect.right, room.bottom})) {
            EXPECT_LE(room.right, arrow.rect.left - 3) << face[0].text;
          }
        }
        CRect client;
        spinner->GetClientRect(&client);
        int inside = 0, outside = 0;
        for (int y = client.top; y < client.bottom; ++y) {
          for (int x = client.left; x < client.right; ++x) {
            if (kvp::WindowPixel(spinner->GetSafeHwnd(), x, y) != face[0].color) continue;
            (x >= room.left && x < room.right && y >= room.top && y < room.bottom ? inside : outside) += 1;
          }
        }
        EXPECT_GT(inside, 0) << face[0].text;
        EXPECT_EQ(outside, 0) << face[0].text;
        // Not cut off either: the room's first column shows only the face.
        const COLORREF faceColor = kvp::WindowPixel(spinner->GetSafeHwnd(), room.left, room.top);
        for (int y = room.top; y < room.bottom; ++y)
          EXPECT_EQ(kvp::WindowPixel(spinner->GetSafeHwnd(), room.left, y), faceColor) << face[0].text << " at " << y;
      }
    }
    pane.DestroyWindow();
  }
}

// The three strips of the scope pane in one window: the time ruler along the top, the level-marker
// ruler at the left and the cursor panel under the chart area.
TEST_F(CursorPanelTest, Screenshot) {
  AddTraces();
  GetTraceList()[0]->m_SaturationFlags[400] = 1;
  // The level ruler's client coordinates are the chart area's: 160 pixels high.
  SetUpRecords(RECT{0, 0, 800, 160});
  GlobalProps& props = GetGlobalProps();
  props.m_Styles[GlobalProps::STYLE_LEVEL_B].m_dValue = 2.0;
  props.m_Styles[GlobalProps::STYLE_LEVEL_A].m_dValue = 2.0;
  props.m_Styles[GlobalProps::STYLE_SAVED_C].m_dValue = -1.5;
  props.m_Styles[GlobalProps::STYLE_SAVED_D].m_dValue = 3.5;
  props.m_Styles[GlobalProps::STYLE_SAVED_E].m_nFlags = 0;
  props.m_Styles[GlobalProps::STYLE_SAVED_F].m_nFlags = 0;
  Left().m_dValue = TimeOf(200);
  Right().m_dValue = TimeOf(400);

  COscTimeRuler time;
  ASSERT_TRUE(time.Create("TimeLine", WS_CHILD | WS_VISIBLE, CRect(40, 0, 840, 34), &host, 1002));
  TimeRulerParams p;
  p.m_nShown = 10;
  p.m_nShownLess1 = 9;
  p.m_nPosition = 4;
  p.m_nMaximum = 20;
  time.SetParams(p);
  time.m_Params.m_dValueLast = 20;
  time.Redraw(TRUE);
  time.OnSystemNotify(notify::kFromAnyone, notify::kScopeInit, 0);

  COscCursorRuler levels;
  ASSERT_TRUE(levels.Create("CursorY", WS_CHILD | WS_VISIBLE, CRect(0, 34, 40, 194), &host, 1003));
  levels.m_nOrientation = COscCursorRuler::kVertical;
  levels.CreateCursorItems();
  levels.Redraw();

  ASSERT_TRUE(panel.Create("WndCursors", WS_CHILD | WS_VISIBLE, CRect(0, 200, 840, 290), &host, 1005));
  hl::Pump();
  panel.Redraw();
  ASSERT_TRUE(kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("scope-rulers").c_str()));
}

}  // namespace
