// The chart's painters, shared by the screen (COscChartWnd::Render) and the printout: limit bands,
// cursor and level lines, saved signals, live traces and the engine speed. They map values with a
// set of axes: the scale object's own on the screen, copies fitted to the grid rectangle on paper,
// so printing never moves the screen's axes.
#pragma once

#include <core/OscScale.h>
#include <core/Scale.h>

#include <platform/afxgdi.h>

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

// The hatched limit bands of channels A and B and the level bands of the saved signals.
void DrawLimitBands(CDC* dc, const RECT& area, int step, const Axes* axes);
// The seven horizontal cursor and level records, then the two time cursors and the trigger
// position, across the client rectangle.
void DrawLines(CDC* dc, const RECT& client);
// penWidth 0: each signal's own pen; else a solid pen of that width in the signal's colour.
// clamp: every y is kept inside area.
void DrawSavedSignals(CDC* dc, const RECT& area, const Axes& axes, int penWidth, bool clamp);
// The live traces of the window firstTick .. tickCount (not positive: 0 and the visible tick
// count). penWidth 0: the screen pens (trace pen, 2-pixel grey and segment pens); else every pen
// that wide.
void DrawTraces(CDC* dc, int firstTick, int tickCount, const Axes& axes, int penWidth);
// "%d RPM" ("--- RPM" without a reading) at the bottom of the rectangle, in the given font.
void DrawEngineSpeed(CDC* dc, const RECT& rect, CFont* font);

}  // namespace chartdraw
