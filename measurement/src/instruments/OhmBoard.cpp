#include "OhmBoard.h"

#include "../CommandSet.h"
#include "../Library.h"
#include "../LinkRequest.h"
#include "../ProbeTable.h"
#include "EngineTesterPresence.h"

#include <platform/byteorder.h>
#include <kv310/ResultCodes.h>

namespace kv310 {

namespace {

constexpr uint8_t kStatusNotReady = 2;
constexpr int kTestLeadKind = 1;
constexpr int kReadingLength = 8;

}  // namespace

int ConfigureOhmBoard(const uint8_t* request, int size, int boardMode) {
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  uint8_t reply[20];
  int received = 0;
  code = ExchangeWithBoard(request, size, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received <= 3 || reply[0] != kCmdOhmConfiguration) return kBadReply;
  if (reply[1] == kStatusNotReady) {
    SetBoardMode(0);
    return kBoardNotReady;
  }
  if (reply[1] != 0) return kBadReply;
  if (EngineTesterFound(reply[2])) return kLinkError;
  SetBoardMode(boardMode);
  return kOk;
}

int ReadOhmBoard(int boardMode, const uint8_t* configuration, int configurationSize, OhmRawReading* out) {
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  if (BoardMode() != boardMode) {
    code = ConfigureOhmBoard(configuration, configurationSize, boardMode);
    if (code != kOk) return code;
  }
  const uint8_t request[2] = {kCmdOhmReading, 0x14};
  uint8_t reply[60];
  int received = 0;
  code = ExchangeWithBoard(request, sizeof request, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  // The status is judged on the first two bytes; the fields need the whole reading.
  if (received < 2 || reply[0] != kCmdOhmReading) return kBadReply;
  if (reply[1] == 1 || reply[1] == 3) return kBadReply;
  if (reply[1] == kStatusNotReady) {
    SetBoardMode(0);
    return kBoardNotReady;
  }
  if (received < kReadingLength) return kBadReply;
  if (EngineTesterFound(reply[2])) return kLinkError;
  ProbeDescriptor lead;
  LookupProbeDescriptor(&lead, reply[2]);
  out->probeKind = lead.kind;
  out->subRange = reply[4];
  out->rangeIndex = reply[5];
  out->raw = kvp::ReadBe16(reply + 6);
  return lead.kind == kTestLeadKind ? kOk : kWrongProbe;
}

}  // namespace kv310
