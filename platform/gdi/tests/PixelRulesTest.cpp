// The pixel conventions the painting code relies on.
#include <gtest/gtest.h>

#include <kvtest/Canvas.h>

using gditest::Canvas;
using gditest::kBackground;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

struct Objects {
  explicit Objects(HDC dc, int penStyle = PS_SOLID, int penWidth = 1) : dc_(dc) {
    pen_ = CreatePen(penStyle, penWidth, kRed);
    brush_ = CreateSolidBrush(kBlue);
    oldPen_ = SelectObject(dc, pen_);
    oldBrush_ = SelectObject(dc, brush_);
  }
  ~Objects() {
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, oldBrush_);
    DeleteObject(pen_);
    DeleteObject(brush_);
  }
  HDC dc_;
  HPEN pen_;
  HBRUSH brush_;
  HGDIOBJ oldPen_, oldBrush_;
};

TEST(PixelRules, FillRectCoversLeftTopButNotRightBottom) {
  Canvas c(20, 20);
  HBRUSH brush = CreateSolidBrush(kBlue);
  RECT r{2, 3, 7, 9};
  ASSERT_TRUE(FillRect(c.dc(), &r, brush));
  EXPECT_EQ(c.Row(5, 0, 10, kBlue), "..#####...");
  EXPECT_EQ(c.Column(4, 0, 12, kBlue), "...######...");
  EXPECT_EQ(c.CountInk(RECT{0, 0, 20, 20}), 5 * 6);
  DeleteObject(brush);
}

TEST(PixelRules, RectangleOutlineLiesInsideTheRectangle) {
  Canvas c(20, 20);
  Objects o(c.dc());
  ASSERT_TRUE(Rectangle(c.dc(), 2, 3, 8, 9));
  // Outline on columns 2..7 and rows 3..8; the inside is brush-filled; nothing reaches 8 or 9.
  EXPECT_EQ(c.Row(3, 0, 10, kRed), "..######..");
  EXPECT_EQ(c.Row(8, 0, 10, kRed), "..######..");
  EXPECT_EQ(c.Row(5, 0, 10, kRed), "..#....#..");
  EXPECT_EQ(c.Row(5, 0, 10, kBlue), "...####...");
  RECT ink;
  c.CountInk(RECT{0, 0, 20, 20}, kBackground, &ink);
  EXPECT_EQ(ink.left, 2);
  EXPECT_EQ(ink.top, 3);
  EXPECT_EQ(ink.right, 8);
  EXPECT_EQ(ink.bottom, 9);
}

TEST(PixelRules, RectangleWithoutPenFillsOnePixelLess) {
  Canvas c(20, 20);
  Objects o(c.dc());
  SelectObject(c.dc(), GetStockObject(NULL_PEN));
  Rectangle(c.dc(), 2, 2, 8, 8);
  EXPECT_EQ(c.CountInk(RECT{0, 0, 20, 20}), 5 * 5);
  EXPECT_EQ(c.Row(2, 0, 10, kBlue), "..#####...");
}

// Round shapes stay within [left, right-1] x [top, bottom-1] and touch each side.
TEST(PixelRules, EllipseAndRoundRectStayInsideTheirBox) {
  struct Case {
    const char* name;
    BOOL (*draw)(HDC);
  } cases[] = {
      {"Ellipse", [](HDC dc) { return Ellipse(dc, 3, 4, 23, 18); }},
      {"RoundRect", [](HDC dc) { return RoundRect(dc, 3, 4, 23, 18, 16, 16); }},
  };
  for (const auto& cs : cases) {
    Canvas c(30, 30);
    Objects o(c.dc());
    ASSERT_TRUE(cs.draw(c.dc())) << cs.name;
    RECT ink;
    c.CountInk(RECT{0, 0, 30, 30}, kBackground, &ink);
    EXPECT_EQ(ink.left, 3) << cs.name;
    EXPECT_EQ(ink.top, 4) << cs.name;
    EXPECT_EQ(ink.right, 23) << cs.name;
    EXPECT_EQ(ink.bottom, 18) << cs.name;
    EXPECT_EQ(c.At(13, 11), kBlue) << cs.name;  // filled inside
  }
}

TEST(PixelRules, LineToLeavesOutTheEndPointAndMovesThePosition) {
  struct Case {
    POINT from, to;
    POINT lastDrawn, notDrawn;
  } cases[] = {
      {{2, 5}, {9, 5}, {8, 5}, {9, 5}},    // right
      {{9, 5}, {2, 5}, {3, 5}, {2, 5}},    // left
      {{5, 2}, {5, 9}, {5, 8}, {5, 9}},    // down
      {{5, 9}, {5, 2}, {5, 3}, {5, 2}},    // up
      {{2, 2}, {9, 9}, {8, 8}, {9, 9}},    // diagonal
  };
  for (const auto& cs : cases) {
    Canvas c(12, 12);
    Objects o(c.dc());
    MoveToEx(c.dc(), cs.from.x, cs.from.y, nullptr);
    ASSERT_TRUE(LineTo(c.dc(), cs.to.x, cs.to.y));
    EXPECT_EQ(c.At(cs.from.x, cs.from.y), kRed);
    EXPECT_EQ(c.At(cs.lastDrawn.x, cs.lastDrawn.y), kRed);
    EXPECT_EQ(c.At(cs.notDrawn.x, cs.notDrawn.y), kBackground);
    EXPECT_EQ(c.CountInk(RECT{0, 0, 12, 12}), 7);
    POINT cur;
    MoveToEx(c.dc(), 0, 0, &cur);
    EXPECT_EQ(cur.x, cs.to.x);
    EXPECT_EQ(cur.y, cs.to.y);
  }
}

TEST(PixelRules, OnePixelLinesAreCrispFullColourSingleRows) {
  Canvas c(20, 20);
  Objects o(c.dc());
  POINT pts[] = {{2, 4}, {15, 4}, {15, 12}, {4, 12}};
  ASSERT_TRUE(Polyline(c.dc(), pts, 4));
  // Every ink pixel has the pen's exact colour: no half-covered neighbours.
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      COLORREF p = c.At(x, y);
      EXPECT_TRUE(p == kRed || p == kBackground) << x << "," << y;
    }
  EXPECT_EQ(c.Row(4, 0, 18, kRed), "..##############..");  // the corner (15,4) belongs to the line
  EXPECT_EQ(c.Column(15, 3, 14, kRed), ".#########.");
  EXPECT_EQ(c.Row(12, 0, 18, kRed), ".....###########..");  // ends before (4,12)
  EXPECT_EQ(c.CountInk(RECT{0, 0, 20, 20}), 13 + 8 + 11);

  // A trace that stays put at its ends (repeated samples) still draws the first point whole and
  // leaves out the last.
  Canvas flat(20, 4);
  Objects o2(flat.dc());
  POINT trace[] = {{2, 1}, {2, 1}, {10, 1}, {10, 1}};
  Polyline(flat.dc(), trace, 4);
  EXPECT_EQ(flat.Row(1, 0, 12, kRed), "..########..");
  EXPECT_EQ(flat.CountInk(RECT{0, 0, 20, 4}), 8);
}

TEST(PixelRules, WidePensAndStyledPens) {
  {
    Canvas c(30, 10);
    Objects o(c.dc(), PS_SOLID, 2);
    MoveToEx(c.dc(), 2, 5, nullptr);
    LineTo(c.dc(), 20, 5);
    EXPECT_EQ(c.Column(10, 0, 10, kRed).find("##"), 4u);  // two rows thick
  }
  {
    Canvas c(40, 4);
    Objects o(c.dc(), PS_DOT, 1);
    SetBkMode(c.dc(), TRANSPARENT);
    MoveToEx(c.dc(), 0, 1, nullptr);
    LineTo(c.dc(), 40, 1);
    std::string row = c.Row(1, 0, 12, kRed);
    EXPECT_EQ(row, "###...###...");  // gaps keep the background
  }
  {
    Canvas c(40, 4);
    Objects o(c.dc(), PS_DASH, 1);
    SetBkColor(c.dc(), RGB(0, 255, 0));  // opaque by default: gaps take the background colour
    MoveToEx(c.dc(), 0, 1, nullptr);
    LineTo(c.dc(), 40, 1);
    EXPECT_EQ(c.At(5, 1), kRed);
    EXPECT_EQ(c.At(20, 1), RGB(0, 255, 0));
  }
}

TEST(PixelRules, PolygonIsClosedAndFilled) {
  Canvas c(20, 20);
  Objects o(c.dc());
  POINT tri[] = {{2, 2}, {16, 2}, {2, 16}};
  ASSERT_TRUE(Polygon(c.dc(), tri, 3));
  EXPECT_EQ(c.At(2, 10), kRed);    // closing edge drawn
  EXPECT_EQ(c.At(5, 5), kBlue);    // inside filled
  EXPECT_EQ(c.At(14, 14), kBackground);
}

TEST(PixelRules, DrawEdgeColoursTopLeftAndBottomRight) {
  struct Case {
    UINT edge;
    int outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
  } cases[] = {
      {EDGE_SUNKEN, COLOR_3DSHADOW, COLOR_3DHILIGHT, COLOR_3DDKSHADOW, COLOR_3DLIGHT},
      {EDGE_RAISED, COLOR_3DLIGHT, COLOR_3DDKSHADOW, COLOR_3DHILIGHT, COLOR_3DSHADOW},
      {EDGE_BUMP, COLOR_3DLIGHT, COLOR_3DDKSHADOW, COLOR_3DDKSHADOW, COLOR_3DLIGHT},
  };
  for (const auto& cs : cases) {
    Canvas c(20, 20);
    RECT r{2, 2, 12, 12};
    ASSERT_TRUE(DrawEdge(c.dc(), &r, cs.edge, BF_RECT));
    EXPECT_EQ(c.At(2, 6), GetSysColor(cs.outerTopLeft)) << cs.edge;
    EXPECT_EQ(c.At(6, 2), GetSysColor(cs.outerTopLeft)) << cs.edge;
    EXPECT_EQ(c.At(11, 6), GetSysColor(cs.outerBottomRight)) << cs.edge;
    EXPECT_EQ(c.At(6, 11), GetSysColor(cs.outerBottomRight)) << cs.edge;
    EXPECT_EQ(c.At(3, 6), GetSysColor(cs.innerTopLeft)) << cs.edge;
    EXPECT_EQ(c.At(10, 6), GetSysColor(cs.innerBottomRight)) << cs.edge;
    EXPECT_EQ(c.At(6, 6), kBackground) << cs.edge;  // the middle is left alone
    EXPECT_EQ(c.At(12, 6), kBackground) << cs.edge;
  }
}

TEST(PixelRules, ZeroHeightSunkenEdgeIsASeparatorLine) {
  Canvas c(20, 10);
  RECT r{2, 5, 15, 5};
  ASSERT_TRUE(DrawEdge(c.dc(), &r, EDGE_SUNKEN, BF_RECT));
  EXPECT_EQ(c.Row(4, 0, 17, GetSysColor(COLOR_3DSHADOW)), "..#############..");
  EXPECT_EQ(c.Row(5, 0, 17, GetSysColor(COLOR_3DHILIGHT)), "..#############..");
  EXPECT_EQ(c.CountInk(RECT{0, 0, 20, 10}), 26);
}

TEST(PixelRules, FocusRectInvertsDotsAndASecondCallRestores) {
  Canvas c(20, 20);
  RECT r{2, 2, 12, 10};
  ASSERT_TRUE(DrawFocusRect(c.dc(), &r));
  const COLORREF inverted = RGB(255 - 10, 255 - 20, 255 - 30);
  EXPECT_EQ(c.Row(2, 0, 14, inverted), "..#.#.#.#.#...");
  EXPECT_EQ(c.At(6, 6), kBackground);
  DrawFocusRect(c.dc(), &r);
  EXPECT_EQ(c.CountInk(RECT{0, 0, 20, 20}), 0);
}

}  // namespace
