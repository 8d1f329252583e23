// Loading libraries by their DLL names, as LoadLibrary/GetProcAddress/FreeLibrary do, and the
// string tables and dialog templates they carry.
//
// Where a name leads. A name without a folder ("WNASPI32.DLL", "wnaspi32") is looked up, without
// regard to case and with ".DLL" added when it has no extension:
//   1. among the modules registered with RegisterBuiltin (the host's built-in providers);
//   2. then in the application folder (when set), the system folder and the Windows folder, in
//      that order. In each folder the module is NAME.DLL (the name as given) or, failing that,
//      a resource-only module written as a resource script NAME.rc (the name's extension replaced
//      by ".rc", for example ENGLISH.rc for ENGLISH.DLL).
// A name with a folder ("C:\SETUP\ENGLISH.DLL") names that file only; its .rc sibling stands in
// for it the same way.
//
// A NAME.DLL file must be a shared object of this machine (ELF); it is opened with dlopen through
// its host path and its exports are its dynamic symbols. A resource script NAME.rc beside it
// gives it resources. Anything else fails with kErrorBadFormat.
//
// Failures set the thread's last error: kErrorModNotFound (126) when nothing is found, as for a
// missing DLL; kErrorBadFormat when a file is not a loadable module or its resource script does
// not parse (LastLoadError() then says which file and line); kErrorProcNotFound (127) for a
// missing export; kErrorInvalidHandle for a handle that is not loaded;
// kErrorResourceNameNotFound / kErrorResourceTypeNotFound for missing resources.
//
// Loading a module that is already loaded returns the same handle and counts one more
// reference; FreeLibrary unloads it when the count drops to zero. The object is thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/modules/dialog_template.h"

namespace platform {

class FileSystem;
struct ResourceScript;

using ModuleHandle = uintptr_t;  // 0 is no module
using ProcAddress = void (*)();  // cast to the export's own type before calling

// Exports of a built-in module by name (names match exactly, as GetProcAddress matches them).
using ExportTable = std::map<std::string, ProcAddress>;

// Exports of a built-in module by ordinal, as a module imported by ordinal is reached.
using OrdinalTable = std::map<uint16_t, ProcAddress>;

// GetProcAddress reads a name pointer below 0x10000 as an ordinal (its low word), as Win32 does;
// MAKEINTRESOURCE-style callers write the ordinal this way.
inline const char* OrdinalName(uint16_t ordinal) {
  return reinterpret_cast<const char*>(static_cast<uintptr_t>(ordinal));
}

template <class Function>
ProcAddress ToProcAddress(Function* f) {
  return reinterpret_cast<ProcAddress>(f);
}

class Modules {
 public:
  Modules(FileSystem& fs, std::string systemFolder, std::string windowsFolder);
  ~Modules();  // unloads every module still loaded
  Modules(const Modules&) = delete;
  Modules& operator=(const Modules&) = delete;

  // The running program's own folder (a Windows path), searched first for modules, as Windows
  // searches the program's folder; empty for none. Programs set it once as they start; what a
  // module needs to know of the application's folder it reads here, as a real module asks for
  // the program's file name.
  void SetApplicationFolder(std::string folder);
  std::string ApplicationFolder() const;

  // Makes `name` (for example "wnaspi32.dll") load as a built-in provider with these exports and
  // the resources of `resourceScript` (may be empty). Registering a name again replaces the
  // provider once every handle to the old one has been freed. False, with LastLoadError(), when
  // the script does not parse.
  bool RegisterBuiltin(std::string name, ExportTable exports, std::string_view resourceScript = {});
  // The same, with exports reached by ordinal besides those reached by name.
  bool RegisterBuiltin(std::string name, ExportTable exports, OrdinalTable ordinals,
                       std::string_view resourceScript = {});

  ModuleHandle LoadLibrary(std::string_view name);
  bool FreeLibrary(ModuleHandle module);
  // The handle of a loaded module by name, without counting a reference; 0 if not loaded.
  ModuleHandle GetModuleHandle(std::string_view name) const;
  ProcAddress GetProcAddress(ModuleHandle module, std::string_view name) const;
  // The Win32 shape: a pointer below 0x10000 is an ordinal (OrdinalName), anything else a name.
  ProcAddress GetProcAddress(ModuleHandle module, const char* nameOrOrdinal) const;
  // An export by ordinal; null with kErrorProcNotFound (127) when the module has none by that
  // ordinal (a module file of this machine has no ordinals), kErrorInvalidHandle for a bad handle.
  ProcAddress GetProcAddressByOrdinal(ModuleHandle module, uint16_t ordinal) const;
  template <class Function>
  Function* GetProc(ModuleHandle module, std::string_view name) const {
    return reinterpret_cast<Function*>(GetProcAddress(module, name));
  }
  // Where the module came from: "builtin:wnaspi32.dll" or the Windows path of its file.
  std::string GetModuleFileName(ModuleHandle module) const;
  int ReferenceCount(ModuleHandle module) const;  // 0 when not loaded

  // LoadString: the string with this id, or empty when the module has none.
  std::optional<std::string> LoadString(ModuleHandle module, uint32_t id) const;
  // The Win32 shape: copies at most size-1 characters and a final zero, returns the number
  // copied; 0 when there is no such string.
  int LoadString(ModuleHandle module, uint32_t id, char* buffer, int size) const;
  // A dialog template by number or name; empty when the module has none.
  std::optional<DialogTemplate> LoadDialog(ModuleHandle module, const ResourceId& id) const;

  // What went wrong in the last failed load or registration on this object.
  std::string LastLoadError() const;

 private:
  struct Provider;
  struct Loaded;
  struct Found;
  Found Locate(std::string_view name);
  Found LocateFile(const std::string& windowsPath);
  ModuleHandle Open(const Found& found);
  const Loaded* FindLoaded(ModuleHandle module) const;
  ModuleHandle FailLoad(uint32_t error, std::string message);

  FileSystem& fs_;
  std::string systemFolder_;
  std::string windowsFolder_;
  std::string applicationFolder_;
  mutable std::recursive_mutex mutex_;  // a module's constructors may load others
  std::map<std::string, std::shared_ptr<const Provider>> builtins_;  // by lower-case name
  std::map<ModuleHandle, std::unique_ptr<Loaded>> loaded_;
  ModuleHandle nextHandle_ = 0x10000000;
  std::string lastError_;
};

}  // namespace platform
