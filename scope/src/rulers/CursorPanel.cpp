#include <scope/rulers/CursorPanel.h>

#include <scope/TraceStatus.h>

#include "RulerMath.h"

#include <core/ChartHelpers.h>
#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureType.h>
#include <core/MotortesterData.h>
#include <core/Notify.h>
#include <core/OscScale.h>
#include <core/Scale.h>

#include <platform/dcscope.h>

#include <algorithm>
#include <cmath>
#include <string>

using rulers_detail::PixelOf;

namespace {

constexpr const char* kCannotEvaluate = "Cannot evaluate";
constexpr const char* kCannotEval = "Cannot eval";
constexpr const char* kChannelLetters[2] = {"A", "B"};
// How far texts keep from the difference box's sunken edges (each 2 pixels wide).
constexpr int kEdgeClearance = 4;

NumericOptionRecord SpinnerRecord() {
  NumericOptionRecord r;
  r.enabled = 1;
  r.step = 1.0;
  r.bigStep = 10.0;
  r.value = 0.0;
  r.min = 0.0;
  r.max = 999.0;
  r.decimals = 0;
  r.accelAfter = 10;
  r.reversed = 0;
  return r;
}


// The engine's cylinder count for the differences of segmented records; 1 when the engine type
// has none, so the difference stays unscaled rather than turning negative.
int CylinderCount() {
  const CMotortesterData& engine = *GetMotortesterDevice();
  const int n = engine.GetNumberCylinders(engine.GetEngineType());
  return n >= 1 ? n : 1;
}

// The segments of a segmented record: the engine-tester pane's count, in type 8 at most the spark
// engine's cylinders.
int SegmentCount() {
  int n = GetMeasureType().m_nSegmentCount.load();
  if (GetMeasureType().m_nMeasureType.load() == 8) {
    const int cylinders = GetMotortesterDevice()->GetNumberCylinders(CMotortesterData::ENGINE_SPARK);
    if (cylinders >= 0) n = std::min(n, cylinders);
  }
  return n;
}

// The trace of a channel when it holds data and its channel is on with a probe; null otherwise.
const CMeasure* ShownTrace(int channel) {
  const CMeasureList& traces = GetTraceList();
  if (channel >= traces.GetSize()) return nullptr;
  const CMeasure* trace = traces[channel];
  const CChannelProps& c = GetGlobalProps().m_Channels[channel];
  if (!trace || !trace->m_bValid || trace->GetCount() <= 0 || c.m_nModeEnable != 1 || !c.m_bEnabled) return nullptr;
  return trace;
}

// The sample index of a cursor's step, -1 outside the trace's arrays.
int SampleIndex(const CMeasure& trace, double step) {
  const int i = PixelOf(step);
  const int size = std::min({trace.GetCount(), static_cast<int>(trace.m_SaturationFlags.GetSize()),
                             static_cast<int>(trace.m_PointFlags.GetSize())});
  return i >= 0 && i < size ? i : -1;
}

// 2 decimals below 10, 1 below 100, else 0, for values shown without a sub-unit prefix.
int DecimalsOf(double value, int channel) {
  if (GetGlobalProps().GetSubUnitExponent(value, channel) >= 1) return 0;
  const double a = std::fabs(value);
  return a < 10.0 ? 2 : (a < 100.0 ? 1 : 0);
}

// Draws text at the rectangle's left, single line, bottom-aligned; returns its width.
int DrawPiece(CDC* dc, const CString& text, RECT rect, UINT vertical) {
  dc->DrawText(text, &rect, DT_SINGLELINE | DT_LEFT | vertical);
  return dc->GetTextExtent(text).cx;
}

// The face's text rectangle narrowed so that it stays 3 pixels clear of the spinner's arrows,
// which are drawn over the face after it: an arrow right of the text's middle moves its right end,
// one left of it its left end.
RECT ClearOfArrows(RECT text, const CRepeatCtrl& control) {
  if (!control.record.enabled) return text;  // no arrows are drawn
  constexpr int kGap = 3;
  const int middle = text.left + (text.right - text.left) / 2;
  for (const CVisualItemBtn& arrow : control.items) {
    const RECT& a = arrow.rect;
    if (a.right <= a.left || a.bottom <= text.top || a.top >= text.bottom) continue;
    if (a.left + (a.right - a.left) / 2 >= middle)
      text.right = std::min<LONG>(text.right, a.left - kGap);
    else
      text.left = std::max<LONG>(text.left, a.right + kGap);
  }
  return text;
}

CString Degrees(double value) {
  CString s;
  s.Format("%5.1f\xB0", value);
  return s;
}

}  // namespace

CWndOsc_Cursor::CWndOsc_Cursor() = default;
CWndOsc_Cursor::~CWndOsc_Cursor() = default;

CursorRecord& CWndOsc_Cursor::LeftCursor() const { return GetGlobalProps().m_Styles[GlobalProps::STYLE_CURSOR_LEFT]; }
CursorRecord& CWndOsc_Cursor::RightCursor() const {
  return GetGlobalProps().m_Styles[GlobalProps::STYLE_CURSOR_RIGHT];
}

double CWndOsc_Cursor::StepOf(double time) { return GetOscScale().CursorStepOf(time); }
double CWndOsc_Cursor::TimeOf(double step) { return GetOscScale().CursorTimeOf(step); }

BOOL CWndOsc_Cursor::CreateChildren() {
  if (!m_Font.GetSafeHandle()) CreateFontOnce(m_Font, "Arial", -13, GetGlobalProps().GetCharSet(), FALSE, FALSE, FALSE, 0);
  const NumericOptionRecord record = SpinnerRecord();
  struct Spinner {
    CRepeatCtrl& control;
    const char* name;
    RECT rect;
    UINT id;
  };
  for (const Spinner& s : {Spinner{m_Left, "Left", RECT{0, 0, 120, 50}, ID_LEFT},
                           Spinner{m_Right, "Right", RECT{330, 0, 460, 50}, ID_RIGHT}}) {
    SetOption(s.control.flags, CRepeatCtrl::kFlat, TRUE);
    s.control.scrollClbck = this;
    s.control.drawClbck = this;
    s.control.InitOptionFromRecord(&record);
    if (!s.control.Create(s.name, WS_CHILD | WS_VISIBLE, s.rect, this, s.id)) return FALSE;
  }
  return TRUE;
}

void CWndOsc_Cursor::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  if (m_rcClient == m_rcStored) return;
  m_rcStored = m_rcClient;
  m_Font.DeleteObject();
  CreateFontOnce(m_Font, "Arial", -PixelOf(0.19 * m_rcClient.Height()), GetGlobalProps().GetCharSet(), FALSE, FALSE,
                 FALSE, 0);
  const int h = PixelOf(0.7 * m_rcClient.Height());
  const int w = PixelOf(2.3 * h);
  if (m_Left.GetSafeHwnd()) m_Left.MoveWindow(0, 0, w, h);
  if (m_Right.GetSafeHwnd()) m_Right.MoveWindow(m_rcClient.right - w, 0, w, h);
}

void CWndOsc_Cursor::MakeGdiObjects() {
  if (!m_penChannel[0].GetSafeHandle()) m_penChannel[0].CreatePen(PS_SOLID, 1, GetSchemeColor(4));
  if (!m_penChannel[1].GetSafeHandle()) m_penChannel[1].CreatePen(PS_SOLID, 1, GetSchemeColor(5));
  if (!m_penTitle.GetSafeHandle()) m_penTitle.CreatePen(PS_SOLID, 1, GetSchemeColor(7));
  if (!m_penFrame.GetSafeHandle()) m_penFrame.CreatePen(PS_SOLID, 1, GetSchemeColor(17));
  if (!m_brFace.GetSafeHandle()) m_brFace.CreateSolidBrush(GetSchemeColor(16));
}

int CWndOsc_Cursor::GetSegment(const CursorRecord& record) const {
  const int n = SegmentCount();
  if (n < 1 || !record.m_pScale) return 0;
  const CScale& axis = *record.m_pScale;
  const double seg = (axis.m_dEnd - axis.m_dOrigin) / n;
  for (int i = 1; i <= n; ++i) {
    if (axis.m_dOrigin <= record.m_dValue && i * seg > record.m_dValue) return i;
  }
  return 0;
}

CString CWndOsc_Cursor::TimeDifferenceText() const {
  const double left = LeftCursor().m_dValue, right = RightCursor().m_dValue;
  const measure::MeasureType type = GetMeasureType().Type();
  if (GetMeasureType().m_nAngleMode.load()) return Degrees((right - left) * (type == measure::MeasureType::kSecondaryAll ? CylinderCount() : 1));
  if (measure::IsSegmented(type)) {
    if (GetSegment(LeftCursor()) != GetSegment(RightCursor())) return kCannotEvaluate;
    return GetGlobalProps().FormatPlainValue(CylinderCount() * (right - left));
  }
  return GetGlobalProps().FormatPlainValue(right - left);
}

BOOL CWndOsc_Cursor::ChannelDifferenceText(int channel, CString& text) const {
  const CMeasure* trace = ShownTrace(channel);
  if (!trace) return FALSE;
  const int p = SampleIndex(*trace, StepOf(LeftCursor().m_dValue));
  const int q = SampleIndex(*trace, StepOf(RightCursor().m_dValue));
  const bool otherSegment =
      measure::IsSegmented(GetMeasureType().Type()) && GetSegment(LeftCursor()) != GetSegment(RightCursor());
  if (p < 0 || q < 0 || scope::TraceStatusValue(*trace, p) != 0 || scope::TraceStatusValue(*trace, q) != 0 ||
      otherSegment) {
    text = kCannotEval;
    return TRUE;
  }
  const double d = trace->m_nMultiplier * trace->m_Values[p] - trace->m_nMultiplier * trace->m_Values[q];
  text = GetGlobalProps().FormatChannelValue(d, channel, DecimalsOf(d, channel), FALSE);
  return TRUE;
}

BOOL CWndOsc_Cursor::ChannelValueText(int channel, const CursorRecord& cursor, CString& text) const {
  const CMeasure* trace = ShownTrace(channel);
  if (!trace) return FALSE;
  const int p = SampleIndex(*trace, StepOf(cursor.m_dValue));
  if (p < 0 || trace->m_PointFlags[p] == 0) return FALSE;
  const double v = trace->m_nMultiplier * trace->m_Values[p];
  const CString value = GetGlobalProps().FormatChannelValue(v, channel, DecimalsOf(v, channel), FALSE);
  // The mark reads the value as shown: an inverted channel clipped above its range shows "<".
  const int status = scope::TraceStatusValue(*trace, p);
  text.Format(status == 1 ? ">%s" : (status == 2 ? "<%s" : "%s"), value.GetString());
  return TRUE;
}

void CWndOsc_Cursor::PaintDifferenceLine(CDC* dc, const RECT& box, int lineHeight) {
  const int mid = box.left + (box.right - box.left) / 2;
  const RECT line{box.left, box.top, mid - 10, box.top + lineHeight};
  RECT sign{line.left, line.top, line.left + lineHeight, line.top + lineHeight};
  sign = rulers_detail::Inflated(sign, -4, -4);
  {
    kvp::DcSelect pen(dc, &m_penTitle);
    DrawTriangleOutline(dc, sign);
  }
  RECT text{line.left + lineHeight + 2, line.top, line.right, line.bottom};
  const CString diff = TimeDifferenceText();
  if (diff == kCannotEvaluate) {
    CString whole;
    whole.Format("C: %s", diff.GetString());
    DrawPiece(dc, whole, text, DT_BOTTOM);
    return;
  }
  text.left += DrawPiece(dc, "C:", text, DT_BOTTOM) + 10;
  DrawPiece(dc, diff, text, DT_BOTTOM);
}

void CWndOsc_Cursor::PaintChannelDifferences(CDC* dc, const RECT& box, int lineHeight, int rowTop) {
  const int mid = box.left + (box.right - box.left) / 2;
  // The rows of the values at the cursors take the panel's lower part, across the box: this line
  // ends where they begin, level with the spinners' bottom, and never rises into the first line.
  const int bottom = std::max(std::min(box.bottom, rowTop), box.top + 2 * lineHeight);
  const RECT halves[2] = {{box.left, bottom - lineHeight, mid - 10, bottom},
                          {mid + 10, bottom - lineHeight, box.right, bottom}};
  for (int ch = 0; ch < 2; ++ch) {
    CString value;
    if (!ChannelDifferenceText(ch, value)) continue;
    const RECT& half = halves[ch];
    RECT sign{half.left, half.top, half.left + lineHeight, half.top + lineHeight};
    sign = rulers_detail::Inflated(sign, -4, -4);
    {
      kvp::DcSelect pen(dc, &m_penChannel[ch]);
      DrawTriangleOutline(dc, sign);
    }
    RECT text{half.left + lineHeight + 2, half.top, half.right, half.bottom};
    CString label;
    label.Format("%s:", kChannelLetters[ch]);
    {
      kvp::DcTextColor color(dc, GetSchemeColor(4 + ch));
      text.left += DrawPiece(dc, label, text, DT_BOTTOM) + 10;
    }
    DrawPiece(dc, value, text, DT_BOTTOM);
  }
}

void CWndOsc_Cursor::PaintCursorValues(CDC* dc, const RECT& row, const CursorRecord& cursor, const int (&edges)[2]) {
  const int mid = row.left + (row.right - row.left) / 2;
  const RECT halves[2] = {{row.left, row.top, mid - 10, row.bottom}, {mid + 10, row.top, row.right, row.bottom}};
  for (int ch = 0; ch < 2; ++ch) {
    CString value;
    if (!ChannelValueText(ch, cursor, value)) continue;
    RECT text = halves[ch];
    CString label;
    label.Format("%s:", kChannelLetters[ch]);
    // The row runs across the difference box: a text that would straddle one of its sunken edges
    // starts just inside instead, so that no edge line cuts through it.
    const int width = dc->GetTextExtent(label).cx + 10 + dc->GetTextExtent(value).cx;
    for (const int edge : edges) {
      if (text.left < edge + kEdgeClearance && text.left + width > edge - kEdgeClearance)
        text.left = edge + kEdgeClearance;
    }
    kvp::DcTextColor color(dc, GetSchemeColor(4 + ch));
    text.left += DrawPiece(dc, label, text, DT_VCENTER) + 10;
    color.Set(cursor.m_crColor);
    DrawPiece(dc, value, text, DT_VCENTER);
  }
}

void CWndOsc_Cursor::PaintContent(CDC* dc) {
  MakeGdiObjects();
  m_painted = ReadoutPicture();
  kvp::DcSelect font(dc, &m_Font);
  // The readout's texts are transparent, in the scheme's text colour unless a piece says otherwise.
  kvp::DcText text(dc, GetSchemeColor(7), TRANSPARENT);

  RECT left{0, 0, 0, 0}, right{m_rcClient.right, 0, m_rcClient.right, 0};
  if (m_Left.GetSafeHwnd()) {
    m_Left.GetWindowRect(&left);
    ScreenToClient(&left);
  }
  if (m_Right.GetSafeHwnd()) {
    m_Right.GetWindowRect(&right);
    ScreenToClient(&right);
  }
  RECT box{left.right + 2, m_rcClient.top, right.left - 2, m_rcClient.bottom};
  dc->DrawEdge(&box, EDGE_SUNKEN, BF_RECT);
  box = rulers_detail::Inflated(box, -5, -5);
  const int lineHeight = dc->GetTextExtent("C:").cy;
  const int width = m_rcClient.Width(), height = m_rcClient.Height();
  const int top = PixelOf(0.7 * height);
  PaintDifferenceLine(dc, box, lineHeight);
  PaintChannelDifferences(dc, box, lineHeight, top);

  const int edges[2] = {left.right + 2, right.left - 2};
  PaintCursorValues(dc, RECT{0, top, PixelOf(width / 2.378), m_rcClient.bottom}, LeftCursor(), edges);
  PaintCursorValues(dc, RECT{PixelOf(width / 1.674), top, PixelOf(width / 1.0044), m_rcClient.bottom}, RightCursor(),
                    edges);
}

CString CWndOsc_Cursor::CursorValueText(const CursorRecord& cursor) const {
  const measure::MeasureType type = GetMeasureType().Type();
  const int n = SegmentCount();
  if (GetMeasureType().m_nAngleMode.load()) return Degrees(cursor.m_dValue);
  if (measure::IsSegmented(type) && n >= 1 && cursor.m_pScale) {
    // The time inside the cursor's segment, scaled to a whole engine cycle.
    const double seg = (cursor.m_pScale->m_dEnd - cursor.m_pScale->m_dOrigin) / n;
    return GetGlobalProps().FormatPlainValue(n * (cursor.m_dValue - seg * (GetSegment(cursor) - 1)));
  }
  return GetGlobalProps().FormatPlainValue(cursor.m_dValue);
}

namespace {

// A picture written down: numbers and texts in the order they were noted.
class PictureNote {
 public:
  PictureNote& operator<<(int v) {
    m_text.append(reinterpret_cast<const char*>(&v), sizeof v);
    return *this;
  }
  PictureNote& operator<<(const RECT& r) { return *this << r.left << r.top << r.right << r.bottom; }
  PictureNote& operator<<(const CString& text) {
    m_text.append(text.GetString(), static_cast<size_t>(text.GetLength()) + 1);
    return *this;
  }
  std::string Take() { return std::move(m_text); }

 private:
  std::string m_text;
};

RECT WindowRectOf(const CWnd& w) {
  RECT r{0, 0, 0, 0};
  if (w.GetSafeHwnd()) ::GetWindowRect(w.GetSafeHwnd(), &r);
  return r;
}

}  // namespace

std::string CWndOsc_Cursor::ReadoutPicture() const {
  PictureNote note;
  note << m_rcClient << static_cast<int>(m_crBack) << WindowRectOf(m_Left) << WindowRectOf(m_Right);
  note << static_cast<int>(LeftCursor().m_crColor) << static_cast<int>(RightCursor().m_crColor);
  for (int scheme : {4, 5, 7}) note << static_cast<int>(GetSchemeColor(scheme));
  note << TimeDifferenceText();
  for (int ch = 0; ch < 2; ++ch) {
    CString text;
    note << ChannelDifferenceText(ch, text) << text;
    for (const CursorRecord* cursor : {&LeftCursor(), &RightCursor()}) {
      text.Empty();
      note << ChannelValueText(ch, *cursor, text) << text;
    }
  }
  return note.Take();
}

void CWndOsc_Cursor::RepaintChanged() {
  if (!GetSafeHwnd() || !IsWindowVisible()) {
    m_painted.clear();  // shown again, the panel paints in full
    return;
  }
  if (m_painted.empty() || ReadoutPicture() != m_painted) Redraw();
  // The spinners' faces follow their own layout as well: they paint with every record, as before.
  if (m_Left.GetSafeHwnd()) m_Left.Redraw();
  if (m_Right.GetSafeHwnd()) m_Right.Redraw();
}

void CWndOsc_Cursor::Draw(CDC* dc, RECT* client, NumericOptionRecord*, CRepeatCtrl* control) {
  MakeGdiObjects();
  const CursorRecord& cursor = control == &m_Right ? RightCursor() : LeftCursor();
  kvp::DcText textColour(dc, cursor.m_crColor, TRANSPARENT);
  const int dy = PixelOf(0.2 * (client->bottom - client->top));
  const int dx = PixelOf(0.22 * (client->right - client->left));
  const RECT face{client->left + dx, client->top + dy, client->right - dx, client->bottom - dy};
  {
    kvp::DcSelect pen(dc, &m_penFrame);
    kvp::DcSelect brush(dc, &m_brFace);
    dc->Rectangle(&face);
  }

  RECT text{face.left + 1, face.top + 3, face.right - 1 - 5, face.bottom - 3};
  if (control) text = ClearOfArrows(text, *control);
  // A value wider than its room is drawn in a smaller font rather than cut off or run under the
  // arrows: the height scaled by the room, then lowered until the text fits (6 pixels at least).
  // The narrow font outlives its selector, so it is never deleted while the DC holds it.
  CFont narrow;
  kvp::DcSelect font(dc, &m_Font);
  const CString value = CursorValueText(cursor);
  const int room = text.right - text.left, needed = dc->GetTextExtent(value).cx;
  LOGFONT lf{};
  if (needed > room && room > 0 && m_Font.GetLogFont(&lf)) {
    const int full = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    for (int height = std::max(6, static_cast<int>(static_cast<long long>(full) * room / needed));; --height) {
      font.Select(&m_Font);  // never delete the font the DC holds
      narrow.DeleteObject();
      lf.lfHeight = -height;
      if (!narrow.CreateFontIndirect(&lf)) break;
      font.Select(&narrow);
      if (height <= 6 || dc->GetTextExtent(value).cx <= room) break;
    }
  }
  dc->DrawText(value, &text, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
}

void CWndOsc_Cursor::Notify(notify::Code code, const CursorRecord& record) {
  // The record travels as its index in the settings' cursor table.
  NotifySystem(kSenderId, code, record.Kind());
}

void CWndOsc_Cursor::OnValueChanged(NumericOptionRecord*, CRepeatCtrl* control) {
  if (control == &m_Left) {
    const double step = m_Left.record.value;
    if (m_Right.record.value >= step) {
      LeftCursor().m_dValue = TimeOf(step);
      Notify(notify::kCursorLeftMoved, LeftCursor());
    } else {
      m_Left.record.value = m_Right.record.value;  // never past the right cursor
      m_Left.Redraw();
    }
  } else if (control == &m_Right) {
    const double step = m_Right.record.value;
    if (m_Left.record.value <= step) {
      RightCursor().m_dValue = TimeOf(step);
      Notify(notify::kCursorRightMoved, RightCursor());
    } else {
      m_Right.record.value = m_Left.record.value;  // never before the left cursor
      m_Right.Redraw();
    }
  }
}

void CWndOsc_Cursor::RepaintAll() {
  Redraw();
  if (m_Left.GetSafeHwnd()) m_Left.Redraw();
  if (m_Right.GetSafeHwnd()) m_Right.Redraw();
}

void CWndOsc_Cursor::OnSystemNotify(notify::Sender sender, notify::Code code, int) {
  using namespace notify;
  switch (code) {
    case kChannelOnOffA:
    case kChannelOnOffB:
    case kChannelShown:
    case kCursorValuesChanged:
    case kRedrawAll: Redraw(); break;
    // A new record: the values at the cursors may have changed, the cursors themselves not.
    case kNewRecord: RepaintChanged(); break;
    case kCursorLeftMoved:
    case kCursorRightMoved:
      if (sender != kSenderId) {
        SetValueInRange(&m_Left.record, StepOf(LeftCursor().m_dValue));
        SetValueInRange(&m_Right.record, StepOf(RightCursor().m_dValue));
      }
      RepaintAll();
      break;
    case kCursorsPlaced: {
      const CScale& axis = GetOscScale().m_TimeAxis;
      if (axis.m_nDivisions == 0) break;  // no time axis yet: nothing to reset to
      const double division = axis.m_dSpan * axis.m_dDirection / axis.m_nDivisions;
      const int offset = GetOscScale().m_nHorizontalOffset;
      const int shown = GetTimeStepScale().m_nCurrentStep;
      SetValueInRange(&m_Left.record, StepOf(division * (offset + 2)));
      SetValueInRange(&m_Right.record, StepOf(division * (offset + shown - 2)));
      m_Left.ReportValue();
      m_Right.ReportValue();
      break;
    }
    default: break;
  }
}
