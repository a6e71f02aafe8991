// Option flags and numeric option records: the flags word toolkit controls and panes mix in, and
// the description of one adjustable number (value, limits, steps, display precision) that panels
// keep for their settings and copy into and out of their repeat controls.
#pragma once

#include <platform/types.h>

#include <cstdint>

// One 32-bit flags word; each owner gives its bits their meaning and starts it at 0.
struct OptionData {
  uint32_t flags = 0;

  bool HasOption(uint32_t bits) const { return (flags & bits) != 0; }
};

// Sets the bits and returns them when on; clears them and returns 0 when off. The same rule as
// the settings model's SetFlagBits, and the same code.
uint32_t SetOption(uint32_t& flags, uint32_t bits, BOOL on);
inline uint32_t SetOption(OptionData& options, uint32_t bits, BOOL on) { return SetOption(options.flags, bits, on); }

// One adjustable number. The defaults are those of InitRepeatData.
struct NumericOptionRecord {
  int32_t enabled = 1;     // 1: the value can be changed (a repeat control shows its arrows)
  double step = 0.0;       // the amount of one click
  double bigStep = 0.0;    // the amount of one click once a held press has run long enough
  double value = 0.0;
  double min = 0.0;        // the closed range of value
  double max = 0.0;
  int32_t decimals = 0;    // digits after the decimal point when shown
  int32_t accelAfter = -1; // after this many clicks of one press bigStep applies; <= 0: never
  int32_t reversed = 0;    // shown as max - (value - min); applied by the owner's draw callback
};

// enabled 1, every number 0, decimals 0, accelAfter -1, reversed 0.
void InitRepeatData(NumericOptionRecord* record);
void CopyOptionRecord(NumericOptionRecord* destination, const NumericOptionRecord* source);
// Stores x when min <= x <= max and x differs from the value; TRUE when it stored. NaN is refused.
BOOL SetValueInRange(NumericOptionRecord* record, double x);

// The step rule of the repeat control's arrows. Up by a: nothing when value >= max, else value +=
// step * trunc(a / step), capped at max; down mirrored at min. A negative amount steps the other
// way (owners give step -1 to reverse the arrows). A step of 0 leaves the value alone. TRUE when
// the value changed.
BOOL StepValueUp(NumericOptionRecord* record, double amount);
BOOL StepValueDown(NumericOptionRecord* record, double amount);
