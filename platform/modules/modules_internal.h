// What Modules keeps about providers and loaded modules, shared by the files implementing it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/modules/modules.h"
#include "platform/modules/resources.h"

namespace platform {

struct Modules::Provider {
  ExportTable exports;
  OrdinalTable ordinals;
  std::shared_ptr<const ResourceScript> resources;
};

// Where a name led.
struct Modules::Found {
  enum class Kind { kMissing, kBroken, kBuiltin, kSharedObject, kScript } kind = Kind::kMissing;
  std::string key;       // what makes two loads the same module
  std::string fileName;  // what GetModuleFileName reports
  std::string baseName;  // lower-case file name, for GetModuleHandle
  std::shared_ptr<const Provider> provider;
  std::filesystem::path hostPath;  // the shared object
  std::string scriptPath;          // Windows path of the resource script, if any
  std::string problem;             // kBroken: what is wrong
};

struct Modules::Loaded {
  std::string key;
  std::string fileName;
  std::string baseName;
  int references = 1;
  std::shared_ptr<const Provider> provider;
  void* library = nullptr;  // dlopen handle
  std::shared_ptr<const ResourceScript> resources;
};

// "WNASPI32" -> "wnaspi32.dll": the file part of a module name, lower case, with the ".dll"
// Windows adds to a name without extension (a final dot means "no extension").
std::string ModuleBaseName(std::string_view name);
// Reads and parses a resource script by its Windows path; null with `problem` set on failure.
std::shared_ptr<const ResourceScript> ReadResources(const FileSystem& fs, const std::string& path,
                                                    std::string* problem);

}  // namespace platform
