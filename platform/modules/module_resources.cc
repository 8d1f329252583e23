// String tables and dialog templates of loaded modules.
#include <algorithm>
#include <cstring>

#include "modules_internal.h"
#include "platform/system/errors.h"
#include "platform/files/files.h"

namespace platform {

std::shared_ptr<const ResourceScript> ReadResources(const FileSystem& fs, const std::string& path,
                                                    std::string* problem) {
  std::optional<std::string> text = fs.ReadFile(path);
  if (!text) {
    *problem = path + " cannot be read";
    return nullptr;
  }
  ResourceParseResult parsed = ParseResourceScript(*text);
  if (!parsed.ok()) {
    *problem = path + ": " + parsed.error.ToString();
    return nullptr;
  }
  return std::make_shared<const ResourceScript>(std::move(*parsed.script));
}

std::optional<std::string> Modules::LoadString(ModuleHandle handle, uint32_t id) const {
  std::lock_guard lock(mutex_);
  const Loaded* module = FindLoaded(handle);
  if (!module) return std::nullopt;
  if (!module->resources || module->resources->strings.empty()) {
    SetLastError(kErrorResourceTypeNotFound);
    return std::nullopt;
  }
  const std::string* text = module->resources->String(id);
  if (!text) {
    SetLastError(kErrorResourceNameNotFound);
    return std::nullopt;
  }
  return *text;
}

int Modules::LoadString(ModuleHandle handle, uint32_t id, char* buffer, int size) const {
  if (!buffer || size <= 0) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  buffer[0] = '\0';
  std::optional<std::string> text = LoadString(handle, id);
  if (!text) return 0;
  size_t n = std::min(text->size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, text->data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

std::optional<DialogTemplate> Modules::LoadDialog(ModuleHandle handle, const ResourceId& id) const {
  std::lock_guard lock(mutex_);
  const Loaded* module = FindLoaded(handle);
  if (!module) return std::nullopt;
  if (!module->resources || module->resources->dialogs.empty()) {
    SetLastError(kErrorResourceTypeNotFound);
    return std::nullopt;
  }
  const DialogTemplate* dialog = module->resources->Dialog(id);
  if (!dialog) {
    SetLastError(kErrorResourceNameNotFound);
    return std::nullopt;
  }
  return *dialog;
}

}  // namespace platform
