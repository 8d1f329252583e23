// The USB stack's helper library for function drivers.
#include <cstring>

#include "platform/kernel/kernel.h"
#include "platform/usb/usb.h"
#include "platform/usb/usb_device.h"

namespace platform {

UsbResult UsbResult::Stall() { return UsbResult{USBD_STATUS_STALL_PID, 0, false}; }

URB* USBD_CreateConfigurationRequest(USB_CONFIGURATION_DESCRIPTOR* configurationDescriptor, USHORT* size) {
  if (size) *size = 0;
  if (!configurationDescriptor) return nullptr;
  const auto* bytes = reinterpret_cast<const uint8_t*>(configurationDescriptor);
  size_t total = configurationDescriptor->wTotalLength;
  // The first interface descriptor within the set's total length.
  const USB_INTERFACE_DESCRIPTOR* interface = nullptr;
  for (size_t at = 0; at + 2 <= total;) {
    uint8_t length = bytes[at];
    if (length < 2 || at + length > total) break;
    if (bytes[at + 1] == USB_INTERFACE_DESCRIPTOR_TYPE && length >= sizeof(USB_INTERFACE_DESCRIPTOR)) {
      interface = reinterpret_cast<const USB_INTERFACE_DESCRIPTOR*>(bytes + at);
      break;
    }
    at += length;
  }
  if (!interface) return nullptr;
  ULONG pipes = interface->bNumEndpoints;
  size_t interfaceLength = offsetof(USBD_INTERFACE_INFORMATION, Pipes) + sizeof(USBD_PIPE_INFORMATION) * (pipes ? pipes : 1);
  size_t urbLength = offsetof(_URB_SELECT_CONFIGURATION, Interface) + interfaceLength;
  if (urbLength > 0xFFFF) return nullptr;
  void* block = ExAllocatePoolWithTag(NonPagedPool, urbLength, MakePoolTag("Usbd"));
  if (!block) return nullptr;
  std::memset(block, 0, urbLength);
  auto* urb = static_cast<URB*>(block);
  urb->UrbHeader.Length = static_cast<USHORT>(urbLength);
  urb->UrbHeader.Function = URB_FUNCTION_SELECT_CONFIGURATION;
  urb->UrbSelectConfiguration.ConfigurationDescriptor = configurationDescriptor;
  USBD_INTERFACE_INFORMATION& info = urb->UrbSelectConfiguration.Interface;
  info.Length = static_cast<USHORT>(interfaceLength);
  info.InterfaceNumber = interface->bInterfaceNumber;
  info.AlternateSetting = interface->bAlternateSetting;
  info.NumberOfPipes = pipes;
  for (ULONG i = 0; i < pipes; ++i) info.Pipes[i].MaximumTransferSize = USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE;
  if (size) *size = static_cast<USHORT>(urbLength);
  return urb;
}

}  // namespace platform
