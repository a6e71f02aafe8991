// What start-up loads and the screen layout shared by the main window, the toolkit and the scope:
// the main client rectangle, the shared mouse cursors, the zoom type and the layout of the scope's
// areas from the window proportions.
#pragma once

#include <core/LinearMap.h>

#include <platform/afx.h>
#include <platform/geometry.h>
#include <platform/window.h>

// The screen areas LayoutScreenArea computes, by the window that sits in each: the main window's
// tab strip and pane rectangle, and the scope pane's children. The values are the area numbers
// the layout formulas refer to each other by.
enum class ScreenArea : int {
  Chart = 0,
  TopStrip = 1,        // status strip "Top", under the text strip
  BottomStrip = 2,     // status strip "Bottom", under the chart
  TimeRuler = 3,       // under the top strip
  ControlPanel = 4,    // right of the chart
  MeasuresStrip = 5,   // status strip "Measures", under the bottom strip
  LevelRuler = 6,      // the level-marker ruler left of the chart
  CursorPanel = 7,     // where the measures strip is, a little taller
  TabStrip = 8,        // the main window's tab strip along the top
  PaneArea = 9,        // the main window's panes, under the tab strip
  TextStrip = 10,      // status strip "Text" at the top of the pane
  MinimizePanel = 11,  // the undocked control panel's handle at the right edge
  SavedCD = 12,        // saved-scope strips under the measures strip
  SavedEF = 13,
  ManualButton = 14,   // top left corner
};

class CResourceHolder {
 public:
  enum { CURSOR_COUNT = 6 };
  // Cursor resources in the holder's order.
  static constexpr int kCursorIds[CURSOR_COUNT] = {145, 143, 144, 146, 187, 191};

  CRect m_rcClient;
  HCURSOR m_hCursors[CURSOR_COUNT] = {};
  int m_nZoomType = 0;
  CString m_strText1;
  CString m_strText2;
  int m_bNarrowChart = 1;  // the control panel is docked beside the chart

  // Loads the six cursors; 1.
  int LoadResources();
  // The cursor of a resource id, 0 when not one of the six.
  HCURSOR GetCursor(int resourceId) const;
  // A screen area from the client rectangle; a value outside the enumeration leaves rect unchanged.
  void LayoutScreenArea(ScreenArea area, RECT& rect) const;
  // Zoom factor 2, 5, 10 or 1 for type 0..3 applied to the divisor base; 0 for any other type.
  int SetZoomFactor(int type);
};

CResourceHolder& GetResourceHolder();
inline void LayoutScreenArea(ScreenArea area, RECT& rect) { GetResourceHolder().LayoutScreenArea(area, rect); }

// Copies the source rectangle unless both are equal.
void CopyRectIfDifferent(RECT& target, const RECT& source);

// The record the scope's cursor code keeps its scales in.
struct CursorScaleRecord {
  int m_nValue1 = 0;
  int m_nValue2 = 0;
  int m_nValue3 = 0;
  CLinearMap m_Map1;
  int m_nValue4 = 0;
  int m_nValue5 = 0;
  int m_nValue6 = 0;
  CLinearMap m_Map2;
};
CursorScaleRecord& GetCursorScaleRecord();
