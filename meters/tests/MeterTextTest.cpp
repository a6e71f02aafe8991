// The texts of the multimeter panes: the zero of a magnitude, the value, minimum and maximum texts
// of the four display modes, the zero band, the ammeter's print rounding, the beeper tones and the
// zero-offset adjustment of a reading.
#include <meters/MeterText.h>
#include <meters/WndVoltmeter.h>

#include <core/EngineRecords.h>
#include <core/ValueText.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MeterText, FormatMeasuredValueGivesTheZeroOfTheMagnitude) {
  struct Case {
    double m;
    const char* text;
  } cases[] = {
      {0.01, "0m"}, {0.0005, "0\xB5"}, {0.5, "0m"}, {2.5, "0.000"}, {-2.5, "0.000"}, {12.0, "0.00"},
      {150.0, "0.0"}, {300.0, "0"}, {1.0, "0.000"}, {3.0, "0.00"}, {0.0, "0"},
  };
  for (const Case& c : cases) EXPECT_EQ(std::string(FormatMeasuredValue(c.m)), c.text) << c.m;
}

TEST(MeterText, ValueTextsByModeZeroAndMark) {
  struct Case {
    const char* name;
    double value;
    int mode;
    const char* mark;  // null: MIN/MAX without the AC mark
    const char* text;
  } cases[] = {
      {"magnitude DC", 12.5, 1, "=", "12.50V ="},
      {"magnitude AC", 3.5355, 1, "~", "3.54V ~"},
      {"magnitude small", 0.5, 1, "=", "500mV ="},
      {"magnitude zero", 0.0, 1, "~", "0mV ~"},
      {"magnitude min", 12.5, 1, nullptr, "12.50V"},
      {"magnitude zero min", 0.0, 1, nullptr, "0mV"},
      {"one decimal", 12.46, 2, "=", " 12.5V ="},
      {"one decimal zero", 0.0, 2, "~", "0.0V ~"},
      {"one decimal min", 3.04, 2, nullptr, "  3.0V"},
      {"integer", 41.6, 3, "=", "42V ="},
      {"integer negative", -7.2, 3, "~", "-7V ~"},
      {"integer zero", 0.0, 3, "=", "0V ="},
      {"two decimals", 1.234, 15, "~", "1.23V ~"},
      {"two decimals zero", 0.0, 15, "=", "0.00V ="},
      {"two decimals max", 9.999, 15, nullptr, "10.00V"},
      {"other mode as magnitude", 12.5, 6, "=", "12.50V ="},
  };
  for (const Case& c : cases)
    EXPECT_EQ(std::string(FormatMeterValue(c.value, c.mode, "V", c.mark)), c.text) << c.name;
}

TEST(MeterText, ResetZerosByMode) {
  EXPECT_EQ(std::string(FormatMeterZero(1, 12.5, "V")), "0.00V");
  EXPECT_EQ(std::string(FormatMeterZero(1, 0.2, "A")), "0mA");
  EXPECT_EQ(std::string(FormatMeterZero(2, 12.5, "A")), "0.0A");
  EXPECT_EQ(std::string(FormatMeterZero(3, 12.5, "A")), "0A");
  EXPECT_EQ(std::string(FormatMeterZero(15, 12.5, "A")), "0.00A");
}

TEST(MeterText, ZeroBandPrintRoundingAndTones) {
  EXPECT_DOUBLE_EQ(GetZeroBand(2, 50.0), 2.0);
  EXPECT_DOUBLE_EQ(GetZeroBand(15, 50.0), 2.0);
  EXPECT_DOUBLE_EQ(GetZeroBand(1, 50.0), 1.0);
  EXPECT_DOUBLE_EQ(GetZeroBand(3, 50.0), 1.0);
  EXPECT_DOUBLE_EQ(RoundForPrint(1.26, 2), 1.3);
  EXPECT_DOUBLE_EQ(RoundForPrint(1.6, 3), 2.0);
  EXPECT_DOUBLE_EQ(RoundForPrint(1.256, 15), 1.26);
  EXPECT_DOUBLE_EQ(RoundForPrint(1.256, 1), 0.0);
  struct Tone {
    double ohms;
    int tone;
  } tones[] = {{0.0, 0}, {4.99, 0}, {5.0, 1}, {14.99, 1}, {15.0, -1}, {220000.0, -1}};
  for (const Tone& t : tones) EXPECT_EQ(GetContinuityTone(t.ohms), t.tone) << t.ohms;
}

TEST(MeterText, ZeroOffsetMovesTheTrackedStatistics) {
  MeterReading r;
  r.m_bActive = 1;
  r.m_dOffset = 0.5;
  r.m_dRawValue = 0.7;
  r.m_dValue = 0.2;
  r.m_dMin = -0.1;
  r.m_dMax = 0.3;
  r.m_bMinMaxSet = 1;
  ApplyZeroOffset(r);
  EXPECT_DOUBLE_EQ(r.m_dOffset, 0.7);
  EXPECT_DOUBLE_EQ(r.m_dValue, 0.0);
  EXPECT_NEAR(r.m_dMin, -0.3, 1e-9);
  EXPECT_NEAR(r.m_dMax, 0.1, 1e-9);

  // Without tracking only the offset and the value change.
  MeterReading off;
  off.m_bActive = 0;
  off.m_dOffset = 0.5;
  off.m_dRawValue = 0.7;
  off.m_dMin = 1.0;
  off.m_dMax = 2.0;
  ApplyZeroOffset(off);
  EXPECT_DOUBLE_EQ(off.m_dOffset, 0.7);
  EXPECT_DOUBLE_EQ(off.m_dMin, 1.0);
  EXPECT_DOUBLE_EQ(off.m_dMax, 2.0);
}

}  // namespace
