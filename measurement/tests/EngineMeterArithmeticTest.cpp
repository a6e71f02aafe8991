// The engine-tester meters' arithmetic on the counts of a meter read, apart from the board: the
// advance from the interval and period counts, including counts no board sends.
#include "EngineMeters.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kv310 {
namespace {

TEST(EngineMeterArithmetic, AdvanceTenths) {
  struct Case {
    const char* what;
    uint64_t interval;
    uint32_t w, period;
    bool stroboscope;
    int16_t markOffset;
    bool valid;
    int32_t tenths;
  } cases[] = {
      {"a tenth of the cycle, stroboscope", 100, 1, 1000, true, 0, true, 360},
      {"four-stroke cycle factor", 100, 2, 1000, true, 0, true, 720},
      {"mark offset taken off", 100, 1, 1000, false, 20, true, 160},
      {"270.1 degrees read as -89.9", 2701, 1, 3600, false, 0, true, -899},
      {"no period", 100, 1, 0, true, 0, false, 0},
      {"interval far beyond the period", 0xFFFFFFFFu, 2, 1, true, 0, false, 0},
      {"beyond the range after the mark offset", 0xFFFFFFFFu, 1, 7, false, -32768, false, 0},
      {"just inside the range", 596523, 1, 1, true, 0, true, 2147482800},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int32_t tenths = -1;
    EXPECT_EQ(AdvanceTenths(c.interval, c.w, c.period, c.stroboscope, c.markOffset, &tenths), c.valid);
    EXPECT_EQ(tenths, c.tenths);
  }
}

}  // namespace
}  // namespace kv310
