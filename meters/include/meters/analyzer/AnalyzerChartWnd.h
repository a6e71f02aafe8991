// CAnalyzerChartWnd: the record analyzer's chart. A 16 x 10 grid, every record of the list as a
// trace over the recorder's view window, hatched bands where a record went out of range, the
// records' level lines, the L and R time cursors and draggable thumbs for the cursors and levels;
// a progress bar while the recorder transfers. It reacts only to analyzer notifications and turns
// thumb drags back into notifications. Grid and traces are composed in two off-screen layers, so
// a cursor move redraws only the cursor layer over the trace layer. GUI thread only.
#pragma once

#include <meters/Recorder.h>

#include <core/ChartHelpers.h>
#include <core/Notify.h>

#include <ui/HotItems.h>

#include <platform/afxgdi.h>
#include <platform/afxwin.h>

class CRecorder;

// The chart's thumb container: item 0 the L cursor, 1 the R cursor, 2.. one level per record.
class CHICAnalyzerChart : public CHotItemsContainer, public CVisualItemThumb::IDraw {
 public:
  // A thumb with its own brushes and shape (0 up, 1 down, 2 left, 3 right), placed on the side
  // of the same number.
  class CVIChart : public CRecordThumb {
   public:
    CBrush normalBrush;
    CBrush hotBrush;
    COLORREF markerColor = 0;
    int shape = 0;
  };

  CHICAnalyzerChart(CWnd* host, CRecorder* recorder);
  // The container's own drawing (background, then every visible thumb) stays reachable.
  using CHotItemsContainer::Draw;
  // Draws a thumb: the hot brush while hot or pressed, the stock black pen, the arrow shape.
  void Draw(CDC* dc, CVisualItemThumb* thumb) override;
  // Appends a thumb for a marker record.
  void AddThumb(CTraceStyle* marker, COLORREF color, int anchorX, int anchorY, int axis, int cursorResource,
                int shape);

  CRecorder* m_pRecorder;
};

class CAnalyzerChartWnd : public CWnd, public IAnalyzerNotify, public CHotItemsContainer::IClbckHotItemsContainer {
 public:
  static constexpr const char* kClassName = "CAnalyzerChartWnd";
  enum DrawFlags : int { kGrid = 1, kTraces = 2, kCursors = 4, kGridAgain = 8, kAll = 255 };
  enum { kProgressBlue = 0xFF0000 };

  explicit CAnalyzerChartWnd(CRecorder* recorder = nullptr);
  ~CAnalyzerChartWnd() override;

  BOOL Create(LPCSTR name, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  using CWnd::Create;

  void OnAnalyzerNotify(int sender, int code, int value) override;
  // The container's slots: the background during a drag, and the drag rule (always 0).
  void DrawBackground(CDC* dc) override;
  BOOL OnItemMoving(int index, CVisualItemThumb* thumb, ItemMovingData* data, CHotItemsContainer* c) override;

  // Lays out the plot, layers, scales and thumbs for the current client rectangle.
  void Layout();
  // Draws into the target: grid (1), grid again (8), traces (2), then level lines and cursors (4)
  // directly on the target, then the thumbs when asked.
  void Draw(CDC* target, int flags, BOOL items);
  // A full redraw (all layers) or a cursor-layer redraw through a window DC.
  void Redraw(int flags = kAll);
  void PlaceThumbs();
  // Level thumbs of records that cannot be drawn (no usable scale) stay hidden.
  void HideUndrawableThumbs();
  void CreateCursorThumbs();
  void RebuildRecordThumbs();
  // Prints the current view on a printer chosen in the print dialog.
  void Print();
  // The page itself, on a printer DC that has no document yet.
  void PrintOn(CDC* dc);

  // The layers' parts (public for the tests and the benchmark).
  void DrawGrid(CDC* dc);
  void DrawTraces(CDC* dc, bool reduced = true);
  void DrawLevelsAndCursors(CDC* dc);
  void DrawProgress(CDC* dc);

  int OnCreate(LPCREATESTRUCT cs) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnWindowPosChanged(WINDOWPOS* pos) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnCancelMode() override;

  CRecorder* m_pRecorder;
  int m_bLaidOut = 0;
  CBrush m_brDrawArea;
  CRect m_rcPlot;
  CHICAnalyzerChart m_Items;
  CPen m_penGrid;
  CFont m_Font;
  COffDC m_GridLayer;
  COffDC m_TraceLayer;
  double m_dProgress = 0.0;
  // The view's mapping of the two cursors for the thumbs: window offsets through the time axis.
  class ViewMap : public IRecorderViewMap {
   public:
    explicit ViewMap(const CRecorder* r) : m_pRecorder(r) {}
    int CursorPixel(double position) const override;
    const CRecorder* m_pRecorder;
  } m_ViewMap;
};
