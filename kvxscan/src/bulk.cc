// Reads and writes on the bulk pipes. A request is split into URBs of at most the pipe's
// maximum transfer size, all sent at once; it completes once, after its last URB is back. A URB
// that ends short ends the request with the bytes so far (the pipe halts, so the rest come back
// at once, and the pipe is reset before the request completes); a URB that fails ends it with
// that status; a cancel ends it cancelled.
#include <cstring>

#include "kvxscan.h"

namespace kvxscan {

namespace {
struct Direction {
  bool in;
  IRP* volatile DEVICE_EXTENSION::*slot;
  volatile LONG DEVICE_EXTENSION::*outstanding;
  volatile LONG DEVICE_EXTENSION::*cancel;
  KVX_BULK_TRACK DEVICE_EXTENSION::*track;
  IO_COMPLETION_ROUTINE* completion;
  DRIVER_CANCEL* cancelRoutine;
  CCHAR boost;
};

const Direction kRead{true, &DEVICE_EXTENSION::ReadIrp, &DEVICE_EXTENSION::ReadsOutstanding,
                      &DEVICE_EXTENSION::ReadCancel, &DEVICE_EXTENSION::Read, SLCompleteReadIrp,
                      SLCancelReadIrp, IO_NO_INCREMENT};
const Direction kWrite{false, &DEVICE_EXTENSION::WriteIrp, &DEVICE_EXTENSION::WritesOutstanding,
                       &DEVICE_EXTENSION::WriteCancel, &DEVICE_EXTENSION::Write, SLCompleteWriteIrp,
                       SLCancelWriteIrp, 2};

NTSTATUS CompleteAtOnce(IRP* irp, NTSTATUS status) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

// Ends the track's request with what its URBs came to.
void CompleteBulk(DEVICE_OBJECT* deviceObject, const Direction& d) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  KVX_BULK_TRACK& t = ext->*d.track;
  IRP* irp = __atomic_load_n(&(ext->*d.slot), __ATOMIC_SEQ_CST);
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  IoSetCancelRoutine(irp, nullptr);
  IoReleaseCancelSpinLock(irql);
  KeAcquireSpinLock(&t.Lock, &irql);
  irp->IoStatus.Status = t.Status;
  irp->IoStatus.Information = NT_SUCCESS(t.Status) ? t.Moved : 0;
  KeReleaseSpinLock(&t.Lock, irql);
  __atomic_store_n(&(ext->*d.slot), nullptr, __ATOMIC_SEQ_CST);
  InterlockedDecrement(&(ext->*d.outstanding));
  IoCompleteRequest(irp, d.boost);
}

struct ResetWork {
  IO_WORKITEM* item;
  const Direction* direction;
};

void ResetThenComplete(DEVICE_OBJECT* deviceObject, PVOID context) {
  auto* work = static_cast<ResetWork*>(context);
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  const Direction& d = *work->direction;
  SLResetPipeSelected(deviceObject, (ext->*d.track).PipeIndex);
  IoFreeWorkItem(work->item);
  FreePool(work);
  CompleteBulk(deviceObject, d);
  InterlockedDecrement(&ext->WorkItems);
}

// The last URB of a request is back: a halted pipe is reset first, on the worker thread.
void FinishBulk(DEVICE_OBJECT* deviceObject, const Direction& d) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  KVX_BULK_TRACK& t = ext->*d.track;
  KIRQL irql;
  KeAcquireSpinLock(&t.Lock, &irql);
  bool reset = t.NeedsReset;
  KeReleaseSpinLock(&t.Lock, irql);
  if (reset && !InterlockedRead(&ext->Removed)) {
    auto* work = static_cast<ResetWork*>(AllocatePool(sizeof(ResetWork)));
    IO_WORKITEM* item = work ? IoAllocateWorkItem(deviceObject) : nullptr;
    if (item) {
      *work = {item, &d};
      InterlockedIncrement(&ext->WorkItems);
      IoQueueWorkItem(item, ResetThenComplete, DelayedWorkQueue, work);
      return;
    }
    if (work) FreePool(work);
  }
  CompleteBulk(deviceObject, d);
}

// One URB fewer out; the last one finishes the request.
void ReleaseUrb(DEVICE_OBJECT* deviceObject, const Direction& d) {
  if (InterlockedDecrement(&(Ext(deviceObject)->*d.track).UrbsOut) == 0) FinishBulk(deviceObject, d);
}

void EndTrack(KVX_BULK_TRACK& t, NTSTATUS status) {
  KIRQL irql;
  KeAcquireSpinLock(&t.Lock, &irql);
  if (!t.Ended) {
    __atomic_store_n(&t.Ended, true, __ATOMIC_SEQ_CST);
    t.Status = status;
  }
  KeReleaseSpinLock(&t.Lock, irql);
}

void StartBulk(DEVICE_OBJECT* deviceObject, IRP* irp, const Direction& d) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  KVX_BULK_TRACK& t = ext->*d.track;
  const USBD_PIPE_INFORMATION& pipe = ext->PipeInfo[t.PipeIndex];
  auto* buffer = static_cast<uint8_t*>(MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority));
  ULONG chunk = pipe.MaximumTransferSize ? pipe.MaximumTransferSize : kBulkMaximumTransfer;
  if (chunk > kBulkMaximumTransfer) chunk = kBulkMaximumTransfer;
  ULONG sent = 0;
  bool first = true;
  while (sent < t.Length) {
    if (__atomic_load_n(&t.Ended, __ATOMIC_SEQ_CST) || InterlockedRead(&(ext->*d.cancel))) {
      EndTrack(t, STATUS_CANCELLED);
      break;
    }
    ULONG length = t.Length - sent < chunk ? t.Length - sent : chunk;
    auto* urb = static_cast<URB*>(AllocatePool(sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER)));
    auto* context = urb ? static_cast<SL_CONTEXT*>(AllocatePool(sizeof(SL_CONTEXT))) : nullptr;
    if (!context) {
      if (urb) FreePool(urb);
      EndTrack(t, STATUS_INSUFFICIENT_RESOURCES);
      break;
    }
    std::memset(urb, 0, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER));
    urb->UrbHeader.Length = sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER);
    urb->UrbHeader.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
    auto& r = urb->UrbBulkOrInterruptTransfer;
    r.PipeHandle = pipe.PipeHandle;
    r.TransferFlags = d.in ? 0 : 2;
    r.TransferBufferLength = length;
    r.TransferBuffer = buffer + sent;
    *context = SL_CONTEXT{urb, irp, t.Length, deviceObject, first, nullptr};
    InterlockedIncrement(&t.UrbsOut);
    IRP* used = nullptr;
    NTSTATUS status = SLCallUSBD(deviceObject, urb, false, d.completion, context, &used);
    if (!used) {
      // No request to carry it: it never went down.
      FreePool(context);
      FreePool(urb);
      InterlockedDecrement(&t.UrbsOut);
      EndTrack(t, status);
      break;
    }
    first = false;
    sent += length;
  }
}

NTSTATUS CompleteUrb(DEVICE_OBJECT*, IRP* carrier, PVOID contextPointer, const Direction& d) {
  auto* context = static_cast<SL_CONTEXT*>(contextPointer);
  DEVICE_OBJECT* deviceObject = context->DeviceObject;
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  KVX_BULK_TRACK& t = ext->*d.track;
  const _URB_BULK_OR_INTERRUPT_TRANSFER& r = context->Urb->UrbBulkOrInterruptTransfer;
  USBD_STATUS urbStatus = context->Urb->UrbHeader.Status;
  NTSTATUS irpStatus = carrier->IoStatus.Status;
  ULONG moved = r.TransferBufferLength;
  KIRQL irql;
  KeAcquireSpinLock(&t.Lock, &irql);
  if (!t.Ended) {
    if (InterlockedRead(&(ext->*d.cancel)) || urbStatus == USBD_STATUS_CANCELED) {
      __atomic_store_n(&t.Ended, true, __ATOMIC_SEQ_CST);  // StartBulk reads it unlocked
      t.Status = STATUS_CANCELLED;
    } else if (USBD_SUCCESS(urbStatus) && NT_SUCCESS(irpStatus)) {
      t.Moved += moved;
    } else if (urbStatus == USBD_STATUS_ERROR_SHORT_TRANSFER) {
      t.Moved += moved;
      __atomic_store_n(&t.Ended, true, __ATOMIC_SEQ_CST);  // StartBulk reads it unlocked
      t.Status = STATUS_SUCCESS;
      t.NeedsReset = true;
    } else {
      __atomic_store_n(&t.Ended, true, __ATOMIC_SEQ_CST);  // StartBulk reads it unlocked
      t.Status = NT_SUCCESS(irpStatus) ? STATUS_UNSUCCESSFUL : irpStatus;
      t.NeedsReset = urbStatus != USBD_STATUS_DEVICE_GONE;
    }
    if (t.Moved > t.Length) t.Moved = t.Length;
  }
  KeReleaseSpinLock(&t.Lock, irql);
  bool onRequest = context->OnRequest;
  FreePool(context->Urb);
  FreePool(context);
  // Only requests the driver allocated are freed.
  if (!onRequest) IoFreeIrp(carrier);
  ReleaseUrb(deviceObject, d);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS Dispatch(DEVICE_OBJECT* deviceObject, IRP* irp, const Direction& d) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  if (InterlockedRead(&ext->Stopped)) return CompleteAtOnce(irp, STATUS_FILE_CLOSED);
  if (InterlockedRead(&(ext->*d.cancel))) return CompleteAtOnce(irp, STATUS_CANCELLED);
  ULONG length = IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length;
  uint8_t index = kNoPipe;
  NTSTATUS status = GetIndexFromPipeFile(ext, irp, UsbdPipeTypeBulk, d.in ? 0x80 : 0, &index);
  if (!NT_SUCCESS(status)) return CompleteAtOnce(irp, status);
  if (length == 0 || !irp->MdlAddress) return CompleteAtOnce(irp, STATUS_SUCCESS);
  // One request of each direction at a time; another is refused and the first keeps its slot.
  if (__atomic_load_n(&(ext->*d.slot), __ATOMIC_SEQ_CST) != nullptr) return CompleteAtOnce(irp, STATUS_CANCELLED);
  IRP* expected = nullptr;
  if (!__atomic_compare_exchange_n(&(ext->*d.slot), &expected, irp, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
    return CompleteAtOnce(irp, STATUS_CANCELLED);
  }
  KVX_BULK_TRACK& t = ext->*d.track;
  t.UrbsOut = 1;  // held while the URBs are sent
  t.Length = length;
  t.Moved = 0;
  t.Status = STATUS_SUCCESS;
  t.Ended = false;
  t.NeedsReset = false;
  t.PipeIndex = index;
  InterlockedIncrement(&(ext->*d.outstanding));
  IoMarkIrpPending(irp);
  // The cancel routine is in place before any URB goes down.
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  IoSetCancelRoutine(irp, d.cancelRoutine);
  bool cancelled = irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr;
  IoReleaseCancelSpinLock(irql);
  if (cancelled) {
    EndTrack(t, STATUS_CANCELLED);
  } else if (d.in) {
    SLStartRead(deviceObject, irp);
  } else {
    SLStartWrite(deviceObject, irp);
  }
  ReleaseUrb(deviceObject, d);
  return STATUS_PENDING;
}

void CancelRoutine(IRP* irp, const Direction& d) {
  // Nothing of the request is touched once the lock is released: it may complete at once.
  DEVICE_OBJECT* deviceObject = KvxDeviceOf(irp);
  IoReleaseCancelSpinLock(irp->CancelIrql);
  InterlockedExchange(&(Ext(deviceObject)->*d.cancel), 1);
  if (d.in) ScheduleAbortReadPipe(deviceObject);
  else ScheduleAbortWritePipe(deviceObject);
}

void ScheduleAbort(DEVICE_OBJECT* deviceObject, IO_WORKITEM_ROUTINE* routine) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  IO_WORKITEM* item = IoAllocateWorkItem(deviceObject);
  if (!item) return;  // the request ends when its URBs come back, or at stop or close
  InterlockedIncrement(&ext->WorkItems);
  IoQueueWorkItem(item, routine, DelayedWorkQueue, item);
}

// Aborts the pipe until the pending request is gone (a URB sent while the first abort ran is
// caught by the next), waits and resets it.
NTSTATUS AbortReset(DEVICE_OBJECT* deviceObject, const Direction& d) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  if (InterlockedRead(&(ext->*d.outstanding)) == 0) {
    InterlockedExchange(&(ext->*d.cancel), 0);
    return STATUS_SUCCESS;
  }
  uint8_t index = (ext->*d.track).PipeIndex;
  if (index >= kMaxPipes || !ext->PipeInfo[index].PipeHandle) return STATUS_SUCCESS;
  NTSTATUS status = SLAbortPipeSelected(deviceObject, index);
  if (!NT_SUCCESS(status) && d.in) return status;
  for (int i = 0; i < 20 && InterlockedRead(&(ext->*d.outstanding)) > 0; ++i) {
    LARGE_INTEGER pause{-25 * 10000};
    KeDelayExecutionThread(KernelMode, FALSE, &pause);
    SLAbortPipeSelected(deviceObject, index);
  }
  LARGE_INTEGER interval{-500 * 10000};
  KeDelayExecutionThread(KernelMode, FALSE, &interval);
  status = SLResetPipeSelected(deviceObject, index);
  if (!d.in) {
    KeDelayExecutionThread(KernelMode, FALSE, &interval);
    return STATUS_SUCCESS;
  }
  return status;
}

void CancelPending(DEVICE_OBJECT* deviceObject, const Direction& d) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  if (InterlockedRead(&(ext->*d.outstanding)) == 0) return;
  EndTrack(ext->*d.track, STATUS_CANCELLED);
  uint8_t index = (ext->*d.track).PipeIndex;
  if (index < kMaxPipes && ext->PipeInfo[index].PipeHandle) SLAbortPipeSelected(deviceObject, index);
}
}  // namespace

NTSTATUS SLRead(DEVICE_OBJECT* deviceObject, IRP* irp) { return Dispatch(deviceObject, irp, kRead); }
NTSTATUS SLWrite(DEVICE_OBJECT* deviceObject, IRP* irp) { return Dispatch(deviceObject, irp, kWrite); }
void SLStartRead(DEVICE_OBJECT* deviceObject, IRP* irp) { StartBulk(deviceObject, irp, kRead); }
void SLStartWrite(DEVICE_OBJECT* deviceObject, IRP* irp) { StartBulk(deviceObject, irp, kWrite); }

NTSTATUS SLCompleteReadIrp(DEVICE_OBJECT* deviceObject, IRP* irp, PVOID context) {
  return CompleteUrb(deviceObject, irp, context, kRead);
}
NTSTATUS SLCompleteWriteIrp(DEVICE_OBJECT* deviceObject, IRP* irp, PVOID context) {
  return CompleteUrb(deviceObject, irp, context, kWrite);
}

void SLCancelReadIrp(DEVICE_OBJECT*, IRP* irp) { CancelRoutine(irp, kRead); }
void SLCancelWriteIrp(DEVICE_OBJECT*, IRP* irp) { CancelRoutine(irp, kWrite); }

void ScheduleAbortReadPipe(DEVICE_OBJECT* deviceObject) { ScheduleAbort(deviceObject, AbortBulkInPipe); }
void ScheduleAbortWritePipe(DEVICE_OBJECT* deviceObject) { ScheduleAbort(deviceObject, AbortBulkOutPipe); }

void AbortBulkInPipe(DEVICE_OBJECT* deviceObject, PVOID context) {
  AbortResetBulkInPipe(deviceObject);
  IoFreeWorkItem(static_cast<IO_WORKITEM*>(context));
  InterlockedDecrement(&Ext(deviceObject)->WorkItems);
}

void AbortBulkOutPipe(DEVICE_OBJECT* deviceObject, PVOID context) {
  AbortResetBulkOutPipe(deviceObject);
  IoFreeWorkItem(static_cast<IO_WORKITEM*>(context));
  InterlockedDecrement(&Ext(deviceObject)->WorkItems);
}

NTSTATUS AbortResetBulkInPipe(DEVICE_OBJECT* deviceObject) { return AbortReset(deviceObject, kRead); }
NTSTATUS AbortResetBulkOutPipe(DEVICE_OBJECT* deviceObject) { return AbortReset(deviceObject, kWrite); }

void CancelReadIrp(DEVICE_OBJECT* deviceObject) { CancelPending(deviceObject, kRead); }
void CancelWriteIrp(DEVICE_OBJECT* deviceObject) { CancelPending(deviceObject, kWrite); }

}  // namespace kvxscan
