// The three polled readers of the engine-tester panels: advance, dwell angle and temperature. Each
// holds its meter interface and the link, brings the link to idle when its panel starts and turns
// one measurement into values and statuses (CMotortesterData's STATUS_*: 1 ok, 0 the read failed,
// 2 no probe, 3 wrong probe). Any status other than 1 also recovers the link. GUI thread.
#pragma once

#include <kv310/Interfaces.h>

#include <platform/types.h>

class CAdvanceReader {
 public:
  enum { SPEED = 0, ADVANCE = 1, TEMPERATURE = 2 };

  void SetInterfaces(IMTAdvancemeter_11* meter, ICommunication_1* communication);
  // Link to idle; the first time only, with the engine-tester board ready and the stroboscope
  // (kind 9) selectable, the selected advance kind becomes 9.
  void Start();
  // The speed (int, -1 not valid), advance (-1000 not valid) and temperature (-1 not valid) of
  // one measurement. The hold flag toggles on each press of the probe button; while it is set the
  // values are left as they are.
  void Read(int& speed, double& advance, double& temperature, int statuses[3], BOOL& hold);
  // TRUE when the speed input holds a speed sensor (kinds 5, 6, 7, 10, 13).
  BOOL HasSpeedProbe();
  int GetSelectedKind() const { return m_nSelectedKind; }
  void SetSelectedKind(int kind) { m_nSelectedKind = kind; }

 private:
  IMTAdvancemeter_11* m_pMeter = nullptr;
  ICommunication_1* m_pCommunication = nullptr;
  int m_nSelectedKind = 0;
  bool m_bStarted = false;
  int m_nLastButton = 0;
};

class CDwellReader {
 public:
  enum { DWELL = 0, TEMPERATURE = 1 };

  void SetInterfaces(IMTDwellanglemeter_13* meter, ICommunication_1* communication);
  // Link to idle, then the meter's probe query (its result is not used).
  void Start();
  // Dwell (-1.0 not valid), speed (-1 not valid) and temperature (-1.0 not valid).
  void Read(int& speed, double& dwell, double& temperature, int statuses[2]);

 private:
  IMTDwellanglemeter_13* m_pMeter = nullptr;
  ICommunication_1* m_pCommunication = nullptr;
};

class CTemperatureReader {
 public:
  enum { SPEED = 0, TEMPERATURE = 1 };

  void SetInterfaces(IMTTemperaturemeter_12* meter, ICommunication_1* communication);
  // Link to idle.
  void Start();
  // Speed (-1 not valid) and the temperature in whole degrees (-1 not valid).
  void Read(int& speed, int& temperature, int statuses[2]);

 private:
  IMTTemperaturemeter_12* m_pMeter = nullptr;
  ICommunication_1* m_pCommunication = nullptr;
};
