// libusb-1.0, loaded at run time: the platform runs where the library is missing, and then has no
// real USB bus. Only the calls the USB service uses, with the library's stable ABI declared here
// (the development headers are not needed to build). Internal to platform/kernel.
#pragma once

#include <cstdint>

namespace kvp::kernel::usb {

struct Context;
struct Device;
struct DeviceHandle;
struct Transfer;
using TransferCallback = void (*)(Transfer*);
using HotplugCallback = int (*)(Context*, Device*, int event, void* user);
using HotplugHandle = int;

// struct libusb_transfer, as the library lays it out.
struct Transfer {
  DeviceHandle* dev_handle;
  uint8_t flags;
  unsigned char endpoint;
  unsigned char type;
  unsigned int timeout;
  int status;
  int length;
  int actual_length;
  TransferCallback callback;
  void* user_data;
  unsigned char* buffer;
  int num_iso_packets;
  // iso packet descriptors follow; none are used
};

// struct libusb_device_descriptor
struct DeviceDescriptor {
  uint8_t bLength;
  uint8_t bDescriptorType;
  uint16_t bcdUSB;
  uint8_t bDeviceClass;
  uint8_t bDeviceSubClass;
  uint8_t bDeviceProtocol;
  uint8_t bMaxPacketSize0;
  uint16_t idVendor;
  uint16_t idProduct;
  uint16_t bcdDevice;
  uint8_t iManufacturer;
  uint8_t iProduct;
  uint8_t iSerialNumber;
  uint8_t bNumConfigurations;
};

struct TimeVal {
  long tv_sec;
  long tv_usec;
};

enum : int {
  kSuccess = 0,
  kErrorIo = -1,
  kErrorAccess = -3,
  kErrorNoDevice = -4,
  kErrorNotFound = -5,
  kErrorBusy = -6,
  kErrorNotSupported = -12,
};
enum : int {  // transfer status
  kTransferCompleted = 0,
  kTransferError = 1,
  kTransferTimedOut = 2,
  kTransferCancelled = 3,
  kTransferStall = 4,
  kTransferNoDevice = 5,
  kTransferOverflow = 6,
};
enum : uint8_t { kTransferTypeControl = 0, kTransferTypeBulk = 2 };
enum : int { kHotplugArrived = 1, kHotplugLeft = 2, kHotplugEnumerate = 1, kHotplugMatchAny = -1 };
enum : uint32_t { kCapHasHotplug = 1 };

// The library's entry points; Load() fills them all or none.
struct Api {
  int (*init)(Context**);
  void (*exit)(Context*);
  int (*has_capability)(uint32_t);
  const char* (*error_name)(int);
  long (*get_device_list)(Context*, Device***);
  void (*free_device_list)(Device**, int);
  Device* (*ref_device)(Device*);
  void (*unref_device)(Device*);
  int (*get_device_descriptor)(Device*, DeviceDescriptor*);
  uint8_t (*get_bus_number)(Device*);
  int (*get_port_numbers)(Device*, uint8_t*, int);
  uint8_t (*get_device_address)(Device*);
  int (*open)(Device*, DeviceHandle**);
  void (*close)(DeviceHandle*);
  int (*get_configuration)(DeviceHandle*, int*);
  int (*set_configuration)(DeviceHandle*, int);
  int (*claim_interface)(DeviceHandle*, int);
  int (*release_interface)(DeviceHandle*, int);
  int (*clear_halt)(DeviceHandle*, unsigned char);
  int (*control_transfer)(DeviceHandle*, uint8_t, uint8_t, uint16_t, uint16_t, unsigned char*, uint16_t,
                          unsigned int);
  Transfer* (*alloc_transfer)(int);
  void (*free_transfer)(Transfer*);
  int (*submit_transfer)(Transfer*);
  int (*cancel_transfer)(Transfer*);
  int (*handle_events_timeout_completed)(Context*, TimeVal*, int*);
  void (*interrupt_event_handler)(Context*);  // may be missing (older libraries)
  int (*hotplug_register_callback)(Context*, int, int, int, int, int, HotplugCallback, void*, HotplugHandle*);
  void (*hotplug_deregister_callback)(Context*, HotplugHandle);
};

// The loaded library, or null when it (or one of its calls) is missing. Loaded once per process;
// KV_NO_LIBUSB in the environment hides it (tests of the program without a USB library).
const Api* Load();

// A readable text for a library result code.
const char* ErrorName(int code);

}  // namespace kvp::kernel::usb
