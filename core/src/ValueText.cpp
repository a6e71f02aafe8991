#include <core/ValueText.h>

#include <core/DrawHelpers.h>
#include <core/EngineRecords.h>
#include <core/GlobalProps.h>
#include <core/NumberFormat.h>
#include <core/Sound.h>

#include <platform/dcscope.h>

#include <cmath>
#include <cstring>

void DrawValueWithUnit(LPCSTR value, LPCSTR unit, int left, int top, int right, int bottom, CDC* dc,
                       double smallRatio) {
  if (!dc) return;
  const int h = bottom - top;
  const int largeHeight = static_cast<int>(h * -0.5);
  const int smallHeight = static_cast<int>(largeHeight / smallRatio);
  const BYTE charSet = GetGlobalProps().GetCharSet();
  CFont large;
  CFont small;
  CreateFontOnce(large, "Arial", largeHeight, charSet, TRUE, FALSE, FALSE, 0);
  CreateFontOnce(small, "Arial", smallHeight, charSet, TRUE, FALSE, FALSE, 0);

  kvp::DcSelect selectFont(dc, &small);
  // The exponent stands half a large character above the bottom, in a strip as wide as "-1".
  CRect strip(left, top, right, bottom - h / 4);
  CRect measured = strip;
  dc->DrawText("-1", 2, &measured, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM | DT_CALCRECT);
  strip.left = right - measured.Width();
  if (!unit || std::strcmp(unit, "RPM") != 0) dc->DrawText("-1", 2, &strip, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);

  dc->SelectObject(&large);
  CString text;
  text.Format("%s %s", value ? value : "", unit ? unit : "");
  CRect body(left, top, strip.left, bottom);
  dc->DrawText(text, &body, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
}

CString FormatValueByMagnitude(double value) {
  const double a = std::fabs(value);
  int decimals = 0;
  if (a < 1.0) {
    decimals = 0;
  } else if (a < 3.0) {
    decimals = 3;
  } else if (a < 30.0) {
    decimals = 2;
  } else if (a < 300.0) {
    decimals = 1;
  }
  CString text;
  FormatValue(text, value, "", decimals, TRUE);
  return text;
}

void PlayAlarmSound() { GetSound().Play(0, FALSE, FALSE, FALSE); }

CString FormatMeasuredValue(double m) {
  const double a = std::fabs(m);
  int decimals = 0;
  if (a < 1.0)
    decimals = 0;
  else if (a < 3.0)
    decimals = 3;
  else if (a < 30.0)
    decimals = 2;
  else if (a < 300.0)
    decimals = 1;
  double scaled = m;
  int steps = ScaleToUnitRange(scaled);
  if (steps > 3) steps = 3;
  CString format;
  format.Format("%%.%df", decimals);
  CString out;
  out.Format(format, 0.0);
  out += GetSubUnitPrefix(steps);
  return out;
}

void ApplyZeroOffset(MeterReading& reading) {
  if (reading.IsMinMaxTracking()) {
    reading.m_dMin += reading.m_dOffset;
    reading.m_dMax += reading.m_dOffset;
  }
  reading.m_dOffset = reading.m_dRawValue;
  if (reading.IsMinMaxTracking()) {
    reading.m_dMin -= reading.m_dOffset;
    reading.m_dMax -= reading.m_dOffset;
  }
  reading.m_dValue = 0.0;
  UpdateReadingMinMax(reading);
}
