// CWndMotortester_Thermometer: the oil temperature panel with engine speed. While shown it reads
// the temperature meter every 250 ms; every 5 s, when the speed sensor is missing or wrong, it
// asks the meter to look for its probes again and then skips four readings. GUI thread only.
#pragma once

#include <enginetester/MotortesterPolledPanel.h>

#include <core/MotortesterReaders.h>

class CWndMotortester_Thermometer : public CMotortesterPolledPanel {
 public:
  enum { TIMER_PROBES = 2, PROBES_MS = 5000, SKIP_TICKS = 4 };

  CWndMotortester_Thermometer();

  // The meter and the link to use instead of the library binding's (tests).
  void SetInterfaces(IMTTemperaturemeter_12* meter, ICommunication_1* communication) {
    m_pMeter = meter;
    m_pCommunication = communication;
    m_bInterfacesGiven = true;
  }
  IMTTemperaturemeter_12* Meter() const;
  ~CWndMotortester_Thermometer() override;

  BOOL CreateChildren() override;
  void StartPolling() override;
  void StopPolling() override;
  void OnReadTimer(UINT_PTR id) override;

  // The 250 ms tick and the 5 s probe check.
  void Tick();
  void CheckProbes();
  int GetSkipCount() const { return m_nSkip; }
  CString TitleText() const override;
  CString LabelText(int id) const override;

 protected:
  void DrawSpeed(CDC* dc, const CRect& rc, LPCSTR text) override;
  void DrawValue(CDC* dc, const CRect& rc, int text) override;

 private:
  IMTTemperaturemeter_12* m_pMeter = nullptr;
  void ReadAndFormat();

  CTemperatureReader m_Reader;
  int m_nSkip = 0;
};
