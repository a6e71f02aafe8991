// The board on the simulated USB bus: descriptors, the two bulk pipes, the interface features
// with the watchdog, the RAM loader of LOADER mode and the application firmware of APP mode,
// which answers board frames through the shared board model. Tests plug and unplug it and turn
// its knobs; the kernel host's physical device object reaches it through ISimUsbDevice.
#pragma once

#include <platform/kernel/KernelHost.h>
#include <platform/unique.h>
#include <sim/BoardModel.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

inline constexpr const char* kUsbHardwareId = "USB\\VID_2F91&PID_0006";

enum class UsbBoardMode { Loader, App };

enum class UsbDescriptorVariant {
  Normal,
  ExtraEndpoint,       // interface 0 has a third endpoint
  NoConfiguration1,    // the only configuration has value 2
  NoInterface0,        // the configuration's interface is number 1
  NoDeviceDescriptor,  // the device descriptor cannot be read
};

inline constexpr uint32_t kNeverMs = 0xFFFFFFFFu;

struct UsbBoardKnobs {
  UsbDescriptorVariant descriptor = UsbDescriptorVariant::Normal;
  uint16_t maxPacketSize = 64;       // 64 (full speed) or 512
  // LOADER mode.
  bool reenumerateOnStart = false;   // the start command unplugs, then plugs back with a new instance id
  bool replyToStart = true;          // the start command is acknowledged before the switch
  uint32_t startDelayMs = 300;       // LOADER -> APP after the start command
  bool loaderNacksOthers = true;     // frames the loader does not know: NACK (else silence)
  // APP mode.
  uint8_t appStatusLow = 0x08;       // low byte of the APP status 0x02xx
  // Transfers.
  uint32_t replyDelayMs = 0;         // every reply is due this long after its request; kNeverMs: lost
  bool outStall = false;             // OUT transfers fail (stall)
  bool outNeverCompletes = false;    // OUT transfers pend until cancelled
  bool inError = false;              // IN transfers fail
  // Watchdog expiry without a keep-alive tick; 0 = off.
  uint32_t watchdogMs = 0;
};

struct FeatureRecord {
  bool set;
  uint16_t selector;
};

class UsbBoard : public kvp::kernel::ISimUsbDevice, public std::enable_shared_from_this<UsbBoard> {
 public:
  explicit UsbBoard(BoardModel& model);
  ~UsbBoard() override;

  // Plug into / unplug from a host's bus. Unplugging takes the power: the board comes back in
  // LOADER mode with an empty RAM image.
  void Plug(kvp::kernel::KernelHost& host);
  void Unplug();
  bool Plugged() const;
  std::string InstanceId() const;

  UsbBoardKnobs Knobs() const;
  template <class F>
  void UpdateKnobs(F&& change) {
    std::lock_guard lock(mu_);
    change(knobs_);
  }
  UsbBoardMode Mode() const;
  void SetMode(UsbBoardMode mode);  // APP: as if its firmware had been started

  // The most recent feature requests and OUT transfers; a test that needs all of them asks for the
  // whole log. The counts below cover every request.
  void KeepWholeLog(bool whole = true);
  std::vector<FeatureRecord> Features() const;
  bool WatchdogArmed() const;
  int LinkStops() const;                  // CLEAR_FEATURE 3 received
  size_t KeepAliveTicks() const;          // CLEAR_FEATURE 2 received
  size_t LoaderWrites() const;            // write-memory commands accepted since the last reset
  size_t LoadedBytes() const;
  int Starts() const;                     // start commands received
  size_t PipeResets() const;
  std::vector<Bytes> OutTransfers() const;  // the OUT transfers' bytes, in order

  // ISimUsbDevice
  bool DeviceDescriptor(std::vector<uint8_t>& out) override;
  bool ConfigurationDescriptor(uint8_t index, std::vector<uint8_t>& out) override;
  NTSTATUS InterfaceFeature(bool set, uint16_t selector, uint16_t index) override;
  NTSTATUS ResetPipe(uint8_t endpoint) override;
  void Submit(std::shared_ptr<kvp::kernel::SimUsbTransfer> transfer) override;
  void Cancel(const std::shared_ptr<kvp::kernel::SimUsbTransfer>& transfer) override;
  void Disconnected() override;

 private:
  struct Reply {
    uint64_t dueMs;
    Bytes bytes;
  };
  using Transfer = std::shared_ptr<kvp::kernel::SimUsbTransfer>;

  void HandleOutLocked(const Bytes& bytes);
  void HandleLoaderFrameLocked(const Bytes& payload);
  Bytes InfoReplyLocked() const;
  void QueueReplyLocked(Bytes bytes, uint32_t delayMs);
  // Pairs due replies with waiting IN transfers; the caller finishes them without the lock.
  std::vector<std::pair<Transfer, Bytes>> TakeDueLocked();
  static void FinishIn(const Transfer& t, const Bytes& reply);
  void ResetToLoaderLocked();
  void Run();
  void Wake();
  void PlugLocked(kvp::kernel::KernelHost* host);

  BoardModel& model_;
  mutable std::mutex mu_;
  UsbBoardKnobs knobs_;
  UsbBoardMode mode_ = UsbBoardMode::Loader;
  std::map<uint32_t, Bytes> ram_;  // written runs by address
  std::vector<Reply> replies_;
  std::vector<Transfer> pendingIn_;
  std::vector<Transfer> pendingOut_;
  RecentLog<FeatureRecord> features_;
  RecentLog<Bytes> outLog_;
  int linkStops_ = 0;
  size_t keepAliveTicks_ = 0;
  bool watchdogArmed_ = false;
  uint64_t lastTickMs_ = 0;
  size_t loaderWrites_ = 0;
  int starts_ = 0;
  size_t pipeResets_ = 0;
  uint64_t switchAtMs_ = 0;     // LOADER -> APP, 0 = none
  uint64_t unplugAtMs_ = 0;     // leave the bus for a re-enumeration, 0 = none
  bool reenumerating_ = false;  // off the bus until the switch, then back with a new id
  bool plugged_ = false;
  bool connected_ = false;      // on the bus: transfers reach the board
  kvp::kernel::KernelHost* host_ = nullptr;
  std::string instanceId_;
  bool stop_ = false;
  kvp::UniqueHandle wake_;
  std::thread thread_;
};

}  // namespace sim
