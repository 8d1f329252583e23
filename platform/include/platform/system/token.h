// The process token as the setup programs use it: opened for privilege adjustment, then one
// privilege enabled or disabled (OpenProcessToken and AdjustTokenPrivileges). Nothing is granted
// for real; a granted change is remembered by SystemInfo (RequestPrivilege) so that a test sees
// it. Both steps ask the host's fault service first, so a test can make either fail:
//   "system.token"      opening the token (kErrorAccessDenied unless the switch names another)
//   "system.privilege"  adjusting it, the subject being the privilege's name
//                       (kErrorNotAllAssigned unless the switch names another)
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

class Faults;
class SystemInfo;

namespace fault_point {
inline constexpr std::string_view kSystemToken = "system.token";
inline constexpr std::string_view kSystemPrivilege = "system.privilege";
}  // namespace fault_point

// ERROR_NOT_ALL_ASSIGNED: AdjustTokenPrivileges returned, but the privilege was not held.
inline constexpr uint32_t kErrorNotAllAssigned = 1300;
inline constexpr std::string_view kShutdownPrivilege = "SeShutdownPrivilege";

class ProcessToken {
 public:
  // `faults` may be null (nothing fails).
  ProcessToken(SystemInfo& system, Faults* faults) : system_(system), faults_(faults) {}

  // OpenProcessToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY): kErrorSuccess or the error.
  uint32_t Open();
  bool IsOpen() const { return open_; }
  // AdjustTokenPrivileges for one privilege; kErrorInvalidHandle when the token is not open.
  // As on Windows, the error is what GetLastError tells after the call: a caller checks it,
  // not only the call's result.
  uint32_t Adjust(std::string_view privilege, bool enable);

 private:
  SystemInfo& system_;
  Faults* faults_;
  bool open_ = false;
};

}  // namespace platform
