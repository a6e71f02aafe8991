// The library's one ChannelCalibration block: built-in factors, filled at load and never read
// from the board.
#pragma once

#include <kv310/Records.h>

namespace kv310 {

// Fills the block with the built-in defaults and sets its loaded flag.
void LoadDefaultCalibration(ChannelCalibration* calibration);

const ChannelCalibration& Calibration();

// {factor for samples >= 0, factor for samples < 0} of (channel 0/1, range 0..9, probe class
// 0/1); the caller checks the arguments.
const float* CalibrationPair(int channel, int rangeIndex, int probeClass);

}  // namespace kv310
