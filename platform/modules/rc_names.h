// Names a resource script may use without defining them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::rc {

// A style or standard identifier the window system knows (WS_VISIBLE, BS_AUTOCHECKBOX, IDOK).
std::optional<uint32_t> KnownConstant(std::string_view name);
// The window class a CONTROL statement's class word stands for ("PROGRESS_CLASS",
// "Button"); other words are taken as written.
std::string ClassName(std::string_view name);
// PRELOAD, DISCARDABLE and the other memory options, which mean nothing here.
bool IsMemoryOption(std::string_view word);

}  // namespace platform::rc
