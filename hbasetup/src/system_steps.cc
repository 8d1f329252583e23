#include "system_steps.h"

#include "platform/files/files.h"
#include "platform/registry/registry.h"
#include "platform/registry/windows_keys.h"
#include "platform/system/errors.h"
#include "platform/system/system.h"
#include "platform/system/token.h"
#include "script.h"
#include "setup_context.h"
#include "setup_shell.h"
#include "uninstall_record.h"

namespace hbasetup {

namespace {
std::string SetupFolderWithoutSlash(const SetupContext& context) {
  std::string folder = context.setupDirectory;
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

// REG_SZ stored with a length that leaves out the terminating zero.
void SetText(platform::Registry& registry, platform::RegKey key, std::string_view name,
             std::string_view text) {
  registry.SetValue(key, name, platform::kRegSz, text.data(), static_cast<uint32_t>(text.size()));
}
}  // namespace

void RecordExtraFiles(const SetupContext& context, const SetupScript& script, InstallType type,
                      UninstallRecord& record) {
  const char* section =
      type == InstallType::kNt ? "NT UnInstall Extra File" : "Win95 UnInstall Extra File";
  for (const std::string& line : script.Lines(section)) {
    record.Record(context.system.WindowsFolder() + "\\" + KeyedValue(line));
  }
}

size_t StartPrograms(const SetupContext& context, const SetupScript& script, InstallType type) {
  const char* section = type == InstallType::kNt ? "NT Execute" : "Win95 Execute";
  size_t started = 0;
  for (const std::string& line : script.Lines(section)) {
    if (started == kMaxPrograms) break;  // the table holds ten: later lines are ignored
    const std::string program = SetupFolderWithoutSlash(context) + "\\" + KeyedValue(line);
    context.shell.StartProgram(program + " " + program, kShowNormal);
    ++started;
  }
  return started;
}

std::string UninstallString(std::string_view programPath) {
  std::string text = std::string(programPath) + " " + std::string(programPath);
  const size_t slash = text.rfind('\\');
  if (slash != std::string::npos) text.resize(slash);
  return text;
}

void WriteUninstallEntry(const SetupContext& context, const SetupScript& script) {
  const std::vector<ScriptLine> lines = script.Section("UnInstall");
  if (lines.empty() || lines.front().IsComment()) return;
  const std::string program = context.system.WindowsFolder() + "\\" + KeyedValue(lines.front().text);
  const std::string& group = script.display().groupName;
  platform::RegKey key = 0;
  if (context.registry.CreateKey(platform::kHkeyLocalMachine,
                                 std::string(kUninstallKey) + "\\" + group, &key) !=
      platform::kErrorSuccess) {
    return;
  }
  SetText(context.registry, key, "DisplayName", group);
  SetText(context.registry, key, "UnInstallString", UninstallString(program));
  context.registry.CloseKey(key);
}

void DeleteGroupFiles(const SetupContext& context, const std::vector<std::string>& groupFiles) {
  for (const std::string& path : groupFiles) context.files.DeleteFile(path);
}

void ClearPciEntries(const SetupContext& context, const SetupScript& script) {
  const std::string& ids = script.display().deviceId;
  const std::string inf = context.system.WindowsFolder() + "\\inf";
  size_t pos = 0;
  for (;;) {
    const size_t comma = ids.find(',', pos);
    const std::string id = ids.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    const std::string path = std::string(kPciEnumPrefix) + id;
    platform::RegKey key = 0;
    if (context.registry.OpenKey(platform::kHkeyLocalMachine, path, &key) == platform::kErrorSuccess) {
      context.registry.CloseKey(key);
      platform::RegDeleteKey(context.registry, context.system, platform::kHkeyLocalMachine, path);
    }
    // The driver-information caches, so that the adapter is detected again.
    context.files.DeleteFile(inf + "\\DRVIDX.BIN");
    context.files.DeleteFile(inf + "\\DRVDATA.BIN");
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
}

void RegisterService(const SetupContext& context, const SetupScript& script) {
  const DisplayFields& display = script.display();
  platform::Registry& registry = context.registry;
  platform::RegKey key = 0;
  bool created = false;
  if (registry.CreateKey(platform::kHkeyLocalMachine,
                         std::string(kServicesKey) + "\\" + display.title, &key, &created) ==
      platform::kErrorSuccess) {
    if (!created) registry.DeleteValue(key, "PlugPlayServiceType");
    registry.SetDword(key, "ErrorControl", 1);
    registry.SetDword(key, "Start", 0);
    registry.SetDword(key, "Type", 1);
    SetText(registry, key, "Group", "SCSI Miniport");
    SetText(registry, key, "ImagePath", "System32\\drivers\\" + display.driver);
    registry.CloseKey(key);
  }
  // The system's SCSI scanner class service would claim the adapter's scanners: disabled.
  if (registry.CreateKey(platform::kHkeyLocalMachine, std::string(kServicesKey) + "\\Scsiscan",
                         &key) == platform::kErrorSuccess) {
    registry.SetDword(key, "Start", 4);
    registry.CloseKey(key);
  }
}

bool Restart(const SetupContext& context, InstallType type) {
  if (type != InstallType::kNt) return context.shell.RequestRestart();
  platform::ProcessToken token(context.system, context.faults);
  if (token.Open() != platform::kErrorSuccess) return false;
  if (token.Adjust(platform::kShutdownPrivilege, true) != platform::kErrorSuccess) return false;
  const bool requested = context.shell.RequestRestart();
  token.Adjust(platform::kShutdownPrivilege, false);
  return requested;
}

}  // namespace hbasetup
