#include "BoardFrame.h"

#include <cstring>

namespace kv310 {

int BuildBoardFrame(const uint8_t* payload, int size, uint8_t* frame) {
  if (size < 1 || size > kMaxPayload) return 0;
  const int declared = size - 1;
  frame[0] = 0x01;
  frame[1] = 0x00;
  frame[2] = static_cast<uint8_t>(declared & 0xFF);
  frame[3] = static_cast<uint8_t>(declared >> 8);
  std::memcpy(frame + 4, payload, static_cast<size_t>(size));
  frame[4 + size] = 0x02;
  return size + kFrameOverhead;
}

int CheckReplyFrame(uint8_t* buffer, int count) {
  if (count < 6 || buffer[0] != 0x01 || buffer[count - 1] != 0x02) return 0;
  const int declared = buffer[2] + 256 * buffer[3];
  if (count < declared + 6 || buffer[declared + 5] != 0x02) return 0;
  const int payload = declared + 1;
  std::memmove(buffer, buffer + 4, static_cast<size_t>(payload));
  return payload;
}

}  // namespace kv310
