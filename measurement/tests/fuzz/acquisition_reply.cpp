// Fuzz target of the acquisition reply reader. The first input byte chooses the header extension
// (bit 0: acquisition mode 1) and whether a recording is armed (bit 1); the rest is the reply as
// the link hands it over. The reader may look only at the received bytes, and what it reports
// must stay inside them.
#include "Calibration.h"
#include "OscReplyDecoder.h"

#include <kvtest/FuzzReplay.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

const ChannelCalibration& Factors() {
  static const ChannelCalibration calibration = [] {
    ChannelCalibration c{};
    kv310::LoadDefaultCalibration(&c);
    return c;
  }();
  return calibration;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int extension = (data[0] & 1) ? 4 : 0;
  const bool armed = (data[0] & 2) != 0;
  // Exactly the reply bytes, so that a read past them is caught by the address sanitizer.
  const std::vector<uint8_t> reply(data + 1, data + size);
  const int received = static_cast<int>(reply.size());
  kv310::AcquisitionReply r;
  if (kv310::DecodeAcquisitionHeader(reply.data(), received, extension, &r) != 0) return 0;
  if (r.triggerState != 0 && r.triggerState != 1 && r.triggerState != 2) std::abort();
  if (kv310::DecodeAcquisitionBody(reply.data(), received, extension, armed, &r) != 0) return 0;
  if (r.sampleBytes < 0 || r.sampleBytes > kv310::kMaxSampleBytes) std::abort();
  if (r.sampleBytes > 0 && (r.samples < reply.data() + 8 + extension || r.samples + r.sampleBytes > reply.data() + received))
    std::abort();
  if (r.countA > 1000 || r.countB > 1000 || r.recordedCount > kv310::kMaxRecordedCount) std::abort();
  // Every sample decodes within the 16-bit range on every range and class, symmetric limits.
  for (int i = 0; i < r.sampleBytes; ++i) {
    const int range = i % 10;
    const int probeClass = (i / 10) % 2;
    const int16_t s = kv310::DecodeSample(r.samples[i], range, probeClass, Factors().factors[range + 20 * probeClass]);
    if (s < -32767) std::abort();
    // A sample above the middle never comes out negative, one below never positive.
    if ((r.samples[i] > 128 && s < 0) || (r.samples[i] < 128 && s > 0)) std::abort();
  }
  return 0;
}

// Seeds: records of each type, a measured-value header, a recording stop and a chunk.
#define SEED(text) KV_FUZZ_SEED(text)
extern const FuzzSeed kFuzzSeedBytes[] = {
    SEED("\x00\x11\x00\x03\x03\x00\x00\x01\x00\x80\x81\xFF\x00\xFC\x04"),
    SEED("\x00\x11\x00\x03\x04\x02\x20\x00\x05\x80\x7F\x90\x70"),
    SEED("\x01\x11\x00\x03\x03\x00\x01\x86\xA0\x14\x02\x00\x00\x10\x20"),
    SEED("\x02\x11\x00\x03\x03\x13\x00\x00\x00\x00\x00\x10\x00"),
    SEED("\x00\x11\x00\x03\x03\x11\x00\x00\x64\x01\x02\x03"),
    {nullptr, 0},
};
// Records grow now and then, so that long bodies and cut ones are both tried.
extern const FuzzReplaySettings kFuzzReplay{.roundsPerSeed = 3000, .maxGrowth = 2200};
