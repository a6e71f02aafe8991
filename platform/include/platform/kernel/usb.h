// USB request blocks, descriptors and the configuration helpers a USB function driver uses,
// answered by the kernel host's USB bus. The records are laid out for this build (64-bit); their
// byte sizes are not those of a 32-bit kernel, and nothing relies on them.
#pragma once

#include <platform/kernel/wdm.h>

#pragma pack(push, 1)
struct USB_DEVICE_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  USHORT bcdUSB;
  UCHAR bDeviceClass;
  UCHAR bDeviceSubClass;
  UCHAR bDeviceProtocol;
  UCHAR bMaxPacketSize0;
  USHORT idVendor;
  USHORT idProduct;
  USHORT bcdDevice;
  UCHAR iManufacturer;
  UCHAR iProduct;
  UCHAR iSerialNumber;
  UCHAR bNumConfigurations;
};
struct USB_CONFIGURATION_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  USHORT wTotalLength;
  UCHAR bNumInterfaces;
  UCHAR bConfigurationValue;
  UCHAR iConfiguration;
  UCHAR bmAttributes;
  UCHAR MaxPower;
};
struct USB_INTERFACE_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  UCHAR bInterfaceNumber;
  UCHAR bAlternateSetting;
  UCHAR bNumEndpoints;
  UCHAR bInterfaceClass;
  UCHAR bInterfaceSubClass;
  UCHAR bInterfaceProtocol;
  UCHAR iInterface;
};
struct USB_ENDPOINT_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  UCHAR bEndpointAddress;
  UCHAR bmAttributes;
  USHORT wMaxPacketSize;
  UCHAR bInterval;
};
#pragma pack(pop)
static_assert(sizeof(USB_DEVICE_DESCRIPTOR) == 18);
static_assert(sizeof(USB_CONFIGURATION_DESCRIPTOR) == 9);
static_assert(sizeof(USB_INTERFACE_DESCRIPTOR) == 9);
static_assert(sizeof(USB_ENDPOINT_DESCRIPTOR) == 7);
typedef USB_CONFIGURATION_DESCRIPTOR* PUSB_CONFIGURATION_DESCRIPTOR;
typedef USB_INTERFACE_DESCRIPTOR* PUSB_INTERFACE_DESCRIPTOR;

#define USB_DEVICE_DESCRIPTOR_TYPE 0x01
#define USB_CONFIGURATION_DESCRIPTOR_TYPE 0x02
#define USB_INTERFACE_DESCRIPTOR_TYPE 0x04
#define USB_ENDPOINT_DESCRIPTOR_TYPE 0x05

typedef PVOID USBD_PIPE_HANDLE;
typedef PVOID USBD_CONFIGURATION_HANDLE;
typedef PVOID USBD_INTERFACE_HANDLE;
typedef LONG USBD_STATUS;

enum USBD_PIPE_TYPE { UsbdPipeTypeControl, UsbdPipeTypeIsochronous, UsbdPipeTypeBulk, UsbdPipeTypeInterrupt };

struct USBD_PIPE_INFORMATION {
  USHORT MaximumPacketSize;
  UCHAR EndpointAddress;
  UCHAR Interval;
  USBD_PIPE_TYPE PipeType;
  USBD_PIPE_HANDLE PipeHandle;
  ULONG MaximumTransferSize;
  ULONG PipeFlags;
};
typedef USBD_PIPE_INFORMATION* PUSBD_PIPE_INFORMATION;

// Variable length: NumberOfPipes entries in Pipes; Length covers them all.
struct USBD_INTERFACE_INFORMATION {
  USHORT Length;
  UCHAR InterfaceNumber;
  UCHAR AlternateSetting;
  UCHAR Class;
  UCHAR SubClass;
  UCHAR Protocol;
  UCHAR Reserved;
  USBD_INTERFACE_HANDLE InterfaceHandle;
  ULONG NumberOfPipes;
  USBD_PIPE_INFORMATION Pipes[1];
};
typedef USBD_INTERFACE_INFORMATION* PUSBD_INTERFACE_INFORMATION;

struct USBD_INTERFACE_LIST_ENTRY {
  PUSB_INTERFACE_DESCRIPTOR InterfaceDescriptor;
  PUSBD_INTERFACE_INFORMATION Interface;
};
typedef USBD_INTERFACE_LIST_ENTRY* PUSBD_INTERFACE_LIST_ENTRY;

#define URB_FUNCTION_SELECT_CONFIGURATION 0x0000
#define URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER 0x0009
#define URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE 0x000B
#define URB_FUNCTION_SET_FEATURE_TO_INTERFACE 0x000E
#define URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE 0x0011
#define URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL 0x001E

#define USBD_TRANSFER_DIRECTION_IN 0x1
#define USBD_SHORT_TRANSFER_OK 0x2

#define USBD_STATUS_SUCCESS ((USBD_STATUS)0x00000000L)
#define USBD_STATUS_STALL_PID ((USBD_STATUS)0xC0000004L)
#define USBD_STATUS_DEV_NOT_RESPONDING ((USBD_STATUS)0xC0000005L)
#define USBD_STATUS_INVALID_PARAMETER ((USBD_STATUS)0x80000300L)
#define USBD_STATUS_CANCELED ((USBD_STATUS)0xC0010000L)
#define USBD_STATUS_DEVICE_GONE ((USBD_STATUS)0xC0007000L)

struct _URB_HEADER {
  USHORT Length;
  USHORT Function;
  USBD_STATUS Status;
  PVOID UsbdDeviceHandle;
  ULONG UsbdFlags;
};
struct _URB_SELECT_CONFIGURATION {
  _URB_HEADER Hdr;
  PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor;  // null: deselect
  USBD_CONFIGURATION_HANDLE ConfigurationHandle;
  USBD_INTERFACE_INFORMATION Interface;  // first of bNumInterfaces consecutive records
};
struct _URB_PIPE_REQUEST {
  _URB_HEADER Hdr;
  USBD_PIPE_HANDLE PipeHandle;
  ULONG Reserved;
};
struct _URB_BULK_OR_INTERRUPT_TRANSFER {
  _URB_HEADER Hdr;
  USBD_PIPE_HANDLE PipeHandle;
  ULONG TransferFlags;
  ULONG TransferBufferLength;
  PVOID TransferBuffer;
  PMDL TransferBufferMDL;
  union URB* UrbLink;
};
struct _URB_CONTROL_DESCRIPTOR_REQUEST {
  _URB_HEADER Hdr;
  PVOID Reserved;
  ULONG Reserved0;
  ULONG TransferBufferLength;
  PVOID TransferBuffer;
  PMDL TransferBufferMDL;
  union URB* UrbLink;
  UCHAR Index;
  UCHAR DescriptorType;
  USHORT LanguageId;
};
struct _URB_CONTROL_FEATURE_REQUEST {
  _URB_HEADER Hdr;
  PVOID Reserved;
  ULONG Reserved2;
  ULONG Reserved3;
  PVOID Reserved4;
  PMDL Reserved5;
  union URB* UrbLink;
  USHORT Reserved0;
  USHORT FeatureSelector;
  USHORT Index;
  USHORT Reserved1;
};

union URB {
  _URB_HEADER UrbHeader;
  _URB_SELECT_CONFIGURATION UrbSelectConfiguration;
  _URB_PIPE_REQUEST UrbPipeRequest;
  _URB_BULK_OR_INTERRUPT_TRANSFER UrbBulkOrInterruptTransfer;
  _URB_CONTROL_DESCRIPTOR_REQUEST UrbControlDescriptorRequest;
  _URB_CONTROL_FEATURE_REQUEST UrbControlFeatureRequest;
};
typedef URB* PURB;

// Size of a select-configuration request for an interface with `pipes` pipes.
#define GET_USBD_INTERFACE_SIZE(pipes) \
  (sizeof(USBD_INTERFACE_INFORMATION) + sizeof(USBD_PIPE_INFORMATION) * ((pipes) > 0 ? (pipes)-1 : 0))
#define GET_SELECT_CONFIGURATION_REQUEST_SIZE(interfaces, pipes)                                   \
  (sizeof(_URB_SELECT_CONFIGURATION) - sizeof(USBD_INTERFACE_INFORMATION) +                       \
   (interfaces) * sizeof(USBD_INTERFACE_INFORMATION) + ((pipes) > 0 ? ((pipes)-1) : 0) * sizeof(USBD_PIPE_INFORMATION))

extern "C" {
// Finds the interface descriptor of a number and alternate setting (-1: any) in a configuration,
// looking from `start`, within the configuration's wTotalLength. Null when there is none.
PLATFORM_API PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptorEx(PUSB_CONFIGURATION_DESCRIPTOR config,
                                                                          PVOID start, LONG interfaceNumber,
                                                                          LONG alternateSetting, LONG cls,
                                                                          LONG subClass, LONG protocol);
// Builds a select-configuration request (from pool) for the interfaces of the list, which ends with
// an entry whose descriptor is null; fills each entry's Interface pointer. Null without memory.
PLATFORM_API PURB USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR config,
                                                   PUSBD_INTERFACE_LIST_ENTRY list);
}
