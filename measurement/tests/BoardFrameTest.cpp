#include "BoardFrame.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv310 {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(BoardFrame, WrapsPayloadsOfOneTo4096Bytes) {
  struct Case {
    int size;
    int frameLength;  // 0 = refused
  } cases[] = {{1, 6}, {2, 7}, {4096, 4101}, {0, 0}, {4097, 0}, {-1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Bytes payload(static_cast<size_t>(c.size > 0 ? c.size : 1));
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7 + 3);
    Bytes frame(kFrameBufferSize, 0xEE);
    ASSERT_EQ(BuildBoardFrame(payload.data(), c.size, frame.data()), c.frameLength);
    if (c.frameLength == 0) {
      EXPECT_EQ(frame[0], 0xEE) << "nothing is written for a refused size";
      continue;
    }
    EXPECT_EQ(frame[0], 0x01);
    EXPECT_EQ(frame[1], 0x00);
    EXPECT_EQ(frame[2] + 256 * frame[3], c.size - 1);
    EXPECT_TRUE(std::equal(payload.begin(), payload.begin() + c.size, frame.begin() + 4));
    EXPECT_EQ(frame[c.frameLength - 1], 0x02);
  }
}

TEST(BoardFrame, ChecksRepliesAndKeepsThePayload) {
  struct Case {
    const char* what;
    Bytes received;
    Bytes payload;  // empty = refused
  } cases[] = {
      {"plain reply", {0x01, 0x00, 0x01, 0x00, 0xC1, 0x00, 0x02}, {0xC1, 0x00}},
      {"byte 1 is not checked", {0x01, 0x5A, 0x00, 0x00, 0x05, 0x02}, {0x05}},
      {"trailing bytes ending in 02", {0x01, 0x00, 0x01, 0x00, 0x02, 0x00, 0x02, 0x33, 0x02}, {0x02, 0x00}},
      {"trailing bytes not ending in 02", {0x01, 0x00, 0x01, 0x00, 0x02, 0x00, 0x02, 0x33}, {}},
      {"fewer than six bytes", {0x01, 0x00, 0x00, 0x00, 0x02}, {}},
      {"bad start byte", {0x03, 0x00, 0x00, 0x00, 0x05, 0x02}, {}},
      {"bad end byte", {0x01, 0x00, 0x00, 0x00, 0x05, 0x03}, {}},
      {"declared length beyond the bytes", {0x01, 0x00, 0x05, 0x00, 0x05, 0x02}, {}},
      {"no 02 after the declared payload", {0x01, 0x00, 0x00, 0x00, 0x05, 0x07, 0x02}, {}},
      {"huge declared length", {0x01, 0x00, 0xFF, 0xFF, 0x05, 0x02}, {}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes buffer = c.received;
    const int length = CheckReplyFrame(buffer.data(), static_cast<int>(buffer.size()));
    ASSERT_EQ(length, static_cast<int>(c.payload.size()));
    EXPECT_TRUE(std::equal(c.payload.begin(), c.payload.end(), buffer.begin()));
  }
}

}  // namespace
}  // namespace kv310
