#include <core/MotortesterData.h>

void CMotortesterData::SetInterfaces(IMotortester_6* motortester, IMTVoltmeter_8* voltmeter,
                                     ICommunication_1* communication) {
  m_pMotortester.store(motortester);
  m_pVoltmeter.store(voltmeter);
  m_pCommunication.store(communication);
}

BOOL CMotortesterData::IsReady() const {
  IMotortester_6* tester = m_pMotortester.load();
  return tester && tester->IsReady() ? TRUE : FALSE;
}

void CMotortesterData::LoadMotortesterParams() {}

CMotortesterData* GetMotortesterDevice() {
  static CMotortesterData data;
  return &data;
}
