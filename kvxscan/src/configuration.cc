// Reading the descriptors and selecting the first interface of the first configuration.
#include <cstring>

#include "kvxscan.h"

namespace kvxscan {

namespace {
// A get-descriptor URB for `type`, index 0, language 0, into `buffer`; the bytes received in
// `*received`.
NTSTATUS GetDescriptor(DEVICE_OBJECT* deviceObject, UCHAR type, void* buffer, ULONG length, ULONG* received) {
  auto* urb = static_cast<URB*>(AllocatePool(sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST)));
  if (!urb) return STATUS_NO_MEMORY;
  std::memset(urb, 0, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST));
  urb->UrbHeader.Length = sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST);
  urb->UrbHeader.Function = URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE;
  auto& r = urb->UrbControlDescriptorRequest;
  r.DescriptorType = type;
  r.TransferBuffer = buffer;
  r.TransferBufferLength = length;
  NTSTATUS status = SLCallUSBD(deviceObject, urb, true, nullptr, nullptr, nullptr);
  if (received) *received = r.TransferBufferLength;
  FreePool(urb);
  return status;
}
}  // namespace

NTSTATUS SLGetDeviceDescriptor(DEVICE_OBJECT* deviceObject) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  uint8_t descriptor[sizeof(USB_DEVICE_DESCRIPTOR)] = {};
  ULONG received = 0;
  NTSTATUS status = GetDescriptor(deviceObject, USB_DEVICE_DESCRIPTOR_TYPE, descriptor, sizeof descriptor, &received);
  if (!NT_SUCCESS(status)) return status;
  // A descriptor shorter than its 18 bytes, or one that is not a device descriptor, does not fit.
  if (received < sizeof descriptor || descriptor[0] < sizeof descriptor || descriptor[1] != USB_DEVICE_DESCRIPTOR_TYPE) {
    return STATUS_DEVICE_DATA_ERROR;
  }
  std::memcpy(&ext->Descriptors.Device, descriptor, sizeof descriptor);
  return STATUS_SUCCESS;
}

USHORT GetConfigDescriptorSize(DEVICE_OBJECT* deviceObject) {
  uint8_t head[sizeof(USB_CONFIGURATION_DESCRIPTOR)] = {};
  ULONG received = 0;
  NTSTATUS status = GetDescriptor(deviceObject, USB_CONFIGURATION_DESCRIPTOR_TYPE, head, sizeof head, &received);
  if (!NT_SUCCESS(status) || received < sizeof head) return 0;
  return static_cast<USHORT>(head[2] | head[3] << 8);
}

NTSTATUS SLGetConfigDescriptor(DEVICE_OBJECT* deviceObject, void* buffer, USHORT length, ULONG* received) {
  return GetDescriptor(deviceObject, USB_CONFIGURATION_DESCRIPTOR_TYPE, buffer, length, received);
}

NTSTATUS ConfigDeviceWithFirstInterface(DEVICE_OBJECT* deviceObject) {
  USHORT total = GetConfigDescriptorSize(deviceObject);
  if (total == 0) return STATUS_NO_MEMORY;
  auto* set = static_cast<uint8_t*>(AllocatePool(total));
  if (!set) return STATUS_NO_MEMORY;
  std::memset(set, 0, total);
  ULONG received = 0;
  NTSTATUS status = SLGetConfigDescriptor(deviceObject, set, total, &received);
  if (NT_SUCCESS(status)) status = SLSaveDescriptorsInDeviveExt(deviceObject, set, received < total ? received : total);
  if (NT_SUCCESS(status)) {
    // The set as the device sent it: its total length is what was received.
    auto* configuration = reinterpret_cast<USB_CONFIGURATION_DESCRIPTOR*>(set);
    configuration->wTotalLength = static_cast<USHORT>(received < total ? received : total);
    status = SLSelectInterface(deviceObject, configuration);
  }
  FreePool(set);
  return status;
}

// The configuration descriptor, the first interface descriptor after it and that interface's
// endpoint descriptors, which must follow it directly. A set shorter than it announces, an
// interface with more than four endpoints or descriptors of the wrong kind do not fit.
NTSTATUS SLSaveDescriptorsInDeviveExt(DEVICE_OBJECT* deviceObject, const uint8_t* set, ULONG length) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  constexpr ULONG kHead = sizeof(USB_CONFIGURATION_DESCRIPTOR) + sizeof(USB_INTERFACE_DESCRIPTOR);
  if (length < kHead) return STATUS_DEVICE_DATA_ERROR;
  ULONG announced = static_cast<ULONG>(set[2] | set[3] << 8);
  if (length < announced || set[1] != USB_CONFIGURATION_DESCRIPTOR_TYPE || set[9 + 1] != USB_INTERFACE_DESCRIPTOR_TYPE) {
    return STATUS_DEVICE_DATA_ERROR;
  }
  uint8_t endpoints = set[9 + 4];
  if (endpoints > kMaxPipes || kHead + endpoints * sizeof(USB_ENDPOINT_DESCRIPTOR) > length) {
    return STATUS_DEVICE_DATA_ERROR;
  }
  for (uint8_t i = 0; i < endpoints; ++i) {
    const uint8_t* e = set + kHead + i * sizeof(USB_ENDPOINT_DESCRIPTOR);
    if (e[0] != sizeof(USB_ENDPOINT_DESCRIPTOR) || e[1] != USB_ENDPOINT_DESCRIPTOR_TYPE) return STATUS_DEVICE_DATA_ERROR;
  }
  std::memcpy(&ext->Descriptors.Configuration, set, sizeof(USB_CONFIGURATION_DESCRIPTOR));
  std::memcpy(&ext->Descriptors.Interface, set + 9, sizeof(USB_INTERFACE_DESCRIPTOR));
  std::memset(ext->Descriptors.Endpoints, 0, sizeof ext->Descriptors.Endpoints);
  std::memcpy(ext->Descriptors.Endpoints, set + kHead, endpoints * sizeof(USB_ENDPOINT_DESCRIPTOR));
  ext->NumberOfEndpoints = endpoints;
  return STATUS_SUCCESS;
}

NTSTATUS SLSelectInterface(DEVICE_OBJECT* deviceObject, USB_CONFIGURATION_DESCRIPTOR* configuration) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  USHORT size = 0;
  URB* urb = USBD_CreateConfigurationRequest(configuration, &size);
  if (!urb) return STATUS_NO_MEMORY;
  USBD_INTERFACE_INFORMATION& info = urb->UrbSelectConfiguration.Interface;
  NTSTATUS status = STATUS_SUCCESS;
  if (info.NumberOfPipes != ext->NumberOfEndpoints) status = STATUS_DEVICE_DATA_ERROR;
  for (ULONG i = 0; NT_SUCCESS(status) && i < info.NumberOfPipes; ++i) {
    if (ext->Descriptors.Endpoints[i].bmAttributes == UsbdPipeTypeBulk) info.Pipes[i].MaximumTransferSize = kBulkMaximumTransfer;
  }
  if (NT_SUCCESS(status)) status = SLCallUSBD(deviceObject, urb, true, nullptr, nullptr, nullptr);
  if (NT_SUCCESS(status)) {
    ext->ConfigurationHandle = urb->UrbSelectConfiguration.ConfigurationHandle;
    std::memset(ext->PipeInfo, 0, sizeof ext->PipeInfo);
    for (ULONG i = 0; i < info.NumberOfPipes && i < kMaxPipes; ++i) ext->PipeInfo[i] = info.Pipes[i];
  }
  ExFreePool(urb);
  return status;
}

}  // namespace kvxscan
