// Measurement commands not modelled in detail (the engine tester's own commands). They get
// well-formed replies with status 0 and the identity in byte 2, so the host
// recognises which board it talks to and never sees a refusal or silence.
#include "CommandTable.h"

namespace sim {

CommandReply HandleEngineTesterOnly(BoardContext& board, std::span<const uint8_t> request) {
  const uint8_t command = request[0];
  if (!board.EngineTester()) return {{command, 0x01}, {}};
  return {{command, 0x00, board.Identity(), 0x00}, {}};
}

CommandReply HandleMeasurement(BoardContext& board, std::span<const uint8_t> request) {
  return {{request[0], 0x00, board.Identity(), 0x00}, {}};
}

}  // namespace sim
