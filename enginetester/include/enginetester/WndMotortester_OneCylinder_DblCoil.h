// CWndMotortester_OneCylinder_DblCoil: the high-voltage panel that shows two bars, the two sparks of a double-spark coil.
#pragma once

#include <enginetester/HiVoltagePanel.h>

class CWndMotortester_OneCylinder_DblCoil : public CWndMotortester_HiVoltage {
 public:
  explicit CWndMotortester_OneCylinder_DblCoil(CMeasureEngine* engine = nullptr);

  // A worker's entry point: one batch on the panel's shared state.
  static DWORD DblCoilThreadProc(LPVOID param) { return RunWorker(param); }

 protected:
  LPTHREAD_START_ROUTINE WorkerEntry() const override { return &DblCoilThreadProc; }
  int TitleTop() const override { return m_rcClient.Height() / 30; }
};
