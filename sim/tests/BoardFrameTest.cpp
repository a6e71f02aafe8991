#include <sim/BoardFrame.h>

#include <gtest/gtest.h>

#include <numeric>

namespace sim {
namespace {

Bytes Payload(size_t size, uint8_t last = 0x55) {
  Bytes payload(size);
  std::iota(payload.begin(), payload.end(), uint8_t{0x10});
  if (!payload.empty()) payload.back() = last;
  return payload;
}

// The host's acceptance rule for a received reply: start byte, last byte, and the byte where the
// declared length puts the end.
bool HostAccepts(const Bytes& b) {
  const size_t c = b.size();
  if (c < 6 || b[0] != 0x01 || b[c - 1] != 0x02) return false;
  const size_t l = b[2] + 256u * b[3];
  return c >= l + 6 && b[l + 5] == 0x02;
}

TEST(BoardFrame, BuildsStartLengthFieldPayloadEnd) {
  struct Case {
    size_t payload;
    uint8_t lengthLow, lengthHigh;
  };
  for (const Case& c : {Case{1, 0x00, 0x00}, Case{2, 0x01, 0x00}, Case{257, 0x00, 0x01}, Case{4096, 0xFF, 0x0F}}) {
    SCOPED_TRACE(c.payload);
    const Bytes payload = Payload(c.payload);
    const Bytes frame = BuildFrame(payload);
    ASSERT_EQ(frame.size(), c.payload + 5);
    EXPECT_EQ(frame[0], 0x01);
    EXPECT_EQ(frame[1], 0x00);
    EXPECT_EQ(frame[2], c.lengthLow);
    EXPECT_EQ(frame[3], c.lengthHigh);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), frame.begin() + 4));
    EXPECT_EQ(frame.back(), 0x02);
    EXPECT_TRUE(HostAccepts(frame));
  }
}

TEST(BoardFrame, RefusesPayloadsTheLengthFieldCannotCarry) {
  EXPECT_TRUE(BuildFrame({}).empty());
  EXPECT_TRUE(BuildFrame(Payload(kMaxFramePayload + 1)).empty());
  EXPECT_EQ(BuildFrame(Payload(kMaxFramePayload)).size(), kMaxFramePayload + 5);
}

TEST(BoardFrame, ParsesOneFrameAndLeavesWhatFollows) {
  const Bytes payload{0xC1, 0x00, 0x07, 0x03};
  Bytes stream = BuildFrame(payload, 0x5A);  // byte 1 is not checked
  stream.insert(stream.end(), {0x01, 0x00});
  const ParsedFrame parsed = ParseFrame(stream);
  ASSERT_EQ(parsed.status, FrameStatus::Complete);
  EXPECT_EQ(parsed.frameLength, 9u);
  EXPECT_EQ(parsed.payload, payload);
}

TEST(BoardFrame, IncompleteUntilTheLastByteArrives) {
  const Bytes frame = BuildFrame(Payload(20));
  for (size_t cut = 0; cut < frame.size(); ++cut) {
    SCOPED_TRACE(cut);
    EXPECT_EQ(ParseFrame(std::span(frame).first(cut)).status, FrameStatus::Incomplete);
  }
  EXPECT_EQ(ParseFrame(frame).status, FrameStatus::Complete);
}

TEST(BoardFrame, MalformedFramesAreRefusedByBothReceivers) {
  struct Case {
    FrameDefect defect;
    FrameStatus stream;  // what a receiver assembling a byte stream sees
  };
  const Case cases[] = {
      {FrameDefect::BadStart, FrameStatus::Malformed},
      {FrameDefect::BadEnd, FrameStatus::Malformed},
      {FrameDefect::LengthTooLarge, FrameStatus::Incomplete},
      {FrameDefect::Truncated, FrameStatus::Incomplete},
  };
  // A payload ending in 02 must not make a shortened frame look whole.
  for (const Bytes& payload : {Payload(1), Payload(12), Payload(12, 0x02)}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "defect " << static_cast<int>(c.defect) << " size " << payload.size());
      const Bytes frame = BuildMalformedFrame(payload, c.defect);
      EXPECT_FALSE(HostAccepts(frame));
      EXPECT_EQ(ParseFrame(frame).status, c.stream);
    }
  }
}

}  // namespace
}  // namespace sim
