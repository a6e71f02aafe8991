// The engine-tester module's meters: meter start (40) and read (41) of the advance, dwell and
// speed-and-temperature meters, the high-voltage frames (11 after a high-voltage set-up), the
// voltmeter readings (20/21) and the ohmmeter / diode readings (31) while the module is attached.
// Every value comes from the scenario's engine.
#include "../CommandTable.h"
#include "../EngineModel.h"
#include "../FrontEnd.h"
#include "../ReplyBytes.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr uint8_t kStatusNoNewData = 0x02;

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

bool IsHighVoltageSetup(std::span<const uint8_t> setup) {
  if (setup.size() != 17 && setup.size() != 18) return false;
  const uint8_t mode = setup[kHvSetupMode];
  const uint8_t type = setup[kHvSetupType];
  return mode >= kHvAllCylinders && mode <= kHvDoubleSpark && (type == kHvFrameOnePair || type == kHvFramePerCylinder);
}

// One cylinder's pair: the breakdown peak, then the burn voltage on the other side of zero.
void PutSpark(Bytes& b, const BoardScenario& scenario, int cylinder) {
  // Sampled on the engine range (4 V) behind the reference probe's divider.
  const RangeSetting range = RangeSettingOf(kEngineRangeIndex);
  const double fullScale = FullScaleOfCode(range.coupling, range.code) * ReferenceDivider(scenario) *
                           FrontEndGain(kOrdinaryPair, kEngineRangeIndex, 0);
  const double counts = SparkVolts(scenario.engine, cylinder) / fullScale * 128.0;
  const int peak = static_cast<int>(std::lround(std::clamp(counts, 0.0, 127.0)));
  b.push_back(static_cast<uint8_t>(0x80 + peak));
  b.push_back(static_cast<uint8_t>(0x80 - peak / 4));
}

}  // namespace

bool AfterHighVoltageSetup(const BoardContext& board, std::span<const uint8_t>) {
  return board.EngineTester() && IsHighVoltageSetup(board.state.lastSetup);
}

CommandReply HandleHighVoltageFrame(BoardContext& board, std::span<const uint8_t>) {
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

namespace {

// ---- voltmeter (20/21) ----

constexpr int kVoltSamplingMode = 3;
constexpr uint8_t kVoltInputs[2] = {0, 1};  // when no selection arrived

constexpr size_t kClampSettingByte = 2;  // of the 61 configuration

// One channel's fields of a steady value. The module's readings are raised by the calibration
// pair of the probe's class, except the sampling mode's, which takes the ordinary pair. A clamp on
// channel 1 is further raised by the clamp input's gain that the configuration chose.
void PutVoltChannel(Bytes& fields, Bytes& sums, const BoardContext& board, int channel, double value,
                    uint8_t probeCode) {
  const MeterState& m = board.state.meters;
  const double clampGain =
      channel == 1 && IsClampCode(probeCode) ? ClampInputGain(board.state.lastConfiguration[kClampSettingByte]) : 1.0;
  uint8_t coupling = m.voltCoupling[channel];
  uint8_t code = m.voltRangeCode[channel];
  if (!m.voltFixed[channel]) {
    const double probeScale = ProbeScaleOfCode(probeCode) / clampGain;
    const RangeSetting r = RangeSettingOf(AutoRangeIndex(std::fabs(value), probeScale, 0.9));
    coupling = r.coupling;
    code = r.code;
  }
  const bool sampling = board.state.engineMeters.voltmeterMode == kVoltSamplingMode;
  const ChannelInput input = ChannelInputOf(sampling ? kOrdinaryPair : kMeterFields, coupling, code, probeCode);
  const double seen = input.scale > 0 ? value * clampGain / input.scale : 0.0;
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

bool IsEngineVoltmeterSetup(const BoardContext& board, std::span<const uint8_t> request) {
  return board.EngineTester() && request.size() >= 2;
}

CommandReply HandleEngineVoltmeterSetup(BoardContext& board, std::span<const uint8_t> request) {
  // The module's set-ups keep the board voltmeter's layout (couplings, range codes, flags), which
  // the board's set-up stores, and add the mode in byte 1.
  board.state.engineMeters.voltmeterMode = request[1];
  return HandleVoltmeterSetup(board, request);
}

CommandReply HandleEngineVoltmeterReading(BoardContext& board, std::span<const uint8_t>) {
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

CommandReply HandleEngineOhmmeterReading(BoardContext& board, std::span<const uint8_t>) {
  // The module inserts its lead count and the test leads' probe code before the reading.
  Bytes reply{0x31, board.scenario.ohmmeterStatus, board.Identity(), 0x00, 0x01, InputCode(board.scenario, 0)};
  const Bytes fields = OhmmeterReadingFields(board);
  reply.insert(reply.end(), fields.begin(), fields.end());
  return {std::move(reply), {}};
}

}  // namespace sim
