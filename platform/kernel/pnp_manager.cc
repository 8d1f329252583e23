#include "platform/kernel/pnp_manager.h"

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/files/files.h"
#include "platform/files/winpath.h"
#include "platform/modules/modules.h"
#include "platform/registry/registry.h"
#include "platform/system/system.h"

namespace platform {

namespace {
// Pool the I/O manager and the bus keep for themselves, outside any driver's account.
bool IoManagerTag(const std::string& tag) { return tag == "Devo"; }

std::string ReadString(Registry& registry, const std::string& path, std::string_view name) {
  RegKey key = 0;
  if (registry.OpenKey(kHkeyLocalMachine, path, &key) != 0) return {};
  std::string value;
  registry.GetString(key, name, &value);
  registry.CloseKey(key);
  return value;
}
}  // namespace

std::string DriverKeyPath(int port) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%04d", port);
  return std::string(kImageClassKey) + "\\" + digits;
}

PnpManager& PnpManager::Of(Kernel& kernel) {
  return kernel.FindOrAddPart<PnpManager>([&] {
    auto pnp = std::make_unique<PnpManager>(kernel);
    PnpManager* raw = pnp.get();
    kernel.SetLastCloseHook([raw](DEVICE_OBJECT* device) { raw->LastHandleClosed(device); });
    return pnp;
  });
}

void PnpManager::DeviceArrived(DEVICE_OBJECT* physicalDevice, const std::string& hardwareId) {
  KernelScope scope(kernel_);
  Request request(*this);
  nodes_[physicalDevice].hardwareId = hardwareId;
  Build(physicalDevice);
}

void PnpManager::Enumerate() {
  KernelScope scope(kernel_);
  Request request(*this);
  for (auto& [pdo, node] : nodes_) {
    if (!node.driver && !node.gone) Build(pdo);
  }
}

void PnpManager::Build(DEVICE_OBJECT* pdo) {
  Node& node = nodes_[pdo];
  Registry& registry = kernel_.host().registry();
  std::string service = ReadString(registry, std::string(kEnumKey) + "\\" + node.hardwareId, "Service");
  if (service.empty()) return;
  NTSTATUS status = STATUS_SUCCESS;
  Driver* driver = LoadDriver(service, &status);
  node.startStatus = status;
  if (!driver) return;
  kernel_.SetDriverKey(pdo, DriverKeyPath(static_cast<int>(std::distance(nodes_.begin(), nodes_.find(pdo)))));
  DRIVER_ADD_DEVICE* add = driver->object.DriverExtension->AddDevice;
  status = add ? add(&driver->object, pdo) : STATUS_INVALID_DEVICE_REQUEST;
  if (!NT_SUCCESS(status) || !pdo->AttachedDevice) {
    node.startStatus = NT_SUCCESS(status) ? STATUS_NO_SUCH_DEVICE : status;
    UnloadIfIdle(driver);
    return;
  }
  node.driver = driver;
  ++driver->devices;
  node.startStatus = Send(pdo, IRP_MJ_PNP, IRP_MN_START_DEVICE);
}

PnpManager::Driver* PnpManager::LoadDriver(const std::string& service, NTSTATUS* status) {
  std::string key = ToLowerAscii(service);
  auto it = drivers_.find(key);
  if (it != drivers_.end()) return it->second.get();
  Host& host = kernel_.host();
  std::string servicePath = std::string(kServicesKey) + "\\" + service;
  std::string image = ReadString(host.registry(), servicePath, "ImagePath");
  if (image.empty()) {
    *status = STATUS_OBJECT_NAME_NOT_FOUND;
    return nullptr;
  }
  std::string path = image.size() > 1 && image[1] == ':' ? image : host.system().WindowsFolder() + "\\" + image;
  auto linked = linked_.find(key);
  uintptr_t module = linked == linked_.end() ? host.modules().LoadLibrary(path) : 0;
  auto* entry = linked != linked_.end() ? linked->second
                : module ? host.modules().GetProc<DRIVER_INITIALIZE>(module, "DriverEntry") : nullptr;
  if (!entry) {
    if (module) host.modules().FreeLibrary(module);
    *status = STATUS_OBJECT_NAME_NOT_FOUND;
    return nullptr;
  }
  auto driver = std::make_unique<Driver>();
  driver->service = service;
  driver->module = module;
  driver->object.DriverExtension = &driver->object.extension;
  driver->object.extension.DriverObject = &driver->object;
  std::string registryPath = "\\Registry\\Machine\\" + servicePath;
  driver->registryPath.assign(registryPath.begin(), registryPath.end());
  driver->registryPathString = {static_cast<USHORT>(driver->registryPath.size() * 2),
                                static_cast<USHORT>(driver->registryPath.size() * 2), driver->registryPath.data()};
  ++driver->entryCalls;
  *status = entry(&driver->object, &driver->registryPathString);
  if (!NT_SUCCESS(*status)) {
    if (module) host.modules().FreeLibrary(module);
    return nullptr;
  }
  Driver* raw = driver.get();
  drivers_.emplace(key, std::move(driver));
  return raw;
}

namespace {
// PnP requests under way on this thread, the outermost first.
thread_local int requestDepth = 0;
}  // namespace

PnpManager::Request::Request(PnpManager& pnp) : pnp_(pnp) {
  pnp_.mutex_.lock();
  ++requestDepth;
}

PnpManager::Request::~Request() {
  --requestDepth;
  pnp_.mutex_.unlock();
  if (requestDepth == 0) pnp_.FinishUnloads();
}

// An idle driver leaves the table at once, so that a device arriving now loads it afresh; its
// unload routine, the wait for its queued work and the module's release come after the request
// has let the lock go. Queued work may be the close of a handle, whose last-handle step is a PnP
// request of its own: waiting for it while holding the lock would wait for ever.
void PnpManager::UnloadIfIdle(Driver* driver) {
  if (driver->devices > 0) return;
  auto it = drivers_.find(ToLowerAscii(driver->service));
  if (it == drivers_.end() || it->second.get() != driver) return;
  unloading_.push_back(std::move(it->second));
  drivers_.erase(it);
}

void PnpManager::FinishUnloads() {
  for (;;) {
    std::unique_ptr<Driver> driver;
    {
      std::lock_guard lock(mutex_);
      if (unloading_.empty()) return;
      driver = std::move(unloading_.back());
      unloading_.pop_back();
    }
    Unload(*driver);
  }
}

void PnpManager::Unload(Driver& driver) {
  KernelScope scope(kernel_);
  if (driver.object.DriverUnload) driver.object.DriverUnload(&driver.object);
  kernel_.DrainWork();
  std::string left;
  for (const char* tag : {"Wdm ", "Irp ", "Mdl ", "IoWk", "Usbd", "IoSB"}) {
    if (size_t n = kernel_.PoolBlocks(tag); n > 0 && !IoManagerTag(tag)) {
      left += std::to_string(n) + " blocks tagged '" + tag + "' ";
    }
  }
  if (!left.empty()) {
    kernel_.RaiseBugCheck(DRIVER_UNLOADED_WITHOUT_CANCELLING_PENDING_OPERATIONS,
                          "driver " + driver.service + " unloaded with pool left: " + left);
  }
  if (driver.module) kernel_.host().modules().FreeLibrary(driver.module);
}

NTSTATUS PnpManager::Send(DEVICE_OBJECT* pdo, UCHAR major, UCHAR minor, ULONG argument) {
  DEVICE_OBJECT* top = pdo;
  while (top->AttachedDevice) top = top->AttachedDevice;
  IRP* irp = IoAllocateIrp(top->StackSize, FALSE);
  if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
  IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
  next->MajorFunction = major;
  next->MinorFunction = minor;
  next->Parameters.Power.Type = 1;  // DevicePowerState
  next->Parameters.Power.State = argument;
  irp->IoStatus.Status = STATUS_NOT_IMPLEMENTED;
  struct Wait {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    NTSTATUS status = STATUS_SUCCESS;
  };
  auto wait = std::make_shared<Wait>();
  irp->finisher = [wait](IRP* finished) {
    NTSTATUS status = finished->IoStatus.Status;
    IoFreeIrp(finished);
    std::lock_guard lock(wait->mutex);
    wait->status = status;
    wait->done = true;
    wait->cv.notify_all();
  };
  IoCallDriver(top, irp);
  std::unique_lock lock(wait->mutex);
  wait->cv.wait(lock, [&] { return wait->done; });
  return wait->status;
}

DEVICE_OBJECT* PnpManager::FunctionDevice(DEVICE_OBJECT* pdo) const {
  std::lock_guard lock(mutex_);
  auto it = nodes_.find(pdo);
  if (it == nodes_.end() || !it->second.driver) return nullptr;
  DEVICE_OBJECT* top = pdo;
  while (top->AttachedDevice) top = top->AttachedDevice;
  return top == pdo ? nullptr : top;
}

NTSTATUS PnpManager::LastStartStatus(DEVICE_OBJECT* pdo) const {
  std::lock_guard lock(mutex_);
  auto it = nodes_.find(pdo);
  return it == nodes_.end() ? STATUS_NO_SUCH_DEVICE : it->second.startStatus;
}

bool PnpManager::DriverLoaded(std::string_view service) const {
  std::lock_guard lock(mutex_);
  return drivers_.count(ToLowerAscii(service)) > 0;
}

int PnpManager::DriverEntryCalls(std::string_view service) const {
  std::lock_guard lock(mutex_);
  auto it = drivers_.find(ToLowerAscii(service));
  return it == drivers_.end() ? 0 : it->second->entryCalls;
}

NTSTATUS PnpManager::Start(DEVICE_OBJECT* pdo) {
  KernelScope scope(kernel_);
  Request request(*this);
  if (!FunctionDevice(pdo)) return STATUS_NO_SUCH_DEVICE;
  return Send(pdo, IRP_MJ_PNP, IRP_MN_START_DEVICE);
}

NTSTATUS PnpManager::Stop(DEVICE_OBJECT* pdo) {
  KernelScope scope(kernel_);
  Request request(*this);
  if (!FunctionDevice(pdo)) return STATUS_NO_SUCH_DEVICE;
  return Send(pdo, IRP_MJ_PNP, IRP_MN_STOP_DEVICE);
}

NTSTATUS PnpManager::SetPower(DEVICE_OBJECT* pdo, ULONG deviceState) {
  KernelScope scope(kernel_);
  Request request(*this);
  if (!FunctionDevice(pdo)) return STATUS_NO_SUCH_DEVICE;
  return Send(pdo, IRP_MJ_POWER, IRP_MN_SET_POWER, deviceState);
}

NTSTATUS PnpManager::Remove(DEVICE_OBJECT* pdo) {
  KernelScope scope(kernel_);
  Request request(*this);
  DEVICE_OBJECT* fdo = FunctionDevice(pdo);
  if (!fdo) return STATUS_NO_SUCH_DEVICE;
  if (kernel_.OpenFiles(fdo) > 0) {
    // Handles are open: the stack learns at once and goes when the last handle closes.
    if (!nodes_[pdo].removePending) Send(pdo, IRP_MJ_PNP, IRP_MN_SURPRISE_REMOVAL);
    nodes_[pdo].removePending = true;
    return STATUS_PENDING;
  }
  return RemoveNow(pdo);
}

NTSTATUS PnpManager::RemoveNow(DEVICE_OBJECT* pdo) {
  Node& node = nodes_[pdo];
  NTSTATUS status = Send(pdo, IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE);
  Driver* driver = node.driver;
  node.driver = nullptr;
  node.removePending = false;
  if (driver) {
    --driver->devices;
    UnloadIfIdle(driver);
  }
  return status;
}

void PnpManager::DeviceLeft(DEVICE_OBJECT* pdo) {
  KernelScope scope(kernel_);
  Request request(*this);
  auto it = nodes_.find(pdo);
  if (it == nodes_.end()) return;
  it->second.gone = true;
  if (!it->second.driver) return;
  Remove(pdo);
}

void PnpManager::LastHandleClosed(DEVICE_OBJECT* functionDevice) {
  KernelScope scope(kernel_);
  Request request(*this);
  for (auto& [pdo, node] : nodes_) {
    if (node.removePending && FunctionDevice(pdo) == functionDevice) {
      RemoveNow(pdo);
      return;
    }
  }
}

std::string PnpManager::ImagePath(std::string_view service) {
  return "System32\\drivers\\" + std::string(service) + ".sys";
}

bool PnpManager::InstallDriver(Host& host, std::string_view service, std::string_view hardwareId,
                               const std::string& moduleFile, std::string* error) {
  std::ifstream in(moduleFile, std::ios::binary);
  std::stringstream bytes;
  if (!in || !(bytes << in.rdbuf())) {
    *error = "cannot read " + moduleFile;
    return false;
  }
  std::string folder = host.system().WindowsFolder() + "\\System32\\drivers";
  std::string target = host.system().WindowsFolder() + "\\" + ImagePath(service);
  if (!host.files().CreateDirectories(folder) || !host.files().WriteFileAtomic(target, bytes.str())) {
    *error = "cannot write " + target;
    return false;
  }
  if (!InstallService(host, service, hardwareId, error)) return false;
  if (Kernel* kernel = host.Find<Kernel>()) {
    if (PnpManager* pnp = kernel->FindPart<PnpManager>()) pnp->Enumerate();
  }
  return true;
}

void PnpManager::AddLinkedDriver(std::string_view service, DRIVER_INITIALIZE* entry) {
  std::lock_guard lock(mutex_);
  linked_[ToLowerAscii(service)] = entry;
}

bool PnpManager::InstallService(Host& host, std::string_view service, std::string_view hardwareId, std::string* error) {
  Registry& registry = host.registry();
  RegKey key = 0;
  if (registry.CreateKey(kHkeyLocalMachine, std::string(kServicesKey) + "\\" + std::string(service), &key) != 0) {
    *error = "cannot write the service's key";
    return false;
  }
  registry.SetString(key, "ImagePath", ImagePath(service));
  registry.SetDword(key, "Type", 1);   // kernel driver
  registry.SetDword(key, "Start", 3);  // on demand, by Plug and Play
  registry.CloseKey(key);
  if (registry.CreateKey(kHkeyLocalMachine, std::string(kEnumKey) + "\\" + std::string(hardwareId), &key) != 0) {
    *error = "cannot write the hardware ID's key";
    return false;
  }
  registry.SetString(key, "Service", service);
  registry.CloseKey(key);
  return true;
}

bool PnpManager::UninstallDriver(Host& host, std::string_view service, std::string_view hardwareId,
                                 std::string* error) {
  if (Kernel* kernel = host.Find<Kernel>()) {
    if (PnpManager* pnp = kernel->FindPart<PnpManager>()) {
      KernelScope scope(*kernel);
      Request request(*pnp);
      for (auto& [pdo, node] : pnp->nodes_) {
        if (node.driver && EqualsNoCase(node.driver->service, service)) pnp->Remove(pdo);
      }
    }
  }
  Registry& registry = host.registry();
  registry.DeleteTree(kHkeyLocalMachine, std::string(kServicesKey) + "\\" + std::string(service));
  registry.DeleteTree(kHkeyLocalMachine, std::string(kEnumKey) + "\\" + std::string(hardwareId));
  std::string target = host.system().WindowsFolder() + "\\" + ImagePath(service);
  if (host.files().Exists(target) && !host.files().DeleteFile(target)) {
    *error = "cannot delete " + target;
    return false;
  }
  return true;
}

void PnpManager::Shutdown() {
  KernelScope scope(kernel_);
  Request request(*this);
  for (auto& [pdo, node] : nodes_) {
    if (node.driver) RemoveNow(pdo);
  }
  kernel_.SetLastCloseHook(nullptr);
}

}  // namespace platform
