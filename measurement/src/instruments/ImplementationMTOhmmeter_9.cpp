#include "ImplementationMTOhmmeter_9.h"

#include "../CommandSet.h"
#include "../EngineTesterOhm.h"

namespace kv310 {

namespace {

constexpr uint8_t kEngineTesterOhmmeter = 0x80;  // the 0x30 flag of the engine-tester board's ohmmeter

}  // namespace

int ImplementationMTOhmmeter_9::GetRangeCount(uint16_t* count) { return RangeCount(count); }

int ImplementationMTOhmmeter_9::GetRanges(uint16_t count, ScaledValue* ranges) { return Ranges(count, ranges); }

int ImplementationMTOhmmeter_9::GetRange(ScaledValue* range) { return Range(range); }

int ImplementationMTOhmmeter_9::GetRangeIndex(uint16_t* index) { return RangeIndex(index); }

int ImplementationMTOhmmeter_9::SetRangeIndex(uint16_t index) {
  if (StoreRangeIndex(index) != kOk) return kBadArgument;
  uint8_t request[5];
  const int size = BuildConfiguration(kEngineTesterOhmmeter, request);
  return ConfigureEngineTesterOhm(request, size, kBoardModeMTOhmmeter);
}

int ImplementationMTOhmmeter_9::Measure(OhmReading* reading) {
  if (!reading) return kBadArgument;
  uint8_t request[5];
  const int size = BuildConfiguration(kEngineTesterOhmmeter, request);
  EngineTesterOhmReading raw;
  const int code = ReadEngineTesterOhm(kBoardModeMTOhmmeter, request, size, &raw);
  if (code == kWrongProbe) reading->probeKind = raw.probeKind;
  if (code != kOk) return code;
  OhmReading result{};
  result.probeKind = raw.probeKind;
  result.rangeIndex = raw.rangeIndex;
  OhmValue(raw.raw, raw.rangeIndex, raw.subRange, &result.value, &result.valid);
  *reading = result;
  return kOk;
}

}  // namespace kv310
