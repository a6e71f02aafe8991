// The pieces of the oscilloscope set-up (command 0x10) that both oscilloscopes build the same
// way: the sample-rate table with its digit/decade form, the coupling, trigger-level and
// trigger-sensitivity codes, and the trigger control and trigger mode bytes.
#pragma once

#include "AcquisitionTypes.h"

#include <kv310/Records.h>

#include <cstdint>

namespace kv310 {

inline constexpr int kSampleRateCount = 18;

// The settings both oscilloscopes keep alike, with their defaults at construction.
struct OscCommonSettings {
  uint16_t sampleRateIndex = 11;
  int32_t channelMode[2] = {1, 0};    // 0 off, 1 and 2 the two input couplings
  int32_t previousMode[2] = {1, 0};   // the mode before the last change (used while off)
  uint16_t rangeIndex[2] = {0, 0};
  uint32_t triggerPosition = 256;
  int32_t triggerMode = 2;
  ScaledValue triggerLevel = {0, 0, {}};
  int32_t triggerEdge = 1;
  int32_t triggerSource = 0;
  uint16_t triggerSourceChannel = 0;
  int32_t triggerFilter = 0;
  ScaledValue triggerSensitivity = {1, -1, {}};
};
inline constexpr int kOscSetupLength = 16;

// Samples per second of rate index 0..17 (20 S/s .. 10 MS/s); 0 outside.
int32_t SampleRateOf(int index);
// The board receives rate index i as digit x 10^decade.
uint8_t SampleRateDigit(int index);
uint8_t SampleRateDecade(int index);

// Coupling code of a channel: its mode, or its previous mode while it is off; mode 1 gives 1 on
// range indexes 0..2 and 3 above, mode 2 gives 2 and 4; anything else 0.
uint8_t CouplingCode(int32_t mode, int32_t previousMode, int rangeIndex);

// Raw-byte threshold of a trigger level on a channel: 128 x level / (full scale x probe factor),
// truncated toward zero, plus 128, held within 0..255. Single-precision throughout.
uint8_t TriggerLevelCode(ScaledValue level, int rangeIndex, const ProbeDescriptor& probe);

// The probe's scale factor (fields 5 and 6); 1 when the probe carries none.
float ProbeFactor(const ProbeDescriptor& probe);

// (m << 4) | d of a sensitivity m x 10^(d - 3) with m reduced to one digit; 0x11 for none or
// below the smallest step, 0x15 at or above the largest.
uint8_t SensitivityCode(ScaledValue sensitivity);

// Trigger control byte: 0 without trigger (mode 0); 0x10 + channel for source 2; otherwise
// 1 + filter + 2 for the falling edge (edge 0) + 4 x channel.
uint8_t TriggerControlCode(int32_t triggerMode, int32_t source, int sourceChannel, int32_t filter, int32_t edge);

// Trigger mode code: 0 -> 00, 1 -> 01, 2 -> 00, 3 -> 10, 4 -> 11.
uint8_t TriggerModeCode(int32_t triggerMode);

// The probe window packed in a descriptor's seventh field: whether a range index lies in it.
bool InsideProbeWindow(const ProbeDescriptor& probe, int rangeIndex);

}  // namespace kv310
