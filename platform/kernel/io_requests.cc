// IRPs: allocation, stack locations, IoCallDriver, completion with its routines, cancellation.
#include <cstring>
#include <new>

#include "platform/kernel/kernel.h"

namespace platform {

namespace {
constexpr ULONG kIrpTag = MakePoolTag("Irp ");

NTSTATUS DefaultDispatch(DEVICE_OBJECT*, IRP* irp) {
  IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
  // Power requests a driver does not handle are answered by the I/O manager with success;
  // anything else a driver has no routine for is an invalid request.
  NTSTATUS status = stack->MajorFunction == IRP_MJ_POWER ? STATUS_SUCCESS : STATUS_INVALID_DEVICE_REQUEST;
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

bool ShouldInvoke(const IO_STACK_LOCATION& loc, const IRP& irp) {
  if (!loc.CompletionRoutine) return false;
  if (irp.Cancel && (loc.Control & SL_INVOKE_ON_CANCEL)) return true;
  return NT_SUCCESS(irp.IoStatus.Status) ? (loc.Control & SL_INVOKE_ON_SUCCESS) != 0
                                         : (loc.Control & SL_INVOKE_ON_ERROR) != 0;
}
}  // namespace

IRP* IoAllocateIrp(CCHAR stackSize, BOOLEAN) {
  if (stackSize < 1) stackSize = 1;
  size_t bytes = sizeof(IRP) + sizeof(IO_STACK_LOCATION) * static_cast<size_t>(stackSize);
  void* block = Kernel::Current().Allocate(bytes, kIrpTag);
  if (!block) return nullptr;
  IRP* irp = new (block) IRP();
  irp->Size = static_cast<USHORT>(bytes);
  irp->StackCount = stackSize;
  irp->CurrentLocation = static_cast<CCHAR>(stackSize + 1);
  irp->Stack = new (static_cast<uint8_t*>(block) + sizeof(IRP)) IO_STACK_LOCATION[static_cast<size_t>(stackSize)];
  return irp;
}

void IoFreeIrp(IRP* irp) {
  if (!irp) return;
  if (irp->CancelRoutine.load()) {
    Kernel::Current().RaiseBugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION,
                                    "a request freed with its cancel routine set");
  }
  irp->~IRP();
  Kernel::Current().Free(irp, true, kIrpTag);
}

void IoReuseIrp(IRP* irp, NTSTATUS status) {
  CCHAR count = irp->StackCount;
  for (CCHAR i = 0; i < count; ++i) irp->Stack[i] = IO_STACK_LOCATION{};
  irp->CurrentLocation = static_cast<CCHAR>(count + 1);
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = 0;
  irp->Cancel = FALSE;
  irp->CancelRoutine = nullptr;
  irp->PendingReturned = FALSE;
  irp->MdlAddress = nullptr;
  irp->completing = 0;
}

IRP* IoBuildDeviceIoControlRequest(ULONG ioControlCode, DEVICE_OBJECT* deviceObject,
                                   PVOID inputBuffer, ULONG inputBufferLength,
                                   PVOID outputBuffer, ULONG outputBufferLength,
                                   BOOLEAN internalDeviceIoControl, KEVENT* event,
                                   IO_STATUS_BLOCK* ioStatus) {
  IRP* irp = IoAllocateIrp(deviceObject->StackSize, FALSE);
  if (!irp) return nullptr;
  IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = internalDeviceIoControl ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
  next->Parameters.DeviceIoControl.IoControlCode = ioControlCode;
  next->Parameters.DeviceIoControl.InputBufferLength = inputBufferLength;
  next->Parameters.DeviceIoControl.OutputBufferLength = outputBufferLength;
  next->Parameters.DeviceIoControl.Type3InputBuffer = inputBuffer;
  irp->UserBuffer = outputBuffer;
  irp->target = deviceObject;
  irp->finisher = [event, ioStatus](IRP* done) {
    if (ioStatus) *ioStatus = done->IoStatus;
    IoFreeIrp(done);
    if (event) KeSetEvent(event, 0, FALSE);
  };
  return irp;
}

NTSTATUS IoCallDriver(DEVICE_OBJECT* deviceObject, IRP* irp) {
  if (irp->CurrentLocation <= 1) {
    Kernel::Current().RaiseBugCheck(NO_MORE_IRP_STACK_LOCATIONS, "a request passed below its last stack location");
    return STATUS_INVALID_DEVICE_REQUEST;
  }
  --irp->CurrentLocation;
  IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
  stack->DeviceObject = deviceObject;
  DRIVER_DISPATCH* dispatch = nullptr;
  if (deviceObject->DriverObject && stack->MajorFunction <= IRP_MJ_MAXIMUM_FUNCTION) {
    dispatch = deviceObject->DriverObject->MajorFunction[stack->MajorFunction];
  }
  return (dispatch ? dispatch : DefaultDispatch)(deviceObject, irp);
}

void IoCompleteRequest(IRP* irp, CCHAR) {
  Kernel& kernel = Kernel::Current();
  if (irp->completing.exchange(1) != 0 || irp->CurrentLocation > irp->StackCount + 1) {
    kernel.RaiseBugCheck(MULTIPLE_IRP_COMPLETE_REQUESTS, "a request completed twice");
    return;
  }
  while (irp->CurrentLocation <= irp->StackCount) {
    IO_STACK_LOCATION* loc = IoGetCurrentIrpStackLocation(irp);
    ++irp->CurrentLocation;
    DEVICE_OBJECT* upper = irp->CurrentLocation <= irp->StackCount
                               ? IoGetCurrentIrpStackLocation(irp)->DeviceObject : nullptr;
    irp->PendingReturned = (loc->Control & SL_PENDING_RETURNED) != 0;
    bool invoke = ShouldInvoke(*loc, *irp);
    IO_COMPLETION_ROUTINE* routine = loc->CompletionRoutine;
    PVOID context = loc->Context;
    loc->CompletionRoutine = nullptr;
    loc->Context = nullptr;
    loc->Control = 0;
    if (invoke) {
      // From here the routine may keep the request, complete it again or free it.
      irp->completing = 0;
      if (routine(upper, irp, context) == STATUS_MORE_PROCESSING_REQUIRED) return;
      if (irp->completing.exchange(1) != 0) {
        kernel.RaiseBugCheck(MULTIPLE_IRP_COMPLETE_REQUESTS,
                             "a completion routine completed its request and let it go on");
        return;
      }
    } else if (irp->PendingReturned && irp->CurrentLocation <= irp->StackCount) {
      IoMarkIrpPending(irp);
    }
  }
  // A request may travel down with its owner's cancel routine set, but not reach its end so.
  if (irp->CancelRoutine.exchange(nullptr)) {
    kernel.RaiseBugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION,
                         "a request completed with its cancel routine set");
  }
  if (irp->finisher) {
    IrpFinisher finisher = std::move(irp->finisher);
    irp->finisher = nullptr;
    finisher(irp);
    return;
  }
  kernel.RaiseBugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION,
                       "a request a driver allocated completed past its last stack location");
}

BOOLEAN IoCancelIrp(IRP* irp) {
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  irp->Cancel = TRUE;
  DRIVER_CANCEL* routine = irp->CancelRoutine.exchange(nullptr);
  if (!routine) {
    IoReleaseCancelSpinLock(irql);
    return FALSE;
  }
  irp->CancelIrql = irql;
  DEVICE_OBJECT* device = irp->CurrentLocation <= irp->StackCount
                              ? IoGetCurrentIrpStackLocation(irp)->DeviceObject : nullptr;
  routine(device, irp);  // releases the cancel spin lock
  return TRUE;
}

void IoCopyCurrentIrpStackLocationToNext(IRP* irp) {
  IO_STACK_LOCATION* current = IoGetCurrentIrpStackLocation(irp);
  IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
  *next = *current;
  next->CompletionRoutine = nullptr;
  next->Context = nullptr;
  next->Control = 0;
}

void IoSkipCurrentIrpStackLocation(IRP* irp) { ++irp->CurrentLocation; }

void IoSetCompletionRoutine(IRP* irp, IO_COMPLETION_ROUTINE* routine, PVOID context,
                            BOOLEAN invokeOnSuccess, BOOLEAN invokeOnError, BOOLEAN invokeOnCancel) {
  IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
  next->CompletionRoutine = routine;
  next->Context = context;
  next->Control = 0;
  if (invokeOnSuccess) next->Control |= SL_INVOKE_ON_SUCCESS;
  if (invokeOnError) next->Control |= SL_INVOKE_ON_ERROR;
  if (invokeOnCancel) next->Control |= SL_INVOKE_ON_CANCEL;
}

DRIVER_CANCEL* IoSetCancelRoutine(IRP* irp, DRIVER_CANCEL* routine) {
  return irp->CancelRoutine.exchange(routine);
}

}  // namespace platform
