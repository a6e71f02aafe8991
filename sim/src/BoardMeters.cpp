// The board's voltmeter (20 set-up, 21 reading) and ohmmeter / diode test (30 set-up, 31
// reading), answering from the scenario's channel signals, resistance and diode voltage.
#include "CommandTable.h"
#include "ReplyBytes.h"
#include "WaveformGenerator.h"

#include <platform/clock.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim {

namespace {

// ---- voltmeter ----

constexpr size_t kVoltSetupLength = 10;
constexpr int kVoltPoints = 200;  // points of one signal period the reading averages

struct VoltFields {
  uint8_t coupling = 0;
  uint8_t rangeCode = 0;
  uint16_t values[3] = {};  // mean, largest, smallest of the 12-bit readings
  uint32_t squareSum = 0;   // mean of the squared 12-bit readings
};

double PeakOf(const SignalSource& s) {
  return std::fabs(s.offset) + (s.shape == Waveform::Dc ? 0.0 : std::fabs(s.amplitude));
}

// The 12-bit reading of a value: 2048 + 2048 x value / scale, rounded and held within 0..4095.
int MeterCode(double value, const ChannelInput& input) {
  const double code = input.scale > 0 ? std::round(2048.0 + 2048.0 * value / input.scale) : 2048.0;
  return static_cast<int>(std::clamp(code, 0.0, 4095.0));
}

VoltFields ReadChannel(const BoardContext& board, int channel) {
  const SignalSource& signal = board.scenario.channelSignals[channel];
  const MeterState& m = board.state.meters;
  VoltFields f;
  if (m.voltFixed[channel]) {
    f.coupling = m.voltCoupling[channel];
    f.rangeCode = m.voltRangeCode[channel];
  } else {
    const double probeScale = ProbeScaleOfCode(board.scenario.channelProbeCodes[channel]);
    const RangeSetting r = RangeSettingOf(AutoRangeIndex(PeakOf(signal), probeScale, 1.0));
    f.coupling = r.coupling;
    f.rangeCode = r.code;
  }
  // The host raises the mean (and the square sum it takes with it) behind a clamp by more than
  // the largest and smallest values: the board's fields carry the matching gains.
  const uint8_t probeCode = board.scenario.channelProbeCodes[channel];
  const ChannelInput mean = ChannelInputOf(kVoltmeterMean, f.coupling, f.rangeCode, probeCode);
  const ChannelInput extreme = ChannelInputOf(kMeterFields, f.coupling, f.rangeCode, probeCode);
  const double now = static_cast<double>(kvp::ClockNowMs()) / 1000.0;
  const double span = signal.frequencyHz > 0 ? 1.0 / signal.frequencyHz : 0.02;
  double sum = 0, squares = 0;
  int largest = 0, smallest = 4095;
  for (int k = 0; k < kVoltPoints; ++k) {
    const double v = SignalValue(signal, now + span * k / kVoltPoints);
    const int r = MeterCode(v, mean);
    sum += r;
    squares += static_cast<double>(r) * r;
    largest = std::max(largest, MeterCode(v, extreme));
    smallest = std::min(smallest, MeterCode(v, extreme));
  }
  f.values[0] = static_cast<uint16_t>(std::lround(sum / kVoltPoints));
  f.values[1] = static_cast<uint16_t>(largest);
  f.values[2] = static_cast<uint16_t>(smallest);
  f.squareSum = static_cast<uint32_t>(std::min(std::llround(squares / kVoltPoints), 0xFFFFFFll));
  return f;
}


// ---- ohmmeter ----

constexpr int kOhmRanges = 5;
constexpr int kSubRanges = 4;
constexpr double kOhmFullScale[kOhmRanges] = {3.3e6, 1.1e5, 1.1e4, 1.1e3, 1.1e2};
// The converter curve of each range and sub-range: u = (R + k3) k2 / (1 - (R + k3) k1), which
// the host inverts as R = u / (u k1 + k2) - k3.
constexpr double kOhmK1[kOhmRanges] = {-9.9933402e-07, -2.77869003e-06, -2.06072e-05, -0.000197077999, -0.00196178001};
constexpr double kOhmK2[kOhmRanges][kSubRanges] = {
    {8.32778085e-07, 4.76349078e-06, 1.33244503e-05, 2.41505695e-05},
    {5.28117698e-06, 3.02083299e-05, 8.44988317e-05, 0.000153154106},
    {4.98523914e-05, 0.000285155606, 0.000797638204, 0.00144571904},
    {0.000491029001, 0.00280868495, 0.00785646215, 0.0142398402},
    {0.00490279403, 0.0280439202, 0.078444697, 0.142180994},
};
constexpr double kOhmK3 = 2.7;
constexpr double kVoltsPerCount = 2.5 / 1024.0;
constexpr double kBestSubRangeVolts = 2.0;  // the board picks the most sensitive sub-range below this
constexpr double kDiodeOpenVolts = 2.5;

double CurveVolts(double ohms, int range, int sub) {
  if (std::isinf(ohms)) return kOhmK2[range][sub] / -kOhmK1[range];  // the open-circuit asymptote
  const double r = std::max(ohms, 0.0) + kOhmK3;
  return r * kOhmK2[range][sub] / (1.0 - r * kOhmK1[range]);
}

uint16_t Counts(double volts) {
  return static_cast<uint16_t>(std::clamp(std::round(volts / kVoltsPerCount), 0.0, 1023.0));
}

struct OhmFields {
  uint8_t subRange = 0;
  uint8_t range = 0;
  uint16_t counts = 0;
};

OhmFields ReadOhms(const BoardContext& board) {
  const MeterState& m = board.state.meters;
  const double ohms = board.scenario.resistanceOhms;
  OhmFields f;
  if (m.ohmMode == MeterState::OhmMode::Diode) {
    f.range = 4;
    const double volts = std::clamp(board.scenario.diodeForwardVolts, 0.0, kDiodeOpenVolts);
    f.counts = static_cast<uint16_t>(std::round(volts / kVoltsPerCount));
    return f;
  }
  if (m.ohmMode == MeterState::OhmMode::Fixed) {
    f.range = std::min<uint8_t>(m.ohmRange, kOhmRanges - 1);
  } else {
    // Automatic: the smallest range that holds the resistance, else the largest.
    f.range = 0;
    for (int r = kOhmRanges - 1; r >= 0; --r) {
      if (ohms < 0.9 * kOhmFullScale[r]) {
        f.range = static_cast<uint8_t>(r);
        break;
      }
    }
  }
  f.subRange = 0;
  for (int s = kSubRanges - 1; s >= 0; --s) {
    if (CurveVolts(ohms, f.range, s) <= kBestSubRangeVolts) {
      f.subRange = static_cast<uint8_t>(s);
      break;
    }
  }
  f.counts = Counts(CurveVolts(ohms, f.range, f.subRange));
  return f;
}

}  // namespace

CommandReply HandleVoltmeterSetup(BoardContext& board, std::span<const uint8_t> request) {
  if (request.size() >= kVoltSetupLength) {
    MeterState& m = board.state.meters;
    const uint8_t flags = request[9];
    m.voltCoupling = {request[2], request[4]};
    m.voltRangeCode = {request[3], request[5]};
    m.voltFixed = {(flags & 2) != 0, (flags & 32) != 0};
  }
  return {{0x20, 0x00, board.Identity(), 0x00}, {}};
}

CommandReply HandleVoltmeterReading(BoardContext& board, std::span<const uint8_t> request) {
  const VoltFields a = ReadChannel(board, 0);
  const VoltFields b = ReadChannel(board, 1);
  Bytes reply{0x21, 0x00, board.Identity(), board.scenario.channelProbeCodes[1], a.coupling, a.rangeCode, b.coupling,
              b.rangeCode};
  for (uint16_t v : a.values) Put16(reply, v);
  Put24(reply, a.squareSum);
  for (uint16_t v : b.values) Put16(reply, v);
  Put24(reply, b.squareSum);
  return {std::move(reply), {}};
}

CommandReply HandleOhmmeterSetup(BoardContext& board, std::span<const uint8_t> request) {
  MeterState& m = board.state.meters;
  if (request.size() >= 5 && request[2] == 0x00 && request[4] == 0x04) {
    m.ohmMode = MeterState::OhmMode::Diode;
  } else if (request.size() >= 5 && request[2] == 0x01) {
    m.ohmMode = MeterState::OhmMode::Fixed;
    m.ohmRange = request[4];
  } else if (request.size() >= 3 && request[2] == 0x02) {
    m.ohmMode = MeterState::OhmMode::Automatic;
  }
  return {{0x30, board.scenario.ohmmeterStatus, board.Identity(), 0x00}, {}};
}

Bytes OhmmeterReadingFields(const BoardContext& board) {
  const OhmFields f = ReadOhms(board);
  return {f.subRange, f.range, static_cast<uint8_t>(f.counts >> 8), static_cast<uint8_t>(f.counts)};
}

CommandReply HandleOhmmeterReading(BoardContext& board, std::span<const uint8_t> request) {
  Bytes reply{0x31, board.scenario.ohmmeterStatus, board.Identity(), 0x00};
  const Bytes fields = OhmmeterReadingFields(board);
  reply.insert(reply.end(), fields.begin(), fields.end());
  return {std::move(reply), {}};
}

}  // namespace sim
