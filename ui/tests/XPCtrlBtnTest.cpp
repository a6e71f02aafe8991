// The owner-drawn button and check box: the press / hover / click state machine as event scripts,
// the value stepping, colours and a few pixels of the rounded face.
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/XPCtrlBtn.h>

#include <core/NumberFormat.h>

#include <filesystem>
#include <vector>

using namespace uitest;

namespace {

class ClickLog : public CXPCtrlBtn::IBtnClbck {
 public:
  std::vector<int> values;  // the value at each OnClick
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) override { values.push_back(data->value); }
};

class CheckLog : public CXPCheckBtn::ICheckBtnClbck {
 public:
  std::vector<BOOL> states;
  void OnCheck(BOOL newState, CXPCheckBtn*) override { states.push_back(newState); }
};

struct ButtonFixture {
  kvp::HeadlessWorld world;
  Host host;
  CXPCtrlBtn button;
  ClickLog log;

  explicit ButtonFixture(int min = 0, int max = 0) {
    host.CreateTop(100, 100, 300, 200);
    button.btnClbck = &log;
    button.data.min = min;
    button.data.max = max;
    button.Create("button", WS_CHILD | WS_VISIBLE, CRect(50, 50, 130, 80), &host, 7);
    hl::Pump();
  }
};

// One step of a script, in the button's client coordinates: 'm' move, 'd' press, 'u' release,
// 'c' a modal box opening over the button.
struct Step {
  char action;
  int x = 0, y = 0;
};

void Play(ButtonFixture& f, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    switch (s.action) {
      case 'm': hl::MoveMouseTo(f.button.GetSafeHwnd(), POINT{s.x, s.y}); break;
      case 'd': hl::PressButton(hl::Button::Left); break;
      case 'u': hl::ReleaseButton(hl::Button::Left); break;
      case 'c': OpenAndCloseModalBox(f.host.GetSafeHwnd()); break;
    }
    hl::Pump();
  }
}

TEST(XPCtrlBtn, EventScripts) {
  const Step in{'m', 10, 10}, out{'m', 200, 10}, down{'d'}, up{'u'}, cancel{'c'};
  struct Case {
    const char* name;
    int min, max;
    std::vector<Step> steps;
    std::vector<int> values;  // at each OnClick
    int value, state;
    bool captured;
  } cases[] = {
      {"a click steps the value", 0, 2, {in, down, up}, {1}, 1, 0, false},
      {"min 0 max 2 steps 0, 1, 2, 0", 0, 2, {in, down, up, down, up, down, up}, {1, 2, 0}, 0, 0, false},
      {"min = max = 0 still reports", 0, 0, {in, down, up, down, up}, {0, 0}, 0, 0, false},
      {"press, leave, release outside", 0, 2, {in, down, out, up}, {}, 0, 0, false},
      {"press, leave and come back", 0, 2, {in, down, out, in, up}, {1}, 1, 0, false},
      {"moves while pressed change nothing", 0, 2, {in, down, out}, {}, 0, 1, true},
      {"hover takes the capture", 0, 2, {in}, {}, 0, 2, true},
      {"leaving releases it", 0, 2, {in, out}, {}, 0, 0, false},
      {"hover again after a click", 0, 2, {in, down, up, {'m', 11, 10}}, {1}, 1, 2, true},
      {"a modal box resets the press", 0, 2, {in, down, cancel}, {}, 0, 0, false},
      {"no click after the reset", 0, 2, {in, down, cancel, up}, {}, 0, 0, false},
  };
  for (const Case& c : cases) {
    ButtonFixture f(c.min, c.max);
    Play(f, c.steps);
    EXPECT_EQ(f.log.values, c.values) << c.name;
    EXPECT_EQ(f.button.data.value, c.value) << c.name;
    EXPECT_EQ(f.button.data.state, c.state) << c.name;
    EXPECT_EQ(::GetCapture() == f.button.GetSafeHwnd(), c.captured) << c.name;
    EXPECT_EQ(f.button.data.captured != 0, c.captured) << c.name;
  }
}

TEST(XPCtrlBtn, ADisabledButtonGetsNoClick) {
  ButtonFixture f(0, 2);
  f.button.data.enabled = 0;
  f.button.EnableWindow(FALSE);
  hl::Click(f.button.GetSafeHwnd(), POINT{10, 10});
  hl::Pump();
  EXPECT_TRUE(f.log.values.empty());
  EXPECT_EQ(f.button.data.value, 0);
  EXPECT_EQ(::GetCapture(), HWND(0));
}

TEST(XPCtrlBtn, ConstructionDefaultsAndColours) {
  kvp::HeadlessWorld world;
  CXPCtrlBtn b;
  EXPECT_EQ(b.data.enabled, 1);
  EXPECT_EQ(b.data.rebuild, 1);
  EXPECT_EQ(b.data.id, -1);
  EXPECT_EQ(b.flags, 0u);
  EXPECT_EQ(b.hotFace, AdjustColor(b.face, 40)) << "the constructor's hot face is 40 lighter";
  EXPECT_EQ(b.frame, RGB(80, 80, 80));
  b.SetColors(RGB(100, 110, 120), 0x10000, RGB(1, 2, 3), RGB(4, 5, 6));
  EXPECT_EQ(b.hotFace, RGB(130, 140, 150)) << "0x10000 gives the face 30 lighter";
  b.SetColors(RGB(100, 110, 120), RGB(7, 8, 9), RGB(1, 2, 3), RGB(4, 5, 6));
  EXPECT_EQ(b.hotFace, RGB(7, 8, 9));
}

TEST(XPCtrlBtn, RoundedFaceShadowAndPressedOffset) {
  ButtonFixture f(0, 2);
  CXPCtrlBtn& b = f.button;
  // 80 x 30 client: the face is the rounded rectangle (2, 2, 78, 28), its shadow (4, 4, 80, 30).
  EXPECT_EQ(Hex(Pixel(b, 40, 15)), Hex(b.face));
  EXPECT_EQ(Hex(Pixel(b, 3, 15)), Hex(b.face));
  EXPECT_EQ(Hex(Pixel(b, 79, 15)), Hex(b.frame)) << "shadow right of the face";
  EXPECT_EQ(Hex(Pixel(b, 40, 29)), Hex(b.frame)) << "shadow under the face";
  EXPECT_EQ(Hex(Pixel(b, 1, 15)), Hex(b.back));

  Play(f, {{'m', 40, 15}});
  EXPECT_EQ(Hex(Pixel(b, 40, 15)), Hex(b.hotFace)) << "hot";
  EXPECT_EQ(Hex(Pixel(b, 79, 15)), Hex(b.frame));

  Play(f, {{'d'}});
  EXPECT_EQ(Hex(Pixel(b, 40, 15)), Hex(b.hotFace)) << "pressed";
  EXPECT_EQ(Hex(Pixel(b, 3, 15)), Hex(b.back)) << "the pressed face moved onto its shadow";
  EXPECT_EQ(Hex(Pixel(b, 78, 15)), Hex(b.hotFace));
}

class ContentLog : public CXPCtrlBtn::IDrawClbck {
 public:
  std::vector<CRect> contents;
  void Draw(CDC*, RECT* content, XPCtrlBtnData*, CXPCtrlBtn*) override { contents.push_back(*content); }
};

TEST(XPCtrlBtn, TheOwnerDrawsInEveryLook) {
  struct Case {
    uint32_t flags;
    CRect content;
  } cases[] = {
      {0, CRect(6, 6, 74, 24)},
      {CXPCtrlBtn::kFlat, CRect(0, 0, 80, 30)},
      {CXPCtrlBtn::kFlat | CXPCtrlBtn::kFlatNoEdge, CRect(0, 0, 80, 30)},
      {CXPCtrlBtn::kFlatHot, CRect(0, 0, 80, 30)},
  };
  for (const Case& c : cases) {
    ButtonFixture f;
    ContentLog log;
    f.button.flags = c.flags;
    f.button.drawClbck = &log;
    f.button.Redraw();
    ASSERT_FALSE(log.contents.empty()) << c.flags;
    EXPECT_EQ(log.contents.back(), c.content) << c.flags;
  }
}

TEST(XPCtrlBtn, FlatHotFaceChangesColourOnHover) {
  ButtonFixture f;
  f.button.flags = CXPCtrlBtn::kFlatHot;
  f.button.Redraw();
  EXPECT_EQ(Hex(Pixel(f.button, 1, 1)), Hex(f.button.face));
  Play(f, {{'m', 10, 10}});
  EXPECT_EQ(Hex(Pixel(f.button, 1, 1)), Hex(f.button.hotFace));
}

TEST(XPCheckBtn, StartsCheckedAndInvertsOnEveryClick) {
  kvp::HeadlessWorld world;
  Host host;
  host.CreateTop(100, 100, 200, 100);
  CXPCheckBtn box;
  CheckLog log;
  box.checkClbck = &log;
  EXPECT_TRUE(box.checked);
  ASSERT_TRUE(box.Create(CRect(20, 20, 40, 40), &host, 3));
  EXPECT_EQ(box.id, 3);
  char name[32] = {};
  box.GetWindowText(name, sizeof name);
  EXPECT_STREQ(name, "MyCheckBox");
  hl::Pump();
  hl::Click(box.GetSafeHwnd(), POINT{8, 8});
  hl::Click(box.GetSafeHwnd(), POINT{8, 8});
  EXPECT_EQ(log.states, (std::vector<BOOL>{FALSE, TRUE}));
  EXPECT_TRUE(box.checked);

  // Press, leave, release outside: no change.
  hl::MoveMouseTo(box.GetSafeHwnd(), POINT{8, 8});
  hl::PressButton(hl::Button::Left);
  hl::MoveMouseTo(box.GetSafeHwnd(), POINT{80, 8});
  hl::ReleaseButton(hl::Button::Left);
  hl::Pump();
  EXPECT_EQ(log.states.size(), 2u);
  EXPECT_EQ(box.state, 0);
  EXPECT_EQ(::GetCapture(), HWND(0));
}

TEST(XPCheckBtn, CrossWhenChecked) {
  kvp::HeadlessWorld world;
  Host host;
  host.CreateTop(100, 100, 200, 100);
  CXPCheckBtn box;
  box.Create(CRect(20, 20, 44, 44), &host, 3);
  hl::Pump();
  // 24 x 24: box (1, 1, 21, 21) inside the edge, the cross on its diagonals from (4, 4) to (18, 18).
  EXPECT_EQ(Hex(Pixel(box, 11, 11)), Hex(RGB(0, 0, 0))) << "the crossing of the diagonals";
  box.checked = FALSE;
  box.Redraw();
  EXPECT_NE(Hex(Pixel(box, 11, 11)), Hex(RGB(0, 0, 0)));
  EXPECT_EQ(Hex(Pixel(box, 23, 23)), Hex(box.back));
}

}  // namespace
