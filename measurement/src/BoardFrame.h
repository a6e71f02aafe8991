// The board frame, both directions: 01 00 LL LL payload… 02, where LL LL is the payload length
// minus one, little-endian. The payload is 1 to 4096 bytes; its first byte is the command.
#pragma once

#include <cstdint>

namespace kv310 {

inline constexpr int kMaxPayload = 4096;
inline constexpr int kFrameOverhead = 5;
// Both frame buffers of the link hold this many bytes (a maximal frame plus slack for replies
// that carry trailing bytes).
inline constexpr int kFrameBufferSize = 4112;

// Writes the frame of `payload` into `frame` (room for size + 5 bytes) and returns its length;
// 0 when the size lies outside 1..4096 (nothing is written).
int BuildBoardFrame(const uint8_t* payload, int size, uint8_t* frame);

// Checks a received frame of `count` bytes in `buffer` and moves its payload to the buffer
// start. Returns the payload length, or 0 when the bytes are not a well-formed frame: fewer than
// 6 bytes, a first byte other than 01, a last byte other than 02, fewer bytes than the declared
// length needs, or no 02 after the declared payload. Byte 1 is not checked; bytes after the
// declared frame are ignored as long as the last received byte is 02.
int CheckReplyFrame(uint8_t* buffer, int count);

}  // namespace kv310
