// The chart's painters, shared by the screen (COscChartWnd::Render) and the printout: limit bands,
// cursor and level lines, saved signals, live traces and the engine speed. They map values with a
// set of axes: the scale object's own on the screen, copies fitted to the grid rectangle on paper,
// so printing never moves the screen's axes.
#pragma once

#include <core/OscScale.h>
#include <core/Scale.h>

#include <platform/afxgdi.h>

#include <vector>

class CSavedSignal;

namespace chartdraw {

// double -> int for pixels: saturates to the int range, NaN gives 0.
int SatInt(double v);

// The visible tick count: shown divisions times ticks per division of the horizontal grid.
int VisibleTickCount();

class Axes {
 public:
  // The scale object's axes as they are.
  static Axes Screen();
  // Copies of the scale object's axes: the time axis over left..right, the vertical axes over
  // bottom..top.
  static Axes Fitted(const RECT& grid);

  const CScale& Time() const { return m_bCopies ? m_time : GetOscScale().m_TimeAxis; }
  // The axis to map with for an element's axis (null stays null; an axis outside the scale
  // object is used as it is).
  const CScale* Map(const CScale* axis) const;

 private:
  bool m_bCopies = false;
  CScale m_time;
  CScale m_vertical[COscScale::AXIS_COUNT];
};

inline Axes ScreenAxes() { return Axes::Screen(); }

// The six segment pens' colours of the segmented engine records; an index past the table keeps
// the last colour.
COLORREF SegmentColor(int index);

// One hatched band as it is drawn: the pen (owned by its trace or saved signal; the handle and
// the colour tell a changed pen apart), the band's rectangle, hatch type and edge bits.
struct LimitBand {
  CPen* pen = nullptr;
  COLORREF colour = 0;
  RECT rect{0, 0, 0, 0};
  int style = 0;
  int edges = 0;
  bool operator==(const LimitBand& o) const {
    return pen == o.pen && pen->GetSafeHandle() == o.pen->GetSafeHandle() && colour == o.colour &&
           rect.left == o.rect.left && rect.top == o.rect.top && rect.right == o.rect.right &&
           rect.bottom == o.rect.bottom && style == o.style && edges == o.edges;
  }
};

// The hatched limit bands of channels A and B and the level bands of the saved signals: what
// they are (Collect), and their drawing (Paint); the screen keeps them on its static layer and
// draws them again only when the list changes.
std::vector<LimitBand> CollectLimitBands(const RECT& area, const Axes* axes);
void PaintLimitBands(CDC* dc, const std::vector<LimitBand>& bands, int step);
void DrawLimitBands(CDC* dc, const RECT& area, int step, const Axes* axes);
// The seven horizontal cursor and level records, then the two time cursors and the trigger
// position, across the client rectangle.
void DrawLines(CDC* dc, const RECT& client);
// One point of a polyline: joined to the point before, or the start of a new piece.
struct LinePoint {
  int x = 0;
  int y = 0;
  bool join = false;
  bool operator==(const LinePoint& o) const { return x == o.x && y == o.y && join == o.join; }
};

// A saved signal's polyline in pixels with the pen it is drawn in: the signal's own pen
// (penWidth 0) or a solid pen of penWidth in its colour.
struct SavedSignalLine {
  const CSavedSignal* signal = nullptr;
  CPen* pen = nullptr;
  COLORREF colour = 0;
  int penWidth = 0;
  std::vector<LinePoint> points;
  bool operator==(const SavedSignalLine& o) const {
    return signal == o.signal && pen == o.pen && (!pen || pen->GetSafeHandle() == o.pen->GetSafeHandle()) &&
           colour == o.colour && penWidth == o.penWidth && points == o.points;
  }
};

// The saved signals' polylines (Collect) and their drawing (Paint); the screen keeps them on a
// layer of their own and strokes them again only when the polylines change.
// penWidth 0: each signal's own pen; else a solid pen of that width in the signal's colour.
// clamp: every y is kept inside area.
std::vector<SavedSignalLine> CollectSavedSignals(const RECT& area, const Axes& axes, int penWidth, bool clamp);
void PaintSavedSignals(CDC* dc, const std::vector<SavedSignalLine>& lines);
void DrawSavedSignals(CDC* dc, const RECT& area, const Axes& axes, int penWidth, bool clamp);
// The live traces of the window firstTick .. tickCount (not positive: 0 and the visible tick
// count). penWidth 0: the screen pens (trace pen, 2-pixel grey and segment pens); else every pen
// that wide.
void DrawTraces(CDC* dc, int firstTick, int tickCount, const Axes& axes, int penWidth);
// "%d RPM" ("--- RPM" without a reading) at the bottom of the rectangle, in the given font.
void DrawEngineSpeed(CDC* dc, const RECT& rect, CFont* font);

}  // namespace chartdraw
