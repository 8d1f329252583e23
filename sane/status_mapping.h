// The SANE status a failure of the scanner control library stands for.
#pragma once

#include <cstdint>

#include <sane/sane.h>

namespace sanebackend {

// `code` as GetErrorCode gave it. `cancelRequested`: the front end asked for the cancel, so a
// cancelled scan is SANE_STATUS_CANCELLED; a cancel that came from a refused prompt is an I/O
// error instead (the library gave up, nobody asked it to).
SANE_Status StatusForError(uint32_t code, bool cancelRequested);

}  // namespace sanebackend
