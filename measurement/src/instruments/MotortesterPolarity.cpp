// The automatic polarity detection of the four high-voltage probes on the ignition leads: the
// board is armed to send engine frames with one spark sample triple per probe; a probe whose
// spark shows below the threshold is read with the wrong polarity and gets the other one, until
// the polarities no longer change.
#include "ImplementationMotortester_6.h"

#include "../Calibration.h"
#include "../CommandSet.h"
#include "../Library.h"
#include "../LinkRequest.h"
#include "../ProbeTable.h"
#include "../ScaledArithmetic.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kv310 {

namespace {

constexpr int kProbes = 4;
constexpr int kFrameBytes = 3 * kProbes;  // three samples per probe, probe 1 first
constexpr int kFrameHeader = 12;
constexpr uint8_t kEngineFrameType = 10;
constexpr int kFramesPerLook = 5;
constexpr int kFirstFrameTries = 5;
constexpr int kMinPasses = 2;
constexpr int kMaxPasses = 5;
constexpr int kThreshold = 1000;
constexpr int kReferenceKind = 11;

// The configuration record of the polarity measurement and its selectors.
constexpr int kArmingRecord = 28;
constexpr uint8_t kSelector = 0x0F;
constexpr uint8_t kVariantSelector = 0x11;  // reference probe variant 112
constexpr int32_t kVariantReference = 112;
constexpr int kVariantCylinders = 4;
// Probes that never showed a spark are resolved only on a four-cylinder engine.
constexpr int kResolvableCylinders = 4;

// Inputs of the arming: reference probe, and the inputs 9 and 8 of the ignition's trigger.
constexpr uint8_t kArmingInputs[3] = {4, 9, 8};

// The channel and range the frame samples are calibrated with (2 V, ordinary probe).
constexpr int kSampleChannel = 0;
constexpr int kSampleRange = 7;

// The probe factor of the reference probe variant; 0 when no reference probe was seen.
int ReferenceScale() {
  switch (ReferenceProbeCode()) {
    case 110: return 5340;
    case 111: return 5000;
    case 112: return 4750;
    case kReferenceProbeNone: return 0;
    default: return 5000;
  }
}

using Frame = std::array<uint8_t, kFrameBytes>;
using Polarities = std::array<uint8_t, kProbes>;

uint32_t Pack(const Polarities& p) {
  uint32_t packed = 0;
  for (int i = 0; i < kProbes; ++i) packed |= static_cast<uint32_t>(p[i]) << (8 * i);
  return packed;
}

// The spark value of one raw sample: calibrated, scaled by the probe factor and brought to the
// threshold's scale. A negative spark is always below the threshold (-1).
int SparkValue(uint8_t raw, int scale) {
  int16_t sample = static_cast<int16_t>((raw - 128) * 256);
  const float* factors = CalibrationPair(kSampleChannel, kSampleRange, 0);
  ScaleSample(&sample, factors[0], factors[1]);
  const int16_t v = static_cast<int16_t>(static_cast<int32_t>(sample * (static_cast<float>(scale) / 10000.0f)));
  if (v < 0) return -1;
  return 2 * 10000 * v / 32767;
}

}  // namespace

int ImplementationMotortester_6::ReadEngineFrame(uint8_t* destination, int length, bool arm) {
  if (!destination || length < 0) return kBadArgument;
  const uint8_t request[8] = {kCmdAcquisition, static_cast<uint8_t>(arm ? 1 : 0), 0, 0, 0, 0x00, 0x03, 0xE8};
  uint8_t reply[kFrameHeader + kFrameBytes];
  const int capacity = std::min<int>(sizeof reply, kFrameHeader + length);
  int received = 0;
  // The caller has checked the link: a link that fails meanwhile simply leaves no reply.
  if (ExchangeWithBoard(request, sizeof request, 1300, reply, capacity, &received) != kOk) return kBadReply;
  if (received < kFrameHeader || reply[0] != kCmdAcquisition) return kBadReply;
  if (!IsEngineTesterModule(reply[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  if (reply[1] == 2) return kNoData;  // no new engine data
  if (reply[1] != 0) return (reply[1] & 0x80) ? kBoardErrorStatus : kBadReply;
  if (reply[8] != kEngineFrameType) return kNoData;
  if (received < kFrameHeader + length) return kBadReply;
  std::memcpy(destination, reply + kFrameHeader, static_cast<size_t>(length));
  return kOk;
}

int ImplementationMotortester_6::ArmEngineMeasurement() {
  std::lock_guard<std::recursive_mutex> operation(OperationLock());
  int code;
  if (!CheckLinkReady(&code)) return code;

  code = SelectProbes(kArmingInputs, 3);
  if (code != kOk) return code;
  ProbeDescriptor probes[3];
  code = QueryProbes(kArmingInputs, 3, probes);
  if (code != kOk) return code;
  if (probes[0].kind != kReferenceKind) return kWrongProbe;

  const bool variant = ReferenceProbeCode() == kVariantReference;
  code = EnsureFirmwareChecked();
  if (code != kOk) return code;

  const EngineParameterBlock params = EngineState().CurrentParams();
  uint8_t configuration[kConfigurationLength];
  std::memcpy(configuration, GetConfigurationRecord(kArmingRecord).bytes, sizeof configuration);
  configuration[1] = variant ? kVariantSelector : kSelector;
  if (!variant) configuration[5] = static_cast<uint8_t>(configuration[5] + 0x80);
  if (variant) {
    configuration[7] = 0;
  } else {
    code = GetDegreesPerMark(&configuration[7]);
    if (code != kOk) return code;
  }
  if (variant && params.sparkNumberCylinders != kVariantCylinders) return kProbeVariantRefused;
  configuration[8] = params.sparkNumberCylinders;
  code = GetPolarityByte(&configuration[9], 0);
  if (code != kOk) return code;
  SetLastConfiguration(configuration);
  // The board now holds no instrument's configuration.
  SetBoardMode(0);
  code = SendConfiguration(configuration, true, kArmingInputs, 3, 20);
  if (code != kOk) return code;
  const int ignitionKind = EngineState().InputDescriptor(variant ? 8 : 9).kind;
  if (EngineState().InputDescriptor(4).kind != kReferenceKind || ignitionKind != (variant ? 12 : 13)) return kWrongProbe;

  const int scale = ReferenceScale();
  if (scale == 0) return kBadArgument;
  if (params.engineType != 0) return kBadEngineType;

  // The oscilloscope set-up that makes the board send engine frames (type 10): 2 V range on both
  // channels, the trigger level of 3000 V through the reference probe, stroke and cylinders.
  const int level = std::clamp(static_cast<int>(3000.0f / static_cast<float>(scale) * 128.0f / 2.0f + 128.0f), 0, 255);
  const uint8_t setup[18] = {kCmdOscConfiguration, 0x07, 0x03, 0x14, 0x03, 0x14, 0x01, 0x06, 0x01,
                             static_cast<uint8_t>(level), 0x80, 0x01, 0xFF, 0x01, 0x12, 0x0A,
                             params.sparkStroke, params.sparkNumberCylinders};
  uint8_t reply[20];
  int received = 0;
  code = ExchangeWithBoard(setup, sizeof setup, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  if (received < 4 || reply[0] != kCmdOscConfiguration || reply[1] != 0) return kBadReply;
  if (!IsEngineTesterModule(reply[2])) {
    EngineState().ClearEngineTesterFlags();
    return kNoEngineTester;
  }
  return kOk;
}

int ImplementationMotortester_6::Measure() {
  const EngineParameterBlock start = EngineState().CurrentParams();
  if (start.sparkCoilType != 1) return kOk;
  if (start.sparkHiVoltageTypeProbe != 0) return kPolarityRefused;

  // One caller at a time owns the board for the whole detection.
  std::lock_guard<std::recursive_mutex> operation(OperationLock());
  const int cylinders = start.sparkNumberCylinders;
  Polarities current;
  std::copy(std::begin(start.sparkPolarityHVProbes), std::end(start.sparkPolarityHVProbes), current.begin());
  SetSparkPolarityHVProbes(Pack(current));
  int code = ArmEngineMeasurement();
  if (code != kOk) return code;
  const int scale = ReferenceScale();
  if (scale == 0) return kBadArgument;

  Frame frame;
  // Reads `count` frames; a failure other than "no data yet" ends the detection, and so does
  // "no data yet" unless `waitForData`. `peak` (optional) takes the largest spark byte.
  auto readFrames = [&](int count, bool waitForData, uint8_t* peak) {
    for (int i = 0; i < count; ++i) {
      const int result = ReadEngineFrame(frame.data(), kFrameBytes, false);
      if (result == kNoData && waitForData) continue;
      if (result != kOk) return result;
      if (peak)
        for (int p = 0; p < kProbes; ++p) *peak = std::max(*peak, frame[3 * p]);
    }
    return static_cast<int>(kOk);
  };

  // The engine must deliver frames before anything is judged: a few tries for the first one.
  for (int i = 0; i < kFirstFrameTries; ++i) {
    const int result = ReadEngineFrame(frame.data(), kFrameBytes, false);
    if (result == kOk) break;
    if (i == kFirstFrameTries - 1 && result != kNoData) return result;
  }
  if ((code = readFrames(kFramesPerLook, true, nullptr)) != kOk) return code;

  std::array<bool, kProbes> seen{};
  Polarities previous = current;
  bool changed = true;
  int passes = 0;
  while (passes < kMaxPasses && (passes < kMinPasses || changed)) {
    uint8_t before = 0;
    if ((code = readFrames(kFramesPerLook, false, &before)) != kOk) return code;
    ReadEngineFrame(frame.data(), kFrameBytes, true);  // restart the acquisition; its frame is not used
    if ((code = readFrames(kFramesPerLook, true, nullptr)) != kOk) return code;
    uint8_t after = 0;
    if ((code = readFrames(kFramesPerLook, false, &after)) != kOk) return code;
    if (after < before) {
      ReadEngineFrame(frame.data(), kFrameBytes, true);
      if ((code = readFrames(kFramesPerLook, true, nullptr)) != kOk) return code;
    }

    // Each probe's spark in the last five frames: a spark above the threshold confirms the
    // probe's polarity, anything below asks for the other one. The last frame decides.
    Polarities proposal = current;
    for (int f = 0; f < kFramesPerLook; ++f) {
      if ((code = readFrames(1, false, nullptr)) != kOk) return code;
      for (int p = 0; p < kProbes; ++p) {
        if (SparkValue(frame[3 * p], scale) >= kThreshold) {
          proposal[p] = current[p];
          seen[p] = true;
        } else {
          proposal[p] = current[p] != 0 ? 0 : 1;
        }
      }
    }

    current = proposal;
    SetSparkPolarityHVProbes(Pack(current));
    if ((code = ArmEngineMeasurement()) != kOk) return code;
    ++passes;
    changed = current != previous;
    previous = current;
  }

  if (!changed || cylinders != kResolvableCylinders) return kOk;

  // Still changing after the last pass: probes that never showed a spark get the polarity the
  // seen ones leave them, where that is unambiguous.
  int unseen = 0;
  int normalSeen = 0;
  for (int p = 0; p < kProbes; ++p) {
    if (!seen[p]) ++unseen;
    else if (current[p] != 0) ++normalSeen;
  }
  uint8_t assigned;
  if (unseen == 1 && (normalSeen == 1 || normalSeen == 2)) {
    assigned = normalSeen == 1 ? 1 : 0;
  } else if (unseen == 2 && (normalSeen == 0 || normalSeen == 2)) {
    assigned = normalSeen == 0 ? 1 : 0;
  } else {
    return kPolarityUndecided;
  }
  for (int p = 0; p < kProbes; ++p)
    if (!seen[p]) current[p] = assigned;
  SetSparkPolarityHVProbes(Pack(current));
  return ArmEngineMeasurement();
}

}  // namespace kv310
