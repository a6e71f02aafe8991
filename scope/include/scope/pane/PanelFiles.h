// CPanelFiles: the control panel's file commands. Signal files open into a saved scope and the
// shown traces save as one; the settings go to and come from a settings file or one of the ten
// custom slots (buttons and F-keys). Failures show their box and change nothing.
//
// It belongs to one CWndOsc_ControlPanel, which is the dialogs' parent and the controls the
// settings are shown on. Everything runs on the GUI thread.
#pragma once

#include <scope/SnapshotControls.h>

#include <string>

class CWndOsc_ControlPanel;

namespace scope {

class CPanelFiles {
 public:
  CPanelFiles(CWndOsc_ControlPanel& panel, ISnapshotDevice& device) : m_Panel(panel), m_Device(device) {}
  CPanelFiles(const CPanelFiles&) = delete;
  CPanelFiles& operator=(const CPanelFiles&) = delete;

  // Open: a signal file into the next free saved scope (none while two are shown).
  void OpenSignals();
  // Save: the shown traces into a signal file.
  void SaveSignals();
  // The custom save or load dialog: a settings file or a slot 1..10.
  void CustomSettingsCommand(bool save);
  void LoadCustomSet(int slot);
  void SaveCustomSet(int slot);
  // Where the custom slots are kept (CustomSetPath() unless a test sets one).
  void SetCustomSetPath(std::string path) { m_strCustomSet = std::move(path); }

 private:
  std::string CustomSetFile() const;

  CWndOsc_ControlPanel& m_Panel;
  ISnapshotDevice& m_Device;
  std::string m_strCustomSet;
};

}  // namespace scope
