#include <core/GlobalProps.h>
#include <core/MeasureType.h>
#include <core/TimeBaseReader.h>

#include <gtest/gtest.h>

#include <kvtest/CoreGlobals.h>

#include <vector>

namespace {

// The engine-tester oscilloscope with scripted rate calls; every other call fails with 99.
class FakeMTOscilloscope : public IMTOscilloscope_7 {
 public:
  std::vector<int32_t> sampleRates{1000000, 500, 50};
  std::vector<ScaledValue> angleRates{{5, -1, {}}, {2, 0, {}}};
  int countCode = 0, valuesCode = 0, indexCode = 0;

  int GetSampleRateCount(uint16_t* count) override {
    *count = static_cast<uint16_t>(sampleRates.size());
    return countCode;
  }
  int GetSampleRates(uint16_t count, int32_t* rates) override {
    for (uint16_t i = 0; i < count && i < sampleRates.size(); ++i) rates[i] = sampleRates[i];
    return valuesCode;
  }
  int GetSampleRateIndex(uint16_t* index) override {
    *index = 1;
    return indexCode;
  }
  int GetAngleRateCount(uint16_t* count) override {
    *count = static_cast<uint16_t>(angleRates.size());
    return countCode;
  }
  int GetAngleRates(uint16_t count, ScaledValue* rates) override {
    for (uint16_t i = 0; i < count && i < angleRates.size(); ++i) rates[i] = angleRates[i];
    return valuesCode;
  }
  int GetAngleRateIndex(uint16_t* index) override {
    *index = 0;
    return indexCode;
  }
  int Init() override { return 99; }
  int GetSampleRate(int32_t* rate) override { return 99; }
  int SetSampleRateIndex(uint16_t index) override { return 99; }
  int GetAngleRate(ScaledValue* rate) override { return 99; }
  int SetAngleRateIndex(uint16_t index) override { return 99; }
  int GetChannelCount(uint16_t* count) override { return 99; }
  int GetRangeCount(uint16_t channel, uint16_t* count) override { return 99; }
  int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) override { return 99; }
  int GetRange(uint16_t channel, ScaledValue* range) override { return 99; }
  int GetRangeIndex(uint16_t channel, uint16_t* index) override { return 99; }
  int SetRangeIndex(uint16_t channel, uint16_t index) override { return 99; }
  int GetChannelMode(uint16_t channel, int32_t* mode) override { return 99; }
  int SetChannelMode(uint16_t channel, int32_t mode) override { return 99; }
  int GetProbeFactor(uint16_t channel, uint16_t* inputCount) override { return 99; }
  int SetProbe(uint16_t channel, ChannelProbeRecord* records) override { return 99; }
  int GetProbeFlag(uint16_t channel, uint8_t* input) override { return 99; }
  int SetProbeFlag(uint16_t channel, uint8_t input) override { return 99; }
  int GetTriggerPositionLimits(int32_t* minimum, int32_t* maximum) override { return 99; }
  int GetTriggerPosition(uint32_t* position) override { return 99; }
  int SetTriggerPosition(uint32_t position) override { return 99; }
  int GetTriggerLevel(ScaledValue* level) override { return 99; }
  int SetTriggerLevel(ScaledValue level) override { return 99; }
  int GetTriggerMode(int32_t* mode) override { return 99; }
  int SetTriggerMode(int32_t mode) override { return 99; }
  int GetTriggerEdge(int32_t* edge) override { return 99; }
  int SetTriggerEdge(int32_t edge) override { return 99; }
  int GetTriggerSource(int32_t* source, uint16_t* channel) override { return 99; }
  int SetTriggerSource(int32_t source, uint16_t channel) override { return 99; }
  int GetTriggerFilter(int32_t* filter) override { return 99; }
  int SetTriggerFilter(int32_t filter) override { return 99; }
  int GetTriggerSensitivity(ScaledValue* sensitivity) override { return 99; }
  int SetTriggerSensitivity(ScaledValue sensitivity) override { return 99; }
  int Rearm() override { return 99; }
  int ToggleOption() override { return 99; }
  int GetAcquisitionMode(int32_t* mode) override { return 99; }
  int SetAcquisitionMode(int32_t mode) override { return 99; }
  int SetAll(MTOscSettings settings) override { return 99; }
  int GetAll(MTOscSettings* settings, uint16_t channelCount, OscChannelSetting* channels) override { return 99; }
  int GetRecordLength(int32_t* length) override { return 99; }
  int StartMeasurement(uint32_t count) override { return 99; }
  int GetData() override { return 99; }
  int GetTimeInfo(OscTimeInfo* info) override { return 99; }
  int GetChannelInfo(uint16_t channel, OscChannelInfo* info) override { return 99; }
  int GetSamples(uint16_t channel, uint32_t count, int16_t* samples) override { return 99; }
  int GetCylinderInfo(uint16_t* cylinders) override { return 99; }
  int GetEngineSamples(int16_t cylinder, uint32_t length, EngineSampleRecord* records) override { return 99; }
  int GetMeasurements(OscMeasurements* measurements) override { return 99; }
  int GetEngineSpeed(MeasuredValue* speed) override { return 99; }
  int CheckSettings() override { return 99; }
  int StopMeasurement(uint32_t* recordedCount) override { return 99; }
  int WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) override { return 99; }
  int ReadSaturationData(uint16_t channel, int16_t* positiveLimit, int16_t* negativeLimit) override { return 99; }
  int ConvertValue(uint16_t channel, uint16_t rangeIndex, ProbeDescriptor probe,
                                    int16_t* positiveLimit, int16_t* negativeLimit) override { return 99; }
  int GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) override { return 99; }
};

class SampleRateTable : public kvtest::CoreTest {};

}  // namespace

TEST_F(SampleRateTable, RatesAnglesAndFailures) {
  struct Case {
    const char* name;
    int angle, countCode, valuesCode, indexCode;
    std::vector<double> rates;
    const char* line;
  } cases[] = {
      {"sample rates", 0, 0, 0, 0, {1000000, 500, 50}, nullptr},
      {"angle rates", 1, 0, 0, 0, {0.5, 2}, nullptr},
      {"count fails", 0, 7, 0, 0, {}, "Cannot get angle/sample rate items count [err code:7]"},
      {"values fail", 1, 0, 8, 0, {}, "Cannot get angle/sample rate items values [err code:8]"},
      {"index fails", 0, 0, 0, 9, {1000000, 500, 50}, "Cannot get current angle/sample rate index [err code:9]"},
  };
  for (const Case& c : cases) {
    FakeMTOscilloscope osc;
    osc.countCode = c.countCode;
    osc.valuesCode = c.valuesCode;
    osc.indexCode = c.indexCode;
    GetMeasureType().m_nAngleMode = c.angle;
    CMeasureProps settings;
    settings.m_TimeBase.m_Rates.Add(123.0);  // an old table goes first
    settings.m_TimeBase.m_nSelected = 2;
    CStringArrayEx lines;
    lines.Add("old line");
    const int ok = ReadSampleRateTable(&osc, settings, lines);
    EXPECT_EQ(ok, c.line ? 0 : 1) << c.name;
    ASSERT_EQ(settings.m_TimeBase.m_Rates.GetSize(), static_cast<INT_PTR>(c.rates.size())) << c.name;
    for (size_t i = 0; i < c.rates.size(); ++i) EXPECT_DOUBLE_EQ(settings.m_TimeBase.m_Rates[i], c.rates[i]) << c.name;
    if (c.line) {
      ASSERT_EQ(lines.GetSize(), 1) << c.name;
      EXPECT_EQ(lines[0], c.line) << c.name;
    } else {
      EXPECT_EQ(lines.GetSize(), 0) << c.name;
    }
    EXPECT_EQ(settings.m_TimeBase.m_nSelected, 2) << c.name;  // the index read is not applied
  }
}

TEST_F(SampleRateTable, ErrorsGoThroughTheEnginesAddError) {
  FakeMTOscilloscope osc;
  osc.countCode = 5;
  CMeasureProps settings;
  CStringArrayEx lines;
  int calls = 0;
  ReadSampleRateTable(&osc, settings, lines, [&](CStringArrayEx& l, const char* text) {
    ++calls;
    l.Add(CString(text) + " (recovered)");
  });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(lines[0], "Cannot get angle/sample rate items count [err code:5] (recovered)");
}
