#include <scope/SavedScopeText.h>

#include <core/NumberFormat.h>
#include <core/OscScale.h>
#include <core/SavedScope.h>
#include <core/Texts.h>
#include <core/ValueText.h>

#include <cmath>

CString FormatSavedScopeTimePerDiv(const CSavedScope& scope) {
  const CStepScale& grid = GetTimeStepScale();
  const double divisions = scope.m_bRollMode ? grid.m_nCurrentStep : grid.m_nSteps;
  const double rate = scope.m_dSampleRate;
  CString text;
  // A file saved without a time base stores rate 0: nothing to divide by.
  if (!(rate > 0.0) || !(divisions > 0.0) || !std::isfinite(rate)) {
    text = "---";
    return text;
  }
  const double t = scope.m_bRollMode ? 500.0 / (rate * divisions) : 1000.0 / (divisions * rate);
  if (scope.m_bAngleMode) {
    const double whole = std::trunc(t);
    text.Format("%d\xB0", whole >= 2147483647.0 ? 2147483647 : static_cast<int>(whole));
  } else {
    FormatValue(text, t, "s", -1, FALSE);
  }
  return text;
}

CString FormatSavedSignalPerDiv(const CSavedSignal& signal) {
  const double v = signal.m_dPerDivision;
  const char* unit = GetUnitSymbol(signal.m_nUnit);
  CString text;
  if (v > -1.0 && v < 1.0) {
    FormatValue(text, v, unit, -1, FALSE);
  } else {
    text.Format("%s%s", FormatValueByMagnitude(v).GetString(), unit);
  }
  return text;
}
