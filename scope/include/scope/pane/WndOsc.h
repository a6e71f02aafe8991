// CWndOsc: the oscilloscope pane's hub. It is the program's one system notification sink and the
// acquisition engine's IOscClbck: the engine's callbacks arrive on the acquisition thread and are
// sent to the pane's window as WM_OSCMEASURE, so every change of settings, display record and
// traces happens on the GUI thread. This part of the pane holds the data path (settings hand-over
// and hand-back, display update with the rolling traces and the mode-2 countdown, error log),
// the notification hub (restart rule, forwarding, repaint by code, probe check, quit) and the
// pane-level autoset start and end. The children, their layout and the pane's IPaneWnd side
// plug in through IScopeView, IScopeAutoset and the six IScopeNotifyTarget slots.
#pragma once

#include <scope/DataPath.h>
#include <scope/ScopeNotify.h>

#include <core/Notify.h>
#include <core/OscCallback.h>

#include <platform/afxwin.h>

#include <atomic>
#include <string>

class CMeasureEngine;
class CMeasureProps;

namespace scope {

// What the hub asks of the pane shell (its children and their layout).
class IScopeView {
 public:
  enum : int { STRIP_TOP = 0x01, STRIP_BOTTOM = 0x02, STRIP_MEASURES = 0x04, STRIP_TEXT = 0x08 };

  // The time ruler's range, page and position from the chart scale, and its repaint.
  virtual void SetTimeRulerFromScale() = 0;
  virtual void RepaintTimeRuler() = 0;
  // Repaints at once the status strips of the mask.
  virtual void RepaintStrips(int mask) = 0;
  // The background, then every child at once.
  virtual void RedrawAll() = 0;
  // Shows the children by the option bits, and lays them out.
  virtual void ShowByOptions(int options) = 0;
  virtual void LayoutChildren() = 0;
  // While autoset runs only the autoset panel is shown; otherwise the normal view by the option
  // bits with the measures-or-cursors rule.
  virtual void ApplyAutosetVisibility(bool autosetRunning, int options) = 0;

 protected:
  ~IScopeView() = default;
};

// The autoset panel as the hub drives it (CWndOsc_Autoset).
class IScopeAutoset {
 public:
  // 1 started (the autoset-active flag of GlobalProps is set), 0 not possible.
  virtual int Start() = 0;
  // The engine's settings query while autoset runs: fills the settings, returns the answer.
  virtual int GetResult(CMeasureProps& settings) = 0;
  // One record measured for autoset; returns the answer to the engine.
  virtual int OnMeasure(AcquisitionRecord& record) = 0;
  // Ends autoset with the last record, or without one (start failed, run ended or stopped).
  virtual void Finish(AcquisitionRecord* record) = 0;

 protected:
  ~IScopeAutoset() = default;
};

// The settings copy used between GlobalProps, the engine's records and the display record: the
// whole settings record; with `clearChanges` the source's change flags (main, time base,
// channels) are cleared afterwards, with `handOverMarks` the source channels' rescale marks.
void CopySettings(CMeasureProps& source, CMeasureProps& target, bool clearChanges, bool handOverMarks);

class CWndOsc : public CWnd, public ISystemNotify, public IOscClbck {
 public:
  // Children in the order they hear a notification.
  enum NotifySlot : int {
    NOTIFY_TIME_RULER = 0,
    NOTIFY_LEVEL_RULER,
    NOTIFY_CHART,
    NOTIFY_CONTROL_PANEL,
    NOTIFY_CURSOR_PANEL,
    NOTIFY_MINIMIZE_PANEL,
    NOTIFY_SLOT_COUNT
  };
  // Option bits of m_options.
  enum : int {
    OPT_TIME_RULER = 0x02,
    OPT_LEVEL_RULER = 0x04,
    OPT_PANEL_IN = 0x20,
    OPT_STRIPS = 0x40,
    OPT_SAVED_CD = 0x80,
    OPT_SAVED_EF = 0x100,
    OPT_PANEL_MINIMIZED = 0x2000,
    OPT_INITIAL = 0x7E,
  };
  static constexpr const char kClassName[] = "QUENTIX_CWndOsc";
  static constexpr int kRollingPoints = 1000;
  static constexpr int kProbeMissingText = 10131;

  // Registers the window class (once; a failure throws), the system sink and the engine's
  // callback, and deletes the error log of the previous run. The program's engine unless a test
  // hands one.
  explicit CWndOsc(CMeasureEngine* engine = nullptr);
  ~CWndOsc() override;
  CWndOsc(const CWndOsc&) = delete;
  CWndOsc& operator=(const CWndOsc&) = delete;

  using CWnd::Create;
  BOOL Create(LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id);

  void SetView(IScopeView* view) { m_pView = view; }
  void SetAutoset(IScopeAutoset* autoset) { m_pAutoset = autoset; }
  void SetNotifyTarget(NotifySlot slot, IScopeNotifyTarget* target) { m_pTargets[slot] = target; }
  // Where LogOscError appends (the current folder's "ErrorOscMsg.log" by default).
  void SetErrorLogPath(std::string path) { m_strLogPath = std::move(path); }
  const std::string& GetErrorLogPath() const { return m_strLogPath; }

  // ISystemNotify: the hub.
  void OnSystemNotify(notify::Sender sender, notify::Code code, int value) override;

  // IOscClbck, on the acquisition thread.
  int OnOscError(MeterResult& result) override;
  int OnOscMessage(int code, LPARAM text) override;  // `text`: the message as LPCSTR
  int OnOscQuerySettings(CMeasureProps& settings, int command) override;
  int OnOscData(AcquisitionRecord& record) override;

  // The display record's settings copied from GlobalProps (what WM_OSCCOMMAND code 0 does): the
  // strips and the probe check read them until the next record brings its own.
  void RefreshDisplaySettings();

  // WM_OSCMEASURE and WM_OSCCOMMAND, on the GUI thread.
  LRESULT OnMsgOscMeasure(int code, LPARAM record);
  LRESULT OnMsgOscCommand(int code, LPARAM value);

  // Autoset from the pane: start (1) shows the autoset panel alone, stops and restarts the run;
  // a start that is not possible finishes at once without a record.
  void StartAutoset();
  void FinishAutoset(AcquisitionRecord* record);

  // The error block in the log and the warning box.
  void LogOscError(const MeterResult& result);

  int m_options = OPT_INITIAL;
  int m_settingsFresh = 0;
  CReadRestartGuard m_ReadRestarts;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnDestroy() override;
  BOOL OnEraseBkgnd(CDC* dc) override;

 private:
  LRESULT SendToPane(int code, void* record);
  void PostToPane(int code);
  void Forward(notify::Sender sender, notify::Code code, int value, int count);
  void Notify(notify::Sender sender, notify::Code code, int value = 0);
  int UpdateDisplay(int code, AcquisitionRecord* record);
  int HandOverSettings(CMeasureProps* settings);
  void HandleError(MeterResult* result);
  void RunEnded();
  void ProbeCheck();
  void Quit();
  void RepaintByCode(notify::Sender sender, notify::Code code);

  CMeasureEngine* m_pEngine;
  IScopeView* m_pView = nullptr;
  IScopeAutoset* m_pAutoset = nullptr;
  IScopeNotifyTarget* m_pTargets[NOTIFY_SLOT_COUNT] = {};
  std::string m_strLogPath = kOscErrorLogName;
  // A stop was asked for (StopMeasurement's notification) and the thread has not asked for the
  // settings of a new run since: what it reports belongs to the stopped run and is not shown.
  bool m_bStopAsked = false;
  // The window the acquisition thread sends to: set once created, cleared before destruction.
  std::atomic<HWND> m_hTarget{0};
};

}  // namespace scope
