// The libusb device under the kernel host's bus.
#include "LibusbBus.h"

#include <algorithm>
#include <future>

namespace kvp::kernel {

struct LibusbDevice::InFlight {
  std::shared_ptr<LibusbDevice> self;
  std::shared_ptr<SimUsbTransfer> bulk;         // a bulk transfer of the bus, or
  std::function<void(NTSTATUS)> controlDone;    // a control request's answer
  uint8_t setup[8] = {};
  usb::Transfer* transfer = nullptr;
  bool submitted = false;
  bool cancelAsked = false;
};

NTSTATUS StatusOfTransfer(int status) {
  switch (status) {
    case usb::kTransferCompleted:
      return STATUS_SUCCESS;
    case usb::kTransferCancelled:
      return STATUS_CANCELLED;
    case usb::kTransferNoDevice:
      return STATUS_DEVICE_NOT_CONNECTED;
    case usb::kTransferTimedOut:
      return STATUS_UNSUCCESSFUL;  // a control request past its limit
    default:
      return STATUS_UNSUCCESSFUL;
  }
}

LibusbDevice::LibusbDevice(const usb::Api& api, usb::DeviceHandle* handle, std::vector<uint8_t> device,
                           std::vector<std::vector<uint8_t>> configurations, Post post)
    : api_(api),
      handle_(handle),
      device_(std::move(device)),
      configurations_(std::move(configurations)),
      post_(std::move(post)) {}

LibusbDevice::~LibusbDevice() { Close(); }

bool LibusbDevice::Begin() {
  std::lock_guard lock(mu_);
  if (gone_) return false;
  ++busy_;
  return true;
}

void LibusbDevice::End() {
  std::lock_guard lock(mu_);
  if (--busy_ == 0) idle_.notify_all();
}

void LibusbDevice::Close() {
  {
    std::unique_lock lock(mu_);
    if (closed_) return;
    closed_ = true;
    gone_ = true;
    for (auto* t : flying_) api_.cancel_transfer(t);
    // The library writes into the buffers until it reports each transfer ended.
    idle_.wait(lock, [&] { return busy_ == 0; });
  }
  api_.release_interface(handle_, 0);
  api_.close(handle_);
  handle_ = nullptr;
}

bool LibusbDevice::DeviceDescriptor(std::vector<uint8_t>& out) {
  out = device_;
  return !out.empty();
}

bool LibusbDevice::ConfigurationDescriptor(uint8_t index, std::vector<uint8_t>& out) {
  if (index >= configurations_.size() || configurations_[index].empty()) return false;
  out = configurations_[index];
  return true;
}

void LibusbDevice::Done(usb::Transfer* transfer) {
  auto* flight = static_cast<InFlight*>(transfer->user_data);
  flight->self->Finished(flight);
}

void LibusbDevice::Finished(InFlight* flight) {
  usb::Transfer* t = flight->transfer;
  NTSTATUS status = StatusOfTransfer(t->status);
  const size_t bytes = t->actual_length > 0 ? static_cast<size_t>(t->actual_length) : 0;
  {
    std::lock_guard lock(mu_);
    std::erase(flying_, t);
    if (flight->bulk) bulk_.erase(flight->bulk.get());
    if (gone_ && status == STATUS_CANCELLED && !flight->cancelAsked) status = STATUS_DEVICE_NOT_CONNECTED;
  }
  api_.free_transfer(t);
  if (flight->bulk) {
    if (flight->bulk->Claim()) flight->bulk->Finish(status, NT_SUCCESS(status) ? bytes : 0);
  } else {
    flight->controlDone(status);
  }
  auto self = std::move(flight->self);
  delete flight;
  self->End();
}

void LibusbDevice::Submit(std::shared_ptr<SimUsbTransfer> transfer) {
  usb::Transfer* t = Begin() ? api_.alloc_transfer(0) : nullptr;
  if (!t) {
    if (transfer->Claim()) transfer->Finish(STATUS_DEVICE_NOT_CONNECTED, 0);
    return;
  }
  auto* flight = new InFlight{shared_from_this(), transfer, {}, {}, t};
  *t = usb::Transfer{};
  t->dev_handle = handle_;
  t->endpoint = transfer->Endpoint();
  t->type = usb::kTransferTypeBulk;
  t->timeout = 0;  // the driver cancels a transfer that takes too long
  t->length = static_cast<int>(transfer->Length());
  t->buffer = transfer->Buffer();
  t->callback = Done;
  t->user_data = flight;
  // The lock is held across the submission: the transfer's end (on the event thread) waits for
  // it, so the flight is still ours below.
  std::unique_lock lock(mu_);
  flying_.push_back(t);
  bulk_[transfer.get()] = t;
  const int rc = api_.submit_transfer(t);
  if (rc != usb::kSuccess) {
    std::erase(flying_, t);
    bulk_.erase(transfer.get());
    lock.unlock();
    api_.free_transfer(t);
    delete flight;
    End();
    if (transfer->Claim())
      transfer->Finish(rc == usb::kErrorNoDevice ? STATUS_DEVICE_NOT_CONNECTED : STATUS_UNSUCCESSFUL, 0);
    return;
  }
  flight->submitted = true;
  if (gone_) api_.cancel_transfer(t);
}

void LibusbDevice::CancelTransfer(const std::shared_ptr<SimUsbTransfer>& transfer) {
  // The transfer ends through the library's callback once it has let go of the buffer.
  std::lock_guard lock(mu_);
  auto it = bulk_.find(transfer.get());
  if (it == bulk_.end()) return;  // already ending
  auto* flight = static_cast<InFlight*>(it->second->user_data);
  flight->cancelAsked = true;
  if (flight->submitted) api_.cancel_transfer(it->second);
}

void LibusbDevice::Cancel(const std::shared_ptr<SimUsbTransfer>& transfer) { CancelTransfer(transfer); }

void LibusbDevice::Disconnected() {
  std::lock_guard lock(mu_);
  gone_ = true;
  for (auto* t : flying_) api_.cancel_transfer(t);
}

void LibusbDevice::InterfaceFeatureAsync(bool set, uint16_t selector, uint16_t index,
                                         std::function<void(NTSTATUS)> done) {
  usb::Transfer* t = Begin() ? api_.alloc_transfer(0) : nullptr;
  if (!t) {
    done(STATUS_DEVICE_NOT_CONNECTED);
    return;
  }
  auto* flight = new InFlight{shared_from_this(), nullptr, std::move(done), {}, t};
  // Standard request to an interface: SET_FEATURE (3) or CLEAR_FEATURE (1), no data stage.
  const uint8_t setup[8] = {0x01,
                            static_cast<uint8_t>(set ? 3 : 1),
                            static_cast<uint8_t>(selector),
                            static_cast<uint8_t>(selector >> 8),
                            static_cast<uint8_t>(index),
                            static_cast<uint8_t>(index >> 8),
                            0,
                            0};
  std::copy(std::begin(setup), std::end(setup), flight->setup);
  *t = usb::Transfer{};
  t->dev_handle = handle_;
  t->endpoint = 0;
  t->type = usb::kTransferTypeControl;
  t->timeout = kControlLimitMs;
  t->length = sizeof setup;
  t->buffer = flight->setup;
  t->callback = Done;
  t->user_data = flight;
  std::unique_lock lock(mu_);  // held across the submission, as for bulk transfers
  flying_.push_back(t);
  const int rc = api_.submit_transfer(t);
  if (rc == usb::kSuccess) {
    flight->submitted = true;
    return;
  }
  std::erase(flying_, t);
  lock.unlock();
  api_.free_transfer(t);
  auto answer = std::move(flight->controlDone);
  delete flight;
  End();
  answer(rc == usb::kErrorNoDevice ? STATUS_DEVICE_NOT_CONNECTED : STATUS_UNSUCCESSFUL);
}

void LibusbDevice::ResetPipeAsync(uint8_t endpoint, std::function<void(NTSTATUS)> done) {
  if (!Begin()) {
    done(STATUS_DEVICE_NOT_CONNECTED);
    return;
  }
  // The library only clears a halt synchronously: it runs on the service's request worker.
  post_([self = shared_from_this(), endpoint, done = std::move(done)] {
    const int rc = self->api_.clear_halt(self->handle_, endpoint);
    self->End();
    done(rc == usb::kSuccess ? STATUS_SUCCESS
         : rc == usb::kErrorNoDevice ? STATUS_DEVICE_NOT_CONNECTED
                                     : STATUS_UNSUCCESSFUL);
  });
}

NTSTATUS LibusbDevice::InterfaceFeature(bool set, uint16_t selector, uint16_t index) {
  std::promise<NTSTATUS> answer;
  auto result = answer.get_future();
  InterfaceFeatureAsync(set, selector, index, [&](NTSTATUS s) { answer.set_value(s); });
  return result.get();
}

NTSTATUS LibusbDevice::ResetPipe(uint8_t endpoint) {
  std::promise<NTSTATUS> answer;
  auto result = answer.get_future();
  ResetPipeAsync(endpoint, [&](NTSTATUS s) { answer.set_value(s); });
  return result.get();
}

}  // namespace kvp::kernel
