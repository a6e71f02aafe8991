// Probe kinds: the first field of the library's ProbeDescriptor, which the library makes from the
// one-byte probe code the board reports. Settings, records, files and the preset tables keep a
// kind as a plain int, so the kinds are named int constants here, with the questions the program
// asks of them; the values are the system's. The probe class (the descriptor's second field) is
// the unit family: 0 volt, 1 ampere.
#pragma once

namespace probekind {

inline constexpr int kNone = 0;                   // no probe on the input
inline constexpr int kVoltage = 1;                // the 400 V test lead (also the dwell input)
inline constexpr int kClamp50A = 2;               // current clamp, 50 A
inline constexpr int kClamp500A = 3;              // current clamp, 500 A
inline constexpr int kEngineTester = 4;           // the engine-tester module itself
inline constexpr int kIgnitionPickup = 5;         // speed from the ignition
inline constexpr int kPressure = 6;               // pressure sensor, also a speed sensor
inline constexpr int kInductive = 7;              // inductive advance and speed sensor
inline constexpr int kTemperature = 8;
inline constexpr int kStroboscope = 9;            // advance by stroboscope
inline constexpr int kSemiconductor = 10;         // semiconductor advance and speed sensor
inline constexpr int kHighVoltageReference = 11;  // 25 kV reference probe of the high-voltage meter
inline constexpr int kSync1 = 12;                 // "SYNC1" cylinder-1 pickup
inline constexpr int kIgnitionPickupDouble = 13;  // speed from the ignition, two sparks a turn
inline constexpr int kScan = 14;                  // "SSCN" voltage probe
inline constexpr int kClamp5A = 15;               // current clamp, 5 A
inline constexpr int kHighVoltageCapacitive = 16; // "HV/C" capacitive high-voltage probe, 25 kV

// Which reference probe the high-voltage meter last saw; these codes stand in place of a kind on
// the high-voltage input (the board reports probe codes 36, 84 and 67 for them).
inline constexpr int kReferenceC4 = 110;
inline constexpr int kReferenceN = 111;
inline constexpr int kReferenceN4 = 112;

// Probe classes (the descriptor's second field).
inline constexpr int kClassVolt = 0;
inline constexpr int kClassAmpere = 1;

// The 50 A and 500 A clamps: the two kinds a preset may ask for as "any clamp of this size" and
// by which a preset's range code picks its index (the 5 A clamp is not one of them).
constexpr bool IsHighCurrentClamp(int kind) { return kind == kClamp50A || kind == kClamp500A; }

// Kinds the engine-tester meters take as a speed sensor.
constexpr bool IsSpeedSensor(int kind) {
  return kind == kIgnitionPickup || kind == kPressure || kind == kInductive || kind == kSemiconductor ||
         kind == kIgnitionPickupDouble;
}

// Kinds the high-voltage meter reads the engine speed from.
constexpr bool IsHighVoltageSpeedSource(int kind) {
  return kind == kIgnitionPickup || kind == kSync1 || kind == kIgnitionPickupDouble;
}

// The engine's speed-sensor setting a speed sensor answers to (0 ignition, 1 inductive,
// 2 pressure, 3 semiconductor); -1 for a kind that is no speed sensor.
constexpr int SpeedSensorTypeOf(int kind) {
  switch (kind) {
    case kIgnitionPickup: case kIgnitionPickupDouble: return 0;
    case kInductive: return 1;
    case kPressure: return 2;
    case kSemiconductor: return 3;
    default: return -1;
  }
}

}  // namespace probekind
