// The board frame, both directions: 01 b1 LL LL payload 02, where LL LL is the payload length
// minus one, little-endian. Every transport of the simulated board (the in-process link, the
// serial block protocol, the USB bulk pipes) wraps and unwraps payloads with these functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sim {

using Bytes = std::vector<uint8_t>;

inline constexpr uint8_t kFrameStart = 0x01;
inline constexpr uint8_t kFrameEnd = 0x02;
inline constexpr size_t kFrameOverhead = 5;           // start, byte 1, two length bytes, end
inline constexpr size_t kMaxRequestPayload = 4096;    // what the measurement library sends at most
inline constexpr size_t kMaxFramePayload = 0x10000;   // what the 16-bit length field can carry

// The whole frame around a payload of 1 to kMaxFramePayload bytes; empty for any other size.
Bytes BuildFrame(std::span<const uint8_t> payload, uint8_t byte1 = 0x00);

// Ways a frame can be broken on the wire, for fault injection. Each one is refused by a receiver
// that checks start byte, end byte and declared length.
enum class FrameDefect {
  BadStart,        // first byte is not 01
  BadEnd,          // last byte is not 02
  LengthTooLarge,  // length field one more than the payload carries
  Truncated,       // the end byte is missing
};
Bytes BuildMalformedFrame(std::span<const uint8_t> payload, FrameDefect defect);

enum class FrameStatus { Complete, Incomplete, Malformed };

struct ParsedFrame {
  FrameStatus status = FrameStatus::Incomplete;
  size_t frameLength = 0;  // bytes the frame takes from the input (Complete only)
  Bytes payload;           // Complete only
};

// Reads one frame from the start of the bytes: Incomplete while more bytes could still make it
// whole, Malformed when the start byte or the byte at the declared end is wrong. Bytes after the
// frame are left alone (frameLength says where the next one begins).
ParsedFrame ParseFrame(std::span<const uint8_t> bytes);

}  // namespace sim
