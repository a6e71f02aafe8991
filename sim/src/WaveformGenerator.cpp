#include "WaveformGenerator.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Repeatable noise in -1..1 for a moment of the board's clock (100 ns grid).
double NoiseAt(double t) {
  uint64_t x = static_cast<uint64_t>(std::llround(t * 1e7)) * 0x9E3779B97F4A7C15ull;
  x ^= x >> 31;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 29;
  return static_cast<double>(x >> 11) / static_cast<double>(1ull << 53) * 2.0 - 1.0;
}

double Shape(Waveform shape, double phase) {
  switch (shape) {
    case Waveform::Sine: return std::sin(2.0 * kPi * phase);
    case Waveform::Square: return phase < 0.5 ? 1.0 : -1.0;
    case Waveform::Triangle:
      if (phase < 0.25) return 4.0 * phase;
      if (phase < 0.75) return 2.0 - 4.0 * phase;
      return 4.0 * phase - 4.0;
    case Waveform::Dc:
    case Waveform::Noise: break;
  }
  return 0.0;
}

// Phase (0..1) of the crossing within one period, for the periodic shapes.
std::optional<double> CrossingPhase(const SignalSource& s, double level, bool rising) {
  if (s.amplitude <= 0.0 || s.frequencyHz <= 0.0) return std::nullopt;
  const double y = (level - s.offset) / s.amplitude;
  switch (s.shape) {
    case Waveform::Sine:
      if (!(y > -1.0 && y < 1.0)) return std::nullopt;
      return rising ? std::asin(y) / (2.0 * kPi) : 0.5 - std::asin(y) / (2.0 * kPi);
    case Waveform::Triangle:
      if (!(y > -1.0 && y < 1.0)) return std::nullopt;
      return rising ? y / 4.0 : (2.0 - y) / 4.0;
    case Waveform::Square:
      // The jump from -1 to +1 (at phase 0) passes levels in (-1, 1]; the way down, [-1, 1) reversed.
      if (!(y > -1.0 && y <= 1.0)) return std::nullopt;
      return rising ? 0.0 : 0.5;
    case Waveform::Dc:
    case Waveform::Noise: break;
  }
  return std::nullopt;
}

}  // namespace

double SignalValue(const SignalSource& s, double t) {
  switch (s.shape) {
    case Waveform::Dc: return s.offset;
    case Waveform::Noise: return s.offset + s.amplitude * NoiseAt(t);
    default: break;
  }
  const double cycles = s.frequencyHz * t;
  return s.offset + s.amplitude * Shape(s.shape, cycles - std::floor(cycles));
}

std::optional<double> NextCrossing(const SignalSource& s, double level, bool rising, double from, double samplePeriod,
                                   int searchSamples) {
  if (s.shape == Waveform::Noise) {
    double previous = SignalValue(s, from - samplePeriod);
    for (int i = 0; i < searchSamples; ++i) {
      const double t = from + i * samplePeriod;
      const double value = SignalValue(s, t);
      if (rising ? (previous < level && value >= level) : (previous >= level && value < level)) return t - samplePeriod / 2;
      previous = value;
    }
    return std::nullopt;
  }
  const std::optional<double> phase = CrossingPhase(s, level, rising);
  if (!phase) return std::nullopt;
  const double k = std::ceil(s.frequencyHz * from - *phase);
  return (k + *phase) / s.frequencyHz;
}

SignalSource SeenSignal(const SignalSource& signal, const ChannelInput& input) {
  SignalSource seen = signal;
  if (input.acCoupled) seen.offset = 0.0;
  return seen;
}

uint8_t RawByte(double value, const ChannelInput& input) {
  const double code = std::floor(128.0 + 128.0 * value / input.scale);
  return static_cast<uint8_t>(std::clamp(code, 0.0, 255.0));
}

double ThresholdOfCode(int code, const ChannelInput& input) { return (code - 128) * input.scale / 128.0; }

}  // namespace sim
