#include <meters/analyzer/AnalyzerTrace.h>

#include <meters/Record.h>

#include <cmath>
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
  CPen* old = m_pDC->SelectObject(&pen);
  m_pDC->MoveTo(x, m_nTop);
  m_pDC->LineTo(x, m_nBottom);
  m_pDC->SelectObject(old);
}

// A stretch is the run of points of one column joined by lines, from its first point (reached by
// a line from the column before, or by a move) to its last. Its lines cover every pixel between
// its extremes, except that a thin pen leaves out the last point when nothing else reaches it:
// when the last point is the strict extreme of the stretch. Emitting first, the other extreme,
// then the last covers the same pixels in that case; otherwise first, both extremes (the one equal
// to the last point visited first) and the last.
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

void CColumnTraceSink::Gap(int x) {
  Flush();
  m_Direct.Gap(x);
}

void CColumnTraceSink::Emit(int y) {
  if (y == m_nEmitted) return;
  m_pDC->LineTo(m_nX, y);
  m_nEmitted = y;
}

void CColumnTraceSink::Flush() {
  if (!m_bHeld) return;
  m_bHeld = false;
  if (m_bFromMove)
    m_pDC->MoveTo(m_nX, m_nFirst);
  else
    m_pDC->LineTo(m_nX, m_nFirst);
  m_nEmitted = m_nFirst;
  if (m_nLines == 0) return;
  const int l = m_nLast;
  if (l > m_nMaxBefore) {
    Emit(m_nMinBefore);
  } else if (l < m_nMinBefore) {
    Emit(m_nMaxBefore);
  } else if (l == m_nMaxBefore) {
    Emit(m_nMaxBefore);
    Emit(m_nMinBefore);
  } else {
    Emit(m_nMinBefore);
    Emit(m_nMaxBefore);
  }
  Emit(l);
}

bool RecordIsDrawable(const CRecord& record) {
  const double d = record.m_dPerDivision;
  const double vpp = record.m_Scale.m_dValuePerPixel;
  return std::isfinite(d) && d != 0.0 && std::isfinite(vpp) && vpp != 0.0;
}

namespace {

template <typename Sink>
void Walk(const CRecord& r, const RecorderViewWindow& window, double a, double offset, Sink& sink) {
  const CScale& scale = r.m_Scale;
  const RingReader ring(r.m_Ring);
  const int samples = ring.Count();
  // Valid points: below both the point count and the stored samples.
  const long long valid = r.GetPointCount() < samples ? r.GetPointCount() : samples;
  const double slope = window.slope;
  const double full = r.m_dFullScale;
  const double first = scale.m_dFirstValue;
  const double perPixel = scale.m_dValuePerPixel;
  const double firstPixel = scale.m_dFirstPixel;
  const int upper = r.m_nRawUpper;
  const int lower = r.m_nRawLower;
  const bool segmented = !r.m_bContinuous;
  auto clipOf = [&](int raw) { return raw >= upper ? CRecord::CLIP_UPPER : (raw <= lower ? CRecord::CLIP_LOWER : CRecord::CLIP_NONE); };
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
    return SaturatedPixel((v * a + offset - first) / perPixel + firstPixel);
  };
  // A long window reads y from a table over the 65536 raw values (the same formula, so the same
  // pixels) instead of computing it per sample.
  std::vector<int> yTable;
  if (end - i > 2 * 65536) {
    yTable.resize(65536);
    for (int raw16 = -32768; raw16 <= 32767; ++raw16) yTable[raw16 + 32768] = yOfRaw(raw16);
  }
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
  Walk(r, w, a, offset, sink);
}
void WalkTrace(const CRecord& r, const RecorderViewWindow& w, double a, double offset, CColumnTraceSink& sink) {
  Walk(r, w, a, offset, sink);
}
void WalkTrace(const CRecord& r, const RecorderViewWindow& w, double a, double offset, CDirectTraceSink& sink) {
  Walk(r, w, a, offset, sink);
}
