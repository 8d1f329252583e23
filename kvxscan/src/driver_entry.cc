// The module's one export and the driver object's entries.
#include "kvxscan.h"

namespace kvxscan {

extern "C" __attribute__((visibility("default"))) NTSTATUS DriverEntry(DRIVER_OBJECT* driverObject,
                                                                        UNICODE_STRING*) {
  driverObject->MajorFunction[IRP_MJ_CREATE] = SLCreate;
  driverObject->MajorFunction[IRP_MJ_CLOSE] = SLClose;
  driverObject->MajorFunction[IRP_MJ_READ] = SLRead;
  driverObject->MajorFunction[IRP_MJ_WRITE] = SLWrite;
  driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = SLDeviceControl;
  driverObject->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = SLInternalDevControl;
  driverObject->MajorFunction[IRP_MJ_PNP] = SLPnpPower;
  driverObject->DriverUnload = SLUnload;
  driverObject->DriverExtension->AddDevice = SLPnpAddDevice;
  return STATUS_SUCCESS;
}

void SLUnload(DRIVER_OBJECT*) {}

}  // namespace kvxscan
