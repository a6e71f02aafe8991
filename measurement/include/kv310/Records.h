// The records that cross the measurement library's boundary. Callers of the program and of the
// bridge library allocate them and read them field by field, so field order, widths and offsets
// are part of the interface: natural alignment, offsets checked below.
//
// The layouts are the board software's 32-bit ones. Records without pointers are byte for byte the
// same on 64-bit Linux; the two that hold a pointer (OscSettings/MTOscSettings and
// EngineSampleRecord) keep their field order, and the pointer grows to 8 bytes (the offsets of
// both layouts are written beside the checks).
//
// The board information record HwSwInfo (62 packed bytes) belongs to the link libraries' export
// set, <link/LinkExports.h>; callers of this library see it only as the board name texts.
#pragma once

#include <cstddef>
#include <cstdint>

// A measured value: value = mantissa x 10^exponent.
struct ScaledValue {
  int32_t mantissa;
  int8_t exponent;
  uint8_t unused[3];
};

// What the board reports for a probe or sensor, looked up from its one-byte probe code.
struct ProbeDescriptor {
  int32_t kind;           // probe or sensor type, 0 = no probe
  int32_t probeClass;     // family of the kind; 2 = the engine-tester module itself
  int32_t codeA;          // units and ranges of the instruments
  int32_t codeB;
  int32_t scaleMantissa;  // scale factor of the probe as a ScaledValue
  int32_t scaleExponent;  // exponent in the low byte
  int32_t rangeWindow;    // allowed range indexes: highest in the low 16 bits, lowest in the high 16 bits
};

// Result of the engine-tester meters.
struct MeasuredValue {
  ScaledValue value;
  ProbeDescriptor probe;  // the probe that measured it
  uint8_t valid;          // 1 = the value is meaningful
  uint8_t unused[3];
};

// One cylinder's value of the high-voltage meter.
struct CylinderValue {
  ScaledValue value;
  uint16_t cylinder;  // cylinder or channel index
  uint8_t valid;
  uint8_t unused;
  ProbeDescriptor probe;
};

// The twelve-word engine parameter set (passed by value to SetAllParams).
struct EngineParameterBlock {
  int32_t engineType;  // 0 spark-ignition, 1 diesel
  // spark-ignition set
  uint8_t sparkNumberCylinders;
  uint8_t unused1;
  uint16_t sparkNumberMarks;
  int16_t sparkMarkOffset;
  uint8_t sparkStroke;
  uint8_t sparkSensitivity;
  int32_t sparkSpeedSensorType;
  int32_t sparkCoilType;
  int32_t sparkHiVoltageTypeProbe;
  uint8_t sparkPolarityHVProbes[4];  // probes 1 to 4, non-zero = normal polarity
  // diesel set
  uint8_t dieselNumberCylinders;
  uint8_t unused7;
  uint16_t dieselNumberMarks;
  int16_t dieselMarkOffset;
  uint8_t dieselStroke;
  uint8_t dieselComparativeLevel;
  int32_t dieselPressureSensorType;
  int32_t dieselSensitivity;
  int32_t dieselSpeedSensorType;
};

// One engine-tester input as ReadProbes reports it.
struct ProbeInputRecord {
  uint8_t input;
  ProbeDescriptor probe;
  uint8_t valid;  // 1 = the kind is accepted on this input
};

// One probe slot of a channel with its four-character tag ("400V", "50A ", "500A", "NOPR", ...).
// The engine-tester oscilloscope fills the same 36-byte layout for its probe inputs.
struct ChannelProbeRecord {
  uint8_t slot;
  char tag[5];
  uint8_t unused[2];
  ProbeDescriptor probe;
};

// Advance meter reading.
struct AdvanceReading {
  MeasuredValue speed;
  MeasuredValue advance;
  MeasuredValue temperature;
  int32_t flag;  // the probe button
};

// Dwell-angle meter reading.
struct DwellReading {
  ScaledValue dwell;
  ProbeDescriptor dwellProbe;
  ScaledValue speed;
  uint8_t valid;  // of the dwell value
  uint8_t unused[3];
  MeasuredValue temperature;
};

// Speed-and-temperature meter reading.
struct SpeedTemperatureReading {
  MeasuredValue speed;
  MeasuredValue temperature;
};

// Voltmeter reading of one channel.
struct VoltmeterReading {
  int16_t values[3];
  uint16_t rangeIndex;  // the range the board reports
  ProbeDescriptor probe;
};

// Statistics of both channels of the engine-tester voltmeter.
struct DualVoltmeterReading {
  int16_t values0[3];
  int16_t values1[3];
  uint16_t rangeIndex0;
  uint16_t rangeIndex1;
  ProbeDescriptor probe0;
  ProbeDescriptor probe1;
};

// Ohmmeter reading.
struct OhmReading {
  int16_t value;        // fraction of the reported range's full scale x 32768
  uint16_t rangeIndex;  // as reported by the board
  int32_t probeKind;
  int32_t valid;  // 1 valid, 0 open or over range
};

// Diode test reading.
struct DiodeReading {
  int16_t value;  // voltage as a fraction of 5 V x 32768
  int32_t probeKind;
};

// One channel's part of the oscilloscope settings.
struct OscChannelSetting {
  int32_t mode;  // 0 off, 1 and 2 the two input couplings
  uint16_t rangeIndex;
};

// All settings of the board oscilloscope in one record (SetAll / GetAll).
struct OscSettings {
  int32_t acquisitionMode;
  uint16_t sampleRateIndex;
  uint16_t unused1;
  uint32_t triggerPosition;
  int32_t triggerMode;
  ScaledValue triggerLevel;
  int32_t triggerEdge;
  int32_t triggerSource;
  uint16_t triggerSourceChannel;
  uint16_t unused2;
  int32_t triggerFilter;
  ScaledValue triggerSensitivity;
  uint16_t channelCount;  // 0..2
  OscChannelSetting* channels;
};

// The engine-tester oscilloscope's settings record: the board oscilloscope's, with the angle-rate
// index after the sample-rate index.
struct MTOscSettings {
  int32_t acquisitionMode;
  uint16_t sampleRateIndex;
  uint16_t angleRateIndex;
  uint32_t triggerPosition;
  int32_t triggerMode;
  ScaledValue triggerLevel;
  int32_t triggerEdge;
  int32_t triggerSource;
  uint16_t triggerSourceChannel;
  uint16_t unused2;
  int32_t triggerFilter;
  ScaledValue triggerSensitivity;
  uint16_t channelCount;
  OscChannelSetting* channels;
};

// Sample count and probe of one channel of the last acquisition.
struct OscChannelInfo {
  uint32_t sampleCount;
  ProbeDescriptor probe;
};

// Trigger information of the last acquisition.
struct OscTimeInfo {
  int32_t triggerState;  // 0, 1 or 2
  int32_t triggerIndex;  // valid in state 0, else -1
};

// Measured value of acquisition mode 1 (five int32).
struct OscMeasurements {
  ScaledValue value;
  ScaledValue secondValue;
  int32_t valid;  // low byte used
};

// One cylinder group of engine-synchronous samples, written into the caller's sample array.
struct EngineSampleRecord {
  int16_t* samples;
  int16_t peak;
  uint32_t length;  // samples written
  uint16_t group;   // group index, or the requested cylinder
  uint8_t valid;
};

// One entry of the built-in table of board configurations (command 0x61): the first 11 bytes are
// the configuration, the twelfth is 0.
struct ConfigurationRecord {
  uint32_t id;
  uint8_t bytes[12];
};

// Calibration factors, one block per library, filled from built-in defaults at load.
struct ChannelCalibration {
  // Pairs {factor for samples >= 0, factor for samples < 0}; the pair of (channel c, range r,
  // probe class k) is factors[r + 10 * c + 20 * k].
  float factors[40][2];
  // Ohmmeter: the pair {k1, k2} of (range r, sub-range s) is ohmFactors[4 * r + s].
  float ohmFactors[20][2];
  float ohmOffset;  // k3
  int32_t loaded;
};

// ---- layout checks -------------------------------------------------------------------------

static_assert(sizeof(ScaledValue) == 8 && offsetof(ScaledValue, exponent) == 4);
static_assert(sizeof(ProbeDescriptor) == 28);
static_assert(offsetof(ProbeDescriptor, probeClass) == 4 && offsetof(ProbeDescriptor, codeA) == 8 &&
              offsetof(ProbeDescriptor, codeB) == 12 && offsetof(ProbeDescriptor, scaleMantissa) == 16 &&
              offsetof(ProbeDescriptor, scaleExponent) == 20 && offsetof(ProbeDescriptor, rangeWindow) == 24);
static_assert(sizeof(MeasuredValue) == 40 && offsetof(MeasuredValue, probe) == 8 &&
              offsetof(MeasuredValue, valid) == 36);
static_assert(sizeof(CylinderValue) == 40 && offsetof(CylinderValue, cylinder) == 8 &&
              offsetof(CylinderValue, valid) == 10 && offsetof(CylinderValue, probe) == 12);

static_assert(sizeof(EngineParameterBlock) == 48);
static_assert(offsetof(EngineParameterBlock, sparkNumberCylinders) == 4 &&
              offsetof(EngineParameterBlock, sparkNumberMarks) == 6 &&
              offsetof(EngineParameterBlock, sparkMarkOffset) == 8 && offsetof(EngineParameterBlock, sparkStroke) == 10 &&
              offsetof(EngineParameterBlock, sparkSensitivity) == 11 &&
              offsetof(EngineParameterBlock, sparkSpeedSensorType) == 12 &&
              offsetof(EngineParameterBlock, sparkCoilType) == 16 &&
              offsetof(EngineParameterBlock, sparkHiVoltageTypeProbe) == 20 &&
              offsetof(EngineParameterBlock, sparkPolarityHVProbes) == 24);
static_assert(offsetof(EngineParameterBlock, dieselNumberCylinders) == 28 &&
              offsetof(EngineParameterBlock, dieselNumberMarks) == 30 &&
              offsetof(EngineParameterBlock, dieselMarkOffset) == 32 && offsetof(EngineParameterBlock, dieselStroke) == 34 &&
              offsetof(EngineParameterBlock, dieselComparativeLevel) == 35 &&
              offsetof(EngineParameterBlock, dieselPressureSensorType) == 36 &&
              offsetof(EngineParameterBlock, dieselSensitivity) == 40 &&
              offsetof(EngineParameterBlock, dieselSpeedSensorType) == 44);

static_assert(sizeof(ProbeInputRecord) == 36 && offsetof(ProbeInputRecord, probe) == 4 &&
              offsetof(ProbeInputRecord, valid) == 32);
static_assert(sizeof(ChannelProbeRecord) == 36 && offsetof(ChannelProbeRecord, tag) == 1 &&
              offsetof(ChannelProbeRecord, probe) == 8);
static_assert(sizeof(AdvanceReading) == 124 && offsetof(AdvanceReading, advance) == 40 &&
              offsetof(AdvanceReading, temperature) == 80 && offsetof(AdvanceReading, flag) == 120);
static_assert(sizeof(DwellReading) == 88 && offsetof(DwellReading, dwellProbe) == 8 &&
              offsetof(DwellReading, speed) == 36 && offsetof(DwellReading, valid) == 44 &&
              offsetof(DwellReading, temperature) == 48);
static_assert(sizeof(SpeedTemperatureReading) == 80 && offsetof(SpeedTemperatureReading, temperature) == 40);
static_assert(sizeof(VoltmeterReading) == 36 && offsetof(VoltmeterReading, rangeIndex) == 6 &&
              offsetof(VoltmeterReading, probe) == 8);
static_assert(sizeof(DualVoltmeterReading) == 72 && offsetof(DualVoltmeterReading, values1) == 6 &&
              offsetof(DualVoltmeterReading, rangeIndex0) == 12 && offsetof(DualVoltmeterReading, rangeIndex1) == 14 &&
              offsetof(DualVoltmeterReading, probe0) == 16 && offsetof(DualVoltmeterReading, probe1) == 44);
static_assert(sizeof(OhmReading) == 12 && offsetof(OhmReading, rangeIndex) == 2 &&
              offsetof(OhmReading, probeKind) == 4 && offsetof(OhmReading, valid) == 8);
static_assert(sizeof(DiodeReading) == 8 && offsetof(DiodeReading, probeKind) == 4);

static_assert(sizeof(OscChannelSetting) == 8 && offsetof(OscChannelSetting, rangeIndex) == 4);
static_assert(sizeof(OscChannelInfo) == 32 && offsetof(OscChannelInfo, probe) == 4);
static_assert(sizeof(OscTimeInfo) == 8);
static_assert(sizeof(OscMeasurements) == 20 && offsetof(OscMeasurements, secondValue) == 8 &&
              offsetof(OscMeasurements, valid) == 16);

// OscSettings / MTOscSettings: 56 bytes with the 4-byte pointer at 52 on 32-bit; 64 bytes with the
// 8-byte pointer at 56 here. Every field before the pointer sits where it always did.
template <typename T>
constexpr bool kOscSettingsLayout =
    offsetof(T, sampleRateIndex) == 4 && offsetof(T, triggerPosition) == 8 && offsetof(T, triggerMode) == 12 &&
    offsetof(T, triggerLevel) == 16 && offsetof(T, triggerEdge) == 24 && offsetof(T, triggerSource) == 28 &&
    offsetof(T, triggerSourceChannel) == 32 && offsetof(T, triggerFilter) == 36 &&
    offsetof(T, triggerSensitivity) == 40 && offsetof(T, channelCount) == 48 &&
    offsetof(T, channels) == (sizeof(void*) == 8 ? 56 : 52) && sizeof(T) == (sizeof(void*) == 8 ? 64 : 56);
static_assert(kOscSettingsLayout<OscSettings>);
static_assert(kOscSettingsLayout<MTOscSettings> && offsetof(MTOscSettings, angleRateIndex) == 6);

// EngineSampleRecord: 16 bytes on 32-bit (peak 4, length 8, group 12, valid 14); here the pointer
// takes 8 bytes and the fields follow it (peak 8, length 12, group 16, valid 18; 24 bytes).
static_assert(offsetof(EngineSampleRecord, peak) == sizeof(void*) &&
              offsetof(EngineSampleRecord, length) == sizeof(void*) + 4 &&
              offsetof(EngineSampleRecord, group) == sizeof(void*) + 8 &&
              offsetof(EngineSampleRecord, valid) == sizeof(void*) + 10 &&
              sizeof(EngineSampleRecord) == (sizeof(void*) == 8 ? 24 : 16));

static_assert(sizeof(ConfigurationRecord) == 16 && offsetof(ConfigurationRecord, bytes) == 4);
static_assert(sizeof(ChannelCalibration) == 488 && offsetof(ChannelCalibration, ohmFactors) == 320 &&
              offsetof(ChannelCalibration, ohmOffset) == 480 && offsetof(ChannelCalibration, loaded) == 484);
