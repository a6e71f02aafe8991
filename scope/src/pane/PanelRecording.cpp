#include <scope/pane/PanelRecording.h>

#include <scope/ScopeState.h>

#include "PanelTraces.h"

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/TextIds.h>

#include <kv310/Kv310.h>

#include <platform/afxwin.h>

namespace scope {

void CPanelRecording::OnRecordButton() {
  GlobalProps& p = GetGlobalProps();
  if (GetScopeState().ScopeRecording) {
    Stop();
    return;
  }
  if (!p.m_bRunning) {
    m_Owner.ShowMessage(p.GetText(kTextRecordNeedsRunning), MB_ICONEXCLAMATION);
  } else if (p.m_nSlowRateModifier == 1) {
    Start();
  } else if (p.m_nSlowRateModifier == 2) {
    m_Owner.ShowMessage(p.GetText(kTextRecordNeedsNoTrig), MB_ICONEXCLAMATION);
  } else if (p.m_nTriggerMode == 1) {
    Start();
  } else {
    m_Owner.ShowMessage(p.GetText(kTextRecordNeedsAuto), MB_ICONEXCLAMATION);
  }
}

int CPanelRecording::FailStart() {
  m_Owner.ShowMessage(GetGlobalProps().GetText(kTextRecordStartFailed), MB_ICONEXCLAMATION);
  m_Records.ClearRecordList();
  return 0;
}

void CPanelRecording::EnterRunning() {
  m_Owner.DisableAllControls();
  m_Owner.StartBlinking();
  GetScopeState().ScopeRecording = 1;
}

int CPanelRecording::Start() {
  GlobalProps& p = GetGlobalProps();
  ScopeState& state = GetScopeState();
  const measure::MeasureType type = GetMeasureType().Type();
  const double rate = p.m_TimeBase.GetValueOrZero();
  const bool noRecorderType = measure::IsTesterSetUp(type) || measure::IsBeyondLast(type);
  const bool through = !noRecorderType && (p.m_TimeBase.m_nSelected < 0 || rate <= kRecorderRateLimit);
  const int roll = p.m_nSlowRateModifier;

  // A recording needs at least one channel.
  if (p.m_Channels[0].m_nModeEnable != 1 && p.m_Channels[1].m_nModeEnable != 1) return FailStart();
  state.RecordingThroughRecorder = through ? 1 : 0;
  m_Records.ClearRecordList();
  for (int ch = 0; ch < 2; ++ch) {
    const CChannelProps& c = p.m_Channels[ch];
    if (c.m_nModeEnable != 1) continue;
    ScopeRecordFields f;
    f.m_nChannel = ch;
    f.m_crColor = GetSchemeColor(m_Records.GetRecordCount());
    f.m_nPenStyle = 2;
    f.m_nRollMode = roll;
    f.m_nRingCapacity = (roll != 0 || !through) ? kDirectRingCapacity : 0;
    f.m_bThroughRecorder = through ? 1 : 0;
    f.m_bAngleMode = GetMeasureType().m_nAngleMode;
    f.m_nUnit = c.GetUnit();
    f.m_dSampleRate = rate;
    const double range = c.m_bEnabled ? c.GetRangeValue() : 0.0;
    const double scale = c.m_Ranges.m_dScale != 0.0 ? c.m_Ranges.m_dScale : 1.0;
    f.m_dPerDivision = range * 2 * 0.0625 / scale;
    f.m_dFullScale = range;
    f.m_Coupling = c.GetCoupling();
    f.m_bTransferPending = 1;
    m_Records.AddRecord(f);
  }

  if (!through || roll != 0) {
    m_Records.StartRecorderFeed();
    EnterRunning();
    return 1;
  }

  // Through the recorder: the scope stops and the link must become ready.
  m_Device.StopMeasurement();
  bool ready = false;
  for (int poll = 0; poll < 10; ++poll) {
    if (m_Library.GetLinkState() == kv310::kLinkIdle) {
      ready = true;
      break;
    }
    m_Library.Sleep(200);
  }
  if (!ready) return FailStart();
  for (int ch = 0; ch < 2; ++ch)
    if (CMeasure* t = DisplayTrace(ch)) t->Reset();
  const bool mt = m_Device.IsEngineTesterPath();
  m_bDeviceSavedEngineTester = mt;
  m_Device.GetAll(mt, m_SavedDevice);
  m_bProbeOptionSaved = mt && m_Library.GetProbeOption(1, m_nSavedProbeOption) == 0;
  int oldMode = 0;
  if (m_Library.GetAcquisitionMode(mt, oldMode) != 0 || m_Library.SetAcquisitionMode(mt, 0) != 0) {
    m_bProbeOptionSaved = 0;
    return FailStart();
  }
  m_Records.SetOldAcquisitionMode(mt, oldMode);
  state.DeviceSettingsSaved = 1;
  if (m_Library.StartContinuous(mt) != 0) {
    // The acquisition mode already changed: the old mode and the saved settings go back.
    m_Library.SetAcquisitionMode(mt, oldMode);
    RestoreSavedDevice();
    return FailStart();
  }
  m_bBoardRecording = 1;
  EnterRunning();
  SaveDisplayFlags(false, true);
  return 1;
}

int CPanelRecording::Stop() {
  GlobalProps& p = GetGlobalProps();
  ScopeState& state = GetScopeState();
  m_Owner.StopBlinking();
  m_nBlink = 0;
  state.ScopeRecording = 0;
  m_Owner.EnableAllControls();
  const bool mt = m_bDeviceSavedEngineTester != 0;
  if (state.RecordingThroughRecorder && p.m_nSlowRateModifier == 0) {
    SaveDisplayFlags(true, true);
    int samples = 0;
    if (m_Library.StopContinuous(mt, samples) != 0) {
      m_Owner.ShowMessage(p.GetText(kTextRecordLostOnStop), MB_ICONEXCLAMATION);
      m_Records.ClearRecordList();
    } else {
      m_bBoardRecording = 0;
      const int n = m_Records.GetRecordCount();
      if (n > 0) m_Records.SizeRecords(samples / n);
    }
  } else {
    m_Records.StopRecorderFeed();
  }
  m_Owner.RedrawRecordButton();
  const int answer = m_Owner.ShowMessage(p.GetText(kTextViewRecordQuestion), MB_ICONQUESTION | MB_YESNO);
  if (answer == IDYES) {
    // The records are in no file yet: their saved flag stays clear.
    m_bRecordWaiting = 1;
    if (CWnd* main = AfxGetMainWnd()) main->PostMessage(WM_SELECTTAB, 6, 0);
    return 1;
  }
  m_Records.ClearRecordList();
  if (state.DeviceSettingsSaved) RestoreSavedDevice();
  if (p.m_nSlowRateModifier == 0) m_Device.StartMeasurement();
  return 1;
}

void CPanelRecording::RestoreSavedDevice() {
  const bool mt = m_bDeviceSavedEngineTester != 0;
  m_Device.SetAll(mt, m_SavedDevice);
  if (mt && m_bProbeOptionSaved) m_Library.SetProbeOption(1, m_nSavedProbeOption);
  m_bProbeOptionSaved = 0;
  GetScopeState().DeviceSettingsSaved = 0;
}

void CPanelRecording::StopBoardRecording() {
  if (m_bBoardRecording) {
    int samples = 0;
    m_Library.StopContinuous(m_bDeviceSavedEngineTester != 0, samples);
  }
  m_bBoardRecording = 0;
}

void CPanelRecording::RestoreBoardRecordingOption() {
  if (m_bProbeOptionSaved && m_Device.IsEngineTesterPath()) m_Library.SetProbeOption(1, m_nSavedProbeOption);
  m_bProbeOptionSaved = 0;
}

void CPanelRecording::SaveDisplayFlags(bool restore, bool useSaved) {
  GlobalProps& p = GetGlobalProps();
  for (int i = 0; i < GlobalProps::STYLE_COUNT; ++i) {
    int& flags = p.m_Styles[i].m_nFlags;
    if (restore) {
      if (useSaved) flags = (flags & ~1) | (m_SavedDisplayBits[i] & 1);
    } else {
      m_SavedDisplayBits[i] = flags & 1;
      if (useSaved) flags &= ~1;
    }
  }
}

}  // namespace scope
