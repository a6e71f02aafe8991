// The toolkit's pure geometry: the repeat control's arrow layout and arrow polygons, the side
// thumbs of the analyzer chart and the tab strip's layout.
#include <gtest/gtest.h>

#include <ui/HotItems.h>
#include <ui/RepeatCtrl.h>
#include <ui/XPCtrlTab.h>

#include <core/Scale.h>
#include <core/TraceStyle.h>

namespace {

std::string Str(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

TEST(ArrowLayout, ThreeArrangementsForSeveralHeights) {
  struct Case {
    const char* name;
    RECT client;
    int orientation;
    bool grouped;
    RECT first, second;
  } cases[] = {
      // h 24: b = int(9.2) = 9 (odd), c = int(16.2) = 16; m = 12 - 1 = 11.
      {"vertical h24", {0, 0, 80, 24}, 0, false, {59, 2, 75, 11}, {59, 13, 75, 22}},
      // h 30: b = int(11.5) = 11, c = int(20.27) = 20; m = 15 - 1 = 14.
      {"vertical h30 offset", {10, 5, 110, 35}, 0, false, {85, 8, 105, 19}, {85, 21, 105, 32}},
      // h 20: b = int(7.67) = 7, c = int(13.5) = 13; m = 10 - 1 = 9.
      {"vertical h20", {0, 0, 60, 20}, 0, false, {42, 2, 55, 9}, {42, 11, 55, 18}},
      // h 16: b = int(6.13) = 6 -> 7, c = int(10.8) = 10; m = 8 - 1 = 7.
      {"vertical h16 even b raised", {0, 0, 50, 16}, 0, false, {35, 0, 45, 7}, {35, 9, 45, 16}},
      // horizontal h24: bottom edge = 24 - (24 - 16)/2 = 20.
      {"horizontal h24", {0, 0, 100, 24}, 1, false, {5, 4, 14, 20}, {86, 4, 95, 20}},
      // horizontal h30: bottom = 35 - 5 = 30.
      {"horizontal h30 offset", {10, 5, 110, 35}, 1, false, {15, 10, 26, 30}, {94, 10, 105, 30}},
      // grouped h24 w90: d = 21, centre (45, 12), w/18 = 5, w/3 = 30, top = 12 - 10 = 2.
      {"grouped h24", {0, 0, 90, 24}, 1, true, {10, 2, 40, 23}, {50, 2, 80, 23}},
      // grouped h30 w100 at (10,5): d = 27, centre (60, 20), w/18 = 5, w/3 = 33, top = 7.
      {"grouped h30 offset", {10, 5, 110, 35}, 1, true, {22, 7, 55, 34}, {65, 7, 98, 34}},
      {"grouping ignored vertically", {0, 0, 80, 24}, 0, true, {59, 2, 75, 11}, {59, 13, 75, 22}},
  };
  for (const Case& c : cases) {
    const ArrowPair p = LayoutArrows(c.client, c.orientation, c.grouped);
    EXPECT_EQ(Str(p.first), Str(c.first)) << c.name;
    EXPECT_EQ(Str(p.second), Str(c.second)) << c.name;
  }
}

TEST(ArrowLayout, BoxIsOddAlongItsLongerSideAndCentred) {
  struct Case {
    const char* name;
    RECT item;
    int state;
    RECT box;
  } cases[] = {
      // 16 x 9 -> shrunk 10 x 3, wider: width 9, height 5; centre (8, 4).
      {"wide", {0, 0, 16, 9}, 0, {4, 2, 13, 7}},
      // pressed: moved by (1, 1) first.
      {"wide pressed", {0, 0, 16, 9}, 1, {5, 3, 14, 8}},
      // 9 x 16 -> 3 x 10, taller: height 9, width 5; centre (4, 8).
      {"tall", {0, 0, 9, 16}, 0, {2, 4, 7, 13}},
      // 11 x 11 -> 5 x 5: not wider, height 5 (odd), width 3; centre (5, 5).
      {"square", {0, 0, 11, 11}, 2, {4, 3, 7, 8}},
      {"too small", {0, 0, 4, 4}, 0, {2, 2, 2, 2}},
  };
  for (const Case& c : cases) EXPECT_EQ(Str(ArrowBox(c.item, c.state)), Str(c.box)) << c.name;
}

TEST(ArrowLayout, FourPolygonsOfASmallBox) {
  const RECT box{10, 20, 19, 25};  // 9 x 5
  struct Case {
    int direction;
    POINT p[3];
  } cases[] = {
      {0, {{10, 25}, {14, 21}, {18, 25}}},
      {-1, {{10, 25}, {14, 21}, {18, 25}}},
      {1, {{18, 20}, {14, 24}, {10, 20}}},
      {2, {{19, 20}, {11, 22}, {19, 24}}},
      {3, {{10, 20}, {18, 22}, {10, 24}}},
  };
  for (const Case& c : cases) {
    const ArrowPolygon poly = ArrowPoints(box, c.direction);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(poly.p[i].x, c.p[i].x) << "direction " << c.direction << " point " << i;
      EXPECT_EQ(poly.p[i].y, c.p[i].y) << "direction " << c.direction << " point " << i;
    }
  }
}

TEST(SideThumbs, RectanglesInTheStoredOrderAndTheirHitTest) {
  const RECT B{20, 10, 220, 110};
  struct Case {
    const char* name;
    int side;
    int a;
    RECT stored;
    POINT inside;
    POINT outside;
  } cases[] = {
      {"bottom", CRecordThumb::kBottom, 50, {44, 110, 57, 98}, {50, 104}, {50, 111}},
      {"top", CRecordThumb::kTop, 50, {44, 10, 57, 22}, {44, 10}, {57, 15}},
      {"right", CRecordThumb::kRight, 60, {220, 54, 207, 66}, {208, 60}, {220, 60}},
      {"left", CRecordThumb::kLeft, 60, {20, 54, 33, 66}, {20, 54}, {33, 60}},
  };
  for (const Case& c : cases) {
    const RECT r = SideThumbRect(c.side, c.a, B);
    EXPECT_EQ(Str(r), Str(c.stored)) << c.name;
    EXPECT_TRUE(PointInItemRect(r, c.inside)) << c.name << ": found although given upside down";
    EXPECT_FALSE(PointInItemRect(r, c.outside)) << c.name;
  }
}

TEST(SideThumbs, PixelFromTheRecordsScaleOrTheRecordersMapping) {
  CScale scale;
  scale.Set(0.0, 100.0, 100.0, 10, false);
  scale.SetPixels(20, 220);
  scale.Recompute();
  struct FakeRecorder : IRecorderViewMap {
    int CursorPixel(double position) const override { return static_cast<int>(position) + 1000; }
  } recorder;

  CTraceStyle plain;
  plain.m_dValue = 25.0;
  plain.m_pScale = &scale;
  EXPECT_EQ(RecordPixel(plain, nullptr), scale.ValueToPixel(25.0));

  CTraceStyle unscaled;
  unscaled.m_dValue = 25.0;
  EXPECT_EQ(RecordPixel(unscaled, &recorder), 0) << "without a scale the thumb stands at pixel 0";

  CTraceStyle left;
  left.m_dValue = 300.0;
  left.Kind() = 4;
  left.m_pScale = &scale;
  EXPECT_EQ(RecordPixel(left, &recorder), 1300) << "the recorder's cursors go through its view";
  left.Kind() = 5;
  EXPECT_EQ(RecordPixel(left, &recorder), 1300);
  EXPECT_EQ(RecordPixel(left, nullptr), 0);
}

TEST(TabLayout, StartsAfterTheMarginAndIsCutAtTheRight) {
  const RECT strip{10, 0, 200, 30};
  const std::vector<RECT> tabs = LayoutTabs(strip, {60, 70, 80, 40});
  ASSERT_EQ(tabs.size(), 4u);
  EXPECT_EQ(Str(tabs[0]), Str(RECT{45, 1, 105, 30}));
  EXPECT_EQ(Str(tabs[1]), Str(RECT{105, 1, 175, 30}));
  EXPECT_EQ(Str(tabs[2]), Str(RECT{175, 1, 200, 30})) << "cut at the strip's right";
  EXPECT_EQ(Str(tabs[3]), Str(RECT{200, 1, 200, 30})) << "later tabs get zero width";
}

}  // namespace
