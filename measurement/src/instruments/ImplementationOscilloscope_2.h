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
#include "OscSettingsAccessors.h"

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationOscilloscope_2 final
    : public OscSettingsAccessors<IOscilloscope_2, ImplementationOscilloscope_2, OscCommonSettings> {
 public:
  ImplementationOscilloscope_2();
  ~ImplementationOscilloscope_2() = default;

  int Init() override;
  int GetChannelCount(uint16_t* count) override;
  int SetRangeIndex(uint16_t channel, uint16_t index) override;
  int GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) override;
  int GetTriggerPositionLimits(int32_t* minimum, int32_t* maximum) override;
  int SetTriggerPosition(uint32_t position) override;
  int SetTriggerLevel(ScaledValue level) override;
  int SetTriggerMode(int32_t mode) override;
  int SetTriggerEdge(int32_t edge) override;
  int SetTriggerSource(int32_t source, uint16_t channel) override;
  int SetTriggerFilter(int32_t filter) override;
  int GetAcquisitionMode(int32_t* mode) override;
  int SetAcquisitionMode(int32_t mode) override;
  int SetAll(OscSettings settings) override;
  int GetAll(OscSettings* settings, uint16_t channelCount, OscChannelSetting* channels) override;
  int StartMeasurement(uint32_t count) override;
  int GetData() override;
  int GetSamples(uint16_t channel, uint32_t count, int16_t* samples) override;
  int GetMeasurements(OscMeasurements* measurements) override;
  int CheckSettings() override;
  int StopMeasurement(uint32_t* recordedCount) override;
  int WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) override;

  // The 16-byte set-up the current settings give (what the next configuration sends).
  void BuildSetup(uint8_t setup[kOscSetupLength]) const;

 private:
  // The link's stop leaves the board with this oscilloscope's configuration.
  friend class ImplementationCommunication_1;
  friend class OscSettingsAccessors<IOscilloscope_2, ImplementationOscilloscope_2, OscCommonSettings>;

  bool ValidChannel(uint16_t channel) const { return channel <= 1; }
  void MarkDirty() { m_dirty = 1; }

  void ResetSettings(uint16_t sampleRateIndex);
  uint8_t AcquisitionType() const;
  int Configure();
  // Decodes the reply of the last acquisition held in `reply` (`received` bytes).
  int TakeReply(const uint8_t* reply, int received);
  // Sends one acquisition request of `count` samples and decodes its reply (recording stop and
  // read-back).
  int ExchangeAcquisition(uint32_t count);
  int16_t DecodeChannelSample(int channel, uint8_t raw) const;

  // Settings beside the common ones (m_s).
  int32_t m_acquisitionMode = 0;
  uint8_t m_headerExtension = 0;
  uint8_t m_armed = 0;

  int32_t m_dirty = 1;

  uint8_t m_reply[kMaxAcquisitionReply] = {};
};

}  // namespace kv310
