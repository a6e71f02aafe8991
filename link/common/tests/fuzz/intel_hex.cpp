// Fuzz target of the Intel HEX reader: any bytes, read record by record until it stops.
#include <link/IntelHex.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kvlink::HexReader reader(std::string_view(reinterpret_cast<const char*>(data), size));
  kvlink::HexRecord record;
  // Every record read consumes at least one line, so the loop ends.
  for (int i = 0; i <= static_cast<int>(size); ++i) {
    const int result = reader.ReadHexRecord(record);
    if (result != kvlink::kHexOk || reader.Ended()) break;
  }
  return 0;
}

// The bytes the record format gives meaning to.
extern const char* const kFuzzInteresting = ":\r\n0123456789ABCDEFabcdefG";

extern const char* const kFuzzSeeds[] = {
    ":10010000214601360121470136007EFE09D2190140\n:00000001FF\n",
    ":020000040800F2\r\n:0400000001020304F2\r\n:00000001FF\r\nVersion 1.23\r\n",
    ":0100000000FF\n:0200000212345B\n:00000001FF",
    nullptr,
};
