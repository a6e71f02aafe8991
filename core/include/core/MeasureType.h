// The oscilloscope preset: which measurement the scope is set up for. The engine tester and the
// special tests write it before they switch to the scope tab; the scope reads and resets it; the
// acquisition thread reads it for every record, so the fields are atomic.
//
// measure::MeasureType names the measurements and holds the questions the code asks of them. The
// values are the system's: files, the registry and the preset tables hold them as numbers.
#pragma once

#include <platform/types.h>

#include <atomic>

namespace measure {

enum class MeasureType : int {
  kPlainScope = 0,
  // Set up by the engine tester and the special tests.
  kPetrolScope = 1,
  kPetrolScopeTurn = 2,          // synchronised with the engine's turn
  kPrimaryVoltage = 3,           // primary winding voltage
  kDieselScope = 4,
  kDieselScopeTurn = 5,
  kPressureSensor = 6,
  // The engine tester's secondary (high-voltage) screens.
  kSecondarySingle = 7,          // one cylinder
  kSecondaryAll = 8,             // all cylinders, one segment each
  kSecondarySelected = 9,        // the selected cylinder
  kSecondaryDoubleCoil = 10,     // a double coil, two segments
  // Component tests, each with a manual.
  kStartingCurrent = 11,
  kOxygenSensor = 12,
  kInjector = 13,
  kFuelTankVentValve = 14,
  kHallSensor = 15,
  kInductiveSensor = 16,
  kHallAndInductiveSensor = 17,
  kThrottleActuator = 18,
  kThrottlePotOneTrack = 19,
  kThrottlePotTwoTracks = 20,
  kManifoldPressureSensor = 21,
  kAirVolumeSensor = 22,
  kGeneratorIgnition = 23,
  kPrimaryWindingCurrent = 24,
  kChargingCurrent = 25,
  kAlternatorRipple = 26,
  kNeedleStrokeSensor = 27,
};

inline constexpr MeasureType kFirstComponentTest = MeasureType::kStartingCurrent;
inline constexpr MeasureType kLastMeasureType = MeasureType::kNeedleStrokeSensor;

constexpr int ToInt(MeasureType t) { return static_cast<int>(t); }

// The engine tester's secondary screens (7..10): the tester triggers and lays out the record.
constexpr bool IsEngineTesterScreen(MeasureType t) {
  return ToInt(t) >= ToInt(MeasureType::kSecondarySingle) && ToInt(t) <= ToInt(MeasureType::kSecondaryDoubleCoil);
}
// The measurements the engine tester sets up whole (primary voltage, pressure sensor and the
// secondary screens): they have no custom settings slots and no recorder.
constexpr bool IsTesterSetUp(MeasureType t) {
  return t == MeasureType::kPrimaryVoltage || t == MeasureType::kPressureSensor || IsEngineTesterScreen(t);
}
// The component tests (11..27).
constexpr bool IsComponentTest(MeasureType t) {
  return ToInt(t) >= ToInt(kFirstComponentTest) && ToInt(t) <= ToInt(kLastMeasureType);
}
// A record in one segment per cylinder shown (all cylinders, double coil).
constexpr bool IsSegmented(MeasureType t) {
  return t == MeasureType::kSecondaryAll || t == MeasureType::kSecondaryDoubleCoil;
}
// The secondary screens triggered from the cylinders by the engine tester (all but the selected
// cylinder, which triggers as the user sets).
constexpr bool IsExternallyTriggered(MeasureType t) {
  return IsEngineTesterScreen(t) && t != MeasureType::kSecondarySelected;
}
// The plain scope and the engine tester's scope presets (not the primary voltage): autoset may run.
constexpr bool AllowsAutoset(MeasureType t) {
  return ToInt(t) <= ToInt(MeasureType::kDieselScopeTurn) && t != MeasureType::kPrimaryVoltage;
}
// A number no measurement has (read from outside, beyond the last one).
constexpr bool IsBeyondLast(MeasureType t) { return ToInt(t) > ToInt(kLastMeasureType); }

}  // namespace measure

class MeasureType {
 public:
  std::atomic<int> m_nAngleMode{0};   // non-zero: the time base is an angle base (channel A only)
  std::atomic<int> m_nSubmode{1};     // a variant chosen by the writer
  std::atomic<int> m_bStartRetry{0};  // the next start is retried while the library refuses it
  std::atomic<int> m_nMeasureType{0};  // a measure::MeasureType: 0 plain scope, 1..10 engine tester, 11..27 component tests
  // Segments of a segmented engine record (measure::IsSegmented): one per cylinder shown.
  std::atomic<int> m_nSegmentCount{0};

  // The stored measure type, named.
  measure::MeasureType Type() const { return measure::MeasureType{m_nMeasureType.load()}; }
  void SetType(measure::MeasureType type) { m_nMeasureType.store(measure::ToInt(type)); }

  // 1 for the component tests 11..27.
  int IsComponentTestType() const;
  // "<installation folder>Manuals\<name>" of the current component test, bounded by size.
  // 1 built; 0 when "Path" cannot be read or the test has no manual (the buffer stays untouched).
  int GetManualPath(char* buffer, int size) const;
};

MeasureType& GetMeasureType();

// The manual file name of a measure type 11..27, null for any other.
const char* GetManualName(int measureType);
