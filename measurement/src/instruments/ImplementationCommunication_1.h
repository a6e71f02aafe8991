// The caller's handle on the board link: it creates and destroys the one link object, starts
// (with the engine tester's firmware check) and stops it (leaving the board in a defined
// configuration), recovers it after an error, aborts a busy-polled request and hands out the
// idle event on which callers wait for replies.
#pragma once

#include <kv310/Kv310.h>

#include <atomic>
#include <mutex>

namespace kv310 {

class ImplementationCommunication_1 final : public ICommunication_1 {
 public:
  ImplementationCommunication_1() = default;
  ~ImplementationCommunication_1() = default;

  HANDLE GetIdleEvent() override;
  int GetState() override;
  int Open() override;
  int Close() override;
  int Start() override;
  int Stop() override;
  int Recover() override;
  int AbortRead() override;
  int WaitIdle() override;
  int SetNotification(HWND window, UINT replyMessage, UINT errorMessage) override;

 private:
  // Sends the final configuration and the oscilloscope configuration the board is left with.
  void SendStopConfiguration();

  std::mutex m_openLock;  // Open and Close
  // The stop configuration went out at the last Stop: the next Stop skips it, the one after
  // sends it again.
  std::atomic<bool> m_stopSent{false};
};

}  // namespace kv310
