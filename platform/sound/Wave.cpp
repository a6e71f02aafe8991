// Reading and making PCM WAVE data. Every length is checked against the bytes given.
#include <platform/sound.h>

#include <cstring>

namespace kvp {

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

bool ParseWave(const void* bytes, size_t size, WaveFormat& out) {
  out = WaveFormat();
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  if (!p || size < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0) return false;
  // The RIFF length may claim less than the bytes given, never more.
  const uint64_t riffEnd = 8ull + Le32(p + 4);
  const size_t end = riffEnd < size ? static_cast<size_t>(riffEnd) : size;
  bool haveFormat = false;
  for (size_t pos = 12; pos + 8 <= end;) {
    const uint32_t chunk = Le32(p + pos + 4);
    const size_t body = pos + 8;
    if (chunk > end - body) return false;
    if (std::memcmp(p + pos, "fmt ", 4) == 0) {
      if (chunk < 16 || Le16(p + body) != 1) return false;  // PCM only
      out.channels = Le16(p + body + 2);
      out.sampleRate = Le32(p + body + 4);
      out.bitsPerSample = Le16(p + body + 14);
      if (out.channels < 1 || out.channels > 2 || (out.bitsPerSample != 8 && out.bitsPerSample != 16) ||
          out.sampleRate < 1000 || out.sampleRate > 192000)
        return false;
      haveFormat = true;
    } else if (std::memcmp(p + pos, "data", 4) == 0) {
      if (!haveFormat) return false;
      const size_t frame = out.channels * (out.bitsPerSample / 8u);
      out.data = p + body;
      out.dataBytes = chunk - chunk % frame;
      return true;
    }
    pos = body + chunk + (chunk & 1u);
  }
  return false;
}

std::vector<uint8_t> MakeWave(const std::vector<int16_t>& samples, uint32_t sampleRate) {
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> out;
  out.reserve(44 + dataBytes);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  Put32(out, 36 + dataBytes);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, 1);  // mono
  Put32(out, sampleRate);
  Put32(out, sampleRate * 2);
  Put16(out, 2);
  Put16(out, 16);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  Put32(out, dataBytes);
  for (int16_t s : samples) Put16(out, static_cast<uint16_t>(s));
  return out;
}

}  // namespace kvp
