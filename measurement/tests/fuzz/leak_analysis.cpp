// Fuzz target of the leak-test analysis: any 1024-sample recording, for any cylinder count, ends
// in a result or a refusal, with every relative value a finite percentage.
#include "LeakAnalysis.h"

#include <kvtest/FuzzReplay.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int cylinders = data[0] % kv310::kLeakMaxCylinders + 1;
  uint16_t samples[kv310::kLeakSampleCount] = {};
  // The pairs as the recording reply carries them; a short input repeats its bytes.
  for (int i = 0; i < kv310::kLeakSampleCount; ++i) {
    const size_t h = (1 + 2 * static_cast<size_t>(i)) % size;
    const size_t l = (2 + 2 * static_cast<size_t>(i)) % size;
    samples[i] = kv310::DecodeLeakSample(data[h], data[l]);
  }
  kv310::LeakAnalysisResult result;
  if (kv310::AnalyseLeakRecording(samples, cylinders, &result)) {
    for (int c = 0; c < cylinders; ++c) {
      if (!std::isfinite(result.relative[c]) || result.relative[c] < 0.0f || result.relative[c] > 100.5f) std::abort();
    }
  }
  return 0;
}

// Seeds (byte 0 gives the cylinders, then sample pairs, repeated over the recording): a flat line,
// a train of humps, a lone spike on a flat line.
extern const FuzzSeed kFuzzSeedBytes[] = {
    KV_FUZZ_SEED("\x00\x08\x00"),
    KV_FUZZ_SEED("\x03\x08\x00\x08\x40\x09\x00\x0A\x00\x0B\x00\x0A\x00\x09\x00\x08\x40"),
    KV_FUZZ_SEED("\x05\x08\x00\x08\x00\x08\x00\x0F\xFF"),
    {nullptr, 0},
};
