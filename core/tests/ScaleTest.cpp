#include <core/LinearMap.h>
#include <core/OscScale.h>
#include <core/ResourceHolder.h>
#include <core/Scale.h>

#include <gtest/gtest.h>

#include <kvtest/CoreGlobals.h>

TEST(LinearMap, MapsBothWaysAndSurvivesDegenerateRanges) {
  CLinearMap level;
  level.Set(-2.0, 2.0, 0.0, 256.0);  // trigger level: -2..+2 V over 256 steps
  EXPECT_DOUBLE_EQ(level.m_dSlope, 4.0 / 256.0);
  EXPECT_DOUBLE_EQ(level.ToStep(0.0), 128.0);
  EXPECT_DOUBLE_EQ(level.ToValue(256.0), 2.0);

  CLinearMap raw;
  raw.Set(-32768, 32767, -10.0, 10.0);  // raw samples onto a 10 V range
  EXPECT_NEAR(raw.ToStep(32767), 10.0, 1e-12);
  EXPECT_NEAR(raw.ToStep(-32768), -10.0, 1e-12);

  CLinearMap same;
  same.Set(3.0, 7.0, 5.0, 5.0);  // y1 = y2: slope 1, no division by zero
  EXPECT_DOUBLE_EQ(same.m_dSlope, 1.0);

  CLinearMap collapsed;
  collapsed.Set(0.0, 0.0, 0.0, 256.0);  // no range: every value sits mid-scale
  EXPECT_DOUBLE_EQ(collapsed.ToStep(0.0), 128.0);
  EXPECT_DOUBLE_EQ(collapsed.ToStep(5.0), 128.0);
}

TEST(LinearMap, CursorStepsTruncateAndSnappedTimesKeepTheirStep) {
  COscScale scale;
  scale.m_TimeMap1000.Set(0.0, 0.02, 0.0, 1000.0);  // a 20 ms record: 20 us per step
  struct Case {
    const char* name;
    double time;
    double truncated, nearest;
  } cases[] = {
      {"late in a cell", 249.7 * 20e-6, 249, 250},
      {"early in a cell", 249.2 * 20e-6, 249, 249},
      {"on a step", 250 * 20e-6, 250, 250},
      {"record start", 0.0, 0, 0},
      {"record end", 0.02, 1000, 1000},
      {"before the start", -0.3 * 20e-6, 0, 0},  // toward zero, not down
  };
  for (const Case& c : cases) {
    EXPECT_EQ(scale.CursorStepOf(c.time), c.truncated) << c.name;
    EXPECT_EQ(scale.m_TimeMap1000.ToWholeStep(c.time, StepRounding::Nearest), c.nearest) << c.name;
  }
  // A cursor snapped to a step converts back to that step: at 10 ns per step a plain truncation
  // of (n * slope) / slope moves steps 15, 30, 49, ... one cell down.
  scale.m_TimeMap1000.Set(0.0, 1e-5, 0.0, 1000.0);
  for (int n = 0; n <= 1000; ++n) ASSERT_EQ(scale.CursorStepOf(scale.CursorTimeOf(n)), n) << n;
}

TEST(Scale, RecomputeDirectionTicksAndPixels) {
  struct Case {
    double origin, end, span;
    int divisions, from, to;
    double direction, first, last, perPixel;
  } cases[] = {
      {0, 10, 10, 10, 0, 100, 1, 0, 10, 0.1},
      {5, -5, 10, 10, 100, 0, -1, 5, -5, 0.1},
      {2, 2, 0, 10, 0, 100, 0, 2, 2, 0},   // origin = end: an axis of zero length
      {0, 10, 10, 10, 50, 50, 1, 0, 10, 1},  // empty pixel range: 1 unit per pixel
  };
  for (const Case& c : cases) {
    CScale s;
    s.SetPixels(c.from, c.to);
    s.Set(c.origin, c.end, c.span, c.divisions, true);
    EXPECT_EQ(s.m_dDirection, c.direction);
    EXPECT_DOUBLE_EQ(s.m_dFirstValue, c.first);
    EXPECT_DOUBLE_EQ(s.m_dLastValue, c.last);
    EXPECT_DOUBLE_EQ(s.m_dValuePerPixel, c.perPixel);
  }
  CScale s;
  s.SetPixels(0, 200);
  s.SetDivisions(0, 20, 10, 2.0, true);
  EXPECT_DOUBLE_EQ(s.m_dSpan, 20.0);
  EXPECT_DOUBLE_EQ(s.ValueAtTick(15), 3.0);  // 1.5 divisions of 2
  EXPECT_EQ(s.ValueToPixel(3.0), 30);
  EXPECT_EQ(s.ValueToPixel(-0.05), 0);  // -0.5 truncated toward zero
  s.SetOffsetSteps(5);
  EXPECT_DOUBLE_EQ(s.m_dFirstValue, 10.0);
}

TEST(StepScale, StepSizeAndCurrentPosition) {
  CStepScale s;
  s.m_nSteps = 20;
  s.m_nCurrentStep = 10;
  EXPECT_DOUBLE_EQ(s.Set(0.02, 0.0), 0.01);
  EXPECT_DOUBLE_EQ(s.m_dLow, 0.0);
  EXPECT_DOUBLE_EQ(s.m_dStepSize, 0.001);
  s.m_nSteps = 0;
  s.Set(1, 2);
  EXPECT_DOUBLE_EQ(s.m_dStepSize, 1.0);
}

class TimeDivisors : public kvtest::CoreTest {};

TEST_F(TimeDivisors, ZoomTypesAndRefusals) {
  CResourceHolder& holder = GetResourceHolder();
  struct Case {
    int type, result, firstDivisor, zoomType;
  } cases[] = {{0, 1, 20, 0}, {1, 1, 50, 1}, {2, 1, 100, 2}, {3, 1, 10, 3}, {4, 0, 10, 3}, {-1, 0, 10, 3}};
  for (const Case& c : cases) {
    EXPECT_EQ(holder.SetZoomFactor(c.type), c.result) << c.type;
    EXPECT_EQ(GetTimeStepScale().m_nSteps, c.firstDivisor) << c.type;
    EXPECT_EQ(holder.m_nZoomType, c.zoomType) << c.type;
  }
  // The small nudge keeps 0.3 * 10 from truncating to 2.
  EXPECT_EQ(SetTimeDivisors(0.3, 10, 1), 1);
  EXPECT_EQ(GetTimeStepScale().m_nCurrentStep, 3);
  EXPECT_EQ(SetTimeDivisors(7, 1, 2), 0);
  EXPECT_EQ(SetTimeDivisors(7, 1, -1), 1);
  EXPECT_EQ(GetTimeStepScale().m_nSteps, 7);
  EXPECT_EQ(GetTimeStepScale().m_nCurrentStep, 7);
}
