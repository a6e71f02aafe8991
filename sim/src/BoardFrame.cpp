#include <sim/BoardFrame.h>

namespace sim {

Bytes BuildFrame(std::span<const uint8_t> payload, uint8_t byte1) {
  if (payload.empty() || payload.size() > kMaxFramePayload) return {};
  const size_t field = payload.size() - 1;
  Bytes frame;
  frame.reserve(payload.size() + kFrameOverhead);
  frame.push_back(kFrameStart);
  frame.push_back(byte1);
  frame.push_back(static_cast<uint8_t>(field & 0xFF));
  frame.push_back(static_cast<uint8_t>(field >> 8));
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(kFrameEnd);
  return frame;
}

Bytes BuildMalformedFrame(std::span<const uint8_t> payload, FrameDefect defect) {
  Bytes frame = BuildFrame(payload);
  if (frame.empty()) return frame;
  switch (defect) {
    case FrameDefect::BadStart:
      frame.front() = 0x03;
      break;
    case FrameDefect::BadEnd:
      frame.back() = 0x03;
      break;
    case FrameDefect::LengthTooLarge: {
      // The frame ends one byte before where its length field says.
      const size_t field = payload.size();
      frame[2] = static_cast<uint8_t>(field & 0xFF);
      frame[3] = static_cast<uint8_t>((field >> 8) & 0xFF);
      break;
    }
    case FrameDefect::Truncated:
      frame.pop_back();
      break;
  }
  return frame;
}

ParsedFrame ParseFrame(std::span<const uint8_t> bytes) {
  ParsedFrame parsed;
  if (bytes.empty()) return parsed;
  if (bytes[0] != kFrameStart) {
    parsed.status = FrameStatus::Malformed;
    return parsed;
  }
  if (bytes.size() < 4) return parsed;
  const size_t payloadLength = static_cast<size_t>(bytes[2] | (bytes[3] << 8)) + 1;
  const size_t frameLength = payloadLength + kFrameOverhead;
  if (bytes.size() < frameLength) return parsed;
  if (bytes[frameLength - 1] != kFrameEnd) {
    parsed.status = FrameStatus::Malformed;
    return parsed;
  }
  parsed.status = FrameStatus::Complete;
  parsed.frameLength = frameLength;
  parsed.payload.assign(bytes.begin() + 4, bytes.begin() + 4 + static_cast<std::ptrdiff_t>(payloadLength));
  return parsed;
}

}  // namespace sim
