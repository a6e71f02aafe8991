// The tab strip: layout cut at the strip's right, clicks that change nothing, a refused change,
// and the pixels of the 3-D line under the row.
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/XPCtrlTab.h>

#include <vector>

using namespace uitest;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);
constexpr COLORREF kFill = RGB(200, 0, 0), kBack = RGB(0, 0, 100), kLine = RGB(0, 200, 0);

class Owner : public CXPCtrlTab::IClbck_XPCtrlTab, public CXPCtrlTabItem::IClbck_XPCtrlTabItem {
 public:
  BOOL allow = TRUE;
  std::vector<std::pair<int, int>> asked, changed;
  std::vector<std::pair<int, int>> drawn;  // (id, flags)
  BOOL MayChange(int n, int o) override {
    asked.push_back({n, o});
    return allow;
  }
  void Changed(int n, int o) override { changed.push_back({n, o}); }
  BOOL DrawItem(CDC*, RECT*, CXPCtrlTabItem* item, int flags) override {
    drawn.push_back({item->id, flags});
    return TRUE;
  }
};

// A strip at (0, 10, 300, 40): tabs of 60, 60, 60 (disabled), 200 (cut) and 50 (zero width).
struct TabFixture {
  kvp::HeadlessWorld world;
  Host host;
  CXPCtrlTab tab{&host};
  Owner owner;

  TabFixture() {
    host.CreateTop(0, 0, 400, 60);
    host.onPaint = [this](CDC* dc) { tab.Paint(dc, TRUE); };
    host.onDown = [this](CPoint p) { tab.OnLButtonDown(p); };
    tab.owner = &owner;
    tab.rect = RECT{0, 10, 300, 40};
    tab.SetColors(RGB(1, 2, 3), kFill, kBack, kLine);
    const int widths[] = {60, 60, 60, 200, 50};
    for (int i = 0; i < 5; ++i) {
      auto* item = new CXPCtrlTabItem;
      item->width = widths[i];
      item->id = i;
      item->painter = &owner;
      EXPECT_EQ(tab.AddItem(item), i);
    }
    tab.GetItem(2)->enabled = FALSE;
    tab.layoutDirty = TRUE;
    hl::Pump();
  }
  void ClickAt(int x, int y) { hl::Click(host.GetSafeHwnd(), POINT{x, y}); }
};

TEST(XPCtrlTab, LayoutCutAtTheRight) {
  TabFixture f;
  EXPECT_FALSE(f.tab.layoutDirty);
  EXPECT_EQ(CRect(f.tab.GetItem(0)->rect), CRect(35, 11, 95, 40));
  EXPECT_EQ(CRect(f.tab.GetItem(3)->rect), CRect(215, 11, 300, 40));
  EXPECT_EQ(CRect(f.tab.GetItem(4)->rect), CRect(300, 11, 300, 40));
  POINT p{299, 20};
  EXPECT_EQ(f.tab.HitTest(&p, FALSE), 3);
  POINT disabled{160, 20};
  EXPECT_EQ(f.tab.HitTest(&disabled, FALSE), -1);
  EXPECT_EQ(f.tab.HitTest(&disabled, TRUE), 2);
}

TEST(XPCtrlTab, NoSelectionIsOneUnbrokenWhiteLine) {
  TabFixture f;
  for (int x = 0; x < 300; ++x) ASSERT_EQ(Hex(Pixel(f.host, x, 39)), Hex(kWhite)) << x;
  EXPECT_NE(Hex(Pixel(f.host, 300, 39)), Hex(kWhite)) << "clipped to the strip";
  EXPECT_EQ(Hex(Pixel(f.host, 35, 20)), Hex(kLine)) << "separators at the tab edges";
  EXPECT_EQ(Hex(Pixel(f.host, 35, 13)), Hex(kBack)) << "from top + 3";
  EXPECT_EQ(Hex(Pixel(f.host, 35, 14)), Hex(kLine));
  EXPECT_EQ(Hex(Pixel(f.host, 35, 37)), Hex(kBack)) << "to bottom - 3";
  EXPECT_EQ(Hex(Pixel(f.host, 20, 20)), Hex(kBack));
}

TEST(XPCtrlTab, SelectedTabOpensTheLine) {
  TabFixture f;
  f.ClickAt(120, 20);
  ASSERT_EQ(f.tab.selected, 1);
  EXPECT_EQ(f.owner.changed, (std::vector<std::pair<int, int>>{{1, -1}}));
  struct Px {
    int x, y;
    COLORREF c;
    const char* what;
  } px[] = {
      {0, 39, kWhite, "left part of the bottom row"},
      {94, 39, kWhite, "up to the tab's left"},
      {95, 30, kWhite, "up the tab's left edge"},
      {95, 11, kWhite, "the corner"},
      {120, 11, kWhite, "across the tab's top"},
      {155, 11, kBlack, "down the right edge, black"},
      {155, 38, kBlack, "to the bottom row"},
      {156, 39, kWhite, "white on to the right"},
      {299, 39, kWhite, "to the strip's right"},
      {120, 39, kFill, "the bottom row is open under the tab"},
      {120, 25, kFill, "the selected tab's face"},
  };
  for (const Px& p : px) EXPECT_EQ(Hex(Pixel(f.host, p.x, p.y)), Hex(p.c)) << p.what;
  // The owner drew the selected tab with flag 1, the others with 0.
  bool selectedDrawn = false;
  for (auto [id, flags] : f.owner.drawn) {
    if (id == 1) {
      selectedDrawn |= flags == 1;
    } else {
      EXPECT_EQ(flags, 0);
    }
  }
  EXPECT_TRUE(selectedDrawn);
}

TEST(XPCtrlTab, ClicksThatChangeNothing) {
  TabFixture f;
  f.ClickAt(120, 20);
  ASSERT_EQ(f.tab.selected, 1);
  f.owner.asked.clear();
  f.owner.changed.clear();
  struct Case {
    const char* name;
    int x, y;
  } cases[] = {{"disabled tab", 180, 20}, {"before the first tab", 10, 20}, {"the selected tab", 130, 30},
               {"right of the strip", 350, 20}, {"above the tabs", 120, 5}};
  for (const Case& c : cases) {
    f.ClickAt(c.x, c.y);
    EXPECT_EQ(f.tab.selected, 1) << c.name;
  }
  EXPECT_TRUE(f.owner.asked.empty());
  EXPECT_TRUE(f.owner.changed.empty());
}

TEST(XPCtrlTab, ARefusedChangeLeavesSelectionAndDrawing) {
  TabFixture f;
  f.ClickAt(120, 20);
  f.owner.allow = FALSE;
  f.ClickAt(60, 20);
  EXPECT_EQ(f.owner.asked.back(), (std::pair<int, int>{0, 1}));
  EXPECT_EQ(f.tab.selected, 1);
  EXPECT_EQ(f.owner.changed.size(), 1u);
  EXPECT_EQ(Hex(Pixel(f.host, 60, 39)), Hex(kWhite));
  EXPECT_EQ(Hex(Pixel(f.host, 155, 20)), Hex(kBlack));
  EXPECT_EQ(Hex(Pixel(f.host, 120, 39)), Hex(kFill));
}

TEST(XPCtrlTab, NothingWithoutAnOwner) {
  TabFixture f;
  f.tab.owner = nullptr;
  f.tab.SetSelection(0, TRUE);
  EXPECT_EQ(f.tab.selected, -1);
  EXPECT_FALSE(f.tab.OnLButtonDown(POINT{60, 20}));
}

TEST(XPCtrlTab, RedrawCopiesBackOnlyTheStrip) {
  TabFixture f;
  CClientDC dc(&f.host);
  dc.FillSolidRect(0, 0, 400, 60, RGB(9, 9, 9));
  f.tab.SetSelection(0, TRUE);
  EXPECT_EQ(Hex(Pixel(f.host, 60, 25)), Hex(kFill));
  EXPECT_EQ(Hex(Pixel(f.host, 60, 5)), Hex(RGB(9, 9, 9))) << "above the strip";
  EXPECT_EQ(Hex(Pixel(f.host, 350, 25)), Hex(RGB(9, 9, 9))) << "right of the strip";
}

}  // namespace
