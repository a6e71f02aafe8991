// CPolledMeterPane: what the multimeter panes (voltmeter and ammeter, ohmmeter) share. While the
// pane is active it polls the engine's meter services on a timer four times a second; the derived
// pane says what it asks of the engine on activation and on leaving, which help page the engine
// tester shows after it, and what one poll does. GUI thread only.
#pragma once

#include <ui/PaneWnd.h>
#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afx.h>

class CMeasureEngine;

class CPolledMeterPane : public CXPWndBaseColor,
                         public IPaneWnd,
                         public CXPCtrlBtn::IDrawClbck,
                         public CXPCtrlBtn::IBtnClbck {
 public:
  enum { TIMER_POLL = 1, POLL_MS = 250 };

  ~CPolledMeterPane() override;

  // IPaneWnd: activation shows the pane, starts the reading and the poll timer; deactivation
  // sets the engine tester's help page, stops the reading and the timer and hides the pane.
  void Init() override {}
  void Activate(int previousTab) override;
  BOOL Deactivate() override;
  void Show(BOOL show) override;

  void OnTimer(UINT_PTR id) override;

  // One timer tick.
  virtual void Poll() = 0;

  int m_bRunning = 0;
  int m_bErrorShown = 0;  // m_strValue holds a message instead of a value
  CString m_strValue;
  CMeasureEngine* m_pEngine;  // the program's engine unless a test hands one

 protected:
  static constexpr COLORREF kDisplayFrame = 0x505050;  // the frame of the value displays

  explicit CPolledMeterPane(CMeasureEngine* engine);

  // What the pane asks of the engine before its first poll, and what it gives up on leaving.
  virtual void StartReading() {}
  virtual void StopReading() {}
  // The engine tester's help page once the pane is left.
  virtual int HelpModeOnLeave() const = 0;

  // Creates one of the pane's buttons with the pane as its drawer and click handler; a display
  // (a value or title field) gets the display face of scheme colour `displayColor`.
  BOOL CreateChild(CXPCtrlBtn& button, const char* name, int id, bool display, int displayColor);
};
