// Seeds of the reply frame fuzz target (they hold NUL bytes, hence the sizes).
#pragma once

#include <cstddef>

struct ReplyFrameSeed {
  const char* bytes;
  size_t size;
};

// Ends with {nullptr, 0}.
extern const ReplyFrameSeed kReplyFrameSeeds[];
