// The exported entry point: the one place that reaches for the process's host.
#include <cstring>
#include <exception>

#include "dearc32/dearc32.h"
#include "platform/host/host.h"
#include "unpack_file.h"

extern "C" uint16_t Unpack(const char* source, const char* destination,
                           platform::Hwnd notifyWindow, platform::Hwnd progressBar) {
  // strnlen: a path without its terminator within reach is too long, and is not read past.
  auto view = [](const char* s) {
    return s == nullptr ? std::string_view() : std::string_view(s, strnlen(s, dearc32::kMaxPath + 1));
  };
  try {
    platform::Host& host = platform::Host::Current();
    return dearc32::UnpackFile(host.files(), host.ui(),
                               {view(source), view(destination), notifyWindow, progressBar});
  } catch (const std::exception&) {
    // Nothing may cross a C boundary; running out of memory for the buffers means nothing
    // could be read.
    return dearc32::kUnpackBadHeader;
  }
}
