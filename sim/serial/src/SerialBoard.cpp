// Lines, states, the ROM bootstrap and the loaders of the serial board.
#include <sim/SerialBoard.h>

#include <platform/clock.h>
#include <platform/sync.h>

#include <algorithm>
#include <fstream>

namespace sim {

const uint8_t kBootstrapBlock[86] = {
    0xe6, 0x08, 0x00, 0xfa, 0xcc, 0x00, 0xcc, 0x00, 0xe6, 0xf0, 0x00, 0xfd, 0x9a, 0xb7, 0xfe, 0x70, 0xa4, 0x00,
    0xb2, 0xfe, 0x7e, 0xb7, 0x86, 0xf0, 0x35, 0xfd, 0x3d, 0xf8, 0xfa, 0x00, 0x00, 0xfd, 0xe6, 0x09, 0x3f, 0xfa,
    0xf2, 0xf4, 0x08, 0xf1, 0x8a, 0xf4, 0x03, 0x00, 0xe6, 0x89, 0x80, 0x00, 0x0d, 0x02, 0xe6, 0x89, 0x00, 0x00,
    0xfa, 0x00, 0x1a, 0xfd, 0xe6, 0x00, 0x00, 0x00, 0xe6, 0x01, 0x01, 0x00, 0xe6, 0x02, 0x02, 0x00, 0xe6, 0x03,
    0x03, 0x00, 0xe6, 0x86, 0x2e, 0x04, 0xe6, 0x09, 0x00, 0xfc, 0xfa, 0x00, 0x00, 0x00};

namespace {
constexpr size_t kBootstrapRest = sizeof kBootstrapBlock - 32;
}  // namespace

const char* StateName(SerialBoardState state) {
  switch (state) {
    case SerialBoardState::Reset: return "RESET";
    case SerialBoardState::Booting: return "BOOTING";
    case SerialBoardState::Rom: return "ROM";
    case SerialBoardState::Stage1: return "STAGE1";
    case SerialBoardState::Stage2: return "STAGE2";
    case SerialBoardState::Stage3: return "STAGE3";
    case SerialBoardState::Resident: return "RESIDENT";
    case SerialBoardState::App: return "APP";
  }
  return "?";
}

std::string VersionTextInImage(const std::map<uint32_t, uint8_t>& image) {
  std::string bytes;
  bytes.reserve(image.size());
  for (const auto& [address, value] : image) bytes.push_back(static_cast<char>(value));
  const size_t at = bytes.find("Version ");
  if (at == std::string::npos) return {};
  std::string text;
  for (size_t i = at + 8; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (!(isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-')) break;
    text.push_back(c);
  }
  return text;
}

SerialBoard::SerialBoard(BoardModel& model, SerialBoardConfig config)
    : model_(model), config_(std::move(config)), flashHasApp_(config_.flashHasApp), flashVersion_(config_.flashVersion) {
  // Power-up: the board boots from flash at once.
  state_ = flashHasApp_ ? SerialBoardState::App : SerialBoardState::Resident;
  runningVersion_ = flashHasApp_ ? flashVersion_ : std::string();
  history_.Push(state_);
  wake_.reset(CreateEvent(nullptr, FALSE, FALSE, nullptr));
  worker_ = std::thread([this] { Run(); });
  clockListener_ = kvp::ClockSubscribe([this] { SetEvent(wake_.get()); });
}

SerialBoard::~SerialBoard() {
  kvp::ClockUnsubscribe(clockListener_);
  stop_ = true;
  SetEvent(wake_.get());
  worker_.join();
}

bool SerialBoard::LearnBootFile1(const std::string& linuxPath) {
  std::ifstream in(linuxPath);
  if (!in) return false;
  size_t total = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 11 || line[0] != ':') continue;
    const unsigned count = std::stoul(line.substr(1, 2), nullptr, 16);
    const unsigned type = std::stoul(line.substr(7, 2), nullptr, 16);
    if (type == 1) break;
    if (type == 0) total += count;
  }
  std::lock_guard lock(mu_);
  config_.bootFile1Length = total;
  return true;
}

void SerialBoard::SetFaults(const BlockFaults& faults) {
  std::lock_guard lock(mu_);
  faults_ = faults;
}

SerialBoardState SerialBoard::State() {
  std::lock_guard lock(mu_);
  SettleLocked(kvp::ClockNowMs());
  return state_;
}

void SerialBoard::KeepWholeLog(bool whole) {
  std::lock_guard lock(mu_);
  log_.KeepWhole(whole);
  history_.KeepWhole(whole);
}

std::vector<SerialLogEntry> SerialBoard::Log() {
  std::lock_guard lock(mu_);
  return log_.Entries();
}

std::vector<SerialBoardState> SerialBoard::StateHistory() {
  std::lock_guard lock(mu_);
  SettleLocked(kvp::ClockNowMs());
  return history_.Entries();
}

std::map<uint32_t, uint8_t> SerialBoard::Flash() {
  std::lock_guard lock(mu_);
  return flash_;
}

std::map<uint32_t, uint8_t> SerialBoard::Ram() {
  std::lock_guard lock(mu_);
  return ram_;
}

std::string SerialBoard::RunningVersion() {
  std::lock_guard lock(mu_);
  SettleLocked(kvp::ClockNowMs());
  return runningVersion_;
}

int SerialBoard::BlockSize() {
  std::lock_guard lock(mu_);
  return blockSize_;
}
int SerialBoard::GoodBlocks() {
  std::lock_guard lock(mu_);
  return goodBlocks_;
}
int SerialBoard::BadBlocks() {
  std::lock_guard lock(mu_);
  return badBlocks_;
}
int SerialBoard::ReplyBlocksSent() {
  std::lock_guard lock(mu_);
  return replyBlocksSent_;
}
int SerialBoard::RepliesAbandoned() {
  std::lock_guard lock(mu_);
  return repliesAbandoned_;
}

void SerialBoard::OnOpen(kvp::SerialHost* host) {
  std::lock_guard lock(mu_);
  host_ = host;
}

void SerialBoard::OnClose() {
  std::lock_guard lock(mu_);
  host_ = nullptr;
  // A closed port drops both lines.
  dtr_ = rts_ = false;
}

void SerialBoard::EnterLocked(SerialBoardState state, uint64_t now) {
  state_ = state;
  history_.Push(state);
  SerialLogEntry e{now, SerialLogEntry::State};
  e.state = state;
  log_.Push(e);
}

void SerialBoard::SettleLocked(uint64_t now) {
  if (releasePending_ && now >= releaseMs_ + config_.latchMs) {
    releasePending_ = false;
    probeSeen_ = false;
    romBytes_.clear();
    EnterLocked(SerialBoardState::Rom, releaseMs_ + config_.latchMs);
  }
  if (state_ == SerialBoardState::Booting && now >= bootAtMs_) {
    if (bootToApp_) {
      runningVersion_ = bootVersion_;
      EnterLocked(SerialBoardState::App, bootAtMs_);
    } else {
      runningVersion_.clear();
      EnterLocked(SerialBoardState::Resident, bootAtMs_);
    }
    blockSize_ = 64;
    rxStep_ = 0;
  }
}

void SerialBoard::NormalBootLocked(uint64_t bootAt, uint64_t now) {
  bootAtMs_ = bootAt;
  bootToApp_ = flashHasApp_;
  bootVersion_ = flashVersion_;
  EnterLocked(SerialBoardState::Booting, now);
  ScheduleLocked(bootAt, [] {});
}

void SerialBoard::OnModemLines(bool dtr, bool rts, uint64_t now) {
  std::lock_guard lock(mu_);
  SettleLocked(now);
  SerialLogEntry e{now, SerialLogEntry::Lines};
  e.dtr = dtr;
  e.rts = rts;
  log_.Push(e);

  const bool resetWas = config_.resetType == 1 ? rts_ : dtr_;
  const bool resetNow = config_.resetType == 1 ? rts : dtr;
  const bool selectNow = config_.resetType == 1 ? dtr : rts;
  dtr_ = dtr;
  rts_ = rts;
  if (!resetWas && resetNow) {
    // Held in reset: silent, input discarded, RAM lost.
    releasePending_ = false;
    ram_.clear();
    stage2Code_.clear();
    replyBlocks_.clear();
    pendingReplies_.clear();
    awaitingAck_ = false;
    cmd_.clear();
    rxStep_ = 0;
    imageBad_ = false;
    EnterLocked(SerialBoardState::Reset, now);
    return;
  }
  if (resetWas && !resetNow && state_ == SerialBoardState::Reset) {
    releaseMs_ = now;
    if (selectNow) {
      releasePending_ = true;  // ROM mode if the select line stays raised long enough
    } else {
      NormalBootLocked(now + config_.bootMs, now);
    }
    ScheduleLocked(now + config_.latchMs, [] {});
    return;
  }
  if (releasePending_ && !selectNow) {
    // The select line fell inside the latch window: a normal boot.
    releasePending_ = false;
    NormalBootLocked(releaseMs_ + config_.bootMs, now);
  }
}

void SerialBoard::OnPurge(DWORD flags, uint64_t now) {
  std::lock_guard lock(mu_);
  SerialLogEntry e{now, SerialLogEntry::Purge};
  e.purgeFlags = flags;
  log_.Push(e);
}

void SerialBoard::OnBytes(std::span<const uint8_t> bytes, uint64_t now) {
  std::lock_guard lock(mu_);
  SerialLogEntry e{now, SerialLogEntry::HostBytes};
  e.bytes.assign(bytes.begin(), bytes.end());
  log_.Push(std::move(e));
  for (uint8_t b : bytes) {
    SettleLocked(now);
    ByteLocked(b, now);
  }
}

void SerialBoard::ByteLocked(uint8_t b, uint64_t now) {
  switch (state_) {
    case SerialBoardState::Reset:
    case SerialBoardState::Booting:
      return;  // discarded
    case SerialBoardState::Rom:
      RomByteLocked(b, now);
      return;
    case SerialBoardState::Stage1:
      if (stage1Left_ > 0 && --stage1Left_ == 0) {
        AnswerLocked(0x02, now);
        cmd_.clear();
        EnterLocked(SerialBoardState::Stage2, now);
      }
      return;
    case SerialBoardState::Stage2:
      Stage2ByteLocked(b, now);
      return;
    case SerialBoardState::Stage3:
      Stage3ByteLocked(b, now);
      return;
    case SerialBoardState::Resident:
    case SerialBoardState::App:
      BlockByteLocked(b, now);
      return;
  }
}

void SerialBoard::RomByteLocked(uint8_t b, uint64_t now) {
  if (bootstrapLeft_ > 0) {
    if (--bootstrapLeft_ == 0) NormalBootLocked(now + config_.bootMs, now);
    return;
  }
  if (!probeSeen_ && romBytes_.empty() && b == 0x00) {
    probeSeen_ = true;
    if (config_.romId) AnswerLocked(*config_.romId, now);
    return;
  }
  romBytes_.push_back(b);
  if (romBytes_.size() < 32) return;
  AnswerLocked(0x01, now);
  if (std::equal(romBytes_.begin(), romBytes_.end(), kBootstrapBlock)) {
    bootstrapLeft_ = kBootstrapRest;  // swallowed, then a normal boot
  } else if (config_.bootFile1Length <= 32) {
    AnswerLocked(0x02, now);
    EnterLocked(SerialBoardState::Stage2, now);
  } else {
    stage1Left_ = config_.bootFile1Length - 32;
    EnterLocked(SerialBoardState::Stage1, now);
  }
  romBytes_.clear();
}

void SerialBoard::Stage2ByteLocked(uint8_t b, uint64_t now) {
  cmd_.push_back(b);
  switch (cmd_[0]) {
    case 0x00:
      if (cmd_.size() < 4 || cmd_.size() < 4u + cmd_[3]) return;
      for (size_t i = 0; i < cmd_[3]; ++i) stage2Code_[(cmd_[1] << 8 | cmd_[2]) + i] = cmd_[4 + i];
      break;
    case 0x01:
      AnswerLocked(0x03, now);
      break;
    case 0xFA:
      if (cmd_.size() < 2) return;
      if (cmd_[1] == 0x40) {
        std::string code;
        for (const auto& [address, value] : stage2Code_) code.push_back(static_cast<char>(value));
        stage3Flash_ = code.find(config_.flashLoaderMarker) != std::string::npos;
        AnswerLocked(0x04, now);
        imageBad_ = false;
        EnterLocked(SerialBoardState::Stage3, now);
      }
      break;
    default:
      break;
  }
  cmd_.clear();
}

void SerialBoard::Stage3ByteLocked(uint8_t b, uint64_t now) {
  cmd_.push_back(b);
  switch (cmd_[0]) {
    case 0xC2:
      AnswerLocked(0x10, now);
      break;
    case 0xC0:
      if (stage3Flash_) {
        flash_.clear();
        flashHasApp_ = false;
        AnswerLocked(0x10, now, config_.eraseMs);
      } else {
        ram_.clear();  // the RAM loader answers nothing here
      }
      break;
    case 0x00: {
      if (cmd_.size() < 5 || cmd_.size() < 6u + cmd_[4]) return;
      const size_t n = cmd_[4];
      uint8_t sum = 0;
      for (size_t i = 1; i < cmd_.size(); ++i) sum = static_cast<uint8_t>(sum + cmd_[i]);
      if (sum != 0) {
        imageBad_ = true;  // no answer
        break;
      }
      const uint32_t address = cmd_[1] << 16 | cmd_[2] << 8 | cmd_[3];
      auto& image = stage3Flash_ ? flash_ : ram_;
      for (size_t i = 0; i < n; ++i) image[address + i] = cmd_[5 + i];
      if (stage3Flash_) AnswerLocked(0x10, now, config_.programMs);
      break;
    }
    case 0x01:
      if (cmd_.size() < 2) return;
      if (cmd_[1] == 0xFF) AnswerLocked(0x10, now);
      break;
    case 0xC1:
      AnswerLocked(0x10, now);
      StartAppLocked(stage3Flash_, now);
      break;
    default:
      break;
  }
  cmd_.clear();
}

void SerialBoard::StartAppLocked(bool fromFlash, uint64_t now) {
  const auto& image = fromFlash ? flash_ : ram_;
  std::string version = VersionTextInImage(image);
  if (version.empty()) version = config_.flashVersion;
  if (fromFlash) {
    flashHasApp_ = !imageBad_;
    flashVersion_ = version;
  }
  bootAtMs_ = now + config_.appStartMs;
  bootToApp_ = !imageBad_;
  bootVersion_ = version;
  EnterLocked(SerialBoardState::Booting, now);
  ScheduleLocked(bootAtMs_, [] {});
}

void SerialBoard::SendLocked(std::vector<uint8_t> bytes, uint64_t now) {
  SerialLogEntry e{now, SerialLogEntry::BoardBytes};
  e.bytes = bytes;
  log_.Push(std::move(e));
  if (host_) host_->PushToHost(bytes);
}

void SerialBoard::AnswerLocked(uint8_t byte, uint64_t now, uint32_t delayMs) {
  if (delayMs == 0) {
    SendLocked({byte}, now);
    return;
  }
  ScheduleLocked(now + delayMs, [this, byte] { SendLocked({byte}, kvp::ClockNowMs()); });
}

void SerialBoard::ScheduleLocked(uint64_t dueMs, std::function<void()> action) {
  timers_.push_back(Timed{dueMs, std::move(action)});
  SetEvent(wake_.get());
}

void SerialBoard::Run() {
  while (!stop_) {
    DWORD timeout = INFINITE;
    {
      std::lock_guard lock(mu_);
      const uint64_t now = kvp::ClockNowMs();
      SettleLocked(now);
      // Due actions, oldest deadline first; an action may schedule more.
      for (;;) {
        auto due = std::min_element(timers_.begin(), timers_.end(),
                                    [](const Timed& a, const Timed& b) { return a.dueMs < b.dueMs; });
        if (due == timers_.end() || due->dueMs > now) break;
        auto action = std::move(due->action);
        timers_.erase(due);
        action();
        SettleLocked(now);
      }
      for (const Timed& t : timers_) timeout = std::min<DWORD>(timeout, static_cast<DWORD>(t.dueMs - now));
    }
    WaitForSingleObject(wake_.get(), timeout);
  }
}

}  // namespace sim
