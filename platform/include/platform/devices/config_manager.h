// The configuration manager's two calls that re-enumerate the machine's buses: locate the root
// of the device tree, then re-enumerate it. Re-enumerating the root rescans every host adapter
// of the current host's ASPI service, so a device switched on late appears on its bus. The work
// is done before the call returns, with or without the synchronous flag: an asynchronous caller
// cannot tell the difference, and a synchronous one relies on it.
#pragma once

#include <cstdint>

namespace platform {

using DevInst = uint32_t;

inline constexpr uint32_t CR_SUCCESS = 0x00;
inline constexpr uint32_t CR_INVALID_POINTER = 0x03;
inline constexpr uint32_t CR_INVALID_FLAG = 0x04;
inline constexpr uint32_t CR_INVALID_DEVNODE = 0x05;
inline constexpr uint32_t CR_NO_SUCH_DEVNODE = 0x0D;
inline constexpr uint32_t CR_FAILURE = 0x13;

inline constexpr uint32_t CM_LOCATE_DEVNODE_NORMAL = 0x0;
inline constexpr uint32_t CM_LOCATE_DEVNODE_BITS = 0x7;  // phantom, cancel-remove, no validation
inline constexpr uint32_t CM_REENUMERATE_NORMAL = 0x0;
inline constexpr uint32_t CM_REENUMERATE_SYNCHRONOUS = 0x1;
inline constexpr uint32_t CM_REENUMERATE_BITS = 0x7;  // synchronous, retry installation, asynchronous

// The root node is found by a null or empty device id (or its own id, "HTREE\ROOT\0");
// any other id is CR_NO_SUCH_DEVNODE.
uint32_t CM_Locate_DevNodeA(DevInst* devInst, const char* deviceId, uint32_t flags);
// Only the root node re-enumerates (CR_INVALID_DEVNODE for anything else).
uint32_t CM_Reenumerate_DevNode(DevInst devInst, uint32_t flags);

}  // namespace platform
