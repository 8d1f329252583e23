// The interrupt pipe, polled from start to stop, and the device-event wait that takes its
// latest packet. One spin lock guards the buffered flag, the waiting request and the packet.
#include <cstring>

#include "kvxscan.h"

namespace kvxscan {

namespace {
uint8_t InterruptIndex(DEVICE_EXTENSION* ext) { return GetIndexFromPipeType(ext, UsbdPipeTypeInterrupt, 0); }

USHORT PacketSize(DEVICE_EXTENSION* ext) {
  uint8_t index = InterruptIndex(ext);
  return index == kNoPipe ? 0 : ext->PipeInfo[index].MaximumPacketSize;
}

void CompleteWait(DEVICE_EXTENSION* ext, IRP* wait, NTSTATUS status, ULONG length) {
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  IoSetCancelRoutine(wait, nullptr);
  IoReleaseCancelSpinLock(irql);
  wait->IoStatus.Status = status;
  wait->IoStatus.Information = length;
  InterlockedDecrement(&ext->Waiters);
  IoCompleteRequest(wait, IO_NO_INCREMENT);
}

// The transfer URB, its buffer and its context, in one block.
struct InterruptTransfer {
  SL_CONTEXT context;
  _URB_BULK_OR_INTERRUPT_TRANSFER urb;
  uint8_t data[1];
};
}  // namespace

NTSTATUS InstallInterruptPipe(DEVICE_OBJECT* deviceObject) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  if (ext->InterruptIrp) return STATUS_SUCCESS;
  USHORT packet = PacketSize(ext);
  if (packet == 0) return STATUS_SUCCESS;  // no interrupt pipe: no buffer, no polling
  if (!ext->InterruptBuffer) {
    ext->InterruptBuffer = static_cast<uint8_t*>(AllocatePool(packet));
    if (!ext->InterruptBuffer) return STATUS_INSUFFICIENT_RESOURCES;
    std::memset(ext->InterruptBuffer, 0, packet);
  }
  ext->InterruptStopping = 0;
  NTSTATUS status = SLReadInterruptPipe(deviceObject);
  if (!NT_SUCCESS(status)) {
    FreePool(ext->InterruptBuffer);
    ext->InterruptBuffer = nullptr;
  }
  return status == STATUS_PENDING ? STATUS_SUCCESS : status;
}

void UnInstallInterruptPipe(DEVICE_OBJECT* deviceObject) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  InterlockedExchange(&ext->InterruptStopping, 1);
  if (__atomic_load_n(&ext->InterruptIrp, __ATOMIC_SEQ_CST)) {
    uint8_t index = InterruptIndex(ext);
    if (index != kNoPipe) SLAbortPipeSelected(deviceObject, index);
    // The aborted transfer's completion has run; one still in the bus's queue ends at the abort.
    for (int i = 0; i < 100 && __atomic_load_n(&ext->InterruptIrp, __ATOMIC_SEQ_CST); ++i) {
      LARGE_INTEGER pause{-10 * 10000};
      KeDelayExecutionThread(KernelMode, FALSE, &pause);
      if (index != kNoPipe) SLAbortPipeSelected(deviceObject, index);
    }
  }
  KIRQL irql;
  KeAcquireSpinLock(&ext->EventLock, &irql);
  uint8_t* buffer = ext->InterruptBuffer;
  ext->InterruptBuffer = nullptr;
  ext->EventBuffered = false;
  KeReleaseSpinLock(&ext->EventLock, irql);
  if (buffer) FreePool(buffer);
}

NTSTATUS SLReadInterruptPipe(DEVICE_OBJECT* deviceObject) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  uint8_t index = InterruptIndex(ext);
  if (index == kNoPipe) return STATUS_INVALID_DEVICE_REQUEST;
  USHORT packet = ext->PipeInfo[index].MaximumPacketSize;
  auto* transfer = static_cast<InterruptTransfer*>(AllocatePool(sizeof(InterruptTransfer) + packet));
  if (!transfer) return STATUS_INSUFFICIENT_RESOURCES;
  std::memset(transfer, 0, sizeof(InterruptTransfer) + packet);
  auto* urb = reinterpret_cast<URB*>(&transfer->urb);
  urb->UrbHeader.Length = sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER);
  urb->UrbHeader.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
  transfer->urb.PipeHandle = ext->PipeInfo[index].PipeHandle;
  transfer->urb.TransferFlags = USBD_SHORT_TRANSFER_OK;
  transfer->urb.TransferBufferLength = packet;
  transfer->urb.TransferBuffer = transfer->data;
  IRP* carrier = ext->TopOfStackDeviceObject ? IoAllocateIrp(ext->TopOfStackDeviceObject->StackSize, FALSE) : nullptr;
  if (!carrier) {
    FreePool(transfer);
    InterlockedExchangePointer(&ext->InterruptIrp, static_cast<IRP*>(nullptr));
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  transfer->context = SL_CONTEXT{urb, carrier, packet, deviceObject, true, nullptr};
  // Remembered before it goes down: its completion may run first.
  InterlockedExchangePointer(&ext->InterruptIrp, carrier);
  return SLCallUSBD(deviceObject, urb, false, SLCompleteInterruptIrp, &transfer->context, nullptr);
}

NTSTATUS SLCompleteInterruptIrp(DEVICE_OBJECT*, IRP* irp, PVOID contextPointer) {
  auto* context = static_cast<SL_CONTEXT*>(contextPointer);
  auto* transfer = reinterpret_cast<InterruptTransfer*>(context);
  DEVICE_OBJECT* deviceObject = context->DeviceObject;
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  bool ok = NT_SUCCESS(irp->IoStatus.Status) && USBD_SUCCESS(transfer->urb.Hdr.Status);
  ULONG moved = transfer->urb.TransferBufferLength;
  if (moved > context->Length) moved = context->Length;
  IRP* wait = nullptr;
  KIRQL irql;
  KeAcquireSpinLock(&ext->EventLock, &irql);
  if (!InterlockedRead(&ext->Stopped) && ext->InterruptBuffer) {
    if (ok) {
      std::memset(ext->InterruptBuffer, 0, context->Length);
      std::memcpy(ext->InterruptBuffer, transfer->data, moved);
      ext->EventLength = moved;
    }
    wait = ext->DeviceEventIrp;
    ext->DeviceEventIrp = nullptr;
    if (wait && ok) std::memcpy(wait->AssociatedIrp.SystemBuffer, ext->InterruptBuffer, moved);
    if (!wait && ok) ext->EventBuffered = true;
  }
  KeReleaseSpinLock(&ext->EventLock, irql);
  // A failed transfer ends a waiting request cancelled, not with stale bytes.
  if (wait) CompleteWait(ext, wait, ok ? STATUS_SUCCESS : STATUS_CANCELLED, ok ? moved : 0);
  IoFreeIrp(irp);
  FreePool(transfer);
  // Polling goes on after a good packet; a failed transfer, a stop or an uninstall end it (a
  // failed restart forgets the transfer itself).
  if (ok && !InterlockedRead(&ext->Stopped) && !InterlockedRead(&ext->InterruptStopping)) {
    SLReadInterruptPipe(deviceObject);
  } else {
    InterlockedExchangePointer(&ext->InterruptIrp, static_cast<IRP*>(nullptr));
  }
  return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS WaitOnDeviceEvent(DEVICE_OBJECT* deviceObject, IRP* irp) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  irp->IoStatus.Information = 0;
  if (InterlockedRead(&ext->Stopped)) return STATUS_CANCELLED;
  InterlockedIncrement(&ext->Waiters);
  USHORT packet = PacketSize(ext);
  ULONG outLength = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
  auto* out = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  KIRQL irql;
  KeAcquireSpinLock(&ext->EventLock, &irql);
  NTSTATUS refusal = STATUS_SUCCESS;
  if (packet == 0 || !ext->InterruptBuffer) refusal = STATUS_CANCELLED;
  else if (outLength < packet) refusal = STATUS_INVALID_PARAMETER;
  if (refusal != STATUS_SUCCESS) {
    KeReleaseSpinLock(&ext->EventLock, irql);
    InterlockedDecrement(&ext->Waiters);
    return refusal;
  }
  if (ext->EventBuffered) {
    ULONG length = ext->EventLength;
    std::memcpy(out, ext->InterruptBuffer, length);
    ext->EventBuffered = false;
    KeReleaseSpinLock(&ext->EventLock, irql);
    irp->IoStatus.Information = length;
    InterlockedDecrement(&ext->Waiters);
    return STATUS_SUCCESS;
  }
  if (ext->DeviceEventIrp) {
    // One wait at a time: a second one is refused and the first keeps waiting.
    KeReleaseSpinLock(&ext->EventLock, irql);
    InterlockedDecrement(&ext->Waiters);
    return STATUS_CANCELLED;
  }
  IoMarkIrpPending(irp);
  KIRQL cancelIrql;
  IoAcquireCancelSpinLock(&cancelIrql);
  IoSetCancelRoutine(irp, SLCancelInterruptIrp);
  bool cancelled = irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr;
  IoReleaseCancelSpinLock(cancelIrql);
  if (!cancelled) ext->DeviceEventIrp = irp;
  KeReleaseSpinLock(&ext->EventLock, irql);
  if (cancelled) {
    CompleteWait(ext, irp, STATUS_CANCELLED, 0);
  }
  return STATUS_PENDING;
}

void SLCancelInterruptIrp(DEVICE_OBJECT*, IRP* irp) {
  DEVICE_OBJECT* deviceObject = KvxDeviceOf(irp);
  IoReleaseCancelSpinLock(irp->CancelIrql);
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  KIRQL irql;
  KeAcquireSpinLock(&ext->EventLock, &irql);
  bool mine = ext->DeviceEventIrp == irp;
  if (mine) ext->DeviceEventIrp = nullptr;
  KeReleaseSpinLock(&ext->EventLock, irql);
  if (mine) CompleteWait(ext, irp, STATUS_CANCELLED, 0);
}

void CancelDeviceEventWait(DEVICE_EXTENSION* ext) {
  KIRQL irql;
  KeAcquireSpinLock(&ext->EventLock, &irql);
  IRP* wait = ext->DeviceEventIrp;
  ext->DeviceEventIrp = nullptr;
  KeReleaseSpinLock(&ext->EventLock, irql);
  if (wait) CompleteWait(ext, wait, STATUS_CANCELLED, 0);
}

}  // namespace kvxscan
