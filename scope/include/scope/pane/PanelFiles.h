// CPanelFiles: the control panel's file commands. Signal files open into a saved scope and the
// shown traces save as one; the settings go to and come from a settings file or one of the ten
// custom slots (buttons and F-keys). Failures show their box and change nothing.
//
// It reaches the panel that owns it (the dialogs' parent, the saved-scope buttons, the boxes)
// only through its IOwner, and the controls the settings are read from and shown on through
// ISnapshotControls. Everything runs on the GUI thread.
#pragma once

#include <scope/SnapshotControls.h>

#include <platform/types.h>

#include <string>

class CWnd;

namespace scope {

class CPanelFiles {
 public:
  // What the file commands ask of the panel that owns them.
  class IOwner {
   public:
    // The window the file and custom-slot dialogs are modal to.
    virtual CWnd* DialogParent() = 0;
    // A message box over the panel; its answer.
    virtual int ShowMessage(const char* text, UINT type) = 0;
    // A control by its id (PanelControlIds.h) enabled or disabled.
    virtual void EnableControl(int id, bool enable) = 0;

   protected:
    ~IOwner() = default;
  };

  CPanelFiles(IOwner& owner, ISnapshotControls& controls, ISnapshotDevice& device)
      : m_Owner(owner), m_Controls(controls), m_Device(device) {}
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

  IOwner& m_Owner;
  ISnapshotControls& m_Controls;
  ISnapshotDevice& m_Device;
  std::string m_strCustomSet;
};

}  // namespace scope
