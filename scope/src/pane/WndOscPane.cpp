#include <scope/pane/WndOscPane.h>

#include <scope/SavedScopeFill.h>
#include <scope/ScopeState.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/MemDC.h>
#include <core/Messages.h>
#include <core/Notify.h>
#include <core/OscScale.h>
#include <core/Reg.h>
#include <core/ResourceHolder.h>
#include <core/SavedScope.h>

#include <platform/controls.h>
#include <platform/files.h>
#include <platform/process.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace scope {

namespace {

constexpr DWORD kChildStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
// The time ruler counts its position from the right end.
constexpr uint32_t kRulerFromRight = 0x2;

CRect Area(ScreenArea area) {
  RECT r{0, 0, 0, 0};
  GetResourceHolder().LayoutScreenArea(area, r);
  return CRect(r);
}

void ShowChild(CWnd& child, bool show) {
  if (child.GetSafeHwnd()) child.ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void MoveChild(CWnd& child, const RECT& r) {
  if (child.GetSafeHwnd()) child.MoveWindow(&r, TRUE);
}

void RedrawChild(CXPWndBaseColor& child) {
  if (child.GetSafeHwnd()) child.Redraw();
}

bool IsDocked() { return GetResourceHolder().m_bNarrowChart != 0; }

// What the time ruler's picture is made of besides its colours and size: its scroll map, the
// window thumb and the cursor thumbs.
std::vector<int> TimeRulerPicture(COscTimeRuler& ruler) {
  const TimeRulerParams& p = ruler.m_Params;
  std::vector<int> picture = {p.m_nMinimum, p.m_nMaximum, p.m_nShown, p.m_nShownLess1, p.m_nPosition,
                              static_cast<int>(p.m_dValueFirst), static_cast<int>(p.m_dValueLast)};
  auto add = [&](const RECT& r, bool visible) {
    picture.insert(picture.end(), {r.left, r.top, r.right, r.bottom, visible ? 1 : 0});
  };
  add(ruler.m_Thumb.rect, true);
  for (int i = 0; i < ruler.m_Cursors.GetCount(); ++i) {
    CVisualItemThumb* item = ruler.m_Cursors.GetItem(i);
    if (item) add(item->rect, item->IsVisible() != FALSE);
  }
  return picture;
}

}  // namespace

// The minimize handle hears the pane's notifications only to repaint its arrow after a toggle.
class CWndOscPane::HandleTarget final : public IScopeNotifyTarget {
 public:
  explicit HandleTarget(CWndOsc_MinimizePanel& handle) : m_handle(handle) {}
  void OnSystemNotify(notify::Sender, notify::Code code, int) override {
    if (code == notify::kMinimizeToggled && m_handle.GetSafeHwnd()) m_handle.Redraw();
  }

 private:
  CWndOsc_MinimizePanel& m_handle;
};

CWndOscPane::CWndOscPane(std::unique_ptr<IScopeControlPanel> controlPanel, CMeasureEngine* engine)
    : CWndOsc(engine), m_autoset(engine), m_pControlPanel(std::move(controlPanel)) {
  m_pControlPanel->SetPane(this);
  m_timeRuler.m_pClbck = this;
  m_cursorRuler.m_nOrientation = COscCursorRuler::kVertical;
  m_minimizePanel.SetCallback(this);
  SetView(this);
  SetAutoset(&m_autoset);
  static_assert(NOTIFY_SLOT_COUNT == 6);
  SetNotifyTarget(NOTIFY_TIME_RULER, &m_timeRuler);
  SetNotifyTarget(NOTIFY_LEVEL_RULER, &m_cursorRuler);
  SetNotifyTarget(NOTIFY_CHART, &m_chart);
  SetNotifyTarget(NOTIFY_CONTROL_PANEL, m_pControlPanel->NotifyTarget());
  SetNotifyTarget(NOTIFY_CURSOR_PANEL, &m_cursorPanel);
  m_pHandleTarget = std::make_unique<HandleTarget>(m_minimizePanel);
  SetNotifyTarget(NOTIFY_MINIMIZE_PANEL, m_pHandleTarget.get());
}

CWndOscPane::~CWndOscPane() {
  for (int i = 0; i < NOTIFY_SLOT_COUNT; ++i) SetNotifyTarget(static_cast<NotifySlot>(i), nullptr);
  SetView(nullptr);
  SetAutoset(nullptr);
  if (GetSafeHwnd()) DestroyWindow();
}

// ---- creation -----------------------------------------------------------------------------------

int CWndOscPane::OnCreate(LPCREATESTRUCT cs) {
  if (CWndOsc::OnCreate(cs) == -1) return -1;
  if (!CreateChildren()) return -1;
  ShowByOptions(m_options);
  ApplyAutosetVisibility(GetGlobalProps().m_bAutosetActive != 0, m_options);
  EnableToolTips(TRUE);
  return 0;
}

BOOL CWndOscPane::CreateChildren() {
  const CRect none(0, 0, 0, 0);
  if (!m_minimizePanel.Create("WndMinimizePanel", kChildStyle, none, this, ID_MINIMIZE_PANEL)) return FALSE;
  if (!m_pControlPanel->CreatePanel(this, ID_CONTROL_PANEL)) return FALSE;
  if (!m_chart.Create(this, none, ID_CHART)) return FALSE;
  m_chart.ShowWindow(SW_HIDE);
  if (!m_timeRuler.Create("TimeLine", kChildStyle, none, this, ID_TIME_RULER)) return FALSE;
  if (!m_cursorRuler.Create("CursorY", kChildStyle, none, this, ID_LEVEL_RULER)) return FALSE;
  if (!m_stripBottom.Create("Bottom", kChildStyle, none, this, ID_STRIP)) return FALSE;
  if (!m_stripTop.Create("Top", kChildStyle, none, this, ID_STRIP)) return FALSE;
  if (!m_stripText.Create("Text", kChildStyle, none, this, ID_TEXT)) return FALSE;
  if (!m_stripMeasures.Create("Measures", kChildStyle, none, this, ID_STRIP)) return FALSE;
  if (!m_stripSavedCD.Create("SavedCD", kChildStyle, none, this, ID_SAVED_CD)) return FALSE;
  if (!m_stripSavedEF.Create("SavedEF", kChildStyle, none, this, ID_SAVED_EF)) return FALSE;
  if (!m_cursorPanel.Create("WndCursors", kChildStyle, none, this, ID_CURSOR_PANEL)) return FALSE;
  if (!m_autoset.Create("WndAutoset", kChildStyle, none, this, ID_AUTOSET)) return FALSE;
  m_manualButton.drawClbck = this;
  m_manualButton.btnClbck = this;
  SetOption(m_manualButton, CXPCtrlBtn::kFlatHot, TRUE);
  if (!m_manualButton.Create("Open_Manual", WS_CHILD | WS_VISIBLE, none, this, ID_MANUAL)) return FALSE;
  return TRUE;
}

// ---- showing and layout -------------------------------------------------------------------------

void CWndOscPane::ShowByOptions(int options) {
  ShowChild(m_timeRuler, options & OPT_TIME_RULER);
  const bool strips = options & OPT_STRIPS;
  ShowChild(m_stripBottom, strips);
  ShowChild(m_stripTop, strips);
  ShowChild(m_stripText, strips);
  if (strips) {
    ShowMeasuresOrCursors();
  } else {
    ShowChild(m_stripMeasures, false);
    ShowChild(m_cursorPanel, false);
  }
  ShowChild(m_pControlPanel->Window(), options & OPT_PANEL_IN);
  ShowChild(m_cursorRuler, options & OPT_LEVEL_RULER);
  ShowChild(m_stripSavedCD, options & OPT_SAVED_CD);
  ShowChild(m_stripSavedEF, options & OPT_SAVED_EF);
  ShowChild(m_minimizePanel, !IsDocked());
}

void CWndOscPane::ShowMeasuresOrCursors() {
  const bool measures = GetGlobalProps().m_bMeasureSwitch != 0;
  ShowChild(m_stripMeasures, measures);
  ShowChild(m_cursorPanel, !measures);
}

void CWndOscPane::ApplyAutosetVisibility(bool autosetRunning, int options) {
  CWnd* const others[] = {&m_timeRuler,    &m_cursorRuler,   &m_chart,         &m_stripTop,
                          &m_stripBottom,  &m_stripMeasures, &m_stripSavedCD,  &m_stripSavedEF,
                          &m_stripText,    &m_cursorPanel,   &m_minimizePanel, &m_pControlPanel->Window(),
                          &m_manualButton};
  if (autosetRunning) {
    for (CWnd* w : others) ShowChild(*w, false);
    ShowChild(m_autoset, true);
    return;
  }
  for (CWnd* w : {static_cast<CWnd*>(&m_stripBottom), static_cast<CWnd*>(&m_stripTop), &m_pControlPanel->Window(),
                  static_cast<CWnd*>(&m_chart), static_cast<CWnd*>(&m_timeRuler), static_cast<CWnd*>(&m_cursorRuler)})
    ShowChild(*w, true);
  ShowChild(m_stripText, options & OPT_PANEL_IN);
  ShowChild(m_stripSavedCD, options & OPT_SAVED_CD);
  ShowChild(m_stripSavedEF, options & OPT_SAVED_EF);
  ShowChild(m_minimizePanel, !IsDocked());
  ShowChild(m_autoset, false);
  ShowMeasuresOrCursors();
}

void CWndOscPane::LayoutChildren() {
  const int o = m_options;
  MoveChild(m_autoset, m_rcClient);
  MoveChild(m_manualButton, Area(ScreenArea::ManualButton));
  if (o & OPT_STRIPS) {
    MoveChild(m_stripText, Area(ScreenArea::TextStrip));
    MoveChild(m_stripTop, Area(ScreenArea::TopStrip));
  }
  if (o & OPT_TIME_RULER) MoveChild(m_timeRuler, Area(ScreenArea::TimeRuler));
  m_rcChart = Area(ScreenArea::Chart);
  MoveChild(m_chart, m_rcChart);
  if (o & OPT_STRIPS) {
    MoveChild(m_stripBottom, Area(ScreenArea::BottomStrip));
    MoveChild(m_stripMeasures, Area(ScreenArea::MeasuresStrip));
    MoveChild(m_cursorPanel, Area(ScreenArea::CursorPanel));
  }
  if (o & OPT_SAVED_CD) MoveChild(m_stripSavedCD, Area(ScreenArea::SavedCD));
  if (o & OPT_SAVED_EF) {
    CRect r = Area(ScreenArea::SavedEF);
    if (o & OPT_SAVED_CD) r.OffsetRect(0, r.Height());
    MoveChild(m_stripSavedEF, r);
  }
  if (o & OPT_LEVEL_RULER) MoveChild(m_cursorRuler, Area(ScreenArea::LevelRuler));
  MoveChild(m_pControlPanel->Window(), Area(ScreenArea::ControlPanel));
  MoveChild(m_minimizePanel, Area(ScreenArea::MinimizePanel));
}

// ---- painting -----------------------------------------------------------------------------------

void CWndOscPane::PaintBackground(CDC* dc) {
  CBrush brush;
  brush.CreateSolidBrush(GetSchemeColor(6));
  dc->FillRect(&m_rcClient, &brush);
  CRect frame = m_rcChart;
  frame.InflateRect(2, 2);
  dc->DrawEdge(&frame, EDGE_SUNKEN, BF_RECT);
}

void CWndOscPane::OnPaint() {
  CPaintDC dc(this);
  CMemDC mem(&dc);
  PaintBackground(&mem);
}

void CWndOscPane::RedrawAll() {
  if (!GetSafeHwnd()) return;
  {
    CClientDC dc(this);
    PaintBackground(&dc);
  }
  if (m_timeRuler.GetSafeHwnd()) m_timeRuler.Redraw(TRUE);
  if (m_chart.GetSafeHwnd()) m_chart.Redraw(COscChartWnd::kAll, TRUE);
  if (m_cursorRuler.GetSafeHwnd()) m_cursorRuler.Redraw();
  if (m_pControlPanel->Window().GetSafeHwnd()) m_pControlPanel->Repaint();
  for (CXPWndBaseColor* strip : {&m_stripBottom, &m_stripTop, &m_stripMeasures, &m_stripSavedCD, &m_stripSavedEF,
                                 &m_stripText})
    RedrawChild(*strip);
  RedrawChild(m_minimizePanel);
}

void CWndOscPane::RepaintStrips(int mask) {
  // Only the strips whose texts changed are painted again.
  if (mask & STRIP_BOTTOM) m_stripBottom.RedrawIfChanged();
  if (mask & STRIP_TOP) m_stripTop.RedrawIfChanged();
  if (mask & STRIP_MEASURES) m_stripMeasures.RedrawIfChanged();
  if (mask & STRIP_TEXT) m_stripText.RedrawIfChanged();
}

LRESULT CWndOscPane::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CWndOsc::WindowProc(message, wParam, lParam);
  if (message == WM_WINDOWPOSCHANGED) {
    CRect client;
    GetClientRect(&client);
    if (client != m_rcClient) {
      m_rcClient = client;
      LayoutChildren();
    }
  } else if (message == WM_SIZE) {
    RedrawAll();
  }
  return result;
}

BOOL CWndOscPane::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  if (hdr && hdr->code == TTN_NEEDTEXTA) {
    auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
    if (!(info->uFlags & TTF_IDISHWND)) return FALSE;
    const int id = ::GetDlgCtrlID(static_cast<HWND>(hdr->idFrom));
    if (id != static_cast<int>(ID_SAVED_CD) && id != static_cast<int>(ID_SAVED_EF)) return FALSE;
    const CSavedScope& saved = GetSavedScopes()[id == static_cast<int>(ID_SAVED_CD) ? 0 : 1];
    if (!saved.m_bEmpty) {
      // At most 79 bytes and the terminator.
      std::strncpy(info->szText, saved.m_strName.GetString(), sizeof(info->szText) - 1);
      info->szText[sizeof(info->szText) - 1] = '\0';
      info->lpszText = info->szText;
    }
    if (result) *result = 0;
    return TRUE;
  }
  return CWndOsc::OnNotify(wParam, lParam, result);
}

// ---- the rulers ---------------------------------------------------------------------------------

void CWndOscPane::SetTimeRulerFromScale() {
  const std::vector<int> before = TimeRulerPicture(m_timeRuler);
  const CStepScale& steps = GetTimeStepScale();
  TimeRulerParams& p = m_timeRuler.m_Params;
  p.m_nMinimum = 0;
  p.m_nMaximum = steps.m_nSteps;
  p.m_nShown = steps.m_nCurrentStep;
  p.m_nShownLess1 = p.m_nShown - 1;
  p.m_nPosition = GetOscScale().m_nHorizontalOffset;
  p.m_dValueFirst = p.m_nMinimum;
  p.m_dValueLast = p.m_nMaximum;
  m_timeRuler.Layout();
  if (TimeRulerPicture(m_timeRuler) != before) m_bTimeRulerStale = true;
}

void CWndOscPane::RepaintTimeRuler() {
  // The same scroll map and thumbs draw the same picture: a record that changed neither leaves the
  // ruler alone (its own changes repaint it themselves).
  if (!m_bTimeRulerStale) return;
  m_bTimeRulerStale = false;
  if (m_timeRuler.GetSafeHwnd()) m_timeRuler.Redraw(TRUE);
}

void CWndOscPane::OnTimeScroll(TimeRulerParams* params, COscTimeRuler* ruler) {
  if (ruler != &m_timeRuler || !params) return;
  int position = params->m_nPosition;
  if (m_timeRuler.HasOption(kRulerFromRight))
    position = params->m_nMaximum + params->m_nShown - position - params->m_nMinimum;
  COscScale& scale = GetOscScale();
  scale.SetTimeOffset(position);
  scale.m_TimeAxis.Recompute();
  OnSystemNotify(notify::kFromScopePane, notify::kTimePositionChanged, 0);
}

void CWndOscPane::OnCursorChanged(CursorRecord* record, COscCursorRuler* ruler) {
  if (ruler != &m_cursorRuler || !record) {
    return;
  }
  int kind = -1;
  for (int i = 0; i < m_cursorRuler.GetCount(); ++i)
    if (m_cursorRuler.GetItem(i)->m_pRecord == record) kind = m_cursorRuler.GetItem(i)->m_nKind;
  // The marker's pixel on the chart's percent axis (0 at the top), as a position (100 at the top).
  // A relative drag (the signal marks) leaves the record's value and writes where the marker was
  // dragged to as its second value.
  const COscScale& scale = GetOscScale();
  const double dragged = record->DragMode() == 1 ? record->m_dValue2 : record->m_dValue;
  const int pixel = record->m_pScale ? record->m_pScale->ValueToPixel(dragged) : 0;
  const int percent =
      static_cast<int>((pixel - scale.m_dPercentPixelFrom) * scale.m_dPercentPerPixel + scale.m_dPercentFirst);
  const int position = 100 - percent;
  GlobalProps& props = GetGlobalProps();
  if (kind == 0 || kind == 1) {
    const int channel = kind == 0 ? 1 : 0;
    const int before = props.m_Channels[channel].m_nPosition;
    // The marker stands for the channel's zero line: it follows the axis.
    record->m_dValue = 0.0;
    if (position != before && props.SetChannelPosition(channel, position))
      OnSystemNotify(notify::kFromAnyone, notify::Nth(notify::kChannelPositionA, channel), 0);
  } else if (kind >= 3 && kind <= 6) {
    const int signal = kind - 3;
    CSavedSignal* saved = GetSavedScopes()[signal / 2].FindSignal(signal);
    record->m_dValue = 0.0;
    if (saved && position >= 0 && position <= 100) {
      // The signal moves; its scale stays the one it was saved with.
      PlaceSavedSignalAxis(GetOscScale().m_Vertical[COscScale::AXIS_C + signal], saved->m_dPerDivision, position);
      saved->m_nPosition = position;
      OnSystemNotify(notify::kFromAnyone, notify::Nth(notify::kSavedSignalMoved, signal), 0);
    }
  }
  RedrawAll();
}

void CWndOscPane::Init() {
  SetTimeRulerFromScale();
  m_cursorRuler.m_pClbck = this;
  if (m_cursorRuler.GetCount() == 0) m_cursorRuler.CreateCursorItems();
  GetMeasureType().m_nMeasureType = 0;
  OnSystemNotify(notify::kFromScopePane, notify::kScopeInit, 0);
  PostMessage(WM_OSCCOMMAND, 0, 0);
}

// ---- docking and the slide ----------------------------------------------------------------------

// The chart shows `divisions` divisions (10 docked, 20 floating) and the record is that many
// divisions times the zoom factor: the divisor base follows the shown divisions, so the zoom
// factor re-applied after it keeps the offset (doubled or halved with the divisions) and the
// window inside the record. The floating chart shows the docked chart's window in twice the
// divisions, from edge to edge.
void CWndOscPane::ApplyShownDivisions(int divisions) {
  GetTimeStepScale().m_nCurrentStep = divisions;
  GetTimeDivisorBase() = divisions;
}

void CWndOscPane::ToggleDock() {
  CResourceHolder& holder = GetResourceHolder();
  COscScale& scale = GetOscScale();
  CWnd& panel = m_pControlPanel->Window();
  if (holder.m_bNarrowChart) {
    ApplyShownDivisions(20);
    scale.SetTimeOffset(scale.m_nHorizontalOffset * 2);
    holder.m_bNarrowChart = 0;
    m_options |= OPT_PANEL_MINIMIZED;
    m_minimizePanel.SetExpandedHandle(TRUE);
    ShowChild(m_minimizePanel, true);
    SetTimer(kTimerSlideOut, kSlideMs, nullptr);
  } else {
    if (panel.GetSafeHwnd()) panel.KillTimer(kTimerAutoHide);
    KillTimer(kTimerSlideOut);
    KillTimer(kTimerSlideIn);
    m_options &= ~OPT_PANEL_MINIMIZED;
    m_options |= OPT_PANEL_IN;
    ApplyShownDivisions(10);
    if (scale.m_nHorizontalOffset != 0) scale.SetTimeOffset(scale.m_nHorizontalOffset / 2);
    holder.m_bNarrowChart = 1;
    ShowChild(panel, true);
    m_pControlPanel->ShowDockButton(true);
    ShowChild(m_minimizePanel, false);
  }
  holder.SetZoomFactor(holder.m_nZoomType);
  GetGlobalProps().RecomputeTimeBase(TRUE, FALSE);
  OnSystemNotify(notify::kFromScopePane, notify::kZoomChanged, 0);
  LayoutChildren();
  OnSystemNotify(notify::kFromScopePane, notify::kRedrawAll, 0);
}

void CWndOscPane::OnMinimizeToggle() {
  if (IsDocked()) return;
  CWnd& panel = m_pControlPanel->Window();
  if (panel.GetSafeHwnd()) panel.KillTimer(kTimerAutoHide);
  if (m_options & OPT_PANEL_MINIMIZED) {
    m_options &= ~OPT_PANEL_MINIMIZED;
    KillTimer(kTimerSlideOut);
    SetTimer(kTimerSlideIn, kSlideMs, nullptr);
  } else {
    m_options |= OPT_PANEL_MINIMIZED;
    KillTimer(kTimerSlideIn);
    SetTimer(kTimerSlideOut, kSlideMs, nullptr);
  }
  OnSystemNotify(notify::kFromScopePane, notify::kMinimizeToggled, 0);
}

void CWndOscPane::OnTimer(UINT_PTR id) {
  if (id == kTimerSlideIn) {
    SlideTick(true);
  } else if (id == kTimerSlideOut) {
    SlideTick(false);
  }
}

void CWndOscPane::SlideTick(bool in) {
  CWnd& panel = m_pControlPanel->Window();
  if (!panel.GetSafeHwnd()) return;
  CRect r;
  panel.GetWindowRect(&r);
  ScreenToClient(&r);
  const int step = std::max(1, r.Width() / 20);
  if (in) {
    panel.ShowWindow(SW_SHOW);
    r.OffsetRect(-step, 0);
    const CRect target = Area(ScreenArea::ControlPanel);
    if (r.right <= target.right) {
      r = target;
      m_options |= OPT_PANEL_IN;
      KillTimer(kTimerSlideIn);
      panel.SetTimer(kTimerAutoHide, kAutoHideMs, nullptr);
    }
    panel.MoveWindow(&r, TRUE);
    return;
  }
  r.OffsetRect(step, 0);
  panel.MoveWindow(&r, TRUE);
  if (r.left > Area(ScreenArea::MinimizePanel).left) {
    KillTimer(kTimerSlideOut);
    m_options &= ~OPT_PANEL_IN;
    panel.ShowWindow(SW_HIDE);
    panel.KillTimer(kTimerAutoHide);
  }
}

// ---- IPaneWnd -----------------------------------------------------------------------------------

void CWndOscPane::Activate(int) {
  m_pControlPanel->Refresh();
  m_pControlPanel->RestoreBoardRecordingOption();
  const MeasureType& type = GetMeasureType();
  ShowChild(m_manualButton, type.IsComponentTestType() && ManualExists(type.m_nMeasureType.load()));
  m_pControlPanel->ApplyPreset();
  Show(TRUE);
}

BOOL CWndOscPane::Deactivate() {
  GlobalProps& props = GetGlobalProps();
  ScopeState& state = GetScopeState();
  IScopeControlPanel& panel = *m_pControlPanel;
  // 1. A recording in progress ends; its records stay only when the user wants to view them.
  if (state.ScopeRecording.load()) {
    props.m_bRunning = 1;
    state.ScopeRecording = 0;
    panel.StopRecording();
    if (props.m_nSlowRateModifier == 0 && panel.IsBoardRecording()) panel.StopBoardRecording();
    if (!panel.IsRecordToView()) panel.ClearRecordList();
  }
  // 2.
  if (panel.IsRecordToView()) {
    props.m_bRunning = 1;
    panel.ClearRecordToView();
  }
  // 3. Autoset keeps the tab.
  if (props.m_bAutosetActive) return FALSE;
  panel.CapturePreset();
  // 4. The engine tester's measurement and the preset state by measure type.
  using measure::MeasureType;
  const MeasureType type = GetMeasureType().Type();
  int measurementId = -1;
  switch (type) {
    case MeasureType::kPlainScope:
    case MeasureType::kPetrolScope:
    case MeasureType::kDieselScope: measurementId = 10; break;
    case MeasureType::kPetrolScopeTurn:
    case MeasureType::kDieselScopeTurn: measurementId = 25; break;
    case MeasureType::kPrimaryVoltage: measurementId = 15; break;
    case MeasureType::kPressureSensor: measurementId = 19; break;
    default: break;
  }
  if (measurementId >= 0 && m_measurementIdSink) m_measurementIdSink(measurementId);
  if (type != MeasureType::kPrimaryVoltage && type != MeasureType::kPressureSensor && !measure::IsComponentTest(type))
    panel.ResetPresetState();
  // 5.
  StopMeasurement();
  Show(FALSE);
  return TRUE;
}

void CWndOscPane::Show(BOOL show) {
  if (GetSafeHwnd()) ShowWindow(show ? SW_SHOW : SW_HIDE);
}

// ---- the manual ---------------------------------------------------------------------------------

CString CWndOscPane::GetManualPath(int measureType) {
  const char* name = GetManualName(measureType);
  if (!name) return CString();
  CString language;
  if (CReg().ReadString(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter", "Language", language) != CReg::OK ||
      language.IsEmpty())
    language = "en";
  CString path;
  CReg().ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", "Path", path);
  CString manual;
  manual.Format("%sManuals\\%s\\%s_%s.hlp", path.GetString(), name, name, language.GetString());
  return manual;
}

bool CWndOscPane::ManualExists(int measureType) {
  const CString path = GetManualPath(measureType);
  if (path.IsEmpty()) return false;
  const DWORD attributes = ::GetFileAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void CWndOscPane::Draw(CDC* dc, RECT*, XPCtrlBtnData*, CXPCtrlBtn*) { dc->SetBkMode(TRANSPARENT); }

void CWndOscPane::OnClick(XPCtrlBtnData*, CXPCtrlBtn*) {
  const CString path = GetManualPath(GetMeasureType().m_nMeasureType.load());
  if (!path.IsEmpty()) ::ShellExecute(m_hWnd, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace scope
