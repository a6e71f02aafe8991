#include "VirtualPort.h"

#include <platform/sync.h>

namespace kvp::serial {

VirtualPort::VirtualPort(DWORD flags, std::shared_ptr<SerialPeer> peer, VirtualPortOptions options)
    : SerialPort(flags), peer_(std::move(peer)), options_(options) {
  wake_.reset(CreateEvent(nullptr, FALSE, FALSE, nullptr));
  peer_->OnOpen(this);
  Start();
}

VirtualPort::~VirtualPort() {
  StopThread();
}

size_t VirtualPort::Transmit(std::span<const uint8_t> bytes, uint64_t timeMs) {
  peer_->OnBytes(bytes, timeMs);
  return bytes.size();
}

bool VirtualPort::ApplyLines(bool dtr, bool rts, uint64_t timeMs) {
  peer_->OnModemLines(dtr, rts, timeMs);
  return true;
}

bool VirtualPort::ApplyConfig(const DCB& dcb) {
  peer_->OnConfig(dcb.BaudRate, dcb.ByteSize, dcb.Parity, dcb.StopBits);
  return true;
}

void VirtualPort::PurgeTransport(DWORD flags, uint64_t timeMs) { peer_->OnPurge(flags, timeMs); }

void VirtualPort::WaitForWork(DWORD timeoutMs) { WaitForSingleObject(wake_.get(), timeoutMs); }

void VirtualPort::Wake() {
  if (wake_) SetEvent(wake_.get());
}

void VirtualPort::CloseTransport() { peer_->OnClose(); }

}  // namespace kvp::serial
