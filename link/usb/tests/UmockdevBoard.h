// The board model behind a mocked USB device: a umockdev test bed shows a device 2F91:0006 in its
// sysfs and /dev, and answers the device's usbdevfs requests (the ones libusb makes) from the same
// simulated board the kernel host's simulated bus uses. The process must run with umockdev's
// preload library (LD_PRELOAD=libumockdev-preload.so.0).
#pragma once

#include <sim/UsbBoard.h>

#include <memory>
#include <string>

namespace usbmock {

// The test program's own open() refuses this path (EACCES) until called with null.
void RefuseOpenOf(const char* path);

class UmockdevBoard {
 public:
  // The board starts unplugged, in LOADER mode.
  explicit UmockdevBoard(sim::BoardModel& model);
  ~UmockdevBoard();

  // Empty when mocked devices work in this process, else why not.
  static std::string Unavailable();

  // Arrival: the device appears with its node and a hot-plug event.
  void Plug();
  // Removal: pending requests end as on a real unplug, then the device and its node go.
  void Unplug();
  // The node refuses to open (as for a user without the udev rule): EACCES.
  void RefuseOpen(bool refuse);

  sim::UsbBoard& Board();
  size_t PendingTransfers();  // bulk transfers submitted and not yet ended

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace usbmock
