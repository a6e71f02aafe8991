#include "ImplementationMotortester_6.h"

#include "../ComPort.h"
#include "../CommandSet.h"
#include "../EngineMeters.h"
#include "../Library.h"
#include "../LinkRequest.h"
#include "../ProbeTable.h"

#include <platform/sync.h>

#include <cstring>

namespace kv310 {

namespace {

// Accepted values of the parameter fields. The setters take at most 60 marks; a whole parameter
// set may carry 61.
constexpr int kMaxMarks = 60;
constexpr int kMaxMarksInSet = 61;
constexpr bool ValidCylinders(int v) { return v >= 1 && v <= 8; }
constexpr bool ValidMarks(int v, int most) { return v >= 1 && v <= most; }
constexpr bool ValidMarkOffset(int v) { return v >= -359 && v <= 359; }
constexpr bool ValidStroke(int v) { return v == 2 || v == 4; }
constexpr bool ValidSensitivity(int v) { return v >= 1 && v <= 10; }
constexpr bool ValidSparkSpeedSensor(int v) { return v == 0 || v == 1 || v == 3; }
constexpr bool ValidDieselSpeedSensor(int v) { return v >= 0 && v <= 3; }
constexpr bool ValidSwitch(int v) { return v == 0 || v == 1; }
constexpr bool ValidComparativeLevel(int v) { return v == 11 || v == 15; }
constexpr bool ValidEngineType(int v) { return v == 0 || v == 1; }

// Probe kinds accepted on engine-tester inputs 0..9, one bit per kind; kind 0 (no probe) is
// accepted everywhere.
constexpr uint32_t Kinds(std::initializer_list<int> kinds) {
  uint32_t mask = 1u;
  for (int k : kinds) mask |= 1u << k;
  return mask;
}
constexpr uint32_t kAllowedKinds[ImplementationMotortester_6::kInputCount] = {
    Kinds({1, 2, 3, 14}),  // 0: test lead, clamps, sensor lead
    Kinds({1, 14}),        // 1
    Kinds({2, 3}),         // 2: clamps
    Kinds({2, 3}),         // 3
    Kinds({11}),           // 4: high-voltage reference probe
    Kinds({6}),            // 5
    Kinds({8}),            // 6
    Kinds({9}),            // 7
    Kinds({7, 10, 12}),    // 8
    Kinds({5, 13}),        // 9
};

bool KindAllowed(int input, int kind) {
  return input >= 0 && input < ImplementationMotortester_6::kInputCount && kind >= 0 && kind < 32 &&
         (kAllowedKinds[input] >> kind) & 1u;
}

constexpr int kReferenceProbeKind = 11;
constexpr int kReferenceInput = 4;
constexpr DWORD kLinkWaitMs = 300;
constexpr DWORD kLinkPollMs = 10;

uint32_t PackPolarities(const uint8_t (&p)[4]) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

ICommunication_1* Communication() { return static_cast<ICommunication_1*>(InterfaceOf(kCommunication)); }

}  // namespace

// ---- detection and probes --------------------------------------------------------------------------

int ImplementationMotortester_6::Detect() {
  if (!Link()) return kNoLink;
  const uint8_t request[2] = {kCmdChannelProbes, 0x00};
  uint8_t reply[20];
  int received = 0;
  const int code = ExchangeWithBoard(request, sizeof request, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received < 4 || reply[0] != kCmdChannelProbes || reply[1] != 0) return kBadReply;
  if (!IsEngineTesterModule(reply[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  EngineState().SetEngineTesterReady(true);
  return kOk;
}

int ImplementationMotortester_6::GetInputCount(int16_t* count) {
  if (!count) return kBadArgument;
  *count = kInputCount;
  return kOk;
}

int ImplementationMotortester_6::ReadProbes(uint16_t count, const uint8_t* inputs, ProbeInputRecord* records) {
  if (count > kInputCount || !inputs || !records) return kBadArgument;
  ProbeDescriptor probes[kInputCount];
  const int code = QueryProbes(inputs, count, probes);
  SetBoardMode(0);  // the query leaves the board in another configuration
  if (code != kOk) return code;
  for (int i = 0; i < count; ++i) {
    if (inputs[i] >= kInputCount) return kBadArgument;
    records[i].input = inputs[i];
    records[i].probe = probes[i];
    records[i].valid = KindAllowed(inputs[i], probes[i].kind) ? 1 : 0;
  }
  return kOk;
}

int ImplementationMotortester_6::FindReferenceProbe(int32_t* referenceCode) {
  if (!referenceCode) return kBadArgument;
  *referenceCode = 0;
  for (uint8_t input = 0; input < kInputCount; ++input) {
    ProbeDescriptor probe;
    const int code = QueryProbes(&input, 1, &probe);
    SetBoardMode(0);
    if (code != kOk) return code;
    if (probe.kind == kReferenceProbeKind) {
      *referenceCode = ReferenceProbeCode();
      return input == kReferenceInput ? kOk : kProbeOnWrongInput;
    }
  }
  return kNoReferenceProbe;
}

// ---- parameters --------------------------------------------------------------------------------------

template <typename Field, typename Value>
int ImplementationMotortester_6::Store(Field EngineParameterBlock::*field, Value value, bool valid, bool marksChanged) {
  if (!valid) return kBadArgument;
  EngineState().UpdateParams([&](EngineParameterBlock& current) {
    current.*field = static_cast<Field>(value);
    return marksChanged;
  });
  return kOk;
}

template <typename Field, typename Out>
int ImplementationMotortester_6::Load(Field EngineParameterBlock::*field, Out* out) const {
  if (!out) return kBadArgument;
  *out = static_cast<Out>(EngineState().CurrentParams().*field);
  return kOk;
}

int ImplementationMotortester_6::SetAllParams(EngineParameterBlock block) {
  if (!ValidEngineType(block.engineType)) return kBadEngineType;
  bool complete = false;
  // Fields stored before a refused one are changes too: the meters must send them.
  EngineState().UpdateParams([&](EngineParameterBlock& current) {
    complete = TakeParams(block, current);
    return true;
  });
  return complete ? kOk : kBadArgument;
}

bool ImplementationMotortester_6::TakeParams(const EngineParameterBlock& block, EngineParameterBlock& current) {
  // Field by field in table order: a refused field leaves the ones before it stored.
  auto take = [&](auto field, bool valid) {
    if (!valid) return false;
    current.*field = block.*field;
    return true;
  };
  using B = EngineParameterBlock;
  bool complete;
  if (block.engineType == 0) {
    // The high-voltage probe type is not taken: it follows the reference probe the board reports.
    complete = take(&B::sparkNumberCylinders, ValidCylinders(block.sparkNumberCylinders)) &&
               take(&B::sparkNumberMarks, ValidMarks(block.sparkNumberMarks, kMaxMarksInSet)) &&
               take(&B::sparkMarkOffset, ValidMarkOffset(block.sparkMarkOffset)) &&
               take(&B::sparkStroke, ValidStroke(block.sparkStroke)) &&
               take(&B::sparkSensitivity, ValidSensitivity(block.sparkSensitivity)) &&
               take(&B::sparkSpeedSensorType, ValidSparkSpeedSensor(block.sparkSpeedSensorType)) &&
               take(&B::sparkCoilType, ValidSwitch(block.sparkCoilType));
    if (complete) std::memcpy(current.sparkPolarityHVProbes, block.sparkPolarityHVProbes, sizeof block.sparkPolarityHVProbes);
  } else {
    complete = take(&B::dieselNumberCylinders, ValidCylinders(block.dieselNumberCylinders)) &&
               take(&B::dieselNumberMarks, ValidMarks(block.dieselNumberMarks, kMaxMarksInSet)) &&
               take(&B::dieselMarkOffset, ValidMarkOffset(block.dieselMarkOffset)) &&
               take(&B::dieselStroke, ValidStroke(block.dieselStroke)) &&
               take(&B::dieselComparativeLevel, ValidComparativeLevel(block.dieselComparativeLevel)) &&
               take(&B::dieselPressureSensorType, ValidSwitch(block.dieselPressureSensorType)) &&
               take(&B::dieselSensitivity, ValidSensitivity(block.dieselSensitivity)) &&
               take(&B::dieselSpeedSensorType, ValidDieselSpeedSensor(block.dieselSpeedSensorType));
  }
  if (complete) current.engineType = block.engineType;
  return complete;
}

int ImplementationMotortester_6::GetAllParams(EngineParameterBlock* block) {
  if (!block) return kBadArgument;
  if (!ValidEngineType(block->engineType)) return kBadEngineType;
  const EngineParameterBlock current = EngineState().CurrentParams();
  if (block->engineType == 0) {
    block->sparkNumberCylinders = current.sparkNumberCylinders;
    block->sparkNumberMarks = current.sparkNumberMarks;
    block->sparkMarkOffset = current.sparkMarkOffset;
    block->sparkStroke = current.sparkStroke;
    block->sparkSensitivity = current.sparkSensitivity;
    block->sparkSpeedSensorType = current.sparkSpeedSensorType;
    block->sparkCoilType = current.sparkCoilType;
    block->sparkHiVoltageTypeProbe = current.sparkHiVoltageTypeProbe;
    std::memcpy(block->sparkPolarityHVProbes, current.sparkPolarityHVProbes, sizeof block->sparkPolarityHVProbes);
  } else {
    block->dieselNumberCylinders = current.dieselNumberCylinders;
    block->dieselNumberMarks = current.dieselNumberMarks;
    block->dieselMarkOffset = current.dieselMarkOffset;
    block->dieselStroke = current.dieselStroke;
    block->dieselComparativeLevel = current.dieselComparativeLevel;
    block->dieselPressureSensorType = current.dieselPressureSensorType;
    block->dieselSensitivity = current.dieselSensitivity;
    block->dieselSpeedSensorType = current.dieselSpeedSensorType;
  }
  block->engineType = current.engineType;
  return kOk;
}

int ImplementationMotortester_6::GetDefaultParams(EngineParameterBlock* block) {
  if (!block) return kBadArgument;
  *block = EngineState().DefaultParams();
  return kOk;
}

using B = EngineParameterBlock;

int ImplementationMotortester_6::SetEngineType(int32_t type) { return Store(&B::engineType, type, ValidEngineType(type)); }

int ImplementationMotortester_6::SetSparkNumberCylinders(uint8_t v) {
  return Store(&B::sparkNumberCylinders, v, ValidCylinders(v));
}
int ImplementationMotortester_6::SetSparkNumberMarks(uint16_t v) {
  return Store(&B::sparkNumberMarks, v, ValidMarks(v, kMaxMarks));
}
int ImplementationMotortester_6::SetSparkMarkOffset(int16_t v) { return Store(&B::sparkMarkOffset, v, ValidMarkOffset(v)); }
int ImplementationMotortester_6::SetSparkStroke(uint8_t v) { return Store(&B::sparkStroke, v, ValidStroke(v)); }
int ImplementationMotortester_6::SetSparkSensitivity(uint8_t v) {
  return Store(&B::sparkSensitivity, v, ValidSensitivity(v));
}
int ImplementationMotortester_6::SetSparkSpeedSensorType(int32_t v) {
  return Store(&B::sparkSpeedSensorType, v, ValidSparkSpeedSensor(v));
}
int ImplementationMotortester_6::SetSparkCoilType(int32_t v) { return Store(&B::sparkCoilType, v, ValidSwitch(v)); }
int ImplementationMotortester_6::SetSparkHiVoltageTypeProbe(int32_t v) {
  // Only stored: the type is normally set by the reference probe the board reports.
  return Store(&B::sparkHiVoltageTypeProbe, v, ValidSwitch(v), false);
}
int ImplementationMotortester_6::SetSparkPolarityHVProbes(uint32_t v) {
  EngineState().UpdateParams([v](EngineParameterBlock& current) {
    for (int i = 0; i < 4; ++i) current.sparkPolarityHVProbes[i] = static_cast<uint8_t>(v >> (8 * i));
    return true;
  });
  return kOk;
}

int ImplementationMotortester_6::SetDieselNumberCylinders(uint8_t v) {
  return Store(&B::dieselNumberCylinders, v, ValidCylinders(v));
}
int ImplementationMotortester_6::SetDieselNumberMarks(uint16_t v) {
  return Store(&B::dieselNumberMarks, v, ValidMarks(v, kMaxMarks));
}
int ImplementationMotortester_6::SetDieselMarkOffset(int16_t v) {
  return Store(&B::dieselMarkOffset, v, ValidMarkOffset(v));
}
int ImplementationMotortester_6::SetDieselStroke(uint8_t v) { return Store(&B::dieselStroke, v, ValidStroke(v)); }
int ImplementationMotortester_6::SetDieselComparativeLevel(uint8_t v) {
  return Store(&B::dieselComparativeLevel, v, ValidComparativeLevel(v));
}
int ImplementationMotortester_6::SetDieselPressureSensorType(int32_t v) {
  return Store(&B::dieselPressureSensorType, v, ValidSwitch(v));
}
int ImplementationMotortester_6::SetDieselSensitivity(int32_t v) {
  return Store(&B::dieselSensitivity, v, ValidSensitivity(v));
}
int ImplementationMotortester_6::SetDieselSpeedSensorType(int32_t v) {
  return Store(&B::dieselSpeedSensorType, v, ValidDieselSpeedSensor(v));
}

int ImplementationMotortester_6::GetEngineType(int32_t* v) { return Load(&B::engineType, v); }
int ImplementationMotortester_6::GetSparkNumberCylinders(uint8_t* v) { return Load(&B::sparkNumberCylinders, v); }
int ImplementationMotortester_6::GetSparkNumberMarks(uint16_t* v) { return Load(&B::sparkNumberMarks, v); }
int ImplementationMotortester_6::GetSparkMarkOffset(int16_t* v) { return Load(&B::sparkMarkOffset, v); }
int ImplementationMotortester_6::GetSparkStroke(uint8_t* v) { return Load(&B::sparkStroke, v); }
int ImplementationMotortester_6::GetSparkSensitivity(uint8_t* v) { return Load(&B::sparkSensitivity, v); }
int ImplementationMotortester_6::GetSparkSpeedSensorType(int32_t* v) { return Load(&B::sparkSpeedSensorType, v); }
int ImplementationMotortester_6::GetSparkCoilType(int32_t* v) { return Load(&B::sparkCoilType, v); }
int ImplementationMotortester_6::GetSparkHiVoltageTypeProbe(int32_t* v) { return Load(&B::sparkHiVoltageTypeProbe, v); }
int ImplementationMotortester_6::GetSparkPolarityHVProbes(uint32_t* v) {
  if (!v) return kBadArgument;
  *v = PackPolarities(EngineState().CurrentParams().sparkPolarityHVProbes);
  return kOk;
}
int ImplementationMotortester_6::GetDieselNumberCylinders(uint8_t* v) { return Load(&B::dieselNumberCylinders, v); }
int ImplementationMotortester_6::GetDieselNumberMarks(uint16_t* v) { return Load(&B::dieselNumberMarks, v); }
int ImplementationMotortester_6::GetDieselMarkOffset(int16_t* v) { return Load(&B::dieselMarkOffset, v); }
int ImplementationMotortester_6::GetDieselStroke(uint8_t* v) { return Load(&B::dieselStroke, v); }
int ImplementationMotortester_6::GetDieselComparativeLevel(uint8_t* v) { return Load(&B::dieselComparativeLevel, v); }
int ImplementationMotortester_6::GetDieselPressureSensorType(int32_t* v) {
  return Load(&B::dieselPressureSensorType, v);
}
int ImplementationMotortester_6::GetDieselSensitivity(uint8_t* v) { return Load(&B::dieselSensitivity, v); }
int ImplementationMotortester_6::GetDieselSpeedSensorType(int32_t* v) { return Load(&B::dieselSpeedSensorType, v); }

// ---- values the meters configure with ----------------------------------------------------------------

// The rules live with the meters that configure with them; these apply them to the current set.
int ImplementationMotortester_6::GetDegreesPerMark(uint8_t* value) const {
  if (!value) return kBadArgument;
  return DegreesPerMark(EngineState().CurrentParams(), value);
}

int ImplementationMotortester_6::GetPolarityByte(uint8_t* value, int mode) const {
  if (!value) return kBadArgument;
  *value = PolarityByte(EngineState().CurrentParams(), mode);
  return kOk;
}

// ---- waiting for the board ------------------------------------------------------------------------------

int ImplementationMotortester_6::WaitLinkReady() {
  int code;
  if (CheckLinkReady(&code)) return kOk;
  if (code != kLinkBusy) return code;
  const DWORD start = GetTickCount();
  for (;;) {
    CComPort* link = Link();
    if (link && link->GetState() == kStateError) {
      if (ICommunication_1* communication = Communication()) communication->Recover();
    }
    if (CheckLinkReady(&code)) return kOk;
    if (GetTickCount() - start >= kLinkWaitMs) return code;
    Sleep(kLinkPollMs);
  }
}

int ImplementationMotortester_6::WaitReady() {
  int code = WaitLinkReady();
  if (code != kOk) return code;
  EngineState().SetParamsChanged(false);
  code = EnsureFirmwareChecked();
  if (code != kOk) return code;
  // The stop configuration: the board leaves whatever measurement it was set up for.
  const ConfigurationRecord& stop = GetConfigurationRecord(0);
  SetLastConfiguration(stop.bytes);
  uint8_t reply[1];
  int received = 0;
  code = ExchangeWithBoard(stop.bytes, kConfigurationLength, 0, reply, 0, &received);
  SetBoardMode(0);
  if (code != kOk) return code;
  return WaitLinkReady();
}

}  // namespace kv310
