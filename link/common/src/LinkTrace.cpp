#include <link/LinkTrace.h>

#include <trace/Logwisp.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace kvlink {

namespace {
// Setting the line settings and taking them for a line are one step, so two threads of the link
// cannot mix each other's settings.
std::mutex& TraceLock() {
  static std::mutex mu;
  return mu;
}
}  // namespace

void Trace(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  // The line is built under the lock: the settings go on GTRACE and a copy takes them with it.
  // It is sent outside the lock, so a viewer that is slow to take it holds up only this thread.
  CLogwisp out = [] {
    std::lock_guard lock(TraceLock());
    GTRACE.SetModuleFilter(kTraceFilter);
    GTRACE.SetModuleTab(kTraceTab);
    GTRACE.SetModulePrefix(kTracePrefix);
    return CLogwisp(GTRACE);
  }();
  out.TraceIt("%s", line);
}

void TraceError(const CErrorException& error) {
  Trace("%s(%d): error: %X: %s\n", error.SourceFile().c_str(), error.Line(), static_cast<unsigned>(error.Code()),
        error.Expression().c_str());
  if (!error.Text().empty()) Trace("%s\n", error.Text().c_str());
}

}  // namespace kvlink
