#include <scope/SnapshotCapture.h>

namespace scope {

SettingsSnapshot CaptureSettingsSnapshot(const CMeasureProps& props, const CapturePanelState& panel,
                                         const DeviceBlock* activeBlock, const int* recordingMode) {
  SettingsSnapshot s;
  s.m_dTriggerPosition = props.m_dTriggerPosition;
  s.m_nLevel = props.m_nTriggerLevel;
  s.m_nEdge = props.m_nTriggerEdge;
  s.m_nTriggerMode = props.m_nTriggerMode;
  s.m_nRollMode = props.m_nSlowRateModifier;
  s.m_nSource = props.m_nTriggerSourceKind;
  s.m_nSensitivity = props.m_nTriggerFilter;  // "Full" / "Noise"; the derived sensitivity value is not stored
  for (size_t ch = 0; ch < 2; ++ch) {
    const CChannelProps& c = props.m_Channels[ch];
    s.m_nRange[ch] = c.m_nRangeIndex;
    s.m_nPosition[ch] = c.m_nPosition;
    s.m_nCoupling[ch] = c.m_nCoupling;
    if (panel.m_bBoardPath) {
      s.m_nOn[ch] = panel.m_nOn[ch];
      s.m_nProbeWanted[ch] = panel.m_nProbeKind[ch];
    } else {
      s.m_nOn[ch] = panel.m_bProbeOff[ch] ? 0 : 1;
      s.m_nProbeWanted[ch] = panel.m_bProbeOff[ch] ? 0 : panel.m_nProbeKind[ch];
    }
  }
  s.m_nTimeBaseIndex = props.GetTimeBaseIndex();
  s.m_nWindowOffset = panel.m_bDocked ? panel.m_nTimeAxisOffset : panel.m_nTimeAxisOffset / 2;
  s.m_nRunning = panel.m_nRunning;
  s.m_nZoom = panel.m_nZoom;
  s.m_nCursorsOn = panel.m_nCursorsOn;
  s.m_nInversion = panel.m_nInversion;
  if (activeBlock) {
    (panel.m_bBoardPath ? s.m_Board : s.m_EngineTester) = *activeBlock;
    CompleteDeviceAreas(s, panel.m_bBoardPath, recordingMode);
  }
  return s;
}

}  // namespace scope
