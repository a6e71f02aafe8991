#include <scope/pane/WndOsc.h>

#include <scope/ScopeState.h>

#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/OscScale.h>
#include <core/ResourceHolder.h>
#include <core/SavedScope.h>

#include <cstdio>
#include <stdexcept>

namespace scope {

namespace {

void RegisterPaneClass() {
  WNDCLASS known{};
  if (GetClassInfo(AfxGetInstanceHandle(), CWndOsc::kClassName, &known)) return;
  WNDCLASS wc{};
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = ::DefWindowProc;
  wc.hInstance = AfxGetInstanceHandle();
  wc.hCursor = GetResourceHolder().m_hCursors[0];
  wc.hbrBackground = static_cast<HBRUSH>(5);
  wc.lpszClassName = CWndOsc::kClassName;
  if (!AfxRegisterClass(&wc) && !GetClassInfo(AfxGetInstanceHandle(), CWndOsc::kClassName, &known))
    throw std::runtime_error(std::string("cannot register the window class ") + CWndOsc::kClassName);
}

bool SavedScopeHoldsScreen(int index) { return GetSavedScopes()[index].m_bEmpty == 0; }

// Same values, unit, scale and kind: the probe did not change.
bool SameRangeTable(const CNxDoubleArray& a, const CNxDoubleArray& b) {
  if (a.GetSize() != b.GetSize() || !a.IsSameScale(b) || a.m_dScale != b.m_dScale) return false;
  for (INT_PTR i = 0; i < a.GetSize(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

CMeasure* DisplayTrace(int channel) {
  CMeasureList& traces = GetTraceList();
  return channel < traces.GetSize() ? traces[channel] : nullptr;
}

}  // namespace

void CopySettings(CMeasureProps& source, CMeasureProps& target, bool clearChanges, bool handOverMarks) {
  if (&source != &target) static_cast<CMeasureProps&>(target) = source;
  if (handOverMarks)
    for (CChannelProps& c : source.m_Channels) c.m_nMarkWord &= ~1;
  if (clearChanges) source.ClearChanges();
}

CWndOsc::CWndOsc(CMeasureEngine* engine) : m_pEngine(engine ? engine : &GetMeasureEngine()) {
  RegisterPaneClass();
  SetSystemNotify(this);
  m_pEngine->SetOscCallback(this);
  std::remove(kOscErrorLogName);
}

CWndOsc::~CWndOsc() {
  m_pEngine->ClearOscCallback(this);
  UnregisterSystemNotify(this);
  m_hTarget.store(0);
  if (GetSafeHwnd()) DestroyWindow();
}

BOOL CWndOsc::Create(LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(kClassName, windowName, style, rect, parent, id);
}

int CWndOsc::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  m_hTarget.store(m_hWnd);
  return 0;
}

void CWndOsc::OnDestroy() {
  m_hTarget.store(0);
  CWnd::OnDestroy();
}

BOOL CWndOsc::OnEraseBkgnd(CDC*) { return TRUE; }

LRESULT CWndOsc::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_OSCMEASURE) return OnMsgOscMeasure(static_cast<int>(wParam), lParam);
  if (message == WM_OSCCOMMAND) return OnMsgOscCommand(static_cast<int>(wParam), lParam);
  return CWnd::WindowProc(message, wParam, lParam);
}

// ---- the acquisition thread's side ------------------------------------------------------------

LRESULT CWndOsc::SendToPane(int code, void* record) {
  const HWND target = m_hTarget.load();
  if (!target) return 0;
  return ::SendMessage(target, WM_OSCMEASURE, static_cast<WPARAM>(code), reinterpret_cast<LPARAM>(record));
}

void CWndOsc::PostToPane(int code) {
  if (const HWND target = m_hTarget.load()) ::PostMessage(target, WM_OSCMEASURE, static_cast<WPARAM>(code), 0);
}

int CWndOsc::OnOscError(MeterResult& result) {
  SendToPane(OSC_ERROR, &result);
  return 0;
}

int CWndOsc::OnOscMessage(int, LPARAM text) {
  SendToPane(OSC_MESSAGE, reinterpret_cast<void*>(text));
  return 1;
}

int CWndOsc::OnOscQuerySettings(CMeasureProps& settings, int) {
  return static_cast<int>(SendToPane(OSC_QUERY_SETTINGS, &settings));
}

int CWndOsc::OnOscData(AcquisitionRecord& record) {
  const OscDataRoute route = RouteOscData(record.m_Settings.m_bAutosetActive, record.m_Settings.m_nSlowRateModifier,
                                          record.m_Settings.m_nTriggerMode);
  const LRESULT answer = SendToPane(route.send, &record);
  if (!route.postByAnswer) {
    PostToPane(route.post);
    return route.result;
  }
  PostToPane(answer != 0 ? OSC_REPAINT_STRIPS : OSC_RUN_ENDED);
  return answer != 0 ? 1 : 0;
}

// ---- WM_OSCMEASURE ------------------------------------------------------------------------------

LRESULT CWndOsc::OnMsgOscMeasure(int code, LPARAM record) {
  switch (code) {
    case OSC_REPAINT_STRIPS:
      if (m_pView) m_pView->RepaintStrips(IScopeView::STRIP_TOP | IScopeView::STRIP_TEXT);
      return 1;
    case OSC_RUN_ENDED:
      RunEnded();
      return 1;
    case OSC_LAST_RECORD:
    case OSC_RECORD:
      return UpdateDisplay(code, reinterpret_cast<AcquisitionRecord*>(record));
    case OSC_QUERY_SETTINGS:
      return HandOverSettings(reinterpret_cast<CMeasureProps*>(record));
    case OSC_MESSAGE:
      ::MessageBox(m_hWnd, record ? reinterpret_cast<LPCSTR>(record) : "", nullptr,
                   MB_ICONINFORMATION | MB_TOPMOST);
      return 1;
    case OSC_ERROR:
      HandleError(reinterpret_cast<MeterResult*>(record));
      return 1;
    default:
      return 1;
  }
}

void CWndOsc::RunEnded() {
  GlobalProps& props = GetGlobalProps();
  props.m_bRunning = 0;
  if (props.m_bAutosetActive) FinishAutoset(nullptr);
  Notify(notify::kFromScopeRun, notify::kRunStopped);
}

int CWndOsc::HandOverSettings(CMeasureProps* settings) {
  if (!settings) return 1;
  // The thread asks for the settings of a new run only after it has reported everything of the
  // run before.
  m_bStopAsked = false;
  m_settingsFresh = 1;
  GlobalProps& props = GetGlobalProps();
  if (props.m_bAutosetActive && m_pAutoset) return m_pAutoset->GetResult(*settings);
  CopySettings(props, *settings, true, false);
  settings->SetTimeBaseIndex(settings->m_nRequestedTimeBaseIndex, FALSE, FALSE);
  settings->RequestTimeBaseIndex(settings->m_nRequestedTimeBaseIndex, Send::Always);
  return 1;
}

int CWndOsc::UpdateDisplay(int code, AcquisitionRecord* record) {
  if (!record) return 1;
  AcquisitionRecord& r = *record;
  // 1. Autoset records belong to the autoset panel.
  if (r.m_Settings.m_bAutosetActive) {
    const int answer = m_pAutoset ? m_pAutoset->OnMeasure(r) : 0;
    if (r.m_Settings.m_bAutosetActive == 0) FinishAutoset(&r);
    return answer;
  }
  m_ReadRestarts.OnGoodRecord();
  GlobalProps& props = GetGlobalProps();
  OscMeasureRecord& d = GetCursorSettings();
  const int mode = r.m_Settings.m_nSlowRateModifier;
  int answer = 1;

  // 2. Reset on fresh settings, a mode switch, or a change while rolling.
  const bool reset = m_settingsFresh || d.m_Settings.m_nSlowRateModifier != mode ||
                     (mode != 0 && r.m_Settings.IsChanged());
  if (reset) {
    d.m_nTriggerIndex = -1;
    d.m_bTriggered = 0;
    d.m_Signal[0].Reset();
    d.m_Signal[1].Reset();
  }

  // 3. The display record takes the record's status and settings.
  d.m_nStatus = r.m_nStatus;
  CopySettings(r.m_Settings, d.m_Settings, false, false);
  d.m_dExtraValue = r.m_dExtraValue;
  int wanted = -1;
  if (mode == 0) {
    d.m_bTriggered = r.m_bTriggered;
    d.m_nTriggerIndex = r.m_nTriggerIndex;
  } else if (mode == 2 && d.m_bTriggered) {
    wanted = d.m_nTriggerIndex - PreTriggerShare(d.m_Settings.m_dTriggerPosition, d.m_Settings.m_nRecordLength);
  }

  // 4. The settings follow the time base the record was measured with: once a record at a newly
  // requested index arrives, that index is the current one (the recording command, the snapshot
  // and the saved scopes read the current rate).
  if (props.GetTimeBaseIndex() != d.m_Settings.GetTimeBaseIndex())
    props.SetTimeBaseIndex(d.m_Settings.GetTimeBaseIndex(), TRUE, FALSE);

  // The segmented engine records (all cylinders, double coil) hold one segment per cylinder the engine read
  // them for: the chart and the cursors divide them by that count.
  const measure::MeasureType type = GetMeasureType().Type();
  if (measure::IsSegmented(type)) GetMeasureType().m_nSegmentCount.store(m_pEngine->GetCylinderCount());

  // 5. The traces.
  if (mode != 0) CMeasureEngine::EqualizeChannelSignals(r);
  const double rate = d.m_Settings.m_TimeBase.GetValueOrZero();
  int dropped[2] = {0, 0};
  for (int ch = 0; ch < 2; ++ch) {
    CMeasure* trace = DisplayTrace(ch);
    if (!trace) continue;
    const CSignalData& source = r.m_Signal[ch];
    const int multiplier = trace->m_nMultiplier;  // the display's inversion belongs to the trace
    if (reset) {
      trace->Reset();
      if (mode != 0) trace->SetSize(kRollingPoints);
    }
    if (mode == 0) {
      static_cast<CSignalData&>(*trace) = source;
    } else {
      trace->Append(source, kRollingPoints, wanted, &dropped[ch]);
      trace->m_dUpperLimit = multiplier == -1 ? -source.m_dLowerLimit : source.m_dUpperLimit;
      trace->m_dLowerLimit = multiplier == -1 ? -source.m_dUpperLimit : source.m_dLowerLimit;
      trace->m_nUpperRaw = source.m_nUpperRaw;
      trace->m_nLowerRaw = source.m_nLowerRaw;
    }
    trace->m_nMultiplier = multiplier;
    trace->SetTimeBase(rate);
    trace->m_dReserved = 0.0;
    trace->m_pScale = &GetOscScale().m_Vertical[ch];
    trace->FindMinMax();

    CChannelProps& shown = d.m_Settings.m_Channels[ch];
    if (shown.m_nMarkWord & 1) {
      shown.m_nMarkWord &= ~1;
      r.m_Settings.m_Channels[ch].m_nMarkWord &= ~1;
      props.UpdateChannelVoltScale(ch, TRUE, props.m_Channels[ch].m_nPosition);
      shown.m_dAxisBottom = props.m_Channels[ch].m_dAxisBottom;
      shown.m_dAxisTop = props.m_Channels[ch].m_dAxisTop;
    }
  }

  // 6. Mode 2 counts the samples still wanted after the recording trigger.
  if (mode == 2) {
    if (d.m_bTriggered) {
      d.m_nTriggerIndex -= dropped[0];
    } else if (r.m_bTriggered) {
      d.m_bTriggered = 1;
      const CMeasure* a = DisplayTrace(0);
      d.m_nTriggerIndex = r.m_nTriggerIndex - r.m_Signal[0].GetCount() + (a ? a->GetCount() : 0);
    }
    if (d.m_bTriggered &&
        d.m_nTriggerIndex <= PreTriggerShare(d.m_Settings.m_dTriggerPosition, d.m_Settings.m_nRecordLength))
      answer = 0;
  }

  // 7. The settings changed meanwhile go back with the record for the next measurement.
  if (code == OSC_RECORD) {
    CopySettings(props, r.m_Settings, true, true);
    r.m_Settings.SetTimeBaseIndex(r.m_Settings.m_nRequestedTimeBaseIndex, FALSE, FALSE);
    if (d.m_bTriggered && wanted > 0 && wanted <= r.m_Settings.m_nRollSampleCount) r.m_Settings.m_nRollSampleCount = 0;
  }

  // 8. Chart, rulers and panels repaint through the hub.
  ::PostMessage(m_hWnd, WM_OSCCOMMAND, 26, mode == 0 ? 0 : dropped[0]);
  m_settingsFresh = 0;
  return answer;
}

void CWndOsc::HandleError(MeterResult* result) {
  if (!result) return;
  // A run stopped meanwhile reports nothing: its last start may have met the board already at work
  // for the pane shown instead of the scope.
  if (m_bStopAsked) {
    m_ReadRestarts.OnGoodRecord();
    return;
  }
  if (result->m_nStatus == 7 && m_ReadRestarts.OnReadFailure()) {
    StartMeasurement(*m_pEngine);
    return;
  }
  m_ReadRestarts.OnGoodRecord();
  LogOscError(*result);
  ::PostMessage(m_hWnd, WM_OSCMEASURE, OSC_RUN_ENDED, 0);
}

void CWndOsc::LogOscError(const MeterResult& result) {
  AppendOscErrorLog(m_strLogPath.c_str(), result.m_nStatus, result.m_Lines);
  ::MessageBox(m_hWnd, kOscErrorBoxText, nullptr, MB_ICONEXCLAMATION);
}

// ---- WM_OSCCOMMAND ------------------------------------------------------------------------------

void CWndOsc::RefreshDisplaySettings() {
  OscMeasureRecord& d = GetCursorSettings();
  CopySettings(GetGlobalProps(), d.m_Settings, false, false);
  for (int ch = 0; ch < 2; ++ch) {
    d.m_Settings.m_Channels[ch].ClearChanges();
    Notify(notify::kFromScopePane, notify::kChannelShown, ch);
  }
  d.m_Settings.m_TimeBase.m_nSelected = d.m_Settings.m_nRequestedTimeBaseIndex;
}

LRESULT CWndOsc::OnMsgOscCommand(int code, LPARAM value) {
  if (code == 0) {
    RefreshDisplaySettings();
  } else if (code == 26) {
    Notify(notify::kFromAnyone, notify::kNewRecord, static_cast<int>(value));
  }
  return 1;
}

// ---- the hub -------------------------------------------------------------------------------------

void CWndOsc::Notify(notify::Sender sender, notify::Code code, int value) {
  NotifySystem(sender, code, value);
}

void CWndOsc::Forward(notify::Sender sender, notify::Code code, int value, int count) {
  for (int i = 0; i < count; ++i)
    if (m_pTargets[i]) m_pTargets[i]->OnSystemNotify(sender, code, value);
}

void CWndOsc::OnSystemNotify(notify::Sender sender, notify::Code code, int value) {
  GlobalProps& props = GetGlobalProps();
  // 1. The main window closes.
  if (code == notify::kQuit) {
    Quit();
    return;
  }
  // 2. Restart, run started, position update.
  if (code == notify::kTriggerModeChanged && sender != notify::kFromSnapshot) StartMeasurement(*m_pEngine);
  if (code == notify::kRunStarted) GetCursorSettings().m_bTriggered = 0;
  if (code == notify::kRunStopped && sender == notify::kFromEngineStop) m_bStopAsked = true;
  if (code == notify::kNewRecord) {
    ProbeCheck();
    if (m_pView) {
      m_pView->SetTimeRulerFromScale();
      m_pView->RepaintTimeRuler();
    }
    Forward(sender, code, value, NOTIFY_MINIMIZE_PANEL);
    if (m_pView)
      m_pView->RepaintStrips(IScopeView::STRIP_BOTTOM | IScopeView::STRIP_TOP | IScopeView::STRIP_MEASURES);
    return;
  }
  // 3. A changed setting restarts the run by the roll and trigger modes.
  bool rulerDone = false;
  if (RestartsOnSettingChange(sender, code, props.m_nSlowRateModifier, props.m_nTriggerMode)) {
    StartMeasurement(*m_pEngine);
    if (props.m_nSlowRateModifier == 0 && props.m_nTriggerMode == 1 && m_pView) {
      m_pView->SetTimeRulerFromScale();
      m_pView->RepaintTimeRuler();
      rulerDone = true;
    }
  }
  // 4. The time scale changed.
  if (!rulerDone && (code == notify::kZoomChanged || code == notify::kTimeBaseChanged || code == notify::kSettingsReplaced) && m_pView) {
    m_pView->SetTimeRulerFromScale();
    m_pView->RepaintTimeRuler();
  }
  // 5. Every child hears it.
  Forward(sender, code, value, NOTIFY_SLOT_COUNT);
  // 6. Repaint.
  RepaintByCode(sender, code);
}

void CWndOsc::RepaintByCode(notify::Sender sender, notify::Code code) {
  const HubRepaint repaint = RepaintForCode(sender, code);
  if (repaint == HubRepaint::SavedScopeStrips) {
    m_options = SavedScopeHoldsScreen(0) ? (m_options | OPT_SAVED_CD) : (m_options & ~OPT_SAVED_CD);
    m_options = SavedScopeHoldsScreen(1) ? (m_options | OPT_SAVED_EF) : (m_options & ~OPT_SAVED_EF);
  }
  if (!m_pView) return;
  switch (repaint) {
    case HubRepaint::Strips:
      m_pView->RepaintStrips(IScopeView::STRIP_BOTTOM | IScopeView::STRIP_TOP | IScopeView::STRIP_MEASURES);
      break;
    case HubRepaint::Measures:
      m_pView->RepaintStrips(IScopeView::STRIP_MEASURES);
      break;
    case HubRepaint::RedrawAll:
      m_pView->RedrawAll();
      break;
    case HubRepaint::SavedScopeStrips:
      m_pView->ShowByOptions(m_options);
      m_pView->LayoutChildren();
      m_pView->RedrawAll();
      break;
    case HubRepaint::None:
      break;
  }
}

void CWndOsc::ProbeCheck() {
  GlobalProps& props = GetGlobalProps();
  OscMeasureRecord& d = GetCursorSettings();
  const int trigger = d.m_Settings.m_nTriggerChannel;
  if (d.m_Settings.IsValidChannel(trigger) && !d.m_Settings.m_Channels[trigger].m_bEnabled) {
    StopMeasurement(*m_pEngine);
    ::MessageBox(m_hWnd, props.GetText(kProbeMissingText), nullptr, MB_ICONEXCLAMATION);
    // The stop ends the run, and an autoset in it with no result, as when the engine ends a run.
    // Posted: an autoset record may still be on its way through the autoset panel.
    if (props.m_bAutosetActive) ::PostMessage(m_hWnd, WM_OSCMEASURE, OSC_RUN_ENDED, 0);
  }
  bool restart = false;
  for (int ch = 0; ch < 2; ++ch) {
    CChannelProps& shown = d.m_Settings.m_Channels[ch];
    CChannelProps& setting = props.m_Channels[ch];
    // A record taken before its settings were complete carries no range table and no change
    // mark: it says nothing about the probe, and must not wipe the user's ranges.
    if (shown.m_Ranges.GetSize() == 0 && shown.m_Ranges.m_nChangeMark == 0) {
      Notify(notify::kFromScopePane, notify::kChannelShown, ch);
      continue;
    }
    if (shown.m_Ranges.m_nChangeMark != 0 || !SameRangeTable(shown.m_Ranges, setting.m_Ranges)) {
      shown.m_Ranges.m_nChangeMark = 0;
      setting.m_Ranges.CopyFrom(shown.m_Ranges);
      setting.m_nRangeIndex = shown.m_nRangeIndex;
      props.UpdateChannelVoltScale(ch, TRUE, setting.m_nPosition);
      shown.m_dAxisBottom = setting.m_dAxisBottom;
      shown.m_dAxisTop = setting.m_dAxisTop;
      props.UpdateTriggerScale();
      int bits = 0;
      for (int c = 0; c < 2; ++c)
        if (props.m_Channels[c].m_nModeEnable && props.m_Channels[c].m_bEnabled) bits |= 1 << c;
      props.m_nShownChannels = bits;
      const int requested = shown.m_nRequestedRangeIndex;
      if (requested >= 0 && requested < shown.m_Ranges.GetSize() && requested != shown.m_nRangeIndex) {
        props.SetChannelRangeIndex(ch, requested, FALSE, FALSE);
        restart = true;
      }
      // Only a new probe is news: the same table in every record repaints nothing.
      Notify(notify::kFromScopePane, notify::kChannelShown, ch);
    }
  }
  if (restart && props.m_nSlowRateModifier != 0) StartMeasurement(*m_pEngine);
}

// The program ends: stop without waiting blind on a thread that may be sending to this window,
// then leave the board with the widest ranges and the normal acquisition mode.
void CWndOsc::Quit() {
  StopMeasurement(*m_pEngine);
  m_pEngine->StopAcquisitionThread();
  GlobalProps& props = GetGlobalProps();
  for (int ch = 0; ch < 2; ++ch) {
    props.SetChannelRangeIndex(ch, 0, FALSE, FALSE);
    props.m_Channels[ch].TakeProbeChangeMark();
  }
  CStringArrayEx lines;
  m_pEngine->ApplyDeviceSettings(props, lines);
  m_pEngine->SetAcquisitionMode(0);
}

// ---- autoset -------------------------------------------------------------------------------------

void CWndOsc::StartAutoset() {
  if (m_pAutoset && m_pAutoset->Start() == 1) {
    if (m_pView) m_pView->ApplyAutosetVisibility(true, m_options);
    StopMeasurement(*m_pEngine);
    StartMeasurement(*m_pEngine);
    return;
  }
  FinishAutoset(nullptr);
}

void CWndOsc::FinishAutoset(AcquisitionRecord* record) {
  if (m_pAutoset) m_pAutoset->Finish(record);
  GetGlobalProps().m_bAutosetActive = 0;
  if (m_pView) m_pView->ApplyAutosetVisibility(false, m_options);
}

}  // namespace scope
