// CWndMotortester_OneCylinder: the high-voltage panel that shows one bar, the value the meter reports for the cylinder it measures.
#pragma once

#include <enginetester/HiVoltagePanel.h>

class CWndMotortester_OneCylinder : public CWndMotortester_HiVoltage {
 public:
  explicit CWndMotortester_OneCylinder(CMeasureEngine* engine = nullptr);

 protected:
  CString BarLabel(int) const override { return CString(); }
};
