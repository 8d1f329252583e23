// The driver's routines, by the names of its design, and the pieces they share.
#pragma once

#include "kvxscan/kvx_interface.h"
#include "platform/kernel/wdm.h"
#include "platform/usb/usb.h"

namespace kvxscan {

using namespace platform;

inline constexpr ULONG kPoolTag = MakePoolTag("Wdm ");

// One URB's completion context: every context names its request (null for interrupt polling).
struct SL_CONTEXT {
  URB* Urb;
  IRP* Request;
  ULONG Length;              // the request's total length
  DEVICE_OBJECT* DeviceObject;
  bool OnRequest;            // the URB travels on the request itself
  IRP* Carrier;              // the request the URB travels on
};

inline DEVICE_EXTENSION* Ext(DEVICE_OBJECT* device) { return static_cast<DEVICE_EXTENSION*>(device->DeviceExtension); }
// The driver's device object for a user request: the request's top stack location, whatever
// level the request has reached below it.
inline DEVICE_OBJECT* KvxDeviceOf(IRP* irp) { return irp->Stack[irp->StackCount - 1].DeviceObject; }

void* AllocatePool(size_t bytes);
void FreePool(void* block);

// Lifecycle.
extern "C" NTSTATUS DriverEntry(DRIVER_OBJECT* driverObject, UNICODE_STRING* registryPath);
void SLUnload(DRIVER_OBJECT* driverObject);
NTSTATUS SLPnpAddDevice(DRIVER_OBJECT* driverObject, DEVICE_OBJECT* physicalDeviceObject);
NTSTATUS SLPnpPower(DEVICE_OBJECT* deviceObject, IRP* irp);
NTSTATUS SLStartDevice(DEVICE_OBJECT* deviceObject);
void ClearCountersNflags(DEVICE_EXTENSION* ext);
NTSTATUS SLGetDeviceDescriptor(DEVICE_OBJECT* deviceObject);
NTSTATUS RegistryInfo(DEVICE_OBJECT* deviceObject, bool set);
NTSTATUS ConfigDeviceWithFirstInterface(DEVICE_OBJECT* deviceObject);
USHORT GetConfigDescriptorSize(DEVICE_OBJECT* deviceObject);
NTSTATUS SLGetConfigDescriptor(DEVICE_OBJECT* deviceObject, void* buffer, USHORT length, ULONG* received);
NTSTATUS SLSaveDescriptorsInDeviveExt(DEVICE_OBJECT* deviceObject, const uint8_t* set, ULONG length);
NTSTATUS SLSelectInterface(DEVICE_OBJECT* deviceObject, USB_CONFIGURATION_DESCRIPTOR* configuration);
NTSTATUS SLStopDevice(DEVICE_OBJECT* deviceObject);
NTSTATUS SLRemoveDevice(DEVICE_OBJECT* deviceObject);
void DetachDeviceObject(DEVICE_OBJECT* deviceObject);
NTSTATUS SLCreate(DEVICE_OBJECT* deviceObject, IRP* irp);
NTSTATUS SLClose(DEVICE_OBJECT* deviceObject, IRP* irp);
NTSTATUS SLInternalDevControl(DEVICE_OBJECT* deviceObject, IRP* irp);
NTSTATUS SLSystemCtrl(DEVICE_OBJECT* deviceObject, IRP* irp);

// The USB stack.
NTSTATUS SLCallUSBD(DEVICE_OBJECT* deviceObject, URB* urb, bool synchronous,
                    IO_COMPLETION_ROUTINE* completion, SL_CONTEXT* context, IRP** used);
uint8_t GetIndexFromPipeType(DEVICE_EXTENSION* ext, ULONG pipeType, uint8_t direction);
NTSTATUS GetIndexFromPipeFile(DEVICE_EXTENSION* ext, IRP* irp, ULONG pipeType, uint8_t direction,
                              uint8_t* index);

// Control interface.
NTSTATUS SLDeviceControl(DEVICE_OBJECT* deviceObject, IRP* irp);
NTSTATUS SLReadRegisters(DEVICE_OBJECT* deviceObject, IRP* irp);
NTSTATUS SLWriteRegisters(DEVICE_OBJECT* deviceObject, IRP* irp);
NTSTATUS SLVendorControl(DEVICE_OBJECT* deviceObject, IRP* irp);
NTSTATUS KVXVendorControl(DEVICE_OBJECT* deviceObject, IRP* irp);
NTSTATUS MsVendorControl(DEVICE_OBJECT* deviceObject, IRP* irp);
NTSTATUS SLCallAbortPipe(DEVICE_OBJECT* deviceObject, ULONG selector);

// Bulk transfers.
NTSTATUS SLRead(DEVICE_OBJECT* deviceObject, IRP* irp);
NTSTATUS SLWrite(DEVICE_OBJECT* deviceObject, IRP* irp);
void SLStartRead(DEVICE_OBJECT* deviceObject, IRP* irp);
void SLStartWrite(DEVICE_OBJECT* deviceObject, IRP* irp);
NTSTATUS SLCompleteReadIrp(DEVICE_OBJECT* deviceObject, IRP* irp, PVOID context);
NTSTATUS SLCompleteWriteIrp(DEVICE_OBJECT* deviceObject, IRP* irp, PVOID context);
void SLCancelReadIrp(DEVICE_OBJECT* deviceObject, IRP* irp);
void SLCancelWriteIrp(DEVICE_OBJECT* deviceObject, IRP* irp);
void ScheduleAbortReadPipe(DEVICE_OBJECT* deviceObject);
void ScheduleAbortWritePipe(DEVICE_OBJECT* deviceObject);
void AbortBulkInPipe(DEVICE_OBJECT* deviceObject, PVOID context);
void AbortBulkOutPipe(DEVICE_OBJECT* deviceObject, PVOID context);
NTSTATUS AbortResetBulkInPipe(DEVICE_OBJECT* deviceObject);
NTSTATUS AbortResetBulkOutPipe(DEVICE_OBJECT* deviceObject);
void CancelReadIrp(DEVICE_OBJECT* deviceObject);
void CancelWriteIrp(DEVICE_OBJECT* deviceObject);
NTSTATUS SLAbortPipeSelected(DEVICE_OBJECT* deviceObject, uint8_t index);
NTSTATUS SLResetPipeSelected(DEVICE_OBJECT* deviceObject, uint8_t index);

// The interrupt pipe.
NTSTATUS InstallInterruptPipe(DEVICE_OBJECT* deviceObject);
void UnInstallInterruptPipe(DEVICE_OBJECT* deviceObject);
NTSTATUS SLReadInterruptPipe(DEVICE_OBJECT* deviceObject);
NTSTATUS SLCompleteInterruptIrp(DEVICE_OBJECT* deviceObject, IRP* irp, PVOID context);
NTSTATUS WaitOnDeviceEvent(DEVICE_OBJECT* deviceObject, IRP* irp);
void SLCancelInterruptIrp(DEVICE_OBJECT* deviceObject, IRP* irp);
void CancelDeviceEventWait(DEVICE_EXTENSION* ext);

}  // namespace kvxscan
