#include <core/NumberFormat.h>

#include <gtest/gtest.h>

#include <cmath>

TEST(NumberFormat, DoubleToScaledValue) {
  struct Case {
    double x;
    int32_t mantissa;
    int exponent;
  } cases[] = {
      {0.25, 25, -2},
      {-3, -3, 0},
      {0, 0, 0},
      {1e12, 2147483647, 0},  // capped
      {-0.5, -5, -1},
      // Binary-inexact: the mantissa stops before it would pass 2^31-1 (it used to run on to
      // exponent -32 and overflow the int conversion), rounded, without the zeros that leaves.
      {0.1 + 0.2, 3, -1},
      {123.456, 123456, -3},  // 123.45599999999999: truncated it was 1234559999e-7
      {-123.456, -123456, -3},
      {1.0 / 3.0, 333333333, -9},
      {2.0 / 3.0, 666666667, -9},
      {12.345, 12345, -3},
      {7.25e-40, 0, 0},  // nothing left of it after 32 steps
  };
  for (const Case& c : cases) {
    ScaledValue v;
    DoubleToScaledValue(c.x, v);
    EXPECT_EQ(v.mantissa, c.mantissa) << c.x;
    EXPECT_EQ(v.exponent, c.exponent) << c.x;
    if (c.mantissa != 2147483647) {
      EXPECT_NEAR(ScaledValueToDouble(v), c.x, 1e-9) << c.x;
    }
  }
  ScaledValue v{125, -2, {}};
  EXPECT_DOUBLE_EQ(ScaledValueToDouble(v), 1.25);
  v = ScaledValue{3, 3, {}};
  EXPECT_DOUBLE_EQ(ScaledValueToDouble(v), 3000.0);
}

TEST(NumberFormat, ExponentsAndPrefixes) {
  struct Case {
    double x;
    int engineering;
  } cases[] = {{999, 0}, {1000, 1}, {-2.5e6, 2}, {1e9, 3}, {5e15, 3}};
  for (const Case& c : cases) EXPECT_EQ(GetEngineeringExponent(c.x), c.engineering) << c.x;

  double x = 2e-12;
  EXPECT_EQ(ScaleToUnitRange(x), 3);
  EXPECT_NEAR(x, 0.002, 1e-15);
  x = -0.004;
  EXPECT_EQ(ScaleToUnitRange(x), 1);
  EXPECT_NEAR(x, -4.0, 1e-12);
  x = 0;
  EXPECT_EQ(ScaleToUnitRange(x), 0);

  EXPECT_STREQ(GetSubUnitPrefix(2), "\xB5");
  EXPECT_STREQ(GetSubUnitPrefix(4), "");
  // Every engineering exponent has a prefix, giga included.
  EXPECT_STREQ(GetSuperUnitPrefix(GetEngineeringExponent(2e9)), "G");
}

TEST(NumberFormat, Rounding) {
  struct Case {
    double x;
    int decimals;
    BOOL truncate;
    double want;
  } cases[] = {{1.25, 1, FALSE, 1.3}, {-1.25, 1, FALSE, -1.3}, {1.29, 1, TRUE, 1.2}, {2.5, 0, FALSE, 3.0}};
  for (const Case& c : cases) {
    double x = c.x;
    RoundToDecimals(x, c.decimals, c.truncate);
    EXPECT_NEAR(x, c.want, 1e-12) << c.x;
  }
  struct Display {
    double x, want;
    int exponent, decimals;
  } display[] = {{12.345, 12.35, 0, 2}, {-250.55, -250.6, 0, 1}, {12345, 12350, 1, 2}, {2500000, 2500000, 2, 2},
                 {5e6, 5e6, 2, 1}};
  for (const Display& d : display) {
    double x = d.x;
    int e = -1, dec = -1;
    RoundForDisplay(x, e, dec);
    EXPECT_NEAR(x, d.want, 1e-6) << d.x;
    EXPECT_EQ(e, d.exponent) << d.x;
    EXPECT_EQ(dec, d.decimals) << d.x;
  }
  double m = 29.996;
  int decimals = -1;
  RoundMeterValue(m, decimals);
  EXPECT_EQ(decimals, 2);
  EXPECT_NEAR(m, 30.0, 1e-12);
  EXPECT_EQ(GetDefaultDecimals(0), 3);
  EXPECT_EQ(GetDefaultDecimals(7), 1);
}

TEST(NumberFormat, Texts) {
  struct Case {
    const char* name;
    CString got;
    const char* want;
  };
  auto value = [](double v, const char* unit, int decimals, BOOL keep = FALSE) {
    CString s;
    FormatValue(s, v, unit, decimals, keep);
    return s;
  };
  auto scaled = [](double v, int e, int decimals) {
    CString s;
    FormatScaledValue(s, v, e, decimals);
    return s;
  };
  auto freq = [](double f) {
    CString s;
    FormatFrequency(s, f);
    return s;
  };
  Case cases[] = {
      {"4.2mV", value(0.0042, "V", 1), "4.2mV"},
      {"auto precision", value(0.0042, "V", -1), "4.2mV"},
      {"keep zeros", value(0.0042, "V", 3, TRUE), "4.200mV"},
      {"bare point", value(2.0, "s", 2), "2s"},
      {"micro", value(0.0000025, "s", -1), "2.5\xB5s"},
      {"kilo", scaled(12500, 1, 2), "12.5k"},
      {"giga", scaled(2.5e9, 3, 1), "2.5G"},
      {"1234 Hz", freq(1234), "1.2kHz"},
      {"50 Hz", freq(50), "50Hz"},
      {"0.4 Hz", freq(0.4), "0.0Hz"},
      {"no value", freq(-1), "---"},
      {"mega", freq(2500000), "2.5MHz"},
      {"ten digits", freq(1.5e9), "1500000000Hz"},
      {"volts per division", FormatPerDivision(0.5, "V"), "500mV"},
      {"volts per division, big", FormatPerDivision(1250, "V"), "1.25kV"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
}

TEST(NumberFormat, AdjustColorClamps) {
  struct Case {
    COLORREF in;
    int delta;
    COLORREF want;
  } cases[] = {
      {0xF0F0F0, 30, 0xFFFFFF},
      {0xF0F0F0, -250, 0x000000},
      {0x000000, 170, 0xAAAAAA},
      {0x0033FF, 170, 0xAADDFF},
      {0x102030, -0x20, 0x000010},
  };
  for (const Case& c : cases) EXPECT_EQ(AdjustColor(c.in, c.delta), c.want);
}
