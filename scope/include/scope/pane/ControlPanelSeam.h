// The seam between the scope pane and its control panel: what the pane asks of the panel window
// ("WndControlPanel", id 1008). The pane is given its panel when it is made: the program's
// (ProgramControlPanel.h), or in tests a stand-in of the same name and id.
#pragma once

#include <scope/ScopeNotify.h>

#include <platform/afxwin.h>

namespace scope {

class CWndOscPane;

class IScopeControlPanel {
 public:
  virtual ~IScopeControlPanel() = default;

  virtual CWnd& Window() = 0;
  // Creates the panel as a hidden child of the pane with the given id; FALSE on failure.
  virtual BOOL CreatePanel(CWnd* pane, UINT id) = 0;
  // The pane hands itself over right after construction.
  virtual void SetPane(CWndOscPane* pane) = 0;
  virtual IScopeNotifyTarget* NotifyTarget() = 0;
  // Repaints the panel at once.
  virtual void Repaint() = 0;
  // The pane became the shown one: the controls' faces and states from the settings.
  virtual void Refresh() = 0;
  // The dock button of the undocked panel.
  virtual void ShowDockButton(bool show) = 0;
  // The ten F-keys and ten Ctrl+F-keys of the custom setting slots.
  virtual void RegisterHotKeys() = 0;
  virtual void UnregisterHotKeys() = 0;

  // ---- recording, as the pane's tab change sees it -------------------------------------------
  // Ends a running recording (the question whether to view it included).
  virtual void StopRecording() = 0;
  // The board itself records (the pane stops its measurement on a tab change).
  virtual bool IsBoardRecording() const = 0;
  // Stops the board's measurement on the active path and clears the board-recording flag.
  virtual void StopBoardRecording() = 0;
  // On activation: restores the channel option the recording start changed on the engine-tester
  // board when the board-recording flag is set, and clears the flag.
  virtual void RestoreBoardRecordingOption() = 0;
  // The user chose to view the last recording.
  virtual bool IsRecordToView() const = 0;
  virtual void ClearRecordToView() = 0;
  virtual void ClearRecordList() = 0;

  // ---- presets ---------------------------------------------------------------------------------
  virtual void ApplyPreset() = 0;    // the current measure type's snapshot or built-in preset
  virtual void CapturePreset() = 0;  // the current settings kept for the current measure type
  virtual void ResetPresetState() = 0;

 protected:
  IScopeControlPanel() = default;
};

}  // namespace scope
