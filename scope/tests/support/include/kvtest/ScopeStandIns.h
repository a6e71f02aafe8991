// Stand-ins for what the scope pane is given in the program, for the scope's tests and benchmark:
// a plain control-panel window of the panel's name and id (no controls, no recording) for the
// tests of the pane without its panel, and an in-memory record list for the program's control
// panel where no recorder is bound.
#pragma once

#include <scope/pane/ControlPanel.h>
#include <scope/pane/ControlPanelSeam.h>

#include <ui/XPWndBaseColor.h>

#include <vector>

namespace scope {
class CWndOscPane;
}

namespace kvtest {

// A plain panel window in the scheme's panel colour. Its auto-hide timer slides an undocked panel
// out as the real panel's does; it counts the pane's refreshes and preset resets.
class CStandInControlPanel : public CXPWndBaseColor, public scope::IScopeControlPanel, public scope::IScopeNotifyTarget {
 public:
  enum : UINT { kTimerAutoHide = 3 };

  CWnd& Window() override { return *this; }
  BOOL CreatePanel(CWnd* pane, UINT id) override;
  void SetPane(scope::CWndOscPane* pane) override { m_pPane = pane; }
  scope::IScopeNotifyTarget* NotifyTarget() override { return this; }
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
  void OnSystemNotify(notify::Sender, notify::Code, int) override {}

  void OnTimer(UINT_PTR id) override;

  int m_nRefreshes = 0;
  int m_nPresetResets = 0;

 private:
  scope::CWndOscPane* m_pPane = nullptr;
};

// A record list without the recorder: keeps the records in memory, sizes nothing, feeds nothing.
class CStandInRecordTarget : public scope::IScopeRecordTarget {
 public:
  void ClearRecordList() override { m_Records.clear(); }
  void AddRecord(const scope::ScopeRecordFields& fields) override { m_Records.push_back(fields); }
  int GetRecordCount() const override { return static_cast<int>(m_Records.size()); }
  void SizeRecords(int) override {}
  void SetOldAcquisitionMode(bool engineTester, int mode) override { m_nOldMode[engineTester ? 1 : 0] = mode; }
  int GetOldAcquisitionMode(bool engineTester) const override { return m_nOldMode[engineTester ? 1 : 0]; }
  void StartRecorderFeed() override {}
  void StopRecorderFeed() override {}

  std::vector<scope::ScopeRecordFields> m_Records;
  int m_nOldMode[2] = {0, 0};  // board path, engine-tester path
};

}  // namespace kvtest
