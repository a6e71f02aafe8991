// CAnalyzerChartWnd: the record analyzer's chart. A 16 x 10 grid, every record of the list as a
// trace over the recorder's view window, hatched bands where a record went out of range, the
// records' level lines, the L and R time cursors and draggable thumbs for the cursors and levels;
// a progress bar while the recorder transfers. It reacts only to analyzer notifications and turns
// thumb drags back into notifications. What does not change from frame to frame (the grid and the
// hatched bands drawn before the first trace) is kept in a static layer, rebuilt only when what it
// shows changes (size, view window, zoom, level offsets, records, their ranges); a frame copies it
// into the trace layer and draws the traces over it, and a cursor move redraws only the cursors
// over the trace layer. GUI thread only.
#pragma once

#include <meters/Recorder.h>
#include <meters/analyzer/AnalyzerTrace.h>

#include <core/ChartHelpers.h>
#include <core/Notify.h>

#include <ui/HotItems.h>

#include <platform/afxgdi.h>
#include <platform/afxwin.h>

#include <memory>
#include <utility>
#include <vector>

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
  // kGridAgain rebuilds the static layer even when nothing it shows has changed; a full redraw
  // (kAll) leaves it to the layer to know when it is stale.
  enum DrawFlags : int { kGrid = 1, kTraces = 2, kCursors = 4, kGridAgain = 8, kAll = kGrid | kTraces | kCursors };
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
  // Draws into the target: the static layer (1; rebuilt first with 8 or when stale), traces (2),
  // then level lines and cursors (4) directly on the target, then the thumbs when asked.
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
  // Every record's hatched bands and trace, in record order; bands of records before
  // `bandsFrom` are left out (the static layer holds them).
  void DrawTraces(CDC* dc, bool reduced = true, int bandsFrom = 0);
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
  COffDC m_GridLayer;   // the static layer: grid and the bands of records 0..m_nStaticBands-1
  COffDC m_TraceLayer;  // the static layer with the traces
  // A hatched band as drawn: what the static layer's picture depends on.
  struct Band {
    HPEN pen;
    int kind;
    int top;
    int bottom;
    int edges;
    bool operator==(const Band&) const = default;
  };
  std::vector<Band> m_StaticBands;  // the bands the static layer shows
  int m_nStaticBands = 0;           // records whose bands the static layer holds
  CRect m_rcStatic{0, 0, 0, 0};     // the plot it was drawn for
  bool m_bStaticValid = false;
  TraceLines m_TraceLines;          // the trace lines' buffer, kept between frames
  double m_dProgress = 0.0;
  // The 1-px pens of level and cursor lines by colour, and the progress text's font with its
  // height and character set, kept between frames.
  CPen& ThinPen(COLORREF color);
  std::vector<std::pair<COLORREF, std::unique_ptr<CPen>>> m_ThinPens;
  CFont m_fntProgress;
  int m_nProgressFontHeight = 0;
  BYTE m_nProgressCharSet = 0;
  // The view's mapping of the two cursors for the thumbs: window offsets through the time axis.
  // The static layer up to date; redrawn when its bands or plot changed or it was invalidated.
  void UpdateStaticLayer();
  // The bands record k draws (none when it draws nothing), appended to `out`.
  void CollectBands(int k, std::vector<Band>& out);
  class ViewMap : public IRecorderViewMap {
   public:
    explicit ViewMap(const CRecorder* r) : m_pRecorder(r) {}
    int CursorPixel(double position) const override;
    const CRecorder* m_pRecorder;
  } m_ViewMap;
};
