#include <link/LinkTrace.h>

#include <trace/Logwisp.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace kvlink {

namespace {
// Setting the line settings and tracing are one step, so two threads of the link cannot mix
// each other's settings.
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
  std::lock_guard lock(TraceLock());
  GTRACE.SetModuleFilter(kTraceFilter);
  GTRACE.SetModuleTab(kTraceTab);
  GTRACE.SetModulePrefix(kTracePrefix);
  GTRACE.TraceIt("%s", line);
}

void TraceError(const CErrorException& error) {
  Trace("%s(%d): error: %X: %s\n", error.SourceFile().c_str(), error.Line(), static_cast<unsigned>(error.Code()),
        error.Expression().c_str());
  if (!error.Text().empty()) Trace("%s\n", error.Text().c_str());
}

}  // namespace kvlink
