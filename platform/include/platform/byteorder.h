// Big-endian fields of wire messages: the board protocol and the link frames put the high byte
// first. One reader and one writer for every module, so a field is never assembled by hand. The
// caller has checked that the bytes are there.
#pragma once

#include <cstdint>

namespace kvp {

inline uint16_t ReadBe16(const uint8_t* p) { return static_cast<uint16_t>((uint32_t{p[0]} << 8) | p[1]); }
inline uint32_t ReadBe24(const uint8_t* p) { return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2]; }
inline uint32_t ReadBe32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
// A signed 32-bit field (two's complement on the wire).
inline int32_t ReadBe32Signed(const uint8_t* p) { return static_cast<int32_t>(ReadBe32(p)); }

inline void WriteBe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void WriteBe24(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 16);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v);
}

}  // namespace kvp
