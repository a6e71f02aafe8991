// The time ruler on the headless display: the window thumb's scroll with its clamp, its refusals
// and the snap-back beyond the extended rectangle; the cursor thumbs' drags (left never past
// right, right never before left, one notification per 1000-step cell, the trigger position
// stopping at 90 %); and the notifications it answers.
#include "RulersTest.h"

#include <scope/rulers/TimeRuler.h>

#include <core/Scale.h>

#include <cmath>
#include <string>

using namespace rulerstest;

namespace {

constexpr int kWidth = 404;  // even: the drawing rectangle is 2 .. 402, 400 pixels
constexpr int kHeight = 30;

class Scroller : public COscTimeRuler::IScrollClbck {
 public:
  void OnTimeScroll(TimeRulerParams* params, COscTimeRuler*) override { positions.push_back(params->m_nPosition); }
  std::vector<int> positions;
};

class TimeRulerTest : public RulersTest {
 protected:
  void SetUp() override {
    RulersTest::SetUp();
    ASSERT_TRUE(host.CreateTop(600, 200));
    SetUpTimeBase();
    SetUpRecords(RECT{2, 40, 402, 340});
  }
  // The ruler with a 20-division record, `shown` divisions shown from `position`.
  void Create(int shown = 10, int position = 0) {
    ASSERT_TRUE(ruler.Create("TimeLine", WS_CHILD | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), &host, 1002));
    TimeRulerParams p;
    p.m_nShown = shown;
    p.m_nShownLess1 = shown - 1;
    p.m_nPosition = position;
    p.m_nMinimum = 0;
    p.m_nMaximum = 20;
    ruler.SetParams(p);
    ruler.m_Params.m_dValueFirst = p.m_nMinimum;
    ruler.m_Params.m_dValueLast = p.m_nMaximum;
    ruler.m_pClbck = &scroller;
    ruler.Redraw(TRUE);
    ruler.Layout();
    hub.targets.push_back(&ruler);
    ruler.OnSystemNotify(notify::kFromAnyone, notify::kScopeInit, 0);
    hl::Pump();
  }
  // The centre of a cursor thumb, where the user grabs it.
  POINT ThumbCentre(int index) {
    const RECT& r = ruler.m_Cursors.GetItem(index)->rect;
    return POINT{r.left + 5, r.top + 5};
  }

  COscTimeRuler ruler;
  Scroller scroller;
};

TEST_F(TimeRulerTest, TheWindowThumbShowsTheShownPartOfTheRecord) {
  Create(10, 5);
  EXPECT_EQ(ruler.m_rcDraw.left, 2);
  EXPECT_EQ(ruler.m_rcDraw.right, 402);
  EXPECT_EQ(ruler.m_Params.m_dValuePerPixel, 20.0 / 400);
  const RECT& t = ruler.m_Thumb.rect;
  EXPECT_EQ(t.left, 102);
  EXPECT_EQ(t.right, 302);
  EXPECT_EQ(kvp::WindowPixel(ruler.GetSafeHwnd(), 200, 3), GetSchemeColor(22));
  EXPECT_EQ(kvp::WindowPixel(ruler.GetSafeHwnd(), 50, 3), GetSchemeColor(21));

  // An odd width gives up one pixel less on the right.
  ruler.MoveWindow(0, 0, kWidth + 1, kHeight);
  ruler.Redraw(TRUE);
  EXPECT_EQ(ruler.m_rcDraw.right, 404);
}

TEST_F(TimeRulerTest, DraggingTheWindowThumbScrollsWithinTheRecord) {
  struct Case {
    const char* name;
    int shown;
    int position;
    std::vector<POINT> moves;
    int expected;
    std::vector<int> calls;
    bool snapBack = true;
  };
  const Case cases[] = {
      {"two and a half divisions right", 10, 0, {{50, 0}}, 2, {2}},
      {"far right stops where the record ends", 10, 0, {{300, 0}}, 10, {10}},
      {"left of the start stays at 0", 10, 3, {{-120, 0}}, 0, {0}},
      {"more than 50 px left of the strip snaps back", 10, 3, {{-40, 0}, {-300, 0}}, 3, {1, 3}},
      {"more than 50 px below the strip snaps back", 10, 0, {{50, 0}, {50, 66}}, 0, {2, 0}},
      {"less than 50 px below still scrolls", 10, 0, {{50, 0}, {70, 64}}, 3, {2, 3}},
      {"without the snap-back option it stays", 10, 0, {{50, 0}, {50, 66}}, 2, {2}, false},
      {"20 of 20 divisions cannot move", 20, 0, {{50, 0}, {-50, 0}, {300, 0}}, 0, {}},
      {"no call for the same position", 10, 0, {{50, 0}, {51, 0}}, 2, {2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (ruler.GetSafeHwnd()) ruler.DestroyWindow();
    ruler.m_rcClient = RECT{0, 0, 0, 0};
    hub.targets.clear();
    scroller.positions.clear();
    Create(c.shown, c.position);
    SetOption(ruler, COscTimeRuler::kSnapBack, c.snapBack);
    const RECT t = ruler.m_Thumb.rect;
    Drag(ruler, POINT{(t.left + t.right) / 2, kHeight / 2}, c.moves);
    EXPECT_EQ(ruler.m_Params.m_nPosition, c.expected);
    EXPECT_EQ(scroller.positions, c.calls);
    EXPECT_EQ(::GetCapture(), HWND(0));
  }
}

TEST_F(TimeRulerTest, TimeCursorsKeepTheirOrderAndSnapToTheCursorSteps) {
  struct Case {
    const char* name;
    double cursorSteps;
    int thumb;
    std::vector<int> moves;
    double left;
    double right;
    std::vector<Notification> log;
  };
  const Case cases[] = {
      {"left past right stops at right", 1000.0, 0, {200}, 0.008, 0.008, {{-1, 30, 0}}},
      {"right before left is refused", 1000.0, 1, {-200}, 0.004, 0.008, {}},
      {"right one millisecond on", 1000.0, 1, {20}, 0.004, 0.009, {{-1, 31, 1}}},
      {"one cell, one notification", 100.0, 0, {1, 5, 6}, 0.0042, 0.008, {{-1, 30, 0}}},
      {"left one millisecond back", 1000.0, 0, {-20}, 0.003, 0.008, {{-1, 30, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUpTimeBase(0, c.cursorSteps);
    SetUpRecords(RECT{2, 40, 402, 340});
    if (ruler.GetSafeHwnd()) ruler.DestroyWindow();
    ruler.m_rcClient = RECT{0, 0, 0, 0};
    hub.targets.clear();
    Create();
    hub.log.clear();
    std::vector<POINT> moves;
    for (int dx : c.moves) moves.push_back(POINT{dx, 0});
    Drag(ruler, ThumbCentre(c.thumb), moves);
    const GlobalProps& props = GetGlobalProps();
    // Within one pixel and one step: the thumb's own pixel is truncated.
    EXPECT_NEAR(props.m_Styles[GlobalProps::STYLE_CURSOR_LEFT].m_dValue, c.left, 6e-5);
    EXPECT_NEAR(props.m_Styles[GlobalProps::STYLE_CURSOR_RIGHT].m_dValue, c.right, 6e-5);
    EXPECT_LE(props.m_Styles[GlobalProps::STYLE_CURSOR_LEFT].m_dValue, props.m_Styles[GlobalProps::STYLE_CURSOR_RIGHT].m_dValue);
    EXPECT_EQ(hub.log, c.log);
    // The hub's forwarding laid the thumb out at its record again.
    const CScale& axis = GetOscScale().m_TimeAxis;
    const double value = props.m_Styles[c.thumb].m_dValue;
    const int x = 2 + static_cast<int>(value / (axis.m_dEnd / 400));
    EXPECT_NEAR(ThumbCentre(c.thumb).x, x, 1);
  }
}

TEST_F(TimeRulerTest, TheTriggerPositionStopsAt90Percent) {
  Create();
  const POINT at = ThumbCentre(2);
  // To the end: 90 %; further right while at 90: refused; then back to the middle: 50 %.
  Drag(ruler, at, {{400, 0}, {390, 0}, {202 - at.x, 0}});
  EXPECT_EQ(GetGlobalProps().m_dTriggerPosition, 50.0);
  EXPECT_EQ(hub.log, (std::vector<Notification>{{-1, 2, 2}, {-1, 2, 2}}));
  hub.log.clear();
  Drag(ruler, ThumbCentre(2), {{400, 0}});
  EXPECT_EQ(GetGlobalProps().m_dTriggerPosition, 90.0);
  Drag(ruler, ThumbCentre(2), {{20, 0}});
  EXPECT_EQ(GetGlobalProps().m_dTriggerPosition, 90.0);
  EXPECT_EQ(hub.log, (std::vector<Notification>{{-1, 2, 2}}));
}

TEST_F(TimeRulerTest, NotificationsPlaceTheThumbsAgain) {
  Create();
  struct Case {
    int sender;
    int code;
    int offset;
    int expectedPosition;
  };
  const Case cases[] = {
      {2, 8, 5, 5},   // takes the scale's offset
      {3, 8, 7, 5},   // its own sender: ignored
      {5, 9, 7, 5},   // not its code
      {6, 8, 7, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.sender) + " " + std::to_string(c.code));
    GetOscScale().m_nHorizontalOffset = c.offset;
    ruler.OnSystemNotify(notify::Sender{c.sender}, notify::Code{c.code}, 0);
    EXPECT_EQ(ruler.m_Params.m_nPosition, c.expectedPosition);
    EXPECT_EQ(ruler.m_Thumb.rect.left, 2 + 20 * c.expectedPosition);
  }

  // Creating the thumbs again replaces them.
  ruler.OnSystemNotify(notify::kFromControlPanel, notify::kScopeInit, 0);
  EXPECT_EQ(ruler.m_Cursors.GetCount(), 3);

  // A hidden time cursor loses its thumb on the next layout code.
  GetGlobalProps().m_Styles[GlobalProps::STYLE_CURSOR_RIGHT].m_nFlags = 0;
  ruler.OnSystemNotify(notify::kFromControlPanel, notify::kCursorRightMoved, 1);
  EXPECT_FALSE(ruler.m_Cursors.GetItem(1)->IsVisible());
  EXPECT_TRUE(ruler.m_Cursors.GetItem(0)->IsVisible());
}

// A collapsed scroll map or time axis and values far outside (or not a number) place the thumbs
// somewhere harmless: no overflow, no division by zero, nothing moves.
TEST_F(TimeRulerTest, DegenerateMapsAndExtremeValuesStayHarmless) {
  Create();
  struct Case {
    const char* name;
    double valueLast;  // of the scroll map; 0 collapses it
    double axisEnd;    // of the time axis; 0 collapses it
    double cursor;
    bool leftShown;
  };
  const double nan = std::nan("");
  const Case cases[] = {
      {"collapsed scroll map", 0.0, 0.02, 0.004, true},
      {"collapsed time axis", 20.0, 0.0, 0.004, true},
      {"cursor far right", 20.0, 0.02, 1e300, true},
      {"cursor far left", 20.0, 0.02, -1e300, true},
      {"cursor not a number", 20.0, 0.02, nan, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ruler.m_Params.m_dValueLast = c.valueLast;
    GetOscScale().m_TimeAxis.m_dEnd = c.axisEnd;
    GetGlobalProps().m_Styles[GlobalProps::STYLE_CURSOR_LEFT].m_dValue = c.cursor;
    ruler.Layout();
    ruler.OnSystemNotify(notify::kFromControlPanel, notify::kCursorLeftMoved, 0);
    const RECT& t = ruler.m_Cursors.GetItem(0)->rect;
    EXPECT_LE(t.left, t.right);
    EXPECT_EQ(ruler.m_Cursors.GetItem(0)->IsVisible(), c.leftShown);
    EXPECT_LE(ruler.m_Thumb.rect.left, ruler.m_Thumb.rect.right);
    // A drag over the collapsed or extreme map moves nothing it cannot.
    hub.log.clear();
    Drag(ruler, POINT{(ruler.m_Thumb.rect.left + 2), kHeight / 2}, {{30, 0}});
    EXPECT_GE(ruler.m_Params.m_nPosition, 0);
    EXPECT_LE(ruler.m_Params.m_nPosition + ruler.m_Params.m_nShown, 20);
  }
}

}  // namespace
