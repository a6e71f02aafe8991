// What the scope pane's runs on the simulated board look for: a range that holds a signal, a
// display trace that holds samples.
#pragma once

#include <core/GlobalProps.h>
#include <core/Measure.h>

namespace scope_test {

// The smallest range of the channel that holds `volts`, or -1.
inline int FittingRange(const CChannelProps& channel, double volts) {
  int fitting = -1;
  for (INT_PTR i = 0; i < channel.m_Ranges.GetSize(); ++i)
    if (channel.m_Ranges[i] >= volts && (fitting < 0 || channel.m_Ranges[i] < channel.m_Ranges[fitting]))
      fitting = static_cast<int>(i);
  return fitting;
}

// The channel's display trace is valid and holds samples.
inline bool TraceFilled(int channel) {
  CMeasureList& traces = GetTraceList();
  return channel < traces.GetSize() && traces[channel]->m_bValid && traces[channel]->GetCount() > 0;
}

}  // namespace scope_test
