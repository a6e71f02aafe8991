#include "MTOscConfiguration.h"

#include "CommandSet.h"
#include "EngineMeters.h"
#include "OscConfiguration.h"
#include "ProbeTable.h"
#include "ScaledArithmetic.h"

#include <kv310/ResultCodes.h>

#include <cstring>
#include <initializer_list>

namespace kv310 {

namespace {

constexpr ScaledValue kAngleRates[kAngleRateCount] = {
    {694, -3, {}}, {833, -3, {}}, {104, -2, {}}, {1388, -3, {}}, {208, -2, {}}, {277, -2, {}},
    {416, -2, {}}, {555, -2, {}}, {833, -2, {}}, {166, -1, {}},  {5, 1, {}},
};
constexpr uint8_t kAngleCodeMantissa[kAngleRateCount] = {144, 12, 96, 72, 48, 36, 24, 18, 12, 6, 2};
constexpr int8_t kAngleCodeExponent[kAngleRateCount] = {-2, -1, -2, -2, -2, -2, -2, -2, -2, -2, -2};

// Trigger position of the engine-synchronous modes by sample-rate index (300 below index 11).
uint32_t EngineTriggerPosition(int rateIndex) {
  static constexpr uint32_t kPositions[7] = {305, 310, 325, 350, 400, 550, 800};
  return (rateIndex >= 11 && rateIndex <= 17) ? kPositions[rateIndex - 11] : 300;
}

// The first rate index at which the board no longer adds the engine-synchronous extension.
constexpr int kFastRateIndex = 15;
constexpr int32_t kReferenceUnknown = 255;
constexpr uint8_t kHighVoltageProbePolarity = 85;

int ActiveStroke(const EngineParameterBlock& p, uint8_t* stroke) {
  if (p.engineType == 0) {
    *stroke = p.sparkStroke;
  } else if (p.engineType == 1) {
    *stroke = p.dieselStroke;
  } else {
    return kBadEngineType;
  }
  return kOk;
}

int ActiveCylinders(const EngineParameterBlock& p, uint8_t* cylinders) {
  if (p.engineType == 0) {
    *cylinders = p.sparkNumberCylinders;
  } else if (p.engineType == 1) {
    *cylinders = p.dieselNumberCylinders;
  } else {
    return kBadEngineType;
  }
  return kOk;
}

// The leak / channel-B input code of byte 2: input 2 -> 3, 3 -> 5, 4 -> 9.
uint8_t ChannelBInputCode(uint8_t input) {
  switch (input) {
    case 2: return 3;
    case 3: return 5;
    case 4: return 9;
    default: return 0;
  }
}

int DegreeValue(int32_t configurationId, const EngineParameterBlock& p, uint8_t* degrees) {
  switch (configurationId) {
    case 3:
    case 6: *degrees = 75; return kOk;
    case 5: *degrees = 50; return kOk;
    case 7: *degrees = 1; return kOk;
    default: break;
  }
  if (p.engineType == 1) {
    *degrees = 60;
    return kOk;
  }
  if (p.engineType != 0) return kBadEngineType;
  return SparkDegreesPerMark(p, degrees);
}

int MarkValue(int32_t configurationId, const EngineParameterBlock& p, uint8_t* marks) {
  if (configurationId == 3 || configurationId == 6) {
    *marks = p.dieselComparativeLevel;
    return kOk;
  }
  uint16_t count = 0;
  const int code = ActiveNumberMarks(p, &count);
  *marks = static_cast<uint8_t>(count);
  return code;
}

float FullScale(int rangeIndex) { return ScaledValueToFloat(GetRangeScale(rangeIndex)); }

// trunc(128 x v / full scale + 128), held within 0..255: the sum is truncated, so a level just
// below zero gives the code below 128 (-1 V on 80 V: 126.4 -> 126). Single precision.
uint8_t LevelCode(float value, float fullScale) {
  const float quotient = 128.0f * value / fullScale;
  if (quotient != quotient) return 128;
  if (!(quotient < 1000.0f)) return 255;
  if (quotient < -1000.0f) return 0;
  const int code = static_cast<int>(quotient + 128.0f);
  return static_cast<uint8_t>(code < 0 ? 0 : code > 255 ? 255 : code);
}


}  // namespace

ScaledValue AngleRateOf(int index) {
  return (index >= 0 && index < kAngleRateCount) ? kAngleRates[index] : ScaledValue{};
}

void AngleRateCode(int index, uint8_t code[2]) {
  if (index < 0 || index >= kAngleRateCount) index = 0;
  code[0] = kAngleCodeMantissa[index];
  code[1] = static_cast<uint8_t>(kAngleCodeExponent[index]);
}

int RangeReference(int32_t referenceProbeCode, int32_t* reference) {
  switch (referenceProbeCode) {
    case kReferenceUnknown: return kBadArgument;
    case 110: *reference = 5340; return kOk;
    case 112: *reference = 4750; return kOk;
    default: *reference = 5000; return kOk;
  }
}

int EngineRangeIndex(int requestedIndex, int32_t reference) {
  const float wanted = FullScale(requestedIndex) * 10000.0f / static_cast<float>(reference);
  int index = requestedIndex;
  while (index > 0 && wanted - FullScale(index) > 0.01f) --index;
  return index;
}

bool UsesEngineRange(const MTOscSetup& s, int channel) {
  if (IsEngineSynchronousMode(s.mode)) return true;
  return s.mode >= 0 && s.mode <= 2 && s.input[channel] == 4;
}

int ModeInputs(const MTOscSetup& s, const EngineParameterBlock& p, MTModeInputs* out) {
  *out = MTModeInputs{};
  const auto set = [out](std::initializer_list<uint8_t> inputs, int32_t id) {
    out->count = 0;
    for (uint8_t input : inputs) out->inputs[out->count++] = input;
    out->configurationId = id;
  };
  switch (s.mode) {
    case 0:
    case 1: set({s.input[0], s.input[1]}, 1); return kOk;
    case 2: {
      uint8_t speedInput = 0;
      int32_t id = 0;
      const int32_t sensor = p.engineType == 0 ? p.sparkSpeedSensorType : p.dieselSpeedSensorType;
      if (p.engineType == 0) {
        if (sensor == 0) { speedInput = 9; id = 4; }
        else if (sensor == 1) { speedInput = 8; id = 5; }
        else if (sensor == 3) { speedInput = 8; id = 7; }
        else return kUnknownSelection;
      } else if (p.engineType == 1) {
        if (sensor == 1) { speedInput = 8; id = 5; }
        else if (sensor == 2) { speedInput = 5; id = 6; }
        else if (sensor == 3) { speedInput = 8; id = 7; }
        else return kUnknownSelection;
      } else {
        return kBadEngineType;
      }
      set({s.input[0], s.input[1], speedInput}, id);
      return kOk;
    }
    case 3:
    case 4: set({0}, 2); return kOk;
    case 5:
    case 6: set({5}, 3); return kOk;
    case 7: set({4, 9, 8}, 8); return kOk;
    case 8:
      if (p.sparkCoilType == 1) return kBadArgument;
      set({4, 9}, 9);
      return kOk;
    case 9:
      if (p.sparkCoilType != 1) return kBadArgument;
      set({4, 9, 8}, 10);
      return kOk;
    default: return kBadArgument;
  }
}

int BuildBoardRecord(MTOscSetup& s, const EngineParameterBlock& p, int32_t referenceProbeCode, uint8_t record[11]) {
  uint8_t cylinders = 0;
  int code = ActiveCylinders(p, &cylinders);
  if (code != kOk) return code;
  const bool pressureSwitched = p.dieselPressureSensorType == 0;
  const bool sync = IsEngineSynchronousMode(s.mode);
  const bool variant112 = referenceProbeCode == 112 && (s.mode == 7 || s.mode == 9);
  if (variant112) {
    if (p.sparkCoilType != 1 || p.sparkHiVoltageTypeProbe != 0 || cylinders != 4) return kProbeVariantRefused;
    s.configurationId = 27;
  }
  std::memcpy(record, GetConfigurationRecord(s.configurationId).bytes, 11);
  if (s.mode == 3 || s.mode == 4) return kOk;  // the fixed record of the mode

  uint8_t degrees = 0;
  uint8_t marks = 0;
  code = DegreeValue(s.configurationId, p, &degrees);
  if (code != kOk) return code;
  if (!sync) {
    code = MarkValue(s.configurationId, p, &marks);
    if (code != kOk) return code;
  }
  if (s.mode <= 2) {
    record[2] = ChannelBInputCode(s.input[1]);
    if (s.configurationId == 6 && pressureSwitched) record[5] = static_cast<uint8_t>(record[5] + 0x80);
    record[7] = degrees;
    record[8] = marks;
    return kOk;
  }
  if (s.mode == 5 || s.mode == 6) {
    if (s.configurationId == 3 && pressureSwitched) record[5] = static_cast<uint8_t>(record[5] + 0x80);
    record[7] = degrees;
    record[8] = marks;
    return kOk;
  }
  // Modes 7, 8, 9.
  if (p.sparkCoilType == 1 && s.mode != 9) record[1] = 15;
  if (variant112 && s.mode == 9) record[1] = 18;
  if (s.mode == 7) record[5] = static_cast<uint8_t>(record[5] + 0x80);
  record[7] = degrees;
  if (s.mode == 7) {
    record[8] = cylinders;
    uint8_t polarity = kHighVoltageProbePolarity;
    if (p.sparkHiVoltageTypeProbe != 1) {
      polarity = PolarityByte(p, s.selectedCylinder);
    }
    record[9] = polarity;
  } else {
    uint8_t polarity = PolarityByte(p, 1);
    if (s.mode == 9 && s.option) polarity = polarity == 0 ? kHighVoltageProbePolarity : 0;
    record[9] = polarity;
  }
  record[10] = s.selectedCylinder != 0 ? s.selectedCylinder : 1;
  return kOk;
}

int BuildMTSetup(MTOscSetup& s, const EngineParameterBlock& p, int32_t referenceProbeCode,
                 uint8_t setup[kMTSetupMaxLength], int* length) {
  const bool sync = IsEngineSynchronousMode(s.mode);
  int32_t reference = 5000;
  if (sync) {
    const int code = RangeReference(referenceProbeCode, &reference);
    if (code != kOk) return code;
    s.triggerPosition = EngineTriggerPosition(s.sampleRateIndex);
  }
  std::memset(setup, 0, kMTSetupMaxLength);
  setup[0] = kCmdOscConfiguration;
  setup[1] = static_cast<uint8_t>(s.mode);
  for (int c = 0; c < 2; ++c) {
    const int index = UsesEngineRange(s, c) ? s.engineRangeIndex[c] : s.rangeIndex[c];
    setup[2 + 2 * c] = CouplingCode(s.channelMode[c], s.previousMode[c], index);
    setup[3 + 2 * c] = static_cast<uint8_t>(GetRangeCode(index));
  }
  setup[6] = SampleRateDigit(s.sampleRateIndex);
  setup[7] = SampleRateDecade(s.sampleRateIndex);
  setup[8] = TriggerControlCode(s.triggerMode, s.triggerSource, s.triggerSourceChannel, s.triggerFilter, s.triggerEdge);
  setup[9] = setup[10] = 0x80;
  if (s.triggerSource != 2) {
    const int sourceChannel = s.triggerSourceChannel & 1;
    for (int c = 0; c < 2; ++c) {
      if (s.triggerSource == 0 && c != sourceChannel) continue;
      if (sync) {
        setup[9 + c] = LevelCode(3000.0f / static_cast<float>(reference), FullScale(s.engineRangeIndex[0]));
      } else {
        const float value = ScaledValueToFloat(s.triggerLevel) / ProbeFactor(s.channelProbe[sourceChannel]);
        setup[9 + c] = LevelCode(value, FullScale(s.rangeIndex[c]));
      }
    }
    if (sync && setup[9 + sourceChannel] == 255) setup[9 + sourceChannel] = 252;
  }
  setup[11] = static_cast<uint8_t>(s.triggerPosition >> 8);
  setup[12] = static_cast<uint8_t>(s.triggerPosition);
  setup[13] = TriggerModeCode(s.triggerMode);
  setup[14] = SensitivityCode(s.triggerSensitivity);
  const bool slowRate = s.sampleRateIndex < kFastRateIndex;
  if (s.mode == 7 || s.mode == 9) {
    setup[15] = slowRate ? 16 : 15;
  } else if (s.mode == 8) {
    setup[15] = slowRate ? 13 : 8;
  } else {
    setup[15] = AcquisitionTypeOf(s.channelMode[0] != 0, s.channelMode[1] != 0, s.armed, s.triggerMode, s.triggerSource);
  }

  int n = 16;
  const bool angleMode = s.mode == 4 || s.mode == 6;
  if (angleMode || s.mode == 7 || s.mode == 9) {
    uint8_t stroke = 0;
    const int code = ActiveStroke(p, &stroke);
    if (code != kOk) return code;
    setup[n++] = stroke;
  }
  uint8_t cylinders = 0;
  if (angleMode || s.mode == 7) {
    const int code = ActiveCylinders(p, &cylinders);
    if (code != kOk) return code;
  }
  if (angleMode) setup[n++] = cylinders;
  if (s.mode == 7) setup[n++] = s.selectedCylinder != 0 ? 1 : cylinders;
  if (s.mode == 9) setup[n++] = 2;
  if (sync && slowRate) {
    for (uint8_t b : {0x01, 0x07, 0x03, 0x20}) setup[n++] = b;
  }
  if (angleMode) {
    AngleRateCode(s.angleRateIndex, setup + n);
    n += 2;
  }
  *length = n;
  return kOk;
}

void EngineSpeedFactors(int mode, const EngineParameterBlock& p, uint32_t* a, uint32_t* b) {
  uint8_t stroke = 4;
  ActiveStroke(p, &stroke);
  uint8_t cylinders = 0;
  ActiveCylinders(p, &cylinders);
  const uint32_t s = stroke == 2 ? 1 : 2;
  const uint32_t z = cylinders;
  *a = s;
  *b = 1;
  switch (mode) {
    case 2: {
      const int32_t sensor = p.engineType == 1 ? p.dieselSpeedSensorType : p.sparkSpeedSensorType;
      if (sensor == 1 || sensor == 3 || p.sparkCoilType == 1) *a = 1;
      break;
    }
    case 3:
    case 4: *b = p.sparkStroke == 2 ? 1 : z; break;
    case 7: *b = z; break;
    case 9: *a = 1; break;
    default: break;
  }
}

}  // namespace kv310
