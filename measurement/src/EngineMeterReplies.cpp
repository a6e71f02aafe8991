#include "EngineMeterReplies.h"

#include "CommandSet.h"
#include "ProbeTable.h"

#include <platform/byteorder.h>
#include <kv310/ResultCodes.h>

namespace kv310 {

namespace {

constexpr int kMeterReplyMinimum = 18;
constexpr int kMeterFlagsByte = 18;
constexpr int kFieldBlockLength = 22;
constexpr int kVoltReplyMinimum = 4 + kFieldBlockLength;  // the shortest prefix (sampling mode)


// Where each channel's fields sit in the field block: coupling, range code, three values, square
// sum.
struct FieldLayout {
  int coupling, rangeCode, values[3], squareSum;
};
constexpr FieldLayout kFields[2] = {{0, 1, {4, 6, 8}, 10}, {2, 3, {13, 15, 17}, 19}};

int StatusCode(uint8_t status) { return (status & 0x80) ? kBoardErrorStatus : kBadReply; }

}  // namespace

int DecodeMeterReply(const uint8_t* reply, int received, MeterCounts* counts) {
  if (received < kMeterReplyMinimum || reply[0] != kCmdMeterReading) return kBadReply;
  if (!IsEngineTesterModule(reply[2])) return kNoEngineTester;
  if (reply[1] != 0) return StatusCode(reply[1]);
  counts->speed = kvp::ReadBe32(reply + 4);
  counts->period = kvp::ReadBe32(reply + 8);
  counts->interval = kvp::ReadBe32(reply + 12);
  counts->sensorMillivolts = kvp::ReadBe16(reply + 16);
  counts->flags = received > kMeterFlagsByte ? reply[kMeterFlagsByte] : 0;
  return kOk;
}

int ParseVoltReply(const uint8_t* reply, int received, int mode, int inputCount, VoltReplyFields* out) {
  if (received < kVoltReplyMinimum || reply[0] != kCmdVoltReading) return kBadReply;
  if (!IsEngineTesterModule(reply[2])) return kNoEngineTester;
  if (reply[1] != 0) return StatusCode(reply[1]);

  // The field block follows a prefix that depends on the mode; the whole reply must be there.
  int fieldsAt = 4;
  *out = VoltReplyFields{};
  if (mode == 0) {
    if (inputCount < 2 || reply[4] != inputCount) return kBadReply;
    fieldsAt = 5 + inputCount;
  } else if (mode == 1 || mode == 2) {
    fieldsAt = 8;
  }
  if (received < fieldsAt + kFieldBlockLength) return kBadReply;
  if (mode == 0) {
    out->probeCodes[0] = reply[5];
    out->probeCodes[1] = reply[6];
  } else if (mode == 1 || mode == 2) {
    out->speedCount = kvp::ReadBe32(reply + 4);
  }
  const uint8_t* s = reply + fieldsAt;
  for (int c = 0; c < 2; ++c) {
    const FieldLayout& f = kFields[c];
    VoltChannelFields& channel = out->channels[c];
    channel.coupling = s[f.coupling];
    channel.rangeCode = s[f.rangeCode];
    for (int k = 0; k < 3; ++k) channel.values[k] = kvp::ReadBe16(s + f.values[k]);
    channel.squareSum = kvp::ReadBe24(s + f.squareSum);
  }
  return kOk;
}

}  // namespace kv310
