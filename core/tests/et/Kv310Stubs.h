// Stand-ins for the measurement library's interfaces in the engine-tester data tests: every
// operation succeeds (returns 0, false or null) and writes nothing. A test derives from one and
// overrides what it scripts.
#pragma once

#include <kv310/Interfaces.h>

namespace ettest {

class StubCommunication_1 : public ICommunication_1 {
 public:
  HANDLE GetIdleEvent() override { return {}; }
  int GetState() override { return {}; }
  int Open() override { return {}; }
  int Close() override { return {}; }
  int Start() override { return {}; }
  int Stop() override { return {}; }
  int Recover() override { return {}; }
  int AbortRead() override { return {}; }
  int WaitIdle() override { return {}; }
  int SetNotification(HWND window, UINT replyMessage, UINT errorMessage) override { return {}; }
};

class StubOscilloscope_2 : public IOscilloscope_2 {
 public:
  int Init() override { return {}; }
  int GetSampleRateCount(uint16_t* count) override { return {}; }
  int GetSampleRates(uint16_t count, int32_t* rates) override { return {}; }
  int GetSampleRate(int32_t* rate) override { return {}; }
  int GetSampleRateIndex(uint16_t* index) override { return {}; }
  int SetSampleRateIndex(uint16_t index) override { return {}; }
  int GetChannelCount(uint16_t* count) override { return {}; }
  int GetRangeCount(uint16_t channel, uint16_t* count) override { return {}; }
  int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) override { return {}; }
  int GetRange(uint16_t channel, ScaledValue* range) override { return {}; }
  int GetRangeIndex(uint16_t channel, uint16_t* index) override { return {}; }
  int SetRangeIndex(uint16_t channel, uint16_t index) override { return {}; }
  int GetChannelMode(uint16_t channel, int32_t* mode) override { return {}; }
  int SetChannelMode(uint16_t channel, int32_t mode) override { return {}; }
  int GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) override { return {}; }
  int GetTriggerPositionLimits(int32_t* minimum, int32_t* maximum) override { return {}; }
  int GetTriggerPosition(uint32_t* position) override { return {}; }
  int SetTriggerPosition(uint32_t position) override { return {}; }
  int GetTriggerLevel(ScaledValue* level) override { return {}; }
  int SetTriggerLevel(ScaledValue level) override { return {}; }
  int GetTriggerMode(int32_t* mode) override { return {}; }
  int SetTriggerMode(int32_t mode) override { return {}; }
  int GetTriggerEdge(int32_t* edge) override { return {}; }
  int SetTriggerEdge(int32_t edge) override { return {}; }
  int GetTriggerSource(int32_t* source, uint16_t* channel) override { return {}; }
  int SetTriggerSource(int32_t source, uint16_t channel) override { return {}; }
  int GetTriggerFilter(int32_t* filter) override { return {}; }
  int SetTriggerFilter(int32_t filter) override { return {}; }
  int GetTriggerSensitivity(ScaledValue* sensitivity) override { return {}; }
  int SetTriggerSensitivity(ScaledValue sensitivity) override { return {}; }
  int GetAcquisitionMode(int32_t* mode) override { return {}; }
  int SetAcquisitionMode(int32_t mode) override { return {}; }
  int SetAll(OscSettings settings) override { return {}; }
  int GetAll(OscSettings* settings, uint16_t channelCount, OscChannelSetting* channels) override { return {}; }
  int GetRecordLength(int32_t* length) override { return {}; }
  int StartMeasurement(uint32_t count) override { return {}; }
  int GetData() override { return {}; }
  int GetTimeInfo(OscTimeInfo* info) override { return {}; }
  int GetChannelInfo(uint16_t channel, OscChannelInfo* info) override { return {}; }
  int GetSamples(uint16_t channel, uint32_t count, int16_t* samples) override { return {}; }
  int GetMeasurements(OscMeasurements* measurements) override { return {}; }
  int CheckSettings() override { return {}; }
  int StopMeasurement(uint32_t* recordedCount) override { return {}; }
  int WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) override { return {}; }
  int ReadSaturationData(uint16_t channel, int16_t* positiveLimit, int16_t* negativeLimit) override { return {}; }
  int ConvertValue(uint16_t channel, uint16_t rangeIndex, ProbeDescriptor probe, int16_t* positiveLimit, int16_t* negativeLimit) override { return {}; }
};

class StubMotortester_6 : public IMotortester_6 {
 public:
  int Detect() override { return {}; }
  int SetAllParams(EngineParameterBlock block) override { return {}; }
  int GetAllParams(EngineParameterBlock* block) override { return {}; }
  int GetDefaultParams(EngineParameterBlock* block) override { return {}; }
  bool IsReady() override { return {}; }
  int GetInputCount(int16_t* count) override { return {}; }
  int ReadProbes(uint16_t count, const uint8_t* inputs, ProbeInputRecord* records) override { return {}; }
  int FindReferenceProbe(int32_t* referenceCode) override { return {}; }
  int SetEngineType(int32_t type) override { return {}; }
  int SetSparkNumberCylinders(uint8_t value) override { return {}; }
  int SetSparkNumberMarks(uint16_t value) override { return {}; }
  int SetSparkMarkOffset(int16_t value) override { return {}; }
  int SetSparkStroke(uint8_t value) override { return {}; }
  int SetSparkSensitivity(uint8_t value) override { return {}; }
  int SetSparkSpeedSensorType(int32_t value) override { return {}; }
  int SetSparkCoilType(int32_t value) override { return {}; }
  int SetSparkHiVoltageTypeProbe(int32_t value) override { return {}; }
  int SetSparkPolarityHVProbes(uint32_t value) override { return {}; }
  int SetDieselNumberCylinders(uint8_t value) override { return {}; }
  int SetDieselNumberMarks(uint16_t value) override { return {}; }
  int SetDieselMarkOffset(int16_t value) override { return {}; }
  int SetDieselStroke(uint8_t value) override { return {}; }
  int SetDieselComparativeLevel(uint8_t value) override { return {}; }
  int SetDieselPressureSensorType(int32_t value) override { return {}; }
  int SetDieselSensitivity(int32_t value) override { return {}; }
  int SetDieselSpeedSensorType(int32_t value) override { return {}; }
  int GetEngineType(int32_t* type) override { return {}; }
  int GetSparkNumberCylinders(uint8_t* value) override { return {}; }
  int GetSparkNumberMarks(uint16_t* value) override { return {}; }
  int GetSparkMarkOffset(int16_t* value) override { return {}; }
  int GetSparkStroke(uint8_t* value) override { return {}; }
  int GetSparkSensitivity(uint8_t* value) override { return {}; }
  int GetSparkSpeedSensorType(int32_t* value) override { return {}; }
  int GetSparkCoilType(int32_t* value) override { return {}; }
  int GetSparkHiVoltageTypeProbe(int32_t* value) override { return {}; }
  int GetSparkPolarityHVProbes(uint32_t* value) override { return {}; }
  int GetDieselNumberCylinders(uint8_t* value) override { return {}; }
  int GetDieselNumberMarks(uint16_t* value) override { return {}; }
  int GetDieselMarkOffset(int16_t* value) override { return {}; }
  int GetDieselStroke(uint8_t* value) override { return {}; }
  int GetDieselComparativeLevel(uint8_t* value) override { return {}; }
  int GetDieselPressureSensorType(int32_t* value) override { return {}; }
  int GetDieselSensitivity(uint8_t* value) override { return {}; }
  int GetDieselSpeedSensorType(int32_t* value) override { return {}; }
  int Measure() override { return {}; }
  int WaitReady() override { return {}; }
};

class StubMTVoltmeter_8 : public IMTVoltmeter_8 {
 public:
  int GetChannelCount(uint16_t* count) override { return {}; }
  int GetRangeCount(uint16_t channel, uint16_t* count) override { return {}; }
  int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) override { return {}; }
  int GetRange(uint16_t channel, ScaledValue* range) override { return {}; }
  int GetRangeIndex(uint16_t channel, uint16_t* index) override { return {}; }
  int GetAutoRangeIndex() override { return {}; }
  int SetRangeIndex(uint16_t channel, uint16_t index) override { return {}; }
  int GetMode(int32_t* mode) override { return {}; }
  int SetMode(int32_t mode) override { return {}; }
  int ReadProbe(uint16_t channel, ProbeDescriptor* probe) override { return {}; }
  int GetInputCount(uint16_t channel, uint16_t* count) override { return {}; }
  int ReadChannelProbes(uint16_t channel, ChannelProbeRecord* records) override { return {}; }
  int SelectChannelInput(uint16_t channel, uint8_t slot) override { return {}; }
  int Measure(uint16_t channel, VoltmeterReading* reading) override { return {}; }
  int MeasureRms(uint16_t channel, VoltmeterReading* reading) override { return {}; }
  int ReadStatistics(DualVoltmeterReading* reading) override { return {}; }
  int ReadStatisticsRms(DualVoltmeterReading* reading) override { return {}; }
  int GetEngineSpeed(MeasuredValue* speed) override { return {}; }
  int StartSampling() override { return {}; }
  int ReadSampling(int16_t* values) override { return {}; }
};

class StubMTAdvancemeter_11 : public IMTAdvancemeter_11 {
 public:
  int GetProbeKind(int32_t* probeClass) override { return {}; }
  int GetTemperatureSensorClass(int32_t* probeClass) override { return {}; }
  int GetProbeCount(uint16_t* count) override { return {}; }
  int GetProbes(uint16_t count, ProbeDescriptor* probes) override { return {}; }
  int SelectProbe(int32_t kind) override { return {}; }
  int ReadProbes(ProbeDescriptor* advanceProbe, ProbeDescriptor* speedSensor, ProbeDescriptor* temperatureSensor) override { return {}; }
  int Measure(AdvanceReading* reading) override { return {}; }
};

class StubMTTemperaturemeter_12 : public IMTTemperaturemeter_12 {
 public:
  int GetTemperatureSensorClass(int32_t* probeClass) override { return {}; }
  int ReadProbes(ProbeDescriptor* temperatureSensor, ProbeDescriptor* speedSensor) override { return {}; }
  int Measure(SpeedTemperatureReading* reading) override { return {}; }
};

class StubMTDwellanglemeter_13 : public IMTDwellanglemeter_13 {
 public:
  int GetChannelCount(uint16_t* count) override { return {}; }
  int SelectInput(uint16_t input) override { return {}; }
  int ReadProbes(ProbeDescriptor* dwellInput, ProbeDescriptor* temperatureSensor) override { return {}; }
  int Measure(DwellReading* reading) override { return {}; }
};

}  // namespace ettest
