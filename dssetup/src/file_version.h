// File versions as the copy step compares them: the packed file's from its header, the installed
// file's from its version resource.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {
class FileSystem;
}

namespace dssetup {

struct FileVersion {
  uint32_t ms = 0;  // major << 16 | minor
  uint32_t ls = 0;  // build << 16 | revision
};

// The version in the first 30 bytes of a packed file; empty when the file cannot be read or is
// shorter than that.
std::optional<FileVersion> PackedFileVersion(platform::FileSystem& files, std::string_view path);
// The installed file's version resource; empty when it has none.
std::optional<FileVersion> InstalledFileVersion(platform::FileSystem& files,
                                                std::string_view path);
// Whether the packed file may replace the installed one without asking: equal or newer.
bool PackedIsNotOlder(const FileVersion& packed, const FileVersion& installed);
// "Version: 4.0.0.970"
std::string VersionText(const FileVersion& v);

}  // namespace dssetup
