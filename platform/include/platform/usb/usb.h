// The USB stack's interface for function drivers: descriptors, URBs, their functions and
// statuses, the submit-URB internal control code and USBD_CreateConfigurationRequest. A driver
// sends a URB in argument 1 of an internal device-control request (IOCTL_INTERNAL_USB_SUBMIT_URB)
// to the bus driver's physical device object below it (usb_bus.h).
#pragma once

#include <cstdint>

#include "platform/kernel/wdm.h"

namespace platform {

using USBD_STATUS = int32_t;
using USBD_PIPE_HANDLE = void*;
using USBD_CONFIGURATION_HANDLE = void*;
using USBD_INTERFACE_HANDLE = void*;

inline constexpr ULONG IOCTL_INTERNAL_USB_SUBMIT_URB = 0x220003;

inline constexpr USBD_STATUS USBD_STATUS_SUCCESS = 0;
inline constexpr USBD_STATUS USBD_STATUS_PENDING = 0x40000000;
inline constexpr USBD_STATUS USBD_STATUS_STALL_PID = MakeStatus(0xC0000004);
inline constexpr USBD_STATUS USBD_STATUS_DEV_NOT_RESPONDING = MakeStatus(0xC0000005);
inline constexpr USBD_STATUS USBD_STATUS_ENDPOINT_HALTED = MakeStatus(0xC0000030);
inline constexpr USBD_STATUS USBD_STATUS_NO_MEMORY = MakeStatus(0x80000100);
inline constexpr USBD_STATUS USBD_STATUS_INVALID_URB_FUNCTION = MakeStatus(0x80000200);
inline constexpr USBD_STATUS USBD_STATUS_INVALID_PARAMETER = MakeStatus(0x80000300);
inline constexpr USBD_STATUS USBD_STATUS_INVALID_PIPE_HANDLE = MakeStatus(0x80000600);
inline constexpr USBD_STATUS USBD_STATUS_ERROR_SHORT_TRANSFER = MakeStatus(0x80000900);
inline constexpr USBD_STATUS USBD_STATUS_TIMEOUT = MakeStatus(0xC0006000);
inline constexpr USBD_STATUS USBD_STATUS_DEVICE_GONE = MakeStatus(0xC0007000);
inline constexpr USBD_STATUS USBD_STATUS_CANCELED = MakeStatus(0xC0010000);

constexpr bool USBD_SUCCESS(USBD_STATUS status) { return status >= 0; }

// URB functions.
inline constexpr USHORT URB_FUNCTION_SELECT_CONFIGURATION = 0x0000;
inline constexpr USHORT URB_FUNCTION_ABORT_PIPE = 0x0002;
inline constexpr USHORT URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER = 0x0009;
inline constexpr USHORT URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE = 0x000B;
inline constexpr USHORT URB_FUNCTION_VENDOR_DEVICE = 0x0017;
inline constexpr USHORT URB_FUNCTION_VENDOR_INTERFACE = 0x0018;
inline constexpr USHORT URB_FUNCTION_VENDOR_ENDPOINT = 0x0019;
inline constexpr USHORT URB_FUNCTION_RESET_PIPE = 0x001E;

inline constexpr ULONG USBD_TRANSFER_DIRECTION_IN = 1;
inline constexpr ULONG USBD_SHORT_TRANSFER_OK = 2;

inline constexpr UCHAR USB_DEVICE_DESCRIPTOR_TYPE = 1;
inline constexpr UCHAR USB_CONFIGURATION_DESCRIPTOR_TYPE = 2;
inline constexpr UCHAR USB_INTERFACE_DESCRIPTOR_TYPE = 4;
inline constexpr UCHAR USB_ENDPOINT_DESCRIPTOR_TYPE = 5;

enum USBD_PIPE_TYPE : ULONG {
  UsbdPipeTypeControl = 0,
  UsbdPipeTypeIsochronous = 1,
  UsbdPipeTypeBulk = 2,
  UsbdPipeTypeInterrupt = 3,
};

#pragma pack(push, 1)
struct USB_DEVICE_DESCRIPTOR {
  UCHAR bLength, bDescriptorType;
  USHORT bcdUSB;
  UCHAR bDeviceClass, bDeviceSubClass, bDeviceProtocol, bMaxPacketSize0;
  USHORT idVendor, idProduct, bcdDevice;
  UCHAR iManufacturer, iProduct, iSerialNumber, bNumConfigurations;
};
struct USB_CONFIGURATION_DESCRIPTOR {
  UCHAR bLength, bDescriptorType;
  USHORT wTotalLength;
  UCHAR bNumInterfaces, bConfigurationValue, iConfiguration, bmAttributes, MaxPower;
};
struct USB_INTERFACE_DESCRIPTOR {
  UCHAR bLength, bDescriptorType, bInterfaceNumber, bAlternateSetting, bNumEndpoints;
  UCHAR bInterfaceClass, bInterfaceSubClass, bInterfaceProtocol, iInterface;
};
struct USB_ENDPOINT_DESCRIPTOR {
  UCHAR bLength, bDescriptorType, bEndpointAddress, bmAttributes;
  USHORT wMaxPacketSize;
  UCHAR bInterval;
};
#pragma pack(pop)
static_assert(sizeof(USB_DEVICE_DESCRIPTOR) == 18);
static_assert(sizeof(USB_CONFIGURATION_DESCRIPTOR) == 9);
static_assert(sizeof(USB_INTERFACE_DESCRIPTOR) == 9);
static_assert(sizeof(USB_ENDPOINT_DESCRIPTOR) == 7);

struct USBD_PIPE_INFORMATION {
  USHORT MaximumPacketSize;
  UCHAR EndpointAddress;
  UCHAR Interval;
  USBD_PIPE_TYPE PipeType;
  USBD_PIPE_HANDLE PipeHandle;
  ULONG MaximumTransferSize;
  ULONG PipeFlags;
};

struct USBD_INTERFACE_INFORMATION {
  USHORT Length;  // of this record with all its pipes
  UCHAR InterfaceNumber;
  UCHAR AlternateSetting;
  UCHAR Class, SubClass, Protocol, Reserved;
  USBD_INTERFACE_HANDLE InterfaceHandle;
  ULONG NumberOfPipes;
  USBD_PIPE_INFORMATION Pipes[1];
};

struct _URB_HEADER {
  USHORT Length;
  USHORT Function;
  USBD_STATUS Status;
  PVOID UsbdDeviceHandle;
  ULONG UsbdFlags;
};

struct _URB_SELECT_CONFIGURATION {
  _URB_HEADER Hdr;
  USB_CONFIGURATION_DESCRIPTOR* ConfigurationDescriptor;  // null: deconfigure
  USBD_CONFIGURATION_HANDLE ConfigurationHandle;
  USBD_INTERFACE_INFORMATION Interface;
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
  ULONG TransferBufferLength;  // in: requested; out: moved
  PVOID TransferBuffer;
  MDL* TransferBufferMDL;
  void* UrbLink;
};

struct _URB_CONTROL_DESCRIPTOR_REQUEST {
  _URB_HEADER Hdr;
  PVOID Reserved;
  ULONG Reserved0;
  ULONG TransferBufferLength;
  PVOID TransferBuffer;
  MDL* TransferBufferMDL;
  void* UrbLink;
  USHORT Reserved1;
  UCHAR Index;
  UCHAR DescriptorType;
  USHORT LanguageId;
  USHORT Reserved2;
};

struct _URB_CONTROL_VENDOR_OR_CLASS_REQUEST {
  _URB_HEADER Hdr;
  PVOID Reserved;
  ULONG TransferFlags;
  ULONG TransferBufferLength;
  PVOID TransferBuffer;
  MDL* TransferBufferMDL;
  void* UrbLink;
  UCHAR RequestTypeReservedBits;
  UCHAR Request;
  USHORT Value;
  USHORT Index;
  USHORT Reserved1;
};

union URB {
  _URB_HEADER UrbHeader;
  _URB_SELECT_CONFIGURATION UrbSelectConfiguration;
  _URB_PIPE_REQUEST UrbPipeRequest;
  _URB_BULK_OR_INTERRUPT_TRANSFER UrbBulkOrInterruptTransfer;
  _URB_CONTROL_DESCRIPTOR_REQUEST UrbControlDescriptorRequest;
  _URB_CONTROL_VENDOR_OR_CLASS_REQUEST UrbControlVendorClassRequest;
};

// A select-configuration URB for the first interface of `configurationDescriptor` (its
// endpoints' pipes with the default maximum transfer size), from non-paged pool (free it with
// ExFreePool); null when the descriptor set holds no interface within its total length or the
// pool is exhausted. `*size` receives the URB's length.
URB* USBD_CreateConfigurationRequest(USB_CONFIGURATION_DESCRIPTOR* configurationDescriptor, USHORT* size);

inline constexpr ULONG USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE = 4096;

}  // namespace platform
