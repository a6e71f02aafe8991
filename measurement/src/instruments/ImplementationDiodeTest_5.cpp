#include "ImplementationDiodeTest_5.h"

#include "../CommandSet.h"
#include "OhmBoard.h"

namespace kv310 {

namespace {

constexpr uint8_t kDiodeConfiguration[5] = {kCmdOhmConfiguration, 0x00, 0x00, 0x00, 0x04};

}  // namespace

int16_t DiodeValue(uint16_t raw) {
  const float u = static_cast<float>(raw) * 2.5f / 1024.0f;
  const float value = u / 5.0f * 32768.0f;
  return value >= 32767.0f ? 32767 : static_cast<int16_t>(value);
}

int ImplementationDiodeTest_5::GetRange(ScaledValue* range) {
  if (!range) return kBadArgument;
  *range = ScaledValue{5, 0, {}};
  return kOk;
}

int ImplementationDiodeTest_5::Configure() {
  return ConfigureOhmBoard(kDiodeConfiguration, sizeof kDiodeConfiguration, kBoardModeDiodeTest);
}

int ImplementationDiodeTest_5::Measure(DiodeReading* reading) {
  if (!reading) return kBadArgument;
  OhmRawReading raw;
  const int code = ReadOhmBoard(kBoardModeDiodeTest, kDiodeConfiguration, sizeof kDiodeConfiguration, &raw);
  if (code == kOk || code == kWrongProbe) reading->probeKind = raw.probeKind;
  if (code != kOk) return code;
  reading->value = DiodeValue(raw.raw);
  return kOk;
}

}  // namespace kv310
