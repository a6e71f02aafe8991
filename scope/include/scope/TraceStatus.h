// The status value of a live sample, as the chart, its printout and the cursor panel read it: the
// stored saturation byte (1 above the range, 2 below it), with 1 and 2 exchanged and any other
// code read as 0 for an inverted trace (multiplier -1), whose values are drawn negated.
#pragma once

#include <core/SignalData.h>

namespace scope {

// 0 for an index outside the trace's flags.
inline int TraceStatusValue(const CSignalData& trace, int index) {
  if (index < 0 || index >= trace.m_SaturationFlags.GetSize()) return 0;
  const int v = trace.m_SaturationFlags[index];
  if (trace.m_nMultiplier != -1) return v;
  return v == 1 ? 2 : v == 2 ? 1 : 0;
}

}  // namespace scope
