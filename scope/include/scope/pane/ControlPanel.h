// CWndOsc_ControlPanel: the oscilloscope's control panel beside the chart. It carries every
// setting the user changes by hand (trigger, the two channels, the high-voltage cylinders, the
// time base) and the command buttons (run, zoom, cursors, autoset, saved scopes, print, custom
// settings, recording, inversion, synchronisation, dock). All values live in GlobalProps: the
// panel changes them with their change bits and tells the rest of the scope through the system
// notification sink (notify::kFromControlPanel); it follows changes made elsewhere through OnSystemNotify.
//
// The recording orchestration is CPanelRecording (PanelRecording.h), the file and custom-slot
// commands CPanelFiles (PanelFiles.h), the controls' faces CPanelFaces (PanelFaces.h); the panel
// owns one of each, forwards to them and answers what each asks through its IOwner. The control
// ids are in PanelControlIds.h. The panel's windows (controls, fonts, layout, frame, ranges) are
// in ControlPanel.cpp, the command dispatch in ControlPanelCommands.cpp.
//
// It talks to its pane only through IControlPanelPane, to the measurement library through
// ISnapshotDevice and IControlPanelDevice, and to the record list through IScopeRecordTarget,
// so every rule here runs on the headless display against test doubles.
// Everything runs on the GUI thread.
#pragma once

#include <scope/MeasureTypeStore.h>
#include <scope/ScopeNotify.h>
#include <scope/SnapshotControls.h>
#include <scope/pane/ControlPanelDevice.h>
#include <scope/pane/ControlPanelPane.h>
#include <scope/pane/PanelControlIds.h>
#include <scope/pane/PanelFaces.h>
#include <scope/pane/PanelFiles.h>
#include <scope/pane/PanelRecording.h>
#include <scope/pane/SavedScopePopup.h>
#include <scope/pane/ScopeRecordTarget.h>

#include <ui/RepeatCtrl.h>
#include <ui/XPCtrlBtn.h>
#include <ui/XPCtrlStaticWFont.h>
#include <ui/XPWndBaseColor.h>

#include <memory>
#include <string>

class CWndOsc_ControlPanel : public CXPWndBaseColor,
                             public CRepeatCtrl::IScrollClbck,
                             public CXPCtrlBtn::IBtnClbck,
                             public CDialogs::IOwner,
                             public scope::ISnapshotControls,
                             public scope::IScopeNotifyTarget,
                             public scope::PanelControlIds,
                             private scope::CPanelRecording::IOwner,
                             private scope::CPanelFiles::IOwner,
                             private scope::CPanelFaces::IOwner {
 public:
  enum : UINT_PTR { kTimerProbeA = 0, kTimerProbeB = 1, kTimerBlink = 2, kTimerAutoHide = 3 };
  static constexpr UINT kProbeHoldMs = 500;
  static constexpr UINT kBlinkMs = 500;
  static constexpr UINT kAutoHideMs = 3000;
  static constexpr int kSelectProbeBusyRetries = 50;
  static constexpr int kDirectRingCapacity = scope::CPanelRecording::kDirectRingCapacity;
  static constexpr double kRecorderRateLimit = scope::CPanelRecording::kRecorderRateLimit;
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
  static COLORREF TriggerColour() { return scope::CPanelFaces::TriggerColour(); }
  // The text a button face shows (lines separated by '\n'); empty for drawn symbols.
  CString FaceText(int id) const { return m_Faces.FaceText(id); }
  // The value text and caption of a spinner.
  CString SpinnerText(int id) const { return m_Faces.SpinnerText(id); }
  static const char* SpinnerCaption(int id) { return scope::CPanelFaces::SpinnerCaption(id); }

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
  int StartRecording() { return m_Recording.Start(); }
  int StopRecording() { return m_Recording.Stop(); }
  void DisableAllControls() override;
  void EnableAllControls() override;
  void SaveDisplayFlags(bool restore, bool useSaved) { m_Recording.SaveDisplayFlags(restore, useSaved); }
  void RestartAutoHide();
  void RegisterHotKeys();
  void UnregisterHotKeys();
  // F1..F10 load custom slots 1..10, Ctrl+F1..F10 save them.
  void OnHotKeyId(int id);
  // Custom slots and settings files; failures show their box.
  void LoadCustomSet(int slot) { m_Files.LoadCustomSet(slot); }
  void SaveCustomSet(int slot) { m_Files.SaveCustomSet(slot); }
  // Record-waiting-for-view flag, read and cleared by the pane.
  int TakeRecordWaiting() { return m_Recording.TakeRecordWaiting(); }
  int GetBlinkPhase() const override { return m_Recording.GetBlinkPhase(); }
  // The board's continuous acquisition of a recording through the recorder still runs (its stop
  // failed, or the recording has not been stopped yet).
  bool IsBoardRecording() const { return m_Recording.IsBoardRecording(); }
  // Stops that acquisition when it still runs.
  void StopBoardRecording() { m_Recording.StopBoardRecording(); }
  // Engine-tester path: writes back the channel-B probe option a recording through the recorder
  // saved, when that recording's settings were not restored yet (the user kept the records).
  void RestoreBoardRecordingOption() { m_Recording.RestoreBoardRecordingOption(); }
  int GetZoom3Offset() const { return m_nZoom3Offset; }
  // Where the custom slots are kept (CustomSetPath() unless a test sets one).
  void SetCustomSetPath(std::string path) { m_Files.SetCustomSetPath(std::move(path)); }

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
  int GetRecordingAcquisitionMode() const override { return m_Recording.GetAcquisitionModeBefore(); }

  // ---- CDialogs::IOwner -----------------------------------------------------------------------
  void ReopenSavedScopeButton() override;
  void ShowSavedScopeButtons() override;

 private:
  // ---- what the parts ask (their IOwner) ------------------------------------------------------
  int ShowMessage(const char* text, UINT type) override;
  void StartBlinking() override;
  void StopBlinking() override;
  void RedrawRecordButton() override;
  CWnd* DialogParent() override { return this; }
  void EnableControl(int id, bool enable) override;
  int ButtonValue(int id) const override;
  const NumericOptionRecord* SpinnerRecord(int id) const override;
  bool EngineTesterPath() const override;
  const CStringArray& RangeTexts(int channel) const override { return m_rangeTexts[channel & 1]; }
  const CStringArray& TimeTexts() const override { return m_timeTexts; }
  CFont& Font(int index) override { return m_fonts[index]; }

  void SetButton(int id, int min, int max, int value);
  void ShowSections(int highVoltageMode);
  void ShowControl(int id, bool show);
  void Notify(notify::Sender sender, notify::Code code, int value = 0);
  void ChannelButton(int channel, int value);
  void ChannelSpinner(int id, int value);
  void BuildFonts(const CRect& inner);
  void DeleteSavedScopes();
  void PrintCommand();

  scope::ISnapshotDevice& m_Device;
  scope::IControlPanelDevice& m_Library;
  scope::IScopeRecordTarget& m_Records;
  scope::IControlPanelPane* m_pPane = nullptr;
  scope::CMeasureTypeStore m_Store;
  scope::CPanelRecording m_Recording;
  scope::CPanelFiles m_Files;
  scope::CPanelFaces m_Faces;

  CFont m_fonts[6];
  CRepeatCtrl m_spinners[8];
  CXPCtrlBtn m_buttons[27];
  std::unique_ptr<CXPCtrlStaticWFont> m_titles[4];
  CDialogs m_popup;
  CStringArray m_timeTexts;
  CStringArray m_rangeTexts[2];
  CString m_strProbe[2];
  int m_nSelectedProbe[2] = {-1, -1};
  int m_nZoom3Offset = 0;
  CRect m_rcInner;
  int m_nFontBuilds = 0;
};
