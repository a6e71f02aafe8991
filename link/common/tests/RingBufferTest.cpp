// The locked byte ring: capacity, wrapping, whole frames, and its event.
#include <link/RingBuffer.h>

#include <platform/debug.h>
#include <platform/sync.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> Frame(int payloadLength) {
  std::vector<uint8_t> f{0x01, 0x00, static_cast<uint8_t>((payloadLength - 1) & 0xFF),
                         static_cast<uint8_t>((payloadLength - 1) >> 8)};
  for (int i = 0; i < payloadLength; ++i) f.push_back(static_cast<uint8_t>(i));
  f.push_back(0x02);
  return f;
}

TEST(RingBuffer, HoldsOneByteLessThanItsSize) {
  CRingBuffer ring;
  ASSERT_NE(ring.SetBufferSize(8), nullptr);
  const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(ring.WriteBytes(bytes, 8, false), 7);
  EXPECT_EQ(ring.GetDataSize(), 7);
  EXPECT_EQ(ring.WriteBytes(bytes, 1, false), 0);
  EXPECT_EQ(ring.LockAndGetFree(), 0);
  EXPECT_EQ(ring.WriteAll(bytes, 1, false), 0);
  ring.Unlock();
  EXPECT_EQ(ring.GetFillPercent(), 87);
}

TEST(RingBuffer, WrapsAtTheEndOfItsStorage) {
  CRingBuffer ring;
  ring.SetBufferSize(8);
  uint8_t scratch[8];
  const uint8_t first[6] = {};
  ring.WriteBytes(first, 6, false);
  ring.ReadBytes(scratch, 6);  // both positions now at 6
  const uint8_t bytes[5] = {10, 11, 12, 13, 14};
  EXPECT_EQ(ring.WriteBytes(bytes, 5, false), 5);
  EXPECT_EQ(ring.GetDataSize(), 5);
  EXPECT_EQ(ring.ReadBytes(scratch, 8), 5);
  EXPECT_EQ(std::vector<uint8_t>(scratch, scratch + 5), std::vector<uint8_t>(bytes, bytes + 5));
}

TEST(RingBuffer, FillPercentWithoutStorageIsFull) {
  CRingBuffer ring;
  EXPECT_EQ(ring.GetFillPercent(), 100);
  const uint8_t b = 1;
  EXPECT_EQ(ring.WriteBytes(&b, 1, true), 0);
}

TEST(RingBuffer, EventOnlyForTakenBytesWithNotice) {
  struct Case {
    int count;
    bool notify;
    bool expectSet;
  } cases[] = {{0, true, false}, {3, false, false}, {3, true, true}};
  for (const auto& c : cases) {
    CRingBuffer ring;
    ring.SetBufferSize(16);
    const uint8_t bytes[3] = {1, 2, 3};
    ring.WriteBytes(bytes, c.count, c.notify);
    EXPECT_EQ(WaitForSingleObject(ring.GetEventHandle(), 0) == WAIT_OBJECT_0, c.expectSet) << c.count << c.notify;
  }
  CRingBuffer ring;
  ring.SetBufferSize(16);
  const uint8_t bytes[3] = {1, 2, 3};
  ring.WriteBytes(bytes, 3, true);
  ring.Clear();  // also resets the event
  EXPECT_EQ(WaitForSingleObject(ring.GetEventHandle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(ring.GetDataSize(), 0);
}

TEST(RingBuffer, ReadFrameTakesOnlyWholeFrames) {
  // Length field 10: a frame of 16 bytes.
  const auto frame = Frame(11);
  ASSERT_EQ(frame.size(), 16u);
  struct Case {
    size_t waiting;
    int result;
  } cases[] = {{3, 0}, {15, 0}, {16, 16}, {20, 16}};
  for (const auto& c : cases) {
    CRingBuffer ring;
    ring.SetBufferSize(32);
    auto bytes = frame;
    bytes.resize(c.waiting, 0xEE);
    // Start near the end of the storage so the length field wraps.
    const uint8_t skip[30] = {};
    uint8_t scratch[5000];
    ring.WriteBytes(skip, 30, false);
    ring.ReadBytes(scratch, 30);
    ring.WriteBytes(bytes.data(), static_cast<int>(bytes.size()), false);
    EXPECT_EQ(ring.ReadFrame(scratch, sizeof scratch), c.result) << c.waiting;
    EXPECT_EQ(ring.GetDataSize(), static_cast<int>(c.waiting) - c.result) << c.waiting;
    if (c.result) {
      EXPECT_EQ(std::vector<uint8_t>(scratch, scratch + 16), frame);
    }
  }
}

TEST(RingBuffer, FrameLongerThanTheBufferClearsTheRing) {
  std::vector<std::string> trace;
  auto previous = kvp::SetDebugSink([&](const std::string& line) { trace.push_back(line); });
  CRingBuffer ring;
  ring.SetBufferSize(0x8000);
  const uint8_t header[6] = {0x01, 0x00, 0xFF, 0xFF, 0x00, 0x00};  // announces 65,541 bytes
  ring.WriteBytes(header, 6, false);
  uint8_t dst[5000];
  EXPECT_EQ(ring.ReadFrame(dst, sizeof dst), 0);
  EXPECT_EQ(ring.GetDataSize(), 0);
  kvp::SetDebugSink(previous);
  ASSERT_FALSE(trace.empty());
  EXPECT_NE(trace.back().find("ring cleared"), std::string::npos);
}

}  // namespace
