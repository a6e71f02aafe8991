// CWndMotortester_SelectedCylinder: the high-voltage panel that shows one bar for the channel
// (1-4) the user chooses with four buttons under it. The choice is the acquisition engine's
// selected high-voltage channel, which the worker reads for every batch; a new choice starts the
// automatic polarity detection again.
#pragma once

#include <enginetester/HiVoltagePanel.h>

class CWndMotortester_SelectedCylinder : public CWndMotortester_HiVoltage {
 public:
  enum { ID_FIRST = 1, ID_FOURTH = 4, CHANNELS = 4 };

  explicit CWndMotortester_SelectedCylinder(CMeasureEngine* engine = nullptr);

  // Chooses channel 1-4 (a click on its button): detection restarts, the engine stores it, the
  // buttons follow. Other ids do nothing.
  void SelectChannel(int channel);
  // The selected channel's button pressed and disabled, the others released and enabled; a
  // selected channel outside 1-4 leaves them alone.
  void RefreshButtons();
  // Buttons by the shown count: 2, 3 or 4 of them; none for 0 or 1; a larger count leaves them.
  void ShowButtons();

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  CXPCtrlBtn m_Channel[CHANNELS];
  CFont m_fntChannel;

 protected:
  CString BarLabel(int bar) const override;
  // The channel buttons' row reaches into the measuring area.
  int CoveredBottom() const override { return m_rcClient.Height() / 15 + 5 + 10; }
  void OnShown() override;
};
