#include "ChartDraw.h"

#include <scope/ScopeState.h>
#include <scope/TraceStatus.h>
#include <scope/chart/OscChartWnd.h>

#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/MotortesterData.h>
#include <core/SavedScope.h>
#include <core/TextIds.h>
#include <core/ValueText.h>

#include <platform/dcscope.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace chartdraw {

namespace {

constexpr COLORREF kSegmentColors[6] = {0x0000FF, 0x00FF00, 0xFF0000, 0xBF4DB4, 0x000000, 0x4E2D00};
constexpr COLORREF kGrey = 0xC0C0C0;

bool InRange(int i, int n) { return i >= 0 && i < n; }

// Moves and lines of one polyline: a point either starts a new piece or is joined to the last.
// A piece is drawn with one call when it ends (a break, a new piece, Flush), so a trace costs a
// call per piece and not per point; the points live in a buffer kept for the whole trace.
class Pen {
 public:
  Pen(CDC* dc, int capacity) : m_dc(dc) { m_Points.reserve(static_cast<size_t>(std::max(capacity, 0))); }
  void Break() { Flush(); }
  void Point(int x, int y, bool join) {
    if (!(join && !m_Points.empty())) Flush();
    m_Points.push_back(POINT{x, y});
  }
  // Draws the open piece with the pen selected now.
  void Flush() {
    if (m_Points.empty()) return;
    m_dc->MoveTo(m_Points[0].x, m_Points[0].y);
    if (m_Points.size() > 1) m_dc->PolylineTo(m_Points.data() + 1, static_cast<int>(m_Points.size() - 1));
    m_Points.clear();
  }

 private:
  CDC* m_dc;
  std::vector<POINT> m_Points;
};

bool TraceValid(const CMeasure& trace, int i) {
  return InRange(i, static_cast<int>(trace.m_PointFlags.GetSize())) && trace.m_PointFlags[i] != 0;
}

bool ChannelOn(int channel) {
  const CChannelProps* c = GetGlobalProps().GetChannel(channel);
  return c && c->m_nModeEnable == 1;
}

// The live traces that hold data, by channel (null when the channel shows nothing).
CMeasure* ShownTrace(int channel) {
  CMeasureList& list = GetTraceList();
  if (channel >= list.GetSize() || !ChannelOn(channel)) return nullptr;
  CMeasure* trace = list[channel];
  if (!trace || !trace->m_bValid || trace->GetCount() == 0) return nullptr;
  return trace;
}

int ClampInt(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }

}  // namespace

int SatInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}

int VisibleTickCount() {
  const CStepScale& grid = GetTimeStepScale();
  return grid.m_nCurrentStep * (grid.m_nTicks > 0 ? grid.m_nTicks : 10);
}

COLORREF SegmentColor(int index) { return kSegmentColors[ClampInt(index, 0, 5)]; }

Axes Axes::Screen() { return Axes(); }

Axes Axes::Fitted(const RECT& grid) {
  Axes a;
  const COscScale& s = GetOscScale();
  a.m_bCopies = true;
  a.m_time = s.m_TimeAxis;
  a.m_time.SetPixels(grid.left, grid.right);
  a.m_time.Recompute();
  for (int i = 0; i < COscScale::AXIS_COUNT; ++i) {
    a.m_vertical[i] = s.m_Vertical[i];
    a.m_vertical[i].SetPixels(grid.bottom, grid.top);
    a.m_vertical[i].Recompute();
  }
  return a;
}

const CScale* Axes::Map(const CScale* axis) const {
  if (!axis || !m_bCopies) return axis;
  const COscScale& s = GetOscScale();
  if (axis == &s.m_TimeAxis) return &m_time;
  for (int i = 0; i < COscScale::AXIS_COUNT; ++i) {
    if (axis == &s.m_Vertical[i]) return &m_vertical[i];
  }
  return axis;
}

// ------------------------------------------------------------------------------------------------

std::vector<LimitBand> CollectLimitBands(const RECT& area, const Axes* axesOrNull) {
  std::vector<LimitBand> bands;
  if (ChartSignalsHiddenByRecording()) return bands;
  const Axes screen = Axes::Screen();
  const Axes& axes = axesOrNull ? *axesOrNull : screen;
  auto yOf = [&](const CScale& axis, double value) {
    return ClampInt(axis.ValueToPixel(value), area.top, area.bottom);
  };
  auto add = [&](CPen* pen, COLORREF colour, int left, int top, int right, int bottom, int style, int edges) {
    bands.push_back(LimitBand{pen, colour, RECT{left, top, right, bottom}, style, edges});
  };
  for (int ch = 0; ch < 2; ++ch) {
    CMeasure* trace = ShownTrace(ch);
    if (!trace) continue;
    const CScale* axis = axes.Map(trace->m_pScale);
    if (!axis || axis->m_dValuePerPixel == 0.0) continue;
    CPen* pen = trace->GetLimitPen();
    if (trace->m_bShowUpper) {
      const int y = yOf(*axis, scope::GetSignedMaximum(*trace));
      add(pen, trace->m_crHighlight, area.left, area.top, area.right, y, trace->m_nStyle, 8);
    }
    if (trace->m_bShowLower) {
      const int y = yOf(*axis, scope::GetSignedMinimum(*trace));
      add(pen, trace->m_crHighlight, area.left, y, area.right, area.bottom, trace->m_nStyle, 2);
    }
  }
  CSavedScope* scopes = GetSavedScopes();
  for (int s = 0; s < kSavedScopeSlots; ++s) {
    if (scopes[s].m_bEmpty) continue;
    for (INT_PTR k = 0; k < scopes[s].m_Signals.GetSize(); ++k) {
      CSavedSignal* signal = scopes[s].m_Signals[k];
      if (!signal || (!signal->m_bShowLevel1 && !signal->m_bShowLevel2)) continue;
      const CScale* axis = axes.Map(signal->m_pScale);
      if (!axis || axis->m_dValuePerPixel == 0.0) continue;
      CPen* pen = signal->GetLevelPen();
      if (signal->m_bShowLevel1) {
        const int y = yOf(*axis, signal->m_dLevel1);
        add(pen, signal->m_crColor, area.left, area.top, area.right, y, signal->m_nStyle, 8);
      }
      if (signal->m_bShowLevel2) {
        const int y = yOf(*axis, signal->m_dLevel2);
        add(pen, signal->m_crColor, area.left, y, area.right, area.bottom, signal->m_nStyle, 2);
      }
    }
  }
  return bands;
}

void PaintLimitBands(CDC* dc, const std::vector<LimitBand>& bands, int step) {
  kvp::DcSelect pen(dc, nullptr);
  for (const LimitBand& band : bands) {
    pen.Select(band.pen);
    const RECT& r = band.rect;
    DrawLinePattern(dc, r.left, r.top, r.right, r.bottom, band.style, band.edges, step);
  }
}

void DrawLimitBands(CDC* dc, const RECT& area, int step, const Axes* axesOrNull) {
  PaintLimitBands(dc, CollectLimitBands(area, axesOrNull), step);
}

void DrawLines(CDC* dc, const RECT& client) {
  GlobalProps& props = GetGlobalProps();
  const bool inverted = TriggerSourceInverted();
  auto draw = [&](const CTraceStyle& record, bool horizontal) {
    if (!record.m_pScale || !record.IsShown()) return;
    double value = record.m_dValue;
    if (horizontal && record.Kind() == 2 && inverted) value = -value;
    if (!IsValueInScaleRange(*record.m_pScale, value)) return;
    const int p = record.m_pScale->ValueToPixel(value);
    CPen pen(PS_SOLID, 1, record.m_crColor);
    kvp::DcSelect selected(dc, &pen);  // deselected before the pen is deleted
    if (horizontal) {
      dc->MoveTo(client.left, p);
      dc->LineTo(client.right, p);
    } else {
      dc->MoveTo(p, client.top);
      dc->LineTo(p, client.bottom);
    }
  };
  for (int i = 0; i < GlobalProps::TRACE_STYLE_COUNT; ++i) draw(props.TraceStyle(i), true);
  for (int i = 0; i < GlobalProps::CURSOR_STYLE_COUNT; ++i) draw(props.CursorStyle(i), false);
}

std::vector<SavedSignalLine> CollectSavedSignals(const RECT& area, const Axes& axes, int penWidth, bool clamp) {
  std::vector<SavedSignalLine> lines;
  if (ChartSignalsHiddenByRecording()) return lines;
  const int width = area.right - area.left;
  if (width <= 0) return lines;
  const CStepScale& grid = GetTimeStepScale();
  const int offset = GetOscScale().m_nHorizontalOffset;
  CSavedScope* scopes = GetSavedScopes();
  for (int s = 0; s < kSavedScopeSlots; ++s) {
    const CSavedScope& scope = scopes[s];
    if (scope.m_bEmpty) continue;
    for (INT_PTR k = 0; k < scope.m_Signals.GetSize(); ++k) {
      CSavedSignal* signal = scope.m_Signals[k];
      if (!signal || !signal->m_bValid) continue;
      const CScale* axis = axes.Map(signal->m_pScale);
      if (!axis || axis->m_dValuePerPixel == 0.0) continue;
      const int n = signal->GetCount();
      if (n <= 0) continue;
      int first = 0, last = n - 1;
      double indexesPerPixel;
      if (scope.m_bRollMode) {
        indexesPerPixel = static_cast<double>(n) / width;
      } else {
        const double d = grid.m_nSteps * 10.0 / 999.0;
        if (!(d > 0.0)) continue;
        const double a = std::trunc(offset * 10.0 / d), b = std::trunc((offset * 10.0 + VisibleTickCount()) / d);
        if (!(a >= 0.0 && a < n && b >= 0.0 && b < n)) continue;
        first = static_cast<int>(a);
        last = static_cast<int>(b);
        if (last <= first) continue;  // nothing to spread over the width
        indexesPerPixel = static_cast<double>(last - first) / width;
      }
      SavedSignalLine line;
      line.signal = signal;
      line.colour = signal->m_crColor;
      line.penWidth = penWidth;
      line.pen = penWidth > 0 ? nullptr : signal->GetPen();
      line.points.reserve(static_cast<size_t>(last - first + 1));
      bool open = false;
      const int flags1 = static_cast<int>(signal->m_Flags1.GetSize());
      const int flags2 = static_cast<int>(signal->m_Flags2.GetSize());
      for (int i = first; i <= last; ++i) {
        if (!InRange(i, flags1) || signal->m_Flags1[i] == 0) {
          open = false;  // no sample here: the trace shows a gap
          continue;
        }
        const int x = SatInt((i - first) / indexesPerPixel + area.left);
        int y = axis->ValueToPixel(signal->m_Values[i]);
        if (clamp) y = ClampInt(y, area.top, area.bottom);
        const int st = InRange(i, flags2) ? signal->m_Flags2[i] : 0;
        const int prevSt = i > first && InRange(i - 1, flags2) ? signal->m_Flags2[i - 1] : 0;
        const bool join = open && !(st != 0 && st == prevSt);
        line.points.push_back(LinePoint{x, y, join});
        open = true;
      }
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

void PaintSavedSignals(CDC* dc, const std::vector<SavedSignalLine>& lines) {
  for (const SavedSignalLine& line : lines) {
    std::unique_ptr<CPen> own;
    CPen* pen = line.pen;
    if (!pen) {
      own = std::make_unique<CPen>(PS_SOLID, line.penWidth, line.colour);
      pen = own.get();
    }
    kvp::DcSelect selected(dc, pen);  // deselected before an own pen is deleted
    for (const LinePoint& p : line.points) {
      if (p.join) {
        dc->LineTo(p.x, p.y);
      } else {
        dc->MoveTo(p.x, p.y);
      }
    }
  }
}

void DrawSavedSignals(CDC* dc, const RECT& area, const Axes& axes, int penWidth, bool clamp) {
  PaintSavedSignals(dc, CollectSavedSignals(area, axes, penWidth, clamp));
}

void DrawTraces(CDC* dc, int firstTick, int tickCount, const Axes& axes, int penWidth) {
  if (firstTick <= 0) firstTick = 0;
  if (tickCount <= 0) tickCount = VisibleTickCount();
  const CScale& time = axes.Time();
  if (time.m_nDivisions == 0) return;
  const double perTick = time.m_dSpan * time.m_dDirection / (time.m_nDivisions * 10.0);
  if (perTick == 0.0 || !std::isfinite(perTick)) return;
  const double t0 = time.m_dDirection * time.m_dStart + time.m_dOrigin;
  const double from = t0 + perTick * firstTick;
  const double to = t0 + perTick * tickCount;
  const measure::MeasureType type = GetMeasureType().Type();
  CMotortesterData* engine = GetMotortesterDevice();
  const bool greyCoil = engine->GetCoilType() == 1;
  const int wide = penWidth > 0 ? penWidth : 2;
  // The grey and segment pens are made when a trace first needs them.
  CPen grey;
  CPen segmentPens[6];
  auto greyPen = [&] {
    if (!grey.GetSafeHandle()) grey.CreatePen(PS_SOLID, wide, kGrey);
    return &grey;
  };
  auto segmentPen = [&](int index) {
    CPen& pen = segmentPens[ClampInt(index, 0, 5)];
    if (!pen.GetSafeHandle()) pen.CreatePen(PS_SOLID, wide, SegmentColor(index));
    return &pen;
  };

  for (int ch = 0; ch < 2; ++ch) {
    CMeasure* trace = ShownTrace(ch);
    if (!trace) continue;
    const CScale* axis = axes.Map(trace->m_pScale);
    if (!axis || axis->m_dValuePerPixel == 0.0) continue;
    const double tpi = trace->m_dTimePerIndex;
    if (!(tpi > 0.0) || !(to > from)) continue;
    const int n = trace->GetCount();
    auto indexOf = [&](double t) { return SatInt(std::trunc((t - trace->m_dTimeOrigin) / tpi + trace->m_nIndexOrigin)); };
    auto timeOf = [&](int i) { return (static_cast<double>(i) - trace->m_nIndexOrigin) * tpi + trace->m_dTimeOrigin; };
    const int firstIndex = indexOf(from);
    if (!InRange(firstIndex, n) && !InRange(indexOf(to), n)) continue;
    const int start = std::max(firstIndex, 0);

    Pen line(dc, n - start);
    auto point = [&](int i, bool newPiece) {
      if (!TraceValid(*trace, i)) {
        line.Break();  // no sample here: the trace shows a gap
        return;
      }
      const int x = time.ValueToPixel(timeOf(i));
      const int y = axis->ValueToPixel(trace->m_nMultiplier * trace->m_Values[i]);
      const int st = scope::TraceStatusValue(*trace, i);
      const bool move = newPiece || (i > start && st != 0 && st == scope::TraceStatusValue(*trace, i - 1));
      line.Point(x, y, !move);
    };

    if (!measure::IsSegmented(type)) {
      CPen* pen = type == measure::MeasureType::kSecondarySelected && greyCoil ? greyPen() : nullptr;
      std::unique_ptr<CPen> own;
      if (!pen) {
        if (penWidth > 0) {
          own = std::make_unique<CPen>(PS_SOLID, penWidth, trace->m_crColor);
          pen = own.get();
        } else {
          pen = trace->GetTracePen();
        }
      }
      kvp::DcSelect selected(dc, pen);  // deselected before an own pen is deleted
      for (int i = start; i < n; ++i) {
        point(i, false);
        if (!(timeOf(i) < to)) break;
      }
      line.Flush();  // drawn while its pen is still selected
      continue;
    }

    // Segmented records: N segments of 1000 / N points, each in its own pen and its own line.
    int segments = GetMeasureType().m_nSegmentCount.load();
    if (type == measure::MeasureType::kSecondaryAll) {
      const int cylinders = engine->GetNumberCylinders(CMotortesterData::ENGINE_SPARK);
      if (cylinders >= 0) segments = std::min(segments, cylinders);
    }
    if (segments <= 0) continue;
    const int length = 1000 / segments;
    if (length <= 0) continue;
    // Boundaries lie at 1..6 lengths; a record of more segments keeps the sixth pen after them.
    auto boundaryOf = [&](int i) {
      if (i <= 0 || i % length != 0) return 0;
      const int k = i / length;
      return k <= 6 ? k : 0;
    };
    const int end = segments <= 6 ? segments * length : n;  // the last segment ends at its boundary
    const bool greySegments = type == measure::MeasureType::kSecondaryAll && greyCoil;
    auto penOf = [&](int segment) { return greySegments ? greyPen() : segmentPen(segment); };
    kvp::DcSelect pens(dc, penOf(std::min(start / length, 6)));
    for (int i = start; i < n && i < end; ++i) {
      const int k = boundaryOf(i);
      if (k > 0 && i != start) {
        line.Flush();  // what is drawn so far keeps the pen it was drawn with
        pens.Select(penOf(k));
        line.Break();
      } else {
        point(i, i == start);
      }
      if (!(timeOf(i) < to)) break;
    }
    line.Flush();  // drawn while its pen is still selected
  }
}

void DrawEngineSpeed(CDC* dc, const RECT& rect, CFont* font) {
  double speed = -1.0;
  GetMeasureEngine().ReadEngineSpeed(speed);
  // The helper puts the one blank between the value and the unit.
  CString value;
  if (speed == -1.0) {
    value = "---";
  } else {
    value.Format("%d", SatInt(std::trunc(speed)));
  }
  const int h = rect.bottom - rect.top;
  kvp::DcSelect selected(dc, font);
  kvp::DcBkMode mode(dc, TRANSPARENT);
  DrawValueWithUnit(value, GetGlobalProps().GetText(kTextRpm), -3 + rect.left, rect.bottom - h / 10, rect.right,
                    rect.bottom, dc);
}

}  // namespace chartdraw
