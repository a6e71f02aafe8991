// CWndRecordAnalyzer: the pane in which recorded signals are replayed and measured. It owns the
// chart, status area, tools, time line, playback control panel and cursors area, lays them out and
// paints the frame and title around them, turns the recorder thread's progress and end messages
// into notifications, and is the program's one analyzer sink: every notification passes through
// it to the six children in a fixed order (time line, control panel, tools, status area, chart,
// cursors area). GUI thread only.
#pragma once

#include <meters/analyzer/AnalyzerChartWnd.h>
#include <meters/analyzer/AnalyzerTimeLine.h>
#include <meters/analyzer/WndAnalyzerControlPanel.h>
#include <meters/analyzer/WndAnalyzerCursorsArea.h>
#include <meters/analyzer/WndAnalyzerStatusArea.h>
#include <meters/analyzer/WndAnalyzerTools.h>

#include <core/Notify.h>

#include <ui/PaneWnd.h>

#include <platform/afxgdi.h>
#include <platform/afxwin.h>

class CRecorder;

class CWndRecordAnalyzer : public CWnd, public IPaneWnd, public IAnalyzerNotify {
 public:
  static constexpr const char* kClassName = "CWndRecordAnalyzer";
  static constexpr const char* kPaneName = "RecordAnalyzer";
  enum { kPaneId = 1021, kTab = 6 };
  enum { kStatusId = 1024, kChartId = 1023, kToolsId = 1025, kTimeLineId = 1026, kControlPanelId = 1027, kCursorsId = 1028 };

  // Registers the window class, the analyzer sink and the pane's window in the recorder (the
  // program's recorder unless a test hands its own).
  explicit CWndRecordAnalyzer(CRecorder* recorder = nullptr);
  ~CWndRecordAnalyzer() override;

  BOOL Create(LPCSTR name, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  using CWnd::Create;

  // IPaneWnd.
  void Init() override;
  void Activate(int previousTab) override;
  BOOL Deactivate() override;
  void Show(BOOL show) override;

  void OnAnalyzerNotify(int sender, int code, int value) override;

  // The recorder thread's messages: progress (percent in wParam) and the end of a transfer.
  LRESULT OnTransferProgress(WPARAM percent);
  LRESULT OnTransferFinished();

  void RecalcLayout();
  void PaintPane(CDC* dc);

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnWindowPosChanged(WINDOWPOS* pos) override;

  CRecorder* m_pRecorder;
  CAnalyzerChartWnd m_Chart;
  CWndAnalyzer_StatusArea m_StatusArea;
  CWndAnalyzer_Tools m_Tools;
  CWndAnalyzerTimeLine m_TimeLine;
  CWndAnalyzerControlPanel m_ControlPanel;
  CWndAnalyzer_CursorsArea m_CursorsArea;
  CFont m_fntTitle;
  CFont m_fntName;
  CRect m_rcLast{0, 0, 0, 0};
  CRect m_rcClient{0, 0, 0, 0};
  CRect m_rcChartFrame{0, 0, 0, 0};
  CRect m_rcStatusFrame{0, 0, 0, 0};
  CRect m_rcToolsFrame{0, 0, 0, 0};
  CRect m_rcControlFrame{0, 0, 0, 0};
};
