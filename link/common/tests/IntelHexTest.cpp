// The strict Intel HEX reader: record fields, line ends, failures, and the stop at the end record.
#include <link/IntelHex.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kvlink::HexReader;
using kvlink::HexRecord;

TEST(IntelHex, ReadsRecordFields) {
  HexReader reader(":10010000214601360121470136007EFE09D2190140\r\n");
  HexRecord r;
  ASSERT_EQ(reader.ReadHexRecord(r), kvlink::kHexOk);
  EXPECT_EQ(r.count, 16);
  EXPECT_EQ(r.address, 0x0100);
  EXPECT_EQ(r.type, 0u);
  EXPECT_EQ(r.data[0], 0x21);
  EXPECT_EQ(r.data[15], 0x01);
  EXPECT_EQ(r.checksum, 0x40);
}

TEST(IntelHex, SingleLineResults) {
  struct Case {
    const char* text;
    int result;
  } cases[] = {
      {":00000001FF", kvlink::kHexOk},             // last line without a line end
      {":00000001ff\n", kvlink::kHexOk},           // lower-case digits
      {":0400000001020304f2\n", kvlink::kHexOk},
      {":0400000001020304F3\n", kvlink::kHexChecksum},
      {"00000001FF\n", kvlink::kHexFormat},        // ':' missing
      {" :00000001FF\n", kvlink::kHexFormat},
      {":00000001FG\n", kvlink::kHexFormat},       // not a hexadecimal digit
      {":0400000001020304\n", kvlink::kHexFormat}, // fewer data bytes than the count
      {":0200000001020304F6\n", kvlink::kHexFormat},  // more bytes than the count
      {":00000001FF \n", kvlink::kHexFormat},      // trailing blank
      {":00000001FF\r\r\n", kvlink::kHexFormat},
      {":000001FF\n", kvlink::kHexFormat},
      {"", kvlink::kHexFormat},
  };
  for (const auto& c : cases) {
    HexReader reader(c.text);
    HexRecord r;
    EXPECT_EQ(reader.ReadHexRecord(r), c.result) << c.text;
  }
}

TEST(IntelHex, StopsAtTheEndRecord) {
  // The firmware files end with a version line after the end record; it is never read.
  const std::string text = ":0100000055AA\n:00000001FF\nVersion 3.12-rc_1x \n";
  HexReader reader(text);
  HexRecord r;
  ASSERT_EQ(reader.ReadHexRecord(r), kvlink::kHexOk);
  ASSERT_EQ(reader.ReadHexRecord(r), kvlink::kHexOk);
  EXPECT_EQ(r.type, kvlink::kHexEndOfFile);
  EXPECT_TRUE(reader.Ended());
  EXPECT_EQ(reader.ReadHexRecord(r), kvlink::kHexFormat);
}

TEST(IntelHex, MaximalRecordAndNoReadingPastAFailure) {
  std::string line = ":FF000000";
  unsigned sum = 0xFF;
  for (int i = 0; i < 255; ++i) {
    line += "11";
    sum += 0x11;
  }
  char cs[3];
  snprintf(cs, sizeof cs, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
  line += cs;
  const std::string text = line + "\nbad\n:00000001FF\n";
  HexReader reader(text);
  HexRecord r;
  ASSERT_EQ(reader.ReadHexRecord(r), kvlink::kHexOk);
  EXPECT_EQ(r.count, 255);
  EXPECT_EQ(r.data[254], 0x11);
  EXPECT_EQ(reader.ReadHexRecord(r), kvlink::kHexFormat);
  EXPECT_EQ(reader.ReadHexRecord(r), kvlink::kHexFormat);  // a failed reader stays failed
}

}  // namespace
