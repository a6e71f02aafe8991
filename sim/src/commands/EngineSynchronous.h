// The engine-tester module's engine-synchronous acquisitions: the oscilloscope's records in its ten
// acquisition modes (11 after a set-up of the engine-tester oscilloscope) and the leak recording
// (22).
#pragma once

#include "../CommandTable.h"

namespace sim {

// 10: the set-up; one of the engine-tester oscilloscope's recordings starts the module recording.
CommandReply HandleEngineScopeSetupOrOther(BoardContext& board, std::span<const uint8_t> request);  // 10

// 11: the engine-tester oscilloscope's record when the last set-up was one of its modes, else
// whatever the other acquisitions answer.
CommandReply HandleEngineScopeOrAcquisition(BoardContext& board, std::span<const uint8_t> request);  // 11

// 22: 1024 starter-current samples, answered busy while the recording runs.
CommandReply HandleLeakRecording(BoardContext& board, std::span<const uint8_t> request);  // 22

// The starter current at sample t (2.5 ms apart) in converter counts, 2048..4095.
int LeakSampleCounts(const BoardScenario& scenario, int t);

}  // namespace sim
