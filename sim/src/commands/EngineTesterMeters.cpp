// The engine-tester module's meters: meter start (40) and read (41) of the advance, dwell and
// speed-and-temperature meters, the high-voltage frames (11 after a high-voltage set-up), the
// voltmeter readings (20/21) and the ohmmeter / diode readings (31) while the module is attached.
// Every value comes from the scenario's engine.
#include "../CommandTable.h"
#include "../EngineModel.h"
#include "../WaveformGenerator.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr uint8_t kStatusNoNewData = 0x02;

void Put16(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)}); }
void Put24(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }
void Put32(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }

uint8_t InputCode(const BoardScenario& scenario, size_t input) {
  return input < scenario.inputProbeCodes.size() ? scenario.inputProbeCodes[input] : 0;
}

// ---- meters (40/41) ----

constexpr uint8_t kTemperatureInput = 6;
constexpr uint8_t kTemperatureSensorCode = 68;
constexpr uint8_t kDwellMeter = 11;

// The speed sensor each meter start reads, and for the advance meters whether the timing probe
// is a stroboscope (its flash is the spark itself: no mark offset) and which correction word of
// the firmware service the host adds to the interval.
struct MeterRow {
  uint8_t mode;
  EngineEvent speedEvent;
  bool advance;
  bool stroboscope;
  int correctionWord;  // 1..6, 0 = none
};
constexpr MeterRow kMeters[] = {
    {1, EngineEvent::CylinderLead, false, false, 0},  // clamp on cylinder 1 (input 9)
    {2, EngineEvent::Revolution, false, false, 0},    // crank sensor (input 8)
    {3, EngineEvent::Cycle, false, false, 0},         // injection line (input 5)
    {4, EngineEvent::Revolution, false, false, 0},    // top-dead-centre sensor (input 8)
    {5, EngineEvent::CylinderLead, true, true, 1},    // spark: stroboscope
    {6, EngineEvent::CylinderLead, true, false, 3},   // spark: top-dead-centre probe
    {7, EngineEvent::CylinderLead, true, false, 5},
    {8, EngineEvent::Cycle, true, true, 2},           // diesel: stroboscope
    {9, EngineEvent::Cycle, true, false, 4},
    {10, EngineEvent::Cycle, true, false, 6},
    {kDwellMeter, EngineEvent::CoilPrimary, false, false, 0},
};

const MeterRow* MeterOf(uint8_t mode) {
  for (const MeterRow& row : kMeters)
    if (row.mode == mode) return &row;
  return nullptr;
}

struct Counts {
  uint32_t speed = 0, period = 0, interval = 0;
};

Counts MeterCounts(const BoardContext& board, const MeterRow& row) {
  const EngineScenario& engine = board.scenario.engine;
  Counts c;
  if (!EngineRunning(engine)) return c;
  c.speed = SpeedCount(engine, row.speedEvent);
  c.period = PeriodCount(engine, row.speedEvent);
  if (row.mode == kDwellMeter) {
    // The interval is the part of the spark period the primary is open.
    const double open = 1.0 - std::clamp(engine.dwellPercent, 0.0, 100.0) / 100.0;
    // Rounded down: the host truncates the dwell it computes back from the counts.
    c.interval = static_cast<uint32_t>(std::floor(c.period * open + 1e-6));
  } else if (row.advance) {
    const double degrees = engine.advanceDegrees + (row.stroboscope ? 0.0 : engine.markOffsetDegrees);
    const uint32_t angle = AngleCount(engine, degrees);
    const uint32_t correction = board.scenario.corrections[static_cast<size_t>(row.correctionWord - 1)];
    c.interval = angle > correction ? angle - correction : 0;
  }
  return c;
}

// ---- high-voltage frames ----

constexpr size_t kHvSetupMode = 1;
constexpr size_t kHvSetupType = 15;
constexpr size_t kHvSetupCylinders = 17;
constexpr uint8_t kHvFrameOnePair = 9;
constexpr uint8_t kHvFramePerCylinder = 12;
constexpr uint8_t kHvAllCylinders = 7, kHvSingleProbe = 8, kHvDoubleSpark = 9;
constexpr size_t kSelectedCylinderByte = 10;  // of the 61 configuration
constexpr int kReferenceInput = 4;
constexpr double kHvFullScaleVolts = 4.0;  // range 6, where the probe signal is sampled
// The converter reads this much low on the 4 V range; the host's calibration undoes it.
constexpr double kHvFrontEndGain = 1.0488;

bool IsHighVoltageSetup(std::span<const uint8_t> setup) {
  if (setup.size() != 17 && setup.size() != 18) return false;
  const uint8_t mode = setup[kHvSetupMode];
  const uint8_t type = setup[kHvSetupType];
  return mode >= kHvAllCylinders && mode <= kHvDoubleSpark && (type == kHvFrameOnePair || type == kHvFramePerCylinder);
}

// The reference probe's divider (volts per converter full scale, over the 4 V range).
double ReferenceProbeFactor(const BoardScenario& scenario) {
  switch (InputCode(scenario, kReferenceInput)) {
    case 36: return 5340.0;
    case 67: return 4750.0;
    default: return 5000.0;
  }
}

// One cylinder's pair: the breakdown peak, then the burn voltage on the other side of zero.
void PutSpark(Bytes& b, const BoardScenario& scenario, int cylinder) {
  const double counts = SparkVolts(scenario.engine, cylinder) / ReferenceProbeFactor(scenario) / kHvFullScaleVolts *
                        128.0 / kHvFrontEndGain;
  const int peak = static_cast<int>(std::lround(std::clamp(counts, 0.0, 127.0)));
  b.push_back(static_cast<uint8_t>(0x80 + peak));
  b.push_back(static_cast<uint8_t>(0x80 - peak / 4));
}

CommandReply HighVoltageFrame(BoardContext& board) {
  const Bytes& setup = board.state.lastSetup;
  const EngineScenario& engine = board.scenario.engine;
  const uint8_t mode = setup[kHvSetupMode];
  const uint8_t type = setup[kHvSetupType];
  const int cylinders = std::clamp(engine.cylinders, 1, kMaxEngineCylinders);
  const int selected = std::max<int>(board.state.lastConfiguration[kSelectedCylinderByte], 1);

  // The speed count follows what the probe set sees: every spark, one lead, or one coil.
  EngineEvent event = EngineEvent::Spark;
  if (mode == kHvSingleProbe) event = EngineEvent::Cycle;
  if (mode == kHvDoubleSpark) event = EngineEvent::Revolution;

  Bytes reply{0x11, 0x00, board.Identity(), 0x00};
  Put32(reply, SpeedCount(engine, event));
  reply.insert(reply.end(), {type, 0x00, 0x00, 0x00});
  if (engine.noNewEngineData || !EngineRunning(engine)) {
    reply[1] = kStatusNoNewData;
    return {std::move(reply), {}};
  }
  if (type == kHvFrameOnePair) {
    PutSpark(reply, board.scenario, selected);
  } else if (mode == kHvDoubleSpark) {
    // One coil fires its cylinder and the companion half a crank turn away.
    PutSpark(reply, board.scenario, selected);
    PutSpark(reply, board.scenario, (selected - 1 + cylinders / 2) % cylinders + 1);
  } else {
    const int pairs = setup.size() > kHvSetupCylinders ? setup[kHvSetupCylinders] : 1;
    if (pairs == 1) {
      PutSpark(reply, board.scenario, selected);
    } else {
      for (int c = 1; c <= pairs; ++c) PutSpark(reply, board.scenario, c);
    }
  }
  return {std::move(reply), {}};
}

// ---- voltmeter (21) ----

constexpr int kVoltSamplingMode = 3;
constexpr uint8_t kVoltInputs[2] = {0, 1};  // when no selection arrived

struct AutoRange {
  uint8_t coupling, code;
};
// Automatic ranging tries the smallest full scale first.
constexpr AutoRange kAutoRanges[] = {{3, 100}, {3, 50}, {3, 20}, {3, 10}, {3, 5}, {3, 2}, {3, 1}, {1, 5}, {1, 2}, {1, 1}};

// The converter's reading is low by the front end's gain of the range group (and more behind a
// clamp's shunt); the host's calibration factors undo it.
double VoltFrontEndGain(uint8_t coupling, uint8_t code, bool clamp) {
  const double full = FullScaleOfCode(coupling, code);
  if (clamp) return full >= 8.0 ? 1.05875 : 1.08445;
  if (full >= 80.0) return 1.0123;
  if (full >= 8.0) return 1.024;
  return 1.0488;
}

void PutVoltChannel(Bytes& fields, Bytes& sums, const BoardContext& board, int channel, double value, uint8_t probeCode) {
  const MeterState& m = board.state.meters;
  const double probeScale = ProbeScaleOfCode(probeCode);
  uint8_t coupling = kAutoRanges[std::size(kAutoRanges) - 1].coupling;
  uint8_t code = kAutoRanges[std::size(kAutoRanges) - 1].code;
  if (m.voltFixed[channel]) {
    coupling = m.voltCoupling[channel];
    code = m.voltRangeCode[channel];
  } else {
    for (const AutoRange& r : kAutoRanges) {
      if (std::fabs(value) < 0.9 * FullScaleOfCode(r.coupling, r.code) * probeScale) {
        coupling = r.coupling;
        code = r.code;
        break;
      }
    }
  }
  const double scale = FullScaleOfCode(coupling, code) * probeScale;
  const bool clamp = probeScale != 1.0;
  const double seen = scale > 0 ? value / scale / VoltFrontEndGain(coupling, code, clamp) : 0.0;
  const int r = static_cast<int>(std::clamp(std::round(2048.0 + 2048.0 * seen), 0.0, 4095.0));
  fields.insert(fields.end(), {coupling, code});
  // A steady value: mean, largest and smallest alike; the square sum is the mean of r^2.
  Bytes values;
  for (int k = 0; k < 3; ++k) Put16(values, static_cast<uint32_t>(r));
  Put24(values, static_cast<uint32_t>(r * r));
  sums.insert(sums.end(), values.begin(), values.end());
}

// The speed sensor of the voltmeter's configurations 4 to 7 (selector in byte 1 of the 61).
EngineEvent VoltSpeedEvent(uint8_t selector) {
  switch (selector) {
    case 2:
    case 4: return EngineEvent::Revolution;
    case 3: return EngineEvent::Cycle;
    default: return EngineEvent::CylinderLead;
  }
}

CommandReply EngineVoltmeterReading(BoardContext& board) {
  const BoardState& state = board.state;
  const BoardScenario& scenario = board.scenario;
  const std::vector<uint8_t>& selected = state.selectedInputs;
  const uint8_t in0 = selected.size() > 0 ? selected[0] : kVoltInputs[0];
  const uint8_t in1 = selected.size() > 1 ? selected[1] : kVoltInputs[1];
  const int mode = std::max(state.engineMeters.voltmeterMode, 0);

  Bytes reply{0x21, 0x00, board.Identity(), 0x00};
  if (mode == 0) {
    reply.push_back(static_cast<uint8_t>(selected.size()));
    for (uint8_t input : selected) reply.push_back(InputCode(scenario, input));
  } else if (mode != kVoltSamplingMode) {
    Put32(reply, SpeedCount(scenario.engine, VoltSpeedEvent(state.lastConfiguration[1] & 0x7F)));
  }
  Bytes head, a, b;
  PutVoltChannel(head, a, board, 0, scenario.engine.batteryVolts, InputCode(scenario, in0));
  PutVoltChannel(head, b, board, 1, scenario.engine.clampAmps, InputCode(scenario, in1));
  reply.insert(reply.end(), head.begin(), head.end());
  reply.insert(reply.end(), a.begin(), a.end());
  reply.insert(reply.end(), b.begin(), b.end());
  return {std::move(reply), {}};
}

}  // namespace

CommandReply HandleMeterStart(BoardContext& board, std::span<const uint8_t> request) {
  EngineMeterState& meters = board.state.engineMeters;
  if (board.EngineTester() && request.size() >= 2 && MeterOf(request[1])) {
    meters.meterMode = request[1];
    meters.dwellInput = request.size() >= 3 ? request[2] : 0;
  }
  // Without the module the measuring board answers with its channel A code.
  return {{0x40, 0x00, board.Identity(), 0x00}, {}};
}

CommandReply HandleMeterRead(BoardContext& board, std::span<const uint8_t> request) {
  const BoardScenario& scenario = board.scenario;
  Bytes reply{0x41, 0x00, board.Identity(), 0x00};
  // Before a meter start the module has nothing to count: zero counts.
  const MeterRow* row = board.EngineTester() ? MeterOf(board.state.engineMeters.meterMode) : nullptr;
  const Counts counts = row ? MeterCounts(board, *row) : Counts{};
  Put32(reply, counts.speed);
  Put32(reply, counts.period);
  Put32(reply, counts.interval);
  const bool sensor = InputCode(scenario, kTemperatureInput) == kTemperatureSensorCode;
  Put16(reply, sensor ? TemperatureSensorMillivolts(scenario.engine.temperatureCelsius) : 0);
  reply.push_back(scenario.engine.probeButton ? 0x01 : 0x00);
  return {std::move(reply), {}};
}

CommandReply HandleAcquisitionOrHighVoltage(BoardContext& board, std::span<const uint8_t> request) {
  if (board.EngineTester() && IsHighVoltageSetup(board.state.lastSetup)) return HighVoltageFrame(board);
  return HandleAcquisitionOrEngineFrame(board, request);
}

CommandReply HandleVoltmeterSetupOrEngine(BoardContext& board, std::span<const uint8_t> request) {
  // The module's set-ups keep the board voltmeter's layout (couplings, range codes, flags) and
  // add the mode in byte 1.
  if (board.EngineTester() && request.size() >= 2) board.state.engineMeters.voltmeterMode = request[1];
  return HandleVoltmeterSetup(board, request);
}

CommandReply HandleVoltmeterReadingOrEngine(BoardContext& board, std::span<const uint8_t> request) {
  if (!board.EngineTester()) return HandleVoltmeterReading(board, request);
  return EngineVoltmeterReading(board);
}

CommandReply HandleOhmmeterReadingOrEngine(BoardContext& board, std::span<const uint8_t> request) {
  CommandReply reply = HandleOhmmeterReading(board, request);
  if (!board.EngineTester() || reply.payload.size() < 8) return reply;
  // The module inserts its lead count and the test leads' probe code before the reading.
  const Bytes& base = reply.payload;
  Bytes payload{base[0], base[1], base[2], base[3], 0x01, InputCode(board.scenario, 0)};
  payload.insert(payload.end(), base.begin() + 4, base.begin() + 8);
  reply.payload = std::move(payload);
  return reply;
}

}  // namespace sim
