// The multimeter panes on the headless display with the virtual clock, on an engine that has no
// measurement library: the 250 ms poll and its error text, the delayed reset that measures
// nothing, the buttons and their guards, printing, the layout of both roles, the ohmmeter's mode
// buttons, zero and beeper stop.
#include "MeterPrintLog.h"

#include <meters/MeterPrint.h>
#include <meters/WndOhmeter.h>
#include <meters/WndVoltmeter.h>

#include <ui/dialogs/CommentDlg.h>
#include <ui/print/PrintDlg.h>
#include <ui/print/PrintQueue.h>

#include <core/ColorScheme.h>
#include <core/EngineRecords.h>
#include <core/MeasureEngine.h>
#include <core/MotortesterData.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/Screenshots.h>
#include <kvtest/Shell.h>
#include <kvtest/WhenOpen.h>

#include <core/Reg.h>

#include <platform/display.h>
#include <platform/print.h>
#include <platform/sound.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace {

namespace hl = kvp::headless;

const char* HostClass() {
  WNDCLASS known{};
  if (!GetClassInfo(0, "MeterTestHost", &known)) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "MeterTestHost";
    AfxRegisterClass(&wc);
  }
  return "MeterTestHost";
}

// A click posted as the mouse messages the button gets: a modal dialog it opens then starts before
// a check queued after it (WhenOpen) runs, instead of that check running ahead of the input.
void PostClick(CWnd& b) {
  CRect r;
  ::GetClientRect(b.GetSafeHwnd(), &r);
  const LPARAM at = MAKELPARAM(r.Width() / 2, r.Height() / 2);
  ::PostMessage(b.GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessage(b.GetSafeHwnd(), WM_LBUTTONUP, 0, at);
}

// The main window's pane area stand-in.
class Host : public CWnd {
 public:
  BOOL CreateTop(int width, int height) {
    return CreateEx(0, HostClass(), "host", WS_POPUP | WS_VISIBLE, 0, 0, width, height, 0, 0);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
};

// A child's rectangle in its parent's client coordinates.
CRect ChildRect(CWnd& child) {
  CRect r;
  ::GetWindowRect(child.GetSafeHwnd(), &r);
  POINT tl{r.left, r.top}, br{r.right, r.bottom};
  ::ScreenToClient(::GetParent(child.GetSafeHwnd()), &tl);
  ::ScreenToClient(::GetParent(child.GetSafeHwnd()), &br);
  return CRect(tl.x, tl.y, br.x, br.y);
}

class MeterPaneTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    GetPrintQueue()->Clear();
    host.CreateTop(1000, 700);
  }
  void TearDown() override {
    host.DestroyWindow();
    GetPrintQueue()->Clear();
    kvtest::CoreTest::TearDown();
  }
  template <typename Pane>
  void Create(Pane& pane, int width = 900, int height = 600) {
    ASSERT_TRUE(pane.Create("pane", WS_CHILD | WS_VISIBLE, CRect(0, 0, width, height), &host, 1010));
    hl::Pump();
  }
  void Click(CXPCtrlBtn& b) {
    CRect r;
    ::GetClientRect(b.GetSafeHwnd(), &r);
    hl::Click(b.GetSafeHwnd(), POINT{r.Width() / 2, r.Height() / 2});
  }
  // Presses a print button; in the print dialog it opens, `inDialog` acts (unset: Escape, which
  // drops the pending item). False when no print dialog opened.
  bool Print(CXPCtrlBtn& b, std::function<void(CPrintDlg&)> inDialog = nullptr) {
    const int before = prints.dialogs;
    PostClick(b);
    kvtest::WhenOpen<CPrintDlg>([inDialog](CPrintDlg& dlg) {
      if (inDialog) {
        inDialog(dlg);
      } else {
        hl::PressKey(VK_ESCAPE);
      }
    });
    hl::Pump();
    return prints.dialogs == before + 1;
  }

  kvp::HeadlessWorld world;
  Host host;
  CMeasureEngine engine;
  meterstest::MeterPrintLog prints;
};

TEST_F(MeterPaneTest, ThePollRunsEvery250msWhileActive) {
  CWndVoltmeter pane(&engine);
  Create(pane);
  pane.Activate(0);
  EXPECT_EQ(pane.m_bRunning, 1);
  EXPECT_EQ(pane.m_pReading, &engine.GetMeterReading(0));
  EXPECT_EQ(engine.m_nSelectedVoltChannel, 0);
  hl::Advance(249);
  EXPECT_TRUE(pane.m_strValue.IsEmpty());
  hl::Advance(1);
  EXPECT_EQ(std::string(pane.m_strValue), "Internal error: no interface");
  EXPECT_EQ(pane.m_bErrorShown, 1);
  EXPECT_TRUE(pane.m_strMin.IsEmpty());

  EXPECT_TRUE(pane.Deactivate());
  EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), 22);
  EXPECT_EQ(pane.m_pReading, nullptr);
  EXPECT_FALSE(pane.IsWindowVisible());
  pane.m_strValue = "kept";
  hl::Advance(1000);
  EXPECT_EQ(std::string(pane.m_strValue), "kept");
}

TEST_F(MeterPaneTest, ResetShowsZerosForFourTicksWithoutMeasuring) {
  CWndVoltmeter pane(&engine);
  pane.m_nMode = CWndVoltmeter::ROLE_AMMETER;
  Create(pane);
  pane.Activate(0);
  EXPECT_EQ(engine.m_nSelectedVoltChannel, 1);
  MeterReading& r = *pane.m_pReading;
  r.m_Ranges.m_nKind = 2;
  r.m_dMin = -1.0;
  r.m_dMax = 4.0;
  r.m_bMinMaxSet = 1;
  pane.m_strValue = "before";
  Click(pane.m_Child[CWndVoltmeter::ID_ZERO]);
  EXPECT_EQ(pane.m_nResetCount, 4);
  for (int tick = 1; tick <= 3; ++tick) {
    hl::Advance(250);
    EXPECT_EQ(std::string(pane.m_strMin), "0.0A") << tick;
    EXPECT_EQ(std::string(pane.m_strMax), "0.0A") << tick;
    EXPECT_EQ(std::string(pane.m_strValue), "before") << "no measurement in tick " << tick;
    EXPECT_EQ(r.m_bMinMaxSet, 1) << tick;
  }
  hl::Advance(250);
  EXPECT_EQ(std::string(pane.m_strValue), "before");
  EXPECT_EQ(r.m_bMinMaxSet, 0);
  EXPECT_DOUBLE_EQ(r.m_dMin, 0.0);
  EXPECT_DOUBLE_EQ(r.m_dMax, 0.0);
  hl::Advance(250);
  EXPECT_EQ(std::string(pane.m_strValue), "Internal error: no interface");
  EXPECT_TRUE(pane.m_strMin.IsEmpty());
  pane.Deactivate();
  EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), 23);
}

TEST_F(MeterPaneTest, ZeroTakesOnlyARawValueStrictlyInsideTheBand) {
  struct Case {
    const char* name;
    int mode;
    double raw;
    bool zeroed;
  } cases[] = {
      // Full scale 50: band 2 in the one- and two-decimal modes, 1 in the others.
      {"one decimal inside", 2, 1.99, true},     {"one decimal at +band", 2, 2.0, false},
      {"one decimal at -band", 2, -2.0, false},  {"two decimals inside", 15, -1.99, true},
      {"magnitude inside", 1, 0.99, true},       {"magnitude at band", 1, 1.0, false},
      {"integer beyond", 3, 1.5, false},         {"other mode inside", 6, -0.5, true},
  };
  for (const Case& c : cases) {
    kvp::SoundRecording sounds;
    CWndVoltmeter pane(&engine);
    pane.m_nMode = CWndVoltmeter::ROLE_AMMETER;
    Create(pane);
    pane.Activate(0);
    MeterReading& r = *pane.m_pReading;
    r.ClearValues();
    r.m_Ranges.RemoveAll();
    r.m_Ranges.Add(50.0);
    r.m_nCachedRange = 0;
    r.m_Ranges.m_nKind = c.mode;
    r.m_dRawValue = c.raw;
    Click(pane.m_Child[CWndVoltmeter::ID_CALIBRATE]);
    hl::Advance(750);
    EXPECT_DOUBLE_EQ(r.m_dOffset, 0.0) << c.name;
    EXPECT_TRUE(sounds.Events().empty()) << c.name;
    hl::Advance(250);
    EXPECT_DOUBLE_EQ(r.m_dOffset, c.zeroed ? c.raw : 0.0) << c.name;
    EXPECT_EQ(sounds.Events().size(), c.zeroed ? 0u : 1u) << c.name;
    pane.Deactivate();
    pane.DestroyWindow();
  }
}

TEST_F(MeterPaneTest, ButtonsWithoutAReadingChangeNothing) {
  CWndVoltmeter pane(&engine);
  pane.m_nMode = CWndVoltmeter::ROLE_AMMETER;
  Create(pane);
  MeterReading& r = engine.GetMeterReading(1);
  r.m_bMinMaxSet = 1;
  r.m_dMax = 3.0;
  Click(pane.m_Child[CWndVoltmeter::ID_ACDC]);
  Click(pane.m_Child[CWndVoltmeter::ID_ONOFF]);
  Click(pane.m_Child[CWndVoltmeter::ID_ZERO]);
  Click(pane.m_Child[CWndVoltmeter::ID_CALIBRATE]);
  Click(pane.m_Child[CWndVoltmeter::ID_PRINT]);
  EXPECT_EQ(r.m_bAC, 0);
  EXPECT_EQ(r.m_bMinMaxSet, 1);
  EXPECT_DOUBLE_EQ(r.m_dMax, 3.0);
  EXPECT_EQ(pane.m_nResetCount, 0);
  EXPECT_EQ(pane.m_nZeroCount, 0);
  EXPECT_TRUE(prints.items.empty());
}

TEST_F(MeterPaneTest, AcDcToTheSameValueKeepsTheStatisticsAChangeClearsThem) {
  CWndVoltmeter pane(&engine);
  Create(pane);
  pane.Activate(0);
  MeterReading& r = *pane.m_pReading;
  r.m_bAC = 1;  // the button still shows DC: its click steps it to AC, the value the reading has
  r.m_bMinMaxSet = 1;
  r.m_dMax = 5.0;
  Click(pane.m_Child[CWndVoltmeter::ID_ACDC]);
  EXPECT_EQ(r.m_bMinMaxSet, 1);
  EXPECT_DOUBLE_EQ(r.m_dMax, 5.0);
  Click(pane.m_Child[CWndVoltmeter::ID_ACDC]);  // back to DC: a change
  EXPECT_EQ(r.m_bAC, 0);
  EXPECT_EQ(r.m_bMinMaxSet, 0);
  EXPECT_DOUBLE_EQ(r.m_dMax, 0.0);

  // Min/Max off hides MIN and MAX, disables the reset and stops tracking; on again restores them.
  Click(pane.m_Child[CWndVoltmeter::ID_ONOFF]);
  EXPECT_FALSE(pane.m_Child[CWndVoltmeter::ID_MIN].IsWindowVisible());
  EXPECT_FALSE(pane.m_Child[CWndVoltmeter::ID_ZERO].IsWindowEnabled());
  EXPECT_EQ(r.m_bActive, 0);
  Click(pane.m_Child[CWndVoltmeter::ID_ONOFF]);
  EXPECT_TRUE(pane.m_Child[CWndVoltmeter::ID_MAX].IsWindowVisible());
  EXPECT_TRUE(pane.m_Child[CWndVoltmeter::ID_ZERO].IsWindowEnabled());
  EXPECT_EQ(r.m_bActive, 1);
  pane.Deactivate();
}

TEST_F(MeterPaneTest, PrintQueuesTheValuesAndTheAmmeterRoundsItsStatistics) {
  struct Case {
    const char* name;
    int role;
    int mode;
    double min, max;
    int type;
    double printedMin, printedMax;
  } cases[] = {
      {"voltmeter as is", 1, 2, 1.26, 3.34, 0, 1.26, 3.34},
      {"ammeter one decimal", 2, 2, 1.26, 3.34, 1, 1.3, 3.3},
      {"ammeter integer", 2, 3, 1.26, 3.54, 1, 1.0, 4.0},
      {"ammeter two decimals", 2, 15, 1.256, 3.344, 1, 1.26, 3.34},
      {"ammeter other mode", 2, 1, 1.26, 3.34, 1, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    prints.Clear();
    CWndVoltmeter pane(&engine);
    pane.m_nMode = c.role;
    Create(pane);
    pane.Activate(0);
    MeterReading& r = *pane.m_pReading;
    r.m_Ranges.m_nKind = c.mode;
    r.m_dMin = c.min;
    r.m_dMax = c.max;
    r.m_bAC = 1;
    pane.m_dLastValue = 2.5;
    // The print dialog opens over the item, pending as the last one in the queue.
    int pendingType = -1;
    double queued[3] = {};
    int flags[2] = {};
    ASSERT_TRUE(Print(pane.m_Child[CWndVoltmeter::ID_PRINT], [&](CPrintDlg&) {
      const CPrintQueue::CPrintQueueItem* last = GetPrintQueue()->GetLastItem();
      if (last && last->data && !last->queued) {
        pendingType = last->data->GetType();
        CString comment;
        last->data->GetMeterValues(queued[0], queued[1], queued[2], flags[0], flags[1], comment);
      }
      hl::PressKey(VK_ESCAPE);
    })) << c.name;
    EXPECT_EQ(pendingType, c.type) << c.name;
    EXPECT_DOUBLE_EQ(queued[0], 2.5) << c.name;
    EXPECT_NEAR(queued[1], c.printedMin, 1e-12) << c.name;
    EXPECT_NEAR(queued[2], c.printedMax, 1e-12) << c.name;
    EXPECT_EQ(flags[0], 1) << c.name;
    EXPECT_EQ(flags[1], 1) << c.name;
    EXPECT_EQ(GetPrintQueue()->GetCount(), 0) << "Escape dropped the pending item";
    ASSERT_EQ(prints.items.size(), 1u) << c.name;
    const MeterPrintItem& item = prints.items[0];
    EXPECT_EQ(item.type, c.type) << c.name;
    EXPECT_DOUBLE_EQ(item.value, 2.5) << c.name;
    EXPECT_NEAR(item.min, c.printedMin, 1e-12) << c.name;
    EXPECT_NEAR(item.max, c.printedMax, 1e-12) << c.name;
    EXPECT_EQ(item.ac, 1) << c.name;
    EXPECT_EQ(item.minMax, 1) << c.name;
    EXPECT_TRUE(item.comment.IsEmpty());
    EXPECT_EQ(prints.dialogs, 1) << c.name;
    pane.Deactivate();
    pane.DestroyWindow();
  }
  // A refused item opens nothing.
  prints.Clear();
  prints.refuse = true;
  CWndOhmeter ohm(&engine);
  Create(ohm);
  Click(ohm.m_Child[CWndOhmeter::ID_PRINT]);
  EXPECT_TRUE(prints.items.empty());
  EXPECT_EQ(prints.dialogs, 0);
  EXPECT_EQ(GetPrintQueue()->GetCount(), 0);
  prints.refuse = false;
  int pendingType = -1;
  EXPECT_TRUE(Print(ohm.m_Child[CWndOhmeter::ID_PRINT], [&](CPrintDlg&) {
    if (const CPrintQueue::CPrintQueueItem* last = GetPrintQueue()->GetLastItem(); last && last->data)
      pendingType = last->data->GetType();
    hl::PressKey(VK_ESCAPE);
  }));
  EXPECT_EQ(pendingType, kPrintItemResistance);
  ASSERT_EQ(prints.items.size(), 1u);
  EXPECT_EQ(prints.items[0].type, kPrintItemResistance);
  EXPECT_FALSE(prints.items[0].meterValues);
}

// No CUPS destination: the report becomes a PDF in the folder the platform is told.
class NoCups : public kvp::print::CupsBackend {
 public:
  bool DefaultDestination(kvp::print::CupsDestination*) override { return false; }
  bool Submit(const std::string&, const std::string&, const std::string&, int) override { return false; }
};

// The voltmeter's reading goes through the print dialog's Add (with a comment) into the queue,
// and the next print prints the page; the PDF is read back with poppler and kept for people.
TEST_F(MeterPaneTest, AVoltmeterReadingPrintsToAPdfPage) {
  NoCups cups;
  kvp::print::CupsBackend* before = kvp::print::SetCupsBackend(&cups);
  const std::string folder = std::string(std::getenv("HOME")) + "/meter-reports";
  std::filesystem::create_directories(folder);
  CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\KV310Platform\\Printing", "PdfFolder", folder.c_str());
  CPrintQueue* queue = GetPrintQueue();
  queue->m_strVehicle = "Test bench car";
  queue->m_strLicencePlate = "KV 310";

  CWndVoltmeter pane(&engine);
  Create(pane);
  pane.Activate(0);
  MeterReading& r = *pane.m_pReading;
  r.m_Ranges.m_nKind = 1;
  r.m_dMin = 12.1;
  r.m_dMax = 12.9;
  r.m_bAC = 0;
  pane.m_dLastValue = 12.5;
  // Add, with a comment.
  ASSERT_TRUE(Print(pane.m_Child[CWndVoltmeter::ID_PRINT], [](CPrintDlg& dlg) {
    PostClick(dlg.m_BtnAdd);
    kvtest::WhenOpen<CCommentDlg>([](CCommentDlg& comment) {
      ::SetDlgItemText(comment.GetSafeHwnd(), 1050, "Battery at rest");
      RECT b;
      ::GetClientRect(comment.m_BtnOK.GetSafeHwnd(), &b);
      hl::Click(comment.m_BtnOK.GetSafeHwnd(), POINT{b.right / 2, b.bottom / 2});
    });
  }));
  ASSERT_EQ(queue->GetCount(), 1);
  EXPECT_EQ(queue->CountFilled(), 1);
  // The next reading's dialog prints the queue and drops its own pending item.
  pane.m_dLastValue = 13.8;
  const std::string lastBefore = kvp::print::LastPdfFile();
  ASSERT_TRUE(Print(pane.m_Child[CWndVoltmeter::ID_PRINT], [](CPrintDlg& dlg) {
    RECT b;
    ::GetClientRect(dlg.m_BtnPrint.GetSafeHwnd(), &b);
    hl::Click(dlg.m_BtnPrint.GetSafeHwnd(), POINT{b.right / 2, b.bottom / 2});
  }));
  pane.Deactivate();
  kvp::print::SetCupsBackend(before);
  EXPECT_EQ(queue->GetCount(), 1) << "only the added reading stays";

  const std::string pdf = kvp::print::LastPdfFile();
  ASSERT_NE(pdf, lastBefore) << "a report was printed";
  const std::string text = kvtest::CommandOutput("pdftotext -layout '" + pdf + "' - 2>/dev/null");
  for (const char* expected : {"Dravix Scope Report", "Test bench car", "KV 310", "Measure of voltage",
                               "U = 12.5V", "min 12.1V", "max 12.9V", "Battery at rest"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
  EXPECT_EQ(text.find("13.8"), std::string::npos) << "the pending reading is not printed";
  const std::string info = kvtest::CommandOutput("pdfinfo '" + pdf + "' 2>/dev/null");
  const size_t pages = info.find("Pages:");
  ASSERT_NE(pages, std::string::npos) << info;
  EXPECT_EQ(std::atoi(info.c_str() + pages + 6), 1);
  const char* artifacts = std::getenv("KV_ARTIFACT_DIR");
  ASSERT_NE(artifacts, nullptr);
  std::filesystem::create_directories(artifacts);
  std::filesystem::copy_file(pdf, std::string(artifacts) + "/voltmeter-report.pdf",
                             std::filesystem::copy_options::overwrite_existing);
}

TEST_F(MeterPaneTest, LayoutOfBothRolesAtTwoSizes) {
  struct Case {
    int role, width, height;
    CRect title, value, min, max, acdc, onOff, zero, print;
  } cases[] = {
      // Field 700 wide from (100,100), 200 high; MIN/MAX 100 high; row at 440, (600-300)/4.5 = 66
      // high, buttons 132 wide; the voltmeter's OnOff at 100 + 700/3 - 660/15.
      {1, 900, 600, {30, 0, 900, 90}, {100, 100, 800, 300}, {100, 320, 440, 420}, {460, 320, 800, 420},
       {100, 460, 232, 526}, {289, 460, 421, 526}, {465, 460, 597, 526}, {641, 460, 773, 526}},
      {2, 900, 600, {30, 0, 900, 90}, {100, 100, 800, 300}, {100, 320, 440, 420}, {460, 320, 800, 420},
       {100, 460, 232, 526}, {242, 460, 374, 526}, {384, 460, 516, 526}, {668, 460, 800, 526}},
      // 800 x 500: field 600 x 166, MIN/MAX 83 high, row at 409, (500-266)/4.5 = 52 high, 112 wide.
      {2, 800, 500, {30, 0, 800, 90}, {100, 100, 700, 266}, {100, 286, 390, 369}, {410, 286, 700, 369},
       {100, 409, 212, 461}, {222, 409, 334, 461}, {344, 409, 456, 461}, {588, 409, 700, 461}},
  };
  for (const Case& c : cases) {
    CWndVoltmeter pane(&engine);
    pane.m_nMode = c.role;
    Create(pane, c.width, c.height);
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_TITLE]), c.title) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_CURRENT]), c.value) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_MIN]), c.min) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_MAX]), c.max) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_ACDC]), c.acdc) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_ONOFF]), c.onOff) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_ZERO]), c.zero) << c.role << " " << c.width;
    EXPECT_EQ(ChildRect(pane.m_Child[CWndVoltmeter::ID_PRINT]), c.print) << c.role << " " << c.width;
    EXPECT_EQ(pane.m_Child[CWndVoltmeter::ID_CALIBRATE].IsWindowVisible() != FALSE, c.role == 2);
    pane.DestroyWindow();
  }
  // The ohmmeter's row lies 160 px below its field: 900 x 600 → row at 460.
  CWndOhmeter ohm(&engine);
  Create(ohm);
  EXPECT_EQ(ChildRect(ohm.m_Child[CWndOhmeter::ID_CURRENT]), CRect(100, 100, 800, 300));
  EXPECT_EQ(ChildRect(ohm.m_Child[CWndOhmeter::ID_OHM]), CRect(100, 460, 232, 526));
  EXPECT_EQ(ChildRect(ohm.m_Child[CWndOhmeter::ID_ZERO]), CRect(526, 460, 658, 526));
  EXPECT_EQ(ChildRect(ohm.m_Child[CWndOhmeter::ID_PRINT]), CRect(668, 460, 800, 526));
}

// The box of the window's pixels of one colour (empty when none).
CRect InkBox(CWnd& window, COLORREF colour) {
  CRect client;
  window.GetClientRect(&client);
  CRect box(client.right, client.bottom, -1, -1);
  for (int y = 0; y < client.bottom; ++y)
    for (int x = 0; x < client.right; ++x)
      if (kvp::WindowPixel(window.GetSafeHwnd(), x, y) == colour) box.UnionRect(box, CRect(x, y, x + 1, y + 1));
  return box.right < 0 ? CRect() : box;
}

// The one-line captions ("=/~", "Min/Max", "Print") lie whole inside their buttons, clear of the
// edges, on the program's pane as on smaller ones.
TEST_F(MeterPaneTest, ButtonCaptionsFitTheirButtons) {
  struct Case {
    const char* name;
    int role, width, height;
    const char* screenshot;
  } const cases[] = {
      {"voltmeter on the program's pane", 1, 1024, 738, "voltmeter-buttons"},
      {"ammeter on the program's pane", 2, 1024, 738, "ammeter-buttons"},
      {"voltmeter, 900 x 600", 1, 900, 600, nullptr},
      {"ammeter, 800 x 500", 2, 800, 500, nullptr},
  };
  host.MoveWindow(0, 0, 1024, 738);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CWndVoltmeter pane(&engine);
    pane.m_nMode = c.role;
    kvp::StartTextLog();
    Create(pane, c.width, c.height);
    for (int id : {CWndVoltmeter::ID_ACDC, CWndVoltmeter::ID_ONOFF, CWndVoltmeter::ID_PRINT}) {
      CXPCtrlBtn& b = pane.m_Child[id];
      const std::vector<kvp::DrawnText> drawn = kvp::DrawnTexts(b.GetSafeHwnd());
      ASSERT_FALSE(drawn.empty()) << id;
      // The caption's box is the face inside the frame; a cut caption's ink reaches its edges.
      const CRect face(drawn.back().rect);
      const CRect ink = InkBox(b, GetSchemeColor(13));
      ASSERT_FALSE(ink.IsRectEmpty()) << id;
      EXPECT_GE(ink.left, face.left + 2) << drawn.back().text << " reaches the left edge";
      EXPECT_LE(ink.right, face.right - 2) << drawn.back().text << " reaches the right edge";
      if (id != CWndVoltmeter::ID_ACDC) {
        EXPECT_GE(ink.Height(), face.Height() / 4) << drawn.back().text << " readable";
      }
    }
    kvp::StopTextLog();
    if (c.screenshot) {
      EXPECT_TRUE(kvp::SaveWindowPng(pane.GetSafeHwnd(), kvtest::ScreenshotPath(c.screenshot).c_str()));
    }
    pane.DestroyWindow();
  }
}

TEST_F(MeterPaneTest, OhmmeterModesZeroAndTone) {
  kvp::SoundRecording sounds;
  CWndOhmeter pane(&engine);
  Create(pane);
  pane.Activate(0);
  Click(pane.m_Child[CWndOhmeter::ID_DIODE]);
  EXPECT_EQ(engine.m_nOhmMode, CMeasureEngine::OHM_DIODE);
  EXPECT_FALSE(pane.m_Child[CWndOhmeter::ID_ZERO].IsWindowEnabled());
  Click(pane.m_Child[CWndOhmeter::ID_OHM]);
  EXPECT_EQ(engine.m_nOhmMode, CMeasureEngine::OHM_AUTO);
  EXPECT_TRUE(pane.m_Child[CWndOhmeter::ID_ZERO].IsWindowEnabled());
  Click(pane.m_Child[CWndOhmeter::ID_CONDUC]);
  EXPECT_EQ(engine.m_nOhmMode, CMeasureEngine::OHM_FIXED);

  // Without a library every tick is an error; a zero then sounds the alarm and changes nothing.
  hl::Advance(250);
  EXPECT_EQ(pane.m_bErrorShown, 1);
  engine.GetOhmReading().m_dRawValue = 1.0;
  Click(pane.m_Child[CWndOhmeter::ID_ZERO]);
  hl::Advance(250);
  EXPECT_EQ(pane.m_nZeroCount, 1);
  hl::Advance(250);
  EXPECT_EQ(pane.m_nZeroCount, 0);
  EXPECT_DOUBLE_EQ(engine.GetOhmReading().m_dOffset, 0.0);
  ASSERT_FALSE(sounds.Events().empty());
  EXPECT_EQ(sounds.Events().back().source, "resource:148");
  EXPECT_FALSE(sounds.Events().back().loop);

  // Leaving stops a playing tone.
  pane.m_nTone = 1;
  const size_t before = sounds.Events().size();
  EXPECT_TRUE(pane.Deactivate());
  EXPECT_EQ(pane.m_nTone, -1);
  ASSERT_EQ(sounds.Events().size(), before + 1);
  EXPECT_EQ(sounds.Events().back().kind, kvp::SoundEvent::Kind::Stop);
  EXPECT_EQ(GetMotortesterDevice()->GetHelpMode(), 24);
}

}  // namespace
