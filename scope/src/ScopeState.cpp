#include <scope/ScopeState.h>

#include <core/SignalData.h>

namespace scope {

ScopeState& GetScopeState() {
  static ScopeState state;
  return state;
}

double GetSignedMaximum(const CSignalData& trace) {
  return trace.m_nMultiplier == -1 ? -trace.m_dLowerLimit : trace.m_dUpperLimit;
}

double GetSignedMinimum(const CSignalData& trace) {
  return trace.m_nMultiplier == -1 ? -trace.m_dUpperLimit : trace.m_dLowerLimit;
}

}  // namespace scope
