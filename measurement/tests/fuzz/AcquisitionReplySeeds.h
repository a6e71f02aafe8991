// Seeds of the acquisition reply fuzz target (they hold NUL bytes, hence the sizes).
#pragma once

#include <cstddef>

struct AcquisitionReplySeed {
  const char* bytes;
  size_t size;
};

// Ends with {nullptr, 0}.
extern const AcquisitionReplySeed kAcquisitionReplySeeds[];
