// Helpers of the record-file tests: a little-endian byte builder and the folder where record
// files for other tools are kept (build/<preset>/record-files/).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace meterstest {

class Bytes {
 public:
  explicit Bytes(size_t size) : b(size, 0) {}
  template <typename T>
  void Put(size_t at, T value) {
    uint8_t raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof value);  // the build machines are little-endian, as the file
    for (size_t i = 0; i < sizeof(T); ++i) b.at(at + i) = raw[i];
  }
  std::vector<uint8_t> b;
};

inline std::string RecordFilesDir() {
  const char* bin = std::getenv("KV_BIN_DIR");
  const std::filesystem::path dir = std::filesystem::path(bin ? bin : ".").parent_path() / "record-files";
  std::filesystem::create_directories(dir);
  return dir.string();
}

}  // namespace meterstest
