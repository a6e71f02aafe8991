#include <sim/BoardModel.h>

#include "CommandTable.h"

#include <platform/clock.h>

#include <algorithm>

namespace sim {

namespace {

constexpr uint8_t kBusyMark = 0xFD;
constexpr uint8_t kNackMark = 0xFF;
constexpr uint8_t kAbortCommand = 0x05;

CommandReply Dispatch(BoardContext& board, std::span<const uint8_t> request) {
  const CommandEntry* entry = FindCommand(board, request);
  return entry ? entry->handle(board, request) : NotSupported(request[0]);
}

Outcome Classify(const Bytes& payload) {
  if (payload.empty()) return Outcome::Silence;
  if (payload[0] == kBusyMark) return Outcome::Busy;
  if (payload[0] == kNackMark) return Outcome::Nack;
  return Outcome::Reply;
}

// Faults that change what the board answers but not whether it carried the request out.
void DamageReply(Bytes& payload, const Fault& fault) {
  if (fault.kind == FaultKind::ErrorStatus) {
    if (payload.size() < 2) payload.resize(2, 0x00);
    payload[1] = fault.status;
  } else if (fault.kind == FaultKind::Truncate) {
    payload.resize(std::min(payload.size(), std::max<size_t>(fault.length, 1)));
  }
}

bool SkipsRequest(FaultKind kind) {
  return kind == FaultKind::Nack || kind == FaultKind::Silence || kind == FaultKind::EmptyEvent;
}

}  // namespace

Bytes BoardResponse::Frame() const {
  switch (outcome) {
    case Outcome::Reply:
    case Outcome::Busy:
    case Outcome::Nack:
      return BuildFrame(payload);
    case Outcome::Malformed:
      return BuildMalformedFrame(payload, defect);
    case Outcome::Silence:
    case Outcome::EmptyEvent:
      break;
  }
  return {};
}

BoardModel::BoardModel() = default;

Fault BoardModel::TakeFault(uint64_t number, uint8_t command) {
  if (auto it = scenario_.faultOnRequest.find(number); it != scenario_.faultOnRequest.end()) return it->second;
  auto it = scenario_.commandFaults.find(command);
  if (it == scenario_.commandFaults.end() || it->second.times == 0) return {};
  if (it->second.times > 0) --it->second.times;
  return it->second.fault;
}

BoardResponse BoardModel::Handle(std::span<const uint8_t> payload) {
  std::lock_guard lock(mutex_);
  LoggedRequest entry;
  entry.number = ++requestCount_;
  entry.timeMs = kvp::ClockNowMs();
  entry.payload.assign(payload.begin(), payload.end());

  BoardResponse response;
  if (payload.empty()) {
    // Nothing to act on; a transport never delivers this, but the log keeps it.
    if (observer_) observer_(entry);
    log_.Push(std::move(entry));
    return response;
  }
  ++commandCounts_[payload[0]];

  const Fault fault = TakeFault(entry.number, payload[0]);
  uint32_t handlerDelayMs = 0;

  if (SkipsRequest(fault.kind)) {
    if (fault.kind == FaultKind::Nack) {
      response.outcome = Outcome::Nack;
      response.payload = {kNackMark};
    } else {
      response.outcome = fault.kind == FaultKind::Silence ? Outcome::Silence : Outcome::EmptyEvent;
    }
  } else {
    const uint8_t command = payload[0];
    // Any request other than a poll or an abort ends whatever was held behind busy replies.
    if (command != kBusyMark && command != kAbortCommand) {
      state_.busyPending = false;
      state_.heldReply.clear();
    }
    BoardContext board{scenario_, state_};
    CommandReply reply = Dispatch(board, payload);
    handlerDelayMs = reply.delayMs;

    const BusyPlan& plan = reply.busy.polls > 0 ? reply.busy : scenario_.busy[command];
    if (plan.polls > 0 && command != kBusyMark && command != kAbortCommand) {
      state_.busyPending = true;
      state_.busyToken = nextToken_++;
      state_.pollsLeft = plan.polls - 1;
      state_.abortable = plan.abortable;
      state_.heldReply = std::move(reply.payload);
      reply.payload = {kBusyMark, state_.busyToken, static_cast<uint8_t>(plan.abortable ? 0x00 : 0x01)};
    }
    // A fault damages the answer to the request it hits: a busy reply when the request is held,
    // the final reply when it hits the poll that fetches it.
    DamageReply(reply.payload, fault);
    response.payload = std::move(reply.payload);
    response.outcome = Classify(response.payload);
    if (fault.kind == FaultKind::Malformed && response.outcome != Outcome::Silence) {
      response.outcome = Outcome::Malformed;
      response.defect = fault.defect;
    }
  }
  if (response.outcome != Outcome::Silence) response.delayMs = std::max(scenario_.replyDelayMs, handlerDelayMs);

  entry.outcome = response.outcome;
  entry.reply = response.payload;
  if (observer_) observer_(entry);
  log_.Push(std::move(entry));
  return response;
}

void BoardModel::SetRequestObserver(std::function<void(const LoggedRequest&)> observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

BoardScenario BoardModel::Scenario() const {
  std::lock_guard lock(mutex_);
  return scenario_;
}

void BoardModel::SetScenario(const BoardScenario& scenario) {
  std::lock_guard lock(mutex_);
  scenario_ = scenario;
}

void BoardModel::Reset() {
  std::lock_guard lock(mutex_);
  scenario_ = BoardScenario{};
  state_ = BoardState{};
  log_.Clear();
  commandCounts_ = {};
  requestCount_ = 0;
  nextToken_ = 1;
  link_ = LinkRecord{};
}

BoardState BoardModel::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

std::vector<LoggedRequest> BoardModel::Requests() const {
  std::lock_guard lock(mutex_);
  return log_.Entries();
}

std::vector<Bytes> BoardModel::RequestPayloads() const {
  std::lock_guard lock(mutex_);
  std::vector<Bytes> payloads;
  payloads.reserve(log_.Size());
  for (const LoggedRequest& entry : log_) payloads.push_back(entry.payload);
  return payloads;
}

size_t BoardModel::CountRequests(uint8_t command) const {
  std::lock_guard lock(mutex_);
  return commandCounts_[command];
}

void BoardModel::ClearLog() {
  std::lock_guard lock(mutex_);
  log_.Clear();
  commandCounts_ = {};
}

void BoardModel::KeepWholeLog(bool whole) {
  std::lock_guard lock(mutex_);
  log_.KeepWhole(whole);
}

void BoardModel::NoteLinkInit(const char* key) {
  std::lock_guard lock(mutex_);
  ++link_.initCalls;
  link_.lastInitKey = key ? key : "";
}

void BoardModel::NoteLinkDeinit() {
  std::lock_guard lock(mutex_);
  ++link_.deinitCalls;
}

void BoardModel::NoteSerialBlocksize(int size) {
  std::lock_guard lock(mutex_);
  link_.serialBlocksize = size;
}

void BoardModel::NoteBadFrame() {
  std::lock_guard lock(mutex_);
  ++link_.badFrames;
}

LinkRecord BoardModel::Link() const {
  std::lock_guard lock(mutex_);
  return link_;
}

}  // namespace sim
