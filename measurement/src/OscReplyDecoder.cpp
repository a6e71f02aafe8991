#include "OscReplyDecoder.h"

#include "ScaledArithmetic.h"

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

uint32_t BigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

int DecodeAcquisitionHeader(const uint8_t* reply, int received, int headerExtension, AcquisitionReply* out) {
  const int x = headerExtension;
  if (!reply || received < 8 + x || reply[0] != kAcquisitionCommand) return 13;
  if (reply[1] != 0) return 14;
  *out = AcquisitionReply{};
  out->probeCodeA = reply[2];
  out->probeCodeB = reply[3];
  if (x == 4) {
    out->hasMeasuredValue = true;
    out->measuredValue = static_cast<int32_t>(BigEndian32(reply + 4));
  }
  out->type = reply[4 + x];
  const uint8_t trigger = reply[5 + x];
  const int state = trigger & 0x0F;
  out->triggerState = state == 0 ? 0 : state == 2 ? 2 : 1;
  out->errorFlags = static_cast<uint8_t>(trigger >> 4);
  out->indexOrProgress = static_cast<uint16_t>((reply[6 + x] << 8) | reply[7 + x]);
  return 0;
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
    case 0:
    case 3:
      out->body = AcquisitionBody::LiveSamples;
      take(1000);
      out->countA = static_cast<uint32_t>(out->sampleBytes);
      break;
    case 1:
    case 4:
      out->body = AcquisitionBody::LiveSamples;
      take(1000);
      out->countB = static_cast<uint32_t>(out->sampleBytes);
      break;
    case 2:
    case 5:
    case 20:
      out->body = AcquisitionBody::LiveSamples;
      take(2000);
      out->countA = out->countB = static_cast<uint32_t>(out->sampleBytes / 2);
      break;
    case 17:
    case 18:
    case 19:
      if (armed) {
        if (available < 4) return 13;
        out->body = AcquisitionBody::RecordedCount;
        uint64_t count = BigEndian32(body);
        if (out->type == 19) count *= 2;
        out->recordedCount = count > kMaxRecordedCount ? 0 : static_cast<uint32_t>(count);
        // The counts are those of the four bytes taken for the field.
        out->countA = out->type == 18 ? 0 : 4;
        out->countB = out->type == 17 ? 0 : 4;
      } else {
        out->body = AcquisitionBody::RecordedChunk;
        take(out->type == 19 ? 2000 : 1000);
        const uint32_t n = static_cast<uint32_t>(out->sampleBytes);
        out->countA = out->type == 17 ? n : out->type == 19 ? n / 2 : 0;
        out->countB = out->type == 18 ? n : out->type == 19 ? n / 2 : 0;
      }
      break;
    default:
      out->body = AcquisitionBody::None;
      break;
  }
  return 0;
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
