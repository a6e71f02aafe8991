// Axis scales: CScale (an axis with divisions mapped onto a pixel range) and CStepScale (a range
// cut into equal steps; the time step scale and the grid records of the scope).
#pragma once

class CScale {
 public:
  double m_dStart = 0.0;  // offset of the shown part from the origin, in axis units
  double m_dOrigin = 0.0;
  double m_dEnd = 0.0;
  double m_dSpan = 0.0;
  double m_dPerDivision = 0.0;
  int m_nPixelFrom = 0;
  int m_nPixelTo = 0;
  int m_nDivisions = 1;
  double m_dDirection = 0.0;  // +1 origin below end, -1 above, 0 equal
  // Derived by Recompute.
  double m_dFirstValue = 0.0;
  double m_dLastValue = 0.0;
  double m_dFirstPixel = 0.0;
  double m_dLastPixel = 0.0;
  double m_dValuePerPixel = 1.0;

  void Set(double origin, double end, double span, int divisions, bool recompute);
  void SetDivisions(double origin, double end, int divisions, double perDivision, bool recompute);
  void SetPixels(int from, int to) { m_nPixelFrom = from; m_nPixelTo = to; }
  void Recompute();
  // Value of a tick, counted in tenths of a division from the first value.
  double ValueAtTick(double tick) const;
  // Shifts the shown part by a number of divisions and recomputes.
  void SetOffsetSteps(int steps);

  // The mapping every scope window uses: truncated toward zero; 0 for no axis.
  int ValueToPixel(double value) const;
  double PixelToValue(double pixel) const;
  bool Contains(double value) const;
};

class CStepScale {
 public:
  int m_nSteps = 0;        // steps of the whole range (record length in divisions)
  int m_nCurrentStep = 0;  // steps shown (the zoom step)
  int m_nTicks = 0;        // ticks per step
  double m_dLow = 0.0;
  double m_dHigh = 0.0;
  double m_dZero = 0.0;
  double m_dStepCount = 0.0;
  double m_dStepSize = 1.0;

  // low/high = the smaller/larger of a and b; step size = (high - low) / steps, 1 without steps.
  // Returns the current step times the step size.
  double Set(double a, double b);
};
