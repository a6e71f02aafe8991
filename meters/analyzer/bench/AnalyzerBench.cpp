// The record analyzer chart's full redraw (grid, hatching, traces, level lines, cursors and
// thumbs) for two one-hour records of 100 samples per second (360,000 samples each, with gap
// markers and over- and under-range runs), over the whole record (zoom 0) and at zoom 20 in the
// middle. User counter frames_per_second (per second of the process's CPU time, the library's rate
// counter, so a busy machine does not count against the chart); the goals are at least 120 for the
// whole records and at least 300 at zoom 20.
#include <meters/Record.h>
#include <meters/Recorder.h>
#include <meters/analyzer/AnalyzerChartWnd.h>

#include <core/MemDC.h>

#include <platform/display.h>

#include <kvtest/BenchFolders.h>
#include <kvtest/HostWindow.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

namespace {

constexpr int kSamples = 360000;

void MakeRecords() {
  ClearRecordList();
  std::mt19937 random(11);
  std::normal_distribution<double> noise(0.0, 400.0);
  for (int k = 0; k < 2; ++k) {
    int index = -1;
    CRecord* r = AddNewRecord(&index);
    r->m_nChannel = static_cast<SHORT>(k);
    r->m_nUnit = CRecord::UNIT_VOLT;
    r->m_dPerDivision = 2.0;
    r->m_dFullScale = 16.0;
    r->m_dSampleRate = 100.0;
    r->m_nRawUpper = 30000;
    r->m_nRawLower = -30000;
    r->m_nPointCount = kSamples;
    r->m_Ring.init(kSamples);
    for (int i = 0; i < kSamples; ++i) {
      double v = 12000.0 * std::sin(i * (k ? 0.013 : 0.0021)) + noise(random);
      if (i % 20000 >= 19000) v = 31000;  // a run over range
      if (i % 30000 >= 29500) v = -31000;  // and one under
      SHORT raw = static_cast<SHORT>(v);
      if (i % 50000 == 0 && i > 0) raw = CRecord::kGapStart;
      if (i % 50000 == 1 && i > 1) raw = CRecord::kGapEnd;
      r->m_Ring.append(raw);
    }
    r->SetLimitValues();
    r->FinishLook(index, 500);
  }
}

void BM_ChartFullRedraw(benchmark::State& state) {
  const int zoom = static_cast<int>(state.range(0));
  CWnd host;
  host.CreateEx(0, kvtest::HostWindowClass(), "host", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 600, 0, 0);
  CAnalyzerChartWnd chart;
  chart.Create("AnalyzerChartWnd", WS_CHILD | WS_VISIBLE, CRect(0, 0, 800, 500), &host, 1023);
  MakeRecords();
  CRecorder& rec = GetRecorder();
  rec.m_View.m_nZoom = zoom;
  rec.SetPosition(kSamples / 2);
  chart.OnAnalyzerNotify(13, 0, 0);
  chart.OnAnalyzerNotify(13, 56, 0);
  for (CursorRecord& c : rec.m_Cursors) c.m_nFlags |= 1;
  rec.m_bCursorsHidden = 0;
  int frames = 0;
  for (auto _ : state) {
    CClientDC dc(&chart);
    CMemDC mem(&dc);
    chart.Draw(&mem, CAnalyzerChartWnd::kAll, TRUE);
    ++frames;
  }
  state.counters["frames_per_second"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.SetItemsProcessed(static_cast<int64_t>(frames) * 2 * (zoom == 0 ? kSamples : zoom * 800));
  ClearRecordList();
  chart.DestroyWindow();
  host.DestroyWindow();
}
BENCHMARK(BM_ChartFullRedraw)->Arg(0)->Arg(20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  kvtest::BenchFolders folders("/tmp/bench_analyzer.XXXXXX");
  if (!folders.Ok()) return 1;
  kvp::OpenHeadlessDisplay();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  kvp::CloseDisplay();
  return 0;
}
