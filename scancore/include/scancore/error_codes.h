// The library's 32-bit error codes. Every failing operation leaves one for GetErrorCode.
//
// Two families share the 32 bits:
//  - ASPI/SCSI: opcode of the failed command (bits 31-24), ASPI request status (23-16),
//    host-adapter status (15-8) and target status (7-0), as the request block reported them;
//  - the library's own codes, 0xFFFF00xx, below.
// kNoError (all ones) means no error is stored.
#pragma once

#include <cstdint>

namespace scancore {

inline constexpr uint32_t kNoError = 0xFFFFFFFFu;

inline constexpr uint32_t kErrWarmingUp = 0xFFFF0010u;        // + seconds still to wait << 8
inline constexpr uint32_t kErrHardware = 0xFFFF0020u;         // + hardware error number 0-15
inline constexpr uint32_t kErrLunNotSupported = 0xFFFF0030u;
inline constexpr uint32_t kErrVendor0005 = 0xFFFF0040u;       // vendor sense 00h/05h
inline constexpr uint32_t kErrVendor3B05 = 0xFFFF0041u;       // vendor sense 3Bh/05h
inline constexpr uint32_t kErrVendor0403 = 0xFFFF0042u;       // vendor sense 04h/03h
inline constexpr uint32_t kErrVendor3B09 = 0xFFFF0043u;       // vendor sense 3Bh/09h
inline constexpr uint32_t kErrAbortedCommand = 0xFFFF0050u;   // aborted command 2Ch/00h
inline constexpr uint32_t kErrFirmware = 0xFFFF0060u;         // image missing, or not taken
inline constexpr uint32_t kErrNotFoundCancelled = 0xFFFF0061u;
inline constexpr uint32_t kErrNoMemory = 0xFFFF0062u;
inline constexpr uint32_t kErrBufferTooSmall = 0xFFFF0063u;
inline constexpr uint32_t kErrDeviceTimeout = 0xFFFF0064u;
inline constexpr uint32_t kErrUserCancelled = 0xFFFF0065u;
inline constexpr uint32_t kErrNoLinesLeft = 0xFFFF0066u;       // a read after the last line
inline constexpr uint32_t kErrNoWinAspi = 0xFFFF0070u;        // wnaspi32.dll did not load
inline constexpr uint32_t kErrNoStiAspi = 0xFFFF0071u;        // no still-image ASPI library
inline constexpr uint32_t kErrRequestTimeout = 0xFFFF0072u;   // request did not complete

// The code GetASPI32SupportInfo's failing status `status` stands for.
constexpr uint32_t SupportFailure(uint8_t status) { return uint32_t{status} << 16; }

// An ASPI/SCSI family code.
constexpr uint32_t AspiError(uint8_t opcode, uint8_t requestStatus, uint8_t hostStatus,
                             uint8_t targetStatus) {
  return (uint32_t{opcode} << 24) | (uint32_t{requestStatus} << 16) |
         (uint32_t{hostStatus} << 8) | targetStatus;
}

}  // namespace scancore
