// The signal generator behind each board channel: the value of a SignalSource at a moment of the
// board's clock, the moments it crosses a level, and the raw converter bytes the board sends.
#pragma once

#include <sim/BoardScenario.h>

#include <cstdint>
#include <optional>

namespace sim {

// Signal value at board time `t` (seconds).
double SignalValue(const SignalSource& signal, double t);

// The first moment at or after `from` when the signal crosses `level` upwards (`rising`) or
// downwards; none when it never does (DC, a level outside the swing). Noise is searched sample by
// sample (`samplePeriod` apart) over `searchSamples` samples.
std::optional<double> NextCrossing(const SignalSource& signal, double level, bool rising, double from,
                                   double samplePeriod, int searchSamples);

// How a channel turns volts into converter bytes: full scale of the range times the probe's
// factor, and whether the input is AC-coupled (the DC level does not reach the converter).
struct ChannelInput {
  double scale = 1.0;  // full scale x probe factor, in the signal's units
  bool acCoupled = false;
};

// The signal as the converter sees it (AC coupling drops the offset).
SignalSource SeenSignal(const SignalSource& signal, const ChannelInput& input);

// Converter byte of a value: 128 + 128 x value / scale, rounded down and held within 0..255.
uint8_t RawByte(double value, const ChannelInput& input);

// The value at which the converter byte reaches `code` (the inverse of RawByte's threshold).
double ThresholdOfCode(int code, const ChannelInput& input);

// The scale factor the board applies for a probe code (clamps and high-voltage probes divide the
// signal before the converter); 1 for test leads and unknown codes.
double ProbeScaleOfCode(uint8_t code);

// Full scale (volts) of the board's range code within a coupling's range group: couplings 1 and 2
// cover 400/200/80 V (codes 1, 2, 5), couplings 3 and 4 cover 40 V down to 0.4 V (codes 1 .. 100).
// 0 for a combination the board does not have.
double FullScaleOfCode(uint8_t coupling, uint8_t rangeCode);

}  // namespace sim
