#include "platform/devices/config_manager.h"

#include <string_view>

#include "platform/aspi/aspi_service.h"
#include "platform/host/host.h"
#include "platform/files/winpath.h"

namespace platform {

namespace {
constexpr DevInst kRootDevInst = 1;  // a device-node handle is never 0
constexpr std::string_view kRootDeviceId = "HTREE\\ROOT\\0";
}  // namespace

uint32_t CM_Locate_DevNodeA(DevInst* devInst, const char* deviceId, uint32_t flags) {
  if (devInst == nullptr) return CR_INVALID_POINTER;
  *devInst = 0;
  if (flags & ~CM_LOCATE_DEVNODE_BITS) return CR_INVALID_FLAG;
  if (deviceId != nullptr && *deviceId != '\0' && !EqualsNoCase(deviceId, kRootDeviceId)) {
    return CR_NO_SUCH_DEVNODE;
  }
  *devInst = kRootDevInst;
  return CR_SUCCESS;
}

uint32_t CM_Reenumerate_DevNode(DevInst devInst, uint32_t flags) {
  if (flags & ~CM_REENUMERATE_BITS) return CR_INVALID_FLAG;
  if (devInst != kRootDevInst) return CR_INVALID_DEVNODE;
  if (AspiService* aspi = Host::Current().Find<AspiService>()) aspi->RescanAll();
  return CR_SUCCESS;
}

}  // namespace platform
