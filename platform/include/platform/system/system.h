// The emulated Windows system: the version record programs of the time saw, the Windows and
// system folders, and requests to restart or for privileges, which are recorded and reported
// but never acted on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr uint32_t kPlatformWin32Windows = 1;  // VER_PLATFORM_WIN32_WINDOWS
inline constexpr uint32_t kPlatformWin32Nt = 2;       // VER_PLATFORM_WIN32_NT

struct VersionRecord {
  uint32_t platformId = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;           // as GetVersionEx reported it (on 9x the high word repeats major.minor)
  std::string servicePack;      // szCSDVersion
};

enum class WindowsVersion { kWin95, kWin95Osr2, kWin98, kNt4, kWin2000 };

std::optional<WindowsVersion> ParseVersionPreset(std::string_view name);
std::string_view PresetName(WindowsVersion v);
VersionRecord VersionRecordFor(WindowsVersion v);

struct SystemRequest {
  enum class Kind { kRestart, kShutdown, kPrivilege };
  Kind kind;
  std::string detail;  // the privilege's name, or the restart's flags
};

class SystemInfo {
 public:
  SystemInfo(WindowsVersion version, std::string windowsFolder, std::string systemFolder);

  WindowsVersion version() const { return version_; }
  void SetVersion(WindowsVersion v) { version_ = v; }
  VersionRecord GetVersionEx() const { return VersionRecordFor(version_); }
  bool IsNt() const { return GetVersionEx().platformId == kPlatformWin32Nt; }
  const std::string& WindowsFolder() const { return windowsFolder_; }  // "C:\WINDOWS"
  const std::string& SystemFolder() const { return systemFolder_; }    // "C:\WINDOWS\SYSTEM"

  // ExitWindowsEx and AdjustTokenPrivileges stand-ins: always "succeed", and are remembered.
  bool RequestRestart(std::string detail = {});
  bool RequestShutdown(std::string detail = {});
  bool RequestPrivilege(std::string name);
  const std::vector<SystemRequest>& Requests() const { return requests_; }
  bool RestartRequested() const;

 private:
  WindowsVersion version_;
  std::string windowsFolder_;
  std::string systemFolder_;
  std::vector<SystemRequest> requests_;
};

}  // namespace platform
