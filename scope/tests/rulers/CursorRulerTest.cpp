// The level-marker ruler on the headless display: where each thumb sits, the absolute drag with
// its clamp at the strip's edge and the visible-span refusal, one owner call per new pixel, the
// relative drag, hidden records, the notifications that repaint and the horizontal strip.
#include "RulersTest.h"

#include <scope/rulers/CursorRuler.h>

#include <core/Scale.h>

#include <string>

using namespace rulerstest;

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 300;

class Owner : public COscCursorRuler::IClbckCursor {
 public:
  void OnCursorChanged(CursorRecord* record, COscCursorRuler*) override { calls.push_back(record); }
  std::vector<CursorRecord*> calls;
};

class CursorRulerTest : public RulersTest {
 protected:
  void SetUp() override {
    RulersTest::SetUp();
    ASSERT_TRUE(host.CreateTop(200, 400));
    SetUpTimeBase();
    SetUpRecords(RECT{0, 0, 400, kHeight});
  }
  // The vertical ruler beside the chart, as the pane makes it.
  void Create(int height = kHeight) {
    ASSERT_TRUE(ruler.Create("CursorY", WS_CHILD | WS_VISIBLE, CRect(0, 0, kWidth, height), &host, 1003));
    ruler.m_nOrientation = COscCursorRuler::kVertical;
    ruler.CreateCursorItems();
    ruler.m_pClbck = &owner;
    hub.targets.push_back(&ruler);
    ruler.Redraw();
    hl::Pump();
  }
  CursorRecord& Style(int i) { return GetGlobalProps().m_Styles[i]; }
  COLORREF Pixel(int x, int y) { return kvp::WindowPixel(ruler.GetSafeHwnd(), x, y); }

  COscCursorRuler ruler;
  Owner owner;
};

TEST_F(CursorRulerTest, ThumbsTakeTheirHalfOfTheStripAtTheirLevel) {
  Style(GlobalProps::STYLE_LEVEL_B).m_dValue = 1.0;
  Style(GlobalProps::STYLE_LEVEL_A).m_dValue = 1.0;
  Style(GlobalProps::STYLE_SAVED_C).m_dValue = -2.0;
  Style(GlobalProps::STYLE_SAVED_D).m_dValue = 3.0;
  Create();
  ASSERT_EQ(ruler.GetCount(), 6);  // the trigger level has the chart's own marker
  struct Case {
    int item;
    int style;
    int kind;
    LONG left;
    LONG right;
  };
  const Case cases[] = {
      {0, GlobalProps::STYLE_LEVEL_B, 0, 0, 19},   // left half
      {1, GlobalProps::STYLE_LEVEL_A, 1, 21, 40},  // right half: both stay grabbable at one level
      {2, GlobalProps::STYLE_SAVED_C, 3, 21, 40},
      {3, GlobalProps::STYLE_SAVED_D, 4, 0, 19},
      {4, GlobalProps::STYLE_SAVED_E, 5, 21, 40},
      {5, GlobalProps::STYLE_SAVED_F, 6, 0, 19},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    COscCursorRuler::CursorData* item = ruler.GetItem(c.item);
    EXPECT_EQ(item->m_pRecord, &Style(c.style));
    EXPECT_EQ(item->m_nKind, c.kind);
    EXPECT_EQ(item->m_Arrow.m_nShape, 3);
    const int y = Style(c.style).m_pScale->ValueToPixel(Style(c.style).m_dValue);
    EXPECT_EQ(item->rect.left, c.left);
    EXPECT_EQ(item->rect.right, c.right);
    EXPECT_EQ(item->rect.top, y - 6);
    EXPECT_EQ(item->rect.bottom, y + 6);
  }
  // The thumb is painted in its record's colour on the scheme's background.
  const RECT& b = ruler.GetItem(0)->rect;
  EXPECT_EQ(Pixel(b.left + 8, (b.top + b.bottom) / 2), Style(GlobalProps::STYLE_LEVEL_B).m_crColor);
  EXPECT_EQ(Pixel(20, 5), GetSchemeColor(12));
}

TEST_F(CursorRulerTest, AbsoluteDragFollowsThePointerClampsAndRefusesOutsideTheSpan) {
  struct Case {
    const char* name;
    int rulerHeight;
    std::vector<POINT> moves;
    int expectedPixel;  // -1: the value is unchanged
    size_t calls;
  };
  const int start = GetOscScale().m_Vertical[1].ValueToPixel(0.0);
  const Case cases[] = {
      {"up by 30", kHeight, {{0, -30}}, start - 30, 1},
      {"beyond the top clamps to the edge", kHeight, {{0, -1000}}, 0, 1},
      {"beyond the bottom clamps to the edge", kHeight, {{0, 1000}}, kHeight - 1, 1},
      {"the edge pixel lies outside the axis: nothing", kHeight + 60, {{0, 1000}}, -1, 0},
      {"back to the same pixel: no second call", kHeight, {{0, -10}, {3, -10}, {-3, -10}}, start - 10, 1},
      {"two pixels, two calls", kHeight, {{0, -10}, {0, -20}}, start - 20, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUpRecords(RECT{0, 0, 400, kHeight});
    Style(GlobalProps::STYLE_LEVEL_B).m_dValue = 0.0;
    if (ruler.GetSafeHwnd()) ruler.DestroyWindow();
    ruler.m_Items.RemoveAll();
    hub.targets.clear();
    owner.calls.clear();
    Create(c.rulerHeight);
    const RECT r = ruler.GetItem(0)->rect;
    Drag(ruler, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, c.moves);
    const CScale& axis = GetOscScale().m_Vertical[1];
    EXPECT_EQ(Style(GlobalProps::STYLE_LEVEL_B).m_dValue, c.expectedPixel < 0 ? 0.0 : axis.PixelToValue(c.expectedPixel));
    EXPECT_EQ(owner.calls.size(), c.calls);
    for (CursorRecord* record : owner.calls) EXPECT_EQ(record, &Style(GlobalProps::STYLE_LEVEL_B));
    EXPECT_EQ(::GetCapture(), HWND(0));
    EXPECT_EQ(ruler.m_nState, 0);
  }
}

TEST_F(CursorRulerTest, RelativeDragWritesTheSecondValueOnly) {
  Style(GlobalProps::STYLE_LEVEL_A).DragMode() = 1;
  Style(GlobalProps::STYLE_LEVEL_A).m_dValue = 1.0;
  Create();
  const RECT r = ruler.GetItem(1)->rect;
  const POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  Drag(ruler, at, {{0, -15}, {5, -15}});
  EXPECT_EQ(Style(GlobalProps::STYLE_LEVEL_A).m_dValue, 1.0);
  EXPECT_EQ(Style(GlobalProps::STYLE_LEVEL_A).m_dValue2, GetOscScale().m_Vertical[0].PixelToValue(at.y - 15));
  EXPECT_EQ(owner.calls.size(), 1u);  // the second move kept the height
}

TEST_F(CursorRulerTest, AHiddenRecordIsNeitherDrawnNorGrabbed) {
  CursorRecord& d = Style(GlobalProps::STYLE_SAVED_D);
  d.m_dValue = 2.0;
  d.m_nFlags = 0;
  Create();
  const int y = d.m_pScale->ValueToPixel(2.0);
  EXPECT_EQ(Pixel(8, y), GetSchemeColor(12));
  Drag(ruler, POINT{8, y}, {{0, -40}});
  EXPECT_EQ(d.m_dValue, 2.0);
  EXPECT_TRUE(owner.calls.empty());
  EXPECT_EQ(ruler.m_nHot, -1);

  // Shown again, the same press grabs it.
  d.m_nFlags = 1;
  ruler.Redraw();
  Drag(ruler, POINT{8, y}, {{0, -40}});
  EXPECT_EQ(d.m_dValue, d.m_pScale->PixelToValue(y - 40));
  EXPECT_EQ(owner.calls.size(), 1u);
}

TEST_F(CursorRulerTest, RepaintsOnItsCodesExceptFromItself) {
  for (int i = GlobalProps::STYLE_SAVED_C; i <= GlobalProps::STYLE_SAVED_F; ++i) Style(i).m_nFlags = 0;
  Create();
  CursorRecord& b = Style(GlobalProps::STYLE_LEVEL_B);
  struct Case {
    int sender;
    int code;
    bool repaints;
  };
  const Case cases[] = {{2, 3, true},  {5, 11, true}, {6, 14, true}, {-1, 21, true}, {5, 37, true},
                        {5, 54, true}, {4, 3, false}, {5, 2, false}, {5, 30, false}, {5, 49, false}};
  double value = -4.0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.sender) + " " + std::to_string(c.code));
    const int before = b.m_pScale->ValueToPixel(b.m_dValue);
    value += 0.7;
    b.m_dValue = value;
    const int after = b.m_pScale->ValueToPixel(value);
    ruler.OnSystemNotify(notify::Sender{c.sender}, notify::Code{c.code}, 0);
    EXPECT_EQ(Pixel(8, after) == b.m_crColor, c.repaints);
    if (!c.repaints) {
      EXPECT_EQ(Pixel(8, before), b.m_crColor);
      ruler.Redraw();
    }
  }
}

TEST_F(CursorRulerTest, CancelModeEndsAPressWithoutMoving) {
  Create();
  const RECT r = ruler.GetItem(0)->rect;
  hl::MoveMouseTo(ruler.GetSafeHwnd(), POINT{8, (r.top + r.bottom) / 2});
  hl::PressButton(hl::Button::Left);
  EXPECT_EQ(::GetCapture(), ruler.GetSafeHwnd());
  EXPECT_EQ(ruler.m_nState, 1);
  ruler.SendMessage(WM_CANCELMODE, 0, 0);
  EXPECT_EQ(::GetCapture(), HWND(0));
  EXPECT_EQ(ruler.m_nState, 0);
  EXPECT_EQ(ruler.m_nHot, -1);
  hl::MoveMouseTo(ruler.GetSafeHwnd(), POINT{8, (r.top + r.bottom) / 2 - 30});
  hl::ReleaseButton(hl::Button::Left);
  EXPECT_EQ(Style(GlobalProps::STYLE_LEVEL_B).m_dValue, 0.0);
  EXPECT_TRUE(owner.calls.empty());
}

TEST_F(CursorRulerTest, TheHorizontalStripCarriesTheTimeRecordsAsDownArrows) {
  ASSERT_TRUE(ruler.Create("CursorX", WS_CHILD | WS_VISIBLE, CRect(0, 0, 400, 20), &host, 1004));
  ruler.CreateCursorItems();
  ruler.Redraw();
  ASSERT_EQ(ruler.GetCount(), 3);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const COscCursorRuler::CursorData* item = ruler.GetItem(i);
    EXPECT_EQ(item->m_pRecord, &Style(i));
    EXPECT_EQ(item->m_Arrow.m_nShape, 1);
    const int x = GetOscScale().m_TimeAxis.ValueToPixel(Style(i).m_dValue);
    EXPECT_EQ(item->rect.left, x - 10);
    EXPECT_EQ(item->rect.right, x + 10);
    EXPECT_EQ(item->rect.top, 0);
    EXPECT_EQ(item->rect.bottom, 20);
  }
}

}  // namespace
