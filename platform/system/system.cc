#include "platform/system/system.h"

#include "platform/files/winpath.h"

namespace platform {

namespace {
struct Preset {
  WindowsVersion version;
  std::string_view name;
  VersionRecord record;
};

// The records GetVersionEx returned on each release; the 9x builds carry major.minor in the
// high word of the build number.
const Preset kPresets[] = {
    {WindowsVersion::kWin95, "win95", {kPlatformWin32Windows, 4, 0, 0x040003B6, ""}},
    {WindowsVersion::kWin95Osr2, "win95-osr2", {kPlatformWin32Windows, 4, 0, 0x04000457, " B"}},
    {WindowsVersion::kWin98, "win98", {kPlatformWin32Windows, 4, 10, 0x040A07CE, " "}},
    {WindowsVersion::kNt4, "nt4", {kPlatformWin32Nt, 4, 0, 1381, "Service Pack 6"}},
    {WindowsVersion::kWin2000, "win2000", {kPlatformWin32Nt, 5, 0, 2195, "Service Pack 4"}},
};
}  // namespace

std::optional<WindowsVersion> ParseVersionPreset(std::string_view name) {
  for (const Preset& p : kPresets) {
    if (EqualsNoCase(p.name, name)) return p.version;
  }
  return std::nullopt;
}

std::string_view PresetName(WindowsVersion v) {
  for (const Preset& p : kPresets) {
    if (p.version == v) return p.name;
  }
  return "win98";
}

VersionRecord VersionRecordFor(WindowsVersion v) {
  for (const Preset& p : kPresets) {
    if (p.version == v) return p.record;
  }
  return kPresets[2].record;
}

SystemInfo::SystemInfo(WindowsVersion version, std::string windowsFolder, std::string systemFolder)
    : version_(version),
      windowsFolder_(std::move(windowsFolder)),
      systemFolder_(std::move(systemFolder)) {}

bool SystemInfo::RequestRestart(std::string detail) {
  requests_.push_back({SystemRequest::Kind::kRestart, std::move(detail)});
  return true;
}

bool SystemInfo::RequestShutdown(std::string detail) {
  requests_.push_back({SystemRequest::Kind::kShutdown, std::move(detail)});
  return true;
}

bool SystemInfo::RequestPrivilege(std::string name) {
  requests_.push_back({SystemRequest::Kind::kPrivilege, std::move(name)});
  return true;
}

bool SystemInfo::RestartRequested() const {
  for (const auto& r : requests_) {
    if (r.kind == SystemRequest::Kind::kRestart) return true;
  }
  return false;
}

}  // namespace platform
