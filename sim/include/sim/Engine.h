// The engine the engine-tester module is connected to, in engine terms: speed, strokes,
// cylinders, ignition timing and dwell, coolant temperature, secondary ignition voltage per
// cylinder, battery voltage and the current through the clamp. It is the one engine behind every
// module reply: the meters (40/41), the high-voltage frames and the polarity detection's frames
// (10/11), the oscilloscope's signals and the voltmeter (20/21) turn it into the counts and fields
// the host decodes.
#pragma once

#include <array>
#include <cstdint>

namespace sim {

inline constexpr int kMaxEngineCylinders = 8;

struct EngineScenario {
  double rpm = 800.0;  // crankshaft speed; below 1 rpm the engine stands and nothing fires
  int strokes = 4;     // 2 or 4
  int cylinders = 4;
  bool wastedSpark = false;  // one coil fires two cylinders every revolution (double-spark coil)

  double advanceDegrees = 10.0;     // ignition (or injection) before top dead centre
  double markOffsetDegrees = 0.0;   // where the top-dead-centre sensor's mark sits on the crank
  double dwellPercent = 40.0;       // share of each primary spark period the coil is charged
  double temperatureCelsius = 80.0;

  // Secondary voltage of every spark, with one weak cylinder (1-based; 0 = none).
  double sparkKilovolts = 10.0;
  int weakCylinder = 0;
  double weakCylinderKilovolts = 5.0;
  bool noNewEngineData = false;  // the module has not seen a new ignition cycle yet

  double batteryVolts = 13.8;  // on the voltage input (input 0)
  double clampAmps = 0.0;      // through the clamp on the selected current input (1 to 3)
  bool probeButton = false;    // the button on the timing probe is held
};

// What the module remembers of the host's meter requests.
struct EngineMeterState {
  uint8_t meterMode = 0;   // operand of the last meter start (40); 0 = none started
  uint8_t dwellInput = 0;  // input of the dwell meter's start
  int voltmeterMode = -1;  // mode of the last voltmeter set-up (20) while the module answers
};

}  // namespace sim
