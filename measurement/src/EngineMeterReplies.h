// The engine-tester meters' replies as bytes: the meter read (0x41) and the voltmeter reading
// (0x21). Both readers check the length before they trust a field.
#pragma once

#include "EngineMeters.h"

#include <cstdint>

namespace kv310 {

// 41 st id x S3..S0 P3..P0 I3..I0 mVH mVL flags: kBadReply for fewer than 18 bytes or another
// command byte, kNoEngineTester when the module code is not the engine tester's, kBoardErrorStatus
// or kBadReply for a non-zero status. A
// reply of exactly 18 bytes carries no flags byte: the flags read 0.
int DecodeMeterReply(const uint8_t* reply, int received, MeterCounts* counts);

// The fields of one channel of a voltmeter reading.
struct VoltChannelFields {
  uint8_t coupling = 0;
  uint8_t rangeCode = 0;
  uint16_t values[3] = {};  // 12-bit converter fields
  uint32_t squareSum = 0;   // 24-bit
};

struct VoltReplyFields {
  VoltChannelFields channels[2];
  uint32_t speedCount = 0;      // modes 1 and 2
  uint8_t probeCodes[2] = {};   // mode 0: the probe codes of the two channels' inputs
};

// 21 00 id x, then by mode: 0: the probe count (which must equal `inputCount`) and the codes;
// 1 and 2: the 4-byte speed count; 3: nothing; then the 22-byte field block. kBadReply for a
// reply shorter than its mode's length or another command byte, kNoEngineTester without the
// engine-tester module, kBoardErrorStatus or kBadReply for a non-zero status.
int ParseVoltReply(const uint8_t* reply, int received, int mode, int inputCount, VoltReplyFields* out);

}  // namespace kv310
