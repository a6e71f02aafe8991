#include <meters/analyzer/AnalyzerTrace.h>

#include <meters/Record.h>

#include <cmath>

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

void CColumnTraceSink::Line(int x, int y) {
  if (m_bHeld && x == m_nX) {
    if (y == m_nLast) return;  // a line to the point the pen stands on draws nothing
    if (m_nLines == 0) {
      m_nMinBefore = m_nMaxBefore = m_nFirst;
    } else {
      if (m_nLast < m_nMinBefore) m_nMinBefore = m_nLast;
      if (m_nLast > m_nMaxBefore) m_nMaxBefore = m_nLast;
    }
    m_nLast = y;
    ++m_nLines;
    return;
  }
  Flush();
  m_bHeld = true;
  m_bFromMove = false;
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

void WalkTrace(const CRecord& r, const RecorderViewWindow& window, double a, double offset, ITraceSink& sink) {
  const CScale& scale = r.m_Scale;
  const int samples = r.GetSampleCount();
  const double slope = window.slope;
  bool lifted = true;
  int lastX = 0;
  bool drawn = false;
  long long i = window.start < 0 ? 0 : window.start;
  for (; i <= window.end; ++i) {
    const int s = static_cast<int>(i);
    if (!r.IsPointValid(s)) continue;
    const int x = SaturatedPixel(static_cast<double>(i - window.start) / slope);
    if (!r.m_bContinuous && s + 1 < samples && r.GetRaw(s) == CRecord::kGapStart && r.GetRaw(s + 1) == CRecord::kGapEnd) {
      sink.Gap((drawn ? lastX : x) + 1);
      lifted = true;
      ++i;
      continue;
    }
    const double v = r.GetPointValue(s);
    const int y = SaturatedPixel((v * a + offset - scale.m_dFirstValue) / scale.m_dValuePerPixel + scale.m_dFirstPixel);
    lastX = x;
    drawn = true;
    if (lifted) {
      sink.Move(x, y);
      lifted = false;
      continue;
    }
    const int clip = r.GetClipCode(s);
    if (clip != 0 && clip == r.GetClipCode(s - 1))
      sink.Move(x, y);
    else
      sink.Line(x, y);
  }
  sink.Finish();
}
