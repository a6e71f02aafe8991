// Probe commands: which engine-tester inputs the next measurement uses (C0), the probes on the
// two board channels (C1), the probes on chosen engine-tester inputs (C2), and the configuration
// record (61), whose reply reports the probes of the inputs the last C0 selected.
#include "CommandTable.h"
#include "ReplyBytes.h"

#include <algorithm>

namespace sim {

namespace {

constexpr size_t kMaxSelectedInputs = 9;
constexpr size_t kMaxQueriedInputs = 10;
constexpr size_t kConfigurationLength = 11;

}  // namespace

CommandReply HandleSelectProbes(BoardContext& board, std::span<const uint8_t> request) {
  // Without the engine tester the board answers with channel A's probe: not the module identity.
  if (!board.EngineTester()) return {{0xC0, 0x00, board.Identity()}, {}};
  const size_t count = request.size() >= 2 ? request[1] : 0;
  if (request.size() < 2 || count > kMaxSelectedInputs || request.size() < 2 + count)
    return {{0xC0, 0x01, board.Identity()}, {}};
  board.state.selectedInputs.assign(request.begin() + 2, request.begin() + 2 + static_cast<std::ptrdiff_t>(count));
  return {{0xC0, 0x00, board.Identity()}, {}};
}

CommandReply HandleChannelProbes(BoardContext& board, std::span<const uint8_t> request) {
  return {{0xC1, 0x00, board.Identity(), board.scenario.channelProbeCodes[1]}, {}};
}

CommandReply HandleQueryProbes(BoardContext& board, std::span<const uint8_t> request) {
  if (!board.EngineTester()) return {{0xC2, 0x00, board.Identity(), 0x00, 0x00}, {}};
  const size_t count = request.size() >= 2 ? (request[1] & 0x7F) : 0;
  if (request.size() < 2 || count > kMaxQueriedInputs || request.size() < 2 + count)
    return {{0xC2, 0x01, board.Identity(), 0x00, 0x00}, {}};
  Bytes reply{0xC2, 0x00, board.Identity(), 0x00, static_cast<uint8_t>(count)};
  for (size_t i = 0; i < count; ++i) reply.push_back(InputCode(board.scenario, request[2 + i]));
  return {std::move(reply), {}};
}

CommandReply HandleConfiguration(BoardContext& board, std::span<const uint8_t> request) {
  if (request.size() < kConfigurationLength) return {{0x61, 0x01, 0x00, 0x00, 0x00}, {}};
  BoardState& state = board.state;
  std::copy_n(request.begin(), kConfigurationLength, state.lastConfiguration.begin());
  state.configured = true;
  if (!board.EngineTester()) return {{0x61, 0x00, 0x00, 0x00, 0x00}, {}};
  Bytes reply{0x61, 0x00, 0x00, 0x00, static_cast<uint8_t>(state.selectedInputs.size())};
  for (uint8_t input : state.selectedInputs) reply.push_back(InputCode(board.scenario, input));
  return {std::move(reply), {}};
}

}  // namespace sim
