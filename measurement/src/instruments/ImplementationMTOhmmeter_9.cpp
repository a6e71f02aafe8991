#include "ImplementationMTOhmmeter_9.h"

#include "../CommandSet.h"
#include "../EngineTesterOhm.h"
#include "ImplementationOhmmeter_4.h"

namespace kv310 {

int ImplementationMTOhmmeter_9::GetRangeCount(uint16_t* count) {
  if (!count) return kBadArgument;
  *count = kOhmRangeCount;
  return kOk;
}

int ImplementationMTOhmmeter_9::GetRanges(uint16_t count, ScaledValue* ranges) {
  if (count > kOhmRangeCount || !ranges) return kBadArgument;
  for (int i = 0; i < count; ++i) ranges[i] = OhmRangeScale(i);
  return kOk;
}

int ImplementationMTOhmmeter_9::GetRange(ScaledValue* range) {
  if (!range) return kBadArgument;
  *range = m_rangeIndex == kAutoRange ? ScaledValue{0, 0, {}} : OhmRangeScale(m_rangeIndex);
  return kOk;
}

int ImplementationMTOhmmeter_9::GetRangeIndex(uint16_t* index) {
  if (!index) return kBadArgument;
  *index = m_rangeIndex;
  return kOk;
}

int ImplementationMTOhmmeter_9::BuildConfiguration(uint8_t request[5]) const {
  request[0] = kCmdOhmConfiguration;
  request[1] = 0x80;  // the engine-tester board's ohmmeter
  if (m_rangeIndex == kAutoRange) {
    request[2] = 0x02;
    return 3;
  }
  request[2] = 0x01;
  request[3] = 0x00;
  request[4] = static_cast<uint8_t>(m_rangeIndex);
  return 5;
}

int ImplementationMTOhmmeter_9::SetRangeIndex(uint16_t index) {
  if (index >= kOhmRangeCount && index != kAutoRange) return kBadArgument;
  m_rangeIndex = index;
  uint8_t request[5];
  const int size = BuildConfiguration(request);
  return ConfigureEngineTesterOhm(request, size, kBoardModeMTOhmmeter);
}

int ImplementationMTOhmmeter_9::Measure(OhmReading* reading) {
  if (!reading) return kBadArgument;
  uint8_t request[5];
  const int size = BuildConfiguration(request);
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
