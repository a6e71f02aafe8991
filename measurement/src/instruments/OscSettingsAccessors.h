// The operations both oscilloscopes carry out alike on the settings they keep alike: sample rates,
// ranges and channel modes, the trigger settings' getters and the trigger sensitivity, the record
// length, the time and channel information of the last acquisition and the saturation limits.
//
// An oscilloscope derives from OscSettingsAccessors<its interface, itself, its settings record>
// and provides `bool ValidChannel(uint16_t) const` (which channels the current mode has) and
// `void MarkDirty()` (a setting changed: configure before the next start). What differs between
// the two stays in each oscilloscope.
#pragma once

#include "../OscConfiguration.h"
#include "../ScaledArithmetic.h"
#include "OscAcquisition.h"

#include <kv310/Kv310.h>

namespace kv310 {

template <typename Interface, typename Derived, typename Settings>
class OscSettingsAccessors : public Interface, protected OscAcquisition {
 public:
  int GetSampleRateCount(uint16_t* count) override {
    if (!count) return kBadArgument;
    *count = kSampleRateCount;
    return kOk;
  }
  int GetSampleRates(uint16_t count, int32_t* rates) override {
    if (!rates || count > kSampleRateCount) return kBadArgument;
    for (int i = 0; i < count; ++i) rates[i] = SampleRateOf(i);
    return kOk;
  }
  int GetSampleRate(int32_t* rate) override {
    if (!rate) return kBadArgument;
    *rate = SampleRateOf(m_s.sampleRateIndex);
    return kOk;
  }
  int GetSampleRateIndex(uint16_t* index) override { return Get(m_s.sampleRateIndex, index); }
  int SetSampleRateIndex(uint16_t index) override {
    if (index >= kSampleRateCount) return kBadArgument;
    Store(m_s.sampleRateIndex, index);
    return kOk;
  }

  int GetRangeCount(uint16_t channel, uint16_t* count) override {
    if (!Self().ValidChannel(channel) || !count) return kBadArgument;
    *count = kRangeCount;
    return kOk;
  }
  int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) override {
    if (!Self().ValidChannel(channel) || count > kRangeCount || !ranges) return kBadArgument;
    for (int i = 0; i < count; ++i) ranges[i] = GetRangeScale(i);
    return kOk;
  }
  int GetRange(uint16_t channel, ScaledValue* range) override {
    if (!Self().ValidChannel(channel) || !range) return kBadArgument;
    *range = GetRangeScale(m_s.rangeIndex[channel]);
    return kOk;
  }
  int GetRangeIndex(uint16_t channel, uint16_t* index) override {
    if (!Self().ValidChannel(channel)) return kBadArgument;
    return Get(m_s.rangeIndex[channel], index);
  }
  int GetChannelMode(uint16_t channel, int32_t* mode) override {
    if (!Self().ValidChannel(channel)) return kBadArgument;
    return Get(m_s.channelMode[channel], mode);
  }
  // On a change the old mode becomes the previous mode.
  int SetChannelMode(uint16_t channel, int32_t mode) override {
    if (!Self().ValidChannel(channel) || mode < 0 || mode > 2) return kBadArgument;
    if (m_s.channelMode[channel] != mode) {
      m_s.previousMode[channel] = m_s.channelMode[channel];
      m_s.channelMode[channel] = mode;
      Self().MarkDirty();
    }
    return kOk;
  }

  int GetTriggerPosition(uint32_t* position) override { return Get(m_s.triggerPosition, position); }
  int GetTriggerLevel(ScaledValue* level) override { return Get(m_s.triggerLevel, level); }
  int GetTriggerMode(int32_t* mode) override { return Get(m_s.triggerMode, mode); }
  int GetTriggerEdge(int32_t* edge) override { return Get(m_s.triggerEdge, edge); }
  int GetTriggerSource(int32_t* source, uint16_t* channel) override {
    if (!source || !channel) return kBadArgument;
    *source = m_s.triggerSource;
    *channel = m_s.triggerSourceChannel;
    return kOk;
  }
  int GetTriggerFilter(int32_t* filter) override { return Get(m_s.triggerFilter, filter); }
  int GetTriggerSensitivity(ScaledValue* sensitivity) override { return Get(m_s.triggerSensitivity, sensitivity); }
  // Refuses a sensitivity of 0 or below.
  int SetTriggerSensitivity(ScaledValue sensitivity) override {
    if (!(ScaledValueToFloat(sensitivity) > 0.0f)) return kBadArgument;
    StoreValue(m_s.triggerSensitivity, sensitivity);
    return kOk;
  }

  int GetRecordLength(int32_t* length) override {
    if (!length) return kBadArgument;
    *length = kRecordLength;
    return kOk;
  }
  int GetTimeInfo(OscTimeInfo* info) override { return TimeInfo(info); }
  int GetChannelInfo(uint16_t channel, OscChannelInfo* info) override { return ChannelInfo(channel, info); }
  int ReadSaturationData(uint16_t channel, int16_t* positiveLimit, int16_t* negativeLimit) override {
    if (channel > 1) return kBadArgument;
    return ConvertValue(channel, m_s.rangeIndex[channel], m_channelInfo[channel].probe, positiveLimit, negativeLimit);
  }
  int ConvertValue(uint16_t channel, uint16_t rangeIndex, ProbeDescriptor probe, int16_t* positiveLimit,
                   int16_t* negativeLimit) override {
    return GetSaturationLimits(channel, rangeIndex, probe.probeClass, positiveLimit, negativeLimit);
  }

 protected:
  // GetAll's part both share: the common settings into `out` (an OscSettings or MTOscSettings)
  // and the first `channelCount` channels' modes and ranges into `channels`.
  template <typename Out>
  int GetCommonSettings(Out* out, uint16_t channelCount, OscChannelSetting* channels) const {
    if (!out || channelCount > 2 || (channelCount > 0 && !channels)) return kBadArgument;
    out->sampleRateIndex = m_s.sampleRateIndex;
    out->triggerPosition = m_s.triggerPosition;
    out->triggerMode = m_s.triggerMode;
    out->triggerLevel = m_s.triggerLevel;
    out->triggerEdge = m_s.triggerEdge;
    out->triggerSource = m_s.triggerSource;
    out->triggerSourceChannel = m_s.triggerSourceChannel;
    out->triggerFilter = m_s.triggerFilter;
    out->triggerSensitivity = m_s.triggerSensitivity;
    for (int c = 0; c < channelCount; ++c) channels[c] = OscChannelSetting{m_s.channelMode[c], m_s.rangeIndex[c]};
    return kOk;
  }

  // Stores a setting and marks the settings dirty when it changed.
  template <typename T>
  void Store(T& field, T value) {
    if (field != value) Self().MarkDirty();
    field = value;
  }
  // The same for a scaled value (mantissa and exponent compared; the reserved bytes cleared).
  void StoreValue(ScaledValue& field, ScaledValue value) {
    if (value.mantissa != field.mantissa || value.exponent != field.exponent) Self().MarkDirty();
    field = ScaledValue{value.mantissa, value.exponent, {}};
  }

  Settings m_s;

 private:
  template <typename T, typename Out>
  static int Get(const T& field, Out* out) {
    if (!out) return kBadArgument;
    *out = field;
    return kOk;
  }
  Derived& Self() { return static_cast<Derived&>(*this); }
};

}  // namespace kv310
