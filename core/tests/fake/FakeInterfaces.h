// Recording stand-ins for the sixteen instrument interfaces: every operation is logged by
// (interface id, slot), answers a queued or standing result when the test set one, and otherwise
// runs the Do_ hook of the same name, which the fake library's behaviour overrides (the default
// answers 0 and leaves the outputs alone). The slots follow <kv310/Interfaces.h>.
#pragma once

#include "FakeControl.h"

#include <kv310/Interfaces.h>

namespace fake {

class GenIInfo_0 : public IInfo_0 {
 public:
  int GetVersion(uint16_t* major, uint16_t* buildHigh, uint16_t* buildLow) override {
    int rc = 0;
    if (Control().Intercept(0, 0, rc)) return rc;
    return Do_GetVersion(major, buildHigh, buildLow);
  }
  const char* GetBoardName() override {
    Control().Log(0, 1);
    return Do_GetBoardName();
  }
  const char* GetMotortesterName() override {
    Control().Log(0, 2);
    return Do_GetMotortesterName();
  }
  int GetBoardStatus(uint8_t* hardwareType) override {
    int rc = 0;
    if (Control().Intercept(0, 3, rc)) return rc;
    return Do_GetBoardStatus(hardwareType);
  }
 protected:
  virtual int Do_GetVersion(uint16_t*, uint16_t*, uint16_t*) { return 0; }
  virtual const char* Do_GetBoardName() { return {}; }
  virtual const char* Do_GetMotortesterName() { return {}; }
  virtual int Do_GetBoardStatus(uint8_t*) { return 0; }
};

class GenICommunication_1 : public ICommunication_1 {
 public:
  HANDLE GetIdleEvent() override {
    Control().Log(1, 0);
    return Do_GetIdleEvent();
  }
  int GetState() override {
    int rc = 0;
    if (Control().Intercept(1, 1, rc)) return rc;
    return Do_GetState();
  }
  int Open() override {
    int rc = 0;
    if (Control().Intercept(1, 2, rc)) return rc;
    return Do_Open();
  }
  int Close() override {
    int rc = 0;
    if (Control().Intercept(1, 3, rc)) return rc;
    return Do_Close();
  }
  int Start() override {
    int rc = 0;
    if (Control().Intercept(1, 4, rc)) return rc;
    return Do_Start();
  }
  int Stop() override {
    int rc = 0;
    if (Control().Intercept(1, 5, rc)) return rc;
    return Do_Stop();
  }
  int Recover() override {
    int rc = 0;
    if (Control().Intercept(1, 6, rc)) return rc;
    return Do_Recover();
  }
  int AbortRead() override {
    int rc = 0;
    if (Control().Intercept(1, 7, rc)) return rc;
    return Do_AbortRead();
  }
  int WaitIdle() override {
    int rc = 0;
    if (Control().Intercept(1, 8, rc)) return rc;
    return Do_WaitIdle();
  }
  int SetNotification(HWND window, UINT replyMessage, UINT errorMessage) override {
    int rc = 0;
    if (Control().Intercept(1, 9, rc)) return rc;
    return Do_SetNotification(window, replyMessage, errorMessage);
  }
 protected:
  virtual HANDLE Do_GetIdleEvent() { return {}; }
  virtual int Do_GetState() { return 0; }
  virtual int Do_Open() { return 0; }
  virtual int Do_Close() { return 0; }
  virtual int Do_Start() { return 0; }
  virtual int Do_Stop() { return 0; }
  virtual int Do_Recover() { return 0; }
  virtual int Do_AbortRead() { return 0; }
  virtual int Do_WaitIdle() { return 0; }
  virtual int Do_SetNotification(HWND, UINT, UINT) { return 0; }
};

class GenIOscilloscope_2 : public IOscilloscope_2 {
 public:
  int Init() override {
    int rc = 0;
    if (Control().Intercept(2, 0, rc)) return rc;
    return Do_Init();
  }
  int GetSampleRateCount(uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(2, 1, rc)) return rc;
    return Do_GetSampleRateCount(count);
  }
  int GetSampleRates(uint16_t count, int32_t* rates) override {
    int rc = 0;
    if (Control().Intercept(2, 2, rc)) return rc;
    return Do_GetSampleRates(count, rates);
  }
  int GetSampleRate(int32_t* rate) override {
    int rc = 0;
    if (Control().Intercept(2, 3, rc)) return rc;
    return Do_GetSampleRate(rate);
  }
  int GetSampleRateIndex(uint16_t* index) override {
    int rc = 0;
    if (Control().Intercept(2, 4, rc)) return rc;
    return Do_GetSampleRateIndex(index);
  }
  int SetSampleRateIndex(uint16_t index) override {
    int rc = 0;
    if (Control().Intercept(2, 5, rc)) return rc;
    return Do_SetSampleRateIndex(index);
  }
  int GetChannelCount(uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(2, 6, rc)) return rc;
    return Do_GetChannelCount(count);
  }
  int GetRangeCount(uint16_t channel, uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(2, 7, rc)) return rc;
    return Do_GetRangeCount(channel, count);
  }
  int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) override {
    int rc = 0;
    if (Control().Intercept(2, 8, rc)) return rc;
    return Do_GetRanges(channel, count, ranges);
  }
  int GetRange(uint16_t channel, ScaledValue* range) override {
    int rc = 0;
    if (Control().Intercept(2, 9, rc)) return rc;
    return Do_GetRange(channel, range);
  }
  int GetRangeIndex(uint16_t channel, uint16_t* index) override {
    int rc = 0;
    if (Control().Intercept(2, 10, rc)) return rc;
    return Do_GetRangeIndex(channel, index);
  }
  int SetRangeIndex(uint16_t channel, uint16_t index) override {
    int rc = 0;
    if (Control().Intercept(2, 11, rc)) return rc;
    return Do_SetRangeIndex(channel, index);
  }
  int GetChannelMode(uint16_t channel, int32_t* mode) override {
    int rc = 0;
    if (Control().Intercept(2, 12, rc)) return rc;
    return Do_GetChannelMode(channel, mode);
  }
  int SetChannelMode(uint16_t channel, int32_t mode) override {
    int rc = 0;
    if (Control().Intercept(2, 13, rc)) return rc;
    return Do_SetChannelMode(channel, mode);
  }
  int GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) override {
    int rc = 0;
    if (Control().Intercept(2, 14, rc)) return rc;
    return Do_GetProbeInfo(channel, probe);
  }
  int GetTriggerPositionLimits(int32_t* minimum, int32_t* maximum) override {
    int rc = 0;
    if (Control().Intercept(2, 15, rc)) return rc;
    return Do_GetTriggerPositionLimits(minimum, maximum);
  }
  int GetTriggerPosition(uint32_t* position) override {
    int rc = 0;
    if (Control().Intercept(2, 16, rc)) return rc;
    return Do_GetTriggerPosition(position);
  }
  int SetTriggerPosition(uint32_t position) override {
    int rc = 0;
    if (Control().Intercept(2, 17, rc)) return rc;
    return Do_SetTriggerPosition(position);
  }
  int GetTriggerLevel(ScaledValue* level) override {
    int rc = 0;
    if (Control().Intercept(2, 18, rc)) return rc;
    return Do_GetTriggerLevel(level);
  }
  int SetTriggerLevel(ScaledValue level) override {
    int rc = 0;
    if (Control().Intercept(2, 19, rc)) return rc;
    return Do_SetTriggerLevel(level);
  }
  int GetTriggerMode(int32_t* mode) override {
    int rc = 0;
    if (Control().Intercept(2, 20, rc)) return rc;
    return Do_GetTriggerMode(mode);
  }
  int SetTriggerMode(int32_t mode) override {
    int rc = 0;
    if (Control().Intercept(2, 21, rc)) return rc;
    return Do_SetTriggerMode(mode);
  }
  int GetTriggerEdge(int32_t* edge) override {
    int rc = 0;
    if (Control().Intercept(2, 22, rc)) return rc;
    return Do_GetTriggerEdge(edge);
  }
  int SetTriggerEdge(int32_t edge) override {
    int rc = 0;
    if (Control().Intercept(2, 23, rc)) return rc;
    return Do_SetTriggerEdge(edge);
  }
  int GetTriggerSource(int32_t* source, uint16_t* channel) override {
    int rc = 0;
    if (Control().Intercept(2, 24, rc)) return rc;
    return Do_GetTriggerSource(source, channel);
  }
  int SetTriggerSource(int32_t source, uint16_t channel) override {
    int rc = 0;
    if (Control().Intercept(2, 25, rc)) return rc;
    return Do_SetTriggerSource(source, channel);
  }
  int GetTriggerFilter(int32_t* filter) override {
    int rc = 0;
    if (Control().Intercept(2, 26, rc)) return rc;
    return Do_GetTriggerFilter(filter);
  }
  int SetTriggerFilter(int32_t filter) override {
    int rc = 0;
    if (Control().Intercept(2, 27, rc)) return rc;
    return Do_SetTriggerFilter(filter);
  }
  int GetTriggerSensitivity(ScaledValue* sensitivity) override {
    int rc = 0;
    if (Control().Intercept(2, 28, rc)) return rc;
    return Do_GetTriggerSensitivity(sensitivity);
  }
  int SetTriggerSensitivity(ScaledValue sensitivity) override {
    int rc = 0;
    if (Control().Intercept(2, 29, rc)) return rc;
    return Do_SetTriggerSensitivity(sensitivity);
  }
  int GetAcquisitionMode(int32_t* mode) override {
    int rc = 0;
    if (Control().Intercept(2, 30, rc)) return rc;
    return Do_GetAcquisitionMode(mode);
  }
  int SetAcquisitionMode(int32_t mode) override {
    int rc = 0;
    if (Control().Intercept(2, 31, rc)) return rc;
    return Do_SetAcquisitionMode(mode);
  }
  int SetAll(OscSettings settings) override {
    int rc = 0;
    if (Control().Intercept(2, 32, rc)) return rc;
    return Do_SetAll(settings);
  }
  int GetAll(OscSettings* settings, uint16_t channelCount, OscChannelSetting* channels) override {
    int rc = 0;
    if (Control().Intercept(2, 33, rc)) return rc;
    return Do_GetAll(settings, channelCount, channels);
  }
  int GetRecordLength(int32_t* length) override {
    int rc = 0;
    if (Control().Intercept(2, 34, rc)) return rc;
    return Do_GetRecordLength(length);
  }
  int StartMeasurement(uint32_t count) override {
    int rc = 0;
    if (Control().Intercept(2, 35, rc)) return rc;
    return Do_StartMeasurement(count);
  }
  int GetData() override {
    int rc = 0;
    if (Control().Intercept(2, 36, rc)) return rc;
    return Do_GetData();
  }
  int GetTimeInfo(OscTimeInfo* info) override {
    int rc = 0;
    if (Control().Intercept(2, 37, rc)) return rc;
    return Do_GetTimeInfo(info);
  }
  int GetChannelInfo(uint16_t channel, OscChannelInfo* info) override {
    int rc = 0;
    if (Control().Intercept(2, 38, rc)) return rc;
    return Do_GetChannelInfo(channel, info);
  }
  int GetSamples(uint16_t channel, uint32_t count, int16_t* samples) override {
    int rc = 0;
    if (Control().Intercept(2, 39, rc)) return rc;
    return Do_GetSamples(channel, count, samples);
  }
  int GetMeasurements(OscMeasurements* measurements) override {
    int rc = 0;
    if (Control().Intercept(2, 40, rc)) return rc;
    return Do_GetMeasurements(measurements);
  }
  int CheckSettings() override {
    int rc = 0;
    if (Control().Intercept(2, 41, rc)) return rc;
    return Do_CheckSettings();
  }
  int StopMeasurement(uint32_t* recordedCount) override {
    int rc = 0;
    if (Control().Intercept(2, 42, rc)) return rc;
    return Do_StopMeasurement(recordedCount);
  }
  int WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) override {
    int rc = 0;
    if (Control().Intercept(2, 43, rc)) return rc;
    return Do_WaitData(capacity, samples, count, done);
  }
  int ReadSaturationData(uint16_t channel, int16_t* positiveLimit, int16_t* negativeLimit) override {
    int rc = 0;
    if (Control().Intercept(2, 44, rc)) return rc;
    return Do_ReadSaturationData(channel, positiveLimit, negativeLimit);
  }
  int ConvertValue(uint16_t channel, uint16_t rangeIndex, ProbeDescriptor probe, int16_t* positiveLimit, int16_t* negativeLimit) override {
    int rc = 0;
    if (Control().Intercept(2, 45, rc)) return rc;
    return Do_ConvertValue(channel, rangeIndex, probe, positiveLimit, negativeLimit);
  }
 protected:
  virtual int Do_Init() { return 0; }
  virtual int Do_GetSampleRateCount(uint16_t*) { return 0; }
  virtual int Do_GetSampleRates(uint16_t, int32_t*) { return 0; }
  virtual int Do_GetSampleRate(int32_t*) { return 0; }
  virtual int Do_GetSampleRateIndex(uint16_t*) { return 0; }
  virtual int Do_SetSampleRateIndex(uint16_t) { return 0; }
  virtual int Do_GetChannelCount(uint16_t*) { return 0; }
  virtual int Do_GetRangeCount(uint16_t, uint16_t*) { return 0; }
  virtual int Do_GetRanges(uint16_t, uint16_t, ScaledValue*) { return 0; }
  virtual int Do_GetRange(uint16_t, ScaledValue*) { return 0; }
  virtual int Do_GetRangeIndex(uint16_t, uint16_t*) { return 0; }
  virtual int Do_SetRangeIndex(uint16_t, uint16_t) { return 0; }
  virtual int Do_GetChannelMode(uint16_t, int32_t*) { return 0; }
  virtual int Do_SetChannelMode(uint16_t, int32_t) { return 0; }
  virtual int Do_GetProbeInfo(uint16_t, ProbeDescriptor*) { return 0; }
  virtual int Do_GetTriggerPositionLimits(int32_t*, int32_t*) { return 0; }
  virtual int Do_GetTriggerPosition(uint32_t*) { return 0; }
  virtual int Do_SetTriggerPosition(uint32_t) { return 0; }
  virtual int Do_GetTriggerLevel(ScaledValue*) { return 0; }
  virtual int Do_SetTriggerLevel(ScaledValue) { return 0; }
  virtual int Do_GetTriggerMode(int32_t*) { return 0; }
  virtual int Do_SetTriggerMode(int32_t) { return 0; }
  virtual int Do_GetTriggerEdge(int32_t*) { return 0; }
  virtual int Do_SetTriggerEdge(int32_t) { return 0; }
  virtual int Do_GetTriggerSource(int32_t*, uint16_t*) { return 0; }
  virtual int Do_SetTriggerSource(int32_t, uint16_t) { return 0; }
  virtual int Do_GetTriggerFilter(int32_t*) { return 0; }
  virtual int Do_SetTriggerFilter(int32_t) { return 0; }
  virtual int Do_GetTriggerSensitivity(ScaledValue*) { return 0; }
  virtual int Do_SetTriggerSensitivity(ScaledValue) { return 0; }
  virtual int Do_GetAcquisitionMode(int32_t*) { return 0; }
  virtual int Do_SetAcquisitionMode(int32_t) { return 0; }
  virtual int Do_SetAll(OscSettings) { return 0; }
  virtual int Do_GetAll(OscSettings*, uint16_t, OscChannelSetting*) { return 0; }
  virtual int Do_GetRecordLength(int32_t*) { return 0; }
  virtual int Do_StartMeasurement(uint32_t) { return 0; }
  virtual int Do_GetData() { return 0; }
  virtual int Do_GetTimeInfo(OscTimeInfo*) { return 0; }
  virtual int Do_GetChannelInfo(uint16_t, OscChannelInfo*) { return 0; }
  virtual int Do_GetSamples(uint16_t, uint32_t, int16_t*) { return 0; }
  virtual int Do_GetMeasurements(OscMeasurements*) { return 0; }
  virtual int Do_CheckSettings() { return 0; }
  virtual int Do_StopMeasurement(uint32_t*) { return 0; }
  virtual int Do_WaitData(uint32_t, int16_t*, uint32_t*, uint8_t*) { return 0; }
  virtual int Do_ReadSaturationData(uint16_t, int16_t*, int16_t*) { return 0; }
  virtual int Do_ConvertValue(uint16_t, uint16_t, ProbeDescriptor, int16_t*, int16_t*) { return 0; }
};

class GenIVoltmeter_3 : public IVoltmeter_3 {
 public:
  int GetChannelCount(uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(3, 0, rc)) return rc;
    return Do_GetChannelCount(count);
  }
  int GetRangeCount(uint16_t channel, uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(3, 1, rc)) return rc;
    return Do_GetRangeCount(channel, count);
  }
  int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) override {
    int rc = 0;
    if (Control().Intercept(3, 2, rc)) return rc;
    return Do_GetRanges(channel, count, ranges);
  }
  int GetRange(uint16_t channel, ScaledValue* range) override {
    int rc = 0;
    if (Control().Intercept(3, 3, rc)) return rc;
    return Do_GetRange(channel, range);
  }
  int GetRangeIndex(uint16_t channel, uint16_t* index) override {
    int rc = 0;
    if (Control().Intercept(3, 4, rc)) return rc;
    return Do_GetRangeIndex(channel, index);
  }
  int GetAutoRangeIndex() override {
    int rc = 0;
    if (Control().Intercept(3, 5, rc)) return rc;
    return Do_GetAutoRangeIndex();
  }
  int SetRangeIndex(uint16_t channel, uint16_t index) override {
    int rc = 0;
    if (Control().Intercept(3, 6, rc)) return rc;
    return Do_SetRangeIndex(channel, index);
  }
  int GetMode(int32_t* mode) override {
    int rc = 0;
    if (Control().Intercept(3, 7, rc)) return rc;
    return Do_GetMode(mode);
  }
  int SetMode(int32_t mode) override {
    int rc = 0;
    if (Control().Intercept(3, 8, rc)) return rc;
    return Do_SetMode(mode);
  }
  int ReadProbe(uint16_t channel, ProbeDescriptor* probe) override {
    int rc = 0;
    if (Control().Intercept(3, 9, rc)) return rc;
    return Do_ReadProbe(channel, probe);
  }
  int Measure(uint16_t channel, VoltmeterReading* reading) override {
    int rc = 0;
    if (Control().Intercept(3, 10, rc)) return rc;
    return Do_Measure(channel, reading);
  }
  int MeasureRms(uint16_t channel, VoltmeterReading* reading) override {
    int rc = 0;
    if (Control().Intercept(3, 11, rc)) return rc;
    return Do_MeasureRms(channel, reading);
  }
 protected:
  virtual int Do_GetChannelCount(uint16_t*) { return 0; }
  virtual int Do_GetRangeCount(uint16_t, uint16_t*) { return 0; }
  virtual int Do_GetRanges(uint16_t, uint16_t, ScaledValue*) { return 0; }
  virtual int Do_GetRange(uint16_t, ScaledValue*) { return 0; }
  virtual int Do_GetRangeIndex(uint16_t, uint16_t*) { return 0; }
  virtual int Do_GetAutoRangeIndex() { return 0; }
  virtual int Do_SetRangeIndex(uint16_t, uint16_t) { return 0; }
  virtual int Do_GetMode(int32_t*) { return 0; }
  virtual int Do_SetMode(int32_t) { return 0; }
  virtual int Do_ReadProbe(uint16_t, ProbeDescriptor*) { return 0; }
  virtual int Do_Measure(uint16_t, VoltmeterReading*) { return 0; }
  virtual int Do_MeasureRms(uint16_t, VoltmeterReading*) { return 0; }
};

class GenIOhmmeter_4 : public IOhmmeter_4 {
 public:
  int GetRangeCount(uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(4, 0, rc)) return rc;
    return Do_GetRangeCount(count);
  }
  int GetRanges(uint16_t count, ScaledValue* ranges) override {
    int rc = 0;
    if (Control().Intercept(4, 1, rc)) return rc;
    return Do_GetRanges(count, ranges);
  }
  int GetRange(ScaledValue* range) override {
    int rc = 0;
    if (Control().Intercept(4, 2, rc)) return rc;
    return Do_GetRange(range);
  }
  int GetRangeIndex(uint16_t* index) override {
    int rc = 0;
    if (Control().Intercept(4, 3, rc)) return rc;
    return Do_GetRangeIndex(index);
  }
  int GetAutoRangeIndex() override {
    int rc = 0;
    if (Control().Intercept(4, 4, rc)) return rc;
    return Do_GetAutoRangeIndex();
  }
  int SetRangeIndex(uint16_t index) override {
    int rc = 0;
    if (Control().Intercept(4, 5, rc)) return rc;
    return Do_SetRangeIndex(index);
  }
  int Measure(OhmReading* reading) override {
    int rc = 0;
    if (Control().Intercept(4, 6, rc)) return rc;
    return Do_Measure(reading);
  }
 protected:
  virtual int Do_GetRangeCount(uint16_t*) { return 0; }
  virtual int Do_GetRanges(uint16_t, ScaledValue*) { return 0; }
  virtual int Do_GetRange(ScaledValue*) { return 0; }
  virtual int Do_GetRangeIndex(uint16_t*) { return 0; }
  virtual int Do_GetAutoRangeIndex() { return 0; }
  virtual int Do_SetRangeIndex(uint16_t) { return 0; }
  virtual int Do_Measure(OhmReading*) { return 0; }
};

class GenIDiodeTest_5 : public IDiodeTest_5 {
 public:
  int GetRange(ScaledValue* range) override {
    int rc = 0;
    if (Control().Intercept(5, 0, rc)) return rc;
    return Do_GetRange(range);
  }
  int Configure() override {
    int rc = 0;
    if (Control().Intercept(5, 1, rc)) return rc;
    return Do_Configure();
  }
  int Measure(DiodeReading* reading) override {
    int rc = 0;
    if (Control().Intercept(5, 2, rc)) return rc;
    return Do_Measure(reading);
  }
 protected:
  virtual int Do_GetRange(ScaledValue*) { return 0; }
  virtual int Do_Configure() { return 0; }
  virtual int Do_Measure(DiodeReading*) { return 0; }
};

class GenIMotortester_6 : public IMotortester_6 {
 public:
  int Detect() override {
    int rc = 0;
    if (Control().Intercept(6, 0, rc)) return rc;
    return Do_Detect();
  }
  int SetAllParams(EngineParameterBlock block) override {
    int rc = 0;
    if (Control().Intercept(6, 1, rc)) return rc;
    return Do_SetAllParams(block);
  }
  int GetAllParams(EngineParameterBlock* block) override {
    int rc = 0;
    if (Control().Intercept(6, 2, rc)) return rc;
    return Do_GetAllParams(block);
  }
  int GetDefaultParams(EngineParameterBlock* block) override {
    int rc = 0;
    if (Control().Intercept(6, 3, rc)) return rc;
    return Do_GetDefaultParams(block);
  }
  bool IsReady() override {
    Control().Log(6, 4);
    return Do_IsReady();
  }
  int GetInputCount(int16_t* count) override {
    int rc = 0;
    if (Control().Intercept(6, 5, rc)) return rc;
    return Do_GetInputCount(count);
  }
  int ReadProbes(uint16_t count, const uint8_t* inputs, ProbeInputRecord* records) override {
    int rc = 0;
    if (Control().Intercept(6, 6, rc)) return rc;
    return Do_ReadProbes(count, inputs, records);
  }
  int FindReferenceProbe(int32_t* referenceCode) override {
    int rc = 0;
    if (Control().Intercept(6, 7, rc)) return rc;
    return Do_FindReferenceProbe(referenceCode);
  }
  int SetEngineType(int32_t type) override {
    int rc = 0;
    if (Control().Intercept(6, 8, rc)) return rc;
    return Do_SetEngineType(type);
  }
  int SetSparkNumberCylinders(uint8_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 9, rc)) return rc;
    return Do_SetSparkNumberCylinders(value);
  }
  int SetSparkNumberMarks(uint16_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 10, rc)) return rc;
    return Do_SetSparkNumberMarks(value);
  }
  int SetSparkMarkOffset(int16_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 11, rc)) return rc;
    return Do_SetSparkMarkOffset(value);
  }
  int SetSparkStroke(uint8_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 12, rc)) return rc;
    return Do_SetSparkStroke(value);
  }
  int SetSparkSensitivity(uint8_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 13, rc)) return rc;
    return Do_SetSparkSensitivity(value);
  }
  int SetSparkSpeedSensorType(int32_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 14, rc)) return rc;
    return Do_SetSparkSpeedSensorType(value);
  }
  int SetSparkCoilType(int32_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 15, rc)) return rc;
    return Do_SetSparkCoilType(value);
  }
  int SetSparkHiVoltageTypeProbe(int32_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 16, rc)) return rc;
    return Do_SetSparkHiVoltageTypeProbe(value);
  }
  int SetSparkPolarityHVProbes(uint32_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 17, rc)) return rc;
    return Do_SetSparkPolarityHVProbes(value);
  }
  int SetDieselNumberCylinders(uint8_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 18, rc)) return rc;
    return Do_SetDieselNumberCylinders(value);
  }
  int SetDieselNumberMarks(uint16_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 19, rc)) return rc;
    return Do_SetDieselNumberMarks(value);
  }
  int SetDieselMarkOffset(int16_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 20, rc)) return rc;
    return Do_SetDieselMarkOffset(value);
  }
  int SetDieselStroke(uint8_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 21, rc)) return rc;
    return Do_SetDieselStroke(value);
  }
  int SetDieselComparativeLevel(uint8_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 22, rc)) return rc;
    return Do_SetDieselComparativeLevel(value);
  }
  int SetDieselPressureSensorType(int32_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 23, rc)) return rc;
    return Do_SetDieselPressureSensorType(value);
  }
  int SetDieselSensitivity(int32_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 24, rc)) return rc;
    return Do_SetDieselSensitivity(value);
  }
  int SetDieselSpeedSensorType(int32_t value) override {
    int rc = 0;
    if (Control().Intercept(6, 25, rc)) return rc;
    return Do_SetDieselSpeedSensorType(value);
  }
  int GetEngineType(int32_t* type) override {
    int rc = 0;
    if (Control().Intercept(6, 26, rc)) return rc;
    return Do_GetEngineType(type);
  }
  int GetSparkNumberCylinders(uint8_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 27, rc)) return rc;
    return Do_GetSparkNumberCylinders(value);
  }
  int GetSparkNumberMarks(uint16_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 28, rc)) return rc;
    return Do_GetSparkNumberMarks(value);
  }
  int GetSparkMarkOffset(int16_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 29, rc)) return rc;
    return Do_GetSparkMarkOffset(value);
  }
  int GetSparkStroke(uint8_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 30, rc)) return rc;
    return Do_GetSparkStroke(value);
  }
  int GetSparkSensitivity(uint8_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 31, rc)) return rc;
    return Do_GetSparkSensitivity(value);
  }
  int GetSparkSpeedSensorType(int32_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 32, rc)) return rc;
    return Do_GetSparkSpeedSensorType(value);
  }
  int GetSparkCoilType(int32_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 33, rc)) return rc;
    return Do_GetSparkCoilType(value);
  }
  int GetSparkHiVoltageTypeProbe(int32_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 34, rc)) return rc;
    return Do_GetSparkHiVoltageTypeProbe(value);
  }
  int GetSparkPolarityHVProbes(uint32_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 35, rc)) return rc;
    return Do_GetSparkPolarityHVProbes(value);
  }
  int GetDieselNumberCylinders(uint8_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 36, rc)) return rc;
    return Do_GetDieselNumberCylinders(value);
  }
  int GetDieselNumberMarks(uint16_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 37, rc)) return rc;
    return Do_GetDieselNumberMarks(value);
  }
  int GetDieselMarkOffset(int16_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 38, rc)) return rc;
    return Do_GetDieselMarkOffset(value);
  }
  int GetDieselStroke(uint8_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 39, rc)) return rc;
    return Do_GetDieselStroke(value);
  }
  int GetDieselComparativeLevel(uint8_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 40, rc)) return rc;
    return Do_GetDieselComparativeLevel(value);
  }
  int GetDieselPressureSensorType(int32_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 41, rc)) return rc;
    return Do_GetDieselPressureSensorType(value);
  }
  int GetDieselSensitivity(uint8_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 42, rc)) return rc;
    return Do_GetDieselSensitivity(value);
  }
  int GetDieselSpeedSensorType(int32_t* value) override {
    int rc = 0;
    if (Control().Intercept(6, 43, rc)) return rc;
    return Do_GetDieselSpeedSensorType(value);
  }
  int Measure() override {
    int rc = 0;
    if (Control().Intercept(6, 44, rc)) return rc;
    return Do_Measure();
  }
  int WaitReady() override {
    int rc = 0;
    if (Control().Intercept(6, 45, rc)) return rc;
    return Do_WaitReady();
  }
 protected:
  virtual int Do_Detect() { return 0; }
  virtual int Do_SetAllParams(EngineParameterBlock) { return 0; }
  virtual int Do_GetAllParams(EngineParameterBlock*) { return 0; }
  virtual int Do_GetDefaultParams(EngineParameterBlock*) { return 0; }
  virtual bool Do_IsReady() { return {}; }
  virtual int Do_GetInputCount(int16_t*) { return 0; }
  virtual int Do_ReadProbes(uint16_t, const uint8_t*, ProbeInputRecord*) { return 0; }
  virtual int Do_FindReferenceProbe(int32_t*) { return 0; }
  virtual int Do_SetEngineType(int32_t) { return 0; }
  virtual int Do_SetSparkNumberCylinders(uint8_t) { return 0; }
  virtual int Do_SetSparkNumberMarks(uint16_t) { return 0; }
  virtual int Do_SetSparkMarkOffset(int16_t) { return 0; }
  virtual int Do_SetSparkStroke(uint8_t) { return 0; }
  virtual int Do_SetSparkSensitivity(uint8_t) { return 0; }
  virtual int Do_SetSparkSpeedSensorType(int32_t) { return 0; }
  virtual int Do_SetSparkCoilType(int32_t) { return 0; }
  virtual int Do_SetSparkHiVoltageTypeProbe(int32_t) { return 0; }
  virtual int Do_SetSparkPolarityHVProbes(uint32_t) { return 0; }
  virtual int Do_SetDieselNumberCylinders(uint8_t) { return 0; }
  virtual int Do_SetDieselNumberMarks(uint16_t) { return 0; }
  virtual int Do_SetDieselMarkOffset(int16_t) { return 0; }
  virtual int Do_SetDieselStroke(uint8_t) { return 0; }
  virtual int Do_SetDieselComparativeLevel(uint8_t) { return 0; }
  virtual int Do_SetDieselPressureSensorType(int32_t) { return 0; }
  virtual int Do_SetDieselSensitivity(int32_t) { return 0; }
  virtual int Do_SetDieselSpeedSensorType(int32_t) { return 0; }
  virtual int Do_GetEngineType(int32_t*) { return 0; }
  virtual int Do_GetSparkNumberCylinders(uint8_t*) { return 0; }
  virtual int Do_GetSparkNumberMarks(uint16_t*) { return 0; }
  virtual int Do_GetSparkMarkOffset(int16_t*) { return 0; }
  virtual int Do_GetSparkStroke(uint8_t*) { return 0; }
  virtual int Do_GetSparkSensitivity(uint8_t*) { return 0; }
  virtual int Do_GetSparkSpeedSensorType(int32_t*) { return 0; }
  virtual int Do_GetSparkCoilType(int32_t*) { return 0; }
  virtual int Do_GetSparkHiVoltageTypeProbe(int32_t*) { return 0; }
  virtual int Do_GetSparkPolarityHVProbes(uint32_t*) { return 0; }
  virtual int Do_GetDieselNumberCylinders(uint8_t*) { return 0; }
  virtual int Do_GetDieselNumberMarks(uint16_t*) { return 0; }
  virtual int Do_GetDieselMarkOffset(int16_t*) { return 0; }
  virtual int Do_GetDieselStroke(uint8_t*) { return 0; }
  virtual int Do_GetDieselComparativeLevel(uint8_t*) { return 0; }
  virtual int Do_GetDieselPressureSensorType(int32_t*) { return 0; }
  virtual int Do_GetDieselSensitivity(uint8_t*) { return 0; }
  virtual int Do_GetDieselSpeedSensorType(int32_t*) { return 0; }
  virtual int Do_Measure() { return 0; }
  virtual int Do_WaitReady() { return 0; }
};

class GenIMTOscilloscope_7 : public IMTOscilloscope_7 {
 public:
  int Init() override {
    int rc = 0;
    if (Control().Intercept(7, 0, rc)) return rc;
    return Do_Init();
  }
  int GetSampleRateCount(uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(7, 1, rc)) return rc;
    return Do_GetSampleRateCount(count);
  }
  int GetSampleRates(uint16_t count, int32_t* rates) override {
    int rc = 0;
    if (Control().Intercept(7, 2, rc)) return rc;
    return Do_GetSampleRates(count, rates);
  }
  int GetSampleRate(int32_t* rate) override {
    int rc = 0;
    if (Control().Intercept(7, 3, rc)) return rc;
    return Do_GetSampleRate(rate);
  }
  int GetSampleRateIndex(uint16_t* index) override {
    int rc = 0;
    if (Control().Intercept(7, 4, rc)) return rc;
    return Do_GetSampleRateIndex(index);
  }
  int SetSampleRateIndex(uint16_t index) override {
    int rc = 0;
    if (Control().Intercept(7, 5, rc)) return rc;
    return Do_SetSampleRateIndex(index);
  }
  int GetAngleRateCount(uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(7, 6, rc)) return rc;
    return Do_GetAngleRateCount(count);
  }
  int GetAngleRates(uint16_t count, ScaledValue* rates) override {
    int rc = 0;
    if (Control().Intercept(7, 7, rc)) return rc;
    return Do_GetAngleRates(count, rates);
  }
  int GetAngleRate(ScaledValue* rate) override {
    int rc = 0;
    if (Control().Intercept(7, 8, rc)) return rc;
    return Do_GetAngleRate(rate);
  }
  int GetAngleRateIndex(uint16_t* index) override {
    int rc = 0;
    if (Control().Intercept(7, 9, rc)) return rc;
    return Do_GetAngleRateIndex(index);
  }
  int SetAngleRateIndex(uint16_t index) override {
    int rc = 0;
    if (Control().Intercept(7, 10, rc)) return rc;
    return Do_SetAngleRateIndex(index);
  }
  int GetChannelCount(uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(7, 11, rc)) return rc;
    return Do_GetChannelCount(count);
  }
  int GetRangeCount(uint16_t channel, uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(7, 12, rc)) return rc;
    return Do_GetRangeCount(channel, count);
  }
  int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) override {
    int rc = 0;
    if (Control().Intercept(7, 13, rc)) return rc;
    return Do_GetRanges(channel, count, ranges);
  }
  int GetRange(uint16_t channel, ScaledValue* range) override {
    int rc = 0;
    if (Control().Intercept(7, 14, rc)) return rc;
    return Do_GetRange(channel, range);
  }
  int GetRangeIndex(uint16_t channel, uint16_t* index) override {
    int rc = 0;
    if (Control().Intercept(7, 15, rc)) return rc;
    return Do_GetRangeIndex(channel, index);
  }
  int SetRangeIndex(uint16_t channel, uint16_t index) override {
    int rc = 0;
    if (Control().Intercept(7, 16, rc)) return rc;
    return Do_SetRangeIndex(channel, index);
  }
  int GetChannelMode(uint16_t channel, int32_t* mode) override {
    int rc = 0;
    if (Control().Intercept(7, 17, rc)) return rc;
    return Do_GetChannelMode(channel, mode);
  }
  int SetChannelMode(uint16_t channel, int32_t mode) override {
    int rc = 0;
    if (Control().Intercept(7, 18, rc)) return rc;
    return Do_SetChannelMode(channel, mode);
  }
  int GetProbeFactor(uint16_t channel, uint16_t* inputCount) override {
    int rc = 0;
    if (Control().Intercept(7, 19, rc)) return rc;
    return Do_GetProbeFactor(channel, inputCount);
  }
  int SetProbe(uint16_t channel, ChannelProbeRecord* records) override {
    int rc = 0;
    if (Control().Intercept(7, 20, rc)) return rc;
    return Do_SetProbe(channel, records);
  }
  int GetProbeFlag(uint16_t channel, uint8_t* input) override {
    int rc = 0;
    if (Control().Intercept(7, 21, rc)) return rc;
    return Do_GetProbeFlag(channel, input);
  }
  int SetProbeFlag(uint16_t channel, uint8_t input) override {
    int rc = 0;
    if (Control().Intercept(7, 22, rc)) return rc;
    return Do_SetProbeFlag(channel, input);
  }
  int GetTriggerPositionLimits(int32_t* minimum, int32_t* maximum) override {
    int rc = 0;
    if (Control().Intercept(7, 23, rc)) return rc;
    return Do_GetTriggerPositionLimits(minimum, maximum);
  }
  int GetTriggerPosition(uint32_t* position) override {
    int rc = 0;
    if (Control().Intercept(7, 24, rc)) return rc;
    return Do_GetTriggerPosition(position);
  }
  int SetTriggerPosition(uint32_t position) override {
    int rc = 0;
    if (Control().Intercept(7, 25, rc)) return rc;
    return Do_SetTriggerPosition(position);
  }
  int GetTriggerLevel(ScaledValue* level) override {
    int rc = 0;
    if (Control().Intercept(7, 26, rc)) return rc;
    return Do_GetTriggerLevel(level);
  }
  int SetTriggerLevel(ScaledValue level) override {
    int rc = 0;
    if (Control().Intercept(7, 27, rc)) return rc;
    return Do_SetTriggerLevel(level);
  }
  int GetTriggerMode(int32_t* mode) override {
    int rc = 0;
    if (Control().Intercept(7, 28, rc)) return rc;
    return Do_GetTriggerMode(mode);
  }
  int SetTriggerMode(int32_t mode) override {
    int rc = 0;
    if (Control().Intercept(7, 29, rc)) return rc;
    return Do_SetTriggerMode(mode);
  }
  int GetTriggerEdge(int32_t* edge) override {
    int rc = 0;
    if (Control().Intercept(7, 30, rc)) return rc;
    return Do_GetTriggerEdge(edge);
  }
  int SetTriggerEdge(int32_t edge) override {
    int rc = 0;
    if (Control().Intercept(7, 31, rc)) return rc;
    return Do_SetTriggerEdge(edge);
  }
  int GetTriggerSource(int32_t* source, uint16_t* channel) override {
    int rc = 0;
    if (Control().Intercept(7, 32, rc)) return rc;
    return Do_GetTriggerSource(source, channel);
  }
  int SetTriggerSource(int32_t source, uint16_t channel) override {
    int rc = 0;
    if (Control().Intercept(7, 33, rc)) return rc;
    return Do_SetTriggerSource(source, channel);
  }
  int GetTriggerFilter(int32_t* filter) override {
    int rc = 0;
    if (Control().Intercept(7, 34, rc)) return rc;
    return Do_GetTriggerFilter(filter);
  }
  int SetTriggerFilter(int32_t filter) override {
    int rc = 0;
    if (Control().Intercept(7, 35, rc)) return rc;
    return Do_SetTriggerFilter(filter);
  }
  int GetTriggerSensitivity(ScaledValue* sensitivity) override {
    int rc = 0;
    if (Control().Intercept(7, 36, rc)) return rc;
    return Do_GetTriggerSensitivity(sensitivity);
  }
  int SetTriggerSensitivity(ScaledValue sensitivity) override {
    int rc = 0;
    if (Control().Intercept(7, 37, rc)) return rc;
    return Do_SetTriggerSensitivity(sensitivity);
  }
  int Rearm() override {
    int rc = 0;
    if (Control().Intercept(7, 38, rc)) return rc;
    return Do_Rearm();
  }
  int ToggleOption() override {
    int rc = 0;
    if (Control().Intercept(7, 39, rc)) return rc;
    return Do_ToggleOption();
  }
  int GetAcquisitionMode(int32_t* mode) override {
    int rc = 0;
    if (Control().Intercept(7, 40, rc)) return rc;
    return Do_GetAcquisitionMode(mode);
  }
  int SetAcquisitionMode(int32_t mode) override {
    int rc = 0;
    if (Control().Intercept(7, 41, rc)) return rc;
    return Do_SetAcquisitionMode(mode);
  }
  int SetAll(MTOscSettings settings) override {
    int rc = 0;
    if (Control().Intercept(7, 42, rc)) return rc;
    return Do_SetAll(settings);
  }
  int GetAll(MTOscSettings* settings, uint16_t channelCount, OscChannelSetting* channels) override {
    int rc = 0;
    if (Control().Intercept(7, 43, rc)) return rc;
    return Do_GetAll(settings, channelCount, channels);
  }
  int GetRecordLength(int32_t* length) override {
    int rc = 0;
    if (Control().Intercept(7, 44, rc)) return rc;
    return Do_GetRecordLength(length);
  }
  int StartMeasurement(uint32_t count) override {
    int rc = 0;
    if (Control().Intercept(7, 45, rc)) return rc;
    return Do_StartMeasurement(count);
  }
  int GetData() override {
    int rc = 0;
    if (Control().Intercept(7, 46, rc)) return rc;
    return Do_GetData();
  }
  int GetTimeInfo(OscTimeInfo* info) override {
    int rc = 0;
    if (Control().Intercept(7, 47, rc)) return rc;
    return Do_GetTimeInfo(info);
  }
  int GetChannelInfo(uint16_t channel, OscChannelInfo* info) override {
    int rc = 0;
    if (Control().Intercept(7, 48, rc)) return rc;
    return Do_GetChannelInfo(channel, info);
  }
  int GetSamples(uint16_t channel, uint32_t count, int16_t* samples) override {
    int rc = 0;
    if (Control().Intercept(7, 49, rc)) return rc;
    return Do_GetSamples(channel, count, samples);
  }
  int GetCylinderInfo(uint16_t* cylinders) override {
    int rc = 0;
    if (Control().Intercept(7, 50, rc)) return rc;
    return Do_GetCylinderInfo(cylinders);
  }
  int GetEngineSamples(int16_t cylinder, uint32_t length, EngineSampleRecord* records) override {
    int rc = 0;
    if (Control().Intercept(7, 51, rc)) return rc;
    return Do_GetEngineSamples(cylinder, length, records);
  }
  int GetMeasurements(OscMeasurements* measurements) override {
    int rc = 0;
    if (Control().Intercept(7, 52, rc)) return rc;
    return Do_GetMeasurements(measurements);
  }
  int GetEngineSpeed(MeasuredValue* speed) override {
    int rc = 0;
    if (Control().Intercept(7, 53, rc)) return rc;
    return Do_GetEngineSpeed(speed);
  }
  int CheckSettings() override {
    int rc = 0;
    if (Control().Intercept(7, 54, rc)) return rc;
    return Do_CheckSettings();
  }
  int StopMeasurement(uint32_t* recordedCount) override {
    int rc = 0;
    if (Control().Intercept(7, 55, rc)) return rc;
    return Do_StopMeasurement(recordedCount);
  }
  int WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) override {
    int rc = 0;
    if (Control().Intercept(7, 56, rc)) return rc;
    return Do_WaitData(capacity, samples, count, done);
  }
  int ReadSaturationData(uint16_t channel, int16_t* positiveLimit, int16_t* negativeLimit) override {
    int rc = 0;
    if (Control().Intercept(7, 57, rc)) return rc;
    return Do_ReadSaturationData(channel, positiveLimit, negativeLimit);
  }
  int ConvertValue(uint16_t channel, uint16_t rangeIndex, ProbeDescriptor probe, int16_t* positiveLimit, int16_t* negativeLimit) override {
    int rc = 0;
    if (Control().Intercept(7, 58, rc)) return rc;
    return Do_ConvertValue(channel, rangeIndex, probe, positiveLimit, negativeLimit);
  }
  int GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) override {
    int rc = 0;
    if (Control().Intercept(7, 59, rc)) return rc;
    return Do_GetProbeInfo(channel, probe);
  }
 protected:
  virtual int Do_Init() { return 0; }
  virtual int Do_GetSampleRateCount(uint16_t*) { return 0; }
  virtual int Do_GetSampleRates(uint16_t, int32_t*) { return 0; }
  virtual int Do_GetSampleRate(int32_t*) { return 0; }
  virtual int Do_GetSampleRateIndex(uint16_t*) { return 0; }
  virtual int Do_SetSampleRateIndex(uint16_t) { return 0; }
  virtual int Do_GetAngleRateCount(uint16_t*) { return 0; }
  virtual int Do_GetAngleRates(uint16_t, ScaledValue*) { return 0; }
  virtual int Do_GetAngleRate(ScaledValue*) { return 0; }
  virtual int Do_GetAngleRateIndex(uint16_t*) { return 0; }
  virtual int Do_SetAngleRateIndex(uint16_t) { return 0; }
  virtual int Do_GetChannelCount(uint16_t*) { return 0; }
  virtual int Do_GetRangeCount(uint16_t, uint16_t*) { return 0; }
  virtual int Do_GetRanges(uint16_t, uint16_t, ScaledValue*) { return 0; }
  virtual int Do_GetRange(uint16_t, ScaledValue*) { return 0; }
  virtual int Do_GetRangeIndex(uint16_t, uint16_t*) { return 0; }
  virtual int Do_SetRangeIndex(uint16_t, uint16_t) { return 0; }
  virtual int Do_GetChannelMode(uint16_t, int32_t*) { return 0; }
  virtual int Do_SetChannelMode(uint16_t, int32_t) { return 0; }
  virtual int Do_GetProbeFactor(uint16_t, uint16_t*) { return 0; }
  virtual int Do_SetProbe(uint16_t, ChannelProbeRecord*) { return 0; }
  virtual int Do_GetProbeFlag(uint16_t, uint8_t*) { return 0; }
  virtual int Do_SetProbeFlag(uint16_t, uint8_t) { return 0; }
  virtual int Do_GetTriggerPositionLimits(int32_t*, int32_t*) { return 0; }
  virtual int Do_GetTriggerPosition(uint32_t*) { return 0; }
  virtual int Do_SetTriggerPosition(uint32_t) { return 0; }
  virtual int Do_GetTriggerLevel(ScaledValue*) { return 0; }
  virtual int Do_SetTriggerLevel(ScaledValue) { return 0; }
  virtual int Do_GetTriggerMode(int32_t*) { return 0; }
  virtual int Do_SetTriggerMode(int32_t) { return 0; }
  virtual int Do_GetTriggerEdge(int32_t*) { return 0; }
  virtual int Do_SetTriggerEdge(int32_t) { return 0; }
  virtual int Do_GetTriggerSource(int32_t*, uint16_t*) { return 0; }
  virtual int Do_SetTriggerSource(int32_t, uint16_t) { return 0; }
  virtual int Do_GetTriggerFilter(int32_t*) { return 0; }
  virtual int Do_SetTriggerFilter(int32_t) { return 0; }
  virtual int Do_GetTriggerSensitivity(ScaledValue*) { return 0; }
  virtual int Do_SetTriggerSensitivity(ScaledValue) { return 0; }
  virtual int Do_Rearm() { return 0; }
  virtual int Do_ToggleOption() { return 0; }
  virtual int Do_GetAcquisitionMode(int32_t*) { return 0; }
  virtual int Do_SetAcquisitionMode(int32_t) { return 0; }
  virtual int Do_SetAll(MTOscSettings) { return 0; }
  virtual int Do_GetAll(MTOscSettings*, uint16_t, OscChannelSetting*) { return 0; }
  virtual int Do_GetRecordLength(int32_t*) { return 0; }
  virtual int Do_StartMeasurement(uint32_t) { return 0; }
  virtual int Do_GetData() { return 0; }
  virtual int Do_GetTimeInfo(OscTimeInfo*) { return 0; }
  virtual int Do_GetChannelInfo(uint16_t, OscChannelInfo*) { return 0; }
  virtual int Do_GetSamples(uint16_t, uint32_t, int16_t*) { return 0; }
  virtual int Do_GetCylinderInfo(uint16_t*) { return 0; }
  virtual int Do_GetEngineSamples(int16_t, uint32_t, EngineSampleRecord*) { return 0; }
  virtual int Do_GetMeasurements(OscMeasurements*) { return 0; }
  virtual int Do_GetEngineSpeed(MeasuredValue*) { return 0; }
  virtual int Do_CheckSettings() { return 0; }
  virtual int Do_StopMeasurement(uint32_t*) { return 0; }
  virtual int Do_WaitData(uint32_t, int16_t*, uint32_t*, uint8_t*) { return 0; }
  virtual int Do_ReadSaturationData(uint16_t, int16_t*, int16_t*) { return 0; }
  virtual int Do_ConvertValue(uint16_t, uint16_t, ProbeDescriptor, int16_t*, int16_t*) { return 0; }
  virtual int Do_GetProbeInfo(uint16_t, ProbeDescriptor*) { return 0; }
};

class GenIMTVoltmeter_8 : public IMTVoltmeter_8 {
 public:
  int GetChannelCount(uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(8, 0, rc)) return rc;
    return Do_GetChannelCount(count);
  }
  int GetRangeCount(uint16_t channel, uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(8, 1, rc)) return rc;
    return Do_GetRangeCount(channel, count);
  }
  int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) override {
    int rc = 0;
    if (Control().Intercept(8, 2, rc)) return rc;
    return Do_GetRanges(channel, count, ranges);
  }
  int GetRange(uint16_t channel, ScaledValue* range) override {
    int rc = 0;
    if (Control().Intercept(8, 3, rc)) return rc;
    return Do_GetRange(channel, range);
  }
  int GetRangeIndex(uint16_t channel, uint16_t* index) override {
    int rc = 0;
    if (Control().Intercept(8, 4, rc)) return rc;
    return Do_GetRangeIndex(channel, index);
  }
  int GetAutoRangeIndex() override {
    int rc = 0;
    if (Control().Intercept(8, 5, rc)) return rc;
    return Do_GetAutoRangeIndex();
  }
  int SetRangeIndex(uint16_t channel, uint16_t index) override {
    int rc = 0;
    if (Control().Intercept(8, 6, rc)) return rc;
    return Do_SetRangeIndex(channel, index);
  }
  int GetMode(int32_t* mode) override {
    int rc = 0;
    if (Control().Intercept(8, 7, rc)) return rc;
    return Do_GetMode(mode);
  }
  int SetMode(int32_t mode) override {
    int rc = 0;
    if (Control().Intercept(8, 8, rc)) return rc;
    return Do_SetMode(mode);
  }
  int ReadProbe(uint16_t channel, ProbeDescriptor* probe) override {
    int rc = 0;
    if (Control().Intercept(8, 9, rc)) return rc;
    return Do_ReadProbe(channel, probe);
  }
  int GetInputCount(uint16_t channel, uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(8, 10, rc)) return rc;
    return Do_GetInputCount(channel, count);
  }
  int ReadChannelProbes(uint16_t channel, ChannelProbeRecord* records) override {
    int rc = 0;
    if (Control().Intercept(8, 11, rc)) return rc;
    return Do_ReadChannelProbes(channel, records);
  }
  int SelectChannelInput(uint16_t channel, uint8_t slot) override {
    int rc = 0;
    if (Control().Intercept(8, 12, rc)) return rc;
    return Do_SelectChannelInput(channel, slot);
  }
  int Measure(uint16_t channel, VoltmeterReading* reading) override {
    int rc = 0;
    if (Control().Intercept(8, 13, rc)) return rc;
    return Do_Measure(channel, reading);
  }
  int MeasureRms(uint16_t channel, VoltmeterReading* reading) override {
    int rc = 0;
    if (Control().Intercept(8, 14, rc)) return rc;
    return Do_MeasureRms(channel, reading);
  }
  int ReadStatistics(DualVoltmeterReading* reading) override {
    int rc = 0;
    if (Control().Intercept(8, 15, rc)) return rc;
    return Do_ReadStatistics(reading);
  }
  int ReadStatisticsRms(DualVoltmeterReading* reading) override {
    int rc = 0;
    if (Control().Intercept(8, 16, rc)) return rc;
    return Do_ReadStatisticsRms(reading);
  }
  int GetEngineSpeed(MeasuredValue* speed) override {
    int rc = 0;
    if (Control().Intercept(8, 17, rc)) return rc;
    return Do_GetEngineSpeed(speed);
  }
  int StartSampling() override {
    int rc = 0;
    if (Control().Intercept(8, 18, rc)) return rc;
    return Do_StartSampling();
  }
  int ReadSampling(int16_t* values) override {
    int rc = 0;
    if (Control().Intercept(8, 19, rc)) return rc;
    return Do_ReadSampling(values);
  }
 protected:
  virtual int Do_GetChannelCount(uint16_t*) { return 0; }
  virtual int Do_GetRangeCount(uint16_t, uint16_t*) { return 0; }
  virtual int Do_GetRanges(uint16_t, uint16_t, ScaledValue*) { return 0; }
  virtual int Do_GetRange(uint16_t, ScaledValue*) { return 0; }
  virtual int Do_GetRangeIndex(uint16_t, uint16_t*) { return 0; }
  virtual int Do_GetAutoRangeIndex() { return 0; }
  virtual int Do_SetRangeIndex(uint16_t, uint16_t) { return 0; }
  virtual int Do_GetMode(int32_t*) { return 0; }
  virtual int Do_SetMode(int32_t) { return 0; }
  virtual int Do_ReadProbe(uint16_t, ProbeDescriptor*) { return 0; }
  virtual int Do_GetInputCount(uint16_t, uint16_t*) { return 0; }
  virtual int Do_ReadChannelProbes(uint16_t, ChannelProbeRecord*) { return 0; }
  virtual int Do_SelectChannelInput(uint16_t, uint8_t) { return 0; }
  virtual int Do_Measure(uint16_t, VoltmeterReading*) { return 0; }
  virtual int Do_MeasureRms(uint16_t, VoltmeterReading*) { return 0; }
  virtual int Do_ReadStatistics(DualVoltmeterReading*) { return 0; }
  virtual int Do_ReadStatisticsRms(DualVoltmeterReading*) { return 0; }
  virtual int Do_GetEngineSpeed(MeasuredValue*) { return 0; }
  virtual int Do_StartSampling() { return 0; }
  virtual int Do_ReadSampling(int16_t*) { return 0; }
};

class GenIMTOhmmeter_9 : public IMTOhmmeter_9 {
 public:
  int GetRangeCount(uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(9, 0, rc)) return rc;
    return Do_GetRangeCount(count);
  }
  int GetRanges(uint16_t count, ScaledValue* ranges) override {
    int rc = 0;
    if (Control().Intercept(9, 1, rc)) return rc;
    return Do_GetRanges(count, ranges);
  }
  int GetRange(ScaledValue* range) override {
    int rc = 0;
    if (Control().Intercept(9, 2, rc)) return rc;
    return Do_GetRange(range);
  }
  int GetRangeIndex(uint16_t* index) override {
    int rc = 0;
    if (Control().Intercept(9, 3, rc)) return rc;
    return Do_GetRangeIndex(index);
  }
  int GetAutoRangeIndex() override {
    int rc = 0;
    if (Control().Intercept(9, 4, rc)) return rc;
    return Do_GetAutoRangeIndex();
  }
  int SetRangeIndex(uint16_t index) override {
    int rc = 0;
    if (Control().Intercept(9, 5, rc)) return rc;
    return Do_SetRangeIndex(index);
  }
  int Measure(OhmReading* reading) override {
    int rc = 0;
    if (Control().Intercept(9, 6, rc)) return rc;
    return Do_Measure(reading);
  }
 protected:
  virtual int Do_GetRangeCount(uint16_t*) { return 0; }
  virtual int Do_GetRanges(uint16_t, ScaledValue*) { return 0; }
  virtual int Do_GetRange(ScaledValue*) { return 0; }
  virtual int Do_GetRangeIndex(uint16_t*) { return 0; }
  virtual int Do_GetAutoRangeIndex() { return 0; }
  virtual int Do_SetRangeIndex(uint16_t) { return 0; }
  virtual int Do_Measure(OhmReading*) { return 0; }
};

class GenIMTDiodeTest_10 : public IMTDiodeTest_10 {
 public:
  int GetRange(ScaledValue* range) override {
    int rc = 0;
    if (Control().Intercept(10, 0, rc)) return rc;
    return Do_GetRange(range);
  }
  int Configure() override {
    int rc = 0;
    if (Control().Intercept(10, 1, rc)) return rc;
    return Do_Configure();
  }
  int Measure(DiodeReading* reading) override {
    int rc = 0;
    if (Control().Intercept(10, 2, rc)) return rc;
    return Do_Measure(reading);
  }
 protected:
  virtual int Do_GetRange(ScaledValue*) { return 0; }
  virtual int Do_Configure() { return 0; }
  virtual int Do_Measure(DiodeReading*) { return 0; }
};

class GenIMTAdvancemeter_11 : public IMTAdvancemeter_11 {
 public:
  int GetProbeKind(int32_t* probeClass) override {
    int rc = 0;
    if (Control().Intercept(11, 0, rc)) return rc;
    return Do_GetProbeKind(probeClass);
  }
  int GetTemperatureSensorClass(int32_t* probeClass) override {
    int rc = 0;
    if (Control().Intercept(11, 1, rc)) return rc;
    return Do_GetTemperatureSensorClass(probeClass);
  }
  int GetProbeCount(uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(11, 2, rc)) return rc;
    return Do_GetProbeCount(count);
  }
  int GetProbes(uint16_t count, ProbeDescriptor* probes) override {
    int rc = 0;
    if (Control().Intercept(11, 3, rc)) return rc;
    return Do_GetProbes(count, probes);
  }
  int SelectProbe(int32_t kind) override {
    int rc = 0;
    if (Control().Intercept(11, 4, rc)) return rc;
    return Do_SelectProbe(kind);
  }
  int ReadProbes(ProbeDescriptor* advanceProbe, ProbeDescriptor* speedSensor, ProbeDescriptor* temperatureSensor) override {
    int rc = 0;
    if (Control().Intercept(11, 5, rc)) return rc;
    return Do_ReadProbes(advanceProbe, speedSensor, temperatureSensor);
  }
  int Measure(AdvanceReading* reading) override {
    int rc = 0;
    if (Control().Intercept(11, 6, rc)) return rc;
    return Do_Measure(reading);
  }
 protected:
  virtual int Do_GetProbeKind(int32_t*) { return 0; }
  virtual int Do_GetTemperatureSensorClass(int32_t*) { return 0; }
  virtual int Do_GetProbeCount(uint16_t*) { return 0; }
  virtual int Do_GetProbes(uint16_t, ProbeDescriptor*) { return 0; }
  virtual int Do_SelectProbe(int32_t) { return 0; }
  virtual int Do_ReadProbes(ProbeDescriptor*, ProbeDescriptor*, ProbeDescriptor*) { return 0; }
  virtual int Do_Measure(AdvanceReading*) { return 0; }
};

class GenIMTTemperaturemeter_12 : public IMTTemperaturemeter_12 {
 public:
  int GetTemperatureSensorClass(int32_t* probeClass) override {
    int rc = 0;
    if (Control().Intercept(12, 0, rc)) return rc;
    return Do_GetTemperatureSensorClass(probeClass);
  }
  int ReadProbes(ProbeDescriptor* temperatureSensor, ProbeDescriptor* speedSensor) override {
    int rc = 0;
    if (Control().Intercept(12, 1, rc)) return rc;
    return Do_ReadProbes(temperatureSensor, speedSensor);
  }
  int Measure(SpeedTemperatureReading* reading) override {
    int rc = 0;
    if (Control().Intercept(12, 2, rc)) return rc;
    return Do_Measure(reading);
  }
 protected:
  virtual int Do_GetTemperatureSensorClass(int32_t*) { return 0; }
  virtual int Do_ReadProbes(ProbeDescriptor*, ProbeDescriptor*) { return 0; }
  virtual int Do_Measure(SpeedTemperatureReading*) { return 0; }
};

class GenIMTDwellanglemeter_13 : public IMTDwellanglemeter_13 {
 public:
  int GetChannelCount(uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(13, 0, rc)) return rc;
    return Do_GetChannelCount(count);
  }
  int SelectInput(uint16_t input) override {
    int rc = 0;
    if (Control().Intercept(13, 1, rc)) return rc;
    return Do_SelectInput(input);
  }
  int ReadProbes(ProbeDescriptor* dwellInput, ProbeDescriptor* temperatureSensor) override {
    int rc = 0;
    if (Control().Intercept(13, 2, rc)) return rc;
    return Do_ReadProbes(dwellInput, temperatureSensor);
  }
  int Measure(DwellReading* reading) override {
    int rc = 0;
    if (Control().Intercept(13, 3, rc)) return rc;
    return Do_Measure(reading);
  }
 protected:
  virtual int Do_GetChannelCount(uint16_t*) { return 0; }
  virtual int Do_SelectInput(uint16_t) { return 0; }
  virtual int Do_ReadProbes(ProbeDescriptor*, ProbeDescriptor*) { return 0; }
  virtual int Do_Measure(DwellReading*) { return 0; }
};

class GenIMTHiVoltage_14 : public IMTHiVoltage_14 {
 public:
  int ReadProbe(ProbeDescriptor* probe) override {
    int rc = 0;
    if (Control().Intercept(14, 0, rc)) return rc;
    return Do_ReadProbe(probe);
  }
  int GetMode(int32_t* mode) override {
    int rc = 0;
    if (Control().Intercept(14, 1, rc)) return rc;
    return Do_GetMode(mode);
  }
  int SetMode(int32_t mode) override {
    int rc = 0;
    if (Control().Intercept(14, 2, rc)) return rc;
    return Do_SetMode(mode);
  }
  int Rearm() override {
    int rc = 0;
    if (Control().Intercept(14, 3, rc)) return rc;
    return Do_Rearm();
  }
  int TogglePolarity() override {
    int rc = 0;
    if (Control().Intercept(14, 4, rc)) return rc;
    return Do_TogglePolarity();
  }
  int Arm() override {
    int rc = 0;
    if (Control().Intercept(14, 5, rc)) return rc;
    return Do_Arm();
  }
  int ReadFrame() override {
    int rc = 0;
    if (Control().Intercept(14, 6, rc)) return rc;
    return Do_ReadFrame();
  }
  int GetCylinderRecordCount(uint16_t* count) override {
    int rc = 0;
    if (Control().Intercept(14, 7, rc)) return rc;
    return Do_GetCylinderRecordCount(count);
  }
  int GetCylinderValues(uint16_t cylinder, CylinderValue* values) override {
    int rc = 0;
    if (Control().Intercept(14, 8, rc)) return rc;
    return Do_GetCylinderValues(cylinder, values);
  }
  int GetEngineSpeed(MeasuredValue* speed) override {
    int rc = 0;
    if (Control().Intercept(14, 9, rc)) return rc;
    return Do_GetEngineSpeed(speed);
  }
 protected:
  virtual int Do_ReadProbe(ProbeDescriptor*) { return 0; }
  virtual int Do_GetMode(int32_t*) { return 0; }
  virtual int Do_SetMode(int32_t) { return 0; }
  virtual int Do_Rearm() { return 0; }
  virtual int Do_TogglePolarity() { return 0; }
  virtual int Do_Arm() { return 0; }
  virtual int Do_ReadFrame() { return 0; }
  virtual int Do_GetCylinderRecordCount(uint16_t*) { return 0; }
  virtual int Do_GetCylinderValues(uint16_t, CylinderValue*) { return 0; }
  virtual int Do_GetEngineSpeed(MeasuredValue*) { return 0; }
};

class GenIMTLeakTest_15 : public IMTLeakTest_15 {
 public:
  int SelectInput(uint8_t input) override {
    int rc = 0;
    if (Control().Intercept(15, 0, rc)) return rc;
    return Do_SelectInput(input);
  }
  int GetInput(uint8_t* input) override {
    int rc = 0;
    if (Control().Intercept(15, 1, rc)) return rc;
    return Do_GetInput(input);
  }
  int ReadProbe(ProbeDescriptor* probe) override {
    int rc = 0;
    if (Control().Intercept(15, 2, rc)) return rc;
    return Do_ReadProbe(probe);
  }
  int Start() override {
    int rc = 0;
    if (Control().Intercept(15, 3, rc)) return rc;
    return Do_Start();
  }
  int Read(uint8_t count, float* results) override {
    int rc = 0;
    if (Control().Intercept(15, 4, rc)) return rc;
    return Do_Read(count, results);
  }
 protected:
  virtual int Do_SelectInput(uint8_t) { return 0; }
  virtual int Do_GetInput(uint8_t*) { return 0; }
  virtual int Do_ReadProbe(ProbeDescriptor*) { return 0; }
  virtual int Do_Start() { return 0; }
  virtual int Do_Read(uint8_t, float*) { return 0; }
};

}  // namespace fake
