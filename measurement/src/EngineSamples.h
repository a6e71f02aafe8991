// Engine-synchronous samples of the engine-tester oscilloscope: raw bytes scaled into the engine
// range, the peak bytes the board measures per cylinder group, and the write-back of a peak that
// the sampled curve missed at its steepest edge near the trigger point.
#pragma once

#include <kv310/Records.h>

#include <cstdint>

namespace kv310 {

inline constexpr int kEngineGroupSamples = 1000;
inline constexpr int kMaxEngineGroups = 4;

// What the conversion and the reconstruction read of the oscilloscope's settings.
struct EngineSampleScale {
  int rangeIndex = 0;        // channel A's range index
  int engineRangeIndex = 0;  // channel A's engine range index
  int32_t reference = 5000;  // range reference of the reference probe variant
  int32_t referenceProbeCode = 255;
  int sampleRateIndex = 0;
  uint32_t triggerPosition = 0;
};

// k = reference x (full scale of the engine range / full scale of the channel range) / 10000.
float EngineScaleFactor(const EngineSampleScale& scale);

// Raw byte -> (b - 128) x 256 -> calibration of channel A on the engine range (ordinary probes) ->
// x k, held within the 16-bit range and truncated.
int16_t ConvertEngineSample(uint8_t raw, const EngineSampleScale& scale);

// The peak of one cylinder group from its two peak bytes: the one of larger magnitude (the second
// on equal magnitude), as a magnitude with its polarity.
struct GroupPeak {
  int16_t peak = 0;      // magnitude
  uint8_t negative = 0;  // 1 when the peak sample is negative
  uint16_t group = 0;
  int16_t samples[2] = {};  // both peak bytes, converted
};
GroupPeak DecodeGroupPeak(const uint8_t bytes[2], int group, const EngineSampleScale& scale);

// The part of one group in a record: where it starts in the record's array, how long it is, and
// the trigger position within it.
struct GroupPart {
  int start = 0;
  int length = 0;
  int groups = 1;  // groups that share the block (types 15 and 16), else 1
};

// Writes the group's peak back into its part of the record when the board measured more than the
// curve shows (sample-rate index 14 or lower and a peak above 5000 engine units). `recordPeak` is
// the record's peak so far (a signed sample value), updated as the steepest edge and the write
// require.
void ReconstructPeak(int16_t* samples, const GroupPart& part, const GroupPeak& peak, const EngineSampleScale& scale,
                     int16_t* recordPeak);

}  // namespace kv310
