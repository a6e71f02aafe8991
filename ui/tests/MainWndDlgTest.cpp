// The main window: the first-tab and shape rules as tables, the tab rules on a real window with
// stand-in panes (click, message, refusal, bad index, same tab, disabled tab, first tab), the quit
// question, the reduced variant and the layout of the strip and all eleven panes.
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/MainWndDlg.h>
#include <kvtest/StandInPane.h>

#include <core/Messages.h>
#include <core/Notify.h>
#include <core/ResourceHolder.h>

#include <platform/registry.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace uitest;

namespace {

TEST(MainWndRules, FirstTab) {
  struct Case {
    std::vector<std::string> args;
    BOOL reduced;
    BOOL ready;
    int tab;
  } cases[] = {
      {{}, FALSE, FALSE, 0},           {{}, FALSE, TRUE, 4},          {{"osc"}, FALSE, TRUE, 0},
      {{"OSC"}, FALSE, TRUE, 4},       {{"mt"}, FALSE, FALSE, 4},     {{"word"}, FALSE, FALSE, 0},
      {{"word"}, FALSE, TRUE, 4},      {{"osc", "mt"}, FALSE, FALSE, 0},
      // The reduced variant never starts on its disabled scope tab: tab 1 wherever 0 would be.
      {{}, TRUE, FALSE, 1},            {{}, TRUE, TRUE, 4},           {{"osc"}, TRUE, FALSE, 1},
      {{"osc"}, TRUE, TRUE, 1},        {{"OSC"}, TRUE, FALSE, 1},     {{"mt"}, TRUE, TRUE, 4},
      {{"mt"}, TRUE, FALSE, 4},        {{"word"}, TRUE, FALSE, 1},    {{"osc", "mt"}, TRUE, FALSE, 1},
      {{"osc", "mt"}, TRUE, TRUE, 4},
  };
  for (const Case& c : cases) {
    std::string name;
    for (auto& a : c.args) name += a + " ";
    SCOPED_TRACE(name + "reduced " + std::to_string(c.reduced) + " ready " + std::to_string(c.ready));
    EXPECT_EQ(ChooseFirstTab(c.args, c.reduced, c.ready), c.tab);
  }
}

TEST(MainWndRules, Shape) {
  struct Case {
    const char* name;
    POINT in;
    POINT out;
  } cases[] = {
      {"16:9 gets 4/3 of the height", {1920, 1080}, {1440, 1080}},
      {"5:4 unchanged", {1280, 1024}, {1280, 1024}},
      {"4:3 unchanged", {1024, 768}, {1024, 768}},
      {"portrait gets 3/4 of the width", {768, 1024}, {768, 576}},
      {"width 0 unchanged", {0, 600}, {0, 600}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    POINT p = c.in;
    ApplyShapeRule(p);
    EXPECT_EQ(p.x, c.out.x);
    EXPECT_EQ(p.y, c.out.y);
  }
}

// A stand-in that may refuse to give way and counts its calls.
class TestPane : public CStandInPane {
 public:
  BOOL refuse = FALSE;
  int deactivations = 0;
  int inits = 0;
  void Init() override { ++inits; }
  BOOL Deactivate() override {
    ++deactivations;
    if (refuse) return FALSE;
    return CStandInPane::Deactivate();
  }
};

PaneEntry TestEntry(int tab, const char* name, UINT id) {
  PaneEntry entry = StandInEntry(tab, name, id);
  entry.engineTester = tab == 4;
  entry.make = [] { return std::unique_ptr<CWnd>(new TestPane); };
  return entry;
}

PaneTable TestTable() {
  return {TestEntry(0, "Oscilloscope", 1000), TestEntry(1, "Voltmeter", 1010), TestEntry(2, "Amperemeter", 1011),
          TestEntry(3, "Ohmmeter", 1012),     TestEntry(4, "Motortester", 1015), TestEntry(8, "Info", 1014),
          TestEntry(9, "SysTab", 1017),       TestEntry(7, "Help", 1019),        TestEntry(5, "SpecialTests", 1020),
          TestEntry(6, "RecordAnalyzer", 1021), TestEntry(-1, "StartScreen", 1032)};
}

struct Sink : ISystemNotify, IAnalyzerNotify {
  std::vector<std::string>* calls;
  void OnSystemNotify(notify::Sender s, notify::Code c, int v) override {
    calls->push_back("system " + std::to_string(notify::ToInt(s)) + "," + std::to_string(notify::ToInt(c)) + "," +
                     std::to_string(v));
  }
  void OnAnalyzerNotify(int s, int c, int v) override {
    calls->push_back("analyzer " + std::to_string(s) + "," + std::to_string(c) + "," + std::to_string(v));
  }
};

struct MainFixture {
  kvp::HeadlessWorld world{1280, 1024};
  GlobalProps settings;
  MainWndEnvironment env;
  std::unique_ptr<CMainWndDlg> dlg;
  HWND registeredMain = 0, registeredTester = 0;

  explicit MainFixture(BOOL reduced = FALSE, BOOL ready = FALSE, std::vector<std::string> args = {}) {
    RegisterMainWindowClass();
    settings.m_nCurrentTab = -7;
    settings.m_nPreviousTab = -7;
    env.args = std::move(args);
    env.devicePresent = [] { return TRUE; };
    env.reduced = [reduced] { return reduced; };
    env.engineTesterReady = [ready] { return ready; };
    env.registerWindows = [this](HWND m, HWND t) {
      registeredMain = m;
      registeredTester = t;
    };
    dlg = std::make_unique<CMainWndDlg>(TestTable(), env, settings);
    EXPECT_TRUE(dlg->Create(IDD_MAINWND, nullptr));
    hl::Pump();
  }
  ~MainFixture() {
    if (dlg && dlg->GetSafeHwnd()) dlg->DestroyWindow();
  }
  TestPane& Pane(int tab) { return *static_cast<TestPane*>(dlg->Pane(tab)); }
  void Record(int current, int previous) {
    settings.m_nCurrentTab = current;
    settings.m_nPreviousTab = previous;
  }
  // Clicks the middle of a tab of the strip.
  void ClickTab(int tab) {
    RECT r = dlg->Strip().GetItem(tab)->rect;
    hl::Click(dlg->GetSafeHwnd(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }
};

TEST(MainWnd, FirstTabIsRecordedAndPanesInitialised) {
  MainFixture f(FALSE, TRUE);
  EXPECT_EQ(f.dlg->SelectedTab(), 4);
  EXPECT_EQ(f.settings.m_nCurrentTab, 4);
  EXPECT_EQ(f.settings.m_nPreviousTab, 4);
  EXPECT_EQ(f.Pane(4).m_nActivations, 1);
  EXPECT_EQ(f.Pane(4).m_nLastPrevious, -1);
  for (int tab = 0; tab < kTabCount; ++tab) EXPECT_EQ(f.Pane(tab).inits, 1) << tab;
  EXPECT_TRUE(f.dlg->IsZoomed());
  EXPECT_EQ(f.registeredMain, f.dlg->GetSafeHwnd());
  EXPECT_EQ(f.registeredTester, f.Pane(4).GetSafeHwnd());
  EXPECT_FALSE(f.dlg->StartScreen()->IsWindowVisible());
  std::filesystem::create_directories(KV_SCREENSHOT_DIR);
  kvp::SaveWindowPng(f.dlg->GetSafeHwnd(), ScreenshotPath("mainwnd_tab4.png").c_str());
}

TEST(MainWnd, TabRules) {
  enum Action { kClick, kMessage };
  struct Case {
    const char* name;
    Action action;
    int tab;
    int refuseOld;  // the shown pane refuses to give way
    bool reduced;
    int selected;   // afterwards
    int current, previous;
    int deactivations;  // of the pane shown before
  } cases[] = {
      {"click changes and records", kClick, 3, 0, false, 3, 3, 0, 1},
      {"message changes and records", kMessage, 7, 0, false, 7, 7, 0, 1},
      {"refused message records nothing", kMessage, 3, 1, false, 0, -7, -7, 1},
      {"refused click records nothing", kClick, 3, 1, false, 0, -7, -7, 1},
      {"bad index ignored", kMessage, 10, 0, false, 0, -7, -7, 0},
      {"negative index ignored", kMessage, -1, 0, false, 0, -7, -7, 0},
      {"same tab ignored", kMessage, 0, 0, false, 0, -7, -7, 0},
      {"disabled tab ignored by message", kMessage, 5, 0, true, 1, -7, -7, 0},
      {"disabled tab ignored by click", kClick, 6, 0, true, 1, -7, -7, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MainFixture f(c.reduced, FALSE, c.reduced ? std::vector<std::string>{"osc"} : std::vector<std::string>{});
    int shown = f.dlg->SelectedTab();
    f.Record(-7, -7);
    f.Pane(shown).refuse = c.refuseOld;
    if (c.action == kClick) {
      f.ClickTab(c.tab);
    } else {
      EXPECT_EQ(f.dlg->SendMessage(WM_SELECTTAB, static_cast<WPARAM>(c.tab)), 1);
    }
    EXPECT_EQ(f.dlg->SelectedTab(), c.selected);
    EXPECT_EQ(f.settings.m_nCurrentTab, c.current);
    EXPECT_EQ(f.settings.m_nPreviousTab, c.previous == 0 ? shown : c.previous);
    EXPECT_EQ(f.Pane(shown).deactivations, c.deactivations);
    if (c.selected != shown) {
      EXPECT_EQ(f.Pane(c.selected).m_nLastPrevious, shown);
      EXPECT_TRUE(f.Pane(c.selected).IsWindowVisible());
      EXPECT_FALSE(f.Pane(shown).IsWindowVisible());
    }
  }
}

// Whatever the command line, the reduced variant opens on the voltmeter, never on its disabled
// scope tab.
TEST(MainWnd, ReducedVariant) {
  const std::vector<std::vector<std::string>> commandLines = {{"osc"}, {}, {"word"}, {"osc", "mt"}};
  for (const auto& args : commandLines) {
    SCOPED_TRACE(args.empty() ? std::string("no argument") : args[0] + " (" + std::to_string(args.size()) + ")");
    MainFixture f(TRUE, FALSE, args);
    char title[64] = {};
    ::GetWindowText(f.dlg->GetSafeHwnd(), title, sizeof title);
    EXPECT_STREQ(title, "Corvane");
    for (int tab = 0; tab < kTabCount; ++tab) {
      bool disabled = tab == 0 || tab == 5 || tab == 6;
      EXPECT_EQ(f.dlg->Strip().GetItem(tab)->enabled, disabled ? FALSE : TRUE) << tab;
    }
    EXPECT_EQ(f.dlg->SelectedTab(), 1);
    EXPECT_EQ(f.Pane(0).m_nActivations, 0);
    EXPECT_TRUE(f.Pane(1).IsWindowVisible());
  }
}

// Maximised on a 5:4 screen the window covers the screen from its corner: the tab strip is whole
// and no band of the screen is left bare beside the window.
TEST(MainWnd, MaximisedAtTheScreenCorner) {
  MainFixture f;
  ASSERT_TRUE(f.dlg->IsZoomed());
  CRect window;
  f.dlg->GetWindowRect(&window);
  EXPECT_EQ(window, CRect(0, 0, 1280, 1024)) << window.left << "," << window.top << " " << window.right << "," << window.bottom;
  CRect strip(f.dlg->Strip().rect);
  f.dlg->ClientToScreen(&strip);
  EXPECT_EQ(strip.TopLeft(), CPoint(0, 0));
}

TEST(MainWnd, LayoutAreas) {
  MainFixture f;
  CRect client;
  f.dlg->GetClientRect(&client);
  RECT strip = client, panes = client;
  LayoutScreenArea(ScreenArea::TabStrip, strip);
  LayoutScreenArea(ScreenArea::PaneArea, panes);
  EXPECT_EQ(CRect(f.dlg->Strip().rect), CRect(strip));
  ASSERT_EQ(f.dlg->Panes().size(), 11u);
  for (auto& pane : f.dlg->Panes()) {
    CRect r;
    pane->GetWindowRect(&r);
    f.dlg->ScreenToClient(&r);
    EXPECT_EQ(r, CRect(panes));
  }
  EXPECT_EQ(f.dlg->Strip().GetItem(3)->width, kTabWidth);
}

TEST(MainWnd, QuitQuestion) {
  struct Case {
    int answer;
    std::vector<std::string> calls;
    bool ended;
  } cases[] = {
      {IDNO, {}, false},
      {IDYES, {"analyzer -1,1,0", "system -1,1,0"}, true},
  };
  for (const Case& c : cases) {
    MainFixture f;
    std::vector<std::string> calls;
    Sink sink;
    sink.calls = &calls;
    SetSystemNotify(&sink);
    SetAnalyzerNotify(&sink);
    kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& box) {
      EXPECT_EQ(box.caption, "Dravix Scope");
      EXPECT_EQ(box.type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
      return c.answer;
    });
    f.dlg->SendMessage(WM_CLOSE);
    hl::Pump();
    kvp::SetMessageBoxResponder(nullptr);
    UnregisterSystemNotify(&sink);
    UnregisterAnalyzerNotify(&sink);
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(f.dlg->IsWindowVisible() == FALSE, c.ended);
  }
}

}  // namespace

namespace {

void SetNameChangeApp(const char* value) {
  HKEY key = 0;
  ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310\\Parameter", &key), ERROR_SUCCESS);
  if (value) {
    RegSetValueEx(key, "NameChangeApp", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                  static_cast<DWORD>(std::strlen(value) + 1));
  } else {
    RegDeleteValue(key, "NameChangeApp");
  }
  RegCloseKey(key);
}

HWND TopWindow(const char* cls, const char* title) {
  WNDCLASS known{};
  if (!GetClassInfo(0, cls, &known)) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = cls;
    AfxRegisterClass(&wc);
  }
  return CreateWindowEx(0, cls, title, WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, 0, 0, 0, nullptr);
}

TEST(MainWnd, SwitchTarget) {
  kvp::HeadlessWorld world;
  HWND byClass = TopWindow("TargetClass", "some title");
  HWND byTitle = TopWindow("OtherClass", "Workshop Browser");
  HWND browserOther = TopWindow("MozillaWindowClass", "News - Browser");
  HWND browserOurs = TopWindow("MozillaWindowClass", "Dravix Scope manual - Browser");
  struct Case {
    const char* name;
    const char* value;
    HWND expected;
  } cases[] = {
      {"token then class name", "%class_name%TargetClass", byClass},
      {"token after the class name", "TargetClass%class_name%", byClass},
      {"a title", "Workshop Browser", byTitle},
      {"nothing by the value: browser walk", "No Such Window", browserOurs},
      {"no value: browser walk", nullptr, browserOurs},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetNameChangeApp(c.value);
    EXPECT_EQ(CMainWndDlg::FindSwitchTarget(), c.expected);
  }
  DestroyWindow(browserOurs);
  SetNameChangeApp(nullptr);
  EXPECT_EQ(CMainWndDlg::FindSwitchTarget(), HWND{0});
  (void)browserOther;
}

TEST(MainWnd, AltSpaceOpensTheAboutRoute) {
  kvp::HeadlessWorld world{1280, 1024};
  RegisterMainWindowClass();
  GlobalProps settings;
  MainWndEnvironment env;
  int abouts = 0;
  env.about = [&](CWnd*) { ++abouts; };
  CMainWndDlg dlg(PaneTable{StandInEntry(0, "Oscilloscope", 1000)}, env, settings);
  ASSERT_TRUE(dlg.Create(IDD_MAINWND, nullptr));
  hl::Pump();
  hl::ActivateWindow(dlg.GetSafeHwnd());
  hl::PressKey(VK_SPACE, MOD_ALT);
  hl::Pump();
  EXPECT_EQ(abouts, 1);
  dlg.SendMessage(WM_SYSCOMMAND, 17);
  EXPECT_EQ(abouts, 2);
  dlg.DestroyWindow();
}

TEST(MainWnd, SystemMenuItemOpensTheAboutBox) {
  kvp::HeadlessWorld world{1280, 1024};
  RegisterMainWindowClass();
  GlobalProps settings;
  CMainWndDlg dlg(PaneTable{StandInEntry(0, "Oscilloscope", 1000)}, MainWndEnvironment{}, settings);
  ASSERT_TRUE(dlg.Create(IDD_MAINWND, nullptr));
  hl::Pump();
  HWND about = 0;
  HWND owner = 0;
  char caption[64] = {};
  hl::RunInLoop([&] {
    about = ::GetActiveWindow();
    owner = ::GetWindow(about, GW_OWNER);
    ::GetWindowText(about, caption, sizeof caption);
    hl::PressKey(VK_RETURN);
  });
  dlg.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX);
  EXPECT_STREQ(caption, "About Dravix\xAE Scope ...");
  EXPECT_EQ(owner, dlg.GetSafeHwnd());
  EXPECT_TRUE(dlg.IsWindowVisible());
  dlg.DestroyWindow();
}

TEST(MainWnd, ActivationHandsTheHotKeysOnAndOff) {
  kvp::HeadlessWorld world{1280, 1024};
  RegisterMainWindowClass();
  GlobalProps settings;
  std::vector<BOOL> calls;
  PaneEntry scope = StandInEntry(0, "Oscilloscope", 1000);
  scope.hotKeys = [&](CWnd&, BOOL active) { calls.push_back(active); };
  CMainWndDlg dlg(PaneTable{scope}, MainWndEnvironment{}, settings);
  ASSERT_TRUE(dlg.Create(IDD_MAINWND, nullptr));
  hl::Pump();
  calls.clear();
  dlg.SendMessage(WM_ACTIVATEAPP, FALSE);
  dlg.SendMessage(WM_ACTIVATEAPP, TRUE);
  EXPECT_EQ(calls, (std::vector<BOOL>{FALSE, TRUE}));
  dlg.DestroyWindow();
}

}  // namespace
