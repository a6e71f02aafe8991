// Reading the engine-tester oscilloscope's rate table (sample rates, or angle rates in angle mode)
// into a settings record. The engine-tester pane and the special tests use it before they switch
// to the scope tab; it always asks the engine-tester oscilloscope.
#pragma once

#include <core/MeasureProps.h>

#include <kv310/Interfaces.h>

#include <functional>

// Appends an error line (the acquisition engine's AddError also resets the link).
using AddErrorLine = std::function<void(CStringArrayEx& lines, const char* text)>;

// Empties the list and the rate table, reads the count, the rates and (only to report a failure)
// the current index; then the global settings recompute their trigger-level scale. 1 without error
// lines. The selected index of the settings stays as it was.
int ReadSampleRateTable(IMTOscilloscope_7* osc, CMeasureProps& settings, CStringArrayEx& lines,
                        const AddErrorLine& addError = nullptr);
