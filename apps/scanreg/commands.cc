#include "commands.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "platform/system/errors.h"
#include "platform/registry/regedit4.h"
#include "value_text.h"

namespace scanreg {

namespace {

using platform::kErrorSuccess;
using platform::Registry;
using platform::RegKey;

int UsageError(Io io, const std::string& message) {
  io.err << "scanreg: " << message << "\n(run scanreg without arguments for help)\n";
  return kExitUsage;
}

int Failed(Io io, const std::string& what, long code) {
  io.err << "scanreg: " << what << ": " << platform::RegistryErrorText(code) << "\n";
  return code == platform::kErrorBadDatabase ? kExitBadStore : kExitFailed;
}

// Keys from the command line are opened relative to a root; the handle is closed on exit.
class OpenedKey {
 public:
  OpenedKey(Registry& registry) : registry_(registry) {}
  ~OpenedKey() {
    if (key_) registry_.CloseKey(key_);
  }
  RegKey* out() { return &key_; }
  RegKey get() const { return key_; }

 private:
  Registry& registry_;
  RegKey key_ = 0;
};

std::string ValueLabel(const std::string& name) { return name.empty() ? "(Default)" : name; }

void PrintValue(const platform::RegValue& value, std::ostream& out) {
  out << "    " << ValueLabel(value.name) << "    " << TypeName(value.type) << "    "
      << DisplayData(value) << "\n";
}

long FetchValue(Registry& registry, RegKey key, const std::string& name,
                platform::RegValue* value) {
  uint32_t size = 0;
  long e = registry.QueryValue(key, name, &value->type, nullptr, &size);
  value->name = name;
  value->data.resize(size);
  if (e == kErrorSuccess) e = registry.QueryValue(key, name, nullptr, value->data.data(), &size);
  value->data.resize(size);
  return e;
}

int Query(Registry& registry, RegKey root, const std::string& path, const CommandLine& line,
          Io io) {
  OpenedKey key(registry);
  const std::string& keyText = line.operands[0];
  if (long e = registry.OpenKey(root, path, key.out()))
    return Failed(io, "cannot open " + keyText, e);
  std::string shown = registry.KeyPath(key.get());
  std::vector<platform::RegValue> values(1);
  std::vector<std::string> subkeys;
  long e = line.valueName ? FetchValue(registry, key.get(), *line.valueName, &values[0])
                          : registry.ListValues(key.get(), &values);
  if (e == kErrorSuccess && !line.valueName) e = registry.ListKeys(key.get(), &subkeys);
  if (e != kErrorSuccess) {
    std::string what = line.valueName ? "value " + ValueLabel(*line.valueName) : "key " + shown;
    return Failed(io, "cannot read " + what, e);
  }
  io.out << shown << "\n";
  for (const platform::RegValue& value : values) PrintValue(value, io.out);
  for (const std::string& subkey : subkeys) io.out << "\n" << shown << "\\" << subkey << "\n";
  return kExitOk;
}

int Add(Registry& registry, RegKey root, const std::string& path, const CommandLine& line, Io io) {
  uint32_t type = platform::kRegSz;
  if (line.type) {
    auto parsed = ParseTypeName(*line.type);
    if (!parsed)
      return UsageError(io, "unknown type " + *line.type + " (REG_SZ, REG_DWORD or REG_BINARY)");
    type = *parsed;
  }
  std::vector<uint8_t> data;
  std::string fault =
      EncodeData(type, line.data.value_or(type == platform::kRegDword ? "0" : ""), &data);
  if (!fault.empty()) return UsageError(io, fault);

  OpenedKey key(registry);
  const std::string& keyText = line.operands[0];
  if (long e = registry.CreateKey(root, path, key.out()))
    return Failed(io, "cannot create " + keyText, e);
  if (!line.valueName && !line.type && !line.data) return kExitOk;
  std::string name = line.valueName.value_or("");
  long e =
      registry.SetValue(key.get(), name, type, data.data(), static_cast<uint32_t>(data.size()));
  return e == kErrorSuccess ? kExitOk : Failed(io, "cannot set " + ValueLabel(name), e);
}

int Delete(Registry& registry, RegKey root, const std::string& path, const CommandLine& line,
           Io io) {
  const std::string& keyText = line.operands[0];
  if (!line.valueName) {
    if (path.empty()) {
      io.err << "scanreg: " << keyText << " is a root key, which cannot be deleted\n";
      return kExitFailed;
    }
    long e = registry.DeleteTree(root, path);
    return e == kErrorSuccess ? kExitOk : Failed(io, "cannot delete " + keyText, e);
  }
  OpenedKey key(registry);
  if (long e = registry.OpenKey(root, path, key.out()))
    return Failed(io, "cannot open " + keyText, e);
  long e = registry.DeleteValue(key.get(), *line.valueName);
  return e == kErrorSuccess ? kExitOk
                            : Failed(io, "cannot delete value " + ValueLabel(*line.valueName), e);
}

// Written beside the target and renamed over it, so a failed export never leaves half a file.
bool WriteWhole(const std::string& file, const std::string& text, std::ostream& out) {
  if (file == "-") return static_cast<bool>(out << text);
  std::string temporary = file + ".scanreg-" + std::to_string(getpid());
  std::ofstream stream(temporary, std::ios::binary);
  bool ok = static_cast<bool>(stream << text) && static_cast<bool>(stream.flush());
  stream.close();
  std::error_code ec;
  if (ok) std::filesystem::rename(temporary, file, ec);
  if (!ok || ec) std::filesystem::remove(temporary, ec);
  return ok && !ec;
}

bool ReadWhole(const std::string& file, std::string* text) {
  std::ostringstream buffer;
  if (file == "-") {
    buffer << std::cin.rdbuf();
  } else {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) return false;
    buffer << stream.rdbuf();
  }
  *text = buffer.str();
  return true;
}

int Export(Registry& registry, const CommandLine& line, Io io) {
  const std::string& file = line.operands[0];
  std::string key = line.operands.size() > 1 ? line.operands[1] : "";
  std::string text;
  if (long e = platform::ExportRegedit4(registry, key, &text)) {
    return Failed(io, "cannot export " + (key.empty() ? std::string("the registry") : key), e);
  }
  if (WriteWhole(file, text, io.out)) return kExitOk;
  io.err << "scanreg: cannot write " << file << "\n";
  return kExitFailed;
}

int Import(Registry& registry, const CommandLine& line, Io io) {
  const std::string& file = line.operands[0];
  std::string text;
  if (!ReadWhole(file, &text)) {
    io.err << "scanreg: cannot read " << file << "\n";
    return kExitFailed;
  }
  platform::RegeditError result = platform::ImportRegedit4(registry, text);
  if (result.ok()) return kExitOk;
  io.err << "scanreg: " << file;
  if (result.line) io.err << ":" << result.line;
  io.err << ": " << result.message << " (nothing was imported)\n";
  return result.code == platform::kErrorBadDatabase ? kExitBadStore : kExitFailed;
}

struct CommandShape {
  const char* name;
  size_t minOperands, maxOperands;
  bool takesValue, takesTypeAndData, firstIsKey;
};

constexpr CommandShape kShapes[] = {
    {"query", 1, 1, true, false, true},    {"add", 1, 1, true, true, true},
    {"delete", 1, 1, true, false, true},   {"export", 1, 2, false, false, false},
    {"import", 1, 1, false, false, false},
};

std::string CheckShape(const CommandShape& shape, const CommandLine& line) {
  std::string command = shape.name;
  if (line.operands.size() < shape.minOperands) return command + ": too few arguments";
  if (line.operands.size() > shape.maxOperands) {
    return command + ": unexpected argument \"" + line.operands[shape.maxOperands] + "\"";
  }
  if (line.valueName && !shape.takesValue) return command + " takes no /v or /ve";
  if ((line.type || line.data) && !shape.takesTypeAndData) return command + " takes no /t or /d";
  return "";
}

}  // namespace

int RunCommand(Registry& registry, const CommandLine& line, Io io) {
  const CommandShape* shape = nullptr;
  for (const CommandShape& s : kShapes) {
    if (line.command == s.name) shape = &s;
  }
  if (!shape) return UsageError(io, "unknown command \"" + line.command + "\"");
  if (std::string fault = CheckShape(*shape, line); !fault.empty()) return UsageError(io, fault);
  RegKey root = 0;
  std::string path;
  if (shape->firstIsKey) {
    if (std::string fault = ParseKeyArgument(line.operands[0], &root, &path); !fault.empty()) {
      return UsageError(io, fault);
    }
  }
  if (!registry.OpenError().empty()) {
    io.err << "scanreg: " << registry.OpenError() << "\n";
    return kExitBadStore;
  }
  if (line.command == "query") return Query(registry, root, path, line, io);
  if (line.command == "add") return Add(registry, root, path, line, io);
  if (line.command == "delete") return Delete(registry, root, path, line, io);
  if (line.command == "export") return Export(registry, line, io);
  return Import(registry, line, io);
}

}  // namespace scanreg
