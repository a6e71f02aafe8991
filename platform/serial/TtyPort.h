// A COM port on a Linux tty: raw 8N1, no flow control, HUPCL cleared, DTR and RTS dropped after
// open, modem lines through the TIOCM ioctls, any bit rate.
#pragma once

#include "SerialPort.h"

namespace kvp::serial {

class TtyPort : public SerialPort {
 public:
  // Null with *error set when the device cannot be opened.
  static std::shared_ptr<TtyPort> Open(const std::string& devicePath, DWORD flags, DWORD* error);
  TtyPort(DWORD flags, int fd, int wakeFd);
  ~TtyPort() override;

 protected:
  size_t Transmit(std::span<const uint8_t> bytes, uint64_t timeMs) override;
  bool ApplyLines(bool dtr, bool rts, uint64_t timeMs) override;
  bool ApplyConfig(const DCB& dcb) override;
  void PurgeTransport(DWORD flags, uint64_t timeMs) override;
  void WaitForWork(DWORD timeoutMs) override;
  void Wake() override;
  bool TransmitsAtOnce() const override { return false; }
  void Poll() override;
  void CloseTransport() override;

 private:
  int fd_;
  int wakeFd_;
  std::atomic<bool> wantWrite_{false};
};

}  // namespace kvp::serial
