#include "platform/system/token.h"

#include <string>

#include "platform/faults/faults.h"
#include "platform/system/errors.h"
#include "platform/system/system.h"

namespace platform {

uint32_t ProcessToken::Open() {
  if (faults_) {
    if (auto injected = faults_->Check(fault_point::kSystemToken)) {
      open_ = false;
      return *injected ? static_cast<uint32_t>(*injected) : kErrorAccessDenied;
    }
  }
  open_ = true;
  return kErrorSuccess;
}

uint32_t ProcessToken::Adjust(std::string_view privilege, bool enable) {
  if (!open_) return kErrorInvalidHandle;
  if (faults_) {
    if (auto injected = faults_->Check(fault_point::kSystemPrivilege, privilege)) {
      return *injected ? static_cast<uint32_t>(*injected) : kErrorNotAllAssigned;
    }
  }
  system_.RequestPrivilege((enable ? "enable " : "disable ") + std::string(privilege));
  return kErrorSuccess;
}

}  // namespace platform
