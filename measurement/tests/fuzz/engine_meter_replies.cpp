// Fuzz target of the engine-tester meters' reply readers: the meter read (0x41) and the voltmeter
// reading (0x21) in each of its modes. The first input byte picks the reader (and the mode), the
// rest is the reply; a reader reads only what was received and accepts only a reply long enough
// for its fields.
#include "EngineMeterReplies.h"

#include <kv310/ResultCodes.h>
#include <kvtest/FuzzReplay.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int selector = data[0] % 5;  // 0: meter read; 1..4: voltmeter modes 0..3
  // Exactly the received bytes, so that a read past them is caught by the address sanitizer.
  const std::vector<uint8_t> reply(data + 1, data + size);
  const int received = static_cast<int>(reply.size());
  if (selector == 0) {
    kv310::MeterCounts counts;
    if (kv310::DecodeMeterReply(reply.data(), received, &counts) != kv310::kOk) return 0;
    if (received < 18 || (received == 18 && counts.flags != 0)) std::abort();
    return 0;
  }
  const int mode = selector - 1;
  const int inputCount = mode == 1 || mode == 2 ? 3 : 2;
  kv310::VoltReplyFields fields;
  if (kv310::ParseVoltReply(reply.data(), received, mode, inputCount, &fields) != kv310::kOk) return 0;
  const int needed = mode == 0 ? 5 + inputCount + 22 : (mode == 3 ? 26 : 30);
  if (received < needed) std::abort();
  return 0;
}

// Seeds: a meter read of 19 and of 18 bytes, a voltmeter reading of each mode.
#define SEED(text) KV_FUZZ_SEED(text)
extern const FuzzSeed kFuzzSeedBytes[] = {
    SEED("\x00\x41\x00\x07\x00\x00\x00\x61\xA8\x00\x00\x9C\x40\x00\x00\x02\x9B\x0D\x8E\x01"),
    SEED("\x00\x41\x00\x07\x00\x00\x00\x61\xA8\x00\x00\x9C\x40\x00\x00\x02\x9B\x0D\x8E"),
    SEED("\x01\x21\x00\x07\x00\x02\x03\x04\x03\x02\x03\x02\x0D\x80\x0D\x80\x0D\x80\xB9\x40\x00"
         "\x08\x80\x08\x80\x08\x80\x48\x40\x00"),
    SEED("\x02\x21\x00\x07\x00\x00\x00\x61\xA8\x03\x02\x03\x02\x0D\x80\x0D\x80\x0D\x80\xB9\x40\x00"
         "\x08\x80\x08\x80\x08\x80\x48\x40\x00"),
    SEED("\x03\x21\x00\x07\x00\x00\x00\x61\xA8\x03\x02\x03\x02\x0D\x80\x0D\x80\x0D\x80\xB9\x40\x00"
         "\x08\x80\x08\x80\x08\x80\x48\x40\x00"),
    SEED("\x04\x21\x00\x07\x00\x03\x01\x01\x05\x0D\x80\x0D\x80\x0D\x80\xB9\x40\x00"
         "\x08\x80\x08\x80\x08\x80\x48\x40\x00"),
    {nullptr, 0},
};
// Byte 0 picks the reader: mutations keep it.
extern const FuzzReplaySettings kFuzzReplay{.roundsPerSeed = 3000, .keptPrefix = 1};
