// COscChartWnd: the drawing area of the oscilloscope pane. It paints the grid, the live traces of
// channels A and B, the saved signals, hatched limit bands, the cursor and level lines and a
// draggable trigger-level marker, all through off-screen layers: layer 1 background and grid,
// redrawn only on a new size or measure type; the static layer, layer 1 with the limit bands, and
// the saved signals' layer, each drawn again only when what they show changes; layer 2 the static
// layer with the live traces and the saved signals over them; and the screen layer, layer 2 with
// the lines and markers, copied to the window. A record thus strokes only the live traces.
// Every value-to-pixel mapping goes
// through the process-wide COscScale, kept in step with the chart's size. The chart reports a
// dragged trigger level (kTriggerLevelChanged) and a click during recording (kStopRecording); everything else it
// learns through OnSystemNotify. GUI thread only.
#pragma once

#include <scope/ScopeNotify.h>

#include <ui/HotItems.h>

#include <core/ChartHelpers.h>

#include <platform/afxwin.h>

#include <memory>

class CStepScale;
class CTraceStyle;
class COscChartWnd;

// A grid map: tick values 0 .. divisions * ticks over a pixel range.
struct ChartGridMap {
  int m_nReserved = 0;
  double m_dFirstValue = 0.0;
  double m_dLastValue = 0.0;
  int m_nFirstPixel = 0;
  int m_nLastPixel = 0;
  double m_dValuePerPixel = 1.0;
  const CStepScale* m_pGrid = nullptr;

  void Set(const CStepScale& grid, int first, int last);
  int ToPixel(double tick) const;
};

// The trigger-level marker's container: vertical drags only; the level map between the marker's
// pixel and the trigger level steps 255 (top) .. 0 (bottom).
class CHICChart : public CHotItemsContainer {
 public:
  // The marker: a left-pointing thumb in the trigger record's colour.
  class CVIChart : public CVisualItemThumb {
   public:
    ~CVIChart() override;
    void Draw(CDC* dc) override;

    CBrush m_brNormal;
    CBrush m_brHot;
    CTraceStyle* m_pRecord = nullptr;
  };

  explicit CHICChart(COscChartWnd* owner);

  void RecalcRange() override;
  // Each marker becomes the 13 x 12 rectangle at the right edge at its record's pixel, shown by
  // bit 0 of the record.
  void LayoutThumbs();
  // The trigger-level marker (once); its index or -1.
  int CreateTriggerMarker();
  // The drag of a marker to pixel y (slot 1 of the owner callback): a new trigger level is stored
  // and announced (notify::kTriggerLevelChanged); an unchanged one sends nothing. Always 0: the notification's
  // handlers place the marker again.
  BOOL OnMarkerMoving(CVisualItemThumb* thumb, int y);
  // The level of pixel y (rounded, clamped to 0..255).
  int LevelAtPixel(int y) const;

  double m_dLevelTop = 255.0;
  double m_dLevelBottom = 0.0;
  int m_nTopPixel = 0;
  int m_nBottomPixel = 0;
  double m_dLevelsPerPixel = 1.0;
};

class COscChartWnd : public CWnd, public CHotItemsContainer::IClbckHotItemsContainer, public scope::IScopeNotifyTarget {
 public:
  enum { kControlId = 1001 };
  // Render flags.
  enum { kCopyGrid = 1, kComposeTraces = 2, kDrawLines = 4, kAll = 255 };

  COscChartWnd();
  ~COscChartWnd() override;

  // Registers the class "COscChartWnd" once per process and creates the child "OscChartWnd".
  using CWnd::Create;
  BOOL Create(CWnd* parent, const RECT& rect, UINT id = kControlId);

  void Render(CDC* dc, int flags, BOOL markers);
  // Renders through a client DC.
  void Redraw(int flags, BOOL markers);
  void OnSystemNotify(notify::Sender sender, notify::Code code, int param) override;
  void RecalcGridMaps();
  // The print dialog, then the page; nothing when it is cancelled.
  void PrintChart();
  // The page on a printer DC (MM_TEXT, dots); FALSE when the document could not be started.
  BOOL PrintPage(CDC* dc);
  // The page's drawing without the document calls (also for pictures of the page).
  void DrawPrintedPage(CDC* dc);

  // Print painters into the grid rectangle.
  void PrintLimitBands(CDC* dc, int left, int top, int right, int bottom);
  void PrintLevelLines(CDC* dc, int left, int top, int right, int bottom);
  void PrintSavedSignals(CDC* dc, int left, int top, int right, int bottom);
  void PrintTraces(CDC* dc, int left, int top, int right, int bottom);

  // IClbckHotItemsContainer
  void DrawBackground(CDC* dc) override;
  BOOL OnItemMoving(int index, CVisualItemThumb* thumb, ItemMovingData* data, CHotItemsContainer* c) override;

  // The grid maps, the marker container and the drawing rectangle as laid out.
  const ChartGridMap& HorizontalGrid() const { return m_mapH; }
  const ChartGridMap& VerticalGrid() const { return m_mapV; }
  CHICChart& Markers() { return m_container; }
  const CRect& DrawRect() const { return m_rcDraw; }
  // The off-screen layers: 1 background and grid, 2 the composed picture.
  COffDC& Layer(int n) { return n == 1 ? m_layer1 : m_layer2; }
  // Forgets every kept layer: the next render lays the chart out and draws everything again, as
  // after a new size (for comparing a kept picture with one made from scratch).
  void DropCaches();

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnCancelMode() override;

 private:
  void Layout();
  void FillBackground(CDC* dc);
  void DrawGrid(CDC* dc);
  void DrawTexts(CDC* dc);
  void DrawEngineSpeed(CDC* dc, const RECT& client);
  // Layer 2 from the static layer (layer 1 with the limit bands, drawn again only when the bands
  // change).
  void ComposeStatic();
  // The saved signals over layer 2, from their own layer (stroked again only when their
  // polylines change), copied without its key colour.
  void OverlaySavedSignals();

  int m_bInitialized = 0;
  CBrush m_brArea;
  CBrush m_brFrame;
  CRect m_rcClient{0, 0, 0, 0};
  CRect m_rcDraw{0, 0, 0, 0};
  ChartGridMap m_mapH;
  ChartGridMap m_mapV;
  CPen m_penGrid;
  CHICChart m_container;
  CFont m_fontLabel;
  CFont m_fontSmall;
  COffDC m_layer1;
  COffDC m_layer2;
  // Layer 1 with the limit bands, valid for the bands kept.
  COffDC m_layerStatic;
  bool m_bStaticValid = false;
  // The saved signals on the key colour, valid for the polylines kept.
  COffDC m_layerSaved;
  bool m_bSavedValid = false;
  // What the two layers were drawn from (limit bands, saved polylines).
  struct Drawn;
  std::unique_ptr<Drawn> m_pDrawn;
  COLORREF m_crSavedKey = 0;
  // Layer 2 with the cursor and level lines and the markers: what a redraw copies to the window.
  COffDC m_layerScreen;
};

// True when the displayed limits and saved signals are hidden: recording on, taking its samples
// through the recorder, outside roll mode.
bool ChartSignalsHiddenByRecording();
// The kind-2 (trigger-following) record is drawn negated: invert mode 3, 1 with source A or 2
// with source B.
bool TriggerSourceInverted();
