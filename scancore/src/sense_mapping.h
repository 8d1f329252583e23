// Turns the sense data of a CHECK CONDITION into the library's own error codes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scancore {

// The code for `sense` (fixed format, at least 20 bytes), starting from `code`, the ASPI/SCSI
// family code of the failure; sense the library has no code for leaves `code` as it is.
uint32_t MapSense(const uint8_t* sense, size_t length, uint32_t code);

}  // namespace scancore
