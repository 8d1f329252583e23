// A small PE32 image carrying a version resource with a given file version and a payload after
// the resource section, so that stand-in programs and libraries differ by content and version.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dssetup::medium {

// `versionMs` is major << 16 | minor, `versionLs` build << 16 | revision.
std::string PeWithVersion(uint32_t versionMs, uint32_t versionLs, std::string_view payload);

}  // namespace dssetup::medium
