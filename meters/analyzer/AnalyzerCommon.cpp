#include <meters/analyzer/AnalyzerCommon.h>

#include <meters/Record.h>

#include <ui/WindowClass.h>

#include <core/NumberFormat.h>
#include <core/Notify.h>
#include <core/Texts.h>

#include <cmath>

namespace analyzer {

void Notify(int sender, int code, int value) {
  if (IAnalyzerNotify* sink = GetAnalyzerNotify()) sink->OnAnalyzerNotify(sender, code, value);
}

HCURSOR AnalyzerCursor(int resourceId) { return ui_toolkit::SharedCursor(resourceId); }

void EnsureWindowClass(const char* name, UINT style, int cursorResource) {
  ui_toolkit::EnsureWindowClass(name, style, cursorResource);
}

CString FormatUnitValue(double value, LPCSTR unit, int decimals) {
  CString out;
  if (!std::isfinite(value)) return CString("---");
  if (value > -1.0 && value < 1.0) {
    FormatValue(out, value, unit, 0, TRUE);
    return out;
  }
  CString number;
  FormatScaledValue(number, value, GetEngineeringExponent(value), decimals);
  out.Format("%s%s", (LPCSTR)number, unit);
  return out;
}

CString FormatSeconds(double t, int smallDecimals, int decimals) {
  CString out;
  if (!std::isfinite(t)) return CString("---");
  if (t > -1.0 && t < 1.0) {
    FormatValue(out, t, "", smallDecimals, TRUE);
    return out;
  }
  CString number;
  FormatScaledValue(number, t, GetEngineeringExponent(t), decimals);
  out.Format("%ss", (LPCSTR)number);
  return out;
}

LPCSTR RecordUnit(const CRecord& record) { return GetUnitSymbol(record.m_nUnit); }

CString TimeScaleText(const CRecord& record, int zoom, int last) {
  const double rate = record.m_dSampleRate;
  if (!(rate > 0.0) || !std::isfinite(rate)) return CString("---");
  const double t = zoom != 0 ? 50.0 * zoom / rate : (last / rate) / 16.0;
  if (record.m_bAngle) {
    CString out;
    out.Format("%.0f\xB0", t);
    return out;
  }
  return FormatSeconds(t, 0, 2);
}

CString SignalScaleText(const CRecord& record, int amplitudeStep) {
  const double v = record.m_dPerDivision / (amplitudeStep != 0 ? amplitudeStep : 1);
  if (!std::isfinite(v)) return CString("---");
  CString text = FormatUnitValue(v, RecordUnit(record), 2);
  if (record.GetCoupling() == Coupling::AC) text = CString("~") + text;
  return text;
}

namespace {
bool SampleUsable(const CRecord* r, int s) { return r && r->IsPointValid(s); }
int Truncated(double v) {
  if (!(v > -2147483648.0 && v < 2147483648.0)) return -2147483647 - 1;
  return static_cast<int>(v);
}
}  // namespace

CString CursorValueText(const CRecord* r, int s) {
  if (!SampleUsable(r, s)) return CString("---");
  CString text = FormatUnitValue(r->GetPointValue(s), RecordUnit(*r), 2);
  const int clip = r->GetClipCode(s);
  if (clip == CRecord::CLIP_UPPER) text = CString(">") + text;
  if (clip == CRecord::CLIP_LOWER) text = CString("<") + text;
  return text;
}

bool CursorsEvaluable(const CRecord& first, int l, int r) {
  if (first.m_bContinuous) return true;
  return (l - 2 * (l / 1000)) / 1000 == (r - 2 * (r / 1000)) / 1000;
}

CursorRows CursorRowTexts(int column, double lPos, double rPos) {
  CursorRows rows;
  const CRecordList& list = GetRecordList();
  const CRecord* first = list.GetSize() > 0 ? list[0] : nullptr;
  const CRecord* rec = column < list.GetSize() ? list[column] : nullptr;
  const int l = Truncated(lPos);
  const int r = Truncated(rPos);
  rows.atL = CursorValueText(rec, l);
  rows.atR = CursorValueText(rec, r);
  const bool evaluable = first && CursorsEvaluable(*first, l, r);
  // Time difference, with the first record's rate in both columns.
  if (!first || !rec) {
    rows.timeDiff = "---";
  } else if (!evaluable) {
    rows.timeDiff = "UnEval";
  } else if (!(first->m_dSampleRate > 0.0) || !std::isfinite(first->m_dSampleRate)) {
    rows.timeDiff = "---";
  } else {
    const double dt = (static_cast<double>(r) - l) / first->m_dSampleRate;
    if (first->m_bAngle)
      rows.timeDiff.Format("%.0f\xB0", dt);
    else
      rows.timeDiff = FormatSeconds(dt, 1, 2);
  }
  // Amplitude difference on the column's record.
  if (!SampleUsable(rec, l) || !SampleUsable(rec, r)) {
    rows.ampDiff = "---";
  } else if (!evaluable || rec->GetClipCode(l) != 0 || rec->GetClipCode(r) != 0) {
    rows.ampDiff = "UnEval";
  } else {
    rows.ampDiff = FormatUnitValue(rec->GetPointValue(l) - rec->GetPointValue(r), RecordUnit(*rec), 2);
  }
  return rows;
}

}  // namespace analyzer
