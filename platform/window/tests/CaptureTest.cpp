// Mouse capture and hover tracking as the program's owner-drawn controls use them: a control takes
// the capture on the first move over it and lets it go when a move reports a point outside.
#include "Probe.h"

#include <gtest/gtest.h>

using kvp::headless::Button;
namespace hl = kvp::headless;

namespace {

// The press / hover / click state machine of the toolkit's buttons.
class HoverButton : public CWnd {
 public:
  int state = 0;  // 0 normal, 1 pressed, 2 hot
  int clicks = 0;
  int cancelModes = 0;
  int captureChanges = 0;
  int setCursors = 0;
  CPoint lastMove{-999, -999};
  int* cancelCounter = nullptr;

  void OnLButtonDown(UINT, CPoint) override {
    if (GetCapture() != this) SetCapture();
    state = 1;
  }
  void OnMouseMove(UINT, CPoint p) override {
    lastMove = p;
    if (state == 1) return;
    CRect rc;
    GetClientRect(&rc);
    if (state == 2 && !rc.PtInRect(p)) {
      if (GetCapture() == this) ::ReleaseCapture();
      state = 0;
    } else if (state == 0) {
      SetCapture();
      state = 2;
    }
  }
  void OnLButtonUp(UINT, CPoint p) override {
    int old = state;
    if (GetCapture() == this) ::ReleaseCapture();
    state = 0;
    CRect rc;
    GetClientRect(&rc);
    if (old == 1 && rc.PtInRect(p)) ++clicks;
  }
  void OnCancelMode() override {
    ++cancelModes;
    if (cancelCounter) ++*cancelCounter;
    CWnd::OnCancelMode();
    if (GetCapture() == this) ::ReleaseCapture();
    state = 0;
  }
  void OnCaptureChanged(CWnd*) override { ++captureChanges; }
  BOOL OnSetCursor(CWnd*, UINT, UINT) override {
    ++setCursors;
    return TRUE;
  }
};

struct Fixture {
  kvtest::Probe top;
  HoverButton button;
  Fixture() {
    top.CreateTop(CRect(100, 100, 400, 300));
    button.Create(kvtest::ProbeClass(), "button", WS_CHILD | WS_VISIBLE, CRect(50, 50, 130, 80), &top, 7);
    hl::Pump();
  }
};

// Steps in the button's client coordinates: 'm' move, 'p' press, 'r' release.
struct Step {
  char action;
  int x, y;
};

struct CaptureCase {
  const char* name;
  std::vector<Step> steps;
  int clicks;
  bool captured;
  CPoint lastMove;
  int setCursors;  // WM_SETCURSOR reaches the control only while nobody holds the capture
};

class CaptureTable : public ::testing::TestWithParam<CaptureCase> {};

TEST_P(CaptureTable, FollowsTheCaptureRules) {
  kvp::HeadlessWorld world;
  Fixture f;
  for (const Step& s : GetParam().steps) {
    if (s.action == 'm') hl::MoveMouseTo(f.button.m_hWnd, POINT{s.x, s.y});
    if (s.action == 'p') hl::PressButton(Button::Left);
    if (s.action == 'r') hl::ReleaseButton(Button::Left);
  }
  EXPECT_EQ(f.button.clicks, GetParam().clicks);
  EXPECT_EQ(::GetCapture() == f.button.m_hWnd, GetParam().captured);
  EXPECT_EQ(f.button.lastMove, GetParam().lastMove);
  EXPECT_EQ(f.button.setCursors, GetParam().setCursors);
  if (!GetParam().captured) {
    EXPECT_EQ(f.button.state, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Hover, CaptureTable,
    ::testing::Values(
        CaptureCase{"ClickInside", {{'m', 10, 10}, {'p', 0, 0}, {'r', 0, 0}}, 1, false, CPoint(10, 10), 1},
        CaptureCase{"PressLeaveReleaseOutsideIsNoClick",
                    {{'m', 10, 10}, {'p', 0, 0}, {'m', 150, 10}, {'r', 0, 0}},
                    0, false, CPoint(150, 10), 1},
        CaptureCase{"PressLeaveComeBackIsAClick",
                    {{'m', 10, 10}, {'p', 0, 0}, {'m', 150, 10}, {'m', 20, 20}, {'r', 0, 0}},
                    1, false, CPoint(20, 20), 1},
        CaptureCase{"HoverGetsNegativeCoordinatesWhenLeaving", {{'m', 10, 10}, {'m', -20, -5}}, 0, false,
                    CPoint(-20, -5), 1},
        CaptureCase{"HoverKeepsCaptureInside", {{'m', 10, 10}, {'m', 70, 25}}, 0, true, CPoint(70, 25), 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Capture, ReleasingTellsTheOldOwner) {
  kvp::HeadlessWorld world;
  Fixture f;
  hl::MoveMouseTo(f.button.m_hWnd, POINT{10, 10});
  ASSERT_EQ(::GetCapture(), f.button.m_hWnd);
  hl::MoveMouseTo(f.button.m_hWnd, POINT{200, 10});
  EXPECT_EQ(f.button.captureChanges, 1);
  EXPECT_EQ(::GetCapture(), 0u);
}

TEST(Capture, HidingOrDestroyingTheCaptureWindowCancelsItsMode) {
  kvp::HeadlessWorld world;
  Fixture f;
  hl::MoveMouseTo(f.button.m_hWnd, POINT{10, 10});
  hl::PressButton(Button::Left);
  f.button.ShowWindow(SW_HIDE);
  EXPECT_EQ(f.button.cancelModes, 1);
  EXPECT_EQ(::GetCapture(), 0u);

  f.button.ShowWindow(SW_SHOW);
  hl::ReleaseButton(Button::Left);
  hl::MoveMouseTo(f.button.m_hWnd, POINT{12, 12});
  ASSERT_EQ(::GetCapture(), f.button.m_hWnd);
  int cancels = 0;
  f.button.cancelCounter = &cancels;
  f.top.DestroyWindow();
  EXPECT_EQ(cancels, 1);
  EXPECT_EQ(::GetCapture(), 0u);
}

TEST(Capture, RightClickOnAChildReachesItsParentNamingTheChild) {
  kvp::HeadlessWorld world;
  kvtest::Probe top, child;
  top.CreateTop(CRect(0, 0, 200, 200));
  child.CreateChild(&top, CRect(10, 10, 60, 40), 5);
  hl::Click(child.m_hWnd, POINT{5, 5}, Button::Right);
  const kvtest::Seen* atChild = child.Last(WM_CONTEXTMENU);
  const kvtest::Seen* atParent = top.Last(WM_CONTEXTMENU);
  ASSERT_TRUE(atChild && atParent);
  EXPECT_EQ(atParent->wParam, child.m_hWnd);
  EXPECT_EQ(kvtest::ClientPoint(atParent->lParam), CPoint(15, 15));  // screen point of the click
}

TEST(Capture, ClicksOnADisabledWindowAreDropped) {
  kvp::HeadlessWorld world;
  Fixture f;
  f.top.EnableWindow(FALSE);
  hl::Click(f.button.m_hWnd, POINT{10, 10});
  EXPECT_EQ(f.button.clicks, 0);
  EXPECT_EQ(f.button.state, 0);
  EXPECT_EQ(f.button.setCursors, 0);
}

}  // namespace
