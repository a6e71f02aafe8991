#include "CommandSet.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kv310 {
namespace {

std::string Hex(const uint8_t* bytes, int count) {
  std::string text;
  char item[4];
  for (int i = 0; i < count; ++i) {
    std::snprintf(item, sizeof item, i ? " %02X" : "%02X", bytes[i]);
    text += item;
  }
  return text;
}

TEST(ConfigurationTable, TwentyNineRecordsInIdOrder) {
  const char* expected[kConfigurationRecordCount] = {
      "61 00 00 C8 E8 48 18 00 00 00 00", "61 00 00 C8 E8 48 18 00 00 00 00", "61 00 81 C8 E8 48 18 00 00 00 00",
      "61 03 E1 C8 E8 48 14 32 0F 00 00", "61 01 00 C8 E8 48 54 32 00 00 00", "61 02 00 C8 E8 48 58 00 00 00 00",
      "61 03 00 C8 E8 48 14 32 0F 00 00", "61 04 00 C8 E8 48 54 32 00 00 00", "61 0C C9 C8 E8 48 54 32 00 00 01",
      "61 0D C9 C8 E9 48 54 32 01 00 01", "61 10 C9 C8 E8 48 54 32 00 00 01", "61 00 00 C8 E8 48 18 00 00 00 00",
      "61 01 00 C8 E8 48 54 32 00 00 00", "61 02 00 C8 E8 48 58 00 00 00 00", "61 03 00 C8 E8 48 14 32 0F 00 00",
      "61 04 00 C8 E8 48 54 00 00 00 00", "61 00 00 C8 E8 48 18 00 00 00 00", "61 01 00 48 68 48 54 32 00 00 00",
      "61 03 21 48 68 48 14 32 0F 00 00", "61 00 81 48 68 48 18 00 00 00 00", "61 01 00 48 68 48 54 32 00 00 00",
      "61 02 00 48 68 48 58 00 00 00 00", "61 03 00 48 68 48 14 32 00 00 00", "61 04 00 48 68 48 54 00 00 00 00",
      "61 0C C9 C8 E8 48 54 32 00 00 01", "61 0D C9 C8 E9 48 54 32 01 00 01", "61 10 C9 C8 E8 48 54 32 00 00 01",
      "61 11 C9 C8 E8 48 54 00 04 00 01", "61 0F C9 C8 E8 48 54 32 04 F0 01",
  };
  for (int id = 0; id < kConfigurationRecordCount; ++id) {
    const ConfigurationRecord& record = GetConfigurationRecord(id);
    EXPECT_EQ(record.id, static_cast<uint32_t>(id));
    EXPECT_EQ(Hex(record.bytes, 11), expected[id]) << "record " << id;
    EXPECT_EQ(record.bytes[11], 0) << "record " << id;
  }
  EXPECT_EQ(GetConfigurationRecord(29).id, 0u);
}

}  // namespace
}  // namespace kv310
