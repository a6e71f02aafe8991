// The help pane and its list of measurements: the mode/page tables, page flags with the speed
// sensor, list rows and scrolling, link clicks, the probe refresh through the engine-tester board
// (reference-probe answers) or the board oscilloscope, the fit colours and the refresh timer.
#include <gtest/gtest.h>

#include "UiTest.h"
#include "../../core/tests/et/Kv310Stubs.h"

#include <ui/WndHelp.h>
#include <ui/WndListOfMeasure.h>

#include <core/GlobalProps.h>
#include <core/MotortesterData.h>

#include <platform/textlog.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

using namespace uitest;

namespace {

// ---- tables ----------------------------------------------------------------------------------

TEST(HelpTables, ModeToPageAndBack) {
  struct Case {
    int mode, page, modeBack;
  } cases[] = {
      {0, 1, 0},    {4, 6, 4},    {5, 7, 5},    {18, 7, 5},   {9, 13, 9},   {20, 13, 9},  {10, 2, 10},
      {21, 2, 10},  {11, 10, 11}, {14, 10, 11}, {12, 11, 12}, {13, 12, 13}, {15, 8, 15},  {16, 9, 16},
      {17, 15, 17}, {19, 16, 19}, {22, 3, 22},  {23, 4, 23},  {24, 5, 24},  {25, 14, 25}, {26, 17, 26},
      {43, 34, 43}, {35, 26, 35}, {44, 1, 0},   {-1, 1, 0},   {1, 1, 0},    {3, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    EXPECT_EQ(CWndHelp::PageOfMode(c.mode), c.page);
    EXPECT_EQ(CWndHelp::ModeOfPage(c.page, 0), c.modeBack);
  }
  // Page 10 by the coil type; pages outside 1..34.
  EXPECT_EQ(CWndHelp::ModeOfPage(10, 1), 14);
  EXPECT_EQ(CWndHelp::ModeOfPage(10, -1), 11);
  EXPECT_EQ(CWndHelp::ModeOfPage(0, 0), 0);
  EXPECT_EQ(CWndHelp::ModeOfPage(35, 0), 0);
}

std::string Used(const CWndHelp::Flags& flags) {
  std::string s;
  for (int c = 0; c < CWndHelp::CONNECTORS; ++c)
    if (flags[c]) s += std::to_string(c);
  return s;
}

TEST(HelpTables, PageFlags) {
  struct Case {
    int page;
    BOOL et;
    int speed;  // speed-sensor code
    int probeAt4, coil;
    const char* used;
  } cases[] = {
      {1, TRUE, 0, 0, 0, "0123456789"},  {0, FALSE, 0, 0, 0, "0123456789"}, {35, TRUE, 1, 0, 0, "0123456789"},
      {2, TRUE, 0, 0, 0, "01234"},       {2, FALSE, 0, 0, 0, "01"},         {3, TRUE, 1, 0, 0, "0"},
      {4, TRUE, 0, 0, 0, "2"},           {4, FALSE, 0, 0, 0, "1"},          {6, TRUE, 0, 0, 0, "6789"},
      {7, TRUE, 1, 0, 0, "0239"},        {7, TRUE, 4, 0, 0, "0235"},        {7, TRUE, 2, 0, 0, "0238"},
      {7, TRUE, 3, 0, 0, "0238"},        {7, TRUE, 0, 0, 0, "023"},         {9, TRUE, 0, 0, 0, "06"},
      {10, TRUE, 1, 0, 0, "49"},         {11, TRUE, 0, 112, 1, "48"},       {11, TRUE, 0, 112, 0, "49"},
      {12, TRUE, 0, 110, 1, "49"},       {13, TRUE, 4, 0, 0, "56"},         {14, TRUE, 2, 0, 0, "012348"},
      {15, TRUE, 0, 0, 0, "5678"},       {16, TRUE, 0, 0, 0, "5"},          {17, TRUE, 1, 0, 0, "0239"},
      {17, FALSE, 1, 0, 0, "01"},        {30, TRUE, 4, 0, 0, "0235"},       {18, TRUE, 2, 0, 0, "08"},
      {18, FALSE, 2, 0, 0, "0"},         {32, TRUE, 1, 0, 0, "09"},         {23, TRUE, 4, 0, 0, "015"},
      {23, FALSE, 4, 0, 0, "01"},        {25, TRUE, 1, 0, 0, "0"},          {26, TRUE, 1, 0, 0, "01"},
      {34, TRUE, 0, 0, 0, "23"},         {34, FALSE, 0, 0, 0, "01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("page " + std::to_string(c.page) + " et " + std::to_string(c.et) + " speed " + std::to_string(c.speed));
    EXPECT_EQ(Used(CWndHelp::PageFlags(c.page, c.et, c.speed, c.probeAt4, c.coil)), c.used);
  }
}

TEST(HelpTables, ListRowsAndProbeNames) {
  struct Row {
    int page;
    BOOL et;
    int row;
  } rows[] = {{1, TRUE, 0}, {20, TRUE, 0}, {21, TRUE, 1}, {31, TRUE, 11}, {32, TRUE, 12}, {34, TRUE, 14},
              {21, FALSE, 0}, {31, FALSE, 0}, {32, FALSE, 1}, {34, FALSE, 3}, {5, FALSE, 0}};
  for (const Row& r : rows) EXPECT_EQ(CWndHelp::ListRowOfPage(r.page, r.et), r.row) << r.page << " et " << r.et;
  std::map<int, std::string> names = {{0, "no sensor"},         {1, "voltage"},         {2, "current 50A"},
                                      {3, "current 500A"},      {4, ""},                {11, "high-voltage"},
                                      {12, "SYNC1"},            {13, "ignition 2x"},    {15, "current 5A"},
                                      {110, "high-voltage C4"}, {111, "high-voltage N"}, {112, "high-voltage N4"},
                                      {200, ""}};
  for (auto& [code, name] : names) EXPECT_EQ(std::string(CWndHelp::ProbeName(code)), name) << code;
}

TEST(HelpTables, FieldColours) {
  const COLORREF grey = CWndHelp::kGreyField, green = CWndHelp::kGreenField, red = CWndHelp::kRedField;
  struct Case {
    const char* name;
    BOOL used;
    int code;
    BOOL fits;
    int connector, mode;
    BOOL et;
    COLORREF colour;
  } cases[] = {
      {"unused connector", FALSE, 1, TRUE, 0, 0, TRUE, grey},
      {"no probe found", TRUE, 0, TRUE, 0, 0, TRUE, grey},
      {"voltage probe on connector 0", TRUE, 1, TRUE, 0, 5, TRUE, green},
      {"current probe where only voltage belongs", TRUE, 2, TRUE, 0, 5, TRUE, red},
      {"fits flag clear", TRUE, 1, FALSE, 0, 5, TRUE, red},
      {"reference C4 on connector 4", TRUE, 110, TRUE, 4, 11, TRUE, green},
      {"board only: current on B in mode 23", TRUE, 15, TRUE, 1, 23, FALSE, green},
      {"board only: voltage on B in mode 23", TRUE, 1, TRUE, 1, 23, FALSE, red},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(CWndHelp::FieldColor(c.used, c.code, c.fits, c.connector, c.mode, c.et, 0)), Hex(c.colour));
  }
}

// ---- the panes -------------------------------------------------------------------------------

// An engine-tester board with scripted probes and reference-probe answer.
class FakeTester : public ettest::StubMotortester_6 {
 public:
  bool ready = true;
  int inputCount = 10;
  int countResult = 0, readResult = 0;
  int kinds[10] = {1, 14, 2, 3, 11, 6, 8, 9, 7, 13};
  uint8_t valid[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  int referenceAnswer = 0;
  int referenceCode = 110;
  int readCalls = 0, referenceCalls = 0;
  bool IsReady() override { return ready; }
  int GetInputCount(int16_t* count) override {
    *count = static_cast<int16_t>(inputCount);
    return countResult;
  }
  int ReadProbes(uint16_t count, const uint8_t* inputs, ProbeInputRecord* records) override {
    ++readCalls;
    for (uint16_t i = 0; i < count; ++i) {
      records[i] = ProbeInputRecord{};
      records[i].input = inputs[i];
      records[i].probe.kind = kinds[inputs[i]];
      records[i].valid = valid[inputs[i]];
    }
    return readResult;
  }
  int FindReferenceProbe(int32_t* code) override {
    ++referenceCalls;
    *code = referenceCode;
    return referenceAnswer;
  }
};

// The board oscilloscope of a board without the engine tester.
class FakeScope : public ettest::StubOscilloscope_2 {
 public:
  int kinds[2] = {1, 2};
  int results[2] = {0, 0};
  int calls = 0;
  int GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) override {
    ++calls;
    if (results[channel] != 0) {
      probe->kind = 99;  // garbage a failed query may leave behind
      return results[channel];
    }
    probe->kind = kinds[channel];
    return 0;
  }
};

struct HelpFixture {
  kvp::HeadlessWorld world{1024, 768};
  Host host;
  FakeTester tester;
  FakeScope scope;
  std::unique_ptr<CWndHelp> help;
  explicit HelpFixture(bool engineTester, int helpMode = 0, int coil = 0, SIZE size = {800, 560}) {
    CMotortesterData& data = *GetMotortesterDevice();
    data.Reset();
    tester.ready = engineTester;
    data.SetInterfaces(&tester, nullptr, nullptr, &scope);
    data.SetEngineType(CMotortesterData::ENGINE_SPARK);
    data.SetCoilType(CMotortesterData::ENGINE_SPARK, coil);
    data.SetSpeedSensorType(CMotortesterData::ENGINE_SPARK, 1);  // connector 9
    data.SetHelpMode(helpMode);
    EXPECT_TRUE(host.CreateTop(0, 0, size.cx, size.cy));
    help = std::make_unique<CWndHelp>();
    EXPECT_TRUE(help->Create("Help", WS_CHILD, CRect(0, 0, size.cx, size.cy), &host, 1019));
  }
  ~HelpFixture() {
    help.reset();
    GetMotortesterDevice()->Reset();
  }
  CWndListOfMeasure& List() { return help->m_List; }
  CRect LinkRect(int page) {
    CRect r;
    List().LinkOfPage(page)->GetWindowRect(&r);
    List().ScreenToClient(&r);
    return r;
  }
};

TEST(ListOfMeasure, LinksRangesAndRows) {
  struct Case {
    bool et;
    int visibleLinks, maxScroll;
  } cases[] = {{true, 34, 14}, {false, 23, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.et);
    HelpFixture f(c.et);
    f.help->Activate(0);
    hl::Pump();
    CWndListOfMeasure& list = f.List();
    int visible = 0;
    for (auto& link : list.m_Links) visible += link.IsWindowVisible() ? 1 : 0;
    EXPECT_EQ(visible, c.visibleLinks);
    int lo = -1, hi = -1;
    list.m_ScrollBar.GetScrollRange(&lo, &hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, c.maxScroll);
    CRect client;
    list.GetClientRect(&client);
    const int e = client.Height() / 20;
    // "All connectors" first, then the four meters, then (with the board) the engine tester's.
    EXPECT_EQ(f.LinkRect(1).top, 0);
    EXPECT_EQ(f.LinkRect(2).top, e);
    EXPECT_EQ(f.LinkRect(5).top, 4 * e);
    EXPECT_EQ(f.LinkRect(17).top, (c.et ? 16 : 5) * e);
    EXPECT_EQ(f.LinkRect(1).Width(), client.Width() - 20);
    // At the maximum the last link stands in the bottom row.
    list.ScrollToRow(99);
    EXPECT_EQ(list.ScrollPos(), c.maxScroll);
    EXPECT_EQ(f.LinkRect(34).top, 19 * e);
    EXPECT_EQ(list.m_ScrollBar.GetScrollPos(), c.maxScroll);
    EXPECT_STREQ(list.LinkOfPage(1)->text, "\x85 All connectors \x85");
    EXPECT_STREQ(list.LinkOfPage(7)->text, "Voltmeter, Ampermeter");
  }
}

TEST(ListOfMeasure, Scrolling) {
  HelpFixture f(true);
  CWndListOfMeasure& list = f.List();
  struct Step {
    int from;
    UINT code;
    UINT pos;
    int to;
  } steps[] = {
      {1, SB_PAGEUP, 0, 0},     {0, SB_LINEUP, 0, 0},       {0, SB_LINEDOWN, 0, 1},  {5, SB_PAGEDOWN, 0, 7},
      {13, SB_PAGEDOWN, 0, 14}, {14, SB_LINEDOWN, 0, 14},   {7, SB_TOP, 0, 0},       {3, SB_BOTTOM, 0, 14},
      {3, SB_THUMBTRACK, 9, 9}, {3, SB_THUMBPOSITION, 6, 6}, {4, SB_ENDSCROLL, 12, 4},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::to_string(s.from) + " code " + std::to_string(s.code));
    list.ScrollToRow(s.from);
    list.SendMessage(WM_VSCROLL, MAKEWPARAM(s.code, s.pos), static_cast<LPARAM>(list.m_ScrollBar.GetSafeHwnd()));
    EXPECT_EQ(list.ScrollPos(), s.to);
    EXPECT_EQ(list.m_ScrollBar.GetScrollPos(), s.to);
  }
}

TEST(HelpPane, ActivationSelectsThePageOfTheModeWithFocusAndScroll) {
  struct Case {
    bool et;
    int mode;
    int page, row, modeAfter;
  } cases[] = {
      {true, 0, 1, 0, 0},     {true, 99, 1, 0, 0},    {true, 18, 7, 0, 5},  {true, 20, 13, 0, 9},
      {true, 21, 2, 0, 10},   {true, 34, 25, 5, 34},  {true, 43, 34, 14, 43}, {false, 34, 25, 0, 34},
      {false, 43, 34, 3, 43},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + " et " + std::to_string(c.et));
    HelpFixture f(c.et, c.mode);
    f.help->Activate(3);
    hl::Pump();
    EXPECT_TRUE(f.help->IsWindowVisible());
    EXPECT_EQ(f.help->m_nPage, c.page);
    EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), c.modeAfter);
    EXPECT_EQ(f.List().ScrollPos(), c.row);
    EXPECT_EQ(::GetFocus(), f.List().LinkOfPage(c.page)->GetSafeHwnd());
  }
}

TEST(HelpPane, LinkClickChangesThePageButNotFocusOrScroll) {
  HelpFixture f(true, 34);  // page 25, list at row 5
  f.help->Activate(3);
  hl::Pump();
  ASSERT_EQ(f.List().ScrollPos(), 5);
  HWND focusBefore = ::GetFocus();
  f.help->SelectPage(3, FALSE);
  EXPECT_EQ(f.help->m_nPage, 3);
  EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), 22);
  EXPECT_EQ(f.List().ScrollPos(), 5);
  EXPECT_EQ(::GetFocus(), focusBefore);
  // A real click on the "Fuel Tank Vent Valve" link (page 20, in row 14 at this position): the
  // link takes the focus itself, the pane moves neither it nor the list.
  CXPCtrlHyperText* link = f.List().LinkOfPage(20);
  hl::Click(link->GetSafeHwnd(), POINT{5, 5});
  hl::Pump();
  EXPECT_EQ(f.help->m_nPage, 20);
  EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), 29);
  EXPECT_EQ(f.List().ScrollPos(), 5);
  EXPECT_EQ(::GetFocus(), link->GetSafeHwnd());
  // A page outside 1..34 takes "All connectors" with focus and row 0 even without the request.
  f.help->SelectPage(40, FALSE);
  EXPECT_EQ(f.help->m_nPage, 1);
  EXPECT_EQ(f.List().ScrollPos(), 0);
  EXPECT_EQ(::GetFocus(), f.List().LinkOfPage(1)->GetSafeHwnd());
  EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), 0);
}

TEST(HelpPane, ReferenceProbeAnswers) {
  struct Case {
    const char* name;
    int mode, coil;
    int answer, code;
    int fits4;            // the fits flag of connector 4 afterwards
    const char* used;     // page flags afterwards
    int fits9;            // of connector 9 (-1: not checked)
  } cases[] = {
      {"mode 0, found on input 4", 0, 0, 0, 110, 1, "0123456789", -1},
      {"mode 0, found elsewhere", 0, 0, 31, 110, 0, "0123456789", -1},
      {"no reference probe ends the refresh", 0, 0, 35, 110, 0, "0123456789", -1},
      {"mode 11, C4", 11, 0, 0, 110, 1, "49", -1},
      {"mode 11, N elsewhere", 11, 0, 31, 111, 0, "49", -1},
      {"mode 11, N4 never fits", 11, 1, 0, 112, 0, "49", -1},
      {"mode 12, C4", 12, 0, 0, 110, 1, "49", 1},
      {"mode 12, N with a simple coil", 12, 0, 0, 111, 1, "49", 1},
      {"mode 12, N with a double coil", 12, 1, 0, 111, 0, "49", 1},
      {"mode 13, N4 with a double coil moves to connector 8", 13, 1, 0, 112, 1, "48", 1},
      {"mode 13, N4 with a simple coil", 13, 0, 0, 112, 0, "49", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HelpFixture f(true, c.mode, c.coil);
    f.tester.referenceAnswer = c.answer;
    f.tester.referenceCode = c.code;
    f.help->Activate(3);
    hl::Pump();
    EXPECT_EQ(f.tester.referenceCalls, 1);
    EXPECT_EQ(f.help->m_Records[4].probe.kind, c.code);
    EXPECT_EQ(f.help->m_Records[4].valid, c.fits4);
    EXPECT_EQ(Used(f.help->m_nPageFlags), c.used);
    if (c.fits9 >= 0) {
      EXPECT_EQ(f.help->m_Records[9].valid, c.fits9);
    }
    if (c.answer == 35) {
      // The refresh ended at connector 4: the later records keep what ReadProbes gave.
      EXPECT_EQ(f.help->m_Records[9].probe.kind, 13);
    }
  }
}

TEST(HelpPane, ModesTwelveAndThirteenWantTheDoubleIgnitionProbeOnNine) {
  HelpFixture f(true, 12);
  f.tester.kinds[9] = 5;  // a plain ignition probe
  f.help->Activate(3);
  hl::Pump();
  EXPECT_EQ(f.help->m_Records[9].valid, 0);
  EXPECT_EQ(Hex(CWndHelp::FieldColor(TRUE, 5, FALSE, 9, 12, TRUE, 0)), Hex(CWndHelp::kRedField));
}

TEST(HelpPane, FailingQueriesKeepTheRecords) {
  struct Case {
    int countResult, readResult;
    int reads;
  } cases[] = {{-1, 0, 0}, {0, -2, 1}};
  for (const Case& c : cases) {
    HelpFixture f(true);
    f.tester.countResult = c.countResult;
    f.tester.readResult = c.readResult;
    f.help->Activate(3);
    hl::Pump();
    EXPECT_EQ(f.tester.readCalls, c.reads);
    for (auto& record : f.help->m_Records) EXPECT_EQ(record.probe.kind, 0);
    EXPECT_EQ(f.tester.referenceCalls, 0);
  }
}

TEST(HelpPane, BoardOnlyAsksTheOscilloscope) {
  struct Case {
    const char* name;
    int mode;
    int kinds[2];
    int results[2];
    int shown[2];
    int fits[2];
  } cases[] = {
      {"any probe fits", 0, {1, 2}, {0, 0}, {1, 2}, {1, 1}},
      {"mode 22: only voltage", 22, {1, 2}, {0, 0}, {1, 2}, {1, 0}},
      {"mode 24: only voltage", 24, {3, 1}, {0, 0}, {3, 1}, {0, 1}},
      {"mode 23: current on B", 23, {2, 15}, {0, 0}, {2, 15}, {1, 1}},
      {"mode 23: voltage on B", 23, {2, 1}, {0, 0}, {2, 1}, {1, 0}},
      {"failed query shows no probe", 0, {1, 2}, {0, -3}, {1, 0}, {1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HelpFixture f(false, c.mode);
    for (int i = 0; i < 2; ++i) {
      f.scope.kinds[i] = c.kinds[i];
      f.scope.results[i] = c.results[i];
    }
    f.help->Activate(3);
    hl::Pump();
    EXPECT_EQ(f.tester.readCalls, 0);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(f.help->m_Records[i].probe.kind, c.shown[i]) << i;
      EXPECT_EQ(f.help->m_Records[i].valid, c.fits[i]) << i;
    }
  }
}

TEST(HelpPane, TimerRefreshesOnlyWhileShown) {
  HelpFixture f(true);
  f.help->Activate(3);
  hl::Pump();
  const int afterShow = f.tester.readCalls;
  EXPECT_EQ(afterShow, 1);
  hl::Advance(499);
  hl::Pump();
  EXPECT_EQ(f.tester.readCalls, 1);
  hl::Advance(1);
  hl::Pump();
  EXPECT_EQ(f.tester.readCalls, 2);
  hl::Advance(1000);
  hl::Pump();
  EXPECT_EQ(f.tester.readCalls, 4);
  EXPECT_TRUE(f.help->Deactivate());
  hl::Advance(5000);
  hl::Pump();
  EXPECT_EQ(f.tester.readCalls, 4);
  EXPECT_FALSE(f.help->IsWindowVisible());
}

TEST(HelpPane, PaintsTheConnectorTable) {
  struct Case {
    const char* shot;
    bool et;
    int mode;
    int redConnector;  // a wrong probe on it (-1: none)
  } cases[] = {
      {"help_pane_engine_tester.png", true, 0, -1},
      {"help_pane_board_only.png", false, 0, -1},
      {"help_pane_red_probe.png", true, 5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shot);
    HelpFixture f(c.et, c.mode);
    if (c.redConnector >= 0) f.tester.kinds[c.redConnector] = 2;  // current where only voltage belongs
    kvp::StartTextLog();
    f.help->Activate(3);
    hl::Pump();
    f.help->Redraw();
    auto log = kvp::DrawnTexts(f.help->GetSafeHwnd());
    kvp::StopTextLog();
    auto has = [&](const std::string& text) {
      return std::any_of(log.begin(), log.end(), [&](const kvp::DrawnText& d) { return d.text == text; });
    };
    EXPECT_TRUE(has("Help - Connect of probes"));
    EXPECT_EQ(has("K10"), c.et);
    EXPECT_EQ(has("Ch A"), !c.et);
    if (c.redConnector >= 0) {
      // The probe found is named; its field is red because only a voltage probe belongs there.
      EXPECT_TRUE(has("current 50A"));
      const int areaHeight = 560 - 24;
      const int tableTop = 12 + 10 + areaHeight / 20 + 15;
      EXPECT_EQ(Hex(Pixel(*f.help, 12 + 20 + 3, tableTop + 3)), Hex(CWndHelp::kRedField));
      EXPECT_EQ(Hex(Pixel(*f.help, 12 + 20 + 3, tableTop + (548 - 20 - tableTop) / 10 + 3)), Hex(CWndHelp::kGreyField));
    }
    if (c.et && c.redConnector < 0) {
      // A probe that does not fit its input is named with the probes that belong there.
      f.tester.valid[1] = 0;
      f.help->RefreshProbes();
      EXPECT_STREQ(f.help->ConnectorText(1), "indication [voltage, indication]");
    }
    if (!c.et) {
      EXPECT_TRUE(has("voltage"));
    }
    std::filesystem::create_directories(KV_SCREENSHOT_DIR);
    kvp::SaveWindowPng(f.help->GetSafeHwnd(), ScreenshotPath(c.shot).c_str());
  }
}

// The width of a text in a font of that face and height.
int TextWidth(const char* face, int height, const std::string& text) {
  HDC dc = CreateCompatibleDC(0);
  HFONT font = CreateFont(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  return size.cx;
}

// On the pane of the program's window on a 1024 x 768 screen the probe lists of empty connectors
// reach past the divider and long names of the list of measurements past its scroll bar: each such
// text ends in an ellipsis, so the user sees that it goes on.
TEST(HelpPane, TextsThatDoNotFitEndInAnEllipsis) {
  const SIZE size{1024, 738};
  HelpFixture f(true, 0, 0, size);
  for (int& kind : f.tester.kinds) kind = 0;  // nothing plugged in: "no sensor [...]"
  kvp::StartTextLog();
  f.help->Activate(3);
  hl::Pump();
  f.help->Redraw();
  hl::Pump();

  int cut = 0;
  for (const kvp::DrawnText& d : kvp::DrawnTexts(f.help->GetSafeHwnd())) {
    if (d.text.rfind("no sensor [", 0) != 0) continue;
    SCOPED_TRACE(d.text);
    const int width = TextWidth("Arial", -(size.cy / 32), d.text);
    if (width <= d.rect.right - d.rect.left) continue;
    ++cut;
    EXPECT_TRUE(d.flags & DT_END_ELLIPSIS);
  }
  EXPECT_GT(cut, 0) << "no probe list reached the divider";

  int cutLinks = 0;
  for (int page = 1; page <= 34; ++page) {
    CXPCtrlHyperText* link = f.List().LinkOfPage(page);
    for (const kvp::DrawnText& d : kvp::DrawnTexts(link->GetSafeHwnd())) {
      SCOPED_TRACE(d.text);
      CRect client;
      link->GetClientRect(&client);
      const int width = TextWidth("Times New Roman", CXPCtrlHyperText::FontHeightFor(client.Height()), d.text);
      if (width <= d.rect.right - d.rect.left) continue;
      ++cutLinks;
      EXPECT_TRUE(d.flags & DT_END_ELLIPSIS);
    }
  }
  kvp::StopTextLog();
  EXPECT_GT(cutLinks, 0) << "no link reached the scroll bar";
  kvp::SaveWindowPng(f.help->GetSafeHwnd(), ScreenshotPath("help_pane_cut_texts.png").c_str());
}

}  // namespace
