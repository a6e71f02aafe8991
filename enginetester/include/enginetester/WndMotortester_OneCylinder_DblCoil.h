// CWndMotortester_OneCylinder_DblCoil: the high-voltage panel that shows two bars, the two sparks of a double-spark coil.
#pragma once

#include <enginetester/HiVoltagePanel.h>

class CWndMotortester_OneCylinder_DblCoil : public CWndMotortester_HiVoltage {
 public:
  explicit CWndMotortester_OneCylinder_DblCoil(CMeasureEngine* engine = nullptr);

 protected:
  int TitleTop() const override { return m_rcClient.Height() / 30; }
};
