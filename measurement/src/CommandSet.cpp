#include "CommandSet.h"

#include "Library.h"
#include "LinkRequest.h"
#include "ProbeTable.h"
#include "EngineTesterState.h"

#include <algorithm>
#include <cstring>
#include <kv310/ResultCodes.h>

namespace kv310 {

namespace {

#define CONFIG(id, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10) \
  { id, { 0x61, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, 0x00 } }

constexpr ConfigurationRecord kConfigurations[kConfigurationRecordCount] = {
    CONFIG(0, 0x00, 0x00, 0xC8, 0xE8, 0x48, 0x18, 0x00, 0x00, 0x00, 0x00),
    CONFIG(1, 0x00, 0x00, 0xC8, 0xE8, 0x48, 0x18, 0x00, 0x00, 0x00, 0x00),
    CONFIG(2, 0x00, 0x81, 0xC8, 0xE8, 0x48, 0x18, 0x00, 0x00, 0x00, 0x00),
    CONFIG(3, 0x03, 0xE1, 0xC8, 0xE8, 0x48, 0x14, 0x32, 0x0F, 0x00, 0x00),
    CONFIG(4, 0x01, 0x00, 0xC8, 0xE8, 0x48, 0x54, 0x32, 0x00, 0x00, 0x00),
    CONFIG(5, 0x02, 0x00, 0xC8, 0xE8, 0x48, 0x58, 0x00, 0x00, 0x00, 0x00),
    CONFIG(6, 0x03, 0x00, 0xC8, 0xE8, 0x48, 0x14, 0x32, 0x0F, 0x00, 0x00),
    CONFIG(7, 0x04, 0x00, 0xC8, 0xE8, 0x48, 0x54, 0x32, 0x00, 0x00, 0x00),
    CONFIG(8, 0x0C, 0xC9, 0xC8, 0xE8, 0x48, 0x54, 0x32, 0x00, 0x00, 0x01),
    CONFIG(9, 0x0D, 0xC9, 0xC8, 0xE9, 0x48, 0x54, 0x32, 0x01, 0x00, 0x01),
    CONFIG(10, 0x10, 0xC9, 0xC8, 0xE8, 0x48, 0x54, 0x32, 0x00, 0x00, 0x01),
    CONFIG(11, 0x00, 0x00, 0xC8, 0xE8, 0x48, 0x18, 0x00, 0x00, 0x00, 0x00),
    CONFIG(12, 0x01, 0x00, 0xC8, 0xE8, 0x48, 0x54, 0x32, 0x00, 0x00, 0x00),
    CONFIG(13, 0x02, 0x00, 0xC8, 0xE8, 0x48, 0x58, 0x00, 0x00, 0x00, 0x00),
    CONFIG(14, 0x03, 0x00, 0xC8, 0xE8, 0x48, 0x14, 0x32, 0x0F, 0x00, 0x00),
    CONFIG(15, 0x04, 0x00, 0xC8, 0xE8, 0x48, 0x54, 0x00, 0x00, 0x00, 0x00),
    CONFIG(16, 0x00, 0x00, 0xC8, 0xE8, 0x48, 0x18, 0x00, 0x00, 0x00, 0x00),
    CONFIG(17, 0x01, 0x00, 0x48, 0x68, 0x48, 0x54, 0x32, 0x00, 0x00, 0x00),
    CONFIG(18, 0x03, 0x21, 0x48, 0x68, 0x48, 0x14, 0x32, 0x0F, 0x00, 0x00),
    CONFIG(19, 0x00, 0x81, 0x48, 0x68, 0x48, 0x18, 0x00, 0x00, 0x00, 0x00),
    CONFIG(20, 0x01, 0x00, 0x48, 0x68, 0x48, 0x54, 0x32, 0x00, 0x00, 0x00),
    CONFIG(21, 0x02, 0x00, 0x48, 0x68, 0x48, 0x58, 0x00, 0x00, 0x00, 0x00),
    CONFIG(22, 0x03, 0x00, 0x48, 0x68, 0x48, 0x14, 0x32, 0x00, 0x00, 0x00),
    CONFIG(23, 0x04, 0x00, 0x48, 0x68, 0x48, 0x54, 0x00, 0x00, 0x00, 0x00),
    CONFIG(24, 0x0C, 0xC9, 0xC8, 0xE8, 0x48, 0x54, 0x32, 0x00, 0x00, 0x01),
    CONFIG(25, 0x0D, 0xC9, 0xC8, 0xE9, 0x48, 0x54, 0x32, 0x01, 0x00, 0x01),
    CONFIG(26, 0x10, 0xC9, 0xC8, 0xE8, 0x48, 0x54, 0x32, 0x00, 0x00, 0x01),
    CONFIG(27, 0x11, 0xC9, 0xC8, 0xE8, 0x48, 0x54, 0x00, 0x04, 0x00, 0x01),
    CONFIG(28, 0x0F, 0xC9, 0xC8, 0xE8, 0x48, 0x54, 0x32, 0x04, 0xF0, 0x01),
};

#undef CONFIG

constexpr int kMaxSelectedInputs = 9;
constexpr int kMaxQueriedInputs = 10;

}  // namespace

const ConfigurationRecord& GetConfigurationRecord(int id) {
  return (id >= 0 && id < kConfigurationRecordCount) ? kConfigurations[id] : kConfigurations[0];
}

int SelectProbes(const uint8_t* inputs, int count) {
  if (!inputs || count < 0 || count > kMaxSelectedInputs) return kBadArgument;
  // The whole operation holds the operation lock: a synchronous request of another caller is
  // waited for instead of being seen as a busy link.
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  uint8_t request[2 + kMaxSelectedInputs] = {kCmdSelectProbes, static_cast<uint8_t>(count)};
  for (int i = 0; i < count; ++i) request[2 + i] = inputs[i];
  uint8_t reply[20];
  int received = 0;
  code = ExchangeWithBoard(request, count + 2, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received < 3 || reply[0] != kCmdSelectProbes || reply[1] != 0) return kBadReply;
  if (!IsEngineTesterModule(reply[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  EngineState().SetEngineTesterReady(true);
  return kOk;
}

int GetChannelProbe(int channel, ProbeDescriptor* probe) {
  if (channel < 0 || channel > 1 || !probe) return kBadArgument;
  // The whole operation holds the operation lock: a synchronous request of another caller is
  // waited for instead of being seen as a busy link.
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  const uint8_t request[2] = {kCmdChannelProbes, 0x00};
  uint8_t reply[20];
  int received = 0;
  code = ExchangeWithBoard(request, sizeof request, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received < 4 || reply[0] != kCmdChannelProbes || reply[1] != 0) return kBadReply;
  LookupProbeDescriptor(probe, reply[2 + channel]);
  return kOk;
}

int QueryProbes(const uint8_t* inputs, int count, ProbeDescriptor* probes) {
  if (!inputs || !probes || count < 0 || count > kMaxQueriedInputs) return kBadArgument;
  // The whole operation holds the operation lock: a synchronous request of another caller is
  // waited for instead of being seen as a busy link.
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  uint8_t request[2 + kMaxQueriedInputs] = {kCmdQueryProbes, static_cast<uint8_t>(count | 0x80)};
  for (int i = 0; i < count; ++i) request[2 + i] = inputs[i];
  uint8_t reply[30];
  int received = 0;
  code = ExchangeWithBoard(request, count + 2, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received < 4 || reply[0] != kCmdQueryProbes) return kBadReply;
  if (!IsEngineTesterModule(reply[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  EngineState().SetEngineTesterReady(true);
  if (reply[1] != 0) return (reply[1] & 0x80) ? kBoardErrorStatus : kBadReply;
  // The count byte, then one code per input: a reply too short to carry them is refused.
  if (received < 5 || reply[4] != count || received < 5 + count) return kBadReply;
  for (int i = 0; i < count; ++i) LookupProbeDescriptor(&probes[i], reply[5 + i]);
  return kOk;
}

int SendConfiguration(const uint8_t configuration[11], bool engineTester, const uint8_t* inputs, int inputCount,
                      int replyCapacity) {
  if (!configuration || inputCount < 0 || (inputCount > 0 && !inputs)) return kBadArgument;
  uint8_t request[11];
  std::memcpy(request, configuration, sizeof request);
  if (engineTester) request[1] |= 0x80;
  uint8_t reply[64];
  const int capacity = std::clamp(replyCapacity, 0, static_cast<int>(sizeof reply));
  int received = 0;
  const int code = ExchangeWithBoard(request, sizeof request, 0, reply, capacity, &received);
  if (code != kOk) return code;
  if (received < 2 || reply[0] != kCmdConfiguration) return kBadReply;
  if (reply[1] != 0) return (reply[1] & 0x80) ? kBoardErrorStatus : kBadReply;
  // The count, then one code per input: a reply too short to carry them is refused.
  if (received < 5 || reply[4] != inputCount || received < 5 + inputCount) return kBadReply;
  for (int i = 0; i < inputCount; ++i) {
    ProbeDescriptor probe;
    LookupProbeDescriptor(&probe, reply[5 + i]);
    EngineState().StoreInputDescriptor(inputs[i], probe);
  }
  return kOk;
}

}  // namespace kv310
