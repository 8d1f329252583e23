// The status bytes a SCSI request ends with, as the target and the host adapter report them and
// as ASPI request blocks carry them (SRB_TargStat, SRB_HaStat), and the sense keys.
#pragma once

#include <cstdint>

namespace platform {

// Target status bytes.
inline constexpr uint8_t kScsiGood = 0x00;
inline constexpr uint8_t kScsiCheckCondition = 0x02;
inline constexpr uint8_t kScsiBusy = 0x08;
inline constexpr uint8_t kScsiReservationConflict = 0x18;

// Host-adapter status bytes, as ASPI reports them.
inline constexpr uint8_t kHostOk = 0x00;
inline constexpr uint8_t kHostSelectionTimeout = 0x11;
inline constexpr uint8_t kHostDataOverrunUnderrun = 0x12;
inline constexpr uint8_t kHostUnexpectedBusFree = 0x13;
inline constexpr uint8_t kHostPhaseSequenceFailure = 0x14;

// Sense keys.
inline constexpr uint8_t kSenseNoSense = 0x0;
inline constexpr uint8_t kSenseNotReady = 0x2;
inline constexpr uint8_t kSenseHardwareError = 0x4;
inline constexpr uint8_t kSenseIllegalRequest = 0x5;
inline constexpr uint8_t kSenseUnitAttention = 0x6;
inline constexpr uint8_t kSenseVendor = 0x9;
inline constexpr uint8_t kSenseAbortedCommand = 0xB;

}  // namespace platform
