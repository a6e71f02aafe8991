// Seed replies of the engine-tester meters' fuzz target, shared with its replay test.
#pragma once

#include <cstddef>

struct EngineMeterReplySeed {
  const char* bytes;
  size_t size;
};

extern const EngineMeterReplySeed kEngineMeterReplySeeds[];
