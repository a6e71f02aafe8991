// The scope tables the tests set up without a board: the 18 sample rates of the library's scope
// (20 S/s to 10 MS/s) and ten voltage ranges (400 V to 0.4 V per screen) of a plain probe.
#pragma once

#include <core/GlobalProps.h>
#include <core/MeasureProps.h>

namespace kvtest {

inline constexpr double kScopeRates[] = {20,  50,  100, 200, 500, 1e3, 2e3, 5e3, 1e4,
                                         2e4, 5e4, 1e5, 2e5, 5e5, 1e6, 2e6, 5e6, 1e7};
inline constexpr double kScopeRanges[] = {400, 200, 80, 40, 20, 8, 4, 2, 0.8, 0.4};

// Appends the 18 rates to the time base's table.
inline void AddScopeRates(CMeasureProps& p) {
  for (double r : kScopeRates) p.m_TimeBase.m_Rates.Add(r);
}

// Appends the ten ranges to a channel's table, as voltage ranges.
inline void AddScopeRanges(CChannelProps& c) {
  for (double r : kScopeRanges) c.m_Ranges.Add(r);
  c.m_Ranges.m_nKind = 1;
}

// The scope as most tests start it: the 18 rates at index 9 (10000 S/s), records of 1000 samples,
// and on both channels the ten ranges, enabled, with range 4 as the default.
inline void SetUpScopeTables(GlobalProps& p) {
  AddScopeRates(p);
  p.m_nRecordLength = 1000;
  p.SetTimeBaseIndex(9, FALSE, TRUE);
  for (CChannelProps& c : p.m_Channels) {
    AddScopeRanges(c);
    c.m_bEnabled = 1;
    c.m_nDefaultRangeIndex = 4;
  }
}

}  // namespace kvtest
