// Measurement commands (set-ups, starts, reads). Until an instrument's board side is modelled,
// its commands get well-formed replies with status 0 and the identity in byte 2, so the host
// recognises which board it talks to and never sees a refusal or silence.
#include "CommandTable.h"

namespace sim {

namespace {

constexpr size_t kSetupModeByte = 1;
constexpr size_t kSetupTypeByte = 15;

}  // namespace

CommandReply HandleSetup(BoardContext& board, std::span<const uint8_t> request) {
  board.state.lastSetup.assign(request.begin(), request.end());
  return {{0x10, 0x00, board.Identity(), 0x00}, {}};
}

CommandReply HandleAcquisition(BoardContext& board, std::span<const uint8_t> request) {
  // The header of a data reply with no samples: codes of channels A and B, the measured value
  // when the last set-up asked for one, the data type of the set-up, trigger state, index 0.
  const Bytes& setup = board.state.lastSetup;
  Bytes reply{0x11, 0x00, board.Identity(), board.scenario.channelProbeCodes[1]};
  if (setup.size() > kSetupModeByte && setup[kSetupModeByte] == 1) reply.insert(reply.end(), 4, 0x00);
  reply.push_back(setup.size() > kSetupTypeByte ? setup[kSetupTypeByte] : 0x00);
  reply.insert(reply.end(), {0x00, 0x00, 0x00});
  return {std::move(reply), {}};
}

CommandReply HandleEngineTesterOnly(BoardContext& board, std::span<const uint8_t> request) {
  const uint8_t command = request[0];
  if (!board.EngineTester()) return {{command, 0x01}, {}};
  return {{command, 0x00, board.Identity(), 0x00}, {}};
}

CommandReply HandleMeasurement(BoardContext& board, std::span<const uint8_t> request) {
  return {{request[0], 0x00, board.Identity(), 0x00}, {}};
}

}  // namespace sim
