#include "EngineMeters.h"

#include "CommandSet.h"
#include "EngineMeterReplies.h"
#include "Library.h"
#include "LinkRequest.h"
#include "ProbeTable.h"
#include "ScaledArithmetic.h"
#include "EngineTesterState.h"

#include <kv310/ResultCodes.h>

namespace kv310 {

namespace {

constexpr int kMeterReplyCapacity = 50;

}  // namespace

EngineParameterBlock EngineParams() {
  return EngineState().CurrentParams();
}

int ActiveNumberMarks(const EngineParameterBlock& p, uint16_t* marks) {
  if (p.engineType == 0) {
    *marks = p.sparkNumberMarks;
  } else if (p.engineType == 1) {
    *marks = p.dieselNumberMarks;
  } else {
    return kBadEngineType;
  }
  return kOk;
}

int ActiveMarkOffset(const EngineParameterBlock& p, int16_t* offset) {
  if (p.engineType == 0) {
    *offset = p.sparkMarkOffset;
  } else if (p.engineType == 1) {
    *offset = p.dieselMarkOffset;
  } else {
    return kBadEngineType;
  }
  return kOk;
}

int ActiveSpeedSensorType(const EngineParameterBlock& p, int32_t* type) {
  if (p.engineType == 0) {
    *type = p.sparkSpeedSensorType;
  } else if (p.engineType == 1) {
    *type = p.dieselSpeedSensorType;
  } else {
    return kBadEngineType;
  }
  return kOk;
}

int SparkDegreesPerMark(const EngineParameterBlock& p, uint8_t* degrees) {
  int base;
  if (p.sparkStroke == 2) {
    base = 20;
  } else if (p.sparkStroke == 4) {
    base = 60;
  } else {
    return kBadArgument;
  }
  *degrees = static_cast<uint8_t>(base + 5 * (p.sparkSensitivity - 5));
  return kOk;
}

int SetMeterEngineBytes(const EngineParameterBlock& p, uint8_t record[]) {
  if (p.engineType == 1) {
    if (p.dieselPressureSensorType == 0) record[5] = static_cast<uint8_t>(record[5] + 0x80);
    record[7] = 75;
    return kOk;
  }
  if (p.engineType != 0) return kBadEngineType;
  return SparkDegreesPerMark(p, &record[7]);
}

int DegreesPerMark(const EngineParameterBlock& p, uint8_t* degrees) {
  if (p.engineType == 1) {
    *degrees = 60;
    return kOk;
  }
  if (p.engineType != 0) return kBadEngineType;
  return SparkDegreesPerMark(p, degrees);
}

uint8_t PolarityByte(const EngineParameterBlock& p, int mode) {
  const uint8_t* polarity = p.sparkPolarityHVProbes;  // non-zero = normal polarity
  if (p.sparkCoilType != 1) {
    if (mode == 1 || mode == 2) return 0x55;
    if (mode == 3 || mode == 4) return 0xFF;
    return 0xF5;
  }
  switch (mode) {
    case 1: return polarity[0] == 0 ? 0x55 : 0x00;
    case 2: return polarity[1] == 0 ? 0x55 : 0x00;
    case 3: return polarity[2] != 0 ? 0xAA : 0xFF;
    case 4: return polarity[3] != 0 ? 0xAA : 0xFF;
    default: break;
  }
  uint8_t byte = polarity[3] != 0 ? 0x80 : 0xC0;
  byte |= polarity[2] != 0 ? 0x20 : 0x30;
  if (polarity[1] == 0) byte |= 0x04;
  if (polarity[0] == 0) byte |= 0x01;
  return byte;
}

int DegreesPerMark(uint8_t* degrees) {
  return DegreesPerMark(EngineState().CurrentParams(), degrees);
}

int PolarityByte(int mode, uint8_t* polarity) {
  *polarity = PolarityByte(EngineState().CurrentParams(), mode);
  return kOk;
}

uint16_t TimingCorrection(int word) {
  return EngineState().Correction(word);
}

bool MeterNeedsConfiguration(int boardMode, int dirty) {
  return BoardMode() != boardMode || dirty != 0 || EngineState().ParamsChanged();
}

int SelectMeterInputs(int boardMode, int dirty, const uint8_t* inputs, int count, bool* otherInstrument) {
  *otherInstrument = BoardMode() != boardMode;
  if (dirty == kMeterProbesChanged || *otherInstrument) {
    const int code = SelectProbes(inputs, count);
    if (code != kOk) return code;
  }
  return EnsureFirmwareChecked();
}

int SendMeterConfiguration(const uint8_t* record, int dirty, bool otherInstrument, const uint8_t* inputs, int count,
                           int replyCapacity, uint8_t* changed) {
  *changed = DiffersFromLastConfiguration(record) ? 1 : 0;
  if (!*changed && dirty != kMeterProbesChanged && !otherInstrument) return kOk;
  const int code = SendConfiguration(record, true, inputs, count, replyCapacity);
  if (code == kOk) SetLastConfiguration(record);
  return code;
}

ParamsChangeTaken::ParamsChangeTaken() {
  m_taken = EngineState().TakeParamsChanged();
}

ParamsChangeTaken::~ParamsChangeTaken() {
  if (m_taken && !m_accepted)
    EngineState().SetParamsChanged(true);
}

int QueryMeterProbes(const uint8_t* inputs, int count, ProbeDescriptor* probes) {
  const int code = QueryProbes(inputs, count, probes);
  if (code != kOk) return code;
  for (int i = 0; i < count; ++i) EngineState().StoreInputDescriptor(inputs[i], probes[i]);
  return kOk;
}

int SendMeterStart(const uint8_t* request, int size) {
  uint8_t reply[20];
  int received = 0;
  const int code = ExchangeWithBoard(request, size, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received < 4 || reply[0] != kCmdMeterStart || reply[1] != 0) return kBadReply;
  if (!IsEngineTesterModule(reply[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  return kOk;
}

int ReadMeterCounts(MeterCounts* counts) {
  const uint8_t request[2] = {kCmdMeterReading, 0x00};
  uint8_t reply[kMeterReplyCapacity];
  int received = 0;
  int code = ExchangeWithBoard(request, sizeof request, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  code = DecodeMeterReply(reply, received, counts);
  if (code == kNoEngineTester) EngineState().ClearEngineTesterFlags();
  return code;
}

ScaledValue SpeedTenths(uint64_t numerator, uint64_t denominator) {
  const uint64_t tenths = denominator ? numerator / denominator : 0;
  return ScaledValue{static_cast<int32_t>(tenths > INT32_MAX ? INT32_MAX : tenths), -1, {}};
}

ScaledValue RoundSpeed(ScaledValue speed) {
  ScaledValue rounded{};
  RoundScaledValue(speed, 2, &rounded);
  return rounded;
}

bool SpeedInWindow(ScaledValue speed) {
  const float rpm = ScaledValueToFloat(speed);
  return rpm > 400.0f && rpm < 10000.0f;
}

MeasuredValue SpeedReading(ScaledValue tenths, const ProbeDescriptor& probe) {
  MeasuredValue speed{};
  speed.value = RoundSpeed(tenths);
  speed.probe = probe;
  speed.valid = 1;
  if (!SpeedInWindow(speed.value)) {
    speed.value = ScaledValue{0, 0, {}};
    speed.valid = 0;
  }
  return speed;
}

bool AdvanceTenths(uint64_t interval, uint32_t w, uint32_t period, bool stroboscope, int16_t markOffset,
                   int32_t* tenths) {
  *tenths = 0;
  if (period == 0) return false;
  const double x = static_cast<double>(interval) * w / period * 3600;
  const double value = stroboscope ? x : x - 10.0 * markOffset;
  // Checked before the conversion, which has no result outside the range.
  if (!(value > -2147483649.0 && value < 2147483648.0)) return false;
  int32_t t = static_cast<int32_t>(value);
  if (!stroboscope && t > 2700) t -= 3600;
  *tenths = t;
  return true;
}

MeasuredValue TemperatureReading(uint16_t millivolts) {
  MeasuredValue temperature{};
  temperature.value = ScaledValue{millivolts, -3, {}};
  temperature.valid = 1;
  TemperatureFromVoltage(&temperature);
  temperature.probe = DescriptorOfKind(8);
  return temperature;
}

}  // namespace kv310
