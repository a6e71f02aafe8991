// Little-endian field access over byte buffers for the scope's file formats. Readers check every
// field against the end of the buffer; a field past the end marks the whole read as failed.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace scope::bytes {

template <typename T>
T Load(const uint8_t* p) {
  static_assert(std::endian::native == std::endian::little, "the formats are little-endian");
  T value;
  std::memcpy(&value, p, sizeof(T));
  return value;
}

template <typename T>
void Store(uint8_t* p, T value) {
  std::memcpy(p, &value, sizeof(T));
}

// Bounded reads over a file's bytes: a read past the end yields 0 and sets the failure flag.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> data) : m_data(data) {}

  template <typename T>
  T Get(size_t offset) {
    if (offset > m_data.size() || m_data.size() - offset < sizeof(T)) {
      m_bFailed = true;
      return T{};
    }
    return Load<T>(m_data.data() + offset);
  }
  bool Has(size_t offset, size_t length) const {
    return offset <= m_data.size() && m_data.size() - offset >= length;
  }
  void Fail() { m_bFailed = true; }
  bool Failed() const { return m_bFailed; }
  std::span<const uint8_t> Data() const { return m_data; }

 private:
  std::span<const uint8_t> m_data;
  bool m_bFailed = false;
};

// A zero-filled buffer that writers store fields into.
class Writer {
 public:
  explicit Writer(size_t size) : m_data(size, 0) {}
  template <typename T>
  void Put(size_t offset, T value) {
    if (offset + sizeof(T) > m_data.size()) m_data.resize(offset + sizeof(T), 0);
    Store<T>(m_data.data() + offset, value);
  }
  std::vector<uint8_t>& Data() { return m_data; }

 private:
  std::vector<uint8_t> m_data;
};

}  // namespace scope::bytes
