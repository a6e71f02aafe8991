// The scope pane with its children on the headless display with the virtual clock: the children's
// names, ids and creation order, showing by the option bits, the layout areas, docking with the
// time offset, the slide of the undocked control panel and its auto-hide, the tab change rules,
// the manual path, the saved-scope tooltips and the rulers' callbacks.
#include <scope/SavedScopeFill.h>
#include <scope/SavedScopeText.h>
#include <scope/ScopeFiles.h>
#include <scope/SignalFile.h>
#include <scope/pane/WndOscPane.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureType.h>
#include <core/Notify.h>
#include <core/OscScale.h>
#include <core/Reg.h>
#include <core/ResourceHolder.h>
#include <core/SavedScope.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/ScopeStandIns.h>
#include <kvtest/Screenshots.h>

#include <platform/controls.h>
#include <platform/display.h>
#include <platform/files.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace hl = kvp::headless;
using scope::CWndOsc;
using scope::CWndOscPane;

std::string WindowName(HWND hwnd) {
  char text[64] = {};
  ::GetWindowText(hwnd, text, sizeof(text));
  return text;
}

CRect AreaOf(ScreenArea area) {
  RECT r{0, 0, 0, 0};
  GetResourceHolder().LayoutScreenArea(area, r);
  return CRect(r);
}

CRect ChildRect(CWnd& parent, CWnd& child) {
  CRect r;
  child.GetWindowRect(&r);
  parent.ScreenToClient(&r);
  return r;
}

class PaneTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    GlobalProps& p = GetGlobalProps();
    for (double r : {1e3, 1e4, 1e5}) p.m_TimeBase.m_Rates.Add(r);
    p.m_nRecordLength = 1000;
    p.SetTimeBaseIndex(1, FALSE, TRUE);
    for (CChannelProps& c : p.m_Channels) {
      for (double r : {40.0, 20.0, 8.0}) c.m_Ranges.Add(r);
      c.m_nRangeIndex = 0;
      c.m_bEnabled = 1;
      c.m_nPosition = 50;
    }
    AddTrace();
    AddTrace();
    CResourceHolder& holder = GetResourceHolder();
    holder.m_rcClient = CRect(0, 0, 1000, 700);
    holder.m_bNarrowChart = 1;
    holder.SetZoomFactor(0);
    GetTimeStepScale().m_nCurrentStep = 10;
    p.RecomputeTimeBase(FALSE, FALSE);
    ASSERT_TRUE(host.CreateTop(0, 0, 1000, 700));
    pane = std::make_unique<CWndOscPane>(std::make_unique<kvtest::CStandInControlPanel>());
    pane->SetErrorLogPath((std::filesystem::temp_directory_path() / "scope_pane_test.log").string());
    ASSERT_TRUE(pane->Create("Oscilloscope", WS_CHILD | WS_VISIBLE, CRect(0, 30, 1000, 700), &host, 1000));
    hl::Pump();
  }
  void TearDown() override {
    pane.reset();
    host.DestroyWindow();
    GetResourceHolder().m_bNarrowChart = 1;
    kvtest::CoreTest::TearDown();
  }

  CWnd& Panel() { return pane->ControlPanel().Window(); }
  // A signal file of a square on channel A (+2.5 V / -1.5 V at 1 V/div, position 50) written as
  // `name` and opened into the first free saved scope, as the open command does.
  bool LoadSquare(const char* name) {
    scope::SignalFile file;
    file.m_nChannelsStored = 1;
    file.m_nSampleRate = 10000;
    scope::SignalChannel& a = file.m_Channels[0];
    a.m_bPresent = true;
    a.m_dPerDivision = 1.0;
    a.m_dFullScale = 10.0;
    a.m_nUnit = 0;
    a.m_dMin = -1.5;
    a.m_dMax = 2.5;
    for (int k = 0; k < 1000; ++k) a.m_Points.push_back({k % 200 < 100 ? 2.5 : -1.5, scope::kPointValid});
    const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
    const std::vector<uint8_t> bytes = scope::EncodeOsgFile(file);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    scope::SignalFile read;
    const bool ok = scope::ReadSignalFile(path.string().c_str(), read).m_bOk &&
                    scope::LoadIntoSavedScope(read, name, std::filesystem::path(name).stem().string().c_str());
    std::filesystem::remove(path);
    if (ok) pane->OnSystemNotify(notify::kFromControlPanel, notify::kSavedScopeOpened, 0);
    return ok;
  }
  kvtest::CStandInControlPanel& StandIn() { return dynamic_cast<kvtest::CStandInControlPanel&>(pane->ControlPanel()); }
  bool Visible(CWnd& w) { return (w.GetStyle() & WS_VISIBLE) != 0; }

  kvp::HeadlessWorld world;
  kvtest::HostWindow host;
  std::unique_ptr<CWndOscPane> pane;
};

TEST_F(PaneTest, ChildrenAreCreatedInOrderWithTheirNamesAndIds) {
  struct Child {
    CWnd* window;
    const char* name;
    int id;
  };
  const std::vector<Child> expected = {
      {&pane->m_minimizePanel, "WndMinimizePanel", 1029}, {&Panel(), "WndControlPanel", 1008},
      {&pane->m_chart, "OscChartWnd", 1001},              {&pane->m_timeRuler, "TimeLine", 1002},
      {&pane->m_cursorRuler, "CursorY", 1003},            {&pane->m_stripBottom, "Bottom", 1007},
      {&pane->m_stripTop, "Top", 1007},                   {&pane->m_stripText, "Text", 1018},
      {&pane->m_stripMeasures, "Measures", 1007},         {&pane->m_stripSavedCD, "SavedCD", 1030},
      {&pane->m_stripSavedEF, "SavedEF", 1031},           {&pane->m_cursorPanel, "WndCursors", 1009},
      {&pane->m_autoset, "WndAutoset", 1013},             {&pane->m_manualButton, "Open_Manual", 0},
  };
  std::vector<std::string> order;
  for (HWND child = ::GetWindow(pane->GetSafeHwnd(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    order.push_back(WindowName(child));
  std::vector<std::string> names;
  for (const Child& c : expected) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.window->GetSafeHwnd(), 0u);
    EXPECT_EQ(WindowName(c.window->GetSafeHwnd()), c.name);
    EXPECT_EQ(c.window->GetDlgCtrlID(), c.id);
    EXPECT_EQ(::GetParent(c.window->GetSafeHwnd()), pane->GetSafeHwnd());
    names.push_back(c.name);
  }
  // The sibling chain runs in creation order or its reverse, depending on the z-order rule.
  std::vector<std::string> reversed(names.rbegin(), names.rend());
  EXPECT_TRUE(order == names || order == reversed) << ::testing::PrintToString(order);
  EXPECT_EQ(pane->m_options, CWndOsc::OPT_INITIAL);
  EXPECT_EQ(pane->m_cursorRuler.m_nOrientation, COscCursorRuler::kVertical);
}

TEST_F(PaneTest, OptionBitsShowTheirChildren) {
  struct Case {
    int options;
    int measureSwitch;
    std::vector<std::string> shown;
  };
  const std::vector<Case> cases = {
      {0x7E, 0, {"TimeLine", "CursorY", "Bottom", "Top", "Text", "WndCursors", "WndControlPanel"}},
      {0x7E, 1, {"TimeLine", "CursorY", "Bottom", "Top", "Text", "Measures", "WndControlPanel"}},
      {0x02 | 0x04, 0, {"TimeLine", "CursorY"}},
      {0x40 | 0x80 | 0x100, 1, {"Bottom", "Top", "Text", "Measures", "SavedCD", "SavedEF"}},
      {0x20 | 0x100, 0, {"WndControlPanel", "SavedEF"}},
  };
  CWnd* byOption[] = {&pane->m_timeRuler,    &pane->m_cursorRuler,   &pane->m_stripBottom, &pane->m_stripTop,
                      &pane->m_stripText,    &pane->m_stripMeasures, &pane->m_cursorPanel, &Panel(),
                      &pane->m_stripSavedCD, &pane->m_stripSavedEF,  &pane->m_minimizePanel};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    GetGlobalProps().m_bMeasureSwitch = c.measureSwitch;
    pane->m_options = c.options;
    pane->ShowByOptions(c.options);
    std::vector<std::string> shown;
    for (CWnd* w : byOption)
      if (Visible(*w)) shown.push_back(WindowName(w->GetSafeHwnd()));
    std::vector<std::string> want = c.shown;
    std::sort(shown.begin(), shown.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(shown, want);
  }
}

TEST_F(PaneTest, AutosetShowsItsPanelAloneAndTheNormalViewComesBack) {
  pane->ApplyAutosetVisibility(true, pane->m_options);
  std::vector<std::string> shown;
  for (HWND child = ::GetWindow(pane->GetSafeHwnd(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    if (::GetWindowLong(child, GWL_STYLE) & WS_VISIBLE) shown.push_back(WindowName(child));
  EXPECT_EQ(shown, std::vector<std::string>{"WndAutoset"});

  pane->ApplyAutosetVisibility(false, CWndOsc::OPT_INITIAL & ~CWndOsc::OPT_PANEL_IN);
  EXPECT_FALSE(Visible(pane->m_autoset));
  for (CWnd* w : {static_cast<CWnd*>(&pane->m_chart), static_cast<CWnd*>(&pane->m_stripTop),
                  static_cast<CWnd*>(&pane->m_stripBottom), &Panel(), static_cast<CWnd*>(&pane->m_timeRuler),
                  static_cast<CWnd*>(&pane->m_cursorRuler), static_cast<CWnd*>(&pane->m_cursorPanel)})
    EXPECT_TRUE(Visible(*w)) << WindowName(w->GetSafeHwnd());
  EXPECT_FALSE(Visible(pane->m_stripText));  // only with the panel slid in
  EXPECT_FALSE(Visible(pane->m_stripMeasures));
  EXPECT_FALSE(Visible(pane->m_minimizePanel));  // docked
}

TEST_F(PaneTest, ChildrenSitInTheirLayoutAreas) {
  pane->m_options = CWndOsc::OPT_INITIAL | CWndOsc::OPT_SAVED_CD | CWndOsc::OPT_SAVED_EF;
  pane->LayoutChildren();
  struct Case {
    CWnd* window;
    ScreenArea area;
  };
  const std::vector<Case> cases = {
      {&pane->m_manualButton, ScreenArea::ManualButton}, {&pane->m_stripText, ScreenArea::TextStrip},
      {&pane->m_stripTop, ScreenArea::TopStrip},         {&pane->m_timeRuler, ScreenArea::TimeRuler},
      {&pane->m_chart, ScreenArea::Chart},               {&pane->m_stripBottom, ScreenArea::BottomStrip},
      {&pane->m_stripMeasures, ScreenArea::MeasuresStrip}, {&pane->m_cursorPanel, ScreenArea::CursorPanel},
      {&pane->m_stripSavedCD, ScreenArea::SavedCD},      {&pane->m_cursorRuler, ScreenArea::LevelRuler},
      {&Panel(), ScreenArea::ControlPanel},              {&pane->m_minimizePanel, ScreenArea::MinimizePanel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WindowName(c.window->GetSafeHwnd()));
    EXPECT_EQ(ChildRect(*pane, *c.window), AreaOf(c.area));
  }
  CRect client;
  pane->GetClientRect(&client);
  EXPECT_EQ(ChildRect(*pane, pane->m_autoset), client);
  EXPECT_EQ(pane->ChartRect(), AreaOf(ScreenArea::Chart));
  // "SavedEF" goes under "SavedCD" when both are shown, on its own area otherwise.
  CRect ef = AreaOf(ScreenArea::SavedEF);
  EXPECT_EQ(ChildRect(*pane, pane->m_stripSavedEF), CRect(ef.left, ef.top + ef.Height(), ef.right, ef.bottom + ef.Height()));
  pane->m_options &= ~CWndOsc::OPT_SAVED_CD;
  pane->LayoutChildren();
  EXPECT_EQ(ChildRect(*pane, pane->m_stripSavedEF), ef);
}

TEST_F(PaneTest, BackgroundIsTheSchemeColourWithASunkenEdgeRoundTheChart) {
  pane->RedrawAll();
  const CRect chart = pane->ChartRect();
  // A point of the background away from every child, and the edge's outer dark line.
  const COLORREF background = kvp::WindowPixel(pane->GetSafeHwnd(), chart.left - 4, chart.bottom - 10);
  EXPECT_EQ(background, GetSchemeColor(6));
  EXPECT_NE(kvp::WindowPixel(pane->GetSafeHwnd(), chart.left - 2, chart.top + 20), GetSchemeColor(6));
}

TEST_F(PaneTest, DockingDoublesAndHalvesTheOffset) {
  struct Case {
    int zoom;
    int offset;
    int undocked;
    int docked;
    int recordDivisions;  // docked; twice that floating
  };
  const double recordTime = GetGlobalProps().GetRecordTime();
  for (const Case& c : std::vector<Case>{{0, 0, 0, 0, 20}, {0, 3, 6, 3, 20}, {0, 5, 10, 5, 20}, {0, 10, 20, 10, 20},
                                         {2, 45, 90, 45, 100}, {2, 90, 180, 90, 100}}) {
    SCOPED_TRACE(testing::Message() << "zoom " << c.zoom << " offset " << c.offset);
    GetResourceHolder().SetZoomFactor(c.zoom);
    GetOscScale().SetTimeOffset(c.offset);
    GetGlobalProps().RecomputeTimeBase(TRUE, FALSE);
    const CScale docked = GetOscScale().m_TimeAxis;
    pane->ToggleDock();
    EXPECT_EQ(GetResourceHolder().m_bNarrowChart, 0);
    EXPECT_EQ(GetTimeStepScale().m_nCurrentStep, 20);
    EXPECT_EQ(GetTimeStepScale().m_nSteps, 2 * c.recordDivisions);
    EXPECT_EQ(GetOscScale().m_nHorizontalOffset, c.undocked);
    // The floating chart shows the docked chart's window of the record in twice the divisions.
    const CScale& floating = GetOscScale().m_TimeAxis;
    EXPECT_EQ(floating.m_nDivisions, 20);
    EXPECT_NEAR(floating.m_dFirstValue, docked.m_dFirstValue, 1e-12);
    EXPECT_NEAR(floating.m_dLastValue, docked.m_dLastValue, 1e-12);
    EXPECT_LE(floating.m_dLastValue, recordTime + 1e-12);
    EXPECT_TRUE(pane->m_options & CWndOsc::OPT_PANEL_MINIMIZED);
    EXPECT_TRUE(pane->m_minimizePanel.ExpandedHandle());
    EXPECT_TRUE(Visible(pane->m_minimizePanel));
    pane->ToggleDock();
    EXPECT_EQ(GetResourceHolder().m_bNarrowChart, 1);
    EXPECT_EQ(GetTimeStepScale().m_nCurrentStep, 10);
    EXPECT_EQ(GetTimeStepScale().m_nSteps, c.recordDivisions);
    EXPECT_EQ(GetOscScale().m_nHorizontalOffset, c.docked);
    EXPECT_NEAR(GetOscScale().m_TimeAxis.m_dFirstValue, docked.m_dFirstValue, 1e-12);
    EXPECT_NEAR(GetOscScale().m_TimeAxis.m_dLastValue, docked.m_dLastValue, 1e-12);
    EXPECT_FALSE(pane->m_options & CWndOsc::OPT_PANEL_MINIMIZED);
    EXPECT_TRUE(pane->m_options & CWndOsc::OPT_PANEL_IN);
    EXPECT_TRUE(Visible(Panel()));
    EXPECT_FALSE(Visible(pane->m_minimizePanel));
  }
}

TEST_F(PaneTest, UndockedPanelSlidesOutAndInByATwentiethPerTick) {
  pane->ToggleDock();  // starts sliding out
  const CRect area = AreaOf(ScreenArea::ControlPanel);  // the undocked panel's
  const int step = area.Width() / 20;
  CRect before = ChildRect(*pane, Panel());
  EXPECT_EQ(before, area);
  hl::Advance(10);
  EXPECT_EQ(ChildRect(*pane, Panel()).left, before.left + step);
  hl::Advance(2000);
  EXPECT_FALSE(Visible(Panel()));
  EXPECT_FALSE(pane->m_options & CWndOsc::OPT_PANEL_IN);
  EXPECT_GT(ChildRect(*pane, Panel()).left, AreaOf(ScreenArea::MinimizePanel).left);
  EXPECT_EQ(pane->IsPanelMinimized(), 0);

  // In again: two ticks, then a second toggle turns the slide round at once.
  pane->OnMinimizeToggle();
  EXPECT_EQ(pane->IsPanelMinimized(), 1);
  before = ChildRect(*pane, Panel());
  hl::Advance(20);
  EXPECT_TRUE(Visible(Panel()));
  EXPECT_EQ(ChildRect(*pane, Panel()).left, before.left - 2 * step);
  pane->OnMinimizeToggle();
  hl::Advance(10);
  EXPECT_EQ(ChildRect(*pane, Panel()).left, before.left - step);

  // In to the end: the panel sits exactly on its area, then hides itself after 3 s alone.
  pane->OnMinimizeToggle();
  for (int tick = 0; tick < 100 && !(pane->m_options & CWndOsc::OPT_PANEL_IN); ++tick) hl::Advance(10);
  EXPECT_EQ(ChildRect(*pane, Panel()), area);
  EXPECT_TRUE(pane->m_options & CWndOsc::OPT_PANEL_IN);
  hl::Advance(2900);
  EXPECT_TRUE(Visible(Panel()));
  hl::Advance(100);
  EXPECT_EQ(pane->IsPanelMinimized(), 0);
  hl::Advance(2000);
  EXPECT_FALSE(Visible(Panel()));
}

TEST_F(PaneTest, MinimizeToggleIsIgnoredWhileDocked) {
  const int options = pane->m_options;
  const CRect before = ChildRect(*pane, Panel());
  pane->OnMinimizeToggle();
  hl::Advance(500);
  EXPECT_EQ(pane->m_options, options);
  EXPECT_EQ(ChildRect(*pane, Panel()), before);
  EXPECT_EQ(pane->IsPanelMinimized(), 1);
}

TEST_F(PaneTest, TheTabCannotBeLeftWhileAutosetRuns) {
  GetGlobalProps().m_bAutosetActive = 1;
  EXPECT_FALSE(pane->Deactivate());
  EXPECT_TRUE(Visible(*pane));
  EXPECT_EQ(StandIn().m_nPresetResets, 0);
  GetGlobalProps().m_bAutosetActive = 0;
  EXPECT_TRUE(pane->Deactivate());
  EXPECT_FALSE(Visible(*pane));
}

TEST_F(PaneTest, LeavingTheTabSetsTheTesterMeasurementAndResetsThePresetByType) {
  struct Case {
    int type;
    int measurementId;  // -1: none
    bool presetReset;
  };
  const std::vector<Case> cases = {{0, 10, true},  {1, 10, true},  {2, 25, true},  {3, 15, false},
                                   {4, 10, true},  {5, 25, true},  {6, 19, false}, {7, -1, true},
                                   {10, -1, true}, {11, -1, false}, {27, -1, false}, {28, -1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    int id = -1;
    pane->SetMeasurementIdSink([&id](int value) { id = value; });
    GetMeasureType().m_nMeasureType = c.type;
    const int resets = StandIn().m_nPresetResets;
    EXPECT_TRUE(pane->Deactivate());
    EXPECT_EQ(id, c.measurementId);
    EXPECT_EQ(StandIn().m_nPresetResets - resets, c.presetReset ? 1 : 0);
  }
}

TEST_F(PaneTest, ActivateRefreshesThePanelAndShowsThePane) {
  pane->Show(FALSE);
  pane->Activate(3);
  EXPECT_EQ(StandIn().m_nRefreshes, 1);
  EXPECT_TRUE(Visible(*pane));
  EXPECT_FALSE(Visible(pane->m_manualButton));  // the plain scope has no manual
}

TEST_F(PaneTest, ManualPathOnlyForTheComponentTests) {
  CReg().WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", "Path", "C:\\KV310\\");
  struct Case {
    int type;
    const char* path;
  };
  const std::vector<Case> cases = {
      {0, ""},
      {10, ""},
      {11, "C:\\KV310\\Manuals\\StartingCurrentAndVoltage\\StartingCurrentAndVoltage_en.hlp"},
      {16, "C:\\KV310\\Manuals\\InductiveSensor\\InductiveSensor_en.hlp"},
      {27, "C:\\KV310\\Manuals\\NeedleStrokeSensor\\NeedleStrokeSensor_en.hlp"},
      {28, ""},
      {-1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(std::string(CWndOscPane::GetManualPath(c.type)), c.path);
    EXPECT_FALSE(CWndOscPane::ManualExists(c.type));
  }
  CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter", "Language", "de");
  EXPECT_EQ(std::string(CWndOscPane::GetManualPath(12)), "C:\\KV310\\Manuals\\OxygenSensor\\OxygenSensor_de.hlp");
  CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter", "Language", "en");
}

TEST_F(PaneTest, ManualButtonShowsForAComponentTestWithItsFile) {
  // A folder relative to the current one stays relative when mapped.
  const std::string root = "scope_manual_" + std::to_string(::getpid()) + "\\";
  CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter", "Language", "en");
  const std::filesystem::path manual = kvp::MapPath(root + "Manuals\\Injector\\Injector_en.hlp");
  std::filesystem::create_directories(manual.parent_path());
  std::ofstream(manual) << "manual";
  CReg().WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", "Path", root.c_str());
  EXPECT_TRUE(CWndOscPane::ManualExists(13)) << CWndOscPane::GetManualPath(13).GetString() << " " << manual;
  EXPECT_FALSE(CWndOscPane::ManualExists(14));
  GetMeasureType().m_nMeasureType = 13;
  pane->Activate(0);
  EXPECT_TRUE(Visible(pane->m_manualButton));
  GetMeasureType().m_nMeasureType = 14;
  pane->Activate(0);
  EXPECT_FALSE(Visible(pane->m_manualButton));
  std::filesystem::remove_all(kvp::MapPath(root));
}

// The tooltip of a strip asks the pane; the empty text when there is none.
std::string Tooltip(CWndOscPane& pane, CWnd& strip) {
  NMTTDISPINFOA info{};
  info.hdr.hwndFrom = 0;
  info.hdr.idFrom = strip.GetSafeHwnd();
  info.hdr.code = TTN_NEEDTEXTA;
  info.uFlags = TTF_IDISHWND;
  pane.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  return info.lpszText ? std::string(info.lpszText) : std::string();
}

TEST_F(PaneTest, SavedStripTooltipsNameTheSavedScope) {
  const std::string longName = std::string(100, 'n') + ".osg";
  ASSERT_TRUE(LoadSquare("x.osg"));
  EXPECT_EQ(Tooltip(*pane, pane->m_stripSavedCD), "x.osg");
  EXPECT_EQ(Tooltip(*pane, pane->m_stripSavedEF), "") << "no second saved scope";
  EXPECT_EQ(Tooltip(*pane, pane->m_stripTop), "");
  // A name longer than a tooltip holds is cut to 79 bytes.
  ASSERT_TRUE(LoadSquare(longName.c_str()));
  EXPECT_EQ(Tooltip(*pane, pane->m_stripSavedEF), longName.substr(0, 79));
}

TEST_F(PaneTest, SavedScopeStripsFollowTheSavedScopes) {
  CSavedScope* saved = GetSavedScopes();
  struct Case {
    int cdEmpty;
    int efEmpty;
  };
  for (const Case& c : std::vector<Case>{{0, 1}, {1, 0}, {0, 0}, {1, 1}}) {
    SCOPED_TRACE(c.cdEmpty * 10 + c.efEmpty);
    saved[0].m_bEmpty = c.cdEmpty;
    saved[1].m_bEmpty = c.efEmpty;
    pane->OnSystemNotify(notify::kFromScopePane, notify::kSavedScopeOpened, 0);
    EXPECT_EQ(Visible(pane->m_stripSavedCD), !c.cdEmpty);
    EXPECT_EQ(Visible(pane->m_stripSavedEF), !c.efEmpty);
    if (!c.cdEmpty) {
      EXPECT_EQ(ChildRect(*pane, pane->m_stripSavedCD), AreaOf(ScreenArea::SavedCD));
    }
  }
}

TEST_F(PaneTest, TimeRulerFollowsTheScaleAndItsScrollMovesTheChart) {
  GetOscScale().SetTimeOffset(4);
  pane->SetTimeRulerFromScale();
  const TimeRulerParams& p = pane->m_timeRuler.m_Params;
  EXPECT_EQ(p.m_nMinimum, 0);
  EXPECT_EQ(p.m_nMaximum, 20);
  EXPECT_EQ(p.m_nShown, 10);
  EXPECT_EQ(p.m_nShownLess1, 9);
  EXPECT_EQ(p.m_nPosition, 4);

  TimeRulerParams moved = p;
  moved.m_nPosition = 7;
  pane->OnTimeScroll(&moved, &pane->m_timeRuler);
  EXPECT_EQ(GetOscScale().m_nHorizontalOffset, 7);
  COscTimeRuler other;
  moved.m_nPosition = 2;
  pane->OnTimeScroll(&moved, &other);  // not the pane's ruler: ignored
  EXPECT_EQ(GetOscScale().m_nHorizontalOffset, 7);
}

TEST_F(PaneTest, DraggedLevelMarkerMovesTheChannel) {
  pane->LayoutChildren();
  GetOscScale().SetArea(pane->ChartRect(), true);
  GetOscScale().RecomputePercentAxis();
  pane->Init();
  hl::Pump();
  GlobalProps& props = GetGlobalProps();
  CursorRecord& marker = props.m_Styles[GlobalProps::STYLE_LEVEL_A];
  marker.m_pScale = &GetOscScale().m_Vertical[COscScale::AXIS_A];
  marker.m_nFlags = 1;
  props.UpdateChannelVoltScale(0, TRUE, 50);
  const CRect chart = pane->ChartRect();
  // A quarter down the chart: position 75, and the zero line follows the marker.
  const int dropped = chart.top + chart.Height() / 4;
  marker.m_dValue = marker.m_pScale->PixelToValue(dropped);
  pane->OnCursorChanged(&marker, &pane->m_cursorRuler);
  EXPECT_NEAR(props.m_Channels[0].m_nPosition, 75, 1);
  EXPECT_EQ(props.m_Channels[1].m_nPosition, 50);
  EXPECT_EQ(marker.m_dValue, 0.0);
  // Within one whole position of the chart's height.
  EXPECT_NEAR(marker.m_pScale->ValueToPixel(0.0), dropped, chart.Height() / 100 + 1);
}

// A saved square of +2.5/-1.5 V at 1 V/div: the drag moves its zero line to the dropped pixel and
// keeps the ten divisions of 1 V it was saved with (its strip still reads 1 V/div).
TEST_F(PaneTest, DraggedSavedSignalMarkerMovesTheSignalOnlyWhenItExists) {
  pane->LayoutChildren();
  COscScale& scale = GetOscScale();
  scale.SetArea(pane->ChartRect(), true);
  scale.RecomputePercentAxis();
  CScale& axis = scale.m_Vertical[COscScale::AXIS_C];
  axis.SetDivisions(-5.0, 5.0, 10, 1.0, false);
  axis.Recompute();
  GlobalProps& props = GetGlobalProps();
  CursorRecord& marker = props.m_Styles[GlobalProps::STYLE_SAVED_C];
  marker.m_pScale = &axis;
  marker.m_nFlags = 1;
  pane->Init();
  hl::Pump();
  const CRect chart = pane->ChartRect();
  const int dropped = chart.top + chart.Height() / 4;

  // No saved signal C: nothing moves.
  marker.m_dValue = axis.PixelToValue(dropped);
  pane->OnCursorChanged(&marker, &pane->m_cursorRuler);
  EXPECT_EQ(axis.ValueToPixel(0.0), (chart.top + chart.bottom) / 2);

  ASSERT_TRUE(LoadSquare("square.osg"));
  CSavedSignal* signal = GetSavedScopes()[0].FindSignal(0);
  ASSERT_NE(signal, nullptr);
  ASSERT_EQ(signal->m_pScale, &axis);
  ASSERT_DOUBLE_EQ(axis.m_dSpan, 10.0);
  // The saved scope's strip took its place under the chart.
  scale.SetArea(pane->ChartRect(), true);
  scale.RecomputePercentAxis();
  axis.Recompute();
  const CRect shown = pane->ChartRect();
  const int droppedNow = shown.top + shown.Height() / 4;
  marker.m_dValue = axis.PixelToValue(droppedNow);
  pane->OnCursorChanged(&marker, &pane->m_cursorRuler);
  EXPECT_NEAR(signal->m_nPosition, 75, 1);
  EXPECT_DOUBLE_EQ(axis.m_dSpan, 10.0) << "ten divisions of 1 V, as saved";
  EXPECT_DOUBLE_EQ(axis.m_dPerDivision, 1.0);
  EXPECT_NEAR(axis.ValueToPixel(0.0), droppedNow, shown.Height() / 100 + 1);
  // +2.5 V sits two and a half divisions above the zero line.
  EXPECT_NEAR(axis.ValueToPixel(0.0) - axis.ValueToPixel(2.5), shown.Height() / 4, 2);
  kvp::StartTextLog();
  pane->m_stripSavedCD.Redraw();
  bool perDivision = false;
  const std::string strip = std::string(FormatSavedSignalPerDiv(*signal).GetString()) + "/div";
  for (const kvp::DrawnText& t : kvp::DrawnTexts(pane->m_stripSavedCD.GetSafeHwnd()))
    perDivision |= t.text.find(strip) != std::string::npos;
  kvp::StopTextLog();
  EXPECT_TRUE(perDivision);
}

TEST_F(PaneTest, Screenshots) {
  pane->RedrawAll();
  hl::Pump();
  EXPECT_TRUE(kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("scope-pane-empty").c_str()));
  pane->ToggleDock();
  hl::Advance(2000);
  pane->RedrawAll();
  EXPECT_TRUE(kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("scope-pane-empty-undocked").c_str()));
}

}  // namespace
