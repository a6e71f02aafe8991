#include "ImplementationOhmmeter_4.h"

#include "../CommandSet.h"
#include "OhmBoard.h"

namespace kv310 {

int ImplementationOhmmeter_4::GetRangeCount(uint16_t* count) { return RangeCount(count); }

int ImplementationOhmmeter_4::GetRanges(uint16_t count, ScaledValue* ranges) { return Ranges(count, ranges); }

int ImplementationOhmmeter_4::GetRange(ScaledValue* range) { return Range(range); }

int ImplementationOhmmeter_4::GetRangeIndex(uint16_t* index) { return RangeIndex(index); }

int ImplementationOhmmeter_4::SetRangeIndex(uint16_t index) {
  if (StoreRangeIndex(index) != kOk) return kBadArgument;
  uint8_t request[5];
  const int size = BuildConfiguration(0x00, request);
  return ConfigureOhmBoard(request, size, kBoardModeOhmmeter);
}

int ImplementationOhmmeter_4::Measure(OhmReading* reading) {
  if (!reading) return kBadArgument;
  uint8_t request[5];
  const int size = BuildConfiguration(0x00, request);
  OhmRawReading raw;
  const int code = ReadOhmBoard(kBoardModeOhmmeter, request, size, &raw);
  if (code == kOk || code == kWrongProbe) reading->probeKind = raw.probeKind;
  if (code != kOk) return code;
  reading->rangeIndex = raw.rangeIndex;
  OhmValue(raw.raw, raw.rangeIndex, raw.subRange, &reading->value, &reading->valid);
  return kOk;
}

}  // namespace kv310
