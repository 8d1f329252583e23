// The short form of a path shown in the copy dialog: the drive, "\...\", as many of the last
// directories as fit in 32 characters and the whole file name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dearc32 {

inline constexpr size_t kDisplayPathLimit = 32;

std::string ShortenForDisplay(std::string_view path, size_t limit = kDisplayPathLimit);

}  // namespace dearc32
