// CWndMotortester_DwellAngleMeter: the dwell angle panel with engine speed and oil temperature,
// read from the dwell-angle meter every 250 ms while shown. GUI thread only.
#pragma once

#include <enginetester/MotortesterPolledPanel.h>

#include <core/MotortesterReaders.h>

class CWndMotortester_DwellAngleMeter : public CMotortesterPolledPanel {
 public:
  CWndMotortester_DwellAngleMeter();

  // The meter and the link to use instead of the library binding's (tests).
  void SetInterfaces(IMTDwellanglemeter_13* meter, ICommunication_1* communication) {
    m_pMeter = meter;
    m_pCommunication = communication;
    m_bInterfacesGiven = true;
  }
  IMTDwellanglemeter_13* Meter() const;
  ~CWndMotortester_DwellAngleMeter() override;

  BOOL CreateChildren() override;
  void StartPolling() override;
  void StopPolling() override;
  void OnReadTimer(UINT_PTR id) override;

  // One 250 ms tick.
  void Tick();
  CString TitleText() const override;
  CString LabelText(int id) const override;

 private:
  IMTDwellanglemeter_13* m_pMeter = nullptr;
  CDwellReader m_Reader;
};
