#include "ImplementationMTLeakTest_15.h"

#include "../CommandSet.h"
#include "../ComPort.h"
#include "../Library.h"
#include "../LinkRequest.h"
#include "../ProbeTable.h"
#include "../ScaledArithmetic.h"
#include "../EngineTesterState.h"

#include <cstring>
#include <mutex>

namespace kv310 {

namespace {

constexpr int kBoardModeLeakTest = 13;
constexpr int kLeakExtraMs = 800;
constexpr int kConfigurationReplyCapacity = 20;
constexpr int kRecordingReplyCapacity = 2100;
// 22 00 id x, then 1024 pairs of sample bytes.
constexpr int kRecordingHeader = 4;
constexpr int kRecordingReplyLength = kRecordingHeader + 2 * kLeakSampleCount;

bool WithEngineTester() {
  return EngineState().FirmwareChecked();
}

// The leak input code the configuration carries in byte 2.
uint8_t LeakInputCode(uint8_t input) { return input == 2 ? 3 : input == 3 ? 5 : 0; }

}  // namespace

int ImplementationMTLeakTest_15::SelectInput(uint8_t input) {
  const bool accepted = WithEngineTester() ? (input == 0 || input == 2 || input == 3) : (input == 0 || input == 1);
  if (!accepted) return kBadArgument;
  m_input = input;
  return kOk;
}

int ImplementationMTLeakTest_15::GetInput(uint8_t* input) {
  if (!input) return kBadArgument;
  *input = m_input;
  return kOk;
}

int ImplementationMTLeakTest_15::ReadProbe(ProbeDescriptor* probe) {
  if (!probe) return kBadArgument;
  int code = kOk;
  if (WithEngineTester()) {
    code = QueryProbes(&m_input, 1, probe);
    if (code == kOk) EngineState().StoreInputDescriptor(m_input, *probe);
  } else {
    // The board channel of the input; a failed query leaves the caller's record as it was.
    GetChannelProbe(m_input, probe);
  }
  m_dirty = 2;
  return code;
}

// Record 1 with the leak input code, sent with the probe report bit and the recording's extra
// time; the reply reports the one selected input's probe.
int ImplementationMTLeakTest_15::SendLeakConfiguration() {
  uint8_t request[kConfigurationLength];
  std::memcpy(request, GetConfigurationRecord(m_configurationId).bytes, sizeof request);
  request[2] = LeakInputCode(m_input);
  request[1] |= 0x80;
  uint8_t reply[kConfigurationReplyCapacity];
  int received = 0;
  const int code = ExchangeWithBoard(request, sizeof request, kLeakExtraMs, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received < 2 || reply[0] != kCmdConfiguration) return kBadReply;
  if (reply[1] != 0) return (reply[1] & 0x80) ? kBoardErrorStatus : kBadReply;
  if (received < 5 || reply[4] != m_inputCount || received < 5 + m_inputCount) return kBadReply;
  ProbeDescriptor probe;
  LookupProbeDescriptor(&probe, reply[5]);
  EngineState().StoreInputDescriptor(m_input, probe);
  return kOk;
}

int ImplementationMTLeakTest_15::Start() {
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  EngineState().SetParamsChanged(false);
  if (WithEngineTester()) {
    code = SelectProbes(&m_input, 1);
    if (code != kOk) return code;
    code = SendLeakConfiguration();
    if (code != kOk) return code;
  }
  const uint8_t request[2] = {kCmdLeakRecording, static_cast<uint8_t>(m_input != 0 ? 1 : 0)};
  CComPort* link = Link();
  // Nothing went out (the link left the idle state meanwhile): say so, or Read would take an
  // earlier reply for the recording.
  if (!link || link->Send(request, sizeof request, kLeakExtraMs) == 0) return kBadReply;
  SetBoardMode(kBoardModeLeakTest);
  m_dirty = 0;
  return kOk;
}

int ImplementationMTLeakTest_15::Read(uint8_t count, float* results) {
  if (!results) return kBadArgument;
  // The recording may still be under way: wait for it, as every request waits for the one before.
  if (CComPort* link = Link()) link->WaitIdle();
  int code;
  if (!CheckLinkReady(&code)) return code;
  uint8_t reply[kRecordingReplyCapacity];
  const int received = Link()->Receive(reply, sizeof reply, 0);
  if (received < kRecordingReplyLength || reply[0] != kCmdLeakRecording || reply[1] != 0) return kBadReply;
  const bool engineTester = WithEngineTester();
  if (engineTester && !IsEngineTesterModule(reply[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  uint8_t cylinders = 4;
  if (!engineTester && count >= 3 && count <= 6) {
    // Without the engine-tester module nobody has set up an engine: the caller names the
    // cylinders it counts, and the recording is analysed for that many.
    cylinders = count;
  } else {
    code = GetCylinderCount(&cylinders);
    if (code != kOk) {
      if (engineTester) return code;
      cylinders = 4;
    }
  }
  m_cylinders = cylinders;
  for (int i = 0; i < kLeakSampleCount; ++i) {
    m_samples[i] = DecodeLeakSample(reply[kRecordingHeader + 2 * i], reply[kRecordingHeader + 2 * i + 1]);
  }
  if (count > cylinders || cylinders > kLeakMaxCylinders) return kBadArgument;

  LeakAnalysisResult analysis;
  const bool found = AnalyseLeakRecording(m_samples, cylinders, &analysis);
  m_smallestDistance = analysis.smallestDistance;
  m_largestDistance = analysis.largestDistance;
  m_lastDistance = analysis.lastDistance;
  std::memcpy(m_percent, analysis.percent, sizeof m_percent);
  if (!found) return kLeakAnalysisFailed;
  // Exactly the results asked for: the caller's array holds `count` of them.
  for (int i = 0; i < count; ++i) results[i] = analysis.relative[i];
  return kOk;
}

}  // namespace kv310
