// Builders of scope files for the tests and the fuzz seeds: an older-format .osc file laid out
// field by field, so the readers are checked against bytes written independently of them.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace scope_test {

// The folder beside the program's bin/ folder where the fixture files for other tools go
// (build/<preset>/scope-files); empty outside ctest.
inline std::filesystem::path ScopeFilesDir() {
  const char* bin = std::getenv("KV_BIN_DIR");
  if (!bin) return {};
  return std::filesystem::path(bin).parent_path() / "scope-files";
}

struct OscSpec {
  bool signature = true;
  int channels = 1;
  uint16_t countA = 4;
  uint16_t countB = 4;
  int32_t timeBaseIndex = 9;
  int32_t source = 0;
};

class ByteBuilder {
 public:
  template <typename T>
  void Put(size_t offset, T value) {
    if (offset + sizeof(T) > m_bytes.size()) m_bytes.resize(offset + sizeof(T), 0);
    std::memcpy(m_bytes.data() + offset, &value, sizeof(T));
  }
  std::vector<uint8_t>& Bytes() { return m_bytes; }

 private:
  std::vector<uint8_t> m_bytes;
};

// Channel A: position 60, coupling 1, unit 0, raw bounds 0..200 at 0.5 V/div, raw zero 100,
// sample k = raw 2k (volts 2.5 − k/20). Channel B: position 30, coupling 0, unit 1, bounds
// −100..100 at 2 V/div, zero 0, sample k = raw −k. Trigger: raw level 50 through y1 1, x1 10,
// factor 0.1 (5 V), edge 1, sweep −1, mode selector 2, filter 3; time base k = 1000·(k+1).
inline std::vector<uint8_t> BuildOsc(const OscSpec& spec) {
  ByteBuilder f;
  const size_t b = spec.signature ? 0 : 216;
  const long s = spec.signature ? 0 : -4;
  const auto at = [&](long shifts, size_t offset) { return static_cast<size_t>(static_cast<long>(b) + shifts * s + static_cast<long>(offset)); };
  if (spec.signature)
    for (size_t i = 0; i < 6; ++i) f.Put<char>(i, "Dravix"[i]);
  f.Put<uint8_t>(b + 40, static_cast<uint8_t>(spec.channels));
  f.Put<int32_t>(b + 60, 50);
  f.Put<int32_t>(b + 64, 1);
  f.Put<int32_t>(b + 68, -1);
  f.Put<int32_t>(b + 72, 2);
  f.Put<int32_t>(b + 76, spec.source);
  f.Put<int32_t>(b + 80, 3);
  f.Put<double>(b + 96 + 8, 1.0);
  f.Put<double>(b + 96 + 24, 10.0);
  f.Put<double>(b + 96 + 40, 0.1);
  f.Put<uint16_t>(b + 148, 60);
  f.Put<uint8_t>(b + 152, 1);
  f.Put<uint8_t>(b + 156, 1);
  f.Put<int32_t>(b + 160, 0);
  f.Put<int32_t>(b + 216, spec.timeBaseIndex);
  for (int k = 0; k < 18; ++k) f.Put<double>(b + 224 + 8 * static_cast<size_t>(k), 1000.0 * (k + 1));
  f.Put<uint8_t>(b + 372, 1);
  f.Put<int32_t>(at(1, 384), 100);
  for (size_t k = 0; k < spec.countA; ++k) f.Put<int32_t>(at(1, 388) + 8 * k + 4, static_cast<int32_t>(2 * k));
  f.Put<uint16_t>(at(1, 8388), spec.countA);
  f.Put<int32_t>(at(1, 8400), 0);
  f.Put<int32_t>(at(1, 8404), 200);
  f.Put<double>(at(1, 8408), 0.5);
  if (spec.channels == 2) {
    f.Put<uint16_t>(at(1, 8520), 30);
    f.Put<uint8_t>(at(1, 8524), 0);
    f.Put<uint8_t>(at(1, 8528), 1);
    f.Put<int32_t>(at(1, 8532), 1);
    f.Put<int32_t>(at(2, 8756), 0);
    for (size_t k = 0; k < spec.countB; ++k) f.Put<int32_t>(at(2, 8760) + 8 * k + 4, -static_cast<int32_t>(k));
    f.Put<uint16_t>(at(2, 16760), spec.countB);
    f.Put<int32_t>(at(2, 16772), -100);
    f.Put<int32_t>(at(2, 16776), 100);
    f.Put<double>(at(2, 16780), 2.0);
  }
  return f.Bytes();
}

}  // namespace scope_test
