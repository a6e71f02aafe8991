#include "OscAcquisition.h"

#include "../CommandSet.h"
#include "../ProbeTable.h"

#include <platform/byteorder.h>

#include <cstring>

namespace kv310 {

void BuildAcquisitionRequest(uint8_t flags, uint32_t count, uint8_t request[8]) {
  const uint8_t head[5] = {kCmdAcquisition, flags, 0, 0, 0};
  std::memcpy(request, head, sizeof head);
  kvp::WriteBe24(request + 5, count);
}

OscAcquisition::OscAcquisition() {
  for (OscChannelInfo& info : m_channelInfo) info.probe = DescriptorOfKind(0);
}

void OscAcquisition::ResetMeasurements() {
  m_measurements = OscMeasurements{};
  m_measurements.value.mantissa = -1;
  m_measurements.secondValue.mantissa = 65535;
}

void OscAcquisition::ResetRecording() {
  m_recordingType = kNoDataType;
  m_expectedCount = m_readCounter = 0;
  m_progress = 0;
}

void OscAcquisition::BeginRecording(uint8_t type) {
  ResetRecording();
  m_recordingType = type;
}

void OscAcquisition::StoreBody(const AcquisitionReply& r) {
  switch (r.body) {
    case AcquisitionBody::LiveSamples:
      std::memcpy(m_liveSamples, r.samples, static_cast<size_t>(r.sampleBytes));
      break;
    case AcquisitionBody::RecordedChunk:
      std::memcpy(m_chunkSamples, r.samples, static_cast<size_t>(r.sampleBytes));
      break;
    case AcquisitionBody::RecordedCount:
      m_expectedCount = r.recordedCount;
      break;
    case AcquisitionBody::None:
      break;
  }
  if (r.body != AcquisitionBody::None) {
    m_channelInfo[0].sampleCount = r.countA;
    m_channelInfo[1].sampleCount = r.countB;
  }
}

int OscAcquisition::StoreTrigger(const AcquisitionReply& r) {
  m_triggerState = r.triggerState;
  if (IsRecordingType(r.type)) {
    m_progress = r.indexOrProgress;
  } else {
    m_triggerIndex = r.triggerState == 0 ? r.indexOrProgress : -1;
  }
  return r.errorFlags != 0 ? kBoardErrorFlag : kOk;
}

int OscAcquisition::TimeInfo(OscTimeInfo* info) const {
  if (!info) return kBadArgument;
  info->triggerState = m_triggerState;
  info->triggerIndex = m_triggerIndex;
  return kOk;
}

int OscAcquisition::ChannelInfo(uint16_t channel, OscChannelInfo* info) const {
  if (channel >= 2 || !info) return kBadArgument;
  *info = m_channelInfo[channel];
  return kOk;
}

}  // namespace kv310
