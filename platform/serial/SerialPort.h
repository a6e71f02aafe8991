// The object behind a COM port handle. It realises the comm semantics in user space, one I/O
// thread per open port on the platform clock: COMMTIMEOUTS for reads, queued overlapped reads and
// writes, purge, modem lines. The transport (a virtual port's peer, or a Linux tty) is supplied by
// a subclass.
#pragma once

#include "io/FileObject.h"

#include <platform/serial.h>

#include <atomic>
#include <deque>
#include <thread>
#include <vector>

namespace kvp::serial {

class SerialPort : public FileObject {
 public:
  explicit SerialPort(DWORD flags);
  ~SerialPort() override;

  // Starts the I/O thread; the subclass calls it at the end of opening.
  void Start();

  DWORD Read(void* buffer, DWORD size, OVERLAPPED* ov, DWORD* bytes) override;
  DWORD Write(const void* buffer, DWORD size, OVERLAPPED* ov, DWORD* bytes) override;
  DWORD Cancel(OVERLAPPED* ov) override;
  void OnClose() override;

  // Runs once the port has been closed (the port table frees the number).
  void SetCloseHook(std::function<void()> hook) { closeHook_ = std::move(hook); }

  DWORD GetMask() const { return mask_; }
  void SetMask(DWORD mask) { mask_ = mask; }
  COMMTIMEOUTS GetTimeouts();
  void SetTimeouts(const COMMTIMEOUTS& timeouts);
  DCB GetState();
  bool SetState(const DCB& dcb);
  bool Escape(DWORD function);
  void Purge(DWORD flags);

 protected:
  // Transport hooks. None is called with the port's lock held.
  // Sends bytes now; returns how many were taken (a tty may take fewer).
  virtual size_t Transmit(std::span<const uint8_t> bytes, uint64_t timeMs) = 0;
  virtual bool ApplyLines(bool dtr, bool rts, uint64_t timeMs) = 0;
  virtual bool ApplyConfig(const DCB& dcb) = 0;
  virtual void PurgeTransport(DWORD flags, uint64_t timeMs) {}
  // Waits for the wake-up, the transport, or `timeoutMs` (INFINITE: no limit).
  virtual void WaitForWork(DWORD timeoutMs) = 0;
  virtual void Wake() = 0;
  // Whether bytes take their time on the line (virtual ports with pacing).
  virtual bool Paced() const { return false; }
  // Whether Transmit may be called from the writer's thread and always takes everything.
  virtual bool TransmitsAtOnce() const { return true; }
  // Called by the I/O thread after each wait: a tty reads what arrived.
  virtual void Poll() {}
  virtual void CloseTransport() {}

  // Bytes from the device, arriving now (or, paced, at the line's rate from now).
  void Received(std::span<const uint8_t> bytes);
  bool Stopping() const { return stopping_; }
  // Ends the I/O thread; every subclass calls it in its destructor, before its transport goes.
  void StopThread();

 private:
  struct ReadRequest {
    OVERLAPPED* ov;
    uint8_t* buffer;
    DWORD size;
    DWORD got = 0;
    uint64_t startMs = 0;
    uint64_t lastByteUs = 0;
    bool started = false;
  };
  struct WriteRequest {
    OVERLAPPED* ov;
    const uint8_t* buffer;
    DWORD size;
    DWORD sent = 0;
    uint64_t doneUs = 0;  // paced: when the last byte has left
  };
  struct RxByte {
    uint8_t value;
    uint64_t arrivalUs;  // microseconds of the platform clock
  };
  struct Completion {
    OVERLAPPED* ov;
    DWORD error;
    DWORD bytes;
  };
  struct Delivery {
    std::vector<uint8_t> bytes;
    uint64_t timeMs;
  };

  void Run();
  // Moves bytes into reads, ends reads by their time-outs and paced writes by their end; collects
  // what must be done outside the lock. Returns the next deadline (INFINITE: none).
  DWORD ServiceLocked(uint64_t now, std::vector<Completion>& done, std::vector<Delivery>& deliver);
  bool ServiceHeadRead(uint64_t now, std::vector<Completion>& done, uint64_t& deadline);
  void Finish(std::vector<Completion>& done, std::vector<Delivery>& deliver);
  // Microseconds `count` bytes take on the line from a start, rounded up (exact, no drift).
  uint64_t LineTimeUs(uint64_t count) const;
  bool ImmediateReads() const {
    return timeouts_.ReadIntervalTimeout == MAXDWORD && timeouts_.ReadTotalTimeoutMultiplier == 0 &&
           timeouts_.ReadTotalTimeoutConstant == 0;
  }

  std::mutex mu_;
  std::atomic<DWORD> mask_{0};
  COMMTIMEOUTS timeouts_{};
  DCB dcb_{};
  bool dtr_ = false;
  bool rts_ = false;
  std::deque<RxByte> rx_;
  std::deque<ReadRequest> reads_;
  std::deque<WriteRequest> writes_;
  uint64_t txLineFreeUs_ = 0;
  uint64_t rxLineFreeUs_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  std::function<void()> closeHook_;
  int clockListener_ = 0;
};

// Opens "\\.\COMn": the virtual port of that number, else the tty of the port table.
std::shared_ptr<FileObject> OpenComPort(const std::string& path, DWORD flags, DWORD* error);

}  // namespace kvp::serial
