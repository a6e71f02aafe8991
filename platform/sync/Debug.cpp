// The debugger channel: OutputDebugString hands each text to one sink.
#include <platform/debug.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

struct SinkState {
  // Held while the sink runs, so that SetDebugSink returns only once the old sink is done with.
  // Recursive: a sink may itself write debug output.
  std::recursive_mutex mu;
  kvp::DebugSink sink;  // empty: the default
};
SinkState& State() {
  static auto* state = new SinkState;
  return *state;
}

void DefaultSink(const char* text) {
  static const bool enabled = [] {
    const char* v = std::getenv("KV_DEBUG_OUTPUT");
    return v && *v && std::string(v) != "0";
  }();
  if (!enabled) return;
  std::fputs(text, stderr);
  std::fflush(stderr);
}

}  // namespace

extern "C" PLATFORM_API void OutputDebugString(LPCSTR text) {
  if (!text) return;
  auto& s = State();
  std::lock_guard lock(s.mu);
  if (s.sink)
    s.sink(text);
  else
    DefaultSink(text);
}

namespace kvp {

PLATFORM_API DebugSink SetDebugSink(DebugSink sink) {
  auto& s = State();
  std::lock_guard lock(s.mu);
  DebugSink previous = std::move(s.sink);
  s.sink = std::move(sink);
  return previous;  // empty when the default was in place: passing it back restores it
}

}  // namespace kvp
