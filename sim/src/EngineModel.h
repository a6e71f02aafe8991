// The engine seen through the engine-tester module's sensors: how often each sensor fires, the
// counts the module's timer measures between events, the temperature sensor's voltage and the
// converter bytes of a spark's secondary voltage.
#pragma once

#include <sim/Engine.h>

#include <cstdint>

namespace sim {

// The module's timer counts microseconds.
inline constexpr double kEngineTimerHz = 1.0e6;

// Which ignition or crank events a sensor sees.
enum class EngineEvent {
  Cycle,        // once per working cycle (clamp on cylinder 1's lead, injection line, one coil)
  Revolution,   // once per crankshaft revolution (crank or top-dead-centre sensor)
  CylinderLead, // once per cycle, but every revolution on a wasted-spark coil (clamp on cylinder 1)
  Spark,        // every spark of the engine (all cylinders' leads)
  CoilPrimary,  // the sparks of the coil whose primary is measured: a distributor coil fires every
                // cylinder of a four-stroke engine; a two-stroke engine has a coil per cylinder
};

bool EngineRunning(const EngineScenario& engine);
double RevolutionsPerSecond(const EngineScenario& engine);
// Revolutions between two events of the kind (0 while the engine stands).
double RevolutionsPerEvent(const EngineScenario& engine, EngineEvent event);
double EventsPerSecond(const EngineScenario& engine, EngineEvent event);

// The speed count the module reports: events per second x 1000.
uint32_t SpeedCount(const EngineScenario& engine, EngineEvent event);
// Timer counts of one event period.
uint32_t PeriodCount(const EngineScenario& engine, EngineEvent event);
// Timer counts of a crank angle at the present speed (the angle wraps into 0..360).
uint32_t AngleCount(const EngineScenario& engine, double degrees);

// The coolant temperature sensor's voltage in mV (the host reads T = 3.3 u^2 + 29.1 u - 60.7).
uint16_t TemperatureSensorMillivolts(double celsius);

// Secondary voltage of one cylinder's spark (1-based), in volts.
double SparkVolts(const EngineScenario& engine, int cylinder);

}  // namespace sim
