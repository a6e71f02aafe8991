#include <scope/pane/ProgramControlPanel.h>

#include <scope/ApplySnapshot.h>
#include <scope/pane/ControlPanel.h>
#include <scope/pane/EngineControlPanelDevice.h>
#include <scope/pane/WndOscPane.h>

#include <core/MeasureEngine.h>
#include <core/GlobalProps.h>
#include <core/MeasureType.h>
#include <core/TraceStyle.h>

namespace scope {
namespace {

class CProgramControlPanel final : public IScopeControlPanel, public IControlPanelPane {
 public:
  CProgramControlPanel(CMeasureEngine& engine, IScopeRecordTarget& records)
      : m_device(engine), m_library(engine), m_records(records), m_panel(m_device, m_library, m_records) {}

  // ---- IScopeControlPanel ------------------------------------------------------------------------
  CWnd& Window() override { return m_panel; }
  BOOL CreatePanel(CWnd* pane, UINT id) override {
    return m_panel.Create("WndControlPanel", WS_CHILD, CRect(0, 0, 0, 0), pane, id);
  }
  void SetPane(CWndOscPane* pane) override {
    m_pPane = pane;
    m_panel.SetPane(this);
  }
  IScopeNotifyTarget* NotifyTarget() override { return &m_panel; }
  void Repaint() override { m_panel.Redraw(); }
  void Refresh() override {
    m_panel.RefreshChannelControls();
    m_panel.RebuildTimeScaleRange(1);
    m_panel.RebuildTriggerLevelRange(1);
    m_panel.ShowTriggerMode();
    m_panel.ShowZoom(m_panel.GetZoom());
    m_panel.Redraw();
  }
  void ShowDockButton(bool show) override {
    if (CXPCtrlBtn* dock = m_panel.Button(CWndOsc_ControlPanel::kBtnDock)) dock->ShowWindow(show ? SW_SHOW : SW_HIDE);
  }
  void RegisterHotKeys() override { m_panel.RegisterHotKeys(); }
  void UnregisterHotKeys() override { m_panel.UnregisterHotKeys(); }
  void StopRecording() override { m_panel.StopRecording(); }
  bool IsBoardRecording() const override { return m_panel.IsBoardRecording(); }
  void StopBoardRecording() override { m_panel.StopBoardRecording(); }
  void RestoreBoardRecordingOption() override { m_panel.RestoreBoardRecordingOption(); }
  bool IsRecordToView() const override {
    m_bRecordToView |= m_panel.TakeRecordWaiting() != 0;
    return m_bRecordToView;
  }
  void ClearRecordToView() override { m_bRecordToView = false; }
  void ClearRecordList() override { m_records.ClearRecordList(); }
  void ApplyPreset() override { ApplyMeasureTypePreset(m_panel.GetStore(), m_panel, m_device); }
  void CapturePreset() override { CaptureMeasureTypeSnapshot(m_panel.GetStore(), m_panel, m_device); }
  // Leaving the scope ends an engine-tester preset: the plain oscilloscope is the measure type.
  void ResetPresetState() override { GetMeasureType().m_nMeasureType = 0; }

  // ---- IControlPanelPane ---------------------------------------------------------------------------
  void ToggleDock() override {
    if (m_pPane) m_pPane->ToggleDock();
  }
  void OnMinimizeToggle() override {
    if (m_pPane) m_pPane->OnMinimizeToggle();
  }
  void ShowMeasuresOrCursors() override {
    if (m_pPane) m_pPane->ShowMeasuresOrCursors();
  }
  bool IsAutosetRunning() const override { return GetGlobalProps().m_bAutosetActive != 0; }
  void StartAutoset() override {
    if (m_pPane) m_pPane->StartAutoset();
  }
  void FinishAutoset() override {
    if (m_pPane) m_pPane->FinishAutoset(nullptr);
  }
  void RefreshPaneSettings() override {
    if (m_pPane) m_pPane->RefreshDisplaySettings();
  }
  // A channel's level thumb is shown, and can be grabbed, only while the channel is on and has a
  // probe: the same test that shows its range, position and coupling controls.
  void UpdateChannelMarkers() override {
    GlobalProps& p = GetGlobalProps();
    for (int ch = 0; ch < 2; ++ch) {
      const CChannelProps& c = p.m_Channels[ch];
      const int style = ch == 0 ? GlobalProps::STYLE_LEVEL_A : GlobalProps::STYLE_LEVEL_B;
      SetFlagBits(p.m_Styles[style].m_nFlags, 1, c.m_nModeEnable == 1 && c.m_bEnabled);
    }
    if (m_pPane) m_pPane->RedrawAll();
  }
  void RedrawAll() override {
    if (m_pPane) m_pPane->RedrawAll();
  }

 private:
  CEngineSnapshotDevice m_device;
  CEngineControlPanelDevice m_library;
  IScopeRecordTarget& m_records;
  mutable CWndOsc_ControlPanel m_panel;
  CWndOscPane* m_pPane = nullptr;
  mutable bool m_bRecordToView = false;
};

}  // namespace

std::unique_ptr<IScopeControlPanel> MakeProgramControlPanel(CMeasureEngine& engine, IScopeRecordTarget& records) {
  return std::make_unique<CProgramControlPanel>(engine, records);
}

}  // namespace scope
