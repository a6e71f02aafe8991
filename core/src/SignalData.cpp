#include <core/SignalData.h>

#include <platform/debug.h>

#include <vector>

int CSignalData::SetSize(int n) {
  Resize(n);
  for (INT_PTR i = 0; i < GetCount(); ++i) {
    m_PointFlags[i] = 0;
    m_SaturationFlags[i] = 0;
  }
  return 1;
}

void CSignalData::Resize(int n) {
  if (n < 0) n = 0;
  if (m_Values.GetSize() != n) m_Values.SetSize(n);
  if (m_Raw.GetSize() != n) m_Raw.SetSize(n);
  if (m_PointFlags.GetSize() != n) m_PointFlags.SetSize(n);
  if (m_SaturationFlags.GetSize() != n) m_SaturationFlags.SetSize(n);
  m_bValid = 0;
}

int CSignalData::SetPoint(int position, double value, SHORT raw) {
  if (position < 0 || position >= GetCount()) return position;
  m_Values[position] = value;
  m_Raw[position] = raw;
  m_PointFlags[position] = 1;
  m_SaturationFlags[position] = SaturationOf(raw, m_nLowerRaw, m_nUpperRaw);
  return position;
}

void CSignalData::Append(const CSignalData& source, int keep, int take, int* dropped) {
  // The source may be this record itself: take a copy of what is appended first.
  const int available = source.GetCount();
  const int n = (take < 0 || take > available) ? available : take;
  const std::vector<double> values(source.m_Values.GetData(), source.m_Values.GetData() + n);
  const std::vector<SHORT> raw(source.m_Raw.GetData(), source.m_Raw.GetData() + n);
  const std::vector<BYTE> points(source.m_PointFlags.GetData(), source.m_PointFlags.GetData() + n);
  const std::vector<BYTE> sats(source.m_SaturationFlags.GetData(), source.m_SaturationFlags.GetData() + n);
  for (int i = 0; i < n; ++i) {
    m_Values.Add(values[i]);
    m_Raw.Add(raw[i]);
    m_PointFlags.Add(points[i]);
    m_SaturationFlags.Add(sats[i]);
  }
  int removed = 0;
  const int length = GetCount();
  if (keep > 0 && keep < length) {
    removed = length - keep;
    m_Values.RemoveAt(0, removed);
    m_Raw.RemoveAt(0, removed);
    m_PointFlags.RemoveAt(0, removed);
    m_SaturationFlags.RemoveAt(0, removed);
  }
  if (dropped) *dropped = removed;
  m_bValid = 1;
}

void CSignalData::Reset() {
  m_Values.RemoveAll();
  m_Raw.RemoveAll();
  m_PointFlags.RemoveAll();
  m_SaturationFlags.RemoveAll();
  m_dUpperLimit = 0.0;
  m_bValid = 0;
  m_bMinMaxValid = 0;
}

static BYTE SwapSaturation(int flag) { return flag == 1 ? 2 : (flag == 2 ? 1 : 0); }

void CSignalData::FindMinMax() {
  const int n = GetCount();
  if (n == 0) {
    m_bMinMaxValid = 0;
    return;
  }
  auto flagAt = [&](int i) -> int { return i < m_SaturationFlags.GetSize() ? m_SaturationFlags[i] : 0; };
  double minimum = m_Values[0] * m_nMultiplier, maximum = minimum;
  int minFlag = flagAt(0), maxFlag = minFlag;
  for (int i = 1; i < n; ++i) {
    if (i >= m_PointFlags.GetSize() || !m_PointFlags[i]) continue;
    const double v = m_Values[i] * m_nMultiplier;
    if (v < minimum) {
      minimum = v;
      minFlag = flagAt(i);
    }
    if (v > maximum) {
      maximum = v;
      maxFlag = flagAt(i);
    }
  }
  int over = 0, under = 0;
  for (INT_PTR i = 0; i < m_SaturationFlags.GetSize(); ++i) {
    if (m_SaturationFlags[i] == SAT_UPPER) over = 1;
    if (m_SaturationFlags[i] == SAT_LOWER) under = 1;
  }
  m_dMin = minimum;
  m_dMax = maximum;
  if (m_nMultiplier == -1) {
    m_bOverRangeSeen = under;
    m_bUnderRangeSeen = over;
    m_nMinFlag = SwapSaturation(minFlag);
    m_nMaxFlag = SwapSaturation(maxFlag);
  } else {
    m_bOverRangeSeen = over;
    m_bUnderRangeSeen = under;
    m_nMinFlag = minFlag;
    m_nMaxFlag = maxFlag;
  }
  m_bMinMaxValid = 1;
}

BOOL CSignalData::GetDutyCycle(double& percent) const {
  percent = 0.0;
  const int n = GetCount();
  if (!m_bValid || n == 0) return FALSE;
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += m_Values[i] * m_nMultiplier;
  const double mean = sum / n;
  double highSum = 0.0, lowSum = 0.0;
  int highCount = 0, lowCount = 0;
  for (int i = 0; i < n; ++i) {
    const double v = m_Values[i] * m_nMultiplier;
    if (v >= mean) {
      highSum += v;
      ++highCount;
    } else {
      lowSum += v;
      ++lowCount;
    }
  }
  const double high = highCount ? highSum / highCount : mean;
  const double low = lowCount ? lowSum / lowCount : mean;
  const double threshold = low + (high - low) / 2.0;

  // Runs between consecutive crossings; the partial runs at both ends are not counted.
  bool above = m_Values[0] * m_nMultiplier >= threshold;
  int runStart = -1;
  double highRuns = 0.0, lowRuns = 0.0;
  int highRunCount = 0, lowRunCount = 0;
  for (int i = 1; i < n; ++i) {
    const bool now = m_Values[i] * m_nMultiplier >= threshold;
    if (now == above) continue;
    if (runStart >= 0) {
      if (above) {
        highRuns += i - runStart;
        ++highRunCount;
      } else {
        lowRuns += i - runStart;
        ++lowRunCount;
      }
    }
    runStart = i;
    above = now;
  }
  if (highRunCount == 0 || lowRunCount == 0) return FALSE;
  const double meanHigh = highRuns / highRunCount;
  const double meanLow = lowRuns / lowRunCount;
  percent = meanLow == 0.0 ? 0.0 : meanHigh / (meanHigh + meanLow) * 100.0;
  return TRUE;
}

BOOL CSignalData::MeasurePeriod(PeriodResult& r) {
  r = PeriodResult();
  if (!m_bMinMaxValid) FindMinMax();
  if (!m_bMinMaxValid) return FALSE;
  r.m_dMin = m_dMin;
  r.m_dMax = m_dMax;
  r.m_dMiddle = m_dMin + (m_dMax - m_dMin) / 2.0;
  r.m_dUpper = r.m_dMiddle + (m_dMax - m_dMin) * 0.1;
  r.m_dLower = r.m_dMiddle - (m_dMax - m_dMin) * 0.1;
  // A flat signal has no band to cross (every sample would touch both thresholds).
  if (!(m_dMax > m_dMin)) return FALSE;

  enum { UNKNOWN, LOW, HIGH } state = UNKNOWN;
  bool haveFirst = false;
  bool firstRising = false;
  // Half periods counted up to the last other-direction crossing: the span from the first
  // crossing to it holds exactly that many half periods.
  double halvesAtLastOther = 0.0;
  const int n = GetCount();
  for (int i = 0; i < n; ++i) {
    const double v = m_Values[i] * m_nMultiplier;
    bool crossing = false, rising = false;
    if (state == UNKNOWN) {
      if (v >= r.m_dUpper) state = HIGH;
      else if (v <= r.m_dLower) state = LOW;
      continue;
    }
    if (state == LOW && v >= r.m_dUpper) {
      crossing = rising = true;
      state = HIGH;
    } else if (state == HIGH && v <= r.m_dLower) {
      crossing = true;
      state = LOW;
    }
    if (!crossing) continue;
    if (!haveFirst) {
      haveFirst = true;
      firstRising = rising;
      r.m_nFirstCrossing = r.m_nLastSameCrossing = r.m_nLastOtherCrossing = i;
      continue;
    }
    r.m_dHalfPeriods += 0.5;
    if (rising == firstRising) {
      const int period = i - r.m_nLastSameCrossing;
      if (period > r.m_nLongest) r.m_nLongest = period;
      if (period < r.m_nShortest) r.m_nShortest = period;
      r.m_nLastSameCrossing = i;
    } else {
      r.m_nLastOtherCrossing = i;
      halvesAtLastOther = r.m_dHalfPeriods;
    }
  }
  if (haveFirst && r.m_nFirstCrossing < r.m_nLastOtherCrossing && halvesAtLastOther > 0.0) {
    r.m_dMeanPeriod = (r.m_nLastOtherCrossing - r.m_nFirstCrossing) / halvesAtLastOther;
    return TRUE;
  }
  r.m_dMeanPeriod = 0.0;
  return FALSE;
}

int CSignalBuffer::SetSize(int n) {
  if (n < 0) n = 0;
  m_Values.SetSize(n);
  m_Flags1.SetSize(n);
  m_Flags2.SetSize(n);
  for (int i = 0; i < n; ++i) m_Flags1[i] = m_Flags2[i] = 0;
  m_bValid = 0;
  return 1;
}

void CSignalBuffer::Clear() {
  m_Values.RemoveAll();
  m_Flags1.RemoveAll();
  m_Flags2.RemoveAll();
  m_dLevel1 = m_dLevel2 = 0.0;
  m_bValid = 0;
}

double CSignalBuffer::GetValue(int index) const {
  const int n = GetCount();
  if (n == 0) {
    // A caller that skipped the count check: report it on the debug channel, never throw from
    // what is usually a paint handler.
    OutputDebugString("CSignalBuffer::GetValue on an empty buffer\n");
    return 0.0;
  }
  if (index < 0 || index >= n) index = 0;
  return m_Values[index];
}

int CSignalBuffer::SetPoint(int position, double value, BYTE flags) {
  if (position < 0 || position >= GetCount()) return position;
  m_Values[position] = value;
  m_Flags1[position] = (flags & 0x80) ? 1 : 0;
  m_Flags2[position] = (flags & 0x01) ? 1 : ((flags & 0x02) ? 2 : 0);
  return position;
}
