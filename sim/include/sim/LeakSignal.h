// The starter current the engine-tester module records for the leak test (22) while the engine
// is cranked with ignition or injection off: a base current with one hump per compression stroke,
// the cylinders in firing order, each hump as high as the cylinder's compression.
#pragma once

namespace sim {

struct LeakSignal {
  double crankingRpm = 300.0;
  double baseCounts = 2300.0;   // converter counts between the humps (2048 = no current)
  double humpCounts = 1200.0;   // height of a full compression's hump; 0 = no compression pattern
  int weakCylinder = 0;         // 1-based position in the firing order; 0 = all cylinders equal
  double weakCompression = 0.5;  // its hump relative to the others
  double noiseCounts = 0.0;     // repeatable pseudo-random noise within +-noiseCounts
  int recordingPolls = 26;      // busy replies (100 ms apart) while the ~2.6 s recording runs
};

}  // namespace sim
