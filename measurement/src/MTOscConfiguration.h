// How the engine-tester oscilloscope sets the board up for one of its ten acquisition modes: the
// probe inputs the mode selects (0xC0), the board configuration record (0x61) adapted to the engine
// parameters, and the oscilloscope set-up (0x10) extended by engine data. Pure functions of the
// settings and the engine parameters, so that every mode can be checked byte for byte.
#pragma once

#include "OscConfiguration.h"

#include <kv310/Records.h>

#include <cstdint>

namespace kv310 {

inline constexpr int kMTModeCount = 10;
inline constexpr int kAngleRateCount = 11;
inline constexpr int kMaxModeInputs = 3;
inline constexpr int kMTSetupMaxLength = 22;

// Modes 7, 8 and 9 acquire engine-synchronously (one block per cylinder group).
inline bool IsEngineSynchronousMode(int mode) { return mode >= 7 && mode <= 9; }
// Modes 3..9 use channel A only.
inline bool IsSingleChannelMode(int mode) { return mode >= 3 && mode <= 9; }

// The angle rates of index 0..10 (0.694 .. 50) and their board codes {mantissa, exponent}.
ScaledValue AngleRateOf(int index);
void AngleRateCode(int index, uint8_t code[2]);

// The range reference of the high-voltage reference probe variant: 5340 (110), 4750 (112), 5000
// for any other variant; kBadArgument while no reference probe has been seen (255).
int RangeReference(int32_t referenceProbeCode, int32_t* reference);

// The engine range index of a requested range index: lowered step by step while the requested
// full scale x 10000 / reference exceeds the engine range's full scale by more than 0.01.
int EngineRangeIndex(int requestedIndex, int32_t reference);

// The settings the configuration reads: those of every oscilloscope and the engine tester's own.
struct MTOscSetup : OscCommonSettings {
  int32_t mode = 0;
  uint16_t angleRateIndex = 3;
  uint16_t engineRangeIndex[2] = {0, 0};
  uint8_t input[2] = {0, 0};  // board input numbers of the probe inputs selected on A and B
  bool armed = false;
  bool option = false;              // mode 9's option flag
  uint8_t selectedCylinder = 0;     // 0 = all cylinders
  int32_t configurationId = 1;
  ProbeDescriptor channelProbe[2];  // the descriptors the trigger level is scaled by
};

// Whether the channel reads its engine range index (modes 7-9, and modes 0-2 on input 4).
bool UsesEngineRange(const MTOscSetup& s, int channel);

// The mode's probe inputs and configuration id (SetAcquisitionMode). kBadArgument for a mode
// outside 0..9, for mode 8 with coil type 1 and for mode 9 with another coil type;
// kBadEngineType / kUnknownSelection for an engine type or speed-sensor type mode 2 cannot use.
struct MTModeInputs {
  int count = 0;
  uint8_t inputs[kMaxModeInputs] = {};
  int32_t configurationId = 1;
};
int ModeInputs(const MTOscSetup& s, const EngineParameterBlock& p, MTModeInputs* out);

// The board configuration record of the mode (11 bytes). May change `configurationId` (record 27
// for the reference probe variant 112 in modes 7 and 9). kBadArgument, kBadEngineType or kProbeVariantRefused when the mode
// cannot run.
int BuildBoardRecord(MTOscSetup& s, const EngineParameterBlock& p, int32_t referenceProbeCode,
                     uint8_t record[11]);

// The oscilloscope set-up (0x10) of 16 to 22 bytes; sets the trigger position of modes 7-9 from
// the sample-rate index first. Returns kOk with the length, or kBadArgument / kBadEngineType.
int BuildMTSetup(MTOscSetup& s, const EngineParameterBlock& p, int32_t referenceProbeCode,
                 uint8_t setup[kMTSetupMaxLength], int* length);

// The a / b factors of the engine speed: speed (tenths of rpm) = counter x 60 x a / (b x 100).
void EngineSpeedFactors(int mode, const EngineParameterBlock& p, uint32_t* a, uint32_t* b);

}  // namespace kv310
