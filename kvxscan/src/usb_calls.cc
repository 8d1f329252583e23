// Sending URBs down the stack, and finding pipes.
#include <cstring>

#include "kvxscan.h"

namespace kvxscan {

void* AllocatePool(size_t bytes) { return ExAllocatePoolWithTag(NonPagedPool, bytes, kPoolTag); }
void FreePool(void* block) { ExFreePoolWithTag(block, kPoolTag); }

NTSTATUS SLCallUSBD(DEVICE_OBJECT* deviceObject, URB* urb, bool synchronous,
                    IO_COMPLETION_ROUTINE* completion, SL_CONTEXT* context, IRP** used) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  DEVICE_OBJECT* lower = ext->TopOfStackDeviceObject;
  if (!lower) return STATUS_NO_SUCH_DEVICE;
  if (synchronous) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus;
    IRP* irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, lower, nullptr, 0, nullptr, 0,
                                             TRUE, &event, &ioStatus);
    if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
    IoGetNextIrpStackLocation(irp)->Parameters.Others.Argument1 = urb;
    NTSTATUS status = IoCallDriver(lower, irp);
    if (status == STATUS_PENDING) {
      KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
      status = ioStatus.Status;
    }
    return status;
  }
  IRP* irp = context && context->OnRequest ? context->Request : IoAllocateIrp(lower->StackSize, FALSE);
  if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
  if (context) context->Carrier = irp;
  IoSetCompletionRoutine(irp, completion, context, TRUE, TRUE, TRUE);
  IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
  next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
  next->Parameters.Others.Argument1 = urb;
  // Stored before the call: the completion may run, and free the context, before it returns.
  if (used) *used = irp;
  return IoCallDriver(lower, irp);
}

uint8_t GetIndexFromPipeType(DEVICE_EXTENSION* ext, ULONG pipeType, uint8_t direction) {
  for (uint8_t i = 0; i < ext->NumberOfEndpoints && i < kMaxPipes; ++i) {
    const USBD_PIPE_INFORMATION& pipe = ext->PipeInfo[i];
    if (pipe.PipeType != pipeType || !pipe.PipeHandle) continue;
    if (pipeType == UsbdPipeTypeBulk && (pipe.EndpointAddress & 0x80) != direction) continue;
    return i;
  }
  return kNoPipe;
}

// The pipe of a read or write: the last character of the file name ("\2") or the index cached
// in the file object; without a name, the first bulk pipe of the direction. A named pipe must
// exist and move data the wanted way. Only an index within the pipe table is cached: the cache
// keeps 3 bits, so "\9" cached would come back as pipe 1 on the handle's next request.
NTSTATUS GetIndexFromPipeFile(DEVICE_EXTENSION* ext, IRP* irp, ULONG pipeType, uint8_t direction,
                              uint8_t* index) {
  FILE_OBJECT* file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  uintptr_t cached = file ? reinterpret_cast<uintptr_t>(file->FsContext) : 0;
  int wanted = -1;
  if ((cached & 0xFFFF0000u) == kPipeContextMark) {
    wanted = static_cast<int>(cached & 7);
  } else if (file && file->FileName.Length >= 2 && file->FileName.Buffer) {
    char16_t last = file->FileName.Buffer[file->FileName.Length / 2 - 1];
    if (last < u'0' || last > u'9') return STATUS_INVALID_PARAMETER;
    wanted = last - u'0';
    if (wanted >= static_cast<int>(kMaxPipes)) return STATUS_INVALID_PARAMETER;
    file->FsContext = reinterpret_cast<PVOID>(uintptr_t{kPipeContextMark} + static_cast<uintptr_t>(wanted));
  }
  if (wanted < 0) {
    *index = GetIndexFromPipeType(ext, pipeType, direction);
    return *index == kNoPipe ? STATUS_INVALID_DEVICE_REQUEST : STATUS_SUCCESS;
  }
  if (wanted >= ext->NumberOfEndpoints || wanted >= static_cast<int>(kMaxPipes)) return STATUS_INVALID_PARAMETER;
  const USBD_PIPE_INFORMATION& pipe = ext->PipeInfo[wanted];
  if (!pipe.PipeHandle) return STATUS_INVALID_DEVICE_REQUEST;
  bool moves = pipe.PipeType == UsbdPipeTypeBulk || pipe.PipeType == UsbdPipeTypeInterrupt;
  if (!moves || (pipe.EndpointAddress & 0x80) != direction) return STATUS_INVALID_PARAMETER;
  *index = static_cast<uint8_t>(wanted);
  return STATUS_SUCCESS;
}

NTSTATUS SLPipeRequest(DEVICE_OBJECT* deviceObject, uint8_t index, USHORT function) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  if (index >= kMaxPipes || !ext->PipeInfo[index].PipeHandle) return STATUS_INVALID_PARAMETER;
  auto* urb = static_cast<URB*>(AllocatePool(sizeof(_URB_PIPE_REQUEST)));
  if (!urb) return STATUS_INSUFFICIENT_RESOURCES;
  std::memset(urb, 0, sizeof(_URB_PIPE_REQUEST));
  urb->UrbHeader.Length = sizeof(_URB_PIPE_REQUEST);
  urb->UrbHeader.Function = function;
  urb->UrbPipeRequest.PipeHandle = ext->PipeInfo[index].PipeHandle;
  NTSTATUS status = SLCallUSBD(deviceObject, urb, true, nullptr, nullptr, nullptr);
  FreePool(urb);
  return status;
}

NTSTATUS SLAbortPipeSelected(DEVICE_OBJECT* deviceObject, uint8_t index) {
  return SLPipeRequest(deviceObject, index, URB_FUNCTION_ABORT_PIPE);
}

NTSTATUS SLResetPipeSelected(DEVICE_OBJECT* deviceObject, uint8_t index) {
  return SLPipeRequest(deviceObject, index, URB_FUNCTION_RESET_PIPE);
}

}  // namespace kvxscan
