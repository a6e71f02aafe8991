// The measuring board's two-channel oscilloscope (board mode 1): the caller's settings, the
// board set-up (command 0x10) built from them, acquisitions (command 0x11) with their decoded
// samples, and the recording into board memory that the recorder reads back in chunks.
//
// The object has no lock of its own: the acquisition engine, the recorder and the GUI call it in
// turn, and the library's link serialises their requests.
#pragma once

#include "../OscConfiguration.h"
#include "../OscReplyDecoder.h"
#include "OscAcquisition.h"

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationOscilloscope_2 final : public IOscilloscope_2, private OscAcquisition {
 public:
  ImplementationOscilloscope_2();
  ~ImplementationOscilloscope_2() = default;

  int Init() override;
  int GetSampleRateCount(uint16_t* count) override;
  int GetSampleRates(uint16_t count, int32_t* rates) override;
  int GetSampleRate(int32_t* rate) override;
  int GetSampleRateIndex(uint16_t* index) override;
  int SetSampleRateIndex(uint16_t index) override;
  int GetChannelCount(uint16_t* count) override;
  int GetRangeCount(uint16_t channel, uint16_t* count) override;
  int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) override;
  int GetRange(uint16_t channel, ScaledValue* range) override;
  int GetRangeIndex(uint16_t channel, uint16_t* index) override;
  int SetRangeIndex(uint16_t channel, uint16_t index) override;
  int GetChannelMode(uint16_t channel, int32_t* mode) override;
  int SetChannelMode(uint16_t channel, int32_t mode) override;
  int GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) override;
  int GetTriggerPositionLimits(int32_t* minimum, int32_t* maximum) override;
  int GetTriggerPosition(uint32_t* position) override;
  int SetTriggerPosition(uint32_t position) override;
  int GetTriggerLevel(ScaledValue* level) override;
  int SetTriggerLevel(ScaledValue level) override;
  int GetTriggerMode(int32_t* mode) override;
  int SetTriggerMode(int32_t mode) override;
  int GetTriggerEdge(int32_t* edge) override;
  int SetTriggerEdge(int32_t edge) override;
  int GetTriggerSource(int32_t* source, uint16_t* channel) override;
  int SetTriggerSource(int32_t source, uint16_t channel) override;
  int GetTriggerFilter(int32_t* filter) override;
  int SetTriggerFilter(int32_t filter) override;
  int GetTriggerSensitivity(ScaledValue* sensitivity) override;
  int SetTriggerSensitivity(ScaledValue sensitivity) override;
  int GetAcquisitionMode(int32_t* mode) override;
  int SetAcquisitionMode(int32_t mode) override;
  int SetAll(OscSettings settings) override;
  int GetAll(OscSettings* settings, uint16_t channelCount, OscChannelSetting* channels) override;
  int GetRecordLength(int32_t* length) override;
  int StartMeasurement(uint32_t count) override;
  int GetData() override;
  int GetTimeInfo(OscTimeInfo* info) override;
  int GetChannelInfo(uint16_t channel, OscChannelInfo* info) override;
  int GetSamples(uint16_t channel, uint32_t count, int16_t* samples) override;
  int GetMeasurements(OscMeasurements* measurements) override;
  int CheckSettings() override;
  int StopMeasurement(uint32_t* recordedCount) override;
  int WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) override;
  int ReadSaturationData(uint16_t channel, int16_t* positiveLimit, int16_t* negativeLimit) override;
  int ConvertValue(uint16_t channel, uint16_t rangeIndex, ProbeDescriptor probe, int16_t* positiveLimit,
                   int16_t* negativeLimit) override;

  // The 16-byte set-up the current settings give (what the next configuration sends).
  void BuildSetup(uint8_t setup[kOscSetupLength]) const;

 private:
  // The link's stop leaves the board with this oscilloscope's configuration.
  friend class ImplementationCommunication_1;

  void ResetSettings(uint16_t sampleRateIndex);
  template <typename T>
  void Store(T& field, T value) {
    if (field != value) m_dirty = 1;
    field = value;
  }
  uint8_t AcquisitionType() const;
  int Configure();
  // Decodes the reply of the last acquisition held in `reply` (`received` bytes).
  int TakeReply(const uint8_t* reply, int received);
  // Sends one acquisition request of `count` samples and decodes its reply (recording stop and
  // read-back).
  int ExchangeAcquisition(uint32_t count);
  int16_t DecodeChannelSample(int channel, uint8_t raw) const;

  // Settings.
  int32_t m_acquisitionMode = 0;
  uint8_t m_headerExtension = 0;
  uint16_t m_sampleRateIndex = 11;
  int32_t m_channelMode[2] = {1, 0};
  uint16_t m_rangeIndex[2] = {0, 0};
  int32_t m_previousMode[2] = {1, 0};
  uint32_t m_triggerPosition = 256;
  int32_t m_triggerMode = 2;
  ScaledValue m_triggerLevel = {0, 0, {}};
  int32_t m_triggerEdge = 1;
  int32_t m_triggerSource = 0;
  uint16_t m_triggerSourceChannel = 0;
  int32_t m_triggerFilter = 0;
  ScaledValue m_triggerSensitivity = {1, -1, {}};
  uint8_t m_armed = 0;

  int32_t m_dirty = 1;

  uint8_t m_reply[kMaxAcquisitionReply] = {};
};

}  // namespace kv310
