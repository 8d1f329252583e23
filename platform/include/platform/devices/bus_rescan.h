// The device objects that ask for a bus rescan, and what they take:
//  - "\\.\SCSIn:", one per SCSI host adapter (counted from 0 in the order the adapters were
//    added): IOCTL_SCSI_RESCAN_BUS without buffers rescans that adapter.
//  - "\\.\gulp.VXD", the rescan driver of Windows 95 (it opens only while the host runs Windows
//    95 or its second release): control code kGulpRescanCode with kGulpSignature as its 4-byte
//    input and at least 6 bytes of output rescans every adapter and answers kGulpSignature
//    followed by the number of adapters rescanned (16 bits, little-endian).
// Both are registered with DevicePaths by AttachAspi (aspi_service.h).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace platform {

inline constexpr uint32_t kIoctlScsiRescanBus = 0x4101C;

inline constexpr std::string_view kGulpDeviceName = "gulp.VXD";
inline constexpr uint32_t kGulpRescanCode = 19;
inline constexpr std::array<uint8_t, 4> kGulpSignature = {0x52, 0x53, 0x43, 0x4E};
inline constexpr size_t kGulpReplyLength = 6;

}  // namespace platform
