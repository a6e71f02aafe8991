// The engine speed with its unit, drawn as the chart does in every engine-tester frame: one
// DrawValueWithUnit call per iteration into a 1024 x 768 off-screen drawing context. Counter
// draws_per_second (goal: 4000 and more, so the speed costs at most 5 % of a frame at 200
// screens/s).
#include <benchmark/benchmark.h>

#include <cairo.h>

#include <core/MemDC.h>
#include <core/ValueText.h>

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

void DrawEngineSpeed(benchmark::State& state) {
  cairo_surface_t* window = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
  CDC target;
  target.Attach(kvp::CreateSurfaceDC(window, POINT{0, 0}, RECT{0, 0, kWidth, kHeight}));
  {
    CMemDC dc(&target);
    dc.SetTextColor(RGB(0, 0, 0));
    dc.SetBkMode(TRANSPARENT);
    int rpm = 800;
    char value[16];
    for (auto _ : state) {
      std::snprintf(value, sizeof value, "%d", rpm);
      DrawValueWithUnit(value, "RPM", kWidth - 260, 10, kWidth - 10, 70, &dc);
      rpm = rpm >= 6000 ? 800 : rpm + 7;
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["draws_per_second"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  target.DeleteDC();
  cairo_surface_destroy(window);
}

}  // namespace

BENCHMARK(DrawEngineSpeed)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
