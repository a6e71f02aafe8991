// The engine-tester module's side of the acquisition commands: the polarity arming set-up (10)
// and the engine frames read after it (11), which carry one spark of each of the four
// high-voltage probes. Every other set-up and acquisition goes to the measuring board's handlers.
#include "CommandTable.h"

#include <algorithm>

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
constexpr int kReferenceInput = 4;
constexpr int kProbes = 4;

// Spark-to-spark spread of the peaks, in sample counts, repeating every seven frames.
constexpr int kSparkSpread[7] = {0, 3, -2, 4, -1, 2, -3};

bool IsPolarityArming(std::span<const uint8_t> setup) {
  return setup.size() == kArmingLength && setup[kSetupModeByte] == kArmingMode && setup[kSetupTypeByte] == kEngineFrameType;
}

// Volts of one sample count times 64, by the reference probe on input 4 (its divider).
int ReferenceProbeVolts(const BoardScenario& scenario) {
  switch (scenario.inputProbeCodes[kReferenceInput]) {
    case 36: return 5340;
    case 67: return 4750;
    default: return 5000;
  }
}

// The host sets a probe's polarity inverted by one bit per probe in the configuration's polarity
// byte: 0x01, 0x04, 0x10, 0x40 for probes 1 to 4.
bool HostInverts(const BoardState& state, int probe) {
  return (state.lastConfiguration[kPolarityByte] >> (2 * probe)) & 1;
}

uint8_t Sample(int counts) { return static_cast<uint8_t>(std::clamp(128 + counts, 0, 255)); }

CommandReply EngineFrame(BoardContext& board, std::span<const uint8_t> request) {
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
  const int volts = ReferenceProbeVolts(scenario);
  for (int i = 0; i < kProbes; ++i) {
    const HighVoltageProbe& probe = scenario.hvProbes[static_cast<size_t>(i)];
    if (!probe.sparks) {
      reply.insert(reply.end(), {0x80, 0x80, 0x80});
      continue;
    }
    const int counts = std::clamp(probe.kilovolts * 1000 * 64 / volts + spread, 1, 127);
    const bool upright = HostInverts(state, i) != probe.normalPolarity;
    const int sign = upright ? 1 : -1;
    // The breakdown peak, the burn voltage, the line settled again.
    reply.push_back(Sample(sign * counts));
    reply.push_back(Sample(sign * counts / 4));
    reply.push_back(0x80);
  }
  return {std::move(reply), {}};
}

}  // namespace

CommandReply HandleSetupOrArming(BoardContext& board, std::span<const uint8_t> request) {
  if (!IsPolarityArming(request)) return HandleSetup(board, request);
  // The engine frames start with the first arming; arming again (new polarities) keeps them
  // coming.
  if (!IsPolarityArming(board.state.lastSetup)) board.state.engineFramesPending = board.scenario.engineFramesAfterArming;
  board.state.lastSetup.assign(request.begin(), request.end());
  // Without the module the measuring board answers with its channel A code.
  return {{0x10, 0x00, board.Identity(), 0x00}, {}};
}

CommandReply HandleAcquisitionOrEngineFrame(BoardContext& board, std::span<const uint8_t> request) {
  if (!board.EngineTester() || !IsPolarityArming(board.state.lastSetup)) return HandleAcquisition(board, request);
  return EngineFrame(board, request);
}

}  // namespace sim
