#include "ImplementationMTHiVoltage_14.h"

#include "../Calibration.h"
#include "../ComPort.h"
#include "../CommandSet.h"
#include "../EngineMeters.h"
#include "../Library.h"
#include "../LinkRequest.h"
#include "../ProbeTable.h"
#include "../ScaledArithmetic.h"
#include "../EngineTesterState.h"

#include <platform/byteorder.h>
#include <platform/sync.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace kv310 {

namespace {

constexpr int kBoardMode = 12;
constexpr int kConfigurationReplyCapacity = 30;
constexpr int kSetupReplyCapacity = 20;
constexpr int kHeaderLength = 12;  // the 0x11 reply header with the 4-byte speed count
constexpr int kAcquisitionExtraMs = 1300;
constexpr int kVariantConfiguration = 27;  // reference probe variant 112
constexpr int32_t kVariantReferenceCode = 112;
constexpr float kThresholdVolts = 3000.0f;
constexpr uint8_t kFrameOnePair = 9;
constexpr uint8_t kFramePerCylinder = 12;
constexpr uint8_t kSensitivityCode = 0x12;  // trigger sensitivity 1 x 10^-1

// Per mode: configuration record, acquisition mode byte, sample-rate index with its digit and
// decade, trigger position, and the frame type the board sends back.
struct ModeRow {
  int32_t configuration;
  uint8_t acquisitionMode;
  uint16_t rateIndex;
  uint8_t rateDigit, rateDecade;
  int32_t triggerPosition;
  uint8_t frameType;
};
constexpr ModeRow kModes[3] = {
    {24, 7, 14, 1, 6, 350, kFramePerCylinder},
    {25, 8, 15, 2, 6, 400, kFrameOnePair},
    {26, 9, 14, 1, 6, 350, kFramePerCylinder},
};

// The scale of the high-voltage probe by the reference probe the board last reported; 0 when no
// reference probe was seen since load.
int32_t ProbeFactor() {
  switch (ReferenceProbeCode()) {
    case kReferenceProbeNone: return 0;
    case 110: return 5340;
    case 111: return 5000;
    case 112: return 4750;
    default: return 5000;
  }
}


}  // namespace

ImplementationMTHiVoltage_14::ImplementationMTHiVoltage_14() {
  m_probe = DescriptorOfKind(0);
  m_speed.probe = DescriptorOfKind(11);
}

int ImplementationMTHiVoltage_14::ReadProbe(ProbeDescriptor* probe) {
  if (!probe) return kBadArgument;
  m_dirty = kMeterProbesChanged;
  const uint8_t input = m_inputs[0];
  return QueryProbes(&input, 1, probe);
}

int ImplementationMTHiVoltage_14::GetMode(int32_t* mode) {
  if (!mode) return kBadArgument;
  *mode = m_mode;
  return kOk;
}

int ImplementationMTHiVoltage_14::SetMode(int32_t mode) {
  const int32_t coilType = EngineParams().sparkCoilType;
  if (mode < 0 || mode > 2) return kBadArgument;
  // Single-probe mode needs a coil per cylinder; the double-spark mode a wasted-spark coil.
  if (mode == 1 && coilType == 1) return kBadArgument;
  if (mode == 2 && coilType != 1) return kBadArgument;
  m_mode = mode;
  m_configurationId = kModes[mode].configuration;
  m_dirty = kMeterProbesChanged;
  return kOk;
}

int ImplementationMTHiVoltage_14::Rearm() {
  m_restart = 1;
  return kOk;
}

int ImplementationMTHiVoltage_14::TogglePolarity() {
  if (m_mode != 2) return kNotAllowed;
  m_dirty = kMeterProbesChanged;
  m_polaritySwap ^= 1;
  return kOk;
}

int ImplementationMTHiVoltage_14::Configure() {
  int code;
  if (!CheckLinkReady(&code)) return code;
  ParamsChangeTaken paramsChange;  // set again unless the board takes this configuration
  bool otherInstrument = false;
  if ((code = SelectMeterInputs(kBoardMode, m_dirty, m_inputs, m_inputCount, &otherInstrument)) != kOk) return code;

  const EngineParameterBlock p = EngineParams();
  const int32_t coilType = p.sparkCoilType;
  const int32_t hiVoltageProbe = p.sparkHiVoltageTypeProbe;
  uint8_t z = 0;
  if ((code = GetCylinderCount(&z)) != kOk) return code;
  const uint8_t selected = m_selectedCylinder;
  const uint8_t cylinderByte = selected != 0 ? selected : 1;

  uint8_t configuration[kConfigurationLength];
  if (ReferenceProbeCode() == kVariantReferenceCode && (m_mode == 0 || m_mode == 2)) {
    // The variant reference probe works only with a wasted-spark coil on four cylinders.
    if (coilType != 1 || hiVoltageProbe != 0 || z != 4) return kProbeVariantRefused;
    m_configurationId = kVariantConfiguration;
    std::memcpy(configuration, GetConfigurationRecord(m_configurationId).bytes, sizeof configuration);
    if (m_mode == 2) configuration[1] = 18;
    configuration[8] = z;
    configuration[9] = PolarityByte(p, m_mode == 0 ? selected : 1);
    configuration[10] = cylinderByte;
  } else {
    m_configurationId = kModes[m_mode].configuration;
    std::memcpy(configuration, GetConfigurationRecord(m_configurationId).bytes, sizeof configuration);
    if (m_mode != 2 && coilType == 1) configuration[1] = 15;
    if (m_mode == 0) configuration[5] = static_cast<uint8_t>(configuration[5] + 0x80);
    if ((code = DegreesPerMark(p, &configuration[7])) != kOk) return code;
    if (m_mode == 0) configuration[8] = z;
    configuration[9] = (m_mode == 0 && hiVoltageProbe == 1) ? 0x55 : PolarityByte(p, m_mode == 0 ? selected : 1);
    if (m_mode == 2 && m_polaritySwap) configuration[9] = configuration[9] == 0 ? 0x55 : 0x00;
    configuration[10] = cylinderByte;
  }
  code = SendMeterConfiguration(configuration, m_dirty, otherInstrument, m_inputs, m_inputCount,
                                kConfigurationReplyCapacity, &m_configurationChanged);
  if (code != kOk) return code;
  if ((code = SendSetup(z, p)) != kOk) return code;
  SetBoardMode(kBoardMode);
  m_dirty = 0;
  paramsChange.Accept();
  m_spacing.Mark();
  return kOk;
}

// The board oscilloscope's set-up command filled for the high-voltage probe on channel A.
int ImplementationMTHiVoltage_14::SendSetup(int cylinders, const EngineParameterBlock& p) {
  const int32_t factor = ProbeFactor();
  if (factor == 0) return kBadArgument;
  if (p.engineType != 0 && p.engineType != 1) return kBadEngineType;
  const ModeRow& row = kModes[m_mode];
  m_sampleRateIndex = row.rateIndex;
  m_triggerPosition = row.triggerPosition;

  // A trigger level of 3000 V in the codes of range 6 with the probe's scale.
  const float fullScale = ScaledValueToFloat(GetRangeScale(m_rangeIndex));
  const float threshold = 128.0f * kThresholdVolts / (fullScale * static_cast<float>(factor)) + 128.0f;
  const uint8_t thresholdCode = static_cast<uint8_t>(std::clamp(static_cast<int>(threshold), 0, 255));
  const uint8_t rangeCode = static_cast<uint8_t>(GetRangeCode(m_rangeIndex));

  uint8_t setup[18] = {kCmdOscConfiguration,
                       row.acquisitionMode,
                       3,
                       rangeCode,
                       3,
                       rangeCode,
                       row.rateDigit,
                       row.rateDecade,
                       static_cast<uint8_t>(m_triggerChannel * 4 + 1),
                       static_cast<uint8_t>(m_triggerChannel == 0 ? thresholdCode : 0x80),
                       static_cast<uint8_t>(m_triggerChannel == 1 ? thresholdCode : 0x80),
                       static_cast<uint8_t>(m_triggerPosition >> 8),
                       static_cast<uint8_t>(m_triggerPosition & 0xFF),
                       1,
                       kSensitivityCode,
                       row.frameType,
                       p.sparkStroke,
                       0};
  int size = 18;
  if (m_mode == 0) {
    setup[17] = m_selectedCylinder != 0 ? 1 : static_cast<uint8_t>(cylinders);
  } else if (m_mode == 2) {
    setup[17] = 2;
  } else {
    size = 17;
  }
  uint8_t reply[kSetupReplyCapacity];
  int received = 0;
  const int code = ExchangeWithBoard(setup, size, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received < 4 || reply[0] != kCmdOscConfiguration || reply[1] != 0) return kBadReply;
  if (!IsEngineTesterModule(reply[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  return kOk;
}

int ImplementationMTHiVoltage_14::Arm() {
  const auto prepare = [this] {
    int code;
    if (!CheckLinkReady(&code)) return code;
    return MeterNeedsConfiguration(kBoardMode, m_dirty) ? Configure() : kOk;
  };
  // Another instrument may have taken the board while this call waited for its spacing.
  const auto configured = [this] { return !MeterNeedsConfiguration(kBoardMode, m_dirty); };
  const auto send = [this] {
    m_frameType = kNoFrame;
    const uint8_t request[8] = {kCmdAcquisition, m_restart, 0, 0, 0, 0, 0x03, 0xE8};
    m_restart = 0;
    CComPort* link = Link();
    if (!link) return static_cast<int>(kNoLink);
    // The reply is read by ReadFrame once the caller has seen the link idle again. A link that
    // failed while this call waited for its spacing takes nothing: say so instead of success.
    if (link->Send(request, sizeof request, kAcquisitionExtraMs) == 0) {
      int code;
      return CheckLinkReady(&code) ? static_cast<int>(kBadReply) : code;
    }
    return static_cast<int>(kOk);
  };
  return SendSpacedStart(m_spacing, prepare, configured, send);
}

int ImplementationMTHiVoltage_14::ReadFrame() {
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;
  CComPort* link = Link();
  uint8_t header[kHeaderLength];
  if (link->Receive(header, kHeaderLength, 0) != kHeaderLength || header[0] != kCmdAcquisition) return kNoData;
  if (!IsEngineTesterModule(header[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  const uint8_t status = header[1];
  if (status != 0 && status != 2) return (status & 0x80) ? kBoardErrorStatus : kBadReply;
  m_frameType = header[8];

  uint8_t z = 0;
  GetCylinderCount(&z);
  int expected = 0;
  if (m_frameType == kFrameOnePair) {
    expected = 2;
  } else if (m_frameType == kFramePerCylinder) {
    if (status == 2) {
      expected = m_mode == 2 ? 4 : 8;
    } else if (m_mode == 2) {
      expected = 4;
    } else {
      expected = m_selectedCylinder != 0 ? 2 : 2 * z;
    }
  }
  expected = std::min(expected, kMaxSampleBytes);
  if (status == 2) {
    // No new engine data: neutral samples of the frame's size.
    std::memset(m_samples, 0x80, static_cast<size_t>(expected));
    m_sampleCount = expected;
  } else {
    m_sampleCount = expected > 0 ? link->Receive(m_samples, expected, kHeaderLength) : 0;
  }

  m_probe = EngineState().InputDescriptor(m_inputs[0]);

  uint8_t w = 0;
  GetRevolutionsPerCycle(&w);
  const uint64_t count = kvp::ReadBe32(header + 4);
  uint64_t numerator = count * 60;
  uint64_t denominator = 100;
  if (m_mode == 0) {
    numerator *= w;
    denominator *= (z != 0 ? z : 1);
  } else if (m_mode == 1) {
    numerator *= w;
  }
  m_speed.value = RoundSpeed(SpeedTenths(numerator, denominator));
  m_speed.valid = 1;
  const int speedInput = ReferenceProbeCode() == kVariantReferenceCode ? 8 : 9;
  m_speed.probe = EngineState().InputDescriptor(speedInput);
  return (header[9] & 0xF0) != 0 ? kBoardErrorFlag : kOk;
}

int ImplementationMTHiVoltage_14::GetCylinderRecordCount(uint16_t* count) {
  if (!count) return kBadArgument;
  if (m_mode != 0) {
    *count = 1;
    return kOk;
  }
  const EngineParameterBlock p = EngineParams();
  if (p.engineType != 0) return kBadEngineType;
  *count = std::min<uint16_t>(p.sparkNumberCylinders, 4);
  return kOk;
}

int ImplementationMTHiVoltage_14::GetCylinderValues(uint16_t cylinder, CylinderValue* values) {
  if (cylinder > 4 || !values) return kBadArgument;
  const int32_t factor = ProbeFactor();
  if (factor == 0) return kBadArgument;
  const float* gains = CalibrationPair(0, m_rangeIndex, 0);

  int records = 1;
  if (m_frameType == kFrameOnePair) {
    if (m_sampleCount != 2) return kNoData;
  } else if (m_frameType == kFramePerCylinder) {
    uint16_t n = 2;
    if (m_mode != 2) {
      if (m_selectedCylinder == 0) {
        const int code = GetCylinderRecordCount(&n);
        if (code != kOk) return code;
      } else {
        n = 1;
      }
    }
    if (n == 0 || m_sampleCount != 2 * n) return kNoData;
    if (cylinder != m_selectedCylinder && m_mode != 2) {
      m_selectedCylinder = static_cast<uint8_t>(cylinder);
      m_dirty = kMeterProbesChanged;  // the next Arm asks the board for the new selection
    }
    if (cylinder == 0) {
      records = n;
    } else if (m_mode == 2) {
      return kBadArgument;
    }
  } else {
    return kNoData;
  }

  const float fullScale = ScaledValueToFloat(GetRangeScale2(m_rangeIndex));
  const int32_t maximum = m_probe.codeA;
  int32_t maximumValue = maximum;
  for (int e = 0; e < m_probe.codeB; ++e) maximumValue *= 10;
  for (int i = 0; i < records; ++i) {
    const uint8_t* pair = m_samples + 2 * i;
    int16_t samples[2];
    for (int k = 0; k < 2; ++k) {
      samples[k] = static_cast<int16_t>((pair[k] - 0x80) * 256);
      ScaleSample(&samples[k], gains[0], gains[1]);
    }
    int32_t peak = 0;
    FindPeak(samples, 2, &peak, nullptr, nullptr);
    const int32_t volts = static_cast<int32_t>(static_cast<float>(factor) * fullScale / 32767.0f * peak);
    CylinderValue& record = values[i];
    record = CylinderValue{};
    if (volts > maximumValue) {
      record.value = ScaledValue{maximum, static_cast<int8_t>(m_probe.codeB), {}};
    } else {
      record.value = ScaledValue{std::max(volts, 0), 0, {}};
    }
    record.cylinder = static_cast<uint16_t>(cylinder == 0 ? i : cylinder);
    record.valid = 1;
    record.probe = m_probe;
  }
  return kOk;
}

int ImplementationMTHiVoltage_14::GetEngineSpeed(MeasuredValue* speed) {
  if (!speed) return kBadArgument;
  if (!SpeedInWindow(m_speed.value)) {
    m_speed.value = ScaledValue{0, 0, {}};
    m_speed.valid = 0;
  }
  *speed = m_speed;
  return kOk;
}

}  // namespace kv310
