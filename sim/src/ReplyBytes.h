// Small pieces every reply builder uses: big-endian fields, the probe code on an engine-tester
// input, and the high-voltage reference probe's divider.
#pragma once

#include <sim/BoardScenario.h>

#include <cstdint>

namespace sim {

inline void Put16(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)}); }
inline void Put24(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }
inline void Put32(Bytes& b, uint32_t v) {
  b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

// The probe code on an engine-tester input; 0 for an input the module does not have.
inline uint8_t InputCode(const BoardScenario& scenario, size_t input) {
  return input < scenario.inputProbeCodes.size() ? scenario.inputProbeCodes[input] : 0;
}

// The engine-tester input that carries the high-voltage reference probe.
inline constexpr size_t kReferenceInput = 4;

// Volts of the secondary per volt at the converter, by the variant of the reference probe.
inline double ReferenceDivider(const BoardScenario& scenario) {
  switch (InputCode(scenario, kReferenceInput)) {
    case 36: return 5340.0;
    case 67: return 4750.0;
    default: return 5000.0;
  }
}

}  // namespace sim
