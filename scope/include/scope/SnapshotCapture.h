// Capturing the current oscilloscope settings as a snapshot for a settings file or a custom slot:
// the settings object, what the control panel shows, and the device block the active path's
// GetAll read.
#pragma once

#include <scope/Snapshot.h>

#include <core/MeasureProps.h>

#include <array>

namespace scope {

// What the capture takes from the control panel.
struct CapturePanelState {
  bool m_bBoardPath = true;
  std::array<int, 2> m_nOn{};         // board path: the channels' on states
  std::array<int, 2> m_nProbeKind{};  // the channels' probe kinds
  std::array<bool, 2> m_bProbeOff{};  // engine-tester path: the channel button shows "OFF"
  int m_nTimeAxisOffset = 0;
  bool m_bDocked = true;
  int m_nZoom = 0;
  int m_nInversion = 0;  // InvertState
  int m_nRunning = 0;
  int m_nCursorsOn = 0;
};

// `activeBlock` is what the active path's GetAll read, null when it failed (both areas stay
// zero); `recordingMode` the acquisition mode saved at a recording start while a recording runs
// through the recorder.
SettingsSnapshot CaptureSettingsSnapshot(const CMeasureProps& props, const CapturePanelState& panel,
                                         const DeviceBlock* activeBlock, const int* recordingMode = nullptr);

}  // namespace scope
