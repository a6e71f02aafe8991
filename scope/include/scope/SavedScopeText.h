// Texts of a saved scope that the chart's printout and the pane's status strips share: the time per
// division the scope was saved with and a saved signal's volts per division.
#pragma once

#include <platform/afx.h>

class CSavedScope;
class CSavedSignal;

// The time per division of a saved scope: a scope saved in roll mode spread 500 / rate over the
// shown divisions, any other covers the record (1000 / (record divisions * rate)). "%d°" of the
// truncated value for a scope saved in angle mode, else the value in seconds with automatic
// precision. "---" when the scope has no usable rate or there are no divisions to divide by.
CString FormatSavedScopeTimePerDiv(const CSavedScope& scope);

// A saved signal's stored per-division value with its unit: below 1 in magnitude with automatic
// precision, else with decimals by magnitude.
CString FormatSavedSignalPerDiv(const CSavedSignal& signal);
