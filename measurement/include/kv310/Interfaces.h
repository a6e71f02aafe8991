// The sixteen instrument interfaces of the measurement library.
//
// An interface is a table of operations only: no data, no release operation. Callers reach the
// operations by their position in the table, so the order of the virtual functions below is the
// library's binary interface and never changes (the comment before each one gives its slot).
// The objects behind the interfaces belong to the library; callers never delete them, which is
// why the destructors are protected and not part of the tables.
//
// Every operation returns an int result code of kv310::ResultCode (0 = success) unless it is
// declared to return something else. Arguments and result buffers are the caller's.
#pragma once

#include <kv310/Records.h>
#include <platform/types.h>

#include <cstdint>

#define KV310_INTERFACE_BASE(Name) \
 protected:                        \
  Name() = default;                \
  ~Name() = default;               \
  Name(const Name&) = delete;      \
  Name& operator=(const Name&) = delete;

// id 0: library version, board names and hardware type.
class IInfo_0 {
 public:
  /* 0 */ virtual int GetVersion(uint16_t* major, uint16_t* buildHigh, uint16_t* buildLow) = 0;
  /* 1 */ virtual const char* GetBoardName() = 0;
  /* 2 */ virtual const char* GetMotortesterName() = 0;
  /* 3 */ virtual int GetBoardStatus(uint8_t* hardwareType) = 0;
  KV310_INTERFACE_BASE(IInfo_0)
};

// id 1: the board link.
class ICommunication_1 {
 public:
  /* 0 */ virtual HANDLE GetIdleEvent() = 0;  // manual-reset, set while no request is pending
  /* 1 */ virtual int GetState() = 0;         // link state 0..4
  /* 2 */ virtual int Open() = 0;
  /* 3 */ virtual int Close() = 0;
  /* 4 */ virtual int Start() = 0;
  /* 5 */ virtual int Stop() = 0;
  /* 6 */ virtual int Recover() = 0;
  /* 7 */ virtual int AbortRead() = 0;
  /* 8 */ virtual int WaitIdle() = 0;
  /* 9 */ virtual int SetNotification(HWND window, UINT replyMessage, UINT errorMessage) = 0;
  KV310_INTERFACE_BASE(ICommunication_1)
};

// id 2: the measuring board's two-channel oscilloscope.
class IOscilloscope_2 {
 public:
  /*  0 */ virtual int Init() = 0;
  /*  1 */ virtual int GetSampleRateCount(uint16_t* count) = 0;
  /*  2 */ virtual int GetSampleRates(uint16_t count, int32_t* rates) = 0;
  /*  3 */ virtual int GetSampleRate(int32_t* rate) = 0;
  /*  4 */ virtual int GetSampleRateIndex(uint16_t* index) = 0;
  /*  5 */ virtual int SetSampleRateIndex(uint16_t index) = 0;
  /*  6 */ virtual int GetChannelCount(uint16_t* count) = 0;
  /*  7 */ virtual int GetRangeCount(uint16_t channel, uint16_t* count) = 0;
  /*  8 */ virtual int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) = 0;
  /*  9 */ virtual int GetRange(uint16_t channel, ScaledValue* range) = 0;
  /* 10 */ virtual int GetRangeIndex(uint16_t channel, uint16_t* index) = 0;
  /* 11 */ virtual int SetRangeIndex(uint16_t channel, uint16_t index) = 0;
  /* 12 */ virtual int GetChannelMode(uint16_t channel, int32_t* mode) = 0;
  /* 13 */ virtual int SetChannelMode(uint16_t channel, int32_t mode) = 0;
  /* 14 */ virtual int GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) = 0;
  /* 15 */ virtual int GetTriggerPositionLimits(int32_t* minimum, int32_t* maximum) = 0;
  /* 16 */ virtual int GetTriggerPosition(uint32_t* position) = 0;
  /* 17 */ virtual int SetTriggerPosition(uint32_t position) = 0;
  /* 18 */ virtual int GetTriggerLevel(ScaledValue* level) = 0;
  /* 19 */ virtual int SetTriggerLevel(ScaledValue level) = 0;
  /* 20 */ virtual int GetTriggerMode(int32_t* mode) = 0;
  /* 21 */ virtual int SetTriggerMode(int32_t mode) = 0;
  /* 22 */ virtual int GetTriggerEdge(int32_t* edge) = 0;
  /* 23 */ virtual int SetTriggerEdge(int32_t edge) = 0;
  /* 24 */ virtual int GetTriggerSource(int32_t* source, uint16_t* channel) = 0;
  /* 25 */ virtual int SetTriggerSource(int32_t source, uint16_t channel) = 0;
  /* 26 */ virtual int GetTriggerFilter(int32_t* filter) = 0;
  /* 27 */ virtual int SetTriggerFilter(int32_t filter) = 0;
  /* 28 */ virtual int GetTriggerSensitivity(ScaledValue* sensitivity) = 0;
  /* 29 */ virtual int SetTriggerSensitivity(ScaledValue sensitivity) = 0;
  /* 30 */ virtual int GetAcquisitionMode(int32_t* mode) = 0;
  /* 31 */ virtual int SetAcquisitionMode(int32_t mode) = 0;
  /* 32 */ virtual int SetAll(OscSettings settings) = 0;
  /* 33 */ virtual int GetAll(OscSettings* settings, uint16_t channelCount, OscChannelSetting* channels) = 0;
  /* 34 */ virtual int GetRecordLength(int32_t* length) = 0;
  /* 35 */ virtual int StartMeasurement(uint32_t count) = 0;
  /* 36 */ virtual int GetData() = 0;
  /* 37 */ virtual int GetTimeInfo(OscTimeInfo* info) = 0;
  /* 38 */ virtual int GetChannelInfo(uint16_t channel, OscChannelInfo* info) = 0;
  /* 39 */ virtual int GetSamples(uint16_t channel, uint32_t count, int16_t* samples) = 0;
  /* 40 */ virtual int GetMeasurements(OscMeasurements* measurements) = 0;
  /* 41 */ virtual int CheckSettings() = 0;
  /* 42 */ virtual int StopMeasurement(uint32_t* recordedCount) = 0;
  /* 43 */ virtual int WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) = 0;
  /* 44 */ virtual int ReadSaturationData(uint16_t channel, int16_t* positiveLimit, int16_t* negativeLimit) = 0;
  /* 45 */ virtual int ConvertValue(uint16_t channel, uint16_t rangeIndex, ProbeDescriptor probe,
                                    int16_t* positiveLimit, int16_t* negativeLimit) = 0;
  KV310_INTERFACE_BASE(IOscilloscope_2)
};

// id 3: the measuring board's two-channel voltmeter.
class IVoltmeter_3 {
 public:
  /*  0 */ virtual int GetChannelCount(uint16_t* count) = 0;
  /*  1 */ virtual int GetRangeCount(uint16_t channel, uint16_t* count) = 0;
  /*  2 */ virtual int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) = 0;
  /*  3 */ virtual int GetRange(uint16_t channel, ScaledValue* range) = 0;
  /*  4 */ virtual int GetRangeIndex(uint16_t channel, uint16_t* index) = 0;
  /*  5 */ virtual int GetAutoRangeIndex() = 0;  // 0xFFFF, the automatic-range marker
  /*  6 */ virtual int SetRangeIndex(uint16_t channel, uint16_t index) = 0;
  /*  7 */ virtual int GetMode(int32_t* mode) = 0;
  /*  8 */ virtual int SetMode(int32_t mode) = 0;
  /*  9 */ virtual int ReadProbe(uint16_t channel, ProbeDescriptor* probe) = 0;
  /* 10 */ virtual int Measure(uint16_t channel, VoltmeterReading* reading) = 0;
  /* 11 */ virtual int MeasureRms(uint16_t channel, VoltmeterReading* reading) = 0;
  KV310_INTERFACE_BASE(IVoltmeter_3)
};

// id 4: the measuring board's ohmmeter.
class IOhmmeter_4 {
 public:
  /* 0 */ virtual int GetRangeCount(uint16_t* count) = 0;
  /* 1 */ virtual int GetRanges(uint16_t count, ScaledValue* ranges) = 0;
  /* 2 */ virtual int GetRange(ScaledValue* range) = 0;
  /* 3 */ virtual int GetRangeIndex(uint16_t* index) = 0;
  /* 4 */ virtual int GetAutoRangeIndex() = 0;  // 0xFFFF
  /* 5 */ virtual int SetRangeIndex(uint16_t index) = 0;
  /* 6 */ virtual int Measure(OhmReading* reading) = 0;
  KV310_INTERFACE_BASE(IOhmmeter_4)
};

// id 5: the measuring board's diode test.
class IDiodeTest_5 {
 public:
  /* 0 */ virtual int GetRange(ScaledValue* range) = 0;
  /* 1 */ virtual int Configure() = 0;
  /* 2 */ virtual int Measure(DiodeReading* reading) = 0;
  KV310_INTERFACE_BASE(IDiodeTest_5)
};

// id 6: the engine-tester board: detection, engine parameters, probes, polarity detection.
class IMotortester_6 {
 public:
  /*  0 */ virtual int Detect() = 0;
  /*  1 */ virtual int SetAllParams(EngineParameterBlock block) = 0;
  /*  2 */ virtual int GetAllParams(EngineParameterBlock* block) = 0;
  /*  3 */ virtual int GetDefaultParams(EngineParameterBlock* block) = 0;
  /*  4 */ virtual bool IsReady() = 0;
  /*  5 */ virtual int GetInputCount(int16_t* count) = 0;
  /*  6 */ virtual int ReadProbes(uint16_t count, const uint8_t* inputs, ProbeInputRecord* records) = 0;
  /*  7 */ virtual int FindReferenceProbe(int32_t* referenceCode) = 0;
  /*  8 */ virtual int SetEngineType(int32_t type) = 0;
  // spark-ignition setters
  /*  9 */ virtual int SetSparkNumberCylinders(uint8_t value) = 0;
  /* 10 */ virtual int SetSparkNumberMarks(uint16_t value) = 0;
  /* 11 */ virtual int SetSparkMarkOffset(int16_t value) = 0;
  /* 12 */ virtual int SetSparkStroke(uint8_t value) = 0;
  /* 13 */ virtual int SetSparkSensitivity(uint8_t value) = 0;
  /* 14 */ virtual int SetSparkSpeedSensorType(int32_t value) = 0;
  /* 15 */ virtual int SetSparkCoilType(int32_t value) = 0;
  /* 16 */ virtual int SetSparkHiVoltageTypeProbe(int32_t value) = 0;
  /* 17 */ virtual int SetSparkPolarityHVProbes(uint32_t value) = 0;  // four bytes, probe 1 lowest
  // diesel setters
  /* 18 */ virtual int SetDieselNumberCylinders(uint8_t value) = 0;
  /* 19 */ virtual int SetDieselNumberMarks(uint16_t value) = 0;
  /* 20 */ virtual int SetDieselMarkOffset(int16_t value) = 0;
  /* 21 */ virtual int SetDieselStroke(uint8_t value) = 0;
  /* 22 */ virtual int SetDieselComparativeLevel(uint8_t value) = 0;
  /* 23 */ virtual int SetDieselPressureSensorType(int32_t value) = 0;
  /* 24 */ virtual int SetDieselSensitivity(int32_t value) = 0;
  /* 25 */ virtual int SetDieselSpeedSensorType(int32_t value) = 0;
  /* 26 */ virtual int GetEngineType(int32_t* type) = 0;
  // spark-ignition getters
  /* 27 */ virtual int GetSparkNumberCylinders(uint8_t* value) = 0;
  /* 28 */ virtual int GetSparkNumberMarks(uint16_t* value) = 0;
  /* 29 */ virtual int GetSparkMarkOffset(int16_t* value) = 0;
  /* 30 */ virtual int GetSparkStroke(uint8_t* value) = 0;
  /* 31 */ virtual int GetSparkSensitivity(uint8_t* value) = 0;
  /* 32 */ virtual int GetSparkSpeedSensorType(int32_t* value) = 0;
  /* 33 */ virtual int GetSparkCoilType(int32_t* value) = 0;
  /* 34 */ virtual int GetSparkHiVoltageTypeProbe(int32_t* value) = 0;
  /* 35 */ virtual int GetSparkPolarityHVProbes(uint32_t* value) = 0;
  // diesel getters
  /* 36 */ virtual int GetDieselNumberCylinders(uint8_t* value) = 0;
  /* 37 */ virtual int GetDieselNumberMarks(uint16_t* value) = 0;
  /* 38 */ virtual int GetDieselMarkOffset(int16_t* value) = 0;
  /* 39 */ virtual int GetDieselStroke(uint8_t* value) = 0;
  /* 40 */ virtual int GetDieselComparativeLevel(uint8_t* value) = 0;
  /* 41 */ virtual int GetDieselPressureSensorType(int32_t* value) = 0;
  /* 42 */ virtual int GetDieselSensitivity(uint8_t* value) = 0;  // writes one byte
  /* 43 */ virtual int GetDieselSpeedSensorType(int32_t* value) = 0;
  /* 44 */ virtual int Measure() = 0;  // automatic polarity detection of the high-voltage probes
  /* 45 */ virtual int WaitReady() = 0;
  KV310_INTERFACE_BASE(IMotortester_6)
};

// id 7: the engine-tester board's oscilloscope.
class IMTOscilloscope_7 {
 public:
  /*  0 */ virtual int Init() = 0;
  /*  1 */ virtual int GetSampleRateCount(uint16_t* count) = 0;
  /*  2 */ virtual int GetSampleRates(uint16_t count, int32_t* rates) = 0;
  /*  3 */ virtual int GetSampleRate(int32_t* rate) = 0;
  /*  4 */ virtual int GetSampleRateIndex(uint16_t* index) = 0;
  /*  5 */ virtual int SetSampleRateIndex(uint16_t index) = 0;
  /*  6 */ virtual int GetAngleRateCount(uint16_t* count) = 0;
  /*  7 */ virtual int GetAngleRates(uint16_t count, ScaledValue* rates) = 0;
  /*  8 */ virtual int GetAngleRate(ScaledValue* rate) = 0;
  /*  9 */ virtual int GetAngleRateIndex(uint16_t* index) = 0;
  /* 10 */ virtual int SetAngleRateIndex(uint16_t index) = 0;
  /* 11 */ virtual int GetChannelCount(uint16_t* count) = 0;
  /* 12 */ virtual int GetRangeCount(uint16_t channel, uint16_t* count) = 0;
  /* 13 */ virtual int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) = 0;
  /* 14 */ virtual int GetRange(uint16_t channel, ScaledValue* range) = 0;
  /* 15 */ virtual int GetRangeIndex(uint16_t channel, uint16_t* index) = 0;
  /* 16 */ virtual int SetRangeIndex(uint16_t channel, uint16_t index) = 0;
  /* 17 */ virtual int GetChannelMode(uint16_t channel, int32_t* mode) = 0;
  /* 18 */ virtual int SetChannelMode(uint16_t channel, int32_t mode) = 0;
  /* 19 */ virtual int GetProbeFactor(uint16_t channel, uint16_t* inputCount) = 0;
  /* 20 */ virtual int SetProbe(uint16_t channel, ChannelProbeRecord* records) = 0;
  /* 21 */ virtual int GetProbeFlag(uint16_t channel, uint8_t* input) = 0;
  /* 22 */ virtual int SetProbeFlag(uint16_t channel, uint8_t input) = 0;
  /* 23 */ virtual int GetTriggerPositionLimits(int32_t* minimum, int32_t* maximum) = 0;
  /* 24 */ virtual int GetTriggerPosition(uint32_t* position) = 0;
  /* 25 */ virtual int SetTriggerPosition(uint32_t position) = 0;
  /* 26 */ virtual int GetTriggerLevel(ScaledValue* level) = 0;
  /* 27 */ virtual int SetTriggerLevel(ScaledValue level) = 0;
  /* 28 */ virtual int GetTriggerMode(int32_t* mode) = 0;
  /* 29 */ virtual int SetTriggerMode(int32_t mode) = 0;
  /* 30 */ virtual int GetTriggerEdge(int32_t* edge) = 0;
  /* 31 */ virtual int SetTriggerEdge(int32_t edge) = 0;
  /* 32 */ virtual int GetTriggerSource(int32_t* source, uint16_t* channel) = 0;
  /* 33 */ virtual int SetTriggerSource(int32_t source, uint16_t channel) = 0;
  /* 34 */ virtual int GetTriggerFilter(int32_t* filter) = 0;
  /* 35 */ virtual int SetTriggerFilter(int32_t filter) = 0;
  /* 36 */ virtual int GetTriggerSensitivity(ScaledValue* sensitivity) = 0;
  /* 37 */ virtual int SetTriggerSensitivity(ScaledValue sensitivity) = 0;
  /* 38 */ virtual int Rearm() = 0;
  /* 39 */ virtual int ToggleOption() = 0;
  /* 40 */ virtual int GetAcquisitionMode(int32_t* mode) = 0;
  /* 41 */ virtual int SetAcquisitionMode(int32_t mode) = 0;
  /* 42 */ virtual int SetAll(MTOscSettings settings) = 0;
  /* 43 */ virtual int GetAll(MTOscSettings* settings, uint16_t channelCount, OscChannelSetting* channels) = 0;
  /* 44 */ virtual int GetRecordLength(int32_t* length) = 0;
  /* 45 */ virtual int StartMeasurement(uint32_t count) = 0;
  /* 46 */ virtual int GetData() = 0;
  /* 47 */ virtual int GetTimeInfo(OscTimeInfo* info) = 0;
  /* 48 */ virtual int GetChannelInfo(uint16_t channel, OscChannelInfo* info) = 0;
  /* 49 */ virtual int GetSamples(uint16_t channel, uint32_t count, int16_t* samples) = 0;
  /* 50 */ virtual int GetCylinderInfo(uint16_t* cylinders) = 0;
  /* 51 */ virtual int GetEngineSamples(int16_t cylinder, uint32_t length, EngineSampleRecord* records) = 0;
  /* 52 */ virtual int GetMeasurements(OscMeasurements* measurements) = 0;
  /* 53 */ virtual int GetEngineSpeed(MeasuredValue* speed) = 0;
  /* 54 */ virtual int CheckSettings() = 0;
  /* 55 */ virtual int StopMeasurement(uint32_t* recordedCount) = 0;
  /* 56 */ virtual int WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) = 0;
  /* 57 */ virtual int ReadSaturationData(uint16_t channel, int16_t* positiveLimit, int16_t* negativeLimit) = 0;
  /* 58 */ virtual int ConvertValue(uint16_t channel, uint16_t rangeIndex, ProbeDescriptor probe,
                                    int16_t* positiveLimit, int16_t* negativeLimit) = 0;
  /* 59 */ virtual int GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) = 0;
  KV310_INTERFACE_BASE(IMTOscilloscope_7)
};

// id 8: the engine-tester board's voltage and current meter.
class IMTVoltmeter_8 {
 public:
  /*  0 */ virtual int GetChannelCount(uint16_t* count) = 0;
  /*  1 */ virtual int GetRangeCount(uint16_t channel, uint16_t* count) = 0;
  /*  2 */ virtual int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) = 0;
  /*  3 */ virtual int GetRange(uint16_t channel, ScaledValue* range) = 0;
  /*  4 */ virtual int GetRangeIndex(uint16_t channel, uint16_t* index) = 0;
  /*  5 */ virtual int GetAutoRangeIndex() = 0;  // 0xFFFF
  /*  6 */ virtual int SetRangeIndex(uint16_t channel, uint16_t index) = 0;
  /*  7 */ virtual int GetMode(int32_t* mode) = 0;
  /*  8 */ virtual int SetMode(int32_t mode) = 0;
  /*  9 */ virtual int ReadProbe(uint16_t channel, ProbeDescriptor* probe) = 0;
  /* 10 */ virtual int GetInputCount(uint16_t channel, uint16_t* count) = 0;
  /* 11 */ virtual int ReadChannelProbes(uint16_t channel, ChannelProbeRecord* records) = 0;
  /* 12 */ virtual int SelectChannelInput(uint16_t channel, uint8_t slot) = 0;
  /* 13 */ virtual int Measure(uint16_t channel, VoltmeterReading* reading) = 0;
  /* 14 */ virtual int MeasureRms(uint16_t channel, VoltmeterReading* reading) = 0;
  /* 15 */ virtual int ReadStatistics(DualVoltmeterReading* reading) = 0;
  /* 16 */ virtual int ReadStatisticsRms(DualVoltmeterReading* reading) = 0;
  /* 17 */ virtual int GetEngineSpeed(MeasuredValue* speed) = 0;
  /* 18 */ virtual int StartSampling() = 0;
  /* 19 */ virtual int ReadSampling(int16_t* values) = 0;
  KV310_INTERFACE_BASE(IMTVoltmeter_8)
};

// id 9: the engine-tester board's ohmmeter.
class IMTOhmmeter_9 {
 public:
  /* 0 */ virtual int GetRangeCount(uint16_t* count) = 0;
  /* 1 */ virtual int GetRanges(uint16_t count, ScaledValue* ranges) = 0;
  /* 2 */ virtual int GetRange(ScaledValue* range) = 0;
  /* 3 */ virtual int GetRangeIndex(uint16_t* index) = 0;
  /* 4 */ virtual int GetAutoRangeIndex() = 0;  // 0xFFFF
  /* 5 */ virtual int SetRangeIndex(uint16_t index) = 0;
  /* 6 */ virtual int Measure(OhmReading* reading) = 0;
  KV310_INTERFACE_BASE(IMTOhmmeter_9)
};

// id 10: the engine-tester board's diode test.
class IMTDiodeTest_10 {
 public:
  /* 0 */ virtual int GetRange(ScaledValue* range) = 0;
  /* 1 */ virtual int Configure() = 0;
  /* 2 */ virtual int Measure(DiodeReading* reading) = 0;
  KV310_INTERFACE_BASE(IMTDiodeTest_10)
};

// id 11: advance meter.
class IMTAdvancemeter_11 {
 public:
  /* 0 */ virtual int GetProbeKind(int32_t* probeClass) = 0;
  /* 1 */ virtual int GetTemperatureSensorClass(int32_t* probeClass) = 0;
  /* 2 */ virtual int GetProbeCount(uint16_t* count) = 0;
  /* 3 */ virtual int GetProbes(uint16_t count, ProbeDescriptor* probes) = 0;
  /* 4 */ virtual int SelectProbe(int32_t kind) = 0;
  /* 5 */ virtual int ReadProbes(ProbeDescriptor* advanceProbe, ProbeDescriptor* speedSensor,
                                 ProbeDescriptor* temperatureSensor) = 0;
  /* 6 */ virtual int Measure(AdvanceReading* reading) = 0;
  KV310_INTERFACE_BASE(IMTAdvancemeter_11)
};

// id 12: engine speed and temperature meter.
class IMTTemperaturemeter_12 {
 public:
  /* 0 */ virtual int GetTemperatureSensorClass(int32_t* probeClass) = 0;
  /* 1 */ virtual int ReadProbes(ProbeDescriptor* temperatureSensor, ProbeDescriptor* speedSensor) = 0;
  /* 2 */ virtual int Measure(SpeedTemperatureReading* reading) = 0;
  KV310_INTERFACE_BASE(IMTTemperaturemeter_12)
};

// id 13: dwell-angle meter.
class IMTDwellanglemeter_13 {
 public:
  /* 0 */ virtual int GetChannelCount(uint16_t* count) = 0;
  /* 1 */ virtual int SelectInput(uint16_t input) = 0;
  /* 2 */ virtual int ReadProbes(ProbeDescriptor* dwellInput, ProbeDescriptor* temperatureSensor) = 0;
  /* 3 */ virtual int Measure(DwellReading* reading) = 0;
  KV310_INTERFACE_BASE(IMTDwellanglemeter_13)
};

// id 14: high-voltage meter (ignition secondary voltage per cylinder).
class IMTHiVoltage_14 {
 public:
  /* 0 */ virtual int ReadProbe(ProbeDescriptor* probe) = 0;
  /* 1 */ virtual int GetMode(int32_t* mode) = 0;
  /* 2 */ virtual int SetMode(int32_t mode) = 0;
  /* 3 */ virtual int Rearm() = 0;
  /* 4 */ virtual int TogglePolarity() = 0;
  /* 5 */ virtual int Arm() = 0;
  /* 6 */ virtual int ReadFrame() = 0;
  /* 7 */ virtual int GetCylinderRecordCount(uint16_t* count) = 0;
  /* 8 */ virtual int GetCylinderValues(uint16_t cylinder, CylinderValue* values) = 0;
  /* 9 */ virtual int GetEngineSpeed(MeasuredValue* speed) = 0;
  KV310_INTERFACE_BASE(IMTHiVoltage_14)
};

// id 15: leak test (relative compression per cylinder).
class IMTLeakTest_15 {
 public:
  /* 0 */ virtual int SelectInput(uint8_t input) = 0;
  /* 1 */ virtual int GetInput(uint8_t* input) = 0;
  /* 2 */ virtual int ReadProbe(ProbeDescriptor* probe) = 0;
  /* 3 */ virtual int Start() = 0;
  /* 4 */ virtual int Read(uint8_t count, float* results) = 0;
  KV310_INTERFACE_BASE(IMTLeakTest_15)
};

#undef KV310_INTERFACE_BASE
