// A COM port wired in process to a peer (simulated hardware).
#pragma once

#include "SerialPort.h"

#include <platform/unique.h>

namespace kvp::serial {

class VirtualPort : public SerialPort, public SerialHost {
 public:
  VirtualPort(DWORD flags, std::shared_ptr<SerialPeer> peer, VirtualPortOptions options);
  ~VirtualPort() override;

  void PushToHost(std::span<const uint8_t> bytes) override { Received(bytes); }

 protected:
  size_t Transmit(std::span<const uint8_t> bytes, uint64_t timeMs) override;
  bool ApplyLines(bool dtr, bool rts, uint64_t timeMs) override;
  bool ApplyConfig(const DCB& dcb) override;
  void PurgeTransport(DWORD flags, uint64_t timeMs) override;
  void WaitForWork(DWORD timeoutMs) override;
  void Wake() override;
  bool Paced() const override { return options_.pacing; }
  void CloseTransport() override;

 private:
  std::shared_ptr<SerialPeer> peer_;
  VirtualPortOptions options_;
  UniqueHandle wake_;
};

}  // namespace kvp::serial
