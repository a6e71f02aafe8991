// The recorder end to end: the real measurement library "Kv310.dll" through the core's binding,
// on the simulated board behind the in-process link "zlinksim.dll", on the virtual clock. The
// tests stand in for the record command (records, arming, stopping) and for the analyzer window
// (which finishes the transfer on its end message).
#include "LinkTestSupport.h"
#include "FakeLibrary.h"
#include "RecordFileSupport.h"

#include <meters/RecordFile.h>
#include <meters/Recorder.h>

#include <core/DeviceStartup.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/TextIds.h>
#include <core/Texts.h>

#include <platform/clock.h>
#include <platform/display.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include <kvtest/EngineOnBoard.h>
#include <kvtest/Pump.h>

namespace {

struct WindowLog {
  std::vector<WPARAM> progress;
  int ends = 0;
  std::vector<BOOL> finished;
};
WindowLog* g_log = nullptr;
CRecorder* g_recorder = nullptr;

LRESULT AnalyzerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (g_log && msg == WM_ANALYZERNOTIFY) g_log->progress.push_back(wParam);
  if (g_log && msg == WM_ANALYZERRESET) {
    ++g_log->ends;
    g_log->finished.push_back(g_recorder->FinishTransfer());
  }
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

template <typename Pred>
bool PumpUntil(Pred done, int seconds = 30) {
  return kvtest::PumpUntil(done, seconds);
}

double Value(const ScaledValue& v) { return v.mantissa * std::pow(10.0, v.exponent); }

class RecorderEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kvp::ClockUseVirtual(true);
    kvp::OpenHeadlessDisplay();
    kv310::testing::SetLinkLibrary("zlinksim.dll");
    kv310::testing::SetSerialBlockSizeValue(-1);
    zlink_ = std::make_unique<kv310::testing::ZlinkSimBoard>();
    zlink_->Board().Reset();
    zlink_->Board().Update([](sim::BoardScenario& s) {
      s.instantAcquisition = true;
      s.channelSignals[1] = sim::SignalSource{sim::Waveform::Square, 2.0, 0.0, 10.0};
    });
    GetMeasureType().m_nMeasureType = 0;
    GetMeasureType().m_nAngleMode = 0;
    engine_ = std::make_unique<CMeasureEngine>();
    ASSERT_EQ(engine_->OpenMeasuringDevice(0), 1);

    WNDCLASS wc{};
    wc.lpfnWndProc = &AnalyzerProc;
    wc.lpszClassName = "RecorderE2EAnalyzer";
    RegisterClass(&wc);
    window_ = CreateWindowEx(0, "RecorderE2EAnalyzer", "", 0, 0, 0, 100, 100, 0, 0, 0, nullptr);
    recorder_ = std::make_unique<CRecorder>();
    recorder_->m_hAnalyzerWnd = window_;
    const CKelo_DLL& binding = engine_->GetBinding();
    const RecorderLibrary library{binding.Motortester(), binding.MTOscilloscope(), binding.Oscilloscope()};
    recorder_->SetLibrary(&library);
    g_log = &log_;
    g_recorder = recorder_.get();
    ClearRecordList();
  }
  void TearDown() override {
    if (recorder_) recorder_->Stop();
    ClearRecordList();
    g_log = nullptr;
    g_recorder = nullptr;
    recorder_.reset();
    if (window_) DestroyWindow(window_);
    if (engine_) engine_->CoreShutdown();
    engine_.reset();
    zlink_.reset();
    kvp::CloseDisplay();
    kvp::ClockUseVirtual(false);
  }

  IOscilloscope_2& Osc() { return *engine_->GetBinding().Oscilloscope(); }

  // The record command for a direct recording of both channels, DC, 1000 S/s (time-base index
  // 5), A on range index 5 and B on 6: the records, the arming, `ms` of recording and the stop.
  // Returns the count the library reports.
  uint32_t RecordDirect(uint64_t ms) {
    uint16_t rateCount = 0;
    EXPECT_EQ(Osc().GetSampleRateCount(&rateCount), 0);
    std::vector<int32_t> rates(rateCount);
    EXPECT_EQ(Osc().GetSampleRates(rateCount, rates.data()), 0);
    EXPECT_GT(rateCount, 5);
    EXPECT_EQ(rates.at(5), 1000);
    EXPECT_EQ(Osc().SetSampleRateIndex(5), 0);
    const int rangeIndex[2] = {5, 6};
    for (int ch = 0; ch < 2; ++ch) {
      EXPECT_EQ(Osc().SetChannelMode(static_cast<uint16_t>(ch), 2), 0);  // DC
      EXPECT_EQ(Osc().SetRangeIndex(static_cast<uint16_t>(ch), static_cast<uint16_t>(rangeIndex[ch])), 0);
      uint16_t count = 0;
      Osc().GetRangeCount(static_cast<uint16_t>(ch), &count);
      std::vector<ScaledValue> ranges(count);
      Osc().GetRanges(static_cast<uint16_t>(ch), count, ranges.data());
      const double range = Value(ranges.at(static_cast<size_t>(rangeIndex[ch])));
      CRecord* r = AddNewRecord(nullptr);
      r->m_nChannel = static_cast<SHORT>(ch);
      r->m_dFullScale = range;
      r->m_dPerDivision = range * 0.125;  // a test lead: probe scale 1
      r->m_nUnit = CRecord::UNIT_VOLT;
      r->m_nCoupling = 0;  // DC
      r->m_dSampleRate = 1000.0;
      r->m_bDirect = 1;
      r->m_bTransferPending = 1;
    }
    EXPECT_EQ(Osc().CheckSettings(), 0);
    kvp::ClockAdvance(ms);
    uint32_t recorded = 0;
    EXPECT_EQ(Osc().StopMeasurement(&recorded), 0);
    CRecordList& list = GetRecordList();
    for (INT_PTR k = 0; k < list.GetSize(); ++k) {
      list[k]->m_Ring.init(static_cast<int>(recorded / 2));
      list[k]->m_nPointCount = static_cast<int>(recorded / 2);
    }
    return recorded;
  }

  std::unique_ptr<kv310::testing::ZlinkSimBoard> zlink_;
  std::unique_ptr<CMeasureEngine> engine_;
  std::unique_ptr<CRecorder> recorder_;
  HWND window_ = 0;
  WindowLog log_;
};

TEST_F(RecorderEndToEndTest, DirectRecordingOfTwoSecondsOnBothChannels) {
  ASSERT_EQ(RecordDirect(2000), 4000u);
  ASSERT_EQ(recorder_->Start(), 1);
  ASSERT_TRUE(PumpUntil([&] { return log_.ends == 1; }));
  ASSERT_EQ(log_.finished, std::vector<BOOL>{TRUE});
  ASSERT_FALSE(log_.progress.empty());
  EXPECT_EQ(log_.progress.back(), 100u);
  EXPECT_TRUE(std::is_sorted(log_.progress.begin(), log_.progress.end()));
  EXPECT_TRUE(kvp::MessageBoxLog().empty());

  CRecordList& list = GetRecordList();
  ASSERT_EQ(list.GetSize(), 2);
  struct Expect {
    double peak;
    int crossings;  // sign changes over 2 s
  } expect[2] = {{5.0, 200}, {2.0, 40}};
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k);
    const CRecord* r = list[k];
    ASSERT_EQ(r->GetPointCount(), 2000);
    ASSERT_EQ(r->GetSampleCount(), 2000);
    EXPECT_EQ(r->m_bTransferPending, 0);
    double low = 1e9, high = -1e9;
    int crossings = 0;
    for (int i = 0; i < 2000; ++i) {
      const double v = r->GetPointValue(i);
      low = std::min(low, v);
      high = std::max(high, v);
      if (i > 0 && (r->GetPointValue(i - 1) < 0) != (v < 0)) ++crossings;
    }
    EXPECT_NEAR(high, expect[k].peak, 0.1 * expect[k].peak);
    EXPECT_NEAR(low, -expect[k].peak, 0.1 * expect[k].peak);
    EXPECT_NEAR(crossings, expect[k].crossings, 3);
    EXPECT_LT(r->m_nRawUpper, 32767) << "the library's saturation limits of the range";
  }
  const std::string path = meterstest::RecordFilesDir() + "/recorded.rec";
  ASSERT_EQ(WriteRecordFile(path.c_str()).result, RecordFileResult::Ok);
}

// The real oscilloscope behind a stand-in that refuses every read-back chunk from the second on
// (the board answers them with a refusal), so the transfer keeps what the first chunk brought.
class RefusingAfterFirstChunk : public fake::GenIOscilloscope_2 {
 public:
  RefusingAfterFirstChunk(IOscilloscope_2& real, sim::BoardModel& board) : real_(real), board_(board) {}
  int Do_ReadSaturationData(uint16_t channel, int16_t* upper, int16_t* lower) override {
    return real_.ReadSaturationData(channel, upper, lower);
  }
  int Do_WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) override {
    if (++calls_ == 2) board_.Update([](sim::BoardScenario& s) { s.commandFaults[0x11] = {{sim::FaultKind::Nack}, -1}; });
    return real_.WaitData(capacity, samples, count, done);
  }
  int Calls() const { return calls_.load(); }

 private:
  IOscilloscope_2& real_;
  sim::BoardModel& board_;
  std::atomic<int> calls_{0};
};

TEST_F(RecorderEndToEndTest, RefusedReadBackEndsWithTheReadErrorTextAndKeepsTheSamplesReadSoFar) {
  ASSERT_EQ(RecordDirect(2000), 4000u);
  RefusingAfterFirstChunk refusing(Osc(), zlink_->Board());
  const RecorderLibrary library{nullptr, nullptr, &refusing};
  recorder_->SetLibrary(&library);
  ASSERT_EQ(recorder_->Start(), 1);
  ASSERT_TRUE(PumpUntil([&] { return log_.ends == 1; }));
  EXPECT_EQ(log_.finished, std::vector<BOOL>{TRUE});
  EXPECT_EQ(refusing.Calls(), 1 + 11);
  const std::vector<kvp::MessageBoxCall> boxes = kvp::MessageBoxLog();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, GetDefaultLanguageText(kTextRecordReadError));
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k);
    const CRecord* r = GetRecordList()[k];
    EXPECT_EQ(r->GetPointCount(), 2000);
    EXPECT_EQ(r->GetSampleCount(), 1000) << "the first chunk: 1000 frames";
    EXPECT_TRUE(r->IsPointValid(999));
    EXPECT_FALSE(r->IsPointValid(1000));
  }
  EXPECT_EQ(log_.progress, std::vector<WPARAM>{50});
}

// The scope pane's side for the ring path: both channels on at 100 kS/s; counts the records.
class FeedingScope : public IOscClbck {
 public:
  int OnOscError(MeterResult& result) override {
    std::lock_guard<std::mutex> lock(m);
    errors += static_cast<int>(result.m_Lines.GetSize());
    return 0;
  }
  int OnOscMessage(int, LPARAM) override { return 0; }
  int OnOscQuerySettings(CMeasureProps& settings, int) override {
    std::lock_guard<std::mutex> lock(m);
    settings = prepared;
    return 1;
  }
  int OnOscData(AcquisitionRecord&) override {
    std::lock_guard<std::mutex> lock(m);
    return ++records < wanted ? 1 : 0;
  }
  int Count() {
    std::lock_guard<std::mutex> lock(m);
    return records;
  }
  std::mutex m;
  CMeasureProps prepared;
  int wanted = 4;
  int records = 0;
  int errors = 0;
};

// The ring path: the acquisition engine feeds the records' rings while the scope runs at
// 100 kS/s (real clock, as the engine's own end-to-end tests run the acquisition thread).
class RecorderRingEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    onBoard_ = std::make_unique<kvtest::EngineOnBoard>();
    engine_ = &onBoard_->Engine();
    WNDCLASS wc{};
    wc.lpfnWndProc = &AnalyzerProc;
    wc.lpszClassName = "RecorderE2ERingAnalyzer";
    RegisterClass(&wc);
    window_ = CreateWindowEx(0, "RecorderE2ERingAnalyzer", "", 0, 0, 0, 100, 100, 0, 0, 0, nullptr);
    recorder_ = std::make_unique<CRecorder>();
    recorder_->m_hAnalyzerWnd = window_;
    recorder_->SetFeedEngine(engine_);
    g_log = &log_;
    g_recorder = recorder_.get();
    ClearRecordList();
  }
  void TearDown() override {
    recorder_->SetRingFeed(0);
    recorder_->Stop();
    onBoard_->Engine().CoreShutdown();
    ClearRecordList();
    g_log = nullptr;
    g_recorder = nullptr;
    recorder_.reset();
    DestroyWindow(window_);
    onBoard_.reset();
  }

  std::unique_ptr<kvtest::EngineOnBoard> onBoard_;
  CMeasureEngine* engine_ = nullptr;
  std::unique_ptr<CRecorder> recorder_;
  HWND window_ = 0;
  WindowLog log_;
};

TEST_F(RecorderRingEndToEndTest, TheEngineFeedsSegmentsWithGapMarkersAt100kSamplesPerSecond) {
  ASSERT_TRUE(RunDeviceStartup(GetGlobalProps(), 0));
  // The trigger level must lie inside the sine: the smallest range that holds its 5 V.
  GlobalProps& props = GetGlobalProps();
  const CNxDoubleArray& ranges = props.m_Channels[0].m_Ranges;
  int fitting = -1;
  for (INT_PTR i = 0; i < ranges.GetSize(); ++i)
    if (ranges[i] >= 6.0 && (fitting < 0 || ranges[i] < ranges[fitting])) fitting = static_cast<int>(i);
  ASSERT_GE(fitting, 0);
  props.SetChannelRangeIndex(0, fitting, TRUE, TRUE);
  FeedingScope scope;
  CMeasureProps settings = GetGlobalProps();
  for (CChannelProps& c : settings.m_Channels) {
    c.m_nModeEnable = 1;
    c.m_nChangeFlags |= CHN_ON;
  }
  int index = -1;
  for (INT_PTR i = 0; i < settings.m_TimeBase.m_Rates.GetSize(); ++i)
    if (settings.m_TimeBase.m_Rates[i] == 100000.0) index = static_cast<int>(i);
  ASSERT_GE(index, 0);
  settings.SetTimeBaseIndex(index, FALSE, TRUE);
  settings.m_nRequestedTimeBaseIndex = index;
  settings.m_TimeBase.m_nFlags |= TB_INDEX_CHANGED;
  settings.UpdateSlowRateTriggerMode();
  settings.m_nChangeFlags = CHG_ALL;
  scope.prepared = settings;
  engine_->SetOscCallback(&scope);

  // The record command's stand-in: a ring record per switched-on channel, then the feed.
  for (int ch = 0; ch < 2; ++ch) {
    CRecord* r = AddNewRecord(nullptr);
    r->m_nChannel = static_cast<SHORT>(ch);
    r->m_dFullScale = 8.0;
    r->m_dSampleRate = 100000.0;
    r->m_bRoll = 1;
    r->m_bTransferPending = 1;
    r->m_Ring.init(2500);
  }
  ASSERT_EQ(recorder_->SetRingFeed(1), 1);
  EXPECT_TRUE(engine_->IsRecorderFed());
  engine_->Run(1);
  ASSERT_TRUE(PumpUntil([&] { return scope.Count() >= 4; }, 10)) << scope.Count() << " records, " << scope.errors
                                                                 << " error lines, ring 0 holds "
                                                                 << GetRecordList()[0]->GetSampleCount() << " running " << engine_->IsThreadRunning()
                                                                 << " present " << engine_->IsDevicePresent()
                                                                 << " measuring " << engine_->IsMeasuring();
  ASSERT_EQ(recorder_->SetRingFeed(0), 1);  // StopRecording, before its question
  engine_->StopAcquisitionThread();
  EXPECT_EQ(scope.errors, 0);

  ASSERT_EQ(recorder_->Start(), 1);
  ASSERT_TRUE(PumpUntil([&] { return log_.ends == 1; }));
  ASSERT_EQ(log_.finished, std::vector<BOOL>{TRUE});
  EXPECT_TRUE(log_.progress.empty());
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k);
    const CRecord* r = GetRecordList()[k];
    EXPECT_EQ(r->GetPointCount(), 2500) << "four segments of 1002 filled the ring";
    EXPECT_EQ(r->m_Ring.GetCapacity(), 2500);
    EXPECT_EQ(r->m_bContinuous, 0);
    // Segments of 1000 samples, each followed by a gap pair.
    std::vector<int> gapStarts;
    for (int i = 0; i + 1 < r->GetPointCount(); ++i)
      if (r->GetRaw(i) == -32768 && r->GetRaw(i + 1) == 32767) gapStarts.push_back(i);
    ASSERT_GE(gapStarts.size(), 2u);
    for (size_t g = 1; g < gapStarts.size(); ++g) EXPECT_EQ(gapStarts[g] - gapStarts[g - 1], 1002);
    EXPECT_EQ(gapStarts.back(), 2498) << "the newest segment ends the ring";
    EXPECT_EQ(r->GetPointValue(2498), 0.0);
    EXPECT_TRUE(r->IsPointValid(2499));
  }
}

}  // namespace
