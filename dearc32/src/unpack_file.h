// The expansion behind the `Unpack` export, with the host's services passed in.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/files/files.h"
#include "platform/ui/ui.h"

namespace dearc32 {

struct UnpackRequest {
  std::string_view source;
  std::string_view destination;
  platform::Hwnd notifyWindow = 0;
  platform::Hwnd progressBar = 0;
};

// One of the kUnpack... codes of dearc32.h.
uint16_t UnpackFile(platform::FileSystem& files, platform::UserInterface& ui,
                    const UnpackRequest& request);

}  // namespace dearc32
