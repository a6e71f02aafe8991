// The record analyzer around a real transfer of the recorder thread, read from the recorder
// tests' stand-in library: a pending recording starts on activation, the chart shows its progress,
// its end resets the view and announces the load sequence; leaving the tab mid-transfer discards
// the recording once and the next one completes.
#include "ChartPixels.h"
#include "FakeLibrary.h"

#include <meters/Record.h>
#include <meters/Recorder.h>
#include <meters/analyzer/WndRecordAnalyzer.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Pump.h>
#include <kvtest/Screenshots.h>

#include <platform/clock.h>
#include <platform/display.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

using Call = std::vector<int>;
using Calls = std::vector<Call>;
using meterstest::Block;

// Holds the second read of a transfer until resumed, so the chart can be seen mid-transfer.
class PausingOscilloscope : public meterstest::ScriptedOscilloscope {
 public:
  PausingOscilloscope() { pause = CreateEvent(nullptr, TRUE, TRUE, nullptr); }
  ~PausingOscilloscope() { CloseHandle(pause); }
  void PauseAtSecondRead() {
    reads = 0;
    ResetEvent(pause);
  }
  void Resume() { SetEvent(pause); }
  int Do_WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) override {
    if (++reads == 2) WaitForSingleObject(pause, INFINITE);
    return ScriptedOscilloscope::Do_WaitData(capacity, samples, count, done);
  }
  std::atomic<int> reads{0};
  HANDLE pause;
};

struct LoggingSink : IAnalyzerNotify {
  IAnalyzerNotify* next = nullptr;
  Calls calls;
  void OnAnalyzerNotify(int sender, int code, int value) override {
    calls.push_back({sender, code, value});
    if (next) next->OnAnalyzerNotify(sender, code, value);
  }
  bool Has(int code) const {
    return std::any_of(calls.begin(), calls.end(), [&](const Call& c) { return c[1] == code; });
  }
};

// One direct recording of the channels: `frames` samples per channel, pending for the thread.
void PendingRecords(std::vector<int> channels, int frames) {
  for (int ch : channels) {
    CRecord* r = AddNewRecord(nullptr);
    r->m_nChannel = static_cast<SHORT>(ch);
    r->m_dFullScale = 10.0;
    r->m_dPerDivision = 10.0 / 8;
    r->m_dSampleRate = 1000.0;
    r->m_bDirect = 1;
    r->m_bTransferPending = 1;
    r->m_Ring.init(frames);
    r->m_nPointCount = frames;
  }
}

std::vector<int16_t> Frames(int n, int from, int frames) {
  std::vector<int16_t> out;
  for (int t = from; t < from + frames; ++t)
    for (int k = 0; k < n; ++k) out.push_back(static_cast<int16_t>(k == 0 ? 40 * (t % 400) - 8000 : (t % 200 < 100 ? 6000 : -6000)));
  return out;
}

class AnalyzerTransferTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    ClearRecordList();
    RecorderLibrary library;
    library.motortester = &motortester;
    library.oscilloscope = &osc;
    recorder.SetLibrary(&library);
    recorder.InitCursors();
    ASSERT_TRUE(host.CreateEx(0, kvtest::HostWindowClass(), "host", WS_POPUP | WS_VISIBLE, 0, 0, 1040, 720, 0, 0));
    pane = std::make_unique<CWndRecordAnalyzer>(&recorder);
    ASSERT_TRUE(pane->Create("RecordAnalyzer", WS_CHILD | WS_VISIBLE, CRect(0, 0, 1040, 720), &host, 1021));
    log.next = pane.get();
    SetAnalyzerNotify(&log);
    pane->Init();
    kvp::headless::Pump();
    log.calls.clear();
  }
  void TearDown() override {
    osc.Resume();
    osc.Release();
    recorder.Stop();
    SetAnalyzerNotify(pane.get());
    ClearRecordList();
    pane.reset();
    host.DestroyWindow();
    kvtest::CoreTest::TearDown();
  }

  kvp::HeadlessWorld world;
  PausingOscilloscope osc;
  meterstest::NotReadyMotortester motortester;
  CRecorder recorder;
  CWnd host;
  std::unique_ptr<CWndRecordAnalyzer> pane;
  LoggingSink log;
};

TEST_F(AnalyzerTransferTest, APendingRecordingTransfersWithProgressThenLoads) {
  PendingRecords({0, 1}, 2000);
  osc.Limits(0, 30000, -30000);
  osc.Limits(1, 30000, -30000);
  osc.Push({0, Frames(2, 0, 1000), 0});
  osc.Push({0, Frames(2, 1000, 1000), 1});
  osc.PauseAtSecondRead();
  pane->Activate(0);
  EXPECT_EQ(log.calls, (Calls{{11, 72, 0}, {11, 73, 0}}));
  EXPECT_TRUE(recorder.IsTransferring());
  EXPECT_TRUE(pane->m_Tools.IsEnabled(CWndAnalyzer_Tools::kCursors));
  EXPECT_FALSE(pane->m_Tools.IsEnabled(CWndAnalyzer_Tools::kOpen));
  ASSERT_TRUE(kvtest::PumpUntil([&] { return log.Has(70); }));
  kvp::headless::Pump();
  EXPECT_EQ(pane->m_Chart.m_dProgress, 50.0);
  // The bar's filled half is blue, its other half white.
  CRect c;
  pane->m_Chart.GetClientRect(&c);
  const HWND chart = pane->m_Chart.GetSafeHwnd();
  const int y = c.Height() / 2 - c.Height() / 40;
  EXPECT_EQ(kvp::WindowPixel(chart, c.Width() / 4, y), COLORREF(0xFF0000));
  EXPECT_EQ(kvp::WindowPixel(chart, c.Width() * 3 / 4 + 30, y), COLORREF(0xFFFFFF));
  EXPECT_TRUE(kvp::SaveWindowPng(pane->GetSafeHwnd(), kvtest::ScreenshotPath("analyzer-transfer").c_str()));
  osc.Resume();
  ASSERT_TRUE(kvtest::PumpUntil([&] { return log.Has(60); }));
  EXPECT_EQ(log.calls, (Calls{{11, 72, 0}, {11, 73, 0}, {11, 70, 50}, {11, 70, 100}, {11, 74, 0}, {11, 72, 0},
                              {11, 56, 0}, {13, 60, 0}}));
  EXPECT_EQ(recorder.m_View.m_nZoom, 1);
  EXPECT_EQ(recorder.m_View.m_nPosition, 400);
  EXPECT_EQ(GetRecordList()[0]->GetSampleCount(), 2000);
  EXPECT_FALSE(pane->m_Tools.IsEnabled(CWndAnalyzer_Tools::kHZoomIn));
  EXPECT_TRUE(pane->m_Tools.IsEnabled(CWndAnalyzer_Tools::kHZoomOut));
  EXPECT_TRUE(pane->m_Tools.IsEnabled(CWndAnalyzer_Tools::kPrint));
  EXPECT_EQ(pane->m_Chart.m_Items.GetCount(), 4);
}

TEST_F(AnalyzerTransferTest, LeavingMidTransferDiscardsOnceAndTheNextRecordingCompletes) {
  PendingRecords({0}, 3000);
  osc.Push({0, Frames(1, 0, 1000), 0});
  osc.Hold();
  pane->Activate(0);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return osc.Inside() == 1; }));
  std::thread release([&] {
    while (kvp::ClockTimedWaiters() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    osc.Release();
  });
  EXPECT_TRUE(pane->Deactivate());
  release.join();
  kvp::headless::Pump();
  EXPECT_EQ(std::count(log.calls.begin(), log.calls.end(), Call{16, 76, 0}), 1);
  EXPECT_EQ(GetRecordList().GetSize(), 0);
  EXPECT_EQ(pane->m_Chart.m_Items.GetCount(), 2);
  log.calls.clear();

  PendingRecords({0}, 1000);
  osc.Push({0, Frames(1, 0, 1000), 1});
  pane->Activate(6);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return log.Has(60); }));
  EXPECT_EQ(GetRecordList()[0]->GetSampleCount(), 1000);
  EXPECT_EQ(std::count(log.calls.begin(), log.calls.end(), Call{16, 76, 0}), 0);
}

// A level dragged on one recording is that recording's: the next one starts with its trace on
// its level line at 0.
TEST_F(AnalyzerTransferTest, TheNextRecordingAfterALevelDragDrawsItsTraceOnItsLevel) {
  for (int recording = 0; recording < 2; ++recording) {
    SCOPED_TRACE(recording);
    log.calls.clear();
    PendingRecords({0}, 1000);
    osc.Push({0, std::vector<int16_t>(1000, 0), 1});  // flat: the trace is the zero line
    pane->Activate(6);
    ASSERT_TRUE(kvtest::PumpUntil([&] { return log.Has(60); }));
    kvp::headless::Pump();
    const CRecord& r = *GetRecordList()[0];
    const int zero = r.m_Scale.ValueToPixel(0.0);
    CRect c;
    pane->m_Chart.GetClientRect(&c);
    const std::vector<int> rows =
        analyzertest::RowsInColour(pane->m_Chart.GetSafeHwnd(), c.Width() / 2, {r.m_crColor, r.m_Level.m_crColor});
    ASSERT_FALSE(rows.empty());
    EXPECT_LE(rows.back() - rows.front(), 4) << "one line: the trace under its level line";
    EXPECT_LE(std::abs(rows.front() - zero), 3);
    // The user drags the level before recording again.
    analyzertest::DragLevelThumb(pane->m_Chart, 0, -80);
    ASSERT_NE(recorder.m_View.m_dLevelOffset[0], 0.0);
    pane->Deactivate();
    ClearRecordList();
  }
}

}  // namespace
