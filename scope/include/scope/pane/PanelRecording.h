// CPanelRecording: the control panel's recording into the record list. It checks whether a
// recording may start, adds one record per channel that is on, and runs it either on the raw
// rings the engine feeds or through the recorder: the scope stops, the board's settings and (on
// the engine-tester path) channel B's probe option are saved, the board's continuous acquisition
// runs, and everything goes back when the user does not keep the records. While it runs the
// panel's controls are locked and the record button blinks.
//
// It reaches the panel that owns it (the controls it locks, the record button, the boxes) only
// through its IOwner, the board only through ISnapshotDevice and IControlPanelDevice, the records
// only through IScopeRecordTarget. Everything runs on the GUI thread.
#pragma once

#include <scope/Snapshot.h>
#include <scope/SnapshotControls.h>
#include <scope/pane/ControlPanelDevice.h>
#include <scope/pane/ScopeRecordTarget.h>

#include <platform/types.h>

namespace scope {

class CPanelRecording {
 public:
  static constexpr int kDirectRingCapacity = 400000;
  static constexpr double kRecorderRateLimit = 50000.0;

  // What the recording asks of the panel that owns it.
  class IOwner {
   public:
    // A message box over the panel; its answer (IDYES, IDNO, IDOK).
    virtual int ShowMessage(const char* text, UINT type) = 0;
    // Every control a running recording must not change is locked, and unlocked again by the
    // panel's own rules (the roll mode, the saved scopes, the zoom).
    virtual void DisableAllControls() = 0;
    virtual void EnableAllControls() = 0;
    // The record button's blink timer; each tick calls Blink() and repaints the button.
    virtual void StartBlinking() = 0;
    virtual void StopBlinking() = 0;
    virtual void RedrawRecordButton() = 0;

   protected:
    ~IOwner() = default;
  };

  CPanelRecording(IOwner& owner, ISnapshotDevice& device, IControlPanelDevice& library, IScopeRecordTarget& records)
      : m_Owner(owner), m_Device(device), m_Library(library), m_Records(records) {}
  CPanelRecording(const CPanelRecording&) = delete;
  CPanelRecording& operator=(const CPanelRecording&) = delete;

  // The record button: stops a running recording, or starts one when the scope runs without a
  // trigger (roll mode or automatic trigger), else says why not.
  void OnRecordButton();
  // 1 when the recording runs, 0 after a failed start (the box shown, the list cleared).
  int Start();
  // Ends the recording and asks whether to view it; 1.
  int Stop();
  // The blink timer's tick.
  void Blink() { m_nBlink ^= 1; }
  void ResetBlink() { m_nBlink = 0; }
  int GetBlinkPhase() const { return m_nBlink; }

  // Record-waiting-for-view flag, read and cleared by the pane.
  int TakeRecordWaiting() {
    const int w = m_bRecordWaiting;
    m_bRecordWaiting = 0;
    return w;
  }
  bool IsBoardRecording() const { return m_bBoardRecording != 0; }
  void StopBoardRecording();
  void RestoreBoardRecordingOption();
  int GetAcquisitionModeBefore() const { return m_Records.GetOldAcquisitionMode(m_bDeviceSavedEngineTester != 0); }
  // The display flags (bit 0 of every style) saved, or put back, around a recording through the
  // recorder; `useSaved` clears them on save and restores them from the saved copy.
  void SaveDisplayFlags(bool restore, bool useSaved);

 private:
  int FailStart();
  // The device settings saved at the start written back (with the probe option on the
  // engine-tester path); DeviceSettingsSaved cleared.
  void RestoreSavedDevice();
  // The controls locked and the blink started: the recording runs.
  void EnterRunning();

  IOwner& m_Owner;
  ISnapshotDevice& m_Device;
  IControlPanelDevice& m_Library;
  IScopeRecordTarget& m_Records;
  DeviceBlock m_SavedDevice;
  int m_bDeviceSavedEngineTester = 0;
  int m_bBoardRecording = 0;    // the board's continuous acquisition runs for a recording
  int m_bProbeOptionSaved = 0;  // m_nSavedProbeOption waits to be written back
  int m_nSavedProbeOption = 0;  // channel B's probe option before the recording
  int m_SavedDisplayBits[10] = {};
  int m_bRecordWaiting = 0;
  int m_nBlink = 0;
};

}  // namespace scope
