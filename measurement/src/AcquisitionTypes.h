// The data types of an acquisition: what the set-up asks the board for (byte 15 of 0x10) and what
// the reply says it carries (the byte after the header extension of 0x11). One raw byte per sample;
// two-channel types interleave A and B.
#pragma once

#include <cstdint>

namespace kv310 {

enum AcquisitionDataType : uint8_t {
  kDataChannelA = 0,            // a record of channel A
  kDataChannelB = 1,            // a record of channel B
  kDataChannelsAB = 2,          // a record of both channels
  kDataPartChannelA = 3,        // rolling trigger modes: the samples since the last part, A
  kDataPartChannelB = 4,        // the same for B
  kDataPartChannelsAB = 5,      // the same for both channels
  kDataRecordChannelA = 17,     // recording into board memory: channel A
  kDataRecordChannelB = 18,     // recording into board memory: channel B
  kDataRecordChannelsAB = 19,   // recording into board memory: both channels
  kDataChannelsABEither = 20,   // a record of both channels, either channel triggering
};

// The types of a recording into board memory (a chunk read back, or while armed the count).
inline bool IsRecordingType(uint8_t type) { return type >= kDataRecordChannelA && type <= kDataRecordChannelsAB; }

// Samples per channel of one record; a two-channel type carries twice as many bytes.
inline constexpr int kRecordLength = 1000;

// The most samples one reply of a data type carries (both channels together); 0 for a type
// without samples.
inline int MaxSamplesOf(uint8_t type) {
  switch (type) {
    case kDataChannelA:
    case kDataChannelB:
    case kDataPartChannelA:
    case kDataPartChannelB:
    case kDataRecordChannelA:
    case kDataRecordChannelB:
      return kRecordLength;
    case kDataChannelsAB:
    case kDataPartChannelsAB:
    case kDataRecordChannelsAB:
    case kDataChannelsABEither:
      return 2 * kRecordLength;
    default:
      return 0;
  }
}

// The type a set-up asks for: A and/or B on (recording types while armed; with both on, type 20
// when the trigger source is 1, i.e. both channels' levels), then 3 more for the rolling trigger
// modes 3 and 4 when not armed and the source is not 1. Both channels off ask for type 0.
inline uint8_t AcquisitionTypeOf(bool channelA, bool channelB, bool armed, int32_t triggerMode,
                                 int32_t triggerSource) {
  uint8_t type = kDataChannelA;
  if (channelA && !channelB) {
    type = armed ? kDataRecordChannelA : kDataChannelA;
  } else if (!channelA && channelB) {
    type = armed ? kDataRecordChannelB : kDataChannelB;
  } else if (channelA && channelB) {
    type = armed ? kDataRecordChannelsAB : (triggerSource == 1 ? kDataChannelsABEither : kDataChannelsAB);
  }
  if ((triggerMode == 3 || triggerMode == 4) && !armed && triggerSource != 1)
    type = static_cast<uint8_t>(type + (kDataPartChannelA - kDataChannelA));
  return type;
}

}  // namespace kv310
