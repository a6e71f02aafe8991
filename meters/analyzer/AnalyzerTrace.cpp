#include <meters/analyzer/AnalyzerTrace.h>

#include <meters/Record.h>

#include <platform/dcscope.h>

#include <cmath>
#include <type_traits>
#include <vector>

namespace {
constexpr COLORREF kGapColor = 0x282828;
}

int SaturatedPixel(double value) {
  if (!(value > -2147483648.0 && value < 2147483648.0)) return -2147483647 - 1;
  return static_cast<int>(value);
}

void CDirectTraceSink::Gap(int x) {
  CPen pen(PS_SOLID, 2, kGapColor);
  kvp::DcSelect selected(m_pDC, &pen);
  m_pDC->MoveTo(x, m_nTop);
  m_pDC->LineTo(x, m_nBottom);
}

CColumnTraceSink::CColumnTraceSink(CDC* dc, int top, int bottom, int penWidth, TraceLines* lines)
    : m_Direct(dc, top, bottom), m_pDC(dc), m_pLines(lines ? lines : &m_Own), m_bThin(penWidth <= 1) {
  m_pLines->points.clear();
  m_pLines->starts.clear();
  dc->GetClipBox(&m_rcKeep);
  m_rcKeep.InflateRect(kClipMargin, kClipMargin);
}

void CColumnTraceSink::Gap(int x) {
  Flush();
  // The gap line covers the trace drawn so far and lies under what follows.
  DrawLines();
  m_Direct.Gap(x);
}

void CColumnTraceSink::LineFromPen(int x, int y) {
  const int x0 = m_nPenX, y0 = m_nPenY;
  m_nPenX = x;
  m_nPenY = y;
  Queue(x0, y0, x, y);
}

void CColumnTraceSink::Queue(int x0, int y0, int x, int y) {
  if (x0 == x && y0 == y) return;  // LineTo draws nothing
  const CRect& k = m_rcKeep;
  if ((x0 < k.left && x < k.left) || (x0 > k.right && x > k.right) || (y0 < k.top && y < k.top) ||
      (y0 > k.bottom && y > k.bottom))
    return;
  if (x0 == x) {
    // A vertical line covers a run of one column: cut to the kept band it covers the same pixels
    // inside the clip box. (It keeps its direction, so which end is left out stays outside.)
    y0 = y0 < k.top ? k.top : (y0 > k.bottom ? k.bottom : y0);
    y = y < k.top ? k.top : (y > k.bottom ? k.bottom : y);
  }
  TraceLines& l = *m_pLines;
  if (l.points.empty() || l.points.back().x != x0 || l.points.back().y != y0) {
    l.starts.push_back(l.points.size());
    l.points.push_back(POINT{x0, y0});
  }
  l.points.push_back(POINT{x, y});
}

void CColumnTraceSink::DrawLines() {
  // A piece drawn at once leaves the pixels of a LineTo per line, as the per-sample drawing does,
  // and costs far less: the drawing layer fills the outlines of the lines of the trace pens (solid,
  // 1 to 3 pixels) instead of stroking each with a round pen.
  TraceLines& l = *m_pLines;
  const POINT* p = l.points.data();
  for (size_t k = 0; k < l.starts.size(); ++k) {
    const size_t first = l.starts[k];
    const size_t end = k + 1 < l.starts.size() ? l.starts[k + 1] : l.points.size();
    m_pDC->MoveTo(p[first].x, p[first].y);
    m_pDC->PolylineTo(p + first + 1, static_cast<int>(end - first - 1));
  }
  l.points.clear();
  l.starts.clear();
}

// A stretch is the run of points of one column joined by lines, from its first point (reached by
// a line from the column before, or by a move) to its last. Its lines cover every pixel between
// its extremes, except that a thin pen leaves out the last point when nothing else reaches it:
// when the last point is the strict extreme of the stretch. One vertical line covers the same
// pixels (a wide pen's round ends of lines along one column add up to the round ends of one line),
// and the pen goes on from the last point.
void CColumnTraceSink::Move(int x, int y) {
  if (m_bHeld && m_bFromMove && m_nLines == 0) {
    // Moves draw nothing: only the last of a row of moves counts.
    m_nX = x;
    m_nFirst = m_nLast = y;
    return;
  }
  Flush();
  m_bHeld = true;
  m_bFromMove = true;
  m_nX = x;
  m_nFirst = m_nLast = y;
  m_nLines = 0;
}

void CColumnTraceSink::Flush() {
  if (!m_bHeld) return;
  m_bHeld = false;
  if (m_bFromMove) {
    m_nPenX = m_nX;
    m_nPenY = m_nFirst;
  } else {
    LineFromPen(m_nX, m_nFirst);
  }
  if (m_nLines == 0) return;
  const int l = m_nLast;
  // Where the choice is free, the vertical line starts at the first point, where the line into
  // the column ended, or ends at the last one, where the next line starts: joined lines go out as
  // one piece.
  const int first = m_nFirst;
  if (!m_bThin) {
    // A wide pen covers the same pixels in either direction.
    const int lo = l < m_nMinBefore ? l : m_nMinBefore;
    const int hi = l > m_nMaxBefore ? l : m_nMaxBefore;
    if (first == hi || (first != lo && l == lo))
      Queue(m_nX, hi, m_nX, lo);
    else
      Queue(m_nX, lo, m_nX, hi);
  } else if (l > m_nMaxBefore) {
    Queue(m_nX, m_nMinBefore, m_nX, l);  // down to the last point, left out
  } else if (l < m_nMinBefore) {
    Queue(m_nX, m_nMaxBefore, m_nX, l);  // up to it
  } else if (first == m_nMaxBefore) {
    Queue(m_nX, m_nMaxBefore, m_nX, m_nMinBefore - 1);  // both extremes drawn, upwards
  } else {
    Queue(m_nX, m_nMinBefore, m_nX, m_nMaxBefore + 1);  // both extremes drawn
  }
  m_nPenX = m_nX;
  m_nPenY = l;
}

bool RecordIsDrawable(const CRecord& record) {
  const double d = record.m_dPerDivision;
  const double vpp = record.m_Scale.m_dValuePerPixel;
  return std::isfinite(d) && d != 0.0 && std::isfinite(vpp) && vpp != 0.0;
}

namespace {

// y on the record's own scale, as the chart draws it.
struct RecordYMap {
  explicit RecordYMap(const CScale& scale)
      : first(scale.m_dFirstValue), perPixel(scale.m_dValuePerPixel), firstPixel(scale.m_dFirstPixel) {}
  int Pixel(double shown) const { return SaturatedPixel((shown - first) / perPixel + firstPixel); }
  double first;
  double perPixel;
  double firstPixel;
};

template <typename YMap, typename Sink>
void Walk(const CRecord& r, const RecorderViewWindow& window, double a, double offset, const YMap& yMap, Sink& sink) {
  const RingReader ring(r.m_Ring);
  const int samples = ring.Count();
  // Valid points: below both the point count and the stored samples.
  const long long valid = r.GetPointCount() < samples ? r.GetPointCount() : samples;
  const double slope = window.slope;
  const double full = r.m_dFullScale;
  const int upper = r.m_nRawUpper;
  const int lower = r.m_nRawLower;
  const bool segmented = !r.m_bContinuous;
  auto clipOf = [&](int raw) { return raw >= upper ? CRecord::CLIP_UPPER : (raw <= lower ? CRecord::CLIP_LOWER : CRecord::CLIP_NONE); };
  // A sample inside the range that is no half of a gap marker.
  auto inside = [&](int raw) { return raw > lower && raw < upper && raw != CRecord::kGapStart && raw != CRecord::kGapEnd; };
  bool lifted = true;
  int lastX = 0;
  bool drawn = false;
  long long i = window.start < 0 ? 0 : window.start;
  const long long end = window.end < valid - 1 ? window.end : valid - 1;
  // The raw samples around i: a gap marker's two samples read as 0 (value and range code).
  int prevRaw = i > 0 && i - 1 < valid ? ring[static_cast<int>(i - 1)] : 0;
  int prevClip = i > 0 && i - 1 < valid ? clipOf(prevRaw) : CRecord::CLIP_NONE;
  if (i > 1 && i - 1 < valid && CRecord::IsGapAt(ring[static_cast<int>(i - 2)], prevRaw))
    prevClip = clipOf(0);
  int raw = i < samples ? ring[static_cast<int>(i)] : 0;
  auto yOfRaw = [&](int effective) {
    const double v = full * effective / 32767.0;
    return yMap.Pixel(v * a + offset);
  };
  // A long window reads y from a table over the 65536 raw values (the same formula, so the same
  // pixels) instead of computing it per sample.
  std::vector<int> yTable;
  if (end - i > 2 * 65536) {
    yTable.resize(65536);
    for (int raw16 = -32768; raw16 <= 32767; ++raw16) yTable[raw16 + 32768] = yOfRaw(raw16);
  }
  auto yOfInside = [&](int r) { return yTable.empty() ? yOfRaw(r) : yTable[r + 32768]; };
  // x = trunc(w / slope) is monotonic while it fits an int: it is computed once per column, with
  // the first offset of the next column, instead of once per sample.
  const bool columns = slope > 0.0 && std::isfinite(slope) && (end - window.start) / slope < 1073741824.0 &&
                       (i - window.start) / slope > -1073741824.0;
  auto xOf = [&](long long w) { return SaturatedPixel(static_cast<double>(w) / slope); };
  int columnX = 0;
  long long columnEnd = 0;  // the first offset of the next column
  bool columnKnown = false;
  for (; i <= end; ++i) {
    const int s = static_cast<int>(i);
    const int next = s + 1 < samples ? ring[s + 1] : 0;
    const bool gapStart = s + 1 < samples && CRecord::IsGapAt(raw, next);
    const bool gapEnd = s > 0 && CRecord::IsGapAt(prevRaw, raw);
    int x;
    const long long w = i - window.start;
    if (!columns) {
      x = xOf(w);
    } else {
      if (!columnKnown || w >= columnEnd) {
        columnX = xOf(w);
        long long next = static_cast<long long>(std::ceil((static_cast<double>(columnX) + 1.0) * slope));
        if (next <= w) next = w + 1;
        while (next > w + 1 && xOf(next - 1) != columnX) --next;
        while (xOf(next) == columnX) ++next;
        columnEnd = next;
        columnKnown = true;
      }
      x = columnX;
      if constexpr (std::is_same_v<Sink, CColumnTraceSink>) {
        // Most samples lie inside the range and belong to no gap marker: each is a line to its
        // point, taken in one loop to the end of the column or of that run.
        if (!lifted && inside(raw)) {
          const long long stop = end < window.start + columnEnd - 1 ? end : window.start + columnEnd - 1;
          CColumnTraceSink::Stretch stretch = sink.OpenStretch(x, yOfInside(raw));
          long long j = i;
          int last = raw;
          while (j < stop) {
            const int r = ring[static_cast<int>(j + 1)];
            if (!inside(r)) break;
            CColumnTraceSink::AddToStretch(stretch, yOfInside(r));
            last = r;
            ++j;
          }
          sink.CloseStretch(stretch);
          lastX = x;
          drawn = true;
          prevRaw = last;
          prevClip = CRecord::CLIP_NONE;
          i = j;
          raw = j + 1 < samples ? ring[static_cast<int>(j + 1)] : 0;
          continue;
        }
      }
    }
    if (segmented && gapStart) {
      sink.Gap((drawn ? lastX : x) + 1);
      lifted = true;
      // Both samples of the marker are skipped; the walk goes on after them.
      ++i;
      prevRaw = next;
      prevClip = clipOf(0);
      raw = s + 2 < samples ? ring[s + 2] : 0;
      continue;
    }
    const int effective = (gapStart || gapEnd) ? 0 : raw;
    const int y = yTable.empty() ? yOfRaw(effective) : yTable[effective + 32768];
    const int clip = clipOf(effective);
    lastX = x;
    drawn = true;
    if (lifted) {
      sink.Move(x, y);
      lifted = false;
    } else if (clip != 0 && clip == prevClip) {
      sink.Move(x, y);
    } else {
      sink.Line(x, y);
    }
    prevRaw = raw;
    prevClip = clip;
    raw = next;
  }
  sink.Finish();
}

}  // namespace

void WalkTrace(const CRecord& r, const RecorderViewWindow& w, double a, double offset, ITraceSink& sink) {
  Walk(r, w, a, offset, RecordYMap(r.m_Scale), sink);
}
void WalkTrace(const CRecord& r, const RecorderViewWindow& w, double a, double offset, CColumnTraceSink& sink) {
  Walk(r, w, a, offset, RecordYMap(r.m_Scale), sink);
}
void WalkTrace(const CRecord& r, const RecorderViewWindow& w, double a, double offset, CDirectTraceSink& sink) {
  Walk(r, w, a, offset, RecordYMap(r.m_Scale), sink);
}
void WalkTrace(const CRecord& r, const RecorderViewWindow& w, double a, double offset, const ITraceYMap& yMap,
               ITraceSink& sink) {
  Walk(r, w, a, offset, yMap, sink);
}
