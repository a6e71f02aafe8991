// The live screen as a signal file: the settings' trigger, time base and channels with the two
// displayed traces, in the form the .osg writer stores.
#pragma once

#include <scope/SignalFile.h>

#include <core/MeasureProps.h>
#include <core/SignalData.h>

namespace scope {

// `traces` are the two display traces (A, B; either may be null); `angleMode` the global
// angle-mode flag. A channel switched on counts as present; it is stored when its trace holds
// data (minimum and maximum of its valid points, 1000 points).
SignalFile CaptureSignalFile(const CMeasureProps& props, const CSignalData* const traces[2], int angleMode);

}  // namespace scope
