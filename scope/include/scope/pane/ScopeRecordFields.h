// ScopeRecordFields: one record the control panel's recording command adds to the record list,
// per channel that is on, as IScopeRecordTarget takes it.
#pragma once

#include <core/Coupling.h>

#include <platform/types.h>

namespace scope {

struct ScopeRecordFields {
  int m_nChannel = 0;
  COLORREF m_crColor = 0;
  int m_nPenStyle = 2;
  int m_nRollMode = 0;
  int m_nRingCapacity = 0;  // 0: the raw ring is not initialised here
  int m_bThroughRecorder = 0;
  int m_bAngleMode = 0;
  int m_nUnit = 0;
  double m_dSampleRate = 0.0;
  double m_dPerDivision = 0.0;
  double m_dFullScale = 0.0;
  Coupling m_Coupling = Coupling::AC;
  int m_bTransferPending = 1;  // the record command sets it
};

}  // namespace scope
