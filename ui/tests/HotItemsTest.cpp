// Thumbs and their container: hit-testing, hover, press and click, the bounded drag in every
// axis mode, a host that refuses a move, cancel mode, and the chart's side thumbs.
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/HotItems.h>

#include <core/Scale.h>
#include <core/TraceStyle.h>

#include <vector>

using namespace uitest;

namespace {

class LoggingContainer : public CHotItemsContainer {
 public:
  using CHotItemsContainer::CHotItemsContainer;
  std::vector<std::string> events;
  void OnClick(POINT* p, CVisualItemThumb*) override {
    events.push_back("click " + std::to_string(p->x) + "," + std::to_string(p->y));
  }
  void OnDragEnd(POINT* from, POINT* to, CVisualItemThumb*) override {
    events.push_back("end " + std::to_string(to->x - from->x) + "," + std::to_string(to->y - from->y));
  }
};

class HostClbck : public CHotItemsContainer::IClbckHotItemsContainer {
 public:
  BOOL allow = TRUE;
  int backgrounds = 0;
  std::vector<ItemMovingData> moves;
  void DrawBackground(CDC* dc) override {
    ++backgrounds;
    dc->FillSolidRect(0, 0, 300, 200, RGB(40, 40, 40));
  }
  BOOL OnItemMoving(int, CVisualItemThumb*, ItemMovingData* data, CHotItemsContainer*) override {
    moves.push_back(*data);
    return allow;
  }
};

class ClickOnlyThumb : public CVisualItemThumb {
 public:
  BOOL IsDraggable() override { return FALSE; }
};

struct ThumbFixture {
  kvp::HeadlessWorld world;
  Host host;
  LoggingContainer items{&host};
  HostClbck clbck;
  CBrush red{RGB(255, 0, 0)}, green{RGB(0, 255, 0)}, blue{RGB(0, 0, 255)};

  ThumbFixture() {
    host.CreateTop(100, 100, 300, 200);
    host.onDown = [this](CPoint p) { items.OnLButtonDown(p); };
    host.onMove = [this](CPoint p) { items.OnMouseMove(p); };
    host.onUp = [this](CPoint p) { items.OnLButtonUp(p); };
    host.onCancelMode = [this] { items.OnCancelMode(); };
    host.onPaint = [this](CDC* dc) { items.Draw(dc, FALSE); };
    items.hostClbck = &clbck;
    items.flags = CHotItemsContainer::kHorizontal;
    items.bounds = RECT{20, 10, 200, 150};
    Add(RECT{50, 40, 60, 60}, &red);     // 0
    Add(RECT{55, 40, 65, 60}, &green);   // 1, overlapping 0
    Add(RECT{100, 40, 110, 60}, &blue);  // 2, hidden
    items.GetItem(2)->Show(FALSE);
    hl::Pump();
  }
  CVisualItemThumb* Add(RECT r, CBrush* brush, CVisualItemThumb* t = nullptr) {
    if (!t) t = new CVisualItemThumb;
    t->rect = r;
    t->brush = brush;
    t->pressedBrush = brush;
    items.AddItem(t);
    return t;
  }
  void MoveTo(int x, int y) { hl::MoveMouseTo(host.GetSafeHwnd(), POINT{x, y}); }
  void Down() { hl::PressButton(hl::Button::Left); }
  void Up() { hl::ReleaseButton(hl::Button::Left); }
};

TEST(HotItems, OverlappingThumbsLowestIndexWinsHiddenNeitherHitNorDrawn) {
  ThumbFixture f;
  POINT overlap{57, 50}, onlyGreen{63, 50}, hidden{105, 50}, none{150, 50};
  EXPECT_EQ(f.items.HitTest(&overlap, FALSE), 0);
  EXPECT_EQ(f.items.HitTest(&onlyGreen, FALSE), 1);
  EXPECT_EQ(f.items.HitTest(&hidden, FALSE), -1);
  EXPECT_EQ(f.items.HitTest(&hidden, TRUE), 2);
  EXPECT_EQ(f.items.HitTest(&none, TRUE), -1);
  f.items.Redraw(TRUE);
  EXPECT_EQ(f.clbck.backgrounds, 1);
  EXPECT_EQ(Hex(Pixel(f.host, 57, 50)), Hex(RGB(0, 255, 0))) << "drawn in index order: 1 over 0";
  EXPECT_EQ(Hex(Pixel(f.host, 52, 50)), Hex(RGB(255, 0, 0)));
  EXPECT_EQ(Hex(Pixel(f.host, 105, 50)), Hex(RGB(40, 40, 40))) << "the hidden thumb is not drawn";
}

TEST(HotItems, HoverTakesTheCaptureAndLeavingReleasesIt) {
  ThumbFixture f;
  f.MoveTo(52, 50);
  EXPECT_EQ(f.items.mode, 2);
  EXPECT_EQ(f.items.active, 0);
  EXPECT_EQ(f.items.GetItem(0)->state, 2);
  EXPECT_EQ(::GetCapture(), f.host.GetSafeHwnd());
  f.MoveTo(63, 50);
  EXPECT_EQ(f.items.active, 1) << "straight onto the next thumb";
  EXPECT_EQ(f.items.GetItem(0)->state, 0);
  f.MoveTo(150, 50);
  EXPECT_EQ(f.items.mode, 0);
  EXPECT_EQ(f.items.active, -1);
  EXPECT_EQ(::GetCapture(), HWND(0));
}

TEST(HotItems, DragIsClampedAtTheBoundAndStaysUntilThePointerComesBack) {
  ThumbFixture f;
  f.MoveTo(52, 50);
  f.Down();
  EXPECT_EQ(f.items.mode, 1);
  EXPECT_TRUE(f.items.dragging);
  f.MoveTo(72, 90);  // +20 horizontally; the vertical part is ignored
  ASSERT_EQ(f.clbck.moves.size(), 1u);
  EXPECT_EQ(f.clbck.moves[0].x, 70);
  EXPECT_EQ(f.clbck.moves[0].y, 0) << "anchorY";
  EXPECT_EQ(CRect(f.items.GetItem(0)->rect), CRect(70, 40, 80, 60));
  f.MoveTo(280, 50);  // far right of the bound 200
  EXPECT_EQ(CRect(f.items.GetItem(0)->rect), CRect(200, 40, 210, 60));
  EXPECT_EQ(f.items.lastPos, 200);
  const size_t moves = f.clbck.moves.size();
  f.MoveTo(290, 50);
  f.MoveTo(250, 60);
  EXPECT_EQ(f.clbck.moves.size(), moves) << "outside the range nothing changes";
  f.MoveTo(152, 50);
  EXPECT_EQ(CRect(f.items.GetItem(0)->rect), CRect(150, 40, 160, 60)) << "back inside: follows again";
  f.Up();
  EXPECT_EQ(f.items.events, (std::vector<std::string>{"end 100,0"}));
  EXPECT_EQ(f.items.mode, 0);
  EXPECT_EQ(f.items.active, -1);
  EXPECT_EQ(f.items.lastPos, -1);
}

TEST(HotItems, ARefusedMoveKeepsTheThumbWhileLastPosFollows) {
  ThumbFixture f;
  f.clbck.allow = FALSE;
  f.MoveTo(52, 50);
  f.Down();
  f.MoveTo(62, 50);
  EXPECT_EQ(CRect(f.items.GetItem(0)->rect), CRect(50, 40, 60, 60));
  EXPECT_EQ(f.items.lastPos, 60);
  f.MoveTo(82, 50);
  EXPECT_EQ(f.items.lastPos, 80);
  EXPECT_EQ(f.clbck.moves.size(), 2u);
  // Released away from the thumb, which stayed where it was: neither end of drag nor click.
  f.Up();
  EXPECT_TRUE(f.items.events.empty());
  EXPECT_EQ(::GetCapture(), HWND(0));
}

TEST(HotItems, ClickOnANonDraggableThumb) {
  ThumbFixture f;
  f.Add(RECT{150, 40, 160, 60}, &f.red, new ClickOnlyThumb);  // 3
  hl::Click(f.host.GetSafeHwnd(), POINT{155, 45});
  EXPECT_EQ(f.items.events, (std::vector<std::string>{"click 155,45"}));
  // Pressed, moved off and released: nothing.
  f.MoveTo(155, 45);
  f.Down();
  f.MoveTo(180, 45);
  f.Up();
  EXPECT_EQ(f.items.events.size(), 1u);
}

TEST(HotItems, CancelModeMidDrag) {
  ThumbFixture f;
  f.MoveTo(52, 50);
  f.Down();
  f.MoveTo(72, 50);
  OpenAndCloseModalBox(f.host.GetSafeHwnd());
  EXPECT_EQ(f.items.mode, 0);
  EXPECT_EQ(f.items.active, -1);
  EXPECT_EQ(f.items.lastPos, -1);
  EXPECT_FALSE(f.items.dragging);
  EXPECT_EQ(f.items.GetItem(0)->state, 0);
  EXPECT_EQ(::GetCapture(), HWND(0));
  f.Up();
  EXPECT_TRUE(f.items.events.empty()) << "no end of drag after the cancel";
  EXPECT_FALSE(f.items.OnCancelMode()) << "nothing left to reset";
}

TEST(HotItems, AxisModes) {
  struct Case {
    const char* name;
    uint32_t flags;
    int axis;
    CRect after;  // thumb 0 after a move of (+10, +20)
  } cases[] = {
      {"horizontal", CHotItemsContainer::kHorizontal, 0, CRect(60, 40, 70, 60)},
      {"vertical", CHotItemsContainer::kVertical, 0, CRect(50, 60, 60, 80)},
      {"horizontal wins", CHotItemsContainer::kHorizontal | CHotItemsContainer::kVertical, 2, CRect(60, 40, 70, 60)},
      {"per item, axis 1", CHotItemsContainer::kPerItemAxis, 1, CRect(60, 40, 70, 60)},
      {"per item, axis 2", CHotItemsContainer::kPerItemAxis, 2, CRect(50, 60, 60, 80)},
      {"per item, no axis", CHotItemsContainer::kPerItemAxis, 0, CRect(50, 40, 60, 60)},
      {"no flags", 0, 1, CRect(50, 40, 60, 60)},
  };
  for (const Case& c : cases) {
    ThumbFixture f;
    f.items.flags = c.flags;
    f.items.GetItem(0)->axis = c.axis;
    f.MoveTo(52, 50);
    f.Down();
    f.MoveTo(62, 70);
    EXPECT_EQ(CRect(f.items.GetItem(0)->rect), c.after) << c.name;
    f.Up();
  }
}

TEST(HotItems, AnchorsShiftThePositionButNotTheRectangle) {
  ThumbFixture f;
  f.items.flags = CHotItemsContainer::kVertical;
  f.items.GetItem(0)->anchorX = 5;
  f.items.GetItem(0)->anchorY = 10;
  f.MoveTo(52, 50);
  f.Down();
  f.MoveTo(52, 55);
  ASSERT_EQ(f.clbck.moves.size(), 1u);
  EXPECT_EQ(f.clbck.moves[0].x, 5);
  EXPECT_EQ(f.clbck.moves[0].y, 55) << "R.top + dy + anchorY";
  EXPECT_EQ(CRect(f.clbck.moves[0].rect), CRect(50, 45, 60, 65));
  f.Up();
}

struct FakeRecorder : IRecorderViewMap {
  int CursorPixel(double position) const override { return static_cast<int>(position / 10.0); }
};

TEST(HotItems, PlaceThumbsOnTheChartSides) {
  ThumbFixture f;
  f.items.RemoveAll();
  EXPECT_EQ(f.items.GetCount(), 0);
  f.items.bounds = RECT{20, 10, 220, 110};
  CScale scale;
  scale.Set(0.0, 100.0, 100.0, 10, false);
  scale.SetPixels(20, 220);
  scale.Recompute();
  CTraceStyle left, right, level, noScale;
  left.Kind() = 4, left.m_dValue = 300.0, left.m_nFlags = 1;
  right.Kind() = 5, right.m_dValue = 500.0, right.m_nFlags = 1;
  level.Kind() = 2, level.m_dValue = 50.0, level.m_pScale = &scale, level.m_nFlags = 1;
  noScale.Kind() = 3, noScale.m_dValue = 50.0, noScale.m_nFlags = 0;
  struct Placed {
    CTraceStyle* record;
    int side;
  } placed[] = {{&left, CRecordThumb::kBottom}, {&right, CRecordThumb::kTop}, {&level, CRecordThumb::kRight},
                {&noScale, CRecordThumb::kLeft}};
  for (const Placed& p : placed) {
    auto* t = new CRecordThumb;
    t->record = p.record;
    t->side = p.side;
    f.items.AddItem(t);
  }
  FakeRecorder recorder;
  f.items.PlaceThumbs(&recorder);
  const int a = scale.ValueToPixel(50.0);
  EXPECT_EQ(CRect(f.items.GetItem(0)->rect), CRect(24, 110, 37, 98)) << "kind 4 at 30, stored as given";
  EXPECT_EQ(CRect(f.items.GetItem(1)->rect), CRect(44, 10, 57, 22)) << "kind 5 at 50";
  EXPECT_EQ(CRect(f.items.GetItem(2)->rect), CRect(220, a - 6, 207, a + 6));
  EXPECT_EQ(CRect(f.items.GetItem(3)->rect), CRect(20, -6, 33, 6)) << "no scale: pixel 0";
  EXPECT_FALSE(f.items.GetItem(3)->IsVisible()) << "shown per its record";
  EXPECT_TRUE(f.items.GetItem(0)->IsVisible());

  POINT onBottom{30, 104}, onRight{210, a};
  EXPECT_EQ(f.items.HitTest(&onBottom, FALSE), 0) << "a bottom thumb is found despite its order";
  EXPECT_EQ(f.items.HitTest(&onRight, FALSE), 2);

  level.m_nFlags = 0;
  f.items.ApplyItemState();
  EXPECT_FALSE(f.items.GetItem(2)->IsVisible());
  f.items.RemoveExtraItems();
  EXPECT_EQ(f.items.GetCount(), 2) << "the recorder's two cursors stay";
  EXPECT_EQ(static_cast<CRecordThumb*>(f.items.GetItem(1))->record, &right);
}

}  // namespace
