// A USB device reached through libusb, as the kernel host's bus sees it: bulk transfers become
// asynchronous libusb transfers without a time limit (the driver cancels by itself), feature
// requests become control transfers, a pipe reset is a clear-halt run off the caller's thread.
// Internal to platform/kernel; the USB service makes and closes them.
#pragma once

#include <platform/kernel/KernelHost.h>

#include "Libusb.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

namespace kvp::kernel {

class LibusbDevice : public ISimUsbDevice, public std::enable_shared_from_this<LibusbDevice> {
 public:
  using Post = std::function<void(std::function<void()>)>;
  // An opened device with interface 0 claimed; `post` runs a job on the service's worker.
  LibusbDevice(const usb::Api& api, usb::DeviceHandle* handle, std::vector<uint8_t> device,
               std::vector<std::vector<uint8_t>> configurations, Post post);
  ~LibusbDevice() override;

  // Ends what is in flight, waits for the library to give every buffer back, releases the
  // interface and closes the handle. Later requests fail as not connected.
  void Close();

  bool DeviceDescriptor(std::vector<uint8_t>& out) override;
  bool ConfigurationDescriptor(uint8_t index, std::vector<uint8_t>& out) override;
  NTSTATUS InterfaceFeature(bool set, uint16_t selector, uint16_t index) override;
  NTSTATUS ResetPipe(uint8_t endpoint) override;
  void Submit(std::shared_ptr<SimUsbTransfer> transfer) override;
  void Cancel(const std::shared_ptr<SimUsbTransfer>& transfer) override;
  void Disconnected() override;
  void InterfaceFeatureAsync(bool set, uint16_t selector, uint16_t index,
                             std::function<void(NTSTATUS)> done) override;
  void ResetPipeAsync(uint8_t endpoint, std::function<void(NTSTATUS)> done) override;
  void CancelTransfer(const std::shared_ptr<SimUsbTransfer>& transfer) override;

  // How long a control request may take on the wire.
  static constexpr unsigned kControlLimitMs = 1000;

 private:
  struct InFlight;
  static void Done(usb::Transfer* transfer);
  void Finished(InFlight* flight);
  bool Begin();  // counts a request in; false once closing
  void End();

  const usb::Api& api_;
  usb::DeviceHandle* handle_;
  std::vector<uint8_t> device_;
  std::vector<std::vector<uint8_t>> configurations_;
  Post post_;
  std::mutex mu_;
  std::condition_variable idle_;
  std::map<SimUsbTransfer*, usb::Transfer*> bulk_;  // pending bulk transfers
  std::vector<usb::Transfer*> flying_;              // every submitted library transfer
  int busy_ = 0;                                    // requests the library or the worker holds
  bool gone_ = false;
  bool closed_ = false;
};

// Maps a libusb transfer status to the status the bus reports.
NTSTATUS StatusOfTransfer(int libusbStatus);

}  // namespace kvp::kernel
