#include <platform/byteorder.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

// Each file field type against the bytes the file formats put on disk, low byte first.
TEST(LittleEndian, FieldsMatchTheBytesOnDisk) {
  uint8_t bytes[8] = {};
  kvp::StoreLe<int16_t>(bytes, -2);
  EXPECT_EQ((std::array<uint8_t, 2>{bytes[0], bytes[1]}), (std::array<uint8_t, 2>{0xFE, 0xFF}));
  EXPECT_EQ(kvp::LoadLe<int16_t>(bytes), -2);

  kvp::StoreLe<int32_t>(bytes, 0x12345678);
  EXPECT_EQ((std::array<uint8_t, 4>{bytes[0], bytes[1], bytes[2], bytes[3]}),
            (std::array<uint8_t, 4>{0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(kvp::LoadLe<uint32_t>(bytes), 0x12345678u);

  kvp::StoreLe<double>(bytes, 1.0);  // IEEE 754: 3FF0 0000 0000 0000
  EXPECT_EQ(bytes[7], 0x3F);
  EXPECT_EQ(bytes[6], 0xF0);
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(kvp::LoadLe<double>(bytes), 1.0);
}

// A field that runs past the end reads as 0 and fails the whole read, even at offsets whose sum
// with the field size would wrap around.
TEST(LittleEndian, TheReaderRefusesFieldsPastTheEnd) {
  const std::vector<uint8_t> data{1, 0, 0, 0, 2, 0};
  struct Case {
    size_t offset;
    int32_t value;
    bool failed;
  };
  const Case cases[] = {{0, 1, false}, {2, 0x00020000, false}, {3, 0, true}, {6, 0, true}, {SIZE_MAX - 1, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    kvp::LeReader reader(data);
    EXPECT_EQ(reader.Get<int32_t>(c.offset), c.value);
    EXPECT_EQ(reader.Failed(), c.failed);
  }
}

TEST(LittleEndian, TheWriterGrowsZeroFilled) {
  kvp::LeWriter writer(2);
  writer.Put<int16_t>(4, 0x0102);
  EXPECT_EQ(writer.Data(), (std::vector<uint8_t>{0, 0, 0, 0, 0x02, 0x01}));
}

}  // namespace
