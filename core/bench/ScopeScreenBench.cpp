// One scope screen per iteration: a 1024 x 768 window painted through the off-screen drawing
// context with a 10 x 8 grid and two 1000-point traces, then copied back. Items are frames, so
// items/s is frames per second (goal: 500 and more, so drawing never limits 200 screens/s).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include <cairo.h>

#include <core/MemDC.h>

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kPoints = 1000;

std::vector<POINT> Trace(double cycles, double amplitude, double phase) {
  std::vector<POINT> pts(kPoints);
  for (int i = 0; i < kPoints; ++i) {
    const double t = static_cast<double>(i) / (kPoints - 1);
    pts[i].x = static_cast<LONG>(t * (kWidth - 1));
    pts[i].y = static_cast<LONG>(kHeight / 2 + amplitude * std::sin(2 * 3.14159265358979 * cycles * t + phase) +
                                 7 * std::sin(97.0 * t));  // a little noise, as real signals have
  }
  return pts;
}

void PaintScreen(CDC& dc, CPen& gridPen, CPen& penA, CPen& penB, const std::vector<POINT>& a,
                 const std::vector<POINT>& b) {
  dc.FillSolidRect(0, 0, kWidth, kHeight, RGB(255, 255, 255));
  CPen* old = dc.SelectObject(&gridPen);
  for (int i = 1; i < 10; ++i) {
    dc.MoveTo(i * kWidth / 10, 0);
    dc.LineTo(i * kWidth / 10, kHeight);
  }
  for (int i = 1; i < 8; ++i) {
    dc.MoveTo(0, i * kHeight / 8);
    dc.LineTo(kWidth, i * kHeight / 8);
  }
  dc.SelectObject(&penA);
  dc.Polyline(a.data(), static_cast<int>(a.size()));
  dc.SelectObject(&penB);
  dc.Polyline(b.data(), static_cast<int>(b.size()));
  dc.SelectObject(old);
}

void ScopeScreen(benchmark::State& state) {
  const int traceWidth = static_cast<int>(state.range(0));
  cairo_surface_t* window = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
  CDC target;
  target.Attach(kvp::CreateSurfaceDC(window, POINT{0, 0}, RECT{0, 0, kWidth, kHeight}));
  CPen gridPen(PS_SOLID, 1, RGB(192, 192, 192));
  CPen penA(PS_SOLID, traceWidth, RGB(255, 51, 0));
  CPen penB(PS_SOLID, traceWidth, RGB(0, 0, 0));
  const std::vector<POINT> a = Trace(5, 250, 0), b = Trace(3, 180, 1);
  for (auto _ : state) {
    CMemDC dc(&target);
    PaintScreen(dc, gridPen, penA, penB, a, b);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  target.DeleteDC();
  cairo_surface_destroy(window);
}

}  // namespace

BENCHMARK(ScopeScreen)->Arg(1)->Arg(2)->ArgName("penWidth")->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
