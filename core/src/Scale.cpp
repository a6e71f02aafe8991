#include <core/Scale.h>

#include <cmath>

void CScale::Set(double origin, double end, double span, int divisions, bool recompute) {
  m_dDirection = origin < end ? 1.0 : (origin > end ? -1.0 : 0.0);
  m_dOrigin = origin;
  m_dEnd = end;
  m_dStart = 0.0;
  m_dSpan = span;
  m_nDivisions = divisions;
  if (recompute) Recompute();
}

void CScale::SetDivisions(double origin, double end, int divisions, double perDivision, bool recompute) {
  m_dPerDivision = perDivision;
  Set(origin, end, divisions * perDivision, divisions, recompute);
}

void CScale::Recompute() {
  m_dFirstValue = m_dDirection * m_dStart + m_dOrigin;
  m_dLastValue = m_dFirstValue + m_dDirection * m_dSpan;
  m_dFirstPixel = m_nPixelFrom;
  m_dLastPixel = m_nPixelTo;
  m_dValuePerPixel =
      (m_nPixelTo == m_nPixelFrom) ? 1.0 : (m_dLastValue - m_dFirstValue) / (m_dLastPixel - m_dFirstPixel);
}

double CScale::ValueAtTick(double tick) const {
  const double perTick = m_nDivisions == 0 ? 0.0 : m_dDirection * m_dSpan / (m_nDivisions * 10.0);
  return perTick * tick + (m_dDirection * m_dStart + m_dOrigin);
}

void CScale::SetOffsetSteps(int steps) {
  const double perDivision = m_nDivisions == 0 ? 0.0 : m_dSpan / m_nDivisions;
  m_dStart = perDivision * steps * m_dDirection * m_dDirection;
  Recompute();
}

int CScale::ValueToPixel(double value) const {
  if (m_dValuePerPixel == 0.0) return static_cast<int>(m_dFirstPixel);
  const double pixel = (value - m_dFirstValue) / m_dValuePerPixel + m_dFirstPixel;
  if (!std::isfinite(pixel)) return 0;
  if (pixel >= 2147483647.0) return 2147483647;
  if (pixel <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(pixel);
}

double CScale::PixelToValue(double pixel) const { return (pixel - m_dFirstPixel) * m_dValuePerPixel + m_dFirstValue; }

bool CScale::Contains(double value) const {
  const double lo = m_dFirstValue < m_dLastValue ? m_dFirstValue : m_dLastValue;
  const double hi = m_dFirstValue < m_dLastValue ? m_dLastValue : m_dFirstValue;
  return value >= lo && value <= hi;
}

double CStepScale::Set(double a, double b) {
  m_dLow = a < b ? a : b;
  m_dHigh = a < b ? b : a;
  m_dStepCount = m_nSteps;
  m_dStepSize = m_nSteps == 0 ? 1.0 : (m_dHigh - m_dLow) / m_nSteps;
  return m_nCurrentStep * m_dStepSize;
}
