// The seam between the scope pane and its control panel: what the pane asks of the panel window
// ("WndControlPanel", id 1008), and the factory that makes it. The program binds the real panel;
// until then, and in tests that need no panel, a plain stand-in window of the same name and id
// takes its place, so the pane builds and lays out without it.
#pragma once

#include <scope/ScopeNotify.h>

#include <ui/XPWndBaseColor.h>

#include <functional>
#include <memory>

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

using ControlPanelFactory = std::function<std::unique_ptr<IScopeControlPanel>()>;
// The program's control panel (an empty factory: the stand-in).
void SetControlPanelFactory(ControlPanelFactory factory);
std::unique_ptr<IScopeControlPanel> MakeControlPanel();

// A plain panel window: the scheme's panel colour, no controls, no recording. Its auto-hide timer
// slides an undocked panel out as the real panel's does.
class CStandInControlPanel : public CXPWndBaseColor, public IScopeControlPanel, public IScopeNotifyTarget {
 public:
  enum : UINT { kTimerAutoHide = 3 };

  CWnd& Window() override { return *this; }
  BOOL CreatePanel(CWnd* pane, UINT id) override;
  void SetPane(CWndOscPane* pane) override { m_pPane = pane; }
  IScopeNotifyTarget* NotifyTarget() override { return this; }
  void Repaint() override { Redraw(); }
  void Refresh() override { ++m_nRefreshes; }
  void ShowDockButton(bool) override {}
  void RegisterHotKeys() override {}
  void UnregisterHotKeys() override {}
  void StopRecording() override {}
  bool IsBoardRecording() const override { return false; }
  void StopBoardRecording() override {}
  void RestoreBoardRecordingOption() override {}
  bool IsRecordToView() const override { return false; }
  void ClearRecordToView() override {}
  void ClearRecordList() override {}
  void ApplyPreset() override {}
  void CapturePreset() override {}
  void ResetPresetState() override { ++m_nPresetResets; }
  void OnSystemNotify(int, int, int) override {}

  void OnTimer(UINT_PTR id) override;

  int m_nRefreshes = 0;
  int m_nPresetResets = 0;

 private:
  CWndOscPane* m_pPane = nullptr;
};

}  // namespace scope
