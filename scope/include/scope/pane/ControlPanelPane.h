// IControlPanelPane: what the scope's control panel asks of the pane it sits in (docking, the
// floating panel's slide, autoset, the pane's settings copy and its redraw). The program's panel
// behind the pane's seam answers it (ProgramControlPanel.cpp); tests hand their own.
#pragma once

namespace scope {

class IControlPanelPane {
 public:
  // Switches between the docked and the floating panel.
  virtual void ToggleDock() = 0;
  // Slides the floating panel in or out.
  virtual void OnMinimizeToggle() = 0;
  // The cursor panel or the measures strip, by the cursors switch.
  virtual void ShowMeasuresOrCursors() = 0;
  virtual bool IsAutosetRunning() const = 0;
  virtual void StartAutoset() = 0;
  // Ends a running autoset without a result.
  virtual void FinishAutoset() = 0;
  // The pane's settings copy refreshed from GlobalProps.
  virtual void RefreshPaneSettings() = 0;
  // The level markers' shown flags follow the channels' on states.
  virtual void UpdateChannelMarkers() = 0;
  // The pane's background, then every child at once.
  virtual void RedrawAll() = 0;

 protected:
  ~IControlPanelPane() = default;
};

}  // namespace scope
