// The leak recording: the module samples the starter current every 2.5 ms, 1024 times, and sends
// the samples as pairs (h, l) of a 12-bit value whose bit 11 is set (values 2048..4095).
#include "../CommandTable.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr int kLeakSamples = 1024;
constexpr double kLeakSamplePeriodS = 0.0025;
constexpr double kPi = 3.14159265358979323846;

// Repeatable noise in -1..1 per sample.
double Noise(int t) {
  uint32_t x = static_cast<uint32_t>(t) * 2654435761u + 0x9E3779B9u;
  x ^= x >> 15;
  x *= 2246822519u;
  x ^= x >> 13;
  return static_cast<double>(x % 20001u) / 10000.0 - 1.0;
}

// The starter current at sample t in converter counts, 2048..4095.
int LeakSampleCounts(const BoardScenario& scenario, int t) {
  const LeakSignal& leak = scenario.leak;
  const EngineScenario& engine = scenario.engine;
  const int cylinders = std::clamp(engine.cylinders, 1, kMaxEngineCylinders);
  double value = leak.baseCounts;
  if (leak.crankingRpm > 0 && leak.humpCounts > 0) {
    // One compression per cylinder and working cycle (two revolutions of a four-stroke engine).
    const double cycleS = (engine.strokes == 2 ? 1.0 : 2.0) * 60.0 / leak.crankingRpm;
    const double position = t * kLeakSamplePeriodS / (cycleS / cylinders);
    const int compression = static_cast<int>(std::floor(position)) % cylinders;
    const double within = position - std::floor(position);
    double height = leak.humpCounts;
    if (leak.weakCylinder == compression + 1) height *= leak.weakCompression;
    const double s = std::sin(kPi * within);
    value += height * s * s;
  }
  value += leak.noiseCounts * Noise(t);
  return std::clamp(static_cast<int>(std::lround(value)), 2048, 4095);
}

}  // namespace

CommandReply HandleLeakRecording(BoardContext& board, std::span<const uint8_t> request) {
  if (request.size() < 2) return {{0x22, 0x01, board.Identity(), 0x00}, {}};
  Bytes reply{0x22, 0x00, board.Identity(), 0x00};
  reply.reserve(4 + 2 * kLeakSamples);
  for (int t = 0; t < kLeakSamples; ++t) {
    const int v = LeakSampleCounts(board.scenario, t);
    reply.push_back(static_cast<uint8_t>(v >> 8));
    reply.push_back(static_cast<uint8_t>(v & 0xFF));
  }
  CommandReply answer{std::move(reply), {}};
  answer.busy = {board.scenario.leak.recordingPolls, true};
  return answer;
}

}  // namespace sim
