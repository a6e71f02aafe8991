#include <ui/OptionData.h>

#include <core/TraceStyle.h>

#include <cmath>

uint32_t SetOption(uint32_t& flags, uint32_t bits, BOOL on) {
  // The flags word and the settings' int flags share one rule; int and unsigned int may alias.
  return static_cast<uint32_t>(SetFlagBits(reinterpret_cast<int&>(flags), static_cast<int>(bits), on));
}

void InitRepeatData(NumericOptionRecord* record) { *record = NumericOptionRecord{}; }

void CopyOptionRecord(NumericOptionRecord* destination, const NumericOptionRecord* source) {
  *destination = *source;
}

BOOL SetValueInRange(NumericOptionRecord* record, double x) {
  if (!(x >= record->min && x <= record->max)) return FALSE;  // NaN fails both comparisons
  if (x == record->value) return FALSE;
  record->value = x;
  return TRUE;
}

namespace {

// The number of whole steps in the amount, times the step; 0 for a step of 0 or a non-finite ratio.
double WholeSteps(double step, double amount) {
  if (step == 0.0) return 0.0;
  const double n = std::trunc(amount / step);
  if (!std::isfinite(n)) return 0.0;
  return step * n;
}

}  // namespace

BOOL StepValueUp(NumericOptionRecord* r, double amount) {
  if (amount < 0.0) return StepValueDown(r, -amount);
  if (r->value >= r->max) return FALSE;
  const double delta = WholeSteps(r->step, amount);
  double next = r->value + delta;
  if (next > r->max) next = r->max;
  if (next == r->value || std::isnan(next)) return FALSE;
  r->value = next;
  return TRUE;
}

BOOL StepValueDown(NumericOptionRecord* r, double amount) {
  if (amount < 0.0) return StepValueUp(r, -amount);
  if (r->value <= r->min) return FALSE;
  const double delta = WholeSteps(r->step, amount);
  double next = r->value - delta;
  if (next < r->min) next = r->min;
  if (next == r->value || std::isnan(next)) return FALSE;
  r->value = next;
  return TRUE;
}
