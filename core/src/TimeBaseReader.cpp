#include <core/TimeBaseReader.h>

#include <core/GlobalProps.h>
#include <core/MeasureType.h>
#include <core/NumberFormat.h>

#include <vector>

namespace {

void Fail(CStringArrayEx& lines, const AddErrorLine& addError, const char* format, int code) {
  CString text;
  text.Format(format, code);
  if (addError) {
    addError(lines, text);
  } else {
    lines.Add(text);
  }
}

// Reads count, values and current index; stops at the first failure (after its line).
void ReadRates(IMTOscilloscope_7* osc, bool angle, CNxDoubleArray& rates, CStringArrayEx& lines,
               const AddErrorLine& addError) {
  uint16_t count = 0;
  int rc = angle ? osc->GetAngleRateCount(&count) : osc->GetSampleRateCount(&count);
  if (rc != 0) {
    Fail(lines, addError, "Cannot get angle/sample rate items count [err code:%d]", rc);
    return;
  }
  if (angle) {
    std::vector<ScaledValue> values(count);
    rc = count ? osc->GetAngleRates(count, values.data()) : 0;
    if (rc == 0)
      for (const ScaledValue& v : values) rates.Add(ScaledValueToDouble(v));
  } else {
    std::vector<int32_t> values(count);
    rc = count ? osc->GetSampleRates(count, values.data()) : 0;
    if (rc == 0)
      for (int32_t v : values) rates.Add(static_cast<double>(static_cast<uint32_t>(v)));
  }
  if (rc != 0) {
    Fail(lines, addError, "Cannot get angle/sample rate items values [err code:%d]", rc);
    return;
  }
  uint16_t index = 0;
  rc = angle ? osc->GetAngleRateIndex(&index) : osc->GetSampleRateIndex(&index);
  if (rc != 0) Fail(lines, addError, "Cannot get current angle/sample rate index [err code:%d]", rc);
}

}  // namespace

int ReadSampleRateTable(IMTOscilloscope_7* osc, CMeasureProps& settings, CStringArrayEx& lines,
                        const AddErrorLine& addError) {
  lines.RemoveAll();
  settings.m_TimeBase.m_Rates.RemoveAll();
  if (osc) {
    ReadRates(osc, GetMeasureType().m_nAngleMode.load() != 0, settings.m_TimeBase.m_Rates, lines, addError);
  } else {
    Fail(lines, addError, "Cannot get angle/sample rate items count [err code:%d]", 1);
  }
  GetGlobalProps().UpdateTriggerScale();
  return lines.GetSize() == 0 ? 1 : 0;
}
