// What a fuzz target's source gives the replay driver (tests/support/FuzzReplay.cpp), which runs
// LLVMFuzzerTestOneInput over the target's seeds and deterministic mutations of them in every
// build, also where no fuzzer runs. Fuzz targets are declared with kv_fuzz (cmake/Kv.cmake).
//
// Seeds: text seeds as a null-terminated `kFuzzSeeds` list, or seeds that hold NUL bytes as a
// `kFuzzSeedBytes` list written with KV_FUZZ_SEED("...") and ending with {nullptr, 0}.
// Optional: `kFuzzInteresting`, the bytes the format gives meaning to, which mutations favour,
// and `kFuzzReplay`, how many mutations and of what kind.
#pragma once

#include <cstddef>

struct FuzzSeed {
  const char* bytes;
  size_t size;
};
#define KV_FUZZ_SEED(text) \
  FuzzSeed { text, sizeof(text) - 1 }

struct FuzzReplaySettings {
  int roundsPerSeed = 500;
  size_t keptPrefix = 0;  // leading bytes every mutation keeps (a byte that selects the reader)
  size_t maxGrowth = 0;   // now and then a run of up to this many random bytes is appended
};

extern const char* const kFuzzSeeds[] __attribute__((weak));
extern const FuzzSeed kFuzzSeedBytes[] __attribute__((weak));
extern const char* const kFuzzInteresting __attribute__((weak));
extern const FuzzReplaySettings kFuzzReplay __attribute__((weak));
