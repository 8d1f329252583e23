// The archive expander's one export. `Unpack` expands one packed file into a destination file,
// checks the CRC-32 of what it wrote and gives the destination the packed file's creation time
// and attributes.
//
// The file is expanded under a name of its own beside the destination ("<destination>.~unpack")
// and takes the destination's place in one step only when its check value is right: on any
// failure the destination is as it was (an existing file keeps its bytes, date and attributes)
// and no partial file is left. A read-only destination, a folder or a device is not replaced (3).
//
// Paths are Windows paths on the current host's drives (or host paths starting with "/"), each
// shorter than 260 characters. The windows are the caller's copy dialog, which is sent 0x0C00
// and 0x0C01 with the shortened source and destination paths (lParam: a string valid only during
// the call), and its progress bar, which is sent PBM_SETRANGE, PBM_SETSTEP and PBM_SETPOS. Either
// may be 0 to go without.
//
// Calls are independent: each opens, uses and closes its own files and buffers, so a failed call
// leaves nothing behind for the next one. One call at a time per process.
#pragma once

#include <cstdint>

#include "platform/ui/ui_constants.h"

namespace dearc32 {

inline constexpr uint16_t kUnpackDone = 1;               // expanded, check value matches
inline constexpr uint16_t kUnpackNoSource = 2;           // source cannot be opened
inline constexpr uint16_t kUnpackNoDestination = 3;      // destination cannot be created or written
inline constexpr uint16_t kUnpackBadHeader = 4;          // the 29-byte header cannot be read
inline constexpr uint16_t kUnpackCheckFailed = 5;        // check value differs or stream cut short

// Messages to the notification window.
inline constexpr uint32_t kNotifySource = 0x0C00;
inline constexpr uint32_t kNotifyDestination = 0x0C01;

// Longest path accepted, not counting the terminating zero.
inline constexpr size_t kMaxPath = 259;

}  // namespace dearc32

extern "C" __attribute__((visibility("default"))) uint16_t Unpack(
    const char* source, const char* destination, platform::Hwnd notifyWindow,
    platform::Hwnd progressBar);
