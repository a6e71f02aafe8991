// The texts of the multimeter panes: the value, minimum and maximum texts by display mode, the zero
// band of the zero-offset adjustment and the continuity beeper's tone. The zero of a magnitude's
// precision (FormatMeasuredValue) is the core's, shared with the engine tester's voltage panel.
#pragma once

#include <core/ValueText.h>

#include <platform/afx.h>

// Display modes of a meter reading (the probe description's kind).
enum : int {
  METER_MODE_MAGNITUDE = 1,  // voltage probe: precision by magnitude with sub-unit prefixes
  METER_MODE_ONE_DECIMAL = 2,
  METER_MODE_INTEGER = 3,
  METER_MODE_TWO_DECIMALS = 15,
};

// The value in the display mode with its unit and, when mark is not null, " " and the mark
// ("=" DC, "~" AC): the value field has the mark, MIN and MAX have none. Modes without a row of
// their own are shown as the magnitude mode.
CString FormatMeterValue(double value, int mode, LPCSTR unit, LPCSTR mark);

// What MIN and MAX show while a reset is pending: the zero of the mode (the magnitude mode in the
// precision of the last value) and the unit.
CString FormatMeterZero(int mode, double lastValue, LPCSTR unit);

// Half-width of the band the raw value must lie strictly inside for a zero-offset adjustment:
// the full-scale value / 25 in the one- and two-decimal modes, / 50 in the others.
double GetZeroBand(int mode, double fullScale);

// The value rounded to the decimals of the mode (1, 0, 2), 0 in any other mode: what the ammeter
// prints as its minimum and maximum.
double RoundForPrint(double value, int mode);

// The continuity beeper's tone for a resistance: 0 below 5 ohms, 1 below 15, else -1 (silent).
int GetContinuityTone(double ohms);
