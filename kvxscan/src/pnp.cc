// Adding, starting, stopping and removing the device.
#include <cstring>
#include <new>

#include "kvxscan.h"

namespace kvxscan {

namespace {
// "\Device\KvxScan0", "\DosDevices\KvxScan0", "\\.\KvxScan0" for instance digit `digit`.
struct InstanceName {
  char16_t text[32];
  UNICODE_STRING string;
  InstanceName(const char* prefix, char16_t digit) {
    size_t n = 0;
    for (; prefix[n]; ++n) text[n] = static_cast<char16_t>(prefix[n]);
    text[n++] = digit;
    text[n] = 0;
    RtlInitUnicodeString(&string, text);
  }
};

NTSTATUS PassDown(DEVICE_EXTENSION* ext, IRP* irp) {
  IoCopyCurrentIrpStackLocationToNext(irp);
  return IoCallDriver(ext->TopOfStackDeviceObject, irp);
}

NTSTATUS CompleteWith(IRP* irp, NTSTATUS status) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

void DeleteDevice(DEVICE_OBJECT* device) {
  Ext(device)->~DEVICE_EXTENSION();
  IoDeleteDevice(device);
}
}  // namespace

NTSTATUS SLPnpAddDevice(DRIVER_OBJECT* driverObject, DEVICE_OBJECT* physicalDeviceObject) {
  if (!physicalDeviceObject) return STATUS_NO_MORE_ENTRIES;
  DEVICE_OBJECT* device = nullptr;
  NTSTATUS status = STATUS_SUCCESS;
  char16_t digit = 0;
  for (int i = 0; i < 10; ++i) {
    InstanceName name("\\Device\\KvxScan", static_cast<char16_t>(u'0' + i));
    status = IoCreateDevice(driverObject, sizeof(DEVICE_EXTENSION), &name.string, FILE_DEVICE_UNKNOWN, 0,
                            FALSE, &device);
    if (NT_SUCCESS(status)) {
      digit = static_cast<char16_t>(u'0' + i);
      break;
    }
  }
  if (!NT_SUCCESS(status)) return status;
  DEVICE_EXTENSION* ext = new (device->DeviceExtension) DEVICE_EXTENSION();
  device->Flags &= ~DO_DEVICE_INITIALIZING;
  device->Flags |= DO_DIRECT_IO;
  ext->InstanceDigit = digit;
  ext->PhysicalDeviceObject = physicalDeviceObject;
  InstanceName name("\\Device\\KvxScan", digit);
  InstanceName link("\\DosDevices\\KvxScan", digit);
  status = IoCreateSymbolicLink(&link.string, &name.string);
  if (!NT_SUCCESS(status)) {
    DeleteDevice(device);
    return status;
  }
  ext->TopOfStackDeviceObject = IoAttachDeviceToDeviceStack(device, physicalDeviceObject);
  if (!ext->TopOfStackDeviceObject) {
    IoDeleteSymbolicLink(&link.string);
    DeleteDevice(device);
    return STATUS_NO_SUCH_DEVICE;
  }
  return STATUS_SUCCESS;
}

NTSTATUS SLPnpPower(DEVICE_OBJECT* deviceObject, IRP* irp) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  NTSTATUS status = STATUS_SUCCESS;
  switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_START_DEVICE: status = SLStartDevice(deviceObject); break;
    case IRP_MN_STOP_DEVICE: status = SLStopDevice(deviceObject); break;
    case IRP_MN_SURPRISE_REMOVAL:
      // The device is gone: nothing more goes to it, and what waits on it ends now.
      InterlockedExchange(&ext->Removed, 1);
      SLStopDevice(deviceObject);
      break;
    case IRP_MN_REMOVE_DEVICE: {
      // The request goes down before the device object (and the extension with the lower
      // device in it) is deleted.
      SLRemoveDevice(deviceObject);
      status = PassDown(ext, irp);
      DetachDeviceObject(deviceObject);
      return status;
    }
    default: break;
  }
  if (!NT_SUCCESS(status)) return CompleteWith(irp, status);
  return PassDown(ext, irp);
}

void ClearCountersNflags(DEVICE_EXTENSION* ext) {
  // The open count stays: a device stopped and started again under an open handle is still open.
  ext->Stopped = 0;
  ext->Removed = 0;
  ext->ReadCancel = 0;
  ext->WriteCancel = 0;
  ext->Waiters = 0;
  ext->ReadsOutstanding = 0;
  ext->WritesOutstanding = 0;
  ext->InterruptStopping = 0;
  ext->DeviceEventIrp = nullptr;
  ext->InterruptIrp = nullptr;
  ext->ReadIrp = nullptr;
  ext->WriteIrp = nullptr;
  ext->EventBuffered = false;
}

NTSTATUS SLStartDevice(DEVICE_OBJECT* deviceObject) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  // A start of a running device first ends what runs (the interrupt poll, pending requests):
  // clearing the slots under them would leave their transfers at the bus for ever.
  if (ext->ConfigurationHandle && !InterlockedRead(&ext->Stopped)) SLStopDevice(deviceObject);
  ClearCountersNflags(ext);
  NTSTATUS status = SLGetDeviceDescriptor(deviceObject);
  if (NT_SUCCESS(status)) {
    RegistryInfo(deviceObject, true);
    status = ConfigDeviceWithFirstInterface(deviceObject);
  }
  if (NT_SUCCESS(status)) status = InstallInterruptPipe(deviceObject);
  if (!NT_SUCCESS(status)) {
    // Added but not configured: no pipes, and the next open tries the start again.
    std::memset(&ext->Descriptors, 0, sizeof ext->Descriptors);
    std::memset(ext->PipeInfo, 0, sizeof ext->PipeInfo);
    ext->NumberOfEndpoints = 0;
    ext->ConfigurationHandle = nullptr;
  }
  return status;
}

NTSTATUS SLStopDevice(DEVICE_OBJECT* deviceObject) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  if (InterlockedRead(&ext->Stopped)) return STATUS_SUCCESS;
  // Pending reads and writes end cancelled once their URBs are back; the pipes are aborted so
  // that they come back now.
  InterlockedExchange(&ext->ReadCancel, 1);
  InterlockedExchange(&ext->WriteCancel, 1);
  CancelReadIrp(deviceObject);
  CancelWriteIrp(deviceObject);
  CancelDeviceEventWait(ext);
  UnInstallInterruptPipe(deviceObject);
  NTSTATUS status = STATUS_SUCCESS;
  if (!InterlockedRead(&ext->Removed) && ext->ConfigurationHandle) {
    auto* urb = static_cast<URB*>(AllocatePool(sizeof(_URB_SELECT_CONFIGURATION)));
    if (!urb) {
      status = STATUS_NO_MEMORY;
    } else {
      std::memset(urb, 0, sizeof(_URB_SELECT_CONFIGURATION));
      urb->UrbHeader.Length = offsetof(_URB_SELECT_CONFIGURATION, Interface);
      urb->UrbHeader.Function = URB_FUNCTION_SELECT_CONFIGURATION;
      status = SLCallUSBD(deviceObject, urb, true, nullptr, nullptr, nullptr);
      FreePool(urb);
      if (NT_SUCCESS(status)) ext->ConfigurationHandle = nullptr;
    }
  }
  InterlockedExchange(&ext->Stopped, 1);
  return status;
}

NTSTATUS SLRemoveDevice(DEVICE_OBJECT* deviceObject) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  InterlockedExchange(&ext->Removed, 1);
  SLStopDevice(deviceObject);
  RegistryInfo(deviceObject, false);
  // Work items of this device finish before it goes.
  while (InterlockedRead(&ext->WorkItems) > 0) {
    LARGE_INTEGER interval{-10 * 10000};
    KeDelayExecutionThread(KernelMode, FALSE, &interval);
  }
  return STATUS_SUCCESS;
}

void DetachDeviceObject(DEVICE_OBJECT* deviceObject) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  if (ext->TopOfStackDeviceObject) IoDetachDevice(ext->TopOfStackDeviceObject);
  ext->TopOfStackDeviceObject = nullptr;
  InstanceName link("\\DosDevices\\KvxScan", ext->InstanceDigit);
  IoDeleteSymbolicLink(&link.string);
  DeleteDevice(deviceObject);
}

NTSTATUS RegistryInfo(DEVICE_OBJECT* deviceObject, bool set) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  HANDLE key = nullptr;
  if (!NT_SUCCESS(IoOpenDeviceRegistryKey(ext->PhysicalDeviceObject, PLUGPLAY_REGKEY_DRIVER, KEY_WRITE, &key))) {
    return STATUS_SUCCESS;
  }
  InstanceName path("\\\\.\\KvxScan", ext->InstanceDigit);
  UNICODE_STRING valueName;
  RtlInitUnicodeString(&valueName, u"CreateFileName");
  char16_t empty[1] = {0};
  if (set) {
    ZwSetValueKey(key, &valueName, 0, REG_SZ, path.string.Buffer, path.string.Length);
  } else {
    ZwSetValueKey(key, &valueName, 0, REG_SZ, empty, 0);
  }
  ZwClose(key);
  return STATUS_SUCCESS;
}

NTSTATUS SLCreate(DEVICE_OBJECT* deviceObject, IRP* irp) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  NTSTATUS status = STATUS_SUCCESS;
  if (InterlockedRead(&ext->Removed)) {
    status = STATUS_DELETE_PENDING;
  } else if (ext->Descriptors.Device.bLength == 0) {
    status = SLStartDevice(deviceObject);
  }
  // Only an open that succeeds is counted: a refused one never closes.
  if (NT_SUCCESS(status)) InterlockedIncrement(&ext->OpenCount);
  return CompleteWith(irp, status);
}

NTSTATUS SLClose(DEVICE_OBJECT* deviceObject, IRP* irp) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  InterlockedDecrement(&ext->OpenCount);
  InterlockedExchange(&ext->ReadCancel, 1);
  InterlockedExchange(&ext->WriteCancel, 1);
  CancelReadIrp(deviceObject);
  CancelWriteIrp(deviceObject);
  SLCallAbortPipe(deviceObject, kCancelAll);
  return CompleteWith(irp, STATUS_SUCCESS);
}

NTSTATUS SLInternalDevControl(DEVICE_OBJECT* deviceObject, IRP* irp) { return SLSystemCtrl(deviceObject, irp); }

NTSTATUS SLSystemCtrl(DEVICE_OBJECT* deviceObject, IRP* irp) {
  DEVICE_EXTENSION* ext = Ext(deviceObject);
  if (InterlockedRead(&ext->Removed) || !ext->TopOfStackDeviceObject) return CompleteWith(irp, STATUS_SUCCESS);
  return PassDown(ext, irp);
}

}  // namespace kvxscan
