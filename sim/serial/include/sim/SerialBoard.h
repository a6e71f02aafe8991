// The board on the other end of a virtual COM port: modem-line reset and the ROM bootstrap latch,
// the ROM bootstrap and the three-stage loader into RAM or flash, the board information reply, and
// the block protocol around the payload-level BoardModel once the application runs.
//
// Every answer is driven by the host's bytes and line changes and by the platform clock; a worker
// thread on that clock sends delayed answers, the reply blocks and their resends.
#pragma once

#include <sim/BoardModel.h>

#include <link/LinkExports.h>
#include <platform/serial.h>
#include <platform/unique.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sim {

enum class SerialBoardState { Reset, Booting, Rom, Stage1, Stage2, Stage3, Resident, App };
const char* StateName(SerialBoardState state);

// The 86-byte block of the ROM bootstrap load.
extern const uint8_t kBootstrapBlock[86];

struct SerialBoardConfig {
  int resetType = 0;           // 1: RTS is the reset line, else DTR
  bool flashHasApp = true;     // power-up: flash holds an application
  std::string flashVersion = "3.10";  // its version text
  // ROM answer to the probe 0x00; nullopt = silence.
  std::optional<uint8_t> romId = 0x55;
  // Data bytes of boot file 1 (learnt from the file when bootFile1 is set).
  size_t bootFile1Length = 64;
  // Stage-2 code that holds this text is the flash loader; else the RAM loader.
  std::string flashLoaderMarker = "FLASH-LOADER";
  // Time knobs (ms).
  uint32_t latchMs = 100;      // select line held this long after reset release: ROM mode
  uint32_t bootMs = 200;       // normal boot
  uint32_t eraseMs = 3000;     // flash erase
  uint32_t programMs = 2;      // flash programming of one run
  uint32_t appStartMs = 100;   // C1 until the application runs
  uint32_t ackTimeoutMs = 1500;  // waiting for the host's acknowledge of a reply block
  uint32_t blockAnswerDelayMs = 0;  // every answer to a host block comes this late
};

// Fault knobs of the block protocol, counted down per host block.
struct BlockFaults {
  int busy = 0;     // answer 0x08 this many times
  int refuse = 0;   // answer 0x07 although the checksum is right
  int silent = 0;   // no answer at all
  int dropReplyAcks = 0;  // host acknowledges of reply blocks the board does not hear
  int corruptReplyBlocks = 0;   // reply blocks sent with a wrong checksum
  int truncateReplyBlocks = 0;  // reply blocks sent without their last byte
};

struct SerialLogEntry {
  enum Kind { Lines, Purge, HostBytes, BoardBytes, State };
  SerialLogEntry(uint64_t t, Kind k) : timeMs(t), kind(k) {}
  uint64_t timeMs;
  Kind kind;
  std::vector<uint8_t> bytes;  // HostBytes, BoardBytes
  bool dtr = false, rts = false;
  DWORD purgeFlags = 0;
  SerialBoardState state = SerialBoardState::Reset;
};

class SerialBoard : public kvp::SerialPeer {
 public:
  SerialBoard(BoardModel& model, SerialBoardConfig config = {});
  ~SerialBoard() override;

  // Reads boot file 1 (data bytes of its type-0 records) for its length; false when unreadable.
  bool LearnBootFile1(const std::string& linuxPath);

  void SetFaults(const BlockFaults& faults);
  SerialBoardState State();
  // The most recent log entries and states; a test that needs all of them asks for the whole log.
  void KeepWholeLog(bool whole = true);
  std::vector<SerialLogEntry> Log();
  std::vector<SerialBoardState> StateHistory();
  // Memory images, address -> byte.
  std::map<uint32_t, uint8_t> Flash();
  std::map<uint32_t, uint8_t> Ram();
  std::string RunningVersion();
  int BlockSize();
  // Host blocks received with a right checksum, and those answered 0x07.
  int GoodBlocks();
  int BadBlocks();
  // Reply blocks sent (every try counted) and reply blocks given up.
  int ReplyBlocksSent();
  int RepliesAbandoned();

  // SerialPeer.
  void OnOpen(kvp::SerialHost* host) override;
  void OnClose() override;
  void OnBytes(std::span<const uint8_t> bytes, uint64_t timeMs) override;
  void OnModemLines(bool dtr, bool rts, uint64_t timeMs) override;
  void OnPurge(DWORD flags, uint64_t timeMs) override;

 private:
  struct Timed {
    uint64_t dueMs;
    std::function<void()> action;  // runs with the lock held
  };

  void SettleLocked(uint64_t now);
  void EnterLocked(SerialBoardState state, uint64_t now);
  void ByteLocked(uint8_t b, uint64_t now);
  void RomByteLocked(uint8_t b, uint64_t now);
  void Stage2ByteLocked(uint8_t b, uint64_t now);
  void Stage3ByteLocked(uint8_t b, uint64_t now);
  void BlockByteLocked(uint8_t b, uint64_t now);
  void HostBlockLocked(uint8_t type, const std::vector<uint8_t>& payload, bool checksumOk, uint64_t now);
  void StartAppLocked(bool fromFlash, uint64_t now);
  void NormalBootLocked(uint64_t bootAt, uint64_t now);
  void SendLocked(std::vector<uint8_t> bytes, uint64_t now);
  void AnswerLocked(uint8_t byte, uint64_t now, uint32_t delayMs = 0);
  void InfoReplyLocked(uint64_t now);
  void QueueReplyLocked(const Bytes& frame, uint64_t dueMs, int newBlockSize);
  void SendNextReplyBlockLocked(uint64_t now);
  void ReplyAckLocked(bool ack, uint64_t now);
  void ScheduleLocked(uint64_t dueMs, std::function<void()> action);
  void Run();

  BoardModel& model_;
  SerialBoardConfig config_;
  std::mutex mu_;
  kvp::SerialHost* host_ = nullptr;
  BlockFaults faults_;

  // Lines and the reset latch.
  bool dtr_ = false, rts_ = false;
  SerialBoardState state_ = SerialBoardState::Reset;
  bool releasePending_ = false;  // reset released with the select line raised: latch undecided
  uint64_t releaseMs_ = 0;
  uint64_t bootAtMs_ = 0;
  bool bootToApp_ = false;     // what the board runs once booted
  std::string bootVersion_;

  // Loaders.
  bool probeSeen_ = false;
  size_t bootstrapLeft_ = 0;  // bytes of the bootstrap block still to swallow
  std::vector<uint8_t> romBytes_;
  size_t stage1Left_ = 0;
  std::vector<uint8_t> cmd_;  // bytes of the command being received (stage 2 and 3)
  bool stage2Flash_ = false;
  bool stage3Flash_ = false;
  bool imageBad_ = false;
  std::map<uint32_t, uint8_t> ram_;
  std::map<uint32_t, uint8_t> flash_;
  std::map<uint32_t, uint8_t> stage2Code_;
  bool flashHasApp_;
  std::string flashVersion_;
  std::string runningVersion_;

  // Block protocol.
  int blockSize_ = 64;
  int rxStep_ = 0;  // 0 type, 1 length, 2 body
  uint8_t rxType_ = 0;
  size_t rxNeed_ = 0;
  std::vector<uint8_t> rxBody_;
  std::vector<uint8_t> frame_;  // payloads of the blocks of the frame being received
  struct ReplyBlock {
    std::vector<uint8_t> bytes;
  };
  std::deque<ReplyBlock> replyBlocks_;
  int replyTries_ = 0;
  bool awaitingAck_ = false;
  uint64_t ackSequence_ = 0;  // tells a stale acknowledge time-out from the current one
  int pendingBlockSize_ = 0;
  std::deque<std::pair<uint64_t, std::pair<Bytes, int>>> pendingReplies_;  // due, frame, new block size
  int goodBlocks_ = 0, badBlocks_ = 0, replyBlocksSent_ = 0, repliesAbandoned_ = 0;

  std::vector<Timed> timers_;
  RecentLog<SerialLogEntry> log_{8192};
  RecentLog<SerialBoardState> history_;

  kvp::UniqueHandle wake_;
  std::atomic<bool> stop_{false};
  int clockListener_ = 0;
  std::thread worker_;
};

// Version text in a memory image: the text after "Version " ([A-Za-z0-9._-]), empty without it.
std::string VersionTextInImage(const std::map<uint32_t, uint8_t>& image);

}  // namespace sim
