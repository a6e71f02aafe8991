// CWndOsc_ControlPanel: the oscilloscope's control panel beside the chart. It carries every
// setting the user changes by hand (trigger, the two channels, the high-voltage cylinders, the
// time base) and the command buttons (run, zoom, cursors, autoset, saved scopes, print, custom
// settings, recording, inversion, synchronisation, dock). All values live in GlobalProps: the
// panel changes them with their change bits and tells the rest of the scope through the system
// notification sink (notify::kFromControlPanel); it follows changes made elsewhere through OnSystemNotify.
//
// It talks to its pane only through IControlPanelPane, to the measurement library through
// ISnapshotDevice and IControlPanelDevice, and to the record list through IScopeRecordTarget,
// so every rule here runs on the headless display against test doubles.
// Everything runs on the GUI thread.
#pragma once

#include <scope/MeasureTypeStore.h>
#include <scope/ScopeNotify.h>
#include <scope/SnapshotControls.h>
#include <scope/pane/SavedScopePopup.h>

#include <core/Coupling.h>

#include <ui/RepeatCtrl.h>
#include <ui/XPCtrlBtn.h>
#include <ui/XPCtrlStaticWFont.h>
#include <ui/XPWndBaseColor.h>

#include <kv310/Records.h>

#include <memory>
#include <string>
#include <vector>

class CMeasureEngine;

namespace scope {

// What the panel asks of the scope pane it sits in.
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

// One record the recording command adds per channel that is on.
struct ScopeRecordFields {
  int m_nChannel = 0;
  COLORREF m_crColor = 0;
  int m_nPenStyle = 2;
  int m_nRollMode = 0;
  int m_nRingCapacity = 0;  // 0: the raw ring is not initialised here
  int m_bThroughRecorder = 0;
  int m_bAngleMode = 0;
  int m_nUnit = 0;
  double m_dSampleRate = 0.0;
  double m_dPerDivision = 0.0;
  double m_dFullScale = 0.0;
  Coupling m_Coupling = Coupling::AC;
  int m_bTransferPending = 1;  // the record command sets it
};

// The record list and the recorder engine as the recording command uses them.
class IScopeRecordTarget {
 public:
  virtual void ClearRecordList() = 0;
  virtual void AddRecord(const ScopeRecordFields& fields) = 0;
  virtual int GetRecordCount() const = 0;
  // Every record's raw ring and value arrays sized to `points`.
  virtual void SizeRecords(int points) = 0;
  // The acquisition mode before a recording through the recorder, one place per path; a
  // snapshot capture reads it back while that recording's settings are still to be restored.
  virtual void SetOldAcquisitionMode(bool engineTester, int mode) = 0;
  virtual int GetOldAcquisitionMode(bool engineTester) const = 0;
  // The engine's feed of the raw rings while a recording on the ring path runs.
  virtual void StartRecorderFeed() = 0;
  virtual void StopRecorderFeed() = 0;

 protected:
  ~IScopeRecordTarget() = default;
};

// Probe record of the engine-tester oscilloscope's probe list.
struct ProbeEntry {
  int m_nId = 0;
  std::string m_strName;
  int m_nKind = 0;  // 0: empty entry
  ProbeDescriptor m_Descriptor{};
};

// The library calls beyond the snapshot's that the panel makes.
class IControlPanelDevice {
 public:
  // Waits until the link has no acquisition read pending, so the probe calls that follow do
  // not meet a busy link.
  virtual void WaitLinkIdle() = 0;
  // Engine-tester path: the probe list of a channel; 0, 8 (busy) or another error code.
  virtual int ReadProbeList(int channel, std::vector<ProbeEntry>& list) = 0;
  // Selects the probe on the channel and applies its description to the channel's settings.
  virtual void SelectProbeId(int channel, const ProbeEntry& probe) = 0;
  // The engine's selected high-voltage channel 1..4, and its locked setter.
  virtual int GetSelectedChannel() = 0;
  virtual void SetSelectedChannel(int channel) = 0;
  // Synchronisation requests: toggle (type 10) or set.
  virtual void Synchronise(bool toggle) = 0;
  // Recording through the recorder: the link state (2 = ready for the continuous acquisition),
  // the acquisition mode, the continuous acquisition. 0 is success.
  virtual int GetLinkState() = 0;
  virtual int GetAcquisitionMode(bool engineTester, int& mode) = 0;
  virtual int SetAcquisitionMode(bool engineTester, int mode) = 0;
  virtual int StartContinuous(bool engineTester) = 0;
  virtual int StopContinuous(bool engineTester, int& samples) = 0;
  // Engine-tester path: the option byte of a channel's probe input, read before a recording
  // through the recorder changes the acquisition mode and written back after it. 0 is success.
  virtual int GetProbeOption(int channel, int& option) = 0;
  virtual int SetProbeOption(int channel, int option) = 0;
  // Blocks the GUI thread between retries and polls.
  virtual void Sleep(int ms) = 0;

 protected:
  ~IControlPanelDevice() = default;
};

// The real library behind IControlPanelDevice: the engine's bound oscilloscope interfaces.
class CEngineControlPanelDevice : public IControlPanelDevice {
 public:
  explicit CEngineControlPanelDevice(CMeasureEngine& engine) : m_Engine(engine) {}
  void WaitLinkIdle() override;
  int ReadProbeList(int channel, std::vector<ProbeEntry>& list) override;
  void SelectProbeId(int channel, const ProbeEntry& probe) override;
  int GetSelectedChannel() override;
  void SetSelectedChannel(int channel) override;
  void Synchronise(bool toggle) override;
  int GetLinkState() override;
  int GetAcquisitionMode(bool engineTester, int& mode) override;
  int SetAcquisitionMode(bool engineTester, int mode) override;
  int StartContinuous(bool engineTester) override;
  int StopContinuous(bool engineTester, int& samples) override;
  int GetProbeOption(int channel, int& option) override;
  int SetProbeOption(int channel, int option) override;
  void Sleep(int ms) override;

 private:
  CMeasureEngine& m_Engine;
};

}  // namespace scope

class CWndOsc_ControlPanel : public CXPWndBaseColor,
                             public CRepeatCtrl::IScrollClbck,
                             public CRepeatCtrl::IDrawClbck,
                             public CXPCtrlBtn::IDrawClbck,
                             public CXPCtrlBtn::IBtnClbck,
                             public CDialogs::IOwner,
                             public scope::ISnapshotControls,
                             public scope::IScopeNotifyTarget {
 public:
  enum : int {
    kTriggerPos = 1000, kTriggerLevel, kTriggerUpDown, kTriggerMode, kTriggerSource, kTriggerSensitiv, kRollMode,
    kChAScale, kChAPos, kChAMode, kChAOnOff, kChBScale, kChBPos, kChBMode, kChBOnOff, kTimeScale, kTimePos,
    kBtnRun, kBtnZoom, kBtnCursor, kBtnAutoSet, kBtnOpen, kBtnSave, kBtnDelete, kBtnPrint, kTitle, kDialogs,
    kBtnCylFirst, kBtnCylSecond, kBtnCylThird, kBtnCylFourth, kBtnSynchro, kBtnCSave, kBtnCLoad, kBtnRecord,
    kBtnInvert, kBtnDock,
  };
  enum : UINT_PTR { kTimerProbeA = 0, kTimerProbeB = 1, kTimerBlink = 2, kTimerAutoHide = 3 };
  static constexpr UINT kProbeHoldMs = 500;
  static constexpr UINT kBlinkMs = 500;
  static constexpr UINT kAutoHideMs = 3000;
  static constexpr int kSelectProbeBusyRetries = 50;
  static constexpr int kDirectRingCapacity = 400000;
  static constexpr double kRecorderRateLimit = 50000.0;
  static constexpr int kTitleTrigger = 0, kTitleVertical = 1, kTitleHorizontal = 2, kTitleHighVoltage = 3;

  CWndOsc_ControlPanel(scope::ISnapshotDevice& device, scope::IControlPanelDevice& library,
                       scope::IScopeRecordTarget& records);
  ~CWndOsc_ControlPanel() override;
  CWndOsc_ControlPanel(const CWndOsc_ControlPanel&) = delete;
  CWndOsc_ControlPanel& operator=(const CWndOsc_ControlPanel&) = delete;

  void SetPane(scope::IControlPanelPane* pane) { m_pPane = pane; }
  // The store the pane's activation and departure use.
  scope::CMeasureTypeStore& GetStore() { return m_Store; }

  // ---- the window -----------------------------------------------------------------------------
  BOOL CreateChildren() override;
  void PaintContent(CDC* dc) override;
  void RecalcLayout() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnTimer(UINT_PTR id) override;
  void OnMouseMove(UINT flags, CPoint point) override;

  // Control by id (spinner or button); null for another id.
  CRepeatCtrl* Spinner(int id);
  CXPCtrlBtn* Button(int id);
  CWnd* Control(int id);
  CXPCtrlStaticWFont& Title(int which) { return *m_titles[which]; }
  CDialogs& Popup() { return m_popup; }
  // How many times the fonts were made from the panel's size.
  int FontBuilds() const { return m_nFontBuilds; }

  // ---- ranges and faces -----------------------------------------------------------------------
  void RebuildTimePosRange();
  void RebuildTimeScaleRange(int useSettings) override;
  void RebuildTriggerLevelRange(int useSettings);
  void RebuildScaleRanges(int useSettings, int channel);
  void RebuildPositionRange(int channel);
  void ShowTriggerMode() override;
  void ShowRollMode();
  void ShowZoom(int zoom) override;
  void ShowTriggerSource() override;
  void ShowTriggerEdge() override;
  void ShowSensitivity() override;
  void ShowChannelMode(int channel) override;
  void NotifyScroll(CRepeatCtrl* spinner);
  static COLORREF TriggerColour();
  // The text a button face shows (lines separated by '\n'); empty for drawn symbols.
  CString FaceText(int id) const;
  // The value text and caption of a spinner.
  CString SpinnerText(int id) const;
  static const char* SpinnerCaption(int id);

  // ---- commands -------------------------------------------------------------------------------
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnValueChanged(NumericOptionRecord* record, CRepeatCtrl* control) override;
  void OnSystemNotify(notify::Sender sender, notify::Code code, int value) override;
  void RunStop();
  void Zoom(int state);
  void InvertCycle();
  void ApplyRollModeToTrigger();
  void EnableTriggerControls(bool enable) override;
  void RefreshChannelControls() override;
  void RefreshProbeControls(int channel) override;
  void SelectProbe(int channel, int wanted) override { SelectProbe(channel, 1, wanted, 1); }
  void SelectProbe(int channel, int matchMode, int wanted, int keepStopped);
  void RefreshCylinderButtons();
  int StartRecording();
  int StopRecording();
  void DisableAllControls();
  void EnableAllControls();
  void SaveDisplayFlags(bool restore, bool useSaved);
  void RestartAutoHide();
  void RegisterHotKeys();
  void UnregisterHotKeys();
  // F1..F10 load custom slots 1..10, Ctrl+F1..F10 save them.
  void OnHotKeyId(int id);
  // Custom slots and settings files; failures show their box.
  void LoadCustomSet(int slot);
  void SaveCustomSet(int slot);
  // Record-waiting-for-view flag, read and cleared by the pane.
  int TakeRecordWaiting() {
    const int w = m_bRecordWaiting;
    m_bRecordWaiting = 0;
    return w;
  }
  int GetBlinkPhase() const { return m_nBlink; }
  // The board's continuous acquisition of a recording through the recorder still runs (its stop
  // failed, or the recording has not been stopped yet).
  bool IsBoardRecording() const { return m_bBoardRecording != 0; }
  // Stops that acquisition when it still runs.
  void StopBoardRecording();
  // Engine-tester path: writes back the channel-B probe option a recording through the recorder
  // saved, when that recording's settings were not restored yet (the user kept the records).
  void RestoreBoardRecordingOption();
  int GetZoom3Offset() const { return m_nZoom3Offset; }
  // Where the custom slots are kept (CustomSetPath() unless a test sets one).
  void SetCustomSetPath(std::string path) { m_strCustomSet = std::move(path); }

  // ---- ISnapshotControls ----------------------------------------------------------------------
  void ShowEngineTesterSections(int highVoltageMode) override;
  void EnableAutoset(bool enable) override;
  void EnableZoom(bool enable) override;
  void ShowSynchro(bool show) override;
  void ShowChannelBOnOff(bool show, bool enable) override;
  void RepaintInvertButton() override;
  void SetCursorButton(int on) override;
  void RefreshPaneSettings() override;
  void ShowMeasuresOrCursors() override;
  CString GetProbeName(int channel) const override { return m_strProbe[channel & 1]; }
  bool IsDocked() const override;
  int GetZoom() const override;
  int GetRecordingAcquisitionMode() const override {
    return m_Records.GetOldAcquisitionMode(m_bDeviceSavedEngineTester != 0);
  }

  // ---- CDialogs::IOwner -----------------------------------------------------------------------
  void ReopenSavedScopeButton() override;
  void ShowSavedScopeButtons() override;

  // ---- painting -------------------------------------------------------------------------------
  void Draw(CDC* dc, RECT* client, NumericOptionRecord* record, CRepeatCtrl* control) override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;

 private:
  void SetButton(int id, int min, int max, int value);
  void ShowSections(int highVoltageMode);
  void EnableControl(int id, bool enable);
  void ShowControl(int id, bool show);
  void ShowMessage(const char* text, UINT type);
  void Notify(notify::Sender sender, notify::Code code, int value = 0);
  bool EngineTesterPath() const;
  void ChannelButton(int channel, int value);
  void ChannelSpinner(int id, int value);
  void BuildFonts(const CRect& inner);
  void RecordButtonClick();
  void DeleteSavedScopes();
  void OpenSignals();
  void SaveSignals();
  void CustomSettingsCommand(bool save);
  void PrintCommand();
  int FailRecordingStart();
  // The device settings saved at a recording start written back (with the probe option on the
  // engine-tester path); DeviceSettingsSaved cleared.
  void RestoreSavedDevice();

  scope::ISnapshotDevice& m_Device;
  scope::IControlPanelDevice& m_Library;
  scope::IScopeRecordTarget& m_Records;
  scope::IControlPanelPane* m_pPane = nullptr;
  scope::CMeasureTypeStore m_Store;

  CFont m_fonts[6];
  CPen m_boxPen;
  CBrush m_boxBrush;
  CBrush m_boxDisabledBrush;
  CRepeatCtrl m_spinners[8];
  CXPCtrlBtn m_buttons[27];
  std::unique_ptr<CXPCtrlStaticWFont> m_titles[4];
  CDialogs m_popup;
  CStringArray m_timeTexts;
  CStringArray m_rangeTexts[2];
  CString m_strProbe[2];
  int m_nSelectedProbe[2] = {-1, -1};
  scope::DeviceBlock m_SavedDevice;
  int m_bDeviceSavedEngineTester = 0;
  int m_bBoardRecording = 0;      // the board's continuous acquisition runs for a recording
  int m_bProbeOptionSaved = 0;    // m_nSavedProbeOption waits to be written back
  int m_nSavedProbeOption = 0;    // channel B's probe option before the recording
  int m_SavedDisplayBits[10] = {};
  int m_bRecordWaiting = 0;
  int m_nZoom3Offset = 0;
  int m_nBlink = 0;
  CRect m_rcInner;
  int m_nFontBuilds = 0;
  std::string m_strCustomSet;
};
