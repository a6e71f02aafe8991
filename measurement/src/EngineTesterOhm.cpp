#include "EngineTesterOhm.h"

#include "CommandSet.h"
#include "EngineMeters.h"
#include "Library.h"
#include "LinkRequest.h"
#include "ProbeTable.h"
#include "EngineTesterState.h"

#include <platform/byteorder.h>
#include <kv310/ResultCodes.h>

#include <mutex>

namespace kv310 {

namespace {

constexpr uint8_t kLeadInput = 0;
constexpr int kLeadInputCount = 1;
constexpr int kReadingReplyCapacity = 60;
constexpr int kReadingLength = 10;  // 31 st id x 01 lead sub rng cH cL
constexpr int kConfigurationReplyCapacity = 20;
constexpr int kLeadKind = 1;

}  // namespace

int ConfigureEngineTesterOhm(const uint8_t* request, int size, int boardMode) {
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  const uint8_t inputs[kLeadInputCount] = {kLeadInput};
  if ((code = SelectProbes(inputs, kLeadInputCount)) != kOk) return code;
  if ((code = EnsureFirmwareChecked()) != kOk) return code;
  code = SendConfiguration(GetConfigurationRecord(1).bytes, true, inputs, kLeadInputCount, kConfigurationReplyCapacity);
  if (code != kOk) return code;

  uint8_t reply[20];
  int received = 0;
  if ((code = ExchangeWithBoard(request, size, 0, reply, sizeof reply, &received)) != kOk) return code;
  if (received < 4 || reply[0] != kCmdOhmConfiguration) return kBadReply;
  if (reply[1] == 2) {
    SetBoardMode(0);
    return kBoardNotReady;
  }
  if (reply[1] != 0) return kBadReply;
  if (!IsEngineTesterModule(reply[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  SetBoardMode(boardMode);
  return kOk;
}

int ReadEngineTesterOhm(int boardMode, const uint8_t* configuration, int configurationSize, EngineTesterOhmReading* out) {
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  if (BoardMode() != boardMode) {
    if ((code = ConfigureEngineTesterOhm(configuration, configurationSize, boardMode)) != kOk) return code;
  }
  const uint8_t request[2] = {kCmdOhmReading, 0x94};
  uint8_t reply[kReadingReplyCapacity];
  int received = 0;
  if ((code = ExchangeWithBoard(request, sizeof request, 0, reply, sizeof reply, &received)) != kOk) return code;
  if (received < 3 || reply[0] != kCmdOhmReading) return kBadReply;
  if (!IsEngineTesterModule(reply[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  const uint8_t status = reply[1];
  switch (status & 0x7F) {
    case 1:
    case 3: return kBadReply;
    case 2: SetBoardMode(0); return kBoardNotReady;
    default:
      if (status != 0) return (status & 0x80) ? kBoardErrorStatus : kBadReply;
      break;
  }
  // The fields run to byte 9: a reply that stops short of them is refused.
  if (received < kReadingLength || reply[4] != kLeadInputCount) return kBadReply;
  ProbeDescriptor leads;
  LookupProbeDescriptor(&leads, reply[5]);
  EngineState().StoreInputDescriptor(kLeadInput, leads);
  out->probeKind = leads.kind;
  if (leads.kind != kLeadKind) return kWrongProbe;
  out->subRange = reply[6];
  out->rangeIndex = reply[7];
  out->raw = kvp::ReadBe16(reply + 8);
  return kOk;
}

}  // namespace kv310
