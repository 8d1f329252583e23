// The control codes: version and descriptors, cancel, registers, vendor requests, pipe sizes.
#include <algorithm>
#include <cstring>

#include "kvxscan.h"

namespace kvxscan {

namespace {
struct ControlRequest {
  uint8_t* buffer;   // the system buffer
  ULONG inLength;
  ULONG outLength;
  ULONG bufferLength() const { return std::max(inLength, outLength); }
};

ControlRequest RequestOf(IRP* irp) {
  IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
  return {static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer), stack->Parameters.DeviceIoControl.InputBufferLength,
          stack->Parameters.DeviceIoControl.OutputBufferLength};
}

USHORT FunctionFor(uint8_t recipientBits) {
  if (recipientBits & 1) return URB_FUNCTION_VENDOR_INTERFACE;
  if (recipientBits & 2) return URB_FUNCTION_VENDOR_ENDPOINT;
  return URB_FUNCTION_VENDOR_DEVICE;
}

// One control transfer on the default pipe, sent synchronously.
NTSTATUS ControlTransfer(DEVICE_OBJECT* deviceObject, USHORT function, bool in, uint8_t typeBits, uint8_t request,
                         USHORT value, USHORT index, void* buffer, ULONG length) {
  auto* urb = static_cast<URB*>(AllocatePool(sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST)));
  if (!urb) return STATUS_NO_MEMORY;
  std::memset(urb, 0, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST));
  urb->UrbHeader.Length = sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST);
  urb->UrbHeader.Function = function;
  auto& r = urb->UrbControlVendorClassRequest;
  r.TransferFlags = in ? USBD_TRANSFER_DIRECTION_IN : 0;
  r.TransferBufferLength = length;
  r.TransferBuffer = length ? buffer : nullptr;
  r.RequestTypeReservedBits = typeBits;
  r.Request = request;
  r.Value = value;
  r.Index = index;
  NTSTATUS status = SLCallUSBD(deviceObject, urb, true, nullptr, nullptr, nullptr);
  FreePool(urb);
  return status;
}

// The vendor request of a block, after its checks: OUT data come from the caller's address into
// the system buffer, IN data arrive there.
NTSTATUS VendorTransfer(DEVICE_OBJECT* deviceObject, IRP* irp, uint8_t flags, uint8_t request, USHORT value,
                        USHORT index, ULONG length, ULONG dataAddress) {
  ControlRequest c = RequestOf(irp);
  bool in = (flags & 0x80) != 0;
  irp->IoStatus.Information = 0;
  if (in ? length > c.outLength : length > c.bufferLength()) return STATUS_INVALID_PARAMETER;
  if (!in && length) {
    NTSTATUS copied = CopyFromUserAddress(c.buffer, dataAddress, length);
    if (!NT_SUCCESS(copied)) return copied;
  }
  NTSTATUS status = ControlTransfer(deviceObject, FunctionFor(flags), in, 0, request, value, index, c.buffer, length);
  if (in && NT_SUCCESS(status)) irp->IoStatus.Information = length;
  return status;
}

NTSTATUS GetVersion(DEVICE_EXTENSION* ext, IRP* irp) {
  ControlRequest c = RequestOf(irp);
  // Under 12 bytes there is no room for the record, and 13 to 17 bytes hold no whole device
  // descriptor; past the stored descriptors only they are copied.
  if (c.outLength < sizeof(KVX_VERSION) || (c.outLength > sizeof(KVX_VERSION) && c.outLength < 18)) {
    return STATUS_BUFFER_TOO_SMALL;
  }
  if (c.outLength == sizeof(KVX_VERSION)) {
    KVX_VERSION version{1, 0, 0};
    std::memcpy(c.buffer, &version, sizeof version);
    irp->IoStatus.Information = sizeof version;
    return STATUS_SUCCESS;
  }
  ULONG stored = offsetof(KVX_DESCRIPTORS, Endpoints) + ext->NumberOfEndpoints * sizeof(USB_ENDPOINT_DESCRIPTOR);
  ULONG n = std::min(c.outLength, stored);
  std::memcpy(c.buffer, &ext->Descriptors, n);
  irp->IoStatus.Information = n;
  return STATUS_SUCCESS;
}

NTSTATUS GetPipeSizes(DEVICE_EXTENSION* ext, IRP* irp) {
  ControlRequest c = RequestOf(irp);
  if (c.outLength < sizeof(KVX_PIPE_SIZES)) return STATUS_BUFFER_TOO_SMALL;
  KVX_PIPE_SIZES sizes{};
  for (uint16_t i = 0; i < ext->NumberOfEndpoints && i < kMaxPipes; ++i) {
    const USBD_PIPE_INFORMATION& p = ext->PipeInfo[i];
    if (p.PipeType == UsbdPipeTypeInterrupt) sizes.Interrupt = p.MaximumPacketSize;
    if (p.PipeType == UsbdPipeTypeBulk && (p.EndpointAddress & 0x80)) sizes.BulkIn = p.MaximumPacketSize;
    if (p.PipeType == UsbdPipeTypeBulk && !(p.EndpointAddress & 0x80)) sizes.BulkOut = p.MaximumPacketSize;
  }
  std::memcpy(c.buffer, &sizes, sizeof sizes);
  irp->IoStatus.Information = sizeof sizes;
  return STATUS_SUCCESS;
}
}  // namespace

NTSTATUS SLDeviceControl(DEVICE_OBJECT* deviceObject, IRP* irp) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  ControlRequest c = RequestOf(irp);
  irp->IoStatus.Information = 0;
  NTSTATUS status = STATUS_SUCCESS;
  switch (IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_KVX_GET_VERSION: status = GetVersion(ext, irp); break;
    case IOCTL_KVX_CANCEL: {
      if (c.inLength < sizeof(uint32_t)) {
        status = STATUS_INVALID_PARAMETER;
        break;
      }
      uint32_t selector;
      std::memcpy(&selector, c.buffer, sizeof selector);
      status = SLCallAbortPipe(deviceObject, selector);
      break;
    }
    case IOCTL_KVX_WAIT_ON_DEVICE_EVENT:
      status = WaitOnDeviceEvent(deviceObject, irp);
      if (status == STATUS_PENDING) return status;  // marked pending; the interrupt pipe completes it
      break;
    case IOCTL_KVX_READ_REGISTERS: status = SLReadRegisters(deviceObject, irp); break;
    case IOCTL_KVX_WRITE_REGISTERS: status = SLWriteRegisters(deviceObject, irp); break;
    case IOCTL_KVX_GET_PIPE_SIZES: status = GetPipeSizes(ext, irp); break;
    case IOCTL_KVX_VENDOR_REQUEST: status = SLVendorControl(deviceObject, irp); break;
    case IOCTL_KVX_VENDOR_OR_MS_REQUEST:
      if (c.inLength == sizeof(KVX_VENDOR_BLOCK)) status = KVXVendorControl(deviceObject, irp);
      else if (c.inLength == sizeof(KVX_MS_VENDOR_BLOCK)) status = MsVendorControl(deviceObject, irp);
      else status = STATUS_INVALID_PARAMETER;
      break;
    default: break;
  }
  if (!NT_SUCCESS(status)) irp->IoStatus.Information = 0;
  irp->IoStatus.Status = status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS SLReadRegisters(DEVICE_OBJECT* deviceObject, IRP* irp) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  ControlRequest c = RequestOf(irp);
  if (InterlockedRead(&ext->Stopped)) return STATUS_NO_MEMORY;
  if (c.inLength < 8) return STATUS_INVALID_PARAMETER;
  KVX_REGISTER_BLOCK block{};
  std::memcpy(&block, c.buffer, 8);
  if (block.Count == 0 || block.Count > 0xFFFF || block.Count > c.outLength) return STATUS_INVALID_PARAMETER;
  NTSTATUS status = ControlTransfer(deviceObject, URB_FUNCTION_VENDOR_DEVICE, true, 0xC0, block.Count > 1 ? 0x04 : 0x0C,
                                    static_cast<USHORT>(block.Address), 0, c.buffer, block.Count);
  irp->IoStatus.Information = NT_SUCCESS(status) ? block.Count : 0;
  return status;
}

NTSTATUS SLWriteRegisters(DEVICE_OBJECT* deviceObject, IRP* irp) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  ControlRequest c = RequestOf(irp);
  if (InterlockedRead(&ext->Stopped)) return STATUS_NO_MEMORY;
  if (c.inLength < sizeof(KVX_REGISTER_BLOCK)) return STATUS_INVALID_PARAMETER;
  KVX_REGISTER_BLOCK block;
  std::memcpy(&block, c.buffer, sizeof block);
  if (block.Count == 0 || block.Count > 0xFFFF) return STATUS_INVALID_PARAMETER;
  auto* copy = static_cast<uint8_t*>(AllocatePool(block.Count));
  if (!copy) return STATUS_NO_MEMORY;
  NTSTATUS status = CopyFromUserAddress(copy, block.DataAddress, block.Count);
  if (NT_SUCCESS(status)) {
    status = ControlTransfer(deviceObject, URB_FUNCTION_VENDOR_DEVICE, false, 0x40, block.Count > 1 ? 0x04 : 0x0C,
                             static_cast<USHORT>(block.Address), 0, copy, block.Count);
  }
  FreePool(copy);
  irp->IoStatus.Information = NT_SUCCESS(status) ? block.Count : 0;
  return status;
}

NTSTATUS SLVendorControl(DEVICE_OBJECT* deviceObject, IRP* irp) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  ControlRequest c = RequestOf(irp);
  irp->IoStatus.Information = 0;
  if (InterlockedRead(&ext->Stopped)) return STATUS_NO_MEMORY;
  if (c.inLength < sizeof(KVX_VENDOR_BLOCK)) return STATUS_INVALID_PARAMETER;
  KVX_VENDOR_BLOCK block;
  std::memcpy(&block, c.buffer, sizeof block);
  return VendorTransfer(deviceObject, irp, block.Flags, block.Request, block.Value, block.Index, block.Length,
                        block.DataAddress);
}

NTSTATUS KVXVendorControl(DEVICE_OBJECT* deviceObject, IRP* irp) {
  ControlRequest c = RequestOf(irp);
  irp->IoStatus.Information = 0;
  KVX_VENDOR_BLOCK block;
  std::memcpy(&block, c.buffer, sizeof block);
  if ((block.Flags & 0x60) != 0x40) return STATUS_INVALID_PARAMETER;
  return VendorTransfer(deviceObject, irp, block.Flags, block.Request, block.Value, block.Index, block.Length,
                        block.DataAddress);
}

NTSTATUS MsVendorControl(DEVICE_OBJECT* deviceObject, IRP* irp) {
  ControlRequest c = RequestOf(irp);
  irp->IoStatus.Information = 0;
  KVX_MS_VENDOR_BLOCK block;
  std::memcpy(&block, c.buffer, sizeof block);
  bool in = (block.RequestType & 0x80) != 0;
  if ((block.RequestType & 0x60) != 0x40 || (block.DeviceToHost != 0) != in) return STATUS_INVALID_PARAMETER;
  return VendorTransfer(deviceObject, irp, block.RequestType, block.Request, static_cast<USHORT>(block.Value),
                        static_cast<USHORT>(block.Index), block.Length & 0xFFFF, block.DataAddress);
}

NTSTATUS SLCallAbortPipe(DEVICE_OBJECT* deviceObject, ULONG selector) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  switch (selector) {
    case kCancelDeviceEventWait: CancelDeviceEventWait(ext); return STATUS_SUCCESS;
    case kCancelBulkIn: return AbortResetBulkInPipe(deviceObject);
    case kCancelBulkOut: return AbortResetBulkOutPipe(deviceObject);
    case kCancelAll:
      CancelDeviceEventWait(ext);
      AbortResetBulkInPipe(deviceObject);
      return AbortResetBulkOutPipe(deviceObject);
    default: return STATUS_INVALID_PARAMETER;
  }
}

}  // namespace kvxscan
