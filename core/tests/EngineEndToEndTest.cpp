// The acquisition engine end to end: the real measurement library "Kv310.dll" on the simulated
// board behind the in-process link "zlinksim.dll", opened by the start-up initialisation of the
// settings, with a recording scope pane on the callbacks.
#include "LinkTestSupport.h"

#include <core/DeviceStartup.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/MotortesterData.h>

#include <platform/clock.h>
#include <platform/display.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include <kvtest/EngineOnBoard.h>
#include <kvtest/Pump.h>

namespace {

// The scope pane's side: the settings of GlobalProps with both channels on; keeps the records.
class RecordingScope : public IOscClbck {
 public:
  int OnOscError(MeterResult& result) override {
    std::lock_guard<std::mutex> lock(m);
    for (INT_PTR i = 0; i < result.m_Lines.GetSize(); ++i) errors.emplace_back((LPCSTR)result.m_Lines[i]);
    return 0;
  }
  int OnOscMessage(int, LPARAM) override { return 0; }
  int OnOscQuerySettings(CMeasureProps& settings, int) override {
    std::lock_guard<std::mutex> lock(m);
    settings = prepared;
    return 1;
  }
  int OnOscData(AcquisitionRecord& record) override {
    std::lock_guard<std::mutex> lock(m);
    records.push_back({record.m_Signal[0], record.m_Signal[1], record.m_bTriggered, record.m_nTriggerIndex});
    return static_cast<int>(records.size()) < wanted ? 1 : 0;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(m);
    return records.size();
  }

  struct Record {
    CSignalData a, b;
    int triggered, triggerIndex;
  };
  std::mutex m;
  CMeasureProps prepared;
  int wanted = 3;
  std::vector<Record> records;
  std::vector<std::string> errors;
};

class EngineEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    onBoard_ = std::make_unique<kvtest::EngineOnBoard>();
    engine_ = &onBoard_->Engine();
  }
  void TearDown() override { onBoard_.reset(); }

  // Initialises and hands the scope the settings of GlobalProps with both channels on.
  void Initialize(RecordingScope& scope) {
    ASSERT_TRUE(RunDeviceStartup(GetGlobalProps(), 0));
    Prepare(scope);
    engine_->SetOscCallback(&scope);
  }
  void Prepare(RecordingScope& scope) {
    CMeasureProps settings = GetGlobalProps();
    for (CChannelProps& c : settings.m_Channels) {
      c.m_nModeEnable = 1;
      c.m_nChangeFlags |= CHN_ON;
    }
    settings.m_nChangeFlags = CHG_ALL;
    settings.m_TimeBase.m_nFlags |= TB_INDEX_CHANGED;
    std::lock_guard<std::mutex> lock(scope.m);
    scope.prepared = settings;
  }

  sim::BoardModel& Board() { return onBoard_->Board(); }

  std::unique_ptr<kvtest::EngineOnBoard> onBoard_;
  CMeasureEngine* engine_ = nullptr;
};

TEST_F(EngineEndToEndTest, StartUpOpensTheBoardAndRunDeliversTheSine) {
  RecordingScope scope;
  Initialize(scope);
  GlobalProps& props = GetGlobalProps();
  EXPECT_TRUE(engine_->IsDevicePresent());
  EXPECT_FALSE(engine_->IsReducedVariant());
  EXPECT_FALSE(engine_->GetBoardName().IsEmpty());
  EXPECT_NE(std::string(engine_->GetVersionText()).find(" Build "), std::string::npos);
  EXPECT_EQ(props.m_nRecordLength, 1000);
  EXPECT_DOUBLE_EQ(props.m_TimeBase.GetValueOrZero(), 50000.0);
  EXPECT_EQ(std::string(props.FormatTimePerDiv()), "1ms");
  EXPECT_DOUBLE_EQ(props.m_dTriggerPosition, 30.0);
  EXPECT_NEAR(props.m_Styles[GlobalProps::STYLE_TRIGGER_POSITION].m_dValue, 0.006, 1e-12);
  EXPECT_EQ(props.m_nTriggerLevel, 130);
  EXPECT_TRUE(engine_->IsThreadRunning());
  // The board starts on its 400 V range, where the trigger level of step 130 lies above the
  // 5 V sine: the user picks the smallest range that holds it.
  const CNxDoubleArray& ranges = props.m_Channels[0].m_Ranges;
  int fitting = -1;
  for (INT_PTR i = 0; i < ranges.GetSize(); ++i)
    if (ranges[i] >= 6.0 && (fitting < 0 || ranges[i] < ranges[fitting])) fitting = static_cast<int>(i);
  ASSERT_GE(fitting, 0);
  props.SetChannelRangeIndex(0, fitting, TRUE, TRUE);
  Prepare(scope);

  engine_->Run(1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return scope.Count() >= 3; })) << scope.Count() << " " << (scope.errors.empty() ? "" : scope.errors.front());
  engine_->StopAcquisitionThread();
  ASSERT_GE(scope.records.size(), 3u);
  EXPECT_TRUE(scope.errors.empty()) << scope.errors.front();
  for (const RecordingScope::Record& r : scope.records) {
    ASSERT_EQ(r.a.GetCount(), 1000);
    EXPECT_EQ(r.b.GetCount(), 1000);
    EXPECT_TRUE(r.a.m_bValid);
    double low = 1e9, high = -1e9;
    for (int i = 0; i < r.a.GetCount(); ++i) {
      low = std::min(low, r.a.m_Values[i]);
      high = std::max(high, r.a.m_Values[i]);
    }
    // 5 V peak, 50 Hz: a record of 20 ms holds a whole period.
    EXPECT_NEAR(high, 5.0, 0.3);
    EXPECT_NEAR(low, -5.0, 0.3);
    EXPECT_EQ(r.triggered, 1);
    EXPECT_GE(r.triggerIndex, 0);
  }
}

TEST_F(EngineEndToEndTest, ReducedVariant) {
  Board().Update([](sim::BoardScenario& s) { s.hardwareByte = 1; });
  RecordingScope scope;
  Initialize(scope);
  EXPECT_TRUE(engine_->IsDevicePresent());
  EXPECT_TRUE(engine_->IsReducedVariant());
}

TEST_F(EngineEndToEndTest, SlowRatesAssemblePartialRecords) {
  RecordingScope scope;
  Initialize(scope);
  CMeasureProps& s = scope.prepared;
  int index = -1;
  for (INT_PTR i = 0; i < s.m_TimeBase.m_Rates.GetSize(); ++i)
    if (s.m_TimeBase.m_Rates[i] == 500.0) index = static_cast<int>(i);
  ASSERT_GE(index, 0);
  s.SetTimeBaseIndex(index, FALSE, TRUE);
  s.m_nRequestedTimeBaseIndex = index;
  s.m_TimeBase.m_nFlags |= TB_INDEX_CHANGED;
  s.UpdateSlowRateTriggerMode();
  ASSERT_EQ(s.m_nRollSampleCount, 50);
  s.m_nChangeFlags = CHG_ALL;
  ASSERT_NE(s.m_nSlowRateModifier, 0);
  scope.wanted = 2;
  engine_->Run(1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return scope.Count() >= 2; }));
  engine_->StopAcquisitionThread();
  EXPECT_TRUE(scope.errors.empty()) << scope.errors.front();
  for (const RecordingScope::Record& r : scope.records) EXPECT_GE(std::max(r.a.GetCount(), r.b.GetCount()), 50);
}

TEST_F(EngineEndToEndTest, SignalBeyondTheRangeIsClamped) {
  Board().Update([](sim::BoardScenario& s) { s.channelSignals[0] = sim::SignalSource{sim::Waveform::Sine, 400.0, 0.0, 50.0}; });
  RecordingScope scope;
  Initialize(scope);
  scope.wanted = 1;
  engine_->Run(1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return scope.Count() >= 1; }));
  engine_->StopAcquisitionThread();
  const CSignalData& a = scope.records[0].a;
  ASSERT_EQ(a.GetCount(), 1000);
  int upper = 0, lower = 0;
  for (int i = 0; i < a.GetCount(); ++i) {
    EXPECT_LE(a.m_Raw[i], a.m_nUpperRaw);
    EXPECT_GE(a.m_Raw[i], a.m_nLowerRaw);
    upper += a.m_SaturationFlags[i] == 1;
    lower += a.m_SaturationFlags[i] == 2;
  }
  EXPECT_GT(upper, 0);
  EXPECT_GT(lower, 0);
}

TEST_F(EngineEndToEndTest, MeterServicesOnTheBoard) {
  Board().Update([](sim::BoardScenario& s) { s.channelSignals[0] = sim::SignalSource{sim::Waveform::Dc, 0.0, 3.0, 50.0}; });
  RecordingScope scope;
  Initialize(scope);
  EXPECT_EQ(engine_->ReadVoltmeterProbes().m_nStatus, RESULT_OK);
  engine_->m_nSelectedVoltChannel = 0;
  MeterReading& volts = engine_->GetMeterReading(0);
  EXPECT_EQ(engine_->MeasureVoltage().m_nStatus, RESULT_OK);
  EXPECT_NEAR(volts.m_dRawValue, 3.0, 0.1);
  // RMS of the 5 V sine with the AC flag.
  Board().Update([](sim::BoardScenario& s) { s.channelSignals[0] = sim::SignalSource{sim::Waveform::Sine, 5.0, 0.0, 50.0}; });
  volts.m_bAC = 1;
  EXPECT_EQ(engine_->MeasureVoltage().m_nStatus, RESULT_OK);
  EXPECT_NEAR(volts.m_dRawValue, 5.0 / std::sqrt(2.0), 0.2);

  // 1000 ohms on the automatic range; the open circuit; the diode; a board not ready.
  EXPECT_EQ(engine_->ReadOhmmeterRanges().m_nStatus, RESULT_OK);
  COhmReading& ohm = engine_->GetOhmReading();
  EXPECT_EQ(engine_->MeasureResistance().m_nStatus, RESULT_OK);
  EXPECT_NEAR(ohm.m_dValue, 1000.0, 20.0);
  EXPECT_FALSE(ohm.IsOpenCircuit());
  Board().Update([](sim::BoardScenario& s) { s.resistanceOhms = std::numeric_limits<double>::infinity(); });
  EXPECT_EQ(engine_->MeasureResistance().m_nStatus, RESULT_OK);
  EXPECT_TRUE(ohm.IsOpenCircuit());
  engine_->m_nOhmMode = CMeasureEngine::OHM_DIODE;
  EXPECT_EQ(engine_->ConfigureOhmmeter().m_nStatus, RESULT_OK);
  EXPECT_EQ(engine_->MeasureResistance().m_nStatus, RESULT_OK);
  EXPECT_NEAR(ohm.m_dValue, 0.65, 0.05);
  engine_->m_nOhmMode = CMeasureEngine::OHM_AUTO;
  engine_->ConfigureOhmmeter();
  Board().Update([](sim::BoardScenario& s) {
    s.resistanceOhms = 1000.0;
    s.ohmmeterStatus = 2;
  });
  EXPECT_EQ(engine_->MeasureResistance().m_nStatus, RESULT_NOT_READY);
}

// After a link that does not open, unloading the library leaves no thread of it behind.
TEST_F(EngineEndToEndTest, UnloadAfterAFailedOpenLeavesNoThread) {
  Board().Update([](sim::BoardScenario& s) { s.linkInitResult = 1; });
  const auto threads = [] {
    size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) n += entry.is_directory();
    return n;
  };
  const size_t before = threads();
  EXPECT_FALSE(RunDeviceStartup(GetGlobalProps(), 0));
  EXPECT_FALSE(engine_->IsDevicePresent());
  EXPECT_EQ(engine_->GetBoardName(), "No information");
  engine_->CoreShutdown();
  EXPECT_FALSE(engine_->GetBinding().IsLoaded());
  EXPECT_TRUE(kvtest::PumpUntil([&] { return threads() <= before; }, 5)) << threads() << " > " << before;
}

}  // namespace
