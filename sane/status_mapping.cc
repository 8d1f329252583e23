#include "status_mapping.h"

#include "scancore/error_codes.h"

namespace sanebackend {

SANE_Status StatusForError(uint32_t code, bool cancelRequested) {
  using namespace scancore;
  if (code == kErrUserCancelled || code == kErrNotFoundCancelled) {
    return cancelRequested ? SANE_STATUS_CANCELLED : SANE_STATUS_IO_ERROR;
  }
  if ((code & 0xFFFF00FFu) == kErrWarmingUp || code == kErrDeviceTimeout) {
    return SANE_STATUS_DEVICE_BUSY;
  }
  if (code == kErrNoMemory) return SANE_STATUS_NO_MEM;
  // A busy target (status 08h) in the ASPI/SCSI family.
  if ((code >> 16) != 0xFFFF && (code & 0xFF) == 0x08) return SANE_STATUS_DEVICE_BUSY;
  return SANE_STATUS_IO_ERROR;
}

}  // namespace sanebackend
