// What user mode shares with the KvxScan driver: the control codes, the blocks they take, the
// cancel selectors, the version record and the device extension, whose descriptor bytes the
// version request returns byte for byte. Pointers in the extension are native; the descriptor
// block is the USB stack's bytes, packed, in the order the version request returns them.
#pragma once

#include <cstddef>
#include <cstdint>

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
static_assert(offsetof(KVX_DESCRIPTORS, Configuration) == 18);
static_assert(offsetof(KVX_DESCRIPTORS, Interface) == 27);
static_assert(offsetof(KVX_DESCRIPTORS, Endpoints) == 36);

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

}  // namespace kvxscan
