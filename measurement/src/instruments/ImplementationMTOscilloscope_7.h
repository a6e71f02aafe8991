// The engine-tester board's oscilloscope (board mode 6): the board oscilloscope's operations
// extended by ten acquisition modes, probe inputs per channel, angle rates, the engine speed and
// the engine-synchronous acquisitions of modes 7 to 9 with their cylinder groups and peaks.
//
// The object has no lock of its own: the acquisition engine and the GUI call it in turn, and the
// library's link serialises their requests.
#pragma once

#include "../EngineSamples.h"
#include "../MTOscConfiguration.h"
#include "../OscReplyDecoder.h"
#include "../RequestSpacing.h"
#include "OscAcquisition.h"
#include "OscSettingsAccessors.h"

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationMTOscilloscope_7 final
    : public OscSettingsAccessors<IMTOscilloscope_7, ImplementationMTOscilloscope_7, MTOscSetup> {
 public:
  ImplementationMTOscilloscope_7();
  ~ImplementationMTOscilloscope_7() = default;

  int Init() override;
  int GetAngleRateCount(uint16_t* count) override;
  int GetAngleRates(uint16_t count, ScaledValue* rates) override;
  int GetAngleRate(ScaledValue* rate) override;
  int GetAngleRateIndex(uint16_t* index) override;
  int SetAngleRateIndex(uint16_t index) override;
  int GetChannelCount(uint16_t* count) override;
  int SetRangeIndex(uint16_t channel, uint16_t index) override;
  int GetProbeFactor(uint16_t channel, uint16_t* inputCount) override;
  int SetProbe(uint16_t channel, ChannelProbeRecord* records) override;
  int GetProbeFlag(uint16_t channel, uint8_t* input) override;
  int SetProbeFlag(uint16_t channel, uint8_t input) override;
  int GetTriggerPositionLimits(int32_t* minimum, int32_t* maximum) override;
  int SetTriggerPosition(uint32_t position) override;
  int SetTriggerLevel(ScaledValue level) override;
  int SetTriggerMode(int32_t mode) override;
  int SetTriggerEdge(int32_t edge) override;
  int SetTriggerSource(int32_t source, uint16_t channel) override;
  int SetTriggerFilter(int32_t filter) override;
  int Rearm() override;
  int ToggleOption() override;
  int GetAcquisitionMode(int32_t* mode) override;
  int SetAcquisitionMode(int32_t mode) override;
  int SetAll(MTOscSettings settings) override;
  int GetAll(MTOscSettings* settings, uint16_t channelCount, OscChannelSetting* channels) override;
  int StartMeasurement(uint32_t count) override;
  int GetData() override;
  int GetSamples(uint16_t channel, uint32_t count, int16_t* samples) override;
  int GetCylinderInfo(uint16_t* cylinders) override;
  int GetEngineSamples(int16_t cylinder, uint32_t length, EngineSampleRecord* records) override;
  int GetMeasurements(OscMeasurements* measurements) override;
  int GetEngineSpeed(MeasuredValue* speed) override;
  int CheckSettings() override;
  int StopMeasurement(uint32_t* recordedCount) override;
  int WaitData(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done) override;
  int GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) override;

 private:
  // The link's stop leaves the board with this oscilloscope's configuration.
  friend class ImplementationCommunication_1;
  friend class OscSettingsAccessors<IMTOscilloscope_7, ImplementationMTOscilloscope_7, MTOscSetup>;

  static constexpr int kDirtyClean = 0;
  static constexpr int kDirtySettings = 1;
  static constexpr int kDirtyProbes = 2;
  static constexpr int kMaxReply = 4200;

  void ResetSettings(uint16_t sampleRateIndex);
  void MarkDirty() {
    if (m_dirty != kDirtyProbes) m_dirty = kDirtySettings;
  }
  bool ValidChannel(uint16_t channel) const;
  // The board input of the probe input selected on a channel.
  uint8_t InputOf(int channel) const;
  void RefreshInputs();
  int ApplyMode(int32_t mode);
  int Configure();
  // Whether the board holds this oscilloscope's current configuration.
  bool Configured() const;
  int TakeReply(const uint8_t* reply, int received);
  int TakeEngineData(const uint8_t* body, int available, uint8_t type, bool noNewData);
  int ExchangeAcquisition(uint8_t flags, uint32_t count);
  int16_t DecodeChannelSample(int channel, uint8_t raw) const;
  int EngineGroups() const;
  EngineSampleScale EngineScale() const;

  uint8_t m_probeIndex[2] = {0, 0};  // selected probe input per channel (B: input = index + 1)
  ChannelProbeRecord m_probeInputs[2][4] = {};
  MTModeInputs m_modeInputs;
  bool m_rearm = false;
  int32_t m_dirty = kDirtyProbes;
  // The board takes a new start only 300 ms after the previous one or the configuration.
  RequestSpacing m_startSpacing{300};

  // The last engine-synchronous acquisition.
  uint8_t m_engineSamples[kMaxEngineGroups * kEngineGroupSamples] = {};
  int m_engineCount = 0;
  int m_engineGroups = 1;
  GroupPeak m_groupPeaks[kMaxEngineGroups] = {};
  MeasuredValue m_engineSpeed = {};

  uint8_t m_reply[kMaxReply] = {};
};

}  // namespace kv310
