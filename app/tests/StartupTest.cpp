// InitInstance's steps on the headless display: the sibling wait, the second instance (first
// window raised or the refusal box), a cancelled or fatal splash that never makes a main window.
#include <gtest/gtest.h>

#include "KELOApp.h"
#include "PaneTable.h"
#include "SplashScreen.h"

#include <ui/MainWndDlg.h>

#include <scope/pane/WndOscPane.h>

#include <platform/display.h>
#include <platform/sync.h>

#include <core/Messages.h>
#include <core/ResourceHolder.h>

#include <platform/resources.h>

#include <kvtest/Screenshots.h>

#include <algorithm>
#include <filesystem>

#include <string>

namespace {

const char* PlainClass() {
  WNDCLASS known{};
  if (!GetClassInfo(0, "StartupTestWindow", &known)) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "StartupTestWindow";
    AfxRegisterClass(&wc);
  }
  return "StartupTestWindow";
}

HWND MakeWindow(const char* cls, const char* title, DWORD style = WS_POPUP | WS_VISIBLE) {
  if (std::string(cls) != kMainWindowClass) {
    WNDCLASS known{};
    if (!GetClassInfo(0, cls, &known)) {
      WNDCLASS wc{};
      wc.lpfnWndProc = DefWindowProc;
      wc.lpszClassName = cls;
      AfxRegisterClass(&wc);
    }
  } else {
    RegisterMainWindowClass();
  }
  return CreateWindowEx(0, cls, title, style, 0, 0, 100, 100, 0, 0, 0, nullptr);
}

struct StartupFixture {
  kvp::HeadlessWorld world;
  CKELOApp app;
  int sleeps = 0;
  int splashRuns = 0;
  int mainRuns = 0;
  StartupFixture() {
    PlainClass();
    app.args = {"x", "y"};
    app.sleep = [this](DWORD) { ++sleeps; };
    app.runSplash = [this] {
      ++splashRuns;
      return INT_PTR{IDCANCEL};
    };
    app.runMain = [this](CMainWndDlg&) {
      ++mainRuns;
      return INT_PTR{IDCANCEL};
    };
  }
};

TEST(Startup, NoSiblingNoSleepCancelledSplashNoMainWindow) {
  StartupFixture f;
  EXPECT_FALSE(f.app.InitInstance());
  EXPECT_EQ(f.sleeps, 0);
  EXPECT_EQ(f.splashRuns, 1);
  EXPECT_EQ(f.mainRuns, 0);
  EXPECT_FALSE(f.app.mainWindowRun);
  EXPECT_TRUE(kvp::MessageBoxLog().empty());
}

TEST(Startup, SiblingThatQuitsAndOneThatIgnoresTheRequest) {
  struct Case {
    const char* name;
    bool quits;
    int polls;
  } cases[] = {{"quits after the first pause", true, 0}, {"ignores WM_QUIT: bounded wait", false, 40}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartupFixture f;
    HWND sibling = MakeWindow("TFormGasAnalysis", "Gas Analyser KV660");
    ASSERT_TRUE(sibling);
    f.app.sleep = [&](DWORD) {
      ++f.sleeps;
      if (c.quits && IsWindow(sibling)) DestroyWindow(sibling);
    };
    f.app.InitInstance();
    EXPECT_EQ(f.app.siblingPolls, c.polls);
    EXPECT_EQ(f.sleeps, c.polls + 1);
    // The WM_QUIT meant for the sibling went to the window's thread (ours here); drop it.
    MSG msg;
    while (PeekMessage(&msg, 0, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    if (IsWindow(sibling)) DestroyWindow(sibling);
  }
}

TEST(Startup, SecondInstanceRaisesTheMinimisedFirstWindow) {
  StartupFixture f;
  HANDLE held = CreateMutex(nullptr, TRUE, "DravixScope");
  HWND first = MakeWindow(kMainWindowClass, "Dravix Scope");
  ASSERT_TRUE(first);
  ShowWindow(first, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(first));
  EXPECT_FALSE(f.app.InitInstance());
  EXPECT_TRUE(f.app.refused);
  EXPECT_FALSE(IsIconic(first));
  EXPECT_TRUE(IsWindowVisible(first));
  EXPECT_EQ(GetForegroundWindow(), first);
  EXPECT_EQ(f.splashRuns, 0);
  EXPECT_TRUE(kvp::MessageBoxLog().empty());
  CloseHandle(held);
}

TEST(Startup, MutexHeldWithoutWindowShowsTheRefusalBox) {
  StartupFixture f;
  HANDLE held = CreateMutex(nullptr, TRUE, "DravixScope");
  EXPECT_FALSE(f.app.InitInstance());
  EXPECT_EQ(f.splashRuns, 0);
  auto log = kvp::MessageBoxLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].text, "Dravix Scope cannot be run.\nHardware is in use by another application.\n(Gas Analyzer)");
  EXPECT_EQ(log[0].caption, "KV310 Error");
  EXPECT_EQ(log[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(log[0].owner, HWND{0});
  CloseHandle(held);
}

TEST(Startup, FatalSplashGivesNoMainWindow) {
  StartupFixture f;
  f.app.runSplash = [] { return INT_PTR{kSplashFatal}; };
  EXPECT_FALSE(f.app.InitInstance());
  EXPECT_EQ(f.mainRuns, 0);
}

TEST(Startup, MainWindowRunsAfterTheSplashAndTheMutexIsFreeAfterwards) {
  StartupFixture f;
  f.app.runSplash = [] { return INT_PTR{IDOK}; };
  EXPECT_FALSE(f.app.InitInstance());
  EXPECT_EQ(f.mainRuns, 1);
  HANDLE again = CreateMutex(nullptr, TRUE, "DravixScope");
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(again);
}

}  // namespace

namespace {

// The program's own main window with its pane table and pictures: one screenshot per tab.
TEST(ProgramMainWindow, EveryTabShown) {
  kvp::HeadlessWorld world(1024, 768);
  RegisterMainWindowClass();
  GlobalProps settings;
  MainWndEnvironment env;
  CMainWndDlg main(MakePaneTable(), env, settings);
  ASSERT_TRUE(main.Create(IDD_MAINWND, nullptr));
  kvp::headless::Pump();
  // Tab 0 is the scope pane with its chart and its control panel.
  CWnd* scope = main.GetDlgItem(1000);
  ASSERT_NE(scope, nullptr);
  EXPECT_NE(dynamic_cast<scope::CWndOscPane*>(CWnd::FromHandle(scope->GetSafeHwnd())), nullptr);
  EXPECT_NE(::GetDlgItem(scope->GetSafeHwnd(), 1001), 0u);
  EXPECT_NE(::GetDlgItem(scope->GetSafeHwnd(), 1008), 0u);
  std::filesystem::create_directories(KV_SCREENSHOT_DIR);
  for (int tab = 0; tab < kTabCount; ++tab) {
    main.SendMessage(WM_SELECTTAB, static_cast<WPARAM>(tab));
    kvp::headless::Pump();
    EXPECT_EQ(main.SelectedTab(), tab);
    std::string path = std::string(KV_SCREENSHOT_DIR) + "/mainwnd_program_tab" + std::to_string(tab) + ".png";
    EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), path.c_str()));
  }
  // Alt+Space's first appended system-menu item is the about command.
  char title[64] = {};
  ::GetWindowText(main.GetSafeHwnd(), title, sizeof title);
  EXPECT_STRNE(title, "");
  main.DestroyWindow();
}

// The darkest pixel of a tab's icon (24 x 24, centred in the tab), as a brightness 0..255.
int DarkestIconPixel(CMainWndDlg& main, int tab) {
  const RECT r = main.Strip().GetItem(tab)->rect;
  const int x0 = r.left + (r.right - r.left - 24) / 2;
  const int y0 = r.top + (r.bottom - r.top - 24) / 2 + 1;
  int darkest = 255;
  for (int y = y0; y < y0 + 24; ++y) {
    for (int x = x0; x < x0 + 24; ++x) {
      const COLORREF c = kvp::WindowPixel(main.GetSafeHwnd(), x, y);
      darkest = std::min(darkest, (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3);
    }
  }
  return darkest;
}

// On the reduced variant the three tabs it cannot reach (0, 5, 6) show their icons greyed, so they
// are told apart from the others; on the full board the same icons are drawn in their own dark.
TEST(ProgramMainWindow, ReducedVariantGreysItsDisabledTabs) {
  for (BOOL reduced : {FALSE, TRUE}) {
    SCOPED_TRACE(reduced ? "reduced" : "full");
    kvp::HeadlessWorld world(1024, 768);
    RegisterMainWindowClass();
    GlobalProps settings;
    MainWndEnvironment env;
    env.devicePresent = [] { return TRUE; };
    env.reduced = [reduced] { return reduced; };
    CMainWndDlg main(MakePaneTable(), env, settings);
    ASSERT_TRUE(main.Create(IDD_MAINWND, nullptr));
    kvp::headless::Pump();
    for (int tab : {0, 5, 6}) {
      if (reduced) {
        EXPECT_GT(DarkestIconPixel(main, tab), 150) << tab;
      } else {
        EXPECT_LT(DarkestIconPixel(main, tab), 100) << tab;
      }
    }
    for (int tab : {2, 3, 7, 8}) EXPECT_LT(DarkestIconPixel(main, tab), 100) << tab;
    if (reduced) {
      EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), kvtest::ScreenshotPath("mainwnd_reduced_variant").c_str()));
    }
    main.DestroyWindow();
  }
}

}  // namespace

namespace {

// The six shared cursors are the program's own pictures, not the system-cursor stand-ins.
TEST(ProgramResources, SharedCursorsAreTheProgramsOwn) {
  kvp::HeadlessWorld world;
  CResourceHolder holder;
  ASSERT_EQ(holder.LoadResources(), 1);
  struct Case {
    int id;
    POINT hotSpot;
  } cases[] = {{145, {1, 1}}, {143, {16, 16}}, {144, {16, 16}}, {146, {14, 2}}, {187, {1, 1}}, {191, {16, 16}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    HCURSOR cursor = holder.GetCursor(c.id);
    ASSERT_NE(cursor, HCURSOR{0});
    cairo_surface_t* picture = nullptr;
    POINT hot{-1, -1};
    ASSERT_TRUE(kvp::CursorPicture(cursor, &picture, &hot));
    EXPECT_NE(picture, nullptr);
    EXPECT_EQ(hot.x, c.hotSpot.x);
    EXPECT_EQ(hot.y, c.hotSpot.y);
  }
}

}  // namespace
