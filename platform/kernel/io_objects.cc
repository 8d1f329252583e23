// Device objects, device stacks, symbolic links, MDLs and the device's registry key.
#include <cstring>
#include <new>

#include "kernel_names.h"
#include "device_link.h"
#include "platform/devices/device_paths.h"
#include "platform/files/winpath.h"
#include "platform/kernel/kernel.h"
#include "platform/registry/registry.h"

namespace platform {

namespace {
constexpr ULONG kDeviceTag = MakePoolTag("Devo");
constexpr ULONG kMdlTag = MakePoolTag("Mdl ");

// "\DosDevices\NAME" or "\??\NAME" -> "NAME"; empty for anything else.
std::string LinkName(const std::string& full) {
  for (std::string_view prefix : {"\\dosdevices\\", "\\??\\"}) {
    if (full.size() > prefix.size() && ToLowerAscii(full.substr(0, prefix.size())) == prefix) {
      std::string rest = full.substr(prefix.size());
      if (rest.find('\\') == std::string::npos) return rest;
    }
  }
  return {};
}

struct RegistryHandle {
  RegKey key = 0;
};
}  // namespace

std::string NarrowName(const UNICODE_STRING* name) {
  std::string out;
  if (!name || !name->Buffer) return out;
  for (USHORT i = 0; i < name->Length / 2; ++i) {
    char16_t c = name->Buffer[i];
    out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return out;
}

OwnedUnicode::OwnedUnicode(std::string_view narrow) : text(narrow.begin(), narrow.end()) {
  string.Buffer = text.data();
  string.Length = static_cast<USHORT>(text.size() * 2);
  string.MaximumLength = string.Length;
}

void RtlInitUnicodeString(UNICODE_STRING* destination, const WCHAR* source) {
  size_t n = 0;
  while (source && source[n]) ++n;
  destination->Buffer = const_cast<WCHAR*>(source);
  destination->Length = static_cast<USHORT>(n * 2);
  destination->MaximumLength = static_cast<USHORT>(n * 2 + (source ? 2 : 0));
}

NTSTATUS IoCreateDevice(DRIVER_OBJECT* driverObject, ULONG deviceExtensionSize,
                        UNICODE_STRING* deviceName, ULONG deviceType, ULONG characteristics,
                        BOOLEAN exclusive, DEVICE_OBJECT** deviceObject) {
  Kernel& kernel = Kernel::Current();
  std::string name = NarrowName(deviceName);
  if (deviceName && name.empty()) return STATUS_OBJECT_NAME_INVALID;
  if (!name.empty() && kernel.NamedDevice(name)) return STATUS_OBJECT_NAME_COLLISION;
  size_t bytes = sizeof(DEVICE_OBJECT) + deviceExtensionSize;
  void* block = kernel.Allocate(bytes, kDeviceTag);
  if (!block) return STATUS_INSUFFICIENT_RESOURCES;
  std::memset(block, 0, bytes);
  auto* device = new (block) DEVICE_OBJECT();
  device->DriverObject = driverObject;
  device->DeviceType = deviceType;
  device->Characteristics = characteristics;
  device->exclusive = exclusive;
  device->Flags = DO_DEVICE_INITIALIZING;
  device->DeviceExtension = deviceExtensionSize ? static_cast<uint8_t*>(block) + sizeof(DEVICE_OBJECT) : nullptr;
  if (!name.empty() && !kernel.AddNamedDevice(name, device)) {
    kernel.Free(block);
    return STATUS_OBJECT_NAME_COLLISION;
  }
  if (driverObject) {
    device->NextDevice = driverObject->DeviceObject;
    driverObject->DeviceObject = device;
  }
  *deviceObject = device;
  return STATUS_SUCCESS;
}

void IoDeleteDevice(DEVICE_OBJECT* deviceObject) {
  Kernel& kernel = Kernel::Current();
  if (DRIVER_OBJECT* driver = deviceObject->DriverObject) {
    for (DEVICE_OBJECT** p = &driver->DeviceObject; *p; p = &(*p)->NextDevice) {
      if (*p == deviceObject) {
        *p = deviceObject->NextDevice;
        break;
      }
    }
  }
  kernel.RemoveDevice(deviceObject);
  deviceObject->~DEVICE_OBJECT();
  kernel.Free(deviceObject, true, kDeviceTag);
}

DEVICE_OBJECT* IoAttachDeviceToDeviceStack(DEVICE_OBJECT* source, DEVICE_OBJECT* target) {
  if (!source || !target) return nullptr;
  DEVICE_OBJECT* top = target;
  while (top->AttachedDevice) top = top->AttachedDevice;
  top->AttachedDevice = source;
  source->lowerDevice = top;
  source->StackSize = static_cast<CCHAR>(top->StackSize + 1);
  return top;
}

void IoDetachDevice(DEVICE_OBJECT* targetDevice) {
  if (!targetDevice || !targetDevice->AttachedDevice) return;
  targetDevice->AttachedDevice->lowerDevice = nullptr;
  targetDevice->AttachedDevice = nullptr;
}

NTSTATUS IoCreateSymbolicLink(UNICODE_STRING* symbolicLinkName, UNICODE_STRING* deviceName) {
  Kernel& kernel = Kernel::Current();
  std::string link = LinkName(NarrowName(symbolicLinkName));
  std::string device = NarrowName(deviceName);
  if (link.empty() || device.empty()) return STATUS_OBJECT_NAME_INVALID;
  if (!kernel.AddLink(link, device)) return STATUS_OBJECT_NAME_COLLISION;
  if (!kernel.host().devices().Register(link, MakeKernelLink(kernel, link))) {
    kernel.RemoveLink(link);
    return STATUS_OBJECT_NAME_COLLISION;
  }
  return STATUS_SUCCESS;
}

NTSTATUS IoDeleteSymbolicLink(UNICODE_STRING* symbolicLinkName) {
  Kernel& kernel = Kernel::Current();
  std::string link = LinkName(NarrowName(symbolicLinkName));
  if (link.empty() || !kernel.RemoveLink(link)) return STATUS_OBJECT_NAME_NOT_FOUND;
  kernel.host().devices().Unregister(link);
  return STATUS_SUCCESS;
}

MDL* IoAllocateMdl(PVOID virtualAddress, ULONG length, BOOLEAN, BOOLEAN, IRP* irp) {
  void* block = Kernel::Current().Allocate(sizeof(MDL), kMdlTag);
  if (!block) return nullptr;
  MDL* mdl = new (block) MDL();
  mdl->StartVa = virtualAddress;
  mdl->ByteCount = length;
  if (irp) irp->MdlAddress = mdl;
  return mdl;
}

void IoFreeMdl(MDL* mdl) { Kernel::Current().Free(mdl, true, kMdlTag); }

PVOID MmGetSystemAddressForMdlSafe(MDL* mdl, MM_PAGE_PRIORITY) {
  if (!mdl) return nullptr;
  // One address space: mapping the pages to system space gives the buffer's own address.
  if (!(mdl->MdlFlags & (MDL_MAPPED_TO_SYSTEM_VA | MDL_SOURCE_IS_NONPAGED_POOL))) {
    mdl->MappedSystemVa = static_cast<uint8_t*>(mdl->StartVa) + mdl->ByteOffset;
    mdl->MdlFlags |= MDL_MAPPED_TO_SYSTEM_VA;
  }
  return mdl->MappedSystemVa ? mdl->MappedSystemVa : static_cast<uint8_t*>(mdl->StartVa) + mdl->ByteOffset;
}

NTSTATUS IoOpenDeviceRegistryKey(DEVICE_OBJECT* deviceObject, ULONG devInstKeyType, ULONG,
                                 HANDLE* devInstRegKey) {
  Kernel& kernel = Kernel::Current();
  std::string path = kernel.DriverKey(deviceObject);
  if (path.empty() || devInstKeyType != PLUGPLAY_REGKEY_DRIVER) return STATUS_INVALID_PARAMETER;
  RegKey key = 0;
  if (kernel.host().registry().CreateKey(kHkeyLocalMachine, path, &key) != 0) return STATUS_UNSUCCESSFUL;
  *devInstRegKey = new RegistryHandle{key};
  return STATUS_SUCCESS;
}

NTSTATUS ZwSetValueKey(HANDLE keyHandle, UNICODE_STRING* valueName, ULONG, ULONG type, PVOID data,
                       ULONG dataSize) {
  auto* handle = static_cast<RegistryHandle*>(keyHandle);
  Registry& registry = Kernel::Current().host().registry();
  std::string name = NarrowName(valueName);
  long result;
  if (type == REG_SZ) {
    UNICODE_STRING text{static_cast<USHORT>(dataSize & ~1u), static_cast<USHORT>(dataSize & ~1u),
                        static_cast<WCHAR*>(data)};
    std::string value = NarrowName(&text);
    while (!value.empty() && value.back() == '\0') value.pop_back();
    result = registry.SetString(handle->key, name, value);
  } else {
    result = registry.SetValue(handle->key, name, type, data, dataSize);
  }
  return result == 0 ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
}

NTSTATUS ZwClose(HANDLE handle) {
  auto* registryHandle = static_cast<RegistryHandle*>(handle);
  Kernel::Current().host().registry().CloseKey(registryHandle->key);
  delete registryHandle;
  return STATUS_SUCCESS;
}

}  // namespace platform
