// The USB device below the driver: its configuration, the interfaces and pipes the driver
// declares, and request blocks submitted synchronously with a time limit or asynchronously.
#pragma once

#include <platform/kernel/usb.h>

#include "DriverMemory.h"

namespace qrtdrv {

class UsbLowerDevice;

class UsbInterface {
 public:
  UsbInterface(UsbLowerDevice& device, UCHAR configurationValue, UCHAR interfaceNumber, UCHAR alternateSetting);
  UCHAR ConfigurationValue() const { return configurationValue_; }
  UCHAR InterfaceNumber() const { return interfaceNumber_; }
  UCHAR AlternateSetting() const { return alternateSetting_; }
  PUSBD_INTERFACE_INFORMATION Information() const { return information_; }

 private:
  friend class UsbLowerDevice;
  UCHAR configurationValue_, interfaceNumber_, alternateSetting_;
  PUSBD_INTERFACE_INFORMATION information_ = nullptr;  // a copy of what the selection returned
};

class UsbPipe {
 public:
  UsbPipe(UsbLowerDevice& device, UCHAR endpointAddress, ULONG maximumTransferSize);
  UCHAR EndpointAddress() const { return endpointAddress_; }
  ULONG MaximumTransferSize() const { return maximumTransferSize_; }
  bool Bound() const { return information_.PipeHandle != nullptr; }
  const USBD_PIPE_INFORMATION& Information() const { return information_; }
  // A bulk transfer over a buffer: OUT with flags 0, IN with direction in and short transfers.
  void BuildTransfer(PURB urb, void* buffer, ULONG length, ULONG flags) const;

 private:
  friend class UsbLowerDevice;
  UCHAR endpointAddress_;
  ULONG maximumTransferSize_;
  USBD_PIPE_INFORMATION information_{};
};

// Called when an asynchronous request block has completed (the packet is freed afterwards).
typedef void (*UrbCompletion)(PDEVICE_OBJECT device, PIRP irp, PVOID context);

class UsbLowerDevice {
 public:
  // Result codes of ActivateConfiguration.
  enum : int {
    kConfigured = 0,
    kNoInterface = 1,
    kNoMemory = 2,
    kSelectFailed = 3,
    kNoInterfaceInformation = 4,
    kNoConfiguration = 6,
    kNoDeviceDescriptor = 7,
    kPipeCountDiffers = 8,
  };

  UsbLowerDevice() = default;
  ~UsbLowerDevice();
  void Attach(PDEVICE_OBJECT self, PDEVICE_OBJECT lower) {
    self_ = self;
    lower_ = lower;
  }
  // The device below is gone (removed): request blocks fail from now on without reaching it.
  void Detach() { __atomic_store_n(&lower_, nullptr, __ATOMIC_RELEASE); }
  bool Declare(UsbInterface* i);
  bool Declare(UsbPipe* p);

  NTSTATUS SubmitUrb(PURB urb, UrbCompletion routine, PVOID context, ULONG timeLimitMs);
  int ActivateConfiguration(UCHAR value, ULONG descriptorBufferSize);
  NTSTATUS DeactivateConfiguration();
  void ReleaseResources();
  NTSTATUS ControlFeature(USHORT function, USHORT index, USHORT selector, UrbCompletion routine, PVOID context,
                          ULONG timeLimitMs = 0);

 private:
  void FreeSelection();

  PDEVICE_OBJECT self_ = nullptr;
  PDEVICE_OBJECT lower_ = nullptr;
  USB_DEVICE_DESCRIPTOR deviceDescriptor_{};
  PUSB_CONFIGURATION_DESCRIPTOR configuration_ = nullptr;
  USBD_CONFIGURATION_HANDLE configurationHandle_ = nullptr;
  PUSBD_INTERFACE_LIST_ENTRY interfaceList_ = nullptr;
  UsbInterface** interfaces_ = nullptr;
  ULONG interfaceCount_ = 0;
  UsbPipe** pipes_ = nullptr;
  ULONG pipeCount_ = 0;
};

}  // namespace qrtdrv
