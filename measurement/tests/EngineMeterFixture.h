// The engine-tester module attached to the board model, the link started through
// ICommunication_1 (its firmware check done), and a way to describe an engine once in engine
// terms: the same description sets the board model's engine and the library's engine parameters.
#pragma once

#include "EngineTesterFixture.h"

#include <kv310/Kv310.h>

#include <sim/Engine.h>

namespace kv310::testing {

// An engine as the user enters it into the engine tester and as the board model runs it.
struct EngineSetup {
  int engineType = 0;  // 0 spark-ignition, 1 diesel
  int strokes = 4;
  int cylinders = 4;
  double rpm = 3000;
  double advanceDegrees = 10;
  int markOffsetDegrees = 0;  // where the engine's mark sits; entered as MarkOffset
  double dwellPercent = 40;
  double temperatureCelsius = 80;
  int coilType = 0;  // 1 = wasted-spark (double-spark) coil
  int speedSensorType = 0;
  uint16_t numberMarks = 1;
};

class EngineMeterFixture : public EngineTesterFixture {
 protected:
  void SetUp() override;

  void UseEngine(const EngineSetup& engine);
  // Changes only the board model's engine.
  template <typename F>
  void UpdateEngine(F change) {
    Board().Update([&](sim::BoardScenario& s) { change(s.engine); });
  }
  void SetInputProbe(int input, uint8_t code) {
    Board().Update([&](sim::BoardScenario& s) { s.inputProbeCodes[static_cast<size_t>(input)] = code; });
  }

  template <typename Interface>
  Interface& Meter(unsigned id) {
    return *static_cast<Interface*>(InterfaceOf(id));
  }

  // Requests since the last ClearLog, with one command byte.
  std::vector<sim::Bytes> RequestsOf(uint8_t command);
};

// Value of a ScaledValue as a double (for comparisons in engine units).
double ValueOf(const ScaledValue& value);

}  // namespace kv310::testing
