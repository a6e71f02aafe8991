// What applying and capturing a settings snapshot asks of the rest of the program, as two
// interfaces so the rules in ApplySnapshot.h stay testable without windows or a board:
//
// - ISnapshotControls: the oscilloscope's control panel (the pane issue implements it on
//   CWndOsc_ControlPanel). The "Show..." members repaint a control's face from GlobalProps; they
//   never change a setting and never notify. The section members change which controls exist
//   for the measure type.
// - ISnapshotDevice: the acquisition engine and the measurement library, plus the program's
//   notification sink. CEngineSnapshotDevice (ApplySnapshot.h) is the real one.
//
// Everything is called on the GUI thread.
#pragma once

#include <scope/ScopeNotify.h>
#include <scope/Snapshot.h>

#include <platform/afx.h>

class CChannelProps;

namespace scope {

class ISnapshotControls {
 public:
  // ---- sections by measure type -------------------------------------------------------------
  // The engine-tester sections: the high-voltage title, the four cylinder buttons and channel
  // B's controls, shown for the high-voltage mode (non-zero) or hidden (0).
  virtual void ShowEngineTesterSections(int highVoltageMode) = 0;
  virtual void EnableAutoset(bool enable) = 0;     // "BtnAutoSet"
  virtual void EnableZoom(bool enable) = 0;        // "BtnZoom"
  virtual void ShowSynchro(bool show) = 0;         // "BtnSynchro"
  // "ChBOnOff": channel B's on/off button.
  virtual void ShowChannelBOnOff(bool show, bool enable) = 0;
  // The trigger controls (mode, source, edge, level, sensitivity) enabled or disabled.
  virtual void EnableTriggerControls(bool enable) = 0;

  // ---- faces repainted from GlobalProps -----------------------------------------------------
  virtual void ShowTriggerMode() = 0;
  virtual void ShowTriggerSource() = 0;
  virtual void ShowTriggerEdge() = 0;
  virtual void ShowSensitivity() = 0;
  virtual void ShowChannelMode(int channel) = 0;  // the coupling button of the channel
  virtual void RepaintInvertButton() = 0;         // "BtnInvert" from InvertState
  virtual void SetCursorButton(int on) = 0;       // "BtnCursor" pressed (1) or not (0)
  virtual void ShowZoom(int zoom) = 0;            // "BtnZoom" shows zoom state 0..3
  // The time-base control's list and range from the rate table; with `select` its position
  // follows the selected index.
  virtual void RebuildTimeScaleRange(int select) = 0;

  // ---- panel operations ---------------------------------------------------------------------
  // Engine-tester path: selects the probe for the channel that matches `probeWanted` (a probe
  // kind, 254 any probe of kind 2, 255 any of kind 3, 0 none), switching the channel on with it,
  // or off ("OFF") when no connected probe matches.
  virtual void SelectProbe(int channel, int probeWanted) = 0;
  // The probe button and range list of a channel, from its probe description in GlobalProps.
  virtual void RefreshProbeControls(int channel) = 0;
  // The on/off, range, position and coupling controls of both channels, from GlobalProps.
  virtual void RefreshChannelControls() = 0;
  // The scope pane's settings copy (the display record's) refreshed from GlobalProps.
  virtual void RefreshPaneSettings() = 0;
  // The scope pane chooses between the measures strip and the cursor panel.
  virtual void ShowMeasuresOrCursors() = 0;

  // ---- what a capture reads from the panel --------------------------------------------------
  // The text the probe button of a channel shows ("OFF" when the channel is switched off on the
  // engine-tester path).
  virtual CString GetProbeName(int channel) const = 0;
  // True while the control panel is docked beside the chart.
  virtual bool IsDocked() const = 0;
  virtual int GetZoom() const = 0;  // zoom state 0..3
  // The acquisition mode the panel saved when it started a recording through the recorder.
  virtual int GetRecordingAcquisitionMode() const = 0;

 protected:
  ~ISnapshotControls() = default;
};

class ISnapshotDevice {
 public:
  // An open measuring device; without one a snapshot only changes which sections are shown.
  virtual bool HasOpenDevice() const = 0;
  // The engine-tester oscilloscope is in use (its board is ready), else the board's.
  virtual bool IsEngineTesterPath() const = 0;
  // The spark coil type of the engine parameters (-1 unknown).
  virtual int GetCoilType() const = 0;
  // Board path: reads the channel's probe (GetProbeInfo); when the library gives one, applies it
  // to the channel's range table and reads the channel's range. Errors are dropped.
  virtual void ReadProbe(int channel, CChannelProps& props) = 0;
  // SetAll / GetAll of the path's oscilloscope with its twelve words and channel block.
  virtual bool SetAll(bool engineTester, const DeviceBlock& block) = 0;
  virtual bool GetAll(bool engineTester, DeviceBlock& block) = 0;
  // The program's RUN and STOP entry points (StartMeasurement / StopMeasurement in the core).
  virtual void StartMeasurement() = 0;
  virtual void StopMeasurement() = 0;
  // A notification to the program's system sink.
  virtual void Notify(notify::Sender sender, notify::Code code, int value = 0) = 0;

 protected:
  ~ISnapshotDevice() = default;
};

}  // namespace scope
