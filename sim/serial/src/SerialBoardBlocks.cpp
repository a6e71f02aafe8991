// The block protocol of the serial board: host blocks in, acknowledged and joined into frames for
// the board model; its reply frames out as blocks, each resent until the host acknowledges it.
#include <sim/SerialBoard.h>

#include <platform/clock.h>

namespace sim {

namespace {
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x07;
constexpr uint8_t kBusy = 0x08;
constexpr int kReplyTries = 4;
const uint8_t kInfoRequest[4] = {0x04, 0x00, 0x00, 0xFC};

uint8_t Checksum(const uint8_t* bytes, size_t n) {
  uint8_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return static_cast<uint8_t>(0x100 - sum);
}
}  // namespace

void SerialBoard::BlockByteLocked(uint8_t b, uint64_t now) {
  switch (rxStep_) {
    case 0:
      if (b >= 2 && b <= 5) {
        rxType_ = b;
        rxStep_ = 1;
      } else if (b == kAck || b == kNak) {
        ReplyAckLocked(b == kAck, now);
      }
      return;
    case 1:
      rxNeed_ = static_cast<size_t>(b) + 1;
      rxBody_.clear();
      rxStep_ = 2;
      return;
    default: {
      rxBody_.push_back(b);
      if (rxBody_.size() < rxNeed_) return;
      rxStep_ = 0;
      uint8_t sum = 0;
      for (uint8_t v : rxBody_) sum = static_cast<uint8_t>(sum + v);
      const std::vector<uint8_t> payload(rxBody_.begin(), rxBody_.end() - 1);
      HostBlockLocked(rxType_, payload, sum == 0, now);
      return;
    }
  }
}

void SerialBoard::HostBlockLocked(uint8_t type, const std::vector<uint8_t>& payload, bool checksumOk, uint64_t now) {
  const uint32_t delay = config_.blockAnswerDelayMs;
  if (faults_.silent > 0) {
    --faults_.silent;
    return;
  }
  if (faults_.busy > 0) {
    --faults_.busy;
    AnswerLocked(kBusy, now, delay);
    return;
  }
  if (faults_.refuse > 0 || !checksumOk) {
    if (faults_.refuse > 0) --faults_.refuse;
    ++badBlocks_;
    AnswerLocked(kNak, now, delay);
    return;
  }
  ++goodBlocks_;
  const bool info = type == 5 && payload.size() == 4 && std::equal(payload.begin(), payload.end(), kInfoRequest);
  if (info) {
    // The acknowledge and the 67-byte reply, without waiting for an acknowledge of the host.
    AnswerLocked(kAck, now);
    InfoReplyLocked(now);
    return;
  }
  if (state_ != SerialBoardState::App) return;  // the resident firmware knows only the information request
  AnswerLocked(kAck, now, delay);
  // A block after an answered acknowledge is new data, also when it repeats the last one.
  if (type == 5 || type == 2) frame_.clear();
  frame_.insert(frame_.end(), payload.begin(), payload.end());
  if (type != 5 && type != 4) return;

  const ParsedFrame parsed = ParseFrame(frame_);
  frame_.clear();
  if (parsed.status != FrameStatus::Complete) {
    model_.NoteBadFrame();
    return;
  }
  const BoardResponse response = model_.Handle(parsed.payload);
  const Bytes reply = response.Frame();
  // Command 01 sets the block size, applied once its reply has gone out.
  const int newBlockSize = parsed.payload[0] == 0x01 ? model_.State().blockSize : 0;
  if (reply.empty()) {
    if (newBlockSize) blockSize_ = newBlockSize;
    return;
  }
  QueueReplyLocked(reply, now + delay + response.delayMs, newBlockSize);
}

void SerialBoard::InfoReplyLocked(uint64_t now) {
  HwSwInfo rec = model_.Scenario().hwSwInfo;
  const bool app = state_ == SerialBoardState::App;
  rec.boardStatus = app ? 0x0208 : 0x0008;
  SetHwSwText(rec.firmwareText, app ? runningVersion_ : std::string());
  std::vector<uint8_t> bytes{0x02, 0x40, 0x42, 0x00};
  const auto* raw = reinterpret_cast<const uint8_t*>(&rec);
  bytes.insert(bytes.end(), raw, raw + sizeof rec);
  bytes.push_back(Checksum(raw, sizeof rec));
  SendLocked(std::move(bytes), now);
}

void SerialBoard::QueueReplyLocked(const Bytes& frame, uint64_t dueMs, int newBlockSize) {
  pendingReplies_.push_back({dueMs, {frame, newBlockSize}});
  if (!replyBlocks_.empty() || awaitingAck_ || pendingReplies_.size() != 1) return;
  const uint64_t now = kvp::ClockNowMs();
  if (dueMs <= now) {
    SendNextReplyBlockLocked(now);
  } else {
    ScheduleLocked(dueMs, [this] { SendNextReplyBlockLocked(kvp::ClockNowMs()); });
  }
}

void SerialBoard::SendNextReplyBlockLocked(uint64_t now) {
  if (awaitingAck_) return;
  if (replyBlocks_.empty()) {
    if (pendingBlockSize_) {
      blockSize_ = pendingBlockSize_;
      pendingBlockSize_ = 0;
    }
    if (pendingReplies_.empty()) return;
    auto& [due, reply] = pendingReplies_.front();
    if (due > now) {
      ScheduleLocked(due, [this] { SendNextReplyBlockLocked(kvp::ClockNowMs()); });
      return;
    }
    const Bytes& frame = reply.first;
    pendingBlockSize_ = reply.second;
    const size_t size = static_cast<size_t>(blockSize_);
    for (size_t at = 0; at < frame.size(); at += size) {
      const size_t n = std::min(size, frame.size() - at);
      uint8_t type = 3;
      if (frame.size() <= size) type = 5;
      else if (at == 0) type = 2;
      else if (at + n == frame.size()) type = 4;
      std::vector<uint8_t> block{type, static_cast<uint8_t>(n)};
      block.insert(block.end(), frame.begin() + at, frame.begin() + at + n);
      block.push_back(Checksum(frame.data() + at, n));
      replyBlocks_.push_back(ReplyBlock{std::move(block)});
    }
    pendingReplies_.pop_front();
    replyTries_ = 0;
  }
  // The body goes out back to back; then the host's acknowledge is awaited.
  ++replyTries_;
  ++replyBlocksSent_;
  awaitingAck_ = true;
  const uint64_t sequence = ++ackSequence_;
  std::vector<uint8_t> bytes = replyBlocks_.front().bytes;
  if (faults_.corruptReplyBlocks > 0) {
    --faults_.corruptReplyBlocks;
    bytes.back() ^= 0xFF;
  } else if (faults_.truncateReplyBlocks > 0) {
    --faults_.truncateReplyBlocks;
    bytes.pop_back();
  }
  SendLocked(std::move(bytes), now);
  ScheduleLocked(now + config_.ackTimeoutMs, [this, sequence] {
    if (awaitingAck_ && sequence == ackSequence_) ReplyAckLocked(false, kvp::ClockNowMs());
  });
}

void SerialBoard::ReplyAckLocked(bool ack, uint64_t now) {
  if (!awaitingAck_) return;
  if (ack && faults_.dropReplyAcks > 0) {
    --faults_.dropReplyAcks;
    return;
  }
  awaitingAck_ = false;
  ++ackSequence_;
  if (ack) {
    replyBlocks_.pop_front();
    replyTries_ = 0;
  } else if (replyTries_ >= kReplyTries) {
    replyBlocks_.clear();  // the reply is given up
    ++repliesAbandoned_;
  }
  SendNextReplyBlockLocked(now);
}

}  // namespace sim
