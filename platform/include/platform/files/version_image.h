// A small PE32 image carrying a version resource with a given file version and a payload after
// the resource section: what stands for a program or library of the machine where only its
// version matters (the ASPI layer's file, an installation medium's stand-ins). ReadFixedFileInfo
// (version_resource.h) reads it back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// `versionMs` is major << 16 | minor, `versionLs` build << 16 | revision.
std::string PeWithVersion(uint32_t versionMs, uint32_t versionLs, std::string_view payload);

}  // namespace platform
