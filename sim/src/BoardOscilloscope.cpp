// The board oscilloscope: the 16-byte set-up (10) and acquisitions (11) with records triggered
// where the set-up asks, partial records of the rolling trigger modes, and the recording into
// board memory (types 17/18/19) with its stop count and chunked read-back.
//
// Board time is the platform clock. An acquisition takes as long as its samples do: the reply
// comes when the last sample is taken, and an acquisition longer than a second is answered busy
// (abortable) until it is complete, as 1000 samples at 500 S/s and below are.
#include "AcquisitionTypes.h"
#include "CommandTable.h"
#include "ReplyBytes.h"
#include "WaveformGenerator.h"

#include <platform/byteorder.h>
#include <platform/clock.h>

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr size_t kSetupLength = 16;
constexpr uint32_t kMaxSamplesPerChannel = 1000;
constexpr uint32_t kLongestDirectReplyMs = 1000;
constexpr uint32_t kBusyPollMs = 100;
constexpr int kNoiseSearchSamples = 4000;
// A board in normal trigger mode without an edge waits until the host aborts.
constexpr int kEndlessPolls = 1000000;

struct Setup {
  uint8_t acquisitionMode = 0;
  uint8_t coupling[2] = {};
  uint8_t rangeCode[2] = {};
  double rate = 0;
  uint8_t triggerControl = 0;
  uint8_t levelCode[2] = {0x80, 0x80};
  uint32_t triggerPosition = 0;
  uint8_t triggerModeCode = 0;
  uint8_t type = 0;
};

bool ParseSetup(const Bytes& b, Setup* s) {
  if (b.size() < kSetupLength) return false;
  s->acquisitionMode = b[1];
  s->coupling[0] = b[2];
  s->rangeCode[0] = b[3];
  s->coupling[1] = b[4];
  s->rangeCode[1] = b[5];
  s->rate = SampleRateOf(b[6], b[7]);
  s->triggerControl = b[8];
  s->levelCode[0] = b[9];
  s->levelCode[1] = b[10];
  s->triggerPosition = std::min<uint32_t>(kvp::ReadBe16(&b[11]), kMaxSamplesPerChannel - 1);
  s->triggerModeCode = b[13];
  s->type = b[15];
  return s->rate > 0;
}

uint32_t CeilMs(double seconds) { return seconds <= 0 ? 0 : static_cast<uint32_t>(std::ceil(seconds * 1000.0 - 1e-9)); }

bool IsRolling(uint8_t type) { return type >= 3 && type <= 5; }

class Acquisition {
 public:
  Acquisition(const BoardContext& board, const Setup& setup) : setup_(setup) {
    for (int c = 0; c < 2; ++c) {
      const uint8_t probe = board.scenario.channelProbeCodes[c];
      input_[c] = ChannelInputOf(kScopeSamples, setup.coupling[c], setup.rangeCode[c], probe);
      signal_[c] = SeenSignal(board.scenario.channelSignals[c], input_[c]);
    }
  }

  double Period() const { return 1.0 / setup_.rate; }

  uint8_t Raw(int channel, double t) const {
    if (!(input_[channel].scale > 0)) return 0x80;
    return RawByte(SignalValue(signal_[channel], t), input_[channel]);
  }

  // Samples of the type's channels at t0, t0 + period, ... (A and B interleaved).
  void AppendSamples(Bytes& out, uint8_t type, double t0, uint32_t count) const {
    const int channels = ChannelsOf(type);
    const double period = Period();
    for (uint32_t i = 0; i < count; ++i) {
      const double t = t0 + i * period;
      if (channels & 1) out.push_back(Raw(0, t));
      if (channels & 2) out.push_back(Raw(1, t));
    }
  }

  // The moment of the first trigger edge after `from`, on the trigger source the set-up names
  // (both channels for type 20); none without a trigger or an edge.
  std::optional<double> TriggerEdge(double from) const {
    const uint8_t control = setup_.triggerControl;
    if (control == 0 || control >= 0x10) return std::nullopt;  // free run; no external trigger input
    const int code = control - 1;
    const bool rising = (code & 2) == 0;
    const int sourceChannel = (code >> 2) & 1;
    std::optional<double> earliest;
    for (int c = 0; c < 2; ++c) {
      if (setup_.type != 20 && c != sourceChannel) continue;
      if (!(input_[c].scale > 0)) continue;
      const double level = ThresholdOfCode(setup_.levelCode[c], input_[c]);
      const auto edge = NextCrossing(signal_[c], level, rising, from, Period(), kNoiseSearchSamples);
      if (edge && (!earliest || *edge < *earliest)) earliest = edge;
    }
    return earliest;
  }

 private:
  const Setup& setup_;
  ChannelInput input_[2];
  SignalSource signal_[2];
};

Bytes Header(BoardContext& board, const Setup& setup, uint8_t type, int triggerState, uint16_t indexOrProgress) {
  Bytes reply{0x11, 0x00, board.Identity(), board.scenario.channelProbeCodes[1]};
  if (setup.acquisitionMode == 1) {
    const SignalSource& a = board.scenario.channelSignals[0];
    const bool periodic = a.shape != Waveform::Dc && a.shape != Waveform::Noise;
    const int32_t value = board.scenario.oscMeasuredValue.value_or(
        periodic ? static_cast<int32_t>(std::llround(a.frequencyHz * 1000.0)) : 0);
    Put32(reply, static_cast<uint32_t>(value));
  }
  reply.push_back(type);
  reply.push_back(static_cast<uint8_t>((board.scenario.oscErrorFlags << 4) | (triggerState & 0x0F)));
  reply.push_back(static_cast<uint8_t>(indexOrProgress >> 8));
  reply.push_back(static_cast<uint8_t>(indexOrProgress));
  return reply;
}

// Delay or busy replies for an acquisition whose last sample is due `seconds` from now.
void Pace(BoardContext& board, CommandReply& reply, double seconds) {
  if (board.scenario.instantAcquisition) return;
  const uint32_t ms = CeilMs(seconds);
  if (ms > kLongestDirectReplyMs) {
    reply.busy = {static_cast<int>((ms + kBusyPollMs - 1) / kBusyPollMs), true};
  } else {
    reply.delayMs = ms;
  }
}

CommandReply FullRecord(BoardContext& board, const Setup& setup, uint32_t count) {
  const Acquisition acquisition(board, setup);
  const double now = BoardSeconds();
  const double period = acquisition.Period();
  const uint32_t position = setup.triggerPosition;
  // The pre-trigger part of the record is taken after the request, so the edge comes later.
  const std::optional<double> edge = acquisition.TriggerEdge(now + position * period);
  double first = now;
  int state = 1;
  uint16_t index = 0;
  if (edge) {
    // Sample `position` is the first one past the edge.
    first = *edge + period / 2 - position * period;
    state = 0;
    index = static_cast<uint16_t>(position);
  } else if (setup.triggerControl != 0) {
    if (setup.triggerModeCode == 0x01) {
      CommandReply waiting{Header(board, setup, setup.type, 1, 0), {}};
      waiting.busy = {kEndlessPolls, true};
      return waiting;
    }
    state = 2;  // automatic mode: the board gave up waiting for the edge
  }
  CommandReply reply{Header(board, setup, setup.type, state, index), {}};
  acquisition.AppendSamples(reply.payload, setup.type, first, count);
  Pace(board, reply, first + (count > 0 ? count - 1 : 0) * period - now);
  return reply;
}

CommandReply PartialRecord(BoardContext& board, const Setup& setup, uint32_t count) {
  const Acquisition acquisition(board, setup);
  OscilloscopeState& osc = board.state.oscilloscope;
  const double now = BoardSeconds();
  const double period = acquisition.Period();
  if (!osc.rolling) {
    osc.rolling = true;
    osc.rollNextSeconds = now;
  }
  // What has been taken since the last part (the sample due now included), at least one sample;
  // a gap longer than the record keeps only the newest samples.
  const double elapsed = now - osc.rollNextSeconds;
  const double available = elapsed < 0 ? 0.0 : std::floor(elapsed / period + 1e-6) + 1.0;
  const uint32_t wanted = std::max<uint32_t>(count, 1);
  if (available > wanted) osc.rollNextSeconds = now - (wanted - 1) * period;
  const uint32_t n = static_cast<uint32_t>(std::clamp(available, 1.0, static_cast<double>(wanted)));
  CommandReply reply{Header(board, setup, setup.type, 1, 0), {}};
  acquisition.AppendSamples(reply.payload, setup.type, osc.rollNextSeconds, n);
  const double last = osc.rollNextSeconds + (n - 1) * period;
  osc.rollNextSeconds += n * period;
  Pace(board, reply, last - now);
  return reply;
}

CommandReply Recording(BoardContext& board, const Setup& setup, uint32_t count) {
  const Acquisition acquisition(board, setup);
  OscilloscopeState& osc = board.state.oscilloscope;
  const int channels = ChannelsOf(setup.type) == 3 ? 2 : 1;
  const uint32_t capacity = board.scenario.recordingMemory / static_cast<uint32_t>(channels);
  if (count == 0) {
    // Stop: the board reports how many samples per channel it holds.
    if (!osc.recordingStopped) {
      osc.recordingStopped = true;
      const double taken = std::floor((BoardSeconds() - osc.recordingStartSeconds) * setup.rate + 1e-6);
      osc.recordedPerChannel = static_cast<uint32_t>(std::clamp(taken, 0.0, static_cast<double>(capacity)));
      osc.readBackPerChannel = 0;
    }
    CommandReply reply{Header(board, setup, setup.type, 1, 0), {}};
    const uint32_t n = osc.recordedPerChannel;
    Put32(reply.payload, n);
    return reply;
  }
  if (!osc.recordingStopped) return {Header(board, setup, setup.type, 1, 0), {}};
  // Read-back: the next chunk of the recording, oldest first.
  const uint32_t left = osc.recordedPerChannel - osc.readBackPerChannel;
  const uint32_t n = std::min({count, kMaxSamplesPerChannel, left});
  const double first = osc.recordingStartSeconds + osc.readBackPerChannel * acquisition.Period();
  osc.readBackPerChannel += n;
  const uint16_t progress = osc.recordedPerChannel == 0
                                ? 100
                                : static_cast<uint16_t>(uint64_t{osc.readBackPerChannel} * 100 / osc.recordedPerChannel);
  CommandReply reply{Header(board, setup, setup.type, 1, progress), {}};
  acquisition.AppendSamples(reply.payload, setup.type, first, n);
  return reply;
}

}  // namespace

CommandReply HandleSetup(BoardContext& board, std::span<const uint8_t> request) {
  board.state.lastSetup.assign(request.begin(), request.end());
  OscilloscopeState& osc = board.state.oscilloscope;
  osc = OscilloscopeState{};
  Setup setup;
  if (!board.EngineTester() && ParseSetup(board.state.lastSetup, &setup) && IsRecordingType(setup.type)) {
    osc.recording = true;
    osc.recordingStartSeconds = BoardSeconds();
  }
  return {{0x10, 0x00, board.Identity(), 0x00}, {}};
}

CommandReply HandleAcquisition(BoardContext& board, std::span<const uint8_t> request) {
  const Bytes& lastSetup = board.state.lastSetup;
  const uint32_t count =
      request.size() >= 8 ? std::min<uint32_t>(kvp::ReadBe24(&request[5]), kMaxSamplesPerChannel) : 0;
  Setup setup;
  if (board.EngineTester() || !ParseSetup(lastSetup, &setup)) {
    // No base set-up to act on (or the engine tester answers): a header without samples that
    // carries the identity, the measured value when asked for, and the data type of the set-up.
    Bytes reply{0x11, 0x00, board.Identity(), board.scenario.channelProbeCodes[1]};
    if (lastSetup.size() > 1 && lastSetup[1] == 1) reply.insert(reply.end(), 4, 0x00);
    reply.push_back(lastSetup.size() >= kSetupLength ? lastSetup[15] : 0x00);
    reply.insert(reply.end(), {0x00, 0x00, 0x00});
    return {std::move(reply), {}};
  }
  if (IsRecordingType(setup.type)) {
    if (board.state.oscilloscope.recording) return Recording(board, setup, count);
    return {Header(board, setup, setup.type, 1, 0), {}};
  }
  if (IsRolling(setup.type)) return PartialRecord(board, setup, count);
  return FullRecord(board, setup, count);
}

}  // namespace sim
