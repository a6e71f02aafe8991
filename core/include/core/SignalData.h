// Sampled signals: CSignalData (one channel of an acquisition record: values, raw samples, point
// and saturation flags, with its analysis) and CSignalBuffer (values with two flag arrays, the base
// of saved signals and of the recorder's signal records).
#pragma once

#include <core/ValueArrays.h>

// Result of CSignalData::MeasurePeriod.
struct PeriodResult {
  double m_dMeanPeriod = 0.0;  // in samples
  double m_dHalfPeriods = 0.0;
  int m_nLongest = 0;
  int m_nShortest = 2147483647;
  int m_nFirstCrossing = 0;
  int m_nLastSameCrossing = 0;
  int m_nLastOtherCrossing = 0;
  double m_dMin = 0.0;
  double m_dMax = 0.0;
  double m_dMiddle = 0.0;
  double m_dUpper = 0.0;
  double m_dLower = 0.0;
};

class CSignalData {
 public:
  enum { SAT_NONE = 0, SAT_UPPER = 1, SAT_LOWER = 2 };

  int m_bMinMaxValid = 0;  // the minimum and maximum below belong to the current samples
  int m_bValid = 0;        // holds samples of the last measurement
  double m_dMin = 0.0;
  int m_nMinFlag = 0;  // saturation flag of the minimum's sample (of the displayed signal)
  double m_dMax = 0.0;
  int m_nMaxFlag = 0;
  double m_dMeasuredValue = 0.0;  // the channel's measured value, -1 when the library had none
  double m_dReserved = 0.0;
  CNxDoubleArray m_Values;
  CNxShortIntArray m_Raw;
  CByteArray m_PointFlags;       // 1 where a sample was stored
  CByteArray m_SaturationFlags;  // SAT_NONE, SAT_UPPER, SAT_LOWER
  int m_nMultiplier = 1;         // -1 when the displayed signal is inverted
  int m_bUnderRangeSeen = 0;
  int m_bOverRangeSeen = 0;
  double m_dUpperLimit = 0.0;
  double m_dLowerLimit = 0.0;
  SHORT m_nUpperRaw = 32767;
  SHORT m_nLowerRaw = -32768;

  int GetCount() const { return static_cast<int>(m_Values.GetSize()); }

  // Resizes all four arrays to n (only when n differs from the value count), zeroes both flag
  // arrays and clears valid. Returns 1.
  int SetSize(int n);
  // Sizes each of the four arrays to n on its own (an array of another length is resized even when
  // the value count is n already) and clears valid; what the arrays hold is left for the caller to
  // write whole. Negative n counts as 0.
  void Resize(int n);
  // The saturation flag of a raw sample between the raw limits.
  static BYTE SaturationOf(SHORT raw, SHORT lower, SHORT upper) {
    return raw >= upper ? SAT_UPPER : (raw <= lower ? SAT_LOWER : SAT_NONE);
  }
  // Stores a sample; a position outside the values is ignored. Returns the position.
  int SetPoint(int position, double value, SHORT raw);
  // Appends the source's first n samples (all when n < 0 or n exceeds it), then keeps at most the
  // newest k when 0 < k; reports the number dropped. Sets valid.
  void Append(const CSignalData& source, int keep, int take, int* dropped = nullptr);
  // Empties the arrays, clears the upper limit, the valid flag and the min/max results.
  void Reset();

  // Minimum and maximum of the displayed signal (values times the multiplier).
  void FindMinMax();
  // Duty cycle in per cent over the complete high and low runs. FALSE when there are none.
  BOOL GetDutyCycle(double& percent) const;
  // Crossings of the hysteresis band (middle +/- 10 % of the span) and the mean period.
  BOOL MeasurePeriod(PeriodResult& result);

};

class CSignalBuffer {
 public:
  virtual ~CSignalBuffer() = default;

  int m_bValid = 0;
  CNxDoubleArray m_Values;
  CByteArray m_Flags1;  // valid point (bit 7 of the stored byte)
  CByteArray m_Flags2;  // clip code: 1 (bit 0), 2 (bit 1), else 0
  double m_dLevel1 = 0.0;
  double m_dLevel2 = 0.0;

  // Resizes the values and both flag arrays to n, zeroes the flags, clears valid. Returns 1.
  int SetSize(int n);
  void Clear();
  int GetCount() const { return static_cast<int>(m_Values.GetSize()); }
  // An index outside the buffer yields the first value; an empty buffer yields 0 (callers check
  // the count first).
  double GetValue(int index) const;
  // Ignored outside the buffer. Returns the position.
  int SetPoint(int position, double value, BYTE flags);
};
