// Recording side of the drawn-text log.
#pragma once

#include "DeviceContext.h"

namespace kvp::gdi {
// Whether the log records (cheap: callers skip extra measuring when it does not).
bool TextLogOn();
// Records one drawn text when the log is on (count < 0: up to the terminator).
void LogDrawnText(const Dc& dc, const char* text, int count, const RECT& rect, UINT flags);
}  // namespace kvp::gdi
