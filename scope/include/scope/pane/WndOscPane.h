// CWndOscPane: the oscilloscope pane behind main-window tab 0, the hub (CWndOsc) with its children.
// It creates the chart, the two rulers, the six status strips, the control panel, the cursor
// panel, the autoset panel, the minimize handle and the manual button; shows them by the option
// bits, lays them out by the screen layout's areas, and draws the background with the sunken
// edge round the chart. It is the hub's IScopeView, registers its children as the hub's six
// notification targets, turns the rulers' drags into settings, docks and undocks the control
// panel (sliding the undocked panel in and out on 10 ms timers) and answers the main window as
// an IPaneWnd.
#pragma once

#include <scope/pane/Autoset.h>
#include <scope/pane/WndOsc.h>
#include <scope/chart/OscChartWnd.h>
#include <scope/pane/ControlPanelSeam.h>
#include <scope/pane/MinimizePanel.h>
#include <scope/pane/StatusArea.h>
#include <scope/rulers/CursorPanel.h>
#include <scope/rulers/CursorRuler.h>
#include <scope/rulers/TimeRuler.h>

#include <ui/PaneWnd.h>
#include <ui/XPCtrlBtn.h>

#include <functional>
#include <memory>

namespace scope {

class CWndOscPane : public CWndOsc,
                    public IPaneWnd,
                    public COscTimeRuler::IScrollClbck,
                    public COscCursorRuler::IClbckCursor,
                    public CWndOsc_MinimizePanel::IMinimizeToolClbck,
                    public CXPCtrlBtn::IDrawClbck,
                    public CXPCtrlBtn::IBtnClbck,
                    private IScopeView {
 public:
  enum : UINT {
    ID_CHART = 1001,
    ID_TIME_RULER = 1002,
    ID_LEVEL_RULER = 1003,
    ID_STRIP = 1007,
    ID_CONTROL_PANEL = 1008,
    ID_CURSOR_PANEL = 1009,
    ID_AUTOSET = 1013,
    ID_TEXT = 1018,
    ID_MINIMIZE_PANEL = 1029,
    ID_SAVED_CD = 1030,
    ID_SAVED_EF = 1031,
    ID_MANUAL = 0,
  };
  enum : UINT { kTimerSlideOut = 0, kTimerSlideIn = 1, kTimerAutoHide = 3 };
  static constexpr UINT kSlideMs = 10;
  static constexpr UINT kAutoHideMs = 3000;

  // The pane with its control panel (not null), on the program's engine unless a test hands one.
  explicit CWndOscPane(std::unique_ptr<IScopeControlPanel> controlPanel, CMeasureEngine* engine = nullptr);
  ~CWndOscPane() override;

  // IPaneWnd
  void Init() override;
  void Activate(int previousTab) override;
  BOOL Deactivate() override;
  void Show(BOOL show) override;

  // The time ruler scrolled the chart window.
  void OnTimeScroll(TimeRulerParams* params, COscTimeRuler* ruler) override;
  // A level marker was dragged.
  void OnCursorChanged(CursorRecord* record, COscCursorRuler* ruler) override;

  // Docks or undocks the control panel.
  void ToggleDock();
  // Slides the undocked panel in or out (reversing a slide under way); nothing while docked.
  void OnMinimizeToggle();
  // 1 while the panel is not minimized.
  int IsPanelMinimized() const { return (m_options & OPT_PANEL_MINIMIZED) ? 0 : 1; }

  // The manual of a measure type: empty outside the component tests 11..27.
  static CString GetManualPath(int measureType);
  static bool ManualExists(int measureType);

  // The view the hub drives.
  void SetTimeRulerFromScale() override;
  void RepaintTimeRuler() override;
  void RepaintStrips(int mask) override;
  void RedrawAll() override;
  void ShowByOptions(int options) override;
  void LayoutChildren() override;
  void ApplyAutosetVisibility(bool autosetRunning, int options) override;
  // The measures strip or the cursor panel by the measure switch.
  void ShowMeasuresOrCursors();

  // Where the tab change away from the scope hands the engine tester its measurement id.
  void SetMeasurementIdSink(std::function<void(int)> sink) { m_measurementIdSink = std::move(sink); }

  IScopeControlPanel& ControlPanel() { return *m_pControlPanel; }
  const CRect& ChartRect() const { return m_rcChart; }

  COscTimeRuler m_timeRuler;
  COscCursorRuler m_cursorRuler;
  COscChartWnd m_chart;
  CWndOsc_StatusArea m_stripTop{CWndOsc_StatusArea::kTop};
  CWndOsc_StatusArea m_stripBottom{CWndOsc_StatusArea::kBottom};
  CWndOsc_StatusArea m_stripMeasures{CWndOsc_StatusArea::kMeasures};
  CWndOsc_StatusArea m_stripSavedCD{CWndOsc_StatusArea::kSavedCD};
  CWndOsc_StatusArea m_stripSavedEF{CWndOsc_StatusArea::kSavedEF};
  CWndOsc_Cursor m_cursorPanel;
  CWndOsc_Autoset m_autoset;
  CWndOsc_StatusArea m_stripText{CWndOsc_StatusArea::kText};
  CWndOsc_MinimizePanel m_minimizePanel;
  CXPCtrlBtn m_manualButton;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnPaint() override;
  void OnTimer(UINT_PTR id) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  // The minimize handle.
  void Toggle() override { OnMinimizeToggle(); }
  int IsExpanded() override { return IsPanelMinimized(); }
  void Dock() override { ToggleDock(); }
  // The manual button.
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  BOOL CreateChildren();
  void PaintBackground(CDC* dc);
  void SlideTick(bool in);
  void ApplyShownDivisions(int divisions);

  std::unique_ptr<IScopeControlPanel> m_pControlPanel;
  class HandleTarget;
  std::unique_ptr<HandleTarget> m_pHandleTarget;
  std::function<void(int)> m_measurementIdSink;
  CRect m_rcClient{0, 0, 0, 0};
  CRect m_rcChart{0, 0, 0, 0};
  // The time ruler's scroll map or thumbs changed since its last repaint by the hub.
  bool m_bTimeRulerStale = true;
};

}  // namespace scope
