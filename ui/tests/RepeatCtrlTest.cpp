// The repeat control: the step rule as the arrows apply it, the auto-repeat timers on the virtual
// clock, hover, the disabled look and the default text.
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/RepeatCtrl.h>

#include <platform/clock.h>

#include <vector>

using namespace uitest;

namespace {

class ChangeLog : public CRepeatCtrl::IScrollClbck {
 public:
  std::vector<double> values;
  std::vector<uint64_t> times;
  void OnValueChanged(NumericOptionRecord* record, CRepeatCtrl*) override {
    values.push_back(record->value);
    times.push_back(kvp::ClockNowMs());
  }
};

// A vertical control of 80 x 24: up arrow (59, 2, 75, 11), down arrow (59, 13, 75, 22).
struct RepeatFixture {
  kvp::HeadlessWorld world;
  Host host;
  CRepeatCtrl ctrl;
  ChangeLog log;
  const POINT up{67, 6}, down{67, 17}, field{20, 12};

  explicit RepeatFixture(int orientation = 0) {
    host.CreateTop(100, 100, 300, 200);
    NumericOptionRecord r;
    r.step = 1.0;
    r.bigStep = 10.0;
    r.min = 0.0;
    r.max = 1000.0;
    r.value = 500.0;
    ctrl.InitOptionFromRecord(&r);
    ctrl.orientation = orientation;
    ctrl.SetArrowLayout();
    ctrl.scrollClbck = &log;
    ctrl.Create("", WS_CHILD | WS_VISIBLE, CRect(20, 20, 100, 44), &host, 9);
    hl::Pump();
  }
  void MoveTo(POINT p) { hl::MoveMouseTo(ctrl.GetSafeHwnd(), p); }
};

TEST(RepeatCtrl, StepRuleThroughTheArrows) {
  struct Case {
    const char* name;
    double value, min, max, step, bigStep;
    int accelAfter;
    int clickNumber;  // within one press
    int orientation;
    int arrow;        // item index
    double after;
    bool called;
  } cases[] = {
      {"vertical item 0 steps up", 5, 0, 10, 1, 1, -1, 1, 0, 0, 6, true},
      {"vertical item 1 steps down", 5, 0, 10, 1, 1, -1, 1, 0, 1, 4, true},
      {"horizontal right steps up", 5, 0, 10, 1, 1, -1, 1, 1, 1, 6, true},
      {"horizontal left steps down", 5, 0, 10, 1, 1, -1, 1, 1, 0, 4, true},
      {"at max nothing, no call", 10, 0, 10, 1, 1, -1, 1, 0, 0, 10, false},
      {"at min nothing, no call", 0, 0, 10, 1, 1, -1, 1, 0, 1, 0, false},
      {"accelAfter 5: click 5 by step", 0, 0, 100, 0.5, 1.7, 5, 5, 0, 0, 0.5, true},
      {"accelAfter 5: click 6 by big step cut to steps", 0, 0, 100, 0.5, 1.7, 5, 6, 0, 0, 1.5, true},
      {"accelAfter -1 never grows", 0, 0, 100, 0.5, 1.7, -1, 50, 0, 0, 0.5, true},
      {"accelAfter 0 never grows", 0, 0, 100, 0.5, 1.7, 0, 50, 0, 0, 0.5, true},
      {"step -1 reverses the up arrow", 5, 0, 10, -1, -1, -1, 1, 0, 0, 4, true},
      {"step -1 reverses the down arrow", 5, 0, 10, -1, -1, -1, 1, 0, 1, 6, true},
      {"step 0 leaves the value", 5, 0, 10, 0, 2, 1, 3, 0, 0, 5, false},
      {"capped at max", 9.5, 0, 10, 1, 1, -1, 1, 0, 0, 10, true},
  };
  for (const Case& c : cases) {
    kvp::HeadlessWorld world;
    CRepeatCtrl ctrl;
    ChangeLog log;
    ctrl.scrollClbck = &log;
    ctrl.orientation = c.orientation;
    ctrl.SetArrowLayout();
    NumericOptionRecord r;
    r.value = c.value, r.min = c.min, r.max = c.max, r.step = c.step, r.bigStep = c.bigStep;
    r.accelAfter = c.accelAfter;
    InitOptionFromRecord(&ctrl, &r);
    ctrl.active = c.arrow;
    ctrl.state = 1;
    ctrl.repeatCount = c.clickNumber - 1;
    POINT p{0, 0};
    ctrl.items[c.arrow].OnClick(&p, TRUE);
    EXPECT_DOUBLE_EQ(ctrl.record.value, c.after) << c.name;
    EXPECT_EQ(!log.values.empty(), c.called) << c.name;
    EXPECT_EQ(ctrl.repeatCount, c.clickNumber) << c.name;
  }
}

TEST(RepeatCtrl, AClickFromAnArrowThatIsNotPressedIsIgnored) {
  kvp::HeadlessWorld world;
  CRepeatCtrl ctrl;
  ctrl.record.max = 10, ctrl.record.step = 1;
  ctrl.active = 1;
  POINT p{0, 0};
  ctrl.items[0].OnClick(&p, FALSE);
  EXPECT_EQ(ctrl.record.value, 0.0);
  EXPECT_EQ(ctrl.repeatCount, 0);
}

TEST(RepeatCtrl, HoldingAnArrowRepeatsAt700900And1100AndOnceAtRelease) {
  RepeatFixture f;
  f.MoveTo(f.up);
  hl::PressButton(hl::Button::Left);
  const uint64_t t0 = kvp::ClockNowMs();
  EXPECT_EQ(f.ctrl.state, 1);
  EXPECT_EQ(::GetCapture(), f.ctrl.GetSafeHwnd());
  hl::Advance(1100);
  std::vector<uint64_t> at;
  for (uint64_t t : f.log.times) at.push_back(t - t0);
  EXPECT_EQ(at, (std::vector<uint64_t>{700, 900, 1100}));
  hl::Advance(150);
  hl::ReleaseButton(hl::Button::Left);
  hl::Pump();
  EXPECT_EQ(f.log.values, (std::vector<double>{501, 502, 503, 504})) << "one more click at release";
  EXPECT_EQ(f.ctrl.repeatCount, 0);
  EXPECT_EQ(f.ctrl.state, 2) << "the release point is still over the arrow: hot";
  hl::Advance(1000);
  EXPECT_EQ(f.log.values.size(), 4u) << "the timers are gone";
}

TEST(RepeatCtrl, PointerOffTheArrowSuspendsTheClicksWithoutEndingThePress) {
  RepeatFixture f;
  f.MoveTo(f.down);
  hl::PressButton(hl::Button::Left);
  const uint64_t t0 = kvp::ClockNowMs();
  hl::Advance(750);
  ASSERT_EQ(f.log.values, (std::vector<double>{499}));
  f.MoveTo(f.field);
  hl::Advance(400);
  EXPECT_EQ(f.log.values.size(), 1u) << "no clicks at 900 and 1100";
  EXPECT_EQ(f.ctrl.state, 1);
  EXPECT_EQ(::GetCapture(), f.ctrl.GetSafeHwnd());
  f.MoveTo(f.down);
  hl::Advance(200);
  ASSERT_EQ(f.log.times.size(), 2u);
  EXPECT_EQ(f.log.times[1] - t0, 1300u);
  // Released off the arrow: no further click, the press ends.
  f.MoveTo(f.field);
  hl::ReleaseButton(hl::Button::Left);
  hl::Pump();
  EXPECT_EQ(f.log.values, (std::vector<double>{499, 498}));
  EXPECT_EQ(f.ctrl.state, 0);
  EXPECT_EQ(::GetCapture(), HWND(0));
}

TEST(RepeatCtrl, AQuickClickStepsOnceAndBigStepsAfterAccelAfter) {
  RepeatFixture f;
  f.ctrl.record.accelAfter = 2;
  hl::Click(f.ctrl.GetSafeHwnd(), f.up);
  EXPECT_EQ(f.log.values, (std::vector<double>{501}));
  // A held press: 700 (1), 900 (2), 1100 (3: big step) and the release (4: big step).
  hl::MoveMouseTo(f.ctrl.GetSafeHwnd(), f.up);
  hl::PressButton(hl::Button::Left);
  hl::Advance(1100);
  hl::ReleaseButton(hl::Button::Left);
  hl::Pump();
  EXPECT_EQ(f.log.values, (std::vector<double>{501, 502, 503, 513, 523}));
}

TEST(RepeatCtrl, CancelModeStopsThePress) {
  RepeatFixture f;
  f.MoveTo(f.up);
  hl::PressButton(hl::Button::Left);
  hl::Advance(600);
  OpenAndCloseModalBox(f.host.GetSafeHwnd());
  EXPECT_EQ(f.ctrl.state, 0);
  EXPECT_EQ(f.ctrl.active, -1);
  hl::Advance(1000);
  hl::ReleaseButton(hl::Button::Left);
  hl::Pump();
  EXPECT_TRUE(f.log.values.empty());
}

TEST(RepeatCtrl, HoverTakesTheCaptureAndLeavingLetsItGo) {
  RepeatFixture f;
  f.MoveTo(f.up);
  EXPECT_EQ(f.ctrl.state, 2);
  EXPECT_EQ(f.ctrl.active, 0);
  EXPECT_EQ(f.ctrl.items[0].state, 2);
  EXPECT_EQ(::GetCapture(), f.ctrl.GetSafeHwnd());
  f.MoveTo(f.down);
  EXPECT_EQ(f.ctrl.active, 1) << "from one arrow straight onto the other";
  EXPECT_EQ(f.ctrl.items[0].state, 0);
  EXPECT_EQ(f.ctrl.items[1].state, 2);
  f.MoveTo(f.field);
  EXPECT_EQ(f.ctrl.state, 0);
  EXPECT_EQ(f.ctrl.active, -1);
  EXPECT_EQ(::GetCapture(), HWND(0));
}

TEST(RepeatCtrl, ADisabledControlShowsAndTakesNoArrows) {
  RepeatFixture f;
  const COLORREF arrow = f.ctrl.arrow;
  EXPECT_EQ(Hex(Pixel(f.ctrl, 67, 7)), Hex(arrow)) << "inside the up arrow's triangle";
  f.ctrl.Enable(FALSE, TRUE);
  EXPECT_EQ(f.ctrl.record.enabled, 0);
  EXPECT_FALSE(f.ctrl.IsWindowEnabled());
  EXPECT_NE(Hex(Pixel(f.ctrl, 67, 7)), Hex(arrow));
  hl::Click(f.ctrl.GetSafeHwnd(), f.up);
  EXPECT_TRUE(f.log.values.empty());
  f.ctrl.Enable(TRUE, TRUE);
  EXPECT_EQ(Hex(Pixel(f.ctrl, 67, 7)), Hex(arrow));
}

TEST(RepeatCtrl, DefaultTextUsesTheRecordsDecimals) {
  NumericOptionRecord r;
  r.value = 12.5;
  EXPECT_EQ(FormatOptionValue(r), CString("12")) << "decimals 0 shows integers (rounded to even)";
  r.value = 13.0;
  EXPECT_EQ(FormatOptionValue(r), CString("13"));
  r.decimals = 2;
  r.value = -1.005;
  EXPECT_EQ(FormatOptionValue(r), CString("-1.00"));
  r.decimals = 3;
  r.value = 2.5;
  EXPECT_EQ(FormatOptionValue(r), CString("2.500"));
}

}  // namespace
