// CWndMotortester_AllCylinders: the high-voltage panel that shows one bar per cylinder the meter reports (at most the engine's cylinder count and four),
// each with its number; it takes part in the automatic polarity detection.
#pragma once

#include <enginetester/HiVoltagePanel.h>

class CWndMotortester_AllCylinders : public CWndMotortester_HiVoltage {
 public:
  explicit CWndMotortester_AllCylinders(CMeasureEngine* engine = nullptr);

  // A worker's entry point: one batch on the panel's shared state.
  static DWORD AllCylindersThreadProc(LPVOID param) { return RunWorker(param); }

 protected:
  LPTHREAD_START_ROUTINE WorkerEntry() const override { return &AllCylindersThreadProc; }
  int TitleTop() const override { return m_rcClient.Height() / 30; }
};
