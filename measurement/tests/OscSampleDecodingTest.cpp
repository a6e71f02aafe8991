// Raw sample decoding and the reply reader of the board oscilloscope, without a board.
#include "Calibration.h"
#include "Library.h"
#include "OscReplyDecoder.h"

#include <gtest/gtest.h>

#include <kv310/ResultCodes.h>
#include <vector>

namespace kv310 {
namespace {

class OscSampleDecodingTest : public ::testing::Test {
 protected:
  void SetUp() override { LibraryAttach(); }
  void TearDown() override { LibraryDetach(); }
};

TEST_F(OscSampleDecodingTest, RawBytesBecomeCalibratedSamples) {
  struct Case {
    const char* what;
    uint8_t raw;
    int range;
    int probeClass;
    int16_t sample;
  } cases[] = {
      {"zero", 128, 0, 0, 0},
      {"top of range 0, held", 255, 0, 0, 32767},
      {"bottom", 0, 0, 0, -32767},
      {"clamp on range 0", 153, 0, 1, 7045},
      {"clamp on range 2", 200, 2, 1, 16815},
      // The clamp's gain lifts the top bytes past the 16-bit range: held, never turned over.
      {"clamp at the top", 255, 0, 1, 32767},
      {"clamp at 252", 252, 6, 1, 32767},
      {"clamp at the bottom", 0, 0, 1, -32767},
      {"clamp at 4", 4, 6, 1, -32767},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DecodeSample(c.raw, c.range, c.probeClass, CalibrationPair(0, c.range, c.probeClass)), c.sample);
  }
  EXPECT_EQ(ApplyClampGain(6400), 6655) << "1.04 as a single-precision constant";
}

std::vector<uint8_t> Reply(std::vector<uint8_t> header, size_t samples, uint8_t fill = 0x80) {
  header.insert(header.end(), samples, fill);
  return header;
}

TEST_F(OscSampleDecodingTest, ReplyHeaderAndBody) {
  struct Case {
    const char* what;
    std::vector<uint8_t> reply;
    int extension;
    bool armed;
    int headerCode, bodyCode;
    uint32_t countA, countB;
    int triggerState;
  } cases[] = {
      {"type 2 with 1999 bytes", Reply({0x11, 0, 3, 3, 2, 0x00, 0, 5}, 1999), 0, false, kOk, kOk, 999, 999, 0},
      {"type 0 beyond 1000 bytes", Reply({0x11, 0, 3, 3, 0, 0x02, 0, 5}, 1200), 0, false, kOk, kOk, 1000, 0, 2},
      {"type 4 with state 3", Reply({0x11, 0, 3, 3, 4, 0x03, 0, 0}, 10), 0, false, kOk, kOk, 0, 10, 1},
      {"measured value", Reply({0x11, 0, 3, 3, 0x00, 0x01, 0x86, 0xA0, 20, 0x00, 0, 0}, 2000), 4, false, kOk, kOk, 1000, 1000, 0},
      {"header one byte short", {0x11, 0, 3, 3, 0, 0, 0}, 0, false, kNoData, kOk, 0, 0, 1},
      {"measured value missing", {0x11, 0, 3, 3, 0, 0, 0, 0}, 4, false, kNoData, kOk, 0, 0, 1},
      {"another command", {0x10, 0, 3, 3, 0, 0, 0, 0}, 0, false, kNoData, kOk, 0, 0, 1},
      {"refused", {0x11, 1, 3, 3, 0, 0, 0, 0}, 0, false, kBadReply, kOk, 0, 0, 1},
      {"recorded count of 19, doubled", {0x11, 0, 3, 3, 19, 0, 0, 0, 0, 0, 0x01, 0x00}, 0, true, kOk, kOk, 4, 4, 0},
      {"recorded count cut short", {0x11, 0, 3, 3, 17, 0, 0, 0, 0, 0, 1}, 0, true, kOk, kNoData, 0, 0, 0},
      {"chunk of 19", Reply({0x11, 0, 3, 3, 19, 0x01, 0, 50}, 2500), 0, false, kOk, kOk, 1000, 1000, 1},
      {"unknown type", Reply({0x11, 0, 3, 3, 9, 0xF0, 0, 0}, 100), 0, false, kOk, kOk, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AcquisitionReply r;
    ASSERT_EQ(DecodeAcquisitionHeader(c.reply.data(), static_cast<int>(c.reply.size()), c.extension, &r), c.headerCode);
    if (c.headerCode != kOk) continue;
    EXPECT_EQ(r.triggerState, c.triggerState);
    ASSERT_EQ(DecodeAcquisitionBody(c.reply.data(), static_cast<int>(c.reply.size()), c.extension, c.armed, &r), c.bodyCode);
    if (c.bodyCode != kOk) continue;
    EXPECT_EQ(r.countA, c.countA);
    EXPECT_EQ(r.countB, c.countB);
  }
  AcquisitionReply r;
  const auto measured = Reply({0x11, 0, 3, 3, 0x00, 0x01, 0x86, 0xA0, 0, 0x00, 0, 0}, 0);
  ASSERT_EQ(DecodeAcquisitionHeader(measured.data(), static_cast<int>(measured.size()), 4, &r), kOk);
  EXPECT_EQ(r.measuredValue, 100000);
  const std::vector<uint8_t> count19 = {0x11, 0, 3, 3, 19, 0, 0, 0, 0, 0x03, 0x0D, 0x40};  // 200000 per channel
  ASSERT_EQ(DecodeAcquisitionHeader(count19.data(), 12, 0, &r), kOk);
  ASSERT_EQ(DecodeAcquisitionBody(count19.data(), 12, 0, true, &r), kOk);
  EXPECT_EQ(r.recordedCount, 400000u);
  const std::vector<uint8_t> tooMany = {0x11, 0, 3, 3, 19, 0, 0, 0, 0, 0x03, 0x0D, 0x41};
  ASSERT_EQ(DecodeAcquisitionHeader(tooMany.data(), 12, 0, &r), kOk);
  ASSERT_EQ(DecodeAcquisitionBody(tooMany.data(), 12, 0, true, &r), kOk);
  EXPECT_EQ(r.recordedCount, 0u) << "400002 is not believed";
}

}  // namespace
}  // namespace kv310
