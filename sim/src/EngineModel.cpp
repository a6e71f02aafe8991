#include "EngineModel.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kMinimumRpm = 1.0;

uint32_t Clamp32(double value) { return static_cast<uint32_t>(std::clamp(std::round(value), 0.0, 4294967295.0)); }

}  // namespace

bool EngineRunning(const EngineScenario& engine) { return engine.rpm >= kMinimumRpm; }

double RevolutionsPerSecond(const EngineScenario& engine) {
  return EngineRunning(engine) ? engine.rpm / 60.0 : 0.0;
}

double RevolutionsPerEvent(const EngineScenario& engine, EngineEvent event) {
  const double cycle = engine.strokes == 2 ? 1.0 : 2.0;  // revolutions per working cycle
  switch (event) {
    case EngineEvent::Cycle: return cycle;
    case EngineEvent::Revolution: return 1.0;
    case EngineEvent::CylinderLead: return engine.wastedSpark ? 1.0 : cycle;
    case EngineEvent::Spark: return cycle / std::max(engine.cylinders, 1);
    case EngineEvent::CoilPrimary: return engine.strokes == 2 ? 1.0 : cycle / std::max(engine.cylinders, 1);
  }
  return cycle;
}

double EventsPerSecond(const EngineScenario& engine, EngineEvent event) {
  return RevolutionsPerSecond(engine) / RevolutionsPerEvent(engine, event);
}

uint32_t SpeedCount(const EngineScenario& engine, EngineEvent event) {
  return Clamp32(EventsPerSecond(engine, event) * 1000.0);
}

uint32_t PeriodCount(const EngineScenario& engine, EngineEvent event) {
  const double hz = EventsPerSecond(engine, event);
  return hz > 0 ? Clamp32(kEngineTimerHz / hz) : 0;
}

uint32_t AngleCount(const EngineScenario& engine, double degrees) {
  const double rps = RevolutionsPerSecond(engine);
  if (rps <= 0) return 0;
  double angle = std::fmod(degrees, 360.0);
  if (angle < 0) angle += 360.0;
  // Rounded up: the host truncates the angle it computes back from the counts.
  return static_cast<uint32_t>(std::ceil(angle / 360.0 * kEngineTimerHz / rps - 1e-6));
}

uint16_t TemperatureSensorMillivolts(double celsius) {
  // Inverse of the sensor curve; rounded up so that the host's truncation gives the whole degree.
  const double a = 3.3, b = 29.1, c = -60.7 - celsius;
  const double disc = b * b - 4 * a * c;
  if (disc < 0) return 0;
  const double volts = (-b + std::sqrt(disc)) / (2 * a);
  return static_cast<uint16_t>(std::clamp(std::ceil(volts * 1000.0), 0.0, 65535.0));
}

double SparkVolts(const EngineScenario& engine, int cylinder) {
  if (!EngineRunning(engine)) return 0.0;
  const double kv = cylinder == engine.weakCylinder ? engine.weakCylinderKilovolts : engine.sparkKilovolts;
  return std::max(kv, 0.0) * 1000.0;
}

}  // namespace sim
