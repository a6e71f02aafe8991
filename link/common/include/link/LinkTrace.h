// Trace lines of the link libraries. Every line is sent through the trace library's GTRACE with
// the link's module filter, tab and prefix set just before it, from any thread.
#pragma once

#include <link/ErrorException.h>

namespace kvlink {

inline constexpr unsigned long kTraceFilter = 0x20000;
inline constexpr unsigned long kTraceTab = 1;
inline constexpr const char* kTracePrefix = "J2534: ";

// One printf-style line.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The two lines of a failed start: "<source>(<line>): error: <code hex>: <expression>", then the
// text on a line of its own when it is not empty.
void TraceError(const CErrorException& error);

}  // namespace kvlink
