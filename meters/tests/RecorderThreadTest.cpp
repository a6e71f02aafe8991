// The recorder thread as a transfer job, against a scripted stand-in library on the virtual
// clock: de-interleaving, limits of each record's own channel, inversion, progress, read errors,
// stops before, during and after the end, an abandoned thread, and the conversion of wrapped rings.
#include "FakeLibrary.h"

#include <meters/Recorder.h>

#include <core/GlobalProps.h>
#include <core/Messages.h>
#include <core/Notify.h>
#include <core/TextIds.h>
#include <core/Texts.h>

#include <kvtest/CoreGlobals.h>

#include <platform/clock.h>
#include <platform/display.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include <kvtest/Pump.h>

namespace {

using meterstest::Block;
using meterstest::ScriptedOscilloscope;

// The analyzer window's stand-in: records progress and ends, and finishes the transfer on the end
// message as the analyzer does.
struct WindowLog {
  std::vector<WPARAM> progress;
  int ends = 0;
  int progressAfterEnd = 0;
  std::vector<BOOL> finished;
};
WindowLog* g_log = nullptr;
CRecorder* g_recorder = nullptr;

LRESULT AnalyzerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (g_log && msg == WM_ANALYZERNOTIFY) {
    g_log->progress.push_back(wParam);
    if (g_log->ends) ++g_log->progressAfterEnd;
  }
  if (g_log && msg == WM_ANALYZERRESET) {
    ++g_log->ends;
    g_log->finished.push_back(g_recorder->FinishTransfer());
  }
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

struct SinkLog : IAnalyzerNotify {
  void OnAnalyzerNotify(int sender, int code, int value) override { calls.push_back({sender, code, value}); }
  std::vector<std::vector<int>> calls;
};

// Interleaved frames: value(slot, frame) for each of n records.
template <typename F>
std::vector<int16_t> Frames(int n, int from, int frames, F value) {
  std::vector<int16_t> out;
  for (int t = from; t < from + frames; ++t)
    for (int k = 0; k < n; ++k) out.push_back(static_cast<int16_t>(value(k, t)));
  return out;
}

class RecorderThreadTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    world_ = std::make_unique<kvp::HeadlessWorld>();
    WNDCLASS wc{};
    wc.lpfnWndProc = &AnalyzerProc;
    wc.lpszClassName = "RecorderTestAnalyzer";
    RegisterClass(&wc);
    window_ = CreateWindowEx(0, "RecorderTestAnalyzer", "", 0, 0, 0, 100, 100, 0, 0, 0, nullptr);
    recorder_ = std::make_unique<CRecorder>();
    recorder_->m_hAnalyzerWnd = window_;
    g_log = &log_;
    g_recorder = recorder_.get();
    UseLibrary(osc_);
    SetAnalyzerNotify(&sink_);
    ClearRecordList();
    sink_.calls.clear();
  }
  void TearDown() override {
    recorder_->Stop();
    ClearRecordList();
    UnregisterAnalyzerNotify(&sink_);
    g_log = nullptr;
    g_recorder = nullptr;
    recorder_.reset();
    DestroyWindow(window_);
    world_.reset();
    kvtest::CoreTest::TearDown();
  }

  void UseLibrary(ScriptedOscilloscope& osc) {
    RecorderLibrary library;
    library.motortester = &motortester_;
    library.oscilloscope = &osc;
    recorder_->SetLibrary(&library);
  }

  // The record command's stand-in for a direct recording: one record per channel, rings and point
  // counts of count / n.
  static void DirectRecords(std::vector<int> channels, int count, double full = 10.0) {
    const int n = static_cast<int>(channels.size());
    for (int ch : channels) {
      CRecord* r = AddNewRecord(nullptr);
      r->m_nChannel = static_cast<SHORT>(ch);
      r->m_dFullScale = full;
      r->m_dPerDivision = full / 8;
      r->m_dSampleRate = 1000.0;
      r->m_bDirect = 1;
      r->m_bTransferPending = 1;
      r->m_Ring.init(count / n);
      r->m_nPointCount = count / n;
    }
  }

  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const kvp::MessageBoxCall& c : kvp::MessageBoxLog()) texts.push_back(c.text);
    return texts;
  }

  std::unique_ptr<kvp::HeadlessWorld> world_;
  HWND window_ = 0;
  std::unique_ptr<CRecorder> recorder_;
  WindowLog log_;
  SinkLog sink_;
  ScriptedOscilloscope osc_;
  meterstest::NotReadyMotortester motortester_;
};

TEST_F(RecorderThreadTest, DeInterleavesBlocksAndReportsProgressBeforeTheEnd) {
  DirectRecords({0, 1}, 6000);
  osc_.Limits(0, 30000, -30000);
  osc_.Limits(1, 20000, -20000);
  auto value = [](int k, int t) { return k == 0 ? t % 1000 : -(t % 1000) - 1; };
  for (int b = 0; b < 3; ++b) osc_.Push({0, Frames(2, b * 1000, 1000, value), static_cast<uint8_t>(b == 2)});
  osc_.Hold();
  ASSERT_EQ(recorder_->Start(), 1);
  EXPECT_TRUE(recorder_->IsTransferring());
  EXPECT_EQ(recorder_->Start(), 0) << "one transfer at a time";
  osc_.Release();
  ASSERT_TRUE(kvtest::PumpUntil([&] { return log_.ends == 1; }));
  EXPECT_EQ(log_.finished, std::vector<BOOL>{TRUE});
  EXPECT_EQ(log_.progress, (std::vector<WPARAM>{33, 66, 100}));
  EXPECT_EQ(log_.progressAfterEnd, 0);
  EXPECT_FALSE(recorder_->IsTransferring());
  EXPECT_EQ(osc_.LimitChannels(), (std::vector<int>{0, 1}));

  CRecordList& list = GetRecordList();
  ASSERT_EQ(list.GetSize(), 2);
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k);
    const CRecord* r = list[k];
    EXPECT_EQ(r->GetPointCount(), 3000);
    EXPECT_EQ(r->GetSampleCount(), 3000);
    EXPECT_EQ(r->m_Ring.GetCapacity(), 3000);
    for (int t : {0, 999, 1000, 2999}) EXPECT_EQ(r->GetRaw(t), value(k, t)) << t;
    EXPECT_EQ(r->m_bTransferPending, 0);
    EXPECT_EQ(std::string(r->m_Style.m_strName), std::to_string(k + 1));
    EXPECT_EQ(r->m_bContinuous, 1);
    EXPECT_EQ(recorder_->m_bChannelChanged[k], 1);
  }
  EXPECT_EQ(list[0]->m_nRawUpper, 30000);
  EXPECT_EQ(list[1]->m_nRawLower, -20000);
  EXPECT_DOUBLE_EQ(list[1]->m_dUpperValue, 10.0 * 20000 / 32767);
  EXPECT_EQ(recorder_->m_bNewData, 1);
  EXPECT_TRUE(recorder_->m_strFileName.IsEmpty());
  EXPECT_TRUE(sink_.calls.empty());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(RecorderThreadTest, ChannelBAloneUsesItsOwnLimitsAndInversion) {
  GetGlobalProps().m_Channels[0].m_bInverted = 1;  // A's inversion must not reach B
  DirectRecords({1}, 4);
  osc_.Limits(0, 100, -100);
  osc_.Limits(1, 20000, -20000);
  osc_.Push({0, {25000, -25000, 19999, 5}, 1});
  ASSERT_EQ(recorder_->Start(), 1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return log_.ends == 1; }));
  EXPECT_EQ(osc_.LimitChannels(), std::vector<int>{1});
  const CRecord* r = GetRecordList()[0];
  EXPECT_EQ(r->m_nRawUpper, 20000);
  EXPECT_EQ(r->m_nRawLower, -20000);
  std::vector<int> raw;
  for (int i = 0; i < 4; ++i) raw.push_back(r->GetRaw(i));
  EXPECT_EQ(raw, (std::vector<int>{20000, -20000, 19999, 5}));
  EXPECT_EQ(r->GetClipCode(0), CRecord::CLIP_UPPER);
}

TEST_F(RecorderThreadTest, InversionSwapsTheLimitsAndClampsOnTheirSides) {
  GetGlobalProps().m_Channels[0].m_bInverted = 1;
  DirectRecords({0}, 5);
  osc_.Limits(0, 30000, -20000);
  osc_.Push({0, {25000, -25000, 100, 31000, -32768}, 1});
  ASSERT_EQ(recorder_->Start(), 1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return log_.ends == 1; }));
  const CRecord* r = GetRecordList()[0];
  EXPECT_EQ(r->m_nRawUpper, 20000);
  EXPECT_EQ(r->m_nRawLower, -30000);
  EXPECT_DOUBLE_EQ(r->m_dUpperValue, -10.0 * -20000 / 32767);
  EXPECT_DOUBLE_EQ(r->m_dLowerValue, -10.0 * 30000 / 32767);
  std::vector<int> raw;
  for (int i = 0; i < 5; ++i) raw.push_back(r->GetRaw(i));
  EXPECT_EQ(raw, (std::vector<int>{-25000, 20000, -100, -30000, 20000}));
}

TEST_F(RecorderThreadTest, ABlockBeyondTheAnnouncedCountStopsAtTheCapacity) {
  DirectRecords({0}, 4);
  osc_.Push({0, {1, 2, 3, 4, 5, 6}, 0});  // more than announced, and not flagged last
  ASSERT_EQ(recorder_->Start(), 1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return log_.ends == 1; }));
  const CRecord* r = GetRecordList()[0];
  std::vector<int> raw;
  for (int i = 0; i < r->GetSampleCount(); ++i) raw.push_back(r->GetRaw(i));
  EXPECT_EQ(raw, (std::vector<int>{1, 2, 3, 4})) << "the oldest samples stay";
  EXPECT_EQ(log_.progress, std::vector<WPARAM>{100});
  EXPECT_EQ(osc_.Calls(), 1) << "the full ring ends the recording";
}

TEST_F(RecorderThreadTest, ElevenReadErrorsEndWithOneBoxOnTheGuiThreadAndKeepTheData) {
  DirectRecords({0, 1}, 6000);
  osc_.Push({0, Frames(2, 0, 1000, [](int k, int t) { return k + t; }), 0});
  for (int i = 0; i < 10; ++i) osc_.Push({7, {}, 0});
  osc_.Push({0, Frames(2, 1000, 10, [](int, int) { return 1; }), 0});  // read after the 10th error
  // The queue is empty now: the next error is the 11th of the recording and ends it.
  ASSERT_EQ(recorder_->Start(), 1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return log_.ends == 1; }));
  EXPECT_EQ(log_.finished, std::vector<BOOL>{TRUE});
  EXPECT_EQ(osc_.Calls(), 1 + 10 + 1 + 1) << "errors count over the whole recording";
  const std::vector<kvp::MessageBoxCall> boxes = kvp::MessageBoxLog();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, GetDefaultLanguageText(kTextRecordReadError));
  EXPECT_EQ(boxes[0].type & MB_ICONEXCLAMATION, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(boxes[0].callerThreadId, GetCurrentThreadId());
  const CRecord* r = GetRecordList()[1];
  EXPECT_EQ(r->GetPointCount(), 3000);
  EXPECT_EQ(r->GetSampleCount(), 1010);
  EXPECT_EQ(r->GetRaw(999), 1000);
  EXPECT_TRUE(r->IsPointValid(1009));
  EXPECT_FALSE(r->IsPointValid(1010));
}

TEST_F(RecorderThreadTest, StopDuringTheTransferDiscardsTheRecordingOnce) {
  DirectRecords({0}, 3000);
  osc_.Push({0, Frames(1, 0, 1000, [](int, int t) { return t; }), 0});
  osc_.Hold();
  ASSERT_EQ(recorder_->Start(), 1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return osc_.Inside() == 1; }));
  // The library answers while Stop waits; the thread then sees the stop.
  std::thread release([&] {
    while (kvp::ClockTimedWaiters() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    osc_.Release();
  });
  EXPECT_EQ(recorder_->Stop(), 1);
  release.join();
  EXPECT_EQ(sink_.calls, (std::vector<std::vector<int>>{{16, 76, 0}}));
  EXPECT_EQ(GetRecordList().GetSize(), 0);
  EXPECT_FALSE(recorder_->IsTransferring());
  kvp::headless::Pump();
  EXPECT_EQ(log_.ends, 0);

  // A new transfer is not hit by the old stop.
  DirectRecords({0}, 1000);
  osc_.Push({0, Frames(1, 0, 1000, [](int, int t) { return t; }), 1});
  ASSERT_EQ(recorder_->Start(), 1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return log_.ends == 1; }));
  EXPECT_EQ(log_.finished, std::vector<BOOL>{TRUE});
  EXPECT_EQ(GetRecordList()[0]->GetSampleCount(), 1000);
  EXPECT_EQ(sink_.calls.size(), 1u);
}

TEST_F(RecorderThreadTest, StopAfterTheEndLeavesTheRecordingToItsEndMessage) {
  DirectRecords({0}, 1000);
  osc_.Push({0, Frames(1, 0, 1000, [](int, int t) { return t; }), 1});
  ASSERT_EQ(recorder_->Start(), 1);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (recorder_->IsThreadRunning() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(recorder_->Stop(), 1);
  EXPECT_TRUE(sink_.calls.empty());
  ASSERT_TRUE(kvtest::PumpUntil([&] { return log_.ends == 1; }));
  EXPECT_EQ(log_.finished, std::vector<BOOL>{TRUE});
  EXPECT_EQ(GetRecordList()[0]->GetSampleCount(), 1000);
}

TEST_F(RecorderThreadTest, AThreadThatNeverReturnsIsAbandonedAndLeavesTheNextRecordsAlone) {
  DirectRecords({0}, 3000);
  osc_.Hold();
  osc_.Push({0, Frames(1, 0, 1000, [](int, int) { return 111; }), 0});
  ASSERT_EQ(recorder_->Start(), 1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return osc_.Inside() == 1; }));
  std::thread clock([] {
    while (kvp::ClockTimedWaiters() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kvp::ClockAdvance(CRecorder::STOP_WAIT_MS);
  });
  EXPECT_EQ(recorder_->Stop(), 1);
  clock.join();
  EXPECT_EQ(sink_.calls.size(), 1u);
  EXPECT_EQ(GetRecordList().GetSize(), 0);
  EXPECT_FALSE(recorder_->IsTransferring());

  // The next recording reads through another library object; the old thread is still inside.
  ScriptedOscilloscope second;
  UseLibrary(second);
  DirectRecords({0}, 1000);
  second.Push({0, Frames(1, 0, 1000, [](int, int) { return 222; }), 1});
  ASSERT_EQ(recorder_->Start(), 1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return log_.ends == 1; }));
  EXPECT_EQ(log_.finished, std::vector<BOOL>{TRUE});

  osc_.Release();
  ASSERT_TRUE(kvtest::PumpUntil([&] { return osc_.Inside() == 0; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kvp::headless::Pump();
  EXPECT_EQ(log_.ends, 1) << "the abandoned job posts nothing";
  const CRecord* r = GetRecordList()[0];
  EXPECT_EQ(r->GetSampleCount(), 1000);
  EXPECT_EQ(r->GetRaw(0), 222);
  EXPECT_EQ(r->GetRaw(999), 222);
  EXPECT_EQ(sink_.calls.size(), 1u);
}

TEST_F(RecorderThreadTest, ConversionCompactsWrappedRingsWithGapMarkers) {
  struct Case {
    const char* what;
    std::vector<int16_t> fed;
    std::vector<int16_t> kept;
    int continuous;
  } cases[] = {
      {"wrapped with a gap", {1, 2, 3, 4, 5, -32768, 32767, 6, 7, 8, 9, 10}, {3, 4, 5, -32768, 32767, 6, 7, 8, 9, 10}, 0},
      {"wrapped without a gap", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, {4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, 1},
      {"not full", {1, -32768, 32767}, {1, -32768, 32767}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearRecordList();
    log_ = {};
    CRecord* r = AddNewRecord(nullptr);
    r->m_bRoll = 1;
    r->m_dFullScale = 1.0;
    r->m_bTransferPending = 1;
    r->m_Ring.init(10);
    for (int16_t v : c.fed) r->m_Ring.append(v);
    ASSERT_EQ(recorder_->Start(), 1);
    ASSERT_TRUE(kvtest::PumpUntil([&] { return log_.ends == 1; }));
    ASSERT_EQ(log_.finished, std::vector<BOOL>{TRUE});
    r = GetRecordList()[0];
    EXPECT_EQ(r->GetPointCount(), static_cast<int>(c.kept.size()));
    EXPECT_EQ(r->m_Ring.GetCapacity(), static_cast<int>(c.kept.size()));
    for (size_t i = 0; i < c.kept.size(); ++i) EXPECT_EQ(r->m_Ring.GetAt(static_cast<int>(i)), c.kept[i]) << i;
    EXPECT_EQ(r->m_bContinuous, c.continuous);
    EXPECT_TRUE(log_.progress.empty());
  }
}

}  // namespace
