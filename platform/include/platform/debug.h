// The debugger channel. Lines go to a sink: by default stderr when KV_DEBUG_OUTPUT is set in the
// environment, else nowhere; tests install a capturing sink.
#pragma once

#include <platform/types.h>

#include <functional>
#include <string>

extern "C" {
PLATFORM_API void OutputDebugString(LPCSTR text);
}

namespace kvp {
// Replaces the sink (nullptr restores the default); returns the previous one.
using DebugSink = std::function<void(const std::string& text)>;
PLATFORM_API DebugSink SetDebugSink(DebugSink sink);
}  // namespace kvp
