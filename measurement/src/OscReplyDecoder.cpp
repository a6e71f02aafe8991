#include "OscReplyDecoder.h"

#include "ScaledArithmetic.h"

#include <kv310/ResultCodes.h>

#include <platform/byteorder.h>
#include <algorithm>

namespace kv310 {

namespace {

constexpr uint8_t kAcquisitionCommand = 0x11;
// The clamp constants are single-precision values applied in double precision.
constexpr double kClampGain = static_cast<double>(1.04f);
constexpr double kClampRange2Divisor = static_cast<double>(1.206897f);

int16_t Saturate(double value) {
  if (value >= 32767.0) return 32767;
  if (value <= -32768.0) return -32768;
  return static_cast<int16_t>(value);  // truncation toward zero
}


}  // namespace

int DecodeAcquisitionHeader(const uint8_t* reply, int received, int headerExtension, AcquisitionReply* out) {
  const int x = headerExtension;
  if (!reply || received < 8 + x || reply[0] != kAcquisitionCommand) return kNoData;
  if (reply[1] != 0) return kBadReply;
  *out = AcquisitionReply{};
  out->probeCodeA = reply[2];
  out->probeCodeB = reply[3];
  if (x == 4) {
    out->hasMeasuredValue = true;
    out->measuredValue = kvp::ReadBe32Signed(reply + 4);
  }
  out->type = reply[4 + x];
  const uint8_t trigger = reply[5 + x];
  const int state = trigger & 0x0F;
  out->triggerState = state == 0 ? 0 : state == 2 ? 2 : 1;
  out->errorFlags = static_cast<uint8_t>(trigger >> 4);
  out->indexOrProgress = kvp::ReadBe16(reply + 6 + x);
  return kOk;
}

int DecodeAcquisitionBody(const uint8_t* reply, int received, int headerExtension, bool armed, AcquisitionReply* out) {
  const int start = 8 + headerExtension;
  const int available = std::max(0, received - start);
  const uint8_t* body = reply + start;
  const auto take = [&](int limit) {
    out->samples = body;
    out->sampleBytes = std::min(available, limit);
  };
  switch (out->type) {
    case kDataChannelA:
    case kDataPartChannelA:
      out->body = AcquisitionBody::LiveSamples;
      take(kRecordLength);
      out->countA = static_cast<uint32_t>(out->sampleBytes);
      break;
    case kDataChannelB:
    case kDataPartChannelB:
      out->body = AcquisitionBody::LiveSamples;
      take(kRecordLength);
      out->countB = static_cast<uint32_t>(out->sampleBytes);
      break;
    case kDataChannelsAB:
    case kDataPartChannelsAB:
    case kDataChannelsABEither:
      out->body = AcquisitionBody::LiveSamples;
      take(2 * kRecordLength);
      out->countA = out->countB = static_cast<uint32_t>(out->sampleBytes / 2);
      break;
    case kDataRecordChannelA:
    case kDataRecordChannelB:
    case kDataRecordChannelsAB: {
      const bool both = out->type == kDataRecordChannelsAB;
      const bool hasA = out->type != kDataRecordChannelB;
      const bool hasB = out->type != kDataRecordChannelA;
      if (armed) {
        if (available < 4) return kNoData;
        out->body = AcquisitionBody::RecordedCount;
        uint64_t count = kvp::ReadBe32(body);
        if (both) count *= 2;
        out->recordedCount = count > kMaxRecordedCount ? 0 : static_cast<uint32_t>(count);
        // The counts are those of the four bytes taken for the field.
        out->countA = hasA ? 4 : 0;
        out->countB = hasB ? 4 : 0;
      } else {
        out->body = AcquisitionBody::RecordedChunk;
        take(MaxSamplesOf(out->type));
        const uint32_t n = static_cast<uint32_t>(out->sampleBytes);
        out->countA = both ? n / 2 : hasA ? n : 0;
        out->countB = both ? n / 2 : hasB ? n : 0;
      }
      break;
    }
    default:
      out->body = AcquisitionBody::None;
      break;
  }
  return kOk;
}

int16_t ApplyClampGain(int32_t value) { return Saturate(static_cast<double>(value) * kClampGain); }

int16_t DecodeSample(uint8_t raw, int rangeIndex, int probeClass, const float pair[2]) {
  int16_t s = static_cast<int16_t>((raw - 128) * 256);
  if (probeClass == 1) {
    s = ApplyClampGain(s);
    if (rangeIndex == 2) s = Saturate(static_cast<double>(s) / kClampRange2Divisor);
  }
  ScaleSample(&s, pair[0], pair[1]);
  return s;
}

}  // namespace kv310
