// The real USB bus of the kernel host: libusb-1.0 (loaded at run time) with its event thread and
// hot-plug. A board that arrives is opened (configuration 1, interface 0 claimed, which also keeps
// other processes off it) and plugged into the host's bus, so its driver sees the same plug-and-play
// sequence as with the simulated board; a board that leaves is unplugged.
//
// Which bus the process uses is a machine setting: HKEY_LOCAL_MACHINE "SOFTWARE\KV310Platform",
// REG_SZ "UsbBackend" = "simulated" or "libusb". Without it the libusb bus runs unless simulated
// hardware is configured.
#pragma once

#include <platform/kernel/KernelHost.h>

#include <memory>
#include <string>

namespace kvp::kernel {

inline constexpr uint16_t kBoardVendorId = 0x2F91;
inline constexpr uint16_t kBoardProductId = 0x0006;
inline constexpr const char* kUsbBackendValue = "UsbBackend";

enum class UsbBackend { Simulated, Libusb };

// The configured bus; `simulatedHardware` says whether a simulated-hardware provider is set.
PLATFORM_API UsbBackend ConfiguredUsbBackend(bool simulatedHardware);

class PLATFORM_API UsbService {
 public:
  // Starts the bus on `host`; boards already present arrive at once (on the service's worker).
  // Registers the driver qrtdrv for the board unless `registerDriver` is false.
  explicit UsbService(KernelHost& host, bool registerDriver = true);
  ~UsbService();  // unplugs its boards and ends its threads
  UsbService(const UsbService&) = delete;
  UsbService& operator=(const UsbService&) = delete;

  // False when libusb is missing or would not start; Error() says why.
  bool Running() const;
  // The last failure: the library, or a board that exists but cannot be opened.
  std::string Error() const;
  // Boards plugged into the host right now.
  size_t Boards() const;
  // Waits until the arrivals and removals reported so far are handled and plugged.
  void WaitIdle();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Starts the process's own USB bus once, as configured (see above); called where the platform
// first needs devices. Returns the running service, or null (also when a UsbService of the
// program's own runs already: one libusb bus per process).
PLATFORM_API UsbService* EnsureUsbBackend(bool simulatedHardware);

}  // namespace kvp::kernel
