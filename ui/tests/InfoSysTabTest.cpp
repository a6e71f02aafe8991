// The info pane (identity page, "No information", a long board name that wraps) and the system
// tab (icon row geometry, Next/Previous, a family browser window brought to the front, icon click
// starting the program and returning to the previous tab, the empty list).
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/WndInfo.h>
#include <ui/WndSysTab.h>

#include <core/ExtAppList.h>
#include <core/GlobalProps.h>
#include <core/Messages.h>
#include <core/TextIds.h>
#include <core/Texts.h>

#include <platform/desktop.h>
#include <platform/files.h>
#include <platform/process.h>
#include <platform/registry.h>
#include <platform/textlog.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace uitest;

namespace {

// A host standing for the main window: records the tabs sent and posted to it.
class MainHost : public Host {
 public:
  std::vector<int> tabs;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SELECTTAB) {
      tabs.push_back(static_cast<int>(wParam));
      return 1;
    }
    return Host::WindowProc(message, wParam, lParam);
  }
};

const kvp::DrawnText* FindText(const std::vector<kvp::DrawnText>& log, const std::string& text) {
  auto it = std::find_if(log.begin(), log.end(), [&](const kvp::DrawnText& d) { return d.text == text; });
  return it == log.end() ? nullptr : &*it;
}

// ---- info pane -------------------------------------------------------------------------------

struct InfoFixture {
  kvp::HeadlessWorld world{1024, 768};
  MainHost host;
  CWndInfo info;
  explicit InfoFixture(CWndInfo::Texts texts) {
    EXPECT_TRUE(host.CreateTop(0, 0, 800, 560));
    info.m_source = [texts] { return texts; };
    EXPECT_TRUE(info.Create("Info", WS_CHILD, CRect(0, 0, 800, 560), &host, 1014));
  }
  std::vector<kvp::DrawnText> Paint() {
    kvp::StartTextLog();
    info.Activate(3);
    hl::Pump();
    kvp::ClearTextLog();
    info.Redraw();
    auto log = kvp::DrawnTexts(info.GetSafeHwnd());
    kvp::StopTextLog();
    return log;
  }
};

TEST(InfoPane, ShowsTheIdentityTextsInsideTheFrame) {
  InfoFixture f({"1.0.0.7", "3 Build 2.1", "KV310 board, serial", "Engine tester ET-2"});
  auto log = f.Paint();
  EXPECT_TRUE(f.info.IsWindowVisible());
  const CRect frame = CWndInfo::FrameOf(CRect(0, 0, 800, 560));
  EXPECT_EQ(frame, CRect(100, 120, 700, 410));
  for (const char* text : {"Application:", "version: 1.0.0.7", "Hardware communication driver:", "version: 3 Build 2.1",
                           "KV310 board, serial", "Engine tester ET-2"}) {
    const kvp::DrawnText* drawn = FindText(log, text);
    ASSERT_NE(drawn, nullptr) << text;
    EXPECT_GE(drawn->rect.left, frame.left + 10) << text;
    EXPECT_GT(drawn->rect.top, frame.top) << text;
    EXPECT_LT(drawn->rect.top, frame.bottom) << text;
  }
  const kvp::DrawnText* heading = FindText(log, "Additional information:");
  ASSERT_NE(heading, nullptr);
  EXPECT_EQ(heading->rect.bottom, frame.top);
  const kvp::DrawnText* title = FindText(log, "1.0.0.7");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(CRect(title->rect), CRect(frame.left + 40, frame.top - 62, frame.right + 40, frame.top - 30));
  const kvp::DrawnText* notice = FindText(log, GetDefaultText(35));
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(notice->rect.top, frame.bottom + 5);
  std::filesystem::create_directories(KV_SCREENSHOT_DIR);
  kvp::SaveWindowPng(f.info.GetSafeHwnd(), ScreenshotPath("info_pane.png").c_str());
  EXPECT_TRUE(f.info.Deactivate());
  EXPECT_FALSE(f.info.IsWindowVisible());
}

TEST(InfoPane, NoBoardShowsNoInformation) {
  // What the engine holds before the link was opened: empty identity texts.
  CWndInfo::Texts texts = CWndInfo::CurrentTexts();
  EXPECT_STREQ(texts.board, "No information");
  EXPECT_STREQ(texts.motortester, "No information");
  EXPECT_STREQ(texts.library, "No information");
  InfoFixture f(texts);
  auto log = f.Paint();
  EXPECT_NE(FindText(log, "version: No information"), nullptr);
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const kvp::DrawnText& d) { return d.text == "No information"; }), 2);
  kvp::SaveWindowPng(f.info.GetSafeHwnd(), ScreenshotPath("info_pane_no_board.png").c_str());
}

TEST(InfoPane, LongBoardNameWrapsAndPushesTheNextNameDown) {
  const std::string longName =
      "KV310 measuring board with a very long identity text that cannot stand on one line of the information frame "
      "and therefore wraps over several lines of the page, pushing the name of the engine-tester board further down "
      "by as many lines as it takes; the frame is six hundred pixels wide and the font is small, so the text must be "
      "long indeed before it wraps more than once or twice";
  struct Case {
    std::string board;
    bool wraps;
  } cases[] = {{"KV310", false}, {longName, true}};
  int shortGap = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.board);
    InfoFixture f({"1.0", "3 Build 2.1", c.board.c_str(), "ET"});
    auto log = f.Paint();
    const kvp::DrawnText* board = FindText(log, c.board);
    const kvp::DrawnText* tester = FindText(log, "ET");
    ASSERT_NE(board, nullptr);
    ASSERT_NE(tester, nullptr);
    EXPECT_TRUE(board->flags & DT_WORDBREAK);
    EXPECT_LE(board->rect.right, CWndInfo::FrameOf(CRect(0, 0, 800, 560)).right - 10);
    const int gap = tester->rect.top - board->rect.top;
    if (!c.wraps) {
      shortGap = gap;
    } else {
      EXPECT_GE(gap, 2 * shortGap - 4);
      kvp::SaveWindowPng(f.info.GetSafeHwnd(), ScreenshotPath("info_pane_long_name.png").c_str());
    }
  }
}

// ---- system tab ------------------------------------------------------------------------------

struct SysTabFixture {
  kvp::HeadlessWorld world{1024, 768};
  MainHost host;
  CWndSysTab pane;
  explicit SysTabFixture(int programs, int width = 800) {
    GetGlobalProps().m_nPreviousTab = 3;
    pane.m_Apps.clear();
    for (int i = 0; i < programs; ++i) {
      CWndSysTab::apps app;
      app.path = "/bin/sh";  // any program: the icon row only needs its icon
      app.description = "Program " + std::to_string(i);
      HICON icon = 0;
      ExtractIconEx(app.path.c_str(), 0, &icon, nullptr, 1);
      app.icon = icon;
      pane.m_Apps.push_back(app);
    }
    EXPECT_TRUE(host.CreateTop(0, 0, width, 560));
    EXPECT_TRUE(pane.Create("SysTab", WS_CHILD, CRect(0, 0, width, 560), &host, 1017));
    pane.Activate(3);
    hl::Pump();
    pane.Redraw();
  }
  CPoint IconCentre(int i) const { return CPoint(pane.m_Apps[i].x + 16, pane.m_Apps[i].y + 16); }
};

TEST(SysTab, IconRow) {
  struct Case {
    int programs, width;
    std::vector<int> xs;
  } cases[] = {
      {3, 800, {342, 384, 426}},
      {2, 800, {363, 405}},
      {1, 800, {384}},
      {4, 1000, {421, 463, 505, 547}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.programs) + " programs");
    EXPECT_EQ(CWndSysTab::FirstIconX(c.width, c.programs), c.xs[0]);
    SysTabFixture f(c.programs, c.width);
    for (int i = 0; i < c.programs; ++i) {
      EXPECT_EQ(f.pane.m_Apps[i].x, c.xs[i]) << i;
      EXPECT_EQ(f.pane.m_Apps[i].y, f.pane.m_rcPanel.top + 20) << i;
    }
    EXPECT_EQ(f.pane.m_rcPanel, CRect(c.width / 2 - 215, 280 - 110, c.width / 2 + 215, 280 + 10));
    EXPECT_STREQ(f.pane.m_strTitle, "Program 0");
    // The selection frame is red around the first icon.
    EXPECT_EQ(Hex(Pixel(f.pane, c.xs[0] - 4, f.pane.m_rcPanel.top + 30)), Hex(RGB(255, 0, 0)));
    if (c.programs == 3) {
      std::filesystem::create_directories(KV_SCREENSHOT_DIR);
      kvp::SaveWindowPng(f.pane.GetSafeHwnd(), ScreenshotPath("systab_icons.png").c_str());
    }
  }
}

TEST(SysTab, NextPreviousAndHoverSelect) {
  SysTabFixture f(3);
  struct Step {
    const char* what;
    int selected;
  } steps[] = {{"previous", 2}, {"previous", 1}, {"next", 2}, {"next", 0}, {"next", 1}, {"hover 0", 0}, {"hover 2", 2}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    std::string what = s.what;
    if (what == "next") {
      hl::Click(f.pane.m_btnNext.GetSafeHwnd(), POINT{10, 10});
    } else if (what == "previous") {
      hl::Click(f.pane.m_btnPrevious.GetSafeHwnd(), POINT{10, 10});
    } else {
      hl::MoveMouseTo(f.pane.GetSafeHwnd(), f.IconCentre(what.back() - '0'));
    }
    hl::Pump();
    EXPECT_EQ(f.pane.m_nSelected, s.selected);
    EXPECT_EQ(std::string(f.pane.m_strTitle), "Program " + std::to_string(s.selected));
  }
  // The icon square includes its edges.
  EXPECT_EQ(f.pane.ProgramAt(CPoint(f.pane.m_Apps[1].x + 32, f.pane.m_Apps[1].y + 32)), 1);
  EXPECT_EQ(f.pane.ProgramAt(CPoint(f.pane.m_Apps[1].x + 33, f.pane.m_Apps[1].y)), -1);
  EXPECT_TRUE(f.host.tabs.empty());
}

TEST(SysTab, FamilyBrowserComesToTheFrontAndTheTabReturns) {
  struct Case {
    const char* title;
    bool iconic;
    bool found;
  } cases[] = {
      {"Dravix Scope manual - Browser", true, true},
      {"Dravix Scope manual - Browser", false, true},
      {"News - Browser", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    kvp::HeadlessWorld world{1024, 768};
    MainHost host;
    ASSERT_TRUE(host.CreateTop(0, 0, 800, 560));
    HWND browser = hl::AddForeignWindow(CWndSysTab::kBrowserClass, c.title, c.iconic, true);
    CWndSysTab pane;
    ASSERT_TRUE(pane.Create("SysTab", WS_CHILD, CRect(0, 0, 800, 560), &host, 1017));
    pane.Activate(6);
    hl::Pump();
    auto actions = hl::ForeignWindowActions(browser);
    if (c.found) {
      EXPECT_FALSE(pane.IsWindowVisible());
      EXPECT_EQ(host.tabs, (std::vector<int>{6}));
      ASSERT_FALSE(actions.empty());
      EXPECT_EQ(actions.back(), "foreground");
      EXPECT_EQ(std::count(actions.begin(), actions.end(), "show 1"), c.iconic ? 1 : 0);
    } else {
      EXPECT_TRUE(pane.IsWindowVisible());
      EXPECT_TRUE(host.tabs.empty());
      EXPECT_TRUE(actions.empty());
    }
  }
}

// A program file in a folder with a blank in its name, listed through the INI file and the
// registry value that holds its folder.
struct ListedProgram {
  std::filesystem::path folder = std::filesystem::temp_directory_path() / ("kv systab " + std::to_string(getpid()));
  std::filesystem::path ini = folder / "ExtApps.ini";
  ListedProgram() {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "diag tool") << "#!/bin/sh\nexit 0\n";
    chmod((folder / "diag tool").c_str(), 0755);
    HKEY key = 0;
    RegCreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\KV310SysTabTest", &key);
    const std::string dir = "C:\\Program Files\\Diag";
    RegSetValueEx(key, "Dir", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()), static_cast<DWORD>(dir.size() + 1));
    RegCloseKey(key);
    // The platform runs the Windows program path as the Linux file.
    RegCreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\KV310Platform\\Programs", &key);
    const std::string exe = (folder / "diag tool").string();
    RegSetValueEx(key, "C:\\Program Files\\Diag\\diag tool.exe", 0, REG_SZ, reinterpret_cast<const BYTE*>(exe.c_str()),
                  static_cast<DWORD>(exe.size() + 1));
    RegCloseKey(key);
    std::ofstream(ini) << "[Diag]\nRegExePath=HKEY_LOCAL_MACHINE\\SOFTWARE\\KV310SysTabTest\\Dir\nExeName=diag tool.exe\n"
                          "Description=Diagnosis\n"
                          "[Missing]\nRegExePath=HKEY_LOCAL_MACHINE\\SOFTWARE\\KV310SysTabTest\\Dir\nExeName=gone.exe\n"
                          "Description=Not installed\n";
  }
  ~ListedProgram() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

TEST(SysTab, IconClickStartsTheProgramAndReturnsToThePreviousTab) {
  ListedProgram program;
  CExtAppList list;
  ASSERT_EQ(list.LoadFromIni(program.ini.c_str()), CExtAppList::OK);
  SysTabFixture f(0);
  f.pane.SetPrograms(list);
  ASSERT_EQ(f.pane.m_Apps.size(), 2u);
  f.pane.Redraw();
  kvp::RecordLaunches(true);
  struct Case {
    int program;
    size_t launches;
  } cases[] = {{0, 1}, {1, 1}};  // the missing program starts nothing, silently
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    GetGlobalProps().m_nPreviousTab = 2 + c.program;
    hl::Click(f.pane.GetSafeHwnd(), f.IconCentre(c.program));
    hl::Pump();
    EXPECT_EQ(kvp::RecordedLaunches().size(), c.launches);
    EXPECT_EQ(f.host.tabs.back(), 2 + c.program);
  }
  auto launches = kvp::RecordedLaunches();
  kvp::RecordLaunches(false);
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].executable, (program.folder / "diag tool").string());
  EXPECT_TRUE(launches[0].args.empty());
  // A click beside every icon does nothing.
  f.host.tabs.clear();
  hl::Click(f.pane.GetSafeHwnd(), POINT{5, 5});
  hl::Pump();
  EXPECT_TRUE(f.host.tabs.empty());
}

TEST(SysTab, EmptyListShowsTheNoApplicationText) {
  SysTabFixture f(0);
  EXPECT_STREQ(f.pane.m_strTitle, GetGlobalProps().GetText(kTextNoChangeOverApp));
  EXPECT_STREQ(f.pane.m_strTitle, "No application for change-over.");
  hl::Click(f.pane.m_btnNext.GetSafeHwnd(), POINT{10, 10});
  hl::Pump();
  EXPECT_EQ(f.pane.m_nSelected, 0);
  std::filesystem::create_directories(KV_SCREENSHOT_DIR);
  kvp::SaveWindowPng(f.pane.GetSafeHwnd(), ScreenshotPath("systab_empty.png").c_str());
}

}  // namespace

// ---- the system tab in the main window ---------------------------------------------------------

#include <ui/MainWndDlg.h>
#include <kvtest/StandInPane.h>

namespace {

// Both ways back from the system tab name the tab shown before it: the browser path posts
// Activate's previous tab, the icon path sends the settings' previous tab.
TEST(SysTabInMainWindow, BothReturnsNameTheTabShownBefore) {
  enum Path { kBrowser, kIcon };
  for (Path path : {kBrowser, kIcon}) {
    SCOPED_TRACE(path == kBrowser ? "browser" : "icon");
    kvp::HeadlessWorld world{1280, 1024};
    RegisterMainWindowClass();
    if (path == kBrowser) hl::AddForeignWindow(CWndSysTab::kBrowserClass, "Dravix Scope help - Browser", false, true);
    PaneTable table;
    for (int tab = 0; tab < 9; ++tab) table.push_back(StandInEntry(tab, "Stand-in", 1100 + tab));
    PaneEntry sysTab = SysTabEntry();
    sysTab.make = [] {
      auto pane = std::make_unique<CWndSysTab>();
      pane->m_Apps.clear();
      pane->m_Apps.push_back(CWndSysTab::apps{"/nonexistent/program", "Program", 0, 0, 0});
      return std::unique_ptr<CWnd>(pane.release());
    };
    table.push_back(sysTab);
    CMainWndDlg dlg(std::move(table), MainWndEnvironment{}, GetGlobalProps());
    ASSERT_TRUE(dlg.Create(IDD_MAINWND, nullptr));
    hl::Pump();
    ASSERT_EQ(dlg.SendMessage(WM_SELECTTAB, 3), 1);
    ASSERT_EQ(dlg.SelectedTab(), 3);
    dlg.SendMessage(WM_SELECTTAB, 9);
    auto* pane = static_cast<CWndSysTab*>(dlg.Pane(9));
    if (path == kBrowser) {
      EXPECT_FALSE(pane->IsWindowVisible());
    } else {
      ASSERT_TRUE(pane->IsWindowVisible());
      EXPECT_EQ(GetGlobalProps().m_nPreviousTab, 3);
      pane->Redraw();
      hl::Click(pane->GetSafeHwnd(), POINT{pane->m_Apps[0].x + 10, pane->m_Apps[0].y + 10});
    }
    hl::Pump();
    EXPECT_EQ(dlg.SelectedTab(), 3);
    EXPECT_EQ(GetGlobalProps().m_nCurrentTab, 3);
    EXPECT_EQ(GetGlobalProps().m_nPreviousTab, 9);
    EXPECT_TRUE(dlg.Pane(3)->IsWindowVisible());
    dlg.DestroyWindow();
  }
}

}  // namespace
