#include "ImplementationMTDiodeTest_10.h"

#include "../CommandSet.h"
#include "../EngineTesterOhm.h"
#include "ImplementationDiodeTest_5.h"

namespace kv310 {

namespace {

// The diode configuration carries no engine-tester flag.
constexpr uint8_t kDiodeConfiguration[5] = {kCmdOhmConfiguration, 0x00, 0x00, 0x00, 0x04};

}  // namespace

int ImplementationMTDiodeTest_10::GetRange(ScaledValue* range) {
  if (!range) return kBadArgument;
  *range = ScaledValue{5, 0, {}};
  return kOk;
}

int ImplementationMTDiodeTest_10::Configure() {
  return ConfigureEngineTesterOhm(kDiodeConfiguration, sizeof kDiodeConfiguration, kBoardModeMTDiodeTest);
}

int ImplementationMTDiodeTest_10::Measure(DiodeReading* reading) {
  if (!reading) return kBadArgument;
  EngineTesterOhmReading raw;
  const int code = ReadEngineTesterOhm(kBoardModeMTDiodeTest, kDiodeConfiguration, sizeof kDiodeConfiguration, &raw);
  if (code == kWrongProbe) reading->probeKind = raw.probeKind;
  if (code != kOk) return code;
  DiodeReading result{};
  result.probeKind = raw.probeKind;
  result.value = DiodeValue(raw.raw);
  *reading = result;
  return kOk;
}

}  // namespace kv310
