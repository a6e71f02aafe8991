#include <scope/chart/OscChartWnd.h>

#include "ChartDraw.h"

#include <scope/ScopeState.h>

#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/MemDC.h>
#include <core/MotortesterData.h>
#include <core/Notify.h>
#include <core/NumberFormat.h>
#include <core/OscScale.h>
#include <core/ResourceHolder.h>
#include <core/SavedScope.h>
#include <core/TextIds.h>
#include <core/Texts.h>
#include <core/ValueText.h>

#include <platform/dcscope.h>

#include <cmath>
#include <initializer_list>
#include <stdexcept>

using chartdraw::SatInt;

namespace {

constexpr char kClassName[] = "COscChartWnd";
constexpr DWORD kChartStyle = 0x46000000;  // child, clip siblings and children; the pane shows it

bool OneOf(notify::Code code, std::initializer_list<notify::Code> codes) {
  for (notify::Code c : codes) {
    if (c == code) return true;
  }
  return false;
}

HCURSOR ChartCursor() { return GetResourceHolder().m_hCursors[0]; }

}  // namespace

bool ChartSignalsHiddenByRecording() {
  const scope::ScopeState& s = scope::GetScopeState();
  return s.ScopeRecording.load() != 0 && s.RecordingThroughRecorder.load() != 0 &&
         GetGlobalProps().m_nSlowRateModifier == 0;
}

bool TriggerSourceInverted() {
  const int mode = scope::GetScopeState().InvertState.load();
  const int source = GetGlobalProps().m_nTriggerChannel;
  return mode == 3 || (mode == 1 && source == 0) || (mode == 2 && source == 1);
}

// ------------------------------------------------------------------------------------------------
// Grid maps

void ChartGridMap::Set(const CStepScale& grid, int first, int last) {
  m_pGrid = &grid;
  m_dFirstValue = 0.0;
  m_dLastValue = static_cast<double>(grid.m_nCurrentStep) * grid.m_nTicks;
  m_nFirstPixel = first;
  m_nLastPixel = last;
  m_dValuePerPixel = first == last ? 1.0 : (m_dLastValue - m_dFirstValue) / (last - first);
}

int ChartGridMap::ToPixel(double tick) const {
  if (m_dValuePerPixel == 0.0) return m_nFirstPixel;
  return SatInt((tick - m_dFirstValue) / m_dValuePerPixel + m_nFirstPixel);
}

// ------------------------------------------------------------------------------------------------
// The trigger-level marker

CHICChart::CVIChart::~CVIChart() = default;

void CHICChart::CVIChart::Draw(CDC* dc) {
  if (!IsVisible()) return;
  CBrush* fill = state == 2 ? &m_brHot : &m_brNormal;
  kvp::DcSelect brush(dc, fill);
  dc->SelectStockObject(BLACK_PEN);
  DrawThumbShape(2, rect.left, rect.top, rect.right, rect.bottom, dc);
  dc->SelectStockObject(NULL_PEN);
}

CHICChart::CHICChart(COscChartWnd* owner) : CHotItemsContainer(owner) {
  flags = kVertical;
  hostClbck = owner;
}

void CHICChart::RecalcRange() {
  const GlobalProps& props = GetGlobalProps();
  const int h = bounds.bottom - bounds.top;
  const CChannelProps* channel = props.GetChannel(props.m_nTriggerChannel);
  const int c = channel && channel->m_nPosition >= 0 ? channel->m_nPosition : 50;
  const double f = channel ? channel->m_Ranges.m_dScale : 1.0;
  const int e = SatInt((h / 10) * (16.0 * f - 10.0) / 2.0);
  const int s = (h / 100) * (50 - c);
  m_nTopPixel = bounds.top - e - s + 1;
  m_nBottomPixel = bounds.bottom + e - s + 1;
  m_dLevelsPerPixel = m_nBottomPixel == m_nTopPixel ? 1.0 : -255.0 / (m_nBottomPixel - m_nTopPixel);
}

void CHICChart::LayoutThumbs() {
  const bool inverted = TriggerSourceInverted();
  for (int i = 0; i < GetCount(); ++i) {
    auto* item = dynamic_cast<CVIChart*>(GetItem(i));
    if (!item || !item->m_pRecord) continue;
    const CTraceStyle& record = *item->m_pRecord;
    double value = record.m_dValue;
    if (record.Kind() == 2 && inverted) value = -value;
    const int y = record.m_pScale ? record.m_pScale->ValueToPixel(value) : 0;
    item->SetRect(bounds.right - 13, y - 6, bounds.right, y + 6);
    item->Show(record.IsShown());
  }
}

int CHICChart::CreateTriggerMarker() {
  for (int i = 0; i < GetCount(); ++i) {
    if (dynamic_cast<CVIChart*>(GetItem(i))) return i;
  }
  CTraceStyle& record = GetGlobalProps().m_Styles[GlobalProps::STYLE_TRIGGER_LEVEL];
  auto* item = new CVIChart;
  item->SetRect(0, -6, 0, 6);
  item->m_brNormal.CreateSolidBrush(record.m_crColor);
  item->m_brHot.CreateSolidBrush(AdjustColor(record.m_crColor, 100));
  item->m_pRecord = &record;
  item->clbck = this;
  item->SetCursor(ChartCursor());
  item->anchorY = 6;  // a drag follows the marker's centre line
  item->Show(record.IsShown());
  return AddItem(item);
}

int CHICChart::LevelAtPixel(int y) const {
  double level;
  if (TriggerSourceInverted()) {
    const int span = m_nBottomPixel - m_nTopPixel;
    level = span == 0 ? 0.0 : 255.0 * (y - m_nTopPixel) / span;
  } else {
    level = (y - m_nTopPixel) * m_dLevelsPerPixel + 255.0;
  }
  level = std::trunc(level + 0.5);
  if (!(level > 0.0)) return 0;  // NaN too
  if (level > 255.0) return 255;
  return static_cast<int>(level);
}

BOOL CHICChart::OnMarkerMoving(CVisualItemThumb* thumb, int y) {
  auto* item = dynamic_cast<CVIChart*>(thumb);
  if (!item || !item->m_pRecord || item->m_pRecord->Kind() != 2) return FALSE;
  GlobalProps& props = GetGlobalProps();
  const int level = LevelAtPixel(y);
  if (level != props.m_nTriggerLevel) {
    props.SetTriggerLevelIndex(level);
    NotifySystem(notify::kFromAnyone, notify::kTriggerLevelChanged);
  }
  return FALSE;
}

// ------------------------------------------------------------------------------------------------
// The chart window

struct COscChartWnd::Drawn {
  std::vector<chartdraw::LimitBand> bands;
  std::vector<chartdraw::SavedSignalLine> savedLines;
};

COscChartWnd::COscChartWnd() : m_container(this), m_pDrawn(std::make_unique<Drawn>()) {}

COscChartWnd::~COscChartWnd() {
  if (GetSafeHwnd()) DestroyWindow();
}

BOOL COscChartWnd::Create(CWnd* parent, const RECT& rect, UINT id) {
  WNDCLASS known{};
  if (!GetClassInfo(AfxGetInstanceHandle(), kClassName, &known)) {
    WNDCLASS wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = ChartCursor();
    wc.lpszClassName = kClassName;
    if (!AfxRegisterClass(&wc) && !GetClassInfo(AfxGetInstanceHandle(), kClassName, &known))
      throw std::runtime_error("cannot register the window class COscChartWnd");
  }
  return CWnd::Create(kClassName, "OscChartWnd", kChartStyle, rect, parent, id);
}

int COscChartWnd::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  m_bInitialized = 0;
  m_rcClient.SetRectEmpty();
  m_layer1.Create(this, 0xFFFFFF);
  m_layer2.Create(this, 0xFFFFFF);
  m_layerStatic.Create(this, 0xFFFFFF);
  m_layerSaved.Create(this, 0xFFFFFF);
  m_layerScreen.Create(this, 0xFFFFFF);
  return 0;
}

BOOL COscChartWnd::OnEraseBkgnd(CDC*) { return TRUE; }

void COscChartWnd::OnPaint() {
  CPaintDC dc(this);
  CMemDC mem(&dc);
  Render(&mem, kAll, TRUE);
}

void COscChartWnd::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  m_bInitialized = 0;  // the next render takes the new client size
}

void COscChartWnd::OnLButtonDown(UINT, CPoint point) {
  if (scope::GetScopeState().ScopeRecording.load()) {
    // A click stops the recording (the control panel answers the request).
    NotifySystem(notify::kFromChart, notify::kStopRecording);
    return;
  }
  m_container.OnLButtonDown(point);
}

void COscChartWnd::OnLButtonUp(UINT, CPoint point) { m_container.OnLButtonUp(point); }
void COscChartWnd::OnMouseMove(UINT, CPoint point) { m_container.OnMouseMove(point); }

void COscChartWnd::OnCancelMode() {
  CWnd::OnCancelMode();
  m_container.OnCancelMode();
  if (::GetCapture() == GetSafeHwnd()) ::ReleaseCapture();
  m_container.active = -1;
  m_container.mode = 0;
  m_container.dragging = FALSE;
}

void COscChartWnd::DrawBackground(CDC* dc) { Render(dc, 0, FALSE); }

BOOL COscChartWnd::OnItemMoving(int, CVisualItemThumb* thumb, ItemMovingData* data, CHotItemsContainer*) {
  return data ? m_container.OnMarkerMoving(thumb, data->y) : FALSE;
}

void COscChartWnd::Redraw(int flags, BOOL markers) {
  if (!GetSafeHwnd()) return;
  CClientDC dc(this);
  // The picture is put together on the kept screen layer and reaches the window in one copy.
  if (m_bInitialized && m_layerScreen.IsValid() && m_layerScreen.ClientRect() == m_rcClient) {
    Render(&m_layerScreen, flags, markers);
    m_layerScreen.BlitTo(&dc);
    return;
  }
  CMemDC mem(&dc);
  Render(&mem, flags, markers);
}

void COscChartWnd::DropCaches() {
  m_bInitialized = 0;
  m_rcClient.SetRectEmpty();
  m_bStaticValid = false;
  m_bSavedValid = false;
}

void COscChartWnd::ComposeStatic() {
  std::vector<chartdraw::LimitBand> bands = chartdraw::CollectLimitBands(m_rcDraw, nullptr);
  if (!m_bStaticValid || bands != m_pDrawn->bands) {
    m_layer1.BlitTo(&m_layerStatic);
    chartdraw::PaintLimitBands(&m_layerStatic, bands, 15);
    m_pDrawn->bands = std::move(bands);
    m_bStaticValid = true;
  }
  m_layerStatic.BlitTo(&m_layer2);
}

void COscChartWnd::OverlaySavedSignals() {
  std::vector<chartdraw::SavedSignalLine> lines =
      chartdraw::CollectSavedSignals(m_rcDraw, chartdraw::ScreenAxes(), 0, false);
  if (!m_layerSaved.IsValid()) {
    chartdraw::PaintSavedSignals(&m_layer2, lines);
    return;
  }
  if (!m_bSavedValid || lines != m_pDrawn->savedLines) {
    // The key colour marks what the signals leave empty; it must be none of their colours.
    constexpr COLORREF kKeys[] = {RGB(1, 2, 3), RGB(3, 1, 2), RGB(2, 3, 1), RGB(254, 1, 253)};
    m_crSavedKey = kKeys[0];
    for (COLORREF key : kKeys) {
      bool used = false;
      for (const chartdraw::SavedSignalLine& line : lines) used = used || line.colour == key;
      if (!used) {
        m_crSavedKey = key;
        break;
      }
    }
    m_layerSaved.FillSolidRect(&m_layerSaved.BlitRect(), m_crSavedKey);
    chartdraw::PaintSavedSignals(&m_layerSaved, lines);
    m_pDrawn->savedLines = std::move(lines);
    m_bSavedValid = true;
  }
  const CRect& r = m_layerSaved.BlitRect();
  m_layer2.TransparentBlt(r.left, r.top, r.Width(), r.Height(), &m_layerSaved, r.left, r.top, r.Width(), r.Height(),
                          m_crSavedKey);
}

void COscChartWnd::RecalcGridMaps() {
  GetOscScale().SetArea(m_rcDraw, true);
  m_mapH.Set(GetTimeStepScale(), m_rcDraw.left, m_rcDraw.right);
  m_mapV.Set(GetVerticalGrid(), m_rcDraw.top, m_rcDraw.bottom);
}

void COscChartWnd::Layout() {
  m_rcDraw = m_rcClient;
  const int h = m_rcDraw.Height();
  const BYTE charSet = GetGlobalProps().GetCharSet();
  m_fontLabel.DeleteObject();
  m_fontSmall.DeleteObject();
  CreateFontOnce(m_fontLabel, "Arial", -(h / 20), charSet, TRUE, FALSE, FALSE, 0);
  CreateFontOnce(m_fontSmall, "Arial", -(h / 30), charSet, TRUE, FALSE, FALSE, 0);
  m_layer1.Resize(m_rcClient);
  m_layer2.Resize(m_rcClient);
  m_layerStatic.Resize(m_rcClient);
  m_layerSaved.Resize(m_rcClient);
  m_layerScreen.Resize(m_rcClient);
  m_bStaticValid = false;
  m_bSavedValid = false;
  RecalcGridMaps();
  m_container.bounds = m_rcDraw;
  m_container.RecalcRange();
  m_container.LayoutThumbs();
  if (m_layer1.IsValid()) {
    FillBackground(&m_layer1);
    DrawGrid(&m_layer1);
  }
}

void COscChartWnd::FillBackground(CDC* dc) {
  const measure::MeasureType type = GetMeasureType().Type();
  m_brArea.DeleteObject();
  m_brArea.CreateSolidBrush(GetSchemeColor(measure::IsSegmented(type) ? 25 : 24));
  if (!m_brFrame.GetSafeHandle()) m_brFrame.CreateSolidBrush(GetSchemeColor(26));
  dc->FillRect(&m_rcClient, &m_brFrame);
  dc->FillRect(&m_rcDraw, &m_brArea);
}

void COscChartWnd::DrawGrid(CDC* dc) {
  if (!m_penGrid.GetSafeHandle()) m_penGrid.CreatePen(PS_SOLID, 1, GetSchemeColor(28));
  kvp::DcSelect pen(dc, &m_penGrid);
  const measure::MeasureType type = GetMeasureType().Type();
  if (!measure::IsSegmented(type) && m_mapH.m_pGrid) {
    const int d = m_mapH.m_pGrid->m_nCurrentStep, t = m_mapH.m_pGrid->m_nTicks;
    for (int k = 1; k < d; ++k) {
      const int x = m_mapH.ToPixel(static_cast<double>(k) * t);
      dc->MoveTo(x, m_mapV.m_nFirstPixel);
      dc->LineTo(x, m_mapV.m_nLastPixel);
    }
  }
  if (m_mapV.m_pGrid) {
    const int d = m_mapV.m_pGrid->m_nCurrentStep, t = m_mapV.m_pGrid->m_nTicks;
    for (int k = 1; k < d; ++k) {
      const int y = m_mapV.ToPixel(static_cast<double>(k) * t);
      dc->MoveTo(m_mapH.m_nFirstPixel, y);
      dc->LineTo(m_mapH.m_nLastPixel, y);
    }
  }
}

void COscChartWnd::Render(CDC* dc, int flags, BOOL markers) {
  if (!m_bInitialized) {
    CRect client;
    GetClientRect(&client);
    if (client != m_rcClient) {
      m_rcClient = client;
      Layout();
    }
    m_bInitialized = 1;
  }
  const bool layers = m_layer1.IsValid() && m_layer2.IsValid();
  if ((flags & kCopyGrid) && (flags & kComposeTraces) && layers && m_layerStatic.IsValid()) {
    // Background, grid and limit bands come from the static layer; only the traces are new.
    ComposeStatic();
    chartdraw::DrawTraces(&m_layer2, 0, 0, chartdraw::ScreenAxes(), 0);
    DrawTexts(&m_layer2);
  } else {
    if ((flags & kCopyGrid) && layers) m_layer1.BlitTo(&m_layer2);
    if ((flags & kComposeTraces) && m_layer2.IsValid()) {
      chartdraw::DrawLimitBands(&m_layer2, m_rcDraw, 15, nullptr);
      chartdraw::DrawTraces(&m_layer2, 0, 0, chartdraw::ScreenAxes(), 0);
      DrawTexts(&m_layer2);
    }
  }
  if (GetSavedScopeCount() > 0 && m_layer2.IsValid()) OverlaySavedSignals();
  m_layer2.BlitTo(dc);
  if (flags & kDrawLines) chartdraw::DrawLines(dc, m_rcClient);
  if (markers) {
    for (int i = 0; i < m_container.GetCount(); ++i) {
      auto* item = dynamic_cast<CHICChart::CVIChart*>(m_container.GetItem(i));
      if (item && item->m_pRecord) item->Show(item->m_pRecord->IsShown());
    }
    m_container.Draw(dc, FALSE);
  }
}

void COscChartWnd::DrawTexts(CDC* dc) {
  const GlobalProps& props = GetGlobalProps();
  const scope::ScopeState& state = scope::GetScopeState();
  const bool recording = state.ScopeRecording.load() != 0;
  kvp::DcBkMode mode(dc, TRANSPARENT);
  if (GetMotortesterDevice()->GetEngineModeFlag() && !recording) DrawEngineSpeed(dc, m_rcClient);
  CRect inner = m_rcClient;
  inner.DeflateRect(5, 5);
  if (recording) {
    kvp::DcText text(dc, 0x0000FF, TRANSPARENT);
    kvp::DcSelect font(dc, &m_fontLabel);
    dc->DrawText(props.GetText(kTextRecording), -1, &inner, DT_SINGLELINE | DT_RIGHT);
    if (state.RecordingThroughRecorder.load() && props.m_nSlowRateModifier == 0) {
      CRect all = m_rcClient;
      dc->DrawText(props.GetText(kTextSignalUnavailableRecording), -1, &all, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    }
  }
  const int invert = state.InvertState.load();
  if (invert != 0) {
    kvp::DcText text(dc, 0x000000, TRANSPARENT);
    kvp::DcSelect font(dc, &m_fontSmall);
    dc->DrawText(GetInvertText(invert), -1, &inner, DT_SINGLELINE);
  }
}

void COscChartWnd::DrawEngineSpeed(CDC* dc, const RECT& client) {
  chartdraw::DrawEngineSpeed(dc, client, &m_fontLabel);
}

void COscChartWnd::OnSystemNotify(notify::Sender sender, notify::Code code, int) {
  using namespace notify;
  if (sender == kFromChart) return;  // the chart's own
  const bool snapshot = sender == kFromSnapshot;
  auto lines = [&] {
    if (!snapshot) Redraw(kDrawLines, TRUE);
  };
  auto full = [&] {
    if (!snapshot) Redraw(kAll, TRUE);
  };
  if (code == kScopeInit) {
    m_container.CreateTriggerMarker();
  } else if (OneOf(code, {kTriggerPositionChanged, kCursorLeftMoved, kCursorRightMoved, kCursorsShown})) {
    lines();
  } else if (code == kTriggerLevelChanged) {
    m_container.LayoutThumbs();
    lines();
  } else if (code == kInversionChanged) {
    if (!snapshot) {
      m_container.LayoutThumbs();
      lines();
    }
  } else if (code == kRollModeChanged) {
    GlobalProps& props = GetGlobalProps();
    const BOOL shown = props.m_nSlowRateModifier == 0;
    SetFlagBits(props.m_Styles[GlobalProps::STYLE_TRIGGER_LEVEL].m_nFlags, 1, shown);
    SetFlagBits(props.m_Styles[GlobalProps::STYLE_TRIGGER_POSITION].m_nFlags, 1, shown);
    m_container.LayoutThumbs();
    lines();
  } else if (OneOf(code, {kTimePositionChanged, Nth(kSavedSignalMoved, 0), Nth(kSavedSignalMoved, 1),
                          Nth(kSavedSignalMoved, 2), Nth(kSavedSignalMoved, 3), kRedrawAll, kSavedScopeOpened,
                          kSavedScopesCleared})) {
    full();
  } else if (code == kZoomChanged) {
    RecalcGridMaps();
    full();
  } else if (code == kTriggerChannelChanged) {
    m_container.RecalcRange();
    m_container.LayoutThumbs();
    lines();
  } else if (OneOf(code, {kChannelRangeA, kChannelRangeB, kChannelOnOffA, kChannelOnOffB, kTimeBaseChanged,
                          kNewRecord, kChannelShown, kSettingsReplaced})) {
    m_container.LayoutThumbs();
    full();
  } else if (code == kChannelPositionA || code == kChannelPositionB) {
    m_container.RecalcRange();
    m_container.LayoutThumbs();
    full();
  } else if (code == kPrintChart) {
    PrintChart();
  } else if (code == kMeasureTypeChanged) {
    if (!snapshot) {
      // A new measure type: the background colour may change.
      m_rcDraw = m_rcClient;
      if (m_layer1.IsValid()) {
        FillBackground(&m_layer1);
        DrawGrid(&m_layer1);
      }
      m_bStaticValid = false;
    }
  }
}
