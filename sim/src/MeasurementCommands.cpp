// The engine-tester oscilloscope command (12), not modelled in detail: a well-formed reply with
// status 0 and the identity in byte 2 while the module is attached, so the host recognises which
// board it talks to; the measuring board alone does not know the command.
#include "CommandTable.h"

namespace sim {

CommandReply HandleEngineTesterOnly(BoardContext& board, std::span<const uint8_t> request) {
  const uint8_t command = request[0];
  if (!board.EngineTester()) return {{command, 0x01}, {}};
  return {{command, 0x00, board.Identity(), 0x00}, {}};
}

}  // namespace sim
