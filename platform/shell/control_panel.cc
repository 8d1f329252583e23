#include "platform/shell/control_panel.h"

#include <strings.h>

#include <cstdio>

#include "platform/files/files.h"
#include "platform/files/version_resource.h"
#include "platform/host/host.h"
#include "platform/profile/profile.h"
#include "platform/system/system.h"
#include "platform/ui/ui.h"

namespace platform {
namespace {

constexpr const char* kTitle = "Control Panel";

std::string ControlIni(Host& host) { return host.system().WindowsFolder() + "\\CONTROL.INI"; }

std::string FileNameOf(std::string_view path) {
  const size_t slash = path.find_last_of("\\/:");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The registered applets as key and path, in the order of the file; NumApps is a count.
std::vector<std::pair<std::string, std::string>> RegisteredApplets(Host& host) {
  const std::string ini = ControlIni(host);
  std::vector<std::pair<std::string, std::string>> applets;
  for (const std::string& key : host.profiles().GetKeys("MMCPL", ini)) {
    if (strcasecmp(key.c_str(), "NumApps") == 0) continue;
    const std::string path = host.profiles().GetStringValue("MMCPL", key, "", ini);
    if (!path.empty()) applets.emplace_back(key, path);
  }
  return applets;
}

std::string VersionOf(const FileSystem& files, const std::string& path) {
  const std::optional<FixedFileInfo> info = ReadFileVersion(files, path);
  if (!info) return "no version";
  char text[48];
  std::snprintf(text, sizeof text, "version %u.%u.%u.%u", info->fileVersionMs >> 16,
                info->fileVersionMs & 0xFFFF, info->fileVersionLs >> 16,
                info->fileVersionLs & 0xFFFF);
  return text;
}

int ListApplets(Host& host) {
  const auto applets = RegisteredApplets(host);
  std::string text = applets.empty() ? "No control panel applets are registered." : "Applets:";
  for (const auto& [key, path] : applets) text += "\n" + key + ": " + path;
  host.ui().MessageBox(0, text, kTitle, MB_OK | MB_ICONINFORMATION);
  return 0;
}

}  // namespace

std::optional<std::string> FindControlPanelApplet(Host& host, std::string_view applet) {
  FileSystem& files = host.files();
  auto usable = [&](const std::string& path) {
    return files.Exists(path) && !files.IsDirectory(path);
  };
  if (applet.empty()) return std::nullopt;
  if (applet.find_first_of("\\/:") != std::string_view::npos) {
    const std::string path(applet);
    return usable(path) ? std::optional(path) : std::nullopt;
  }
  const std::string name(applet);
  for (const auto& entry : RegisteredApplets(host)) {
    const std::string& path = entry.second;
    if (strcasecmp(FileNameOf(path).c_str(), name.c_str()) == 0 && usable(path)) return path;
  }
  for (const std::string& folder : {host.system().WindowsFolder(), host.system().SystemFolder()}) {
    const std::string path = folder + "\\" + name;
    if (usable(path)) return path;
  }
  return std::nullopt;
}

int RunControlPanel(Host& host, const std::vector<std::string>& args) {
  if (args.empty()) return ListApplets(host);
  const std::optional<std::string> path = FindControlPanelApplet(host, args[0]);
  if (!path) {
    host.ui().MessageBox(0, "Cannot find the control panel applet \"" + args[0] + "\".", kTitle,
                         MB_OK | MB_ICONERROR);
    return 1;
  }
  const std::optional<std::string> image = host.files().ReadFile(*path);
  if (!image || !image->starts_with("MZ")) {
    host.ui().MessageBox(0, "\"" + *path + "\" is not a control panel applet.", kTitle,
                         MB_OK | MB_ICONERROR);
    return 1;
  }
  host.ui().MessageBox(0, "Opened " + *path + " (" + VersionOf(host.files(), *path) + ").",
                       kTitle, MB_OK | MB_ICONINFORMATION);
  return 0;
}

}  // namespace platform
