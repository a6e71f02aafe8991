// The record analyzer on the headless display with the virtual clock, on the real recorder and
// records: the notification fan-out and its own-sender filters, the tools' and control panel's
// states, playback, the chart's pixels and drags, the decimated trace against the per-sample
// walk, the cursor and status read-outs, printing to PDF and screenshots.
#include <meters/Record.h>
#include <meters/RecordFile.h>
#include <meters/Recorder.h>
#include <meters/analyzer/AnalyzerCommon.h>
#include <meters/analyzer/AnalyzerTrace.h>
#include <meters/analyzer/WndRecordAnalyzer.h>

#include "ChartPixels.h"

#include <core/ColorScheme.h>
#include <core/Messages.h>
#include <core/Reg.h>

#include <kvtest/Canvas.h>
#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/RepaintCompare.h>
#include <kvtest/Screenshots.h>
#include <kvtest/Shell.h>

#include <platform/display.h>
#include <platform/print.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

namespace hl = kvp::headless;
using Call = std::vector<int>;
using Calls = std::vector<Call>;

using Host = kvtest::HostWindow;

// Sits in front of the pane as the analyzer sink and logs every notification it passes on.
struct LoggingSink : IAnalyzerNotify {
  IAnalyzerNotify* next = nullptr;
  Calls calls;
  void OnAnalyzerNotify(int sender, int code, int value) override {
    calls.push_back({sender, code, value});
    if (next) next->OnAnalyzerNotify(sender, code, value);
  }
  // The codes logged, in order.
  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (const Call& c : calls) codes.push_back(c[1]);
    return codes;
  }
};

// A record of `count` points with raw samples from `raw`; `stored` samples in its ring (fewer
// than count makes the rest invalid).
CRecord* AddRecord(int count, std::function<SHORT(int)> raw, double rate = 1000.0, double perDivision = 1.0,
                   int stored = -1) {
  int index = -1;
  CRecord* r = AddNewRecord(&index);
  r->m_nChannel = static_cast<SHORT>(index);
  r->m_nUnit = CRecord::UNIT_VOLT;
  r->m_dPerDivision = perDivision;
  r->m_dFullScale = 8.0;
  r->m_dSampleRate = rate;
  r->m_nRawUpper = 30000;
  r->m_nRawLower = -30000;
  r->m_nPointCount = count;
  const int n = stored < 0 ? count : stored;
  r->m_Ring.init(n > 0 ? n : 1);
  for (int i = 0; i < n; ++i) r->m_Ring.append(raw(i));
  r->SetLimitValues();
  r->FinishLook(index, 300);
  r->m_bSaved = 1;
  return r;
}

SHORT Triangle(int i) { return static_cast<SHORT>(60 * std::abs(i % 400 - 200) - 6000); }

class AnalyzerTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    ClearRecordList();
    ResetRecorder();
    ASSERT_TRUE(host.CreateTop(1100, 760));
    pane = std::make_unique<CWndRecordAnalyzer>();
    ASSERT_TRUE(pane->Create("RecordAnalyzer", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1040, 720), &host, 1021));
    hl::Pump();
    log.next = pane.get();
    SetAnalyzerNotify(&log);
    pane->Init();
    log.calls.clear();
  }
  void TearDown() override {
    SetRecordPathAsker(nullptr);
    kvp::SetMessageBoxResponder(nullptr);
    SetAnalyzerNotify(pane.get());
    ClearRecordList();
    pane.reset();
    host.DestroyWindow();
    ResetRecorder();
    kvtest::CoreTest::TearDown();
  }
  static void ResetRecorder() {
    CRecorder& rec = GetRecorder();
    rec.m_View = CRecorder::ViewState{};
    rec.m_bCursorsHidden = 1;
    rec.InitCursors();
    for (CursorRecord& c : rec.m_Cursors) c.m_nFlags &= ~1;
    rec.SetFileName("");
  }
  // What the tools do after loading: the data-ready sequence.
  void Loaded() {
    GetRecorder().m_View.m_nZoom = 1;
    analyzer::Notify(13, 74);
    analyzer::Notify(13, 72);
    analyzer::Notify(13, 56);
    analyzer::Notify(13, 60);
    log.calls.clear();
  }
  void Click(CWnd& w) {
    CRect r;
    ::GetClientRect(w.GetSafeHwnd(), &r);
    hl::Click(w.GetSafeHwnd(), POINT{r.Width() / 2, r.Height() / 2});
  }
  CXPCtrlBtn& Tool(int id) { return pane->m_Tools.m_Buttons[id]; }
  CXPCtrlBtn& Transport(int id) { return *pane->m_ControlPanel.Button(id); }
  std::vector<int> EnabledTools() {
    std::vector<int> ids;
    for (int id = 0; id < CWndAnalyzer_Tools::kCount; ++id)
      if (pane->m_Tools.IsEnabled(id)) ids.push_back(id);
    return ids;
  }
  void Shot(const char* name) {
    hl::Pump();
    EXPECT_TRUE(kvp::SaveWindowPng(pane->GetSafeHwnd(), kvtest::ScreenshotPath(name).c_str()));
  }

  kvp::HeadlessWorld world;
  Host host;
  std::unique_ptr<CWndRecordAnalyzer> pane;
  LoggingSink log;
};

// ---- the pane and its notifications ------------------------------------------------------------

TEST_F(AnalyzerTest, ChildrenAreCreatedWithTheirNamesIdsAndVisibility) {
  struct Child {
    CWnd* wnd;
    int id;
    bool visible;
  } const children[] = {{&pane->m_StatusArea, 1024, true},   {&pane->m_Chart, 1023, true},
                        {&pane->m_Tools, 1025, true},        {&pane->m_TimeLine, 1026, true},
                        {&pane->m_ControlPanel, 1027, true}, {&pane->m_CursorsArea, 1028, false}};
  for (const Child& c : children) {
    ASSERT_NE(c.wnd->GetSafeHwnd(), 0u) << c.id;
    EXPECT_EQ(::GetDlgCtrlID(c.wnd->GetSafeHwnd()), c.id);
    EXPECT_EQ(c.wnd->IsWindowVisible() != FALSE, c.visible) << c.id;
  }
  EXPECT_EQ(GetRecorder().m_hAnalyzerWnd, pane->GetSafeHwnd());
  EXPECT_EQ(pane->m_Chart.m_Items.GetCount(), 2) << "Init made the two cursor thumbs";
  CRect status, cursors;
  pane->m_StatusArea.GetWindowRect(&status);
  pane->m_CursorsArea.GetWindowRect(&cursors);
  EXPECT_EQ(status, cursors);
}

TEST_F(AnalyzerTest, ActivatingWithoutRecordsLeavesOnlyOpenAndCursors) {
  pane->Activate(0);
  EXPECT_EQ(log.calls, (Calls{{11, 71, 0}}));
  EXPECT_EQ(EnabledTools(), (std::vector<int>{CWndAnalyzer_Tools::kOpen, CWndAnalyzer_Tools::kCursors}));
  EXPECT_FALSE(Transport(CWndAnalyzerControlPanel::kPlay).data.enabled);
  EXPECT_FALSE(pane->m_ControlPanel.m_PlaySpeed.record.enabled);
  EXPECT_TRUE(pane->IsWindowVisible());
  Shot("analyzer-empty");
}

TEST_F(AnalyzerTest, CursorsButtonSwapsTheStatusAndCursorsAreas) {
  AddRecord(3000, Triangle);
  Loaded();
  pane->m_Tools.Command(CWndAnalyzer_Tools::kCursors);
  EXPECT_EQ(log.calls, (Calls{{13, 79, 1}}));
  EXPECT_TRUE(pane->m_CursorsArea.IsWindowVisible());
  EXPECT_FALSE(pane->m_StatusArea.IsWindowVisible());
  EXPECT_EQ(GetRecorder().m_bCursorsHidden, 0);
  for (const CursorRecord& c : GetRecorder().m_Cursors) EXPECT_EQ(c.m_nFlags & 1, 1);
  pane->m_Tools.Command(CWndAnalyzer_Tools::kCursors);
  EXPECT_EQ(log.calls.back(), (Call{13, 79, 0}));
  EXPECT_FALSE(pane->m_CursorsArea.IsWindowVisible());
  EXPECT_TRUE(pane->m_StatusArea.IsWindowVisible());
  for (const CursorRecord& c : GetRecorder().m_Cursors) EXPECT_EQ(c.m_nFlags & 1, 0);
}

TEST_F(AnalyzerTest, ChildrenIgnoreTheirOwnSenderIds) {
  AddRecord(3000, Triangle);
  AddRecord(3000, Triangle);
  Loaded();
  ASSERT_EQ(pane->m_Chart.m_Items.GetCount(), 4);
  // The chart ignores id 2, then reacts to the same code from anyone else.
  analyzer::Notify(2, 76);
  EXPECT_EQ(pane->m_Chart.m_Items.GetCount(), 4);
  analyzer::Notify(16, 76);
  EXPECT_EQ(pane->m_Chart.m_Items.GetCount(), 2) << "only the two cursor thumbs stay";
  // The cursors area does not set its own control again for its own 77.
  CRepeatCtrl& left = pane->m_CursorsArea.m_Ctrl[0];
  analyzer::Notify(17, 77, 1234);
  EXPECT_EQ(left.record.value, 300.0);
  analyzer::Notify(15, 77, 1234);
  EXPECT_EQ(left.record.value, 1234.0);
  // The time line ignores its own id 12.
  GetRecorder().m_View.m_nPosition = 1500;
  const int before = pane->m_TimeLine.m_nValue;
  analyzer::Notify(12, 64);
  EXPECT_EQ(pane->m_TimeLine.m_nValue, before);
  analyzer::Notify(14, 64);
  EXPECT_EQ(pane->m_TimeLine.m_nValue, 1500 - 400);
}

TEST_F(AnalyzerTest, TransferEndResetsTheViewAndAnnouncesTheLoadSequence) {
  AddRecord(5000, Triangle);
  Loaded();
  CRecorder& rec = GetRecorder();
  rec.m_View.m_nZoom = 5;
  rec.m_View.m_nAmplitudeStep[0] = 3;
  // Nothing transferred: the finish installs nothing and the view stays.
  ::SendMessage(pane->GetSafeHwnd(), WM_ANALYZERRESET, 0, 0);
  EXPECT_TRUE(log.calls.empty());
  EXPECT_EQ(rec.m_View.m_nZoom, 5);
  ::SendMessage(pane->GetSafeHwnd(), WM_ANALYZERNOTIFY, 37, 0);
  EXPECT_EQ(log.calls, (Calls{{11, 70, 37}}));
  EXPECT_EQ(pane->m_Chart.m_dProgress, 37.0);
}

// ---- tools -------------------------------------------------------------------------------------

TEST_F(AnalyzerTest, ZoomStepsSetBothButtonsOfTheirPair) {
  AddRecord(10000, Triangle);
  pane->Activate(0);
  Loaded();
  using T = CWndAnalyzer_Tools;
  EXPECT_FALSE(pane->m_Tools.IsEnabled(T::kHZoomIn)) << "zoom 1 after a load";
  struct Step {
    int button;
    int zoom;
    bool in;
    bool out;
  } const steps[] = {
      {T::kHZoomOut, 2, true, true},  {T::kHZoomOut, 5, true, true},   {T::kHZoomOut, 10, true, true},
      {T::kHZoomOut, 0, true, false},  // 20 x 800 covers the 9999 samples: the whole record
      {T::kHZoomIn, 10, true, true},   // 0 -> 20 -> 10: 20 would show the whole record again
      {T::kHZoomIn, 5, true, true},   {T::kHZoomIn, 2, true, true},    {T::kHZoomIn, 1, false, true},
  };
  for (const Step& s : steps) {
    Click(Tool(s.button));
    EXPECT_EQ(GetRecorder().m_View.m_nZoom, s.zoom);
    EXPECT_EQ(pane->m_Tools.IsEnabled(T::kHZoomIn) != 0, s.in) << "zoom " << s.zoom;
    EXPECT_EQ(pane->m_Tools.IsEnabled(T::kHZoomOut) != 0, s.out) << "zoom " << s.zoom;
    EXPECT_EQ(log.calls.back(), (Call{13, 61, 0}));
  }
  struct Amp {
    int button;
    int step;
    bool in;
    bool out;
  } const amps[] = {{T::kAZoomIn, 2, true, true}, {T::kAZoomIn, 3, true, true}, {T::kAZoomIn, 4, true, true},
                    {T::kAZoomIn, 5, false, true}, {T::kAZoomOut, 4, true, true}, {T::kAZoomOut, 3, true, true},
                    {T::kAZoomOut, 2, true, true}, {T::kAZoomOut, 1, true, false}};
  for (const Amp& a : amps) {
    pane->m_Tools.Command(a.button);
    EXPECT_EQ(GetRecorder().m_View.m_nAmplitudeStep[0], a.step);
    EXPECT_EQ(pane->m_Tools.IsEnabled(T::kAZoomIn) != 0, a.in) << a.step;
    EXPECT_EQ(pane->m_Tools.IsEnabled(T::kAZoomOut) != 0, a.out) << a.step;
    EXPECT_EQ(log.calls.back(), (Call{13, 62, 0}));
  }
  pane->m_Tools.Command(T::kBZoomIn);
  EXPECT_EQ(GetRecorder().m_View.m_nAmplitudeStep[1], 2);
  EXPECT_EQ(log.calls.back(), (Call{13, 63, 0}));
}

TEST_F(AnalyzerTest, OpeningAsksToSaveAndStillOpensOnNo) {
  const std::string path = (std::filesystem::current_path() / "analyzer-open.rec").string();
  AddRecord(2000, Triangle);
  AddRecord(2000, [](int i) { return static_cast<SHORT>(i % 100 < 50 ? 9000 : -9000); });
  ASSERT_EQ(WriteRecordFile(path.c_str()).result, RecordFileResult::Ok);
  ClearRecordList();
  AddRecord(700, Triangle)->m_bSaved = 0;
  GetRecorder().m_View.m_nZoom = 10;
  std::vector<std::string> questions;
  kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& c) {
    questions.push_back(c.text);
    return IDNO;
  });
  SetRecordPathAsker([&](const RecordPathRequest& request, CString& out) {
    if (request.save) return false;
    out = path.c_str();
    return true;
  });
  log.calls.clear();
  pane->m_Tools.Command(CWndAnalyzer_Tools::kOpen);
  EXPECT_EQ(questions, (std::vector<std::string>{"Current record(s) wasn't saved. Saved it now?"}));
  // The file replaces the list (16, 76), then the load sequence; no save, no 80.
  EXPECT_EQ(log.calls, (Calls{{16, 76, 0}, {13, 74, 0}, {13, 72, 0}, {13, 56, 0}, {13, 60, 0}}));
  EXPECT_EQ(GetRecordList().GetSize(), 2);
  EXPECT_EQ(GetRecorder().m_View.m_nZoom, 1);
  EXPECT_EQ(pane->m_Chart.m_Items.GetCount(), 4);
  EXPECT_FALSE(pane->m_Tools.IsEnabled(CWndAnalyzer_Tools::kHZoomIn));
  EXPECT_TRUE(pane->m_Tools.IsEnabled(CWndAnalyzer_Tools::kHZoomOut));
  EXPECT_EQ(pane->m_TimeLine.m_nMax, 2000 - 800 - 1);
}

TEST_F(AnalyzerTest, PrintIsRefusedWithoutRecordsAndWhilePlaying) {
  std::vector<kvp::MessageBoxCall> boxes;
  kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& c) {
    boxes.push_back(c);
    return IDOK;
  });
  pane->m_Tools.Command(CWndAnalyzer_Tools::kPrint);
  AddRecord(3000, Triangle);
  Loaded();
  GetRecorder().m_View.m_nPlayState = 1;
  pane->m_Tools.Command(CWndAnalyzer_Tools::kPrint);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "No data for print");
  EXPECT_EQ(boxes[1].text, "Please, first stop playing record before printing.");
  for (const auto& b : boxes) EXPECT_EQ(b.type & (MB_ICONINFORMATION | MB_TOPMOST), UINT(MB_ICONINFORMATION | MB_TOPMOST));
  EXPECT_TRUE(log.calls.empty()) << "nothing printed";
  // Stopped, the button asks the chart to print: its print dialog opens (closed here).
  GetRecorder().m_View.m_nPlayState = 0;
  bool dialog = false;
  hl::RunInLoop([&] {
    dialog = kvp::print::OpenPrintDialogWindow() != 0;
    ::PostMessage(kvp::print::OpenPrintDialogWindow(), WM_CLOSE, 0, 0);
  });
  pane->m_Tools.Command(CWndAnalyzer_Tools::kPrint);
  EXPECT_EQ(log.calls, (Calls{{13, 75, 0}}));
  EXPECT_TRUE(dialog);
  EXPECT_EQ(boxes.size(), 2u);
}

// ---- playback ----------------------------------------------------------------------------------

TEST_F(AnalyzerTest, PlayingStopsExactlyAtTheEndsOfTheRecord) {
  AddRecord(5000, Triangle);
  pane->Activate(0);
  Loaded();
  CRecorder& rec = GetRecorder();
  rec.m_View.m_nStepValue = 300;
  Click(Transport(CWndAnalyzerControlPanel::kPlay));
  EXPECT_EQ(rec.m_View.m_nPlayState, 1);
  hl::Advance(100);
  EXPECT_EQ(rec.m_View.m_nPosition, 700);
  EXPECT_EQ(log.calls.back(), (Call{14, 68, 0}));
  hl::Advance(100 * 20);
  EXPECT_EQ(rec.m_View.m_nPosition, 4999 - 400);
  EXPECT_EQ(rec.m_View.m_nPlayState, 0);
  // Pressing PlayBack plays backward; Play during it switches to forward without stopping.
  Click(Transport(CWndAnalyzerControlPanel::kPlayBack));
  EXPECT_EQ(rec.m_View.m_nPlayState, 2);
  hl::Advance(100);
  EXPECT_EQ(rec.m_View.m_nPosition, 4599 - 300);
  Click(Transport(CWndAnalyzerControlPanel::kPlay));
  EXPECT_EQ(rec.m_View.m_nPlayState, 1);
  Click(Transport(CWndAnalyzerControlPanel::kPlayBack));
  hl::Advance(100 * 20);
  EXPECT_EQ(rec.m_View.m_nPosition, 400);
  EXPECT_EQ(rec.m_View.m_nPlayState, 0);
}

TEST_F(AnalyzerTest, LeavingTheTabKeepsThePlayStateAndReturningResumes) {
  AddRecord(5000, Triangle);
  pane->Activate(0);
  Loaded();
  CRecorder& rec = GetRecorder();
  Click(Transport(CWndAnalyzerControlPanel::kPlay));
  hl::Advance(100);
  EXPECT_EQ(rec.m_View.m_nPosition, 410);
  EXPECT_TRUE(pane->Deactivate());
  hl::Advance(500);
  EXPECT_EQ(rec.m_View.m_nPosition, 410);
  EXPECT_EQ(rec.m_View.m_nPlayState, 1);
  pane->Activate(1);
  hl::Advance(100);
  EXPECT_EQ(rec.m_View.m_nPosition, 420);
}

TEST_F(AnalyzerTest, StepButtonsMoveByTheStepAndStayInsideTheRecord) {
  AddRecord(5000, Triangle);
  pane->Activate(0);
  Loaded();
  CRecorder& rec = GetRecorder();
  using P = CWndAnalyzerControlPanel;
  struct Move {
    int button;
    int position;
    int code;
  } const moves[] = {{P::kNext, 1200, 64},     {P::kNext, 2000, 64},   {P::kBack, 1200, 65}, {P::kRollMode, 4599, 67},
                     {P::kNext, 4599, 64},     {P::kLongBack, 400, 66}, {P::kBack, 400, 65}};
  for (const Move& m : moves) {
    Click(Transport(m.button));
    EXPECT_EQ(rec.m_View.m_nPosition, m.position) << m.button;
    EXPECT_EQ(log.calls.back(), (Call{14, m.code, 0}));
    EXPECT_EQ(pane->m_TimeLine.m_nValue, m.position - 400) << "the time line follows";
  }
}

TEST_F(AnalyzerTest, AtZoomZeroPlayingMovesOnlyThePositionAndStopsBackwardAtZero) {
  AddRecord(5000, Triangle);
  pane->Activate(0);
  Loaded();
  CRecorder& rec = GetRecorder();
  rec.m_View.m_nZoom = 0;
  rec.SetPosition(25);
  const RecorderViewWindow before = rec.GetViewWindow();
  Click(Transport(CWndAnalyzerControlPanel::kPlay));
  hl::Advance(100);
  EXPECT_EQ(rec.m_View.m_nPosition, 35);
  EXPECT_EQ(rec.GetViewWindow().start, before.start);
  EXPECT_EQ(rec.GetViewWindow().end, before.end);
  Click(Transport(CWndAnalyzerControlPanel::kPlayBack));
  hl::Advance(100 * 5);
  EXPECT_EQ(rec.m_View.m_nPosition, 0);
  EXPECT_EQ(rec.m_View.m_nPlayState, 0);
}

// ---- chart -------------------------------------------------------------------------------------

// Draws the record's window through the per-sample walk and through the column reducer onto two
// canvases and compares every pixel.
void ExpectSamePixels(const CRecord& r, const RecorderViewWindow& w, int penWidth, const char* what, int W = 400) {
  const int H = 300;
  gditest::Canvas direct(W, H), reduced(W, H);
  for (gditest::Canvas* c : {&direct, &reduced}) {
    c->Fill(0xFFFFFF);
    HPEN pen = CreatePen(PS_SOLID, penWidth, 0x0000C0);
    CDC dc;
    dc.Attach(c->dc());
    HGDIOBJ old = SelectObject(c->dc(), pen);
    if (c == &direct) {
      CDirectTraceSink sink(&dc, 0, H);
      WalkTrace(r, w, 1.0, 0.0, sink);
    } else {
      CColumnTraceSink sink(&dc, 0, H, penWidth);
      WalkTrace(r, w, 1.0, 0.0, sink);
    }
    SelectObject(c->dc(), old);
    DeleteObject(pen);
    dc.Detach();
  }
  int differing = 0;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (direct.At(x, y) != reduced.At(x, y)) ++differing;
  EXPECT_EQ(differing, 0) << what << ", pen " << penWidth;
}

TEST(AnalyzerTrace, ColumnReductionDrawsThePixelsOfThePerSampleWalk) {
  kvp::HeadlessWorld world;
  ClearRecordList();
  std::mt19937 random(7);
  std::uniform_int_distribution<int> noise(-32000, 32000);
  std::vector<SHORT> noisy(40000);
  for (SHORT& s : noisy) s = static_cast<SHORT>(noise(random));
  // Runs over and under range, gap markers, and a quiet stretch.
  for (int i = 5000; i < 5600; ++i) noisy[i] = 31000;
  for (int i = 5600; i < 6000; ++i) noisy[i] = -31000;
  for (int i = 9000; i < 12000; ++i) noisy[i] = 1000;
  for (int g : {3000, 15001, 15003, 22000}) {
    noisy[g] = CRecord::kGapStart;
    noisy[g + 1] = CRecord::kGapEnd;
  }
  CRecord* r = AddRecord(40000, [&](int i) { return noisy[i]; }, 1000.0, 1.0, 36000);  // 36000.. invalid
  r->UpdateContinuous();
  r->SetScale(300);
  struct Case {
    const char* what;
    RecorderViewWindow window;
  } const cases[] = {
      {"zoom 0, 100 samples per column", {0, 39999, 39999, 39999.0 / 400}},
      {"zoom 1 from a negative start", {-300, 499, 800, 2.0}},
      {"two pixels per sample", {4900, 5099, 200, 0.5}},
      {"zoom 20 over the range runs", {0, 15999, 16000, 40.0}},
      {"window past the stored samples", {30000, 39999, 9999, 9999.0 / 400}},
  };
  for (const Case& c : cases)
    for (int pen : {1, 2, 3}) ExpectSamePixels(*r, c.window, pen, c.what);
  // Walks that end after one to three columns of four samples: the last column's last point is
  // drawn by nothing after it, so the order of its extremes decides whether it shows.
  ClearRecordList();
  std::uniform_int_distribution<int> small(-3, 3);
  CRecord* s = AddRecord(2000, [&](int) { return static_cast<SHORT>(small(random) * 1200); });
  s->SetScale(300);
  for (int k = 0; k < 60; ++k) {
    const int start = k * 24;
    const int columns = 1 + k % 3;
    const RecorderViewWindow w{start, start + 4 * columns - 1, 4 * columns, 4.0};
    for (int pen : {1, 3}) ExpectSamePixels(*s, w, pen, "short walk", 8);
  }
  ClearRecordList();
}

TEST_F(AnalyzerTest, ChartDrawsGridTraceGapLineAndHatchingOnlyInScale) {
  // Over range from 100 to 119, a gap marker at 400, steady 0 elsewhere.
  CRecord* r = AddRecord(800, [](int i) -> SHORT {
    if (i >= 100 && i < 120) return 31000;
    if (i == 300) return CRecord::kGapStart;
    if (i == 301) return CRecord::kGapEnd;
    return 0;
  });
  r->UpdateContinuous();
  r->m_Level.m_nFlags &= ~1;  // its level line would lie on the zero trace
  ASSERT_EQ(r->m_bContinuous, 0);
  Loaded();
  GetRecorder().m_View.m_nZoom = 1;
  GetRecorder().SetPosition(400);
  pane->m_Chart.Redraw();
  hl::Pump();
  const HWND chart = pane->m_Chart.GetSafeHwnd();
  CRect c;
  pane->m_Chart.GetClientRect(&c);
  const RecorderViewWindow w = GetRecorder().GetViewWindow();
  ASSERT_EQ(w.start, 0);
  // Grid line k = 8 (vertical) and the zero line of the trace across the middle.
  const int gx = c.Width() * 8 / 16;
  EXPECT_EQ(kvp::WindowPixel(chart, gx, 5), GetSchemeColor(28));
  const int zeroY = r->m_Scale.ValueToPixel(0.0);
  EXPECT_EQ(kvp::WindowPixel(chart, static_cast<int>(50 / w.slope), zeroY), r->m_crColor);
  // The gap line one pixel right of the last drawn x, dark over the height.
  const int gapX = static_cast<int>(299 / w.slope) + 1;
  bool dark = kvp::WindowPixel(chart, gapX, 10) == 0x282828 || kvp::WindowPixel(chart, gapX - 1, 10) == 0x282828;
  EXPECT_TRUE(dark);
  // The over-range value 31000 / 32767 * 8 = 7.57 lies outside +-5 divisions of 1: no band.
  const RecordWindowStats stats = GetRecorder().GetWindowStats(0);
  EXPECT_TRUE(stats.over);
  const int bandX = c.Width() * 3 / 4 + 3;
  for (int y = 2; y < c.Height() / 2 - 2; y += 3)
    EXPECT_NE(kvp::WindowPixel(chart, bandX, y), r->m_crColor2) << "no hatching out of scale, y " << y;
  // With a per-division value that holds the maximum, the band appears.
  r->m_dPerDivision = 2.0;
  analyzer::Notify(13, 56);
  int hatched = 0;
  for (int y = 2; y < r->m_Scale.ValueToPixel(stats.max) - 1; ++y)
    if (kvp::WindowPixel(chart, bandX, y) == r->m_crColor2) ++hatched;
  EXPECT_GT(hatched, 0);
}

TEST_F(AnalyzerTest, SameSideRangeRunsAreNotJoined) {
  // Over range at 200..203, under range at 204, then normal: over-over not joined, over-under joined.
  CRecord* r = AddRecord(800, [](int i) -> SHORT {
    if (i >= 200 && i < 204) return 31000;
    if (i == 204) return -31000;
    return 0;
  });
  r->m_dPerDivision = 2.0;
  r->SetScale(300);
  struct Log : ITraceSink {
    std::vector<std::pair<char, int>> ops;  // 'M' or 'L' with the sample's x
    void Move(int x, int) override { ops.push_back({'M', x}); }
    void Line(int x, int) override { ops.push_back({'L', x}); }
    void Gap(int x) override { ops.push_back({'G', x}); }
  } sink;
  WalkTrace(*r, RecorderViewWindow{0, 799, 800, 1.0}, 1.0, 0.0, sink);
  ASSERT_GT(sink.ops.size(), 205u);
  EXPECT_EQ(sink.ops[0].first, 'M');
  EXPECT_EQ(sink.ops[200].first, 'L') << "normal to over is joined";
  EXPECT_EQ(sink.ops[201].first, 'M');
  EXPECT_EQ(sink.ops[203].first, 'M');
  EXPECT_EQ(sink.ops[204].first, 'L') << "over to under is joined";
  EXPECT_EQ(sink.ops[205].first, 'L');
}

TEST_F(AnalyzerTest, CursorLineAtZoomZeroUsesTheViewWindow) {
  AddRecord(8000, Triangle);
  Loaded();
  CRecorder& rec = GetRecorder();
  rec.m_View.m_nZoom = 0;
  rec.SetPosition(1000);  // not last / 2: the old p - half mapping would move the line
  pane->m_Tools.Command(CWndAnalyzer_Tools::kCursors);
  rec.m_Cursors[0].m_dValue = 4000;
  analyzer::Notify(17, 77);
  hl::Pump();
  const RecorderViewWindow w = rec.GetViewWindow();
  const int x = static_cast<int>(4000 / w.slope);
  EXPECT_EQ(kvp::WindowPixel(pane->m_Chart.GetSafeHwnd(), x, 40), rec.m_Cursors[0].m_crColor);
  // Its thumb sits on the same pixel (anchor 6 into a 13-px thumb).
  const RECT& thumb = pane->m_Chart.m_Items.GetItem(0)->rect;
  EXPECT_EQ(thumb.left + 6, x);
}

TEST_F(AnalyzerTest, DraggingTheLeftCursorNotifiesTheSampleUnderThePointer) {
  AddRecord(8000, Triangle);
  Loaded();
  pane->m_Tools.Command(CWndAnalyzer_Tools::kCursors);
  log.calls.clear();
  const HWND chart = pane->m_Chart.GetSafeHwnd();
  const RECT thumb = pane->m_Chart.m_Items.GetItem(0)->rect;
  const POINT grab{thumb.left + 6, thumb.top + 6};
  hl::MoveMouseTo(chart, grab);
  hl::PressButton(hl::Button::Left);
  const POINT to{grab.x + 120, grab.y + 30};
  hl::MoveMouseTo(chart, to);
  hl::ReleaseButton(hl::Button::Left);
  hl::Pump();
  const RecorderViewWindow w = GetRecorder().GetViewWindow();
  const int s = static_cast<int>(std::trunc(to.x * w.slope)) + w.start;
  ASSERT_FALSE(log.calls.empty());
  EXPECT_EQ(log.calls.back(), (Call{15, 77, s}));
  EXPECT_EQ(GetRecorder().m_Cursors[0].m_dValue, s);
  EXPECT_EQ(pane->m_CursorsArea.m_Ctrl[0].record.value, s) << "the control follows";
  EXPECT_EQ(pane->m_Chart.m_Items.GetItem(0)->rect.left + 6, to.x) << "the thumb stays under the pointer";
}

TEST_F(AnalyzerTest, DraggingALevelThumbMovesTheLevelAndTheTraceOffset) {
  CRecord* r = AddRecord(3000, Triangle);
  Loaded();
  ASSERT_EQ(pane->m_Chart.m_Items.GetCount(), 3);
  const HWND chart = pane->m_Chart.GetSafeHwnd();
  const RECT thumb = pane->m_Chart.m_Items.GetItem(2)->rect;
  const POINT grab{thumb.left + 3, thumb.top + 6};
  hl::MoveMouseTo(chart, grab);
  hl::PressButton(hl::Button::Left);
  const POINT to{grab.x + 40, grab.y - 50};  // vertical only: x is ignored
  hl::MoveMouseTo(chart, to);
  hl::ReleaseButton(hl::Button::Left);
  hl::Pump();
  ASSERT_FALSE(log.calls.empty());
  EXPECT_EQ(log.calls.back(), (Call{-1, 57, 0}));
  const double value = r->m_Scale.PixelToValue(to.y);
  EXPECT_DOUBLE_EQ(r->m_Level.m_dValue, value);
  EXPECT_DOUBLE_EQ(GetRecorder().m_View.m_dLevelOffset[0], value);
  EXPECT_EQ(pane->m_Chart.m_Items.GetItem(2)->rect.top + 6, to.y) << "placed again from the new level";
}

// The chart keeps a static layer (grid and bands) and the traces between paints, and the other
// windows repaint on their own notifications: in every state the pane shows what a repaint of
// the whole pane from scratch shows.
TEST_F(AnalyzerTest, StepByStepRepaintsEqualAWholeRepaint) {
  // Two records whose bands lie in the scale (2 V per division holds 7.6 V): A with runs over and
  // under range and gap markers, B with runs over range, so B's bands lie over A's trace.
  CRecord* a = AddRecord(6000, [](int i) -> SHORT {
    if (i % 700 >= 600) return 31000;
    if (i % 900 >= 820) return -31000;
    if (i == 3000) return CRecord::kGapStart;
    if (i == 3001) return CRecord::kGapEnd;
    return static_cast<SHORT>(9000 * std::sin(i * 0.01));
  }, 1000.0, 2.0);
  a->UpdateContinuous();
  CRecord* b = AddRecord(6000, [](int i) -> SHORT {
    if (i % 500 >= 430) return 31000;
    return static_cast<SHORT>(i % 300 < 150 ? 15000 : -15000);
  }, 1000.0, 2.0);
  b->m_Style.m_nWidth = 2;
  pane->Activate(0);
  Loaded();
  ASSERT_TRUE(GetRecorder().GetWindowStats(0).over && GetRecorder().GetWindowStats(1).over);
  const HWND chart = pane->m_Chart.GetSafeHwnd();
  auto cursorTo = [&](int index, int x) {
    const RECT thumb = pane->m_Chart.m_Items.GetItem(index)->rect;
    const POINT grab{thumb.left + 6, thumb.top + 6};
    hl::Advance(1000);
    hl::MoveMouseTo(chart, grab);
    hl::PressButton(hl::Button::Left);
    hl::MoveMouseTo(chart, POINT{x, grab.y});
    hl::ReleaseButton(hl::Button::Left);
  };
  struct Step {
    const char* what;
    std::function<void()> act;
  } const steps[] = {
      {"loaded at zoom 1", [] {}},
      {"whole records", [&] {
         for (int k = 0; k < 10 && GetRecorder().m_View.m_nZoom != 0; ++k) Click(Tool(CWndAnalyzer_Tools::kHZoomOut));
         ASSERT_EQ(GetRecorder().m_View.m_nZoom, 0);
       }},
      {"zoomed in", [&] {
         Click(Tool(CWndAnalyzer_Tools::kHZoomIn));
         Click(Tool(CWndAnalyzer_Tools::kHZoomIn));
       }},
      {"stepped", [&] { Click(Transport(CWndAnalyzerControlPanel::kNext)); }},
      {"time line clicked", [&] {
         CRect r;
         pane->m_TimeLine.GetClientRect(&r);
         hl::Click(pane->m_TimeLine.GetSafeHwnd(), POINT{r.Width() * 2 / 3, r.Height() / 2});
       }},
      {"played", [&] {
         Click(Transport(CWndAnalyzerControlPanel::kPlay));
         hl::Advance(300);
         Click(Transport(CWndAnalyzerControlPanel::kPlay));
       }},
      {"cursors shown", [&] { Click(Tool(CWndAnalyzer_Tools::kCursors)); }},
      {"left cursor dragged", [&] { cursorTo(0, 300); }},
      {"right cursor dragged", [&] { cursorTo(1, 120); }},
      {"A's level dragged", [&] { analyzertest::DragLevelThumb(pane->m_Chart, 0, -60); }},
      {"B's level dragged", [&] { analyzertest::DragLevelThumb(pane->m_Chart, 1, 45); }},
      {"A's amplitude zoomed", [&] { Click(Tool(CWndAnalyzer_Tools::kAZoomIn)); }},
      {"B's amplitude zoomed out", [&] { Click(Tool(CWndAnalyzer_Tools::kBZoomOut)); }},
      {"B's range runs changed", [&] {
         b->m_nRawUpper = 14000;  // B's square wave is now over range half the time
         analyzer::Notify(13, 56);
       }},
      {"cursors hidden", [&] { Click(Tool(CWndAnalyzer_Tools::kCursors)); }},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_TRUE(kvtest::PaintsAsWhole(pane->GetSafeHwnd(), [&] { analyzertest::DropChartLayers(pane->m_Chart); }))
        << step.what;
  }
}

TEST_F(AnalyzerTest, PlaySpeedTakesEffectAtTheNextTick) {
  AddRecord(5000, Triangle);
  pane->Activate(0);
  Loaded();
  Click(Transport(CWndAnalyzerControlPanel::kPlay));
  hl::Advance(100);
  EXPECT_EQ(GetRecorder().m_View.m_nPosition, 410);
  CRepeatCtrl& speed = pane->m_ControlPanel.m_PlaySpeed;
  speed.record.value = 57.0;
  speed.ReportValue();
  EXPECT_EQ(log.calls.back(), (Call{14, 69, 0}));
  EXPECT_EQ(GetRecorder().m_View.m_nStepValue, 57);
  hl::Advance(100);
  EXPECT_EQ(GetRecorder().m_View.m_nPosition, 467);
}

TEST_F(AnalyzerTest, SetVisibleMovesTheCursorToTheViewAndTheControlOnlyInsideItsRange) {
  AddRecord(3000, Triangle);
  Loaded();
  CWndAnalyzer_CursorsArea& area = pane->m_CursorsArea;
  EXPECT_EQ(area.m_Ctrl[0].record.min, 0.0) << "new data: 0..last";
  EXPECT_EQ(area.m_Ctrl[0].record.max, 2999.0);
  EXPECT_EQ(area.m_Ctrl[0].record.value, 300.0);
  CRecorder& rec = GetRecorder();
  rec.SetPosition(1700);
  area.OnClick(&area.m_SetVisible[0].data, &area.m_SetVisible[0]);
  EXPECT_EQ(rec.m_Cursors[0].m_dValue, 1700.0);
  EXPECT_EQ(area.m_Ctrl[0].record.value, 1700.0);
  EXPECT_EQ(log.calls.back(), (Call{17, 77, 0}));
  rec.SetPosition(4000);  // beyond the record: the cursor follows, the control keeps its value
  area.OnClick(&area.m_SetVisible[1].data, &area.m_SetVisible[1]);
  EXPECT_EQ(rec.m_Cursors[1].m_dValue, 4000.0);
  EXPECT_EQ(area.m_Ctrl[1].record.value, 500.0);
  EXPECT_EQ(log.calls.back(), (Call{17, 78, 0}));
}

// ---- window statistics -------------------------------------------------------------------------

TEST_F(AnalyzerTest, WindowStatisticsCoverTheDrawnSamplesOnly) {
  CRecord* r = AddRecord(1000, [](int i) -> SHORT {
    if (i == 10) return 31000;
    if (i == 20) return -31000;
    if (i == 500) return CRecord::kGapStart;
    if (i == 501) return CRecord::kGapEnd;
    return static_cast<SHORT>(i);
  });
  r->UpdateContinuous();
  CRecorder& rec = GetRecorder();
  struct Case {
    int zoom;
    int position;
    bool any, over, under;
    double max, min;
  } const cases[] = {
      // Zoom 1 at 100: the window starts at -300; the extremes start at sample 0, not at 0 V.
      {1, 100, true, true, true, 31000 * 8.0 / 32767, -31000 * 8.0 / 32767},
      // The window ends at the record's end: 199..999, without the gap marker's raw values.
      {1, 900, true, false, false, 999 * 8.0 / 32767, 199 * 8.0 / 32767},
  };
  for (const Case& c : cases) {
    rec.m_View.m_nZoom = c.zoom;
    rec.SetPosition(c.position);
    const RecordWindowStats s = rec.GetWindowStats(0);
    EXPECT_EQ(s.any, c.any);
    EXPECT_EQ(s.over, c.over);
    EXPECT_EQ(s.under, c.under);
    EXPECT_DOUBLE_EQ(s.max, c.max) << c.position;
    EXPECT_DOUBLE_EQ(s.min, c.min) << c.position;
  }
  EXPECT_FALSE(rec.GetWindowStats(1).any) << "no such record";
  CRecord* empty = AddRecord(100, [](int) -> SHORT { return 0; }, 1000.0, 1.0, 0);
  (void)empty;
  EXPECT_FALSE(rec.GetWindowStats(1).any) << "no stored samples";
}

// ---- read-outs ---------------------------------------------------------------------------------

TEST_F(AnalyzerTest, CursorRowsShowDashesOverRangeAndUnEval) {
  // Segmented first record: gap at 1000; sample 300 over range, 310 under range.
  CRecord* a = AddRecord(3000, [](int i) -> SHORT {
    if (i == 300) return 31000;
    if (i == 310) return -31000;
    if (i == 1000) return CRecord::kGapStart;
    if (i == 1001) return CRecord::kGapEnd;
    return 4096;
  });
  a->UpdateContinuous();
  struct Case {
    int column;
    double l, r;
    const char *dt, *da, *atL, *atR;
  } const cases[] = {
      // Below 1 s the time has a sub-unit prefix and no unit, as the read-out always wrote it.
      {0, 100, 600, "500.0m", "0V", "1V", "1V"},
      {0, 300, 600, "300.0m", "UnEval", ">7.57V", "1V"},
      {0, 310, 100, "-210.0m", "UnEval", "<-7.57V", "1V"},
      {0, 100, 1500, "UnEval", "UnEval", "1V", "1V"},  // different segments
      {0, -5, 100, "105.0m", "---", "---", "1V"},
      {1, 100, 600, "---", "---", "---", "---"},  // no second record
  };
  for (const Case& c : cases) {
    const analyzer::CursorRows rows = analyzer::CursorRowTexts(c.column, c.l, c.r);
    EXPECT_EQ(std::string(rows.timeDiff), c.dt) << c.l << " " << c.r;
    EXPECT_EQ(std::string(rows.ampDiff), c.da) << c.l << " " << c.r;
    EXPECT_EQ(std::string(rows.atL), c.atL) << c.l;
    EXPECT_EQ(std::string(rows.atR), c.atR) << c.r;
  }
  // Continuous records are evaluable across 1000-sample boundaries; >= 1 s gets the exponent form.
  a->m_bContinuous = 1;
  EXPECT_EQ(std::string(analyzer::CursorRowTexts(0, 100, 2600).timeDiff), "2.5s");
  a->m_dSampleRate = 0.0;
  EXPECT_EQ(std::string(analyzer::CursorRowTexts(0, 100, 600).timeDiff), "---") << "rate 0";
}

TEST_F(AnalyzerTest, StatusColumnsShowScalesExtremesAndZooms) {
  CRecord* a = AddRecord(16001, [](int i) -> SHORT { return i == 5 ? 31000 : 4096; }, 1000.0, 2.5);
  a->m_nCoupling = 1;
  CRecorder& rec = GetRecorder();
  rec.m_View.m_nZoom = 2;
  rec.m_View.m_nAmplitudeStep[0] = 2;
  rec.SetPosition(800);
  CString a6[6], b6[6];
  pane->m_StatusArea.ColumnValues(0, a6);
  pane->m_StatusArea.ColumnValues(1, b6);
  const char* const expectA[6] = {"~1.25V", "100m", ">7.6V", "1V", "2x", "2x"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(std::string(a6[i]), expectA[i]) << "row " << i;
    EXPECT_EQ(std::string(b6[i]), "---") << "row " << i;
  }
  rec.m_View.m_nZoom = 0;
  pane->m_StatusArea.ColumnValues(0, a6);
  EXPECT_EQ(std::string(a6[1]), "1s") << "16000 samples / 1000 S/s / 16";
  EXPECT_EQ(std::string(a6[5]), "Full");
  a->m_dSampleRate = 0.0;
  pane->m_StatusArea.ColumnValues(0, a6);
  EXPECT_EQ(std::string(a6[1]), "---");
}

// The box of the pixels of one colour inside a rectangle of a window (empty when none).
CRect InkBox(HWND window, const RECT& in, COLORREF colour) {
  RECT client{};
  ::GetClientRect(window, &client);
  CRect box(INT_MAX, INT_MAX, INT_MIN, INT_MIN);
  for (int y = std::max<int>(in.top, 0); y < std::min<int>(in.bottom, client.bottom); ++y)
    for (int x = std::max<int>(in.left, 0); x < std::min<int>(in.right, client.right); ++x)
      if (kvp::WindowPixel(window, x, y) == colour) {
        box.left = std::min<int>(box.left, x);
        box.top = std::min<int>(box.top, y);
        box.right = std::max<int>(box.right, x + 1);
        box.bottom = std::max<int>(box.bottom, y + 1);
      }
  return box.left == INT_MAX ? CRect() : box;
}

// Every value of the status area is written at least as large as its label, whole, beside or
// below its label and inside its column: on the program's pane and on a wide one.
TEST_F(AnalyzerTest, StatusValuesAreNoSmallerThanTheirLabels) {
  AddRecord(3000, Triangle, 1000.0, 2.5)->m_nCoupling = 1;  // "~2.5V"
  AddRecord(3000, Triangle, 1000.0, 0.5)->m_nUnit = CRecord::UNIT_AMPERE;  // "500mA"
  Loaded();
  struct Size {
    const char* name;
    int width, height;
    const char* screenshot;
  } const sizes[] = {{"the program's pane", 1024, 738, "analyzer-status"}, {"a wide pane", 2000, 600, "analyzer-status-wide"}};
  const HWND status = pane->m_StatusArea.GetSafeHwnd();
  for (const Size& size : sizes) {
    SCOPED_TRACE(size.name);
    host.MoveWindow(0, 0, size.width, size.height);
    pane->MoveWindow(0, 0, size.width, size.height);
    kvp::StartTextLog();
    pane->m_StatusArea.RedrawWindow();
    hl::Pump();
    const std::vector<kvp::DrawnText> texts = kvp::DrawnTexts(status);
    kvp::StopTextLog();
    CRect client;
    pane->m_StatusArea.GetClientRect(&client);
    // The capital height of the labels: "Max:" of each column.
    int capital = 0;
    std::vector<CRect> labels;
    for (const kvp::DrawnText& t : texts) {
      if (t.color == CWndAnalyzer_StatusArea::kValueColor) continue;
      const CRect ink = InkBox(status, t.rect, t.color);
      labels.push_back(ink);
      if (t.text == "Max:") capital = std::max(capital, ink.Height());
    }
    ASSERT_GT(capital, 5);
    int values = 0;
    for (const kvp::DrawnText& t : texts) {
      if (t.color != CWndAnalyzer_StatusArea::kValueColor || t.text == "---") continue;
      ++values;
      const bool columnA = t.rect.left < client.Width() / 2;
      const CRect ink = InkBox(status, t.rect, t.color);
      // Every value has a digit or a capital letter: its ink is at least a capital high.
      EXPECT_GE(ink.Height(), capital) << t.text;
      EXPECT_GE(ink.left, columnA ? 4 : client.Width() / 2) << t.text;
      EXPECT_LE(ink.right, columnA ? client.Width() / 2 : client.Width() - 4) << t.text;
      // Drawn whole: not clipped at the edges of the box it was given.
      EXPECT_GT(ink.left, t.rect.left) << t.text;
      EXPECT_LT(ink.right, t.rect.right) << t.text;
      for (const CRect& label : labels) {
        CRect overlap;
        EXPECT_FALSE(overlap.IntersectRect(ink, label)) << t.text << " runs into a label";
      }
    }
    EXPECT_EQ(values, 12);
    EXPECT_TRUE(kvp::SaveWindowPng(status, kvtest::ScreenshotPath(size.screenshot).c_str()));
  }
}

// ---- printing and pictures ---------------------------------------------------------------------

class NoCups : public kvp::print::CupsBackend {
 public:
  bool DefaultDestination(kvp::print::CupsDestination*) override { return false; }
  bool Submit(const std::string&, const std::string&, const std::string&, int) override { return true; }
};

TEST_F(AnalyzerTest, PrintGoesToOneLandscapePage) {
  NoCups cups;
  kvp::print::CupsBackend* before = kvp::print::SetCupsBackend(&cups);
  const std::string folder = std::string(std::getenv("HOME")) + "/analyzer-print";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\KV310Platform\\Printing", "PdfFolder", folder.c_str());
  CRecord* a = AddRecord(4000, Triangle);
  a->m_nCoupling = 1;
  AddRecord(4000, [](int i) { return static_cast<SHORT>(i % 100 < 50 ? 31000 : -9000); }, 1000.0, 2.0);
  GetRecorder().SetFileName("/home/user/records/analyzer-print.rec");
  Loaded();
  // Cancelled: nothing printed.
  hl::RunInLoop([] { ::PostMessage(kvp::print::OpenPrintDialogWindow(), WM_CLOSE, 0, 0); });
  analyzer::Notify(13, 75);
  EXPECT_TRUE(kvp::print::LastPdfFile().empty());
  hl::RunInLoop([] { ::PostMessage(kvp::print::OpenPrintDialogWindow(), WM_COMMAND, IDOK, 0); });
  analyzer::Notify(13, 75);
  const std::string pdf = kvp::print::LastPdfFile();
  ASSERT_FALSE(pdf.empty());
  const std::string info = kvtest::CommandOutput("pdfinfo '" + pdf + "' 2>/dev/null");
  const size_t pages = info.find("Pages:");
  ASSERT_NE(pages, std::string::npos) << info;
  EXPECT_EQ(std::atoi(info.c_str() + pages + 6), 1);
  const std::string text = kvtest::CommandOutput("pdftotext -layout '" + pdf + "' - 2>/dev/null");
  for (const char* t : {"Dravix Scope - Current view of record chart", "Signal A", "Signal B",
                        "signal scale: ~1V/div", "signal scale: 2V/div", "max: >7.6V"})
    EXPECT_NE(text.find(t), std::string::npos) << t << "\n" << text;
  // Landscape: wider than high.
  const size_t size = info.find("Page size:");
  ASSERT_NE(size, std::string::npos);
  double w = 0, h = 0;
  std::sscanf(info.c_str() + size, "Page size: %lf x %lf", &w, &h);
  EXPECT_GT(w, h);
  const char* art = std::getenv("KV_ARTIFACT_DIR");
  const std::filesystem::path out = std::filesystem::path(std::getenv("KV_BIN_DIR")).parent_path() / "record-files";
  std::filesystem::create_directories(out);
  std::filesystem::copy_file(pdf, out / "analyzer-print.pdf", std::filesystem::copy_options::overwrite_existing);
  const std::string png = kvtest::ScreenshotPath("analyzer-print");
  kvtest::CommandOutput("pdftoppm -png -r 40 -singlefile '" + pdf + "' '" + png.substr(0, png.size() - 4) + "'");
  EXPECT_TRUE(std::filesystem::exists(png));
  (void)art;
  kvp::print::SetCupsBackend(before);
}

// A record file may hold any number as the coupling; only 1 is AC. The status area and the
// printout read it the same way: a "~" on screen and on paper for 1, on neither for 2.
TEST_F(AnalyzerTest, StatusAndPrintoutAgreeOnTheCouplingOfAnOddFileValue) {
  NoCups cups;
  kvp::print::CupsBackend* before = kvp::print::SetCupsBackend(&cups);
  const std::string folder = std::string(std::getenv("HOME")) + "/analyzer-coupling-print";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\KV310Platform\\Printing", "PdfFolder", folder.c_str());
  AddRecord(2000, Triangle)->m_nCoupling = 1;
  AddRecord(2000, Triangle, 1000.0, 2.0)->m_nCoupling = 2;
  Loaded();
  CString a6[6], b6[6];
  pane->m_StatusArea.ColumnValues(0, a6);
  pane->m_StatusArea.ColumnValues(1, b6);
  EXPECT_EQ(std::string(a6[0]), "~1V");
  EXPECT_EQ(std::string(b6[0]), "2V");
  hl::RunInLoop([] { ::PostMessage(kvp::print::OpenPrintDialogWindow(), WM_COMMAND, IDOK, 0); });
  analyzer::Notify(13, 75);
  kvp::print::SetCupsBackend(before);
  const std::string pdf = kvp::print::LastPdfFile();
  ASSERT_FALSE(pdf.empty());
  const std::string text = kvtest::CommandOutput("pdftotext -layout '" + pdf + "' - 2>/dev/null");
  EXPECT_NE(text.find("signal scale: ~1V/div"), std::string::npos) << text;
  EXPECT_NE(text.find("signal scale: 2V/div"), std::string::npos) << text;
  EXPECT_EQ(text.find("~2V"), std::string::npos) << text;
}

// A level dragged on one record is that record's: a record opened afterwards starts with its
// trace on its level line at 0, on screen and on paper.
TEST_F(AnalyzerTest, ARecordOpenedAfterALevelDragDrawsItsTraceOnItsLevel) {
  const std::string path = (std::filesystem::current_path() / "analyzer-level.rec").string();
  AddRecord(3000, [](int) -> SHORT { return 0; });  // a flat record: its trace is its zero line
  ASSERT_EQ(WriteRecordFile(path.c_str()).result, RecordFileResult::Ok);
  Loaded();
  analyzertest::DragLevelThumb(pane->m_Chart, 0, -80);
  ASSERT_NE(GetRecorder().m_View.m_dLevelOffset[0], 0.0) << "the drag moved the trace";

  SetRecordPathAsker([&](const RecordPathRequest&, CString& out) {
    out = path.c_str();
    return true;
  });
  pane->m_Tools.Command(CWndAnalyzer_Tools::kOpen);
  ASSERT_EQ(GetRecordList().GetSize(), 1);
  const CRecord& r = *GetRecordList()[0];
  const int zero = r.m_Scale.ValueToPixel(0.0);
  EXPECT_EQ(pane->m_Chart.m_Items.GetItem(2)->rect.top + 6, zero) << "the level thumb at 0";
  hl::Pump();
  CRect c;
  pane->m_Chart.GetClientRect(&c);
  for (int x : {c.Width() / 5, c.Width() / 2, c.Width() * 4 / 5}) {
    const std::vector<int> rows = analyzertest::RowsInColour(pane->m_Chart.GetSafeHwnd(), x, {r.m_crColor, r.m_Level.m_crColor});
    ASSERT_FALSE(rows.empty()) << "x " << x;
    EXPECT_LE(rows.back() - rows.front(), 4) << "one line: the trace under its level line, x " << x;
    EXPECT_LE(std::abs(rows.front() - zero), 3) << "x " << x;
  }

  // The printout draws the trace and its zero line in the middle of the frame, where 0 is.
  NoCups cups;
  kvp::print::CupsBackend* before = kvp::print::SetCupsBackend(&cups);
  const std::string folder = std::string(std::getenv("HOME")) + "/analyzer-level-print";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\KV310Platform\\Printing", "PdfFolder", folder.c_str());
  hl::RunInLoop([] { ::PostMessage(kvp::print::OpenPrintDialogWindow(), WM_COMMAND, IDOK, 0); });
  pane->m_Tools.Command(CWndAnalyzer_Tools::kPrint);
  kvp::print::SetCupsBackend(before);
  const std::string pdf = kvp::print::LastPdfFile();
  ASSERT_FALSE(pdf.empty());
  analyzertest::RenderedPage page;
  ASSERT_TRUE(page.Load(pdf, 100));
  const int x0 = page.width / 4, x1 = page.width * 3 / 4;
  const std::vector<int> frame = page.RowsCovered(0x000000, x0, x1, 0.9);
  const std::vector<int> trace = page.RowsCovered(r.m_crColor, x0, x1, 0.9);
  ASSERT_GE(frame.size(), 2u);
  ASSERT_FALSE(trace.empty());
  const int middle = (frame.front() + frame.back()) / 2;
  const int traceRow = (trace.front() + trace.back()) / 2;
  EXPECT_LE(trace.back() - trace.front(), 4) << "one line";
  EXPECT_LE(std::abs(traceRow - middle), 3) << "frame " << frame.front() << ".." << frame.back();
}

TEST_F(AnalyzerTest, Screenshots) {
  // The recorder tests' scene: a segmented triangle with over and under range, a square wave.
  const std::string path = (std::filesystem::current_path() / "scene.rec").string();
  CRecord* a = AddRecord(3000, [](int i) -> SHORT {
    if (i == 700 || i == 701) return 24000;
    if (i == 1200) return -24000;
    if (i == 2000) return -32768;
    if (i == 2001) return 32767;
    return static_cast<SHORT>(80 * std::abs(i % 500 - 250) - 10000);
  }, 1000.0, 2.5);
  a->m_nRawUpper = 24000;
  a->m_nRawLower = -24000;
  a->m_nCoupling = 1;
  AddRecord(3000, [](int i) { return static_cast<SHORT>(i % 100 < 50 ? 12000 : -12000); }, 1000.7, 0.5, 2500)->m_nUnit = 1;
  ASSERT_EQ(WriteRecordFile(path.c_str()).result, RecordFileResult::Ok);
  ClearRecordList();
  pane->Activate(0);
  SetRecordPathAsker([&](const RecordPathRequest&, CString& out) {
    out = path.c_str();
    return true;
  });
  Click(Tool(CWndAnalyzer_Tools::kOpen));
  ASSERT_EQ(GetRecordList().GetSize(), 2);
  Click(Tool(CWndAnalyzer_Tools::kHZoomOut));
  Click(Tool(CWndAnalyzer_Tools::kHZoomOut));
  ASSERT_EQ(GetRecorder().m_View.m_nZoom, 0);
  Shot("analyzer-records");
  Click(Tool(CWndAnalyzer_Tools::kHZoomIn));
  Click(Tool(CWndAnalyzer_Tools::kAZoomIn));
  Shot("analyzer-zoom");
  Click(Tool(CWndAnalyzer_Tools::kCursors));
  Shot("analyzer-cursors");
}

}  // namespace
