// The pane's small windows on the headless display with the virtual clock: the minimize handle
// (hover, fades, the expanded-handle rule, click and dock) and the saved-scope clear popup
// (faces, clears, notifications, tooltips).
#include <scope/SavedScopeFill.h>
#include <scope/pane/MinimizePanel.h>
#include <scope/pane/SavedScopePopup.h>

#include <core/GlobalProps.h>
#include <core/Notify.h>
#include <core/SavedScope.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Screenshots.h>

#include <platform/controls.h>
#include <platform/display.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

namespace hl = kvp::headless;


struct Tool : CWndOsc_MinimizePanel::IMinimizeToolClbck {
  int toggles = 0;
  int docks = 0;
  int expanded = 0;
  void Toggle() override { ++toggles; }
  int IsExpanded() override { return expanded; }
  void Dock() override { ++docks; }
};

struct Sink : ISystemNotify {
  std::vector<std::tuple<int, int, int>> seen;
  void OnSystemNotify(notify::Sender sender, notify::Code code, int value) override {
    seen.emplace_back(notify::ToInt(sender), notify::ToInt(code), value);
  }
};

class PanelTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    host.CreateTop(0, 0, 600, 400);
  }
  void TearDown() override {
    host.DestroyWindow();
    kvtest::CoreTest::TearDown();
  }
  kvp::HeadlessWorld world;
  kvtest::HostWindow host;
};

class MinimizePanelTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    panel.SetCallback(&tool);
    ASSERT_TRUE(panel.Create("WndMinimizePanel", WS_CHILD | WS_VISIBLE, CRect(500, 20, 520, 380), &host, 1029));
    hl::Pump();
  }
  void Enter() {
    hl::MoveMouseTo(panel.GetSafeHwnd(), POINT{10, 200});
    hl::Pump();
  }
  void Leave() {
    hl::MoveMouseTo(host.GetSafeHwnd(), POINT{100, 100});
    hl::Pump();
  }
  Tool tool;
  CWndOsc_MinimizePanel panel;
};

TEST_F(MinimizePanelTest, RestingOneSecondTogglesOnceAndTheHandleDarkensThenFadesBack) {
  Enter();
  EXPECT_TRUE(panel.Tracking());
  hl::Advance(999);
  EXPECT_EQ(tool.toggles, 0);
  hl::Advance(1);
  EXPECT_EQ(tool.toggles, 1);
  EXPECT_EQ(panel.m_crBack, panel.DarkColor()) << "14 steps of 5 reach base - 70 within the second";
  hl::Advance(5000);
  EXPECT_EQ(tool.toggles, 1) << "the hover timer stops itself";

  Leave();
  EXPECT_FALSE(panel.Tracking());
  hl::Advance(30);
  EXPECT_NE(panel.m_crBack, panel.DarkColor());
  EXPECT_NE(panel.m_crBack, panel.BaseColor());
  hl::Advance(30 * 14);
  EXPECT_EQ(panel.m_crBack, panel.BaseColor());
}

TEST_F(MinimizePanelTest, LeavingWithinTheSecondStillToggles) {
  Enter();
  hl::Advance(300);
  Leave();
  hl::Advance(700);
  EXPECT_EQ(tool.toggles, 1) << "only a click or its own expiry stops the hover timer";
}

TEST_F(MinimizePanelTest, RightAfterUndockingTheFirstEntryDoesNotSlide) {
  panel.SetExpandedHandle(TRUE);
  Enter();
  EXPECT_FALSE(panel.ExpandedHandle());
  hl::Advance(2000);
  EXPECT_EQ(tool.toggles, 0);
  Leave();
  Enter();
  hl::Advance(1000);
  EXPECT_EQ(tool.toggles, 1) << "a later hover slides";
}

TEST_F(MinimizePanelTest, AClickTogglesAtOnceAndCancelsTheHover) {
  Enter();
  hl::Click(panel.GetSafeHwnd(), POINT{10, 300});
  EXPECT_EQ(tool.toggles, 1);
  hl::Advance(2000);
  EXPECT_EQ(tool.toggles, 1);
}

TEST_F(MinimizePanelTest, TheDockButtonDocksAndSitsAtTheTop) {
  CRect r;
  panel.m_dockButton.GetWindowRect(&r);
  panel.ScreenToClient(&r);
  EXPECT_EQ(r, CRect(1, 360 / 156, 1 + 18, 360 / 156 + 18));
  hl::Click(panel.m_dockButton.GetSafeHwnd(), POINT{9, 9});
  EXPECT_EQ(tool.docks, 1);
  EXPECT_EQ(tool.toggles, 0);
}

TEST_F(MinimizePanelTest, TheTrianglePointsByThePanelsState) {
  // A black triangle, 10 px wide, centred on the 20 px handle at its vertical middle (y 180):
  // three rows above the apex row it covers only the half towards its base.
  auto inkAt = [&](int x) { return kvp::WindowPixel(panel.GetSafeHwnd(), x, 177) == RGB(0, 0, 0); };
  tool.expanded = 0;
  RedrawNow(&panel);
  EXPECT_FALSE(inkAt(6)) << "minimized: the apex points left";
  EXPECT_TRUE(inkAt(14));
  tool.expanded = 1;
  RedrawNow(&panel);
  EXPECT_TRUE(inkAt(6)) << "expanded: the apex points right";
  EXPECT_FALSE(inkAt(14));
  kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("scope-minimize-panel").c_str());
}

TEST_F(PanelTest, WithoutACallbackClickAndHoverDoNothing) {
  CWndOsc_MinimizePanel panel;
  ASSERT_TRUE(panel.Create("WndMinimizePanel", WS_CHILD | WS_VISIBLE, CRect(500, 20, 520, 380), &host, 1029));
  hl::Pump();
  hl::MoveMouseTo(panel.GetSafeHwnd(), POINT{10, 200});
  hl::Advance(1500);
  hl::Click(panel.GetSafeHwnd(), POINT{10, 300});
  hl::Click(panel.m_dockButton.GetSafeHwnd(), POINT{9, 9});
  SUCCEED() << "no callback, no crash";
}

// Saved scopes filled as a loaded signal file leaves them.
void Occupy(int slot, std::vector<int> kinds, const char* name) {
  CSavedScope& s = GetSavedScopes()[slot];
  s.m_bPair = slot;
  for (int kind : kinds) scope::AddSignal(s, kind - 2 * slot);
  s.m_bEmpty = 0;
  scope::SetTitle(s, name);
  for (int kind : kinds) GetGlobalProps().m_Styles[GlobalProps::STYLE_SAVED_C + kind].m_nFlags |= 1;
}

struct Owner : CDialogs::IOwner {
  std::vector<std::string> calls;
  void ReopenSavedScopeButton() override { calls.push_back("reopen"); }
  void ShowSavedScopeButtons() override { calls.push_back("show"); }
};

class PopupTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    SetSystemNotify(&sink);
    popup.SetOwner(&owner);
  }
  void Create() {
    ASSERT_TRUE(popup.Create("Dialogs", WS_CHILD | WS_VISIBLE, CRect(20, 300, 420, 340), &host, 1026));
    hl::Pump();
  }
  void Press(int id) {
    CXPCtrlBtn& b = popup.m_buttons[id - CDialogs::kButtonCD];
    CRect r;
    b.GetClientRect(&r);
    hl::Click(b.GetSafeHwnd(), r.CenterPoint());
  }
  bool Shown(int kind) { return (GetGlobalProps().m_Styles[GlobalProps::STYLE_SAVED_C + kind].m_nFlags & 1) != 0; }
  Sink sink;
  Owner owner;
  CDialogs popup;
};

TEST_F(PopupTest, FacesNameTheSavedScopesAndTheButtonsSitWhereTheLayoutPutsThem) {
  Occupy(0, {0, 1}, "first.osg");
  Occupy(1, {3}, "second.osg");
  kvp::StartTextLog();
  Create();
  kvp::StopTextLog();
  EXPECT_EQ(popup.FaceText(1000), "C + D");
  EXPECT_EQ(popup.FaceText(1001), "F");
  EXPECT_EQ(popup.FaceText(1002), "All");
  EXPECT_EQ(popup.FaceText(1003), "Back");
  std::vector<std::string> drawn;
  for (auto& b : popup.m_buttons)
    for (const auto& t : kvp::DrawnTexts(b.GetSafeHwnd())) drawn.push_back(t.text);
  EXPECT_EQ(drawn, (std::vector<std::string>{"C + D", "F", "All", "Back"}));

  // width 400: e = trunc(368 * 0.25) = 92; x = 0, 194 - 92, 400 - 194, 400 - 92.
  const int xs[4] = {0, 102, 206, 308};
  for (int i = 0; i < 4; ++i) {
    CRect r;
    popup.m_buttons[i].GetWindowRect(&r);
    popup.ScreenToClient(&r);
    EXPECT_EQ(r, CRect(xs[i], 0, xs[i] + 92, 40)) << i;
  }
  kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("scope-saved-popup").c_str());
}

TEST_F(PopupTest, AnEmptyScopeReadsErr) {
  Occupy(0, {1}, "d.osg");
  Create();
  EXPECT_EQ(popup.FaceText(1000), "D");
  EXPECT_EQ(popup.FaceText(1001), "Err");
}

TEST_F(PopupTest, EachButtonClearsItsScopesNotifiesAndCloses) {
  struct Case {
    int id;
    std::vector<bool> shownAfter;  // C, D, E, F
    bool firstEmpty, secondEmpty, notified;
  };
  const std::vector<Case> cases = {
      {1000, {false, false, true, true}, true, false, true},
      {1001, {true, true, false, false}, false, true, true},
      {1002, {false, false, false, false}, true, true, true},
      {1003, {true, true, true, true}, false, false, false},
  };
  Create();
  for (const auto& c : cases) {
    kvtest::ResetCoreGlobals();
    SetSystemNotify(&sink);
    sink.seen.clear();
    owner.calls.clear();
    Occupy(0, {0, 1}, "a");
    Occupy(1, {2, 3}, "b");
    popup.ShowWindow(SW_SHOW);
    Press(c.id);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(Shown(k), c.shownAfter[k]) << c.id << " signal " << k;
    EXPECT_EQ(GetSavedScopes()[0].m_bEmpty != 0, c.firstEmpty) << c.id;
    EXPECT_EQ(GetSavedScopes()[1].m_bEmpty != 0, c.secondEmpty) << c.id;
    if (c.notified) {
      EXPECT_EQ(sink.seen, (std::vector<std::tuple<int, int, int>>{{5, 54, 0}})) << c.id;
      EXPECT_EQ(owner.calls, (std::vector<std::string>{"reopen", "show"})) << c.id;
    } else {
      EXPECT_TRUE(sink.seen.empty()) << "Back notifies nobody";
      EXPECT_EQ(owner.calls, (std::vector<std::string>{"show"}));
    }
    EXPECT_FALSE(popup.IsWindowVisible()) << c.id;
  }
}

TEST_F(PopupTest, ClearingAnEmptySecondScopeStillClearsItsBitsNotifiesAndCloses) {
  Occupy(0, {0, 1}, "a");
  GetGlobalProps().m_Styles[GlobalProps::STYLE_SAVED_C + 2].m_nFlags |= 1;
  Create();
  Press(1001);
  EXPECT_FALSE(GetSavedScopes()[0].m_bEmpty);
  EXPECT_FALSE(Shown(2));
  EXPECT_EQ(sink.seen.size(), 1u);
  EXPECT_FALSE(popup.IsWindowVisible());
}

TEST_F(PopupTest, TooltipsNameTheScopesAndKeepAtMost79Bytes) {
  const std::string longName(200, 'x');
  Occupy(0, {0}, longName.c_str());
  Create();
  auto ask = [&](int id, UINT flags) {
    NMTTDISPINFOA info{};
    info.hdr.code = TTN_NEEDTEXTA;
    info.hdr.hwndFrom = 0;
    info.hdr.idFrom = popup.m_buttons[id - 1000].GetSafeHwnd();
    info.uFlags = flags;
    LRESULT result = 0;
    popup.OnNotify(0, reinterpret_cast<LPARAM>(&info), &result);
    return std::string(info.lpszText ? info.lpszText : "");
  };
  EXPECT_EQ(ask(1000, TTF_IDISHWND), std::string(79, 'x'));
  EXPECT_EQ(ask(1001, TTF_IDISHWND), "") << "no second saved scope";
  EXPECT_EQ(ask(1002, TTF_IDISHWND), "");
  EXPECT_EQ(ask(1000, 0), "") << "only requests by window handle";
}

}  // namespace
