// Commands of the link itself: serial block size, board status, and the two frames the host's
// link worker sends on its own (busy poll and abort).
#include "CommandTable.h"

namespace sim {

CommandReply HandleBlockSize(BoardContext& board, std::span<const uint8_t> request) {
  if (request.size() < 2 || request[1] < 1 || request[1] > 240) return {{0x01, 0x01}, {}};
  board.state.blockSize = request[1];
  return {{0x01, 0x00}, {}};
}

CommandReply HandleBoardStatus(BoardContext& board, std::span<const uint8_t> request) {
  if (request.size() < 2 || request[1] != 0x02) return {{0x02, 0x01, 0x00}, {}};
  return {{0x02, 0x00, board.scenario.hardwareByte}, {}};
}

CommandReply HandleAbort(BoardContext& board, std::span<const uint8_t> request) {
  // Answered at once and without busy, whether or not anything was pending: the host reads
  // nothing after an abort, but a busy or silent answer here would leave its link busy or failed.
  BoardState& state = board.state;
  state.busyPending = false;
  state.pollsLeft = 0;
  state.heldReply.clear();
  return {{0x05, 0x00}, {}};
}

CommandReply HandleBusyPoll(BoardContext& board, std::span<const uint8_t> request) {
  BoardState& state = board.state;
  if (!state.busyPending || request.size() < 2 || request[1] != state.busyToken) return NotSupported(0xFD);
  if (state.pollsLeft > 0) {
    --state.pollsLeft;
    return {{0xFD, state.busyToken, static_cast<uint8_t>(state.abortable ? 0x00 : 0x01)}, {}};
  }
  CommandReply reply{std::move(state.heldReply), {}};
  state.busyPending = false;
  state.heldReply.clear();
  return reply;
}

}  // namespace sim
