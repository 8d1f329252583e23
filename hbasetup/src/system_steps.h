// The system changes after the copy: extra files recorded for the uninstaller, programs started,
// the uninstall entry, group files deleted, stale PCI entries cleared (Windows 95) or the
// miniport service registered (Windows NT), and the restart. Registry failures are silent.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "install_type.h"

namespace hbasetup {

struct SetupContext;
class SetupScript;
class UninstallRecord;

inline constexpr size_t kMaxPrograms = 10;
inline constexpr std::string_view kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\UnInstall";
inline constexpr std::string_view kServicesKey = "SYSTEM\\CurrentControlSet\\Services";
inline constexpr std::string_view kPciEnumPrefix = "Enum\\PCI\\VEN_1191&DEV_";

void RecordExtraFiles(const SetupContext& context, const SetupScript& script, InstallType type,
                      UninstallRecord& record);
// Returns how many programs were started.
size_t StartPrograms(const SetupContext& context, const SetupScript& script, InstallType type);
// The uninstall command: the program path, a space and the program path again, cut at its last
// backslash (so the argument is the program's folder).
std::string UninstallString(std::string_view programPath);
void WriteUninstallEntry(const SetupContext& context, const SetupScript& script);
void DeleteGroupFiles(const SetupContext& context, const std::vector<std::string>& groupFiles);
void ClearPciEntries(const SetupContext& context, const SetupScript& script);
void RegisterService(const SetupContext& context, const SetupScript& script);
// Windows 95: restarts at once. Windows NT: with the shutdown privilege enabled, and only when
// that worked; the privilege is disabled again afterwards. True when a restart was requested.
bool Restart(const SetupContext& context, InstallType type);

}  // namespace hbasetup
