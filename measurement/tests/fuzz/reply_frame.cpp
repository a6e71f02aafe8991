// Fuzz target of the reply frame check: whatever bytes arrive from a link library, the check reads
// only what was received and accepts only a frame that starts with 01 and ends with 02.
#include "BoardFrame.h"

#include <kvtest/FuzzReplay.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int count = static_cast<int>(size < static_cast<size_t>(kv310::kFrameBufferSize) ? size : kv310::kFrameBufferSize);
  // Exactly the received bytes, so that a read past them is caught by the address sanitizer.
  std::vector<uint8_t> buffer(data, data + count);
  const int payload = kv310::CheckReplyFrame(buffer.data(), count);
  if (payload == 0) return 0;
  const int declared = data[2] + 256 * data[3];
  if (payload != declared + 1 || payload + 5 > count || data[0] != 0x01 || data[count - 1] != 0x02 ||
      std::memcmp(buffer.data(), data + 4, static_cast<size_t>(payload)) != 0) {
    std::abort();
  }
  return 0;
}

// Seeds: a reply, a busy reply, a refusal, a reply with trailing bytes.
extern const FuzzSeed kFuzzSeedBytes[] = {
    KV_FUZZ_SEED("\x01\x00\x01\x00\xC1\x00\x02"),
    KV_FUZZ_SEED("\x01\x00\x02\x00\xFD\x07\x00\x02"),
    KV_FUZZ_SEED("\x01\x00\x00\x00\xFF\x02"),
    KV_FUZZ_SEED("\x01\x00\x01\x00\x02\x00\x02\x33\x02"),
    {nullptr, 0},
};
// The frame's end byte; many rounds, the frames are short.
extern const char* const kFuzzInteresting = "\x01\x02";
extern const FuzzReplaySettings kFuzzReplay{.roundsPerSeed = 2000};
