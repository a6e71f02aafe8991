// What the pane's parts (the control panel, its recording and files, autoset) read of the shown
// scope: the trace list's channel traces and the number of saved scopes that hold a signal.
#pragma once

#include <core/Measure.h>
#include <core/SavedScope.h>

namespace scope {

// The display trace of a channel, null when the list has none.
inline CMeasure* DisplayTrace(int ch) {
  CMeasureList& list = GetTraceList();
  return ch < list.GetSize() ? list[ch] : nullptr;
}

// How many saved scopes hold a signal.
inline int OccupiedSavedScopes() {
  int n = 0;
  const CSavedScope* scopes = GetSavedScopes();
  for (int i = 0; i < GetSavedScopeCount(); ++i)
    if (!scopes[i].m_bEmpty) ++n;
  return n;
}

}  // namespace scope
