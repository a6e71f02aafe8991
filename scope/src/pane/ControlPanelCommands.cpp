// The control panel's commands: the button and spinner dispatchers, the refresh by notification,
// run/stop, zoom, inversion, the trigger and channel refreshes, probe selection, the cylinder
// buttons, the saved-scope buttons, the controls a recording locks, the timers and the hot keys.
// The recording itself is in PanelRecording.cpp, the file commands in PanelFiles.cpp.
#include <scope/pane/ControlPanel.h>

#include <scope/ApplySnapshot.h>
#include <scope/SavedScopeFill.h>
#include <scope/ScopeState.h>

#include "PanelTraces.h"

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/OscScale.h>
#include <core/ProbeKind.h>
#include <core/ResourceHolder.h>
#include <core/SavedScope.h>
#include <core/TextIds.h>

#include <kv310/Kv310.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr notify::Sender kUser = notify::kFromControlPanel;
constexpr const char kPrintRefused[] = "First you have to stop Oscilloscope";

using scope::DisplayTrace;
using scope::OccupiedSavedScopes;

}  // namespace

// ---- helpers -----------------------------------------------------------------------------------

void CWndOsc_ControlPanel::Notify(notify::Sender sender, notify::Code code, int value) { m_Device.Notify(sender, code, value); }

bool CWndOsc_ControlPanel::EngineTesterPath() const { return m_Device.IsEngineTesterPath(); }

void CWndOsc_ControlPanel::EnableControl(int id, bool enable) {
  if (CXPCtrlBtn* b = Button(id)) {
    b->data.enabled = enable ? 1 : 0;
    if (b->GetSafeHwnd()) b->EnableWindow(enable);
    b->Redraw();
  } else if (CRepeatCtrl* s = Spinner(id)) {
    if (s->GetSafeHwnd()) s->Enable(enable, TRUE);
    else s->record.enabled = enable ? 1 : 0;
  } else if (id == kDialogs && m_popup.GetSafeHwnd()) {
    m_popup.EnableWindow(enable);
  }
}

void CWndOsc_ControlPanel::ShowControl(int id, bool show) {
  CWnd* w = Control(id);
  if (w && w->GetSafeHwnd()) w->ShowWindow(show ? SW_SHOW : SW_HIDE);
}

int CWndOsc_ControlPanel::ShowMessage(const char* text, UINT type) {
  return ::MessageBox(GetSafeHwnd(), text, "KV310", type);
}

void CWndOsc_ControlPanel::RestartAutoHide() {
  if (!IsDocked() && GetSafeHwnd()) SetTimer(kTimerAutoHide, kAutoHideMs, nullptr);
}

// ---- button dispatcher -------------------------------------------------------------------------

void CWndOsc_ControlPanel::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  RestartAutoHide();
  GlobalProps& p = GetGlobalProps();
  const int v = data->value;
  const measure::MeasureType type = GetMeasureType().Type();
  switch (data->id) {
    case kTriggerUpDown:
      p.SetTriggerEdge(v);
      Notify(kUser, notify::kTriggerEdgeChanged);
      break;
    case kTriggerMode:
      p.SetTriggerMode(v);
      Notify(kUser, notify::kTriggerModeChanged);
      break;
    case kTriggerSource: {
      if (v == 2 || v == 3) {
        if (p.SetTriggerMode(0)) ShowTriggerMode();
        Notify(kUser, notify::kTriggerModeChanged);
      }
      p.SetTriggerSource(v, Send::Always);
      const int onB = (v == 1 || v == 3) ? 1 : 0;
      if (p.SetTriggerChannel(onB)) {
        p.SetTriggerLevelIndex(p.m_nTriggerLevel);
        Notify(kUser, notify::kTriggerChannelChanged);
      }
      ShowTriggerSource();
      RedrawNow(Button(kTriggerUpDown));
      break;
    }
    case kTriggerSensitiv:
      p.SetTriggerFilter(v);
      Notify(kUser, notify::kTriggerFilterChanged);
      break;
    case kRollMode:
      p.SetSlowRateModifier(v);
      Notify(kUser, notify::kRollModeChanged);
      break;
    case kChAMode:
    case kChBMode: {
      const int ch = data->id == kChAMode ? 0 : 1;
      if (p.m_Channels[ch].SetChannelMode(v)) Notify(kUser, notify::Nth(notify::kChannelModeA, ch));
      break;
    }
    case kChAOnOff:
    case kChBOnOff: {
      const int ch = data->id == kChAOnOff ? 0 : 1;
      if (EngineTesterPath()) {
        scope::GetScopeState().ChannelSwitchPending = 1;
        SetTimer(ch == 0 ? kTimerProbeA : kTimerProbeB, kProbeHoldMs, nullptr);
        EnableControl(data->id, false);
        SelectProbe(ch, 0, 0, 0);
        RefreshProbeControls(ch);
        Button(data->id)->Redraw();
        Notify(kUser, notify::kChannelOnOffA);
      } else if (p.SwitchChannel(ch, v)) {
        RefreshChannelControls();
        Notify(kUser, notify::Nth(notify::kChannelOnOffA, ch));
      }
      break;
    }
    case kBtnRun:
      RunStop();
      break;
    case kBtnZoom:
      Zoom(v);
      break;
    case kBtnCursor:
      p.m_bCursorsOn = v;
      p.SetCursorsOn(v);
      if (m_pPane) m_pPane->ShowMeasuresOrCursors();
      data->value = v;
      Button(kBtnCursor)->Redraw();
      Notify(kUser, notify::kCursorsShown);
      if (p.m_Styles[GlobalProps::STYLE_CURSOR_LEFT].m_dValue == 0.0 &&
          p.m_Styles[GlobalProps::STYLE_CURSOR_RIGHT].m_dValue == 0.0)
        Notify(kUser, notify::kCursorsPlaced);
      break;
    case kBtnAutoSet:
      if (m_Device.HasOpenDevice() && m_pPane) {
        if (m_pPane->IsAutosetRunning()) m_pPane->FinishAutoset();
        else m_pPane->StartAutoset();
      }
      break;
    case kBtnOpen:
      m_Files.OpenSignals();
      break;
    case kBtnSave:
      m_Files.SaveSignals();
      break;
    case kBtnDelete:
      DeleteSavedScopes();
      break;
    case kBtnPrint:
      PrintCommand();
      break;
    case kBtnCylFirst:
    case kBtnCylSecond:
    case kBtnCylThird:
    case kBtnCylFourth:
      m_Library.SetSelectedChannel(data->id - kBtnCylFirst + 1);
      RefreshCylinderButtons();
      break;
    case kBtnSynchro:
      m_Library.Synchronise(type == measure::MeasureType::kSecondaryDoubleCoil);
      break;
    case kBtnCSave:
      m_Files.CustomSettingsCommand(true);
      break;
    case kBtnCLoad:
      m_Files.CustomSettingsCommand(false);
      break;
    case kBtnRecord:
      m_Recording.OnRecordButton();
      break;
    case kBtnInvert:
      InvertCycle();
      Notify(notify::kFromAnyone, notify::kInversionChanged);
      break;
    case kBtnDock:
      ShowControl(kBtnDock, false);
      if (m_pPane) m_pPane->ToggleDock();
      break;
    default:
      break;
  }
}

void CWndOsc_ControlPanel::RunStop() {
  GlobalProps& p = GetGlobalProps();
  if (p.m_nSlowRateModifier != 0) {
    if (p.m_bRunning) {
      m_Device.StopMeasurement();
    } else {
      p.RequestRun();
      // The rolling screen with trigger re-arms its countdown.
      if (p.m_nSlowRateModifier == 2) p.SetSlowRateModifier(2, Send::Always);
      m_Device.StartMeasurement();
    }
  } else if (p.m_nTriggerMode == 0 || p.m_nTriggerMode == 1) {
    if (p.m_bRunning) m_Device.StopMeasurement();
    else m_Device.StartMeasurement();
  } else if (p.m_nTriggerMode == 2) {
    m_Device.StartMeasurement();  // re-arms a single shot
  }
  Button(kBtnRun)->Redraw();
}

void CWndOsc_ControlPanel::Zoom(int state) {
  if (!GetResourceHolder().SetZoomFactor(state)) return;
  const CStepScale& grid = GetTimeStepScale();
  const int o = GetOscScale().m_nHorizontalOffset;
  const int v = grid.m_nCurrentStep;
  const int t = grid.m_nSteps;
  int offset = 0;
  switch (state) {
    case 0:
      offset = IsDocked() ? 5 : 10;
      break;
    case 1:
      offset = static_cast<int>(o * 2.5);
      if (offset + v >= t) offset = t - v;
      break;
    case 2:
      offset = static_cast<int>(o * 2.0);
      if (offset + v >= t) offset = t - v;
      break;
    case 3: {
      int z = static_cast<int>(o / 5.0 + 0.5);
      if (z + v >= 2 * t) z = 2 * t - v;
      m_nZoom3Offset = z;
      offset = 0;
      break;
    }
    default:
      return;
  }
  offset = std::max(0, offset);
  GetOscScale().SetTimeOffset(offset);
  GetGlobalProps().RecomputeTimeBase(TRUE, FALSE);
  ShowZoom(state);
  RebuildTimePosRange();
  Notify(kUser, notify::kZoomChanged);
}

void CWndOsc_ControlPanel::InvertCycle() {
  GlobalProps& p = GetGlobalProps();
  const int next = (scope::GetScopeState().InvertState + 1) & 3;
  const bool a = next == 1 || next == 3;
  const bool b = next == 2 || next == 3;
  p.m_Channels[0].m_bInverted = a;
  p.m_Channels[1].m_bInverted = b;
  if (CMeasure* t = DisplayTrace(0)) t->m_nMultiplier = a ? -1 : 1;
  if (CMeasure* t = DisplayTrace(1)) t->m_nMultiplier = b ? -1 : 1;
  scope::GetScopeState().InvertState = next;
  Button(kBtnInvert)->Redraw();
  Notify(kUser, notify::kRedrawAll);
}

// ---- spinner dispatcher ------------------------------------------------------------------------

void CWndOsc_ControlPanel::OnValueChanged(NumericOptionRecord* record, CRepeatCtrl* control) {
  RestartAutoHide();
  if (!record || !control) return;
  GlobalProps& p = GetGlobalProps();
  const int value = static_cast<int>(std::lround(record->value));
  const measure::MeasureType type = GetMeasureType().Type();
  switch (control->GetDlgCtrlID()) {
    case kTriggerPos: {
      const double converted = p.SetTriggerPosition(record->value);
      Notify(kUser, notify::kTriggerPositionChanged, static_cast<int>(converted));
      break;
    }
    case kTriggerLevel:
      p.SetTriggerLevelIndex(value);
      Notify(kUser, notify::kTriggerLevelChanged);
      break;
    case kChAScale:
    case kChBScale: {
      const int ch = control->GetDlgCtrlID() == kChAScale ? 0 : 1;
      // The trigger level keeps its value in volts across the range change.
      const double volts = p.m_TriggerLevelMap.ToValue(p.m_nTriggerLevel);
      p.SetChannelRangeIndex(ch, value, TRUE, TRUE);
      const int step = static_cast<int>(std::lround(p.m_TriggerLevelMap.ToStep(volts)));
      p.SetTriggerLevelIndex(step);
      Notify(kUser, notify::Nth(notify::kChannelRangeA, ch));
      break;
    }
    case kChAPos:
    case kChBPos: {
      const int ch = control->GetDlgCtrlID() == kChAPos ? 0 : 1;
      if (p.SetChannelPosition(ch, value)) Notify(kUser, notify::Nth(notify::kChannelPositionA, ch));
      break;
    }
    case kTimeScale: {
      if (measure::IsEngineTesterScreen(type)) {
        const int minimum = type == measure::MeasureType::kSecondaryAll ? 11 : 6;
        if (value < minimum) {
          record->value = minimum;
          control->Redraw();
          return;
        }
      }
      p.RequestTimeBaseIndex(value);
      if (!p.UpdateSlowRateTriggerMode()) {
        Notify(kUser, notify::kTimeBaseChanged);
        break;
      }
      if (!measure::IsEngineTesterScreen(type) && (p.m_nTriggerSourceKind == 2 || p.m_nTriggerSourceKind == 3)) {
        p.SetTriggerSource(p.m_nTriggerSourceKind - 2);
        ShowTriggerSource();
      }
      Notify(kUser, notify::kTimeBaseChanged);
      Notify(kUser, notify::kRollModeChanged);
      break;
    }
    case kTimePos:
      GetOscScale().SetTimeOffset(value);
      Notify(kUser, notify::kTimePositionChanged);
      break;
    default:
      break;
  }
}

// ---- notifications -----------------------------------------------------------------------------

void CWndOsc_ControlPanel::OnSystemNotify(notify::Sender sender, notify::Code code, int value) {
  GlobalProps& p = GetGlobalProps();
  switch (code) {
    case notify::kScopeInit:
      RebuildTimeScaleRange(1);
      RebuildScaleRanges(1, -1);
      RebuildTriggerLevelRange(1);
      RebuildPositionRange(-1);
      RefreshChannelControls();
      ApplyRollModeToTrigger();
      ShowRollMode();
      ShowTriggerMode();
      break;
    case notify::kRollModeChanged:
      ShowRollMode();
      ApplyRollModeToTrigger();
      break;
    case notify::kZoomChanged:
      RebuildTimePosRange();
      RebuildTimeScaleRange(0);
      break;
    case notify::kTriggerChannelChanged:
      RebuildTriggerLevelRange(1);
      Button(kTriggerUpDown)->Redraw();
      break;
    case notify::kChannelRangeA:
    case notify::kChannelRangeB:
      RebuildTriggerLevelRange(1);
      break;
    case notify::kRunStarted:
    case notify::kRunStopped:
      Button(kBtnRun)->Redraw();
      break;
    case notify::kChannelShown:
      RebuildScaleRanges(1, value);
      if (value == p.m_nTriggerChannel) RebuildTriggerLevelRange(1);
      RefreshChannelControls();
      break;
    case notify::kSignalFileOpened:
      Button(kBtnOpen)->Redraw();
      break;
    case notify::kShowCursors:
      if (!p.m_bCursorsOn) {
        p.SetCursorsOn(TRUE);
        p.m_bCursorsOn = 1;
        SetCursorButton(1);
        if (m_pPane) m_pPane->ShowMeasuresOrCursors();
        Notify(kUser, notify::kCursorsShown);
        Notify(kUser, notify::kCursorsPlaced);
        Notify(notify::kFromCursorPanel, notify::kCursorLeftMoved, GlobalProps::STYLE_CURSOR_LEFT);
        Notify(notify::kFromCursorPanel, notify::kCursorRightMoved, GlobalProps::STYLE_CURSOR_RIGHT);
      }
      break;
    case notify::kCylinderChanged:
      RefreshCylinderButtons();
      break;
    default:
      break;
  }
  if (sender == kUser) return;
  switch (code) {
    case notify::kTriggerPositionChanged: {
      CRepeatCtrl* s = Spinner(kTriggerPos);
      s->record.value = p.m_dTriggerPosition;
      s->Redraw();
      break;
    }
    case notify::kTriggerLevelChanged: {
      CRepeatCtrl* s = Spinner(kTriggerLevel);
      s->record.value = p.m_nTriggerLevel;
      s->Redraw();
      break;
    }
    case notify::kTriggerFilterChanged:
      ShowSensitivity();
      break;
    case notify::kTimePositionChanged:
      RebuildTimePosRange();
      break;
    case notify::kChannelRangeA:
    case notify::kChannelRangeB:
      RebuildScaleRanges(1, -1);
      RebuildTriggerLevelRange(1);
      break;
    case notify::kChannelPositionA:
    case notify::kChannelPositionB:
      RebuildPositionRange(notify::ToInt(code) - notify::ToInt(notify::kChannelPositionA));
      break;
    case notify::kSettingsReplaced:
      RebuildTimePosRange();
      RebuildTimeScaleRange(1);
      RebuildScaleRanges(1, -1);
      RebuildTriggerLevelRange(1);
      ShowChannelMode(0);
      ShowChannelMode(1);
      ShowTriggerMode();
      break;
    case notify::kRedrawAll:
      if (GetSafeHwnd()) {
        Redraw();
        for (int id = kTriggerPos; id <= kBtnDock; ++id)
          if (CWnd* w = Control(id)) RedrawNow(w);
      }
      break;
    case notify::kStopRecording:
      m_Recording.OnRecordButton();
      break;
    default:
      break;
  }
}

// ---- trigger and channel sections --------------------------------------------------------------

void CWndOsc_ControlPanel::ApplyRollModeToTrigger() {
  const int roll = GetGlobalProps().m_nSlowRateModifier;
  const bool enabled = roll != 1;
  for (int id : {kTriggerPos, kTriggerLevel, kTriggerUpDown, kTriggerSource, kTriggerSensitiv})
    EnableControl(id, enabled);
  ShowControl(kTriggerMode, roll == 0);
  ShowControl(kRollMode, roll != 0);
  if (m_titles[kTitleTrigger]) {
    if (m_titles[kTitleTrigger]->GetSafeHwnd())
      m_titles[kTitleTrigger]->SetWindowText(roll != 0 ? "TRIGGER MENU - ROLL" : "TRIGGER MENU");
  }
  CXPCtrlBtn* source = Button(kTriggerSource);
  source->data.min = 0;
  source->data.max = roll != 0 ? 1 : 3;
  ShowTriggerSource();
  if (m_titles[kTitleTrigger]) m_titles[kTitleTrigger]->Redraw();
}

void CWndOsc_ControlPanel::EnableTriggerControls(bool enable) {
  GlobalProps& p = GetGlobalProps();
  for (int id : {kTriggerPos, kTriggerLevel, kTriggerUpDown, kTriggerSource, kTriggerSensitiv, kTriggerMode, kRollMode})
    EnableControl(id, enable);
  int& a = p.m_Styles[GlobalProps::STYLE_TRIGGER_POSITION].m_nFlags;
  int& b = p.m_Styles[GlobalProps::STYLE_TRIGGER_LEVEL].m_nFlags;
  if (enable) {
    ApplyRollModeToTrigger();
    const bool shown = p.m_nSlowRateModifier != 1;
    a = shown ? (a | 1) : (a & ~1);
    b = shown ? (b | 1) : (b & ~1);
  } else {
    a &= ~1;
    b &= ~1;
  }
  if (m_titles[kTitleTrigger] && m_titles[kTitleTrigger]->GetSafeHwnd())
    m_titles[kTitleTrigger]->SetWindowText(p.m_nSlowRateModifier != 0 ? "TRIGGER MENU - ROLL" : "TRIGGER MENU");
  Notify(notify::kFromSnapshot, notify::kTriggerPositionChanged);
  if (m_titles[kTitleTrigger]) m_titles[kTitleTrigger]->Redraw();
}

void CWndOsc_ControlPanel::RefreshChannelControls() {
  if (m_pPane) m_pPane->UpdateChannelMarkers();
  if (EngineTesterPath()) {
    RefreshProbeControls(0);
    RefreshProbeControls(1);
    return;
  }
  GlobalProps& p = GetGlobalProps();
  for (int ch = 0; ch < 2; ++ch) {
    const CChannelProps& c = p.m_Channels[ch];
    const int onOff = ch == 0 ? kChAOnOff : kChBOnOff;
    Button(onOff)->data.value = c.m_nModeEnable;
    const bool show = c.m_nModeEnable == 1 && c.m_bEnabled;
    for (int id : {ch == 0 ? kChAScale : kChBScale, ch == 0 ? kChAPos : kChBPos, ch == 0 ? kChAMode : kChBMode})
      ShowControl(id, show);
    Button(onOff)->Redraw();
  }
}

void CWndOsc_ControlPanel::RefreshProbeControls(int channel) {
  const int ch = channel & 1;
  GlobalProps& p = GetGlobalProps();
  CChannelProps& c = p.m_Channels[ch];
  bool show = false;
  if (m_strProbe[ch] != "OFF") {
    c.SetChannelOption(1);
    show = c.m_bEnabled != 0;
  } else {
    c.SetChannelOption(0);
  }
  for (int id : {ch == 0 ? kChAScale : kChBScale, ch == 0 ? kChAPos : kChBPos, ch == 0 ? kChAMode : kChBMode})
    ShowControl(id, show);
  if (!show) m_strProbe[ch] = "OFF";
  Button(ch == 0 ? kChAOnOff : kChBOnOff)->Redraw();
  if (m_pPane) m_pPane->UpdateChannelMarkers();
}

void CWndOsc_ControlPanel::SelectProbe(int channel, int matchMode, int wanted, int keepStopped) {
  const int ch = channel & 1;
  GlobalProps& p = GetGlobalProps();
  const bool wasRunning = p.m_bRunning != 0;
  if (wasRunning) m_Device.StopMeasurement();
  // A read of the stopped run may still be pending on the link: the probe calls wait for it.
  m_Library.WaitLinkIdle();
  std::vector<scope::ProbeEntry> list;
  int rc = m_Library.ReadProbeList(ch, list);
  // A busy library is asked again 100 ms later, a bounded number of times.
  for (int tries = 0; rc == 8 && tries < kSelectProbeBusyRetries; ++tries) {
    m_Library.Sleep(100);
    list.clear();
    rc = m_Library.ReadProbeList(ch, list);
  }
  if (rc == 0) {
    int taken = -1;
    const int wantedKind = scope::WantedProbeKind(wanted);
    for (int i = 0; i < static_cast<int>(list.size()); ++i) {
      if (list[i].m_nKind == probekind::kNone) continue;
      if (matchMode ? list[i].m_nKind == wantedKind : i > m_nSelectedProbe[ch]) {
        taken = i;
        break;
      }
    }
    if (taken >= 0) {
      m_nSelectedProbe[ch] = taken;
      m_strProbe[ch] = list[taken].m_strName.c_str();
      m_Library.SelectProbeId(ch, list[taken]);
      if (CMeasure* t = DisplayTrace(ch)) t->Reset();
      RebuildScaleRanges(1, -1);
      p.MarkChannelChanged(ch, TRUE, TRUE);
      p.UpdateChannelVoltScale(ch, TRUE, -1);
      Notify(kUser, notify::Nth(notify::kChannelRangeA, ch));
    } else {
      m_strProbe[ch] = "OFF";
      m_nSelectedProbe[ch] = -1;
    }
  } else {
    m_strProbe[ch] = "OFF";
    m_nSelectedProbe[ch] = -1;
  }
  const measure::MeasureType type = GetMeasureType().Type();
  if (m_strProbe[0] != "OFF" || m_strProbe[1] != "OFF") {
    if (measure::AllowsAutoset(type)) EnableControl(kBtnAutoSet, true);
  } else {
    EnableControl(kBtnAutoSet, false);
  }
  if (wasRunning && !keepStopped) m_Device.StartMeasurement();
}

void CWndOsc_ControlPanel::RefreshCylinderButtons() {
  const int n = m_Library.GetSelectedChannel();
  if (n < 1 || n > 4) return;
  for (int i = 1; i <= 4; ++i) {
    CXPCtrlBtn* b = Button(kBtnCylFirst + i - 1);
    b->data.value = i == n ? 1 : 0;
    EnableControl(kBtnCylFirst + i - 1, i != n);
  }
}

void CWndOsc_ControlPanel::ShowEngineTesterSections(int mode) {
  ShowSections(mode);
  if (GetSafeHwnd()) RecalcLayout();
}

void CWndOsc_ControlPanel::ShowSections(int mode) {
  const measure::MeasureType type = GetMeasureType().Type();
  const bool boardPath = !EngineTesterPath();
  auto hideCylinders = [this] {
    if (m_titles[kTitleHighVoltage] && m_titles[kTitleHighVoltage]->GetSafeHwnd())
      m_titles[kTitleHighVoltage]->ShowWindow(SW_HIDE);
    for (int i = 0; i < 4; ++i) ShowControl(kBtnCylFirst + i, false);
  };
  if (boardPath && mode == 0 && !measure::IsExternallyTriggered(type)) {
    ShowControl(kChBOnOff, true);
    RefreshChannelControls();
    hideCylinders();
    return;
  }
  if (boardPath)
    for (int id : {kChBScale, kChBPos, kChBMode, kChBOnOff}) ShowControl(id, false);
  if (mode != 0) {
    const int n = GetMeasureType().m_nSegmentCount;
    if (n == 0 || n == 1) {
      hideCylinders();
    } else if (n >= 2 && n <= 4) {
      if (m_titles[kTitleHighVoltage] && m_titles[kTitleHighVoltage]->GetSafeHwnd())
        m_titles[kTitleHighVoltage]->ShowWindow(SW_SHOW);
      for (int i = 0; i < 4; ++i) ShowControl(kBtnCylFirst + i, i < n);
    }
    return;
  }
  hideCylinders();
  ShowControl(kChBOnOff, true);
  RefreshChannelControls();
}

void CWndOsc_ControlPanel::EnableAutoset(bool enable) { EnableControl(kBtnAutoSet, enable); }
void CWndOsc_ControlPanel::EnableZoom(bool enable) { EnableControl(kBtnZoom, enable); }
void CWndOsc_ControlPanel::ShowSynchro(bool show) { ShowControl(kBtnSynchro, show); }
void CWndOsc_ControlPanel::ShowChannelBOnOff(bool show, bool enable) {
  ShowControl(kChBOnOff, show);
  EnableControl(kChBOnOff, enable);
}
void CWndOsc_ControlPanel::RepaintInvertButton() { Button(kBtnInvert)->Redraw(); }
void CWndOsc_ControlPanel::SetCursorButton(int on) {
  Button(kBtnCursor)->data.value = on;
  Button(kBtnCursor)->Redraw();
}
void CWndOsc_ControlPanel::RefreshPaneSettings() {
  if (m_pPane) m_pPane->RefreshPaneSettings();
}
void CWndOsc_ControlPanel::ShowMeasuresOrCursors() {
  if (m_pPane) m_pPane->ShowMeasuresOrCursors();
}

// ---- saved scopes, print, files ----------------------------------------------------------------

void CWndOsc_ControlPanel::ReopenSavedScopeButton() {
  CXPCtrlBtn* b = Button(kBtnOpen);
  b->data.value = 1;
  EnableControl(kBtnOpen, true);
  if (OccupiedSavedScopes() == 0) EnableControl(kBtnDelete, false);
}

void CWndOsc_ControlPanel::ShowSavedScopeButtons() {
  for (int id : {kBtnOpen, kBtnSave, kBtnDelete, kBtnPrint}) ShowControl(id, true);
}

void CWndOsc_ControlPanel::DeleteSavedScopes() {
  const int n = OccupiedSavedScopes();
  if (n == 1) {
    scope::ClearAllSavedScopes();
    EnableControl(kBtnOpen, true);
    EnableControl(kBtnDelete, false);
    Notify(kUser, notify::kSavedScopesCleared);
  } else if (n >= 2) {
    for (int id : {kBtnOpen, kBtnSave, kBtnDelete, kBtnPrint}) ShowControl(id, false);
    if (m_popup.GetSafeHwnd()) {
      m_popup.ShowWindow(SW_SHOW);
      m_popup.Redraw();
    }
  }
}

void CWndOsc_ControlPanel::PrintCommand() {
  if (GetGlobalProps().m_bRunning) {
    ShowMessage(kPrintRefused, MB_ICONEXCLAMATION);
    return;
  }
  Notify(kUser, notify::kPrintChart);
}

// ---- recording: the controls it locks and the blinking record button ---------------------------

void CWndOsc_ControlPanel::DisableAllControls() {
  for (int id : {kChAOnOff, kChBOnOff, kChAScale, kChAPos, kChBScale, kChBPos, kChAMode, kChBMode, kTriggerUpDown,
                 kTriggerMode, kTriggerSource, kTriggerSensitiv, kRollMode, kBtnRun, kBtnZoom, kBtnAutoSet, kBtnCursor,
                 kBtnOpen, kBtnSave, kBtnDelete, kBtnPrint, kBtnCylFirst, kBtnCylSecond, kBtnCylThird, kBtnCylFourth,
                 kTriggerPos, kTriggerLevel, kTimeScale, kTimePos, kDialogs, kBtnSynchro, kBtnCSave, kBtnCLoad})
    EnableControl(id, false);
}

void CWndOsc_ControlPanel::EnableAllControls() {
  EnableControl(kRollMode, true);
  EnableControl(kTriggerMode, true);
  ApplyRollModeToTrigger();
  for (int id : {kChAOnOff, kChBOnOff, kChAScale, kChAPos, kChBScale, kChBPos, kChAMode, kChBMode, kBtnRun, kBtnZoom,
                 kBtnAutoSet, kBtnCursor, kBtnOpen, kBtnSave, kBtnDelete, kBtnPrint, kBtnCylFirst, kBtnCylSecond,
                 kBtnCylThird, kBtnCylFourth, kTimeScale, kTimePos, kDialogs, kBtnSynchro, kBtnCSave, kBtnCLoad})
    EnableControl(id, true);
  // The saved-scope buttons and the window position keep their own rules.
  if (OccupiedSavedScopes() == 0) EnableControl(kBtnDelete, false);
  if (OccupiedSavedScopes() >= 2) EnableControl(kBtnOpen, false);
  if (GetZoom() == 3) EnableControl(kTimePos, false);
}

void CWndOsc_ControlPanel::StartBlinking() { SetTimer(kTimerBlink, kBlinkMs, nullptr); }
void CWndOsc_ControlPanel::StopBlinking() { KillTimer(kTimerBlink); }
void CWndOsc_ControlPanel::RedrawRecordButton() { Button(kBtnRecord)->Redraw(); }

// ---- timers, mouse, hot keys -------------------------------------------------------------------

void CWndOsc_ControlPanel::OnTimer(UINT_PTR id) {
  switch (id) {
    case kTimerProbeA:
    case kTimerProbeB:
      KillTimer(id);
      EnableControl(id == kTimerProbeA ? kChAOnOff : kChBOnOff, true);
      break;
    case kTimerBlink:
      m_Recording.Blink();
      Button(kBtnRecord)->Redraw();
      break;
    case kTimerAutoHide:
      KillTimer(id);
      if (m_pPane) m_pPane->OnMinimizeToggle();
      break;
    default:
      CXPWndBaseColor::OnTimer(id);
  }
}

void CWndOsc_ControlPanel::OnMouseMove(UINT flags, CPoint point) {
  RestartAutoHide();
  CXPWndBaseColor::OnMouseMove(flags, point);
}

void CWndOsc_ControlPanel::RegisterHotKeys() {
  for (int k = 0; k < 10; ++k) ::RegisterHotKey(GetSafeHwnd(), k, 0, VK_F1 + k);
  for (int k = 0; k < 10; ++k) ::RegisterHotKey(GetSafeHwnd(), 10 + k, MOD_CONTROL, VK_F1 + k);
}

void CWndOsc_ControlPanel::UnregisterHotKeys() {
  for (int k = 0; k < 20; ++k) ::UnregisterHotKey(GetSafeHwnd(), k);
}

void CWndOsc_ControlPanel::OnHotKeyId(int id) {
  if (!GetSafeHwnd() || !IsWindowVisible()) return;
  // Ignored while a recording runs, while autoset runs and while a modal dialog or box has the
  // main window disabled.
  if (scope::GetScopeState().ScopeRecording) return;
  if (m_pPane && m_pPane->IsAutosetRunning()) return;
  if (CWnd* main = AfxGetMainWnd(); main && main->GetSafeHwnd() && !main->IsWindowEnabled()) return;
  if (id >= 0 && id <= 9) LoadCustomSet(id + 1);
  else if (id >= 10 && id <= 19) SaveCustomSet(id - 9);
}

LRESULT CWndOsc_ControlPanel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_HOTKEY) OnHotKeyId(static_cast<int>(wParam));
  return CXPWndBaseColor::WindowProc(message, wParam, lParam);
}
