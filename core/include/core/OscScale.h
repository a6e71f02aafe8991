// The scope's one scale object: the time axis, the maps between time and the 100 and 1000 steps
// of the screen, the percent axis, the drawing area and the six vertical axes (channels A and B,
// saved signals C to F). Beside it, the two grid records and the time-axis divisors.
#pragma once

#include <core/LinearMap.h>
#include <core/Scale.h>

#include <platform/geometry.h>

class COscScale {
 public:
  enum { AXIS_A = 0, AXIS_B = 1, AXIS_C = 2, AXIS_D = 3, AXIS_E = 4, AXIS_F = 5, AXIS_COUNT = 6 };

  CScale m_TimeAxis;
  CLinearMap m_TimeMap100;   // time <-> trigger position in per cent of the screen
  CLinearMap m_TimeMap1000;  // time <-> cursor steps
  double m_dTimeMapReserved = 0.0;
  // Percent axis: 0 at the area top, 100 at its bottom.
  double m_dPercentFirst = 0.0;
  double m_dPercentLast = 100.0;
  double m_dPercentPixelFrom = 0.0;
  double m_dPercentPixelTo = 0.0;
  double m_dPercentPerPixel = 1.0;
  RECT m_rcArea{0, 0, 0, 0};
  CScale m_Vertical[AXIS_COUNT];
  int m_nHorizontalOffset = 0;  // in divisions from the start of the record

  // The cursor steps: the step of the 1000-step map a time lies in (truncated toward zero), and
  // the time of a step, which a dragged time cursor snaps to.
  double CursorStepOf(double time) const { return m_TimeMap1000.ToWholeStep(time, StepRounding::Truncate); }
  double CursorTimeOf(double step) const { return m_TimeMap1000.ToValue(step); }

  // Stores the offset, sets the time axis start to span / divisions * offset and recomputes it.
  void SetTimeOffset(int offset);
  // Stores the drawing area: time axis over left..right, every vertical axis bottom..top.
  // recompute: all axes; axis >= 0: the time and percent axes and that one vertical axis.
  void SetArea(const RECT& area, bool recompute, int axis = -1);
  void RecomputePercentAxis();
};

COscScale& GetOscScale();

// Grid records: the horizontal one is the time step scale (record length in divisions, shown
// divisions = zoom step, ticks per division); the vertical one has 10 divisions of 10 ticks.
CStepScale& GetTimeStepScale();
CStepScale& GetVerticalGrid();
// The divisor base (10 at program start) that SetZoomFactor multiplies.
int& GetTimeDivisorBase();

// v = value * factor + 0.00001 truncated; which -1 or 0 stores it as the first divisor (the
// record length in divisions), -1 or 1 as the second (shown divisions). 1 when stored.
int SetTimeDivisors(double value, double factor, int which);
