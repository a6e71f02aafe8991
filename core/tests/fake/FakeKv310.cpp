// The fake measurement library "FakeKv310.dll": the sixteen interfaces of FakeInterfaces.h with a
// small behaviour on top (a link model with an idle event, an oscilloscope that reports a ramp of
// samples beyond its saturation limits, probe records, meters), all steered through FakeControl.
#include "FakeInterfaces.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace fake {

FakeControl& Control() {
  static FakeControl control;
  return control;
}

namespace {

using Lock = std::lock_guard<std::mutex>;

class Info : public GenIInfo_0 {
  int Do_GetVersion(uint16_t* major, uint16_t* high, uint16_t* low) override {
    *major = 1;
    *high = 2;
    *low = 3;
    return 0;
  }
  const char* Do_GetBoardName() override { return "FakeBoard"; }
  const char* Do_GetMotortesterName() override { return "FakeTester"; }
  int Do_GetBoardStatus(uint8_t* type) override {
    Lock lock(Control().m);
    *type = Control().boardStatus;
    return 0;
  }
};

class Communication : public GenICommunication_1 {
  HANDLE Do_GetIdleEvent() override { return Control().idle; }
  int Do_GetState() override { return Control().State(); }
  int Do_Recover() override {
    FakeControl& c = Control();
    Lock lock(c.m);
    if (c.linkState == kv310::kLinkFailed && c.recoverResult == 0) c.linkState = kv310::kLinkIdle;
    return c.recoverResult;
  }
  int Do_AbortRead() override {
    FakeControl& c = Control();
    int result;
    {
      Lock lock(c.m);
      result = c.abortResult;
    }
    if (result == 0 && c.State() == kv310::kLinkPending) c.Complete();
    return result;
  }
};

// What both oscilloscopes share.
template <typename Base>
class Oscilloscope : public Base {
 protected:
  int Do_GetSampleRateCount(uint16_t* count) override {
    Lock lock(Control().m);
    *count = static_cast<uint16_t>(Control().rates.size());
    return 0;
  }
  int Do_GetSampleRates(uint16_t count, int32_t* rates) override {
    Lock lock(Control().m);
    for (uint16_t i = 0; i < count && i < Control().rates.size(); ++i) rates[i] = Control().rates[i];
    return 0;
  }
  int Do_GetSampleRateIndex(uint16_t* index) override {
    Lock lock(Control().m);
    *index = Control().rateIndex;
    return 0;
  }
  int Do_SetSampleRateIndex(uint16_t index) override {
    Lock lock(Control().m);
    Control().rateIndex = index;
    return 0;
  }
  int Do_GetChannelCount(uint16_t* count) override {
    *count = 2;
    return 0;
  }
  int Do_GetRangeCount(uint16_t, uint16_t* count) override {
    Lock lock(Control().m);
    *count = static_cast<uint16_t>(Control().ranges.size());
    return 0;
  }
  int Do_GetRanges(uint16_t, uint16_t count, ScaledValue* ranges) override {
    Lock lock(Control().m);
    for (uint16_t i = 0; i < count && i < Control().ranges.size(); ++i) ranges[i] = Control().ranges[i];
    return 0;
  }
  int Do_GetRangeIndex(uint16_t channel, uint16_t* index) override {
    Lock lock(Control().m);
    *index = Control().rangeIndex[channel & 1];
    return 0;
  }
  int Do_SetRangeIndex(uint16_t channel, uint16_t index) override {
    Lock lock(Control().m);
    Control().rangeIndex[channel & 1] = index;
    return 0;
  }
  int Do_GetChannelMode(uint16_t channel, int32_t* mode) override {
    Lock lock(Control().m);
    *mode = Control().channelState[channel & 1];
    return 0;
  }
  int Do_GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) override {
    Lock lock(Control().m);
    *probe = Control().probes[channel & 1];
    return 0;
  }
  int Do_StartMeasurement(uint32_t) override {
    Control().Begin();
    return 0;
  }
  int Do_GetTimeInfo(OscTimeInfo* info) override {
    Lock lock(Control().m);
    info->triggerState = Control().triggerState;
    info->triggerIndex = Control().triggerIndex;
    return 0;
  }
  int Do_GetChannelInfo(uint16_t channel, OscChannelInfo* info) override {
    Lock lock(Control().m);
    info->sampleCount = Control().partCount;
    info->probe = Control().probes[channel & 1];
    return 0;
  }
  int Do_GetSamples(uint16_t, uint32_t count, int16_t* samples) override {
    Lock lock(Control().m);
    for (uint32_t i = 0; i < count && i < Control().partCount; ++i) samples[i] = SampleAt(i);
    return 0;
  }
  int Do_GetMeasurements(OscMeasurements* measured) override {
    Lock lock(Control().m);
    measured->value = Control().measured;
    measured->valid = Control().measuredValid;
    return 0;
  }
  int Do_ReadSaturationData(uint16_t, int16_t* upper, int16_t* lower) override {
    Lock lock(Control().m);
    *upper = Control().upperLimit;
    *lower = Control().lowerLimit;
    return 0;
  }
};

class Scope : public Oscilloscope<GenIOscilloscope_2> {};

class EngineScope : public Oscilloscope<GenIMTOscilloscope_7> {
  int Do_GetProbeFactor(uint16_t channel, uint16_t* inputs) override {
    Lock lock(Control().m);
    *inputs = Control().probeInputs[channel & 1];
    return 0;
  }
  int Do_SetProbe(uint16_t channel, ChannelProbeRecord* records) override {
    Lock lock(Control().m);
    const uint16_t n = Control().probeInputs[channel & 1];
    for (uint16_t i = 0; i < n && i < Control().inputProbes.size(); ++i) {
      records[i] = ChannelProbeRecord{};
      records[i].slot = static_cast<uint8_t>(i + 3);
      std::memcpy(records[i].tag, "NOPR", 4);
      records[i].probe = Control().inputProbes[i];
    }
    return 0;
  }
  int Do_GetCylinderInfo(uint16_t* cylinders) override {
    Lock lock(Control().m);
    *cylinders = Control().cylinders;
    return 0;
  }
  int Do_GetEngineSamples(int16_t cylinder, uint32_t length, EngineSampleRecord* records) override {
    Lock lock(Control().m);
    const uint32_t n = std::min(length, Control().partCount);
    for (uint32_t i = 0; i < n; ++i) records[0].samples[i] = SampleAt(i);
    records[0].peak = Control().enginePeak;
    records[0].length = n;
    records[0].group = static_cast<uint16_t>(cylinder);
    records[0].valid = 1;
    return 0;
  }
};

class Motortester : public GenIMotortester_6 {
  bool Do_IsReady() override {
    Lock lock(Control().m);
    return Control().engineTesterReady;
  }
};

template <typename Base>
class Voltmeter : public Base {
 protected:
  int Do_GetChannelCount(uint16_t* count) override {
    *count = 2;
    return 0;
  }
  int Do_GetRangeCount(uint16_t, uint16_t* count) override {
    Lock lock(Control().m);
    *count = static_cast<uint16_t>(Control().ranges.size());
    return 0;
  }
  int Do_GetRanges(uint16_t, uint16_t count, ScaledValue* ranges) override {
    Lock lock(Control().m);
    for (uint16_t i = 0; i < count && i < Control().ranges.size(); ++i) ranges[i] = Control().ranges[i];
    return 0;
  }
  int Do_ReadProbe(uint16_t channel, ProbeDescriptor* probe) override {
    Lock lock(Control().m);
    *probe = Control().voltProbes[channel & 1];
    return 0;
  }
  int Do_Measure(uint16_t, VoltmeterReading* reading) override {
    Lock lock(Control().m);
    *reading = Control().voltReading;
    return 0;
  }
  int Do_MeasureRms(uint16_t, VoltmeterReading* reading) override {
    Lock lock(Control().m);
    *reading = Control().voltReading;
    return 0;
  }
};

template <typename Base>
class Ohmmeter : public Base {
 protected:
  int Do_GetRangeCount(uint16_t* count) override {
    Lock lock(Control().m);
    *count = static_cast<uint16_t>(Control().ohmRanges.size());
    return 0;
  }
  int Do_GetRanges(uint16_t count, ScaledValue* ranges) override {
    Lock lock(Control().m);
    for (uint16_t i = 0; i < count && i < Control().ohmRanges.size(); ++i) ranges[i] = Control().ohmRanges[i];
    return 0;
  }
  int Do_GetAutoRangeIndex() override { return 0xFFFF; }
  int Do_Measure(OhmReading* reading) override {
    Lock lock(Control().m);
    *reading = Control().ohmReading;
    return 0;
  }
};

template <typename Base>
class DiodeTest : public Base {
 protected:
  int Do_GetRange(ScaledValue* range) override {
    Lock lock(Control().m);
    *range = Control().diodeRange;
    return 0;
  }
  int Do_Measure(DiodeReading* reading) override {
    Lock lock(Control().m);
    *reading = Control().diodeReading;
    return 0;
  }
};

Info g_info;
Communication g_communication;
Scope g_scope;
Voltmeter<GenIVoltmeter_3> g_voltmeter;
Ohmmeter<GenIOhmmeter_4> g_ohmmeter;
DiodeTest<GenIDiodeTest_5> g_diode;
Motortester g_motortester;
EngineScope g_engineScope;
Voltmeter<GenIMTVoltmeter_8> g_engineVoltmeter;
Ohmmeter<GenIMTOhmmeter_9> g_engineOhmmeter;
DiodeTest<GenIMTDiodeTest_10> g_engineDiode;
GenIMTAdvancemeter_11 g_advance;
GenIMTTemperaturemeter_12 g_temperature;
GenIMTDwellanglemeter_13 g_dwell;
GenIMTHiVoltage_14 g_hiVoltage;
GenIMTLeakTest_15 g_leak;

void* const g_table[kv310::kInterfaceCount] = {
    static_cast<IInfo_0*>(&g_info),
    static_cast<ICommunication_1*>(&g_communication),
    static_cast<IOscilloscope_2*>(&g_scope),
    static_cast<IVoltmeter_3*>(&g_voltmeter),
    static_cast<IOhmmeter_4*>(&g_ohmmeter),
    static_cast<IDiodeTest_5*>(&g_diode),
    static_cast<IMotortester_6*>(&g_motortester),
    static_cast<IMTOscilloscope_7*>(&g_engineScope),
    static_cast<IMTVoltmeter_8*>(&g_engineVoltmeter),
    static_cast<IMTOhmmeter_9*>(&g_engineOhmmeter),
    static_cast<IMTDiodeTest_10*>(&g_engineDiode),
    static_cast<IMTAdvancemeter_11*>(&g_advance),
    static_cast<IMTTemperaturemeter_12*>(&g_temperature),
    static_cast<IMTDwellanglemeter_13*>(&g_dwell),
    static_cast<IMTHiVoltage_14*>(&g_hiVoltage),
    static_cast<IMTLeakTest_15*>(&g_leak),
};

}  // namespace
}  // namespace fake

extern "C" {

__attribute__((visibility("default"))) int QueryInterface(unsigned id, void** out) {
  if (!out) return 0;
  bool missing;
  {
    std::lock_guard<std::mutex> lock(fake::Control().m);
    missing = fake::Control().missing.count(id) > 0;
  }
  // Ids missing from the moment of loading: "FAKE_KV310_MISSING" lists them ("7,8,14").
  if (const char* list = std::getenv("FAKE_KV310_MISSING")) {
    const std::string ids = std::string(",") + list + ",";
    missing = missing || ids.find("," + std::to_string(id) + ",") != std::string::npos;
  }
  *out = id < kv310::kInterfaceCount && !missing ? fake::g_table[id] : nullptr;
  return *out ? 1 : 0;
}

__attribute__((visibility("default"))) fake::FakeControl* FakeKv310Control() { return &fake::Control(); }
}
