#include <meters/MeterText.h>

#include <core/NumberFormat.h>
#include <core/ValueText.h>

#include <cmath>

namespace {

// The number of the value in the mode, without unit.
CString NumberText(double value, int mode) {
  CString out;
  switch (mode) {
    case METER_MODE_ONE_DECIMAL:
      if (value == 0.0) return "0.0";
      RoundToDecimals(value, 1);
      out.Format("%5.1f", value);
      return out;
    case METER_MODE_INTEGER:
      if (value == 0.0) return "0";
      RoundToDecimals(value, 0);
      out.Format("%d", static_cast<int>(value));
      return out;
    case METER_MODE_TWO_DECIMALS:
      if (value == 0.0) return "0.00";
      RoundToDecimals(value, 2);
      out.Format("%.2f", value);
      return out;
    default:
      return value == 0.0 ? FormatMeasuredValue(0.01) : FormatValueByMagnitude(value);
  }
}

}  // namespace

CString FormatMeterValue(double value, int mode, LPCSTR unit, LPCSTR mark) {
  CString out;
  if (mark)
    out.Format("%s%s %s", (LPCSTR)NumberText(value, mode), unit, mark);
  else
    out.Format("%s%s", (LPCSTR)NumberText(value, mode), unit);
  return out;
}

CString FormatMeterZero(int mode, double lastValue, LPCSTR unit) {
  CString number;
  switch (mode) {
    case METER_MODE_ONE_DECIMAL: number = "0.0"; break;
    case METER_MODE_INTEGER: number = "0"; break;
    case METER_MODE_TWO_DECIMALS: number = "0.00"; break;
    default: number = FormatMeasuredValue(lastValue); break;
  }
  CString out;
  out.Format("%s%s", (LPCSTR)number, unit);
  return out;
}

double GetZeroBand(int mode, double fullScale) {
  return (mode == METER_MODE_ONE_DECIMAL || mode == METER_MODE_TWO_DECIMALS) ? fullScale / 25.0 : fullScale / 50.0;
}

double RoundForPrint(double value, int mode) {
  switch (mode) {
    case METER_MODE_ONE_DECIMAL: RoundToDecimals(value, 1); return value;
    case METER_MODE_INTEGER: RoundToDecimals(value, 0); return value;
    case METER_MODE_TWO_DECIMALS: RoundToDecimals(value, 2); return value;
    default: return 0.0;
  }
}

int GetContinuityTone(double ohms) {
  if (ohms < 5.0) return 0;
  if (ohms < 15.0) return 1;
  return -1;
}
