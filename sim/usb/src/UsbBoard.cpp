#include <sim/UsbBoard.h>

#include <platform/byteorder.h>
#include <platform/clock.h>
#include <platform/sync.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace sim {

namespace {

constexpr uint8_t kLoaderMark = 0xFE;
constexpr uint8_t kLoaderWrite = 2;
constexpr uint8_t kLoaderStart = 10;
constexpr uint32_t kUnplugAfterStartMs = 100;
constexpr size_t kHwSwOffset = 2;

bool IsInfoRequest(const Bytes& b) { return b.size() == 4 && b[0] == 0x04 && b[1] == 0 && b[2] == 0 && b[3] == 0xFC; }

void PutLe16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// The version text an image carries after "Version ", or empty.
std::string ImageVersion(const std::map<uint32_t, Bytes>& ram) {
  std::string image;
  for (auto& [address, bytes] : ram) image.append(bytes.begin(), bytes.end());
  const std::string marker = "Version ";
  const size_t at = image.rfind(marker);
  if (at == std::string::npos) return {};
  std::string text;
  for (size_t i = at + marker.size(); i < image.size(); ++i) {
    const char c = image[i];
    if (!(isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-')) break;
    text.push_back(c);
  }
  return text;
}

}  // namespace

UsbBoard::UsbBoard(BoardModel& model) : model_(model), wake_(CreateEvent(nullptr, FALSE, FALSE, nullptr)) {
  thread_ = std::thread([this] { Run(); });
}

UsbBoard::~UsbBoard() {
  {
    std::lock_guard lock(mu_);
    stop_ = true;
  }
  Wake();
  thread_.join();
}

void UsbBoard::Wake() { SetEvent(wake_.get()); }

void UsbBoard::PlugLocked(kvp::kernel::KernelHost* host) {
  host_ = host;
  plugged_ = true;
  static std::atomic<int> instances{0};  // instance ids are unique on the bus
  instanceId_ = "6&1f0c3a2&0&" + std::to_string(++instances);
  connected_ = true;
  host->PlugUsbDevice(shared_from_this(), kUsbHardwareId, instanceId_);
}

void UsbBoard::Plug(kvp::kernel::KernelHost& host) {
  std::lock_guard lock(mu_);
  if (plugged_) return;
  PlugLocked(&host);
}

void UsbBoard::Unplug() {
  std::lock_guard lock(mu_);
  if (!plugged_) return;
  plugged_ = false;
  connected_ = false;
  host_->UnplugUsbDevice(instanceId_);
  ResetToLoaderLocked();  // no power, no firmware
}

bool UsbBoard::Plugged() const {
  std::lock_guard lock(mu_);
  return plugged_;
}

std::string UsbBoard::InstanceId() const {
  std::lock_guard lock(mu_);
  return instanceId_;
}

UsbBoardKnobs UsbBoard::Knobs() const {
  std::lock_guard lock(mu_);
  return knobs_;
}

UsbBoardMode UsbBoard::Mode() const {
  std::lock_guard lock(mu_);
  return mode_;
}

void UsbBoard::SetMode(UsbBoardMode mode) {
  std::lock_guard lock(mu_);
  mode_ = mode;
}

void UsbBoard::KeepWholeLog(bool whole) {
  std::lock_guard lock(mu_);
  features_.KeepWhole(whole);
  outLog_.KeepWhole(whole);
}

std::vector<FeatureRecord> UsbBoard::Features() const {
  std::lock_guard lock(mu_);
  return features_.Entries();
}

bool UsbBoard::WatchdogArmed() const {
  std::lock_guard lock(mu_);
  return watchdogArmed_;
}

int UsbBoard::LinkStops() const {
  std::lock_guard lock(mu_);
  return linkStops_;
}

size_t UsbBoard::KeepAliveTicks() const {
  std::lock_guard lock(mu_);
  return keepAliveTicks_;
}

size_t UsbBoard::LoaderWrites() const {
  std::lock_guard lock(mu_);
  return loaderWrites_;
}

size_t UsbBoard::LoadedBytes() const {
  std::lock_guard lock(mu_);
  size_t n = 0;
  for (auto& [a, b] : ram_) n += b.size();
  return n;
}

int UsbBoard::Starts() const {
  std::lock_guard lock(mu_);
  return starts_;
}

size_t UsbBoard::PipeResets() const {
  std::lock_guard lock(mu_);
  return pipeResets_;
}

std::vector<Bytes> UsbBoard::OutTransfers() const {
  std::lock_guard lock(mu_);
  return outLog_.Entries();
}

// ------------------------------------------------------------------------------------------------
// Descriptors and control requests

bool UsbBoard::DeviceDescriptor(std::vector<uint8_t>& out) {
  std::lock_guard lock(mu_);
  if (knobs_.descriptor == UsbDescriptorVariant::NoDeviceDescriptor) return false;
  out = {18, 1, 0x00, 0x02, 0xFF, 0x00, 0x00, 64, 0x91, 0x2F, 0x06, 0x00, 0x00, 0x01, 1, 2, 0, 1};
  return true;
}

bool UsbBoard::ConfigurationDescriptor(uint8_t index, std::vector<uint8_t>& out) {
  std::lock_guard lock(mu_);
  if (index != 0) return false;
  const bool extra = knobs_.descriptor == UsbDescriptorVariant::ExtraEndpoint;
  const uint8_t value = knobs_.descriptor == UsbDescriptorVariant::NoConfiguration1 ? 2 : 1;
  const uint8_t number = knobs_.descriptor == UsbDescriptorVariant::NoInterface0 ? 1 : 0;
  const uint8_t lo = static_cast<uint8_t>(knobs_.maxPacketSize), hi = static_cast<uint8_t>(knobs_.maxPacketSize >> 8);
  out = {9, 2, 0, 0, 1, value, 0, 0x80, 50,                 // configuration
         9, 4, number, 0, static_cast<uint8_t>(extra ? 3 : 2), 0xFF, 0, 0, 0,  // interface, vendor class
         7, 5, 0x02, 2, lo, hi, 0,                        // bulk OUT
         7, 5, 0x81, 2, lo, hi, 0};                       // bulk IN
  if (extra) out.insert(out.end(), {7, 5, 0x83, 2, lo, hi, 0});
  PutLe16(out, 2, static_cast<uint16_t>(out.size()));
  return true;
}

NTSTATUS UsbBoard::InterfaceFeature(bool set, uint16_t selector, uint16_t) {
  std::lock_guard lock(mu_);
  if (!connected_) return STATUS_DEVICE_NOT_CONNECTED;
  features_.Push({set, selector});
  if (!set && selector == 3) ++linkStops_;
  if (!set && selector == 2) ++keepAliveTicks_;
  if (set && selector == 1) {
    watchdogArmed_ = true;
    lastTickMs_ = kvp::ClockNowMs();
  } else if (!set && selector == 2) {
    lastTickMs_ = kvp::ClockNowMs();
  } else if (!set && selector == 1) {
    watchdogArmed_ = false;
  }
  Wake();
  return STATUS_SUCCESS;
}

NTSTATUS UsbBoard::ResetPipe(uint8_t) {
  std::lock_guard lock(mu_);
  ++pipeResets_;
  return STATUS_SUCCESS;
}

// ------------------------------------------------------------------------------------------------
// Transfers

void UsbBoard::QueueReplyLocked(Bytes bytes, uint32_t delayMs) {
  const uint32_t knob = knobs_.replyDelayMs;
  if (knob == kNeverMs) return;  // lost on the way
  replies_.push_back({kvp::ClockNowMs() + std::max(delayMs, knob), std::move(bytes)});
  Wake();
}

Bytes UsbBoard::InfoReplyLocked() const {
  HwSwInfo info = model_.Scenario().hwSwInfo;
  if (mode_ == UsbBoardMode::Loader) {
    info.boardStatus = 0x0008;
  } else {
    info.boardStatus = static_cast<uint16_t>(0x0200 | knobs_.appStatusLow);
    const std::string version = ImageVersion(ram_);
    if (!version.empty()) SetHwSwText(info.firmwareText, version);
  }
  Bytes reply(kHwSwOffset + sizeof info, 0);
  reply[0] = 0x04;
  std::memcpy(reply.data() + kHwSwOffset, &info, sizeof info);
  return reply;
}

void UsbBoard::HandleLoaderFrameLocked(const Bytes& payload) {
  static const Bytes kAck = {0x01, 0x00, 0x01, 0x00, kLoaderMark, 0x00, 0x02};
  static const Bytes kNack = {0x01, 0x00, 0x00, 0x00, 0xFF, 0x02};
  if (payload.size() >= 2 && payload[0] == kLoaderMark && payload[1] == kLoaderWrite && payload.size() >= 5) {
    const uint32_t address = kvp::ReadBe24(&payload[2]);
    ram_[address] = Bytes(payload.begin() + 5, payload.end());
    ++loaderWrites_;
    QueueReplyLocked(kAck, 0);
    return;
  }
  if (payload.size() >= 2 && payload[0] == kLoaderMark && payload[1] == kLoaderStart) {
    ++starts_;
    if (knobs_.replyToStart) QueueReplyLocked(kAck, 0);
    const uint64_t now = kvp::ClockNowMs();
    switchAtMs_ = now + std::max<uint32_t>(knobs_.startDelayMs, 1);
    if (knobs_.reenumerateOnStart) unplugAtMs_ = now + kUnplugAfterStartMs;
    Wake();
    return;
  }
  if (knobs_.loaderNacksOthers) QueueReplyLocked(kNack, 0);
}

void UsbBoard::HandleOutLocked(const Bytes& bytes) {
  outLog_.Push(bytes);
  if (IsInfoRequest(bytes)) {
    QueueReplyLocked(InfoReplyLocked(), 0);
    return;
  }
  const ParsedFrame frame = ParseFrame(bytes);
  if (frame.status != FrameStatus::Complete) {
    model_.NoteBadFrame();
    return;
  }
  if (mode_ == UsbBoardMode::Loader) {
    HandleLoaderFrameLocked(frame.payload);
    return;
  }
  const BoardResponse response = model_.Handle(frame.payload);
  if (response.outcome == Outcome::Silence || response.outcome == Outcome::EmptyEvent) return;
  QueueReplyLocked(response.Frame(), response.delayMs);
}

std::vector<std::pair<UsbBoard::Transfer, Bytes>> UsbBoard::TakeDueLocked() {
  std::vector<std::pair<Transfer, Bytes>> ready;
  const uint64_t now = kvp::ClockNowMs();
  while (!pendingIn_.empty() && !replies_.empty() && replies_.front().dueMs <= now) {
    Transfer t = pendingIn_.front();
    pendingIn_.erase(pendingIn_.begin());
    if (!t->Claim()) continue;  // being cancelled; the reply stays for the next transfer
    ready.emplace_back(std::move(t), std::move(replies_.front().bytes));
    replies_.erase(replies_.begin());
  }
  return ready;
}

void UsbBoard::FinishIn(const Transfer& t, const Bytes& reply) {
  const size_t n = std::min(reply.size(), t->Length());
  if (n) std::memcpy(t->Buffer(), reply.data(), n);
  t->Finish(STATUS_SUCCESS, n);
}

void UsbBoard::Submit(Transfer t) {
  std::vector<std::pair<Transfer, Bytes>> ready;
  NTSTATUS now = STATUS_PENDING;
  size_t bytes = 0;
  {
    std::lock_guard lock(mu_);
    if (!connected_) {
      now = STATUS_DEVICE_NOT_CONNECTED;  // off the bus: nothing reaches the board
    } else if (t->In()) {
      if (knobs_.inError) {
        now = STATUS_UNSUCCESSFUL;
      } else {
        pendingIn_.push_back(t);
        ready = TakeDueLocked();
        if (!pendingIn_.empty()) Wake();  // the board's clock now has a transfer to serve
      }
    } else if (knobs_.outStall) {
      now = STATUS_UNSUCCESSFUL;
    } else if (knobs_.outNeverCompletes) {
      pendingOut_.push_back(t);
    } else {
      HandleOutLocked(Bytes(t->Buffer(), t->Buffer() + t->Length()));
      now = STATUS_SUCCESS;
      bytes = t->Length();
    }
  }
  if (now != STATUS_PENDING && t->Claim()) t->Finish(now, bytes);
  for (auto& [transfer, reply] : ready) FinishIn(transfer, reply);
}

void UsbBoard::Cancel(const Transfer& t) {
  std::lock_guard lock(mu_);
  std::erase(pendingIn_, t);
  std::erase(pendingOut_, t);
}

void UsbBoard::Disconnected() {
  std::vector<Transfer> pending;
  {
    std::lock_guard lock(mu_);
    pending.swap(pendingIn_);
    pending.insert(pending.end(), pendingOut_.begin(), pendingOut_.end());
    pendingOut_.clear();
    replies_.clear();
  }
  for (auto& t : pending)
    if (t->Claim()) t->Finish(STATUS_DEVICE_NOT_CONNECTED, 0);
}

void UsbBoard::ResetToLoaderLocked() {
  mode_ = UsbBoardMode::Loader;
  ram_.clear();
  replies_.clear();
  watchdogArmed_ = false;
  loaderWrites_ = 0;
  switchAtMs_ = 0;
  unplugAtMs_ = 0;
  reenumerating_ = false;
}

// The board's own time: replies coming due, the switch to the started firmware with its
// re-enumeration, and the watchdog.
void UsbBoard::Run() {
  std::unique_lock lock(mu_);
  while (!stop_) {
    const uint64_t now = kvp::ClockNowMs();
    auto ready = TakeDueLocked();
    if (!ready.empty()) {
      lock.unlock();
      for (auto& [t, reply] : ready) FinishIn(t, reply);
      lock.lock();
      continue;
    }
    if (unplugAtMs_ && now >= unplugAtMs_) {
      unplugAtMs_ = 0;
      if (plugged_) {
        connected_ = false;
        host_->UnplugUsbDevice(instanceId_);  // the started firmware leaves the bus...
        reenumerating_ = true;
      }
    }
    if (switchAtMs_ && now >= switchAtMs_) {
      mode_ = UsbBoardMode::App;
      switchAtMs_ = 0;
      if (reenumerating_ && plugged_) PlugLocked(host_);  // ...and comes back under a new instance id
      reenumerating_ = false;
    }
    if (watchdogArmed_ && knobs_.watchdogMs && plugged_ && now >= lastTickMs_ + knobs_.watchdogMs) {
      connected_ = false;
      host_->UnplugUsbDevice(instanceId_);
      ResetToLoaderLocked();
      PlugLocked(host_);
    }
    uint64_t next = UINT64_MAX;
    if (!pendingIn_.empty() && !replies_.empty()) next = std::min(next, replies_.front().dueMs);
    if (unplugAtMs_) next = std::min(next, unplugAtMs_);
    if (switchAtMs_) next = std::min(next, switchAtMs_);
    if (watchdogArmed_ && knobs_.watchdogMs && plugged_) next = std::min(next, lastTickMs_ + knobs_.watchdogMs);
    const DWORD wait = next == UINT64_MAX ? INFINITE : static_cast<DWORD>(next > now ? next - now : 0);
    lock.unlock();
    if (wait) WaitForSingleObject(wake_.get(), wait);
    lock.lock();
  }
}

}  // namespace sim
