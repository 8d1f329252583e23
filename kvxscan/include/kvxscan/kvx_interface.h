// What user mode shares with the KvxScan driver: the control codes, the blocks they take, the
// cancel selectors, the version record and the device extension, whose descriptor bytes the
// version request returns byte for byte. Pointers in the extension are native; the descriptor
// block is the USB stack's bytes, packed, in the order the version request returns them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "platform/kernel/wdm.h"
#include "platform/usb/usb.h"

namespace kvxscan {

// Control codes (all buffered, any access).
inline constexpr uint32_t IOCTL_KVX_GET_VERSION = 0x80002000;
inline constexpr uint32_t IOCTL_KVX_CANCEL = 0x80002004;
inline constexpr uint32_t IOCTL_KVX_WAIT_ON_DEVICE_EVENT = 0x80002008;
inline constexpr uint32_t IOCTL_KVX_READ_REGISTERS = 0x8000200C;
inline constexpr uint32_t IOCTL_KVX_WRITE_REGISTERS = 0x80002010;
inline constexpr uint32_t IOCTL_KVX_GET_PIPE_SIZES = 0x80002014;
inline constexpr uint32_t IOCTL_KVX_VENDOR_REQUEST = 0x80002018;
inline constexpr uint32_t IOCTL_KVX_VENDOR_OR_MS_REQUEST = 0x0022000C;

// Cancel selectors.
inline constexpr uint32_t kCancelDeviceEventWait = 0;
inline constexpr uint32_t kCancelBulkIn = 1;
inline constexpr uint32_t kCancelBulkOut = 2;
inline constexpr uint32_t kCancelAll = 3;

#pragma pack(push, 1)
struct KVX_REGISTER_BLOCK {
  uint32_t Address;      // low 16 bits: the request's value field
  uint32_t Count;
  uint32_t DataAddress;  // write only: the bytes, in the caller's (32-bit) address space
};
struct KVX_VENDOR_BLOCK {  // 12 bytes
  uint8_t Flags;           // bit 7 device-to-host; bits 5-6 type; bit 0 interface, bit 1 endpoint
  uint8_t Request;
  uint16_t Value;
  uint16_t Index;
  uint16_t Length;
  uint32_t DataAddress;    // host-to-device only
};
struct KVX_MS_VENDOR_BLOCK {  // 20 bytes
  uint32_t Value;
  uint32_t Length;
  uint32_t DataAddress;
  uint32_t Index;
  uint8_t Request;
  uint8_t RequestType;
  uint8_t DeviceToHost;
  uint8_t Reserved;
};
struct KVX_VERSION {
  uint32_t Major, Minor, Build;  // 1, 0, 0
};
struct KVX_PIPE_SIZES {
  uint32_t Interrupt, BulkIn, BulkOut;
};
struct KVX_DESCRIPTORS {  // what the version request returns past 12 bytes
  platform::USB_DEVICE_DESCRIPTOR Device;
  platform::USB_CONFIGURATION_DESCRIPTOR Configuration;
  platform::USB_INTERFACE_DESCRIPTOR Interface;
  platform::USB_ENDPOINT_DESCRIPTOR Endpoints[4];
};
#pragma pack(pop)
static_assert(sizeof(KVX_REGISTER_BLOCK) == 12);
static_assert(sizeof(KVX_VENDOR_BLOCK) == 12);
static_assert(sizeof(KVX_MS_VENDOR_BLOCK) == 20);
static_assert(sizeof(KVX_VERSION) == 12);
static_assert(sizeof(KVX_PIPE_SIZES) == 12);
static_assert(sizeof(KVX_DESCRIPTORS) == 64);

inline constexpr uint32_t kMaxPipes = 4;
inline constexpr uint8_t kNoPipe = 255;
inline constexpr uint32_t kBulkMaximumTransfer = 0x10000;
inline constexpr uint32_t kPipeContextMark = 0xADDD0000;

// One direction's bulk transfers (the read's or the write's): the request, its URBs still out,
// and what they came to. Guarded by its lock.
struct KVX_BULK_TRACK {
  platform::KSPIN_LOCK Lock;
  volatile platform::LONG UrbsOut = 0;  // URBs sent and not back, plus one while sending
  platform::ULONG Length = 0;           // requested
  platform::ULONG Moved = 0;
  platform::NTSTATUS Status = platform::STATUS_SUCCESS;
  bool Ended = false;                   // a short, failed or cancelled URB: the rest add nothing
  bool NeedsReset = false;              // the pipe halted
  uint8_t PipeIndex = kNoPipe;
};

struct DEVICE_EXTENSION {
  platform::DEVICE_OBJECT* TopOfStackDeviceObject = nullptr;   // the next-lower device
  platform::USBD_PIPE_INFORMATION PipeInfo[kMaxPipes] = {};
  KVX_DESCRIPTORS Descriptors = {};                            // returned byte for byte
  platform::USBD_CONFIGURATION_HANDLE ConfigurationHandle = nullptr;
  platform::IRP* volatile DeviceEventIrp = nullptr;            // the pending device-event wait
  platform::IRP* volatile InterruptIrp = nullptr;              // carries the running interrupt transfer
  bool EventBuffered = false;
  uint8_t* InterruptBuffer = nullptr;                          // the latest packet, one maximum packet
  uint16_t NumberOfEndpoints = 0;
  char16_t InstanceDigit = 0;                                  // u'0' to u'9'
  volatile platform::LONG Stopped = 0;
  volatile platform::LONG Removed = 0;
  volatile platform::LONG ReadCancel = 0;
  volatile platform::LONG WriteCancel = 0;
  volatile platform::LONG OpenCount = 0;
  volatile platform::LONG Waiters = 0;
  platform::IRP* volatile ReadIrp = nullptr;
  volatile platform::LONG ReadsOutstanding = 0;                // pending reads, each counted once
  platform::IRP* volatile WriteIrp = nullptr;
  volatile platform::LONG WritesOutstanding = 0;

  // Beyond the original layout.
  platform::DEVICE_OBJECT* PhysicalDeviceObject = nullptr;
  platform::KSPIN_LOCK EventLock;                              // buffered flag, wait slot, packet
  platform::ULONG EventLength = 0;                             // bytes of the buffered packet
  volatile platform::LONG InterruptStopping = 0;
  volatile platform::LONG WorkItems = 0;                       // queued and not finished
  KVX_BULK_TRACK Read;
  KVX_BULK_TRACK Write;
};

// The extension's layout, row by row in the order of the original 32-bit extension (its offsets
// in the comments). The descriptor block keeps every byte where the version request expects it:
// original offsets 84 to 147 are the block's offsets 0 to 63. Everything else is native: a
// pointer or handle takes 8 bytes and is aligned to 8, so each 4-byte pointer of the original
// moves what follows it; the counters and flags keep their widths.
namespace layout {
template <class T>
constexpr bool Field(size_t offset, size_t wantOffset, size_t wantSize) {
  return offset == wantOffset && sizeof(T) == wantSize;
}
using X = DEVICE_EXTENSION;
static_assert(sizeof(void*) == 8, "the native layout below is the 64-bit one");
static_assert(std::is_standard_layout_v<X>, "offsetof below needs a standard-layout extension");
// Pipe information record (original 20 bytes): packet size, address, interval, type, handle,
// maximum transfer, flags.
static_assert(sizeof(platform::USBD_PIPE_INFORMATION) == 24);
static_assert(offsetof(platform::USBD_PIPE_INFORMATION, MaximumPacketSize) == 0);
static_assert(offsetof(platform::USBD_PIPE_INFORMATION, EndpointAddress) == 2);
static_assert(offsetof(platform::USBD_PIPE_INFORMATION, Interval) == 3);
static_assert(offsetof(platform::USBD_PIPE_INFORMATION, PipeType) == 4 && sizeof(platform::USBD_PIPE_TYPE) == 4);
static_assert(offsetof(platform::USBD_PIPE_INFORMATION, PipeHandle) == 8);
static_assert(offsetof(platform::USBD_PIPE_INFORMATION, MaximumTransferSize) == 16);
static_assert(offsetof(platform::USBD_PIPE_INFORMATION, PipeFlags) == 20);
// The descriptor block, byte-exact: original offset minus 84.
static_assert(offsetof(KVX_DESCRIPTORS, Device) == 84 - 84 && sizeof(KVX_DESCRIPTORS::Device) == 18);
static_assert(offsetof(KVX_DESCRIPTORS, Configuration) == 102 - 84 && sizeof(KVX_DESCRIPTORS::Configuration) == 9);
static_assert(offsetof(KVX_DESCRIPTORS, Interface) == 111 - 84 && sizeof(KVX_DESCRIPTORS::Interface) == 9);
static_assert(offsetof(KVX_DESCRIPTORS, Endpoints) == 120 - 84 && sizeof(KVX_DESCRIPTORS::Endpoints) == 28);
static_assert(sizeof(KVX_DESCRIPTORS) == 148 - 84 && alignof(KVX_DESCRIPTORS) == 1);
// The extension.                                                                    original
static_assert(Field<decltype(X::TopOfStackDeviceObject)>(offsetof(X, TopOfStackDeviceObject), 0, 8));  //   0, 4
static_assert(Field<decltype(X::PipeInfo)>(offsetof(X, PipeInfo), 8, 4 * 24));                        //   4, 80
static_assert(Field<decltype(X::Descriptors)>(offsetof(X, Descriptors), 104, 64));                    //  84, 64
static_assert(Field<decltype(X::ConfigurationHandle)>(offsetof(X, ConfigurationHandle), 168, 8));     // 148, 4
static_assert(Field<decltype(X::DeviceEventIrp)>(offsetof(X, DeviceEventIrp), 176, 8));               // 152, 4
static_assert(Field<decltype(X::InterruptIrp)>(offsetof(X, InterruptIrp), 184, 8));                   // 156, 4
static_assert(Field<decltype(X::EventBuffered)>(offsetof(X, EventBuffered), 192, 1));                 // 160, 1
static_assert(Field<decltype(X::InterruptBuffer)>(offsetof(X, InterruptBuffer), 200, 8));             // 164, 4
static_assert(Field<decltype(X::NumberOfEndpoints)>(offsetof(X, NumberOfEndpoints), 208, 2));         // 168, 2
static_assert(Field<decltype(X::InstanceDigit)>(offsetof(X, InstanceDigit), 210, 2));                 // 170, 2
static_assert(Field<decltype(X::Stopped)>(offsetof(X, Stopped), 212, 4));                             // 172, 4
static_assert(Field<decltype(X::Removed)>(offsetof(X, Removed), 216, 4));                             // 176, 4
static_assert(Field<decltype(X::ReadCancel)>(offsetof(X, ReadCancel), 220, 4));                       // 180, 4
static_assert(Field<decltype(X::WriteCancel)>(offsetof(X, WriteCancel), 224, 4));                     // 184, 4
static_assert(Field<decltype(X::OpenCount)>(offsetof(X, OpenCount), 228, 4));                         // 188, 4
static_assert(Field<decltype(X::Waiters)>(offsetof(X, Waiters), 232, 4));                             // 192, 4
static_assert(Field<decltype(X::ReadIrp)>(offsetof(X, ReadIrp), 240, 8));                             // 196, 4
static_assert(Field<decltype(X::ReadsOutstanding)>(offsetof(X, ReadsOutstanding), 248, 4));           // 200, 4
static_assert(Field<decltype(X::WriteIrp)>(offsetof(X, WriteIrp), 256, 8));                           // 204, 4
static_assert(Field<decltype(X::WritesOutstanding)>(offsetof(X, WritesOutstanding), 264, 4));         // 208, 4
// What the driver adds starts after the original's last field (original size 212).
static_assert(offsetof(X, PhysicalDeviceObject) == 272);
}  // namespace layout

}  // namespace kvxscan
