// A two-point linear map between a physical value (x) and a step or raw number (y).
#pragma once

// How a value between two whole steps is taken to one of them.
enum class StepRounding {
  Truncate,  // toward zero: the step cell the value lies in
  Nearest,   // half up: the closest step
};

class CLinearMap {
 public:
  int m_nKind = 0;
  double m_dX1 = 0.0;
  double m_dX2 = 0.0;
  double m_dY1 = 0.0;
  double m_dY2 = 0.0;
  double m_dSlope = 1.0;  // x units per y unit

  // Stores the two points; slope = (x2 - x1) / (y2 - y1), or 1 when y2 = y1.
  void Set(double x1, double x2, double y1, double y2);
  // Kind 0, all points 0, slope 1.
  void Reset();
  // x -> y: (x - x1) / slope + y1. A map whose x range has collapsed (slope 0) has no inverse;
  // every x then lies at the middle of the y range.
  double ToStep(double x) const;
  // x -> a whole step. A value within rounding noise (1e-9 steps) of a whole step is that step
  // in either mode, so a value made by ToValue(n) always converts back to n: dividing by the
  // slope can land just below n, and truncating that would move it one step down.
  double ToWholeStep(double x, StepRounding rounding) const;
  // y -> x: x1 + slope * (y - y1). Inline: the readers convert every sample of a record with it.
  double ToValue(double y) const { return m_dX1 + m_dSlope * (y - m_dY1); }
};
