// The engine-tester module's side of the acquisition commands: the polarity arming set-up (10)
// and the engine frames read after it (11), which carry one spark of each of the four
// high-voltage probes. Other set-ups and acquisitions are answered by the other rows of the table.
#include "CommandTable.h"
#include "EngineModel.h"
#include "FrontEnd.h"
#include "ReplyBytes.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// The arming set-up: 10 07 03 14 03 14 01 06 01 L 80 01 FF 01 12 0A S N.
constexpr size_t kArmingLength = 18;
constexpr uint8_t kArmingMode = 0x07;
constexpr uint8_t kEngineFrameType = 0x0A;
constexpr size_t kSetupModeByte = 1;
constexpr size_t kSetupTypeByte = 15;

constexpr uint8_t kStatusNoNewData = 0x02;
constexpr size_t kPolarityByte = 9;  // of the 61 configuration
constexpr int kProbes = 4;

// Spark-to-spark spread of the peaks, in sample counts, repeating every seven frames.
constexpr int kSparkSpread[7] = {0, 3, -2, 4, -1, 2, -3};

bool IsArmingSetup(std::span<const uint8_t> setup) {
  return setup.size() == kArmingLength && setup[kSetupModeByte] == kArmingMode && setup[kSetupTypeByte] == kEngineFrameType;
}

// Sample counts of a spark: the secondary volts behind the reference probe's divider on the 2 V
// range (128 counts full scale), read low by the front end's gain.
int SparkCounts(const BoardScenario& scenario, int cylinder) {
  const RangeSetting range = RangeSettingOf(kPolarityRangeIndex);
  const double fullScale = FullScaleOfCode(range.coupling, range.code) * ReferenceDivider(scenario) *
                           FrontEndGain(kOrdinaryPair, kPolarityRangeIndex, 0);
  return static_cast<int>(std::lround(SparkVolts(scenario.engine, cylinder) / fullScale * 128.0));
}

// The host sets a probe's polarity inverted by one bit per probe in the configuration's polarity
// byte: 0x01, 0x04, 0x10, 0x40 for probes 1 to 4.
bool HostInverts(const BoardState& state, int probe) {
  return (state.lastConfiguration[kPolarityByte] >> (2 * probe)) & 1;
}

uint8_t Sample(int counts) { return static_cast<uint8_t>(std::clamp(128 + counts, 0, 255)); }

}  // namespace

bool IsPolarityArming(const BoardContext&, std::span<const uint8_t> request) { return IsArmingSetup(request); }

bool AfterPolarityArming(const BoardContext& board, std::span<const uint8_t>) {
  return board.EngineTester() && IsArmingSetup(board.state.lastSetup);
}

CommandReply HandlePolarityArming(BoardContext& board, std::span<const uint8_t> request) {
  // The engine frames start with the first arming; arming again (new polarities) keeps them
  // coming.
  if (!IsArmingSetup(board.state.lastSetup)) board.state.engineFramesPending = board.scenario.engineFramesAfterArming;
  board.state.lastSetup.assign(request.begin(), request.end());
  // Without the module the measuring board answers with its channel A code.
  return {{0x10, 0x00, board.Identity(), 0x00}, {}};
}

CommandReply HandleEngineFrame(BoardContext& board, std::span<const uint8_t> request) {
  BoardState& state = board.state;
  const BoardScenario& scenario = board.scenario;
  if (request.size() >= 2 && request[1] == 1) state.engineFramesPending = scenario.engineFramesAfterArming;

  // 11 st id b3, the speed counter (not evaluated by the frame's reader), type, trigger state,
  // trigger index; then three samples per probe.
  Bytes reply{0x11, 0x00, board.Identity(), 0x00, 0x00, 0x00, 0x00, 0x00, kEngineFrameType, 0x00, 0x00, 0x00};
  if (state.engineFramesPending > 0) {
    --state.engineFramesPending;
    reply[1] = kStatusNoNewData;
    return {std::move(reply), {}};
  }
  const int spread = kSparkSpread[state.engineFrameCount++ % std::size(kSparkSpread)];
  for (int i = 0; i < kProbes; ++i) {
    const HighVoltageProbe& probe = scenario.hvProbes[static_cast<size_t>(i)];
    if (!probe.sparks) {
      reply.insert(reply.end(), {0x80, 0x80, 0x80});
      continue;
    }
    // Probe i sits on cylinder i + 1's lead: its spark is the engine's.
    const int counts = std::clamp(SparkCounts(scenario, i + 1) + spread, 1, 127);
    const bool upright = HostInverts(state, i) != probe.normalPolarity;
    const int sign = upright ? 1 : -1;
    // The breakdown peak, the burn voltage, the line settled again.
    reply.push_back(Sample(sign * counts));
    reply.push_back(Sample(sign * counts / 4));
    reply.push_back(0x80);
  }
  return {std::move(reply), {}};
}

}  // namespace sim
