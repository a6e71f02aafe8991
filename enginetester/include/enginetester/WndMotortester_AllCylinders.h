// CWndMotortester_AllCylinders: the high-voltage panel that shows one bar per cylinder the meter reports (at most the engine's cylinder count and four),
// each with its number; it takes part in the automatic polarity detection.
#pragma once

#include <enginetester/HiVoltagePanel.h>

class CWndMotortester_AllCylinders : public CWndMotortester_HiVoltage {
 public:
  explicit CWndMotortester_AllCylinders(CMeasureEngine* engine = nullptr);

 protected:
  int TitleTop() const override { return m_rcClient.Height() / 30; }
};
