#include <core/OscScale.h>

void COscScale::SetTimeOffset(int offset) {
  m_nHorizontalOffset = offset;
  m_TimeAxis.SetOffsetSteps(offset);
}

void COscScale::RecomputePercentAxis() {
  m_dPercentFirst = 0.0;
  m_dPercentLast = 100.0;
  m_dPercentPixelFrom = m_rcArea.top;
  m_dPercentPixelTo = m_rcArea.bottom;
  m_dPercentPerPixel = (m_rcArea.bottom == m_rcArea.top) ? 1.0 : 100.0 / (m_rcArea.bottom - m_rcArea.top);
}

void COscScale::SetArea(const RECT& area, bool recompute, int axis) {
  m_rcArea = area;
  m_TimeAxis.SetPixels(area.left, area.right);
  for (CScale& v : m_Vertical) v.SetPixels(area.bottom, area.top);
  if (recompute) {
    m_TimeAxis.Recompute();
    RecomputePercentAxis();
    for (CScale& v : m_Vertical) v.Recompute();
  } else if (axis >= 0 && axis < AXIS_COUNT) {
    m_TimeAxis.Recompute();
    RecomputePercentAxis();
    m_Vertical[axis].Recompute();
  }
}

COscScale& GetOscScale() {
  static COscScale scale;
  return scale;
}

CStepScale& GetTimeStepScale() {
  static CStepScale grid;
  return grid;
}

CStepScale& GetVerticalGrid() {
  static CStepScale grid = [] {
    CStepScale g;
    g.m_nSteps = g.m_nCurrentStep = g.m_nTicks = 10;
    return g;
  }();
  return grid;
}

int& GetTimeDivisorBase() {
  static int base = 10;
  return base;
}

int SetTimeDivisors(double value, double factor, int which) {
  double product = value * factor + 0.00001;
  if (!(product > -2147483648.0)) product = -2147483648.0;  // NaN included
  if (product > 2147483647.0) product = 2147483647.0;
  const int v = static_cast<int>(product);
  int stored = 0;
  if (which == -1 || which == 0) {
    GetTimeStepScale().m_nSteps = v;
    stored = 1;
  }
  if (which == -1 || which == 1) {
    GetTimeStepScale().m_nCurrentStep = v;
    stored = 1;
  }
  return stored;
}
