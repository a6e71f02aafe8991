// Process-wide scope recording state, written by the control panel and read by the scope pane and
// the chart, and the signed limits of a displayed trace.
#pragma once

#include <atomic>

class CSignalData;

namespace scope {

// All 0 until a recording or a channel switch sets them.
struct ScopeState {
  std::atomic<int> ScopeRecording{0};            // 1 while a recording started from the scope runs
  std::atomic<int> RecordingThroughRecorder{0};  // 1 when the recording takes its samples through the recorder
  std::atomic<int> DeviceSettingsSaved{0};       // 1 while the settings saved at a recording start wait to go back
  std::atomic<int> InvertState{0};               // 0..3: none, A, B, both
  std::atomic<int> ChannelSwitchPending{0};      // an on/off button switched a probe on the engine-tester path

  // Back to all 0, as at program start (tests between cases).
  void Reset() {
    for (std::atomic<int>* field :
         {&ScopeRecording, &RecordingThroughRecorder, &DeviceSettingsSaved, &InvertState, &ChannelSwitchPending})
      field->store(0);
  }
};

ScopeState& GetScopeState();

// The trace's upper (lower) limit, or its negated lower (upper) limit when the trace is inverted.
double GetSignedMaximum(const CSignalData& trace);
double GetSignedMinimum(const CSignalData& trace);

}  // namespace scope
