#include <core/NumberFormat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

void DoubleToScaledValue(double x, ScaledValue& out) {
  out = ScaledValue{};
  if (!std::isfinite(x)) return;
  const double kMax = 2147483647.0;
  double m = std::fabs(x);
  if (m > kMax) m = kMax;
  int exponent = 0;
  bool stoppedBeforeOverflow = false;
  while (m != std::floor(m) && exponent > -32) {
    if (m * 10.0 > kMax) {
      stoppedBeforeOverflow = true;
      break;
    }
    m *= 10.0;
    --exponent;
  }
  int32_t mantissa = static_cast<int32_t>(m);
  if (stoppedBeforeOverflow) {
    // A decimal without an exact binary form (123.456 is 123.45599999999999) runs into the int32
    // limit with nine or ten digits of which the last are binary noise: round them away, and drop
    // the zeros the rounding leaves, so the value comes out as the decimal it stands for.
    mantissa = static_cast<int32_t>(std::floor(m + 0.5));
    while (exponent < 0 && mantissa % 10 == 0 && mantissa != 0) {
      mantissa /= 10;
      ++exponent;
    }
  }
  out.mantissa = x < 0 ? -mantissa : mantissa;
  out.exponent = static_cast<int8_t>(mantissa == 0 ? 0 : exponent);
}

double ScaledValueToDouble(const ScaledValue& value) {
  double v = value.mantissa;
  if (value.exponent >= 0) {
    for (int i = 0; i < value.exponent; ++i) v *= 10.0;
  } else {
    for (int i = 0; i < -value.exponent; ++i) v /= 10.0;
  }
  return v;
}

int GetEngineeringExponent(double x) {
  double a = std::fabs(x);
  int n = 0;
  while (a >= 1000.0 && n < 3) {
    a /= 1000.0;
    ++n;
  }
  return n;
}

int ScaleToUnitRange(double& x) {
  int n = 0;
  while (x != 0.0 && std::fabs(x) < 1.0 && n < 3) {
    x *= 1000.0;
    ++n;
  }
  return n;
}

LPCSTR GetSubUnitPrefix(int step) {
  static const char* const prefixes[] = {"", "m", "\xB5", "n"};
  return step >= 0 && step < 4 ? prefixes[step] : "";
}

LPCSTR GetSuperUnitPrefix(int step) {
  static const char* const prefixes[] = {"", "k", "M", "G"};
  return step >= 0 && step < 4 ? prefixes[step] : "";
}

void RoundToDecimals(double& x, int decimals, BOOL truncate) {
  const double p = std::pow(10.0, decimals);
  const double nudge = (truncate ? 0.0000001 : 0.5000001) * (x < 0 ? -1.0 : 1.0);
  x = std::trunc(x * p + nudge) / p;
}

int GetDefaultDecimals(int unitType) {
  switch (unitType) {
    case 0: return 3;
    case 1: return 2;
    case 2: return 0;
    default: return 1;
  }
}

void RoundMeterValue(double& x, int& decimals) {
  const double a = std::fabs(x);
  decimals = a < 3 ? 3 : (a < 30 ? 2 : (a < 300 ? 1 : 0));
  RoundToDecimals(x, decimals);
}

void RoundForDisplay(double& x, int& exponent, int& decimals) {
  struct Band {
    double below;
    int exponent;
    int decimals;
  };
  static const Band bands[] = {{30, 0, 2},     {300, 0, 1},     {1000, 0, 0},    {30000, 1, 2},
                               {300000, 1, 1}, {1000000, 1, 0}, {3000000, 2, 2}, {INFINITY, 2, 1}};
  const double a = std::fabs(x);
  for (const Band& b : bands) {
    if (a < b.below || b.below == INFINITY) {
      exponent = b.exponent;
      decimals = b.decimals;
      break;
    }
  }
  const double scale = std::pow(1000.0, exponent);
  double v = a / scale;
  RoundToDecimals(v, decimals);
  x = (x < 0 ? -v : v) * scale;
}

namespace {

CString FormatNumber(double value, int decimals, BOOL keepZeros) {
  CString number;
  if (decimals < 0) {
    number.Format("%#f", value);
  } else {
    CString format;
    format.Format("%%.%df", decimals);
    number.Format(format, value);
  }
  if (!keepZeros && number.Find('.') >= 0) {
    int length = number.GetLength();
    while (length > 0 && number[length - 1] == '0') --length;
    if (length > 0 && number[length - 1] == '.') --length;
    number = number.Left(length);
  }
  return number;
}

}  // namespace

void FormatValue(CString& out, double value, LPCSTR unit, int decimals, BOOL keepZeros) {
  const int steps = ScaleToUnitRange(value);
  out.Format("%s%s%s", (LPCSTR)FormatNumber(value, decimals, keepZeros), GetSubUnitPrefix(steps), unit ? unit : "");
}

void FormatScaledValue(CString& out, double value, int exponent, int decimals, BOOL keepZeros) {
  if (exponent < 0 || exponent > 3) exponent = 0;
  const double scaled = value / std::pow(1000.0, exponent);
  out.Format("%s%s", (LPCSTR)FormatNumber(scaled, decimals, keepZeros), GetSuperUnitPrefix(exponent));
}

void FormatFrequency(CString& out, double frequency) {
  if (frequency == -1.0) {
    out = "---";
    return;
  }
  const double whole = std::trunc(std::fabs(frequency));
  if (whole == 0.0 || !std::isfinite(whole)) {
    out = "0.0Hz";
    return;
  }
  int digits = 0;
  for (double w = whole; w >= 1.0; w = std::trunc(w / 10.0)) ++digits;
  const int exponent = digits <= 3 ? 0 : (digits <= 6 ? 1 : (digits <= 9 ? 2 : 0));
  FormatScaledValue(out, frequency, exponent, 1, FALSE);
  out += "Hz";
}

CString FormatPerDivision(double value, LPCSTR unit) {
  CString out;
  if (std::fabs(value) < 1.0) {
    FormatValue(out, value, unit, -1, FALSE);
  } else {
    FormatScaledValue(out, value, GetEngineeringExponent(value), 2, FALSE);
    out += unit ? unit : "";
  }
  return out;
}

COLORREF AdjustColor(COLORREF color, int delta) {
  auto channel = [&](int shift) -> COLORREF {
    int v = static_cast<int>((color >> shift) & 0xFF) + delta;
    v = v < 0 ? 0 : (v > 255 ? 255 : v);
    return static_cast<COLORREF>(v) << shift;
  };
  return channel(0) | channel(8) | channel(16);
}
