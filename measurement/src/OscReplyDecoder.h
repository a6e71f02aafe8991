// Decoding of the board's acquisition reply (command 0x11) and of its raw samples, apart from
// the instrument so that every byte the board sends passes one checked reader.
//
//   0       0x11
//   1       status, 0 = accepted
//   2, 3    probe codes of channels A and B
//   4..7    acquisition mode 1 only (x = 4): measured value, big-endian signed
//   4 + x   data type
//   5 + x   low nibble trigger state, high nibble board error flags
//   6 + x   big-endian trigger index (live records) or recording progress (recording types)
//   8 + x   samples, one unsigned byte each (or, while a recording is armed, the recorded count)
#pragma once

#include "AcquisitionTypes.h"

#include <cstdint>

namespace kv310 {

inline constexpr int kMaxHeaderExtension = 4;
inline constexpr int kMaxSampleBytes = 2 * kRecordLength;
// The longest reply the library reads: header with extension and two channels of samples.
inline constexpr int kMaxAcquisitionReply = 8 + kMaxHeaderExtension + kMaxSampleBytes;
// A recorded count above this is not believed.
inline constexpr uint32_t kMaxRecordedCount = 400000;

enum class AcquisitionBody {
  None,           // a type without samples: the counts keep their values
  LiveSamples,    // a record of one channel or of both interleaved
  RecordedCount,  // the stop reply of an armed recording: only the recorded count
  RecordedChunk,  // a chunk of a recording read back from board memory
};

struct AcquisitionReply {
  uint8_t probeCodeA = 0;
  uint8_t probeCodeB = 0;
  bool hasMeasuredValue = false;
  int32_t measuredValue = 0;
  uint8_t type = 0;
  int triggerState = 1;    // 0 triggered, 2, anything else 1
  uint8_t errorFlags = 0;  // high nibble of the trigger byte
  uint16_t indexOrProgress = 0;
  AcquisitionBody body = AcquisitionBody::None;
  const uint8_t* samples = nullptr;  // into the decoded reply
  int sampleBytes = 0;
  uint32_t countA = 0;  // sample counts the body gives the channels
  uint32_t countB = 0;
  uint32_t recordedCount = 0;  // RecordedCount: doubled for both channels, 0 when unbelievable
};

// Reads the header of `received` reply bytes: kNoData for fewer than 8 + extension bytes or
// another command, kBadReply for a refused status, else kOk with the header fields filled in.
int DecodeAcquisitionHeader(const uint8_t* reply, int received, int headerExtension, AcquisitionReply* out);

// Reads the body after a decoded header. `armed` tells whether a recording into board memory is
// armed (the recording types then carry the recorded count). kNoData when a recorded count lacks
// its four bytes, else kOk.
int DecodeAcquisitionBody(const uint8_t* reply, int received, int headerExtension, bool armed, AcquisitionReply* out);

// One raw sample byte as a calibrated 16-bit sample: (b - 128) x 256; for a current clamp
// (probe class 1) x 1.04 and on range index 2 / 1.206897; then the calibration pair. Every step
// is held within the 16-bit range, so the clamp's gain never turns a full-scale sample over to
// the opposite sign.
int16_t DecodeSample(uint8_t raw, int rangeIndex, int probeClass, const float pair[2]);

// Class 1 gain on a 16-bit value: trunc(v x 1.04), held within -32768..32767.
int16_t ApplyClampGain(int32_t value);

}  // namespace kv310
