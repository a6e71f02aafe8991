// The engine-tester module's oscilloscope: after a set-up of one of its ten acquisition modes (10,
// byte 1 = mode 0..9) an acquisition (11) answers with the module's header (input count and probe
// codes in modes 0 and 1, the engine speed counter in modes 2 to 9) and the engine's signals:
// battery and clamp current on the channel inputs, the ignition primary, the injection pulse, and
// in modes 7 to 9 the secondary voltage of each cylinder's spark, one group per cylinder with the
// peak bytes of its firing line.
#include "../EngineModel.h"
#include "../ReplyBytes.h"
#include "../WaveformGenerator.h"
#include "../AcquisitionTypes.h"
#include "../CommandTable.h"

#include <platform/byteorder.h>
#include <platform/clock.h>

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr size_t kSetupLength = 16;
constexpr int kEngineBlock = 1000;
constexpr int kMaxGroups = 4;
constexpr uint8_t kStatusNoNewData = 0x02;
constexpr double kPi = 3.14159265358979323846;

// Set-up types that other parts of the module own: high-voltage frames (9, 12) and the polarity
// arming (10).
bool IsScopeSetup(std::span<const uint8_t> s) {
  if (s.size() < kSetupLength || s[1] > 9) return false;
  const uint8_t type = s[15];
  return type != 9 && type != 10 && type != 12;
}

bool IsEngineType(uint8_t type) { return type == 8 || type == 13 || type == 15 || type == 16; }

// The speed counter of the mode: the sensor's events per second x 1000.
uint32_t SpeedCounter(const BoardContext& board, int mode) {
  const EngineScenario& engine = board.scenario.engine;
  switch (mode) {
    case 2: {
      // Crank sensors (configurations with selector 2 or 4) and wasted-spark coils fire every turn.
      const uint8_t selector = board.state.lastConfiguration[1] & 0x7F;
      const bool perTurn = selector == 0x02 || selector == 0x04 || engine.wastedSpark;
      return SpeedCount(engine, perTurn ? EngineEvent::Revolution : EngineEvent::Cycle);
    }
    case 3:
    case 4: return SpeedCount(engine, engine.strokes == 2 ? EngineEvent::Revolution : EngineEvent::Spark);
    case 7: return SpeedCount(engine, EngineEvent::Spark);
    case 9: return SpeedCount(engine, EngineEvent::Revolution);
    default: return SpeedCount(engine, EngineEvent::Cycle);
  }
}

// Time since the last event of a kind (seconds), for a moment t of the board clock.
double SinceEvent(const EngineScenario& engine, EngineEvent event, double t) {
  const double rate = EventsPerSecond(engine, event);
  if (!(rate > 0)) return 1e9;
  const double period = 1.0 / rate;
  return t - std::floor(t / period) * period;
}

// Primary coil voltage: charging during the dwell, the inductive spike at the spark, the burn
// plateau, ringing, then the battery.
double PrimaryVolts(const EngineScenario& engine, double t) {
  if (!EngineRunning(engine)) return engine.batteryVolts;
  const double tau = SinceEvent(engine, EngineEvent::Spark, t);
  const double period = 1.0 / EventsPerSecond(engine, EngineEvent::Spark);
  if (tau < 20e-6) return 300.0 * std::exp(-tau / 8e-6) + 40.0;
  if (tau < 1.5e-3) return 40.0;
  if (tau < 3e-3) return engine.batteryVolts + 30.0 * std::exp(-(tau - 1.5e-3) / 3e-4) * std::cos(2 * kPi * tau / 2e-4);
  if (tau > period * (1.0 - engine.dwellPercent / 100.0)) return 1.0;
  return engine.batteryVolts;
}

// Injection line pressure sensor: one pulse per working cycle.
double InjectorVolts(const EngineScenario& engine, double t) {
  if (!EngineRunning(engine)) return 0.0;
  const double tau = SinceEvent(engine, EngineEvent::Cycle, t);
  if (tau >= 1e-3) return 0.0;
  const double s = std::sin(kPi * tau / 1e-3);
  return 2.0 * s * s;
}

// Secondary voltage of one spark, tau seconds after the breakdown: the narrow firing line, the
// spark line while the spark burns, then the coil rings out.
double SecondaryVolts(const EngineScenario& engine, int cylinder, double tau) {
  constexpr double kFiringHalfWidth = 3e-6;
  constexpr double kSparkLineVolts = 1500.0;
  constexpr double kBurnS = 1.5e-3;
  if (!EngineRunning(engine)) return 0.0;
  if (std::fabs(tau) < kFiringHalfWidth) return SparkVolts(engine, cylinder) * (1.0 - std::fabs(tau) / kFiringHalfWidth);
  if (tau < 0) return 0.0;
  if (tau < kBurnS) return kSparkLineVolts;
  return 3000.0 * std::exp(-(tau - kBurnS) / 2e-4) * std::sin(2 * kPi * (tau - kBurnS) / 1e-4);
}

uint8_t EngineRaw(double volts, const ChannelInput& input) {
  return input.scale > 0 ? RawByte(volts, input) : 0x80;
}

// The cylinders of the groups: the selected one (configuration byte 10) or 1, 2, ... ; mode 9's
// second group is the cylinder that shares the double-spark coil.
int GroupCylinder(const BoardContext& board, int mode, int groups, int g) {
  const int cylinders = std::clamp(board.scenario.engine.cylinders, 1, kMaxEngineCylinders);
  const int selected = std::clamp<int>(board.state.lastConfiguration[10], 1, cylinders);
  if (mode == 9) return g == 0 ? selected : (selected - 1 + cylinders / 2) % cylinders + 1;
  if (groups == 1) return mode == 7 ? selected : 1;
  return g + 1;
}

void AppendEngineData(BoardContext& board, Bytes& out, const Bytes& setup, bool noNewData) {
  const int mode = setup[1];
  const uint8_t type = setup[15];
  int groups = 1;
  if (type == 15 || type == 16) {
    if (mode == 9) groups = 2;
    else if (mode == 7 && setup.size() > 17) groups = std::clamp<int>(setup[17], 1, kMaxGroups);
  }
  const bool peaks = type == 13 || type == 16;
  if (noNewData) {
    if (peaks) out.insert(out.end(), static_cast<size_t>(2 * groups), 0x80);
    out.insert(out.end(), kEngineBlock, 0x80);
    return;
  }
  const double rate = SampleRateOf(setup[6], setup[7]);
  // Channel A's engine range behind the reference probe's divider; the host calibrates these
  // samples with the ordinary pair whatever the probe.
  ChannelInput input = ChannelInputOf(kOrdinaryPair, setup[2], setup[3], 0);
  input.scale *= ReferenceDivider(board.scenario);
  const EngineScenario& engine = board.scenario.engine;
  const uint32_t position = kvp::ReadBe16(&setup[11]);
  const int part = kEngineBlock / groups;
  const int trigger = static_cast<int>(position) / groups;
  if (peaks) {
    for (int g = 0; g < groups; ++g) {
      const int cylinder = GroupCylinder(board, mode, groups, g);
      out.push_back(EngineRaw(SparkVolts(engine, cylinder), input));
      out.push_back(EngineRaw(-3000.0, input));
    }
  }
  for (int g = 0; g < groups; ++g) {
    const int cylinder = GroupCylinder(board, mode, groups, g);
    for (int k = 0; k < part; ++k) {
      // The breakdown falls half a sample after the trigger sample: a slow rate misses its peak.
      const double tau = (k - trigger - 0.5) / rate;
      out.push_back(EngineRaw(SecondaryVolts(engine, cylinder, tau), input));
    }
  }
  out.insert(out.end(), static_cast<size_t>(kEngineBlock - part * groups), 0x80);
}

void AppendChannelData(BoardContext& board, Bytes& out, const Bytes& setup, uint32_t count, double start = 0.0) {
  const int mode = setup[1];
  const int channels = ChannelsOf(setup[15]);
  const double rate = SampleRateOf(setup[6], setup[7]);
  const BoardScenario& scenario = board.scenario;
  const std::vector<uint8_t>& selected = board.state.selectedInputs;
  ChannelInput input[2];
  for (int c = 0; c < 2; ++c) {
    const size_t board_input = c < static_cast<int>(selected.size()) ? selected[static_cast<size_t>(c)] : 0;
    input[c] = ChannelInputOf(kScopeSamples, setup[2 + 2 * c], setup[3 + 2 * c], InputCode(scenario, board_input));
  }
  const auto value = [&](int c, double t) {
    if (c == 1) return scenario.engine.clampAmps;
    if (mode == 3 || mode == 4) return PrimaryVolts(scenario.engine, t);
    if (mode == 5 || mode == 6) return InjectorVolts(scenario.engine, t);
    return scenario.engine.batteryVolts;
  };
  for (uint32_t i = 0; i < count; ++i) {
    const double t = start + i / rate;
    for (int c = 0; c < 2; ++c) {
      if (!(channels & (1 << c))) continue;
      out.push_back(input[c].scale > 0 ? RawByte(value(c, t), input[c]) : 0x80);
    }
  }
}

// The recording into board memory after a set-up of type 17-19: the stop request (count 0) is
// answered with the samples recorded per channel, each read-back with the next chunk and the
// progress in percent in place of the trigger index.
void AppendRecording(BoardContext& board, Bytes& reply, const Bytes& setup, std::span<const uint8_t> request) {
  OscilloscopeState& osc = board.state.oscilloscope;
  const uint32_t count = request.size() >= 8 ? kvp::ReadBe24(&request[5]) : 0;
  const double rate = SampleRateOf(setup[6], setup[7]);
  const size_t progressAt = reply.size() - 2;
  reply[progressAt] = reply[progressAt + 1] = 0;
  if (!osc.recording) return;
  if (count == 0) {
    if (!osc.recordingStopped) {
      osc.recordingStopped = true;
      const int channels = ChannelsOf(setup[15]) == 3 ? 2 : 1;
      const double capacity = board.scenario.recordingMemory / static_cast<double>(channels);
      // Whole milliseconds of the board clock, so that seconds far from zero lose no sample.
      const double elapsedMs = std::round((BoardSeconds() - osc.recordingStartSeconds) * 1000.0);
      osc.recordedPerChannel =
          static_cast<uint32_t>(std::clamp(std::floor(elapsedMs * rate / 1000.0 + 1e-9), 0.0, capacity));
      osc.readBackPerChannel = 0;
    }
    Put32(reply, osc.recordedPerChannel);
    return;
  }
  if (!osc.recordingStopped) return;
  const uint32_t n = std::min({count, uint32_t{1000}, osc.recordedPerChannel - osc.readBackPerChannel});
  AppendChannelData(board, reply, setup, n, osc.readBackPerChannel / rate);
  osc.readBackPerChannel += n;
  const uint32_t progress =
      osc.recordedPerChannel == 0 ? 100 : uint64_t{osc.readBackPerChannel} * 100 / osc.recordedPerChannel;
  reply[progressAt] = static_cast<uint8_t>(progress >> 8);
  reply[progressAt + 1] = static_cast<uint8_t>(progress);
}

}  // namespace

bool IsEngineScopeSetup(const BoardContext& board, std::span<const uint8_t> request) {
  return board.EngineTester() && IsScopeSetup(request);
}

bool AfterEngineScopeSetup(const BoardContext& board, std::span<const uint8_t>) {
  return board.EngineTester() && IsScopeSetup(board.state.lastSetup);
}

CommandReply HandleEngineScopeSetup(BoardContext& board, std::span<const uint8_t> request) {
  board.state.lastSetup.assign(request.begin(), request.end());
  OscilloscopeState& osc = board.state.oscilloscope;
  osc = OscilloscopeState{};
  // The module records into board memory itself.
  if (IsRecordingType(request[15])) {
    osc.recording = true;
    osc.recordingStartSeconds = BoardSeconds();
  }
  return {{0x10, 0x00, board.Identity(), 0x00}, {}};
}

CommandReply HandleEngineScopeRecord(BoardContext& board, std::span<const uint8_t> request) {
  const Bytes setup = board.state.lastSetup;
  const int mode = setup[1];
  const uint8_t type = setup[15];
  const BoardScenario& scenario = board.scenario;
  const bool noNewData = mode >= 2 && scenario.engine.noNewEngineData;
  Bytes reply{0x11, noNewData ? kStatusNoNewData : uint8_t{0x00}, board.Identity(), 0x00};
  if (mode <= 1) {
    const std::vector<uint8_t>& selected = board.state.selectedInputs;
    reply.push_back(static_cast<uint8_t>(std::min<size_t>(selected.size(), 2)));
    for (size_t c = 0; c < 2; ++c) reply.push_back(c < selected.size() ? InputCode(scenario, selected[c]) : 0);
    // Mode 1 measures the engine's turning frequency (mHz) before the samples, unless the
    // scenario gives the value.
    if (mode == 1) {
      const int32_t turning = static_cast<int32_t>(SpeedCount(scenario.engine, EngineEvent::Revolution));
      Put32(reply, static_cast<uint32_t>(scenario.oscMeasuredValue.value_or(turning)));
    }
  } else {
    Put32(reply, SpeedCounter(board, mode));
  }
  const uint32_t position = kvp::ReadBe16(&setup[11]);
  reply.push_back(type);
  reply.push_back(0x00);  // triggered
  reply.push_back(static_cast<uint8_t>(position >> 8));
  reply.push_back(static_cast<uint8_t>(position));
  if (IsRecordingType(type)) {
    AppendRecording(board, reply, setup, request);
  } else if (IsEngineType(type)) {
    AppendEngineData(board, reply, setup, noNewData);
  } else if (!noNewData) {
    const uint32_t count =
        request.size() >= 8 ? std::min<uint32_t>(kvp::ReadBe24(&request[5]), 1000) : 0;
    AppendChannelData(board, reply, setup, count);
  }
  return {std::move(reply), {}};
}

}  // namespace sim
