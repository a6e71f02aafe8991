// CEngineControlPanelDevice: the real library behind the control panel's IControlPanelDevice, the
// acquisition engine's bound oscilloscope interfaces.
#pragma once

#include <scope/pane/ControlPanelDevice.h>

class CMeasureEngine;

namespace scope {

class CEngineControlPanelDevice : public IControlPanelDevice {
 public:
  explicit CEngineControlPanelDevice(CMeasureEngine& engine) : m_Engine(engine) {}
  void WaitLinkIdle() override;
  int ReadProbeList(int channel, std::vector<ProbeEntry>& list) override;
  void SelectProbeId(int channel, const ProbeEntry& probe) override;
  int GetSelectedChannel() override;
  void SetSelectedChannel(int channel) override;
  void Synchronise(bool toggle) override;
  int GetLinkState() override;
  int GetAcquisitionMode(bool engineTester, int& mode) override;
  int SetAcquisitionMode(bool engineTester, int mode) override;
  int StartContinuous(bool engineTester) override;
  int StopContinuous(bool engineTester, int& samples) override;
  int GetProbeOption(int channel, int& option) override;
  int SetProbeOption(int channel, int option) override;
  void Sleep(int ms) override;

 private:
  CMeasureEngine& m_Engine;
};

}  // namespace scope
