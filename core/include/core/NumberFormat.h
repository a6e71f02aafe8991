// Numbers to display texts and library values: ScaledValue conversion, engineering exponents and
// unit prefixes, rounding for display, value and frequency texts, colour shades.
#pragma once

#include <platform/afx.h>

#include <kv310/Records.h>

// x as mantissa and decimal exponent. The mantissa always fits an int32: the scaling stops at
// exponent -32 (the integer part is kept) or before the mantissa would pass 2147483647 (then it is
// rounded and its trailing zeros dropped: 123.456 gives 123456e-3, not 1234559999e-7).
void DoubleToScaledValue(double x, ScaledValue& out);
double ScaledValueToDouble(const ScaledValue& value);

// How often |x| can be divided by 1000 while it is at least 1000, at most 3 times.
int GetEngineeringExponent(double x);
// While x is non-zero and |x| < 1, multiply by 1000, at most 3 times; returns the count.
int ScaleToUnitRange(double& x);
// "", "m", micro sign (0xB5), "n" for 0..3; "" outside.
LPCSTR GetSubUnitPrefix(int step);
// "", "k", "M", "G" for 0..3; "" outside.
LPCSTR GetSuperUnitPrefix(int step);

// x rounded (or truncated) to n decimals, half away from zero with a small nudge.
void RoundToDecimals(double& x, int decimals, BOOL truncate = FALSE);
// 3 for type 0, 2 for 1, 0 for 2, 1 otherwise.
int GetDefaultDecimals(int unitType);
void RoundMeterValue(double& x, int& decimals);
void RoundForDisplay(double& x, int& exponent, int& decimals);

// Number (sub-unit scaled), sub-unit prefix and unit: FormatValue(out, 0.0042, "V", 1) = "4.2mV".
// Negative decimals print with automatic precision; trailing zeros go unless keepZeros.
void FormatValue(CString& out, double value, LPCSTR unit, int decimals, BOOL keepZeros = FALSE);
// value / 1000^exponent and the super-unit prefix of the exponent.
void FormatScaledValue(CString& out, double value, int exponent, int decimals, BOOL keepZeros = FALSE);
// "---" for -1, "0.0Hz" below 1, else the value with a prefix by its integer digits and "Hz".
void FormatFrequency(CString& out, double frequency);
// A per-division value: below 1 with a sub-unit prefix, else with an engineering prefix.
CString FormatPerDivision(double value, LPCSTR unit);

// The delta added to each of red, green and blue, clamped to 0..255.
COLORREF AdjustColor(COLORREF color, int delta);
