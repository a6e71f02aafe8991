// What the engine-tester meters (advance, dwell angle, speed and temperature, high voltage,
// ohmmeter, diode test, voltmeter) share: the engine parameters they read, the firmware check
// before the first configuration, the meter start (0x40) and meter read (0x41) commands, and the
// speed and temperature arithmetic of their readings.
#pragma once

#include "EngineTesterState.h"
#include "LinkRequest.h"

#include <kv310/Records.h>
#include <kv310/ResultCodes.h>

#include <cstdint>

namespace kv310 {

// The engine tester's current parameter block (the meters keep no copy).
EngineParameterBlock EngineParams();

// Fields of the active parameter set (engine type 0 spark-ignition, 1 diesel); kBadEngineType for
// any other engine type.
int ActiveNumberMarks(const EngineParameterBlock& p, uint16_t* marks);
int ActiveMarkOffset(const EngineParameterBlock& p, int16_t* offset);
int ActiveSpeedSensorType(const EngineParameterBlock& p, int32_t* type);

// Degrees per mark of a spark-ignition engine: 20 for Stroke 2, 60 for Stroke 4, plus
// 5 x (Sensitivity - 5); kBadArgument for another stroke.
int SparkDegreesPerMark(const EngineParameterBlock& p, uint8_t* degrees);
// The engine bytes of a meter configuration (advance and dwell meters): byte 5 gets 0x80 added for
// a diesel engine whose PressureSensorType is 0; byte 7 is the degrees per mark, 75 for diesel and
// the spark rule above for spark-ignition. kBadArgument for another stroke, kBadEngineType for
// another engine type.
int SetMeterEngineBytes(const EngineParameterBlock& p, uint8_t record[]);
// The engine tester's rule for every engine type: 60 for diesel, the spark rule above for
// spark-ignition, kBadEngineType for another engine type.
int DegreesPerMark(const EngineParameterBlock& p, uint8_t* degrees);

// The polarity byte of the high-voltage probes for a cylinder (1..4) or, for any other value,
// for all four at once, from the spark set's PolarityHVProbes and CoilType.
uint8_t PolarityByte(const EngineParameterBlock& p, int mode);
// The same two from the engine tester's current parameters (its own operations).
int DegreesPerMark(uint8_t* degrees);
int PolarityByte(int mode, uint8_t* polarity);

// One of the six timing-correction words (1..6, in the order the board sends them) that the
// firmware check read from the engine-tester board.
uint16_t TimingCorrection(int word);

// The steps every meter takes around its configuration. `boardMode` is the meter's own board
// mode; `dirty` its pending change: 0 none, 1 a setting, kMeterProbesChanged its probes or inputs
// (which selects them on the board again).
inline constexpr int kMeterProbesChanged = 2;

// Whether the board must be configured before a reading: another instrument holds it, a setting
// changed, or the engine parameters changed.
bool MeterNeedsConfiguration(int boardMode, int dirty);
// The start of a configuration: selects the inputs (0xC0) when the probes changed or another
// instrument holds the board (told in `otherInstrument`), then the engine-tester firmware check.
int SelectMeterInputs(int boardMode, int dirty, const uint8_t* inputs, int count, bool* otherInstrument);
// Sends `record` with bit 7 when it differs from the last configuration, the probes changed or
// another instrument holds the board, and keeps it as the last configuration once the board has
// accepted it; `changed` tells whether it differed.
int SendMeterConfiguration(const uint8_t* record, int dirty, bool otherInstrument, const uint8_t* inputs, int count,
                           int replyCapacity, uint8_t* changed);
// Takes the engine tester's ParamsChanged for one meter configuration: clears it at once and sets
// it again when the configuration ends without Accept(), so that a configuration the board
// refused runs again at the next reading. A change made meanwhile stays marked.
class ParamsChangeTaken {
 public:
  ParamsChangeTaken();
  ~ParamsChangeTaken();
  ParamsChangeTaken(const ParamsChangeTaken&) = delete;
  ParamsChangeTaken& operator=(const ParamsChangeTaken&) = delete;
  void Accept() { m_accepted = true; }

 private:
  bool m_taken = false;
  bool m_accepted = false;
};

// Queries the probes on a meter's inputs (0xC2) and hands them to the engine tester.
int QueryMeterProbes(const uint8_t* inputs, int count, ProbeDescriptor* probes);

// Sends the meter start command (0x40 and its operands) and checks the reply: at least 4 bytes,
// 0x40, status 0 (else kBadReply); the module code must be the engine tester's (else its flags
// are cleared and the result is kNoEngineTester).
int SendMeterStart(const uint8_t* request, int size);

// The counts of one meter read (0x41).
struct MeterCounts {
  uint32_t speed = 0;     // S
  uint32_t period = 0;    // P
  uint32_t interval = 0;  // I
  uint16_t sensorMillivolts = 0;
  uint8_t flags = 0;  // bit 0: the probe button
};

// Sends 41 00 and decodes the reply. kBadReply for fewer than 18 bytes or another command byte,
// kNoEngineTester for a reply without the engine-tester module (flags cleared), kBoardErrorStatus
// or kBadReply for a non-zero status. A reply
// of exactly 18 bytes carries no flags byte: the flags read 0.
int ReadMeterCounts(MeterCounts* counts);

// The start of every reading, under the operation lock: the link must be ready, the board is
// configured (`configure()`) when MeterNeedsConfiguration says so, then the counts are read.
template <typename Configure>
int ReadMeter(int boardMode, int dirty, Configure configure, MeterCounts* counts) {
  int code;
  if (!CheckLinkReady(&code)) return code;
  if (MeterNeedsConfiguration(boardMode, dirty) && (code = configure()) != kOk) return code;
  return ReadMeterCounts(counts);
}

// Engine speed in tenths of rpm, numerator / denominator truncated (64-bit), exponent -1.
ScaledValue SpeedTenths(uint64_t numerator, uint64_t denominator);
// Rounds a speed to a whole multiple of 10 rpm (exponent 0).
ScaledValue RoundSpeed(ScaledValue speed);
// A speed is valid only strictly between 400 and 10000 rpm.
bool SpeedInWindow(ScaledValue speed);
// The speed as the meters report it: rounded to 10 rpm, valid inside the window, else 0, 0, 0.
MeasuredValue SpeedReading(ScaledValue tenths, const ProbeDescriptor& probe);

// The advance in tenths of a degree from the counts of one meter read: x = I' x w / P x 3600 in
// double precision, in this order (I' the interval with its timing correction); a stroboscope
// reads x truncated, any other probe (x - 10 x MarkOffset) truncated, less 3600 above 2700.
// False, with 0, when there is no period or the result lies outside the 32-bit range (a reply
// the board cannot mean): the reading is then invalid.
bool AdvanceTenths(uint64_t interval, uint32_t w, uint32_t period, bool stroboscope, int16_t markOffset,
                   int32_t* tenths);

// The engine temperature from the sensor voltage in mV (valid only for -50 < T < 160 degrees).
MeasuredValue TemperatureReading(uint16_t millivolts);

}  // namespace kv310
