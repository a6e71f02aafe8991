// The in-process link library "zlinksim.dll": a test fixture that exports the link functions the
// measurement library binds and answers from one board model inside the same process. A test
// that loads it by name reaches that board model through this export.
#pragma once

#include <sim/BoardModel.h>

namespace sim {
using ZlinkSimBoardProc = BoardModel* (*)();
inline constexpr const char* kZlinkSimModule = "zlinksim.dll";
inline constexpr const char* kZlinkSimBoardExport = "ZlinkSimBoard";
// The C control export: int ZlinkSimSet(const char* knob, double value), set under the board's lock.
using ZlinkSimSetProc = int (*)(const char* knob, double value);
inline constexpr const char* kZlinkSimSetExport = "ZlinkSimSet";
}  // namespace sim
