// IControlPanelDevice: the library calls beyond the snapshot's that the control panel makes (probe
// lists and selection, the high-voltage channel, synchronisation, the board's continuous
// acquisition for a recording through the recorder). The program's is CEngineControlPanelDevice;
// tests hand a fake.
#pragma once

#include <scope/pane/ProbeEntry.h>

#include <vector>

namespace scope {

class IControlPanelDevice {
 public:
  // Waits until the link has no acquisition read pending, so the probe calls that follow do
  // not meet a busy link.
  virtual void WaitLinkIdle() = 0;
  // Engine-tester path: the probe list of a channel; 0, 8 (busy) or another error code.
  virtual int ReadProbeList(int channel, std::vector<ProbeEntry>& list) = 0;
  // Selects the probe on the channel and applies its description to the channel's settings.
  virtual void SelectProbeId(int channel, const ProbeEntry& probe) = 0;
  // The engine's selected high-voltage channel 1..4, and its locked setter.
  virtual int GetSelectedChannel() = 0;
  virtual void SetSelectedChannel(int channel) = 0;
  // Synchronisation requests: toggle (type 10) or set.
  virtual void Synchronise(bool toggle) = 0;
  // Recording through the recorder: the link state (2 = ready for the continuous acquisition),
  // the acquisition mode, the continuous acquisition. 0 is success.
  virtual int GetLinkState() = 0;
  virtual int GetAcquisitionMode(bool engineTester, int& mode) = 0;
  virtual int SetAcquisitionMode(bool engineTester, int mode) = 0;
  virtual int StartContinuous(bool engineTester) = 0;
  virtual int StopContinuous(bool engineTester, int& samples) = 0;
  // Engine-tester path: the option byte of a channel's probe input, read before a recording
  // through the recorder changes the acquisition mode and written back after it. 0 is success.
  virtual int GetProbeOption(int channel, int& option) = 0;
  virtual int SetProbeOption(int channel, int option) = 0;
  // Blocks the GUI thread between retries and polls.
  virtual void Sleep(int ms) = 0;

 protected:
  ~IControlPanelDevice() = default;
};

}  // namespace scope
