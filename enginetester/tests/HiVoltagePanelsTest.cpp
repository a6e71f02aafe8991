// The four high-voltage panels on the headless display with real worker threads over a scripted
// meter whose link stays busy until the test completes each measurement: the batch cycle, hide
// and show around queued reports, the refusal, destruction with a meter that never answers, the
// value tables of the variants, the polarity detection, the channel buttons and the painting.
#include <enginetester/PanelCommon.h>
#include <enginetester/WndMotortester_AllCylinders.h>
#include <enginetester/WndMotortester_OneCylinder.h>
#include <enginetester/WndMotortester_OneCylinder_DblCoil.h>
#include <enginetester/WndMotortester_SelectedCylinder.h>

#include <core/MeasureEngine.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Pump.h>
#include <kvtest/Screenshots.h>

#include <platform/clock.h>
#include <platform/display.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include "EtTestSupport.h"
#include "HiVoltageFakes.h"

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace hl = kvp::headless;
using ettest::Cylinder;
using S = HiVoltageBatchState;

// The engine-tester pane's stand-in: records the refusals it receives and whether a box was open.
class Host : public kvtest::HostWindow {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_KVREFUSED) {
      ++refusals;
      boxesAtRefusal = static_cast<int>(kvp::MessageBoxLog().size());
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
  int refusals = 0;
  int boxesAtRefusal = -1;
};

class HiVoltageTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    host.CreateTop(1000, 700);
    CMotortesterData* data = GetMotortesterDevice();
    data->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, 4);
    data->SetCoilType(CMotortesterData::ENGINE_SPARK, 0);
    data->m_bAveraging.store(0);
    data->m_bAutoPolarity.store(0);
    meter.SetRecords({Cylinder(10000, 0), Cylinder(10000, 1), Cylinder(5000, 2), Cylinder(10000, 3)});
  }
  void TearDown() override {
    SetEvent(meter.gate);
    host.DestroyWindow();
    kvtest::CoreTest::TearDown();
  }
  void Create(CWndMotortester_HiVoltage& panel) {
    panel.SetInterfaces(&meter, &link);
    ASSERT_TRUE(panel.Create("panel", WS_CHILD, CRect(0, 0, 900, 600), &host, 1020));
  }
  // Waits until a worker is inside its wait for the link (the arm has returned).
  bool WaitArms(int n) {
    return kvtest::PumpUntil([&] { return meter.arms.load() >= n && meter.inside.load() == 0; });
  }
  // Lets the pending batch finish and waits until its report is queued.
  void FinishBatch(CWndMotortester_HiVoltage& panel) {
    link.Complete();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (panel.State().running.load() && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  kvp::HeadlessWorld world;
  ettest::FakeLink link;
  ettest::FakeMeter meter{link};
  CMeasureEngine engine;
  Host host;
};

// ---- threads -----------------------------------------------------------------------------------

TEST_F(HiVoltageTest, EachBatchIsOneWorkerAndTheReportStartsTheNext) {
  CWndMotortester_AllCylinders panel(&engine);
  Create(panel);
  panel.ShowWindow(SW_SHOW);
  ASSERT_TRUE(WaitArms(1));
  EXPECT_TRUE(panel.HasWorker());
  EXPECT_EQ(link.recovers.load(), 1);
  for (int batch = 2; batch <= 4; ++batch) {
    FinishBatch(panel);
    ASSERT_TRUE(WaitArms(batch));
  }
  EXPECT_EQ(meter.arms.load(), 4);
  EXPECT_EQ(meter.maxInside.load(), 1);
  EXPECT_EQ(panel.State().values[2].load(), 5000);
  EXPECT_EQ(panel.State().values[0].load(), 10000);
  EXPECT_EQ(panel.State().speed.load(), 3000);
  EXPECT_EQ(panel.State().shownCount.load(), 4);
}

TEST_F(HiVoltageTest, AReportQueuedBeforeAHideStartsNothingAndAShowStartsOneWorker) {
  CWndMotortester_AllCylinders panel(&engine);
  Create(panel);
  panel.ShowWindow(SW_SHOW);
  ASSERT_TRUE(WaitArms(1));
  FinishBatch(panel);  // its WM_KVBATCH waits in the queue
  panel.ShowWindow(SW_HIDE);
  EXPECT_FALSE(panel.HasWorker());
  hl::Pump();
  EXPECT_FALSE(panel.HasWorker());
  EXPECT_EQ(meter.arms.load(), 1);

  // Hide and show in one go with another report queued: still one worker.
  panel.ShowWindow(SW_SHOW);
  ASSERT_TRUE(WaitArms(2));
  FinishBatch(panel);
  panel.ShowWindow(SW_HIDE);
  panel.ShowWindow(SW_SHOW);
  ASSERT_TRUE(WaitArms(3));
  hl::Pump();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  hl::Pump();
  EXPECT_EQ(meter.arms.load(), 3);
  EXPECT_EQ(meter.maxInside.load(), 1);
  EXPECT_TRUE(panel.HasWorker());
}

// A panel shown again tells no speed until its first batch of this visit has read one: the
// previous visit's engine may have stopped since.
TEST_F(HiVoltageTest, AShowForgetsThePreviousVisitsSpeed) {
  CWndMotortester_AllCylinders all(&engine);
  CWndMotortester_OneCylinder one(&engine);
  CWndMotortester_OneCylinder_DblCoil dblCoil(&engine);
  CWndMotortester_SelectedCylinder selected(&engine);
  for (CWndMotortester_HiVoltage* panel : std::initializer_list<CWndMotortester_HiVoltage*>{&all, &one, &dblCoil, &selected}) {
    SCOPED_TRACE(panel->State().variant);
    Create(*panel);
    const int armsBefore = meter.arms.load();
    panel->ShowWindow(SW_SHOW);
    ASSERT_TRUE(WaitArms(armsBefore + 1));
    FinishBatch(*panel);
    ASSERT_EQ(panel->State().speed.load(), 3000);
    panel->ShowWindow(SW_HIDE);
    hl::Pump();

    ResetEvent(meter.gate);  // the next batch does not come back
    kvp::StartTextLog();
    panel->ShowWindow(SW_SHOW);
    std::vector<std::string> texts;
    for (const kvp::DrawnText& t : kvp::DrawnTexts(panel->GetSafeHwnd())) texts.push_back(t.text);
    kvp::StopTextLog();
    EXPECT_EQ(panel->State().speed.load(), -1);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "--- RPM"), texts.end());
    EXPECT_EQ(std::find(texts.begin(), texts.end(), "3000 RPM"), texts.end());
    if (panel == &all) {
      panel->RedrawWindow();
      hl::Pump();
      EXPECT_TRUE(kvp::SaveWindowPng(panel->GetSafeHwnd(), kvtest::ScreenshotPath("et-kv-all-after-visit").c_str()));
    }
    SetEvent(meter.gate);
    panel->ShowWindow(SW_HIDE);
    panel->DestroyWindow();
    hl::Pump();
  }
}

TEST_F(HiVoltageTest, HidingDuringTheWaitStopsTheWorkerWithoutAReport) {
  CWndMotortester_OneCylinder panel(&engine);
  Create(panel);
  panel.ShowWindow(SW_SHOW);
  ASSERT_TRUE(WaitArms(1));
  panel.ShowWindow(SW_HIDE);
  EXPECT_FALSE(panel.HasWorker());
  EXPECT_EQ(panel.State().running.load(), 0);
  link.Complete();
  hl::Pump();
  EXPECT_EQ(meter.arms.load(), 1);
  EXPECT_EQ(meter.speedReads.load(), 0);
}

TEST_F(HiVoltageTest, ARefusalShowsTheBoxThenTellsThePaneAndMeasuresNoMoreUntilShownAgain) {
  std::vector<std::pair<std::string, UINT>> boxes;
  kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& call) {
    boxes.emplace_back(call.text, call.type);
    return IDOK;
  });
  meter.QueueArm(34);
  CWndMotortester_AllCylinders panel(&engine);
  Create(panel);
  panel.ShowWindow(SW_SHOW);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return host.refusals == 1; }));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, "Bad params of engine!");
  EXPECT_EQ(boxes[0].second & MB_ICONEXCLAMATION, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(host.boxesAtRefusal, 1);  // the box came first
  hl::Pump();
  EXPECT_EQ(meter.arms.load(), 1);
  EXPECT_TRUE(panel.HasWorker());
  EXPECT_EQ(meter.speedReads.load(), 0);

  panel.ShowWindow(SW_HIDE);
  EXPECT_FALSE(panel.HasWorker());
  panel.ShowWindow(SW_SHOW);
  ASSERT_TRUE(WaitArms(2));
  kvp::SetMessageBoxResponder(nullptr);
}

TEST_F(HiVoltageTest, DestructionGivesAStuckWorkerOneSecondThenAbandonsIt) {
  auto panel = std::make_unique<CWndMotortester_AllCylinders>(&engine);
  Create(*panel);
  ResetEvent(meter.gate);
  panel->ShowWindow(SW_SHOW);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return meter.inside.load() == 1; }));
  const uint64_t start = kvp::ClockNowMs();
  std::thread clock([] {
    while (kvp::ClockTimedWaiters() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kvp::ClockAdvance(CWndMotortester_HiVoltage::DESTROY_WAIT_MS);
  });
  panel.reset();
  clock.join();
  EXPECT_EQ(kvp::ClockNowMs() - start, 1000u);

  // The worker ends later on a state it still holds, and posts nothing.
  SetEvent(meter.gate);
  link.Complete();
  ASSERT_TRUE(kvtest::PumpUntil([&] { return meter.inside.load() == 0; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  hl::Pump();
  EXPECT_EQ(meter.arms.load(), 1);
}

TEST_F(HiVoltageTest, WithoutTheLibraryTheShowStartsNoWorkerAndShowsError) {
  kvp::StartTextLog();
  CWndMotortester_AllCylinders panel(&engine);  // the program's binding has no library loaded
  ASSERT_TRUE(panel.Create("panel", WS_CHILD, CRect(0, 0, 900, 600), &host, 1020));
  panel.ShowWindow(SW_SHOW);
  hl::Pump();
  EXPECT_FALSE(panel.HasWorker());
  EXPECT_EQ(panel.State().status.load(), S::STATUS_ERROR);
  bool error = false;
  for (const kvp::DrawnText& t : kvp::DrawnTexts(panel.GetSafeHwnd())) error = error || t.text == "Error";
  EXPECT_TRUE(error);
  kvp::StopTextLog();
}

// ---- one batch at a time, on the state alone -----------------------------------------------------

class BatchTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    GetMotortesterDevice()->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, 4);
    GetMotortesterDevice()->m_bAveraging.store(0);
    meter.pend.store(false);
  }
  std::unique_ptr<S> State(S::Variant v) {
    auto s = std::make_unique<S>(v, &engine);
    s->meter.store(&meter);
    s->link.store(&link);
    return s;
  }
  void Run(S& s) { RunHiVoltageBatch(s, 1, stop.get()); }

  kvp::UniqueHandle stop{CreateEvent(nullptr, TRUE, FALSE, nullptr)};

  ettest::FakeLink link;
  ettest::FakeMeter meter{link};
  CMeasureEngine engine;
};

TEST_F(BatchTest, HistoryMeanCountsOnlyPositiveEntries) {
  struct Case {
    std::vector<int> pushed;
    int mean;
  } cases[] = {
      {{0, 0, 12000, 14000}, 13000},
      {{0, 0, 0, 0}, 0},
      {{1, 2}, 1},
      {{9000, 9000, 9000, 9000, 12000}, 9750},  // the oldest fell out
      {{-5, 0, 7000, 0}, 7000},
  };
  for (const Case& c : cases) {
    auto s = State(S::ALL_CYLINDERS);
    for (int v : c.pushed) s->HistoryPush(v, 2);
    EXPECT_EQ(s->HistoryMean(2), c.mean);
    EXPECT_EQ(s->HistoryMean(0), 0);
  }
}

TEST_F(BatchTest, ShownCountIsTheSmallerOfTheEnginesCylindersAndTheReport) {
  struct Case {
    int spark, reported, shown;
  } cases[] = {{6, 4, 4}, {2, 4, 2}, {4, 3, 3}, {0x104, 4, 4}};
  for (const Case& c : cases) {
    GetMotortesterDevice()->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, c.spark);
    meter.reported.store(static_cast<uint16_t>(c.reported));
    meter.SetRecords({Cylinder(8000, 0), Cylinder(8000, 1), Cylinder(8000, 2), Cylinder(8000, 3)});
    auto s = State(S::ALL_CYLINDERS);
    Run(*s);
    EXPECT_EQ(s->shownCount.load(), c.shown) << c.spark << " " << c.reported;
    EXPECT_EQ(s->reportedCount.load(), c.reported);
    // Only the shown records were taken.
    for (int i = 0; i < 4; ++i) EXPECT_EQ(s->values[i].load(), i < c.shown ? 8000 : 0);
  }
}

TEST_F(BatchTest, TheFirstRecordsProbeAndTheReadResultsSetTheStatus) {
  struct Case {
    S::Variant variant;
    int kind, frame, values;
    uint16_t reported;
    int status;
    bool speedRead;
  } cases[] = {
      {S::ALL_CYLINDERS, 11, 0, 0, 4, S::STATUS_OK, true},
      {S::ALL_CYLINDERS, 0, 0, 0, 4, S::STATUS_NO_SENSOR, true},
      {S::ALL_CYLINDERS, 5, 0, 0, 4, S::STATUS_BAD_PROBE, true},
      {S::ALL_CYLINDERS, 11, 0, 0, 0, S::STATUS_ERROR, false},  // count 0
      {S::ALL_CYLINDERS, 11, 7, 0, 4, S::STATUS_ERROR, false},  // frame fails
      {S::ALL_CYLINDERS, 11, 0, 9, 4, S::STATUS_ERROR, true},   // values fail
      {S::DOUBLE_COIL, 11, 7, 0, 4, S::STATUS_ERROR, false},
      {S::ONE_CYLINDER, 11, 7, 0, 4, S::STATUS_ERROR, true},
      {S::SELECTED_CYLINDER, 11, 7, 0, 4, S::STATUS_ERROR, true},
      {S::ONE_CYLINDER, 0, 0, 0, 4, S::STATUS_NO_SENSOR, true},
      {S::ONE_CYLINDER, 11, 0, 0, 4, 12000, true},  // the status holds the volts
  };
  for (const Case& c : cases) {
    meter.SetRecords({Cylinder(12000, 0, c.kind), Cylinder(9000, 1, c.kind)});
    meter.frameResult.store(c.frame);
    meter.valuesResult = c.values;
    meter.reported.store(c.reported);
    meter.speedReads.store(0);
    auto s = State(c.variant);
    Run(*s);
    EXPECT_EQ(s->status.load(), c.status) << c.variant << " kind " << c.kind << " frame " << c.frame;
    EXPECT_EQ(meter.speedReads.load(), c.speedRead ? 1 : 0) << c.variant << " frame " << c.frame;
    EXPECT_EQ(s->speed.load(), c.speedRead ? 3000 : -1);
  }
}

TEST_F(BatchTest, TheSpeedCountsOnlyFromASpeedSensor) {
  struct Case {
    int kind, speed;
  } cases[] = {{5, 3000}, {12, 3000}, {13, 3000}, {11, -1}, {0, -1}};
  for (const Case& c : cases) {
    meter.SetRecords({Cylinder(12000, 0)});
    meter.speedKind.store(c.kind);
    auto s = State(S::ONE_CYLINDER);
    Run(*s);
    EXPECT_EQ(s->speed.load(), c.speed) << c.kind;
  }
}

TEST_F(BatchTest, EachVariantReadsItsIndexAndKeepsOnlyValidRecordsOfItsChannels) {
  engine.SetSelectedChannel(3);
  auto one = State(S::ONE_CYLINDER);
  auto selected = State(S::SELECTED_CYLINDER);
  auto dbl = State(S::DOUBLE_COIL);
  auto all = State(S::ALL_CYLINDERS);
  meter.SetRecords({Cylinder(7000, 0)});
  Run(*one);
  Run(*selected);
  // The library left in the all-cylinders mode writes four records, the last two on channels the
  // double-coil panel does not have.
  meter.SetRecords({Cylinder(11000, 1), Cylinder(13000, 0), Cylinder(15000, 2), Cylinder(17000, 3)});
  Run(*dbl);
  EXPECT_EQ(meter.Indexes(), (std::vector<uint16_t>{1, 3, 0}));
  EXPECT_EQ(dbl->values[0].load(), 13000);
  EXPECT_EQ(dbl->values[1].load(), 11000);
  EXPECT_EQ(dbl->shownCount.load(), 2);
  EXPECT_EQ(dbl->HistoryMean(0), 11000);  // record i goes into row i

  // An invalid record keeps the previous value.
  meter.SetRecords({Cylinder(9000, 0), Cylinder(2000, 1, 11, 0), Cylinder(9000, 2), Cylinder(9000, 3)});
  Run(*all);
  meter.SetRecords({Cylinder(6000, 0), Cylinder(2000, 1, 11, 0), Cylinder(6000, 2, 11, 0), Cylinder(6000, 9)});
  Run(*all);
  EXPECT_EQ(all->values[0].load(), 6000);
  EXPECT_EQ(all->values[1].load(), 0);
  EXPECT_EQ(all->values[2].load(), 9000);
  EXPECT_EQ(all->values[3].load(), 9000);  // channel 9 ignored
}

TEST_F(BatchTest, PolarityDetectionSwitchesBackOnlyWhenTheFirstPolarityWasStronger) {
  struct Case {
    int before, after, rearms;
  } cases[] = {{12000, 9000, 2}, {9000, 12000, 1}, {10000, 10000, 1}};
  CMotortesterData* data = GetMotortesterDevice();
  data->SetCoilType(CMotortesterData::ENGINE_SPARK, 1);
  data->m_bAutoPolarity.store(1);
  for (S::Variant v : {S::ALL_CYLINDERS, S::SELECTED_CYLINDER}) {
    for (const Case& c : cases) {
      meter.rearms.store(0);
      auto s = State(v);
      for (int batch = 1; batch <= 13; ++batch) {
        const int volts = batch <= 5 ? c.before : c.after;
        meter.SetRecords({Cylinder(volts, 0), Cylinder(volts, 1)});
        Run(*s);
        if (batch == 5) {
          EXPECT_EQ(meter.rearms.load(), 1);
        }
        if (batch < 10) {
          EXPECT_TRUE(s->DetectionRunning());
        }
      }
      EXPECT_EQ(meter.rearms.load(), c.rearms) << c.before << "/" << c.after;
      EXPECT_EQ(s->polarityCounter.load(), 11);
      EXPECT_EQ(s->meanBefore.load(), c.before);
      EXPECT_EQ(s->meanAfter.load(), c.after);
      EXPECT_FALSE(s->DetectionRunning());
    }
  }
  // Without the double-spark coil nothing happens; an invalid first record does not count.
  data->SetCoilType(CMotortesterData::ENGINE_SPARK, 0);
  meter.rearms.store(0);
  auto s = State(S::ALL_CYLINDERS);
  for (int i = 0; i < 6; ++i) Run(*s);
  EXPECT_EQ(s->polarityCounter.load(), 0);
  data->SetCoilType(CMotortesterData::ENGINE_SPARK, 1);
  meter.SetRecords({Cylinder(9000, 0, 11, 0)});
  Run(*s);
  EXPECT_EQ(s->polarityCounter.load(), 0);
  EXPECT_EQ(meter.rearms.load(), 0);
}

// ---- painting and buttons --------------------------------------------------------------------------

class HiVoltagePaintTest : public HiVoltageTest {
 protected:
  void SetUp() override {
    HiVoltageTest::SetUp();
    kvp::StartTextLog();
  }
  void TearDown() override {
    kvp::StopTextLog();
    HiVoltageTest::TearDown();
  }
  // Shows the panel, lets one batch finish and returns the texts of the report's repaint (the
  // next batch has begun since, with its status back at 0 until it ends).
  std::vector<std::string> Measure(CWndMotortester_HiVoltage& panel) {
    Create(panel);
    panel.ShowWindow(SW_SHOW);
    EXPECT_TRUE(WaitArms(1));
    hl::Pump();  // the show's own paint
    kvp::ClearTextLog();
    FinishBatch(panel);
    EXPECT_TRUE(WaitArms(2));
    std::vector<std::string> texts;
    for (const kvp::DrawnText& t : kvp::DrawnTexts(panel.GetSafeHwnd())) texts.push_back(t.text);
    return texts;
  }
  static bool Has(const std::vector<std::string>& texts, const std::string& t) {
    return std::find(texts.begin(), texts.end(), t) != texts.end();
  }
};

TEST_F(HiVoltagePaintTest, BarsAreClampedAndScaledToThirtyKilovolts) {
  meter.reported.store(2);
  GetMotortesterDevice()->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, 2);
  meter.SetRecords({Cylinder(999, 0), Cylinder(25001, 1)});
  CWndMotortester_AllCylinders panel(&engine);
  const auto texts = Measure(panel);
  EXPECT_EQ(panel.m_nDisplayValues[0], 0);
  EXPECT_EQ(panel.m_nDisplayValues[1], 25000);
  EXPECT_TRUE(Has(texts, "0kV"));
  EXPECT_TRUE(Has(texts, "25kV"));
  for (const char* t : {"1", "2", "averaging: Off", "3000 RPM", "[sensor]", "5kV", "20kV"})
    EXPECT_TRUE(Has(texts, t)) << t;
  const CRect scale = panel.ScaleRect();
  EXPECT_EQ(panel.BarRect(0, 0).Height(), 0);
  EXPECT_EQ(panel.BarRect(1, 25000).Height(), scale.Height() * 25 / 30);
  // The tall bar is painted: blue near its top, black-ish at its foot, the face colour beside it.
  const CRect bar = panel.BarRect(1, 25000);
  const COLORREF top = kvp::WindowPixel(panel.GetSafeHwnd(), bar.CenterPoint().x, bar.top + 1);
  EXPECT_GT(GetBValue(top), 150);
  EXPECT_EQ(GetRValue(top), 0);
  const COLORREF foot = kvp::WindowPixel(panel.GetSafeHwnd(), bar.CenterPoint().x, bar.bottom - 1);
  EXPECT_LT(GetBValue(foot), 20);

  const auto printed = panel.GetPrintValues();
  EXPECT_EQ(printed.count, 2);
  EXPECT_EQ(printed.values[1], 25000);
  EXPECT_EQ(printed.speed, 3000);
}

// The labels of the kV scale, right-aligned in their strip at the left of the measuring area, lie
// inside the area whole, also as large as the panel is in the program.
TEST_F(HiVoltagePaintTest, TheScaleLabelsStayInsideTheMeasuringArea) {
  std::vector<SIZE> sizes(std::begin(ettest::kProgramPanelSizes), std::end(ettest::kProgramPanelSizes));
  sizes.push_back(SIZE{900, 600});
  ResetEvent(meter.gate);  // no batch: the scale alone
  for (const SIZE& size : sizes) {
    for (int variant : {S::ALL_CYLINDERS, S::SELECTED_CYLINDER}) {  // the latter with a larger font
      SCOPED_TRACE(testing::Message() << size.cx << " variant " << variant);
      CWndMotortester_AllCylinders all(&engine);
      CWndMotortester_SelectedCylinder selected(&engine);
      CWndMotortester_HiVoltage& panel = variant == S::ALL_CYLINDERS ? static_cast<CWndMotortester_HiVoltage&>(all)
                                                                     : static_cast<CWndMotortester_HiVoltage&>(selected);
      panel.SetInterfaces(&meter, &link);
      ASSERT_TRUE(panel.Create("panel", WS_CHILD, CRect(0, 0, size.cx, size.cy), &host, 1020));
      host.MoveWindow(0, 0, size.cx, size.cy);
      panel.ShowWindow(SW_SHOW);
      kvp::ClearTextLog();
      panel.Redraw();
      const CRect area = panel.MeasuringArea();
      CClientDC dc(&panel);
      CFont* old = dc.SelectObject(&panel.m_fntSmall);
      int labels = 0;
      for (const kvp::DrawnText& t : kvp::DrawnTexts(panel.GetSafeHwnd())) {
        if (!(t.flags & DT_RIGHT) || t.text.size() < 3 || t.text.compare(t.text.size() - 2, 2, "kV") != 0) continue;
        ++labels;
        const CSize extent = dc.GetTextExtent(t.text.c_str());
        const int middle = (t.rect.top + t.rect.bottom) / 2;
        EXPECT_GE(t.rect.right - extent.cx, area.left) << t.text;
        EXPECT_LE(t.rect.right, area.right) << t.text;
        EXPECT_GE(middle - extent.cy / 2, area.top) << t.text;
        EXPECT_LE(middle + extent.cy / 2, area.bottom) << t.text;
      }
      dc.SelectObject(old);
      EXPECT_EQ(labels, 6);
      SetEvent(meter.gate);  // the worker stuck in its arm may end
      panel.ShowWindow(SW_HIDE);
      ResetEvent(meter.gate);
      panel.DestroyWindow();
      hl::Pump();
    }
  }
  SetEvent(meter.gate);
}

TEST_F(HiVoltagePaintTest, AveragingDrawsTheHistoryMean) {
  GetMotortesterDevice()->m_bAveraging.store(1);
  meter.SetRecords({Cylinder(12000, 0)});
  CWndMotortester_OneCylinder panel(&engine);
  panel.State().HistoryPush(14000, 0);
  EXPECT_EQ(panel.BarValue(0), 14000);
  const auto texts = Measure(panel);  // the show clears the history; one batch of 12000
  EXPECT_TRUE(Has(texts, "averaging: On"));
  EXPECT_TRUE(Has(texts, "12kV"));
  panel.State().HistoryPush(14000, 0);
  EXPECT_EQ(panel.BarValue(0), 13000);
}

TEST_F(HiVoltagePaintTest, AStatusReplacesTheBars) {
  struct Case {
    int kind;
    const char* text;
  } cases[] = {{0, "no sensor"}, {5, "Bad probe"}};
  for (const Case& c : cases) {
    meter.SetRecords({Cylinder(12000, 0, c.kind)});
    meter.arms.store(0);
    CWndMotortester_OneCylinder_DblCoil panel(&engine);
    const auto texts = Measure(panel);
    EXPECT_TRUE(Has(texts, c.text)) << c.kind;
    EXPECT_FALSE(Has(texts, "12kV"));
    EXPECT_FALSE(Has(texts, "1"));
  }
}

TEST_F(HiVoltagePaintTest, SelectedCylinderButtonsFollowTheChoiceAndTheShownCount) {
  CWndMotortester_SelectedCylinder panel(&engine);
  Create(panel);
  engine.SetSelectedChannel(1);
  GetMotortesterDevice()->SetNumberCylinders(CMotortesterData::ENGINE_SPARK, 3);
  panel.ShowWindow(SW_SHOW);
  ASSERT_TRUE(WaitArms(1));
  // Shown count 3 of the reported 4: three buttons, the first chosen.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(panel.m_Channel[i].IsWindowVisible() != FALSE, i < 3) << i;
  EXPECT_EQ(panel.m_Channel[0].data.state, 1);
  EXPECT_FALSE(panel.m_Channel[0].IsWindowEnabled());

  panel.State().polarityCounter.store(7);
  CRect r;
  ::GetClientRect(panel.m_Channel[2].GetSafeHwnd(), &r);
  hl::Click(panel.m_Channel[2].GetSafeHwnd(), POINT{r.Width() / 2, r.Height() / 2});
  EXPECT_EQ(engine.GetCurrentChannelMode(), 3);
  EXPECT_EQ(panel.State().polarityCounter.load(), 0);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(panel.m_Channel[i].data.state, i == 2 ? 1 : 0) << i;
    EXPECT_EQ(panel.m_Channel[i].IsWindowEnabled() != FALSE, i != 2) << i;
  }
  FinishBatch(panel);
  ASSERT_TRUE(WaitArms(2));
  EXPECT_EQ(meter.Indexes().back(), 3);
  kvp::ClearTextLog();
  panel.Redraw();
  bool third = false;
  for (const kvp::DrawnText& t : kvp::DrawnTexts(panel.GetSafeHwnd())) third = third || t.text == "third";
  EXPECT_TRUE(third);

  // A channel outside 1-4 leaves the buttons; counts 0/1 hide them all, 2 shows two.
  engine.SetSelectedChannel(7);
  panel.RefreshButtons();
  EXPECT_EQ(panel.m_Channel[2].data.state, 1);
  struct Case {
    int shown, visible;
  } cases[] = {{1, 0}, {0, 0}, {2, 2}, {4, 4}};
  for (const Case& c : cases) {
    panel.State().shownCount.store(c.shown);
    panel.ShowButtons();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(panel.m_Channel[i].IsWindowVisible() != FALSE, i < c.visible);
  }
}

TEST_F(HiVoltagePaintTest, DetectionPaintsGreyBars) {
  CMotortesterData* data = GetMotortesterDevice();
  data->SetCoilType(CMotortesterData::ENGINE_SPARK, 1);
  data->m_bAutoPolarity.store(1);
  meter.SetRecords({Cylinder(20000, 0), Cylinder(20000, 1), Cylinder(20000, 2), Cylinder(20000, 3)});
  CWndMotortester_AllCylinders panel(&engine);
  Measure(panel);
  const CRect bar = panel.BarRect(0, 20000);
  EXPECT_EQ(kvp::WindowPixel(panel.GetSafeHwnd(), bar.CenterPoint().x, bar.top + 2), RGB(205, 205, 205));
  kvp::SaveWindowPng(panel.GetSafeHwnd(), kvtest::ScreenshotPath("et-kv-detecting-headless").c_str());
}

}  // namespace
