// Byte order of fields in wire messages and files, for every module, so a field is never
// assembled by hand:
// - big-endian fields of wire messages (the board protocol and the link frames put the high byte
//   first); the caller has checked that the bytes are there;
// - little-endian fields of the program's files (scope settings, signal and record files), with a
//   bounded reader that checks every field against the end of the bytes and a writer that grows
//   a zero-filled buffer.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>
#include <vector>

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

// ---- little-endian fields of files ----------------------------------------------------------

// The value of type T (an integer or a floating-point type) stored little-endian at p; the caller
// has checked that sizeof(T) bytes are there.
template <typename T>
T LoadLe(const uint8_t* p) {
  static_assert(std::is_trivially_copyable_v<T> && (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8));
  T value;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&value, p, sizeof(T));
  } else {
    uint8_t swapped[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i) swapped[i] = p[sizeof(T) - 1 - i];
    std::memcpy(&value, swapped, sizeof(T));
  }
  return value;
}

template <typename T>
void StoreLe(uint8_t* p, T value) {
  static_assert(std::is_trivially_copyable_v<T> && (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8));
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &value, sizeof(T));
  } else {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    for (size_t i = 0; i < sizeof(T); ++i) p[i] = bytes[sizeof(T) - 1 - i];
  }
}

// Bounded reads over a file's bytes: a field that does not lie wholly inside the bytes reads as 0
// and marks the whole read as failed, so a parser checks Failed() once at the end.
class LeReader {
 public:
  explicit LeReader(std::span<const uint8_t> data) : data_(data) {}

  template <typename T>
  T Get(size_t offset) {
    if (!Has(offset, sizeof(T))) {
      failed_ = true;
      return T{};
    }
    return LoadLe<T>(data_.data() + offset);
  }
  bool Has(size_t offset, size_t length) const { return offset <= data_.size() && data_.size() - offset >= length; }
  void Fail() { failed_ = true; }
  bool Failed() const { return failed_; }
  std::span<const uint8_t> Data() const { return data_; }

 private:
  std::span<const uint8_t> data_;
  bool failed_ = false;
};

// A zero-filled buffer that writers store fields into; a field past the end grows it.
class LeWriter {
 public:
  explicit LeWriter(size_t size) : data_(size, 0) {}
  template <typename T>
  void Put(size_t offset, T value) {
    if (offset + sizeof(T) > data_.size()) data_.resize(offset + sizeof(T), 0);
    StoreLe<T>(data_.data() + offset, value);
  }
  std::vector<uint8_t>& Data() { return data_; }

 private:
  std::vector<uint8_t> data_;
};

}  // namespace kvp
