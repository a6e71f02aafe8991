// What the board oscilloscope and the engine-tester oscilloscope keep of their last acquisition
// and of a recording into board memory, and what they do with it alike: store a decoded reply,
// hand out its samples, time and channel information, and read a recording back in chunks.
#pragma once

#include "../OscConfiguration.h"
#include "../OscReplyDecoder.h"

#include <kv310/Kv310.h>

#include <cstdint>

namespace kv310 {

// The acquisition request (0x11): flags, then the sample count as a big-endian 24-bit number.
void BuildAcquisitionRequest(uint8_t flags, uint32_t count, uint8_t request[8]);

class OscAcquisition {
 protected:
  static constexpr uint8_t kNoDataType = 0xFF;

  OscAcquisition();

  // The measured values as they read before the first acquisition.
  void ResetMeasurements();
  // Forgets a recording's type, count, read-back counter and progress.
  void ResetRecording();
  // A recording of `type` is armed: what it records is read back in chunks of that type only.
  void BeginRecording(uint8_t type);
  // Stores what the body of a decoded reply carries: live samples, a recorded chunk or a
  // recorded count, and the channels' sample counts.
  void StoreBody(const AcquisitionReply& r);
  // Stores the trigger state and the trigger index or the recording progress; kBoardErrorFlag when
  // the board marked the acquisition with an error, else kOk.
  int StoreTrigger(const AcquisitionReply& r);

  int TimeInfo(OscTimeInfo* info) const;
  int ChannelInfo(uint16_t channel, OscChannelInfo* info) const;

  // Up to `count` samples of a channel from the last live record, each raw byte through
  // `decode(channel, raw)`; kNoData when the record holds none of the channel.
  template <typename Decode>
  int LiveSamples(uint16_t channel, uint32_t count, int16_t* samples, Decode decode) const;

  // Reads a stopped recording back chunk by chunk into `samples` until the recorded count or
  // progress 100 is reached or the next chunk would not fit. `exchange()` requests one chunk and
  // stores its reply; `decode(channel, raw)` gives a raw byte's value. Whether a chunk fits is
  // judged by the armed type (the channels may have been switched since), a reply of another type
  // is malformed (kNoData), and nothing is ever written beyond `capacity` samples.
  template <typename Exchange, typename Decode>
  int ReadRecording(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done, Exchange exchange,
                    Decode decode);

  // The last acquisition.
  uint8_t m_liveSamples[kMaxSampleBytes] = {};
  uint8_t m_chunkSamples[kMaxSampleBytes] = {};
  uint8_t m_dataType = kNoDataType;
  int32_t m_triggerState = 1;
  int32_t m_triggerIndex = -1;
  OscChannelInfo m_channelInfo[2] = {};
  OscMeasurements m_measurements = {};

  // Recording into board memory.
  uint8_t m_recordingType = kNoDataType;
  uint32_t m_expectedCount = 0;
  uint32_t m_readCounter = 0;
  uint16_t m_progress = 0;
};

template <typename Decode>
int OscAcquisition::LiveSamples(uint16_t channel, uint32_t count, int16_t* samples, Decode decode) const {
  if (count > m_channelInfo[channel].sampleCount) count = m_channelInfo[channel].sampleCount;
  if (count == 0) return kNoData;
  if (IsRecordingType(m_dataType)) return kNoData;
  const int stride = MaxSamplesOf(m_dataType) / kRecordLength;  // 2: A and B interleaved
  if (stride == 0) return kNoData;
  // Every sample of a channel decodes with the same range, probe and factors: one table of the
  // 256 raw bytes serves the whole record.
  int16_t table[256];
  for (int raw = 0; raw < 256; ++raw) table[raw] = decode(static_cast<int>(channel), static_cast<uint8_t>(raw));
  const uint8_t* from = m_liveSamples + (stride == 2 ? channel : 0);
  for (uint32_t i = 0; i < count; ++i) samples[i] = table[from[stride * i]];
  return kOk;
}

template <typename Exchange, typename Decode>
int OscAcquisition::ReadRecording(uint32_t capacity, int16_t* samples, uint32_t* count, uint8_t* done,
                                  Exchange exchange, Decode decode) {
  if (!samples || !count || !done) return kBadArgument;
  if (capacity < 2 * kRecordLength) return kBufferTooSmall;
  if (m_expectedCount == 0 || !IsRecordingType(m_recordingType)) return kNoData;
  // The most samples a chunk of the armed type carries.
  const uint32_t chunk = static_cast<uint32_t>(MaxSamplesOf(m_recordingType));
  uint32_t readSoFar = 0;
  *done = 0;
  while (capacity - readSoFar >= chunk) {
    const int code = exchange();
    if (code != kOk) return code;
    if (m_dataType != m_recordingType) return kNoData;
    const uint32_t n = m_channelInfo[0].sampleCount + m_channelInfo[1].sampleCount;
    if (n == 0 || n > capacity - readSoFar) return kNoData;
    int16_t* out = samples + readSoFar;
    if (m_dataType == kDataRecordChannelsAB) {
      for (uint32_t i = 0; i < n; ++i) out[i] = decode(static_cast<int>(i % 2), m_chunkSamples[i]);
    } else {
      const int channel = m_dataType == kDataRecordChannelA ? 0 : 1;
      for (uint32_t i = 0; i < n; ++i) out[i] = decode(channel, m_chunkSamples[i]);
    }
    m_readCounter += n;
    readSoFar += n;
    if (readSoFar == m_expectedCount || m_readCounter == m_expectedCount || m_progress == 100) {
      *done = 1;
      m_expectedCount = 0;
      break;
    }
  }
  *count = readSoFar;
  return kOk;
}

}  // namespace kv310
