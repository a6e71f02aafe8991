#include <core/LinearMap.h>

#include <cmath>

void CLinearMap::Set(double x1, double x2, double y1, double y2) {
  m_dX1 = x1;
  m_dX2 = x2;
  m_dY1 = y1;
  m_dY2 = y2;
  m_dSlope = (y2 == y1) ? 1.0 : (x2 - x1) / (y2 - y1);
}

void CLinearMap::Reset() {
  m_nKind = 0;
  m_dX1 = m_dX2 = m_dY1 = m_dY2 = 0.0;
  m_dSlope = 1.0;
}

double CLinearMap::ToStep(double x) const {
  if (m_dSlope == 0.0) return m_dY1 + (m_dY2 - m_dY1) / 2.0;
  return (x - m_dX1) / m_dSlope + m_dY1;
}

double CLinearMap::ToWholeStep(double x, StepRounding rounding) const {
  const double step = ToStep(x);
  const double nearest = std::floor(step + 0.5);
  if (rounding == StepRounding::Nearest || std::fabs(step - nearest) <= 1e-9) return nearest;
  return std::trunc(step);
}
