#include <meters/analyzer/AnalyzerChartWnd.h>

#include <meters/Record.h>
#include <meters/analyzer/AnalyzerCommon.h>
#include <meters/analyzer/AnalyzerTrace.h>

#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/MemDC.h>
#include <core/NumberFormat.h>
#include <core/Scale.h>
#include <core/TextIds.h>

#include <platform/dcscope.h>

#include <cmath>

using namespace analyzer;

namespace {

constexpr COLORREF kLayerBackground = 0xFFFFFF;

double AmplitudeOf(const CRecorder& rec, int k) { return k < 4 ? rec.m_View.m_nAmplitudeStep[k] : 1.0; }
double OffsetOf(const CRecorder& rec, int k) { return k < 4 ? rec.m_View.m_dLevelOffset[k] : 0.0; }
bool HasData(const CRecord& r) { return r.GetPointCount() > 0 && r.GetSampleCount() > 0; }

}  // namespace

// ------------------------------------------------------------------------------------------------
// CHICAnalyzerChart

CHICAnalyzerChart::CHICAnalyzerChart(CWnd* host, CRecorder* recorder) : CHotItemsContainer(host), m_pRecorder(recorder) {
  flags |= kPerItemAxis;
}

void CHICAnalyzerChart::AddThumb(CTraceStyle* marker, COLORREF color, int anchorX, int anchorY, int axis,
                                 int cursorResource, int shape) {
  auto* t = new CVIChart;
  t->record = marker;
  t->side = shape;
  t->shape = shape;
  t->markerColor = color;
  t->normalBrush.CreateSolidBrush(color);
  t->hotBrush.CreateSolidBrush(AdjustColor(color, 100));
  t->brush = &t->normalBrush;
  t->pressedBrush = &t->hotBrush;
  t->anchorX = anchorX;
  t->anchorY = anchorY;
  t->axis = axis;
  t->cursor = AnalyzerCursor(cursorResource);
  t->painter = this;
  t->Show(marker && (marker->m_nFlags & 1));
  if (AddItem(t) < 0) delete t;
}

void CHICAnalyzerChart::Draw(CDC* dc, CVisualItemThumb* thumb) {
  auto* t = dynamic_cast<CVIChart*>(thumb);
  if (!t || !t->IsVisible()) return;
  CBrush* brush = (t->state == 1 || t->state == 2) ? &t->hotBrush : &t->normalBrush;
  {
    kvp::DcSelect selected(dc, brush);
    dc->SelectStockObject(BLACK_PEN);
    const RECT& r = t->rect;
    DrawThumbShape(t->shape, r.left, r.top, r.right, r.bottom, dc);
  }
  dc->SelectStockObject(NULL_PEN);
}

// ------------------------------------------------------------------------------------------------
// CAnalyzerChartWnd

CAnalyzerChartWnd::CAnalyzerChartWnd(CRecorder* recorder)
    : m_pRecorder(recorder ? recorder : &GetRecorder()),
      m_Items(this, m_pRecorder),
      m_ViewMap(m_pRecorder) {
  EnsureWindowClass(kClassName, CS_DBLCLKS, 145);
  m_Items.hostClbck = this;
}

CAnalyzerChartWnd::~CAnalyzerChartWnd() = default;

BOOL CAnalyzerChartWnd::Create(LPCSTR name, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(kClassName, name, style, rect, parent, id);
}

int CAnalyzerChartWnd::ViewMap::CursorPixel(double position) const {
  return m_pRecorder->CursorPixel(position - m_pRecorder->GetViewWindow().start);
}

int CAnalyzerChartWnd::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  m_GridLayer.Create(this, kLayerBackground);
  m_TraceLayer.Create(this, kLayerBackground);
  return 0;
}

BOOL CAnalyzerChartWnd::OnEraseBkgnd(CDC*) { return TRUE; }

void CAnalyzerChartWnd::OnWindowPosChanged(WINDOWPOS* pos) {
  CWnd::OnWindowPosChanged(pos);
  CRect rc;
  GetClientRect(&rc);
  if (rc != m_rcPlot) Layout();
}

void CAnalyzerChartWnd::OnPaint() {
  CPaintDC dc(this);
  CMemDC mem(&dc);
  Draw(&mem, kAll, TRUE);
}

void CAnalyzerChartWnd::Layout() {
  CRect rc;
  GetClientRect(&rc);
  m_rcPlot = rc;
  m_GridLayer.Resize(rc);
  m_TraceLayer.Resize(rc);
  // Every record's scale follows the plot height.
  SetRecordChartHeight(rc.Height());
  CRecordList& list = GetRecordList();
  for (int k = 0; k < list.GetSize(); ++k) list[k]->SetScale(rc.Height());
  m_Items.bounds = m_rcPlot;
  m_Items.RecalcRange();
  PlaceThumbs();
  m_bStaticValid = false;
  m_bLaidOut = 1;
}

void CAnalyzerChartWnd::DrawGrid(CDC* dc) {
  if (!m_brDrawArea.GetSafeHandle()) m_brDrawArea.CreateSolidBrush(GetSchemeColor(24));
  if (!m_penGrid.GetSafeHandle()) m_penGrid.CreatePen(PS_SOLID, 1, GetSchemeColor(28));
  const CRect& p = m_rcPlot;
  dc->FillRect(&p, &m_brDrawArea);
  kvp::DcSelect pen(dc, &m_penGrid);
  for (int k = 1; k <= 15; ++k) {
    const int x = p.left + k * (p.right - p.left) / 16;
    dc->MoveTo(x, p.top);
    dc->LineTo(x, p.bottom);
  }
  for (int k = 1; k <= 9; ++k) {
    const int y = p.top + k * (p.bottom - p.top) / 10;
    dc->MoveTo(p.left, y);
    dc->LineTo(p.right, y);
  }
}

void CAnalyzerChartWnd::CollectBands(int k, std::vector<Band>& out) {
  CRecorder& rec = *m_pRecorder;
  CRecord& r = *GetRecordList()[k];
  if (!HasData(r) || !RecordIsDrawable(r)) return;
  // Out-of-range bands, from the window's statistics.
  const RecordWindowStats stats = rec.GetWindowStats(k);
  if (!stats.over && !stats.under) return;
  const double a = AmplitudeOf(rec, k);
  const double offset = OffsetOf(rec, k);
  if (!r.m_hPen2) r.m_hPen2 = CreatePen(PS_SOLID, 1, r.m_crColor2);
  if (stats.over) {
    const double m = stats.max * a + offset;
    if (IsValueInScaleRange(r.m_Scale, m))
      out.push_back(Band{r.m_hPen2, r.GetPatternKind(), m_rcPlot.top, r.m_Scale.ValueToPixel(m), 8});
  }
  if (stats.under) {
    const double m = stats.min * a + offset;
    if (IsValueInScaleRange(r.m_Scale, m))
      out.push_back(Band{r.m_hPen2, r.GetPatternKind(), r.m_Scale.ValueToPixel(m), m_rcPlot.bottom, 2});
  }
}

namespace {
void DrawBands(CDC* dc, const CRect& plot, const std::vector<CAnalyzerChartWnd::Band>& bands) {
  for (const CAnalyzerChartWnd::Band& b : bands) {
    kvp::DcSelect pen(dc->GetSafeHdc(), b.pen);
    DrawLinePattern(dc, plot.left, b.top, plot.right, b.bottom, b.kind, b.edges, 15);
  }
}
}  // namespace

void CAnalyzerChartWnd::UpdateStaticLayer() {
  m_pRecorder->UpdateTimeAxis(m_rcPlot.Width());
  // The layer holds the bands of the records up to the first that draws a trace: later bands
  // cover earlier traces, so they are drawn with the traces.
  CRecordList& list = GetRecordList();
  int bandRecords = 0;
  std::vector<Band> bands;
  while (bandRecords < list.GetSize()) {
    CRecord& r = *list[bandRecords];
    CollectBands(bandRecords, bands);
    ++bandRecords;
    if (HasData(r) && RecordIsDrawable(r)) break;
  }
  if (m_bStaticValid && bandRecords == m_nStaticBands && bands == m_StaticBands && m_rcStatic == m_rcPlot) return;
  DrawGrid(&m_GridLayer);
  DrawBands(&m_GridLayer, m_rcPlot, bands);
  m_StaticBands = std::move(bands);
  m_nStaticBands = bandRecords;
  m_rcStatic = m_rcPlot;
  m_bStaticValid = true;
}

void CAnalyzerChartWnd::DrawTraces(CDC* dc, bool reduced, int bandsFrom) {
  CRecorder& rec = *m_pRecorder;
  rec.UpdateTimeAxis(m_rcPlot.Width());
  const RecorderViewWindow window = rec.GetViewWindow();
  CRecordList& list = GetRecordList();
  std::vector<Band> bands;
  for (int k = 0; k < list.GetSize(); ++k) {
    CRecord& r = *list[k];
    if (!HasData(r) || !RecordIsDrawable(r)) continue;
    const double a = AmplitudeOf(rec, k);
    const double offset = OffsetOf(rec, k);
    if (k >= bandsFrom) {
      bands.clear();
      CollectBands(k, bands);
      DrawBands(dc, m_rcPlot, bands);
    }
    if (!r.m_hPen) r.m_hPen = CreatePen(PS_SOLID, r.GetTraceWidth(), r.m_crColor);
    kvp::DcSelect pen(dc->GetSafeHdc(), r.m_hPen);
    if (reduced) {
      CColumnTraceSink sink(dc, m_rcPlot.top, m_rcPlot.bottom, r.GetTraceWidth(), &m_TraceLines);
      WalkTrace(r, window, a, offset, sink);
    } else {
      CDirectTraceSink sink(dc, m_rcPlot.top, m_rcPlot.bottom);
      WalkTrace(r, window, a, offset, sink);
    }
  }
}

CPen& CAnalyzerChartWnd::ThinPen(COLORREF color) {
  for (auto& [c, pen] : m_ThinPens)
    if (c == color) return *pen;
  // A handful of colours are in use at a time; a scheme change starts the set anew.
  if (m_ThinPens.size() >= 16) m_ThinPens.clear();
  m_ThinPens.emplace_back(color, std::make_unique<CPen>(PS_SOLID, 1, color));
  return *m_ThinPens.back().second;
}

void CAnalyzerChartWnd::DrawLevelsAndCursors(CDC* dc) {
  CRecorder& rec = *m_pRecorder;
  const CRect& p = m_rcPlot;
  CRecordList& list = GetRecordList();
  for (int k = 0; k < list.GetSize(); ++k) {
    CRecord& r = *list[k];
    const CTraceStyle& level = r.m_Level;
    if (!(level.m_nFlags & 1) || !level.m_pScale || !RecordIsDrawable(r)) continue;
    if (!IsValueInScaleRange(*level.m_pScale, level.m_dValue)) continue;
    const int y = level.m_pScale->ValueToPixel(level.m_dValue);
    kvp::DcSelect selected(dc, &ThinPen(level.m_crColor));
    dc->MoveTo(p.left, y);
    dc->LineTo(p.right, y);
  }
  if (list.IsEmpty()) return;
  rec.UpdateTimeAxis(p.Width());
  const RecorderViewWindow window = rec.GetViewWindow();
  for (const CursorRecord& c : rec.m_Cursors) {
    if (!(c.m_nFlags & 1)) continue;
    const double s = c.m_dValue;
    if (s < window.start || s > window.end) continue;
    const int x = rec.CursorPixel(s - window.start) + p.left;
    kvp::DcSelect selected(dc, &ThinPen(c.m_crColor));
    dc->MoveTo(x, p.top);
    dc->LineTo(x, p.bottom);
  }
}

void CAnalyzerChartWnd::DrawProgress(CDC* dc) {
  CRect client;
  GetClientRect(&client);
  const int W = client.Width();
  const int H = client.Height();
  const BYTE charSet = GetGlobalProps().GetCharSet();
  if (!m_fntProgress.GetSafeHandle() || m_nProgressFontHeight != W / 25 || m_nProgressCharSet != charSet) {
    m_fntProgress.DeleteObject();
    m_fntProgress.CreateFont(W / 25, 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
    m_nProgressFontHeight = W / 25;
    m_nProgressCharSet = charSet;
  }
  kvp::DcSelect selectedFont(dc, &m_fntProgress);
  CRect bar = client;
  bar.InflateRect(-20, -((H / 20) * 9 + H / 60));
  CRect inner = bar;
  inner.InflateRect(-3, -3);
  CRect filled = inner;
  filled.right = filled.left + static_cast<int>(inner.Width() * m_dProgress / 100.0);
  {
    CBrush white(0xFFFFFF);
    CBrush blue(kProgressBlue);
    CPen bluePen(PS_SOLID, 1, kProgressBlue);
    kvp::DcSelect brush(dc, &white);
    dc->Rectangle(&bar);
    if (filled.right > filled.left) {
      brush.Select(&blue);
      kvp::DcSelect pen(dc, &bluePen);
      dc->Rectangle(&filled);
    }
  }
  dc->DrawEdge(&bar, EDGE_SUNKEN, BF_RECT);
  const CString text = GetGlobalProps().GetText(kTextDataTransfer);
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(0x000000);
  CRect tr = client;
  dc->DrawText(text, &tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (filled.right > filled.left) {
    // The same text in white where the bar is filled.
    kvp::DcState saved(dc);
    dc->IntersectClipRect(&filled);
    dc->SetTextColor(0xFFFFFF);
    tr = client;
    dc->DrawText(text, &tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}

void CAnalyzerChartWnd::Draw(CDC* target, int flags, BOOL items) {
  if (!m_bLaidOut) Layout();
  if (m_pRecorder->IsTransferring()) {
    // The bare grid under the progress bar.
    if (m_GridLayer.IsValid() && m_TraceLayer.IsValid()) DrawGrid(&m_TraceLayer);
    if (m_TraceLayer.IsValid()) {
      DrawProgress(&m_TraceLayer);
      m_TraceLayer.BlitTo(target);
    } else {
      DrawProgress(target);
    }
    return;
  }
  if (m_TraceLayer.IsValid()) {
    int bandsFrom = 0;
    if (flags & kGridAgain) m_bStaticValid = false;
    if (flags & (kGrid | kGridAgain)) {
      if (m_GridLayer.IsValid()) {
        UpdateStaticLayer();
        m_GridLayer.BlitTo(&m_TraceLayer);
        bandsFrom = m_nStaticBands;
      } else {
        DrawGrid(&m_TraceLayer);
      }
    }
    if (flags & kTraces) DrawTraces(&m_TraceLayer, true, bandsFrom);
    m_TraceLayer.BlitTo(target);
  } else {
    // Without layers everything goes straight onto the target.
    DrawGrid(target);
    if (flags & kTraces) DrawTraces(target);
  }
  if (flags & kCursors) DrawLevelsAndCursors(target);
  if (items) {
    m_Items.ApplyItemState();
    HideUndrawableThumbs();
    m_Items.Draw(target, FALSE);
  }
}

void CAnalyzerChartWnd::Redraw(int flags) {
  if (!GetSafeHwnd()) return;
  CClientDC dc(this);
  CMemDC mem(&dc);
  Draw(&mem, flags, TRUE);
}

void CAnalyzerChartWnd::HideUndrawableThumbs() {
  // A record without a usable scale has no level thumb.
  CRecordList& list = GetRecordList();
  for (int i = 2; i < m_Items.GetCount(); ++i) {
    const int k = i - 2;
    if (k >= list.GetSize() || !RecordIsDrawable(*list[k])) m_Items.GetItem(i)->Show(FALSE);
  }
}

void CAnalyzerChartWnd::PlaceThumbs() {
  m_pRecorder->UpdateTimeAxis(m_rcPlot.Width());
  m_Items.bounds = m_rcPlot;
  m_Items.PlaceThumbs(&m_ViewMap);
  HideUndrawableThumbs();
}

void CAnalyzerChartWnd::CreateCursorThumbs() {
  if (m_Items.GetCount() >= 2) return;
  m_Items.RemoveAll();
  for (CursorRecord& c : m_pRecorder->m_Cursors) m_Items.AddThumb(&c, c.m_crColor, 6, 6, 1, 143, 1);
}

void CAnalyzerChartWnd::RebuildRecordThumbs() {
  m_Items.RemoveExtraItems();
  CRecordList& list = GetRecordList();
  for (int k = 0; k < list.GetSize(); ++k) {
    CRecord& r = *list[k];
    m_Items.AddThumb(&r.m_Level, r.m_Level.m_crColor, 0, 6, 2, 144, 3);
  }
}

void CAnalyzerChartWnd::DrawBackground(CDC* dc) { Draw(dc, kAll, FALSE); }

BOOL CAnalyzerChartWnd::OnItemMoving(int index, CVisualItemThumb*, ItemMovingData* data, CHotItemsContainer*) {
  CRecorder& rec = *m_pRecorder;
  if (index == 0 || index == 1) {
    rec.UpdateTimeAxis(m_rcPlot.Width());
    const RecorderViewWindow window = rec.GetViewWindow();
    const double sample = std::trunc((data->x - m_rcPlot.left) * window.slope) + window.start;
    const int s = SaturatedPixel(sample);
    rec.m_Cursors[index].m_dValue = s;
    Notify(kFromChartCursor, index == 0 ? kCursorL : kCursorR, s);
    return FALSE;
  }
  const int k = index - 2;
  CRecordList& list = GetRecordList();
  if (k < 0 || k >= list.GetSize()) return FALSE;
  CRecord& r = *list[k];
  if (r.m_Level.m_pScale) r.m_Level.m_dValue = r.m_Level.m_pScale->PixelToValue(data->y);
  if (k < 4) rec.m_View.m_dLevelOffset[k] = r.m_Scale.PixelToValue(data->y);
  Notify(kFromMain, kLevelMoved, 0);
  return FALSE;
}

void CAnalyzerChartWnd::OnLButtonDown(UINT flags, CPoint point) {
  if (!m_Items.OnLButtonDown(point)) CWnd::OnLButtonDown(flags, point);
}

void CAnalyzerChartWnd::OnLButtonUp(UINT flags, CPoint point) {
  if (!m_Items.OnLButtonUp(point)) CWnd::OnLButtonUp(flags, point);
}

void CAnalyzerChartWnd::OnMouseMove(UINT flags, CPoint point) {
  if (!m_Items.OnMouseMove(point)) CWnd::OnMouseMove(flags, point);
}

void CAnalyzerChartWnd::OnCancelMode() {
  m_Items.OnCancelMode();
  m_Items.active = -1;
  m_Items.mode = 0;
  m_Items.dragging = FALSE;
}

void CAnalyzerChartWnd::OnAnalyzerNotify(int sender, int code, int value) {
  if (sender == kFromChartId) return;
  switch (code) {
    case kInit:
      CreateCursorThumbs();
      break;
    case kTimeLineMoved:
    case kAZoomAChanged:
    case kAZoomBChanged:
    case kStepNext:
    case kStepBack:
    case kToStart:
    case kToEnd:
    case kPlayTick:
    case kPlaySpeed:
      if (!m_pRecorder->m_bCursorsHidden) PlaceThumbs();
      Redraw();
      break;
    case kNewData: {
      RebuildRecordThumbs();
      CRecordList& list = GetRecordList();
      for (int k = 0; k < list.GetSize(); ++k) list[k]->SetScale(m_rcPlot.Height());
      m_Items.bounds = m_rcPlot;
      m_Items.RecalcRange();
      PlaceThumbs();
      Redraw();
      break;
    }
    case kLevelMoved:
    case kHZoomChanged:
      PlaceThumbs();
      Redraw();
      break;
    case kProgress:
      m_dProgress = value;
      Redraw();
      break;
    case kDataReplaced:
      m_dProgress = 0.0;
      break;
    case kPrint:
      Print();
      break;
    case kRecordsDeleted:
      m_Items.RemoveExtraItems();
      break;
    case kCursorL:
    case kCursorR:
    case kCursorsShown:
      PlaceThumbs();
      Redraw(kCursors);
      break;
    default:
      break;
  }
}
