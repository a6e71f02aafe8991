// How the items draw themselves: the button item's looks and the thumb's fill and edges, on a
// canvas standing in for the host window.
#include <gtest/gtest.h>

#include <kvtest/Canvas.h>
#include <ui/HotItems.h>
#include <ui/RepeatCtrl.h>

using gditest::Canvas;
using gditest::kBackground;

namespace {

constexpr COLORREF kNormal = RGB(0, 120, 0), kPressed = RGB(200, 0, 0);

struct ItemCanvas {
  Canvas canvas{60, 40};
  CDC dc;
  CBrush normal{kNormal}, pressed{kPressed};
  ItemCanvas() { dc.Attach(canvas.dc()); }
  ~ItemCanvas() { dc.Detach(); }
};

TEST(VisualItemBtn, FaceFollowsTheState) {
  struct Case {
    int state;
    COLORREF inside;
  } cases[] = {{0, kNormal}, {2, kNormal}, {1, kPressed}};
  for (const Case& c : cases) {
    ItemCanvas f;
    CVisualItemBtn item;
    item.rect = RECT{10, 10, 40, 30};
    item.brushes = CVisualItemBtn::Brushes{&f.normal, &f.pressed};
    item.state = c.state;
    item.Draw(&f.dc);
    EXPECT_EQ(f.canvas.At(25, 20), c.inside) << c.state;
    EXPECT_EQ(f.canvas.At(9, 20), kBackground) << c.state;
    if (c.state == 0) {
      EXPECT_EQ(f.canvas.At(10, 10), kNormal) << "no edge when normal";
    } else {
      EXPECT_NE(f.canvas.At(10, 10), c.inside) << "an edge when hot or pressed";
    }
  }
}

TEST(VisualItemBtn, DividerLooks) {
  ItemCanvas f;
  CVisualItemBtn item;
  item.rect = RECT{10, 10, 40, 30};
  item.brushes.brush = &f.normal;
  item.look = 0;
  item.Draw(&f.dc);
  EXPECT_NE(f.canvas.At(24, 20), kNormal) << "a vertical line through the middle";
  EXPECT_EQ(f.canvas.At(15, 20), kNormal);
  item.look = 1;
  f.dc.FillSolidRect(0, 0, 60, 40, kBackground);
  item.Draw(&f.dc);
  EXPECT_NE(f.canvas.At(25, 19), kNormal) << "a horizontal line through the middle";
  EXPECT_EQ(f.canvas.At(25, 12), kNormal);
}

TEST(VisualItemBtn, ClickForwardsTheRepeatFlag) {
  struct Log : CVisualItemBtn::IClbck {
    std::vector<BOOL> repeats;
    void OnItemClick(POINT*, BOOL repeat, CVisualItemBtn*) override { repeats.push_back(repeat); }
  } log;
  CVisualItemBtn item;
  POINT p{0, 0};
  item.OnClick(&p, TRUE);  // no callback: nothing
  item.clbck = &log;
  item.OnClick(&p, FALSE);
  item.OnClick(&p, TRUE);
  EXPECT_EQ(log.repeats, (std::vector<BOOL>{FALSE, TRUE}));
}

TEST(VisualItemThumb, FillAndEdges) {
  struct Case {
    int state, edge;
    COLORREF middle;
    bool edged;
  } cases[] = {{0, -1, kNormal, false}, {2, 1, kNormal, true}, {1, 2, kPressed, true}};
  for (const Case& c : cases) {
    ItemCanvas f;
    CVisualItemThumb thumb;
    thumb.rect = RECT{10, 10, 23, 22};
    thumb.brush = &f.normal;
    thumb.pressedBrush = &f.pressed;
    thumb.state = c.state;
    thumb.edge = c.edge;
    thumb.Draw(&f.dc);
    EXPECT_EQ(f.canvas.At(16, 16), c.middle);
    EXPECT_EQ(f.canvas.At(10, 10) != c.middle, c.edged);
  }
}

TEST(VisualItem, SlotsOfTheBase) {
  CVisualItemThumb t;
  EXPECT_TRUE(t.IsVisible());
  t.Show(FALSE);
  EXPECT_FALSE(t.IsVisible());
  EXPECT_EQ(t.flags & CVisualItem::kHidden, CVisualItem::kHidden);
  t.Show(TRUE);
  EXPECT_TRUE(t.IsVisible());
  t.SetRect(1, 2, 3, 4);
  EXPECT_EQ(t.GetRect()->right, 3);
  EXPECT_EQ(t.QueryValue(5, 6), 0);
  EXPECT_TRUE(t.IsDraggable());
  POINT a{0, 0}, b{1, 1};
  t.OnDrag(&a, &b);  // no callback: nothing
  t.OnDragEnd(&a, &b);
  t.SetCursor(HCURSOR(7));
  EXPECT_EQ(t.GetCursor(), HCURSOR(7));
  CVisualItemBtn plain;
  EXPECT_FALSE(plain.IsDraggable());
}

}  // namespace
