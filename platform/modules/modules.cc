// Modules: loading by DLL name, reference counts, exports and resources.
#include "platform/modules/modules.h"

#include <dlfcn.h>

#include <cstring>

#include "modules_internal.h"
#include "platform/system/errors.h"
#include "platform/files/winpath.h"

namespace platform {

Modules::Modules(FileSystem& fs, std::string systemFolder, std::string windowsFolder)
    : fs_(fs), systemFolder_(std::move(systemFolder)), windowsFolder_(std::move(windowsFolder)) {}

Modules::~Modules() {
  for (auto& [handle, module] : loaded_) {
    if (module->library) ::dlclose(module->library);
  }
}

void Modules::SetApplicationFolder(std::string folder) {
  std::lock_guard lock(mutex_);
  applicationFolder_ = std::move(folder);
}

std::string Modules::ApplicationFolder() const {
  std::lock_guard lock(mutex_);
  return applicationFolder_;
}

bool Modules::RegisterBuiltin(std::string name, ExportTable exports, std::string_view resourceScript) {
  return RegisterBuiltin(std::move(name), std::move(exports), OrdinalTable{}, resourceScript);
}

bool Modules::RegisterBuiltin(std::string name, ExportTable exports, OrdinalTable ordinals,
                              std::string_view resourceScript) {
  std::lock_guard lock(mutex_);
  auto provider = std::make_shared<Provider>();
  provider->exports = std::move(exports);
  provider->ordinals = std::move(ordinals);
  if (!resourceScript.empty()) {
    ResourceParseResult parsed = ParseResourceScript(resourceScript);
    if (!parsed.ok()) {
      FailLoad(kErrorBadFormat, "built-in module " + name + ": " + parsed.error.ToString());
      return false;
    }
    provider->resources = std::make_shared<const ResourceScript>(std::move(*parsed.script));
  }
  builtins_[ModuleBaseName(name)] = std::move(provider);
  return true;
}

ModuleHandle Modules::LoadLibrary(std::string_view name) {
  std::lock_guard lock(mutex_);
  Found found = Locate(name);
  if (found.kind == Found::Kind::kMissing) {
    return FailLoad(kErrorModNotFound, "module " + std::string(name) + " was not found");
  }
  if (found.kind == Found::Kind::kBroken) return FailLoad(kErrorBadFormat, found.problem);
  for (auto& [handle, module] : loaded_) {
    if (module->key == found.key) {
      ++module->references;
      return handle;
    }
  }
  return Open(found);
}

ModuleHandle Modules::Open(const Found& found) {
  auto module = std::make_unique<Loaded>();
  module->key = found.key;
  module->fileName = found.fileName;
  module->baseName = found.baseName;
  module->provider = found.provider;
  if (found.provider) module->resources = found.provider->resources;
  if (found.kind == Found::Kind::kSharedObject) {
    module->library = ::dlopen(found.hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module->library) {
      const char* why = ::dlerror();
      return FailLoad(kErrorBadFormat, found.fileName + ": " + (why ? why : "cannot be loaded"));
    }
  }
  if (!found.scriptPath.empty()) {
    std::string problem;
    module->resources = ReadResources(fs_, found.scriptPath, &problem);
    if (!module->resources) {
      if (module->library) ::dlclose(module->library);
      return FailLoad(kErrorBadFormat, problem);
    }
  }
  ModuleHandle handle = nextHandle_;
  nextHandle_ += 0x10000;
  loaded_.emplace(handle, std::move(module));
  return handle;
}

bool Modules::FreeLibrary(ModuleHandle handle) {
  std::lock_guard lock(mutex_);
  auto it = loaded_.find(handle);
  if (it == loaded_.end()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  if (--it->second->references > 0) return true;
  void* library = it->second->library;
  loaded_.erase(it);
  if (library) ::dlclose(library);
  return true;
}

ModuleHandle Modules::GetModuleHandle(std::string_view name) const {
  std::lock_guard lock(mutex_);
  std::string base = ModuleBaseName(name);
  for (const auto& [handle, module] : loaded_) {
    if (module->baseName == base) return handle;
  }
  SetLastError(kErrorModNotFound);
  return 0;
}

const Modules::Loaded* Modules::FindLoaded(ModuleHandle handle) const {
  auto it = loaded_.find(handle);
  if (it != loaded_.end()) return it->second.get();
  SetLastError(kErrorInvalidHandle);
  return nullptr;
}

ProcAddress Modules::GetProcAddress(ModuleHandle handle, std::string_view name) const {
  std::lock_guard lock(mutex_);
  const Loaded* module = FindLoaded(handle);
  if (!module) return nullptr;
  ProcAddress proc = nullptr;
  if (module->provider) {
    auto it = module->provider->exports.find(std::string(name));
    if (it != module->provider->exports.end()) proc = it->second;
  } else if (module->library) {
    proc = reinterpret_cast<ProcAddress>(::dlsym(module->library, std::string(name).c_str()));
  }
  if (!proc) SetLastError(kErrorProcNotFound);
  return proc;
}

ProcAddress Modules::GetProcAddress(ModuleHandle handle, const char* nameOrOrdinal) const {
  uintptr_t value = reinterpret_cast<uintptr_t>(nameOrOrdinal);
  if (value < 0x10000) return GetProcAddressByOrdinal(handle, static_cast<uint16_t>(value));
  return GetProcAddress(handle, std::string_view(nameOrOrdinal));
}

ProcAddress Modules::GetProcAddressByOrdinal(ModuleHandle handle, uint16_t ordinal) const {
  std::lock_guard lock(mutex_);
  const Loaded* module = FindLoaded(handle);
  if (!module) return nullptr;
  ProcAddress proc = nullptr;
  if (module->provider) {
    auto it = module->provider->ordinals.find(ordinal);
    if (it != module->provider->ordinals.end()) proc = it->second;
  }
  if (!proc) SetLastError(kErrorProcNotFound);
  return proc;
}

std::string Modules::GetModuleFileName(ModuleHandle handle) const {
  std::lock_guard lock(mutex_);
  const Loaded* module = FindLoaded(handle);
  return module ? module->fileName : std::string();
}

int Modules::ReferenceCount(ModuleHandle handle) const {
  std::lock_guard lock(mutex_);
  auto it = loaded_.find(handle);
  return it == loaded_.end() ? 0 : it->second->references;
}

std::string Modules::LastLoadError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

ModuleHandle Modules::FailLoad(uint32_t error, std::string message) {
  lastError_ = std::move(message);
  SetLastError(error);
  return 0;
}

}  // namespace platform
