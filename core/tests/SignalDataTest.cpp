#include <core/SignalData.h>
#include <core/ValueArrays.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

CSignalData Signal(const std::vector<double>& values) {
  CSignalData s;
  s.SetSize(static_cast<int>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) s.SetPoint(static_cast<int>(i), values[i], 0);
  s.m_bValid = 1;
  return s;
}

// A square wave: `lead` high samples, then low/high runs, for `total` samples.
std::vector<double> Square(int lead, int high, int low, int total) {
  std::vector<double> v;
  for (int i = 0; i < lead; ++i) v.push_back(5.0);
  while (static_cast<int>(v.size()) < total) {
    for (int i = 0; i < low; ++i) v.push_back(0.0);
    for (int i = 0; i < high; ++i) v.push_back(5.0);
  }
  v.resize(static_cast<size_t>(total));
  return v;
}

}  // namespace

TEST(SignalData, AppendKeepsTheNewestAndReportsDropped) {
  struct Case {
    int have, add, keep, take, wantCount, wantDropped;
  } cases[] = {
      {900, 300, 1000, -1, 1000, 200},
      {10, 5, -1, -1, 15, 0},   // keep and take -1: everything, nothing dropped
      {10, 5, 0, 3, 13, 0},     // first three only
      {10, 5, 20, 99, 15, 0},   // take beyond the source: all of it
      {10, 5, 15, -1, 15, 0},   // exactly the keep count
  };
  for (const Case& c : cases) {
    CSignalData have = Signal(std::vector<double>(c.have, 1.0));
    std::vector<double> added;
    for (int i = 0; i < c.add; ++i) added.push_back(100.0 + i);
    CSignalData more = Signal(added);
    int dropped = -1;
    have.m_bValid = 0;
    have.Append(more, c.keep, c.take, &dropped);
    EXPECT_EQ(have.GetCount(), c.wantCount);
    EXPECT_EQ(have.m_Raw.GetSize(), c.wantCount);
    EXPECT_EQ(have.m_PointFlags.GetSize(), c.wantCount);
    EXPECT_EQ(have.m_SaturationFlags.GetSize(), c.wantCount);
    EXPECT_EQ(dropped, c.wantDropped);
    EXPECT_EQ(have.m_bValid, 1);
  }
  // The newest stay: the last sample is the source's last.
  CSignalData a = Signal(std::vector<double>(900, 1.0));
  CSignalData b = Signal(Square(0, 1, 1, 300));
  a.Append(b, 1000, -1);
  EXPECT_EQ(a.m_Values[999], b.m_Values[299]);
  EXPECT_EQ(a.m_Values[0], 1.0);
}

TEST(SignalData, SaturationFlagsAtTheRawLimits) {
  CSignalData s;
  s.m_nUpperRaw = 30000;
  s.m_nLowerRaw = -30000;
  s.SetSize(4);
  const SHORT raws[] = {30000, -30000, 29999, 32767};
  const BYTE want[] = {1, 2, 0, 1};
  for (int i = 0; i < 4; ++i) s.SetPoint(i, 0.0, raws[i]);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(s.m_SaturationFlags[i], want[i]) << i;
  EXPECT_EQ(s.SetPoint(4, 1.0, 0), 4);  // outside: ignored
  EXPECT_EQ(s.GetCount(), 4);
}

TEST(SignalData, MinMaxOfTheInvertedSignalSwapsSaturation) {
  CSignalData s = Signal({1.0, 4.0, -2.0});
  s.m_SaturationFlags[1] = 1;  // the maximum was at the upper limit
  s.m_nMultiplier = -1;
  s.FindMinMax();
  ASSERT_EQ(s.m_bMinMaxValid, 1);
  EXPECT_EQ(s.m_dMin, -4.0);
  EXPECT_EQ(s.m_dMax, 2.0);
  EXPECT_EQ(s.m_nMinFlag, 2);  // upper of the raw signal is lower of the displayed one
  EXPECT_EQ(s.m_bUnderRangeSeen, 1);
  EXPECT_EQ(s.m_bOverRangeSeen, 0);
  CSignalData empty;
  empty.FindMinMax();
  EXPECT_EQ(empty.m_bMinMaxValid, 0);
}

TEST(SignalData, DutyCycleCountsOnlyCompleteRuns) {
  struct Case {
    const char* name;
    std::vector<double> values;
    BOOL ok;
    double duty;
  } cases[] = {
      {"30/70 starting mid-high", Square(15, 30, 70, 1000), TRUE, 30.0},
      {"inverted square", Square(15, 70, 30, 1000), TRUE, 70.0},
      {"constant", std::vector<double>(500, 3.0), FALSE, 0.0},
      {"single step", Square(100, 400, 400, 500), FALSE, 0.0},
  };
  for (const Case& c : cases) {
    CSignalData s = Signal(c.values);
    double duty = -1;
    EXPECT_EQ(s.GetDutyCycle(duty), c.ok) << c.name;
    EXPECT_NEAR(duty, c.duty, 1e-9) << c.name;
  }
}

TEST(SignalData, PeriodFromTheHysteresisCrossings) {
  struct Case {
    const char* name;
    std::vector<double> values;
    BOOL ok;
    double period;
  } cases[] = {
      // Crossings: falling 25, rising 75, falling 125, ... the last one rising (875).
      {"whole half periods", Square(25, 50, 50, 900), TRUE, 100.0},
      // The same wave with one more falling crossing (925) after the last rising one.
      {"trailing crossing", Square(25, 50, 50, 950), TRUE, 100.0},
      {"one crossing", Square(50, 400, 400, 200), FALSE, 0.0},
      {"constant", std::vector<double>(100, 1.0), FALSE, 0.0},
  };
  for (const Case& c : cases) {
    CSignalData s = Signal(c.values);
    PeriodResult r;
    EXPECT_EQ(s.MeasurePeriod(r), c.ok) << c.name;
    EXPECT_NEAR(r.m_dMeanPeriod, c.period, 1e-9) << c.name;
  }
  CSignalData s = Signal(Square(25, 50, 50, 950));
  PeriodResult r;
  s.MeasurePeriod(r);
  EXPECT_EQ(r.m_nFirstCrossing, 25);
  EXPECT_EQ(r.m_nLastSameCrossing, 925);
  EXPECT_EQ(r.m_nLastOtherCrossing, 875);
  EXPECT_DOUBLE_EQ(r.m_dHalfPeriods, 9.0);
  EXPECT_EQ(r.m_nLongest, 100);
  EXPECT_EQ(r.m_nShortest, 100);
  EXPECT_DOUBLE_EQ(r.m_dMiddle, 2.5);
  EXPECT_DOUBLE_EQ(r.m_dUpper, 3.0);
}

TEST(SignalBuffer, ValuesFlagsAndOutOfRangeReads) {
  CSignalBuffer b;
  b.SetSize(5);
  for (int i = 0; i < 5; ++i) b.SetPoint(i, 10.0 + i, 0);
  struct Case {
    int index;
    double want;
  } reads[] = {{-1, 10.0}, {5, 10.0}, {4, 14.0}};
  for (const Case& c : reads) EXPECT_EQ(b.GetValue(c.index), c.want) << c.index;

  struct Flags {
    BYTE in, first, second;
  } flags[] = {{0x80, 1, 0}, {0x81, 1, 1}, {0x02, 0, 2}, {0x03, 0, 1}, {0x7C, 0, 0}};
  for (const Flags& f : flags) {
    b.SetPoint(0, 1.0, f.in);
    EXPECT_EQ(b.m_Flags1[0], f.first) << int(f.in);
    EXPECT_EQ(b.m_Flags2[0], f.second) << int(f.in);
  }
  CSignalBuffer empty;
  EXPECT_EQ(empty.GetValue(0), 0.0);  // no exception out of a paint handler
}

TEST(RoundShortIntArray, FillsThenOverwritesTheOldest) {
  CNxRoundShortIntArray ring(3);
  const int want[] = {0, 1, 2, 0, 1, 2, 0};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(ring.Add(static_cast<SHORT>(i)), want[i]) << i;
  EXPECT_EQ(ring.GetCount(), 3);
  EXPECT_EQ(ring.GetAt(0), 6);
  EXPECT_EQ(ring.GetAt(2), 5);
  CNxRoundShortIntArray none;
  EXPECT_EQ(none.Add(1), -1);
}

TEST(NxDoubleArray, ResetSameScaleAndCopies) {
  CNxDoubleArray a;
  EXPECT_EQ(a.m_nUnit, -1);
  EXPECT_EQ(a.m_nDecimals, -1);
  EXPECT_EQ(a.m_dScale, 1.0);
  a.Add(1.0);
  a.m_nKind = 2;
  a.m_strLabel = "20V";
  CNxDoubleArray b;
  b.CopyFrom(a);
  EXPECT_TRUE(b.IsSameScale(a));
  EXPECT_EQ(b.GetSize(), 1);
  b.m_strLabel = "2V";
  EXPECT_FALSE(b.IsSameScale(a));
  a.Reset();
  EXPECT_EQ(a.GetSize(), 0);
  EXPECT_EQ(a.m_nKind, 0);
  EXPECT_TRUE(a.m_strLabel.IsEmpty());

  CStringArrayEx lines;
  EXPECT_EQ(JoinStrings(lines, "\n"), "");
  lines.Add("a");
  lines.Add("b");
  EXPECT_EQ(JoinStrings(lines, "\n"), "a\nb");
}
