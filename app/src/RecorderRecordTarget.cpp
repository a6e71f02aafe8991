#include "RecorderRecordTarget.h"

#include <meters/Record.h>
#include <meters/Recorder.h>

CRecorderRecordTarget::CRecorderRecordTarget(CRecorder* recorder) : m_Recorder(recorder ? *recorder : GetRecorder()) {}

void CRecorderRecordTarget::ClearRecordList() { ::ClearRecordList(); }

void CRecorderRecordTarget::AddRecord(const scope::ScopeRecordFields& f) {
  CRecord* r = AddNewRecord(nullptr);
  if (!r) return;
  r->m_nChannel = static_cast<SHORT>(f.m_nChannel);
  r->m_crColor = f.m_crColor;
  r->m_nPenStyle = f.m_nPenStyle;
  r->m_bRoll = f.m_nRollMode != 0 ? 1 : 0;
  if (f.m_nRingCapacity > 0) r->m_Ring.init(f.m_nRingCapacity);
  r->m_bDirect = f.m_bThroughRecorder != 0 ? 1 : 0;
  r->m_bAngle = f.m_bAngleMode;
  r->m_nUnit = f.m_nUnit;
  r->m_dSampleRate = f.m_dSampleRate;
  r->m_dPerDivision = f.m_dPerDivision;
  r->m_dFullScale = f.m_dFullScale;
  r->SetCoupling(f.m_Coupling);
  r->m_bTransferPending = f.m_bTransferPending;
}

int CRecorderRecordTarget::GetRecordCount() const { return static_cast<int>(GetRecordList().GetSize()); }

void CRecorderRecordTarget::SizeRecords(int points) {
  if (points < 0) points = 0;
  CRecordList& list = GetRecordList();
  for (INT_PTR k = 0; k < list.GetSize(); ++k) {
    list[k]->m_Ring.init(points);
    list[k]->m_nPointCount = points;
  }
}

void CRecorderRecordTarget::SetOldAcquisitionMode(bool engineTester, int mode) {
  m_Recorder.m_nPrevAcquisitionMode[engineTester ? ENGINE_TESTER_PATH : BOARD_PATH] = mode;
}

int CRecorderRecordTarget::GetOldAcquisitionMode(bool engineTester) const {
  return m_Recorder.m_nPrevAcquisitionMode[engineTester ? ENGINE_TESTER_PATH : BOARD_PATH];
}

void CRecorderRecordTarget::StartRecorderFeed() { m_Recorder.SetRingFeed(1); }

void CRecorderRecordTarget::StopRecorderFeed() { m_Recorder.SetRingFeed(0); }
