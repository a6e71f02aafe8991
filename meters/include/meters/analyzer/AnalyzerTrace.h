// The record analyzer's trace drawing: the walk over the samples of the view window that turns
// one record into pen moves, lines and gap lines, and the column reducer that keeps a redraw from
// costing per sample. The reducer draws, per pixel column, the line that joins it to the column
// before and one vertical line over the pixels that the column's stretch of lines covers, so it
// leaves exactly the pixels the per-sample drawing leaves, thin and wide pens alike. Its lines are
// collected in a buffer kept between redraws, lines wholly outside the DC's clip box dropped and
// vertical ones cut to it first, so Cairo never sees far-away points; lines that join end to start
// go out as one piece through PolylineTo, which leaves the pixels of their LineTo chain.
#pragma once

#include <meters/Recorder.h>

#include <core/ValueArrays.h>

#include <platform/afxgdi.h>

#include <vector>

class CRecord;

// double to int as the chart converts coordinates: values outside the int range (and NaN) give
// INT_MIN instead of undefined behaviour.
int SaturatedPixel(double value);

// Where the walk's operations go.
class ITraceSink {
 public:
  virtual void Move(int x, int y) = 0;
  virtual void Line(int x, int y) = 0;
  // A gap marker: a 2-px dark line over the plot height at x. The pen is lifted after it.
  virtual void Gap(int x) = 0;
  // The end of the walk (flushes what is held back).
  virtual void Finish() {}

 protected:
  ~ITraceSink() = default;
};

// Draws every operation as it comes: the per-sample reference.
class CDirectTraceSink final : public ITraceSink {
 public:
  CDirectTraceSink(CDC* dc, int top, int bottom) : m_pDC(dc), m_nTop(top), m_nBottom(bottom) {}
  void Move(int x, int y) override { m_pDC->MoveTo(x, y); }
  void Line(int x, int y) override { m_pDC->LineTo(x, y); }
  void Gap(int x) override;

 private:
  CDC* m_pDC;
  int m_nTop;
  int m_nBottom;
};

// The lines of one trace, kept by the caller between redraws so that drawing allocates nothing
// per frame: pieces of joined lines, piece k the points from starts[k] up to the next piece's
// start (the last one to the end of `points`).
struct TraceLines {
  std::vector<POINT> points;
  std::vector<size_t> starts;
};

// Reduces each pixel column to the lines that change pixels, then draws them through the DC,
// before each gap line and at the end. The pen selected in the DC must be `penWidth` wide: a thin
// pen (1 or less) leaves out the end point of a line, a wide one does not.
class CColumnTraceSink final : public ITraceSink {
 public:
  // Lines wholly farther than this beyond one edge of the clip box leave no pixel in it with any
  // pen the analyzer uses; vertical lines are cut to it.
  static constexpr int kClipMargin = 256;

  // `lines` (may be null: the sink keeps its own) holds the lines until they are drawn.
  CColumnTraceSink(CDC* dc, int top, int bottom, int penWidth, TraceLines* lines = nullptr);
  void Move(int x, int y) override;
  void Line(int x, int y) override;
  void Gap(int x) override;
  void Finish() override {
    Flush();
    DrawLines();
  }

  // A row of lines to points of one column taken in a tight loop: opened with the line to its
  // first point, each further point added, then closed; the same as one Line per point.
  struct Stretch {
    int first;
    int last;
    int minBefore;
    int maxBefore;
    int lines;
  };
  Stretch OpenStretch(int x, int y) {
    Line(x, y);
    return Stretch{m_nFirst, m_nLast, m_nMinBefore, m_nMaxBefore, m_nLines};
  }
  static void AddToStretch(Stretch& s, int y) {
    if (y == s.last) return;
    if (s.lines == 0) {
      s.minBefore = s.maxBefore = s.first;
    } else {
      if (s.last < s.minBefore) s.minBefore = s.last;
      if (s.last > s.maxBefore) s.maxBefore = s.last;
    }
    s.last = y;
    ++s.lines;
  }
  void CloseStretch(const Stretch& s) {
    m_nLast = s.last;
    m_nMinBefore = s.minBefore;
    m_nMaxBefore = s.maxBefore;
    m_nLines = s.lines;
  }

 private:
  void Flush();
  void Emit(int y);
  // A line of the pen from (m_nPenX, m_nPenY) to (x, y), as LineTo draws it, queued.
  void LineFromPen(int x, int y);
  // A line from (x0, y0) to (x, y) queued, unless it leaves no pixel in the clip box: it goes on
  // the last piece when it starts where that piece ends.
  void Queue(int x0, int y0, int x, int y);
  // Each queued piece with one MoveTo and one PolylineTo; the buffer is emptied.
  void DrawLines();

  CDirectTraceSink m_Direct;
  CDC* m_pDC;
  TraceLines m_Own;
  TraceLines* m_pLines;
  CRect m_rcKeep;        // the clip box widened by kClipMargin
  int m_nPenX = 0;       // where the pen stands
  int m_nPenY = 0;
  bool m_bThin;           // the pen leaves out the end point of a line
  bool m_bHeld = false;    // a stretch is held for column m_nX
  bool m_bFromMove = true;  // its first point was reached by a move
  int m_nX = 0;
  int m_nFirst = 0;
  int m_nLast = 0;
  int m_nMinBefore = 0;  // extremes of the stretch's points before the last one
  int m_nMaxBefore = 0;
  int m_nLines = 0;
};

// Most samples land here: one more point of the column's stretch.
inline void CColumnTraceSink::Line(int x, int y) {
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

// The scale a record is drawn against on screen: usable when its per-division value is a finite
// non-zero number and its pixels per value are finite.
bool RecordIsDrawable(const CRecord& record);

// The walk over window samples start..end of one record with amplitude step a and level offset:
// invalid samples draw nothing and keep the pen; a gap marker of a segmented record is a gap line
// one pixel right of the last x and lifts the pen; two neighbouring samples both over (or both
// under) range are not joined. x = (i - start) / slope (truncated), y from the record's scale.
void WalkTrace(const CRecord& record, const RecorderViewWindow& window, double amplitude, double levelOffset,
               ITraceSink& sink);
// The same walk straight into the two drawing sinks (no virtual call per sample).
void WalkTrace(const CRecord& record, const RecorderViewWindow& window, double amplitude, double levelOffset,
               CColumnTraceSink& sink);
void WalkTrace(const CRecord& record, const RecorderViewWindow& window, double amplitude, double levelOffset,
               CDirectTraceSink& sink);

// Where a sample lands on y, given its shown value (value x amplitude step + level offset): the
// print maps values to its own page scale through this, the screen uses the record's scale.
class ITraceYMap {
 public:
  virtual int Pixel(double shown) const = 0;

 protected:
  ~ITraceYMap() = default;
};
// The same walk with y from `yMap` instead of the record's scale.
void WalkTrace(const CRecord& record, const RecorderViewWindow& window, double amplitude, double levelOffset,
               const ITraceYMap& yMap, ITraceSink& sink);

// Reads a ring's samples in logical order (oldest first) without a bounds check per sample;
// callers keep i in 0..count-1.
class RingReader {
 public:
  explicit RingReader(const CNxRoundShortIntArray& ring)
      : m_pSlots(ring.GetSlots()), m_nCount(ring.GetCount()), m_nWrite(ring.GetWriteIndex()) {}
  int Count() const { return m_nCount; }
  SHORT operator[](int i) const {
    int slot = m_nWrite + i;
    if (slot >= m_nCount) slot -= m_nCount;
    return m_pSlots[slot];
  }

 private:
  const SHORT* m_pSlots;
  int m_nCount;
  int m_nWrite;
};
