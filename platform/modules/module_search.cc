// Where a module name leads: built-in providers, then the module folders.
#include <cstring>

#include "modules_internal.h"
#include "platform/files/files.h"
#include "platform/files/winpath.h"

namespace platform {
namespace {

bool HasFolder(std::string_view name) { return name.find_first_of("\\/:") != std::string_view::npos; }

// The name as Windows reads it: ".DLL" added when it has no extension, a final dot dropped.
std::string WithExtension(std::string_view name) {
  std::string out(name);
  size_t slash = out.find_last_of("\\/:");
  size_t dot = out.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return out + ".DLL";
  if (dot + 1 == out.size()) out.pop_back();
  return out;
}

std::string ScriptSibling(const std::string& path) {
  size_t slash = path.find_last_of("\\/:");
  size_t dot = path.find_last_of('.');
  bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? path.substr(0, dot) : path) + ".rc";
}

bool IsFile(const FileSystem& fs, const std::string& path) {
  return fs.Exists(path) && !fs.IsDirectory(path);
}

bool IsElf(FileSystem& fs, const std::string& path) {
  std::unique_ptr<File> file = File::Open(fs, path, File::Mode::kRead);
  char magic[4];
  return file && file->ReadExact(magic, sizeof magic) && std::memcmp(magic, "\x7f" "ELF", 4) == 0;
}

}  // namespace

std::string ModuleBaseName(std::string_view name) {
  std::string full = WithExtension(name);
  size_t slash = full.find_last_of("\\/:");
  return ToLowerAscii(slash == std::string::npos ? full : full.substr(slash + 1));
}

Modules::Found Modules::Locate(std::string_view name) {
  std::string file = WithExtension(name);
  if (HasFolder(name)) return LocateFile(file);
  auto builtin = builtins_.find(ModuleBaseName(name));
  if (builtin != builtins_.end()) {
    Found f;
    f.kind = Found::Kind::kBuiltin;
    f.baseName = builtin->first;
    f.key = "builtin:" + builtin->first;
    f.fileName = f.key;
    f.provider = builtin->second;
    return f;
  }
  for (const std::string* folder : {&applicationFolder_, &systemFolder_, &windowsFolder_}) {
    if (folder->empty()) continue;
    Found f = LocateFile(JoinWindowsPath(*folder, file));
    if (f.kind != Found::Kind::kMissing) return f;
  }
  return Found{};
}

Modules::Found Modules::LocateFile(const std::string& path) {
  Found f;
  f.baseName = ModuleBaseName(path);
  std::string script = ScriptSibling(path);
  bool haveScript = IsFile(fs_, script);
  if (IsFile(fs_, path)) {
    std::optional<std::filesystem::path> host = fs_.Resolve(path);
    f.fileName = host ? fs_.ToWindowsPath(*host) : path;
    if (!host || !IsElf(fs_, path)) {
      f.kind = Found::Kind::kBroken;
      f.problem = path + " is not a shared object of this machine";
      return f;
    }
    f.kind = Found::Kind::kSharedObject;
    f.hostPath = *host;
    f.key = host->lexically_normal().string();
    if (haveScript) f.scriptPath = script;
    return f;
  }
  if (haveScript) {
    std::optional<std::filesystem::path> host = fs_.Resolve(script);
    f.kind = Found::Kind::kScript;
    f.scriptPath = script;
    f.fileName = host ? fs_.ToWindowsPath(*host) : script;
    f.key = host ? host->lexically_normal().string() : script;
  }
  return f;
}

}  // namespace platform
