// The signal generator behind each board channel: the value of a SignalSource at a moment of the
// board's clock, the moments it crosses a level, and the raw converter bytes the board sends.
#pragma once

#include "FrontEnd.h"

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

// The signal as the converter sees it (AC coupling drops the offset).
SignalSource SeenSignal(const SignalSource& signal, const ChannelInput& input);

// Converter byte of a value: 128 + 128 x value / scale, rounded down and held within 0..255.
uint8_t RawByte(double value, const ChannelInput& input);

// The value at which the converter byte reaches `code` (the inverse of RawByte's threshold).
double ThresholdOfCode(int code, const ChannelInput& input);

}  // namespace sim
